// fuzz_support.h: what the fuzz targets share: a report observer that keeps quiet, the count
// of live nodes, and the start of the program's platform layer and node store.
#pragma once

#include <cstdint>

// Reports are expected on damaged input; the targets look at results, not messages.
void ignore_report(int16_t level, const char* text);

// The nodes taken from the store and not yet given back.
int32_t live_nodes();

// Starts the platform layer on Qt's offscreen platform (with a runtime folder of its own when
// none is set), silences reports, and makes the node store and the parameter table.
void start_fuzzed_program(int* argc, char*** argv);
