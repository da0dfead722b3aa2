// kept_pages.h: node lists kept by page number, so that a page formatted and not changed since
// is not formatted again. The lists hold for the state they were made in: a change of the piece
// (every change marker counts as one) or of the caller's key (the bytes of what else the pages
// depend on) forgets every list; a piece discarded takes them with it.
#pragma once

#include <cstdint>
#include <string>

#include "model/drosa.h"

// Counts the changes of the piece (mark_piece_changed, mark_layout_changed, mark_views_changed
// and the other requests for a full reformat). Never goes back.
extern uint32_t piece_change_count;
void count_piece_change();

// The most nodes the kept lists hold together (64 bytes each): a page that would pass it is not
// kept.
inline constexpr long KEPT_PAGE_NODES_MOST = 320000;

// Keeps a copy of the list that begins at `head` (its head node included) as page `page`'s,
// made in the state `key` at change count `count`; nothing when the piece has changed since
// `count`. A list kept for the page before is replaced.
void keep_page_list(int32_t page, Drosa head, const std::string& key, uint32_t count);
// The head of the list kept for the page in the state `key`, NIL when there is none.
Drosa kept_page_list(int32_t page, const std::string& key);
// Forgets the lists of the page and of the pages after it, which a change made while the page
// was formatted (from change count `count` on) may have changed; the lists of earlier pages
// hold on. Every list goes when the piece had changed before `count`.
void forget_kept_pages_from(int32_t page, uint32_t count);
// Forgets every kept list (its nodes go back to the store).
void forget_kept_pages();
// The nodes the kept lists hold.
long kept_page_nodes();
// Drops the kept lists without returning their nodes: the node store was made anew.
void reset_kept_pages();
