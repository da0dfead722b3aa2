// ge_page.cpp: a page of graphics elements made the way the drawing passes make them.
#include "support/ge_page.h"

#include <cstdio>

#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"

namespace {

constexpr int STAFF_SPACE = 50;  // between staff lines, layout units
constexpr int STAFF_STEP = 440;  // from one staff's top line to the next's
constexpr int TOP = 7300;        // y of the first staff's top line
constexpr int LEFT = 500, RIGHT = 5800;

void staff(int s) {
  const int top = TOP - s * STAFF_STEP, bottom = top - 4 * STAFF_SPACE;
  for (int line = 0; line < 5; ++line) {
    const int y = top - line * STAFF_SPACE;
    GEline(0, LEFT, y, s, 0, RIGHT, y, s, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  }
  GEcharacter(0, LEFT + 60, bottom + 100, s, P_TREBLE_CLEF_AT_START_OF_STAFF, 0, 52, NIL, 0);
  GEcharacter(0, LEFT + 320, top - 50, s, P_4_FOR_TIME_SIGNATURES, 0, 53, NIL, 0);
  GEcharacter(0, LEFT + 320, bottom + 50, s, P_4_FOR_TIME_SIGNATURES, 0, 53, NIL, 0);
  const int bar_width = (RIGHT - LEFT - 500) / 4;
  for (int bar = 0; bar < 4; ++bar) {
    const int x0 = LEFT + 500 + bar * bar_width;
    Drosa first = NIL, last = NIL;
    int first_x = 0, last_x = 0;
    for (int n = 0; n < 8; ++n) {
      Drosa note = newDrosa(NOTE, 0);
      const int x = x0 + 60 + n * (bar_width - 120) / 8;
      const int y = bottom + 25 * ((s * 3 + bar * 5 + n * 2) % 11) - 25;
      GEcharacter_screen(0, x, y, s, P_QUARTER_NOTE_HEAD, -1, 46, note, 1);
      GEcharacter(0, x, y, s, P_QUARTER_NOTE_HEAD, -1, 46, note, 0);
      if ((n + bar) % 5 == 0) GEcharacter(0, x - 110, y, s, P_SHARP, 0, 48, note, 0);
      if (y < bottom)
        GEline(0, x - 30, bottom - 50, s, 0, x + 130, bottom - 50, s, 0, 10, 0, 0, 0, 0, 0, 0, 0,
               24, note);
      GEline(0, x + 95, y + 10, s, 0, x + 95, top + 60, s, 0, 8, 0, 0, 0, 0, 0, 0, 0, 19, note);
      if (n % 2 == 0) {
        first = note;
        first_x = x;
      } else {
        last = note;
        last_x = x;
        GEline_screen(0, first_x + 95, top + 60, s, 0, last_x + 95, top + 60, s, 0, 50, 0, 0, 0, 0,
                      0, 0, 0, 17, first, 1);
        GEline(0, first_x + 95, top + 60, s, 0, last_x + 95, top + 60, s, 0, 50, 0, 0, 0, 0, 0, 0,
               0, 17, first);
      }
    }
    (void)last;
    GEcurve(0, x0 + 60, top + 120, s, x0 + 300, top + 260, s, x0 + bar_width - 400, top + 260, s,
            x0 + bar_width - 160, top + 120, s, 1, 0, 0, 0, 5, first);
    GEcurve(0, x0 + 100, bottom - 80, s, x0 + 200, bottom - 140, s, x0 + 320, bottom - 140, s,
            x0 + 420, bottom - 80, s, 1, 0, 0, 0, 4, first);
    const int bar_x = x0 + bar_width - 40;
    GEline(0, bar_x, top, s, 0, bar_x, bottom, s, 0, 10, 0, 0, 0, 0, 0, 0, 0, 26, NIL);
    char number[8];
    std::snprintf(number, sizeof number, "%d", s * 4 + bar + 1);
    GEstring(0, x0, top + 100, 0, 0, s, FONT_TIMES, 0, 10, 2, 0, number, 0, 8, NIL, NIL);
  }
  GEcurve(0, LEFT + 500, bottom - 170, s, LEFT + 1500, bottom - 215, s, LEFT + 2500, bottom - 215,
          s, LEFT + 3500, bottom - 170, s, 0, 3, 2, 0, 1, NIL);
  GEline(0, LEFT + 3700, bottom - 200, s, 0, RIGHT - 200, bottom - 160, s, 0, 10, 4, 2, 0, 0, 0, 0,
         0, 1, NIL);
}

}  // namespace

void build_ge_page(int staves, bool text_glyphs) {
  GEstring(0, 2200, 7700, 0, 0, 0, FONT_TIMES, 0, 18, 1, 0, "Sixteen Staves for Test", 0, 9, NIL,
           NIL);
  const int bottom = TOP - (staves - 1) * STAFF_STEP - 4 * STAFF_SPACE;
  GEline(0, LEFT, TOP, 0, 0, LEFT, bottom, staves - 1, 0, 20, 0, 0, 0, 0, 0, 0, 0, 12, NIL);
  for (int y = TOP; y > bottom; y -= 300)
    GEcharacter(0, LEFT - 140, y, 0, P_EXTENSION_PART_MAKING_UP_SYSTEM_BRACE, 0, 40, NIL, 0);
  for (int s = 0; s < staves; ++s) staff(s);
  if (!text_glyphs) return;
  for (Drosa p = GE_head->xnext; p; p = p->xnext)
    if (p->xkind == GE_CHAR && p->get(xgc_char) != 0 && p->get(xgc_font) != FONT_TIMES) {
      p->set(xgc_font, FONT_TIMES);
      p->set(xgc_char, 'o');
      p->set(xgc_size, 14);
    }
}
