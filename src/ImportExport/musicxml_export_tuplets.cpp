// musicxml_export_tuplets.cpp: where the tuplets of a measure start and stop, for the export.
//
// The piece keeps no tuplet groups: each note holds its own ratio (xtupl notes in the time of
// xintimeof / 4), and a note inside a tuplet that lies inside another has a NEST before it
// holding the outer one's ratio. The groups are found again from the notes' times, as the
// layout finds those it numbers: a group is complete when the written time it has taken, the
// tuplets inside it counted at their sounding time, is a whole multiple of its count times its
// shortest written value (three eighths of a triplet; a quarter and an eighth).
#include "ImportExport/musicxml_export_tuplets.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace {

// A ratio as the piece holds it: `actual` notes in the time of `intimeof` / 4.
struct Ratio {
  int32_t actual = 1, intimeof = 4;
  bool operator==(const Ratio&) const = default;
};

// A time as a fraction of a 4096th of a breve.
struct Time {
  int64_t num = 0, den = 1;
};

Time reduced(int64_t num, int64_t den) {
  const int64_t g = std::gcd(num, den);
  return g > 1 ? Time{num / g, den / g} : Time{num, den};
}

Time operator+(Time a, Time b) { return reduced(a.num * b.den + b.num * a.den, a.den * b.den); }

// The written value of a note, its tuplets not counted.
int64_t written_value(Drosa note) {
  int64_t w = int64_t(1) << (12 - std::clamp<int>(note->get(xlgval), 0, 8));
  for (int d = 0, part = int(w); d < std::min<int>(note->get(xdots), 3); ++d) w += part >>= 1;
  return w;
}

// The tuplets a note lies in, the outermost first: none, its own, or a NEST's and its own.
// The notes of a tremolo between two notes are in none: their ratio gives their written value.
std::vector<Ratio> ratios_of(Drosa note) {
  if (note->get(xtrembeam)) return {};
  const Ratio own{note->get(xtupl), note->get(xintimeof)};
  int32_t actual = 1, intimeof = 4;
  if (!get_tuplet(note, &actual, &intimeof) || actual < 2 || intimeof < 1) return {};
  if (own.actual < 2 || own.intimeof < 1 || own.actual == actual) return {{actual, intimeof}};
  Drosa nest = find_prev_kind_stop(NEST, note, ENDSYST);
  if (!nest || nest->get(xnest_tupl) < 2 || nest->get(xnest_intimeof) < 1) return {own};
  return {{nest->get(xnest_tupl), nest->get(xnest_intimeof)}, own};
}

// Both counts of a ratio whole: the normal count is held in quarters.
void set_counts(ExportTupletMark& m, Ratio r) {
  const int scale = r.intimeof % 4 == 0 ? 1 : r.intimeof % 2 == 0 ? 2 : 4;
  m.actual = r.actual * scale;
  m.normal = r.intimeof * scale / 4;
}

// The bracket a modifier before a note of the chord asks for; 0 none.
int bracket_asked(Drosa first) {
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    if (Drosa mod = find_prev_kind_stop(TSMOD, p, ENDSYST); mod && mod->get(xtupl_bracket))
      return mod->get(xtupl_bracket);
    if (p->get(xendvcd)) break;
  }
  return 0;
}

// The bracket the chords from first to last ask for: shown when one asks for it, else none
// when one asks for none (the drawing's groups are the same; where a document started its
// tuplets elsewhere, the bracket it asked for stays with the notes drawn under it).
int bracket_asked(const std::vector<Drosa>& firsts, size_t first, size_t last) {
  int asked = 0;
  for (size_t c = first; c <= last && asked != TUPLET_BRACKET_SHOWN; ++c)
    if (const int a = bracket_asked(firsts[c])) asked = a;
  return asked;
}

struct Open {
  Ratio ratio;
  size_t first = 0, last = 0;  // chords
  size_t start_mark = 0;       // its start among the marks of its first chord
  Time taken;                  // written time, the tuplets inside it at their sounding time
  int64_t shortest = 0;        // written value
};

}  // namespace

std::vector<std::vector<ExportTupletMark>> export_tuplet_marks(const std::vector<Drosa>& firsts) {
  std::vector<std::vector<ExportTupletMark>> marks(firsts.size());
  std::vector<Open> open;  // the outermost first
  std::vector<bool> nested_start(firsts.size(), false);
  auto close_from = [&](size_t depth) {
    for (size_t d = open.size(); d-- > depth;) {
      if (d == 0)
        if (const int asked = bracket_asked(firsts, open[0].first, open[0].last))
          marks[open[0].first][open[0].start_mark].bracket = asked == TUPLET_BRACKET_SHOWN;
      ExportTupletMark stop;
      stop.number = int(d) + 1;
      marks[open[d].last].push_back(stop);
      if (open.size() > 1) nested_start[open[0].first] = nested_start[open[d].first] = true;
    }
    open.resize(std::min(open.size(), depth));
  };
  for (size_t c = 0; c < firsts.size(); ++c) {
    Drosa note = firsts[c];
    if (note->get(xgrace) || note->get(xnachschlag)) continue;
    const std::vector<Ratio> ratios = ratios_of(note);
    size_t same = 0;
    while (same < open.size() && same < ratios.size() && open[same].ratio == ratios[same]) ++same;
    close_from(same);
    for (size_t d = open.size(); d < ratios.size(); ++d) {
      open.push_back({ratios[d], c, c, marks[c].size(), {}, 0});
      ExportTupletMark start;
      start.start = true;
      start.number = int(d) + 1;
      start.number_shown = !note->get(xhidet);
      set_counts(start, ratios[d]);
      marks[c].push_back(start);
    }
    // The note's time in each tuplet: its written value, at the sounding time of the tuplets
    // inside that one.
    const int64_t w = written_value(note);
    Time t{w, 1};
    for (size_t d = open.size(); d-- > 0;) {
      Open& g = open[d];
      g.last = c;
      g.taken = g.taken + t;
      g.shortest = g.shortest ? std::min(g.shortest, w) : w;
      t = reduced(t.num * g.ratio.intimeof, t.den * 4 * int64_t(g.ratio.actual));
    }
    // Complete tuplets end here, the innermost first; one around a tuplet still open goes on.
    while (!open.empty()) {
      const Open& g = open.back();
      const int64_t span = g.shortest * g.ratio.actual;
      if (g.taken.num % (g.taken.den * span) != 0) break;
      close_from(open.size() - 1);
    }
  }
  close_from(0);
  // A tuplet inside another, and the one around it, are written with their own ratios.
  for (size_t c = 0; c < firsts.size(); ++c)
    for (ExportTupletMark& m : marks[c]) m.own_ratio = m.start && nested_start[c];
  return marks;
}
