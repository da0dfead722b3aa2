// layout_globals.cpp: definitions of the layout engine's program-wide state.
#include "layout/layout_globals.h"

int reformat_pending = 0;

void reset_layout_globals() { reformat_pending = 0; }
