// layout_globals.h: the program-wide state of the page layout engine.
#pragma once

extern int reformat_pending;  // set while the current page is out of date and being formatted

void reset_layout_globals();
