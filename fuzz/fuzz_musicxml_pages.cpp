// fuzz_musicxml_pages.cpp: a MusicXML document of arbitrary bytes imported as opening it does
// (systems and pages made, every page formatted), then every page formatted again and drawn
// into the page image. Documents longer than DOCUMENT_LIMIT bytes, or pieces of more than
// FORMAT_NODE_LIMIT nodes, are only imported: formatting and drawing are linear in the page,
// and the target must stay fast. The voice lists must be sound after the import and after
// every page. Each input is imported and drawn twice: once the piece and the page's graphics
// are freed, the second time must leave as many live nodes as the first.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ImportExport/musicxml_services.h"
#include "fuzz_support.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/script.h"

namespace {

constexpr size_t DOCUMENT_LIMIT = 64 * 1024;
constexpr int32_t FORMAT_NODE_LIMIT = 20000;
constexpr int32_t PAGE_LIMIT = 12;

int32_t stored_nodes() {
  int32_t n = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) ++n;
  return n;
}

void abort_when_unsound(const char* after) {
  std::string problems;
  if (check_voice_lists(&problems) != 0) {
    std::fprintf(stderr, "unsound voice lists after %s:\n%s", after, problems.c_str());
    std::abort();
  }
}

void draw_pages() {
  if (!offscreen_create(0, options_i32(std::max<int>(current_ncontext, 1), OPTIONS_PAGE_WIDTH),
                        options_i32(std::max<int>(current_ncontext, 1), OPTIONS_PAGE_HEIGHT), 0, 0))
    return;
  for (int32_t page = 1; page <= std::min<int32_t>(page_count, PAGE_LIMIT); ++page) {
    format_page(page, 0);
    abort_when_unsound("formatting a page");
    offscreen_erase();
    platform_set_port(offscreen_page);
    plot_GE_list(port_bounds(offscreen_page), PLOT_SCREEN, 0);
    platform_set_port(nullptr);
  }
  offscreen_dispose();
}

void import_and_draw(const uint8_t* data, size_t size) {
  script_begin();
  for (int i = 0; i < 8; ++i) script_hit(1);  // the Systems dialog and its questions: OK
  const bool small = size <= DOCUMENT_LIMIT;
  if (import_musicxml_memory(data, size, small ? 1 : 0)) {
    abort_when_unsound("importing");
    if (small && stored_nodes() <= FORMAT_NODE_LIMIT) draw_pages();
  }
  GEinit(0);
  discard_piece_lists();
  clear_undo(1);
  script_take_faults();
  script_take_shown();
  script_end();
  DrosaDirty = 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  start_fuzzed_program(argc, argv);
  platform_init_fonts();
  disable_format_interrupts();
  read_header(nullptr);  // the options of a new piece, which the import starts from
  voice_count = 0;
  GE_head = newDrosa(GE_CHAR, 0);  // the view's list head, as opening a view makes it
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  import_and_draw(data, size);
  const int32_t live_after_first = live_nodes();
  import_and_draw(data, size);
  if (live_nodes() != live_after_first) {
    std::fprintf(stderr, "importing and drawing left %ld nodes in the store\n",
                 long(live_nodes() - live_after_first));
    std::abort();
  }
  return 0;
}
