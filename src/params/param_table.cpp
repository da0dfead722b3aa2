// param_table.cpp: the engraving parameter table, its value records, the declaration routines
// the group fillers use, and param_init, which rebuilds the whole table.
//
// The table is rebuilt in place: param_init clears every slot's type, runs the group fillers
// (each declares its heading, then its parameters in the editor's display order), and types
// the slots no filler declares. Declarations append to param_order; a parameter the editor
// does not list is taken off again right after its declaration. Character defaults come in
// two sets, chosen by prefs.use_sonata_font() when the declaration runs, and line widths are
// floored by min_line_width, so param_init must run again when either setting changes.
#include "params/param_table.h"

#include <algorithm>

#include "model/model_services.h"
#include "params/generated/param_catalogue.h"
#include "params/params_globals.h"

// ---- Value records ---------------------------------------------------------------------

namespace {
uint32_t load_be(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

void store_be(uint8_t* p, int n, uint32_t v) {
  for (int i = n - 1; i >= 0; --i) {
    p[i] = uint8_t(v);
    v >>= 8;
  }
}
}  // namespace

int32_t ParamValue::integer() const { return int32_t(load_be(bytes, 4)); }
void ParamValue::set_integer(int32_t v) { store_be(bytes, 4, uint32_t(v)); }

float ParamValue::real() const {
  uint32_t bits = load_be(bytes, 4);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}

void ParamValue::set_real(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  store_be(bytes, 4, bits);
}

int16_t ParamValue::font() const { return int16_t(load_be(bytes, 2)); }
void ParamValue::set_font(int16_t code) { store_be(bytes, 2, uint16_t(code)); }
int32_t ParamValue::x() const { return int32_t(load_be(bytes + 6, 4)); }
void ParamValue::set_x(int32_t v) { store_be(bytes + 6, 4, uint32_t(v)); }
int32_t ParamValue::y() const { return int32_t(load_be(bytes + 10, 4)); }
void ParamValue::set_y(int32_t v) { store_be(bytes + 10, 4, uint32_t(v)); }

// Copies at most 7 characters and closes them with a zero; a longer text is cut.
void ParamValue::set_text(const char* text) {
  uint8_t* out = bytes + 2;
  int n = 0;
  if (text)
    for (; n < 7 && text[n]; ++n) out[n] = uint8_t(text[n]);
  std::memset(out + n, 0, size_t(8 - n));
}

// ---- Declarations ----------------------------------------------------------------------

namespace {
constexpr int UNUSED_SLOTS[] = {83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,
                                94,  95,  96,  97,  98,  99,  100, 101, 106, 107, 108,
                                109, 110, 111, 294, 340, 341, 373, 377, 384};
static_assert(sizeof UNUSED_SLOTS / sizeof UNUSED_SLOTS[0] == 31);

using Filler = void (*)();
constexpr Filler FILLERS[] = {init_params_accidentals,
                              init_params_barlines,
                              init_params_beaming,
                              init_params_brackets,
                              init_params_clefs,
                              init_params_editing,
                              init_params_dots,
                              init_params_dynamics,
                              init_params_fingerings,
                              init_params_ledger_lines,
                              init_params_lyrics,
                              init_params_note_heads,
                              init_params_flags,
                              init_params_stems,
                              init_params_tempo_notes,
                              init_params_numbers,
                              init_params_pedal,
                              init_params_rests,
                              init_params_tremolo,
                              init_params_special_accidentals_1,
                              init_params_special_accidentals_2,
                              init_params_special_accidentals_3,
                              init_params_articulations,
                              init_params_staff,
                              init_params_tablature,
                              init_params_ties,
                              init_params_time_signatures};
static_assert(sizeof FILLERS / sizeof FILLERS[0] == 27);

// Starts a declaration: writes the type and description, clears the changed flag and both
// values, and appends the slot to the display order. Returns null for a number outside the
// table (nothing is declared then).
ParamRecord* begin_declaration(int pindex, ParamType type, const char* description) {
  if (pindex < 1 || pindex > PARAM_LAST) {
    REPORT_ERROR(4, "Parameter number %d out of range for '%s'", pindex,
                 description ? description : "");
    return nullptr;
  }
  ParamRecord& rec = param[pindex];
  rec.type = type;
  rec.description = description;
  rec.changed = 0;
  std::memset(&rec.value, 0, sizeof rec.value);
  std::memset(&rec.small, 0, sizeof rec.small);
  if (param_order_count >= 0 && param_order_count < PARAM_SLOTS)
    param_order[param_order_count++] = int16_t(pindex);
  return &rec;
}

// The same, for the types whose defaults hold at staff size 50.
ParamRecord* begin_scaled_declaration(int pindex, ParamType type, const char* description) {
  ParamRecord* rec = begin_declaration(pindex, type, description);
  if (rec) rec->ref_size = 50;
  return rec;
}

void store_character(ParamValue& v, const CharSpec& c) {
  v.set_font(int16_t(c.font));
  v.set_size(uint8_t(c.size));
  v.set_style(uint8_t(c.style));
  v.set_character(uint8_t(c.code));
  v.set_x(c.x);
  v.set_y(c.y);
}

// The second default set is chosen by the preference as it stands when the declaration runs.
bool second_set() { return model_hooks.use_sonata_font() == 1; }

void store_string(ParamRecord& rec, ParamValue& v, const char* text, int32_t font) {
  if (text && std::strlen(text) > 7)
    REPORT_ERROR(4, "String too long for '%s' parameter!", rec.description ? rec.description : "");
  v.set_font(int16_t(font));
  v.set_text(text);
}
}  // namespace

void declare_param_heading(int pindex, const char* description) {
  if (begin_declaration(pindex, PARAM_HEADING, description)) ++param_heading_count;
}

void declare_integer_param(int pindex, int32_t value, const char* description) {
  if (ParamRecord* rec = begin_scaled_declaration(pindex, PARAM_INTEGER, description))
    rec->value.set_integer(value);
}

void declare_integer_pair_param(int pindex, int32_t normal, int32_t small,
                                const char* description) {
  if (ParamRecord* rec = begin_scaled_declaration(pindex, PARAM_INTEGER_PAIR, description)) {
    rec->value.set_integer(normal);
    rec->small.set_integer(small);
  }
}

void declare_coordinate_param(int pindex, int32_t value, const char* description) {
  if (ParamRecord* rec = begin_scaled_declaration(pindex, PARAM_COORDINATE, description))
    rec->value.set_integer(value);
}

void declare_coordinate_pair_param(int pindex, int32_t normal, int32_t small,
                                   const char* description) {
  if (ParamRecord* rec = begin_scaled_declaration(pindex, PARAM_COORDINATE_PAIR, description)) {
    rec->value.set_integer(normal);
    rec->small.set_integer(small);
  }
}

void declare_float_param(int pindex, float value, const char* description) {
  if (ParamRecord* rec = begin_scaled_declaration(pindex, PARAM_FLOAT, description))
    rec->value.set_real(value);
}

void declare_float_pair_param(int pindex, float normal, float small, const char* description) {
  if (ParamRecord* rec = begin_scaled_declaration(pindex, PARAM_FLOAT_PAIR, description)) {
    rec->value.set_real(normal);
    rec->small.set_real(small);
  }
}

void declare_character_param(int pindex, CharSpec first, CharSpec second, const char* description) {
  if (ParamRecord* rec = begin_scaled_declaration(pindex, PARAM_CHARACTER, description))
    store_character(rec->value, second_set() ? second : first);
}

void declare_character_pair_param(int pindex, CharSpec first_normal, CharSpec first_small,
                                  CharSpec second_normal, CharSpec second_small,
                                  const char* description) {
  if (ParamRecord* rec = begin_scaled_declaration(pindex, PARAM_CHARACTER_PAIR, description)) {
    bool second = second_set();
    store_character(rec->value, second ? second_normal : first_normal);
    store_character(rec->small, second ? second_small : first_small);
  }
}

void declare_string_param(int pindex, const char* text, int32_t font, const char* description) {
  if (ParamRecord* rec = begin_declaration(pindex, PARAM_STRING, description))
    store_string(*rec, rec->value, text, font);
}

void declare_string_pair_param(int pindex, const char* normal, int32_t normal_font,
                               const char* small, int32_t small_font, const char* description) {
  if (ParamRecord* rec = begin_declaration(pindex, PARAM_STRING_PAIR, description)) {
    store_string(*rec, rec->value, normal, normal_font);
    store_string(*rec, rec->small, small, small_font);
  }
}

void declare_line_width_param(int pindex, int32_t value, const char* description) {
  declare_coordinate_param(pindex, std::max(value, min_line_width), description);
}

void declare_line_width_pair_param(int pindex, int32_t normal, int32_t small,
                                   const char* description) {
  declare_coordinate_pair_param(pindex, std::max(normal, min_line_width),
                                std::max(small, min_line_width), description);
}

void unlist_last_param() {
  if (param_order_count > 0) --param_order_count;
}

// ---- The whole table -------------------------------------------------------------------

// param_init: rebuilds every default and the display order.
// Reads:  the current context's minimum line width, prefs.use_sonata_font(), the font numbers
//         found at start-up, the current context's note spacing value.
// Writes: param (every slot's type; every declared slot's fields), param_order,
//         param_order_count, param_heading_count, min_line_width.
// Failure: a slot left untyped is reported at level 4 and stays type 0.
void param_init() {
  min_line_width = current_min_line_width();
  for (int i = 1; i <= PARAM_LAST; ++i) param[i].type = PARAM_NONE;
  param_heading_count = 0;
  param_order_count = 0;

  for (Filler fill : FILLERS) fill();

  // Two hidden slots the editor keeps typed; no routine reads them by number.
  const CharSpec editor_h{104, -1, 0, 12, 0, 0};
  declare_character_param(417, editor_h, editor_h, "editor parameter");
  unlist_last_param();
  const CharSpec editor_backslash{92, -1, 0, 12, 0, 0};
  declare_character_param(105, editor_backslash, editor_backslash, "editor parameter");
  unlist_last_param();

  for (int slot : UNUSED_SLOTS) param[slot].type = PARAM_UNUSED;

  for (int i = 1; i <= PARAM_LAST; ++i) {
    if (param[i].type != PARAM_NONE) continue;
    const char* before = param[i - 1].description;
    REPORT_ERROR(4, "Unitialized parameter in param_init == %hd; after '%s'", short(i),
                 before ? before : "");
  }
}
