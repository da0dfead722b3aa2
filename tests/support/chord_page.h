// chord_page.h: small pages formatted for the chord and beam drawing tests, their chords drawn
// as the page pass hands them over, and the GE list as text.
#pragma once

#include <string>
#include <vector>

#include "model/model_services.h"
#include "support/model_fixture.h"

// The page: 8.5 inches wide and 3 high (tenths of an inch), one system at its top.
inline constexpr int CHORD_PAGE_WIDTH = 85;
inline constexpr int CHORD_PAGE_HEIGHT = 30;

// A fixture with a parameter table, fonts, a GE list head and a small page.
class ChordPageTest : public ModelTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Makes the page image at a zoom (layout units per pixel; stems are snapped to its pixels),
// formats page 1 and, unless the format drew them, draws every chord of every staff: chords
// outside beams through printcd, beam groups through printbeam (a beam buffer of one staff at
// a time).
void format_and_draw(float zoom = 10);
// The drawing part of it alone, on the page as formatted.
void draw_page_chords();

// One line per element of the list (of one var, or all for -1): a character is
// "char <var> <x> <y> c<code>", a line "line <var> <x1> <y1> <x2> <y2> w<width>", a curve
// "curve <var> s<pstaff> <x1> <y1> <x2> <y2>", a text run "text <var> <x> <y> "<text>"". Screen
// twins are left out unless asked for; they are marked with a leading "~". With an owner, only the
// elements drawn for it.
std::vector<std::string> ge_lines(int var = -1, bool twins = false, Drosa owner = NIL);

// The expected text of a glyph of character parameter p at (x, y) for owner note: the
// parameter's own offsets added as the GE constructor adds them.
std::string glyph_line(int var, int32_t x, int32_t y, int p, Drosa owner);
std::string line_line(int var, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width);

// The NTDATA of a note.
Drosa nt(Drosa note);

// Plots the GE list on the screen into the page image and writes it as a PNG image into
// test-output/graphics of the build tree.
void save_page_image(const char* name);
