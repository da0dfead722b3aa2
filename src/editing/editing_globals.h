// editing_globals.h: the program-wide state of the selection and editing commands.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"

extern uint32_t band_scroll_time;   // ticks of the last scroll while a rubber band is dragged
extern uint32_t element_drag_mode;  // a band over drawn elements drags them (not offered yet)
extern int32_t window_hold_flag;    // set: scroll_to_rect leaves the window where it is
extern int32_t anno_tie_turn;       // which of equally near annotations the next click takes

extern int32_t gselect_reference_value;
extern uint32_t gselect_seen_line;
extern uint32_t gselect_seen_text;

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
