// page_checker.cpp: the rules of a drawn page, checked over the GE list.
//
// Elements are told apart by their variety code (the drawing passes give every kind of element
// its own) and by the node they were drawn for. Glyphs are measured by the ink they cover in the
// font they are drawn in; lines by their ends. Staves are found from their lines, systems from
// the lines that join staves, unless the frame names them.
#include "support/page_checker.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <numeric>
#include <optional>
#include <set>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

namespace {

// Variety codes of the elements the rules look at.
constexpr int V_STAFF_LINE = 10, V_TAB_LINE = 11, V_SYSTEM_BAR = 12;
constexpr int V_MAIN_BEAM = 17, V_BEAM_LINE = 18;
constexpr int V_BAR_LINE = 26, V_BAR_JOIN = 29;
constexpr int V_HEAD = 46, V_ACCIDENTAL = 48;
constexpr int V_CLEF = 52, V_TIME_DIGIT = 53, V_CUT_TIME = 54, V_COMMON_TIME = 55, V_KEY = 58;

struct Box {
  int32_t left = 0, bottom = 0, right = 0, top = 0;  // y upward
};

bool overlap_by(const Box& a, const Box& b, int32_t depth) {
  return std::min(a.right, b.right) - std::max(a.left, b.left) > depth &&
         std::min(a.top, b.top) - std::max(a.bottom, b.bottom) > depth;
}

struct Element {
  int kind = 0;  // GE_CHAR (a glyph or a text run) or GE_LINE or GE_CURVE
  int var = 0;
  Drosa owner = NIL;
  Box box;
  int pstaff = 0, pstaff2 = 0;
  int32_t x = 0, y = 0;  // a glyph's origin
  int glyph = 0;         // a glyph's character; 0 for a text run
};

struct Staff {
  bool present = false;
  Box box;
  int32_t space = 50;
  int system = -1;
};

// The drawn elements of the list: screen twins, screen-only and removed elements left out.
std::vector<Element> drawn_elements() {
  std::vector<Element> out;
  if (!GE_head) return out;
  Drosa owner = NIL;
  for (Drosa p = GE_head->xnext; p; p = p->xnext) {
    const int kind = p->xkind;
    if (kind == NOTEPTR) {
      owner = p->get(xnoteptr);
      continue;
    }
    GEInkBox box;
    if (!ge_ink_box(p, &box)) continue;
    Element e;
    e.kind = kind;
    e.owner = owner;
    e.box = {box.left, box.bottom, box.right, box.top};
    if (kind == GE_CHAR) {
      e.var = p->get(xgc_var);
      e.pstaff = e.pstaff2 = p->get(xgc_pstaff);
      e.x = p->get(xgc_x), e.y = p->get(xgc_y);
      const bool run = p->xback && p->xback->xkind == GE_STRING;
      e.glyph = run ? 0 : p->get(xgc_char);
    } else {
      e.var = kind == GE_LINE ? p->get(xgl_var) : p->get(xgv_var);
      e.pstaff = p->get(xge_pstaff1), e.pstaff2 = p->get(xge_pstaff2);
    }
    out.push_back(e);
  }
  return out;
}

// ---- Staves and systems -------------------------------------------------------------------

bool is_note(Drosa owner) { return owner && owner->xkind == NOTE; }
bool is_rest(Drosa owner) { return is_note(owner) && owner->get(xrest); }
Drosa chord_of(Drosa owner) { return is_note(owner) ? vchord_first_note(owner) : NIL; }

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

  void paper() {
    const int32_t slack = 10;
    for (const Element& e : elements)
      if (e.box.left < -slack || e.box.bottom < -slack || e.box.right > frame.paper_width + slack ||
          e.box.top > frame.paper_height + slack)
        fault("paper", element_name(e) + " is off the paper");
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
    else if (r.level >= 3)
      faults.push_back({"report", "level " + std::to_string(r.level) + ": " + r.text});
  }
  return faults;
}

std::vector<PageFault> check_page_elements(const PageFrame& frame) {
  Checker c{frame, drawn_elements(), {}, {}, {}};
  c.staves = find_staves(c.elements, frame);
  c.paper();
  c.margins();
  c.staves_apart();
  c.barlines();
  c.collisions();
  c.systems();
  return c.faults;
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
