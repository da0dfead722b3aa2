// ncontext_dialog.h: the notation-context dialog, where the user creates, names, deletes and
// reorders notation contexts and chooses the parts each one shows; and the dialog that asks
// which contexts a command is to act on.
#pragma once

#include <cstdint>

#include "app/app_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"

inline constexpr int NCONTEXT_DIALOG = 26757;
inline constexpr int CHOOSE_CONTEXTS_DIALOG = 9385;

inline constexpr int NCONTEXT_MOVE = 12;

// The dialog's filter: Return and Enter give item 1, Escape item 2; a click taken by the
// parts list gives item 3, one taken by the contexts list item 7; Tab moves the contexts
// list's selection to the next context (from the last to the first) and gives item 7.
bool ncontext_dialog_filter(DialogRef dialog, EventRecord* event, int* item);

// Selects in the open dialog's parts list exactly the parts the current context shows.
// Reads: parts_list_handle, the voice lists.
void ncontext_list_select();

// Its filter: Return and Enter give item 1, Escape item 2, a click taken by the list item 4.
bool choose_contexts_filter(DialogRef dialog, EventRecord* event, int* item);
