// system_fit.cpp: cutting a system whose music does not fit its staves, and a page whose
// systems no longer fit its height.
//
// The spacing pass leaves every chord its packed x: where it stands when every chord, sign
// and accidental keeps only its least space. Justification can spread chords apart but never
// bring them closer than that without drawing them over each other, so a system whose packed
// music reaches past the staff's right edge holds too many bars. It is cut at bar lines that
// every voice reaches at once (a timing boundary) and no beam crosses, into as few parts as
// fit, made as even as they can be; a bar that is wider than the staff on its own stands
// alone.
//
// Design notes:
//  - A part after a cut begins where the chord after the cut's bar line stood; the clef and
//    key the new system starts with take about the room they took in this one, and the
//    courtesy signs the cut leaves at the end of a part stood before that chord, so a part
//    fits when the packed distance from its first chord to its last stays within the width.
//  - Cuts are made from the last to the first, so that each one's note is still in the system
//    being formatted when its turn comes.
#include "layout/system_fit.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>

#include "editing/editing_services.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/setprint.h"
#include "layout/spacing.h"
#include "params/param_services.h"

namespace {

constexpr int BAR_SEARCH_NODES = 100;  // how far back a chord's bar line is looked for

struct FitChord {
  Drosa first;
  int32_t time;      // start in the system
  int32_t end;       // when its shortest note ends
  int32_t origin;    // packed x
  bool bar;          // a bar line stands before it
  bool beam_across;  // a beam from an earlier chord goes on past its start
};

bool near(int64_t a, int64_t b) { return std::llabs(a - b) <= TIME_TOLERANCE; }

bool bar_before(Drosa note) {
  int walked = 0;
  for (Drosa p = note->xback; p && walked < BAR_SEARCH_NODES; p = p->xback, ++walked) {
    int kind = effective_kind(p);
    if (p->xkind == NOTE || kind == ENDSYST) return false;
    if (kind == BAR) return true;
  }
  return false;
}

// The chords of every layer of the system, in time order.
std::vector<std::vector<FitChord>> system_chords() {
  std::vector<std::vector<FitChord>> layers;
  for (int p = std::max(first_pstaff, 0); p <= last_pstaff && p < MAX_PSTAVES; ++p) {
    for (Drosa head : staff_data[p].ppnt) {
      std::vector<FitChord> chords;
      // A beam runs on to the next chord of its grace kind and stem direction that ends one.
      bool open[2][4] = {};
      for (Drosa first = chain_next(head); first;) {
        Drosa last = chord_last_note(first);
        Drosa cd = last_note_cddata(last), cd2 = last_note_cddata2(last);
        if (!cd || !cd2) break;
        FitChord chord{first, cd2->get(xswholec), 0, cd->get(xorigin), false, false};
        for (const bool(&kind)[4] : open)
          for (bool o : kind) chord.beam_across |= o;
        const int64_t end = int64_t(chord.time) + spaced_chord_duration(first);
        chord.end = int32_t(std::min<int64_t>(end, NO_TIME));
        for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
          chord.bar = chord.bar || bar_before(n);
          Drosa nt = note_ntdata(n);
          open[n->get(xgrace) ? 1 : 0][nt->get(xstmdir) & 3] = !nt->get(xendbeam);
        }
        chords.push_back(chord);
        first = chain_next(last);
      }
      if (!chords.empty()) layers.push_back(std::move(chords));
    }
  }
  return layers;
}

// A place to cut: a time at which every layer either begins a chord after a bar line, with no
// beam coming across it, or has ended; the packed x of the first chord there and its first
// note.
struct Cut {
  int32_t time;
  int32_t origin;
  Drosa note;
};

bool cut_at(const std::vector<std::vector<FitChord>>& layers, int32_t t, Cut* cut) {
  *cut = {t, INT32_MAX, NIL};
  for (const std::vector<FitChord>& chords : layers) {
    auto at = std::find_if(chords.begin(), chords.end(),
                           [&](const FitChord& c) { return c.time > int64_t(t) - TIME_TOLERANCE; });
    if (at == chords.end()) {
      if (chords.back().end > int64_t(t) + TIME_TOLERANCE) return false;  // still sounding
      continue;
    }
    if (!near(at->time, t) || !at->bar) return false;
    if (at->beam_across) return false;
    if (at->origin < cut->origin) *cut = {t, at->origin, at->first};
  }
  return bool(cut->note);
}

// The places that end each part when every part takes the bars that fit within `limit` (at
// least one): the music from `first_x` to `end` in packed x.
std::vector<size_t> parts_within(const std::vector<Cut>& places, int64_t first_x, int64_t end,
                                 int64_t limit) {
  std::vector<size_t> ends;
  int64_t start = first_x;
  for (size_t i = 0; i < places.size() && end - start > limit;) {
    size_t k = i;  // the furthest place that fits ends this part (the next one when none does)
    for (size_t j = i; j < places.size() && places[j].origin - start <= limit; ++j) k = j;
    ends.push_back(k);
    start = places[k].origin;
    i = k + 1;
  }
  return ends;
}

// At most one clef and one key signature stand before the note, back to the node where a
// system break before it would go.
bool one_clef_and_key_before(Drosa note) {
  int clefs = 0, keys = 0;
  for (Drosa p = note->xback; p; p = p->xback) {
    if (p->xkind == NOTE || p->xkind == NTDATA || p->xkind == CDDATA3 || p->xkind == ENDSYST) break;
    clefs += effective_kind(p) == CLEF;
    keys += effective_kind(p) == KEYSIG;
  }
  return clefs <= 1 && keys <= 1;
}

}  // namespace

std::vector<Drosa> find_system_cuts() {
  std::vector<Drosa> cuts;
  if (first_pstaff < 0 || first_pstaff >= MAX_PSTAVES) return cuts;
  const int64_t first_x = staff_data[first_pstaff].first_note_x;
  const int64_t width = int64_t(staff_right_x(first_pstaff, current_page)) - first_x;
  if (int64_t(spacing_x) - first_x <= width || width <= 0) return cuts;
  const std::vector<std::vector<FitChord>> layers = system_chords();
  std::vector<Cut> places;
  for (const std::vector<FitChord>& chords : layers)
    for (const FitChord& c : chords) {
      Cut cut;
      if (c.bar && c.time > TIME_TOLERANCE && cut_at(layers, c.time, &cut)) places.push_back(cut);
    }
  std::sort(places.begin(), places.end(),
            [](const Cut& a, const Cut& b) { return a.time < b.time; });
  places.erase(std::unique(places.begin(), places.end(),
                           [](const Cut& a, const Cut& b) { return near(a.time, b.time); }),
               places.end());
  // As few parts as the width allows, as even as they can be: the least width within which
  // that many parts still do.
  const int64_t end = spacing_x;
  const std::vector<size_t> fewest = parts_within(places, first_x, end, width);
  int64_t low = (end - first_x) / int64_t(fewest.size() + 1), high = width;
  while (low < high) {
    const int64_t mid = low + (high - low) / 2;
    if (parts_within(places, first_x, end, mid).size() <= fewest.size())
      high = mid;
    else
      low = mid + 1;
  }
  for (size_t k : parts_within(places, first_x, end, high)) cuts.push_back(places[k].note);
  return cuts;
}

int cut_overfull_system() {
  const std::vector<Drosa> cuts = find_system_cuts();
  if (cuts.empty()) return 0;
  // The voice cursors, which the passes after this one read, are given back when no cut is
  // made and the format goes on.
  std::array<Drosa, MAX_VOICES> systems, times;
  std::copy(std::begin(system_cursor), std::end(system_cursor), systems.begin());
  std::copy(std::begin(time_cursor), std::end(time_cursor), times.begin());
  int made = 0;
  for (auto it = cuts.rbegin(); it != cuts.rend(); ++it) {
    // A voice that is not at a boundary there (one outside the print chains), or that has two
    // clefs or two keys there, which a break would take one of away, keeps the cut from being
    // made: the system stays whole there rather than ask the user or change the music.
    voices_to_system(system_number_on_page(*it, 1), 1);
    if (voices_to_system_at_time(find_time_in_system(*it), 0, 1)) continue;
    bool clean = true;
    for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES) && clean; ++v)
      clean = voice_not_shown(v) || !time_cursor[v] || one_clef_and_key_before(time_cursor[v]);
    if (clean) made += insert_system_start(*it, 0, 1, 1);
  }
  if (made) {
    mark_layout_changed(CHANGE_NO_VIEWS, 0);
  } else {
    std::copy(systems.begin(), systems.end(), std::begin(system_cursor));
    std::copy(times.begin(), times.end(), std::begin(time_cursor));
  }
  return made;
}

int first_system_too_low(const std::vector<int32_t>& staves_per_system, int64_t available) {
  int64_t depth = 0;  // from the first staff's middle line down to the current one's
  int p = 0;
  for (size_t s = 0; s < staves_per_system.size(); ++s) {
    for (int32_t i = 0; i < staves_per_system[s] && p < MAX_PSTAVES; ++i, ++p)
      if (p > 0) depth += staff_data[p - 1].distance_below;
    if (s > 0 && depth > available) return int(s);
  }
  return 0;
}
