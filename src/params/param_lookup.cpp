// param_lookup.cpp: parameter values at a node.
//
// The parameter table is not built yet: no parameter has been changed, and a float
// parameter takes its neutral value 1.0.
#include "params/param_lookup.h"

int param_changed(int /*pindex*/) { return 0; }

double param_float_value(int /*pindex*/, Drosa /*node*/) { return 1.0; }
