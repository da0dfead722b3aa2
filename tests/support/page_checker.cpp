// page_checker.cpp: the rules of a drawn page, checked over the GE list.
//
// Elements are told apart by their variety code (the drawing passes give every kind of element
// its own) and by the node they were drawn for. Glyphs are measured by the ink they cover in the
// font they are drawn in; lines by their ends. Staves are found from their lines, systems from
// the lines that join staves, unless the frame names them. An annotation's elements are told
// by the annotation they were drawn for, found before their note by its place on the page:
// its class tells the marks of the music from lyrics and titles.
#include "support/page_checker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>
#include <optional>
#include <set>

#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

namespace {

// Variety codes of the elements the rules look at.
constexpr int V_STAFF_LINE = 10, V_TAB_LINE = 11, V_SYSTEM_BAR = 12;
constexpr int V_TIE = 4, V_SLUR = 5, V_MAIN_BEAM = 17, V_BEAM_LINE = 18;
constexpr int V_BAR_LINE = 26, V_BAR_JOIN = 29;
constexpr int V_STEM = 19, V_STEM_LAST = 22;
constexpr int V_HEAD = 46, V_ACCIDENTAL = 48;
constexpr int V_CLEF = 52, V_TIME_DIGIT = 53, V_CUT_TIME = 54, V_COMMON_TIME = 55, V_KEY = 58;
constexpr int V_BRACKET_FIRST = 13, V_BRACKET_LAST = 16, V_BRACE_FIRST = 39, V_BRACE_LAST = 43;
constexpr int V_PART_NAME = 81;

struct Box {
  int32_t left = 0, bottom = 0, right = 0, top = 0;  // y upward
};

bool overlap_by(const Box& a, const Box& b, int32_t depth) {
  return std::min(a.right, b.right) - std::max(a.left, b.left) > depth &&
         std::min(a.top, b.top) - std::max(a.bottom, b.bottom) > depth;
}

// What an annotation element is drawn for.
enum class Anno { NONE, MARK, LYRIC, OTHER };

struct Element {
  int kind = 0;  // GE_CHAR (a glyph or a text run) or GE_LINE or GE_CURVE
  int var = 0;
  Drosa owner = NIL;
  Box box;
  int pstaff = 0, pstaff2 = 0;
  int32_t x = 0, y = 0;            // a glyph's origin
  int glyph = 0;                   // a glyph's character; 0 for a text run
  int size = 0;                    // a glyph's or text run's size in points of the page
  int32_t x2 = 0, y2 = 0;          // a line's second end (x, y its first)
  int32_t cx[2] = {}, cy[2] = {};  // a curve's control points
  Anno anno = Anno::NONE;
  Drosa head = NIL;  // the annotation's TPARAM or LINE
  std::string text;  // a text run's characters
};

bool is_note(Drosa owner) { return owner && owner->xkind == NOTE; }
bool is_rest(Drosa owner) { return is_note(owner) && owner->get(xrest); }
Drosa chord_of(Drosa owner) { return is_note(owner) ? vchord_first_note(owner) : NIL; }

// ---- Annotations --------------------------------------------------------------------------

constexpr int CLASS_LYRIC_TEXT = 5;
// Texts of the page rather than of the music: titles, composer, rights, poet, subtitle.
bool page_text_class(int c) { return c == 2 || c == 3 || c == 18 || c == 23 || c == 24; }

// The annotation heads standing before a note.
std::vector<Drosa> annotations_before(Drosa note) {
  std::vector<Drosa> heads;
  for (Drosa p = note->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback)
    if (is_anno_head(p)) heads.push_back(p);
  return heads;
}

Drosa pdata_after(Drosa head) {
  Drosa p = head->xnext;
  return p && p->xkind == PDATA ? p : NIL;
}

// The text annotation a run was drawn for: before its owner, at the run's x, saying what the
// run says (two annotations may stand at one place), nearest its y (the staves may have moved
// since the annotation kept its place).
Drosa text_head(Drosa owner, int32_t x, int32_t y, const std::string& text) {
  Drosa best = NIL;
  int64_t nearest = INT64_MAX;
  for (Drosa h : annotations_before(owner)) {
    Drosa pd = h->xkind == TPARAM ? pdata_after(h) : NIL;
    if (!pd || pd->get(xpagex1) != x) continue;
    const int64_t other_text = anno_run_text(h) == text ? 0 : int64_t(1) << 40;
    const int64_t d = other_text + std::llabs(int64_t(pd->get(xpagey1)) - y);
    if (d < nearest) nearest = d, best = h;
  }
  return best;
}

// The line annotation a line was drawn for: before its owner, its clip box across the line.
Drosa line_head(Drosa owner, int32_t left, int32_t right, int32_t y) {
  Drosa best = NIL;
  int64_t nearest = INT64_MAX;
  for (Drosa h : annotations_before(owner)) {
    Drosa pd = h->xkind == LINE ? pdata_after(h) : NIL;
    if (!pd) continue;
    const int64_t x1 = pd->get(xpagex1);
    if (left < x1 + h->get(xc1x) || right > x1 + h->get(xc2x)) continue;
    const int64_t d = std::llabs(int64_t(pd->get(xpagey1)) - y);
    if (d < nearest) nearest = d, best = h;
  }
  return best;
}

// Tells what a drawn annotation element belongs to: a mark of the music (a text or a line),
// a lyric, or something else (a title, a hyphen, a box about a text).
void classify_annotation(Element& e, Drosa element) {
  if (!is_note(e.owner)) {
    e.anno = Anno::OTHER;
    return;
  }
  if (e.kind == GE_CHAR) {
    GE_string_text(&e.text, &element);
    e.head = text_head(e.owner, e.x, e.y, e.text);
    const int c = e.head ? e.head->get(xclassify) : -1;
    e.anno = !e.head                 ? Anno::OTHER
             : c == CLASS_LYRIC_TEXT ? Anno::LYRIC
             : page_text_class(c)    ? Anno::OTHER
                                     : Anno::MARK;
    return;
  }
  e.head = e.kind == GE_LINE ? line_head(e.owner, e.box.left, e.box.right, e.y) : NIL;
  e.anno = e.head ? Anno::MARK : Anno::OTHER;
}

struct Staff {
  bool present = false;
  Box box;
  int32_t space = 50;
  int system = -1;
};

// The drawn elements of the list: screen twins, screen-only and removed elements left out.
// How far a text run moves the pen, in layout units.
int32_t run_advance(Drosa run) {
  std::string text;
  GE_string_text(&text, &run);
  Port* saved = platform_current_port();
  platform_set_port(offscreen_port());
  const int font = current_text_font(), size = current_text_size(), face = current_text_face();
  text_font(run->get(xgc_font));
  text_size(run->get(xgc_size));
  text_face(run->get(xgc_style));
  const double width = text_width(text.data(), int(text.size()));
  text_font(font);
  text_size(size);
  text_face(face);
  platform_set_port(saved);
  return int32_t(10 * width);
}

// A text going on at the pen of the run before it is measured there.
bool adjacent_ink_box(Drosa p, int32_t pen_x, int32_t pen_y, GEInkBox* box) {
  if (p->xkind != GE_CHAR || p->get(xgc_x) != ADJACENT_TEXT) return false;
  p->set(xgc_x, pen_x), p->set(xgc_y, pen_y);
  const bool inked = ge_ink_box(p, box);
  p->set(xgc_x, ADJACENT_TEXT), p->set(xgc_y, ADJACENT_TEXT);
  return inked;
}

// A run of blanks (the space between a tempo mark and the words it runs on from) draws
// nothing: no ink of its own, its font's height is no mark's.
bool blank_run(Drosa attributes) {
  std::string text;
  Drosa element = attributes;
  GE_string_text(&text, &element);
  return text.find_first_not_of(' ') == std::string::npos;
}

std::vector<Element> drawn_elements() {
  std::vector<Element> out;
  if (!GE_head) return out;
  Drosa owner = NIL;
  int32_t pen_x = 0, pen_y = 0;  // where the last text run ended
  int run = -1;                  // the last annotation text run of the list
  for (Drosa p = GE_head->xnext; p; p = p->xnext) {
    const int kind = p->xkind;
    if (kind == NOTEPTR) {
      owner = p->get(xnoteptr);
      continue;
    }
    const bool text_run =
        kind == GE_CHAR && (p->get(xgc_char) == 0 || (p->xback && p->xback->xkind == GE_STRING));
    const bool adjacent = text_run && p->get(xgc_x) == ADJACENT_TEXT;
    GEInkBox box;
    const bool inked = adjacent ? adjacent_ink_box(p, pen_x, pen_y, &box) : ge_ink_box(p, &box);
    if (text_run && !p->get(xgscreen)) {
      if (!adjacent) pen_x = p->get(xgc_x), pen_y = p->get(xgc_y);
      pen_x += run_advance(p);
    }
    if (!inked || (text_run && blank_run(p))) continue;
    Element e;
    e.kind = kind;
    e.owner = owner;
    e.box = {box.left, box.bottom, box.right, box.top};
    if (kind == GE_CHAR) {
      e.var = p->get(xgc_var);
      e.pstaff = e.pstaff2 = p->get(xgc_pstaff);
      e.x = adjacent ? pen_x : p->get(xgc_x), e.y = adjacent ? pen_y : p->get(xgc_y);
      e.glyph = text_run ? 0 : p->get(xgc_char);
      e.size = p->get(xgc_size);
    } else {
      e.var = kind == GE_LINE ? p->get(xgl_var) : p->get(xgv_var);
      e.pstaff = p->get(xge_pstaff1), e.pstaff2 = p->get(xge_pstaff2);
      e.x = p->get(xge_x1), e.y = p->get(xge_y1), e.x2 = p->get(xge_x2), e.y2 = p->get(xge_y2);
      if (kind == GE_CURVE) {
        e.cx[0] = p->get(xgv_c1x), e.cy[0] = p->get(xgv_c1y);
        e.cx[1] = p->get(xgv_c2x), e.cy[1] = p->get(xgv_c2y);
      }
    }
    if (p->get(xganno) != 0) {
      if (adjacent && run >= 0 && out[size_t(run)].owner == owner) {
        // A further style run of the text before it.
        e.anno = out[size_t(run)].anno, e.head = out[size_t(run)].head;
        Drosa element = p;
        GE_string_text(&e.text, &element);
      } else {
        classify_annotation(e, p);
      }
    }
    out.push_back(e);
    if (text_run && e.anno != Anno::NONE) run = int(out.size()) - 1;
  }
  return out;
}

// ---- Staves and systems -------------------------------------------------------------------

std::map<int, Staff> find_staves(const std::vector<Element>& elements, const PageFrame& frame) {
  std::map<int, std::vector<int32_t>> line_ys;
  std::map<int, Staff> staves;
  for (const Element& e : elements) {
    if (e.kind != GE_LINE || (e.var != V_STAFF_LINE && e.var != V_TAB_LINE)) continue;
    Staff& s = staves[e.pstaff];
    const int32_t y = (e.box.top + e.box.bottom) / 2;
    if (!s.present) s.box = {e.box.left, y, e.box.right, y};
    s.present = true;
    s.box = {std::min(s.box.left, e.box.left), std::min(s.box.bottom, y),
             std::max(s.box.right, e.box.right), std::max(s.box.top, y)};
    line_ys[e.pstaff].push_back(y);
  }
  for (auto& [p, s] : staves) {
    std::vector<int32_t>& ys = line_ys[p];
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    if (ys.size() > 1) s.space = (s.box.top - s.box.bottom) / int32_t(ys.size() - 1);
  }
  // Systems: as the frame names them, else joined by the lines that join staves.
  std::map<int, int> parent;
  for (auto& [p, s] : staves) parent[p] = p;
  auto root = [&](int p) {
    while (parent[p] != p) p = parent[p] = parent[parent[p]];
    return p;
  };
  if (frame.system_of_pstaff.empty()) {
    for (const Element& e : elements) {
      if (e.kind != GE_LINE ||
          (e.var != V_SYSTEM_BAR && e.var != V_BAR_LINE && e.var != V_BAR_JOIN))
        continue;
      int first = -1;
      for (auto& [p, s] : staves) {
        if (e.box.top < s.box.top || e.box.bottom > s.box.bottom) continue;  // not across it
        if (e.box.left > s.box.right || e.box.right < s.box.left) continue;
        if (first < 0) first = p;
        parent[root(p)] = root(first);
      }
    }
  }
  for (auto& [p, s] : staves)
    s.system = frame.system_of_pstaff.empty()                     ? root(p)
               : p >= 0 && p < int(frame.system_of_pstaff.size()) ? frame.system_of_pstaff[p]
                                                                  : -1 - p;
  return staves;
}

// ---- Describing -------------------------------------------------------------------------

std::string element_name(const Element& e) {
  static const std::map<int, const char*> names = {{V_STAFF_LINE, "staff line"},
                                                   {V_TAB_LINE, "staff line"},
                                                   {V_SYSTEM_BAR, "system bar"},
                                                   {V_MAIN_BEAM, "beam"},
                                                   {V_BEAM_LINE, "beam"},
                                                   {V_BAR_LINE, "bar line"},
                                                   {V_BAR_JOIN, "bar line"},
                                                   {19, "stem"},
                                                   {20, "stem"},
                                                   {21, "stem"},
                                                   {22, "stem"},
                                                   {24, "ledger line"},
                                                   {V_HEAD, "note head"},
                                                   {47, "dot"},
                                                   {V_ACCIDENTAL, "accidental"},
                                                   {49, "flag"},
                                                   {50, "flag"},
                                                   {V_CLEF, "clef"},
                                                   {V_TIME_DIGIT, "time signature"},
                                                   {V_CUT_TIME, "time signature"},
                                                   {V_COMMON_TIME, "time signature"},
                                                   {V_KEY, "key signature"}};
  auto found = names.find(e.var);
  std::string name = found != names.end()            ? found->second
                     : e.kind == GE_CHAR && !e.glyph ? "text"
                     : e.kind == GE_CHAR             ? "glyph"
                     : e.kind == GE_LINE             ? "line"
                                                     : "curve";
  if (e.var == V_HEAD && is_rest(e.owner)) name = "rest";
  name += " (var " + std::to_string(e.var) + ")";
  if (e.owner) name += std::string(" of a ") + node_kind_name(e.owner);
  return name + " on staff " + std::to_string(e.pstaff) + " at x " + std::to_string(e.box.left) +
         ".." + std::to_string(e.box.right) + ", y " + std::to_string(e.box.bottom) + ".." +
         std::to_string(e.box.top);
}

// A mark by what it is and, when readable, what it says.
std::string mark_name(const Element& e, const Box& box) {
  std::string name;
  if (e.head && e.head->xkind == LINE) {
    const int style = e.head->get(xmetaline);
    name = style == 1 ? "hairpin" : style == 4 ? "bracket line" : "line";
  } else if (e.anno == Anno::LYRIC) {
    name = "lyric";
  } else if (e.anno == Anno::MARK) {
    static const std::map<int, const char*> classes = {
        {1, "words"},      {4, "rehearsal mark"}, {6, "tempo mark"}, {7, "dynamic"},
        {9, "pedal mark"}, {11, "chord symbol"},  {21, "words"},     {14, "articulation"},
        {16, "ornament"},  {22, "tempo words"},   {8, "fingering"},  {15, "breath mark"},
        {19, "bowing"},    {20, "pause"}};
    auto found = classes.find(e.head->get(xclassify));
    name = found != classes.end() ? found->second : "text";
  } else {
    return element_name(e);
  }
  if (!e.text.empty() &&
      std::all_of(e.text.begin(), e.text.end(), [](char c) { return c >= ' ' && c < 127; }))
    name += " \"" + e.text + "\"";
  return name + " on staff " + std::to_string(e.pstaff) + " at x " + std::to_string(box.left) +
         ".." + std::to_string(box.right) + ", y " + std::to_string(box.bottom) + ".." +
         std::to_string(box.top);
}

// Whether the segment from (x1, y1) to (x2, y2) passes through the box.
bool segment_through(int64_t x1, int64_t y1, int64_t x2, int64_t y2, const Box& b) {
  if (b.left >= b.right || b.bottom >= b.top) return false;
  double t0 = 0, t1 = 1;
  const double dx = double(x2 - x1), dy = double(y2 - y1);
  const double p[] = {-dx, dx, -dy, dy};
  const double q[] = {double(x1 - b.left), double(b.right - x1), double(y1 - b.bottom),
                      double(b.top - y1)};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, r);
    else
      t1 = std::min(t1, r);
    if (t0 > t1) return false;
  }
  return true;
}

Box shrunk(const Box& b, int32_t by) {
  return {b.left + by, b.bottom + by, b.right - by, b.top - by};
}

// Whether two lines cross away from their ends (by more than `depth` from each of them).
bool lines_cross(const Element& a, const Element& b, int32_t depth) {
  const double ax = a.x2 - a.x, ay = a.y2 - a.y, bx = b.x2 - b.x, by = b.y2 - b.y;
  const double d = ax * by - ay * bx;
  if (d == 0) return false;
  const double cx = b.x - a.x, cy = b.y - a.y;
  const double t = (cx * by - cy * bx) / d, u = (cx * ay - cy * ax) / d;
  const double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
  return t * la > depth && (1 - t) * la > depth && u * lb > depth && (1 - u) * lb > depth;
}

bool hairpin(const Element& e) {
  return e.kind == GE_LINE && e.head && e.head->xkind == LINE && e.head->get(xmetaline) == 1;
}

// A mark as the page shows it: a text or glyph by its box, a line by its ends, a hairpin by
// its two legs and the wedge between them.
struct Mark {
  const Element* e;
  Box box;
  int legs = 0;
  const Element* leg[2] = {nullptr, nullptr};

  explicit Mark(const Element& element) : e(&element), box(element.box) {
    if (hairpin(element)) leg[legs++] = &element;
  }
  void add_leg(const Element& second) {
    leg[legs++] = &second;
    box = {std::min(box.left, second.box.left), std::min(box.bottom, second.box.bottom),
           std::max(box.right, second.box.right), std::max(box.top, second.box.top)};
  }
  bool line() const { return e->kind == GE_LINE && !legs; }

  // Whether a point lies inside the wedge of a hairpin's two legs.
  bool wedge_holds(double px, double py) const {
    if (legs < 2) return false;
    const Element &a = *leg[0], &b = *leg[1];
    // Its corners: the closed end (shared by the legs) and the two open ends.
    const bool first_shared =
        std::abs(a.x - b.x) + std::abs(a.y - b.y) <= std::abs(a.x2 - b.x2) + std::abs(a.y2 - b.y2);
    const double cx[] = {double(first_shared ? a.x : a.x2), double(first_shared ? a.x2 : a.x),
                         double(first_shared ? b.x2 : b.x)};
    const double cy[] = {double(first_shared ? a.y : a.y2), double(first_shared ? a.y2 : a.y),
                         double(first_shared ? b.y2 : b.y)};
    int sign = 0;
    for (int i = 0; i < 3; ++i) {
      const int j = (i + 1) % 3;
      const double cross = (cx[j] - cx[i]) * (py - cy[i]) - (cy[j] - cy[i]) * (px - cx[i]);
      const int s = cross > 0 ? 1 : cross < 0 ? -1 : 0;
      if (s && sign && s != sign) return false;
      if (s) sign = s;
    }
    return true;
  }

  // Whether a box (a text, a glyph, a head) stands on this mark by more than `depth`.
  bool meets_box(const Box& b, int32_t depth) const {
    if (!overlap_by(box, b, 0)) return false;
    const Box inner = shrunk(b, depth);
    if (line()) return segment_through(e->x, e->y, e->x2, e->y2, inner);
    if (!legs) return overlap_by(box, b, depth);
    for (int i = 0; i < legs; ++i)
      if (segment_through(leg[i]->x, leg[i]->y, leg[i]->x2, leg[i]->y2, inner)) return true;
    return inner.left < inner.right && inner.bottom < inner.top &&
           wedge_holds((inner.left + inner.right) / 2.0, (inner.bottom + inner.top) / 2.0);
  }

  bool stands_on(const Mark& o, int32_t depth) const {
    if (!overlap_by(box, o.box, 0)) return false;
    if (legs && o.legs) return overlap_by(box, o.box, depth);
    if (line() && o.line()) return lines_cross(*e, *o.e, depth);
    if (line() || o.line()) {
      const Mark& l = line() ? *this : o;
      const Mark& other = line() ? o : *this;
      if (!other.legs) return other.meets_box_by_line(l, depth);
      for (int i = 0; i < other.legs; ++i)
        if (lines_cross(*l.e, *other.leg[i], depth)) return true;
      return false;
    }
    return o.legs ? o.meets_box(box, depth) : meets_box(o.box, depth);
  }
  bool meets_box_by_line(const Mark& l, int32_t depth) const {
    return segment_through(l.e->x, l.e->y, l.e->x2, l.e->y2, shrunk(box, depth));
  }
};

struct Checker {
  const PageFrame& frame;
  std::vector<Element> elements;
  std::map<int, Staff> staves;
  std::vector<PageFault> faults;

  int32_t space_of(int p) const {
    auto found = staves.find(p);
    return found != staves.end() ? found->second.space : 50;
  }
  int system_of(int p) const {
    auto found = staves.find(p);
    return found != staves.end() ? found->second.system : -1000 - p;
  }
  std::map<uint32_t, Drosa> heads_of_notes;
  // The first node of the voice list a note lies in.
  Drosa voice_head(Drosa note) {
    auto found = heads_of_notes.find(note.handle());
    if (found != heads_of_notes.end()) return found->second;
    Drosa head = note;
    while (head->xback) head = head->xback;
    heads_of_notes.emplace(note.handle(), head);
    return head;
  }
  void fault(const char* rule, const std::string& text) { faults.push_back({rule, text}); }

  // Every note head drawn stands on a staff drawn on the page (told once a staff).
  void drawn() {
    std::set<int> told;
    for (const Element& e : elements)
      if (e.var == V_HEAD && is_note(e.owner) && !is_rest(e.owner) && !staves.count(e.pstaff) &&
          told.insert(e.pstaff).second)
        fault("drawn", element_name(e) + " stands on a staff whose lines are not drawn");
  }

  void paper() {
    const int32_t slack = 10;
    for (const Element& e : elements)
      if (e.box.left < -slack || e.box.bottom < -slack || e.box.right > frame.paper_width + slack ||
          e.box.top > frame.paper_height + slack)
        fault("paper", element_name(e) + " is off the paper");
  }

  // A part's name keeps an eighth of an inch (where printers reach) from the paper's edge, and
  // stands left of all its system begins with: staff lines, brackets, braces, the system bar.
  void names() {
    constexpr int32_t PRINTABLE = 90;
    std::map<int, int32_t> start_of_system;  // the leftmost ink of each system's start
    for (const Element& e : elements) {
      const bool start = (e.kind == GE_LINE &&
                          (e.var == V_STAFF_LINE || e.var == V_TAB_LINE || e.var == V_SYSTEM_BAR ||
                           (e.var >= V_BRACKET_FIRST && e.var <= V_BRACKET_LAST))) ||
                         (e.kind == GE_CHAR && e.var >= V_BRACE_FIRST && e.var <= V_BRACE_LAST);
      if (!start) continue;
      auto [at, fresh] = start_of_system.emplace(system_of(e.pstaff), e.box.left);
      if (!fresh) at->second = std::min(at->second, e.box.left);
    }
    for (const Element& e : elements) {
      if (e.kind != GE_CHAR || e.var != V_PART_NAME) continue;
      if (e.box.left < PRINTABLE)
        fault("names", "a part's name comes within an eighth of an inch of the paper's edge");
      auto start = start_of_system.find(system_of(e.pstaff));
      if (start != start_of_system.end() && e.box.right > start->second - space_of(e.pstaff) / 5)
        fault("names", "a part's name reaches the bracket, brace or staves of its system");
    }
  }

  void margins() {
    for (const Element& e : elements) {
      const bool staff = e.kind == GE_LINE && (e.var == V_STAFF_LINE || e.var == V_TAB_LINE);
      const bool beam = e.kind == GE_LINE && (e.var == V_MAIN_BEAM || e.var == V_BEAM_LINE);
      const bool note = e.kind == GE_CHAR && e.var == V_HEAD;
      if (!staff && !beam && !note) continue;
      // Across, everything keeps within the margins; up and down, the staves' middle lines
      // do (notes above or below their staff may stand in the margin).
      const int32_t s = space_of(e.pstaff);
      auto found = staves.find(e.pstaff);
      const int32_t middle = found != staves.end()
                                 ? (found->second.box.top + found->second.box.bottom) / 2
                                 : frame.bottom;
      if (e.box.left < frame.left - s || e.box.right > frame.right + s ||
          (staff && (middle < frame.bottom - s || middle > frame.top + s)))
        fault("margins", element_name(e) + " lies beyond the margins");
    }
  }

  void staves_apart() {
    for (auto a = staves.begin(); a != staves.end(); ++a)
      for (auto b = std::next(a); b != staves.end(); ++b)
        if (overlap_by(a->second.box, b->second.box, 0))
          fault("staves", "staves " + std::to_string(a->first) + " and " +
                              std::to_string(b->first) + " overlap");
  }

  void barlines() {
    std::map<int, std::vector<int32_t>> bars;  // by pstaff
    for (const Element& e : elements) {
      if (e.kind != GE_LINE || e.var != V_BAR_LINE) continue;
      for (auto& [p, s] : staves)
        if (std::min(e.box.top, s.box.top) - std::max(e.box.bottom, s.box.bottom) > s.space &&
            e.box.left <= s.box.right && e.box.right >= s.box.left)
          bars[p].push_back((e.box.left + e.box.right) / 2);
    }
    std::set<int> reported;
    for (auto a = bars.begin(); a != bars.end(); ++a)
      for (auto b = std::next(a); b != bars.end(); ++b) {
        const int system = system_of(a->first);
        if (system != system_of(b->first) || reported.count(system)) continue;
        const int32_t slack = space_of(a->first) / 2;
        auto missing_in = [&](const std::vector<int32_t>& from, const std::vector<int32_t>& in) {
          for (int32_t x : from)
            if (std::none_of(in.begin(), in.end(),
                             [&](int32_t y) { return std::abs(x - y) <= slack; }))
              return x;
          return int32_t(-1);
        };
        int32_t x = missing_in(a->second, b->second);
        int from = a->first, to = b->first;
        if (x < 0) x = missing_in(b->second, a->second), std::swap(from, to);
        if (x < 0) continue;
        reported.insert(system);
        fault("barlines", "the bar line of staff " + std::to_string(from) + " at x " +
                              std::to_string(x) + " is not on staff " + std::to_string(to) +
                              " of its system");
      }
  }

  // Note heads, and the signs that must keep off other chords' heads.
  void collisions() {
    std::map<int, std::vector<const Element*>> heads, signs;
    for (const Element& e : elements) {
      if (e.kind != GE_CHAR || !e.glyph) continue;
      if (e.var == V_HEAD && is_note(e.owner) && !is_rest(e.owner)) heads[e.pstaff].push_back(&e);
      if (e.var == V_ACCIDENTAL || e.var == V_CLEF || e.var == V_TIME_DIGIT ||
          e.var == V_CUT_TIME || e.var == V_COMMON_TIME || e.var == V_KEY)
        signs[e.pstaff].push_back(&e);
    }
    for (auto& [p, list] : heads) {
      const int32_t depth = space_of(p) / 5;
      std::sort(list.begin(), list.end(),
                [](const Element* a, const Element* b) { return a->box.left < b->box.left; });
      for (size_t i = 0; i < list.size(); ++i)
        for (size_t j = i + 1; j < list.size() && list[j]->box.left < list[i]->box.right; ++j) {
          const Element &a = *list[i], &b = *list[j];
          if (chord_of(a.owner) == chord_of(b.owner)) continue;
          // Two voices may share one head; one voice never draws two heads in one place.
          if (a.x == b.x && a.y == b.y && a.glyph == b.glyph &&
              voice_head(a.owner) != voice_head(b.owner))
            continue;
          if (overlap_by(a.box, b.box, depth))
            fault("heads", element_name(a) + " overlaps " + element_name(b));
        }
      for (const Element* sign : signs[p])
        for (const Element* head : list) {
          if (head->box.left >= sign->box.right) break;
          if (is_note(sign->owner) && chord_of(sign->owner) == chord_of(head->owner)) continue;
          if (overlap_by(sign->box, head->box, depth))
            fault("signs", element_name(*sign) + " overlaps " + element_name(*head));
        }
    }
  }

  // Clefs, key and time signatures keep off one another on their staff. The glyphs drawn one
  // after another for one sign (a key's accidentals, a time signature's digits) are one sign.
  void signatures() {
    auto kind_of = [](const Element& e) {
      if (e.kind != GE_CHAR || !e.glyph) return 0;
      if (e.var == V_CLEF) return 1;
      if (e.var == V_KEY) return 2;
      if (e.var == V_TIME_DIGIT || e.var == V_CUT_TIME || e.var == V_COMMON_TIME) return 3;
      return 0;
    };
    struct Sign {
      Box box;
      std::vector<const Element*> glyphs;
    };
    std::map<int, std::vector<Sign>> signs;  // by pstaff
    const Element* previous = nullptr;
    for (const Element& e : elements) {
      const int kind = kind_of(e);
      if (kind && previous && kind_of(*previous) == kind && previous->pstaff == e.pstaff) {
        Sign& s = signs[e.pstaff].back();
        s.box = {std::min(s.box.left, e.box.left), std::min(s.box.bottom, e.box.bottom),
                 std::max(s.box.right, e.box.right), std::max(s.box.top, e.box.top)};
        s.glyphs.push_back(&e);
      } else if (kind) {
        signs[e.pstaff].push_back({e.box, {&e}});
      }
      previous = &e;
    }
    for (auto& [p, list] : signs) {
      const int32_t depth = space_of(p) / 5;
      auto meeting = [&](const Sign& a,
                         const Sign& b) -> std::pair<const Element*, const Element*> {
        if (overlap_by(a.box, b.box, depth))
          for (const Element* x : a.glyphs)
            for (const Element* y : b.glyphs)
              if (overlap_by(x->box, y->box, depth)) return {x, y};
        return {nullptr, nullptr};
      };
      for (size_t i = 0; i < list.size(); ++i)
        for (size_t j = i + 1; j < list.size(); ++j)
          if (const auto [a, b] = meeting(list[i], list[j]); a)
            fault("signatures", element_name(*a) + " overlaps " + element_name(*b));
    }
  }

  // The marks of the music (words, tempo, dynamics, rehearsal and pedal marks, hairpins,
  // octave lines) keep off one another, off the lyrics and off the note heads; the signs of the
  // music font by a note (ornaments, bowings, breath marks, pauses) off beams and stems too.
  void marks() {
    std::vector<Mark> marks;
    std::vector<const Element*> others, stems;
    for (const Element& e : elements) {
      if (e.anno == Anno::MARK && e.kind != GE_CURVE) {
        // The second leg of a hairpin makes it whole.
        if (hairpin(e) && !marks.empty() && marks.back().legs == 1 &&
            marks.back().e->head == e.head)
          marks.back().add_leg(e);
        else
          marks.push_back(Mark(e));
      }
      if ((e.anno == Anno::LYRIC && e.kind == GE_CHAR) ||
          (e.kind == GE_CHAR && e.glyph && e.var == V_HEAD && is_note(e.owner) &&
           !is_rest(e.owner)))
        others.push_back(&e);
      if (is_note(e.owner) && e.anno == Anno::NONE && e.kind == GE_LINE &&
          (e.var == V_MAIN_BEAM || e.var == V_BEAM_LINE ||
           (e.var >= V_STEM && e.var <= V_STEM_LAST)))
        stems.push_back(&e);
    }
    std::sort(marks.begin(), marks.end(),
              [](const Mark& a, const Mark& b) { return a.box.left < b.box.left; });
    for (auto* list : {&others, &stems})
      std::sort(list->begin(), list->end(),
                [](const Element* a, const Element* b) { return a->box.left < b->box.left; });
    std::set<std::pair<uint32_t, uint32_t>> said;  // each pair of annotations once
    auto check = [&](const Mark& a, const Mark& b) {
      const int32_t depth = space_of(a.e->pstaff) / 5;
      if (!a.stands_on(b, depth)) return;
      const Drosa other = b.e->head ? b.e->head : b.e->owner;
      if (!said.insert({a.e->head.handle(), other.handle()}).second) return;
      fault("marks", mark_name(*a.e, a.box) + " stands on " + mark_name(*b.e, b.box));
    };
    for (size_t i = 0; i < marks.size(); ++i) {
      for (size_t j = i + 1; j < marks.size() && marks[j].box.left < marks[i].box.right; ++j)
        if (marks[i].e->head != marks[j].e->head) check(marks[i], marks[j]);
      for (const Element* o : others) {
        if (o->box.left >= marks[i].box.right) break;
        check(marks[i], Mark(*o));
      }
      if (!sign_mark(*marks[i].e)) continue;
      for (const Element* o : stems) {
        if (o->box.left >= marks[i].box.right) break;
        check(marks[i], Mark(*o));
      }
    }
  }

  // Dynamics, words (a tempo or rehearsal mark too) and hairpins keep off the note heads, stems
  // and beams of their staff: the document's height for them may be kept only where it is clear.
  void notes() {
    constexpr int WORDS = 1, REHEARSAL = 4, TEMPO = 6, DYNAMIC = 7, MOOD = 21, ALTERATION = 22;
    std::vector<const Element*> texts;
    std::vector<Mark> hairpins;
    std::map<int, std::vector<const Element*>> notes;  // by pstaff
    for (const Element& e : elements) {
      if (e.anno == Anno::MARK && hairpin(e)) {
        if (!hairpins.empty() && hairpins.back().legs == 1 && hairpins.back().e->head == e.head)
          hairpins.back().add_leg(e);
        else
          hairpins.push_back(Mark(e));
      }
      const int c = e.head && e.head->xkind == TPARAM ? e.head->get(xclassify) : -1;
      if (e.anno == Anno::MARK && e.kind == GE_CHAR &&
          (c == WORDS || c == REHEARSAL || c == TEMPO || c == DYNAMIC || c == MOOD ||
           c == ALTERATION))
        texts.push_back(&e);
      if (is_note(e.owner) && !is_rest(e.owner) && e.anno == Anno::NONE &&
          ((e.kind == GE_CHAR && e.glyph && e.var == V_HEAD) ||
           (e.kind == GE_LINE && (e.var == V_MAIN_BEAM || e.var == V_BEAM_LINE ||
                                  (e.var >= V_STEM && e.var <= V_STEM_LAST)))))
        notes[e.pstaff].push_back(&e);
    }
    std::set<std::pair<uint32_t, uint32_t>> said;  // each mark once at a chord
    auto check = [&](const Mark& m) {
      const int32_t depth = space_of(m.e->pstaff) / 5;
      for (const Element* n : notes[m.e->pstaff]) {
        if (!m.stands_on(Mark(*n), depth)) continue;
        if (said.insert({m.e->head.handle(), chord_of(n->owner).handle()}).second)
          fault("notes", mark_name(*m.e, m.box) + " stands on " + element_name(*n));
      }
    };
    for (const Element* t : texts) check(Mark(*t));
    for (const Mark& h : hairpins) check(h);
  }

  // Ties and slurs: no mark of the music stands on one, the curve running through its words,
  // dynamic or sign, or across a hairpin's leg or another line, by more than a fifth of a space.
  void curves() {
    struct Piece {
      Element line;  // a short straight stretch of the curve
      const Element* curve;
    };
    constexpr int STEPS = 16;
    std::vector<Piece> pieces;
    for (const Element& e : elements) {
      if (e.kind != GE_CURVE || (e.var != V_TIE && e.var != V_SLUR)) continue;
      const double xs[4] = {double(e.x), double(e.cx[0]), double(e.cx[1]), double(e.x2)};
      const double ys[4] = {double(e.y), double(e.cy[0]), double(e.cy[1]), double(e.y2)};
      auto at = [](const double(&v)[4], double t) {
        const double u = 1 - t;
        return u * u * u * v[0] + 3 * u * u * t * v[1] + 3 * u * t * t * v[2] + t * t * t * v[3];
      };
      for (int k = 0; k < STEPS; ++k) {
        Piece piece{e, &e};
        Element& l = piece.line;
        l.kind = GE_LINE, l.head = NIL;
        l.x = int32_t(at(xs, double(k) / STEPS)), l.y = int32_t(at(ys, double(k) / STEPS));
        l.x2 = int32_t(at(xs, double(k + 1) / STEPS));
        l.y2 = int32_t(at(ys, double(k + 1) / STEPS));
        l.box = {std::min(l.x, l.x2), std::min(l.y, l.y2), std::max(l.x, l.x2) + 1,
                 std::max(l.y, l.y2) + 1};
        pieces.push_back(piece);
      }
    }
    if (pieces.empty()) return;
    std::vector<Mark> marks;
    for (const Element& e : elements) {
      if (e.anno != Anno::MARK || e.kind == GE_CURVE) continue;
      if (hairpin(e) && !marks.empty() && marks.back().legs == 1 && marks.back().e->head == e.head)
        marks.back().add_leg(e);
      else
        marks.push_back(Mark(e));
    }
    std::sort(pieces.begin(), pieces.end(),
              [](const Piece& a, const Piece& b) { return a.line.box.left < b.line.box.left; });
    // Whether a stretch crosses a line of the mark away from the line's ends.
    auto crosses = [](const Element& mark_line, const Element& piece, int32_t depth) {
      const double ax = mark_line.x2 - mark_line.x, ay = mark_line.y2 - mark_line.y;
      const double bx = piece.x2 - piece.x, by = piece.y2 - piece.y;
      const double d = ax * by - ay * bx;
      if (d == 0) return false;
      const double cx = piece.x - mark_line.x, cy = piece.y - mark_line.y;
      const double t = (cx * by - cy * bx) / d, u = (cx * ay - cy * ax) / d;
      const double length = std::hypot(ax, ay);
      return t * length > depth && (1 - t) * length > depth && u >= 0 && u <= 1;
    };
    std::set<std::pair<uint32_t, const Element*>> said;
    for (const Mark& m : marks) {
      const int32_t depth = space_of(m.e->pstaff) / 5;
      for (const Piece& piece : pieces) {
        if (piece.line.box.left >= m.box.right) break;
        if (!overlap_by(m.box, piece.line.box, -1)) continue;
        bool on = false;
        if (m.legs)
          for (int i = 0; i < m.legs; ++i) on |= crosses(*m.leg[i], piece.line, depth);
        else if (m.line())
          on = crosses(*m.e, piece.line, depth);
        else
          on = segment_through(piece.line.x, piece.line.y, piece.line.x2, piece.line.y2,
                               shrunk(m.box, depth));
        if (on && said.insert({m.e->head.handle(), piece.curve}).second)
          fault("curves", mark_name(*m.e, m.box) + " stands on " + element_name(*piece.curve));
      }
    }
  }

  static bool sign_mark(const Element& e) {
    constexpr int BREATH = 15, ORNAMENT = 16, BOWING = 19, PAUSE = 20;
    const int c = e.head && e.head->xkind == TPARAM ? e.head->get(xclassify) : -1;
    return c == BREATH || c == ORNAMENT || c == BOWING || c == PAUSE;
  }

  // Lyrics keep off one another, and off the staves and notes of the other staves.
  void lyrics() {
    std::vector<const Element*> syllables, notes;
    for (const Element& e : elements) {
      if (e.anno == Anno::LYRIC && e.kind == GE_CHAR) syllables.push_back(&e);
      if (is_note(e.owner) && e.anno == Anno::NONE &&
          ((e.kind == GE_CHAR && e.glyph && e.var == V_HEAD && !is_rest(e.owner)) ||
           (e.kind == GE_LINE && (e.var == V_MAIN_BEAM || e.var == V_BEAM_LINE ||
                                  (e.var >= V_STEM && e.var <= V_STEM_LAST)))))
        notes.push_back(&e);
    }
    std::set<std::pair<uint32_t, uint32_t>> said;
    auto say = [&](const Element& a, Drosa other, const std::string& what) {
      if (said.insert({a.head.handle(), other.handle()}).second)
        fault("lyrics", mark_name(a, a.box) + " stands on " + what);
    };
    for (const Element* a : syllables) {
      const int32_t depth = space_of(a->pstaff) / 5;
      for (const Element* b : syllables)
        if (b->head != a->head && a->head.handle() < b->head.handle() &&
            overlap_by(a->box, b->box, depth))
          say(*a, b->head, mark_name(*b, b->box));
      for (const Element* n : notes)
        if (n->pstaff != a->pstaff && Mark(*a).stands_on(Mark(*n), depth))
          say(*a, n->owner, element_name(*n));
      for (const auto& [p, staff] : staves)
        if (p != a->pstaff && overlap_by(a->box, staff.box, depth))
          say(*a, NIL, "staff " + std::to_string(p));
    }
  }

  // Ties, slurs and the marks of the music end with their staff: what goes on into the next
  // system ends at the staff's right end, and nothing of them hangs into the margin. (Texts
  // may stand before a staff: the name of a voice that enters.)
  void ends() {
    for (const Element& e : elements) {
      const bool curve = e.kind == GE_CURVE && (e.var == V_TIE || e.var == V_SLUR);
      if (!curve && e.anno != Anno::MARK) continue;
      auto found = staves.find(e.pstaff);
      if (found == staves.end()) continue;
      const Box& staff = found->second.box;
      const int32_t slack = found->second.space / 2;
      if (e.box.right > staff.right + slack)
        fault("ends", (curve ? element_name(e) : mark_name(e, e.box)) +
                          " runs past the staff's right end at x " + std::to_string(staff.right));
      else if (e.kind != GE_CHAR && e.box.left < staff.left - slack)
        fault("ends", (curve ? element_name(e) : mark_name(e, e.box)) +
                          " begins before the staff's left end at x " + std::to_string(staff.left));
    }
  }

  // A tie or slur lies within the width of its system, as drawn (the curve itself, not the
  // box of its control points): one going on into the next system ends at the system's end,
  // one coming from the last begins after the system's start. A tenth of a space is allowed
  // for the curve's own thickness.
  void reach() {
    std::map<int, std::pair<int32_t, int32_t>> width;  // of each system: left, right
    for (const auto& [p, s] : staves) {
      auto [at, fresh] = width.emplace(s.system, std::make_pair(s.box.left, s.box.right));
      if (!fresh)
        at->second = {std::min(at->second.first, s.box.left),
                      std::max(at->second.second, s.box.right)};
    }
    for (const Element& e : elements) {
      if (e.kind != GE_CURVE || (e.var != V_TIE && e.var != V_SLUR)) continue;
      auto found = width.find(system_of(e.pstaff));
      if (found == width.end()) continue;
      const double xs[4] = {double(e.x), double(e.cx[0]), double(e.cx[1]), double(e.x2)};
      double lo = xs[0], hi = xs[0];
      for (int k = 1; k <= 32; ++k) {
        const double t = k / 32.0, u = 1 - t;
        const double x =
            u * u * u * xs[0] + 3 * u * u * t * xs[1] + 3 * u * t * t * xs[2] + t * t * t * xs[3];
        lo = std::min(lo, x), hi = std::max(hi, x);
      }
      const int32_t slack = space_of(e.pstaff) / 10;
      const auto [left, right] = found->second;
      if (hi > right + slack)
        fault("reach", element_name(e) + " reaches " + std::to_string(int32_t(hi) - right) +
                           " past its system's right end at x " + std::to_string(right));
      else if (lo < left - slack)
        fault("reach", element_name(e) + " reaches " + std::to_string(left - int32_t(lo)) +
                           " before its system's left end at x " + std::to_string(left));
    }
  }

  // Lines drawn for notes never cross a staff of another system, and the glyphs and lines of
  // the notes of two systems never meet.
  void systems() {
    systems_through_staves();
    std::map<int, std::vector<const Element*>> notes;  // by system
    for (const Element& e : elements)
      if (is_note(e.owner) && (e.kind == GE_LINE || (e.kind == GE_CHAR && e.glyph)))
        notes[system_of(e.pstaff)].push_back(&e);
    for (auto& [system, list] : notes)
      std::sort(list.begin(), list.end(),
                [](const Element* a, const Element* b) { return a->box.left < b->box.left; });
    for (auto a = notes.begin(); a != notes.end(); ++a)
      for (auto b = std::next(a); b != notes.end(); ++b)
        if (const auto met = first_meeting(a->second, b->second))
          fault("systems", element_name(*met->first) + " meets " + element_name(*met->second) +
                               " of another system");
  }

  // The first element of one list that meets an element of the other (both sorted by left).
  static std::optional<std::pair<const Element*, const Element*>> first_meeting(
      const std::vector<const Element*>& one, const std::vector<const Element*>& other) {
    size_t from = 0;
    for (const Element* a : one) {
      while (from < other.size() && other[from]->box.left < a->box.left - 2000) ++from;
      for (size_t i = from; i < other.size() && other[i]->box.left <= a->box.right; ++i)
        if (overlap_by(a->box, other[i]->box, 0)) return std::make_pair(a, other[i]);
    }
    return std::nullopt;
  }

  // ---- The paper

  // The sheet is a paper the Page Setup dialog offers, or the document's own.
  void sheet() {
    if (frame.sheet_width <= 0) return;
    constexpr double PAPERS[][2] = {{612, 792}, {612, 1008}, {792, 1224},
                                    {420, 595}, {595, 842},  {842, 1191}};
    const double w = frame.sheet_width, h = frame.sheet_height;
    for (const auto& paper : PAPERS)
      for (const bool turned : {false, true})
        if (std::abs(w - paper[turned]) <= 0.5 && std::abs(h - paper[!turned]) <= 0.5) return;
    // The page the document gives, in whole tenths of an inch (rounded up, then to the scale).
    constexpr double ROUNDING = 10.8;  // points: 0.15 inch
    if (frame.own_width < 0) return;   // the document's own is not known
    if (frame.own_width > 0 && std::abs(w - frame.own_width) <= ROUNDING &&
        std::abs(h - frame.own_height) <= ROUNDING)
      return;
    fault("sheet", "the page is printed on a sheet of " + std::to_string(int(std::lround(w))) +
                       " x " + std::to_string(int(std::lround(h))) +
                       " points, neither a printer's paper nor the document's own");
  }

  // Nothing the program places itself comes within a quarter inch of the sheet's edge: the
  // credits alone stand where the document puts them.
  void edge() {
    if (frame.sheet_width <= 0) return;
    const double per_paper_unit = 100.0 / std::max(frame.print_scale, 1);
    const int32_t room = int32_t(std::lround(180 * per_paper_unit)) - 5;
    const int32_t right = std::min<int32_t>(
        frame.paper_width, int32_t(std::lround(frame.sheet_width * 10 * per_paper_unit)));
    const int32_t bottom = std::max<int32_t>(
        0, frame.paper_height - int32_t(std::lround(frame.sheet_height * 10 * per_paper_unit)));
    for (const Element& e : elements) {
      if (credit(e)) continue;
      if (e.box.left < room || e.box.right > right - room || e.box.bottom < bottom + room ||
          e.box.top > frame.paper_height - room)
        fault("edge", element_name(e) + " comes within a quarter inch of the paper's edge");
    }
  }

  // A credit's words are drawn at the size the document gives them, on the paper.
  void credit_sizes() {
    for (const Element& e : elements) {
      if (!credit(e) || e.kind != GE_CHAR || e.glyph || e.size <= 0) continue;
      const std::string drawn = ascii(e.text);
      if (drawn.find_first_not_of(' ') == std::string::npos) continue;
      const double on_paper = e.size * frame.print_scale / 100.0;
      bool given = false, kept = false;
      for (const auto& [words, size] : frame.credit_sizes) {
        const std::string w = ascii(words);
        if (w.find(drawn) == std::string::npos && drawn.find(w) == std::string::npos) continue;
        given = true;
        kept |= std::abs(on_paper - size) <= 0.5;
      }
      if (given && !kept)
        fault("credits", "the credit \"" + drawn + "\" is drawn at " + std::to_string(on_paper) +
                             " points, not the document's size");
    }
  }

  static bool credit(const Element& e) {
    return e.head && e.head->xkind == TPARAM && page_text_class(e.head->get(xclassify));
  }

  // The printable ASCII of a text, lines joined by blanks.
  static std::string ascii(const std::string& text) {
    std::string out;
    for (char c : text)
      if (c >= ' ' && c < 127)
        out += c;
      else if (c == '\r' || c == '\n')
        out += ' ';
    const size_t first = out.find_first_not_of(' '), last = out.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
  }

  void systems_through_staves() {
    for (const Element& e : elements) {
      if (e.kind != GE_LINE || !is_note(e.owner)) continue;
      const int own = system_of(e.pstaff), own2 = system_of(e.pstaff2);
      for (auto& [p, s] : staves) {
        if (s.system == own || s.system == own2) continue;
        if (overlap_by(e.box, s.box, 0)) {
          fault("systems",
                element_name(e) + " crosses staff " + std::to_string(p) + " of another system");
          break;
        }
      }
    }
  }
};

}  // namespace

std::vector<PageFault> check_page_reports(const std::vector<Report>& reports) {
  std::vector<PageFault> faults;
  for (const Report& r : reports) {
    if (r.text.find("different number of beats") != std::string::npos ||
        r.text.find("barlines before this page") != std::string::npos)
      faults.push_back({"beats", r.text});
    else if (r.level == 2)
      faults.push_back({"alert", r.text});
    else
      faults.push_back({"report", "level " + std::to_string(r.level) + ": " + r.text});
  }
  return faults;
}

std::vector<PageFault> check_page_elements(const PageFrame& frame) {
  Checker c{frame, drawn_elements(), {}, {}, {}};
  c.staves = find_staves(c.elements, frame);
  c.paper();
  c.drawn();
  c.names();
  c.margins();
  c.staves_apart();
  c.barlines();
  c.collisions();
  c.signatures();
  c.systems();
  c.ends();
  c.reach();
  c.marks();
  c.notes();
  c.curves();
  c.lyrics();
  c.sheet();
  c.edge();
  c.credit_sizes();
  return c.faults;
}

std::vector<Drosa> printed_notes() {
  constexpr int BLANK_SHAPE = 6, HEADLESS_STAFF = 2;
  std::vector<Drosa> notes;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind != NOTE || p->get(xrest) || p->get(xhider) || p->get(xnotehead) == BLANK_SHAPE)
        continue;
      Drosa nt = note_ntdata(p);
      if (!nt || nt->get(xtabtyp) != HEADLESS_STAFF) notes.push_back(p);
    }
  return notes;
}

void add_drawn_notes(std::set<uint32_t>* drawn) {
  constexpr int V_FRET_TEXT = 7, V_PIANO_ROLL = 23, V_TAB_HEAD = 45;
  for (const Element& e : drawn_elements())
    if (is_note(e.owner) &&
        (e.var == V_HEAD || e.var == V_TAB_HEAD || e.var == V_FRET_TEXT || e.var == V_PIANO_ROLL))
      drawn->insert(e.owner.handle());
}

std::vector<PageFault> check_notes_drawn(const std::vector<Drosa>& printed,
                                         const std::set<uint32_t>& drawn) {
  std::vector<PageFault> faults;
  for (Drosa note : printed) {
    if (drawn.count(note.handle())) continue;
    int bar = 1;
    Drosa head = note;
    for (Drosa p = note->xback; p; p = p->xback) bar += p->xkind == BAR, head = p;
    int voice = 0;
    while (voice < voice_count && piece_start[voice] != head) ++voice;
    faults.push_back({"drawn", "a note of voice " + std::to_string(voice + 1) + " in bar " +
                                   std::to_string(bar) + " is drawn on no page"});
  }
  return faults;
}

void add_printed_sheet(PageFrame* frame) {
  const PrintedSheet sheet = printed_sheet(current_ncontext);
  frame->sheet_width = sheet.width, frame->sheet_height = sheet.height;
  frame->print_scale = sheet.scale;
}

PageFrame formatted_page_frame(int32_t page) {
  PageFrame f;
  const int context = current_ncontext;
  f.paper_width = options_i32(context, OPTIONS_PAGE_WIDTH) * 72;
  f.paper_height = options_i32(context, OPTIONS_PAGE_HEIGHT) * 72;
  // The options' margins: top and bottom of the first page and of the others.
  const bool first = page == 1;
  f.top = f.paper_height - options_i32(context, first ? 54 : 50);
  f.bottom = options_i32(context, first ? 62 : 58);
  f.left = f.paper_width, f.right = 0;
  int system = 0;
  for (int p = 0; p < pstaff_count && p < MAX_PSTAVES; ++p) {
    f.left = std::min(f.left, staff_left_x(p, page));
    f.right = std::max(f.right, staff_right_x(p, page));
    if (p > 0 && staff_data[p].place <= 1) ++system;
    f.system_of_pstaff.push_back(system);
  }
  if (f.left > f.right) f.left = 0, f.right = f.paper_width;
  return f;
}

std::string page_faults_text(const std::vector<PageFault>& faults, int per_rule) {
  std::map<std::string, int> shown;
  std::string out;
  for (const PageFault& f : faults) {
    int& n = shown[f.rule];
    if (n++ < per_rule) out += "  " + f.rule + ": " + f.text + "\n";
  }
  for (auto& [rule, n] : shown)
    if (n > per_rule) out += "  " + rule + ": " + std::to_string(n - per_rule) + " more\n";
  return out;
}
