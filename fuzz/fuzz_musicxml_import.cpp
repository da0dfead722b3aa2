// fuzz_musicxml_import.cpp: the MusicXML import's two passes over arbitrary bytes. After an
// import the voice lists must be sound; once they are freed (or after a refused document)
// the node store must hold as many live nodes as before.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ImportExport/musicxml_services.h"
#include "fuzz_support.h"
#include "model/model_services.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  start_fuzzed_program(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int32_t live_before = live_nodes();
  if (import_musicxml_memory(data, size, 0)) {
    std::string problems;
    if (check_voice_lists(&problems) != 0) {
      std::fprintf(stderr, "unsound voice lists after the import:\n%s", problems.c_str());
      std::abort();
    }
  }
  discard_piece_lists();
  clear_undo(1);
  if (live_nodes() != live_before) {
    std::fprintf(stderr, "the import left %ld nodes in the store\n",
                 long(live_nodes() - live_before));
    std::abort();
  }
  return 0;
}
