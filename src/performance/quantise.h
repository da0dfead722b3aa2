// quantise.h: a recording made into notes. Every onset group's distance to the next group is
// expressed in 1/60000 of the beat that holds it; each beat takes the rhythm template that fits
// its groups best; groups get the template's note values; chords held over whole beats become
// longer values or ties; the chords are inserted at the insertion point, and recorded pedal
// events become pedal marks.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "performance/performance_services.h"

struct RhythmEntry {
  int32_t length;  // in 1/60000 of the beat; 0 ends the template
  int8_t step;     // value step below the beat unit (0 the beat unit, 1 half of it ...)
  int8_t dots;
  int8_t tuplet;  // 1 plain, 3 triplet
};
inline constexpr int RHYTHM_TEMPLATES = 15;
inline constexpr int TEMPLATE_ENTRIES = 10;
extern const RhythmEntry rhythm_templates[RHYTHM_TEMPLATES][TEMPLATE_ENTRIES];
// The templates tried, in order, ended by -1.
inline constexpr int ACTIVE_TEMPLATES = 13;
extern int active_templates[ACTIVE_TEMPLATES + 1];

// beat_tolerance: the part of a beat of length `length` within which onsets count as one
// time, by the subdivision and triplet settings and the tolerance percentage.
int32_t beat_tolerance(int32_t length);
// beat_onset_slack: how long before a beat of length `length` an onset still counts for that
// beat: half the shortest value the recording is written in, so that an onset goes to the
// beat it is played nearest to.
int32_t beat_onset_slack(int32_t length);

// combine_tied_chords: the current note template set from the group that ends at `last`;
// the beat fillers it absorbs.
int combine_tied_chords(Drosa last, bool rest);

// set_retained_durations: the chord inserted last gets the played lengths of its group (a
// chord repeated for a beat filler, struck by no key, keeps the lengths of its values).
void set_retained_durations(int chord_size, Drosa group_first, Drosa next_group_first);

// place_recorded_pedals: the recorded sustain-pedal events as pedal marks before the notes
// from `first_note` on.
void place_recorded_pedals(Drosa first_note);
