// format.h: the page formatter: formatting one page or every page, and the poll through
// which a format gives way to the user.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- Formatting -----------------------------------------------------------------------------
// format_page: lays out page `page` (from 1) of the current notation context and rebuilds the
// view's graphics elements; 1 when the page was laid out completely, 0 when the user's input
// interrupted it (the page stays marked for reformatting and the old picture is kept). With
// keep 0 the layout records of the page formatted last are removed first; with 1 they are
// only cleared in place; with FORMAT_FOR_PRINTING they are removed as with 0 and the view is
// not redrawn from the new elements (they are a printed page's).
// Reads:  the voice lists, the parameters, the context's options record, first_format,
//         last_formatted_page, the events waiting.
// Writes: every layout record of the page, page_start, voice_data, staff_data, the page
//         state of layout_globals.h, the GE list (a copy kept for printing when the format
//         changed nothing of the piece), xbarx (the bars not placed again: not drawn) and
//         xscrbarx of the page's BARs, the cursor;
//         may end the page earlier (split_page) when it has more than 64 staves. A system
//         whose music is wider than its staves is cut into systems that fit (with undo,
//         joining the newest undo step), and a page these make too tall or give more than 64
//         staves is ended earlier without a message, the systems after going on at the top
//         of the next page (a page of their own after the last); the page is then formatted
//         again.
// Failure: level 2 "Too many staves on the page; the page will be split."; level 4 "format:
//          trying to use %hd staves for system 1; max staves %hd", "format: pstaff logic
//          error in find_staves...", "PRINT node not found in format: sys %hd voice %hd
//          xkind(%lx) %hd"; the format goes on.
inline constexpr int FORMAT_FOR_PRINTING = 2;
int32_t format_page(int32_t page, int keep);

// format_all_pages: formats every page in whole without interruption, none of them drawn on
// the view, from the first to the last: the systems a page cannot hold go on at the top of the
// next page, which is formatted after it. Each page's graphics are kept for printing. The
// current page stays the current page, and its graphics must be made again
// (page_graphics_stale).
void format_all_pages();

// ---- Interrupting a format -------------------------------------------------------------------
// format_interrupted: gives the idle work its time, then 1 when the user's waiting input must
// stop the format under way: a mouse-down in the menu bar, the front music window or the
// palette, an arrow key, a Command-key menu shortcut, a key the piano window takes, any
// key or click in an annotation mode, or MIDI input handled. Any other waiting input switches
// the poll off for the rest of the format.
// Reads:  no_format_interrupt, MODE, group_selected, flashing_node, the event queue.
// Writes: no_format_interrupt, the cursor.
int32_t format_interrupted();

void disable_format_interrupts();
void enable_format_interrupts();
int format_interrupts_disabled();
