// mxml_attributes.cpp: the skeleton of an imported piece: one staff list per staff of every
// part, named after the part, with bar lines at the measure ends, clefs, key and time
// signatures, staff settings, and system and page breaks where the document asks for them.
//
// The lists of a part are consecutive voices; the first list of every declared part is kept
// in mxml.part_first, and moves when a part above gets more staves.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xmlt_fields.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

constexpr int MAX_LISTS_FOR_STAVES = 63;  // staves add lists while the piece has fewer voices
constexpr int DIVISIONS_DEFAULT = 192;
constexpr int SHARP_ORDER[7] = {10, 7, 11, 8, 12, 9, 13};  // F C G D A E B
constexpr int FLAT_ORDER[7] = {6, 2, 5, 1, 4, 0, 3};       // B E A D G C F
constexpr int FIRST_NATURAL = 14;
constexpr int MINOR = 15;

int first_list() { return mxml_in_part() ? mxml.part_first[mxml.part_index] : 0; }
bool valid_list(int list) { return list >= 0 && list < voice_count && list < MXML_MAX_LISTS; }

// Links a node after the list's insertion node, which moves to it.
void append(int list, Drosa node) {
  link_after(node, mxml.lists[size_t(list)].insert);
  mxml.lists[size_t(list)].insert = node;
}

// The node of a kind attached since the last NOTE before the list's insertion node (not
// past an ENDSYST or a bar line: a staff without notes keeps each measure's changes); NIL
// when there is none.
Drosa attached_since_note(int list, int kind) {
  for (Drosa p = mxml.lists[size_t(list)].insert; p; p = p->xback) {
    if (p->xkind == NOTE || p->xkind == ENDSYST || p->xkind == BAR) break;
    if (p->xkind == kind) return p;
  }
  return NIL;
}

// That node, or a new one appended.
Drosa find_or_make(int list, int kind) {
  if (Drosa p = attached_since_note(list, kind)) return p;
  Drosa node = newDrosa(kind, 0);
  append(list, node);
  return node;
}

// The VINFO of a list.
Drosa list_vinfo(int list) { return find_next_kind_until(VINFO, piece_start[list], NOTE, 0); }

// True when some list already carries the name.
bool name_used(const std::string& name) {
  for (int v = 0; v < voice_count; ++v) {
    Drosa info = list_vinfo(v);
    if (info && info->get(xpname) == name) return true;
  }
  return false;
}

// Control characters become spaces and '-' becomes '_'.
std::string clean_name(std::string name) {
  for (char& c : name) {
    if (uint8_t(c) < 32 || c == 127) c = ' ';
    if (c == '-') c = '_';
  }
  return name;
}

// A part name made from a score-part's id: cleaned, given a letter when it has none, cut to
// 15 characters, and changed to "Part n" (with a further number if need be) when a list
// carries it already.
std::string name_from_id(const std::string& id, int part) {
  std::string name = clean_name(id);
  if (std::none_of(name.begin(), name.end(), [](char c) { return std::isalpha(uint8_t(c)); }))
    name = "P" + name;
  name = name.substr(0, PART_NAME_MAX);
  for (int n = 0; name_used(name); ++n)
    name = "Part " + std::to_string(part + 1) + (n ? "." + std::to_string(n) : "");
  return name;
}

void set_list_name(int list, const std::string& name, int voice_on_part) {
  if (Drosa info = list_vinfo(list)) {
    info->set(xpname, name.substr(0, PART_NAME_MAX).c_str());
    info->set(xvoiceOnPart, int8_t(voice_on_part));
  }
}

// Makes room for a list at index `at`: the voices and lists from there move up one.
void open_list_slot(int at) {
  for (int v = voice_count; v > at; --v) piece_start[v] = piece_start[v - 1];
  piece_start[at] = NIL;
  ++voice_count;
  mxml.lists.insert(mxml.lists.begin() + at, MxmlList{});
  mxml.lists.resize(MXML_MAX_LISTS);
  for (int p = 0; p < mxml.part_count; ++p)
    if (p != mxml.part_index && mxml.part_first[p] >= at) ++mxml.part_first[p];
}

// A new list after the part's last one, holding what the last one holds but its notes and
// their annotations: its clefs, keys, time signatures, bar lines and breaks.
void duplicate_voice_list(int staff_index) {
  const int source = first_list() + mxml.part_lists[mxml.part_index] - 1;
  const int at = source + 1;
  open_list_slot(at);
  Drosa tail = NIL, copy_insert = NIL;
  for (Drosa p = piece_start[source]; p; p = p->xnext) {
    const int k = p->xkind;
    const bool keep = k == ENDSYST || k == VINFO || k == PRINT || k == CLEF || k == KEYSIG ||
                      k == TIMESIG || k == BAR || k == BARSEP ||
                      (k == XMLT && p->xnext && p->xnext->xkind == BAR);
    if (!keep) continue;
    Drosa c = copyDrosa(p);
    if (tail) link_after(c, tail);
    tail = c;
    if (!piece_start[at]) piece_start[at] = c;
    if (p == mxml.lists[size_t(source)].insert) copy_insert = c;
    if (k == PRINT) c->set(xsstaff, int16_t(at));
    if (k == BAR) mxml.lists[size_t(at)].bars.push_back(c);
  }
  Drosa info = list_vinfo(at);
  if (info) info->set(xvoiceOnPart, int8_t(staff_index));
  mxml.lists[size_t(at)].insert = copy_insert ? copy_insert : tail->xback;
  mxml.lists[size_t(at)].barsep = mxml.lists[size_t(source)].barsep;
  mxml.lists[size_t(source)].barsep = false;
  // The new staff begins as the last one is: its clef, lines and tablature.
  const MxmlList& from = mxml.lists[size_t(source)];
  MxmlList& to = mxml.lists[size_t(at)];
  to.clef = from.clef;
  to.lines = from.lines;
  to.tab = from.tab;
  std::copy(std::begin(from.tuning_by_line), std::end(from.tuning_by_line), to.tuning_by_line);
  ++mxml.part_lists[mxml.part_index];
}

// The clamped integer of an element.
int32_t clamped_int(XmlElement& e, int32_t low, int32_t high, int32_t otherwise) {
  return std::clamp(mxml_int(e, otherwise), low, high);
}

}  // namespace

bool mxml_in_part() { return mxml.part_index >= 0 && mxml.part_index < mxml.part_count; }

int mxml_part_list_count() { return mxml_in_part() ? mxml.part_lists[mxml.part_index] : 1; }

int64_t mxml_measure_length() {
  if (mxml.divisions < 1 || mxml.beats < 1 || mxml.beat_type < 1) return 0;
  return int64_t(mxml.divisions) * mxml.beats * 4 / mxml.beat_type;
}

// ---- The part list ------------------------------------------------------------------------------

void mxml_score_partwise(XmlElement&) { mxml_root_seen = mxml_partwise_seen = 1; }

namespace {

// A new part of the given id, with a list of its own after every other: the first part takes
// the list the parse began with. Returns its index.
int add_part(const std::string& id, const std::string& name_source) {
  if (mxml.part_count >= MXML_MAX_PARTS)
    mxml_refuse(
        "Vesk cannot import this MusicXML file: it has more than %d parts, and Vesk "
        "imports at most %d.",
        MXML_MAX_PARTS, MXML_MAX_PARTS);
  if (voice_count >= MAX_VOICES)
    mxml_refuse(
        "Vesk cannot import this MusicXML file: its parts have more than %d staves in "
        "all, and Vesk imports at most %d.",
        MAX_VOICES, MAX_VOICES);
  const int part = mxml.part_count++;
  mxml.part_ids[part] = id.substr(0, 199);
  int list = 0;
  if (part > 0) {
    list = voice_count;
    mxml.lists[size_t(list)].insert = make_empty_voice(list, 1);
    ++voice_count;
  }
  mxml.part_first[part] = list;
  mxml.part_lists[part] = 1;
  mxml.cur_list = list;
  set_list_name(list, name_from_id(name_source, part), 0);
  return part;
}

}  // namespace

void mxml_score_part(XmlElement& e) {
  const char* id = xml_attr(e, "id");
  if (!id) mxml_throw("MusicXML file has bad format: no id on score-part");
  add_part(id, mxml_attr_text(e, "id", 199));
}

void mxml_part_group(XmlElement& e) {
  int number = xml_attr_int(e, "number");
  if (number == XML_NO_INT) number = 1;
  std::vector<MxmlPartGroup>& groups = mxml.part_groups;
  if (mxml_attr_is(e, "type", "start")) {
    if (groups.size() < size_t(MXML_MAX_PARTS)) {
      MxmlPartGroup group;
      group.number = number, group.first = mxml.part_count;
      groups.push_back(group);
    }
    return;
  }
  if (!mxml_attr_is(e, "type", "stop")) return;
  // The latest open group of that number ends; a group begun after it, at a later part, and
  // still open overlaps it, and keeps no sign of its own (one begun at the same part holds it).
  for (size_t i = groups.size(); i-- > 0;) {
    if (groups[i].last >= 0 || groups[i].number != number) continue;
    groups[i].last = std::max(mxml.part_count - 1, groups[i].first);
    for (size_t j = i + 1; j < groups.size(); ++j) {
      if (groups[j].last >= 0 || groups[j].dropped || groups[j].first == groups[i].first) continue;
      groups[j].dropped = true;
      mxml_notice(MxmlNotice::group_overlap,
                  "In the part list, part group %d begins inside part group %d and ends after "
                  "it; groups of parts must lie one inside another, so group %d gets no "
                  "bracket or brace.",
                  groups[j].number, number, groups[j].number);
    }
    return;
  }
}

void mxml_group_barline(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "part-group") != 0 || mxml.part_groups.empty()) return;
  MxmlPartGroup& g = mxml.part_groups.back();
  if (g.last < 0) g.barline = mxml_text(e, 16) == "yes";
}

void mxml_group_symbol(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "part-group") != 0 || mxml.part_groups.empty()) return;
  MxmlPartGroup& g = mxml.part_groups.back();
  if (g.last < 0) g.symbol = mxml_text(e, 32);
}

void mxml_part_symbol(XmlElement& e) {
  if (mxml_in_part()) mxml.part_symbol[mxml.part_index] = mxml_text(e, 32);
}

namespace {

constexpr int NO_BRACKET = 2, BRACKET_GOES_ON = 0, BRACKET_ENDS = 1, BRACE_GOES_ON = 1;

void set_list_brackets(int list, int bracket, int brace) {
  bool first_print = true;
  for (Drosa p = piece_start[list]; p; p = p->xnext) {
    if (p->xkind == PRINT && first_print) {
      p->set(xfirst_bracket, bracket);
      p->set(xfirst_brace, brace);
    }
    if (p->xkind == NOTE) first_print = false;
    if (p->xkind == ENDSYST && !p->get(xstartpiece) && !p->get(xendpiece)) {
      p->set(xbracket, bracket);
      p->set(xbrace, brace);
    }
  }
}

}  // namespace

void mxml_set_brackets() {
  std::vector<int> bracket(size_t(voice_count), NO_BRACKET), brace(size_t(voice_count), 0);
  auto last_list = [](int part) { return mxml.part_first[part] + mxml.part_lists[part] - 1; };
  auto valid = [](int list) { return list >= 0 && list < voice_count; };
  for (MxmlPartGroup& g : mxml.part_groups) {
    if (g.last < 0) g.last = mxml.part_count - 1;  // never stopped: to the last part
    g.first = std::clamp(g.first, 0, std::max(mxml.part_count - 1, 0));
    g.last = std::clamp(g.last, g.first, std::max(mxml.part_count - 1, 0));
  }
  // Brackets of the outermost groups first (of two beginning at one part, the longer): a group
  // inside a bracketed one keeps its bracket.
  std::vector<const MxmlPartGroup*> outermost_first;
  for (const MxmlPartGroup& g : mxml.part_groups) outermost_first.push_back(&g);
  std::stable_sort(outermost_first.begin(), outermost_first.end(),
                   [](const MxmlPartGroup* a, const MxmlPartGroup* b) {
                     return a->first < b->first || (a->first == b->first && a->last > b->last);
                   });
  for (const MxmlPartGroup* group : outermost_first) {
    const MxmlPartGroup& g = *group;
    if (g.dropped || mxml.part_count == 0 || (g.symbol != "bracket" && g.symbol != "square"))
      continue;
    const int from = mxml.part_first[g.first], to = last_list(g.last);
    if (!valid(from) || !valid(to) || bracket[size_t(from)] != NO_BRACKET) continue;
    for (int l = from; l <= to; ++l) bracket[size_t(l)] = l == to ? BRACKET_ENDS : BRACKET_GOES_ON;
  }
  for (const MxmlPartGroup& g : mxml.part_groups) {
    if (g.dropped || g.symbol != "brace" || mxml.part_count == 0) continue;
    const int from = mxml.part_first[g.first], to = last_list(g.last);
    for (int l = from; l < to && valid(l); ++l) brace[size_t(l)] = BRACE_GOES_ON;
  }
  for (int p = 0; p < mxml.part_count; ++p) {
    const std::string& symbol = mxml.part_symbol[p];
    if (mxml.part_lists[p] < 2 || (!symbol.empty() && symbol != "brace")) continue;
    for (int l = mxml.part_first[p]; l < last_list(p) && valid(l); ++l)
      brace[size_t(l)] = BRACE_GOES_ON;
  }
  for (int l = 0; l < voice_count; ++l) set_list_brackets(l, bracket[size_t(l)], brace[size_t(l)]);
}

void mxml_part_name(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "score-part") != 0 || mxml.part_count == 0) return;
  mxml_name_given(e, false);
  const std::string name = clean_name(mxml_text(e, 64));
  mxml.part_names[mxml.part_count - 1] = name;
  if (valid_part_name(name.c_str()) && !name_used(name))
    set_list_name(mxml.part_first[mxml.part_count - 1], name, 0);
}

void mxml_software(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "encoding") != 0) return;
  const std::string text = mxml_text(e, 128);
  if (text.compare(0, 8, "Sibelius") == 0) mxml.sibelius = true;
  if (text.compare(0, 8, "SharpEye") == 0) mxml.sharpeye = true;
}

void mxml_midi_instrument(XmlElement& e) {
  mxml.midi_instrument.clear();
  mxml.midi_channel = 0;
  if (std::strcmp(mxml_parent(e), "score-part") != 0 || mxml.part_count < 1) return;
  if (const char* id = xml_attr(e, "id")) mxml.midi_instrument = std::string(id).substr(0, 199);
}

void mxml_midi_channel(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "midi-instrument") != 0) return;
  const int channel = mxml_int(e, 0);
  mxml.midi_channel = channel >= 1 && channel <= 16 ? channel : 0;
  // A part plays on the channel of its first instrument that names one.
  const int part = mxml.part_count - 1;
  if (mxml.midi_instrument.empty() || !mxml.midi_channel || part < 0 || mxml.part_channel[part])
    return;
  mxml.part_channel[part] = mxml.midi_channel;
  mxml.channels_given |= 1 << (mxml.midi_channel - 1);
}

void mxml_midi_program(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "midi-instrument") != 0 || mxml.midi_instrument.empty()) return;
  const int program = mxml_int(e, 0);
  const int part = mxml.part_count - 1;
  if (program >= 1 && program <= 128 && part >= 0 && !mxml.part_program[part])
    mxml.part_program[part] = program;
}

void mxml_midi_unpitched(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "midi-instrument") != 0 || mxml.midi_instrument.empty()) return;
  const int unpitched = mxml_int(e, 0);  // 1 .. 128
  if (unpitched < 1 || unpitched > 128 || mxml.unpitched_sounds.size() >= MXML_MAX_INSTRUMENTS)
    return;
  const int part = mxml.part_count - 1;
  mxml.unpitched_sounds[mxml.midi_instrument] = {part, unpitched - 1};
  mxml.part_unpitched[part] = true;
}

// ---- Parts
// ---------------------------------------------------------------------------------------

namespace {

// The index of the declared part with this id. A part the part list does not declare (or
// one without an id) is imported as a part of its own, never merged into another.
int part_of_id(XmlElement& e) {
  const char* id = xml_attr(e, "id");
  const std::string wanted = id ? std::string(id).substr(0, 199) : "";
  if (id)
    for (int p = 0; p < mxml.part_count; ++p)
      if (mxml.part_ids[p] == wanted) return p;
  const std::string name =
      id ? mxml_attr_text(e, "id", 199) : "Part " + std::to_string(mxml.part_count + 1);
  mxml_notice(MxmlNotice::undeclared_part,
              "The part list of the MusicXML file does not declare the part \"%s\"; Vesk "
              "imports it as a part of its own.",
              id ? name.c_str() : "without an id");
  return add_part(id ? wanted : name, name);
}

void reset_part_state() {
  mxml.pending = 0;
  for (MxmlSlur& s : mxml.slurs) s = MxmlSlur{};
  for (MxmlVoice& v : mxml.voices) v = MxmlVoice{};
  mxml.voices_used = 0;
  mxml.highest_voice = 0;
  mxml.last_voice = 0;
  mxml.wedges.clear();
  mxml.hairpins_shown.clear();
  mxml.taken_lines.clear();
  for (auto& line : mxml.octave_lines) line = {};
  mxml.octave_lines_stopped.clear();
  mxml.ending = {};
  mxml.shift_notes.clear();
  mxml.last_number = 0;
  mxml.measure_counter = 0;
  mxml.measure_notes = 0;
  mxml.short_measure_rests.clear();
  mxml.waiting_bars.clear();
  mxml.number_to_show = 0;
  mxml.chord_beam_left = mxml.chord_beam_right = 0;
  mxml.last_note = NIL;
  mxml.transposition = 0;
  mxml.staves_stated = 0;
  mxml.part_system_breaks = mxml.part_page_breaks = 0;
}

}  // namespace

namespace {

// The bar lines of a part join those of the next part only where a group of both asks for
// common bar lines; the staves of one part always join.
void separate_parts_bar_lines() {
  for (int p = 0; p + 1 < mxml.part_count; ++p) {
    const bool joined =
        std::any_of(mxml.part_groups.begin(), mxml.part_groups.end(), [p](const MxmlPartGroup& g) {
          return g.barline && !g.dropped && g.first <= p && (g.last < 0 || g.last > p);
        });
    const int list = mxml.part_first[p];
    if (list >= 0 && list < MXML_MAX_LISTS) mxml.lists[size_t(list)].barsep = !joined;
  }
}

}  // namespace

namespace {
constexpr int PERCUSSION_CHANNEL = 9;  // channel 10, counted from 0
}  // namespace

int mxml_next_free_channel() {
  // Channels no part names, in order, past the percussion channel; when none is left they are
  // shared, in the same order.
  for (int pass = 0; pass < 2; ++pass)
    for (int step = 1; step <= 16; ++step) {
      const int c = (mxml.last_channel_chosen + step - 1) % 16 + 1;
      if (c == PERCUSSION_CHANNEL + 1 || (pass == 0 && (mxml.channels_given >> (c - 1) & 1)))
        continue;
      mxml.last_channel_chosen = c;
      if (pass == 0) mxml.channels_given |= 1 << (c - 1);
      return c;
    }
  return 1;
}

void mxml_part(XmlElement& e) {
  if (mxml.parts_read == 0) separate_parts_bar_lines();
  ++mxml.parts_read;
  const int part = part_of_id(e);
  if (!mxml.defaults_applied) mxml_apply_layout();
  mxml.part_index = part;
  if (!valid_list(mxml.part_first[part])) {
    REPORT_ERROR(2, "MusicXML import error: no voice for part %d of %d", part + 1, mxml.part_count);
    mxml.part_first[part] = voice_count - 1;
  }
  mxml.cur_list = mxml.part_first[part];
  reset_part_state();
}

void mxml_part_end() {
  if (!mxml_in_part()) return;
  // A staff the document draws at a size of its own has it throughout.
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    const MxmlList& l = mxml.lists[size_t(first_list() + i)];
    if (l.staff_size != 50)
      for (Drosa p = piece_start[first_list() + i]; p; p = p->xnext)
        if (p->xkind == PRINT) p->set(xstaffsize, int16_t(l.staff_size));
  }
  mxml.part_end[mxml.part_index] = {mxml.divisions, mxml.beats, mxml.beat_type};
  // The part plays on the channel and with the program its instrument names; a part of
  // percussion sounds that names no channel plays on theirs (10), any other on one of its own.
  const int part = mxml.part_index;
  int channel = mxml.part_channel[part];
  if (!channel && mxml.part_unpitched[part]) channel = PERCUSSION_CHANNEL + 1;
  if (!channel) channel = mxml_next_free_channel();
  mxml.part_channel[part] = channel;  // a part read again keeps it
  const int program = mxml.part_program[part];
  for (int i = 0; i < mxml_part_list_count(); ++i)
    if (Drosa info = find_next_kind_until(VINFO, piece_start[first_list() + i], NOTE, 0)) {
      info->set(xmidichan, uint8_t(channel - 1));
      // The program goes into the low seven bits of the byte whose top bit says whether the
      // voice is heard (the play engine's fields of the VINFO).
      set_node_byte(
          info, VINFO_PROGRAM_BYTE,
          uint8_t((node_byte(info, VINFO_PROGRAM_BYTE) & 0x80) | (program > 1 ? program - 1 : 0)));
    }
  mxml_end_short_measure_rests();
  mxml_octave_lines_end(true);
  mxml_trill_lines_end();
  mxml_pedal_lines_end();
  mxml_wedges_end();
  mxml_endings_measure_end(true);
  for (int s = 0; s < MXML_SLOTS; ++s) mxml_reset_slot(s);
  mxml_reset_titles(mxml.title_flush);
  mxml.part_index = -1;
}

// ---- Measures
// ------------------------------------------------------------------------------------

namespace {

// Writes a measure number into the BAR that ends the measure before it: -1 keeps the bar out
// of the count (the same number again), any other number restarts the count there.
void number_bar(Drosa bar, int show) {
  if (show == -1) {
    bar->set(xunnumbered, 1);
  } else {
    bar->set(xrestart_number, 1);
    bar->set(xbarnumber, int16_t(std::clamp(show, -32768, 32767)));
  }
}

// A measure that no note or forward filled gets a whole-measure rest in every list of the
// part, and the part's time moves on by the measure.
void empty_measure_rests() {
  if (mxml.last_duration > 0) mxml.part_cursor[mxml.part_index] += mxml.last_duration;
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    const int list = first_list() + i;
    Drosa last = mxml.lists[size_t(list)].last_note;
    int tag = last ? last->get(xpitch) & MXML_TAG_VOICE_BITS : (mxml.part_index + 1) | (2 << 7);
    mxml_make_rest(mxml.lists[size_t(list)].insert, list, true, tag);
  }
  mxml_no_note_made = 0;  // an empty measure is music too: a measure of rest
  mxml.pending = std::max(mxml.pending, mxml_measure_length());
}

}  // namespace

void mxml_measure(XmlElement& e) {
  mxml_root_seen = 1;
  if (!mxml_in_part()) return;
  // Bar numbers are shown from 0 to 32767.
  const int32_t given = xml_attr_int(e, "number");
  const int number = std::clamp(given == XML_NO_INT ? mxml.last_number + 1 : given, 0, 32767);
  int show = number == mxml.last_number + 1 ? 0 : number == mxml.last_number ? -1 : number;
  if (show != 0 && !mxml.waiting_bars.empty()) {
    for (Drosa bar : mxml.waiting_bars) number_bar(bar, show);
    show = 0;
  }
  mxml.waiting_bars.clear();
  mxml.number_to_show = show;
  mxml.last_number = number;
  if (++mxml.measure_counter > MXML_MOST_MEASURES)
    mxml_refuse(
        "Vesk cannot import this MusicXML file: %s has more than %d measures. Real "
        "scores have far fewer; the file may be damaged or made by a program.",
        mxml_where().substr(mxml_where().find("part")).c_str(), MXML_MOST_MEASURES);
  mxml.measure_notes = 0;
  mxml.measure_nodes = 0;
  mxml.measure_end = mxml.part_cursor[mxml.part_index] + mxml.pending;
  mxml.short_measure_rests.clear();
}

namespace {

void set_bar_look(Drosa bar, int look) {
  bar->set(xbar_dashed, (look & MXML_BAR_DASHED) != 0);
  bar->set(xbar_chant, (look & MXML_BAR_TICK) != 0);
  bar->set(xbar_invisible, (look & MXML_BAR_HIDDEN) != 0);
}

// The part's time goes back to the start of the next measure; the measure's length is kept.
void end_measure_time() {
  const int part = mxml.part_index;
  const int64_t length = mxml.part_cursor[part];
  mxml.part_measures[part].push_back(mxml_to_units(length));
  mxml.part_cursor[part] = 0;
  mxml.pending = 0;
  mxml.measure_end = 0;
  for_used_voices([length](MxmlVoice& v) { v.end = std::max<int64_t>(v.end - length, 0); });
}

}  // namespace

void mxml_measure_end() {
  if (!mxml_in_part()) return;
  mxml_end_tremolos();
  mxml_end_tuplets();
  // The rest of a measure that holds none takes the measure's directions: left to the measure's
  // end, they went to the last note of the measure before.
  if (!mxml.left_barline && mxml.measure_notes == 0) empty_measure_rests();
  mxml_flush_measure_end();
  mxml_arpeggios_measure_end();
  mxml_octave_lines_end(false);
  mxml_endings_measure_end(false);
  for (int i = 0; i < mxml_part_list_count(); ++i) mxml_bar_end(first_list() + i, true);
  end_measure_time();
  mxml.bar_style = mxml.bar_look = 0;
  mxml.end_repeat = mxml.start_repeat = mxml.left_barline = false;
}

void mxml_bar_end(int list, bool closing) {
  if (!valid_list(list)) return;
  MxmlList& l = mxml.lists[size_t(list)];
  const int part = mxml.part_index;
  // The measure ends where its longest voice ends, though the voice read last ends earlier.
  mxml.part_cursor[part] = std::max(mxml.part_cursor[part] + mxml.pending, mxml.measure_end);
  mxml.pending = 0;
  mxml.measure_end = mxml.part_cursor[part];
  Drosa xmlt = newDrosa(XMLT, 0);
  xmlt->set(xxmltime, int32_t(std::min<int64_t>(mxml.part_cursor[part], INT32_MAX)));
  xmlt->set(xnwholec, mxml_to_units(mxml.part_cursor[part]));
  xmlt->set(xxmlmeasure, closing);
  append(list, xmlt);
  Drosa bar = newDrosa(BAR, 0);
  bar->set(xdouble, uint8_t(mxml.bar_style));
  bar->set(xrepeat_end, mxml.end_repeat);
  bar->set(xrepeat_start, mxml.start_repeat);
  set_bar_look(bar, mxml.bar_look);
  append(list, bar);
  l.clef_times.clear();
  if (list == first_list()) mxml.waiting_bars.clear();
  mxml.waiting_bars.push_back(bar);
  if (mxml.number_to_show != 0) number_bar(bar, mxml.number_to_show);
  if (l.barsep) append(list, newDrosa(BARSEP, 0));
  if (mxml.left_barline)
    bar->set(xunnumbered, 1);
  else
    l.bars.push_back(bar);
  mxml.last_duration = -1;
}

void mxml_pad_short_parts() {
  size_t measures = 0;
  for (int p = 0; p < mxml.part_count; ++p)
    measures = std::max(measures, mxml.part_measures[p].size());
  const MxmlState::PartEnd last_read{mxml.divisions, mxml.beats, mxml.beat_type};
  for (int p = 0; p < mxml.part_count; ++p) {
    const size_t read = mxml.part_measures[p].size();
    if (read == 0 || read >= measures || !valid_list(mxml.part_first[p])) continue;
    const MxmlState::PartEnd& end = mxml.part_end[p];
    mxml.divisions = end.divisions, mxml.beats = end.beats, mxml.beat_type = end.beat_type;
    mxml.part_index = p;
    mxml.cur_list = mxml.part_first[p];
    mxml.number_to_show = 0;
    for (size_t k = read; k < measures; ++k) {
      mxml.part_cursor[p] = mxml.pending = mxml.measure_end = 0;
      mxml.last_duration = -1;
      mxml.measure_nodes = 0;
      empty_measure_rests();
      for (int i = 0; i < mxml_part_list_count(); ++i) mxml_bar_end(first_list() + i, true);
      end_measure_time();
    }
    mxml.part_index = -1;
  }
  mxml.divisions = last_read.divisions, mxml.beats = last_read.beats;
  mxml.beat_type = last_read.beat_type;
}

void mxml_align_measures() {
  size_t measures = 0;
  for (int p = 0; p < mxml.part_count; ++p)
    measures = std::max(measures, mxml.part_measures[p].size());
  std::vector<int64_t> start(measures + 1, 0);
  for (size_t k = 0; k < measures; ++k) {
    int64_t length = 0;
    for (int p = 0; p < mxml.part_count; ++p)
      if (k < mxml.part_measures[p].size()) length = std::max(length, mxml.part_measures[p][k]);
    start[k + 1] = start[k] + length;
    if (start[k + 1] > MXML_MOST_TIME_UNITS)
      mxml_refuse(
          "Vesk cannot import this MusicXML file: its music lasts longer than Vesk can "
          "hold, 16,384 whole notes; measure %zu (counting from the first) passes it.",
          k + 1);
  }
  for (int v = 0; v < voice_count; ++v) {
    size_t k = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind != XMLT) continue;
      if (p->get(xxmlmeasure)) {
        k = std::min(k + 1, measures);
        p->set(xnwholec, int32_t(std::min<int64_t>(start[k], INT32_MAX)));
      } else {
        p->set(xnwholec, int32_t(std::min<int64_t>(start[k] + p->get(xnwholec), INT32_MAX)));
      }
    }
  }
}

void mxml_barline(XmlElement& e) {
  if (!mxml_in_part()) return;
  if (mxml_attr_is(e, "location", "left")) {
    bool note_since_break = false;
    for (Drosa p = mxml.lists[size_t(mxml.cur_list)].insert; p && p->xkind != ENDSYST; p = p->xback)
      if (p->xkind == NOTE) note_since_break = true;
    mxml.left_barline = !note_since_break;
    mxml.left_barline_mid = note_since_break;
  }
  mxml.bar_style = mxml.bar_look = 0;
  mxml.bar_style_given = false;
  mxml.end_repeat = mxml.start_repeat = false;
}

void mxml_bar_style(XmlElement& e) {
  const std::string style = mxml_text(e, 32);
  mxml.bar_style_given = true;
  mxml.bar_look = 0;
  mxml.bar_style = 0;
  if (style == "light-light") {
    mxml.bar_style = 1;
  } else if (style == "light-heavy") {
    mxml.bar_style = 2;
  } else if (style == "heavy-light") {
    mxml.bar_style = 3;
  } else if (style == "dashed") {
    mxml.bar_look = MXML_BAR_DASHED;
  } else if (style == "tick") {
    mxml.bar_look = MXML_BAR_TICK;
  } else if (style == "none") {
    mxml.bar_look = MXML_BAR_HIDDEN;
  } else if (style != "regular") {
    // Dotted lines are drawn dashed; a heavy line alone, or two, with a thin line before.
    const bool dotted = style == "dotted", heavy = style == "heavy" || style == "heavy-heavy";
    if (dotted) mxml.bar_look = MXML_BAR_DASHED;
    if (heavy) mxml.bar_style = 2;
    mxml_notice(MxmlNotice::bar_style,
                "In %s a bar line is %s, which Vesk cannot draw; it draws %s.",
                mxml_where().c_str(), style.c_str(),
                dotted  ? "it dashed"
                : heavy ? "a thin and a thick line"
                        : "a plain bar line");
  }
}

void mxml_repeat(XmlElement& e) {
  if (mxml_attr_is(e, "direction", "backward")) {
    mxml.end_repeat = true;
    // A backward repeat whose bar line names no style is printed thin and thick.
    if (!mxml.bar_style_given) mxml.bar_style = 2;
  }
  if (mxml_attr_is(e, "direction", "forward")) mxml.start_repeat = true;
}

void mxml_barline_end() {
  if (!mxml_in_part()) return;
  if (mxml.left_barline && mxml.start_repeat) {
    // A repeat that opens a system: its bar line stands after the system's clef and key.
    for (int i = 0; i < mxml_part_list_count(); ++i) mxml_bar_end(first_list() + i, false);
    mxml.measure_notes = 0;
    mxml.left_barline = false;
  } else if (mxml.left_barline || mxml.left_barline_mid) {
    // Any other left bar line is the bar line that ends the measure before.
    mxml.left_barline = false;
    for (int i = 0; i < mxml_part_list_count(); ++i) {
      const MxmlList& l = mxml.lists[size_t(first_list() + i)];
      Drosa bar = l.bars.empty() ? NIL : l.bars.back();
      if (!bar) continue;
      if (mxml.start_repeat) bar->set(xrepeat_start, 1);
      if (mxml.bar_style == 3 || (mxml.bar_style && !bar->get(xdouble)))
        bar->set(xdouble, uint8_t(mxml.bar_style));
      if (mxml.bar_look) set_bar_look(bar, mxml.bar_look);
    }
  } else {
    return;  // a right bar line: its style and repeat go to the bar line at the measure's end
  }
  mxml.left_barline_mid = false;
  mxml.bar_style = mxml.bar_look = 0;
  mxml.end_repeat = mxml.start_repeat = false;
}

// ---- System and page breaks ---------------------------------------------------------------------

namespace {

// The nearest node of a kind before `node` in its list, whatever its context.
Drosa earlier(int kind, Drosa node) { return find_prev_kind_raw(kind, node); }

// The same, the node itself included.
Drosa at_or_before(int kind, Drosa node) {
  return node->xkind == kind ? node : earlier(kind, node);
}

}  // namespace

void mxml_split_repeat_at_break(int list, Drosa bar) {
  Drosa start = copyDrosa(bar);
  start->set(xrepeat_end, 0);
  start->set(xunnumbered, 1);
  start->set(xrestart_number, 0);
  bar->set(xrepeat_start, 0);
  if (bar->get(xdouble) == 3) bar->set(xdouble, uint8_t(bar->get(xrepeat_end) ? 2 : 0));
  append(list, start);
}

void mxml_make_break(int list, bool page) {
  MxmlList& l = mxml.lists[size_t(list)];
  Drosa brk = newDrosa(ENDSYST, 1);
  brk->set(xendpage, page);
  Drosa clef = at_or_before(CLEF, l.insert);
  Drosa key = at_or_before(KEYSIG, l.insert);
  append(list, brk);
  if (clef) {
    Drosa c = copyDrosa(clef);
    c->xcontext = 1;
    c->set(xclef_change, 0);
    append(list, c);
  }
  if (key) {
    Drosa k = copyDrosa(key);
    k->xcontext = 1;
    remove_naturals_from_key(k);
    append(list, k);
  }
  l.breaks.push_back({int(l.bars.size()), page});
}

void mxml_print(XmlElement& e) {
  if (!mxml_in_part()) return;
  mxml_print_begins_system(e);
  const bool page = mxml_attr_is(e, "new-page", "yes");
  if (!page && !mxml_attr_is(e, "new-system", "yes")) {
    mxml_print_system_distance();
    return;
  }
  mxml.system_breaks = std::max(mxml.system_breaks, ++mxml.part_system_breaks);
  if (page) mxml.page_breaks = std::max(mxml.page_breaks, ++mxml.part_page_breaks);
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    const int list = first_list() + i;
    // A break before the first note of a list, or right after another, makes no system.
    bool note_before = false;
    for (Drosa p = mxml.lists[size_t(list)].insert; p; p = p->xback) {
      if (p->xkind == NOTE) note_before = true;
      if (p->xkind == NOTE || p->xkind == ENDSYST) break;
    }
    if (note_before) mxml_make_break(list, page);
  }
  mxml_print_system_distance();
}

// ---- Attributes
// -----------------------------------------------------------------------------------

namespace {

// Gives the XMLTs of the part's lists since their last BAR their start and time in the new
// divisions, so that the notes of the measure still compare with the part's time.
void rescale_measure_times(int32_t from, int32_t to) {
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    for (Drosa p = mxml.lists[size_t(first_list() + i)].insert; p && p->xkind != BAR;
         p = p->xback) {
      if (p->xkind != XMLT) continue;
      p->set(xxmltime, int32_t(int64_t(p->get(xxmltime)) * to / from));
      p->set(xxmlincr, int32_t(int64_t(p->get(xxmlincr)) * to / from));
    }
    for (auto& clef : mxml.lists[size_t(first_list() + i)].clef_times)
      clef.second = clef.second * to / from;
  }
}

}  // namespace

void mxml_divisions(XmlElement& e) {
  const double given = xml_text_double(e);
  const int32_t old = mxml.divisions;
  int32_t d = given >= 1 && given <= double(1 << 24) ? int32_t(given) : given > 1 ? 1 << 24 : 0;
  if (d < 1 || d != given) {
    // A fraction, none, or a number less than one divides the quarter into nothing: the
    // divisions in force go on, or those a document is read in without any.
    if (d < 1) d = old > 0 ? old : DIVISIONS_DEFAULT;
    mxml_notice(MxmlNotice::divisions,
                "In %s the divisions of a quarter note are \"%s\", which is no whole number from "
                "1 on; Vesk reads them as %d.",
                mxml_where().c_str(), mxml_text(e, 32).c_str(), d);
  }
  if (mxml_in_part() && old > 0 && old != d) {
    int64_t& cursor = mxml.part_cursor[mxml.part_index];
    cursor = cursor * d / old;
    mxml.pending = mxml.pending * d / old;
    mxml.measure_end = mxml.measure_end * d / old;
    if (mxml.last_duration > 0) mxml.last_duration = mxml.last_duration * d / old;
    for_used_voices([d, old](MxmlVoice& v) { v.end = v.end * d / old; });
    rescale_measure_times(old, d);
    mxml.divisions = d;
    mxml_check_measure_time(std::max(cursor + mxml.pending, mxml.measure_end));
  }
  mxml.divisions = d;
  mxml.tolerance = d / 48;
  if (mxml.tolerance == 0 && d > 32) mxml.tolerance = 1;
  mxml.tolerance_units = mxml.tolerance ? int32_t(int64_t(mxml.tolerance) * 16384 / 768) : 10;
}

void mxml_fifths(XmlElement& e) {
  const int fifths = mxml_int(e, 0);
  mxml.fifths = std::clamp(fifths, -7, 7);
  if (fifths != mxml.fifths)
    mxml_notice(MxmlNotice::key,
                "In %s a key signature has %d %s; Vesk shows at most 7, so it shows 7.",
                mxml_where().c_str(), std::abs(fifths), fifths > 0 ? "sharps" : "flats");
}

void mxml_mode(XmlElement& e) { mxml.minor = mxml_text(e, 99) == "minor"; }

namespace {

// The entries of a new key: the cancelling naturals of the previous key's accidentals that it
// does not keep, then its own accidentals.
void fill_key(Drosa key, Drosa previous, int code) {
  const int count = code % MINOR <= 7 ? code % MINOR : (code % MINOR) - 7;
  const bool sharps = code % MINOR <= 7;
  int n = 0;
  if (previous) {
    const int prev_code = previous->get(xkey);
    const bool prev_sharps = prev_code % MINOR <= 7;
    const int keep = prev_sharps == sharps ? count : 0;
    const int prev_count = std::min<int>(previous->get(xkeycnt), 14);
    for (int i = 0, accidentals = 0; i < prev_count && n < 14; ++i) {
      const int entry = previous->get(xkeysig_entry, i);
      if (entry >= FIRST_NATURAL) continue;
      if (accidentals++ >= keep) key->set(xkeysig_entry, n++, uint8_t(entry + FIRST_NATURAL));
    }
  }
  for (int i = 0; i < count && n < 14; ++i)
    key->set(xkeysig_entry, n++, uint8_t(sharps ? SHARP_ORDER[i] : FLAT_ORDER[i]));
  key->set(xkeycnt, uint8_t(n));
}

}  // namespace

void mxml_key_end() {
  if (!mxml_in_part()) return;
  int code = mxml.fifths >= 0 ? mxml.fifths : 7 - mxml.fifths;
  if (mxml.minor) code += MINOR;
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    const int list = first_list() + i;
    Drosa key = find_or_make(list, KEYSIG);
    Drosa previous = earlier(KEYSIG, key);
    key->xcontext = previous && previous->get(xkey) == code ? 1 : 0;
    key->set(xkey, int8_t(code));
    fill_key(key, previous, code);
    key->set(key_transposition, int8_t(mxml.transposition));
  }
  mxml.fifths = 0;
  mxml.minor = false;
}

void mxml_time(XmlElement& e) {
  mxml.beats_refused.clear();
  mxml.time_symbol = mxml_attr_is(e, "symbol", "cut")      ? 1
                     : mxml_attr_is(e, "symbol", "common") ? 2
                                                           : 0;
}

void mxml_beats(XmlElement& e) {
  // "3+2" is a measure of five beats.
  const std::string text = mxml_text(e, 64);
  int sum = 0;
  for (size_t i = 0; i < text.size();) {
    if (!std::isdigit(uint8_t(text[i]))) {
      ++i;
      continue;
    }
    int n = 0;
    for (; i < text.size() && std::isdigit(uint8_t(text[i])); ++i)
      n = std::min(n * 10 + (text[i] - '0'), 999);
    sum = std::min(sum + n, 999);
  }
  if (sum < 1)
    mxml.beats_refused = text.empty() ? "(none)" : text;
  else
    mxml.beats = sum;
}

void mxml_beat_type(XmlElement& e) {
  const int denominator = mxml_int(e, 0);
  if (denominator < 1 || !mxml.beats_refused.empty()) {
    // No beats or no beat value: the time signature in force goes on.
    const std::string text = mxml_text(e, 64);
    mxml_notice(MxmlNotice::time_signature,
                "In %s a time signature is %s/%s, which counts no beats or has no beat value; "
                "Vesk leaves it out and keeps the one before.",
                mxml_where().c_str(),
                mxml.beats_refused.empty() ? std::to_string(mxml.beats).c_str()
                                           : mxml.beats_refused.c_str(),
                text.empty() ? "(none)" : text.c_str());
    mxml.beats_refused.clear();
    return;
  }
  mxml.beat_type = std::min(denominator, 64);
  int value = 0;
  for (int d = mxml.beat_type; d && value < 8; d >>= 1) ++value;
  mxml.beat_value = value;
  if (!mxml_in_part() || mxml.beats < 1) return;
  const int beats = std::min(mxml.beats, 99);
  int symbol = mxml.time_symbol;
  if (beats == 2 && mxml.beat_type == 2 && symbol == 2) symbol = 1;
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    Drosa t = find_or_make(first_list() + i, TIMESIG);
    mxml.lists[size_t(first_list() + i)].timesig = t;
    mxml.lists[size_t(first_list() + i)].timesig_known = true;
    t->set(xbpm, int16_t(beats));
    t->set(xbeat, int16_t(mxml.beat_type));
    if (symbol) t->set(xtimesig_symbol, uint8_t(symbol));
  }
}

void mxml_clef(XmlElement& e) {
  if (!mxml_in_part()) return;
  int number = xml_attr_int(e, "number");
  if (number == XML_NO_INT) number = 1;
  const int staves = mxml_part_list_count();
  if (number < 1 || number > staves) {
    mxml_notice(MxmlNotice::clef_staff,
                "In %s a clef is for staff %d, but the part has %d; the nearest staff takes it.",
                mxml_where().c_str(), number, staves);
    number = std::clamp(number, 1, staves);
  }
  mxml.cur_list = first_list() + number - 1;
  mxml.last_clef = NIL;
  mxml.clef_sign.clear();
  mxml.clef_line = mxml.clef_octave = 0;
}

void mxml_sign(XmlElement& e) {
  if (!mxml_in_part() || !valid_list(mxml.cur_list)) return;
  mxml.clef_sign = mxml_text(e, 32);
  MxmlList& l = mxml.lists[size_t(mxml.cur_list)];
  const int64_t time = mxml.part_cursor[mxml.part_index] + mxml.pending;
  // A clef read at its time already is this one, which another voice of the staff brings too.
  const auto same = std::find_if(l.clef_times.begin(), l.clef_times.end(), [&](const auto& c) {
    return std::llabs(c.second - time) <= mxml.tolerance;
  });
  Drosa clef = same != l.clef_times.end() ? same->first : attached_since_note(mxml.cur_list, CLEF);
  // A clef that comes in force earlier in the measure stays: another voice brings this one
  // (the staff's voices are read later), and the staff's notes before its time keep the other.
  // One not read in the measure is the clef the measure or its system begins with.
  const auto read = std::find_if(l.clef_times.begin(), l.clef_times.end(),
                                 [&](const auto& c) { return c.first == clef; });
  const int64_t in_force = read == l.clef_times.end() ? 0 : read->second;
  if (!clef || in_force + mxml.tolerance < time) {
    clef = newDrosa(CLEF, 0);
    append(mxml.cur_list, clef);
  }
  clef->set(xclef_change, earlier(CLEF, clef) ? 1 : 0);
  mxml.last_clef = clef;
  std::erase_if(l.clef_times, [&](const auto& c) { return c.first == clef; });
  l.clef_times.push_back({clef, time});
  std::erase_if(l.clef_units, [&](const auto& c) { return c.first == clef; });
  l.clef_units.push_back({clef, mxml_to_units(time)});
}

void mxml_clef_line(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "clef") == 0) mxml.clef_line = mxml_int(e, 0);
}

void mxml_clef_octave_change(XmlElement& e) { mxml.clef_octave = mxml_int(e, 0); }

namespace {

// The clef codes of the program: 0 treble, 1 bass, 2 alto, 3 tenor, 4 soprano, 5 treble an
// octave down, 6 baritone (F), 7 percussion, 10 mezzo-soprano, 11 baritone (C).
const char* clef_name(int code) {
  switch (code) {
    case 1:
      return "bass";
    case 2:
      return "alto";
    case 3:
      return "tenor";
    case 4:
      return "soprano";
    case 5:
      return "octave-down treble";
    case 6:
      return "baritone";
    case 7:
      return "percussion";
    case 10:
      return "mezzo-soprano";
    case 11:
      return "baritone";
    default:
      return "treble";
  }
}

// The code of the clef a sign on a line (0: the sign's usual line) with an octave change
// gives; false when the program has no such clef, and the code is then the nearest it has.
bool clef_code(const std::string& sign, int line, int octave, int* code) {
  if (sign == "G") {
    *code = octave == -1 ? 5 : 0;
    return (line == 0 || line == 2) && (octave == 0 || octave == -1);
  }
  if (sign == "F") {
    *code = line == 3 ? 6 : 1;
    return (line == 0 || line == 3 || line == 4) && octave == 0;
  }
  if (sign == "C") {
    static const int by_line[6] = {2, 4, 10, 2, 3, 11};
    *code = line >= 0 && line <= 5 ? by_line[line] : 2;
    return line >= 0 && line <= 5 && octave == 0;
  }
  // A guitar's tablature keeps the clef its notes are written in on a staff: an octave down.
  *code = sign == "percussion" ? 7 : sign == "TAB" ? 5 : 0;
  return sign == "percussion" || sign == "TAB";
}

}  // namespace

void mxml_clef_end() {
  Drosa clef = mxml.last_clef;
  mxml.last_clef = NIL;
  if (!clef || !mxml_in_part() || !valid_list(mxml.cur_list)) return;
  int code = 0;
  if (!clef_code(mxml.clef_sign, mxml.clef_line, mxml.clef_octave, &code)) {
    std::string asked = mxml.clef_sign + " clef";
    if (mxml.clef_line) asked += " on line " + std::to_string(mxml.clef_line);
    const int octaves = std::abs(mxml.clef_octave);
    if (octaves)
      asked += ", " + (octaves == 1 ? std::string("an") : std::to_string(octaves)) + " octave" +
               (octaves > 1 ? "s " : " ") + (mxml.clef_octave > 0 ? "up" : "down");
    mxml_notice(MxmlNotice::clef,
                "In %s the document asks for a %s, which Vesk does not have; "
                "it shows the %s clef.",
                mxml_where().c_str(), asked.c_str(), clef_name(code));
  }
  clef->set(xclef, uint8_t(code));
  MxmlList& l = mxml.lists[size_t(mxml.cur_list)];
  l.clef = code;
  l.tab = mxml.clef_sign == "TAB";
  l.tab_clef = l.tab ? clef : NIL;
  l.tab_kind = 0;
}

void mxml_staves(XmlElement& e) {
  if (!mxml_in_part()) return;
  const int asked = mxml_int(e, 1);
  const int wanted = std::clamp(asked, 1, MXML_MAX_STAVES);
  const int before = mxml.part_lists[mxml.part_index];
  while (mxml.part_lists[mxml.part_index] < wanted && voice_count < MAX_LISTS_FOR_STAVES)
    duplicate_voice_list(mxml.part_lists[mxml.part_index]);
  const int got = mxml.part_lists[mxml.part_index];
  // A part dividing onto more staves after its first measures (a section playing divisi)
  // shows the new ones from here on, and hides those it asks for no longer until it asks again.
  const int stated = mxml.staves_stated ? mxml.staves_stated : before;
  mxml.staves_stated = std::min(wanted, got);
  for (int i = 0; i < got; ++i) {
    MxmlList& l = mxml.lists[size_t(first_list() + i)];
    const int bar = int(l.bars.size());
    if (bar == 0) continue;
    if (i >= before)
      l.hidden = {{0, true}, {bar, false}};
    else if (i >= wanted && i < stated)
      l.hidden.push_back({bar, true});
    else if (i < wanted && i >= stated)
      l.hidden.push_back({bar, false});
  }
  if (asked > got)
    mxml_notice(MxmlNotice::staves,
                "In %s the part asks for %d staves; Vesk gives it %d (a part has at most %d, and "
                "a piece at most %d staves in all), and the notes of the staves after the last "
                "go on the last.",
                mxml_where().c_str(), asked, got, MXML_MAX_STAVES, MAX_LISTS_FOR_STAVES);
}

// The lines of the staves the staff-details being read names (all of the part's when it names
// none).
void mxml_staff_lines(XmlElement& e) {
  if (!mxml_in_part()) return;
  const int lines = clamped_int(e, 0, 12, 5);
  for (int i = 0; i < mxml_part_list_count(); ++i)
    if (mxml.staff_details_number == 0 || mxml.staff_details_number == i + 1)
      mxml.lists[size_t(first_list() + i)].lines = lines;
}

// A staff the document hides (print-object "no") from this measure on, or shows again: every
// staff of the part, or the one its number names.
void mxml_staff_details(XmlElement& e) {
  if (xml_open_element_level(e, "attributes") < 0 || !mxml_in_part()) return;
  const int number = xml_attr_int(e, "number");
  mxml.staff_details_number = number == XML_NO_INT ? 0 : number;
  const char* shown = xml_attr(e, "print-object");
  if (!shown) return;
  const bool hidden = std::strcmp(shown, "no") == 0;
  for (int i = 0; i < mxml.part_lists[mxml.part_index]; ++i) {
    const int list = first_list() + i;
    if ((number != XML_NO_INT && number != i + 1) || !valid_list(list)) continue;
    MxmlList& l = mxml.lists[size_t(list)];
    l.hidden.push_back({int(l.bars.size()), hidden});
  }
}

// The size of a staff drawn smaller or larger than the others (a cue-sized piano reduction, an
// ossia), in percent of the document's staff size: the staves the staff-details name.
void mxml_staff_size(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "staff-details") != 0 || !mxml_in_part()) return;
  const double percent = xml_text_double(e);
  if (!(percent >= 1 && percent <= 1000)) return;
  constexpr double PIECE_STAFF_SIZE = 50;
  for (int i = 0; i < mxml_part_list_count(); ++i)
    if (mxml.staff_details_number == 0 || mxml.staff_details_number == i + 1)
      mxml.lists[size_t(first_list() + i)].staff_size =
          int(std::lround(PIECE_STAFF_SIZE * percent / 100));
}

namespace {

// The part sounds `semitones` from where it is written, by its key in force. A transposition
// that changes after the part's notes began (a flute taking up the piccolo) restates the key
// in force here, so that the notes before keep sounding as they did.
void set_part_transposition(int semitones) {
  mxml.transposition = std::clamp(semitones, -36, 36);
  for (int i = 0; i < mxml_part_list_count(); ++i) {
    const int list = first_list() + i;
    Drosa key = at_or_before(KEYSIG, mxml.lists[size_t(list)].insert);
    if (!key || key->get(key_transposition) == mxml.transposition) continue;
    Drosa here = find_or_make(list, KEYSIG);
    if (here != key) {
      here->xcontext = 1;
      here->set(xkey, key->get(xkey));
      fill_key(here, key, key->get(xkey));
    }
    here->set(key_transposition, int8_t(mxml.transposition));
  }
}

}  // namespace

void mxml_chromatic(XmlElement& e) {
  if (!mxml_in_part() || std::strcmp(mxml_parent(e), "transpose") != 0) return;
  set_part_transposition(clamped_int(e, -36, 36, 0));
}

// The octaves a transposition adds to its semitones (written after them): a double bass, a
// piccolo or a guitar sounds an octave from where it is written.
void mxml_transpose_octave_change(XmlElement& e) {
  if (!mxml_in_part() || std::strcmp(mxml_parent(e), "transpose") != 0) return;
  set_part_transposition(mxml.transposition + 12 * clamped_int(e, -3, 3, 0));
}
