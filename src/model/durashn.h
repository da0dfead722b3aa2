// durashn.h: durations and times in time units: 65536 to a whole note; two times within 50
// units of each other are the same time; 2100000000 stands for no time or no end.
#pragma once

#include <cstdint>

#include "model/drosa.h"

inline constexpr int32_t WHOLE_NOTE_TIME = 65536;
inline constexpr int32_t TIME_TOLERANCE = 50;
inline constexpr int32_t NO_TIME = 2100000000;

// Beam types and places of beatbound.
inline constexpr int MAIN_BEAMS = 45, SECONDARY_BEAMS = 46, ANY_BEAMS = 47;
inline constexpr int NOTE_START = 83, NOTE_END = 84;

// The duration of a NOTE; with own_value 0 a whole-measure rest takes its measure.
int32_t note_duration(Drosa note, int own_value);
int get_tuplet(Drosa note, int32_t* tupl_out, int32_t* intimeof_out);
int same_tupl(Drosa a, Drosa b);
int32_t div_round50(int32_t a, int32_t b);
// Adds the duration of the vertical chord starting at note to *time, carrying rounding
// remainders so that tuplets add up exactly; returns the chord's last note.
Drosa chord_duration_carry(Drosa note, int32_t* time, int32_t* carry_num, int32_t* carry_den,
                           int32_t* dur_out);
// Time from a boundary before the node: 0 the start of the list, ENDSYST the system start,
// BAR the measure start.
int32_t find_time(Drosa node, int boundary);
int32_t find_time_abs(Drosa node);
int32_t find_time_in_system(Drosa node);
int32_t find_time_in_bar(Drosa node);
int32_t find_meas_time_left(Drosa note);
int beatbound(Drosa note, int32_t unit, int beamtype, int place);
