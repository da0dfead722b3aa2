// files.h: plain files by descriptor. Opening, reading, writing, syncing, closing, renaming,
// removing and making a temporary file behave as the POSIX calls of the same purpose (a
// negative result with errno set on failure; reads and writes interrupted by a signal are
// tried again). The program's files go through these, so that the test double below can make
// their writes and closes fail.
#pragma once

#include <cstddef>
#include <string>
#include <sys/types.h>

int platform_file_open(const char* path, int flags, int mode = 0);
ssize_t platform_file_read(int fd, void* bytes, size_t n);
// May write fewer bytes than asked (a short write), as write(2) may.
ssize_t platform_file_write(int fd, const void* bytes, size_t n);
int platform_file_sync(int fd);
int platform_file_close(int fd);
int platform_file_rename(const char* from, const char* to);
// Renames a file to a name that may be taken, as rename(2) does (a file or link there replaced
// at once, a folder refused), without having the file system write the new file out first: it
// may do so before a file takes the name of an existing one, which would cost the caller the
// write. The two are exchanged instead and the old one removed.
int platform_file_put_in_place(const char* from, const char* to);
// Moves the file position (lseek(2)): the new position, or -1 with errno.
off_t platform_file_seek(int fd, off_t offset, int whence);
// A second descriptor of the same open file (dup(2)), to close on its own; -1 with errno.
int platform_file_duplicate(int fd);
int platform_file_remove(const char* path);
// Makes and opens a new file from a name ending in "XXXXXX" followed by suffix_length more
// characters (the X's are replaced); its descriptor, or -1.
int platform_file_temporary(char* name, int suffix_length = 0);

// What a file is: its type and permission bits (as st_mode) and its length in bytes.
struct PlatformFileStatus {
  unsigned mode = 0;
  long long size = 0;
};
// Of the file a path names, symbolic links followed (stat(2)); 0 or -1 with errno.
int platform_file_status(const char* path, PlatformFileStatus* status);
// Of an open file (fstat(2)); 0 or -1 with errno.
int platform_file_status_of(int fd, PlatformFileStatus* status);

// Writes all n bytes, going on after short writes: 0, or the errno of the failure.
int platform_file_write_all(int fd, const void* bytes, size_t n);
// Reads the whole of a regular file of at most `limit` bytes into *bytes: 0, or the errno of
// the failure (EFBIG for a longer file; EISDIR for a folder and EINVAL for any other thing
// that is not a regular file, which is never waited on). *status, when given, tells what the
// file is once it could be opened.
int platform_file_read_whole(const std::string& path, size_t limit, std::string* bytes,
                             PlatformFileStatus* status = nullptr);

// Makes a folder and its missing parents (new ones with the given permissions); false when
// one cannot be made.
bool platform_make_folders(const std::string& path, int mode);
// Locks a folder for this process without waiting: the descriptor that holds the lock (to
// platform_file_close when done), -1 when the folder cannot be opened, or
// PLATFORM_LOCK_HELD_ELSEWHERE when another process holds it.
constexpr int PLATFORM_LOCK_HELD_ELSEWHERE = -2;
int platform_lock_folder(const std::string& path);

// ---- Replacing a file whole -------------------------------------------------------------------
// A new file is written in the same folder as the file it replaces, flushed to the disk and then
// given the old file's name, so that a write that fails at any point leaves the old file as it
// was. A symbolic link keeps pointing at the file, which is the one replaced. The new file takes
// the old file's permissions (a new one those the process creates files with) and, where the
// process may give it, its owner, unless the options give the permissions; the file type and
// creator go into an extended attribute where the file system keeps one. The new file has no
// name while it is written, where the file system allows that, so a write that is killed part
// way leaves nothing behind. Elsewhere it is written under a hidden name made of the file's
// name, "~vesk" and six random letters; such a file that no running write holds locked is what
// a killed write left, and the next replacement of that file removes it.

struct PlatformReplaceOptions {
  const char* type_creator = nullptr;  // 8 characters, or none
  int mode = -1;                       // the permissions; -1 as said above
  // A file the user may not write is refused, as opening it to write would refuse it (root
  // may replace it, as it could write it), and so is an existing thing that is not a file.
  bool refuse_unwritable = false;
};

// Why a replacement failed: the file or folder concerned and what was being done to it.
struct PlatformFileProblem {
  int error_number = 0;
  std::string path;              // the file or folder concerned
  bool folder = false;           // `path` is the folder
  bool writing = false;          // while changing it, else while looking at it
  unsigned not_a_file_mode = 0;  // an existing thing that is not a regular file: its mode
  bool owner_only = false;       // the folder lets only the owner of `file_name` replace it
  std::string file_name;         // the name of the file replaced, for owner_only
  bool placing = false;          // the complete new file could not take the name
};

struct PlatformReplacement {
  int fd = -1;              // the new file, open for writing
  std::string target;       // the file replaced, symbolic links followed
  std::string hidden_path;  // the new file's name while it has one of its own
  bool unnamed = false;     // the new file has no name yet
};

// Follows the symbolic links of a path to the file it names (a link to a file not made yet
// names that file).
bool platform_file_follow_links(const std::string& path, std::string* target,
                                PlatformFileProblem* why);
// Makes the new, empty file beside the one `path` names (or will name), readable and writable
// by its owner only until it is complete.
bool platform_replace_begin(const std::string& path, const PlatformReplaceOptions& options,
                            PlatformReplacement* replacement, PlatformFileProblem* why);
// Flushes the complete new file to the disk, gives it its attributes and the old file's name,
// and closes it (a close that fails once the file has its name is no failure). On failure the
// new file is thrown away and the old one stays as it was.
bool platform_replace_finish(PlatformReplacement* replacement,
                             const PlatformReplaceOptions& options, PlatformFileProblem* why);
// Throws the new file away.
void platform_replace_abandon(PlatformReplacement* replacement);

// ---- Test double ------------------------------------------------------------------------------
// Writes fail with error_number once `bytes` bytes have been written from this call on (the
// write that reaches the limit is cut short there), until called again with a negative count.
void platform_fail_file_writes_after(long long bytes, int error_number);
// Closing a file fails with error_number after the file is closed (0: as it really does).
void platform_fail_file_close(int error_number);
// Replacements write under a hidden name, as on a file system without unnamed files.
void platform_file_named_temporaries_only(bool on);
