// dynamics.cpp: dynamics recognised in text annotations and the velocities they give, the
// glyph tests of trills, pedal marks and breath marks, and the class a text's content suggests.
//
// A dynamic is recognised by its characters and their fonts, never by its class: the single
// dynamics are the glyphs of parameters 41 to 50; the compound ones letters of a text font
// with the f, p, pp and ff glyphs ("s" f "z"). A dynamic marked Do Not Interpret is not played.

#include <algorithm>
#include <array>
#include <string>

#include "annotations/anno_classes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_services.h"
#include "annotations/drawtext.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"

namespace {

constexpr int MF_LEVEL = 5;

// A character of a text with the font of its run.
struct StyledChar {
  bool present = false;
  int16_t font = 0;
  uint8_t c = 0;
};

bool text_font(const StyledChar& ch) { return ch.present && !(ch.font >= -3 && ch.font <= -1); }
bool letter(const StyledChar& ch, char c) { return text_font(ch) && ch.c == uint8_t(c); }

struct Glyph {
  int16_t font;
  uint8_t c;
};

Glyph glyph_of(int pindex, Drosa note) {
  const ParamValue* v = param_value(pindex, note, nullptr);
  return {v->font(), v->character()};
}

bool is(const StyledChar& ch, const Glyph& g) {
  return ch.present && ch.font == g.font && ch.c == g.c;
}

// A TPARAM that heads a text, in any context.
bool text_head(Drosa t) { return t && t->xkind == TPARAM && !t->get(xadjacent); }

// The first n characters of a text, each with its run's font, across its style runs.
std::vector<StyledChar> first_chars(Drosa tparam, size_t n) {
  std::vector<StyledChar> chars;
  for (Drosa run = tparam; run && chars.size() < n; run = next_style_run(run))
    for (unsigned char c : anno_run_text(run)) {
      if (chars.size() == n) break;
      chars.push_back({true, run->get(xtextfont), c});
    }
  chars.resize(n);
  return chars;
}

int level_volume(int level) { return dynamic_level_volume(level); }

}  // namespace

// ---- Dynamics
// ------------------------------------------------------------------------------------

int dynamic_index(Drosa note, Drosa tparam, int* glyph) {
  if (glyph) *glyph = -1;
  if (!text_head(tparam)) return -1;
  const std::vector<StyledChar> ch = first_chars(tparam, 3);
  const Glyph f = glyph_of(P_F_DYNAMIC, note), p = glyph_of(P_P_DYNAMIC, note);
  const Glyph pp = glyph_of(P_PP_DYNAMIC, note), ff = glyph_of(P_FF_DYNAMIC, note);
  Glyph levels[10];
  for (int k = 0; k < 10; ++k) levels[k] = glyph_of(P_PPPP_DYNAMIC + k, note);
  if (glyph)
    for (int k = 0; k < 10; ++k)
      if (is(ch[2], levels[k])) {
        *glyph = k;
        break;
      }
  if (letter(ch[0], 'r') && is(ch[1], f)) return text_font(ch[2]) ? 16 : 15;
  if (letter(ch[0], 's') && is(ch[1], f)) {
    if (!ch[2].present) return 11;
    if (is(ch[2], p)) return 17;
    if (is(ch[2], pp)) return 18;
    if (text_font(ch[2])) return 12;
  }
  if (letter(ch[0], 's') && is(ch[1], ff)) return 19;
  if (is(ch[0], f) && (is(ch[1], p) || letter(ch[1], 'p'))) return 14;
  if (is(ch[0], f) && letter(ch[1], 'z')) return 13;
  for (int k = 0; k < 10; ++k)
    if (is(ch[0], levels[k])) return k;
  return -1;
}

std::string anno_run_words(Drosa run) {
  std::string text = anno_run_text(run);
  const int16_t font = run->get(xtextfont);
  if (!(font >= -3 && font <= -1)) return text;
  static const char* const LEVELS[10] = {"pppp", "ppp", "pp", "p",   "mp",
                                         "mf",   "f",   "ff", "fff", "ffff"};
  static const struct {
    int pindex;
    const char* words;
  } OTHERS[] = {{P_TR, "tr"},
                {P_PEDAL_MARKING, "Ped."},
                {P_PEDAL_UP_MARKING, "*"},
                {P_SEGNO, "Segno"},
                {P_CODA_SYMBOL, "Coda"}};
  auto matches = [font](int pindex, unsigned char c) {
    const Glyph g = glyph_of(pindex, NIL);
    return g.font == font && g.c == c;
  };
  std::string words;
  for (unsigned char c : text) {
    const char* said = nullptr;
    for (int k = 0; k < 10 && !said; ++k)
      if (matches(P_PPPP_DYNAMIC + k, c)) said = LEVELS[k];
    for (const auto& other : OTHERS)
      if (!said && matches(other.pindex, c)) said = other.words;
    if (said) words += said;
  }
  return words;
}

int dynamic_velocity_slot(int index) {
  if (index >= 0 && index <= 9) return index;
  if (index == 10) return 3;
  if (index >= 11 && index <= 18) return 6;
  if (index == 19) return 7;
  return -1;
}

int performed_dynamic_velocity(Drosa tparam) {
  if (!text_head(tparam) || tparam->get(xignore)) return -1;
  const int slot = dynamic_velocity_slot(dynamic_index(NIL, tparam, nullptr));
  return slot < 0 ? -1 : level_volume(slot);
}

namespace {

// The glyphs of the ten dynamics, on which what counts as a dynamic depends.
std::array<uint32_t, 10> dynamic_glyphs() {
  std::array<uint32_t, 10> glyphs{};
  for (int k = 0; k < 10; ++k) {
    const Glyph g = glyph_of(P_PPPP_DYNAMIC + k, NIL);
    glyphs[k] = uint32_t(uint16_t(g.font)) << 8 | g.c;
  }
  return glyphs;
}

// Dynamics in force found by earlier walks, one slot per handle modulo the table's size: the
// played dynamic's TPARAM (NIL none) in force at `from`, valid while no list changed but for
// notes, no annotation text was linked or unlinked, the dynamics' glyphs are the same and
// `from` is a kept place. A walk back that reaches a node with an answer takes it, so notes
// entered one after another do not each walk back to the last dynamic.
struct DynamicAnswer {
  Drosa from, dynamic;
  uint64_t changes = 0, text_changes = 0;
  std::array<uint32_t, 10> glyphs{};
};
constexpr uint32_t DYNAMIC_ANSWER_SLOTS = KEPT_PLACE_SLOTS;
DynamicAnswer dynamic_answers[DYNAMIC_ANSWER_SLOTS];

}  // namespace

int dynamic_velocity_at(Drosa node) {
  const std::array<uint32_t, 10> glyphs = dynamic_glyphs();
  auto kept_answer = [&glyphs](Drosa p) -> const DynamicAnswer* {
    const DynamicAnswer& a = dynamic_answers[p.handle() % DYNAMIC_ANSWER_SLOTS];
    if (a.from != p || a.changes != changes_beside_notes() || a.text_changes != text_change_count ||
        a.glyphs != glyphs || !kept_place(KEPT_DYNAMICS, p))
      return nullptr;
    // A dynamic that plays no more (its level or flags changed in place) is looked for again.
    if (a.dynamic && performed_dynamic_velocity(a.dynamic) < 0) return nullptr;
    return &a;
  };
  Drosa found = NIL;
  for (Drosa p = node; p; p = p->xback) {
    if (const DynamicAnswer* a = kept_answer(p)) {
      found = a->dynamic;
      break;
    }
    if (p->xkind == TPARAM && performed_dynamic_velocity(p) >= 0) {
      found = p;
      break;
    }
  }
  dynamic_answers[node.handle() % DYNAMIC_ANSWER_SLOTS] = {node, found, changes_beside_notes(),
                                                           text_change_count, glyphs};
  keep_place(KEPT_DYNAMICS, node);
  return found ? performed_dynamic_velocity(found) : level_volume(MF_LEVEL);
}

int apply_dynamic_velocity(Drosa node) {
  if (!node || perf_setting(PERF_ONE_LEVEL_FOR_ALL)) return -1;
  const int velocity = std::clamp(dynamic_velocity_at(node), 0, 200);
  for (Drosa p = node; p; p = p->xnext) {
    if (p != node && p->xkind == TPARAM && performed_dynamic_velocity(p) >= 0)
      return dynamic_index(NIL, p, nullptr);
    if (p->xkind == ENDSYST && p->get(xendpiece)) return -1;
    if (p->xkind != NOTE) continue;
    if (p->get(xvolume) == velocity && !p->get(xvolume_edited)) continue;
    modifyvc_with_undo(p);
    p->set(xvolume, uint8_t(velocity));
    p->set(xvolume_edited, 0);
  }
  return -1;
}

// ---- Glyph tests -----------------------------------------------------------------------------

int anno_is_trill(Drosa note, Drosa tparam) {
  if (!text_head(tparam) || effective_kind(tparam) != TPARAM) return 0;
  return is(first_chars(tparam, 1)[0], glyph_of(P_TR, note)) ? P_TR : 0;
}

int anno_is_pedal(Drosa note, Drosa tparam) {
  if (!text_head(tparam) || effective_kind(tparam) != TPARAM) return 0;
  const std::vector<StyledChar> ch = first_chars(tparam, 2);
  const Glyph down = glyph_of(P_PEDAL_MARKING, note), up = glyph_of(P_PEDAL_UP_MARKING, note);
  if (is(ch[0], down)) return P_PEDAL_MARKING;
  if (!is(ch[0], up)) return 0;
  return is(ch[1], down) ? P_PEDAL_MARKING : P_PEDAL_UP_MARKING;
}

bool anno_is_pedal_change(Drosa note, Drosa tparam) {
  if (!text_head(tparam) || effective_kind(tparam) != TPARAM) return false;
  const std::vector<StyledChar> ch = first_chars(tparam, 2);
  return is(ch[0], glyph_of(P_PEDAL_UP_MARKING, note)) &&
         is(ch[1], glyph_of(P_PEDAL_MARKING, note));
}

int anno_is_style_670(Drosa note, Drosa anno) {
  if (!text_head(anno) || effective_kind(anno) != TPARAM) return 0;
  Drosa text = anno->xnext;
  if (text && text->xkind == PDATA) text = text->xnext;
  if (!text || effective_kind(text) != TEXT) return 0;
  const std::string chars = text->get(xtext);
  if (chars.size() != 1) return 0;
  const StyledChar ch{true, anno->get(xtextfont), uint8_t(chars[0])};
  for (int pindex : {P_BREATH_MARK_SINGLE, P_BREATH_MARK_DOUBLE})
    if (is(ch, glyph_of(pindex, note))) return pindex;
  return 0;
}

// ---- Classes by content ------------------------------------------------------------------------

int anno_kind_code(Drosa tparam, Drosa note, int* code) {
  if (code) *code = 0;
  if (!text_head(tparam) || effective_kind(tparam) != TPARAM) return 0;
  int suggested = dynamic_index(note, tparam, nullptr) != -1 ? CLASS_DYNAMIC : 0;
  if (anno_is_pedal(note, tparam)) suggested = CLASS_PEDAL;
  if (anno_is_style_670(note, tparam)) suggested = CLASS_BREATH;
  if (const int command = midi_anno_kind(tparam, nullptr))
    suggested = command == COMMAND_PARAM ? CLASS_OTHER : CLASS_MIDI;
  int number = 0;
  CString name;
  if (parse_font_record(tparam, &number, &name)) suggested = CLASS_OTHER;
  double bpm = 0;
  int32_t unit = 0, dots = 0;
  if (parse_metronome_text(tparam, &bpm, &unit, &dots)) suggested = CLASS_TEMPO;
  if (code) *code = suggested;
  const int cls = tparam->get(xclassify);
  return cls ? cls : suggested;
}
