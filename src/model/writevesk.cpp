// writevesk.cpp: writing a piece file and saving.
//
// The piece is written into a new file in the same folder as the old one, which is flushed to
// the disk and then takes the old file's name: a save that fails at any point leaves the old
// file as it was. What writing over the file in place kept is kept:
// - a file the user may not write is refused with the system's message, before anything is
//   written (root may write it, as it could write the file itself);
// - a symbolic link keeps pointing at the file, which is the one replaced;
// - the new file takes the old file's permissions (a new one those of the process) and, where
//   the process may give it, its owner; the file type and creator go into an extended
//   attribute where the file system keeps one (reading never needs it);
// - any name the folder allows can be saved.
// The new file has no name while it is written, where the file system allows that, so a save
// that is killed part way leaves nothing behind. Elsewhere it is written under a hidden name
// made of the piece's name, TEMP_MARK and six random letters; such a file that no running save
// holds locked is what a killed save left, and the next save of that piece removes it.
#include "model/writevesk.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "app/app_services.h"
#include "graphics/ge_services.h"
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
#include "platform/os_errors.h"

namespace {

constexpr const char* TYPE_CREATOR_ATTRIBUTE = "user.vesk.type_creator";
constexpr const char TYPE_CREATOR[] = "VeskVESK";  // file type 'Vesk', creator 'VESK'

constexpr const char TEMP_MARK[] = "~vesk";  // in the name of a file being saved
constexpr size_t TEMP_RANDOM = 6;            // random letters after it
constexpr int MAX_LINKS = 40;                // symbolic links followed before giving up

bool named_temp_files_only = false;  // test double: as on a file system without unnamed files

std::string folder_of(const std::string& fsspec) {
  size_t slash = fsspec.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : fsspec.substr(0, slash);
}

std::string name_of(const std::string& fsspec) {
  size_t slash = fsspec.find_last_of('/');
  return slash == std::string::npos ? fsspec : fsspec.substr(slash + 1);
}

// Why a save failed, in words that name the file or folder concerned.
struct SaveFailure {
  int error_number = 0;
  std::string text;
};

bool fail(SaveFailure* why, int error_number, std::string text) {
  why->error_number = error_number;
  why->text = std::move(text);
  return false;
}

// The file a path names, following symbolic links; a link to a file not made yet names that
// file.
bool follow_links(const std::string& fsspec, std::string* target, SaveFailure* why) {
  std::string path = fsspec;
  for (int hops = 0; hops <= MAX_LINKS; ++hops) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = path;
      return true;
    }
    char link[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), link, sizeof link);
    if (n < 0) return fail(why, errno, file_problem_text(errno, path, false, false));
    if (size_t(n) == sizeof link)
      return fail(why, ENAMETOOLONG, file_problem_text(ENAMETOOLONG, path, false, false));
    std::string to(link, size_t(n));
    path = to[0] == '/' ? to : folder_of(path) + "/" + to;
  }
  return fail(why, ELOOP, file_problem_text(ELOOP, fsspec, false, false));
}

// Refuses an existing file that is not a regular one (a folder, a named pipe, a device: the
// save would put a file in its place), or that the user may not write, as opening it to write
// would.
bool refuse_unwritable(const std::string& target, SaveFailure* why) {
  struct stat st;
  if (::stat(target.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;  // a new file
    return fail(why, errno, file_problem_text(errno, target, false, false));
  }
  std::string not_a_file = not_a_file_text(target, st.st_mode);
  if (!not_a_file.empty()) return fail(why, S_ISDIR(st.st_mode) ? EISDIR : EINVAL, not_a_file);
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
    return fail(why, errno, file_problem_text(errno, target, false, true));
  return true;
}

// The start of the hidden names a save of the file writes under: a dot, the file's name (cut
// short, at a character's start, so that the whole name fits the folder), TEMP_MARK.
std::string temp_prefix(const std::string& target) {
  long name_max = ::pathconf(folder_of(target).c_str(), _PC_NAME_MAX);
  if (name_max <= 0 || name_max > NAME_MAX) name_max = NAME_MAX;
  std::string name = name_of(target);
  size_t room = size_t(std::max<long>(name_max - 1 - long(sizeof TEMP_MARK - 1 + TEMP_RANDOM), 0));
  if (name.size() > room) {
    size_t cut = room;
    while (cut > 0 && (uint8_t(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return "." + name + TEMP_MARK;
}

bool is_temp_name(const char* entry, const std::string& prefix) {
  size_t n = std::strlen(entry);
  if (n != prefix.size() + TEMP_RANDOM || prefix.compare(0, prefix.size(), entry, prefix.size()))
    return false;
  for (size_t i = prefix.size(); i < n; ++i)
    if (!std::isalnum(uint8_t(entry[i]))) return false;
  return true;
}

std::string random_letters() {
  static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::random_device device;
  std::string s;
  for (size_t i = 0; i < TEMP_RANDOM; ++i) s += letters[device() % (sizeof letters - 1)];
  return s;
}

// Removes what killed saves of the file left beside it: a file under one of its hidden names
// that no save holds locked.
void remove_stale_temps(const std::string& target) {
  const std::string prefix = temp_prefix(target);
  DIR* dir = ::opendir(folder_of(target).c_str());
  if (!dir) return;
  int dfd = ::dirfd(dir);
  while (const dirent* entry = ::readdir(dir)) {
    if (!is_temp_name(entry->d_name, prefix)) continue;
    int fd = ::openat(dfd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held, named;
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(dfd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        named.st_dev == held.st_dev && named.st_ino == held.st_ino)
      ::unlinkat(dfd, entry->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

// The new file being written: unnamed, or under a hidden name (`path`).
struct SaveTemp {
  bool unnamed = false;
  std::string path;
};

// A new, empty file in the target's folder, readable and writable by its owner only until it
// is complete, and locked so that no other save takes it for a leftover.
bool create_temp(const std::string& target, PieceFile* file, SaveTemp* temp, SaveFailure* why) {
  *file = PieceFile{};
  *temp = SaveTemp{};
  const std::string folder = folder_of(target);
  int fd = -1;
  if (!named_temp_files_only) {
    fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    // It is given its name through /proc; without that it could not be given one.
    if (fd >= 0 && ::access(("/proc/self/fd/" + std::to_string(fd)).c_str(), F_OK) != 0) {
      ::close(fd);
      fd = -1;
    }
    temp->unnamed = fd >= 0;
  }
  if (fd < 0) {
    const std::string prefix = folder + "/" + temp_prefix(target);
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
      temp->path = prefix + random_letters();
      fd = ::open(temp->path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
      const int error_number = errno;
      temp->path.clear();
      return fail(why, error_number, file_problem_text(error_number, folder, true, true));
    }
  }
  ::flock(fd, LOCK_EX);
  file->fd = fd;
  file->writing = true;
  file->buffer.resize(1 << 16);
  return true;
}

// Gives the complete new file what the old one had: its permissions (a new file those the
// process creates files with), its owner where the process may give it, the type and creator.
bool set_file_attributes(int fd, const std::string& target, SaveFailure* why) {
  struct stat old;
  mode_t mode;
  if (::stat(target.c_str(), &old) == 0) {
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
      (void)::fchown(fd, old.st_uid, old.st_gid);  // only root may give any owner
    mode = old.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0)
    return fail(why, errno, file_problem_text(errno, target, false, true));
  ::fsetxattr(fd, TYPE_CREATOR_ATTRIBUTE, TYPE_CREATOR, sizeof TYPE_CREATOR - 1, 0);
  return true;
}

// Why the new file could not take the target's name: a folder that lets only a file's owner
// replace it (the sticky bit) is said as such.
bool replace_failure(int error_number, const std::string& target, SaveFailure* why) {
  const std::string folder = folder_of(target);
  struct stat st;
  if ((error_number == EPERM || error_number == EACCES) && ::stat(folder.c_str(), &st) == 0 &&
      (st.st_mode & S_ISVTX))
    return fail(
        why, error_number,
        "the folder '" + folder + "' lets only the owner of '" + name_of(target) + "' replace it");
  return fail(why, error_number, file_problem_text(error_number, folder, true, true));
}

// The complete new file takes the target's name. An unnamed file is linked in under a hidden
// name first (a link cannot replace a name), unless the target does not exist yet.
bool put_in_place(int fd, SaveTemp* temp, const std::string& target, SaveFailure* why) {
  if (temp->unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return true;
    if (errno != EEXIST) return replace_failure(errno, target, why);
    const std::string prefix = folder_of(target) + "/" + temp_prefix(target);
    for (int tries = 0;; ++tries) {
      temp->path = prefix + random_letters();
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp->path.c_str(), AT_SYMLINK_FOLLOW) == 0)
        break;
      if (errno != EEXIST || tries == 100) {
        const int error_number = errno;
        temp->path.clear();
        return replace_failure(error_number, target, why);
      }
    }
  }
  if (::rename(temp->path.c_str(), target.c_str()) != 0) return replace_failure(errno, target, why);
  temp->path.clear();
  return true;
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

// Makes the folder entry of the saved file durable.
void flush_folder(const std::string& target) {
  int fd = ::open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

void piece_save_named_temp_files_only(bool on) { named_temp_files_only = on; }

int write_header(PieceFile* file) {
  if (!header_io(IO_WRITE, file, nullptr)) return 0;
  if (header_bytes_done != header_length)
    REPORT_ERROR(4, "header: %hd header bytes instead of %hd", short(header_bytes_done),
                 header_length);
  return 1;
}

int write_piece_file(int with_graphics, Drosa graphics_chain, const std::string& fsspec) {
  std::string target;
  SaveFailure why;
  PieceFile file;
  SaveTemp temp;
  bool ok = follow_links(fsspec, &target, &why) && refuse_unwritable(target, &why);
  if (ok) remove_stale_temps(target);
  ok = ok && create_temp(target, &file, &temp, &why);
  bool reported = false;
  if (ok && !write_header(&file)) {
    ok = false;
    reported = true;  // the header's own message was shown
  }
  // A failed write or flush leaves its reason in errno.
  auto written = [&](int16_t result) {
    return result == RESULT_OK ||
           fail(&why, errno, file_problem_text(errno ? errno : EIO, target, false, true));
  };
  if (ok) {
    {
      UnrecordedChanges own;  // the save's own changes are not the user's to undo
      write_font_table();
      recolor_all_notes();  // notes coloured by pitch name keep their colours in the file
    }
    ok = written(write_voices(&file, with_graphics));
  }
  if (ok && with_graphics) ok = written(write_graphics(&file, graphics_chain));
  if (ok) ok = written(piece_file_flush(&file));
  if (ok && ::fsync(file.fd) != 0) ok = written(RESULT_IO_ERROR);
  file.writing = false;  // written and flushed, or to be thrown away
  ok = ok && set_file_attributes(file.fd, target, &why);
  // The file stays open, and so locked, until it has its name. Once it has, it is complete
  // on the disk (flushed above): closing it can no longer fail the save.
  ok = ok && put_in_place(file.fd, &temp, target, &why);
  piece_file_close(&file);
  if (!temp.path.empty()) ::unlink(temp.path.c_str());
  if (!ok) {
    if (!reported)
      REPORT_ERROR(2, "The piece could not be saved as '%s': %s.", fsspec.c_str(),
                   why.text.c_str());
    return 0;
  }
  flush_folder(target);
  return 1;
}

int is_untitled_file(const std::string& fsspec) {
  std::string name = name_of(fsspec);
  return name.empty() || name[0] == ':';
}

namespace {

// The name proposed for a piece that has no file of its own yet: for a ":from: name" copy the
// document's name with the piece extension in place of its own (the document itself is no
// piece), else "Untitled.vesk" ("New Piece 2.vesk" and so on for ":New Piece:2").
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
    return folder + (count.empty() ? "Untitled.vesk" : "New Piece " + count + ".vesk");
  }
  return fsspec;
}

// True when a file is there under that name and holds something that is not a piece (its
// first two bytes are no piece format's number): writing the piece over it would lose it.
bool names_other_kind_of_file(const std::string& fsspec) {
  std::string target;
  SaveFailure ignored;
  if (!follow_links(fsspec, &target, &ignored)) return false;
  const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  unsigned char start[2];
  const ssize_t got = ::read(fd, start, sizeof start);
  ::close(fd);
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
  const int chosen = save_file_dialog(FILE_PIECE, published, with_graphics);
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
  save_cursor();
  set_cursor(CURSOR_ID_WATCH);
  bool publishing = published && options_i16(1, OPTIONS_PUBLISHED) == 0;
  bool untitled = is_untitled_file(*fsspec);
  if (untitled || ask_name || (DrosaDirty & 0x80)) {
    if (untitled) *fsspec = untitled_file_name(*fsspec);
    if (!ask_file_name(fsspec, published, with_graphics)) {
      *fsspec = original;
      restore_cursor();
      return 0;
    }
  }
  if (!may_replace_other_file(*fsspec)) {
    *fsspec = original;
    restore_cursor();
    return 0;
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
