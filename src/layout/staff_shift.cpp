// staff_shift.cpp: a formatted page whose staves only move apart (or closer) is moved rather
// than formatted again: its staves' middle lines, what the page drew, and the heights its
// layout records keep (note heads, chords' extents, annotations' boxes, lines of lyrics).
#include "layout/staff_shift.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

// How near the paper's edge an annotation may stand and still follow its staff.
constexpr int64_t PAPER_EDGE = 100;

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

bool shown(int v) { return !voice_not_shown(v) && page_start[v]; }

bool ends_page(Drosa node) { return effective_kind(node) == ENDSYST && node->get(xendpage); }

// Moves a height; an unset one (not drawn, or an extent not yet reached) stays so. Inlined
// where it is called: the field's place is then known there.
[[gnu::always_inline]] inline void move(Drosa node, const Field<int32_t>& y, int32_t dy) {
  const int32_t v = node->get(y);
  if (v != NOT_DRAWN && v != EXTENT_HIGH_START && v != EXTENT_LOW_START) node->set(y, v + dy);
}

// Visits every note of the page's print chains with its staff.
template <typename Visit>
bool each_chained_note(Visit visit) {
  for (int p = 0; p < pstaff_count && p < MAX_PSTAVES; ++p)
    for (Drosa head : staff_data[p].ppnt) {
      if (!head || !head->xnext) continue;
      for (Drosa n = head->xnext->get(xpnext); is_NOTE(n) && n->xnext; n = n->xnext->get(xpnext))
        if (!visit(n, p)) return false;
    }
  return true;
}

// Visits every annotation record of the page.
template <typename Visit>
bool each_pdata(Visit visit) {
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    for (Drosa q = page_start[v]->xnext; q && !ends_page(q); q = q->xnext)
      if (effective_kind(q) == PDATA && !visit(q)) return false;
  }
  return true;
}

// Moves the heads and chord extents of the notes, each with its staff (p of `notes`) by dy[p].
void move_note_records(const std::vector<std::pair<Drosa, int>>& notes,
                       const std::vector<int32_t>& dy) {
  const int staves = std::min<int>(pstaff_count, int(dy.size()));
  std::vector<int> system_first(static_cast<size_t>(staves)), system_last(system_first);
  for (int p = 0; p < staves; ++p)
    system_first[size_t(p)] = staff_data[p].place == 1 || p == 0 ? p : system_first[size_t(p - 1)];
  for (int p = staves - 1; p >= 0; --p)
    system_last[size_t(p)] =
        p + 1 == staves || staff_data[p + 1].place == 1 ? p : system_last[size_t(p + 1)];
  for (const auto& [n, p] : notes) {
    if (p < 0 || p >= staves) continue;
    Drosa nt = note_ntdata(n);
    move(nt, xhdy, dy[size_t(p)]);
    if (!nt->get(xendscd)) continue;
    Drosa cd = nt->xnext;
    if (!cd || cd->xkind != CDDATA) continue;
    for (const auto* y : {&xuphiy, &xuploy, &xdownhiy, &xdownloy}) move(cd, *y, dy[size_t(p)]);
    // What stands before a chord is kept between its system's outer staves.
    move(cd, xprehiy, dy[size_t(system_first[size_t(p)])]);
    move(cd, xpreloy, dy[size_t(system_last[size_t(p)])]);
  }
}

// Whether a note drawn on the staff beside its own moves as both do.
bool other_staff_note_follows(Drosa n, int p, const std::vector<int32_t>& dy) {
  if (!note_ntdata(n)->get(xother_staff)) return true;
  const int staves = std::min<int>(pstaff_count, int(dy.size()));
  auto valid = [&](int q) { return q >= 0 && q < staves; };
  return (!valid(p - 1) || dy[size_t(p - 1)] == dy[size_t(p)]) &&
         (!valid(p + 1) || dy[size_t(p + 1)] == dy[size_t(p)]);
}

}  // namespace

bool shift_page_staves(const std::vector<int32_t>& dy) {
  const int staves = std::min<int>(pstaff_count, int(dy.size()));
  auto valid = [&](int p) { return p >= 0 && p < staves; };
  auto moves = [&](int p) { return valid(p) && dy[size_t(p)] != 0; };
  // An annotation of a moving staff follows it unless the page places it, or the paper's edge
  // is near enough to have brought it, or to bring it, back onto the paper.
  const int64_t paper_top = layout_page_height();
  auto near_edge = [&](int64_t a, int64_t b) {
    return std::min(a, b) <= PAPER_EDGE || std::max(a, b) >= paper_top - PAPER_EDGE;
  };
  auto pdata_follows = [&](Drosa pd) {
    if (pd->get(xpagex1) == NOT_DRAWN) return true;
    const int p1 = pd->get(xy1pstaff), p2 = pd->get(xy2pstaff);
    if (!valid(p1) || !valid(p2)) return false;
    if (!moves(p1) && !moves(p2)) return true;
    Drosa head = pd->xback;
    if (head && head->xkind == TPARAM && head->get(xfooter)) return false;
    const int64_t y1 = pd->get(xpagey1), y2 = pd->get(xpagey2);
    return !near_edge(y1, y2) && !near_edge(y1 + dy[size_t(p1)], y2 + dy[size_t(p2)]);
  };
  // Texts brought down to stay on the paper would be brought down by another amount.
  for (int p = 0; p < staves; ++p)
    if (moves(p) && layout_hooks.anno_lowered_at_paper_top(p) != 0) return false;
  // What the checks walk to is kept for the moves: the page's voices are walked once.
  std::vector<std::pair<Drosa, int>> notes;  // the chained notes, with their staves
  std::vector<Drosa> drawn;                  // the annotation records drawn on the page
  if (!each_chained_note([&](Drosa n, int p) {
        notes.emplace_back(n, p);
        return other_staff_note_follows(n, p, dy);  // placed by both staves it stands between
      }) ||
      !each_pdata([&](Drosa pd) {
        if (pd->get(xpagex1) != NOT_DRAWN) drawn.push_back(pd);
        return pdata_follows(pd);
      }) ||
      !layout_hooks.ge_shift_staves(dy))
    return false;

  move_note_records(notes, dy);
  for (Drosa pd : drawn) {
    move(pd, xpagey1, dy[size_t(pd->get(xy1pstaff))]);
    move(pd, xpagey2, dy[size_t(pd->get(xy2pstaff))]);
  }
  layout_hooks.anno_shift_lyric_lines(dy);
  for (int p = 0; p < staves; ++p) staff_data[p].middle_y += dy[size_t(p)];
  layout_hooks.ge_redraw_braces(dy);
  return true;
}

bool shift_system_records(const std::vector<int32_t>& dy) {
  std::vector<std::pair<Drosa, int>> notes;
  for (int p = std::max(first_pstaff, 0); p <= last_pstaff && p < MAX_PSTAVES; ++p)
    for (Drosa head : staff_data[p].ppnt) {
      if (!head || !head->xnext) continue;
      for (Drosa n = head->xnext->get(xpnext); is_NOTE(n) && n->xnext; n = n->xnext->get(xpnext)) {
        if (!other_staff_note_follows(n, p, dy)) return false;
        notes.emplace_back(n, p);
      }
    }
  move_note_records(notes, dy);
  return true;
}
