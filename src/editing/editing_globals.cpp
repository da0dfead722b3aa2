// editing_globals.cpp: definitions of the editing subsystem's program-wide state.
#include "editing/editing_globals.h"

int16_t clipboard_kind = 0;
Drosa clipboard_list;

void reset_editing_globals() {
  clipboard_kind = 0;
  clipboard_list = NIL;
}
