// change_flags.h: saying that the piece changed, and which views must be reformatted.
#pragma once

#include "model/model_services.h"

void clear_view_changes();
// Passes the flags on to the other open views of the same piece: a change of another context
// (or of every context) marks them all for reformatting, a change of the current context those
// that show it. Views of other pieces are never marked.
void propagate_view_changes();
