// endings.h: the endings of a repeat (first and second time bars) drawn on a system: each
// from bar line to bar line over its staff, clear of everything drawn under it, its number
// inside its first hook.
#pragma once

#include <cstdint>
#include <unordered_set>
#include <vector>

#include "model/model_services.h"

// The endings of the system being drawn, and what is drawn under them that they need not clear.
struct SystemEndings {
  struct Segment {
    Drosa line = NIL;  // a BEGLINE, MIDLINE or ENDLINE of an ending
    Drosa note = NIL;  // the note it stands before
    int pstaff = 0;
  };
  std::vector<Segment> segments;
  // The elements of texts locked to the page (titles, credits): not under an ending, however
  // near they are drawn.
  std::unordered_set<uint32_t> page_texts;
};

// ending_defers: whether `head` (an annotation before `note` on printed staff pstaff) belongs to
// an ending, drawn by draw_system_endings once every other mark of the system is drawn: its
// number (not recorded; its first segment draws it) or a segment with its other segment.
// Writes: endings.segments.
bool ending_defers(SystemEndings& endings, Drosa head, Drosa note, int pstaff);

// ending_note_drawn: the text `head` was just drawn (the elements after `before`): a text
// locked to the page is left out of what endings clear.
// Reads: the GE list. Writes: endings.page_texts.
void ending_note_drawn(SystemEndings& endings, Drosa head, Drosa before);

// draw_system_endings: every segment of the system's endings. An ending's line begins just after
// the bar line before its first note (after the signs at the system's start) and ends just before
// the bar line after its last (the staff's end where it goes on), with a hook down at its start
// and, when it stops, at its end; its number stands inside its start. The endings of a staff
// share one height: three spaces over its top line, higher where anything drawn under them
// (notes, slurs, other marks) reaches up, but words, tempo and rehearsal marks, which move up
// beyond them. Mid-line marks are taken out once drawn.
// Reads:  the GE list, marks_drawn, staff_data, the bar lines' drawn x. Writes: the GE list,
//         the segments' and numbers' PDATA, the segments' clip boxes (xc1x, xc2x), marks_drawn.
void draw_system_endings(SystemEndings& endings);
