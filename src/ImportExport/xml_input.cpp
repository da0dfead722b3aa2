// xml_input.cpp: the layer under the XML tokenizer that turns a document's bytes into UTF-8.
//
// The encoding is settled once, at the first refill, from the first block of the document: a
// byte-order mark (UTF-8, UTF-16 in either order) is taken off and decides; else '<' written
// in two bytes means UTF-16 without a mark; else the XML declaration's encoding, when it names
// ISO-8859-1 or windows-1252, means one byte per character; else the bytes are UTF-8 and go
// through as they are. Each refill then hands the tokenizer its next bytes:
//   - UTF-8 is read where it lies (in the caller's memory or the file's block) up to the next
//     CR, found with memchr, so it costs no copy; a block from a CR on is copied;
//   - the other encodings are decoded into a block of 1024 bytes;
//   - UTF-16 units are decoded one by one; a pair whose halves fall in different reads is
//     kept whole by carrying the undecoded bytes to the front of the next read; a lone
//     surrogate or a dangling odd byte becomes U+FFFD;
//   - 8-bit characters are looked up in the windows-1252 table (ISO-8859-1 files in the wild
//     use its quotes and dashes in 0x80..0x9F, where ISO-8859-1 has only control codes).
// Line ends are normalised here for every encoding: CR LF and a lone CR become LF, also when
// the CR ends one block and the LF begins the next. A UTF-8 document's bytes are checked as
// they are handed out (eight at a time while they are ASCII): where the first byte that begins
// or continues no character lies is kept for the reader's caller, which says so; the bytes
// themselves go on as they are.
#include "ImportExport/xml_input.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <unistd.h>

#include "platform/files.h"

namespace {

constexpr char32_t REPLACEMENT_CHARACTER = 0xFFFD;
// The most bytes of a document in memory handed to the tokenizer at once, when they need no
// decoding.
constexpr size_t UTF8_CHUNK = 64 * 1024;

// The characters of windows-1252 at 0x80..0x9F; its five unassigned bytes keep their code.
constexpr char16_t WINDOWS_1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Reads more bytes from the file after those not yet decoded, which move to the front of the
// block. False when nothing more comes: the end of the file, a failed read, or memory input.
bool read_more_raw(XmlInputBuffer& in) {
  if (in.raw_ended) return false;
  if (in.file < 0) {
    in.raw_ended = true;
    return false;
  }
  const size_t left = in.raw_count - in.raw_position;
  std::memmove(in.raw_block, in.raw_block + in.raw_position, left);
  in.raw_position = 0;
  in.raw_count = left;
  if (left == XML_FILE_BLOCK) return true;
  ssize_t got;
  do {
    got = platform_file_read(in.file, in.raw_block + left, XML_FILE_BLOCK - left);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) {
    in.raw_ended = true;
    in.failed = got < 0;
    return false;
  }
  in.raw_count += static_cast<size_t>(got);
  return true;
}

size_t raw_left(const XmlInputBuffer& in) { return in.raw_count - in.raw_position; }

// Where decoded characters go: the data block. The count and the line-end state are kept
// here, not in the input, so that they stay in registers while a block is decoded.
struct Output {
  uint8_t* data;
  uint32_t n;
  bool after_cr;

  // A character below U+0080, with CR LF and a lone CR made LF.
  void byte(uint8_t b) {
    if (b == '\n' && after_cr) {
      after_cr = false;
      return;
    }
    after_cr = b == '\r';
    data[n++] = after_cr ? '\n' : b;
  }

  // A character from U+0080 on, as UTF-8 (at most 4 bytes).
  void character(char32_t c) {
    after_cr = false;
    uint8_t* out = data + n;
    if (c < 0x800) {
      out[0] = static_cast<uint8_t>(0xC0 | (c >> 6));
      out[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
      n += 2;
    } else if (c < 0x10000) {
      out[0] = static_cast<uint8_t>(0xE0 | (c >> 12));
      out[1] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
      out[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
      n += 3;
    } else {
      out[0] = static_cast<uint8_t>(0xF0 | (c >> 18));
      out[1] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
      out[2] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
      out[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
      n += 4;
    }
  }

  uint32_t finish(XmlInputBuffer& in) const {
    in.after_cr = after_cr;
    return n;
  }
};

// Where the byte at `at` of the block about to be handed out (which begins at `block`) lies.
void position_in_block(const XmlInputBuffer& in, const uint8_t* block, const uint8_t* at,
                       uint64_t* line, uint64_t* column) {
  uint64_t lines = in.lines, start = in.line_start;
  for (const uint8_t* p = block; p < at; ++p)
    if (*p == '\n') ++lines, start = in.handed + uint64_t(p - block) + 1;
  *line = lines + 1;
  *column = in.handed + uint64_t(at - block) - start + 1;
}

// Checks the bytes about to be handed out as UTF-8, carrying a character begun at the end of
// one block into the next; the first byte that is no part of a character is kept.
void check_utf8(XmlInputBuffer& in, const uint8_t* block, size_t n) {
  if (in.bad_utf8_line) return;
  for (size_t i = 0; i < n; ++i) {
    if (in.utf8_needed == 0) {
      // Most of a document is ASCII: eight bytes at a time.
      while (i + 8 <= n) {
        uint64_t word;
        std::memcpy(&word, block + i, 8);
        if (word & 0x8080808080808080ull) break;
        i += 8;
      }
      if (i == n) break;
      const uint8_t b = block[i];
      if (b < 0x80) continue;
      in.utf8_low = 0x80, in.utf8_high = 0xBF;
      in.utf8_taken = 0;
      if (b >= 0xC2 && b <= 0xDF) {
        in.utf8_needed = 1;
      } else if (b >= 0xE0 && b <= 0xEF) {
        in.utf8_needed = 2;
        if (b == 0xE0) in.utf8_low = 0xA0;   // no overlong form
        if (b == 0xED) in.utf8_high = 0x9F;  // no surrogate
      } else if (b >= 0xF0 && b <= 0xF4) {
        in.utf8_needed = 3;
        if (b == 0xF0) in.utf8_low = 0x90;
        if (b == 0xF4) in.utf8_high = 0x8F;  // nothing past U+10FFFF
      } else {
        position_in_block(in, block, block + i, &in.bad_utf8_line, &in.bad_utf8_column);
        return;
      }
      continue;
    }
    const uint8_t b = block[i];
    if (b < in.utf8_low || b > in.utf8_high) {
      // The character broken off is said where it began (in this block).
      const size_t begun = i >= in.utf8_taken + 1u ? i - in.utf8_taken - 1 : 0;
      position_in_block(in, block, block + begun, &in.bad_utf8_line, &in.bad_utf8_column);
      return;
    }
    --in.utf8_needed;
    ++in.utf8_taken;
    in.utf8_low = 0x80, in.utf8_high = 0xBF;
  }
}

// UTF-8 needs no decoding: the tokenizer reads the document's own bytes up to the next CR,
// and from a CR on a block is copied with its line ends made LF.
uint32_t decode_utf8(XmlInputBuffer& in) {
  if (raw_left(in) == 0 && !read_more_raw(in)) return 0;
  const uint8_t* p = in.raw + in.raw_position;
  const size_t n = std::min<size_t>(raw_left(in), UTF8_CHUNK);
  if (!in.after_cr) {
    const auto* cr = static_cast<const uint8_t*>(std::memchr(p, '\r', n));
    const size_t before = cr ? static_cast<size_t>(cr - p) : n;
    if (before > 0) {
      in.next = p;
      in.raw_position += before;
      check_utf8(in, p, before);
      return static_cast<uint32_t>(before);
    }
  }
  // From a CR on: a block copied line by line, each CR LF or lone CR made one LF.
  const size_t copied = std::min<size_t>(n, XML_INPUT_BLOCK);
  Output out{in.data, 0, in.after_cr};
  for (size_t i = 0; i < copied;) {
    if (p[i] == '\r' || p[i] == '\n') {
      out.byte(p[i++]);
      continue;
    }
    const auto* cr = static_cast<const uint8_t*>(std::memchr(p + i, '\r', copied - i));
    const size_t line = (cr ? static_cast<size_t>(cr - p) : copied) - i;
    std::memcpy(out.data + out.n, p + i, line);
    out.n += static_cast<uint32_t>(line);
    out.after_cr = false;
    i += line;
  }
  in.raw_position += copied;
  check_utf8(in, out.data, out.n);
  return out.finish(in);
}

uint32_t decode_windows_1252(XmlInputBuffer& in) {
  Output out{in.data, 0, in.after_cr};
  for (;;) {
    const size_t room = (XML_INPUT_BLOCK - out.n) / 3;  // a character takes at most 3 bytes
    if (room == 0 || (raw_left(in) == 0 && !read_more_raw(in))) break;
    const size_t m = std::min(raw_left(in), room);
    const uint8_t* p = in.raw + in.raw_position;
    for (size_t i = 0; i < m; ++i) {
      const uint8_t b = p[i];
      if (b < 0x80)
        out.byte(b);
      else
        out.character(b < 0xA0 ? WINDOWS_1252_HIGH[b - 0x80] : b);
    }
    in.raw_position += m;
  }
  return out.finish(in);
}

uint32_t decode_utf16(XmlInputBuffer& in) {
  const bool big = in.encoding == XmlEncoding::utf16_be;
  Output out{in.data, 0, in.after_cr};
  for (;;) {
    while (raw_left(in) < 4 && read_more_raw(in)) {  // a pair needs four bytes
    }
    if (out.n + 4 > XML_INPUT_BLOCK) break;
    // Units that surely fit: 3 bytes each, or 4 for a pair that ends past the last one.
    const size_t room = (XML_INPUT_BLOCK - out.n - 1) / 3;
    const size_t available = raw_left(in) / 2;
    if (available == 0) {
      if (raw_left(in) == 1) {  // an odd byte at the very end
        ++in.raw_position;
        out.character(REPLACEMENT_CHARACTER);
      }
      break;
    }
    const uint8_t* p = in.raw + in.raw_position;
    auto unit = [p, big](size_t i) -> char32_t {
      return big ? (char32_t{p[2 * i]} << 8) | p[2 * i + 1]
                 : (char32_t{p[2 * i + 1]} << 8) | p[2 * i];
    };
    const size_t units = std::min(available, room);
    size_t i = 0;
    while (i < units) {
      const char32_t u = unit(i);
      if (u < 0x80) {
        out.byte(static_cast<uint8_t>(u));
      } else if (u < 0xD800 || u > 0xDFFF) {
        out.character(u);
      } else if (u < 0xDC00 && i + 1 < available) {
        const char32_t low = unit(i + 1);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          out.character(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
          ++i;
        } else {
          out.character(REPLACEMENT_CHARACTER);
        }
      } else if (u < 0xDC00 && !in.raw_ended) {
        break;  // the second half is still to be read
      } else {
        out.character(REPLACEMENT_CHARACTER);
      }
      ++i;
    }
    in.raw_position += 2 * i;
  }
  return out.finish(in);
}

bool is_blank(uint8_t c) { return c == ' ' || c == '\r' || c == '\t' || c == '\n'; }

bool same_name(std::string_view name, std::string_view lower_case) {
  return name.size() == lower_case.size() &&
         std::equal(name.begin(), name.end(), lower_case.begin(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
}

// The encoding named by an XML declaration at the start of the bytes; UTF-8 for any other
// name, or when there is no declaration or it has no encoding.
XmlEncoding declared_encoding(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size() && is_blank(static_cast<uint8_t>(bytes[i]))) ++i;
  bytes.remove_prefix(i);
  if (bytes.size() < 6 || bytes.substr(0, 5) != "<?xml" || !is_blank(bytes[5]))
    return XmlEncoding::utf8;
  bytes = bytes.substr(0, bytes.find("?>"));
  size_t at = bytes.find("encoding");
  if (at == std::string_view::npos) return XmlEncoding::utf8;
  at += 8;
  while (at < bytes.size() && is_blank(static_cast<uint8_t>(bytes[at]))) ++at;
  if (at >= bytes.size() || bytes[at] != '=') return XmlEncoding::utf8;
  ++at;
  while (at < bytes.size() && is_blank(static_cast<uint8_t>(bytes[at]))) ++at;
  if (at >= bytes.size() || (bytes[at] != '"' && bytes[at] != '\'')) return XmlEncoding::utf8;
  const size_t end = bytes.find(bytes[at], at + 1);
  if (end == std::string_view::npos) return XmlEncoding::utf8;
  const std::string_view name = bytes.substr(at + 1, end - at - 1);
  for (std::string_view one_byte :
       {"iso-8859-1", "iso8859-1", "iso_8859-1", "iso_8859-1:1987", "latin1", "latin-1", "l1",
        "iso-ir-100", "cp819", "ibm819", "csisolatin1", "windows-1252", "cp1252", "x-cp1252"})
    if (same_name(name, one_byte)) return XmlEncoding::windows_1252;
  return XmlEncoding::utf8;
}

// Settles the encoding from the first block (a declaration must end within it) and takes off
// a byte-order mark.
void detect_encoding(XmlInputBuffer& in) {
  while (raw_left(in) < XML_INPUT_BLOCK && read_more_raw(in)) {
  }
  const uint8_t* p = in.raw + in.raw_position;
  const size_t n = std::min<size_t>(raw_left(in), XML_INPUT_BLOCK);  // alike for memory
  in.encoding = XmlEncoding::utf8;
  if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
    in.encoding = XmlEncoding::utf16_le;
    in.raw_position += 2;
  } else if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) {
    in.encoding = XmlEncoding::utf16_be;
    in.raw_position += 2;
  } else if (n >= 2 && p[0] == '<' && p[1] == 0) {
    in.encoding = XmlEncoding::utf16_le;
  } else if (n >= 2 && p[0] == 0 && p[1] == '<') {
    in.encoding = XmlEncoding::utf16_be;
  } else if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
    in.raw_position += 3;
  } else {
    in.encoding = declared_encoding(std::string_view(reinterpret_cast<const char*>(p), n));
  }
}

}  // namespace

void xml_input_from_file(XmlInputBuffer& input, int file) {
  input = XmlInputBuffer{};
  input.file = file;
  input.raw = input.raw_block;
}

void xml_input_from_memory(XmlInputBuffer& input, const void* bytes, size_t size) {
  input = XmlInputBuffer{};
  static const uint8_t nothing = 0;
  input.raw = bytes ? static_cast<const uint8_t*>(bytes) : &nothing;
  input.raw_count = bytes ? size : 0;
  input.raw_ended = true;
}

namespace {

// The line ends of the block handed out last go into the count before the next one.
void count_block(XmlInputBuffer& input) {
  if (!input.block) return;
  // A search for each line end cost a call for each line.
  const uint8_t* end = input.end;
  const size_t n = size_t(end - input.block);
  uint64_t lines = 0;
  for (size_t i = 0; i < n;) {  // counted in bytes, 255 at a time, which the compiler widens best
    const size_t stop = std::min(n, i + 255);
    uint8_t counted = 0;
    for (; i < stop; ++i) counted += input.block[i] == '\n';
    lines += counted;
  }
  if (lines > 0) {
    input.lines += lines;
    const auto* last = static_cast<const uint8_t*>(memrchr(input.block, '\n', n));
    input.line_start = input.handed + uint64_t(last - input.block) + 1;
  }
  input.handed += n;
  input.block = nullptr;
}

}  // namespace

void xml_input_position(const XmlInputBuffer& input, uint64_t* line, uint64_t* column) {
  uint64_t lines = input.lines, start = input.line_start;
  uint64_t at = input.handed ? input.handed - 1 : 0;  // the input's last byte when it has ended
  if (input.block) {
    const uint8_t* last = input.next > input.block ? input.next - 1 : input.block;
    for (const uint8_t* p = input.block; p < last; ++p) {
      if (*p != '\n') continue;
      ++lines;
      start = input.handed + uint64_t(p - input.block) + 1;
    }
    at = input.handed + uint64_t(last - input.block);
  }
  *line = lines + 1;
  *column = at >= start ? at - start + 1 : 1;
}

bool xml_input_refill(XmlInputBuffer& input) {
  count_block(input);
  input.next = input.end = input.data;
  if (input.at_end) return false;
  if (input.limit && input.handed > input.limit) {
    input.too_big = input.at_end = true;
    return false;
  }
  if (input.encoding == XmlEncoding::unknown) detect_encoding(input);
  for (;;) {
    uint32_t count;
    switch (input.encoding) {
      case XmlEncoding::utf16_le:
      case XmlEncoding::utf16_be:
        count = decode_utf16(input);
        break;
      case XmlEncoding::windows_1252:
        count = decode_windows_1252(input);
        break;
      default:
        count = decode_utf8(input);
        break;
    }
    if (count > 0) {
      input.end = input.next + count;
      input.block = input.next;
      return true;
    }
    // Nothing decoded: a block that held only the LF of a CR LF, or the end.
    if (input.raw_ended && raw_left(input) == 0) {
      input.at_end = true;
      return false;
    }
  }
}
