// vertical_fit.cpp: how far the ink of each system of a drawn page reaches into the system
// above it. The page is cut into narrow columns; in each, the lowest ink of a system is
// compared with the highest ink of the system below, so that a high note at one end of a
// system and a low note at the other end of the one above do not push them apart.
#include "layout/vertical_fit.h"

#include <algorithm>
#include <climits>

#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int32_t COLUMN = 100;  // width of the columns compared, layout units

// The systems of the page: their first and last pstaves.
struct SystemStaves {
  int first = 0, last = 0;
};

std::vector<SystemStaves> page_systems(std::vector<int>* system_of_pstaff) {
  std::vector<SystemStaves> systems;
  system_of_pstaff->assign(size_t(std::max(pstaff_count, 0)), -1);
  for (int p = 0; p < pstaff_count && p < MAX_PSTAVES; ++p) {
    if (staff_data[p].place == 1 || systems.empty()) systems.push_back({p, p});
    systems.back().last = p;
    (*system_of_pstaff)[size_t(p)] = int(systems.size()) - 1;
  }
  return systems;
}

// Half the height of a staff: from its middle line to its top or bottom line.
int32_t half_height(const StaffData& staff) {
  return int32_t(std::max<int>(staff.lines, 1) - 1) * staff.staff_size / 2;
}

// The highest and lowest ink of one system, column by column.
struct Skyline {
  std::vector<int32_t> top, bottom;
  explicit Skyline(size_t columns) : top(columns, INT32_MIN), bottom(columns, INT32_MAX) {}
  void add(const GEInkBox& box, size_t columns) {
    spread(box, columns, [&](size_t c) {
      top[c] = std::max(top[c], box.top);
      bottom[c] = std::min(bottom[c], box.bottom);
    });
  }
  // Visits the columns a box covers.
  template <typename Visit>
  static void spread(const GEInkBox& box, size_t columns, Visit visit) {
    const size_t first = size_t(std::clamp<int64_t>(box.left / COLUMN, 0, int64_t(columns) - 1));
    const size_t last = size_t(std::clamp<int64_t>(box.right / COLUMN, 0, int64_t(columns) - 1));
    for (size_t c = first; c <= last; ++c) visit(c);
  }
};

// The staves' middle lines are placed on whole tenths of a point: what is left over by that
// rounding is not a meeting.
int32_t settled(int32_t overlap) { return overlap > 10 ? (overlap + 9) / 10 * 10 : 0; }

GEInkBox to_ink_box(const AnnoBox& b) {
  GEInkBox box;
  box.left = b.left;
  box.right = b.right;
  box.top = b.top;
  box.bottom = b.bottom;
  return box;
}

// Whether ink is a footer's own (lies within a footer's box, give or take a little).
bool in_footer(const GEInkBox& box) {
  constexpr int32_t SLACK = 40;
  for (const AnnoBox& f : anno_footer_boxes())
    if (box.left >= f.left - SLACK && box.right <= f.right + SLACK &&
        box.bottom >= f.bottom - SLACK && box.top <= f.top + SLACK)
      return true;
  return false;
}

// The ink on one side of the gap between two staves of a system, column by column: the
// lowest of what hangs below the upper staff or the highest of what rises above the lower one.
// Empty until something is added.
struct Edge {
  std::vector<int32_t> y;
  void add(const GEInkBox& box, size_t columns, bool hanging) {
    if (y.empty()) y.assign(columns, hanging ? INT32_MAX : INT32_MIN);
    Skyline::spread(box, columns, [&](size_t c) {
      y[c] = hanging ? std::min(y[c], box.bottom) : std::max(y[c], box.top);
    });
  }
};

// How far the ink rising from below reaches into the clearance under the ink hanging above,
// at most over the columns (INT32_MIN when they share none).
int32_t meeting(const Edge& hanging, const Edge& rising, int32_t clearance) {
  int32_t most = INT32_MIN;
  if (hanging.y.empty() || rising.y.empty()) return most;
  for (size_t c = 0; c < hanging.y.size(); ++c)
    if (hanging.y[c] != INT32_MAX && rising.y[c] != INT32_MIN)
      most = std::max(most, rising.y[c] + clearance - hanging.y[c]);
  return most;
}

// The gap below a staff: the marks (annotations) and the notes' glyphs hanging from it, and
// those rising from the staff below; and all the ink rising from there, for the lyrics.
struct Gap {
  Edge marks_hanging, notes_hanging, marks_rising, notes_rising, all_rising;
};

}  // namespace

std::vector<int32_t> ink_overlaps(int32_t paper_top) {
  std::vector<int> system_of;
  const std::vector<SystemStaves> systems = page_systems(&system_of);
  std::vector<int32_t> overlaps(systems.size() + 1, 0);
  if (systems.empty() || !GE_head) return overlaps;
  overlaps.pop_back();
  // The top line of each system's first staff and the bottom line of its last.
  std::vector<int32_t> top_line, bottom_line;
  for (const SystemStaves& s : systems) {
    top_line.push_back(staff_data[s.first].middle_y + half_height(staff_data[s.first]));
    bottom_line.push_back(staff_data[s.last].middle_y - half_height(staff_data[s.last]));
  }
  // What a system holds reaches at most this far from its staves, and never wholly past the
  // staves of the systems beside it: anything further is placed by the page, or misplaced, and
  // does not move with its system.
  const int64_t reach = 2 * int64_t(page_fitting.system_distance);
  auto reaches = [&](const GEInkBox& box, size_t s) {
    if (box.top < bottom_line[s] - reach || box.bottom > top_line[s] + reach) return false;
    if (s + 1 < systems.size() && box.top < bottom_line[s + 1]) return false;
    return s == 0 || box.bottom <= top_line[s - 1];
  };
  const size_t columns = size_t(std::max(layout_page_width(), COLUMN) / COLUMN + 2);
  std::vector<Skyline> ink(systems.size(), Skyline(columns));
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    const int pstaff = ge_pstaff(e);
    if (pstaff < 0 || pstaff >= int(system_of.size())) continue;
    GEInkBox box;
    if (!ge_ink_box(e, &box)) continue;
    const size_t s = size_t(system_of[size_t(pstaff)]);
    if (!reaches(box, s) || in_footer(box)) continue;
    ink[s].add(box, columns);
  }
  for (size_t s = 0; s < systems.size(); ++s) {
    const int32_t clearance = staff_data[systems[s].first].staff_size;
    int32_t most = INT32_MIN;
    for (size_t c = 0; c < columns; ++c) {
      if (ink[s].top[c] == INT32_MIN) continue;
      const int32_t above = s == 0 ? paper_top : ink[s - 1].bottom[c];
      if (above == INT32_MAX) continue;
      most = std::max(most, ink[s].top[c] + clearance - above);
    }
    // Texts brought down onto the paper stand there whatever the system's place: the first
    // system must stand lower by as much for them to stand where they belong.
    if (s == 0 && most != INT32_MIN) {
      int32_t lowered = 0;
      for (int p = systems[0].first; p <= systems[0].last; ++p)
        lowered = std::max(lowered, anno_lowered_at_paper_top(p));
      most += lowered;
    }
    overlaps[s] = settled(most);
  }
  // The last system's ink stays on the paper, and a staff space clear of the page's footer.
  std::vector<int32_t> floor(columns, 0);
  const int32_t clearance = staff_data[systems.back().last].staff_size;
  for (const AnnoBox& f : anno_footer_boxes())
    Skyline::spread(to_ink_box(f), columns,
                    [&](size_t c) { floor[c] = std::max(floor[c], f.top + clearance); });
  int32_t most = INT32_MIN;
  for (size_t c = 0; c < columns; ++c)
    if (ink.back().bottom[c] != INT32_MAX) most = std::max(most, floor[c] - ink.back().bottom[c]);
  overlaps.push_back(most != INT32_MIN ? settled(most) : 0);
  return overlaps;
}

std::vector<std::vector<int32_t>> staff_overlaps() {
  std::vector<int> system_of;
  const std::vector<SystemStaves> systems = page_systems(&system_of);
  std::vector<std::vector<int32_t>> overlaps;
  for (const SystemStaves& s : systems) overlaps.emplace_back(size_t(s.last - s.first + 1), 0);
  const int staves = int(system_of.size());
  if (staves < 2 || !GE_head) return overlaps;
  auto top_line = [](int p) { return staff_data[p].middle_y + half_height(staff_data[p]); };
  auto bottom_line = [](int p) { return staff_data[p].middle_y - half_height(staff_data[p]); };
  auto staff_below = [&](int p) {
    return p >= 0 && p + 1 < staves && system_of[size_t(p)] == system_of[size_t(p + 1)];
  };
  const size_t columns = size_t(std::max(layout_page_width(), COLUMN) / COLUMN + 2);
  std::vector<Gap> gaps(static_cast<size_t>(staves));
  Drosa owner = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) {
      owner = e->get(xnoteptr);
      continue;
    }
    const int p = ge_pstaff(e);
    GEInkBox box;
    if (p < 0 || p >= staves || !ge_ink_box(e, &box)) continue;
    // Ink reaching the other staff's lines is joined to it (a bar line, a brace, a note on the
    // other staff) and passed over; so are lines drawn from one staff to another. A mark
    // reaching them from between the staves moves with its own staff: it counts.
    const bool mark = e->get(xganno) != 0;
    const bool above = staff_below(p - 1) && (mark ? box.bottom : box.top) < bottom_line(p - 1);
    const bool below = staff_below(p) && (mark ? box.top : box.bottom) > top_line(p + 1);
    if (above && box.top < bottom_line(p - 1) && !anno_lyric_lines(p - 1).empty())
      gaps[size_t(p - 1)].all_rising.add(box, columns, false);
    const bool note = !mark && e->xkind == GE_CHAR && owner && owner->xkind == NOTE;
    if (!(mark || note) || (e->xkind != GE_CHAR && e->get(xge_pstaff2) != p)) continue;
    if (below)
      (mark ? gaps[size_t(p)].marks_hanging : gaps[size_t(p)].notes_hanging)
          .add(box, columns, true);
    if (above)
      (mark ? gaps[size_t(p - 1)].marks_rising : gaps[size_t(p - 1)].notes_rising)
          .add(box, columns, false);
  }
  for (int p = 0; p < staves; ++p) {
    if (!staff_below(p)) continue;
    // Marks keep clear of marks and notes of the other staff; lyrics of all its ink.
    const Gap& gap = gaps[size_t(p)];
    const int32_t clearance = staff_data[p + 1].staff_size / 2;
    int32_t most = std::max({meeting(gap.marks_hanging, gap.marks_rising, clearance),
                             meeting(gap.marks_hanging, gap.notes_rising, clearance),
                             meeting(gap.notes_hanging, gap.marks_rising, clearance)});
    if (!gap.all_rising.y.empty())
      for (const LyricLineBox& line : anno_lyric_lines(p)) {
        Edge lyric;
        lyric.add(GEInkBox{line.left, line.bottom, line.right, line.top}, columns, true);
        most = std::max(most, meeting(lyric, gap.all_rising, clearance));
      }
    const SystemStaves& s = systems[size_t(system_of[size_t(p)])];
    overlaps[size_t(system_of[size_t(p)])][size_t(p - s.first)] = settled(most);
  }
  return overlaps;
}
