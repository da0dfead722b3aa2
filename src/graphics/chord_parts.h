// chord_parts.h: the parts of a chord drawn note by note, for single chords and beamed ones
// alike: heads and rest glyphs, ledger lines, accidentals, augmentation dots, the parentheses
// beside a head, and tablature fret numbers; with the x positions that ties, slurs and the
// justification read back.
#pragma once

#include <cstdint>

#include "graphics/graphics_globals.h"
#include "model/model_services.h"

// ---- Heads, ledger lines, accidentals -------------------------------------------------------
// draw_notehead_char: the head or rest glyph at xhdx, xhdy (var 46, var 45 on a tablature
// staff); nothing for a hidden rest, head shape 7 or a staff of kind 2. A rest whose screen
// glyph differs, and a whole rest (but with the second glyph set), get a screen twin first.
void draw_notehead_char(Drosa note, int staff);

// screen_head_glyph: the character parameter of the head or rest glyph the screen shows for a
// drawn note, with where it stands (*x, *y, page units, before the glyph's own offsets); 0 when
// the screen shows none (a hidden rest, head shape 7, a staff without heads).
// Reads: the note's NTDATA (xscrhdx, xscrhdy), prefs.use_sonata_font(), view_transform.
int screen_head_glyph(Drosa note, int32_t* x, int32_t* y);

// draw_ledger_lines: the ledger lines of a head above or below the staff (var 24), or on a
// piano-tablature staff the black-key lines between the staff and the note (var 25).
void draw_ledger_lines(Drosa note, int staff);

// drawacc: the accidental before a head (var 48), or the entries of a special-accidental node
// attached before the note, left to right.
// Failure: level 2 "No character for accidental number %hd; accidental omitted." for xacc
// above 5; level 4 "drawacc finds xnumspacc(%lx) out of range: %hd" (nothing drawn).
void drawacc(Drosa note, int staff);

// ---- Dots -----------------------------------------------------------------------------------
// draw_dots: the augmentation dots of a note or rest (var 47), kept clear of the other notes of
// its chord.
void draw_dots(Drosa note, int staff);
// dot_x_offset: the x of the note's own dots: after a rest's glyph, or after its head (after
// the stem side's head in a chord with a displaced head).
int32_t dot_x_offset(Drosa note);
// dot_positions: the x at which the note's dots are drawn; the dots of a chord whose two stem
// groups stand apart align on the further one.
int32_t dot_positions(Drosa note);

// ---- Marks beside the head --------------------------------------------------------------------
// draw_note_marks: the parentheses around a head (var 72) for a note with xparen.
void draw_note_marks(Drosa note, int staff);
// The x of the left parenthesis (one parenthesis width before the accidental or head) and of
// the right one: the right edge of the note as drawn (after its dots, fret number or head).
int32_t paren_left_x(Drosa note);
int32_t paren_right_x(Drosa note);

// ---- Tablature ------------------------------------------------------------------------------
// check_tab_string: the fret of the note on a guitar string 1..7 (open pitches: parameters
// 543..549 at the note); negative when the string cannot play it.
// Failure: level 4 "String number out of range for tablature: note %lx string %hd"; 0.
int32_t check_tab_string(Drosa note, int string);
// tab_fret_width: the x adjustment of a fret number from the head x (parameters 557, 559 by a
// stem going up; 609, 610 otherwise; by one or two digits).
int32_t tab_fret_width(Drosa note);
// draw_tab_fret: measures the note's fret number as draw_tab_chord draws it; returns the fret,
// with its box and its x. Draws nothing.
int32_t draw_tab_fret(Drosa note, VirtualRect* box, int32_t* x);
// draw_tab_chord: a tablature note's fret number (var 7) on the staff erased behind it
// (var 69), and the piano-roll line of a head of shape 7 (var 23).
void draw_tab_chord(Drosa note, int staff);

// ---- For the slur pass ------------------------------------------------------------------------
// slur_chain_test: 1 when a bent tie or bent slur reaches the note's bar through tied chords.
int slur_chain_test(Drosa note);
