// command_texts.cpp: text annotations that are commands rather than words for the reader.
//
// A text that begins "param " holds a change of an engraving parameter from its note on:
//
//   param {PPP:R,V} description                integer, coordinate and float parameters
//   param {PPP:R,F,S,A,C,X,Y,K,N} description  character parameters
//
// PPP is the parameter number (negative for its small-notes value), R the reference staff
// size in tens, V the value (a coordinate in points, so tenths / 10), F the font code, S the
// point size, A the face bits, C the character itself, X and Y the offsets in points, K the
// character set and N the character's code. The text is the lasting form of a change: it is
// saved with the piece, and the PARAM nodes that lookups find are made from it again. Numbers
// are written in the "C" style whatever the user's locale, and read only when they fit their
// fields.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "annotations/anno_classes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr size_t COMMAND_TEXT_MAX = 1024;

const char* const COMMAND_PREFIXES[] = {"param ", "program", "control", "pressure",
                                        "midi",   "channel", "note"};

// The text of a TPARAM's own style run: its TEXT nodes (after its PDATA, if any), whatever
// notation context is current.
std::string command_run_text(Drosa tparam) {
  std::string text;
  Drosa p = tparam->xnext;
  if (p && p->xkind == PDATA) p = p->xnext;
  for (; p && p->xkind == TEXT && text.size() < COMMAND_TEXT_MAX; p = p->xnext)
    text += p->get(xtext);
  return text;
}

// The command kind of a TPARAM that heads an annotation, whatever its notation context.
int command_kind(Drosa tparam) {
  if (tparam->xkind != TPARAM || tparam->get(xadjacent) || tparam->get(xignore)) return 0;
  Drosa first = tparam->xnext;
  if (first && first->xkind == PDATA) first = first->xnext;
  if (!first || first->xkind != TEXT) return 0;
  const std::string_view start = first->view(xtext);
  for (int k = 0; k < 7; ++k)
    if (start.compare(0, std::strlen(COMMAND_PREFIXES[k]), COMMAND_PREFIXES[k]) == 0) return k + 1;
  return 0;
}

// The first node attached before the note: the one after the previous NOTE or seen ENDSYST.
Drosa first_attached(Drosa note) {
  Drosa first = note;
  for (Drosa p = note->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback)
    first = p;
  return first;
}

// ---- Reading a parameter text -----------------------------------------------------------------

// A reader of text by the rules of a formatted scan: a blank in the pattern takes any run of
// white space, a conversion skips white space first (a character does not), and the reading
// stops at the first thing that does not match. A number that does not fit is no match.
class Scan {
 public:
  explicit Scan(const char* text) : at_(text), end_(text + std::strlen(text)) {}

  bool literal(const char* pattern) {
    for (; *pattern; ++pattern) {
      if (*pattern == ' ') {
        skip_space();
      } else if (at_ < end_ && *at_ == *pattern) {
        ++at_;
      } else {
        return false;
      }
    }
    return true;
  }
  bool integer(int32_t* out) {
    const char* from = number_start();
    if (!from) return false;
    auto [next, error] = std::from_chars(from, end_, *out);
    if (error != std::errc()) return false;
    at_ = next;
    return true;
  }
  bool real(double* out) {
    const char* from = number_start();
    if (!from) return false;
    auto [next, error] = std::from_chars(from, end_, *out, std::chars_format::general);
    if (error != std::errc() || !std::isfinite(*out)) return false;
    at_ = next;
    return true;
  }
  bool character(unsigned char* out) {
    if (at_ >= end_) return false;
    *out = static_cast<unsigned char>(*at_++);
    return true;
  }

 private:
  void skip_space() {
    while (at_ < end_ && (*at_ == ' ' || (*at_ >= '\t' && *at_ <= '\r'))) ++at_;
  }
  // Where a number starts after white space and a plus sign (a minus is the number's own);
  // null for a plus sign before a minus.
  const char* number_start() {
    skip_space();
    const char* from = at_;
    if (from < end_ && *from == '+') ++from;
    return from != at_ && from < end_ && *from == '-' ? nullptr : from;
  }
  const char* at_;
  const char* end_;
};

struct ParamText {
  int32_t pindex = 0, tens = 0;
  double value = 0;
  int32_t size = 0, face = 0;
  unsigned char character = 0;
  double x = 0, y = 0;
  int32_t charset = 0, code = -1;
};

// Reads "param {%d:%d,%f,%d,%d,%c,%f,%f,%d,%d}"; returns the number of fields read.
int scan_param_text(const std::string& text, ParamText* t) {
  Scan s(text.c_str());
  int n = 0;
  if (!s.literal("param {") || !s.integer(&t->pindex)) return n;
  ++n;
  if (!s.literal(":") || !s.integer(&t->tens)) return n;
  ++n;
  if (!s.literal(",") || !s.real(&t->value)) return n;
  ++n;
  if (!s.literal(",") || !s.integer(&t->size)) return n;
  ++n;
  if (!s.literal(",") || !s.integer(&t->face)) return n;
  ++n;
  if (!s.literal(",") || !s.character(&t->character)) return n;
  ++n;
  if (!s.literal(",") || !s.real(&t->x)) return n;
  ++n;
  if (!s.literal(",") || !s.real(&t->y)) return n;
  ++n;
  if (!s.literal(",") || !s.integer(&t->charset)) return n;
  ++n;
  if (!s.literal(",") || !s.integer(&t->code)) return n;
  return n + 1;
}

// The nearest whole number (halves away from zero) when it fits between low and high.
bool nearest(double v, double low, double high, int32_t* out) {
  double r = std::round(v);
  if (!(r >= low && r <= high)) return false;
  *out = int32_t(r);
  return true;
}

bool in_byte(int32_t v) { return v >= 0 && v <= 255; }

// The value a parameter text gives, laid out by the parameter's type; false when the text
// does not make one (wrong number of fields, a number out of range).
bool value_of(const ParamText& t, int fields, uint32_t type, ParamValue* v) {
  constexpr double I32_LOW = std::numeric_limits<int32_t>::min();
  constexpr double I32_HIGH = std::numeric_limits<int32_t>::max();
  *v = ParamValue{};
  int32_t whole = 0;
  switch (type & ~1u) {
    case PARAM_INTEGER:
      if (fields != 3 || !nearest(t.value, I32_LOW, I32_HIGH, &whole)) return false;
      v->set_integer(whole);
      return true;
    case PARAM_COORDINATE:
      if (fields != 3 || !nearest(t.value * 10, I32_LOW, I32_HIGH, &whole)) return false;
      v->set_integer(whole);
      return true;
    case PARAM_FLOAT:
      if (fields != 3 || std::fabs(t.value) > std::numeric_limits<float>::max()) return false;
      v->set_real(float(t.value));
      return true;
    case PARAM_CHARACTER: {
      int32_t font = 0, x = 0, y = 0;
      if (fields < 8 || fields > 10 || !nearest(t.value, -32768, 32767, &font) ||
          !in_byte(t.size) || !in_byte(t.face) || !nearest(t.x * 10, I32_LOW, I32_HIGH, &x) ||
          !nearest(t.y * 10, I32_LOW, I32_HIGH, &y) || (fields >= 9 && !in_byte(t.charset)))
        return false;
      v->set_font(int16_t(font));
      v->bytes[2] = uint8_t(fields >= 9 ? t.charset : 0);
      v->set_size(uint8_t(t.size));
      v->set_style(uint8_t(t.face));
      // A music font's character is taken by its code, and so is one written as a blank
      // because it cannot stand in a text (a control character).
      bool by_code =
          in_byte(t.code) && ((font >= -3 && font <= -1 && t.code > 0) || t.character == ' ');
      v->set_character(by_code ? uint8_t(t.code) : t.character);
      v->set_x(x);
      v->set_y(y);
      return true;
    }
    default:  // a string: the change is made with an empty value
      return fields >= 2;
  }
}

// The PARAM node a parameter text makes, or NIL.
Drosa param_node_of(Drosa tparam) {
  ParamText t;
  int fields = scan_param_text(command_run_text(tparam), &t);
  if (fields < 2) return NIL;
  int small = t.pindex < 0;
  int64_t pindex = small ? -int64_t(t.pindex) : t.pindex;
  if (pindex < 1 || pindex > PARAM_LAST) return NIL;
  uint32_t type = param[pindex].type;
  if (type == PARAM_NONE || type == PARAM_HEADING || type == PARAM_UNUSED) return NIL;
  if (small && !is_pair_type(type)) return NIL;
  ParamValue value;
  if (t.tens < -3276 || t.tens > 3276 || !value_of(t, fields, type, &value)) return NIL;
  Drosa change = newDrosa(PARAM, tparam->xcontext);
  change->set(xparam_index, int16_t(pindex));
  change->set(xparam_small, small);
  change->set(xparam_stsize, int16_t(t.tens * 10));
  set_xparam_value(change, value);
  return change;
}

// ---- Writing a parameter text -----------------------------------------------------------------

std::string trimmed(double v) {
  char text[64];
  format_float_trimmed(v, text, sizeof text);
  return text;
}

// The description, less a bracketed escape code at its end: its last "(" when that stands
// before its last backslash.
std::string description_of(int pindex) {
  const char* d = param[pindex].description;
  std::string text = d ? d : "";
  size_t bracket = text.rfind('('), backslash = text.rfind('\\');
  if (bracket != std::string::npos && backslash != std::string::npos && bracket < backslash)
    text.erase(bracket);
  return text;
}

// The text that holds a PARAM node's change; empty for a node that names no parameter.
std::string param_text(Drosa change) {
  int pindex = change->get(xparam_index);
  if (pindex < 1 || pindex > PARAM_LAST) return "";
  ParamValue v = get_xparam_value(change);
  char text[256];
  int tens = int(std::lround(change->get(xparam_stsize) / 10.0));
  std::snprintf(text, sizeof text, "param {%03d:%d", change->get(xparam_small) ? -pindex : pindex,
                tens);
  std::string s = text;
  switch (param[pindex].type & ~1u) {
    case PARAM_INTEGER:
      s += "," + std::to_string(v.integer()) + "}";
      break;
    case PARAM_COORDINATE:
      s += "," + trimmed(v.integer() / 10.0) + "}";
      break;
    case PARAM_FLOAT:
      s += "," + trimmed(v.real()) + "}";
      break;
    case PARAM_CHARACTER: {
      unsigned char c = v.character();
      char shown = char(c < 32 || c == 127 ? ' ' : c);  // read back by its code
      std::snprintf(text, sizeof text, ",%d,%d,%d,%c,%s,%s,%d,%d}", v.font(), v.size(), v.style(),
                    shown, trimmed(v.x() / 10.0).c_str(), trimmed(v.y() / 10.0).c_str(), v.bytes[2],
                    c);
      s += text;
      break;
    }
    default:
      break;
  }
  return s + " " + description_of(pindex);
}

}  // namespace

int midi_anno_kind(Drosa node, Drosa* next) {
  if (next) *next = NIL;
  if (!node || effective_kind(node) != TPARAM || node->get(xadjacent)) return COMMAND_NONE;
  if (next) {
    for (Drosa p = node->xnext; p && p->xkind != NOTE && effective_kind(p) != ENDSYST;
         p = p->xnext) {
      if (effective_kind(p) == TPARAM && !p->get(xadjacent)) {
        *next = p;
        break;
      }
    }
  }
  return command_kind(node);
}

void param_annos_to_nodes(Drosa note) {
  if (!note || note->xkind != NOTE) return;
  bool changes = false, texts = false;
  for (Drosa p = first_attached(note); p != note; p = p->xnext) {
    if (p->xkind == PARAM)
      changes = true;
    else if (command_kind(p) == COMMAND_PARAM)
      texts = true;
  }
  if (!changes && !texts) return;  // most notes: nothing to make again
  for (Drosa p = first_attached(note); p != note;) {
    Drosa next = p->xnext;
    if (p->xkind == PARAM) destroy_node(p);
    p = next;
  }
  // Every PARAM before the note is now one made here, linked after the texts: passed over.
  for (Drosa p = first_attached(note); p != note; p = p->xnext) {
    if (p->xkind == PARAM || command_kind(p) != COMMAND_PARAM) continue;
    Drosa change = param_node_of(p);
    if (!change) continue;
    link_after(change, note->xback);
    param[change->get(xparam_index)].changed = 1;
  }
}

void param_nodes_to_annos(Drosa node) {
  if (!node) return;
  Drosa note = node->xkind == NOTE ? node : find_next_kind(NOTE, node);
  if (!note) return;
  for (Drosa p = first_attached(note); p != note;)
    p = command_kind(p) == COMMAND_PARAM ? delete_anno_run(p)->xnext : p->xnext;
  std::vector<Drosa> changes;
  for (Drosa p = first_attached(note); p != note; p = p->xnext)
    if (p->xkind == PARAM) changes.push_back(p);
  int y =
      param_value(P_Y_OFFSET_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, note, nullptr)->integer();
  for (Drosa change : changes) {
    std::string text = param_text(change);
    if (!text.empty())
      make_text_anno(note, change->xcontext, CLASS_OTHER,
                     P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, text.c_str(), &y);
  }
}

Drosa make_text_anno(Drosa note, int context, int classification, int style_pindex,
                     const char* text, int* y) {
  if (!text || !*text) return NIL;
  if (!note || !note->xback) {
    REPORT_ERROR(4, "Bad call to make_text_anno: no note");
    return NIL;
  }
  Drosa head = newDrosa(TPARAM, context);
  if (style_pindex >= 1 && style_pindex <= PARAM_LAST) {
    ParamValue style = *param_value(style_pindex, note, nullptr);
    head->set(xtextfont, style.font());
    head->set(xcharset, style.bytes[2]);
    head->set(xtextsize, style.size());
    head->set(xtextface, style.style());
  }
  head->set(xclassify, uint8_t(classification));
  head->set(xfromstaff, 1);
  head->set(xhidden, 1);
  head->set(xtextx,
            param_length(P_X_OFFSET_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, note, nullptr));
  head->set(xtexty, y ? *y : 0);
  if (y) *y -= 10 * head->get(xtextsize);
  Drosa last = head;
  for (size_t at = 0, length = std::strlen(text); at < length; at += TEXT_NODE_CHARS) {
    Drosa chars = newDrosa(TEXT, context);
    std::string part(text + at, std::min<size_t>(TEXT_NODE_CHARS, length - at));
    chars->set(xtext, part.c_str());
    link_after(chars, last);
    last = chars;
  }
  insertvc_with_undo(head, last, note->xback);
  return head;
}
