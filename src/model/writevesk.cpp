// writevesk.cpp: writing a piece file and saving.
//
// The piece is written through the platform's replacement of a file whole (platform/files.h):
// into a new file beside the old one, which takes the old file's name only once it is complete
// and on the disk, so that a save that fails at any point leaves the old file as it was. What
// writing over the file in place kept is kept: a file the user may not write is refused with
// the system's message before anything is written (root may write it, as it could write the
// file itself); a symbolic link keeps pointing at the file, which is the one replaced; the new
// file takes the old file's permissions and owner; the file type and creator go into an
// extended attribute where the file system keeps one (reading never needs it); any name the
// folder allows can be saved; a save that is killed part way leaves nothing behind.
#include "model/writevesk.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>

#include "model/error_report.h"
#include "model/file_errors.h"
#include "model/font_table.h"
#include "model/model_globals.h"
#include "model/node_kinds.h"
#include "model/options.h"
#include "model/piece_format.h"
#include "model/readvesk.h"
#include "model/undo.h"
#include "model/voice_lists.h"
#include "platform/files.h"
#include "platform/os_errors.h"

namespace {

std::string name_of(const std::string& fsspec) {
  size_t slash = fsspec.find_last_of('/');
  return slash == std::string::npos ? fsspec : fsspec.substr(slash + 1);
}

PlatformReplaceOptions save_options() {
  PlatformReplaceOptions options;
  options.type_creator = "VeskVESK";  // file type 'Vesk', creator 'VESK'
  options.refuse_unwritable = true;
  return options;
}

// One node as its record, passed through convert_node_io around the write.
int16_t write_node_record(PieceFile* file, Drosa node, NodeIoState* io) {
  convert_node_io(node, IO_WRITE, io);
  int16_t result = piece_write(file, node->bytes() + NODE_RECORD_OFFSET, NODE_RECORD_SIZE);
  convert_node_io(node, IO_READ, io);
  return result;
}

int16_t write_voices(PieceFile* file, int with_graphics) {
  NodeIoState io;
  int subset = with_graphics ? 1004 : 1003;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (!temp_node(p, subset))
        if (int16_t result = write_node_record(file, p, &io)) return result;
  return RESULT_OK;
}

// The graphics elements of a published save: what the screen shows, so the element after a
// stand-in for the screen (GSCREEN) is left out.
int16_t write_graphics(PieceFile* file, Drosa chain) {
  constexpr int GSCREEN = 4;
  NodeIoState io;
  for (Drosa p = chain; p; p = p->xnext) {
    if (temp_node(p, 1004)) continue;
    if (int16_t result = write_node_record(file, p, &io)) return result;
    if (is_graphics_element_kind(p->xkind) && (uint8_t(p->xcontext) & GSCREEN) && p->xnext)
      p = p->xnext;
  }
  return RESULT_OK;
}

}  // namespace

int write_header(PieceFile* file) {
  if (!header_io(IO_WRITE, file, nullptr)) return 0;
  if (header_bytes_done != header_length)
    REPORT_ERROR(4, "header: %hd header bytes instead of %hd", short(header_bytes_done),
                 header_length);
  return 1;
}

int write_piece_file(int with_graphics, Drosa graphics_chain, const std::string& fsspec) {
  const PlatformReplaceOptions options = save_options();
  PlatformReplacement replacement;
  PlatformFileProblem why;
  PieceFile file;
  bool ok = platform_replace_begin(fsspec, options, &replacement, &why);
  if (ok) {
    file.fd = replacement.fd;
    file.writing = true;
    file.buffer.resize(1 << 16);
  }
  bool reported = false;
  if (ok && !write_header(&file)) {
    ok = false;
    reported = true;  // the header's own message was shown
  }
  // A failed write leaves its reason in errno.
  auto written = [&](int16_t result) {
    if (result == RESULT_OK) return true;
    why = PlatformFileProblem{};
    why.error_number = errno ? errno : EIO;
    why.path = replacement.target;
    why.writing = true;
    return false;
  };
  if (ok) {
    {
      UnrecordedChanges own;  // the save's own changes are not the user's to undo
      write_font_table();
      model_hooks
          .recolor_all_notes();  // notes coloured by pitch name keep their colours in the file
    }
    ok = written(write_voices(&file, with_graphics));
  }
  if (ok && with_graphics) ok = written(write_graphics(&file, graphics_chain));
  if (ok) ok = written(piece_file_flush(&file));
  // The replacement closes the file: written and flushed, or to be thrown away.
  file.writing = false;
  file.fd = -1;
  piece_file_close(&file);
  if (ok) {
    ok = platform_replace_finish(&replacement, options, &why);
  } else {
    platform_replace_abandon(&replacement);
  }
  if (!ok) {
    if (!reported)
      REPORT_ERROR(2, "The piece could not be saved as '%s': %s.", fsspec.c_str(),
                   file_problem_text(why).c_str());
    return 0;
  }
  return 1;
}

int is_untitled_file(const std::string& fsspec) {
  std::string name = name_of(fsspec);
  return name.empty() || name[0] == ':';
}

std::string untitled_file_name(const std::string& fsspec) {
  const size_t slash = fsspec.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : fsspec.substr(0, slash + 1);
  const std::string name = fsspec.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.rfind(":from: ", 0) == 0) {
    std::string document = name.substr(7);
    const size_t dot = document.find_last_of('.');
    if (dot != std::string::npos && dot > 0) document.resize(dot);
    return folder + document + ".vesk";
  }
  if (name.rfind(":New Piece:", 0) == 0) {
    const std::string count = name.substr(11);
    // Under the name its window shows, as its exports are proposed.
    return folder + (count.empty() ? "New Piece.vesk" : "New Piece " + count + ".vesk");
  }
  return fsspec;
}

namespace {

// True when a file is there under that name and holds something that is not a piece (its
// first two bytes are no piece format's number): writing the piece over it would lose it.
bool names_other_kind_of_file(const std::string& fsspec) {
  std::string target;
  PlatformFileProblem ignored;
  if (!platform_file_follow_links(fsspec, &target, &ignored)) return false;
  const int fd = platform_file_open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  unsigned char start[2];
  const ssize_t got = platform_file_read(fd, start, sizeof start);
  platform_file_close(fd);
  if (got <= 0) return false;  // empty: nothing to lose
  const int version = got == 2 ? start[0] << 8 | start[1] : -1;
  return version < PIECE_FORMAT_OLDEST || version > PIECE_FORMAT_LIMIT;
}

// Asks before a piece is written over a file that is not one; true to go on.
bool may_replace_other_file(const std::string& fsspec) {
  if (!names_other_kind_of_file(fsspec)) return true;
  char question[REPORT_TEXT_SIZE];
  std::snprintf(question, sizeof question,
                "The file '%s' is not a Vesk piece. Saving the piece under its name replaces the "
                "file, and what it holds now is lost. Replace it?",
                name_of(fsspec).c_str());
  return yesno_alert(question, 0) != 0;
}

// Runs the save dialog of pieces on *fsspec, which the piece's own file specification stands
// for meanwhile; 1 with the name chosen in *fsspec.
int ask_file_name(std::string* fsspec, int published, int with_graphics) {
  const std::string own = piece_fsspec;
  piece_fsspec = *fsspec;
  const int chosen = model_hooks.save_file_dialog(FILE_PIECE, published, with_graphics);
  const std::string name = piece_fsspec;
  piece_fsspec = own;
  if (chosen) *fsspec = name;
  return chosen;
}

}  // namespace

int save_piece(int ask_name, int with_graphics, int published, std::string* fsspec) {
  const std::string original = *fsspec;
  const bool own_file = fsspec == &piece_fsspec;
  if (!check_page_size_to_save()) return 0;  // before any dialog: nothing can be written
  model_hooks.save_cursor();
  model_hooks.set_cursor(CURSOR_ID_WATCH);
  bool publishing = published && options_i16(1, OPTIONS_PUBLISHED) == 0;
  bool untitled = is_untitled_file(*fsspec);
  if (untitled || ask_name || (DrosaDirty & 0x80)) {
    if (untitled) *fsspec = untitled_file_name(*fsspec);
    if (!ask_file_name(fsspec, published, with_graphics)) {
      *fsspec = original;
      model_hooks.restore_cursor();
      return 0;
    }
  }
  if (!may_replace_other_file(*fsspec)) {
    *fsspec = original;
    model_hooks.restore_cursor();
    return 0;
  }
  if (publishing && !untitled && *fsspec == original) {
    REPORT_ERROR(2, "%s",
                 "You must change the name of the file or save it to a different folder, \n"
                 "so that a published file does not overwrite an unpublished file.");
    model_hooks.restore_cursor();
    return 0;
  }
  // The graphics of every page are not kept between formats yet: a published save writes its
  // voices with their layout records but no run of graphics elements.
  Drosa chain = NIL;
  if (publishing) set_options_i16(1, OPTIONS_PUBLISHED, 1);
  if (!write_piece_file(with_graphics, chain, *fsspec)) {
    REPORT_ERROR(2, "%s", "Unexpected error in writing the Vesk piece.");
    if (publishing) set_options_i16(1, OPTIONS_PUBLISHED, 0);
    // The piece keeps the file it had: the next Save goes there, not to the name that failed.
    *fsspec = original;
    model_hooks.restore_cursor();
    return 0;
  }
  if (own_file) {
    piece_fsspec = *fsspec;
    DrosaDirty = 0;
    set_options_i16(1, OPTIONS_PUBLISHED, int16_t(published ? 1 : 0));
  } else if (publishing) {
    set_options_i16(1, OPTIONS_PUBLISHED, 0);  // only the copy is published
  }
  model_hooks.restore_cursor();
  return 1;
}

int ask_save_piece() {
  // What formatting changed alone it makes again at the next opening: nothing to ask about.
  if (!(DrosaDirty & ~DIRTY_LAYOUT)) return 1;
  char question[REPORT_TEXT_SIZE];
  if (is_untitled_file(piece_fsspec)) {
    std::snprintf(question, sizeof question, "%s", "Save this piece?");
  } else {
    std::string name = piece_fsspec.size() > 70 ? name_of(piece_fsspec) : piece_fsspec;
    std::snprintf(question, sizeof question, "Save changes to file '%s'?", name.c_str());
  }
  int answer = yesnocan_alert(question);
  if (answer == ANSWER_CANCEL) return 0;
  if (answer == ANSWER_YES) return save_piece(0, 0, 0, &piece_fsspec);
  return 1;
}
