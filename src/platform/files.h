// files.h: plain files by descriptor. Opening, reading, writing, syncing, closing, renaming,
// removing and making a temporary file behave as the POSIX calls of the same purpose (a
// negative result with errno set on failure; reads and writes interrupted by a signal are
// tried again). The program's files go through these, so that the test double below can make
// their writes and closes fail.
#pragma once

#include <cstddef>
#include <sys/types.h>

int platform_file_open(const char* path, int flags, int mode = 0);
ssize_t platform_file_read(int fd, void* bytes, size_t n);
// May write fewer bytes than asked (a short write), as write(2) may.
ssize_t platform_file_write(int fd, const void* bytes, size_t n);
int platform_file_sync(int fd);
int platform_file_close(int fd);
int platform_file_rename(const char* from, const char* to);
int platform_file_remove(const char* path);
// Makes and opens a new file from a name ending in "XXXXXX" followed by suffix_length more
// characters (the X's are replaced); its descriptor, or -1.
int platform_file_temporary(char* name, int suffix_length = 0);

// ---- Test double ------------------------------------------------------------------------------
// Writes fail with error_number once `bytes` bytes have been written from this call on (the
// write that reaches the limit is cut short there), until called again with a negative count.
void platform_fail_file_writes_after(long long bytes, int error_number);
// Closing a file fails with error_number after the file is closed (0: as it really does).
void platform_fail_file_close(int error_number);
