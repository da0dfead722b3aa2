// options.h: reading and writing the fields of a notation context's options record
// (options_struct), which is kept big-endian as the piece file holds it.
#pragma once

#include <cstdint>

#include "model/model_globals.h"
#include "model/model_services.h"

// The options record of a new piece, written into record (OPTIONS_SIZE bytes).
void default_options(uint8_t* record);
