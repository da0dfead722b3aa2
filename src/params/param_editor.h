// param_editor.h: the parameter editor's lists of headings and parameters.
#pragma once

#include <cstdint>

struct Cell {
  int16_t v = 0;  // row
  int16_t h = 0;  // column
};

// With h = -1 rebuilds the heading rows and returns their count; else the position in the
// display order where heading h begins.
int find_parameter_heading(int h);

// With row = -1 builds the parameter rows of the heading at position *io, returns their
// count and leaves in *io where the next heading starts; with row >= 0 and io null returns
// the row's parameter number; with io given stores the row's changed flag in *io and returns
// the row's position.
int find_parameter_edit(int row, int* io);

// The text of heading row h and of parameter row r of the current heading.
const char* parameter_heading_text(int h);
const char* parameter_row_text(int r);
