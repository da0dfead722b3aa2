// app_hooks.cpp: the subsystems connected at start-up, and what the frame lends the model and
// the layout engine: the cursor, the window title, what follows when a piece is read or let go
// of, and the poll through which a format gives way to the user.
//
// A format stops for a mouse-down in the menu bar, the front music window or the palette, an
// arrow key, a Command-key menu shortcut, a key the piano window takes, any event in an
// annotation mode, or keys waiting to be entered from the piano; the formatter itself decides
// the rest (whether it may be interrupted at all, and what an event it lets pass does).
#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "app/event_loop.h"
#include "app/parts_voices_dialog.h"
#include "app/view_frames.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/events.h"

namespace {

// At each poll: the text caret, the flash, a step of playback and the cursor it asks for.
void format_idle() {
  if (MODE == TEXT_MODE) text_idle();
  if (flashing_node) flash_idle();
  adjust_cursor(play_music(0, 0));
}

// Keys waiting to be entered from the piano stop the format; the main loop enters them.
bool input_stops_format() { return MODE == MUSIC_MODE && !group_selected && piano_input_waiting(); }

bool is_arrow_key(uint8_t c) { return c >= KEY_LEFT && c <= KEY_DOWN; }

// Whether a waiting mouse-down or key must stop the format.
bool event_stops_format(const EventRecord& event) {
  if (MODE != MUSIC_MODE) return true;
  if (event.what == EVENT_MOUSE_DOWN) {
    int window = 0;
    int part = find_window_part(event, &window);
    if (part == IN_MENU_BAR) return true;
    return part == IN_CONTENT && ((window == MAIN_WINDOW_NUMBER && window == front_window()) ||
                                  (palette_window && window == palette_window));
  }
  uint8_t c = event_char(event);
  if (is_arrow_key(c)) return true;
  if (event.modifiers & MOD_COMMAND) {
    update_menus(0);
    return menu_key_maps(c) != 0;
  }
  return piano_key_equivalent(event, 0) != 0;
}

// The piece's header was read into the current view: its page image for the current
// context's page size and scale, the window's title for a file, and the piano palette. 0 when
// the page image cannot be made.
int piece_header_read(bool from_file) {
  const int c = current_ncontext;
  if (!offscreen_create(options_float(c, OPTIONS_SCALE), options_i32(c, OPTIONS_PAGE_WIDTH),
                        options_i32(c, OPTIONS_PAGE_HEIGHT), 0, 1))
    return 0;
  if (from_file) display_win_title(2, nullptr);
  draw_piano_window();
  return 1;
}

// The piece opened in the current view: its page prepared, the insertion point at its start.
void piece_opened(bool only_to_print) {
  prepare_piece(only_to_print);
  cursor_to_time(-1, -1, 0.0);
}

void register_app_hooks() {
  model_hooks.set_cursor.routine = set_cursor;
  model_hooks.display_win_title.routine = display_win_title;
  model_hooks.save_cursor.routine = save_cursor;
  model_hooks.restore_cursor.routine = restore_cursor;
  model_hooks.update_menus.routine = update_menus;
  model_hooks.use_sonata_font.routine = [] { return prefs.use_sonata_font(); };
  model_hooks.use_simplified_notation.routine = [] { return prefs.use_simplified_notation(); };
  model_hooks.music_font_number.routine = [](int slot) { return music_font_numbers[slot]; };
  param_hooks.do_menu_item.routine = do_menu_item;
  model_hooks.debug_modifier_down.routine = debug_modifier_down;
  model_hooks.quit_program.routine = [](int write_prefs) { quit_program(write_prefs); };
  model_hooks.version_string.routine = []() -> const char* { return version_string; };
  model_hooks.version_suffix.routine = [] { return version_suffix; };
  model_hooks.quiet_convert_flag.routine = [] { return quiet_convert_flag; };
  model_hooks.save_file_dialog.routine = save_file_dialog;
  model_hooks.piece_header_read.routine = piece_header_read;
  model_hooks.piece_opened.routine = piece_opened;
  model_hooks.clear_current_piece.routine = clear_current_piece;
  model_hooks.shift_or_option_down.routine = shift_or_option_down;
  model_hooks.open_dialog_in_front.routine = open_dialog_in_front;
  model_hooks.close_dialog_in_front.routine = close_dialog_in_front;
  model_hooks.staff_list_text.routine = staff_list_text;
  layout_hooks.update_window.routine = update_window;
  layout_hooks.format_idle.routine = format_idle;
  layout_hooks.input_stops_format.routine = input_stops_format;
  layout_hooks.event_stops_format.routine = event_stops_format;
}

}  // namespace

void connect_subsystems() {
  register_app_hooks();
  register_view_frame_hooks();
  register_param_hooks();
  register_layout_hooks();
  register_ge_hooks();
  register_anno_hooks();
  register_editing_hooks();
  register_performance_hooks();
  register_musicxml_hooks();
}
