// list_boxes.h: the list boxes of the program's dialogs, filled from the piece or the
// parameter table.
#pragma once

#include "model/drosa.h"
#include "platform/events.h"
#include "platform/geometry.h"
#include "platform/list_box.h"

// List kinds: 1 parts (first voices), 2 notation-context names, 3 numbered notation
// contexts, 4 printed parts, 5 parameter headings, 6 parameters of the selected heading,
// 7 staff records of the Parts and Voices dialog.
inline constexpr int LIST_ROW_HEIGHT = 14;
inline constexpr int LIST_SCROLL_BAR = 16;

// Makes, fills, selects, scrolls and shows a list of that type over the item rectangle in
// the dialog of the current port. `select` is the staff record to select (type 7 only).
// nullptr for an unknown type.
ListBox* list_create(short list_type, Rect item_rect, bool multiple, Drosa* select);

// Redraws the list and frames it (the frame encloses the scroll bar).
void list_draw(ListBox* list);

// True when the event is a mouse-down on the list (its view, scroll bar or a one-pixel
// margin above and below), after passing it to the list.
bool list_click(EventRecord* event, ListBox* list);

void list_dispose(ListBox* list);
