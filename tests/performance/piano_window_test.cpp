// tests/performance/piano_window_test.cpp: the piano window and its scaled drawing.
//   PianoKeys.*:    the key under a point, with and without the keyboard shift
//   ScaledDrawing.*: coordinates and text sizes through the scale factors
//   PianoWindow.*:  the window's place and size, dragging, marks and the middle-C mark
#include <gtest/gtest.h>

#include <vector>

#include "app/app_services.h"
#include "model/model_services.h"
#include "performance/entry_fixture.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/piano_draw.h"
#include "performance/pianowin.h"
#include "platform/port.h"
#include "platform/script.h"
#include "platform/window.h"

namespace {

struct KeyCase {
  Point where;  // h, v
  int shift;
  bool hit;
  int key;
};

using PianoWindow = EntryPage;

int dark(Port* port, Rect r) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += (port_pixel(port, x, y) & 0xFF) < 0x80;
  return n;
}

}  // namespace

TEST(PianoKeys, APointFindsItsKeyTheRestKeyOrNothing) {
  const KeyCase cases[] = {
      {{24, 10}, 0, true, 21},     // A0
      {{30, 10}, 0, true, 22},     // A sharp 0: the black key wins in its rows
      {{30, 20}, 0, true, 23},     // B0 below it
      {{487, 10}, 0, true, -1},    // the rest key's box
      {{504, 25}, 0, true, -1},    //
      {{505, 10}, 0, false, 0},    // past it
      {{300, 28}, 0, true, -1},    // the strip under the keys
      {{100, 31}, 0, true, -1},    // row 31 is the keyboard's before the palette's
      {{100, 32}, 0, false, 0},    // the palette
      {{17, 10}, 0, false, 0},     // left of A0
      {{100, -1}, 0, false, 0},    //
      {{481, 20}, 36, true, 125},  // C8 + 36, kept to 125
      {{24, 20}, -36, true, 1},    // A0 - 36, kept to 1
      {{229, 20}, 12, true, 72},   // middle C an octave up
  };
  for (const KeyCase& c : cases) {
    keyboard_shift = int16_t(c.shift);
    int32_t key = 0;
    EXPECT_EQ(point_to_piano_key(c.where, &key), c.hit) << c.where.x << "," << c.where.y;
    if (c.hit) EXPECT_EQ(key, c.key) << c.where.x << "," << c.where.y;
  }
  keyboard_shift = 0;
}

TEST(ScaledDrawing, CoordinatesAreScaledAndTruncatedTowardZero) {
  EXPECT_EQ(piano_scaled(-27, 1.0), -27);
  EXPECT_EQ(piano_scaled(-55, 0.5), -27);
  EXPECT_EQ(piano_scaled(55, 0.5), 27);
  EXPECT_EQ(piano_scaled(5, 1.5), 7);
  Port* port = port_new_offscreen(20, 20);
  Port* saved = platform_current_port();
  platform_set_port(port);
  const double h = piano_hscale, v = piano_vscale;
  piano_hscale = 1.0, piano_vscale = 0.5;
  scaled_TextSize(12);
  EXPECT_EQ(current_text_size(), 6) << "the smaller factor";
  piano_hscale = 2.0, piano_vscale = 2.0;
  scaled_TextSize(12);
  EXPECT_EQ(current_text_size(), 24);
  scaled_PaintRect({1, 1, 3, 3});
  EXPECT_EQ(port_pixel(port, 5, 5), 0x000000u) << "drawn at twice the size";
  EXPECT_EQ(port_pixel(port, 6, 6), 0xFFFFFFu);
  piano_hscale = h, piano_vscale = v;
  platform_set_port(saved);
  port_dispose(port);
}

TEST_F(PianoWindow, TheStoredPlaceAndSizeAreKeptOnTheScreenAndADragMovesTheWindow) {
  open_empty(2);
  // No size stored: the bottom left of the screen (1280 x 1000 in the tests), clear of its foot
  // by the room a window system's frame takes.
  prefs.set_i16(PREFS_PIANO_SIZE, 0);
  create_piano_window();
  EXPECT_EQ(platform_window_bounds(piano_dialog), (Rect{0, 908, 503, 968}));
  // A stored size and place out of bounds are brought back.
  prefs.set_i16(PREFS_PIANO_SIZE, 10);
  prefs.set_i16(PREFS_PIANO_SIZE + 2, 2000);
  prefs.set_i16(PREFS_PIANO_CORNER, 5000);
  prefs.set_i16(PREFS_PIANO_CORNER + 2, -50);
  create_piano_window();
  EXPECT_EQ(platform_window_bounds(piano_dialog), (Rect{0, 917, 1006, 968}));
  EXPECT_EQ(prefs.i16(PREFS_PIANO_CORNER), 917);
  place_piano_window();
  EXPECT_EQ(piano_dialog_bounds(), (Rect{0, 0, 503, 60}));
  EXPECT_EQ(platform_window_bounds(piano_dialog).top, 908) << "docked at the bottom";
  // A press left of the keys drags the window; its place is kept.
  EXPECT_EQ(run_until_idle(), -1);
  const Rect before = platform_window_bounds(piano_dialog);
  EventRecord down;
  down.what = EVENT_MOUSE_DOWN;
  down.window = palette_window;
  down.where = {5, 10};
  platform_post_event(down);
  EventRecord up = down;
  up.what = EVENT_MOUSE_UP;
  up.where = {35, -90};
  platform_post_event(up);
  EXPECT_EQ(run_until_idle(), -1);
  const Rect after = platform_window_bounds(piano_dialog);
  EXPECT_EQ(after.left - before.left, 30);
  EXPECT_EQ(after.top - before.top, -100);
  EXPECT_EQ(prefs.i16(PREFS_PIANO_CORNER), after.top);
  EXPECT_EQ(prefs.i16(PREFS_PIANO_CORNER + 2), after.left);
}

TEST_F(PianoWindow, MarksComeAndGoAndTheMiddleCMarkFollowsTheShift) {
  open_empty(2);
  EXPECT_EQ(pass(), -1);
  Port* port = platform_window_port(piano_dialog);
  const std::vector<uint32_t> plain = port_pixels(port);
  Port* current = platform_current_port();
  highlight_piano_key(110, true);  // above C8
  EXPECT_EQ(port_pixels(port), plain);
  EXPECT_EQ(platform_current_port(), current);
  highlight_piano_key(61, true);
  EXPECT_NE(port_pixels(port), plain);
  highlight_piano_key(61, false);
  EXPECT_EQ(port_pixels(port), plain);
  // Middle C's mark: on octave 5 without a shift, on octave 2 with 36 semitones up.
  const Rect mark5{keyboard_origin_x + 63 * 5 + 4, 16, keyboard_origin_x + 63 * 5 + 6, 22};
  const Rect mark2{keyboard_origin_x + 63 * 2 + 4, 16, keyboard_origin_x + 63 * 2 + 6, 22};
  EXPECT_EQ(dark(port, mark5), 12);
  EXPECT_EQ(dark(port, mark2), 0);
  save_piano("piano_window");
  keyboard_shift = 36;
  piano_update();
  EXPECT_EQ(dark(port, mark5), 0);
  EXPECT_EQ(dark(port, mark2), 12);
  highlight_piano_key(72 + 36, true);  // played C5 (shown as the key marked) with the shift
  save_piano("piano_window_shifted");
}

TEST_F(PianoWindow, OpeningADocumentDrawsThePaletteOnceAsAFreshDrawShowsIt) {
  open_empty(2);
  Port* port = platform_window_port(piano_dialog);
  do_menu_item(FILE_MENU, FILE_COMMAND_CLOSE, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  const uint64_t before = palette_draw_count;
  script_file_name(dir + "/empty.vesk");
  do_menu_item(FILE_MENU, FILE_COMMAND_OPEN, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(palette_draw_count - before, 1u);
  const std::vector<uint32_t> opened = port_pixels(port);
  save_piano("palette_after_opening");
  piano_update();
  EXPECT_EQ(port_pixels(port), opened) << "what the opening left is what a fresh draw shows";
}
