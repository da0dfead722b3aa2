// anno_codes.cpp: the escape-code language of annotation text.
//
// While an annotation is edited in place, every music glyph in it is shown and typed as a
// short backslash code ("\mf", "\q"), with codes for font switches, size steps, bold and
// italic, and two superscript modes for chord symbols and fret grids. The parser turns coded
// text into characters, each with its font, size, face and offsets; the builder writes
// styled runs back as coded text.
//
// Design notes:
//  - The builder keeps a picture of the parser's state (the size the codes have reached, the
//    face toggles, the active superscript, the last glyph written) and writes exactly what
//    makes the parser give each character back: the coded text of runs the parser made parses
//    into the same runs again (font switches aside, which the builder never writes). A
//    character that plain text gives is written as plain text, so that text without glyphs
//    builds back to itself even where a glyph of the same font and character exists.
//  - A size that the codes drive below 1 or above 255 is held at 1 or 255 (not wrapped
//    around as the size byte would).
//  - A glyph's offsets are its parameter's; a plain character keeps the caller's offsets, or
//    takes the active superscript's.
#include "annotations/anno_codes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_runs.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

// clang-format off
const anno_code_entry anno_code_table[ANNO_CODE_COUNT] = {
    {"\\+", 587, 0, {}, {}, {}, {}},         {"\\++", 588, 0, {}, {}, {}, {}},
    {"\\-", 585, 0, {}, {}, {}, {}},         {"\\--", 584, 0, {}, {}, {}, {}},
    {"\\*", 607, 0, {}, {}, {}, {}},         {"\\'", 670, 0, {}, {}, {}, {}},
    {"\\\"", 671, 0, {}, {}, {}, {}},        {"\\.", 582, 0, {}, {}, {}, {}},
    {"\\..", 583, 0, {}, {}, {}, {}},        {"\\/", 726, 0, {}, {}, {}, {}},
    {"\\//", 725, 0, {}, {}, {}, {}},        {"\\<", CODE_SIZE_STEP, 1, {}, {}, {}, {}},
    {"\\<<", CODE_SIZE_STEP, 4, {}, {}, {}, {}}, {"\\>", CODE_SIZE_STEP, -1, {}, {}, {}, {}},
    {"\\>>", CODE_SIZE_STEP, -4, {}, {}, {}, {}}, {"\\|", 362, 0, {}, {}, {}, {}},
    {"\\~", 731, 0, {}, {}, {}, {}},         {"\\alt+", 591, CODE_ALTERATION, {}, {}, {}, {}},
    {"\\altn", 734, CODE_ALTERATION, {}, {}, {}, {}}, {"\\alt-", 590, CODE_ALTERATION, {}, {}, {}, {}},
    {"\\arp", 339, 0, {}, {}, {}, {}},       {"\\b", CODE_TOGGLE_FACE, 1, {}, {}, {}, {}},
    {"\\coda", 724, 0, {}, {}, {}, {}},      {"\\downbow", 646, 0, {}, {}, {}, {}},
    {"\\e", 15, 0, {}, {}, {}, {}},          {"\\ed", 15, 22, {}, {}, {}, {}},
    {"\\edd", 15, 23, {}, {}, {}, {}},       {"\\f", 47, 0, {}, {}, {}, {}},
    {"\\fermata", 6, 0, {}, {}, {}, {}},     {"\\fermata2", 7, 0, {}, {}, {}, {}},
    {"\\ff", 48, 0, {}, {}, {}, {}},         {"\\fff", 49, 0, {}, {}, {}, {}},
    {"\\ffff", 50, 0, {}, {}, {}, {}},       {"\\g", 663, CODE_SUPERSCRIPT, {}, {}, {}, {}},
    {"\\h", 13, 0, {}, {}, {}, {}},          {"\\hd", 13, 582, {}, {}, {}, {}},
    {"\\hdd", 13, 583, {}, {}, {}, {}},      {"\\i", CODE_TOGGLE_FACE, 2, {}, {}, {}, {}},
    {"\\QUOR", CODE_FONT, -1, {}, {}, {}, {}}, {"\\mf", 46, 0, {}, {}, {}, {}},
    {"\\mordent", 729, 0, {}, {}, {}, {}},   {"\\mordent2", 730, 0, {}, {}, {}, {}},
    {"\\mp", 45, 0, {}, {}, {}, {}},         {"\\n", 586, 0, {}, {}, {}, {}},
    {"\\p", 44, 0, {}, {}, {}, {}},          {"\\ped", 606, 0, {}, {}, {}, {}},
    {"\\plus", 648, 0, {}, {}, {}, {}},      {"\\pp", 43, 0, {}, {}, {}, {}},
    {"\\ppp", 42, 0, {}, {}, {}, {}},        {"\\pppp", 41, 0, {}, {}, {}, {}},
    {"\\q", 14, 0, {}, {}, {}, {}},          {"\\qd", 14, 582, {}, {}, {}, {}},
    {"\\qdd", 14, 583, {}, {}, {}, {}},      {"\\s", 16, 0, {}, {}, {}, {}},
    {"\\sd", 16, 22, {}, {}, {}, {}},        {"\\sdd", 16, 23, {}, {}, {}, {}},
    {"\\segno", 723, 0, {}, {}, {}, {}},     {"\\SONATA", CODE_FONT, -3, {}, {}, {}, {}},
    {"\\SYMBOL", CODE_FONT, -6, {}, {}, {}, {}}, {"\\TIMES", CODE_FONT, -5, {}, {}, {}, {}},
    {"\\SAYL", CODE_FONT, -2, {}, {}, {}, {}}, {"\\t", 17, 0, {}, {}, {}, {}},
    {"\\tr", 11, 0, {}, {}, {}, {}},         {"\\turn", 732, 0, {}, {}, {}, {}},
    {"\\td", 17, 22, {}, {}, {}, {}},        {"\\tdd", 17, 23, {}, {}, {}, {}},
    {"\\u", 592, CODE_SUPERSCRIPT, {}, {}, {}, {}}, {"\\upbow", 647, 0, {}, {}, {}, {}},
    {"\\w", 12, 0, {}, {}, {}, {}},          {"\\wd", 12, 582, {}, {}, {}, {}},
    {"\\wdd", 12, 583, {}, {}, {}, {}},      {"\\0", CODE_SIZE_STEP, 0, {}, {}, {}, {}},
    {"\\1", CODE_SIZE_STEP, -4, {}, {}, {}, {}}, {"\\2", CODE_SIZE_STEP, 4, {}, {}, {}, {}},
    {"\\8va", 727, 0, {}, {}, {}, {}},       {"\\8vb", 728, 0, {}, {}, {}, {}},
};
// clang-format on

const char anno_escape_table[ANNO_ESCAPE_COUNT][4] = {
    {'R', 13, 13, 0},
    {'N', 10, 10, 0},
    {'\\', '\\', '\\', 0},
    {' ', char(202), char(202), 0},
};

namespace {

constexpr int NORMAL_SIZE = 12;  // a glyph parameter's size steps from this one
constexpr int MUSIC_FONT_LOW = -3, MUSIC_FONT_HIGH = -1;

bool is_music_font(int code) { return code >= MUSIC_FONT_LOW && code <= MUSIC_FONT_HIGH; }

int held_size(int size, bool* held) {
  *held |= size < 1 || size > 255;
  return std::clamp(size, 1, 255);
}

// The escape's character when text holds a backslash and one of the escape letters; -1 else.
int escape_character(const char* text) {
  for (const auto& e : anno_escape_table)
    if (text[1] == e[0]) return uint8_t(e[1]);
  return -1;
}

// The record whose code begins the text, searched from the last record to the first; -1.
int code_at(const char* text) {
  for (int i = ANNO_CODE_COUNT - 1; i >= 0; --i) {
    const char* code = anno_code_table[i].code;
    if (std::strncmp(text, code, std::strlen(code)) == 0) return i;
  }
  return -1;
}

ParamValue glyph_at(int pindex, Drosa node) {
  ParamValue value;
  scaled_char_param(&value, pindex, node, nullptr);
  return value;
}

// ---- Parsing -----------------------------------------------------------------------------------

// What one call gathers before its character.
struct CallSteps {
  int size_steps = 0;
  int glyph_step = 0;
  bool size_code = false;
};

// Step 1: the second glyph of a two-glyph code waiting from the last call.
int hand_out_pending(ParamValue* style) {
  AnnoParseState& s = anno_parse_state;
  const ParamValue& g = s.pending_glyph;
  style->set_font(g.font());
  style->set_character(g.character());
  const int size = s.previous_size + s.super_step + g.size() - NORMAL_SIZE;
  style->set_size(uint8_t(held_size(size, &s.size_clamped)));
  style->set_style(uint8_t(style->style() ^ s.face_toggles));
  s.pending = false;
  return 1;
}

// Steps 4 and 5: an operation or a superscript switch.
void apply_operation(const anno_code_entry& e, Drosa node, CallSteps* steps) {
  AnnoParseState& s = anno_parse_state;
  if (e.glyph_or_op == CODE_TOGGLE_FACE) {
    s.face_toggles ^= uint8_t(e.arg);
  } else if (e.glyph_or_op == CODE_FONT) {
    s.font_override = e.arg;
    s.font_override_set = true;
  } else if (e.glyph_or_op == CODE_SIZE_STEP) {
    steps->size_steps += e.arg;
    steps->size_code = true;
    s.override_set = true;
  } else if (s.super_active) {  // a superscript switch while one is on: off
    s.super_active = false;
    s.super_step = 0;
  } else {
    s.super_glyph = glyph_at(e.glyph_or_op, node);
    s.super_active = true;
    s.super_first = true;
    s.super_step = s.super_glyph.size() - NORMAL_SIZE;
  }
}

// Step 6: a glyph code; returns the bytes it reports consumed.
int take_glyph(const anno_code_entry& e, int length, Drosa node, ParamValue* style,
               CallSteps* steps) {
  const ParamValue g = glyph_at(e.glyph_or_op, node);
  style->set_font(g.font());
  style->set_character(g.character());
  style->set_x(g.x());
  style->set_y(g.y());
  steps->glyph_step = g.size() - NORMAL_SIZE;
  if (e.arg <= 0) return length;
  anno_parse_state.pending_glyph = glyph_at(e.arg, node);
  anno_parse_state.pending = true;
  return length - 1;
}

// Step 7: the font and offsets of a plain character.
void style_plain(ParamValue* style) {
  AnnoParseState& s = anno_parse_state;
  if (s.font_override_set) style->set_font(s.font_override);
  if (!s.super_active) return;
  if (s.super_glyph.font() != 0) style->set_font(s.super_glyph.font());
  style->set_y(s.super_glyph.y());
  if (s.super_first) style->set_x(s.super_glyph.x());
  s.super_first = false;
}

// Step 8: the size and face of the character.
void finish_character(ParamValue* style, int base, const CallSteps& steps) {
  AnnoParseState& s = anno_parse_state;
  const int text_size = held_size(base + steps.size_steps, &s.size_clamped);
  const int size = text_size + steps.glyph_step + s.super_step;
  style->set_size(uint8_t(held_size(size, &s.size_clamped)));
  style->set_style(uint8_t(style->style() ^ s.face_toggles));
  s.previous_size = text_size;
  if (s.override_set) s.size_override = text_size;
}

}  // namespace

int parse_anno_escapes(const char* text, ParamValue* style, Drosa node, int literal) {
  AnnoParseState& s = anno_parse_state;
  if (!text) {
    s = AnnoParseState{};
    return 0;
  }
  if (s.pending) return hand_out_pending(style);
  if (!*text) return 0;
  if (s.override_set) style->set_size(uint8_t(s.size_override));
  CallSteps steps;
  int at = 0;
  for (;;) {
    const char* here = text + at;
    if (!*here) {  // operations only: no character
      style->set_character(0);
      return at;
    }
    if (literal || *here != '\\' || !here[1]) {  // a final backslash stands for itself
      style->set_character(uint8_t(*here));
      style_plain(style);
      at += 1;
      break;
    }
    if (int c = escape_character(here); c >= 0) {
      style->set_character(uint8_t(c));
      style_plain(style);
      at += 2;
      break;
    }
    const int i = code_at(here);
    if (i < 0) {  // no code: the character after the backslash
      style->set_character(uint8_t(here[1]));
      style_plain(style);
      at += 2;
      break;
    }
    const anno_code_entry& e = anno_code_table[i];
    const int length = int(std::strlen(e.code));
    if (e.glyph_or_op < 0 || e.arg == CODE_SUPERSCRIPT) {
      apply_operation(e, node, &steps);
      at += length;
      continue;
    }
    at += take_glyph(e, length, node, style, &steps);
    break;
  }
  int base = style->size();
  if (steps.size_code && s.previous_size >= 0) base = s.previous_size;
  finish_character(style, base, steps);
  return at;
}

// ---- Style runs of coded text ----------------------------------------------------------------

Drosa anno_runs_from_codes(Drosa head, Drosa after, const std::string& text,
                           const std::function<ParamValue(size_t)>& style_at, Drosa note,
                           int context) {
  Drosa run = head, last = after;
  std::string chars;  // the characters of the run being filled
  bool run_empty = true;
  auto close_run = [&] {
    if (chars.empty()) return;
    Drosa tail = NIL;
    Drosa texts = make_text_nodes(chars, context, &tail);
    link_chain_after(texts, tail, last);
    last = tail;
    chars.clear();
  };
  parse_anno_escapes(nullptr, nullptr, note, 0);
  for (size_t at = 0; at < text.size();) {
    ParamValue style = style_at(at);
    const int consumed =
        parse_anno_escapes(text.c_str() + at, &style, note, is_music_font(style.font()));
    if (consumed <= 0) break;
    if (consumed > 1) head->set(xbackslash, 1);
    at += size_t(consumed);
    const uint8_t c = style.character();
    if (!c) continue;
    const bool differs =
        run->get(xtextfont) != style.font() || run->get(xcharset) != style.bytes[2] ||
        run->get(xtextface) != style.style() || run->get(xtextsize) != style.size() ||
        style.x() != 0 || run->get(xsuper) != int8_t(style.y());
    if (differs) {
      if (!run_empty) {  // an empty run takes the character's style itself
        close_run();
        Drosa next = copyDrosa(run);
        next->set(xadjacent, 1);
        link_after(next, last);
        last = next;
        run = next;
      }
      run->set(xtextfont, style.font());
      run->set(xcharset, style.bytes[2]);
      run->set(xtextface, style.style());
      run->set(xtextsize, style.size());
      run->set(xtext_stsize, head->get(xtext_stsize));
      run->set(xexpand, int8_t(std::clamp<int32_t>(style.x(), -128, 127)));
      run->set(xsuper, int8_t(std::clamp<int32_t>(style.y(), -128, 127)));
    }
    chars += char(c);
    run_empty = false;
  }
  close_run();
  if (run_empty) return NIL;
  return last;
}

// ---- The font of an annotation ---------------------------------------------------------------

AnnoFontSpec anno_font_spec(Drosa tparam) {
  AnnoFontSpec spec;
  if (!tparam || tparam->xkind != TPARAM) return spec;
  if (!tparam->get(xbackslash)) {
    spec.font = tparam->get(xtextfont);
    spec.size = tparam->get(xtextsize);
    spec.face = tparam->get(xtextface);
    spec.charset = tparam->get(xcharset);
    return spec;
  }
  spec.size = tparam->get(xtextsize);
  for (Drosa run = tparam; run; run = next_style_run(run)) {
    if (is_music_font(run->get(xtextfont))) continue;
    spec.font = run->get(xtextfont);
    spec.face = run->get(xtextface);
    spec.charset = run->get(xcharset);
    break;
  }
  return spec;
}

// ---- Building -------------------------------------------------------------------------------

namespace {

// Appends a code, or the rest of one (`code` is then the whole code written).
void append_code(std::string* out, const char* text, const char* code) {
  out->append(text);
  anno_build_state.last_code = code;
}
void append_code(std::string* out, const char* code) { append_code(out, code, code); }

// Appends a character of plain text; after a code that it would lengthen into another (an
// "f" after "\\f"), the code that changes nothing ("\\0") keeps them apart.
void append_plain(std::string* out, char c) {
  AnnoBuildState& b = anno_build_state;
  if (!b.last_code.empty()) {
    const std::string longer = b.last_code + c;
    for (const anno_code_entry& e : anno_code_table)
      if (std::strncmp(e.code, longer.c_str(), longer.size()) == 0) {
        out->append("\\0");
        break;
      }
  }
  out->push_back(c);
  b.last_code.clear();
}

void resolve_glyphs(Drosa node) {
  AnnoBuildState& b = anno_build_state;
  for (int i = 0; i < ANNO_CODE_COUNT; ++i) {
    anno_code_entry& e = b.table[i];
    e = anno_code_table[i];
    if (e.glyph_or_op < 1) continue;
    const int params[2] = {e.glyph_or_op, e.arg > 0 ? e.arg : 0};
    for (int k = 0; k < 2; ++k) {
      if (!params[k]) continue;
      const ParamValue g = glyph_at(params[k], node);
      e.font[k] = g.font();
      e.character[k] = g.character();
      e.size[k] = g.size();
      e.yoffset[k] = int16_t(std::clamp<int32_t>(g.y(), INT16_MIN, INT16_MAX));
      b.xoffset[i][k] = g.x();
    }
  }
}

void prepare_builder(Drosa run, Drosa node) {
  AnnoBuildState& b = anno_build_state;
  b = AnnoBuildState{};
  b.base = anno_font_spec(run);
  b.size = b.base.size;
  b.face = b.base.face;
  resolve_glyphs(node);
  for (int i = ANNO_CODE_COUNT - 1; i >= 0; --i) {
    const anno_code_entry& e = b.table[i];
    if (e.arg == CODE_SUPERSCRIPT && std::strcmp(e.code, "\\g") == 0) b.fret_super = i;
    if (e.arg == CODE_SUPERSCRIPT && std::strcmp(e.code, "\\u") == 0) b.chord_super = i;
    // Searched from the last record to the first, the earliest of each step serves.
    if (e.glyph_or_op != CODE_SIZE_STEP) continue;
    if (e.arg == 1) b.step_up = i;
    if (e.arg == 4) b.step_up4 = i;
    if (e.arg == -1) b.step_down = i;
    if (e.arg == -4) b.step_down4 = i;
  }
  b.prepared = true;
}

int super_step_now() {
  const AnnoBuildState& b = anno_build_state;
  return b.super < 0 ? 0 : b.table[b.super].size[0] - NORMAL_SIZE;
}

// Step 2: the face codes that bring the codes' face to the run's.
void write_faces(std::string* out, int face) {
  AnnoBuildState& b = anno_build_state;
  for (int i = 0; i < ANNO_CODE_COUNT; ++i) {
    const anno_code_entry& e = b.table[i];
    if (e.glyph_or_op != CODE_TOGGLE_FACE) continue;
    if (((face ^ b.face) & e.arg) == 0) continue;
    append_code(out, e.code);
    b.face = uint8_t(b.face ^ e.arg);
  }
}

// Step 3: the superscript that the run's height asks for: none on the base line, the active
// one at its height, else the one of that height ("\g" tried before "\u"); a switch while one
// is active turns it off.
void write_superscript(std::string* out, Drosa run) {
  AnnoBuildState& b = anno_build_state;
  const int y = run->get(xsuper);
  int wanted = b.super;
  if (y == 0)
    wanted = -1;
  else if (b.super < 0 || b.table[b.super].yoffset[0] != y)
    for (int i : {b.chord_super, b.fret_super})
      if (i >= 0 && b.table[i].yoffset[0] == y) wanted = i;
  if (wanted == b.super) return;
  if (b.super >= 0) append_code(out, b.table[b.super].code);
  b.super = -1;
  if (wanted < 0) return;
  emit_baseline_shift(out, run->get(xtextsize) - b.table[wanted].size[0] + NORMAL_SIZE);
  append_code(out, b.table[wanted].code);
  b.super = wanted;
}

// The record whose first glyph the character is, in the run's font and at its offsets; -1.
int first_glyph_record(uint8_t c, Drosa run) {
  const AnnoBuildState& b = anno_build_state;
  for (int i = ANNO_CODE_COUNT - 1; i >= 0; --i) {
    const anno_code_entry& e = b.table[i];
    if (e.glyph_or_op < 1 || (e.arg != 0 && e.arg != CODE_ALTERATION)) continue;
    if (e.font[0] == run->get(xtextfont) && uint8_t(e.character[0]) == c &&
        e.yoffset[0] == run->get(xsuper) && b.xoffset[i][0] == run->get(xexpand))
      return i;
  }
  return -1;
}

// The two-glyph record whose second glyph the character is, following the previous glyph;
// -1. The second glyph keeps the plain offsets and the size the codes have reached.
int second_glyph_record(uint8_t c, Drosa run) {
  const AnnoBuildState& b = anno_build_state;
  if (b.previous_glyph < 0 || run->get(xsuper) != 0 || run->get(xexpand) != 0) return -1;
  const anno_code_entry& previous = b.table[b.previous_glyph];
  for (int i = ANNO_CODE_COUNT - 1; i >= 0; --i) {
    const anno_code_entry& e = b.table[i];
    if (e.arg < 1 || e.glyph_or_op != previous.glyph_or_op) continue;
    if (std::strncmp(e.code, previous.code, std::strlen(previous.code)) != 0) continue;
    const int size = b.size + super_step_now() + e.size[1] - NORMAL_SIZE;
    if (e.font[1] == run->get(xtextfont) && uint8_t(e.character[1]) == c &&
        size == run->get(xtextsize))
      return i;
  }
  return -1;
}

// Whether the run's characters are what plain text gives now: the font, height and offset
// of plain characters (the superscript's while one is on).
bool plain_run(Drosa run) {
  const AnnoBuildState& b = anno_build_state;
  int font = b.base.font, y = 0;
  if (b.super >= 0) {
    if (b.table[b.super].font[0] != 0) font = b.table[b.super].font[0];
    y = b.table[b.super].yoffset[0];
  }
  return run->get(xtextfont) == font && run->get(xsuper) == y && run->get(xexpand) == 0;
}

// Step 4: one character of the run: as plain text when plain text gives it, else as the
// rest of a two-glyph code or as a glyph code, each after the size steps that give its size.
void write_character(std::string* out, uint8_t c, Drosa run) {
  AnnoBuildState& b = anno_build_state;
  const int text_size = run->get(xtextsize) - super_step_now();
  if (!plain_run(run)) {
    if (int i = second_glyph_record(c, run); i >= 0) {
      append_code(out, b.table[i].code + std::strlen(b.table[b.previous_glyph].code),
                  b.table[i].code);
      b.previous_glyph = -1;
      return;
    }
    if (int i = first_glyph_record(c, run); i >= 0) {
      emit_baseline_shift(out, text_size - b.table[i].size[0] + NORMAL_SIZE);
      append_code(out, b.table[i].code);
      b.previous_glyph = i;
      return;
    }
  }
  b.previous_glyph = -1;
  emit_baseline_shift(out, text_size);
  for (const auto& e : anno_escape_table) {
    if (c != uint8_t(e[1])) continue;
    out->push_back('\\');
    out->push_back(e[0]);
    b.last_code.clear();
    return;
  }
  append_plain(out, char(c));
}

}  // namespace

void emit_baseline_shift(std::string* out, int size) {
  AnnoBuildState& b = anno_build_state;
  size = std::clamp(size, 1, 255);
  if (b.size == 0 || b.size == size || b.step_up < 0) return;
  while (size - b.size >= 4) append_code(out, b.table[b.step_up4].code), b.size += 4;
  while (size > b.size) append_code(out, b.table[b.step_up].code), b.size += 1;
  while (b.size - size >= 4) append_code(out, b.table[b.step_down4].code), b.size -= 4;
  while (b.size > size) append_code(out, b.table[b.step_down].code), b.size -= 1;
}

int anno_text_to_codes(std::string* text, Drosa run, Drosa node) {
  if (!run || run->xkind != TPARAM) return 0;
  if (!text) {
    prepare_builder(run, node);
    anno_build_state.coded = run->get(xbackslash) != 0;
    return anno_build_state.coded ? 1 : 0;
  }
  AnnoBuildState& b = anno_build_state;
  if (!b.prepared || !b.coded) return 0;
  std::string out;
  write_faces(&out, run->get(xtextface));
  write_superscript(&out, run);
  for (unsigned char c : *text) write_character(&out, c, run);
  // Every code begins with a backslash, and a backslash of the text is written as a code.
  const bool coded = out != *text;
  *text = std::move(out);
  return coded ? 1 : 0;
}

// ---- Reading an annotation character by character ---------------------------------------------

int next_anno_in_group(Drosa* tparam, Drosa* text, int* index) {
  Drosa run = *tparam, node = *text;
  int i = *index;
  auto text_after = [](Drosa from) {
    Drosa p = from ? from->xnext : NIL;
    if (p && p->xkind == PDATA && from->xkind == TPARAM && !from->get(xadjacent)) p = p->xnext;
    for (; p && effective_kind(p) == NA; p = p->xnext) {
    }
    return p && p->xkind == TEXT ? p : NIL;
  };
  if (node) {
    ++i;
    if (i < int(node->get(xtext).size())) {
      *index = i;
      return 1;
    }
    node = text_after(node);
  } else {
    node = text_after(run);
  }
  while (run) {
    for (; node; node = text_after(node)) {
      if (!node->get(xtext).empty()) {
        *tparam = run;
        *text = node;
        *index = 0;
        return 1;
      }
    }
    run = next_style_run(run);
    node = text_after(run);
  }
  *tparam = *text = NIL;
  *index = 0;
  return 0;
}

// ---- Text on staves of other sizes ------------------------------------------------------------

namespace {

constexpr int NORMAL_STAFF = 50;

}  // namespace

int note_text_offset(Drosa node, Drosa tparam, Drosa run) {
  Drosa source = run ? run : tparam;
  if (!source) return 0;
  const int size = source->get(xtextsize);
  Drosa nt = note_ntdata(node);
  if (!nt || !tparam || tparam->get(xno_size_adjust)) return size;
  const int staff_size = nt->get(xstsize);
  const int set_for = tparam->get(xtext_stsize);
  if (staff_size / 10 == set_for) return size;
  if (set_for != 0) return size * staff_size / (set_for * 10);
  if (staff_size < NORMAL_STAFF)
    return size - param_value(P_OUTDATED_AMOUNT_TO_REDUCE_TEXT_POINT_SIZE_ON_SMALL_SIZE_STAFF, node,
                              nullptr)
                      ->integer();
  return size;
}

int anno_baseline_y(Drosa node, Drosa tparam, Drosa run) {
  const double zoom = zoom_factor > 0 ? zoom_factor : 10.0;
  return int(std::lround(note_text_offset(node, tparam, run) * 10.0 / zoom));
}

int32_t adjusted_texty(Drosa node, Drosa tparam) {
  const int32_t y = tparam ? tparam->get(xtexty) : 0;
  Drosa nt = note_ntdata(node);
  if (!nt) {
    REPORT_ERROR(4, "Error in adjusted_texty().");
    return y;
  }
  if (tparam->get(xno_size_adjust)) return y;
  const int staff_size = nt->get(xstsize);
  const int set_for = tparam->get(xtext_stsize);
  if (staff_size / 10 == set_for) return y;
  if (set_for != 0) return int32_t(int64_t(y) * staff_size / (set_for * 10));
  if (staff_size < NORMAL_STAFF && y < 0)
    return y + 10 * param_value(P_OUTDATED_AMOUNT_TO_REDUCE_TEXT_POINT_SIZE_ON_SMALL_SIZE_STAFF,
                                node, nullptr)
                        ->integer();
  return y;
}
