// lyrics.h: how far the lyrics and other texts of a staff chord reach, and the right edge of
// the last chord of a layer with its dots, flags and lyrics.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// Stands for no pstaff and for no y in the arguments of lyrlth.
inline constexpr int32_t NO_LYRIC_PLACE = -2100000000;

// space_lyrics: the right edge of the layer's chord that ends at `note`: its lyrics, its
// heads, rests, stems, flags and dots, and, for a bar holding only a whole-measure rest or a
// single chord filling the measure, the minimum width of such a bar (parameter 393). For a
// layer that has no chord yet (its chain head), the left x of the system's first pstaff.
// Reads:  the chord, its NTDATA and chord records, the parameters, the time signature in
//         force. Writes: nothing.
int32_t space_lyrics(Drosa note);

// The right edge of the heads of the chord that holds the note, with their dots; rests do not
// count (-2100000000 for a chord of rests).
int32_t heads_right(Drosa note);
