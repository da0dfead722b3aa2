// performance_services.cpp: what the main loop and the menus ask of the piano window and the
// note-attribute palette until they exist: no idle work, no key taken, nothing to draw, and the
// template keeps its accidental.
#include "performance/performance_services.h"

// There is no MIDI input or piano window yet: no idle work is ever done.
int32_t piano_idle(int) { return 0; }

// There is no piano window yet to take a key.
int32_t piano_key_equivalent(const EventRecord&, int) { return 0; }

// There is no piano window yet to redraw.
void draw_piano_window() {}

// There is no palette yet: the template keeps the accidental it has.
int set_template_accidental() { return spacc_template ? 1 : 0; }

// Nothing is recorded yet.
Drosa recorded_notes_first() { return NIL; }
