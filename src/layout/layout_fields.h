// layout_fields.h: the payload fields of the layout records NTDATA, CDDATA, CDDATA2, CDDATA3
// and PDATA (descriptors as in model/node_fields.h).
//
// Coordinates are layout units (tenths of a point, y upward); 0x80000000 in a screen
// coordinate means "not drawn"; chord extents start at -2100000000 (highest values) and
// 2100000000 (lowest values).
#pragma once

#include "layout/layout_services.h"
#include "model/model_services.h"

inline constexpr auto xtieup = bit_field("xtieup", NTDATA, 11, 0, 0);  // the tie goes above
inline constexpr auto xcdclef =
    word_field<uint8_t>("xcdclef", CDDATA, 43);  // clef type of the chord
