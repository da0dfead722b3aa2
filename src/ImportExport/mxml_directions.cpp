// mxml_directions.cpp: the text items of an imported document: titles, composer and rights,
// credits, words, dynamics, tempo and metronome marks, rehearsal and pedal marks, wedges,
// the marks of `notations`, and lyrics. The handlers collect items while the elements stream
// past; the items wait in the title records and the pending slots until the note they belong
// to is placed (mxml_annotations.cpp makes them into annotations there).
//
// Positions are in units of the reference staff: a tenth of a staff space is 5 units, and
// y counts upward from the staff's middle line (100 units below its top line).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xml_reader.h"
#include "ImportExport/xmlt_fields.h"
#include "app/app_services.h"
#include "params/param_services.h"

namespace {

// The default style of each kind of item.
struct ItemStyle {
  int16_t kind;
  int32_t x, y;
  uint16_t reference;
  int16_t font, size;
  uint16_t face_and_flags;
};

enum StyleIndex {
  STYLE_MOVEMENT_TITLE,
  STYLE_WORK_TITLE,
  STYLE_COMPOSER,
  STYLE_POET,
  STYLE_RIGHTS,
  STYLE_LYRIC,
  STYLE_WORDS_ABOVE,
  STYLE_WORDS_BELOW,
  STYLE_TEMPO_ABOVE,
  STYLE_TEMPO_BELOW,
  STYLE_REHEARSAL_ABOVE,
  STYLE_REHEARSAL_BELOW,
  STYLE_PRESS_ABOVE,
  STYLE_PRESS_BELOW,
  STYLE_RELEASE_ABOVE,
  STYLE_RELEASE_BELOW,
  STYLE_DYNAMICS_ABOVE,
  STYLE_DYNAMICS_BELOW,
};

constexpr ItemStyle styles[] = {
    {2, 0, -320, 0x42F1, -5, 28, 0},    {24, 0, -460, 0x42F1, -5, 14, 0},
    {3, 20, -580, 0x62FA, -5, 11, 0},   {23, 200, -580, 0x22F8, -5, 11, 0},
    {18, 0, 160, 0x42F9, -5, 10, 0},    {5, 0, -360, 0x15F1, -5, 12, 1},
    {1, -50, 240, 0x0500, -5, 12, 0},   {1, -50, -360, 0x0500, -5, 12, 0},
    {-6, -100, 240, 0x0500, -5, 12, 8}, {-6, -100, -360, 0x0500, -5, 12, 8},
    {-4, -100, 240, 0x1508, -5, 12, 2}, {-4, -100, -360, 0x15F8, -5, 12, 2},
    {-9, 0, 240, 0x1500, -1, 12, 8},    {-9, 0, -260, 0x1500, -1, 12, 8},
    {-9, -80, 240, 0x1500, -1, 12, 8},  {-9, -80, -260, 0x1500, -1, 12, 8},
    {-7, -50, 240, 0x1500, -5, 13, 8},  {-7, -50, -240, 0x1500, -5, 13, 8},
};

constexpr int UNITS_PER_TENTH = 5;
constexpr int VERTICAL_ORIGIN = 100;
constexpr int TITLE_RECORD_OF_STYLE[5] = {0, 1, 2, 3, 4};

MxmlItem item_of_style(int s) {
  const ItemStyle& st = styles[s];
  MxmlItem item;
  item.kind = st.kind;
  item.x = st.x;
  item.y = st.y;
  item.reference = st.reference;
  item.font = st.font;
  item.size = st.size;
  item.face = uint8_t(st.face_and_flags >> 8);
  item.flags = uint8_t(st.face_and_flags & 0xFF);
  return item;
}

// The placement of a direction: 1 above, -1 below, 0 none.
int placement_of(XmlElement& e) {
  if (mxml_attr_is(e, "placement", "above")) return 1;
  if (mxml_attr_is(e, "placement", "below")) return -1;
  return 0;
}

// The open group of a slot (a new one when it has none).
MxmlGroup& open_group(int slot) {
  if (mxml.slots[slot].empty()) mxml.slots[slot].emplace_back();
  return mxml.slots[slot].back();
}

// A new item of a style in the slot's open group, positioned and formatted.
MxmlItem* direction_item(XmlElement& e, int style, int slot = MXML_DIRECTION_SLOT) {
  MxmlGroup& g = open_group(slot);
  const int line = int(g.items.size());
  g.items.push_back(item_of_style(style));
  MxmlItem* item = &g.items.back();
  mxml_item_position(e, item, line);
  mxml_text_format(e, item, nullptr);
  return item;
}

// The style above or below, by the element's placement or else its direction's.
int by_placement(XmlElement& e, int above, int below) {
  int p = placement_of(e);
  if (p == 0 && !mxml.slots[MXML_DIRECTION_SLOT].empty())
    p = mxml.slots[MXML_DIRECTION_SLOT].back().placement;
  return p < 0 ? below : above;
}

// Font sizes named by keywords, in byte-wise order.
constexpr XmlNamedValue size_keywords[] = {
    {"large", 18},   {"larger", 14}, {"medium", 12},   {"small", 10},   {"smaller", 11},
    {"x-large", 24}, {"x-small", 9}, {"xx-large", 32}, {"xx-small", 8},
};

// Rounded to the nearest unit, below the origin as above it.
int32_t units(double tenths) { return int32_t(std::lround(tenths * UNITS_PER_TENTH)); }

}  // namespace

// ---- Style and position
// ---------------------------------------------------------------------------

namespace {

// The colour index nearest a colour the document gives as "#RRGGBB" (or "#AARRGGBB"): of the
// colours table, 0 for black and for a colour it cannot read.
int8_t nearest_color_index(const char* text) {
  const size_t length = text ? std::strlen(text) : 0;
  if ((length != 7 && length != 9) || text[0] != '#') return 0;
  char* end = nullptr;
  const unsigned long rgb = std::strtoul(text + length - 6, &end, 16) & 0xFFFFFF;
  if (end != text + length) return 0;
  const long red = long(rgb >> 16) * 257, green = long((rgb >> 8) & 255) * 257,
             blue = long(rgb & 255) * 257;
  int8_t best = 0;
  double best_distance = double(red) * red + double(green) * green + double(blue) * blue;
  for (int i = 1; i <= 15; ++i) {  // the table's colours
    const RgbColour c = prefs.colour(i);
    const double dr = double(red - c.red), dg = double(green - c.green), db = double(blue - c.blue);
    const double distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) best = int8_t(i), best_distance = distance;
  }
  return best;
}

}  // namespace

void mxml_text_format(XmlElement& e, MxmlItem* item, const MxmlItem* base) {
  if (base) {
    item->font = base->font;
    item->size = base->size;
    item->face = base->face;
    item->color = base->color;
    item->reference = uint16_t((item->reference & ~7) | (base->reference & 7));
  }
  if (const char* size = xml_attr(e, "font-size")) {
    char* end = nullptr;
    const double n = std::strtod(size, &end);
    if (end != size && n > 0 && n < 1000) {
      item->size =
          std::strchr(size, '%') ? int16_t((int(n) * item->size + 50) / 100) : int16_t(n + 0.5);
      item->size = std::clamp<int16_t>(item->size, 1, 127);
      item->points = std::strchr(size, '%') ? 0 : n;
      item->size_given = true;
    } else {
      const int32_t found = lookup_sorted_record(size, size_keywords, 9);
      if (found != XML_NOT_FOUND) {
        item->size = int16_t(size_keywords[found].value);
        item->size_given = true;
      }
    }
  }
  if (const char* justify = xml_attr(e, "justify")) {
    int j = -1;
    if (std::strcmp(justify, "left") == 0) j = 0;
    if (std::strcmp(justify, "right") == 0) j = 2;
    if (std::strcmp(justify, "center") == 0 || std::strcmp(justify, "centre") == 0) j = 3;
    if (j >= 0) {
      item->reference = uint16_t((item->reference & ~7) | j);
      item->justify_given = true;
    }
  }
  if (mxml_attr_is(e, "font-style", "normal")) item->face &= ~2, item->face_given = true;
  if (mxml_attr_is(e, "font-style", "italic")) item->face |= 2, item->face_given = true;
  if (mxml_attr_is(e, "font-weight", "normal")) item->face &= ~1, item->face_given = true;
  if (mxml_attr_is(e, "font-weight", "bold")) item->face |= 1, item->face_given = true;
  if (const char* color = xml_attr(e, "color")) item->color = nearest_color_index(color);
}

int mxml_item_position(XmlElement& e, MxmlItem* item, int line) {
  auto read = [&](const char* name, int bit, int32_t* to, int32_t origin) {
    const double d = xml_attr_double(e, name);
    if (d == XML_NO_DOUBLE || !std::isfinite(d) || std::fabs(d) > 1e6) return;
    *to = origin + units(d);
    item->given |= uint8_t(bit);
  };
  read("default-x", 1, &item->x, 0);
  read("default-y", 2, &item->y, VERTICAL_ORIGIN);
  read("relative-x", 4, &item->dx, 0);
  read("relative-y", 8, &item->dy, 0);
  if (!item->given && line > 0) item->y += (item->y < 0 ? -10 : 10) * item->size * line;
  return item->given;
}

// ---- Slots
// -----------------------------------------------------------------------------------------

void mxml_reset_slot(int slot) {
  for (MxmlGroup& g : mxml.slots[slot]) {
    for (MxmlItem& item : g.items) {
      if (&item == mxml.item) mxml.item = nullptr;
      if (&item == mxml.direction_dynamics) mxml.direction_dynamics = nullptr;
      if (&item == mxml.notations_dynamics) mxml.notations_dynamics = nullptr;
      if (&item == mxml.metronome) mxml.metronome = nullptr;
    }
  }
  mxml.slots[slot].clear();
}

void mxml_reset_title(int record) {
  for (MxmlItem& item : mxml.titles[record].items)
    if (&item == mxml.item) mxml.item = nullptr;
  mxml.titles[record].items.clear();
}

void mxml_reset_titles(int from) {
  for (int r = std::max(from, 0); r < MXML_TITLE_RECORDS; ++r) mxml_reset_title(r);
}

// ---- Titles and credits
// ------------------------------------------------------------------------------

namespace {

// An identification text goes into its title record when the record is still empty.
void title_item(XmlElement& e, int record) {
  MxmlTitle& t = mxml.titles[record];
  if (!t.items.empty()) return;
  t.items.push_back(item_of_style(TITLE_RECORD_OF_STYLE[record]));
  MxmlItem& item = t.items.back();
  item.number = xml_attr_int(e, "number");
  mxml_item_position(e, &item, 0);
  item.text = mxml_text(e);
  // A work title that says what the movement title says is shown once, as the movement's.
  const std::deque<MxmlItem>& work = mxml.titles[1].items;
  const std::deque<MxmlItem>& movement = mxml.titles[0].items;
  if (record < 2 && !work.empty() && !movement.empty() && work[0].text == movement[0].text)
    mxml_reset_title(1);
}

// The page's height or width in tenths.
int32_t page_tenths(bool height) {
  const int32_t tenths = height ? mxml.page_height : mxml.page_width;
  return tenths > 0 ? tenths : (height ? 1683 : 1190);
}

// What a credit's place on the page makes of it: a title, the rights, the composer or the
// poet; -1 to drop it. Places are compared in tenths: y (from the page bottom, or from its top
// when negative) within 700 of the top for a title, within 700 of the bottom for the rights,
// within 800 of the top for the composer (right of a quarter of the page) or the poet.
int credit_style(const MxmlItem& item, int32_t y) {
  const int32_t height = page_tenths(true), width = page_tenths(false);
  const int32_t t = y < 0 ? y / UNITS_PER_TENTH : (y - VERTICAL_ORIGIN) / UNITS_PER_TENTH;
  const int32_t from_top = t < 0 ? -t : height - t;
  const int just = item.reference & 7;
  if (just == 1 || just == 3 || item.size >= 24) {
    if (from_top <= 700) return item.size < 20 ? STYLE_WORK_TITLE : STYLE_MOVEMENT_TITLE;
    if (t >= 0 && t <= 700) return STYLE_RIGHTS;
    return -1;
  }
  if (t >= 0 && t < 701) return STYLE_RIGHTS;
  if (from_top <= 800) return item.x / UNITS_PER_TENTH >= width / 4 ? STYLE_COMPOSER : STYLE_POET;
  return -1;
}

// A credit's horizontal alignment by its halign: 0 left, 2 right, 3 centre; -1 when not given.
int credit_alignment(XmlElement& e) {
  if (mxml_attr_is(e, "halign", "left")) return 0;
  if (mxml_attr_is(e, "halign", "right")) return 2;
  if (mxml_attr_is(e, "halign", "center") || mxml_attr_is(e, "halign", "centre")) return 3;
  return -1;
}

// A height on the page as a credit keeps it (from the page's bottom, or from its top when
// negative) as units from the page's bottom.
int32_t page_y(int32_t y) { return y >= 0 ? y : page_tenths(true) * UNITS_PER_TENTH + y; }

// The height of a credit's first baseline on the page, in units from the page's bottom.
int32_t credit_y(const MxmlItem& item) {
  return page_y(item.y + item.dy - ((item.given & 2) ? VERTICAL_ORIGIN : 0));
}

// Where a credit's words stand on the page, in units from its bottom left corner, as far as
// can be told without the fonts: each line as high as the font's size, a fifth of it below
// the baseline, each character half as wide; later lines go down.
struct CreditBox {
  int32_t left = 0, bottom = 0, right = 0, top = 0;
};

// The size of a credit's words on the page laid out, in units: a credit has the size the
// document gives it on the paper, a title of the identification its kind's size on the page.
int32_t credit_units(const MxmlItem& item) {
  if (!item.credit) return 10 * item.size;
  return 10 * mxml_credit_points(item.points > 0 ? item.points : item.size);
}

CreditBox credit_box(const MxmlItem& item) {
  const int32_t size = credit_units(item);
  int32_t lines = 1, longest = 0, run = 0;
  for (char c : item.text) {
    if (c != '\r' && c != '\n') {
      longest = std::max(longest, ++run);
      continue;
    }
    if (run > 0 || lines > 1) ++lines;
    run = 0;
  }
  if (run == 0 && lines > 1) --lines;  // a break that ends the words begins no line
  int32_t x = item.x + item.dx;
  if (!(item.given & 1)) {
    const int h = (item.reference >> 12) & 0xF;
    const int32_t width = page_tenths(false) * UNITS_PER_TENTH;
    if (h == 4)
      x += width / 2;
    else if (h == 6)
      x += width - mxml.margins[0][1] * UNITS_PER_TENTH;
    else
      x += mxml.margins[0][0] * UNITS_PER_TENTH;
  }
  const int32_t width = longest * size / 2, just = item.reference & 3;
  const int32_t left = just == 2 ? x - width : just == 0 ? x : x - width / 2;
  const int32_t y = credit_y(item);
  return {left, y - size / 5 - (lines - 1) * size * 6 / 5, left + width, y + size * 4 / 5};
}

// Breaks the lines of a credit that runs off the paper (a long notice of rights written as one
// line) at blanks into lines that fit between the margins, from where its justification holds
// it; a credit in the page's lower half rises by the lines added, keeping its last line where
// its one line stood. A credit on the paper stays as the document writes it, but for one
// that its kind places in the page's lower half (a notice of rights): its lines rise above
// that place, as the lines added do.
void wrap_to_the_paper(MxmlItem& item) {
  const int32_t size = credit_units(item), paper = page_tenths(false) * UNITS_PER_TENTH;
  const CreditBox box = credit_box(item);
  const bool lower = item.y >= 0 && credit_y(item) < page_tenths(true) * UNITS_PER_TENTH / 2;
  if (!(item.given & 2) && lower)
    item.y += int32_t(std::count(item.text.begin(), item.text.end(), '\n')) * size * 6 / 5;
  if (size <= 0 || (box.left >= 0 && box.right <= paper)) return;
  const int32_t left = std::max(mxml.margins[0][0], 0) * UNITS_PER_TENTH;
  const int32_t right = paper - std::max(mxml.margins[0][1], 0) * UNITS_PER_TENTH;
  const int just = item.reference & 3;
  const int32_t room = just == 0   ? right - std::max(box.left, left)
                       : just == 2 ? std::min(box.right, right) - left
                                   : right - left;
  const size_t most = size_t(std::max(room / (size / 2), 20));
  std::string wrapped;
  int added = 0;
  size_t start = 0;
  while (start <= item.text.size()) {
    size_t end = item.text.find('\n', start);
    if (end == std::string::npos) end = item.text.size();
    std::string_view line(item.text.data() + start, end - start);
    while (line.size() > most) {
      const size_t blank = line.rfind(' ', most);
      if (blank == std::string_view::npos || blank == 0) break;
      wrapped.append(line.substr(0, blank)) += '\n';
      line.remove_prefix(blank + 1);
      ++added;
    }
    wrapped.append(line);
    if (end < item.text.size()) wrapped += '\n';
    start = end + 1;
  }
  item.text = std::move(wrapped);
  if (just == 3) item.x += (left + right) / 2 - (box.left + box.right) / 2;
  if (lower) item.y += added * size * 6 / 5;
}

// Whether the line break that ends a credit's words, before more words of the credit, only
// ends their run: some programs end every run of a credit with one, a superscript's too. Words
// that begin with a blank go on from the line; so does the ending of an ordinal number ("3",
// "rd").
bool break_ends_run_only(const std::string& before, const std::string& more) {
  if (!more.empty() && more[0] == ' ') return true;
  // The line the break ends (`before` ends with it).
  const size_t end = before.size() - 1;
  const size_t start = end == 0 ? std::string::npos : before.find_last_of('\n', end - 1);
  const size_t from = start == std::string::npos ? 0 : start + 1;
  const std::string line = before.substr(from, end - from);
  size_t letters = 0;
  while (letters < more.size() && std::islower(static_cast<unsigned char>(more[letters])))
    ++letters;
  const bool ending = letters >= 1 && letters <= 2 &&
                      (letters == more.size() || more[letters] == '\n' || more[letters] == ' ');
  return ending && !line.empty() &&
         std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A credit whose y gives the top, middle or bottom of its lines stands with its first
// baseline where that puts it, its words whole (the runs after the first, and the lines they
// add, are known by now). Its height as the document gives it stays: of two credits given
// one height, the later still gives way.
void baseline_from_valign(MxmlItem& item) {
  if (!item.valign) return;
  const CreditBox box = credit_box(item);
  const int32_t given = credit_y(item);
  const int32_t at = item.valign == 1   ? box.top
                     : item.valign == 3 ? box.bottom
                                        : box.bottom + (box.top - box.bottom) / 2;
  item.y += given - at;
  item.valign = 0;
}

bool boxes_meet(const CreditBox& a, const CreditBox& b) {
  return a.left < b.right && b.left < a.right && a.bottom < b.top && b.bottom < a.top;
}

}  // namespace

void mxml_keep_credits_apart() {
  std::vector<MxmlItem*> credits;
  for (MxmlGroup& g : mxml.slots[MXML_CREDIT_SLOT])
    for (MxmlItem& item : g.items)
      if (item.credit) {
        baseline_from_valign(item);
        wrap_to_the_paper(item);
        credits.push_back(&item);
      }
  if (credits.empty()) return;
  // The titles of the identification the credits leave stand on the page with them.
  for (int r = mxml.title_flush; r < MXML_LYRICS_RECORD; ++r)
    for (MxmlItem& item : mxml.titles[r].items)
      if (!item.text.empty()) credits.push_back(&item);
  const int32_t middle = page_tenths(true) * UNITS_PER_TENTH / 2;
  // Each move takes a credit toward the middle of the page, past another: a few rounds settle
  // any page of credits.
  for (size_t round = 0; round < 2 * credits.size(); ++round) {
    bool moved = false;
    for (size_t i = 0; i < credits.size(); ++i) {
      for (size_t j = i + 1; j < credits.size(); ++j) {
        const CreditBox a = credit_box(*credits[i]), b = credit_box(*credits[j]);
        if (!boxes_meet(a, b)) continue;
        auto document_y = [](const MxmlItem& item) {
          return item.document_y != INT32_MIN ? item.document_y : credit_y(item);
        };
        const int32_t ya = document_y(*credits[i]), yb = document_y(*credits[j]);
        const bool top = (int64_t(credit_y(*credits[i])) + credit_y(*credits[j])) / 2 > middle;
        // A title the document places nowhere gives way to a credit; else the one farther from
        // the page's edge moves, the later one when they stand level.
        const bool later = credits[i]->credit != credits[j]->credit
                               ? credits[i]->credit
                               : ya == yb || (top ? yb < ya : yb > ya);
        MxmlItem& mover = *credits[later ? j : i];
        const CreditBox &box = later ? b : a, &other = later ? a : b;
        const int32_t gap = 10 * mover.size / 4;
        const int32_t shift = top ? other.bottom - gap - box.top : other.top + gap - box.bottom;
        // A credit keeps the edge it counts from.
        if ((mover.y < 0) != (int64_t(mover.y) + shift < 0)) continue;
        mover.y += shift;
        moved = true;
      }
    }
    if (!moved) break;
  }
  // The credits over the page's middle that the first system must stand below.
  const int32_t height = page_tenths(true) * UNITS_PER_TENTH;
  int32_t reach = 0;
  for (const MxmlItem* credit : credits) {
    const CreditBox box = credit_box(*credit);
    if (box.bottom > middle) reach = std::max(reach, (height - box.bottom) / UNITS_PER_TENTH);
  }
  mxml_first_system_below_credits(reach);
}

void mxml_movement_title(XmlElement& e) { title_item(e, 0); }
void mxml_work_title(XmlElement& e) { title_item(e, 1); }
void mxml_rights(XmlElement& e) { title_item(e, 4); }

void mxml_creator(XmlElement& e) {
  if (mxml_attr_is(e, "type", "composer")) title_item(e, 2);
  if (mxml_attr_is(e, "type", "poet") || mxml_attr_is(e, "type", "lyricist")) title_item(e, 3);
}

// A credit of a later page (its page number, its running title) is not drawn on the first:
// the program numbers its own pages, which need not break where the document's do.
void mxml_credit(XmlElement& e) {
  const int page = xml_attr_int(e, "page");
  mxml.credit_of_later_page = page != XML_NO_INT && page > 1;
  mxml.credit_type_style = -1;
  mxml.slots[MXML_CREDIT_SLOT].emplace_back();
}

// A credit that says what it is (its first type of a title, a composer and so on) is of that
// kind wherever it stands; of another type (a page number, an arranger), its place tells.
void mxml_credit_type(XmlElement& e) {
  if (mxml.credit_type_style >= 0) return;
  static constexpr std::pair<const char*, int> kinds[] = {
      {"title", STYLE_MOVEMENT_TITLE}, {"subtitle", STYLE_WORK_TITLE}, {"composer", STYLE_COMPOSER},
      {"lyricist", STYLE_POET},        {"poet", STYLE_POET},           {"rights", STYLE_RIGHTS}};
  const std::string type = mxml_text(e);
  for (const auto& [name, style] : kinds)
    if (type == name) mxml.credit_type_style = style;
}

void mxml_credit_words(XmlElement& e) {
  if (mxml.credit_of_later_page) return;
  MxmlGroup& g = open_group(MXML_CREDIT_SLOT);
  MxmlItem item = item_of_style(STYLE_WORDS_ABOVE);
  item.x = item.y = 0;
  mxml_item_position(e, &item, 0);
  mxml_text_format(e, &item, nullptr);
  // Words stand to the side of their x that halign says, else justify; words the document
  // places begin at it.
  const int align = credit_alignment(e);
  if (align >= 0 || ((item.given & 1) && !item.justify_given)) {
    item.reference = uint16_t((item.reference & ~7) | std::max(align, 0));
    item.justify_given = true;
  }
  item.text = mxml_text(e);
  // Words without a place of their own go on from the words before them in the credit, on
  // their line (or the next, when those end theirs).
  if (!(item.given & 3) && !g.items.empty() && g.items.back().credit) {
    std::string& before = g.items.back().text;
    if (!before.empty() && before.back() == '\n' && break_ends_run_only(before, item.text))
      before.pop_back();
    before += item.text;
    return;
  }
  int32_t y = item.y;
  const bool placed = (item.given & 2) || (item.size_given && item.size > 19);
  if (!(item.given & 2) && item.size_given && item.size > 19) y = -320;
  const int s = mxml.credit_type_style >= 0 ? mxml.credit_type_style : credit_style(item, y);
  if (s < 0 || item.text.empty()) return;
  const ItemStyle& st = styles[s];
  item.kind = st.kind;
  const uint16_t justification = item.justify_given ? (item.reference & 7) : (st.reference & 7);
  item.reference = uint16_t((st.reference & ~7) | justification);
  if (item.given & 2) item.document_y = page_y(item.y - VERTICAL_ORIGIN + item.dy);
  // Words placed nowhere stand where their kind does; the rights, where the document puts
  // them, else at the page's foot.
  const bool keeps_y = s == STYLE_RIGHTS ? (item.given & 2) != 0 : placed;
  item.y = keeps_y ? y : st.y;
  if (item.given & 2)
    item.valign = mxml_attr_is(e, "valign", "top")      ? 1
                  : mxml_attr_is(e, "valign", "middle") ? 2
                  : mxml_attr_is(e, "valign", "bottom") ? 3
                                                        : 0;
  if (!(item.given & 1)) item.x = st.x;
  item.credit = true;
  // Credits take the place of the identification's texts of their kind, and of any that
  // says the same (a title the credits show once more, in another size). A title credit
  // takes the place of both titles: a movement title the credits do not show (often the
  // name of the file the document was made from) would stand over it at the top of the page.
  const bool title_credit = s == STYLE_MOVEMENT_TITLE || s == STYLE_WORK_TITLE;
  for (int r = 0; r < 5; ++r) {
    bool same = styles[r].kind == item.kind || (title_credit && r < 2);
    for (const MxmlItem& title : mxml.titles[r].items) same |= title.text == item.text;
    if (same) mxml_reset_title(r);
  }
  g.items.push_back(std::move(item));
}

// ---- Directions
// --------------------------------------------------------------------------------------

void mxml_direction(XmlElement& e) {
  MxmlGroup& g = mxml.slots[MXML_DIRECTION_SLOT].emplace_back();
  g.placement = placement_of(e);
  if (std::strcmp(xml_open_element_name(e, -1), "directive") == 0 ||
      mxml_attr_is(e, "directive", "yes"))
    g.voffset = -100;
  // It goes to the note sounding at the time the reader is at: written after a voice's last
  // note, before a backup, it waits for the notes read later at its time (or the measure's end).
  if (mxml_in_part()) g.at = mxml.part_cursor[mxml.part_index] + mxml.pending;
}

void mxml_direction_end() {
  mxml.metronome = nullptr;
  if (!mxml.slots[MXML_DIRECTION_SLOT].empty()) {
    const MxmlGroup& g = mxml.slots[MXML_DIRECTION_SLOT].back();
    if (g.octave_shift && mxml_in_part()) {
      const int staff = std::clamp(g.staff, 1, MXML_MAX_STAVES);
      // An octave line begins and stops where its offset puts it, before its place too (a
      // document writes it after a voice's whole-bar rest, back to the beats of another voice
      // it covers), never before the measure.
      const int64_t now =
          std::max<int64_t>(0, mxml.part_cursor[mxml.part_index] + mxml.pending + g.shift);
      auto& line = mxml.octave_lines[staff];
      if (line.octaves && line.stop_measure == INT32_MAX)
        line.stop_measure = mxml.measure_counter, line.stop = now;
      if (g.octaves) {
        // The line before it ends with this measure: voices read later may still have notes
        // under it.
        if (line.octaves) {
          mxml.octave_lines_stopped.push_back(line);
          mxml.octave_lines_stopped.back().staff = staff;
        }
        line = {g.octaves, mxml.measure_counter, INT32_MAX, now, 0};
      }
    }
  }
  for (MxmlWedge& w : mxml.wedges) w.stop_pending = false;
  if (mxml.slots[MXML_DIRECTION_SLOT].empty()) return;
  const MxmlGroup& g = mxml.slots[MXML_DIRECTION_SLOT].back();
  for (MxmlWedge& w : mxml.wedges)
    if (w.group_pending) w.staff = g.staff;
  // A wedge the offset takes back in time begins at the note sounding then.
  if (g.shift < 0 && mxml_in_part())
    mxml_begin_wedges_back(mxml.part_cursor[mxml.part_index] + mxml.pending + g.shift);
  for (MxmlWedge& w : mxml.wedges) w.group_pending = false;
}

void mxml_nothing(XmlElement&) {}

namespace {

// The value of the note of a metronome mark that words write as music-font characters (a
// note from metNoteWhole to metNote32ndDown, then metAugmentationDots, between blanks),
// 1 whole .. 6 32nd, with its dots; 0 for any other words.
int metronome_note(const std::string& text, int* dots) {
  int unit = 0;
  *dots = 0;
  for (size_t at = 0; at < text.size();) {
    if (text[at] == ' ') {
      ++at;
      continue;
    }
    // U+ECA0 .. U+ECBF are EE B2 A0 .. EE B2 BF in UTF-8.
    if (at + 2 >= text.size() || text.compare(at, 2, "\xEE\xB2") != 0) return 0;
    const int low = uint8_t(text[at + 2]) - 0xA0;
    at += 3;
    if (low == 0x17 && unit) {  // metAugmentationDot
      ++*dots;
      continue;
    }
    if (unit || low < 2 || low > 0xC) return 0;
    unit = low == 2 ? 1 : (low - 3) / 2 + 2;  // each value stem up, then stem down
  }
  return unit;
}

}  // namespace

namespace {

// Words that go on from the note of a metronome mark with "= N": the note becomes the mark,
// of N beats a minute, and the words keep what follows the number. False for other words.
bool ends_metronome_note(MxmlItem& note, std::string* words) {
  size_t at = words->find_first_not_of(' ');
  if (at == std::string::npos || (*words)[at] != '=') return false;
  at = words->find_first_not_of(' ', at + 1);
  int tempo = 0;
  size_t end = at;
  while (end < words->size() && std::isdigit(static_cast<unsigned char>((*words)[end])) &&
         tempo < 10000)
    tempo = 10 * tempo + ((*words)[end++] - '0');
  if (end == at || tempo < 1 || tempo > 9999) return false;
  note.kind = styles[STYLE_TEMPO_ABOVE].kind;
  note.tempo = tempo;
  note.beat_unit = note.note_glyph;
  note.note_glyph = 0;
  note.text = " ";
  words->erase(0, end);
  return true;
}

}  // namespace

namespace {

// The signs of the music font that words may write as its characters (SMuFL code points),
// with the engraving parameter that draws each.
struct MusicSign {
  char32_t code_point;
  int16_t param;
};
constexpr MusicSign music_signs[] = {
    {0xE047, 723},  // segno
    {0xE048, 724},  // coda
    {0xE049, 724},  // codaSquare
    {0xE4C0, 6},    // fermataAbove
    {0xE4C1, 7},    // fermataBelow
    {0xE4CE, 670},  // breathMarkComma
    {0xE610, 646},  // stringsDownBow
    {0xE612, 647},  // stringsUpBow
    {0xE650, 606},  // keyboardPedalPed
    {0xE655, 607},  // keyboardPedalUp
};

int16_t music_sign_param(char32_t code_point) {
  for (const MusicSign& sign : music_signs)
    if (sign.code_point == code_point) return sign.param;
  return 0;
}

// Makes the item a sign of the music font, of the repeat class when it is a segno or coda.
void make_sign(MxmlItem* item, int16_t param) {
  item->sign_param = param;
  item->text = " ";
  if (param == P_SEGNO || param == P_CODA_SYMBOL) item->kind = 17;
}

}  // namespace

void mxml_words(XmlElement& e) {
  MxmlGroup& g = open_group(MXML_DIRECTION_SLOT);
  MxmlItem* before = g.items.empty() ? nullptr : &g.items.back();
  MxmlItem* item = direction_item(e, by_placement(e, STYLE_WORDS_ABOVE, STYLE_WORDS_BELOW));
  std::u32string music;
  item->text = mxml_words_text(e, &music, &item->coded);
  int dots = 0;
  if (const int unit = metronome_note(xml_element_text(e.text), &dots)) {
    item->note_glyph = int8_t(unit);
    item->dots = std::min(dots, 2);
    // The words show a tempo: the sound of their direction adds no mark of its own.
    open_group(MXML_DIRECTION_SLOT).metronome = true;
    return;
  }
  if (before && before->note_glyph && !(item->given & 15))
    ends_metronome_note(*before, &item->text);
  if (music.empty()) return;
  // Words that are one sign of the music font are that sign; any other character of a music
  // font (of the font of another program, whose signs are not known) is left out.
  const bool alone = music.size() == 1 && item->text.find_first_not_of(' ') == std::string::npos;
  if (const int16_t param = alone ? music_sign_param(music[0]) : 0) {
    make_sign(item, param);
    return;
  }
  for (char32_t c : music)
    mxml_notice(MxmlNotice::music_character,
                "In %s words hold a character of a music font (U+%04X) that Vesk has no sign "
                "for; it is left out.",
                mxml_where().c_str(), unsigned(c));
}

void mxml_segno(XmlElement& e) {
  if (xml_open_element_level(e, "direction-type") < 0) return;
  const bool coda = std::strcmp(xml_open_element_name(e, -1), "coda") == 0;
  make_sign(direction_item(e, by_placement(e, STYLE_WORDS_ABOVE, STYLE_WORDS_BELOW)),
            coda ? P_CODA_SYMBOL : P_SEGNO);
}

void mxml_dynamics(XmlElement& e) {
  if (mxml.notations_open) {
    MxmlItem* item = direction_item(e, by_placement(e, STYLE_DYNAMICS_ABOVE, STYLE_DYNAMICS_BELOW),
                                    MXML_NOTATIONS_SLOT);
    item->text = "?";
    mxml.notations_dynamics = item;
    return;
  }
  MxmlItem* item = direction_item(e, by_placement(e, STYLE_DYNAMICS_ABOVE, STYLE_DYNAMICS_BELOW));
  item->text = "?";
  item->halign = mxml_attr_is(e, "halign", "center")  ? 1
                 : mxml_attr_is(e, "halign", "right") ? 2
                                                      : 0;
  mxml.direction_dynamics = item;
}

void mxml_metronome(XmlElement& e) {
  MxmlItem* item = direction_item(e, by_placement(e, STYLE_TEMPO_ABOVE, STYLE_TEMPO_BELOW));
  item->text = " ";
  item->parentheses = mxml_attr_is(e, "parentheses", "yes");
  mxml.metronome = item;
  open_group(MXML_DIRECTION_SLOT).metronome = true;
}

void mxml_beat_unit(XmlElement& e) {
  static const char* const units_names[] = {"breve", "whole", "half", "quarter", "eighth",
                                            "16th",  "32nd",  "64th", "128th",   "256th"};
  const std::string text = mxml_text(e, 16);
  for (int i = 0; i < 10; ++i) {
    if (text != units_names[i]) continue;
    mxml.beat_value = i;
    if (mxml.metronome && mxml.metronome->beat_unit < 0) mxml.metronome->beat_unit = i;
  }
}

void mxml_beat_unit_dot(XmlElement&) {
  if (mxml.metronome) mxml.metronome->dots = std::min(mxml.metronome->dots + 1, 2);
}

void mxml_per_minute(XmlElement& e) {
  const int tempo = mxml_int(e, 0);
  if (mxml.metronome && tempo >= 1) mxml.metronome->tempo = std::min(tempo, 9999);
}

void mxml_sound(XmlElement& e) {
  const double tempo = xml_attr_double(e, "tempo");
  if (tempo == XML_NO_DOUBLE || !(tempo >= 1) || mxml.beat_value < 0 || !mxml_in_part()) return;
  const bool in_direction = xml_open_element_level(e, "direction") >= 0;
  if (!in_direction) mxml.slots[MXML_DIRECTION_SLOT].emplace_back();
  // A metronome mark of the same direction already shows the tempo.
  if (open_group(MXML_DIRECTION_SLOT).metronome) return;
  // So does the mark an earlier part made for the same tempo at the same time: a tempo for
  // the performance, which each part of a document may repeat, is shown once a system.
  // The document counts the tempo in quarter notes a minute; the mark counts the beat, when
  // its value gives a whole number of them (a quarter in 2/4 is two eighths), else quarters.
  // A compound time (6/8, 9/8, 12/16) counts its dotted beat of three: 120 quarters in 6/8
  // are 80 dotted quarters, not 240 eighths.
  int32_t unit = mxml.beat_value;
  int32_t dots = 0;
  double per_unit = tempo;
  if (unit > 3 && unit <= 6)
    per_unit = tempo * double(1 << (unit - 3));
  else if (unit >= 1 && unit < 3 && std::fmod(tempo, double(1 << (3 - unit))) == 0)
    per_unit = tempo / double(1 << (3 - unit));
  else
    unit = 3;
  if (unit > 3 && unit <= 6 && mxml.beats > 3 && mxml.beats % 3 == 0 &&
      std::fmod(per_unit, 3.0) == 0) {
    per_unit /= 3;
    --unit;
    dots = 1;
  }
  const int32_t bpm = int32_t(std::min(per_unit + 0.5, 9999.0));
  const MxmlState::TempoShown shown{mxml.measure_counter,
                                    mxml.part_cursor[mxml.part_index] + mxml.pending, bpm};
  if (mxml.part_index > 0 && std::find(mxml.tempos_shown.begin(), mxml.tempos_shown.end(), shown) !=
                                 mxml.tempos_shown.end())
    return;
  if (mxml.part_index == 0) mxml.tempos_shown.push_back(shown);
  MxmlItem* item = direction_item(e, STYLE_TEMPO_ABOVE);
  item->text = " ";
  item->face |= 2;
  item->sound_tempo = true;
  item->tempo = bpm;
  item->beat_unit = unit;
  item->dots = dots;
}

void mxml_rehearsal(XmlElement& e) {
  MxmlItem* item = direction_item(e, by_placement(e, STYLE_REHEARSAL_ABOVE, STYLE_REHEARSAL_BELOW));
  item->text = mxml_text(e);
  if (mxml_attr_is(e, "enclosure", "none")) item->flags &= ~2;
}

void mxml_pedal(XmlElement& e) {
  int placement = placement_of(e);
  if (placement == 0 && !mxml.slots[MXML_DIRECTION_SLOT].empty())
    placement = mxml.slots[MXML_DIRECTION_SLOT].back().placement;
  const bool above = placement == 1;
  const char* type = xml_attr(e, "type");
  const std::string t = type ? type : "start";
  MxmlItem* item = nullptr;
  if (t == "stop") {
    item = direction_item(e, above ? STYLE_RELEASE_ABOVE : STYLE_RELEASE_BELOW);
    item->release = true;
  } else if (t == "change") {
    item = direction_item(e, above ? STYLE_RELEASE_ABOVE : STYLE_RELEASE_BELOW);
    item->press = item->release = true;
  } else if (t == "start" || t == "sostenuto") {
    item = direction_item(e, above ? STYLE_PRESS_ABOVE : STYLE_PRESS_BELOW);
    item->press = true;
  }
  if (item) item->text = " ";
  if (item) item->pedal_line = mxml_attr_is(e, "line", "yes");
}

// How far above the staff's middle line the words of an octave line, or a hairpin, may stand
// (five spaces over its top line), and below it, less their height.
constexpr int32_t OCTAVE_LINE_REACH = 350;
constexpr int32_t HAIRPIN_REACH_OPENING = 40;  // a hairpin's opening, each side

void mxml_wedge(XmlElement& e) {
  const char* type = xml_attr(e, "type");
  if (!type) return;
  const int32_t number = xml_attr_int(e, "number");
  if (std::strcmp(type, "crescendo") == 0 || std::strcmp(type, "diminuendo") == 0) {
    const int placement = mxml.slots[MXML_DIRECTION_SLOT].empty()
                              ? 0
                              : mxml.slots[MXML_DIRECTION_SLOT].back().placement;
    // A wedge of the same number not yet stopped ends where this one begins.
    for (MxmlWedge& open : mxml.wedges)
      if (open.number == (number == XML_NO_INT ? 1 : number))
        open.stopping = open.stop_pending = true;
    MxmlWedge& w = mxml.wedges.emplace_back();
    w.number = number == XML_NO_INT ? 1 : number;
    w.type = type[0] == 'c' ? 2 : 1;
    w.open = true;
    w.group_pending = true;
    w.y = placement == 1 ? 250 : -350;
    const double dy = xml_attr_double(e, "default-y");
    if (dy != XML_NO_DOUBLE && std::fabs(dy) < 1e6) w.y = VERTICAL_ORIGIN + units(dy);
    const double ry = xml_attr_double(e, "relative-y");
    if (ry != XML_NO_DOUBLE && std::fabs(ry) < 1e6) w.y += units(ry);
    // At most five spaces from the staff, as an octave line's words: the document's height,
    // made for its own distances between staves, would reach the staff below or above ours.
    w.y = std::clamp(w.y, -OCTAVE_LINE_REACH - 2 * HAIRPIN_REACH_OPENING, OCTAVE_LINE_REACH);
    // Wedges of several numbers begun together at one height (one for each voice of a divided
    // staff) are one hairpin: its copies would begin at the same note and pair with nothing.
    for (size_t i = 0; i + 1 < mxml.wedges.size(); ++i) {
      const MxmlWedge& open = mxml.wedges[i];
      if (open.stopping || open.line || open.type != w.type || open.y != w.y) continue;
      mxml.wedges.pop_back();
      break;
    }
  } else if (std::strcmp(type, "stop") == 0) {
    for (MxmlWedge& w : mxml.wedges) {
      if (w.stopping || (number != XML_NO_INT && w.number != number)) continue;
      w.stopping = w.stop_pending = true;
      w.stop_x = 20;
      break;
    }
  }
}

// An offset is a time in divisions from the direction's place, not a distance (taken as one it
// once put marks of a measure's end a page's width to the left, off the paper): the direction,
// and the wedge it starts or stops, go to the note of their staff that sounds at that time,
// or the next one after it (at the measure's end, to its last note), keeping that note's x. Placed
// with the note after them, marks written to stand later in the measure stood on the marks of that
// note. An offset back in time goes, as none, to the next note. The x the document gives such
// a direction is measured from where the direction is written, not from the note it goes to
// (taken from that note, a dynamic of a system's last bar stood past the staff's end): it
// stands at its note.
// A chord symbol's offset is read the same way.
void mxml_offset(XmlElement& e) {
  const bool direction = xml_open_element_level(e, "direction") >= 0;
  if ((!direction && xml_open_element_level(e, "harmony") < 0) || !mxml_in_part()) return;
  const double offset = std::strtod(mxml_text(e, 32).c_str(), nullptr);
  if (!mxml.slots[MXML_DIRECTION_SLOT].empty() && offset >= -1e12 && offset <= 1e12)
    mxml.slots[MXML_DIRECTION_SLOT].back().shift = int64_t(std::llround(offset));
  if (!(offset >= 0.5) || offset > 1e12) return;
  const int64_t at =
      mxml.part_cursor[mxml.part_index] + mxml.pending + int64_t(std::llround(offset));
  if (!mxml.slots[MXML_DIRECTION_SLOT].empty()) {
    MxmlGroup& g = mxml.slots[MXML_DIRECTION_SLOT].back();
    g.at = at;
    for (MxmlItem& item : g.items)
      if (item.given & 1) item.x = 0, item.given &= uint8_t(~1);
  }
  if (!direction) {  // a chord symbol's: it starts or stops no wedge
    MxmlItem& item = mxml.harmony.item;
    if (item.given & 1) item.x = 0, item.given &= uint8_t(~1);
    return;
  }
  for (MxmlWedge& w : mxml.wedges) {
    if (w.stop_pending) w.stop_at = at;
    if (w.group_pending && !w.line) w.start_at = at;
  }
}

namespace {

bool before(int m1, int64_t t1, int m2, int64_t t2) { return m1 < m2 || (m1 == m2 && t1 < t2); }

int voice_of(Drosa note) { return note->get(xpitch) & MXML_TAG_VOICE_BITS; }

// Ends an octave line of a staff: shifts the notes under it and ends its dashed line at the
// last of them in its voice. A line begun at a note not under it (a voice's whole-bar rest the
// document writes it after, back to the beats of another voice) begins, words and all, at the
// first note under it: of its own voice if that voice has one there, else of the staff's voice
// that has. Notes under it after the last of its voice's (another voice takes the music on, in
// the next bar or system) are under a line that goes on in their voice, words and all, from the
// first of them: a line ends in the voice it begins in, and reaches the notes of the other
// voices only in its own voice's time.
void end_octave_line(MxmlState::OctaveLine& line, int staff) {
  std::vector<const MxmlState::ShiftNote*> under;
  for (const auto& n : mxml.shift_notes) {
    if (n.staff != staff && n.home != staff) continue;
    if (before(n.measure, n.start, line.measure, line.start) ||
        !before(n.measure, n.start, line.stop_measure, line.stop))
      continue;
    under.push_back(&n);
    Drosa xmlt = NIL;
    for (Drosa p = n.note; p && !xmlt; p = p->xback)
      if (p->xkind == XMLT) xmlt = p;
    if (!xmlt || xmlt->get(xxmloctaves) == 0 || xmlt->get(xxmloctaves) == line.octaves) {
      n.note->set(xmod7, int8_t(std::clamp(n.note->get(xmod7) + 7 * line.octaves, 0, 7 * 11 - 1)));
      if (xmlt) xmlt->set(xxmloctaves, int8_t(line.octaves));
    }
  }
  const auto earliest = [&](auto fits) {
    const MxmlState::ShiftNote* first = nullptr;
    for (const auto* n : under)
      if (fits(*n) && (!first || before(n->measure, n->start, first->measure, first->start)))
        first = n;
    return first;
  };
  const bool begun_under =
      std::any_of(under.begin(), under.end(), [&](const auto* n) { return n->note == line.note; });
  if (line.line && !begun_under) {
    const MxmlState::ShiftNote* first =
        earliest([&](const auto& n) { return voice_of(n.note) == line.tag; });
    if (!first) first = earliest([&](const auto& n) { return n.staff == staff; });
    if (!first) first = earliest([](const auto&) { return true; });
    if (first) {
      line.tag = voice_of(first->note);
      line.line = mxml_move_octave_line(&line.words, line.line, first->note, line.tag, staff);
    }
  }
  while (line.line) {
    const MxmlState::ShiftNote* last = nullptr;  // the last note of the line's voice under it
    for (const auto* n : under)
      if (voice_of(n->note) == line.tag &&
          (!last || !before(n->measure, n->start, last->measure, last->start)))
        last = n;
    if (!last) break;
    mxml_end_octave_line(line.line, last->note);
    const MxmlState::ShiftNote* next = earliest([&](const auto& n) {
      return voice_of(n.note) != line.tag &&
             !before(n.measure, n.start, last->measure, last->end) &&
             before(last->measure, last->start, n.measure, n.start);
    });
    if (!next) break;
    line.tag = voice_of(next->note);
    line.line = mxml_move_octave_line(&line.words, line.line, next->note, line.tag, staff, true);
  }
  line = {};
}

}  // namespace

void mxml_octave_lines_end(bool all) {
  for (int s = 1; s <= MXML_MAX_STAVES; ++s) {
    for (auto& line : mxml.octave_lines_stopped)
      if (line.staff == s) end_octave_line(line, s);
    auto& line = mxml.octave_lines[s];
    if (line.octaves && (all || line.stop_measure == mxml.measure_counter))
      end_octave_line(line, s);
  }
  mxml.octave_lines_stopped.clear();
  bool open = false;
  for (const auto& l : mxml.octave_lines) open |= l.octaves != 0;
  if (!open) mxml.shift_notes.clear();
}

// An octave line: the notes of its staff from here to its stop are written `size` - 1 steps
// below the pitch the document gives them ("down", under an 8va line) or above ("up", 8vb);
// its start shows "8va", "15ma", "8vb" or "15mb" over or under the staff.
void mxml_octave_shift(XmlElement& e) {
  const char* type = xml_attr(e, "type");
  if (!type || xml_open_element_level(e, "direction") < 0) return;
  const bool down = std::strcmp(type, "down") == 0, up = std::strcmp(type, "up") == 0;
  if (!down && !up && std::strcmp(type, "stop") != 0) return;  // "continue"
  const int32_t size = xml_attr_int(e, "size");
  const int octaves = size == 15 ? 2 : size == 22 ? 3 : 1;
  MxmlGroup& g = open_group(MXML_DIRECTION_SLOT);
  g.octave_shift = true;
  g.octaves = down ? -octaves : up ? octaves : 0;
  if (!g.octaves) return;
  MxmlItem* item = direction_item(e, down ? STYLE_WORDS_ABOVE : STYLE_WORDS_BELOW);
  item->text = std::string(octaves == 1 ? "8" : octaves == 2 ? "15" : "22") + (down ? "va" : "vb");
  item->face |= 2;
  item->octave_line = true;
  // Its words and line stand at most five spaces from the staff: the document's height, made
  // for its own distances between systems, would reach the system above or below ours.
  const int32_t y = item->y + item->dy;
  const int32_t highest = OCTAVE_LINE_REACH, lowest = -OCTAVE_LINE_REACH - 10 * item->size;
  if (y > highest) item->dy -= y - highest;
  if (y < lowest) item->dy += lowest - y;
}

// ---- Notations
// -----------------------------------------------------------------------------------------

namespace {

// Where a notation mark of the music font stands: over the chord (under it when placed below),
// centred on the head; a delayed turn a little after the head; a breath mark or a caesura after
// the note, at the staff's top line.
enum class MarkPlace { over, delayed, after };

struct NotationSign {
  int code;
  int16_t param;  // the engraving parameter whose character draws it; 0 for words
  MarkPlace place;
};

constexpr NotationSign notation_signs[] = {
    {1, P_DOWNWARD_MORDENT, MarkPlace::over},  // mordent: the one with the stroke
    {2, P_UPWARD_MORDENT, MarkPlace::over},    // inverted mordent
    {5, P_TR, MarkPlace::over},
    {6, P_TURN, MarkPlace::over},
    {7, P_TURN, MarkPlace::delayed},
    {8, P_TURN, MarkPlace::over},
    {9, P_TURN, MarkPlace::delayed},
    {10, P_UP_BOW, MarkPlace::over},
    {11, P_DOWN_BOW, MarkPlace::over},
    {12, P_BREATH_MARK_SINGLE, MarkPlace::after},
    {13, 0, MarkPlace::after},
};

// Reference words: the justification, the vertical reference above bit 8.
constexpr uint16_t REF_ABOVE_CHORD = 7 << 8, REF_BELOW_CHORD = 8 << 8, REF_STAFF = 5 << 8;
constexpr uint16_t CENTRED = 1;
// Units of the reference staff: a space is 50, a head 60 wide.
constexpr int32_t HEAD_MIDDLE = 30, DELAYED_TURN_X = 110, AFTER_NOTE_X = 100;
constexpr int32_t MARK_STACK = 90;  // a second mark over one note stands beyond the first
constexpr int32_t BREATH_Y = -45, CAESURA_Y = -40;  // from the staff's top line
constexpr int CAESURA_SIZE = 18;
constexpr char CAESURA_TEXT[] = "//";
constexpr int TURN_STROKE_SIZE = 14;
constexpr int32_t TURN_STROKE_X = 18;  // the turn's middle, as its glyph is drawn
constexpr char TURN_STROKE_TEXT[] = "|";
constexpr uint16_t REF_NOTE = 1 << 8;
constexpr int16_t KIND_ARTICULATION = -14;

}  // namespace

MxmlItem* mxml_sign_item(int code, int placement) {
  const NotationSign* sign = nullptr;
  for (const NotationSign& s : notation_signs)
    if (s.code == code) sign = &s;
  if (!sign) return nullptr;
  const bool below = placement == 2 && sign->place != MarkPlace::after;
  // The marks of this note already made on its side: this one stands beyond them.
  int32_t stack = 0;
  for (const MxmlGroup& g : mxml.slots[MXML_NOTATIONS_SLOT])
    for (const MxmlItem& other : g.items)
      if (other.sign_param &&
          (other.reference & 0xF00) == (below ? REF_BELOW_CHORD : REF_ABOVE_CHORD))
        stack += MARK_STACK;
  MxmlItem* item = mxml_notation_item(code, 0, below ? 2 : 1, "");
  item->x = sign->place == MarkPlace::over      ? HEAD_MIDDLE
            : sign->place == MarkPlace::delayed ? DELAYED_TURN_X
                                                : AFTER_NOTE_X;
  if (sign->place == MarkPlace::after) {
    item->reference = REF_STAFF;
    item->y = VERTICAL_ORIGIN + (sign->param ? BREATH_Y : CAESURA_Y);
  } else {
    item->reference = uint16_t((below ? REF_BELOW_CHORD : REF_ABOVE_CHORD) | CENTRED);
    item->y = VERTICAL_ORIGIN + (below ? -stack : stack);
  }
  if (sign->param) {
    item->sign_param = sign->param;
    item->text = " ";
  } else {
    item->size = CAESURA_SIZE;
    item->text = CAESURA_TEXT;
  }
  return item;
}

void mxml_turn_stroke(const MxmlItem& turn) {
  MxmlItem stroke = turn;
  stroke.sign_param = 0;
  stroke.x += TURN_STROKE_X;
  stroke.kind = 0;  // of no class: kept where the turn is placed, not moved as marks are
  stroke.size = TURN_STROKE_SIZE;
  stroke.text = TURN_STROKE_TEXT;
  open_group(MXML_NOTATIONS_SLOT).items.push_back(stroke);
}

void mxml_arpeggiate(XmlElement&) {
  MxmlItem* item = mxml_notation_item(MXML_CODE_ARPEGGIATE, 0, 0, " ");
  item->reference = REF_NOTE | CENTRED;
  // Of the articulations: it stays beside its chord's heads, where an ornament would be moved
  // off them.
  item->kind = KIND_ARTICULATION;
}

MxmlItem* mxml_notation_item(int code, int subcode, int placement, const std::string& prefix) {
  MxmlGroup& g = open_group(MXML_NOTATIONS_SLOT);
  g.items.push_back(item_of_style(placement == 2 ? STYLE_WORDS_BELOW : STYLE_WORDS_ABOVE));
  MxmlItem* item = &g.items.back();
  item->code = code;
  item->number = subcode;
  item->kind = code <= 9 || code == 15 ? -16
               : code <= 11            ? -19
               : code == 12            ? -15
               : code == 13            ? -20
                                       : -8;
  item->text = prefix;
  return item;
}

// ---- Lyrics
// ------------------------------------------------------------------------------------------------

void mxml_lyric_font(XmlElement& e) {
  if (mxml.lyric_size > 0 || xml_open_element_level(e, "defaults") < 0) return;
  MxmlItem sized = item_of_style(STYLE_LYRIC);
  mxml_text_format(e, &sized, nullptr);
  if (sized.size_given) mxml.lyric_size = sized.size;
}

void mxml_lyric(XmlElement& e) {
  MxmlTitle& lyrics = mxml.titles[MXML_LYRICS_RECORD];
  lyrics.items.push_back(item_of_style(STYLE_LYRIC));
  MxmlItem* item = &lyrics.items.back();
  // The document's lyrics are set in its own size; its verses are as far apart as that size.
  if (mxml.lyric_size > 0) item->size = mxml.lyric_size;
  int number = xml_attr_int(e, "number");
  item->number = number == XML_NO_INT ? 1 : number;
  mxml_item_position(e, item, std::clamp(item->number, 1, 20) - 1);
  mxml_text_format(e, item, nullptr);
  mxml.item = item;
}

void mxml_text_element(XmlElement& e) {
  if (xml_open_element_level(e, "lyric") < 0 || !mxml.item) return;
  bool goes_on = false;
  mxml.item->text += mxml_sung_text(e, &goes_on);
  // A word broken by soft hyphens into syllables marked single is hyphenated as one whose
  // syllables say they begin or continue it.
  if (goes_on) mxml.item->syllable = true;
}

void mxml_elision(XmlElement& e) {
  if (xml_open_element_level(e, "lyric") < 0 || !mxml.item) return;
  const std::string text = mxml_sung_text(e);
  mxml.item->text += text.empty() ? " " : text;
}

void mxml_syllabic(XmlElement& e) {
  if (xml_open_element_level(e, "lyric") < 0 || !mxml.item) return;
  const std::string text = mxml_text(e, 16);
  mxml.item->syllable = text == "begin" || text == "middle";
}

void mxml_extend(XmlElement& e) {
  if (xml_open_element_level(e, "lyric") < 0 || !mxml.item) return;
  mxml.item->extend = true;
}
