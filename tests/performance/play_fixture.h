// play_fixture.h: playing pieces made in code through the loopback MIDI service or the offline
// synthesizer, on the virtual clock, and reading back what was sent.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "support/model_fixture.h"

// Annotations before the next note of a voice.
Drosa add_text_anno(int v, int16_t font, const std::string& text, bool adjacent = false);
// The glyph of a character parameter as an annotation (a pedal mark).
Drosa add_glyph_anno(int v, int pindex);
// A metronome mark: the tempo-mark note of `unit` (3 a quarter), "=" and the number.
void add_tempo_mark(int v, int bpm, int unit = 3);
// A bar line with repeat dots at its end (`end`) or start and a repeat code.
Drosa add_repeat_bar(int v, bool end, bool start, int code);

class PlayTest : public ModelTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The output: the loopback MIDI service (destination 1), or the built-in synthesizer
  // rendering offline.
  void use_loopback();
  void use_offline_synth();
  // Gives every voice its default playback data and shows the first page.
  void prepare_piece();
  // Starts Hear without its dialog; the time the first note is due (now + 2000 ms).
  int32_t hear(int ignore_repeats = 0);
  // Moves the clock 10 ms at a time, calling the engine after each step, until the play has
  // ended and the queue is empty, or `until_ms` (from the start) has passed.
  void run_play(int32_t until_ms = 60000);
  // What the loopback received since the last take: "<ms> <hex bytes>", ms counted from `origin`.
  std::vector<std::string> take_sent(int32_t origin);

  int32_t hear_ms = 0;  // the clock when Hear started
};
