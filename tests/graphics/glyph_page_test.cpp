// tests/graphics/glyph_page_test.cpp: the glyph parameters drawn with the embedded music font.
//   GlyphCatalogue.*: every character parameter of both default sets draws a glyph that the
//                     embedded (or, for text fonts, the stand-in) font has
//   GlyphPage.*:      every glyph parameter drawn where the drawing code puts it on a staff,
//                     with its description, into images in test-output/glyphs of the build
//                     tree (for looking at); heads, accidentals and rests sit on their lines
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "graphics/glyph_tables.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/glyph_map.h"
#include "platform/port.h"
#include "support/model_fixture.h"

namespace {

// Where the drawing code puts a glyph parameter's character.
enum class Place {
  HEAD,        // at a head's bottom, half a space below its centre
  ACCIDENTAL,  // before a head, at the head's bottom
  REST,        // at the middle line
  CLEF,        // at the middle line
  DIGIT,       // numerator at the middle line, denominator at the bottom line
  MIDDLE,      // common and cut time, repeat dots, multi-rest, separators: the middle line
  DOT,         // at a line, after a head
  FLAG_UP,     // at the end of an up stem
  FLAG_DOWN,   // at the end of a down stem
  TREMOLO,     // on an up stem
  MARK_ABOVE,  // above the staff in a box of its own (staccato 2, fermata 6, accent 8 points)
  MARK_BELOW,  // below it
  BRACE,       // the Sonata brace over two staves
  TEXT,        // on a text baseline
};

struct GlyphParam {
  int pindex;
  Place place;
};

// The glyph parameters of the drawing code and the annotations, by page.
struct Page {
  const char* name;
  std::vector<GlyphParam> params;
};

std::vector<GlyphParam> run(int first, int last, Place place) {
  std::vector<GlyphParam> params;
  for (int p = first; p <= last; ++p) params.push_back({p, place});
  return params;
}

std::vector<Page> pages() {
  using P = Place;
  auto join = [](std::initializer_list<std::vector<GlyphParam>> parts) {
    std::vector<GlyphParam> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  return {
      {"heads", join({{{371, P::HEAD}},
                      run(71, 82, P::HEAD),
                      {{653, P::HEAD}, {385, P::HEAD}},
                      run(336, 338, P::HEAD)})},
      {"rests", join({{{372, P::REST}}, run(51, 58, P::REST), {{30, P::MIDDLE}}})},
      {"accidentals", join({run(25, 29, P::ACCIDENTAL), run(419, 432, P::ACCIDENTAL),
                            run(573, 577, P::ACCIDENTAL)})},
      {"special-accidentals", run(433, 478, P::ACCIDENTAL)},
      {"clefs", join({run(112, 119, P::CLEF), run(308, 313, P::CLEF), run(342, 347, P::CLEF),
                      run(405, 406, P::CLEF), run(408, 409, P::CLEF)})},
      {"signs", join({run(31, 40, P::DIGIT),
                      run(595, 604, P::DIGIT),
                      {{59, P::MIDDLE},
                       {60, P::MIDDLE},
                       {24, P::MIDDLE},
                       {665, P::MIDDLE},
                       {666, P::MIDDLE},
                       {708, P::BRACE},
                       {709, P::BRACE}}})},
      {"stems", join({run(61, 65, P::FLAG_UP),
                      run(66, 70, P::FLAG_DOWN),
                      run(102, 104, P::TREMOLO),
                      {{20, P::DOT}, {21, P::DOT}, {740, P::DOT}}})},
      {"marks", join({{{4, P::MARK_ABOVE},
                       {5, P::MARK_ABOVE},
                       {714, P::MARK_ABOVE},
                       {713, P::MARK_BELOW},
                       {6, P::MARK_ABOVE},
                       {7, P::MARK_BELOW},
                       {8, P::MARK_ABOVE},
                       {9, P::MARK_ABOVE},
                       {10, P::MARK_BELOW}}})},
      {"annotations",
       join({run(11, 19, P::TEXT),
             run(22, 23, P::TEXT),
             run(41, 50, P::TEXT),
             {{370, P::TEXT}, {339, P::TEXT}, {362, P::TEXT}, {582, P::TEXT}, {583, P::TEXT}},
             run(584, 591, P::TEXT),
             {{606, P::TEXT},
              {607, P::TEXT},
              {627, P::TEXT},
              {628, P::TEXT},
              {646, P::TEXT},
              {647, P::TEXT}},
             run(723, 732, P::TEXT),
             {{734, P::TEXT}}})},
      {"simplified", join({run(674, 679, P::HEAD),
                           {{687, P::HEAD}, {688, P::HEAD}},
                           {{701, P::HEAD}, {702, P::HEAD}, {747, P::HEAD}, {748, P::HEAD}},
                           run(715, 718, P::ACCIDENTAL),
                           {{749, P::HEAD}, {750, P::HEAD}}})},
  };
}

// ---- Drawing a page -----------------------------------------------------------------------

constexpr double PIXELS_PER_POINT = 4;  // a staff space of 20 pixels
constexpr int COLUMNS = 4;
constexpr int CELL_W = 300, CELL_H = 230;
constexpr int STAFF_Y = 95;   // middle line of a cell's staff, pixels from the cell's top
constexpr int GLYPH_X = 140;  // the glyph's point, pixels from the cell's left

struct Cell {
  int left, top;
  double scale = PIXELS_PER_POINT;  // pixels per point
  int px(int32_t x) const { return left + GLYPH_X + int(std::lround(x * scale / 10)); }
  int py(int32_t y) const { return top + STAFF_Y - int(std::lround(y * scale / 10)); }
};

int32_t param_int(int p, bool small) {
  const ParamValue& v = small && is_pair_type(param[p].type) ? param[p].small : param[p].value;
  return v.integer();
}

void staff(const Cell& c, int32_t middle, int32_t from = -400, int32_t to = 400) {
  fore_colour({40000, 40000, 40000});
  for (int line = -2; line <= 2; ++line) {
    move_to(c.px(from), c.py(middle + 100 * line));
    line_to(c.px(to), c.py(middle + 100 * line));
  }
  fore_colour(COLOUR_BLACK);
}

// The character of a value at (x, y) moved by its offsets, as the drawing code draws it.
void glyph(const Cell& c, const ParamValue& v, int32_t x, int32_t y, int size = 0) {
  text_font(font_from_code(v.font()));
  text_face(v.style());
  text_size(int(std::lround((size ? size : v.size()) * c.scale)));
  move_to(c.px(x + v.x()), c.py(y + v.y()));
  draw_char(v.character());
  text_face(FACE_PLAIN);
}

void line(const Cell& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  move_to(c.px(x1), c.py(y1));
  line_to(c.px(x2), c.py(y2));
}

// A quarter head of the value's set with its bottom at y, left end at x.
void plain_head(const Cell& c, bool small, int32_t x, int32_t y) {
  glyph(c, small ? param[P_QUARTER_NOTE_HEAD].small : param[P_QUARTER_NOTE_HEAD].value, x, y);
}

// The Sonata brace over two staves, as the page pass draws it.
void draw_brace(const Cell& c) {
  staff(c, 300, -200, 400);
  staff(c, -300, -200, 400);
  const int32_t lo = -500, hi = 500, h = hi - lo, x = -100;
  const int32_t y =
      int32_t(h * param[P_SONATA_SYSTEM_BRACE_PLACEMENT_FROM_STAFF_SPACING].value.real() + lo);
  const int32_t s =
      int32_t(h / 20 * param[P_SONATA_SYSTEM_BRACE_FONT_SIZE_FROM_STAFF_SPACING].value.real());
  const int32_t d = -10 * s,
                x1 =
                    int32_t(d * param[P_SONATA_SYSTEM_BRACE_WIDTH_FROM_FONT_SIZE].value.real() + x);
  glyph(c, param[P_SONATA_SYSTEM_BRACE_TOP_PART].value, x1, y, s);
  glyph(c, param[P_SONATA_SYSTEM_BRACE_BOTTOM_PART].value, x1,
        int32_t(d * param[P_SONATA_SYSTEM_BRACE_HEIGHT_FROM_FONT_SIZE].value.real() + y), s);
  line(c, x, lo, x, hi);
}

void draw_one(const Cell& c, GlyphParam g, bool small) {
  const ParamValue& v = small ? param[g.pindex].small : param[g.pindex].value;
  const int32_t head_w = param_int(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, small),
                stem_len = param_int(P_NORMAL_LENGTH_OF_NOTE_STEMS, small);
  switch (g.place) {
    case Place::HEAD: {
      staff(c, 0);
      glyph(c, v, 0, -25);                 // on the middle line
      glyph(c, v, 250 + 0, 0 - 25 + 125);  // in the top space, right of it
      // An up stem where the layout puts it, to show that the head meets it.
      pen_size(1, 1);
      line(c, head_w - 2,
           -25 + param_int(P_Y_OFFSET_FOR_BOTTOM_OF_UP_STEM_NORMAL_NOTE_HEADS, small), head_w - 2,
           -25 + stem_len + 50);
      line(c, 0, -150, head_w, -150);  // the head width the layout gives
      break;
    }
    case Place::ACCIDENTAL: {
      staff(c, 0);
      plain_head(c, small, 100, -25);
      glyph(c, v, 0, -25);
      plain_head(c, small, 250, 25);  // a head in a space, its accidental before it
      glyph(c, v, 150, 25);
      break;
    }
    case Place::REST:
    case Place::CLEF:
    case Place::MIDDLE:
      staff(c, 0);
      glyph(c, v, 0, 0);
      break;
    case Place::DIGIT:
      staff(c, 0);
      glyph(c, v, 0, 0);
      glyph(c, v, 0, -100);
      break;
    case Place::DOT:
      staff(c, 0);
      plain_head(c, small, -100, -25);  // on a line: its dot goes to the space above
      glyph(c, v, -100 + head_w + param_int(P_SPACE_LEFT_BETWEEN_NOTE_AND_ITS_DOT, small), 0);
      plain_head(c, small, 150, 0);  // in a space
      glyph(c, v, 150 + head_w + param_int(P_SPACE_LEFT_BETWEEN_NOTE_AND_ITS_DOT, small), 0);
      break;
    case Place::FLAG_UP:
    case Place::TREMOLO: {
      staff(c, 0);
      const int32_t y = -125, top = y + stem_len + 50;
      plain_head(c, small, 0, y);
      line(c, head_w - 2, y + param_int(P_Y_OFFSET_FOR_BOTTOM_OF_UP_STEM_NORMAL_NOTE_HEADS, small),
           head_w - 2, top);
      if (g.place == Place::FLAG_UP)
        glyph(c, v, head_w - 2, top);
      else
        glyph(c, v,
              head_w - 2 - param_int(P_X_OFFSET_FOR_CENTERING_TREMOLO_MARK_AROUND_STEM, small),
              top - param_int(P_Y_OFFSET_FROM_STEM_END_FOR_TREMOLO_ON_UNFLAGGED_NOTES, small) -
                  param_int(P_HEIGHT_GIVEN_FOR_TREMOLO, small));
      break;
    }
    case Place::FLAG_DOWN: {
      staff(c, 0);
      const int32_t y = 75, end = y - stem_len;
      plain_head(c, small, 0, y);
      line(c, 0, y + param_int(P_Y_OFFSET_FOR_TOP_OF_DOWN_STEM_NORMAL_NOTE_HEADS, small), 0, end);
      glyph(c, v, 0, end);
      break;
    }
    case Place::MARK_ABOVE:
    case Place::MARK_BELOW: {
      staff(c, 0);
      plain_head(c, small, 0, -25);
      const bool fermata = g.pindex == P_FERMATA_ABOVE_NOTE || g.pindex == P_FERMATA_BELOW_NOTE;
      const bool accent = g.pindex >= P_ACCENT_HORIZONTAL && g.pindex <= P_ACCENT_BELOW;
      const int32_t gap =
          param_int(fermata  ? P_SPACE_LEFT_BETWEEN_FERMATA_ORNAMENT_AND_NOTE
                    : accent ? P_SPACE_LEFT_BETWEEN_ACCENT_AND_NOTE
                             : P_SPACE_LEFT_BETWEEN_STACCATO_TENUTO_AND_NOTE_STAFFLINE,
                    small);
      const int32_t h = param_int(fermata  ? P_SPACE_GIVEN_FOR_HEIGHT_OF_FERMATA_ORNAMENT
                                  : accent ? P_SPACE_GIVEN_FOR_HEIGHT_OF_ACCENT
                                           : P_SPACE_GIVEN_FOR_HEIGHT_OF_STACCATO_TENUTO,
                                  small);
      const int32_t y = g.place == Place::MARK_ABOVE ? 100 + gap : -100 - gap - h;
      fore_colour({65535, 40000, 40000});  // the box the drawing code keeps for the mark
      frame_rect({c.px(0), c.py(y + h), c.px(head_w), c.py(y) + 1});
      fore_colour(COLOUR_BLACK);
      glyph(c, v, 0, y);
      break;
    }
    case Place::BRACE: {
      // Two staves at half the scale, so that both fit.
      Cell half = c;
      half.scale = PIXELS_PER_POINT / 2;
      half.top += 5;
      draw_brace(half);
      break;
    }
    case Place::TEXT: {
      fore_colour({40000, 40000, 40000});
      line(c, -300, 0, 400, 0);
      fore_colour(COLOUR_BLACK);
      const bool kerned = g.pindex == P_DOT_KERNED_LEFT_FOR_TEMPO_MARKINGS ||
                          g.pindex == P_DOUBLE_DOT_KERNED_LEFT_FOR_TEMPOS;
      if (kerned || g.pindex == P_DOT_FOR_TEMPO_MARKINGS ||
          g.pindex == P_DOUBLE_DOT_FOR_TEMPO_MARKINGS) {
        // After a metronome note (an eighth for the kerned dots), the dot the text escape adds.
        const ParamValue& note =
            param[kerned ? P_EIGHTH_NOTE_FOR_TEMPO_MARKINGS : P_QUARTER_NOTE_FOR_TEMPO_MARKINGS]
                .value;
        glyph(c, note, -120, 0);
        glyph(c, v, -120 + int32_t(char_width(note.character()) * 10 / PIXELS_PER_POINT), 0);
      } else {
        glyph(c, v, 0, 0);
      }
      break;
    }
  }
}

std::string font_name(int16_t code) {
  if (code < 0) return platform_font_name(font_from_code(code));
  return platform_font_name(code);
}

void caption(const Cell& c, GlyphParam g, bool small) {
  const ParamValue& v = small ? param[g.pindex].small : param[g.pindex].value;
  char line1[160], line2[80];
  std::snprintf(line1, sizeof line1, "%d%s %s", g.pindex, small ? " small" : "",
                param[g.pindex].description);
  std::snprintf(line2, sizeof line2, "%s %d @%d (%d,%d)", font_name(v.font()).c_str(),
                v.character(), v.size(), v.x(), v.y());
  text_font(FONT_GENEVA);
  text_size(11);
  std::string text = line1;
  if (text.size() > 52) text.resize(52);
  move_to(c.left + 6, c.top + CELL_H - 26);
  draw_string(text);
  move_to(c.left + 6, c.top + CELL_H - 10);
  draw_string(line2);
}

bool drawn_by_music_font(const ParamValue& v) {
  return music_font_design_size(font_from_code(v.font())) > 0;
}

constexpr int CELLS_PER_IMAGE = 16;  // small enough to look at whole

// Draws the cells of a page's glyph parameters (normal and small values side by side) into
// images of at most CELLS_PER_IMAGE cells: <set>-<page>-<n>.png.
void draw_page(const Page& page, const std::string& set, const std::filesystem::path& folder) {
  std::vector<std::pair<GlyphParam, bool>> cells;
  for (GlyphParam g : page.params) {
    const uint32_t type = param[g.pindex].type;
    if (type != PARAM_CHARACTER && type != PARAM_CHARACTER_PAIR) continue;
    cells.push_back({g, false});
    if (is_pair_type(param[g.pindex].type) && g.place != Place::BRACE) cells.push_back({g, true});
  }
  for (size_t first = 0; first < cells.size(); first += CELLS_PER_IMAGE) {
    const size_t n = std::min<size_t>(CELLS_PER_IMAGE, cells.size() - first);
    const int rows = (int(n) + COLUMNS - 1) / COLUMNS;
    Port* port = port_new_offscreen(COLUMNS * CELL_W, rows * CELL_H);
    ASSERT_NE(port, nullptr);
    platform_set_port(port);
    for (size_t i = 0; i < n; ++i) {
      const Cell c{int(i % COLUMNS) * CELL_W, int(i / COLUMNS) * CELL_H};
      fore_colour({50000, 50000, 65535});
      frame_rect({c.left, c.top, c.left + CELL_W, c.top + CELL_H});
      fore_colour(COLOUR_BLACK);
      pen_normal();
      draw_one(c, cells[first + i].first, cells[first + i].second);
      pen_normal();
      caption(c, cells[first + i].first, cells[first + i].second);
    }
    const std::string name =
        set + "-" + page.name + "-" + std::to_string(first / CELLS_PER_IMAGE + 1) + ".png";
    EXPECT_TRUE(port_save_png(port, (folder / name).c_str()));
    platform_set_port(nullptr);
    port_dispose(port);
  }
}

std::filesystem::path output_folder() {
  std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt"))
    build = std::filesystem::temp_directory_path();
  std::filesystem::path folder = build / "test-output" / "glyphs";
  std::filesystem::create_directories(folder);
  return folder;
}

class GlyphTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    music_font_numbers[FONT_SLOT_SIMPLIFIED] = FONT_SIMPLIFIED_NOTATION;
  }
  void use_set(bool sonata) {
    prefs.set_use_sonata_font(sonata);
    param_init();
  }
};

using GlyphCatalogue = GlyphTest;
using GlyphPage = GlyphTest;

TEST_F(GlyphCatalogue, EveryCharacterParameterHasAGlyphInItsFont) {
  int music = 0;
  for (bool sonata : {false, true}) {
    use_set(sonata);
    for (int p = 1; p <= PARAM_LAST; ++p) {
      if (param[p].type != PARAM_CHARACTER && param[p].type != PARAM_CHARACTER_PAIR) continue;
      if (p == 105 || p == 417) continue;  // the editor's two hidden slots are never drawn
      for (const ParamValue* v : {&param[p].value, &param[p].small}) {
        if (v == &param[p].small && param[p].type != PARAM_CHARACTER_PAIR) continue;
        const int font = font_from_code(v->font());
        if (drawn_by_music_font(*v)) {
          ++music;
          const MusicFontGlyph* g = music_font_glyph(font, v->character());
          ASSERT_NE(g, nullptr) << p << " " << param[p].description;
          if (g->code_point == 0) {
            EXPECT_EQ(p, 709) << "only the brace's bottom part is drawn by another part";
            continue;
          }
          EXPECT_TRUE(music_font_has_glyph(g->code_point)) << p << " " << g->name;
        } else {
          // Text fonts draw the parameter's character themselves.
          ASSERT_TRUE(platform_font_installed(font)) << p << " " << param[p].description;
          text_font(font);
          text_size(12);
          EXPECT_GT(char_width(v->character()), 0) << p << " " << param[p].description;
        }
      }
    }
  }
  EXPECT_GT(music, 400);
  // Every entry of the table, whichever parameter uses it, names a glyph the font has.
  int count = 0;
  const MusicFontGlyph* table = music_font_glyph_table(&count);
  for (int i = 0; i < count; ++i)
    if (table[i].code_point)
      EXPECT_TRUE(music_font_has_glyph(table[i].code_point)) << table[i].name;
}

// The rows of the port that hold ink within a column range, as (first, last) pixel rows.
std::pair<int, int> ink_rows(Port* port, int left, int right) {
  int first = -1, last = -1;
  const Rect b = port_bounds(port);
  for (int y = 0; y < b.bottom; ++y)
    for (int x = left; x < right; ++x)
      if (port_pixel(port, x, y) == 0x000000) {
        if (first < 0) first = y;
        last = y;
      }
  return {first, last};
}

TEST_F(GlyphPage, DrawsEveryGlyphParameterOnItsStaff) {
  const std::filesystem::path folder = output_folder();
  for (bool sonata : {false, true}) {
    use_set(sonata);
    for (const Page& page : pages()) draw_page(page, sonata ? "second-set" : "first-set", folder);
  }
}

TEST_F(GlyphPage, HeadsAccidentalsAndRestsSitOnTheirLines) {
  for (bool sonata : {false, true}) {
    use_set(sonata);
    // One glyph at a time on a clean port: its ink's rows, in pixels from the middle line.
    const struct {
      int pindex;
      int32_t y;           // its point, tenths above the middle line
      double top, bottom;  // where its ink must reach, points above the middle line
    } cases[] = {
        {P_QUARTER_NOTE_HEAD, -25, 2.5, -2.5},  // quarter head on the middle line: one space high
        {P_HALF_NOTE_HEAD, -25, 2.5, -2.5},     // half head
        {P_SHARP, -25, 7.0, -7.0},              // sharp: centred on its head
        {P_FLAT, -25, 9.0, -3.5},               // flat: its bowl on the head
        {P_HALF_REST, 0, 2.5, 0.0},             // half rest on the middle line
        {P_WHOLE_REST, 0, 5.0, 2.5},            // whole rest hanging from the line above
        {P_QUARTER_REST, 0, 7.5, -7.5},         // quarter rest about the middle line
    };
    for (const auto& k : cases) {
      Port* port = port_new_offscreen(200, 200);
      platform_set_port(port);
      const Cell c{-GLYPH_X + 60, -STAFF_Y + 100};
      glyph(c, param[k.pindex].value, 0, k.y);
      const auto [first, last] = ink_rows(port, 0, 200);
      // Rows are pixels downward from the middle line at row 100; 4 pixels a point.
      const double tolerance = 0.75 * PIXELS_PER_POINT + 1;
      EXPECT_NEAR(100 - first, k.top * PIXELS_PER_POINT, tolerance)
          << (sonata ? "second set " : "") << k.pindex;
      EXPECT_NEAR(100 - last, k.bottom * PIXELS_PER_POINT, tolerance)
          << (sonata ? "second set " : "") << k.pindex;
      platform_set_port(nullptr);
      port_dispose(port);
    }
  }
}

}  // namespace
