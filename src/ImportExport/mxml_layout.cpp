// mxml_layout.cpp: the page layout of an imported document: the page size and margins of
// `defaults`, applied once (at its end, or at the first part when it is missing), and the
// system and staff distances of `defaults` and `print`, which become parameter changes in every
// list they concern.
//
// MusicXML measures in tenths of a staff space, with `scaling` saying how many millimetres
// some number of tenths are. Page sizes become tenths of an inch; margins and distances
// tenths of a point.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xml_reader.h"
#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

std::string mxml_param_text(int pindex, int32_t value) {
  char text[48];
  std::snprintf(text, sizeof text, "param {%03d:%d,%d} ", pindex, 5, int(value));
  return std::string(text) + (param[pindex].description ? param[pindex].description : "");
}

namespace {

constexpr double POINTS_PER_INCH = 72.0;
constexpr double MM_PER_INCH = 25.4;
constexpr int32_t LETTER_WIDTH = 85, LETTER_HEIGHT = 110;  // tenths of an inch
constexpr int32_t LEAST_PAGE = 15, MOST_PAGE = 400;        // tenths of an inch
constexpr double NO_SIZE_FACTOR = 1.25;
constexpr double PROGRAM_STAFF_SPACE = 5;  // points: the space of staff size 50
// The smallest print scale a document's staff size may ask for: a staff space of one point.
constexpr int LEAST_PRINT_SCALE = 20;
constexpr int STAFF_HEIGHT_TENTHS = 40;  // four staff spaces
// A document measures a page's top to its first staff's top line; the program's top margin
// reaches its middle line, two staff spaces lower.
constexpr int TOP_LINE_TO_MIDDLE = STAFF_HEIGHT_TENTHS / 2;
constexpr int OPTIONS_LEFT[3] = {22, 88, 26}, OPTIONS_RIGHT[3] = {30, 92, 34};
constexpr int OPTIONS_TOP[2] = {50, 54}, OPTIONS_BOTTOM[2] = {58, 62};
// The least page margins, in points of the paper: nothing the program places comes within a
// quarter inch of the paper's edge (a document's margins of nothing put the group brackets off
// the paper and the notes at its edge, where no printer reaches). The left leaves the brackets
// and braces before the staves their room, the foot the page number's line below the music.
constexpr double LEAST_LEFT = 27, LEAST_RIGHT = 20, LEAST_TOP = 18, LEAST_FOOT = 40;
constexpr int PRINT_SCALE = 120, PRINT_SCALE_COPY = 50;  // page setup: scale percent, i32 and i16
constexpr int PRINT_LANDSCAPE = 124, PRINT_PAPER = 128;  // page setup: i32, 4 x i32 (points)
constexpr int64_t LEAST_PAPER = 72, MOST_PAPER = 2880;   // points
constexpr double POINTS_PER_TENTH_INCH = 7.2;
enum Margin { LEFT, RIGHT, TOP, BOTTOM };

double millimetres_per_tenth() {
  const double tenths = mxml.tenths > 0 ? mxml.tenths : 40;
  const double mm = mxml.millimeters > 0 ? mxml.millimeters : tenths * 5 / 28.346456692913385;
  return mm / tenths;
}

// Tenths of a staff space as tenths of a point of the laid-out page.
int32_t page_tenths(double tenths) {
  return int32_t(std::lround(tenths * millimetres_per_tenth() / MM_PER_INCH * POINTS_PER_INCH * 10 *
                             mxml.layout_scale));
}

int32_t positive_tenths(XmlElement& e) {
  const double v = xml_text_double(e);
  if (v == XML_NO_DOUBLE || !(v > 0) || v > 1e6) return 0;
  return int32_t(v + 0.5);
}

// A margin of the odd pages (side 0) or the even pages (side 1), the other side's where the
// document gives only that; -1 where it gives neither.
int32_t side_margin(Margin m, int side) {
  const bool own = mxml.margins_given[side] & (1 << m),
             other = mxml.margins_given[1 - side] & (1 << m);
  return own ? mxml.margins[side][m] : other ? mxml.margins[1 - side][m] : -1;
}

// The middle of the odd and the even pages' margin, where both are given.
int32_t margin(Margin m) {
  const int32_t odd = side_margin(m, 0), even = side_margin(m, 1);
  return odd < 0 ? -1 : (odd + even) / 2;
}

// The left and right margins of odd and even pages are the piece's own: the first system's
// left margin is that of the first page, an odd one; the last system's right margin, whose
// page may be either, and the top and bottom margins, which the piece keeps one for all pages,
// take the middle of the two.
// The piece's margins are those the document gives, or the context's, and at least the least
// margins.
void set_margins(int context) {
  const int32_t half_width = mxml.result_width * 72 / 2;
  for (Margin m : {LEFT, RIGHT}) {
    const int32_t side =
        std::min(mxml_paper_points(m == LEFT ? LEAST_LEFT : LEAST_RIGHT), half_width);
    const int32_t sides[3] = {side_margin(m, 0), side_margin(m, 1),
                              m == LEFT ? side_margin(m, 0) : margin(m)};
    for (int k = 0; k < 3; ++k) {
      const int offset = (m == LEFT ? OPTIONS_LEFT : OPTIONS_RIGHT)[k];
      const int32_t given = sides[k] >= 0 ? page_tenths(sides[k]) : options_i32(context, offset);
      set_options_i32(context, offset, std::max(given, side));
    }
  }
  const int32_t half_height = mxml.result_height * 72 / 2;
  const int32_t top = margin(TOP), bottom = margin(BOTTOM);
  const int32_t least_top =
      std::min(mxml_paper_points(LEAST_TOP) + page_tenths(TOP_LINE_TO_MIDDLE), half_height);
  const bool top_given = top >= 0 || mxml.top_system_distance >= 0;
  const int32_t t =
      page_tenths(std::max(top, 0) + std::max(mxml.top_system_distance, 0) + TOP_LINE_TO_MIDDLE);
  for (int offset : OPTIONS_TOP)
    set_options_i32(context, offset,
                    std::clamp(top_given ? t : options_i32(context, offset), least_top,
                               std::max(half_height, least_top)));
  const int32_t least_foot = std::min(mxml_paper_points(LEAST_FOOT), half_height);
  for (int offset : OPTIONS_BOTTOM)
    set_options_i32(context, offset,
                    std::clamp(bottom >= 0 ? page_tenths(bottom) : options_i32(context, offset),
                               least_foot, std::max(half_height, least_foot)));
}

// The paper of the context's page setup (points, upright, turned for landscape), in tenths of
// an inch; left as it is (Letter) when the page setup holds no paper a printer has.
void setup_paper(int context, double* width, double* height) {
  const uint8_t* setup = print_record[context];
  int32_t paper[4];
  for (int i = 0; i < 4; ++i) paper[i] = get_be32(setup + PRINT_PAPER + 4 * i);
  const int64_t across = int64_t(paper[3]) - paper[1], down = int64_t(paper[2]) - paper[0];
  if (across < LEAST_PAPER || down < LEAST_PAPER || across > MOST_PAPER || down > MOST_PAPER)
    return;
  const bool turned = get_be32(setup + PRINT_LANDSCAPE) != 0;
  *width = double(turned ? down : across) / POINTS_PER_TENTH_INCH;
  *height = double(turned ? across : down) / POINTS_PER_TENTH_INCH;
}

// ---- Parameter changes
// ---------------------------------------------------------------------------

// A distance between staves (bottom line to top line, in tenths) as the parameter's distance
// between their middle lines, in points.
int32_t distance_points(int32_t tenths) {
  return std::clamp<int32_t>(int32_t(std::lround((tenths + STAFF_HEIGHT_TENTHS) * 0.5)), 1, 32767);
}

// The first NOTE after a node, none past the list's end.
Drosa note_after(Drosa node) {
  for (Drosa p = node ? node->xnext : NIL; p; p = p->xnext)
    if (p->xkind == NOTE) return p;
  return NIL;
}

// Makes the parameter change before the note, or lets it wait in a direction group (of a
// staff, or of any when staff is -1) for the next note placed there.
void param_change(int pindex, int32_t value, Drosa note, int staff) {
  MxmlItem item;
  item.command = true;
  item.text = mxml_param_text(pindex, value);
  if (note) {
    make_text_anno(note, 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                   item.text.c_str(), nullptr);
    return;
  }
  MxmlGroup& g = mxml.slots[MXML_DIRECTION_SLOT].emplace_back();
  g.staff = staff;
  g.items.push_back(std::move(item));
}

// The distance between systems in one list: from the start of the system before the one the
// current measure begins (the distance lies below that system); before the list's first note,
// the distance every list starts with.
void list_system_distance(int list, int32_t value) {
  MxmlList& l = mxml.lists[size_t(list)];
  if (!l.last_note) {
    mxml.system_distance_points = value;
    return;
  }
  if (l.last_param[1] == value) return;
  l.last_param[1] = value;
  Drosa start = piece_start[list];
  int breaks = 0;
  for (Drosa p = l.insert; p; p = p->xback) {
    if (p->xkind == ENDSYST && ++breaks == 2) {
      start = p;
      break;
    }
  }
  if (Drosa note = note_after(start))
    make_text_anno(note, 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                   mxml_param_text(P_DEFAULT_VERTICAL_DISTANCE_BETWEEN_SYSTEMS, value).c_str(),
                   nullptr);
}

// The distance between systems, in every list of the part; kept by measure, for the parts
// after it whose prints do not give it.
void system_distance_change(int32_t tenths) {
  if (!mxml_in_part()) return;
  const int32_t value = distance_points(tenths);
  mxml.system_distances[mxml.measure_counter] = value;
  for (int i = 0; i < mxml_part_list_count(); ++i)
    list_system_distance(mxml.part_first[mxml.part_index] + i, value);
}

// The distance below the staff above the given staff of the part, from the current measure.
void staff_distance_change(int32_t tenths, int staff) {
  if (!mxml_in_part()) return;
  const int first = mxml.part_first[mxml.part_index];
  const int above = first + staff - 2;
  if (above < 0 || above >= voice_count) return;
  MxmlList& l = mxml.lists[size_t(above)];
  const int32_t value = distance_points(tenths);
  if (l.last_param[0] == value) return;
  l.last_param[0] = value;
  if (above >= first) {  // a staff of this part: its notes of this measure are still to come
    param_change(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, value, NIL, staff - 1);
    return;
  }
  const int bars = mxml.measure_counter - 1;
  Drosa from = bars <= 0                    ? piece_start[above]
               : bars <= int(l.bars.size()) ? l.bars[size_t(bars - 1)]
                                            : NIL;
  Drosa note = from ? note_after(from) : NIL;
  if (note)
    make_text_anno(
        note, 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
        mxml_param_text(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, value).c_str(),
        nullptr);
}

}  // namespace

void mxml_apply_layout() {
  if (mxml.defaults_applied) return;
  mxml.defaults_applied = true;
  const bool given = mxml.page_width > 0 || mxml.page_height > 0;
  const int context = std::max<int>(current_ncontext, 1);
  const double to_inch_tenths = millimetres_per_tenth() / 2.54;
  double paper_width = LETTER_WIDTH, paper_height = LETTER_HEIGHT;
  setup_paper(context, &paper_width, &paper_height);
  double width =
      mxml.page_width > 0 ? std::floor(mxml.page_width * to_inch_tenths + 0.99999) : paper_width;
  double height =
      mxml.page_height > 0 ? std::floor(mxml.page_height * to_inch_tenths + 0.99999) : paper_height;
  // A page without a size is laid out on the page setup's paper, enlarged by as much as its
  // print scale shrinks it: the music comes out smaller, on the whole paper (never past it).
  if (!given)
    width = std::floor(width * NO_SIZE_FACTOR), height = std::floor(height * NO_SIZE_FACTOR);
  // A page of the document's size is laid out larger, by as much as the document's staff
  // space is smaller than the program's, and printed at the scale that brings it back to the
  // paper: the staves come out the size the document asks for.
  int scale = int(std::lround(100 / NO_SIZE_FACTOR));
  mxml.layout_scale = 1;
  if (given) {
    const double space_points = millimetres_per_tenth() * 10 / MM_PER_INCH * POINTS_PER_INCH;
    scale = int(std::lround(space_points / PROGRAM_STAFF_SPACE * 100));
    const double larger = std::max(width, height);
    scale = std::max({scale, LEAST_PRINT_SCALE, int(std::ceil(larger * 100 / MOST_PAGE))});
    if (scale > 98) scale = 100;
    mxml.layout_scale = 100.0 / scale;
    width *= mxml.layout_scale, height *= mxml.layout_scale;
  }
  mxml.print_scale = scale;
  mxml.result_width = std::clamp<int32_t>(int32_t(std::lround(width)), LEAST_PAGE, MOST_PAGE);
  mxml.result_height = std::clamp<int32_t>(int32_t(std::lround(height)), LEAST_PAGE, MOST_PAGE);
  set_margins(context);
  uint8_t* setup = print_record[context];
  for (int i = 0; i < 4; ++i) setup[PRINT_SCALE + i] = uint8_t(uint32_t(scale) >> (24 - 8 * i));
  setup[PRINT_SCALE_COPY] = uint8_t(scale >> 8);
  setup[PRINT_SCALE_COPY + 1] = uint8_t(scale);
}

void mxml_defaults_end() { mxml_apply_layout(); }

int32_t mxml_page_tenths(double tenths) { return page_tenths(tenths); }

int32_t mxml_paper_points(double points) {
  return int32_t(std::lround(points * 10 * 100 / std::max(mxml.print_scale, 1)));
}

void mxml_millimeters(XmlElement& e) {
  const double v = xml_text_double(e);
  if (v != XML_NO_DOUBLE && v > 0 && v < 1e4) mxml.millimeters = v;
}

void mxml_tenths(XmlElement& e) {
  const double v = xml_text_double(e);
  if (v != XML_NO_DOUBLE && v > 0 && v < 1e6) mxml.tenths = v;
}

void mxml_page_width(XmlElement& e) {
  if (!mxml.defaults_applied) mxml.page_width = positive_tenths(e);
}

void mxml_page_height(XmlElement& e) {
  if (!mxml.defaults_applied) mxml.page_height = positive_tenths(e);
}

void mxml_page_margins(XmlElement& e) {
  mxml.margin_type = mxml_attr_is(e, "type", "odd") ? 1 : mxml_attr_is(e, "type", "even") ? 2 : 3;
}

void mxml_page_margins_end() { mxml.margin_type = 3; }

void mxml_margin(XmlElement& e) {
  if (xml_open_element_level(e, "system-margins") >= 0) {
    mxml_system_margin(e);
    return;
  }
  if (mxml.defaults_applied || xml_open_element_level(e, "page-margins") < 0) return;
  const char* name = xml_open_element_name(e, -1);
  const int m = std::strcmp(name, "left-margin") == 0    ? LEFT
                : std::strcmp(name, "right-margin") == 0 ? RIGHT
                : std::strcmp(name, "top-margin") == 0   ? TOP
                                                         : BOTTOM;
  const double v = xml_text_double(e);
  if (v == XML_NO_DOUBLE || v < 0 || v > 1e6) return;
  for (int side = 0; side < 2; ++side) {
    if (!(mxml.margin_type & (1 << side))) continue;
    mxml.margins[side][m] = int32_t(v + 0.5);
    mxml.margins_given[side] |= uint8_t(1 << m);
  }
}

void mxml_system_layout(XmlElement&) { mxml.slots[MXML_DIRECTION_SLOT].emplace_back(); }

void mxml_system_distance(XmlElement& e) {
  const int32_t t = positive_tenths(e);
  if (t > 0 && xml_open_element_level(e, "defaults") >= 0)
    mxml.system_distance_points = distance_points(t);
  if (t > 0 && xml_open_element_level(e, "print") >= 0) system_distance_change(t);
}

void mxml_print_system_distance() {
  if (!mxml_in_part()) return;
  const auto given = mxml.system_distances.find(mxml.measure_counter);
  if (given == mxml.system_distances.end()) return;
  for (int i = 0; i < mxml_part_list_count(); ++i)
    list_system_distance(mxml.part_first[mxml.part_index] + i, given->second);
}

void mxml_top_system_distance(XmlElement& e) {
  if (mxml.measure_counter <= 1) mxml.first_top_given = true;
  const int32_t t = positive_tenths(e);
  if (t <= 0) return;
  if (!mxml.defaults_applied) {
    mxml.top_system_distance = t;
    return;
  }
  // In the print of the first measure: the distance on the first page. In a later one: on
  // the page it begins; the other pages take the middle of those the document gives, since
  // the program's pages need not begin where the document's do.
  if (xml_open_element_level(e, "print") < 0) return;
  int32_t distance = t;
  int offset = OPTIONS_TOP[1];
  if (mxml.measure_counter != 1) {
    std::vector<int32_t>& later = mxml.later_top_distances;
    later.push_back(t);
    std::nth_element(later.begin(), later.begin() + long(later.size() / 2), later.end());
    distance = later[later.size() / 2];
    offset = OPTIONS_TOP[0];
  }
  const int context = std::max<int>(current_ncontext, 1);
  const int32_t half_height = mxml.result_height * 72 / 2;
  const int32_t top = std::max(margin(TOP), 0);
  const int32_t least_top =
      std::min(mxml_paper_points(LEAST_TOP) + page_tenths(TOP_LINE_TO_MIDDLE), half_height);
  set_options_i32(context, offset,
                  std::clamp(page_tenths(top + distance + TOP_LINE_TO_MIDDLE), least_top,
                             std::max(half_height, least_top)));
}

void mxml_first_system_below_credits(int32_t reach) {
  if (mxml.first_top_given || reach <= 0 || mxml.result_height <= 0) return;
  constexpr int32_t CREDIT_GAP = 30;  // tenths between the credits and the top line
  const int context = std::max<int>(current_ncontext, 1);
  const int32_t half_height = mxml.result_height * 72 / 2;
  const int32_t below = page_tenths(reach + CREDIT_GAP + TOP_LINE_TO_MIDDLE);
  const int32_t top = options_i32(context, OPTIONS_TOP[1]);
  if (below > top) set_options_i32(context, OPTIONS_TOP[1], std::min(below, half_height));
}

void mxml_staff_layout(XmlElement& e) {
  MxmlGroup& g = mxml.slots[MXML_DIRECTION_SLOT].emplace_back();
  int number = xml_attr_int(e, "number");
  g.staff = number == XML_NO_INT ? -1 : std::clamp(number, 1, MXML_MAX_STAVES);
}

void mxml_staff_distance(XmlElement& e) {
  const int32_t t = positive_tenths(e);
  if (t > 0 && xml_open_element_level(e, "defaults") >= 0) mxml.staff_distance = t;
  if (t <= 0 || xml_open_element_level(e, "print") < 0) return;
  int staff = 1;
  if (!mxml.slots[MXML_DIRECTION_SLOT].empty() && mxml.slots[MXML_DIRECTION_SLOT].back().staff > 0)
    staff = mxml.slots[MXML_DIRECTION_SLOT].back().staff;
  staff_distance_change(t, staff);
}

void mxml_default_distances(Drosa note, int list) {
  MxmlList& l = mxml.lists[size_t(list)];
  if (mxml.system_distance_points > 0 && l.last_param[1] < 0) {
    l.last_param[1] = mxml.system_distance_points;
    make_text_anno(
        note, 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
        mxml_param_text(P_DEFAULT_VERTICAL_DISTANCE_BETWEEN_SYSTEMS, l.last_param[1]).c_str(),
        nullptr);
  }
  if (mxml.staff_distance <= 0 || l.last_param[0] >= 0) return;
  l.last_param[0] = distance_points(mxml.staff_distance);
  make_text_anno(
      note, 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
      mxml_param_text(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, l.last_param[0])
          .c_str(),
      nullptr);
}
