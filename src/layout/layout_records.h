// layout_records.h: the layout records of a page (NTDATA after every note, CDDATA, CDDATA2
// and CDDATA3 after the last note of every staff chord, PDATA after every annotation): made,
// cleared and removed here, and the accessors of a chord's vertical extents.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// Clears the NTDATA after the note, keeping the fields that live across formats.
void clear_ntdata(Drosa note);

// Gives every NOTE and annotation of the current page its layout record; 0 when a format
// interrupt stopped it.
int32_t prepare_layout_nodes(int page_changed);

// Removes the chord records of the page last formatted; in the other-page mode (0) also its
// NTDATA and PDATA records.
inline constexpr int REMOVE_OTHER_PAGE = 0;
inline constexpr int REMOVE_SAME_PAGE = 1;
inline constexpr int REMOVE_WHOLE_PIECE = 322;  // every record of every voice
void remove_ntdata(int mode);

// Closes the pending staff chord of every layer of the system's pstaves at `time`.
void build_staff_chord(int32_t time, int32_t chord_number);

// Zeroes the table of measure starts per pstaff.
void clear_chord_table();

// The node of a kind among those attached before a note of the formatted page (the farthest
// back): the walk ends at the layout records of the note before, at a NOTE or at a visible
// ENDSYST.
Drosa attached_to_note(int kind, Drosa note);

// Extents of a chord (dir 2 = stems up, any other value = down).
int32_t get_hiy(Drosa cd, int dir);
int32_t get_loy(Drosa cd, int dir);
int32_t get_max_hiy(Drosa cd);
int32_t get_min_hiy(Drosa cd);
int32_t get_min_loy(Drosa cd);
void set_max_hiy(Drosa cd, int dir, int32_t y);
void set_min_loy(Drosa cd, int dir, int32_t y);
