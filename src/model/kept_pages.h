// kept_pages.h: node lists kept by page number, so that a page formatted and not changed since
// is not formatted again. The lists hold for the state they were made in: a change of the piece
// (every change marker counts as one) or of the caller's key (the bytes of what else the pages
// depend on) forgets every list; a piece discarded takes them with it.
#pragma once

#include <cstdint>
#include <string>

#include "model/drosa.h"
#include "model/model_services.h"

// The most nodes the kept lists hold together (64 bytes each): a page that would pass it is not
// kept.
inline constexpr long KEPT_PAGE_NODES_MOST = 320000;

// Drops the kept lists without returning their nodes: the node store was made anew.
void reset_kept_pages();
