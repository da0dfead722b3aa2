// text_numbers.h: numbers read from text that comes from outside the program (piece files,
// documents, annotation texts), the same in every locale and never undefined on overflow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Reads a decimal integer at the start of text as a scan of "%d" would in the C locale
// (blanks, an optional sign, digits) and checks that it lies in low..high. Returns the number
// of characters read, or 0 when there is no number or it lies outside the range; value is
// set only on success.
size_t scan_decimal(std::string_view text, int64_t low, int64_t high, int64_t* value);

// Reads a decimal real number (blanks, an optional sign, digits with an optional point and
// exponent) at the start of text to single precision. Returns the number of characters read,
// or 0 when there is no number or it lies beyond single precision's range (too large, or too
// small to be held with full precision); infinities and NaN are not numbers here.
size_t scan_single(std::string_view text, float* value);
