// drawanno_test.cpp: the annotation passes on small formatted pages (page 6120 wide; staff 0's
// lines from 1560 to 1760), read back as the text of the annotations' graphics elements.
//   DrawText.*:  a text at its place with its runs; hyphens between syllables and to the
//                system's end; extenders through a melisma (where one ends making no line of
//                lyrics of its own); texts kept on the page; boxes and
//                chord-symbol underlines; hidden, not drawn and over-long texts; an interrupt
//   FindObj.*:   an annotation standing for the third of three accidentals hides that one; a
//                redundant one goes
#include "annotations/drawanno.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "annotations/anno_classes.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/events.h"
#include "support/chord_page.h"
#include "support/piece_builder.h"

namespace {

using DrawText = ChordPageTest;
using FindObj = ChordPageTest;

// A text of one run in Times 12 (its TEXT nodes after it) before the voice's next note.
Drosa text(int v, const std::string& chars, int32_t x = 0, int32_t y = 0, int justified = 0) {
  Drosa t = add(v, TPARAM);
  t->set(xtextfont, -5);
  t->set(xtextsize, 12);
  t->set(xtextx, x);
  t->set(xtexty, y);
  t->set(xjustified, justified);
  for (size_t at = 0; at < chars.size(); at += TEXT_NODE_CHARS)
    add(v, TEXT)->set(xtext, chars.substr(at, TEXT_NODE_CHARS).c_str());
  return t;
}

// A lyric: centred, from the staff's top line.
Drosa lyric(int v, const char* chars) {
  Drosa t = text(v, chars, 0, -400, 1);
  t->set(xfromstaff, 1);
  return t;
}

Drosa pd(Drosa head) { return head->xnext; }

std::string text_line(int where, int32_t x, int32_t y, const std::string& chars) {
  return "text g" + std::to_string(where) + " " + std::to_string(x) + " " + std::to_string(y) +
         " \"" + chars + "\"";
}
// The annotation elements drawn for a note: "text g<where> <x> <y> "<text>"" (x and y
// -32768 for a run after the last) and "line g<where> m<drawmode> <x1> <y1> <x2> <y2>
// w<width> <dash>/<gap>".
std::vector<std::string> drawn(Drosa owner) {
  std::vector<std::string> out;
  char line[200];
  Drosa current = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) current = e->get(xnoteptr);
    if (current != owner || e->xkind == NOTEPTR || !e->get(xganno)) continue;
    if (e->xkind == GE_LINE) {
      std::snprintf(line, sizeof line, "line g%d m%d %d %d %d %d w%d %d/%d", e->get(xganno),
                    e->get(xdrawmode), e->get(xge_x1), e->get(xge_y1), e->get(xge_x2),
                    e->get(xge_y2), e->get(xgl_width), e->get(xgl_dash), e->get(xgl_gap));
    } else if (e->xkind == GE_STRING) {
      std::string run;
      GE_string_text(&run, &e);
      out.push_back(text_line(e->get(xganno), e->get(xgc_x), e->get(xgc_y), run));
      continue;
    } else {
      continue;
    }
    out.push_back(line);
  }
  return out;
}

std::string rule(int where, int mode, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int width,
                 int dash = 0, int gap = 0) {
  char line[200];
  std::snprintf(line, sizeof line, "line g%d m%d %d %d %d %d w%d %d/%d", where, mode, x1, y1, x2,
                y2, width, dash, gap);
  return line;
}

int32_t length(int pindex) { return param_length(pindex, NIL, nullptr); }

TEST_F(DrawText, PlacedFromItsReferenceWithItsRuns) {
  int v = new_voice();
  Drosa left = text(v, "left", 100, 300);
  Drosa right = text(v, "right", 600, 0, 2);
  Drosa run = add(v, TPARAM);  // a second run of the right-aligned text
  run->set(xadjacent, 1);
  run->set(xtextfont, -5);
  run->set(xtextsize, 12);
  run->set(xtextface, 1);
  add(v, TEXT)->set(xtext, " bold");
  Drosa note = add_note(v, QUARTER);
  format_and_draw();
  const int32_t x = nt(note)->get(xhdx), y = nt(note)->get(xhdy);
  const int32_t width = measure_anno_text(note, right, nullptr);
  EXPECT_EQ(drawn(note), (std::vector<std::string>{text_line(1, x + 100, y + 300, "left"),
                                                   text_line(1, x + 600 - width, y, "right"),
                                                   text_line(1, -32768, -32768, " bold")}));
  EXPECT_EQ(pd(left)->get(xpagex1), x + 100);
  EXPECT_EQ(pd(left)->get(xpagex2), x + 100 + measure_anno_text(note, left, nullptr));
  EXPECT_EQ(pd(left)->get(xpagey1), y + 300);
  EXPECT_EQ(pd(right)->get(xpagex2), x + 600);
}

TEST_F(DrawText, HyphensBetweenSyllablesAndToTheSystemsEnd) {
  int v = new_voice();
  Drosa lo = lyric(v, "lo-");
  Drosa first = add_note(v, QUARTER);
  add_note(v, QUARTER);
  add_note(v, QUARTER);
  Drosa ve = lyric(v, "ve");
  add_note(v, QUARTER);
  Drosa last_syllable = lyric(v, "a-");
  Drosa last = add_note(v, QUARTER);
  auto hyphens = [](Drosa owner) {
    std::vector<std::string> h;
    for (const std::string& l : drawn(owner))
      if (l.size() > 4 && l.substr(l.size() - 4) == " \"-\"") h.push_back(l);
    return h;
  };
  // For a gap of d and at most p a hyphen, d / p + 1 hyphens share the gap evenly; without a
  // distance, one in the middle.
  for (int32_t p : {1440, 200, 0}) {
    SCOPED_TRACE(p);
    param[P_CENTERED_HYPHENS_MAXIMUM_DISTANCE_FOR_EACH_HYPHEN].value.set_integer(p);
    format_and_draw();
    EXPECT_EQ(anno_run_text(lo), "lo-");
    const int32_t start = pd(lo)->get(xpagex2), y = pd(lo)->get(xpagey1);
    const int32_t half = pd(lo)->get(xchyphen) / 2;
    ASSERT_GT(half, 0);
    const int32_t d = pd(ve)->get(xpagex1) - start;
    const int32_t n = p > 0 ? d / p : 0;
    std::vector<std::string> expected;
    for (int32_t k = 1; k <= n + 1; ++k)
      expected.push_back(text_line(1, start + k * d / (n + 2) - half, y, "-"));
    EXPECT_EQ(hyphens(first), expected);
    EXPECT_GT(n + 1, p == 200 ? 1 : 0);
  }
  // No syllable after the last: its hyphen runs to the system's right end.
  const int32_t start = pd(last_syllable)->get(xpagex2);
  const int32_t d = staff_right_x(0, 1) - start;
  EXPECT_EQ(
      hyphens(last),
      (std::vector<std::string>{text_line(1, start + d / 2 - pd(last_syllable)->get(xchyphen) / 2,
                                          pd(last_syllable)->get(xpagey1), "-")}));
  EXPECT_EQ(drawn(last).front(),
            text_line(1, pd(last_syllable)->get(xpagex1), pd(last_syllable)->get(xpagey1), "a"));
}

TEST_F(DrawText, ExtendersRunUnderAMelismaAndFromASystemsStart) {
  int v = new_voice();
  Drosa la = lyric(v, "la_");
  Drosa sung = add_note(v, QUARTER);
  lyric(v, "_");
  Drosa held = add_note(v, QUARTER);
  lyric(v, "_");
  Drosa end = add_note(v, QUARTER);
  lyric(v, "dy");
  add_note(v, QUARTER);
  add_system_break(v);
  lyric(v, "_");
  Drosa carried = add_note(v, HALF);
  format_and_draw();
  const int32_t y = pd(la)->get(xpagey1) + length(P_Y_OFFSET_FROM_TEXT_TO_UNDERLINE);
  const int width = length(P_LINE_WIDTH_OF_EXTENDED_UNDERLINE);
  // From the syllable's end to under the melisma's last note.
  const int32_t from =
      pd(la)->get(xpagex2) + length(P_X_OFFSET_FROM_END_OF_TEXT_TO_START_OF_UNDERLINE);
  const int32_t to =
      nt(end)->get(xhdx) + length(P_RIGHT_END_OF_UNDERLINE_EXTENDS_THIS_FAR_UNDER_ENDING_NOTE);
  EXPECT_EQ(drawn(sung), (std::vector<std::string>{
                             text_line(1, pd(la)->get(xpagex1), pd(la)->get(xpagey1), "la"),
                             rule(1, 0, from, y, to, y, width)}));
  EXPECT_TRUE(drawn(held).empty()) << "a note the melisma goes on over draws nothing of its own";
  // At the next system's start the underline comes in from the left, up to the mark's place.
  const int32_t a = nt(carried)->get(xhdx) +
                    length(P_RIGHT_END_OF_UNDERLINE_EXTENDS_THIS_FAR_UNDER_ENDING_NOTE) +
                    length(P_X_OFFSET_FROM_END_OF_UNDERLINE_TO_PUNCTUATION);
  std::vector<std::string> lines;
  for (const std::string& l : drawn(carried))
    if (l.rfind("line", 0) == 0) lines.push_back(l);
  ASSERT_EQ(lines.size(), 1u);
  const int32_t ly =
      pd(find_prev_kind(TPARAM, carried))->get(xpagey1) + length(P_Y_OFFSET_FROM_TEXT_TO_UNDERLINE);
  EXPECT_EQ(lines[0],
            rule(1, 0,
                 a - length(P_X_OFFSET_FROM_END_OF_UNDERLINE_TO_PUNCTUATION) -
                     length(P_LENGTH_OF_UNDERLINE_ONTO_SYSTEM),
                 ly, a - length(P_X_OFFSET_FROM_END_OF_UNDERLINE_TO_PUNCTUATION), ly, width));
}

TEST_F(DrawText, AnExtendersEndLowerThanItsVerseMakesNoLineOfItsOwn) {
  // A document gives where an extender ends no height of its own, so it comes at the verse's
  // default, lower than the syllables: it made a line of lyrics of its own under the verse,
  // which the staff below then kept clear of.
  int v = new_voice();
  Drosa la = lyric(v, "la_");
  add_note(v, QUARTER);
  Drosa mark = lyric(v, "_");
  mark->set(xtexty, -500);
  add_note(v, QUARTER);
  Drosa dy = lyric(v, "dy");
  add_note(v, QUARTER);
  for (Drosa t : {la, mark, dy}) t->set(xclassify, CLASS_LYRIC);
  format_and_draw();
  EXPECT_EQ(anno_lyric_lines(0).size(), 1u);
}

TEST_F(DrawText, AWordGoingOnThroughAMelismaIsHyphenatedNotUnderlined) {
  // "Pa-" sung over two notes, then "trem": the document marks the syllable both as going on
  // in its word and as extended; it was drawn "Pa-" with an underline after its hyphen.
  int v = new_voice();
  Drosa pa = lyric(v, "Pa-_");
  Drosa sung = add_note(v, QUARTER);
  add_note(v, QUARTER);
  Drosa trem = lyric(v, "trem");
  add_note(v, QUARTER);
  format_and_draw();
  const std::vector<std::string> lines = drawn(sung);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], text_line(1, pd(pa)->get(xpagex1), pd(pa)->get(xpagey1), "Pa"));
  // Hyphens share the gap to the next syllable evenly, as between any two syllables.
  const int32_t start = pd(pa)->get(xpagex2), d = pd(trem)->get(xpagex1) - start;
  const int32_t p = length(P_CENTERED_HYPHENS_MAXIMUM_DISTANCE_FOR_EACH_HYPHEN),
                n = p > 0 ? d / p : 0;
  ASSERT_EQ(lines.size(), size_t(n + 2)) << "no underline";
  for (int32_t k = 1; k <= n + 1; ++k)
    EXPECT_EQ(lines[size_t(k)], text_line(1, start + k * d / (n + 2) - pd(pa)->get(xchyphen) / 2,
                                          pd(pa)->get(xpagey1), "-"));
}

TEST_F(DrawText, TextsOffThePageComeBackMarkedAndBoxesAndUnderlinesAreDrawn) {
  int v = new_voice();
  Drosa away = text(v, "away", -20000);
  Drosa edge = text(v, "edge", -60);
  Drosa cut = text(v, "cut by the edge", -400);
  Drosa box = text(v, "A", 0, 500);
  box->set(xboxed, 1);
  Drosa chord = text(v, "Cmaj", 0, 650);
  chord->set(xspec_underline, 1);
  chord->set(xtextface, 4);
  Drosa note = add_note(v, QUARTER);
  format_and_draw();
  // Wholly left of the page: back whole, its left end at 80, with the screen's mark of a
  // moved text.
  const int32_t y = pd(away)->get(xpagey1);
  const int32_t x1 = pd(away)->get(xpagex1), x2 = pd(away)->get(xpagex2);
  EXPECT_EQ(x1, 80);
  EXPECT_EQ(x2, 80 + measure_anno_text(note, away, nullptr));
  EXPECT_EQ(pd(edge)->get(xpagex1), nt(note)->get(xhdx) - 60) << "on the page: kept";
  EXPECT_EQ(pd(cut)->get(xpagex1), 0) << "partly off the page: brought onto it";
  AnnoTextMeasure m;
  measure_anno_text(note, box, &m);
  const int32_t bx = pd(box)->get(xpagex1), by = pd(box)->get(xpagey1);
  const int32_t h = length(P_BOXED_TEXT_X_DISTANCE_FROM_TEXT_TO_VERTICAL_BOX_LINES),
                vv = length(P_BOXED_TEXT_Y_DISTANCE_FROM_TEXT_TO_HORIZONTAL_BOX_LINES),
                t = length(P_BOXED_TEXT_LINE_WIDTH_FOR_BOX_LINES);
  const int32_t l = bx - h, r = bx + m.width + h, bottom = by - m.descent - vv,
                top = by + m.ascent + vv;
  const int32_t cx = pd(chord)->get(xpagex1), cy = pd(chord)->get(xpagey1);
  const int32_t cw = pd(chord)->get(xpagex2) - cx;
  EXPECT_EQ(drawn(note),
            (std::vector<std::string>{
                rule(2, 1, x1, y - 30, x2, y - 30, 120),
                rule(2, 0, x1, y - 30, x2, y - 30, 1, 5, 1), text_line(1, x1, y, "away"),
                text_line(1, pd(edge)->get(xpagex1), pd(edge)->get(xpagey1), "edge"),
                text_line(1, 0, pd(cut)->get(xpagey1), "cut by the edge"),
                rule(1, 0, l, top, r + t - 6, top, t), rule(1, 0, r, top, r, bottom, t),
                rule(1, 0, r, bottom, l, bottom, t), rule(1, 0, l, bottom, l, top, t),
                text_line(1, bx, by, "A"),
                rule(1, 0, cx, cy - length(P_DISTANCE_FROM_CHORD_SYMBOL_TEXT_TO_UNDERLINE), cx + cw,
                     cy - length(P_DISTANCE_FROM_CHORD_SYMBOL_TEXT_TO_UNDERLINE),
                     length(P_WIDTH_OF_UNDERLINE_FOR_CHORD_SYMBOLS)),
                text_line(1, cx, cy, "Cmaj")}));
  // The chord symbol's own underline replaces the face's.
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && e->get(xganno) && e->get(xgc_char) == 0 && e->get(xgc_x) == cx)
      EXPECT_EQ(e->get(xgc_style), 0);
}

TEST_F(DrawText, HiddenNotDrawnAndLongTextsAndAnInterrupt) {
  int v = new_voice();
  Drosa hidden = text(v, "hidden");
  hidden->set(xhidden, 1);
  Drosa nodraw = text(v, "nodraw");
  nodraw->set(xtext_drawmode, 2);
  Drosa long_text = text(v, std::string(300, 'w'), 0, 600);
  Drosa note = add_note(v, QUARTER);
  // Other hidden texts shown on the screen only.
  prefs.set_u16(PREFS_HIDE_FLAGS, 0x0800);
  format_and_draw();
  std::vector<std::string> lines = drawn(note);
  ASSERT_EQ(lines.size(), 4u);
  const int32_t hx = pd(hidden)->get(xpagex1), hy = pd(hidden)->get(xpagey1);
  const int32_t hx2 = pd(hidden)->get(xpagex2);
  EXPECT_EQ(lines[0], rule(2, 1, hx, hy - 30, hx2, hy - 30, 120));
  EXPECT_EQ(lines[1], rule(2, 0, hx, hy - 30, hx2, hy - 30, 1, 1, 2));
  EXPECT_EQ(lines[2], text_line(2, hx, hy, "hidden")) << "on the screen, not in print";
  EXPECT_EQ(lines[3], text_line(1, pd(long_text)->get(xpagex1), pd(long_text)->get(xpagey1),
                                std::string(255, 'w')));
  EXPECT_EQ(pd(nodraw)->get(xpagex1), NOT_DRAWN);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text, "TPARAM with NODRAW but without xeocvar in drawanno");
  // Neither screen nor print: nothing.
  prefs.set_u16(PREFS_HIDE_FLAGS, 0);
  format_and_draw();
  EXPECT_EQ(drawn(note).size(), 1u);
  take_reports();

  // Input waiting stops the first pass at its first chord.
  EventRecord arrow;
  arrow.what = EVENT_KEY_DOWN;
  arrow.message = KEY_UP;
  platform_post_event(arrow);
  enable_format_interrupts();
  EXPECT_EQ(draw_voice_annos(), 0);
  platform_flush_events(EVERY_EVENT);
}

TEST_F(FindObj, AnOverrideHidesTheThirdOfThreeAccidentalsAndARedundantOneGoes) {
  constexpr int ACCIDENTAL = 48;
  int v = new_voice();
  Drosa spacc = add(v, SPACC);
  spacc->set(xnumspacc, 3);
  for (int i = 0; i < 3; ++i) spacc->set(xspacc_entry, i, uint8_t(2 + i));
  Drosa over = text(v, "X", 0, 0);
  over->set(xeocvar, ACCIDENTAL);
  over->set(xeocord, 3);
  Drosa note = add_note(v, QUARTER, 30);
  note->set(xacc, 4);
  note->set(xaccplot, 1);
  format_and_draw();
  std::vector<Drosa> accidentals;
  Drosa owner = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    if (owner == note && e->xkind == GE_CHAR && e->get(xgc_var) == ACCIDENTAL)
      accidentals.push_back(e);
  }
  ASSERT_EQ(accidentals.size(), 3u);
  EXPECT_EQ(accidentals[0]->get(xgremove), 0);
  EXPECT_EQ(accidentals[1]->get(xgremove), 0);
  EXPECT_EQ(accidentals[2]->get(xgremove), 1);
  EXPECT_EQ(drawn(note).size(), 1u) << "the annotation draws its own version";

  // Made to draw exactly what the element draws, it changes nothing and goes.
  Drosa third = accidentals[2];
  over->set(xtextfont, int16_t(code_from_font(third->get(xgc_font))));
  over->set(xtextsize, third->get(xgc_size));
  over->set(xtextx, third->get(xgc_x) - nt(note)->get(xhdx));
  over->set(xtexty, third->get(xgc_y) - nt(note)->get(xhdy));
  over->xnext->xnext->set(xtext, std::string(1, char(third->get(xgc_char))).c_str());
  set_undo_mark(1);
  format_and_draw();
  EXPECT_EQ(find_prev_kind(TPARAM, note), NIL);
}

}  // namespace
