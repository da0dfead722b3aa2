// musicxml_export_tuplets.h: the tuplets of a measure of one voice as a MusicXML document
// marks them: where each starts and stops, and its own ratio where one lies inside another
// (the export's own files and its tests).
#pragma once

#include <vector>

#include "model/model_services.h"

// A tuplet's start or stop on a chord's first note.
struct ExportTupletMark {
  bool start = false;
  int number = 1;              // 1 an outer tuplet, 2 one inside it
  bool own_ratio = false;      // written as tuplet-actual and tuplet-normal: nested tuplets
  int actual = 1, normal = 1;  // its own ratio, both counts whole
  bool number_shown = true;    // false: written show-number="none"
  int bracket = -1;            // an outermost start's bracket="yes" (1) or "no" (0) as the
                               // piece asks; -1 none asked (the layout decides)
};

// export_tuplet_marks: the tuplet starts and stops of a measure's chords, given by their first
// notes. A note holds the tuplet of its own ratio and, when a NEST stands before it, lies inside
// the NEST's tuplet. A tuplet takes in the chords that follow while they hold its ratio; it ends
// when the time it has taken is a whole multiple of its count times the shortest written
// value in it (the tuplets inside it complete), at a chord of another ratio, or at the measure's
// end. Grace notes take no marks and end no tuplet. An outermost tuplet's bracket is the one
// the tie and slur modifiers before the notes of its chords ask for (shown where one asks).
// Reads: the NOTE fields xtupl, xintimeof, xlgval, xdots, xgrace, xnachschlag, xhidet, xendvcd,
// the NEST and TSMOD (xtupl_bracket) before each note.
// Returns: by chord, its marks: the starts, outermost first, then the stops, innermost first.
std::vector<std::vector<ExportTupletMark>> export_tuplet_marks(const std::vector<Drosa>& firsts);
