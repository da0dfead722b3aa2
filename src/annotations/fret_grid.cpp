// fret_grid.cpp: guitar chord diagrams. The Text Assistant composes one as thirteen characters
// of the second music font: the nut's letter, then a dot and a barre character for each of six
// strings. That font draws them as pieces of one diagram; here the diagram is drawn whole from
// what the characters say: six strings, five frets, the nut (a heavy top line) or a plain top
// line for a diagram higher up the neck, dots on the frets held, an open circle or an x above
// the nut for an open or muted string, and barres across the strings.
//
// Design notes:
//  - Measures are given in tenths of a point for a grid typed at 12 points, and scale with the
//    size the text is drawn at: the strings 5 points apart and 2.5 in from the sides, the frets
//    6 points apart.
//  - The first fret row's middle stands 15 points above the base line, where the superscript
//    fret number ("\g", 8 points raised 12 beside text of 12) that may follow the grid stands
//    beside it; the grid reaches 12 points below the base line.
//  - A barre character joins its string to the next one at its fret; a barre across five
//    strings is four such characters. The last string's barre has nothing to join.
//  - Dots are the embedded music font's dot, drawn at the size that makes it 4 points across.
#include "annotations/fret_grid.h"

#include <algorithm>
#include <cmath>

#include "annotations/anno_fields.h"
#include "graphics/ge_services.h"
#include "platform/glyph_map.h"

namespace {

constexpr int FONT_CODE_SECOND_MUSIC = -2;
constexpr int FONT_CODE_FIRST_MUSIC = -1;
constexpr int STRINGS = 6, FRETS = 5;
constexpr int DESIGN_SIZE = 12;

// At 12 points, in tenths of a point.
constexpr int STRING_SPACE = 50, FRET_SPACE = 60, SIDE = 25;
constexpr int TOP_Y = 180;  // the nut or top line, above the base line
constexpr int THIN = 5, NUT = 20, BARRE = 25;
constexpr int DOT = 40;                       // across
constexpr int MARK_Y = 35, MARK_RADIUS = 16;  // open and muted marks above the top line

int8_t dot_of(char c) {
  if (c == '`') return -1;
  if (c == '9') return -2;
  if (c >= '0' && c <= '5') return int8_t(c - '0');
  return -3;
}

int8_t bar_of(char c) {
  switch (c) {
    case '`':
      return 0;
    case '!':
      return 1;
    case '@':
      return 2;
    case '#':
      return 3;
    case '$':
      return 4;
    case '%':
      return 5;
    default:
      return -1;
  }
}

struct Drawing {
  Drosa tparam, note;
  int pstaff, where, size;
  int drawmode, colour;

  int32_t scaled(int design) const {
    return int32_t(std::lround(double(design) * size / DESIGN_SIZE));
  }
  // A line of a width centred on the path from (x1, y1) to (x2, y2): the drawn band grows
  // right of an upright line and above a level one.
  void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int design_width) const {
    const int32_t width = std::max<int32_t>(1, scaled(design_width));
    const bool level = std::abs(int64_t(x2) - x1) >= std::abs(int64_t(y2) - y1);
    const int32_t mx = level ? 0 : width / 2, my = level ? width / 2 : 0;
    GEline(drawmode, x1 - mx, y1 - my, pstaff, 0, x2 - mx, y2 - my, pstaff, 0, width, 0, 0, 0, 0, 0,
           0, colour, where, note);
  }
  // A circle's outline, as sixteen sides of the grid's thin line (a curve's line, made for
  // slurs, is too heavy at this size).
  void circle(int32_t cx, int32_t cy, int32_t r, int design_width) const {
    constexpr int SIDES = 16;
    auto at = [&](int k, bool y) {
      const double a = 2 * 3.14159265358979 * k / SIDES;
      return int32_t(std::lround(y ? cy + r * std::sin(a) : cx + r * std::cos(a)));
    };
    for (int k = 0; k < SIDES; ++k)
      line(at(k, false), at(k, true), at(k + 1, false), at(k + 1, true), design_width);
  }
  // A filled dot: the embedded font's dot, 0.4 of a space across and centred on its base line
  // 0.2 of a space in, drawn at the size that makes it as wide as asked.
  void dot(int32_t cx, int32_t cy, int design_across) const {
    const int font = font_from_code(FONT_CODE_FIRST_MUSIC);
    const int code = music_font_code(font, "augmentationDot");
    const MusicFontGlyph* g = code >= 0 ? music_font_glyph(font, code) : nullptr;
    const int design = music_font_design_size(font);
    if (!g || design <= 0) return;
    // Across, in tenths of a point: a tenth of the embedded em, which is scale x size points.
    const double per_point = g->scale;  // tenths of a point across per point of size
    const int dot_size = std::clamp(int(std::lround(scaled(design_across) / per_point)), 1, 255);
    const double space = 50.0 / design * dot_size;  // a staff space at the design size, in tenths
    const int32_t x = int32_t(std::lround(cx - g->dx * space - 0.5 * dot_size * g->scale));
    const int32_t y = int32_t(std::lround(cy - g->dy * space));
    const char text[2] = {char(code), 0};
    GEstring(drawmode, x, y, 0, 0, pstaff, font, 0, dot_size, 0, colour, text,
             tparam->get(xpslayout), where, note, tparam);
  }
};

}  // namespace

bool fret_grid_of(int font, std::string_view text, FretGrid* grid) {
  if (font != FONT_CODE_SECOND_MUSIC || text.empty() || text.size() > 1 + 2 * STRINGS) return false;
  if (text[0] != 'a' && text[0] != 'A') return false;
  FretGrid g;
  g.nut = text[0] == 'a';
  std::fill(std::begin(g.dot), std::end(g.dot), int8_t(-1));
  for (size_t at = 1; at < text.size(); ++at) {
    const size_t string = (at - 1) / 2;
    if (at % 2) {
      g.dot[string] = dot_of(text[at]);
      if (g.dot[string] < -2) return false;
    } else {
      g.bar[string] = bar_of(text[at]);
      if (g.bar[string] < 0) return false;
    }
  }
  if (grid) *grid = g;
  return true;
}

int32_t fret_grid_width(int size) {
  return int32_t(std::lround(double(2 * SIDE + (STRINGS - 1) * STRING_SPACE) * size / DESIGN_SIZE));
}

void draw_fret_grid(const FretGrid& grid, Drosa tparam, Drosa note, int pstaff, int32_t x,
                    int32_t y, int size, int where) {
  const Drawing d{
      tparam, note, pstaff, where, size, tparam->get(xtext_drawmode), tparam->get(xtext_color)};
  auto string_x = [&](int i) { return x + d.scaled(SIDE + i * STRING_SPACE); };
  auto fret_y = [&](int j) { return y + d.scaled(TOP_Y - j * FRET_SPACE); };
  const int32_t left = string_x(0), right = string_x(STRINGS - 1);
  for (int i = 0; i < STRINGS; ++i)
    d.line(string_x(i), fret_y(0), string_x(i), fret_y(FRETS), THIN);
  for (int j = 1; j <= FRETS; ++j) d.line(left, fret_y(j), right, fret_y(j), THIN);
  // The nut lies on the top line, its lower edge flush with the strings' top.
  if (grid.nut) {
    const int32_t half = d.scaled(NUT) / 2;
    d.line(left - d.scaled(THIN) / 2, fret_y(0) + half, right + d.scaled(THIN) / 2,
           fret_y(0) + half, NUT);
  } else {
    d.line(left, fret_y(0), right, fret_y(0), THIN);
  }
  const int32_t mark_y = fret_y(0) + d.scaled((grid.nut ? NUT : 0) + MARK_Y);
  const int32_t r = d.scaled(MARK_RADIUS);
  for (int i = 0; i < STRINGS; ++i) {
    const int32_t sx = string_x(i);
    const int fret = grid.dot[i];
    if (fret > 0) {
      d.dot(sx, (fret_y(fret - 1) + fret_y(fret)) / 2, DOT);
    } else if (fret == 0) {
      d.circle(sx, mark_y, r, THIN + 2);
    } else if (fret == -2) {
      d.line(sx - r, mark_y - r, sx + r, mark_y + r, THIN + 2);
      d.line(sx - r, mark_y + r, sx + r, mark_y - r, THIN + 2);
    }
    if (grid.bar[i] > 0 && i + 1 < STRINGS) {
      const int32_t by = (fret_y(grid.bar[i] - 1) + fret_y(grid.bar[i])) / 2;
      d.line(sx, by, string_x(i + 1), by, BARRE);
    }
  }
}
