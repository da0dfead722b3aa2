// hit_test_bench.cpp: the cost of one click on a full page: a letter page holding one system of
// sixteen staves and four bars, as many as fit the line (a clef, key and time signature,
// quarters and beamed eighths with accidentals, and a triplet in every bar: about 2,400
// elements), formatted into its GE list, and the element nearest to a point found in it. Every
// click walks the whole list; what differs is how soon a near element is met, after which only
// the texts and glyphs level with the click are measured.
//   ClickHead/0:  the first head of the top staff (best: near from the start of the list)
//   ClickHead/1:  a head of the bottom staff's last bar (near only at the end of the list)
//   ClickOffPage: below the page's bottom edge (worst: nothing near, the best distance falls
//                 slowly)
// Tuplet numbers are not drawn yet; once they are, their text runs add to what is measured.
// Every run checks what it found: the note clicked, or for the click off the page an element
// of the bottom staff.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/application.h"
#include "platform/fonts.h"
#include "support/bench_support.h"
#include "support/piece_builder.h"

namespace {

constexpr int STAVES = 16, BARS = 4;

struct Page {
  Drosa first_note, last_bar_note;  // of the top staff; of the bottom staff's last bar
  int elements = 0;
};

Page build_page() {
  fresh_letter_page_program();
  Page page;
  for (int staff = 0; staff < STAVES; ++staff) {
    int v = new_voice("Part", 0, staff);
    add_clef(v, staff % 2);
    Drosa key = add(v, KEYSIG);
    key->set(xkeycnt, uint8_t(2));
    key->set(xkeysig_entry, 0, uint8_t(10));
    key->set(xkeysig_entry, 1, uint8_t(7));
    add_timesig(v, 4, 4);
    for (int bar = 0; bar < BARS; ++bar) {
      const int top = staff % 2 ? 28 : 40;
      Drosa first = add_note(v, QUARTER, top);
      if (staff == 0 && bar == 0) page.first_note = first;
      if (staff == STAVES - 1 && bar == BARS - 1) page.last_bar_note = first;
      Drosa sharp = add_note(v, EIGHTH, top + 1);
      sharp->set(xacc, 4);
      sharp->set(xaccplot, 1);
      add_note(v, EIGHTH, top + 2);
      for (int i = 0; i < 3; ++i) make_tuplet(add_note(v, EIGHTH, top + i), 3, 2);
      add_note(v, EIGHTH, top + 1);
      add_bar(v);
    }
  }
  count_pages();
  disable_format_interrupts();
  if (format_page(1, 0) != 1 || pstaff_count != STAVES) {
    std::fprintf(stderr, "the page was not formatted as built\n");
    std::abort();
  }
  for (Drosa p = GE_head->xnext; p; p = p->xnext) ++page.elements;
  return page;
}

// One click after another at the same point; the element found must belong to `expected`
// (NIL: to a note of the bottom staff).
void run(benchmark::State& state, Page page, int32_t x, int32_t y, Drosa expected) {
  for (auto _ : state) {
    Drosa element = NIL, owner = NIL;
    int32_t distance = 0;
    find_nearest_GE(x, y, &element, &owner, &distance);
    benchmark::DoNotOptimize(element);
    const bool right =
        expected ? owner == expected : owner && Find_pstaff(owner, 1) == STAVES - 1 && distance > 0;
    if (!right) state.SkipWithError("the click found the wrong element");
  }
  state.counters["elements"] = page.elements;
}

void ClickHead(benchmark::State& state) {
  Page page = build_page();
  Drosa note = state.range(0) ? page.last_bar_note : page.first_note;
  Drosa nt = note->xnext;
  run(state, page, nt->get(xhdx) + 10, nt->get(xhdy) + 10, note);
}

void ClickOffPage(benchmark::State& state) {
  Page page = build_page();
  run(state, page, 3000, -5000, NIL);
}

BENCHMARK(ClickHead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(ClickOffPage)->Unit(benchmark::kMicrosecond);

}  // namespace
