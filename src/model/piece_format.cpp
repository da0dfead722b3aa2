// piece_format.cpp: the file handle and its big-endian helpers, header field I/O, the
// widening of records of old formats and the per-record conversion shared by reading and
// writing.
//
// Reading never trusts a count from the file: every read is bounded by the bytes asked for,
// every widening by the room of its buffer, every record field by the record's 56 bytes.
#include "model/piece_format.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/error_report.h"
#include "model/file_errors.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "platform/files.h"
#include "platform/os_errors.h"

const char* const OPTIONS_LAYOUT = "xx222224xxxx222222xxxx222221122222xx42";
const char* const PERF_DEFAULTS_LAYOUT =
    "222222222112222222222222222222222222444444444444444444444444444444444444444444"
    "222222222222222222222222222222222222222222222222";
const char* const PRINT_RECORD_LAYOUT =
    "22222222222222211222222222222111111222114421144444444411444444";

int node_record_size(int version) {
  if (version <= 342) return 24;
  if (version >= 347) return 52;
  return NODE_RECORD_SIZE;
}

// ---- The open file --------------------------------------------------------------------------

namespace {

constexpr size_t PIECE_BUFFER_SIZE = 1 << 16;

int16_t errno_result() { return platform_result_of_errno(errno ? errno : EIO); }

// Writes the buffer out.
int16_t write_buffer(PieceFile* file) {
  const uint8_t* p = file->buffer.data();
  size_t left = file->buffer_end;
  while (left > 0) {
    const ssize_t n = platform_file_write(file->fd, p, left);
    if (n < 0) return errno_result();
    p += n;
    left -= size_t(n);
  }
  file->buffer_end = 0;
  return RESULT_OK;
}

// Refills the read buffer; RESULT_END_OF_FILE when nothing is left.
int16_t fill_buffer(PieceFile* file) {
  if (file->buffer.size() < PIECE_BUFFER_SIZE) file->buffer.resize(PIECE_BUFFER_SIZE);
  for (;;) {
    ssize_t n = platform_file_read(file->fd, file->buffer.data(), file->buffer.size());
    if (n < 0) return errno_result();
    if (n == 0) return RESULT_END_OF_FILE;
    file->buffer_start = 0;
    file->buffer_end = size_t(n);
    return RESULT_OK;
  }
}

}  // namespace

int16_t piece_file_open(PieceFile* file, const char* path, int flags) {
  *file = PieceFile{};
  // Not waiting for a writer: a named pipe or a device is refused, not read.
  int fd = platform_file_open(path, flags | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno_result();
  PlatformFileStatus st;
  if (platform_file_status_of(fd, &st) != 0 || !S_ISREG(st.mode)) {
    platform_file_close(fd);
    errno = EINVAL;
    return RESULT_BAD_NAME;
  }
  file->fd = fd;
  return RESULT_OK;
}

void piece_file_from_memory(PieceFile* file, const uint8_t* data, size_t size) {
  *file = PieceFile{};
  file->data = data;
  file->size = size;
}

int16_t piece_file_flush(PieceFile* file) {
  if (!file->writing || file->fd < 0) return RESULT_OK;
  return write_buffer(file);
}

int16_t piece_file_close(PieceFile* file) {
  int16_t result = RESULT_OK;
  if (file->fd >= 0) {
    if (file->writing) {
      result = write_buffer(file);
      if (result == RESULT_OK && platform_file_sync(file->fd) != 0) result = errno_result();
    }
    if (platform_file_close(file->fd) != 0 && result == RESULT_OK) result = errno_result();
  }
  file->fd = -1;
  file->buffer.clear();
  file->buffer_start = file->buffer_end = 0;
  return result;
}

int16_t piece_read(PieceFile* file, void* bytes, size_t n) {
  uint8_t* out = static_cast<uint8_t*>(bytes);
  if (file->fd < 0) {
    size_t left = file->size - file->position;
    size_t take = n < left ? n : left;
    if (take && out) std::memcpy(out, file->data + file->position, take);
    file->position += take;
    return take == n ? RESULT_OK : RESULT_END_OF_FILE;
  }
  while (n > 0) {
    if (file->buffer_start == file->buffer_end) {
      int16_t result = fill_buffer(file);
      if (result != RESULT_OK) return result;
    }
    size_t have = file->buffer_end - file->buffer_start;
    size_t take = n < have ? n : have;
    if (out) {
      std::memcpy(out, file->buffer.data() + file->buffer_start, take);
      out += take;
    }
    file->buffer_start += take;
    file->position += take;
    n -= take;
  }
  return RESULT_OK;
}

int16_t piece_skip(PieceFile* file, size_t n) { return piece_read(file, nullptr, n); }

int16_t piece_write(PieceFile* file, const void* bytes, size_t n) {
  if (!file->writing || file->fd < 0) return RESULT_NOT_OPEN;
  const uint8_t* in = static_cast<const uint8_t*>(bytes);
  while (n > 0) {
    size_t room = file->buffer.size() - file->buffer_end;
    size_t take = n < room ? n : room;
    std::memcpy(file->buffer.data() + file->buffer_end, in, take);
    file->buffer_end += take;
    file->position += take;
    in += take;
    n -= take;
    if (file->buffer_end == file->buffer.size()) {
      int16_t result = write_buffer(file);
      if (result != RESULT_OK) return result;
    }
  }
  return RESULT_OK;
}

// ---- Big-endian numbers ---------------------------------------------------------------------

int16_t get_be16(const uint8_t* p) { return int16_t(load_big_endian(p, 2)); }
int32_t get_be32(const uint8_t* p) { return int32_t(load_big_endian(p, 4)); }
float get_be_float(const uint8_t* p) {
  uint32_t bits = load_big_endian(p, 4);
  float v;
  std::memcpy(&v, &bits, sizeof v);
  return v;
}
void put_be16(uint8_t* p, int16_t v) { store_big_endian(p, 2, uint16_t(v)); }
void put_be32(uint8_t* p, int32_t v) { store_big_endian(p, 4, uint32_t(v)); }
void put_be_float(uint8_t* p, float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  store_big_endian(p, 4, bits);
}

namespace {
uint8_t* record_field(Drosa node, int offset, int bytes) {
  if (offset < 0 || offset + bytes > NODE_RECORD_SIZE) return nullptr;
  return node->bytes() + NODE_RECORD_OFFSET + offset;
}
}  // namespace

uint8_t rec_u8(Drosa node, int offset) {
  const uint8_t* p = record_field(node, offset, 1);
  return p ? *p : 0;
}
int16_t rec_i16(Drosa node, int offset) {
  const uint8_t* p = record_field(node, offset, 2);
  return p ? get_be16(p) : 0;
}
int32_t rec_i32(Drosa node, int offset) {
  const uint8_t* p = record_field(node, offset, 4);
  return p ? get_be32(p) : 0;
}
void set_rec_u8(Drosa node, int offset, uint8_t v) {
  if (uint8_t* p = record_field(node, offset, 1)) *p = v;
}
void set_rec_i16(Drosa node, int offset, int16_t v) {
  if (uint8_t* p = record_field(node, offset, 2)) put_be16(p, v);
}
void set_rec_i32(Drosa node, int offset, int32_t v) {
  if (uint8_t* p = record_field(node, offset, 4)) put_be32(p, v);
}
bool rec_bit16(Drosa node, int offset, int bit) {
  return (uint16_t(rec_i16(node, offset)) >> bit) & 1;
}
void set_rec_bit16(Drosa node, int offset, int bit, bool on) {
  set_rec_bits16(node, offset, bit, 1, on ? 1 : 0);
}
int rec_bits16(Drosa node, int offset, int low, int count) {
  return (uint16_t(rec_i16(node, offset)) >> low) & ((1u << count) - 1);
}
void set_rec_bits16(Drosa node, int offset, int low, int count, int value) {
  uint16_t mask = uint16_t(((1u << count) - 1) << low);
  uint16_t word = uint16_t(rec_i16(node, offset));
  word = uint16_t((word & ~mask) | ((uint32_t(value) << low) & mask));
  set_rec_i16(node, offset, int16_t(word));
}

// ---- Header field I/O -----------------------------------------------------------------------

bool header_field_present() { return header_bytes_done < header_length; }

int do_io(void* field, int length, int capacity, int mode, PieceFile* file, const char* layout,
          int version) {
  if (mode == IO_READ) {
    if (header_bytes_done >= header_length) {
      header_bytes_done += length;
      return 1;
    }
    if (header_bytes_done + length > header_length) {
      REPORT_ERROR(2, "%s",
                   "The header of this piece file is damaged; the piece cannot be opened.");
      return 0;
    }
    int16_t result = piece_read(file, field, size_t(length));
    if (result != RESULT_OK) {
      report_file_error(result, "");
      return 0;
    }
    expand_XYPOS_fields(static_cast<uint8_t*>(field), length, capacity, layout, version);
  } else if (mode == IO_WRITE) {
    int16_t result = piece_write(file, field, size_t(length));
    if (result != RESULT_OK) {
      report_file_error(result, "");
      return 0;
    }
  } else {
    REPORT_ERROR(4, "header: bad call on do_io");
    return 0;
  }
  header_bytes_done += length;
  return 1;
}

int do_io_i16(int16_t* value, int mode, PieceFile* file, int version) {
  uint8_t bytes[2];
  put_be16(bytes, *value);
  if (!do_io(bytes, 2, 2, mode, file, "2", version)) return 0;
  if (mode == IO_READ) *value = get_be16(bytes);
  return 1;
}

// ---- Widening ---------------------------------------------------------------------------------

namespace {

// One pass of the widening over `count` bytes at data (room for `capacity`). Remembers where a
// parameter value starts and where the last 2-byte field before it lies. Returns the end of
// the data after widening.
int widen_walk(uint8_t* data, int count, int capacity, const char* layout, int* value_at,
               int* pindex_at) {
  int p = 0, r = count;
  int last_word = -1;
  for (const char* s = layout; *s && r >= 1; ++s) {
    switch (*s) {
      case '1':
      case '2':
      case '4':
        if (*s == '2') last_word = p;
        p += *s - '0';
        r -= *s - '0';
        break;
      case '(':
        while (*s && *s != ')') ++s;
        if (!*s) return p + r;
        p += 1;
        r -= 1;
        break;
      case 'x': {
        if (r < 2 || p + 4 + (r - 2) > capacity) return p + r;
        int16_t v = get_be16(data + p);
        std::memmove(data + p + 4, data + p + 2, size_t(r - 2));
        put_be32(data + p, v);
        p += 4;
        r -= 2;
        break;
      }
      case '+':
        if (value_at) *value_at = p;
        if (pindex_at) *pindex_at = last_word;
        p += 10;
        r -= 10;
        break;
      default:
        break;
    }
  }
  return p + r;
}

const char* value_layout(uint32_t type) {
  switch (type) {
    case 2:
    case 3:
      return "2";
    case 4:
    case 5:
      return "x";
    case 6:
    case 7:
      return "4";
    case 8:
    case 9:
      return "21111xx";
    case 10:
    case 11:
      return "211111111";
    default:
      return nullptr;
  }
}

}  // namespace

int expand_XYPOS_fields(uint8_t* data, int count, int capacity, const char* layout, int version) {
  if (version > 342 || count <= 0) return count;
  if (count > capacity) count = capacity;
  int value_at = -1, pindex_at = -1;
  int end = widen_walk(data, count, capacity, layout, &value_at, &pindex_at);
  if (value_at < 0) return end;

  // The value grows from 10 bytes to 14: what follows it moves 4 on.
  int after = value_at + 10;
  if (end > after) {
    if (end + 4 > capacity) return end;
    std::memmove(data + after + 4, data + after, size_t(end - after));
    std::memset(data + after, 0, 4);
    end += 4;
  } else if (value_at + PARAM_VALUE_SIZE <= capacity) {
    std::memset(data + (end > value_at ? end : value_at), 0,
                size_t(value_at + PARAM_VALUE_SIZE - (end > value_at ? end : value_at)));
  }
  if (pindex_at < 0 || pindex_at + 2 > count) return end;
  int pindex = get_be16(data + pindex_at);
  const int type = model_hooks.param_type(pindex);
  if (type < 0) return end;
  const char* inner = value_layout(uint32_t(type));
  if (!inner) {
    REPORT_ERROR(4, "Illegal parameter node in expand_XYPOS_fields()!");
    return end;
  }
  int value_bytes = end - value_at < 10 ? end - value_at : 10;
  if (value_bytes > 0)
    widen_walk(data + value_at, value_bytes, PARAM_VALUE_SIZE, inner, nullptr, nullptr);
  return end;
}

// ---- convert_node_io ----------------------------------------------------------------------------

uint8_t translate_music_char(uint8_t c) {
  // Pairs (from, to); every other byte maps to itself.
  static const uint8_t pairs[][2] = {
      {0x01, 0xD0}, {0x02, 0xF0}, {0x05, 0x8A}, {0x06, 0x9A}, {0x07, 0xDD}, {0x08, 0xFD},
      {0x0B, 0xDE}, {0x0C, 0xFE}, {0x15, 0xBD}, {0x16, 0xBC}, {0x17, 0xB9}, {0x18, 0xBE},
      {0x19, 0xB3}, {0x1A, 0xB2}, {0x1B, 0xA6}, {0x1C, 0xAD}, {0x1D, 0xD7}, {0x80, 0xC4},
      {0x81, 0xC5}, {0x82, 0xC7}, {0x83, 0xC9}, {0x84, 0xD1}, {0x85, 0xD6}, {0x86, 0xDC},
      {0x87, 0xE1}, {0x88, 0xE0}, {0x89, 0xE2}, {0x8A, 0xE4}, {0x8B, 0xE3}, {0x8C, 0xE5},
      {0x8D, 0xE7}, {0x8E, 0xE9}, {0x8F, 0xE8}, {0x90, 0xEA}, {0x91, 0xEB}, {0x92, 0xED},
      {0x93, 0xEC}, {0x94, 0xEE}, {0x95, 0xEF}, {0x96, 0xF1}, {0x97, 0xF3}, {0x98, 0xF2},
      {0x99, 0xF4}, {0x9A, 0xF6}, {0x9B, 0xF5}, {0x9C, 0xFA}, {0x9D, 0xF9}, {0x9E, 0xFB},
      {0x9F, 0xFC}, {0xA0, 0x86}, {0xA1, 0xB0}, {0xA4, 0xA7}, {0xA5, 0x95}, {0xA6, 0xB6},
      {0xA7, 0xDF}, {0xA8, 0xAE}, {0xAA, 0x99}, {0xAB, 0xB4}, {0xAC, 0xA8}, {0xAD, 0x1B},
      {0xAE, 0xC6}, {0xAF, 0xD8}, {0xB0, 0x01}, {0xB2, 0x02}, {0xB3, 0x07}, {0xB4, 0xA5},
      {0xB6, 0x0B}, {0xB7, 0x0C}, {0xB8, 0x1C}, {0xB9, 0x17}, {0xBA, 0x1A}, {0xBB, 0xAA},
      {0xBC, 0xBA}, {0xBD, 0x19}, {0xBE, 0xE6}, {0xBF, 0xF8}, {0xC0, 0xBF}, {0xC1, 0xA1},
      {0xC2, 0xAC}, {0xC3, 0x15}, {0xC4, 0x83}, {0xC5, 0x16}, {0xC6, 0x18}, {0xC7, 0xAB},
      {0xC8, 0xBB}, {0xC9, 0x85}, {0xCA, 0xA0}, {0xCB, 0xC0}, {0xCC, 0xC3}, {0xCD, 0xD5},
      {0xCE, 0x8C}, {0xCF, 0x9C}, {0xD0, 0x96}, {0xD1, 0x97}, {0xD2, 0x93}, {0xD3, 0x94},
      {0xD4, 0x91}, {0xD5, 0x92}, {0xD6, 0xF7}, {0xD7, 0x80}, {0xD8, 0xFF}, {0xD9, 0x9F},
      {0xDA, 0x81}, {0xDB, 0xA4}, {0xDC, 0x8B}, {0xDD, 0x9B}, {0xDE, 0x8D}, {0xDF, 0x8E},
      {0xE0, 0x87}, {0xE1, 0xB7}, {0xE2, 0x82}, {0xE3, 0x84}, {0xE4, 0x89}, {0xE5, 0xC2},
      {0xE6, 0xCA}, {0xE7, 0xC1}, {0xE8, 0xCB}, {0xE9, 0xC8}, {0xEA, 0xCD}, {0xEB, 0xCE},
      {0xEC, 0xCF}, {0xED, 0xCC}, {0xEE, 0xD3}, {0xEF, 0xD4}, {0xF0, 0x8F}, {0xF1, 0xD2},
      {0xF2, 0xDA}, {0xF3, 0xDB}, {0xF4, 0xD9}, {0xF5, 0x90}, {0xF6, 0x88}, {0xF7, 0x98},
      {0xF8, 0xAF}, {0xF9, 0x9D}, {0xFA, 0x9E}, {0xFB, 0x05}, {0xFC, 0xB8}, {0xFD, 0x06},
      {0xFE, 0x08}, {0xFF, 0x1D},
  };
  static const auto table = [] {
    struct Table {
      uint8_t to[256];
    } t{};
    for (int i = 0; i < 256; ++i) t.to[i] = uint8_t(i);
    for (const auto& pair : pairs) t.to[pair[0]] = pair[1];
    return t;
  }();
  return table.to[c];
}

void convert_node_io(Drosa node, int mode, NodeIoState* state) {
  int kind = node->xkind;
  if (kind == TPARAM) {
    state->font = rec_i16(node, 10);
    int f = state->font;
    state->music_font = f == -1 || f == -2 || f == -3 || f == -6;
  } else if (kind == TEXT && mode == IO_READ && state->music_font &&
             (perf_defaults[PERF_PLATFORM_CODE] & 0x0F) == 3) {
    uint8_t* text = node->bytes() + NODE_RECORD_OFFSET + 2;
    uint8_t* end = node->bytes() + DROSA_NODE_SIZE;
    for (uint8_t* c = text; c < end && *c; ++c) *c = translate_music_char(*c);
  }
}
