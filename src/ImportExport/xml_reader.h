// xml_reader.h: the program's own streaming XML reader, its growable text buffer, lookups by
// name in sorted tables, and text conversion between UTF-8 and Mac OS Roman.
//
// The reader makes one pass over a document and calls back at the start and at the end of
// every element; it builds no tree. It is lenient where the MusicXML import can live with it
// (end tags are not matched by name, text after a child element is dropped) and strict where
// it cannot go on (an unknown entity, a missing '='). Entities a DOCTYPE declares inside the
// document are read; nothing outside it is ever fetched. A large document is tokenised on a
// thread of its own while the callbacks run, in the same order, on the caller's thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "ImportExport/musicxml_services.h"
#include "ImportExport/xml_input.h"

// ---- Text buffers --------------------------------------------------------------------------

// Capacities stay below this (16 MiB): a name, value or text never grows past it.
inline constexpr uint32_t XML_TEXT_CAPACITY_LIMIT = 16u * 1024 * 1024;

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

// Slow path of xml_text_append_char: grows the buffer for one more byte.
bool xml_text_grow_for_char(XmlText& text);

// Appends one byte; false when the text would pass the capacity limit.
inline bool xml_text_append_char(XmlText& text, char c) {
  if ((text.length >= text.capacity || text.shown) && !xml_text_grow_for_char(text)) return false;
  text.bytes[text.length - 1] = c;
  ++text.length;
  return true;
}

// ---- The element record handed to the start callback ---------------------------------------

// Sizes below 1 are taken as 1.
void xml_element_init(XmlElement& element, int32_t element_stack_size, int32_t attribute_stack_size,
                      uint32_t text_step);
void xml_element_free(XmlElement& element);

// ---- Reading -------------------------------------------------------------------------------

// The end of input inside a tag, entity or text, or with elements still open.
inline constexpr int32_t XML_READ_TRUNCATED = 2;

inline constexpr int32_t XML_READ_SYNTAX = 3;  // no '<', no '=', unknown entity

inline constexpr int32_t XML_READ_UNOPENED_END = 4;  // an end tag with no element open

inline constexpr int32_t XML_READ_TOO_DEEP = 5;  // element stack full

// (6, once "attribute stack full", is no longer given: extra attributes are dropped)
inline constexpr int32_t XML_READ_TOO_LONG = 7;  // a name, value or text reached the limit

inline constexpr int32_t XML_READ_INPUT_ERROR = 8;  // the file could not be read to its end

inline constexpr int32_t XML_READ_TOO_BIG = 9;  // the document passed the caller's byte limit

// The document's own entities nest too deeply or expand past the reader's bound.
inline constexpr int32_t XML_READ_ENTITY_LIMIT = 10;

inline constexpr int32_t XML_READ_EXTERNAL_ENTITY = 11;  // a use of an entity of another file

inline constexpr int32_t XML_READ_BAD_NAME = 12;  // an element's name holds a byte 0

// A character reference to no character a document may hold ("&#0;", "&#xD800;", "&#;").
inline constexpr int32_t XML_READ_BAD_REFERENCE = 13;

// What a result code says went wrong, as a sentence for the user ("" for XML_READ_OK).
const char* xml_read_result_text(int32_t code);

// The name_code of an element read without a coder.
inline constexpr int32_t XML_NO_NAME_CODE = INT32_MIN;

// ---- What a start callback reads from the element ------------------------------------------

inline constexpr double XML_NO_DOUBLE = -2147483648.0;  // no number

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
