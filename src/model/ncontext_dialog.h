// ncontext_dialog.h: the notation-context dialog, where the user creates, names, deletes and
// reorders notation contexts and chooses the parts each one shows; and the dialog that asks
// which contexts a command is to act on.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"
#include "platform/events.h"

inline constexpr int NCONTEXT_DIALOG = 26757;
inline constexpr int CHOOSE_CONTEXTS_DIALOG = 9385;

// Items of the notation-context dialog.
inline constexpr int NCONTEXT_DONE = 1, NCONTEXT_NAME = 2, NCONTEXT_PARTS = 3;
inline constexpr int NCONTEXT_LIST = 7, NCONTEXT_NEW = 9, NCONTEXT_DELETE = 10;
inline constexpr int NCONTEXT_MOVE = 12;

// Items of the choose-contexts dialog.
inline constexpr int CHOOSE_LIST = 4, CHOOSE_ALL = 5, CHOOSE_NONE = 6, CHOOSE_CHECK = 7;

// ncontext_dialog: runs the notation-context dialog until Done. Every change is made on the
// voice lists at once; choosing a context switches to it. On Done the current context's page
// is prepared and the insertion point goes to the start of `measure`, whose page is shown.
// Reads:  the voice lists, the contexts and their records, selected_voice.
// Writes: current_ncontext, ncontext_count, ncontext_name, options_struct, print_record, the
//         voice lists (PRINT and ENDSYST nodes of contexts, node contexts), DrosaDirty, the
//         page, the page image, insertion_point, selected_voice; the undo and redo histories
//         are discarded when the voice lists changed.
// Failure: refusals are level-2 messages after which the dialog stays; a dialog that cannot
//          be opened is a level-4 report and nothing changes.
void ncontext_dialog(int32_t measure);

// The dialog's filter: Return and Enter give item 1, Escape item 2; a click taken by the
// parts list gives item 3, one taken by the contexts list item 7; Tab moves the contexts
// list's selection to the next context (from the last to the first) and gives item 7.
bool ncontext_dialog_filter(DialogRef dialog, EventRecord* event, int* item);

// Selects in the open dialog's parts list exactly the parts the current context shows.
// Reads: parts_list_handle, the voice lists.
void ncontext_list_select();

// choose_contexts_dialog: asks which notation contexts a command is to act on. `chosen` has an
// entry per context from 1 (at least ncontext_count + 1 bytes); after OK each entry is 1 for
// a chosen context and 0 otherwise, and the result is 1 when any was chosen. With one
// context and no check box nothing is asked: the current context is chosen. `check_value`
// (may be null) receives the check box's state after OK; without it the box is hidden.
// Cancel returns 0 and leaves `chosen` as it was.
// Reads: ncontext_count, current_ncontext, ncontext_name. Writes: choose_contexts_list (while
//        open), the cursor (restored).
int choose_contexts_dialog(const char* question, int* check_value, uint8_t* chosen);

// Its filter: Return and Enter give item 1, Escape item 2, a click taken by the list item 4.
bool choose_contexts_filter(DialogRef dialog, EventRecord* event, int* item);
