// options.h: reading and writing the fields of a notation context's options record
// (options_struct), which is kept big-endian as the piece file holds it.
#pragma once

#include <cstdint>

#include "model/model_globals.h"

// Offsets of the fields the program reads by name.
inline constexpr int OPTIONS_PAGE_WIDTH = 0;         // x
inline constexpr int OPTIONS_PAGE_HEIGHT = 4;        // x
inline constexpr int OPTIONS_NOTE_SPACING = 18;      // float: 1 minus the spacing factor typed
inline constexpr int OPTIONS_PIANO_ROLL_HEADS = 66;  // i16: piano-roll note heads may be used
inline constexpr int OPTIONS_TITLE = 68;             // i16: the page title names the piece's file
inline constexpr int OPTIONS_CLUSTER_REST = 72;      // i16: three adjacent keys played enter a rest
inline constexpr int OPTIONS_DISPLAY = 76;           // u8: how the page is shown
inline constexpr int OPTIONS_CONTEXT_EDIT_LOCK =
    84;  // i16: context_edit_lock, its notes cannot change
inline constexpr int OPTIONS_MIN_LINE_WIDTH = 86;  // i16
inline constexpr int OPTIONS_SCALE = 96;           // float: the view's zoom (10.0 standard)
inline constexpr int OPTIONS_PUBLISHED = 100;      // i16: non-zero in a published piece

// The options record of a new piece, written into record (OPTIONS_SIZE bytes).
void default_options(uint8_t* record);

// Fields of the options record of a notation context (1..MAX_NCONTEXTS) or of record 0, the
// scratch copy the Layout and Options dialogs edit. Any other context, or a field past the
// record, is reported (level 4); a read then gives the field of a new piece's record (0 past
// the record), a write changes nothing.
int16_t options_i16(int context, int offset);
void set_options_i16(int context, int offset, int16_t value);
int32_t options_i32(int context, int offset);
void set_options_i32(int context, int offset, int32_t value);
float options_float(int context, int offset);
void set_options_float(int context, int offset, float value);

// The current notation context's minimum line width.
int32_t current_min_line_width();
