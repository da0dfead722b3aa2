// list_box.h: single-column list boxes drawn in a dialog's port.
//
// Rows hold 8-bit text and are drawn in a font and size the program chooses, with a
// vertical scroll bar 16 pixels wide right of the view. The program passes clicks on the
// list to list_box_click; the box keeps its own selection and scroll position.
#pragma once

#include <cstdint>
#include <string>

#include "platform/geometry.h"

struct Port;
struct ListBox;

enum ListSelection {
  LIST_ONLY_ONE,  // a click selects the row clicked and only it
  LIST_TOGGLE,    // a click with Shift toggles the row clicked and leaves the others
};

// A list of `rows` rows of `row_height` pixels shown in `view` of the port, with a scroll bar
// along its right side (outside the view). Drawing is off until turned on.
ListBox* list_box_new(Port* port, Rect view, int rows, int row_height);
void list_box_dispose(ListBox* list);

Rect list_box_view(const ListBox* list);
int list_box_rows(const ListBox* list);
int list_box_row_height(const ListBox* list);
int list_box_visible_rows(const ListBox* list);

void list_box_set_selection(ListBox* list, ListSelection mode);
void list_box_set_text_style(ListBox* list, int font_number, int size);
void list_box_set_cell(ListBox* list, int row, const std::string& text);
std::string list_box_cell(const ListBox* list, int row);

void list_box_select(ListBox* list, int row, bool selected);
bool list_box_selected(const ListBox* list, int row);
// The first selected row at or after `from`, or -1.
int list_box_next_selected(const ListBox* list, int from);

// The row shown at the top of the view; scrolling is clamped to the rows.
int list_box_top_row(const ListBox* list);
void list_box_scroll(ListBox* list, int rows);
// Scrolls so that the first selected row is in view.
void list_box_auto_scroll(ListBox* list);

// While drawing is off, changes are not drawn; turning it on draws the list.
void list_box_set_drawing(ListBox* list, bool on);
// Draws the rows and the scroll bar (the program frames the list itself).
void list_box_update(ListBox* list);

// A click at a point of the port (with the event's modifiers): in the view it selects by the
// list's selection rules; in the scroll bar it scrolls by a row (arrows) or a page. Returns
// true for the second click of a double click on the same row.
bool list_box_click(ListBox* list, Point where, uint16_t modifiers, uint32_t when);
