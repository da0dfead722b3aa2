// editing_services.cpp: the nodes attached before a note, the staff drags of a page, the
// first measures of a new piece and the default beaming of a time signature.
//
// The measures of a new piece are asked for with the number dialog (their count only) until
// the measures dialog exists.
#include "editing/editing_services.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"

namespace {

bool is_attached_kind(Drosa node) {
  int k = effective_kind(node);
  return k == SPACC || k == COLOR || k == TSMOD || k == NEST;
}

}  // namespace

Drosa unary_node(int op, Drosa node) {
  switch (op) {
    case UNARY_DELETE: {
      if (!node || node->xkind != NOTE) {
        REPORT_ERROR(4, "Note error for UNARY_DELETE in unary_node()!");
        return NIL;
      }
      Drosa p = node->xback;
      while (p && is_attached_kind(p)) {
        Drosa before = p->xback;
        removevc_with_undo(p);
        p = before;
      }
      return node;
    }
    case UNARY_SKIP_FORWARD: {
      Drosa p = node;
      while (p && is_attached_kind(p)) p = p->xnext;
      return p;
    }
    case UNARY_SKIP_BACK: {
      Drosa p = node;
      while (p && is_attached_kind(p)) p = p->xback;
      return p;
    }
    default:
      REPORT_ERROR(4, "Illegal operation for unary_node()!");
      return NIL;
  }
}

// ---- Measures and beaming ----------------------------------------------------------------

void get_timesig_beaming(Drosa timesig, int32_t* group, int32_t* sub) {
  *group = *sub = 0;
  if (!timesig || effective_kind(timesig) != TIMESIG) {
    REPORT_ERROR(4, "bad call to get_timesig_beaming");
    return;
  }
  const int32_t beats = timesig->get(xbpm);
  switch (timesig->get(xbeat)) {
    case 1:
      *group = 65536, *sub = 32768;
      break;
    case 2:
      *group = 32768, *sub = 16384;
      break;
    case 4:
      *group = 16384, *sub = 8192;
      break;
    case 8:
      *group = beats % 3 == 0 ? 24576 : beats % 2 == 0 ? beats * 4096 : beats * 8192;
      *sub = 8192;
      break;
    case 16:
      *group = beats == 12 ? 16384 : beats % 3 == 0 ? 12288 : beats * 2048;
      *sub = 4096;
      break;
    case 32:
    case 64:
      *group = 8192, *sub = 2048;
      break;
    default:
      break;
  }
}

namespace {

constexpr int MEASURES_PER_SYSTEM = 4;  // of a new piece
constexpr int SYSTEMS_PER_PAGE = 6;

struct RestValue {
  int lgval, dots;
};

// The rests that fill one measure of `beats` beats of value 2^(lgval - 1): one rest per beat,
// joined into dotted rests of three beats in triple and eighth-note time, else into the
// longest value that fits, up to a whole.
std::vector<RestValue> measure_rests(int beats, int beat_value, int lgval) {
  const int group = beat_value == 8 || beats == 3 ? 3 : 2;
  std::vector<RestValue> rests;
  for (int left = beats; left > 0;) {
    if (group == 3 && left >= 3) {
      rests.push_back({lgval - 1, 1});
      left -= 3;
    } else if (group == 2) {
      int covered = 1, value = lgval;
      while (covered * 2 <= left && value > 1) covered *= 2, --value;
      rests.push_back({value, 0});
      left -= covered;
    } else {
      rests.push_back({lgval, 0});
      left -= 1;
    }
  }
  return rests;
}

Drosa make_rest(int v, RestValue r) {
  Drosa n = newDrosa(NOTE, 0);
  n->set(xrest, 1);
  n->set(xendvcd, 1);
  n->set(xdir, 3);
  n->set(xacc, 3);  // natural: no accidental, as entered notes have
  n->set(xtupl, 1);
  n->set(xintimeof, 4);
  n->set(xvolume, 100);
  n->set(xlgval, r.lgval);
  n->set(xdots, r.dots);
  n->set(xvoice, v);
  return n;
}

// Appends the measures to voice v before its final ENDSYST.
void append_measures(int v, int32_t count, const std::vector<RestValue>& rests) {
  Drosa end = piece_start[v];
  while (end->xnext) end = end->xnext;
  Drosa first_note = NIL, last_note = NIL;
  int systems = 0;
  for (int32_t m = 0; m < count; ++m) {
    if (m > 0 && m % MEASURES_PER_SYSTEM == 0) {
      Drosa brk = newDrosa(ENDSYST, current_ncontext);
      if (++systems == SYSTEMS_PER_PAGE) {
        brk->set(xendpage, 1);
        systems = 0;
      }
      link_after(brk, end->xback);
    }
    for (const RestValue& r : rests) {
      last_note = make_rest(v, r);
      link_after(last_note, end->xback);
      if (!first_note) first_note = last_note;
    }
    link_after(newDrosa(BAR, 0), end->xback);
  }
  if (first_note) set_default_performance(first_note, last_note, 0, 0, 0, 42, 0);
}

}  // namespace

int make_measures(Drosa timesig, int new_piece, char* part_name) {
  if (part_name) part_name[0] = 0;
  if (current_ncontext != 1) {
    REPORT_ERROR(2, "Measure insertion is possible only from notation context '%s'.",
                 ncontext_name_of(1));
    return 0;
  }
  if (!new_piece) {
    REPORT_ERROR(4, "make_measures: only the measures of a new piece are made here");
    return 0;
  }
  const int beats = timesig ? timesig->get(xbpm) : 4,
            beat_value = timesig ? timesig->get(xbeat) : 4;
  int lgval = 1;
  while (lgval <= 7 && (1 << (lgval - 1)) < beat_value) ++lgval;
  if (beats < 1 || beats > 100 || lgval > 7 || (1 << (lgval - 1)) != beat_value) {
    REPORT_ERROR(4, "Insert measures: beat value must be a power of two");
    return 0;
  }
  int32_t count = 0;
  if (!number_dialog_long("Number of measures:", 4, 1, 900, &count)) return 0;
  const std::vector<RestValue> rests = measure_rests(beats, beat_value, lgval);
  insertion_point = NIL;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
    if (piece_start[v]) append_measures(v, count, rests);
  mark_piece_changed(1, 0, 0);
  return 1;
}

void update_SDRAG_on_page(Drosa node) {
  if (!node) return;
  Drosa start = node->xback;
  while (start &&
         !(effective_kind(start) == ENDSYST && (start->get(xendpage) || start->get(xstartpiece))))
    start = start->xback;
  bool removed = false;
  for (Drosa p = start ? start->xnext : node; p;) {
    Drosa next = p->xnext;
    int k = effective_kind(p);
    if (k == ENDSYST && (p->get(xendpage) || p->get(xendpiece))) break;
    if (k == SDRAG) {
      removevc_with_undo(p);
      removed = true;
    }
    p = next;
  }
  if (removed) mark_piece_changed(1, 1, current_ncontext);
}
