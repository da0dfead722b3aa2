// parts_voices.h: parts and the voices that make them up.
#pragma once

#include <cstdint>

#include "model/model_globals.h"

// The voices found by list_part_first_voices, and how many.
extern int16_t part_first_voices[MAX_VOICES];
extern int16_t part_first_voice_count;

// Lists the first voice of every part (with all_voices false: only parts printed, that is
// with a PRINT before their first note) into part_first_voices.
void list_part_first_voices(bool all_voices);

// The part name of voice v.
const char* voice_part_name(int v);
