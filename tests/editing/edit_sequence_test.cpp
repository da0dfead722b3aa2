// tests/editing/edit_sequence_test.cpp: a long run of measure insertions and deletions, pastes,
// chord and staff drags and undos chosen from a fixed seed, the voice lists checked after every
// step, and every step undone at the end back to the piece as it was opened, byte for byte; a
// real song's first two systems split at every note that can start one, and undone.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/drags.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/real_scores.h"
#include "support/symbol_page.h"

namespace {

class EditSequence : public SymbolPage {
 protected:
  // Split System over a group: every note of the first page's first two systems.
  void split_first_two_systems() {
    set_insertion_point(NIL, 0, -10);
    for (int v = 0; v < voice_count; ++v) {
      int systems = 0;
      for (Drosa p = page_start[v]->xnext; p && systems < 2; p = p->xnext) {
        if (effective_kind(p) == ENDSYST) ++systems;
        if (p->xkind == NOTE) p->set(xselected, 1);
      }
    }
    group_selected = 1;
    command(PAGE_MENU, 10);
  }
};

// Two staves, eight bars, two bars to a system; chords and eighths in the upper staff.
void sequence_piece() {
  const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
  for (int system = 0; system < 4; ++system) {
    add_tokens(upper, "C5 eD5 eE5 F5 G5 |");
    add_chord(upper, HALF, {35, 37, 39});
    add_tokens(upper, "A5 B5 |");
    add_tokens(lower, "hC4 hE4 | wG3 |");
    if (system < 3) {
      add_system_break(upper);
      add_system_break(lower);
    }
  }
}

// The drawn notes of voice v that begin a measure.
std::vector<Drosa> measure_starts(int v) {
  std::vector<Drosa> found;
  for (Drosa p = page_start[v]; p; p = p->xnext) {
    if (effective_kind(p) == ENDSYST && p != page_start[v] &&
        (p->get(xendpage) || p->get(xendpiece)))
      break;
    if (!is_plotted_note(p) || p->get(xgrace)) continue;
    Drosa before = p->xback;
    while (before && before->xkind != NOTE && effective_kind(before) != BAR &&
           effective_kind(before) != ENDSYST)
      before = before->xback;
    if (before && before->xkind != NOTE) found.push_back(p);
  }
  return found;
}

std::vector<Drosa> drawn_notes(int v) {
  std::vector<Drosa> found;
  for (Drosa p = page_start[v]; p; p = p->xnext) {
    if (effective_kind(p) == ENDSYST && p != page_start[v] &&
        (p->get(xendpage) || p->get(xendpiece)))
      break;
    if (is_plotted_note(p)) found.push_back(p);
  }
  return found;
}

int bars_in_system(Drosa note) {
  int bars = 0;
  Drosa p = note;
  while (p->xback && effective_kind(p->xback) != ENDSYST) p = p->xback;
  for (; p && effective_kind(p) != ENDSYST; p = p->xnext)
    if (effective_kind(p) == BAR) ++bars;
  return bars;
}

TEST_F(EditSequence, ThreeHundredStepsKeepTheVoicesWholeAndUndoToTheStart) {
  open(sequence_piece);
  capture_reports();
  const std::string start = stored_voice_bytes();
  std::mt19937 random(36);
  auto pick = [&](const std::vector<Drosa>& from) {
    return from.empty() ? NIL : from[random() % from.size()];
  };
  int done[6] = {};
  for (int step = 0; step < 300; ++step) {
    const int op = int(random() % 6);
    set_undo_mark(1);
    bool made = false;
    switch (op) {
      case 0: {  // a measure of rests at the start of a measure
        Drosa at = pick(measure_starts(0));
        if (!at || bars_in_system(at) >= 3) break;
        select(at);
        script_type(9, "1");
        script_hit(SYMBOL_AT_INSERTION);
        script_hit(18);
        script_hit(1);
        made = make_measures(NIL, 0, nullptr) == 1;
        break;
      }
      case 1: {  // a measure taken out
        Drosa at = pick(measure_starts(0));
        if (!at) break;
        select(at);
        made = delete_measures(1, 1) == 1;
        break;
      }
      case 2: {  // a note copied and pasted elsewhere
        Drosa from = pick(drawn_notes(0)), to = pick(drawn_notes(0));
        if (!from || !to) break;
        select(from);
        copy_music_command(0);
        select(to);
        paste_music_command();
        made = true;
        break;
      }
      case 3: {  // a chord dragged sideways
        Drosa n = pick(drawn_notes(int(random() % 2)));
        if (!n) break;
        store_chord_drag(n, DRAG_CMOVE, random() % 2 ? 60 : -60);
        made = true;
        break;
      }
      case 4: {  // a staff dragged
        Drosa n = pick(drawn_notes(1));
        if (!n) break;
        const int modes[3] = {STAFF_DRAG_THIS, STAFF_DRAG_BELOW, STAFF_DRAG_LATER};
        apply_staff_drag(n, int16_t(random() % 2), modes[random() % 3], random() % 2 ? 40 : -40);
        made = true;
        break;
      }
      default:
        if (undo_list_length(0) > 1) {
          undo_redo(1);
          made = true;
        }
        break;
    }
    done[op] += made;
    run_until_idle();
    std::string problems;
    ASSERT_EQ(check_voice_lists(&problems), 0)
        << "step " << step << " (" << op << "): " << problems;
    take_reports();  // refusals are part of the run
  }
  for (int op = 0; op < 6; ++op) EXPECT_GT(done[op], 5) << "operation " << op << " was tried";
  script_take_shown();

  for (int guard = 0; guard < 1000 && undo_list_length(0) > 1; ++guard) {
    const int32_t before = undo_list_length(0);
    set_undo_mark(1);
    undo_redo(1);
    if (undo_list_length(0) >= before) break;
  }
  run_until_idle();
  EXPECT_TRUE(stored_voice_bytes() == start) << "undone all the way back";
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
}

// Slurs cross the new system starts: the marks their drawing there writes into their first
// notes go with the undoing, and so does the second page the systems took (a view left there
// shows the first). The notes not at a timing boundary of every voice are refused in one
// message.
TEST_F(EditSequence, SplitSystemOverTwoSystemsOfARealSongUndoneLeavesNoSlurMark) {
  const std::filesystem::path score = real_scores_folder() / "webern-dormi-jesu-op16-no2.musicxml";
  if (!std::filesystem::exists(score)) GTEST_SKIP() << "the real scores are not beside it";
  const std::string copy = dir + "/song.musicxml";
  std::filesystem::copy_file(score, copy);
  ASSERT_TRUE(start({copy}));
  take_reports();
  auto slur_marks = [] {
    std::string marks;
    for (int v = 0; v < voice_count; ++v)
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (p->xkind == NOTE) marks += char('0' + (node_byte(p, 46) & 3));
    return marks;
  };
  const std::string before = slur_marks();
  split_first_two_systems();
  EXPECT_EQ(take_reports().size(), 1u);
  ASSERT_NE(slur_marks(), before);
  ASSERT_EQ(page_count, 2);
  current_page = 2;  // where a playback followed it
  undo();
  EXPECT_EQ(slur_marks(), before);
  EXPECT_EQ(page_count, 1);
  EXPECT_EQ(current_page, 1);
}

// A song whose pickup is filled out by rests that are not drawn: Split System over its first
// two systems begins no system that draws no note.
TEST_F(EditSequence, SplitSystemAfterAPickupsHiddenRestsMakesNoEmptySystem) {
  const std::filesystem::path score =
      real_scores_folder() / "schumann-dichterliebe-op48-no2.musicxml";
  if (!std::filesystem::exists(score)) GTEST_SKIP() << "the real scores are not beside it";
  const std::string copy = dir + "/song.musicxml";
  std::filesystem::copy_file(score, copy);
  ASSERT_TRUE(start({copy}));
  split_first_two_systems();
  take_reports();
  std::vector<bool> drawn;
  for (int v = 0; v < voice_count; ++v) {
    size_t system = 0;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (effective_kind(p) == ENDSYST) ++system;
      if (drawn.size() <= system) drawn.resize(system + 1, false);
      if (effective_kind(p) == NOTE && !(p->get(xrest) && p->get(xhider))) drawn[system] = true;
    }
  }
  ASSERT_GT(drawn.size(), 2u);
  for (size_t system = 0; system + 1 < drawn.size(); ++system)
    EXPECT_TRUE(drawn[system]) << "system " << system + 1;
}

}  // namespace

// Clear Note on each of the first notes of a real sonata (grace notes among them), undone:
// every note comes back as it was, its played length and time to the next note included.
TEST_F(EditSequence, ClearNoteOnARealSonataIsUndoneExactly) {
  const std::filesystem::path score =
      real_scores_folder() / "mozart-piano-sonata-k331-mvt3-rondo-alla-turca.musicxml";
  if (!std::filesystem::exists(score)) GTEST_SKIP() << "the real scores are not beside it";
  const std::string copy = dir + "/sonata.musicxml";
  std::filesystem::copy_file(score, copy);
  ASSERT_TRUE(start({copy}));
  take_reports();
  auto notes_of_voice = [] {
    std::vector<std::string> nodes;
    for (Drosa p = piece_start[0]; p; p = p->xnext)
      if (p->xkind == NOTE) nodes.emplace_back(reinterpret_cast<const char*>(p->bytes()) + 8, 56);
    return nodes;
  };
  for (size_t i = 20; i < 40; ++i) {
    const std::vector<Drosa> notes = drawn_notes(0);
    ASSERT_LT(i, notes.size());
    const std::vector<std::string> before = notes_of_voice();
    set_insertion_point(notes[i], 0, -10);
    command(CLEAR_MENU, 1);
    undo();
    EXPECT_TRUE(notes_of_voice() == before) << "note " << i;
    take_reports();
  }
}
