// systems.h: system and page breaks. A piece has no page model of its own: an ENDSYST at the
// same time in every voice ends one system and starts the next, and its xendpage makes the
// next system start a page. Here breaks are made, removed and re-flagged: the automatic
// breaking of a notation context into systems and pages, the single-step commands of the
// Page menu, one break in one voice with the symbols standing at it, and the notes that
// print in no notation context.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "editing/editing_services.h"
#include "model/model_services.h"

// Ways of breaking, chosen in the Systems dialog.
inline constexpr int SYSTEMS_SCORE_SYSTEMS = -1;  // the Score's systems, n to a page
inline constexpr int SYSTEMS_SCORE_PAGES = -2;    // the Score's systems and pages
inline constexpr int SYSTEMS_DENSITY = -3;        // systems filled to a density
inline constexpr int SYSTEMS_MEASURES = -4;       // n measures to a system
inline constexpr int SYSTEMS_LIST = -5;           // the bars listed start systems and pages

// Why systems runs.
inline constexpr int SYSTEMS_MENU = 0;
inline constexpr int SYSTEMS_NEW_CONTEXT = 1;

// One entry of the measure table: a bar, or a run of bars holding only rests.
struct measure_record {
  int32_t width = 0;          // the least width the entry needs
  int32_t bars = 0;           // bars it covers
  int32_t staves = 0;         // printing staves (largest sstaff + 1)
  int32_t consistent = 1;     // every shown voice is at the start of a bar here
  Drosa first_node;           // where it begins, in the last shown voice that has it
  int32_t bar_number = 0;     // its measure number
  int32_t starts_system = 0;  // it begins a system now
  int32_t starts_page = 0;    // it begins a page now
  int32_t new_system = 0;     // a system is to begin here
  int32_t new_page = 0;       // that system is to begin a page
};

// What the Systems dialog decided.
struct SystemsChoice {
  int32_t mode = SYSTEMS_DENSITY;
  int32_t systems_per_page = 1;
  int32_t density = 100;  // percent of the nominal system width
  int32_t measures_per_system = 4;
  int32_t systems = 0;  // systems and pages the density breaking makes
  int32_t pages = 0;
};

// The least space of a chord before the next, and what stands in it.
struct ChordWidth {
  int32_t width = 0;
  bool has_symbols = false;        // a clef, key, time signature, space or annotation
  bool has_note = false;           // a note that is not a rest
  bool has_separate_rest = false;  // a rest with xseparate
};

// The least spaces after a grace chord and after any other chord (parameters 259, 260).
struct ChordSpaces {
  int32_t grace = 0;
  int32_t normal = 0;
};

// ---- The automatic breaking ---------------------------------------------------------------

// get_meas_info: the measure table from the voices' cursors (time_cursor) to the end of the
// piece: one entry per bar with content, one of width `rest_width` per run of bars holding
// only plain rests. At most `capacity` entries; 0 after a level 2 message (bar lines in some
// staves only, a bar no voice prints) or a level 4 one ("Confusion in get_meas_info!").
// Reads: time_cursor, the voice lists, current_ncontext.
int get_meas_info(std::vector<measure_record>* table, size_t capacity, const ChordSpaces& spaces,
                  int32_t rest_width);

// systems_dialog: the Systems dialog (15339) for the table: 0 on Cancel; else 1 with the
// choice filled in and, for SYSTEMS_LIST, SYSTEMS_DENSITY and the Score's keep-systems
// choice, the new-system and new-page fields of the table set.
// Reads: the options and parameters of the current context and page. Failure: level 2 when
// the page leaves no room for a system (nothing changes).
int systems_dialog(std::vector<measure_record>& table, int32_t total_width, int reason,
                   SystemsChoice* choice);

// The nominal width of a system: four tenths of the line width of the current page.
int32_t nominal_system_width(Drosa at);

// systems_by_density: cuts the table into systems of `density` percent of the nominal width
// (carrying each system's error into the next) and sets their new-system fields; fills in
// choice->systems and choice->pages and the largest and smallest system in percent.
// choice->systems_per_page and choice->density are read. S must be positive.
void systems_by_density(std::vector<measure_record>& table, int64_t total_width, int32_t S,
                        SystemsChoice* choice, int32_t* largest, int32_t* smallest);

// systems_list_text: the bars at which the table's systems begin now: the first entry's bar,
// then ",n" for a system and ";n" for a system that begins a page. *complete is false when
// the text reached 3000 characters and stopped.
std::string systems_list_text(const std::vector<measure_record>& table, bool* complete);

// parse_systems_list: sets the new-system and new-page fields of the table from a list
// ("1,5;9": systems begin at bars 5 and 9, and 9 begins a page). 0 after a level 2 message.
int parse_systems_list(const std::string& text, std::vector<measure_record>& table);

// bar_chord_min_width: the least width of the vertical chord that starts at `note` and what
// stands in it; returns the next NOTE after the chord (NIL at the end of the voice).
Drosa bar_chord_min_width(Drosa note, const ChordSpaces& spaces, ChordWidth* out);

// ---- One break -----------------------------------------------------------------------------

// delete_system_start: removes, in every shown voice, the system start after the node (which
// 0) or the one in force before it (1), with a following clef or key that only restates the
// one in force; a bar line right after it joins the one right before it (a repeat split at
// the break). Unless skipped, both systems must print the same number of staves.
// Writes: the voice lists (recorded), the staff drags of the page, the change flags.
// Failure: level 4 "delete_system_start() called with NIL pointer.", "delete_system_start()
//          called with no other system to combine with."; level 2 "You must use the Parts and
//          Voices... menu option to make the number of staves the same in both systems before
//          you combine systems!" (nothing changes).
void delete_system_start(Drosa node, int which, int page_relative, int skip_staff_check);

// ---- The Page menu's single steps ----------------------------------------------------------

// find_invisible_notes: with a place for a voice number, the bar number of the first note
// that prints in no notation context (its voice stored), -1 when every note prints somewhere;
// without, every such note becomes a rest (recorded) and the result is -1.
int32_t find_invisible_notes(int* voice);
