// cursors.cpp: cursors by id over the platform's cursor shapes, and the cursor and the port while
// a dialog stands in front.
#include "app/cursors.h"

#include "app/app_globals.h"
#include "model/model_services.h"
#include "platform/cursors.h"
#include "platform/dialogs.h"
#include "platform/events.h"

void set_cursor(int32_t id) {
  switch (id) {
    case CURSOR_ID_ARROW:
      platform_show_cursor(CURSOR_ARROW);
      break;
    case CURSOR_ID_IBEAM:
      platform_show_cursor(CURSOR_IBEAM);
      break;
    case CURSOR_ID_WATCH:
      platform_show_cursor(CURSOR_WATCH);
      break;
    case CURSOR_ID_FORMATTING:
      platform_show_cursor(CURSOR_FORMATTING);
      break;
    default:
      break;
  }
  current_cursor_id = id;
}

void save_cursor() {
  saved_cursor_id = current_cursor_id;
  current_cursor_id = 0;
}

void restore_cursor() { set_cursor(saved_cursor_id); }

DialogRef open_dialog_in_front(int id) {
  save_cursor();
  set_cursor(CURSOR_ID_ARROW);
  DialogRef dialog = platform_open_dialog(id, true);
  if (!dialog) {
    restore_cursor();
    REPORT_ERROR(4, "Dialog %d cannot be opened", id);
  }
  return dialog;
}

void close_dialog_in_front(DialogRef dialog) {
  platform_close_dialog(dialog);
  restore_cursor();
}

DialogRun::DialogRun(int id, int32_t cursor) {
  save_cursor();
  set_cursor(cursor);
  dialog = platform_open_dialog(id, true);
  saved_port_ = platform_current_port();
  if (dialog)
    platform_set_port(platform_dialog_port(dialog));
  else
    REPORT_ERROR(4, "Dialog %d cannot be opened", id);
}

DialogRun::~DialogRun() {
  if (dialog) platform_close_dialog(dialog);
  platform_set_port(saved_port_);
  restore_cursor();
}

int DialogRun::next_item(ModalFilter filter) {
  return platform_modal_dialog(dialog, filter ? filter : dialog_key_filter);
}

int debug_modifier_down() { return (platform_modifiers() & MOD_EITHER_SHIFT) != 0; }

int shift_or_option_down() {
  return (platform_modifiers() & (MOD_EITHER_SHIFT | MOD_EITHER_OPTION)) != 0;
}
