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

// clang-format off
inline constexpr auto xxmltime = word_field<int32_t>("xxmltime", XMLT, 14);  // start, in divisions
// clang-format on
inline constexpr auto xxmlmeasure =
    word_field<uint8_t>("xxmlmeasure", XMLT, 22);  // 1: ends a measure
inline constexpr auto xxmloctaves =
    word_field<int8_t>("xxmloctaves", XMLT, 23);  // written minus sounding octaves
// Until the notes get their performance data, which sets it, a note's volume byte holds the
// MIDI key of its instrument plus one (0 none): the key a percussion note sounds, whatever
// its place on the staff.
inline constexpr auto xxmlkey = word_field<uint8_t>("xxmlkey", NOTE, 20);
// clang-format on
