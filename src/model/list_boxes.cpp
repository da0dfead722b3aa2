// list_boxes.cpp: dialog list boxes.
//
// A plain click in a multiple-selection list adds or removes one row without clearing the
// others: the click is passed on with Shift added.
#include "model/list_boxes.h"

#include <cstdio>
#include <string>

#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/parts_voices.h"
#include "model/voice_lists.h"
#include "platform/fonts.h"
#include "platform/port.h"

namespace {

// Rows are drawn in the system font (the desktop's sans-serif stand-in) at size 12.
constexpr int LIST_FONT = FONT_SYSTEM;
constexpr int LIST_FONT_SIZE = 12;
constexpr int CONTEXT_SLOT = 22;  // bytes of one numbered context row

// Numbered context rows, one static slot per context.
char context_rows[MAX_NCONTEXTS + 1][CONTEXT_SLOT];

struct ListContents {
  std::vector<std::string> rows;
  int selected = 0;  // -1 none
};

void fill_parts(ListContents& c, bool all_voices) {
  list_part_first_voices(all_voices);
  for (int i = 0; i < part_first_voice_count; ++i)
    c.rows.push_back(voice_part_name(part_first_voices[i]));
}

void fill_contexts(ListContents& c, bool numbered) {
  for (int n = 1; n <= ncontext_count && n <= MAX_NCONTEXTS; ++n) {
    if (numbered) {
      std::snprintf(context_rows[n], CONTEXT_SLOT, "%2d: %s", n, ncontext_name_of(n));
      c.rows.push_back(context_rows[n]);
    } else {
      c.rows.push_back(ncontext_name_of(n));
    }
  }
  c.selected = current_ncontext - 1;
}

void fill_staff_records(ListContents& c, const Drosa* select) {
  char text[256];
  c.selected = -1;
  int row = 0;
  for (Drosa record = staff_list_head; record; record = record->xnext, ++row) {
    model_hooks.staff_list_text(record, text);
    c.rows.push_back(text);
    if (select && *select == record) c.selected = row;
  }
  if (c.rows.empty() || (select && *select == staff_list_head)) c.selected = 0;
}

// The rows and initial selection of a list type; false for an unknown type.
bool list_contents(short type, const Drosa* select, ListContents& c) {
  switch (type) {
    case 1:
    case 4:
      fill_parts(c, type == 1);
      return true;
    case 2:
    case 3:
      fill_contexts(c, type == 3);
      return true;
    case 5:
    case 6:
      c.selected = model_hooks.parameter_list_rows(type, &c.rows);
      return true;
    case 7:
      fill_staff_records(c, select);
      return true;
    default:
      return false;
  }
}

void reset_text_style() {
  text_font(0);
  text_size(0);
  text_face(FACE_PLAIN);
}

}  // namespace

ListBox* list_create(short list_type, Rect item_rect, bool multiple, Drosa* select) {
  ListContents contents;
  if (!list_contents(list_type, select, contents)) {
    REPORT_ERROR(4, "Unrecognized list_type in list_create");
    return nullptr;
  }
  Rect view = item_rect;
  view.right -= LIST_SCROLL_BAR;
  int visible = view.height() / LIST_ROW_HEIGHT;
  view.bottom -= view.height() - LIST_ROW_HEIGHT * visible;

  int rows = int(contents.rows.size());
  ListBox* list = list_box_new(platform_current_port(), view, rows, LIST_ROW_HEIGHT);
  list_box_set_selection(list, multiple ? LIST_TOGGLE : LIST_ONLY_ONE);
  list_box_set_text_style(list, LIST_FONT, LIST_FONT_SIZE);
  for (int r = 0; r < rows; ++r) list_box_set_cell(list, r, contents.rows[r]);

  int selected = contents.selected;
  if (selected >= 0 && selected < rows) {
    list_box_select(list, selected, true);
    if (selected >= visible) list_box_scroll(list, selected - visible / 2);
  }
  text_font(LIST_FONT);
  text_size(LIST_FONT_SIZE);
  list_box_set_drawing(list, true);
  reset_text_style();
  return list;
}

void list_draw(ListBox* list) {
  if (!list) return;
  Rect view = list_box_view(list);
  text_font(LIST_FONT);
  text_size(LIST_FONT_SIZE);
  list_box_update(list);
  reset_text_style();
  Rect frame = outset_rect(view, 1);
  frame.right += LIST_SCROLL_BAR - 1;
  frame_rect(frame);
}

bool list_click(EventRecord* event, ListBox* list) {
  if (!list || event->what != EVENT_MOUSE_DOWN) return false;
  Point where = event->where;  // already in the dialog's content coordinates
  Rect view = list_box_view(list);
  Rect area = {view.left, view.top - 1, view.right + LIST_SCROLL_BAR, view.bottom + 1};
  if (!area.contains(where)) return false;
  text_font(LIST_FONT);
  text_size(LIST_FONT_SIZE);
  int last_row_bottom = view.top - 1 + list_box_rows(list) * list_box_row_height(list);
  if (where.y <= last_row_bottom)
    list_box_click(list, where, uint16_t(event->modifiers | MOD_SHIFT), event->when);
  reset_text_style();
  return true;
}

void list_dispose(ListBox* list) {
  if (list) list_box_dispose(list);
}
