// tablature_test.cpp: guitar tablature exchanged as MusicXML (guitar_with_tablature.xml: a
// guitar part of a staff of notes and a TAB staff of six strings in drop D).
//   GuitarTablature.ReadAsTablatureWithItsTuning: the TAB staff becomes guitar tablature whose
//       notes keep their strings and show the document's frets, without stems as the document
//       draws them (the page goes to test-output/tablature); the staff of notes keeps five
//       lines.
//   GuitarTablature.WrittenBackAndReadAgain: the TAB clef, strings, tuning, strings and frets
//       are written, and read back the same; a piece whose strings the layout chooses is
//       written with them.
//   GuitarTablature.StringsOutOfRange: a staff of no strings or of more than seven, and notes
//       on strings the staff does not have, are said and made playable, never read past.
#include <regex>
#include <string>

#include "ImportExport/musicxml_fixture.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/page_image.h"

namespace {

using GuitarTablature = MusicXmlTest;

// The PRINT in force at the voice's first note.
Drosa first_print(int v) {
  Drosa print = NIL;
  for (Drosa p = piece_start[v]; p && p->xkind != NOTE; p = p->xnext)
    if (p->xkind == PRINT) print = p;
  return print;
}

// The voice whose staff is tablature; -1 none.
int tablature_voice() {
  for (int v = 0; v < voice_count; ++v)
    if (Drosa print = first_print(v); print && print->get(xtablature) != 0) return v;
  return -1;
}

// Every note of the voice as "string/fret" (the fret its pitch lies at on the string).
std::string strings_and_frets(int v) {
  std::string out;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE && !p->get(xrest)) {
      const int s = p->get(xstring);
      out += std::to_string(s) + "/" + (s ? std::to_string(check_tab_string(p, s)) : "-") + " ";
    }
  return out;
}

// Every string and fret of a written document, in order ("6/0 3/2 ...").
std::string written_frets(const std::string& d) {
  static const std::regex pair("<string>([0-9]+)</string>\\s*<fret>([0-9]+)</fret>");
  std::string out;
  for (auto m = std::sregex_iterator(d.begin(), d.end(), pair); m != std::sregex_iterator(); ++m)
    out += (*m)[1].str() + "/" + (*m)[2].str() + " ";
  return out;
}

constexpr const char* DOCUMENT_FRETS = "6/0 3/2 4/4 1/0 3/4 4/0 ";

TEST_F(GuitarTablature, ReadAsTablatureWithItsTuning) {
  platform_init_fonts();
  ASSERT_EQ(import_fixture("guitar_with_tablature.xml", 1), 1);
  const int tab = tablature_voice();
  ASSERT_GE(tab, 0);
  EXPECT_EQ(first_print(tab)->get(xslines), 6);
  EXPECT_EQ(first_print(tab)->get(xtablature), 2) << "fret numbers without stems";
  EXPECT_EQ(strings_and_frets(tab), DOCUMENT_FRETS) << "drop D: the low D is the open sixth";
  for (int v = 0; v < voice_count; ++v)
    if (v != tab) EXPECT_EQ(first_print(v)->get(xslines), 5) << "the staff of notes, voice " << v;
  zoom_factor = 3;
  offscreen_changesize();
  ASSERT_EQ(format_page(1, 0), 1);
  save_drawn_page("tablature", "guitar-with-tablature.png", PLOT_SCREEN);
  offscreen_dispose();

  // A second voice on the tablature plays from the same tuning.
  const std::string low_d =
      "<backup><duration>8</duration></backup><note><pitch><step>D</step><octave>2</octave>"
      "</pitch><duration>8</duration><voice>6</voice><type>whole</type><staff>2</staff>"
      "<notations><technical><string>6</string><fret>0</fret></technical></notations></note>"
      "</measure>\n  </part>";
  ASSERT_EQ(import(std::regex_replace(musicxml_fixture("guitar_with_tablature.xml"),
                                      std::regex("</measure>\\s*</part>"), low_d),
                   1),
            1);
  std::string second;
  for (int v = 0; v < voice_count; ++v)
    if (v != tablature_voice() && first_print(v)->get(xtablature)) second = strings_and_frets(v);
  EXPECT_EQ(second, "6/0 ");
}

TEST_F(GuitarTablature, WrittenBackAndReadAgain) {
  ASSERT_EQ(import_fixture("guitar_with_tablature.xml", 1), 1);
  const std::string written = exported_musicxml();
  EXPECT_NE(written.find("<sign>TAB</sign>\n\t\t\t\t\t<line>5</line>"), std::string::npos);
  EXPECT_EQ(written_frets(written), DOCUMENT_FRETS);
  // The low string, line 1, is D2; the top, line 6, E4.
  static const std::regex tuning(
      "<staff-tuning line=\"1\">\\s*<tuning-step>D</tuning-step>\\s*<tuning-octave>2<[^]*"
      "<staff-tuning line=\"6\">\\s*<tuning-step>E</tuning-step>\\s*<tuning-octave>4<");
  EXPECT_TRUE(std::regex_search(written, tuning)) << written;
  ASSERT_EQ(import(written, 1), 1);
  const int tab = tablature_voice();
  ASSERT_GE(tab, 0);
  EXPECT_EQ(strings_and_frets(tab), DOCUMENT_FRETS);
  EXPECT_EQ(first_print(tab)->get(xtablature), 2);

  // A staff made tablature in the program, its strings left to the layout: written with the
  // strings the layout gives, a chord's notes on strings of their own.
  for (Drosa p = piece_start[tab]; p; p = p->xnext)
    if (p->xkind == NOTE) p->set(xstring, 0);
  const std::string chosen = exported_musicxml();
  std::smatch first;
  const std::string frets = written_frets(chosen);
  ASSERT_TRUE(std::regex_search(frets, first, std::regex("^([0-9])/([0-9]+) ([0-9])/([0-9]+) ")));
  EXPECT_NE(first[1].str(), first[3].str()) << frets;
  EXPECT_EQ(std::count(frets.begin(), frets.end(), '/'), 6) << frets;
}

TEST_F(GuitarTablature, StringsOutOfRange) {
  std::string document = musicxml_fixture("guitar_with_tablature.xml");
  auto with_lines = [&](const char* lines) {
    return std::regex_replace(document, std::regex("<staff-lines>6</staff-lines>"),
                              std::string("<staff-lines>") + lines + "</staff-lines>");
  };
  // Said once, whatever the notes on such a staff.
  auto said = [](const char* what) {
    int count = 0;
    for (const Report& r : take_reports()) count += r.text.find(what) != std::string::npos;
    EXPECT_EQ(count, 1) << what;
  };
  for (const char* lines : {"0", "13"}) {
    SCOPED_TRACE(lines);
    ASSERT_EQ(import(with_lines(lines), 1), 1);
    said(lines[0] == '0' ? "a tablature staff has 0 strings; Vesk's tablature has 1 to 7, so it "
                           "shows 6"
                         : "has 12 strings");
    const int tab = tablature_voice();
    ASSERT_GE(tab, 0);
    const int shown = first_print(tab)->get(xslines);
    EXPECT_EQ(shown, lines[0] == '0' ? 6 : 7);
    EXPECT_NE(exported_musicxml().find("<staff-lines>" + std::to_string(shown)), std::string::npos);
  }
  // A note on a string the staff has not: its string is the layout's to choose. A fret that
  // the note's pitch does not give is said; the pitch stays.
  std::string far =
      std::regex_replace(document, std::regex("<string>1</string>"), "<string>9</string>");
  ASSERT_EQ(import(far, 1), 1);
  said("a note is on string 9, which its staff of 6 strings does not have");
  ASSERT_GE(tablature_voice(), 0);
  EXPECT_EQ(strings_and_frets(tablature_voice()), "6/0 3/2 4/4 0/- 3/4 4/0 ");
  far = std::regex_replace(document, std::regex("<string>3</string><fret>4</fret>"),
                           "<string>3</string><fret>7</fret>");
  ASSERT_EQ(import(far, 1), 1);
  said("a note is at fret 7 of string 3, where its pitch lies at fret 4");
}

}  // namespace
