// entry_fixture.h: the program started on an empty piece, for note entry: one voice on a treble
// staff, 4/4, whole rests in G major with a change to F major at the start of the second
// system, two bars a system; driven by computer keys, clicks on the piano window and MIDI
// input on the loopback.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/geometry.h"
#include "support/selection_page.h"

class EntryPage : public SelectionPage {
 protected:
  void TearDown() override;

  // Writes and opens the empty piece of `bars` bars (an even number); with `midi` the MIDI
  // service is the loopback, with keys not sounded back and the loopback's echo of what is sent
  // kept out of the input.
  void open_empty(int bars, bool midi = false);
  // A double click on the first rest: note entry starts there.
  void start_entry();

  // A computer key typed (down, then up), with modifier keys held throughout.
  void type(char c, uint16_t modifiers = 0);
  // A press and release in the piano window; with `then_wait` a second passes afterwards, so
  // that the next click is no double click.
  void click_piano(Point where, uint16_t modifiers = 0, bool then_wait = true);
  // Window points of a key (as if unshifted) and of a palette box.
  static Point piano_key_point(int key);
  static Point box_point(int box);
  // Shift goes up: the main loop enters a chord it held.
  void release_shift();
  // Bytes played into the loopback's source; the main loop then runs until it rests.
  void midi(const std::vector<uint8_t>& bytes);

  // The stored nodes of voice 0, one line each (layout records and group bits left out).
  std::string voice_text();
  // Writes the piano window as test-output/performance/<name>.png of the build folder.
  void save_piano(const std::string& name);
  // The path of test-output/performance/<name>.png of the build folder (the folder made).
  static std::string image_path(const std::string& name);
};

// A key struck at a time: its onset in ticks and its key number.
using Onset = std::pair<int64_t, int>;

// The keys struck in voice 0, each with its onset in ticks of `division` a quarter, in order: a
// note tied from the chord before at its pitch strikes nothing.
std::vector<Onset> struck_keys(int division);
