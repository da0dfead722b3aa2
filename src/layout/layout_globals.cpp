// layout_globals.cpp: definitions of the layout engine's program-wide state.
#include "layout/layout_globals.h"

#include <cstring>

#include "layout/page_index.h"

StaffData staff_data[MAX_PSTAVES];
VoiceData voice_data[64];

int32_t last_formatted_page = -500;
int reformat_pending = 0;
int32_t pstaff_count = 0;
int32_t first_pstaff = 0;
int32_t last_pstaff = -1;
Drosa last_chord;
int32_t measure_start[MAX_PSTAVES];

// ---- Page formatter and page location ------------------------------------------------------
int no_format_interrupt = 0;
int first_format = 0;
int32_t system_number = 1;
int32_t system_count = 0;
int whole_piece_format = 0;
int page_graphics_stale = 0;
int32_t printed_page_number = 1;
int32_t page_top_offset = 0;
int16_t page_count = 1;
int16_t page_first_bar = 1;
Drosa class_models[CLASS_MODEL_SLOTS];
int consistency_warnings_on = 1;

void reset_layout_globals() {
  for (StaffData& s : staff_data) s = StaffData{};
  for (VoiceData& v : voice_data) v = VoiceData{};
  last_formatted_page = -500;
  reformat_pending = 0;
  pstaff_count = 0;
  first_pstaff = 0;
  last_pstaff = -1;
  last_chord = NIL;
  std::memset(measure_start, 0, sizeof measure_start);
  no_format_interrupt = 0;
  first_format = 0;
  system_number = 1;
  system_count = 0;
  whole_piece_format = 0;
  page_graphics_stale = 0;
  printed_page_number = 1;
  page_top_offset = 0;
  page_count = 1;
  page_first_bar = 1;
  for (Drosa& model : class_models) model = NIL;
  consistency_warnings_on = 1;
  clear_page_index();
}
