// graphics_globals.cpp: definitions of the graphics subsystem's program-wide state.
#include "graphics/graphics_globals.h"

Drosa GE_head;
Drosa old_GE_head;
Drosa GE_tail;
int GE_list_complete = 0;
float zoom_factor = 10.0f;
Drosa flashing_node;
int8_t current_color_index = 0;

void reset_graphics_globals() {
  GE_head = old_GE_head = GE_tail = NIL;
  GE_list_complete = 0;
  zoom_factor = 10.0f;
  flashing_node = NIL;
  current_color_index = 0;
}
