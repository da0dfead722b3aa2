// xml_reader.cpp: the streaming XML reader, its text buffer, the accessors a start callback
// uses, lookups in sorted name tables, and UTF-8 <-> Mac OS Roman text conversion.
//
// The reader scans byte by byte without look-ahead and keeps one current byte; the bytes come
// from the input layer (xml_input.cpp) as UTF-8 with LF line ends, whatever the document's
// encoding. Every cycle begins at a '<' (or the end of input) with the attribute count and the
// text cleared. What it accepts, in short:
//   - blanks before the first '<' are skipped (the input layer takes off a byte-order mark);
//   - comments are skipped to "-->", other declarations (DOCTYPE) to their matching '>' past
//     any internal subset, processing instructions to "?>"; whatever follows them up to the
//     next '<' is dropped; within an element's text a comment is left out and the text goes on
//     after it, and a CDATA section's characters join the text as they are;
//   - an end tag closes the innermost element whatever name it carries;
//   - an element's text is what comes before its first child tag; the start callback is made
//     at that '<', and text after an end tag or an empty element is dropped;
//   - an unquoted attribute value runs to the next '>' or '/', blanks included;
//   - attributes past the caller's slots are read and dropped;
//   - entities are told apart by their first letters (lt, gt, quot, amp, apos); numeric
//     references give their character in UTF-8, and one to no character a document may hold
//     ends the read; so does a byte 0 in an element's name (elsewhere it is passed over);
//   - general entities the DOCTYPE's internal subset declares with a value in quotes are read
//     and their uses replaced by that value as text (references in it expanded in turn, to a
//     bounded depth and amount); parameter and external entities are passed over, nothing is
//     fetched, and a use of one is an unknown entity.
// Elements still open at the end of the input get no end callback, and the result says the
// document was cut short; a failed read is its own result, never taken for the end. Names, values
// and texts stay below XML_TEXT_CAPACITY_LIMIT; reaching it ends the read with XML_READ_TOO_LONG.
#include "ImportExport/xml_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Editor/text_numbers.h"
#include "ImportExport/xml_input.h"
#include "platform/cores.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

// ---- XmlText -------------------------------------------------------------------------------

void xml_text_init(XmlText& text, uint32_t step) {
  xml_text_free(text);
  text.step = step ? step : 1;
}

void xml_text_free(XmlText& text) {
  text.shown = nullptr;
  text.bytes.reset();
  text.length = 0;
  text.capacity = 0;
}

namespace {

// Copies shown bytes into owned storage. They were read under the limit, so they fit again.
void own_shown_bytes(XmlText& text) {
  const char* shown = text.shown;
  if (!shown) return;
  const uint32_t n = text.length - 1;
  text.shown = nullptr;
  text.length = 0;
  if (text.capacity > 0) {
    text.bytes[0] = 0;
    text.length = 1;
  }
  xml_text_append(text, shown, n);
}

}  // namespace

bool xml_text_reserve(XmlText& text, uint32_t capacity) {
  if (capacity == 0) {
    xml_text_free(text);
    return true;
  }
  if (capacity >= XML_TEXT_CAPACITY_LIMIT) return false;
  own_shown_bytes(text);
  auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
  if (text.length == 0) {
    bytes[0] = 0;
    text.length = 1;
  } else {
    text.length = std::min(text.length, capacity);
    std::memcpy(bytes.get(), text.bytes.get(), text.length);
  }
  text.bytes = std::move(bytes);
  text.capacity = capacity;
  return true;
}

namespace {

// Reallocates for a text of needed_length bytes (terminator slot included): the capacity the
// growth rule asks for, but at least the step and the need, and below the limit.
bool grow(XmlText& text, uint64_t wanted, uint64_t needed_length) {
  uint64_t capacity = std::max({wanted, needed_length, uint64_t{text.step}});
  if (capacity >= XML_TEXT_CAPACITY_LIMIT) capacity = XML_TEXT_CAPACITY_LIMIT - 1;
  if (needed_length > capacity) return false;
  return xml_text_reserve(text, static_cast<uint32_t>(capacity));
}

}  // namespace

bool xml_text_grow_for_char(XmlText& text) {
  own_shown_bytes(text);
  if (text.length < text.capacity) return true;
  const uint64_t length = std::max(text.length, 1u);
  return grow(text, std::max(uint64_t{text.step}, 2 * uint64_t{text.capacity}), length + 1);
}

bool xml_text_append(XmlText& text, const char* bytes, uint32_t n) {
  own_shown_bytes(text);
  const uint64_t after = uint64_t{text.length} + n;
  if (after >= text.capacity && !grow(text, 2 * after, std::max(text.length, 1u) + uint64_t{n}))
    return false;
  if (n > 0) std::memcpy(text.bytes.get() + text.length - 1, bytes, n);
  text.length += n;
  text.bytes[text.length - 1] = 0;
  return true;
}

bool xml_text_append_cstring(XmlText& text, const char* string) {
  if (string == nullptr) return true;
  const size_t n = std::strlen(string);
  if (n >= XML_TEXT_CAPACITY_LIMIT) return false;
  return xml_text_append(text, string, static_cast<uint32_t>(n));
}

void xml_text_clear(XmlText& text) {
  if (text.shown) {
    text.shown = nullptr;
    text.length = text.capacity > 0 ? 1 : 0;
  }
  if (text.capacity > text.step) {
    xml_text_free(text);
  } else if (text.capacity > 0) {
    text.bytes[0] = 0;
    text.length = 1;
  }
}

const char* xml_element_text(XmlText& text) {
  if (text.shown) return text.shown;
  if (text.length == 0) return "";
  text.bytes[text.length - 1] = 0;
  return text.bytes.get();
}

// ---- XmlElement ----------------------------------------------------------------------------

namespace {

void make_slots(std::vector<XmlText>& slots, int32_t count, uint32_t step) {
  slots.clear();
  slots.resize(static_cast<size_t>(count));
  for (XmlText& slot : slots) xml_text_init(slot, step);
}

}  // namespace

void xml_element_init(XmlElement& element, int32_t element_stack_size, int32_t attribute_stack_size,
                      uint32_t text_step) {
  element.element_stack_size = std::max(element_stack_size, 1);
  element.attribute_stack_size = std::max(attribute_stack_size, 1);
  element.depth = 0;
  element.attribute_count = 0;
  make_slots(element.element_names, element.element_stack_size, text_step);
  make_slots(element.attribute_names, element.attribute_stack_size, text_step);
  make_slots(element.attribute_values, element.attribute_stack_size, text_step);
  xml_text_init(element.text, text_step);
}

void xml_element_free(XmlElement& element) {
  element.element_names.clear();
  element.attribute_names.clear();
  element.attribute_values.clear();
  xml_text_free(element.text);
  element.element_stack_size = element.attribute_stack_size = 0;
  element.depth = element.attribute_count = 0;
}

// ---- The reader ----------------------------------------------------------------------------

namespace {

constexpr int32_t NEXT_CYCLE = -1;  // a step ended at '<' or at the end of input
constexpr int32_t TAG_ENDS = -2;    // an attribute ended its tag at '/' or '>'

bool is_blank(int c) { return c == ' ' || c == '\r' || c == '\t' || c == '\n'; }

// What ends a run of plain bytes, one bit per place in a document. Every class also stops at
// the bytes the input drops (0x00, 0xFE, 0xFF), so that a run is copied as read byte by byte.
enum RunStop : uint8_t {
  STOPS_TEXT = 1,          // an element's text: '<' and '&'
  STOPS_NAME = 2,          // an element's name: blanks, '/' and '>'
  STOPS_ATTRIBUTE = 4,     // an attribute's name: blanks, '=', '/' and '>'
  STOPS_DOUBLE_QUOTE = 8,  // a value in double quotes: '"' and '&'
  STOPS_SINGLE_QUOTE = 16  // a value in single quotes: '\'' and '&'
};

constexpr std::array<uint8_t, 256> run_stops = [] {
  std::array<uint8_t, 256> stops{};
  for (int b : {0x00, 0xFE, 0xFF}) stops[b] = 0xFF;
  for (int b : {' ', '\r', '\t', '\n', '/', '>'}) stops[b] |= STOPS_NAME | STOPS_ATTRIBUTE;
  stops['='] |= STOPS_ATTRIBUTE;
  stops['<'] |= STOPS_TEXT;
  stops['&'] |= STOPS_TEXT | STOPS_DOUBLE_QUOTE | STOPS_SINGLE_QUOTE;
  stops['"'] |= STOPS_DOUBLE_QUOTE;
  stops['\''] |= STOPS_SINGLE_QUOTE;
  return stops;
}();

// The first byte from p on that `stops` holds, end when none does before it.
template <RunStop STOPS>
const uint8_t* run_end(const uint8_t* p, const uint8_t* end) {
#if defined(__SSE2__)
  // Sixteen bytes at a time: the bytes that may stop the run are marked (for names every byte
  // up to the blank, a few more than stop one), and the first marked byte the table holds ends
  // it. Runs of indentation and numbers take one or two steps.
  while (end - p >= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const auto is = [v](char b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(b)); };
    __m128i marked = _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(char(0xFE))), v);
    if constexpr (STOPS == STOPS_TEXT) {
      marked = _mm_or_si128(marked, _mm_or_si128(is('<'), _mm_or_si128(is('&'), is(0))));
    } else if constexpr (STOPS == STOPS_NAME || STOPS == STOPS_ATTRIBUTE) {
      marked = _mm_or_si128(marked, _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(' ')), v));
      marked = _mm_or_si128(marked, _mm_or_si128(is('/'), is('>')));
      if constexpr (STOPS == STOPS_ATTRIBUTE) marked = _mm_or_si128(marked, is('='));
    } else {
      const char quote = STOPS == STOPS_DOUBLE_QUOTE ? '"' : '\'';
      marked = _mm_or_si128(marked, _mm_or_si128(is(quote), _mm_or_si128(is('&'), is(0))));
    }
    for (unsigned mask = unsigned(_mm_movemask_epi8(marked)); mask; mask &= mask - 1) {
      const uint8_t* at = p + std::countr_zero(mask);
      if (run_stops[*at] & STOPS) return at;
    }
    p += 16;
  }
#endif
  while (p < end && !(run_stops[*p] & STOPS)) ++p;
  return p;
}

struct Reader {
  XmlInputBuffer input;
  XmlElement element;
  XmlStartCallback start = nullptr;
  XmlEndCallback end = nullptr;
  void* user = nullptr;
  XmlNameCoder coder = nullptr;
  int c = XML_END_OF_INPUT;         // the current byte
  XmlText spare_name, spare_value;  // where attributes past the record's slots are read
  // The internal subset's general entities, first declaration first.
  struct Entity {
    std::string name, value;
    bool external;  // kept in another file (SYSTEM, PUBLIC): never fetched
  };
  std::vector<Entity> entities;
  uint64_t expanded = 0;  // bytes and references the uses of declared entities have added

  int next() { return c = xml_read_byte(input); }
  bool tag_opened = false;  // the '<' of the next tag is read already
  void skip_blanks() {
    while (is_blank(c)) next();
  }
  // Drops every byte up to the next '<' or the end of input.
  void skip_to_tag() {
    while (c != '<' && c != XML_END_OF_INPUT) {
      const size_t left = size_t(input.end - input.next);
      if (const void* tag = left ? std::memchr(input.next, '<', left) : nullptr) {
        input.next = static_cast<const uint8_t*>(tag) + 1;
        c = '<';
        return;
      }
      input.next = input.end;
      next();
    }
  }
  // Appends the current byte and the plain bytes after it in the input's block up to one that
  // `stops` holds, then reads the byte after them. False when the text would pass its limit.
  // The current byte is always the one before `input.next`: only next() and skip_to_tag set it.
  template <RunStop STOPS>
  bool append_run(XmlText& text) {
    const uint8_t* from = input.next - 1;
    const uint8_t* to = run_end<STOPS>(input.next, input.end);
    const uint32_t n = uint32_t(to - from);
    // Most runs fit the text's storage: appended here, the terminator left for later.
    if (!text.shown && uint64_t{text.length} + n < text.capacity) {
      std::memcpy(text.bytes.get() + text.length - 1, from, n);
      text.length += n;
    } else if (!xml_text_append(text, reinterpret_cast<const char*>(from), n)) {
      return false;
    }
    input.next = to;
    next();
    return true;
  }
  // Skips past a terminator made of `marks` or more of `mark` and a '>'.
  void skip_past(int mark, int marks) {
    int run = 0;
    while (c != XML_END_OF_INPUT) {
      if (c == '>' && run >= marks) {
        next();
        return;
      }
      run = c == mark ? run + 1 : 0;
      next();
    }
  }
};

// Appends the character of a code point: values past Unicode become the replacement character.
int32_t append_code_point(XmlText& out, uint32_t value) {
  if (value < 0x80)
    return xml_text_append_char(out, static_cast<char>(value)) ? 0 : XML_READ_TOO_LONG;
  std::string utf8;
  append_utf8(utf8, value);
  return xml_text_append(out, utf8.data(), static_cast<uint32_t>(utf8.size())) ? 0
                                                                               : XML_READ_TOO_LONG;
}

// Adds one byte of a numeric reference to its value: decimal digits, hexadecimal ones when
// `hex`; other bytes are ignored. The value stops growing past Unicode.
uint32_t add_reference_digit(uint32_t value, int c, bool hex) {
  int digit = -1;
  if (c >= '0' && c <= '9')
    digit = c - '0';
  else if (hex && c >= 'a' && c <= 'f')
    digit = c - 'a' + 10;
  else if (hex && c >= 'A' && c <= 'F')
    digit = c - 'A' + 10;
  if (digit < 0) return value;
  return std::min<uint32_t>(value * (hex ? 16 : 10) + digit, 0x110000);
}

// Whether a code point is a character a document may hold: a tab, a line end, or from the
// blank on, but no surrogate, U+FFFE or U+FFFF, nor anything past Unicode.
bool document_character(uint32_t value) {
  if (value < 0x20) return value == '\t' || value == '\n' || value == '\r';
  return (value < 0xD800 || (value >= 0xE000 && value <= 0xFFFD)) ||
         (value >= 0x10000 && value <= 0x10FFFF);
}

// Appends a numeric character reference, after "&#": decimal digits, or hexadecimal after
// 'x', up to ';'. No digits, any other byte inside, or a character no document may hold is a
// bad reference.
int32_t read_character_reference(Reader& r, XmlText& out) {
  if (r.next() == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
  const bool hex = r.c == 'x';
  if (hex) r.next();
  uint32_t value = 0;
  bool digits = false, others = false;
  while (r.c != ';') {
    if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
    value = add_reference_digit(value, r.c, hex);
    const bool digit = (r.c >= '0' && r.c <= '9') ||
                       (hex && ((r.c >= 'a' && r.c <= 'f') || (r.c >= 'A' && r.c <= 'F')));
    digits |= digit;
    others |= !digit;
    r.next();
  }
  if (!digits || others || !document_character(value)) return XML_READ_BAD_REFERENCE;
  return append_code_point(out, value);
}

// Bounds on what a document's internal subset may declare and its uses expand to.
constexpr size_t ENTITY_NAME_LIMIT = 64;
constexpr size_t ENTITY_VALUE_LIMIT = 64 * 1024;
constexpr size_t ENTITY_COUNT_LIMIT = 1024;
constexpr int ENTITY_DEPTH_LIMIT = 8;
constexpr uint64_t ENTITY_EXPANSION_LIMIT = 4u << 20;

// The character an entity's first letters give (lt, gt, quot, amp, apos), 0 for none.
char first_letters_entity(std::string_view name) {
  if (name.empty()) return 0;
  switch (name[0]) {
    case 'l':
      return '<';
    case 'g':
      return '>';
    case 'q':
      return '"';
    case 'a':
      if (name.size() > 1 && name[1] == 'm') return '&';
      if (name.size() > 1 && name[1] == 'p') return '\'';
      return 0;
    default:
      return 0;
  }
}

int32_t expand_entity(Reader& r, std::string_view value, int depth, XmlText& out);

// Appends what a named entity stands for: the five the language predefines by their names,
// then the document's own, then the first-letters reading.
int32_t append_named_entity(Reader& r, std::string_view name, int depth, XmlText& out) {
  for (const char* predefined : {"lt", "gt", "amp", "quot", "apos"})
    if (name == predefined)
      return xml_text_append_char(out, first_letters_entity(name)) ? 0 : XML_READ_TOO_LONG;
  for (const Reader::Entity& entity : r.entities)
    if (name == entity.name)
      return entity.external ? XML_READ_EXTERNAL_ENTITY
                             : expand_entity(r, entity.value, depth, out);
  const char decoded = first_letters_entity(name);
  if (decoded == 0) return XML_READ_SYNTAX;
  return xml_text_append_char(out, decoded) ? 0 : XML_READ_TOO_LONG;
}

// Appends a declared entity's value, its character and entity references replaced; the
// nesting and the whole document's expansion are bounded, so that entities referring to
// themselves or multiplying their text end the read rather than fill the memory.
int32_t expand_entity(Reader& r, std::string_view value, int depth, XmlText& out) {
  if (depth > ENTITY_DEPTH_LIMIT) return XML_READ_ENTITY_LIMIT;
  while (!value.empty()) {
    const size_t amp = std::min(value.find('&'), value.size());
    r.expanded += amp + 1;
    if (r.expanded > ENTITY_EXPANSION_LIMIT) return XML_READ_ENTITY_LIMIT;
    if (!xml_text_append(out, value.data(), static_cast<uint32_t>(amp))) return XML_READ_TOO_LONG;
    if (amp == value.size()) break;
    const size_t semicolon = value.find(';', amp);
    if (semicolon == std::string_view::npos) return XML_READ_SYNTAX;
    const std::string_view name = value.substr(amp + 1, semicolon - amp - 1);
    value.remove_prefix(semicolon + 1);
    int32_t code;
    if (!name.empty() && name[0] == '#') {
      const bool hex = name.size() > 1 && name[1] == 'x';
      const std::string_view digits = name.substr(hex ? 2 : 1);
      uint32_t code_point = 0;
      for (char c : digits)
        code_point = add_reference_digit(code_point, static_cast<unsigned char>(c), hex);
      const bool all_digits =
          !digits.empty() && digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                          : "0123456789") == std::string_view::npos;
      if (!all_digits || !document_character(code_point)) return XML_READ_BAD_REFERENCE;
      code = append_code_point(out, code_point);
    } else {
      code = append_named_entity(r, name, depth + 1, out);
    }
    if (code) return code;
  }
  return 0;
}

// Reads an entity after '&' and appends its character; the current byte is then its ';'.
// With no entity declared, only the first letters decide and the rest up to ';' is skipped
// unread; otherwise the whole name is read.
int32_t xml_read_entity(Reader& r, XmlText& out) {
  if (r.next() == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
  if (r.c == '#') return read_character_reference(r, out);
  if (!r.entities.empty()) {
    char name[ENTITY_NAME_LIMIT];
    size_t length = 0;
    for (; r.c != ';'; r.next()) {
      if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
      if (length < ENTITY_NAME_LIMIT) name[length++] = static_cast<char>(r.c);
    }
    return append_named_entity(r, std::string_view(name, length), 1, out);
  }
  char decoded;
  switch (r.c) {
    case 'l':
      decoded = '<';
      break;
    case 'g':
      decoded = '>';
      break;
    case 'q':
      decoded = '"';
      break;
    case 'a':
      r.next();
      if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
      if (r.c == 'm')
        decoded = '&';
      else if (r.c == 'p')
        decoded = '\'';
      else
        return XML_READ_SYNTAX;
      break;
    default:
      return XML_READ_SYNTAX;
  }
  while (r.c != ';')
    if (r.next() == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
  return xml_text_append_char(out, decoded) ? 0 : XML_READ_TOO_LONG;
}

// Keeps an entity's declaration unless one of its name came first.
void keep_entity(Reader& r, std::string name, std::string value, bool external) {
  if (name.empty() || r.entities.size() >= ENTITY_COUNT_LIMIT) return;
  for (const Reader::Entity& entity : r.entities)
    if (entity.name == name) return;
  r.entities.push_back({std::move(name), std::move(value), external});
}

// In an internal subset, after "<!E": a general entity's declaration is kept, with its quoted
// value or as one kept in another file; the current byte is then the one after the value (or
// wherever reading stopped), and the caller goes on to the declaration's '>'.
void read_entity_declaration(Reader& r) {
  std::string keyword;
  while (r.c >= 'A' && r.c <= 'Z' && keyword.size() < 8) {
    keyword += static_cast<char>(r.c);
    r.next();
  }
  if (keyword != "ENTITY" || !is_blank(r.c)) return;
  r.skip_blanks();
  if (r.c == '%') return;  // a parameter entity
  std::string name;
  while (r.c != XML_END_OF_INPUT && !is_blank(r.c) && r.c != '"' && r.c != '\'' && r.c != '>') {
    name += static_cast<char>(r.c);
    if (name.size() > ENTITY_NAME_LIMIT) return;
    r.next();
  }
  r.skip_blanks();
  if (r.c != '"' && r.c != '\'') {
    if (r.c == 'S' || r.c == 'P') keep_entity(r, std::move(name), std::string(), true);
    return;
  }
  const int quote = r.c;
  std::string value;
  bool kept = true;
  while (r.next() != quote) {
    if (r.c == XML_END_OF_INPUT) return;
    if (value.size() < ENTITY_VALUE_LIMIT)
      value += static_cast<char>(r.c);
    else
      kept = false;
  }
  r.next();
  if (kept) keep_entity(r, std::move(name), std::move(value), false);
}

// A declaration such as DOCTYPE: to its '>' outside quotes and outside an internal subset in
// brackets; comments inside the subset are skipped whole, and its entity declarations are
// kept when `entities` asks for them.
void skip_declaration(Reader& r, bool entities) {
  int brackets = 0;
  int quote = 0;
  while (r.c != XML_END_OF_INPUT) {
    const int c = r.c;
    r.next();
    if (quote) {
      if (c == quote) quote = 0;
      continue;
    }
    switch (c) {
      case '"':
      case '\'':
        quote = c;
        break;
      case '[':
        ++brackets;
        break;
      case ']':
        if (brackets > 0) --brackets;
        break;
      case '>':
        if (brackets == 0) return;
        break;
      case '<':
        if (r.c != '!') break;
        if (r.next() == '-') {
          if (r.next() == '-') {
            r.next();
            r.skip_past('-', 2);
          }
        } else if (entities && brackets > 0 && r.c == 'E') {
          read_entity_declaration(r);
        }
        break;
    }
  }
}

// After "<?" or "<!": processing instructions, comments, CDATA sections and declarations are
// skipped to their own ends, then whatever follows up to the next tag.
int32_t skip_markup(Reader& r) {
  if (r.c == '?') {
    r.next();
    r.skip_past('?', 1);
  } else if (r.next() == '-' && r.next() == '-') {
    r.next();
    r.skip_past('-', 2);
  } else if (r.c == '[') {
    r.skip_past(']', 2);
  } else {
    skip_declaration(r, true);
  }
  r.skip_to_tag();
  return NEXT_CYCLE;
}

// The start callback of the innermost element, its name coded first. Returns the name.
const char* start_element(Reader& r) {
  XmlElement& e = r.element;
  XmlText& text = e.element_names[e.depth - 1];
  const char* name = xml_element_text(text);
  e.name_code = r.coder ? r.coder(name, xml_text_size(text)) : XML_NO_NAME_CODE;
  if (r.start) r.start(name, e, r.user);
  return name;
}

int32_t read_end_tag(Reader& r) {
  XmlElement& e = r.element;
  if (e.depth == 0) return XML_READ_UNOPENED_END;
  if (r.end) r.end(xml_element_text(e.element_names[e.depth - 1]), r.user);
  --e.depth;
  r.skip_to_tag();
  return NEXT_CYCLE;
}

// At the '/' of an empty element: both callbacks, no text.
int32_t finish_empty_element(Reader& r) {
  XmlElement& e = r.element;
  const char* name = start_element(r);
  if (r.end) r.end(name, r.user);
  --e.depth;
  r.skip_to_tag();
  return NEXT_CYCLE;
}

// After "<!" within an element's text: a CDATA section's characters are appended as they are,
// a comment or a declaration is skipped. Leaves the byte after the markup current.
int32_t read_markup_in_text(Reader& r, XmlText& text) {
  if (r.next() == '-') {
    r.next();
    r.next();
    r.skip_past('-', 2);
    return 0;
  }
  if (r.c != '[') {
    skip_declaration(r, false);
    return 0;
  }
  while (r.next() != '[')  // "CDATA["
    if (r.c == XML_END_OF_INPUT || r.c == '>') return XML_READ_SYNTAX;
  int brackets = 0;  // the ']' read and not yet appended
  for (;;) {
    const int c = r.next();
    if (c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
    if (c == ']') {
      ++brackets;
      continue;
    }
    const bool end = c == '>' && brackets >= 2;
    if (end) brackets -= 2;
    for (; brackets > 0; --brackets)
      if (!xml_text_append_char(text, ']')) return XML_READ_TOO_LONG;
    if (end) break;
    if (!xml_text_append_char(text, static_cast<char>(c))) return XML_READ_TOO_LONG;
  }
  r.next();
  return 0;
}

// At the '>' of a start tag: the text up to the next tag, then the start callback.
int32_t read_element_text(Reader& r) {
  XmlElement& e = r.element;
  XmlText& text = e.text;
  r.next();
  for (;;) {
    const int c = r.c;
    if (c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
    if (c == '<') {
      if (r.next() != '!') {
        r.tag_opened = true;
        break;
      }
      if (int32_t code = read_markup_in_text(r, text)) return code;
      continue;
    }
    if (c != '&') {
      if (!r.append_run<STOPS_TEXT>(text)) return XML_READ_TOO_LONG;
      continue;
    }
    if (int32_t code = xml_read_entity(r, text)) return code;
    r.next();
  }
  start_element(r);
  return NEXT_CYCLE;
}

// Appends the current byte, or the entity it begins.
int32_t append_value_byte(Reader& r, XmlText& value) {
  if (r.c == '&') return xml_read_entity(r, value);
  return xml_text_append_char(value, static_cast<char>(r.c)) ? 0 : XML_READ_TOO_LONG;
}

// One attribute, from the first byte of its name. NEXT_CYCLE after a quoted value, TAG_ENDS
// when the current '/' or '>' ends the tag, or a result code. An attribute past the record's
// slots is read into the spare slots and dropped.
int32_t read_attribute(Reader& r) {
  XmlElement& e = r.element;
  const bool kept = e.attribute_count + 1 < e.attribute_stack_size;
  if (kept) ++e.attribute_count;
  XmlText& name = kept ? e.attribute_names[e.attribute_count - 1] : r.spare_name;
  XmlText& value = kept ? e.attribute_values[e.attribute_count - 1] : r.spare_value;
  xml_text_clear(name);
  xml_text_clear(value);  // a name with no value shows an empty value
  while (!is_blank(r.c) && r.c != '=') {
    if (r.c == '>' || r.c == '/') return TAG_ENDS;
    if (!r.append_run<STOPS_ATTRIBUTE>(name)) return XML_READ_TOO_LONG;
    if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
  }
  r.skip_blanks();
  if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
  if (r.c != '=') return XML_READ_SYNTAX;
  r.next();
  r.skip_blanks();
  if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
  if (r.c == '"' || r.c == '\'') {
    const int quote = r.c;
    const bool double_quoted = quote == '"';
    r.next();
    while (r.c != quote) {
      if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
      if (r.c == '&') {
        if (int32_t code = xml_read_entity(r, value)) return code;
        r.next();
      } else if (!(double_quoted ? r.append_run<STOPS_DOUBLE_QUOTE>(value)
                                 : r.append_run<STOPS_SINGLE_QUOTE>(value))) {
        return XML_READ_TOO_LONG;
      }
    }
    r.next();
    return NEXT_CYCLE;
  }
  for (;;) {  // unquoted: the first byte belongs to the value whatever it is
    if (int32_t code = append_value_byte(r, value)) return code;
    if (r.next() == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
    if (r.c == '>' || r.c == '/') return TAG_ENDS;
  }
}

// A start tag, from the first byte of its name.
int32_t read_start_tag(Reader& r) {
  XmlElement& e = r.element;
  XmlText& name = e.element_names[e.depth];
  xml_text_clear(name);
  const uint64_t dropped = r.input.dropped;
  do {
    if (!r.append_run<STOPS_NAME>(name)) return XML_READ_TOO_LONG;
    if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
  } while (!is_blank(r.c) && r.c != '/' && r.c != '>');
  // A byte 0 (or 0xFE, 0xFF) inside the name was passed over: what is left is not its name.
  if (r.input.dropped != dropped) return XML_READ_BAD_NAME;
  if (++e.depth >= e.element_stack_size) return XML_READ_TOO_DEEP;
  for (;;) {
    r.skip_blanks();
    if (r.c == XML_END_OF_INPUT) return XML_READ_TRUNCATED;
    if (r.c != '/' && r.c != '>') {
      const int32_t code = read_attribute(r);
      if (code == NEXT_CYCLE) continue;
      if (code != TAG_ENDS) return code;
    }
    return r.c == '/' ? finish_empty_element(r) : read_element_text(r);
  }
}

int32_t read_document(Reader& r) {
  r.next();
  r.skip_blanks();
  for (;;) {
    if (r.c == XML_END_OF_INPUT) return r.element.depth > 0 ? XML_READ_TRUNCATED : XML_READ_OK;
    r.element.attribute_count = 0;
    xml_text_clear(r.element.text);
    if (!r.tag_opened) {
      if (r.c != '<') return XML_READ_SYNTAX;
      r.next();
    }
    r.tag_opened = false;
    r.skip_blanks();
    int32_t code;
    if (r.c == XML_END_OF_INPUT)
      code = XML_READ_TRUNCATED;
    else if (r.c == '?' || r.c == '!')
      code = skip_markup(r);
    else if (r.c == '/')
      code = read_end_tag(r);
    else
      code = read_start_tag(r);
    if (code != NEXT_CYCLE) return code;
  }
}

int32_t run_reader(Reader& r, XmlStartCallback start, XmlEndCallback end, void* user,
                   int32_t element_stack_size, int32_t attribute_stack_size, uint32_t text_step,
                   uint64_t byte_limit, XmlReadStop* stop) {
  r.start = start;
  r.end = end;
  r.user = user;
  r.input.limit = byte_limit;
  xml_element_init(r.element, element_stack_size, attribute_stack_size, text_step);
  xml_text_init(r.spare_name, text_step);
  xml_text_init(r.spare_value, text_step);
  // The record and the input go with the reader, also when a callback throws: the place is
  // given first.
  struct Place {
    Reader& r;
    XmlReadStop* stop;
    ~Place() {
      if (!stop) return;
      xml_input_position(r.input, &stop->line, &stop->column);
      stop->bad_utf8_line = r.input.bad_utf8_line;
      stop->bad_utf8_column = r.input.bad_utf8_column;
    }
  } place{r, stop};
  const int32_t code = read_document(r);
  if (r.input.too_big) return XML_READ_TOO_BIG;
  return r.input.failed ? XML_READ_INPUT_ERROR : code;  // what was read ended early
}

// ---- Reading ahead on a second thread -------------------------------------------------------
//
// A large document is tokenised on a thread of its own while the callbacks run on the caller's.
// The reading thread records each element's start (its depth, name, attributes and text) and
// end in blocks of bytes; the caller's thread replays them in order into an element record of
// its own, so that the callbacks see what a read on one thread shows them, in the same order,
// and the result and the place the read stopped are the reading thread's. A callback that
// throws stops the reading thread before the exception goes on; what the reading thread
// throws (no memory) is thrown again on the caller's once the records before it are replayed.

constexpr uint64_t READ_AHEAD_LEAST = 256 * 1024;  // smaller documents are read on one thread
constexpr size_t RECORD_BLOCK = 64 * 1024;         // bytes of records handed over at once
constexpr size_t BLOCKS_AHEAD = 16;  // the reading thread waits while this many wait to be replayed

constexpr char RECORD_START = 'S', RECORD_END = 'E';

struct ReadCancelled {};

// A block of records, written in place: a string's growth would zero every byte first.
struct RecordBlock {
  std::unique_ptr<char[]> bytes;
  size_t size = 0, capacity = 0;

  // Room for n more bytes at the end, counted as written.
  char* extend(size_t n) {
    if (size + n > capacity) {
      const size_t grown = std::max({size + n, 2 * capacity, RECORD_BLOCK + RECORD_BLOCK / 4});
      auto more = std::make_unique_for_overwrite<char[]>(grown);
      if (size) std::memcpy(more.get(), bytes.get(), size);
      bytes = std::move(more);
      capacity = grown;
    }
    char* at = bytes.get() + size;
    size += n;
    return at;
  }
};

struct ReadAhead {
  std::mutex lock;
  std::condition_variable changed;
  std::deque<RecordBlock> blocks;  // recorded and not yet replayed
  bool finished = false;           // the reading thread has handed over its last block
  bool cancelled = false;          // the caller's thread has stopped replaying
  RecordBlock filling;             // the block being recorded (reading thread only)
  int32_t code = XML_READ_OK;
  XmlReadStop stop;
  std::exception_ptr failure;
};

// A record is written in place, its room made first: a count, or a text as its size, its
// bytes and a terminator, which lets the replay show them where they lie.
char* put_count(char* at, uint32_t n) {
  std::memcpy(at, &n, sizeof n);
  return at + sizeof n;
}

size_t text_room(const XmlText& text) { return sizeof(uint32_t) + xml_text_size(text) + 1; }

char* put_text(char* at, const XmlText& text) {
  const uint32_t n = xml_text_size(text);
  at = put_count(at, n);
  if (n) std::memcpy(at, text.shown ? text.shown : text.bytes.get(), n);
  at[n] = 0;
  return at + n + 1;
}

uint32_t get_count(const char*& at) {
  uint32_t n;
  std::memcpy(&n, at, sizeof n);
  at += sizeof n;
  return n;
}

// Sets a text to show the next recorded one where it lies in the block.
void get_text(XmlText& text, const char*& at) {
  const uint32_t n = get_count(at);
  text.shown = at;
  text.length = n + 1;
  at += n + 1;
}

// At the end of a block's replay: the names of the elements still open are copied out of it,
// for their end records in later blocks, and no other text goes on showing it.
void release_block(XmlElement& e) {
  // Names of closed elements and attributes of earlier records may show it too.
  for (size_t i = 0; i < e.element_names.size(); ++i) {
    XmlText& name = e.element_names[i];
    if (int32_t(i) < e.depth)
      own_shown_bytes(name);
    else if (name.shown)
      xml_text_clear(name);
  }
  for (XmlText& name : e.attribute_names) xml_text_clear(name);
  for (XmlText& value : e.attribute_values) xml_text_clear(value);
  xml_text_clear(e.text);
}

// Passes the filled block to the caller's thread, waiting while it has enough to replay.
void hand_over(ReadAhead& a) {
  {
    std::unique_lock held(a.lock);
    a.changed.wait(held, [&a] { return a.cancelled || a.blocks.size() < BLOCKS_AHEAD; });
    if (a.cancelled) throw ReadCancelled{};
    a.blocks.push_back(std::move(a.filling));
  }
  a.changed.notify_all();
  a.filling = RecordBlock{};
}

int record_start(const char*, XmlElement& e, void* user) {
  ReadAhead& a = *static_cast<ReadAhead*>(user);
  const XmlText& name = e.element_names[size_t(e.depth - 1)];
  size_t room = 1 + 3 * sizeof(uint32_t) + text_room(name) + text_room(e.text);
  for (int32_t i = 0; i < e.attribute_count; ++i)
    room += text_room(e.attribute_names[size_t(i)]) + text_room(e.attribute_values[size_t(i)]);
  char* at = a.filling.extend(room);
  *at++ = RECORD_START;
  at = put_count(at, uint32_t(e.depth));
  at = put_count(at, uint32_t(e.name_code));
  at = put_text(at, name);
  at = put_count(at, uint32_t(e.attribute_count));
  for (int32_t i = 0; i < e.attribute_count; ++i) {
    at = put_text(at, e.attribute_names[size_t(i)]);
    at = put_text(at, e.attribute_values[size_t(i)]);
  }
  put_text(at, e.text);
  if (a.filling.size >= RECORD_BLOCK) hand_over(a);
  return 0;
}

int record_end(const char*, void* user) {
  ReadAhead& a = *static_cast<ReadAhead*>(user);
  *a.filling.extend(1) = RECORD_END;
  if (a.filling.size >= RECORD_BLOCK) hand_over(a);
  return 0;
}

void read_ahead(ReadAhead& a, Reader& r, int32_t element_stack_size, int32_t attribute_stack_size,
                uint32_t text_step, uint64_t byte_limit) {
  int32_t code = XML_READ_OK;
  std::exception_ptr failure;
  try {
    code = run_reader(r, record_start, record_end, &a, element_stack_size, attribute_stack_size,
                      text_step, byte_limit, &a.stop);
  } catch (const ReadCancelled&) {
  } catch (...) {
    failure = std::current_exception();
  }
  {
    std::lock_guard held(a.lock);
    // A block a failure broke off may end inside a record: it is not replayed.
    if (!failure && a.filling.size > 0) a.blocks.push_back(std::move(a.filling));
    a.code = code;
    a.failure = failure;
    a.finished = true;
  }
  a.changed.notify_all();
}

void replay(const RecordBlock& block, XmlElement& e, XmlStartCallback start, XmlEndCallback end,
            void* user) {
  const char* at = block.bytes.get();
  const char* const stop = at + block.size;
  while (at < stop) {
    if (*at++ == RECORD_END) {
      if (end) end(xml_element_text(e.element_names[size_t(e.depth - 1)]), user);
      --e.depth;
      continue;
    }
    e.depth = int32_t(get_count(at));
    e.name_code = int32_t(get_count(at));
    XmlText& name = e.element_names[size_t(e.depth - 1)];
    get_text(name, at);
    e.attribute_count = int32_t(get_count(at));
    for (int32_t i = 0; i < e.attribute_count; ++i) {
      get_text(e.attribute_names[size_t(i)], at);
      get_text(e.attribute_values[size_t(i)], at);
    }
    get_text(e.text, at);
    if (start) start(xml_element_text(name), e, user);
  }
  release_block(e);
}

// Reads with the reader on a thread of its own and the callbacks on this one (one thread when
// no other can be made).
int32_t read_with_reader_ahead(Reader& r, XmlStartCallback start, XmlEndCallback end, void* user,
                               int32_t element_stack_size, int32_t attribute_stack_size,
                               uint32_t text_step, uint64_t byte_limit, XmlReadStop* stop) {
  ReadAhead ahead;
  XmlElement element;
  xml_element_init(element, element_stack_size, attribute_stack_size, text_step);
  ThreadBeside reading;
  try {
    reading =
        ThreadBeside([&ahead, &r, element_stack_size, attribute_stack_size, text_step, byte_limit] {
          read_ahead(ahead, r, element_stack_size, attribute_stack_size, text_step, byte_limit);
        });
  } catch (const std::system_error&) {
    return run_reader(r, start, end, user, element_stack_size, attribute_stack_size, text_step,
                      byte_limit, stop);
  }
  // The place is given however the replay ends, also when a callback throws.
  struct Join {
    ReadAhead& a;
    ThreadBeside& reading;
    XmlReadStop* stop;
    ~Join() {
      {
        std::lock_guard held(a.lock);
        a.cancelled = true;
      }
      a.changed.notify_all();
      reading.join();
      if (stop) *stop = a.stop;
    }
  } join{ahead, reading, stop};
  for (;;) {
    RecordBlock block;
    {
      std::unique_lock held(ahead.lock);
      ahead.changed.wait(held, [&ahead] { return !ahead.blocks.empty() || ahead.finished; });
      if (ahead.blocks.empty()) break;
      block = std::move(ahead.blocks.front());
      ahead.blocks.pop_front();
    }
    ahead.changed.notify_all();
    replay(block, element, start, end, user);
  }
  if (ahead.failure) std::rethrow_exception(ahead.failure);
  return ahead.code;
}

// A document of `size` bytes is read ahead when it is large and another core the program may
// run on can take it: on one core the records would only add their own cost.
bool worth_reading_ahead(uint64_t size) {
  if (size < READ_AHEAD_LEAST) return false;
  return platform_usable_cores() > 1;
}

}  // namespace

const char* xml_read_result_text(int32_t code) {
  switch (code) {
    case XML_READ_OK:
      return "";
    case XML_READ_TRUNCATED:
      return "The file ends before its elements are closed.";
    case XML_READ_SYNTAX:
      return "The file has text that is not XML (a missing '<' or '=', or an unknown entity).";
    case XML_READ_UNOPENED_END:
      return "The file closes an element that was never opened.";
    case XML_READ_TOO_DEEP:
      return "The file nests its elements deeper than MusicXML does.";
    case XML_READ_TOO_LONG:
      return "A name, value or text in the file is longer than 16 MB.";
    case XML_READ_INPUT_ERROR:
      return "The file could not be read to its end.";
    case XML_READ_TOO_BIG:
      return "The file is larger than any document Vesk reads.";
    case XML_READ_ENTITY_LIMIT:
      return "The file's entities nest too deeply or stand for too much text.";
    case XML_READ_EXTERNAL_ENTITY:
      return "The file uses an entity kept in another file, and Vesk reads no other file.";
    case XML_READ_BAD_NAME:
      return "An element's name in the file holds a byte 0, which no name may hold.";
    case XML_READ_BAD_REFERENCE:
      return "The file has a character reference (&#...;) to no character a document may hold.";
    default:
      return "The file is not well-formed XML.";
  }
}

int32_t xml_read(int file, XmlStartCallback start, XmlEndCallback end, void* user,
                 int32_t element_stack_size, int32_t attribute_stack_size, uint32_t text_step,
                 uint64_t byte_limit, XmlReadStop* stop, XmlNameCoder coder) {
  auto reader = std::make_unique<Reader>();
  reader->coder = coder;
  xml_input_from_file(reader->input, file);
  PlatformFileStatus status;
  if (platform_file_status_of(file, &status) == 0 && status.size > 0 &&
      worth_reading_ahead(uint64_t(status.size)))
    return read_with_reader_ahead(*reader, start, end, user, element_stack_size,
                                  attribute_stack_size, text_step, byte_limit, stop);
  return run_reader(*reader, start, end, user, element_stack_size, attribute_stack_size, text_step,
                    byte_limit, stop);
}

int32_t xml_read_memory(const void* bytes, size_t size, XmlStartCallback start, XmlEndCallback end,
                        void* user, int32_t element_stack_size, int32_t attribute_stack_size,
                        uint32_t text_step, uint64_t byte_limit, XmlReadStop* stop,
                        XmlNameCoder coder) {
  auto reader = std::make_unique<Reader>();
  reader->coder = coder;
  xml_input_from_memory(reader->input, bytes, size);
  if (worth_reading_ahead(size))
    return read_with_reader_ahead(*reader, start, end, user, element_stack_size,
                                  attribute_stack_size, text_step, byte_limit, stop);
  return run_reader(*reader, start, end, user, element_stack_size, attribute_stack_size, text_step,
                    byte_limit, stop);
}

// ---- Accessors -----------------------------------------------------------------------------

namespace {

// A decimal integer after blanks, with an optional sign; saturated to 32 bits.
bool parse_int(const char* s, int32_t* out) {
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  const bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  if (*s < '0' || *s > '9') return false;
  int64_t value = 0;
  for (; *s >= '0' && *s <= '9'; ++s) value = std::min<int64_t>(value * 10 + (*s - '0'), 1ll << 32);
  if (negative) value = -value;
  *out = static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
  return true;
}

// A real number after blanks, read to single precision in no locale; none when it is not
// finite in single precision.
bool parse_float(const char* s, double* out) {
  // Most numbers of a document ("12.5", "-30", "155.408") have at most seven digits and no
  // exponent: the digits as a whole number and the power of ten under them are both exact in
  // single precision, so that one division rounds as the full reading does, at a fraction of
  // its cost.
  static constexpr float EXACT_POWERS_OF_TEN[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f};
  const char* p = s;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '-' || *p == '+') ++p;
  uint32_t digits = 0, whole = 0, decimals = 0;
  for (bool point = false; digits <= 7; ++p) {
    if (*p >= '0' && *p <= '9') {
      whole = whole * 10 + uint32_t(*p - '0');
      ++digits;
      decimals += point;
    } else if (*p == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits > 0 && digits <= 7 && *p != 'e' && *p != 'E') {
    const float value = float(whole) / EXACT_POWERS_OF_TEN[decimals];
    *out = negative ? -value : value;
    return true;
  }
  float value = 0;
  if (!scan_single(s, &value)) return false;
  *out = value;
  return true;
}

bool same(const char* a, const char* b) { return std::strcmp(a, b) == 0; }

}  // namespace

int32_t xml_text_int(XmlElement& element) {
  int32_t value;
  return parse_int(xml_element_text(element.text), &value) ? value : XML_NO_INT;
}

double xml_text_double(XmlElement& element) {
  double value;
  return parse_float(xml_element_text(element.text), &value) ? value : XML_NO_DOUBLE;
}

const char* xml_attr(XmlElement& element, const char* name) {
  if (name == nullptr) return nullptr;
  for (int32_t i = 0; i < element.attribute_count; ++i)
    if (same(xml_element_text(element.attribute_names[i]), name))
      return xml_element_text(element.attribute_values[i]);
  return nullptr;
}

int32_t xml_attr_int(XmlElement& element, const char* name) {
  int32_t result = XML_NO_INT;
  if (name == nullptr) return result;
  for (int32_t i = 0; i < element.attribute_count; ++i) {
    int32_t value;
    if (same(xml_element_text(element.attribute_names[i]), name) &&
        parse_int(xml_element_text(element.attribute_values[i]), &value))
      result = value;
  }
  return result;
}

double xml_attr_double(XmlElement& element, const char* name) {
  double result = XML_NO_DOUBLE;
  if (name == nullptr) return result;
  for (int32_t i = 0; i < element.attribute_count; ++i) {
    double value;
    if (same(xml_element_text(element.attribute_names[i]), name) &&
        parse_float(xml_element_text(element.attribute_values[i]), &value))
      result = value;
  }
  return result;
}

const char* xml_open_element_name(XmlElement& element, int32_t level) {
  if (level < 0) level = element.depth - 1;
  if (level < 0 || level >= element.depth) return "";
  return xml_element_text(element.element_names[level]);
}

int32_t xml_open_element_level_either(XmlElement& element, const char* first_name,
                                      const char* second_name) {
  for (int32_t level = 0; level < element.depth; ++level) {
    const char* name = xml_element_text(element.element_names[level]);
    if ((first_name && same(name, first_name)) || (second_name && same(name, second_name)))
      return level;
  }
  return -1;
}

int32_t xml_open_element_level(XmlElement& element, const char* name) {
  return xml_open_element_level_either(element, name, nullptr);
}

void xml_element_print(XmlElement& element) {
  std::printf("Element: %s", xml_open_element_name(element, -1));
  for (int32_t i = 0; i < element.attribute_count; ++i)
    std::printf(", (%s=%s)", xml_element_text(element.attribute_names[i]),
                xml_element_text(element.attribute_values[i]));
  const char* text = xml_element_text(element.text);
  if (*text) std::printf(", text: %s", text);
  std::printf("\n");
}

// ---- Lookups -------------------------------------------------------------------------------

namespace {

// Binary search over the half-open range [low, high); the probe is (low + high - 1) / 2.
template <typename NameOf>
int32_t lookup_sorted(const char* name, int32_t count, NameOf name_of) {
  if (name == nullptr) return XML_NOT_FOUND;
  int32_t low = 0, high = count;
  while (low < high) {
    const int32_t probe = low + (high - low - 1) / 2;
    const int order = std::strcmp(name, name_of(probe));
    if (order == 0) return probe;
    if (order < 0)
      high = probe;
    else
      low = probe + 1;
  }
  return XML_NOT_FOUND;
}

}  // namespace

int32_t lookup_sorted_record(const char* name, const XmlNamedValue* table, int32_t count) {
  if (table == nullptr) return XML_NOT_FOUND;
  return lookup_sorted(name, count, [table](int32_t i) { return table[i].name; });
}

int32_t lookup_sorted_name(const char* name, const char* const* names, int32_t count) {
  if (names == nullptr) return XML_NOT_FOUND;
  return lookup_sorted(name, count, [names](int32_t i) { return names[i]; });
}

// ---- Text conversion -----------------------------------------------------------------------

namespace {

constexpr char32_t MUSIC_FLAT_SIGN = 0x266D;
constexpr char32_t MUSIC_SHARP_SIGN = 0x266F;

// Strict UTF-8 decoding: false for overlong forms, surrogates, values past U+10FFFF and
// truncated or stray bytes.
bool decode_utf8(std::string_view utf8, std::u32string* out) {
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    size_t length;
    char32_t value;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead < 0x80) {
      out->push_back(lead);
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, value = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, value = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > utf8.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char c = static_cast<unsigned char>(utf8[i + k]);
      if ((c & 0xC0) != 0x80 || (k == 1 && (c < low || c > high))) return false;
      value = (value << 6) | (c & 0x3F);
    }
    out->push_back(value);
    i += length;
  }
  return true;
}

// The Mac OS Roman byte of a character, 0 when the encoding has none.
uint8_t system_byte(char32_t c) {
  return c < 0x80 ? static_cast<uint8_t>(c) : unicode_to_macroman(c, 0);
}

// One UTF-16 unit as the fallback conversion sees it: an upper-half character of Mac OS Roman
// keeps its byte, the flat and sharp signs become 'b' and '#', anything else '?'.
char fallback_byte(char16_t unit) {
  if (unit < 0x80) return static_cast<char>(unit);
  if (unit == MUSIC_FLAT_SIGN) return 'b';
  if (unit == MUSIC_SHARP_SIGN) return '#';
  const uint8_t b = unicode_to_macroman(unit, 0);
  if (b >= 0x80 && macroman_to_unicode(b) == unit) return static_cast<char>(b);
  return '?';
}

}  // namespace

int utf8_to_system_text(const char* source, char* destination, int32_t destination_size,
                        int* result) {
  if (result) *result = 0;
  if (source == nullptr || destination == nullptr || destination_size < 1) return 0;
  std::u32string characters;
  if (!decode_utf8(source, &characters)) return 0;
  const bool fits = characters.size() < static_cast<size_t>(destination_size);
  if (fits && std::all_of(characters.begin(), characters.end(),
                          [](char32_t c) { return system_byte(c) != 0; })) {
    size_t n = 0;
    for (char32_t c : characters) destination[n++] = static_cast<char>(system_byte(c));
    destination[n] = 0;
    return 1;
  }
  std::u16string units;
  for (char32_t c : characters) {
    if (c < 0x10000) {
      units.push_back(static_cast<char16_t>(c));
    } else {  // a surrogate pair: two units, neither of which has a byte
      units.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
  }
  const size_t n = std::min(units.size(), static_cast<size_t>(destination_size - 1));
  for (size_t i = 0; i < n; ++i) destination[i] = fallback_byte(units[i]);
  destination[n] = 0;
  return 1;
}

int system_to_utf8_text(const char* source, char* destination, int32_t destination_size) {
  if (destination == nullptr || destination_size < 1) return 0;
  destination[0] = 0;
  if (source == nullptr) return 0;
  const std::string utf8 = macroman_to_utf8(source);
  if (utf8.size() >= static_cast<size_t>(destination_size)) return 0;
  std::memcpy(destination, utf8.c_str(), utf8.size() + 1);
  return 1;
}
