// align_bars.h: bar lines of the formatted page as the bar-aligning code finds them.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// find_system_bar_x: the x of the bar line that belongs to the note's staff chord on the
// formatted page, 0x80000000 when there is none. The notes of the chord are taken in turn:
// direction > 0 takes the first BAR after the note up to its system's end, 0 a BAR attached
// before the note, < 0 the nearest BAR before it in its system; the first one drawn wins.
// While the page is being formatted the x it is being laid out at, else the x the screen
// shows.
// Reads: the voice list, the chord's NTDATA, reformat_pending.
int32_t find_system_bar_x(Drosa note, int direction);
