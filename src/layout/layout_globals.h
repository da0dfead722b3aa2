// layout_globals.h: the program-wide state of the page layout engine.
#pragma once

#include <cstdint>
#include <map>
#include <unordered_set>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_services.h"

extern int32_t measure_start[MAX_PSTAVES];  // time at which each pstaff's current measure began

// ---- Page formatter and page location ------------------------------------------------------

extern int no_format_interrupt;      // set: format_interrupted no longer looks at events, answers 0
extern int32_t system_number;        // 1-based number of the system being formatted on its page
extern int32_t system_count;         // systems on the page being formatted
extern int whole_piece_format;       // set while format_all_pages runs (no warnings, no redraw)
extern int consistency_warnings_on;  // warn about voices that disagree before a page
// The staves of the pages formatted in whole, as they were drawn, while the piece stays as it
// was at change count `count` in notation context `context` (drawn_page_staves).
struct DrawnPages {
  uint32_t count = 0;
  int context = 0;
  std::map<int32_t, std::vector<DrawnStaff>> pages;
};
extern DrawnPages drawn_pages;
// The format of a page under way, as systems whose music was wider than their staves are cut:
// the systems cut so far (across its restarts), whether it must start again because the
// page's systems changed, how many times it has started again, and the room it has left.
struct PageFitting {
  int cuts = 0;
  bool restart = false;
  int depth = 0;
  // The height the page has left below its last staff, its systems at their natural
  // distances, and the distance between two systems.
  int64_t room = 0;
  int64_t natural_height = 0;  // of the page's staves at their natural distances
  int32_t system_distance = 0;
  // How much lower than their natural place the page's systems stand for what they hold to
  // keep clear of the system above (the first: of the paper's top), one entry a system; and
  // how many times the page was formatted again for it. The last entry is the room the last
  // system's ink takes below the bottom margins.
  std::vector<int32_t> ink_room;
  std::vector<int32_t> last_overlaps;  // what the last of those formats found
  // The least distance from each staff of a system (one entry a system, one in it a staff; 0
  // none) to the next staff, that the marks and lyrics between them keep clear of it; and what
  // the last format found.
  std::vector<std::vector<int32_t>> staff_room, last_staff_overlaps;
  int ink_passes = 0;
  // Each staff's middle line where the page's last format placed it, before the staff settings
  // of its system moved it.
  std::vector<int32_t> placed_middle_y;
  // What the distance below each staff was read as by the page's format: the distance to the
  // next system below a system's last staff, or the staff's own (system 1 the first, staff 0
  // the system's first); staves moved apart are placed from these, as a new format places
  // them (the voices as a format leaves them may read others).
  struct ReadDistance {
    enum Kind { NONE, TO_SYSTEM, TO_STAFF };
    Kind kind = NONE;
    int32_t system = 0, staff = 0, distance = 0;
  };
  std::vector<ReadDistance> read_distances;
  // Whether a page whose staves stand apart for their ink is moved rather than formatted again
  // (tests compare the two), and how many times it was.
  bool move_staves = true;
  int staff_moves = 0;
  // The piece's change count from which the page's format counts its changes: where it began,
  // or the last system cut for its width whose bars it went on with.
  uint32_t changes = 0;
};
extern PageFitting page_fitting;
// The ENDSYSTs at which a page too tall was cut: the pages they start hold systems the piece
// did not put there, and are cut for their staves in turn. By node handle: every format of a
// page asks after its starts.
extern std::unordered_set<uint32_t> fitted_page_starts;
// The systems of the page being formatted, by the handle of their first node, that their
// piece ends where it does but whose music is wider than their staves even squeezed as a line
// may be: the page is formatted again with them spaced with their least gaps (spacing_tight)
// before any of their bars is sent on. Kept across the formats of the page again, found anew
// by each format of it.
extern std::unordered_set<uint32_t> tight_system_starts;
// The system ends the format made cutting the systems of a piece that ends none where it
// chose to (it breaks neither its pages nor its systems), by node handle: they are not the
// piece's breaks, and the systems between them are the format's own, cut as soon as they are
// too wide. A break of the piece's own (the user's) makes every system its piece's again.
extern std::unordered_set<uint32_t> unchosen_system_ends;

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
// Whether a PRINT of the system's shown voices carries a staff switch's hand code (xlhrh), as
// the layering pass left them: else no note of the system has a staff switch near it.
extern bool hand_prints_in_system;

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

// The left edge that each pstaff's layer gives at one time point (from chord placement, then
// lowered to the columns of the clefs, keys, time signatures and bars placed before it).
struct SpacingWidths {
  int32_t x[MAX_PSTAVES][LAYERS];
  bool placed[MAX_PSTAVES][LAYERS] = {};  // the layers whose chord placecd placed here
};

extern int32_t system_end_time;  // the system's end, from its start
extern Drosa page_first_note;    // the first note spaced on the page; NIL before the first

void reset_spacing_globals();

// ---- Justification: springs, rods and relocation zones ------------------------------------

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
