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

// The columns a box covers, first to last; found once for every side of the page's gaps it
// is added to.
struct Columns {
  size_t first, last;
  Columns(const GEInkBox& box, size_t columns)
      : first(size_t(std::clamp<int64_t>(box.left / COLUMN, 0, int64_t(columns) - 1))),
        last(size_t(std::clamp<int64_t>(box.right / COLUMN, 0, int64_t(columns) - 1))) {}
};

// The highest and lowest ink of one system, column by column.
struct Skyline {
  std::vector<int32_t> top, bottom;
  explicit Skyline(size_t columns) : top(columns, INT32_MIN), bottom(columns, INT32_MAX) {}
  void add(const GEInkBox& box, Columns span) {
    for (size_t c = span.first; c <= span.last; ++c) {
      top[c] = std::max(top[c], box.top);
      bottom[c] = std::min(bottom[c], box.bottom);
    }
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
  void add(const GEInkBox& box, Columns span, size_t columns, bool hanging) {
    if (y.empty()) y.assign(columns, hanging ? INT32_MAX : INT32_MIN);
    for (size_t c = span.first; c <= span.last; ++c)
      y[c] = hanging ? std::min(y[c], box.bottom) : std::max(y[c], box.top);
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

namespace {

// How far each system's ink reaches into the system above it (page_overlaps' systems),
// the GE list's elements added one by one.
class SystemInk {
 public:
  SystemInk(const std::vector<SystemStaves>& systems, const std::vector<int>& system_of,
            size_t columns)
      : systems_(systems),
        system_of_(system_of),
        columns_(columns),
        ink_(systems.size(), Skyline(columns)) {
    // The top line of each system's first staff and the bottom line of its last.
    for (const SystemStaves& s : systems) {
      top_line_.push_back(staff_data[s.first].middle_y + half_height(staff_data[s.first]));
      bottom_line_.push_back(staff_data[s.last].middle_y - half_height(staff_data[s.last]));
    }
  }

  void add(int pstaff, const GEInkBox& box, Columns span) {
    const size_t s = size_t(system_of_[size_t(pstaff)]);
    if (!reaches(box, s) || in_footer(box)) return;
    ink_[s].add(box, span);
  }

  std::vector<int32_t> overlaps(int32_t paper_top) const {
    std::vector<int32_t> overlaps(systems_.size(), 0);
    for (size_t s = 0; s < systems_.size(); ++s) {
      const int32_t clearance = staff_data[systems_[s].first].staff_size;
      int32_t most = INT32_MIN;
      for (size_t c = 0; c < columns_; ++c) {
        if (ink_[s].top[c] == INT32_MIN) continue;
        const int32_t above = s == 0 ? paper_top : ink_[s - 1].bottom[c];
        if (above == INT32_MAX) continue;
        most = std::max(most, ink_[s].top[c] + clearance - above);
      }
      // Texts brought down onto the paper stand there whatever the system's place: the first
      // system must stand lower by as much for them to stand where they belong.
      if (s == 0 && most != INT32_MIN) {
        int32_t lowered = 0;
        for (int p = systems_[0].first; p <= systems_[0].last; ++p)
          lowered = std::max(lowered, anno_lowered_at_paper_top(p));
        most += lowered;
      }
      overlaps[s] = settled(most);
    }
    // The last system's ink stays on the paper, and a staff space clear of the page's footer.
    std::vector<int32_t> floor(columns_, 0);
    const int32_t clearance = staff_data[systems_.back().last].staff_size;
    for (const AnnoBox& f : anno_footer_boxes()) {
      const Columns span(to_ink_box(f), columns_);
      for (size_t c = span.first; c <= span.last; ++c)
        floor[c] = std::max(floor[c], f.top + clearance);
    }
    int32_t most = INT32_MIN;
    for (size_t c = 0; c < columns_; ++c)
      if (ink_.back().bottom[c] != INT32_MAX)
        most = std::max(most, floor[c] - ink_.back().bottom[c]);
    overlaps.push_back(most != INT32_MIN ? settled(most) : 0);
    return overlaps;
  }

 private:
  // What a system holds reaches at most this far from its staves, and never wholly past the
  // staves of the systems beside it: anything further is placed by the page, or misplaced, and
  // does not move with its system.
  bool reaches(const GEInkBox& box, size_t s) const {
    const int64_t reach = 2 * int64_t(page_fitting.system_distance);
    if (box.top < bottom_line_[s] - reach || box.bottom > top_line_[s] + reach) return false;
    if (s + 1 < systems_.size() && box.top < bottom_line_[s + 1]) return false;
    return s == 0 || box.bottom <= top_line_[s - 1];
  }

  const std::vector<SystemStaves>& systems_;
  const std::vector<int>& system_of_;
  size_t columns_;
  std::vector<Skyline> ink_;
  std::vector<int32_t> top_line_, bottom_line_;
};

// What stands between the staves of each system (page_overlaps' staves), the GE
// list's elements added one by one.
class StaffInk {
 public:
  StaffInk(const std::vector<SystemStaves>& systems, const std::vector<int>& system_of,
           size_t columns)
      : systems_(systems),
        system_of_(system_of),
        columns_(columns),
        staves_(int(system_of.size())),
        gaps_(system_of.size()) {
    // The staves stand still while the page is measured: their lines are found once.
    for (int p = 0; p < staves_; ++p) {
      top_line_.push_back(staff_data[p].middle_y + half_height(staff_data[p]));
      bottom_line_.push_back(staff_data[p].middle_y - half_height(staff_data[p]));
      below_.push_back(p + 1 < staves_ && system_of_[size_t(p)] == system_of_[size_t(p + 1)]);
    }
  }

  // An element on pstaff p, drawn for `owner` (the node of the NOTEPTR before it).
  void add(Drosa e, int p, const GEInkBox& box, Columns span, Drosa owner) {
    // Ink reaching the other staff's lines is joined to it (a bar line, a brace, a note on the
    // other staff) and passed over; so are lines drawn from one staff to another. A mark
    // reaching them from between the staves moves with its own staff: it counts.
    const bool mark = e->get(xganno) != 0;
    const bool above = staff_below(p - 1) && (mark ? box.bottom : box.top) < bottom_line(p - 1);
    const bool below = staff_below(p) && (mark ? box.top : box.bottom) > top_line(p + 1);
    if (above && box.top < bottom_line(p - 1) && !anno_lyric_lines(p - 1).empty())
      gaps_[size_t(p - 1)].all_rising.add(box, span, columns_, false);
    // A note's ink is its heads and signs, and its stems, beams and ledger lines.
    const bool note =
        !mark && (e->xkind == GE_CHAR || e->xkind == GE_LINE) && owner && owner->xkind == NOTE;
    if (!(mark || note) || (e->xkind != GE_CHAR && e->get(xge_pstaff2) != p)) return;
    if (below)
      (mark ? gaps_[size_t(p)].marks_hanging : gaps_[size_t(p)].notes_hanging)
          .add(box, span, columns_, true);
    if (above)
      (mark ? gaps_[size_t(p - 1)].marks_rising : gaps_[size_t(p - 1)].notes_rising)
          .add(box, span, columns_, false);
  }

  std::vector<std::vector<int32_t>> overlaps() const {
    std::vector<std::vector<int32_t>> overlaps;
    for (const SystemStaves& s : systems_) overlaps.emplace_back(size_t(s.last - s.first + 1), 0);
    for (int p = 0; p < staves_; ++p) {
      if (!staff_below(p)) continue;
      // Marks keep clear of marks and notes of the other staff; lyrics of all its ink.
      const Gap& gap = gaps_[size_t(p)];
      const int32_t clearance = staff_data[p + 1].staff_size / 2;
      int32_t most = std::max({meeting(gap.marks_hanging, gap.marks_rising, clearance),
                               meeting(gap.marks_hanging, gap.notes_rising, clearance),
                               meeting(gap.notes_hanging, gap.marks_rising, clearance)});
      if (!gap.all_rising.y.empty())
        for (const LyricLineBox& line : anno_lyric_lines(p)) {
          Edge lyric;
          const GEInkBox box{line.left, line.bottom, line.right, line.top};
          lyric.add(box, Columns(box, columns_), columns_, true);
          most = std::max(most, meeting(lyric, gap.all_rising, clearance));
        }
      const SystemStaves& s = systems_[size_t(system_of_[size_t(p)])];
      overlaps[size_t(system_of_[size_t(p)])][size_t(p - s.first)] = settled(most);
    }
    return overlaps;
  }

 private:
  int32_t top_line(int p) const { return top_line_[size_t(p)]; }
  int32_t bottom_line(int p) const { return bottom_line_[size_t(p)]; }
  bool staff_below(int p) const { return p >= 0 && below_[size_t(p)]; }

  const std::vector<SystemStaves>& systems_;
  const std::vector<int>& system_of_;
  size_t columns_;
  int staves_;
  std::vector<Gap> gaps_;
  std::vector<int32_t> top_line_, bottom_line_;  // of each pstaff
  std::vector<bool> below_;                      // a staff of its system stands below it
};

}  // namespace

PageOverlaps page_overlaps(int32_t paper_top) {
  std::vector<int> system_of;
  const std::vector<SystemStaves> systems = page_systems(&system_of);
  const size_t columns = size_t(std::max(layout_page_width(), COLUMN) / COLUMN + 2);
  // A page of no system has no overlap and its last entry 0; one of one staff none between
  // its staves.
  const bool by_system = !systems.empty() && GE_head;
  const bool by_staff = system_of.size() >= 2 && GE_head;
  SystemInk system_ink(systems, system_of, columns);
  StaffInk staff_ink(systems, system_of, columns);
  Drosa owner = NIL;
  for (Drosa e = by_system || by_staff ? GE_head->xnext : NIL; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) {
      owner = e->get(xnoteptr);
      continue;
    }
    const int p = ge_pstaff(e);
    GEInkBox box;
    if (p < 0 || p >= int(system_of.size()) || !ge_ink_box(e, &box)) continue;
    const Columns span(box, columns);
    if (by_system) system_ink.add(p, box, span);
    if (by_staff) staff_ink.add(e, p, box, span, owner);
  }
  PageOverlaps page;
  page.systems =
      by_system ? system_ink.overlaps(paper_top) : std::vector<int32_t>(systems.size() + 1, 0);
  page.staves = staff_ink.overlaps();
  return page;
}
