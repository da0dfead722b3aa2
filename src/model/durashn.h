// durashn.h: durations and times in time units: 65536 to a whole note; two times within 50
// units of each other are the same time; 2100000000 stands for no time or no end.
#pragma once

#include <cstdint>

#include "model/drosa.h"
#include "model/model_services.h"

// Time from a boundary before the node: 0 the start of the list, ENDSYST the system start,
// BAR the measure start.
int32_t find_time(Drosa node, int boundary);
