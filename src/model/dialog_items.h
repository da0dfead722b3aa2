// dialog_items.h: typed access to the items of modal dialogs: numbers read and written with
// range checks and fixed messages, highlighting, moving, hiding and showing items, pop-up
// menus, and the first drawing of a dialog.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/geometry.h"

// What a typed getter returns when no acceptable value was typed.
inline constexpr int32_t BAD_LONG_ITEM = INT32_MIN;  // 0x80000000
inline constexpr double BAD_DOUBLE_ITEM = 2147483648.0;

// Highlight operations of invert_item.
inline constexpr int INVERT_ITEM = 777;      // inverts the rectangle
inline constexpr int LIGHT_GRAY_ITEM = 888;  // light-gray pattern, exclusive-or
inline constexpr int GRAY_OUT_ITEM = 999;    // gray pattern, bit-clear

// An item of a dialog (what the routines below hand back as an item's control).
struct ItemRef {
  DialogRef dialog;
  int item;
};

ItemRef get_item_handle(DialogRef dialog, int item);
// The rectangle of the item of the dialog that owns the current port.
Rect* get_item_in_window(Rect* rect, int item);
// Makes the item's control active (flag non-zero) or inactive.
void enable_item(DialogRef dialog, int item, int flag);
// Return and Enter choose item 1 and Escape item 2 on a key-down (not on auto-key).
bool dialog_key_filter(DialogRef dialog, EventRecord* event, int* item);

// The item as a radio button or a check box; an item of another kind is reported and
// handed back all the same.
ItemRef get_radio_item(DialogRef dialog, int item);
ItemRef get_check_item(DialogRef dialog, int item);

void set_long_item(DialogRef dialog, int item, int32_t value);
void set_hex_item(DialogRef dialog, int item, int32_t value);
void set_double_item(DialogRef dialog, int item, double value);

// The one integer typed, when it lies in low..high; else BAD_LONG_ITEM, after telling the
// user (when name is not null) what to type instead.
int32_t get_long_item(DialogRef dialog, int item, const char* name, int32_t low, int32_t high);
int32_t get_hex_item(DialogRef dialog, int item, const char* name, int32_t low, int32_t high);
// The number typed (with second given: "first,second", the second stored unchecked); else
// BAD_DOUBLE_ITEM, after telling the user when name is not null.
double get_double_item(DialogRef dialog, int item, const char* name, double low, double high,
                       double* second);

// The value with five decimals, trailing zeros and then a trailing point removed.
void format_float_trimmed(double value, char* out, size_t size);

void invert_item(DialogRef dialog, int item, int outset, int operation);
// Draws the dialog when it needs it (with the prompt as ^0 when given, and the extra
// drawing), and makes item 1 the default and item 2 the cancel item.
void draw_dialog_frame(DialogRef dialog, void (*draw_extra)(), const char* prompt);
void move_dialog_control(DialogRef dialog, int item, int left, int top);
// Hides an item by moving it 500 pixels down, shows it by moving it back.
void show_hide_item(DialogRef dialog, int item, int show);
// Fills a pop-up menu with list[1], list[2], ... up to the first null entry.
void fill_popup_menu(DialogRef dialog, int item, const char* const* list);
