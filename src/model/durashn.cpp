// durashn.cpp: durations of notes, exact sums of durations, and times within a voice list.
//
// A duration is the note value times its dots and tuplet ratio, rounded to a whole time
// unit. Rounding would make a triplet of eighths add up to 16383; the sums therefore carry
// each chord's rounding remainder as a fraction and give the chord whose carry passes half a
// unit one unit more (or less), so that every tuplet adds up exactly.
//
// Program-wide state: reads the current notation context (through the list walks), the
// layout records of the page being formatted and, for beat boundaries, the BEAMING in force
// at each voice's system end (voice_data) or the default beaming (beaming_head). Writes none.
#include "model/durashn.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/staffops.h"
#include "model/voice_chords.h"
#include "model/voice_lists.h"

namespace {

// A breve with 0 to 3 dots.
inline constexpr int64_t dotted_breve[4] = {131072, 196608, 229376, 245760};

// A note's tuplet number and time, its nest's included: 1 and 4 for a note of no tuplet.
struct Tuplet {
  int32_t tupl = 1, intimeof = 4;
  bool tuplet = false;
};

// The NEST attached before a NOTE, as find_prev_kind_stop(NEST, note, ENDSYST) finds it; NIL
// when there is none. The layout records of the note before (its NTDATA, and its chord's
// CDDATA to CDDATA3) stand straight after that note: the walk back ends at the first of them
// it meets, with nothing of this note's before it. A note right after another has no nodes of
// its own before it. With no NEST kept anywhere, nothing is walked.
Drosa nest_before(Drosa note) {
  Drosa found = NIL;
  if (nest_nodes == 0) return found;
  for (Drosa p = note->xback; p; p = p->xback) {
    const int k = p->xkind == NOTE ? NOTE : effective_kind(p);
    if (k == NEST)
      found = p;
    else if (k == NOTE || k == ENDSYST || k == NTDATA || k == CDDATA || k == CDDATA2 ||
             k == CDDATA3)
      break;
  }
  return found;
}

// Of a NOTE.
Tuplet tuplet_of(Drosa note) {
  int32_t t = note->get(xtupl), i = note->get(xintimeof);
  if (Drosa nest = nest_before(note)) {
    t *= nest->get(xnest_tupl);
    i = (i * nest->get(xnest_intimeof)) >> 2;
  }
  if (t > 1) return {t, i, true};
  return {};
}

// The exact duration of a note as num / den (a whole-measure rest aside).
struct ExactDuration {
  int64_t num;
  int64_t den;
  bool tuplet;
};

ExactDuration exact_duration(Drosa note) {
  int64_t num = dotted_breve[note->get(xdots)];
  int64_t den = int64_t(1) << note->get(xlgval);
  const Tuplet t = tuplet_of(note);
  if (t.tuplet) {
    num = (num * t.intimeof) >> 2;
    den *= t.tupl;
  }
  return {num, den, t.tuplet};
}

int64_t rounded_quotient(int64_t num, int64_t den) { return (num + den / 2) / den; }

int32_t clamp_time(double t) {
  if (!(t > 0)) return 0;  // also NaN
  return t >= NO_TIME ? NO_TIME : int32_t(t);
}

int32_t clamp_time(int64_t t) { return int32_t(std::clamp<int64_t>(t, 0, NO_TIME)); }

bool polytempo_scales() { return model_hooks.param_changed(model_hooks.polytempo_param()) != 0; }

// The measure a whole-measure rest fills, or -1 when no usable time signature applies
// (reported; the rest then counts by its own value). The rest of a measure shorter than its
// time signature (the last measure after a pickup) fills what its own value does.
int64_t whole_measure_rest_length(Drosa rest, Drosa ntdata) {
  Drosa timesig = model_hooks.find_object(TIMESIG, rest);
  if (!timesig) timesig = find_prev_kind(TIMESIG, rest);
  // A damaged time signature (no beat value, or a negative one) has no measure length.
  if (!timesig || timesig->get(xbeat) <= 0 || timesig->get(xbpm) < 0) {
    REPORT_ERROR(4, "timesig logic error in durashn");
    return -1;
  }
  int64_t measure = int64_t(timesig->get(xbpm)) * WHOLE_NOTE_TIME / timesig->get(xbeat);
  if (ntdata->get(xrestchar) == 2) {
    Drosa cddata = cddatptr(rest, 0);
    if (cddata) measure *= std::max<int16_t>(cddata->get(xrcmeas), 0);
  } else {
    measure = std::min<int64_t>(measure, note_duration(rest, 1));
  }
  return measure;
}

// Adds rem / den to the carry, over a common denominator.
void add_to_carry(int64_t rem, int64_t den, int64_t& carry_num, int64_t& carry_den) {
  if (den % carry_den == 0) {
    carry_num *= den / carry_den;
    carry_den = den;
  } else if (carry_den % den == 0) {
    rem *= carry_den / den;
  } else {
    carry_num *= den;
    rem *= carry_den;
    carry_den *= den;
  }
  carry_num += rem;
}

// Keeps the carry within 32 bits. Reducing the fraction leaves every later decision as it
// was (they compare its value with one half); a carry whose reduced denominator still does
// not fit (only a long run of unrelated tuplet ratios gives one) is rounded to 2^-24 units.
void fit_carry(int64_t& num, int64_t& den) {
  int64_t g = std::gcd(num, den);
  if (g > 1) {
    num /= g;
    den /= g;
  }
  if (den > INT32_MAX) {
    num = int64_t(std::llround(double(num) / double(den) * (1 << 24)));
    den = 1 << 24;
  }
}

// The nodes at which find_time stops.
bool is_time_boundary(Drosa node, int boundary) {
  int k = effective_kind(node);
  if (k == ENDSYST) return boundary != 0 || node->get(xstartpiece);
  return k == BAR && boundary == BAR;
}

// 1 when t lies within the tolerance of a multiple of unit.
int on_multiple(int32_t t, int32_t unit) {
  int64_t r = int64_t(t) % unit;
  return (r >= -TIME_TOLERANCE && r <= TIME_TOLERANCE) || unit - r <= TIME_TOLERANCE;
}

// Beat boundaries of a beaming pattern: 0 and the running sums of its beat values, taken in
// turn and repeated from the first after the last non-zero one.
int on_beaming_boundary(int32_t t, Drosa beaming) {
  int32_t beat[4];
  int used = 0;
  int64_t cycle = 0;
  for (int i = 0; i < 4; ++i) {
    beat[i] = std::max(beaming->get(xbvalue, i), 0);  // a negative beat value is damage
    if (beat[i]) used = i + 1;
    cycle += beat[i];
  }
  if (used <= 1) return beat[0] ? on_multiple(t, beat[0]) : 0;
  // Whole cycles that end before t - 50 cannot hold the boundary; start after them.
  int64_t boundary = 0, low = int64_t(t) - TIME_TOLERANCE;
  if (low > 0) boundary = low / cycle * cycle;
  for (int i = 0;; i = (i + 1) % used) {
    if (std::abs(boundary - t) <= TIME_TOLERANCE) return 1;
    if (boundary > int64_t(t) + TIME_TOLERANCE) return 0;
    boundary += beat[i];
  }
}

}  // namespace

int32_t note_duration(Drosa note, int own_value) {
  if (!note) return 0;
  // The walks ask this of every note they pass: the node is read in place.
  const DrosaNode& n = *note;
  if (n.xkind != NOTE || n.get(xgrace)) return 0;
  int64_t duration = -1;
  if (n.get(xrest) && !own_value) {
    Drosa ntdata = find_next_kind_before_note(NTDATA, note);
    if (ntdata && ntdata->get(xrestchar)) duration = whole_measure_rest_length(note, ntdata);
  }
  if (duration < 0) {  // exact_duration, rounded
    const int lgval = n.get(xlgval);
    const int64_t num = dotted_breve[n.get(xdots)], den = int64_t(1) << lgval;
    int32_t tupl = n.get(xtupl), intimeof = n.get(xintimeof);
    if (Drosa nest = nest_before(note)) {
      tupl *= nest->get(xnest_tupl);
      intimeof = (intimeof * nest->get(xnest_intimeof)) >> 2;
    }
    // Without a tuplet the denominator is a power of two: a shift divides.
    duration =
        tupl > 1 ? rounded_quotient((num * intimeof) >> 2, den * tupl) : (num + den / 2) >> lgval;
  }
  if (polytempo_scales())
    return clamp_time(double(duration) *
                      model_hooks.param_float_value(model_hooks.polytempo_param(), note));
  return clamp_time(duration);
}

int get_tuplet(Drosa note, int32_t* tupl_out, int32_t* intimeof_out) {
  Tuplet t;
  if (!note || note->xkind != NOTE)
    REPORT_ERROR(4, "Bad type for get_tuplet: %d", note ? effective_kind(note) : -1);
  else
    t = tuplet_of(note);
  if (tupl_out) *tupl_out = t.tupl;
  if (intimeof_out) *intimeof_out = t.intimeof;
  return t.tuplet;
}

int same_tupl(Drosa a, Drosa b) {
  if (!a || !b || a->xkind != NOTE || b->xkind != NOTE) {
    REPORT_ERROR(4, "Bad types for same_tupl: %d %d", a ? effective_kind(a) : -1,
                 b ? effective_kind(b) : -1);
    return 0;
  }
  Drosa nest_a = find_prev_kind_stop(NEST, a, ENDSYST);
  Drosa nest_b = find_prev_kind_stop(NEST, b, ENDSYST);
  int tupl_factor_a = nest_a ? nest_a->get(xnest_tupl) : 1;
  int tupl_factor_b = nest_b ? nest_b->get(xnest_tupl) : 1;
  if (a->get(xtupl) != b->get(xtupl) || tupl_factor_a != tupl_factor_b) return 1;
  // The ratio matters only for notes that are tuplets at all.
  if (a->get(xtupl) * tupl_factor_a < 2) return 0;
  int intimeof_factor_a = nest_a ? nest_a->get(xnest_intimeof) : 4;
  int intimeof_factor_b = nest_b ? nest_b->get(xnest_intimeof) : 4;
  return a->get(xintimeof) != b->get(xintimeof) || intimeof_factor_a != intimeof_factor_b;
}

int32_t div_round50(int32_t a, int32_t b) {
  if (b == 0) return 0;
  int64_t q = int64_t(a) / b;
  int64_t r = int64_t(a) - q * b;
  int64_t d = r - b > 0 ? r - b : b - r;
  if (d <= TIME_TOLERANCE) return int32_t(q + 1);
  if (r >= -TIME_TOLERANCE && r <= TIME_TOLERANCE) return int32_t(q);
  return 0;
}

Drosa chord_duration_carry(Drosa note, int32_t* time, int32_t* carry_num, int32_t* carry_den,
                           int32_t* dur_out) {
  if (*time == 0) {
    *carry_num = 0;
    *carry_den = 1;
  }
  int32_t shortest = NO_TIME;
  int64_t rem = 0, den = 1;
  Drosa last = NIL;
  bool scaled = polytempo_scales();
  for (Drosa p = note; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    last = p;
    int32_t d = note_duration(p, 1);
    if (d < shortest) {
      shortest = d;
      ExactDuration exact = exact_duration(p);
      double multiplier =
          scaled ? model_hooks.param_float_value(model_hooks.polytempo_param(), p) : 1.0;
      if (multiplier != 1.0) {
        double e = p->get(xgrace) ? 0.0 : double(exact.num) * multiplier / double(exact.den);
        double hundredths = (e - d) * 100;
        rem = std::isfinite(hundredths) ? int64_t(std::clamp(hundredths, -1e9, 1e9)) : 0;
        den = 100;
      } else if (p->get(xgrace) || !exact.tuplet) {
        rem = 0;
        den = 1;
      } else {
        rem = exact.num - exact.den * rounded_quotient(exact.num, exact.den);
        den = exact.den;
      }
    }
    if (p->get(xendvcd)) break;
  }
  if (!last) {  // no note: the time stays as it was
    if (dur_out) *dur_out = 0;
    return NIL;
  }

  int64_t cn = *carry_num, cd = *carry_den > 0 ? *carry_den : 1;
  int64_t duration = shortest;
  if (rem != 0) add_to_carry(rem, den, cn, cd);
  if (cn > cd / 2) {
    ++duration;
    cn -= cd;
  } else if (cn < -(cd / 2)) {
    --duration;
    cn += cd;
  }
  if (cn == 0) cd = 1;
  fit_carry(cn, cd);
  *carry_num = int32_t(cn);
  *carry_den = int32_t(cd);
  if (dur_out) *dur_out = int32_t(duration);
  *time = clamp_time(int64_t(*time) + duration);
  return last;
}

// ---- What is known of the bar being entered -----------------------------------------------

namespace {

struct KnownLineNote {
  Drosa note;
  int32_t prev;  // the index of the note before it on its step; -1 none
  int32_t step;
};

struct KnownBar {
  int runs = 0;                      // entry runs open
  int16_t ncontext = 0;              // the context the entries were found in
  std::vector<uint8_t> stamp;        // the settings they were found with
  std::vector<KnownChord> chords;    // in the order of the bar
  std::vector<KnownLineNote> lines;  // the notes on lines, in the order of the bar
  int32_t last_on_step[256];         // by xmod7 + 128: the index of the last note there; -1 none
};
KnownBar known_bar;

constexpr int32_t STEP_OFFSET = 128;

void drop_lines_after(size_t count) {
  while (known_bar.lines.size() > count) {
    const KnownLineNote& n = known_bar.lines.back();
    known_bar.last_on_step[n.step + STEP_OFFSET] = n.prev;
    known_bar.lines.pop_back();
  }
}

void unkeep(Drosa end) {
  Drosa& slot = kept_places[KEPT_KNOWN_CHORDS][end.handle() % KEPT_PLACE_SLOTS];
  if (slot == end) slot = NIL;
}

}  // namespace

EntryRun::EntryRun() {
  if (known_bar.runs++ == 0) forget_known_bar();
}

EntryRun::~EntryRun() {
  if (--known_bar.runs == 0) forget_known_bar();
}

bool entry_run_open() { return known_bar.runs > 0 && entry_runs_kept; }

const KnownChord* known_chord(Drosa end) {
  if (!entry_run_open() || !kept_place(KEPT_KNOWN_CHORDS, end) ||
      known_bar.ncontext != current_ncontext)
    return nullptr;
  for (auto k = known_bar.chords.rbegin(); k != known_bar.chords.rend(); ++k)
    if (k->end == end) return &*k;
  return nullptr;
}

void begin_known_bar(const std::vector<uint8_t>& stamp) {
  forget_known_bar();
  known_bar.ncontext = current_ncontext;
  known_bar.stamp = stamp;
}

const std::vector<uint8_t>& known_bar_stamp() { return known_bar.stamp; }

void forget_known_chords_after(Drosa end) {
  auto& chords = known_bar.chords;
  for (size_t i = chords.size(); i-- > 0;)
    if (chords[i].end == end) {
      for (size_t j = i + 1; j < chords.size(); ++j) unkeep(chords[j].end);
      chords.resize(i + 1);
      drop_lines_after(size_t(chords[i].lines));
      return;
    }
}

void keep_known_chord(const KnownChord& chord) {
  if (!entry_run_open()) return;
  auto& chords = known_bar.chords;
  // The chord's notes on lines, from after the chord kept before it or from the bar's start.
  const Drosa before = chords.empty() ? NIL : chords.back().end;
  bool lines_known = chords.empty() || chords.back().lines_known;
  Drosa from = chord.end;
  for (Drosa p = chord.end; p && p != before; p = p->xback) {
    const int k = effective_kind(p);
    if (k == BAR || k == ENDSYST) {
      if (k == ENDSYST) lines_known = false;
      break;
    }
    if (k == KEYSIG) lines_known = false;
    from = p;
    if (!before && !p->xback) lines_known = false;  // no bar line begins the bar
  }
  for (Drosa p = from;; p = p->xnext) {
    if (p->xkind == NOTE && !p->get(xrest)) {
      const int32_t step = p->get(xmod7);
      int32_t& last = known_bar.last_on_step[step + STEP_OFFSET];
      known_bar.lines.push_back({p, last, step});
      last = int32_t(known_bar.lines.size()) - 1;
    }
    if (p == chord.end) break;
  }
  chords.push_back(chord);
  chords.back().lines = int32_t(known_bar.lines.size());
  chords.back().lines_known = lines_known;
  keep_place(KEPT_KNOWN_CHORDS, chord.end);
}

void forget_known_bar() {
  for (const KnownChord& k : known_bar.chords) unkeep(k.end);
  known_bar.chords.clear();
  known_bar.stamp.clear();
  known_bar.lines.clear();
  std::fill(std::begin(known_bar.last_on_step), std::end(known_bar.last_on_step), -1);
}

int32_t known_line_last(const KnownChord& chord, int32_t step) {
  if (step < -STEP_OFFSET || step >= STEP_OFFSET) return -1;
  int32_t i = known_bar.last_on_step[step + STEP_OFFSET];
  while (i >= chord.lines) i = known_bar.lines[size_t(i)].prev;
  return i;
}

int32_t known_line_prev(int32_t index) { return known_bar.lines[size_t(index)].prev; }

Drosa known_line_note(int32_t index) { return known_bar.lines[size_t(index)].note; }

int32_t find_time(Drosa node, int boundary) {
  if (!node) {
    REPORT_ERROR(4, "find_time(NIL)");
    return 0;
  }
  // A bar entered chord by chord: the time of a chord whose bar carried no remainder up to it
  // is known, and the chords after it add to it whatever they carry.
  const bool known = boundary == BAR && entry_run_open();
  int32_t time = 0, carry_num = 0, carry_den = 1, duration = 0;
  for (Drosa p = node->xback; p; p = p->xback) {
    if (is_time_boundary(p, boundary)) break;
    if (p->xkind == NOTE && p->get(xendvcd)) {
      if (const KnownChord* k = known ? known_chord(p) : nullptr; k && k->exact)
        return clamp_time(int64_t(time) + k->time);
      Drosa first = vchord_first_note(p);
      chord_duration_carry(first, &time, &carry_num, &carry_den, &duration);
      p = first;
    }
  }
  return time;
}

int32_t find_time_abs(Drosa node) { return find_time(node, 0); }
int32_t find_time_in_system(Drosa node) { return find_time(node, ENDSYST); }
int32_t find_time_in_bar(Drosa node) { return find_time(node, BAR); }

int32_t find_meas_time_left(Drosa note) {
  if (!note) {
    REPORT_ERROR(4, "find_meas_time_left(NIL)");
    return 0;
  }
  if (effective_kind(note) == ENDSYST) return 0;
  if (note->xkind != NOTE) {
    REPORT_ERROR(4, "find_meas_time_left(non-note)");
    return 0;
  }
  int64_t sum = 0;
  Drosa p = note;
  while (p) {
    Drosa last = NIL;
    sum += vchord_bounds(p, nullptr, &last);
    if (!last) break;
    for (p = last->xnext; p && p->xkind != NOTE; p = p->xnext) {
      int k = effective_kind(p);
      if (k == ENDSYST || k == BAR) return clamp_time(sum);
    }
  }
  return clamp_time(sum);
}

int beatbound(Drosa note, int32_t unit, int beamtype, int place) {
  if (!note || note->xkind != NOTE) return 0;
  if (beamtype == MAIN_BEAMS) {
    if (note->get(xcbeam)) return 0;
  } else if (beamtype == SECONDARY_BEAMS) {
    if (note->get(xcsbeam)) return 0;
  } else if (beamtype != ANY_BEAMS) {
    REPORT_ERROR(4, "Bad beamtype in call of beatbound (durashn): beamtype %d, place %d", beamtype,
                 place);
  }
  if (note->get(xgrace)) return 0;
  if (place == NOTE_START) {
    if (find_prev_kind_stop(BAR, vchord_first_note(note), ENDSYST)) return 1;
  } else if (place == NOTE_END) {
    if (find_next_kind_before_note(BAR, chord_end_note(note))) return 1;
  } else {
    REPORT_ERROR(4, "Bad place in call of beatbound (durashn)");
  }

  Drosa cddata = cddatptr(note, 0);
  if (!cddata || !cddata->xnext || effective_kind(cddata->xnext) != CDDATA2) return 0;
  int64_t t = cddata->xnext->get(xmwholec);
  if (place == NOTE_END) t += note_duration(note, 0);
  if (polytempo_scales()) {
    double value = model_hooks.param_float_value(model_hooks.polytempo_param(), note);
    // A multiplier near zero scales the time past any integer: it becomes no time, which
    // lies on no beat.
    if (value > 0 && value != 1.0)
      t = int64_t(std::clamp(double(t) / value, -double(NO_TIME), double(NO_TIME)));
  }
  int32_t time = int32_t(std::clamp<int64_t>(t, -NO_TIME, NO_TIME));
  if (unit != 0) return on_multiple(time, unit);

  int v = note->get(xvoice);
  Drosa beaming = voice_data[v].beaming_end ? voice_data[v].beaming_end : beaming_head;
  if (!beaming) return 0;
  return on_beaming_boundary(time, beaming);
}
