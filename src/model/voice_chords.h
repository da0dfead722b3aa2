// voice_chords.h: vertical chords: runs of adjacent NOTE nodes of one voice that sound
// together, the last of them marked xendvcd; and the ends of a voice's system.
#pragma once

#include <cstdint>

#include "model/drosa.h"

// From the node forward, itself included, the first NOTE with xendvcd.
Drosa chord_end_note(Drosa node);
// The first note of the vertical chord the node belongs to.
Drosa vchord_first_note(Drosa node);
// First and last note of the vertical chord, and as result the shortest duration of its
// notes (whole-measure rests by their own value; 2100000000 when there is none).
int32_t vchord_bounds(Drosa node, Drosa* first, Drosa* last);
int is_voice_head_ENDSYST(Drosa node);
int endvc(Drosa node);
int endvcnotes(Drosa node);
