// ge_services.cpp: font codes, the written value of tremolo notes, accidental glyphs, and the
// measuring port.
#include "graphics/ge_services.h"

#include "app/app_services.h"
#include "graphics/graphics_globals.h"
#include "model/model_services.h"
#include "platform/port.h"

namespace {
// The font number of each standard code -1..-6.
int32_t standard_font(int32_t code) {
  switch (code) {
    case -1:
      return music_font_numbers[FONT_SLOT_QUOR];
    case -2:
      return music_font_numbers[FONT_SLOT_SAYL];
    case -3:
      return music_font_numbers[FONT_SLOT_SONATA];
    case -4:
      return music_font_numbers[FONT_SLOT_GENEVA];
    case -5:
      return music_font_numbers[FONT_SLOT_TIMES];
    case -6:
      return music_font_numbers[FONT_SLOT_SYMBOL];
    default:
      return code;
  }
}

Port* measuring_port = nullptr;
}  // namespace

int32_t font_from_code(int32_t code) { return standard_font(code); }

int32_t code_from_font(int32_t number) {
  for (int32_t code = -1; code >= -6; --code)
    if (standard_font(code) == number) return code;
  return number;
}

int decode_note_type(Drosa note, int* value, int* dots) {
  int v = note->get(xlgval), d = note->get(xdots);
  *value = v;
  *dots = d;
  int t = note->get(xintimeof);
  if (!note->get(xtrembeam) || v < 4 || note->get(xtupl) != 2 || t == 0) return 0;
  int k = 0;
  while (!((t >> k) & 1)) ++k;
  int m = t >> k;
  int new_value = v - k + 2, new_dots = d;
  if (m == 3) {
    --new_value;
    ++new_dots;
  } else if (m != 1) {
    return 0;
  }
  if (new_value < 1 || new_value > 4 || new_dots > 3) return 0;
  *value = new_value;
  *dots = new_dots;
  return 1;
}

int glyph_table_entry(int code, int allow_simplified) {
  if (code > 5) return 413 + code;
  static const int plain[6] = {0, 25, 26, 27, 28, 29};
  static const int simplified[6] = {0, 715, 716, 27, 717, 718};
  if (code < 1) return 0;
  bool use_simplified = allow_simplified && music_font_numbers[FONT_SLOT_SIMPLIFIED] != 0 &&
                        prefs.use_simplified_notation();
  return use_simplified ? simplified[code] : plain[code];
}

Port* offscreen_port() {
  if (!measuring_port) measuring_port = port_new_offscreen(8, 8);
  return measuring_port;
}
