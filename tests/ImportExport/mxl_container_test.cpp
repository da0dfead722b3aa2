// tests/ImportExport/mxl_container_test.cpp: compressed MusicXML files (.mxl).
//   MxlContainer.*: a real score packed at test time (deflated beside an image, or stored
//                   without a container) opens from the command line and from File > Open to
//                   the same notes as its plain document, named after the .mxl, and prints
//                   from the command line; a damaged or unreadable file (cut short, a wrong
//                   checksum or size, no document, a container naming nothing, method 12,
//                   encrypted, a claim of 4 GB) gets its message and leaves the open piece as
//                   it was; a self-extracting archive opens
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <zlib.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/printing.h"
#include "platform/script.h"
#include "support/app_fixture.h"
#include "support/piece_files.h"
#include "support/real_scores.h"

namespace {

// One file of an archive the test writes, and what its table of contents may say wrongly.
struct Packed {
  std::string name;
  std::string data;
  uint16_t method = 8;         // as packed: 0 stored, 8 deflated
  int32_t stated_method = -1;  // what the table of contents says, when not the real one
  uint16_t flags = 0;
  uint32_t crc_change = 0;   // xor-ed into the checksum
  int64_t stated_size = -1;  // the unpacked size stated, when not the real one
};

void put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i) & 0xFF);
}

std::string deflated(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, uLong(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A ZIP archive of the files, as other programs write compressed MusicXML.
std::string zip(const std::vector<Packed>& files) {
  std::string body, directory;
  for (const Packed& f : files) {
    const std::string packed = f.method == 8 ? deflated(f.data) : f.data;
    const uint32_t crc =
        uint32_t(crc32(0, reinterpret_cast<const Bytef*>(f.data.data()), uInt(f.data.size()))) ^
        f.crc_change;
    const uint64_t size = f.stated_size >= 0 ? uint64_t(f.stated_size) : f.data.size();
    const uint16_t method = f.stated_method >= 0 ? uint16_t(f.stated_method) : f.method;
    std::string common;  // from the version needed to the name's length
    put(common, 20, 2), put(common, f.flags, 2), put(common, method, 2), put(common, 0, 4);
    put(common, crc, 4), put(common, packed.size(), 4), put(common, size, 4);
    put(common, f.name.size(), 2), put(common, 0, 2);
    put(directory, 0x02014b50, 4), put(directory, 20, 2);
    directory += common;
    put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 2), put(directory, 0, 4);
    put(directory, body.size(), 4);
    directory += f.name;
    put(body, 0x04034b50, 4);
    body += common + f.name + packed;
  }
  std::string end;
  put(end, 0x06054b50, 4), put(end, 0, 4), put(end, files.size(), 2), put(end, files.size(), 2);
  put(end, directory.size(), 4), put(end, body.size(), 4), put(end, 0, 2);
  return body + directory + end;
}

const char CONTAINER[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<container>\n  <rootfiles>\n"
    "    <rootfile full-path=\"%s\" media-type=\"application/vnd.recordare.musicxml+xml\"/>\n"
    "  </rootfiles>\n</container>\n";

std::string container_naming(const std::string& path) {
  char text[512];
  std::snprintf(text, sizeof text, CONTAINER, path.c_str());
  return text;
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The notes of every voice of the piece showing.
std::string all_notes() {
  std::string s = std::to_string(voice_count) + " voices\n";
  for (int v = 0; v < voice_count; ++v) s += notes_of(v) + "\n";
  return s;
}

// A real score of shared/data/scores beside the repository; "" when it is not there.
std::string real_score(const char* name) {
  const std::filesystem::path folder = real_scores_folder();
  return folder.empty() ? "" : read_file(folder / name);
}

using MxlContainer = AppTest;

TEST_F(MxlContainer, ARealScoreOpensPackedAsItDoesPlain) {
  const std::string score = real_score("bach-chorale-bwv269.musicxml");
  if (score.empty()) GTEST_SKIP() << "the real scores are not beside the repository";
  const std::string plain = dir + "/chorale.musicxml", packed = dir + "/chorale.mxl",
                    stored = dir + "/stored.zip", renamed = dir + "/renamed.mxl";
  write_file(plain, score);
  write_file(renamed, score);  // a plain document given the compressed file's name
  write_file(packed, zip({{"META-INF/container.xml", container_naming("music/chorale.xml")},
                          {"cover.png", std::string(3000, '\x89')},
                          {"music/chorale.xml", score}}));
  // Without a container the one document at the top level is taken; a ZIP archive is known
  // by its content.
  write_file(stored, zip({{"META-INF/other.xml", "<x/>", 0}, {"chorale.xml", score, 0}}));

  // The default printer's documents go to a file instead of the spooler.
  platform_print_set_test_printers(true, {"Office"});
  platform_print_spool_to_file(dir + "/spooled.ps");
  ASSERT_TRUE(start({packed}));  // the command line
  const std::string notes = all_notes();
  ASSERT_GT(notes.size(), 1000u);
  EXPECT_EQ(piece_fsspec, dir + "/:from: chorale.mxl");
  EXPECT_EQ(untitled_file_name(piece_fsspec), dir + "/chorale.vesk");
  ASSERT_EQ(close_view(0), 1);
  for (const std::string& path : {plain, stored, renamed}) {
    script_file_name(path);
    ASSERT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
    EXPECT_EQ(all_notes(), notes) << path;
    ASSERT_EQ(close_view(0), 1);
  }
  shown();

  // Started only to print: the document is printed on the default printer, and the program
  // ends without a question, the piece left to the system.
  std::vector<char*> words{const_cast<char*>("vesk"), const_cast<char*>("--print"),
                           const_cast<char*>(packed.c_str()), nullptr};
  platform_post_command_line_events(3, words.data());
  EXPECT_EQ(run_until_idle(), 0);
  EXPECT_EQ(read_file(dir + "/spooled.ps").substr(0, 14), "%!PS-Adobe-3.0");
  EXPECT_EQ(count_open_views(), 1) << "not taken apart before the end";
  for (const ShownText& s : shown()) ADD_FAILURE() << "shown: " << s.text;
  for (const Report& r : take_reports()) ADD_FAILURE() << "said: " << r.text;
}

TEST_F(MxlContainer, ADamagedOrUnreadableFileIsSaidAndTheOpenPieceStays) {
  const std::string piece = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(piece, 1, 1));
  ASSERT_TRUE(start({piece}));
  const std::string before = all_notes();
  const std::string document = musicxml_fixture("piano_two_staves.xml");
  const Packed container{"META-INF/container.xml", container_naming("score.xml")};
  auto with = [&](Packed score) { return zip({container, score}); };
  const std::string good = with({"score.xml", document});
  // A table of contents claiming one entry more than it holds, or lying past the file's end.
  std::string too_many = good, beyond = good;
  too_many[good.size() - 12] = 3;
  beyond[good.size() - 3] = 0x7F;
  const std::string damaged = "The compressed MusicXML file 'bad.mxl' is damaged: ";
  const std::string cannot = "Vesk cannot read the compressed MusicXML file 'bad.mxl': ";
  const struct {
    std::string bytes, message;
  } cases[] = {
      {good.substr(0, good.size() / 2),
       damaged + "it is not a ZIP archive, or it is cut short (its table of contents is missing)."},
      {"PK", damaged + "it is too short to be a ZIP archive."},
      {too_many, damaged + "its table of contents is cut short."},
      {beyond, damaged + "its table of contents lies outside the file."},
      // Packed as it stands, said to be deflated: 0xFF begins a block of no known type.
      {with({"score.xml", "\xFF\xFF\xFF", 0, 8}),
       damaged + "the compressed data of the entry 'score.xml' is damaged."},
      {with({"score.xml", document, 8, -1, 0, 1}),
       damaged + "the entry 'score.xml' fails its checksum."},
      {with({"score.xml", document, 8, -1, 0, 0, 100}),
       damaged + "the entry 'score.xml' does not unpack to the size it states."},
      {with({"score.xml", document, 0, -1, 0, 0, 100}),
       damaged + "the entry 'score.xml' does not unpack to the size it states."},
      {zip({container, {"other.xml", document}}),
       damaged + "its container names 'score.xml', which it does not hold."},
      {zip({{"a.xml", document}, {"b.musicxml", document}}),
       "The compressed MusicXML file 'bad.mxl' holds no MusicXML document."},
      {zip({{"images/a.xml", document}}),
       "The compressed MusicXML file 'bad.mxl' holds no MusicXML document."},
      {with({"score.xml", document, 8, 12}),
       cannot +
           "its document 'score.xml' is compressed by method 12, and Vesk reads only stored or "
           "deflated documents."},
      {with({"score.xml", document, 8, -1, 1}), cannot + "its document 'score.xml' is encrypted."},
      {with({"score.xml", document, 8, -1, 0, 0, 4000000000}),
       cannot + "its document 'score.xml' unpacks to more than 256 MB, far more than real scores."},
  };
  for (const auto& c : cases) {
    write_file(dir + "/bad.mxl", c.bytes);
    script_hit(3);  // No: the piece showing stays behind
    script_file_name(dir + "/bad.mxl");
    EXPECT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 0) << c.message;
    shown();
    const std::vector<Report> said = take_reports();
    ASSERT_EQ(said.size(), 1u) << c.message;
    EXPECT_EQ(said[0].text, c.message);
    EXPECT_EQ(count_open_views(), 1) << c.message;
    EXPECT_EQ(piece_fsspec, piece) << c.message;
    EXPECT_EQ(all_notes(), before) << c.message;
  }
  // The good file opens, beside the piece, also with a rendering listed before the document
  // in its container, as some have it.
  std::string listed = container.data;
  listed.insert(listed.find("<rootfile"),
                "<rootfile full-path=\"score.pdf\" media-type=\"application/pdf\"/>");
  write_file(dir + "/bad.mxl",
             zip({{container.name, listed}, {"score.pdf", "%PDF-1.4"}, {"score.xml", document}}));
  script_hit(3);
  script_file_name(dir + "/bad.mxl");
  EXPECT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  EXPECT_EQ(count_open_views(), 2);
  const std::string opened = all_notes();
  // A self-extracting archive: a program in front, the offsets counted from the archive's start.
  write_file(dir + "/stub.mxl", "MZ" + std::string(5000, '\x90') + good);
  script_hit(3);
  script_file_name(dir + "/stub.mxl");
  EXPECT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  EXPECT_EQ(count_open_views(), 3);
  EXPECT_EQ(all_notes(), opened);
  shown();
  for (const Report& r : take_reports()) ADD_FAILURE() << "said: " << r.text;
}

}  // namespace
