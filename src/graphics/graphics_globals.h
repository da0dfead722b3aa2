// graphics_globals.h: the program-wide state of the graphics-element list.
#pragma once

#include "model/model_services.h"

extern Drosa GE_head;         // head node of the current view's graphics-element list
extern Drosa old_GE_head;     // the previous list, kept until a new format completes
extern Drosa GE_tail;         // last element of the current list
extern int GE_list_complete;  // non-zero when the current list holds a whole formatted page

extern float zoom_factor;    // screen scale divisor of the music window; 10.0 at the standard zoom
extern Drosa flashing_node;  // the note being flashed; NIL none

extern int8_t current_color_index;  // colour index the colour dialog chose last (0..15)

void reset_graphics_globals();
