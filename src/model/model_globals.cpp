// model_globals.cpp: definitions of the piece model's program-wide state.
#include "model/model_globals.h"

#include <cstring>

#include "model/kept_pages.h"
#include "platform/memory.h"

DrosaNode* drosa_block_base[DROSA_MAX_BLOCKS + 1];
void* drosa_block_allocation[DROSA_MAX_BLOCKS + 1];
uintptr_t drosa_node_base = 0;
void* drosa_reservation = nullptr;
uint32_t drosa_reserved_blocks = 0;

char message_buffer[REPORT_TEXT_SIZE];
int16_t part_first_voices[MAX_VOICES];
int16_t part_first_voice_count = 0;

constinit StaffData staff_data[MAX_PSTAVES]{};
VoiceData voice_data[64];
int32_t last_formatted_page = -500;
int reformat_pending = 0;
int32_t pstaff_count = 0;
Drosa insertion_point;
PagePoint insertion_point_pos;
int insertion_point_flashing = 0;
Drosa GE_head;
Drosa old_GE_head;
Drosa GE_tail;
int GE_list_complete = 0;
Drosa freeHead;
Drosa freeTail;
int32_t freeCount = 0;
int32_t total_Drosa_count = 0;
int32_t staff_drag_nodes = 0;
int32_t nest_nodes = 0;
DrosaFirstBlock first_block = {0, 0, 0, DROSA_BLOCK_REQUEST};
uint32_t drosa_block_total = 0;
int32_t first_block_nodes = 0;

Drosa line_template;
Drosa print_template;
Drosa beaming_head;
Drosa current_note_template;
Drosa text_template;
Drosa spacc_template;

int16_t voice_count = 0;
Drosa piece_start[MAX_VOICES];
Drosa page_start[MAX_VOICES];
Drosa system_cursor[MAX_VOICES];
Drosa time_cursor[MAX_VOICES];

uint64_t list_change_count = 0;
uint64_t note_change_count = 0;
uint64_t text_change_count = 0;
Drosa kept_places[KEPT_PLACE_TABLES][KEPT_PLACE_SLOTS];

Drosa undo_heads[2];
Drosa undo_tails[2];
int32_t undo_list_index = 0;
int32_t undo_node_count = 0;
bool undo_replaying = false;
int32_t undo_busy = 0;
int32_t undo_unrecorded = 0;
Drosa fresh_chain_first = NIL, fresh_chain_last = NIL;
bool entry_runs_kept = true;

uint32_t last_rest_failure_tick = 0;
int32_t empty_measure_found = 0;

uint8_t DrosaDirty = 0;
int32_t view_change_current = 0;
int32_t view_change_other = 0;
int32_t current_page = 1;

int16_t current_ncontext = 1;
int16_t ncontext_count = 1;
char ncontext_name[MAX_NCONTEXTS + 1][NCONTEXT_NAME_SIZE];
uint8_t options_struct[MAX_NCONTEXTS + 1][OPTIONS_SIZE];
uint8_t print_record[MAX_NCONTEXTS + 1][PRINT_RECORD_SIZE];
Drosa staff_list_head;
int32_t voices_removed = 0;
int32_t voices_added = 0;

uint8_t perf_defaults[PERF_DEFAULTS_SIZE];
int16_t requested_page = 0;
std::string piece_fsspec;
int16_t header_length = 0;
int32_t header_bytes_done = 0;

std::FILE* debug_stream = nullptr;
int32_t debug_last_choice = 0;
bool stop_in_relocate = false;
bool skip_relocate = false;
bool dump_springs_next = false;
bool record_transcribe = false;

void reset_model_globals() {
  reset_kept_pages();  // waits for lists lent to another thread before their nodes go
  for (uint32_t b = 1; b <= drosa_block_total; ++b) {
    drosa_block_allocation[b] = nullptr;
    drosa_block_base[b] = nullptr;
  }
  platform_unreserve(drosa_reservation, drosa_reservation_bytes(drosa_reserved_blocks));
  drosa_reservation = nullptr;
  drosa_reserved_blocks = 0;
  drosa_node_base = 0;
  drosa_block_total = 0;
  freeHead = freeTail = NIL;
  freeCount = total_Drosa_count = 0;
  staff_drag_nodes = 0;
  nest_nodes = 0;
  first_block = {0, 0, 0, DROSA_BLOCK_REQUEST};
  first_block_nodes = 0;
  line_template = print_template = beaming_head = NIL;
  current_note_template = text_template = spacc_template = NIL;
  for (StaffData& s : staff_data) s = StaffData{};
  for (VoiceData& v : voice_data) v = VoiceData{};
  last_formatted_page = -500;
  reformat_pending = 0;
  pstaff_count = 0;
  insertion_point = NIL;
  insertion_point_pos = {};
  insertion_point_flashing = 0;
  GE_head = old_GE_head = GE_tail = NIL;
  GE_list_complete = 0;
  ++list_change_count;
  for (auto& table : kept_places)
    for (Drosa& slot : table) slot = NIL;
  undo_heads[0] = undo_heads[1] = undo_tails[0] = undo_tails[1] = NIL;
  undo_list_index = 0;
  undo_node_count = 0;
  undo_replaying = false;
  undo_busy = 0;
  undo_unrecorded = 0;
  fresh_chain_first = fresh_chain_last = NIL;
  entry_runs_kept = true;
  last_rest_failure_tick = 0;
  empty_measure_found = 0;
  DrosaDirty = 0;
  view_change_current = view_change_other = 0;
  current_page = 1;
  voice_count = 0;
  for (int v = 0; v < MAX_VOICES; ++v)
    piece_start[v] = page_start[v] = system_cursor[v] = time_cursor[v] = NIL;
  current_ncontext = 1;
  ncontext_count = 1;
  std::memset(ncontext_name, 0, sizeof ncontext_name);
  std::memset(options_struct, 0, sizeof options_struct);
  std::memset(print_record, 0, sizeof print_record);
  staff_list_head = NIL;
  voices_removed = voices_added = 0;
  std::memset(perf_defaults, 0, sizeof perf_defaults);
  requested_page = 0;
  piece_fsspec.clear();
  header_length = 0;
  header_bytes_done = 0;
  message_buffer[0] = 0;
  part_first_voice_count = 0;
  if (debug_stream && debug_stream != stdout) std::fclose(debug_stream);
  debug_stream = nullptr;
  debug_last_choice = 0;
  stop_in_relocate = skip_relocate = dump_springs_next = record_transcribe = false;
}
