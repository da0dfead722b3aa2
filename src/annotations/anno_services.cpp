// anno_services.cpp: annotation classes.
//
// The model annotations of each class, whose justification, boxing and lock bits a new
// class would copy, do not exist yet: setting a class records only the class.
#include "annotations/anno_services.h"

#include "annotations/anno_fields.h"
#include "app/app_globals.h"
#include "graphics/ge_services.h"
#include "model/error_report.h"

const NodeField* const anno_node_fields[] = {
    &xtextx,          &xtexty,     &xadjacent, &xclassify, &xfattermid,
    &xline_fromstaff, &xlinewidth, &xline_ord, &xmetaline, &xline_eocvar,
};
const int anno_node_field_count = sizeof anno_node_fields / sizeof anno_node_fields[0];

void anno_set_class(int cls, int /*flag*/, int /*size*/, Drosa node, int /*mode*/) {
  if (!node || node->xkind != TPARAM || cls < 0 || cls > 24) {
    REPORT_ERROR(4, "Bad call to anno_set_class: class %d", cls);
    return;
  }
  node->set(xclassify, uint8_t(cls));
}

void param_annos_to_nodes(Drosa /*note*/) {
  // Command annotations are not kept yet, so there is nothing to re-create.
}

void param_nodes_to_annos(Drosa /*note*/) {
  // Command annotations are not kept yet, so there is nothing to rewrite.
}

int pixels_to_tenths(int size) {
  double zoom = zoom_factor > 0 ? zoom_factor : 10.0;  // no zoom set yet: the standard one
  return int(size * 10.0 / zoom + 0.5);
}

void end_anno_selection(int /*a*/, int /*b*/) { MODE = MUSIC_MODE; }

void delete_marked_annos(Drosa /*node*/) {
  // Annotations cannot be marked for deletion yet.
}
