// part_names.cpp: the names of the parts before a system: the full names before the piece's
// first system, the abbreviations before the later ones, each as its part asks (model's
// part_names_of_voice), none for a part that keeps none, and none in a piece of one part: as
// engravers print a solo piece, its staves unlabelled.
//
// A name stands right-aligned a staff space to the left of what the system begins with (its
// brackets, braces, the system bar line, the staves), so that the names of a system end at
// one edge and none touches a bracket; it is centred up and down on its part's staves in the
// system: a piano's name between its two staves. A name of several lines is centred as a
// block, and so are the names of parts that share their staves, one under the other. The text is
// Times, 10 points at the normal staff size, the size following the part's top staff. Being
// elements of the page like any other, the names look the same on the screen, in print and in a PDF
// file.
#include "graphics/part_names.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "graphics/GE.h"
#include "graphics/graphics_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/port.h"

namespace {

constexpr int NORMAL_STAFF_SPACE = 50;  // layout units of a staff space at the normal size
constexpr int NORMAL_NAME_SIZE = 10;    // points at the normal size
// Where a line's base line stands below the middle of its capitals, and the distance of lines,
// in em.
constexpr double CAPITALS_MIDDLE = 0.33, LINE_DISTANCE = 1.2;

int name_size(int staff_space) {
  return std::clamp(int(std::lround(double(NORMAL_NAME_SIZE) * staff_space / NORMAL_STAFF_SPACE)),
                    4, 127);
}

std::vector<std::string> name_lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\r' || c == '\n')
      lines.emplace_back();
    else
      lines.back() += c;
  }
  return lines;
}

// The width of a line in layout units, measured at its point size, whatever the zoom.
int32_t line_width(const std::string& line, int size) {
  Port* saved = platform_current_port();
  platform_set_port(offscreen_port());
  const int font = current_text_font(), old_size = current_text_size(), face = current_text_face();
  text_font(FONT_TIMES);
  text_size(size);
  text_face(0);
  const double width = text_width(line.data(), int(line.size()));
  text_font(font);
  text_size(old_size);
  text_face(face);
  platform_set_port(saved);
  return int32_t(std::lround(width * 10));
}

bool is_brace_piece(Drosa g) {
  return g->xkind == GE_CHAR && g->get(xgc_x) != ADJACENT_TEXT &&
         g->get(xgc_var) >= VAR_BRACE_TOP && g->get(xgc_var) <= VAR_BRACE_BOTTOM;
}

// The leftmost ink of the elements after `from` (the system's start as drawn so far): of
// its braces' pieces into *braces, of the others into *others (each no further right than
// it was).
void leftmost_ink(Drosa from, int32_t* others, int32_t* braces) {
  for (Drosa g = from ? from->xnext : (GE_head ? GE_head->xnext : NIL); g; g = g->xnext) {
    GEInkBox box;
    if (!ge_ink_box(g, &box)) continue;
    int32_t* left = is_brace_piece(g) ? braces : others;
    *left = std::min(*left, box.left);
  }
}

// What the names of a system were placed by, kept by its first staff: the edge they end at,
// what of it the braces do not give, and the staves of each block of names.
struct NamedSystem {
  int32_t edge = 0, others_left = 0, staff_space = 0;
  std::vector<std::pair<int, int>> blocks;
};
NamedSystem named_systems[MAX_PSTAVES];

int system_first_staff(int p) {
  while (p > 0 && staff_data[p].place != 1) --p;
  return p;
}

bool first_system_of_piece(Drosa system_start) {
  Drosa e = system_start;
  while (e && effective_kind(e) != ENDSYST) e = e->xback;
  return e && e->get(xstartpiece);
}

// A part shown in the system: its top voice and the range of its staves.
struct ShownPart {
  int voice = -1, top = MAX_PSTAVES, bottom = -1;
};

// The part name of every voice, read once for a system's names.
std::vector<std::string> part_of_voices() {
  std::vector<std::string> names;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
    names.push_back(piece_start[v] ? voice_part_name(v) : std::string());
  return names;
}

bool same_part(const std::vector<std::string>& names, int a, int b) {
  return piece_start[a] && piece_start[b] &&
         names_equal16(names[size_t(a)].c_str(), names[size_t(b)].c_str());
}

std::vector<ShownPart> shown_parts(const std::vector<std::string>& names) {
  std::vector<ShownPart> parts;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    const VoiceData& voice = voice_data[v];
    if (!voice.print || voice_not_shown(v) || voice_list_empty(v)) continue;
    const int staff = voice.print->get(xsstaff);
    if (staff < 0) continue;
    const int p = staff + first_pstaff;
    if (p < first_pstaff || p > last_pstaff) continue;
    auto same = std::find_if(parts.begin(), parts.end(),
                             [&](const ShownPart& s) { return same_part(names, s.voice, v); });
    if (same == parts.end()) same = parts.insert(parts.end(), ShownPart{v});
    same->top = std::min(same->top, p);
    same->bottom = std::max(same->bottom, p);
  }
  return parts;
}

// A solo piece: every voice of one part.
bool one_part(const std::vector<std::string>& names) {
  for (int v = 1; v < int(names.size()); ++v)
    if (!same_part(names, v, 0)) return false;
  return true;
}

}  // namespace

int32_t part_name_room(const std::string& text, int staff_space) {
  const int size = name_size(staff_space);
  int32_t widest = 0;
  for (const std::string& line : name_lines(text))
    widest = std::max(widest, line_width(line, size));
  return widest + staff_space +
         param_length(P_X_OFFSET_FROM_START_OF_STAFF_TO_VERTICAL_BRACKET_LINE, NIL) +
         param_length(P_X_OFFSET_FOR_SYSTEM_BRACES_FROM_LEFT_END_OF_STAFF, NIL) +
         param_length(P_WIDTH_OF_VERTICAL_BRACKET_LINE_AT_START_OF_SYSTEM, NIL);
}

void draw_part_names(Drosa system_drawn_after) {
  if (first_pstaff < 0 || last_pstaff >= MAX_PSTAVES || first_pstaff > last_pstaff) return;
  named_systems[first_pstaff] = {};
  const std::vector<std::string> names_of_voices = part_of_voices();
  if (one_part(names_of_voices)) return;
  // The lines to draw by the staves they stand before: parts that share their staves share
  // one block of lines, each part's name under the one before.
  struct Block {
    int top, bottom;
    std::vector<std::string> lines;
  };
  std::vector<Block> blocks;
  const std::vector<PartNames> names_by_voice = part_names_of_voices();
  for (const ShownPart& part : shown_parts(names_of_voices)) {
    const PartNames& names = names_by_voice[size_t(part.voice)];
    const bool first = first_system_of_piece(voice_data[part.voice].system_start);
    const PartName& name = first ? names.full : names.abbreviation;
    if (!name.shown || name.text.empty()) continue;
    auto block = std::find_if(blocks.begin(), blocks.end(), [&](const Block& b) {
      return b.top == part.top && b.bottom == part.bottom;
    });
    if (block == blocks.end())
      block = blocks.insert(blocks.end(), Block{part.top, part.bottom, {}});
    for (std::string& line : name_lines(name.text)) block->lines.push_back(std::move(line));
  }
  if (blocks.empty()) return;
  NamedSystem& named = named_systems[first_pstaff];
  named.others_left = staff_left_x(first_pstaff, current_page);
  int32_t braces_left = INT32_MAX;
  leftmost_ink(system_drawn_after, &named.others_left, &braces_left);
  named.staff_space = staff_data[first_pstaff].staff_size;
  const int32_t edge = std::min(named.others_left, braces_left) - named.staff_space;
  named.edge = edge;
  for (const Block& block : blocks) named.blocks.emplace_back(block.top, block.bottom);
  for (const Block& block : blocks) {
    const int size = name_size(staff_data[block.top].staff_size);
    const int32_t middle =
        int32_t((int64_t(staff_top_y(block.top, 0)) + staff_bottom_y(block.bottom, 0)) / 2);
    const int32_t distance = int32_t(std::lround(LINE_DISTANCE * size * 10));
    int32_t base = middle - int32_t(std::lround(CAPITALS_MIDDLE * size * 10)) +
                   distance * int32_t(block.lines.size() - 1) / 2;
    for (const std::string& line : block.lines) {
      if (!line.empty())
        GEstring(0, edge - line_width(line, size), base, 0, 0, block.top, FONT_TIMES, 0, size, 0, 0,
                 line.c_str(), 0, VAR_PART_NAME, NIL, NIL);
      base -= distance;
    }
  }
}

bool part_names_follow(const std::vector<int32_t>& dy) {
  if (!GE_head) return true;
  for (Drosa g = GE_head->xnext; g; g = g->xnext) {
    if (g->xkind != GE_CHAR || g->get(xgc_var) != VAR_PART_NAME || g->get(xgc_x) == ADJACENT_TEXT)
      continue;
    const int top = g->get(xgc_pstaff);
    if (top < 0 || top >= int(dy.size()) || top >= MAX_PSTAVES) return false;
    for (const auto& [first, last] : named_systems[system_first_staff(top)].blocks) {
      if (first != top) continue;
      if (last < top || last >= int(dy.size())) return false;
      for (int p = top + 1; p <= last; ++p)
        if (dy[size_t(p)] != dy[size_t(top)]) return false;
    }
  }
  return true;
}

void part_names_follow_braces() {
  if (!GE_head) return;
  // The leftmost ink of each named system's braces as they now stand.
  std::vector<int32_t> brace_left(MAX_PSTAVES, INT32_MAX);
  bool named[MAX_PSTAVES] = {};
  for (Drosa g = GE_head->xnext; g; g = g->xnext) {
    if (g->xkind != GE_CHAR || g->get(xgc_x) == ADJACENT_TEXT) continue;
    const int p = g->get(xgc_pstaff);
    if (p < 0 || p >= MAX_PSTAVES || p >= pstaff_count) continue;
    const size_t first = size_t(system_first_staff(p));
    if (g->get(xgc_var) == VAR_PART_NAME) named[first] = true;
    GEInkBox box;
    if (is_brace_piece(g) && ge_ink_box(g, &box))
      brace_left[first] = std::min(brace_left[first], box.left);
  }
  int32_t moved[MAX_PSTAVES] = {};
  for (int s = 0; s < MAX_PSTAVES; ++s) {
    if (!named[s]) continue;
    NamedSystem& system = named_systems[s];
    const int32_t edge = std::min(system.others_left, brace_left[size_t(s)]) - system.staff_space;
    moved[s] = edge - system.edge;
    system.edge = edge;
  }
  for (Drosa g = GE_head->xnext; g; g = g->xnext) {
    if (g->xkind != GE_CHAR || g->get(xgc_var) != VAR_PART_NAME || g->get(xgc_x) == ADJACENT_TEXT)
      continue;
    const int p = g->get(xgc_pstaff);
    if (p < 0 || p >= MAX_PSTAVES || p >= pstaff_count) continue;
    g->set(xgc_x, g->get(xgc_x) + moved[system_first_staff(p)]);
  }
}
