// performance_services.cpp: default performance data of notes.
//
// Until the performance code exists, a note sounds for its whole notated duration, and the
// time to the next note is carried by the last note of each vertical chord (the chord's
// shortest duration); the other notes of a chord carry 0. Grace notes take no time.
#include "performance/performance_services.h"

#include "model/model_services.h"

void set_default_performance(Drosa first, Drosa last, int, int, int, int, int32_t) {
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      p->set(xlength, uint32_t(note_duration(p, 0)));
      uint32_t ttn = 0;
      if (p->get(xendvcd)) {
        Drosa chord_first, chord_last;
        int32_t d = vchord_bounds(p, &chord_first, &chord_last);
        ttn = d == NO_TIME ? 0 : uint32_t(d);
      }
      p->set(xttn, ttn);
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
