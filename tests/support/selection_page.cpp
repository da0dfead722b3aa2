// selection_page.cpp: the selection fixture of selection_page.h.
#include "support/selection_page.h"

#include <cmath>
#include <filesystem>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/port.h"
#include "platform/window.h"
#include "support/piece_files.h"

void SelectionPage::SetUp() {
  AppTest::SetUp();
  // The button is up unless a drag's release is waiting: every press ends with its release.
  platform_set_test_modifiers(true, MOD_BUTTON_UP);
}

void SelectionPage::TearDown() { AppTest::TearDown(); }

void SelectionPage::open(int pages, int staves) {
  ASSERT_TRUE(write_piece_of_pages(dir + "/song.vesk", pages, staves));
  ASSERT_TRUE(start({dir + "/song.vesk"}));
  ASSERT_TRUE(offscreen_page);
}

std::vector<Drosa> SelectionPage::drawn(int voice) {
  std::vector<Drosa> notes;
  for (Drosa p = page_start[voice]->xnext; p; p = p->xnext) {
    if (effective_kind(p) == ENDSYST && p->get(xendpage)) break;
    if (is_plotted_note(p)) notes.push_back(p);
  }
  return notes;
}

Point SelectionPage::head(Drosa note) {
  const Point origin = scroll_origin();
  Drosa nt = note->xnext;
  const double z = zoom_factor;
  return {int(std::lround((nt->get(xscrhdx) + 30) / z)) + origin.x,
          origin.y + page_pixel_height - int(std::lround((nt->get(xscrhdy) + 25) / z))};
}

void SelectionPage::click(Point where, uint16_t modifiers) { drag(where, where, modifiers); }

void SelectionPage::drag(Point from, Point to, uint16_t modifiers) {
  EventRecord e;
  e.what = EVENT_MOUSE_DOWN;
  e.window = music_window();
  e.where = from;
  e.modifiers = modifiers;
  platform_post_event(e);
  e.what = EVENT_MOUSE_UP;
  e.where = to;
  platform_post_event(e);
  EXPECT_EQ(run_until_idle(), -1);
}

void SelectionPage::key(int character, uint16_t modifiers) {
  platform_set_test_modifiers(true, uint16_t(modifiers | MOD_BUTTON_UP));
  EventRecord e;
  e.what = EVENT_KEY_DOWN;
  e.window = music_window();
  e.message = uint32_t(character);
  e.modifiers = modifiers;
  platform_post_event(e);
  EXPECT_EQ(run_until_idle(), -1);
  platform_set_test_modifiers(true, MOD_BUTTON_UP);
}

std::string SelectionPage::voice_bytes(bool without_selection) {
  std::string bytes;
  for (int v = 0; v < voice_count; ++v) {
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (temp_node(p, 1002) || p->xkind == PDATA) continue;
      const uint8_t* b = p->bytes();
      std::string node(reinterpret_cast<const char*>(b + 8), DROSA_NODE_SIZE - 8);
      if (without_selection && p->xkind == NOTE) node[15 - 8] &= ~0x02;
      bytes += node;
    }
    bytes += '|';
  }
  return bytes;
}

std::vector<uint32_t> SelectionPage::page_pixels() { return port_pixels(offscreen_page); }

std::vector<Drosa> SelectionPage::selected() {
  std::vector<Drosa> notes;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa n : drawn(v))
      if (n->get(xselected)) notes.push_back(n);
  return notes;
}

void SelectionPage::save_page(const std::string& name) {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = build / "test-output" / "editing";
  std::filesystem::create_directories(folder);
  port_save_png(offscreen_page, (folder / (name + ".png")).c_str());
}
