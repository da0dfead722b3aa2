// percussion_staff.h: where the display-step and display-octave of a MusicXML document put a
// note on a staff with the percussion clef, in the program's staff positions (the import's and
// the export's own files).
#pragma once

// True for the program's percussion clefs: single bar (7), dual bar (8) and cymbal (9).
bool is_percussion_clef(int clef);

// percussion_display_shift: what to add to a document's display position (7 x (octave + 1) +
// step) to give the program's position of a note on a staff of `lines` lines with the
// percussion clef `clef`; the export subtracts it. A document places such notes as the treble
// clef would, the staff's lines counted from its lowest, which stands at E4 whatever their
// number (the one line of a one-line staff is E4); the program centres a staff of fewer lines
// on the middle line of its clef.
// Reads: the clef's parameter of the middle line, as it stands for no particular node.
int percussion_display_shift(int clef, int lines);
