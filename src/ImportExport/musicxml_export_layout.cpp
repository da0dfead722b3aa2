// musicxml_export_layout.cpp: the piece's page layout written as MusicXML: the paper, its
// margins and the staff size in `defaults`, the distances between staves and systems where
// a system begins.
//
// MusicXML measures in tenths of a staff space; `scaling` says how many millimetres of the
// paper 40 tenths (a staff's height) are. The program lays a page out at its own size and
// prints it at the page setup's scale: on the paper a staff space is the staff size's space
// times the scale, and the page its layout size times the scale. A reader that lays out at
// the program's staff size comes back to the layout's page: the paper's length divided by
// the scale.
//
// The reader of the written document (the program's import among them) takes the paper in
// whole tenths of an inch, rounded up, and margins and distances in whole tenths: the
// lengths are written so that these come back to the page's own, or where the paper cannot
// give the page's length at its scale, to the nearest longer page.
#include "ImportExport/musicxml_export_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr double MM_PER_INCH = 25.4, POINTS_PER_INCH = 72;
constexpr int STAFF_HEIGHT_TENTHS = 40;
// The context's top margins reach the first staff's middle line, two staff spaces below
// its top line, where a document's top system distance ends.
constexpr int TOP_LINE_TO_MIDDLE = STAFF_HEIGHT_TENTHS / 2;
constexpr int NORMAL_STAFF_SIZE = 50;  // layout units (tenths of a point) of a staff space
constexpr int PRINT_SCALE = 120;       // page setup: the printed scale, percent (i32)
constexpr int OPTIONS_LEFT_ODD = 22, OPTIONS_LEFT_EVEN = 88, OPTIONS_LEFT_FIRST = 26;
constexpr int OPTIONS_RIGHT_ODD = 30, OPTIONS_RIGHT_EVEN = 92, OPTIONS_RIGHT_LAST = 34;
constexpr int OPTIONS_TOP = 50, OPTIONS_TOP_FIRST_PAGE = 54, OPTIONS_BOTTOM = 58;
constexpr int OPTIONS_SYSTEM_SEPARATORS = 82;  // i16: systems are separated by symbols
constexpr int CLASS_LYRIC = 5;
enum { LEFT, RIGHT, TOP, BOTTOM };

int print_scale(int context) {
  const int scale = get_be32(print_record[context] + PRINT_SCALE);
  return scale >= 1 && scale <= 1000 ? scale : 100;
}

// Text of a length with the decimals a reader needs, and the length it reads back.
std::string decimal(double value, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// The tenths of a layout length (tenths of a point), whole.
long whole_tenths(double layout, int staff_size) { return std::lround(layout * 10 / staff_size); }

// The paper's length, in tenths of an inch, for a layout length of `layout` tenths of an
// inch printed at `scale`: the whole tenths a reader takes it as (rounding up) come back to
// the layout's length at that scale, else to the nearest longer.
long paper_tenths_of_inch(long layout, int scale) {
  if (scale == 100) return layout;
  long paper = std::max(1L, long(std::floor(double(layout) * scale / 100)));
  while (std::lround(double(paper) * (100.0 / scale)) < layout) ++paper;
  return paper;
}

// The parameter's value, an integer, that a PARAM node of the normal notes changes to; -1
// for any other node.
int32_t param_change(Drosa p, int pindex) {
  if (effective_kind(p) != PARAM || p->get(xparam_index) != pindex || p->get(xparam_small))
    return -1;
  return get_xparam_value(p).integer();
}

// The distances of one voice in one system: its staff there, and the distances below it and
// below the system read at its last note there (or at the system's end, without a note).
struct VoiceSystem {
  int staff = -1;
  int32_t staff_below = 0, system_below = 0;
  bool ends_page = false;  // the system is the last of its page
};

std::vector<VoiceSystem> voice_systems(int v, int system_parameter) {
  std::vector<VoiceSystem> systems;
  int32_t staff_below =
      param[P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT].value.integer();
  int32_t system_below = param[system_parameter].value.integer();
  VoiceSystem current;
  bool noted = false;
  for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == PRINT) current.staff = p->get(xsstaff);
    if (int32_t value = param_change(p, P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT);
        value >= 0)
      staff_below = value;
    if (int32_t value = param_change(p, system_parameter); value >= 0) system_below = value;
    if (kind == NOTE) {
      current.staff_below = staff_below, current.system_below = system_below;
      noted = true;
    }
    if (kind != ENDSYST) continue;
    if (!noted) current.staff_below = staff_below, current.system_below = system_below;
    current.ends_page = p->get(xendpage) != 0;
    systems.push_back(current);
    noted = false;
    if (p->get(xendpiece)) break;
  }
  return systems;
}

// A distance between middle lines in points as the distance from a staff's bottom line to
// the next staff's top line, in tenths.
long distance_tenths(int32_t points, int staff_size) {
  return whole_tenths(10.0 * points, staff_size) - STAFF_HEIGHT_TENTHS;
}

// Formats every page not formatted since the piece last changed, as printing formats it (which
// may cut a system too wide for its staves), and then the current page again: the systems and
// pages written are those printed.
void format_unformatted_pages() {
  if (voice_count < 1) return;
  bool formatted = false;
  count_pages();
  for (int32_t page = 1; page <= page_count; ++page) {
    if (!drawn_page_staves(page).empty()) continue;
    disable_format_interrupts();
    formatted = true;
    format_page(page, 0);
    enable_format_interrupts();
  }
  if (formatted) format_page(std::clamp<int32_t>(current_page, 1, page_count), 0);
}

// The distances of a page's systems made closer, in proportion, where the paper cannot hold
// them as they are: from the top margin and the top system distance down, the last staff's
// middle line stands above the bottom margin. A reader that places the staves at the
// distances written (another program, which does not move staves closer) then keeps them on
// the paper, and a page that holds them is written as it is, so that the distances read
// back are written again as they were. Distances are whole points: even tenths.
void fit_pages_on_paper(ExportLayout& layout, const std::vector<std::vector<VoiceSystem>>& voices,
                        const std::vector<int>& staves, const std::vector<bool>& ends_page) {
  // One distance between staves of a page: where it is kept (the last voice on the staff
  // above, which the layout reads, or the system's distance below it), and the distances
  // below the other voices on that staff, which go with it.
  struct Between {
    long* distance;
    std::vector<long*> alike;
  };
  const size_t systems = staves.size();
  for (size_t first = 0, page = 1; first < systems; ++page) {
    size_t last = first;
    while (last + 1 < systems && !ends_page[last]) ++last;
    std::vector<Between> between;
    long staff_count = 0;
    for (size_t s = first; s <= last; ++s) {
      staff_count += staves[s];
      for (int n = 0; n + 1 < staves[s]; ++n) {
        Between b{nullptr, {}};
        for (size_t v = 0; v < voices.size(); ++v) {
          if (s >= voices[v].size() || voices[v][s].staff != n) continue;
          if (b.distance) b.alike.push_back(b.distance);
          b.distance = &layout.staff_below[s][v];
        }
        if (b.distance) between.push_back(std::move(b));
      }
      if (s < last) between.push_back({&layout.system_below[s], {}});
    }
    const int side = page % 2 ? 0 : 1;
    const long top = page == 1 ? layout.first_top_system_distance : layout.top_system_distance;
    // The room for the distances from the first staff's middle line to the bottom margin,
    // beyond the staves' own heights; staves drawn into each other give theirs to it.
    long room = layout.page_height - layout.margins[side][TOP] - layout.margins[side][BOTTOM] -
                top - STAFF_HEIGHT_TENTHS / 2 - STAFF_HEIGHT_TENTHS * std::max(0L, staff_count - 1);
    long wide = 0;
    for (const Between& b : between) {
      if (*b.distance > 0)
        wide += *b.distance;
      else
        room -= *b.distance;
    }
    if (wide > room && wide > 0) {
      room = std::max(0L, room);
      for (const Between& b : between) {
        if (*b.distance <= 0) continue;
        const long closer = 2 * (*b.distance * room / wide / 2);
        for (long* same : b.alike)
          if (*same == *b.distance) *same = closer;
        *b.distance = closer;
      }
    }
    first = last + 1;
  }
}

void set_distances(ExportLayout& layout, int staff_size, int context) {
  const int system_parameter = options_i16(context, OPTIONS_SYSTEM_SEPARATORS)
                                   ? P_DISTANCE_BETWEEN_SYSTEMS_WITH_SEPARATOR_SYMBOLS
                                   : P_DEFAULT_VERTICAL_DISTANCE_BETWEEN_SYSTEMS;
  format_unformatted_pages();
  std::vector<std::vector<VoiceSystem>> voices;
  size_t systems = 0;
  for (int v = 0; v < voice_count; ++v) {
    voices.push_back(voice_systems(v, system_parameter));
    systems = std::max(systems, voices.back().size());
  }
  std::vector<int> staves(systems, 0);
  std::vector<bool> ends_page(systems, false);
  for (const auto& voice : voices)
    for (size_t s = 0; s < voice.size(); ++s) {
      staves[s] = std::max(staves[s], voice[s].staff + 1);
      if (voice[s].ends_page) ends_page[s] = true;
    }
  const long staff_default = distance_tenths(
      param[P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT].value.integer(), staff_size);
  long system_default = distance_tenths(param[system_parameter].value.integer(), staff_size);
  // As the layout reads them: the voice on the last staff shown says the distance below the
  // system (the last voice there, when several are).
  for (size_t s = 0; s < systems; ++s) {
    std::vector<long> below(voices.size(), staff_default);
    long between = system_default;
    for (size_t v = 0; v < voices.size(); ++v) {
      const std::vector<VoiceSystem>& voice = voices[v];
      if (s >= voice.size()) continue;
      below[v] = distance_tenths(voice[s].staff_below, staff_size);
      if (voice[s].staff >= 0 && voice[s].staff == staves[s] - 1)
        between = distance_tenths(voice[s].system_below, staff_size);
    }
    layout.staff_below.push_back(std::move(below));
    layout.system_below.push_back(between);
    layout.several_staves |= staves[s] > 1;
    system_default = between;
  }
  fit_pages_on_paper(layout, voices, staves, ends_page);
}

// The size most of the shown lyrics have; 0 without lyrics.
int lyric_size() {
  std::map<int, long> sizes;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (effective_kind(p) == TPARAM && is_anno_head(p) && p->get(xclassify) == CLASS_LYRIC &&
          !p->get(xhidden) && p->get(xtextsize) > 0)
        ++sizes[p->get(xtextsize)];
  const auto most = std::max_element(
      sizes.begin(), sizes.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
  return most == sizes.end() ? 0 : most->first;
}

void text(XmlWriter& w, const char* name, const std::string& value) {
  xml_start_element(w, name);
  xml_add_text(w, value.c_str());
  xml_end_element(w);
}

void number(XmlWriter& w, const char* name, long value) { text(w, name, std::to_string(value)); }

void system_margins(XmlWriter& w, long left, long right) {
  xml_start_element(w, "system-margins");
  number(w, "left-margin", left);
  number(w, "right-margin", right);
  xml_end_element(w);
}

void staff_layout(XmlWriter& w, int number_in_part, long distance) {
  xml_start_element(w, "staff-layout");
  if (number_in_part > 0) xml_add_attribute(w, "number", std::to_string(number_in_part).c_str());
  number(w, "staff-distance", distance);
  xml_end_element(w);
}

}  // namespace

ExportLayout export_layout() {
  ExportLayout layout;
  const int context = std::max<int>(current_ncontext, 1);
  // Tenths of the program's staff space, which the reader of the document lays its staves
  // out at: a staff of another size says so in percent of it (one of every staff of a piece
  // of small staves), and the pages come back at the scale they have.
  const int size = NORMAL_STAFF_SIZE;
  layout.staff_size = size;
  const int scale = print_scale(context);
  // 40 tenths on the paper, and the millimetres of a tenth as the reader takes them from
  // the text written.
  const double space_points = size / 10.0 * scale / 100;
  layout.millimeters = std::strtod(
      decimal(STAFF_HEIGHT_TENTHS * space_points / 10 / POINTS_PER_INCH * MM_PER_INCH, 6).c_str(),
      nullptr);
  const double mm_per_tenth = layout.millimeters / STAFF_HEIGHT_TENTHS;
  // The whole tenths of the paper's length or just short of it: a reader rounding up to
  // whole tenths of an inch comes to the paper's.
  auto page_length = [&](int offset) {
    const long paper = paper_tenths_of_inch(options_i32(context, offset), scale);
    return long(std::floor(double(paper) / 10 * MM_PER_INCH / mm_per_tenth + 1e-6));
  };
  layout.page_width = page_length(OPTIONS_PAGE_WIDTH);
  layout.page_height = page_length(OPTIONS_PAGE_HEIGHT);
  auto option = [&](int offset, int pindex) {
    return double(options_i32(context, offset)) + param_length(pindex, NIL, nullptr);
  };
  const int lefts[2] = {OPTIONS_LEFT_ODD, OPTIONS_LEFT_EVEN};
  const int rights[2] = {OPTIONS_RIGHT_ODD, OPTIONS_RIGHT_EVEN};
  const long bottom = whole_tenths(option(OPTIONS_BOTTOM, P_MARGIN_WIDTH_AT_BOTTOM_OF_PAGE), size);
  // The top margin as much as the bottom one, where the first staff stands lower.
  const long top =
      whole_tenths(option(OPTIONS_TOP, P_MARGIN_WIDTH_AT_TOP_OF_PAGE), size) - TOP_LINE_TO_MIDDLE;
  const long first_top =
      whole_tenths(option(OPTIONS_TOP_FIRST_PAGE, P_MARGIN_WIDTH_AT_TOP_OF_PAGE), size) -
      TOP_LINE_TO_MIDDLE;
  const long top_margin = std::max(0L, std::min({bottom, top - 1, first_top - 1}));
  layout.top_system_distance = top - top_margin;
  layout.first_top_system_distance = first_top - top_margin;
  for (int side = 0; side < 2; ++side) {
    layout.margins[side][LEFT] =
        whole_tenths(option(lefts[side], P_MARGIN_WIDTH_ON_LEFT_OF_PAGE), size);
    layout.margins[side][RIGHT] =
        whole_tenths(option(rights[side], P_MARGIN_WIDTH_ON_RIGHT_OF_PAGE), size);
    layout.margins[side][TOP] = top_margin;
    layout.margins[side][BOTTOM] = bottom;
  }
  layout.first_system_indent =
      whole_tenths(option(OPTIONS_LEFT_FIRST, P_MARGIN_WIDTH_ON_LEFT_OF_PAGE), size) -
      layout.margins[0][LEFT];
  layout.last_system_indent =
      whole_tenths(option(OPTIONS_RIGHT_LAST, P_MARGIN_WIDTH_ON_RIGHT_OF_PAGE), size) -
      layout.margins[0][RIGHT];
  set_distances(layout, size, context);
  layout.lyric_size = lyric_size();
  return layout;
}

void write_layout_defaults(XmlWriter& w, const ExportLayout& layout) {
  xml_start_element(w, "defaults");
  xml_start_element(w, "scaling");
  text(w, "millimeters", decimal(layout.millimeters, 6));
  number(w, "tenths", STAFF_HEIGHT_TENTHS);
  xml_end_element(w);
  xml_start_element(w, "page-layout");
  number(w, "page-height", layout.page_height);
  number(w, "page-width", layout.page_width);
  const bool same = std::equal(layout.margins[0], layout.margins[0] + 4, layout.margins[1]);
  for (int side = same ? 0 : 1; side >= 0; --side) {
    xml_start_element(w, "page-margins");
    xml_add_attribute(w, "type", same ? "both" : side ? "even" : "odd");
    static const char* const names[4] = {"left-margin", "right-margin", "top-margin",
                                         "bottom-margin"};
    for (int m = 0; m < 4; ++m) number(w, names[m], layout.margins[side][m]);
    xml_end_element(w);
  }
  xml_end_element(w);
  const PrintedDistances first = printed_distances_of_defaults(layout);
  xml_start_element(w, "system-layout");
  system_margins(w, 0, 0);
  number(w, "system-distance", first.system);
  number(w, "top-system-distance", layout.top_system_distance);
  xml_end_element(w);
  if (layout.several_staves) staff_layout(w, 0, first.staff_default);
  if (layout.lyric_size > 0) {
    xml_start_element(w, "lyric-font");
    xml_add_attribute(w, "font-size", std::to_string(layout.lyric_size).c_str());
    xml_end_element(w);
  }
  xml_end_element(w);
}

PrintedDistances printed_distances_of_defaults(const ExportLayout& layout) {
  PrintedDistances printed;
  printed.system = layout.system_below.empty() ? 0 : layout.system_below.front();
  // The distance below most staves of the piece, pages drawn closer among them: a reader that
  // takes the defaults' distance for every staff (and not those of the prints) still fits the
  // pages the piece draws closer on the paper.
  std::map<long, long> staves;
  for (const std::vector<long>& system : layout.staff_below)
    for (long below : system) ++staves[below];
  const auto most =
      std::max_element(staves.begin(), staves.end(),
                       [](const auto& a, const auto& b) { return a.second < b.second; });
  printed.staff_default = most == staves.end() ? 0 : most->first;
  return printed;
}

void write_layout_print(XmlWriter& w, const ExportLayout& layout, PrintedDistances& printed,
                        size_t system, bool new_page, bool first_part,
                        const std::vector<StaffAbove>& staves) {
  const bool last = system + 1 >= layout.system_below.size();
  const long indent_left = system == 0 ? layout.first_system_indent : 0;
  const long indent_right = last ? layout.last_system_indent : 0;
  const bool margins = first_part && (indent_left != 0 || indent_right != 0);
  const bool top =
      first_part && system == 0 && layout.first_top_system_distance != layout.top_system_distance;
  long between = printed.system;
  if (system > 0 && system <= layout.system_below.size()) between = layout.system_below[system - 1];
  const bool distance = first_part && between != printed.system;
  std::vector<std::pair<int, long>> staff_distances;  // number in the part, distance
  if (system < layout.staff_below.size()) {
    const std::vector<long>& below = layout.staff_below[system];
    for (size_t k = 0; k < staves.size(); ++k) {
      const StaffAbove& staff = staves[k];
      if (staff.voice_above < 0 || size_t(staff.voice_above) >= below.size()) continue;
      if (printed.staff.size() <= size_t(staff.staff))
        printed.staff.resize(size_t(staff.staff) + 1, printed.staff_default);
      long& said = printed.staff[size_t(staff.staff)];
      if (below[size_t(staff.voice_above)] == said) continue;
      said = below[size_t(staff.voice_above)];
      staff_distances.push_back({int(k) + 1, said});
    }
  }
  if (system == 0 && !margins && !top && staff_distances.empty()) return;
  xml_start_element(w, "print");
  if (system > 0) xml_add_attribute(w, "new-system", "yes");
  if (system > 0 && new_page) xml_add_attribute(w, "new-page", "yes");
  if (margins || top || distance) {
    xml_start_element(w, "system-layout");
    if (margins) system_margins(w, indent_left, indent_right);
    if (distance) number(w, "system-distance", between);
    if (top) number(w, "top-system-distance", layout.first_top_system_distance);
    xml_end_element(w);
    printed.system = between;
  }
  for (auto [k, d] : staff_distances) staff_layout(w, k, d);
  xml_end_element(w);
}
