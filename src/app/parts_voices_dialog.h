// parts_voices_dialog.h: the Parts and Voices dialog, which shows how the voices lie on staves
// at the insertion point and changes that layout from there on; and moving a voice to the
// staff above or below.
//
// The dialog keeps one staff record (a VOICES node, fields in parts_voices.h) per staff of
// its list, chained from staff_list_head (model_services.h) in list order.
#pragma once

#include <cstdint>

#include "app/app_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"

inline constexpr int PARTS_VOICES_DIALOG = 140;

// Items of the dialog.
inline constexpr int PV_OK = 1, PV_CANCEL = 2, PV_LIST = 4;
inline constexpr int PV_NEW_PART = 5, PV_DELETE_PART = 6, PV_RENAME_PART = 7;
inline constexpr int PV_START_VOICE = 8, PV_END_VOICE = 9, PV_PRECEDING = 10;
inline constexpr int PV_JOIN = 11, PV_SPLIT = 12, PV_MOVE = 13, PV_DONT_PRINT = 14;
inline constexpr int PV_LINES = 16, PV_SIZE = 19;
inline constexpr int PV_TAB_NONE = 22, PV_TAB_2 = 23, PV_TAB_1 = 24;
inline constexpr int PV_PIANO_RIGHT = 25, PV_PIANO_LEFT = 26;
inline constexpr int PV_BY_VOICE = 27;
inline constexpr int PV_FIRST_STEM = 28;  // up/down radio pairs 28/29 .. 36/37
inline constexpr int PV_FIRST_NAME = 38;  // names of the staff's voices 1 to 5: 38 .. 42
inline constexpr int PV_LATER_TOO = 43, PV_LATER_TOO_LABEL = 44;
inline constexpr int PV_SHOWN_VOICES = 5;  // voices of a staff whose stems the dialog sets

// The dialog's filter: Return and Enter give item 1, Escape item 2; Tab selects the next staff
// (from the last the first) and gives item 4, as does a click the staff list takes.
bool parts_voices_list_filter(DialogRef dialog, EventRecord* event, int* item);

// A row of the staff list: "Staff n:  " (an en dash for a staff that does not print) and the
// display names of its voices joined by ",". dst holds at least 256 bytes.
void staff_list_text(Drosa record, char* dst);

// Selects the record in the list, enables the buttons that apply to it (t: the dialog's time
// in its system) and shows its settings.
void show_selected_staff(DialogRef dialog, Drosa record, int32_t t);
// Reads the shown settings into the record; 0 (after a message) when an entry is refused.
int read_staff_settings(DialogRef dialog, Drosa record);
// Shows the stem-direction items of the record's voices; the Don't Print state.
void show_staff_settings(DialogRef dialog, Drosa record);
void set_dont_print_items(DialogRef dialog, Drosa record);

// apply_staff_to_voice: writes, with undo, the PRINT of the record's voice `index` (with no
// record: of voice `index`, unlisted, not printed) before the chord `at`; with `rest` the
// voice's later PRINTs of this context go. A staff size or tablature differing from the
// voice's earlier PRINTs may be applied to all of them after a question.
// Reads:  the staff list, the voice list, last_pstaff. Writes: PRINT nodes (with undo),
//         DrosaDirty, the view flags.
void apply_staff_to_voice(Drosa record, int index, Drosa at, int rest);
// The visible PRINT among the nodes attached before a chord's first note; NIL when none.
// Failure: level 4 "Not at start of chord in find_PRINT_before_note: %0lx"; the search goes on.
Drosa find_PRINT_before_note(Drosa chord);

// move_voice_to_adjacent_staff: the note's voice prints on the staff above (up) or below from
// the note's chord on, until a staff change of its own that the user keeps; nothing happens
// when there is no staff on that side.
// Reads:  the voice lists. Writes: PRINT nodes (with undo), DrosaDirty, the view flags.
void move_voice_to_adjacent_staff(Drosa note, int up);
// The same for the staff below and the staff above (the Voice menu's commands).
void move_voice_down_a_staff(Drosa note);
void move_voice_up_a_staff(Drosa note);
