// musicxml_import_test.cpp: importing MusicXML documents.
//   MusicXmlDocuments.*: the handwritten documents of tests/data/ImportExport, each checked
//                        note by note, voice by voice and measure by measure against what
//                        it states it must give
//   MusicXmlEntry.*:     documents the import refuses, with their messages, leaving no piece
//                        and no node behind; the document read from the piece's file
//   MusicXmlElements.*:  the element table and the words and marks it does not hold
//   MusicXmlAttributes.*: keys, clefs, divisions and time signatures
//   MusicXmlTime.*:      the time of notes: chords made by backup, voices, staves
//   MusicXmlText.*:      text styles and positions of directions
//   MusicXmlPiece.*:     the whole import: systems and pages, the layout, the undo history,
//                        a score of many parts
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_globals.h"
#include "ImportExport/musicxml_services.h"
#include "ImportExport/mxml_internal.h"
#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/page_checker.h"

namespace {

using MusicXmlDocuments = MusicXmlTest;
using MusicXmlEntry = MusicXmlTest;
using MusicXmlElements = MusicXmlTest;
using MusicXmlAttributes = MusicXmlTest;
using MusicXmlTime = MusicXmlTest;
using MusicXmlText = MusicXmlTest;
using MusicXmlPiece = MusicXmlTest;
using MusicXmlLimits = MusicXmlTest;

// A document of one part "P" and one staff: the attributes, then the measures' contents.
std::string part_document(const std::string& attributes, const std::vector<std::string>& measures,
                          const std::string& part_list_extra = "") {
  std::string d =
      "<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list>"
      "<score-part id=\"P1\"><part-name>P</part-name></score-part>" +
      part_list_extra + "</part-list><part id=\"P1\">";
  for (size_t m = 0; m < measures.size(); ++m) {
    d += "<measure number=\"" + std::to_string(m + 1) + "\">";
    if (m == 0) d += "<attributes>" + attributes + "</attributes>";
    d += measures[m] + "</measure>";
  }
  return d + "</part></score-partwise>";
}

const std::string FOUR_FOUR =
    "<divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type></time>";

std::string note(const char* step, int octave, int duration, const char* type, int voice = 1,
                 const std::string& extra = "") {
  return "<note><pitch><step>" + std::string(step) + "</step><octave>" + std::to_string(octave) +
         "</octave></pitch><duration>" + std::to_string(duration) + "</duration><voice>" +
         std::to_string(voice) + "</voice><type>" + type + "</type>" + extra + "</note>";
}

int free_nodes() { return freeCount; }

// ---- The handwritten documents
// ---------------------------------------------------------------------

TEST_F(MusicXmlDocuments, TwoVoicesOfOneStaffWrittenWithBackup) {
  ASSERT_EQ(import_fixture("two_voices_backup.xml"), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(voice_name(0), "Oboe:0");
  EXPECT_EQ(voice_name(1), "Oboe:1");
  EXPECT_EQ(notes_of(0), "C4q D4q E4q+G4q F4q | C5w |");
  EXPECT_EQ(notes_of(1), "G3h A3h | r?w |");
  EXPECT_EQ(nth_note(0, 0)->get(xdir), 2);
  EXPECT_EQ(nth_note(1, 0)->get(xdir), 1);
  EXPECT_EQ(nth_note(0, 0)->get(xpitch), 60 << 8);  // the voice tag became the pitch
  for (int v = 0; v < 2; ++v) EXPECT_EQ(measure_lengths(v), "65536 65536");
}

TEST_F(MusicXmlDocuments, PianoStavesWithAVoiceCrossingToTheOtherStaff) {
  ASSERT_EQ(import_fixture("piano_two_staves.xml"), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(voice_name(0), "Piano:0");
  EXPECT_EQ(voice_name(1), "Piano:1");
  EXPECT_EQ(notes_of(0), "C5q B4q A4h+C5h | G4q F3q E4h | E3h G3h | C4w |");
  EXPECT_EQ(notes_of(1), "C3w | C3h G2h | C2w | C2w |");
  EXPECT_EQ(find_next_kind(CLEF, piece_start[1])->get(xclef), 1);
  // The staves of the voice's PRINT nodes in order: its own, the F3 of measure 2 below and
  // the note after it back, measure 3 below, measure 4 back.
  std::string staves;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == PRINT) staves += std::to_string(p->get(xsstaff));
  EXPECT_EQ(staves, "01010");
  EXPECT_EQ(find_next_kind(PRINT, piece_start[1])->get(xsstaff), 1);
  for (int v = 0; v < 2; ++v) EXPECT_EQ(measure_lengths(v), "65536 65536 65536 65536");
}

TEST_F(MusicXmlDocuments, VoicesOfAllPartsStayInStep) {
  ASSERT_EQ(import_fixture("voices_in_step.xml"), 1);
  ASSERT_EQ(voice_count, 3);
  EXPECT_EQ(notes_of(0), "C5q+E5e r?e D5q E5h | F5w G5q | A5h B5h C6h |");
  EXPECT_EQ(notes_of(1), "G4w | A4h r?h r?q | rw r?h |");
  EXPECT_EQ(notes_of(2), "C3w | D3w r?q | E3w r?h |");
  for (int v = 0; v < 3; ++v) EXPECT_EQ(measure_lengths(v), "65536 81920 98304") << v;
}

// The bar lines and breaks of voice v: "|" a bar line, ":" repeat dots on its side, "=" a
// double line, "*" a bar line that opens a system; "/" a system break.
std::string bars_of(int v) {
  std::string out;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (effective_kind(p) == ENDSYST && !p->get(xendpiece) && !p->get(xstartpiece)) out += "/";
    if (effective_kind(p) != BAR) continue;
    out += std::string(p->get(xunnumbered) ? "*" : "") + (p->get(xrepeat_end) ? ":" : "") + "|" +
           (p->get(xdouble) ? "=" : "") + (p->get(xrepeat_start) ? ":" : "") + " ";
  }
  return out;
}

TEST_F(MusicXmlDocuments, LeftBarLinesGoWhereTheirMeasureBegins) {
  ASSERT_EQ(import_fixture("left_barlines.xml"), 1);
  ASSERT_EQ(voice_count, 2);
  // Its ending never stops: it ends with the part, as said once for both parts.
  const std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("does not stop"), std::string::npos) << r[0].text;
  for (int v = 0; v < 2; ++v) {
    EXPECT_EQ(bars_of(v), "| |=: | :|= /|=: | /*|=: | :|= ") << v;
    Drosa opening = piece_start[v];
    for (int k = 0; k < 7; ++k) opening = find_next_kind(BAR, opening);
    ASSERT_NE(opening, NIL);
    EXPECT_EQ(opening->xback->xkind, KEYSIG) << v;  // after the third system's clef and key
    EXPECT_EQ(opening->xback->xback->xkind, CLEF) << v;
  }
}

TEST_F(MusicXmlDocuments, ClefsCueNotesHeadsLongaAndBarStylesAreKept) {
  ASSERT_EQ(import_fixture("kept_details.xml", 1), 1);
  // The systems asked for, then once each what could not be kept.
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_NE(r[1].text.find("dotted"), std::string::npos);
  EXPECT_NE(r[1].text.find("2 such places"), std::string::npos);  // and heavy-heavy
  EXPECT_NE(r[2].text.find("hollow normal head"), std::string::npos);
  EXPECT_NE(r[2].text.find("2 such places"), std::string::npos);  // and a slash
  EXPECT_NE(r[3].text.find("G clef on line 2, an octave up"), std::string::npos);
  EXPECT_NE(r[4].text.find("longa"), std::string::npos);
  // The second voice holds a cue note the document does not print: kept, and not drawn.
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(1).substr(notes_of(1).size() - 6), "?B4w |");
  std::string notes = notes_of(0);  // without the systems its one line is cut into
  for (size_t at; (at = notes.find(" //")) != std::string::npos;) notes.erase(at, 3);
  EXPECT_EQ(notes,
            "C4q ?D4q E4q F4q | G4q A4q B4q r?q | C5w | D3w | E4w | F4w | C5B C5B | rw | rw | "
            "rw | rw | G4w |");
  std::string clefs, bars;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (effective_kind(p) == CLEF && !p->get(xclef_in_system)) continue;  // a system's restated
    if (effective_kind(p) == CLEF) clefs += std::to_string(p->get(xclef)) + " ";
    if (effective_kind(p) == BAR)
      bars += std::to_string(p->get(xdouble)) + (p->get(xbar_dashed) ? "-" : "") +
              (p->get(xbar_chant) ? "'" : "") + (p->get(xbar_invisible) ? "?" : "") + " ";
  }
  EXPECT_EQ(clefs, "4 10 6 5 0 0 ");
  EXPECT_EQ(bars, "0- 0- 0' 0? 2 0 0 0 1 0 0 0 ");
  EXPECT_EQ(nth_note(0, 0)->get(xcue), 1);
  EXPECT_EQ(nth_note(0, 1)->get(xnotehead), 6);  // blank, not printed
  EXPECT_EQ(nth_note(0, 2)->get(xnotehead), 1);  // x
  EXPECT_EQ(nth_note(0, 3)->get(xnotehead), 4);  // open diamond
  EXPECT_EQ(nth_note(0, 6)->get(xnotehead), 8);  // square
  EXPECT_EQ(nth_note(0, 12)->get(xtie), 3);      // the longa's first breve
  EXPECT_EQ(nth_note(0, 13)->get(xtie), 0);
  // Measures of rests stop at the double bar: two rests of two measures each.
  ASSERT_EQ(format_page(1, 0), 1);
  std::string multi;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == NOTE && p->xnext->xkind == NTDATA && p->xnext->get(xrestchar) == 2)
      multi += std::to_string(p->xnext->xnext->get(xrcmeas)) + " ";
  EXPECT_EQ(multi, "2 2 ");
}

TEST_F(MusicXmlDocuments, BracketsForGroupsBracesForPianos) {
  ASSERT_EQ(import_fixture("brackets_braces.xml"), 1);
  ASSERT_EQ(voice_count, 7);
  // Per voice "bracket brace" at the start of the piece, then at the break.
  std::string signs;
  for (int v = 0; v < voice_count; ++v) {
    Drosa print = find_next_kind(PRINT, piece_start[v]);
    Drosa brk = find_next_kind(ENDSYST, piece_start[v]->xnext);
    signs += std::to_string(print->get(xfirst_bracket)) + std::to_string(print->get(xfirst_brace)) +
             "/" + std::to_string(brk->get(xbracket)) + std::to_string(brk->get(xbrace)) + " ";
  }
  EXPECT_EQ(signs, "00/00 10/10 21/21 20/20 21/21 20/20 20/20 ");
  // Bar lines join the violins' group, which asks for common bar lines, and the piano's two
  // staves; every other part's bar lines stand apart (ungrouped winds of a score once joined
  // into one block beside the bracketed strings).
  std::string apart;
  for (int v = 0; v < voice_count; ++v) apart += find_next_kind(BARSEP, piece_start[v]) ? "1" : "0";
  EXPECT_EQ(apart, "0101110");
  // Groups that overlap: the later one gets no sign, and it is said.
  std::string d = musicxml_fixture("brackets_braces.xml");
  d.replace(d.find("<part-group number=\"1\" type=\"stop\"/>"), 34, "");
  d.replace(d.find("<part-group number=\"2\" type=\"stop\"/>"), 34,
            "<part-group number=\"1\" type=\"stop\"/><part-group number=\"2\" type=\"stop\"/>");
  d.replace(d.find("<score-part id=\"P3\">"), 0,
            "<part-group number=\"3\" type=\"start\"><group-symbol>bracket</group-symbol>"
            "</part-group>");
  d.replace(d.find("<score-part id=\"P6\">"), 0, "<part-group number=\"3\" type=\"stop\"/>");
  ASSERT_EQ(import(d), 1);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("part group 3 begins inside part group 1"), std::string::npos);
}

TEST_F(MusicXmlDocuments, StavesWithoutVoiceElementsKeepTheirNotes) {
  ASSERT_EQ(import_fixture("voice_missing.xml"), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(voice_name(0), "Harp:0");
  EXPECT_EQ(voice_name(1), "Harp:1");
  EXPECT_EQ(notes_of(0), "E5h D5h | C5w |");
  EXPECT_EQ(notes_of(1), "C3q r?q G2h | C2w |");
  EXPECT_EQ(find_next_kind(PRINT, piece_start[1])->get(xsstaff), 1);
}

TEST_F(MusicXmlDocuments, GraceCueAndNestedTuplets) {
  ASSERT_EQ(import_fixture("grace_cue_tuplets.xml"), 1);
  ASSERT_EQ(voice_count, 1);
  EXPECT_EQ(notes_of(0),
            "gD5e C5q gE5s+gG5s B4q A4e G4e F4e/3:2 E4e/3:2 D4e/3:2 | C4q. D4e E4e/3:2 "
            "F4s/9:4 G4s/9:4 A4s/9:4 B4e/3:2 C5q |");
  EXPECT_EQ(measure_lengths(0), "65536 65536");
  // A grace group opening the voice takes its time (25% of a sixteenth) from the note after it.
  EXPECT_EQ(nth_note(0, 0)->get(xttn), 1024u);
}

TEST_F(MusicXmlDocuments, DivisionsChangingTransposingInstrumentAndRepeats) {
  ASSERT_EQ(import_fixture("divisions_transposing.xml"), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(0), "D4h F#4h | E4q F#4e/3:2 G4e/3:2 A4e/3:2 B4h |");
  EXPECT_EQ(notes_of(1), "r?w | D4w |");
  for (int v = 0; v < 2; ++v) EXPECT_EQ(measure_lengths(v), "65536 65536");
  Drosa key = find_next_kind(KEYSIG, piece_start[0]);
  EXPECT_EQ(key->get(xkey), 2);
  EXPECT_EQ(key->get(key_transposition), -2);
  EXPECT_EQ(nth_note(0, 0)->get(xpitch), 60 << 8);  // a written D sounds as C
  Drosa first_bar = find_next_kind(BAR, piece_start[0]);
  EXPECT_EQ(first_bar->get(xrepeat_start), 1);
  EXPECT_EQ(first_bar->get(xdouble), 3);
  Drosa last_bar = find_next_kind(BAR, first_bar);
  EXPECT_EQ(last_bar->get(xrepeat_end), 1);
  EXPECT_EQ(last_bar->get(xdouble), 2);
}

TEST_F(MusicXmlDocuments, PercussionAndTablatureStaves) {
  ASSERT_EQ(import_fixture("percussion_tablature.xml"), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(voice_name(0), "Drums:0");
  EXPECT_EQ(voice_name(1), "Guitar:0");
  EXPECT_EQ(notes_of(0), "A4q A4q C4q C4q |");
  EXPECT_EQ(notes_of(1), "E2q A2q D3h+G3h |");
  EXPECT_EQ(find_next_kind(CLEF, piece_start[0])->get(xclef), 7);
  EXPECT_EQ(find_next_kind(CLEF, piece_start[1])->get(xclef), 5);
  std::string strings;
  for (Drosa p = piece_start[1]; p; p = p->xnext)
    if (p->xkind == NOTE) strings += std::to_string(p->get(xstring));
  EXPECT_EQ(strings, "6543");
  auto lines_before_first_note = [](int v) {
    Drosa print = NIL;
    for (Drosa p = piece_start[v]; p && p->xkind != NOTE; p = p->xnext)
      if (p->xkind == PRINT) print = p;
    return print ? print->get(xslines) : -1;
  };
  EXPECT_EQ(lines_before_first_note(0), 1);
  EXPECT_EQ(lines_before_first_note(1), 6);
  EXPECT_EQ(find_next_kind(PRINT, piece_start[1])->get(xtablature), 1);
}

TEST_F(MusicXmlDocuments, LyricsAndDirections) {
  ASSERT_EQ(import_fixture("lyrics_directions.xml"), 1);
  ASSERT_EQ(voice_count, 1);
  EXPECT_EQ(notes_of(0), "C5q D5q E5h | F5w |");
  const std::string p(1, char(param_value(P_P_DYNAMIC, NIL, nullptr)->character()));
  const std::string f(1, char(param_value(P_F_DYNAMIC, NIL, nullptr)->character()));
  const std::string quarter(
      1, char(param_value(P_QUARTER_NOTE_FOR_TEMPO_MARKINGS, NIL, nullptr)->character()));
  EXPECT_EQ(annotations_of(0), "dolce@0 " + p + "@0 " + quarter +
                                   "+ = 96@0 A@0 Hel-@0 Two-@0 lo_@1 <@1 s+" + f +
                                   "+z@2 a\x1F"
                                   "b@2 >@2 " +
                                   f + "@3");
  Drosa words = find_next_kind(TPARAM, piece_start[0]);
  EXPECT_EQ(words->get(xtextface), 2);  // italic
  Drosa rehearsal = words;
  for (int i = 0; i < 4; ++i) rehearsal = find_next_kind(TPARAM, rehearsal);
  EXPECT_EQ(rehearsal->get(xboxed), 1);
  // The syllables leave room for themselves, in the document's lyric size, verse below verse.
  Drosa first = find_next_kind(TPARAM, rehearsal), second = find_next_kind(TPARAM, first);
  for (Drosa syllable : {first, second}) {
    EXPECT_EQ(syllable->get(xleavespace), 1);
    EXPECT_EQ(syllable->get(xtextsize), 10);
  }
  EXPECT_EQ(first->get(xtexty) - second->get(xtexty), 100);
  // The words, the tempo mark and the rehearsal mark over the first note, placed nowhere by
  // the document, each take a line of their own.
  std::vector<std::pair<int32_t, int32_t>> lines;
  for (Drosa t = piece_start[0]; t->xkind != NOTE; t = t->xnext)
    if (t->xkind == TPARAM && t->get(xtexty) > 0 && !t->get(xadjacent))
      lines.push_back({t->get(xtexty), t->get(xtexty) + 10 * t->get(xtextsize)});
  ASSERT_EQ(lines.size(), 3u);
  std::sort(lines.begin(), lines.end());
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_GE(lines[i].first, lines[i - 1].second);
}

TEST_F(MusicXmlDocuments, CreditsPageLayoutAndBreaksOfEveryPart) {
  ASSERT_EQ(import_fixture("credits_layout.xml"), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(0), "C5w | // D5w | /// E5w |");
  EXPECT_EQ(notes_of(1), "C3w | // D3w | /// E3w |");
  // The defaults' distances below the systems (120 tenths: 80 points between middle lines)
  // and below the staff (65 tenths: 53 points), the titles, then the distance below the first
  // system that the print of measure 2 gives (150 tenths), and that of the staff.
  const std::string annotations = annotations_of(0);
  EXPECT_EQ(annotations.substr(0, 17), "param {560:5,80} ");
  EXPECT_NE(annotations.find("@0 param {129:5,53}"), std::string::npos) << annotations;
  EXPECT_NE(annotations.find("@0 Sonata@0 J. Composer@0 (c) 2024@0 param {560:5,95}"),
            std::string::npos)
      << annotations;
  EXPECT_NE(annotations.find("param {129:5,65}"), std::string::npos) << annotations;
  // The second part's prints give no distance between systems: it takes the first part's.
  EXPECT_NE(annotations_of(1).find("param {560:5,95} default vertical distance between systems@0"),
            std::string::npos)
      << annotations_of(1);
  EXPECT_EQ(annotations.find("Running title"), std::string::npos);
  EXPECT_EQ(options_i32(1, OPTIONS_PAGE_WIDTH), 82);
  EXPECT_EQ(options_i32(1, OPTIONS_PAGE_HEIGHT), 116);
  EXPECT_EQ(options_i32(1, 22), 298);  // left margin of odd pages, tenths of a point
  EXPECT_EQ(options_i32(1, 88), 397);  // of even pages
  EXPECT_EQ(options_i16(1, OPTIONS_TITLE), 0) << "the credits head the pages, not the file's name";
  // The system break is followed by Score-only copies of the clef and key.
  Drosa brk = find_next_kind(ENDSYST, piece_start[1]);
  EXPECT_EQ(brk->xcontext, 1);
  EXPECT_EQ(brk->xnext->xkind, CLEF);
  EXPECT_EQ(brk->xnext->xcontext, 1);
  EXPECT_EQ(brk->xnext->get(xclef), 1);
  EXPECT_EQ(brk->xnext->xnext->xkind, KEYSIG);
}

TEST_F(MusicXmlDocuments, MeasureNumbersAndRestsThatFillMeasures) {
  ASSERT_EQ(import_fixture("bars_rests.xml"), 1);
  ASSERT_EQ(voice_count, 1);
  EXPECT_EQ(notes_of(0), "G4q | C5h. | rh. | rh. | rw rq | rh | rh | D5q. E5e |");
  EXPECT_EQ(measure_lengths(0), "16384 49152 49152 49152 81920 32768 32768 32768");
  std::vector<Drosa> bars;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == BAR) bars.push_back(p);
  ASSERT_EQ(bars.size(), 8u);
  EXPECT_EQ(bars[0]->get(xunnumbered), 1);  // the pickup does not count
  for (size_t b = 1; b < bars.size(); ++b) EXPECT_EQ(bars[b]->get(xunnumbered), 0);
  EXPECT_EQ(bars[4]->get(xrestart_number), 1);
  EXPECT_EQ(bars[4]->get(xbarnumber), 10);
  EXPECT_EQ(bar_number_of_node(nth_note(0, 6)), 10);
}

TEST_F(MusicXmlDocuments, FaultsOfRealDocumentsAreMended) {
  ASSERT_EQ(import_fixture("odd_document.xml"), 1);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_NE(r[0].text.find("staff 3"), std::string::npos);
  EXPECT_NE(r[1].text.find("octave 12"), std::string::npos);
  EXPECT_NE(r[2].text.find("time signature is 3/0"), std::string::npos);
  EXPECT_EQ(voice_name(0), "P1_2:0");
  EXPECT_EQ(notes_of(0), "G9q E4q F4h |");
  EXPECT_EQ(find_next_kind(CLEF, piece_start[0])->get(xclef), 1);
  Drosa time = find_next_kind(TIMESIG, piece_start[0]);
  EXPECT_EQ(time->get(xbeat), 4);
  EXPECT_EQ(find_next_kind(TIMESIG, time), NIL);
  const std::string f(1, char(param_value(P_F_DYNAMIC, NIL, nullptr)->character()));
  EXPECT_EQ(annotations_of(0), f + "@1 C@1");
}

// ---- The entry
// ---------------------------------------------------------------------------------------

TEST_F(MusicXmlEntry, RefusedDocumentsGiveTheirMessageAndLeaveNothing) {
  struct Case {
    std::string document;
    const char* message;
  };
  std::string deep = "<score-partwise>";
  for (int i = 0; i < 15; ++i) deep += "<a>";
  const Case cases[] = {
      {"", "This is not a valid MusicXML file."},
      {"<?xml version=\"1.0\"?>\n", "This is not a valid MusicXML file."},
      {"<root><child/></root>", "This is not a valid MusicXML file."},
      {"<score-timewise><measure number=\"1\"><part id=\"P1\"/></measure></score-timewise>",
       "Vesk can only import MusicXML files in score-partwise format.\n\nYou must convert your "
       "MusicXML to score-partwise before it can be imported by Vesk."},
      {part_document(FOUR_FOUR, {"<note><pitch><step>C</step><octave>4</octave></pitch></note>"}),
       "This MusicXML file holds no note Vesk can read: none of its notes has a type or a "
       "duration, so Vesk cannot tell how long they last."},
      {"<score-partwise/>", "This MusicXML file holds no music: its score has no parts."},
      {"<score-partwise><part-list><score-part id=\"P1\"/></part-list></score-partwise>",
       "This MusicXML file holds no music: its score has no parts."},
      {"<score-partwise><part-list><score-part id=\"P1\"/></part-list><part id=\"P1\"/>"
       "</score-partwise>",
       "This MusicXML file holds no music: its parts have no measures."},
      {deep,
       "Import error: Badly formatted Music XML. The file nests its elements deeper than "
       "MusicXML does. Vesk stopped reading at line 1, column 61."},
      {part_document(FOUR_FOUR, {note("C", 4, 4, "whole")}).substr(0, 200),
       "Import error: Badly formatted Music XML. The file ends before its elements are closed. "
       "Vesk stopped reading at line 2, column 178."},
      {"<score-partwise>\n  <part-list>\n  <score-part id=\"P1\"><part-name>A &bogus;",
       "Import error: Badly formatted Music XML. The file has text that is not XML (a missing "
       "'<' or '=', or an unknown entity). Vesk stopped reading at line 3, column 37."},
      {"<score-partwise><part-list><score-part/></part-list></score-partwise>",
       "MusicXML file has bad format: no id on score-part"},
  };
  const int free_before = free_nodes();
  for (const Case& c : cases) {
    EXPECT_EQ(import(c.document), 0) << c.document;
    std::vector<Report> r = take_reports();
    ASSERT_EQ(r.size(), 1u) << c.document;
    EXPECT_EQ(r[0].level, 2);
    EXPECT_EQ(r[0].text, c.message);
    EXPECT_EQ(voice_count, 0);
    EXPECT_EQ(free_nodes(), free_before) << c.document;
  }
}

// Parts with ids the part list does not declare: each a part of its own, said once with the
// count; past the limit of parts one message refuses the document.
TEST_F(MusicXmlEntry, UndeclaredPartsAreImportedAsPartsOfTheirOwn) {
  ASSERT_EQ(import_fixture("undeclared_parts.xml"), 1);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text,
            "The part list of the MusicXML file does not declare the part \"Horn\"; Vesk imports "
            "it as a part of its own. The document has 2 such places.");
  ASSERT_EQ(voice_count, 3);
  EXPECT_EQ(voice_name(0), "Flute:0");
  EXPECT_EQ(voice_name(1), "Horn:0");
  EXPECT_EQ(voice_name(2), "Part 3:0");
  EXPECT_EQ(notes_of(0) + notes_of(1) + notes_of(2), "C5w |E4w |C3w |");
  EXPECT_EQ(find_next_kind(CLEF, piece_start[2])->get(xclef), 1);
  auto parts = [](int count, bool declared) {
    std::string d = "<score-partwise><part-list>";
    for (int p = 1; declared && p <= count; ++p)
      d += "<score-part id=\"P" + std::to_string(p) + "\"><part-name>x</part-name></score-part>";
    d += "</part-list>";
    for (int p = 1; p <= count; ++p)
      d += "<part id=\"P" + std::to_string(p) + "\"><measure number=\"1\"><attributes>" +
           FOUR_FOUR + "</attributes>" + note("C", 5, 4, "whole") + "</measure></part>";
    return d + "</score-partwise>";
  };
  ASSERT_EQ(import(parts(60, false)), 1);
  r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("60 such places"), std::string::npos);
  EXPECT_EQ(voice_count, 60);
  for (bool declared : {true, false}) {
    EXPECT_EQ(import(parts(1000, declared)), 0);
    r = take_reports();
    ASSERT_EQ(r.size(), 1u) << declared;
    EXPECT_EQ(r[0].text,
              "Vesk cannot import this MusicXML file: it has more than 64 parts, and Vesk imports "
              "at most 64.");
  }
}

// Endings the program does not draw, wrong ones among them (a stop without a start, one
// without a number, one at a system start): the music is kept, bar for bar, and no bar is
// added.
TEST_F(MusicXmlEntry, InvalidEndingsLeaveTheMusicAsItIs) {
  const std::string left = "<barline location=\"left\"><ending number=\"\" type=\"start\"/>";
  EXPECT_EQ(import(part_document(
                FOUR_FOUR,
                {left + "</barline>" + note("C", 5, 4, "whole"),
                 "<barline location=\"left\"><ending type=\"stop\"/></barline>" +
                     note("D", 5, 4, "whole") +
                     "<barline location=\"right\"><ending number=\"7,x\" type=\"discontinue\"/>"
                     "<repeat direction=\"backward\"/></barline>",
                 "<print new-system=\"yes\"/>" + left +
                     "<ending number=\"2\" type=\"stop\"/>"
                     "</barline>" +
                     note("E", 5, 4, "whole")})),
            1);
  EXPECT_EQ(notes_of(0), "C5w | D5w | // E5w |");
  EXPECT_EQ(bars_of(0), "| :|= /| ");
  // Endings without a number or text, or stopped where none began, are left out and said so
  // once.
  const std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("neither a number nor a text"), std::string::npos) << r[0].text;
  EXPECT_EQ(annotations_of(0), "");
}

// A backward repeat whose bar line names no style is drawn thin and thick, as it is printed
// (it was one thin line after the dots); a style the bar line names is kept.
TEST_F(MusicXmlEntry, ABackwardRepeatWithoutAStyleIsThinAndThick) {
  const std::string repeat = "<repeat direction=\"backward\"/></barline>";
  EXPECT_EQ(
      import(part_document(
          FOUR_FOUR, {note("C", 5, 4, "whole") + "<barline location=\"right\">" + repeat,
                      note("D", 5, 4, "whole") +
                          "<barline location=\"right\"><bar-style>regular</bar-style>" + repeat,
                      note("E", 5, 4, "whole")})),
      1);
  EXPECT_EQ(bars_of(0), ":|= :| | ");
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == BAR && p->get(xrepeat_end)) {
      EXPECT_EQ(p->get(xdouble), 2);
      break;
    }
}

TEST_F(MusicXmlEntry, TheDocumentIsReadFromThePiecesFile) {
  piece_fsspec = std::string(VESK_TEST_DATA) + "/ImportExport/two_voices_backup.xml";
  EXPECT_EQ(import_musicxml(), 1);
  EXPECT_EQ(voice_count, 2);
  piece_fsspec = std::string(VESK_TEST_DATA) + "/ImportExport/no such file.xml";
  EXPECT_EQ(import_musicxml(), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "Vesk could not open the MusicXML file.");
  EXPECT_EQ(voice_count, 0);
}

// ---- The element table
// ---------------------------------------------------------------------------------

TEST_F(MusicXmlElements, EveryNameOfTheTableIsFoundAndNoOther) {
  const char* names[] = {"accent",
                         "accidental",
                         "actual-notes",
                         "alter",
                         "bar-style",
                         "barline",
                         "beam",
                         "beat-type",
                         "beat-unit",
                         "beat-unit-dot",
                         "beats",
                         "bottom-margin",
                         "chord",
                         "chromatic",
                         "clef",
                         "clef-octave-change",
                         "creator",
                         "credit",
                         "credit-words",
                         "cue",
                         "defaults",
                         "detached-legato",
                         "direction",
                         "direction-type",
                         "directive",
                         "display-octave",
                         "display-step",
                         "divisions",
                         "dot",
                         "duration",
                         "dynamics",
                         "elision",
                         "extend",
                         "fermata",
                         "fifths",
                         "forward",
                         "grace",
                         "group-symbol",
                         "key",
                         "left-margin",
                         "line",
                         "lyric",
                         "measure",
                         "metronome",
                         "millimeters",
                         "mode",
                         "movement-title",
                         "normal-notes",
                         "notations",
                         "note",
                         "notehead",
                         "octave",
                         "offset",
                         "page-height",
                         "page-margins",
                         "page-width",
                         "part",
                         "part-group",
                         "part-name",
                         "part-symbol",
                         "pedal",
                         "per-minute",
                         "pitch",
                         "print",
                         "rehearsal",
                         "repeat",
                         "rest",
                         "right-margin",
                         "rights",
                         "score-part",
                         "score-partwise",
                         "sign",
                         "slur",
                         "software",
                         "sound",
                         "staccatissimo",
                         "staccato",
                         "staff",
                         "staff-distance",
                         "staff-layout",
                         "staff-lines",
                         "staves",
                         "stem",
                         "step",
                         "strong-accent",
                         "syllabic",
                         "system-distance",
                         "system-layout",
                         "tenths",
                         "tenuto",
                         "text",
                         "tie",
                         "time",
                         "top-margin",
                         "top-system-distance",
                         "type",
                         "unpitched",
                         "voice",
                         "wedge",
                         "words",
                         "work-title"};
  EXPECT_EQ(sizeof names / sizeof names[0], 101u);
  for (const char* name : names) {
    EXPECT_TRUE(mxml_understands(name)) << name;
    EXPECT_FALSE(mxml_understands((std::string(name) + "s").c_str())) << name;
  }
  for (const char* other : {"", "a", "abc", "backup", "scaling", "work-titles", "zzz"})
    EXPECT_FALSE(mxml_understands(other)) << other;
}

TEST_F(MusicXmlElements, DynamicsWordsAndNotationMarks) {
  const std::string marks =
      "<notations><technical><fingering substitution=\"yes\" alternate=\"yes\">3</fingering>"
      "</technical><ornaments><trill-mark/></ornaments></notations>";
  EXPECT_EQ(
      import(part_document(
          FOUR_FOUR,
          {"<direction><direction-type><dynamics><p/></dynamics></direction-type></direction>" +
           note("C", 4, 1, "quarter", 1, marks) +
           "<direction><direction-type><dynamics><xyz/></dynamics></direction-type>"
           "</direction><trill-mark/>" +
           note("D", 4, 3, "half", 1, "<dot/>")})),
      1);
  const std::string p(1, char(param_value(P_P_DYNAMIC, NIL, nullptr)->character()));
  // The trill of the notations is its glyph; the one outside them is passed over.
  const std::string tr(1, char(param_value(P_TR, NIL, nullptr)->character()));
  EXPECT_EQ(annotations_of(0), p + "@0 -/3@0 " + tr + "@0 ?@1");
}

TEST_F(MusicXmlElements, DirectionsWaitingForTheirStaffKeepTheirItemsInPlace) {
  // Two directions of the lower staff wait while the upper staff's notes are read; the open
  // dynamics still points at the first one's item when a word of a dynamics comes after a
  // notations element closed inside it.
  const std::string lower = "<staff>2</staff></direction>";
  const std::string stray = "<notations><dynamics><notations/><p/></dynamics></notations>";
  EXPECT_EQ(import(part_document(
                FOUR_FOUR + "<staves>2</staves>",
                {"<direction><direction-type><dynamics><f/></dynamics></direction-type>" + lower +
                 "<direction><direction-type><words>dolce</words></direction-type>" + lower +
                 note("C", 5, 2, "half", 1, "<staff>1</staff>") +
                 note("D", 5, 2, "half", 1, "<staff>1</staff>" + stray)})),
            1);
}

// ---- Attributes
// --------------------------------------------------------------------------------------

TEST_F(MusicXmlAttributes, KeysWithTheirNaturalsAndClefCodes) {
  EXPECT_EQ(
      import(part_document(
          "<divisions>0</divisions><key><fifths>-3</fifths><mode>minor</mode></key>"
          "<time><beats>4</beats><beat-type>4</beat-type></time>"
          "<clef><sign>G</sign><line>2</line><clef-octave-change>-1</clef-octave-change></clef>",
          {note("C", 4, 768, "whole"),
           "<attributes><key><fifths>3</fifths></key><clef><sign>C</sign><line>4</line></clef>"
           "</attributes>" +
               note("C", 4, 768, "whole"),
           "<attributes><key><fifths>1</fifths></key></attributes>" + note("C", 4, 768, "whole")})),
      1);
  EXPECT_EQ(notes_of(0), "C4w | C4w | C4w |");  // 768 of 192 divisions: whole notes
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].text.find("divisions of a quarter note are \"0\""), std::string::npos);
  std::vector<std::string> keys;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind != KEYSIG) continue;
    std::string k = std::to_string(p->get(xkey)) + ":";
    for (int i = 0; i < p->get(xkeycnt); ++i) k += std::to_string(p->get(xkeysig_entry, i)) + ",";
    keys.push_back(k);
  }
  // B E A flats; then naturals of B E A and three sharps F C G; then naturals of C G and F.
  EXPECT_EQ(keys, (std::vector<std::string>{"25:6,2,5,", "3:20,16,19,10,7,11,", "1:21,25,10,"}));
  std::string clefs;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == CLEF) clefs += std::to_string(p->get(xclef));
  EXPECT_EQ(clefs, "53");  // the treble an octave down, the tenor
}

// ---- Time
// ---------------------------------------------------------------------------------------------

TEST_F(MusicXmlTime, BackupMakesChordsAndNeverGoesBeforeTheStart) {
  EXPECT_EQ(import(part_document(
                "<divisions>480</divisions><time><beats>4</beats><beat-type>4</beat-type></time>",
                {"<note><rest/><duration>960</duration><voice>1</voice><type>half</type></note>"
                 "<note><pitch><step>E</step><octave>4</octave></pitch><duration>480</duration>"
                 "<voice>1</voice></note>" +
                 note("F", 4, 480, "quarter") + "<backup><duration>480</duration></backup>" +
                 note("A", 4, 480, "quarter") + "<backup><duration>99999</duration></backup>" +
                 note("C", 5, 960, "half", 2) + note("D", 5, 960, "half", 2)})),
            1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(0), "rh E4q F4q+A4q |");
  EXPECT_EQ(notes_of(1), "C5h D5h |");
}

TEST_F(MusicXmlTime, RestsWithoutVoiceStandForEveryVoice) {
  // Voice 2 only in measure 1; the voiceless rest of measure 2 is made in both voices. In a
  // part where voice 2 has no note at all, such a rest leaves no voice 2.
  EXPECT_EQ(import(part_document(
                FOUR_FOUR, {note("C", 5, 4, "whole") + "<backup><duration>4</duration></backup>" +
                                note("C", 4, 4, "whole", 2),
                            "<note><rest/><duration>4</duration><type>whole</type></note>"})),
            1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(0), "C5w | rw |");
  EXPECT_EQ(notes_of(1), "C4w | r?w |");
  EXPECT_EQ(import(part_document(FOUR_FOUR,
                                 {"<direction><direction-type><words>x</words></direction-type>"
                                  "<voice>2</voice></direction>" +
                                      note("C", 5, 4, "whole"),
                                  "<note><rest/><duration>4</duration><type>whole</type></note>"})),
            1);
  EXPECT_EQ(voice_count, 1);
}

TEST_F(MusicXmlTime, GapsBetweenAVoicesNotesBecomeRests) {
  EXPECT_EQ(
      import(part_document(
          FOUR_FOUR, {note("C", 5, 1, "quarter") + "<forward><duration>1</duration></forward>" +
                      note("D", 5, 2, "half") + "<backup><duration>4</duration></backup>" +
                      "<forward><duration>1</duration><voice>2</voice></forward>" +
                      note("E", 4, 1, "quarter", 2)})),
      1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(0), "C5q r?q D5h |");
  EXPECT_EQ(notes_of(1), "r?q E4q r?h |");
}

// Measure 1 is as long as its longest voice, 2052 divisions: triplets that fill less of it
// than rests can, and a forward of 4 divisions (shorter than any rest) before a half note. The
// bar lines of both voices still stand at one time, the forward making no rest, and of the
// two clefs the lower voice meets before its next note (one while it sounds) only the second
// is kept.
TEST_F(MusicXmlTime, VoicesOfValuesThatDoNotAddUpKeepTheirBarLinesTogether) {
  std::string triplets;
  for (int d : {341, 342, 341, 341, 342})
    triplets += note("C", 5, d, "eighth", 1,
                     "<time-modification><actual-notes>3</actual-notes><normal-notes>2"
                     "</normal-notes></time-modification>");
  const std::string clef = "<attributes><clef><sign>G</sign><line>2</line></clef></attributes>";
  EXPECT_EQ(import(part_document(
                "<divisions>1024</divisions><time><beats>2</beats><beat-type>4</beat-type>"
                "</time><clef><sign>F</sign><line>4</line></clef>",
                {triplets + "<backup><duration>1707</duration></backup>" +
                     "<forward><duration>4</duration><voice>2</voice></forward>" +
                     note("A", 2, 2048, "half", 2) + "<backup><duration>1028</duration></backup>" +
                     "<attributes><clef><sign>C</sign><line>3</line></clef></attributes>",
                 clef + note("C", 5, 2048, "half") + "<backup><duration>2048</duration></backup>" +
                     note("A", 3, 2048, "half", 2)})),
            1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(1), "A2h | A3h |");
  EXPECT_EQ(measure_lengths(0), measure_lengths(1));
  EXPECT_EQ(measure_lengths(1), "32768 32768");
  for (int v = 0; v < 2; ++v) {
    int clefs = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind == NOTE) clefs = 0;
      if (p->xkind == CLEF) EXPECT_LE(++clefs, 1) << "voice " << v;
    }
  }
}

TEST_F(MusicXmlTime, VoicesCrossingUpAndNumbersBeyondTheirRange) {
  // Voice 5 lives on the lower staff and crosses up for measure 2 (a staff below its own:
  // no copied rest); voice 31 is voice 30 and staff 9 the part's last staff.
  const std::string attributes = FOUR_FOUR + "<staves>2</staves>";
  EXPECT_EQ(
      import(part_document(attributes, {note("C", 5, 4, "whole", 1, "<staff>1</staff>") +
                                            "<backup><duration>4</duration></backup>" +
                                            note("C", 3, 4, "whole", 5, "<staff>2</staff>"),
                                        note("D", 5, 4, "whole", 1, "<staff>1</staff>") +
                                            "<backup><duration>4</duration></backup>" +
                                            note("D", 4, 4, "whole", 5, "<staff>1</staff>"),
                                        note("E", 5, 4, "whole", 1, "<staff>1</staff>") +
                                            "<backup><duration>4</duration></backup>" +
                                            note("E", 3, 4, "whole", 31, "<staff>9</staff>")})),
      1);
  std::vector<Report> r = take_reports();  // both said, once each
  ASSERT_EQ(r.size(), 2u);
  EXPECT_NE(r[0].text.find("voice 31; "), std::string::npos);
  EXPECT_NE(r[1].text.find("staff 9, but the part has 2"), std::string::npos);
  ASSERT_EQ(voice_count, 3);
  EXPECT_EQ(notes_of(0), "C5w | D5w | E5w |");
  EXPECT_EQ(notes_of(1), "C3w | D4w | r?w |");
  EXPECT_EQ(notes_of(2), "r?w | r?w | E3w |");
  std::string staves;
  for (Drosa p = piece_start[1]; p; p = p->xnext)
    if (p->xkind == PRINT) staves += std::to_string(p->get(xsstaff));
  EXPECT_EQ(staves, "10");
  EXPECT_EQ(find_next_kind(PRINT, piece_start[2])->get(xsstaff), 1);
}

TEST_F(MusicXmlTime, SevenVoicesOnAStaffKeepEveryNote) {
  std::string m;
  for (int v = 1; v <= 7; ++v) {
    if (v > 1) m += "<backup><duration>4</duration></backup>";
    m += note(std::string(1, "CDEFGAB"[v - 1]).c_str(), 4, 4, "whole", v);
  }
  EXPECT_EQ(import(part_document(FOUR_FOUR, {m})), 1);
  EXPECT_EQ(take_reports().size(), 1u);  // the seventh voice's notes go to the first
  ASSERT_EQ(voice_count, 6);
  EXPECT_EQ(notes_of(0), "C4w+B4w |");  // voice 7's note stays with the first voice
  for (int v = 1; v < 6; ++v) EXPECT_EQ(notes_of(v).size(), 5u);
}

// ---- Limits of what a document may hold
// --------------------------------------------------------------------

TEST_F(MusicXmlLimits, TimesThatCannotBeHeldAreRefusedNamingTheMeasure) {
  // Raising the divisions after a long note; a note of a billion quarters.
  for (const std::string& measure :
       {std::string("<note><rest/><duration>100000</duration></note><attributes><divisions>"
                    "16777216</divisions></attributes>"),
        std::string("<note><rest/><duration>1073741824</duration><type>whole</type></note>")}) {
    EXPECT_EQ(import(part_document(FOUR_FOUR, {note("C", 4, 4, "whole"), measure})), 0);
    std::vector<Report> r = take_reports();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].text.find("Vesk cannot import this MusicXML file: measure 2 of part \"P\" "
                             "lasts longer than Vesk can hold"),
              0u);
    EXPECT_EQ(voice_count, 0);
  }
  // Measures that each fit, but not all of them together.
  std::vector<std::string> measures(20, "<note><rest/><duration>4000</duration></note>");
  EXPECT_EQ(import(part_document("<divisions>1</divisions>", measures)), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("measure 17 (counting from the first) passes it"), std::string::npos);
}

// Reads `endless` (a generator of text) through a pipe, as a document that never ends.
int import_from_pipe(const std::function<void(int)>& endless) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  std::thread writer([&] {
    endless(fds[1]);
    close(fds[1]);
  });
  piece_fsspec = "/proc/self/fd/" + std::to_string(fds[0]);
  const int imported = import_musicxml();
  close(fds[0]);  // the writer's next write fails, and it stops
  writer.join();
  return imported;
}

TEST_F(MusicXmlLimits, EndlessInputStopsAtTheByteLimit) {
  signal(SIGPIPE, SIG_IGN);
  mxml_byte_limit = 1 << 20;  // as the 256 MB of a real import, only sooner
  piece_fsspec = "/dev/zero";
  EXPECT_EQ(import_musicxml(), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text,
            "Vesk cannot import this MusicXML file: it is larger than 1 MB, far larger than real "
            "scores, so it may be damaged or endless. Vesk stopped reading at line 1.");
  const int imported = import_from_pipe([](int fd) {
    const std::string head = part_document(FOUR_FOUR, {""});
    std::string text = head.substr(0, head.find("</measure>"));
    for (int written = 0; written >= 0;) {
      written = int(write(fd, text.data(), text.size()));
      text = note("C", 5, 1, "quarter") + "\n";
    }
  });
  EXPECT_EQ(imported, 0);
  r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("larger than 1 MB"), std::string::npos);
  EXPECT_EQ(voice_count, 0);
  mxml_byte_limit = MXML_MOST_BYTES;
  signal(SIGPIPE, SIG_DFL);
}

TEST_F(MusicXmlLimits, TooManyNotesInAMeasureAreRefusedAndAHugeChordIsCut) {
  std::string measure;
  for (int n = 0; n <= 10000; ++n) measure += "<note><rest/><duration>1</duration></note>";
  EXPECT_EQ(import(part_document("<divisions>1</divisions>", {measure})), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text,
            "Vesk cannot import this MusicXML file: measure 1 of part \"P\" holds more than 10000 "
            "notes and rests, more than Vesk lays out in one measure.");
  std::string chord = note("C", 2, 4, "whole");
  for (int n = 1; n < 200; ++n)
    chord += "<note><chord/><pitch><step>" + std::string(1, "CDEFGAB"[n % 7]) + "</step><octave>" +
             std::to_string(2 + n / 7 % 7) +
             "</octave></pitch><duration>4</duration><type>whole</type></note>";
  EXPECT_EQ(import(part_document(FOUR_FOUR, {chord})), 1);
  r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("a chord has more than 128 notes"), std::string::npos);
  int notes = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext) notes += p->xkind == NOTE;
  EXPECT_EQ(notes, 128);
}

// Limits the program keeps are said once each: staves of a part, voices, keys, a chord note
// with nothing before it.
TEST_F(MusicXmlLimits, LimitsThatChangeTheMusicAreSaidOnce) {
  std::string measure;
  for (int v = 1; v <= 100; ++v) {
    if (v > 1) measure += "<backup><duration>4</duration></backup>";
    measure += note("C", 4, 4, "whole", v, "<staff>" + std::to_string(v % 64 + 1) + "</staff>");
  }
  EXPECT_EQ(import(part_document(FOUR_FOUR + "<staves>64</staves><key><fifths>-100</fifths>"
                                             "</key>",
                                 {"<note><chord/><pitch><step>G</step><octave>4</octave></pitch>"
                                  "<duration>4</duration><type>whole</type></note>" +
                                  measure})),
            1);
  std::vector<std::string> said;
  for (const Report& r : take_reports()) said.push_back(r.text.substr(0, 50));
  EXPECT_EQ(said, (std::vector<std::string>{
                      "In measure 1 of part \"P\" the part asks for 64 stav",
                      "In measure 1 of part \"P\" a key signature has 100 f",
                      "In measure 1 of part \"P\" a note is marked as a cho",
                      "In measure 1 of part \"P\" a note is on staff 8, but",
                      "In measure 1 of part \"P\" a note is in voice 31; Ve",
                      "Staff 7 of part \"P\" has 25 voices; Vesk gives a st",
                  }));
  EXPECT_EQ(find_next_kind(KEYSIG, piece_start[0])->get(xkey), 14);  // seven flats
}

// ---- Text
// -------------------------------------------------------------------------------------------------

TEST_F(MusicXmlText, SizesPositionsAndFacesOfWords) {
  EXPECT_EQ(
      import(part_document(FOUR_FOUR, {"<direction placement=\"above\"><direction-type>"
                                       "<words font-size=\"150%\" default-y=\"20\">a</words>"
                                       "<words font-size=\"x-large\" font-weight=\"bold\">b</words>"
                                       "</direction-type></direction>" +
                                       note("C", 5, 4, "whole")})),
      1);
  Drosa a = find_next_kind(TPARAM, piece_start[0]);
  Drosa b = find_next_kind(TPARAM, a);
  EXPECT_EQ(a->get(xtextsize), 18);
  EXPECT_EQ(a->get(xtexty), 200 - 100);  // 20 tenths above the top line, counted up from it
  EXPECT_EQ(b->get(xtextsize), 24);
  EXPECT_EQ(b->get(xtextface), 1);
  // Words the document places nowhere of their own run on from the words before them.
  EXPECT_EQ(b->get(xadjacent), 1);
}

TEST_F(MusicXmlText, AnOffsetIsATimeNotADistance) {
  // Words half a note before the measure's end, written after its whole note: the offset was
  // once taken for tenths, and words with a large offset in fine divisions stood off the paper.
  EXPECT_EQ(import(part_document(FOUR_FOUR, {note("C", 5, 4, "whole") +
                                             "<direction placement=\"below\"><direction-type>"
                                             "<words>dim</words></direction-type>"
                                             "<offset>-2</offset></direction>"})),
            1);
  Drosa words = find_next_kind(TPARAM, piece_start[0]);
  ASSERT_TRUE(words);
  EXPECT_EQ(words->get(xtextx), -50);  // the words style's place beside its note
}

TEST_F(MusicXmlText, NotesUnderAnOctaveLineAreWrittenAnOctaveOffAndSoundAsTheyAre) {
  // An 8va line from the second beat to the end of the third, and a second voice read after
  // its stop: the document gives the notes' sounding pitch; they were once written where they
  // sound, four ledger lines up.
  EXPECT_EQ(
      import(part_document(
          FOUR_FOUR, {note("C", 6, 1, "quarter") +
                      "<direction placement=\"above\"><direction-type><octave-shift type=\"down\" "
                      "size=\"8\"/></direction-type></direction>" +
                      note("D", 6, 1, "quarter") + note("E", 6, 1, "quarter") +
                      "<direction><direction-type><octave-shift type=\"stop\" size=\"8\"/>"
                      "</direction-type></direction>" +
                      note("F", 6, 1, "quarter") + "<backup><duration>4</duration></backup>" +
                      note("D", 6, 2, "half", 2) + note("E", 6, 2, "half", 2)})),
      1);
  EXPECT_EQ(notes_of(0), "C6q D5q E5q F6q |");
  EXPECT_EQ(notes_of(1), "D6h E5h |") << "a voice read after the stop, in the line from beat 3";
  EXPECT_EQ(nth_note(0, 1)->get(xpitch) >> 8, 86) << "D6 sounds";
  EXPECT_EQ(nth_note(0, 3)->get(xpitch) >> 8, 89) << "F6 sounds";
  EXPECT_NE(annotations_of(0).find("8va"), std::string::npos) << annotations_of(0);
}

TEST_F(MusicXmlText, AnOctaveLineWrittenAfterAWholeBarRestGoesBackByItsOffset) {
  // Voice 1 rests through the bar; the 8va line over voice 2's second and third beats is
  // written after that rest, its start and stop offsets back in time. Both once stood at the
  // bar's end: no note was shifted and the line lost its end.
  const std::string shift =
      "<direction placement=\"above\"><direction-type><octave-shift "
      "type=\"down\" size=\"8\"/></direction-type><offset>-3</offset>"
      "</direction><direction><direction-type><octave-shift type=\"stop\" "
      "size=\"8\"/></direction-type><offset>-1</offset></direction>";
  EXPECT_EQ(import(part_document(
                FOUR_FOUR, {"<note><rest measure=\"yes\"/><duration>4</duration><voice>1</voice>"
                            "</note>" +
                                shift + "<backup><duration>4</duration></backup>" +
                                note("C", 6, 1, "quarter", 2) + note("D", 6, 1, "quarter", 2) +
                                note("E", 6, 1, "quarter", 2) + note("F", 6, 1, "quarter", 2),
                            note("G", 5, 4, "whole")})),
            1);
  EXPECT_EQ(notes_of(1), "C6q D5q E5q F6q | r?w |");
  EXPECT_NE(annotations_of(1).find("8va"), std::string::npos) << annotations_of(1);
}

TEST_F(MusicXmlText, AHairpinEndsAtANoteOfItsOwnVoice) {
  // A crescendo over the second half note of voice 1, its stop read before voice 2's notes of
  // the same measure: its end once went before voice 2's first note, earlier than its start,
  // and paired with the start of a hairpin pages later.
  const std::string wedge =
      "<direction><direction-type><wedge type=\"crescendo\"/>"
      "</direction-type></direction>";
  const std::string stop =
      "<direction><direction-type><wedge type=\"stop\"/></direction-type></direction>";
  EXPECT_EQ(
      import(part_document(
          FOUR_FOUR, {note("C", 5, 2, "half") + wedge + note("D", 5, 2, "half") + stop +
                          "<backup><duration>4</duration></backup>" + note("E", 4, 4, "whole", 2),
                      note("E", 5, 4, "whole") + "<backup><duration>4</duration></backup>" +
                          note("C", 4, 4, "whole", 2)})),
      1);
  std::string order;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (effective_kind(p) == LINE) order += p->get(xline_ord) == LINE_BEGIN ? "<" : ">";
    if (p->xkind == NOTE) order += "n";
  }
  EXPECT_EQ(order, "n<n>n");
  // Three numbered diminuendos begun and stopped together at one height are one hairpin.
  std::string three, stops;
  for (const char* n : {"1", "2", "3"}) {
    three += std::string("<direction><direction-type><wedge type=\"diminuendo\" number=\"") + n +
             "\"/></direction-type></direction>";
    stops += std::string("<direction><direction-type><wedge type=\"stop\" number=\"") + n +
             "\"/></direction-type></direction>";
  }
  EXPECT_EQ(import(part_document(
                FOUR_FOUR, {three + note("C", 5, 4, "whole") + stops, note("D", 5, 4, "whole")})),
            1);
  order.clear();
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (effective_kind(p) == LINE) order += p->get(xline_ord) == LINE_BEGIN ? "<" : ">";
    if (p->xkind == NOTE) order += "n";
  }
  EXPECT_EQ(order, "<>nn") << "one hairpin, ended with the measure's last note";
}

TEST_F(MusicXmlText, ATempoEveryPartRepeatsIsShownOnce) {
  // Each of two parts sets the tempo to 120 at its start: the second mark once stood over the
  // first part's lyrics.
  const std::string measure = "<measure number=\"1\"><attributes>" + FOUR_FOUR +
                              "</attributes><sound tempo=\"120\"/>" + note("C", 5, 4, "whole") +
                              "</measure>";
  std::string d = part_document(FOUR_FOUR, {},
                                "<score-part id=\"P2\"><part-name>Q</part-name>"
                                "</score-part>");
  d.replace(d.find("</part></score-partwise>"), 0, measure + "</part><part id=\"P2\">" + measure);
  EXPECT_EQ(import(d), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_NE(annotations_of(0).find(" = 120"), std::string::npos) << annotations_of(0);
  EXPECT_EQ(annotations_of(1).find(" = 120"), std::string::npos) << annotations_of(1);
}

TEST_F(MusicXmlText, AMetronomeMarkRunsOnFromTheWordsOfItsDirection) {
  // Words and a metronome mark in parentheses given one place: the mark follows the words on
  // their line, where it was drawn over them.
  const std::string d = part_document(
      FOUR_FOUR,
      {"<direction placement=\"above\"><direction-type><words default-x=\"-40\" relative-y="
       "\"20\">Alla Siciliana.</words></direction-type><direction-type><metronome parentheses="
       "\"yes\" default-x=\"-40\" relative-y=\"20\"><beat-unit>quarter</beat-unit>"
       "<beat-unit-dot/><per-minute>40</per-minute></metronome></direction-type></direction>" +
       note("C", 5, 4, "whole")});
  EXPECT_EQ(import(d), 1);
  const std::string shown = annotations_of(0);
  EXPECT_EQ(shown.substr(0, 19), "Alla Siciliana.+ (+") << shown;
  EXPECT_NE(shown.find("+ = 40)@0"), std::string::npos) << shown;
}

TEST_F(MusicXmlText, TempoWordsBesideAMetronomeMarkAddNoSecondMark) {
  // Tempo words whose sound gives 120, then a metronome mark of 100 at the same note, given
  // twice: the page shows the words and one mark of 100, not an extra mark of 120 and a
  // second 100 stacked over them.
  const std::string mark =
      "<direction placement=\"above\"><direction-type><metronome><beat-unit>quarter</beat-unit>"
      "<per-minute>100</per-minute></metronome></direction-type><sound tempo=\"100\"/>"
      "</direction>";
  const std::string d = part_document(
      FOUR_FOUR, {"<direction placement=\"above\"><direction-type><words>Tempo di Marcia</words>"
                  "</direction-type><sound tempo=\"120\"/></direction>" +
                  mark + mark + note("C", 5, 4, "whole")});
  EXPECT_EQ(import(d), 1);
  const std::string shown = annotations_of(0);
  EXPECT_NE(shown.find("Tempo di Marcia"), std::string::npos) << shown;
  EXPECT_NE(shown.find(" = 100"), std::string::npos) << shown;
  EXPECT_EQ(shown.find(" = 100"), shown.rfind(" = 100")) << shown;
  EXPECT_EQ(shown.find(" = 120"), std::string::npos) << shown;
}

TEST_F(MusicXmlText, ACreditThatRepeatsATitleTakesItsPlace) {
  std::string d = part_document(FOUR_FOUR, {note("C", 5, 4, "whole")});
  d.replace(d.find("<part-list>"), 0,
            "<movement-title>Song</movement-title><credit page=\"1\"><credit-words "
            "default-x=\"600\" default-y=\"1500\" font-size=\"14\" justify=\"center\">Song"
            "</credit-words></credit>");
  EXPECT_EQ(import(d), 1);
  EXPECT_EQ(annotations_of(0), "Song@0");
  // A smaller title credit that says something else takes the movement title's place too:
  // the two once stood on top of each other.
  d = part_document(FOUR_FOUR, {note("C", 5, 4, "whole")});
  d.replace(d.find("<part-list>"), 0,
            "<movement-title>song.mxl</movement-title><credit page=\"1\"><credit-words "
            "default-x=\"600\" default-y=\"1600\" font-size=\"12\" justify=\"center\">BWV 1"
            "</credit-words></credit>");
  EXPECT_EQ(import(d), 1);
  EXPECT_EQ(annotations_of(0), "BWV 1@0");
  // A work title the movement title repeats is shown once.
  d = part_document(FOUR_FOUR, {note("C", 5, 4, "whole")});
  d.replace(d.find("<part-list>"), 0,
            "<work><work-title>Etude</work-title></work><movement-title>Etude</movement-title>");
  EXPECT_EQ(import(d), 1);
  EXPECT_EQ(annotations_of(0), "Etude@0");
}

// ---- The whole import
// -------------------------------------------------------------------------------------

// A document of `measures` whole notes with a system break before every `every`-th measure.
std::string broken_document(int measures, int every) {
  std::vector<std::string> m;
  for (int i = 1; i <= measures; ++i)
    m.push_back(std::string(i > 1 && (i - 1) % every == 0 ? "<print new-system=\"yes\"/>" : "") +
                note("C", 5, 4, "whole"));
  return part_document(FOUR_FOUR, m);
}

int count_breaks(int v, bool pages) {
  int n = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (effective_kind(p) == ENDSYST && !p->get(xendpiece) && !p->get(xstartpiece))
      n += pages ? p->get(xendpage) != 0 : 1;
  return n;
}

TEST_F(MusicXmlPiece, TwentySystemsWithoutPagesAreMadePagesKeepingTheSystems) {
  answer_systems = [] {
    script_hit(14);  // keep the present systems
    script_type(15, "6");
    script_hit(1);
  };
  ASSERT_EQ(import(broken_document(42, 2), 1), 1);
  EXPECT_EQ(take_reports().size(), 1u) << "the systems are kept and the pages asked for";
  EXPECT_EQ(count_breaks(0, false), 20);
  EXPECT_GT(count_breaks(0, true), 0);
  EXPECT_GT(page_count, 1);
  EXPECT_EQ(undo_list_length(0), 0);
  EXPECT_NE(GE_head->xnext, NIL);  // the pages were laid out
}

TEST_F(MusicXmlPiece, SmallDocumentsKeepTheirBreaksAndLongOnesWithoutBreaksGetSystems) {
  ASSERT_EQ(import(broken_document(6, 2), 1), 1);
  EXPECT_EQ(count_breaks(0, false), 2);
  EXPECT_EQ(count_breaks(0, true), 0);
  answer_systems = [] {
    script_hit(9);  // measures per system
    script_type(10, "4");
    script_type(12, "6");
    script_hit(1);
  };
  ASSERT_EQ(import(broken_document(12, 100), 1), 1);
  EXPECT_EQ(take_reports().size(), 1u) << "no breaks in the document: they are asked for";
  EXPECT_EQ(count_breaks(0, false), 2);  // a system every four measures
}

TEST_F(MusicXmlPiece, AnOrchestraOfThirtyTwoParts) {
  std::string d = "<score-partwise><part-list>";
  for (int p = 1; p <= 32; ++p)
    d += "<score-part id=\"P" + std::to_string(p) + "\"><part-name>" +
         (p % 2 ? "Violin" : "Viola") + "</part-name></score-part>";
  d += "</part-list>";
  for (int p = 1; p <= 32; ++p) {
    d += "<part id=\"P" + std::to_string(p) + "\">";
    for (int m = 1; m <= 9; ++m) {
      d += "<measure number=\"" + std::to_string(m) + "\">";
      if (m == 1)
        d += "<attributes>" + FOUR_FOUR + "<clef><sign>G</sign><line>2</line></clef></attributes>";
      if (m == 5 && p == 1) d += "<print new-system=\"yes\"/>";
      d += note("C", 4 + p % 2, 2, "half") + note("D", 4, 2, "half") + "</measure>";
    }
    d += "</part>";
  }
  ASSERT_EQ(import(d + "</score-partwise>", 1), 1);
  ASSERT_EQ(voice_count, 32);
  EXPECT_EQ(voice_name(0), "Violin:0");
  EXPECT_EQ(voice_name(1), "Viola:0");
  EXPECT_EQ(voice_name(2), "P3:0");  // a part name in use already: the id is kept
  for (int v = 0; v < 32; ++v) {
    EXPECT_EQ(count_breaks(v, false), 1) << v;
    EXPECT_EQ(find_next_kind(PRINT, piece_start[v])->get(xsstaff), v);
    EXPECT_EQ(measure_lengths(v), "65536 65536 65536 65536 65536 65536 65536 65536 65536");
  }
}

// The print scale of the current notation context's page setup (per cent).
int print_scale() {
  const uint8_t* setup = print_record[std::max<int>(current_ncontext, 1)];
  return (setup[120] << 24) | (setup[121] << 16) | (setup[122] << 8) | setup[123];
}

TEST_F(MusicXmlPiece, TheDocumentsStaffSizeIsThePagesPrintScale) {
  ASSERT_EQ(import_fixture("scaled_page.xml", 1), 1);
  EXPECT_EQ(print_scale(), 40);
  EXPECT_EQ(options_i32(1, OPTIONS_PAGE_WIDTH), 208);
  EXPECT_EQ(options_i32(1, OPTIONS_PAGE_HEIGHT), 293);
  // The left margin: ten staff spaces of 5 points, 20 points of the paper, widened to 27 for
  // the brackets before the staves to stand a quarter inch from the paper's edge.
  EXPECT_EQ(options_i32(1, 22), 675);
  // Thirty-six staves of the same page fit it, one system, none over another.
  const std::string fixture = musicxml_fixture("scaled_page.xml");
  const size_t from = fixture.find("<defaults>"), to = fixture.find("</defaults>") + 11;
  std::string d = "<score-partwise>" + fixture.substr(from, to - from) + "<part-list>";
  for (int p = 1; p <= 36; ++p)
    d += "<score-part id=\"P" + std::to_string(p) + "\"><part-name>x</part-name></score-part>";
  d += "</part-list>";
  for (int p = 1; p <= 36; ++p)
    d += "<part id=\"P" + std::to_string(p) + "\"><measure number=\"1\"><attributes>" + FOUR_FOUR +
         "</attributes>" + note("C", 5, 4, "whole") + "</measure></part>";
  platform_init_fonts();
  ASSERT_EQ(import(d + "</score-partwise>", 1), 1);
  take_reports();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(last_pstaff, 35);
  for (const PageFault& f : check_page_elements(formatted_page_frame(1)))
    EXPECT_NE(f.rule, "staves") << f.text;
  offscreen_dispose();
}

TEST_F(MusicXmlPiece, AFailedImportLeavesNoNodeBehind) {
  ASSERT_EQ(import(broken_document(12, 3), 1), 1);
  discard_piece_lists();
  clear_undo(1);
  const int free_before = free_nodes();
  const std::string d = broken_document(12, 3);
  EXPECT_EQ(import(d.substr(0, d.size() - 30), 1), 0);
  EXPECT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(voice_count, 0);
  EXPECT_EQ(free_nodes(), free_before);
}

// The first page of an imported document, drawn into the build folder's test output.
TEST_F(MusicXmlPiece, FirstPagesOfImportedDocumentsAreDrawn) {
  platform_init_fonts();
  for (const char* name : {"piano_two_staves.xml", "grace_cue_tuplets.xml", "credits_layout.xml"}) {
    ASSERT_EQ(import_fixture(name, 1), 1) << name;
    ASSERT_EQ(format_page(1, 0), 1);
    offscreen_erase();
    platform_set_port(offscreen_page);
    plot_GE_list(port_bounds(offscreen_page), 0, 0);
    platform_set_port(nullptr);
    int drawn = 0;
    for (uint32_t pixel : port_pixels(offscreen_page)) drawn += pixel != 0xFFFFFF;
    EXPECT_GT(drawn, 1000) << name;
    std::filesystem::path build = std::filesystem::current_path().parent_path();
    if (!std::filesystem::exists(build / "CMakeCache.txt")) continue;
    std::filesystem::create_directories(build / "test-output" / "ImportExport");
    const std::string png = std::string(name).replace(std::string(name).size() - 3, 3, "png");
    EXPECT_TRUE(
        port_save_png(offscreen_page, (build / "test-output" / "ImportExport" / png).c_str()));
  }
  offscreen_dispose();
}

}  // namespace
