// piece_format.h: the bytes of the piece file that reading and writing share: the format
// numbers and record sizes, the layout strings of the header records, the file handle with
// its big-endian helpers, header field I/O (do_io), the widening of records of old formats
// (expand_XYPOS_fields) and the conversion applied to every node record (convert_node_io).
//
// Everything in the file is big-endian. Node payloads and the header records are kept
// big-endian in memory too, so a record of the current format is written and read as it
// lies in memory; only the header's single numbers pass through the helpers below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/drosa.h"
#include "model/model_services.h"

// ---- Format numbers and sizes ---------------------------------------------------------------

inline constexpr int PIECE_FORMAT_WRITTEN = 344;  // the format written
inline constexpr int PIECE_FORMAT_OLDEST = 318;   // the oldest format read
inline constexpr int PIECE_FORMAT_NEWEST = 347;   // the newest format read (converted down)
inline constexpr int PIECE_FORMAT_LIMIT = 4000;   // versions above this are not piece files

inline constexpr int IO_READ = 12;   // mode of header_io, do_io and convert_node_io: reading
inline constexpr int IO_WRITE = 13;  // writing

inline constexpr int NODE_RECORD_SIZE = 56;      // a node from its kind byte on
inline constexpr int NODE_RECORD_OFFSET = 8;     // node byte of a record's first byte
inline constexpr int HEADER_FIXED_LENGTH = 350;  // header_length = 350 + 262 x contexts
inline constexpr int HEADER_BYTES_PER_CONTEXT = 262;
// Header of the format written, from the version field on: 354 + 262 x contexts.
inline int piece_header_size(int contexts) {
  return 4 + HEADER_FIXED_LENGTH + HEADER_BYTES_PER_CONTEXT * contexts;
}

// Bytes of one node record in a file of the given version: 56 (343..346), 52 (347; the last
// four payload bytes are left out), 24 (342 and older; widened after reading).
int node_record_size(int version);

// Widths of the fields of the header records: "1", "2", "4" bytes, "x" a coordinate (4
// bytes; 2 in files of version 342 or older).
extern const char* const OPTIONS_LAYOUT;
extern const char* const PERF_DEFAULTS_LAYOUT;
extern const char* const PRINT_RECORD_LAYOUT;

// Offsets in perf_defaults.
inline constexpr int PERF_PLATFORM_CODE = 18;     // u8: 1 written; 0 and 3 older platforms
inline constexpr int PERF_PLATFORM_SPARE = 19;    // u8: 0 written
inline constexpr int PERF_NOTEHEAD_COLORS = 238;  // 16 x (red, green, blue), u16 each
inline constexpr int NOTEHEAD_COLOR_COMPONENTS = 48;

// ---- The open file --------------------------------------------------------------------------

// Reads from bytes in memory.
void piece_file_from_memory(PieceFile* file, const uint8_t* data, size_t size);
// Writes what is buffered (writing only).
int16_t piece_file_flush(PieceFile* file);

// Reads n bytes; RESULT_END_OF_FILE when fewer are left (those are consumed).
int16_t piece_read(PieceFile* file, void* bytes, size_t n);
// Passes over n bytes being read.
int16_t piece_skip(PieceFile* file, size_t n);
int16_t piece_write(PieceFile* file, const void* bytes, size_t n);

// ---- Big-endian numbers ---------------------------------------------------------------------

float get_be_float(const uint8_t* p);
void put_be_float(uint8_t* p, float v);

// Fields of a node by record offset (node byte - 8), as the conversions name them. An offset
// outside the record reads 0 and writes nothing.
uint8_t rec_u8(Drosa node, int offset);
int16_t rec_i16(Drosa node, int offset);
int32_t rec_i32(Drosa node, int offset);
void set_rec_u8(Drosa node, int offset, uint8_t v);
void set_rec_i16(Drosa node, int offset, int16_t v);
void set_rec_i32(Drosa node, int offset, int32_t v);
// Bit `bit` (0 the lowest) of the big-endian 16-bit field at a record offset.
bool rec_bit16(Drosa node, int offset, int bit);
void set_rec_bit16(Drosa node, int offset, int bit, bool on);
// Bits low..low+count-1 of that field, as a number.
int rec_bits16(Drosa node, int offset, int low, int count);
void set_rec_bits16(Drosa node, int offset, int low, int count, int value);

// ---- Header field I/O -----------------------------------------------------------------------

// do_io: reads or writes one header field of `length` bytes at `field`, which has room for
// `capacity` bytes (a field of an old format grows when widened).
// Reads:  header_length, header_bytes_done, and the version for widening.
// Writes: header_bytes_done (grows by `length`, read or skipped).
// Reading skips a field that would begin at or after header_length (it keeps the value set
// up for it). Failure: a system error is shown through report_file_error and gives 0; a
// field that would run past the header's end is a damaged header (level 2) and gives 0; any
// other mode is "header: bad call on do_io" (level 4) and 0.
int do_io(void* field, int length, int capacity, int mode, PieceFile* file, const char* layout,
          int version);
// The same for a 16-bit number kept in host order.
int do_io_i16(int16_t* value, int mode, PieceFile* file, int version);
// True when the next header field begins within the header (reading).
bool header_field_present();

// ---- Old formats and conversions ------------------------------------------------------------

// expand_XYPOS_fields: widens data of a file of version 342 or older in place, by the layout
// string: a 2-byte coordinate becomes 4 bytes (sign-extended), a 10-byte parameter value 14
// bytes (re-walked by the parameter's value type). `count` bytes were read into a buffer of
// `capacity` bytes; returns the count after widening (never more than capacity). Versions
// above 342 are left alone.
// Failure: a parameter value of a type without a layout is "Illegal parameter node in
// expand_XYPOS_fields()!" (level 4), the rest not converted; a parameter number outside
// 1..753 leaves the value unconverted.
int expand_XYPOS_fields(uint8_t* data, int count, int capacity, const char* layout, int version);

// The state convert_node_io keeps between records: the last text-annotation head.
struct NodeIoState {
  int16_t font = 0;         // font code of the last TPARAM
  bool music_font = false;  // that code is Quor, Sayl, Sonata or Symbol
};

// convert_node_io: mode 13 before a record is written, 12 after it is written or read. A
// TPARAM's font is remembered; on reading, the text of a TEXT in a music font is translated
// from the older platform's character set when perf_defaults' platform code says so.
void convert_node_io(Drosa node, int mode, NodeIoState* state);
// The character translation of texts in music fonts from the older platform.
uint8_t translate_music_char(uint8_t c);
