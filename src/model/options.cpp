// options.cpp: big-endian fields of the options records.
#include "model/options.h"

#include <cstring>

#include "model/node_fields.h"

namespace {
uint8_t* field(int context, int offset, int bytes) {
  static uint8_t scratch[4];
  if (context < 1 || context > MAX_NCONTEXTS || offset < 0 || offset + bytes > OPTIONS_SIZE) {
    std::memset(scratch, 0, sizeof scratch);
    return scratch;  // out of range: reads 0, writes go nowhere
  }
  return options_struct[context] + offset;
}
}  // namespace

int16_t options_i16(int context, int offset) {
  return int16_t(load_big_endian(field(context, offset, 2), 2));
}
void set_options_i16(int context, int offset, int16_t value) {
  store_big_endian(field(context, offset, 2), 2, uint16_t(value));
}
int32_t options_i32(int context, int offset) {
  return int32_t(load_big_endian(field(context, offset, 4), 4));
}
void set_options_i32(int context, int offset, int32_t value) {
  store_big_endian(field(context, offset, 4), 4, uint32_t(value));
}
float options_float(int context, int offset) {
  uint32_t bits = load_big_endian(field(context, offset, 4), 4);
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
void set_options_float(int context, int offset, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  store_big_endian(field(context, offset, 4), 4, bits);
}

int32_t current_min_line_width() { return options_i16(current_ncontext, OPTIONS_MIN_LINE_WIDTH); }
