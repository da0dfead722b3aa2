// fret_grid.h: a guitar chord diagram typed as a text of the second music font (the fret grid
// the Text Assistant composes), read and drawn as a diagram of six strings and five frets.
// FretGrid and fret_grid_of, which the export reads too, are in anno_services.h.
#pragma once

#include <cstdint>

#include "annotations/anno_services.h"
#include "model/model_services.h"

// ---- Measuring and drawing ----------------------------------------------------------------

// fret_grid_width: the width in page units that a fret grid takes at a size in points (its
// strings and the room around them, as a character of the font would take).
int32_t fret_grid_width(int size);

// draw_fret_grid: the graphics elements of a fret grid at a size in points whose left end is
// at x on the text's base line y (page units, y upward): strings, frets, the nut, the dots,
// open and muted marks above the nut, barres. The grid's first fret row stands at the height
// of the superscript fret number ("\g") that may follow it.
// Reads: the annotation's draw mode and colour. Writes: the GE list.
void draw_fret_grid(const FretGrid& grid, Drosa tparam, Drosa note, int pstaff, int32_t x,
                    int32_t y, int size, int where);
