// real_midi_test.cpp: the MIDI files of ../shared/data/midi (beside the repository): four
// scores written out by another program, the right hand in track 0, and two recorded
// performances. Every track that holds notes is imported into an empty piece (4/4, four bars,
// the import adding the measures it needs), and its keys and onsets are compared with the
// track's own; the tracks of the score without repeats are compared with the staves of its
// MusicXML document as well (read by python3's XML reader, independently of ours). What each
// import gives is written to standard error, one line a track. Skipped when the folder is not
// there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "model/model_services.h"
#include "performance/entry_fixture.h"
#include "performance/performance_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/real_scores.h"

namespace {

std::filesystem::path midi_folder() {
  const std::filesystem::path scores = real_scores_folder();
  return scores.empty() ? scores : scores.parent_path() / "midi";
}

// The note-ons of each track of a Standard MIDI File, read here on their own (running status,
// meta and system-exclusive events passed over), and its division.
std::vector<std::vector<Onset>> file_tracks(const std::string& bytes, int* division) {
  std::vector<std::vector<Onset>> tracks;
  auto u = [&](size_t at) { return uint8_t(bytes[at]); };
  auto big = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | u(at + size_t(i));
    return v;
  };
  *division = int(big(12, 2));
  for (size_t at = 8 + big(4, 4); at + 8 <= bytes.size();) {
    const size_t end = std::min(bytes.size(), at + 8 + big(at + 4, 4));
    const bool track = bytes.compare(at, 4, "MTrk") == 0;
    size_t p = at + 8;
    at = end;
    if (!track) continue;
    tracks.emplace_back();
    int64_t tick = 0;
    int status = 0;
    auto number = [&] {
      uint32_t v = 0;
      while (p < end) {
        const uint8_t b = u(p++);
        v = v << 7 | (b & 0x7F);
        if (!(b & 0x80)) break;
      }
      return v;
    };
    while (p < end) {
      tick += number();
      if (p >= end) break;
      if (u(p) & 0x80) status = u(p++);
      if (status == 0xFF) {
        ++p;
        const uint32_t n = number();
        p += n;
      } else if (status == 0xF0 || status == 0xF7) {
        const uint32_t n = number();
        p += n;
      } else {
        const int kind = status & 0xF0, count = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
        if (p + size_t(count) > end) break;
        if (kind == 0x90 && u(p + 1) > 0) tracks.back().push_back({tick, u(p)});
        p += size_t(count);
      }
    }
    std::sort(tracks.back().begin(), tracks.back().end());
  }
  return tracks;
}

struct Comparison {
  int expected = 0, found = 0;  // keys
  int on_time = 0;              // of them within `slack` ticks of their time
};

// The keys of `expected` found among `got` (each used once), and how many of them at their time.
Comparison compare(const std::vector<Onset>& expected, const std::vector<Onset>& got,
                   int64_t slack) {
  Comparison c;
  c.expected = int(expected.size());
  std::map<int, std::vector<int64_t>> by_key;
  for (const Onset& o : got) by_key[o.second].push_back(o.first);
  std::map<int, std::vector<bool>> taken;
  for (const auto& [key, times] : by_key) taken[key].assign(times.size(), false);
  int missing_keys = 0;
  std::map<int, int> wanted;
  for (const Onset& o : expected) ++wanted[o.second];
  for (const auto& [key, n] : wanted)
    missing_keys += std::max(0, n - int(by_key.count(key) ? by_key[key].size() : 0));
  c.found = c.expected - missing_keys;
  for (const Onset& o : expected) {
    auto it = by_key.find(o.second);
    if (it == by_key.end()) continue;
    for (size_t i = 0; i < it->second.size(); ++i)
      if (!taken[o.second][i] && std::llabs(it->second[i] - o.first) <= slack) {
        taken[o.second][i] = true;
        ++c.on_time;
        break;
      }
  }
  return c;
}

// The notes of one staff of a MusicXML document without repeats, as ticks of `division` a
// quarter, read by python3's own XML reader; empty when no python3 is there.
std::vector<Onset> document_staff(const std::filesystem::path& document, int staff, int division) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vesk-real-midi";
  std::filesystem::create_directories(folder);
  const std::string script = (folder / "staff.py").string(), out = (folder / "staff.txt").string();
  std::ofstream(script)
      << "import sys, xml.etree.ElementTree as ET\n"
         "from fractions import Fraction as F\n"
         "steps = {'C':0,'D':2,'E':4,'F':5,'G':7,'A':9,'B':11}\n"
         "root = ET.parse(sys.argv[1]).getroot()\n"
         "for part in root.findall('part'):\n"
         "  start = F(0); div = 1\n"
         "  for m in part.findall('measure'):\n"
         "    t = start; end = start; last = start\n"
         "    for e in m:\n"
         "      if e.tag == 'attributes' and e.findtext('divisions'): div = "
         "int(e.findtext('divisions'))\n"
         "      elif e.tag == 'backup': t -= F(int(e.findtext('duration')), div)\n"
         "      elif e.tag == 'forward': t += F(int(e.findtext('duration')), div)\n"
         "      elif e.tag == 'note' and e.find('grace') is None:\n"
         "        d = F(int(e.findtext('duration') or 0), div)\n"
         "        if e.find('chord') is not None: onset = last\n"
         "        else: onset = t; t += d\n"
         "        last = onset\n"
         "        p = e.find('pitch')\n"
         "        stops = [x for x in e.findall('tie') if x.get('type') == 'stop']\n"
         "        if p is not None and not stops and (e.findtext('staff') or '1') == sys.argv[2]:\n"
         "          key = (int(p.findtext('octave')) + 1) * 12 + steps[p.findtext('step')] + "
         "int(float(p.findtext('alter') or 0))\n"
         "          print(round(onset * int(sys.argv[3])), key)\n"
         "      end = max(end, t)\n"
         "    start = end\n";
  const std::string command = "python3 " + script + " '" + document.string() + "' " +
                              std::to_string(staff) + " " + std::to_string(division) + " > " + out +
                              " 2>/dev/null";
  std::vector<Onset> list;
  if (std::system(command.c_str()) != 0) return list;
  std::ifstream in(out);
  int64_t tick;
  int key;
  while (in >> tick >> key) list.push_back({tick, key});
  std::sort(list.begin(), list.end());
  return list;
}

class RealMidi : public EntryPage, public ::testing::WithParamInterface<std::string> {
 protected:
  void SetUp() override {
    EntryPage::SetUp();
    record_settings = RecordSettings{};
  }
  // Track `track` imported into an empty piece: the keys struck, and what was said.
  std::vector<Onset> import_track(const std::string& path, int track, int division,
                                  const std::vector<int>& items, bool played, std::string* said) {
    open_empty(4);
    start_entry();
    script_file_name(path);
    script_type(33, std::to_string(track));
    for (int item : items) script_hit(item);
    script_hit(1);
    // Played timing against the file's own beats puts onsets far from where they are counted:
    // the quantiser asks whether to go on, and is told to.
    if (played) script_hit(1);
    do_menu_item(IMPORT_MENU, 2, 'v');
    EXPECT_EQ(run_until_idle(), -1);
    said->clear();
    for (const Report& r : take_reports()) *said += r.text + " ";
    std::vector<Onset> keys = struck_keys(division);
    script_hit(3);  // No: the piece is not saved
    do_menu_item(FILE_MENU, FILE_COMMAND_CLOSE, 'v');
    run_until_idle();
    return keys;
  }
};

TEST_P(RealMidi, EveryTrackReachesThePieceAtItsTimes) {
  const std::filesystem::path folder = midi_folder();
  const std::filesystem::path path = folder / (GetParam() + ".mid");
  if (folder.empty() || !std::filesystem::exists(path))
    GTEST_SKIP() << "the real MIDI files are not there (shared/data/midi beside the repository)";
  int division = 0;
  const std::vector<std::vector<Onset>> tracks = file_tracks(read_file(path), &division);
  const bool score = GetParam().find("-score") != std::string::npos;
  for (size_t t = 0; t < tracks.size(); ++t) {
    if (tracks[t].empty()) continue;
    std::string said;
    // The options the music asks for, as its player would choose them: triplets for the etude
    // (item 8), an eighth for the beat of the sonata's runs of thirty-seconds (item 5, once).
    std::vector<int> items;
    if (GetParam() == "chopin-etude-op25-no2-score") items = {8};
    if (GetParam() == "haydn-keyboard-sonata-hob16-6-mvt1-score") items = {5};
    const std::vector<Onset> got =
        import_track(path.string(), int(t), division, items, !score, &said);
    // A score's notes lie on a grid of sixteenths and triplets: each is found within half a
    // sixteenth of its time, unless the quantiser merged it into an earlier chord.
    const Comparison c = compare(tracks[t], got, division / 8);
    std::fprintf(stderr,
                 "%s track %zu: %d notes, %d reached the piece, %d within a 32nd of their time; "
                 "said: %s\n",
                 GetParam().c_str(), t, c.expected, c.found, c.on_time,
                 said.empty() ? "nothing" : said.c_str());
    std::fflush(stderr);
    if (c.found < c.expected) EXPECT_FALSE(said.empty()) << "notes lost without a word";
    EXPECT_GE(c.found * 100, c.expected * 98) << "track " << t;
    if (score) EXPECT_GE(c.on_time * 100, c.expected * 90) << "track " << t;
    // The score without repeats, staff by staff as its document writes it.
    if (GetParam() == "chopin-etude-op25-no2-score") {
      const std::vector<Onset> staff = document_staff(
          real_scores_folder() / "chopin-etude-op25-no2.musicxml", int(t) + 1, division);
      if (staff.empty()) continue;
      const Comparison d = compare(staff, got, division / 8);
      std::fprintf(stderr,
                   "  against staff %zu of its document: %d notes, %d found, %d at their time\n",
                   t + 1, d.expected, d.found, d.on_time);
      std::fflush(stderr);
      EXPECT_GE(d.found * 100, d.expected * 99);
      EXPECT_GE(d.on_time * 100, d.expected * 90);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Files, RealMidi,
                         ::testing::Values("mozart-piano-sonata-k331-mvt3-score",
                                           "chopin-etude-op25-no2-score",
                                           "brahms-klavierstucke-op118-no2-score",
                                           "haydn-keyboard-sonata-hob16-6-mvt1-score",
                                           "mozart-piano-sonata-k331-mvt3-performance",
                                           "chopin-etude-op25-no2-performance"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
