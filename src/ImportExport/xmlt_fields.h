// xmlt_fields.h: the payload of the XMLT node, which the MusicXML import puts before every
// note, rest and measure-end bar while it reads a document: when it starts and how far the
// part's time moves after it. Run time only; descriptors as in model/node_fields.h.
//
// While the document is read, both starts count from the start of the measure; once every
// part is read, xnwholec is made the time from the piece's start, each measure starting where
// the longest part's measure before it ended.
#pragma once

#include "ImportExport/musicxml_services.h"
#include "model/model_services.h"

inline constexpr auto xxmlmeasure =
    word_field<uint8_t>("xxmlmeasure", XMLT, 22);  // 1: ends a measure
inline constexpr auto xxmloctaves =
    word_field<int8_t>("xxmloctaves", XMLT, 23);  // written minus sounding octaves
// clang-format on
