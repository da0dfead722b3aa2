// readvesk.cpp: reading a piece file: the header with its version gate and conversions, the
// node records voice after voice, and the checks and repairs of every voice.
//
// The file (all numbers big-endian; n = ncontext_count; 16-bit fields unless said):
//
//   OFFSET          SIZE  DESCRIPTION
//   0               2     format version: 344 written; 318..347 read
//   2               2     header_length: header bytes after this field, 350 + 262 n
//   4               2     voice_count, 1..64
//   6               2     requested_page: page shown when opened (0 or too big: page 1)
//   8               2     ncontext_count, 1..65
//   10              2     current_ncontext (outside 1..n read as 1)
//   12              2     L1 = 102 n
//   14              L1    options_struct of contexts 1..n, 102 bytes each
//   14 + L1         2     334
//   16 + L1         334   perf_defaults (byte 18 platform code, written 1)
//   350 + L1        2     L3 = 144 n
//   352 + L1        L3    print_record of contexts 1..n, 144 bytes each
//   352 + L1 + L3   2     L4 = 16 n
//   354 + L1 + L3   L4    ncontext_name of contexts 1..n, 16 bytes each, NUL-terminated
//   4 + header_length     node records, 56 bytes each (node bytes 8..63: kind, context,
//                         payload), voice 0 first; each voice from its head ENDSYST
//                         (xstartpiece) to its final ENDSYST (xendpiece); no count, no
//                         separator; layout records, per-view copies and PARAM nodes are
//                         not stored. A published file adds records that readers skip.
//
// Older files: a header field that would begin at or after header_length is not read and
// keeps its default; blocks 1 and 3 hold fewer records before 326; records are 24 bytes
// (widened) in 342 and older, 52 in 347. Bytes of a newer header beyond the fields known
// here are skipped. Every count, length and kind read is checked before it is used.
#include "model/readvesk.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "model/convert_formats.h"
#include "model/drosa.h"
#include "model/durashn.h"
#include "model/error_report.h"
#include "model/file_errors.h"
#include "model/kept_pages.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/options.h"
#include "model/piece_format.h"
#include "model/undo.h"
#include "model/views.h"
#include "model/voice_chords.h"
#include "model/voice_lists.h"
#include "platform/files.h"
#include "platform/os_errors.h"

namespace {

constexpr const char* DAMAGED_HEADER =
    "The header of this piece file is damaged; the piece cannot be opened.";

// The options of a new piece that the program keeps as its defaults.
constexpr float NEW_PIECE_SCALE = 10.0f;  // float at 96 of the current context's options
constexpr uint8_t NEW_PIECE_DISPLAY = 0;  // byte at 76

constexpr int MIN_PAGE_SIZE = 15, MAX_PAGE_SIZE = 40000;

bool page_size_ok() {
  int32_t w = options_i32(1, OPTIONS_PAGE_WIDTH), h = options_i32(1, OPTIONS_PAGE_HEIGHT);
  return w >= MIN_PAGE_SIZE && w <= MAX_PAGE_SIZE && h >= MIN_PAGE_SIZE && h <= MAX_PAGE_SIZE;
}

}  // namespace

int check_page_size_to_save() {
  if (page_size_ok()) return 1;
  REPORT_ERROR(2,
               "This piece cannot be saved: its page size (%d by %d) must lie between %d and %d "
               "each way. Nothing was written.",
               int(options_i32(1, OPTIONS_PAGE_WIDTH)), int(options_i32(1, OPTIONS_PAGE_HEIGHT)),
               MIN_PAGE_SIZE, MAX_PAGE_SIZE);
  return 0;
}

namespace {

// ---- The default piece ------------------------------------------------------------------------

void default_print_record() {
  uint8_t* pr = print_record[1];
  std::memset(pr, 0, PRINT_RECORD_SIZE);
  put_be16(pr + 50, 100);
  put_be32(pr + 120, 100);
  const int32_t paper[4] = {-12, -12, 780, 600};
  for (int i = 0; i < 4; ++i) put_be32(pr + 128 + 4 * i, paper[i]);
}

// The notehead colours of the user's preferences are not kept yet: the piece's own colours
// stay as they are.
void default_perf_defaults() {
  uint8_t* pd = perf_defaults;
  std::memset(pd, 0, PERF_DEFAULTS_SIZE);
  const int16_t first[9] = {50, 75, 90, 0, 25, 10, 20, 5, 25};
  for (int i = 0; i < 9; ++i) put_be16(pd + 2 * i, first[i]);
  put_be16(pd + 68, 100);
  for (int i = 0; i < 10; ++i) put_be16(pd + 46 + 2 * i, int16_t(20 * (i + 1)));
}

void set_default_piece() {
  voice_count = 1;
  ncontext_count = 1;
  current_ncontext = 1;
  std::memset(ncontext_name, 0, sizeof ncontext_name);
  std::snprintf(ncontext_name[1], NCONTEXT_NAME_SIZE, "%s", "Score");
  for (int c = 2; c <= MAX_NCONTEXTS; ++c)
    std::snprintf(ncontext_name[c], NCONTEXT_NAME_SIZE, "NContext %hd", short(c));
  default_options(options_struct[1]);
  default_print_record();
  for (int c = 2; c <= MAX_NCONTEXTS; ++c) {
    std::memcpy(options_struct[c], options_struct[1], OPTIONS_SIZE);
    std::memcpy(print_record[c], print_record[1], PRINT_RECORD_SIZE);
  }
  default_perf_defaults();
}

// ---- Header blocks ------------------------------------------------------------------------------

// Passes over header bytes, counting them as read.
int skip_header_bytes(PieceFile* file, int count, int version) {
  uint8_t scratch[256];
  while (count > 0) {
    int n = count < int(sizeof scratch) ? count : int(sizeof scratch);
    if (!do_io(scratch, n, n, IO_READ, file, "", version)) return 0;
    count -= n;
  }
  return 1;
}

// The shortest settings record any version of the piece file wrote for one context.
constexpr int MIN_RECORD_LENGTH = 8;

struct RecordBlock {
  uint8_t* first_row;     // the row of context 1
  int row_size;           // bytes of the current record
  const char* layout;     // its field widths
  int stored_length = 0;  // record length in the file
  int records_read = 0;
};

// Reads a block of `records` records (a record longer than the current size has the rest
// skipped; a shorter one fills the row from its start), then copies the last record read into
// the rows after it. 0 on failure.
int read_record_block(PieceFile* file, int version, int records, RecordBlock* block) {
  int16_t length = 0;
  if (!header_field_present()) {
    block->stored_length = block->row_size;
    return 1;
  }
  if (!do_io_i16(&length, IO_READ, file, version)) return 0;
  if (length < 0) {
    REPORT_ERROR(2, "%s", DAMAGED_HEADER);
    return 0;
  }
  int record_length = length / records;
  // Each context's settings are one record of one length: a count of contexts that the block
  // cannot hold is damage, not settings to make up.
  if (records > 1 && (length % records != 0 || record_length < MIN_RECORD_LENGTH)) {
    REPORT_ERROR(2,
                 "This piece file is damaged: its header says it has %hd notation contexts, but "
                 "their settings hold %hd bytes, which cannot be divided among them. The piece "
                 "cannot be opened.",
                 short(records), length);
    return 0;
  }
  block->stored_length = record_length;
  uint8_t scratch[PRINT_RECORD_SIZE + 64];
  for (int i = 1; i <= records; ++i) {
    if (!header_field_present()) break;
    int take = std::min(record_length, block->row_size);
    std::memset(scratch, 0, sizeof scratch);
    std::memcpy(scratch, block->first_row + (i - 1) * block->row_size, block->row_size);
    if (!do_io(scratch, take, int(sizeof scratch), IO_READ, file, block->layout, version)) return 0;
    std::memcpy(block->first_row + (i - 1) * block->row_size, scratch, block->row_size);
    if (!skip_header_bytes(file, record_length - take, version)) return 0;
    block->records_read = i;
  }
  if (block->records_read == records &&
      !skip_header_bytes(file, length - record_length * records, version))
    return 0;
  for (int i = block->records_read + 1; block->records_read > 0 && i <= MAX_NCONTEXTS; ++i)
    std::memcpy(block->first_row + (i - 1) * block->row_size,
                block->first_row + (block->records_read - 1) * block->row_size, block->row_size);
  return 1;
}

int read_options_block(PieceFile* file, int version) {
  int records = version >= 326 ? ncontext_count : version >= 320 ? 2 : 1;
  RecordBlock block{options_struct[1], OPTIONS_SIZE, OPTIONS_LAYOUT};
  if (!read_record_block(file, version, records, &block)) return 0;
  if (block.records_read > 0) {
    convert_first_options_record(options_struct[1], block.stored_length, version);
    // When record 1 was the only one, its copies take the conversion too.
    if (block.records_read == 1)
      for (int c = 2; c <= MAX_NCONTEXTS; ++c)
        std::memcpy(options_struct[c], options_struct[1], OPTIONS_SIZE);
  }
  if (!page_size_ok()) {
    REPORT_ERROR(2, "%s", "This piece has a bad page size; it cannot be opened.");
    return 0;
  }
  convert_options_records(block.stored_length, version);
  return 1;
}

// Older platforms stored 8-bit colour components.
void widen_notehead_colors() {
  uint8_t* colors = perf_defaults + PERF_NOTEHEAD_COLORS;
  int code = perf_defaults[PERF_PLATFORM_CODE];
  if (code != 0 && code != 3) return;
  for (int i = 0; i < NOTEHEAD_COLOR_COMPONENTS; ++i)
    if (uint16_t(get_be16(colors + 2 * i)) >= 256) return;
  for (int i = 0; i < NOTEHEAD_COLOR_COMPONENTS; ++i) {
    int c = uint16_t(get_be16(colors + 2 * i));
    put_be16(colors + 2 * i, int16_t(c == 255 ? 65535 : c * 256));
  }
}

int read_perf_block(PieceFile* file, int version) {
  if (header_field_present()) {
    int16_t length = 0;
    if (!do_io_i16(&length, IO_READ, file, version)) return 0;
    if (length < 0) {
      REPORT_ERROR(2, "%s", DAMAGED_HEADER);
      return 0;
    }
    // Before 340 a longer record kept only its first 70 bytes.
    int take = length <= PERF_DEFAULTS_SIZE ? length : version >= 340 ? PERF_DEFAULTS_SIZE : 70;
    if (!do_io(perf_defaults, take, PERF_DEFAULTS_SIZE, IO_READ, file, PERF_DEFAULTS_LAYOUT,
               version) ||
        !skip_header_bytes(file, length - take, version))
      return 0;
  }
  convert_perf_defaults(version);
  widen_notehead_colors();
  return 1;
}

int read_print_block(PieceFile* file, int version) {
  RecordBlock block{print_record[1], PRINT_RECORD_SIZE, PRINT_RECORD_LAYOUT};
  if (!read_record_block(file, version, version >= 326 ? ncontext_count : 1, &block)) return 0;
  convert_print_records(block.stored_length, version);
  return 1;
}

int read_names_block(PieceFile* file, int version) {
  if (header_field_present()) {
    int16_t length = 0;
    if (!do_io_i16(&length, IO_READ, file, version)) return 0;
    if (length < 0 || length > NCONTEXT_NAME_SIZE * ncontext_count) {
      REPORT_ERROR(2, "%s", DAMAGED_HEADER);
      return 0;
    }
    if (!do_io(ncontext_name[1], length, length, IO_READ, file, "", version)) return 0;
  }
  for (int c = 1; c <= MAX_NCONTEXTS; ++c) ncontext_name[c][NCONTEXT_NAME_SIZE - 1] = 0;
  return 1;
}

// The version gate: 0 refuses the file.
int accept_version(int version) {
  if (uint16_t(version - PIECE_FORMAT_OLDEST) > PIECE_FORMAT_LIMIT - PIECE_FORMAT_OLDEST) {
    REPORT_ERROR(2, "%s", "This is not a Vesk music file.");
    return 0;
  }
  if (version > PIECE_FORMAT_NEWEST) {
    REPORT_ERROR(2, "%s",
                 "Your Vesk program is too old to edit this piece.  This piece was made with a "
                 "much newer version of Vesk; your old version of Vesk cannot edit it.");
    return 0;
  }
  if (version > PIECE_FORMAT_WRITTEN) {
    if (!model_hooks.quiet_convert_flag() &&
        !yesno_alert("This piece was saved by a newer version of Vesk and has a slightly newer "
                     "file format; your old version of Vesk can edit it but there may be "
                     "information loss.  Convert it to the old format?",
                     0))
      return 0;
    DrosaDirty = 0xFF;
  } else if (version < PIECE_FORMAT_WRITTEN) {
    if (!model_hooks.quiet_convert_flag() &&
        !yesno_alert("This piece has an old file format.  Convert it to the new format?", 1))
      return 0;
    DrosaDirty |= 1;
  }
  return 1;
}

// The counts of the header's start: 0 refuses the file.
int accept_counts() {
  if (voice_count > MAX_VOICES) {
    REPORT_ERROR(2, "Your piece has %hd voices; this exceeds the maximum (%hd)!", voice_count,
                 short(MAX_VOICES));
    return 0;
  }
  if (voice_count < 1) {
    REPORT_ERROR(2, "Your piece has %hd voices; it must have at least one.", voice_count);
    return 0;
  }
  if (ncontext_count <= 0) {
    REPORT_ERROR(2, "%s", "Your piece has no contexts to edit!");
    return 0;
  }
  if (ncontext_count > MAX_NCONTEXTS) {
    REPORT_ERROR(2, "Your piece has %hd notation contexts; this exceeds the maximum (%hd)!",
                 ncontext_count, short(MAX_NCONTEXTS));
    return 0;
  }
  if (current_ncontext < 1 || current_ncontext > ncontext_count) current_ncontext = 1;
  return 1;
}

// ---- Numbers of the header kept in range ------------------------------------------------------

// The view's scale divides the page's size into pixels: below MIN_SCALE a page has too many
// pixels to draw, above MAX_SCALE hardly any. 0 (or less) means "fit the window's width".
// The Zoom menu's scales lie between 1 and 26.7.
constexpr float MIN_SCALE = 0.5f, MAX_SCALE = 100.0f;
// Margins are added to page positions: none may be wider than the largest page in layout
// units (tenths of a point), so that no sum of them overflows.
constexpr int32_t MAX_MARGIN = MAX_PAGE_SIZE * 72;
constexpr int MARGIN_OFFSETS[] = {22, 26, 30, 34, 50, 54, 58, 62, 88, 92};
// The note spacing option is 1 minus the effect of duration on spacing: an effect of 0 to 1.
constexpr float MIN_NOTE_SPACING = 0.0f, MAX_NOTE_SPACING = 1.0f;
// The printed page's scale in percent (the page setup dialog's limits are narrower), and how
// far from the page's corner a paper edge may lie, in points.
constexpr int32_t MIN_PRINT_SCALE = 1, MAX_PRINT_SCALE = 1000;
constexpr int32_t MAX_PAPER_EDGE = 100000;
constexpr int PRINT_SCALE_COPY_AT = 50, PRINT_SCALE_AT = 120, PRINT_PAPER_AT = 128;

// Replaces every number of the header that becomes a divisor, a scale or a size, and lies out
// of its range, by its default (the default piece's record 1, which read_header set up first
// and `defaults` holds), and says once what was replaced. Records past the context count
// follow silently.
void keep_header_numbers_in_range(const uint8_t* default_options, const uint8_t* default_print) {
  std::string replaced;
  int count = 0;
  auto note = [&](int context, const char* what, const std::string& value) {
    if (context > ncontext_count) return;
    if (++count <= 4)
      replaced += std::string(count > 1 ? "; " : "") + what + " of context " +
                  std::to_string(context) + " (" + value + ")";
  };
  for (int c = 1; c <= MAX_NCONTEXTS; ++c) {
    uint8_t* options = options_struct[c];
    const float scale = options_float(c, OPTIONS_SCALE);
    if (!(scale <= 0 || (scale >= MIN_SCALE && scale <= MAX_SCALE))) {
      note(c, "the scale", std::to_string(scale));
      std::memcpy(options + OPTIONS_SCALE, default_options + OPTIONS_SCALE, 4);
    }
    for (int offset : {OPTIONS_PAGE_WIDTH, OPTIONS_PAGE_HEIGHT}) {
      const int32_t size = options_i32(c, offset);
      if (size >= MIN_PAGE_SIZE && size <= MAX_PAGE_SIZE) continue;
      note(c, offset == OPTIONS_PAGE_WIDTH ? "the page width" : "the page height",
           std::to_string(size));
      std::memcpy(options + offset, default_options + offset, 4);
    }
    for (int offset : MARGIN_OFFSETS) {
      const int32_t margin = options_i32(c, offset);
      if (margin >= -MAX_MARGIN && margin <= MAX_MARGIN) continue;
      note(c, "a margin", std::to_string(margin));
      std::memcpy(options + offset, default_options + offset, 4);
    }
    const float spacing = options_float(c, OPTIONS_NOTE_SPACING);
    if (!(spacing >= MIN_NOTE_SPACING && spacing <= MAX_NOTE_SPACING)) {
      note(c, "the note spacing", std::to_string(spacing));
      std::memcpy(options + OPTIONS_NOTE_SPACING, default_options + OPTIONS_NOTE_SPACING, 4);
    }
    uint8_t* setup = print_record[c];
    const int32_t print_scale = get_be32(setup + PRINT_SCALE_AT);
    if (print_scale < MIN_PRINT_SCALE || print_scale > MAX_PRINT_SCALE ||
        get_be16(setup + PRINT_SCALE_COPY_AT) != print_scale) {
      note(c, "the printed scale", std::to_string(print_scale));
      std::memcpy(setup + PRINT_SCALE_AT, default_print + PRINT_SCALE_AT, 4);
      std::memcpy(setup + PRINT_SCALE_COPY_AT, default_print + PRINT_SCALE_COPY_AT, 2);
    }
    int32_t paper[4];
    for (int i = 0; i < 4; ++i) paper[i] = get_be32(setup + PRINT_PAPER_AT + 4 * i);
    bool paper_ok = paper[0] < paper[2] && paper[1] < paper[3];
    for (int32_t edge : paper)
      paper_ok = paper_ok && edge >= -MAX_PAPER_EDGE && edge <= MAX_PAPER_EDGE;
    if (!paper_ok) {
      note(c, "the paper",
           std::to_string(paper[0]) + ", " + std::to_string(paper[1]) + ", " +
               std::to_string(paper[2]) + ", " + std::to_string(paper[3]));
      std::memcpy(setup + PRINT_PAPER_AT, default_print + PRINT_PAPER_AT, 16);
    }
  }
  if (count > 4) replaced += "; and " + std::to_string(count - 4) + " more";
  if (count)
    REPORT_ERROR(
        2, "This piece holds settings out of range, which were replaced by their defaults: %s.",
        replaced.c_str());
}

int read_header_fields(PieceFile* file, int* version_out) {
  int16_t version = -1;
  requested_page = 0;
  header_bytes_done = -4;
  header_length = INT16_MAX;
  if (!do_io_i16(&version, IO_READ, file, version)) return 0;
  if (!accept_version(version)) return 0;
  *version_out = version;
  int16_t length = 0;
  if (!do_io_i16(&length, IO_READ, file, version)) return 0;
  if (length < 0) {
    REPORT_ERROR(2, "%s", DAMAGED_HEADER);
    return 0;
  }
  header_length = length;
  if (!do_io_i16(&voice_count, IO_READ, file, version)) return 0;
  if (voice_count > MAX_VOICES && !accept_counts()) return 0;
  if (!do_io_i16(&requested_page, IO_READ, file, version) ||
      !do_io_i16(&ncontext_count, IO_READ, file, version) ||
      !do_io_i16(&current_ncontext, IO_READ, file, version) || !accept_counts())
    return 0;
  uint8_t default_options[OPTIONS_SIZE], default_print[PRINT_RECORD_SIZE];
  std::memcpy(default_options, options_struct[1], OPTIONS_SIZE);
  std::memcpy(default_print, print_record[1], PRINT_RECORD_SIZE);
  if (!read_options_block(file, version) || !read_perf_block(file, version) ||
      !read_print_block(file, version) || !read_names_block(file, version))
    return 0;
  keep_header_numbers_in_range(default_options, default_print);
  // Fields of a newer header that this program does not know.
  if (header_bytes_done < header_length) {
    int16_t result = piece_skip(file, size_t(header_length - header_bytes_done));
    if (result != RESULT_OK) {
      report_file_error(result, "");
      return 0;
    }
    header_bytes_done = header_length;
  }
  page_setup_notice(version);
  return requested_page < 0 ? -1 : 1;
}

int write_header_fields(PieceFile* file) {
  int16_t version = PIECE_FORMAT_WRITTEN;
  requested_page = int16_t(current_page & 0xFFFF);
  header_bytes_done = -4;
  header_length = int16_t(HEADER_FIXED_LENGTH + HEADER_BYTES_PER_CONTEXT * ncontext_count);
  int16_t length = header_length;
  if (!do_io_i16(&version, IO_WRITE, file, version) ||
      !do_io_i16(&length, IO_WRITE, file, version) ||
      !do_io_i16(&voice_count, IO_WRITE, file, version) ||
      !do_io_i16(&requested_page, IO_WRITE, file, version) ||
      !do_io_i16(&ncontext_count, IO_WRITE, file, version) ||
      !do_io_i16(&current_ncontext, IO_WRITE, file, version))
    return 0;
  int16_t block = int16_t(OPTIONS_SIZE * ncontext_count);
  if (!do_io_i16(&block, IO_WRITE, file, version)) return 0;
  for (int c = 1; c <= ncontext_count; ++c)
    if (!do_io(options_struct[c], OPTIONS_SIZE, OPTIONS_SIZE, IO_WRITE, file, OPTIONS_LAYOUT,
               version))
      return 0;
  if (!check_page_size_to_save()) return 0;
  perf_defaults[PERF_PLATFORM_SPARE] = 0;
  perf_defaults[PERF_PLATFORM_CODE] = 1;
  block = PERF_DEFAULTS_SIZE;
  if (!do_io_i16(&block, IO_WRITE, file, version) ||
      !do_io(perf_defaults, PERF_DEFAULTS_SIZE, PERF_DEFAULTS_SIZE, IO_WRITE, file,
             PERF_DEFAULTS_LAYOUT, version))
    return 0;
  block = int16_t(PRINT_RECORD_SIZE * ncontext_count);
  if (!do_io_i16(&block, IO_WRITE, file, version)) return 0;
  for (int c = 1; c <= ncontext_count; ++c)
    if (!do_io(print_record[c], PRINT_RECORD_SIZE, PRINT_RECORD_SIZE, IO_WRITE, file,
               PRINT_RECORD_LAYOUT, version))
      return 0;
  block = int16_t(NCONTEXT_NAME_SIZE * ncontext_count);
  if (!do_io_i16(&block, IO_WRITE, file, version)) return 0;
  for (int c = 1; c <= ncontext_count; ++c)
    if (!do_io(ncontext_name[c], NCONTEXT_NAME_SIZE, NCONTEXT_NAME_SIZE, IO_WRITE, file, "",
               version))
      return 0;
  return 1;
}

}  // namespace

// ---- Header -------------------------------------------------------------------------------------

int header_io(int mode, PieceFile* file, int* version) {
  if (mode == IO_READ) {
    int read_version = PIECE_FORMAT_WRITTEN;
    int result = read_header_fields(file, &read_version);
    if (version) *version = read_version;
    return result;
  }
  if (version) *version = PIECE_FORMAT_WRITTEN;
  return write_header_fields(file);
}

int read_header(PieceFile* file) {
  set_default_piece();
  if (!file) {
    set_options_float(current_ncontext, OPTIONS_SCALE, NEW_PIECE_SCALE);
    options_struct[current_ncontext][OPTIONS_DISPLAY] = NEW_PIECE_DISPLAY;
    return model_hooks.piece_header_read(false);
  }
  int result = header_io(IO_READ, file, nullptr);
  return result && model_hooks.piece_header_read(true) ? result : 0;
}

// ---- Node records
// ---------------------------------------------------------------------------------

namespace {

void make_final_endsyst(Drosa node) {
  std::memset(node->bytes() + NODE_RECORD_OFFSET, 0, NODE_RECORD_SIZE);
  node->xkind = ENDSYST;
  node->xcontext = 0;
  node->set(xendpage, 1);
  node->set(xendpiece, 1);
}

// Values that later code uses as counts or reads as texts are kept within their fields.
void bound_record(Drosa node) {
  switch (node->xkind) {
    case TEXT:
      node->bytes()[NODE_RECORD_OFFSET + 23] = 0;
      break;
    case VINFO:
      node->bytes()[25] = 0;
      break;
    case SPACC:
      if (node->get(xnumspacc) > xspacc_entry.count) node->set(xnumspacc, xspacc_entry.count);
      break;
    default:
      break;
  }
}

// A translator's piece (no page number stored): stacked text annotations with a negative y
// are moved apart, each by its size more than the one before.
void lower_translated_text(Drosa node, PieceReading* reading) {
  int kind = node->xkind;
  if (kind == NOTE || kind == ENDSYST) reading->lowered_tparams = 0;
  if (kind != TPARAM || rec_i32(node, 6) >= 0) return;
  int64_t drop = int64_t(rec_u8(node, 13)) * reading->lowered_tparams * 10;
  set_rec_i32(node, 6, int32_t(std::max<int64_t>(int64_t(rec_i32(node, 6)) - drop, INT32_MIN)));
  if (reading->lowered_tparams < INT32_MAX) ++reading->lowered_tparams;
}

}  // namespace

// Returns a node whose bytes came from a broken record: its kind byte may say anything, even
// FREE, so it is made a plain node before it goes back to the store.
static void discard_record_node(Drosa node) {
  node->xkind = NA;
  destroyDrosa(node);
}

int read_node_record(PieceReading* reading, Drosa* out, int v) {
  Drosa node = newDrosa(NOTE, 0);
  const int size = node_record_size(reading->version);
  for (;;) {
    std::memset(node->bytes() + NODE_RECORD_OFFSET, 0, NODE_RECORD_SIZE);
    int16_t result = piece_read(reading->file, node->bytes() + NODE_RECORD_OFFSET, size_t(size));
    if (result == RESULT_END_OF_FILE) {
      if (model_hooks.shift_or_option_down()) {
        make_final_endsyst(node);
        *out = node;
        return 1;
      }
      // The way to what the file holds is told: Shift held while it opens.
      REPORT_ERROR(2,
                   "Reading piece aborted: Premature end of file at voice %hd (voice range "
                   "%hd..%hd); missing final ENDSYST node. The file is cut short or damaged: "
                   "open it again with the Shift key held down to read what it holds.",
                   short(v), short(0), short(voice_count - 1));
      discard_record_node(node);
      return 0;
    }
    if (result != RESULT_OK) {
      report_file_error(result, "");
      if (!model_hooks.shift_or_option_down()) {
        discard_record_node(node);
        return 0;
      }
      make_final_endsyst(node);
      if (yesno_alert("Do you want to stop here?", 1)) reading->stop_after_voice = true;
      *out = node;
      return 1;
    }
    // Up to 335 a piece's parameter changes are PARAM records (they become texts later).
    if (temp_node(node, 1003) && !(node->xkind == PARAM && reading->version <= 335)) continue;
    // A kind of no stored layout (free nodes, undo records and the like) never stands in a
    // voice list: read as a placeholder, like a kind outside 76..126.
    if (!is_node_kind(node->xkind) || (!*layout_string(node->xkind) && node->xkind != NA)) {
      node->xkind = NA;
      node->xcontext = 0;
      ++reading->placeholders;
    }
    // A node bound to a context belongs to the Score (1), a part (2..65), every part (-1) or
    // all of them (0); any other context byte is damage that would hide the node's kind.
    const int context = node->xcontext;
    if (node->xkind != NOTE && !is_graphics_element_kind(node->xkind) &&
        (context < -1 || context > MAX_NCONTEXTS)) {
      REPORT_ERROR(2,
                   "Reading piece aborted: a node of voice %hd (%s) belongs to notation context "
                   "%d, which no piece has. The file is damaged.",
                   short(v), node_kind_name(node), int(uint8_t(context)));
      discard_record_node(node);
      return 0;
    }
    break;
  }
  expand_XYPOS_fields(node->bytes() + NODE_RECORD_OFFSET, size, NODE_RECORD_SIZE,
                      layout_string(node->xkind), reading->version);
  convert_node_io(node, IO_READ, &reading->io);
  reading->conversion.voice = v;
  convert_record(node, &reading->conversion);
  bound_record(node);
  if (node->xkind == COLOR) reading->colors_in_file = true;
  // Taken as a NOTE: a staff drag or a nesting factor read is counted here.
  if (node->xkind == SDRAG) ++staff_drag_nodes;
  if (node->xkind == NEST) ++nest_nodes;
  if (requested_page == 0) lower_translated_text(node, reading);
  *out = node;
  return 1;
}

// ---- The whole read
// ---------------------------------------------------------------------------------

namespace {

struct VoiceTotals {
  int max_context = 0;
  bool polytempo = false;  // a voice changes the polytempo duration multiplier
  bool inconsistent = false;
  int64_t first_total = 0;
};

bool is_voice_start(Drosa node) {
  return effective_kind(node) == ENDSYST && node->get(xstartpiece) == 1 &&
         node->get(xendpiece) == 0;
}

// Reads the head ENDSYST of voice v. 0: reading fails; -1: the voices end before v.
int read_voice_head(PieceReading* reading, int v) {
  Drosa head;
  if (!read_node_record(reading, &head, v)) return 0;
  if (is_voice_start(head)) {
    head->set(xendpage, 1);
    piece_start[v] = head;
    return 1;
  }
  if (model_hooks.shift_or_option_down() && v > 0) {
    destroyDrosa(head);
    voice_count = int16_t(v);
    REPORT_ERROR(2, "Due to missing xstartpiece ENDSYST, have %hd voices.", short(v));
    return -1;
  }
  if (head->xkind == ENDSYST)
    REPORT_ERROR(2,
                 "Reading piece aborted: ENDSYST starting voice %hd has xstartpiece %hd, "
                 "xendpiece %hd  (should be xstartpiece TRUE, xendpiece FALSE).",
                 short(v), short(head->get(xstartpiece)), short(head->get(xendpiece)));
  else
    REPORT_ERROR(2,
                 "Reading piece aborted: start of voice %hd is %s (should be ENDSYST with "
                 "xstartpiece TRUE and xendpiece FALSE).",
                 short(v), node_kind_name(head));
  destroyDrosa(head);
  return 0;
}

// A change of the polytempo duration multiplier: a PARAM node, or the parameter command text it
// is rebuilt from.
bool changes_polytempo(Drosa node) {
  const int slot = model_hooks.polytempo_param();
  if (node->xkind == PARAM) return rec_i16(node, 6) == slot;
  if (node->xkind != TEXT) return false;
  const std::string command = "param {" + std::to_string(slot) + ":";
  return std::strncmp(reinterpret_cast<const char*>(node->bytes() + 10), command.c_str(),
                      command.size()) == 0;
}

// A voice without a VINFO before its first note gets one after its head.
void ensure_vinfo(int v) {
  for (Drosa p = piece_start[v]->xnext; p && p->xkind != NOTE; p = p->xnext)
    if (p->xkind == VINFO) return;
  Drosa info = newDrosa(VINFO, 0);
  char name[NCONTEXT_NAME_SIZE];
  std::snprintf(name, sizeof name, "UnnamedPart%hd", short(v + 1));
  info->set(xpname, name);
  info->set(xmidichan, 0);
  link_after(info, piece_start[v]);
}

// Reads the rest of voice v after its head. 0: reading fails.
int read_voice_body(PieceReading* reading, int v, VoiceTotals* totals) {
  Drosa last = piece_start[v];
  int64_t total = 0;
  for (;;) {
    Drosa node;
    if (!read_node_record(reading, &node, v)) return 0;
    link_after(node, last);
    last = node;
    totals->max_context = std::max<int>(totals->max_context, node->xcontext);
    if (changes_polytempo(node)) totals->polytempo = true;
    if (node->xkind == NOTE) total += rec_i32(node, 20);
    if (node->xkind == ENDSYST && node->get(xendpiece)) {
      node->set(xendpage, 1);
      break;
    }
  }
  ensure_vinfo(v);
  if (v == 0)
    totals->first_total = total;
  else if (std::llabs(total - totals->first_total) > TIME_TOLERANCE)
    totals->inconsistent = true;
  return 1;
}

int read_voices(PieceReading* reading, VoiceTotals* totals) {
  for (int v = 0; v < MAX_VOICES; ++v)
    if (piece_start[v]) REPORT_ERROR(4, "piece_start logic error in readvesk: should be NIL");
  for (int v = 0; v < voice_count; ++v) {
    int head = read_voice_head(reading, v);
    if (head < 0) break;
    if (head == 0 || !read_voice_body(reading, v, totals)) return 0;
    if (reading->stop_after_voice) {
      voice_count = int16_t(v + 1);
      break;
    }
  }
  return 1;
}

// The first and last NOTE of a voice before its final ENDSYST.
void voice_note_range(int v, Drosa* first, Drosa* last) {
  *first = *last = NIL;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE) {
      if (!*first) *first = p;
      *last = p;
    }
}

void end_open_chords(int v);

void recompute_playback(bool from_translator) {
  DrosaDirty |= 1;
  for (int v = 0; v < voice_count; ++v) {
    end_open_chords(v);  // playback is computed chord by chord
    Drosa first, last;
    voice_note_range(v, &first, &last);
    if (!first) {
      REPORT_ERROR(2,
                   "You have %hd voices, and voice %hd is empty!?  The program that made this "
                   "piece should fix its staff commands so that every voice has notes.",
                   voice_count, short(v));
      continue;
    }
    if (from_translator)
      model_hooks.set_default_performance(first, last, 1, 0, 1, 42, 0);
    else
      model_hooks.set_default_performance(first, last, 0, 0, 0, 42, 0);
  }
}

void check_playback_lengths(const VoiceTotals& totals) {
  bool recompute = requested_page == 0;
  if (totals.inconsistent && requested_page != 0) {
    if (totals.polytempo) {
      REPORT_ERROR(2, "%s",
                   "The voices in your piece have inconsistent playback lengths.  To try to fix "
                   "the problem, you can Group Select all the notes in your piece, and use the "
                   "Recompute Playback menu option to recompute the notes' playback timing from "
                   "their notated durations.");
    } else {
      char question[REPORT_TEXT_SIZE];
      int bar = first_inconsistent_bar();
      if (bar != -1)
        std::snprintf(question, sizeof question,
                      "The voices in your piece have inconsistent playback lengths.  The first "
                      "occurrence of a playback duration problem may be around bar %d.  Should "
                      "playback timing be recomputed from the notated durations to try to fix "
                      "the problem?  (This will be the same as if you Group Select all the notes "
                      "in your piece, and use the Recompute Playback menu option.)",
                      bar);
      else
        std::snprintf(question, sizeof question, "%s",
                      "The voices in your piece have inconsistent playback lengths.  Should the "
                      "notes' playback timing be recomputed from their notated durations to try "
                      "to fix the problem?  (This will be the same as if you Group Select all "
                      "the notes in your piece, and use the Recompute Playback menu option.)");
      recompute = yesno_alert(question, 0) == 1;
    }
  }
  if (recompute) recompute_playback(requested_page == 0);
}

// Everything after the header: the voices, the checks and the conversions of the whole piece.
int read_piece_body(PieceReading* reading) {
  VoiceTotals totals;
  if (!read_voices(reading, &totals)) return 0;
  if (ncontext_count < totals.max_context)
    REPORT_ERROR(2,
                 "Warning: This piece contains inaccessible nodes (%hd notation contexts, %hd "
                 "max xcontext value).",
                 ncontext_count, short(totals.max_context));
  if (reading->placeholders)
    REPORT_ERROR(2,
                 "This piece file is damaged: %ld of its records are of kinds that a piece file "
                 "never holds (such as undo records). They were kept as placeholders that show "
                 "and play nothing.",
                 reading->placeholders);
  check_playback_lengths(totals);
  redistribute_sdrags(reading->version);
  for (int v = 0; v < voice_count; ++v) check_voice(v, reading->version);
  // Conversions made through the editing primitives are no step the user could undo.
  clear_undo(1);
  // The parameter changes of the piece are in force from the start.
  model_hooks.rebuild_param_table();
  return 1;
}

// The whole read. With `shared` the piece is that view's and only the header is read; with
// `page` the view's page image is made after the header.
int read_piece_file(PieceFile* file, const ViewData* shared, bool page) {
  PieceReading reading;
  reading.file = file;
  set_default_piece();
  int result = header_io(IO_READ, file, &reading.version);
  reading.conversion.version = reading.version;
  if (result && page) result = model_hooks.piece_header_read(true);
  if (result && shared) {
    restore_view_data(*shared);
    return 1;
  }
  if (!result || !read_piece_body(&reading)) {
    discard_piece_lists();
    DrosaDirty = 0;
    return 0;
  }
  return 1;
}

// There must be room in the node store for the piece the file holds.
bool room_for(long long file_length) {
  int32_t limit = 0;
  int32_t percent = memory_use_percent(&limit);
  long long free_bytes = (long long)limit * (100 - percent) / 100;
  if (file_length * 3 / 2 <= free_bytes) return true;
  out_of_memory_alert();
  return false;
}

// A piece that cannot be written back opens as an untitled copy.
void make_untitled_copy() {
  size_t slash = piece_fsspec.find_last_of('/');
  std::string folder = slash == std::string::npos ? "" : piece_fsspec.substr(0, slash + 1);
  std::string name = "from: " + piece_fsspec.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.size() > 62) name.resize(62);
  piece_fsspec = folder + ":" + name;
}

// Says why the piece file could not be opened, naming it.
void report_open_failure(int error_number, const std::string& path) {
  PlatformFileStatus st;
  std::string why =
      platform_file_status(path.c_str(), &st) == 0 ? not_a_file_text(path, st.mode) : "";
  if (why.empty()) why = file_problem_text(error_number, path, false, false);
  REPORT_ERROR(2, "The piece '%s' could not be opened: %s.", path.c_str(), why.c_str());
}

// Lets go of a piece shared with another view without freeing it.
void let_go_of_shared_piece() {
  std::fill(piece_start, piece_start + MAX_VOICES, NIL);
  std::fill(page_start, page_start + MAX_VOICES, NIL);
  voice_count = 0;
  DrosaDirty = 0;
}

}  // namespace

int read_piece(ViewData* shared) {
  PieceFile file;
  int16_t result = piece_file_open(&file, piece_fsspec.c_str(), O_RDWR);
  bool read_only = false;
  if (result == RESULT_NO_ACCESS || result == RESULT_WRITE_PROTECTED) {
    result = piece_file_open(&file, piece_fsspec.c_str(), O_RDONLY);
    read_only = result == RESULT_OK;
  }
  if (result != RESULT_OK) {
    report_open_failure(errno, piece_fsspec);
    return 0;
  }
  PlatformFileStatus info;
  if (platform_file_status_of(file.fd, &info) != 0 || !room_for(info.size)) {
    piece_file_close(&file);
    return 0;
  }
  int ok = read_piece_file(&file, shared, true);
  result = piece_file_close(&file);
  if (ok && result != RESULT_OK) {
    report_file_error(result, "");
    if (shared)
      let_go_of_shared_piece();
    else
      discard_piece_lists();
    ok = 0;
  }
  // A shared piece keeps the file of the view that read it first.
  if (ok && read_only && !shared) make_untitled_copy();
  return ok;
}

int read_piece_from_memory(const uint8_t* data, size_t size) {
  if (!room_for((long long)size)) return 0;
  PieceFile file;
  piece_file_from_memory(&file, data, size);
  return read_piece_file(&file, nullptr, false);
}

void discard_piece_lists() {
  forget_kept_pages();
  for (int v = 0; v < MAX_VOICES; ++v) {
    if (piece_start[v]) destroy_Drosa_list(piece_start[v]);
    piece_start[v] = page_start[v] = NIL;
  }
  model_hooks.forget_fitted_pages_freed();
  voice_count = 0;
  order_free_nodes();
}

// ---- Checking a voice
// ---------------------------------------------------------------------------------

namespace {

// The kinds that cannot stand between the notes of one chord.
bool breaks_chord(int kind) {
  switch (kind) {
    case BAR:
    case CLEF:
    case KEYSIG:
    case TIMESIG:
    case SPACE:
    case PRINT:
    case ENDSYST:
    case SDRAG:
    case BEAMING:
      return true;
    default:
      return false;
  }
}

// A LINE stored without control points gets them from the box around its ends, widened by
// 280 units on each side, relative to its start point.
void give_line_control_points(Drosa line) {
  for (int offset : {20, 24, 28, 32})
    if (rec_i32(line, offset) != 0) return;
  int32_t x1 = rec_i32(line, 2), y1 = rec_i32(line, 6), x2 = rec_i32(line, 10),
          y2 = rec_i32(line, 14);
  constexpr int32_t MARGIN = 280;
  int64_t left = std::min(x1, x2) - int64_t(MARGIN), right = std::max(x1, x2) + int64_t(MARGIN);
  int64_t top = std::min(y1, y2) - int64_t(MARGIN), bottom = std::max(y1, y2) + int64_t(MARGIN);
  set_rec_i32(line, 20, int32_t(left - x1));
  set_rec_i32(line, 24, int32_t(top - y1));
  set_rec_i32(line, 28, int32_t(right - x1));
  set_rec_i32(line, 32, int32_t(bottom - y1));
}

// Clef types 0..11: each is a parameter of its own where the layout places notes.
constexpr int CLEF_TYPES = 12;
// A staff's size scales everything drawn on it (50 is normal; the Parts and Voices dialog
// offers 20 to 120): a size of 0 or less, or past MAX_STAFF_SIZE, draws nothing sensible.
constexpr int16_t MIN_STAFF_SIZE = 1, MAX_STAFF_SIZE = 1000, NORMAL_STAFF_SIZE = 50;
// The print chains of a staff, which a PRINT's layer indexes (the layout chooses them anew).
constexpr int PRINT_LAYERS = 8;

struct VoiceCheck {
  int v;
  bool text_repaired_said = false;
  Drosa chord_note = NIL;            // the last NOTE when it does not end its chord
  int bar = 1;                       // measure number at the node walked
  Drosa print_since_note[256] = {};  // by xcontext + 128: a PRINT with no NOTE after it
  int print_bar[256] = {};
  std::vector<int> print_slots;  // the slots set since the last NOTE
};

void end_chord_before(VoiceCheck* check, const char* kind) {
  check->chord_note->set(xendvcd, 1);
  check->chord_note = NIL;
  if (kind)
    REPORT_ERROR(2, "Warning: %s node in the middle of a chord; chord boundary added (voice %hd).",
                 kind, short(check->v));
  else
    REPORT_ERROR(2, "Warning:  Voice %hd has grace/nongrace in same chord; chord boundary added.",
                 short(check->v));
}

// The chords that the notes leave open (grace and other notes in one chord, or a kind that
// cannot stand inside a chord, the final ENDSYST among them) end where check_voice would end
// them, with its warnings, so that it finds them whole.
void end_open_chords(int v) {
  VoiceCheck check;
  check.v = v;
  for (Drosa p = piece_start[v] ? piece_start[v]->xnext : NIL; p; p = p->xnext) {
    const int kind = p->xkind;
    if (kind == NOTE) {
      if (check.chord_note && p->get(xgrace) != check.chord_note->get(xgrace))
        end_chord_before(&check, nullptr);
      check.chord_note = p->get(xendvcd) ? NIL : p;
    } else if (check.chord_note && breaks_chord(kind)) {
      end_chord_before(&check, kind_name(kind));
    }
  }
}

// Steps that keep the node: notes and chords, key signatures, PRINT and LINE repairs.
void check_node(VoiceCheck* check, Drosa p) {
  const int kind = p->xkind;
  if (kind == NOTE) {
    if (rec_bits16(p, 6, 13, 3) == 0) {
      set_rec_bits16(p, 6, 13, 3, 3);
      set_rec_bit16(p, 6, 12, false);
    }
    if (check->chord_note && p->get(xgrace) != check->chord_note->get(xgrace))
      end_chord_before(check, nullptr);
  } else if (check->chord_note && breaks_chord(kind)) {
    end_chord_before(check, kind_name(kind));
  }
  if (kind == KEYSIG && p->get(xkeycnt) > 14) {
    REPORT_ERROR(2, "Bad KEYSIG on voice %hd: %hd accidentals (max is %hd).", short(check->v),
                 short(p->get(xkeycnt)), short(14));
    p->set(xkeycnt, 14);
  }
  if (kind == TIMESIG && p->get(xbeat) <= 0) {
    REPORT_ERROR(2, "Bad TIMESIG on voice %hd: beat value %hd; using %hd instead.", short(check->v),
                 p->get(xbeat), short(4));
    p->set(xbeat, 4);
  }
  if (kind == PRINT && (p->get(xsstaff) < -1 || p->get(xsstaff) > 63)) {
    REPORT_ERROR(2,
                 "Illegal PRINT node on voice %hd: staff number %hd not in range 0..%hd; using "
                 "staff number %hd instead.",
                 short(check->v), p->get(xsstaff), short(63), short(check->v));
    p->set(xsstaff, int16_t(check->v));
  }
  if (kind == PRINT &&
      (p->get(xstaffsize) < MIN_STAFF_SIZE || p->get(xstaffsize) > MAX_STAFF_SIZE)) {
    REPORT_ERROR(2, "Illegal PRINT node on voice %hd: staff size %hd; using %hd instead.",
                 short(check->v), p->get(xstaffsize), short(NORMAL_STAFF_SIZE));
    p->set(xstaffsize, NORMAL_STAFF_SIZE);
  }
  if (kind == PRINT && p->get(xlayer) >= PRINT_LAYERS) p->set(xlayer, 0);  // the layout sets it
  if (kind == CLEF && p->get(xclef) >= CLEF_TYPES) {
    REPORT_ERROR(2, "Bad CLEF on voice %hd: clef type %hd; using the treble clef instead.",
                 short(check->v), short(p->get(xclef)));
    p->set(xclef, 0);
  }
  if (kind == LINE) give_line_control_points(p);
}

// Says once per voice that its annotations were mended.
void say_annotations_mended(VoiceCheck* check) {
  if (!check->text_repaired_said)
    REPORT_ERROR(2,
                 "Voice %hd holds damaged annotations (a text missing or in another notation "
                 "context, a drawing mode or a placement of no meaning); they were mended.",
                 short(check->v));
  check->text_repaired_said = true;
}

// An annotation draws in black or white (drawing modes 0 and 1), and one that stands for a
// graphics element names both the element's variety and its ordinal: else it is an ordinary
// annotation. A text annotation's head (a TPARAM that is not a further style run) must be
// followed by its text: one of another context takes the head into that context, and a head
// without text is removed. False when p was removed.
bool check_annotation(VoiceCheck* check, Drosa p) {
  if (p->xkind == LINE) {
    if (p->get(xline_drawmode) > 1 || (p->get(xline_eocvar) && !p->get(xline_ord))) {
      say_annotations_mended(check);
      if (p->get(xline_drawmode) > 1) p->set(xline_drawmode, 0);
      if (!p->get(xline_ord)) p->set(xline_eocvar, 0);
    }
    return true;
  }
  if (p->xkind != TPARAM) return true;
  if (p->get(xtext_drawmode) > 1 || (p->get(xeocvar) && !p->get(xeocord))) {
    say_annotations_mended(check);
    if (p->get(xtext_drawmode) > 1) p->set(xtext_drawmode, 0);
    if (!p->get(xeocord)) p->set(xeocvar, 0);
  }
  if (p->get(xadjacent)) return true;
  Drosa text = p->xnext;
  const bool kept = text && text->xkind == TEXT;
  if (kept && text->xcontext == p->xcontext) return true;
  say_annotations_mended(check);
  if (kept) {
    p->xcontext = text->xcontext;
    return true;
  }
  destroy_node(p);
  return false;
}

// Two PRINTs of one context with no note between: the first goes.
void check_print_pair(VoiceCheck* check, Drosa print) {
  int slot = print->xcontext + 128;
  if (Drosa earlier = check->print_since_note[slot]) {
    REPORT_ERROR(2,
                 "Two PRINT nodes with no intervening notes on voice %hd measure %d and %d; "
                 "first PRINT node deleted.",
                 short(check->v), check->print_bar[slot], check->bar);
    destroy_node(earlier);
  } else
    check->print_slots.push_back(slot);
  check->print_since_note[slot] = print;
  check->print_bar[slot] = check->bar;
}

bool is_layout_record(int kind) {
  return kind == NTDATA || kind == CDDATA || kind == CDDATA2 || kind == CDDATA3 || kind == PDATA;
}

}  // namespace

void check_voice(int v, int version) {
  if (v < 0 || v >= MAX_VOICES || !piece_start[v]) return;
  VoiceCheck check;
  check.v = v;
  for (Drosa p = piece_start[v]->xnext, next; p; p = next) {
    next = p->xnext;
    if (!check_annotation(&check, p)) continue;
    check_node(&check, p);
    if (repair_node_by_version(p, v, version)) continue;
    const int kind = p->xkind;
    if (is_layout_record(kind)) {
      destroy_node(p);
      continue;
    }
    if (kind == PRINT) check_print_pair(&check, p);
    if (kind == BAR && effective_kind(p) == BAR) ++check.bar;
    if (kind == NOTE) {
      for (int slot : check.print_slots) check.print_since_note[slot] = NIL;
      check.print_slots.clear();
      check.chord_note = p->get(xendvcd) ? NIL : p;
    }
  }
  repair_voice_by_version(v, version);
}

// ---- A new voice
// ------------------------------------------------------------------------------------

Drosa make_empty_voice(int v, int separate_parts) {
  Drosa head = newDrosa(ENDSYST, 0);
  head->set(xendpage, 1);
  head->set(xstartpiece, 1);
  piece_start[v] = head;

  Drosa info = newDrosa(VINFO, 0);
  char name[NCONTEXT_NAME_SIZE];
  if (separate_parts) {
    std::snprintf(name, sizeof name, "UnnamedPart%d", v + 1);
    info->set(xvoiceOnPart, 0);
  } else {
    std::snprintf(name, sizeof name, "%s", "UnnamedPart");
    info->set(xvoiceOnPart, int8_t(v));
  }
  info->set(xpname, name);

  Drosa print = newDrosa(PRINT, current_ncontext);
  print->set(xsstaff, int16_t(v));
  print->set(xprintdir, 3);
  print->set(xslines, 5);
  print->set(xstaffsize, 50);

  Drosa clef = newDrosa(CLEF, 0);
  clef->set(xclef, uint8_t(!separate_parts && v > 0 ? 1 : 0));
  Drosa key = newDrosa(KEYSIG, 0);
  Drosa end = newDrosa(ENDSYST, 0);
  end->set(xendpage, 1);
  end->set(xendpiece, 1);

  Drosa last = head;
  for (Drosa n : {info, print, clef, key, end}) {
    link_after(n, last);
    last = n;
  }
  return key;
}

// ---- The first inconsistent bar ---------------------------------------------------------------
//
// At the first note of every measure of the first shown voice, every shown voice is put at the
// same system and time, and must have a chord there with a bar line before it. Done naively
// that walks every voice from its start at every measure; here every walk goes on from where
// the one for the measure before stopped, so the whole search is one pass over each voice,
// with exactly the times and cursors the walks from the start would give.

namespace {

// The measure number of a node: 1 + the bars before it, an explicit bar number restarting the
// count.
int bar_number_of(Drosa node) {
  int bars = 0;
  for (Drosa p = node->xback; p; p = p->xback) {
    if (effective_kind(p) != BAR) continue;
    if (p->get(xnumbering) & 0x40) return bars + p->get(xbarnumber);
    ++bars;
  }
  return bars + 1;
}

// True when a BAR stands before the node, back to the previous NOTE. The bar line that ends a
// system's last measure stands before the next system's ENDSYST, so the walk passes ENDSYSTs.
bool bar_before(Drosa node) {
  for (Drosa p = node->xback; p; p = p->xback) {
    int kind = effective_kind(p);
    if (kind == BAR) return true;
    if (kind == NOTE) return false;
  }
  return false;
}

// The time of a note within its system, as find_time_in_system gives it: the chords back to
// the system's start, added in that order with their rounding remainders carried.
struct SystemTime {
  Drosa note = NIL;
  int32_t time = 0;
  // The walk threw away a carried remainder (a chord walk does that while its time is still
  // 0) or added a negative duration: another walk cannot take its time as its own tail.
  bool unshared = false;
};

// Walks back from the note like find_time_in_system. On reaching the node at which the walk
// for the previous note began, with no remainder carried, the rest of this walk would repeat
// that walk from the same state, so its time is added instead.
SystemTime time_in_system(Drosa note, const SystemTime& previous) {
  SystemTime walk{note, 0, false};
  int32_t carry_num = 0, carry_den = 1, duration = 0;
  const Drosa join = previous.note ? previous.note->xback : NIL;
  for (Drosa p = note->xback; p; p = p->xback) {
    if (p == join && carry_num == 0 && (walk.time == 0 || !previous.unshared)) {
      walk.time = int32_t(std::min<int64_t>(int64_t(walk.time) + previous.time, NO_TIME));
      walk.unshared = walk.unshared || previous.unshared;
      return walk;
    }
    if (effective_kind(p) == ENDSYST) break;
    if (p->xkind == NOTE && p->get(xendvcd)) {
      Drosa first = vchord_first_note(p);
      if (walk.time == 0 && carry_num != 0) walk.unshared = true;
      chord_duration_carry(first, &walk.time, &carry_num, &carry_den, &duration);
      if (duration < 0) walk.unshared = true;
      p = first;
    }
  }
  return walk;
}

// A shown voice's place: at a system as voices_to_system puts it, and at a time of that system
// as voices_to_system_at_time puts it. Both only move on, back to the start when asked for an
// earlier system or time.
struct VoicePlace {
  Drosa system = NIL;  // the ENDSYST starting the system
  int32_t systems = 0;
  bool last = false;  // no system follows
  Drosa at = NIL;     // where the walk in the system stands, at `time`
  int32_t time = 0, carry_num = 0, carry_den = 1;
  int32_t asked = 0;  // the last time asked for
};

void start_system_walk(VoicePlace* place) {
  place->at = place->system->xnext;
  place->time = place->asked = 0;
  place->carry_num = 0;
  place->carry_den = 1;
}

// The n-th system of voice v, counted from the piece's start.
void place_at_system(VoicePlace* place, int v, int32_t n) {
  if (!place->system || n < place->systems) {
    place->system = piece_start[v];
    place->systems = 0;
    place->last = place->system->get(xendpiece);
    start_system_walk(place);
  }
  Drosa passed = place->system;
  while (place->systems < n && !place->last) {
    Drosa p = passed->xnext;
    while (p && effective_kind(p) != ENDSYST) p = p->xnext;
    if (!p) {
      place->last = true;  // a list without its final ENDSYST stays at the last one passed
      break;
    }
    passed = p;
    ++place->systems;
    place->last = p->get(xendpiece);
  }
  if (passed != place->system) {
    place->system = passed;
    start_system_walk(place);
  }
}

// The voice's chord at time t of its system, or NIL when it has none within the tolerance.
Drosa place_at_time(VoicePlace* place, int32_t t) {
  if (place->system->get(xendpiece)) return NIL;
  if (t < place->asked) start_system_walk(place);
  place->asked = t;
  for (Drosa p = place->at; p;) {
    bool stop = effective_kind(p) == ENDSYST;
    if (!stop && p->xkind != NOTE) {
      p = p->xnext;
      continue;
    }
    // A grace note before the chord at t belongs to it; one after a note does not.
    if (!stop)
      stop = int64_t(place->time) >= int64_t(t) - TIME_TOLERANCE &&
             (!p->get(xgrace) || !p->get(xnachschlag));
    if (stop) {
      place->at = p;
      return std::abs(int64_t(place->time) - t) <= TIME_TOLERANCE ? p : NIL;
    }
    int32_t duration = 0;
    Drosa last =
        chord_duration_carry(p, &place->time, &place->carry_num, &place->carry_den, &duration);
    p = last ? last->xnext : NIL;
  }
  return NIL;  // the list ran out without an ENDSYST
}

}  // namespace

int first_inconsistent_bar() {
  std::vector<int> shown;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v)
    if (!voice_not_shown(v)) shown.push_back(v);
  if (shown.empty()) return -1;
  const int first = shown[0];
  std::vector<VoicePlace> places(MAX_VOICES);
  std::vector<Drosa> at(MAX_VOICES, NIL);
  SystemTime measured;
  int32_t k = 0;  // systems before p, as system_number_on_page counts them
  bool after_bar = false;
  for (Drosa p = piece_start[first]->xnext; p; p = p->xnext) {
    int kind = effective_kind(p);
    if (kind == ENDSYST) k = p->get(xstartpiece) ? 0 : k + 1;
    if (kind == BAR) after_bar = true;
    if (kind != NOTE || !after_bar) continue;
    after_bar = false;
    measured = time_in_system(p, measured);
    const int32_t t = measured.time;
    if (t == 0 && k == 0) continue;
    for (int v : shown) {
      place_at_system(&places[size_t(v)], v, k);
      at[size_t(v)] = place_at_time(&places[size_t(v)], t);
      if (!at[size_t(v)]) return bar_number_of(p);
    }
    for (int u : shown)
      if (u != first && !bar_before(at[size_t(u)])) return bar_number_of(p);
  }
  return -1;
}
