// anno_services.cpp: annotation classes.
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
    &xtextx,     &xtexty,    &xadjacent, &xclassify,    &xfattermid,  &xline_fromstaff,
    &xlinewidth, &xline_ord, &xmetaline, &xline_eocvar, &xtext_color, &xline_color,
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

// ---- Text annotations: the least the font table needs ----------------------------------------

namespace {
constexpr int TEXT_NODE_OFFSET = 10;  // node byte of a TEXT's characters
constexpr int TEXT_NODE_CHARS = 21;   // characters before its NUL
constexpr int TPARAM_FONT = 18, TPARAM_SIZE = 21, TPARAM_FACE = 22;  // node bytes
}  // namespace

Drosa make_text_anno(Drosa note, int /*a*/, int /*b*/, int style, const char* text, int classify) {
  if (!note || !note->xback) {
    REPORT_ERROR(4, "Bad call to make_text_anno: no note");
    return NIL;
  }
  Drosa head = text_template ? copyDrosa(text_template) : newDrosa(TPARAM, 0);
  head->xkind = TPARAM;
  head->xcontext = 0;
  if (style >= 1 && style <= PARAM_LAST) {
    const ParamValue& v = param[style].value;
    store_big_endian(head->bytes() + TPARAM_FONT, 2, uint16_t(v.font()));
    head->bytes()[TPARAM_SIZE] = v.size();
    head->bytes()[TPARAM_FACE] = v.style();
  }
  head->set(xclassify, uint8_t(classify));
  link_after(head, note->xback);
  Drosa last = head;
  size_t length = std::strlen(text);
  for (size_t at = 0; at < length || at == 0; at += TEXT_NODE_CHARS) {
    Drosa chars = newDrosa(TEXT, 0);
    std::memcpy(chars->bytes() + TEXT_NODE_OFFSET, text + at, strnlen(text + at, TEXT_NODE_CHARS));
    link_after(chars, last);
    last = chars;
  }
  return head;
}

void delete_anno_nodes(Drosa anno) {
  if (!anno || (anno->xkind != TPARAM && anno->xkind != LINE)) {
    REPORT_ERROR(4, "Bad call to delete_anno_nodes");
    return;
  }
  bool text = anno->xkind == TPARAM;
  Drosa p = anno->xnext;
  destroy_node(anno);
  while (p) {
    int kind = p->xkind;
    bool part = kind == PDATA || kind == PVIEW ||
                (text && (kind == TEXT || (kind == TPARAM && p->get(xadjacent))));
    if (!part) break;
    Drosa next = p->xnext;
    destroy_node(p);
    p = next;
  }
}

void anno_anchor(char* buffer, int size, Drosa tparam) {
  if (size <= 0) return;
  int used = 0;
  buffer[0] = 0;
  if (!tparam || tparam->xkind != TPARAM) return;
  for (Drosa p = tparam->xnext; p; p = p->xnext) {
    if (p->xkind == TPARAM && p->get(xadjacent)) continue;
    if (p->xkind == PDATA || p->xkind == PVIEW) continue;
    if (p->xkind != TEXT) break;
    const char* chars = reinterpret_cast<const char*>(p->bytes() + TEXT_NODE_OFFSET);
    for (int i = 0; i < TEXT_NODE_CHARS && chars[i] && used < size - 1; ++i)
      buffer[used++] = chars[i];
  }
  buffer[used] = 0;
}
