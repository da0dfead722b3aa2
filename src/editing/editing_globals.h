// editing_globals.h: the program-wide state of the selection and editing commands.
#pragma once

#include <cstdint>

#include "model/drosa.h"

extern int16_t
    clipboard_kind;  // what the internal clipboard holds: 0 nothing, 1 annotations, 2 music
extern Drosa clipboard_list;  // the internal clipboard's nodes, NIL when empty

void reset_editing_globals();
