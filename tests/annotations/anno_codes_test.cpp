// anno_codes_test.cpp: the escape-code language of annotation text.
//   AnnoParse.*:  codes found longest first, glyphs from their parameters, two-glyph codes,
//                 faces, sizes across runs, superscripts, escapes, a final backslash, sizes held
//   AnnoBuild.*:  coded texts parse into runs that build back into texts that parse into the
//                 same runs; plain text builds back to itself; the font of a coded annotation
//   AnnoStaffSize.*: texts on staves of other sizes; reading an annotation character by
//                 character
#include "annotations/anno_codes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_runs.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/anno_text.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class AnnoCodes : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    param_init();
  }
};
using AnnoParse = AnnoCodes;
using AnnoBuild = AnnoCodes;
using AnnoStaffSize = AnnoCodes;

// A glyph parameter's character and font as "font:char".
std::string glyph(int pindex) {
  const ParamValue& v = param[pindex].value;
  return std::to_string(v.font()) + ":" + std::to_string(v.character());
}
std::string plain(char c) { return "-5:" + std::to_string(uint8_t(c)); }

std::vector<std::string> glyphs_of(const std::vector<ParsedChar>& chars) {
  std::vector<std::string> out;
  for (const ParsedChar& c : chars)
    out.push_back(std::to_string(c.font) + ":" + std::to_string(c.character));
  return out;
}

TEST_F(AnnoParse, CodesGlyphsFacesSizesAndSuperscripts) {
  using G = std::vector<std::string>;
  struct Case {
    const char* text;
    G chars;
  } cases[] = {
      {"\\ffff", {glyph(P_FFFF_DYNAMIC)}},
      {"\\fff", {glyph(P_FFF_DYNAMIC)}},
      {"\\fermata2", {glyph(P_FERMATA_BELOW_NOTE)}},
      {"\\x", {plain('x')}},
      {"\\8vb\\8va", {glyph(P_8VB), glyph(P_8VA)}},
      {"\\N\\n", {plain('\n'), glyph(P_NATURAL_FOR_CHORD_SYMBOLS)}},
      {"a\\ b\\\\", {plain('a'), plain(char(202)), plain('b'), plain('\\')}},
      {"a\\", {plain('a'), plain('\\')}},  // a final backslash is itself
      {"\\b\\i", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(glyphs_of(parse_coded(c.text)), c.chars);
  }

  // "\qd": the quarter note and its dot, 2 bytes and then 1.
  std::vector<ParsedChar> qd = parse_coded("\\qd");
  ASSERT_EQ(qd.size(), 2u);
  EXPECT_EQ(glyphs_of(qd),
            (G{glyph(P_QUARTER_NOTE_FOR_TEMPO_MARKINGS), glyph(P_DOT_FOR_TEMPO_MARKINGS)}));
  EXPECT_EQ(qd[0].consumed, 2);
  EXPECT_EQ(qd[1].consumed, 1);

  // Bold twice is plain again; italic stays.
  std::vector<ParsedChar> faces = parse_coded("\\ba\\b\\ib");
  EXPECT_EQ(faces[0].face, 1);
  EXPECT_EQ(faces[1].face, 2);

  // Two size steps make the rest two points larger, also in the next run of the annotation;
  // held at 1 however far down the codes go.
  std::vector<ParsedChar> sizes = parse_coded("a\\<\\<b");
  EXPECT_EQ(sizes[0].size, 12);
  EXPECT_EQ(sizes[1].size, 14);
  EXPECT_EQ(parse_coded("c", false)[0].size, 14) << "the next run goes on";
  std::vector<ParsedChar> low = parse_coded("\\>>\\>>\\>>\\>>a");
  EXPECT_EQ(low[0].size, 1);
  EXPECT_TRUE(anno_parse_state.size_clamped);

  // The fret-number superscript switches on and off; its characters take its font, height
  // and size step.
  const ParamValue& fret =
      param[P_FONT_SIZE_OFFSET_FOR_SUPERSCRIPT_FOR_FRET_NUMBER_ON_FRET_GRID].value;
  std::vector<ParsedChar> sup = parse_coded("\\g5\\g6");
  ASSERT_EQ(sup.size(), 2u);
  EXPECT_EQ(sup[0].font, fret.font());
  EXPECT_EQ(sup[0].y, fret.y());
  EXPECT_EQ(sup[0].size, 12 + fret.size() - 12);
  EXPECT_EQ(sup[1].y, 0);
  EXPECT_EQ(sup[1].size, 12);
}

TEST_F(AnnoBuild, CodedTextsComeBackAsTheSameRunsAndPlainTextAsItself) {
  for (const char* text :
       {"plain words", "Allegro \\q = 120", "\\mf dolce", "\\b\\iBold italic\\i\\b and plain",
        "C\\-min\\u7\\u/A\\-", "D\\u7\\alt+9\\u", "\\<\\<big\\>\\>\\>\\>small",
        "a\\\\b\\ c\\Rd\\Ne", "\\qd = 60 \\hdd", "\\g12\\g frets", "\\fff\\ffff\\ppp\\p", "s\\fz",
        "\\sd\\tdd\\wd\\e", "\\fermata\\fermata2\\segno\\coda", "x\\"}) {
    SCOPED_TRACE(text);
    const std::vector<ParsedChar> first = parse_coded(text);
    const CodedText built = build_coded(first);
    EXPECT_EQ(parse_coded(built), first) << "built: " << built.text;
  }
  // Plain text, and texts written as the builder writes them, build back to themselves.
  for (const char* text : {"plain words", "Grave, e sostenuto", "12+3 don't", "Allegro \\q = 120",
                           "C\\-min\\u7\\u/A\\-", "\\qd = 60", "plain \\bbold\\b plain"}) {
    EXPECT_EQ(build_coded(parse_coded(text)).text, text);
  }
}

TEST_F(AnnoBuild, TheFontOfACodedAnnotationIsItsFirstTextRun) {
  int v = new_voice();
  Drosa head = add(v, TPARAM);
  head->set(xbackslash, 1);
  head->set(xtextfont, -1);
  head->set(xtextsize, 14);
  add(v, TEXT)->set(xtext, "S");
  Drosa run = add(v, TPARAM);
  run->set(xadjacent, 1);
  run->set(xtextfont, -6);
  run->set(xtextface, 2);
  run->set(xcharset, 3);
  add(v, TEXT)->set(xtext, "a");
  add_note(v, QUARTER);
  AnnoFontSpec spec = anno_font_spec(head);
  EXPECT_EQ(spec.font, -6);
  EXPECT_EQ(spec.size, 14);
  EXPECT_EQ(spec.face, 2);
  EXPECT_EQ(spec.charset, 3);
  head->set(xbackslash, 0);
  EXPECT_EQ(anno_font_spec(head).font, -1) << "an uncoded annotation: its own";
  EXPECT_EQ(anno_text_to_codes(nullptr, head, NIL), 0) << "not written as codes";
}

TEST_F(AnnoStaffSize, TextsScaleToTheStaffTheyStandOnUnlessKept) {
  int v = new_voice();
  Drosa head = add(v, TPARAM);
  head->set(xtextsize, 20);
  head->set(xtext_stsize, 5);
  head->set(xtexty, -300);
  add(v, TEXT)->set(xtext, "ab");
  Drosa run = add(v, TPARAM);
  run->set(xadjacent, 1);
  add(v, TEXT)->set(xtext, "c");
  Drosa note = add_note(v, QUARTER);
  EXPECT_EQ(adjusted_texty(note, head), -300);
  ASSERT_EQ(take_reports().size(), 1u) << "no layout record: \"Error in adjusted_texty().\"";
  Drosa nt = add_after(note, NTDATA);
  nt->set(xstsize, 40);
  EXPECT_EQ(note_text_offset(note, head, head), 20 * 40 / 50);
  EXPECT_EQ(adjusted_texty(note, head), -300 * 40 / 50);
  head->set(xtext_stsize, 0);
  EXPECT_EQ(
      note_text_offset(note, head, head),
      20 - param[P_OUTDATED_AMOUNT_TO_REDUCE_TEXT_POINT_SIZE_ON_SMALL_SIZE_STAFF].value.integer());
  EXPECT_EQ(adjusted_texty(note, head),
            -300 + 10 * param[P_OUTDATED_AMOUNT_TO_REDUCE_TEXT_POINT_SIZE_ON_SMALL_SIZE_STAFF]
                            .value.integer());
  head->set(xno_size_adjust, 1);
  EXPECT_EQ(note_text_offset(note, head, head), 20);
  EXPECT_EQ(adjusted_texty(note, head), -300);

  // Character by character through both runs.
  Drosa at_run = head, at_text = NIL;
  int index = 0;
  std::string read;
  while (next_anno_in_group(&at_run, &at_text, &index)) read += at_text->get(xtext)[index];
  EXPECT_EQ(read, "abc");
  EXPECT_EQ(at_run, NIL);
}

}  // namespace
