// printbeam.h: drawing one beam group of one printed staff: its chords, stems, the main beam,
// the secondary and partial beams and tremolo beams, with the beam's slope and height.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- Beams that go on from one system to the next -------------------------------------------
// Set on the ENDSYST that ends a voice's system when a beam of stems up (down) goes on into
// the next system; read at the ENDSYST that starts the next one.
inline constexpr auto xsys_beamup = bit_field("xsys_beamup", ENDSYST, 29, 7, 7);
inline constexpr auto xsys_beamdown = bit_field("xsys_beamdown", ENDSYST, 29, 6, 6);

// stemdir_by_voice_pair: whether the voice's system-start ENDSYST says a beam of stems up (2)
// or down (1) continues into the system; the two marks swap when the voice changed to a
// neighbouring staff at that ENDSYST. 0 for a voice outside 0..63.
// Reads: voice_data[voice].system_start, the PRINTs before and after that ENDSYST.
int stemdir_by_voice_pair(int voice, int direction);

// clear_voice_beam_flags: clears both marks on the ENDSYST that ends the system of every
// voice shown; the drawing of the system sets again those that still hold.
// Reads: voice_data, voice_count. Writes: xsys_beamup, xsys_beamdown of those ENDSYSTs.
void clear_voice_beam_flags();

// beam_group_bounds: whether the group first..last comes from the previous system
// (continued_in) and whether it goes on into the next (continues_out); either makes the beam
// flat. Sets the voice's mark on its system's closing ENDSYST when the beam goes on.
// Reads: the notes' NTDATA, CDDATA2 xswholec, voice_data. Writes: xsys_beamup/down.
void beam_group_bounds(Drosa first, Drosa last, int* continued_in, int* continues_out);

// ---- Values -------------------------------------------------------------------------------
// decode_note_type: the written value and dots of a note; a tremolo note (xtrembeam) stores a
// beamed value and a tuplet ratio, re-expressed here. 1 when it was re-expressed, else 0 (the
// value and dots are the note's own).
int decode_note_type(Drosa note, int* value, int* dots);

// beam_y: the y of the main beam of beam_record at x, intercept + trunc(slope x), held to 32
// bits (a slope from damaged parameters gives 0 or the nearest end of the range).
int32_t beam_y(int64_t x);

// ---- Drawing a group ------------------------------------------------------------------------
// printbeam: draws the beam group first..last (first note of its first chord, last note of its
// last chord) handed over on a printed staff; flag is the layer. A group of one staff chord
// goes to printcd, whose result is returned; otherwise 1.
// Reads:  the notes, their layout records, the engraving parameters at the group's chords, the
//         staff records. Writes: beam_record, the GE list, the chords' CDDATA extents and
//         CDDATA2 beam counts, the voices' continued-beam marks.
// Failure: level 4 "Inconsistency in printbeam: first %lx, last %lx, ptr %lx" for a chord
//          without its layout record or a normal chord in a grace group, "printbeam.c:
//          advance(%lx) returns NIL in advance()!!!" when the beam ends before the last note
//          (the walk stops there), "Inconsistency in leastsq: ptr %lx", "Grace logic error in
//          printbeam", "Only one chord in beam in leastsq()!" (the group is drawn as reached).
int32_t printbeam(Drosa first, Drosa last, int staff, int flag);

// draw_beamed_notes: draws every chord of the group in beam_record (heads, accidentals, marks,
// ledger lines and dots) and gathers the chords and their statistics there.
void draw_beamed_notes();

// beam_slope_limits: the shifts [*lo, *hi] of a beam end at y that keep the staff lines its
// beam lines (largest value code n) come near inside each line's band.
void beam_slope_limits(int32_t y, int n, int direction, int staff, Drosa note, int32_t* lo,
                       int32_t* hi);
// beam_y_positions: snaps the ends of the beam in beam_record against the staff lines.
void beam_y_positions();

// trem_beam_clip_compute: how far a tremolo beam between two pitches stops short of the stem
// of note (written value code `value`) at the start (at_end 0) or the end of the tremolo.
// Failure: level 4 "Confusion in trem_beam_clip_compute!" for a value longer than a whole
// note; 0.
int32_t trem_beam_clip_compute(Drosa note, int value, int32_t position, int at_end);

// The three drawing steps of a group, in this order.
void draw_main_beam();
void draw_beam_lines();
void draw_beamed_stems();
