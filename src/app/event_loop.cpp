// event_loop.cpp: the main loop and the dispatch of events.
//
// Each pass of the loop takes at most one event without waiting for it. A pass that handled
// no event, did no piano-window work and left nothing to reformat, while nothing records,
// ends in a wait of up to 6 ticks (1 while a piece plays) that returns as soon as an event
// arrives: the program sleeps in the window system's wait, never in a polling loop. A page an edit
// left out of date is reformatted on the next pass (once: formatting clears the pending flag); an
// interrupted format stays pending and runs again after the event that interrupted it.
//
// Quitting from the window system (the quit event) and from the menus takes the same path:
// every view is closed, asking to save a changed piece.
#include "app/event_loop.h"

#include <cmath>
#include <cstdlib>

#include "annotations/anno_services.h"
#include "app/app_globals.h"
#include "app/apple_events.h"
#include "app/cursors.h"
#include "app/menus.h"
#include "app/music_window.h"
#include "app/play_follow.h"
#include "app/prefs.h"
#include "app/shortcut_keys.h"
#include "console/console_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/application.h"
#include "platform/beep.h"
#include "platform/controls.h"
#include "platform/menus.h"
#include "platform/ticks.h"
#include "platform/window.h"

namespace {

constexpr uint16_t COMMAND_OR_OPTION = MOD_COMMAND | MOD_EITHER_OPTION;
constexpr uint16_t EITHER_CONTROL = MOD_CONTROL | MOD_RIGHT_CONTROL;
constexpr int IDLE_TICKS = 6;
constexpr int DOUBLE_CLICK_SLOP = 5;  // |dh| + |dv| in pixels
constexpr int DELETE_BOX = 12;        // the piano palette's delete box

// Set when the user opened a menu of the menu bar: that event's menu pass has run already.
bool menu_bar_clicked = false;

bool published() { return options_i16(1, OPTIONS_PUBLISHED) != 0; }

bool is_arrow(uint8_t c) { return c >= KEY_LEFT && c <= KEY_DOWN; }

// The note-template marks both ends of a group selection clear.
void reset_note_template() {
  Drosa t = current_note_template;
  if (!t) return;
  for (const auto& field :
       {xstacc, xtenu, xtie, xgliss, xslur, xdashtie, xdashslur, xbendtie, xbendslur, xparen, xferm,
        xaccent, xacc, xnotehead, xtremolo, xcue, xnostem, xhider, xdots})
    t->set(field, 0);
  t->set(xtupl, 1);
  t->set(xintimeof, 4);
}

// ---- Mouse-downs in the current music window -----------------------------------------------

void end_editing_for_click() {
  if (group_selected) end_group_selection(1);
  if (MODE == TEXT_MODE) text_finish(1);
}

void plain_click(const EventRecord& event, Point where, bool shift) {
  if (shift) stop_playing(0);
  set_undo_mark(0);
  if (music_click(where, event.modifiers, 0, shift) != 1) return;
  const PagePoint at{where.x, where.y};  // a window point
  if (!shift) {
    const int double_click = is_double_click_at(where, event.when);
    end_editing_for_click();
    if (double_click != note_entry_active) {
      note_entry_active = double_click;
      if (double_click) end_anno_selection(0, 1);
    }
    cursor_to_nearest_visnote(at, 1, 1, 1);
    if (insertion_point && is_visible_note(insertion_point) && MODE != MUSIC_MODE) {
      text_start(2);
      icon_update();
    }
    return;
  }
  Drosa note = find_nearest_visnote(at, 1, 1);
  if (!note) return;
  if (MODE != MUSIC_MODE) {
    if (group_selected) end_group_selection(1);  // an annotation group gives way to notes
    end_anno_selection(0, 1);
  }
  const Drosa previous = insertion_point;
  if (!group_selected) begin_group_selection();
  toggle_xselected(note, 1);
  if (is_NOTE(previous) && previous != note && !previous->get(xselected))
    toggle_xselected(previous, 1);
  refresh_from_offscreen();
  draw_piano_window();
}

void command_click(Point where) {
  end_editing_for_click();
  cursor_to_nearest_visnote(PagePoint{where.x, where.y}, 1, 1, 1);
  if (is_plotted_note(insertion_point)) {
    Rect note_rect;
    DrosaRect(insertion_point, &note_rect);
    const Point origin = scroll_origin();
    note_rect = offset_rect(note_rect, origin.x, origin.y);
    if (outset_rect(note_rect, 3).contains(where)) {
      drag_chord(where, prefs.u8(PREFS_CHORD_DRAG_TYPE));
      return;
    }
    Rect accidental_rect;
    if (node_window_rect(insertion_point, &accidental_rect) && accidental_rect.contains(where)) {
      drag_chord(where, DRAG_AMOVE);
      return;
    }
  }
  next_drag_staff(where, music_area_rect());
}

void rubber_band_click(Point where) {
  stop_playing(0);
  set_undo_mark(0);
  end_anno_selection(0, 1);
  VirtualRect r;
  if (drag_select_rect(where, &r, 1) == 3) {
    if (insertion_point) stop_flashing(insertion_point);
    insertion_point = NIL;
    note_entry_active = 0;
    inverted_selection_rect = r;
    show_selection_inverted(r);
  } else {
    inverted_selection_rect = VirtualRect{};
  }
}

void content_click(EventRecord* event) {
  const int window = music_window();
  const int front = front_window();
  if (front != window && (!palette_window || front != palette_window)) {
    platform_select_window(window);
    activate_window(nullptr);
  }
  const Point where = event->where;
  int part = PART_NONE;
  if (Control* control = platform_find_control(window, where, &part)) {
    if (control == hscroll_bar() || control == vscroll_bar())
      track_scroll_bar(control, where);
    else
      REPORT_ERROR(4, "Unrecognized control in content_click");
    return;
  }
  const Rect area = music_area_rect();
  const int rw = ruler_width(), rh = ruler_height();
  if (where.x > 0 && where.x < rw && where.y >= rh && where.y <= area.bottom) {
    drag_insertion_cursor(where.y, 1);
    return;
  }
  if (where.y > 0 && where.y < rh && where.x >= rw && where.x <= area.right) {
    drag_insertion_cursor(where.x, 0);
    return;
  }
  if (!area.contains(where) || voice_count == 0) return;
  remove_selection_marks();
  const uint16_t mods = event->modifiers;
  const bool command = mods & MOD_COMMAND, option = mods & MOD_EITHER_OPTION;
  const bool control = mods & EITHER_CONTROL, shift = mods & MOD_EITHER_SHIFT;
  if (!command && !option && !control)
    plain_click(*event, where, shift);
  else if (command && !option && !control && !shift && !published())
    command_click(where);
  else if (command && option && shift && !control && !published())
    rubber_band_click(where);
}

void mouse_down(EventRecord* event) {
  int window = 0;
  const int part = find_window_part(*event, &window);
  if (window != music_window() || !window) stop_playing(0);
  if (mouse_down_other(event, nullptr)) return;
  if (palette_window && window == palette_window) {
    piano_event(*event);
    return;
  }
  if (!window || window != music_window()) {
    // The program's own window, shown while no piece is open, has nothing to click on.
    if (music_window() && window != MAIN_WINDOW_NUMBER)
      REPORT_ERROR(4, "mouse down event for unrecognized window");
    return;
  }
  switch (part) {
    case IN_CONTENT:
      // A click on a page the play has turned to acts on that page, which stays.
      if (is_playing()) keep_play_page();
      content_click(event);
      return;
    case IN_GROW: {
      stop_playing(0);
      set_grow_limits();
      int width = 0, height = 0;
      if (!platform_grow_window(*event, grow_limits, &width, &height)) return;
      if (default_scale.negative) {
        offscreen_changesize();
        mark_views_changed(1, 2, current_ncontext);
      }
      grow_music_window(width, height);
      return;
    }
    case IN_GO_AWAY:
      stop_playing(0);
      if (!item_enabled_flags.close || !close_view(1)) return;
      copy_from_VIEW_nodes(most_recent_view());
      // Closing the last window quits the program.
      if (count_open_views() == 0) do_menu_item(FILE_MENU, FILE_QUIT, 'v');
      return;
    default:
      return;
  }
}

// ---- Keys ------------------------------------------------------------------------------------

void key_down(EventRecord* event) {
  const uint8_t c = event_char(*event);
  const uint16_t mods = event->modifiers;
  const bool command = mods & MOD_COMMAND, option = mods & MOD_EITHER_OPTION;
  const bool control = mods & EITHER_CONTROL, shift = mods & MOD_EITHER_SHIFT;
  if (is_arrow(c) && move_selection_by_key(c, option, cmd_key_down(), shift)) return;
  // Arrows that move nothing, and the page keys, scroll the page.
  if (!command && !option && !control && key_scroll(c)) return;
  const bool delete_key = c == KEY_DELETE || c == KEY_BACKSPACE;
  if (delete_key && command && !published() && !note_entry_active) {
    invert_piano_box(DELETE_BOX);
    delete_notes_command(1);
    invert_piano_box(DELETE_BOX);
    return;
  }
  if (delete_key && item_enabled_flags.clear_note && !published()) {
    do_menu_item(CLEAR_MENU, 1, 'v');
    return;
  }
  if (command && !control && !option) {
    if (const int32_t chosen = menu_key_command(c, shift)) {
      do_menu_item(int16_t(chosen >> 16), int16_t(chosen & 0xFFFF), 'v');
    } else if (c == '.') {
      if (!stop_playing(0)) do_menu_item(HEAR_MENU, 1, 'v');
    }
    return;
  }
  if (control && !command) {
    int letter = 0;
    if (shortcut_letter_of_key(event->message, &letter)) {
      const MenuCommand chosen = prefs.control_key(letter);
      // A menu not built yet has every item enabled.
      const bool enabled = platform_menu_item_count(chosen.menu) == 0 ||
                           platform_menu_item_enabled(chosen.menu, chosen.item);
      if (!chosen.menu || !enabled)
        platform_beep();
      else
        do_menu_item(chosen.menu, chosen.item, 'v');
      return;
    }
  }
  if (piano_key_equivalent(*event, 1)) return;
  if (c == '0' && command && option && shift) debug_dump_menu("");
}

}  // namespace

// ---- The main loop -------------------------------------------------------------------------

void main_event_loop() {
  for (;;) main_event_pass();
}

void main_event_pass() {
  const bool playing = play_music(0, 0) == 1;
  follow_play();
  if (insertion_point) flash_idle();
  if (MODE == TEXT_MODE) text_idle();
  adjust_cursor(playing);
  const bool busy = piano_idle(1) != 0;
  bool active = false;
  EventRecord event;
  if (platform_get_event(EVERY_EVENT, 0, &event)) {
    handle_event(&event);
    active = event.what != EVENT_UPDATE;
  }
  track_ruler_marks({}, true);
  if (menu_bar_clicked || platform_open_menu()) {
    // The menu the user opened was brought up to date with the keys held; it stays so until
    // the choice arrives, as other events come and go meanwhile.
    menu_bar_clicked = false;
  } else if (active && !busy) {
    update_menus(0);
  } else if (!reformat_pending && !first_format &&
             (current_cursor_id == CURSOR_ID_WATCH || current_cursor_id == CURSOR_ID_FORMATTING)) {
    set_cursor(CURSOR_ID_ARROW);
  }
  if (reformat_pending && voice_count == 0) reformat_pending = 0;  // nothing left to format
  if (reformat_pending)
    reformat_and_update(current_page, 0);
  else if (!active && !busy && !recording_active)
    // While a piece plays the loop comes back every tick to feed the play queue.
    platform_wait_for_event(playing ? 1 : IDLE_TICKS);
  if (deferred_quit && !reformat_pending) {
    deferred_quit = 0;
    do_menu_item(FILE_MENU, FILE_QUIT, 'v');
  }
}

int handle_event(EventRecord* event) {
  if (recording_active) {
    recimp_dialog_event(*event);
    return 0;
  }
  if (anno_dialog_event(*event)) return 0;
  switch (event->what) {
    case EVENT_MOUSE_DOWN:
      mouse_down(event);
      break;
    case EVENT_HIGH_LEVEL:
      handle_apple_event(*event, event->message);
      break;
    case EVENT_QUIT:
      handle_apple_event(*event, EVENT_QUIT_APPLICATION);
      break;
    case EVENT_MENU: {
      const int16_t menu = int16_t(event->message >> 16), item = int16_t(event->message & 0xFFFF);
      if (console_menu_event(*event)) break;  // the console window's own menus
      if ((event->modifiers & MOD_COMMAND) && menu >= 1)
        do_command_key_dialog(menu, item);
      else
        do_menu_item(menu, item, 'v');
      break;
    }
    case EVENT_WHEEL:
      wheel_scroll(*event);
      break;
    case EVENT_MOUSE_UP:
      if (!(event->modifiers & COMMAND_OR_OPTION)) {
        last_mouse_up_when = event->when;
        last_mouse_up_where = event->where;
      }
      break;
    case EVENT_KEY_DOWN:
    case EVENT_AUTO_KEY:
      key_down(event);
      break;
    case EVENT_KEY_UP:
      piano_apply_pending(*event);
      if (!(event->modifiers & COMMAND_OR_OPTION)) {
        last_key_up_when = event->when;
        last_key_up_char = event_char(*event);
      }
      break;
    default:
      do_update_event(event, nullptr);
      break;
  }
  return 0;
}

int mouse_down_other(EventRecord* event, DialogRef dialog) {
  (void)dialog;
  int window = 0;
  const int part = find_window_part(*event, &window);
  if (part == IN_MENU_BAR) {
    // The choice itself arrives as a menu event of its own.
    update_menus(SOURCE_MENU_BAR);
    menu_bar_clicked = true;
    return 1;
  }
  if (part == IN_DESK) return 1;
  const int front = front_window();
  const int current = music_window();
  const bool front_is_ours = front == current || (palette_window && front == palette_window);
  // A click in another piece's window makes it current; the window system may have brought
  // that window forward before the click arrives.
  if ((front_is_ours || window == front) && window != current &&
      view_index_of_window(platform_window_port(window)) >= 0) {
    if (leave_view()) copy_from_VIEW_nodes(view_index_of_window(platform_window_port(window)));
    return 1;
  }
  if (window == front || window == current || (palette_window && window == palette_window))
    return 0;
  platform_select_window(window);
  return 1;
}

int do_update_event(EventRecord* event, DialogRef dialog) {
  (void)dialog;
  const int window = event->window;
  switch (event->what) {
    case EVENT_UPDATE:
      if (palette_window && window == palette_window) {
        piano_event(*event);
      } else if (window && window == music_window()) {
        update_window();
      } else if (const int view = view_index_of_window(platform_window_port(window)); view >= 0) {
        platform_begin_window_update(window);
        offscreen_copy_view(view);
        draw_MusicWindow_controls(window);
        platform_end_window_update(window);
      }
      return 1;
    case EVENT_ACTIVATE:
      // The window system brought another piece's window forward (a click on its title): that
      // piece becomes current, so that the menus act on the piece in front. An activation
      // overtaken by another (the window is no longer in front) changes nothing.
      if ((event->modifiers & MOD_ACTIVE) && window && window != music_window() &&
          window == front_window()) {
        const int view = view_index_of_window(platform_window_port(window));
        if (view >= 0) {
          if (leave_view()) copy_from_VIEW_nodes(view);
          return 1;
        }
      }
      if ((window && window == music_window()) || (palette_window && window == palette_window)) {
        if (event->modifiers & MOD_ACTIVE)
          activate_window(nullptr);
        else
          deactivate_window(0);
      }
      return 1;
    case 10:
    case 11:
      return 1;
    default:
      return 0;
  }
}

void update_window() {
  const int window = music_window();
  if (!window) return;
  // Kept off the screen (the program only prints), the window is seen by nobody: nothing is
  // drawn in it, and its update is over at once.
  if (platform_windows_kept_off_screen()) {
    platform_begin_window_update(window);
    platform_end_window_update(window);
    return;
  }
  track_ruler_marks({-1, -1}, false);
  platform_begin_window_update(window);
  Port* saved = platform_current_port();
  platform_set_port(music_window_port);
  const Rect clip = get_clip();
  clip_rect(port_bounds(music_window_port));
  if (!offscreen_page) erase_rect(music_area_rect());
  clip_rect(clip);
  platform_set_port(saved);
  refresh_from_offscreen();
  draw_ruler(1);
  draw_MusicWindow_controls(window);
  if (MODE == TEXT_MODE) text_redraw();
  platform_end_window_update(window);
}

void activate_window(DialogRef dialog) {
  const int window = music_window();
  if (!window) return;
  platform_show_window(window);
  // The program's own window stood in while no piece was shown.
  if (platform_main_window_open()) platform_hide_main_window();
  if (!dialog && front_window() != window) platform_select_window(window);
  deactivate_window(1);
}

void deactivate_window(int flag) {
  if (!music_window()) return;
  if (flag) {
    layout_scroll_bars();
  } else {
    platform_hilite_control(hscroll_bar(), CONTROL_INACTIVE);
    platform_hilite_control(vscroll_bar(), CONTROL_INACTIVE);
  }
  draw_MusicWindow_controls(music_window());
}

int reformat_and_update(int32_t page, int keep) {
  update_window();
  if (!format_page(page, keep)) return 0;
  if (insertion_point && is_visible_note(insertion_point))
    set_key_spelling(find_prev_kind(KEYSIG, insertion_point));
  page_graphics_stale = 0;
  return 1;
}

int reformat_with_flag(int32_t page, int keep) {
  disable_format_interrupts();
  return reformat_and_update(page, keep);
}

void adjust_cursor(int32_t) {
  // Asked at every step of a format: with no window of the program in front (a program started
  // only to print has none), the music window is not looked for.
  const int front = front_window();
  if (!front) return;
  const int window = music_window();
  if (!window || (front != window && (!palette_window || front != palette_window))) return;
  // Command and Option held over the music window: the feedback of a rectangle selection
  // (with no rectangle to fill, nothing is tracked).
  if (cmd_option_only()) drag_select_rect(platform_mouse_position(window), nullptr, 0);
}

// ---- Group selections ------------------------------------------------------------------------

void begin_group_selection() {
  if (MODE == TEXT_MODE) text_finish(1);
  inverted_selection_rect = VirtualRect{};
  if (insertion_point) stop_flashing(insertion_point);
  insertion_point = NIL;
  note_entry_active = 0;
  group_selected = 1;
  display_win_title(1, nullptr);
  if (MODE != MUSIC_MODE) return;
  reset_note_template();
  if (Drosa t = current_note_template) {
    t->set(xgrace, 0);
    t->set(xnachschlag, 0);
    t->set(bit_field("flag bits 4, 8, 16", NOTE, 13, 4, 2), 0);
    t->set(xnoslash, 1);
    t->set(xlgval, 8);
  }
  draw_piano_window();
}

void end_group_selection(int flag) {
  if (MODE == MUSIC_MODE) {
    reset_note_template();
    if (Drosa t = current_note_template) t->set(xlgval, 4);
  }
  if (group_selected) {
    // The page's members lose their marks and their bits; a bit left anywhere else goes too.
    unmark_page_group();
    assign_selection_field(MODE == MUSIC_MODE ? xselected : xanno_selected, 0, 0);
  }
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE && p->get(xselected)) p->set(xselected, 0);
  refresh_from_offscreen();
  group_selected = 0;
  group_anchor = NIL;
  if (flag) {
    if (MODE == MUSIC_MODE)
      draw_piano_window();
    else
      icon_update();
  }
  display_win_title(1, nullptr);
}

// ---- Modifier keys and double clicks -------------------------------------------------------

int cmd_key_down() { return (platform_modifiers() & MOD_COMMAND) != 0; }

int cmd_option_only() {
  const uint16_t m = platform_modifiers();
  return music_window() && (m & MOD_COMMAND) && (m & MOD_EITHER_OPTION) &&
         !(m & (MOD_EITHER_SHIFT | EITHER_CONTROL));
}

int event_mod_6a00(const EventRecord& e) {
  return e.modifiers & (MOD_EITHER_SHIFT | MOD_EITHER_OPTION);
}

int option_key_down() { return (platform_modifiers() & MOD_EITHER_OPTION) != 0; }

int is_double_click_at(Point where, uint32_t when) {
  return when - last_mouse_up_when <= platform_double_click_ticks() &&
         std::abs(where.x - last_mouse_up_where.x) + std::abs(where.y - last_mouse_up_where.y) <=
             DOUBLE_CLICK_SLOP;
}

int is_double_keystroke(int character, uint32_t when) {
  return character == last_key_up_char && when - last_key_up_when <= platform_double_click_ticks();
}

PagePoint window_to_page_point(Point where) {
  const Point origin = scroll_origin();
  const double z = zoom_factor > 0 ? zoom_factor : 10.0;
  return {int32_t(std::lround((where.x - origin.x) * z)),
          int32_t(std::lround((page_pixel_height - (where.y - origin.y)) * z))};
}
