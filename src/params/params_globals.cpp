// params_globals.cpp: definitions of the engraving parameters' program-wide state.
#include "params/params_globals.h"

#include <cstring>

#include "params/param_index.h"

ParamRecord param[PARAM_SLOTS];
int16_t param_order[PARAM_SLOTS];
int32_t param_order_count;
int32_t param_heading_count;
int32_t min_line_width;

int32_t param_ref_size = 50;
int32_t param_cur_size = 50;
Drosa page_param_lists[64];

DialogRef param_dialog_window = nullptr;
ListBox* heading_list = nullptr;
ListBox* param_list = nullptr;
Drosa param_editor_note;
Cell heading_cell;
Cell param_cell;
int param_changes_only = 0;
int heading_count = 0;
std::vector<int> heading_position;
int param_row_count = 0;
std::vector<int> param_row_position;
std::vector<int> param_row_changed;
int param_size_radio = 4;
int param_scope_radio = 16;
int param_context_radio = 19;

void reset_params_globals() {
  std::memset(param, 0, sizeof param);
  std::memset(param_order, 0, sizeof param_order);
  param_order_count = 0;
  param_heading_count = 0;
  min_line_width = 0;
  param_ref_size = param_cur_size = 50;
  for (Drosa& head : page_param_lists) head = NIL;
  param_dialog_window = nullptr;
  heading_list = param_list = nullptr;
  param_editor_note = NIL;
  heading_cell = param_cell = Cell{};
  param_changes_only = 0;
  heading_count = param_row_count = 0;
  heading_position.clear();
  param_row_position.clear();
  param_row_changed.clear();
  param_size_radio = 4;
  param_scope_radio = 16;
  param_context_radio = 19;
  reset_param_index();
}
