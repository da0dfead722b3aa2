// writevesk.h: writing the current piece to its file, and the save commands.
#pragma once

#include <string>

#include "model/drosa.h"
#include "model/piece_format.h"

// write_header: the header (header_io in IO_WRITE mode), then a check of its length. 0 when
// writing failed.
int write_header(PieceFile* file);

// write_piece_file: writes the piece into the file at `fsspec`: the header, then every stored
// node of every voice, then, when `with_graphics`, the published variant's run of graphics
// elements from `graphics_chain` (NIL: none). A symbolic link is followed to the file it
// names. The file is written beside the old one (unnamed where the file system allows, else
// under a hidden name), flushed, given the old file's permissions and then its name, so a
// failure leaves the old file as it was; hidden files that killed saves of the same file left
// are removed first.
// Reads:  every piece global. Writes: the font table (write_font_table), perf_defaults'
//         platform bytes, requested_page.
// Failure: a file the user may not write is refused before anything is written; the system's
//          text through report_file_error, or the page size that no file holds
//          (check_page_size_to_save); 0.
int write_piece_file(int with_graphics, Drosa graphics_chain, const std::string& fsspec);

// Test double: saves write under a hidden name, as on a file system without unnamed files.
void piece_save_named_temp_files_only(bool on);

// save_piece: saves the current piece into the file named by *fsspec, running the save dialog
// when asked, when the piece has no file yet, or when it was converted from a newer format.
// `with_graphics` writes the published variant, `published` marks the saved piece published.
// Returns 1 when the file was written, 0 when the user cancelled or writing failed; a page
// size that no file holds is reported before any dialog, and nothing is written.
// Writes: *fsspec (the name chosen); when fsspec is piece_fsspec itself (the piece's own file),
//         DrosaDirty and the published flag.
int save_piece(int ask_name, int with_graphics, int published, std::string* fsspec);

// ask_save_piece: when the piece has changed, asks whether to save it. 0 when the user
// cancels (the caller stops what it was doing), else 1.
int ask_save_piece();

// 1 when the file specification names no file of its own yet (its name begins with ':').
int is_untitled_file(const std::string& fsspec);
