// lyrics.h: how far the lyrics and other texts of a staff chord reach, and the right edge of
// the last chord of a layer with its dots, flags and lyrics.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_services.h"

// Stands for no pstaff and for no y in the arguments of lyrlth.
inline constexpr int32_t NO_LYRIC_PLACE = -2100000000;

// space_lyrics: the right edge of the layer's chord that ends at `note`: its lyrics (unless
// with_lyrics is false), its heads, rests, stems, flags and dots, and, for a bar holding only a
// whole-measure rest or a single chord filling the measure, the minimum width of such a bar
// (parameter 393). For a layer that has no chord yet (its chain head), the left x of the
// system's first pstaff.
// Reads:  the chord, its NTDATA and chord records, the parameters, the time signature in
//         force. Writes: nothing.
int32_t space_lyrics(Drosa note, bool with_lyrics = true);

// One line of a staff chord's lyrics: the y its syllables stand at (as placed, before the
// drawing sets each line at one height), half a text height (within which another syllable's
// y is on the same line), and how far they reach left and right.
struct LyricReach {
  int32_t y, half_height, left, right;
};
// The lines of lyrics ("Leave Space" texts, shown) of the staff chord of `note` on the pstaff.
std::vector<LyricReach> lyric_lines_of(Drosa note, int32_t pstaff);

// How far the staff chord beginning at `first` must move right so that each of its syllables
// keeps `gap` from the syllable before it on the same line: the nearest earlier one of the
// layer in the system, whose chord ends at or before `before` (the layer's chord before it),
// or the pstaff's left edge where the line has none. INT64_MIN for a chord without lyrics.
// Notes between two syllables of a line (a melisma, a verse that rests) do not move apart
// for them: a syllable keeps clear of the syllables of its own line only.
int64_t lyric_lines_demand(Drosa first, Drosa before, int32_t pstaff, int32_t gap);

// The greatest right x of the lyrics of the layer's chords from the one that ends at `last`
// back to the system's start: a syllable of an earlier chord may reach past the last chord.
int32_t lyrics_right_in_system(Drosa last);

// While one lives, the widths of the texts measured for how far they reach are kept by text:
// a spacing pass asks for the texts of a chord again at each chord after it, and changes no
// text, note size or parameter they are measured by. So is whether the system's chords have a
// text that leaves space at all. One at a time.
class KeptTextWidths {
 public:
  KeptTextWidths();
  ~KeptTextWidths();
  KeptTextWidths(const KeptTextWidths&) = delete;
  KeptTextWidths& operator=(const KeptTextWidths&) = delete;
};

// The right edge of the heads of the chord that holds the note, with their dots; rests do not
// count (-2100000000 for a chord of rests).
int32_t heads_right(Drosa note);
