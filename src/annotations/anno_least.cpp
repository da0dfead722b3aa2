// anno_least.cpp: what the main loop, the menus and the annotation passes ask of the parts of
// the annotations that are not built yet: the palette takes only what makes and reshapes lines,
// no text is ever being edited.
#include <algorithm>
#include <string>

#include "annotations/anno_codes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_services.h"
#include "annotations/drawtext.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/port.h"

// Until the palette is built, the line and curve modes take only what makes and reshapes
// lines in the music window: a Command-drag draws a new line, a drag that starts near a handle
// of the selected line (half-city distance 100 or less) moves that handle.
int anno_dialog_event(const EventRecord& event) {
  if (event.what != EVENT_MOUSE_DOWN || (MODE != LINE_MODE && MODE != CURVE_MODE)) return 0;
  if (!music_window() || event.window != music_window() ||
      !music_area_rect().contains(event.where) || options_i16(1, OPTIONS_PUBLISHED))
    return 0;
  if ((event.modifiers & (MOD_COMMAND | MOD_EITHER_OPTION | MOD_CONTROL | MOD_RIGHT_CONTROL)) ==
      MOD_COMMAND) {
    create_line_anno_drag(event.where);
    return 1;
  }
  Drosa line = current_anno;
  Drosa pd = line && line->xkind == LINE ? line->xnext : NIL;
  if (!pd || pd->xkind != PDATA || pd->get(xscrx1) == NOT_DRAWN) return 0;
  const PagePoint at = window_to_page_point(event.where);
  const int32_t x1 = pd->get(xscrx1), y1 = pd->get(xscry1);
  const AnnoPoint handles[4] = {{x1, y1},
                                {x1 + line->get(xc1x), y1 + line->get(xc1y)},
                                {x1 + line->get(xc2x), y1 + line->get(xc2y)},
                                {pd->get(xscrx2), pd->get(xscry2)}};
  constexpr int32_t NEAR = 100;
  for (int h = 0; h < 4; ++h) {
    if ((h == 1 || h == 2) && !line->get(xcurve)) continue;
    if (half_city_distance(at.x, at.y, handles[h].x, handles[h].y) <= NEAR) {
      line_anno_handle_drag(event.where, h + 1, new_curve_direction);
      return 1;
    }
  }
  return 0;
}
void text_start(int) {}
void text_finish(int) {}
void text_redraw() {}
void icon_update() {}
int text_edit_length() { return 0; }
int text_has_selection() { return 0; }

void count_annotations(int32_t flags[9]) {
  for (int i = 0; i < 9; ++i) flags[i] = 0;
}

// There is no in-place text editor yet, so there is no caret to blink.
void text_idle() {}

void anno_draw(Drosa, int, int) {}
