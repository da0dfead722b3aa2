// slurs.h: ties and slurs of a system: matching tie starts with their ends, opening and closing
// slurs, reserving their room in the chord extents, and carrying both across system breaks.
#pragma once

#include <cstdint>

#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

// clang-format off
// ---- ENDSYST: slurs that go on into the next system, by side and style -----------------------
inline constexpr auto xsys_slurup = bit_field("xsys_slurup", ENDSYST, 29, 5, 5);
inline constexpr auto xsys_dash_slurup = bit_field("xsys_dash_slurup", ENDSYST, 29, 3, 3);
inline constexpr auto xsys_dash_slurdown = bit_field("xsys_dash_slurdown", ENDSYST, 29, 2, 2);
inline constexpr auto xsys_crawl_slurup = bit_field("xsys_crawl_slurup", ENDSYST, 13, 7, 7);
inline constexpr auto xsys_crawl_slurdown = bit_field("xsys_crawl_slurdown", ENDSYST, 13, 6, 6);
inline constexpr auto xsys_bend_slurup = bit_field("xsys_bend_slurup", ENDSYST, 13, 5, 5);
inline constexpr auto xsys_bend_slurdown = bit_field("xsys_bend_slurdown", ENDSYST, 13, 4, 4);
// clang-format on

// The slur a stem group starts (one record for normal, one for grace slurs).
struct SlurWork {
  Drosa note;  // the note whose slur mark it is; NIL when the group starts no slur
  int kind;    // 1 below, 2 above, 3 either
  bool hang_left, hang_right, one_sided, split, dashed, crawl, bend;
  int side;      // the side chosen: 1 below, 2 above
  bool flipped;  // the side came from the other stem direction
};

// layout_slurs: the ties and slurs of the system first_pstaff..last_pstaff: those continued
// from the previous system re-opened after the signs at its left edge, every chain walked for
// glissandi, tie ends and starts and the slurs of each stem group, a slur whose voice went on
// to another chain ended at its chord there, and what is left open drawn to the right edge
// and recorded in the system's ending ENDSYSTs.
// Reads:  the system's print chains and layout records, the voice lists, NOTE tie, slur and
//         glissando fields, TSMODs, voice_data (system start and end), staff_data (signs_end_x
//         too), first_note_x, the page.
// Writes: the tie stack, the slur buffer, NTDATA xtieup, chord extents, the GE list, the tie
//         bytes and slur flags of the system's ending ENDSYSTs, slur_pass_first and _last.
// Failure: polls for an interrupt at every note: 0 when told to stop, else 1.
int32_t layout_slurs();

// ---- The tie stack ------------------------------------------------------------------------------

// Pushes an entry (a full stack loses its top entry to it); removes the top entry into *entry
// (0 when the stack is empty); removes entry i, the top one taking its slot.
// Reads and writes: tie_struct, tie_count.
void tie_stack_push(const TieEntry& entry);
int tie_stack_pop(TieEntry* entry);
void tie_stack_remove(int i);

// ---- Tie and slur ends ------------------------------------------------------------------------

// The y of a tie end beside the note's head: clear of the head and of the staff lines by
// parameter 210, and below a second whose upper note is tied below too, one step lower.
int32_t tie_end_y(Drosa note, int side, int pstaff);
// True when a slur on side (or the other side, with flip) can end at the note's stem.
bool slur_end_candidate(Drosa note, int side, int flip);
// The y of a slur end at the note's chord, parameter 222 beyond the chord's extent on side.
int32_t slur_end_y(Drosa note, int side, int flipped);
// From a slur end's y over the note's chord (slur_end_y) to its y beside the note's stem, by
// parameter 222 off the chord's heads: 0 when the slur cannot end at the stem.
int32_t slur_end_extent(Drosa note, int side, int flipped, int32_t y);
// The side of the slur that starts at the note (requested 1 or 2 kept; 3 chosen); fills
// rec->side and rec->flipped and returns the chord's CDDATA.
Drosa slur_side(Drosa note, int requested, int pstaff, int layer, SlurWork* rec);
// Opens the slur of the record on side at the note (or, when one is open, carries it on).
// Reads:  the chord's extents and heads, parameters 222, 224-227, 390, 650.
// Writes: the slur buffer entry; the chord's extents (room beyond the slur's start).
// Failure: level 4 "slurdata() has NIL slurnote".
void slurdata(Drosa note, int pstaff, int layer, int side, int grace, const SlurWork* rec);
// Ends the open slur of side at the note's chord and draws it; note_pstaff is the note's own
// pstaff when it is not pstaff (the slur's voice went on to another staff).
// Reads:  the slur buffer entry, the chord's extents and heads, parameters 222, 224-227, 390,
//         649. Writes: the chord's extents, the GE list (drawtie), the entry (freed).
// Failure: level 4 "Slur direction confusion in endchord." for a side other than 1 or 2.
void endchord_slur_dir(Drosa note, int pstaff, int layer, int side, int grace, const SlurWork* rec,
                       int note_pstaff = -1);
