// anno_fields.h: the payload fields of the annotation nodes TPARAM and LINE that the rest of
// the program reads (descriptors as in model/node_fields.h).
#pragma once

#include "annotations/anno_services.h"
#include "model/model_services.h"

inline constexpr auto xeachsys = bit_field("xeachsys", TPARAM, 24, 0, 0);      // "At Each System"
inline constexpr auto xeverypart = bit_field("xeverypart", TPARAM, 25, 6, 6);  // "In Every Context"
inline constexpr auto xeachpage = bit_field("xeachpage", TPARAM, 25, 3, 3);    // "On Each Page"
inline constexpr auto xline_relx =
    bit_field("xline_relx", LINE, 49, 3, 0);  // pending reference modes
