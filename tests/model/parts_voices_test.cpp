// parts_voices_test.cpp: parts and voices.
//   PartNames.*:    the naming rules, display names and their suffixes, part lookups, name lists
//   MakeVoice.*:    a new voice copies the structure with rests, resets its PRINT, keeps clefs;
//                   the 65th voice and other contexts refused; the histories discarded
//   RemoveVoice.*:  later voices renumbered in the voice arrays and every staff record
//   PartCommands.*: the commands of the Parts and Voices dialog with their messages and answers
//   Contexts.*:     staff renumbering when a part leaves, and whether a part prints alone
#include "model/parts_voices.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "editing/editing_services.h"
#include "model/durashn.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/number_dialogs.h"
#include "model/undo.h"
#include "model/voice_lists.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/script_fixture.h"

namespace {

void expect_consistent() {
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
}

// A staff record of the Parts and Voices dialog holding the voices, linked after `after` or
// made the head of the staff list.
Drosa staff_record(const std::vector<int>& voices, Drosa after = NIL) {
  Drosa r = newDrosa(VOICES, 0);
  r->set(xstaffrec_count, int8_t(voices.size()));
  for (size_t i = 0; i < voices.size(); ++i) r->set(xstaffrec_voice, int(i), uint8_t(voices[i]));
  if (after)
    link_after(r, after);
  else
    staff_list_head = r;
  return r;
}

std::vector<int> staff_entries(Drosa r) {
  std::vector<int> entries;
  for (int i = 0; i < r->get(xstaffrec_count); ++i) entries.push_back(r->get(xstaffrec_voice, i));
  return entries;
}

// The structure of a voice: system breaks, bars, clefs, signatures and print settings, and each
// run of chords as its total time, "n" when it holds a note, "r" when only rests.
std::string outline(int v) {
  std::string s;
  int64_t run = 0;
  bool notes = false, in_run = false;
  auto flush = [&] {
    if (in_run) s += (notes ? "n" : "r") + std::to_string(run) + " ";
    run = 0;
    notes = in_run = false;
  };
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    switch (p->xkind) {
      case NOTE:
        if (p->get(xgrace)) break;
        in_run = true;
        notes = notes || !p->get(xrest);
        if (p->get(xendvcd)) run += note_duration(p, 1);
        break;
      case ENDSYST:
        flush();
        s += p->get(xendpiece) ? "end " : p->get(xstartpiece) ? "start " : "system ";
        break;
      case BAR:
        flush();
        s += "| ";
        break;
      case CLEF:
        flush();
        s += "clef" + std::to_string(p->get(xclef)) + " ";
        break;
      case TIMESIG:
      case KEYSIG:
      case PRINT:
      case VINFO:
        flush();
        s += std::string(kind_name(p->xkind)) + " ";
        break;
      default:
        break;
    }
  }
  return s;
}

std::string with_rests(std::string s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == 'n' && (i == 0 || s[i - 1] == ' ') && i + 1 < s.size() && isdigit(s[i + 1]))
      s[i] = 'r';
  return s;
}

Drosa nth_of_kind(int v, int kind, int n) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == kind && n-- == 0) return p;
  return NIL;
}

// ---- Names ------------------------------------------------------------------------------------

using PartNames = ModelTest;

TEST_F(PartNames, NamingRules) {
  struct Case {
    const char* name;
    int valid;
  } cases[] = {{"", 0},
               {"A-B", 0},
               {"123", 0},
               {"Violin 2", 1},
               {"x", 1},
               {"ABCDEFGHIJKLMNO", 1},
               {"ABCDEFGHIJKLMNOP", 0},
               {"2 -Horns", 0},
               {"\xE9t\xE9", 1}};
  for (const Case& c : cases) EXPECT_EQ(valid_part_name(c.name), c.valid) << c.name;
}

TEST_F(PartNames, SuffixesOfDisplayNames) {
  struct Case {
    const char* name;
    const char* part;
    int number;
  } cases[] = {{"Flute-1", "Flute", 0}, {"Flute-12", "Flute", 11}, {"Flute", "Flute", 0},
               {"A-123", "A-123", 0},   {"Oboe-", "Oboe-", 0},     {"-7", "", 6}};
  for (const Case& c : cases) {
    EXPECT_EQ(strip_voice_suffix(c.name), c.part) << c.name;
    EXPECT_EQ(voice_suffix_number(c.name), c.number) << c.name;
  }
}

TEST_F(PartNames, DisplayNameIsBareForASingleVoice) {
  new_voice("Flute", 0);
  new_voice("Oboe", 0);
  EXPECT_EQ(voice_display_name(0), "Flute");
  new_voice("Flute", 1);
  EXPECT_EQ(voice_display_name(0), "Flute-1");
  EXPECT_EQ(voice_display_name(2), "Flute-2");
  EXPECT_EQ(voice_display_name(1), "Oboe");
  EXPECT_EQ(voice_display_name_pascal(2), std::string("\x07"
                                                      "Flute-2"));
  // The longest name with a two-digit voice number is whole.
  new_voice("ABCDEFGHIJKLMNO", 0);
  new_voice("ABCDEFGHIJKLMNO", 40);
  EXPECT_EQ(voice_display_name(4), "ABCDEFGHIJKLMNO-41");
}

TEST_F(PartNames, PartsAndTheirVoices) {
  new_voice("Flute", 0);
  new_voice("Oboe", 0);
  new_voice("Flute", 1);
  new_voice("Horn", 0, -1);
  piece_start[3]->xnext->xnext->xcontext = 2;  // Horn's PRINT belongs to another context
  EXPECT_EQ(voices_same_part(0, 2), 1);
  EXPECT_EQ(names_equal16("Oboe", "Oboe2"), 0);
  EXPECT_EQ(max_voice_number_of_part("Flute"), 1);
  EXPECT_EQ(max_voice_number_of_part("Tuba"), -1);
  EXPECT_EQ(part_index_of_voice(2), 0);
  EXPECT_EQ(part_index_of_voice(1), 1);
  EXPECT_EQ(part_index_of_voice(3), 2);
  EXPECT_EQ(all_voices_one_part(), 0);

  list_part_first_voices(true);
  EXPECT_EQ(std::vector<int16_t>(part_first_voices, part_first_voices + part_first_voice_count),
            (std::vector<int16_t>{0, 1, 3}));
  list_part_first_voices(false);
  EXPECT_EQ(part_first_voice_count, 2) << "Horn is not shown in the Score";
}

TEST_F(PartNames, StaffListNames) {
  new_voice("Flute", 0);
  new_voice("Flute", 1);
  new_voice("Oboe", 0);
  new_voice("Flute", 2);
  Drosa staff = staff_record({0, 2, 1});
  staff_record({3}, staff);
  EXPECT_EQ(count_voices_of_part_in_list(staff, 3), 2);
  EXPECT_EQ(part_names_of_staff_list(staff), (std::vector<std::string>{"Flute", "Oboe"}));
  EXPECT_EQ(part_names_reverse_list(staff), (std::vector<std::string>{"Flute-2", "Flute-1"}));
  EXPECT_EQ(voice_names_of_staff_list(staff), (std::vector<std::string>{"Flute-4", "Oboe-2"}))
      << "Flute-3 is on the second staff";
  staff_list_head = NIL;
}

TEST_F(PartNames, PartsInStaffOrderAtTheInsertionPoint) {
  EXPECT_TRUE(part_names_in_staff_order().empty());
  ASSERT_EQ(take_reports().size(), 1u);
  new_voice("Flute", 0, 1);
  new_voice("Oboe", 0, 0);
  new_voice("Oboe", 1, 2);
  new_voice("Harp", 0, -1);
  for (int v = 0; v < 4; ++v) add_note(v, WHOLE);
  insertion_point = nth_of_kind(0, NOTE, 0);
  EXPECT_EQ(part_names_in_staff_order(), (std::vector<std::string>{"Harp", "Oboe", "Flute"}));
}

// ---- Making a voice ----------------------------------------------------------------------------

class MakeVoice : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    std::strcpy(ncontext_name[1], "Score");
  }
};

// Notes, a chord, a grace note, a tuplet-free rest, bars, clef changes, a system break and a
// print change, with layout records and modifiers that are not copied.
int source_voice() {
  int v = new_voice("Flute", 0, 0);
  Drosa print = nth_of_kind(v, PRINT, 0);
  print->set(xslines, 1);
  print->set(xstaffsize, 40);
  print->set(xlist, 2);
  print->set(xprintdir, 2);
  add_timesig(v, 4, 4);
  add_clef(v, 1);
  add_note(v, QUARTER);
  add_after(add_note(v, EIGHTH), NTDATA);
  add(v, TSMOD);
  add_note(v, EIGHTH);
  add_note(v, HALF);
  add_bar(v);
  add_clef(v, 2);
  add_chord(v, HALF, {30, 32});
  add_grace(v, EIGHTH);
  add_rest(v, QUARTER);
  add_note(v, QUARTER);
  add_system_break(v);
  add_print(v, 1, 0);
  add_rest(v, WHOLE);
  add_bar(v);
  add_note(v, HALF, 35, 1);
  add_rest(v, QUARTER);
  return v;
}

TEST_F(MakeVoice, SameStructureWithRestsOfTheSameLengths) {
  int src = source_voice();
  std::string source_outline = outline(src);
  ASSERT_EQ(add_voice(src, "Oboe", 3, 0), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(outline(1), with_rests(source_outline));
  EXPECT_EQ(outline(1),
            "start VINFO PRINT TIMESIG clef1 r65536 | clef2 r65536 system PRINT r65536 | r65536 "
            "end ");
  for (Drosa p = piece_start[1]; p; p = p->xnext) {
    EXPECT_NE(p->xkind, NTDATA);
    EXPECT_NE(p->xkind, TSMOD);
    if (p->xkind == NOTE) {
      EXPECT_FALSE(p->get(xgrace));
    }
  }
  Drosa info = nth_of_kind(1, VINFO, 0);
  EXPECT_EQ(info->get(xpname), "Oboe");
  EXPECT_EQ(info->get(xvoiceOnPart), 3);
  for (int i = 0; i < 2; ++i) {
    Drosa print = nth_of_kind(1, PRINT, i);
    EXPECT_EQ(print->get(xsstaff), -1);
    EXPECT_EQ(print->get(xslines), 5);
    EXPECT_EQ(print->get(xstaffsize), 50);
    EXPECT_EQ(print->get(xprintdir), 3);
    EXPECT_EQ(print->get(xlist), 0);
    EXPECT_EQ(print->xcontext, 1);
  }
  EXPECT_EQ(outline(src), source_outline) << "the source is left alone";
  EXPECT_EQ(page_start[1], piece_start[1]);
  EXPECT_EQ(DrosaDirty & 1, 1);
  expect_consistent();
}

TEST_F(MakeVoice, SingleRestsAreKeptAndUnhidden) {
  int v = new_voice("Flute", 0, 0);
  Drosa rest = add_rest(v, HALF);
  rest->set(xhider, 1);
  rest->set(xseparate, 1);
  add_rest(v, HALF);
  ASSERT_EQ(add_voice(v, "Flute", 1, 0), 1);
  Drosa copy = nth_of_kind(1, NOTE, 0);
  EXPECT_EQ(copy->get(xlgval), HALF) << "single rests are not remade";
  EXPECT_EQ(copy->get(xhider), 0);
  EXPECT_EQ(copy->get(xseparate), 0);
  EXPECT_EQ(nth_of_kind(1, NOTE, 1)->get(xlgval), HALF);
  expect_consistent();
}

TEST_F(MakeVoice, NewPartRepeatsItsOwnClefAtClefChanges) {
  int v = new_voice("Flute", 0, 0);
  add_clef(v, 1);
  add_note(v, WHOLE);
  add_bar(v);
  add_clef(v, 2);  // a clef change
  add_note(v, WHOLE);
  add_bar(v);
  Drosa flagged = add_clef(v, 3, 2);  // flagged, in another context
  set_node_byte(flagged, 11, 1);
  add_note(v, WHOLE);
  ASSERT_EQ(add_voice(v, "Horn", 0, 1), 1);
  EXPECT_EQ(outline(1), "start VINFO PRINT clef1 r65536 | clef1 r65536 | r65536 end ");
  ASSERT_EQ(add_voice(v, "Tuba", 0, 0), 1);
  EXPECT_EQ(outline(2), "start VINFO PRINT clef1 r65536 | clef2 r65536 | clef3 r65536 end ");
  EXPECT_EQ(nth_of_kind(2, CLEF, 2)->xcontext, 2) << "copies keep their context";
  expect_consistent();
}

TEST_F(MakeVoice, ParameterTextsAreCopiedWithTheirText) {
  int v = new_voice("Flute", 0, 0);
  Drosa note = add_note(v, WHOLE);
  Drosa change = make_text_anno(note, 0, 1, 0, "param {174:5,7} a change", nullptr);
  link_after(newDrosa(PDATA, 0), change);  // laid out: its PDATA stands before its text
  make_text_anno(note, 0, 1, 0, "Allegro", nullptr);
  ASSERT_EQ(add_voice(v, "Flute", 1, 0), 1);
  Drosa copy = nth_of_kind(1, TPARAM, 0);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->xnext->xkind, TEXT);
  EXPECT_STREQ(reinterpret_cast<const char*>(copy->xnext->bytes() + 10), "param {174:5,7} a cha");
  EXPECT_EQ(nth_of_kind(1, TPARAM, 1), NIL) << "other texts are not copied";
}

TEST_F(MakeVoice, PageStartFollowsTheSource) {
  int v = new_voice("Flute", 0, 0);
  add_note(v, WHOLE);
  Drosa page = add_system_break(v, true);
  add_note(v, WHOLE);
  page_start[v] = page;
  ASSERT_EQ(add_voice(v, "Flute", 1, 0), 1);
  Drosa copy = nth_of_kind(1, ENDSYST, 1);
  EXPECT_EQ(page_start[1], copy);
}

TEST_F(MakeVoice, SixtyFifthVoiceRefused) {
  for (int v = 0; v < MAX_VOICES; ++v) new_voice("Choir", v);
  EXPECT_EQ(add_voice(0, "Choir", 64, 0), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].level, 2);
  EXPECT_EQ(r[0].text, "You cannot add any more voices; 64 is the maximum!");
  EXPECT_EQ(voice_count, MAX_VOICES);
}

TEST_F(MakeVoice, OnlyInTheScore) {
  new_voice("Flute", 0, 0);
  current_ncontext = 2;
  EXPECT_EQ(add_voice(0, "Flute", 1, 0), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "You must be in the 'Score' notation context to create voices.");
  EXPECT_EQ(voice_count, 1);
}

TEST_F(MakeVoice, UndoAfterwardsNeverBringsBackTheSourceNotes) {
  int src = source_voice();
  set_undo_mark(1);
  Drosa note = nth_of_kind(src, NOTE, 0);
  modifyvc_with_undo(note);
  note->set(xmod7, 30);
  ASSERT_GT(undo_list_length(0), 0);

  ASSERT_EQ(add_voice(src, "Oboe", 0, 0), 1);
  EXPECT_EQ(undo_list_length(0), 0);
  EXPECT_EQ(undo_list_length(1), 0);
  std::string made = dump_voice(1);
  undo_redo(1);
  undo_redo(0);
  EXPECT_EQ(dump_voice(1), made) << "the new voice keeps its rests";
  EXPECT_EQ(note->get(xmod7), 30) << "the history before the voice was made is gone";
  expect_consistent();
}

// ---- Removing a voice ---------------------------------------------------------------------------

using RemoveVoice = ModelTest;

TEST_F(RemoveVoice, LaterVoicesMoveDownEverywhere) {
  for (int v = 0; v < 6; ++v) new_voice(v < 3 ? "Flute" : "Oboe", v % 3, v);
  Drosa heads[6];
  for (int v = 0; v < 6; ++v) heads[v] = piece_start[v];
  page_start[4] = voice_end(4);
  Drosa first = staff_record({0, 1});
  Drosa second = staff_record({2, 3}, first);
  Drosa third = staff_record({4, 5 | STAFF_VOICE_STEMS_UP}, second);
  set_undo_mark(1);
  modifyvc_with_undo(heads[0]);

  int was_printing = 0;
  EXPECT_EQ(remove_voice_slot(3, &was_printing), 1);
  EXPECT_EQ(was_printing, 1);
  EXPECT_EQ(voice_count, 5);
  EXPECT_EQ(piece_start[3], heads[4]);
  EXPECT_EQ(piece_start[4], heads[5]);
  EXPECT_EQ(page_start[3], voice_end(3));
  EXPECT_EQ(page_start[4], heads[5]);
  EXPECT_EQ(piece_start[5], NIL);
  EXPECT_EQ(staff_entries(first), (std::vector<int>{0, 1}));
  EXPECT_EQ(staff_entries(second), (std::vector<int>{2}));
  EXPECT_EQ(staff_entries(third), (std::vector<int>{3, 4 | STAFF_VOICE_STEMS_UP}));
  EXPECT_EQ(undo_list_length(0), 0);
  staff_list_head = NIL;
  expect_consistent();
}

// ---- Commands of the Parts and Voices dialog ----------------------------------------------------

class PartCommands : public ScriptedTest {
 protected:
  void SetUp() override {
    ScriptedTest::SetUp();
    VeskMemory_Init();
    std::strcpy(ncontext_name[1], "Score");
    std::strcpy(ncontext_name[2], "Flute part");
  }
  void TearDown() override {
    staff_list_head = NIL;
    ScriptedTest::TearDown();
  }

  // The texts of the messages shown since the last call.
  std::vector<std::string> messages() {
    std::vector<std::string> texts;
    for (const ShownText& s : shown())
      if (s.id == ALERT_MESSAGE || s.id == ALERT_INTERNAL || s.id == ALERT_REALLY_RISKY)
        texts.push_back(s.text);
    return texts;
  }
};

TEST_F(PartCommands, CreateNewPartRefusesNamesUntilOneFits) {
  new_voice("Flute", 0, 0);
  add_note(0, WHOLE);
  Drosa staff = staff_record({0});
  for (const char* name : {"", "A-B", "123", "Flute", "Violin 2"}) {
    script_type(5, name);
    script_hit(1);
    if (std::strcmp(name, "Violin 2") != 0) script_hit(2);  // the message
  }
  EXPECT_EQ(create_new_part(staff), 1);
  EXPECT_EQ(messages(),
            (std::vector<std::string>{"Please type a name for the new part.", "Illegal part name.",
                                      "Illegal part name.",
                                      "Another part already has that name; pick a new name."}));
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(voice_part_name(1), "Violin 2");
  EXPECT_EQ(voice_number_in_part(1), 0);
  EXPECT_EQ(staff_entries(staff->xnext), (std::vector<int>{1}));
}

TEST_F(PartCommands, LongNameIsCutAndTwoStavesMakeTwoVoices) {
  new_voice("Flute", 0, 0);
  add_note(0, WHOLE);
  Drosa staff = staff_record({0});
  Drosa after = staff_record({}, staff);
  script_choose(4, 2);
  script_type(5, "Contrabassoon Desk 2");
  script_hit(1);
  EXPECT_EQ(create_new_part(staff), 1);
  EXPECT_TRUE(messages().empty());
  ASSERT_EQ(voice_count, 3);
  EXPECT_EQ(voice_part_name(1), "Contrabassoon D");
  EXPECT_EQ(voice_display_name(1), "Contrabassoon D-1");
  EXPECT_EQ(voice_display_name(2), "Contrabassoon D-2");
  EXPECT_EQ(staff_entries(staff->xnext), (std::vector<int>{1}));
  EXPECT_EQ(staff_entries(staff->xnext->xnext), (std::vector<int>{2}));
  EXPECT_EQ(staff->xnext->xnext->xnext, after);
  expect_consistent();
}

TEST_F(PartCommands, CancelCreatesNothing) {
  new_voice("Flute", 0, 0);
  Drosa staff = staff_record({0});
  script_type(5, "A-B");
  script_hit(1);
  script_hit(2);  // the message
  script_hit(2);  // Cancel
  EXPECT_EQ(create_new_part(staff), 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{"Illegal part name."}));
  EXPECT_EQ(voice_count, 1);
  EXPECT_EQ(staff->xnext, NIL);
}

TEST_F(PartCommands, RenamePartKeepsOrChangesItsName) {
  new_voice("Flute", 0, 0);
  new_voice("Oboe", 0, 1);
  new_voice("Oboe", 1, 1);
  Drosa staff = staff_record({1, 0});
  script_type(5, "Flute");  // the chosen part is Oboe (entry 1): Flute is taken
  script_hit(1);
  script_hit(2);
  script_type(5, "Oboe");  // its own name is accepted
  script_hit(1);
  EXPECT_EQ(rename_part(staff), 1);
  EXPECT_EQ(
      messages(),
      (std::vector<std::string>{"Another part already has that name; please pick a new name."}));
  script_choose(4, 1);
  script_type(5, "Oboe d'amore");
  script_hit(1);
  EXPECT_EQ(rename_part(staff), 1);
  EXPECT_EQ(voice_part_name(1), "Oboe d'amore");
  EXPECT_EQ(voice_part_name(2), "Oboe d'amore");
  EXPECT_EQ(voice_part_name(0), "Flute");
  script_type(5, "");
  script_hit(1);
  script_hit(2);
  script_hit(2);
  EXPECT_EQ(rename_part(staff), 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{"Please type the new name for the part."}));
}

TEST_F(PartCommands, DeletePartRefusals) {
  new_voice("Flute", 0, 0);
  new_voice("Flute", 1, 1);
  Drosa staff = staff_record({0, 1});
  script_hit(2);
  EXPECT_EQ(delete_part(staff, nullptr), 0);
  new_voice("Oboe", 0, 2);
  current_ncontext = 2;
  script_hit(2);
  EXPECT_EQ(delete_part(staff, nullptr), 0);
  current_ncontext = 1;
  link_after(newDrosa(PRINT, 2), nth_of_kind(0, PRINT, 0));  // Flute is also in another context
  script_hit(2);
  EXPECT_EQ(delete_part(staff, nullptr), 0);
  EXPECT_EQ(messages(),
            (std::vector<std::string>{
                "There is only one part in the piece; you cannot delete it.",
                "You must be in the 'Score' notation context to delete parts.",
                "You must remove this part from all other notation contexts before you can "
                "delete it."}));
  EXPECT_EQ(voice_count, 3);
}

TEST_F(PartCommands, DeletePartPrintingAloneIsRefused) {
  new_voice("Flute", 0, 0);
  new_voice("Oboe", 0, 1);
  for (int v = 0; v < 2; ++v) {
    add_rest(v, WHOLE);
    add_bar(v);
    add_rest(v, WHOLE);
    add_bar(v);
  }
  add_print(0, 1, 0);
  add_print(1, 1, -1);  // from bar 3 only the Flute prints
  for (int v = 0; v < 2; ++v) add_rest(v, WHOLE);
  Drosa staff = staff_record({0});
  script_hit(2);
  EXPECT_EQ(delete_part(staff, nullptr), 0);
  EXPECT_EQ(messages(), (std::vector<std::string>{"This part cannot be deleted, because it is "
                                                  "the only thing printing at bar 3!"}));
  EXPECT_EQ(voice_count, 2);
}

TEST_F(PartCommands, DeletePartAsksWhenNotesAreLostAndRenumbersStaves) {
  new_voice("Piano", 0, 0);
  new_voice("Piano", 1, 1);
  new_voice("Oboe", 0, 2);
  for (int v = 0; v < 3; ++v) add_note(v, WHOLE);
  nth_of_kind(2, PRINT, 0)->set(xlist, 3);
  nth_of_kind(0, PRINT, 0)->set(xlist, 1);
  nth_of_kind(1, PRINT, 0)->set(xlist, 2);
  Drosa staff = staff_record({0, 2});
  Drosa oboe_head = piece_start[2];

  script_choose(4, 1);
  script_hit(1);
  script_hit(2);  // cancel the question
  EXPECT_EQ(delete_part(staff, nullptr), 0);
  EXPECT_EQ(voice_count, 3);

  script_choose(4, 1);
  script_hit(1);
  script_hit(1);  // go ahead
  int was_printing = 0;
  EXPECT_EQ(delete_part(staff, &was_printing), 1);
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[0].id, POPUP_DIALOG);
  EXPECT_NE(s[0].text.find("Delete Part:"), std::string::npos);
  EXPECT_EQ(s[3].text,
            "Are you sure you want to delete 'Piano'?  All the notes on the part will be lost.");
  EXPECT_EQ(voice_count, 1);
  EXPECT_EQ(piece_start[0], oboe_head);
  EXPECT_EQ(nth_of_kind(0, PRINT, 0)->get(xsstaff), 0);
  EXPECT_EQ(nth_of_kind(0, PRINT, 0)->get(xlist), 1);
  EXPECT_EQ(staff_entries(staff), (std::vector<int>{0}));
  EXPECT_EQ(was_printing, 1);
  expect_consistent();
}

TEST_F(PartCommands, DeletePartOfRestsAsksNothing) {
  new_voice("Flute", 0, 0);
  new_voice("Oboe", 0, 1);
  add_note(0, WHOLE);
  add_rest(1, WHOLE);
  Drosa staff = staff_record({1});
  EXPECT_EQ(delete_part(staff, nullptr), 1);
  EXPECT_TRUE(shown().empty());
  EXPECT_EQ(voice_count, 1);
  EXPECT_EQ(staff->get(xstaffrec_count), 0);
}

TEST_F(PartCommands, StartAndEndAnAdditionalVoice) {
  new_voice("Flute", 0, 0);
  add_note(0, HALF);
  add_note(0, HALF);
  Drosa staff = staff_record({0});
  EXPECT_EQ(voice_display_name(0), "Flute");
  EXPECT_EQ(start_additional_voice(staff), 1) << "a single choice is taken without asking";
  EXPECT_TRUE(shown().empty());
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(staff_entries(staff), (std::vector<int>{0, 1}));
  EXPECT_EQ(voice_display_name(0), "Flute-1");
  EXPECT_EQ(voice_display_name(1), "Flute-2");

  script_choose(4, 1);  // "Flute-2", the last entry first
  script_hit(1);
  int was_printing = 0;
  EXPECT_EQ(end_voice(staff, &was_printing), 1);
  EXPECT_EQ(staff_entries(staff), (std::vector<int>{0}));
  EXPECT_EQ(voice_count, 1) << "a voice of rests that never printed goes";
  EXPECT_EQ(was_printing, 0);
  shown();
  expect_consistent();
}

TEST_F(PartCommands, EndVoiceKeepsAVoiceWithNotes) {
  new_voice("Flute", 0, 0);
  new_voice("Flute", 1, 0);
  add_note(0, WHOLE);
  add_note(1, WHOLE);
  Drosa staff = staff_record({0, 1});
  script_choose(4, 2);  // "Flute-1"
  script_hit(1);
  EXPECT_EQ(end_voice(staff, nullptr), 1);
  EXPECT_EQ(staff_entries(staff), (std::vector<int>{1}));
  EXPECT_EQ(voice_count, 2);
  shown();
}

TEST_F(PartCommands, StartAdditionalVoiceAsksAmongSeveral) {
  new_voice("Flute", 0, 0);
  new_voice("Oboe", 0, 1);
  new_voice("Flute", 1, 0);  // on no staff of the list
  for (int v = 0; v < 3; ++v) add_note(v, WHOLE);
  Drosa staff = staff_record({0, 1});
  EXPECT_EQ(voice_names_of_staff_list(staff),
            (std::vector<std::string>{"Flute-2", "Flute-3", "Oboe-2"}));
  script_choose(4, 1);
  script_hit(1);
  EXPECT_EQ(start_additional_voice(staff), 1);
  EXPECT_EQ(voice_count, 3) << "an existing voice is put on the staff";
  EXPECT_EQ(staff_entries(staff), (std::vector<int>{0, 1, 2}));
  current_ncontext = 2;  // no PRINT of this context: the voice cannot be shown
  Drosa other = staff_record({0}, staff);
  new_voice("Flute", 2, 0);
  add_note(3, WHOLE);
  script_hit(2);  // the internal report
  EXPECT_EQ(start_additional_voice(other), 0);
  EXPECT_EQ(messages().back(),
            "Voice 'Flute-3' should be available in context 'Flute part', but due to an error "
            "it is not!");
}

// ---- Notation contexts -------------------------------------------------------------------------

using Contexts = ModelTest;

TEST_F(Contexts, TakingATwoStaffPartOutMovesTheStavesBelow) {
  const char* parts[] = {"Flute", "Oboe", "Piano", "Piano", "Harp"};
  for (int v = 0; v < 5; ++v) {
    new_voice(parts[v], v == 3 ? 1 : 0, v);
    nth_of_kind(v, PRINT, 0)->set(xlist, uint8_t(v + 1));
    add_note(v, WHOLE);
  }
  for (int v : {0, 1, 4}) ncontext_staff_range("Piano", nth_of_kind(v, PRINT, 0));
  EXPECT_EQ(nth_of_kind(0, PRINT, 0)->get(xsstaff), 0);
  EXPECT_EQ(nth_of_kind(1, PRINT, 0)->get(xsstaff), 1);
  EXPECT_EQ(nth_of_kind(4, PRINT, 0)->get(xsstaff), 2);
  EXPECT_EQ(nth_of_kind(4, PRINT, 0)->get(xlist), 3);
  EXPECT_EQ(nth_of_kind(1, PRINT, 0)->get(xlist), 2);
}

TEST_F(Contexts, PartPrintsAloneOnlyWhenNoOtherPartPrints) {
  new_voice("Flute", 0, 0);
  new_voice("Oboe", 0, 1);
  for (int v = 0; v < 2; ++v) add_note(v, WHOLE);
  Drosa flute = nth_of_kind(0, PRINT, 0);
  Drosa oboe = nth_of_kind(1, PRINT, 0);
  EXPECT_EQ(ncontext_parts_present("Flute", flute), 0) << "the Oboe prints too";
  oboe->set(xsstaff, -1);
  EXPECT_EQ(ncontext_parts_present("Flute", flute), 1);
  flute->set(xsstaff, -1);
  EXPECT_EQ(ncontext_parts_present("Flute", flute), 0) << "nothing prints";
  EXPECT_EQ(ncontext_parts_present("Flute", voice_end(0)), 0) << "no note after it";
}

}  // namespace
