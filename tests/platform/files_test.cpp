// files_test.cpp: the file layer's whole-file read and its replacement of a file whole.
//   ReadWhole.*: what is not a regular file is refused at once, a longer file too
//   Replace.*: links followed, permissions given or kept, nothing left by an abandoned write
//   PutInPlace.*: a file or a link replaced whole, a free name taken, a folder refused
#include "platform/files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vesk-files-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  unsigned mode_of(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
  }

  std::string dir;
};

using ReadWhole = FilesTest;
using Replace = FilesTest;
using PutInPlace = FilesTest;

TEST_F(ReadWhole, WhatIsNotAFileIsRefusedAtOnceAndALongerFileToo) {
  const std::string file = dir + "/a.txt", pipe = dir + "/pipe";
  std::ofstream(file) << "twelve bytes";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::string bytes;
  PlatformFileStatus status;
  EXPECT_EQ(platform_file_read_whole(file, 12, &bytes, &status), 0);
  EXPECT_EQ(bytes, "twelve bytes");
  EXPECT_EQ(platform_file_read_whole(file, 11, &bytes), EFBIG);
  EXPECT_TRUE(bytes.empty());
  // A named pipe without a writer: refused, not waited on.
  EXPECT_EQ(platform_file_read_whole(pipe, 100, &bytes, &status), EINVAL);
  EXPECT_TRUE(S_ISFIFO(status.mode));
  EXPECT_EQ(platform_file_read_whole(dir, 100, &bytes), EISDIR);
  EXPECT_EQ(platform_file_read_whole(dir + "/none", 100, &bytes), ENOENT);
}

TEST_F(PutInPlace, AFileOrALinkIsReplacedAFreeNameTakenAFolderRefused) {
  const std::string made = dir + "/made.tmp", old = dir + "/old.pdf", real = dir + "/real.pdf",
                    link = dir + "/link.pdf", folder = dir + "/folder";
  std::ofstream(old) << "old";
  std::ofstream(real) << "real";
  fs::create_symlink(real, link);
  fs::create_directory(folder);
  const auto files = [&] { return std::distance(fs::directory_iterator(dir), {}); };

  std::ofstream(made) << "new";
  EXPECT_EQ(platform_file_put_in_place(made.c_str(), old.c_str()), 0);
  EXPECT_EQ(read(old), "new");
  EXPECT_FALSE(fs::exists(made)) << "the old file is left under the new one's name";
  std::ofstream(made) << "new";
  EXPECT_EQ(platform_file_put_in_place(made.c_str(), link.c_str()), 0);
  EXPECT_FALSE(fs::is_symlink(link)) << "the link itself is replaced, as rename does";
  EXPECT_EQ(read(link), "new");
  EXPECT_EQ(read(real), "real");
  std::ofstream(made) << "new";
  EXPECT_EQ(platform_file_put_in_place(made.c_str(), (dir + "/free.pdf").c_str()), 0);
  EXPECT_EQ(read(dir + "/free.pdf"), "new");
  EXPECT_EQ(files(), 5);

  std::ofstream(made) << "new";
  errno = 0;
  EXPECT_NE(platform_file_put_in_place(made.c_str(), folder.c_str()), 0);
  EXPECT_EQ(errno, EISDIR);
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(read(made), "new");
}

TEST_F(Replace, ALinkKeepsItsFileWhichTakesTheGivenOrTheOldPermissions) {
  const std::string file = dir + "/real.txt", link = dir + "/link.txt";
  std::ofstream(file) << "old";
  ::chmod(file.c_str(), 0640);
  fs::create_symlink("real.txt", link);
  auto replace = [&](const std::string& path, const std::string& text, int mode) {
    PlatformReplaceOptions options;
    options.mode = mode;
    PlatformReplacement replacement;
    PlatformFileProblem why;
    return platform_replace_begin(path, options, &replacement, &why) &&
           platform_file_write_all(replacement.fd, text.data(), text.size()) == 0 &&
           platform_replace_finish(&replacement, options, &why);
  };
  ASSERT_TRUE(replace(link, "new", -1));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(read(file), "new");
  EXPECT_EQ(mode_of(file), 0640u);
  ASSERT_TRUE(replace(file, "newer", 0600));
  EXPECT_EQ(mode_of(file), 0600u);

  // An abandoned write leaves the old file and nothing beside it, named or not.
  for (bool named : {false, true}) {
    platform_file_named_temporaries_only(named);
    PlatformReplacement replacement;
    PlatformFileProblem why;
    ASSERT_TRUE(platform_replace_begin(file, {}, &replacement, &why));
    EXPECT_EQ(platform_file_write_all(replacement.fd, "x", 1), 0);
    platform_replace_abandon(&replacement);
    EXPECT_EQ(read(file), "newer");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 2) << "the file and the link";
  }
  platform_file_named_temporaries_only(false);
}

}  // namespace
