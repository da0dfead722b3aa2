// music_window_test.cpp: the music window showing a page.
//   Scrolling.*: arrows, page areas, the thumb, requests of any size, the wheel, the arrow and
//                page keys and a change of zoom keep the page image where the scroll bars say
//                (pixel by pixel), horizontally in steps of 16
//   Growing.*:   a resize keeps the music area's width a multiple of 16 and the page right;
//                the limits; a page narrower than the window makes its bar inactive; a zoom
//                gives the window the size its page needs, within the screen
//   Updates.*:   an update event redraws the window from the page image
//   Rulers.*:    the scales, the page staying put when rulers come and go, the cross
//   Titles.*:    the title's parts and the names of untitled pieces
#include "app/music_window.h"

#include <gtest/gtest.h>

#include "app/app_globals.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/controls.h"
#include "platform/events.h"
#include "platform/port.h"
#include "platform/window.h"
#include "support/app_fixture.h"
#include "support/piece_files.h"

namespace {

// A window smaller than the page: a screen of 400 by 500.
class SmallScreen : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    platform_set_test_screen(true, {0, 0, 400, 500});
    // The button is up: every press is over after its first round.
    platform_set_test_modifiers(true, MOD_BUTTON_UP);
    ASSERT_TRUE(write_piece_of_pages(dir + "/song.vesk", 2, 2));
    ASSERT_TRUE(start({dir + "/song.vesk"}));
  }

  void click(Point where, uint16_t modifiers = MOD_BUTTON_UP) {
    EventRecord e;
    e.what = EVENT_MOUSE_DOWN;
    e.window = music_window();
    e.where = where;
    e.modifiers = modifiers;
    platform_post_event(e);
    EXPECT_EQ(run_until_idle(), -1);
  }

  static Point inside(Control* bar, int along) {
    const Rect r = platform_control_rect(bar);
    return r.height() > r.width() ? Point{r.left + 8, r.top + along}
                                  : Point{r.left + along, r.top + 8};
  }
};

using Scrolling = SmallScreen;
using Growing = SmallScreen;
using Updates = SmallScreen;
using Rulers = SmallScreen;
using Titles = AppTest;

TEST_F(Scrolling, ArrowsPageAreasAndTheThumbKeepThePageInPlace) {
  Control* v = vscroll_bar();
  Control* h = hscroll_bar();
  ASSERT_GT(platform_control_maximum(v), 200);
  ASSERT_EQ(platform_control_maximum(h) % 16, 0);
  ASSERT_GT(platform_control_maximum(h), 100);
  const int v_length = platform_control_rect(v).height();
  click(inside(v, v_length - 4));  // the down arrow
  EXPECT_EQ(scroll_v, 16);
  EXPECT_EQ(misplaced_pixels(), 0);
  click(inside(v, v_length - 30));  // the page area below the thumb: what the area shows
  const int paged = std::min(16 + music_area_rect().height() - 16, platform_control_maximum(v));
  EXPECT_EQ(scroll_v, paged);
  EXPECT_EQ(platform_control_value(v), paged);
  click(inside(v, 4));  // the up arrow
  EXPECT_EQ(scroll_v, paged - 16);
  EXPECT_EQ(misplaced_pixels(), 0);
  save_window("scrolled_down");

  // The thumb, released 40 pixels further right: the page moves by a multiple of 16.
  const Point thumb = inside(h, 16 + 8);
  EventRecord press;
  press.what = EVENT_MOUSE_DOWN;
  press.window = music_window();
  press.where = thumb;
  platform_post_event(press);
  EventRecord release = press;
  release.what = EVENT_MOUSE_UP;
  release.where = {thumb.x + 40, thumb.y};
  platform_post_event(release);
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_GT(scroll_h, 0);
  EXPECT_EQ(scroll_h % 16, 0);
  EXPECT_EQ(platform_control_value(h), scroll_h);
  EXPECT_EQ(misplaced_pixels(), 0);

  // Requests of any size: horizontal steps snap to 16 (24 -> 16, 25 -> 32, -24 -> -16).
  scroll_h = 0;
  platform_set_control_value(h, 0);
  const std::pair<int, int> requests[] = {{-24, 16}, {-25, 48}, {24, 32}};
  for (auto [request, value] : requests) {
    int dx = request, dy = 0;
    do_scroll(&dx, &dy);
    EXPECT_EQ(scroll_h, value) << request;
    EXPECT_EQ(misplaced_pixels(), 0) << request;
  }
  int dx = 0, dy = -100000;  // far beyond the end: to the last value
  do_scroll(&dx, &dy);
  EXPECT_EQ(scroll_v, platform_control_maximum(v));
  EXPECT_EQ(misplaced_pixels(), 0);
  save_window("scrolled_to_the_end");
}

TEST_F(Scrolling, TheWheelTheKeysAndAChangeOfZoomKeepThePageInPlace) {
  auto post = [this](int16_t what, uint32_t message) {
    EventRecord e;
    e.what = what;
    e.window = music_window();
    e.message = message;
    platform_post_event(e);
    EXPECT_EQ(run_until_idle(), -1);
    EXPECT_EQ(platform_control_value(vscroll_bar()), scroll_v);
    EXPECT_EQ(platform_control_value(hscroll_bar()), scroll_h);
    EXPECT_EQ(misplaced_pixels(), 0);
  };
  auto wheel = [](int dx, int dy) { return uint32_t(uint16_t(dx)) | uint32_t(uint16_t(dy)) << 16; };
  post(EVENT_WHEEL, wheel(0, -48));  // down
  EXPECT_EQ(scroll_v, 48);
  post(EVENT_WHEEL, wheel(-10, 0));  // to the right, less than a step
  EXPECT_EQ(scroll_h, 0);
  post(EVENT_WHEEL, wheel(-10, 0));
  EXPECT_EQ(scroll_h, 16);
  // With nothing selected, the arrows that would move the selection scroll.
  stop_flashing(insertion_point);
  insertion_point = NIL;
  post(EVENT_KEY_DOWN, KEY_DOWN);
  EXPECT_EQ(scroll_v, 64);
  post(EVENT_KEY_DOWN, KEY_RIGHT);
  EXPECT_EQ(scroll_h, 32);
  const int page = music_area_rect().height() - 16;
  post(EVENT_KEY_DOWN, KEY_PAGE_DOWN);
  EXPECT_EQ(scroll_v, std::min(64 + page, platform_control_maximum(vscroll_bar())));
  const int before = scroll_v;
  post(EVENT_KEY_DOWN, KEY_PAGE_UP);
  EXPECT_EQ(scroll_v, std::max(0, before - page));

  // Twice the size, scrolled down, and back to the standard size: the page from its top.
  do_menu_item(ZOOM_MENU, 9, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  post(EVENT_WHEEL, wheel(0, -200));
  EXPECT_EQ(scroll_v, 200);
  do_menu_item(ZOOM_MENU, 7, 'v');
  post(EVENT_NULL, 0);
  EXPECT_EQ(scroll_v, 0);
  EXPECT_EQ(platform_control_hilite(vscroll_bar()), 0)
      << "the page is taller than the window: " << platform_control_maximum(vscroll_bar()) << " "
      << page_pixel_height << " " << port_bounds(platform_window_port(music_window())).height();
  EXPECT_GT(dark_pixels(), 1000);
}

TEST_F(Growing, TheMusicAreaStaysAMultipleOf16AndThePageStaysRight) {
  int dx = -32, dy = -48;
  do_scroll(&dx, &dy);
  EventRecord resize;  // as the window system resizes the window
  resize.what = EVENT_MOUSE_DOWN;
  resize.window = music_window();
  resize.message = IN_GROW;
  resize.where = {300, 260};
  platform_post_event(resize);
  EXPECT_EQ(run_until_idle(), -1);
  const Rect port = port_bounds(platform_window_port(music_window()));
  EXPECT_EQ(port.height(), 260);
  EXPECT_EQ((port.width() - 15) % 16, 0) << port.width();
  EXPECT_EQ(port.width(), 303) << "288 pixels of music";
  EXPECT_EQ(misplaced_pixels(), 0);
  save_window("grown_smaller");

  grow_music_window(100 + 15, 200);  // a music area of 100 pixels becomes 96
  EXPECT_EQ(music_area_rect().width(), 96);
  EXPECT_EQ(grow_limits.left, 80);
  EXPECT_EQ(grow_limits.right, 400) << "the page is wider than the screen";

  // A window wider than the page: the horizontal bar is inactive and the page at the left.
  screen_device = {0, 0, 1400, 1200};
  grow_music_window(0, 0);
  EXPECT_EQ(platform_control_maximum(hscroll_bar()), 0);
  EXPECT_EQ(platform_control_hilite(hscroll_bar()), CONTROL_INACTIVE);
  EXPECT_EQ(scroll_h, 0);
  EXPECT_EQ(misplaced_pixels(), 0);
}

TEST_F(Growing, AZoomGivesTheWindowTheSizeItsPageNeedsWithinTheScreen) {
  auto window_size = [] {
    const Rect port = port_bounds(platform_window_port(music_window()));
    return std::pair{port.width(), port.height()};
  };
  screen_device = {0, 0, 1400, 1200};
  do_menu_item(ZOOM_MENU, 5, 'v');  // Mini
  EXPECT_EQ(run_until_idle(), -1);
  const auto mini = window_size();
  do_menu_item(ZOOM_MENU, 7, 'v');  // Standard
  EXPECT_EQ(run_until_idle(), -1);
  const auto standard = window_size();
  EXPECT_GE(standard.first, page_pixel_width) << "the whole width of the page";
  EXPECT_LT(mini.first, standard.first / 2);
  EXPECT_LT(mini.second, standard.second / 2);
  do_menu_item(ZOOM_MENU, 5, 'v');
  do_menu_item(ZOOM_MENU, 7, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(window_size(), standard) << "the size it had before Mini";
  do_menu_item(ZOOM_MENU, 10, 'v');  // Big (3x): as much as the screen holds
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_LE(window_size().first, 1400);
  EXPECT_LE(window_size().second, 1200);
  EXPECT_EQ(misplaced_pixels(), 0);
}

TEST_F(Updates, AnUpdateEventRedrawsTheWindowFromThePageImage) {
  Port* window = platform_window_port(music_window());
  platform_set_port(window);
  fill_rect(music_area_rect(), PATTERN_GRAY);
  ASSERT_GT(misplaced_pixels(), 1000);
  platform_invalidate_window(music_window(), music_area_rect());
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(misplaced_pixels(), 0);
  EXPECT_FALSE(platform_window_needs_update(music_window()));
}

TEST_F(Rulers, ScalesComeAndGoWithoutMovingThePage) {
  prefs.set_u16(PREFS_ZOOM_WORD, prefs.u16(PREFS_ZOOM_WORD) | 1);
  invalidate_music_area(1);
  ASSERT_EQ(ruler_width(), 16);
  EXPECT_EQ(music_area_rect().left, 16);
  EXPECT_EQ(misplaced_pixels(), 0);
  Port* window = platform_window_port(music_window());
  // Ticks every 9 pixels across the top strip's line (y 12), 10, 2, 4, 2, 7, 2, 4, 2 long.
  auto tick_length = [&](int x) {
    int n = 0;
    while (n < 12 && port_pixel(window, x, 11 - n) != 0xFFFFFF) ++n;
    return n;
  };
  std::vector<int> lengths;
  for (int k = 1; k <= 8; ++k) lengths.push_back(tick_length(16 + 9 * k));
  EXPECT_EQ(lengths, (std::vector<int>{2, 4, 2, 7, 2, 4, 2, 10}));
  EXPECT_EQ(port_pixel(window, 16 + 9 * 3 + 4, 14), 0xFFFFFFu) << "below the line, between ticks";

  // The cross: dragging in the left ruler sets its horizontal line; drawn by exclusive-or,
  // it goes again without a trace.
  platform_set_test_mouse(true, {5, 100});
  drag_insertion_cursor(100, 1);
  EXPECT_NE(insertion_cross.y, -1);
  EXPECT_EQ(cross_drawn_at.y, 100);
  EXPECT_GT(misplaced_pixels(), 100);
  save_window("rulers_and_cross");
  toggle_insertion_cursor(2);
  EXPECT_EQ(misplaced_pixels(), 0);
  toggle_insertion_cursor(0);
  refresh_from_offscreen();  // the cross stays over the copied page
  EXPECT_GT(misplaced_pixels(), 100);

  prefs.set_u16(PREFS_ZOOM_WORD, prefs.u16(PREFS_ZOOM_WORD) & ~3);
  invalidate_music_area(1);
  EXPECT_EQ(ruler_width(), 0);
  EXPECT_EQ(insertion_cross, (Point{-1, -1}));
  EXPECT_EQ(misplaced_pixels(), 0);
}

TEST_F(Titles, PartsOfTheTitleAndNamesOfUntitledPieces) {
  VeskMemory_Init();
  new_music_window(200, 200);
  display_win_title(1, nullptr);
  EXPECT_EQ(platform_window_title(music_window()), "Vesk");
  piece_fsspec = "/music/Song";
  current_page = 2;
  page_count = 5;
  voice_count = 1;
  ncontext_count = 1;
  display_win_title(1, nullptr);
  EXPECT_EQ(platform_window_title(music_window()), "Song, page 2 of 5");
  display_win_title(2, " (working)");
  EXPECT_EQ(platform_window_title(music_window()), "Song,  (working)");
  display_win_title(3, "Only this");
  EXPECT_EQ(platform_window_title(music_window()), "Only this");
  voice_count = 0;

  std::string untitled;
  make_window_title(&untitled);
  EXPECT_EQ(untitled, ":New Piece:");
  untitled.clear();
  make_window_title(&untitled);
  EXPECT_EQ(untitled, ":New Piece:2");
  std::string imported = "/in/x.xml";
  make_window_title(&imported);
  EXPECT_EQ(imported, "/in/:from: x.xml");
  const std::string long_name =
      "foster-jeanie-with-the-light-brown-hair-lead-sheet-\xc3\xa9.musicxml";
  imported = "/in/" + long_name;
  make_window_title(&imported);
  EXPECT_EQ(imported, "/in/:from: " + long_name) << "the whole name, its end and its characters";
  EXPECT_STREQ(path_leaf_name("a/b/"), "b/");
}

}  // namespace
