// bench_support.h: what every benchmark of the program needs around the code it times.
#pragma once

#include <cstdint>

// A report observer that ends the run: a benchmark whose code reports an error measures a
// path no user takes, so the text is written to standard error and the run aborts.
void stop_on_report(int16_t level, const char* text);

// Starts the platform layer once, on Qt's offscreen platform (no display needed), and loads
// the fonts. Later calls do nothing.
void start_offscreen_platform();
