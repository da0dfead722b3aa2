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
#include <cstdio>
#include <string>

#include "annotations/anno_services.h"
#include "app/app_globals.h"
#include "app/event_loop.h"
#include "app/file_commands.h"
#include "app/menu_unavailable.h"
#include "app/menus.h"
#include "app/music_window.h"
#include "app/page_commands.h"
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

void music_preamble(int16_t menu, int item) {
  const bool moves =
      (menu == PAGE_MENU || menu == VOICE_MENU || menu == NOTE_MENU) && (item == 1 || item == 2);
  if (!moves) stop_playing(0);
  if (MODE != MUSIC_MODE) end_anno_selection(MUSIC_MODE, 1);
  set_undo_mark(0);
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
    annotation_command_unavailable(EDIT_MENU, item);
  } else if (page_rectangle_selected()) {
    if (item == 4) REPORT_ERROR(4, "%s", "Illegal operation on a rectangle (menu.c)");
    editing_command_unavailable(EDIT_MENU, item);
  } else if (MODE == TEXT_MODE || current_anno) {
    annotation_command_unavailable(EDIT_MENU, item);
  } else {
    editing_command_unavailable(EDIT_MENU, item);
  }
}

void paste() {
  if (clipboard_kind == 1 && text_edit_length() == 0)
    annotation_command_unavailable(EDIT_MENU, 6);
  else if (MODE == TEXT_MODE)
    annotation_command_unavailable(EDIT_MENU, 6);
  else if (clipboard_kind == 2)
    editing_command_unavailable(EDIT_MENU, 6);
  else
    REPORT_ERROR(4, "%s", "Paste confusion in menu.c.");
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
    editing_command_unavailable(EDIT_MENU, item);
    return;
  }
  switch (item) {
    case 1:
    case 2:
      undo_redo(item == 1 ? 1 : 0);
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
      editing_command_unavailable(EDIT_MENU, item);
      break;
    case 10:
    case 12:
      annotation_command_unavailable(EDIT_MENU, item);
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
  if (duplicate_warnings_accepted(item)) annotation_command_unavailable(DUPLICATE_MENU, item);
}

// The zoom divisors of the Zoom items 5..16 (10 divided by the magnification).
constexpr float ZOOM_DIVISORS[12] = {20.0f / 0.75f, 20.0f / 1.5f,  10.0f, 20.0f / 3.0f,
                                     5.0f,          20.0f / 6.0f,  2.5f,  2.0f,
                                     20.0f / 12.0f, 20.0f / 14.0f, 1.25f, 1.0f};

void zoom_command(int item) {
  stop_playing(0);
  end_anno_selection(MUSIC_MODE, 1);
  if (item == 1) {
    editing_command_unavailable(ZOOM_MENU, item);
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
    layout_scroll_bars();
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
    performance_command_unavailable(IMPORT_MENU, item);
    midi_import_active = 0;
  }
}

void export_command(int item) {
  file_preamble(item);
  if (item == 1)
    musicxml_export_unavailable(EXPORT_MENU, item);
  else if (item == 2)
    performance_command_unavailable(EXPORT_MENU, item);
}

void text_assistant_command(int item) {
  stop_playing(0);
  if (item >= 1 && item <= 14 && item != 6 && item != 11)
    annotation_command_unavailable(TEXT_ASSISTANT_MENU, item);
}

// ---- Slurs and ties ----------------------------------------------------------------------------

// A slur or tie item: the direction items set it, the switches on the note toggle; the
// switches kept in a note's tie and slur modifier are not available yet.
void slur_or_tie_item(int16_t menu, int item, const NodeField* direction,
                      const NodeField* note_switch) {
  if (direction)
    assign_selection_field(*direction, item == 1 ? 2 : 1, 1);
  else if (note_switch)
    toggle_field(menu, item, *note_switch);
  else
    editing_command_unavailable(menu, item);
  draw_piano_window();
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
      if (item >= 1 && item <= 3)
        performance_command_unavailable(TAB_STRING_MENU, item);
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
      break;
    case MIDI_OUTPUT_MENU:
      prefs.set_i32(PREFS_MIDI_OUTPUT_DEST, item - 3);
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

int32_t menu_key_command(uint8_t character) {
  const int32_t chosen = menu_key_maps(character);
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
  if (prefs.ask_save_before_context_change() && DrosaDirty && !is_playing()) {
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
  music_preamble(PAGE_MENU, item);
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
      split_page_command();
      break;
    case 9:
      combine_with_next_page_command();
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
      editing_command_unavailable(PAGE_MENU, item);
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

}  // namespace

void voice_menu(int item, int32_t) {
  music_preamble(VOICE_MENU, item);
  switch (item) {
    case 1:
    case 2:
    case 11:
    case 12:
      editing_command_unavailable(VOICE_MENU, item);
      break;
    case 4:
    case 13:
      performance_command_unavailable(VOICE_MENU, item);
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
  music_preamble(NOTE_MENU, item);
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
      performance_command_unavailable(NOTE_MENU, item);
      break;
    case 1:
    case 2:
    case 8:
    case 15:
    case 17:
    case 18:
      editing_command_unavailable(NOTE_MENU, item);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Note menu unrecognized!", short(item));
      break;
  }
}

// ---- Stem and the slur and tie submenus
// ----------------------------------------------------------

void stem_menu(int item, int32_t) {
  music_preamble(STEM_MENU, item);
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
      editing_command_unavailable(STEM_MENU, item);
      break;
    case 12:
    case 15:
      editing_command_unavailable(STEM_MENU, item);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Stem menu unrecognized!", short(item));
      break;
  }
}

void modify_slur_menu(int item, int32_t) {
  stop_playing(0);
  switch (item) {
    case 1:
    case 2:
      slur_or_tie_item(MODIFY_SLUR_MENU, item, &xslur, nullptr);
      break;
    case 3:
      slur_or_tie_item(MODIFY_SLUR_MENU, item, nullptr, &xcrawlslur);
      break;
    case 10:
      slur_or_tie_item(MODIFY_SLUR_MENU, item, nullptr, &xdashslur);
      break;
    case 11:
      slur_or_tie_item(MODIFY_SLUR_MENU, item, nullptr, &xbendslur);
      break;
    case 5:
    case 6:
    case 7:
    case 9:
    case 13:
      slur_or_tie_item(MODIFY_SLUR_MENU, item, nullptr, nullptr);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Slur menu unrecognized!", short(item));
      break;
  }
}

void additional_slur_menu(int item, int32_t) {
  stop_playing(0);
  switch (item) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
    case 9:
    case 10:
    case 11:
      slur_or_tie_item(ADDITIONAL_SLUR_MENU, item, nullptr, nullptr);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Additional Slur menu unrecognized!", short(item));
      break;
  }
}

void modify_tie_menu(int item, int32_t) {
  stop_playing(0);
  switch (item) {
    case 1:
    case 2:
      slur_or_tie_item(MODIFY_TIE_MENU, item, &xtie, nullptr);
      break;
    case 8:
      slur_or_tie_item(MODIFY_TIE_MENU, item, nullptr, &xdashtie);
      break;
    case 9:
      slur_or_tie_item(MODIFY_TIE_MENU, item, nullptr, &xbendtie);
      break;
    case 4:
    case 5:
    case 6:
      slur_or_tie_item(MODIFY_TIE_MENU, item, nullptr, nullptr);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Tie menu unrecognized!", short(item));
      break;
  }
}

// ---- Hear, Symbol, Clear
// -------------------------------------------------------------------------

void hear_menu(int item, int32_t) {
  full_preamble();
  switch (item) {
    case 1:
    case 3:
    case 4:
    case 5:
    case 7:
    case 9:
    case 10:
      performance_command_unavailable(HEAR_MENU, item);
      break;
    case 6:
      REPORT_ERROR(4, "%s", "Submenu error in the HEAR menu!");
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
  if (item >= 1 && item <= 12 && item != 4 && item != 8)
    performance_command_unavailable(MODIFY_PLAYBACK_MENU, item);
  else
    REPORT_ERROR(4, "Item %hd in Modify submenu unrecognized!", short(item));
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
  music_preamble(SYMBOL_MENU, item);
  switch (item) {
    case 1:
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
      editing_command_unavailable(SYMBOL_MENU, item);
      break;
    case 9:
      parameters_command();
      break;
    case 10:
      annotation_command_unavailable(SYMBOL_MENU, item);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Clef menu unrecognized!", short(item));
      break;
  }
}

void clear_menu(int item, int32_t) {
  switch (item) {
    case 1:
    case 9:
    case 10:
    case 11:
      editing_command_unavailable(CLEAR_MENU, item);
      break;
    case 13:
      invisible_notes_command();
      break;
    case 2:
    case 3:
    case 5:
    case 6:
    case 7:
      annotation_command_unavailable(CLEAR_MENU, item);
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Clear submenu unrecognized!", short(item));
      break;
  }
}

// ---- The annotation menus
// ------------------------------------------------------------------------ Every operation of these
// menus works on annotations, which are not built yet; the handlers still tell the items they take
// from those they do not.

void annotation_menu(int item, int32_t) {
  stop_playing(0);
  switch (item) {
    case 1:
    case 2:
    case 14:
    case 15:
    case 17:
    case 18:
    case 19:
    case 20:
      annotation_command_unavailable(ANNOTATION_MENU, item);
      break;
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
  if (text_category_code(item) != -1 || item == 31)
    annotation_command_unavailable(TEXT_CATEGORY_MENU, item);
  else
    REPORT_ERROR(4, "Item %d in Classify menu unrecognized!", item);
}

void font_menu(int item, int32_t) {
  stop_playing(0);
  if (font_code_of_item(item) != 0)
    annotation_command_unavailable(FONT_MENU, item);
  else
    REPORT_ERROR(4, "Item %hd in Font menu unrecognized!", short(item));
}

void size_menu(int item, int32_t) {
  stop_playing(0);
  if ((item >= 1 && item <= 10) || item == 12)
    annotation_command_unavailable(SIZE_MENU, item);
  else
    REPORT_ERROR(4, "Item %hd in SIZE menu unrecognized!", short(item));
}

void style_menu(int item, int32_t) {
  stop_playing(0);
  // Stack Vertically (16) is enabled with the other switches and marked from the fingering
  // switch: it is a command like them.
  if ((item >= 1 && item <= 21) && item != 5 && item != 10 && item != 17)
    annotation_command_unavailable(STYLE_MENU, item);
  else
    REPORT_ERROR(4, "Item %d in Style menu unrecognized!", item);
}

void line_menu(int item, int32_t) {
  stop_playing(0);
  if (item >= 1 && item <= 13 && item != 4 && item != 8)
    annotation_command_unavailable(LINE_MENU, item);
  else
    REPORT_ERROR(4, "Item %d in Line submenu unrecognized!", item);
}

void curve_menu(int item, int32_t) {
  stop_playing(0);
  annotation_command_unavailable(CURVE_MENU, item);
}

void line_style_menu(int item, int32_t) {
  stop_playing(0);
  if (item >= 1 && item <= 9 && item != 7)
    annotation_command_unavailable(LINE_STYLE_MENU, item);
  else
    REPORT_ERROR(4, "Item %d in LineStyle submenu unrecognized!", item);
  place_piano_window();
}
