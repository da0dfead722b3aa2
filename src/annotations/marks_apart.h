// marks_apart.h: the marks of a system's chords (words, tempo and rehearsal marks, against
// them dynamics, pedal marks, syllables, hairpins, octave lines and note heads) kept from standing
// on one another.
#pragma once

#include "graphics/ge_services.h"
#include "model/model_services.h"

// A mark drawn on the system: its elements in the GE list, its PDATA and their ink.
struct DrawnMark {
  Drosa first = NIL, last = NIL;  // its elements, in list order
  Drosa pdata = NIL;              // NIL for a line
  GEInkBox box;
  int pstaff = 0;
  bool above = true;     // above its staff's middle line
  bool movable = true;   // words, tempo and rehearsal marks; the others stay
  bool head = false;     // a note head of the system: in the way on either side
  bool hairpin = false;  // a hairpin: its legs are the lines among its elements
  bool stem = false;     // a beam or a stem: in the way of the signs only, on either side
  bool sign = false;     // an ornament, a bowing, a breath mark or a pause, over its note
};

// begin_marks_apart: a new system, its music drawn: no mark drawn yet, its note heads in the
// way of the marks to come, its beams and stems in the way of the signs (a trill under the beam
// of the other voice of its staff).
// Reads: the GE list, first_pstaff, last_pstaff. Writes: marks_drawn.
void begin_marks_apart();

// keep_mark_apart: the annotation `head` before `note` has just been drawn (the elements after
// `before`, GE_tail's value before it was drawn). Words, a tempo or rehearsal mark, an ornament,
// a bowing, a breath mark or a pause that stand on
// a mark drawn before them on the system (of their staff and side), or a dynamic drawn now that
// stands on them, move away from the staff beyond it, with their page rectangle; a dynamic,
// a pedal mark, a syllable or a line stays where it is.
// Reads and writes: marks_drawn, the GE list after `before`.
void keep_mark_apart(Drosa head, Drosa note, Drosa before);

// add_curve_marks: the ties and slurs the slur pass drew on the system, as marks that stay:
// words drawn later that would stand on one move beyond it.
// Reads: slur_pass_first .. slur_pass_last, staff_data. Writes: marks_drawn.
void add_curve_marks();
