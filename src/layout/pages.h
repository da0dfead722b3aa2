// pages.h: pages, systems and measures of the voice lists: counting and locating pages,
// preparing a piece for its first format, bar numbers, and finding measures and beats.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_services.h"

// Beyond this the note times of two voices before a page count as different.
inline constexpr int64_t VOICE_TIME_TOLERANCE = 4045;

// ---- Pages ----------------------------------------------------------------------------------

// findpage: the node at which page n starts in voice v (its head for page 1; its ENDSYST with
// xendpiece when the voice ends before page n). bars and times get n + 1 entries: entry k
// holds the visible BARs and the note times (xttn) of pages 1..k, as far as the voice goes.
// Reads:  piece_start, current_ncontext, the page index.
// Writes: page_param_lists[v] (the PARAMs before the page, newest first, through
//         xprev_param), the changed flag of each of their parameters, xsys_voice of the
//         voice's ENDSYST nodes.
// Failure: level 4 "Bad PARAM node in findpage: %lx pindex %hd voice %hd"; the node is left
//          out of the list.
Drosa findpage(int v, int n, std::vector<int32_t>* bars, std::vector<int64_t>* times);

// locate_page for a format of the page, which reads the page into the page index again once
// its records are made (page_index_reread_page): the index is brought up to date but for
// that page.
int locate_page_to_format(int n);

// ---- Measures and beats ---------------------------------------------------------------------

// 1 + the visible BARs from the node back to its list's start (1 for NIL).
int32_t count_bars_before(Drosa node);
// The first NOTE after the (n - 1)-th visible BAR of voice v; NIL when there are fewer BARs.
Drosa find_note_after_bars(int32_t n, int v);
