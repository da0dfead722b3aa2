// fuzz_read_log.cpp: the reader of console log files (RTF, UTF-16, UTF-8, Mac OS Roman) over
// arbitrary bytes, with the text written back in every format.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/console_services.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<ConsoleStyledRun> runs = console_decode_log(bytes);
  for (int format = 0; format < LOG_FORMAT_COUNT; ++format)
    console_encode_log(runs, format, "Monaco", 10);
  console_read_rtf(bytes);
  return 0;
}
