// anno_palette.cpp: the drawing of the piano window, which the annotation palette shares: the
// keyboard always; in MUSIC_MODE the note-attribute palette with its special accidentals; in
// the annotation modes the open square of the palette's last box (the annotation palette's own
// icons and information text are not drawn yet); last the marks of the keys being played.
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "performance/performance_services.h"

void anno_palette_draw_proc() {
  draw_piano_keyboard();
  if (MODE == MUSIC_MODE) {
    draw_piano_window();
    if (spacc_template) draw_special_accidental_rows();
    if (group_selected) redraw_piano_keyboard();
  } else {
    draw_spacc_box_symbol();
  }
  redraw_played_keys(true);
}
