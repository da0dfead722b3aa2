// measures.h: Insert Measures and Delete Measures. Whole measures of rests go into every voice
// (or the voices of one staff) at the insertion point or at the end of its system, in new
// systems and pages when asked; measures come out of the voices at the insertion point with the
// staff, clef, time and beaming settings in force after them kept. The same routine fills a new
// piece with its first measures.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// The Insert Measures dialog's values, kept from one use to the next.
struct MeasuresDialogState {
  int32_t new_piece = 0;
  int32_t measures = 16;
  int32_t beats = 4;
  int32_t beat_value = 4;
  int32_t at_insertion_point = 0;  // 1 at the insertion point, 0 at the end of its system
  int32_t all_staves = 1;          // 1 every staff, 0 the insertion point's staff only
  int32_t two_voices = 0;          // a new piece keeps its second voice
  int32_t measures_per_system = 4;
  int32_t systems_per_page = 4;
  int32_t keep_systems = 0;  // measures go into the present systems
};
extern MeasuresDialogState measures_dialog_state;
// Delete Measures: all staves (1) or the insertion point's staff (0), kept between uses.
extern int32_t delete_measures_all_staves;

// make_measures: Insert Measures (dialog 1085), or the first measures of a new piece (dialog
// 132) with `new_piece`. A TIMESIG gives the dialog its beats and beat value; for a new piece
// the values chosen are written back into it. part_name (may be nullptr) receives an empty
// name. 1 done, 0 refused or cancelled.
// Reads:  insertion_point, selected_voice, the voice lists, the context's options.
// Writes: the voice lists (recorded for undo unless the piece is new), page_count,
//         measures_dialog_state, insertion_point (cleared), DrosaDirty.
// Failure: level 2 "Measure insertion is possible only from notation context '%s'.", the beat
//          value message; level 4 "Insert measures: beat value must be a power of two",
//          "end_of_page logic error in make_measures", "at_sys_time logic error in
//          make_measures"; 0.
int make_measures(Drosa timesig, int new_piece, char* part_name);

// The rests that fill one empty measure of `beats` beats of value `beat_value` (a power of two
// from 1 to 64): a chain of rest NOTE nodes linked to nothing, with their playback data; NIL
// after the level 4 report for a beat value that is no power of two.
Drosa measure_template(int beats, int beat_value);

// do_delete_measures: Delete Measures (dialog 14298) from the insertion point's measure.
// Every voice's stretch is found and checked before anything is removed: a deletion that
// would leave a voice without notes changes nothing.
// Reads:  insertion_point, selected_voice, the voice lists.
// Writes: the voice lists (recorded), page_count, current_page, insertion_point (cleared).
// Failure: level 2 "Measure deletion is possible only from the '%s' notation context.",
//          "You cannot delete all the measures in the piece!", "This deletion leaves '%s'
//          without any notes in the piece!", "The end of this deletion is in the middle of a
//          note on voice '%s'!" (the deletion goes on); level 4 "end_of_page logic error in
//          do_delete_measures".
void do_delete_measures();

// delete_measures: the work of Delete Measures without its dialog and questions: `count`
// measures from the insertion point's chord, in every shown voice (or those of its staff).
// 1 when measures were removed; 0 (after a message) when nothing changed.
int delete_measures(int32_t count, int all_staves);

// adjust_deletion_bounds: widens the stretch first..last of one voice to whole nodes between
// notes: back to just after the previous note when the break after the stretch is to go with
// it, else forward to just before the next note and the nodes that qualify it. 0 (nothing
// changed) when no note would be left in the voice.
int adjust_deletion_bounds(Drosa* first, Drosa* last);

// restore_settings_in_force: before first..last is removed, puts a copy of each PRINT, CLEF,
// TIMESIG and BEAMING that is in force after the stretch, and not before it, in front of first
// (replacing one attached there). Recorded for undo.
void restore_settings_in_force(Drosa first, Drosa last);
