// drawanno.cpp: the annotation passes of the page formatter.
//
// Annotations are not drawn yet, with one exception: a line annotation that runs from an earlier
// system of the page to a later one is carried across each system between by a mid-line mark,
// which the first pass puts before the voice's first note, draws as a plain line across the
// staff and removes again.
#include <algorithm>

#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"

namespace {

bool visible_segment(Drosa node, int role) {
  return node && effective_kind(node) == LINE && node->get(xline_eocvar) == 0 &&
         node->get(xline_ord) == role;
}

bool same_line(Drosa a, Drosa b) {
  return a->get(xstarty) == b->get(xstarty) && a->get(xendy) == b->get(xendy);
}

// The ENDLINE that belongs to a BEGLINE: the first one after it with the same heights, when
// the first BEGLINE with those heights before that ENDLINE is this one.
Drosa line_partner(Drosa begline) {
  Drosa end = NIL;
  for (Drosa p = begline->xnext; p && !end; p = p->xnext)
    if (visible_segment(p, LINE_END) && same_line(p, begline)) end = p;
  if (!end) return NIL;
  for (Drosa p = end->xback; p; p = p->xback)
    if (visible_segment(p, LINE_BEGIN) && same_line(p, begline)) return p == begline ? end : NIL;
  return NIL;
}

// layout_lines (least): 1 when the BEGLINE's ENDLINE lies beyond a visible ENDSYST after the
// system's first note, so that the line crosses the whole system; 0 for an ENDLINE before it.
int layout_lines(Drosa begline, Drosa first_note) {
  Drosa end = line_partner(begline);
  bool past_first = false, crossed = false;
  for (Drosa p = begline->xnext; end && p; p = p->xnext) {
    if (p == end) return past_first && crossed;
    if (p == first_note)
      past_first = true;
    else if (past_first && effective_kind(p) == ENDSYST)
      crossed = true;
  }
  return 0;
}

// The voice's first note in the system's print chains.
Drosa first_chained_note(int v) {
  for (Drosa p = voice_data[v].system_start; p && p != voice_data[v].system_end; p = p->xnext)
    if (is_visible_note(p)) return p;
  return NIL;
}

// Step 2: a mark before each voice's first note for every line begun earlier on the page
// that ends after this system. Lines begun on earlier pages are not looked for yet.
void insert_midline_marks() {
  for (int v = 0; v < voice_count; ++v) {
    if (voice_not_shown(v) || voice_list_empty(v)) continue;
    Drosa first = first_chained_note(v);
    if (!first) continue;
    for (Drosa p = page_start[v]; p && p != voice_data[v].system_start; p = p->xnext)
      if (visible_segment(p, LINE_BEGIN) && layout_lines(p, first)) insert_resizing(p, first);
  }
}

// draw_LINE (least, for mid-line marks): a plain line from the chord's head x and its staff's
// middle line, offset by the line's start and end; the PDATA takes its rectangle.
void draw_midline_mark(Drosa line, Drosa note, int pstaff) {
  const int32_t x1 = note->xnext->get(xhdx) + line->get(xstartx);
  const int32_t y1 = staff_data[pstaff].middle_y + line->get(xstarty);
  const int32_t x2 = x1 + line->get(xendx), y2 = y1 + line->get(xendy);
  Drosa pdata = line->xnext;
  if (pdata && pdata->xkind == PDATA) {
    pdata->set(xpagex1, x1);
    pdata->set(xpagey1, y1);
    pdata->set(xpagex2, x2);
    pdata->set(xpagey2, y2);
    pdata->set(xy1pstaff, int8_t(pstaff));
    pdata->set(xy2pstaff, int8_t(pstaff));
  }
  GEline(0, x1, y1, pstaff, 0, x2, y2, pstaff, 0, line->get(xlinewidth), line->get(xdashlth),
         line->get(xgaplth), 0, 0, 0, 0, 0, GANNO_BOTH, note);
}

// Step 4.4: the mid-line marks attached before a chord's notes are drawn and removed.
void draw_chord_midlines(Drosa last, int pstaff) {
  Drosa first = chord_first_note(last);
  for (Drosa n = first; n; n = n->xnext->get(xpnext)) {
    Drosa p = n->xback;
    while (p && p->xkind != NOTE && p->xkind != NTDATA && p->xkind != CDDATA3 &&
           effective_kind(p) != ENDSYST) {
      Drosa before = p->xback;
      if (visible_segment(p, LINE_MIDDLE)) {
        draw_midline_mark(p, n, pstaff);
        check_PDATA_after_MIDLINE(&p);  // leaves p on the node before the mark
      }
      p = before;
    }
    if (n == last) break;
  }
}

}  // namespace

// draw_voice_annos: for now only the mid-line marks of the system: put in, drawn, removed.
// Reads:  voice_data, page_start, the system's chains, staff_data, the voices' LINEs.
// Writes: the voice lists (marks and their PDATA, in and out again), the GE list.
// Failure: polls for an interrupt at every staff chord: 0 when told to stop, else 1.
int32_t draw_voice_annos() {
  insert_midline_marks();
  for (int p = std::max(first_pstaff, 0); p <= std::min(last_pstaff, MAX_PSTAVES - 1); ++p) {
    for (Drosa head : staff_data[p].ppnt) {
      Drosa n = head ? head->xnext->get(xpnext) : NIL;
      for (; n && n->xnext && n->xnext->xkind == NTDATA; n = n->xnext->get(xpnext)) {
        if (!n->xnext->get(xendscd)) continue;
        if (format_interrupted()) return 0;
        draw_chord_midlines(n, p);
      }
    }
  }
  return 1;
}

// Draws nothing yet: texts of the staves have no drawing.
int32_t draw_pstaff_texts() { return 1; }

// Draws nothing yet: line annotations of the staves have no drawing.
int32_t draw_pstaff_annos() { return 1; }

// There is no in-place text editor yet, so there is no caret to blink.
void text_idle() {}
