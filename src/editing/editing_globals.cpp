// editing_globals.cpp: definitions of the editing subsystem's program-wide state.
#include "editing/editing_globals.h"

Drosa insertion_point;
PagePoint insertion_point_pos;
int insertion_point_flashing = 0;
uint32_t group_selected = 0;
int16_t selected_voice = -10;
int drag_scrolling = 0;

int16_t clipboard_kind = 0;
Drosa clipboard_list;

KeysigCache keysig_cache;

int32_t group_context = 0;
int32_t new_curve_direction = 0;

void reset_editing_globals() {
  insertion_point = NIL;
  insertion_point_pos = {};
  insertion_point_flashing = 0;
  group_selected = 0;
  selected_voice = -10;
  drag_scrolling = 0;
  clipboard_kind = 0;
  clipboard_list = NIL;
  keysig_cache = {};

  group_context = 0;
  new_curve_direction = 0;
}
