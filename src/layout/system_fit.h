// system_fit.h: systems and pages that hold more music than fits them: a system whose chords,
// packed as tightly as they may stand, reach past the staff's right edge by more than a
// squeeze to 88 per cent of their packed width takes back (spaced with their least gaps, past
// it at all) is cut at a bar line, the rest going on in the next system, or into systems that
// fit; a page that its new systems make too tall is cut too.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_services.h"

// system_too_wide: after the spacing pass of the system first_pstaff..last_pstaff, whether its
// packed music reaches past the staff's right edge by more than a squeeze takes back (by any
// at all when it is spaced with its least gaps, spacing_tight).
// Reads: spacing_x, staff_data first_note_x, the staff's right x, spacing_tight.
bool system_too_wide();

// find_system_cuts: after the spacing pass of the system first_pstaff..last_pstaff, the first
// notes of the bars at which it must be cut so that each part fits between the staff's first
// note and its right edge, squeezed to no less than 88 per cent of its packed width; empty
// when the system fits so or has no bar line at which all its voices can be cut. A bar wider
// than that by itself stands alone in a system.
// Reads: the print chains of the system and their chord records, spacing_x, staff_data
//        first_note_x, the staff's right x, the voice lists' bar lines.
std::vector<Drosa> find_system_cuts();

// cut_overfull_system: a system too wide for its staves keeps the bars that fit and the rest
// joins the next system (cut_and_join_next_system; a page end moves to the cut), when the
// next system has the same staves and the piece goes on, and the page has no room for
// another system where the system ends it; otherwise a system start is made at every note
// find_system_cuts gives. With undo, joining the newest undo step; the number of cuts made. A
// cut that would need a voice not at a timing boundary, or that would take away a second clef
// or key, is not made.
// Reads:  the system's chords, voice_data system ends, page_fitting room, natural height and
//         system distance.
// Writes: the voice lists, the piece's changed flag; system_cursor and time_cursor when a cut
//         was made (else they are as they were).
// A cut that `joined`, when given, is told of: the system was cut once, the rest joining the
// next system; the first note after the cut, its time in the system, and whether the music
// cut off (from each voice's last note before the cut to the system's old end) holds nothing
// but notes, clefs, time signatures, bar lines, annotations, tie and slur modifiers, changes
// of the distances below the staves (read again where the system now ends) and their records:
// no PRINT, staff drag, beaming, other parameter change or key signature, whose change would
// reach back to the bars kept.
// A system cut into even parts instead tells of its first cut so, and of the number of
// system starts made (`even`), when every one was made. Anything else leaves note NIL.
struct JoinedCut {
  Drosa note = NIL;
  int32_t time = 0;
  bool plain = false;
  int even = 0;
};
int cut_overfull_system(JoinedCut* joined = nullptr);

// height_a_page_holds: the natural height of the staves a page may hold within the height
// available between its margins: they are moved closer together to fit, to no less than 88 per
// cent of their natural distances, rather than a system cut for its width or carried into the
// page going on to the next page. Pure.
int64_t height_a_page_holds(int64_t available);

// first_system_too_low: the index (0 the first) of the first system of the page whose staves
// reach below the page's bottom margin even moved as close together as height_a_page_holds
// lets them, given the distance below each pstaff (staff_data distance_below) and the height
// they may share; 0 when every system fits (the first system is never cut off).
int first_system_too_low(const std::vector<int32_t>& staves_per_system, int64_t available);

// first_system_past_least_distances: the index of the first system of the page (0 when every
// system fits; the first is never cut off) whose staves reach below the page's bottom margin
// even with the distances below every pstaff squeezed to their least (staff_data least_below:
// what the marks and lyrics between the staves need) and `rest_kept` of the rest.
int first_system_past_least_distances(const std::vector<int32_t>& staves_per_system,
                                      int64_t available, double rest_kept);
