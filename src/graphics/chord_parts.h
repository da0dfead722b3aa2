// chord_parts.h: the parts of a chord drawn note by note, for single chords and beamed ones
// alike: heads and rest glyphs, ledger lines, accidentals, augmentation dots, the parentheses
// beside a head, and tablature fret numbers; with the x positions that ties, slurs and the
// justification read back.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

// The notes first..last along the print chain, never past the end of the staff chord.
template <typename F>
void for_chord_notes(Drosa first, Drosa last, F f) {
  for (Drosa n = first; note_ntdata(n); n = note_ntdata(n)->get(xpnext)) {
    f(n);
    if (n == last || note_ntdata(n)->get(xendscd)) break;
  }
}

// ---- Heads, ledger lines, accidentals -------------------------------------------------------

// draw_notehead_char: the head or rest glyph at xhdx, xhdy (var 46, var 45 on a tablature
// staff); nothing for a hidden rest, an unprinted note, head shape 7 or a staff of kind 2. A
// rest whose screen glyph differs, and a whole rest (but with the second glyph set), get a
// screen twin first.
void draw_notehead_char(Drosa note, int staff);

// draw_ledger_lines: the ledger lines of a head above or below the staff (var 24), or on a
// piano-tablature staff the black-key lines between the staff and the note (var 25); none for
// an unprinted note.
void draw_ledger_lines(Drosa note, int staff);

// drawacc: the accidental before a head (var 48), or the entries of a special-accidental node
// attached before the note, left to right.
// Failure: level 2 "No character for accidental number %hd; accidental omitted." for xacc
// above 5; level 4 "drawacc finds xnumspacc(%lx) out of range: %hd" (nothing drawn).
void drawacc(Drosa note, int staff);

// ---- Dots -----------------------------------------------------------------------------------

// draw_dots: the augmentation dots of a note or rest (var 47), kept clear of the other notes of
// its chord; none for a hidden rest or an unprinted note.
void draw_dots(Drosa note, int staff);
// dot_x_offset: the x of the note's own dots: after a rest's glyph, or after its head (after
// the stem side's head in a chord with a displaced head).
int32_t dot_x_offset(Drosa note);

// ---- Marks beside the head --------------------------------------------------------------------

// draw_note_marks: the parentheses around a head (var 72) for a note with xparen.
void draw_note_marks(Drosa note, int staff);

// ---- Tablature ------------------------------------------------------------------------------

// tab_fret_width: the x adjustment of a fret number from the head x (parameters 557, 559 by a
// stem going up; 609, 610 otherwise; by one or two digits).
int32_t tab_fret_width(Drosa note);
// draw_tab_chord: a tablature note's fret number (var 7) on the staff erased behind it
// (var 69), and the piano-roll line of a head of shape 7 (var 23).
void draw_tab_chord(Drosa note, int staff);

// ---- For the slur pass ------------------------------------------------------------------------

// slur_chain_test: 1 when a bent tie or bent slur reaches the note's bar through tied chords.
int slur_chain_test(Drosa note);
