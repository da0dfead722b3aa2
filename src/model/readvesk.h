// readvesk.h: reading a piece file into the piece globals and one voice list per voice,
// accepting every format from 318 through 347, and setting up the default piece and the
// lists of a new piece.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/convert_formats.h"
#include "model/drosa.h"
#include "model/piece_format.h"

struct ViewData;  // the saved piece state of a view, shared by the views of one file

// What one read carries from record to record.
struct PieceReading {
  PieceFile* file = nullptr;
  int version = PIECE_FORMAT_WRITTEN;  // of the file being read
  NodeIoState io;                      // convert_node_io's last text-annotation head
  ConversionState conversion;          // the record conversions' running state
  bool colors_in_file = false;         // a COLOR node was read
  int lowered_tparams = 0;  // TPARAMs lowered since the last NOTE or ENDSYST (requested_page 0)
  bool stop_after_voice = false;  // the user chose to stop at a damaged record
};

// ---- Reading a piece --------------------------------------------------------------------------
// read_piece: reads the file named by piece_fsspec, and makes the view's page image after its
// header. A file that cannot be opened for writing opens as an untitled copy (":from: " and
// its name). With `shared` (the ViewData of another view of the same file) only the header is
// read: the piece is that view's, whose voice lists both views then edit.
// Reads:  piece_fsspec, the node store's free room, the modifier keys (Shift or Option lets a
//         damaged file be read up to the damage), quiet_convert_flag, *shared.
// Writes: every piece global (voice_count, piece_start, contexts, their records, perf_defaults,
//         requested_page, DrosaDirty), piece_fsspec for an untitled copy, the parameter table,
//         the page image, the window title.
// Failure: the file's or the format's message; 0, with no voice list left and voice_count 0
//          (a shared piece is let go of, never freed).
int read_piece(ViewData* shared);
// The same from bytes in memory, without a page image, for tests and fuzzing.
int read_piece_from_memory(const uint8_t* data, size_t size);

// read_header: sets up the default piece; then, for a file, reads its header; then makes the
// view's page image for the current context (offscreen_create). Returns 0 on failure (also
// when the page image cannot be made), -1 when the stored page number is negative, else 1.
// file nullptr: a new piece.
int read_header(PieceFile* file);

// header_io: every header field in order, mode IO_READ (with the version gate, the checks and
// the header conversions; *version gets the file's version) or IO_WRITE. 0 on failure, else 1
// (-1 when reading a negative page number).
int header_io(int mode, PieceFile* file, int* version);

// check_page_size_to_save: 1 when the Score's page size is one a piece file holds (15..40000
// each way); else reports that the piece cannot be saved (level 2) and gives 0.
// Reads:  options_struct[1].
int check_page_size_to_save();

// read_node_record: reads the next stored node of voice v into a new node and converts it; 0
// on a failure that ends reading (the node is returned to the store).
int read_node_record(PieceReading* reading, Drosa* node, int v);

// check_voice: the checks and repairs of one voice after all voices are read (with the
// version repairs of the file's version).
void check_voice(int v, int version);

// make_empty_voice: the list of voice v of a new piece: head ENDSYST, VINFO, PRINT, CLEF,
// KEYSIG, final ENDSYST. Returns the KEYSIG.
Drosa make_empty_voice(int v, int separate_parts);

// first_inconsistent_bar: the bar number at which the shown voices first disagree, or -1: at
// the first note of each measure of the first shown voice, some shown voice has no chord at
// that note's system and time, or a later one has no bar line before its chord there. One
// pass over each voice.
// Reads:  the voice lists, the current notation context. Writes: nothing.
int first_inconsistent_bar();

// Frees every voice list and sets voice_count to 0.
void discard_piece_lists();
