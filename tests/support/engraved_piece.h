// engraved_piece.h: a piece with every kind of music the page drawing does, built in code
// for the printing tests and benchmark: staves of quarters, slurred and beamed eighths and
// three-note chords, staves of tied half notes over quarters, rests and triplets, with key
// changes, time-signature restatements and systems and pages broken at fixed bars.
#pragma once

// Adds one bar of music of `kind` to voice `v` (its bar line not included): 0 quarters,
// slurred eighths and a chord; 1 two half notes, the second tied on; 2 quarters, a rest and a
// triplet. `bar` varies the first quarter of kind 0.
void add_engraved_bar(int v, int kind, int bar);

// Builds the piece in the current node store (the parameter table must be built): `staves`
// staves (the first half one voice each in the treble clef, the second half two in the bass
// clef), a key of two sharps, `bars` bars of 4/4,
// `bars_per_system` bars a system and `systems_per_page` systems a page; the Score's page is
// 8.5 by 11 inches. Counts the pages. Returns the number of voices.
int build_engraved_piece(int staves, int bars, int bars_per_system, int systems_per_page);
