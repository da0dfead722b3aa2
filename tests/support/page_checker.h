// page_checker.h: checks a drawn page, the current view's GE list, against the rules every
// engraved page keeps, whatever piece it shows: nothing off the paper, notes, staves and beams
// within the margins, staves apart, the bar lines of a system lined up, no note head, clef,
// signature or accidental on top of another chord's note head, no clef, key or time signature
// on another, no line of one system through
// another, no mark of the music on another, on a note head or on a tie or slur, no dynamic or
// words on the notes of their staff, no syllable on another or on
// another staff, ties, slurs and marks within their staff's ends, every tie and slur within its
// system's width, part names clear of their system and near no edge, no report or message
// while formatting and drawing, a sheet a printer has (or the document's own), nothing but the
// credits within a quarter inch of its edge, and credits at the size the document gives them.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/model_fixture.h"

// Where a page may be drawn, in layout units (tenths of a point, y upward from the bottom).
// Notes, staves and beams keep within the margins across the page by a staff space; up and
// down the staves' middle lines do (the first lies at the top margin).
struct PageFrame {
  int32_t paper_width = 0, paper_height = 0;
  int32_t left = 0, right = 0, bottom = 0, top = 0;  // the margins' box
  // The system of each pstaff (any numbers, equal within a system). Empty: staves joined by a
  // system bar line or a bar line are one system, and a staff joined to none its own.
  std::vector<int> system_of_pstaff;
  // The sheet a PDF file prints the page on (points, upright, the page at its top-left; none
  // when 0) and the page's print scale in percent. The document's own paper (points; 0 when it
  // gives none, -1 when not known), and the size on the paper (points) it gives its credits'
  // words, by their words.
  double sheet_width = 0, sheet_height = 0;
  int32_t print_scale = 100;
  double own_width = -1, own_height = -1;
  std::vector<std::pair<std::string, double>> credit_sizes;
};

// One broken rule. The rules: "report" (a level-1, level-3 or level-4 report), "alert" (a
// message the user is shown, a level-2 report), "beats" (voices of different lengths), "paper",
// "margins", "staves" (staves overlapping), "barlines" (a system's bar lines at different x on its
// staves), "heads" (note heads of different chords overlapping), "signs" (an accidental, clef, key
// or time signature on another chord's note head), "signatures" (a clef, key or time signature on
// another of its staff), "systems" (a line of a system's notes through a
// staff of another system, or the glyphs and lines of the notes of two systems meeting), "marks" (a
// text or line annotation of the music, such as words, a tempo, dynamic, rehearsal or pedal mark, a
// hairpin or an octave line, standing on another, on a lyric or on a note head, by more than a
// fifth of a space; titles and lyrics among themselves are not its business), "lyrics" (a syllable
// on another, or on a staff, note head, stem or beam of another staff), "ends" (a tie, slur or mark
// of the music running past its staff's right end, or a tie, slur or line beginning before its left
// end, by more than half a space), "reach" (a tie or slur, the curve as drawn, reaching outside
// its system's width by more than a tenth of a space), "names" (a part's name before a system
// within an eighth of an inch of the paper's edge, or reaching its system's bracket, brace or
// staves), "notes" (a dynamic, words, a tempo or rehearsal mark on a note head, stem or beam of its
// staff, by more than a fifth of a space), "curves" (a tie or slur through a mark of the music:
// words, a dynamic, a sign, or a hairpin's or other line's leg, by more than a fifth of a space),
// "drawn" (a note head on a staff whose lines the page does not draw; across the pages of a piece,
// a note the document prints whose head or tablature number no page draws), "sheet" (the sheet is
// neither a paper the Page Setup dialog offers nor the document's own), "edge" (ink the program
// places, anything but a credit, within a quarter inch of the sheet's edge), "credits" (a credit's
// words drawn at another size on the paper than the document gives).
struct PageFault {
  std::string rule;
  std::string text;  // what, and where on the page
};

// The faults among reports made while a page was formatted and drawn.
std::vector<PageFault> check_page_reports(const std::vector<Report>& reports);

// The faults of the current GE list drawn on the frame. Needs the fonts (platform_init_fonts)
// and the offscreen port, in which glyphs are measured.
std::vector<PageFault> check_page_elements(const PageFrame& frame);

// The notes of the piece that put a head (or a tablature number) on the page: every voice's
// notes but rests, hidden notes, blank heads and notes of a staff that draws no heads.
std::vector<Drosa> printed_notes();

// Adds the notes whose heads, tablature numbers or piano-roll lines the current GE list draws
// (by their handles) to `drawn`.
void add_drawn_notes(std::set<uint32_t>* drawn);

// The "drawn" faults of a piece drawn page by page: each of the printed notes no page drew.
std::vector<PageFault> check_notes_drawn(const std::vector<Drosa>& printed,
                                         const std::set<uint32_t>& drawn);

// The frame of the page of the current notation context formatted last (format_page): the
// paper of its options, the margins of its staves, and the systems of its pstaves.
PageFrame formatted_page_frame(int32_t page);

// Adds to the frame the sheet a PDF file prints the current notation context's pages on and
// their print scale: the rules of the sheet and its edge then hold.
void add_printed_sheet(PageFrame* frame);

// The faults as text, at most `per_rule` of each rule, each on a line of its own.
std::string page_faults_text(const std::vector<PageFault>& faults, int per_rule = 5);
