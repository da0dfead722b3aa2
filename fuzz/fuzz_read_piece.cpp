// fuzz_read_piece.cpp: the piece reader over arbitrary bytes, in scripted mode with Yes
// answered to every question, once as read and once with Shift held (the reader then goes on
// past damage). After each read the voice lists must be sound, and once they are freed the node
// store must hold as many live nodes as before.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/script.h"

namespace {

void read_once(const uint8_t* data, size_t size, bool shift) {
  script_begin();
  platform_set_test_modifiers(shift, shift ? MOD_SHIFT : 0);
  // Shift stays held while the questions are answered.
  for (int i = 0; i < 8; ++i) script_hit(1, shift ? MOD_SHIFT : 0);
  const int32_t live_before = live_nodes();
  if (read_piece_from_memory(data, size)) {
    std::string problems;
    if (check_voice_lists(&problems) != 0) {
      std::fprintf(stderr, "unsound voice lists after reading:\n%s", problems.c_str());
      std::abort();
    }
  }
  discard_piece_lists();
  if (live_nodes() != live_before) {
    std::fprintf(stderr, "reading left %ld nodes in the store (undo %ld)\n",
                 long(live_nodes() - live_before), long(undo_node_count));
    std::abort();
  }
  script_take_faults();  // questions beyond the answers given were cancelled
  script_take_shown();
  script_end();
  DrosaDirty = 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  start_fuzzed_program(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  read_once(data, size, false);
  read_once(data, size, true);
  return 0;
}
