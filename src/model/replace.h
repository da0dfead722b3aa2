// replace.h: the primitives through which editing changes the notes of a voice in time:
// replacing a stretch, turning it into rests, filling a gap of time with rests, inserting a
// note or chord at the insertion point, and deleting notes so that rests keep their time.
// Every change is recorded for undo.
#pragma once

#include <cstdint>

#include "model/drosa.h"
#include "model/model_services.h"

inline constexpr int MAX_REST_KINDS = 10;

// do_Drosa_update modes.
inline constexpr int UPDATE_EXTEND_CHORD = 32;
inline constexpr int UPDATE_INSERT_AFTER = 33;
inline constexpr int UPDATE_REPLACE = 34;
inline constexpr int UPDATE_DELETE = 35;

int fit_rest_value(Drosa rest, int short_values, int32_t gap, int32_t position,
                   const RestKind* kinds, int count, int by_gap);
void do_Drosa_update(int mode, Drosa new_first, Drosa new_last, Drosa old_start, Drosa old_end,
                     int perf_mode, int adjust_acc);
int fill_time_gap(Drosa location, int before_import_timing, int32_t position, int32_t duration);
