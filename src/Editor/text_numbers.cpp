// text_numbers.cpp: integers and reals read from outside text with std::from_chars, which
// knows no locale, and with every value checked against its range before it is used.
#include "Editor/text_numbers.h"

#include <cctype>
#include <charconv>
#include <limits>
#include <system_error>

namespace {

bool is_blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The blanks and the sign before a number: how many characters they take.
size_t skip_blanks_and_sign(std::string_view text, bool* negative) {
  size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  *negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) *negative = text[i++] == '-';
  return i;
}

}  // namespace

size_t scan_decimal(std::string_view text, int64_t low, int64_t high, int64_t* value) {
  bool negative;
  size_t start = skip_blanks_and_sign(text, &negative);
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  uint64_t magnitude = 0;
  auto [end, error] = std::from_chars(first, last, magnitude);
  if (end == first || error != std::errc()) return 0;
  // Beyond 2^63 no int64_t range can hold it, whatever its sign.
  if (magnitude > uint64_t(std::numeric_limits<int64_t>::max()) + (negative ? 1 : 0)) return 0;
  int64_t number = negative ? int64_t(0 - magnitude) : int64_t(magnitude);
  if (number < low || number > high) return 0;
  *value = number;
  return size_t(end - text.data());
}

size_t scan_single(std::string_view text, float* value) {
  bool negative;
  size_t start = skip_blanks_and_sign(text, &negative);
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  if (first == last || !(std::isdigit(static_cast<unsigned char>(*first)) || *first == '.'))
    return 0;  // "inf" and "nan" are not numbers here
  float number = 0;
  auto [end, error] = std::from_chars(first, last, number, std::chars_format::general);
  if (end == first || error != std::errc()) return 0;
  *value = negative ? -number : number;
  return size_t(end - text.data());
}
