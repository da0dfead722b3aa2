// staff_shift.h: a formatted page's staves moved apart, and all it drew and placed with them.
#pragma once

#include <cstdint>
#include <vector>

// shift_page_staves: moves staff p of the formatted page by dy[p] (layout units, upward): its
// middle line, the elements drawn on it (see ge_shift_staves), its notes' heads, its chords'
// extents, the boxes of annotations by the staff of each end and its lines of lyrics. False,
// and nothing moved, when something would not stand where a new format puts it: a drawn
// element that cannot follow, a note drawn on a neighbouring staff that moves otherwise, an
// annotation of no staff of the page, or of a moving staff that the page places (Position Lock)
// or that stands near the paper's edge, texts of a moving staff brought down onto the paper.
// Reads and writes: staff_data, the page's layout records, the current GE list, the lines of
//        lyrics. Reads: pstaff_count, page_start, anno_lowered_at_paper_top, the paper's height.
bool shift_page_staves(const std::vector<int32_t>& dy);

// shift_system_records: the records the passes of the system first_pstaff..last_pstaff made
// for its drawing, its staves moved by dy[p] (layout units, upward) before it is drawn: its
// notes' heads and its chords' extents. False, and nothing moved, when a note is drawn on a
// neighbouring staff that moves otherwise.
// Reads: staff_data (chains, places), pstaff_count, first_pstaff, last_pstaff. Writes: the
//        system's layout records.
bool shift_system_records(const std::vector<int32_t>& dy);
