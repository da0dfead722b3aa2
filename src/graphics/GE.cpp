// GE.cpp: the graphics-element list of the current view: starting a list, the constructors
// the drawing passes append through, reading text runs back, and moving a staff's elements.
//
// Invariants: GE_head is never drawn and the elements start at its xnext; GE_tail is the last
// node; every element is preceded (somewhere before it) by the NOTEPTR of its owner, and a
// NOTEPTR is written only when the owner differs from the one before. A text run is one or
// more GE_STRING nodes closed by a GE_CHAR whose character is 0.
#include "graphics/GE.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>
#include <string>

#include "app/app_services.h"
#include "graphics/ge_fields.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/print.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

namespace {

int clamp_to(int v, int low, int high) { return std::clamp(v, low, high); }

// The colour index stored for a colour argument: -1 is the owner's note colour (15 for an
// owner that is not a note), anything else is taken modulo 16.
int colour_index(int colour, Drosa owner, bool note_rule) {
  if (note_rule && colour == -1)
    return owner && owner->xkind == NOTE ? note_color_index(owner) : 15;
  return colour & 15;
}

// A list to append to. Without one (no view) the head is made here, so that nothing drawn
// is lost and no link is broken.
void ensure_list() {
  if (GE_head && GE_tail) return;
  if (!GE_head) {
    REPORT_ERROR(4, "Graphics element made without a graphics list");
    GE_head = newDrosa(GE_CHAR, 0);
  }
  GE_tail = GE_head;
  while (GE_tail->xnext) GE_tail = GE_tail->xnext;
}

// A new element goes after the tail. The general link is kept for a tail that is not the
// list's end; the common case is linked here, as a fresh element is in no list and changes
// nothing the voice lists count.
void append(Drosa node) {
  if (GE_tail->xnext) {
    link_after(node, GE_tail);
  } else {
    node->xback = GE_tail;
    GE_tail->xnext = node;
  }
  GE_tail = node;
}

// A new element of a kind at the tail, after its owner's NOTEPTR when the owner changed,
// with its drawmode and annotation class set.
Drosa new_element(int kind, int drawmode, int var, Drosa owner) {
  ensure_list();
  if (owner != last_GE_owner) {
    Drosa pointer = newDrosa(NOTEPTR, 0);
    pointer->set(xnoteptr, owner);
    append(pointer);
    last_GE_owner = owner;
  }
  if (drawmode > 1 || drawmode < 0) REPORT_ERROR(4, "unrecognized drawmode in GE.c");
  Drosa node = newDrosa(kind, 0);
  node->set(xdrawmode, drawmode & 3);
  node->set(xganno, var >= 0 && var < 4 ? var : 0);
  append(node);
  return node;
}

int stored_var(int var) { return var >= 4 ? clamp_to(var, 0, 255) : 0; }

// True for the elements whose glyph is looked up at their staff rather than their owner:
// clefs, time signatures, key signatures, and repeat dots.
bool looked_up_at_staff(int var, int param) {
  return (var >= 52 && var <= 55) || var == 58 || param == 24;
}

const StaffData* staff_record(int pstaff) {
  return pstaff >= 0 && pstaff < MAX_PSTAVES ? &staff_data[pstaff] : nullptr;
}

Drosa make_glyph(int drawmode, int32_t x, int32_t y, int pstaff, const ParamValue& glyph,
                 int colour, int var, Drosa owner) {
  Drosa node = new_element(GE_CHAR, drawmode, var, owner);
  node->set(xgc_x, x + glyph.x());
  node->set(xgc_y, y + glyph.y());
  node->set(xgc_pstaff, int8_t(pstaff));
  node->set(xgc_var, uint8_t(stored_var(var)));
  node->set(xgc_font, int16_t(font_from_code(glyph.font())));
  node->set(xgc_cset, glyph.bytes[2]);
  node->set(xgc_size, glyph.size());
  node->set(xgc_char, int16_t(glyph.character()));
  node->set(xgc_style, glyph.style());
  node->set(xgc_color, colour_index(colour, owner, true));
  return node;
}

// The two ends of a line or curve, each with its pstaff.
void set_ends(Drosa node, int32_t x1, int32_t y1, int pstaff1, int32_t x2, int32_t y2,
              int pstaff2) {
  node->set(xge_x1, x1);
  node->set(xge_y1, y1);
  node->set(xge_pstaff1, int8_t(pstaff1));
  node->set(xge_pstaff2, int8_t(pstaff2));
  node->set(xge_x2, x2);
  node->set(xge_y2, y2);
}

// The default of a clip coordinate: the ends' box widened by the margin.
int32_t low_clip(int32_t a, int32_t b) { return a > b ? a + GE_BOX_MARGIN : a - GE_BOX_MARGIN; }
int32_t high_clip(int32_t a, int32_t b) { return a > b ? b - GE_BOX_MARGIN : b + GE_BOX_MARGIN; }

Drosa make_line(int drawmode, int32_t x1, int32_t y1, int pstaff1, int yreloc1, int32_t x2,
                int32_t y2, int pstaff2, int yreloc2, int width, int dash, int gap, int32_t clipx1,
                int32_t clipy1, int32_t clipx2, int32_t clipy2, int colour, int var, Drosa owner) {
  Drosa node = new_element(GE_LINE, drawmode, var, owner);
  set_ends(node, x1, y1, pstaff1, x2, y2, pstaff2);
  node->set(xgl_clipx1, clipx1 ? clipx1 : low_clip(x1, x2));
  node->set(xgl_clipy1, clipy1 ? clipy1 : low_clip(y1, y2));
  node->set(xgl_clipx2, clipx2 ? clipx2 : high_clip(x1, x2));
  node->set(xgl_clipy2, clipy2 ? clipy2 : high_clip(y1, y2));
  // A width beyond the byte would wrap to a thin line: the widest stored width is kept.
  node->set(xgl_width, uint8_t(clamp_to(width, 0, 255)));
  node->set(xgl_color, colour & 15);
  node->set(xgl_yreloc1, yreloc1 & 3);
  node->set(xgl_yreloc2, yreloc2 & 3);
  node->set(xgl_var, uint8_t(stored_var(var)));
  node->set(xgl_dash, clamp_to(dash, 0, 15));
  node->set(xgl_gap, clamp_to(gap, 0, 15));
  return node;
}

// How far an element with yreloc code `reloc` on staff `pstaff` moves when staff P moves by
// dy (half by half, truncated toward zero, for elements between two staves).
int32_t relocation(int reloc, int pstaff, int P, int32_t dy) {
  switch (reloc) {
    case YRELOC_OWN_STAFF:
      return pstaff == P ? dy : 0;
    case YRELOC_HALF_ABOVE:
      return P == pstaff || P == pstaff - 1 ? dy / 2 : 0;
    case YRELOC_HALF_BELOW:
      return P == pstaff || P == pstaff + 1 ? dy / 2 : 0;
    default:
      return 0;
  }
}

// The text bytes of a node from byte 10 up to a NUL or the node's end.
void append_node_text(std::string* text, Drosa node) {
  const uint8_t* bytes = node->bytes();
  for (int i = DROSA_PAYLOAD_OFFSET; i < DROSA_NODE_SIZE && bytes[i]; ++i)
    text->push_back(char(bytes[i]));
}

}  // namespace

namespace {

// The state besides the piece that a formatted page depends on, as bytes.
std::string page_graphics_key() {
  const int context = std::clamp<int>(current_ncontext, 0, MAX_NCONTEXTS);
  const int32_t scalars[] = {context, current_view_index, MODE, page_top_offset, min_line_width};
  constexpr size_t SLOT_BYTES = sizeof(ParamRecord::type) + sizeof(ParamRecord::changed) +
                                sizeof(ParamRecord::ref_size) + 2 * sizeof(ParamValue::bytes);
  std::string key(sizeof scalars + sizeof zoom_factor + sizeof view_transform.zoom +
                      sizeof view_transform.flags + OPTIONS_SIZE + PRINT_RECORD_SIZE +
                      std::size(param) * SLOT_BYTES + sizeof prefs.bytes,
                  '\0');
  // Written in place: the table alone is some thousands of small pieces.
  char* out = key.data();
  auto add = [&out](const void* bytes, size_t size) {
    std::memcpy(out, bytes, size);
    out += size;
  };
  add(scalars, sizeof scalars);
  add(&zoom_factor, sizeof zoom_factor);
  add(&view_transform.zoom, sizeof view_transform.zoom);
  add(view_transform.flags, sizeof view_transform.flags);
  add(options_struct[context], OPTIONS_SIZE);
  add(print_record[context], PRINT_RECORD_SIZE);
  for (const ParamRecord& slot : param) {
    add(&slot.type, sizeof slot.type);
    add(&slot.changed, sizeof slot.changed);
    add(&slot.ref_size, sizeof slot.ref_size);
    add(slot.value.bytes, sizeof slot.value.bytes);
    add(slot.small.bytes, sizeof slot.small.bytes);
  }
  add(prefs.bytes, sizeof prefs.bytes);
  assert(out == key.data() + key.size());  // the size above names every piece added
  return key;
}

}  // namespace

void keep_page_graphics(int32_t page, uint32_t count, bool until_replaced) {
  if (GE_head && GE_list_complete)
    keep_page_list(page, GE_head, page_graphics_key(), count, until_replaced);
}

void settle_page_graphics() { settle_waiting_list(); }

Drosa kept_page_graphics(int32_t page) { return kept_page_list(page, page_graphics_key()); }

std::vector<Drosa> kept_pages_graphics(int32_t first, int32_t last) {
  std::vector<Drosa> lists;
  if (first > last) return lists;
  const std::string key = page_graphics_key();  // the whole parameter table: read once
  for (int32_t page = first; page <= last; ++page) lists.push_back(kept_page_list(page, key));
  return lists;
}

void GEinit(int save_old) {
  if (!GE_head) {
    REPORT_ERROR(4, "GEinit called with GE_head == NIL");
    return;
  }
  if (!save_old && old_GE_head && !reformat_pending)
    REPORT_ERROR(4, "GEinit called with !save_old and old_GE_head != NIL");
  // Elements kept for their page as they stand go to it rather than to the old list; the page
  // is then final.
  const int32_t taken = take_waiting_list(GE_head);
  Drosa first = GE_head->xnext;
  if (GE_list_complete && save_old && !taken) {
    if (old_GE_head) {
      REPORT_ERROR(4, "Old Graphics Object list not NIL in GEinit.");
      destroy_Drosa_list(old_GE_head);  // two old lists cannot be kept: the older one goes
    }
    if (!first) REPORT_ERROR(4, "New Graphics Object list is empty in GEinit.");
    old_GE_head = copyDrosa(GE_head);
    if (first) {
      GE_head->xnext = NIL;
      first->xback = NIL;
      old_GE_head->xnext = first;
      first->xback = old_GE_head;
    }
  } else if (first) {
    destroy_Drosa_list(first);
  }
  GE_head->xnext = GE_head->xback = NIL;
  GE_tail = GE_head;
  last_GE_owner = NIL;
  GE_list_complete = 0;
  if (taken) page_final(taken);
}

int32_t GEcharacter(int drawmode, int32_t x, int32_t y, int pstaff, int param, int colour, int var,
                    Drosa owner, int size) {
  if (pstaff < -64 || pstaff > 64) REPORT_ERROR(4, "bad pstaff value for GEcharacter");
  ParamValue glyph;
  if (looked_up_at_staff(var, param))
    scaled_char_param(&glyph, param, NIL, staff_record(pstaff));
  else
    scaled_char_param(&glyph, param, owner, nullptr);
  // Multi-measure rest digits on a smaller staff keep their full size.
  if (var == 44 && param_cur_size < param_ref_size) glyph = *param_value(param, owner, nullptr);
  if (size > 0) glyph.set_size(uint8_t(clamp_to(size, 0, 255)));
  return make_glyph(drawmode, x, y, pstaff, glyph, colour, var, owner)->get(xgc_font);
}

int32_t GEcharacter_screen(int drawmode, int32_t x, int32_t y, int pstaff, int param, int colour,
                           int var, Drosa owner, int flag) {
  if (!flag) return 0;
  ParamValue glyph;
  scaled_char_param(&glyph, param, owner, nullptr);
  Drosa node = make_glyph(drawmode, x, y, pstaff, glyph, colour, var, owner);
  node->set(xgscreen, 1);
  return node->get(xgc_font);
}

Drosa GEstring(int drawmode, int32_t x, int32_t y, int dx, int dy, int pstaff, int font, int cset,
               int size, int style, int colour, const char* text, int line_layout, int var,
               Drosa owner, Drosa anno) {
  const char* rest = text ? text : "";
  size_t left = std::strlen(rest);
  do {
    Drosa piece = new_element(GE_STRING, drawmode, var, owner);
    size_t n = std::min(left, size_t(GE_STRING_BYTES));
    std::memcpy(piece->bytes() + xgs_text.offset, rest, n);
    piece->bytes()[xgs_text.offset + n] = 0;
    rest += n;
    left -= n;
  } while (left > 0);
  Drosa node = new_element(GE_CHAR, drawmode, var, owner);
  node->set(xgc_x, x);
  node->set(xgc_y, y);
  node->set(xgc_pstaff, int8_t(pstaff));
  node->set(xgc_var, uint8_t(stored_var(var)));
  node->set(xgc_font, int16_t(font));
  node->set(xgc_cset, uint8_t(cset));
  node->set(xgc_size, uint8_t(clamp_to(size, 0, 255)));
  node->set(xgc_style, uint8_t(style));
  node->set(xgc_color, colour_index(colour, owner, true));
  node->set(xgc_layout, line_layout ? 1 : 0);
  // Offsets beyond a byte would wrap to the other side: the farthest stored offset is kept.
  node->set(xgc_dx, int8_t(clamp_to(dx, -128, 127)));
  node->set(xgc_dy, int8_t(clamp_to(dy, -128, 127)));
  const bool fixed = anno && (load_big_endian(anno->bytes() + 24, 2) & 2);
  node->set(xgc_yreloc, fixed ? YRELOC_NEVER : YRELOC_OWN_STAFF);
  return node;
}

Drosa GEline(int drawmode, int32_t x1, int32_t y1, int pstaff1, int yreloc1, int32_t x2, int32_t y2,
             int pstaff2, int yreloc2, int width, int dash, int gap, int32_t clipx1, int32_t clipy1,
             int32_t clipx2, int32_t clipy2, int colour, int var, Drosa owner) {
  if (var == 1) width = std::max<int32_t>(width, current_min_line_width());
  return make_line(drawmode, x1, y1, pstaff1, yreloc1, x2, y2, pstaff2, yreloc2, width, dash, gap,
                   clipx1, clipy1, clipx2, clipy2, colour, var, owner);
}

Drosa GEline_screen(int drawmode, int32_t x1, int32_t y1, int pstaff1, int yreloc1, int32_t x2,
                    int32_t y2, int pstaff2, int yreloc2, int width, int dash, int gap,
                    int32_t clipx1, int32_t clipy1, int32_t clipx2, int32_t clipy2, int colour,
                    int var, Drosa owner, int flag) {
  if (!flag) return NIL;
  Drosa node = make_line(drawmode, x1, y1, pstaff1, yreloc1, x2, y2, pstaff2, yreloc2, width, dash,
                         gap, clipx1, clipy1, clipx2, clipy2, colour, var, owner);
  node->set(xgscreen, 1);
  return node;
}

Drosa GEcurve(int drawmode, int32_t x1, int32_t y1, int pstaff1, int32_t c1x, int32_t c1y,
              int /*c1pstaff*/, int32_t c2x, int32_t c2y, int /*c2pstaff*/, int32_t x2, int32_t y2,
              int pstaff2, int fill, int dash, int gap, int colour, int var, Drosa owner) {
  Drosa node = new_element(GE_CURVE, drawmode, var, owner);
  set_ends(node, x1, y1, pstaff1, x2, y2, pstaff2);
  node->set(xgv_c1x, c1x);
  node->set(xgv_c1y, c1y);
  node->set(xgv_dash, clamp_to(dash, 0, 15));
  node->set(xgv_gap, clamp_to(gap, 0, 15));
  node->set(xgv_c2x, c2x);
  node->set(xgv_c2y, c2y);
  node->set(xgv_fill, fill ? 1 : 0);
  node->set(xgv_color, colour & 15);
  node->set(xgv_var, uint8_t(stored_var(var)));
  return node;
}

int GE_string_text(std::string* text, Drosa* element) {
  text->clear();
  Drosa first = *element;
  while (first->xback && first->xback->xkind == GE_STRING) first = first->xback;
  if (first->xkind == GE_CHAR) {
    if (int c = first->get(xgc_char) & 0xFF) text->push_back(char(c));
  } else {
    Drosa p = first;
    for (; p && p->xkind != GE_CHAR; p = p->xnext) {
      if (p->xkind != GE_STRING) REPORT_ERROR(4, "GE.c: bad GE kind in STRING: GE_CHAR expected");
      append_node_text(text, p);
    }
    if (p) *element = p;  // a run cut off at the list's end leaves the element where it was
  }
  Drosa next = (*element)->xnext;
  while (next && next->xkind == GE_STRING) next = next->xnext;
  return next && next->xkind == GE_CHAR && next->get(xgc_x) == ADJACENT_TEXT &&
         next->get(xgc_y) == ADJACENT_TEXT;
}

GEMeasuredText measure_GE_text(Drosa element) {
  GEMeasuredText measured;
  measured.attributes = element;
  GE_string_text(&measured.text, &measured.attributes);
  Port* saved = platform_current_port();
  platform_set_port(offscreen_port());
  const int font = current_text_font(), size = current_text_size(), face = current_text_face();
  text_font(measured.attributes->get(xgc_font));
  text_size(measured.attributes->get(xgc_size));
  text_face(measured.attributes->get(xgc_style));
  measured.width = text_width(measured.text.data(), int(measured.text.size()));
  measured.metrics = get_font_metrics();
  text_font(font);
  text_size(size);
  text_face(face);
  platform_set_port(saved);
  return measured;
}

int32_t GE_string_width(Drosa element) { return round_nearest_int(measure_GE_text(element).width); }

void GEyrelocate(int pstaff, int32_t dy) {
  if (!GE_head) return;
  for (Drosa p = GE_head->xnext; p; p = p->xnext) {
    switch (p->xkind) {
      case GE_CHAR:
        if (p->get(xgc_x) != ADJACENT_TEXT)
          p->set(xgc_y,
                 p->get(xgc_y) - relocation(p->get(xgc_yreloc), p->get(xgc_pstaff), pstaff, dy));
        break;
      case GE_LINE: {
        int32_t first = relocation(p->get(xgl_yreloc1), p->get(xge_pstaff1), pstaff, dy);
        int32_t second = relocation(p->get(xgl_yreloc2), p->get(xge_pstaff2), pstaff, dy);
        p->set(xge_y1, p->get(xge_y1) - first);
        p->set(xgl_clipy1, p->get(xgl_clipy1) - first);
        p->set(xge_y2, p->get(xge_y2) - second);
        p->set(xgl_clipy2, p->get(xgl_clipy2) - second);
        break;
      }
      case GE_CURVE:
        if (p->get(xge_pstaff1) == pstaff) {
          p->set(xge_y1, p->get(xge_y1) - dy);
          p->set(xgv_c1y, p->get(xgv_c1y) - dy);
        }
        if (p->get(xge_pstaff2) == pstaff) {
          p->set(xge_y2, p->get(xge_y2) - dy);
          p->set(xgv_c2y, p->get(xgv_c2y) - dy);
        }
        break;
      case GE_STRING:
      case NOTEPTR:
        break;
      default:
        REPORT_ERROR(4, "GEyrelocate.c: Unrecognized graphics-Graphics Object kind %hd",
                     short(p->xkind));
    }
  }
}

void expand_box_by_margin(int32_t x1, int32_t y1, int32_t x2, int32_t y2, VirtualRect* box) {
  box->x1 = std::min(x1, x2) - GE_BOX_MARGIN;
  box->y1 = std::min(y1, y2) - GE_BOX_MARGIN;
  box->x2 = std::max(x1, x2) + GE_BOX_MARGIN;
  box->y2 = std::max(y1, y2) + GE_BOX_MARGIN;
}
