// setprint.h: the print chains of a system's staves and their layers.
#pragma once

#include <cstdint>

// setprint: links the notes of the system first_pstaff..last_pstaff into the print chains of
// their staves and layers, in time order. 0 when interrupted, else 1.
int32_t setprint();

// split_voices_to_layers: moves a voice that cannot share chords to layer r (1..7); non-zero
// when it moved one (the caller then runs setprint again).
int32_t split_voices_to_layers(int r);

// split_unequal_chords: takes apart staff chords whose notes cannot share a stem. 0 when
// interrupted, else 1.
int32_t split_unequal_chords();
