// node_fields.h: the named payload fields of the node kinds the piece model owns, and the
// accessors that read and write them.
//
// A field is described once, by its node byte, its width and its bit position; its
// descriptor is also its identity (commands that name a field pass the descriptor). Words
// are big-endian; bits are numbered 7 (most significant) to 0 within a byte. Setting a field
// changes only its own bits: every other bit of the payload, named or not, is carried.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "model/drosa.h"
#include "model/model_services.h"
#include "model/node_kinds.h"

// ---- Access ---------------------------------------------------------------------------

inline constexpr auto xnumbering = word_field<uint8_t>("xnumbering", BAR, 14);  // numbering flags

// ---- COLOR ----------------------------------------------------------------------------
inline constexpr auto xred = word_field<int16_t>("xred", COLOR, 10);
inline constexpr auto xgreen = word_field<int16_t>("xgreen", COLOR, 12);
inline constexpr auto xblue = word_field<int16_t>("xblue", COLOR, 14);
inline constexpr auto xtempo_lgval =
    word_field<int16_t>("xtempo_lgval", TEMPO, 10);  // note value (obsolete)
inline constexpr auto xtempo_bpm =
    word_field<int16_t>("xtempo_bpm", TEMPO, 12);  // beats per minute (obsolete)

// ---- NTVIEW, PVIEW: a parked view's layout records --------------------------------------
// An NTVIEW stands after a NOTE in place of its NTDATA: the view's slot, then the NTDATA's
// node bytes 10..57 (its links cleared), then the screen x of the BAR that starts the note's
// measure. A PVIEW stands before an annotation: the slot, then the PDATA's node bytes 10..61.
inline constexpr int VIEW_COPY_AT = 12;       // node byte where either copy begins
inline constexpr int NTVIEW_COPY_BYTES = 48;  // of the NTDATA
inline constexpr int PVIEW_COPY_BYTES = 52;   // of the PDATA
inline constexpr auto xntview = word_field<int16_t>("xntview", NTVIEW, 10);  // the view's slot
inline constexpr auto xvhdx = word_field<int32_t>("xvhdx", NTVIEW, 34);  // the head on the screen
inline constexpr auto xvhdy = word_field<int32_t>("xvhdy", NTVIEW, 38);
inline constexpr auto xvrestchar =
    bit_field("xvrestchar", NTVIEW, 31, 5, 4);                             // the screen rest glyph
inline constexpr auto xvbarx = word_field<int32_t>("xvbarx", NTVIEW, 60);  // 0x80000000 none
inline constexpr auto xpview = word_field<int16_t>("xpview", PVIEW, 10);   // the view's slot
inline constexpr auto xvx1 = word_field<int32_t>("xvx1", PVIEW, 30);       // the screen rectangle
inline constexpr auto xvy1 = word_field<int32_t>("xvy1", PVIEW, 34);
inline constexpr auto xvx2 = word_field<int32_t>("xvx2", PVIEW, 38);
inline constexpr auto xvy2 = word_field<int32_t>("xvy2", PVIEW, 42);
inline constexpr auto xvanno_selected = bit_field("xvanno_selected", PVIEW, 48, 7, 7);
// clang-format on

// Every scalar field above, for checks and for finding a field by its name.
extern const NodeField* const model_node_fields[];
extern const int model_node_field_count;
