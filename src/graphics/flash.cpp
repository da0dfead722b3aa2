// flash.cpp: flashing the insertion point's note.
//
// Notes are not drawn yet, so flashing only keeps track of the node.
#include "graphics/flash.h"

#include "graphics/graphics_globals.h"
#include "model/model_services.h"

void start_flashing(Drosa node) { flashing_node = is_plotted_note(node) ? node : NIL; }

void stop_flashing(Drosa /*node*/) { flashing_node = NIL; }
