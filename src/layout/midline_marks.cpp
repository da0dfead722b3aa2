// midline_marks.cpp: the marks that carry a line annotation across a whole system between its
// first segment (BEGLINE) and its last (ENDLINE).
//
// A mark is a copy of the line made a MIDLINE, with its own PDATA, put before the system's first
// note by the annotation pass; like the layout records it is remade at every format: the pass
// that draws it removes it again.
#include "layout/midline_marks.h"

#include <algorithm>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "params/param_services.h"

namespace {

// The pstaff of a note in the system's chains, -1 for another node.
int chained_pstaff(Drosa node) {
  Drosa cd = cddatptr(node, 1);
  return cd ? cd->xnext->xnext->get(xpstaff) : -1;
}

void set_page_rect_unplaced(Drosa pdata) {
  for (const auto* f : {&xpagex1, &xpagey1, &xpagex2, &xpagey2, &xscrx1, &xscry1, &xscrx2, &xscry2})
    pdata->set(*f, NOT_DRAWN);
}

}  // namespace

Drosa insert_resizing(Drosa line, Drosa node) {
  if (!line || !node || !node->xback) return NIL;
  Drosa mark = copyDrosa(line);
  link_after(mark, node->xback);
  mark->set(xline_ord, LINE_MIDDLE);
  mark->set(xline_eocvar, 0);
  Drosa pdata = newDrosa(PDATA, 0);
  link_after(pdata, mark);
  set_page_rect_unplaced(pdata);
  // Across the staff, the left end as far in as a line continued from before begins (after
  // the signs at the system's start too) and the right one as far in as a line going on is
  // clipped (the staff ends include the margins).
  const int pstaff = chained_pstaff(node);
  if (pstaff < 0 || pstaff >= MAX_PSTAVES) return mark;
  const StaffData* staff = &staff_data[pstaff];
  const int32_t left = std::max(
      staff_left_x(pstaff, current_page) +
          param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_LEFT_END_OF_STAFF, node, staff),
      staff->signs_end_x);
  const int32_t right =
      staff_right_x(pstaff, current_page) -
      param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, node, staff);
  const int32_t length = right - left;
  if (length < param_length(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, node, staff))
    return mark;
  const int32_t reference =
      node->xnext && node->xnext->xkind == NTDATA ? node->xnext->get(xhdx) : 0;
  mark->set(xstartx, left - reference);
  mark->set(xendx, length);
  mark->set(xc1x, -GE_BOX_MARGIN);
  mark->set(xc2x, length + GE_BOX_MARGIN);
  return mark;
}

void check_PDATA_after_MIDLINE(Drosa* position) {
  Drosa mark = *position;
  if (!mark) return;
  Drosa pdata = mark->xnext;
  if (pdata && pdata->xkind == PDATA)
    destroy_node(pdata);
  else
    REPORT_ERROR(4, "PDATA node missing after MIDLINE");
  *position = mark->xback;
  destroy_node(mark);
}

// remove_resizing: an older resizing line (kind 6) becomes an ordinary one, its clip box x
// ends made 780 and 500 when the second lay left of the first; a MIDLINE mark goes. No line
// annotation is edited in place yet, so there is never a highlight to end first.
int32_t remove_resizing(Drosa line) {
  if (!line || effective_kind(line) != LINE || line->get(xline_eocvar) != 0) {
    REPORT_ERROR(4, "Bad node for remove_resizing");
    return 0;
  }
  const int kind = line->get(xline_ord);
  if (kind == LINE_OLD_RESIZING) {
    line->set(xline_ord, LINE_WHOLE);
    if (line->get(xc2x) < line->get(xc1x)) {
      line->set(xc1x, 780);
      line->set(xc2x, 500);
    }
    return 0;
  }
  if (kind != LINE_MIDDLE) {
    REPORT_ERROR(4, "Bad node for remove_resizing");
    return 0;
  }
  if (line->xnext && line->xnext->xkind == PDATA) destroy_node(line->xnext);
  removevc_with_undo(line);
  return 1;
}
