// mxml_elements.cpp: the switchboard of the MusicXML import: a sorted table of the element
// names the import understands, each with its start and end handler, the two callbacks of
// the XML reader that look an element up in it, and the fallbacks for the words inside
// `dynamics` and the ornaments, technical marks and articulations of `notations` that the
// table does not hold. Any other element is passed over with its text.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xml_reader.h"
#include "annotations/anno_services.h"

namespace {

struct ElementEntry {
  const char* name;
  MxmlStartHandler start;
  MxmlEndHandler end;
};

// In strict ascending byte-wise order of the name.
constexpr ElementEntry element_table[] = {
    {"accent", mxml_accent, nullptr},
    {"accidental", mxml_accidental, nullptr},
    {"accidental-text", mxml_accidental_text, nullptr},
    {"actual-notes", mxml_actual_notes, nullptr},
    {"alter", mxml_alter, nullptr},
    {"bar-style", mxml_bar_style, nullptr},
    {"barline", mxml_barline, mxml_barline_end},
    {"barre", mxml_barre, nullptr},
    {"bass-alter", mxml_bass_alter, nullptr},
    {"bass-step", mxml_bass_step, nullptr},
    {"beam", mxml_beam, nullptr},
    {"beat-type", mxml_beat_type, nullptr},
    {"beat-unit", mxml_beat_unit, nullptr},
    {"beat-unit-dot", mxml_beat_unit_dot, nullptr},
    {"beats", mxml_beats, nullptr},
    {"bottom-margin", mxml_margin, nullptr},
    {"chord", mxml_chord, nullptr},
    {"chromatic", mxml_chromatic, nullptr},
    {"clef", mxml_clef, mxml_clef_end},
    {"clef-octave-change", mxml_clef_octave_change, nullptr},
    {"coda", mxml_segno, nullptr},
    {"creator", mxml_creator, nullptr},
    {"credit", mxml_credit, nullptr},
    {"credit-type", mxml_credit_type, nullptr},
    {"credit-words", mxml_credit_words, nullptr},
    {"cue", mxml_cue, nullptr},
    {"defaults", nullptr, mxml_defaults_end},
    {"degree", mxml_degree, nullptr},
    {"degree-alter", mxml_degree_alter, nullptr},
    {"degree-type", mxml_degree_type, nullptr},
    {"degree-value", mxml_degree_value, nullptr},
    {"detached-legato", mxml_detached_legato, nullptr},
    {"direction", mxml_direction, mxml_direction_end},
    {"direction-type", mxml_nothing, nullptr},
    {"directive", mxml_direction, mxml_direction_end},
    {"display-octave", mxml_octave, nullptr},
    {"display-step", mxml_step, nullptr},
    {"display-text", mxml_display_text, nullptr},
    {"divisions", mxml_divisions, nullptr},
    {"dot", mxml_dot, nullptr},
    {"duration", mxml_duration, nullptr},
    {"dynamics", mxml_dynamics, nullptr},
    {"elision", mxml_elision, nullptr},
    {"ending", mxml_ending, nullptr},
    {"extend", mxml_extend, nullptr},
    {"fermata", mxml_fermata, nullptr},
    {"fifths", mxml_fifths, nullptr},
    {"first-fret", mxml_first_fret, nullptr},
    {"forward", mxml_note, mxml_forward_end},
    {"frame", mxml_frame, mxml_frame_end},
    {"frame-note", nullptr, mxml_frame_note_end},
    {"frame-strings", mxml_frame_strings, nullptr},
    {"fret", mxml_fret, nullptr},
    {"function", mxml_function, nullptr},
    {"glissando", mxml_glissando, nullptr},
    {"grace", mxml_grace, nullptr},
    {"group-barline", mxml_group_barline, nullptr},
    {"group-symbol", mxml_group_symbol, nullptr},
    {"harmony", mxml_harmony, mxml_harmony_end},
    {"instrument", mxml_instrument, nullptr},
    {"key", nullptr, mxml_key_end},
    {"kind", mxml_kind, nullptr},
    {"left-margin", mxml_margin, nullptr},
    {"line", mxml_clef_line, nullptr},
    {"lyric", mxml_lyric, nullptr},
    {"lyric-font", mxml_lyric_font, nullptr},
    {"measure", mxml_measure, mxml_measure_end},
    {"metronome", mxml_metronome, nullptr},
    {"midi-channel", mxml_midi_channel, nullptr},
    {"midi-instrument", mxml_midi_instrument, nullptr},
    {"midi-program", mxml_midi_program, nullptr},
    {"midi-unpitched", mxml_midi_unpitched, nullptr},
    {"millimeters", mxml_millimeters, nullptr},
    {"mode", mxml_mode, nullptr},
    {"movement-title", mxml_movement_title, nullptr},
    {"normal-notes", mxml_normal_notes, nullptr},
    {"notations", mxml_notations, mxml_notations_end},
    {"note", mxml_note, mxml_note_element_end},
    {"notehead", mxml_notehead, nullptr},
    {"octave", mxml_octave, nullptr},
    {"octave-change", mxml_transpose_octave_change, nullptr},
    {"octave-shift", mxml_octave_shift, nullptr},
    {"offset", mxml_offset, nullptr},
    {"page-height", mxml_page_height, nullptr},
    {"page-margins", mxml_page_margins, mxml_page_margins_end},
    {"page-width", mxml_page_width, nullptr},
    {"part", mxml_part, mxml_part_end},
    {"part-abbreviation", mxml_part_abbreviation, nullptr},
    {"part-abbreviation-display", mxml_name_display, mxml_name_display_end},
    {"part-group", mxml_part_group, nullptr},
    {"part-name", mxml_part_name, nullptr},
    {"part-name-display", mxml_name_display, mxml_name_display_end},
    {"part-symbol", mxml_part_symbol, nullptr},
    {"pedal", mxml_pedal, nullptr},
    {"per-minute", mxml_per_minute, nullptr},
    {"pitch", mxml_pitch, nullptr},
    {"print", mxml_print, nullptr},
    {"rehearsal", mxml_rehearsal, nullptr},
    {"repeat", mxml_repeat, nullptr},
    {"rest", mxml_rest, nullptr},
    {"right-margin", mxml_margin, nullptr},
    {"rights", mxml_rights, nullptr},
    {"root-alter", mxml_root_alter, nullptr},
    {"root-step", mxml_root_step, nullptr},
    {"score-part", mxml_score_part, nullptr},
    {"score-partwise", mxml_score_partwise, nullptr},
    {"segno", mxml_segno, nullptr},
    {"sign", mxml_sign, nullptr},
    {"slide", mxml_glissando, nullptr},
    {"slur", mxml_slur, nullptr},
    {"software", mxml_software, nullptr},
    {"sound", mxml_sound, nullptr},
    {"staccatissimo", mxml_staccatissimo, nullptr},
    {"staccato", mxml_staccato, nullptr},
    {"staff", mxml_staff, nullptr},
    {"staff-details", mxml_staff_details, nullptr},
    {"staff-distance", mxml_staff_distance, nullptr},
    {"staff-layout", mxml_staff_layout, nullptr},
    {"staff-lines", mxml_staff_lines, nullptr},
    {"staff-size", mxml_staff_size, nullptr},
    {"staff-tuning", mxml_staff_tuning, mxml_staff_tuning_end},
    {"staves", mxml_staves, nullptr},
    {"stem", mxml_stem, nullptr},
    {"step", mxml_step, nullptr},
    {"string", mxml_string_number, nullptr},
    {"strong-accent", mxml_strong_accent, nullptr},
    {"syllabic", mxml_syllabic, nullptr},
    {"system-distance", mxml_system_distance, nullptr},
    {"system-layout", mxml_system_layout, nullptr},
    {"tenths", mxml_tenths, nullptr},
    {"tenuto", mxml_tenuto, nullptr},
    {"text", mxml_text_element, nullptr},
    {"tie", mxml_tie, nullptr},
    {"tied", mxml_tied, nullptr},
    {"time", mxml_time, nullptr},
    {"top-margin", mxml_margin, nullptr},
    {"top-system-distance", mxml_top_system_distance, nullptr},
    {"tremolo", mxml_tremolo, nullptr},
    {"tuning-alter", mxml_tuning_alter, nullptr},
    {"tuning-octave", mxml_tuning_octave, nullptr},
    {"tuning-step", mxml_tuning_step, nullptr},
    {"tuplet", mxml_tuplet, nullptr},
    {"tuplet-number", mxml_tuplet_number, nullptr},
    {"type", mxml_type, nullptr},
    {"unpitched", mxml_pitch, nullptr},
    {"voice", mxml_voice, nullptr},
    {"wavy-line", mxml_wavy_line, nullptr},
    {"wedge", mxml_wedge, nullptr},
    {"words", mxml_words, nullptr},
    {"work-title", mxml_work_title, nullptr},
};
constexpr int ELEMENT_COUNT = sizeof element_table / sizeof element_table[0];
static_assert(ELEMENT_COUNT == 150, "the import understands 150 elements");

// The words of `dynamics`; a word's index is its dynamics code.
constexpr const char* dynamics_words[24] = {
    "pppp", "ppp", "pp", "p",  "mp",  "mf",  "f",    "ff",   "fff",   "ffff",   "sp",    "sf",
    "sfz",  "fz",  "fp", "rf", "rfz", "sfp", "sfpp", "sffz", "ppppp", "pppppp", "fffff", "ffffff"};

// Notation marks inside `notations`: the code in the low 16 bits, the sub-code above.
constexpr int mark(int code, int subcode) { return code | (subcode << 16); }
constexpr XmlNamedValue notation_marks[] = {
    {"arpeggiate", mark(15, 3)},   {"breath-mark", mark(12, 1)},
    {"caesura", mark(13, 1)},      {"delayed-inverted-turn", mark(9, 0)},
    {"delayed-turn", mark(7, 0)},  {"down-bow", mark(11, 0)},
    {"fingering", mark(14, 2)},    {"inverted-mordent", mark(2, 0)},
    {"inverted-turn", mark(8, 0)}, {"mordent", mark(1, 0)},
    {"trill-mark", mark(5, 0)},    {"turn", mark(6, 0)},
    {"up-bow", mark(10, 0)},
};
constexpr int MARK_COUNT = sizeof notation_marks / sizeof notation_marks[0];

constexpr int CODE_INVERTED_TURN = 8, CODE_DELAYED_INVERTED_TURN = 9;
constexpr int CODE_FINGERING = 14, CODE_ARPEGGIATE = MXML_CODE_ARPEGGIATE;

// The element table hashed by name, with open addressing: the reader asks for every start
// and end of the document, and a search through the table compared the name eight times.
constexpr size_t ELEMENT_SLOTS = 512;  // a power of two, four times the table

// The hash mixes the length with the first, middle and last bytes: the names of the table
// differ there but for one pair, and hashing every byte cost as much again as the comparison.
constexpr uint32_t element_hash(const char* name, uint32_t n) {
  if (n == 0) return 0;
  const uint32_t key = n | uint32_t(uint8_t(name[0])) << 8 | uint32_t(uint8_t(name[n / 2])) << 16 |
                       uint32_t(uint8_t(name[n - 1])) << 24;
  return (key * 2654435761u) >> 23;  // the top nine bits: a slot
}
static_assert(ELEMENT_SLOTS == 1u << 9);

constexpr uint32_t name_length(const char* name) {
  uint32_t n = 0;
  while (name[n]) ++n;
  return n;
}

// True when the n bytes of a are those of the name b.
constexpr bool same_name(const char* a, uint32_t n, const char* b) {
  for (uint32_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return b[n] == 0;
}

constexpr std::array<int16_t, ELEMENT_SLOTS> element_slots = [] {
  std::array<int16_t, ELEMENT_SLOTS> slots{};
  for (int16_t& slot : slots) slot = -1;
  for (int i = 0; i < ELEMENT_COUNT; ++i) {
    size_t at = element_hash(element_table[i].name, name_length(element_table[i].name));
    while (slots[at] >= 0) at = (at + 1) & (ELEMENT_SLOTS - 1);
    slots[at] = int16_t(i);
  }
  return slots;
}();

// The entry of an element of the table, its name of n bytes; -1 when the name is not in it.
int find_element(const char* name, uint32_t n) {
  for (size_t at = element_hash(name, n);; at = (at + 1) & (ELEMENT_SLOTS - 1)) {
    const int entry = element_slots[at];
    if (entry < 0 || same_name(name, n, element_table[entry].name)) return entry;
  }
}

int find_element(const char* name) { return find_element(name, name_length(name)); }

// A word inside `dynamics` sets the open dynamics item's code: its index, or 0xFFFF for a
// word that is none of the 24 (the words of `other-dynamics` are kept as text). Only the children
// of `dynamics` count, so that an unknown element elsewhere before the next note cannot spoil the
// marking.
bool dynamics_word(const char* name, XmlElement& element) {
  MxmlItem* item = mxml.notations_open ? mxml.notations_dynamics : mxml.direction_dynamics;
  if (!item) return false;
  if (std::strcmp(mxml_parent(element), "dynamics") != 0) return false;
  // Words of their own go with the marks, before or after them.
  if (std::strcmp(name, "other-dynamics") == 0) {
    const bool marked = item->dynamics >= 0 && item->dynamics < 24;
    (marked ? item->dynamics_after : item->dynamics_before) += mxml_text(element, 64);
    return true;
  }
  item->dynamics = 0xFFFF;
  for (int i = 0; i < 24; ++i) {
    if (std::strcmp(name, dynamics_words[i]) == 0) {
      item->dynamics = i;
      break;
    }
  }
  return true;
}

// A notation mark inside `notations` makes its items.
void notation_mark(const char* name, XmlElement& element) {
  const int32_t found = lookup_sorted_record(name, notation_marks, MARK_COUNT);
  if (found == XML_NOT_FOUND) return;
  const int code = notation_marks[found].value & 0xFFFF;
  const int subcode = notation_marks[found].value >> 16;
  if (code < 1) return;
  const int placement = mxml_attr_is(element, "placement", "above")   ? 1
                        : mxml_attr_is(element, "placement", "below") ? 2
                                                                      : 0;
  if (code == CODE_FINGERING) {
    std::string prefix;
    if (mxml_attr_is(element, "substitution", "yes")) prefix += '-';
    if (mxml_attr_is(element, "alternate", "yes")) prefix += '/';
    mxml_notation_item(code, subcode, placement, prefix)->text += mxml_text(element, 64);
    return;
  }
  if (code == CODE_ARPEGGIATE) {
    mxml_arpeggiate(element);
    return;
  }
  const MxmlItem* sign = mxml_sign_item(code, placement);
  // An inverted turn is a turn struck through.
  if (sign && (code == CODE_INVERTED_TURN || code == CODE_DELAYED_INVERTED_TURN))
    mxml_turn_stroke(*sign);
}

}  // namespace

int mxml_start_element(const char* name, XmlElement& element, void*) {
  // The reader codes the name where it tokenises (mxml_element_code), in a read that has it.
  const int32_t coded = element.name_code;
  const int found = coded >= -1 && coded < ELEMENT_COUNT ? coded : find_element(name);
  // The reader starts each element at its depth before anything inside it, and ends it after.
  std::vector<int16_t>& open = mxml.open_elements;
  const size_t depth = size_t(std::max(element.depth, 1));
  if (open.size() + 1 == depth) {
    open.push_back(int16_t(found));
  } else {
    open.resize(depth);
    open.back() = int16_t(found);
  }
  if (found >= 0) {
    if (element_table[found].start) element_table[found].start(element);
    return 0;
  }
  if (dynamics_word(name, element)) return 0;
  if (mxml.notations_open) notation_mark(name, element);
  return 0;
}

bool mxml_understands(const char* name) { return find_element(name) >= 0; }

int32_t mxml_element_code(const char* name, uint32_t length) { return find_element(name, length); }

int mxml_end_element(const char* name, void*) {
  int found;
  if (mxml.open_elements.empty()) {
    found = find_element(name);
  } else {
    found = mxml.open_elements.back();
    mxml.open_elements.pop_back();
  }
  if (found >= 0 && element_table[found].end) element_table[found].end();
  return 0;
}

// ---- Reading text and attributes ----------------------------------------------------------------

namespace {

std::string system_text(const char* utf8, size_t limit) {
  // Plain ASCII, most of a document's text, is the same bytes in the system's characters.
  const char* end = utf8;
  while (*end && static_cast<unsigned char>(*end) < 0x80) ++end;
  if (!*end) return std::string(utf8, std::min(size_t(end - utf8), limit));
  std::string out(limit + 1, '\0');
  if (!utf8_to_system_text(utf8, out.data(), int32_t(limit + 1))) {
    out.assign(utf8, std::min(std::strlen(utf8), limit));  // not UTF-8: the bytes as they are
    return out;
  }
  out.resize(std::strlen(out.c_str()));
  return out;
}

}  // namespace

std::string mxml_text(XmlElement& element, size_t limit) {
  return system_text(xml_element_text(element.text), limit);
}

std::string_view mxml_text_view(XmlElement& element, size_t limit, std::string& converted) {
  const char* text = xml_element_text(element.text);
  const char* end = text;
  while (*end && static_cast<unsigned char>(*end) < 0x80) ++end;
  if (!*end) return std::string_view(text, std::min(size_t(end - text), limit));
  converted = system_text(text, limit);
  return converted;
}

std::string mxml_sung_text(XmlElement& element, bool* goes_on) {
  std::string text = xml_element_text(element.text);
  constexpr std::string_view SOFT_HYPHEN = "\xC2\xAD";
  constexpr std::string_view TIES[] = {"\xCD\x9C", "\xE2\x80\xBF"};  // U+035C, U+203F
  if (goes_on) {
    const size_t end = text.find_last_not_of(" \t\r\n");
    *goes_on = end != std::string::npos && end + 1 >= SOFT_HYPHEN.size() &&
               std::string_view(text).substr(end + 1 - SOFT_HYPHEN.size(), SOFT_HYPHEN.size()) ==
                   SOFT_HYPHEN;
  }
  for (size_t at = text.find(SOFT_HYPHEN); at != std::string::npos; at = text.find(SOFT_HYPHEN, at))
    text.erase(at, SOFT_HYPHEN.size());
  // An undertie between two syllables sung on one note is the lyric's elision.
  for (std::string_view tie : TIES)
    for (size_t at = text.find(tie); at != std::string::npos; at = text.find(tie, at))
      text.replace(at, tie.size(), 1, LYRIC_ELISION);
  return system_text(text.c_str(), 1024);
}

std::string mxml_words_text(XmlElement& element, std::u32string* music, bool* coded) {
  std::string text = xml_element_text(element.text);
  *coded = false;
  // U+E000 .. U+F8FF are EE 80 80 .. EF A3 BF in UTF-8.
  for (size_t at = 0; at + 2 < text.size();) {
    const uint8_t lead = uint8_t(text[at]), second = uint8_t(text[at + 1]);
    if (lead != 0xEE && !(lead == 0xEF && second < 0xA4)) {
      ++at;
      continue;
    }
    music->push_back(
        char32_t(((lead & 0x0F) << 12) | ((second & 0x3F) << 6) | (uint8_t(text[at + 2]) & 0x3F)));
    text.erase(at, 3);
  }
  // The flat, natural and sharp signs (U+266D .. U+266F, E2 99 AD .. AF), which the system's
  // characters lack, are the music font's: the words become coded text, those signs its codes.
  // A sign's code that a '-' or '+' would lengthen (a double flat's "\\--") ends with a size
  // step of nothing.
  static const char* const SIGN_CODES[3] = {"\\-", "\\n", "\\+"};
  std::string words;
  auto add_text = [&words](const std::string& piece) {
    if (!words.empty() && !piece.empty() && (piece[0] == '-' || piece[0] == '+')) words += "\\0";
    for (char c : piece) {
      if (c == '\\') words += '\\';
      words += c;
    }
  };
  size_t from = 0;
  for (size_t at = text.find("\xE2\x99"); at != std::string::npos && at + 2 < text.size();
       at = text.find("\xE2\x99", at + 1)) {
    const uint8_t last = uint8_t(text[at + 2]);
    if (last < 0xAD || last > 0xAF) continue;
    if (at > from) add_text(system_text(text.substr(from, at - from).c_str(), 1024));
    words += SIGN_CODES[last - 0xAD];
    from = at + 3;
    *coded = true;
  }
  if (!*coded) return system_text(text.c_str(), 1024);
  if (from < text.size()) add_text(system_text(text.substr(from).c_str(), 1024));
  if (words.size() <= 1024) return words;
  *coded = false;
  return system_text(text.c_str(), 1024);
}

std::string mxml_attr_text(XmlElement& element, const char* name, size_t limit) {
  const char* value = xml_attr(element, name);
  return value ? system_text(value, limit) : std::string();
}

bool mxml_attr_is(XmlElement& element, const char* name, const char* value) {
  const char* found = xml_attr(element, name);
  return found && std::strcmp(found, value) == 0;
}

int32_t mxml_int(XmlElement& element, int32_t otherwise) {
  const int32_t value = xml_text_int(element);
  return value == XML_NO_INT ? otherwise : value;
}

const char* mxml_parent(XmlElement& element) {
  return element.depth >= 2 ? xml_open_element_name(element, element.depth - 2) : "";
}
