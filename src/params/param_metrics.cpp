// param_metrics.cpp: lengths derived from engraving parameters: character parameters scaled,
// measured and drawn; note-head, rest, slur, tremolo, tuplet and accidental metrics chosen
// by the note's value; and the page margins of a staff.
//
// Every length is looked up at the note it serves (so a cue or grace note takes the
// small-notes value of a pair parameter, and the note's staff size scales it) and scaled by
// scale_param_length right after its own lookup.
#include "params/param_metrics.h"

#include <cmath>
#include <cstring>
#include <string>

#include "model/model_services.h"
#include "params/param_lookup.h"
#include "params/params_globals.h"
#include "platform/port.h"

namespace {

// Rest metrics by value code (breve, whole, half, ... 128th).
constexpr int REST_DESCEND[9] = {P_AMOUNT_DOUBLE_WHOLE_REST_DESCENDS_BELOW_ITS_Y_LOCATION,
                                 P_AMOUNT_WHOLE_REST_DESCENDS_BELOW_ITS_Y_LOCATION,
                                 P_AMOUNT_HALF_REST_DESCENDS_BELOW_ITS_Y_LOCATION,
                                 P_AMOUNT_QUARTER_REST_DESCENDS_BELOW_ITS_Y_LOCATION,
                                 P_AMOUNT_EIGHTH_REST_DESCENDS_BELOW_ITS_Y_LOCATION,
                                 P_AMOUNT_16TH_REST_DESCENDS_BELOW_ITS_Y_LOCATION,
                                 P_AMOUNT_32ND_REST_DESCENDS_BELOW_ITS_Y_LOCATION,
                                 P_AMOUNT_64TH_REST_DESCENDS_BELOW_ITS_Y_LOCATION,
                                 P_AMOUNT_128TH_REST_DESCENDS_BELOW_ITS_Y_LOCATION};
constexpr int REST_ASCEND[9] = {P_AMOUNT_DOUBLE_WHOLE_REST_ASCENDS_ABOVE_ITS_Y_LOCATION,
                                P_AMOUNT_WHOLE_REST_ASCENDS_ABOVE_ITS_Y_LOCATION,
                                P_AMOUNT_HALF_REST_ASCENDS_ABOVE_ITS_Y_LOCATION,
                                P_AMOUNT_QUARTER_REST_ASCENDS_ABOVE_ITS_Y_LOCATION,
                                P_AMOUNT_EIGHTH_REST_ASCENDS_ABOVE_ITS_Y_LOCATION,
                                P_AMOUNT_16TH_REST_ASCENDS_ABOVE_ITS_Y_LOCATION,
                                P_AMOUNT_32ND_REST_ASCENDS_ABOVE_ITS_Y_LOCATION,
                                P_AMOUNT_64TH_REST_ASCENDS_ABOVE_ITS_Y_LOCATION,
                                P_AMOUNT_128TH_REST_ASCENDS_ABOVE_ITS_Y_LOCATION};
constexpr int REST_WIDTH[9] = {
    P_WIDTH_OF_DOUBLE_WHOLE_REST, P_WIDTH_OF_WHOLE_REST,  P_WIDTH_OF_HALF_REST,
    P_WIDTH_OF_QUARTER_REST,      P_WIDTH_OF_EIGHTH_REST, P_WIDTH_OF_16TH_REST,
    P_WIDTH_OF_32ND_REST,         P_WIDTH_OF_64TH_REST,   P_WIDTH_OF_128TH_REST};

// Accidental widths by code 1..5 (double flat, flat, natural, sharp, double sharp).
constexpr int ACCIDENTAL_WIDTH[6] = {
    0, P_DOUBLE_FLAT_WIDTH, P_FLAT_WIDTH, P_NATURAL_WIDTH, P_SHARP_WIDTH, P_DOUBLE_SHARP_WIDTH};
constexpr int SIMPLIFIED_ACCIDENTAL_WIDTH[6] = {
    0,
    P_SIMPLIFIED_MUSIC_NOTATION_DOUBLE_FLAT_HISTORY_WIDTH,
    P_SIMPLIFIED_MUSIC_NOTATION_FLAT_HISTORY_WIDTH,
    P_NATURAL_WIDTH,
    P_SIMPLIFIED_MUSIC_NOTATION_SHARP_HISTORY_WIDTH,
    P_SIMPLIFIED_MUSIC_NOTATION_DOUBLE_SHARP_HISTORY_WIDTH};

// Rest glyph kinds of an NTDATA.
constexpr int REST_WHOLE_MEASURE = 1;
constexpr int REST_MULTI_MEASURE = 2;

// Page margins of a notation context's options, tenths of a point (i32 each).
constexpr int OPTIONS_LEFT_MARGIN_ODD = 22;
constexpr int OPTIONS_LEFT_MARGIN_FIRST_SYSTEM = 26;
constexpr int OPTIONS_RIGHT_MARGIN_ODD = 30;
constexpr int OPTIONS_RIGHT_MARGIN_LAST_SYSTEM = 34;
constexpr int OPTIONS_LEFT_MARGIN_EVEN = 88;
constexpr int OPTIONS_RIGHT_MARGIN_EVEN = 92;

const char* description_of(int pindex) {
  if (pindex < 1 || pindex > PARAM_LAST || !param[pindex].description) return "";
  return param[pindex].description;
}

bool simplified_notation() {
  return model_hooks.music_font_number(FONT_SLOT_SIMPLIFIED) != 0 &&
         model_hooks.use_simplified_notation();
}

// The value code of a note or rest, 0 (breve) to 8 (128th), for indexing the tables.
int value_code(Drosa note) {
  int code = note->get(xlgval);
  return code > 8 ? 8 : code;
}

// The rest glyph kind of a rest: 1 whole-measure, 2 multi-measure, 0 by its value.
int rest_kind(Drosa rest, int screen) {
  Drosa nt = note_ntdata(rest);
  if (!nt) return 0;
  return screen ? nt->get(xscrrestchar) : nt->get(xrestchar);
}

int32_t head_y(Drosa note) {
  Drosa nt = note_ntdata(note);
  return nt ? nt->get(xhdy) : 0;
}

// Point size, x or y scaled by the sizes of the last lookup (a character is never of the
// unscaled coordinate type).
int32_t scale_by_sizes(int32_t v) {
  if (param_ref_size == 0 || (param_ref_size == param_cur_size && param_ref_size > 0)) return v;
  int64_t product = int64_t(v) * param_cur_size;
  if (param_ref_size == -1) return int32_t(-product);
  return int32_t(product / param_ref_size);
}

// The size of a character parameter drawn in the piano window's palette grows by a few
// points for the glyphs that would otherwise look too small there.
int palette_size_bonus(int pindex) {
  if ((pindex >= 12 && pindex <= 21) || pindex == 370 || pindex == 740 ||
      (pindex >= 419 && pindex <= 478))
    return 2;
  if (pindex == 713 || pindex == 714) return 6;
  if (model_hooks.use_sonata_font() == 1) {
    if (pindex == 4) return 4;
    if (pindex == 5) return 6;
  }
  return 0;
}

double draw_divisor(int mode) {
  if (mode == DRAW_CHAR_ZOOMED && model_hooks.zoom_factor() > 0) return model_hooks.zoom_factor();
  return 10.0;
}

int notation_context() {
  return current_ncontext >= 1 && current_ncontext <= MAX_NCONTEXTS ? current_ncontext : 1;
}

int32_t options_margin(int offset) { return options_i32(notation_context(), offset); }

// The first note of a pstaff's layer-0 print chain; NIL for no staff or an empty chain.
Drosa staff_first_note(int staff) {
  if (staff < 0 || staff >= MAX_PSTAVES) return NIL;
  Drosa head = staff_data[staff].ppnt[0];
  if (!head || !head->xnext || head->xnext->xkind != NTDATA) return NIL;
  Drosa first = head->xnext->get(xpnext);
  return is_NOTE(first) ? first : NIL;
}

Drosa prev_seen_endsyst(Drosa node) {
  for (Drosa p = node ? node->xback : NIL; p; p = p->xback)
    if (effective_kind(p) == ENDSYST) return p;
  return NIL;
}

Drosa next_seen_endsyst(Drosa node) {
  for (Drosa p = node ? node->xnext : NIL; p; p = p->xnext)
    if (effective_kind(p) == ENDSYST) return p;
  return NIL;
}

// The system break after a staff's first note, kept by staff: every text and hairpin drawn on
// a staff asks for its right edge, and the walk to the break passes the whole system. An
// answer stands until a list changes (a note or a break moved, added or freed) or another
// notation context is in force.
struct KeptSystemEnd {
  Drosa first, end;
  uint64_t changes = 0;
  int16_t context = 0;
};
KeptSystemEnd kept_system_ends[MAX_PSTAVES];

Drosa system_end_of_staff(int staff, Drosa first) {
  KeptSystemEnd& kept = kept_system_ends[staff];
  if (!first || kept.first != first || kept.changes != list_change_count ||
      kept.context != current_ncontext)
    kept = {first, next_seen_endsyst(first), list_change_count, current_ncontext};
  return kept.end;
}

}  // namespace

// ---- Character parameters -----------------------------------------------------------------

ParamValue* scaled_char_param(ParamValue* dest, int pindex, Drosa node, const StaffData* staff) {
  *dest = *param_value(pindex, node, staff);
  dest->set_size(uint8_t(scale_by_sizes(dest->size())));
  dest->set_x(scale_by_sizes(dest->x()));
  dest->set_y(scale_by_sizes(dest->y()));
  return dest;
}

int32_t param_string_width(ParamValue value, const char* text) {
  Port* saved = platform_current_port();
  platform_set_port(param_hooks.offscreen_port());
  text_font(model_hooks.font_from_code(value.font()));
  text_face(value.style());
  text_size(param_hooks.pixels_to_tenths(value.size()));
  double width = text ? text_width(text, int(std::strlen(text))) : char_width(value.character());
  platform_set_port(saved);
  return int32_t(float(width) * model_hooks.zoom_factor());
}

void pDrawChar(int pindex, Drosa node, const char* text, int mode) {
  if (node && node->xkind != NOTE) {
    REPORT_ERROR(4, "Got a %s (%lx) for pDrawChar parameter %hd '%s'; want NOTE.",
                 node_kind_name(node), (unsigned long)node.handle(), short(pindex),
                 description_of(pindex));
    return;
  }
  ParamValue value;
  scaled_char_param(&value, pindex, node, nullptr);
  int32_t y = value.y();
  if (pindex == P_WHOLE_REST && model_hooks.use_sonata_font() != 1) y += 1;

  double divisor = draw_divisor(mode);
  move_by(int(value.x() / divisor), int(-y / divisor));

  text_font(model_hooks.font_from_code(value.font()));
  text_face(value.style());
  if (mode == DRAW_CHAR_ZOOMED)
    text_size(param_hooks.pixels_to_tenths(value.size()));
  else if (mode == DRAW_CHAR_UNZOOMED)
    text_size(value.size());
  else  // the palette: the size as it is, not scaled to the piano window
    text_size(value.size() + palette_size_bonus(pindex));

  if (text) {
    draw_text(text, int(std::strlen(text)));
    return;
  }
  move_by(-int(char_width(' ')), 0);
  const char spaced[3] = {' ', char(value.character()), ' '};
  draw_text(spaced, 3);
}

int32_t round_nearest_int(double x) {
  if (std::isnan(x)) return INT32_MIN;
  double r = x > 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
  if (r >= double(INT32_MAX)) return INT32_MAX;
  if (r <= double(INT32_MIN)) return INT32_MIN;
  return int32_t(r);
}

// ---- Metrics by note value ------------------------------------------------------------------

int32_t hdw(Drosa note, int widest) {
  if (!is_NOTE(note) || !note_ntdata(note)) {
    REPORT_ERROR(4, "Bad call to hdw!");
    return param_length(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, NIL);
  }
  int code = note->get(xlgval);
  if (note->get(xtupl) != 1) {
    int dots;
    param_hooks.decode_note_type(note, &code, &dots);
  }
  if (code == 0) return param_length(P_BREVE_NOTE_HEAD_WIDTH, note);
  if (code == 1)
    return param_length(widest ? P_WHOLE_NOTE_HEAD_WIDTH_AT_WIDEST_POINT : P_WHOLE_NOTE_HEAD_WIDTH,
                        note);
  return param_length(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, note);
}

int32_t rest_descend_size(Drosa rest, int screen) {
  if (!rest) return param_length(P_AMOUNT_QUARTER_REST_DESCENDS_BELOW_ITS_Y_LOCATION, NIL);
  if (rest_kind(rest, screen) == REST_MULTI_MEASURE)
    return param_length(P_AMOUNT_MULTI_REST_DESCENDS_BELOW_ITS_Y_LOCATION, rest);
  return param_length(REST_DESCEND[value_code(rest)], rest);
}

int32_t rest_ascend_size(Drosa rest, int screen) {
  if (!rest) {
    REPORT_ERROR(4, "NIL rest pointer in rest_ascend_size");
    return 0;
  }
  if (rest_kind(rest, screen) == REST_MULTI_MEASURE)
    return param_length(P_AMOUNT_MULTI_REST_ASCENDS_ABOVE_ITS_Y_LOCATION, rest);
  return param_length(REST_ASCEND[value_code(rest)], rest);
}

int32_t rest_width(Drosa rest, int screen) {
  if (!rest) {
    REPORT_ERROR(4, "NIL rest pointer in rest_width");
    return 0;
  }
  int kind = rest_kind(rest, screen);
  if (kind == REST_MULTI_MEASURE)
    return param_length(P_SPACE_GIVEN_FOR_WIDTH_OF_MULTI_REST_SYMBOL, rest);
  if (kind == REST_WHOLE_MEASURE) return param_length(P_WIDTH_OF_WHOLE_REST, rest);
  return param_length(REST_WIDTH[value_code(rest)], rest);
}

int32_t slur_end_xoffset(Drosa note, int at_stem_end, int side) {
  bool stem_end = at_stem_end && !(note && (note->get(xstacc) || note->get(xtenu)));
  if (side == 2) return param_length(stem_end ? 224 : 225, note);
  return param_length(stem_end ? 226 : 227, note);
}

int32_t slur_end_yclearance(Drosa note, int side, int32_t extra) {
  Drosa first = NIL, last = NIL;
  chord_extent(note, &first, &last);
  if (!first) first = note;
  if (!last) last = note;
  Drosa first_low, first_high, last_low, last_high;
  stem_group_bounds(first, &first_low, &first_high);
  stem_group_bounds(last, &last_low, &last_high);
  if (side != 2) {
    Drosa bottom = head_y(first_low) < head_y(last_low) ? first_low : last_low;
    return head_y(bottom) - param_length(P_SPACE_LEFT_BETWEEN_SLUR_END_AND_NOTEHEAD, bottom) -
           extra;
  }
  Drosa top = head_y(last_high) > head_y(first_high) ? last_high : first_high;
  int32_t height = param_length(P_NOTE_HEAD_HEIGHT, top);
  return head_y(top) + height + param_length(P_SPACE_LEFT_BETWEEN_SLUR_END_AND_NOTEHEAD, top) -
         extra;
}

int32_t tremolo_yoffset(Drosa note, int beamed) {
  int code = value_code(note);
  if (beamed) {
    int32_t base = param_length(P_Y_OFFSET_FROM_BEAM_FOR_TREMOLO_ON_BEAMED_NOTES, note);
    return base + param_length(P_OFFSET_BETWEEN_SUCCESSIVE_BEAMS, note) * (code - 3);
  }
  return param_length(code <= 3 ? P_Y_OFFSET_FROM_STEM_END_FOR_TREMOLO_ON_UNFLAGGED_NOTES
                                : P_Y_OFFSET_FROM_STEM_END_FOR_TREMOLO_ON_FLAGGED_NOTES,
                      note);
}

int32_t tuplet_number_xoffset(Drosa note, int direction, int at_stem_end) {
  if (!at_stem_end) return param_length(P_X_OFFSET_FOR_TUPLET_BY_NOTEHEAD, note);
  return param_length(direction == 2 ? P_X_OFFSET_FOR_TUPLET_NUMBER_AT_END_OF_UP_STEM
                                     : P_X_OFFSET_FOR_TUPLET_NUMBER_AT_END_OF_DOWN_STEM,
                      note);
}

int32_t param_pair_select(Drosa node, const StaffData* staff) {
  if (node && effective_kind(node) == KEYSIG && node->get(xkeycnt) == 0) return 0;
  return param_length(simplified_notation()
                          ? P_SIMPLIFIED_SPACE_BETWEEN_KEY_SIGNATURE_AND_NEXT_OBJECT
                          : P_SPACE_LEFT_BETWEEN_KEY_SIGNATURE_AND_NEXT_OBJECT,
                      node, staff);
}

int32_t param_group_width(Drosa node, const StaffData* staff, int code, Drosa group) {
  if (group) {
    // Count byte, then the codes; the payload holds at most 15 of them.
    int count = node_byte(group, DROSA_PAYLOAD_OFFSET);
    if (count > 15) count = 15;
    int32_t sum = 0;
    for (int i = 0; i < count; ++i)
      sum += param_group_width(node, staff, node_byte(group, DROSA_PAYLOAD_OFFSET + 1 + i), NIL);
    return sum;
  }
  if (code > 5) {
    int pindex = param_hooks.glyph_table_entry(code, 1);
    if (pindex < 1 || pindex > PARAM_LAST) return 0;
    uint32_t type = param[pindex].type;
    if (type != PARAM_CHARACTER && type != PARAM_CHARACTER_PAIR) return 0;
    ParamValue glyph;
    scaled_char_param(&glyph, pindex, node, staff);
    return param_string_width(glyph, nullptr);
  }
  if (code < 1) return 0;
  if (node && simplified_notation()) {
    if (node->xkind != NOTE) return param_length(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, node);
    return param_length(SIMPLIFIED_ACCIDENTAL_WIDTH[code], node, staff);
  }
  return param_length(ACCIDENTAL_WIDTH[code], node, staff);
}

// ---- Page margins of a staff ----------------------------------------------------------------

int32_t layout_page_left_x() { return 0; }

int32_t layout_page_width() { return options_i32(notation_context(), OPTIONS_PAGE_WIDTH) * 72; }

int32_t layout_page_height() { return options_i32(notation_context(), OPTIONS_PAGE_HEIGHT) * 72; }

int32_t staff_left_x(int staff, int parity) {
  int32_t x = layout_page_left_x();
  if (staff >= 0 && staff < MAX_PSTAVES) {
    Drosa first = staff_first_note(staff);
    x += param_length(P_MARGIN_WIDTH_ON_LEFT_OF_PAGE, first, &staff_data[staff]);
    Drosa endsyst = prev_seen_endsyst(first);
    if (endsyst && endsyst->get(xstartpiece))
      return x + options_margin(OPTIONS_LEFT_MARGIN_FIRST_SYSTEM);
  }
  return x + options_margin(parity & 1 ? OPTIONS_LEFT_MARGIN_ODD : OPTIONS_LEFT_MARGIN_EVEN);
}

int32_t staff_right_x(int staff, int parity) {
  int32_t right = layout_page_left_x() + layout_page_width();
  if (staff >= 0 && staff < MAX_PSTAVES) {
    Drosa first = staff_first_note(staff);
    right -= param_length(P_MARGIN_WIDTH_ON_RIGHT_OF_PAGE, first, &staff_data[staff]);
    Drosa endsyst = system_end_of_staff(staff, first);
    if (endsyst && endsyst->get(xendpiece))
      return right - options_margin(OPTIONS_RIGHT_MARGIN_LAST_SYSTEM);
  }
  return right - options_margin(parity & 1 ? OPTIONS_RIGHT_MARGIN_ODD : OPTIONS_RIGHT_MARGIN_EVEN);
}

// ---- Debugging ------------------------------------------------------------------------------

namespace {

const char* expected_word(int expected) {
  switch (expected) {
    case PARAM_INTEGER:
      return "an integer";
    case PARAM_COORDINATE:
      return "a coordinate";
    case PARAM_FLOAT:
      return "a float";
    case PARAM_CHARACTER:
      return "a character";
    default:
      return nullptr;
  }
}

void check_expected_type(int pindex, Drosa node, const StaffData* staff, int expected) {
  uint32_t type = param[pindex].type;
  if (type == uint32_t(expected) || type == uint32_t(expected) + 1) return;
  const char* description = description_of(pindex);
  const void* ptr = node ? static_cast<const void*>(node.address()) : nullptr;
  if (expected == PARAM_STRING) {
    REPORT_ERROR(4, "Debug_xval expected a string: pindex %hd ptr %lx sdata %p \"%s\"",
                 short(pindex), (unsigned long)node.handle(), static_cast<const void*>(staff),
                 description);
  } else if (const char* word = expected_word(expected)) {
    REPORT_ERROR(4, "Debug_xval expected %s: pindex %hd ptr %p sdata %p '%s'", word, short(pindex),
                 ptr, static_cast<const void*>(staff), description);
  } else {
    REPORT_ERROR(4, "Error in debug_xval.");
  }
}

}  // namespace

const ParamValue* Debug_xval(int pindex, Drosa node, const StaffData* staff, int expected,
                             const char* /*tag*/) {
  if (pindex >= 1 && pindex <= PARAM_LAST) {
    check_expected_type(pindex, node, staff, expected);
    const char* description = description_of(pindex);
    if (node && !node->xnext && !node->xback && !insertion_point)
      REPORT_ERROR(4,
                   "Debug_xval pointer not in voice list and NIL insertion_point: pindex %hd "
                   "ptr %lx sdata %lx '%s'",
                   short(pindex), (unsigned long)node.handle(), (unsigned long)(uintptr_t)staff,
                   description);
    bool exempt = (pindex >= 419 && pindex <= 478) || pindex == 644 || pindex == 645;
    if (node && !staff && is_pair_type(param[pindex].type) && !note_ntdata(node) && !exempt)
      REPORT_ERROR(4, "Debug_xval without NTDATA but sdata NIL: pindex %hd ptr %lx '%s'",
                   short(pindex), (unsigned long)node.handle(), description);
  }
  return param_value(pindex, node, staff);
}
