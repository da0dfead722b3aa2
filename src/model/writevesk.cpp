// writevesk.cpp: writing a piece file and saving.
//
// The piece is written into a new file in the same folder as the old one, which is flushed to
// the disk and then renamed over the old file: a save that fails at any point leaves the old
// file as it was. The new file takes the old file's permissions (a new one those of the
// process), and the file type and creator go into an extended attribute where the file system
// keeps one; reading never needs it.
#include "model/writevesk.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "model/error_report.h"
#include "model/file_errors.h"
#include "model/font_table.h"
#include "model/model_globals.h"
#include "model/node_kinds.h"
#include "model/options.h"
#include "model/readvesk.h"
#include "model/voice_lists.h"
#include "platform/os_errors.h"

namespace {

constexpr const char* TYPE_CREATOR_ATTRIBUTE = "user.vesk.type_creator";
constexpr const char TYPE_CREATOR[] = "VeskVESK";  // file type 'Vesk', creator 'VESK'

std::string folder_of(const std::string& fsspec) {
  size_t slash = fsspec.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : fsspec.substr(0, slash);
}

std::string name_of(const std::string& fsspec) {
  size_t slash = fsspec.find_last_of('/');
  return slash == std::string::npos ? fsspec : fsspec.substr(slash + 1);
}

// The permissions the new file gets: the old file's, else what the process creates files with.
mode_t new_file_mode(const std::string& fsspec) {
  struct stat old;
  if (::stat(fsspec.c_str(), &old) == 0) return old.st_mode & 07777;
  mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A new, empty file beside the old one; its path goes into *temp.
int16_t create_beside(const std::string& fsspec, PieceFile* file, std::string* temp) {
  std::string path = folder_of(fsspec) + "/." + name_of(fsspec) + ".XXXXXX";
  std::vector<char> name(path.begin(), path.end());
  name.push_back(0);
  *file = PieceFile{};
  int fd = ::mkstemp(name.data());
  if (fd < 0) return platform_result_of_errno(errno);
  *temp = name.data();
  file->fd = fd;
  file->writing = true;
  file->buffer.resize(1 << 16);
  if (::fchmod(fd, new_file_mode(fsspec)) != 0) return platform_result_of_errno(errno);
  ::fsetxattr(fd, TYPE_CREATOR_ATTRIBUTE, TYPE_CREATOR, sizeof TYPE_CREATOR - 1, 0);
  return RESULT_OK;
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

// Makes the directory entry of the renamed file durable.
void flush_folder(const std::string& fsspec) {
  int fd = ::open(folder_of(fsspec).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
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
  PieceFile file;
  std::string temp;
  int16_t result = create_beside(fsspec, &file, &temp);
  bool reported = false;
  if (result == RESULT_OK) {
    if (!write_header(&file)) {
      result = RESULT_IO_ERROR;
      reported = true;  // the header's own message was shown
    }
  }
  if (result == RESULT_OK) {
    write_font_table();
    recolor_all_notes();  // notes coloured by pitch name keep their colours in the file
    result = write_voices(&file, with_graphics);
  }
  if (result == RESULT_OK && with_graphics) result = write_graphics(&file, graphics_chain);
  int16_t closed = piece_file_close(&file);
  if (result == RESULT_OK) result = closed;
  if (result == RESULT_OK && ::rename(temp.c_str(), fsspec.c_str()) != 0)
    result = platform_result_of_errno(errno);
  if (result != RESULT_OK) {
    if (!temp.empty()) ::unlink(temp.c_str());
    if (!reported) report_file_error(result, "");
    return 0;
  }
  flush_folder(fsspec);
  return 1;
}

int is_untitled_file(const std::string& fsspec) {
  std::string name = name_of(fsspec);
  return name.empty() || name[0] == ':';
}

int save_piece(int ask_name, int with_graphics, int published, std::string* fsspec) {
  const std::string original = *fsspec;
  const bool own_file = fsspec == &piece_fsspec;
  save_cursor();
  set_cursor(CURSOR_ID_WATCH);
  bool publishing = published && options_i16(1, OPTIONS_PUBLISHED) == 0;
  bool untitled = is_untitled_file(*fsspec);
  if (untitled || ask_name || (DrosaDirty & 0x80)) {
    if (untitled) *fsspec = make_file_name(*fsspec);
    if (!save_file_dialog(1, with_graphics, published, fsspec)) {
      *fsspec = original;
      restore_cursor();
      return 0;
    }
  }
  if (publishing && !untitled && *fsspec == original) {
    REPORT_ERROR(2, "%s",
                 "You must change the name of the file or save it to a different folder, \n"
                 "so that a published file does not overwrite an unpublished file.");
    restore_cursor();
    return 0;
  }
  // The graphics of every page are not kept between formats yet: a published save writes its
  // voices with their layout records but no run of graphics elements.
  Drosa chain = NIL;
  if (publishing) set_options_i16(1, OPTIONS_PUBLISHED, 1);
  if (!write_piece_file(with_graphics, chain, *fsspec)) {
    REPORT_ERROR(2, "%s", "Unexpected error in writing the Vesk piece.");
    if (publishing) set_options_i16(1, OPTIONS_PUBLISHED, 0);
    restore_cursor();
    return 0;
  }
  if (own_file) {
    piece_fsspec = *fsspec;
    DrosaDirty = 0;
    set_options_i16(1, OPTIONS_PUBLISHED, int16_t(published ? 1 : 0));
  } else if (publishing) {
    set_options_i16(1, OPTIONS_PUBLISHED, 0);  // only the copy is published
  }
  restore_cursor();
  return 1;
}

int ask_save_piece() {
  if (!DrosaDirty) return 1;
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
