// lyric_lines.cpp: the heights of the lines of lyrics under a staff of a system.
//
// A document gives each syllable a height of its own, made for the other program's layout
// (or none, and the verse's default height): under this layout the syllables of one verse
// would wander up and down, stand on low notes, or on the next verse. Here each verse is one
// line across the system, placed under everything of the staff's music above it.
#include "annotations/lyric_lines.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>

#include "annotations/anno_globals.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

int32_t half_height(const StaffData& staff) {
  return int32_t(std::max<int>(staff.lines, 1) - 1) * staff.staff_size / 2;
}

size_t column_of(int64_t x, size_t columns) {
  return size_t(std::clamp<int64_t>(x / StaffFloor::COLUMN, 0, int64_t(columns) - 1));
}

// The lowest ink the floor holds under [left, right]; INT32_MAX for none.
int32_t lowest_under(const StaffFloor& floor, int32_t left, int32_t right) {
  if (floor.lowest.empty()) return INT32_MAX;
  int32_t lowest = INT32_MAX;
  const size_t n = floor.lowest.size();
  for (size_t c = column_of(left, n), last = column_of(right, n); c <= last; ++c)
    lowest = std::min(lowest, floor.lowest[c]);
  return lowest;
}

}  // namespace

std::map<int, StaffFloor> staff_floors(const std::vector<int>& pstaves) {
  std::map<int, StaffFloor> floors;
  const int64_t width = int64_t(layout_page_left_x()) + layout_page_width();
  const size_t columns = size_t(std::max<int64_t>(width, 0) / StaffFloor::COLUMN + 2);
  std::vector<int32_t> next_top(MAX_PSTAVES, INT32_MIN);
  std::vector<StaffFloor*> of_pstaff(MAX_PSTAVES, nullptr);
  for (int p : pstaves) {
    if (p < 0 || p >= pstaff_count || p >= MAX_PSTAVES) continue;
    const StaffData& staff = staff_data[p];
    StaffFloor& floor = floors[p];
    floor.middle_line = staff.middle_y;
    floor.bottom_line = staff.middle_y - half_height(staff);
    floor.gap = staff.staff_size / 2;
    floor.lowest.assign(columns, INT32_MAX);
    of_pstaff[size_t(p)] = &floor;
    // Ink that reaches the next staff's top line belongs to both staves, or to neither.
    if (p + 1 < pstaff_count && p + 1 < MAX_PSTAVES)
      next_top[size_t(p)] = staff_data[p + 1].middle_y + half_height(staff_data[p + 1]);
  }
  if (!GE_head || floors.empty()) return floors;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    const int p = ge_pstaff(e);
    if (p < 0 || p >= MAX_PSTAVES || !of_pstaff[size_t(p)]) continue;
    StaffFloor& floor = *of_pstaff[size_t(p)];
    GEInkBox box;
    if (!ge_ink_box(e, &box) || box.bottom >= floor.bottom_line ||
        box.bottom <= next_top[size_t(p)])
      continue;
    for (size_t c = column_of(box.left, columns), last = column_of(box.right, columns); c <= last;
         ++c)
      floor.lowest[c] = std::min(floor.lowest[c], box.bottom);
  }
  return floors;
}

void lyric_line_heights(std::vector<LyricSyllable>& syllables, const StaffFloor& floor) {
  std::vector<LyricSyllable*> below, unlettered;
  for (LyricSyllable& s : syllables) {
    s.drawn_y = s.y;
    if (s.y < floor.middle_line) (s.right > s.left ? below : unlettered).push_back(&s);
  }
  std::stable_sort(below.begin(), below.end(),
                   [](const LyricSyllable* a, const LyricSyllable* b) { return a->y > b->y; });
  int32_t move = 0;                                // how far the line before moved down (0 or less)
  int32_t before = INT32_MAX, before_descent = 0;  // the line before: its base line, descent
  std::vector<std::pair<int32_t, int32_t>> placed;  // each line's own height and where it stands
  for (size_t from = 0; from < below.size();) {
    // The line: the syllables within half its height of its highest.
    const int32_t top = below[from]->y;
    const int32_t half = (below[from]->ascent + below[from]->descent) / 2;
    size_t to = from;
    int32_t y = top, ascent = 0, descent = 0, clear = floor.bottom_line;
    for (; to < below.size() && below[to]->y >= top - half; ++to) {
      const LyricSyllable& s = *below[to];
      y = std::min(y, s.y);
      ascent = std::max(ascent, s.ascent);
      descent = std::max(descent, s.descent);
      clear = std::min(clear, lowest_under(floor, s.left, s.right));
    }
    // Moved as far as the lines above it, under the music above it and the line before.
    int64_t drawn = std::min(int64_t(y) + move, int64_t(clear) - floor.gap - ascent);
    if (before != INT32_MAX) drawn = std::min(drawn, int64_t(before) - before_descent - ascent);
    const int32_t line_y = int32_t(std::max<int64_t>(drawn, INT32_MIN / 2));
    move = line_y - y;
    for (size_t k = from; k < to; ++k) below[k]->drawn_y = line_y;
    placed.emplace_back(y, line_y);
    before = line_y;
    before_descent = descent;
    from = to;
  }
  // A syllable without letters (where an extender ends) makes no line of its own: it stands on
  // the line nearest its own height.
  for (LyricSyllable* s : unlettered) {
    int64_t nearest = INT64_MAX;
    for (const auto& [y, line_y] : placed)
      if (const int64_t d = std::llabs(int64_t(s->y) - y); d < nearest) {
        nearest = d;
        s->drawn_y = line_y;
      }
  }
}

void record_lyric_lines(int p, const std::vector<LyricSyllable>& syllables) {
  if (p < 0 || p >= MAX_PSTAVES) return;
  std::map<int32_t, LyricLineBox> lines;  // by base line
  for (const LyricSyllable& s : syllables) {
    auto [at, added] =
        lines.try_emplace(s.drawn_y, LyricLineBox{s.left, s.right, s.drawn_y, s.drawn_y});
    LyricLineBox& line = at->second;
    line.left = std::min(line.left, s.left);
    line.right = std::max(line.right, s.right);
    line.bottom = std::min(line.bottom, s.drawn_y - s.descent);
    line.top = std::max(line.top, s.drawn_y + s.ascent);
  }
  for (const auto& [y, line] : lines) lyric_line_boxes[p].push_back(line);
}

const std::vector<LyricLineBox>& anno_lyric_lines(int pstaff) {
  static const std::vector<LyricLineBox> none;
  return pstaff >= 0 && pstaff < MAX_PSTAVES ? lyric_line_boxes[pstaff] : none;
}

void anno_shift_lyric_lines(const std::vector<int32_t>& dy) {
  for (size_t p = 0; p < dy.size() && p < size_t(MAX_PSTAVES); ++p)
    for (LyricLineBox& line : lyric_line_boxes[p]) {
      line.bottom += dy[p];
      line.top += dy[p];
    }
}

void clear_anno_lyric_lines() {
  for (auto& lines : lyric_line_boxes) lines.clear();
}
