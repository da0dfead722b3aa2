// page_commands.h: moving the music window to another page, a bar or the next measure whose
// notes do not fill its time signature.
#pragma once

#include <cstdint>

// Items of the Page menu that move to another page or bar; item 55 is no menu item but the
// command the note-entry keys give after storing pending_goto_bar.
enum PageCommand {
  PAGE_COMMAND_PREVIOUS = 1,
  PAGE_COMMAND_NEXT = 2,
  PAGE_COMMAND_GO_TO_PAGE = 4,
  PAGE_COMMAND_GO_TO_BAR = 5,
  PAGE_COMMAND_NEXT_RHYTHM_ERROR = 6,
  PAGE_COMMAND_PENDING_BAR = 55,
};

// page_navigation_command: Previous Page, Next Page, Go To Page..., Go To Bar..., Next Rhythm
// Error and the pending bar of the note-entry keys. When the page changes, the user may first
// save a changed piece (when the preferences ask for it), the undo history is cleared and the
// new page is formatted under the title suffix "(working)". The insertion point then stands at
// the start of the page (the page commands) or on the bar and beat asked for.
// Reads:  current_page, page_count, insertion_point, insertion_point_pos, selected_voice,
//         pending_goto_bar, the voice lists, DrosaDirty, the preferences.
// Writes: current_page, the page, the undo lists, the insertion point, note_entry_active,
//         MODE, the window and its title; the piece file when the user saves.
// Failure: Cancel in a dialog or question changes nothing; level 2 "No time signature is
//          specified; cannot find rhythm errors." and "No more bars with rhythm errors.";
//          level 4 "Item %hd in Page menu unrecognized!" for another item.
void page_navigation_command(int item);

// measure_has_rhythm_error: whether a measure lasting `actual` time units (65536 a whole note)
// disagrees with a time signature of `beats` beats of 1/`beat_value` each, by more than 50
// units. After a bar line that is not a plain one a measure may be incomplete: then it is
// faulty only when too long, or when it does not end on a beat.
bool measure_has_rhythm_error(int32_t actual, int32_t beats, int32_t beat_value,
                              bool after_plain_bar);
