// performance_services.h: what the rest of the program asks of the performance code.
// Other folders include this header and no other header of performance/.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// Recomputes the default sounding lengths (xlength) and times to the next note (xttn) of
// the notes from first to last.
void set_default_performance(Drosa first, Drosa last, int a, int b, int keep, int code,
                             int32_t old_ttn);

// Recomputes the start times of the grace notes before a note (mode 0 before a grace stretch
// is deleted, 1 for the neighbour after a deletion).
void change_grace_time(Drosa first, Drosa last, int mode);
