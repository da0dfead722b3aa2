// fuzz_console_scan.cpp: the console's scanner over arbitrary bytes cut into arbitrary pieces,
// as pipe reads would cut them. No run may hold an ESC, an open escape sequence stays within
// its bound, and no more than three bytes of a UTF-8 sequence wait.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "console/console_services.h"

namespace {

void check_run(void* context, const char* bytes, size_t length, AttributeWords) {
  for (size_t i = 0; i < length; ++i)
    if (bytes[i] == 27) std::abort();
  *static_cast<size_t*>(context) += console_system_to_utf16({bytes, length}).size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  console_record record;
  record.options = data[0] & CONSOLE_SYSTEM_TEXT;
  const uint32_t word1 = (data[0] & 1) ? ATTR_CURRENT : (uint32_t(data[0]) << 16);
  const size_t step = 1 + data[1] % 17;  // the length of each piece
  size_t shown = 0;
  ConsoleScanSink sink;
  sink.context = &shown;
  sink.run = check_run;
  for (size_t at = 2; at < size; at += step) {
    const size_t length = at + step <= size ? step : size - at;
    console_scan(&record, reinterpret_cast<const char*>(data + at), length, {word1, 0}, sink);
    if (record.escape.size() > CONSOLE_ESCAPE_LIMIT || record.pending_utf8_count > 3) std::abort();
  }
  return 0;
}
