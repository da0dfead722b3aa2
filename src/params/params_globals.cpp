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

Cell heading_cell;
Cell param_cell;

void reset_params_globals() {
  std::memset(param, 0, sizeof param);
  std::memset(param_order, 0, sizeof param_order);
  param_order_count = 0;
  param_heading_count = 0;
  min_line_width = 0;
  param_ref_size = param_cur_size = 50;
  for (Drosa& head : page_param_lists) head = NIL;
  heading_cell = param_cell = Cell{};
  reset_param_index();
}
