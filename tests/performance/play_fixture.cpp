// play_fixture.cpp: playing built pieces in tests.
#include "performance/play_fixture.h"

#include <cstdio>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "params/param_services.h"
#include "performance/perfdata.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/play_queue.h"
#include "platform/midi.h"
#include "platform/play_timer.h"
#include "platform/synth.h"
#include "platform/ticks.h"
#include "support/piece_builder.h"

Drosa add_text_anno(int v, int16_t font, const std::string& text, bool adjacent) {
  Drosa t = add(v, TPARAM);
  t->set(xtextfont, font);
  t->set(xtextsize, 12);
  if (adjacent) t->set(xadjacent, 1);
  for (size_t at = 0; at < text.size(); at += TEXT_NODE_CHARS)
    add(v, TEXT)->set(xtext, text.substr(at, TEXT_NODE_CHARS).c_str());
  return t;
}

Drosa add_glyph_anno(int v, int pindex) {
  const ParamValue* glyph = param_value(pindex, NIL, nullptr);
  return add_text_anno(v, glyph->font(), std::string(1, char(glyph->character())));
}

void add_tempo_mark(int v, int bpm, int unit) {
  add_glyph_anno(v, P_WHOLE_NOTE_FOR_TEMPO_MARKINGS + unit - 1);
  add_text_anno(v, -5, "=" + std::to_string(bpm), true);
}

Drosa add_repeat_bar(int v, bool end, bool start, int code) {
  Drosa bar = add_bar(v);
  bar->set(xrepeat_end, end);
  bar->set(xrepeat_start, start);
  bar->set(xrepeat_code, uint8_t(code));
  return bar;
}

void PlayTest::SetUp() {
  ModelTest::SetUp();
  read_header(nullptr);  // a new piece's records: the default playback settings among them
  voice_count = 0;
  param_init();
  current_ncontext = 1;
}

void PlayTest::TearDown() {
  finish_playing();
  reset_performance_globals();
  ModelTest::TearDown();
}

void PlayTest::use_loopback() {
  platform_midi_use_loopback(true);
  ASSERT_EQ(midi_setup(), 0);
  midi_out_available = MIDI_OUT_SERVICE;
  prefs.set_i16(PREFS_MIDI_OUTPUT_DEVICE, 2);
  prefs.set_i32(PREFS_MIDI_OUTPUT_DEST, 1);
  install_play_timer();
}

void PlayTest::use_offline_synth() {
  platform_synth_use_offline(true);
  ASSERT_EQ(qt_open_note_channels(), 1);
  midi_out_available = MIDI_OUT_SYNTH;
  prefs.set_i16(PREFS_MIDI_OUTPUT_DEVICE, 0);
  prefs.set_i32(PREFS_MIDI_OUTPUT_DEST, 0);
  install_play_timer();
}

void PlayTest::prepare_piece() {
  for (int v = 0; v < voice_count; ++v) {
    page_start[v] = piece_start[v];
    Drosa first = find_next_kind(NOTE, piece_start[v]);
    Drosa last = find_prev_kind(NOTE, voice_end(v));
    set_default_performance(first, last, 1, 0, 1, PERF_LATER_MOVE, 0);
  }
}

int32_t PlayTest::hear(int ignore_repeats) {
  hear_ms = now_ms();
  EXPECT_EQ(hear_command(0, 1, ignore_repeats, 0, 0), 1);
  return hear_ms + 2000;
}

void PlayTest::run_play(int32_t until_ms) {
  for (int32_t ms = 0; ms < until_ms && (is_playing() || play_queue_busy()); ms += 10) {
    platform_advance_microseconds(10000);
    play_music(0, 0);
  }
}

std::vector<std::string> PlayTest::take_sent(int32_t origin) {
  std::vector<std::string> lines;
  for (const SentMidi& m : platform_midi_take_sent()) {
    std::string line = std::to_string((m.microseconds - clock_origin.load()) / 1000 - origin);
    for (uint8_t b : m.bytes) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02X", b);
      line += hex;
    }
    lines.push_back(line);
  }
  return lines;
}
