// spacing.h: the horizontal spacing of a system: the curve that gives a duration its ideal
// space, and the pass that gives every staff chord its x.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- The spacing curve ------------------------------------------------------------------------
// init_spacing_curve: makes the curve from parameters 221 (the effect of duration) and 220
// (the space of an eighth) in force at `node`.
// Reads: parameters 220 and 221. Writes: the curve.
void init_spacing_curve(Drosa node);

// space_for_duration: the ideal space of a duration: 0 for none, d / 256 in a context with
// linear spacing, else s x (d / eighth)^k, truncated.
// Reads: the curve, the context's options.
int32_t space_for_duration(int32_t d);

// ---- The pass ------------------------------------------------------------------------------
// spacing_pass: places the chords, accidentals and lyrics of the system and gives every chord
// its ideal x. 0 when interrupted, else 1.
int32_t spacing_pass();
