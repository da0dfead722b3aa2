// xml_writer.h: writes an XML document element by element into a file, through a 1024-byte
// buffer, or into a caller's XmlText. Each element is on a line of its own, indented by one
// tab per open ancestor; a start tag that gets no content becomes an empty-element tag, and
// an element with text sits on one line.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ImportExport/musicxml_services.h"
#include "ImportExport/xml_reader.h"

// ---- Buffered file output ------------------------------------------------------------------

// Each returns false once any write to the file has failed.
bool xml_file_buffer_write(XmlFileBuffer& buffer, const char* bytes, uint32_t n);
bool xml_file_buffer_write_cstring(XmlFileBuffer& buffer, const char* string);
bool xml_file_buffer_flush(XmlFileBuffer& buffer);
// Flushes and closes the file.
bool xml_file_buffer_close(XmlFileBuffer& buffer);

// ---- The writer ----------------------------------------------------------------------------

inline constexpr int32_t XML_WRITER_RAW = 1;  // after a raw line or a copied buffer

inline constexpr int32_t XML_WRITER_START_TAG = 2;  // start tag open, no attributes yet

inline constexpr int32_t XML_WRITER_ATTRIBUTES = 3;  // start tag open with attributes

inline constexpr int32_t XML_WRITER_TEXT = 4;  // text written

inline constexpr int32_t XML_WRITER_ENDED = 5;  // element ended

// Opens an existing file for writing from its start (it is not truncated: the caller makes it
// fresh) and attaches it. 0 when a file or string is already attached, or when the file cannot
// be opened or positioned (reported to the user); else 1.
int xml_writer_open(XmlWriter& writer, const char* path);

// 0 when a file or string is already attached.
int xml_writer_attach_string(XmlWriter& writer, XmlText& text);

int xml_writer_is_open(const XmlWriter& writer);

int xml_write_buffer(XmlWriter& writer, XmlText& text);

// Escapes & < > ' " into the writer's scratch text; false when it would pass the limit.
bool xml_escape_text(XmlWriter& writer, const char* text);
