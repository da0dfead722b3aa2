// chord_page.cpp: small formatted pages with their chords and beams drawn, and the GE list as
// text, for the chord and beam drawing tests.
#include "support/chord_page.h"

#include <cstdio>
#include <filesystem>
#include <map>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/script.h"

namespace {
constexpr int TOP_MARGIN_FIRST_PAGE = 54, BOTTOM_MARGIN_FIRST_PAGE = 62;
}  // namespace

void ChordPageTest::SetUp() {
  ModelTest::SetUp();
  script_begin();
  param_init();
  platform_init_fonts();
  set_options_i32(1, OPTIONS_PAGE_WIDTH, CHORD_PAGE_WIDTH);
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, CHORD_PAGE_HEIGHT);
  set_options_i32(1, TOP_MARGIN_FIRST_PAGE, 500);
  set_options_i32(1, BOTTOM_MARGIN_FIRST_PAGE, 300);
  set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
  set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
  GE_head = GE_tail = newDrosa(GE_CHAR, 0);
}

void ChordPageTest::TearDown() {
  offscreen_dispose();
  script_end();
  destroy_pstaff_lists();
  ModelTest::TearDown();
}

Drosa nt(Drosa note) { return note->xnext; }

namespace {

// A beam buffer of one staff and layer at a time, keyed by stem direction and grace.
struct OpenBeam {
  Drosa first, last;
};

void offer_chord(std::map<std::pair<int, int>, OpenBeam>& open, Drosa first, Drosa last, int p,
                 int layer) {
  const std::pair<int, int> key{nt(first)->get(xstmdir), first->get(xgrace)};
  OpenBeam& e = open[key];
  const bool ends = nt(last)->get(xendbeam);
  if (e.first && beam_next(e.last, nullptr) == first) {
    if (ends) {
      printbeam(e.first, last, p, layer);
      e = {};
    } else {
      e.last = last;
    }
    return;
  }
  if (e.first) {
    printbeam(e.first, e.last, p, layer);
    e = {};
  }
  if (ends)
    printcd(first, last, p, layer);
  else
    e = {first, last};
}

void draw_layer(int p, int layer) {
  std::map<std::pair<int, int>, OpenBeam> open;
  Drosa head = staff_data[p].ppnt[layer];
  Drosa n = head ? nt(head)->get(xpnext) : NIL;
  while (n) {
    Drosa last = n;
    while (!nt(last)->get(xendscd)) last = chain_next(last);
    // A chord of both stem directions goes in two parts, down stems first.
    Drosa split = NIL;
    for (Drosa q = chain_next(n); q && q != chain_next(last); q = chain_next(q))
      if (nt(q)->get(xstmdir) != nt(n)->get(xstmdir)) {
        split = q;
        break;
      }
    if (split) {
      offer_chord(open, n, nt(split)->get(xpback), p, layer);
      offer_chord(open, split, last, p, layer);
    } else {
      offer_chord(open, n, last, p, layer);
    }
    n = chain_next(last);
  }
  for (auto& [key, e] : open)
    if (e.first) printbeam(e.first, e.last, p, layer);
}

}  // namespace

void format_and_draw(float zoom) {
  offscreen_dispose();
  ASSERT_EQ(offscreen_create(zoom, CHORD_PAGE_WIDTH, CHORD_PAGE_HEIGHT, 0, 0), 1);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  // Once the page pass draws the chords itself, the format has done it all: heads, rests, or
  // the fret numbers that stand for heads on tablature (the closing character of their runs).
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    const int var = e->xkind == GE_CHAR ? e->get(xgc_var) : 0;
    if (var == 45 || var == 46 || var == 7) return;
  }
  draw_page_chords();
}

void draw_page_chords() {
  for (int p = 0; p < pstaff_count; ++p)
    for (int layer = 0; layer < LAYERS; ++layer) draw_layer(p, layer);
}

std::vector<std::string> ge_lines(int var, bool twins, Drosa owner) {
  std::vector<std::string> lines;
  char text[160];
  Drosa current = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) current = e->get(xnoteptr);
    if (e->xkind == NOTEPTR || (owner && current != owner)) continue;
    if (e->get(xgscreen) && !twins) continue;
    const char* twin = e->get(xgscreen) ? "~" : "";
    if (e->xkind == GE_CHAR && e->get(xgc_char) != 0) {
      if (var >= 0 && e->get(xgc_var) != var) continue;
      std::snprintf(text, sizeof text, "%schar %d %d %d c%d", twin, e->get(xgc_var), e->get(xgc_x),
                    e->get(xgc_y), e->get(xgc_char));
    } else if (e->xkind == GE_LINE) {
      if (var >= 0 && e->get(xgl_var) != var) continue;
      std::snprintf(text, sizeof text, "%sline %d %d %d %d %d w%d", twin, e->get(xgl_var),
                    e->get(xge_x1), e->get(xge_y1), e->get(xge_x2), e->get(xge_y2),
                    e->get(xgl_width));
    } else if (e->xkind == GE_CURVE) {
      if (var >= 0 && e->get(xgv_var) != var) continue;
      std::snprintf(text, sizeof text, "%scurve %d s%d %d %d %d %d", twin, e->get(xgv_var),
                    e->get(xge_pstaff1), e->get(xge_x1), e->get(xge_y1), e->get(xge_x2),
                    e->get(xge_y2));
    } else if (e->xkind == GE_STRING) {
      std::string run;
      Drosa attributes = e;
      GE_string_text(&run, &attributes);
      if (var >= 0 && attributes->get(xgc_var) != var) {
        e = attributes;
        continue;
      }
      std::snprintf(text, sizeof text, "text %d %d %d \"%s\"", attributes->get(xgc_var),
                    attributes->get(xgc_x), attributes->get(xgc_y), run.c_str());
      e = attributes;
    } else {
      continue;
    }
    lines.push_back(text);
  }
  return lines;
}

std::string glyph_line(int var, int32_t x, int32_t y, int p, Drosa owner) {
  ParamValue glyph;
  scaled_char_param(&glyph, p, owner, nullptr);
  char text[160];
  std::snprintf(text, sizeof text, "char %d %d %d c%d", var, x + glyph.x(), y + glyph.y(),
                glyph.character());
  return text;
}

std::string line_line(int var, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width) {
  char text[160];
  std::snprintf(text, sizeof text, "line %d %d %d %d %d w%d", var, x1, y1, x2, y2, width);
  return text;
}

void save_page_image(const char* name) {
  std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt") || !offscreen_page) return;
  offscreen_erase();
  platform_set_port(offscreen_page);
  plot_GE_list(port_bounds(offscreen_page), PLOT_SCREEN, 0);
  platform_set_port(nullptr);
  std::filesystem::path folder = build / "test-output" / "graphics";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(port_save_png(offscreen_page, (folder / name).c_str()));
}
