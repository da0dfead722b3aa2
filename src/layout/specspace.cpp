// specspace.cpp: the space between chords. So far only the tests of what stands before a
// note, which the automatic system breaking uses to find bars with content.
#include "layout/specspace.h"

namespace {
constexpr int NOTE_FLAG_BYTE = 15;              // the beam and accent byte of a NOTE
constexpr uint8_t NOTE_ANNOTATION_FLAG = 0x04;  // an annotation is attached
}  // namespace

bool has_clef_key_time_before(Drosa note, int at_system_start) {
  bool clef_or_key = false;
  for (Drosa p = note ? note->xback : NIL; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) break;
    if (k == TIMESIG || k == SPACE) return true;
    if (k == CLEF || k == KEYSIG) {
      if (!at_system_start) return true;
      clef_or_key = true;
    }
  }
  return clef_or_key && find_time_in_bar(note) <= TIME_TOLERANCE;
}

bool note_has_line_or_text(Drosa note) {
  if (!is_NOTE(note)) return false;
  if (node_byte(note, NOTE_FLAG_BYTE) & NOTE_ANNOTATION_FLAG) return true;
  for (Drosa p = note->xback; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) return false;
    if (k == LINE || k == TPARAM) return true;
  }
  return false;
}
