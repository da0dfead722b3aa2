// align_bars.h: Align Bars, and the bar lines of the formatted page as it finds them. Bar lines
// move by pinning the first chord after them at a new x with a relocation zone, which the next
// format honours.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// align_bars: the command: with a group selection of notes after bar lines in several systems,
// those bar lines go to the x of the one whose note lies farthest right, to the leftmost or to
// the rightmost; or the bar lines of each system (the selection's, or all of the page) are
// spread evenly along it.
// Failure: level 2 "Align Bar can only be used after the screen is up to date (after the
//          cursor returns to normal).", "Some of your selected notes are not preceded by bar
//          lines, so Align Bars cannot be used.", "You must select notes from several systems to
//          align bar lines!", "You have selected two different bar lines on one system!  You
//          must select only one bar line per system for Align Bars."; nothing changes.
void align_bars();
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

// find_system_bar_x: the x of the bar line that belongs to the note's staff chord on the
// formatted page, 0x80000000 when there is none. The notes of the chord are taken in turn:
// direction > 0 takes the first BAR after the note up to its system's end, 0 a BAR attached
// before the note, < 0 the nearest BAR before it in its system; the first one drawn wins.
// While the page is being formatted the x it is being laid out at, else the x the screen
// shows.
// Reads: the voice list, the chord's NTDATA, reformat_pending.
int32_t find_system_bar_x(Drosa note, int direction);
// find_system_note_x: taking the notes of the note's staff chord in turn: with mode != 0 the x
// of the last BAR before the end of the note's system; with mode 0 the head x of the first drawn
// note after the system's start, less twice the offset. 0x80000000 when nothing is found.
int32_t find_system_note_x(Drosa note, int mode, int32_t offset);
