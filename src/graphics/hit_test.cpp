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

// Least until annotations can stand for music elements: the element keeps its place.
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
  REPORT_ERROR(2, "%s", "Moving a drawn element into an annotation is not available yet.");
  return NIL;
}
