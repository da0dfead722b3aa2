// lyric_lines.h: the lines of lyrics under a staff of a system. Each line (a verse) stands at
// one height across the system, below the staff and clear of its notes, and the lines keep
// the order of their heights, each below the one before it.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "model/model_services.h"

// One syllable where its own offsets put it (layout units, y upward).
struct LyricSyllable {
  Drosa tparam;
  int32_t left = 0, right = 0;  // its x range
  int32_t y = 0;                // its base line
  int32_t ascent = 0, descent = 0;
  int32_t drawn_y = 0;  // the base line of its line, set by lyric_line_heights
};

// What lies under a staff: its bottom line and the lowest ink of its music, column by column.
struct StaffFloor {
  static constexpr int32_t COLUMN = 50;  // width of a column, layout units
  int32_t middle_line = 0, bottom_line = 0;
  int32_t gap = 0;              // room kept between the music and the letters of a line
  std::vector<int32_t> lowest;  // by column from x 0; INT32_MAX where no ink hangs below
};

// staff_floors: the floor of each of the pstaves: the lowest ink of what is drawn on it that
// hangs below its bottom line without reaching the staff below it (bar lines and beams joined
// to that staff, marks misplaced there); `gap` is half the staff's space. One walk of the list.
// Reads: the current GE list, staff_data, pstaff_count, layout_page_width. Writes: nothing.
std::map<int, StaffFloor> staff_floors(const std::vector<int>& pstaves);

// lyric_line_heights: the base line each syllable is drawn on (drawn_y). Syllables below the
// staff's middle line are gathered into lines, from the highest down: a syllable within half
// its line's height of the highest syllable of the line belongs to it. A line stands at its
// lowest syllable, lower when its letters would come nearer the music above them than the
// floor's gap (the staff's bottom line counting as music), and the lines below it move with
// it, each at least a line's height below the one before. A syllable without letters (an
// extender's end) stands on the line nearest its height. Syllables above the middle line keep
// their place. Pure.
void lyric_line_heights(std::vector<LyricSyllable>& syllables, const StaffFloor& floor);

// record_lyric_lines: the lines the syllables of pstaff p stand on (by their drawn_y) become
// its lines of lyrics (anno_lyric_lines).
// Writes: lyric_line_boxes[p].
void record_lyric_lines(int p, const std::vector<LyricSyllable>& syllables);
