// marks_apart.h: the marks of a system's chords (words, tempo and rehearsal marks, against
// them dynamics, pedal marks, syllables, hairpins, octave lines and note heads) kept from standing
// on one another.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// A mark drawn on the system: its elements in the GE list, its PDATA and their ink.
struct DrawnMark {
  Drosa first = NIL, last = NIL;  // its elements, in list order
  Drosa pdata = NIL;              // NIL for a line
  GEInkBox box;
  int pstaff = 0;
  bool above = true;       // above its staff's middle line
  bool movable = true;     // words, tempo and rehearsal marks; the others stay
  bool head = false;       // a note head of the system: in the way on either side
  bool hairpin = false;    // a hairpin: its legs are the lines among its elements
  bool stem = false;       // a beam or a stem: in the way of the signs only, on either side
  bool sign = false;       // an ornament, a bowing, a breath mark or a pause, over its note
  bool note_part = false;  // a ledger line, flag, accidental, tuplet number or mark of
                           // articulation: in the way of the dynamics and words of its staff
  // A staccato, tenuto, accent or fermata of a note: not minded where a moved mark lands.
  bool articulation = false;
  bool curve = false;      // a stretch of a tie or slur
  bool dynamic = false;    // a dynamic: moved off the notes of its staff, never onto others
  Drosa note = NIL;        // the note it was drawn for
  Drosa line_pdata = NIL;  // a line's PDATA
  int32_t moved = 0;       // how far a dynamic, hairpin or words moved from where drawn
};

// begin_marks_apart: a new system, its music drawn: no mark drawn yet, its note heads in the
// way of the marks to come, its beams and stems in the way of the signs (a trill under the beam
// of the other voice of its staff).
// Reads: the GE list from system_drawn_after on, first_pstaff, last_pstaff. Writes: marks_drawn.
void begin_marks_apart();

// keep_mark_apart: the annotation `head` before `note` has just been drawn (the elements after
// `before`, GE_tail's value before it was drawn). Words, a tempo or rehearsal mark, an ornament,
// a bowing, a breath mark or a pause that stand on
// a mark drawn before them on the system (of their staff and side), on the notes of their
// staff, or a dynamic drawn now that stands on them, move away from the staff beyond it, with
// their page rectangle. A dynamic on the notes of its staff (heads, stems, beams, ledger lines,
// flags, accidentals, tuplet numbers, marks of articulation, ties and slurs) moves just clear of
// them, and beyond a dynamic drawn before it at its note (a p under an fp), up or down as it
// stands, and a hairpin going on from it in line moves with it; a dynamic between the staves on
// a tie or slur of the staff beyond moves towards its own staff, clear of it, when that lands it
// on nothing new; a dynamic at the end of a hairpin keeps in line with it. No mark moves onto the
// notes or marks of another staff (their marks of articulation aside), into a staff, or onto a mark
// it did not stand on: then it moves the other way, or stays where it was; but moved away from its
// staff it may come onto the next staff of its system, which then stands apart for it. A pedal
// mark, a syllable or a line stays where it is. Reads and writes: marks_drawn, the GE list after
// `before`.
void keep_mark_apart(Drosa head, Drosa note, Drosa before);

// add_curve_marks: the ties and slurs the slur pass drew on the system, as marks that stay:
// words drawn later that would stand on one move beyond it. A tuplet number drawn without a
// bracket that a tie's or slur's line runs through (one it only touches stays) moves in under
// the curve when it touches nothing there and reaches no further into a staff, else beyond it
// as words do.
// Reads: slur_pass_first .. slur_pass_last, staff_data. Writes: marks_drawn, the numbers' GE.
void add_curve_marks();

// hairpins_drawn, texts_drawn: where in marks_drawn the hairpins, and the marks with a PDATA
// (words and dynamics), of the system stand, in the order drawn.
// Reads: marks_drawn.
const std::vector<uint32_t>& hairpins_drawn();
const std::vector<uint32_t>& texts_drawn();

// forget_marks_drawn: no mark drawn (a new document).
// Writes: marks_drawn.
void forget_marks_drawn();
