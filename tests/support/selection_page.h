// selection_page.h: a fixture for the selection: the program started on a piece of pages (two
// systems of two 4/4 bars a page, one voice a staff), driven by scripted clicks, drags and keys
// in its music window.
#pragma once

#include <string>
#include <vector>

#include "model/model_services.h"
#include "platform/geometry.h"
#include "support/app_fixture.h"

class SelectionPage : public AppTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes and opens a piece of `pages` pages on `staves` staves.
  void open(int pages, int staves);

  // The drawn notes and rests of a voice on the current page, in list order.
  std::vector<Drosa> drawn(int voice);
  // The window point over the middle of a note's head.
  Point head(Drosa note);

  // A press and release at one point, or moved from `from` to `to`, with modifier keys; the
  // main loop then runs until it rests.
  void click(Point where, uint16_t modifiers = 0);
  void drag(Point from, Point to, uint16_t modifiers = 0);
  // An arrow or other key typed with modifiers (Command and Option are also held while it is
  // read, as the keyboard reports them).
  void key(int character, uint16_t modifiers = 0);

  // Every stored node of every voice list as bytes (kind, context and payload), in order, with
  // the layout records left out: what an edit and its undo must agree on. Without_selection
  // leaves out the notes' group bits (xselected), which undo does not give back.
  std::string voice_bytes(bool without_selection = false);
  // The page image's pixels.
  std::vector<uint32_t> page_pixels();
  // The selected notes of the page, voice by voice.
  std::vector<Drosa> selected();
  // Writes the page image as test-output/editing/<name>.png of the build folder.
  void save_page(const std::string& name);
};
