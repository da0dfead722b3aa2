// dialog_items.h: typed access to the items of modal dialogs: numbers read and written with
// range checks and fixed messages, highlighting, moving, hiding and showing items, pop-up
// menus, and the first drawing of a dialog.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/geometry.h"

// Highlight operations of invert_item.
inline constexpr int INVERT_ITEM = 777;      // inverts the rectangle
inline constexpr int LIGHT_GRAY_ITEM = 888;  // light-gray pattern, exclusive-or

// An item of a dialog (what the routines below hand back as an item's control).
struct ItemRef {
  DialogRef dialog;
  int item;
};

ItemRef get_item_handle(DialogRef dialog, int item);
// The rectangle of the item of the dialog that owns the current port.
Rect* get_item_in_window(Rect* rect, int item);

// The item as a radio button or a check box; an item of another kind is reported and
// handed back all the same.
ItemRef get_radio_item(DialogRef dialog, int item);
ItemRef get_check_item(DialogRef dialog, int item);

// Fills a pop-up menu with list[1], list[2], ... up to the first null entry.
void fill_popup_menu(DialogRef dialog, int item, const char* const* list);
