// os_errors.h: operating-system errors as the result codes whose texts the program shows.
#pragma once

#include <cstdint>

// Result codes of file operations (0 is success).
enum OsResult : int16_t {
  RESULT_OK = 0,
  RESULT_IO_ERROR = -36,
  RESULT_DIRECTORY_FULL = -33,
  RESULT_DISK_FULL = -34,
  RESULT_NO_VOLUME = -35,
  RESULT_BAD_NAME = -37,
  RESULT_NOT_OPEN = -38,
  RESULT_END_OF_FILE = -39,
  RESULT_BEFORE_START = -40,
  RESULT_TOO_MANY_OPEN = -42,
  RESULT_NOT_FOUND = -43,
  RESULT_VOLUME_LOCKED = -44,
  RESULT_FILE_LOCKED = -45,
  RESULT_WRITE_PROTECTED = -46,
  RESULT_BUSY = -47,
  RESULT_EXISTS = -48,
  RESULT_ALREADY_OPEN = -49,
  RESULT_BAD_PARAMETER = -50,
  RESULT_NO_ACCESS = -54,
  RESULT_PERMISSION = -61,
  RESULT_OUT_OF_MEMORY = -108,
};

// The result code for an errno value (0 for 0).
int16_t platform_result_of_errno(int error_number);
