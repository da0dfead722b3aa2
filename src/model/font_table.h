// font_table.h: the font table of a piece: for every font it uses other than the six standard
// ones (which are stored as codes -1..-6), one hidden text annotation before the first note of
// voice 0 that reads `font <number> "<name>"`, so that the piece can be matched to the fonts of
// the machine that opens it.
#pragma once

#include "Editor/CString.h"
#include "model/drosa.h"
#include "model/model_services.h"

inline constexpr int FONT_RECORD_CLASSIFY = 120;  // classification of a font record

// The text of a font record.
CString format_font_record(int number, const char* name);

// The first font record of that number before the first note of a voice, voices in order;
// NIL when there is none. *name gets its recorded name.
Drosa find_font_record(int number, CString* name);

// write_font_table: brings the font table up to date before a save: every font used by a text
// annotation or a character parameter change gets its record (a record whose name differs is
// made again); records of fonts no longer used are left.
// Reads:  voice_count, piece_start, the system's font names.
// Writes: the annotations before the first note of voice 0, through the undo primitives (a
//         save calls it inside UnrecordedChanges, so that nothing of it is recorded).
void write_font_table();
