// format.h: the page formatter: formatting one page or every page, and the poll through
// which a format gives way to the user.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// ---- Systems spaced with their least gaps -----------------------------------------------------

// respace_systems_in_place: whether a system that is spaced again with its least gaps goes on
// from the records its passes made before its spacing, rather than the page being formatted
// again to make them anew (on unless turned off; the page is the same either way);
// systems_respaced_in_place: how many systems were so since the switch was last set.
void respace_systems_in_place(bool on);
int systems_respaced_in_place();

// pages_drawn_again_for_ink: how many pages were drawn again from what their systems' passes
// left, their staves standing apart for their ink, rather than formatted again.
int pages_drawn_again_for_ink();

// ---- Interrupting a format -------------------------------------------------------------------

int format_interrupts_disabled();
