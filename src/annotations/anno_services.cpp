// anno_services.cpp: annotation classes, the text of an annotation and its measured width,
// and the least of the annotation modes that the rest of the program needs.
//
// The model annotations of each class, whose justification, boxing and lock bits a new
// class would copy, do not exist yet: setting a class records only the class.
#include "annotations/anno_services.h"

#include <algorithm>
#include <string>

#include "annotations/anno_fields.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

const NodeField* const anno_node_fields[] = {
    &xtextx,
    &xtexty,
    &xtextfont,
    &xcharset,
    &xtextsize,
    &xtextface,
    &xfromstaff,
    &xadjacent,
    &xhidden,
    &xdefault,
    &xignore,
    &xclassify,
    &xfattermid,
    &xline_fromstaff,
    &xlinewidth,
    &xline_ord,
    &xmetaline,
    &xline_eocvar,
    &xstartx,
    &xstarty,
    &xendx,
    &xendy,
    &xdashlth,
    &xgaplth,
    &xcurve,
    &xc1x,
    &xc1y,
    &xc2x,
    &xc2y,
    &xjustified,
    &xpagemargin,
    &xleavespace,
    &xfooter,
    &xtext_color,
    &xline_color,
    &xtext_drawmode,
    &xno_size_adjust,
    &xkeep_hyphen,
    &xkeep_underline,
    &xpslayout,
    &xspec_underline,
    &xfing,
    &xbackslash,
    &xboxed,
    &xtext_stsize,
    &xeocord,
    &xeocvar,
    &xsuper,
    &xexpand,
    &xrelativey,
    &xrelativex,
    &xstyle_reference,
    &xline_eachsys,
    &xline_eachpage,
    &xline_everypart,
    &xline_drawmode,
    &xline_pagemargin,
    &xline_relx,
    &xline_rely,
    &xline_styleref,
};
const int anno_node_field_count = sizeof anno_node_fields / sizeof anno_node_fields[0];

void anno_set_class(int cls, int /*flag*/, int /*size*/, Drosa node, int /*mode*/) {
  if (!node || node->xkind != TPARAM || cls < 0 || cls > 24) {
    REPORT_ERROR(4, "Bad call to anno_set_class: class %d", cls);
    return;
  }
  node->set(xclassify, uint8_t(cls));
}

int pixels_to_tenths(int size) {
  double zoom = zoom_factor > 0 ? zoom_factor : 10.0;  // no zoom set yet: the standard one
  return int(size * 10.0 / zoom + 0.5);
}

void end_anno_selection(int mode, int /*redraw*/) {
  if (mode < MUSIC_MODE || mode > CURVE_MODE) mode = MUSIC_MODE;
  // The selected annotation stays only in the mode of its kind.
  if (Drosa anno = current_anno) {
    const bool fits =
        (mode == TEXT_MODE && anno->xkind == TPARAM) ||
        (mode >= LINE_MODE && anno->xkind == LINE && anno->get(xcurve) == (mode == CURVE_MODE));
    if (!fits) {
      anno_highlight(anno, 1);
      current_anno = NIL;
    }
  }
  MODE = int16_t(mode);
  if (mode >= LINE_MODE && line_template) line_template->set(xcurve, mode == CURVE_MODE ? 1 : 0);
}

void delete_marked_annos(Drosa /*node*/) {
  // Annotations cannot be marked for deletion yet.
}

// ---- Text annotations ----------------------------------------------------------------------

void anno_anchor(char* buffer, int size, Drosa tparam) {
  if (size <= 0) return;
  int used = 0;
  buffer[0] = 0;
  if (!tparam || tparam->xkind != TPARAM) return;
  for (Drosa p = tparam->xnext; p; p = p->xnext) {
    if (p->xkind == TPARAM && p->get(xadjacent)) continue;
    if (p->xkind == PDATA || p->xkind == PVIEW) continue;
    if (p->xkind != TEXT) break;
    std::string chars = p->get(xtext);
    for (size_t i = 0; i < chars.size() && used < size - 1; ++i) buffer[used++] = chars[i];
  }
  buffer[used] = 0;
}

// ---- Measuring an annotation's text -----------------------------------------------------------

namespace {

// Page units of a width measured in pixels at the current zoom.
int32_t page_units(double pixels) {
  double zoom = zoom_factor > 0 ? zoom_factor : 10.0;
  return int32_t(pixels * zoom + 0.5);
}

// The text of one style run: the TEXT nodes after its TPARAM.
std::string run_text(Drosa tparam) {
  std::string text;
  for (Drosa p = tparam->xnext; p && (p->xkind == TEXT || p->xkind == PDATA || p->xkind == PVIEW);
       p = p->xnext)
    if (p->xkind == TEXT) text += p->get(xtext);
  return text;
}

}  // namespace

int32_t measure_anno_text(Drosa /*note*/, Drosa tparam, AnnoTextMeasure* out) {
  AnnoTextMeasure m;
  if (tparam && tparam->xkind == TPARAM) {
    Port* saved = platform_current_port();
    platform_set_port(offscreen_port());
    double width = 0;
    for (Drosa run = tparam; run; run = run->xnext) {
      if (run->xkind == TEXT || run->xkind == PDATA || run->xkind == PVIEW) continue;
      if (run->xkind != TPARAM || (run != tparam && !run->get(xadjacent))) break;
      int16_t code = run->get(xtextfont);
      m.music_font |= code >= -3 && code <= -1;
      text_font(font_from_code(code));
      text_face(run->get(xtextface));
      text_size(pixels_to_tenths(run->get(xtextsize)));
      m.max_size = std::max<int16_t>(m.max_size, run->get(xtextsize));
      width += string_width(run_text(run));
      FontMetrics metrics = get_font_metrics();
      m.ascent = std::max<int16_t>(m.ascent, int16_t(page_units(metrics.ascent)));
      m.descent = std::max<int16_t>(m.descent, int16_t(page_units(metrics.descent)));
      m.leading = std::max<int16_t>(m.leading, int16_t(page_units(metrics.leading)));
      m.pad = int16_t(page_units(string_width(" ")));
    }
    m.width = page_units(width);
    platform_set_port(saved);
  }
  if (out) *out = m;
  return m.width;
}

// No annotation is marked to repeat at each system or page yet: there are no copies to make
// or delete.
Drosa repeat_annos_at_system(Drosa node, int /*make*/) { return node; }

void repeat_annos_at_page(Drosa /*endsyst*/, int /*make*/) {}
