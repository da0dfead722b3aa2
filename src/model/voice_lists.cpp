// voice_lists.cpp: walking, linking and testing the nodes of voice lists.
//
// Every walk computes each node's effective kind in the current notation context: a node of
// another context counts as NA and is never a boundary, so each context has its own system
// breaks and bar lines.
#include "model/voice_lists.h"

#include <cstdlib>
#include <cstring>

#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/staffops.h"
#include "platform/port.h"
#include "platform/text_encoding.h"

namespace {

bool is_visible_endsyst(Drosa node) { return effective_kind(node) == ENDSYST; }

bool is_piece_start(Drosa node) { return is_visible_endsyst(node) && node->get(xstartpiece); }

// A NOTE or a visible ENDSYST: the ends of the run of nodes attached before a note.
bool ends_attached_run(Drosa node) { return node->xkind == NOTE || is_visible_endsyst(node); }

// The shared backward walk of the `_stop` variants: farthest or nearest match.
Drosa find_prev_attached(int kind, Drosa node, int stop, bool nearest) {
  if (!node) return NIL;
  Drosa found = NIL;
  for (Drosa p = node->xback; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == kind) {
      found = p;
      if (nearest) return found;
    }
    if (ends_attached_run(p) || k == stop) break;
  }
  return found;
}

}  // namespace

// ---- Search walks ----------------------------------------------------------------------------

Drosa find_prev_kind(int kind, Drosa node) {
  if (!node) return NIL;
  for (Drosa p = node->xback; p; p = p->xback) {
    if (effective_kind(p) == kind) return p;
    if (is_piece_start(p)) return NIL;
  }
  return NIL;
}

Drosa find_prev_kind_until(int kind, Drosa node, int stop1, int stop2) {
  if (!node) return NIL;
  for (Drosa p = node->xback; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == kind) return p;
    if (k == stop1 || k == stop2 || is_piece_start(p)) return NIL;
  }
  return NIL;
}

Drosa find_prev_kind_raw(int kind, Drosa node) {
  if (!node) return NIL;
  for (Drosa p = node->xback; p; p = p->xback)
    if (p->xkind == kind) return p;
  return NIL;
}

Drosa find_next_kind(int kind, Drosa node) {
  if (!node) return NIL;
  for (Drosa p = node->xnext; p; p = p->xnext)
    if (effective_kind(p) == kind) return p;
  return NIL;
}

Drosa find_next_kind_until(int kind, Drosa node, int stop1, int stop2) {
  if (!node) return NIL;
  for (Drosa p = node->xnext; p; p = p->xnext) {
    int k = effective_kind(p);
    if (k == kind) return p;
    if (k == stop1 || k == stop2) return NIL;
  }
  return NIL;
}

Drosa find_prev_kind_stop(int kind, Drosa node, int stop) {
  return find_prev_attached(kind, node, stop, false);
}

Drosa find_prev_kind_stop_2(int kind, Drosa node, int stop) {
  return find_prev_attached(kind, node, stop, true);
}

Drosa find_next_kind_before_note(int kind, Drosa node) {
  if (!node) return NIL;
  for (Drosa p = node->xnext; p; p = p->xnext) {
    if (effective_kind(p) == kind) return p;
    if (ends_attached_run(p)) return NIL;
  }
  return NIL;
}

Drosa node_kind_between(int kind, Drosa node) {
  if (!node || kind == NA) return NIL;
  for (Drosa p = node->xnext; p; p = p->xnext) {
    if (p->xkind == kind && p->xcontext != 0 && effective_kind(p) == NA) return p;
    if (ends_attached_run(p)) return NIL;
  }
  return NIL;
}

// ---- Counting list changes -----------------------------------------------------------------

namespace {

bool counted_kind(int kind) {
  return kind == NOTE || kind == ENDSYST || kind == PARAM || kind == KEYSIG;
}
bool text_kind(int kind) { return kind == TPARAM || kind == TEXT; }

// count_chain_change of one node, without the walk: most links are of one node.
void count_node_change(Drosa node) {
  const int kind = node->xkind;
  forget_place(node);
  if (counted_kind(kind)) {
    ++list_change_count;
    if (kind == NOTE) ++note_change_count;
  }
  if (text_kind(kind)) ++text_change_count;
}

}  // namespace

void count_list_change(Drosa node) {
  if (!node) return;
  forget_place(node);
  if (counted_kind(node->xkind)) ++list_change_count;
  if (text_kind(node->xkind)) ++text_change_count;
}

void count_chain_change(Drosa first, Drosa last) {
  if (first && first == last) {
    count_node_change(first);
    return;
  }
  bool notes = false, others = false, texts = false;
  for (Drosa p = first; p; p = p->xnext) {
    const int kind = p->xkind;
    forget_place(p);
    notes = notes || kind == NOTE;
    others = others || (kind != NOTE && counted_kind(kind));
    texts = texts || text_kind(kind);
    if (p == last) break;
  }
  if (notes || others) ++list_change_count;
  if (notes && !others) ++note_change_count;
  if (texts) ++text_change_count;
}

// ---- Linking ---------------------------------------------------------------------------------

void link_after(Drosa node, Drosa anchor) {
  count_node_change(node);
  Drosa next = anchor->xnext;
  node->xback = anchor;
  node->xnext = next;
  if (next) next->xback = node;
  anchor->xnext = node;
}

Drosa link_chain_after(Drosa first, Drosa last, Drosa anchor) {
  if (!first) return NIL;
  if (!last) {
    last = first;
    while (last->xnext) last = last->xnext;
  }
  count_chain_change(first, last);
  Drosa next = anchor->xnext;
  last->xnext = next;
  if (next) next->xback = last;
  anchor->xnext = first;
  first->xback = anchor;
  return first;
}

void destroy_node(Drosa node) {
  if (!node) return;
  if (node->xkind == NOTE && node->get(xendvcd)) {
    for (Drosa p = node->xback; p; p = p->xback) {
      if (p->xkind == NOTE) {
        p->set(xendvcd, 1);
        break;
      }
    }
  }
  // Counted as count_list_change counts; destroyDrosa forgets the node's kept places.
  if (counted_kind(node->xkind)) ++list_change_count;
  if (text_kind(node->xkind)) ++text_change_count;
  Drosa before = node->xback, after = node->xnext;
  if (before) before->xnext = after;
  if (after) after->xback = before;
  node->xnext = node->xback = NIL;
  destroyDrosa(node);
}

Drosa copy_detached_chain(Drosa source, Drosa stop, Drosa* last) {
  Drosa first = NIL;
  *last = NIL;
  for (Drosa p = source; p; p = p->xnext) {
    Drosa copy = copyDrosa(p);
    if (*last) {
      (*last)->xnext = copy;
      copy->xback = *last;
    } else {
      first = copy;
    }
    *last = copy;
    if (p == stop) break;
  }
  return first;
}

Drosa copy_node_chain(Drosa source, Drosa stop, Drosa anchor) {
  if (!source) return anchor;
  Drosa last;
  Drosa first = copy_detached_chain(source, stop, &last);
  link_chain_after(first, last, anchor);
  return last;
}

void destroy_chain(Drosa first, Drosa last) {
  for (Drosa p = first; p;) {
    Drosa next = p->xnext;
    bool at_last = p == last;
    destroy_node(p);
    if (at_last) break;
    p = next;
  }
}

// ---- Predicates ------------------------------------------------------------------------------

int is_NOTE(Drosa node) { return node && node->xkind == NOTE; }

int temp_node(Drosa node, int subset) {
  if (!node) return 0;
  int k = node->xkind;
  bool chord_records = k == NTDATA || k == CDDATA || k == CDDATA2 || k == CDDATA3 || k == NTVIEW;
  switch (subset) {
    case 1000:
    case 1001:
      return chord_records || k == PDATA || k == PVIEW || k == PARAM;
    case 1002:
      return chord_records;
    case 1003:
      return chord_records || k == PDATA || k == PVIEW || k == PARAM || k == NOTEPTR || k == XMLT;
    case 1004:
      return k == NTVIEW || k == PVIEW || k == NOTEPTR;
    default:
      REPORT_ERROR(4, "Bad subset of kinds in temp_node = %hd", short(subset));
      return 0;
  }
}

int is_TPARAM_with_PDATA(Drosa node) {
  if (!node) return 0;
  int k = effective_kind(node);
  if (k != TPARAM && k != LINE) return 0;
  Drosa pdata = node->xnext;
  return pdata && effective_kind(pdata) == PDATA && pdata->get(xscrx1) != NOT_DRAWN;
}

int is_visible_note(Drosa node) {
  const Drosa nt = note_ntdata(node);
  return nt && bool(nt->get(xpback));
}

int is_plotted_note(Drosa node) {
  Drosa nt = note_ntdata(node);
  return nt && nt->get(xscrhdx) != NOT_DRAWN;
}

int voice_not_shown(int v) {
  if (v < 0 || v >= MAX_VOICES || !piece_start[v]) return 1;
  if (!find_next_kind_before_note(PRINT, piece_start[v])) return 1;
  return page_start[v] && page_start[v]->get(xendpiece) ? 1 : 0;
}

int voice_list_empty(int v) {
  return v >= 0 && v < MAX_VOICES && voice_data[v].system_start == voice_data[v].system_end;
}

void destroy_pstaff_lists() {
  for (StaffData& staff : staff_data) {
    for (Drosa& head : staff.ppnt) {
      if (!head) continue;
      Drosa ntdata = head->xnext;
      destroyDrosa(head);
      if (ntdata) destroyDrosa(ntdata);
      head = NIL;
    }
  }
}

const char* ncontext_name_of(int n) {
  if (n < 1 || n > MAX_NCONTEXTS) return "";
  return ncontext_name[n];
}

void swap_word(int32_t* a, int32_t* b) {
  int32_t t = *a;
  *a = *b;
  *b = t;
}

// ---- Strings -------------------------------------------------------------------------------

void pstr_copy(unsigned char* dst, const unsigned char* src) {
  std::memmove(dst, src, src[0] + 1u);
}

int pstr_equal(const unsigned char* a, const unsigned char* b) {
  return a[0] == b[0] && std::memcmp(a + 1, b + 1, a[0]) == 0 ? 1 : 0;
}

int pstr_is_relative_path(const unsigned char* s) { return s[0] > 0 && s[1] == ':'; }

char* cfstring_to_cstring(const std::string& utf8, StringEncoding encoding) {
  std::string converted = encoding == ENCODING_UTF8 ? utf8 : utf8_to_macroman(utf8);
  char* out = static_cast<char*>(std::malloc(converted.size() + 1));
  if (!out) return nullptr;
  std::memcpy(out, converted.c_str(), converted.size() + 1);
  return out;
}

void set_text_font(int font) { text_font(font); }
