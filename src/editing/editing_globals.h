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

// Key signatures in force found by the accidental rules, one slot per handle modulo the
// table's size: the KEYSIG (NIL none) in force before `from`, valid while the voice lists have
// not changed but for notes (changes_beside_notes() equal to `changes`), in the same notation
// context, and while `from` is a kept place (it has not moved). A walk back that reaches a node
// with an answer stops there, so a note entered after others costs what lies between it and
// the last note asked about, and any node what lies between it and its system's start.
struct KeysigAnswer {
  Drosa from;
  Drosa keysig;
  uint64_t changes = 0;
  int16_t context = 0;
};
inline constexpr uint32_t KEYSIG_ANSWER_SLOTS = KEPT_PLACE_SLOTS;
extern KeysigAnswer keysig_answers[KEYSIG_ANSWER_SLOTS];

extern int32_t group_context;        // the context byte common to a group of annotations
extern int32_t new_curve_direction;  // curves made next: 0 up, 1 down

// The answers of the timing-boundary question, kept in step_answer: not asked yet, confirmed,
// refused (the command's later notes are then passed over).
inline constexpr int32_t STEP_NOT_ASKED = 'W', STEP_CONFIRMED = 'V', STEP_REFUSED = 'X';

// The working record of the clef, bar line, time signature, bracket and beaming commands and
// of their per-note callbacks, kept from one use to the next where a dialog shows it again.
struct SymbolEditState {
  int32_t all_staves = 0;          // 1: every shown staff; 0: the insertion point's staff
  int32_t at_insertion_point = 1;  // 1: at the insertion point; 0: at the end of its system
  // Bar lines: bit 0 carries the separator setting, bit 1 the style to the later bars;
  // clefs: later clefs of every context are replaced too.
  int32_t propagate = 0;
  int32_t step_answer = STEP_NOT_ASKED;  // the timing-boundary question's answer
  int32_t bracket_code = 0;              // low byte: the bracket code written into systems
  int32_t brace_flag = 0;                // a brace joins this staff and the next
  int32_t clef_keep_position = 0;        // the notes after a new clef keep their staff place
  int32_t bracket_all_later = 0;         // the bracket goes to every later system too
  Drosa bar_template;                    // the BAR being placed
  int32_t barsep_flag = 0;               // the bar in force stands apart from the staff below
  Drosa clef_template;                   // the CLEF being placed
  int32_t old_clef = 0;                  // the clef code in force before the change
  int32_t old_clef_replaced = 0;         // the voice being placed had a clef replaced there
};
extern SymbolEditState symbol_edit_state;

// The Key Signature command's state, shared with its per-note and per-key callbacks.
inline constexpr int32_t KEY_UNDECIDED = 87, KEY_GO_ON = 86, KEY_CANCELLED = 88;
struct KeyCommandState {
  int32_t all_staves = 1;          // as in SymbolEditState
  int32_t at_insertion_point = 1;  // as in SymbolEditState
  int32_t keep_place = 0;          // the notes keep their staff step instead of being moved
  int32_t replace_later = 0;       // every later key signature gives way to the new one
  int32_t answer = KEY_UNDECIDED;  // the state of the questions asked per note
  int32_t no_questions = 0;        // the mismatch and reminder questions are not asked
  int32_t direction = 0;           // the written notes move: 0 not, 1 down, 2 up
  int32_t keep_display = 0;        // the notes' printed accidentals stay as they are
  int32_t mismatch = 0;            // selected notes stand under different keys
  int32_t old_key_replaced = 0;    // the voice being placed had a key replaced there
  int32_t clef_type = 0;           // the clef in force at the first note, for the preview
  // Free-standing copies (context 0) made and freed by the command: the key the notes are
  // moved from, the key the dialog edits, the key in force before the selection's previous
  // time position and the key in force at the end of its system.
  Drosa old_key, new_key, key_before, key_at_end;
};
extern KeyCommandState key_command_state;

void reset_editing_globals();
