// quantise.cpp: a recording made into notes.
#include "performance/quantise.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/pitch.h"
#include "performance/record.h"

// clang-format off
const RhythmEntry rhythm_templates[RHYTHM_TEMPLATES][TEMPLATE_ENTRIES] = {
    {{60000, 0, 0, 1}},
    {{30000, 1, 0, 1}, {30000, 1, 0, 1}},
    {{15000, 2, 0, 1}, {15000, 2, 0, 1}, {15000, 2, 0, 1}, {15000, 2, 0, 1}},
    {{30000, 1, 0, 1}, {15000, 2, 0, 1}, {15000, 2, 0, 1}},
    {{15000, 2, 0, 1}, {30000, 1, 0, 1}, {15000, 2, 0, 1}},
    {{15000, 2, 0, 1}, {15000, 2, 0, 1}, {30000, 1, 0, 1}},
    {{45000, 1, 1, 1}, {15000, 2, 0, 1}},
    {{15000, 2, 0, 1}, {45000, 1, 1, 1}},
    {{60000, 0, 1, 1}},
    {{20000, 1, 0, 1}, {20000, 1, 0, 1}, {20000, 1, 0, 1}},
    {{20000, 1, 0, 1}, {40000, 0, 0, 1}},
    {{40000, 0, 0, 1}, {20000, 1, 0, 1}},
    {{20000, 1, 0, 3}, {20000, 1, 0, 3}, {20000, 1, 0, 3}},
    {{20000, 1, 0, 3}, {40000, 0, 0, 3}},
    {{40000, 0, 0, 3}, {20000, 1, 0, 3}},
};
// clang-format on
int active_templates[ACTIVE_TEMPLATES + 1] = {-1};

namespace {

constexpr int32_t NO_SCORE = 2100000000;
constexpr int MOST_CHORD_NOTES = 9;

RecordSettings& rs = record_settings;
Recording& rec = recording;

bool is_filler(Drosa p) { return p && p->get(rnotenum) == RNOTE_BEAT_FILLER; }

// The last RNOTE of the group that begins at `first`.
Drosa group_end(Drosa first) {
  Drosa p = first;
  while (p && !p->get(rendchord)) p = p->xnext;
  return p ? p : first;
}

void unlink_rnote(Drosa p) {
  if (p->xback) p->xback->xnext = p->xnext;
  if (p->xnext) p->xnext->xback = p->xback;
  if (rec.tail == p) rec.tail = p->xback;
  p->xnext = p->xback = NIL;
  destroyDrosa(p);
}

int32_t scaled(int64_t value, int64_t numerator, int64_t denominator) {
  if (denominator <= 0) return 0;
  return int32_t(std::clamp<int64_t>(value * numerator / denominator, INT32_MIN, INT32_MAX));
}

// Drops beats no longer than the one before them, which would make beats of length 0.
void drop_empty_beats() {
  int kept = 0;
  for (int i = 1; i <= rec.last_beat; ++i)
    if (rec.beat_times[size_t(i)] > rec.beat_times[size_t(kept)])
      rec.beat_times[size_t(++kept)] = rec.beat_times[size_t(i)];
  rec.last_beat = kept;
}

int32_t beat_at(int i) { return rec.beat_times[size_t(std::clamp(i, 0, rec.last_beat))]; }

// The time units of a beat.
int32_t beat_units() {
  const int32_t b = 131072 >> std::clamp(rs.beat_unit, 1, 6);
  return rs.dotted_beat ? b * 3 / 2 : b;
}

bool plain_at(Drosa r, int step) {
  return r->get(rtupl) == 1 && r->get(rdots) == 0 && r->get(rlgval) == rs.beat_unit + step;
}
bool triplet_at(Drosa r, int step) {
  return r->get(rtupl) == 3 && r->get(rlgval) == rs.beat_unit + step;
}

Drosa chord_made = NIL;  // the first note of the chord inserted last

// Keys that match_templates put into the chord of an earlier group of their beat (counted from
// normalize_recording on), for the import's account of what became of the keys played.
int merged_keys = 0;

void set_tied(bool tied) {
  if (tied) current_note_template->set(xtie, 3);
}

}  // namespace

namespace {

// The shortest value the recording is written in (the third of a beat with triplets) within a
// beat of length `length`.
int32_t shortest_value_length(int32_t length) {
  const int finer = rs.subdivision - rs.beat_unit;
  int64_t t = length;
  if (!rs.dotted_beat) {
    if (finer == 2)
      t = length / 4;
    else if (rs.triplets || rs.triplet_pairs)
      t = length / 3;
    else if (finer == 1)
      t = length / 2;
  } else if (finer >= 1) {
    t = length / 3;  // a dotted beat is written in thirds at the finest
  }
  return int32_t(t);
}

}  // namespace

int32_t beat_tolerance(int32_t length) {
  return int32_t(int64_t(shortest_value_length(length)) * rec.tolerance_percent / 100);
}

int32_t beat_onset_slack(int32_t length) { return shortest_value_length(length) / 2; }

int normalize_recording() {
  merged_keys = 0;
  Drosa head = rec.rnotes;
  if (!head || !head->xnext) return 0;
  drop_empty_beats();
  if (rec.last_beat < 1) return 0;
  if (rs.played_along) {
    int key = -1;
    while (head->xnext && !is_filler(head->xnext) && head->xnext->get(rstart_time) >= 1 &&
           head->xnext->get(rstart_time) <= beat_at(1) - 1) {
      key = head->xnext->get(rnotenum);
      unlink_rnote(head->xnext);
    }
    if (!head->xnext) {
      REPORT_ERROR(2, "%s", "All your notes were during beats-for-nothing!");
      return 0;
    }
    if (is_filler(head->xnext) && key >= 0) {
      head->xnext->set(rnotenum, int16_t(key));
      head->xnext->set(rstart_time, beat_at(1));
    }
    head->set(rttn, head->xnext->get(rstart_time) - beat_at(0));
  }
  Drosa first = head->xnext;
  int64_t t = first->get(rstart_time);
  if (is_filler(first) && t == 0) t = int64_t(beat_at(0)) + head->get(rttn);
  const int32_t first_length = beat_at(1) - beat_at(0);
  head->set(rnormttn, scaled(t - beat_at(0), 60000, first_length));
  rec.first_onset_late = t >= beat_at(1) - beat_tolerance(first_length) ? 1 : 0;
  int b = rec.first_onset_late - 1;
  const int last = rec.last_beat;
  for (Drosa p = first; p; p = p->xnext) {
    if (p->get(rnewbeat)) ++b;
    if (b >= 1 && b < last - 1 && (t < beat_at(b - 1) || t > beat_at(b + 1)) &&
        !rec.confusion_asked) {
      rec.confusion_asked = true;
      if (!really_alert("Confusion in the rhythmic analysis!  You should probably click Cancel "
                        "and try again.",
                        1))
        return 0;
    }
    const int bi = std::max(b, 0);
    int32_t length;
    if (bi < last - 1)
      length = beat_at(bi + 1) - beat_at(bi);
    else if (last > 3)
      length = beat_at(last - 1) - beat_at(last - 2);
    else
      length = beat_at(last) - beat_at(last - 1);
    p->set(rnormttn, scaled(p->get(rttn), 60000, length));
    t += p->get(rttn);
  }
  return 1;
}

void build_active_templates() {
  int n = 0;
  auto add = [&n](int t) {
    if (n < ACTIVE_TEMPLATES)
      active_templates[n++] = t;
    else
      REPORT_ERROR(4, "%s", "Active template list overflow.");
  };
  const int finer = rs.subdivision - rs.beat_unit;
  if (rs.dotted_beat) {
    for (int t = 8; t <= 11; ++t) add(t);
  } else {
    add(0);
    if (finer >= 1) add(1);
    if (finer >= 2)
      for (int t = 2; t <= 7; ++t) add(t);
    if (rs.triplets) add(12);
    if (rs.triplet_pairs) add(13), add(14);
  }
  active_templates[n] = -1;
}

void match_templates() {
  if (!rec.rnotes) return;
  Drosa p = rec.rnotes->xnext;
  std::vector<Drosa> groups;  // the first RNOTE of each group of the beat
  while (p) {
    groups.clear();
    do {
      groups.push_back(p);
      p = group_end(p)->xnext;
    } while (p && !p->get(rnewbeat));
    std::vector<int32_t> lengths;
    for (Drosa g : groups) {
      int64_t sum = 0;
      for (Drosa q = g; q; q = q->xnext) {
        sum += q->get(rnormttn);
        if (q->get(rendchord)) break;
      }
      lengths.push_back(int32_t(std::clamp<int64_t>(sum, 0, NO_SCORE)));
    }
    int best = 0, best_count = 1;
    int64_t best_score = NO_SCORE;
    for (int a = 0; a < ACTIVE_TEMPLATES && active_templates[a] >= 0; ++a) {
      const RhythmEntry* entries = rhythm_templates[active_templates[a]];
      int n = 0;
      while (n < TEMPLATE_ENTRIES && entries[n].length) ++n;
      if (n == 0) {
        REPORT_ERROR(4, "%s", "Template table is confused");
        continue;
      }
      if (int(groups.size()) < n) continue;
      int64_t total = 0;
      for (size_t i = 0; i < groups.size(); ++i)
        total += int(i) < n ? std::abs(int64_t(lengths[i]) - entries[i].length) : lengths[i];
      const int64_t score = total / n;
      if (score < best_score) best_score = score, best = active_templates[a], best_count = n;
    }
    const RhythmEntry* entries = rhythm_templates[best];
    const int n = std::min<int>(best_count, int(groups.size()));
    auto apply = [&](Drosa first, const RhythmEntry& e) {
      for (Drosa q = first; q; q = q->xnext) {
        q->set(rlgval, uint8_t(std::clamp(e.step + rs.beat_unit, 0, 31)));
        q->set(rdots, uint8_t(e.dots));
        q->set(rtupl, uint8_t(e.tuplet));
        if (q->get(rendchord)) break;
      }
    };
    for (int i = 0; i < n; ++i) apply(groups[size_t(i)], entries[i]);
    if (int(groups.size()) > n) {
      // The groups from the template's last slot on become one chord there, held until the
      // next beat: their time goes to the last group's end, and their keys stay in the chord.
      Drosa last_end = group_end(groups.back());
      for (size_t i = size_t(n - 1); i + 1 < groups.size(); ++i) {
        Drosa end = group_end(groups[i]);
        last_end->set(rttn, last_end->get(rttn) + end->get(rttn));
        last_end->set(rnormttn, last_end->get(rnormttn) + end->get(rnormttn));
        end->set(rttn, 0);
        end->set(rnormttn, 0);
        end->set(rendchord, 0);
      }
      for (Drosa q = groups[size_t(n)]; q; q = q->xnext) {
        q->set(rnewbeat, 0);
        if (q->get(rnotenum) >= 0 && q->get(rnotenum) <= 127) ++merged_keys;
        if (q == last_end) break;
      }
      apply(groups[size_t(n - 1)], entries[n - 1]);
    }
  }
}

int combine_tied_chords(Drosa last, bool rest) {
  Drosa t = current_note_template;
  t->set(xlgval, last->get(rlgval));
  t->set(xtupl, last->get(rtupl));
  t->set(xintimeof, uint8_t(last->get(rtupl) == 3 ? 8 : 4));
  t->set(xdots, last->get(rdots));
  t->set(xgrace, 0);
  t->set(xtie, 0);
  if (!last->get(rendchord)) REPORT_ERROR(4, "%s", "Confusion when combining tied chords!");
  Drosa filler = last->xnext;
  if (!is_filler(filler)) return 0;
  if (rs.dotted_beat) {
    set_tied(!rest);
    return 0;
  }
  const int unit = rs.beat_unit;
  const int32_t beat = 131072 >> std::clamp(unit, 1, 6);
  const int32_t left = find_meas_time_left(insertion_point);
  int32_t m = left / beat;
  if (left - m * beat >= beat - 50) ++m;
  if (left >= 4 * beat / 3 - 50 && ((plain_at(last, 0) && triplet_at(filler, 1)) ||
                                    (triplet_at(last, 0) && triplet_at(filler, 0)) ||
                                    (triplet_at(last, 1) && plain_at(filler, 0)))) {
    t->set(xtupl, 3);
    t->set(xintimeof, 8);
    t->set(xlgval, uint8_t(unit - 1));
    t->set(xdots, 0);
    set_tied(is_filler(filler->xnext) && !rest);
    return 1;
  }
  if (!plain_at(last, 0)) {
    set_tied(!rest);
    return 0;
  }
  // Past 12 beats held the rows below no longer tell k apart, nor ask for x: the count stops
  // at 13, so that a chord held for thousands of beats is not counted again for each.
  int k = 1;
  Drosa q = filler;
  while (k < 13 && is_filler(q) && plain_at(q, 0)) ++k, q = q->xnext;
  const bool x = is_filler(q);
  struct Longer {
    int value, dots, absorbed;
    bool tied;
  };
  Longer made{-1, 0, 0, false};
  if (k == 12 && !x && m >= 12 && unit >= 4)
    made = {unit - 3, 1, 11, false};
  else if (k >= 8 && m >= 8 && unit >= 4)
    made = {unit - 3, 0, 7, k > 8 || x};
  else if (k == 6 && !x && m >= 6 && unit >= 3)
    made = {unit - 2, 1, 5, false};
  else if (k >= 4 && m >= 4 && unit >= 3)
    made = {unit - 2, 0, 3, k > 4 || x};
  else if (k >= 3 && m >= 3 && unit >= 2)  // three beats dotted, tied on when more are held
    made = {unit - 1, 1, 2, k > 3 || x};
  else if (k >= 2 && m >= 2 && unit >= 2)
    made = {unit - 1, 0, 1, k > 2 || x};
  else if (k == 1 && x && m >= 2 && plain_at(q, 1) && !is_filler(q->xnext))
    made = {unit, 1, 1, false};
  if (made.value < 0) {
    set_tied(!rest);
    return 0;
  }
  t->set(xlgval, uint8_t(made.value));
  t->set(xdots, uint8_t(made.dots));
  set_tied(made.tied && !rest);
  return made.absorbed;
}

void set_retained_durations(int chord_size, Drosa group_first, Drosa next_group_first) {
  // A chord repeated for a beat filler was struck by no key: its notes keep the lengths their
  // values give.
  const bool struck = !is_filler(group_first);
  int64_t s = 0;
  for (Drosa p = group_first; p && p != next_group_first; p = p->xnext) s += p->get(rttn);
  const bool repeated = is_filler(next_group_first);
  const int64_t units = beat_units();
  const int64_t period = std::max<int32_t>(rs.beat_period, 1);
  for (Drosa n = chord_made; n; n = n->xnext) {
    if (n->xkind != NOTE) continue;
    if (n->get(xendvcd))
      n->set(xttn, uint32_t(std::clamp<int64_t>(s * units / period, 0, INT32_MAX)));
    if (struck && !n->get(xrest)) {
      // Notes and played keys are paired by key: a cluster rest or a dropped rest has none.
      const int key = std::clamp(n->get(xpitch) >> 8, 0, 127);
      Drosa r = group_first;
      while (r && r != next_group_first && r->get(rnotenum) != key) r = r->xnext;
      if (!r || r == next_group_first) {
        REPORT_ERROR(4,
                     "Pitch error in set_retained_durations: chord_size %hd, rnote_ptr %lx, "
                     "last_note %lx, cptr %lx",
                     short(chord_size), static_cast<unsigned long>(group_first.handle()),
                     static_cast<unsigned long>(chord_made.handle()),
                     static_cast<unsigned long>(n.handle()));
      } else {
        int64_t length = r->get(rlength) ? r->get(rlength) : s;
        if (repeated) length = std::min(length, s);
        n->set(xlength, uint32_t(std::clamp<int64_t>(length * units / period, 0, INT32_MAX)));
      }
    }
    if (n->get(xendvcd)) break;
  }
}

namespace {

constexpr int32_t TIME_SLACK = 50;  // time units within which two times are one

struct NoteValue {
  int lgval, dots;
};

// The plain and dotted values, longest first, that make up `time` (down to a 128th); false
// when no such values do.
bool values_of(int32_t time, std::vector<NoteValue>* values) {
  values->clear();
  while (time > TIME_SLACK) {
    NoteValue best{-1, 0};
    for (int lgval = 0; lgval <= 8 && best.lgval < 0; ++lgval) {
      const int32_t plain = 131072 >> lgval;
      if (plain * 3 / 2 <= time + TIME_SLACK && lgval < 8)
        best = {lgval, 1};
      else if (plain <= time + TIME_SLACK)
        best = {lgval, 0};
    }
    if (best.lgval < 0) return false;
    values->push_back(best);
    time -= (131072 >> best.lgval) * (best.dots ? 3 : 2) / 2;
  }
  return !values->empty();
}

// What became of the keys played, for the account given when any did not reach the piece as
// played.
struct KeyAccount {
  int total = 0;      // keys played
  int placed = 0;     // in the chords inserted
  int crowded = 0;    // past the 9 notes a chord holds
  int clustered = 0;  // three adjacent semitones made a rest
  int unfit = 0;      // a triplet that met a bar line
  int32_t stopped_bar = 0;
};

std::string key_account_text(const KeyAccount& a, int merged) {
  auto were = [](int n) { return std::to_string(n) + (n == 1 ? " was" : " were"); };
  std::string text;
  const int lost = a.total - a.placed;
  if (lost > 0) {
    text = "Only " + std::to_string(a.placed) + " of the " + std::to_string(a.total) +
           " notes played reached the music.";
    if (a.crowded) text += " " + were(a.crowded) + " left out: a chord keeps its first 9 notes.";
    if (a.clustered)
      text += " " + std::to_string(a.clustered) +
              " played as three adjacent semitones together became rests.";
    if (a.unfit) text += " " + were(a.unfit) + " left out: their triplets met a bar line.";
    const int rest = lost - a.crowded - a.clustered - a.unfit;
    if (rest > 0)
      text += " The notes stopped going in at measure " + std::to_string(a.stopped_bar) + ": " +
              were(rest) + " left out.";
  }
  if (merged > 0)
    text += std::string(text.empty() ? "" : " ") + std::to_string(merged) + " of the " +
            std::to_string(a.total) + (merged == 1 ? " notes was" : " notes were") +
            " merged into the chords of notes played just before them: their beats "
            "hold more notes one after another than the shortest value chosen allows.";
  return text;
}

}  // namespace

int make_recorded_notes(Drosa model_template) {
  (void)model_template;
  if (!rec.rnotes) return 0;
  const bool entry_mode = note_entry_active != 0;
  const int32_t saved_entry = note_entry_active;
  note_entry_active = 1;
  PlayedNote chord[MOST_CHORD_NOTES];
  int count = 0;
  PlayedNote previous[MOST_CHORD_NOTES];
  int previous_count = 0;
  bool previous_rest = false;
  Drosa first_chord = NIL;
  Drosa group_first = rec.rnotes->xnext;
  KeyAccount account;
  for (Drosa p = group_first; p; p = p->xnext)
    if (p->get(rnotenum) >= 0 && p->get(rnotenum) <= 127) ++account.total;
  // The chords go in one after another: what is found of a bar is kept for the next.
  std::optional<EntryRun> run;
  run.emplace();
  // The chords inserted with their groups, when keeping played durations: each chord inserted
  // gives its bar its playing data again, so the played lengths are given when all are in.
  struct Played {
    Drosa chord;
    int size;
    Drosa from, next;
  };
  std::vector<Played> played;
  Drosa made_end = NIL;  // the last note of the chord inserted last
  // Inserts one chord of the template's value.
  auto put = [&](PlayedNote* notes, int n, Drosa from, Drosa next, bool repeat, bool whole) {
    Drosa made = insert_played_notes(notes, n, 2);
    if (!made) return false;
    if (!first_chord) first_chord = made;
    chord_made = made;
    for (Drosa q = made; q; q = q->xnext)
      if (q->xkind == NOTE) {
        if (repeat) q->set(xaccplot, 0);
        made_end = q;
        if (q->get(xendvcd)) break;
      }
    if (rs.keep_played_durations && whole) played.push_back({made, n, from, next});
    return true;
  };
  // When the chord inserted last filled the piece to its end, measures are added after it,
  // enough for the beats still to come, and the next chord goes into the first of them.
  auto make_room = [&](Drosa rest_of_music) {
    if (!made_end || insertion_point != made_end) return true;
    int beats = 1;
    for (Drosa p = rest_of_music; p; p = p->xnext)
      if (p->get(rnewbeat)) ++beats;
    Drosa timesig = find_prev_kind(TIMESIG, made_end);
    const int64_t bar = timesig && timesig->get(xbpm) > 0 && timesig->get(xbeat) > 0
                            ? int64_t(timesig->get(xbpm)) * 65536 / timesig->get(xbeat)
                            : 65536;
    const int64_t measures = (int64_t(beats) * beat_units() + bar - 1) / bar + 1;
    run.reset();
    const int added = append_measures(int32_t(std::clamp<int64_t>(measures, 1, 900)));
    run.emplace();
    if (!added) return false;
    Drosa next = NIL;
    for (Drosa q = made_end->xnext; q && !next; q = q->xnext)
      if (q->xkind == NOTE) next = q;
    if (!next) return false;
    insertion_point = next;
    return true;
  };
  // Inserts a chord of the template's value: in pieces tied over the bar lines it meets, in
  // measures added at the end when the music goes on past the piece's. 1 inserted, 0 when
  // nothing more can go in, -1 when it is left out (a triplet that meets a bar line).
  auto insert = [&](PlayedNote* notes, int n, Drosa from, Drosa next, bool repeat) {
    if (!make_room(from)) return 0;
    Drosa t = current_note_template;
    const int32_t whole = note_duration(t, 1);
    int32_t left = find_meas_time_left(insertion_point);
    if (whole <= left + TIME_SLACK) return put(notes, n, from, next, repeat, true) ? 1 : 0;
    if (t->get(xtupl) != 1) return -1;
    const int lgval = t->get(xlgval), dots = t->get(xdots), tie = t->get(xtie);
    auto restore = [&] {
      t->set(xlgval, uint8_t(lgval));
      t->set(xdots, uint8_t(dots));
      t->set(xtie, uint8_t(tie));
    };
    int32_t remaining = whole;
    bool continued = repeat;
    std::vector<NoteValue> values;
    while (remaining > TIME_SLACK) {
      const int32_t part = std::min(remaining, left);
      if (!values_of(part, &values)) {
        restore();
        return continued == repeat ? -1 : 0;
      }
      for (size_t i = 0; i < values.size(); ++i) {
        const bool last = remaining - part <= TIME_SLACK && i + 1 == values.size();
        t->set(xlgval, uint8_t(values[i].lgval));
        t->set(xdots, uint8_t(values[i].dots));
        t->set(xtie, uint8_t(last ? tie : 3));
        if (!put(notes, n, from, next, continued, false) || (!last && !make_room(from))) {
          restore();
          return 0;
        }
        continued = true;
      }
      remaining -= part;
      left = find_meas_time_left(insertion_point);
    }
    restore();
    return 1;
  };
  auto keys_of = [](const PlayedNote* notes, int n) {
    int keys = 0;
    for (int i = 0; i < n; ++i) keys += notes[i].key >= 0 ? 1 : 0;
    return keys;
  };
  // Skips the fillers a chord absorbed.
  auto skip = [](Drosa p, int absorbed) {
    for (; absorbed > 0 && is_filler(p); --absorbed) p = p->xnext;
    return p;
  };
  bool stopped = false;
  for (Drosa p = group_first; p && !stopped;) {
    if (is_filler(p)) {
      Drosa after = p->xnext;
      if (previous_count) {
        if (!make_room(p)) {  // the values chosen depend on the room in the measure
          stopped = true;
          break;
        }
        const int absorbed = combine_tied_chords(p, previous_rest);
        after = skip(p->xnext, absorbed);
        if (!insert(previous, previous_count, p, after, true)) stopped = true;
      }
      p = group_first = after;
      continue;
    }
    if (count < MOST_CHORD_NOTES) {
      chord[count] = PlayedNote{};
      chord[count].key = std::clamp<int>(p->get(rnotenum), -1, 127);
      chord[count].volume = uint8_t(std::clamp<int>(p->get(rvolume), 1, 200));
      ++count;
    } else if (p->get(rnotenum) >= 0 && p->get(rnotenum) <= 127) {
      ++account.crowded;
    }
    if (!p->get(rendchord)) {
      p = p->xnext;
      continue;
    }
    if (rs.cluster_rest && count == 3) {
      int low = 127, high = -1;
      for (int i = 0; i < 3; ++i)
        low = std::min(low, chord[i].key), high = std::max(high, chord[i].key);
      if (low >= 0 && high - low == 2) {
        account.clustered += 3;
        chord[0] = PlayedNote{};
        chord[0].key = -1;
        count = 1;
      }
    }
    if (entry_mode && count > 1 && chord[count - 1].key < 0) --count;
    const bool rest = count == 1 && chord[0].key < 0;
    if (!make_room(group_first)) {
      stopped = true;
      break;
    }
    const int absorbed = combine_tied_chords(p, rest);
    Drosa after = skip(p->xnext, absorbed);
    const int done = insert(chord, count, group_first, after, false);
    if (done == 0) {
      stopped = true;
      break;
    }
    if (done > 0) account.placed += keys_of(chord, count);
    if (done < 0) account.unfit += keys_of(chord, count);
    std::copy(chord, chord + count, previous);
    previous_count = done > 0 ? count : 0;
    previous_rest = rest;
    count = 0;
    p = group_first = after;
  }
  if (stopped) account.stopped_bar = bar_number_of_node(insertion_point);
  run.reset();
  for (const Played& p : played) {
    chord_made = p.chord;
    set_retained_durations(p.size, p.from, p.next);
  }
  note_entry_active = saved_entry;
  const std::string account_text = key_account_text(account, merged_keys);
  if (!account_text.empty()) REPORT_ERROR(2, "%s", account_text.c_str());
  if (!first_chord) return 0;
  if (insertion_point) stop_flashing(insertion_point);
  insertion_point = first_chord;
  start_flashing(insertion_point);
  return 1;
}

void place_recorded_pedals(Drosa first_note) {
  if (!rec.midi_head || !first_note) return;
  const int late = rec.first_onset_late;
  const double units = beat_units();
  for (Drosa e = rec.midi_head->xnext; e; e = e->xnext) {
    const int32_t t = e->get(xmidi_time);
    int b = 0;
    while (b < rec.last_beat && beat_at(b + 1) <= t) ++b;
    const int i = std::max(b, late);
    const int n = b < late ? 0 : i - late;
    int32_t length = i < rec.last_beat ? beat_at(i + 1) - beat_at(i) : beat_at(i) - beat_at(i - 1);
    if (length <= 0) length = 1;
    const double f = std::clamp(double(t - beat_at(i)) / length, 0.0, 1.0);
    int64_t p = int64_t(units * (n + f));
    Drosa chord_first = first_note, target = first_note;
    for (Drosa q = first_note; q; q = q->xnext) {
      if (q->xkind != NOTE) continue;
      if (!chord_first) chord_first = q;
      target = chord_first;
      const int64_t ttn = q->get(xttn);
      if (ttn == 0) continue;
      if (p < ttn) break;
      p -= ttn;
      chord_first = NIL;
    }
    e->set(xmidi_time, int32_t(p));  // its time within that note
    new_pedal_anno(target, e->get(xmidi_bytes, 2) >= 64);
  }
}
