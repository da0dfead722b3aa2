// printcd.h: drawing one staff chord: heads, accidentals, dots, ledger lines, stem and flag.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// printcd: draws the staff chord from first to last (print-chain order) on its pstaff; a
// chord that belongs to a beam goes to printbeam. Returns what the chord drawer reports to the
// beam code.
int32_t printcd(Drosa first, Drosa last, int staff, int flag);
