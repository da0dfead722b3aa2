// marks_test.cpp: articulation marks and tuplet numbers on small formatted pages (staff 0:
// bottom line 1560, middle 1660, top 1760; a head's y is its bottom, heads 60 wide and 50 high).
//   NoteMarks.*:   staccato, tenuto, fermata and accent stacked outward above and below, for stems
//              down and up, with and without a slur; a call for a note inside its stem
//   TupletNumbers.*: a number over the marked chord, one between two chords, none with the option
//   off
#include "graphics/marks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "support/chord_page.h"
#include "support/piece_builder.h"

namespace {

using NoteMarks = ChordPageTest;
using TupletNumbers = ChordPageTest;
using Lines = std::vector<std::string>;

constexpr int32_t BOTTOM = 1560, TOP = 1760;
constexpr int STACCATO = 38, FERMATA = 36, ACCENT = 37, SLUR = 5, TUPLET = 6;
constexpr int OPTIONS_TUPLET_NUMBERS = 16;

int32_t hx(Drosa n) { return nt(n)->get(xhdx); }
int32_t hy(Drosa n) { return nt(n)->get(xhdy); }
Lines owned(Drosa owner, int var) { return ge_lines(var, false, owner); }

// The first element of a kind (and var, for lines) drawn for owner.
Drosa element(int kind, int var, Drosa owner) {
  Drosa current = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) current = e->get(xnoteptr);
    if (e->xkind == kind && current == owner && (kind != GE_LINE || e->get(xgl_var) == var))
      return e;
  }
  return NIL;
}

Drosa marked(int v, int pos, int stem, bool staccato, int accent) {
  Drosa n = add_note(v, QUARTER, pos);
  n->set(xdir, stem);
  n->set(xstacc, staccato);
  n->set(xaccent, accent);
  return n;
}

TEST_F(NoteMarks, StackOutwardAboveAndBelowForStemsDownAndUpWithAndWithoutSlurs) {
  int v = new_voice();
  // B4 on the middle line, stem down: every mark above it.
  Drosa down = marked(v, 41, 1, true, 2);
  down->set(xtenu, 1);
  down->set(xferm, 1);
  // E4 on the bottom line, stem up: staccato and accent below, the fermata above.
  Drosa up = marked(v, 37, 2, true, 2);
  up->set(xferm, 1);
  add_bar(v);
  // A slur above two stems down, one below two stems up: staccatos inside, accents outside.
  Drosa a1 = marked(v, 41, 1, true, 2), a2 = marked(v, 41, 1, true, 2);
  Drosa b1 = marked(v, 37, 2, true, 2), b2 = marked(v, 37, 2, true, 2);
  a1->set(xslur, 3);
  b1->set(xslur, 3);
  format_and_draw(3);
  save_page_image("marks.png");

  // The head top 1685 moves up to the line 1710, then 20 up; each mark takes its height.
  EXPECT_EQ(owned(down, STACCATO), (Lines{glyph_line(STACCATO, hx(down), 1730, 4, down),
                                          glyph_line(STACCATO, hx(down), 1780, 5, down)}));
  EXPECT_EQ(owned(down, FERMATA), Lines{glyph_line(FERMATA, hx(down), 1830, 6, down)});
  EXPECT_EQ(owned(down, ACCENT), Lines{glyph_line(ACCENT, hx(down), 1920, 9, down)});
  // Below the staff: staccato 20 + 20 under the head, the accent 30 + 80 under it; the
  // fermata above the stem's end (at least the top line). x: the head's left edge.
  const int32_t x = hx(up) + nt(up)->get(xstemxoff) - 60;
  EXPECT_EQ(owned(up, STACCATO), Lines{glyph_line(STACCATO, x, hy(up) - 40, 4, up)});
  EXPECT_EQ(owned(up, ACCENT), Lines{glyph_line(ACCENT, x, hy(up) - 40 - 110, 10, up)});
  ASSERT_TRUE(element(GE_LINE, 20, up));
  const int32_t stem_end = element(GE_LINE, 20, up)->get(xge_y2);
  EXPECT_EQ(owned(up, FERMATA), Lines{glyph_line(FERMATA, x, std::max(stem_end, TOP) + 30, 6, up)});

  // The slur above starts and ends 20 over the staccatos (1750), at the heads' x + 30; the
  // accents keep 20 beyond it and 30 more.
  Drosa slur = element(GE_CURVE, SLUR, a1);
  ASSERT_TRUE(slur);
  EXPECT_EQ((std::vector<int32_t>{slur->get(xge_x1), slur->get(xge_y1), slur->get(xge_x2),
                                  slur->get(xge_y2)}),
            (std::vector<int32_t>{hx(a1) + 30, 1770, hx(a2) + 30, 1770}));
  for (Drosa n : {a1, a2}) {
    EXPECT_EQ(owned(n, STACCATO), Lines{glyph_line(STACCATO, hx(n), 1730, 4, n)});
    EXPECT_EQ(owned(n, ACCENT), Lines{glyph_line(ACCENT, hx(n), 1820, 9, n)});
  }
  // Below: staccato at 1495, the slur 20 under it, the accents 20 and 110 under that.
  for (Drosa n : {b1, b2}) {
    const int32_t bx = hx(n) + nt(n)->get(xstemxoff) - 60;
    EXPECT_EQ(owned(n, STACCATO), Lines{glyph_line(STACCATO, bx, 1495, 4, n)});
    EXPECT_EQ(owned(n, ACCENT), Lines{glyph_line(ACCENT, bx, 1495 - 20 - 20 - 110, 10, n)});
  }

  // A note inside its stem (the next note of its chord stems the same way) draws nothing.
  Drosa plain = marked(v, 44, 2, false, 0);  // D5, stem up: a staccato below
  Drosa chord = add_chord(v, QUARTER, {30, 32});
  chord->set(xstacc, 1);
  format_and_draw(3);
  GEinit(0);
  draw_marks_always(chord, 0, 0);
  draw_marks_sometimes(chord, 0, 0);
  EXPECT_TRUE(ge_lines().empty());
  const std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text, "warning: calling draw_marks_always for note which is not last on stem");
  // A staff that a damaged file left without line spacing (its lines all at the middle): the
  // mark keeps 20 + 20 under the head.
  staff_data[0].staff_size = 0;
  place_marks(plain, P_STACCATO_MARK, 0);
  EXPECT_EQ(ge_lines(STACCATO),
            Lines{glyph_line(STACCATO, hx(plain) + nt(plain)->get(xstemxoff) - 60, hy(plain) - 40,
                             4, plain)});
}

TEST_F(TupletNumbers, NumbersOverTheMarkedChordOrBetweenTwoChordsAndNoneWhenSwitchedOff) {
  set_options_i16(1, OPTIONS_TUPLET_NUMBERS, 1);
  int v = new_voice();
  std::vector<Drosa> eighths, uneven;
  for (int pos : {37, 38, 39}) {
    eighths.push_back(add_note(v, EIGHTH, pos));
    make_tuplet(eighths.back(), 3, 2);
  }
  for (int lgval : {QUARTER, EIGHTH}) {
    uneven.push_back(add_note(v, lgval, 38));
    make_tuplet(uneven.back(), 3, 2);
  }
  add_note(v, HALF, 38);
  format_and_draw(3);
  save_page_image("tuplets.png");
  ParamValue font;
  scaled_char_param(&font, P_FONT_INFORMATION_FOR_TUPLET_NUMBERS, eighths[0], nullptr);
  const int32_t half_width = param_string_width(font, "3") / 2;
  auto number = [&](int32_t x, int32_t y) {
    return "text 6 " + std::to_string(x + 30 - half_width + font.x()) + " " +
           std::to_string(y + font.y()) + " \"3\"";
  };
  // Stems up: below, 10 + 70 under the staff (no head lies lower); over the middle chord, and,
  // for the quarter and the eighth, which no beam joins, in a bracket 10 + 50 under the staff.
  EXPECT_EQ(ge_lines(TUPLET), (Lines{number(hx(eighths[1]), BOTTOM - 80),
                                     number((hx(uneven[0]) + hx(uneven[1])) / 2, BOTTOM - 95)}));
  EXPECT_EQ(get_min_loy(cddatptr(eighths[1], 1)), BOTTOM - 80);

  set_options_i16(1, OPTIONS_TUPLET_NUMBERS, 0);
  format_and_draw(3);
  EXPECT_TRUE(ge_lines(TUPLET).empty());
  EXPECT_EQ(get_min_loy(cddatptr(eighths[1], 1)), hy(eighths[1]));
}

}  // namespace
