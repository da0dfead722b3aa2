// xmlt_fields.h: the payload of the XMLT node, which the MusicXML import puts before every
// note, rest and measure-end bar while it reads a document: when it starts and how far the
// part's time moves after it. Run time only; descriptors as in model/node_fields.h.
//
// While the document is read, both starts count from the start of the measure; once every
// part is read, xnwholec is made the time from the piece's start, each measure starting where
// the longest part's measure before it ended.
#pragma once

#include "model/model_services.h"

// clang-format off
inline constexpr auto xnwholec = word_field<int32_t>("xnwholec", XMLT, 10);  // start, 65536 a whole note
inline constexpr auto xxmltime = word_field<int32_t>("xxmltime", XMLT, 14);  // start, in divisions
inline constexpr auto xxmlincr = word_field<int32_t>("xxmlincr", XMLT, 18);  // duration, in divisions
inline constexpr auto xxmlmeasure = word_field<uint8_t>("xxmlmeasure", XMLT, 22);  // 1: ends a measure
// clang-format on
