// parts_voices.cpp: parts and voices.
//
// A piece holds no voices yet (voice lists are not built), so there are no parts to list.
#include "model/parts_voices.h"

int16_t part_first_voices[MAX_VOICES];
int16_t part_first_voice_count = 0;

void list_part_first_voices(bool /*all_voices*/) { part_first_voice_count = 0; }

const char* voice_part_name(int /*v*/) { return ""; }
