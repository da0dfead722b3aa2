// performance_least.cpp: what start-up, quit and the main loop ask of playback, MIDI and the
// piano window, until those exist: there is no output to set up, nothing ever plays or
// records, and there is no palette to show.
#include "performance/performance_services.h"

int32_t recording_active = 0;

int32_t midi_setup() { return 1; }
int32_t qt_init() { return 0; }
void midi_teardown() {}
void qt_close() {}
void install_play_timer() {}
int32_t stop_playing(int) { return 0; }
void create_piano_window() {}
void recimp_dialog_event(const EventRecord&) {}
void piano_event(const EventRecord&) {}
void piano_apply_pending(const EventRecord&) {}
void set_key_spelling(Drosa) {}
void invert_piano_box(int) {}
void place_piano_window() {}
int can_move_tab_string(Drosa, int) { return 0; }
std::vector<std::string> midi_source_names() { return {}; }
std::vector<std::string> midi_destination_names() { return {}; }
