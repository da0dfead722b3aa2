// dialogs_test.cpp: dialog and alert tables, the dialog model, and the modal loop, scripted and
// on the (offscreen) display.
//   AlertTables.*:  every alert's buttons, default and cancel items, and room for its message
//   Alerts.*:       parameter texts, what is recorded as shown, the modifier keys' names, keys,
//                   failures, missing answers, as tall as the message
//   ScriptedDialog.*: answers in order, typing, pop-ups, the filter, Tab, clicks, disabled
//                   items, modifiers of a hit, updates, drawing of static texts
//   DisplayedDialog.*: the same loop on a window, fed through the event queue; a signal cancels;
//                   native controls drawn once, appended items above the buttons, an alert as
//                   tall as its message (images in test-output/dialogs); a native button's hit
//                   waits for a loop of the program's own; a check box names the keys as here;
//                   a file dialog shows its line of advice
#include "platform/dialogs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include "platform/application.h"
#include "platform/events.h"
#include "platform/file_dialog.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/script.h"
#include "platform/window.h"

namespace {

Point centre(Rect r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class Scripted : public ::testing::Test {
 protected:
  void SetUp() override {
    script_begin();
    platform_set_param_texts("", "", "", "");
  }
  void TearDown() override {
    EXPECT_EQ(script_pending(), 0) << "answers left unused";
    script_end();
  }
};

// ---- Tables ---------------------------------------------------------------------------------

struct AlertCase {
  int id;
  std::vector<std::string> buttons;  // items 1.. in order; the message follows
  int default_item;
  int cancel_item;
  bool long_message;
};

const AlertCase ALERTS[] = {
    {30163, {"Quit"}, 1, 1, false},
    {9134, {"Quit"}, 1, 1, true},
    {16841, {"Quit", "OK"}, 2, 2, false},
    {9130, {"Quit", "OK"}, 2, 2, true},
    {22740, {"Quit", "Continue"}, 2, 2, false},
    {9133, {"Quit", "Continue"}, 2, 2, true},
    {20062, {"Yes", "Cancel", "No"}, 1, 2, false},
    {13717, {"Yes", "No"}, 1, 2, false},
    {9129, {"Yes", "No"}, 1, 2, true},
    {21657, {"Yes", "No"}, 2, 2, false},
    {9132, {"Yes", "No"}, 2, 2, true},
    {20148, {"OK", "Cancel"}, 1, 2, false},
    {9131, {"OK", "Cancel"}, 1, 2, true},
    {2301, {"Go Ahead", "Cancel"}, 2, 2, false},
    {9128, {"Go Ahead", "Cancel"}, 2, 2, true},
};

TEST(AlertTables, ButtonsDefaultAndCancelItemsAndMessage) {
  for (const AlertCase& c : ALERTS) {
    const DialogSpec* spec = platform_dialog_spec(c.id);
    ASSERT_NE(spec, nullptr) << c.id;
    EXPECT_NE(spec->alert, ALERT_NONE) << c.id;
    ASSERT_EQ(spec->items.size(), c.buttons.size() + 1) << c.id;
    for (size_t i = 0; i < c.buttons.size(); ++i) {
      EXPECT_EQ(spec->items[i].kind, ITEM_BUTTON) << c.id;
      EXPECT_EQ(std::string(spec->items[i].text), c.buttons[i]) << c.id;
    }
    EXPECT_EQ(spec->items.back().kind, ITEM_STATIC_TEXT) << c.id;
    EXPECT_EQ(std::string(spec->items.back().text), "^0^1") << c.id;
    EXPECT_EQ(spec->default_item, c.default_item) << c.id;
    EXPECT_EQ(spec->cancel_item, c.cancel_item) << c.id;
    // Every item lies inside the alert.
    for (const DialogItemSpec& item : spec->items) {
      EXPECT_GE(item.rect.left, 0) << c.id;
      EXPECT_LE(item.rect.right, spec->bounds.right) << c.id;
      EXPECT_LE(item.rect.bottom, spec->bounds.bottom) << c.id;
    }
  }
}

// A message of the length the alert is made for fits its rectangle in the system font.
TEST(AlertTables, MessagesOfTheirLengthFit) {
  Port* port = port_new_offscreen(10, 10);
  platform_set_port(port);
  text_font(FONT_SYSTEM);
  text_size(12);
  const FontMetrics m = get_font_metrics();
  const double line_height = std::ceil(m.ascent + m.descent + m.leading);
  const std::string sentence = "The staff you chose has no notes in this system to respace. ";
  for (const AlertCase& c : ALERTS) {
    std::string message;
    while (message.size() < (c.long_message ? 510u : 200u)) message += sentence;
    const Rect r = platform_dialog_spec(c.id)->items.back().rect;
    // Wrapping at word ends costs at most one word a line.
    const double words_per_line_lost = string_width("respace. ");
    const double lines = std::ceil(string_width(message) / (r.width() - words_per_line_lost));
    EXPECT_LE(lines * line_height, r.height()) << c.id;
  }
  platform_set_port(nullptr);
  port_dispose(port);
}

TEST(AlertTables, ValueDialogsAndTheAboutBox) {
  const struct {
    int id;
    std::vector<int> kinds;
  } cases[] = {
      {15946, {ITEM_BUTTON, ITEM_BUTTON, ITEM_STATIC_TEXT, ITEM_EDIT_TEXT}},
      {151, {ITEM_BUTTON, ITEM_BUTTON, ITEM_STATIC_TEXT, ITEM_POPUP}},
      {152, {ITEM_BUTTON, ITEM_BUTTON, ITEM_STATIC_TEXT, ITEM_POPUP, ITEM_EDIT_TEXT}},
      {153, {ITEM_BUTTON, ITEM_BUTTON, ITEM_STATIC_TEXT, ITEM_STATIC_TEXT, ITEM_EDIT_TEXT}},
      {15462, {ITEM_BUTTON, ITEM_STATIC_TEXT, ITEM_STATIC_TEXT}},
  };
  for (const auto& c : cases) {
    const DialogSpec* spec = platform_dialog_spec(c.id);
    ASSERT_NE(spec, nullptr) << c.id;
    ASSERT_EQ(spec->items.size(), c.kinds.size()) << c.id;
    for (size_t i = 0; i < c.kinds.size(); ++i) EXPECT_EQ(spec->items[i].kind, c.kinds[i]) << c.id;
    EXPECT_EQ(std::string(spec->items[0].text), "OK") << c.id;
  }
  EXPECT_EQ(platform_dialog_spec(12345), nullptr);
  EXPECT_EQ(platform_open_dialog(12345, true), nullptr);
}

// ---- Alerts -------------------------------------------------------------------------------------

using Alerts = Scripted;

TEST_F(Alerts, MessageIsRecordedWithTheParameterTexts) {
  platform_set_param_texts("The file is ", "locked.", "x", "y");
  script_hit(2);
  EXPECT_EQ(platform_alert(16841), 2);
  platform_set_param_texts("1.0", "", "", "");
  script_hit(1);
  EXPECT_EQ(platform_alert(15462), 1);
  const std::vector<ShownText> shown = script_take_shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].id, 16841);
  EXPECT_EQ(shown[0].text, "The file is locked.");
  EXPECT_EQ(shown[1].id, 15462);
  EXPECT_EQ(shown[1].text.rfind("Vesk 1.0\n", 0), 0u) << shown[1].text;
  EXPECT_TRUE(script_take_faults().empty());
}

// The program's messages name the keys as the menus do here; the same words meaning other
// things stay.
TEST_F(Alerts, ModifierKeysAreNamedAsTheMenusNameThem) {
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {
      {"You cannot change Command-X!", "You cannot change Ctrl+X!"},
      {"Control-H and Control-C cannot be used.", "Meta+H and Meta+C cannot be used."},
      {"select it using Option-click, then", "select it using Alt-click, then"},
      {"A Command-drag of a note:", "A Ctrl-drag of a note:"},
      {"    command-drag to create", "    Ctrl-drag to create"},
      {"hold down Command as you click", "hold down Ctrl as you click"},
      {"Control key (not Command)", "Meta key (not Ctrl)"},
      {"Shift-Option-click", "Shift-Alt-click"},
      {"Use the Parts and Voices... menu option -- the Key Signature option?",
       "Use the Parts and Voices... menu option -- the Key Signature option?"},
      {"slur control point; Commander Options", "slur control point; Commander Options"},
  };
  for (const auto& c : cases) {
    platform_set_param_texts(c.text, "", "", "");
    script_hit(1);
    platform_alert(16841);
    const std::vector<ShownText> shown = script_take_shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, c.shown);
  }
}

TEST_F(Alerts, KeysHitTheDefaultAndCancelItems) {
  const struct {
    int id;
    uint8_t key;
    bool repeat;
    int item;
  } cases[] = {
      {16841, KEY_RETURN, false, 2}, {16841, KEY_ESCAPE, false, 2}, {30163, KEY_RETURN, false, 1},
      {22740, KEY_ENTER, false, 2},  {20062, KEY_RETURN, false, 1}, {20062, KEY_ESCAPE, false, 2},
      {21657, KEY_RETURN, false, 2}, {2301, KEY_RETURN, false, 2},  {13717, KEY_ESCAPE, false, 2},
      {20148, KEY_RETURN, true, 1},  {15462, KEY_ESCAPE, false, 1},
  };
  for (const auto& c : cases) {
    script_key(c.key, 0, c.repeat);
    EXPECT_EQ(platform_alert(c.id), c.item) << c.id << " key " << int(c.key);
  }
  EXPECT_TRUE(script_take_faults().empty());
}

TEST_F(Alerts, OtherKeysAndClicksOutsideButtonsAreIgnored) {
  // A message that fills the alert: its buttons stay where the table puts them.
  platform_set_param_texts("1\n2\n3\n4\n5\n6\n7\n8\n9", "", "", "");
  script_key('y');
  script_click(2, 2);
  script_click(centre(platform_dialog_spec(20062)->items[2].rect).x,
               centre(platform_dialog_spec(20062)->items[2].rect).y);
  EXPECT_EQ(platform_alert(20062), 3);
}

TEST_F(Alerts, AShortMessageMakesAShortAlert) {
  const std::filesystem::path out = std::filesystem::current_path() / "test-output" / "dialogs";
  std::filesystem::create_directories(out);
  const std::string path = (out / "alert.png").string();
  platform_set_param_texts("Save changes to file 'song.vesk'?", "", "", "");
  script_save_image(path);
  script_hit(1);
  EXPECT_EQ(platform_alert(20062), 1);
  Port* image = port_load_image(path.c_str());
  ASSERT_NE(image, nullptr);
  EXPECT_LT(port_bounds(image).height(), platform_dialog_spec(20062)->bounds.height() - 30);
  port_dispose(image);
  // The About box, shorter too, keeps its first line where it stands, whole.
  const std::string about = (out / "about.png").string();
  platform_set_param_texts("1.0", "", "", "");
  script_save_image(about);
  script_hit(1);
  EXPECT_EQ(platform_alert(15462), 1);
  image = port_load_image(about.c_str());
  ASSERT_NE(image, nullptr);
  EXPECT_LT(port_bounds(image).height(), platform_dialog_spec(15462)->bounds.height());
  int ink_in_top_margin = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < port_bounds(image).width(); ++x)
      ink_in_top_margin += port_pixel(image, x, y) != 0xFFFFFF;
  EXPECT_EQ(ink_in_top_margin, 0);
  port_dispose(image);
  script_take_shown();
}

TEST_F(Alerts, AnAlertThatCannotBeShownAnswersMinusOneAndShowsNothing) {
  script_alert_fails();
  EXPECT_EQ(platform_alert(20148), -1);
  EXPECT_EQ(platform_alert(4242), -1);  // no table: no answer used
  EXPECT_TRUE(script_take_shown().empty());
  EXPECT_TRUE(script_take_faults().empty());
}

TEST_F(Alerts, StartedOnlyToPrintAnAlertSaysItsMessageAndItsDefaultButtonAnswers) {
  // Nobody can answer a program started only to print: it must not wait.
  script_end();
  platform_keep_windows_off_screen(true);
  platform_set_param_texts("The file is ", "locked.", "x", "y");
  testing::internal::CaptureStderr();
  const int item = platform_alert(16841);
  const std::string said = testing::internal::GetCapturedStderr();
  platform_keep_windows_off_screen(false);
  script_begin();
  EXPECT_EQ(item, platform_dialog_spec(16841)->default_item);
  EXPECT_NE(said.find("The file is locked."), std::string::npos) << said;
}

TEST_F(Alerts, StartedOnlyToPrintADialogSaysItsFieldsAndChoicesRowByRow) {
  // Its labels alone said "% with" and "systems per page" with nothing between them.
  script_end();
  platform_keep_windows_off_screen(true);
  platform_set_param_texts("", "", "", "Score");
  DialogRef d = platform_open_dialog(15339, false);  // Systems
  ASSERT_NE(d, nullptr);
  platform_set_item_value(d, 4, 1);
  platform_set_item_text(d, 5, "100");
  platform_set_item_text(d, 7, "4");
  testing::internal::CaptureStderr();
  const int item = platform_modal_dialog(d, nullptr);
  const std::string said = testing::internal::GetCapturedStderr();
  platform_close_dialog(d);
  platform_keep_windows_off_screen(false);
  script_begin();
  EXPECT_EQ(item, 1);
  EXPECT_EQ(said.substr(0, said.find('\n', said.find('\n') + 1)),
            "vesk: Systems and pages of Score:\n(*) Density [100] % with [4] systems per page")
      << said;
}

TEST_F(Alerts, MissingOrMisfitAnswersAreFaults) {
  EXPECT_EQ(platform_alert(20148), 2);
  script_type(1, "x");
  script_hit(1);
  EXPECT_EQ(platform_alert(20148), 1);
  script_hit(7);
  EXPECT_EQ(platform_alert(13717), 7);
  const std::vector<std::string> faults = script_take_faults();
  ASSERT_EQ(faults.size(), 3u);
  EXPECT_EQ(faults[0], "alert 20148 ran out of answers");
  EXPECT_NE(faults[1].find("alert 20148"), std::string::npos);
  EXPECT_EQ(faults[2], "alert 13717: item 7 does not exist");
  EXPECT_EQ(script_take_shown().size(), 3u);
}

// ---- Scripted dialogs ---------------------------------------------------------------------------

class ScriptedDialog : public Scripted {
 protected:
  void TearDown() override {
    if (dialog) platform_close_dialog(dialog);
    Scripted::TearDown();
  }
  DialogRef open(int id) {
    dialog = platform_open_dialog(id, true);
    EXPECT_NE(dialog, nullptr);
    return dialog;
  }
  DialogRef dialog = nullptr;
};

// Filter state: the kinds of the events seen, and a key that decides item 1 on key-down.
std::vector<int> seen_kinds;
bool key_x_decides(DialogRef, EventRecord* event, int* item) {
  seen_kinds.push_back(event->what);
  if (event->what == EVENT_KEY_DOWN && event_char(*event) == 'x') {
    *item = 1;
    return true;
  }
  return false;
}

TEST_F(ScriptedDialog, AnswersAreTakenInOrder) {
  open(15946);
  EXPECT_EQ(platform_item_text(dialog, 4), "");
  script_type(4, "42");
  script_hit(1);
  script_hit(2);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 1);
  EXPECT_EQ(platform_item_text(dialog, 4), "42");
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 2);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 2);  // out of answers: the cancel item
  const std::vector<std::string> faults = script_take_faults();
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0], "dialog 15946 ran out of answers");
}

TEST_F(ScriptedDialog, StaticTextsAreRecordedOnceAtTheFirstModalCall) {
  open(151);
  platform_set_item_text(dialog, 3, "Which staff?");
  script_hit(1);
  script_hit(1);
  platform_modal_dialog(dialog, nullptr);
  platform_modal_dialog(dialog, nullptr);
  const std::vector<ShownText> shown = script_take_shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].id, 151);
  EXPECT_EQ(shown[0].text, "Which staff?");
}

TEST_F(ScriptedDialog, ChoosingAPopupEntrySetsItsValue) {
  open(151);
  for (const char* entry : {"Soprano", "Alto", "Tenor"}) platform_popup_append(dialog, 4, entry);
  EXPECT_EQ(platform_popup_count(dialog, 4), 3);
  EXPECT_EQ(platform_popup_text(dialog, 4, 2), "Alto");
  EXPECT_EQ(platform_popup_text(dialog, 4, 4), "");
  script_choose(4, 3);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 4);
  EXPECT_EQ(platform_item_value(dialog, 4), 3);
  script_choose(4, 9);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 4);
  EXPECT_EQ(platform_item_value(dialog, 4), 3);
  EXPECT_EQ(script_take_faults().size(), 1u);
}

TEST_F(ScriptedDialog, FilterSeesTheUpdateAndKeysFirstAndTellsAutoKeyApart) {
  open(15946);
  seen_kinds.clear();
  script_key('.', 0, true);  // held since before the dialog came up: it types nothing
  script_key('y');
  script_key('y', 0, true);  // auto-key: the filter leaves it, so it is typed
  script_key('x');           // key-down: the filter decides
  EXPECT_EQ(platform_modal_dialog(dialog, key_x_decides), 1);
  EXPECT_EQ(seen_kinds, (std::vector<int>{EVENT_UPDATE, EVENT_AUTO_KEY, EVENT_KEY_DOWN,
                                          EVENT_AUTO_KEY, EVENT_KEY_DOWN}));
  EXPECT_EQ(platform_item_text(dialog, 4), "yy");
  EXPECT_FALSE(platform_dialog_needs_update(dialog));
}

// A question longer than its place: the text grows to its lines, what is below moves down.
TEST_F(ScriptedDialog, ALongQuestionGetsTheLinesItNeeds) {
  open(15946);
  const Rect prompt = platform_item_rect(dialog, 3), field = platform_item_rect(dialog, 4);
  const Rect ok = platform_item_rect(dialog, 1);
  platform_set_param_texts("Short?", "", "", "");
  platform_fit_text_item(dialog, 3);
  EXPECT_EQ(platform_item_rect(dialog, 3), prompt) << "a short one keeps its place";
  platform_set_param_texts(
      "Specify the number of half steps to transpose.  Type a negative number to transpose "
      "down, a positive number to transpose up.",
      "", "", "");
  platform_fit_text_item(dialog, 3);
  const int grown = platform_item_rect(dialog, 3).bottom - prompt.bottom;
  EXPECT_GT(grown, 0);
  EXPECT_EQ(platform_item_rect(dialog, 4), offset_rect(field, 0, grown));
  EXPECT_EQ(platform_item_rect(dialog, 1), offset_rect(ok, 0, grown));
  const std::filesystem::path out = std::filesystem::current_path() / "test-output" / "dialogs";
  std::filesystem::create_directories(out);
  script_save_image((out / "number-long-question.png").string());
  script_hit(1);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 1);
  Port* image = port_load_image((out / "number-long-question.png").string().c_str());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(port_bounds(image).height(), platform_dialog_spec(15946)->bounds.height() + grown);
  port_dispose(image);
  script_take_shown();
}

TEST_F(ScriptedDialog, TypingEditsTheFocusedFieldAndTabSelectsAll) {
  open(15946);
  platform_set_item_text(dialog, 4, "abc");
  platform_select_item_text(dialog, 4, 1, 2);
  for (uint8_t c : {uint8_t('Z'), uint8_t(KEY_BACKSPACE), uint8_t(KEY_BACKSPACE)}) script_key(c);
  script_key('q', MOD_COMMAND);  // command keys type nothing
  script_hit(1);
  platform_modal_dialog(dialog, nullptr);
  EXPECT_EQ(platform_item_text(dialog, 4), "c");
  script_key(KEY_TAB);  // the only field: Tab comes round to it and selects all
  script_key('7');
  script_hit(1);
  platform_modal_dialog(dialog, nullptr);
  EXPECT_EQ(platform_item_text(dialog, 4), "7");
  // A hidden field takes no focus from Tab.
  platform_set_item_rect(dialog, 4, offset_rect(platform_item_rect(dialog, 4), 0, 500));
  platform_select_item_text(dialog, 4, 0, 0);
  script_key(KEY_TAB);
  script_key('8');
  script_hit(1);
  platform_modal_dialog(dialog, nullptr);
  EXPECT_EQ(platform_item_text(dialog, 4), "87");
}

TEST_F(ScriptedDialog, ClicksHitEnabledButtonsOnly) {
  open(20148);  // an alert's table opened as a dialog
  const Point ok = centre(platform_item_rect(dialog, 1));
  const Point cancel = centre(platform_item_rect(dialog, 2));
  const Point message = centre(platform_item_rect(dialog, 3));
  platform_set_item_hilite(dialog, 1, 255);
  script_click(ok.x, ok.y);            // deactivated: nothing
  script_key(KEY_RETURN);              // the default is deactivated too
  script_click(message.x, message.y);  // static text: nothing
  script_click(cancel.x, cancel.y);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 2);
  script_hit(1);  // no user could do this: a fault, but answered
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 1);
  const std::vector<std::string> faults = script_take_faults();
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0], "dialog 20148: item 1 is disabled");
}

TEST_F(ScriptedDialog, DefaultAndCancelItemsCanBeChanged) {
  open(20148);
  platform_set_default_item(dialog, 2);
  platform_set_cancel_item(dialog, 0);
  script_key(KEY_ESCAPE);  // no cancel item: nothing
  script_key(KEY_ENTER);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 2);
}

TEST_F(ScriptedDialog, HitModifiersLastUntilTheNextAnswer) {
  open(20148);
  script_hit(1, MOD_OPTION | MOD_SHIFT);
  script_hit(2);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 1);
  EXPECT_EQ(platform_modifiers(), MOD_OPTION | MOD_SHIFT);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 2);
  EXPECT_EQ(platform_modifiers(), 0);
  script_end();
  EXPECT_NE(platform_modifiers() & MOD_BUTTON_UP, 0);
  script_begin();
}

TEST_F(ScriptedDialog, UpdatesAreNeededOnOpenAndAfterInvalidation) {
  open(15946);
  EXPECT_TRUE(platform_dialog_needs_update(dialog));
  platform_begin_update(dialog);
  platform_draw_dialog(dialog);
  platform_end_update(dialog);
  EXPECT_FALSE(platform_dialog_needs_update(dialog));
  platform_invalidate_dialog_rect(dialog, make_rect(0, 0, 10, 10));
  EXPECT_TRUE(platform_dialog_needs_update(dialog));
  seen_kinds.clear();
  script_hit(1);
  platform_modal_dialog(dialog, key_x_decides);
  EXPECT_EQ(seen_kinds, std::vector<int>{EVENT_UPDATE});
  EXPECT_FALSE(platform_dialog_needs_update(dialog));
  // Drawing first records the texts; the modal call records nothing more.
  ASSERT_EQ(script_take_shown().size(), 1u);
}

int count_dark(const Port* port, Rect r) {
  int dark = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if ((port_pixel(port, x, y) & 0xFF) < 0x80) ++dark;
  return dark;
}

TEST_F(ScriptedDialog, StaticTextsAreDrawnWithParametersAndWrapped) {
  open(15946);
  const Rect prompt = platform_item_rect(dialog, 3);
  const Rect first_line{prompt.left, prompt.top, prompt.right, prompt.top + 14};
  const Rect second_line{prompt.left, prompt.top + 17, prompt.right, prompt.bottom};
  Port* const caller_port = platform_current_port();
  platform_set_param_texts("Staff", "", "", "");
  platform_draw_dialog(dialog);
  EXPECT_GT(count_dark(platform_dialog_port(dialog), first_line), 0);
  EXPECT_EQ(count_dark(platform_dialog_port(dialog), second_line), 0);
  platform_set_param_texts("Number of the staff from which the new part takes its instrument", "",
                           "", "");
  platform_draw_dialog(dialog);
  EXPECT_GT(count_dark(platform_dialog_port(dialog), second_line), 0);
  // Nothing is drawn right of the prompt's rectangle within its rows.
  const Rect beyond{prompt.right, prompt.top, platform_item_rect(dialog, 1).right, prompt.bottom};
  EXPECT_EQ(count_dark(platform_dialog_port(dialog), beyond), 0);
  // The drawing leaves the caller's port alone.
  EXPECT_EQ(platform_current_port(), caller_port);
}

TEST_F(ScriptedDialog, ItemsOfAnotherNumberOrDialogAreHarmless) {
  open(15946);
  EXPECT_EQ(platform_item_count(dialog), 4);
  EXPECT_EQ(platform_item_kind(dialog, 0), -1);
  EXPECT_EQ(platform_item_kind(dialog, 5), -1);
  EXPECT_EQ(platform_item_text(dialog, 9), "");
  platform_set_item_text(dialog, 9, "x");
  platform_set_item_text(dialog, 4, std::string(300, '5'));
  EXPECT_EQ(platform_item_text(dialog, 4).size(), 255u);
  EXPECT_EQ(platform_dialog_of_port(platform_dialog_port(dialog)), dialog);
  DialogRef other = platform_open_dialog(151, false);
  EXPECT_NE(platform_dialog_window(other), platform_dialog_window(dialog));
  platform_close_dialog(other);
  EXPECT_EQ(platform_dialog_of_port(nullptr), nullptr);
}

// ---- On the display
// -------------------------------------------------------------------------------

class DisplayedDialog : public ::testing::Test {
 protected:
  void SetUp() override { platform_flush_events(EVERY_EVENT); }
  void TearDown() override {
    if (dialog) platform_close_dialog(dialog);
    platform_flush_events(EVERY_EVENT);
  }
  void post_key(uint8_t c) {
    EventRecord key;
    key.what = EVENT_KEY_DOWN;
    key.message = c;
    key.window = dialog ? platform_dialog_window(dialog) : 0;
    platform_post_event(key);
  }
  DialogRef dialog = nullptr;
};

TEST_F(DisplayedDialog, ReturnAndEscapeAnswerAnAlert) {
  post_key(KEY_RETURN);
  EXPECT_EQ(platform_alert(20148), 1);
  post_key(KEY_ESCAPE);
  EXPECT_EQ(platform_alert(16841), 2);
}

TEST_F(DisplayedDialog, ASignalClosesAnAlertAsCancelledAndLeavesTheQuitWaiting) {
  platform_catch_quit_signals();
  std::raise(SIGTERM);
  EXPECT_EQ(platform_alert(20062), 2);
  EventRecord quit;
  EXPECT_TRUE(peek_event(event_mask_of(EVENT_QUIT), &quit));
}

TEST_F(DisplayedDialog, TheyLookAsTheDesktopsOwnDialogsDo) {
  const std::filesystem::path out = std::filesystem::current_path() / "test-output" / "dialogs";
  std::filesystem::create_directories(out);
  auto save = [&](DialogRef d, const char* name) {
    for (int i = 0; i < 3; ++i) platform_wait_events(1);
    EXPECT_TRUE(platform_dialog_save_png(d, (out / name).c_str()));
  };
  // The Print dialog with the program's check boxes: above Print and Cancel, each label once.
  dialog = platform_open_dialog(20482, true);
  ASSERT_TRUE(platform_append_dialog_items(dialog, 167));
  const Rect print = platform_item_rect(dialog, 1);
  for (int item = 16; item <= 18; ++item) {
    ASSERT_EQ(platform_item_kind(dialog, item), ITEM_CHECK_BOX);
    EXPECT_LE(platform_item_rect(dialog, item).bottom, print.top) << item;
  }
  EXPECT_EQ(port_bounds(platform_dialog_port(dialog)).bottom, print.bottom + 14);
  platform_set_item_value(dialog, 16, 1);
  platform_draw_dialog(dialog);
  const Rect label = platform_item_rect(dialog, 17);
  int drawn_under_widgets = 0;
  for (int x = label.left; x < label.right; ++x)
    for (int y = label.top; y < label.bottom; ++y)
      drawn_under_widgets += port_pixel(platform_dialog_port(dialog), x, y) != 0xFFFFFF;
  EXPECT_EQ(drawn_under_widgets, 0) << "the native check box draws it";
  save(dialog, "print.png");
  platform_close_dialog(dialog);
  // Record: the click fields right under the check boxes, the MIDI monitor's lines last.
  dialog = platform_open_dialog(27029, true);
  EXPECT_LE(platform_item_rect(dialog, 31).top - platform_item_rect(dialog, 24).bottom, 10);
  EXPECT_LE(platform_item_rect(dialog, 28).bottom, platform_item_rect(dialog, 1).top);
  save(dialog, "record.png");
  platform_close_dialog(dialog);
  // A number with a prompt of two lines, clear of its field.
  platform_set_param_texts("Go to bar number:\n(Type bar,beat to go to a particular beat.)", "", "",
                           "");
  dialog = platform_open_dialog(15946, true);
  EXPECT_GE(platform_item_rect(dialog, 4).top, platform_item_rect(dialog, 3).bottom + 4);
  save(dialog, "number.png");
  platform_close_dialog(dialog);
  dialog = nullptr;
  // A short message: the alert is no taller than it needs.
  platform_set_param_texts("Save changes to file 'song.vesk'?", "", "", "");
  post_key(KEY_ESCAPE);
  EXPECT_EQ(platform_alert(20062), 2);
}

TEST_F(DisplayedDialog, TypingAndAClickGoThroughTheQueue) {
  dialog = platform_open_dialog(15946, true);
  ASSERT_NE(dialog, nullptr);
  post_key('4');
  post_key('2');
  EventRecord click;
  click.what = EVENT_MOUSE_DOWN;
  click.where = centre(platform_item_rect(dialog, 2));
  click.window = platform_dialog_window(dialog);
  platform_post_event(click);
  EXPECT_EQ(platform_modal_dialog(dialog, nullptr), 2);
  EXPECT_EQ(platform_item_text(dialog, 4), "42");
  EXPECT_FALSE(platform_dialog_needs_update(dialog));
}

TEST_F(DisplayedDialog, ANativeButtonsHitWaitsForALoopOfTheProgramsOwn) {
  dialog = platform_open_dialog(15946, true);
  ASSERT_NE(dialog, nullptr);
  platform_wait_events(1);
  QAbstractButton* cancel = nullptr;
  for (QWidget* top : QApplication::topLevelWidgets())
    for (QAbstractButton* b : top->findChildren<QAbstractButton*>())
      if (top->isVisible() && b->text() == "Cancel") cancel = b;
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(platform_take_dialog_hit(dialog), 0);
  cancel->click();
  EXPECT_EQ(platform_take_dialog_hit(dialog), 2);
  EXPECT_EQ(platform_take_dialog_hit(dialog), 0) << "taken once";
}

// Every title of a button, check box and radio button shows whole in its native control.
TEST_F(DisplayedDialog, EveryControlShowsItsWholeTitle) {
  std::set<std::string> cut;
  for (int id = 0; id < 32768; ++id) {
    if (!platform_dialog_spec(id)) continue;
    dialog = platform_open_dialog(id, true);
    if (!dialog) continue;
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (!window->isVisible()) continue;
      for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        // A push button's own least width is no cut; its title and a margin must fit.
        const int needed = qobject_cast<QPushButton*>(b)
                               ? b->fontMetrics().horizontalAdvance(b->text()) + 8
                               : b->sizeHint().width();
        if (b->isVisible() && needed > b->width())
          cut.insert(std::to_string(id) + " \"" + b->text().toStdString() + "\" " +
                     std::to_string(needed) + " > " + std::to_string(b->width()));
      }
    }
    platform_close_dialog(dialog);
    dialog = nullptr;
  }
  for (const std::string& c : cut) ADD_FAILURE() << c;
}

TEST_F(DisplayedDialog, ACheckBoxNamesTheKeysAsTheMenusDo) {
  dialog = platform_open_dialog(7515, true);
  ASSERT_NE(dialog, nullptr);
  platform_wait_events(1);
  QStringList titles;
  for (QWidget* top : QApplication::topLevelWidgets())
    for (QAbstractButton* b : top->findChildren<QAbstractButton*>())
      if (top->isVisible()) titles << b->text();
  EXPECT_TRUE(titles.contains("Meta key (not Ctrl)")) << titles.join('|').toStdString();
}

TEST_F(DisplayedDialog, AFileDialogShowsItsLineOfAdvice) {
  FileDialogRequest request;
  request.save = true;
  request.title = "Vesk - Save Score";
  request.message = "Save VESK score (published)";
  request.action_button = "Save Score";
  request.default_name = "Song.vesk";
  request.folder = std::filesystem::temp_directory_path().string();
  QString advice;
  QTimer::singleShot(0, [&advice] {
    auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(shown, nullptr);
    if (auto* label = shown->findChild<QLabel*>("advice")) advice = label->text();
    const std::filesystem::path out = std::filesystem::current_path() / "test-output" / "dialogs";
    std::filesystem::create_directories(out);
    shown->grab().save(QString::fromStdString((out / "file_dialog_advice.png").string()));
    shown->reject();
  });
  std::string path;
  EXPECT_FALSE(platform_file_dialog(request, &path));
  EXPECT_EQ(advice.toStdString(), request.message);
}

}  // namespace
