// text_encoding.cpp: Mac OS Roman <-> Unicode by a table of our own, and a strict UTF-8
// decoder.
//
// Bytes 0x00-0x7F are ASCII. The upper half follows the modern mapping (0xDB is the euro
// sign, 0xF0 the Apple logo in the private use area). Every byte maps to a distinct code
// point, so byte -> UTF-8 -> byte gives back the same byte. A few code points that older
// mappings or common text use for the same characters are accepted as well on the way in.
#include "platform/text_encoding.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace {

// The code points of the bytes 0x80-0xFF.
constexpr std::array<char16_t, 128> UPPER_HALF = {
    // 0x80
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // Ä Å Ç É Ñ Ö Ü á
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // à â ä ã å ç é è
    // 0x90
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // ê ë í ì î ï ñ ó
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // ò ô ö õ ú ù û ü
    // 0xA0
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // † ° ¢ £ § • ¶ ß
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // ® © ™ ´ ¨ ≠ Æ Ø
    // 0xB0
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // ∞ ± ≤ ≥ ¥ µ ∂ ∑
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // ∏ π ∫ ª º Ω æ ø
    // 0xC0
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // ¿ ¡ ¬ √ ƒ ≈ ∆ «
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // » … nbsp À Ã Õ Œ œ
    // 0xD0
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // – — “ ” ‘ ’ ÷ ◊
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // ÿ Ÿ ⁄ € ‹ › ﬁ ﬂ
    // 0xE0
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // ‡ · ‚ „ ‰ Â Ê Á
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // Ë È Í Î Ï Ì Ó Ô
    // 0xF0
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // Apple Ò Ú Û Ù ı ˆ ˜
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // ¯ ˘ ˙ ˚ ¸ ˝ ˛ ˇ
};

// Other code points for characters the encoding has.
struct Alias {
  char32_t code_point;
  uint8_t byte;
};
constexpr Alias ALIASES[] = {
    {0x00A4, 0xDB},  // currency sign, where the euro sign now stands
    {0x0394, 0xC6},  // Greek capital delta for the increment sign
    {0x03BC, 0xB5},  // Greek small mu for the micro sign
    {0x2126, 0xBD},  // ohm sign for Greek capital omega
};

// The upper half sorted by code point, for the way back.
struct Reverse {
  std::array<std::pair<char16_t, uint8_t>, 128> entries;
};

const Reverse& reverse_table() {
  static const Reverse table = [] {
    Reverse r;
    for (std::size_t i = 0; i < UPPER_HALF.size(); ++i)
      r.entries[i] = {UPPER_HALF[i], static_cast<uint8_t>(0x80 + i)};
    std::sort(r.entries.begin(), r.entries.end());
    return r;
  }();
  return table;
}

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes one character at utf8[i]. Returns the number of bytes it takes and sets *code_point,
// or returns the length of the malformed part (at least 1) and sets *code_point to
// REPLACEMENT_CHARACTER. Overlong forms, surrogates and values past U+10FFFF are malformed.
std::size_t decode_utf8(std::string_view utf8, std::size_t i, char32_t* code_point) {
  const unsigned char lead = static_cast<unsigned char>(utf8[i]);
  *code_point = REPLACEMENT_CHARACTER;
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  }
  std::size_t length;
  char32_t value;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return 1;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (i + k >= utf8.size()) return k;
    const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
    if (!is_continuation(c)) return k;
    if (k == 1 && (c < low || c > high)) return k;
    value = (value << 6) | (c & 0x3F);
  }
  *code_point = value;
  return length;
}

}  // namespace

char32_t macroman_to_unicode(uint8_t byte) {
  return byte < 0x80 ? char32_t{byte} : char32_t{UPPER_HALF[byte - 0x80]};
}

uint8_t unicode_to_macroman(char32_t code_point, uint8_t replacement) {
  if (code_point < 0x80) return static_cast<uint8_t>(code_point);
  if (code_point <= 0xFFFF) {
    const auto& entries = reverse_table().entries;
    const char16_t key = static_cast<char16_t>(code_point);
    auto it = std::lower_bound(entries.begin(), entries.end(), key,
                               [](const auto& entry, char16_t k) { return entry.first < k; });
    if (it != entries.end() && it->first == key) return it->second;
  }
  for (const Alias& alias : ALIASES)
    if (alias.code_point == code_point) return alias.byte;
  return replacement;
}

void append_utf8(std::string& out, char32_t code_point) {
  if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF))
    code_point = REPLACEMENT_CHARACTER;
  if (code_point < 0x80) {
    out += static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    out += static_cast<char>(0xC0 | (code_point >> 6));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    out += static_cast<char>(0xE0 | (code_point >> 12));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code_point >> 18));
    out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code_point & 0x3F));
  }
}

std::string macroman_to_utf8(std::string_view macroman) {
  std::string out;
  out.reserve(macroman.size());
  for (char c : macroman) append_utf8(out, macroman_to_unicode(static_cast<uint8_t>(c)));
  return out;
}

std::string utf8_to_macroman(std::string_view utf8, uint8_t replacement) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    char32_t code_point;
    i += decode_utf8(utf8, i, &code_point);
    const uint8_t byte = code_point == REPLACEMENT_CHARACTER
                             ? replacement
                             : unicode_to_macroman(code_point, replacement);
    out += static_cast<char>(byte);
  }
  return out;
}
