// fret_grid.h: a guitar chord diagram typed as a text of the second music font (the fret grid
// the Text Assistant composes), read and drawn as a diagram of six strings and five frets.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/model_services.h"

// What a fret grid text shows. Strings are counted from the lowest (the left one).
struct FretGrid {
  bool nut = false;    // the top line is the nut (the diagram starts at the first fret)
  int8_t dot[6] = {};  // -1 none, -2 muted (x), 0 open, 1..5 the fret held
  int8_t bar[6] = {};  // 0 none, 1..5 a barre at that fret from this string to the next
};

// ---- Reading ----------------------------------------------------------------------------------

// fret_grid_of: whether a run's text in font code `font` (-2 the second music font) is a fret
// grid: the nut's letter ('a' with the nut, 'A' without), then for each string from the lowest
// its dot ('`' none, '9' muted, '0' open, '1'..'5' a fret) and its barre ('`' none, '!', '@',
// '#', '$', '%' frets 1 to 5); strings left out show nothing. *grid gets what it shows.
bool fret_grid_of(int font, std::string_view text, FretGrid* grid);

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
