// selection_bench.cpp: the selection on the large score the shared generator writes (16 staves
// of 400 bars of 4/4, about 70 notes a bar, one system of four bars a page), imported whole.
//   SelectAllAndRedraw:   every drawn note of page 1 selected and marked, the page drawn afresh
//                         from its GE list with the marks put back, and the group ended
//   VoiceMarksMoved:      with voice highlighting on, the selected voice moved from the first
//                         staff to the last (two voices repainted of sixteen)
//   AssignEveryNote/0:    a switch of the note itself (staccato) given to every note of the
//                         piece through the field assignment, with undo, and undone
//   AssignEveryNote/1:    the worst case: a tie-and-slur modifier made before every note
//   ArrowStep/1, /100:    a step of the insertion point to the next note, with its scroll and
//                         copy to the window, on the page of bar 1 and of bar 397: the cost must
//                         not grow with the bars before the note
// Every run checks what it did: the notes selected and unselected, the field set on every note
// and cleared by the undo, the note stepped to.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/bench_support.h"

namespace {

constexpr int STAVES = 16;

// Imports the score once and keeps it; false when the generator cannot run.
bool load_score() {
  static bool loaded = false;
  if (loaded) return voice_count == STAVES;
  loaded = true;
  if (!import_generated_score(16, 400)) return false;
  return voice_count == STAVES;
}

// The page on the screen, formatted unless it is shown already (after the import formatted
// every page, the graphics list is the last page's).
void show_page(int32_t page) {
  if (current_page == page && GE_list_complete && !page_graphics_stale) return;
  current_page = page;
  disable_format_interrupts();
  format_page(page, 0);
}

std::vector<Drosa> drawn_notes() {
  std::vector<Drosa> notes;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = page_start[v]->xnext; p && !(effective_kind(p) == ENDSYST && p->get(xendpage));
         p = p->xnext)
      if (is_plotted_note(p)) notes.push_back(p);
  return notes;
}

void SelectAllAndRedraw(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be imported");
  show_page(1);
  set_insertion_point(NIL, 0, -10);
  const std::vector<Drosa> notes = drawn_notes();
  for (auto _ : state) {
    begin_group_selection();
    for (Drosa n : notes) toggle_xselected(n, 1);
    redraw_view();
    end_group_selection(0);
  }
  for (Drosa n : notes)
    if (n->get(xselected)) return state.SkipWithError("a note stayed selected");
  state.counters["notes"] = double(notes.size());
}

void VoiceMarksMoved(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be imported");
  show_page(1);
  set_selected_voice(0);
  voice_highlighted = 1;
  const std::vector<uint32_t> plain = port_pixels(offscreen_page);
  highlight_voice(-10, 0);
  const std::vector<uint32_t> marked = port_pixels(offscreen_page);
  for (auto _ : state) {
    highlight_voice(0, STAVES - 1);
    highlight_voice(STAVES - 1, 0);
  }
  if (port_pixels(offscreen_page) != marked || marked == plain)
    return state.SkipWithError("the voice marks did not come back as they were");
  highlight_voice(0, -10);
  voice_highlighted = 0;
}

void AssignEveryNote(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be imported");
  const NodeField& field = state.range(0) ? static_cast<const NodeField&>(xhangRslur) : xstacc;
  long notes = 0;
  for (auto _ : state) {
    set_undo_mark(0);
    gselect_field_name = &field;
    gselect_field_value = 1;
    notes = 0;
    for (int v = 0; v < voice_count; ++v)
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (p->xkind == NOTE) {
          do_note_field_assignment(p);
          ++notes;
        }
    set_undo_mark(0);
    undo_redo(1);
  }
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE && p->get(xstacc)) return state.SkipWithError("the undo left a field");
  clear_undo(1);
  state.counters["notes"] = double(notes);
}

void ArrowStep(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be imported");
  const int32_t bar = int32_t(state.range(0));
  show_page(find_measure_any_voice(bar));
  Drosa start = find_measure_start(bar, 0);
  if (!is_plotted_note(start)) return state.SkipWithError("the bar is not on its page");
  Drosa next = find_next_kind(NOTE, start);
  item_enabled_flags.next_note = 1;  // as the menu pass leaves it with a note to go to
  for (auto _ : state) {
    set_insertion_point(start, 0, -10);
    move_selection_by_key(29, 0, 0, 0);  // Right, as the arrow key
    if (insertion_point != next) return state.SkipWithError("the step went elsewhere");
  }
}

BENCHMARK(SelectAllAndRedraw)->Unit(benchmark::kMillisecond);
BENCHMARK(VoiceMarksMoved)->Unit(benchmark::kMillisecond);
BENCHMARK(AssignEveryNote)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(ArrowStep)->Arg(1)->Arg(397)->Unit(benchmark::kMicrosecond);

}  // namespace
