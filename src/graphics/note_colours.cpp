// note_colours.cpp: note colours and the colour table.
//
// Only a note's own COLOR node chooses its colour so far, and the table is the default one;
// colouring by pitch name and the user's table come with the preferences record.
#include "graphics/note_colours.h"

#include "model/model_services.h"

int note_color_index(Drosa note) {
  if (!note || note->xkind != NOTE) return 0;
  Drosa color = find_prev_kind_stop(COLOR, note, ENDSYST);
  return color ? color->get(xcolor_index) & 15 : 0;
}

RgbColour color_table_entry(int index) {
  static const RgbColour table[16] = {
      {0, 0, 0},
      {65535, 0, 0},
      {0, 65535, 0},
      {0, 0, 65535},
      {65535, 65535, 0},
      {65535, 0, 65535},
      {0, 65535, 65535},
      {32768, 32768, 65535},
      {65535, 32768, 32768},
      {32768, 65535, 32768},
      {32768, 0, 65535},
      {65535, 32768, 0},
      {32768, 65535, 0},
      {0, 32768, 65535},
      {65535, 0, 32768},
      {32768, 32768, 32768},
  };
  if (index < 1 || index > 15) return COLOUR_BLACK;
  return table[index];
}
