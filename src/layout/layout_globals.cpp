// layout_globals.cpp: definitions of the layout engine's program-wide state.
#include "layout/layout_globals.h"

#include <cstring>

StaffData staff_data[MAX_PSTAVES];
VoiceData voice_data[64];

int32_t last_formatted_page = -500;
int reformat_pending = 0;
int32_t pstaff_count = 0;
int32_t first_pstaff = 0;
int32_t last_pstaff = -1;
Drosa last_chord;
int32_t measure_start[MAX_PSTAVES];

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
}
