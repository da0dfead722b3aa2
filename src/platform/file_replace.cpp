// file_replace.cpp: replacing a file whole through a new file written beside it (see files.h).
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/files.h"

namespace {

constexpr const char* TYPE_CREATOR_ATTRIBUTE = "user.vesk.type_creator";
constexpr const char TEMP_MARK[] = "~vesk";  // in the name of a file being written
constexpr size_t TEMP_RANDOM = 6;            // random letters after it
constexpr int MAX_LINKS = 40;                // symbolic links followed before giving up

bool named_temporaries_only = false;  // test double: as on a file system without unnamed files

std::string folder_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool fail(PlatformFileProblem* why, int error_number, const std::string& path, bool folder,
          bool writing) {
  *why = PlatformFileProblem{};
  why->error_number = error_number;
  why->path = path;
  why->folder = folder;
  why->writing = writing;
  return false;
}

// Refuses an existing file that is not a regular one (a folder, a named pipe, a device: the
// replacement would put a file in its place), or that the user may not write, as opening it
// to write would.
bool refuse_unwritable(const std::string& target, PlatformFileProblem* why) {
  struct stat st;
  if (::stat(target.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;  // a new file
    return fail(why, errno, target, false, false);
  }
  if (!S_ISREG(st.st_mode)) {
    fail(why, S_ISDIR(st.st_mode) ? EISDIR : EINVAL, target, false, false);
    why->not_a_file_mode = st.st_mode;
    return false;
  }
  if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
    return fail(why, errno, target, false, true);
  return true;
}

// The start of the hidden names a replacement of the file is written under: a dot, the file's
// name (cut short, at a character's start, so that the whole name fits the folder), TEMP_MARK.
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

// Removes what killed writes of the file left beside it: a file under one of its hidden names
// that no write holds locked.
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

// A new, empty file in the target's folder, locked so that no other write takes it for a
// leftover.
bool create_temp(PlatformReplacement* r, PlatformFileProblem* why) {
  const std::string folder = folder_of(r->target);
  int fd = -1;
  if (!named_temporaries_only) {
    fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    // It is given its name through /proc; without that it could not be given one.
    if (fd >= 0 && ::access(("/proc/self/fd/" + std::to_string(fd)).c_str(), F_OK) != 0) {
      ::close(fd);
      fd = -1;
    }
    r->unnamed = fd >= 0;
  }
  if (fd < 0) {
    const std::string prefix = folder + "/" + temp_prefix(r->target);
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
      r->hidden_path = prefix + random_letters();
      fd = ::open(r->hidden_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
      const int error_number = errno;
      r->hidden_path.clear();
      return fail(why, error_number, folder, true, true);
    }
  }
  ::flock(fd, LOCK_EX);
  r->fd = fd;
  return true;
}

// Gives the complete new file its permissions and owner, and the type and creator.
bool set_file_attributes(const PlatformReplacement& r, const PlatformReplaceOptions& options,
                         PlatformFileProblem* why) {
  struct stat old;
  mode_t mode;
  if (options.mode >= 0) {
    mode = mode_t(options.mode);
  } else if (::stat(r.target.c_str(), &old) == 0) {
    if (old.st_uid != ::geteuid() || old.st_gid != ::getegid())
      (void)::fchown(r.fd, old.st_uid, old.st_gid);  // only root may give any owner
    mode = old.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(r.fd, mode) != 0) return fail(why, errno, r.target, false, true);
  if (options.type_creator) ::fsetxattr(r.fd, TYPE_CREATOR_ATTRIBUTE, options.type_creator, 8, 0);
  return true;
}

// Why the new file could not take the target's name: a folder that lets only a file's owner
// replace it (the sticky bit) is said as such.
bool replace_failure(int error_number, const std::string& target, PlatformFileProblem* why) {
  const std::string folder = folder_of(target);
  fail(why, error_number, folder, true, true);
  why->placing = true;
  struct stat st;
  if ((error_number == EPERM || error_number == EACCES) && ::stat(folder.c_str(), &st) == 0 &&
      (st.st_mode & S_ISVTX)) {
    why->owner_only = true;
    why->file_name = name_of(target);
  }
  return false;
}

// The complete new file takes the target's name. An unnamed file is linked in under a hidden
// name first (a link cannot replace a name), unless the target does not exist yet.
bool put_in_place(PlatformReplacement* r, PlatformFileProblem* why) {
  if (r->unnamed) {
    const std::string self = "/proc/self/fd/" + std::to_string(r->fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, r->target.c_str(), AT_SYMLINK_FOLLOW) == 0)
      return true;
    if (errno != EEXIST) return replace_failure(errno, r->target, why);
    const std::string prefix = folder_of(r->target) + "/" + temp_prefix(r->target);
    for (int tries = 0;; ++tries) {
      r->hidden_path = prefix + random_letters();
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, r->hidden_path.c_str(), AT_SYMLINK_FOLLOW) ==
          0)
        break;
      if (errno != EEXIST || tries == 100) {
        const int error_number = errno;
        r->hidden_path.clear();
        return replace_failure(error_number, r->target, why);
      }
    }
  }
  if (platform_file_rename(r->hidden_path.c_str(), r->target.c_str()) != 0)
    return replace_failure(errno, r->target, why);
  r->hidden_path.clear();
  return true;
}

// Makes the folder entry of the new file durable.
void flush_folder(const std::string& target) {
  int fd = ::open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool platform_file_follow_links(const std::string& path, std::string* target,
                                PlatformFileProblem* why) {
  std::string at = path;
  for (int hops = 0; hops <= MAX_LINKS; ++hops) {
    struct stat st;
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *target = at;
      return true;
    }
    char link[PATH_MAX];
    ssize_t n = ::readlink(at.c_str(), link, sizeof link);
    if (n < 0) return fail(why, errno, at, false, false);
    if (size_t(n) == sizeof link) return fail(why, ENAMETOOLONG, at, false, false);
    std::string to(link, size_t(n));
    at = to[0] == '/' ? to : folder_of(at) + "/" + to;
  }
  return fail(why, ELOOP, path, false, false);
}

bool platform_replace_begin(const std::string& path, const PlatformReplaceOptions& options,
                            PlatformReplacement* replacement, PlatformFileProblem* why) {
  *replacement = PlatformReplacement{};
  if (!platform_file_follow_links(path, &replacement->target, why)) return false;
  if (options.refuse_unwritable && !refuse_unwritable(replacement->target, why)) return false;
  remove_stale_temps(replacement->target);
  return create_temp(replacement, why);
}

bool platform_replace_finish(PlatformReplacement* replacement,
                             const PlatformReplaceOptions& options, PlatformFileProblem* why) {
  PlatformReplacement& r = *replacement;
  bool ok = r.fd >= 0 || fail(why, EBADF, r.target, false, true);
  if (ok && platform_file_sync(r.fd) != 0) ok = fail(why, errno, r.target, false, true);
  ok = ok && set_file_attributes(r, options, why);
  // The file stays open, and so locked, until it has its name. Once it has, it is complete
  // on the disk (flushed above): closing it can no longer fail.
  ok = ok && put_in_place(&r, why);
  platform_replace_abandon(&r);
  if (ok) flush_folder(r.target);
  return ok;
}

void platform_replace_abandon(PlatformReplacement* replacement) {
  if (replacement->fd >= 0) platform_file_close(replacement->fd);
  replacement->fd = -1;
  if (!replacement->hidden_path.empty()) platform_file_remove(replacement->hidden_path.c_str());
  replacement->hidden_path.clear();
  replacement->unnamed = false;
}

void platform_file_named_temporaries_only(bool on) { named_temporaries_only = on; }
