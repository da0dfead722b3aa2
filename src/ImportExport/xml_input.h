// xml_input.h: the XML reader's input. It reads a document from a file descriptor or from
// memory and hands the tokenizer UTF-8 in blocks of 1024 bytes, whatever the document was
// written in, with every line end made a line feed.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint32_t XML_INPUT_BLOCK = 1024;
// A file is read this many bytes at a time: a large document in blocks of the decoded size
// took a system call for every kilobyte.
inline constexpr uint32_t XML_FILE_BLOCK = 64 * 1024;

// How the document's bytes become UTF-8. Told by the byte-order mark, else by the first
// character ('<' in two bytes is UTF-16), else by the encoding the XML declaration names;
// UTF-8 when none of these says otherwise. ISO-8859-1 is read as its superset windows-1252.
enum class XmlEncoding : uint8_t { unknown, utf8, utf16_le, utf16_be, windows_1252 };

struct XmlInputBuffer {
  // What the tokenizer reads, from next up to end: bytes of data, or the document's own bytes
  // where they are UTF-8 already.
  const uint8_t* next = nullptr;
  const uint8_t* end = nullptr;
  uint8_t data[XML_INPUT_BLOCK];  // decoded UTF-8
  int file = -1;                  // descriptor read from, when not reading memory
  // The bytes as they stand in the document: the caller's memory whole, or raw_block.
  const uint8_t* raw = nullptr;
  size_t raw_position = 0;  // next byte of raw to decode
  size_t raw_count = 0;     // valid bytes in raw
  bool raw_ended = false;   // no more bytes will come
  bool failed = false;      // a read failed: the input ended before the document did
  bool at_end = false;      // once the decoded input has ended it stays ended
  bool after_cr = false;    // the last character was a CR, given as LF: a LF next is dropped
  XmlEncoding encoding = XmlEncoding::unknown;
  uint8_t raw_block[XML_FILE_BLOCK];  // a file's bytes, read in blocks
  // Where the reader is, for messages: the decoded bytes handed out before the current block
  // (which begins at `block`), the line ends among them and where the last line began.
  const uint8_t* block = nullptr;
  uint64_t handed = 0, lines = 0, line_start = 0;
  uint64_t limit = 0;    // the most decoded bytes handed out; 0 no limit
  bool too_big = false;  // the input ended at the limit
  uint64_t dropped = 0;  // bytes 0x00, 0xFE and 0xFF passed over (xml_read_byte)
  // A UTF-8 document's bytes are checked as they are handed out: the continuation bytes the
  // character being read still needs (and has), the range its next one must lie in, and where the
  // first byte that is no UTF-8 character lies (line and column as xml_input_position; 0 none).
  uint8_t utf8_needed = 0, utf8_taken = 0, utf8_low = 0x80, utf8_high = 0xBF;
  uint64_t bad_utf8_line = 0, bad_utf8_column = 0;
};

// Makes the input read a descriptor from its current position, never closing it.
void xml_input_from_file(XmlInputBuffer& input, int file);
// Makes the input read size bytes of memory, which must outlive the read.
void xml_input_from_memory(XmlInputBuffer& input, const void* bytes, size_t size);

// Points next and end at the next decoded bytes; false at the end of input, and from then on.
// A read that fails ends the input with `failed` set; passing the limit ends it with
// `too_big` set.
bool xml_input_refill(XmlInputBuffer& input);

// The line (from 1) and column (bytes from 1) of the byte read last.
void xml_input_position(const XmlInputBuffer& input, uint64_t* line, uint64_t* column);

inline constexpr int XML_END_OF_INPUT = -1;

// The next byte, or XML_END_OF_INPUT. The bytes 0x00, 0xFE and 0xFF are dropped (and counted):
// none of them belongs to a character of a document.
inline int xml_read_byte(XmlInputBuffer& input) {
  for (;;) {
    if (input.next == input.end && !xml_input_refill(input)) return XML_END_OF_INPUT;
    const uint8_t b = *input.next++;
    if (b != 0x00 && b < 0xFE) return b;
    ++input.dropped;
  }
}
