// musicxml_services.h: what the rest of the program asks of the MusicXML interchange.
// Other folders include this header and no other header of ImportExport/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "model/model_services.h"

// import_musicxml: imports the MusicXML document named by piece_fsspec (a plain document, or
// a compressed one: is_compressed_musicxml) into fresh voice lists:
// the piece's voices, notes, bar lines, clefs, keys, time signatures, annotations, system and
// page breaks and page size; then the parameter table is rebuilt, every page formatted (a
// document that breaks no pages, and each of its pages with more staves than a page takes,
// has its pages broken where they are full) and the undo history emptied, unless the piece is
// `only_to_print`: the records of its format are then let go of with the piece (they are many
// and nothing undoes them). 1 when imported;
// 0 when the import was given up after a message, leaving no voice list (voice_count 0) and
// no node of it in the store.
// Reads:  piece_fsspec, the current notation context, its options and page size.
// Writes: voice_count, piece_start and every voice list, page_start, the options record of
//         the current context (page size, margins), the parameter table, the undo history,
//         the pages the format fits to the paper, the window title's extra text and the
//         cursor.
// Failure: level 2 with the reason: "Vesk could not open the MusicXML file.", "Import error:
//          Badly formatted Music XML." (also for a document cut short), "This is not a valid
//          MusicXML file.", the score-partwise message, "Vesk requires 'type' elements for
//          notes in MusicXML.", the limits of parts and staves, and for a compressed file
//          "The compressed MusicXML file 'x.mxl' is damaged: ...", "... holds no MusicXML
//          document." or "Vesk cannot read the compressed MusicXML file 'x.mxl': ...".
int import_musicxml(bool only_to_print = false);

// The same over a document held in memory. With `complete` 0 the import stops after its
// analysing pass: the voice lists are the piece's, not yet broken into systems or formatted.
int import_musicxml_memory(const void* bytes, size_t size, int complete = 1);

// is_compressed_musicxml: whether the file at `path` is read as compressed MusicXML (a ZIP
// archive holding the document, which import_musicxml unpacks): its first bytes are a ZIP
// archive's, or its name ends in ".mxl" or ".MXL" and it does not begin as an XML document
// does. Only reads the file's first bytes.
bool is_compressed_musicxml(const std::string& path);

// read_mxl_container: the document a compressed MusicXML file of `size` bytes names first in
// its container (without a container: its one .xml or .musicxml entry at the top level), read
// through the archive's table of contents, unpacked (stored or deflated) and its checksum
// checked. `name` is the file's name, for the message; no entry unpacks to more than `limit`
// bytes. 1 with *document its bytes; 0 with *message a sentence naming the file and saying what
// is wrong. Never reads outside the bytes given and never unpacks past an entry's stated size.
// Reads and writes no global.
int read_mxl_container(const uint8_t* bytes, size_t size, const std::string& name, uint64_t limit,
                       std::string* document, std::string* message);

// export_musicxml: the Export MusicXML command: asks for the file in the save dialog and
// writes the piece there (export_musicxml_file). 1 when written; 0 when cancelled or failed.
int export_musicxml();

// export_musicxml_file: writes the piece, as the Score sees it, as a MusicXML score-partwise
// document (UTF-8, 192 divisions to a quarter note, or a multiple of 192 that times every
// note exactly) at `path`. The document is written into a new file in the same folder, which
// takes the name only once it is complete: a failure (said at level 2, "Exporting MusicXML:
// ..." or "Could not open XML file for writing.") leaves no partial document and any file of
// that name as it was. 1 when written, else 0.
// Reads: the voice lists, their annotations, the parameters of the dynamics and tempo glyphs.
int export_musicxml_file(const std::string& path);

// Puts the import's program-wide state back to its start, releasing what it holds.
void reset_musicxml_globals();

// ==== xml_reader.cpp =============================================================================
// The program's own streaming XML reader, its growable text buffer, lookups by name in sorted
// tables, and text conversion between UTF-8 and Mac OS Roman.

// ---- Text buffers --------------------------------------------------------------------------

inline constexpr uint32_t XML_TEXT_DEFAULT_STEP = 16;

// A growable byte buffer. `length` counts the bytes in use plus one terminator slot (the byte
// at length - 1) and is 0 exactly when no storage is held. Appending a character writes into
// the terminator slot; the terminator is written only when the text is handed out.
// A text may instead show bytes held elsewhere (`shown`, terminated, length - 1 of them, the
// owned storage then unused): the record of a document read ahead lends its texts so. Every
// change first copies them into owned storage.
struct XmlText {
  uint32_t length = 0;                    // bytes in use including the terminator slot
  uint32_t capacity = 0;                  // bytes allocated
  uint32_t step = XML_TEXT_DEFAULT_STEP;  // smallest capacity allocated
  std::unique_ptr<char[]> bytes;          // owned storage
  const char* shown = nullptr;            // the bytes held elsewhere; nullptr when owned
};

// The text as a zero-terminated string; "" when it holds nothing.
const char* xml_element_text(XmlText& text);

// The bytes held, without the terminator slot.
inline uint32_t xml_text_size(const XmlText& text) { return text.length ? text.length - 1 : 0; }

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
  // What the read's coder made of the innermost name; XML_NO_NAME_CODE in a read without one.
  int32_t name_code = INT32_MIN;
};

// ---- Reading -------------------------------------------------------------------------------

// Result codes of xml_read.
inline constexpr int32_t XML_READ_OK = 0;  // the end of input after the last element closed

// Where a read stopped: the line (from 1) and column (bytes from 1) of the byte read last;
// and where the first byte of a UTF-8 document that is no part of a character lies (0: none
// does), which the read passes as it is.
struct XmlReadStop {
  uint64_t line = 0, column = 0;
  uint64_t bad_utf8_line = 0, bad_utf8_column = 0;
};

// Callbacks; their results are ignored, and either may be null. The element record is valid
// only during the call. A callback may end the read by throwing: the exception reaches the
// caller of xml_read unchanged, and the reader's storage is released.
using XmlStartCallback = int (*)(const char* name, XmlElement& element, void* user);
using XmlEndCallback = int (*)(const char* name, void* user);
// Turns an element's name (of `length` bytes) into the number its start callback finds in
// name_code. It runs wherever the document is tokenised (a thread of its own for a large one):
// it must read nothing that changes while the document is read.
using XmlNameCoder = int32_t (*)(const char* name, uint32_t length);

// Reads a document from an open file descriptor, from its current position, and never closes
// it. The document may be UTF-8, UTF-16 or ISO-8859-1/windows-1252: callbacks see UTF-8.
// At most element_stack_size - 1 elements are open at once; an element's first
// attribute_stack_size - 1 attributes are kept, any more dropped. A byte_limit above 0 ends the
// read with XML_READ_TOO_BIG once more decoded bytes than that have come. Returns an XML_READ_
// code; `stop`, when given, receives where the read stopped; `coder`, when given, codes each
// element's name before its start callback.
int32_t xml_read(int file, XmlStartCallback start, XmlEndCallback end, void* user,
                 int32_t element_stack_size, int32_t attribute_stack_size, uint32_t text_step,
                 uint64_t byte_limit = 0, XmlReadStop* stop = nullptr,
                 XmlNameCoder coder = nullptr);
// The same over a document held in memory.
int32_t xml_read_memory(const void* bytes, size_t size, XmlStartCallback start, XmlEndCallback end,
                        void* user, int32_t element_stack_size, int32_t attribute_stack_size,
                        uint32_t text_step, uint64_t byte_limit = 0, XmlReadStop* stop = nullptr,
                        XmlNameCoder coder = nullptr);

// ---- What a start callback reads from the element ------------------------------------------

inline constexpr int32_t XML_NO_INT = INT32_MIN;  // no number (0x80000000)

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

// ==== xml_writer.cpp =============================================================================
// Writes an XML document element by element into a file, through a 1024-byte buffer, or into a
// caller's XmlText. Each element is on a line of its own, indented by one tab per open ancestor; a
// start tag that gets no content becomes an empty-element tag, and an element with text sits on one
// line.

// ---- Buffered file output ------------------------------------------------------------------

inline constexpr uint32_t XML_FILE_BUFFER_SIZE = 1024;

struct XmlFileBuffer {
  char data[XML_FILE_BUFFER_SIZE];
  uint32_t count = 0;   // bytes held
  int file = -1;        // descriptor written to
  bool failed = false;  // a write failed: the file is incomplete, and later output is dropped
};

// ---- The writer ----------------------------------------------------------------------------

// Writer states.
inline constexpr int32_t XML_WRITER_NEW = 0;

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

// Attaches an open descriptor, positioned at its start; the writer closes it.
int xml_writer_open_refnum(XmlWriter& writer, int file);

// Each returns 1 when done and 0 when refused; every one refuses when nothing is attached.
int xml_start_element(XmlWriter& writer, const char* name);

int xml_add_attribute(XmlWriter& writer, const char* name, const char* value);

int xml_add_text(XmlWriter& writer, const char* text);

int xml_end_element(XmlWriter& writer);

int xml_write_line(XmlWriter& writer, const char* text);

// Writes out what the buffer holds, releases it, closes the file and detaches the string.
// 1 when every byte of the document was written; 0 when any output was lost (a full disk, an
// I/O error) or nothing was attached.
int xml_writer_close(XmlWriter& writer);

// ==== musicxml_hooks.cpp =========================================================================

// Registers what the model calls of the import (the document a view opens). Run by
// connect_subsystems at start-up.
void register_musicxml_hooks();

// ==== musicxml_globals.cpp =======================================================================
// The program-wide state of the MusicXML import, shared by its element handlers during one import.
// MusicXML_parse resets all of it at its start.

// Puts the import's state back to its start.
void reset_musicxml_globals();

// ==== xmlt_fields.h ==============================================================================
// The payload of the XMLT node, which the MusicXML import puts before every note, rest and
// measure-end bar while it reads a document: when it starts and how far the part's time moves after
// it. Run time only; descriptors as in model/node_fields.h.

// clang-format off
inline constexpr auto xnwholec = word_field<int32_t>("xnwholec", XMLT, 10);  // start, 65536 a whole note

inline constexpr auto xxmlincr = word_field<int32_t>("xxmlincr", XMLT, 18);  // duration, in divisions
