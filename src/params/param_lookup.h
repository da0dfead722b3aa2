// param_lookup.h: engraving parameter values in force at a node of the piece, the PARAM
// nodes that change them, and the staff sizes with which a looked-up length is scaled.
#pragma once

#include <cstdint>
#include <cstring>

#include "model/model_services.h"
#include "params/param_services.h"
#include "params/param_table.h"

struct StaffData;

inline const ParamValue* xparam_value_ptr(Drosa node) {
  return reinterpret_cast<const ParamValue*>(node->bytes() + XPARAM_VALUE_OFFSET);
}

// ---- Changing -----------------------------------------------------------------------------

// True when the two values are equal in every byte but byte 5 (a character's code).
bool same_param_value(ParamValue a, ParamValue b);
