// fuzz_xml_read.cpp: the XML reader over arbitrary bytes, from memory and from a file, with
// callbacks that use every accessor of the element record and convert the texts they see.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

#include "ImportExport/musicxml_services.h"

namespace {

// Reads everything a start callback may read, so that a bad record shows up as a sanitizer
// report.
int visit_start(const char* name, XmlElement& element, void* user) {
  size_t& sum = *static_cast<size_t*>(user);
  sum += std::strlen(name);
  sum += static_cast<size_t>(xml_text_int(element));
  sum += static_cast<size_t>(xml_text_double(element) > 0);
  for (int32_t i = 0; i < element.attribute_count; ++i) {
    const char* attribute = xml_element_text(element.attribute_names[i]);
    const char* value = xml_attr(element, attribute);
    sum += value ? std::strlen(value) : 0;
    sum += static_cast<size_t>(xml_attr_int(element, attribute));
    sum += static_cast<size_t>(xml_attr_double(element, attribute) > 0);
  }
  for (int32_t level = -1; level <= element.depth; ++level)
    sum += std::strlen(xml_open_element_name(element, level));
  sum += static_cast<size_t>(xml_open_element_level(element, name));
  sum += static_cast<size_t>(xml_open_element_level_either(element, "part", name));
  char system_text[64];
  if (utf8_to_system_text(xml_element_text(element.text), system_text, sizeof system_text)) {
    char utf8[96];
    sum += static_cast<size_t>(system_to_utf8_text(system_text, utf8, sizeof utf8));
  }
  return 0;
}

int visit_end(const char* name, void* user) {
  *static_cast<size_t*>(user) += std::strlen(name);
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t sum = 0;
  xml_read_memory(data, size, visit_start, visit_end, &sum, 16, 16, 16);
  // Small stacks and a step of 1 reach the limits and the growth rule more often.
  xml_read_memory(data, size, visit_start, visit_end, &sum, 3, 2, 1);
  // From a file the bytes come in blocks, so a character or a pair can straddle two reads;
  // both ways must read alike.
  static const int file = memfd_create("fuzz_xml_read", 0);
  if (file >= 0 && ftruncate(file, 0) == 0 &&
      pwrite(file, data, size, 0) == static_cast<ssize_t>(size) && lseek(file, 0, SEEK_SET) == 0) {
    size_t from_file = 0, from_memory = 0;
    const int32_t file_code = xml_read(file, visit_start, visit_end, &from_file, 16, 16, 16);
    const int32_t memory_code =
        xml_read_memory(data, size, visit_start, visit_end, &from_memory, 16, 16, 16);
    if (file_code != memory_code || from_file != from_memory) std::abort();
  }
  return 0;
}
