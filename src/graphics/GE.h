// GE.h: the graphics-element list of the current view and its constructors.
//
// The drawing passes never draw: they append elements here, at GE_tail. Before the elements of
// a new owner (the node they were drawn for) each constructor appends a NOTEPTR naming it.
// A var argument below 4 is the element's annotation class (GANNO); 4 and up is stored as the
// element's variety code. A colour of -1 asks for the owner's note colour.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/ge_fields.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "model/model_services.h"
#include "platform/port.h"

// ---- Constructors -------------------------------------------------------------------------

// All of them: Reads last_GE_owner, GE_tail, the owner's note colour for colour -1.
// Writes: the list (a NOTEPTR when the owner changes, then the element), GE_tail,
//         last_GE_owner. Failure: level 4 "unrecognized drawmode in GE.c" for a drawmode
//         above 1 (the element is still made with it).

// ---- Reading a list ---------------------------------------------------------------------

// measure_GE_text: the text of the run that holds element, its attribute node, and its width
// (pixels) and font metrics at its font, size and style, measured in the offscreen port.
struct GEMeasuredText {
  std::string text;
  Drosa attributes;
  double width = 0;
  FontMetrics metrics;
};
GEMeasuredText measure_GE_text(Drosa element);

// GE_string_width: the width in pixels at its point size of the run that holds element (a
// lone GE_CHAR's character), in the element's font, size and style.
// Reads: offscreen_port(); the current port and its text state are kept.
int32_t GE_string_width(Drosa element);

// ---- Changing a list --------------------------------------------------------------------

// GEyrelocate: moves the elements of printed staff pstaff down by dy, and those lying
// between it and a neighbour by half of dy (truncated toward zero), by each one's yreloc.
// Reads and writes: the current list. Failure: level 4 "GEyrelocate.c: Unrecognized
// graphics-Graphics Object kind %hd" for a node of another kind; the walk goes on.
void GEyrelocate(int pstaff, int32_t dy);
