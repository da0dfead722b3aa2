// xml_writer.cpp: the XML writer and its buffered file output.
//
// What each operation writes ("pending": a start tag whose '>' is not yet written):
//   start element   ">\n" if pending, one tab per open element, "<" and the name
//   add attribute   ' name="escaped value"'           (only while a start tag is pending)
//   add text        ">" if pending, the escaped text
//   end element     "/>\n" if pending; else, right after another end, depth - 1 tabs; then
//                   "</name>\n"
//   write line      ">" if pending, the text, "\n"
//   write buffer    ">\n" if pending, one tab per open element, the bytes of the buffer
// A start refused for a full stack writes nothing; until its matching end, the operations
// that would add to it (attributes, text, lines, children) are refused too, and that end is
// swallowed, so the elements around it stay paired.
//
// Every failed file write is remembered: the file is then incomplete, later output is
// dropped, and xml_writer_close reports the failure.
#include "ImportExport/xml_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "ImportExport/xml_reader.h"
#include "model/model_services.h"
#include "platform/files.h"
#include "platform/os_errors.h"

// ---- Buffered file output ------------------------------------------------------------------

namespace {

bool write_all(int file, const char* bytes, size_t n) {
  return platform_file_write_all(file, bytes, n) == 0;
}

}  // namespace

bool xml_file_buffer_flush(XmlFileBuffer& buffer) {
  if (buffer.count > 0 && !buffer.failed && !write_all(buffer.file, buffer.data, buffer.count))
    buffer.failed = true;
  buffer.count = 0;
  return !buffer.failed;
}

bool xml_file_buffer_write(XmlFileBuffer& buffer, const char* bytes, uint32_t n) {
  if (buffer.count + n > XML_FILE_BUFFER_SIZE - 1 && buffer.count > 0)
    xml_file_buffer_flush(buffer);
  if (buffer.failed) return false;
  if (n <= XML_FILE_BUFFER_SIZE - 1) {
    std::memcpy(buffer.data + buffer.count, bytes, n);
    buffer.count += n;
  } else if (!write_all(buffer.file, bytes, n)) {
    buffer.failed = true;
  }
  return !buffer.failed;
}

bool xml_file_buffer_write_cstring(XmlFileBuffer& buffer, const char* string) {
  if (string == nullptr) return !buffer.failed;
  const size_t n = std::strlen(string);
  return n <= UINT32_MAX && xml_file_buffer_write(buffer, string, static_cast<uint32_t>(n));
}

bool xml_file_buffer_close(XmlFileBuffer& buffer) {
  xml_file_buffer_flush(buffer);
  if (buffer.file >= 0 && platform_file_close(buffer.file) != 0) buffer.failed = true;
  buffer.file = -1;
  return !buffer.failed;
}

// ---- Output of the writer ------------------------------------------------------------------

namespace {

void emit(XmlWriter& writer, const char* bytes, uint32_t n) {
  bool ok = true;
  if (writer.file_buffer)
    ok = xml_file_buffer_write(*writer.file_buffer, bytes, n);
  else if (writer.string_buffer)
    ok = xml_text_append(*writer.string_buffer, bytes, n);
  if (!ok) writer.write_failed = true;
}

void emit(XmlWriter& writer, const char* string) {
  emit(writer, string, static_cast<uint32_t>(std::strlen(string)));
}

void emit_tabs(XmlWriter& writer, int32_t count) {
  static const char tabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
  for (; count > 0; count -= 16) emit(writer, tabs, static_cast<uint32_t>(std::min(count, 16)));
}

// The escaped form of a text: the scratch text, or the text itself when nothing needs escaping.
const char* escaped(XmlWriter& writer, const char* text) {
  if (std::strpbrk(text, "&<>'\"") == nullptr) return text;
  if (!xml_escape_text(writer, text)) {
    writer.write_failed = true;
    return "";
  }
  return xml_element_text(writer.scratch);
}

bool pending(const XmlWriter& writer) {
  return writer.state == XML_WRITER_START_TAG || writer.state == XML_WRITER_ATTRIBUTES;
}

// Nothing attached, or inside an element refused for a full stack.
bool refused(const XmlWriter& writer) {
  return !xml_writer_is_open(writer) || writer.refused_depth > 0;
}

}  // namespace

bool xml_escape_text(XmlWriter& writer, const char* text) {
  XmlText& out = writer.scratch;
  xml_text_clear(out);
  if (!xml_text_append(out, "", 0)) return false;
  for (const char* p = text; *p;) {
    const size_t run = std::strcspn(p, "&<>'\"");
    if (run >= XML_TEXT_CAPACITY_LIMIT || !xml_text_append(out, p, static_cast<uint32_t>(run)))
      return false;
    p += run;
    if (*p == 0) break;
    const char* entity = *p == '&'    ? "&amp;"
                         : *p == '<'  ? "&lt;"
                         : *p == '>'  ? "&gt;"
                         : *p == '\'' ? "&apos;"
                                      : "&quot;";
    if (!xml_text_append_cstring(out, entity)) return false;
    ++p;
  }
  return true;
}

// ---- Life of a writer ----------------------------------------------------------------------

void xml_writer_init(XmlWriter& writer, int32_t stack_size, uint32_t text_step) {
  writer.file = -1;
  writer.file_buffer.reset();
  writer.string_buffer = nullptr;
  writer.state = XML_WRITER_NEW;
  writer.depth = 0;
  writer.stack_size = std::max(stack_size, 1);
  writer.element_stack.clear();
  writer.element_stack.resize(static_cast<size_t>(writer.stack_size));
  for (XmlText& name : writer.element_stack) xml_text_init(name, text_step);
  xml_text_init(writer.scratch, text_step);
  writer.refused_depth = 0;
  writer.write_failed = false;
}

void xml_writer_free(XmlWriter& writer) {
  if (writer.file_buffer) xml_writer_close(writer);
  writer.element_stack.clear();
  xml_text_free(writer.scratch);
  writer.depth = 0;
}

int xml_writer_open(XmlWriter& writer, const char* path) {
  if (xml_writer_is_open(writer) || path == nullptr) return 0;
  const int file = platform_file_open(path, O_WRONLY | O_CLOEXEC);
  if (file < 0) {
    report_file_error(platform_result_of_errno(errno), "");
    return 0;
  }
  return xml_writer_open_refnum(writer, file);
}

int xml_writer_open_refnum(XmlWriter& writer, int file) {
  if (xml_writer_is_open(writer)) return 0;
  if (platform_file_seek(file, 0, SEEK_SET) < 0) {
    report_file_error(platform_result_of_errno(errno), "");
    platform_file_close(file);
    return 0;
  }
  writer.file_buffer = std::make_unique<XmlFileBuffer>();
  writer.file_buffer->file = file;
  writer.file = file;
  writer.write_failed = false;
  return 1;
}

int xml_writer_attach_string(XmlWriter& writer, XmlText& text) {
  if (xml_writer_is_open(writer)) return 0;
  writer.string_buffer = &text;
  writer.write_failed = false;
  return 1;
}

int xml_writer_is_open(const XmlWriter& writer) {
  return writer.file_buffer != nullptr || writer.string_buffer != nullptr;
}

int xml_writer_close(XmlWriter& writer) {
  if (!xml_writer_is_open(writer)) return 0;
  bool ok = !writer.write_failed;
  if (writer.file_buffer) {
    if (!xml_file_buffer_close(*writer.file_buffer)) ok = false;
    writer.file_buffer.reset();
    writer.file = -1;
  }
  writer.string_buffer = nullptr;
  writer.write_failed = false;
  return ok ? 1 : 0;
}

// ---- Elements ------------------------------------------------------------------------------

int xml_start_element(XmlWriter& writer, const char* name) {
  if (refused(writer) || name == nullptr) {
    if (writer.refused_depth > 0 && name != nullptr) ++writer.refused_depth;
    return 0;
  }
  if (writer.depth + 1 >= writer.stack_size) {
    std::printf("Error, stack too small\n");
    ++writer.refused_depth;
    return 0;
  }
  if (pending(writer)) emit(writer, ">\n");
  emit_tabs(writer, writer.depth);
  emit(writer, "<");
  emit(writer, name);
  XmlText& slot = writer.element_stack[writer.depth++];
  xml_text_clear(slot);
  if (!xml_text_append_cstring(slot, name)) writer.write_failed = true;
  writer.state = XML_WRITER_START_TAG;
  return 1;
}

int xml_add_attribute(XmlWriter& writer, const char* name, const char* value) {
  if (refused(writer) || name == nullptr || value == nullptr || *name == 0 || !pending(writer))
    return 0;
  emit(writer, " ");
  emit(writer, name);
  emit(writer, "=\"");
  emit(writer, escaped(writer, value));
  emit(writer, "\"");
  writer.state = XML_WRITER_ATTRIBUTES;
  return 1;
}

int xml_add_text(XmlWriter& writer, const char* text) {
  if (refused(writer) || text == nullptr) return 0;
  if (pending(writer)) emit(writer, ">");
  emit(writer, escaped(writer, text));
  writer.state = XML_WRITER_TEXT;
  return 1;
}

int xml_end_element(XmlWriter& writer) {
  if (!xml_writer_is_open(writer)) return 0;
  if (writer.refused_depth > 0) {
    --writer.refused_depth;
    return 0;
  }
  if (writer.depth == 0) return 0;
  XmlText& name = writer.element_stack[writer.depth - 1];
  if (pending(writer)) {
    emit(writer, "/>\n");
  } else {
    if (writer.state == XML_WRITER_ENDED) emit_tabs(writer, writer.depth - 1);
    emit(writer, "</");
    emit(writer, xml_element_text(name));
    emit(writer, ">\n");
  }
  --writer.depth;
  writer.state = XML_WRITER_ENDED;
  return 1;
}

int xml_write_line(XmlWriter& writer, const char* text) {
  if (refused(writer) || text == nullptr) return 0;
  if (pending(writer)) emit(writer, ">");
  emit(writer, text);
  emit(writer, "\n");
  writer.state = XML_WRITER_RAW;
  return 1;
}

int xml_write_buffer(XmlWriter& writer, XmlText& text) {
  if (refused(writer) || &text == writer.string_buffer) return 0;
  if (pending(writer)) emit(writer, ">\n");
  emit_tabs(writer, writer.depth);
  if (text.length > 1) emit(writer, text.bytes.get(), text.length - 1);
  writer.state = XML_WRITER_RAW;
  return 1;
}
