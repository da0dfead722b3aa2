// system_fit.cpp: cutting a system whose music does not fit its staves, and a page whose
// systems no longer fit its height.
//
// The spacing pass leaves every chord its packed x: where it stands when every chord, sign
// and accidental keeps only its least space. Justification spreads chords apart; a line a
// little wider than its staff it squeezes, every least distance giving up to 12 per cent: the
// least space behind a note (a head's width again) leaves that much room with nothing
// touching, but not much more. So a system whose packed music reaches past the staff's right
// edge by more than that holds too many bars. It is cut at bar lines that every voice
// reaches at once (a timing boundary) and no beam crosses, into as few parts as fit, made as
// even as they can be; a bar that is wider than the staff on its own stands alone.
//
// A system its piece ends where it does (a document's or the user's system) is first spaced
// again with its least gaps (spacing_tight: the page's format does that), and is cut only when
// it does not fit even so; the squeeze is then not taken, for the gaps have given what they
// can and heads and signs would meet.
//
// Where the music after the cut can join the next system (the system does not end the piece
// and the next one has the same staves), the system keeps the bars that fit and the rest goes
// on at the start of the next system, which is cut in turn when it no longer fits: the
// systems stay full and few, and the document's own breaks stay wherever the music carried
// on still fits before them. A system that ends a page hands its page end to the cut, so
// that the page keeps its systems. Only where the rest cannot join the next system is it
// cut into even parts.
//
// Design notes:
//  - A part after a cut begins where the chord after the cut's bar line stood; the clef and
//    key the new system starts with take about the room they took in this one, and the
//    courtesy signs the cut leaves at the end of a part stood before that chord, so a part
//    fits when the packed distance from its first chord to its last stays within the width
//    it may be squeezed into.
//  - Cuts are made from the last to the first, so that each one's note is still in the system
//    being formatted when its turn comes.
#include "layout/system_fit.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iterator>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/object_lookup.h"
#include "layout/relocate.h"
#include "layout/setprint.h"
#include "layout/spacing.h"
#include "params/param_services.h"

namespace {

constexpr int BAR_SEARCH_NODES = 100;  // how far back a chord's bar line is looked for
// The least share of their natural distances a page's staves are moved to, to hold a system
// rather than carry it to the next page.
constexpr int64_t LEAST_SQUEEZE_PERCENT = 88;

struct FitChord {
  Drosa first;
  int32_t time;      // start in the system
  int32_t origin;    // packed x
  bool bar;          // a bar line stands before it
  bool beam_across;  // a beam from an earlier chord goes on past its start
};

// When the chord's shortest note ends. Asked of few chords (the last of a layer, one before
// a place where the layer is silent), so not found for every chord.
int64_t chord_end(const FitChord& chord) {
  return std::min<int64_t>(int64_t(chord.time) + spaced_chord_duration(chord.first), NO_TIME);
}

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

// Whether the note's beam goes on on another staff (its voice moves there).
bool beam_leaves(Drosa note) {
  int hand = 3;
  return beam_next(note, &hand) && hand != 3;
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
        FitChord chord{first, cd2->get(xswholec), cd->get(xorigin), false, false};
        for (const bool(&kind)[4] : open)
          for (bool o : kind) chord.beam_across |= o;
        for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
          chord.bar = chord.bar || bar_before(n);
          Drosa nt = note_ntdata(n);
          open[n->get(xgrace) ? 1 : 0][nt->get(xstmdir) & 3] =
              !nt->get(xendbeam) && !beam_leaves(n);
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
// beam coming across it, or is silent (has ended, or begins later); the packed x of the first
// chord there and its first note.
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
      if (chord_end(chords.back()) > int64_t(t) + TIME_TOLERANCE) return false;  // still sounding
      continue;
    }
    if (at->beam_across) return false;
    if (!near(at->time, t)) {
      // A layer silent at the time (its voice on another staff until later) keeps no cut
      // from being made there.
      if (at != chords.begin() && chord_end(*std::prev(at)) > int64_t(t) + TIME_TOLERANCE)
        return false;
      continue;
    }
    if (!at->bar) return false;
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

// The packed width the music from `first_x` on may take: the staff's, squeezed as a line may
// be; a line spaced with its least gaps is not squeezed.
int64_t packed_width_allowed(int64_t first_x) {
  const int64_t width = int64_t(staff_right_x(first_pstaff, current_page)) - first_x;
  return spacing_tight ? width : width * 100 / LEAST_LINE_SQUEEZE_PERCENT;
}

// The places a system too wide for its staves can be cut at, in time order, and the packed
// x its music begins and ends at, and the packed width it may take: its staff's, squeezed;
// no places when it fits.
struct Overfull {
  std::vector<Cut> places;
  int64_t first_x = 0, end = 0, width = 0;
};

Overfull overfull_system() {
  Overfull o;
  if (first_pstaff < 0 || first_pstaff >= MAX_PSTAVES) return o;
  o.first_x = staff_data[first_pstaff].first_note_x;
  o.width = packed_width_allowed(o.first_x);
  o.end = spacing_x;
  if (o.end - o.first_x <= o.width || o.width <= 0) return o;
  const std::vector<std::vector<FitChord>> layers = system_chords();
  // The times of chords after bar lines, each asked about once: the layers of a system share
  // most of their bar lines.
  std::vector<int32_t> times;
  for (const std::vector<FitChord>& chords : layers)
    for (const FitChord& c : chords)
      if (c.bar && c.time > TIME_TOLERANCE) times.push_back(c.time);
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  std::vector<Cut>& places = o.places;
  for (int32_t t : times)
    if (Cut cut; cut_at(layers, t, &cut)) places.push_back(cut);
  places.erase(std::unique(places.begin(), places.end(),
                           [](const Cut& a, const Cut& b) { return near(a.time, b.time); }),
               places.end());
  return o;
}

// As few parts as the width allows, as even as they can be: the least width within which
// that many parts still do.
std::vector<Cut> even_cuts(const Overfull& o) {
  std::vector<Cut> cuts;
  const std::vector<size_t> fewest = parts_within(o.places, o.first_x, o.end, o.width);
  int64_t low = (o.end - o.first_x) / int64_t(fewest.size() + 1), high = o.width;
  while (low < high) {
    const int64_t mid = low + (high - low) / 2;
    if (parts_within(o.places, o.first_x, o.end, mid).size() <= fewest.size())
      high = mid;
    else
      low = mid + 1;
  }
  for (size_t k : parts_within(o.places, o.first_x, o.end, high)) cuts.push_back(o.places[k]);
  return cuts;
}

// Whether the page has room below its last system for one more as tall as this one, its
// staves moved as close together as a page may move them.
bool room_for_another_system() {
  int64_t height = page_fitting.system_distance;
  for (int p = std::max(first_pstaff, 0); p < last_pstaff && p < MAX_PSTAVES; ++p)
    height += staff_data[p].distance_below;
  const int64_t available = page_fitting.room + page_fitting.natural_height;
  return height_a_page_holds(available) - page_fitting.natural_height >= height;
}

// Whether the music after a cut of this system can go on in the next system: every shown
// voice's system ends at a system end that does not end the piece, and no voice changes its
// staff there; a system that ends a page with room for another keeps the rest on the page.
bool next_system_takes_the_rest() {
  bool any = false, page_end = false;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    if (voice_not_shown(v) || !page_start[v]) continue;
    const VoiceData& voice = voice_data[v];
    if (voice.system_start == voice.system_end) continue;  // nothing of the voice here
    Drosa end = voice.system_end;
    if (!end || effective_kind(end) != ENDSYST || end->get(xendpiece)) return false;
    if (Drosa print = find_next_kind_before_note(PRINT, end))
      if (print->get(xsstaff) != find_sstaff(end)) return false;
    page_end |= end->get(xendpage) != 0;
    any = true;
  }
  return any && !(page_end && room_for_another_system());
}

// A voice that is not at a boundary at the note (one outside the print chains), or that has
// two clefs or two keys there, which a break would take one of away, keeps a cut from being
// made there: the system stays whole there rather than ask the user or change the music.
// Leaves every voice at the note's time (system_cursor, time_cursor), where a system start
// made at the note right after finds them.
bool can_cut_at(Drosa note) {
  voices_to_system(system_number_on_page(note, 1), 1);
  if (voices_to_system_at_time(find_time_in_system(note), 0, 1)) return false;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v)
    if (!voice_not_shown(v) && time_cursor[v] && !one_clef_and_key_before(time_cursor[v]))
      return false;
  return true;
}

// Whether a parameter change is of the distance below a staff or between systems: those are
// read only at a system's last note, and a system that keeps the bars before a cut reads them
// again at its new end.
bool changes_distance_below(Drosa param) {
  const int16_t pindex = param->get(xparam_index);
  return pindex == P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT ||
         pindex == P_DEFAULT_VERTICAL_DISTANCE_BETWEEN_SYSTEMS ||
         pindex == P_DISTANCE_BETWEEN_SYSTEMS_WITH_SEPARATOR_SYMBOLS;
}

// Whether the music of every shown voice from its last note before the cut (time_cursor, as
// can_cut_at leaves it) to its system's end holds only what a system's end cannot change the
// bars before it for. A clef or a time signature changes only the notes after it: where one
// stands at the cut, the system's end is spaced anew all the same. A tie and slur modifier is
// read only by the ties and slurs of its note, laid out after the cut; a change of the
// distances below the staves only where the system ends.
bool plain_rest_of_system() {
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    if (voice_not_shown(v) || !page_start[v]) continue;
    const VoiceData& voice = voice_data[v];
    if (voice.system_start == voice.system_end) continue;
    Drosa at = time_cursor[v];
    if (!at) return false;
    Drosa from = at->xback;
    while (from && from->xkind != NOTE && from != voice.system_start) from = from->xback;
    if (!from) return false;
    for (Drosa p = from->xnext; p != voice.system_end; p = p->xnext) {
      if (!p) return false;
      switch (effective_kind(p)) {
        case NOTE:
        case NTDATA:
        case CDDATA:
        case CDDATA2:
        case CDDATA3:
        case BAR:
        case TPARAM:
        case TEXT:
        case LINE:
        case PDATA:
        case BARSEP:
        case CLEF:
        case TIMESIG:
        case TSMOD:
          break;
        case PARAM:
          if (!changes_distance_below(p)) return false;
          break;
        default:
          return false;
      }
    }
  }
  return true;
}

}  // namespace

bool system_too_wide() {
  if (first_pstaff < 0 || first_pstaff >= MAX_PSTAVES) return false;
  const int64_t first_x = staff_data[first_pstaff].first_note_x;
  const int64_t width = packed_width_allowed(first_x);
  return width > 0 && int64_t(spacing_x) - first_x > width;
}

std::vector<Drosa> find_system_cuts() {
  const Overfull o = overfull_system();
  std::vector<Drosa> notes;
  if (!o.places.empty())
    for (const Cut& cut : even_cuts(o)) notes.push_back(cut.note);
  return notes;
}

int cut_overfull_system(JoinedCut* joined) {
  const Overfull o = overfull_system();
  if (o.places.empty()) return 0;
  // The voice cursors, which the passes after this one read, are given back when no cut is
  // made and the format goes on.
  std::array<Drosa, MAX_VOICES> systems, times;
  std::copy(std::begin(system_cursor), std::end(system_cursor), systems.begin());
  std::copy(std::begin(time_cursor), std::end(time_cursor), times.begin());
  int made = 0;
  if (next_system_takes_the_rest()) {
    // The furthest place within the width (the first when none is); the rest goes on in the
    // next system. Failing that place, the places before it.
    // Only a rest that a line holds goes on: a longer one would grow from system to system
    // (and each format with it); it is cut into even parts instead.
    const std::vector<size_t> parts = parts_within(o.places, o.first_x, o.end, o.width);
    for (size_t k = parts.front() + 1; k-- > 0 && !made;) {
      if (o.end - o.places[k].origin > o.width || !can_cut_at(o.places[k].note)) continue;
      const bool plain = joined && plain_rest_of_system();
      made = layout_hooks.cut_and_join_next_system(o.places[k].note, STRICT_AT_TIME_CURSORS);
      if (made && joined) *joined = {o.places[k].note, o.places[k].time, plain};
    }
  }
  const std::vector<Cut> cuts = made ? std::vector<Cut>{} : even_cuts(o);
  // Whether the music from the first cut on is plain is seen before any cut is made.
  const bool plain =
      joined && !cuts.empty() && can_cut_at(cuts.front().note) && plain_rest_of_system();
  int parts = 0;
  for (auto it = cuts.rbegin(); it != cuts.rend(); ++it)
    if (can_cut_at(it->note))
      parts += layout_hooks.insert_system_start(it->note, 0, 1, STRICT_AT_TIME_CURSORS);
  if (joined && parts > 0 && parts == int(cuts.size()))
    *joined = {cuts.front().note, cuts.front().time, plain, parts};
  made += parts;
  if (made) {
    mark_layout_changed(CHANGE_NO_VIEWS, 0);
  } else {
    std::copy(systems.begin(), systems.end(), std::begin(system_cursor));
    std::copy(times.begin(), times.end(), std::begin(time_cursor));
  }
  return made;
}

int64_t height_a_page_holds(int64_t available) {
  return available > 0 ? available * 100 / LEAST_SQUEEZE_PERCENT : available;
}

int first_system_past_least_distances(const std::vector<int32_t>& staves_per_system,
                                      int64_t available, double rest_kept) {
  double depth = 0;  // from the first staff's middle line down to the current one's
  int p = 0;
  for (size_t s = 0; s < staves_per_system.size(); ++s) {
    for (int32_t i = 0; i < staves_per_system[s] && p < MAX_PSTAVES; ++i, ++p) {
      if (p == 0) continue;
      const StaffData& above = staff_data[p - 1];
      const int64_t least = std::clamp<int64_t>(above.least_below, 0, above.distance_below);
      depth += double(least) + rest_kept * double(above.distance_below - least);
    }
    if (s > 0 && depth > double(available)) return int(s);
  }
  return 0;
}

int first_system_too_low(const std::vector<int32_t>& staves_per_system, int64_t available) {
  available = height_a_page_holds(available);
  int64_t depth = 0;  // from the first staff's middle line down to the current one's
  int p = 0;
  for (size_t s = 0; s < staves_per_system.size(); ++s) {
    for (int32_t i = 0; i < staves_per_system[s] && p < MAX_PSTAVES; ++i, ++p)
      if (p > 0) depth += staff_data[p - 1].distance_below;
    if (s > 0 && depth > available) return int(s);
  }
  return 0;
}
