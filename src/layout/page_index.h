// page_index.h: what each voice's pages hold, kept from one page location to the next, so
// that finding a page never walks the voices from their start again.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_services.h"

// What holds at the start of a page of a voice, from every page before it.
struct PageEntry {
  int32_t bars = 0;  // visible BARs before the page
  int64_t time = 0;  // note times before the page
  // The newest PARAM before the page; the older ones follow it through xprev_param.
  Drosa params;
  Drosa print, beaming, clef, keysig, timesig;  // the last of each kind before the page
  bool restarted = false;                       // a BAR before the page restarted the bar numbering
  // The number of the page's first measure when restarted, else the numbered bars before
  // the page (to be added to the context's first measure number).
  int32_t numbered = 0;
};

// Brings the index up to date with the voice lists: changes recorded by the undo primitives
// since the last call are re-read page by page; anything else that changed the piece (the
// notation context, the voices, the undo histories cleared or replayed) empties the index.
// Called before each page location; cheap when nothing changed.
void refresh_page_index();
// The same, but page k (1-based) of every shown voice is left as the index had it: for a
// format of that page, which reads it again (page_index_reread_page) once it has made its
// records, before anything asks what the page holds or what follows it.
void refresh_page_index_but_page(int k);

// What holds at the start of page k (1-based) of voice v; page total + 1 gives what holds at
// the voice's end. nullptr beyond that. The PARAM nodes before the page are linked from
// `params` through xprev_param. Good until the next call into the index.
const PageEntry* page_entry(int v, int k);
// Pages of voice v (the whole voice is indexed); the ENDSYST that ends it through *end.
int voice_page_total(int v, Drosa* end);

// The voice and page (1-based) of an indexed page that starts at `start`; false when the
// index does not know such a page.
bool indexed_page_start(Drosa start, int* v, int* k);

// Indexes every shown voice up to page k (1-based), as page_entry and the others would.
void page_index_extend_shown(int k);

// Reads page k of every shown voice again (its PARAM nodes are made anew by each format).
void page_index_reread_page(int k);
