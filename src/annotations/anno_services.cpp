// anno_services.cpp: annotation classes, the text of an annotation, and the least of the
// annotation modes that the rest of the program needs.
//
// The model annotations of each class, whose justification, boxing and lock bits a new
// class would copy, do not exist yet: setting a class records only the class.
#include "annotations/anno_services.h"

#include "annotations/anno_fields.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

const NodeField* const anno_node_fields[] = {
    &xtextx,      &xtexty,          &xtextfont,  &xcharset,  &xtextsize,  &xtextface,
    &xfromstaff,  &xadjacent,       &xhidden,    &xdefault,  &xignore,    &xclassify,
    &xfattermid,  &xline_fromstaff, &xlinewidth, &xline_ord, &xmetaline,  &xline_eocvar,
    &xtext_color, &xline_color,     &xjustified, &xboxed,    &xrelativex, &xrelativey,
    &xstyleref,   &xstartx,         &xstarty,    &xendx,     &xendy,      &xline_relx,
    &xline_rely,  &xline_styleref,  &xc1x,       &xc1y,      &xc2x,       &xc2y,
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

void end_anno_selection(int /*a*/, int /*b*/) { MODE = MUSIC_MODE; }

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
