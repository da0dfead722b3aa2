// node_kinds.h: the 51 node kinds, their names and layout strings, and the effective kind
// of a node as the current notation context sees it.
#pragma once

#include <cstdint>

#include "model/drosa.h"
#include "model/model_services.h"

inline constexpr int FIRST_KIND = NEST;
inline constexpr int LAST_KIND = PVIEW;
inline constexpr int KIND_COUNT = LAST_KIND - FIRST_KIND + 1;  // 51

// Indexed by kind - FIRST_KIND.
extern const char* const node_kind_names[KIND_COUNT];
extern const char* const node_layout_strings[KIND_COUNT];

inline bool is_node_kind(int kind) { return kind >= FIRST_KIND && kind <= LAST_KIND; }

// Layout string of a kind ("" for kinds that exist only at run time, and outside 76..126).
const char* layout_string(int kind);
