// cursors.cpp: cursors by id over the platform's cursor shapes.
#include "app/cursors.h"

#include "app/app_globals.h"
#include "platform/cursors.h"
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

int debug_modifier_down() { return (platform_modifiers() & MOD_EITHER_SHIFT) != 0; }

int shift_or_option_down() {
  return (platform_modifiers() & (MOD_EITHER_SHIFT | MOD_EITHER_OPTION)) != 0;
}
