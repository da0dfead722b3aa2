// vertical_fit.h: systems and staves placed by what they hold: a system whose ink (stems and
// beams of notes on ledger lines, texts, hairpins, slurs) reaches the system below it, or a
// first system whose marks reach past the paper's top, stands lower; so does a staff that the
// marks or lyrics between it and the staff above reach.
#pragma once

#include <cstdint>
#include <vector>

// page_overlaps: after every system of the page is drawn, what its ink reaches, read in one walk
// of the GE list.
//
// `systems`: how much lower each system must stand
// for its ink to keep a staff space clear of the ink of the system above it, column by column
// across the page; for the first system, clear of the paper's top edge (paper_top, layout
// units). One entry per system, 0 where it stands clear, and a last entry: how much higher the
// last system must stand for its ink to stay on the paper and a staff space above the page's
// footer texts (anno_footer_boxes; their own ink is passed over). Elements of
// a system that lie wholly beyond the staves of its neighbours, or further than two system
// distances from its own (texts placed by the page, or misplaced), are passed over. Texts that were
// brought down onto the paper count where they would have stood. Reads: the current GE list,
// staff_data middle lines, sizes and places, pstaff_count,
//        page_fitting system_distance, anno_lowered_at_paper_top, anno_footer_boxes.

// `staves`: how much lower each staff but the last of a system must stand for what stands
// between it and the staff above to keep half a staff space clear, column by column: the marks
// (annotations) under the staff above of the marks, notes, ties, slurs and lines of the staff
// below; its notes, ties, slurs and lines of the marks of the staff below; its lines of lyrics
// of all the ink of the staff below. Ink of one staff that reaches the other's lines, as a bar
// line or beam joined to it does, and lines drawn from one staff to another, are passed over.
// One entry a system, one in it a staff (0 for the last).
// Reads: the current GE list, staff_data, pstaff_count, anno_lyric_lines.
struct PageOverlaps {
  std::vector<int32_t> systems;
  std::vector<std::vector<int32_t>> staves;
};
PageOverlaps page_overlaps(int32_t paper_top);
