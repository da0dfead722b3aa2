// played_files_test.cpp: Standard MIDI Files as other programs and players write them, imported
// into an empty piece (4/4, whole rests): notes played a little before or after their beats.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "model/model_services.h"
#include "performance/entry_fixture.h"
#include "performance/performance_services.h"
#include "performance/record.h"
#include "platform/script.h"
#include "support/midi_bytes.h"

namespace {

using Note = std::array<int32_t, 3>;  // tick, key, length

// A format-0 file of one track, `division` ticks a quarter.
void write_file(const std::string& path, const std::vector<Note>& notes, int division) {
  const std::vector<uint8_t> body = note_track_body(notes, 80);
  std::vector<uint8_t> file = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, uint8_t(division >> 8), uint8_t(division),
      'M', 'T', 'r', 'k'};
  const uint32_t n = uint32_t(body.size());
  file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  file.insert(file.end(), body.begin(), body.end());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

class PlayedFile : public EntryPage {
 protected:
  void SetUp() override {
    EntryPage::SetUp();
    record_settings = RecordSettings{};
  }
  // Voice 0's notes of the first `bars` bars: "key value" (r for a rest).
  static std::vector<std::string> notes(int bars) {
    std::vector<std::string> list;
    for (Drosa p = piece_start[0]; p && bars > 0; p = p->xnext) {
      if (p->xkind == BAR) --bars;
      if (p->xkind != NOTE) continue;
      std::string s = p->get(xrest) ? "r" : std::to_string(p->get(xpitch) >> 8);
      list.push_back(s + " " + std::to_string(p->get(xlgval)));
    }
    return list;
  }
  void import(const std::string& path) {
    script_file_name(path);
    script_hit(1);  // the import dialog's OK
    do_menu_item(IMPORT_MENU, 2, 'v');
    EXPECT_EQ(run_until_idle(), -1);
  }
};

TEST_F(PlayedFile, NotesPlayedJustBeforeTheirBeatsAreAllKept) {
  // Sixteen quarters at 96 ticks a quarter, as a player plays them: up to a twelfth of a beat
  // early or late, each held a little shorter than its beat.
  const int keys_played[16] = {60, 64, 67, 72, 67, 64, 60, 55, 60, 64, 67, 72, 67, 64, 60, 55};
  const int onsets[16] = {0,   90,  187, 294,  388,  475,  568,  677,
                          760, 864, 955, 1048, 1144, 1240, 1342, 1432};
  const int lengths[16] = {84, 78, 85, 85, 76, 85, 82, 89, 84, 77, 80, 70, 90, 82, 83, 86};
  std::vector<Note> played;
  for (int i = 0; i < 16; ++i) played.push_back({onsets[i], keys_played[i], lengths[i]});
  open_empty(4);
  start_entry();
  const std::string file = dir + "/played.mid";
  write_file(file, played, 96);
  import(file);
  // Every note is kept, a quarter on its beat.
  std::vector<std::string> quarters;
  for (int key : keys_played) quarters.push_back(std::to_string(key) + " 3");
  EXPECT_EQ(notes(4), quarters);
}

}  // namespace
