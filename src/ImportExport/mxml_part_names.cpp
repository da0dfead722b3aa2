// mxml_part_names.cpp: the names a document's parts show before the systems, and the room it
// leaves for them.
//
// A `score-part` gives its full name (`part-name`) and its abbreviation (`part-abbreviation`),
// each drawn unless its `print-object` is "no"; a `part-name-display` or
// `part-abbreviation-display` gives the text to draw instead (its `display-text` pieces, lines
// kept, and `accidental-text` as "b", "#" or nothing). They are kept with the part's top
// voice once the voices are read, whatever the 15-character key the part's VINFO gets; a part
// whose name is neither drawn nor other than its key keeps none (the export writes the key).
//
// The room is the document's system margins (`system-layout/system-margins`): the first
// system's from the print of the first measure (or the defaults), the later systems' the one
// most of them have (the middle of the values the prints that begin them give, the defaults'
// where they give none), the last system's right one from the print that begins it. They are
// added to the page margins. Where a drawn name is wider than its room (it would come closer
// to the paper's edge than the least page margin), the margin is widened to hold it: the
// first system's for full names, every later system's for abbreviations (a piece of one
// part draws none).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xml_reader.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"

namespace {

constexpr int OPTIONS_LEFT_ODD = 22, OPTIONS_LEFT_EVEN = 88, OPTIONS_LEFT_FIRST = 26;
constexpr int OPTIONS_RIGHT_ODD = 30, OPTIONS_RIGHT_EVEN = 92, OPTIONS_RIGHT_LAST = 34;
// The least distance of a name from the paper's edge, in points of the paper: nothing the
// program places comes within a quarter inch of it.
constexpr double LEAST_MARGIN = 20;
constexpr int NORMAL_STAFF_SPACE = 50;
enum Side { LEFT, RIGHT };

PartName* open_name(bool abbreviation) {
  if (mxml.part_count < 1 || mxml.part_count > MXML_MAX_PARTS) return nullptr;
  PartNames& names = mxml.shown_names[mxml.part_count - 1];
  return abbreviation ? &names.abbreviation : &names.full;
}

// A name's text: blanks for tabs and other control characters, a return between lines, no
// blanks at its ends, at most the length kept.
std::string name_text(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' || c == '\r' ? '\r' : uint8_t(c) < 32 || c == 127 ? ' ' : c;
  const size_t first = out.find_first_not_of(" \r"), last = out.find_last_not_of(" \r");
  out = first == std::string::npos ? "" : out.substr(first, last - first + 1);
  return out.substr(0, PART_NAME_TEXT_MAX);
}

bool in_score_part(XmlElement& e) { return xml_open_element_level(e, "score-part") >= 0; }

// The middle of the values, -1 taking `otherwise`.
int32_t middle_value(std::vector<int32_t> values, int32_t otherwise) {
  if (values.empty()) return otherwise;
  for (int32_t& v : values)
    if (v < 0) v = otherwise;
  std::nth_element(values.begin(), values.begin() + long(values.size() / 2), values.end());
  return values[values.size() / 2];
}

int32_t given_or(int32_t value, int32_t otherwise) { return value >= 0 ? value : otherwise; }

// The staff space of a list's staff, from its first PRINT.
int list_staff_space(int list) {
  if (list < 0 || list >= voice_count) return NORMAL_STAFF_SPACE;
  Drosa print = find_next_kind(PRINT, piece_start[list]);
  const int size = print ? print->get(xstaffsize) : 0;
  return size > 0 && size <= 1000 ? size : NORMAL_STAFF_SPACE;
}

// The room the widest drawn name of each kind needs left of the staves, from the paper's edge.
int32_t room_for_names(bool abbreviation) {
  int32_t room = 0;
  if (mxml.part_count < 2) return 0;  // a solo piece shows no names
  for (int p = 0; p < mxml.part_count && p < MXML_MAX_PARTS; ++p) {
    const PartName& name =
        abbreviation ? mxml.shown_names[p].abbreviation : mxml.shown_names[p].full;
    if (!name.shown || name.text.empty()) continue;
    room = std::max(room, part_name_room(name.text, list_staff_space(mxml.part_first[p])));
  }
  return room > 0 ? room + mxml_paper_points(LEAST_MARGIN) : 0;
}

}  // namespace

void mxml_name_given(XmlElement& e, bool abbreviation) {
  if (!in_score_part(e) || xml_open_element_level(e, "print") >= 0) return;
  PartName* name = open_name(abbreviation);
  if (!name) return;
  name->text = name_text(mxml_text(e, PART_NAME_TEXT_MAX));
  name->shown = !mxml_attr_is(e, "print-object", "no");
}

void mxml_part_abbreviation(XmlElement& e) { mxml_name_given(e, true); }

void mxml_name_display(XmlElement& e) {
  mxml.name_display = 0;
  if (!in_score_part(e) || !open_name(false)) return;
  const char* name = xml_open_element_name(e, -1);
  mxml.name_display = std::strcmp(name, "part-abbreviation-display") == 0 ? 2 : 1;
  mxml.display_shown = !mxml_attr_is(e, "print-object", "no");
  mxml.display_text.clear();
}

void mxml_name_display_end() {
  if (!mxml.name_display) return;
  PartName* name = open_name(mxml.name_display == 2);
  mxml.name_display = 0;
  const std::string text = name_text(mxml.display_text);
  if (!name || text.empty()) return;
  name->text = text;
  name->shown = name->shown && mxml.display_shown;
}

void mxml_display_text(XmlElement& e) {
  if (mxml.name_display) mxml.display_text += mxml_text(e, PART_NAME_TEXT_MAX);
}

void mxml_accidental_text(XmlElement& e) {
  if (!mxml.name_display) return;
  const std::string sign = mxml_text(e, 32);
  mxml.display_text += sign == "flat" ? "b" : sign == "sharp" ? "#" : "";
}

void mxml_system_margin(XmlElement& e) {
  const Side side = std::strcmp(xml_open_element_name(e, -1), "right-margin") == 0 ? RIGHT : LEFT;
  const double v = xml_text_double(e);
  if (v == XML_NO_DOUBLE || !(v >= 0) || v > 1e5) return;
  const int32_t tenths = int32_t(v + 0.5);
  if (xml_open_element_level(e, "defaults") >= 0) {
    mxml.system_margins[side] = tenths;
    return;
  }
  if (xml_open_element_level(e, "print") < 0 || mxml.part_index != 0) return;
  std::vector<int32_t>& later = mxml.later_system_margins[side];
  if (mxml.measure_counter <= 1)
    mxml.first_system_margins[side] = tenths;
  else if (!later.empty())
    later.back() = tenths;
}

void mxml_print_begins_system(XmlElement& e) {
  if (mxml.part_index != 0 || mxml.measure_counter <= 1) return;
  if (!mxml_attr_is(e, "new-system", "yes") && !mxml_attr_is(e, "new-page", "yes")) return;
  for (std::vector<int32_t>& later : mxml.later_system_margins) later.push_back(-1);
}

void mxml_apply_system_margins() {
  const int context = std::max<int>(current_ncontext, 1);
  const int32_t most = std::max<int32_t>(options_i32(context, OPTIONS_PAGE_WIDTH) * 72 / 2, 0);
  // The staves keep at least half the paper's width, whatever the document says.
  auto set = [&](int offset, int32_t value) {
    set_options_i32(context, offset, std::clamp<int32_t>(value, 0, most));
  };
  const int32_t page_left[2] = {options_i32(context, OPTIONS_LEFT_ODD),
                                options_i32(context, OPTIONS_LEFT_EVEN)};
  const int32_t page_right[2] = {options_i32(context, OPTIONS_RIGHT_ODD),
                                 options_i32(context, OPTIONS_RIGHT_EVEN)};
  // Only the margins the document gives change: a document that gives none keeps the
  // program's.
  for (Side side : {LEFT, RIGHT}) {
    const int32_t every = mxml.system_margins[side];
    const std::vector<int32_t>& later = mxml.later_system_margins[side];
    const bool later_given =
        every >= 0 || std::any_of(later.begin(), later.end(), [](int32_t v) { return v >= 0; });
    const int32_t first = given_or(mxml.first_system_margins[side], every);
    const int32_t* page = side == LEFT ? page_left : page_right;
    if (later_given) {
      const int32_t margin = mxml_page_tenths(middle_value(later, std::max(every, 0)));
      set(side == LEFT ? OPTIONS_LEFT_ODD : OPTIONS_RIGHT_ODD, page[0] + margin);
      set(side == LEFT ? OPTIONS_LEFT_EVEN : OPTIONS_RIGHT_EVEN, page[1] + margin);
    }
    // The first system stands on an odd page; the last on either (the middle of the two).
    const int32_t own = side == RIGHT && !later.empty() ? given_or(later.back(), every) : first;
    const int32_t own_page = side == LEFT ? page[0] : (page[0] + page[1]) / 2;
    if (own >= 0)
      set(side == LEFT ? OPTIONS_LEFT_FIRST : OPTIONS_RIGHT_LAST, own_page + mxml_page_tenths(own));
  }
  if (const int32_t room = room_for_names(false); room > options_i32(context, OPTIONS_LEFT_FIRST))
    set(OPTIONS_LEFT_FIRST, room);
  const int32_t room = room_for_names(true);
  for (int offset : {OPTIONS_LEFT_ODD, OPTIONS_LEFT_EVEN})
    if (room > options_i32(context, offset)) set(offset, room);
}

void mxml_keep_names_by_part() {
  mxml.names_by_part.clear();
  for (int p = 0; p < mxml.part_count && p < MXML_MAX_PARTS; ++p) {
    const PartNames& names = mxml.shown_names[p];
    const int list = mxml.part_first[p];
    if (list < 0 || list >= voice_count) continue;
    // A name neither drawn nor other than the part's key needs no record: the key is written
    // back as it.
    const std::string key = voice_part_name(list);
    const bool kept = (names.full.shown && !names.full.text.empty()) ||
                      !names.abbreviation.text.empty() ||
                      (!names.full.text.empty() && names.full.text != key);
    if (kept) mxml.names_by_part.push_back({key, names});
  }
}

void mxml_set_part_names() {
  for (const auto& [part, names] : mxml.names_by_part) {
    for (int v = 0; v < voice_count; ++v) {
      if (voice_part_name(v) != part) continue;
      set_part_names(v, names);
      break;
    }
  }
}
