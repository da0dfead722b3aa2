// perfdata.h: the performance data of notes (volume, pitch word, sounding length, time to the
// next chord), the piece's playback settings that steer their defaults (perf_defaults), the
// recomputation of the defaults, and the per-note playback edits of the Hear menu.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "performance/performance_services.h"

// ---- perf_defaults: the piece's playback settings (big-endian, in the piece options record) ----

inline constexpr int DYNAMIC_LEVELS = 10;

inline constexpr int DEFAULT_DYNAMIC_LEVEL = 5;  // the sixth level

// The tuning offset in cents of a step (0 C .. 6 B) and accidental code (0..5); 0 outside.
double tuning_cents(int step, int accidental);

void set_tuning_cents(int step, int accidental, float cents);

// check_perf_defaults: puts every playback setting read with a piece back into the range its
// dialog allows (a damaged or foreign file cannot make Shorter divide by zero or a pitch run
// off its key), and a tuning offset that is no finite number to 0.
// Writes: perf_defaults.
void check_perf_defaults();

// ---- Defaults of notes

// Modes of set_default_performance.
inline constexpr int PERF_KEEP_TOTAL = 41;    // recompute times and lengths, keep the total
inline constexpr int PERF_LATER_MOVE = 42;    // recompute them, later notes move
inline constexpr int PERF_FILL_TOTAL = 43;    // recompute them to fill `total`
inline constexpr int PERF_PITCH_VOLUME = 44;  // keep times and lengths

// ---- Playback edits of the Hear menu, one note each (recorded for undo)

// -----------------------------
void play_softer_cb(Drosa note);

void play_louder_cb(Drosa note);

void play_level_get_cb(Drosa note);  // remembers the first note's volume for the dialog

void play_level_set_cb(Drosa note);  // gives the volume asked for

void play_lower_cb(Drosa note);

void play_higher_cb(Drosa note);

void play_pitch_get_cb(Drosa note);

void play_pitch_set_cb(Drosa note);

void play_shorter_cb(Drosa note);

void play_longer_cb(Drosa note);

void play_earlier_cb(Drosa note);

void play_later_cb(Drosa note);
