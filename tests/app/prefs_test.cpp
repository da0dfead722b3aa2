// tests/app/prefs_test.cpp: the preferences record and its file.
//   Defaults.*: the defaults land at their offsets; fields not set keep their bytes
//   File.*:     round trip, version acceptance, short and long records, damaged files, a
//               failed write, a second instance
//   Zoom.*:     scale records from zoom steps and the zoom menu's table
#include "app/prefs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

#include "support/model_fixture.h"

namespace {

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void put16(std::vector<uint8_t>& v, unsigned x) {
  v.push_back(uint8_t(x >> 8));
  v.push_back(uint8_t(x));
}

// A preferences file of the documented layout holding one 'LDat' "global_options".
std::vector<uint8_t> container_with(const std::vector<uint8_t>& record) {
  std::vector<uint8_t> f = {'V', 'e', 's', 'k', 'R', 's', 'r', 'c'};
  put16(f, 1);
  put16(f, 1);
  f.insert(f.end(), {'L', 'D', 'a', 't'});
  put16(f, 128);
  const std::string name = "global_options";
  f.push_back(uint8_t(name.size()));
  f.insert(f.end(), name.begin(), name.end());
  put16(f, unsigned(record.size() >> 16));
  put16(f, unsigned(record.size() & 0xFFFF));
  f.insert(f.end(), record.begin(), record.end());
  return f;
}

std::vector<uint8_t> record_tagged(const char* tag) {
  PrefsRecord r;
  std::memset(r.bytes, 0x5A, PREFS_SIZE);
  std::memcpy(r.bytes, tag, 4);
  return {r.bytes, r.bytes + PREFS_SIZE};
}

class PrefsTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    std::filesystem::remove_all(std::filesystem::path(prefs_file_path()).parent_path());
  }
  void TearDown() override {
    std::filesystem::remove_all(std::filesystem::path(prefs_file_path()).parent_path());
    ModelTest::TearDown();
  }
  // Writes a file, then loads it as a new start of the program would.
  int load(const std::vector<uint8_t>& file) {
    std::filesystem::create_directories(std::filesystem::path(prefs_file_path()).parent_path());
    write_file(prefs_file_path(), file);
    release_prefs_lock();
    return open_prefs_file();
  }
  bool is_default() {
    PrefsRecord saved = prefs;
    set_default_prefs();
    bool same = std::memcmp(saved.bytes, prefs.bytes, PREFS_SIZE) == 0;
    prefs = saved;
    return same;
  }
};

TEST_F(PrefsTest, DefaultsLandAtTheirOffsetsAndLeaveUnsetFieldsAlone) {
  std::memset(prefs.bytes, 0xFF, PREFS_SIZE);
  set_default_prefs();
  EXPECT_EQ(0, std::memcmp(prefs.bytes, "9.14", 4));
  EXPECT_EQ(prefs.i16(4), 1);
  EXPECT_EQ(prefs.u8(7), 1);
  EXPECT_EQ(prefs.command_key('A'), (MenuCommand{5, 11}));
  EXPECT_EQ(prefs.command_key('z'), (MenuCommand{3, 1}));
  EXPECT_EQ(prefs.control_key('Q'), (MenuCommand{}));
  EXPECT_EQ(prefs.i16(116), 1);
  EXPECT_EQ(prefs.colour(7), (RgbColour{32768, 32768, 65535}));
  EXPECT_EQ(prefs.u16(382), 0x0101) << "bits 0 and 8 of the hide flags are not defaults";
  EXPECT_EQ(prefs.u8(388), 0x3F) << "the marked-note colour bits are cleared, the rest kept";
  EXPECT_EQ(prefs.zoom_step(), 2);
  EXPECT_EQ(prefs.u16(394) & 0x03FF, 0xFC) << "display and ruler flags cleared";
  EXPECT_EQ(prefs.u8(407), '|');
  EXPECT_EQ(prefs.i16(408), 333);
  EXPECT_EQ(prefs.key_piano('a'), (PalettePoint{18, 231}));
  EXPECT_EQ(prefs.key_piano('A'), (PalettePoint{18, 231}));
  EXPECT_EQ(prefs.key_piano('}'), (PalettePoint{39, 0}));
  EXPECT_EQ(prefs.key_piano('Z'), (PalettePoint{}));
  EXPECT_EQ(prefs.u32(2464), 960u);
  EXPECT_EQ(prefs.u32(2468), 0u);
  for (int offset : {6, 118, 181, 384, 387, 392, 404, 406, 2460, 2463, 2472, 2479})
    EXPECT_EQ(prefs.u8(offset), 0xFF) << "offset " << offset;
  // The colour flags are bits of a word whose low byte is the metronome channel.
  prefs.set_u8(389, 0x85);
  prefs.set_colour_flag(COLOR_BY_PITCH_NAME, false);
  EXPECT_EQ(prefs.u8(389), 0x85);
}

TEST_F(PrefsTest, WrittenRecordLoadsBackByteForByte) {
  set_default_prefs();
  prefs.set_control_key('K', {9, 2});
  prefs.set_colour(3, {1, 2, 3});
  prefs.set_zoom_step(-3);
  prefs.set_i32(400, -1);
  ASSERT_EQ(write_prefs_file(1), 1);
  prefs.set_u8(6, 0x77);  // even a reserved byte survives
  PrefsRecord written = prefs;
  ASSERT_EQ(write_prefs_file(1), 1) << "a second write replaces the record";
  const auto replaced = std::filesystem::last_write_time(prefs_file_path());
  ASSERT_EQ(write_prefs_file(1), 1) << "an unchanged record is written as it is";
  EXPECT_EQ(std::filesystem::last_write_time(prefs_file_path()), replaced);
  prefs = PrefsRecord{};
  release_prefs_lock();
  ASSERT_EQ(open_prefs_file(), 1);
  EXPECT_EQ(0, std::memcmp(prefs.bytes, written.bytes, PREFS_SIZE));
}

TEST_F(PrefsTest, VersionsFrom900To915AreAccepted) {
  const struct {
    const char* tag;
    int accepted;
  } cases[] = {{"9.15", 1}, {"9.00", 1}, {"9.14", 1}, {"9.16", 0}, {"8.99", 0}, {"\0\0\0\0", 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(load(container_with(record_tagged(c.tag))), c.accepted) << c.tag;
    EXPECT_EQ(is_default(), !c.accepted) << c.tag;
  }
}

TEST_F(PrefsTest, ShortRecordOverwritesOnlyItsLengthAndLongOneOnlyTheRecord) {
  std::vector<uint8_t> record = record_tagged("9.14");
  record.resize(200);
  EXPECT_EQ(load(container_with(record)), 1);
  EXPECT_EQ(prefs.u8(199), 0x5A);
  EXPECT_EQ(prefs.u8(201), 0) << "beyond the record the defaults stay";
  EXPECT_EQ(prefs.u32(2464), 960u);
  record = record_tagged("9.14");
  record.resize(3000, 0x11);
  EXPECT_EQ(load(container_with(record)), 1);
  EXPECT_EQ(prefs.u8(PREFS_SIZE - 1), 0x5A);
}

TEST_F(PrefsTest, DamagedFileGivesDefaultsAndSaysSo) {
  std::vector<uint8_t> good = container_with(record_tagged("9.14"));
  std::vector<uint8_t> bad_magic = good, truncated = good, huge_length = good, trailing = good;
  bad_magic[0] = 'X';
  truncated.resize(good.size() - 1);
  huge_length[33] = 0x7F;  // the record's length: far beyond the file
  trailing.push_back(0);
  for (const auto& file : {bad_magic, truncated, huge_length, trailing, std::vector<uint8_t>{}}) {
    prefs.set_u8(7, 9);
    EXPECT_EQ(load(file), 0);
    EXPECT_TRUE(is_default());
    std::vector<Report> r = take_reports();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].level, 2);
    EXPECT_NE(r[0].text.find("is damaged"), std::string::npos) << r[0].text;
  }
}

TEST_F(PrefsTest, FailedWriteLeavesTheOldFile) {
  set_default_prefs();
  ASSERT_EQ(write_prefs_file(1), 1);
  const std::vector<uint8_t> before = read_file(prefs_file_path());
  prefs.set_zoom_step(5);
  // Files may grow to 1000 bytes only: the write fails half-way.
  struct rlimit old_limit, small = {1000, 1000};
  getrlimit(RLIMIT_FSIZE, &old_limit);
  small.rlim_max = old_limit.rlim_max;
  sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const int written = write_prefs_file(1);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(read_file(prefs_file_path()), before);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].level, 2);
  EXPECT_NE(r[0].text.find("WriteResource"), std::string::npos) << r[0].text;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(
                              std::filesystem::path(prefs_file_path()).parent_path()),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary file is left behind";
}

TEST_F(PrefsTest, SecondInstanceKeepsTheFirstOnesRecord) {
  set_default_prefs();
  ASSERT_EQ(write_prefs_file(1), 1);
  const std::vector<uint8_t> before = read_file(prefs_file_path());
  release_prefs_lock();
  // Another instance holds the folder.
  const std::string folder = std::filesystem::path(prefs_file_path()).parent_path();
  int other = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(open_prefs_file(), 1) << "reading is allowed";
  EXPECT_EQ(write_prefs_file(1), 1) << "unchanged preferences need no update, nor a word";
  EXPECT_TRUE(take_reports().empty());
  prefs.set_zoom_step(7);
  EXPECT_EQ(write_prefs_file(1), 0);
  close(other);
  EXPECT_EQ(read_file(prefs_file_path()), before);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("in use!"), std::string::npos) << r[0].text;
}

TEST(Zoom, ScaleRecordsFromSteps) {
  const struct {
    int step;
    float divisor;
    int negative, pixels;
  } cases[] = {{0, 10.0f, 0, 2},  {2, 10.0f, 0, 2}, {-3, 20.0f / 3, 1, -3}, {1, 20.0f, 0, 1},
               {20, 1.0f, 0, 20}, {21, 0.0f, 0, 2}, {-21, 0.0f, 1, -2}};
  for (const auto& c : cases) {
    ScaleRecord r;
    set_scale_factor(&r, c.step);
    EXPECT_EQ(r.divisor, c.divisor) << c.step;
    EXPECT_EQ(r.negative, c.negative) << c.step;
    EXPECT_EQ(r.step, c.pixels) << c.step;
  }
  EXPECT_EQ(zoom_menu_index(10.0f), 6);
  EXPECT_EQ(zoom_menu_index(1.0f), 16);
  EXPECT_EQ(zoom_menu_index(20.0f / 18), 15);
  EXPECT_EQ(zoom_menu_index(3.0f), 0);
  EXPECT_EQ(zoom_menu_index(0.0f), 0);
}

}  // namespace
