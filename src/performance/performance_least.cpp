// performance_least.cpp: what start-up, the main loop and the menus ask of the piano window
// and recording until they exist: there is no palette to show and nothing is recorded.
#include "performance/performance_services.h"

int32_t recording_active = 0;

void create_piano_window() {}
void recimp_dialog_event(const EventRecord&) {}
void piano_event(const EventRecord&) {}
void piano_apply_pending(const EventRecord&) {}
void set_key_spelling(Drosa) {}
void invert_piano_box(int) {}
void place_piano_window() {}
Drosa new_entry_nest_node() { return NIL; }
