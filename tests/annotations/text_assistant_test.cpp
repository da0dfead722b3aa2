// text_assistant_test.cpp: the Text Assistant's coded texts, and its dialogs run from the menu
// (the Chord Symbol dialog is written as test-output/editing/chord_symbol.png of the build
// folder).
//   TextAssistant.*: each kind's text composed and parsed back, the choices kept after a
//                    cancel, the classes of the symbols, a title only at the first note and
//                    only of characters a piece can store
#include "annotations/text_assistant.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/script.h"
#include "support/anno_text.h"
#include "support/model_fixture.h"
#include "support/selection_page.h"

namespace {

using TextAssistant = SelectionPage;

TEST_F(TextAssistant, EachKindComposedParsedBackAndStarted) {
  open(1, 1);
  // Defaults: a G major fret grid, Allegro at 120 quarters.
  EXPECT_EQ(text_assistant_compose(9, {1, 6, 1, 5, 1, 3, 1, 3, 1, 3, 1, 6, 1}), "a3`2`0`0`0`3`");
  EXPECT_EQ(text_assistant_compose(6, {7, 6, 16}), "Allegro \\q = 120");
  // D flat minor seventh over A flat, and without the bass.
  EXPECT_EQ(text_assistant_compose(10, {3, 11, 2, 1, 14}), "D\\-min\\u7\\u/A\\-");
  EXPECT_EQ(text_assistant_compose(10, {3, 11, 2, 1, 1}), "D\\-min\\u7");
  EXPECT_EQ(text_assistant_compose(11, {3, 1}), "program 17 (Hammond Organ)");
  EXPECT_EQ(text_assistant_compose(5, {13}), "s\\fz");
  EXPECT_EQ(text_assistant_compose(7, {5}), "\\tr\\~\\~\\~\\~\\~\\~\\~");
  EXPECT_EQ(text_assistant_class(8, {13}), 1) << "8va: other";
  EXPECT_EQ(text_assistant_class(8, {7}), 9) << "ped: pedal";
  // Every code parses back into characters, none of them a backslash.
  for (const std::string& coded :
       {text_assistant_compose(10, {3, 11, 2, 7, 14}), text_assistant_compose(6, {7, 1, 1}),
        text_assistant_compose(8, {12}), text_assistant_compose(5, {19})}) {
    for (const ParsedChar& c : parse_coded(coded))
      EXPECT_FALSE(c.character == '\\' && c.font == -5) << coded;
  }

  // The Tempo dialog: a choice made and cancelled is kept for the next time.
  Drosa note = drawn(0)[1];
  set_insertion_point(note, 0, -10);
  script_begin();
  script_choose(6, 1);  // the number 40
  script_hit(2);
  do_menu_item(TEXT_ASSISTANT_MENU, 8, 'v');
  script_take_shown();
  // Reopened with the number chosen before: OK starts the text at the insertion point, its class
  // Tempo Marking.
  script_hit(1);
  do_menu_item(TEXT_ASSISTANT_MENU, 8, 'v');
  std::vector<ShownText> shown = script_take_shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_NE(shown.front().text.find("Allegro \\q = 40"), std::string::npos);
  ASSERT_NE(current_anno, NIL);
  EXPECT_EQ(current_anno->get(xclassify), 6);
  EXPECT_EQ(current_anno->get(xbackslash), 1);
  EXPECT_EQ(run_text(current_anno), "Allegro ");

  // A chord symbol, its dialog drawn.
  namespace fs = std::filesystem;
  fs::create_directories("test-output/editing");
  script_choose(4, 3);
  script_save_image("test-output/editing/chord_symbol.png");
  script_hit(1);
  do_menu_item(TEXT_ASSISTANT_MENU, 13, 'v');
  ASSERT_NE(current_anno, NIL);
  EXPECT_EQ(current_anno->get(xclassify), 11);

  // A title anywhere but at the first note is refused before the dialog opens.
  do_menu_item(TEXT_ASSISTANT_MENU, 1, 'v');
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text,
            "You must select the first note or rest in the piece before you can do this.");
  // At the first note, OK with nothing typed makes nothing.
  end_anno_selection(MUSIC_MODE, 1);
  set_insertion_point(drawn(0)[0], 0, -10);
  script_hit(1);
  EXPECT_EQ(text_assistant_dialog(0), 0);
  // A character a piece cannot store is refused at OK, and the dialog stays for the mend.
  EventRecord smile;
  smile.what = EVENT_KEY_DOWN;
  smile.message = '?';
  smile.typed = 0x263A;
  script_event(smile);
  script_hit(1);
  script_type(4, "Sonata");
  script_hit(1);
  do_menu_item(TEXT_ASSISTANT_MENU, 1, 'v');
  said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_NE(said[0].text.find("\xE2\x98\xBA"), std::string::npos) << said[0].text;
  ASSERT_NE(current_anno, NIL);
  EXPECT_EQ(current_anno->get(xclassify), 2);
  EXPECT_EQ(run_text(current_anno), "Sonata");

  // A click on another note while the title is typed, then a dynamic from the assistant: the
  // empty text the click began ends quietly before the dynamic's begins.
  click(head(drawn(0)[1]));
  take_reports();
  script_hit(1);
  do_menu_item(TEXT_ASSISTANT_MENU, 7, 'v');
  EXPECT_TRUE(take_reports().empty());
  ASSERT_NE(current_anno, NIL);
  EXPECT_EQ(current_anno->get(xclassify), text_assistant_class(5, {1}));
  script_end();
  end_anno_selection(MUSIC_MODE, 1);
}

}  // namespace
