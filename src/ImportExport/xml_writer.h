// xml_writer.h: writes an XML document element by element into a file, through a 1024-byte
// buffer, or into a caller's XmlText. Each element is on a line of its own, indented by one
// tab per open ancestor; a start tag that gets no content becomes an empty-element tag, and
// an element with text sits on one line.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ImportExport/xml_reader.h"

// ---- Buffered file output ------------------------------------------------------------------

inline constexpr uint32_t XML_FILE_BUFFER_SIZE = 1024;

struct XmlFileBuffer {
  char data[XML_FILE_BUFFER_SIZE];
  uint32_t count = 0;   // bytes held
  int file = -1;        // descriptor written to
  bool failed = false;  // a write failed: the file is incomplete, and later output is dropped
};

// Each returns false once any write to the file has failed.
bool xml_file_buffer_write(XmlFileBuffer& buffer, const char* bytes, uint32_t n);
bool xml_file_buffer_write_cstring(XmlFileBuffer& buffer, const char* string);
bool xml_file_buffer_write_byte(XmlFileBuffer& buffer, char byte);
bool xml_file_buffer_flush(XmlFileBuffer& buffer);
// Flushes and closes the file.
bool xml_file_buffer_close(XmlFileBuffer& buffer);

// ---- The writer ----------------------------------------------------------------------------

// Writer states.
inline constexpr int32_t XML_WRITER_NEW = 0;
inline constexpr int32_t XML_WRITER_RAW = 1;         // after a raw line or a copied buffer
inline constexpr int32_t XML_WRITER_START_TAG = 2;   // start tag open, no attributes yet
inline constexpr int32_t XML_WRITER_ATTRIBUTES = 3;  // start tag open with attributes
inline constexpr int32_t XML_WRITER_TEXT = 4;        // text written
inline constexpr int32_t XML_WRITER_ENDED = 5;       // element ended

struct XmlWriter {
  int file = -1;                               // descriptor, -1 when none
  std::unique_ptr<XmlFileBuffer> file_buffer;  // when a file is attached
  XmlText* string_buffer = nullptr;            // the caller's, never released here
  int32_t state = XML_WRITER_NEW;
  std::vector<XmlText> element_stack;  // names of the open elements
  int32_t depth = 0;
  int32_t stack_size = 0;
  XmlText scratch;            // escaped form of the value or text being written
  int32_t refused_depth = 0;  // elements refused for a full stack and not yet ended
  bool write_failed = false;  // output was lost (a failed file write, a string at its limit)
};

// At most stack_size - 1 elements can be open. Every text of the writer grows by text_step.
void xml_writer_init(XmlWriter& writer, int32_t stack_size, uint32_t text_step);
// Releases the stack and the scratch text; a file still attached is closed first.
void xml_writer_free(XmlWriter& writer);

// Opens an existing file for writing from its start (it is not truncated: the caller makes it
// fresh) and attaches it. 0 when a file or string is already attached, or when the file cannot
// be opened or positioned (reported to the user); else 1.
int xml_writer_open(XmlWriter& writer, const char* path);
// Attaches an open descriptor, positioned at its start; the writer closes it.
int xml_writer_open_refnum(XmlWriter& writer, int file);
// 0 when a file or string is already attached.
int xml_writer_attach_string(XmlWriter& writer, XmlText& text);
int xml_writer_is_open(const XmlWriter& writer);

// Each returns 1 when done and 0 when refused; every one refuses when nothing is attached.
int xml_start_element(XmlWriter& writer, const char* name);
int xml_add_attribute(XmlWriter& writer, const char* name, const char* value);
int xml_add_text(XmlWriter& writer, const char* text);
int xml_end_element(XmlWriter& writer);
int xml_write_line(XmlWriter& writer, const char* text);
int xml_write_buffer(XmlWriter& writer, XmlText& text);

// Escapes & < > ' " into the writer's scratch text; false when it would pass the limit.
bool xml_escape_text(XmlWriter& writer, const char* text);

// Writes out what the buffer holds, releases it, closes the file and detaches the string.
// 1 when every byte of the document was written; 0 when any output was lost (a full disk, an
// I/O error) or nothing was attached.
int xml_writer_close(XmlWriter& writer);
