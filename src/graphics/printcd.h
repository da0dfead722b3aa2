// printcd.h: drawing one staff chord that is not part of a beam: its rest, or its heads with
// their ledger lines, accidentals, dots and marks, then the stem with its flag, tremolo mark
// and grace slash.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// ---- Drawing flags of a staff chord ----------------------------------------------------------

// The chord drawer clears them before it draws: the upper six bits of the flag word for a chord
// of stems up, bits 2 to 7 for the others.
inline constexpr auto xcdupdraw = bit_field("xcdupdraw", CDDATA, 46, 7, 2);
inline constexpr auto xcddowndraw = bit_field("xcddowndraw", CDDATA, 47, 7, 2);

// The stem: the line width of parameter 197 at the note, scaled.
int32_t stem_line_width(Drosa note);
// draw_stem_line: a stem from (x, y1) to (x, y2) of the note's stem width with var `var`;
// with `twin` first a screen copy snapped to whole pixels at the current zoom.
void draw_stem_line(Drosa note, int staff, int32_t x, int32_t y1, int32_t y2, int var, int twin);
// The same with the note's stem width already looked up.
void draw_stem_line_of_width(Drosa note, int staff, int32_t x, int32_t y1, int32_t y2, int var,
                             int twin, int32_t width);

// draw_tremolo_mark: the note's tremolo strokes (parameters 102-104) centred on a stem at x,
// their top at y (a stem-up note's mark stands parameter 212 lower).
void draw_tremolo_mark(Drosa note, int staff, int32_t x, int32_t y);

// draw_grace_slash: the slash through a grace note's stem end (x, y), or through its beam.
void draw_grace_slash(Drosa note, int staff, int32_t x, int32_t y, int up, int beamed);
