// param_lookup.h: engraving parameter values in force at a node of the piece.
#pragma once

#include "model/drosa.h"

// Non-zero when the parameter has been changed anywhere in the piece.
int param_changed(int pindex);

// The value of a float parameter in force at the node.
double param_float_value(int pindex, Drosa node);
