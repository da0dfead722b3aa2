// align_bars.h: Align Bars, and the bar lines of the formatted page as it finds them. Bar lines
// move by pinning the first chord after them at a new x with a relocation zone, which the next
// format honours.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"

// The choices of the Align Bars dialog.
inline constexpr int ALIGN_SPREAD = 4, ALIGN_TO_RIGHTMOST_NOTE = 5, ALIGN_TO_LEFTMOST = 6,
                     ALIGN_TO_RIGHTMOST = 7;
// align_bars_as: the work of the command for one choice, without the dialog; false after a
// refusal (reported).
bool align_bars_as(int choice);

// Per-note steps over the selection: the bar line before the note's staff chord noted, the
// note's system marked, the bar line moved to the target.
void collect_bar_cb(Drosa note);
void mark_note_system_cb(Drosa note);
void move_system_bar_cb(Drosa note);

// find_system_note_x: taking the notes of the note's staff chord in turn: with mode != 0 the x
// of the last BAR before the end of the note's system; with mode 0 the head x of the first drawn
// note after the system's start, less twice the offset. 0x80000000 when nothing is found.
int32_t find_system_note_x(Drosa note, int mode, int32_t offset);
