// options.cpp: big-endian fields of the options records: one per notation context (1..) and
// record 0, the scratch copy the Layout and Options dialogs edit before it is kept. A read
// outside the records reports and gives the field of a new piece's record; a write outside
// them reports and changes nothing.
#include "model/options.h"

#include <cstring>

#include "model/error_report.h"
#include "model/node_fields.h"

namespace {

bool field_fits(int offset, int bytes) { return offset >= 0 && offset + bytes <= OPTIONS_SIZE; }

// The field of the context's record; NIL (reported as the routine's bad call) when there is
// no such record or field.
uint8_t* field(const char* routine, int context, int offset, int bytes) {
  if (context >= 0 && context <= MAX_NCONTEXTS && field_fits(offset, bytes))
    return options_struct[context] + offset;
  REPORT_ERROR(4, "Bad call to %s: context %d, offset %d", routine, context, offset);
  return nullptr;
}

uint32_t load(const char* routine, int context, int offset, int bytes) {
  if (const uint8_t* at = field(routine, context, offset, bytes)) return load_big_endian(at, bytes);
  if (!field_fits(offset, bytes)) return 0;
  uint8_t record[OPTIONS_SIZE];
  default_options(record);
  return load_big_endian(record + offset, bytes);
}

void store(const char* routine, int context, int offset, int bytes, uint32_t value) {
  if (uint8_t* at = field(routine, context, offset, bytes)) store_big_endian(at, bytes, value);
}

}  // namespace

void default_options(uint8_t* record) {
  std::memset(record, 0, OPTIONS_SIZE);
  store_big_endian(record + OPTIONS_PAGE_WIDTH, 4, 76);
  store_big_endian(record + OPTIONS_PAGE_HEIGHT, 4, 101);
  for (int offset : {8, 10, 12, 14, 16, 38, 40, 68, 72, 80})
    store_big_endian(record + offset, 2, 1);
  const float spacing = 0.7f, scale = 10.0f;
  uint32_t bits;
  std::memcpy(&bits, &spacing, sizeof bits);
  store_big_endian(record + OPTIONS_NOTE_SPACING, 4, bits);
  for (int offset : {22, 30, 34, 88, 92}) store_big_endian(record + offset, 4, 200);
  store_big_endian(record + 26, 4, 400);
  store_big_endian(record + 50, 4, 900);
  store_big_endian(record + 54, 4, 1200);
  store_big_endian(record + 58, 4, 550);
  store_big_endian(record + 62, 4, 550);
  store_big_endian(record + OPTIONS_MIN_LINE_WIDTH, 2, 4);
  std::memcpy(&bits, &scale, sizeof bits);
  store_big_endian(record + OPTIONS_SCALE, 4, bits);
}

int16_t options_i16(int context, int offset) {
  return int16_t(load("options_i16", context, offset, 2));
}
void set_options_i16(int context, int offset, int16_t value) {
  store("set_options_i16", context, offset, 2, uint16_t(value));
}
int32_t options_i32(int context, int offset) {
  return int32_t(load("options_i32", context, offset, 4));
}
void set_options_i32(int context, int offset, int32_t value) {
  store("set_options_i32", context, offset, 4, uint32_t(value));
}
float options_float(int context, int offset) {
  const uint32_t bits = load("options_float", context, offset, 4);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
void set_options_float(int context, int offset, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  store("set_options_float", context, offset, 4, bits);
}

int32_t current_min_line_width() { return options_i16(current_ncontext, OPTIONS_MIN_LINE_WIDTH); }
