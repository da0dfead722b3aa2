// layout_records.h: the layout records of a page (NTDATA after every note, CDDATA, CDDATA2
// and CDDATA3 after the last note of every staff chord, PDATA after every annotation): made,
// cleared and removed here, and the accessors of a chord's vertical extents.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

// Clears the NTDATA after the note, keeping the fields that live across formats.
void clear_ntdata(Drosa note);

// Removes the chord records of the page last formatted; in the other-page mode (0) also its
// NTDATA and PDATA records.
inline constexpr int REMOVE_OTHER_PAGE = 0;
inline constexpr int REMOVE_SAME_PAGE = 1;

// Closes the pending staff chord of every layer of the system's pstaves at `time`. A rest the
// chord's other notes stand for, and an unprinted note beside notes that show, leave it.
void build_staff_chord(int32_t time, int32_t chord_number);

// The stem settings (PRINT xprintdir) the shown voices' PRINTs in force give each pstaff:
// none, one (`dir`), or two or more. Read again whenever a voice meets a PRINT.
struct StaffStems {
  uint8_t settings[MAX_PSTAVES] = {};
  int16_t dir[MAX_PSTAVES] = {};
};
void read_staff_stems(StaffStems& stems);

// A note of a staff chord being closed: its NTDATA and its duration.
struct ChordNote {
  Drosa note;
  Drosa nt;
  int32_t duration;
};

// Closes at `time` the pending staff chords of the listed print chains only (pstaff * LAYERS +
// layer, ascending): those that took notes since the chords were last closed, the others
// having nothing open. `bar_before[chain]`: whether a BAR stands before a note the chain took
// (else its chord begins no measure). `taken[chain]`: the notes the chain took since, in chain
// order, as the chain holds them (the chord is then not walked again); emptied here.
void close_staff_chords(const std::vector<int>& chains, const bool* bar_before,
                        const StaffStems& stems, int32_t time, int32_t chord_number,
                        std::vector<ChordNote>* taken);

// Zeroes the table of measure starts per pstaff.
void clear_chord_table();

int32_t get_min_hiy(Drosa cd);

// The print chain a note's staff chord lies in, as pstaff * LAYERS + layer (its CDDATA3);
// -1 when the chord has no records on the page.
int chord_chain(Drosa note);
