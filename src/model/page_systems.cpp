// page_systems.cpp: systems and pages of the voice lists.
//
// ENDSYST nodes cut a voice list into systems; one with xendpage also ends a page. Each
// notation context has its own ENDSYST nodes, so only those visible in the current context
// are counted. An ENDSYST counts as the start of the system that follows it.
#include "model/page_systems.h"

#include <algorithm>
#include <cstdlib>

#include "model/durashn.h"
#include "model/error_report.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/staffops.h"
#include "model/voice_lists.h"

namespace {

bool is_visible_endsyst(Drosa node) { return effective_kind(node) == ENDSYST; }

bool ends_page(Drosa node) { return is_visible_endsyst(node) && node->get(xendpage); }

// An ENDSYST at which a page starts: one that ends the page before, or the voice's head,
// which starts the first page whether or not it carries xendpage.
bool starts_page(Drosa node) {
  return is_visible_endsyst(node) && (node->get(xendpage) || node->get(xstartpiece));
}

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// Goes on from `cursor`, the visible ENDSYST a walk of nth_system stands at having counted
// *count of them, to the n-th, stopping early at the piece's end and, when from_page is set, at
// the page's end (*stopped set: the walk goes no further for any n). A list that ends without
// one (only a broken list does) leaves the cursor at the last one passed.
Drosa go_on_to_system(Drosa cursor, int* count, int n, int from_page, bool* stopped) {
  for (Drosa p = cursor->xnext; p; p = p->xnext) {
    if (!is_visible_endsyst(p)) continue;
    cursor = p;
    ++*count;
    *stopped = p->get(xendpiece) || (from_page && p->get(xendpage));
    if (*count == n || *stopped) break;
  }
  return cursor;
}

// The n-th visible ENDSYST after start, as go_on_to_system finds it from there.
Drosa nth_system(Drosa start, int n, int from_page) {
  if (start->get(xendpiece) || n <= 0) return start;
  int count = 0;
  bool stopped = false;
  return go_on_to_system(start, &count, n, from_page, &stopped);
}

// Where a voice stands at time t of the system that starts at c, walking chord by chord.
// Sets *missed when the voice has no chord within the tolerance of t.
Drosa chord_at_time(Drosa c, int32_t t, int keep, bool* missed) {
  int32_t s = 0, carry_num = 0, carry_den = 1, duration = 0;
  for (Drosa p = c->xnext; p;) {
    if (is_visible_endsyst(p)) {
      if (std::abs(int64_t(s) - t) <= TIME_TOLERANCE) return p;
      *missed = true;
      return keep ? p : NIL;
    }
    if (p->xkind != NOTE) {
      p = p->xnext;
      continue;
    }
    // A grace note before the chord at t belongs to it; one after a note does not.
    if (int64_t(s) >= int64_t(t) - TIME_TOLERANCE && (!p->get(xgrace) || !p->get(xnachschlag))) {
      if (std::abs(int64_t(s) - t) <= TIME_TOLERANCE) return p;
      *missed = true;
      return keep ? p : NIL;
    }
    Drosa last = chord_duration_carry(p, &s, &carry_num, &carry_den, &duration);
    p = last ? last->xnext : NIL;
  }
  *missed = true;  // the list ran out without an ENDSYST
  return NIL;
}

}  // namespace

int voices_to_system(int n, int from_page) {
  int all_at_page_end = 1;
  for (int v = 0; v < voices(); ++v) {
    system_cursor[v] = NIL;
    if (voice_not_shown(v)) continue;
    Drosa start = from_page ? page_start[v] : piece_start[v];
    if (!start) continue;
    Drosa cursor = nth_system(start, n, from_page);
    system_cursor[v] = cursor;
    if (n == 0) {
      if (!starts_page(cursor)) all_at_page_end = 0;
    } else if (!(is_visible_endsyst(cursor) && cursor->get(xendpiece)) && !ends_page(cursor)) {
      all_at_page_end = 0;
    }
  }
  return all_at_page_end;
}

void voices_to_piece_system(int n, PieceSystemWalk& walk) {
  for (int v = 0; v < voices(); ++v) {
    system_cursor[v] = NIL;
    if (voice_not_shown(v)) continue;
    Drosa start = piece_start[v];
    if (!start) continue;
    PieceSystemWalk::Voice& at = walk.voices[size_t(v)];
    if (!at.cursor || at.start != start || n < at.asked) {
      at.start = at.cursor = start;
      at.count = 0;
      at.stopped = start->get(xendpiece) != 0;
    }
    if (!at.stopped && at.count < n)
      at.cursor = go_on_to_system(at.cursor, &at.count, n, 0, &at.stopped);
    at.asked = n;
    system_cursor[v] = at.cursor;
  }
}

int voices_to_system_at_time(int32_t t, int keep, int page_limit) {
  int missed_any = 0;
  for (int v = 0; v < voices(); ++v) {
    time_cursor[v] = NIL;
    if (voice_not_shown(v)) continue;
    Drosa c = system_cursor[v];
    if (!c) {  // the voice was not placed at a system
      missed_any = 1;
      continue;
    }
    if (c->get(xendpiece) || (page_limit && c->get(xendpage) && c != page_start[v])) {
      time_cursor[v] = keep ? c : NIL;
      missed_any = 1;
      continue;
    }
    bool missed = false;
    time_cursor[v] = chord_at_time(c, t, keep, &missed);
    if (missed) missed_any = 1;
  }
  return missed_any;
}

int32_t system_number_on_page(Drosa node, int on_page) {
  if (!node) return 0;
  int32_t count = 0;
  for (Drosa p = node->xback; p; p = p->xback) {
    if (!is_visible_endsyst(p)) continue;
    if (p->get(xstartpiece) || (on_page && p->get(xendpage))) break;
    ++count;
  }
  return count;
}

int check_first_note_of_voice_on_page(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "testing check_first_note_of_voice_on_page(NIL)");
    return 0;
  }
  for (Drosa p = node->xback; p; p = p->xback) {
    if (p->xkind == NOTE) return 0;
    if (starts_page(p)) return 1;
  }
  return 1;
}

int check_last_note_of_voice_on_page(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "testing check_last_note_of_voice_on_page(NIL)");
    return 0;
  }
  for (Drosa p = node->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return 0;
    if (ends_page(p)) return 1;
  }
  return 1;
}

int last_system_of_page(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "testing last_system_of_page(NIL)");
    return 0;
  }
  for (Drosa p = node->xnext; p; p = p->xnext)
    if (is_visible_endsyst(p)) return p->get(xendpage) ? 1 : 0;
  return 0;
}

int first_system_of_page(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "testing first_system_of_page(NIL)");
    return 0;
  }
  for (Drosa p = node; p; p = p->xback)
    if (is_visible_endsyst(p)) return starts_page(p) ? 1 : 0;
  return 0;
}

int32_t Find_pstaff(Drosa note, int partial) {
  if (reformat_pending && !partial)
    REPORT_ERROR(4, "Find_pstaff called while partially formatted!");
  Drosa head = note;
  // A chain has at most one note per node of the store; a longer walk is a broken chain.
  for (int32_t steps = 0; head && steps <= total_Drosa_count; ++steps) {
    Drosa nt = note_ntdata(head);
    if (!nt) {
      head = NIL;
      break;
    }
    if (startstf(head)) break;
    head = nt->get(xpback);
  }
  if (head) {
    for (int s = 0; s < std::clamp<int32_t>(pstaff_count, 0, MAX_PSTAVES); ++s)
      for (int layer = 0; layer < LAYERS; ++layer)
        if (staff_data[s].ppnt[layer] == head) return s;
  }
  REPORT_ERROR(4, "Find_pstaff is unsuccessful.");
  return 0;
}

int32_t pstaff_of_node(Drosa node) {
  int32_t sstaff = model_hooks.find_sstaff(node);
  int32_t k = system_number_on_page(node, 1);
  int32_t first = 0;
  int32_t staves = std::clamp<int32_t>(pstaff_count, 0, MAX_PSTAVES);
  for (int s = 1, found = 0; s < staves && found < k; ++s) {
    if (staff_data[s].place == 1 && ++found == k) first = s;
  }
  return first + sstaff;
}

int32_t goto_page_position(Drosa node) {
  if (!node) return 0;
  int32_t t = find_time_in_system(node);
  int32_t k = system_number_on_page(node, 1);
  voices_to_system(k, 1);
  voices_to_system_at_time(t, 1, 1);
  int16_t staff = model_hooks.find_sstaff(node);
  int32_t sharing = 0;
  for (int v = 0; v < voices(); ++v)
    if (time_cursor[v] && model_hooks.find_sstaff(time_cursor[v]) == staff) ++sharing;
  return sharing;
}
