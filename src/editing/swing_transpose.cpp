// swing_transpose.cpp: Swing Eighth Beam, Transpose... and the rest flag.
//
// Transpose moves the chord symbols attached before each selected note or rest with it, so a
// lead sheet keeps its harmony.
#include "editing/swing_transpose.h"

#include <cstdlib>

#include "editing/acc.h"
#include "editing/editing_globals.h"
#include "editing/key_transpose.h"
#include "editing/selection.h"
#include "params/param_services.h"
#include "performance/performance_services.h"

int32_t transpose_half_steps = 12;

namespace {

constexpr int32_t TRIPLET_QUARTER = 10922, TRIPLET_EIGHTH = 5461, EIGHTH = 8192,
                  DOTTED_QUARTER = 24576, QUARTER = 16384;

bool near(int32_t a, int32_t b) { return std::abs(int64_t(a) - b) <= TIME_TOLERANCE; }

enum Pattern { T3 = 1, E = 2, DQ = 4, T3E = 8 };

int patterns_of(Drosa n) {
  const int tupl = n->get(xtupl), intimeof = n->get(xintimeof), value = n->get(xlgval),
            dots = n->get(xdots);
  int found = 0;
  if (tupl == 3 && intimeof == 8 && dots == 0 && value == 3) found |= T3;
  if (tupl == 3 && intimeof == 8 && dots == 0 && value == 4) found |= T3E;
  if (tupl == 1 && intimeof == 4 && dots == 0 && value == 4) found |= E;
  if (tupl == 1 && intimeof == 4 && dots == 1 && value == 3) found |= DQ;
  return found;
}

struct Chord {
  Drosa first, last;
  int patterns = 0;
  int32_t duration = 0;
  int64_t ttn = 0;
};

Chord chord_at(Drosa first) {
  Chord c;
  c.first = first;
  c.duration = vchord_bounds(first, &c.first, &c.last);
  for (Drosa p = c.first; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      c.patterns |= patterns_of(p);
      c.ttn += p->get(xttn);
    }
    if (p == c.last) break;
  }
  return c;
}

// The first note of the voice chord that holds the note: back to a bar line, a system start
// or the previous chord's last note.
Drosa chord_start(Drosa note) {
  Drosa first = note;
  for (Drosa p = note->xback; p; p = p->xback) {
    const int k = effective_kind(p);
    if (k == BAR || k == ENDSYST) break;
    if (p->xkind == NOTE) {
      if (p->get(xendvcd)) break;
      first = p;
    }
  }
  return first;
}

Drosa next_note_in_system(Drosa node) {
  for (Drosa p = node->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return p;
    if (effective_kind(p) == ENDSYST) return NIL;
  }
  return NIL;
}

// Gives a chord its new time: notes of `match` duration take the default sounding length of
// it (plain eighths first when `plain`), the last note carries the time to the next chord.
void rewrite(const Chord& c, int32_t match, int32_t time, bool plain) {
  for (Drosa p = c.first; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      modifyvc_with_undo(p);
      if (near(note_duration(p, 1), match)) {
        if (plain) {
          p->set(xtupl, 1);
          p->set(xintimeof, 4);
          p->set(xlgval, 4);
        }
        set_default_duration(p, time);
      }
      p->set(xttn, uint32_t(p == c.last ? time : 0));
    }
    if (p == c.last) break;
  }
}

}  // namespace

void swing_eighth_beam(Drosa note) {
  if (!is_NOTE(note)) return;
  Chord a = chord_at(chord_start(note));
  if (!a.last) return;
  if (!near(a.duration, TRIPLET_QUARTER)) a.patterns &= ~T3;
  if (!near(a.duration, EIGHTH)) a.patterns &= ~E;
  if (!near(a.duration, DOTTED_QUARTER)) a.patterns &= ~DQ;
  Drosa b_first = next_note_in_system(a.last);
  if (!b_first) return;
  Chord b = chord_at(b_first);
  if (!b.last) return;
  if (!near(b.duration, TRIPLET_EIGHTH)) b.patterns &= ~T3E;
  if (!near(b.duration, EIGHTH)) b.patterns &= ~E;
  const bool swung = (a.patterns & T3) && (b.patterns & T3E);
  const bool straight = !swung && (a.patterns & E) && (b.patterns & E);
  const bool dotted = !swung && !straight && (a.patterns & DQ) && (b.patterns & E);
  if (!swung && !straight && !dotted) return;
  if (!swung) {
    // On a beat: within 50 of a multiple of a quarter, the downbeat included.
    const int32_t t = find_time_in_bar(a.first), off = ((t % QUARTER) + QUARTER) % QUARTER;
    if (off > TIME_TOLERANCE && QUARTER - off > TIME_TOLERANCE) return;
  }
  const ParamValue* ratio_value =
      param_value(P_SWING_EIGHTH_DURATION_PROPORTION_FOR_FIRST_EIGHTH_IN_PAIR, a.first, nullptr);
  const double r = ratio_value ? ratio_value->real() : 0.0;
  if (!(r > 0.0 && r < 1.0)) return;  // a ratio out of range would leave a chord no time
  const int64_t total = a.ttn + b.ttn;
  const int32_t a_time =
      dotted ? int32_t((r + 1.0) * double(total) * 0.5) : int32_t(double(total) * r);
  const int32_t b_time = int32_t(total - a_time);
  rewrite(a, swung ? TRIPLET_QUARTER : straight ? EIGHTH : DOTTED_QUARTER, a_time, swung);
  rewrite(b, swung ? TRIPLET_EIGHTH : EIGHTH, b_time, swung);
  mark_piece_changed(1, 2, 0);
}

void swing_all_eighths() {
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE) swing_eighth_beam(p);
  mark_piece_changed(1, 2, 0);
}

void transpose_note(Drosa note) {
  if (!is_NOTE(note)) return;
  const int32_t n = transpose_half_steps;
  if (note->get(xrest)) {
    if (transpose_chord_symbols_by(note, n)) mark_piece_changed(1, 1, 0);
    return;
  }
  modifyvc_with_undo(note);
  int32_t position = note->get(xmod7), accidental = note->get(xacc);
  uint16_t pitch = note->get(xpitch);
  if (n % 12 == 0) {
    position += 7 * n / 12;
    pitch = uint16_t(pitch + 256 * n);
  } else {
    PlayedNote played;
    played.key = step_to_key(position, accidental, note_keysig_value(note)) + n;
    special_acc_entry(&played, note);
    position = played.position;
    accidental = played.accidental;
    pitch = played.pitch;
  }
  if (uint32_t(position) > 72) return;
  transpose_chord_symbols_by(note, n);
  adjust_accidentals(ACC_REMOVING, note, note);
  note->set(xpitch, pitch);
  note->set(xmod7, int8_t(position));
  note->set(xacc, accidental);
  note->set(xaccplot, 0);
  adjust_accidentals(ACC_CHANGED, note, note);
  mark_piece_changed(1, 1, 0);
}

void transpose_prompt() {
  int32_t n = 0;
  if (!number_dialog_long("Specify the number of half steps to transpose.  Type a negative number "
                          "to transpose down, a positive number to transpose up.",
                          12, -48, 48, &n, "number of half steps"))
    return;
  transpose_half_steps = n;
  apply_to_cursor_or_group(transpose_note, 1);
}

void copy_rest_flag(Drosa note) {
  if (!is_NOTE(note) || !note->get(xrest)) return;
  const int flag = current_note_template->get(xseparate);
  if (note->get(xseparate) == flag) return;
  modifyvc_with_undo(note);
  note->set(xseparate, flag);
  mark_piece_changed(1, 1, 0);
}

void rest_flag_command() {
  current_note_template->set(xseparate, current_note_template->get(xseparate) ? 0 : 1);
  apply_to_cursor_or_group(copy_rest_flag, 1);
}
