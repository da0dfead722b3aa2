// anno_least.cpp: what the main loop and the menus ask of the annotation palette, in-place
// text editing and the annotation selection, until they exist: the palette takes no event, no
// text is ever being edited and no annotation is ever selected.
#include "annotations/anno_services.h"

int anno_dialog_event(const EventRecord&) { return 0; }
void text_start(int) {}
void text_finish(int) {}
void text_redraw() {}
void icon_update() {}
int text_edit_length() { return 0; }
int text_has_selection() { return 0; }

void count_annotations(int32_t flags[9]) {
  for (int i = 0; i < 9; ++i) flags[i] = 0;
}

void anno_make_template(Drosa, int) {}

void anno_draw(Drosa, int, int) {}

Drosa line_geometry_wrapper(Drosa) { return NIL; }
