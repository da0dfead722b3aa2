// flash.cpp: flashing the insertion point's note.
//
// Notes are not drawn yet, so flashing only keeps track of the node.
#include "graphics/flash.h"

#include "model/voice_lists.h"

Drosa flashing_node;

void start_flashing(Drosa node) { flashing_node = is_plotted_note(node) ? node : NIL; }

void stop_flashing(Drosa /*node*/) { flashing_node = NIL; }
