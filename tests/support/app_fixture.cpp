// app_fixture.cpp: the application frame's fixture.
#include "support/app_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/app_services.h"
#include "console/console_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/application.h"
#include "platform/events.h"
#include "platform/menus.h"
#include "platform/port.h"
#include "platform/window.h"

void AppTest::SetUp() {
  ScriptedTest::SetUp();
  capture_reports();
  platform_set_test_screen(true, {0, 0, 1280, 1000});
  char pattern[] = "/tmp/vesk-app-XXXXXX";
  dir = mkdtemp(pattern);
}

void AppTest::TearDown() {
  // What is still open goes without asking.
  const std::vector<Report> seen = take_reports();
  set_report_observer([](int16_t, const char*) {});
  if (current_view_index >= 0) close_view(0);
  if (console_ref) console_dispose_and_free(console_ref);
  console_ref = nullptr;
  dispose_music_window();
  if (platform_main_window_open()) platform_close_main_window();
  platform_flush_events(EVERY_EVENT);
  platform_set_test_screen(false, {});
  platform_set_test_mouse(false, {});
  platform_set_test_modifiers(false, 0);
  platform_set_test_front_window(false, 0);
  platform_clear_menus();
  for (const Report& r : seen)
    ADD_FAILURE() << "unexpected report (level " << r.level << "): " << r.text;
  set_report_observer(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  ScriptedTest::TearDown();
}

bool AppTest::start(const std::vector<std::string>& arguments) {
  std::vector<std::string> words{"vesk"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  // The program starts once: a test that starts it again disposes of the earlier console first,
  // or the new console takes standard output over from the old one's pipe and gives it back
  // only to that pipe, and the test binary's own output is lost from then on.
  if (console_ref) console_dispose_and_free(console_ref);
  console_ref = nullptr;
  try {
    start_up(int(words.size()), argv.data());
  } catch (const ProgramExit& exit) {
    ADD_FAILURE() << "the program ended in start-up with " << exit.status;
    return false;
  }
  const int status = run_until_idle();
  if (status != -1) ADD_FAILURE() << "the program ended with " << status;
  return status == -1;
}

int AppTest::pass() {
  try {
    main_event_pass();
  } catch (const ProgramExit& exit) {
    return exit.status;
  }
  return -1;
}

int AppTest::run_until_idle(int limit) {
  for (int i = 0; i < limit; ++i) {
    EventRecord waiting;
    const bool more = peek_event(EVERY_EVENT, &waiting);
    const int status = pass();
    if (status != -1) return status;
    if (!more && !reformat_pending) return -1;
  }
  ADD_FAILURE() << "the main loop did not come to rest";
  return -1;
}

int AppTest::misplaced_pixels() {
  Port* window = platform_window_port(music_window());
  if (!window || !offscreen_page) return -1;
  if (flashing_node) show_as_flashed(flashing_node, 1);  // the blink is not the page's
  const Rect area = music_area_rect();
  const Point origin = scroll_origin();
  int misplaced = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      misplaced +=
          port_pixel(window, x, y) != port_pixel(offscreen_page, x - origin.x, y - origin.y);
  return misplaced;
}

int AppTest::dark_pixels() {
  Port* window = platform_window_port(music_window());
  const Rect area = music_area_rect();
  int dark = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) dark += (port_pixel(window, x, y) & 0xFF) < 0x80;
  return dark;
}

void AppTest::save_window(const std::string& name) {
  // The build folder: where the tests run, or the folder above it.
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = build / "test-output" / "app";
  std::filesystem::create_directories(folder);
  port_save_png(platform_window_port(music_window()), (folder / (name + ".png")).c_str());
}
