// bench_support.h: what every benchmark of the program needs around the code it times.
#pragma once

#include <cstdint>

// A report observer that ends the run: a benchmark whose code reports an error measures a
// path no user takes, so the text is written to standard error and the run aborts.
void stop_on_report(int16_t level, const char* text);

// Starts the platform layer once, on Qt's offscreen platform (no display needed), and loads
// the fonts. Later calls do nothing.
void start_offscreen_platform();

// Starts the offscreen platform and gives a fresh program: every subsystem's globals reset, a
// new node store and parameter table, an empty GE list, and the Score on a letter page (8.5 by
// 11 inches) with margins of 50 points left, 40 right and 40 at the top and bottom, numbering
// pages and measures from 1.
void fresh_letter_page_program();

// Imports the score of `staves` staves and `bars` bars of 4/4 that the shared generator writes
// (made in the benchmark's build folder the first time), four systems to a page, with a window
// to draw in; false when the generator cannot run or the import fails.
bool import_generated_score(int staves, int bars);

// Starts Qt's offscreen platform once for benchmarks that run the whole program (start_up and
// its main loop), with preferences in a folder of the benchmark's own. Later calls do nothing.
void start_window_platform();

// Closes the view, the music window and the console, and resets every subsystem's globals, so
// that start_up can run again.
void reset_window_program();

// Runs the main loop's passes while events wait (at most `passes`), as the user waits for the
// window to be drawn.
void run_pending_events(int passes = 20);

// Whether the music window shows page `page` of a piece of `pages` pages, pixel for pixel as
// the page image where the scroll position puts it, with enough of it drawn.
bool window_shows_page(int pages, int page);
