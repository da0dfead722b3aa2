// pitch.cpp: spellings, MIDI keys and pitch words of notes.
//
// A pitch is counted in 1/200 semitone: 200 x key, plus twice the tuning offset in cents of
// the step and accidental. The tuning table lies in perf_defaults as 7 x 6 big-endian floats
// (steps C..B, accidental codes 0..5) from byte 70.
#include "performance/pitch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "params/param_services.h"
#include "performance/note_entry.h"
#include "performance/perfdata.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"

namespace {

constexpr int LAST_SPECIAL_CODE = 65;
constexpr int C_MAJOR_OFFSET[7] = {0, 2, 4, 5, 7, 9, 11};

int32_t floor_div(int32_t a, int32_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

double tuning(int step, int accidental) { return tuning_cents(step, accidental); }

// A pitch in 1/200 semitone as a pitch word, kept to keys 0..127.
uint16_t pitch_to_word(int64_t p) {
  p = std::clamp<int64_t>(p, 0, 127 * 200 + 199);
  return uint16_t(((p / 200) << 8) | (p % 200));
}

// A stored accidental code outside 0..5 (the field has room for 6 and 7) counts as none.
int checked_accidental(int accidental) {
  return accidental >= 0 && accidental <= 5 ? accidental : 0;
}

}  // namespace

// clang-format off
const Spelling pitch_spelling_table[12][3] = {
    {{0, 3}, {-1, 4}, {1, 1}},  {{0, 4}, {1, 2}, {-1, 5}},  {{1, 3}, {0, 5}, {2, 1}},
    {{1, 4}, {2, 2}, {3, 1}},   {{2, 3}, {3, 2}, {1, 5}},   {{3, 3}, {2, 4}, {4, 1}},
    {{3, 4}, {4, 2}, {2, 5}},   {{4, 3}, {3, 5}, {5, 1}},   {{4, 4}, {5, 2}, {5, 2}},
    {{5, 3}, {4, 5}, {6, 1}},   {{5, 4}, {6, 2}, {7, 1}},   {{6, 3}, {7, 2}, {5, 5}},
};
// clang-format on

int32_t step_to_key(int32_t position, int accidental, int32_t transposition) {
  accidental = checked_accidental(accidental);
  int32_t s = position - 7 * floor_div(position, 7);
  return 12 * floor_div(position, 7) + C_MAJOR_OFFSET[s] + (accidental ? accidental - 3 : 0) +
         transposition;
}

namespace {

// A pitch worked out in floating point, held to what the pitch fits in: a damaged piece's
// position, transposition or special-accidental cents can reach far beyond any key.
int32_t held_pitch(double p) {
  if (!(p == p)) return 0;  // not a number
  return int32_t(std::clamp(p + 0.5, double(INT32_MIN), double(INT32_MAX)));
}

}  // namespace

int32_t special_pitch(int32_t position, int count, int accidental, const uint8_t* codes,
                      int32_t transposition, Drosa note) {
  accidental = checked_accidental(accidental);
  count = std::min(count, 15);
  int32_t s = position - 7 * floor_div(position, 7);
  double base = 12.0 * floor_div(position, 7) + C_MAJOR_OFFSET[s] + transposition;
  if (count <= 0) {
    double p = 200 * (base + (accidental ? accidental - 3 : 0)) + 2 * tuning(s, accidental);
    return held_pitch(p);
  }
  double sum = 0;
  bool standard = false;
  for (int i = 0; i < count; ++i) {
    int c = codes[i];
    if (c == 0) continue;  // an empty entry
    if (c < 6) {
      sum += c * 200 - 600 + 2 * tuning(s, c);
      standard = true;
    } else if (c <= LAST_SPECIAL_CODE) {
      sum += 2 * param_float_value(P_CENTS_OFFSET_FOR_SPECIAL_ACCIDENTAL_1 + c - 6, note);
    }
  }
  if (!standard) sum += 2 * tuning(s, 3);
  return held_pitch(200 * base + sum);
}

uint16_t note_pitch_word(Drosa note, int32_t transposition) {
  if (!is_NOTE(note)) return 0;
  Drosa spacc = find_prev_kind_stop_2(SPACC, note, NOTE);
  uint8_t codes[15] = {};
  int count = 0;
  if (spacc) {
    count = std::min<int>(spacc->get(xnumspacc), 15);
    for (int i = 0; i < count; ++i) codes[i] = spacc->get(xspacc_entry, i);
  }
  return pitch_to_word(
      special_pitch(note->get(xmod7), count, note->get(xacc), codes, transposition, note));
}

uint16_t key_to_pitch_word(int32_t key) {
  const int pc = int(key - 12 * floor_div(key, 12));
  const Spelling sp = pitch_spelling_table[pc][std::clamp(key_spelling[pc], 0, 2)];
  return pitch_to_word(int64_t(key) * 200 + int64_t(2 * tuning((sp.step + 7) % 7, sp.accidental)));
}

namespace {

constexpr int ACC_NATURAL = 3;

bool notes_locked() { return options_i16(current_ncontext, OPTIONS_CONTEXT_EDIT_LOCK) != 0; }

// Gives the record a spelling of its pitch class (octave base `base`, transposition t).
void take_spelling(PlayedNote* note, int32_t base, const Spelling& sp) {
  note->position = base + sp.step;
  note->accidental = sp.accidental;
}

// The earlier note on the line in the measure: the one tied into the insertion point first.
Drosa earlier_note_on_line(int32_t line, Drosa at, BarTime* bar_time) {
  if (Drosa tied = find_tied_prev_note_on_line(line, at, bar_time)) return tied;
  return find_prev_note_on_line(line, at);
}

// Step 4 of the spelling: the spelling an earlier note of the measure already uses; false when
// none does.
bool spell_from_measure(PlayedNote* note, Drosa at, int pc, int32_t base, BarTime* bar_time) {
  const int preferred = std::clamp(key_spelling[pc], 0, 2);
  for (int j = 0; j < 3; ++j) {
    const Spelling& sp = pitch_spelling_table[pc][j];
    if (Drosa earlier = earlier_note_on_line(base + sp.step, at, bar_time)) {
      Drosa spacc = find_prev_kind_stop_2(SPACC, earlier, NOTE);
      if (spacc && sp.accidental == ACC_NATURAL) {
        note->spacc_count = std::min<int>(spacc->get(xnumspacc), 15);
        for (int i = 0; i < note->spacc_count; ++i)
          note->spacc_codes[i] = spacc->get(xspacc_entry, i);
        note->position = base + sp.step;
        note->accidental = earlier->get(xacc);
        return true;
      }
      if (earlier->get(xacc) == sp.accidental) {
        take_spelling(note, base, sp);
        return true;
      }
    }
    if (j == preferred) break;
  }
  return false;
}

}  // namespace

void special_acc_entry(PlayedNote* note, Drosa insertion_note, BarTime* bar_time) {
  BarTime own(insertion_note);
  const int32_t t = is_NOTE(insertion_note) ? note_keysig_value(insertion_note) : 0;
  const int32_t k = note->key - t;
  const int pc = int(k - 12 * floor_div(k, 12));
  const int32_t base = 7 * floor_div(k, 12);
  if (!is_NOTE(insertion_note) || notes_locked()) {
    take_spelling(note, base, pitch_spelling_table[pc][std::clamp(key_spelling[pc], 0, 2)]);
    note->pitch = key_to_pitch_word(note->key);
    return;
  }
  bool spelled = false;
  if (note->spacc_count > 0) {
    const Spelling& first = pitch_spelling_table[pc][0];
    if (first.accidental != ACC_NATURAL) {
      if (t != 0)
        REPORT_ERROR(2, "%s",
                     "You are adding notes with special accidentals on a transposing voice.  You "
                     "should play only those notes which, AFTER TRANSPOSITION, correspond to white "
                     "keys on the keyboard.");
      else
        REPORT_ERROR(2,
                     "When you add notes with special accidentals, you should play only white keys "
                     "on the music keyboard.%s%sUse black keys when you add notes with standard "
                     "accidentals.",
                     "\r", "\r");
    }
    note->position = base + first.step;
    note->accidental = ACC_NATURAL;
    spelled = true;
  }
  if (!spelled && note->requested_accidental) {
    for (const Spelling& sp : pitch_spelling_table[pc])
      if (sp.accidental == note->requested_accidental) {
        take_spelling(note, base, sp);
        spelled = true;
        break;
      }
  }
  if (!spelled && !spell_from_measure(note, insertion_note, pc, base, bar_time ? bar_time : &own))
    take_spelling(note, base, pitch_spelling_table[pc][std::clamp(key_spelling[pc], 0, 2)]);
  note->pitch = pitch_to_word(special_pitch(note->position, note->spacc_count, note->accidental,
                                            note->spacc_codes, t, insertion_note));
}

namespace {

// Clears the template's one-shot attributes, with their palette boxes.
void clear_one_shot_attributes(bool all) {
  Drosa t = current_note_template;
  if (!t) return;
  if (t->get(xacc)) {
    invert_piano_box(24 + t->get(xacc));
    t->set(xacc, 0);
  }
  if (!all) return;
  if (add_mode) invert_piano_box(12), add_mode = 0;
  if (t->get(xgliss)) invert_piano_box(11), t->set(xgliss, 0);
  if (t->get(xtie)) invert_piano_box(6), t->set(xtie, 0);
  if (t->get(xparen)) invert_piano_box(8), t->set(xparen, 0);
}

bool entry_allowed() {
  if (!is_NOTE(insertion_point) || notes_locked()) return false;
  if (options_i16(1, OPTIONS_PUBLISHED)) return false;
  return entry_node() || note_entry_active || duration_edits_enabled;
}

// The nodes of one entered note, linked after *tail: NEST, SPACC, TSMOD, NOTE.
Drosa make_entered_note(PlayedNote* record, Drosa* tail, Drosa* head, BarTime* bar_time) {
  auto append = [&](Drosa node) {
    if (*tail)
      link_after(node, *tail);
    else
      *head = node;
    *tail = node;
  };
  if (Drosa nest = new_entry_nest_node()) append(nest);
  Drosa note = copyDrosa(current_note_template);
  note->set(xendvcd, 0);
  note->set(xselected, 0);
  if (record->key < 0) {
    note->set(xrest, 1);
    note->set(xpitch, uint16_t(0));
    note->set(xacc, 0);
    note->set(xtie, 0);
  } else {
    if (record->accidental == 0) special_acc_entry(record, insertion_point, bar_time);
    if (record->spacc_count) {
      Drosa spacc = newDrosa(SPACC, 0);
      spacc->set(xnumspacc, uint8_t(record->spacc_count));
      for (int i = 0; i < record->spacc_count && i < 15; ++i)
        spacc->set(xspacc_entry, i, record->spacc_codes[i]);
      append(spacc);
    }
    if (record->template_staccatissimo) {
      Drosa tsmod = newDrosa(TSMOD, 0);
      tsmod->set(xstacissimo, 1);
      append(tsmod);
    }
    note->set(xrest, 0);
    note->set(xmod7, int8_t(std::clamp<int32_t>(record->position, -128, 127)));
    note->set(xacc, checked_accidental(record->accidental));
    note->set(xaccplot, 0);
    note->set(xpitch, record->pitch);
    note->set(xvolume, record->volume);
    if (record->tie) note->set(xtie, 1);
  }
  append(note);
  return note;
}

// A tie goes only to a following note of the same pitch: the chord before a newly entered one
// keeps a tie only where the new chord has a note of its pitch.
void untie_before_entered_chord(Drosa first_note, Drosa last_note) {
  Drosa prev = find_prev_kind(NOTE, first_note);
  if (!prev || prev->get(xrest)) return;
  auto in_new_chord = [&](uint16_t pitch) {
    for (Drosa p = first_note; p; p = p->xnext) {
      if (p->xkind == NOTE && !p->get(xrest) && p->get(xpitch) == pitch) return true;
      if (p == last_note) break;
    }
    return false;
  };
  for (Drosa p = vchord_first_note(prev); p; p = p->xnext) {
    if (p->xkind == NOTE && p->get(xtie) && !in_new_chord(p->get(xpitch))) {
      modifyvc_with_undo(p);
      p->set(xtie, 0);
      // It sounds as an untied note now, for its chord's time.
      set_default_duration(p, prev->get(xttn) > 0 ? prev->get(xttn) : note_duration(p, 1));
    }
    if (p == prev) break;
  }
}

}  // namespace

Drosa insert_played_notes(PlayedNote* notes, int count, int mode) {
  if (!entry_allowed() || count <= 0) {
    clear_one_shot_attributes(false);
    return NIL;
  }
  Drosa head = NIL, tail = NIL, first_note = NIL, last_note = NIL;
  BarTime bar_time(insertion_point);  // the chord's notes are built apart from the voice
  for (int i = 0; i < count; ++i) {
    last_note = make_entered_note(&notes[i], &tail, &head, &bar_time);
    if (!first_note) first_note = last_note;
  }
  const bool add = add_mode != 0;
  clear_one_shot_attributes(true);
  last_note->set(xendvcd, 1);
  // A recording goes on over page ends without turning the pages.
  if (!insert_note(head, tail, add, 1, mode == 2 ? 1 : 0, 1, 0)) return NIL;
  if (!add) untie_before_entered_chord(first_note, last_note);
  // Annotation styles are applied by the annotation code once it offers them.
  return first_note;
}
