// editing_globals.h: the program-wide state of the selection and editing commands.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// A point of the page in layout units (tenths of a point, y upward).
struct PagePoint {
  int32_t x = 0;
  int32_t y = 0;
};

extern Drosa insertion_point;          // the note single-note commands act on; NIL none
extern PagePoint insertion_point_pos;  // where the insertion point stands on the page
extern int insertion_point_flashing;   // the insertion point is flashing

extern uint32_t group_selected;  // non-zero while a group selection exists
extern int16_t selected_voice;   // the voice commands act on; -10 none

// The MIDI settings entered and recorded notes are heard with: the selected voice's (VINFO
// bytes 28, 26 and 29), or mode 0, channel 0 and 16 channels with no voice selected.
struct AuditionChannel {
  int32_t mode = 0, first = 0, count = 16;
};
extern AuditionChannel audition_channel;

extern Drosa group_anchor;          // the moving end of a group stretched with Shift and arrows
extern uint32_t band_scroll_time;   // ticks of the last scroll while a rubber band is dragged
extern uint32_t element_drag_mode;  // a band over drawn elements drags them (not offered yet)
extern int32_t window_hold_flag;    // set: scroll_to_rect leaves the window where it is
extern int32_t anno_tie_turn;       // which of equally near annotations the next click takes

// The field assignment's hand-off between a command and the per-node routines, within one
// call: the field named, the value to assign (during a check: -111 nothing examined yet, the
// common value, or -222 mixed), the value a check compares with (-333 any non-zero), and
// whether a check met a line (reference -444) or a text (-445).
extern const NodeField* gselect_field_name;
extern int32_t gselect_field_value;
extern int32_t gselect_reference_value;
extern uint32_t gselect_seen_line;
extern uint32_t gselect_seen_text;

// Set while the selection-drag code scrolls the music window itself: scrolling is then not
// held to the scroll bars' range and the window is not refreshed from the page image.
extern int drag_scrolling;

// What the internal clipboard holds: 0 nothing, 1 annotations, 2 music.
extern int16_t clipboard_kind;
extern Drosa clipboard_list;  // the internal clipboard's nodes, NIL when empty

// The key signature in force found last by the accidental rules: the KEYSIG (NIL none) in force
// at `from`, valid while the voice lists have not changed since (list_change_count equal to
// `changes`) in the same notation context. A later note of the same list that reaches `from`
// walking back takes its answer.
struct KeysigCache {
  Drosa from;
  Drosa keysig;
  uint64_t changes = 0;
  int16_t context = 0;
};
extern KeysigCache keysig_cache;
// The key signature in force at system starts met by earlier walks (`from` an ENDSYST), one
// slot per handle modulo the table's size, valid as keysig_cache is: a walk back that reaches a
// system start it has an answer for stops there, so a lookup costs what lies between the node
// and the start of its system, however many bars come before.
inline constexpr int KEYSIG_SYSTEM_SLOTS = 64;
extern KeysigCache keysig_system_cache[KEYSIG_SYSTEM_SLOTS];

extern int32_t group_context;        // the context byte common to a group of annotations
extern int32_t new_curve_direction;  // curves made next: 0 up, 1 down

void reset_editing_globals();
