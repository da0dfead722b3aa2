// fuzz_format_piece.cpp: a piece read from arbitrary bytes, then made ready as opening it does
// (parameters, pages counted) and its first page formatted. Pieces whose voice lists hold more
// than FORMAT_NODE_LIMIT nodes are only read: formatting is linear in the page, and the target
// must stay fast. Afterwards the voice lists must be sound. The layout keeps some nodes of its
// own from page to page (the heads of its staff chains), so each input is read and formatted
// twice: once the piece and the page's graphics are freed, the second time must leave as many
// live nodes as the first.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/events.h"
#include "platform/script.h"

namespace {

constexpr int32_t FORMAT_NODE_LIMIT = 20000;

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

void read_and_format(const uint8_t* data, size_t size) {
  script_begin();
  for (int i = 0; i < 8; ++i) script_hit(1);  // Yes to every question
  if (read_piece_from_memory(data, size)) {
    abort_when_unsound("reading");
    if (stored_nodes() <= FORMAT_NODE_LIMIT) {
      requested_page = 1;
      std::fill(page_start, page_start + MAX_VOICES, NIL);
      param_init();
      rebuild_param_nodes();
      prepare_piece();
      abort_when_unsound("formatting the first page");
    }
  }
  GEinit(0);
  discard_piece_lists();
  clear_undo(1);
  script_take_faults();
  script_take_shown();
  script_end();
  DrosaDirty = 0;
}

// With VESK_FUZZ_REPORTS set, every report but a message to the user is written out, to find
// the input that reaches the program's internal reports.
void print_report(int16_t level, const char* text) {
  if (level != 2) std::fprintf(stderr, "report %d: %s\n", level, text);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  start_fuzzed_program(argc, argv);
  if (std::getenv("VESK_FUZZ_REPORTS")) set_report_observer(print_report);
  disable_format_interrupts();
  GE_head = newDrosa(GE_CHAR, 0);  // the view's list head, as opening a view makes it
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  read_and_format(data, size);
  const int32_t live_after_first = live_nodes();
  read_and_format(data, size);
  if (live_nodes() != live_after_first) {
    std::fprintf(stderr, "reading and formatting left %ld nodes in the store\n",
                 long(live_nodes() - live_after_first));
    std::abort();
  }
  return 0;
}
