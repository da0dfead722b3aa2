// layout_globals.cpp: definitions of the layout engine's program-wide state.
#include "layout/layout_globals.h"

#include <cstring>

#include "layout/page_index.h"
#include "layout/spacing.h"
#include "model/model_services.h"

int32_t first_pstaff = 0;
int32_t last_pstaff = -1;
Drosa last_chord;
int32_t measure_start[MAX_PSTAVES];

// ---- Page formatter and page location ------------------------------------------------------
int no_format_interrupt = 0;
int32_t preparing_piece = 0;
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
PageFitting page_fitting;
DrawnPages drawn_pages;
std::unordered_set<uint32_t> fitted_page_starts;
std::unordered_set<uint32_t> tight_system_starts;
std::unordered_set<uint32_t> unchosen_system_ends;

void reset_layout_globals() {
  first_pstaff = 0;
  last_pstaff = -1;
  last_chord = NIL;
  std::memset(measure_start, 0, sizeof measure_start);
  no_format_interrupt = 0;
  preparing_piece = 0;
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
  page_fitting = PageFitting{};
  drawn_pages = DrawnPages{};
  fitted_page_starts.clear();
  tight_system_starts.clear();
  unchosen_system_ends.clear();
  clear_page_index();
  reset_print_chain_globals();
  reset_spacing_globals();
  reset_relocation_globals();
  reset_tie_slur_work();
}

// ---- Print chains, stems and beams --------------------------------------------------------

int32_t setprint_time = 0;       // time point of the layering pass
int32_t chord_number = 0;        // time points passed in the system
Drosa layering_start_print[64];  // each voice's PRINT at the system start
bool layering_rerun = false;     // the next layering run repeats the same system
bool hand_prints_in_system = false;

bool linear_spacing_context() {
  int context = current_ncontext >= 1 && current_ncontext <= MAX_NCONTEXTS ? current_ncontext : 1;
  return options_i16(context, OPTIONS_LINEAR_SPACING) != 0;
}

void reset_print_chain_globals() {
  setprint_time = 0;
  chord_number = 0;
  for (Drosa& print : layering_start_print) print = NIL;
  layering_rerun = false;
  hand_prints_in_system = false;
}

// ---- Horizontal spacing -------------------------------------------------------------------

SpacingCurve spacing_curve;                           // the duration-to-space curve and its cache
constinit SpacingStaff spacing_staff[MAX_PSTAVES]{};  // the spacing walk of each pstaff
int32_t spacing_x = 0;                                // running packed x of the system
int32_t spacing_idealx = 0;                           // running ideal x of the system
int32_t system_end_time = 0;                          // the system's end, from its start
Drosa page_first_note;                                // first note spaced on the page
bool spacing_tight = false;                           // the system is spaced with its least gaps

void reset_spacing_globals() {
  spacing_curve = SpacingCurve{};
  for (SpacingStaff& s : spacing_staff) s = SpacingStaff{};
  spacing_x = 0;
  spacing_idealx = 0;
  system_end_time = 0;
  page_first_note = NIL;
  spacing_tight = false;
}

// ---- Justification: springs, rods and relocation zones ------------------------------------

Drosa spring_head, spring_tail;                             // springs by ascending least force
Drosa rod_head, rod_tail;                                   // rods by descending force
int32_t spring_count = 0;                                   // springs made for the system
std::vector<Drosa> spring_index;                            // each spring by its number
SpringOrder spring_order;                                   // the springs by least force
std::vector<SpringOrder::iterator> spring_places;           // each spring's entry there
bool new_rod_error_reported = false;                        // the bad-rod report was given
RelocationZone relocation_zones[MAX_RELOCATION_ZONES + 2];  // left edge, zones, right edge
int32_t zone_count = 1;                                     // entries of relocation_zones in use

void reset_relocation_globals() {
  spring_head = spring_tail = rod_head = rod_tail = NIL;
  spring_count = 0;
  spring_index.clear();
  spring_order.clear();
  spring_places.clear();
  new_rod_error_reported = false;
  for (RelocationZone& zone : relocation_zones) zone = RelocationZone{};
  zone_count = 1;
}

// ---- Ties and slurs ---------------------------------------------------------------------------

// The large tables are zero from the start (constinit): cleared by code when the program starts,
// their hundred kilobytes would each be given memory, where a print uses a few of their entries.
constinit TieEntry tie_struct[TIE_STACK_SIZE]{};  // the tie stack
int32_t tie_count = 0;                            // entries in use
// Open slurs by pstaff, layer, side and grace.
constinit SlurEntry slur_buffer[MAX_PSTAVES][LAYERS][2][2]{};
Drosa slur_pass_first = NIL, slur_pass_last = NIL;  // what the slur pass drew for the system
Drosa system_drawn_after = NIL;                     // the element the system's drawing follows

void reset_tie_slur_work() {
  tie_count = 0;
  slur_pass_first = slur_pass_last = NIL;
  system_drawn_after = NIL;
  for (auto& layers : slur_buffer)
    for (auto& sides : layers)
      for (auto& graces : sides)
        for (SlurEntry& e : graces) e = SlurEntry{};
}
