// mxml_harmony.cpp: chord symbols (`harmony`) of an imported document. Each becomes a text
// annotation of the chord-symbol class, written in the escape codes a user types: the root's
// letter with the chord-symbol accidentals ("B\-"), the kind as a short text whose extension
// and alterations stand in superscript ("m\u7(\alt-5)"), and the bass after a slash. It waits,
// as a direction does, for the note of its staff at its time (its offset honoured).
//
// Design notes:
//  - The kind's own text, when the document gives one, is shown as it is ("Maj7", "m7b5"):
//    only its extension goes up into superscript, and a 'b' or '#' before a number becomes the
//    alteration's flat or sharp. A degree the kind's text already names ("add2" with the degree
//    "add 2") is not shown twice.
//  - Its chord diagram (`frame`) of six strings becomes a fret grid text over it, written in
//    the characters of the second music font the Text Assistant writes: the nut's letter, then
//    each string's dot and barre from the lowest string. A diagram that starts above the first
//    fret has no nut and the first fret's number beside it; one of other strings, with a
//    note beyond the grid's five frets, or of a harmony that says not to print it
//    (print-frame="no"), is left out.
//  - A chord symbol the import cannot read (no root, a letter that is none, an accidental of
//    more than two steps, a kind it does not know) is left out; the rest of the document is
//    read as before.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xml_reader.h"

namespace {

constexpr int CLASS_CHORD_SYMBOL = 11;
constexpr int CLASS_FRET_GRID = 10;
constexpr int GRID_SIZE = 10;        // points
constexpr int32_t GRID_ABOVE = 230;  // the grid's base line over the symbol's
constexpr int GRID_FRETS = 5, GRID_STRINGS = 6;
// Over the staff at the height of words, its left end at the note; under it as words under it.
constexpr int32_t ABOVE_Y = 240, BELOW_Y = -360;
constexpr uint16_t FROM_THE_STAFF = 0x0500;  // left-justified, counted from the staff

// The short text of each kind: in letters, and in symbols where the document asks for them.
// "\u" switches the superscript on (the extension and alterations follow it).
struct KindText {
  const char* value;
  const char* letters;
  const char* symbols;
};
constexpr KindText kind_texts[] = {
    {"French", "Fr+\\u6", nullptr},
    {"German", "Ger+\\u6", nullptr},
    {"Italian", "It+\\u6", nullptr},
    {"Neapolitan", "N\\u6", nullptr},
    {"Tristan", "Tristan", nullptr},
    {"augmented", "+", nullptr},
    {"augmented-seventh", "+\\u7", nullptr},
    {"diminished", "dim", "\xA1"},  // the degree sign
    {"diminished-seventh", "dim\\u7", "\xA1\\u7"},
    {"dominant", "\\u7", nullptr},
    {"dominant-11th", "\\u11", nullptr},
    {"dominant-13th", "\\u13", nullptr},
    {"dominant-ninth", "\\u9", nullptr},
    {"half-diminished", "m\\u7(\\alt-5)", "\xBF\\u7"},  // a slashed o
    {"major", "", nullptr},
    {"major-11th", "maj\\u11", nullptr},
    {"major-13th", "maj\\u13", nullptr},
    {"major-minor", "m\\u(maj7)", "-\\u(maj7)"},
    {"major-ninth", "maj\\u9", nullptr},
    {"major-seventh", "maj\\u7", nullptr},
    {"major-sixth", "\\u6", nullptr},
    {"minor", "m", "-"},
    {"minor-11th", "m\\u11", "-\\u11"},
    {"minor-13th", "m\\u13", "-\\u13"},
    {"minor-ninth", "m\\u9", "-\\u9"},
    {"minor-seventh", "m\\u7", "-\\u7"},
    {"minor-sixth", "m\\u6", "-\\u6"},
    {"other", "", nullptr},
    {"pedal", "ped", nullptr},
    {"power", "\\u5", nullptr},
    {"suspended-fourth", "\\usus4", nullptr},
    {"suspended-second", "\\usus2", nullptr},
};

const KindText* kind_text_of(const std::string& value) {
  for (const KindText& k : kind_texts)
    if (value == k.value) return &k;
  return nullptr;
}

// The chord-symbol accidental of an alteration in semitones: flats and sharps, one or two;
// `alteration` the smaller signs of an alteration in the superscript. False beyond two.
bool accidental_code(int alter, bool alteration, std::string* out) {
  if (alter < -2 || alter > 2) return false;
  if (alteration) {
    for (int i = 0; i < std::abs(alter); ++i) *out += alter < 0 ? "\\alt-" : "\\alt+";
    if (alter == 0) *out += "\\altn";
    return true;
  }
  *out += alter == -2   ? "\\--"
          : alter == -1 ? "\\-"
          : alter == 1  ? "\\+"
          : alter == 2  ? "\\++"
                        : "";
  return true;
}

// An alteration given as a decimal number: the nearest whole number of semitones, or 3 for
// text that is no number.
int alter_of(XmlElement& e) {
  const std::string text = mxml_text(e, 32);
  char* end = nullptr;
  const double alter = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || !std::isfinite(alter) || std::fabs(alter) > 2.5) return 3;
  return int(std::lround(alter));
}

// Text of the document shown as it is: its backslashes are not codes.
std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return out;
}

// The element's text without the blanks around it.
std::string trimmed_text(XmlElement& e, size_t limit) {
  const std::string text = mxml_text(e, limit);
  const size_t from = text.find_first_not_of(" \t\r\n");
  if (from == std::string::npos) return "";
  return text.substr(from, text.find_last_not_of(" \t\r\n") + 1 - from);
}

// A root's or bass's letter, as coded text; a letter that is none leaves the symbol out.
void read_step(XmlElement& e, std::string* to) {
  const std::string letter = trimmed_text(e, 8);
  if (letter.size() != 1 || letter[0] < 'A' || letter[0] > 'G') {
    mxml.harmony.malformed = true;
    return;
  }
  // A letter the document spells otherwise ("H" for B) is shown as it spells it.
  const std::string shown = mxml_attr_text(e, "text", 16);
  *to = shown.empty() ? letter : escaped(shown);
}

// Its accidental after it; one of more than two steps, or with no letter, leaves it out.
void read_alter(XmlElement& e, std::string* to) {
  if (to->empty() || !accidental_code(alter_of(e), false, to)) mxml.harmony.malformed = true;
}

bool starts_with_at(const std::string& text, size_t at, const char* word) {
  return text.compare(at, std::strlen(word), word) == 0;
}

bool digit_at(const std::string& text, size_t at) {
  return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
}

// The kind's own text as coded text: superscript from its extension on (its first number, or
// "sus", "add", "omit", "alt" or a parenthesis), where a 'b' or '#' before a number is the
// flat or sharp of an alteration.
std::string coded_kind_text(const std::string& text) {
  size_t up = text.size();
  for (size_t at = 0; at < text.size() && up == text.size(); ++at) {
    const bool sign = (text[at] == 'b' || text[at] == '#') && digit_at(text, at + 1);
    if (digit_at(text, at) || sign || text[at] == '(' || starts_with_at(text, at, "sus") ||
        starts_with_at(text, at, "add") || starts_with_at(text, at, "omit") ||
        starts_with_at(text, at, "alt"))
      up = at;
  }
  std::string out = escaped(text.substr(0, up));
  if (up == text.size()) return out;
  out += "\\u";
  for (size_t at = up; at < text.size(); ++at) {
    if ((text[at] == 'b' || text[at] == '#') && digit_at(text, at + 1))
      out += text[at] == 'b' ? "\\alt-" : "\\alt+";
    else
      out += escaped(std::string(1, text[at]));
  }
  return out;
}

// Whether a text names a number (as a number of its own, not a part of a longer one).
bool names_number(const std::string& text, int value) {
  const std::string number = std::to_string(value);
  for (size_t at = text.find(number); at != std::string::npos; at = text.find(number, at + 1))
    if ((at == 0 || !digit_at(text, at - 1)) && !digit_at(text, at + number.size())) return true;
  return false;
}

// The degrees shown, in parentheses: "(\alt-5\alt+9)", "(add9)", "(omit3)".
std::string degrees_text(const MxmlHarmony& h) {
  std::string out;
  for (const MxmlHarmony::Degree& d : h.degrees) {
    if (!d.shown || d.value < 1 || d.value > 13) continue;
    if (h.kind_text_given && names_number(h.kind_text, d.value)) continue;
    std::string one;
    if (d.type == "subtract") {
      one = "omit";
    } else if (d.type == "add") {
      one = "add";
      if (d.alter != 0 && !accidental_code(d.alter, true, &one)) continue;
    } else if (d.type != "alter" || !accidental_code(d.alter, true, &one)) {
      continue;
    }
    one += std::to_string(d.value);
    if (!out.empty() && std::isalpha(static_cast<unsigned char>(one[0]))) out += ',';
    out += one;
  }
  return out.empty() ? out : "(" + out + ")";
}

// The whole symbol as coded text; empty when it cannot be shown.
std::string chord_symbol_text(const MxmlHarmony& h) {
  // "No chord", unless its text is empty: a harmony that shows only its chord diagram.
  if (h.kind == "none") return h.kind_text_given && h.kind_text.empty() ? "" : "N.C.";
  if (h.root.empty()) return "";
  std::string kind;
  if (h.kind_text_given) {
    kind = coded_kind_text(h.kind_text);
  } else {
    const KindText* k = kind_text_of(h.kind);
    if (!k) return "";
    kind = h.use_symbols && k->symbols ? k->symbols : k->letters;
  }
  std::string text = h.root + kind;
  const std::string degrees = degrees_text(h);
  bool up = kind.find("\\u") != std::string::npos;
  if (!degrees.empty()) {
    if (!up) text += "\\u";
    text += degrees;
    up = true;
  }
  if (!h.bass.empty()) text += (up ? "\\u/" : "/") + h.bass;
  return text;
}

// The fret grid text of a chord diagram; empty when the grid cannot show it. A diagram from the
// first fret has a nut, unless its first fret has a text of its own: the diagram then stands
// with that number beside it, or none when the text is empty.
std::string fret_grid_text(const MxmlHarmony::Frame& f) {
  if (f.strings != GRID_STRINGS || f.first_fret < 1 || f.first_fret > 99) return "";
  // A fret's row in the grid, 1 the first fret shown; 0 for an open string.
  auto row = [&](int fret) { return fret == 0 ? 0 : fret - f.first_fret + 1; };
  const bool nut = f.first_fret == 1 && !f.fret_text_given;
  // The grid's characters are written in the music font, the number in the text font.
  std::string text = "\\SAYL";
  text += nut ? 'a' : 'A';
  static const char bars[] = "`!@#$%";
  for (int i = 0; i < GRID_STRINGS; ++i) {
    const int dot = f.frets[i] < 0 ? -1 : row(f.frets[i]);
    const int bar = f.barres[i] > 0 ? row(f.barres[i]) : 0;
    if (dot > GRID_FRETS || bar < 0 || bar > GRID_FRETS || (f.frets[i] > 0 && dot < 1)) return "";
    text += dot >= 0 ? char('0' + dot) : f.unplayed_unmarked ? '`' : '9';
    text += bars[bar];
  }
  if (!nut && !f.fret_text_empty) text += "\\TIMES\\g" + std::to_string(f.first_fret);
  return text;
}

}  // namespace

void mxml_harmony(XmlElement& e) {
  MxmlHarmony& h = mxml.harmony;
  h = MxmlHarmony{};
  h.open = true;
  h.shown = !mxml_attr_is(e, "print-object", "no");
  h.frame_shown = !mxml_attr_is(e, "print-frame", "no");
  // It waits in a group of its own, as a direction does, for its staff and offset.
  const int placement = mxml_attr_is(e, "placement", "below") ? -1 : 1;
  mxml.slots[MXML_DIRECTION_SLOT].emplace_back().placement = placement;
  MxmlItem& item = h.item;
  item.kind = CLASS_CHORD_SYMBOL;
  item.x = 0;
  item.y = placement < 0 ? BELOW_Y : ABOVE_Y;
  item.reference = FROM_THE_STAFF;
  item.coded = true;
  mxml_item_position(e, &item, 0);
  mxml_text_format(e, &item, nullptr);
}

void mxml_harmony_end() {
  MxmlHarmony& h = mxml.harmony;
  if (!h.open) return;
  h.open = false;
  if (!h.shown || h.malformed || mxml.slots[MXML_DIRECTION_SLOT].empty()) return;
  h.item.text = chord_symbol_text(h);
  const std::string grid = h.frame.given && h.frame_shown ? fret_grid_text(h.frame) : "";
  if (!grid.empty()) {
    MxmlItem g = h.item;
    g.kind = CLASS_FRET_GRID;
    g.size = GRID_SIZE;
    g.face = 0;
    g.y += GRID_ABOVE;
    g.text = grid;
    mxml.slots[MXML_DIRECTION_SLOT].back().items.push_back(std::move(g));
  }
  if (h.item.text.empty()) return;
  mxml.slots[MXML_DIRECTION_SLOT].back().items.push_back(std::move(h.item));
}

namespace {
bool blank(const char* text) {
  for (; *text; ++text)
    if (!std::isspace(static_cast<unsigned char>(*text))) return false;
  return true;
}
}  // namespace

void mxml_frame(XmlElement& e) {
  MxmlHarmony::Frame& f = mxml.harmony.frame;
  if (!mxml.harmony.open) return;
  f = MxmlHarmony::Frame{};
  f.open = true;
  const char* unplayed = xml_attr(e, "unplayed");
  f.unplayed_unmarked = unplayed && blank(unplayed);
}

void mxml_frame_end() {
  MxmlHarmony::Frame& f = mxml.harmony.frame;
  if (!f.open) return;
  f.open = false;
  f.given = true;
}

void mxml_frame_strings(XmlElement& e) {
  if (mxml.harmony.frame.open) mxml.harmony.frame.strings = mxml_int(e, 0);
}

void mxml_first_fret(XmlElement& e) {
  MxmlHarmony::Frame& f = mxml.harmony.frame;
  if (!f.open) return;
  const char* text = xml_attr(e, "text");
  f.fret_text_given = text != nullptr;
  f.fret_text_empty = text && blank(text);
  f.first_fret = mxml_int(e, 1);
}

bool mxml_frame_note_part(XmlElement& e, bool string) {
  MxmlHarmony::Frame& f = mxml.harmony.frame;
  if (!f.open || std::strcmp(mxml_parent(e), "frame-note") != 0) return false;
  if (string)
    f.string = std::clamp(mxml_int(e, 0), 0, 99);
  else
    f.fret = std::clamp(mxml_int(e, -1), -1, 99);
  return true;
}

void mxml_barre(XmlElement& e) {
  MxmlHarmony::Frame& f = mxml.harmony.frame;
  if (!f.open) return;
  f.barre_start |= mxml_attr_is(e, "type", "start");
  f.barre_stop |= mxml_attr_is(e, "type", "stop");
}

// The document counts strings from the highest; the grid from the lowest. A barre joins the
// strings from its start to its stop.
void mxml_frame_note_end() {
  MxmlHarmony::Frame& f = mxml.harmony.frame;
  if (!f.open) return;
  const int i = f.strings - f.string;
  if (f.strings == GRID_STRINGS && f.string >= 1 && i >= 0 && i < GRID_STRINGS && f.fret >= 0) {
    f.frets[i] = f.fret;
    if (f.barre_start) f.barre_from = i;
    if (f.barre_stop && f.barre_from >= 0) {
      for (int k = std::min(f.barre_from, i); k < std::max(f.barre_from, i); ++k)
        f.barres[k] = f.fret;
      f.barre_from = -1;
    }
  }
  f.string = 0;
  f.fret = -1;
  f.barre_start = f.barre_stop = false;
}

void mxml_root_step(XmlElement& e) {
  if (mxml.harmony.open) read_step(e, &mxml.harmony.root);
}

void mxml_root_alter(XmlElement& e) {
  if (mxml.harmony.open) read_alter(e, &mxml.harmony.root);
}

void mxml_bass_step(XmlElement& e) {
  if (mxml.harmony.open) read_step(e, &mxml.harmony.bass);
}

void mxml_bass_alter(XmlElement& e) {
  if (mxml.harmony.open) read_alter(e, &mxml.harmony.bass);
}

// A Roman numeral or other function stands where a root would.
void mxml_function(XmlElement& e) {
  MxmlHarmony& h = mxml.harmony;
  if (!h.open || !h.root.empty()) return;
  h.root = escaped(mxml_text(e, 32));
  if (h.root.empty()) h.malformed = true;
}

void mxml_kind(XmlElement& e) {
  MxmlHarmony& h = mxml.harmony;
  if (!h.open) return;
  h.kind = trimmed_text(e, 32);
  h.use_symbols = mxml_attr_is(e, "use-symbols", "yes");
  h.kind_text_given = xml_attr(e, "text") != nullptr;
  if (h.kind_text_given) h.kind_text = mxml_attr_text(e, "text", 64);
}

void mxml_degree(XmlElement& e) {
  MxmlHarmony& h = mxml.harmony;
  if (!h.open || h.degrees.size() >= 8) return;
  h.degrees.emplace_back();
  h.degrees.back().shown = !mxml_attr_is(e, "print-object", "no");
}

// The parts of a degree; a document may list several value-alter-type triples in one degree,
// each value beginning the next.
void mxml_degree_value(XmlElement& e) {
  MxmlHarmony& h = mxml.harmony;
  if (!h.open || h.degrees.empty()) return;
  if (h.degrees.back().value != 0) {
    if (h.degrees.size() >= 8) return;
    h.degrees.push_back({0, 0, "", h.degrees.back().shown});
  }
  h.degrees.back().value = std::clamp(mxml_int(e, 0), 0, 99);
}

void mxml_degree_alter(XmlElement& e) {
  MxmlHarmony& h = mxml.harmony;
  if (h.open && !h.degrees.empty()) h.degrees.back().alter = alter_of(e);
}

void mxml_degree_type(XmlElement& e) {
  MxmlHarmony& h = mxml.harmony;
  if (h.open && !h.degrees.empty()) h.degrees.back().type = trimmed_text(e, 16);
}
