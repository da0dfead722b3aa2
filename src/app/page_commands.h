// page_commands.h: moving the music window to another page, a bar or the next measure whose
// notes do not fill its time signature.
#pragma once

#include <cstdint>

#include "app/app_services.h"

// measure_has_rhythm_error: whether a measure lasting `actual` time units (65536 a whole note)
// disagrees with a time signature of `beats` beats of 1/`beat_value` each, by more than 50
// units. After a bar line that is not a plain one a measure may be incomplete: then it is
// faulty only when too long, or when it does not end on a beat.
bool measure_has_rhythm_error(int32_t actual, int32_t beats, int32_t beat_value,
                              bool after_plain_bar);
