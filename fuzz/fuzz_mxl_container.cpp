// fuzz_mxl_container.cpp: the reader of compressed MusicXML files over arbitrary bytes. It
// gives either a document no larger than its limit and no message, or a message and no
// document; any read outside the bytes is a sanitizer report.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ImportExport/musicxml_services.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr uint64_t LIMIT = 16u << 20;  // small, so that a claim past it is refused quickly
  std::string document, message;
  const int read = read_mxl_container(data, size, "fuzzed.mxl", LIMIT, &document, &message);
  if (read ? !message.empty() || document.size() > LIMIT : message.empty() || !document.empty()) {
    std::fprintf(stderr, "read %d with %zu bytes and the message '%s'\n", read, document.size(),
                 message.c_str());
    std::abort();
  }
  return 0;
}
