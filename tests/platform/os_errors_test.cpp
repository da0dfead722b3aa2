// os_errors_test.cpp: errno values as result codes.
//   ResultOfErrno.*: the table's values, success, and unknown values as input/output errors
#include "platform/os_errors.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

TEST(ResultOfErrno, MapsEachErrnoToItsResultCode) {
  const struct {
    int error_number;
    int16_t result;
  } cases[] = {
      {0, 0},           {ENOENT, -43}, {ENOTDIR, -43}, {ENOSPC, -34}, {EDQUOT, -34},
      {EACCES, -54},    {EPERM, -54},  {EROFS, -46},   {EIO, -36},    {EMFILE, -42},
      {ENFILE, -42},    {EBUSY, -47},  {ETXTBSY, -47}, {EEXIST, -48}, {ENAMETOOLONG, -37},
      {EINVAL, -37},    {EISDIR, -37}, {ENOMEM, -108}, {EBADF, -38},  {ESPIPE, -40},
      {ENOTEMPTY, -47}, {EPIPE, -36},  {12345, -36},   {-1, -36},
  };
  for (const auto& c : cases)
    EXPECT_EQ(platform_result_of_errno(c.error_number), c.result) << "errno " << c.error_number;
}

}  // namespace
