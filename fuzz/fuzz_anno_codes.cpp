// fuzz_anno_codes.cpp: the escape-code parser and builder of annotation text over arbitrary
// text. The parser never reads past the text; the characters it gives, grouped into style runs
// and written back as coded text, parse into the same characters again (unless the text used
// a font switch, which the builder never writes, or drove a size past what a size holds).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "fuzz_support.h"
#include "support/anno_text.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  start_fuzzed_program(argc, argv);
  return 0;
}

namespace {

// Characters that the runs of an annotation can hold as they are.
bool storable(const std::vector<ParsedChar>& chars) {
  for (const ParsedChar& c : chars)
    if (c.y < 0 || c.y > 255 || c.x < -128 || c.x > 127) return false;
  return !chars.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int32_t live_before = live_nodes();
  const std::vector<ParsedChar> first = parse_coded(text);
  if (anno_parse_state.font_override_set || anno_parse_state.size_clamped || !storable(first))
    return 0;
  const CodedText built = build_coded(first);
  const std::vector<ParsedChar> again = parse_coded(built);
  if (again != first) {
    std::fprintf(stderr, "coded text %s parses into other runs than the text it was built from\n",
                 built.text.c_str());
    std::abort();
  }
  if (live_nodes() != live_before) {
    std::fprintf(stderr, "building the coded text left nodes behind\n");
    std::abort();
  }
  return 0;
}
