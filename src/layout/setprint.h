// setprint.h: the print chains of a system's staves and their layers.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// ---- Chain heads ----------------------------------------------------------------------------

// A chain head is a dummy NOTE followed by its NTDATA, linked into no voice list.
inline constexpr int CHAIN_HEAD_VOICE = 54;  // the voice number a head carries
// Empties a head: xendscd and xendbeam set, no chain links.
void reset_chain_head(Drosa head);
// The first note of a pstaff's layer chain; NIL when the chain is empty or has no head.
Drosa first_in_chain(int pstaff, int layer);

// ---- Building the chains ------------------------------------------------------------------

// For sorting: -1 when a is more than 50 units shorter than b, 1 when more than 50 longer,
// else 0.
int compare_note_durations(Drosa a, Drosa b);
