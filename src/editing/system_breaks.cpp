// system_breaks.cpp: system and page breaks of a notation context: breaking a context into
// systems, and putting one break into one voice.
//
// A context's systems are first those of the Score: each break of the Score gets a break of
// the context beside it in every voice the context shows. The user then changes them with
// the page commands. A break put into one voice stands before the nodes attached to the note
// it precedes; the bar line, clef, key and time signature among those close the system
// before it instead.
#include <vector>

#include "editing/editing_services.h"

namespace {

constexpr int SCORE = 1;

bool shown_in_context(int v) {
  return piece_start[v] && find_next_kind_before_note(PRINT, piece_start[v]);
}

bool is_voice_end(Drosa endsyst) { return endsyst->get(xstartpiece) || endsyst->get(xendpiece); }

// A new break of the current context after anchor, recorded for undo.
Drosa insert_break_after(Drosa anchor, int page) {
  Drosa brk = newDrosa(ENDSYST, current_ncontext);
  brk->set(xendpage, uint8_t(page ? 1 : 0));
  insertvc_node_with_undo(brk, anchor);
  return brk;
}

// The order in which the symbols before a break are put back before it.
int symbol_rank(int kind) {
  switch (kind) {
    case CLEF:
      return 0;
    case BAR:
      return 1;
    case BARSEP:
      return 2;
    case KEYSIG:
      return 3;
    default:
      return 4;  // TIMESIG
  }
}

}  // namespace

// Reads: the voice lists, current_ncontext. Writes: ENDSYSTs of the current context (with
// undo), DrosaDirty, the view flags.
int systems(Drosa /*start*/, int /*reason*/, const char* /*extra*/) {
  const int context = current_ncontext;
  bool shown = false;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (!shown_in_context(v)) continue;
    shown = true;
    if (context == SCORE) continue;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind != ENDSYST || p->xcontext != SCORE || is_voice_end(p)) continue;
      Drosa copy = copyDrosa(p);
      copy->xcontext = int8_t(context);
      insertvc_node_with_undo(copy, p);
      p = copy;
    }
  }
  if (!shown) return 0;
  mark_piece_changed(1, 2, context);
  return 1;
}

// Reads: the voice list, current_ncontext. Writes: the voice list (with undo).
void insert_endsyst_on_voice(Drosa note, int page) {
  if (!note) {
    REPORT_ERROR(4, "Bad pointer for insert_endsyst_on_voice()!");
    return;
  }
  const int kind = effective_kind(note);
  if (kind == ENDSYST) {
    if (note->get(xendpiece)) {
      REPORT_ERROR(4, "End-of-piece error in insert_endsyst_on_voice()!");
      return;
    }
    REPORT_ERROR(2, "You have a voice with no notes on the system!");
    insert_break_after(note, page);
    return;
  }
  if (kind != NOTE) {
    REPORT_ERROR(4, "Bad pointer for insert_endsyst_on_voice()!");
    return;
  }
  update_SDRAG_on_page(note);

  // Back over the nodes attached before the note, to the node the break goes after.
  std::vector<Drosa> symbols;
  bool other_context_break = false;
  Drosa anchor = note->xback;
  for (; anchor; anchor = anchor->xback) {
    const int k = anchor->xkind;
    if (k == NOTE || k == NTDATA || k == CDDATA3) break;
    if (k == ENDSYST) {
      other_context_break = effective_kind(anchor) != ENDSYST;
      break;
    }
    const int seen = effective_kind(anchor);
    if (seen == BAR || seen == BARSEP || seen == CLEF || seen == KEYSIG || seen == TIMESIG)
      symbols.push_back(anchor);
  }
  if (!anchor) {
    REPORT_ERROR(4, "Bad pointer for insert_endsyst_on_voice()!");
    return;
  }
  Drosa brk = insert_break_after(anchor, page);
  if (other_context_break) return;
  for (int rank = 0; rank <= 4; ++rank) {
    for (auto s = symbols.rbegin(); s != symbols.rend(); ++s) {
      if (symbol_rank(effective_kind(*s)) != rank) continue;
      insertvc_node_with_undo(copyDrosa(*s), brk->xback);
      removevc_with_undo(*s);
    }
  }
}

void update_SDRAG_on_page(Drosa) {}
