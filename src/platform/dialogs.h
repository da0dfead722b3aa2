// dialogs.h: modal dialogs and alerts loaded by resource number from the program's own
// tables, with numbered items.
//
// A dialog is a model (its items with kind, rectangle, text, value, highlight) and a port on
// which its background, static texts and user items are drawn. On a display the model is
// shown as a window with native buttons, check boxes, radio buttons, edit fields and pop-up
// menus; in scripted mode (tests) nothing is shown and answers come from the script
// (script.h). The program's code sees the same model either way.
//
// Item 1 is the default item (Return, Enter) and item 2 the cancel item (Escape), unless the
// program names others.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/geometry.h"

struct Dialog;
struct Port;
using DialogRef = Dialog*;

// Item kinds, with the numbers the program compares against.
enum ItemKind : int16_t {
  ITEM_USER = 0,  // drawn by the program; a click on it is an item hit; hosts list boxes
  ITEM_BUTTON = 4,
  ITEM_CHECK_BOX = 5,
  ITEM_RADIO = 6,
  ITEM_POPUP = 7,        // a pop-up menu; its value is the chosen entry, from 1
  ITEM_STATIC_TEXT = 8,  // ^0..^3 in its text are replaced by the parameter texts
  ITEM_EDIT_TEXT = 16,
  ITEM_DISABLED = 128,  // added to a kind: clicks on the item are not item hits
};

enum AlertKind : int16_t {
  ALERT_NONE = 0,  // an ordinary dialog
  ALERT_NOTE,
  ALERT_CAUTION,
  ALERT_STOP,
  ALERT_PLAIN,
};

// One item of a dialog table.
struct DialogItemSpec {
  int16_t kind;
  Rect rect;         // in the dialog's content, 72-dpi points
  const char* text;  // title of a control, text of a static or edit text; UTF-8 in the table
};

// One dialog or alert of the program's tables.
struct DialogSpec {
  int16_t id;
  AlertKind alert;
  const char* title;
  Rect bounds;                        // size of the content
  std::vector<DialogItemSpec> items;  // item 1 first
  int16_t default_item = 1;           // hit by Return and Enter (0 none)
  int16_t cancel_item = 2;            // hit by Escape (0 none)
};

// The table of a dialog or alert number, or nullptr when there is none.
const DialogSpec* platform_dialog_spec(int id);

// ---- Parameter texts ------------------------------------------------------------------
// The texts that replace ^0..^3 in static texts (8-bit Mac OS Roman, at most 255 bytes each).
void platform_set_param_texts(const std::string& p0, const std::string& p1, const std::string& p2,
                              const std::string& p3);
std::string platform_param_text(int index);  // ^index, for 0..3

// ---- Opening and closing --------------------------------------------------------------
// Opens the dialog of that number in front of every window (hidden until shown when `show`
// is false); nullptr when the number has no table.
DialogRef platform_open_dialog(int id, bool show);
void platform_show_dialog(DialogRef dialog);
void platform_close_dialog(DialogRef dialog);
// Appends the items of table `list_id` below the dialog's content, numbered after its own;
// the dialog grows by the table's height. False when there is no such table.
bool platform_append_dialog_items(DialogRef dialog, int list_id);
// Lets input reach one other window of the program while the dialog is up (the piano window,
// played while recording); the dialog holds back the others as before. 0 admits none.
void platform_dialog_admit_window(DialogRef dialog, int window);
// The window number its events carry in EventRecord::window.
int platform_dialog_window(DialogRef dialog);
Port* platform_dialog_port(DialogRef dialog);
// The dialog whose port this is, or nullptr.
DialogRef platform_dialog_of_port(const Port* port);
int platform_item_count(DialogRef dialog);
// The item of a native control (button, check box, radio button, pop-up) the user hit since
// the last call, 0 none. A dialog run by the program's own loop rather than
// platform_modal_dialog takes such hits here: they come as no mouse-down event.
int platform_take_dialog_hit(DialogRef dialog);
// A key typed while such a dialog is up goes into its edit field with the caret (Tab moves
// the caret to the next field): the field's item, 0 when none took it. Return, Enter and
// Escape are left to the caller.
int platform_dialog_key(DialogRef dialog, const EventRecord& event);

// ---- Items ------------------------------------------------------------------------------
int platform_item_kind(DialogRef dialog, int item);  // with ITEM_DISABLED added when disabled
Rect platform_item_rect(DialogRef dialog, int item);
void platform_set_item_rect(DialogRef dialog, int item, Rect rect);
// platform_fit_text_item: a static text made as tall as its text needs, with the parameter
// texts set now, never shorter: the items below it move down and the dialog grows as much.
void platform_fit_text_item(DialogRef dialog, int item);
// An item's text, Mac OS Roman: at most 255 bytes, or 32000 in an edit item tall enough for
// several lines (longer texts are cut).
std::string platform_item_text(DialogRef dialog, int item);
// The first character typed or pasted into an edit item that Mac OS Roman cannot hold, as
// UTF-8 (it stands as '?' in the item's text); empty when there is none, and after the
// program sets the text.
std::string platform_item_refused_text(DialogRef dialog, int item);
void platform_set_item_text(DialogRef dialog, int item, const std::string& text);
void platform_select_item_text(DialogRef dialog, int item, int start, int end);  // and focus it
int platform_focus_item(DialogRef dialog);            // the edit item with the caret, 0 none
int platform_item_value(DialogRef dialog, int item);  // check boxes, radio buttons, pop-ups
void platform_set_item_value(DialogRef dialog, int item, int value);
int platform_item_hilite(DialogRef dialog, int item);  // 0 active, 255 inactive
void platform_set_item_hilite(DialogRef dialog, int item, int hilite);
// Sets a control's title (buttons, check boxes, radio buttons).
void platform_set_control_title(DialogRef dialog, int item, const std::string& title);

// Pop-up menus.
void platform_popup_clear(DialogRef dialog, int item);
void platform_popup_append(DialogRef dialog, int item, const std::string& text);
int platform_popup_count(DialogRef dialog, int item);
std::string platform_popup_text(DialogRef dialog, int item, int entry);  // entry from 1

// The routine that draws a user item (called with the dialog's port current).
using UserItemProc = void (*)(DialogRef dialog, int item);
void platform_set_user_item_proc(DialogRef dialog, int item, UserItemProc proc);

void platform_set_default_item(DialogRef dialog, int item);
void platform_set_cancel_item(DialogRef dialog, int item);

// ---- Drawing and updates ----------------------------------------------------------------
// True when part of the dialog needs drawing (it has just opened, or was uncovered, or a
// rectangle of it was invalidated).
bool platform_dialog_needs_update(DialogRef dialog);
void platform_invalidate_dialog_rect(DialogRef dialog, Rect rect);
// Brackets drawing in answer to an update; ending it clears the need.
void platform_begin_update(DialogRef dialog);
void platform_end_update(DialogRef dialog);
// Draws every item (static texts with the parameter texts, user items through their
// routines) in the dialog's port.
void platform_draw_dialog(DialogRef dialog);
// Writes the dialog as the user sees it (on a display: its window with the native widgets;
// else its port) as a PNG file; false on failure.
bool platform_dialog_save_png(DialogRef dialog, const char* path);

// ---- The modal loop -----------------------------------------------------------------------
// A filter sees every event before the dialog does; it returns true with *item set when it
// has decided the item hit.
using ModalFilter = bool (*)(DialogRef dialog, EventRecord* event, int* item);

// Runs the dialog until an item is hit and returns it. Events go first to the filter; then
// Return and Enter hit the default item, Escape the cancel item, Tab moves to the next edit
// field, typing goes to the focused edit field, and a click on an enabled button, check
// box, radio button, pop-up (after choosing) or user item hits that item. Check boxes and
// radio buttons do not change their value by themselves: the program sets it.
int platform_modal_dialog(DialogRef dialog, ModalFilter filter);

// ---- Alerts -------------------------------------------------------------------------------
// Shows the alert of that number with the parameter texts and returns the item hit, or -1
// when it cannot be shown (no table, or the script says so).
int platform_alert(int id);
