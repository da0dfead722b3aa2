// voice_chords.cpp: vertical chords of a voice list, and the ends of a voice's system as the
// page formatter has set them in voice_data (word 0 the system's first node, word 1 the
// ENDSYST that ends it).
#include "model/voice_chords.h"

#include <algorithm>

#include "model/durashn.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"

namespace {

bool is_visible_endsyst(Drosa node) { return effective_kind(node) == ENDSYST; }

// A visible ENDSYST that ends the system being formatted in some voice, or the list's end.
bool is_system_end(Drosa node) {
  if (!node->xnext) return true;
  if (!is_visible_endsyst(node)) return false;
  int voices = std::clamp<int>(voice_count, 0, MAX_VOICES);
  for (int v = 0; v < voices; ++v)
    if (voice_data[v].system_end == node) return true;
  return false;
}

}  // namespace

Drosa chord_end_note(Drosa node) {
  for (Drosa p = node; p; p = p->xnext)
    if (p->xkind == NOTE && p->get(xendvcd)) return p;
  return NIL;
}

Drosa vchord_first_note(Drosa node) {
  if (!node) return NIL;
  Drosa first = node;
  for (Drosa p = node->xback; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == BAR || k == ENDSYST) break;
    if (k == NOTE) {
      if (p->get(xendvcd)) break;  // the previous chord's last note
      first = p;
    }
  }
  return first;
}

int32_t vchord_bounds(Drosa node, Drosa* first, Drosa* last) {
  int32_t shortest = NO_TIME;
  Drosa start = vchord_first_note(node), end = NIL;
  for (Drosa p = start; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    shortest = std::min(shortest, note_duration(p, 1));
    if (p->get(xendvcd)) {
      end = p;
      break;
    }
  }
  if (first) *first = start;
  if (last) *last = end;
  return shortest;
}

int is_voice_head_ENDSYST(Drosa node) {
  if (!node || !is_visible_endsyst(node)) return 0;
  int voices = std::clamp<int>(voice_count, 0, MAX_VOICES);
  for (int v = 0; v < voices; ++v)
    if (voice_data[v].system_start == node) return 1;
  return 0;
}

int endvc(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "staffops warning: testing endvc(NIL)");
    return 1;
  }
  return is_system_end(node) ? 1 : 0;
}

int endvcnotes(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "staffops warning: testing endvcnotes(NIL)");
    return 1;
  }
  for (Drosa p = node; p; p = p->xnext) {
    if (p->xkind == NOTE) return 0;
    if (is_system_end(p)) return 1;
  }
  return 1;
}
