// writevesk.h: writing the current piece to its file, and the save commands.
#pragma once

#include <string>

#include "model/drosa.h"
#include "model/model_services.h"
#include "model/piece_format.h"

// write_header: the header (header_io in IO_WRITE mode), then a check of its length. 0 when
// writing failed.
int write_header(PieceFile* file);

// ask_save_piece: when the piece has changed, asks whether to save it. 0 when the user
// cancels (the caller stops what it was doing), else 1.
int ask_save_piece();
