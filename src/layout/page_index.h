// page_index.h: what each voice's pages hold, kept from one page location to the next, so
// that finding a page never walks the voices from their start again.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_services.h"

// One page of one voice as the current notation context sees it: from the visible ENDSYST
// that starts it up to the one that starts the next page (or ends the voice).
struct PageSpan {
  Drosa start;                // the ENDSYST that starts the page (the voice's head for page 1)
  int32_t bars = 0;           // visible BARs on the page
  int64_t time = 0;           // times to the next note of the page's NOTEs, summed
  std::vector<Drosa> params;  // visible PARAM nodes with a good parameter number, in list order
  std::vector<Drosa> lines;   // visible LINEs that begin a line running on (BEGLINEs), in order
  Drosa print, beaming, clef, keysig, timesig;  // the last one of each kind on the page; NIL none
  int32_t numbered_bars = 0;   // numbered BARs after the page's last restart BAR (all when none)
  bool restarts = false;       // a BAR of the page restarts the bar numbering
  int16_t restart_number = 0;  // the number the page's last restart BAR gives
};

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

// Page k (1-based) of voice v, indexed now when it was not; nullptr when the voice has fewer
// pages. The pointer is good until the next call into the index.
const PageSpan* page_span(int v, int k);
// What holds at the start of page k (1-based) of voice v; page total + 1 gives what holds at
// the voice's end. nullptr beyond that. The PARAM nodes before the page are linked from
// `params` through xprev_param. Good until the next call into the index.
const PageEntry* page_entry(int v, int k);
// Pages of voice v (the whole voice is indexed); the ENDSYST that ends it through *end.
int voice_page_total(int v, Drosa* end);

// The voice and page (1-based) of an indexed page that starts at `start`; false when the
// index does not know such a page.
bool indexed_page_start(Drosa start, int* v, int* k);

// A node of a voice list was changed without the undo primitives: its page is read again
// (and the pages after it when the page now ends elsewhere).
void page_index_changed_at(Drosa node);
// Reads page k of every shown voice again (its PARAM nodes are made anew by each format).
void page_index_reread_page(int k);
// Forgets everything; the next location walks the voices from their start.
void clear_page_index();
