// printbeam.h: drawing one beam group of one printed staff: its chords, stems, the main beam,
// the secondary and partial beams and tremolo beams, with the beam's slope and height.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// ---- Beams that go on from one system to the next -------------------------------------------

inline constexpr auto xsys_beamdown = bit_field("xsys_beamdown", ENDSYST, 29, 6, 6);

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

// beam_y: the y of the main beam of beam_record at x, intercept + trunc(slope x), held to 32
// bits (a slope from damaged parameters gives 0 or the nearest end of the range).
int32_t beam_y(int64_t x);

// ---- Drawing a group ------------------------------------------------------------------------

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
