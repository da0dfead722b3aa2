// plot_page.h: the drawing pass of a formatted system: staff lines, brackets and braces, the
// system's left bar line and separator, then the chords column by column with the signs before
// them, and the rests that fill whole measures.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

// draw_system_brackets: the part of the square bracket that belongs to one staff: a top hook
// where a bracket starts, its vertical line, a join to the staff below while it goes on, a
// bottom hook where it ends.
// Reads and writes: bracket_state. Writes: the GE list.
void draw_system_brackets(int pstaff);

// brace_last_pstaff: the last staff of the brace drawn from pstaff on the page drawn last (its
// pieces stand with pstaff); -1 when none was drawn from there.
int brace_last_pstaff(int pstaff);
// draw_brace_again: the pieces of the brace drawn from pstaff (see brace_last_pstaff), drawn at
// the list's tail again for where its staves stand now, for the note they were drawn for.
// Reads: current_page, staff_data, parameters 280, 397-402, 707-712. Writes: the GE list.
void draw_brace_again(int pstaff);

// place_rests_in_group: places and draws the whole-measure (or multi-measure) rest waiting in
// the layer, centred between the x where its measure begins and x_end, with the number of
// measures above a multi-measure rest; rests of two voices are spread apart, and a rest beside
// other voices' chords of its layer in its measure keeps its height. Clears the wait.
// Reads:  staff_data rest_group, rest_group_x, middle line, size, lines, type; the chord's
//         records and the next chord's (a new measure or not); parameters 188, 189, 190, 201,
//         247, 595-605.
// Writes: the rests' NTDATA xhdx, xhdy; the chord's CDDATA origin and extents; the GE list.
void place_rests_in_group(int32_t x_end, int pstaff, int layer);

// voice_scan_helper: the node of `kind` that ends the system in the first shown voice (in
// voice order) printed on pstaff and layer: the one nearest the voice's last note among the
// nodes after it; NIL when there is none.
// Reads: voice_data (PRINT, system end), the current notation context.
Drosa voice_scan_helper(int kind, int pstaff, int layer);

// The voices voice_scan_helper looks through for each layer of the system's staves, found in
// one walk of the voices: voices[p][layer] has bit v for voice v, for p of the system.
void system_layer_voices(uint64_t (*voices)[LAYERS]);

// voice_scan_helper among a layer's voices as system_layer_voices gives them.
Drosa voice_scan_helper_among(int kind, uint64_t voices);

// The layer's last note in the system; NIL for an empty layer.
Drosa layer_last_note(int pstaff, int layer);
