// page_draw_bench.cpp: the cost of drawing a formatted page: a letter page holding one system
// of sixteen staves and three bars (as many as the texture with lyrics fits on the line: with
// more, the system is cut in two), formatted and turned into its GE list, and the list plotted
// into the offscreen page at the standard zoom.
//   Texture 0, the best case: one voice a staff, a clef, key and time signature, quarters and
//   eighths, single bar lines.
//   Texture 1, the worst: two voices on every staff (stems apart, so every chord reaches the
//   beam buffer as two), braces over every pair of staves and a bracket over all, a key and a
//   time change in the middle, repeat bars with wings and dots on both sides, whole-measure
//   rests in one voice of every staff; in the other bars of the upper voice a slur, a tie,
//   staccatos and an accent, and over those rests a numbered triplet.
//   Texture 2: the worst with a lyric under every note of the upper voices (a verse of
//   syllables, hyphens and melismas, making room for itself) and a dynamic in every bar.
//   DrawSystem/<texture>:  plot_page alone on the formatted system (the GE list made again)
//   FormatAndDraw/<texture>: format_page without a page image (layout and plot_page)
//   FormatDrawAndPlot/<texture>: format_page with the page image, which it plots: the whole
//                          time from an edit to the new page image
// Every run checks what it made: the number of elements (the same every time, and at least
// the staff lines of every staff), and after plotting, enough pixels set.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/application.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/bench_support.h"
#include "support/piece_builder.h"

namespace {

constexpr int STAVES = 16, BARS = 3;
constexpr int OPTIONS_TUPLET_NUMBERS = 16;

Drosa key_of(int v, std::initializer_list<int> codes) {
  Drosa key = add(v, KEYSIG);
  key->set(xkeycnt, uint8_t(codes.size()));
  int i = 0;
  for (int code : codes) key->set(xkeysig_entry, i++, uint8_t(code));
  return key;
}

// A text of one run before the voice's next note: font code, size, and its offsets from the
// staff's top line.
Drosa text_before(int v, int16_t font, int size, const char* chars, int32_t y, int justified) {
  Drosa t = add(v, TPARAM);
  t->set(xtextfont, font);
  t->set(xtextsize, uint8_t(size));
  t->set(xtexty, y);
  t->set(xfromstaff, 1);
  t->set(xjustified, justified);
  add(v, TEXT)->set(xtext, chars);
  return t;
}

void add_bar_of(int v, int layer, int bar, bool worst, bool annotated) {
  if (worst && layer == 1 && bar % 2 == 1) {
    add_rest(v, WHOLE);
    return;
  }
  const int dir = layer == 0 ? 2 : 1, top = layer == 0 ? 40 : 32;
  std::vector<Drosa> notes;
  static const char* const syllables[] = {"Al-", "le-", "lu-", "ia,_", "_", "sing", "we", "now"};
  if (annotated && layer == 0) {
    const ParamValue& mf = param[46].value;
    const char glyph[2] = {char(mf.character()), 0};
    text_before(v, mf.font(), 12, glyph, -420, 0);
  }
  auto note = [&](int lgval, int pos) {
    if (annotated && layer == 0)
      text_before(v, -5, 12, syllables[notes.size() % 8], -600, 1)->set(xleavespace, 1);
    notes.push_back(add_note(v, lgval, pos));
    notes.back()->set(xdir, dir);
    return notes.back();
  };
  note(QUARTER, top);
  if (worst && layer == 0 && bar % 2 == 1) {
    // Over the other voice's whole rest: a numbered triplet in the second beat.
    for (int i = 1; i <= 3; ++i) make_tuplet(note(EIGHTH, top + i), 3, 2);
    note(QUARTER, top + 1);
    note(QUARTER, top);
    return;
  }
  note(EIGHTH, top + 1);
  note(EIGHTH, top + 2);
  note(QUARTER, top + 1);
  note(QUARTER, top + 1);
  if (worst && layer == 0) {  // a slur over three notes, staccato eighths, a tie and an accent
    notes[0]->set(xslur, 3);
    notes[1]->set(xslur, 3);
    notes[1]->set(xstacc, 1);
    notes[2]->set(xstacc, 1);
    notes[3]->set(xtie, 3);
    notes[4]->set(xaccent, 2);
  }
}

void build_page(int texture) {
  const bool worst = texture >= 1, annotated = texture == 2;
  fresh_letter_page_program();
  set_options_i16(1, OPTIONS_TUPLET_NUMBERS, 1);
  for (int staff = 0; staff < STAVES; ++staff) {
    for (int layer = 0; layer < (worst ? 2 : 1); ++layer) {
      int v = new_voice("Part", layer, staff);
      if (worst && layer == 0) {
        Drosa print = find_next_kind(PRINT, piece_start[v]);
        print->set(xfirst_brace, staff % 2 == 0 ? 1 : 0);
        print->set(xfirst_bracket, staff == STAVES - 1 ? 1 : 0);
      }
      add_clef(v, staff % 2);
      key_of(v, {10, 7});
      add_timesig(v, 4, 4);
      for (int bar = 0; bar < BARS; ++bar) {
        if (worst && bar == BARS / 2) {
          key_of(v, {6, 2, 5});
          add_timesig(v, 4, 4);
        }
        add_bar_of(v, layer, bar, worst, annotated);
        Drosa b = add_bar(v);
        if (worst && bar % 4 == 1) {
          b->set(xdouble, 1);
          b->set(xrepeat_end, 1);
          b->set(xrepeat_start, 1);
          b->set(xbarthick, 1);
        }
      }
    }
  }
  count_pages();
  disable_format_interrupts();
  if (format_page(1, 0) != 1 || pstaff_count != STAVES) {
    std::fprintf(stderr, "the page was not formatted as built\n");
    std::abort();
  }
  // The worst page has a slur, a tie, staccatos and an accent in every other bar of the upper
  // voices, and a tuplet number in the bars between.
  int curves = 0, marks = 0, numbers = 0;
  for (Drosa p = GE_head->xnext; p; p = p->xnext) {
    curves += p->xkind == GE_CURVE;
    marks += p->xkind == GE_CHAR && (p->get(xgc_var) == 37 || p->get(xgc_var) == 38);
    numbers += p->xkind == GE_CHAR && p->get(xgc_var) == 6;
  }
  if (worst &&
      (curves < STAVES * BARS || marks < 3 * STAVES * BARS / 2 || numbers < STAVES * (BARS / 2))) {
    std::fprintf(stderr, "the ties, slurs, marks or tuplet numbers were not drawn\n");
    std::abort();
  }
  // Every lyric and dynamic of the annotated page is drawn, and so are its hyphens.
  int texts = 0;
  for (Drosa p = GE_head->xnext; p; p = p->xnext)
    texts += p->xkind == GE_CHAR && p->get(xganno) && p->get(xgc_char) == 0;
  if (annotated && texts < STAVES * BARS * 5) {
    std::fprintf(stderr, "the lyrics and dynamics were not drawn\n");
    std::abort();
  }
}

int element_count() {
  int n = 0;
  for (Drosa p = GE_head->xnext; p; p = p->xnext) ++n;
  return n;
}

// The list is what it was the first time, and holds the lines of every staff.
bool check_list(benchmark::State& state, int* first) {
  const int n = element_count();
  if (!*first) *first = n;
  if (n == *first && n >= STAVES * 5) return true;
  state.SkipWithError("the GE list is not what was drawn");
  return false;
}

void DrawSystem(benchmark::State& state) {
  build_page(int(state.range(0)));
  int first = 0;
  for (auto _ : state) {
    GEinit(0);
    if (plot_page() != 1) {
      state.SkipWithError("interrupted");
      break;
    }
    state.PauseTiming();
    if (!check_list(state, &first)) break;
    state.ResumeTiming();
  }
  state.counters["elements"] = first;
}

void FormatAndDraw(benchmark::State& state) {
  build_page(int(state.range(0)));
  int first = 0;
  for (auto _ : state) {
    disable_format_interrupts();
    if (format_page(1, 0) != 1) {
      state.SkipWithError("interrupted");
      break;
    }
    state.PauseTiming();
    if (!check_list(state, &first)) break;
    state.ResumeTiming();
  }
  state.counters["elements"] = first;
}

void FormatDrawAndPlot(benchmark::State& state) {
  build_page(int(state.range(0)));
  offscreen_create(10, 85, 110, 0, 0);
  int first = 0;
  for (auto _ : state) {
    disable_format_interrupts();
    if (format_page(1, 0) != 1) {
      state.SkipWithError("interrupted");
      break;
    }
    state.PauseTiming();
    if (!check_list(state, &first)) break;
    int drawn = 0;
    for (uint32_t p : port_pixels(offscreen_page)) drawn += p != 0xFFFFFF;
    if (drawn < 20000) {
      state.SkipWithError("the page image was not drawn");
      break;
    }
    state.ResumeTiming();
  }
  state.counters["elements"] = first;
}

BENCHMARK(DrawSystem)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(FormatAndDraw)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(FormatDrawAndPlot)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
