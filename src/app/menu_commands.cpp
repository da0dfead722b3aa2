// menu_commands.cpp: command dispatch: do_menu_item sends each (menu, item) pair to the handler
// of its menu, which runs its preamble and then the item's operation.
//
// The preambles: the music menus (Page, Voice, Note, Stem, Symbol) stop playback (except for
// moving to the previous or next page, part or note), end annotation editing outside
// MUSIC_MODE and open an undo step; Context and Hear do all three always; File, Import and
// Export also finish the text being edited; the annotation-side menus only stop playback; Edit
// stops playback and opens an undo step.
//
// A toggle reads the item's check mark, which the last menu pass set from the selection:
// choosing a marked item clears the property, an unmarked one sets it. Operations whose work
// belongs to parts of the program not built yet go to that part's routine in
// menu_unavailable.cpp, which says so.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "app/app_globals.h"
#include "app/cursors.h"
#include "app/event_loop.h"
#include "app/file_commands.h"
#include "app/menu_unavailable.h"
#include "app/menus.h"
#include "app/music_window.h"
#include "app/page_commands.h"
#include "app/parts_voices_dialog.h"
#include "app/prefs.h"
#include "app/shortcut_keys.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/menus.h"

namespace {

// ---- Preambles ---------------------------------------------------------------------------------

// False when the command is not to run: the store has no room left for the change it makes
// (page moves and the moves of the Voice and Note menus need none).
bool music_preamble(int16_t menu, int item) {
  const bool moves =
      (menu == PAGE_MENU || menu == VOICE_MENU || menu == NOTE_MENU) && (item == 1 || item == 2);
  if (!moves) stop_playing(0);
  if (MODE != MUSIC_MODE) end_anno_selection(MUSIC_MODE, 1);
  set_undo_mark(0);
  return moves || menu == PAGE_MENU || room_for_edit();
}

void full_preamble() {
  stop_playing(0);
  end_anno_selection(MUSIC_MODE, 1);
  set_undo_mark(0);
}

bool page_rectangle_selected() { return inverted_selection_rect.x2 > 0; }

bool marked(int16_t menu, int item) { return platform_menu_item_checked(menu, item); }

// A switch of the selection: off when the item is marked, else on.
void toggle_field(int16_t menu, int item, const NodeField& field) {
  assign_selection_field(field, marked(menu, item) ? 0 : 1, 1);
}

// ---- Edit and its submenus ---------------------------------------------------------------------

void cut_or_copy(int item) {
  if (MODE != MUSIC_MODE && group_selected) {
    anno_cut_copy(item, 'M', NIL);
  } else if (page_rectangle_selected()) {
    if (item == 4) REPORT_ERROR(4, "%s", "Illegal operation on a rectangle (menu.c)");
    copy_to_clipboard(menu_modifiers != 0);
  } else if (MODE == TEXT_MODE) {
    if (current_anno)
      anno_cut_copy(item, 'M', NIL);
    else
      text_edit_command(item);
  } else if (current_anno) {
    anno_cut_copy(item, 'M', NIL);
  } else if (item == 5) {
    copy_music_command(menu_modifiers != 0);
  } else {
    editing_command_unavailable(EDIT_MENU, item);
  }
}

void paste() {
  if (clipboard_kind == 1 && text_edit_length() == 0) {
    if (MODE == TEXT_MODE) text_finish(1);
    apply_to_cursor_or_group(anno_paste_one, 1);
    mark_piece_changed(1, 1, current_ncontext);
    if (MODE == TEXT_MODE && !current_anno) text_start(2);
  } else if (MODE == TEXT_MODE) {
    text_edit_command(6);
  } else if (clipboard_kind == 2) {
    paste_music_command();
  } else {
    REPORT_ERROR(4, "%s", "Paste confusion in menu.c.");
  }
}

void enable_duration_edits() {
  if (!duration_edits_enabled && voice_count > 1) {
    char question[REPORT_TEXT_SIZE];
    std::snprintf(question, sizeof question,
                  "Are you sure you want to Enable Duration Edits?%s%sYou will need to be careful "
                  "to keep the same number of beats in each voice when you edit note "
                  "durations.  ",
                  "\n", "\n");
    if (!yesno_alert(question, 1)) return;
  }
  duration_edits_enabled = !duration_edits_enabled;
  place_piano_window();
}

void edit_command(int item) {
  stop_playing(0);
  if (item == 1 || item == 2) end_anno_selection(MUSIC_MODE, 1);
  set_undo_mark(0);
  if (item == edit_shortcut_keys_item()) {
    show_shortcut_help();
    return;
  }
  if (item == edit_options_item()) {
    end_anno_selection(MUSIC_MODE, 1);
    if (options_dialog() && voice_count > 0) mark_piece_changed(1, 2, 0);
    return;
  }
  // The commands that add to the piece wait for room in the store.
  if ((item == 6 || item == 8 || item == 10 || item == 12) && !room_for_edit()) return;
  switch (item) {
    case 1:
    case 2:
      undo_redo(item == 1 ? 1 : 0);
      // The step may take away or bring back the end of a page that a format made (a page
      // too full for its systems is split in two): the count follows the voices again, and a
      // view left on a page taken away (following a playback there) shows the last one.
      count_pages();
      current_page = std::clamp<int32_t>(current_page, 1, std::max<int16_t>(page_count, 1));
      break;
    case 4:
    case 5:
      cut_or_copy(item);
      break;
    case 6:
      paste();
      break;
    case 7:
    case 11:
      REPORT_ERROR(4, "%s", "Submenu error in the EDIT menu!");
      break;
    case 8:
      end_anno_selection(MUSIC_MODE, 1);
      copy_measures_dialog();
      break;
    case 10:
      do_align_dialog();
      break;
    case 12:
      extend_line_to_here();
      break;
    case 14:
      allow_any_alt_click = !allow_any_alt_click;
      if (allow_any_alt_click) line_template->set(xmetaline, 0);
      break;
    case 15:
      enable_duration_edits();
      break;
    case 18:  // "Simplified Music Notation": the later items are handled above without it
      prefs.set_use_simplified_notation(prefs.use_simplified_notation() ? 0 : 1);
      mark_piece_changed(1, 2, 0);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Edit menu unrecognized!", short(item));
      break;
  }
}

// The Duplicate warnings of an item, one after the other; false when one was cancelled.
bool duplicate_warnings_accepted(int item) {
  static const char* const WARNINGS[3][3] = {
      {"Your settings are unusual for Duplicate At Each System: Normally the Horizontal Lock and "
       "Vertical Lock are selected, and All Notation Contexts is not selected.",
       "You are using Duplicate At Each System -- is that what you want?  Before you used "
       "Duplicate In Every Part with these annotations!",
       "You are using Duplicate At Each System -- is that what you want?  Before you used "
       "Duplicate On Each Page with these annotations!"},
      {"Your annotation is unusual for Duplicate On Each Page: Normally the annotation is "
       "associated with the first note on the page, Horizontal Lock and Vertical Lock are "
       "selected, and All Notation Contexts is not selected.",
       "You are using Duplicate On Each Page -- is that what you want?  Before you used "
       "Duplicate In Every Part with these annotations!",
       "You are using Duplicate On Each Page -- is that what you want?  Before you used "
       "Duplicate At Each System with these annotations!"},
      {"Your settings are unusual for Duplicate In Every Part: Normally Only In Score and "
       "Vertical Lock are selected.",
       "You are using Duplicate In Every Part -- is that what you want?  Before you used "
       "Duplicate At Each System with these annotations!",
       "You are using Duplicate In Every Part -- is that what you want?  Before you used "
       "Duplicate On Each Page with these annotations!"}};
  // The flag behind each warning: unusual settings for the item's kind, then repetitions of
  // the two other kinds present (3 At Each System, 4 On Each Page, 5 In Every Context).
  static const int FLAGS[3][3] = {{0, 5, 4}, {1, 5, 3}, {2, 3, 4}};
  for (int w = 0; w < 3; ++w)
    if (duplicate_warnings[FLAGS[item - 1][w]] && !really_alert(WARNINGS[item - 1][w], 1))
      return false;
  return true;
}

void duplicate_command(int item) {
  if (item < 1 || item > 3) {
    REPORT_ERROR(4, "Item %hd in Duplicate submenu unrecognized!", short(item));
    return;
  }
  if (!duplicate_warnings_accepted(item)) return;
  set_cursor(CURSOR_ID_WATCH);
  static void (*const DUPLICATES[3])(Drosa) = {anno_duplicate_each_system, anno_duplicate_each_page,
                                               anno_duplicate_every_part};
  for_each_selected(DUPLICATES[item - 1], 0);
  if (item == 3)
    mark_piece_changed(1, 1, 0);
  else
    mark_piece_changed(1, 3, current_ncontext);
}

// The zoom divisors of the Zoom items 5..16 (10 divided by the magnification).
constexpr float ZOOM_DIVISORS[12] = {20.0f / 0.75f, 20.0f / 1.5f,  10.0f, 20.0f / 3.0f,
                                     5.0f,          20.0f / 6.0f,  2.5f,  2.0f,
                                     20.0f / 12.0f, 20.0f / 14.0f, 1.25f, 1.0f};

void zoom_command(int item) {
  stop_playing(0);
  end_anno_selection(MUSIC_MODE, 1);
  if (item == 1) {
    layout_dialog();
    return;
  }
  const int context = current_ncontext > 0 ? current_ncontext : 1;
  bool resizable = options_struct[context][OPTIONS_DISPLAY] != 0;
  float divisor = zoom_factor;
  if (item == 3) resizable = !resizable;
  if (item >= 5 && item <= 16) divisor = ZOOM_DIVISORS[item - 5];
  if (item == 18) divisor = 0.0f;
  if (divisor != zoom_factor && music_window()) {
    zoom_factor = divisor;
    set_options_float(context, OPTIONS_SCALE, divisor);
    if (!offscreen_changesize()) REPORT_ERROR(4, "%s", "Memory logic error in doZOOM()");
    // The window takes the size the page needs at the new zoom, within the screen.
    grow_music_window(0, 0);
    make_cursor_visible();
    mark_views_changed(1, 2, current_ncontext);
  }
  options_struct[context][OPTIONS_DISPLAY] = resizable ? 1 : 0;
}

// ---- The other submenus handled here -----------------------------------------------------------

void keyboard_shift_command(int item) {
  static const int16_t SHIFTS[7] = {36, 24, 12, 0, -12, -24, -36};
  stop_playing(0);
  if (item >= 1 && item <= 7)
    keyboard_shift = SHIFTS[item - 1];
  else
    REPORT_ERROR(4, "Item %hd in Shift submenu unrecognized!", short(item));
  place_piano_window();
}

void import_command(int item) {
  file_preamble(item);
  if (item == 1) {
    open_piece_window(2);
  } else if (item == 2) {
    midi_import_active = 1;
    if (import_midi_file()) mark_piece_changed(1, 3, 0);
    midi_import_active = 0;
  }
}

void export_command(int item) {
  file_preamble(item);
  if (item == 1)
    export_musicxml();
  else if (item == 2)
    export_midi_file();
}

void text_assistant_command(int item) {
  stop_playing(0);
  if (MODE != TEXT_MODE) {
    const bool group = group_selected != 0;
    end_anno_selection(TEXT_MODE, 0);
    if (group) refresh_from_offscreen();
  }
  if (item >= 1 && item <= 14 && item != 6 && item != 11) {
    const int category = item - 1 - (item > 6) - (item > 11);
    if (text_assistant_dialog(category)) {
      current_anno = text_finish(1);
      if (current_anno) anno_highlight(current_anno, 2);
    }
  }
  place_piano_window();
}

// ---- Slurs and ties ----------------------------------------------------------------------------

// The items of the slur and tie submenus: the direction field (items 1 and 2), the switches,
// and the three hanging switches that work together.
struct SlurTieMenu {
  const NodeField* direction;
  const NodeField* hangs_right;
  const NodeField* hangs_left;
  const NodeField* only_left;
  int hangs_right_item;
  struct Switch {
    int item;
    const NodeField* field;
  } switches[6];
};

const SlurTieMenu MODIFY_SLUR_ITEMS{&xslur,
                                    &xhangRslur,
                                    &xhangLslur,
                                    &xleftonlyslur,
                                    5,
                                    {{3, &xcrawlslur},
                                     {9, &xsplitslur},
                                     {10, &xdashslur},
                                     {11, &xbendslur},
                                     {13, &xa_altslursize},
                                     {0, nullptr}}};
const SlurTieMenu ADDITIONAL_SLUR_ITEMS{&xa_slur,
                                        &xa_handRslur,
                                        &xa_hangLslur,
                                        &xa_leftonlyslur,
                                        5,
                                        {{3, &xa_crawlslur},
                                         {9, &xa_splitslur},
                                         {10, &xa_dashslur},
                                         {11, &bendslur},
                                         {0, nullptr},
                                         {0, nullptr}}};
const SlurTieMenu MODIFY_TIE_ITEMS{
    &xtie,
    &xhangRtie,
    &xhangLtie,
    &xleftonlytie,
    4,
    {{8, &xdashtie}, {9, &xbendtie}, {0, nullptr}, {0, nullptr}, {0, nullptr}, {0, nullptr}}};

// The playback code of a change of the hanging switches.
constexpr int HANGING_PLAYBACK = 41;

// One item of a slur or tie submenu; false for an item the menu does not have.
bool slur_or_tie_item(int16_t menu, int item, const SlurTieMenu& m) {
  const int right = m.hangs_right_item, left = right + 1, only = right + 2;
  if (item == 1 || item == 2) {
    assign_selection_field(*m.direction, item == 1 ? 2 : 1, 1);
  } else if (item == right) {
    toggle_field(menu, item, *m.hangs_right);
  } else if (item == left) {
    toggle_field(menu, item, *m.hangs_left);
    assign_selection_field(*m.only_left, 0, 1);
    recompute_selection_playback(0, 0, HANGING_PLAYBACK, 0);
  } else if (item == only) {
    toggle_field(menu, item, *m.only_left);
    assign_selection_field(*m.hangs_right, 0, 1);
    assign_selection_field(*m.hangs_left, 1, 1);
    recompute_selection_playback(0, 0, HANGING_PLAYBACK, 0);
  } else {
    const NodeField* field = nullptr;
    for (const auto& sw : m.switches)
      if (sw.field && sw.item == item) field = sw.field;
    if (!field) return false;
    toggle_field(menu, item, *field);
  }
  draw_piano_window();
  return true;
}

// ---- Tremolo beams -----------------------------------------------------------------------------

// Whether a note's tuplet values can stand for a tremolo beam (such as 2 in the time of 16);
// says once a command when they cannot.
void tremolo_check_cb(Drosa note) {
  if (!is_NOTE(note) || note->get(xtrembeam)) return;
  Drosa trial = copyDrosa(note);
  trial->set(xtrembeam, 1);
  int value = 0, dots = 0;
  const bool decodable = decode_note_type(trial, &value, &dots) != 0;
  destroyDrosa(trial);
  if (decodable || tremolo_warned) return;
  tremolo_warned = 1;
  REPORT_ERROR(2, "%s",
               "Tremolo beaming can only be used on pairs of beamed notes which have tuplet values "
               "like: 2 in the time of 16.  See the User's Manual.");
}

// ---- Annotation fields -------------------------------------------------------------------------

// Gives the selected annotations a value; in MUSIC_MODE nothing is selected on that side.
void assign_anno_field(const NodeField& field, int value) {
  if (MODE != MUSIC_MODE) assign_selection_field(field, value, 1);
}

// A switch of the selected annotations: off when the item is marked, else on; an inverted
// switch (the item marked while the field is clear) the other way round.
void toggle_anno_field(int16_t menu, int item, const NodeField& field, bool inverted = false) {
  const bool on = !marked(menu, item);
  assign_anno_field(field, on != inverted ? 1 : 0);
}

}  // namespace

// ---- The entry point ---------------------------------------------------------------------------

void do_menu_item(int16_t menu, int16_t item, int32_t source) {
  if (menu == 0) return;
  switch (menu) {
    case APPLICATION_QUIT_MENU:
      file_menu(FILE_QUIT, source);
      break;
    case APPLE_MENU:
      if (item == 1) about_vesk_alert();
      break;
    case FILE_MENU:
      file_menu(item, source);
      break;
    case EDIT_MENU:
      edit_command(item);
      break;
    case CONTEXT_MENU:
      context_menu(item, source);
      break;
    case PAGE_MENU:
      page_menu(item, source);
      break;
    case VOICE_MENU:
      voice_menu(item, source);
      break;
    case NOTE_MENU:
      note_menu(item, source);
      break;
    case STEM_MENU:
      stem_menu(item, source);
      break;
    case SYMBOL_MENU:
      symbol_menu(item, source);
      break;
    case HEAR_MENU:
      hear_menu(item, source);
      break;
    case ANNOTATION_MENU:
      annotation_menu(item, source);
      break;
    case FONT_MENU:
      font_menu(item, source);
      break;
    case STYLE_MENU:
      style_menu(item, source);
      break;
    case MODIFY_PLAYBACK_MENU:
      modify_playback_menu(item, source);
      break;
    case KEYBOARD_SHIFT_MENU:
      keyboard_shift_command(item);
      break;
    case CLEAR_MENU:
      clear_menu(item, source);
      break;
    case TAB_STRING_MENU:
      if (item == 1)
        apply_to_cursor_or_group(respell_note_step_up, 1);
      else if (item == 2)
        apply_to_cursor_or_group(respell_note_step_down, 1);
      else if (item == 3)
        apply_to_cursor_or_group(respell_note_step_zero, 1);
      else
        REPORT_ERROR(4, "Item %hd in Tab String submenu unrecognized!", item);
      break;
    case MODIFY_SLUR_MENU:
      modify_slur_menu(item, source);
      break;
    case MODIFY_TIE_MENU:
      modify_tie_menu(item, source);
      break;
    case MIDI_INPUT_MENU:
      prefs.set_i32(PREFS_MIDI_INPUT_SOURCE, item - 3);
      midi_input_source_changed();
      break;
    case MIDI_OUTPUT_MENU:
      prefs.set_i32(PREFS_MIDI_OUTPUT_DEST, item - 3);
      refresh_output_choice();
      break;
    case DUPLICATE_MENU:
      duplicate_command(item);
      break;
    case LINE_MENU:
      line_menu(item, source);
      break;
    case CURVE_MENU:
      curve_menu(item, source);
      break;
    case TEXT_ASSISTANT_MENU:
      text_assistant_command(item);
      break;
    case TEXT_CATEGORY_MENU:
      text_category_menu(item, source);
      break;
    case SIZE_MENU:
      size_menu(item, source);
      break;
    case LINE_STYLE_MENU:
      line_style_menu(item, source);
      break;
    case ADDITIONAL_SLUR_MENU:
      additional_slur_menu(item, source);
      break;
    case EXPORT_MENU:
      export_command(item);
      break;
    case IMPORT_MENU:
      import_command(item);
      break;
    case ZOOM_MENU:
      zoom_command(item);
      break;
    default:
      REPORT_ERROR(4, "Logic error in do_menu_item: menu %hd", menu);
      break;
  }
  platform_hilite_menu(0);
#ifndef NDEBUG
  // Every command leaves the voice lists whole; debug builds check it after each one.
  if (voice_count > 0) {
    std::string problems;
    if (check_voice_lists(&problems))
      REPORT_ERROR(4, "Voice lists damaged by menu %hd item %hd: %s", menu, item, problems.c_str());
  }
#endif
}

int32_t menu_key_command(uint8_t character, bool shift) {
  const int32_t shifted = shift ? platform_shifted_key_command(character) : 0;
  const int32_t chosen = shifted ? shifted : menu_key_maps(character);
  const int16_t menu = int16_t(chosen >> 16);
  if (!chosen || menu < 1) return chosen;  // none, or the application's Quit
  return platform_menu_item_enabled(menu, chosen & 0xFFFF) ? chosen : 0;
}

// ---- Context, Page, Voice, Note ----------------------------------------------------------------

namespace {

// Part Extraction...: the notation-context dialog at the note's bar, after offering to save a
// changed piece when the preferences ask for it; the undo history goes.
void part_extraction_command(Drosa note) {
  const int32_t bar = note ? bar_number_of_node(note) : 1;
  if (prefs.ask_save_before_context_change() && (DrosaDirty & DIRTY_CHANGED) && !is_playing()) {
    const int answer = yesnocan_alert(
        "Do you want to save your piece now, before you use the Part Extraction... menu option?");
    if (answer == ANSWER_CANCEL) return;
    if (answer == ANSWER_YES) save_piece(0, 0, 0, &piece_fsspec);
  }
  ncontext_dialog(bar);
  clear_undo(1);
}

}  // namespace

void context_menu(int item, int32_t) {
  full_preamble();
  Drosa note = insertion_point ? insertion_point : find_nearest_visnote(insertion_point_pos, 0, 1);
  if (item == 1 && current_ncontext > 1) {
    change_ncontext(note, current_ncontext - 1, 0);
  } else if (item == 2 && current_ncontext < ncontext_count) {
    change_ncontext(note, current_ncontext + 1, 0);
  } else if (item == 4) {
    part_extraction_command(note);
  } else if (item >= 6 && item - 5 <= ncontext_count) {
    change_ncontext(note, item - 5, 0);
  }
}

void page_menu(int item, int32_t) {
  if (!music_preamble(PAGE_MENU, item)) return;
  switch (item) {
    case 1:
    case 2:
    case 4:
    case 5:
    case 6:
    case PAGE_GOTO_PENDING_BAR:
      page_navigation_command(item);
      break;
    case 8:
    case 9:
      if (item == 8)
        split_page_command();
      else
        combine_with_next_page_command();
      display_win_title(1, nullptr);  // the title counts the pages
      break;
    case 10:
      split_system_command();
      break;
    case 11:
      combine_with_next_system_command();
      break;
    case 12:
      systems_command();
      break;
    case 14:
    case 15:
      if (item == 14)
        make_measures(insertion_point ? find_prev_kind(TIMESIG, insertion_point) : NIL, 0, nullptr);
      else
        do_delete_measures();
      clear_undo(1);
      display_win_title(1, nullptr);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Page menu unrecognized!", short(item));
      break;
  }
}

namespace {

void note_entry_command() {
  if (!insertion_point) {
    if (Drosa note = find_nearest_visnote(insertion_point_pos, 0, 1))
      set_insertion_point(note, 0, -10);
  }
  if (insertion_point) {
    start_flashing(insertion_point);
    note_entry_active = !note_entry_active;
    end_anno_selection(MUSIC_MODE, 1);
  }
  draw_piano_window();
}

// Voice > Highlight Voice: marks every voice but the selected one, or takes the marks away.
void highlight_voice_command() {
  voice_highlighted = !voice_highlighted;
  stop_flashing(insertion_point);
  if (voice_highlighted)
    highlight_voice(-10, selected_voice);
  else
    highlight_voice(selected_voice, -10);
  if (insertion_point) start_flashing(insertion_point);
}

// Voice > Record...: the piano window shows that recording runs while it does.
void record_from_menu() {
  recording_from_menu = 1;
  draw_piano_window();
  const int32_t recorded = record_command(0);
  recording_from_menu = 0;
  draw_piano_window();
  piano_idle(0);
  if (recorded) mark_piece_changed(1, 3, 0);
}

}  // namespace

void voice_menu(int item, int32_t) {
  if (!music_preamble(VOICE_MENU, item)) return;
  switch (item) {
    case 1:
    case 2:
      if (voice_count > 0) {
        cursor_next_staff(item == 1 ? -1 : 1);
        make_cursor_visible();
        display_win_title(1, nullptr);
      }
      break;
    case 12:
      highlight_voice_command();
      break;
    case 11:
      staff_drag_dialog();
      break;
    case 4:
      record_from_menu();
      break;
    case 13:
      midi_channels_dialog();
      break;
    case 5:
      note_entry_command();
      break;
    case 7:
      parts_and_voices_dialog();
      break;
    case 8:
      apply_to_cursor_or_group(move_voice_up_a_staff, 0);
      break;
    case 9:
      apply_to_cursor_or_group(move_voice_down_a_staff, 0);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Voice menu unrecognized!", short(item));
      break;
  }
}

void note_menu(int item, int32_t) {
  if (!music_preamble(NOTE_MENU, item)) return;
  switch (item) {
    case 4:
      toggle_field(NOTE_MENU, item, xaccplot);
      break;
    case 6:
      // The special-accidental template of note entry: made when there is none, else freed.
      if (spacc_template) {
        destroyDrosa(spacc_template);
        spacc_template = NIL;
      } else {
        spacc_template = newDrosa(SPACC, 0);
      }
      place_piano_window();
      break;
    case 9:
      color_dialog(1);
      break;
    case 11:
      toggle_field(NOTE_MENU, item, xthumb);
      break;
    case 13:
      toggle_field(NOTE_MENU, item, xhidet);
      break;
    case 14:
      toggle_field(NOTE_MENU, item, xhider);
      break;
    case 5:
      if (spelling_dialog() && group_selected)
        apply_to_cursor_or_group(respell_by_key_spelling_cb, 1);
      break;
    case 1:
    case 2:
      if (item == 1 ? cursor_prev_note() : cursor_next_note()) make_cursor_visible();
      break;
    case 18:
      internal_fields_dialog();
      break;
    case 8:
      transpose_prompt();
      break;
    case 15:
      rest_flag_command();
      break;
    case 17:
      chord_drag_dialog();
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Note menu unrecognized!", short(item));
      break;
  }
}

// ---- Stem and the slur and tie submenus
// ----------------------------------------------------------

void stem_menu(int item, int32_t) {
  if (!music_preamble(STEM_MENU, item)) return;
  static const NodeField* const BEAM_PAIRS[4][2] = {
      {&xcbeam, &xebeam}, {&xebeam, &xcbeam}, {&xcsbeam, &xesbeam}, {&xesbeam, &xcsbeam}};
  switch (item) {
    case 1:
    case 2:
      // Choosing the direction the item shows gives the stem back to the automatic rule.
      assign_selection_field(xdir, marked(STEM_MENU, item) ? 3 : item == 1 ? 2 : 1, 1);
      break;
    case 3:
      toggle_field(STEM_MENU, item, xnostem);
      break;
    case 4:
      assign_selection_field(xnoslash, marked(STEM_MENU, item) ? 1 : 0, 1);
      break;
    case 5:
      toggle_field(STEM_MENU, item, xbstem);
      break;
    case 7:
    case 8:
    case 9:
    case 10:
      toggle_field(STEM_MENU, item, *BEAM_PAIRS[item - 7][0]);
      assign_selection_field(*BEAM_PAIRS[item - 7][1], 0, 1);
      break;
    case 11:
      for (const NodeField* field : {&xcbeam, &xebeam, &xcsbeam, &xesbeam})
        assign_selection_field(*field, 0, 1);
      break;
    case 14:
      tremolo_warned = 0;
      if (!marked(STEM_MENU, item)) apply_to_cursor_or_group(tremolo_check_cb, 0);
      if (!tremolo_warned) toggle_field(STEM_MENU, item, xtrembeam);
      break;
    case 12:
      edit_beaming();
      break;
    case 15:
      if (menu_modifiers)
        swing_all_eighths();
      else
        apply_to_cursor_or_group(swing_eighth_beam, 1);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Stem menu unrecognized!", short(item));
      break;
  }
}

void modify_slur_menu(int item, int32_t) {
  stop_playing(0);
  if (!slur_or_tie_item(MODIFY_SLUR_MENU, item, MODIFY_SLUR_ITEMS))
    REPORT_ERROR(4, "Item %hd in Slur menu unrecognized!", short(item));
}

void additional_slur_menu(int item, int32_t) {
  stop_playing(0);
  if (!slur_or_tie_item(ADDITIONAL_SLUR_MENU, item, ADDITIONAL_SLUR_ITEMS))
    REPORT_ERROR(4, "Item %hd in Additional Slur menu unrecognized!", short(item));
}

void modify_tie_menu(int item, int32_t) {
  stop_playing(0);
  if (!slur_or_tie_item(MODIFY_TIE_MENU, item, MODIFY_TIE_ITEMS))
    REPORT_ERROR(4, "Item %hd in Tie menu unrecognized!", short(item));
}

// ---- Hear, Symbol, Clear
// -------------------------------------------------------------------------

void hear_menu(int item, int32_t) {
  full_preamble();
  switch (item) {
    case 1:
      hear_command(0, 0, 0, 0, 0);
      break;
    case 3:
      tuning_dialog();
      break;
    case 4:
      volume_dialog();
      break;
    case 5:
      lengths_dialog();
      break;
    case 6:
      REPORT_ERROR(4, "%s", "Submenu error in the HEAR menu!");
      break;
    case 7: {
      int pitches = 0, volumes = 0, mode = 0;
      if (recompute_dialog(&pitches, &volumes, &mode))
        recompute_selection_playback(pitches, volumes, mode, menu_modifiers != 0);
      break;
    }
    case 9:
      apply_to_cursor_or_group(octave_up_cb, 1);
      break;
    case 10:
      apply_to_cursor_or_group(octave_down_cb, 1);
      break;
    case 11:
    case 13:
    case 14:
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Hear menu unrecognized!", short(item));
      break;
  }
}

void modify_playback_menu(int item, int32_t) {
  stop_playing(0);
  modify_playback_command(item);
}

namespace {

// Symbol > Parameters...: the parameter editor at the insertion point, after asking when the
// point is not the first note of its chord or not at the start of its system.
void parameters_command() {
  Drosa note = insertion_point;
  if (!is_NOTE(note)) return;
  if (note->xback && note->xback->xkind == NOTE && !note->xback->get(xendvcd) &&
      !really_alert("You do not have the first note in the chord selected; are you sure you want "
                    "a Parameter change in the middle of a chord?  (See the manual for more "
                    "information.)",
                    1))
    return;
  if (find_time_in_system(note) > 50 &&
      !really_alert("You do not have the first note on the system selected; are you sure you "
                    "want a Parameter change in the middle of a system?  (See the manual for "
                    "more information.)",
                    1))
    return;
  parameter_dialog(note, menu_modifiers != 0);
  place_piano_window();
}

}  // namespace

void symbol_menu(int item, int32_t) {
  if (!music_preamble(SYMBOL_MENU, item)) return;
  switch (item) {
    case 1:
      edit_clef();
      break;
    case 2:
      insert_key_signature();
      break;
    case 3:
      edit_tsig();
      break;
    case 5:
      edit_barline();
      break;
    case 7:
      edit_bracket();
      break;
    case 6:
      align_bars();
      break;
    case 9:
      parameters_command();
      break;
    case 10:
      hidden_text_dialog();
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Clef menu unrecognized!", short(item));
      break;
  }
}

void clear_menu(int item, int32_t) {
  if (!room_for_edit()) return;
  switch (item) {
    case 1:
      delete_notes_command(0);
      break;
    case 9:
      set_undo_mark(0);
      clear_staff_drags(menu_modifiers != 0);
      break;
    case 10:
      set_undo_mark(0);
      apply_to_cursor_or_group(delete_chord_offsets, 0);
      apply_to_cursor_or_group(delete_rest_offsets, 1);
      break;
    case 11:
      set_undo_mark(0);
      apply_to_cursor_or_group(delete_accidental_offsets, 1);
      break;
    case 13:
      invisible_notes_command();
      break;
    case 2:
      text_edit_command(7);
      break;
    case 3:
      anno_cut_copy(7, 'M', NIL);
      break;
    case 5:
    case 6:
    case 7: {
      set_cursor(CURSOR_ID_WATCH);
      static void (*const REMOVERS[3])(Drosa) = {anno_remove_repeats_a, anno_remove_repeats_b,
                                                 anno_part_label_clear};
      void (*remove)(Drosa) = REMOVERS[item - 5];
      if (MODE == MUSIC_MODE) {
        apply_to_cursor_or_group(remove, 0);
        refresh_from_offscreen();
      } else {
        for_each_selected(remove, 0);
      }
      icon_update();
      if (item == 7)
        mark_piece_changed(1, 1, 0);
      else
        mark_piece_changed(1, 3, current_ncontext);
      break;
    }
    default:
      REPORT_ERROR(4, "Item %hd in Clear submenu unrecognized!", short(item));
      break;
  }
}

// ---- The annotation menus ----------------------------------------------------------------------
// The attribute commands reach the selected annotations through the field assignment; what
// makes, selects or edits annotations in place is not built yet and says so.

namespace {

// The name of a text category as its menu shows it; empty when no item has the code.
std::string category_name(int code) {
  for (int item = 1; item <= 29; ++item)
    if (text_category_code(item) == code) return platform_menu_item_text(TEXT_CATEGORY_MENU, item);
  return {};
}

// The selected annotation loses its marks and is selected no more.
void unselect_annotation() {
  if (!current_anno) return;
  anno_highlight(current_anno, 1);
  previous_anno = current_anno;
  current_anno = NIL;
}

// The line kind of each Line item (-1 for the separators).
constexpr int LINE_KINDS[13] = {0, 1, 2, -1, 3, 5, 4, -1, 6, 8, 7, 10, 9};

}  // namespace

void annotation_menu(int item, int32_t) {
  stop_playing(0);
  switch (item) {
    case 1:
    case 2: {
      if (MODE == TEXT_MODE) text_finish(1);
      Drosa from = current_anno ? current_anno : insertion_point;
      if (Drosa anno = item == 1 ? prev_visible_anno(from) : next_visible_anno(from))
        select_anno(anno);
      break;
    }
    case 14: {
      const int on = !marked(ANNOTATION_MENU, item);
      assign_anno_field(xpagemargin, on);
      assign_anno_field(xline_pagemargin, on);
      break;
    }
    case 15: {
      const int on = !marked(ANNOTATION_MENU, item);
      assign_anno_field(xfromstaff, on);
      assign_anno_field(xline_fromstaff, on);
      break;
    }
    case 17:
    case 18:
    case 19:
    case 20: {
      static const int CONTEXTS[3] = {0, 1, -1};
      const bool editing = MODE == TEXT_MODE && text_edit_length() > 0;
      if (editing) text_finish(1);
      assign_anno_field(xcontext, item == 20 ? current_ncontext : CONTEXTS[item - 17]);
      if (editing) text_start(2);
      break;
    }
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 10:
    case 11:
    case 12:
      break;  // parents of submenus
    default:
      REPORT_ERROR(4, "Item %d in Anno menu unrecognized!", item);
      break;
  }
  place_piano_window();
}

void text_category_menu(int item, int32_t) {
  stop_playing(0);
  const int code = text_category_code(item);
  if (item == 31) {
    const int cls = query_selection_field(1, xclassify, 0);
    if (MODE == MUSIC_MODE || cls < 0) return;
    const std::string name = category_name(cls);
    char question[REPORT_TEXT_SIZE];
    std::snprintf(question, sizeof question,
                  "Do you want the annotation you currently have selected to be the model for the "
                  "'%s' Text Category?  This annotation's font, size, and style will be selected "
                  "when you use the Text Category menu to switch to the '%s' Text Category.",
                  name.c_str(), name.c_str());
    if (yesno_alert(question, 1)) assign_anno_field(xdefault, 1);
    return;
  }
  if (code == -1) {
    REPORT_ERROR(4, "Item %d in Classify menu unrecognized!", item);
    return;
  }
  // The template takes the class's style for the texts made next (a font and size set by hand
  // stay while the class stays the same).
  Drosa nt = insertion_point ? note_ntdata(insertion_point) : NIL;
  anno_set_class(code, 0, nt ? nt->get(xstsize) : 50, text_template, 0);
  // The palette's line names the category the next text takes.
  if (MODE == TEXT_MODE) icon_update();
  if (MODE == MUSIC_MODE || !(current_anno || group_selected)) return;
  const int now = query_selection_field(1, xclassify, 0);
  bool with_style = true;
  if (now != GSELECT_NOTHING && now != code && now != 0) {
    const int answer = yesnocan_alert(
        "You are changing the selected annotation's Text Category.  Do you want to "
        "change font, size, and style to match?");
    if (answer == ANSWER_CANCEL) return;
    with_style = answer == ANSWER_YES;
  }
  assign_anno_field(with_style ? static_cast<const NodeField&>(xclassify_gselect) : xclassify,
                    code);
}

void font_menu(int item, int32_t) {
  stop_playing(0);
  if (const int code = font_code_of_item(item)) {
    assign_anno_field(xtextfont, code);
    text_set_style(1, 1, 0);
  } else
    REPORT_ERROR(4, "Item %hd in Font menu unrecognized!", short(item));
}

void size_menu(int item, int32_t) {
  stop_playing(0);
  if (item >= 1 && item <= 10) {
    assign_anno_field(xtextsize, size_menu_sizes[item - 1]);
    text_set_style(4, 1, 0);
  } else if (item == 12) {
    int32_t size = text_template->get(xtextsize);
    if (number_dialog_long("Set to point size:", size, 2, 250, &size, "point size")) {
      assign_anno_field(xtextsize, size);
      text_set_style(4, 1, 0);
    }
  } else {
    REPORT_ERROR(4, "Item %hd in SIZE menu unrecognized!", short(item));
  }
}

void style_menu(int item, int32_t source) {
  stop_playing(0);
  static const int FACES[5] = {0, 0, 1, 2, 4};  // Plain, Bold, Italic, Underline
  switch (item) {
    case 1:
    case 2:
    case 3:
    case 4: {
      const int face = item == 1 ? 0 : text_template->get(xtextface) ^ FACES[item];
      text_template->set(xtextface, uint8_t(face));
      if (source != 'n') assign_anno_field(xtextface, face);
      text_set_style(2, 1, 0);
      break;
    }
    case 6:
      toggle_anno_field(STYLE_MENU, item, xjustified);
      break;
    case 7:
      toggle_anno_field(STYLE_MENU, item, xleavespace);
      break;
    case 8:
      toggle_anno_field(STYLE_MENU, item, xno_size_adjust, true);
      break;
    case 9:
      toggle_anno_field(STYLE_MENU, item, xfooter);
      break;
    case 11:
      toggle_anno_field(STYLE_MENU, item, xboxed);
      break;
    case 12:
      toggle_anno_field(STYLE_MENU, item, xkeep_hyphen, true);
      break;
    case 13:
      toggle_anno_field(STYLE_MENU, item, xkeep_underline, true);
      break;
    case 14:
      toggle_anno_field(STYLE_MENU, item, xspec_underline);
      break;
    case 15:
      if (!marked(STYLE_MENU, item) && MODE != MUSIC_MODE) {
        for_each_selected(
            [](Drosa anno) {
              if (anno->xkind != TPARAM) return;
              modifyvc_with_undo(anno);
              anno_set_default_style(anno);
            },
            0);
      }
      toggle_anno_field(STYLE_MENU, item, xfing);
      break;
    case 16:  // Stack Vertically: the fingering field, whose mark it shows
      toggle_anno_field(STYLE_MENU, item, xfing);
      break;
    case 18:
      toggle_anno_field(STYLE_MENU, item, xhidden);
      break;
    case 19:
      toggle_anno_field(STYLE_MENU, item, xignore);
      break;
    case 20: {
      const int white = marked(STYLE_MENU, item) ? 0 : 1;
      assign_anno_field(xtext_drawmode, white);
      assign_anno_field(xline_drawmode, white);
      break;
    }
    case 21:
      color_dialog(0);
      break;
    default:
      REPORT_ERROR(4, "Item %d in Style menu unrecognized!", item);
      break;
  }
}

void line_menu(int item, int32_t) {
  stop_playing(0);
  if (item < 1 || item > 13 || LINE_KINDS[item - 1] < 0) {
    REPORT_ERROR(4, "Item %d in Line submenu unrecognized!", item);
    return;
  }
  if (current_anno && current_anno->xkind == LINE) {
    char question[REPORT_TEXT_SIZE];
    std::snprintf(question, sizeof question,
                  "Do you want to create a new annotation?%s%sClick No to alter the selected "
                  "annotation.",
                  "\n", "\n");
    const int answer = yesnocan_alert(question);
    if (answer == ANSWER_CANCEL) return;
    if (answer == ANSWER_NO) {
      assign_anno_field(xmetaline, LINE_KINDS[item - 1]);
      return;
    }
  }
  // A new line: line mode with the templates made ready for the kind, at a drawn note.
  unselect_annotation();
  end_anno_selection(LINE_MODE, 1);
  if (!insertion_point || !is_plotted_note(insertion_point))
    cursor_to_nearest_visnote(insertion_point_pos, 0, 1, 1);
  line_mode_reset(LINE_KINDS[item - 1]);
}

void curve_menu(int item, int32_t) {
  stop_playing(0);
  if (item != 1 && item != 2) {
    REPORT_ERROR(4, "Item %d in Curve submenu unrecognized!", item);
    return;
  }
  end_anno_selection(CURVE_MODE, 1);
  unselect_annotation();
  curve_mode_reset(item);
}

void line_style_menu(int item, int32_t) {
  stop_playing(0);
  static const int WIDTHS[3] = {25, 10, 2};  // Thick, Normal, Thin
  switch (item) {
    case 1:
    case 2:
    case 3:
      if (MODE == CURVE_MODE) {
        if (item == 2) break;
        line_template->set(xfattermid, item == 1 ? 1 : 0);
        assign_anno_field(xfattermid, item == 1 ? 1 : 0);
      } else {
        line_template->set(xlinewidth, uint8_t(WIDTHS[item - 1]));
        assign_anno_field(xlinewidth, WIDTHS[item - 1]);
      }
      break;
    case 4: {
      double width = line_template->get(xlinewidth) / 10.0;
      if (!number_dialog_double("Set line width:", width, 0, 25.5, &width, nullptr, "line width"))
        break;
      const int tenths = int(std::lround(width * 10));
      const int minimum = current_min_line_width();
      if (tenths < minimum) {
        char chosen[32], actual[32];
        format_float_trimmed(width, chosen, sizeof chosen);
        format_float_trimmed(minimum / 10.0, actual, sizeof actual);
        REPORT_ERROR(2,
                     "You selected line width %s, but the actual printed line width will be %s "
                     "since that is the minimum specified in the Layout... menu option.",
                     chosen, actual);
      }
      line_template->set(xlinewidth, uint8_t(tenths));
      assign_anno_field(xlinewidth, tenths);
      break;
    }
    case 5: {
      int32_t dash = line_template->get(xdashlth), gap = line_template->get(xgaplth);
      if (!number_dialog_long("Set dash length:                        Type 0 for no dashes.", dash,
                              0, 15, &dash, "dash length") ||
          !number_dialog_long("Set gap length:", gap, 0, 15, &gap, "gap length"))
        break;
      line_template->set(xdashlth, dash);
      line_template->set(xgaplth, gap);
      assign_anno_field(xdashlth, dash);
      assign_anno_field(xgaplth, gap);
      break;
    }
    case 6:
      REPORT_ERROR(2, "%s",
                   "Use the 'Extend Line to Here' menu option to activate the Extend style.");
      assign_anno_field(xline_ord, 0);
      break;
    case 8: {
      const int white = marked(LINE_STYLE_MENU, item) ? 0 : 1;
      assign_anno_field(xtext_drawmode, white);
      assign_anno_field(xline_drawmode, white);
      break;
    }
    case 9:
      color_dialog(0);
      break;
    default:
      REPORT_ERROR(4, "Item %d in LineStyle submenu unrecognized!", item);
      break;
  }
  place_piano_window();
}
