// anno_services.cpp: the fields of the annotation nodes, annotation classes, and the least of
// the annotation modes that the rest of the program needs.
#include "annotations/anno_services.h"

#include "annotations/anno_fields.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

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
    &xeachsys,
    &xeverypart,
    &xeachpage,
};
const int anno_node_field_count = sizeof anno_node_fields / sizeof anno_node_fields[0];

int pixels_to_tenths(int size) {
  double zoom = zoom_factor > 0 ? zoom_factor : 10.0;  // no zoom set yet: the standard one
  return int(size * 10.0 / zoom + 0.5);
}
