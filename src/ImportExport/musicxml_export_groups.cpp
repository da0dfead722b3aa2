// musicxml_export_groups.cpp: the groups of parts the MusicXML export writes.
#include "ImportExport/musicxml_export_groups.h"

#include <algorithm>
#include <utility>

#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int BRACKET_GOES_ON = 0, NO_BRACKET = 2;

// Where a system of voice v begins: the piece's start, or the ENDSYST of the system before.
std::vector<Drosa> system_starts(int v) {
  std::vector<Drosa> starts;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == ENDSYST && !p->get(xendpiece)) starts.push_back(p);
  return starts;
}

// Whether voice v's staff is shown, by system (the PRINT in force at each system's end).
std::vector<bool> shown_by_system(int v) {
  std::vector<bool> shown;
  Drosa in_force = NIL;
  for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
    if (p->xkind == PRINT) in_force = p;
    if (p->xkind == ENDSYST && !p->get(xendpiece))
      shown.push_back(!in_force || in_force->get(xsstaff) >= 0);
  }
  shown.push_back(!in_force || in_force->get(xsstaff) >= 0);
  return shown;
}

// A system in which voice v's staff joins the staff below as the piece has it: the first
// that hides v's staff or shows it with the staff of voice `below` (a system hiding the
// staves below a shown one ends its brackets and bar lines there), else the first.
size_t system_joining_as_made(int v, int below) {
  const std::vector<bool> a = shown_by_system(v), b = shown_by_system(below);
  for (size_t s = 0; s < a.size() && s < b.size(); ++s)
    if (!a[s] || b[s]) return s;
  return 0;
}

// How a voice's staff joins the staff below in a system.
struct Join {
  int bracket = NO_BRACKET, brace = 0;
  bool bar_lines = false;
};

Join join_of(int v, size_t system) {
  Join j;
  const std::vector<Drosa> starts = system_starts(v);
  if (starts.empty()) return j;
  const Drosa start = starts[std::min(system, starts.size() - 1)];
  const Drosa holder = start->get(xstartpiece) ? find_next_kind_before_note(PRINT, start) : start;
  if (!holder) return j;
  const bool print = holder->xkind == PRINT;
  j.bracket = holder->get(print ? xfirst_bracket : xbracket);
  j.brace = holder->get(print ? xfirst_brace : xbrace);
  for (Drosa p = start->xnext; p && p->xkind != ENDSYST; p = p->xnext)
    if (p->xkind == BAR) {
      j.bar_lines = !find_BARSEP(p);
      break;
    }
  return j;
}

// The staff a voice's first PRINT puts it on.
int first_staff(int v) {
  const Drosa print = find_next_kind(PRINT, piece_start[v]);
  return print ? int(print->get(xsstaff)) : 0;
}

// A piece of one staff draws the bracket its staff goes on with only where the document or
// its parameter asks for a bracket before a staff standing alone (as plot_page does).
bool lone_staff_hides_bracket(const std::vector<std::pair<int, int>>& parts, const Join& top) {
  if (parts.size() != 1 || top.bracket != BRACKET_GOES_ON) return false;
  const auto [first_voice, last_voice] = parts.front();
  if (first_staff(first_voice) != first_staff(last_voice)) return false;
  const Drosa at = find_next_kind(NOTE, piece_start[first_voice]);
  return param_value_variant(P_DRAW_BARLINE_AT_LEFT_OF_SINGLE_STAFF_SYSTEM, at, 0)->integer() == 0;
}

bool nests(const ExportGroup& a, const ExportGroup& b) {
  return a.last < b.first || b.last < a.first || (a.first <= b.first && b.last <= a.last) ||
         (b.first <= a.first && a.last <= b.last);
}

}  // namespace

std::vector<ExportGroup> export_part_groups(const std::vector<std::pair<int, int>>& parts) {
  const int n = int(parts.size());
  std::vector<Join> top(parts.size()), last(parts.size());
  for (int i = 0; i < n; ++i) {
    const auto [first_voice, last_voice] = parts[size_t(i)];
    top[size_t(i)] = join_of(first_voice, system_joining_as_made(first_voice, first_voice));
    const int below = i + 1 < n ? parts[size_t(i + 1)].first : last_voice;
    last[size_t(i)] = join_of(last_voice, system_joining_as_made(last_voice, below));
  }
  auto bar_lines_through = [&](int first, int end) {
    for (int i = first; i < end; ++i)
      if (!last[size_t(i)].bar_lines) return false;
    return true;
  };
  std::vector<ExportGroup> groups;
  auto add = [&](const ExportGroup& g) {
    if (std::all_of(groups.begin(), groups.end(),
                    [&](const ExportGroup& o) { return nests(g, o); }))
      groups.push_back(g);
  };
  for (int i = 0; i < n; ++i) {
    if (top[size_t(i)].bracket == NO_BRACKET ||
        (i > 0 && last[size_t(i - 1)].bracket == BRACKET_GOES_ON) ||
        lone_staff_hides_bracket(parts, top[size_t(i)]))
      continue;
    int j = i;
    while (j + 1 < n && last[size_t(j)].bracket == BRACKET_GOES_ON) ++j;
    add({i, j, "bracket", bar_lines_through(i, j)});
  }
  for (int i = 0; i + 1 < n; ++i) {
    if (!last[size_t(i)].brace || (i > 0 && last[size_t(i - 1)].brace)) continue;
    int j = i + 1;
    while (j + 1 < n && last[size_t(j)].brace) ++j;
    add({i, j, "brace", bar_lines_through(i, j)});
  }
  // Parts whose bar lines go on to the next outside a group that says so.
  for (int i = 0; i + 1 < n; ++i) {
    if (!last[size_t(i)].bar_lines || (i > 0 && last[size_t(i - 1)].bar_lines)) continue;
    int j = i + 1;
    while (j + 1 < n && last[size_t(j)].bar_lines) ++j;
    const bool said = std::any_of(groups.begin(), groups.end(), [&](const ExportGroup& g) {
      return g.bar_lines && g.first <= i && j <= g.last;
    });
    if (!said) add({i, j, "none", true});
  }
  std::sort(groups.begin(), groups.end(), [](const ExportGroup& a, const ExportGroup& b) {
    return a.first < b.first || (a.first == b.first && a.last > b.last);
  });
  return groups;
}
