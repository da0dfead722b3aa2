// mxml_endings.cpp: the endings of a repeat (the first and second time bars, "1." and "2."
// over the measures played the first and the second time) as the MusicXML import reads them.
//
// An ending is a text of the repeat class, its number, and a bracket line that runs on from
// its first note to its last: a BEGLINE after the number before the first note and an ENDLINE
// (a copy) before the last, in one voice of the part's top staff. The line is a plain bracket
// when the ending stops with a hook down at its end, a left bracket when it is discontinued
// (open at its end). Where both stand is only a first guess: the page format draws an ending
// from bar line to bar line, clear of the notes under it.
//
// Some programs leave out the start of a first ending of one measure, and its number too: the
// measure ends with a stop that no ending began, and the next begins a second ending. Such a
// stop makes an ending of the measure it stops in; without a number of its own it takes the
// one before the next measure's ending ("1." before "2."), set once that measure is read.
#include <charconv>
#include <string>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "annotations/anno_services.h"
#include "model/model_services.h"

namespace {

constexpr int CLASS_REPEAT = 17;  // "repeat/ending/segno"
constexpr int PLAIN_BRACKET = 3, LEFT_BRACKET = 5, BEGLINE = 3, ENDLINE = 1;
constexpr int FROM_STAFF = 5;         // an item's height counts from the staff's top line
constexpr int VERTICAL_ORIGIN = 100;  // where an item's y counts from, as items are placed
// The line three spaces over the top line, its number a space under it and a little after
// its start, in points of a tenth of the staff's size.
constexpr int32_t ENDING_HEIGHT = 150, NUMBER_DROP = 100, NUMBER_AFTER_START = 20;
constexpr int32_t BEFORE_NOTE = 60, FIRST_LENGTH = 400, CLIP_MARGIN = 280;
constexpr int NUMBER_SIZE = 10;
constexpr size_t TEXT_LIMIT = 40;
// The text of a number not yet known, and of a number nothing tells: a bracket with no number.
constexpr const char* NUMBER_WAITING = "?";
constexpr const char* NO_NUMBER = " ";

std::string trimmed(const std::string& text) {
  const size_t from = text.find_first_not_of(" \t\r\n");
  if (from == std::string::npos) return "";
  return text.substr(from, text.find_last_not_of(" \t\r\n") - from + 1);
}

bool printed(Drosa note) { return !(note->get(xrest) && note->get(xhider)); }

// The measure being read, counted in the part from 0.
int measure_index() { return int(mxml.part_measures[mxml.part_index].size()); }

// The number and first segment of the open ending, before `note` of the part's top staff.
void begin_ending(Drosa note, int tag) {
  MxmlState::Ending& ending = mxml.ending;
  MxmlItem number;
  number.kind = CLASS_REPEAT;
  number.size = NUMBER_SIZE;
  number.text = ending.text.empty() ? NUMBER_WAITING : ending.text;
  number.reference = uint16_t(FROM_STAFF << 8);  // left-justified
  number.x = NUMBER_AFTER_START - BEFORE_NOTE;
  number.y = VERTICAL_ORIGIN + ENDING_HEIGHT - NUMBER_DROP;
  Drosa head = mxml_make_annotation(number, note, false, tag, 0);
  if (!head) return;
  Drosa line = copyDrosa(line_template);
  line->xcontext = 0;
  line->set(xmetaline, PLAIN_BRACKET);
  line->set(xline_ord, BEGLINE);
  line->set(xline_eocvar, 0);
  line->set(xcurve, 0);
  line->set(xdashlth, 0);
  line->set(xgaplth, 0);
  line->set(xline_eachsys, 0);
  line->set(xline_eachpage, 0);
  line->set(xline_everypart, 0);
  line->set(xline_pagemargin, 0);
  line->set(xline_fromstaff, 1);
  line->set(xline_rely, 0);
  line->set(xstartx, -BEFORE_NOTE);
  line->set(xstarty, ENDING_HEIGHT);
  line->set(xendx, FIRST_LENGTH);
  line->set(xendy, 0);
  line->set(xc1x, -CLIP_MARGIN);
  line->set(xc1y, -CLIP_MARGIN);
  line->set(xc2x, FIRST_LENGTH + CLIP_MARGIN);
  line->set(xc2y, CLIP_MARGIN);
  line->set(xline_styleref, uint16_t(tag & MXML_TAG_VOICE_BITS));
  link_after(line, note->xback);
  ending.line = line;
  ending.tag = tag & MXML_TAG_VOICE_BITS;
  if (ending.text.empty()) mxml.ending_waiting = {head, measure_index(), mxml.last_number};
}

// An ending that stops where none began: it begins at the first printed note of the part's top
// staff in the measure it stops in (read since the bar line before).
void begin_unstarted_ending() {
  const int list = mxml.part_first[mxml.part_index];
  Drosa first = NIL;
  for (Drosa p = mxml.lists[size_t(list)].insert; p && p->xkind != BAR; p = p->xback)
    if (p->xkind == NOTE && printed(p)) first = p;
  if (first) begin_ending(first, first->get(xpitch));
}

// The waiting number takes `text`; a bracket with no number when nothing tells it, and said so.
void give_waiting_number(const std::string& text) {
  MxmlState::EndingNumberWaiting& waiting = mxml.ending_waiting;
  if (text.empty())
    mxml_notice(MxmlNotice::ending,
                "In %s the ending that stops in measure %d began nowhere, and nothing gives its "
                "number; Vesk draws it over that measure without one.",
                mxml_where().c_str(), waiting.shown);
  Drosa chars = waiting.number->xnext;
  if (chars && chars->xkind == TEXT) chars->set(xtext, text.empty() ? NO_NUMBER : text.c_str());
  waiting = {};
}

// The number before the ending begun at `number` in the measure after the waiting one ("1."
// before "2"); "" when that is no ending's number.
std::string number_before(const std::string& number) {
  if (measure_index() != mxml.ending_waiting.measure + 1) return "";
  int first = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), first);
  if (error != std::errc() || first <= 1 || first > 9999) return "";
  return std::to_string(first - 1) + ".";
}

// The last segment, before the chord of the last printed note of the ending's voice read
// since its first; both segments take the style of its stop.
void end_ending(int stop) {
  MxmlState::Ending& ending = mxml.ending;
  const int list = mxml.part_first[mxml.part_index];
  Drosa last = NIL;
  for (Drosa p = mxml.lists[size_t(list)].insert; p && p != ending.line && !last; p = p->xback)
    if (p->xkind == NOTE && printed(p) && (p->get(xpitch) & MXML_TAG_VOICE_BITS) == ending.tag)
      last = p;
  if (!last) return;  // the first note always matches: never so
  Drosa first = mxml_chord_first(last);
  ending.line->set(xmetaline, stop == 1 ? PLAIN_BRACKET : LEFT_BRACKET);
  Drosa end = copyDrosa(ending.line);
  end->set(xline_ord, ENDLINE);
  link_after(end, first->xback);
}

// Ends the open ending as its stop says (1 stop, 2 discontinue); one that no printed note of
// the top staff took is left out, and said so.
void close_ending(int stop) {
  MxmlState::Ending& ending = mxml.ending;
  if (ending.line)
    end_ending(stop);
  else if (ending.shown)
    mxml_notice(MxmlNotice::ending,
                "In %s an ending stops over no printed note of the part's top staff; Vesk "
                "leaves it out.",
                mxml_where().c_str());
  ending = {};
}

}  // namespace

namespace {

// Whether an ending's number is a list of numbers ("1", "1, 2", "1,2,3"), or blank.
bool well_formed_number(const std::string& number) {
  bool digit_before = false;
  for (size_t i = 0; i < number.size(); ++i) {
    const char c = number[i];
    if (c >= '0' && c <= '9') {
      if (!digit_before && c == '0') return false;
      digit_before = true;
    } else if (c == ',' && digit_before) {
      digit_before = false;
      if (i + 1 < number.size() && number[i + 1] == ' ') ++i;
    } else {
      return false;
    }
  }
  return digit_before || number.empty();
}

}  // namespace

void mxml_ending(XmlElement& e) {
  if (!mxml_in_part()) return;
  MxmlState::Ending& ending = mxml.ending;
  const std::string type = mxml_attr_text(e, "type", 16);
  if (type != "start" && type != "stop" && type != "discontinue") {
    mxml_notice(MxmlNotice::ending,
                "In %s an ending is of type \"%s\", which is none of start, stop and "
                "discontinue; Vesk leaves it out.",
                mxml_where().c_str(), type.c_str());
    return;
  }
  if (const std::string number = trimmed(mxml_attr_text(e, "number", TEXT_LIMIT));
      !well_formed_number(number))
    mxml_notice(MxmlNotice::ending,
                "In %s an ending's number is \"%s\", which is no list of numbers from 1 on; "
                "Vesk shows it as it is written.",
                mxml_where().c_str(), number.c_str());
  if (type == "start") {
    if (ending.open && !ending.begun) {
      if (ending.shown) begin_unstarted_ending();
      close_ending(ending.stop);
    } else if (ending.open) {
      mxml_notice(MxmlNotice::ending,
                  "In %s an ending begins before the one begun in measure %d stops; Vesk ends "
                  "that one at the note before, open.",
                  mxml_where().c_str(), ending.measure);
      close_ending(2);
    }
    const std::string text = trimmed(mxml_text(e, TEXT_LIMIT));
    const std::string number = trimmed(mxml_attr_text(e, "number", TEXT_LIMIT));
    if (mxml.ending_waiting.number) give_waiting_number(number_before(number));
    ending.open = true;
    ending.shown = !mxml_attr_is(e, "print-object", "no");
    ending.text = !text.empty() ? text : number.empty() ? "" : number + ".";
    ending.measure = mxml.last_number;
    if (ending.shown && ending.text.empty()) {
      mxml_notice(MxmlNotice::ending,
                  "In %s an ending has neither a number nor a text; Vesk leaves it out.",
                  mxml_where().c_str());
      ending.shown = false;
    }
    return;
  }
  if (!ending.open) {
    const std::string number = trimmed(mxml_attr_text(e, "number", TEXT_LIMIT));
    ending.open = true;
    ending.begun = false;
    ending.shown = !mxml_attr_is(e, "print-object", "no");
    ending.text = number.empty() ? "" : number + ".";
    ending.measure = mxml.last_number;
  }
  ending.stop = type == "stop" ? 1 : 2;
}

void mxml_ending_at_note(Drosa note, int list, int tag) {
  MxmlState::Ending& ending = mxml.ending;
  if (!ending.open || ending.line || !ending.shown || ending.stop ||
      list != mxml.part_first[mxml.part_index] || !printed(note))
    return;
  begin_ending(note, tag);
}

void mxml_endings_measure_end(bool part_end) {
  MxmlState::Ending& ending = mxml.ending;
  if (mxml.ending_waiting.number && (part_end || measure_index() > mxml.ending_waiting.measure))
    give_waiting_number("");
  if (!ending.open) return;
  if (part_end && !ending.stop) {
    if (ending.shown)
      mxml_notice(MxmlNotice::ending,
                  "In %s the ending begun in measure %d does not stop; Vesk ends it with the "
                  "part, open.",
                  mxml_where().c_str(), ending.measure);
    ending.stop = 2;
  }
  if (!ending.stop) return;
  if (!ending.begun && ending.shown) begin_unstarted_ending();
  close_ending(ending.stop);
}
