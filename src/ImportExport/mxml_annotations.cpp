// mxml_annotations.cpp: the text items and wedges of an imported document become
// annotations before the notes they belong to: titles and credits before the first note,
// directions before the next note placed (of their staff, when they name one), the marks of
// `notations` and the lyrics before their own note. Dynamics, tempo and pedal marks are made
// of the music-font glyphs of their engraving parameters; a tempo the document gives for the
// performance only (a sound with no metronome mark beside it) is a hidden metronome text,
// which playback reads and the page does not show. A wedge becomes a hairpin from the note
// after its start to the note after its stop.
//
// Item positions count upward from the staff's middle line; an annotation's offsets count
// upward too, from its reference point, which the item's reference word names: the staff's
// top line (100 units above the middle) for the marks of the music, the page's top or bottom
// for titles.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <iterator>
#include <string>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xmlt_fields.h"
#include "annotations/anno_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int VERTICAL_ORIGIN = 100;
constexpr int UNITS_PER_TENTH = 5;
constexpr int CLASS_OTHER = 1, CLASS_LYRIC = 5, CLASS_CHORD_SYMBOL = 11;
constexpr int KIND_TITLE = 2, KIND_COMPOSER = 3, KIND_RIGHTS = 18, KIND_POET = 23,
              KIND_WORK_TITLE = 24;
constexpr int PAGE_TOP = 2, PAGE_BOTTOM = 3, PAGE_CENTRE = 4, STAFF_RIGHT = 6;
constexpr int FROM_STAFF = 5, NEXT_BAR = 10, CENTRED = 1;
// A pedal release at a measure's end stands this far before its bar line.
constexpr int32_t RELEASE_BEFORE_BAR = 20;
constexpr int32_t BAR_FERMATA_GAP = 40;  // from the staff's top or bottom line
// The arpeggio's glyph: the music font's arpeggio sign, 10 units tall a point of its size,
// reaching a little past the heads at both ends of its chord, before them (and before their
// accidentals); heads a step (25 units) apart and a space (50) tall.
constexpr int32_t ARPEGGIO_HEIGHT_PER_POINT = 100;  // tenths of a unit
constexpr int32_t ARPEGGIO_PAST_HEADS = 10, HEAD_HEIGHT = 50, ARPEGGIO_STEP = 25;
constexpr int32_t ARPEGGIO_BEFORE_HEADS = -30, ACCIDENTAL_COLUMN = 70;
constexpr int HAIRPIN = 1, RIGHT_BRACKET = 4, BEGLINE = 3, ENDLINE = 1;
constexpr int HAIRPIN_LENGTH = 400, HAIRPIN_OPENING = 40, CLIP_MARGIN = 280;
// An octave line: dashes of 5 points, gaps of 4, from a little after its words (whose width is
// taken as half a point size a character, as wide as the digits of the text font) at the middle
// of their small letters, to a little past the head of its last note.
constexpr int OCTAVE_DASH = 5, OCTAVE_GAP = 4, OCTAVE_WORDS_GAP = 40, OCTAVE_PAST_NOTE = 90;
constexpr int OCTAVE_SHORTEST = 100;  // a line whose words stand at its last note

// The parts of a dynamic mark: its glyphs (as dynamics codes 0..9) and its letters.
struct DynamicParts {
  int first, second;
  const char* before;
  const char* after;
};
constexpr DynamicParts dynamic_parts[24] = {
    {0, -1, "", ""},  {1, -1, "", ""},   {2, -1, "", ""},   {3, -1, "", ""},  {4, -1, "", ""},
    {5, -1, "", ""},  {6, -1, "", ""},   {7, -1, "", ""},   {8, -1, "", ""},  {9, -1, "", ""},
    {3, -1, "s", ""}, {6, -1, "s", ""},  {6, -1, "s", "z"}, {6, -1, "", "z"}, {6, 3, "", ""},
    {6, -1, "r", ""}, {6, -1, "r", "z"}, {6, 3, "s", ""},   {6, 2, "s", ""},  {7, -1, "s", "z"},
    {0, 3, "", ""},   {0, 2, "", ""},    {9, 6, "", ""},    {9, 7, "", ""},
};

// How wide a dynamic mark stands, by its letters (the music font's, at the reference staff's
// size, each joined to the next a little over it), and where the middle of its letters lies
// above its baseline.
constexpr const char* dynamic_words[24] = {
    "pppp", "ppp", "pp", "p",  "mp",  "mf",  "f",    "ff",   "fff",   "ffff",   "sp",    "sf",
    "sfz",  "fz",  "fp", "rf", "rfz", "sfp", "sfpp", "sffz", "ppppp", "pppppp", "fffff", "ffffff"};
constexpr int32_t DYNAMIC_LETTERS_MIDDLE = 20, DYNAMIC_LETTER_JOIN = 10;
constexpr int32_t DYNAMIC_WORDS_LETTER = 50;  // a letter of words in dynamics ("sempre")
// The room a hairpin leaves beside the dynamics at its ends (an f reaches left of its place).
constexpr int32_t HAIRPIN_GAP = 30, HAIRPIN_END_GAP = 60;
constexpr int32_t HAIRPIN_AFTER_HEAD = 80;  // a hairpin begun while its note sounds

int32_t dynamic_width(int code) {
  int32_t width = 0;
  for (const char* c = dynamic_words[code]; *c; ++c)
    width += (*c == 'p'   ? 90
              : *c == 'm' ? 100
              : *c == 'f' ? 80
              : *c == 'z' ? 70
                          : 60) +
             (c == dynamic_words[code] ? 0 : -DYNAMIC_LETTER_JOIN);
  return width;
}

// One style run of an annotation.
struct Run {
  int16_t font;
  int size;
  int face;
  std::string text;
};

Run glyph_run(int pindex, int face) {
  const ParamValue v = *param_value(pindex, NIL, nullptr);
  return {v.font(), v.size(), face, std::string(1, char(v.character()))};
}

// Appends a glyph to a run when it has the run's font.
bool add_glyph(Run& run, int pindex) {
  const ParamValue v = *param_value(pindex, NIL, nullptr);
  if (v.font() != run.font) return false;
  run.text += char(v.character());
  return true;
}

// Links the TEXT nodes of a text after `after`; returns the last.
Drosa link_text(Drosa after, const std::string& text, int context) {
  Drosa last = after;
  for (size_t at = 0; at < text.size(); at += TEXT_NODE_CHARS) {
    Drosa chars = newDrosa(TEXT, context);
    chars->set(xtext, text.substr(at, TEXT_NODE_CHARS).c_str());
    link_after(chars, last);
    last = chars;
  }
  return last;
}

// The kinds of the texts of the page: titles, composer, poet, rights.
bool page_text_kind(int kind) {
  return kind == KIND_TITLE || kind == KIND_WORK_TITLE || kind == KIND_COMPOSER ||
         kind == KIND_POET || kind == KIND_RIGHTS;
}

// Where an item stands: its offsets from the reference point its reference word names.
void place_tparam(Drosa t, const MxmlItem& item) {
  const int h = (item.reference >> 12) & 0xF;
  int v = (item.reference >> 8) & 0xF;
  int32_t x = item.x + item.dx, y = item.y + item.dy;
  if (item.credit && (item.given & 1)) {
    const int32_t width = mxml.page_width > 0 ? mxml.page_width * UNITS_PER_TENTH : 76 * 72;
    // A credit's x counts from the page's left edge, as the left margin's reference does.
    if (h == PAGE_CENTRE) x -= width / 2;
    if (h == STAFF_RIGHT) x -= width - mxml.margins[0][1] * UNITS_PER_TENTH;
  }
  if (item.credit && (item.given & 2)) y -= VERTICAL_ORIGIN;
  if (v == PAGE_TOP) {
    if (y >= 0) v = PAGE_BOTTOM;
  } else {
    y -= VERTICAL_ORIGIN;
  }
  t->set(xtextx, x);
  t->set(xtexty, y);
  t->set(xrelativex, h);
  t->set(xrelativey, v);
}

// The TPARAM of a run of text of an item, not yet linked: the head of a new annotation, placed,
// or with `continuation` a further style run of the annotation before it.
Drosa text_head(const Run& run, const MxmlItem& item, bool continuation, int tag, int context) {
  Drosa t = newDrosa(TPARAM, context);
  t->set(xtextfont, run.font);
  // A credit's run of the item's own size is drawn at the size the document gives it.
  const double points = item.points > 0 && run.size == item.size ? item.points : run.size;
  t->set(xtextsize,
         uint8_t(std::clamp(item.credit ? mxml_credit_points(points) : run.size, 1, 127)));
  // Texts of the page (titles, credits) keep their size on staves of any size.
  t->set(xno_size_adjust, item.credit || page_text_kind(item.kind));
  t->set(xtextface, uint8_t(run.face));
  t->set(xtext_color, item.color);
  t->set(xjustified, item.reference & 3);
  t->set(xboxed, (item.flags & 2) != 0);
  t->set(xclassify, uint8_t(std::min(std::abs(int(item.kind)), 24)));
  // A syllable leaves room for itself: its note is spaced as wide as it is.
  t->set(xleavespace, item.kind == CLASS_LYRIC);
  t->set(xstyle_reference, uint16_t(tag & MXML_TAG_VOICE_BITS));
  if (continuation)
    t->set(xadjacent, 1);
  else
    place_tparam(t, item);
  return t;
}

// A TPARAM with one run of text before `before`: a new annotation, or with `continuation`
// a further style run of the annotation before it.
Drosa make_run(const Run& run, const MxmlItem& item, Drosa before, bool continuation, int tag,
               int context) {
  if (run.text.empty()) return NIL;
  Drosa t = text_head(run, item, continuation, tag, context);
  link_after(t, before->xback);
  link_text(t, run.text, context);
  return t;
}

// An annotation of coded text (a chord symbol, words with accidental signs): its characters
// parsed as editing ends parses them, into runs of the item's style and of the glyphs of the
// codes. A chord symbol is not played, and is underlined flat when underlined, as its class
// has it; it leaves room for itself, as a syllable does: symbols at close notes (a change at
// every eighth) stood on one another, and one at a system's last note past the staff's end.
Drosa make_coded(const MxmlItem& item, Drosa before, int tag, int context) {
  const Run run = {item.font, item.size, item.face, item.text};
  Drosa head = text_head(run, item, false, tag, context);
  if (item.kind == CLASS_CHORD_SYMBOL) {
    head->set(xignore, 1);
    head->set(xspec_underline, 1);
    head->set(xleavespace, 1);
  }
  auto item_style = [&run](size_t) {
    ParamValue style{};
    style.set_font(run.font);
    style.set_size(uint8_t(std::clamp(run.size, 1, 127)));
    style.set_style(uint8_t(run.face));
    return style;
  };
  Drosa last = anno_runs_from_codes(head, head, item.text, item_style, NIL, context);
  if (!last) {
    destroy_chain(head, NIL);
    return NIL;
  }
  link_chain_after(head, last, before->xback);
  return head;
}

Run item_run(const MxmlItem& item, const std::string& text) {
  return {item.font, item.size, item.face, text};
}

// A dynamic mark: its letters as text and its glyphs in the music font.
Drosa make_dynamic(const MxmlItem& item, Drosa before, int tag, int context) {
  const int code = item.dynamics;
  const int face = item.face | 2;
  if (code < 0 || code > 23) {
    // Words of their own alone ("sempre") are shown as words, not as an unknown mark.
    std::string words = item.dynamics_before + item.dynamics_after;
    const size_t last = words.find_last_not_of(' ');
    words.erase(last == std::string::npos ? 0 : last + 1);
    if (code == 0x8000 && words.empty()) return NIL;
    return make_run({item.font, item.size, face, words.empty() ? "?" : words}, item, before, false,
                    tag, context);
  }
  const DynamicParts& d = dynamic_parts[code];
  Run glyphs = glyph_run(P_PPPP_DYNAMIC + d.first, face);
  bool second_apart = d.second >= 0 && !add_glyph(glyphs, P_PPPP_DYNAMIC + d.second);
  Drosa head = NIL;
  if (*d.before)
    head = make_run({item.font, item.size, face, d.before}, item, before, false, tag, context);
  Drosa g = make_run(glyphs, item, before, head != NIL, tag, context);
  if (!head) head = g;
  if (second_apart)
    make_run(glyph_run(P_PPPP_DYNAMIC + d.second, face), item, before, false, tag, context);
  if (*d.after) make_run({item.font, item.size, face, d.after}, item, before, true, tag, context);
  return head;
}

// A tempo mark: the note of its beat unit with its dots, then " = " and the tempo, in
// parentheses when the document asks; `lead` goes before it (the space after the words it
// runs on from, as a further run of their annotation, with `continuation`).
Drosa make_tempo(const MxmlItem& item, Drosa before, bool continuation, const std::string& lead,
                 int tag, int context) {
  if (item.tempo <= 0) return NIL;
  const int unit = std::clamp(item.beat_unit < 1 ? 3 : item.beat_unit, 1, 6);
  Run note = glyph_run(P_WHOLE_NOTE_FOR_TEMPO_MARKINGS + unit - 1, 0);
  std::string dots;
  if (item.dots == 1 && !add_glyph(note, P_DOT_FOR_TEMPO_MARKINGS)) dots = ".";
  if (item.dots >= 2 && !add_glyph(note, P_DOUBLE_DOT_FOR_TEMPO_MARKINGS)) dots = "..";
  char number[32];
  std::snprintf(number, sizeof number, " = %d%s%s", int(item.tempo), dots.c_str(),
                item.parentheses ? ")" : "");
  const std::string open = lead + (item.parentheses ? "(" : "");
  Drosa head =
      open.empty() ? NIL : make_run(item_run(item, open), item, before, continuation, tag, context);
  Drosa glyph = make_run(note, item, before, continuation || head, tag, context);
  make_run(item_run(item, number), item, before, true, tag, context);
  return head ? head : glyph;
}

// Words that are the note of a metronome mark: the music font's tempo note, with its dots.
Run note_glyph_run(const MxmlItem& item) {
  Run note =
      glyph_run(P_WHOLE_NOTE_FOR_TEMPO_MARKINGS + std::clamp<int>(item.note_glyph, 1, 6) - 1, 0);
  if (item.dots == 1) add_glyph(note, P_DOT_FOR_TEMPO_MARKINGS);
  if (item.dots >= 2) add_glyph(note, P_DOUBLE_DOT_FOR_TEMPO_MARKINGS);
  return note;
}

// Whether a metronome mark runs on from the words before it in one direction, on their line:
// the document places it nowhere else (or at the words' own place, or at their height with
// neither placed across).
bool runs_on(const MxmlItem& words, const MxmlItem& mark) {
  if (words.kind != 1 || words.command ||
      words.text.find_first_not_of(" \r") == std::string::npos || mark.kind != -6 ||
      mark.sound_tempo || mark.tempo <= 0)
    return false;
  const bool unplaced = !(mark.given & 15);
  // Neither placed across: the two stand at the note, whatever their kinds' own x.
  const bool same_x = mark.x + mark.dx == words.x + words.dx || !((mark.given | words.given) & 5);
  return unplaced || (same_x && mark.y + mark.dy == words.y + words.dy);
}

// Whether words run on from the words (or the tempo mark) before them in one direction, as a
// further run of their annotation (on their line, or on the next when those end theirs): the
// document places them nowhere of their own, or just where it places those.
bool words_run_on(const MxmlItem& words, const MxmlItem& more) {
  const bool shown =
      words.kind == 1
          ? !words.command &&
                (words.note_glyph || words.text.find_first_not_of(" \r\n") != std::string::npos)
          : words.kind == -6 && words.tempo > 0;
  // Neither placed across: the two stand at the note, whatever their kinds' own x.
  const bool same_x = more.x + more.dx == words.x + words.dx || !((more.given | words.given) & 5);
  const bool same_place = same_x && more.y + more.dy == words.y + words.dy;
  return shown && more.kind == 1 && !more.command && !more.coded &&
         (!(more.given & 15) || same_place);
}

// A pedal mark: the release glyph, the press glyph, or both for a change.
Drosa make_pedal(const MxmlItem& item, Drosa before, int tag, int context) {
  Run run{0, 0, 0, ""};
  if (item.release) run = glyph_run(P_PEDAL_UP_MARKING, 0);
  if (item.press) {
    if (run.text.empty())
      run = glyph_run(P_PEDAL_MARKING, 0);
    else if (!add_glyph(run, P_PEDAL_MARKING))
      make_run(glyph_run(P_PEDAL_MARKING, 0), item, before, false, tag, context);
  }
  return make_run(run, item, before, false, tag, context);
}

// The text of an item without its leading returns.
std::string plain_text(const MxmlItem& item) {
  size_t from = item.text.find_first_not_of('\r');
  return from == std::string::npos ? std::string() : item.text.substr(from);
}

Drosa annotate(const MxmlItem& item, Drosa note, int tag, int context) {
  if (item.command) {
    make_text_anno(note, 0, CLASS_OTHER, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                   item.text.c_str(), nullptr);
    return NIL;
  }
  return mxml_make_annotation(item, note, false, tag, context);
}

// Whether a direction group goes to a note of this list (a group of a staff the part does not
// have goes to any).
bool group_fits(const MxmlGroup& g, int list) {
  return g.staff <= 0 || g.staff > mxml_part_list_count() ||
         g.staff == list - mxml.part_first[mxml.part_index] + 1;
}

// A sign of the music font (a segno, a coda) stands about three staff spaces tall and two wide.
constexpr int32_t SIGN_HEIGHT = 160, SIGN_WIDTH = 110;

// Words that draw nothing: blank, neither a note of a metronome mark nor a sign.
bool blank_words(const MxmlItem& item) {
  return item.kind == 1 && !item.note_glyph && !item.sign_param &&
         item.text.find_first_not_of(" \r\n") == std::string::npos;
}

// The room an item takes across, from its x: a dynamic's letters, a sign, a tempo mark's note
// and number, words by their characters (half their size each).
int32_t item_width(const MxmlItem& item) {
  if (item.kind == -7 && item.dynamics >= 0 && item.dynamics <= 23)
    return dynamic_width(item.dynamics);
  if (item.sign_param) return SIGN_WIDTH;
  const size_t characters = item.tempo > 0 ? 7 : plain_text(item).size();
  return 5 * item.size * int32_t(characters);
}

// The lines the items made before one note take, each from its y up one line of its size,
// across the room it takes.
struct TakenLines {
  struct Line {
    int32_t bottom, top, left, right;
  };
  std::vector<Line> lines;

  // An item moves, away from the staff, beyond the lines of the items before it that it would
  // stand on: one the document gives no height of its own beyond any of their lines (a tempo
  // mark beside the words of another direction of the same note, or of its own), one with a
  // height beyond those it would stand on across too (a tempo mark and an octave line's words
  // the document puts at one place). Then it takes its line.
  void place(MxmlItem& item) {
    const int32_t height = item.sign_param ? SIGN_HEIGHT : 10 * item.size;
    const bool above = item.y + item.dy >= 0;
    const bool placed = item.given & 10;
    const int32_t left = item.x + item.dx, right = left + item_width(item);
    for (bool moved = true; moved;) {
      moved = false;
      for (const Line& l : lines) {
        const int32_t y = item.y + item.dy;
        if (y >= l.top || y + height <= l.bottom) continue;
        if (placed && (left >= l.right || right <= l.left)) continue;
        item.y = (above ? l.top : l.bottom - height) - item.dy;
        moved = true;
      }
    }
    lines.push_back({item.y + item.dy, item.y + item.dy + height, left, right});
  }
};

// Heights from the staff's top line: its middle line, and a step of the staff.
constexpr int32_t MIDDLE_LINE = -100, STAFF_STEP = 25;
// How far a dynamic's letters reach above their baseline (an f's top), and a pedal mark's
// (the press of "Ped.", or the release beside it), and the room they keep under a note head.
constexpr int32_t DYNAMIC_LETTERS_TOP = 75, PEDAL_MARK_TOP = 125, UNDER_HEAD_GAP = 15;
// An octave line's dashes stand at the middle of its words' letters, this far over their
// baseline (ten points high).
constexpr int32_t OCTAVE_WORDS_HALF = 30;

// A dynamic or a pedal mark under the staff stands below the head of its note when that hangs
// low (on ledger lines, as an octave line shows it): at the height of the others, or at the
// document's, the two met.
void below_its_note(MxmlItem& item, Drosa note, int list, int tag) {
  const bool pedal = item.press || item.release;
  if ((item.kind != -7 && !pedal) || list < 0 || size_t(list) >= mxml.lists.size() ||
      (tag >> 12) != 0 || note->get(xrest) || note->get(xmod7) <= 0)
    return;
  const int32_t baseline = item.y + item.dy - VERTICAL_ORIGIN;
  if (baseline >= MIDDLE_LINE) return;
  // Under an octave line the head stands its octaves from where the note sounds.
  const int staff = mxml_in_part() ? list - mxml.part_first[mxml.part_index] + 1 : 0;
  const int octaves = staff >= 1 && staff <= MXML_MAX_STAVES ? mxml.octave_lines[staff].octaves : 0;
  const int32_t steps =
      note->get(xmod7) + 7 * octaves - clefmod7(mxml.lists[size_t(list)].clef, NIL);
  const int32_t head_bottom = MIDDLE_LINE + STAFF_STEP * (steps - 1);
  int32_t highest = head_bottom - UNDER_HEAD_GAP - (pedal ? PEDAL_MARK_TOP : DYNAMIC_LETTERS_TOP);
  // A pedal mark under an octave line below the staff stands below the line's words, not on
  // its dashes.
  const Drosa line = octaves > 0 ? mxml.octave_lines[staff].line : NIL;
  if (pedal && line)
    highest = std::min<int32_t>(
        highest, line->get(xstarty) - OCTAVE_WORDS_HALF - UNDER_HEAD_GAP - PEDAL_MARK_TOP);
  if (baseline > highest) item.y -= baseline - highest;
}

// The height of a staff from its bottom line to its top line, and the distance between two
// staves of a part when the document gives none (in tenths).
constexpr int32_t STAFF_HEIGHT = 200, DEFAULT_STAFF_DISTANCE = 65;

// Words or a dynamic the document places across the gap to the next staff of their part, over
// that staff's near line or beyond (a dynamic of the left hand written over the right hand's
// notes, with an offset made for the document's own systems), stand in the middle of the gap.
void within_its_gap(MxmlItem& item, int list) {
  if ((item.kind != -7 && item.kind != 1) || !(item.given & 10) || list < 0 || !mxml_in_part())
    return;
  const int staff = list - mxml.part_first[mxml.part_index] + 1;
  const int32_t gap =
      UNITS_PER_TENTH * (mxml.staff_distance > 0 ? mxml.staff_distance : DEFAULT_STAFF_DISTANCE);
  // The middle of its letters, from its staff's top line.
  const int32_t middle = item.y + item.dy - VERTICAL_ORIGIN +
                         (item.kind == -7 ? DYNAMIC_LETTERS_MIDDLE : 10 * item.size / 3);
  if (staff > 1 && middle > gap) item.dy -= middle - gap / 2;
  if (staff < mxml_part_list_count() && middle < -STAFF_HEIGHT - gap)
    item.dy += -STAFF_HEIGHT - gap / 2 - middle;
}

// Where a note stands well into its measure (in units), the document's x of a direction
// before it tells whether it counts from the note or from the measure's start.
constexpr int32_t TELLING_NOTE_X = 200;

// A direction's x the document gives counts from its note, or, as some programs write it,
// from the measure's start: then the note's own x is taken off. A direction whose note stands
// well into the measure counts for the one that puts it nearer its note. While neither leads,
// the note's x is kept with the mark made (`made_from_x`), to be taken off once the measure's
// start leads. True when the mark is to be kept so.
bool x_from_its_note(MxmlItem& item, int list) {
  const int32_t note_x = mxml.note.default_x;
  if (!(item.given & 1) || list < 0 || note_x == INT32_MIN) return false;
  if (note_x >= TELLING_NOTE_X) {
    const bool before = mxml.x_from_measure > mxml.x_from_note;
    ++(std::abs(item.x - note_x) < std::abs(item.x) ? mxml.x_from_measure : mxml.x_from_note);
    if (!before && mxml.x_from_measure > mxml.x_from_note)
      for (const MxmlState::MarkFromX& m : mxml.marks_from_x)
        m.tparam->set(xtextx, m.tparam->get(xtextx) - m.note_x);
    if (mxml.x_from_measure != mxml.x_from_note) mxml.marks_from_x.clear();
  }
  if (mxml.x_from_measure > mxml.x_from_note) item.x -= note_x;
  return mxml.x_from_measure == mxml.x_from_note;
}

void made_from_x(Drosa tparam) {
  if (tparam && tparam->xkind == TPARAM) mxml.marks_from_x.push_back({tparam, mxml.note.default_x});
}

// A time of the part: a measure and a time in it.
struct PartTime {
  int measure = 0;
  int64_t time = 0;
  auto operator<=>(const PartTime&) const = default;
};

// The middle lines of the list's hairpins that run on past a note at time `at` of the voice
// `tag` names, whose chord lasts to `until`: those open and not ending at the note (`self`
// aside; one stopped ends at a note of the voice it began in, later than a note of another
// voice), and those ended after it (read before it, in a voice read earlier) that began at it
// or before.
std::vector<int32_t> hairpins_over(int list, PartTime at, int64_t until, int tag,
                                   const MxmlWedge* self) {
  std::vector<int32_t> middles;
  for (const MxmlWedge& w : mxml.wedges)
    if (&w != self && w.open && w.line && w.list == list &&
        !(w.stopping && w.stop_at < until &&
          (tag & MXML_TAG_VOICE_BITS) == w.line->get(xline_styleref)))
      middles.push_back(w.y);
  for (const MxmlState::HairpinShown& h : mxml.hairpins_shown)
    if (h.list == list && PartTime{h.start_measure, h.start} <= at &&
        at < PartTime{h.end_measure, h.end})
      middles.push_back(h.middle);
  return middles;
}

// Whether an annotation stands before the chord of a note: the time placement the chord's
// notes share comes before it.
bool in_chord_of(Drosa anno, Drosa note) {
  if (!anno || !mxml.note.chord) return false;
  for (Drosa p = note->xback; p && p->xkind != XMLT; p = p->xback)
    if (p == anno) return true;
  return false;
}

// An arpeggio at a note: at the first note of a chord that has one, its glyph before that note
// (sized at the measure's end); the chord's further notes share it.
void arpeggio_at(const MxmlItem& item, Drosa note, int tag, int context) {
  if (!mxml.arpeggios.empty() && in_chord_of(mxml.arpeggios.back().tparam, note)) return;
  MxmlItem sign = item;
  sign.sign_param = P_ARPEGGIATION_CHARACTER;
  if (Drosa t = mxml_make_annotation(sign, note, false, tag, context))
    mxml.arpeggios.push_back({t, note});
}

// Makes the items of the groups of a slot that fit the list, and whose times come before `until`
// (the end of the note's chord) or are the chord's `start` (a grace note takes what stands
// before it); the others stay.
// `note_list`: the note's list where `list` names none (a dynamic under it keeps below its head).
void flush_slot(int slot, Drosa note, int list, int tag, int context, int64_t start = 0,
                int64_t until = INT64_MAX, int note_list = -1) {
  if (mxml.slots[slot].empty()) return;  // most notes have none: no list is made for them
  // Taken from the slot, which gets them back at the end. Its room is made once: grown, it
  // would copy the groups moved in (a group's move may throw), freeing the items that the open
  // dynamics and metronome point at.
  std::vector<MxmlGroup> kept;
  TakenLines taken;
  for (const MxmlState::TakenLine& l : mxml.taken_lines)
    if (l.note == note) taken.lines.push_back({l.bottom, l.top, l.left, l.right});
  const size_t taken_before = taken.lines.size();
  // A metronome mark at this note shows the tempo that plays here: a performance tempo of
  // another direction at the same moment (the sound of the tempo words beside it) would
  // stand over it as a second, different mark.
  const bool metronome_here = std::any_of(
      mxml.slots[slot].begin(), mxml.slots[slot].end(),
      [&](const MxmlGroup& g) { return g.metronome && (list < 0 || group_fits(g, list)); });
  std::vector<const MxmlItem*> marks;  // the tempo marks made at this note
  for (MxmlGroup& g : mxml.slots[slot]) {
    if ((list >= 0 && !group_fits(g, list)) || (g.at >= until && g.at != start)) {
      if (kept.empty()) kept.reserve(mxml.slots[slot].size());
      kept.push_back(std::move(g));
      continue;
    }
    const MxmlItem* words = nullptr;  // the words made last in this group
    for (MxmlItem& item : g.items) {
      if (item.code == MXML_CODE_ARPEGGIATE) {
        arpeggio_at(item, note, tag, context);
        continue;
      }
      const bool mark = item.kind == -6 && item.tempo > 0;
      const bool repeated = mark && std::any_of(marks.begin(), marks.end(), [&](const MxmlItem* m) {
                              return m->tempo == item.tempo && m->beat_unit == item.beat_unit &&
                                     m->dots == item.dots && m->sound_tempo == item.sound_tempo;
                            });
      if (mark) marks.push_back(&item);
      bool made = false;  // shown here: later words of the group may run on from it
      if (repeated) {
        // The same mark given twice at one note (by two directions) is shown once.
      } else if (words && runs_on(*words, item)) {
        const char last = words->text.back();
        make_tempo(item, note, true, last == ' ' || last == '[' || last == '(' ? "" : " ", tag,
                   context);
        made = true;
      } else if (words && words_run_on(*words, item)) {
        make_run(item.note_glyph ? note_glyph_run(item) : item_run(item, item.text), item, note,
                 true, tag, context);
        made = true;
      } else if (!metronome_here || !item.sound_tempo) {
        made = true;
        MxmlItem placed = item;
        // A directive stands lower, but not below the height the document gives it: one
        // written over a high note stood on that note.
        if (!(placed.given & 2)) placed.y += g.voffset;
        const bool undecided = slot == MXML_DIRECTION_SLOT && x_from_its_note(placed, list);
        if (slot == MXML_DIRECTION_SLOT) within_its_gap(placed, list);
        if (slot == MXML_DIRECTION_SLOT)
          below_its_note(placed, note, list >= 0 ? list : note_list, tag);
        // A pedal shown as a line begins or ends it here, drawing no mark.
        made = !(placed.pedal_line && mxml_pedal_line_at(placed, note, list, tag, start));
        if (made) {
          if (slot == MXML_DIRECTION_SLOT && !placed.command && !blank_words(placed) &&
              !placed.sound_tempo)
            taken.place(placed);
          const bool dynamic = slot == MXML_DIRECTION_SLOT && placed.kind == -7;
          // A dynamic the document centres (or sets right) at its x stands so.
          const int32_t width = !dynamic ? 0
                                : placed.dynamics >= 0 && placed.dynamics <= 23
                                    ? dynamic_width(placed.dynamics)
                                    : DYNAMIC_WORDS_LETTER * int32_t(placed.dynamics_before.size() +
                                                                     placed.dynamics_after.size());
          if (dynamic) placed.x -= width * placed.halign / 2;
          Drosa head = annotate(placed, note, tag, context);
          // A tempo the document gives for the performance only is no mark anyone wrote: a
          // hidden metronome text, which playback reads and the page does not show.
          if (head && placed.sound_tempo) head->set(xhidden, 1);
          if (undecided) made_from_x(head);
          if (dynamic)
            mxml.marks_shown.push_back({note, placed.x + placed.dx,
                                        placed.y + placed.dy + DYNAMIC_LETTERS_MIDDLE, width,
                                        false});
          if (placed.octave_line) mxml_begin_octave_line(placed, g.staff, note, tag);
        }
      }
      words = made && (item.kind == 1 || (mark && !item.sound_tempo)) ? &item : nullptr;
      if (&item == mxml.item) mxml.item = nullptr;
      if (&item == mxml.direction_dynamics) mxml.direction_dynamics = nullptr;
      if (&item == mxml.notations_dynamics) mxml.notations_dynamics = nullptr;
      if (&item == mxml.metronome) mxml.metronome = nullptr;
    }
  }
  for (size_t i = taken_before; i < taken.lines.size(); ++i) {
    const TakenLines::Line& l = taken.lines[i];
    mxml.taken_lines.push_back({note, l.bottom, l.top, l.left, l.right});
  }
  // Emptied or refilled in place, the slot keeps its storage for the next note.
  std::deque<MxmlGroup>& groups = mxml.slots[slot];
  if (kept.empty())
    groups.clear();
  else
    groups.assign(std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
}

// ---- Wedges ------------------------------------------------------------------------------------

bool wedge_fits(const MxmlWedge& w, int list) {
  if (w.line) return w.list == list;
  return w.staff <= 0 || w.staff == list - mxml.part_first[mxml.part_index] + 1;
}

// The dynamic, or the end of a hairpin, shown at a note on the side of the staff of a height
// (above or below).
const MxmlState::MarkShown* shown_at(Drosa note, int32_t y, bool hairpin) {
  for (const MxmlState::MarkShown& d : mxml.marks_shown)
    if (d.note == note && d.hairpin == hairpin && (d.middle >= 0) == (y >= 0)) return &d;
  return nullptr;
}

// The hairpin's start before the note after the wedge's start, and its end (a copy of it)
// before the note after its stop. A dynamic at its start and the hairpin share a line, the
// hairpin starting after it, and after a hairpin ending there; a hairpin ends before the
// dynamic at its end.
void wedge_at(MxmlWedge& w, Drosa note, int list, int tag, int64_t start, int64_t until) {
  if (!w.open || !wedge_fits(w, list)) return;
  if (!w.line) {
    if (w.start_at >= until) return;
    if (const MxmlState::MarkShown* d = shown_at(note, w.y, false)) {
      w.y = d->middle;
      w.x = std::max(w.x, d->x + d->width + HAIRPIN_GAP);
    }
    // A hairpin begun under another of the staff (of another voice, or given another number)
    // stands beyond it, away from the staff: the two crossed.
    w.start_measure = mxml.measure_counter;
    w.start_time = start;
    const std::vector<int32_t> others =
        hairpins_over(list, {w.start_measure, start}, until, tag, &w);
    for (bool moved = true; moved;) {
      moved = false;
      for (int32_t middle : others) {
        if (std::abs(w.y - middle) >= 2 * HAIRPIN_OPENING + HAIRPIN_GAP) continue;
        w.y = middle + (w.y >= 0 ? 1 : -1) * (2 * HAIRPIN_OPENING + HAIRPIN_GAP);
        moved = true;
      }
    }
    if (const MxmlState::MarkShown* h = shown_at(note, w.y, true))
      w.x = std::max(w.x, h->x + HAIRPIN_GAP);
    Drosa line = copyDrosa(line_template);
    line->xcontext = 0;
    line->set(xmetaline, HAIRPIN);
    line->set(xline_ord, BEGLINE);
    line->set(xline_rely, FROM_STAFF);
    const int32_t y = w.y - VERTICAL_ORIGIN;
    // One leg of the hairpin, the upper; the other mirrors it about its closed end.
    const int32_t open = w.type == 2 ? HAIRPIN_OPENING : -HAIRPIN_OPENING;
    line->set(xstartx, w.x);
    line->set(xstarty, w.type == 2 ? y : y + HAIRPIN_OPENING);
    line->set(xendx, HAIRPIN_LENGTH);
    line->set(xendy, open);
    line->set(xc1x, -CLIP_MARGIN);
    line->set(xc1y, -CLIP_MARGIN - HAIRPIN_OPENING);
    line->set(xc2x, HAIRPIN_LENGTH + CLIP_MARGIN);
    line->set(xc2y, CLIP_MARGIN + HAIRPIN_OPENING);
    line->set(xline_styleref, uint16_t(tag & MXML_TAG_VOICE_BITS));
    link_after(line, note->xback);
    w.line = line;
    w.list = list;
    w.start_note = note;
  }
  // The end waits for a note of the voice the hairpin began in: after a backup the next note
  // read may stand earlier in the measure, and an end before its start pairs with nothing, or
  // with a later hairpin's start, pages away.
  if (!w.stopping || (tag & MXML_TAG_VOICE_BITS) != w.line->get(xline_styleref) ||
      w.stop_at >= until)
    return;
  if (const MxmlState::MarkShown* d = shown_at(note, w.y, false))
    if (note != w.start_note) w.stop_x = std::min(w.stop_x, d->x - HAIRPIN_END_GAP);
  Drosa end = copyDrosa(w.line);
  end->set(xline_ord, ENDLINE);
  end->set(xstartx, w.stop_x - w.line->get(xendx));
  link_after(end, note->xback);
  mxml.marks_shown.push_back({note, w.stop_x, w.y, 0, true});
  // Hairpins ended two measures before are passed: what begins now is read after them.
  std::erase_if(mxml.hairpins_shown, [](const MxmlState::HairpinShown& h) {
    return h.end_measure < mxml.measure_counter - 2;
  });
  mxml.hairpins_shown.push_back(
      {w.list, w.y, w.start_measure, mxml.measure_counter, w.start_time, start});
  w = MxmlWedge{};
}

void drop_ended_wedges() {
  std::erase_if(mxml.wedges, [](const MxmlWedge& w) { return !w.open; });
}

// Every open wedge that fits the list, in the order they began: one that ends here ends before
// the next begins.
void wedges_at(Drosa note, int list, int tag, int64_t start, int64_t until) {
  for (MxmlWedge& w : mxml.wedges) wedge_at(w, note, list, tag, start, until);
  drop_ended_wedges();
}

}  // namespace

void mxml_begin_wedges_back(int64_t at) {
  Drosa last = mxml.last_note;
  const int64_t from = mxml.part_cursor[mxml.part_index];
  if (!last || at < from || at >= from + mxml.pending) return;
  int list = -1;
  for (int i = 0; i < mxml_part_list_count(); ++i)
    if (mxml.lists[size_t(mxml.part_first[mxml.part_index] + i)].last_note == last)
      list = mxml.part_first[mxml.part_index] + i;
  if (list < 0) return;
  // The chord's first note: the first after the time placement its chord shares.
  Drosa first = last;
  for (Drosa p = last->xback; p && p->xkind != XMLT; p = p->xback)
    if (p->xkind == NOTE) first = p;
  for (MxmlWedge& w : mxml.wedges) {
    if (!w.group_pending || !w.open || w.line || w.stopping || !wedge_fits(w, list)) continue;
    // It begins after the note does: past its head.
    w.x = std::max(w.x, HAIRPIN_AFTER_HEAD);
    wedge_at(w, first, list, first->get(xpitch), from, from + mxml.pending);
  }
}

namespace {

// A straight line that begins at a note, standing from its staff, as far to the right as its
// length, in the note's voice (dash and gap 0 for a solid line); linked before the note.
Drosa begin_line_at(Drosa note, int meta, int dash, int gap, int32_t x, int32_t y, int32_t length,
                    int tag) {
  Drosa line = copyDrosa(line_template);
  line->xcontext = 0;
  line->set(xmetaline, meta);
  line->set(xline_ord, BEGLINE);
  line->set(xline_rely, FROM_STAFF);
  line->set(xcurve, 0);
  line->set(xdashlth, dash);
  line->set(xgaplth, gap);
  line->set(xstartx, x);
  line->set(xstarty, y);
  line->set(xendx, length);
  line->set(xendy, 0);
  line->set(xc1x, -CLIP_MARGIN);
  line->set(xc1y, -CLIP_MARGIN);
  line->set(xc2x, length + CLIP_MARGIN);
  line->set(xc2y, CLIP_MARGIN);
  line->set(xline_styleref, uint16_t(tag & MXML_TAG_VOICE_BITS));
  link_after(line, note->xback);
  return line;
}

}  // namespace

void mxml_begin_octave_line(const MxmlItem& item, int staff, Drosa note, int tag) {
  // The lines of a staff begin in the order their words come: the first of them not begun yet.
  staff = std::clamp(staff, 1, MXML_MAX_STAVES);
  MxmlState::OctaveLine* found = nullptr;
  for (auto& stopped : mxml.octave_lines_stopped)
    if (!found && stopped.staff == staff && !stopped.line) found = &stopped;
  if (!found) found = &mxml.octave_lines[staff];
  MxmlState::OctaveLine& state = *found;
  if (!state.octaves || state.line) return;
  // Its words, just made before the note.
  Drosa words_head = note->xback;
  while (words_head && words_head->xkind != TPARAM && words_head->xkind != NOTE)
    words_head = words_head->xback;
  const int32_t words = 5 * item.size * int32_t(item.text.size());
  const int32_t x = item.x + item.dx + words + OCTAVE_WORDS_GAP;
  const int32_t length = std::max(OCTAVE_PAST_NOTE - x, OCTAVE_SHORTEST);
  Drosa line = begin_line_at(note, RIGHT_BRACKET, OCTAVE_DASH, OCTAVE_GAP, x,
                             item.y + item.dy - VERTICAL_ORIGIN + 10 * item.size / 4, length, tag);
  state.line = line;
  state.tag = tag & MXML_TAG_VOICE_BITS;
  state.words = words_head && words_head->xkind == TPARAM ? words_head : line;
  state.note = note;
}

Drosa mxml_chord_first(Drosa note) {
  while (note->xback && note->xback->xkind == NOTE && !note->xback->get(xendvcd))
    note = note->xback;
  return note;
}

Drosa mxml_move_octave_line(Drosa* words, Drosa line, Drosa note, int tag, int staff, bool carry) {
  Drosa first = mxml_chord_first(note);
  Drosa last = NIL;
  Drosa moved = copy_detached_chain(*words, line, &last);
  if (!carry) destroy_chain(*words, line);
  link_chain_after(moved, last, first->xback);
  *words = moved;
  const int list = mxml.part_first[mxml.part_index] + staff - 1;
  for (Drosa p = moved;; p = p->xnext) {
    if (p->xkind == TPARAM && !p->get(xadjacent)) {
      p->set(xstyle_reference, uint16_t(tag & MXML_TAG_VOICE_BITS));
      mxml.moved_directions.push_back({p, list});
    }
    if (p == last) break;
  }
  last->set(xline_styleref, uint16_t(tag & MXML_TAG_VOICE_BITS));
  mxml.moved_directions.push_back({last, list});
  return last;
}

void mxml_end_octave_line(Drosa line, Drosa last) {
  Drosa first = mxml_chord_first(last);
  Drosa end = copyDrosa(line);
  end->set(xline_ord, ENDLINE);
  end->set(xstartx, OCTAVE_PAST_NOTE - line->get(xendx));
  link_after(end, first->xback);
}

namespace {

// A trill line stands over the staff, a space above its top line, unless the document says
// where; its first segment goes on from its "tr", which the drawing finds.
constexpr int TRILL_LINE = 11;
constexpr int32_t TRILL_LINE_ABOVE = 50, TRILL_LINE_BELOW = -250, TRILL_LINE_START = 100;

Drosa begin_trill_line(const MxmlNoteRecord::WavyLine& w, Drosa note, int tag) {
  const int32_t y = w.y != INT32_MIN ? w.y : w.below ? TRILL_LINE_BELOW : TRILL_LINE_ABOVE;
  return begin_line_at(note, TRILL_LINE, 0, 0, TRILL_LINE_START, y, TRILL_LINE_START, tag);
}

// The line's last segment, after `after`: before its last note, or after the line itself.
void end_trill_line(Drosa line, Drosa after) {
  Drosa end = copyDrosa(line);
  end->set(xline_ord, ENDLINE);
  end->set(xstartx, 0);
  link_after(end, after);
}

}  // namespace

void mxml_trill_lines_at(const MxmlNoteRecord& n, Drosa note, int list, int tag) {
  for (const MxmlNoteRecord::WavyLine& w : n.wavy_lines) {
    MxmlState::TrillLine& open = mxml.trill_lines[w.number - 1];
    if (w.start) {
      // One begun again before its stop ends where it began.
      if (open.line) end_trill_line(open.line, open.line);
      open = {begin_trill_line(w, note, tag), list, tag & MXML_TAG_VOICE_BITS};
    } else if (open.line) {
      // One stopped in another voice (read after it, perhaps at an earlier time) ends where it
      // began.
      const bool own = open.list == list && open.voice == (tag & MXML_TAG_VOICE_BITS);
      end_trill_line(open.line, own ? note->xback : open.line);
      open = {};
    }
  }
}

namespace {

// A pedal line stands at its "Ped."'s height, its hooks reaching up from there; it begins a
// little before the head of its first note and ends over the time of its last chord (the
// release stands at the next chord's head, or at the bar line).
constexpr int PEDAL_LINE = 12;
constexpr int32_t PEDAL_LINE_START = -20, PEDAL_LINE_LENGTH = 100;

// Ends the open line over the time of the last chord its voice has sounded on its staff (at
// the chord it began at when there is none after that).
void end_pedal_line(bool at_its_start) {
  MxmlState::PedalLine& open = mxml.pedal_line;
  const int index = ((open.voice >> 7) & 31) - 1;
  Drosa last =
      index >= 0 && index <= MXML_MAX_VOICE && !at_its_start ? mxml.voices[index].last_note : NIL;
  if (last && (last->get(xpitch) >> 12) != 0) last = NIL;  // written on another staff
  Drosa first = last ? mxml_chord_first(last) : NIL;
  Drosa end = copyDrosa(open.line);
  end->set(xline_ord, ENDLINE);
  end->set(xstartx, 0);
  end->set(xendx, 0);
  link_after(end, first && first != mxml_chord_first(open.note) ? first->xback : open.line);
  open = {};
}

}  // namespace

bool mxml_pedal_line_at(const MxmlItem& item, Drosa note, int list, int tag, int64_t start) {
  MxmlState::PedalLine& open = mxml.pedal_line;
  if (item.release && !open.line && !item.press) return false;
  // At the measure's end: the list whose last note it goes to.
  for (int i = 0; list < 0 && mxml_in_part() && i < mxml_part_list_count(); ++i) {
    const MxmlList& l = mxml.lists[size_t(mxml.part_first[mxml.part_index] + i)];
    if (l.last_note == note || l.latest_note == note) list = mxml.part_first[mxml.part_index] + i;
  }
  if (open.line) {
    // Released at the chord it began at: it ends over that chord's time.
    end_pedal_line(mxml_chord_first(note) == mxml_chord_first(open.note));
  }
  if (!item.press || list < 0) return true;
  Drosa line = begin_line_at(note, PEDAL_LINE, 0, 0, PEDAL_LINE_START,
                             item.y + item.dy - VERTICAL_ORIGIN, PEDAL_LINE_LENGTH, tag);
  open = {line, note, list, tag & MXML_TAG_VOICE_BITS, start};
  return true;
}

void mxml_pedal_line_to_note(Drosa note, int list, int tag, int64_t start) {
  MxmlState::PedalLine& open = mxml.pedal_line;
  if (!open.line || !open.note->get(xrest) || note->get(xrest) || list != open.list ||
      start != open.at || (tag >> 12) != 0)
    return;
  // A rest that shares its time with a note of another voice gives way to it on the page, and
  // whatever stands before the rest goes with it: the line's "Ped." was lost. The line goes to
  // the note's voice, before the note's chord.
  Drosa first = mxml_chord_first(note);
  if (first != mxml_chord_first(open.note)) {
    Drosa moved = copyDrosa(open.line);
    link_after(moved, first->xback);
    destroy_node(open.line);
    open.line = moved;
  }
  open.line->set(xline_styleref, uint16_t(tag & MXML_TAG_VOICE_BITS));
  open.note = note;
  open.voice = tag & MXML_TAG_VOICE_BITS;
}

void mxml_wedges_end() {
  for (const MxmlWedge& w : mxml.wedges) {
    if (!w.line) continue;
    // Begun and never stopped: its end is nowhere in the document, and a hairpin without one
    // is not drawn. It is taken out, and the user told where it began.
    const int part = mxml.part_index;
    const std::string name = part < 0 || part >= mxml.part_count ? std::string()
                             : mxml.part_names[part].empty()     ? mxml.part_ids[part]
                                                                 : mxml.part_names[part];
    mxml_notice(MxmlNotice::wedge_end,
                "In part \"%s\" a hairpin begins in measure %d (counting from the first) that "
                "the document never ends; it is left out.",
                name.c_str(), w.start_measure);
    Drosa before = w.line->xback, after = w.line->xnext;
    if (before) before->xnext = after;
    if (after) after->xback = before;
    destroyDrosa(w.line);
  }
  mxml.wedges.clear();
}

void mxml_pedal_lines_end() {
  if (mxml.pedal_line.line) end_pedal_line(false);
}

void mxml_trill_lines_end() {
  for (MxmlState::TrillLine& open : mxml.trill_lines) {
    if (open.line) end_trill_line(open.line, open.line);
    open = {};
  }
}

void mxml_arpeggios_measure_end() {
  for (const MxmlState::Arpeggio& a : mxml.arpeggios) {
    // The note's time, then every note of its list in the measure at that time.
    Drosa from = a.note;
    int64_t at = -1;
    for (Drosa p = a.note; p; p = p->xback) {
      if (at < 0 && p->xkind == XMLT) at = p->get(xxmltime);
      if (p->xkind == BAR || p->xkind == ENDSYST) break;
      from = p;
    }
    const int first = a.note->get(xmod7);
    int low = first, high = first;
    int accidentals = 0;
    int64_t time = -1;
    for (Drosa p = from; p && p->xkind != BAR; p = p->xnext) {
      if (p->xkind == XMLT) time = p->get(xxmltime);
      if (p->xkind != NOTE || time != at || p->get(xrest) || p->get(xgrace)) continue;
      low = std::min<int>(low, p->get(xmod7));
      high = std::max<int>(high, p->get(xmod7));
      accidentals += p->get(xaccplot) != 0;
    }
    const int32_t height = (high - low) * ARPEGGIO_STEP + HEAD_HEIGHT + 2 * ARPEGGIO_PAST_HEADS;
    a.tparam->set(xtextsize,
                  uint8_t(std::clamp(height * 10 / ARPEGGIO_HEIGHT_PER_POINT + 1, 1, 127)));
    a.tparam->set(xtexty, (low - first) * ARPEGGIO_STEP - ARPEGGIO_PAST_HEADS);
    // Before the accidentals' columns: as many as they are, three at most.
    a.tparam->set(xtextx, ARPEGGIO_BEFORE_HEADS - ACCIDENTAL_COLUMN * std::min(accidentals, 3));
  }
  mxml.arpeggios.clear();
}

void mxml_barline_fermata(bool inverted) {
  if (!mxml_in_part()) return;
  Drosa note = mxml.lists[size_t(mxml.part_first[mxml.part_index])].last_note;
  if (!note) return;
  MxmlItem item;
  item.kind = -20;  // a pause
  item.sign_param = inverted ? P_FERMATA_BELOW_NOTE : P_FERMATA_ABOVE_NOTE;
  item.text = " ";
  item.reference = uint16_t((NEXT_BAR << 12) | (FROM_STAFF << 8) | CENTRED);
  item.y = VERTICAL_ORIGIN + (inverted ? -STAFF_HEIGHT - BAR_FERMATA_GAP : BAR_FERMATA_GAP);
  mxml_make_annotation(item, note, false, note->get(xpitch), 0);
}

int mxml_credit_points(double size) {
  const int scale = mxml.print_scale > 0 ? mxml.print_scale : 100;
  return int(std::lround(size * 100.0 / scale));
}

Drosa mxml_make_annotation(const MxmlItem& item, Drosa before, bool continuation, int tag,
                           int context) {
  if (item.dynamics != 0x8000 || item.kind == -7) return make_dynamic(item, before, tag, context);
  if (item.tempo > 0 || item.kind == -6) return make_tempo(item, before, false, "", tag, context);
  if (item.press || item.release) return make_pedal(item, before, tag, context);
  if (item.coded) return make_coded(item, before, tag, context);
  if (item.note_glyph)
    return make_run(note_glyph_run(item), item, before, continuation, tag, context);
  if (item.sign_param)
    return make_run(glyph_run(item.sign_param, item.face), item, before, continuation, tag,
                    context);
  std::string text = plain_text(item);
  if (item.syllable) text += '-';
  if (item.extend) text += '_';
  if (text.find_first_not_of(' ') == std::string::npos) return NIL;
  return make_run(item_run(item, text), item, before, continuation, tag, context);
}

void mxml_attach_to_note(Drosa note, int list, int tag, int64_t start, int64_t until) {
  mxml.marks_shown.clear();
  if (!mxml.slots[MXML_CREDIT_SLOT].empty()) mxml_keep_credits_apart();
  for (int r = mxml.title_flush; r < MXML_LYRICS_RECORD; ++r) {
    for (const MxmlItem& item : mxml.titles[r].items) annotate(item, note, tag, 0);
    mxml_reset_title(r);
  }
  mxml.title_flush = MXML_LYRICS_RECORD;
  flush_slot(MXML_CREDIT_SLOT, note, -1, tag, 1);
  flush_slot(MXML_DIRECTION_SLOT, note, list, tag, 0, start, until);
  flush_slot(MXML_NOTATIONS_SLOT, note, -1, tag, 0);
  for (const MxmlItem& item : mxml.titles[MXML_LYRICS_RECORD].items) annotate(item, note, tag, 0);
  mxml_reset_title(MXML_LYRICS_RECORD);
  wedges_at(note, list, tag, start, until);
  mxml_ending_at_note(note, list, tag);
  mxml_pedal_line_to_note(note, list, tag, start);
}

namespace {

// The list of the part whose chord of the measure starts last (the first of those that tie).
const MxmlList* list_sounding_last() {
  const MxmlList* found = nullptr;
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    const MxmlList& l = mxml.lists[size_t(mxml.part_first[mxml.part_index] + i)];
    if (l.latest_note && (!found || l.latest_start > found->latest_start)) found = &l;
  }
  return found;
}

// Directions that name a staff go to the last note of that staff: the chord that starts last
// in the measure, when they come at its end (written after the voice that ends it, before a
// backup to the voices read after it).
void flush_directions_to_staves(Drosa last) {
  std::deque<MxmlGroup> groups = std::move(mxml.slots[MXML_DIRECTION_SLOT]);
  mxml.slots[MXML_DIRECTION_SLOT].clear();
  for (MxmlGroup& g : groups) {
    int list = -1;
    for (int i = 0; i < mxml_part_list_count(); ++i)
      if (group_fits(g, mxml.part_first[mxml.part_index] + i) && g.staff > 0)
        list = mxml.part_first[mxml.part_index] + i;
    // One of no staff, at the measure's end, of the staff whose chord starts last.
    const MxmlList* l = list >= 0   ? &mxml.lists[size_t(list)]
                        : g.at >= 0 ? list_sounding_last()
                                    : nullptr;
    Drosa note = !l || !l->last_note                        ? last
                 : g.at > l->latest_start && l->latest_note ? l->latest_note
                                                            : l->last_note;
    // Words written after a measure's notes ("D.S. al Coda", "Fine") end at its last note: begun
    // there, they ran over the bar line onto the signs of the next measure.
    // A pedal released there lets go at the bar line: the release stands before it, not at
    // the last chord (under its press).
    for (MxmlItem& item : g.items) {
      if (item.kind == 1 && !item.justify_given && !(item.given & 1))
        item.reference = uint16_t((item.reference & ~7) | 2);
      if (item.release && !item.press && !item.pedal_line && !(item.given & 1) && g.at >= 0) {
        item.reference = uint16_t((NEXT_BAR << 12) | (item.reference & 0x0F00) | 2);
        item.x = -RELEASE_BEFORE_BAR;
      }
    }
    mxml.slots[MXML_DIRECTION_SLOT].push_back(std::move(g));
    const int note_list = l && l->last_note ? int(l - mxml.lists.data()) : -1;
    flush_slot(MXML_DIRECTION_SLOT, note, -1, note->get(xpitch), 0, 0, INT64_MAX, note_list);
  }
}

// The last note of a voice (its tag's voice bits) in the measure of a list ending at `last`,
// past rests that show nothing of other voices read after it; NIL where a note of another voice
// that shows comes first.
Drosa voice_note_past_hidden_rests(Drosa last, int voice) {
  for (Drosa p = last; p && p->xkind != BAR; p = p->xback) {
    if (p->xkind != NOTE) continue;
    if ((p->get(xpitch) & MXML_TAG_VOICE_BITS) == voice) return p;
    if (!p->get(xrest) || !p->get(xhider)) return NIL;
  }
  return NIL;
}

void flush_directions_at_measure_end(Drosa last) {
  mxml.marks_shown.clear();
  const int tag = last->get(xpitch);
  if (!mxml.slots[MXML_CREDIT_SLOT].empty()) mxml_keep_credits_apart();
  flush_slot(MXML_CREDIT_SLOT, last, -1, tag, 1);
  // Most measures end with no direction waiting: no list of them is made then.
  if (!mxml.slots[MXML_DIRECTION_SLOT].empty()) flush_directions_to_staves(last);
  for (MxmlWedge& w : mxml.wedges) {
    const int list = w.line ? w.list : -1;
    Drosa note =
        list >= 0 && mxml.lists[size_t(list)].last_note ? mxml.lists[size_t(list)].last_note : last;
    // A hairpin stopped ends at its voice's last note, where the staff's other voices read after
    // it only rest unseen (filled out so by a writer): it waited for its voice's next note and
    // ran on into the next measure.
    if (list >= 0 && w.stopping)
      if (Drosa own = voice_note_past_hidden_rests(note, w.line->get(xline_styleref))) note = own;
    int note_list = list;
    if (note_list < 0)
      for (int i = 0; i < mxml_part_list_count(); ++i)
        if (mxml.lists[size_t(mxml.part_first[mxml.part_index] + i)].last_note == note)
          note_list = mxml.part_first[mxml.part_index] + i;
    if (note_list >= 0) wedge_at(w, note, note_list, note->get(xpitch), INT64_MAX, INT64_MAX);
  }
  drop_ended_wedges();
}

}  // namespace

void mxml_flush_measure_end() {
  if (mxml.last_note) flush_directions_at_measure_end(mxml.last_note);
  mxml.taken_lines.clear();
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    MxmlList& l = mxml.lists[size_t(mxml.part_first[mxml.part_index] + i)];
    l.latest_note = NIL, l.latest_start = -1;
  }
}
