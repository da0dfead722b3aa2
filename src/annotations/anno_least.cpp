// anno_least.cpp: what the main loop asks of the annotation palette and of in-place text
// editing, until they exist: the palette takes no event and no text is ever being edited.
#include "annotations/anno_services.h"

int anno_dialog_event(const EventRecord&) { return 0; }
void text_start(int) {}
void text_finish(int) {}
void text_redraw() {}
void icon_update() {}
