// ncontexts.cpp: notation contexts.
//
// A voice is shown in a context when a PRINT of that context follows its head ENDSYST before
// its first note; the PRINT in force at a point says on which staff of the system the voice
// prints there (xsstaff, -1 not printed) and its place in the staff list (xlist, 0 none).
// When a part leaves a context, the staves below it move up by the part's staff count.
// Switching the context discards every layout record: each context lays out its own pages.
#include <algorithm>
#include <vector>

#include "model/durashn.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/page_systems.h"
#include "model/parts_voices.h"
#include "model/undo.h"
#include "model/voice_lists.h"

namespace {

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// Puts every shown voice at the system and time of the first NOTE after print in its system
// (a voice without a chord at that time stands at its next chord or at the system's end);
// false when there is no such NOTE.
bool voices_to_print_time(Drosa print) {
  Drosa note = find_next_kind_until(NOTE, print, ENDSYST, ENDSYST);
  if (!note) return false;
  voices_to_system(system_number_on_page(note, 0), 0);
  voices_to_system_at_time(find_time_in_system(note), 1, 0);
  return true;
}

Drosa print_at_cursor(int v) {
  return time_cursor[v] ? find_prev_kind(PRINT, time_cursor[v]) : NIL;
}

// The voice's PRINT that stands before its first note: the one that shows the voice at all.
bool is_head_print(Drosa print) { return !find_prev_kind_raw(NOTE, print); }

// Where no voice prints at the PRINT's time: settles it as rebuild_print_nodes says. `system`:
// the piece's system the PRINT stands in, which `walk` goes on to. Returns the node the walk of
// the voice goes on from (`next`, or the node after it when it went).
Drosa settle_silent_point(Drosa print, Drosa next, int32_t system, PieceSystemWalk& walk) {
  Drosa note = find_next_kind_until(NOTE, print, ENDSYST, ENDSYST);
  if (!note) return next;
  const int32_t time = find_time_in_system(note);
  voices_to_piece_system(system, walk);
  voices_to_system_at_time(time, 1, 0);
  for (int v = 0; v < voices(); ++v) {
    Drosa p = print_at_cursor(v);
    if (p && p->get(xsstaff) != -1) return next;
  }
  if (system == 0 && time == 0) {
    for (int v = 0; v < voices(); ++v) {
      Drosa p = print_at_cursor(v);
      if (!p) continue;
      modifyvc_with_undo(p);
      p->set(xsstaff, 0);
      break;
    }
    return next;
  }
  for (int v = 0; v < voices(); ++v) {
    Drosa p = print_at_cursor(v);
    if (!p || is_head_print(p)) continue;
    if (p == next) next = next->xnext;
    removevc_with_undo(p);
  }
  return next;
}

}  // namespace

// ---- Switching ----------------------------------------------------------------------------------

void set_notation_context(int n, int where) {
  if (n < 1 || n > ncontext_count || n > MAX_NCONTEXTS) {
    REPORT_ERROR(4, "Bad notation context %hd in set_notation_context", short(n));
    return;
  }
  model_hooks.remove_piece_layout_records();
  current_ncontext = int16_t(n);
  std::copy(piece_start, piece_start + MAX_VOICES, page_start);
  last_formatted_page = -500;  // no page of this context is laid out
  text_template->xcontext = int8_t(n);
  line_template->xcontext = int8_t(n);
  current_page = where < 0 ? -where : model_hooks.find_measure_any_voice(where);
}

void rebuild_print_nodes() {
  PieceSystemWalk walk;
  for (int v = 0; v < voices(); ++v) {
    if (voice_not_shown(v)) continue;
    // The system ends passed since the piece's start: the system a PRINT stands in, counted as
    // system_number_on_page counts it back.
    int32_t system = 0;
    for (Drosa p = piece_start[v]; p;) {
      Drosa next = p->xnext;
      const int kind = effective_kind(p);
      if (kind == ENDSYST)
        system = p->get(xstartpiece) ? 0 : system + 1;
      else if (kind == PRINT)
        next = settle_silent_point(p, next, system, walk);
      p = next;
    }
  }
}

// Reads: the voice lists, current_ncontext. Writes: system_cursor, time_cursor; the PRINT's
// xsstaff and xlist (directly, without an undo record).
void ncontext_staff_range(const char* part_name, Drosa print) {
  if (!print || !voices_to_print_time(print)) return;
  int lo = MAX_VOICES, hi = -1, list_lo = MAX_VOICES, list_hi = 0;
  for (int v = 0; v < voices(); ++v) {
    if (!voice_part_is(v, part_name)) continue;
    Drosa p = print_at_cursor(v);
    if (!p) continue;
    int staff = p->get(xsstaff);
    if (staff != -1) {
      lo = std::min(lo, staff);
      hi = std::max(hi, staff);
    }
    int list = p->get(xlist);
    if (list != 0) {
      list_lo = std::min(list_lo, list);
      list_hi = std::max(list_hi, list);
    }
  }
  int staff = print->get(xsstaff);
  if (staff != -1 && hi != -1 && staff > hi) print->set(xsstaff, int16_t(staff - (hi - lo + 1)));
  int list = print->get(xlist);
  if (list != 0 && list_hi != 0 && list > list_hi)
    print->set(xlist, uint8_t(list - (list_hi - list_lo + 1)));
}

// Reads: the voice lists, current_ncontext. Writes: system_cursor, time_cursor.
int ncontext_parts_present(const char* part_name, Drosa print) {
  if (!print || !voices_to_print_time(print)) return 0;
  int present = 0;
  for (int v = 0; v < voices(); ++v) {
    Drosa p = print_at_cursor(v);
    if (!p || p->get(xsstaff) == -1) continue;
    if (!voice_part_is(v, part_name)) return 0;
    present = 1;
  }
  return present;
}

namespace {

// True for a PRINT that the current notation context sees as its own.
bool own_print(Drosa node) { return node->xkind == PRINT && effective_kind(node) == PRINT; }

// Gives voice v a PRINT of the current context right after its VINFO (or its head) when no
// PRINT stands before its first note.
void ensure_first_print(int v, int staff) {
  Drosa place = piece_start[v];
  for (Drosa p = piece_start[v]->xnext; p && p->xkind != NOTE; p = p->xnext) {
    if (own_print(p)) return;
    if (p->xkind == VINFO) place = p;
    if (effective_kind(p) == ENDSYST) break;
  }
  Drosa print = newDrosa(PRINT, current_ncontext);
  print->set(xsstaff, int16_t(staff));
  print->set(xprintdir, 3);
  print->set(xslines, 5);
  print->set(xstaffsize, 50);
  link_after(print, place);
}

}  // namespace

void close_up_print_staves() {
  // One walk finds the PRINTs with a staff; they are few, and renumbered from the list.
  std::vector<int> used;
  std::vector<std::vector<Drosa>> prints(static_cast<size_t>(voices()));
  for (int v = 0; v < voices(); ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (own_print(p) && p->get(xsstaff) >= 0) {
        used.push_back(p->get(xsstaff));
        prints[size_t(v)].push_back(p);
      }
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  for (int v = 0; v < voices(); ++v) {
    for (Drosa p : prints[size_t(v)]) {
      auto at = std::lower_bound(used.begin(), used.end(), int(p->get(xsstaff)));
      p->set(xsstaff, int16_t(at - used.begin()));
    }
    ensure_first_print(v, int(used.size()) + v);
  }
}
