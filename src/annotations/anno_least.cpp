// anno_least.cpp: what the main loop and the menus ask of in-place text editing and the
// annotation clipboard, which are not built yet: no text is ever being edited.
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

void text_start(int) {}
void text_finish(int) {}
void text_redraw() {}
int text_edit_length() { return 0; }
int text_has_selection() { return 0; }

void count_annotations(int32_t flags[9]) {
  for (int i = 0; i < 9; ++i) flags[i] = 0;
}

// There is no in-place text editor yet, so there is no caret to blink.
void text_idle() {}

int text_click(Point, int) { return 0; }
void text_key(const EventRecord&) {}
void text_update() {}
void text_mode_toggle(Point) {}
int anno_cut_copy(int, int, Drosa) { return 0; }
