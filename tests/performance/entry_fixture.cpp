// entry_fixture.cpp: the note-entry fixture of entry_fixture.h.
#include "performance/entry_fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/palette.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/midi.h"
#include "platform/port.h"
#include "platform/ticks.h"
#include "platform/window.h"
#include "support/piece_builder.h"

namespace {

constexpr int G_MAJOR = 1, F_MAJOR = 8;  // xkey: one sharp; one flat (7 + 1)
constexpr int F_SHARP = 10, B_FLAT = 6, F_NATURAL = 14 + 3;
constexpr uint32_t SECOND = 60;  // ticks

// The empty piece of open_empty, written to `path` with a node store of its own.
void reset_piece_globals() {
  reset_model_globals();
  reset_graphics_globals();
  reset_editing_globals();
  reset_layout_globals();
  reset_params_globals();
}

bool write_empty_piece(const std::string& path, int bars) {
  reset_piece_globals();
  VeskMemory_Init();
  param_init();
  read_header(nullptr);
  voice_count = 0;
  const int v = new_voice("Flute", 0, 0);
  add_clef(v, 0);
  Drosa key = add_key(v, G_MAJOR);
  key->set(xkeycnt, 1);
  key->set(xkeysig_entry, 0, F_SHARP);
  add_timesig(v, 4, 4);
  for (int bar = 0; bar < bars; ++bar) {
    if (bar == 2) {
      Drosa change = add_key(v, F_MAJOR);
      change->set(xkeycnt, 2);
      change->set(xkeysig_entry, 0, B_FLAT);
      change->set(xkeysig_entry, 1, F_NATURAL);
    }
    add_rest(v, WHOLE);
    add_bar(v);
    if (bar % 2 == 1 && bar + 1 < bars) add_system_break(v, bar % 4 == 3);
  }
  set_default_performance(find_next_kind(NOTE, piece_start[v]), find_prev_kind(NOTE, voice_end(v)),
                          0, 0, 0, 42, 0);
  current_page = 1;
  const bool written = write_piece_file(0, NIL, path) == 1;
  reset_piece_globals();
  return written;
}

std::string hex_bytes(const uint8_t* b, int from, int to) {
  std::string s;
  char two[4];
  for (int i = from; i < to; ++i) {
    std::snprintf(two, sizeof two, "%02x", b[i]);
    s += two;
  }
  return s;
}

}  // namespace

void EntryPage::TearDown() {
  platform_midi_use_loopback(false);
  SelectionPage::TearDown();
}

void EntryPage::open_empty(int bars, bool midi_service) {
  ASSERT_TRUE(write_empty_piece(dir + "/empty.vesk", bars));
  platform_midi_use_loopback(midi_service);
  ASSERT_TRUE(start({dir + "/empty.vesk"}));
  ASSERT_TRUE(offscreen_page);
  ASSERT_TRUE(palette_window);
  if (midi_service) {
    ASSERT_TRUE(midi_out_available & MIDI_OUT_SERVICE);
    prefs.set_i16(PREFS_MIDI_OUTPUT_DEVICE, 2);
    prefs.set_i32(PREFS_MIDI_OUTPUT_DEST, 1);
    prefs.set_u8(PREFS_ECHO_MIDI_INPUT, 0);
  }
}

void EntryPage::start_entry() {
  const Drosa rest = drawn(0).at(0);
  click(head(rest));
  click(head(rest));
  ASSERT_EQ(note_entry_active, 1);
  ASSERT_EQ(insertion_point, rest);
}

void EntryPage::type(char c, uint16_t modifiers) {
  platform_set_test_modifiers(true, uint16_t(modifiers | MOD_BUTTON_UP));
  EventRecord e;
  e.what = EVENT_KEY_DOWN;
  e.window = music_window();
  e.message = uint8_t(c);
  e.modifiers = modifiers;
  platform_post_event(e);
  e.what = EVENT_KEY_UP;
  platform_post_event(e);
  EXPECT_EQ(run_until_idle(), -1);
  platform_advance_ticks(SECOND);  // the next key is no double keystroke
}

void EntryPage::click_piano(Point where, uint16_t modifiers, bool then_wait) {
  platform_set_test_modifiers(true, uint16_t(modifiers | MOD_BUTTON_UP));
  EventRecord e;
  e.what = EVENT_MOUSE_DOWN;
  e.window = palette_window;
  e.where = where;
  e.modifiers = modifiers;
  platform_post_event(e);
  e.what = EVENT_MOUSE_UP;
  platform_post_event(e);
  EXPECT_EQ(run_until_idle(), -1);
  if (then_wait) platform_advance_ticks(SECOND);
}

Point EntryPage::piano_key_point(int key) {
  static const int middle[12] = {4, 8, 13, 19, 22, 31, 35, 40, 45, 49, 55, 58};
  static const bool black[12] = {false, true,  false, true,  false, false,
                                 true,  false, true,  false, true,  false};
  const int x0 = keyboard_origin_x + 63 * (key / 12);
  const int s = key % 12;
  return {x0 + middle[s], black[s] ? 5 : 20};
}

Point EntryPage::box_point(int box) {
  Rect r;
  boxnum_to_rect(box, &r);
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void EntryPage::release_shift() {
  platform_set_test_modifiers(true, MOD_BUTTON_UP);
  EXPECT_EQ(pass(), -1);
  EXPECT_EQ(run_until_idle(), -1);
}

void EntryPage::midi(const std::vector<uint8_t>& bytes) {
  platform_midi_loopback_play(bytes);
  EXPECT_EQ(pass(), -1);
  EXPECT_EQ(run_until_idle(), -1);
}

std::string EntryPage::voice_text() {
  std::string text;
  const std::vector<Drosa> numbering = voice_nodes(0);
  for (Drosa p : numbering) {
    if (temp_node(p, 1002) || p->xkind == PDATA) continue;
    uint8_t bytes[DROSA_NODE_SIZE];
    std::copy(p->bytes(), p->bytes() + DROSA_NODE_SIZE, bytes);
    if (p->xkind == NOTE) bytes[15] &= ~0x02;                   // the group bit
    if (p->xkind == BAR) std::fill(bytes + 16, bytes + 24, 0);  // where the layout drew it
    text += dump_node(p, numbering) + "  " + hex_bytes(bytes, 8, DROSA_NODE_SIZE) + "\n";
  }
  return text;
}

std::string EntryPage::image_path(const std::string& name) {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = build / "test-output" / "performance";
  std::filesystem::create_directories(folder);
  return (folder / (name + ".png")).string();
}

void EntryPage::save_piano(const std::string& name) {
  port_save_png(platform_window_port(palette_window), image_path(name).c_str());
}

std::vector<Onset> struck_keys(int division) {
  std::vector<Onset> list;
  std::set<int> tied, next_tied;
  int64_t time = 0;  // time units, 65536 a whole
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind != NOTE || p->get(xgrace)) continue;
    const int key = p->get(xpitch) >> 8;
    if (!p->get(xrest) && !tied.count(key)) list.push_back({time * division / 16384, key});
    if (!p->get(xrest) && p->get(xtie)) next_tied.insert(key);
    if (!p->get(xendvcd)) continue;
    time += note_duration(p, 0);
    tied.swap(next_tied);
    next_tied.clear();
  }
  std::sort(list.begin(), list.end());
  return list;
}
