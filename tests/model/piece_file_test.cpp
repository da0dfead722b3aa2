// piece_file_test.cpp: writing and reading piece files.
//   Header.*:      byte images of the header for one and three contexts
//   RoundTrip.*:   written then read gives the same nodes, records and bytes; what a normal and a
//                  published save leave out; a shorter save leaves no stale bytes; 64 voices;
//                  parameter changes kept through a save, and from PARAM records of old formats;
//                  staff drags read are counted
//   VersionGate.*: the questions and refusals by format version; old formats with narrow
//                  coordinates and fewer header records; surplus bytes of a newer header
//   Damaged.*:     a truncated file, with and without Shift; hostile headers refused without
//                  a leaked node
//   Save.*:        a failed write keeps the old file; what writing in place kept (protected
//                  files, links, long names); a killed save leaves nothing behind; the save
//                  dialog, cancelling, publishing, and the question before closing
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "annotations/anno_services.h"
#include "model/durashn.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/options.h"
#include "model/piece_format.h"
#include "model/readvesk.h"
#include "model/voice_lists.h"
#include "model/writevesk.h"
#include "params/param_services.h"
#include "platform/events.h"
#include "platform/file_dialog.h"
#include "platform/files.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void put16(Bytes& b, int v) {
  b.push_back(uint8_t(v >> 8));
  b.push_back(uint8_t(v));
}
void append(Bytes& b, const uint8_t* p, size_t n) { b.insert(b.end(), p, p + n); }
void set16(Bytes& b, size_t at, int v) {
  b[at] = uint8_t(v >> 8);
  b[at + 1] = uint8_t(v);
}

// Every stored node of every voice, as its 56 record bytes.
std::vector<Bytes> stored_records() {
  std::vector<Bytes> records;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      records.emplace_back(p->bytes() + 8, p->bytes() + 64);
  return records;
}

// The kinds of the node records after a header of n contexts.
std::vector<int> record_kinds(const Bytes& file, int contexts) {
  std::vector<int> kinds;
  for (size_t at = piece_header_size(contexts); at + 56 <= file.size(); at += 56)
    kinds.push_back(file[at]);
  return kinds;
}

// Keeps a file as a seed of the reader's fuzz target, in the build tree's test output (the
// tests run in the build tree's tests folder).
void save_seed(const char* name, const Bytes& bytes) {
  std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return;
  std::filesystem::path folder = build / "test-output" / "fuzz_read_piece";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Runs fn in a child process, as an ordinary user when asked and the tests run as root; its
// exit status, or minus the signal that ended it.
int in_child(const std::function<int()>& fn, bool as_user = false) {
  pid_t pid = fork();
  if (pid == 0) {
    if (as_user && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(99);
    _exit(fn());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

std::vector<std::string> folder_names(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A voice of only its two ENDSYST nodes.
void bare_voice() {
  int v = voice_count++;
  Drosa head = newDrosa(ENDSYST, 0), end = newDrosa(ENDSYST, 0);
  head->set(xstartpiece, 1);
  head->set(xendpage, 1);
  end->set(xendpiece, 1);
  end->set(xendpage, 1);
  link_after(end, head);
  piece_start[v] = head;
}

class PieceFileTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
    read_header(nullptr);  // the default piece's records
    voice_count = 0;
    char pattern[] = "/tmp/vesk-piece-XXXXXX";
    dir = mkdtemp(pattern);
    path = dir + "/song.vesk";
  }
  void TearDown() override {
    for (const std::string& fault : script_take_faults())
      ADD_FAILURE() << "script fault: " << fault;
    EXPECT_EQ(script_pending(), 0) << "answers left unused";
    script_end();
    platform_fail_file_writes_after(-1, 0);
    platform_fail_file_close(0);
    platform_file_named_temporaries_only(false);
    std::filesystem::remove_all(dir);
    ModelTest::TearDown();
  }

  // Two voices with notes, bars, signatures and an annotation; every note's accidental field
  // already as reading leaves it.
  void sample_piece(int notes = 4) {
    for (int v = 0; v < 2; ++v) {
      new_voice(v == 0 ? "Flute" : "Oboe", 0, v);
      add_clef(v, v);
      add_key(v, 2);
      add_timesig(v, 4, 4);
      for (int i = 0; i < notes; ++i) {
        if (i && i % 4 == 0) add_bar(v);
        add_note(v, QUARTER, 30 + i)->set(xacc, 3);
      }
    }
    Drosa text = add(0, TPARAM);
    set_node_byte(text, 18, 0xFF);
    set_node_byte(text, 19, 0xFB);  // font code -5
    Drosa chars = add(0, TEXT);
    std::strcpy(reinterpret_cast<char*>(chars->bytes() + 10), "Allegro");
    add_note(0, QUARTER)->set(xacc, 3);
    add_note(1, QUARTER)->set(xacc, 3);
  }

  int write_to(const std::string& where) { return write_piece_file(0, NIL, where); }

  // Reads the file at `path` in place of the piece in memory.
  int read_back() {
    discard_piece_lists();
    piece_fsspec = path;
    return read_piece(nullptr);
  }

  // Reads bytes as a piece file; the lists of a failed read must all be back in the store.
  int read_from(const Bytes& bytes) {
    discard_piece_lists();
    int free_before = freeCount;
    int ok = read_piece_from_memory(bytes.data(), bytes.size());
    if (!ok) {
      EXPECT_EQ(voice_count, 0);
      EXPECT_EQ(freeCount, free_before) << "a failed read leaked nodes";
    }
    return ok;
  }

  // The texts reported since the last call, at level 2 and at other levels.
  std::vector<std::string> messages() {
    std::vector<std::string> texts;
    for (const Report& r : take_reports()) texts.push_back(r.text);
    return texts;
  }

  // The questions shown since the last call (not the file dialogs).
  std::vector<std::string> questions() {
    std::vector<std::string> texts;
    for (const ShownText& s : script_take_shown())
      if (s.id != FILE_DIALOG_ID) texts.push_back(s.text);
    return texts;
  }

  std::string dir, path;
};

// ---- Header ----------------------------------------------------------------------------------

TEST_F(PieceFileTest, HeaderImageForOneContext) {
  bare_voice();
  ASSERT_EQ(write_to(path), 1);
  Bytes file = file_bytes(path);
  ASSERT_EQ(file.size(), 616u + 2 * 56);
  const uint8_t start[] = {0x01, 0x58, 0x02, 0x64, 0, 1, 0, 1, 0, 1, 0, 1, 0, 102};
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 14), Bytes(start, start + 14));
  Bytes expected(start, start + 14);
  append(expected, options_struct[1], 102);
  put16(expected, 334);
  append(expected, perf_defaults, 334);
  put16(expected, 144);
  append(expected, print_record[1], 144);
  put16(expected, 16);
  const char name[16] = "Score";
  append(expected, reinterpret_cast<const uint8_t*>(name), 16);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 616), expected);
  EXPECT_EQ(file[16 + 102 + 18], 1) << "platform code";
  EXPECT_EQ(file[616], ENDSYST);
  EXPECT_EQ(file[616 + 56], ENDSYST);
}

TEST_F(PieceFileTest, HeaderImageForThreeContexts) {
  bare_voice();
  ncontext_count = 3;
  current_ncontext = 2;
  std::strcpy(ncontext_name[2], "Flute part");
  set_options_i16(3, 8, 77);
  print_record[2][0] = 0x42;
  ASSERT_EQ(write_to(path), 1);
  Bytes file = file_bytes(path);
  ASSERT_EQ(file.size(), 354u + 3 * 262 + 2 * 56);
  save_seed("three_contexts.vesk", file);
  Bytes expected;
  for (int v : {344, 350 + 3 * 262, 1, 1, 3, 2, 3 * 102}) put16(expected, v);
  for (int c = 1; c <= 3; ++c) append(expected, options_struct[c], 102);
  put16(expected, 334);
  append(expected, perf_defaults, 334);
  put16(expected, 3 * 144);
  for (int c = 1; c <= 3; ++c) append(expected, print_record[c], 144);
  put16(expected, 3 * 16);
  for (int c = 1; c <= 3; ++c)
    append(expected, reinterpret_cast<const uint8_t*>(ncontext_name[c]), 16);
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 354 + 3 * 262), expected);
  EXPECT_EQ(header_bytes_done, header_length);
}

// ---- Round trip ------------------------------------------------------------------------------

TEST_F(PieceFileTest, WrittenThenReadGivesTheSamePiece) {
  sample_piece();
  ncontext_count = 2;
  std::strcpy(ncontext_name[2], "Parts");
  set_options_i16(2, 40, 9);
  put_be32(print_record[2] + 82, 123456);
  put_be_float(perf_defaults + 70, 1.5f);
  add_print(1, 2, 0);
  ASSERT_EQ(write_to(path), 1);
  const std::vector<Bytes> records = stored_records();
  uint8_t options[3][OPTIONS_SIZE], prints[3][PRINT_RECORD_SIZE], perf[PERF_DEFAULTS_SIZE];
  std::memcpy(options, options_struct, sizeof options);
  std::memcpy(prints, print_record, sizeof prints);
  std::memcpy(perf, perf_defaults, sizeof perf);

  read_header(nullptr);  // overwrite every record with the defaults
  ASSERT_EQ(read_back(), 1);
  EXPECT_EQ(stored_records(), records);
  EXPECT_EQ(voice_count, 2);
  EXPECT_EQ(ncontext_count, 2);
  EXPECT_STREQ(ncontext_name[2], "Parts");
  EXPECT_EQ(std::memcmp(options, options_struct, sizeof options), 0);
  EXPECT_EQ(std::memcmp(prints, print_record, sizeof prints), 0);
  EXPECT_EQ(std::memcmp(perf, perf_defaults, sizeof perf), 0);
  EXPECT_EQ(DrosaDirty, 0);

  // Written again, the file has the same bytes.
  ASSERT_EQ(write_to(dir + "/again.vesk"), 1);
  EXPECT_EQ(file_bytes(dir + "/again.vesk"), file_bytes(path));
  save_seed("two_voices.vesk", file_bytes(path));
}

TEST_F(PieceFileTest, NormalSaveLeavesOutRunTimeRecordsPublishedKeepsLayout) {
  sample_piece(1);
  Drosa note = add_note(0, HALF);
  note->set(xacc, 3);
  add_after(note, NTDATA);
  Drosa param_change = newDrosa(PARAM, 0);
  link_after(param_change, note->xback);
  add(0, PVIEW);
  add(1, XMLT);
  ASSERT_EQ(write_to(path), 1);
  for (int kind : record_kinds(file_bytes(path), 1))
    EXPECT_FALSE(kind == NTDATA || kind == PARAM || kind == PVIEW || kind == XMLT ||
                 kind == NOTEPTR)
        << kind_name(kind);

  // A published save keeps layout records and parameter changes, then writes what the screen
  // shows of the graphics: the element after a screen stand-in is left out.
  Drosa shown = newDrosa(GE_CHAR, 4), printed = newDrosa(GE_LINE, 0), last = newDrosa(GE_STRING, 0);
  link_after(printed, shown);
  link_after(last, printed);
  ASSERT_EQ(write_piece_file(1, shown, path), 1);
  std::vector<int> kinds = record_kinds(file_bytes(path), 1);
  EXPECT_NE(std::find(kinds.begin(), kinds.end(), NTDATA), kinds.end());
  EXPECT_NE(std::find(kinds.begin(), kinds.end(), PARAM), kinds.end());
  EXPECT_EQ(std::find(kinds.begin(), kinds.end(), PVIEW), kinds.end());
  ASSERT_GE(kinds.size(), 2u);
  EXPECT_EQ(std::vector<int>(kinds.end() - 2, kinds.end()), (std::vector<int>{GE_CHAR, GE_STRING}));
  destroy_Drosa_list(shown);

  // Read back it opens like a normal save.
  ASSERT_EQ(read_back(), 1);
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      EXPECT_FALSE(temp_node(p, 1003)) << kind_name(p->xkind);
}

TEST_F(PieceFileTest, ShorterSaveLeavesNoStaleBytes) {
  sample_piece(40);
  ASSERT_EQ(write_to(path), 1);
  size_t longer = file_bytes(path).size();
  discard_piece_lists();
  sample_piece(2);
  size_t records = stored_records().size();
  ASSERT_EQ(write_to(path), 1);
  EXPECT_LT(file_bytes(path).size(), longer);
  EXPECT_EQ(file_bytes(path).size(), 616 + 56 * records);
}

TEST_F(PieceFileTest, SixtyFourVoicesAreRead) {
  for (int v = 0; v < MAX_VOICES; ++v) bare_voice();
  ASSERT_EQ(write_to(path), 1);
  ASSERT_EQ(read_back(), 1);
  EXPECT_EQ(voice_count, 64);
  // Each voice got the VINFO its file lacked.
  EXPECT_STREQ(reinterpret_cast<const char*>(piece_start[63]->xnext->bytes() + 10),
               "UnnamedPart64");
}

TEST_F(PieceFileTest, InconsistentPlaybackAsksFromTheFirstDisagreeingBar) {
  for (int v = 0; v < 2; ++v) {
    new_voice();
    for (int i = 0; i < 3; ++i) {
      if (i) add_bar(v);
      add_note(v, QUARTER)->set(xttn, 16384);
      if (v == 1 && i == 1) add_note(v, QUARTER)->set(xttn, 16384);  // no bar before the third
    }
  }
  ASSERT_EQ(write_to(path), 1);
  script_hit(1);
  ASSERT_EQ(read_back(), 1);
  std::vector<std::string> asked = questions();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].find("may be around bar 3."), std::string::npos) << asked[0];
  EXPECT_EQ(DrosaDirty, 1);
}

// The first inconsistent bar found the plain way: every voice walked from its start to the
// system and time of the first note of each measure.
int first_inconsistent_bar_from_the_start() {
  int first = 0;
  while (first < voice_count && voice_not_shown(first)) ++first;
  if (first == voice_count) return -1;
  bool after_bar = false;
  int bars = 0;
  for (Drosa p = piece_start[first]->xnext; p; p = p->xnext) {
    if (effective_kind(p) == BAR) after_bar = ++bars;
    if (p->xkind != NOTE || !after_bar) continue;
    after_bar = false;
    int32_t t = find_time_in_system(p), k = system_number_on_page(p, 0);
    if (t == 0 && k == 0) continue;
    voices_to_system(k, 0);
    if (voices_to_system_at_time(t, 0, 0)) return bars + 1;
    for (int u = first + 1; u < voice_count; ++u) {
      if (voice_not_shown(u)) continue;
      Drosa q = time_cursor[u]->xback;
      while (q && effective_kind(q) != BAR && q->xkind != NOTE) q = q->xback;
      if (!q || effective_kind(q) != BAR) return bars + 1;
    }
  }
  return -1;
}

TEST_F(PieceFileTest, FirstInconsistentBarAsFoundFromTheStart) {
  std::mt19937 random(11);
  auto pick = [&](int n) { return int(random() % unsigned(n)); };
  for (int piece = 0; piece < 60; ++piece) {
    discard_piece_lists();
    const int measures = 8 + pick(40), systems = pick(3) * 3, voices = 2 + pick(3);
    const int bad = 2 + pick(measures - 1), fault = pick(3);  // no bar, a note more, none
    std::vector<int> pattern;
    for (int m = 0; m < measures; ++m) pattern.push_back(pick(5));
    for (int v = 0; v < voices; ++v) {
      new_voice("Strings", v, v);
      if (v == 0 && piece % 4 == 0) piece_start[v]->xnext->xnext->xcontext = 2;  // not shown
      const bool last = v == voices - 1;
      for (int m = 1; m <= measures; ++m) {
        if (m > 1 && !(last && m == bad && fault == 0)) add_bar(v);
        if (systems && m > 1 && (m - 1) % systems == 0) add_system_break(v, false, 1);
        if (last && m == bad && fault == 1) add_note(v, EIGHTH);
        switch (pattern[size_t(m - 1)]) {
          case 0:
            for (int i = 0; i < 4; ++i) add_note(v, QUARTER);
            break;
          case 1:  // a chord, a triplet
            add_chord(v, QUARTER, {30, 32});
            for (int i = 0; i < 3; ++i) make_tuplet(add_note(v, EIGHTH), 3, 2);
            add_note(v, HALF);
            break;
          case 2:  // grace notes before and after
            add_grace(v, EIGHTH);
            add_note(v, HALF);
            add_grace(v, EIGHTH, true);
            add_note(v, HALF);
            break;
          case 3:  // a measure of a lone triplet eighth: its time is not a whole unit
            make_tuplet(add_note(v, EIGHTH), 3, 2);
            add_note(v, QUARTER);
            break;
          default:  // a quintuplet
            for (int i = 0; i < 5; ++i) make_tuplet(add_note(v, SIXTEENTH), 5, 4);
            add_note(v, HALF, 35, 1);
        }
      }
    }
    EXPECT_EQ(first_inconsistent_bar(), first_inconsistent_bar_from_the_start())
        << "piece " << piece << ": " << measures << " measures, systems of " << systems
        << ", fault " << fault << " at " << bad;
  }
  // However far into a long piece the voices part; the bar line before a system break counts.
  discard_piece_lists();
  for (int v = 0; v < 2; ++v) {
    new_voice("Strings", v, v);
    for (int m = 1; m <= 4100; ++m) {
      if (m > 1 && !(v == 1 && m == 4050)) add_bar(v);
      if (m % 8 == 0) add_system_break(v, false, 1);
      add_note(v, QUARTER);
    }
  }
  EXPECT_EQ(first_inconsistent_bar(), 4050);
}

TEST_F(PieceFileTest, NewVoiceLists) {
  Drosa key = make_empty_voice(0, 1);
  make_empty_voice(1, 0);
  voice_count = 2;
  EXPECT_EQ(key->xkind, KEYSIG);
  std::vector<Drosa> first = voice_nodes(0), second = voice_nodes(1);
  ASSERT_EQ(second.size(), 6u);
  EXPECT_STREQ(reinterpret_cast<const char*>(first[1]->bytes() + 10), "UnnamedPart1");
  EXPECT_STREQ(reinterpret_cast<const char*>(second[1]->bytes() + 10), "UnnamedPart");
  EXPECT_EQ(second[1]->get(xvoiceOnPart), 1);
  EXPECT_EQ(second[2]->get(xsstaff), 1);
  EXPECT_EQ(second[2]->xcontext, current_ncontext);
  EXPECT_EQ(first[3]->get(xclef), 0);
  EXPECT_EQ(second[3]->get(xclef), 1) << "a later voice of one part";
}

// ---- Version gate ----------------------------------------------------------------------------

// The options record as files of version 342 and older store it: coordinates in 2 bytes.
Bytes narrow_options(const uint8_t* record) {
  Bytes out;
  int at = 0;
  for (const char* s = OPTIONS_LAYOUT; *s; ++s) {
    int width = *s == 'x' ? 4 : *s - '0';
    if (*s == 'x')
      append(out, record + at + 2, 2);
    else
      append(out, record + at, size_t(width));
    at += width;
  }
  return out;
}

// A file of the given version holding one voice (head ENDSYST, VINFO, the nodes given, final
// ENDSYST), laid out as that version stores it; `surplus` unknown bytes end its header. The
// nodes given are written as they are, and returned to the store.
Bytes file_of_version(int version, int surplus = 0, const std::vector<Drosa>& nodes = {}) {
  Bytes options = version <= 342 ? narrow_options(options_struct[1])
                                 : Bytes(options_struct[1], options_struct[1] + OPTIONS_SIZE);
  int option_records = version >= 326 ? 1 : version >= 320 ? 2 : 1;
  Bytes body;
  put16(body, 1);  // voices
  put16(body, 1);  // requested page
  put16(body, 1);  // contexts
  put16(body, 1);  // current context
  put16(body, int(options.size()) * option_records);
  for (int i = 0; i < option_records; ++i) append(body, options.data(), options.size());
  put16(body, 334);
  append(body, perf_defaults, 334);
  put16(body, 144);
  append(body, print_record[1], 144);
  put16(body, 16);
  const char name[16] = "Score";
  append(body, reinterpret_cast<const uint8_t*>(name), 16);
  body.insert(body.end(), size_t(surplus), 0xEE);
  Bytes file;
  put16(file, version);
  put16(file, int(body.size()));
  append(file, body.data(), body.size());
  Drosa head = newDrosa(ENDSYST, 0), info = newDrosa(VINFO, 0), end = newDrosa(ENDSYST, 0);
  head->set(xstartpiece, 1);
  end->set(xendpiece, 1);
  info->set(xpname, "Harp");
  std::vector<Drosa> all = {head, info};
  all.insert(all.end(), nodes.begin(), nodes.end());
  all.push_back(end);
  for (Drosa n : all) {
    append(file, n->bytes() + 8, size_t(node_record_size(version)));
    destroyDrosa(n);
  }
  return file;
}

TEST_F(PieceFileTest, VersionGateAsksOrRefuses) {
  const struct {
    int version;
    int answer;            // item hit on the question; 0: no question
    const char* question;  // start of the question
    int result;
    uint8_t dirty;
    const char* message;  // the refusal
  } cases[] = {
      {344, 0, nullptr, 1, 0, nullptr},
      {343, 1, "This piece has an old file format.", 1, 1, nullptr},
      {330, 1, "This piece has an old file format.", 1, 1, nullptr},
      {318, 1, "This piece has an old file format.", 1, 1, nullptr},
      {343, 2, "This piece has an old file format.", 0, 0, nullptr},
      {347, 1, "This piece was saved by a newer version", 1, 0xFF, nullptr},
      {345, 2, "This piece was saved by a newer version", 0, 0, nullptr},
      {348, 0, nullptr, 0, 0, "Your Vesk program is too old to edit this piece."},
      {317, 0, nullptr, 0, 0, "This is not a Vesk music file."},
      {4001, 0, nullptr, 0, 0, "This is not a Vesk music file."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    read_header(nullptr);
    DrosaDirty = 0;
    Bytes file = file_of_version(c.version);
    if (c.version == 330) save_seed("version_330.vesk", file);
    if (c.answer) script_hit(c.answer);
    EXPECT_EQ(read_from(file), c.result);
    std::vector<std::string> asked = questions();
    if (c.question) {
      ASSERT_EQ(asked.size(), 1u);
      EXPECT_EQ(asked[0].rfind(c.question, 0), 0u) << asked[0];
    } else {
      EXPECT_TRUE(asked.empty());
    }
    std::vector<std::string> said = messages();
    if (c.message) {
      ASSERT_EQ(said.size(), 1u);
      EXPECT_EQ(said[0].rfind(c.message, 0), 0u) << said[0];
    } else {
      EXPECT_TRUE(said.empty()) << said[0];
    }
    if (c.result) {
      EXPECT_EQ(DrosaDirty, c.dirty);
      EXPECT_EQ(options_i32(1, OPTIONS_PAGE_WIDTH), 76) << "coordinates widened";
      Drosa info = piece_start[0]->xnext;
      EXPECT_STREQ(reinterpret_cast<const char*>(info->bytes() + 10), "Harp");
    }
  }
}

TEST_F(PieceFileTest, SurplusBytesOfANewerHeaderAreSkipped) {
  script_hit(1);
  ASSERT_EQ(read_from(file_of_version(346, 10)), 1);
  EXPECT_EQ(piece_start[0]->xnext->xkind, VINFO);
  EXPECT_EQ(questions().size(), 1u);
}

TEST_F(PieceFileTest, ANewerFormatConvertedReadsBackTheSameAfterASave) {
  for (int version : {345, 347}) {
    SCOPED_TRACE(version);
    read_header(nullptr);
    for (int at = 82; at < 120; ++at) print_record[1][at] = uint8_t(at);
    script_hit(1);
    ASSERT_EQ(read_from(file_of_version(version)), 1);
    ASSERT_EQ(write_to(path), 1);
    const std::vector<Bytes> records = stored_records();
    uint8_t prints[MAX_NCONTEXTS + 1][PRINT_RECORD_SIZE], perf[PERF_DEFAULTS_SIZE];
    std::memcpy(prints, print_record, sizeof prints);
    std::memcpy(perf, perf_defaults, sizeof perf);
    ASSERT_EQ(read_back(), 1);
    EXPECT_EQ(stored_records(), records);
    EXPECT_EQ(std::memcmp(prints, print_record, sizeof prints), 0);
    EXPECT_EQ(std::memcmp(perf, perf_defaults, sizeof perf), 0);
    EXPECT_EQ(questions().size(), 1u);
  }
}

// The value of parameter p in force at every note of every voice.
std::vector<int32_t> values_at_notes(int p) {
  std::vector<int32_t> values;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa n = piece_start[v]; n; n = n->xnext)
      if (n->xkind == NOTE) values.push_back(param_value(p, n, nullptr)->integer());
  return values;
}

TEST_F(PieceFileTest, ParameterChangesAreKeptBySavingAndFromOldFormats) {
  sample_piece(8);
  auto change = [](int p, Drosa at, int small, int32_t value) {
    Drosa templ = newDrosa(PARAM, 0);
    templ->set(xparam_index, int16_t(p));
    templ->set(xparam_small, small);
    templ->set(xparam_stsize, int16_t(50));
    ParamValue v = param[p].value;
    v.set_integer(value);
    set_xparam_value(templ, v);
    check_and_insert_param(at, templ);
    destroyDrosa(templ);
  };
  std::vector<Drosa> notes;
  for (Drosa n = piece_start[0]; n; n = n->xnext)
    if (n->xkind == NOTE) notes.push_back(n);
  change(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, notes[2], 0, 75);
  change(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, notes[2], 1, 55);
  change(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, notes[6], 0, -12);
  change(P_REPEAT_DOTS, notes[5], 0, 0);
  const std::vector<int32_t> widths = values_at_notes(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH);
  ASSERT_EQ(widths[2], 75);
  ASSERT_EQ(widths[0], 60);
  const ParamValue dots = *param_value(P_REPEAT_DOTS, notes.back(), nullptr);
  ASSERT_EQ(write_to(path), 1);
  save_seed("parameter_texts.vesk", file_bytes(path));
  ASSERT_EQ(read_back(), 1);
  EXPECT_EQ(values_at_notes(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH), widths);
  Drosa last = find_prev_kind(NOTE, voice_end(0));
  EXPECT_EQ(std::memcmp(param_value(P_REPEAT_DOTS, last, nullptr), &dots, sizeof dots), 0);
  Drosa cue = find_prev_kind(NOTE, last);
  cue->set(xcue, 1);
  EXPECT_EQ(param_value(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, cue, nullptr)->integer(), 55)
      << "the small-notes change";

  // Format 335 kept the changes as PARAM records of 24 bytes (a coordinate in 2 bytes).
  read_header(nullptr);
  std::vector<Drosa> old_nodes;
  for (int i = 0; i < 4; ++i) {
    if (i == 2) {
      Drosa record = newDrosa(PARAM, 0);
      uint8_t* r = record->bytes() + 8;
      std::memset(r + 2, 0, 22);
      put_be16(r + 6, P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH);
      put_be16(r + 10, 90);
      put_be16(r + 20, 50);
      old_nodes.push_back(record);
    }
    Drosa note = newDrosa(NOTE, 0);
    note->set(xlgval, QUARTER);
    note->set(xendvcd, 1);
    old_nodes.push_back(note);
  }
  Bytes old_file = file_of_version(335, 0, old_nodes);
  save_seed("version_335_parameters.vesk", old_file);
  script_hit(1);
  ASSERT_EQ(read_from(old_file), 1);
  questions();
  EXPECT_EQ(values_at_notes(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH),
            (std::vector<int32_t>{60, 60, 90, 90}));
  ASSERT_EQ(write_to(path), 1);
  ASSERT_EQ(read_back(), 1);
  EXPECT_EQ(values_at_notes(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH),
            (std::vector<int32_t>{60, 60, 90, 90}));
}

// ---- Damaged files ---------------------------------------------------------------------------

TEST_F(PieceFileTest, TruncatedFileIsRefusedOrReadUpToTheDamageWithShift) {
  sample_piece();
  ASSERT_EQ(write_to(path), 1);
  Bytes file = file_bytes(path);
  file.resize(file.size() - 80);  // the final ENDSYST of voice 1 and part of the node before
  EXPECT_EQ(read_from(file), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{
                            "Reading piece aborted: Premature end of file at voice 1 (voice range "
                            "0..1); missing final ENDSYST node. The file is cut short or damaged: "
                            "open it again with the Shift key held down to read what it holds."});

  platform_set_test_modifiers(true, MOD_SHIFT);
  ASSERT_EQ(read_from(file), 1);
  platform_set_test_modifiers(false, 0);
  EXPECT_EQ(voice_count, 2);
  Drosa last = voice_end(1);
  EXPECT_TRUE(last->get(xendpiece));
  EXPECT_EQ(last->xback->xkind, NOTE) << "the voice ends after its last whole record";
}

// A staff drag or a NEST read from a file is counted, so that the breaks made later still look
// for it and a note's duration takes in its nest.
TEST_F(PieceFileTest, StaffDragsAndNestsReadAreCounted) {
  sample_piece();
  add(1, SDRAG)->set(xstaffdrag, 300);
  add(1, NEST)->set(xnest_tupl, 3);
  ASSERT_EQ(write_to(path), 1);
  discard_piece_lists();
  const int32_t drags = staff_drag_nodes, nests = nest_nodes;
  ASSERT_EQ(read_back(), 1);
  EXPECT_EQ(staff_drag_nodes, drags + 1);
  EXPECT_EQ(nest_nodes, nests + 1);
  discard_piece_lists();
  EXPECT_EQ(staff_drag_nodes, drags);
  EXPECT_EQ(nest_nodes, nests);
}

TEST_F(PieceFileTest, APartRecordSayingFreeGoesBackToTheStore) {
  sample_piece();
  ASSERT_EQ(write_to(path), 1);
  Bytes file = file_bytes(path);
  file.resize(file.size() - 50);  // part of the final record
  file[file.size() - 6] = 106;    // whose kind byte says the node is free
  discard_piece_lists();
  int32_t live = total_Drosa_count - freeCount;
  EXPECT_EQ(read_from(file), 0);
  messages();
  EXPECT_EQ(total_Drosa_count - freeCount, live) << "the broken record's node was returned";
}

TEST_F(PieceFileTest, HostileHeadersAreRefused) {
  bare_voice();
  ASSERT_EQ(write_to(path), 1);
  const Bytes good = file_bytes(path);
  const size_t names_length_at = 352 + 102 + 144;
  const char* damaged = "The header of this piece file is damaged; the piece cannot be opened.";
  const struct {
    size_t offset;
    int value;
    const char* message;
  } cases[] = {
      {8, 70, "Your piece has 70 notation contexts; this exceeds the maximum (65)!"},
      {8, 0, "Your piece has no contexts to edit!"},
      {4, 65, "Your piece has 65 voices; this exceeds the maximum (64)!"},
      {4, 0, "Your piece has 0 voices; it must have at least one."},
      {2, -5, damaged},
      {2, 20, damaged},   // the options record would run past the header's end
      {12, -2, damaged},  // negative block length
      {names_length_at, 5000, damaged},
      {14 + 2, 0, "This piece has a bad page size; it cannot be opened."},
      {2, 5000, "Premature end-of-file"},
      // 65 contexts claimed where the settings of one stand
      {8, 65, "its header says it has 65 notation contexts, but their settings hold 102 bytes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Bytes file = good;
    set16(file, c.offset, c.value);
    EXPECT_EQ(read_from(file), 0);
    std::vector<std::string> said = messages();
    ASSERT_FALSE(said.empty());
    EXPECT_NE(said[0].find(c.message), std::string::npos) << said[0];
  }
  // A record of no known kind or of an undo record is read as NA, which is said once; one of a
  // run-time kind is dropped.
  Bytes odd = good;
  Drosa info = newDrosa(VINFO, 0), layout = newDrosa(NTDATA, 0), undo = newDrosa(UNDO, 0);
  odd.insert(odd.end() - 56, undo->bytes() + 8, undo->bytes() + 64);
  odd.insert(odd.end() - 56, layout->bytes() + 8, layout->bytes() + 64);
  odd.insert(odd.end() - 56, info->bytes() + 8, info->bytes() + 64);
  odd[odd.size() - 112] = 200;
  destroyDrosa(info);
  destroyDrosa(layout);
  destroyDrosa(undo);
  ASSERT_EQ(read_from(odd), 1);
  std::string kinds;
  for (Drosa p = piece_start[0]; p; p = p->xnext) kinds += std::string(kind_name(p->xkind)) + " ";
  EXPECT_EQ(kinds, "ENDSYST VINFO NA NA ENDSYST ");
  std::vector<std::string> said = messages();
  ASSERT_EQ(said.size(), 1u) << "said once";
  EXPECT_NE(said[0].find("2 of its records are of kinds that a piece file never holds"),
            std::string::npos)
      << said[0];
  // A context byte no piece has is named as the damage it is.
  Bytes context = good;
  Drosa bound = newDrosa(VINFO, 0);
  context.insert(context.end() - 56, bound->bytes() + 8, bound->bytes() + 64);
  context[context.size() - 112 + 1] = 200;
  destroyDrosa(bound);
  EXPECT_EQ(read_from(context), 0);
  said = messages();
  ASSERT_FALSE(said.empty());
  EXPECT_NE(said[0].find("belongs to notation context 200, which no piece has"), std::string::npos)
      << said[0];
}

TEST_F(PieceFileTest, SettingsOutOfRangeAreReplacedByTheirDefaults) {
  bare_voice();
  ncontext_count = 2;
  ASSERT_EQ(write_to(path), 1);
  const Bytes good = file_bytes(path);
  auto put32 = [](Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
  };
  const size_t options = 14, second = options + 102;
  // Scales that are not a number, tiny and huge; a second context's page of no width; a
  // margin past any page; a printed page of no size.
  const uint32_t not_a_number = 0x7FC00000, tiny = 0x0DA24260, huge = 0x7149F2CA;
  for (uint32_t scale : {not_a_number, tiny, huge}) {
    Bytes file = good;
    put32(file, options + OPTIONS_SCALE, scale);
    put32(file, second + OPTIONS_PAGE_WIDTH, 0);
    put32(file, second + 22, 0x7FFFFFF0);
    const size_t print = piece_header_size(2) - 2 - 32 - 2 * 144;
    put32(file, print + 128 + 8, uint32_t(-12));
    ASSERT_EQ(read_from(file), 1);
    EXPECT_EQ(options_float(1, OPTIONS_SCALE), 10.0f);
    EXPECT_EQ(options_i32(2, OPTIONS_PAGE_WIDTH), 76);
    EXPECT_EQ(options_i32(2, 22), 200);
    std::vector<std::string> said = messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("This piece holds settings out of range, which were replaced by their "
                            "defaults: the scale of context 1 (",
                            0),
              0u)
        << said[0];
    EXPECT_NE(said[0].find("; the paper of context 1 (-12, -12, -12, 600); the page width of "
                           "context 2 (0); a margin of context 2 (2147483632)."),
              std::string::npos)
        << said[0];
  }
}

TEST_F(PieceFileTest, BadClefsStaffSizesAnnotationsAndOpenChordsAreMendedWithAMessage) {
  sample_piece();
  add_print(1, 1, 1)->set(xstaffsize, 0);
  add_clef(1, 0)->set(xclef, 40);
  for (Drosa head : {add(0, TPARAM), add_after(add(0, TEXT), TPARAM)}) {
    set_node_byte(head, 18, 0xFF);
    set_node_byte(head, 19, 0xFB);  // a standard font, which needs no font record
  }
  Drosa text = find_prev_kind(TEXT, voice_end(0));
  text->xcontext = 1;
  text->xback->set(xtext_drawmode, 3);
  text->xback->set(xeocvar, 5);  // stands for an element, but names none
  Drosa open_chord = add_note(0, QUARTER, 35, 0, true);
  open_chord->set(xacc, 3);
  ASSERT_EQ(write_to(path), 1);
  // No page to show: playback is computed afresh, chord by chord.
  Bytes file = file_bytes(path);
  set16(file, 6, 0);
  ASSERT_EQ(read_from(file), 1);
  EXPECT_EQ(messages(), (std::vector<std::string>{
                            "Warning: ENDSYST node in the middle of a chord; chord boundary added "
                            "(voice 0).",
                            "Voice 0 holds damaged annotations (a text missing or in another "
                            "notation context, a drawing mode or a placement of no meaning); they "
                            "were mended.",
                            "Illegal PRINT node on voice 1: staff size 0; using 50 instead.",
                            "Bad CLEF on voice 1: clef type 40; using the treble clef instead."}));
  std::string heads;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == TPARAM)
      heads += std::to_string(p->xcontext) + (p->xnext->xkind == TEXT ? "t " : " ");
  EXPECT_EQ(heads, "0t 1t ");
  Drosa mended = find_prev_kind(TEXT, voice_end(0))->xback;
  EXPECT_EQ(mended->get(xtext_drawmode) * 10 + mended->get(xeocvar), 0);
  EXPECT_EQ(find_prev_kind(CLEF, voice_end(1))->get(xclef), 0);
}

// ---- Saving ----------------------------------------------------------------------------------

TEST_F(PieceFileTest, FailedWriteKeepsTheOldFile) {
  sample_piece();
  ASSERT_EQ(write_to(path), 1);
  const Bytes old = file_bytes(path);
  add_note(0, WHOLE)->set(xacc, 3);
  for (long long after : {0LL, 100LL, 700LL}) {
    platform_fail_file_writes_after(after, ENOSPC);
    EXPECT_EQ(write_to(path), 0);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"The piece could not be saved as '" + path +
                                       "': the disk that holds '" + path + "' is full."});
    EXPECT_EQ(file_bytes(path), old);
  }
  platform_fail_file_writes_after(-1, 0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no file left over";
  EXPECT_EQ(write_to(dir + "/no/such/folder.vesk"), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{"The piece could not be saved as '" + dir +
                                                 "/no/such/folder.vesk': there is no folder '" +
                                                 dir + "/no/such'."});
}

TEST_F(PieceFileTest, SaveKeepsWhatWritingInPlaceKept) {
  sample_piece();
  // A name as long as the folder allows, with and without unnamed files.
  const std::string longest = dir + "/" + std::string(250, 'n') + ".vesk";
  for (bool named : {false, true}) {
    platform_file_named_temporaries_only(named);
    EXPECT_EQ(write_to(longest), 1);
    EXPECT_TRUE(std::filesystem::exists(longest));
    EXPECT_EQ(folder_names(dir).size(), 1u) << "nothing left beside it";
    std::filesystem::remove(longest);
  }
  platform_file_named_temporaries_only(false);

  // A link keeps pointing at the file saved through it, also one made by the save.
  std::filesystem::create_directory(dir + "/real");
  ASSERT_EQ(write_to(dir + "/real/song.vesk"), 1);
  std::filesystem::create_symlink("real/song.vesk", dir + "/link.vesk");
  std::filesystem::create_symlink("real/new.vesk", dir + "/dangling.vesk");
  add_note(0, WHOLE)->set(xacc, 3);
  const Bytes before = file_bytes(dir + "/real/song.vesk");
  for (const char* link : {"/link.vesk", "/dangling.vesk"}) {
    ASSERT_EQ(write_to(dir + link), 1) << link;
    EXPECT_TRUE(std::filesystem::is_symlink(dir + link)) << link;
  }
  EXPECT_GT(file_bytes(dir + "/real/song.vesk").size(), before.size());
  EXPECT_EQ(file_bytes(dir + "/real/song.vesk"), file_bytes(dir + "/real/new.vesk"));

  // A write-protected file: root may save it, as it could write it, and it stays protected and
  // its owner's; anyone else is refused with the system's message and the file is left alone.
  std::filesystem::permissions(dir, std::filesystem::perms::all);
  ASSERT_EQ(write_to(path), 1);
  chmod(path.c_str(), 0444);
  const Bytes protected_bytes = file_bytes(path);
  if (geteuid() == 0) {
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    EXPECT_EQ(write_to(path), 1);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(st.st_uid, 65534u) << "the owner is kept";
  }
  add_note(1, WHOLE)->set(xacc, 3);
  EXPECT_EQ(in_child(
                [&] {
                  if (write_to(path) != 0) return 1;
                  return messages() ==
                                 std::vector<std::string>{
                                     "The piece could not be saved as '" + path +
                                     "': you may not change the file '" + path + "'."}
                             ? 0
                             : 2;
                },
                true),
            0);
  EXPECT_EQ(file_bytes(path), protected_bytes);
}

TEST_F(PieceFileTest, WhatIsNotAFileIsNeitherReplacedNorReadAndEveryFailureNamesItsFile) {
  sample_piece();
  const std::string folder = dir + "/folder.vesk", pipe = dir + "/pipe.vesk";
  const std::string loop = dir + "/loop.vesk";
  std::filesystem::create_directory(folder);
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  std::filesystem::create_symlink("round.vesk", loop);
  std::filesystem::create_symlink("loop.vesk", dir + "/round.vesk");
  const std::string saved_as = "The piece could not be saved as '";
  EXPECT_EQ(write_to(folder), 0);
  EXPECT_EQ(write_to(pipe), 0);
  EXPECT_EQ(write_to(loop), 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{
                            saved_as + folder + "': '" + folder + "' is a folder, not a file.",
                            saved_as + pipe + "': '" + pipe + "' is a named pipe, not a file.",
                            saved_as + loop + "': '" + loop +
                                "' is a symbolic link that leads round in a loop."}));
  EXPECT_TRUE(std::filesystem::is_fifo(pipe));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  // Opening them: the pipe is refused at once, not waited on.
  for (const std::string& name : {pipe, loop}) {
    piece_fsspec = name;
    EXPECT_EQ(read_piece(nullptr), 0);
  }
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"The piece '" + pipe + "' could not be opened: '" + pipe +
                                          "' is a named pipe, not a file.",
                                      "The piece '" + loop + "' could not be opened: '" + loop +
                                          "' is a symbolic link that leads round in a loop."}));

  // A closing that fails once the complete file has its name is no failed save.
  platform_fail_file_close(EIO);
  add_note(0, WHOLE)->set(xacc, 3);
  const std::vector<Bytes> written = stored_records();
  EXPECT_EQ(write_to(path), 1);
  EXPECT_TRUE(messages().empty());
  platform_fail_file_close(0);
  ASSERT_EQ(read_back(), 1);
  EXPECT_EQ(stored_records(), written);

  // As an ordinary user: a folder that may not be changed, and a sticky folder that lets only
  // the owner of a file replace it even where the file itself may be written.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
  std::filesystem::permissions(dir, std::filesystem::perms::all);
  const std::string closed = dir + "/closed", sticky = dir + "/sticky";
  std::filesystem::create_directory(closed);
  std::filesystem::create_directory(sticky);
  chmod(closed.c_str(), 0755);
  chmod(sticky.c_str(), 01777);
  ASSERT_EQ(write_to(sticky + "/theirs.vesk"), 1);
  chmod((sticky + "/theirs.vesk").c_str(), 0666);
  EXPECT_EQ(in_child(
                [&] {
                  write_to(closed + "/mine.vesk");
                  write_to(sticky + "/theirs.vesk");
                  return messages() ==
                                 std::vector<std::string>{
                                     saved_as + closed +
                                         "/mine.vesk': you may not change the folder '" + closed +
                                         "'.",
                                     saved_as + sticky + "/theirs.vesk': the folder '" + sticky +
                                         "' lets only the owner of 'theirs.vesk' replace it."}
                             ? 0
                             : 2;
                },
                true),
            0);
}

TEST_F(PieceFileTest, KilledSaveLeavesNothingBehind) {
  sample_piece(40);
  ASSERT_EQ(write_to(path), 1);
  const Bytes old = file_bytes(path);
  add_note(0, WHOLE)->set(xacc, 3);
  // Killed by the file size limit in the middle of writing.
  auto killed_save = [&] {
    struct rlimit no_core = {0, 0}, small = {1000, 1000};
    setrlimit(RLIMIT_CORE, &no_core);
    setrlimit(RLIMIT_FSIZE, &small);
    return write_to(path) == 1 ? 0 : 1;
  };
  EXPECT_EQ(in_child(killed_save), -SIGXFSZ);
  EXPECT_EQ(folder_names(dir), std::vector<std::string>{"song.vesk"});
  EXPECT_EQ(file_bytes(path), old);
  // Where the file being written must have a name, the next save removes it.
  platform_file_named_temporaries_only(true);
  EXPECT_EQ(in_child(killed_save), -SIGXFSZ);
  EXPECT_EQ(folder_names(dir).size(), 2u);
  EXPECT_EQ(file_bytes(path), old);
  ASSERT_EQ(write_to(path), 1);
  EXPECT_EQ(folder_names(dir), std::vector<std::string>{"song.vesk"});
}

TEST_F(PieceFileTest, ABadPageSizeIsReportedAndNothingIsWritten) {
  sample_piece();
  ASSERT_EQ(write_to(path), 1);
  const Bytes old = file_bytes(path);
  set_options_i32(1, OPTIONS_PAGE_WIDTH, 14);
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, 40001);
  const std::string said =
      "This piece cannot be saved: its page size (14 by 40001) must lie between 15 and 40000 each "
      "way. Nothing was written.";
  EXPECT_EQ(write_to(path), 0);
  EXPECT_EQ(messages(), std::vector<std::string>{said});
  std::string where = path;
  EXPECT_EQ(save_piece(1, 0, 0, &where), 0) << "refused before the save dialog (none is scripted)";
  EXPECT_EQ(messages(), std::vector<std::string>{said});
  EXPECT_EQ(where, path);
  EXPECT_EQ(file_bytes(path), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << "no file left over";
}

TEST_F(PieceFileTest, SaveDialogCancelPublishAndQuestion) {
  sample_piece();
  DrosaDirty = 1;
  piece_fsspec = dir + "/:New Piece:";
  // Cancelled: the name stays, nothing is written.
  script_file_name("");
  EXPECT_EQ(save_piece(0, 0, 0, &piece_fsspec), 0);
  EXPECT_EQ(piece_fsspec, dir + "/:New Piece:");
  // An untitled piece is saved under the name chosen.
  script_file_name(path);
  EXPECT_EQ(save_piece(0, 0, 0, &piece_fsspec), 1);
  EXPECT_EQ(piece_fsspec, path);
  EXPECT_EQ(DrosaDirty, 0);
  EXPECT_TRUE(std::filesystem::exists(path));

  // Publishing over the unpublished file is refused; under another name it is done.
  script_file_name(path);
  EXPECT_EQ(save_piece(1, 1, 1, &piece_fsspec), 0);
  EXPECT_EQ(messages().size(), 1u);
  EXPECT_EQ(options_i16(1, OPTIONS_PUBLISHED), 0);
  std::string copy = path;
  script_file_name(dir + "/published.vesk");
  EXPECT_EQ(save_piece(1, 1, 1, &copy), 1);
  EXPECT_EQ(options_i16(1, OPTIONS_PUBLISHED), 0) << "only the copy is published";
  EXPECT_EQ(piece_fsspec, path);
  script_file_name(dir + "/own.vesk");
  EXPECT_EQ(save_piece(1, 1, 1, &piece_fsspec), 1);
  EXPECT_EQ(options_i16(1, OPTIONS_PUBLISHED), 1) << "the piece's own file is published";
  EXPECT_EQ(piece_fsspec, dir + "/own.vesk");
  set_options_i16(1, OPTIONS_PUBLISHED, 0);
  piece_fsspec = path;
  // Saved as a file in a folder that is not there: said, and the piece keeps its own file.
  script_file_name(dir + "/no such folder/other.vesk");
  EXPECT_EQ(save_piece(1, 0, 0, &piece_fsspec), 0);
  EXPECT_EQ(messages().size(), 2u);
  EXPECT_EQ(piece_fsspec, path);

  // The question before closing: No and Cancel write nothing; Yes saves.
  EXPECT_EQ(ask_save_piece(), 1) << "an unchanged piece is not asked about";
  DrosaDirty = 1;
  script_hit(2);
  EXPECT_EQ(ask_save_piece(), 0);
  script_hit(3);
  EXPECT_EQ(ask_save_piece(), 1);
  EXPECT_EQ(DrosaDirty, 1);
  script_hit(1);
  EXPECT_EQ(ask_save_piece(), 1);
  EXPECT_EQ(DrosaDirty, 0);
  std::vector<std::string> asked = questions();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], "Save changes to file '" + path + "'?");

  // A piece converted from a newer format always asks for a name.
  DrosaDirty = 0xFF;
  script_file_name("");
  EXPECT_EQ(save_piece(0, 0, 0, &piece_fsspec), 0);
}

}  // namespace
