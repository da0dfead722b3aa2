// format.h: the page formatter: formatting one page or every page, and the poll through
// which a format gives way to the user.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// ---- Interrupting a format -------------------------------------------------------------------

int format_interrupts_disabled();
