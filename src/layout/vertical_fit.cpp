// vertical_fit.cpp: how far the ink of each system of a drawn page reaches into the system
// above it. The page is cut into narrow columns; in each, the lowest ink of a system is
// compared with the highest ink of the system below, so that a high note at one end of a
// system and a low note at the other end of the one above do not push them apart.
#include "layout/vertical_fit.h"

#include <algorithm>
#include <climits>

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

// The columns a box from `left` to `right` covers, first to last.
struct Columns {
  size_t first, last;
  Columns(int32_t left, int32_t right, size_t columns)
      : first(size_t(std::clamp<int64_t>(left / COLUMN, 0, int64_t(columns) - 1))),
        last(size_t(std::clamp<int64_t>(right / COLUMN, 0, int64_t(columns) - 1))) {}
  Columns(const GEInkBox& box, size_t columns) : Columns(box.left, box.right, columns) {}
};

// The staves' middle lines are placed on whole tenths of a point: what is left over by that
// rounding is not a meeting.
constexpr int32_t ROUNDING = 10;
int32_t settled(int32_t overlap) { return overlap > ROUNDING ? (overlap + 9) / 10 * 10 : 0; }

// The ink on the sides of the page's gaps (between systems, between the staves of a system),
// column by column: on a side that rises, the highest ink; on one that hangs, the lowest. Empty
// (`y`) until something is laid over the columns.
//
// Most of a page's ink lies far from every other side of its gaps (notes within their staves):
// it could only meet ink across a gap by a rounding's width (see settled), which moves nothing.
// So the boxes added are kept first, with the highest and lowest of each side, and laid over
// the columns once the page is walked, those alone that reach past what the side is given
// (`cut`): higher on a rising side, lower on a hanging one. A side that ink across its gap
// meets by more than the rounding is met so by ink that reaches past both cuts.
class Sides {
 public:
  Sides() : risen_(room(0)), hung_(room(1)) {
    risen_.clear();
    hung_.clear();
  }

  size_t side(bool rising) {
    ys_.emplace_back();
    extremes_.push_back(rising ? INT32_MIN : INT32_MAX);
    cuts_.push_back(rising ? INT64_MIN : INT64_MAX);  // all of it, until cut
    return ys_.size() - 1;
  }

  // The ink of a box added to a rising side, reaching up to y; to a hanging one, down to y.
  [[gnu::always_inline]] void rise(size_t side, const GEInkBox& box, int32_t y) {
    extremes_[side] = std::max(extremes_[side], y);
    risen_.push_back({uint32_t(side), box.left, box.right, y});
  }
  [[gnu::always_inline]] void hang(size_t side, const GEInkBox& box, int32_t y) {
    extremes_[side] = std::min(extremes_[side], y);
    hung_.push_back({uint32_t(side), box.left, box.right, y});
  }

  // The highest ink added to a rising side, the lowest to a hanging one; none: INT32_MIN
  // rising, INT32_MAX hanging.
  int32_t extreme(size_t side) const { return extremes_[side]; }

  // What of a side's ink is laid over the columns: rising, only what lies above `cut`;
  // hanging, below it.
  void cut(size_t side, int64_t cut) { cuts_[side] = cut; }

  void lay(size_t columns) {
    for (const Added& a : risen_) {
      if (a.y <= cuts_[a.side]) continue;
      int32_t* y = columns_of(a.side, columns, INT32_MIN);
      const Columns span(a.left, a.right, columns);
      for (size_t c = span.first; c <= span.last; ++c) y[c] = std::max(y[c], a.y);
    }
    for (const Added& a : hung_) {
      if (a.y >= cuts_[a.side]) continue;
      int32_t* y = columns_of(a.side, columns, INT32_MAX);
      const Columns span(a.left, a.right, columns);
      for (size_t c = span.first; c <= span.last; ++c) y[c] = std::min(y[c], a.y);
    }
  }

  const std::vector<int32_t>& y(size_t side) const { return ys_[side]; }

 private:
  struct Added {
    uint32_t side;
    int32_t left, right, y;
  };
  // What was added, in room kept from one page to the next: 0 risen, 1 hung.
  static std::vector<Added>& room(int k) {
    thread_local std::vector<Added> rooms[2];
    return rooms[k];
  }
  int32_t* columns_of(size_t side, size_t columns, int32_t none) {
    if (ys_[side].empty()) ys_[side].assign(columns, none);
    return ys_[side].data();
  }

  std::vector<std::vector<int32_t>> ys_;  // each side's, column by column
  std::vector<int32_t> extremes_;
  std::vector<int64_t> cuts_;
  std::vector<Added>& risen_;
  std::vector<Added>& hung_;
};

// What of a rising side can meet ink hanging no lower than `lowest` across its gap by more
// than the rounding, with `clearance` kept between them: what rises above the value returned;
// and of a hanging side, what hangs below the value returned, of rising ink no higher than
// `highest`. Nothing when there is nothing across the gap.
int64_t rising_cut(int32_t lowest, int64_t clearance) {
  return lowest == INT32_MAX ? INT64_MAX : int64_t(lowest) - clearance + ROUNDING;
}
int64_t hanging_cut(int32_t highest, int64_t clearance) {
  return highest == INT32_MIN ? INT64_MIN : int64_t(highest) + clearance - ROUNDING;
}

GEInkBox to_ink_box(const AnnoBox& b) {
  GEInkBox box;
  box.left = b.left;
  box.right = b.right;
  box.top = b.top;
  box.bottom = b.bottom;
  return box;
}

// Whether ink is a footer's own (lies within a footer's box, give or take a little).
bool in_footer(const std::vector<AnnoBox>& footers, const GEInkBox& box) {
  constexpr int32_t SLACK = 40;
  for (const AnnoBox& f : footers)
    if (box.left >= f.left - SLACK && box.right <= f.right + SLACK &&
        box.bottom >= f.bottom - SLACK && box.top <= f.top + SLACK)
      return true;
  return false;
}

// How far the ink rising from below reaches into the clearance under the ink hanging above,
// at most over the columns (INT32_MIN when they share none).
int32_t meeting(const std::vector<int32_t>& hanging, const std::vector<int32_t>& rising,
                int32_t clearance) {
  int32_t most = INT32_MIN;
  if (hanging.empty() || rising.empty()) return most;
  for (size_t c = 0; c < hanging.size(); ++c)
    if (hanging[c] != INT32_MAX && rising[c] != INT32_MIN)
      most = std::max(most, rising[c] + clearance - hanging[c]);
  return most;
}

// The sides of the gap below a staff: the marks (annotations) and the notes' glyphs hanging
// from it, and those rising from the staff below; and all the ink rising from there, for the
// lyrics.
struct Gap {
  size_t marks_hanging, notes_hanging, marks_rising, notes_rising, all_rising;
};

}  // namespace

namespace {

// How far each system's ink reaches into the system above it (page_overlaps' systems),
// the GE list's elements added one by one.
class SystemInk {
 public:
  SystemInk(const std::vector<SystemStaves>& systems, const std::vector<int>& system_of,
            size_t columns, Sides& sides)
      : systems_(systems),
        system_of_(system_of),
        columns_(columns),
        sides_(sides),
        footers_(layout_hooks.anno_footer_boxes()),
        reach_(2 * int64_t(page_fitting.system_distance)) {
    // The top line of each system's first staff and the bottom line of its last.
    for (const SystemStaves& s : systems) {
      top_line_.push_back(staff_data[s.first].middle_y + half_height(staff_data[s.first]));
      bottom_line_.push_back(staff_data[s.last].middle_y - half_height(staff_data[s.last]));
      top_.push_back(sides.side(true));
      bottom_.push_back(sides.side(false));
    }
  }

  void add(int pstaff, const GEInkBox& box) {
    const size_t s = size_t(system_of_[size_t(pstaff)]);
    if (!reaches(box, s) || (!footers_.empty() && in_footer(footers_, box))) return;
    sides_.rise(top_[s], box, box.top);
    sides_.hang(bottom_[s], box, box.bottom);
  }

  // What of each system's ink can meet the system above or below it, or the paper's top or
  // footers.
  void cut(int32_t paper_top) const {
    for (size_t s = 0; s < systems_.size(); ++s) {
      const int32_t clearance = staff_data[systems_[s].first].staff_size;
      if (s == 0)
        sides_.cut(top_[s], int64_t(paper_top) - lowered_at_top() - clearance + ROUNDING);
      else
        sides_.cut(top_[s], rising_cut(sides_.extreme(bottom_[s - 1]), clearance));
      if (s + 1 < systems_.size())
        sides_.cut(bottom_[s], hanging_cut(sides_.extreme(top_[s + 1]),
                                           staff_data[systems_[s + 1].first].staff_size));
    }
    int64_t floor = 0;
    for (int32_t f : floor_over_footers()) floor = std::max<int64_t>(floor, f);
    sides_.cut(bottom_.back(), floor - ROUNDING);
  }

  std::vector<int32_t> overlaps(int32_t paper_top) const {
    std::vector<int32_t> overlaps(systems_.size(), 0);
    for (size_t s = 0; s < systems_.size(); ++s) {
      const int32_t clearance = staff_data[systems_[s].first].staff_size;
      const std::vector<int32_t>& top = sides_.y(top_[s]);
      const std::vector<int32_t>* above = s == 0 ? nullptr : &sides_.y(bottom_[s - 1]);
      int32_t most = INT32_MIN;
      for (size_t c = 0; c < top.size(); ++c) {
        if (top[c] == INT32_MIN) continue;
        const int32_t a = !above ? paper_top : above->empty() ? INT32_MAX : (*above)[c];
        if (a == INT32_MAX) continue;
        most = std::max(most, top[c] + clearance - a);
      }
      // Texts brought down onto the paper stand there whatever the system's place: the first
      // system must stand lower by as much for them to stand where they belong.
      if (s == 0 && most != INT32_MIN) most += lowered_at_top();
      overlaps[s] = settled(most);
    }
    // The last system's ink stays on the paper, and a staff space clear of the page's footer.
    const std::vector<int32_t> floor = floor_over_footers();
    const std::vector<int32_t>& bottom = sides_.y(bottom_.back());
    int32_t most = INT32_MIN;
    for (size_t c = 0; c < bottom.size(); ++c)
      if (bottom[c] != INT32_MAX) most = std::max(most, floor[c] - bottom[c]);
    overlaps.push_back(most != INT32_MIN ? settled(most) : 0);
    return overlaps;
  }

 private:
  // What a system holds reaches at most this far from its staves, and never wholly past the
  // staves of the systems beside it: anything further is placed by the page, or misplaced, and
  // does not move with its system.
  bool reaches(const GEInkBox& box, size_t s) const {
    if (box.top < bottom_line_[s] - reach_ || box.bottom > top_line_[s] + reach_) return false;
    if (s + 1 < systems_.size() && box.top < bottom_line_[s + 1]) return false;
    return s == 0 || box.bottom <= top_line_[s - 1];
  }

  // How far the texts of the first system were brought down onto the paper, at most.
  int32_t lowered_at_top() const {
    int32_t lowered = 0;
    for (int p = systems_[0].first; p <= systems_[0].last; ++p)
      lowered = std::max(lowered, layout_hooks.anno_lowered_at_paper_top(p));
    return lowered;
  }

  // Column by column, how low the last system's ink may reach: above the page's line (clear of
  // the paper's edge), and a staff space above the footers.
  std::vector<int32_t> floor_over_footers() const {
    std::vector<int32_t> floor(columns_, layout_hooks.lowest_music_y());
    const int32_t clearance = staff_data[systems_.back().last].staff_size;
    for (const AnnoBox& f : footers_) {
      const Columns span(to_ink_box(f), columns_);
      for (size_t c = span.first; c <= span.last; ++c)
        floor[c] = std::max(floor[c], f.top + clearance);
    }
    return floor;
  }

  const std::vector<SystemStaves>& systems_;
  const std::vector<int>& system_of_;
  size_t columns_;
  Sides& sides_;
  const std::vector<AnnoBox>& footers_;
  int64_t reach_;
  std::vector<int32_t> top_line_, bottom_line_;
  std::vector<size_t> top_, bottom_;  // each system's sides
};

// The stretches of a tie's or slur's curve, each the box of the line between two points along
// it widened by the curve's thickness (its box as a whole reaches as far as the control points,
// well beyond the curve).
template <class Each>
void curve_stretches(Drosa e, int32_t thickness, Each&& each) {
  constexpr int STRETCHES = 12;
  const double x[] = {double(e->get(xge_x1)), double(e->get(xgv_c1x)), double(e->get(xgv_c2x)),
                      double(e->get(xge_x2))};
  const double y[] = {double(e->get(xge_y1)), double(e->get(xgv_c1y)), double(e->get(xgv_c2y)),
                      double(e->get(xge_y2))};
  auto at = [&](const double(&v)[4], double t) {
    const double u = 1 - t;
    return u * u * u * v[0] + 3 * u * u * t * v[1] + 3 * u * t * t * v[2] + t * t * t * v[3];
  };
  double x0 = x[0], y0 = y[0];
  for (int k = 1; k <= STRETCHES; ++k) {
    const double t = double(k) / STRETCHES, x1 = at(x, t), y1 = at(y, t);
    each(GEInkBox{int32_t(std::min(x0, x1)), int32_t(std::min(y0, y1)) - thickness,
                  int32_t(std::max(x0, x1)) + 1, int32_t(std::max(y0, y1)) + thickness});
    x0 = x1, y0 = y1;
  }
}

// What stands between the staves of each system (page_overlaps' staves), the GE
// list's elements added one by one.
class StaffInk {
 public:
  StaffInk(const std::vector<SystemStaves>& systems, const std::vector<int>& system_of,
           size_t columns, Sides& sides)
      : systems_(systems), system_of_(system_of), columns_(columns), sides_(sides) {
    // The staves stand still while the page is measured: their lines are found once.
    const int staves = int(system_of.size());
    for (int p = 0; p < staves; ++p) {
      const bool below = p + 1 < staves && system_of_[size_t(p)] == system_of_[size_t(p + 1)];
      staves_.push_back({staff_data[p].middle_y + half_height(staff_data[p]),
                         staff_data[p].middle_y - half_height(staff_data[p]), below,
                         !layout_hooks.anno_lyric_lines(p).empty()});
      gaps_.push_back({sides.side(false), sides.side(false), sides.side(true), sides.side(true),
                       sides.side(true)});
    }
    // The lines of the staves are in the way of the marks of the staff beside them.
    const int32_t width = layout_page_width();
    for (int p = 0; p + 1 < staves; ++p) {
      if (!staves_[size_t(p)].below) continue;
      const int32_t top = staves_[size_t(p + 1)].top_line, bottom = staves_[size_t(p)].bottom_line;
      sides.rise(gaps_[size_t(p)].notes_rising, GEInkBox{0, top, width, top}, top);
      sides.hang(gaps_[size_t(p)].notes_hanging, GEInkBox{0, bottom, width, bottom}, bottom);
    }
  }

  // An element on pstaff p, drawn for a note (`for_note`: the node of the NOTEPTR before it is
  // one) or not. A note's tie or slur is its ink stretch by stretch.
  void add(Drosa e, int p, const GEInkBox& box, bool for_note) {
    // Ink reaching the other staff's lines is joined to it (a bar line, a brace, a note on the
    // other staff) and passed over; so are lines drawn from one staff to another. A mark
    // reaching them from between the staves moves with its own staff: it counts.
    const bool mark = e->get(xganno) != 0;
    const Staff* upper = p > 0 && staves_[size_t(p - 1)].below ? &staves_[size_t(p - 1)] : nullptr;
    const Staff* lower = staves_[size_t(p)].below ? &staves_[size_t(p + 1)] : nullptr;
    const bool above = upper && (mark ? box.bottom : box.top) < upper->bottom_line;
    const bool below = lower && (mark ? box.top : box.bottom) > lower->top_line;
    if (above && upper->lyrics && box.top < upper->bottom_line) {
      // A curve's box reaches its control points, well above the curve: its ink is its stretches.
      if (e->xkind == GE_CURVE)
        curve_stretches(e, staff_data[p].staff_size / 10, [&](const GEInkBox& stretch) {
          sides_.rise(gaps_[size_t(p - 1)].all_rising, stretch, stretch.top);
        });
      else
        sides_.rise(gaps_[size_t(p - 1)].all_rising, box, box.top);
    }
    if (e->xkind == GE_CURVE && !mark) {
      if (for_note && e->get(xge_pstaff2) == p)
        curve_stretches(e, staff_data[p].staff_size / 10,
                        [&](const GEInkBox& stretch) { add_note_ink(p, stretch); });
      return;
    }
    // A note's ink is its heads and signs, and its stems, beams and ledger lines.
    const bool note = !mark && (e->xkind == GE_CHAR || e->xkind == GE_LINE) && for_note;
    if (!(mark || note) || (e->xkind != GE_CHAR && e->get(xge_pstaff2) != p)) return;
    if (note) {
      add_note_ink(p, box);
      return;
    }
    if (below)
      sides_.hang(mark ? gaps_[size_t(p)].marks_hanging : gaps_[size_t(p)].notes_hanging, box,
                  box.bottom);
    if (above)
      sides_.rise(mark ? gaps_[size_t(p - 1)].marks_rising : gaps_[size_t(p - 1)].notes_rising, box,
                  box.top);
  }

  // A note's ink on pstaff p that reaches past the lines of the staff beside it, into the gap.
  void add_note_ink(int p, const GEInkBox& box) {
    const Staff* upper = p > 0 && staves_[size_t(p - 1)].below ? &staves_[size_t(p - 1)] : nullptr;
    const Staff* lower = staves_[size_t(p)].below ? &staves_[size_t(p + 1)] : nullptr;
    if (lower && box.bottom > lower->top_line)
      sides_.hang(gaps_[size_t(p)].notes_hanging, box, box.bottom);
    if (upper && box.top < upper->bottom_line)
      sides_.rise(gaps_[size_t(p - 1)].notes_rising, box, box.top);
  }

  // What of each gap's ink can meet the ink across it: marks keep clear of marks, notes, ties,
  // slurs and lines of the other staff, lyrics of all its ink.
  void cut() const {
    for (size_t p = 0; p < staves_.size(); ++p) {
      if (!staves_[p].below) continue;
      const Gap& gap = gaps_[p];
      const int32_t clearance = staff_data[p + 1].staff_size / 2;
      sides_.cut(gap.marks_hanging, hanging_cut(std::max(sides_.extreme(gap.marks_rising),
                                                         sides_.extreme(gap.notes_rising)),
                                                clearance));
      sides_.cut(gap.notes_hanging, hanging_cut(sides_.extreme(gap.marks_rising), clearance));
      sides_.cut(gap.marks_rising, rising_cut(std::min(sides_.extreme(gap.marks_hanging),
                                                       sides_.extreme(gap.notes_hanging)),
                                              clearance));
      sides_.cut(gap.notes_rising, rising_cut(sides_.extreme(gap.marks_hanging), clearance));
      int32_t lyrics = INT32_MAX;
      for (const LyricLineBox& line : layout_hooks.anno_lyric_lines(int(p)))
        lyrics = std::min(lyrics, line.bottom);
      sides_.cut(gap.all_rising, rising_cut(lyrics, clearance));
    }
  }

  std::vector<std::vector<int32_t>> overlaps() const {
    std::vector<std::vector<int32_t>> overlaps;
    for (const SystemStaves& s : systems_) overlaps.emplace_back(size_t(s.last - s.first + 1), 0);
    for (size_t p = 0; p < staves_.size(); ++p) {
      if (!staves_[p].below) continue;
      // Marks keep clear of marks and notes of the other staff; lyrics of all its ink.
      const Gap& gap = gaps_[p];
      const int32_t clearance = staff_data[p + 1].staff_size / 2;
      int32_t most =
          std::max({meeting(sides_.y(gap.marks_hanging), sides_.y(gap.marks_rising), clearance),
                    meeting(sides_.y(gap.marks_hanging), sides_.y(gap.notes_rising), clearance),
                    meeting(sides_.y(gap.notes_hanging), sides_.y(gap.marks_rising), clearance)});
      const std::vector<int32_t>& all_rising = sides_.y(gap.all_rising);
      if (!all_rising.empty())
        for (const LyricLineBox& line : layout_hooks.anno_lyric_lines(int(p))) {
          const GEInkBox box{line.left, line.bottom, line.right, line.top};
          const Columns span(box, columns_);
          std::vector<int32_t> lyric(columns_, INT32_MAX);
          for (size_t c = span.first; c <= span.last; ++c) lyric[c] = box.bottom;
          most = std::max(most, meeting(lyric, all_rising, clearance));
        }
      const SystemStaves& s = systems_[size_t(system_of_[p])];
      overlaps[size_t(system_of_[p])][p - size_t(s.first)] = settled(most);
    }
    return overlaps;
  }

 private:
  struct Staff {
    int32_t top_line, bottom_line;
    bool below;   // a staff of its system stands below it
    bool lyrics;  // lines of lyrics stand under it
  };

  const std::vector<SystemStaves>& systems_;
  const std::vector<int>& system_of_;
  size_t columns_;
  Sides& sides_;
  std::vector<Staff> staves_;
  std::vector<Gap> gaps_;  // below each pstaff
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
  Sides sides;
  SystemInk system_ink(systems, system_of, columns, sides);
  StaffInk staff_ink(systems, system_of, columns, sides);
  bool for_note = false;  // the node of the NOTEPTR before the element is a note
  for (Drosa e = by_system || by_staff ? GE_head->xnext : NIL; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) {
      const Drosa owner = e->get(xnoteptr);
      for_note = owner && owner->xkind == NOTE;
      continue;
    }
    const int p = layout_hooks.ge_pstaff(e);
    GEInkBox box;
    if (p < 0 || p >= int(system_of.size()) || !layout_hooks.ge_ink_box(e, &box)) continue;
    if (by_system) system_ink.add(p, box);
    if (by_staff) staff_ink.add(e, p, box, for_note);
  }
  if (by_system) system_ink.cut(paper_top);
  staff_ink.cut();
  sides.lay(columns);
  PageOverlaps page;
  page.systems =
      by_system ? system_ink.overlaps(paper_top) : std::vector<int32_t>(systems.size() + 1, 0);
  page.staves = staff_ink.overlaps();
  return page;
}
