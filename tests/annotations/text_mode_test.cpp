// text_mode_test.cpp: texts typed and edited in place through keys, and the annotation
// clipboard, in the running program. The window while a text is edited is written as
// test-output/editing/text_editing.png of the build folder.
//   TextMode.*:      typing, a code, bold by the Style menu, finishing, undo and redo, editing
//                    again; long texts; Unicode typed and pasted; syllables typed with Tab
//                    faster than the page formats
//   AnnoClipboard.*: copy and paste keep offsets, a selection of two notes is refused,
//                    duplicates at each system and in every part made and cleared, copies on
//                    each system and page following their edited source as systems and
//                    pages are made again
#include "annotations/text_mode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_fields.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/clipboard.h"
#include "platform/port.h"
#include "platform/script.h"
#include "platform/text_edit.h"
#include "platform/window.h"
#include "support/model_fixture.h"
#include "support/selection_page.h"

namespace {

class TextMode : public SelectionPage {
 protected:
  void type(const std::string& text) {
    for (char c : text) key(uint8_t(c));
  }
  // A key that types a Unicode character (what the window system gives for it).
  void type_unicode(char32_t c, uint8_t roman) {
    EventRecord e;
    e.what = EVENT_KEY_DOWN;
    e.window = music_window();
    e.message = roman;
    e.typed = c;
    platform_post_event(e);
    EXPECT_EQ(run_until_idle(), -1);
  }
  // The annotation heads before a note.
  std::vector<Drosa> heads_before(Drosa note) {
    std::vector<Drosa> heads;
    Drosa p = note->xback;
    while (p && p->xkind != NOTE && p->xkind != ENDSYST) p = p->xback;
    for (p = p->xnext; p != note; p = p->xnext)
      if (is_anno_head(p)) heads.push_back(p);
    return heads;
  }
  void post_key(int c) {
    EventRecord e;
    e.what = EVENT_KEY_DOWN;
    e.window = music_window();
    e.message = uint32_t(c);
    platform_post_event(e);
  }
  void start_text_at(Drosa note) {
    set_insertion_point(note, 0, -10);
    end_anno_selection(TEXT_MODE, 1);
    ASSERT_NE(text_edit_record, nullptr);
  }
};
using AnnoClipboard = TextMode;

TEST_F(TextMode, TypedStyledFinishedUndoneRedoneAndEditedAgain) {
  open(1, 1);
  Drosa note = drawn(0)[1];
  const std::string before = voice_bytes(true);
  start_text_at(note);
  type("word \\mf");
  EXPECT_EQ(text_edit_record->text, "word \\mf");
  {
    namespace fs = std::filesystem;
    fs::create_directories("test-output/editing");
    port_save_png(platform_window_port(music_window()), "test-output/editing/text_editing.png");
  }
  end_anno_selection(MUSIC_MODE, 1);
  run_until_idle();
  EXPECT_EQ(text_edit_record, nullptr);
  std::vector<Drosa> heads = heads_before(note);
  ASSERT_EQ(heads.size(), 1u);
  Drosa head = heads[0];
  EXPECT_EQ(head->get(xbackslash), 1);
  EXPECT_EQ(run_text(head), "word ");
  Drosa glyph = next_style_run(head);
  ASSERT_NE(glyph, NIL);
  EXPECT_EQ(glyph->get(xtextfont), param[P_MF_DYNAMIC].value.font());
  EXPECT_EQ(run_text(glyph), std::string(1, char(param[P_MF_DYNAMIC].value.character())));
  EXPECT_EQ(next_style_run(glyph), NIL);
  const std::string typed = voice_bytes(true);

  do_menu_item(EDIT_MENU, 1, 'v');  // Undo
  run_until_idle();
  EXPECT_EQ(voice_bytes(true), before);
  do_menu_item(EDIT_MENU, 2, 'v');  // Redo
  run_until_idle();
  EXPECT_EQ(voice_bytes(true), typed);

  // Selected and edited again: its codes come back; finishing leaves one annotation.
  head = heads_before(note)[0];
  select_anno(head);
  EXPECT_EQ(MODE, TEXT_MODE);
  EXPECT_EQ(text_edit_record, nullptr) << "selected, not yet edited";
  key(KEY_RETURN);
  ASSERT_NE(text_edit_record, nullptr);
  EXPECT_EQ(text_edit_record->text, "word \\mf");
  EXPECT_EQ(current_anno, NIL);
  te_set_select(text_edit_record, 8, 8);
  type("!");
  end_anno_selection(MUSIC_MODE, 1);
  run_until_idle();
  heads = heads_before(note);
  ASSERT_EQ(heads.size(), 1u);
  do_menu_item(EDIT_MENU, 1, 'v');
  run_until_idle();
  EXPECT_EQ(voice_bytes(true), typed) << "one undo gives the text as it was";
}

// A double click on a text in music mode edits that text: the letters typed go into it, not
// into the music; the title says the mode.
TEST_F(TextMode, ADoubleClickOnATextEditsItInsteadOfEnteringNotes) {
  open(1, 1);
  Drosa note = drawn(0)[1];
  start_text_at(note);
  type("word");
  end_anno_selection(MUSIC_MODE, 1);
  run_until_idle();
  EXPECT_EQ(platform_window_title(music_window()).find("Text mode"), std::string::npos);
  const std::vector<Drosa> heads = heads_before(note);
  ASSERT_EQ(heads.size(), 1u);
  Drosa pd = heads[0]->xnext;
  const Point a = window_of(pd->get(xscrx1), pd->get(xscry1));
  const Point b = window_of(pd->get(xscrx2), pd->get(xscry2));
  const Point middle{(a.x + b.x) / 2, (a.y + b.y) / 2};
  const size_t notes = drawn(0).size();
  click(middle);
  click(middle);
  EXPECT_EQ(MODE, TEXT_MODE);
  ASSERT_NE(text_edit_record, nullptr);
  EXPECT_EQ(text_edit_record->text, "word");
  EXPECT_NE(platform_window_title(music_window()).find("Text mode"), std::string::npos);
  type("s");
  EXPECT_EQ(text_edit_record->text.size(), 5u) << text_edit_record->text;
  EXPECT_EQ(drawn(0).size(), notes) << "no note was entered";
  EXPECT_EQ(note_entry_active, 0);
}

TEST_F(TextMode, LongTextsAndCharactersAPieceCannotHold) {
  open(1, 1);
  Drosa note = drawn(0)[2];
  start_text_at(note);
  const std::string long_text(45, 'x');
  text_insert(0, 0, long_text);
  type_unicode(0x263A, '?');  // a smiling face: refused
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_NE(said[0].text.find("Mac OS Roman"), std::string::npos) << said[0].text;
  EXPECT_EQ(text_edit_length(), 45);
  // Pasted text: line breaks become blanks; a character the piece cannot hold refuses it all.
  platform_clipboard_set_text("a\nb\xC3\xA9");
  text_edit_command(6);
  EXPECT_EQ(text_edit_record->text, long_text + "a b\x8E");
  platform_clipboard_set_text("\xE2\x98\x83");
  text_edit_command(6);
  EXPECT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(text_edit_length(), 49);
  text_edit_command(7);  // nothing selected: nothing cleared
  te_set_select(text_edit_record, 45, 49);
  text_edit_command(7);
  // Bold by the Style menu: the first five characters become a run of their own.
  te_set_select(text_edit_record, 0, 5);
  do_menu_item(STYLE_MENU, 2, 'v');
  EXPECT_EQ(te_style_at(text_edit_record, 0).face, 1);
  EXPECT_EQ(te_style_at(text_edit_record, 5).face, 0);
  end_anno_selection(MUSIC_MODE, 1);
  std::vector<Drosa> heads = heads_before(note);
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0]->get(xtextface), 1);
  EXPECT_EQ(run_text(heads[0]), "xxxxx");
  Drosa rest = next_style_run(heads[0]);
  ASSERT_NE(rest, NIL);
  EXPECT_EQ(rest->get(xtextface), 0);
  EXPECT_EQ(run_text(rest), std::string(40, 'x'));
}

TEST_F(TextMode, SyllablesTypedFasterThanThePageFormatsStayLevel) {
  open(1, 1);
  std::vector<Drosa> notes = drawn(0);
  set_insertion_point(notes[0], 0, -10);
  do_menu_item(26, 8, 'v');  // Annotation > Text Category > Lyric
  end_anno_selection(TEXT_MODE, 1);
  click(head(notes[0]));
  // Every key waits before the first is read: each stops the format the one before began.
  for (const char* syllable : {"Sun", "ny", "morn", "ing"}) {
    for (const char* c = syllable; *c; ++c) post_key(*c);
    post_key(KEY_TAB);
  }
  run_until_idle();
  end_anno_selection(MUSIC_MODE, 1);
  run_until_idle();
  std::vector<int32_t> heights;
  for (Drosa note : drawn(0))
    for (Drosa h : heads_before(note)) heights.push_back(h->get(xtexty));
  ASSERT_EQ(heights.size(), 4u);
  for (int32_t y : heights) EXPECT_EQ(y, heights[0]);
}

TEST_F(AnnoClipboard, CopyPasteDuplicateAndClear) {
  open(2, 1);
  const std::vector<Drosa> notes = drawn(0);
  Drosa a = make_text_anno(notes[0], 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                           "one", nullptr);
  Drosa b = make_text_anno(notes[0], 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                           "two", nullptr);
  Drosa other = make_text_anno(
      notes[1], 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, "three", nullptr);
  for (Drosa t : {a, b, other}) t->set(xhidden, 0);
  mark_piece_changed(1, 1, 0);
  run_until_idle();
  // Copy both texts of the first note, paste them onto the third: same offsets.
  set_insertion_point(notes[0], 0, -10);
  end_anno_selection(TEXT_MODE, 0);
  begin_group_selection();
  for (Drosa t : {a, b}) toggle_xselected(t, 0);
  do_menu_item(EDIT_MENU, 5, 'v');
  EXPECT_EQ(clipboard_kind, 1);
  end_anno_selection(MUSIC_MODE, 1);
  const std::string before = voice_bytes(true);
  set_insertion_point(notes[2], 0, -10);
  do_menu_item(EDIT_MENU, 6, 'v');
  run_until_idle();
  std::vector<Drosa> pasted = heads_before(notes[2]);
  ASSERT_EQ(pasted.size(), 2u);
  EXPECT_EQ(run_text(pasted[0]), "one");
  EXPECT_EQ(pasted[0]->get(xtextx), a->get(xtextx));
  EXPECT_EQ(pasted[1]->get(xtexty), b->get(xtexty));
  do_menu_item(EDIT_MENU, 1, 'v');
  run_until_idle();
  EXPECT_EQ(voice_bytes(true), before) << "one undo takes both away";

  // Texts of two notes: refused, nothing changes.
  end_anno_selection(TEXT_MODE, 0);
  begin_group_selection();
  for (Drosa t : {a, other}) toggle_xselected(t, 0);
  EXPECT_EQ(anno_cut_copy(5, 'M', NIL), 0);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text,
            "All the selected annotations must be from one note for Cut Annotations or Copy "
            "Annotations.");
  end_anno_selection(MUSIC_MODE, 1);

  // At each system: a copy at the start of every later system of the piece.
  a->set(xpagemargin, 1);
  a->set(xfromstaff, 1);
  a->xcontext = 1;
  select_anno(a);
  set_undo_mark(0);
  anno_duplicate_each_system(a);
  run_until_idle();
  int copies = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    copies += p->xkind == TPARAM && p != a && p->get(xeachsys) && run_text(p) == "one";
  EXPECT_EQ(copies, 3) << "two systems a page, two pages";
  EXPECT_EQ(a->get(xeachsys), 1);
  // Cleared: the selected source stays without its flag, the copies go.
  anno_remove_repeats_a(a);
  copies = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    copies += p->xkind == TPARAM && run_text(p) == "one";
  EXPECT_EQ(copies, 1);
  EXPECT_EQ(a->get(xeachsys), 0);
  end_anno_selection(MUSIC_MODE, 1);
}

// The first note of each system of the voice, in order.
std::vector<Drosa> system_first_notes(int voice) {
  std::vector<Drosa> firsts;
  bool looking = true;
  for (Drosa p = piece_start[voice]; p; p = p->xnext) {
    if (p->xkind == ENDSYST) looking = !p->get(xendpiece);
    if (looking && p->xkind == NOTE) {
      firsts.push_back(p);
      looking = false;
    }
  }
  return firsts;
}

// The texts of the voice that read `words`, with their repetition flag of systems or pages.
std::vector<Drosa> repeats(int voice, const std::string& words, bool pages) {
  std::vector<Drosa> found;
  for (Drosa p = piece_start[voice]; p; p = p->xnext)
    if (p->xkind == TPARAM && !p->get(xadjacent) && run_text(p) == words &&
        (pages ? p->get(xeachpage) : p->get(xeachsys)))
      found.push_back(p);
  return found;
}

TEST_F(AnnoClipboard, CopiesOnEachSystemAndPageFollowTheirSourceWhenSystemsAreRebuilt) {
  open(2, 1);
  Drosa first = drawn(0)[0];
  Drosa each_system = make_text_anno(
      first, 1, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, "sys", nullptr);
  Drosa each_page = make_text_anno(
      first, 1, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, "pg", nullptr);
  for (Drosa t : {each_system, each_page}) {
    t->set(xhidden, 0);
    t->set(xpagemargin, 1);
    t->set(xfromstaff, 1);
  }
  mark_piece_changed(1, 1, 0);
  run_until_idle();
  std::vector<Drosa> firsts = system_first_notes(0);
  ASSERT_EQ(firsts.size(), 4u) << "two systems a page, two pages";
  select_anno(each_page);
  set_undo_mark(0);
  anno_duplicate_each_page(each_page);
  EXPECT_EQ(repeats(0, "pg", true).size(), 2u) << "the source and a copy on page 2";
  ASSERT_NE(clipboard_list, NIL);
  EXPECT_EQ(clipboard_list->get(xeachpage), 0);
  select_anno(each_system);
  set_undo_mark(0);
  anno_duplicate_each_system(each_system);
  end_anno_selection(MUSIC_MODE, 1);
  run_until_idle();
  EXPECT_EQ(repeats(0, "sys", false).size(), 4u);

  // The sources edited; the second system joined to the first loses its copy, and made again
  // it takes a copy of the edited source.
  set_undo_mark(0);
  for (Drosa t : {each_system, each_page}) {
    modifyvc_with_undo(t);
    t->set(xtexty, t->get(xtexty) + 120);
  }
  combine_with_next_system_cb(first);
  run_until_idle();
  EXPECT_EQ(repeats(0, "sys", false).size(), 3u);
  set_undo_mark(0);
  split_system_cb(firsts[1]);
  run_until_idle();
  std::vector<Drosa> copies = repeats(0, "sys", false);
  ASSERT_EQ(copies.size(), 4u);
  Drosa made = copies[1];
  Drosa after = made;
  while (after->xkind != NOTE) after = after->xnext;
  EXPECT_EQ(after, firsts[1]);
  EXPECT_EQ(made->get(xtexty), each_system->get(xtexty)) << "the edit followed";
  EXPECT_NE(copies[2]->get(xtexty), each_system->get(xtexty)) << "not yet rebuilt";

  // A page made at the second system takes a copy of the edited page source; joined again,
  // it gives it up.
  set_undo_mark(0);
  split_page(1);
  run_until_idle();
  copies = repeats(0, "pg", true);
  ASSERT_EQ(copies.size(), 3u);
  EXPECT_EQ(copies[1]->get(xtexty), each_page->get(xtexty));
  set_undo_mark(0);
  combine_page(0);
  run_until_idle();
  EXPECT_EQ(repeats(0, "pg", true).size(), 2u);
}

TEST_F(AnnoClipboard, InEveryPartACopyInEachVoiceAndClearedAgain) {
  open(1, 2);
  Drosa note = drawn(0)[1];
  Drosa text = make_text_anno(note, 1, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                              "solo", nullptr);
  text->set(xhidden, 0);
  mark_piece_changed(1, 1, 0);
  run_until_idle();
  ASSERT_EQ(current_ncontext, 1);
  select_anno(text);
  set_undo_mark(0);
  anno_duplicate_every_part(text);
  EXPECT_EQ(text->get(xeverypart), 1);
  // A copy of context -1 before the note at the note's time in each voice.
  int copies = 0;
  for (int v = 0; v < 2; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == TPARAM && p != text) {
        ++copies;
        EXPECT_EQ(p->xcontext, -1) << "not in the Score";
        Drosa after = p;
        while (after->xkind != NOTE) after = after->xnext;
        EXPECT_EQ(find_time_abs(after), find_time_abs(note));
      }
  EXPECT_EQ(copies, 2);
  ASSERT_NE(clipboard_list, NIL);
  EXPECT_EQ(clipboard_list->xcontext, 1);
  EXPECT_EQ(clipboard_list->get(xeverypart), 0);
  anno_part_label_clear(note);
  copies = 0;
  for (int v = 0; v < 2; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) copies += p->xkind == TPARAM;
  EXPECT_EQ(copies, 1) << "only the source is left";
  EXPECT_EQ(text->get(xeverypart), 0);
  end_anno_selection(MUSIC_MODE, 1);
}

}  // namespace
