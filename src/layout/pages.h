// pages.h: pages, systems and measures of the voice lists: counting and locating pages,
// preparing a piece for its first format, bar numbers, and finding measures and beats.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_services.h"

// Fields of the notation context's options record read here.
inline constexpr int OPTIONS_FIRST_MEASURE = 10;  // i16: number of the piece's first measure
inline constexpr int OPTIONS_FIRST_PAGE = 40;     // i16: number printed on the first page

// Beyond this the note times of two voices before a page count as different.
inline constexpr int64_t VOICE_TIME_TOLERANCE = 4045;

// ---- Pages ----------------------------------------------------------------------------------
// count_pages: page_count = the most pages any shown voice has (1 with none).
// Reads: voice_count, piece_start, current_ncontext. Writes: page_count, the page index.
void count_pages();

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

// locate_page: makes page n current for formatting: page_start and the voice records of
// every shown voice, the staff records reset, the page's first bar number; warns once when
// two voices disagree in bars or beats before the page. Returns the page located.
// Reads:  page_count, consistency_warnings_on, whole_piece_format, options (first measure).
// Writes: page_start, voice_data, staff_data, the tie stack and slur buffer (emptied),
//         pstaff_count, first_pstaff, last_pstaff, page_first_bar, consistency_warnings_on
//         (the user's answer), page_param_lists.
// Failure: level 2 "Vesk cannot show page %hd: you have only %hd pages." and the last page
//          is located.
int locate_page(int n);

// prepare_piece: counts the pages, makes the saved page (or page 1) current, rebuilds the
// annotation class models and formats the current page, which cannot be interrupted.
// Reads:  requested_page, the voice lists. Writes: page_count, current_page,
//         last_formatted_page, first_format, flashing_node, class_models, the TPARAM flags of
//         surplus class models, the window title, the page index.
// Failure: level 4 "format_page() interrupted on first format".
void prepare_piece();

// ---- Measures and beats ---------------------------------------------------------------------
// The measure number at a node (the context's first measure number for NIL).
int32_t bar_number_of_node(Drosa node);
// 1 + the visible BARs from the node back to its list's start (1 for NIL).
int32_t count_bars_before(Drosa node);
// The first NOTE of measure n of voice v, NIL beyond the voice's end.
Drosa find_measure_start(int32_t n, int v);
// The first NOTE after the (n - 1)-th visible BAR of voice v; NIL when there are fewer BARs.
Drosa find_note_after_bars(int32_t n, int v);
// The note sounding at the 1-based beat b of the measure that starts at `note`.
Drosa find_note_at_beat(Drosa note, double b);
// The page on which measure n starts in the first shown voice; 1 when n is 0 or not found.
int32_t find_measure_any_voice(int32_t n);
