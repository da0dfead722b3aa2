// editing_globals.cpp: definitions of the editing subsystem's program-wide state.
#include "editing/editing_globals.h"

#include "editing/copypaste.h"
#include "editing/measures.h"

uint32_t group_selected = 0;
int16_t selected_voice = -10;
AuditionChannel audition_channel;
Drosa group_anchor;
uint32_t band_scroll_time = 0;
uint32_t element_drag_mode = 0;
int32_t window_hold_flag = 0;
int32_t anno_tie_turn = 1;
const NodeField* gselect_field_name = nullptr;
int32_t gselect_field_value = -111;
int32_t gselect_reference_value = 0;
uint32_t gselect_seen_line = 0;
uint32_t gselect_seen_text = 0;
int drag_scrolling = 0;

int16_t clipboard_kind = 0;
Drosa clipboard_list;

KeysigAnswer keysig_answers[KEYSIG_ANSWER_SLOTS];

int32_t group_context = 0;
int32_t new_curve_direction = 0;

SymbolEditState symbol_edit_state;
KeyCommandState key_command_state;

void reset_editing_globals() {
  group_selected = 0;
  selected_voice = -10;
  audition_channel = {};
  group_anchor = NIL;
  band_scroll_time = 0;
  element_drag_mode = 0;
  window_hold_flag = 0;
  anno_tie_turn = 1;
  gselect_field_name = nullptr;
  gselect_field_value = -111;
  gselect_reference_value = 0;
  gselect_seen_line = gselect_seen_text = 0;
  drag_scrolling = 0;
  clipboard_kind = 0;
  clipboard_list = NIL;
  for (KeysigAnswer& slot : keysig_answers) slot = {};

  group_context = 0;
  new_curve_direction = 0;
  symbol_edit_state = {};
  key_command_state = {};
  measures_dialog_state = {};
  delete_measures_all_staves = 1;
  clipboard_tail = NIL;
  copy_with_annos = copy_skip_first_annos = copy_staff_voices = copy_all_voices = copy_zones = 0;
  copy_voice_count = 0;
  copy_measure_count = 1;
}
