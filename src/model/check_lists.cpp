// check_lists.cpp: the consistency check.
#include <cstdio>

#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/readvesk.h"

namespace {

struct Checker {
  std::string* out;
  int count = 0;

  void problem(const char* what, int voice, long position) {
    ++count;
    if (!out) return;
    char line[160];
    std::snprintf(line, sizeof line, "voice %d node %ld: %s\n", voice, position, what);
    *out += line;
  }
};

// Walks one voice list.
void check_voice(Checker& c, int v) {
  Drosa head = piece_start[v];
  if (!head) {
    c.problem("no head node", v, 0);
    return;
  }
  if (!drosa_handle_valid(head) || head->xkind != ENDSYST || !head->get(xstartpiece))
    c.problem("the list does not start with a piece-start ENDSYST", v, 0);
  if (head->xback) c.problem("the head has a predecessor", v, 0);
  long position = 0;
  Drosa last = head;
  long limit = long(total_Drosa_count) + 1;  // a cycle would run past every node
  for (Drosa p = head; p; p = p->xnext, ++position) {
    if (position > limit) {
      c.problem("the list loops", v, position);
      return;
    }
    if (!drosa_handle_valid(p)) {
      c.problem("a link to no node", v, position);
      return;
    }
    if (p->xkind == FREE) c.problem("a free node in the list", v, position);
    if (!is_node_kind(p->xkind)) c.problem("a kind outside 76..126", v, position);
    if (p->xnext && p->xnext->xback != p) c.problem("links disagree", v, position);
    if (p->xkind == NTDATA && (!p->xback || p->xback->xkind != NOTE))
      c.problem("an NTDATA without its NOTE", v, position);
    last = p;
  }
  if (last->xkind != ENDSYST || !last->get(xendpiece))
    c.problem("the list does not end with a piece-end ENDSYST", v, position);
}

}  // namespace

int check_voice_lists(std::string* problems) {
  Checker c{problems};
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) check_voice(c, v);
  long free_nodes = 0;
  drosa_build_free_nodes();
  for (Drosa p = freeHead; p && free_nodes <= total_Drosa_count; p = p->xnext, ++free_nodes) {
    if (p->xkind != FREE) c.problem("a live node on the free list", -1, free_nodes);
    if (p->xnext && p->xnext->xback != p) c.problem("free list links disagree", -1, free_nodes);
  }
  if (free_nodes != freeCount) c.problem("freeCount does not match the free list", -1, free_nodes);
  return c.count;
}
