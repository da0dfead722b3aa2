// files.cpp: plain files by descriptor, over the POSIX calls, with the test double's failing
// writes and closes; whole files read and written at once.
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

long long fail_writes_after = -1;   // bytes that may still be written; -1 no limit
int fail_writes_errno = 0;          // the errno of a write past the limit
long long bytes_written_total = 0;  // bytes written since the limit was set
int fail_close_errno = 0;           // closing fails with it; 0 never

}  // namespace

int platform_file_open(const char* path, int flags, int mode) {
  for (;;) {
    const int fd = ::open(path, flags, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

ssize_t platform_file_read(int fd, void* bytes, size_t n) {
  for (;;) {
    const ssize_t got = ::read(fd, bytes, n);
    if (got >= 0 || errno != EINTR) return got;
  }
}

ssize_t platform_file_write(int fd, const void* bytes, size_t n) {
  if (fail_writes_after >= 0 && bytes_written_total + (long long)n > fail_writes_after) {
    n = size_t(fail_writes_after - bytes_written_total);
    if (n == 0) {
      errno = fail_writes_errno;
      return -1;
    }
  }
  for (;;) {
    const ssize_t put = ::write(fd, bytes, n);
    if (put >= 0) bytes_written_total += put;
    if (put >= 0 || errno != EINTR) return put;
  }
}

int platform_file_sync(int fd) { return ::fsync(fd); }

int platform_file_close(int fd) {
  const int result = ::close(fd);
  if (result == 0 && fail_close_errno) {
    errno = fail_close_errno;
    return -1;
  }
  return result;
}

int platform_file_rename(const char* from, const char* to) { return std::rename(from, to); }

int platform_file_put_in_place(const char* from, const char* to) {
  struct stat there;
  if (::lstat(to, &there) == 0 && (S_ISREG(there.st_mode) || S_ISLNK(there.st_mode)) &&
      ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE) == 0) {
    if (::unlink(from) == 0) return 0;
    // What took the name meanwhile is not to be removed: the two go back, and rename says why.
    ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_EXCHANGE);
  }
  return std::rename(from, to);
}

off_t platform_file_seek(int fd, off_t offset, int whence) { return ::lseek(fd, offset, whence); }

int platform_file_duplicate(int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); }

int platform_file_remove(const char* path) { return ::unlink(path); }

int platform_file_temporary(char* name, int suffix_length) {
  return suffix_length > 0 ? ::mkstemps(name, suffix_length) : ::mkstemp(name);
}

namespace {

void status_from(const struct stat& st, PlatformFileStatus* status) {
  status->mode = st.st_mode;
  status->size = st.st_size;
}

}  // namespace

int platform_file_status(const char* path, PlatformFileStatus* status) {
  struct stat st;
  if (::stat(path, &st) != 0) return -1;
  status_from(st, status);
  return 0;
}

int platform_file_status_of(int fd, PlatformFileStatus* status) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return -1;
  status_from(st, status);
  return 0;
}

int platform_file_write_all(int fd, const void* bytes, size_t n) {
  const char* p = static_cast<const char*>(bytes);
  while (n > 0) {
    const ssize_t put = platform_file_write(fd, p, n);
    if (put < 0) return errno ? errno : EIO;
    if (put == 0) return EIO;
    p += put;
    n -= size_t(put);
  }
  return 0;
}

int platform_file_read_whole(const std::string& path, size_t limit, std::string* bytes,
                             PlatformFileStatus* status) {
  bytes->clear();
  // Not waiting for a writer: a named pipe or a device is refused, not read.
  const int fd = platform_file_open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  PlatformFileStatus own;
  if (!status) status = &own;
  int error = 0;
  if (platform_file_status_of(fd, status) != 0) {
    error = errno;
  } else if (!S_ISREG(status->mode)) {
    error = S_ISDIR(status->mode) ? EISDIR : EINVAL;
  } else if (status->size > (long long)limit) {
    error = EFBIG;
  } else {
    char buffer[1 << 16];
    for (;;) {
      const ssize_t got = platform_file_read(fd, buffer, sizeof buffer);
      if (got < 0) error = errno;
      if (got <= 0) break;
      if (bytes->size() + size_t(got) > limit) {
        error = EFBIG;  // it grew while being read
        break;
      }
      bytes->append(buffer, size_t(got));
    }
  }
  platform_file_close(fd);
  if (error) bytes->clear();
  return error;
}

bool platform_make_folders(const std::string& path, int mode) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    std::string part = slash == std::string::npos ? path : path.substr(0, slash);
    if (::mkdir(part.c_str(), mode_t(mode)) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

int platform_lock_folder(const std::string& path) {
  const int fd = platform_file_open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return PLATFORM_LOCK_HELD_ELSEWHERE;
  }
  return fd;
}

void platform_fail_file_writes_after(long long bytes, int error_number) {
  fail_writes_after = bytes;
  fail_writes_errno = error_number;
  bytes_written_total = 0;
}

void platform_fail_file_close(int error_number) { fail_close_errno = error_number; }
