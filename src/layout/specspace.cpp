// specspace.cpp: the advance of a system's packed position at one time point, the columns of
// the signs before the chords, and measures of rests merged into multi-measure rests.
//
// At a time point every layer reports the left edge of its chord there (from chord
// placement). Step 1 sets the signs attached before those chords in columns, one kind after
// the other, nearest the chord first: every sign of one kind gets the same left edge, the
// least any staff needs, and the layers that have one move their edge to it. Step 2 asks of
// every layer how far the packed position must move so that its chord, signs included,
// keeps the minimum space from the right edge of the chord before it (its dots, flags and
// lyrics); the advance is the largest of these demands.
//
// Design notes:
//  - The signs of a time point are found before the chords that stand at it by time (start
//    within 50 of the time point), so that a bar before the main chords of some layers
//    stands in the column before grace notes in others; the time point after a run of graces
//    does not look for them again.
//  - A layer whose walk is still at its chain head measures from the staff's left x; it has
//    no chord before it, so its demand is measured from 0 (at the first time point of a
//    system the packed position is 0).
//  - At the end of the system only the layers that have had chords take part.
//  - Rests that are hidden (rests a document does not show, which keep a voice in time) draw
//    nothing: a chord of them takes no room of its own, and the chord after it keeps its
//    space from the last chord of the layer that draws something.
//  - Measures of rests: a layer of the system holds a measure of rests when its chords from
//    the measure's start are rests only, no grace notes, without annotations and without a
//    clef, key or time signature before any but the first, and fill the measure exactly; a
//    layer with no chord in the measure does not stand in the way.
#include "layout/specspace.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory_resource>
#include <span>
#include <vector>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/lyrics.h"
#include "layout/setprint.h"
#include "layout/spacing.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int PIANO_TABLATURE = 3;
constexpr int NOTE_ANNOTATION_FLAG = 0x04;  // of the NOTE's beam and accent byte
constexpr int NOTE_FLAG_BYTE = 15;
constexpr int32_t NO_EDGE = 2100000000;

constexpr int START_ORDER[5] = {SPACE, BAR, TIMESIG, KEYSIG, CLEF};
constexpr int INSIDE_ORDER[5] = {SPACE, TIMESIG, KEYSIG, BAR, CLEF};

// ---- Chains and chords ---------------------------------------------------------------------

int32_t chord_start(Drosa first) {
  Drosa cd2 = last_note_cddata2(chord_last_note(first));
  return cd2 ? cd2->get(xswholec) : NO_TIME;
}

// The notes of the chord that begins with `first`.
std::vector<Drosa> chord_notes(Drosa first) {
  std::vector<Drosa> notes;
  Drosa last = chord_last_note(first);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) notes.push_back(n);
  return notes;
}

bool near(int64_t a, int64_t b) { return std::llabs(a - b) <= TIME_TOLERANCE; }

// The least space behind a note (parameter 259 or 260) as the system takes it.
int32_t note_gap(int pindex, Drosa node, int pstaff) {
  return tight_gap(param_length_at_staff(pindex, node, pstaff), TIGHT_NOTE_GAP_PERCENT);
}

bool at_start(Drosa current) { return !current || is_chain_head(current); }
bool is_after_grace(Drosa n) { return n && n->get(xgrace) && n->get(xnachschlag); }

// A rest that the document does not show, or a note it does not print.
bool hidden_rest(Drosa n) {
  return !n->get(xgrace) &&
         (n->get(xrest) ? n->get(xhider) != 0 : layout_hooks.unprinted_note(n) != 0);
}

// A chord of hidden rests only: it draws nothing.
bool hidden_chord(Drosa first) {
  if (!hidden_rest(first)) return false;
  Drosa last = chord_last_note(first);
  for (Drosa n = first; n != last; n = chain_next(n))
    if (!n || !hidden_rest(n)) return false;
  return hidden_rest(last);
}

// A hidden chord that is all its bar holds, from the bar's start to its end: an empty bar. One
// taken out of the staff chord before it stands beside that chord's notes: its bar holds them.
bool fills_its_bar_unseen(Drosa first, Drosa last) {
  Drosa cd2 = last_note_cddata2(last);
  if (!cd2 || !near(cd2->get(xmwholec), 0) || split_off_chord(first)) return false;
  const int32_t measure = measure_length_at(first);
  return measure > 0 && near(spaced_chord_duration(first), measure);
}

// The chord of the layer that the next chord keeps its space from: the current one, or the
// last before it that draws something or fills a bar that draws nothing.
Drosa drawn_chord_before(Drosa current) {
  while (current && hidden_rest(current) && !is_chain_head(current)) {
    Drosa first = chord_first_note(current);
    // An empty bar keeps the room of a bar of rests: its words and chord symbols stand apart.
    if (!hidden_chord(first) || fills_its_bar_unseen(first, current)) break;
    current = chain_prev(first);
  }
  return current;
}

int system_from() { return std::max(first_pstaff, 0); }
int system_to() { return std::min(last_pstaff, MAX_PSTAVES - 1); }

Drosa next_chord(int p, int l) {
  const SpacingStaff& s = spacing_staff[p];
  return s.next_time[l] == NO_TIME ? NIL : s.next_first[l];
}

// ---- Which chords stand at the time point ----------------------------------------------------

struct TimePointState {
  int32_t time;
  int mode;
  bool grace_seen, after_grace_seen, grace_carry;
  int32_t grace_run;
};

// The first note of the layer's chord that stands at this time point, or NIL.
Drosa chord_here(int p, int l, const TimePointState& at, int step) {
  Drosa first = next_chord(p, l);
  if (!first || spacing_staff[p].next_time[l] > int64_t(at.time) + TIME_TOLERANCE) return NIL;
  if (at.after_grace_seen) return is_after_grace(first) ? first : NIL;
  if (first->get(xgrace) && !at.grace_seen) {
    if (step == 1)
      REPORT_ERROR(4, "grace logic error in specspace step 1");
    else
      REPORT_ERROR(4, "grace logic error in specspace step 2");
    return NIL;
  }
  return first;
}

// ---- Step 1: the signs before the chords ---------------------------------------------------

// The signs of the five kinds of `order` attached before the note, the nearest of each,
// searched back to the note before it or the system's start however many nodes stand
// between: a document's words at a first note (a hundred nodes of them) once hid the staff's
// clef, key and time signature, left unplaced at the paper's edge. One walk for every kind.
std::array<Drosa, 5> attached_before(const int* order, Drosa note) {
  std::array<Drosa, 5> signs{};
  for (Drosa p = note->xback; p; p = p->xback) {
    const int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) break;
    for (size_t i = 0; i < signs.size(); ++i)
      if (k == order[i] && !signs[i]) signs[i] = p;
  }
  return signs;
}

// The sign of the kind that ends the system in the voice of the layer's last chord.
Drosa voice_scan_helper(int kind, int p, int l) {
  Drosa current = spacing_staff[p].current[l];
  if (at_start(current)) return NIL;
  int v = current->get(xvoice);
  if (v < 0 || v >= MAX_VOICES || !voice_data[v].system_end) return NIL;
  for (Drosa q = voice_data[v].system_end->xback; q && q->xkind != NOTE; q = q->xback) {
    int k = effective_kind(q);
    if (k == kind) return q;
    if (k == ENDSYST) return NIL;
  }
  return NIL;
}

// A shown voice with a system end, on the pstaff and layer its PRINT puts it on.
struct VoiceAtEnd {
  int p, l, v;
};

// The voices that end the system, in voice order: found once for every kind of sign and every
// layer at the system's end.
std::vector<VoiceAtEnd> voices_at_end() {
  std::vector<VoiceAtEnd> voices;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    const VoiceData& voice = voice_data[v];
    if (!voice.print || !voice.system_end || voice.print->get(xsstaff) < 0 || voice_not_shown(v) ||
        voice_list_empty(v))
      continue;
    voices.push_back({voice.print->get(xsstaff) + first_pstaff, voice.print->get(xlayer), v});
  }
  return voices;
}

// The signs of the kind that end the system in the other voices of the layer (by their
// PRINT) stand in the same column: drawing takes the sign of the layer's first voice, which
// need not be the voice of its last chord, nor one that has a sign there (a clef change
// that a voice of rests only makes at the system's end is drawn all the same).
void add_other_voices_end_signs(int kind, int p, int l, Drosa placed,
                                const std::vector<VoiceAtEnd>& voices,
                                std::pmr::vector<Drosa>& signs) {
  for (const VoiceAtEnd& voice : voices) {
    if (voice.p != p || voice.l != l) continue;
    Drosa sign = find_prev_kind_stop(kind, voice_data[voice.v].system_end, 0);
    if (sign && sign != placed) signs.push_back(sign);
  }
}

// Whether a staff takes signs of the kind: piano tablature takes a clef only at the system's
// start and no key signature; string tablature takes neither clef, key nor time signature.
bool staff_takes(int kind, int p, int mode) {
  int type = staff_data[p].staff_type;
  if (type == PIANO_TABLATURE) return kind == CLEF ? mode == SPACE_SYSTEM_START : kind != KEYSIG;
  if (type != 0) return kind != CLEF && kind != KEYSIG && kind != TIMESIG;
  return true;
}

// A time signature or a key signature with accidentals ends the system in the layer.
bool key_or_time_ends_system(int p, int l) {
  if (voice_scan_helper(TIMESIG, p, l)) return true;
  Drosa key = voice_scan_helper(KEYSIG, p, l);
  return key && key->get(xkeycnt) > 0;
}

int32_t sign_width(int kind, Drosa sign, int p, int l, int mode, int32_t edge) {
  switch (kind) {
    case CLEF:
      if (staff_data[p].staff_type == PIANO_TABLATURE)
        return param_length_at_staff(P_LENGTH_OF_WHITE_KEYS_AT_START_OF_PIANO_TAB, sign, p) +
               param_length_at_staff(P_SPACE_LEFT_BETWEEN_CLEF_AND_NEXT_OBJECT, sign, p);
      if (sign->get(xclefhide)) return 0;
      return param_length_at_staff(
                 sign->get(xclefchange) ? P_WIDTH_OF_CLEF_CHANGE_SYMBOL : P_WIDTH_OF_CLEF_SYMBOL,
                 sign, p) +
             param_length_at_staff(P_SPACE_LEFT_BETWEEN_CLEF_AND_NEXT_OBJECT, sign, p) +
             param_length_at_staff(P_ADDITIONAL_SPACE_LEFT_BEFORE_CLEF, sign, p);
    case KEYSIG: {
      int32_t w = key_signature_width(sign, p);
      if (w)
        w += param_pair_select(sign, &staff_data[p]) +
             param_length_at_staff(P_ADDITIONAL_SPACE_LEFT_BEFORE_KEY_SIGNATURE, sign, p);
      return w;
    }
    case TIMESIG: {
      int32_t w = param_length_at_staff(P_SPACE_GIVEN_FOR_TIME_SIGNATURE_WIDTH, sign, p);
      if (std::abs(sign->get(xbpm)) >= 10 || std::abs(sign->get(xbeat)) >= 10) w *= 2;
      return w +
             param_length_at_staff(P_SPACE_LEFT_BETWEEN_TIME_SIGNATURE_AND_NEXT_OBJECT, sign, p) +
             param_length_at_staff(P_ADDITIONAL_SPACE_LEFT_BEFORE_TIME_SIGNATURE, sign, p);
    }
    case BAR: {
      int32_t own = bar_width(sign, p, nullptr);
      const int32_t after =
          tight_gap(param_length_at_staff(P_SPACE_LEFT_BETWEEN_BAR_LINE_AND_NEXT_OBJECT, sign, p),
                    TIGHT_SIGN_GAP_PERCENT);
      int32_t w =
          after + param_length_at_staff(P_ADDITIONAL_SPACE_LEFT_BEFORE_BAR_LINE, sign, p) + own;
      if (mode == SPACE_SYSTEM_END && !key_or_time_ends_system(p, l)) w -= after;
      if (mode == SPACE_SYSTEM_START && own == 0 &&
          edge <= int64_t(staff_left_x(p, current_page)) +
                      param_length_at_staff(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD,
                                            sign, p))
        w = 0;
      return w;
    }
    case SPACE:
      return sign->get(xspace);
    default:
      return 0;
  }
}

// The signs placed in one column. Lists of one time point are kept in room on specspace's
// stack.
struct Column {
  int32_t left = NO_EDGE;
  std::pmr::vector<Drosa> signs;
};

struct Signs {
  explicit Signs(std::pmr::memory_resource* room) : columns(room), staff_wide(room) {}
  std::pmr::vector<Column> columns;
  bool bar = false;
  std::pmr::vector<int> staff_wide;  // the layers (p * LAYERS + l) given a clef, key or time

  bool has_staff_wide(int p, int l) const {
    return std::find(staff_wide.begin(), staff_wide.end(), p * LAYERS + l) != staff_wide.end();
  }
};

// A layer that takes part at the time point: its chord here (none at the system's end).
struct Taking {
  int p, l;
  Drosa first;
  // The chord's last note where its signs are looked for (step 1, a chord not split off).
  Drosa signs_last;
};

// Whether the layer's next chord was split off the staff chord before it (its current one): it
// keeps that chord's number.
bool split_off_next(const SpacingStaff& s, int l) {
  const Drosa before = at_start(s.current[l]) ? NIL : last_note_cddata2(s.current[l]);
  const Drosa own = s.next_cd2[l];
  return before && own && before->get(xchordNum) == own->get(xchordNum);
}

// The layers taking part, into `taking`.
void layers_taking_part(const TimePointState& at, int step, std::pmr::vector<Taking>& taking) {
  taking.clear();
  size_t layers = 0;
  for (int p = system_from(); p <= system_to(); ++p) layers += size_t(spacing_staff[p].layers);
  taking.reserve(layers);
  for (int p = system_from(); p <= system_to(); ++p) {
    for (int l = 0; l < spacing_staff[p].layers; ++l) {
      if (at.mode == SPACE_SYSTEM_END) {
        if (!at_start(spacing_staff[p].current[l])) taking.push_back({p, l, NIL, NIL});
      } else if (Drosa first = chord_here(p, l, at, step)) {
        const bool signs = step == 1 && !split_off_next(spacing_staff[p], l);
        taking.push_back({p, l, first, signs ? spacing_staff[p].next_last[l] : NIL});
      }
    }
  }
}

// The left of the accidentals the chord that begins with `first` draws; NO_EDGE for none. The
// chord's edge keeps an accidental closer to the chord before than a head (placecd): a sign
// before the chord keeps its room from the accidental itself.
int64_t accidentals_left(Drosa first) {
  int64_t left = NO_EDGE;
  const Drosa last = chord_last_note(first);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    Drosa nt = note_ntdata(n);
    if (nt && !n->get(xrest) && nt->get(xaccx) != NO_ACCIDENTAL_X)
      left = std::min<int64_t>(left, int64_t(nt->get(xhdx)) - 5 * int64_t(nt->get(xaccx)));
  }
  return left;
}

Signs place_signs(SpacingWidths& widths, const TimePointState& at, std::span<const Taking> taking,
                  std::pmr::memory_resource* room) {
  Signs placed(room);
  if (at.grace_carry) return placed;  // placed with the graces before this time point
  const int* order = at.mode == SPACE_SYSTEM_START ? START_ORDER : INSIDE_ORDER;
  const std::vector<VoiceAtEnd> voices =
      at.mode == SPACE_SYSTEM_END ? voices_at_end() : std::vector<VoiceAtEnd>{};
  // The signs before each note of the chords here, kept by the index of its layer's first.
  std::pmr::vector<std::array<Drosa, 5>> attached(room);
  std::pmr::vector<size_t> attached_from(taking.size() + 1, 0, room);
  for (size_t i = 0; i < taking.size(); ++i) {
    attached_from[i] = attached.size();
    if (Drosa last = taking[i].signs_last; taking[i].first && last)
      for (Drosa n = taking[i].first; n; n = n == last ? NIL : chain_next(n))
        attached.push_back(attached_before(order, n));
  }
  attached_from[taking.size()] = attached.size();
  std::pmr::vector<const Taking*> layers(room);
  // At a system start the clef, key and time signature keep from the first chord's
  // accidentals the room they keep from its heads: the layers whose edge is still their chord's.
  std::pmr::vector<bool> chord_edge(taking.size(), at.mode == SPACE_SYSTEM_START, room);
  for (int step = 0; step < 5; ++step) {
    const int kind = order[step];
    Column column{NO_EDGE, std::pmr::vector<Drosa>(room)};
    layers.clear();
    for (size_t i = 0; i < taking.size(); ++i) {
      const Taking& t = taking[i];
      if (!staff_takes(kind, t.p, at.mode)) continue;
      size_t before = column.signs.size();
      if (!t.first) {
        Drosa sign = voice_scan_helper(kind, t.p, t.l);
        if (sign) column.signs.push_back(sign);
        add_other_voices_end_signs(kind, t.p, t.l, sign, voices, column.signs);
      } else {
        for (size_t n = attached_from[i]; n < attached_from[i + 1]; ++n)
          if (Drosa sign = attached[n][size_t(step)]) column.signs.push_back(sign);
      }
      if (column.signs.size() == before) continue;
      int32_t& edge = widths.x[t.p][t.l];
      int32_t w = sign_width(kind, column.signs[before], t.p, t.l, at.mode, edge);
      int64_t from = edge;
      if (chord_edge[i] && t.first) from = std::min(from, accidentals_left(t.first));
      chord_edge[i] = false;
      column.left = int32_t(std::min<int64_t>(column.left, from - w));
      layers.push_back(&t);
      placed.bar |= kind == BAR;
      if ((kind == CLEF || kind == KEYSIG || kind == TIMESIG) && !placed.has_staff_wide(t.p, t.l))
        placed.staff_wide.push_back(t.p * LAYERS + t.l);
    }
    if (column.signs.empty()) continue;
    for (const Taking* t : layers) widths.x[t->p][t->l] = column.left;
    placed.columns.push_back(std::move(column));
  }
  return placed;
}

// Final placement: each sign at its column's left edge, moved by the advance.
void set_sign_x(Drosa sign, int32_t x) {
  switch (effective_kind(sign)) {
    case CLEF:
      sign->set(xclefx, x);
      break;
    case KEYSIG:
      sign->set(xkeyx, x);
      break;
    case TIMESIG:
      sign->set(xtimex, x);
      break;
    case BAR:
      sign->set(xbarx, x);
      break;
    default:
      break;
  }
}

// ---- Step 2: the chords apart ----------------------------------------------------------------

// When the voice of `first` comes from another staff (a PRINT with a hand code stands between
// its previous note and this one), its previous chord there, which the new chord must clear.
Drosa switch_partner(Drosa first) {
  bool switched = false;
  for (Drosa p = first->xback; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == ENDSYST) return NIL;
    if (k == PRINT && (p->get(xlhrh) == 1 || p->get(xlhrh) == 2)) switched = true;
    if (k != NOTE) continue;
    if (!switched) return NIL;
    if (is_visible_note(p)) return chord_last_note(p);
  }
  return NIL;
}

// Whether this spacing has placed the staff chord that ends at `last`: its layer's walk has
// passed it or placed it at this time point. One still to come (the second of two grace notes
// before a note its voice takes to the other staff) holds the x an earlier spacing left.
bool placed_yet(Drosa last, const SpacingWidths& widths, const TimePointState& at) {
  Drosa cd = last_note_cddata(last);
  Drosa cd3 = cd && cd->xnext ? cd->xnext->xnext : NIL;
  if (!cd3 || cd3->xkind != CDDATA3) return false;
  const int p = cd3->get(xpstaff), l = cd3->get(xcdlayer);
  if (p < system_from() || p > system_to() || l >= spacing_staff[p].layers) return false;
  const Drosa first = chord_first_note(last), next = next_chord(p, l);
  if (first == next) return widths.placed[p][l];
  // The chord stands at or before the time point: unless the walk's next chords up to the
  // time point hold it, the walk has passed it.
  for (Drosa n = next; n && chord_start(n) <= int64_t(at.time) + TIME_TOLERANCE;
       n = chain_next(chord_last_note(n)))
    if (n == first) return false;
  return true;
}

// Grace chords drawn into the space before them, and how far they may go.
struct GraceGap {
  int64_t gap = NO_EDGE;
  std::vector<Drosa> chords;
};

// The right edges of the layers' last chords (space_lyrics, heads_right), kept while the walk
// stands at the same chord: a chord before a run of time points of other layers is measured
// once, not at every one of them.
struct RightEdge {
  Drosa chord;
  int32_t edge = 0;
};
RightEdge right_edges[MAX_PSTAVES][LAYERS][2];

// The layers of the system that may hold lyrics among the chords the walk has passed: those
// with a chord whose lyric lines were found, or one passed without being asked for them. The
// system's end walks back through the chords of these alone for syllables reaching past the
// last chord.
bool lyrics_passed[MAX_PSTAVES][LAYERS];

int32_t right_edge_of(Drosa last, int p, int l, bool heads_only) {
  RightEdge& kept = right_edges[p][l][heads_only ? 1 : 0];
  if (kept.chord != last) kept = {last, heads_only ? heads_right(last) : space_lyrics(last, false)};
  return kept.edge;
}

// The lowest and highest head y of a chord (rests left out); false for a chord of rests.
bool head_span(Drosa note, int32_t* low, int32_t* high) {
  *low = INT32_MAX, *high = INT32_MIN;
  Drosa last = chord_last_note(note);
  for (Drosa n = chord_first_note(note); n; n = n == last ? NIL : chain_next(n)) {
    if (n->get(xrest)) continue;
    *low = std::min(*low, note_ntdata(n)->get(xhdy));
    *high = std::max(*high, note_ntdata(n)->get(xhdy));
  }
  return *low <= *high;
}

// How far the layer's chord must move so that its heads and accidentals, left edge E, keep the
// minimum space from the heads of the chords of the other layers of its staff that stand
// before it at its height, since the layer's own previous chord (origin o; every one at the
// layer's start): a voice that goes on while another holds a note must not write over its
// heads. A clef, key or time signature before the chord (`staff_wide`) stands at every height.
int64_t other_layers_demand(const Taking& t, int64_t E, int64_t o, bool from_start,
                            bool staff_wide) {
  const int p = t.p;
  bool others = false;
  for (int l = 0; l < spacing_staff[p].layers && !others; ++l)
    others = l != t.l && !at_start(spacing_staff[p].current[l]);
  if (!others) return INT64_MIN;
  const int32_t space = staff_data[p].staff_size > 0 ? staff_data[p].staff_size : 50;
  int32_t low = INT32_MIN / 2, high = INT32_MAX / 2;
  if (!staff_wide) {
    if (!head_span(t.first, &low, &high)) return INT64_MIN;
    // An accidental reaches a staff space and a half above and below its head.
    low -= space * 3 / 2, high += space * 3 / 2;
  }
  int64_t demand = INT64_MIN;
  for (int l = 0; l < spacing_staff[p].layers; ++l) {
    Drosa C = spacing_staff[p].current[l];
    if (l == t.l || at_start(C)) continue;
    // Chords before the layer's own previous one stand behind that one already.
    Drosa cd = last_note_cddata(C);
    if (!cd || (!from_start && cd->get(xorigin) < o)) continue;
    int32_t other_low, other_high;
    if (!head_span(C, &other_low, &other_high) || other_high + space / 2 < low ||
        other_low - space / 2 > high)
      continue;
    demand = std::max<int64_t>(
        demand, int64_t(right_edge_of(C, p, l, true)) +
                    note_gap(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, C, p) - E);
  }
  return demand;
}

// How far from the packed x of the chord before, `last`, the layer's next chord must stand, its
// signs `signs` wide, for the hairpins begun at that chord to be read: to the signs for one
// over its time (to the bar line), to the chord for one ending there; at the system's end
// (`end`), to the staff's end.
int64_t hairpins_demand(Drosa last, int64_t signs, bool end) {
  if (!layout_hooks.hairpin_room_after.registered()) return INT64_MIN;
  int64_t demand = INT64_MIN;
  Drosa final = chord_last_note(last);
  for (Drosa n = chord_first_note(last); n; n = n == final ? NIL : chain_next(n)) {
    const HairpinSpan room = layout_hooks.hairpin_room_after(n);
    if (room.to_signs > 0) demand = std::max(demand, room.to_signs + signs);
    if (room.to_next > 0 && !end) demand = std::max<int64_t>(demand, room.to_next);
  }
  return demand;
}

// Step 2 for one layer: how far the packed position must advance so that its chord, signs
// included, keeps the minimum space from the right edge of the chord before it. Stores the
// pstaff's space in front of its first chord (mode 16) and behind its last (mode 18).
int64_t layer_demand(const Taking& t, const SpacingWidths& widths, const TimePointState& at,
                     const Signs& signs, GraceGap& graces, bool* asked) {
  const bool end = at.mode == SPACE_SYSTEM_END;
  const int p = t.p;
  SpacingStaff& s = spacing_staff[p];
  const Drosa P = drawn_chord_before(s.current[t.l]), first = t.first;
  const int64_t X = spacing_x, E = widths.x[p][t.l];
  // A hidden chord with nothing before it stands where the time point falls.
  if (at.mode == SPACE_INSIDE && first && E >= X && hidden_chord(first)) return 0;
  int64_t o = 0, R, Q;
  if (at_start(P)) {
    R = staff_left_x(p, current_page);
    Q = R + (X - E) + note_gap(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, first, p);
  } else {
    Drosa cd = last_note_cddata(P);
    o = cd ? cd->get(xorigin) : X;
    // The system ends after the lyrics of its last chords, and after any syllable of an
    // earlier chord that reaches past them, looked for in a layer that may hold lyrics (the
    // last chord's own right edge is never left of what none would give).
    R = end ? lyrics_passed[p][t.l] ? std::max(space_lyrics(P), lyrics_right_in_system(P))
                                    : space_lyrics(P)
            : right_edge_of(P, p, t.l, false);
    Q = (R - o) + (X - E) +
        note_gap(P->get(xgrace) ? P_MINIMUM_SPACE_BETWEEN_GRACE_NOTE_AND_NEXT_CHORD
                                : P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD,
                 P, p);
    if (!end) Q = std::max(Q, X - o);
    Q = std::max(Q, hairpins_demand(P, X - E, end));
  }
  if (!end && at.grace_run > 0 && first->get(xgrace)) {
    int64_t need =
        int64_t(at.grace_run) *
        (note_gap(P_MINIMUM_SPACE_BETWEEN_GRACE_NOTE_AND_NEXT_CHORD, first, p) + hdw(first, 0));
    graces.gap = std::min(graces.gap, E - R - need);
    graces.chords.push_back(first);
  }
  if (first) {
    // The chord the voice left on the other staff keeps this one clear of it, once placed:
    // the voice's grace notes before this chord may still be to come.
    if (Drosa partner = switch_partner(first); partner && placed_yet(partner, widths, at)) {
      int gap = note_ntdata(first)->get(xstmdir) == 2
                    ? P_MIN_SPACE_BETWEEN_CHORDS_IN_STAFF_SWITCH_TO_RIGHT_HAND
                    : P_MIN_SPACE_BETWEEN_CHORDS_IN_STAFF_SWITCH_TO_LEFT_HAND;
      Q = std::max<int64_t>(
          Q, int64_t(space_lyrics(partner)) - o + param_length_at_staff(gap, first, p));
    }
  }
  // Each syllable keeps the minimum space from the one before it on its line. Only a chord
  // placed at this time point: the x of one still to come (a main chord after the grace notes
  // of another layer) is the one an earlier spacing left, and its syllables are spaced when it
  // is placed.
  if (first && !end && widths.placed[p][t.l]) {
    const int64_t lyrics = lyric_lines_demand(
        first, P, p,
        tight_gap(
            param_length_at_staff(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, first, p),
            TIGHT_SIGN_GAP_PERCENT));
    if (lyrics != INT64_MIN) Q = std::max(Q, lyrics + (X - o));
    lyrics_passed[p][t.l] |= lyrics != INT64_MIN;
    *asked = true;
  }
  int32_t q = int32_t(std::clamp<int64_t>(Q, INT32_MIN, INT32_MAX));
  if (at.mode == SPACE_SYSTEM_START) s.front_space = std::max(s.front_space, q);
  if (end) s.trailing_width = std::max(s.trailing_width, q);
  int64_t demand = Q - (X - o);
  if (first && !end)
    demand =
        std::max(demand, other_layers_demand(t, E, o, at_start(P), signs.has_staff_wide(p, t.l)));
  return demand;
}

// ---- Measures of rests ---------------------------------------------------------------------

// One layer's walk through the measures of rests.
struct RestLayer {
  int p = 0, l = 0;
  Drosa at;                    // the next chord to examine
  std::vector<Drosa> kept;     // first notes of the chords that stay (the first measure's)
  std::vector<Drosa> dropped;  // first notes of the chords a multi-measure rest covers
  size_t first_measure = 0;    // chords in its first measure
};

// The chords of the layer that fill the measure start..start+M with rests only; false when
// they do not. A layer with no chord in the measure gives true and no chords.
// True when the bar line before the note is more than a plain line: a double or final bar,
// repeat dots, a dashed, short or hidden line. Such a bar line ends a run of measures of rests.
bool marked_bar_before(Drosa note) {
  for (Drosa p = note ? note->xback : NIL; p; p = p->xback) {
    const int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) break;
    if (k == BAR && (p->get(xdouble) || p->get(xrepeat_start) || p->get(xrepeat_end) ||
                     p->get(xbar_dashed) || p->get(xbar_chant) || p->get(xbar_invisible)))
      return true;
  }
  return false;
}

// True when a LINE is attached before the note.
bool note_has_line(Drosa note) {
  for (Drosa p = note->xback; p; p = p->xback) {
    const int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) return false;
    if (k == LINE) return true;
  }
  return false;
}

bool measure_of_rests(const RestLayer& layer, int64_t start, int32_t M, bool later,
                      std::vector<Drosa>* chords, Drosa* after) {
  *after = layer.at;
  if (!layer.at) return true;
  const int64_t end = start + M - TIME_TOLERANCE;
  int64_t t = start;
  Drosa n = layer.at;
  while (n) {
    // The chord's last note, found once: its start, its notes and the chord after it.
    const Drosa last = chord_last_note(n);
    const Drosa cd2 = last_note_cddata2(last);
    const int32_t at = cd2 ? cd2->get(xswholec) : NO_TIME;
    if (at >= end) {
      if (n == layer.at) return true;
      break;
    }
    if (!near(at, t)) return false;
    // A text over the run's first rest (a rehearsal mark, a tempo) stands over the whole
    // multi-measure rest; a text later, or a line, ends the run before it.
    const bool first = !later && n == layer.at;
    for (Drosa note = n; note; note = note == last ? NIL : chain_next(note))
      if (!note->get(xrest) || note->get(xgrace) ||
          (first ? note_has_line(note) : note_has_line_or_text(note)))
        return false;
    if (!first && (has_clef_key_time_before(n, 0) || marked_bar_before(n))) return false;
    chords->push_back(n);
    t += spaced_chord_duration(n);
    n = chain_next(last);
  }
  *after = n;
  return near(t, start + M);
}

// The layer's chord of drawn rests of one voice at `start` lasting the measure start..start+M,
// when that voice has no other chord in the measure (other voices of the layer may); else NIL.
// Marks over the rest keep it.
Drosa lone_rest_of_measure(const RestLayer& layer, int64_t start, int32_t M) {
  const int64_t end = start + M - TIME_TOLERANCE;
  // The chords of the measure, each with its last note and its start.
  int64_t at = 0;
  auto next_in_measure = [&](Drosa n, Drosa* last) {
    if (!n) return NIL;
    *last = chord_last_note(n);
    const Drosa cd2 = last_note_cddata2(*last);
    at = cd2 ? cd2->get(xswholec) : NO_TIME;
    return at < end ? n : NIL;
  };
  Drosa last = NIL;
  for (Drosa n = next_in_measure(layer.at, &last); n;
       n = next_in_measure(chain_next(last), &last)) {
    if (at > start + TIME_TOLERANCE) break;  // the chain is in time order
    if (!near(at, start)) continue;
    int v = -1;  // the voice of the chord's notes, all drawn rests of one voice
    bool rests = true;
    for (Drosa note = n; note && rests; note = note == last ? NIL : chain_next(note)) {
      rests = note->get(xrest) && !note->get(xgrace) && !note->get(xhider) &&
              (v < 0 || int(note->get(xvoice)) == v);
      v = note->get(xvoice);
    }
    if (!rests || v < 0 || !near(spaced_chord_duration(n), M)) continue;
    bool other_of_voice = false;
    Drosa other_last = NIL;
    for (Drosa other = next_in_measure(layer.at, &other_last); other && !other_of_voice;
         other = next_in_measure(chain_next(other_last), &other_last)) {
      if (other == n) continue;
      for (Drosa note = other; note && !other_of_voice;
           note = note == other_last ? NIL : chain_next(note))
        other_of_voice = int(note->get(xvoice)) == v;
    }
    if (!other_of_voice) return n;
  }
  return NIL;
}

// A chord of whole rests. In a measure shorter than its time signature such a rest holds a
// ratio that makes it last the measure: it is the measure's rest (the import makes one of a
// document's measure rest there).
bool whole_rests(Drosa chord) {
  const Drosa last = chord_last_note(chord);
  for (Drosa n = chord; n; n = n == last ? NIL : chain_next(n))
    if (!n->get(xrest) || n->get(xlgval) != 1 || n->get(xdots) != 0) return false;
  return true;
}

// The length of the measure at `start` when it is the piece's last and shorter than M, its
// time signature's measure (it ends a piece that began with a pickup), and a layer rests
// through it on a whole rest: up to where its last chord ends. 0 for any other measure.
int32_t short_last_measure(const std::vector<RestLayer>& layers, int64_t start, int32_t M) {
  int64_t end = start;
  Drosa last = NIL;
  bool whole_rest = false;
  for (const RestLayer& layer : layers) {
    for (Drosa n = layer.at; n; n = chain_next(last)) {
      // The chord's last note and start, found once.
      last = chord_last_note(n);
      const Drosa cd2 = last_note_cddata2(last);
      const int32_t at = cd2 ? cd2->get(xswholec) : NO_TIME;
      whole_rest |= near(at, start) && whole_rests(n);
      if (at >= start + M - TIME_TOLERANCE) return 0;
      end = std::max<int64_t>(end, at + spaced_chord_duration(n));
    }
  }
  if (!whole_rest || !last || end >= start + M - TIME_TOLERANCE || end <= start) return 0;
  for (Drosa p = last->xnext; p; p = p->xnext) {
    const int k = effective_kind(p);
    if (k == NOTE) return 0;
    if (k == ENDSYST) return p->get(xendpiece) ? int32_t(end - start) : 0;
  }
  return 0;
}

void unlink_from_chord_chain(Drosa cd, Drosa cd3) {
  Drosa prev = cd3->get(xprevchord), next = cd3->get(xnextchord);
  auto cd3_of = [](Drosa c) { return c && c->xnext ? c->xnext->xnext : NIL; };
  if (Drosa p3 = cd3_of(prev); p3 && p3->xkind == CDDATA3) p3->set(xnextchord, next);
  if (Drosa n3 = cd3_of(next); n3 && n3->xkind == CDDATA3) n3->set(xprevchord, prev);
  if (last_chord == cd) last_chord = prev;
}

// Takes a chord of rests out of its print chain and destroys its chord records.
void drop_chord(Drosa first, int p) {
  std::vector<Drosa> notes = chord_notes(first);
  for (Drosa n : notes) {
    if (!n->get(xrest)) {
      REPORT_ERROR(4, "Error in look_for_measures_of_rests; got a note on staff %hd!", short(p));
      return;
    }
  }
  Drosa last = notes.back();
  Drosa cd = note_ntdata(last)->xnext;
  Drosa cd2 = cd ? cd->xnext : NIL;
  Drosa cd3 = cd2 ? cd2->xnext : NIL;
  const char* missing = !cd || cd->xkind != CDDATA      ? "CDDATA logic error in spacing2"
                        : !cd2 || cd2->xkind != CDDATA2 ? "CDDATA2 logic error in spacing2"
                        : !cd3 || cd3->xkind != CDDATA3 ? "CDDATA3 logic error in spacing2"
                                                        : nullptr;
  if (missing) {
    REPORT_ERROR(4, "%s", missing);
    return;
  }
  Drosa prev = chain_prev(first), next = chain_next(last);
  if (Drosa prev_nt = note_ntdata(prev)) prev_nt->set(xpnext, next);
  if (Drosa next_nt = note_ntdata(next)) next_nt->set(xpback, prev);
  for (Drosa n : notes) {
    note_ntdata(n)->set(xpback, NIL);
    note_ntdata(n)->set(xpnext, NIL);
  }
  unlink_from_chord_chain(cd, cd3);
  destroy_node(cd3);
  destroy_node(cd2);
  destroy_node(cd);
}

void set_rest_glyph(Drosa first, int glyph) {
  Drosa last = chord_last_note(first);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n))
    note_ntdata(n)->set(xrestchar, glyph);
}

// Rests of an up-stem and a down-stem layer sharing a staff stand above and below its middle.
void part_rests(const std::vector<RestLayer>& layers) {
  for (const RestLayer& a : layers) {
    if (a.kept.empty()) continue;
    int dir = note_ntdata(a.kept.front())->get(xstmdir);
    bool shared = std::any_of(layers.begin(), layers.end(), [&](const RestLayer& b) {
      return b.p == a.p && !b.kept.empty() && note_ntdata(b.kept.front())->get(xstmdir) != dir;
    });
    if (!shared) continue;
    const StaffData& staff = staff_data[a.p];
    int32_t offset =
        param_value(P_STAFF_SPACES_TO_OFFSET_RESTS_FOR_MULTIPLE_VOICES, a.kept.front(), &staff)
            ->integer() *
        (staff.staff_size / 2);
    for (Drosa first : a.kept)
      for (Drosa n : chord_notes(first))
        if (n->get(xdir) == 3)
          note_ntdata(n)->set(xhdy, dir == 2 ? staff.middle_y + offset : staff.middle_y - offset);
  }
}

}  // namespace

// ---- specspace -----------------------------------------------------------------------------

int32_t specspace(SpacingWidths& widths, int32_t previous_time, int mode, int grace_seen,
                  int after_grace_seen, int grace_carry, int32_t grace_run) {
  const TimePointState at{previous_time,    mode,     grace_seen != 0, after_grace_seen != 0,
                          grace_carry != 0, grace_run};
  const bool end = mode == SPACE_SYSTEM_END;
  // The layers taking part (listed twice a time point) and the signs are kept in room on the
  // stack.
  std::array<std::byte, 8192> room;
  std::pmr::monotonic_buffer_resource resource(room.data(), room.size());
  std::pmr::vector<Taking> taking(&resource);
  layers_taking_part(at, 1, taking);
  Signs signs = place_signs(widths, at, taking, &resource);

  if (!end) {
    bool measure_start = false;
    for (const Taking& t : taking)
      if (Drosa cd2 =
              mode == SPACE_SYSTEM_START ? last_note_cddata2(chord_last_note(t.first)) : NIL)
        measure_start |= near(cd2->get(xmwholec), 0);
    if (signs.bar || measure_start) look_for_measures_of_rests(previous_time);
  }

  int64_t advance = INT64_MIN;
  GraceGap graces;
  // The chords here once more: measures of rests may have changed what follows them.
  layers_taking_part(at, 2, taking);
  bool asked[MAX_PSTAVES][LAYERS] = {};
  for (const Taking& t : taking)
    advance = std::max(advance, layer_demand(t, widths, at, signs, graces, &asked[t.p][t.l]));
  // A chord placed here that was not asked for its lyrics may hold some.
  if (!end)
    for (int p = system_from(); p <= system_to(); ++p)
      for (int l = 0; l < spacing_staff[p].layers; ++l)
        lyrics_passed[p][l] |= widths.placed[p][l] && !asked[p][l];
  if (advance == INT64_MIN) advance = 0;
  if (graces.gap > 0 && graces.gap != NO_EDGE && signs.columns.empty()) {
    advance -= graces.gap;
    for (Drosa g : graces.chords)
      if (Drosa cd2 = last_note_cddata2(chord_last_note(g))) cd2->set(xreloc_spring, -1);
  }
  int32_t A = int32_t(std::clamp<int64_t>(advance, INT32_MIN / 2, INT32_MAX / 2));
  for (const Column& column : signs.columns)
    for (Drosa sign : column.signs) set_sign_x(sign, column.left + A);
  return A;
}

// ---- Measures of rests ---------------------------------------------------------------------

int32_t look_for_measures_of_rests(int32_t time) {
  std::vector<RestLayer> layers;
  size_t most = 0;
  for (int p = system_from(); p <= system_to(); ++p) most += size_t(spacing_staff[p].layers);
  layers.reserve(most);
  for (int p = system_from(); p <= system_to(); ++p)
    for (int l = 0; l < spacing_staff[p].layers; ++l)
      if (Drosa first = next_chord(p, l)) layers.push_back({p, l, first, {}, {}, 0});
  // The measure of the first chord here holds for the run: a time signature before a later
  // measure ends it.
  int32_t M = 0;
  for (const RestLayer& layer : layers)
    if (!M && near(chord_start(layer.at), time)) M = measure_length_at(layer.at);
  const int32_t short_measure = M > 0 ? short_last_measure(layers, time, M) : 0;
  if (short_measure) M = short_measure;
  // Of a measure shorter than its time signature only whole rests are the measure's rests.
  auto measure_rest = [&](Drosa chord) { return !short_measure || whole_rests(chord); };
  int32_t count = 0;
  int64_t start = time;
  std::vector<std::vector<Drosa>> chords;
  std::vector<Drosa> after;
  while (M > 0) {
    chords.resize(layers.size());
    for (std::vector<Drosa>& c : chords) c.clear();
    after.assign(layers.size(), NIL);
    bool all = true, any = false;
    for (size_t i = 0; i < layers.size() && all; ++i) {
      all = measure_of_rests(layers[i], start, M, count > 0, &chords[i], &after[i]);
      any |= !chords[i].empty();
    }
    if (!all || !any) break;
    for (size_t i = 0; i < layers.size(); ++i) {
      RestLayer& layer = layers[i];
      std::vector<Drosa>& into = count == 0 ? layer.kept : layer.dropped;
      into.insert(into.end(), chords[i].begin(), chords[i].end());
      if (count == 0) layer.first_measure = chords[i].size();
      layer.at = after[i];
    }
    ++count;
    start += M;
  }
  if (count >= 2) {
    for (RestLayer& layer : layers) {
      if (layer.kept.empty()) continue;
      Drosa keep = layer.kept.front();
      layer.dropped.insert(layer.dropped.begin(), layer.kept.begin() + 1, layer.kept.end());
      layer.kept.resize(1);
      for (Drosa first : layer.dropped) drop_chord(first, layer.p);
      set_rest_glyph(keep, 2);
      if (Drosa cd = last_note_cddata(chord_last_note(keep)))
        cd->set(xrcmeas, int16_t(std::min(count, 32767)));
    }
    // Each layer keeps its next chord (the run's first) and loses only chords after it: the
    // walk's next chords stand as they were, and are read again from the changed chains all
    // the same.
    find_next_chords();
  } else if (count == 1) {
    for (const RestLayer& layer : layers)
      if (layer.first_measure == 1 && measure_rest(layer.kept.front()))
        set_rest_glyph(layer.kept.front(), 1);
  } else if (M > 0) {
    // A voice that only rests through a measure where other staves (or other voices of its
    // layer) have notes has a whole-measure rest, centred in its bar: at the bar's start it
    // read as its first beat.
    for (const RestLayer& layer : layers) {
      const Drosa rest = lone_rest_of_measure(layer, start, M);
      if (!rest) continue;
      const bool alone = std::none_of(layers.begin(), layers.end(), [&](const RestLayer& other) {
        return other.p == layer.p && other.l != layer.l && other.at &&
               chord_start(other.at) < start + M - TIME_TOLERANCE;
      });
      if (alone && measure_rest(rest)) set_rest_glyph(rest, 1);
    }
  }
  if (count >= 1) part_rests(layers);
  return count;
}

// ---- What stands before a note -----------------------------------------------------------

bool has_clef_key_time_before(Drosa note, int at_system_start) {
  bool clef_or_key = false;
  for (Drosa p = note ? note->xback : NIL; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) break;
    if (k == TIMESIG || k == SPACE) return true;
    if (k == CLEF || k == KEYSIG) {
      if (!at_system_start) return true;
      clef_or_key = true;
    }
  }
  return clef_or_key && find_time_in_bar(note) <= TIME_TOLERANCE;
}

bool note_has_line_or_text(Drosa note) {
  if (!is_NOTE(note)) return false;
  if (node_byte(note, NOTE_FLAG_BYTE) & NOTE_ANNOTATION_FLAG) return true;
  for (Drosa p = note->xback; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) return false;
    if (k == LINE || k == TPARAM) return true;
  }
  return false;
}

// ---- Widths of signs ---------------------------------------------------------------------------

int32_t key_signature_width(Drosa keysig, int staff) {
  if (!keysig || effective_kind(keysig) != KEYSIG) return 0;
  const StaffData* st = staff >= 0 && staff < MAX_PSTAVES ? &staff_data[staff] : nullptr;
  int count = std::min<int>(keysig->get(xkeycnt), 15);
  int32_t width = 0;
  for (int i = 0; i < count; ++i) {
    int code = keysig->get(xkeysig_entry, i);
    int accidental = code <= 6 ? 2 : code <= 13 ? 4 : 3;  // flat, sharp, natural
    width += param_group_width(keysig, st, accidental, NIL);
  }
  return width;
}

Drosa bar_info(Drosa note, int* repeat, int* type, int* thick) {
  Drosa bar = NIL;
  if (note && effective_kind(note) == BAR) {
    bar = note;
  } else {
    for (Drosa p = note ? note->xnext : NIL; p && p->xkind != NOTE; p = p->xnext) {
      int k = effective_kind(p);
      if (k == ENDSYST) break;
      if (k == BAR) {
        bar = p;
        break;
      }
    }
  }
  if (repeat) *repeat = bar && bar->get(xrepeat_start) ? 1 : 0;
  if (type) *type = bar ? bar->get(xdouble) : 0;
  if (thick) *thick = bar ? bar->get(xbarthick) : 0;
  return bar;
}

int32_t bar_width(Drosa bar, int staff, int* out_repeat) {
  int repeat = 0, type = 0, thick = 0;
  bar = bar_info(bar, &repeat, &type, &thick);
  if (out_repeat) *out_repeat = repeat;
  if (!bar) return 0;
  int n = (bar->get(xrepeat_end) ? 1 : 0) + repeat;
  int32_t w = n * (param_length_at_staff(P_SPACE_GIVEN_FOR_WIDTH_OF_REPEAT_DOTS, bar, staff) +
                   param_length_at_staff(P_DISTANCE_BETWEEN_BAR_LINE_AND_REPEAT_DOTS, bar, staff));
  if (type)
    w += (thick ? n : 1) *
         param_length_at_staff(P_SEPARATION_BETWEEN_LINES_IN_DOUBLE_BARS, bar, staff);
  if (type == 2 || type == 3 || thick)
    w += param_length_at_staff(P_LINE_WIDTH_FOR_THICKER_LINE_IN_DOUBLE_BAR, bar, staff) - 5;
  return w;
}

void forget_right_edges() {
  for (auto& staff : right_edges)
    for (auto& layer : staff)
      for (RightEdge& kept : layer) kept = RightEdge{};
  for (auto& staff : lyrics_passed)
    for (bool& passed : staff) passed = false;
}

// Only the layers that hold chords (spacing_staff's count) have right edges: the others keep
// none from the pass's start on.
std::vector<KeptRightEdge> copy_right_edges(int from, int to) {
  std::vector<KeptRightEdge> edges;
  for (int p = std::max(from, 0); p <= to && p < MAX_PSTAVES; ++p)
    for (int l = 0; l < spacing_staff[p].layers && l < LAYERS; ++l)
      for (RightEdge& kept : right_edges[p][l]) edges.push_back({kept.chord, kept.edge});
  return edges;
}

void restore_right_edges(int from, const std::vector<KeptRightEdge>& edges) {
  size_t i = 0;
  for (int p = std::max(from, 0); p < MAX_PSTAVES && i < edges.size(); ++p)
    for (int l = 0; l < spacing_staff[p].layers && l < LAYERS; ++l)
      for (RightEdge& kept : right_edges[p][l])
        if (i < edges.size()) {
          kept = {edges[i].chord, edges[i].edge};
          ++i;
        }
}
