// files.cpp: plain files by descriptor, over the POSIX calls, with the test double's failing
// writes and closes.
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
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

int platform_file_remove(const char* path) { return ::unlink(path); }

int platform_file_temporary(char* name, int suffix_length) {
  return suffix_length > 0 ? ::mkstemps(name, suffix_length) : ::mkstemp(name);
}

void platform_fail_file_writes_after(long long bytes, int error_number) {
  fail_writes_after = bytes;
  fail_writes_errno = error_number;
  bytes_written_total = 0;
}

void platform_fail_file_close(int error_number) { fail_close_errno = error_number; }
