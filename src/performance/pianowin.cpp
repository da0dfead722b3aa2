// pianowin.cpp: the piano window (pianowin.h): the window itself, the keyboard's geometry, its
// hit test and drawing, the key marks, the rest key, the memory indicator and the window's
// events.
//
// Keyboard layout. Octave n (MIDI keys 12n .. 12n + 11) starts at x0 = keyboard_origin_x + 63n;
// white keys are 9 pixels apart and framed 10 wide (neighbours share a border), black keys are
// painted 5 wide over them, rows -1..13; a black key's hit zone is 6 wide and wins over the
// white key in rows 0..13. Marks are inverted rectangles, so marking twice takes the mark away.
// The rest key is the strip under the keys (rows 26..30) and the box right of them.
#include "performance/pianowin.h"

#include <algorithm>
#include <cstdio>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/note_entry.h"
#include "performance/palette.h"
#include "performance/performance_globals.h"
#include "performance/piano_draw.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/window.h"

namespace {

constexpr int OCTAVE_WIDTH = 63, WHITE_STEP = 9;
constexpr int LOWEST_KEY = 21, HIGHEST_KEY = 108;  // A0 and C8
constexpr int KEYBOARD_LEFT = 18;                  // A0's left edge
constexpr int REST_KEY = -1;
constexpr int BLACK_ROWS_END = 13;  // rows 0..13 hold the black keys' zones
constexpr int WINDOW_WIDTH = 503, SHORT_HEIGHT = 60, TALL_HEIGHT = 100;
// Room left under the window at the foot of the screen, for the frame a window system adds:
// some window systems put the frame's corner where the window was asked for, so that the
// window itself comes out a title bar's height lower.
constexpr int WINDOW_FOOT_GAP = 32;
constexpr int KEYBOARD_ITEM = 5;

// Per semitone: white or black, the left of its drawn key from x0, and its mark's left.
struct SemitoneShape {
  bool black;
  int left;
  int mark_left;
};
constexpr SemitoneShape SEMITONES[12] = {
    {false, 0, 2},   {true, 6, 7},    {false, 9, 11}, {true, 17, 18},
    {false, 18, 20}, {false, 27, 29}, {true, 33, 34}, {false, 36, 38},
    {true, 43, 44},  {false, 45, 47}, {true, 53, 54}, {false, 54, 56},
};
// The black keys' hit zones (x - x0) and their semitones.
struct BlackZone {
  int from, to, semitone;
};
constexpr BlackZone BLACK_ZONES[5] = {
    {6, 11, 1}, {17, 22, 3}, {33, 38, 6}, {43, 48, 8}, {53, 58, 10}};
constexpr int WHITE_SEMITONES[7] = {0, 2, 4, 5, 7, 9, 11};

int octave_x0(int octave) { return keyboard_origin_x + OCTAVE_WIDTH * octave; }

Rect mark_rect(int32_t key) {
  const int octave = key / 12, semitone = key % 12;
  const int left = octave_x0(octave) + SEMITONES[semitone].mark_left;
  return SEMITONES[semitone].black ? Rect{left, 1, left + 3, 6} : Rect{left, 14, left + 6, 24};
}

// The item's rectangle in the piano window's table.
Rect piano_item_rect(int item) {
  const DialogSpec* spec = platform_dialog_spec(4460);
  if (!spec || item < 1 || item > int(spec->items.size())) return {};
  return spec->items[size_t(item) - 1].rect;
}

bool notes_locked_with_voices() {
  return voice_count > 0 && options_i16(current_ncontext, OPTIONS_CONTEXT_EDIT_LOCK) != 0;
}

// Divides a window point by the scale factors, truncating.
Point layout_point(Point where) {
  return {int(where.x / piano_hscale), int(where.y / piano_vscale)};
}

// Keeps the window's top left in the preferences.
void store_piano_corner(Point top_left) {
  prefs.set_i16(PREFS_PIANO_CORNER, int16_t(top_left.y));
  prefs.set_i16(PREFS_PIANO_CORNER + 2, int16_t(top_left.x));
}

// Waits for the mouse button to go up (the release's mouse-up is taken).
void wait_for_release() {
  Point where;
  while (platform_track_mouse(piano_dialog, &where)) {
  }
}

void key_press(const EventRecord& event, int32_t key) {
  add_played_key(key, true);
  wait_for_release();
  const bool shift = (event.modifiers & MOD_EITHER_SHIFT) != 0;
  shift_chord_pending = shift ? 1 : 0;
  if (!shift || key == REST_KEY) enter_played_chord();
  show_entry_hint_if_useful();
}

void drag_piano_window(const EventRecord& event) {
  if (played_key_count > 0) return;  // keys are being collected
  Point top_left;
  if (platform_drag_window(piano_dialog, event, piano_drag_bounds, &top_left))
    store_piano_corner(top_left);
}

}  // namespace

// ---- The window ------------------------------------------------------------------------------

void create_piano_window() {
  piano_hscale = piano_vscale = 1.0;
  if (piano_dialog) platform_dispose_window(piano_dialog);
  screen_avail_rect = platform_screen_bounds();
  const Rect avail = screen_avail_rect;
  int width = prefs.i16(PREFS_PIANO_SIZE + 2), height = prefs.i16(PREFS_PIANO_SIZE);
  int left = prefs.i16(PREFS_PIANO_CORNER + 2), top = prefs.i16(PREFS_PIANO_CORNER);
  if (width < 1 || height < 1) {
    // At the foot of the screen, wholly on it, its title bar too.
    width = WINDOW_WIDTH;
    height = SHORT_HEIGHT;
    left = (avail.left + 3) & ~3;
    top = std::max(avail.top, avail.bottom - height - WINDOW_FOOT_GAP);
  } else {
    width = std::clamp(width, 427, 1006);
    height = std::clamp(height, 51, 120);
    if (left < avail.left) left = avail.left;
    if (left > avail.right - width) left = avail.right - width;
    if (top < avail.top) top = avail.top;
    if (top > avail.bottom - height - WINDOW_FOOT_GAP)
      top = avail.bottom - height - WINDOW_FOOT_GAP;
  }
  store_piano_corner({left, top});
  prefs.set_i16(PREFS_PIANO_SIZE, int16_t(height));
  prefs.set_i16(PREFS_PIANO_SIZE + 2, int16_t(width));
  piano_dialog =
      platform_new_floating_window("Piano", {left, top, left + width, top + height}, false);
  palette_window = piano_dialog;
  if (!piano_dialog) return;
  platform_move_window(piano_dialog, left, top);
  platform_size_window(piano_dialog, width, height, true);
  platform_show_window(piano_dialog);
  piano_tall = false;
  activate_window(nullptr);
  end_anno_selection(MODE, 1);
  icon_update();
  piano_drag_bounds = platform_screen_bounds();
}

void place_piano_window() {
  const int height = spacc_template ? TALL_HEIGHT : SHORT_HEIGHT;
  piano_hscale = piano_vscale = 1.0;
  const Rect bounds = piano_dialog_bounds();
  if (!piano_dialog) return;
  if ((piano_tall && !spacc_template) || bounds.height() != height ||
      bounds.width() != WINDOW_WIDTH) {
    platform_size_window(piano_dialog, WINDOW_WIDTH, height, false);
    const Rect global = platform_window_bounds(piano_dialog);
    const Rect avail = screen_avail_rect;
    const int foot = avail.bottom - WINDOW_FOOT_GAP;
    if (global.top > foot - height || (height == SHORT_HEIGHT && global.top == foot - TALL_HEIGHT))
      platform_move_window(piano_dialog, avail.left, foot - height);
  }
  piano_tall = height == TALL_HEIGHT;
  // What lies right of and below the keyboard is drawn again; the keys are not.
  const Rect keys = piano_item_rect(KEYBOARD_ITEM);
  const Rect port = piano_dialog_bounds();
  platform_invalidate_window(piano_dialog, {keys.right, port.top, port.right, port.bottom});
  platform_invalidate_window(piano_dialog, {port.left, keys.bottom, port.right, port.bottom});
}

// ---- The keyboard ----------------------------------------------------------------------------

bool point_to_piano_key(Point where, int32_t* key) {
  const int h = where.x, v = where.y;
  if (v < 0) return false;
  if (h >= KEYBOARD_LEFT && v <= 31) {
    if (v >= 26 || (h >= keyboard_right_x && h <= 504)) {
      *key = REST_KEY;
      return true;
    }
  }
  if (h < KEYBOARD_LEFT || v > 31 || h > keyboard_right_x) return false;
  const int d = h - keyboard_origin_x;
  const int octave = d / OCTAVE_WIDTH, r = d - OCTAVE_WIDTH * octave;
  int semitone = -1;
  if (v <= BLACK_ROWS_END)
    for (const BlackZone& zone : BLACK_ZONES)
      if (r >= zone.from && r <= zone.to) semitone = zone.semitone;
  if (semitone < 0) semitone = WHITE_SEMITONES[std::min(r / WHITE_STEP, 6)];
  const int32_t k = std::clamp(12 * octave + semitone, LOWEST_KEY, HIGHEST_KEY);
  *key = std::clamp(k + keyboard_shift, 1, 125);
  return true;
}

void highlight_piano_key(int32_t key, bool on) {
  if (key == REST_KEY) {
    draw_rest_key(on ? PATTERN_GRAY : PATTERN_DARK_GRAY);
    return;
  }
  key -= keyboard_shift;
  if (key < LOWEST_KEY || key > HIGHEST_KEY) return;
  InPianoPort in;
  if (!in.ok()) return;
  scaled_InvertRect(mark_rect(key));
}

void draw_piano_octave(int32_t x0, int lo, int hi) {
  InPianoPort in;
  if (!in.ok()) return;
  pen_normal();
  int32_t x = x0;
  for (int s = 0; s < 12; ++s) {
    const bool drawn = s >= lo && s <= hi;
    if (!SEMITONES[s].black) {
      if (drawn) scaled_FrameRect({x, -1, x + 10, 26});
      x += WHITE_STEP;
    } else if (drawn) {
      const int back = (s == 1 || s == 6) ? 3 : s == 8 ? 2 : 1;
      scaled_PaintRect({x - back, -1, x - back + 5, 13});
    }
  }
}

void draw_piano_keyboard() {
  InPianoPort in;
  if (!in.ok()) return;
  pen_normal();
  draw_piano_octave(octave_x0(1), 9, 11);
  const int middle_c_octave = 5 - keyboard_shift / 12;
  for (int octave = 2; octave <= 8; ++octave) {
    const int32_t x0 = octave_x0(octave);
    draw_piano_octave(x0, 0, 11);
    if (octave == middle_c_octave) scaled_PaintRect({x0 + 4, 16, x0 + 6, 22});
  }
  draw_piano_octave(octave_x0(9), 0, 0);
  highlight_piano_key(REST_KEY, false);
}

void redraw_piano_keyboard() {
  InPianoPort in;  // keeps the pen
  if (!in.ok()) return;
  draw_piano_keyboard();
  draw_rest_key_symbol(true);
}

void draw_rest_key(const Pattern& pattern) {
  InPianoPort in;
  if (!in.ok()) return;
  pen_normal();
  scaled_FillRect({KEYBOARD_LEFT, 26, keyboard_right_x + 18, 31}, pattern);
  scaled_MoveTo(KEYBOARD_LEFT, 26);
  scaled_LineTo(KEYBOARD_LEFT, 30);
  scaled_FillRect({keyboard_right_x, 0, keyboard_right_x + 18, 26}, pattern);
  draw_rest_key_symbol(true);
}

void draw_rest_key_symbol(bool draw) {
  InPianoPort in;
  if (!in.ok()) return;
  scaled_EraseRect({491, 5, 499, 23});
  const double smaller = std::min(piano_hscale, piano_vscale);
  const int descent = int(rest_descend_size(NIL, 1) / 10 / smaller);
  scaled_MoveTo(492, 22 - descent);
  if (!draw) return;
  text_mode(MODE_OR);
  pDrawChar(P_QUARTER_REST, NIL, nullptr, DRAW_CHAR_PALETTE);
}

// ---- The memory indicator -----------------------------------------------------------------------

void draw_memory_indicator() {
  InPianoPort in;
  if (!in.ok()) return;
  const Rect box{458, 32, 501, 59};
  const int32_t percent = memory_use_percent(nullptr);
  if (voice_count > 0 && percent > 49) {
    scaled_FillRect(box, PATTERN_BLACK);
    text_font(FONT_TIMES);
    scaled_TextSize(12);
    text_face(FACE_PLAIN);
    text_mode(MODE_BIC);
    scaled_MoveTo(460, 44);
    draw_string("Memory");
    char text[32];
    std::snprintf(text, sizeof text, "   %hd%%", short(percent));
    scaled_MoveTo(459, 56);
    draw_string(text);
    text_mode(MODE_OR);
    memory_shown = int16_t(percent);
  } else {
    if (memory_shown) scaled_FillRect(box, PATTERN_WHITE);
    memory_shown = 0;
  }
}

// ---- Events ----------------------------------------------------------------------------------

void show_entry_hint_if_useful() {
  if (!entry_node() && !duration_edits_enabled && !notes_locked_with_voices() &&
      !entry_hint_shown) {
    entry_hint_shown = true;
    draw_piano_window();
  }
}

void piano_update() {
  if (!piano_dialog) return;
  platform_begin_window_update(piano_dialog);
  {
    InPianoPort in;
    erase_rect(port_bounds(platform_window_port(piano_dialog)));
  }
  anno_palette_draw_proc();
  platform_end_window_update(piano_dialog);
}

void piano_event(const EventRecord& event) {
  if (!piano_dialog) return;
  switch (event.what) {
    case EVENT_UPDATE:
      piano_update();
      return;
    case EVENT_ACTIVATE:
      REPORT_ERROR(4, "piano_event incorrectly received an activateEvt!");
      return;
    case EVENT_MOUSE_DOWN:
      break;
    default:
      return;
  }
  const Point where = layout_point(event.where);
  const uint16_t mods = event.modifiers;
  if ((mods & MOD_COMMAND) && !(mods & (MOD_EITHER_SHIFT | MOD_EITHER_OPTION))) {
    pianoeq_dialog(where);
    return;
  }
  const bool double_click = is_double_click_at(event.where, event.when) != 0;
  int32_t key = 0;
  if (point_to_piano_key(where, &key)) {
    key_press(event, key);
    return;
  }
  platform_select_window(piano_dialog);
  if (anno_dialog_event(event)) return;
  if (MODE == MUSIC_MODE) {
    const int box = palette_box_at(where);
    if (box >= 0) {
      palette_click(box, double_click);
      return;
    }
    if (click_special_accidental_rows(where)) return;
  }
  drag_piano_window(event);
}
