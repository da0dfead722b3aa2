// perfdata.cpp: performance data of notes.
//
// A note's start is the sum of the times to the next chord (xttn) before it in its voice:
// the last note of each vertical chord holds the chord's time, the chord's other notes 0.
// Recomputing a range therefore always works on whole chords, whole measures (so that tuplet
// remainders carried from chord to chord start afresh) and whole groups of grace notes, whose
// time is taken from the main note they belong to.
#include "performance/perfdata.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "performance/performance_fields.h"
#include "performance/pitch.h"

namespace {

constexpr int32_t SIXTEENTH = 4096;
constexpr int OCTAVE = 3072;  // twelve semitones in a pitch word

// ---- Small walks ---------------------------------------------------------------------------

bool is_grace(Drosa n) { return n && n->xkind == NOTE && n->get(xgrace); }

bool stops_measure(Drosa n) {
  const int k = effective_kind(n);
  return k == BAR || k == ENDSYST;
}

// The NOTE before (after) a node in its voice, NIL at the voice's end.
Drosa prev_note_of(Drosa n) {
  for (Drosa p = n->xback; p; p = p->xback)
    if (p->xkind == NOTE) return p;
  return NIL;
}

Drosa next_note_of(Drosa n) {
  for (Drosa p = n->xnext; p; p = p->xnext)
    if (p->xkind == NOTE) return p;
  return NIL;
}

void mark_changed(int reformat) { mark_piece_changed(reformat, reformat ? 1 : CHANGE_NO_VIEWS, 0); }

// ---- Durations of one chord -------------------------------------------------------------------

// The nominal durations of a chord's notes: the chord's time for its shortest notes (and for
// every note of a chord whose shortest duration is 0: grace chords), their own for the others.
void set_chord_durations(Drosa chord_first) {
  // Each note's own duration is found once: the first notes' are kept for the second pass.
  constexpr int KEPT = 16;
  int32_t own[KEPT];
  int32_t shortest = NO_TIME;
  int notes = 0;
  const Drosa first = vchord_first_note(chord_first);
  // A chord of one note is its own shortest: it takes the chord's time, its own duration unasked.
  if (first && first->xkind == NOTE && first->get(xendvcd)) {
    set_default_duration(first, int32_t(first->get(xttn)));
    return;
  }
  Drosa last = NIL;
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    const int32_t d = note_duration(p, 1);
    if (notes < KEPT) own[notes] = d;
    ++notes;
    shortest = std::min(shortest, d);
    if (p->get(xendvcd)) {
      last = p;
      break;
    }
  }
  if (!first || !last) return;
  const int32_t chord_time = int32_t(last->get(xttn));
  int i = 0;
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      const int32_t d = i < KEPT ? own[i] : note_duration(p, 1);
      ++i;
      set_default_duration(p, d == shortest || shortest == 0 ? chord_time : d);
    }
    if (p == last) break;
  }
}

// ---- Grace groups
// ---------------------------------------------------------------------------------

struct GraceGroup {
  Drosa first, last;  // the group's first and last note
  Drosa main;         // the chord end that gives or takes its time; NIL none
  int chords = 0;     // grace chords in the group
  int64_t time = 0;   // the sum of their xttn now
};

// The whole group of consecutive grace notes that holds the grace note n.
GraceGroup grace_group_of(Drosa n) {
  GraceGroup g{n, n, NIL};
  for (Drosa p = prev_note_of(n); is_grace(p); p = prev_note_of(p)) g.first = p;
  for (Drosa p = next_note_of(n); is_grace(p); p = next_note_of(p)) g.last = p;
  for (Drosa p = g.first; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      g.time += p->get(xttn);
      if (p->get(xendvcd)) ++g.chords;
    }
    if (p == g.last) break;
  }
  if (g.chords == 0) g.chords = 1;
  // The main note: before the group, unless grace notes go on the beat (or the group opens
  // the voice); a chord end that is no grace note.
  auto before = [&]() -> Drosa {
    for (Drosa p = prev_note_of(g.first); p; p = prev_note_of(p))
      if (p->get(xendvcd) && !p->get(xgrace)) return p;
    return NIL;
  };
  auto after = [&]() -> Drosa {
    Drosa next = next_note_of(g.last);
    return next ? chord_end_note(next) : NIL;
  };
  if (perf_setting(PERF_GRACE_ON_BEAT)) {
    g.main = after();
  } else {
    g.main = before();
    if (!g.main) g.main = after();
  }
  return g;
}

// Whether a bar line or the end of a system comes after the group before any main note.
bool group_ends_measure(const GraceGroup& g) {
  for (Drosa p = g.last->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return false;
    if (stops_measure(p)) return true;
  }
  return true;
}

void give_group_time(const GraceGroup& g) {
  int64_t t = int64_t(perf_setting(PERF_GRACE_LENGTH)) * SIXTEENTH / 100;
  const int64_t half = int64_t(g.main->get(xttn)) / 2;
  if (t - g.time > half) t = g.time + half;
  if (t < 0) t = 0;
  g.main->set(xttn, uint32_t(int64_t(g.main->get(xttn)) - (t - g.time)));
  int chord = 0;
  for (Drosa p = g.first; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      if (!p->get(xendvcd)) {
        p->set(xttn, 0u);
      } else {
        ++chord;
        p->set(xttn, uint32_t(t / g.chords + (chord == g.chords ? t % g.chords : 0)));
      }
    }
    if (p == g.last) break;
  }
}

void take_back_group_time(const GraceGroup& g) {
  for (Drosa p = g.first; p; p = p->xnext) {
    if (p->xkind == NOTE) p->set(xttn, 0u);
    if (p == g.last) break;
  }
  g.main->set(xttn, uint32_t(int64_t(g.main->get(xttn)) + g.time));
}

void handle_grace_group(const GraceGroup& g, int give) {
  const bool nachschlag = group_ends_measure(g);
  for (Drosa p = g.first; p; p = p->xnext) {
    if (p->xkind == NOTE) p->set(xnachschlag, nachschlag ? 1 : 0);
    if (p == g.last) break;
  }
  // Without a main note nothing is taken and nothing is given.
  if (!g.main) return;
  if (give)
    give_group_time(g);
  else
    take_back_group_time(g);
  set_chord_durations(vchord_first_note(g.main));
  for (Drosa p = g.first; p; p = next_note_of(p)) {
    if (p->get(xendvcd)) set_chord_durations(vchord_first_note(p));
    if (p == g.last) break;
  }
}

// ---- set_default_performance's steps
// --------------------------------------------------------------

struct Range {
  Drosa start, end;
  int64_t total;  // NO_TOTAL: no total to keep
};
constexpr int64_t NO_TOTAL = NO_TIME;

void add_time(Range& r, Drosa note) {
  if (r.total != NO_TOTAL) r.total += note->get(xttn);
}

// Step 2: whole measures, chords and grace groups. The two ends move apart from each other.
void widen_start(Range& r) {
  for (Drosa p = r.start->xback; p && !stops_measure(p); p = p->xback)
    if (p->xkind == NOTE) {
      add_time(r, p);
      r.start = p;
    }
  if (perf_setting(PERF_GRACE_ON_BEAT)) {
    for (Drosa p = prev_note_of(r.start); is_grace(p); p = prev_note_of(p)) {
      add_time(r, p);
      r.start = p;
    }
  } else {
    while (is_grace(r.start)) {
      Drosa prev = prev_note_of(r.start);
      if (!prev) break;
      add_time(r, prev);
      r.start = prev;
    }
  }
  r.start = vchord_first_note(r.start);
}

bool widen_end(Range& r, bool report = true) {
  auto extend_end_to_chord = [&] {
    for (Drosa p = r.end; p && p->xkind == NOTE && !p->get(xendvcd);) {
      Drosa next = next_note_of(p);
      if (!next) break;
      add_time(r, next);
      r.end = p = next;
    }
  };
  extend_end_to_chord();
  if (perf_setting(PERF_GRACE_ON_BEAT)) {
    while (is_grace(r.end)) {
      Drosa next = next_note_of(r.end);
      if (!next) break;
      add_time(r, next);
      r.end = next;
      extend_end_to_chord();
    }
  } else {
    for (Drosa next = next_note_of(r.end); is_grace(next); next = next_note_of(r.end)) {
      add_time(r, next);
      r.end = next;
      extend_end_to_chord();
    }
  }
  extend_end_to_chord();
  if (!r.end->get(xendvcd)) {
    if (report) REPORT_ERROR(4, "%s", "logic error in set_default_performance: xendvcd FALSE");
    return false;
  }
  return true;
}

// One chord of step 3: its notes, its nominal time, and the bar's time and carry after it.
struct ChordTime {
  Drosa first, end;
  int64_t time;
  int32_t at, carry_num, carry_den;
};

// The nominal times of the chords from `first` to `end`, going on from the time and carry
// `from` (the range's start: 0, 0, 1). Writes nothing; false (reported when `report`) when a
// chord has no note.
bool nominal_chord_times(Drosa first, Drosa end, ChordTime from, std::vector<ChordTime>& out,
                         bool report) {
  int32_t time = from.at, carry_num = from.carry_num, carry_den = from.carry_den, duration = 0;
  for (Drosa p = first;;) {
    while (p && p->xkind != NOTE) p = p->xnext;
    Drosa last = p ? chord_duration_carry(p, &time, &carry_num, &carry_den, &duration) : NIL;
    if (!last) {
      if (report) REPORT_ERROR(4, "%s", "bad call on set_default_ttn");
      return false;
    }
    out.push_back({p, last, std::max(duration, 0), time, carry_num, carry_den});
    if (last == end) return true;
    p = last->xnext;
  }
}

bool scales(int64_t total, int64_t sum) {
  return total != NO_TOTAL && total >= 0 && sum > 0 && total != sum;
}

// The times given to the chord ends (their other notes 0).
void write_chord_times(const std::vector<ChordTime>& chords) {
  for (const ChordTime& c : chords) {
    for (Drosa q = c.first; q != c.end; q = q->xnext)
      if (q->xkind == NOTE) q->set(xttn, 0u);
    c.end->set(xttn, uint32_t(std::clamp<int64_t>(c.time, 0, NO_TIME)));
  }
}

// Step 3: the chords' times, scaled to the total when there is one. False when they were scaled
// (or a chord had no note).
bool set_chord_times(const Range& r, std::vector<ChordTime>& chords) {
  if (!nominal_chord_times(r.start, r.end, {NIL, NIL, 0, 0, 0, 1}, chords, true)) {
    // The chords before the one without a note are left with their times but for their ends.
    for (const ChordTime& c : chords)
      for (Drosa q = c.first; q != c.end; q = q->xnext)
        if (q->xkind == NOTE) q->set(xttn, 0u);
    return false;
  }
  int64_t sum = 0;
  for (const ChordTime& c : chords) sum += c.time;
  const bool scaled = scales(r.total, sum);
  if (scaled) {
    int64_t c = 0, scaled_sum = 0;
    for (ChordTime& chord : chords) {
      int64_t& t = chord.time;
      if (t == 0) continue;
      c += t;
      const int64_t scaled_time = r.total * c / sum - scaled_sum;
      scaled_sum += scaled_time;
      t = scaled_time;
    }
    chords.back().time += r.total - scaled_sum;
  }
  write_chord_times(chords);
  return !scaled;
}

uint8_t default_volume(Drosa note) {
  if (perf_setting(PERF_ONE_LEVEL_FOR_ALL))
    return uint8_t(dynamic_level_volume(DEFAULT_DYNAMIC_LEVEL));
  return uint8_t(std::clamp(dynamic_velocity_at(note), 0, 200));
}

// Step 4: pitch words, sounding lengths and volumes, chord by chord, from `from` (the range's
// start, or the first node after a chord known) to `end`. The dynamic in force at `from` is
// `volume`, followed from there; the volume in force after each chord end goes to `volumes`.
void set_note_data(Drosa from, Drosa end, uint8_t volume, int set_pitch, int keep, int set_volume,
                   int mode, std::vector<uint8_t>* volumes) {
  const bool one_level = perf_setting(PERF_ONE_LEVEL_FOR_ALL);
  // Whether the next NOTE begins a chord (vchord_first_note of it is itself): `from` begins a
  // chord, and a chord begins after a chord's last note, a bar line or a system break.
  bool begins_chord = true;
  for (Drosa p = from; p; p = p->xnext) {
    if (set_volume && !one_level && p->xkind == TPARAM) {
      const int velocity = performed_dynamic_velocity(p);
      if (velocity >= 0) volume = uint8_t(std::clamp(velocity, 0, 200));
    }
    const int kind = effective_kind(p);
    if (kind == BAR || kind == ENDSYST) begins_chord = true;
    if (p->xkind == NOTE) {
      if (begins_chord && mode != PERF_PITCH_VOLUME) set_chord_durations(p);
      begins_chord = p->get(xendvcd) != 0;
      if (set_pitch) {
        if (p->get(xrest)) {
          p->set(xpitch, uint16_t(0));
          if (!keep) p->set(xpitch_edited, 0);
        } else {
          p->set(xpitch, note_pitch_word(p, note_keysig_value(p)));
        }
      }
      if (set_volume) {
        p->set(xvolume, volume);
        p->set(xvolume_edited, 0);
      }
      if (volumes && begins_chord) volumes->push_back(volume);
    }
    if (p == end) break;
  }
}

// ---- The bar known in an entry run ------------------------------------------------------------
// Chords entered one after another give each chord's bar its playing data again (step 2 widens
// to whole measures). In an entry run the chords before the entered one are as their own entry
// left them, and when no total is to be kept by scaling and no grace note is near, giving them
// their data again changes nothing: the range then begins after the last of them, from the
// time, carry, sum and volume kept at its end.

// What the kept entries were found with: the settings, the flags of the call and the changes
// of the lists beside notes and of texts (key signatures, parameter changes, dynamics).
const std::vector<uint8_t>& known_bar_settings(int set_pitch, int keep, int set_volume, int mode) {
  static std::vector<uint8_t> stamp;
  const uint64_t values[] = {uint64_t(set_pitch), uint64_t(keep),         uint64_t(set_volume),
                             uint64_t(mode),      changes_beside_notes(), text_change_count};
  stamp.resize(PERF_DEFAULTS_SIZE + 8 * std::size(values));
  std::copy(perf_defaults, perf_defaults + PERF_DEFAULTS_SIZE, stamp.begin());
  auto out = stamp.begin() + PERF_DEFAULTS_SIZE;
  for (uint64_t v : values)
    for (int i = 0; i < 8; ++i) *out++ = uint8_t(v >> (8 * i));
  return stamp;
}

bool has_grace(Drosa first, Drosa end) {
  for (Drosa p = first; p; p = p->xnext) {
    if (is_grace(p)) return true;
    if (p == end) return false;
  }
  return false;
}

// Keeps the entries of a range whose chords all got their nominal times: one bar, no grace.
void keep_known_range(Drosa from, Drosa end, const KnownChord* before,
                      const std::vector<ChordTime>& chords, const std::vector<uint8_t>& volumes) {
  for (Drosa p = from; p && p != end; p = p->xnext)
    if (stops_measure(p) || is_grace(p)) return forget_known_bar();
  if (is_grace(end) || chords.size() != volumes.size()) return forget_known_bar();
  KnownChord k = before ? *before : KnownChord{NIL, 0, 0, 1, true, 0, 0};
  for (size_t i = 0; i < chords.size(); ++i) {
    const ChordTime& c = chords[i];
    if (c.time > NO_TIME) return forget_known_bar();
    k.end = c.end;
    k.time = c.at;
    k.carry_num = c.carry_num;
    k.carry_den = c.carry_den;
    k.exact = k.exact && c.carry_num == 0;
    k.played += c.time;
    k.volume = volumes[i];
    keep_known_chord(k);
  }
}

// The entry of the chord end right before `first` in its bar; nullptr when none is kept.
const KnownChord* known_chord_before(Drosa first) {
  for (Drosa p = first->xback; p; p = p->xback) {
    if (stops_measure(p)) return nullptr;
    if (p->xkind == NOTE) return p->get(xendvcd) ? known_chord(p) : nullptr;
  }
  return nullptr;
}

// Gives the range its data going on from the known chord before it; false, having changed
// nothing, when the whole range must be done.
bool continue_known_bar(Range r, const std::vector<uint8_t>& stamp, int set_pitch, int keep,
                        int set_volume, int mode) {
  const KnownChord* k = known_chord_before(r.start);
  if (!k || stamp != known_bar_stamp() || is_grace(r.start)) return false;
  if (r.total != NO_TOTAL) r.total += k->played;
  if (!widen_end(r)) return true;  // reported; the whole range would end there too
  if (has_grace(r.start, r.end)) return false;
  std::vector<ChordTime> chords;
  if (!nominal_chord_times(r.start, r.end, {NIL, NIL, 0, k->time, k->carry_num, k->carry_den},
                           chords, false))
    return false;
  int64_t sum = k->played;
  for (const ChordTime& c : chords) sum += c.time;
  if (scales(r.total, sum)) return false;
  const KnownChord before = *k;
  forget_known_chords_after(before.end);
  write_chord_times(chords);
  std::vector<uint8_t> volumes;
  set_note_data(before.end->xnext, r.end, before.volume, set_pitch, keep, set_volume, mode,
                &volumes);
  keep_known_range(r.start, r.end, &before, chords, volumes);
  return true;
}

// ---- The per-note edits
// --------------------------------------------------------------------------

struct EditState {
  int32_t level_value = -1;  // percent asked for by Level...
  double pitch_value = -1;   // pitch asked for by Pitch...
  int32_t got_volume = -1;   // the first volume met by play_level_get_cb
  int32_t got_pitch = -1;    // the first pitch word met by play_pitch_get_cb
  std::vector<Drosa> moved;  // chord ends moved earlier or later by this command
  bool refused = false;      // a move of this command was refused
};
EditState edit;

void change_volume(Drosa note, int delta) {
  modifyvc_with_undo(note);
  note->set(xvolume, uint8_t(std::clamp(int(note->get(xvolume)) + delta, 0, 200)));
  note->set(xvolume_edited, 1);
  mark_changed(0);
}

void change_pitch(Drosa note, int delta) {
  modifyvc_with_undo(note);
  const uint16_t word = note->get(xpitch);
  int key = word >> 8, fraction = (word & 0xFF) + delta;
  while (fraction > 199) fraction -= 200, ++key;
  while (fraction < 0) fraction += 200, --key;
  note->set(xpitch, uint16_t(((key & 0xFF) << 8) | fraction));
  note->set(xpitch_edited, 1);
  mark_changed(0);
}

void scale_length(Drosa note, int64_t numerator, int64_t denominator) {
  if (denominator <= 0) return;
  modifyvc_with_undo(note);
  note->set(xlength, uint32_t(std::clamp<int64_t>(
                         int64_t(note->get(xlength)) * numerator / denominator, 0, NO_TIME)));
  mark_changed(note->get(xnotehead) == 7);
}

void move_start(Drosa note, bool later) {
  if (edit.refused || !is_NOTE(note)) return;
  const int16_t step = perf_setting(PERF_START_CHANGE);
  const int32_t s = int32_t(step) * SIXTEENTH / 100 * (later ? 1 : -1);
  Drosa n = chord_end_note(note);
  if (!n || std::find(edit.moved.begin(), edit.moved.end(), n) != edit.moved.end()) return;
  Drosa p = NIL;
  for (Drosa q = prev_note_of(vchord_first_note(n)); q; q = prev_note_of(q))
    if (q->get(xendvcd)) {
      p = q;
      break;
    }
  if (!p) {
    REPORT_ERROR(2, "%s",
                 "The first note in the piece cannot be changed to start earlier or later.");
    edit.refused = true;
    return;
  }
  if (later && int64_t(n->get(xttn)) - s <= 0) {
    REPORT_ERROR(2,
                 "This note cannot be %hd%% of a sixteenth later because that would make it start "
                 "after the next note!",
                 step);
    edit.refused = true;
    return;
  }
  if (!later && int64_t(p->get(xttn)) + s <= 0) {
    REPORT_ERROR(2,
                 "This note can't be %hd%% of a sixteenth earlier because that would make it "
                 "start before the previous note!",
                 step);
    edit.refused = true;
    return;
  }
  modifyvc_with_undo(p);
  p->set(xttn, uint32_t(int64_t(p->get(xttn)) + s));
  modifyvc_with_undo(n);
  n->set(xttn, uint32_t(int64_t(n->get(xttn)) - s));
  edit.moved.push_back(n);
  mark_changed(0);
}

// The string a tablature note is drawn on (its own choice, else the layout's); 0 none.
int drawn_string(Drosa note) {
  if (note->get(xstring)) return note->get(xstring);
  Drosa nt = note_ntdata(note);
  return nt ? nt->get(xtabstr) : 0;
}

// The string a note moves to: one up or down from where it is drawn, or 0 back to the
// automatic choice; -1 when it cannot.
int target_string(Drosa note, int strings) {
  if (!is_NOTE(note) || note->get(xrest)) return -1;
  const int drawn = drawn_string(note);
  if (drawn == 0) return -1;
  if (strings == 0) return note->get(xstring) ? 0 : -1;
  if (check_tab_string(note, 1) < check_tab_string(note, 2)) strings = -strings;
  const int target = drawn + strings;
  if (target < 1 || target > 7 || check_tab_string(note, target) < 0) return -1;
  return target;
}

void move_to_string(Drosa note, int strings) {
  const int target = target_string(note, strings);
  if (target < 0) return;
  modifyvc_with_undo(note);
  note->set(xstring, target);
  mark_changed(1);
}

}  // namespace

// ---- perf_defaults ------------------------------------------------------------------------------

int16_t perf_setting(int field) { return int16_t(load_big_endian(perf_defaults + field, 2)); }

void set_perf_setting(int field, int16_t value) {
  store_big_endian(perf_defaults + field, 2, uint16_t(value));
}

int dynamic_level_volume(int level) {
  return std::clamp<int>(perf_setting(PERF_DYNAMIC_LEVELS + 2 * std::clamp(level, 0, 9)), 0, 200);
}

double tuning_cents(int step, int accidental) {
  if (step < 0 || step > 6 || accidental < 0 || accidental > 5) return 0;
  const uint32_t bits =
      load_big_endian(perf_defaults + PERF_TUNING + (step * 6 + accidental) * 4, 4);
  float cents;
  std::memcpy(&cents, &bits, sizeof cents);
  return std::isfinite(cents) ? cents : 0;
}

void set_tuning_cents(int step, int accidental, float cents) {
  if (step < 0 || step > 6 || accidental < 0 || accidental > 5) return;
  uint32_t bits;
  std::memcpy(&bits, &cents, sizeof bits);
  store_big_endian(perf_defaults + PERF_TUNING + (step * 6 + accidental) * 4, 4, bits);
}

void check_perf_defaults() {
  struct Limit {
    int field, low, high;
  };
  static const Limit limits[] = {
      {PERF_STACCATO_LENGTH, 0, 200}, {PERF_TENUTO_LENGTH, 0, 200}, {PERF_NORMAL_LENGTH, 0, 200},
      {PERF_SLUR_LENGTH, 0, 200},     {PERF_GRACE_LENGTH, 0, 400},  {PERF_LENGTH_CHANGE, 1, 200},
      {PERF_START_CHANGE, 1, 400},    {PERF_VOLUME_CHANGE, 1, 200}, {PERF_PITCH_CHANGE, 1, 200},
  };
  for (const Limit& l : limits)
    set_perf_setting(l.field, int16_t(std::clamp<int>(perf_setting(l.field), l.low, l.high)));
  for (int level = 0; level < DYNAMIC_LEVELS; ++level) {
    const int field = PERF_DYNAMIC_LEVELS + 2 * level;
    set_perf_setting(field, int16_t(std::clamp<int>(perf_setting(field), 1, 200)));
  }
  for (int step = 0; step < 7; ++step)
    for (int acc = 0; acc < 6; ++acc)
      set_tuning_cents(step, acc, float(std::clamp(tuning_cents(step, acc), -10000.0, 10000.0)));
}

// ---- Defaults of notes ------------------------------------------------------------------------

void set_default_duration(Drosa note, int32_t nominal) {
  int percent;
  // The note's modifier matters only to a tie or a slur.
  const Drosa modifier =
      note->get(xtie) || note->get(xslur) ? find_prev_kind_stop(TSMOD, note, 0) : NIL;
  if (perf_setting(PERF_KEEP_NOMINAL))
    percent = 100;
  else if (note->get(xstacc))
    percent = perf_setting(PERF_STACCATO_LENGTH);
  else if (note->get(xtie) && !(modifier && modifier->get(xleftonlytie)))
    percent = 100;
  else if (note->get(xtenu))
    percent = perf_setting(PERF_TENUTO_LENGTH);
  else if (!note->get(xslur) || (modifier && modifier->get(xleftonlyslur)))
    percent = perf_setting(PERF_NORMAL_LENGTH);
  else
    percent = perf_setting(PERF_SLUR_LENGTH);
  note->set(xlength, uint32_t(std::clamp<int64_t>(int64_t(nominal) * percent / 100, 0, NO_TIME)));
}

void set_default_performance(Drosa first, Drosa last, int set_pitch, int keep, int set_volume,
                             int mode, int32_t total) {
  if (!is_NOTE(first) || !is_NOTE(last)) {
    REPORT_ERROR(4, "%s", "calling set_default_performance with non-notes");
    return;
  }
  Range r{first, last, NO_TOTAL};
  switch (mode) {
    case PERF_LATER_MOVE:
      break;
    case PERF_KEEP_TOTAL: {
      r.total = 0;
      Drosa p = first;
      for (; p; p = p->xnext) {
        if (p->xkind == NOTE) r.total += p->get(xttn);
        if (p == last) break;
      }
      if (!p) {
        REPORT_ERROR(4, "%s", "bad endptr in set_default_performance");
        return;
      }
      break;
    }
    case PERF_FILL_TOTAL:
    case PERF_PITCH_VOLUME:
      r.total = total;
      break;
    default:
      REPORT_ERROR(4, "%s", "bad call on set_default_performance");
      return;
  }
  const std::vector<uint8_t>* stamp = nullptr;
  const bool run = entry_run_open() && mode != PERF_PITCH_VOLUME;
  if (entry_run_open() && !run) forget_known_bar();
  if (run) {
    stamp = &known_bar_settings(set_pitch, keep, set_volume, mode);
    if (continue_known_bar(r, *stamp, set_pitch, keep, set_volume, mode)) return;
  }
  widen_start(r);
  if (!widen_end(r)) return;
  std::vector<ChordTime> chords;
  bool nominal = true;
  if (mode != PERF_PITCH_VOLUME) {
    nominal = set_chord_times(r, chords);
    change_grace_time(r.start, r.end, 1);
  }
  std::vector<uint8_t> volumes;
  set_note_data(r.start, r.end, set_volume ? default_volume(r.start) : 0, set_pitch, keep,
                set_volume, mode, run ? &volumes : nullptr);
  if (!run) return;
  begin_known_bar(*stamp);
  if (nominal) keep_known_range(r.start, r.end, nullptr, chords, volumes);
}

void record_default_performance(Drosa first, Drosa last) {
  if (!is_NOTE(first) || !is_NOTE(last)) return;
  Range r{first, last, NO_TOTAL};
  widen_start(r);
  const bool whole = widen_end(r, false);
  bool inside = false;  // between first and last, which the caller records
  for (Drosa p = r.start; p; p = p->xnext) {
    if (p == first) inside = true;
    if (p->xkind == NOTE && !inside) modifyvc_with_undo(p);
    if (p == last) inside = false;
    if (p == r.end || (!whole && p == last)) break;
  }
}

void record_grace_time(Drosa note) {
  if (!is_grace(note)) return;
  const GraceGroup g = grace_group_of(note);
  for (Drosa p = g.first; p; p = p->xnext) {
    if (p->xkind == NOTE) modifyvc_with_undo(p);
    if (p == g.last) break;
  }
  if (!g.main) return;
  for (Drosa p = vchord_first_note(g.main); p; p = p->xnext) {
    if (p->xkind == NOTE) modifyvc_with_undo(p);
    if (p == g.main) break;
  }
}

void change_grace_time(Drosa first, Drosa last, int give) {
  if (!is_NOTE(first)) {
    REPORT_ERROR(4, "%s", "bad call on change_grace_time");
    return;
  }
  // Each group is handled once, at its first note in the range, and the walk goes on after
  // its last: a long group is walked a few times in all, not once for each of its notes.
  for (Drosa p = first; p; p = p->xnext) {
    if (is_grace(p)) {
      const GraceGroup g = grace_group_of(p);
      handle_grace_group(g, give);
      bool past_last = false;
      for (; p != g.last; p = p->xnext) past_last |= p == last;
      if (past_last) break;
    }
    if (p == last) break;
  }
}

// ---- The per-note edits
// ---------------------------------------------------------------------------

void play_softer_cb(Drosa note) {
  if (is_NOTE(note)) change_volume(note, -perf_setting(PERF_VOLUME_CHANGE));
}

void play_louder_cb(Drosa note) {
  if (is_NOTE(note)) change_volume(note, perf_setting(PERF_VOLUME_CHANGE));
}

void play_level_get_cb(Drosa note) {
  if (is_NOTE(note) && edit.got_volume < 0) edit.got_volume = note->get(xvolume);
}

void play_level_set_cb(Drosa note) {
  if (!is_NOTE(note) || edit.level_value < 0) return;
  modifyvc_with_undo(note);
  note->set(xvolume, uint8_t(std::min(edit.level_value, 200)));
  note->set(xvolume_edited, 1);
  mark_changed(0);
}

void play_lower_cb(Drosa note) {
  if (is_NOTE(note)) change_pitch(note, -perf_setting(PERF_PITCH_CHANGE));
}

void play_higher_cb(Drosa note) {
  if (is_NOTE(note)) change_pitch(note, perf_setting(PERF_PITCH_CHANGE));
}

void play_pitch_get_cb(Drosa note) {
  if (is_NOTE(note) && edit.got_pitch < 0) edit.got_pitch = note->get(xpitch);
}

void play_pitch_set_cb(Drosa note) {
  if (!is_NOTE(note) || edit.pitch_value < 0) return;
  const double p = edit.pitch_value + 0.0025;
  const int key = int(std::floor(p));
  const int fraction = int(std::floor(p * 200)) % 200;
  modifyvc_with_undo(note);
  note->set(xpitch, uint16_t((std::clamp(key, 0, 127) << 8) | fraction));
  note->set(xpitch_edited, 1);
  mark_changed(0);
}

void play_shorter_cb(Drosa note) {
  if (is_NOTE(note)) scale_length(note, 100, 100 + perf_setting(PERF_LENGTH_CHANGE));
}

void play_longer_cb(Drosa note) {
  if (is_NOTE(note)) scale_length(note, 100 + perf_setting(PERF_LENGTH_CHANGE), 100);
}

void play_earlier_cb(Drosa note) { move_start(note, false); }
void play_later_cb(Drosa note) { move_start(note, true); }

void octave_up_cb(Drosa note) {
  if (!is_NOTE(note) || note->get(xpitch) >= 29440) return;
  modifyvc_with_undo(note);
  note->set(xpitch, uint16_t(note->get(xpitch) + OCTAVE));
  mark_changed(0);
}

void octave_down_cb(Drosa note) {
  if (!is_NOTE(note) || note->get(xpitch) <= OCTAVE) return;
  modifyvc_with_undo(note);
  note->set(xpitch, uint16_t(note->get(xpitch) - OCTAVE));
  mark_changed(0);
}

void respell_note_step_up(Drosa note) { move_to_string(note, 1); }
void respell_note_step_down(Drosa note) { move_to_string(note, -1); }
void respell_note_step_zero(Drosa note) { move_to_string(note, 0); }

int can_move_tab_string(Drosa note, int strings) { return target_string(note, strings) >= 0; }

void modify_playback_command(int item) {
  edit = EditState{};
  switch (item) {
    case 1:
      apply_to_cursor_or_group(play_softer_cb, 1);
      break;
    case 2:
      apply_to_cursor_or_group(play_louder_cb, 1);
      break;
    case 3: {
      apply_to_cursor_or_group(play_level_get_cb, 0);
      const int volume =
          edit.got_volume >= 0 ? edit.got_volume : current_note_template->get(xvolume);
      double answer = 0;
      if (!number_dialog_double("Set percent volume (0-100):", volume / 2.0, 0, 100, &answer,
                                nullptr, "volume"))
        return;
      edit.level_value = std::min(int32_t((answer + 0.25) * 2), int32_t(200));
      apply_to_cursor_or_group(play_level_set_cb, 1);
      break;
    }
    case 5:
      apply_to_cursor_or_group(play_lower_cb, 1);
      break;
    case 6:
      apply_to_cursor_or_group(play_higher_cb, 1);
      break;
    case 7: {
      apply_to_cursor_or_group(play_pitch_get_cb, 0);
      const int word = edit.got_pitch >= 0 ? edit.got_pitch : current_note_template->get(xpitch);
      double answer = 0;
      if (!number_dialog_double(
              "Set Pitch (60.00 is middle C):", (word >> 8) + (word & 0xFF) / 200.0, 0, 100,
              &answer, nullptr, "pitch"))
        return;
      edit.pitch_value = answer;
      apply_to_cursor_or_group(play_pitch_set_cb, 1);
      break;
    }
    case 9:
      apply_to_cursor_or_group(play_shorter_cb, 1);
      break;
    case 10:
      apply_to_cursor_or_group(play_longer_cb, 1);
      break;
    case 11:
      apply_to_cursor_or_group(play_earlier_cb, 1);
      break;
    case 12:
      apply_to_cursor_or_group(play_later_cb, 1);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Modify submenu unrecognized!", short(item));
      break;
  }
  edit.moved.clear();
}
