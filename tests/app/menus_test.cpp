// menus_test.cpp: the menus, their commands and their state.
//   MenuTables.*: every menu and item as the menus list them (titles, separators, keys,
//                 submenus, the bar's order); the shortcut tables applied and repaired; the
//                 Edit items that move with the "Simplified Music Notation" font
//   MenuState.*:  what is enabled, marked and retitled with no piece, a clean piece, a changed
//                 piece, a selection, a page rectangle, a published piece, a locked context
//   Commands.*:   dispatch and preambles: unknown menus, toggles read their marks and undo
//                 together, zoom, the small submenus, commands not built yet; choosing
//                 through the window system's menus and opening the bar with Option held;
//                 Part Extraction of an imported song
#include "platform/menus.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_globals.h"
#include "app/app_services.h"
#include "app/menus.h"
#include "app/shortcut_keys.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/script.h"
#include "platform/window.h"
#include "support/app_fixture.h"
#include "support/piece_files.h"

namespace {

// ---- The tables, as the menus list them -------------------------------------------------------
// Items are separated by '|'; "-" is a separator; "^K" after a text is its Command key.
struct ExpectedMenu {
  int16_t id;
  const char* title;
  int16_t parent, parent_item;  // 0: a menu of the bar
  const char* items;
};

// clang-format off
const ExpectedMenu EXPECTED_MENUS[] = {
  {1, "\x14", 0, 0, "About Vesk...|-"},
  {2, "File", 0, 0, "New...|Open...|Import|Close|-|Save^S|Save As...|Save As Published...|Export|"
                    "Revert|-|Layout...|Print Setup...|Print...|Print Multiple..."},
  {31, "Import", 2, 3, "MusicXML...|MIDI..."},
  {30, "Export", 2, 9, "MusicXML...|MIDI..."},
  {3, "Edit", 0, 0, "Undo|Redo|-|Cut^X|Copy^C|Paste^V|Clear|Copy Measures...|-|"
                    "Align Annotations...|Duplicate Annotations|Extend Line to Here|-|"
                    "Allow Any Alt-click|Enable Duration Edits|-|Zoom|Shortcut Keys...|Options..."},
  {16, "Clear", 3, 7, "Note|Text|Annotation|-|At Each System|On Each Page|In Every Context|-|"
                      "Staff Drag|Chord Drag|Accidental Drag|-|Invisible Notes..."},
  {22, "Duplicate", 3, 11, "At Each System|On Each Page|In Every Context"},
  {32, "Zoom", 3, 17, "Save Layout...|-|Resizable|-|Mini|Reduce|Standard|Enlarge (1.5x)|"
                      "Double (2x)|Big (3x)|Huge (4x)|5x|6x|7x|8x|Maximum (10x)|-|Screen Width"},
  {4, "Context", 0, 0, "Previous Notation Context|Next Notation Context|-|Part Extraction...|-"},
  {5, "Page", 0, 0, "Previous Page^[|Next Page^]|-|Go To Page...|Go To Bar...|Next Rhythm Error|-|"
                    "Split Page|Combine with Next Page|Split System|Combine with Next System|"
                    "Systems...|-|Insert Measures...|Delete Measures..."},
  {6, "Voice", 0, 0, "Previous Part or Voice|Next Part or Voice|-|Record...|Note Entry|-|"
                     "Parts and Voices...|Voice to Staff Above|Voice to Staff Below|-|"
                     "Staff Drag...|Highlight Voice|Voice on Channel..."},
  {7, "Note", 0, 0, "Previous Note|Next Note|-|Show Accidental|Default Accidentals...|"
                    "Special Accidentals...|-|Transpose...|Notehead Color...|Tablature String|"
                    "Tablature Thumb|-|Hide Tuplet|Hide Rest|Don't Combine Rest|-|Chord Drag...|"
                    "Internal Fields..."},
  {17, "Tablature String", 7, 10, "Higher|Lower|Default"},
  {8, "Stem", 0, 0, "Stem Up|Stem Down|No Stem|Slashed Stem|Stem Between Staves|-|"
                    "Continue Primary Beam|End Primary Beam|Continue Secondary Beam|"
                    "End Secondary Beam|Default Beaming|Beaming Rule...|-|Tremolo Beam|"
                    "Swing Eighth Beam|-|Modify Slur|Additional Slur|Modify Tie"},
  {18, "Modify Slur", 8, 17, "On Top|On Bottom|Near Notehead|-|Hangs Right|Hangs Left|Only Left|-|"
                             "Split|Dashed|With Pitch Bend|-|Grace Slur"},
  {29, "Additional Slur", 8, 18, "On Top|On Bottom|Near Notehead|-|Hangs Right|Hangs Left|"
                                 "Only Left|-|Split|Dashed|With Pitch Bend"},
  {19, "Modify Tie", 8, 19, "Curves Up|Curves Down|-|Hangs Right|Hangs Left|Only Left|-|Dashed|"
                            "With Pitch Bend"},
  {10, "Hear", 0, 0, "Hear...|-|Tuning...|Dynamic Levels...|Default Playback...|Modify Playback|"
                     "Recompute Playback...|-|Play Octave Higher|Play Octave Lower|Keyboard Shift|-|"
                     "MIDI Input|MIDI Output"},
  {14, "Modify Playback ", 10, 6, "Softer^1|Louder^2|Level...^3|-|Lower^4|Higher^5|Pitch...^6|-|"
                                  "Shorter^7|Longer^8|Earlier^9|Later^0"},
  {15, "Keyboard Shift", 10, 11, "3 Octaves Up|2 Octaves Up|1 Octave Up|Normal|1 Octave Down|"
                                 "2 Octaves Down|3 Octaves Down"},
  // Without the ALSA sequencer (these machines) the MIDI menus say so.
  {20, "MIDI Input", 10, 13, "No Input|-|No MIDI ports: the ALSA sequencer is not available"},
  {21, "MIDI Output", 10, 14,
   "No Output|-|Built-in Synthesizer|"
   "No MIDI ports: the ALSA sequencer is not available"},
  {9, "Symbol", 0, 0, "Clef...|Key Signature...|Time Signature...|-|Bar Line...|Align Bars...|"
                      "System Bracket...|-|Parameters...|Hidden Text..."},
  {11, "Annotation", 0, 0, "Previous Annotation|Next Annotation|-|Text Category|Font|Size|Style|"
                           "Text Assistant|-|Line|Curve|Line and Curve Style|-|Horizontal Lock|"
                           "Vertical Lock|-|All Notation Contexts|Only In Score|Not In Score|"
                           "This Notation Context Only"},
  {26, "Text Category", 11, 4, "Title|Subtitle|Composer|Poet, Lyricist|Copyright|Label|-|Lyric|"
                               "Dynamic|Tempo Marking|Tempo Alteration|Mood|-|Ornament|"
                               "Articulation|Pause|Breath|Pedal|-|Bowing|Fingering|Fret Grid|"
                               "Chord Symbol.|MIDI|-|Rehearsal|Ending, Segno|-|Other Text|-|"
                               "Model for Category:..."},
  {12, "Font", 11, 5, "Quor|Sayl|Sonata|Geneva|Times|Symbol|-"},
  {27, "Size", 11, 6, "10 point|11 point|12 point|14 point|16 point|18 point|20 point|24 point|"
                      "28 point|32 point|-|Point Size..."},
  {13, "Style", 11, 7, "Plain|Bold|Italic|Underline|-|Centered|Leave Space|Staff Size Adjust|"
                       "Position Lock|-|Boxed|Center Hyphens|Extend Underlines|Flat Underlines|"
                       "Fingering|Stack Vertically|-|Hidden|Do Not Interpret|Draw In White|Color..."},
  {25, "Text Assistant", 11, 8, "Title|Subtitle|Composer|Poet, Lyricist|Copyright|-|Dynamic|"
                                "Tempo Marking|Ornament|Other Symbols|-|Fret Grid|Chord Symbol.|"
                                "General MIDI"},
  {23, "Line", 11, 10, "Line|Hairpin|Tuplet Bracket|-|Plain Bracket| - left side only|"
                       " - right side only|-|Rectangle| - left side only| - right side only|"
                       " - top only| - bottom only"},
  {24, "Curve", 11, 11, "Curves Up|Curves Down"},
  {28, "Line and Curve Style", 11, 12, "Thick|Normal|Thin|Line Width...|Dashed...|Extend|-|"
                                       "Draw In White|Color..."},
};
// clang-format on

std::vector<std::string> split(const std::string& items) {
  std::vector<std::string> out;
  std::stringstream in(items);
  for (std::string item; std::getline(in, item, '|');) out.push_back(item);
  return out;
}

// How the menus list an item: its text, "^" and its Command key.
std::string listed(int16_t menu, int item) {
  if (platform_menu_item_is_separator(menu, item)) return "-";
  bool control = false;
  const uint8_t key = platform_item_key(menu, item, &control);
  std::string text = platform_menu_item_text(menu, item);
  if (key && !control) text += std::string("^") + char(key);
  return text;
}

using Pair = std::pair<int, int>;

// test-output/app/<name> of the build folder, made when missing.
std::string test_output_folder(const std::string& name) {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = build / "test-output" / "app" / name;
  std::filesystem::create_directories(folder);
  return folder.string();
}

std::set<Pair> enabled_items() {
  std::set<Pair> on;
  for (int16_t m = 2; m <= MENU_COUNT; ++m)
    for (int i = 1; i <= platform_menu_item_count(m); ++i)
      if (platform_menu_item_enabled(m, i)) on.insert({m, i});
  return on;
}

class MenuTables : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    VeskMemory_Init();
  }
};

TEST_F(MenuTables, EveryMenuAndItemAsTheMenusListThem) {
  for (int letter = 'A'; letter <= 'Z'; ++letter) prefs.set_command_key(letter, {});
  build_menus();
  ASSERT_EQ(std::size(EXPECTED_MENUS), 32u);
  for (const ExpectedMenu& m : EXPECTED_MENUS) {
    SCOPED_TRACE("menu " + std::to_string(m.id));
    EXPECT_EQ(platform_menu_title(m.id), m.title);
    const std::vector<std::string> items = split(m.items);
    const int count = platform_menu_item_count(m.id);
    const int fixed = m.id == FONT_MENU ? 7 : int(items.size());
    if (m.id != FONT_MENU) EXPECT_EQ(count, int(items.size()));
    for (int i = 1; i <= fixed && i <= count; ++i) EXPECT_EQ(listed(m.id, i), items[size_t(i - 1)]);
    if (m.parent) EXPECT_EQ(platform_item_submenu(m.parent, m.parent_item), m.id);
  }
  EXPECT_EQ(platform_menu_bar(), (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 7, 8, 10, 9, 11}));
  // Bold, Italic and Underline are drawn in their faces.
  EXPECT_EQ(platform_menu_item_style(STYLE_MENU, 3), ITEM_STYLE_ITALIC);
  // The Font menu: the six standard fonts, a separator, then every installed font.
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(font_code_of_item(i), -i);
  EXPECT_EQ(first_system_font_item, 8);
  EXPECT_EQ(font_menu_count, platform_menu_item_count(FONT_MENU));
  EXPECT_EQ(text_template->get(xtextfont), -5);
  EXPECT_EQ(midi_source_count, 2);
  EXPECT_EQ(midi_destination_count, 3);
}

TEST_F(MenuTables, ShortcutTablesAreAppliedAndEntriesNamingNoItemCleared) {
  prefs.set_command_key('J', {3, 20});  // Edit has 19 items without the font
  prefs.set_command_key('K', {12, 2});  // "Sayl"
  prefs.set_control_key('A', {12, 2});  // Control letters only name items of the bar's menus
  prefs.set_control_key('B', {6, 5});
  build_menus();
  EXPECT_EQ(prefs.command_key('J'), MenuCommand{});
  EXPECT_EQ(set_menu_item_key(12, 2, ASK_ITEM_KEY, 0), 'K');
  EXPECT_EQ(prefs.control_key('A'), MenuCommand{});
  EXPECT_EQ(set_menu_item_key(6, 5, ASK_ITEM_KEY, 0), -'B');
  // The default Q names File item 17, which the File menu does not show: Command-Q is the
  // application's Quit instead.
  EXPECT_EQ(prefs.command_key('Q'), MenuCommand{});
  EXPECT_EQ(menu_key_command('Q'), int32_t((uint32_t(uint16_t(APPLICATION_QUIT_MENU)) << 16) | 1));
  EXPECT_EQ(edit_options_item(), 19);

  platform_clear_menus();
  music_font_numbers[FONT_SLOT_SIMPLIFIED] = FONT_SIMPLIFIED_NOTATION;
  prefs.set_command_key('J', {3, 20});
  build_menus();
  EXPECT_EQ(platform_menu_item_text(EDIT_MENU, 18), "Simplified Music Notation");
  EXPECT_EQ(platform_menu_item_text(EDIT_MENU, 20), "Options...");
  EXPECT_EQ(set_menu_item_key(3, 20, ASK_ITEM_KEY, 0), 'J') << "kept with 20 items";
}

// ---- The menu pass -----------------------------------------------------------------------------

class MenuState : public AppTest {
 protected:
  void open_piece() {
    ASSERT_TRUE(write_piece_of_pages(dir + "/song.vesk", 2, 2));
    ASSERT_TRUE(start({dir + "/song.vesk"}));
  }
  bool on(int16_t menu, int item) { return platform_menu_item_enabled(menu, item); }
  bool marked(int16_t menu, int item) { return platform_menu_item_checked(menu, item); }
  std::string text(int16_t menu, int item) { return platform_menu_item_text(menu, item); }
  // A plotted note of the page, in the first system when `first`, else in a later one.
  Drosa plotted_note(bool first) {
    for (Drosa p = piece_start[0]; p; p = p->xnext)
      if (is_plotted_note(p) && !p->get(xrest) && first_system_of_page(p) == (first ? 1 : 0))
        return p;
    return NIL;
  }
};

TEST_F(MenuState, WithNoPieceOnlyOpeningTheDevicesAndOptionsAreOffered) {
  ASSERT_TRUE(start({}));
  std::set<Pair> expected{{2, 1},   {2, 2},   {2, 3},   {31, 1}, {3, edit_options_item()},
                          {10, 11}, {10, 13}, {10, 14}, {20, 1}, {21, 1},
                          {21, 3},  // the built-in synthesizer, silent here
                          {7, 6}};  // Special Accidentals... has no piece test
  for (int i = 1; i <= 7; ++i) expected.insert({15, i});
  EXPECT_EQ(enabled_items(), expected);
  EXPECT_TRUE(marked(KEYBOARD_SHIFT_MENU, 4)) << "Normal";
  EXPECT_TRUE(marked(ZOOM_MENU, 7)) << "Standard";
  EXPECT_EQ(item_enabled_flags.close, 0);
}

TEST_F(MenuState, ACleanAndAChangedPiece) {
  open_piece();
  EXPECT_FALSE(on(FILE_MENU, 6)) << "nothing to save";
  EXPECT_FALSE(on(FILE_MENU, 10));
  EXPECT_TRUE(on(FILE_MENU, 4) && on(FILE_MENU, 7) && on(FILE_MENU, 14));
  EXPECT_TRUE(on(FILE_MENU, 1)) << "New... asks to close the piece's window";
  EXPECT_FALSE(on(PAGE_MENU, 1));
  EXPECT_TRUE(on(PAGE_MENU, 2) && on(PAGE_MENU, 4) && on(PAGE_MENU, 5));
  EXPECT_EQ(platform_menu_item_count(CONTEXT_MENU), 6);
  EXPECT_EQ(text(CONTEXT_MENU, 6), ncontext_name_of(1));
  EXPECT_TRUE(marked(CONTEXT_MENU, 6));
  std::strcpy(ncontext_name[1], "Flute;(solo)/2");  // shown as it stands
  update_menus(0);
  EXPECT_EQ(text(CONTEXT_MENU, 6), "Flute;(solo)/2");
  EXPECT_FALSE(on(EDIT_MENU, 1)) << "nothing to undo";
  EXPECT_EQ(menu_bar_state, 3);
  const long draws = platform_menu_bar_draw_count();
  update_menus(0);
  EXPECT_EQ(platform_menu_bar_draw_count(), draws)
      << "the bar is redrawn only when a window comes or goes";

  mark_piece_changed(1, 1, 0);
  update_menus(0);
  EXPECT_TRUE(on(FILE_MENU, 6) && on(FILE_MENU, 10));
  const std::string file = piece_fsspec;
  piece_fsspec = dir + "/:from: song.musicxml";  // imported: no disk copy to go back to
  update_menus(0);
  EXPECT_FALSE(on(FILE_MENU, 10));
  piece_fsspec = file;
  current_page = 2;
  update_menus(0);
  EXPECT_TRUE(on(PAGE_MENU, 1));
  EXPECT_FALSE(on(PAGE_MENU, 2));
  run_until_idle();
}

TEST_F(MenuState, ASelectedNoteARestARectangleAndTheModifierKeys) {
  open_piece();
  Drosa note = plotted_note(false);
  ASSERT_TRUE(note);
  set_insertion_point(note, 0, -10);
  update_menus(0);
  EXPECT_EQ(text(EDIT_MENU, 5), "Copy Music");
  EXPECT_TRUE(on(EDIT_MENU, 5) && on(EDIT_MENU, 7) && on(CLEAR_MENU, 1));
  EXPECT_EQ(item_enabled_flags.clear_note, 1);
  EXPECT_TRUE(on(NOTE_MENU, 4) && on(STEM_MENU, 3) && on(HEAR_MENU, 6) && on(PAGE_MENU, 8));
  EXPECT_FALSE(on(NOTE_MENU, 14)) << "Hide Rest is for rests";
  EXPECT_FALSE(on(NOTE_MENU, 10)) << "not a tablature staff";

  note->set(xrest, 1);
  update_menus(0);
  EXPECT_TRUE(on(NOTE_MENU, 14) && on(NOTE_MENU, 15));
  EXPECT_FALSE(on(NOTE_MENU, 4) || on(STEM_MENU, 3) || on(HEAR_MENU, 6) ||
               on(MODIFY_PLAYBACK_MENU, 1));
  note->set(xrest, 0);

  inverted_selection_rect = VirtualRect{100, 100, 400, 300};
  platform_set_test_modifiers(true, MOD_OPTION);
  update_menus(SOURCE_MENU_BAR);
  EXPECT_EQ(text(EDIT_MENU, 5), "Copy Rectangle (low resolution)");
  EXPECT_EQ(text(FILE_MENU, 2), "Open Any...");
  EXPECT_EQ(text(FILE_MENU, 6), "Graphics Save");
  EXPECT_FALSE(on(FILE_MENU, 14)) << "no printing with a rectangle";
  EXPECT_FALSE(on(CLEAR_MENU, 1));
  update_menus(0);
  EXPECT_EQ(text(EDIT_MENU, 5), "Copy Rectangle");
  EXPECT_EQ(text(FILE_MENU, 2), "Open...");
  inverted_selection_rect = VirtualRect{};
}

TEST_F(MenuState, APublishedPieceAndALockedContext) {
  open_piece();
  set_insertion_point(plotted_note(false), 0, -10);
  assign_selection_field(xaccplot, 1, 1);  // something to undo
  set_undo_mark(0);
  update_menus(0);
  ASSERT_TRUE(on(EDIT_MENU, 1));
  EXPECT_TRUE(on(PAGE_MENU, 14) && on(VOICE_MENU, 5));

  set_options_i16(current_ncontext, OPTIONS_CONTEXT_EDIT_LOCK, 1);
  update_menus(0);
  EXPECT_FALSE(on(PAGE_MENU, 14) || on(VOICE_MENU, 5) || on(NOTE_MENU, 4));
  EXPECT_FALSE(on(STEM_MENU, 3));
  EXPECT_TRUE(on(EDIT_MENU, 5)) << "copying changes nothing";
  set_options_i16(current_ncontext, OPTIONS_CONTEXT_EDIT_LOCK, 0);

  set_options_i16(1, OPTIONS_PUBLISHED, 1);
  update_menus(0);
  EXPECT_FALSE(on(EDIT_MENU, 1) || on(EDIT_MENU, 5) || on(FILE_MENU, 12) || on(NOTE_MENU, 4));
  EXPECT_TRUE(on(PAGE_MENU, 4) && on(PAGE_MENU, 2) && on(HEAR_MENU, 1) && on(CONTEXT_MENU, 6));
  EXPECT_TRUE(on(EDIT_MENU, 17) && on(ZOOM_MENU, 7));
  EXPECT_FALSE(on(ZOOM_MENU, 1)) << "Save Layout... changes the piece";
  set_options_i16(1, OPTIONS_PUBLISHED, 0);
  run_until_idle();
}

TEST_F(MenuState, AnInsertionPointWithoutAWindowIsReportedOnceAndCleared) {
  VeskMemory_Init();
  build_menus();
  insertion_point = newDrosa(NOTE, 0);
  update_menus(0);
  ASSERT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(insertion_point, NIL);
  update_menus(0);
  EXPECT_TRUE(take_reports().empty());
}

// ---- Commands ----------------------------------------------------------------------------------

using Commands = MenuState;

TEST_F(Commands, UnknownMenusTogglesByTheirMarksAndOneUndoStepPerCommand) {
  open_piece();
  platform_hilite_menu(5);
  do_menu_item(0, 1, SOURCE_MENU_BAR);
  EXPECT_EQ(platform_hilited_menu(), 5) << "menu 0 does nothing at all";
  do_menu_item(33, 1, SOURCE_MENU_BAR);
  ASSERT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(platform_hilited_menu(), 0);

  Drosa note = plotted_note(true);
  set_insertion_point(note, 0, -10);
  note->set(xdir, 0);
  update_menus(0);
  do_menu_item(STEM_MENU, 1, SOURCE_MENU_BAR);
  EXPECT_EQ(note->get(xdir), 2);
  update_menus(0);
  EXPECT_TRUE(marked(STEM_MENU, 1));
  do_menu_item(STEM_MENU, 1, SOURCE_MENU_BAR);
  EXPECT_EQ(note->get(xdir), 3) << "the marked direction gives the stem back to the rule";
  do_menu_item(NOTE_MENU, 4, SOURCE_MENU_BAR);
  EXPECT_EQ(note->get(xaccplot), 1);
  do_menu_item(EDIT_MENU, 1, SOURCE_MENU_BAR);
  EXPECT_EQ(note->get(xaccplot), 0);
  EXPECT_EQ(note->get(xdir), 3) << "one command undone";
  do_menu_item(EDIT_MENU, 1, SOURCE_MENU_BAR);
  EXPECT_EQ(note->get(xdir), 2);
  run_until_idle();
}

TEST_F(Commands, CommandShiftZRedoesAndCommandShiftNOpensANewPiece) {
  open_piece();
  Drosa note = plotted_note(true);
  set_insertion_point(note, 0, -10);
  note->set(xdir, 0);
  update_menus(0);
  do_menu_item(STEM_MENU, 1, SOURCE_MENU_BAR);
  ASSERT_EQ(note->get(xdir), 2);
  update_menus(0);
  const auto press = [this](uint8_t c, uint16_t modifiers) {
    EventRecord key;
    key.what = EVENT_KEY_DOWN;
    key.message = c | (6u << 8);
    key.modifiers = modifiers;
    platform_post_event(key);
    run_until_idle();
  };
  press('z', MOD_COMMAND);
  EXPECT_EQ(note->get(xdir), 0) << "undone";
  press('Z', MOD_COMMAND | MOD_SHIFT);
  EXPECT_EQ(note->get(xdir), 2) << "redone, not undone again";
  press('Z', MOD_COMMAND | MOD_SHIFT);
  EXPECT_EQ(note->get(xdir), 2) << "nothing to redo: nothing happens";
  EXPECT_EQ(menu_key_command('N', true), (int32_t(FILE_MENU) << 16) | 1);
  EXPECT_EQ(menu_key_command('N', false), (int32_t(VOICE_MENU) << 16) | 5) << "Note Entry";
  EXPECT_EQ(menu_key_command('S', true), menu_key_command('S', false));
  const std::string folder = test_output_folder("menus");
  EXPECT_TRUE(platform_save_menu_png(EDIT_MENU, (folder + "/edit-redo-key.png").c_str()));
}

TEST_F(Commands, ZoomAndTheSmallSubmenus) {
  open_piece();
  do_menu_item(ZOOM_MENU, 9, SOURCE_MENU_BAR);
  EXPECT_EQ(zoom_factor, 5.0f);
  EXPECT_EQ(reformat_pending, 1);
  run_until_idle();
  update_menus(0);
  EXPECT_TRUE(marked(ZOOM_MENU, 9));
  EXPECT_EQ(misplaced_pixels(), 0);
  // Screen Width: the page as wide as the screen lets it be (less the scroll bar, in steps of
  // 16 pixels), at whatever zoom that takes.
  platform_set_test_screen(true, {0, 0, 1400, 1000});
  do_menu_item(ZOOM_MENU, 18, SOURCE_MENU_BAR);
  EXPECT_EQ(page_pixel_width, (1400 - 15) / 16 * 16);
  EXPECT_GT(zoom_factor, 0.0f);
  EXPECT_LT(zoom_factor, 5.0f);
  run_until_idle();
  EXPECT_EQ(misplaced_pixels(), 0);
  do_menu_item(ZOOM_MENU, 9, SOURCE_MENU_BAR);
  EXPECT_EQ(zoom_factor, 5.0f);
  run_until_idle();
  do_menu_item(ZOOM_MENU, 3, SOURCE_MENU_BAR);
  EXPECT_EQ(reformat_pending, 0) << "the same zoom keeps the page image";
  update_menus(0);
  EXPECT_TRUE(marked(ZOOM_MENU, 3)) << "Resizable";
  zoom_factor = 1.0f;  // Maximum (10x) carries no mark
  update_menus(0);
  for (int i = 1; i <= 18; ++i) EXPECT_EQ(marked(ZOOM_MENU, i), i == 3);
  zoom_factor = 5.0f;

  do_menu_item(KEYBOARD_SHIFT_MENU, 2, SOURCE_MENU_BAR);
  EXPECT_EQ(keyboard_shift, 24);
  do_menu_item(KEYBOARD_SHIFT_MENU, 8, SOURCE_MENU_BAR);
  ASSERT_EQ(take_reports().size(), 1u);
  do_menu_item(MIDI_OUTPUT_MENU, 4, SOURCE_MENU_BAR);
  EXPECT_EQ(prefs.i32(PREFS_MIDI_OUTPUT_DEST), 1);
  do_menu_item(MIDI_OUTPUT_MENU, 1, SOURCE_MENU_BAR);
  EXPECT_EQ(prefs.i32(PREFS_MIDI_OUTPUT_DEST), -2);
}

TEST_F(Commands, CommandsNotBuiltYetSaySoAndSplitPageMakesAPage) {
  open_piece();
  for (const Pair& command : std::vector<Pair>{{3, 4}}) {
    do_menu_item(int16_t(command.first), int16_t(command.second), SOURCE_MENU_BAR);
    const std::vector<Report> said = take_reports();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].level, 2);
    EXPECT_NE(said[0].text.find("is not available yet"), std::string::npos) << said[0].text;
  }

  set_insertion_point(plotted_note(false), 0, -10);
  const int pages = page_count;
  do_menu_item(PAGE_MENU, 8, SOURCE_MENU_BAR);
  run_until_idle();
  EXPECT_EQ(page_count, pages + 1);
  EXPECT_EQ(undo_heads[0], NIL);
  const std::string counted = " of " + std::to_string(pages + 1);
  EXPECT_NE(platform_window_title(music_window()).find(counted), std::string::npos)
      << "the title counts the new page: " << platform_window_title(music_window());
}

// A song of a voice and a piano imported: in every measure of the piano's second voice a
// forward of 4 divisions comes before its half note, and the voice has notes of values that
// add up to a little less than the measure. Part Extraction of the piano gives the piano its
// own systems, as many pages as the Systems dialog said, and leaves the Score's systems alone.
TEST_F(Commands, PartExtractionOfAnImportedSongLaysOutTheNewContextAlone) {
  auto part = [](const char* id, const std::string& measure) {
    std::string d = "<part id=\"" + std::string(id) + "\">";
    for (int m = 1; m <= 40; ++m) {
      d += "<measure number=\"" + std::to_string(m) + "\">";
      if (m == 1)
        d += "<attributes><divisions>1024</divisions><time><beats>2</beats><beat-type>4"
             "</beat-type></time></attributes>";
      if (m % 8 == 1 && m > 1) d += "<print new-system=\"yes\"/>";
      d += measure + "</measure>";
    }
    return d + "</part>";
  };
  auto note = [](const char* step, int duration, const char* type, int voice,
                 const char* extra = "") {
    return "<note><pitch><step>" + std::string(step) + "</step><octave>4</octave></pitch>" +
           "<duration>" + std::to_string(duration) + "</duration><voice>" + std::to_string(voice) +
           "</voice><type>" + type + "</type>" + extra + "</note>";
  };
  const char* triplet =
      "<time-modification><actual-notes>3</actual-notes><normal-notes>2</normal-notes>"
      "</time-modification>";
  std::string piano;
  for (int d : {341, 342, 341, 341, 342}) piano += note("E", d, "eighth", 1, triplet);
  piano +=
      "<backup><duration>1707</duration></backup><forward><duration>4</duration><voice>2"
      "</voice></forward>" +
      note("C", 2048, "half", 2);
  const std::string song =
      "<?xml version=\"1.0\"?><score-partwise version=\"3.1\"><part-list>"
      "<score-part id=\"P1\"><part-name>Voice</part-name></score-part>"
      "<score-part id=\"P2\"><part-name>Piano</part-name></score-part></part-list>" +
      part("P1", note("G", 1024, "quarter", 1) + note("A", 1024, "quarter", 1)) +
      part("P2", piano) + "</score-partwise>";
  const std::string path = dir + "/song.musicxml";
  std::ofstream(path) << song;
  ASSERT_TRUE(start({path}));
  take_reports();
  auto score_systems = [] {
    const int16_t context = current_ncontext;
    current_ncontext = 1;
    std::string text;
    for (int v = 0; v < voice_count; ++v) {
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (effective_kind(p) == ENDSYST) text += std::to_string(bar_number_of_node(p)) + " ";
      text += "| ";
    }
    current_ncontext = context;
    return text;
  };
  const std::string systems = score_systems();

  script_hit(NCONTEXT_NEW);
  script_click(50, 70 + 14 + 7);  // the piano
  script_hit(NCONTEXT_DONE);
  script_hit(1);  // the Systems dialog as it proposes
  script_hit(1);  // and the pages it rounds to
  do_menu_item(CONTEXT_MENU, 4, SOURCE_MENU_BAR);
  run_until_idle();
  const std::vector<ShownText> asked = shown();
  ASSERT_EQ(asked.size(), 3u);
  int promised = 0;
  ASSERT_EQ(std::sscanf(asked[2].text.c_str(), "This rounds to %d pages", &promised), 1);
  EXPECT_EQ(take_reports().size(), 2u) << "what the dialog says of a new context, only";
  EXPECT_EQ(current_ncontext, 2);
  int breaks = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      breaks += p->xkind == ENDSYST && p->xcontext == 2;
  EXPECT_GT(breaks, 0);
  for (int page = 1; page <= page_count; ++page) ASSERT_EQ(format_page(page, 0), 1);
  EXPECT_EQ(page_count, promised);
  format_page(1, 0);
  save_window("part_extraction");
  EXPECT_EQ(score_systems(), systems);
  EXPECT_TRUE(take_reports().empty());
}

TEST_F(Commands, ChoicesInTheWindowSystemsMenusAndTheBarOpenedWithOption) {
  open_piece();
  EXPECT_FALSE(platform_choose_menu_item(FILE_MENU, 6)) << "Save is disabled";
  ASSERT_TRUE(platform_choose_menu_item(EDIT_MENU, 14));
  run_until_idle();
  EXPECT_EQ(allow_any_alt_click, 1);
  EXPECT_TRUE(marked(EDIT_MENU, 14));

  // A Command key chooses only an enabled item.
  EventRecord key;
  key.what = EVENT_KEY_DOWN;
  key.message = 's' | (1u << 8);
  key.modifiers = MOD_COMMAND;
  platform_post_event(key);
  run_until_idle();
  EXPECT_TRUE(take_reports().empty()) << "nothing to save";
  mark_piece_changed(0, 1, 0);
  update_menus(0);
  platform_post_event(key);
  run_until_idle();
  EXPECT_TRUE(take_reports().empty());
  EXPECT_EQ(DrosaDirty & 1, 0) << "Save ran";

  platform_set_test_modifiers(true, MOD_OPTION);
  platform_click_menu_bar(FILE_MENU);
  run_until_idle();
  EventRecord activate;  // the window system's events come and go while the menu is open
  activate.what = EVENT_ACTIVATE;
  activate.window = music_window();
  platform_post_event(activate);
  run_until_idle();
  EXPECT_EQ(platform_menu_item_text(FILE_MENU, 2), "Open Any...") << "kept while the menu is open";
  platform_set_test_modifiers(false, 0);
  script_take_shown();
  script_hit(2);  // Cancel, when Open asks whether the window of the piece may close
  ASSERT_TRUE(platform_choose_menu_item(FILE_MENU, 2));
  run_until_idle();
  // Images to look at: the bar, and menus with marks, keys, disabled items and submenus.
  const std::string folder = test_output_folder("menus");
  EXPECT_TRUE(platform_save_menu_bar_png(music_window(), (folder + "/bar.png").c_str()));
  for (int16_t menu : {FILE_MENU, EDIT_MENU, STEM_MENU, MODIFY_PLAYBACK_MENU, STYLE_MENU})
    EXPECT_TRUE(
        platform_save_menu_png(menu, (folder + "/menu" + std::to_string(menu) + ".png").c_str()));
  // The choice ran (Open first asks whether the piece's window may close) and the item's text
  // follows the modifier keys again.
  const std::vector<ShownText> shown = script_take_shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_NE(shown[0].text.find("Close"), std::string::npos);
  EXPECT_EQ(platform_menu_item_text(FILE_MENU, 2), "Open...");
}

}  // namespace
