// specspace.h: how far the packed position of a system advances at one time point, so that
// the chords there and the clefs, keys, time signatures, bars and spaces before them clear
// what stands before them; and the measures of rests that become one multi-measure rest.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

// The modes of specspace.
inline constexpr int SPACE_SYSTEM_START = 16;  // the system's first occupied time point
inline constexpr int SPACE_INSIDE = 17;        // any other time point
inline constexpr int SPACE_SYSTEM_END = 18;    // behind the system's last chords

// specspace: the advance of spacing_x at the time point at time `previous_time` (mode 16 or
// 17) or at the end of the system (18). `widths` holds for every pstaff and layer the left
// edge of the chord placed there (spacing_x where none is); the signs attached before the
// chords are set in one column per kind across all staves, nearest the chord first: space,
// bar, time signature, key signature, clef at a system start; space, time signature, key
// signature, bar, clef elsewhere. The grace arguments come from the spacing pass: whether
// grace and after-grace chords stand here, whether the grace chords of the time point before
// lead to this one, and how many time points a run of graces takes to its main chord.
// Reads:  spacing_staff (each layer's walk), spacing_x, the chains and chord records, the
//         signs before the chords, the parameters, staff_data.
// Writes: the widths; the x of the signs placed (xclefx, xkeyx, xtimex, xbarx); spacing_staff
//         front_space (mode 16) and trailing_width (mode 18); CDDATA2 xreloc_spring of grace
//         chords drawn into the space before them; what look_for_measures_of_rests writes.
// Failure: level 4 "grace logic error in specspace step 1" / "... step 2" for a grace chord
//          where no grace was seen (the chord is passed over).
int32_t specspace(SpacingWidths& widths, int32_t previous_time, int mode, int grace_seen,
                  int after_grace_seen, int grace_carry, int32_t grace_run);

// look_for_measures_of_rests: from the chords at `time` on, the measures in which every layer
// of every pstaff of the system holds only rests filling the measure are counted. Two or more
// in a row become one multi-measure rest: the first chord of each layer keeps its rests
// (xrestchar 2, CDDATA xrcmeas the count) and the other chords of those measures leave the
// print chains with their chord records. A single one makes a layer's lone rest a
// whole-measure rest (xrestchar 1). The piece's last measure, shorter than its time signature
// after a pickup, counts as long as its chords last when a layer rests through it on a whole
// rest (one holding a ratio that makes it last the measure); only such rests become its
// whole-measure rests. Rests of an up-stem and a down-stem layer
// sharing a staff move apart (unless their stems were set). Returns the measures counted.
// Reads:  spacing_staff, the chains, the ENDSYST after the last chord, TIMESIG in force,
//         parameters 190 and 553.
// Writes: NTDATA xrestchar and xhdy, CDDATA xrcmeas, the chains, the chord records, the page's
//         chord chain and last_chord.
// Failure: level 4 "CDDATA logic error in spacing2" (also CDDATA2, CDDATA3) for a chord
//          without its records (it stays); "Error in look_for_measures_of_rests; got a note on
//          staff %hd!" (the note's chord stays).
int32_t look_for_measures_of_rests(int32_t time);

// ---- Widths of signs ---------------------------------------------------------------------------

// key_signature_width: the summed widths of the key signature's accidentals (flats for codes
// 0 to 6, sharps for 7 to 13, naturals above), on pstaff `staff`; 0 for an empty one.
int32_t key_signature_width(Drosa keysig, int staff);
// bar_info: the BAR after the note, before the next note (the node itself when it is a BAR),
// or NIL; with its repeat flag (dots after the line), its type (0 single, 1 thin-thin, 2
// thin-thick, 3 thick-thin) and whether its lines are thick. Any out-value may be null.
Drosa bar_info(Drosa note, int* repeat, int* type, int* thick);
// bar_width: the width of a bar line beyond its plain line: its repeat dots, second line and
// thick line, on pstaff `staff`; out_repeat (may be null) receives the repeat flag.
int32_t bar_width(Drosa bar, int staff, int* out_repeat);

// Forgets the right edges of chords that specspace keeps while a layer stands at one chord,
// and which layers' chords passed so far hold lyrics; the spacing pass calls it before it
// places a system's chords anew.
void forget_right_edges();
// The right edges kept for the layers of pstaves `from`..`to` that hold chords, and the same
// given back (spacing_staff counting the same layers): the spacing pass goes on from an
// earlier time point with what it kept there.
struct KeptRightEdge {
  Drosa chord;
  int32_t edge;
};
std::vector<KeptRightEdge> copy_right_edges(int from, int to);
void restore_right_edges(int from, const std::vector<KeptRightEdge>& edges);
