// hit_test.cpp: the GE list as the program's picture of what is where on the page: the
// element nearest to a click and the note it was drawn for, and whether an element is the one
// an annotation draws.
//
// A character or text is reached at its two ends on its base line, a line or curve at its two
// ends. Texts are measured in the same fonts and the same port as drawing measures them.
#include "graphics/hit_test.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "annotations/anno_services.h"
#include "graphics/GE.h"
#include "graphics/ge_fields.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

// Half the city-block distance, each half truncated toward zero, never above the distance
// that stands for none.
int32_t half_city(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  const int64_t d = std::llabs(x1 - x2) / 2 + std::llabs(y1 - y2) / 2;
  return int32_t(std::min<int64_t>(d, NO_GE_DISTANCE));
}

// The list a click is looked up in: the current one once complete, the old one while the
// current one is being built.
Drosa list_to_search() {
  if (GE_list_complete && GE_head) return GE_head;
  if (old_GE_head) return old_GE_head;
  REPORT_ERROR(4, "Call to find_nearest_GE without any Graphics Object lists");
  return GE_head;
}

// The text width in layout units of the run closed by a GE_CHAR (its one character when
// lone): the width measured at its point size is in points, ten layout units each.
int32_t text_width_units(Drosa element) {
  return int32_t(std::lround(10 * measure_GE_text(element).width));
}

// The text of an annotation's own style run: the TEXT nodes after its TPARAM.
std::string annotation_run_text(Drosa tparam) {
  std::string text;
  for (Drosa p = tparam->xnext; p; p = p->xnext) {
    if (p->xkind == PDATA || p->xkind == PVIEW) continue;
    if (p->xkind != TEXT) break;
    text += p->get(xtext);
  }
  return text;
}

bool same_point(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { return x1 == x2 && y1 == y2; }

int line_matches(Drosa line, Drosa anno, Drosa pdata) {
  if (anno->xkind != LINE || anno->get(xcurve)) return 0;
  const int32_t x1 = line->get(xge_x1), y1 = line->get(xge_y1);
  return same_point(x1, y1, pdata->get(xpagex1), pdata->get(xpagey1)) &&
         same_point(line->get(xge_x2), line->get(xge_y2), pdata->get(xpagex2),
                    pdata->get(xpagey2)) &&
         same_point(line->get(xgl_clipx1), line->get(xgl_clipy1), x1 + anno->get(xc1x),
                    y1 + anno->get(xc1y)) &&
         same_point(line->get(xgl_clipx2), line->get(xgl_clipy2), x1 + anno->get(xc2x),
                    y1 + anno->get(xc2y)) &&
         line->get(xgl_width) == anno->get(xlinewidth) &&
         line->get(xgl_dash) == anno->get(xdashlth) && line->get(xgl_gap) == anno->get(xgaplth) &&
         line->get(xdrawmode) == anno->get(xline_drawmode) &&
         line->get(xgl_color) == anno->get(xline_color);
}

int curve_matches(Drosa curve, Drosa anno, Drosa pdata) {
  if (anno->xkind != LINE || !anno->get(xcurve)) return 0;
  const int32_t x1 = curve->get(xge_x1), y1 = curve->get(xge_y1);
  return same_point(x1, y1, pdata->get(xpagex1), pdata->get(xpagey1)) &&
         same_point(curve->get(xge_x2), curve->get(xge_y2), pdata->get(xpagex2),
                    pdata->get(xpagey2)) &&
         same_point(curve->get(xgv_c1x), curve->get(xgv_c1y), x1 + anno->get(xc1x),
                    y1 + anno->get(xc1y)) &&
         same_point(curve->get(xgv_c2x), curve->get(xgv_c2y), x1 + anno->get(xc2x),
                    y1 + anno->get(xc2y)) &&
         curve->get(xgv_dash) == anno->get(xdashlth) && curve->get(xgv_gap) == anno->get(xgaplth) &&
         curve->get(xdrawmode) == anno->get(xline_drawmode) &&
         curve->get(xgv_color) == anno->get(xline_color);
}

int text_matches(Drosa element, Drosa anno, Drosa pdata) {
  if (anno->xkind != TPARAM) return 0;
  std::string drawn;
  Drosa attributes = element;
  GE_string_text(&drawn, &attributes);
  return drawn == annotation_run_text(anno) &&
         same_point(attributes->get(xgc_x), attributes->get(xgc_y), pdata->get(xpagex1),
                    pdata->get(xpagey1)) &&
         font_from_code(anno->get(xtextfont)) == attributes->get(xgc_font) &&
         attributes->get(xgc_cset) == anno->get(xcharset) &&
         attributes->get(xgc_size) == anno->get(xtextsize) &&
         attributes->get(xgc_style) == anno->get(xtextface) &&
         attributes->get(xdrawmode) == anno->get(xtext_drawmode) &&
         attributes->get(xgc_color) == anno->get(xtext_color);
}

}  // namespace

void find_nearest_GE(int32_t x, int32_t y, Drosa* element, Drosa* owner, int32_t* distance) {
  Drosa best = NIL, best_owner = NIL;
  int32_t best_distance = NO_GE_DISTANCE;
  Drosa head = list_to_search();
  Drosa current_owner = NIL;
  int32_t steps = 0;
  for (Drosa p = head ? head->xnext : NIL; p && steps <= total_Drosa_count; p = p->xnext, ++steps) {
    const int kind = p->xkind;
    if (kind == NOTEPTR) {
      Drosa node = p->get(xnoteptr);
      current_owner = is_plotted_note(node) ? node : NIL;
      continue;
    }
    if (!current_owner || (kind != GE_CHAR && kind != GE_LINE && kind != GE_CURVE)) continue;
    if (p->get(xganno) || p->get(xgremove) || p->get(xgscreen)) continue;
    const int32_t x1 = p->get(kind == GE_CHAR ? xgc_x : xge_x1);
    const int32_t y1 = p->get(kind == GE_CHAR ? xgc_y : xge_y1);
    const int32_t x2 = kind == GE_CHAR ? x1 : p->get(xge_x2);
    const int32_t y2 = kind == GE_CHAR ? y1 : p->get(xge_y2);
    if (x1 == ADJACENT_TEXT || y1 == ADJACENT_TEXT || x2 == ADJACENT_TEXT || y2 == ADJACENT_TEXT) {
      REPORT_ERROR(4, "ADJACENT GE without ganno set in find_nearest_GE");
      continue;
    }
    const int32_t first = half_city(x1, y1, x, y);
    if (first < best_distance) best = p, best_owner = current_owner, best_distance = first;
    // The right end of a text lies on its base line: only a text level with the point to
    // within the best distance so far can come nearer, and only that one is measured.
    if (kind == GE_CHAR && std::llabs(int64_t(y1) - y) / 2 >= best_distance) continue;
    const int32_t second =
        half_city(kind == GE_CHAR ? int64_t(x1) + text_width_units(p) : x2, y2, x, y);
    if (second < best_distance) best = p, best_owner = current_owner, best_distance = second;
  }
  if (element) *element = best;
  if (owner) *owner = best_owner;
  if (distance) *distance = best_distance;
}

Drosa find_GE_under_point(int32_t x, int32_t y, Drosa* owner) {
  Drosa element = NIL, found_owner = NIL;
  find_nearest_GE(x, y, &element, &found_owner, nullptr);
  if (element) {
    VirtualRect box;
    if (element->xkind == GE_CHAR)
      expand_box_by_margin(element->get(xgc_x), element->get(xgc_y),
                           element->get(xgc_x) + text_width_units(element), element->get(xgc_y),
                           &box);
    else
      expand_box_by_margin(element->get(xge_x1), element->get(xge_y1), element->get(xge_x2),
                           element->get(xge_y2), &box);
    if (x < box.x1 || x > box.x2 || y < box.y1 || y > box.y2) element = found_owner = NIL;
  }
  if (owner) *owner = found_owner;
  return element;
}

int GE_matches_Drosa(Drosa element, Drosa annotation) {
  Drosa pdata = annotation ? annotation->xnext : NIL;
  if (!pdata || pdata->xkind != PDATA) {
    REPORT_ERROR(4, "No PDATA node for GE_matches_Drosa");
    return 0;
  }
  if (element && element->get(xganno)) {
    REPORT_ERROR(4, "Annotation GE passed to GE_matches_Drosa");
    return 0;
  }
  switch (element ? element->xkind : 0) {
    case GE_LINE:
      return line_matches(element, annotation, pdata);
    case GE_CURVE:
      return curve_matches(element, annotation, pdata);
    case GE_CHAR:
      return text_matches(element, annotation, pdata);
    default:
      REPORT_ERROR(4, "Bad GE kind for GE_matches_Drosa");
      return 0;
  }
}

int GE_var(Drosa element) {
  switch (element ? element->xkind : 0) {
    case GE_CHAR:
      return element->get(xgc_var);
    case GE_LINE:
      return element->get(xgl_var);
    case GE_CURVE:
      return element->get(xgv_var);
    default:
      return -1;
  }
}

namespace {

// Which of its owner's printed elements of its variety the element is, counted from 1 in
// list order: what drawing looks the element up by again.
int element_ordinal(Drosa element, Drosa owner) {
  Drosa head = list_to_search();
  const int var = GE_var(element);
  int ordinal = 1;
  bool owned = false;
  int32_t steps = 0;
  for (Drosa e = head ? head->xnext : NIL; e && e != element && steps <= total_Drosa_count;
       e = e->xnext, ++steps) {
    if (e->xkind == NOTEPTR) {
      owned = e->get(xnoteptr) == owner;
      continue;
    }
    if (owned && !e->get(xgscreen) && GE_var(e) == var) ++ordinal;
  }
  return ordinal;
}

void set_pdata_ends(Drosa pdata, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int pstaff) {
  pdata->set(xpagex1, x1);
  pdata->set(xpagey1, y1);
  pdata->set(xpagex2, x2);
  pdata->set(xpagey2, y2);
  pdata->set(xscrx1, x1);
  pdata->set(xscry1, y1);
  pdata->set(xscrx2, x2);
  pdata->set(xscry2, y2);
  pdata->set(xy1pstaff, int8_t(pstaff));
  pdata->set(xy2pstaff, int8_t(pstaff));
}

int32_t offset(int64_t a, int64_t b) {
  return int32_t(std::clamp<int64_t>(a - b, INT32_MIN, INT32_MAX));
}

// A line or curve as a LINE of its own, stored from the owner's reference point.
Drosa line_from_element(Drosa element, Drosa owner) {
  const bool curve = element->xkind == GE_CURVE;
  Drosa line = newDrosa(LINE, int8_t(current_ncontext));
  Drosa pdata = newDrosa(PDATA, int8_t(current_ncontext));
  link_after(pdata, line);
  line->set(xcurve, curve ? 1 : 0);
  line->set(xline_drawmode, element->get(xdrawmode));
  const int pstaff = std::max<int>(0, element->get(xge_pstaff1));
  const int32_t x1 = element->get(xge_x1), y1 = element->get(xge_y1);
  const int32_t x2 = element->get(xge_x2), y2 = element->get(xge_y2);
  set_pdata_ends(pdata, x1, y1, x2, y2, pstaff);
  int32_t rx = 0, ry = 0;
  anno_refloc(owner, line, &rx, &ry, pstaff + 1);
  line->set(xstartx, offset(x1, rx));
  line->set(xstarty, offset(y1, ry));
  line->set(xendx, offset(x2, x1));
  line->set(xendy, offset(y2, y1));
  if (curve) {
    line->set(xc1x, offset(element->get(xgv_c1x), x1));
    line->set(xc1y, offset(element->get(xgv_c1y), y1));
    line->set(xc2x, offset(element->get(xgv_c2x), x1));
    line->set(xc2y, offset(element->get(xgv_c2y), y1));
    line->set(xfattermid, element->get(xgv_fill));
    line->set(xdashlth, element->get(xgv_dash));
    line->set(xgaplth, element->get(xgv_gap));
    line->set(xline_color, element->get(xgv_color));
  } else {
    line->set(xc1x, offset(element->get(xgl_clipx1), x1));
    line->set(xc1y, offset(element->get(xgl_clipy1), y1));
    line->set(xc2x, offset(element->get(xgl_clipx2), x1));
    line->set(xc2y, offset(element->get(xgl_clipy2), y1));
    line->set(xlinewidth, element->get(xgl_width));
    line->set(xdashlth, element->get(xgl_dash));
    line->set(xgaplth, element->get(xgl_gap));
    line->set(xline_color, element->get(xgl_color));
  }
  line->set(xline_eocvar, GE_var(element));
  return line;
}

// A character or text run as a text of its own: a TPARAM and its PDATA followed by the
// run's characters in TEXT nodes; *last gets the chain's last node.
Drosa text_from_element(Drosa element, Drosa owner, Drosa* last) {
  std::string text;
  Drosa attributes = element;
  GE_string_text(&text, &attributes);
  const int context = current_ncontext;
  Drosa tparam = newDrosa(TPARAM, int8_t(context));
  Drosa pdata = newDrosa(PDATA, int8_t(context));
  link_after(pdata, tparam);
  tparam->set(xtextfont, int16_t(code_from_font(attributes->get(xgc_font))));
  tparam->set(xcharset, attributes->get(xgc_cset));
  tparam->set(xtextsize, attributes->get(xgc_size));
  tparam->set(xtextface, attributes->get(xgc_style));
  tparam->set(xpslayout, attributes->get(xgc_layout));
  tparam->set(xtext_drawmode, attributes->get(xdrawmode));
  tparam->set(xtext_color, attributes->get(xgc_color));
  // Measured for the staff it stands on: drawn at its own size there.
  if (Drosa nt = owner->xnext; nt && nt->xkind == NTDATA)
    tparam->set(xtext_stsize, uint8_t(std::clamp(nt->get(xstsize) / 10, 0, 15)));
  tparam->set(xeocvar, GE_var(element));
  Drosa tail = pdata;
  if (Drosa chars = make_text_nodes(text, context, last)) {
    link_chain_after(chars, *last, pdata);
    tail = *last;
  }
  *last = tail;
  const int pstaff = std::max<int>(0, attributes->get(xgc_pstaff));
  const int32_t x = attributes->get(xgc_x), y = attributes->get(xgc_y);
  int32_t rx = 0, ry = 0;
  anno_refloc(owner, tparam, &rx, &ry, pstaff + 1);
  tparam->set(xtextx, offset(x, rx));
  tparam->set(xtexty, offset(y, ry));
  const int32_t width = measure_anno_text(owner, tparam, nullptr);
  set_pdata_ends(pdata, x, y, offset(x, -int64_t(width)), y, pstaff);
  return tparam;
}

}  // namespace

Drosa move_GE_to_Drosa(Drosa element, Drosa owner) {
  const int kind = element ? element->xkind : 0;
  if (kind != GE_CHAR && kind != GE_LINE && kind != GE_CURVE) {
    REPORT_ERROR(4, "Bad kind of GE for move_GE_to_Drosa %0lx %hd %hd",
                 (unsigned long)element.handle(), short(kind), short(owner ? owner->xkind : 0));
    return NIL;
  }
  if (element->get(xganno)) REPORT_ERROR(4, "Annotation error in move_GE_to_Drosa");
  if (element->get(xgscreen))
    REPORT_ERROR(4, "Screen-version annotation given to move_GE_to_Drosa");
  if (kind == GE_CHAR &&
      (element->get(xgc_x) == ADJACENT_TEXT || element->get(xgc_y) == ADJACENT_TEXT)) {
    REPORT_ERROR(4, "Illegal occurrance of ADJACENT GE in GEToDrosa");
    return NIL;
  }
  if (!owner || owner->xkind != NOTE || !owner->xback) return NIL;
  const int ordinal = element_ordinal(element, owner);
  Drosa anno = NIL, last = NIL;
  if (kind == GE_CHAR) {
    anno = text_from_element(element, owner, &last);
    anno->set(xeocord, uint8_t(std::min(ordinal, 255)));
  } else {
    anno = line_from_element(element, owner);
    last = anno->xnext;
    anno->set(xline_ord, std::min(ordinal, 127));
  }
  insertvc_with_undo(anno, last, owner->xback);
  mark_piece_changed(1, 1, current_ncontext);
  mark_string_chain(element);
  return anno;
}
