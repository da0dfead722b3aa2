// os_errors.cpp: the result code for each errno value, by table. A value the table does not
// know is an input/output error.
#include "platform/os_errors.h"

#include <cerrno>

namespace {

struct ErrnoResult {
  int error_number;
  int16_t result;
};

constexpr ErrnoResult ERRNO_RESULTS[] = {
    {ENOENT, RESULT_NOT_FOUND},
    {ENOTDIR, RESULT_NOT_FOUND},
    {ELOOP, RESULT_NOT_FOUND},  // a path that cannot be followed to a file
    {ENOSPC, RESULT_DISK_FULL},
    {EDQUOT, RESULT_DISK_FULL},
    {EFBIG, RESULT_DISK_FULL},
    {EACCES, RESULT_NO_ACCESS},
    {EPERM, RESULT_NO_ACCESS},
    {EROFS, RESULT_WRITE_PROTECTED},
    {EIO, RESULT_IO_ERROR},
    {EMFILE, RESULT_TOO_MANY_OPEN},
    {ENFILE, RESULT_TOO_MANY_OPEN},
    {EBUSY, RESULT_BUSY},
    {ETXTBSY, RESULT_BUSY},
    {ENOTEMPTY, RESULT_BUSY},  // a folder that still holds files cannot be removed
    {EEXIST, RESULT_EXISTS},
    {ENAMETOOLONG, RESULT_BAD_NAME},
    {EINVAL, RESULT_BAD_NAME},
    {EISDIR, RESULT_BAD_NAME},
    {EBADF, RESULT_NOT_OPEN},
    {ESPIPE, RESULT_BEFORE_START},
    {ENOMEM, RESULT_OUT_OF_MEMORY},
    {ENXIO, RESULT_NO_VOLUME},
    {ENODEV, RESULT_NO_VOLUME},
    {EXDEV, RESULT_BAD_PARAMETER},  // a rename across volumes
};

}  // namespace

int16_t platform_result_of_errno(int error_number) {
  if (error_number == 0) return RESULT_OK;
  for (const ErrnoResult& entry : ERRNO_RESULTS)
    if (entry.error_number == error_number) return entry.result;
  return RESULT_IO_ERROR;
}
