// layout_globals.h: the program-wide state of the page layout engine.
#pragma once

#include <cstdint>
#include <map>
#include <unordered_set>
#include <vector>

#include "model/model_services.h"

inline constexpr int MAX_PSTAVES = 64;  // physical staves on a page
inline constexpr int LAYERS = 8;        // print chains per pstaff

// One physical staff of the page being formatted.
struct StaffData {
  Drosa ppnt[LAYERS];          // head of each layer's print chain (a dummy NOTE and its NTDATA)
  Drosa pending[LAYERS];       // each layer's last linked note, whose staff chord is open
  int32_t end_record[LAYERS];  // + end time (stems down), - end time (others), 0 none sounding
  int32_t middle_y;            // y of the middle line
  int32_t screen_middle_y;     // its copy made when a format completes
  int32_t distance_below;      // to the next pstaff
  int16_t staff_size;          // distance between lines, 50 normal
  uint8_t lines;               // number of lines
  uint8_t staff_type;          // 0 normal, 1 and 2 string tablature, 3 piano tablature
  uint8_t place;               // place in its system, 1 = first staff
  uint8_t screen_place;        // its copy made when a format completes
  int32_t chord_count;         // staff chords of the system
  int32_t first_note_x;        // x of the system's first note
  // Kept by the page drawing pass, per layer:
  Drosa cur_note[LAYERS];        // the last note handed to the beam buffer (the chain head first)
  int32_t next_time[LAYERS];     // start of the layer's next chord in the system
  Drosa rest_group[LAYERS];      // a whole-measure rest waiting for the bar that ends its measure
  int32_t rest_group_x[LAYERS];  // x where the measure of such a rest begins
};

// One voice while its page is formatted (twelve words).
struct VoiceData {
  Drosa system_start;        // word 0: first node of the system being formatted
  Drosa system_end;          // word 1: the ENDSYST that ends it
  Drosa print;               // word 2: the PRINT in force
  int32_t switch_direction;  // word 3: staff switch, 1 down, 2 up, 3 none
  int32_t switch_active;     // word 4
  Drosa cursor;              // word 5: the cursor of the layering pass
  int32_t next_time;         // word 6: time of its next note; 2100000000 when done
  Drosa beaming_start;       // word 7: BEAMING in force at the system start
  Drosa beaming_end;         // word 8: BEAMING in force at the system end
  Drosa clef;                // word 9: CLEF in force
  Drosa timesig;             // word 10: TIMESIG in force
  Drosa keysig;              // word 11: KEYSIG in force
};

extern StaffData staff_data[MAX_PSTAVES];
extern VoiceData voice_data[64];

extern int32_t last_formatted_page;  // page last formatted in this context; -500 none
extern int reformat_pending;  // set while the current page is out of date and being formatted
extern int32_t pstaff_count;  // pstaves on the page
extern int32_t first_pstaff;  // pstaves of the system being formatted
extern int32_t last_pstaff;
extern Drosa last_chord;                    // CDDATA of the staff chord closed last on the page
extern int32_t measure_start[MAX_PSTAVES];  // time at which each pstaff's current measure began

// ---- Page formatter and page location ------------------------------------------------------
inline constexpr int CLASS_MODEL_SLOTS = 25;  // annotation classifications 0..24

extern int no_format_interrupt;      // set: format_interrupted no longer looks at events, answers 0
extern int32_t preparing_piece;      // set while prepare_piece runs (the menus show the watch)
extern int first_format;             // set while the first format of a piece runs (uninterruptible)
extern int32_t system_number;        // 1-based number of the system being formatted on its page
extern int32_t system_count;         // systems on the page being formatted
extern int whole_piece_format;       // set while format_all_pages runs (no warnings, no redraw)
extern int page_graphics_stale;      // the GE list is not the current page's (format_all_pages ran)
extern int32_t printed_page_number;  // page number printed on the page being formatted
extern int32_t page_top_offset;      // offset of the page top kept by printing; 0 on the screen
extern int16_t page_count;           // pages of the current notation context
extern int16_t page_first_bar;       // number of the first measure of the current page
extern Drosa class_models[CLASS_MODEL_SLOTS];  // the model TPARAM of each classification
extern int consistency_warnings_on;            // warn about voices that disagree before a page
// The format of a page under way, as systems whose music was wider than their staves are cut:
// the systems cut so far (across its restarts), whether it must start again because the
// page's systems changed, and how many times it has started again.
struct PageFitting {
  int cuts = 0;
  bool restart = false;
  int depth = 0;
};
extern PageFitting page_fitting;
// The ENDSYSTs at which a page was cut because systems cut for their width made it too tall:
// the pages they start hold such systems too, and are cut for their height in turn. By node
// handle: every format of a page asks after its starts.
extern std::unordered_set<uint32_t> fitted_page_starts;

void reset_layout_globals();

// ---- Print chains, stems and beams of the system being formatted ------------------------
// The current time point of the layering pass and the number of time points passed in the
// system (the staff chords closed at one time point share it).
extern int32_t setprint_time;
extern int32_t chord_number;
// The PRINT each voice had at the system's start when the layering pass last began it; a
// layering run that must be repeated starts again from these.
extern Drosa layering_start_print[64];
// Set when the layers were split and the layering pass must run again on the same system.
extern bool layering_rerun;

// The options field that turns on linear spacing in a notation context (16 bits, non-zero
// on); grace notes are then never beamed across chords.
inline constexpr int OPTIONS_LINEAR_SPACING = 78;
bool linear_spacing_context();

void reset_print_chain_globals();

// ---- Horizontal spacing of the system being formatted ------------------------------------------
// The curve that turns a duration into its ideal space, and the three durations it gave a
// space to last (the few durations of a system are met again and again).
struct SpacingCurve {
  double k = 0;   // exponent: each doubling of a duration multiplies its space by 2^k
  double A = 0;   // amplitude: the space of a whole note
  double r = -1;  // parameter 221 and 220 the curve was made from (r -1: none yet)
  int32_t s = 0;
  int32_t key[3] = {0, 0, 0};  // cached durations and their spaces; key 0 is empty
  int32_t space[3] = {0, 0, 0};
  int index = 0;  // the slot written last
};
extern SpacingCurve spacing_curve;

// What the spacing pass keeps for one pstaff while it walks the system.
struct SpacingStaff {
  Drosa current[LAYERS];      // the layer's current note (the last of the chords walked so far);
                              // its chain head until the walk leaves the start
  int32_t next_time[LAYERS];  // start time of the layer's next chord; NO_TIME when it has ended
  int32_t shortest[LAYERS];   // the shortest duration of the layer's current chord
  int32_t left_edge[LAYERS];  // first-note x less twice the gap after keys and time signatures
  Drosa timesig;              // the TIMESIG in force at the chords the walk passed last
  int32_t end_time;           // the system's end time, from its start
  int32_t front_space;        // what the first chord needs from the staff's left x
  int32_t trailing_width;     // what the last chord needs behind it (kept by justification)
};
extern SpacingStaff spacing_staff[MAX_PSTAVES];

// The left edge that each pstaff's layer gives at one time point (from chord placement, then
// lowered to the columns of the clefs, keys, time signatures and bars placed before it).
struct SpacingWidths {
  int32_t x[MAX_PSTAVES][LAYERS];
};

extern int32_t spacing_x;        // running packed x of the system (page units)
extern int32_t spacing_idealx;   // running ideal x of the system
extern int32_t system_end_time;  // the system's end, from its start
extern Drosa page_first_note;    // the first note spaced on the page; NIL before the first

void reset_spacing_globals();

// ---- Justification: springs, rods and relocation zones ------------------------------------

// Springs and rods exist only while one system is justified: both lists are empty between
// systems. Springs ascend by least force, rods descend by force.
extern Drosa spring_head, spring_tail;
extern Drosa rod_head, rod_tail;
extern int32_t spring_count;  // springs made for the system, numbered 0 .. spring_count - 1
extern std::vector<Drosa> spring_index;  // each spring by its number
// The springs by ascending least force, as their list holds them, so that a spring finds its
// place in the list without walking it; and each spring's entry there, by its number.
using SpringOrder = std::multimap<float, Drosa>;
extern SpringOrder spring_order;
extern std::vector<SpringOrder::iterator> spring_places;
// The bad-rod report is given once per run of the program.
extern bool new_rod_error_reported;

// A relocation zone: the left edge of the system, each ZONE in use, and the right edge.
inline constexpr int MAX_RELOCATION_ZONES = 48;
struct RelocationZone {
  int32_t target;        // x where the zone begins
  int32_t first_spring;  // the first spring of the zone
  int32_t idealx;        // ideal and packed x and start time of the zone's chord
  int32_t origin;
  int32_t start_time;
};
extern RelocationZone relocation_zones[MAX_RELOCATION_ZONES + 2];
extern int32_t zone_count;  // entries in use; 1 (the left edge) when a system begins

void reset_relocation_globals();

// ---- Ties and slurs of the system being formatted ------------------------------------------
inline constexpr int TIE_STACK_SIZE = 255;           // ties waiting for their end notes
inline constexpr int32_t SLUR_Y_UNSET = 2100000000;  // a slur start y not known yet

// A tie waiting for its end note (thirteen words).
struct TieEntry {
  int32_t pstaff;
  int32_t layer;
  Drosa start;          // the start NOTE; NIL for a tie continued from the previous system
  int32_t side;         // 1 below, 2 above
  int32_t start_x;      // where the curve starts
  int32_t alt_start_x;  // the head's right edge, before the gap to the tie
  int32_t flags;        // 1: the entry has a y (a continued tie takes its end note's)
  int32_t position;     // diatonic position of the tied note
  int32_t y;
  int32_t dashed;
  int32_t voice;
  int32_t end_time;  // time from the system start at which the tied note ends; 0 continued
  int32_t bend;      // the tie bends to another pitch
};
extern TieEntry tie_struct[TIE_STACK_SIZE];
extern int32_t tie_count;  // entries in use, the top one at tie_count - 1

// A slur open on one pstaff, layer, side and grace kind; free while first_note is NIL.
struct SlurEntry {
  Drosa first_note;  // the note whose chord the slur starts at (the curve's owner)
  Drosa chord;       // CDDATA of the last chord the slur has reached
  int32_t start_x;
  int32_t start_y;  // over the chord; SLUR_Y_UNSET: the slur comes from the previous system
  int32_t extent;   // from start_y to the start's y beside its stem (0: it has none)
  int32_t voice;
  int32_t pstaff;      // staff of the start
  int32_t end_pstaff;  // staff of the end, set when the slur is drawn
  int32_t flip;        // the curve bows to the other side
  int32_t dashed, crawl, bend;
};
// Indexed by pstaff, layer, side - 1 (0 below, 1 above) and grace (1 for grace slurs).
extern SlurEntry slur_buffer[MAX_PSTAVES][LAYERS][2][2];

// Empties the tie stack and the slur buffer (a page is located, the globals are reset).
void reset_tie_slur_work();
