// specplot.h: the signs of a system that are neither chords nor beams: clefs, key and time
// signatures, bar lines with their repeat dots, wings and joins, the bar number at the start
// of a system and the title line of a page.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// paper_edges: how near the foot and the top of the context's page the program places ink
// (layout units, y upward): a quarter inch of the paper, at the print scale, from the sheet's
// foot and top. Reads: options_struct (page size), print_record (scale).
struct PaperEdges {
  int32_t foot = 0, top = 0;
};
PaperEdges paper_edges(int context);
// lowest_music_y: how low the music of the current context's page may reach: above the page's
// line (its number) where one is drawn, which stands clear of the paper's foot; else a quarter
// inch of the paper above its foot. Reads: as paper_edges, the parameters, the options, the page
// formatted (current_page, page_count, printed_page_number).
int32_t lowest_music_y();

// Modes of specplot: the system's first column, a later column, after the last column.
inline constexpr int SPECPLOT_SYSTEM_START = 16;
inline constexpr int SPECPLOT_COLUMN = 17;
inline constexpr int SPECPLOT_SYSTEM_END = 18;

// specplot: draws the signs attached before the chords due at `time` (modes 16 and 17) or
// after each layer's last note (mode 18), kind by kind: at the system's start space, bars,
// time signatures, key signatures, clefs; later space, time signatures, key signatures, bars,
// clefs. any_grace says a chord of the column is a grace chord, any_after that one is a grace
// after its note; prev_grace that the column before was of grace chords. A bar line closes the
// whole-measure rests waiting on its staff. A voice whose chord goes to another staff after a
// bar line (or whose last chord does), or that plays a whole measure on another staff, keeps
// that bar line on its own staff too, when nothing else there carries one. At mode 16 it also draws
// the bar number and, on the page's first system, the title line, and counts the system's bars.
// Reads:  staff_data (cur_note, next_time, layers_with_notes, the staff geometry), the signs'
//         nodes and their x, the PRINTs between a bar line and its chord, each voice's first
//         PRINT (piece_start), voice_data (system end), the parameters, options_struct (words 8,
//         38, 68), prefs (colour by pitch name, simplified notation), piece_fsspec, DrosaDirty,
//         page_count, ncontext_count.
// Writes: the GE list, staff_data rest_group_x and signs_end_x, specplot_last_seen,
//         current_bar_number.
// Failure: level 4 "fgrace logic error in specplot step 1" when a grace chord is due in a
//          column said to have none (its signs are left out).
void specplot(int32_t time, int mode, int any_grace, int any_after, int prev_grace);

// draw_keysig_glyphs: the accidentals of a key signature from x on, placed for the clef in
// force at owner; returns the x after the last one.
// Reads: the KEYSIG, the owner's clef, parameters 26-28, 73, 123, 745, 749, 750, prefs.
// Writes: the GE list.
int32_t draw_keysig_glyphs(int pstaff, Drosa keysig, Drosa owner, int32_t x);
