// performance_services.cpp: default performance data of notes.
//
// Until the performance code exists, a note sounds for its whole notated duration, and the
// time to the next note is carried by the last note of each vertical chord (the chord's
// shortest duration, tuplet remainders carried from chord to chord); the other notes of a
// chord carry 0. Grace notes take no time. The
// pitch comes from the note's place on the staff, its accidental and the transposition of
// the key in force, without tuning or special accidentals; the volume is the sixth dynamic
// level.
#include "performance/performance_services.h"

#include <algorithm>

#include "model/model_services.h"

namespace {

constexpr int PERF_DYNAMIC_LEVELS = 46;  // perf_defaults: ten i16 volumes, lowest first
constexpr int DEFAULT_LEVEL = 5;         // the sixth level
constexpr int C_MAJOR_OFFSET[7] = {0, 2, 4, 5, 7, 9, 11};

// The MIDI key of a diatonic position (middle C, key 60, is position 35) with an accidental
// code (0 none, 1 double flat .. 5 double sharp) and a transposition in semitones.
int step_to_key(int position, int accidental, int transposition) {
  int octave = position >= 0 ? position / 7 : -((6 - position) / 7);
  int step = position - 7 * octave;
  return 12 * octave + C_MAJOR_OFFSET[step] + (accidental ? accidental - 3 : 0) + transposition;
}

uint16_t pitch_word(Drosa note, int transposition) {
  if (note->get(xrest)) return 0;
  int key = step_to_key(note->get(xmod7), note->get(xacc), transposition);
  return uint16_t(std::clamp(key, 0, 127) << 8);
}

uint8_t default_volume() {
  int level = int16_t((perf_defaults[PERF_DYNAMIC_LEVELS + 2 * DEFAULT_LEVEL] << 8) |
                      perf_defaults[PERF_DYNAMIC_LEVELS + 2 * DEFAULT_LEVEL + 1]);
  return uint8_t(std::clamp(level > 0 ? level : 120, 0, 200));
}

}  // namespace

void set_default_performance(Drosa first, Drosa last, int set_pitch, int, int set_volume, int,
                             int32_t) {
  Drosa key = first ? find_prev_kind(KEYSIG, first) : NIL;
  int transposition = key ? key->get(key_transposition) : 0;
  // The chords' times are added up with their rounding remainders carried, so that tuplets
  // take exactly their time.
  int32_t time = 0, carry_num = 0, carry_den = 1, chord_time = 0;
  Drosa chord_end = NIL;
  for (Drosa p = first; p; p = p->xnext) {
    if (effective_kind(p) == KEYSIG) transposition = p->get(key_transposition);
    if (p->xkind == NOTE) {
      if (!chord_end) {
        const int32_t before = time;
        int32_t shortest = 0;
        chord_end = chord_duration_carry(p, &time, &carry_num, &carry_den, &shortest);
        chord_time = std::max(time - before, 0);
      }
      if (set_pitch) p->set(xpitch, pitch_word(p, transposition));
      if (set_volume) p->set(xvolume, default_volume());
      p->set(xlength, uint32_t(note_duration(p, 0)));
      p->set(xttn, uint32_t(p == chord_end ? chord_time : 0));
      if (p == chord_end || !chord_end) chord_end = NIL;
    }
    if (p == last) break;
  }
}

void change_grace_time(Drosa, Drosa, int) {
  // Grace notes keep their own start times until playback computes them.
}

// Nothing plays yet: the engine has no step to take.
int32_t play_music(int, int) { return 0; }

// There is no MIDI input or piano window yet: no idle work is ever done.
int32_t piano_idle(int) { return 0; }

// There is no piano window yet to take a key.
int32_t piano_key_equivalent(const EventRecord&, int) { return 0; }

// There is no piano window yet to redraw.
void draw_piano_window() {}

// Nothing plays yet.
int is_playing() { return 0; }

// There is no palette yet: the template keeps the accidental it has.
int set_template_accidental() { return spacc_template ? 1 : 0; }

// Nothing is queued or recorded yet.
Drosa play_queue_first() { return NIL; }
Drosa recorded_notes_first() { return NIL; }
