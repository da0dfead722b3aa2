// systems.cpp: breaking a notation context into systems and pages.
//
// This is the least of the Systems command that an imported piece needs to lay out: no
// dialog and no measure widths yet. A piece without breaks gets a system every
// SYSTEM_MEASURES bar lines; a piece that has its systems gets its pages, a fixed number of
// systems each, from the page height and the staff distances. Breaks go into every voice
// after the same bar line, so the voices stay aligned when their bar lines are.
#include <algorithm>
#include <vector>

#include "editing/editing_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int SYSTEM_MEASURES = 4;  // bar lines in a system made here
constexpr int MAX_SYSTEMS_ON_PAGE = 12;
constexpr int P_STAFF_DISTANCE = 129;   // "default distance between this voice's staff and next"
constexpr int P_SYSTEM_DISTANCE = 560;  // "default vertical distance between systems"
constexpr int PAGE_MARGINS = 2400;      // room above and below the systems, layout units

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// The number of staves: the distinct staff numbers of the voices' first PRINTs.
int staff_count() {
  std::vector<int> staves;
  for (int v = 0; v < voices(); ++v) {
    Drosa print = find_next_kind_until(PRINT, piece_start[v], NOTE, 0);
    if (print && print->get(xsstaff) >= 0) staves.push_back(print->get(xsstaff));
  }
  std::sort(staves.begin(), staves.end());
  return std::max<int>(1, int(std::unique(staves.begin(), staves.end()) - staves.begin()));
}

// How many systems of the piece's staves fit on a page of the current notation context.
int systems_on_page() {
  int32_t height = options_i32(std::max<int>(current_ncontext, 1), OPTIONS_PAGE_HEIGHT) * 72;
  int32_t staff = std::max(param_value(P_STAFF_DISTANCE, NIL, nullptr)->integer(), 1) * 10;
  int32_t between = std::max(param_value(P_SYSTEM_DISTANCE, NIL, nullptr)->integer(), 1) * 10;
  int64_t system = int64_t(staff) * (staff_count() - 1) + between;
  int64_t fit = (int64_t(height) - PAGE_MARGINS) / std::max<int64_t>(system, 1);
  return int(std::clamp<int64_t>(fit, 1, MAX_SYSTEMS_ON_PAGE));
}

// The node after which a break following this BAR goes: the BAR, or its BARSEP.
Drosa after_bar(Drosa bar) {
  Drosa p = bar;
  while (p->xnext && p->xnext->xkind == BARSEP) p = p->xnext;
  return p;
}

// True when nothing but the end of the piece follows the node (no NOTE and no BAR).
bool at_piece_end(Drosa node) {
  for (Drosa p = node->xnext; p; p = p->xnext) {
    int kind = effective_kind(p);
    if (kind == NOTE || kind == BAR) return false;
    if (kind == ENDSYST) return p->get(xendpiece) != 0;
  }
  return true;
}

// Puts a system break after every SYSTEM_MEASURES-th bar line of every voice.
void break_into_systems() {
  for (int v = 0; v < voices(); ++v) {
    int bars = 0;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (effective_kind(p) != BAR || ++bars % SYSTEM_MEASURES != 0) continue;
      Drosa place = after_bar(p);
      if (at_piece_end(place)) break;
      if (place->xnext && effective_kind(place->xnext) == ENDSYST) continue;
      Drosa brk = newDrosa(ENDSYST, current_ncontext);
      insertvc_node_with_undo(brk, place);
      p = brk;
    }
  }
}

// Ends a page after every n-th system of every voice; pages already ended stay.
void break_into_pages(int n) {
  for (int v = 0; v < voices(); ++v) {
    int systems = 0;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (effective_kind(p) != ENDSYST || p->get(xendpiece)) continue;
      if (p->get(xendpage)) {
        systems = 0;
        continue;
      }
      if (++systems < n) continue;
      modifyvc_with_undo(p);
      p->set(xendpage, 1);
      count_list_change(p);
      systems = 0;
    }
  }
}

}  // namespace

int systems(Drosa start, int reason, const char* /*extra*/) {
  if (!start || effective_kind(start) != ENDSYST || !start->get(xendpage)) {
    REPORT_ERROR(4, "Bad pointer for systems().");
    return 0;
  }
  if (reason != 0) rebuild_print_nodes();
  if (reason != SYSTEMS_KEEP_SYSTEMS) break_into_systems();
  break_into_pages(systems_on_page());
  mark_piece_changed(1, 1, current_ncontext);
  return 1;
}
