// dialog_table_items.h: what the dialog tables are built of: an item of each kind, the size of a
// button, and the row of buttons along the foot of a dialog, OK and Cancel at its right.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"

inline constexpr int BUTTON_W = 78, BUTTON_H = 20, BUTTON_GAP = 18, MARGIN = 16;

inline DialogItemSpec button(Rect r, const char* title) { return {ITEM_BUTTON, r, title}; }
inline DialogItemSpec label(Rect r, const char* text) { return {ITEM_STATIC_TEXT, r, text}; }
inline DialogItemSpec edit(Rect r) { return {ITEM_EDIT_TEXT, r, ""}; }
inline DialogItemSpec check(Rect r, const char* title) { return {ITEM_CHECK_BOX, r, title}; }
inline DialogItemSpec radio(Rect r, const char* title) { return {ITEM_RADIO, r, title}; }
inline DialogItemSpec popup(Rect r) { return {ITEM_POPUP, r, ""}; }
inline DialogItemSpec user(Rect r) { return {ITEM_USER, r, ""}; }

// A button of the row at `top` along the foot of a dialog `width` wide: slot 0 is the rightmost.
inline Rect button_slot(int width, int top, int slot) {
  const int right = width - MARGIN - slot * (BUTTON_W + BUTTON_GAP);
  return {right - BUTTON_W, top, right, top + BUTTON_H};
}

// A dialog `width` by `height` with OK (1, titled `ok`) and Cancel (2) at the right of its foot.
inline DialogSpec dialog_with_buttons(int16_t id, const char* title, int width, int height,
                                      const char* ok = "OK") {
  DialogSpec spec{id, ALERT_NONE, title, {0, 0, width, height}, {}};
  const int top = height - 12 - BUTTON_H;
  spec.items.push_back(button(button_slot(width, top, 0), ok));
  spec.items.push_back(button(button_slot(width, top, 1), "Cancel"));
  return spec;
}
