// xml_reader.h: the program's own streaming XML reader, its growable text buffer, lookups by
// name in sorted tables, and text conversion between UTF-8 and Mac OS Roman.
//
// The reader makes one pass over a document and calls back at the start and at the end of
// every element; it builds no tree. It is lenient where the MusicXML import can live with it
// (end tags are not matched by name, text after a child element is dropped) and strict where
// it cannot go on (an unknown entity, a missing '=').
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ImportExport/xml_input.h"

// ---- Text buffers --------------------------------------------------------------------------

// Capacities stay below this (16 MiB): a name, value or text never grows past it.
inline constexpr uint32_t XML_TEXT_CAPACITY_LIMIT = 16u * 1024 * 1024;
inline constexpr uint32_t XML_TEXT_DEFAULT_STEP = 16;

// A growable byte buffer. `length` counts the bytes in use plus one terminator slot (the byte
// at length - 1) and is 0 exactly when no storage is held. Appending a character writes into
// the terminator slot; the terminator is written only when the text is handed out.
struct XmlText {
  uint32_t length = 0;                    // bytes in use including the terminator slot
  uint32_t capacity = 0;                  // bytes allocated
  uint32_t step = XML_TEXT_DEFAULT_STEP;  // smallest capacity allocated
  std::unique_ptr<char[]> bytes;          // owned storage
};

void xml_text_init(XmlText& text, uint32_t step = XML_TEXT_DEFAULT_STEP);
void xml_text_free(XmlText& text);
// Sets the capacity: 0 releases the storage; c > 0 keeps min(length, c) bytes, and an empty
// buffer gets length 1 (an empty string). False, changing nothing, for c at or over the limit.
bool xml_text_reserve(XmlText& text, uint32_t capacity);
// Empties the buffer before reuse; storage grown past the step is given back.
void xml_text_clear(XmlText& text);
// Appends n bytes; false (nothing appended) when the text would pass the capacity limit.
bool xml_text_append(XmlText& text, const char* bytes, uint32_t n);
// Appends a zero-terminated string; a null string appends nothing.
bool xml_text_append_cstring(XmlText& text, const char* string);
// The text as a zero-terminated string; "" when it holds nothing.
const char* xml_element_text(XmlText& text);
// The bytes held, without the terminator slot.
inline uint32_t xml_text_size(const XmlText& text) { return text.length ? text.length - 1 : 0; }

// Slow path of xml_text_append_char: grows the buffer for one more byte.
bool xml_text_grow_for_char(XmlText& text);

// Appends one byte; false when the text would pass the capacity limit.
inline bool xml_text_append_char(XmlText& text, char c) {
  if (text.length >= text.capacity && !xml_text_grow_for_char(text)) return false;
  text.bytes[text.length - 1] = c;
  ++text.length;
  return true;
}

// ---- The element record handed to the start callback ---------------------------------------

struct XmlElement {
  int32_t element_stack_size = 0;
  int32_t depth = 0;  // open elements; the innermost (level depth - 1) is being started
  std::vector<XmlText> element_names;
  int32_t attribute_stack_size = 0;
  int32_t attribute_count = 0;  // attributes of the element being started
  std::vector<XmlText> attribute_names;
  std::vector<XmlText> attribute_values;  // entry i belongs to attribute_names[i]
  XmlText text;                           // the element's leading text
};

// Sizes below 1 are taken as 1.
void xml_element_init(XmlElement& element, int32_t element_stack_size, int32_t attribute_stack_size,
                      uint32_t text_step);
void xml_element_free(XmlElement& element);

// ---- Reading -------------------------------------------------------------------------------

// Result codes of xml_read.
inline constexpr int32_t XML_READ_OK = 0;  // the end of input after the last element closed
// The end of input inside a tag, entity or text, or with elements still open.
inline constexpr int32_t XML_READ_TRUNCATED = 2;
inline constexpr int32_t XML_READ_SYNTAX = 3;        // no '<', no '=', unknown entity
inline constexpr int32_t XML_READ_UNOPENED_END = 4;  // an end tag with no element open
inline constexpr int32_t XML_READ_TOO_DEEP = 5;      // element stack full
// (6, once "attribute stack full", is no longer given: extra attributes are dropped)
inline constexpr int32_t XML_READ_TOO_LONG = 7;     // a name, value or text reached the limit
inline constexpr int32_t XML_READ_INPUT_ERROR = 8;  // the file could not be read to its end
inline constexpr int32_t XML_READ_TOO_BIG = 9;      // the document passed the caller's byte limit

// Where a read stopped: the line (from 1) and column (bytes from 1) of the byte read last.
struct XmlReadStop {
  uint64_t line = 0, column = 0;
};

// What a result code says went wrong, as a sentence for the user ("" for XML_READ_OK).
const char* xml_read_result_text(int32_t code);

// Callbacks; their results are ignored, and either may be null. The element record is valid
// only during the call. A callback may end the read by throwing: the exception reaches the
// caller of xml_read unchanged, and the reader's storage is released.
using XmlStartCallback = int (*)(const char* name, XmlElement& element, void* user);
using XmlEndCallback = int (*)(const char* name, void* user);

// Reads a document from an open file descriptor, from its current position, and never closes
// it. The document may be UTF-8, UTF-16 or ISO-8859-1/windows-1252: callbacks see UTF-8.
// At most element_stack_size - 1 elements are open at once; an element's first
// attribute_stack_size - 1 attributes are kept, any more dropped. A byte_limit above 0 ends the
// read with XML_READ_TOO_BIG once more decoded bytes than that have come. Returns an XML_READ_
// code; `stop`, when given, receives where the read stopped.
int32_t xml_read(int file, XmlStartCallback start, XmlEndCallback end, void* user,
                 int32_t element_stack_size, int32_t attribute_stack_size, uint32_t text_step,
                 uint64_t byte_limit = 0, XmlReadStop* stop = nullptr);
// The same over a document held in memory.
int32_t xml_read_memory(const void* bytes, size_t size, XmlStartCallback start, XmlEndCallback end,
                        void* user, int32_t element_stack_size, int32_t attribute_stack_size,
                        uint32_t text_step, uint64_t byte_limit = 0, XmlReadStop* stop = nullptr);

// ---- What a start callback reads from the element ------------------------------------------

inline constexpr int32_t XML_NO_INT = INT32_MIN;        // no number (0x80000000)
inline constexpr double XML_NO_DOUBLE = -2147483648.0;  // no number

// The leading text as a decimal integer after any blanks; XML_NO_INT when there is none.
int32_t xml_text_int(XmlElement& element);
// The leading text as a single-precision number, widened; XML_NO_DOUBLE when there is none.
double xml_text_double(XmlElement& element);
// The value of the first attribute with exactly this name; null when there is none.
const char* xml_attr(XmlElement& element, const char* name);
// Every attribute with this name read as a number in order; the last that parses gives the
// result, XML_NO_INT or XML_NO_DOUBLE when none does.
int32_t xml_attr_int(XmlElement& element, const char* name);
double xml_attr_double(XmlElement& element, const char* name);
// The name of the open element at a level (0 the outermost, negative the innermost); "" when
// no element is open there.
const char* xml_open_element_name(XmlElement& element, int32_t level);
// The smallest level whose open element has the name (either name); -1 when none has.
int32_t xml_open_element_level(XmlElement& element, const char* name);
int32_t xml_open_element_level_either(XmlElement& element, const char* first_name,
                                      const char* second_name);
// Writes the innermost name, the attributes and the text on one line of standard output.
void xml_element_print(XmlElement& element);

// ---- Lookups by name in sorted tables ------------------------------------------------------

inline constexpr int32_t XML_NOT_FOUND = INT32_MIN;  // 0x80000000

struct XmlNamedValue {
  const char* name;
  int32_t value;
};

// Binary search of count records sorted by byte-wise comparison of their names: the index of
// a record with this name, XML_NOT_FOUND when there is none.
int32_t lookup_sorted_record(const char* name, const XmlNamedValue* table, int32_t count);
// The same over a sorted array of names.
int32_t lookup_sorted_name(const char* name, const char* const* names, int32_t count);

// ---- Text conversion -----------------------------------------------------------------------

// UTF-8 to the program's Mac OS Roman text in a destination of destination_size bytes (the
// terminator included). Returns 0, leaving the destination alone, when the source is not valid
// UTF-8. When the whole text has no exact Mac OS Roman form or does not fit, it is converted
// character by character (music flat sign 'b', music sharp sign '#', anything else without a
// code '?') and cut to fit; the result is then 1. *result, when given, is set to 0.
int utf8_to_system_text(const char* source, char* destination, int32_t destination_size,
                        int* result = nullptr);
// Mac OS Roman to UTF-8 with a terminator; 0 (the destination emptied) when it does not fit.
int system_to_utf8_text(const char* source, char* destination, int32_t destination_size);
