// menu_state.cpp: update_menus, the pass that brings every menu into line with the program's
// state: which items are enabled, which are marked, and the texts that change with the
// modifier keys and the selection.
//
// The pass first examines the state once (MenuConditions), then disables every item of menus
// 2..32 and enables, menu by menu, the items whose rule holds; then it removes every mark and
// sets the marks again. The enabled states are gathered in a table and given to the menus at
// the end, so that an item's state changes in the menus only when it really changes.
//
// The words of the rules: "window" (the front window is the program's own, always so here: no
// other program's window stands in front inside this program's windows), "piece" (voices
// exist), "editor" (not called from the parameter editor), "unpublished" (the Score's
// published flag is clear), "base" (all four), "no rect" (no page rectangle selected), "IP"
// (an insertion point), "single(x)" (no group, no rect, IP and x), "group or single(x)" (a
// music group selection, or single(x)), "unlocked" (no voices, or the current notation
// context's notes are not locked).
#include <cstdlib>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_globals.h"
#include "app/cursors.h"
#include "app/menus.h"
#include "app/music_window.h"
#include "app/prefs.h"
#include "app/shortcut_keys.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/menus.h"

namespace {

// ---- The state, examined once ----------------------------------------------------------------

struct MenuConditions {
  bool window, piece, editor, unpublished, base, no_rect, ip, reformat, unlocked;
  bool music_mode, text_mode, line_mode, curve_mode;
  bool music_group, anno_group, no_group, annotation;
  bool modifier;  // Shift or Option held when the menu bar was clicked
  // The insertion note (all false without one).
  bool plotted, rest, grace, first_note, last_note, first_system, last_system, near_start;
  bool in_tuplet, swing_candidate, slurred, additional_slur, tied, tablature, third_kind;
  bool chord_drags, accidental_drags, tab_up, tab_down, tab_default, print_word;
  bool staff_position;
  // The piece and the clipboards.
  bool undo, redo, dirty, untitled, editing_text, text_selected, styled_text_on_clipboard;
  int clipboard;
  int32_t counts[9];
  bool prev_anno, next_anno;
  int pages;

  bool single(bool x) const { return no_group && no_rect && ip && x; }
  bool group_or_single(bool x) const { return music_group || single(x); }
};

bool published() { return options_i16(1, OPTIONS_PUBLISHED) != 0; }

bool notes_locked() {
  return current_ncontext >= 1 && options_i16(current_ncontext, OPTIONS_CONTEXT_EDIT_LOCK) != 0;
}

// The staff kind of a formatted note: the tablature bits of its NTDATA; 0 when unformatted.
int staff_kind_of(Drosa note) {
  Drosa record = note_ntdata(note);
  return record ? record->get(xtabtyp) : 0;
}

// A node of the kind before the note in its system.
bool before_in_system(int kind, Drosa note) {
  return find_prev_kind_until(kind, note, ENDSYST, 0) != NIL;
}

void examine_insertion_note(MenuConditions& c) {
  Drosa n = insertion_point;
  c.plotted = is_plotted_note(n);
  c.rest = n->get(xrest);
  c.grace = n->get(xgrace);
  c.first_note = check_first_note_of_voice_on_page(n);
  c.last_note = check_last_note_of_voice_on_page(n);
  c.first_system = first_system_of_page(n);
  c.last_system = last_system_of_page(n);
  c.near_start = std::abs(find_time_in_system(n)) <= 50;
  c.in_tuplet = n->get(xtupl) != 1;
  const int value = n->get(xlgval), tuplet = n->get(xtupl);
  c.swing_candidate = (value == 4 && tuplet == 1) || (value == 3 && tuplet == 3);
  c.slurred = n->get(xslur) != 0;
  Drosa modifier = c.slurred ? find_prev_kind_until(TSMOD, n, ENDSYST, 0) : NIL;
  c.additional_slur = modifier && modifier->get(xa_slur) != 0;
  c.tied = n->get(xtie) != 0;
  const int kind = staff_kind_of(n);
  c.tablature = kind == 1 || kind == 2;
  c.third_kind = kind == 3;
  const bool settled = c.plotted && !c.reformat && is_visible_note(n);
  c.chord_drags = settled && (find_cmove(n) || find_zone(n) || before_in_system(RMOVE, n));
  c.accidental_drags = settled && before_in_system(AMOVE, n);
  c.tab_up = c.tablature && can_move_tab_string(n, 1);
  c.tab_down = c.tablature && can_move_tab_string(n, -1);
  c.tab_default = c.tablature && can_move_tab_string(n, 0);
  Drosa print = find_prev_kind(PRINT, n);
  c.print_word = print && print->get(xsstaff) != 0;
  c.staff_position = goto_page_position(n) > 1;
}

MenuConditions examine_state(int32_t source) {
  MenuConditions c{};
  c.window = true;
  c.piece = voice_count != 0;
  c.editor = source != SOURCE_PARAMETER_EDITOR;
  c.unpublished = !published();
  c.base = c.window && c.piece && c.editor && c.unpublished;
  c.no_rect = inverted_selection_rect.x2 <= 0;
  c.ip = insertion_point != NIL;
  c.reformat = reformat_pending != 0;
  c.unlocked = voice_count <= 0 || !notes_locked();
  c.music_mode = MODE == MUSIC_MODE;
  c.text_mode = MODE == TEXT_MODE;
  c.line_mode = MODE == LINE_MODE;
  c.curve_mode = MODE == CURVE_MODE;
  c.music_group = group_selected && c.music_mode;
  c.anno_group = group_selected && !c.music_mode;
  c.no_group = !group_selected;
  c.annotation = current_anno != NIL;
  c.modifier = menu_modifiers != 0;
  if (c.ip) examine_insertion_note(c);
  c.undo = undo_heads[0] != NIL;
  c.redo = undo_heads[1] != NIL;
  c.dirty = DrosaDirty != 0;
  // An untitled piece, or one imported from another program's file, has no disk copy of its own:
  // the name after the folder begins with ':'.
  c.untitled = !piece_fsspec.empty() && is_untitled_file(piece_fsspec);
  // The system clipboard is looked at first: what it replaced is no longer offered.
  clear_music_scrap(1);
  c.clipboard = clipboard_kind;
  c.editing_text = text_edit_length() > 0;
  c.text_selected = text_has_selection() != 0;
  c.styled_text_on_clipboard = false;  // the system clipboard's text is not read yet
  count_annotations(c.counts);
  for (int i = 0; i < 6; ++i) duplicate_warnings[i] = c.counts[3 + i];
  Drosa from = current_anno ? current_anno : insertion_point;
  c.prev_anno = prev_visible_anno(from) != NIL;
  c.next_anno = next_visible_anno(from) != NIL;
  c.pages = page_count;
  return c;
}

// ---- The enabled states, gathered -------------------------------------------------------------

class Enabling {
 public:
  Enabling() {
    for (int16_t m = 2; m <= MENU_COUNT; ++m)
      on_[m].assign(size_t(platform_menu_item_count(m)) + 1, false);
  }
  void set(int16_t menu, int item, bool enabled) {
    if (enabled && item >= 1 && item < int(on_[menu].size())) on_[menu][size_t(item)] = true;
  }
  void range(int16_t menu, int first, int last, bool enabled) {
    for (int i = first; i <= last; ++i) set(menu, i, enabled);
  }
  bool get(int16_t menu, int item) const {
    return item >= 1 && item < int(on_[menu].size()) && on_[menu][size_t(item)];
  }
  // Gives every item of menus 2..32 its state.
  void apply() const {
    for (int16_t m = 2; m <= MENU_COUNT; ++m)
      for (size_t i = 1; i < on_[m].size(); ++i) platform_enable_menu_item(m, int(i), on_[m][i]);
  }

 private:
  std::vector<bool> on_[MENU_COUNT + 1];
};

void set_text(int16_t menu, int item, const char* text) {
  platform_set_menu_item_text(menu, item, debug_hook(text));
}

// ---- Preparation: modifiers, the insertion point, the cursor, texts, contexts
// --------------------

void check_insertion_point() {
  if (!music_window()) {
    if (insertion_point) REPORT_ERROR(4, "%s", "Menu.c: NIL MusicWindow but Nipoint = FALSE!");
    insertion_point = NIL;
    note_entry_active = 0;
  } else if (insertion_point && !find_prev_kind(PRINT, insertion_point)) {
    insertion_point = NIL;
    note_entry_active = 0;
  }
}

void set_pass_cursor(const MenuConditions& c) {
  if (!c.reformat) {
    set_cursor(preparing_piece ? CURSOR_ID_WATCH : CURSOR_ID_ARROW);
  } else if (c.editor) {
    set_cursor(CURSOR_ID_FORMATTING);
    platform_hilite_menu(0);
  }
  if (current_anno) anno_make_template(current_anno, 0);
}

void retitle_by_modifier(bool held) {
  struct Pair {
    int16_t menu;
    int item;
    const char* with;
    const char* without;
  };
  static const Pair PAIRS[] = {
      {FILE_MENU, 2, "Open Any...", "Open..."},
      {IMPORT_MENU, 1, "Any MusicXML...", "MusicXML..."},
      {IMPORT_MENU, 2, "Any MIDI...", "MIDI..."},
      {FILE_MENU, 6, "Graphics Save", "Save"},
      {FILE_MENU, 7, "Graphics Save As...", "Save As..."},
      {CLEAR_MENU, 9, "All Staff Drags in Piece", "Staff Drag"},
      {STEM_MENU, 15, "Swing All Eighths", "Swing Eighth Beam"},
      {HEAR_MENU, 7, "Recompute All Playback...", "Recompute Playback..."},
  };
  for (const Pair& p : PAIRS) set_text(p.menu, p.item, held ? p.with : p.without);
  set_text(EDIT_MENU, 4, "Cut");
  set_text(EDIT_MENU, 5, "Copy");
  set_text(EDIT_MENU, 6, "Paste");
}

// The Context menu's items from 6 on: the notation contexts' names.
void list_contexts() {
  std::vector<std::string> names;
  for (int n = 1; n <= ncontext_count; ++n) names.emplace_back(ncontext_name_of(n));
  bool same = platform_menu_item_count(CONTEXT_MENU) == 5 + int(names.size());
  for (size_t i = 0; same && i < names.size(); ++i)
    same = platform_menu_item_text(CONTEXT_MENU, 6 + int(i)) == names[i];
  if (same) return;
  while (platform_menu_item_count(CONTEXT_MENU) > 5) platform_delete_menu_item(CONTEXT_MENU, 6);
  for (const std::string& name : names) platform_append_menu_item(CONTEXT_MENU, name);
}

void clear_marks_and_attach_submenus() {
  for (int16_t m = 2; m <= MENU_COUNT; ++m)
    for (int i = 1; i <= platform_menu_item_count(m); ++i) platform_check_menu_item(m, i, false);
  item_enabled_flags = ItemEnabledFlags{};
  item_enabled_flags.close = 0;
  static const int16_t ATTACHMENTS[21][3] = {{FILE_MENU, 3, IMPORT_MENU},
                                             {FILE_MENU, 9, EXPORT_MENU},
                                             {EDIT_MENU, 7, CLEAR_MENU},
                                             {EDIT_MENU, 11, DUPLICATE_MENU},
                                             {EDIT_MENU, 17, ZOOM_MENU},
                                             {NOTE_MENU, 10, TAB_STRING_MENU},
                                             {STEM_MENU, 17, MODIFY_SLUR_MENU},
                                             {STEM_MENU, 18, ADDITIONAL_SLUR_MENU},
                                             {STEM_MENU, 19, MODIFY_TIE_MENU},
                                             {HEAR_MENU, 6, MODIFY_PLAYBACK_MENU},
                                             {HEAR_MENU, 11, KEYBOARD_SHIFT_MENU},
                                             {HEAR_MENU, 13, MIDI_INPUT_MENU},
                                             {HEAR_MENU, 14, MIDI_OUTPUT_MENU},
                                             {ANNOTATION_MENU, 4, TEXT_CATEGORY_MENU},
                                             {ANNOTATION_MENU, 5, FONT_MENU},
                                             {ANNOTATION_MENU, 6, SIZE_MENU},
                                             {ANNOTATION_MENU, 7, STYLE_MENU},
                                             {ANNOTATION_MENU, 8, TEXT_ASSISTANT_MENU},
                                             {ANNOTATION_MENU, 10, LINE_MENU},
                                             {ANNOTATION_MENU, 11, CURVE_MENU},
                                             {ANNOTATION_MENU, 12, LINE_STYLE_MENU}};
  for (const auto& a : ATTACHMENTS) set_menu_item_key(a[0], a[1], ATTACH_SUBMENU, a[2]);
}

// ---- Enabling, menu by menu
// ----------------------------------------------------------------------

void enable_file(const MenuConditions& c, Enabling& e) {
  const bool wpe = c.window && c.piece && c.editor;
  const bool opening = c.window && (!c.piece || c.editor);
  e.range(FILE_MENU, 1, 3, opening);
  e.set(FILE_MENU, 4, (c.piece && c.editor) || !c.window);
  e.set(FILE_MENU, 6, wpe && c.dirty);
  e.range(FILE_MENU, 7, 9, wpe);
  e.set(FILE_MENU, 10, wpe && c.dirty && !c.untitled);
  e.set(FILE_MENU, 12, wpe && c.unpublished);
  e.range(FILE_MENU, 13, 15, wpe && !c.reformat && c.no_rect);
  item_enabled_flags.close = e.get(FILE_MENU, 4);
  e.set(IMPORT_MENU, 1, opening);
  e.set(IMPORT_MENU, 2, wpe && c.no_rect && c.ip && c.unlocked);
  e.range(EXPORT_MENU, 1, 2, wpe);
}

void enable_edit(const MenuConditions& c, Enabling& e) {
  const bool annotations = c.base && (c.annotation || c.anno_group);
  const bool text_cut = c.window && c.piece && c.editor && c.unpublished && c.text_mode &&
                        !c.annotation && c.text_selected;
  e.set(EDIT_MENU, 1, c.base && c.undo);
  e.set(EDIT_MENU, 2, c.base && c.redo);
  if (annotations) set_text(EDIT_MENU, 4, "Cut Annotation");
  if (text_cut) set_text(EDIT_MENU, 4, "Cut");
  e.set(EDIT_MENU, 4, annotations || text_cut);
  const bool copy_music = c.base && c.music_mode && (c.music_group || c.plotted);
  const bool copy_rect = c.window && c.piece && c.editor && !c.no_rect;
  if (copy_music) set_text(EDIT_MENU, 5, c.modifier ? "Copy Music and Annotations" : "Copy Music");
  if (annotations) set_text(EDIT_MENU, 5, "Copy Annotation");
  if (text_cut) set_text(EDIT_MENU, 5, "Copy");
  if (copy_rect)
    set_text(EDIT_MENU, 5, c.modifier ? "Copy Rectangle (low resolution)" : "Copy Rectangle");
  e.set(EDIT_MENU, 5, copy_music || annotations || text_cut || copy_rect);
  const bool paste_music = c.base && c.clipboard == 2 && c.music_mode && !c.music_group &&
                           c.no_rect && c.plotted && c.unlocked;
  const bool paste_anno = c.base && c.clipboard == 1 && (c.music_group || c.plotted) &&
                          !(c.text_mode && c.editing_text);
  const bool paste_text = c.base && c.text_mode && !c.annotation && c.styled_text_on_clipboard;
  if (paste_music) set_text(EDIT_MENU, 6, "Paste Music");
  if (paste_anno) set_text(EDIT_MENU, 6, "Paste Annotation");
  if (paste_text) set_text(EDIT_MENU, 6, "Paste");
  e.set(EDIT_MENU, 6, paste_music || paste_anno || paste_text);
  e.set(EDIT_MENU, 7, copy_music || annotations || text_cut);
  e.set(EDIT_MENU, 8, c.base && c.no_rect && c.plotted);
  e.set(EDIT_MENU, 10, c.window && c.editor && c.unpublished && c.anno_group);
  e.set(EDIT_MENU, 11, annotations);
  e.set(EDIT_MENU, 12, c.base && c.ip);
  e.range(EDIT_MENU, 14, 15, c.base);
  e.set(EDIT_MENU, 17, c.window && c.piece && c.editor && c.no_group && c.no_rect);
  if (simplified_notation_item_present()) e.set(EDIT_MENU, 18, c.base && c.no_group && c.no_rect);
  e.set(EDIT_MENU, edit_shortcut_keys_item(), c.window && c.piece && c.unpublished);
  e.set(EDIT_MENU, edit_options_item(),
        c.window && c.editor && c.unpublished && c.no_group && c.no_rect);

  const bool group_settled = c.music_group && !c.reformat;
  const bool single_settled = c.single(!c.reformat && c.plotted);
  const bool clear_note =
      c.base && c.music_mode && (c.music_group || c.single(!c.reformat && c.plotted && c.unlocked));
  e.set(CLEAR_MENU, 1, clear_note);
  item_enabled_flags.clear_note = clear_note;
  e.set(CLEAR_MENU, 2, text_cut);
  e.set(CLEAR_MENU, 3, annotations);
  for (int k = 0; k < 3; ++k)
    e.set(CLEAR_MENU, 5 + k, c.window && c.piece && c.unpublished && c.counts[6 + k]);
  e.set(CLEAR_MENU, 9, c.base && (group_settled || single_settled));
  e.set(CLEAR_MENU, 10, c.base && (group_settled || (single_settled && c.chord_drags)));
  e.set(CLEAR_MENU, 11,
        c.base && (group_settled || (single_settled && c.accidental_drags && c.unlocked)));
  e.set(CLEAR_MENU, 13, c.base && c.no_group && c.no_rect);

  const bool duplicate = c.window && c.piece && c.unpublished && (c.annotation || c.anno_group);
  for (int k = 0; k < 3; ++k) e.set(DUPLICATE_MENU, 1 + k, duplicate && c.counts[k]);

  const bool zoom = e.get(EDIT_MENU, 17);
  e.range(ZOOM_MENU, 2, 18, zoom);
  e.set(ZOOM_MENU, 1, zoom && c.unpublished);
}

void enable_context_and_page(const MenuConditions& c, Enabling& e) {
  const bool wpe = c.window && c.piece && c.editor;
  const bool contexts = wpe && c.no_rect;
  e.set(CONTEXT_MENU, 1, contexts && current_ncontext > 1);
  e.set(CONTEXT_MENU, 2, contexts && current_ncontext < ncontext_count);
  e.set(CONTEXT_MENU, 4, contexts && c.unpublished && !c.reformat);
  e.range(CONTEXT_MENU, 6, 5 + ncontext_count, contexts);

  const bool last_page = current_page == c.pages;
  const bool edits = wpe && c.unpublished;
  e.set(PAGE_MENU, 1, wpe && c.no_rect && c.pages > 1 && current_page != 1);
  e.set(PAGE_MENU, 2, wpe && c.no_rect && c.pages > 1 && !last_page);
  e.set(PAGE_MENU, 4, wpe && c.no_rect && c.pages > 1);
  e.set(PAGE_MENU, 5, wpe && c.no_rect);
  e.set(PAGE_MENU, 6, edits && c.no_rect);
  e.set(PAGE_MENU, 8, edits && c.no_rect && c.ip && !c.first_system);
  e.set(PAGE_MENU, 9, edits && c.no_rect && c.ip && !last_page);
  e.set(PAGE_MENU, 10,
        edits && ((c.no_rect && c.ip && !c.near_start) || (c.music_mode && c.music_group)));
  e.set(PAGE_MENU, 11,
        edits && c.music_mode && (c.music_group || (c.no_rect && c.ip && !c.last_system)));
  e.set(PAGE_MENU, 12, edits && c.no_rect && c.ip);
  e.range(PAGE_MENU, 14, 15, edits && c.no_rect && c.ip && c.unlocked);
}

void enable_voice_and_note(const MenuConditions& c, Enabling& e) {
  const bool wpe = c.window && c.piece && c.editor;
  const bool voice = wpe && c.no_rect;
  const bool edits = voice && c.unpublished;
  e.range(VOICE_MENU, 1, 2, voice && c.ip && voice_count > 1);
  item_enabled_flags.previous_voice = item_enabled_flags.next_voice = e.get(VOICE_MENU, 1);
  e.set(VOICE_MENU, 4, edits && c.ip && c.unlocked);
  e.set(VOICE_MENU, 5, edits && c.unlocked);
  e.set(VOICE_MENU, 7, edits && c.ip && c.unlocked);
  e.set(VOICE_MENU, 8, edits && c.ip && c.unlocked && c.print_word && c.staff_position);
  e.set(VOICE_MENU, 9, edits && c.ip && c.unlocked && c.staff_position);
  e.set(VOICE_MENU, 11, edits);
  e.set(VOICE_MENU, 12, edits && c.ip && c.unlocked);
  e.set(VOICE_MENU, 13, edits && c.ip);

  e.set(NOTE_MENU, 1, wpe && c.no_rect && c.ip && !c.first_note);
  e.set(NOTE_MENU, 2, wpe && c.no_rect && c.ip && !c.last_note);
  item_enabled_flags.previous_note = e.get(NOTE_MENU, 1);
  item_enabled_flags.next_note = e.get(NOTE_MENU, 2);
  const bool accidentals = c.unlocked && (c.music_group || (c.no_group && c.no_rect));
  e.set(NOTE_MENU, 4, c.base && c.unlocked && (c.music_group || (c.no_rect && c.ip && !c.rest)));
  e.set(NOTE_MENU, 5, c.base && accidentals);
  e.set(NOTE_MENU, 6, c.window && c.editor && c.unpublished && accidentals);
  e.set(NOTE_MENU, 8, c.base && c.unlocked && c.group_or_single(c.plotted));
  e.set(NOTE_MENU, 9, c.base && c.group_or_single(c.plotted));
  const bool tablature =
      c.base && c.unlocked && c.group_or_single(c.plotted && c.tablature && !c.rest);
  e.range(NOTE_MENU, 10, 11, tablature);
  e.set(NOTE_MENU, 13, c.base && c.group_or_single(c.in_tuplet));
  e.range(NOTE_MENU, 14, 15, c.base && c.unlocked && c.group_or_single(c.rest));
  e.set(NOTE_MENU, 17, c.base && c.no_group && c.no_rect);
  e.set(NOTE_MENU, 18, c.base && c.single(c.unlocked));
  e.set(TAB_STRING_MENU, 1, tablature && (c.music_group || c.tab_up));
  e.set(TAB_STRING_MENU, 2, tablature && (c.music_group || c.tab_down));
  e.set(TAB_STRING_MENU, 3, tablature && (c.music_group || c.tab_default));
}

void enable_stem(const MenuConditions& c, Enabling& e) {
  const bool beams = c.base && c.unlocked && c.group_or_single(true);
  for (int item : {1, 2, 7, 8, 9, 10, 11, 14}) e.set(STEM_MENU, item, beams);
  e.set(STEM_MENU, 3, c.base && (c.music_group || c.single(!c.rest && c.unlocked)));
  e.set(STEM_MENU, 5, e.get(STEM_MENU, 3));
  e.set(STEM_MENU, 4, c.base && c.unlocked && c.group_or_single(!c.rest && c.grace));
  e.set(STEM_MENU, 12, c.base && c.single(c.plotted && c.unlocked));
  e.set(STEM_MENU, 15,
        c.base && c.unlocked && (c.music_group || (c.no_group && c.swing_candidate)));
  const bool slur = c.base && (c.music_group || c.single(c.slurred && c.unlocked));
  const bool tie = c.base && (c.music_group || c.single(c.tied && c.unlocked));
  e.range(STEM_MENU, 17, 18, slur);
  e.set(STEM_MENU, 19, tie);
  for (int item : {1, 2, 3, 5, 6, 7, 9, 10, 11, 13}) e.set(MODIFY_SLUR_MENU, item, slur);
  e.range(ADDITIONAL_SLUR_MENU, 1, 2, slur);
  const bool additional = c.base && (c.music_group || c.single(c.additional_slur && c.unlocked));
  for (int item : {3, 5, 6, 7, 9, 10, 11}) e.set(ADDITIONAL_SLUR_MENU, item, additional);
  for (int item : {1, 2, 4, 5, 6, 8, 9}) e.set(MODIFY_TIE_MENU, item, tie);
}

void enable_hear_and_symbol(const MenuConditions& c, Enabling& e) {
  const bool wpe = c.window && c.piece && c.editor;
  const bool devices = c.window && (!c.piece || c.editor);
  e.set(HEAR_MENU, 1, wpe && c.single(true));
  e.range(HEAR_MENU, 3, 5, c.base && c.no_group && c.no_rect && c.unlocked);
  const bool playback = c.base && (c.music_group || c.single(!c.rest && c.unlocked));
  for (int item : {6, 7, 9, 10}) e.set(HEAR_MENU, item, playback);
  for (int item : {11, 13, 14}) e.set(HEAR_MENU, item, devices);
  e.range(MODIFY_PLAYBACK_MENU, 1, 12, wpe && c.unlocked && (c.music_group || c.single(!c.rest)));
  e.range(KEYBOARD_SHIFT_MENU, 1, 7, devices);
  e.range(MIDI_INPUT_MENU, 1, midi_source_count, devices);
  for (int item = 1; item <= midi_destination_count; ++item)
    e.set(MIDI_OUTPUT_MENU, item, devices && (item != 3 || (midi_out_available & MIDI_OUT_SYNTH)));

  const bool symbols = c.base && c.unlocked;
  e.range(SYMBOL_MENU, 1, 2,
          symbols && c.group_or_single(c.plotted && !c.tablature && !c.third_kind));
  e.set(SYMBOL_MENU, 3, symbols && c.single(c.plotted));
  e.set(SYMBOL_MENU, 9, symbols && c.single(c.plotted));
  e.range(SYMBOL_MENU, 5, 7, symbols && c.group_or_single(c.plotted));
  e.set(SYMBOL_MENU, 10, c.base && c.no_group && c.no_rect);
}

void enable_annotation(const MenuConditions& c, Enabling& e) {
  const bool wpe = c.window && c.piece && c.editor;
  const bool wep = c.window && c.editor && c.unpublished;
  e.set(ANNOTATION_MENU, 1, wpe && c.no_rect && c.prev_anno);
  e.set(ANNOTATION_MENU, 2, wpe && c.no_rect && c.next_anno);
  item_enabled_flags.previous_anno = e.get(ANNOTATION_MENU, 1);
  item_enabled_flags.next_anno = e.get(ANNOTATION_MENU, 2);
  const bool creating = c.base && (c.plotted || c.anno_group);
  for (int item : {4, 8, 10, 11}) e.set(ANNOTATION_MENU, item, creating);
  const bool text_style = c.window && c.unpublished && (!c.editor || c.text_mode);
  e.range(ANNOTATION_MENU, 5, 7, text_style);
  e.set(ANNOTATION_MENU, 12, wep && (c.line_mode || c.curve_mode));
  const bool locks = wep && !c.music_mode;
  const bool new_text = c.text_mode && c.no_group && !c.annotation;
  e.range(ANNOTATION_MENU, 14, 15, locks);
  e.set(ANNOTATION_MENU, 17, locks);
  e.set(ANNOTATION_MENU, 18, locks && !(new_text && current_ncontext != 1));
  e.set(ANNOTATION_MENU, 19, locks && !(new_text && current_ncontext == 1));
  e.set(ANNOTATION_MENU, 20, e.get(ANNOTATION_MENU, 19) && current_ncontext != 1);

  for (int item = 1; item <= 29; ++item)
    e.set(TEXT_CATEGORY_MENU, item, creating && text_category_code(item) != -1);
  e.set(TEXT_CATEGORY_MENU, 31, wpe && c.text_mode && c.annotation);
  for (int item = 1; item <= 14; ++item)
    e.set(TEXT_ASSISTANT_MENU, item, creating && item != 6 && item != 11);
  for (int item = 1; item <= 13; ++item) e.set(LINE_MENU, item, creating && item != 4 && item != 8);
  e.range(CURVE_MENU, 1, 2, creating);
  e.range(FONT_MENU, 1, font_menu_count, text_style);
  e.range(SIZE_MENU, 1, 10, text_style);
  e.set(SIZE_MENU, 12, text_style);
  e.range(STYLE_MENU, 1, 4, text_style);
  for (int item : {6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 19, 20, 21})
    e.set(STYLE_MENU, item, wep && c.text_mode);
  e.set(STYLE_MENU, 18, wep && c.text_mode && (!c.no_group || c.annotation));
  const bool line_style = e.get(ANNOTATION_MENU, 12);
  for (int item : {1, 3, 5, 8, 9}) e.set(LINE_STYLE_MENU, item, line_style);
  e.set(LINE_STYLE_MENU, 2, wep && c.line_mode);
  e.set(LINE_STYLE_MENU, 4, wep && c.line_mode);
  e.set(LINE_STYLE_MENU, 6, wep && c.line_mode && (!c.no_group || c.annotation));
}

// A system window in front leaves it the items it can use.
void enable_for_system_window(Enabling& e) {
  e.set(FILE_MENU, 4, true);
  for (int item : {1, 4, 5, 6, 7}) e.set(EDIT_MENU, item, true);
  e.set(CLEAR_MENU, 2, true);
  item_enabled_flags.close = 1;
}

// ---- Marks
// ---------------------------------------------------------------------------------------

// A note field's mark over the selection, with window, piece and no rect.
void mark_note_field(const MenuConditions& c, int16_t menu, int item, const NodeField& field,
                     int value) {
  if (c.window && c.piece && c.no_rect) mark_menu_from_selection(menu, item, field, value, 0);
}

void mark_note_fields(const MenuConditions& c) {
  mark_note_field(c, NOTE_MENU, 4, xaccplot, 1);
  mark_note_field(c, NOTE_MENU, 6, xspacc, 1);
  mark_note_field(c, NOTE_MENU, 11, xthumb, 1);
  mark_note_field(c, NOTE_MENU, 13, xhidet, 1);
  mark_note_field(c, NOTE_MENU, 14, xhider, 1);
  // The rest flag shows the note template's, which the command copies into the selected rests.
  if (c.window && c.piece)
    platform_check_menu_item(NOTE_MENU, 15, current_note_template->get(xseparate) != 0);
  mark_note_field(c, STEM_MENU, 1, xdir, 2);
  mark_note_field(c, STEM_MENU, 2, xdir, 1);
  mark_note_field(c, STEM_MENU, 3, xnostem, 1);
  mark_note_field(c, STEM_MENU, 4, slash, 1);
  mark_note_field(c, STEM_MENU, 5, xbstem, 1);
  mark_note_field(c, STEM_MENU, 7, xcbeam, 1);
  mark_note_field(c, STEM_MENU, 8, xebeam, 1);
  mark_note_field(c, STEM_MENU, 9, xcsbeam, 1);
  mark_note_field(c, STEM_MENU, 10, xesbeam, 1);
  mark_note_field(c, STEM_MENU, 11, defbeam, 1);
  mark_note_field(c, STEM_MENU, 14, xtrembeam, 1);
  mark_note_field(c, STEM_MENU, 18, xa_slur, 3);
  struct FieldMark {
    int16_t menu;
    int item;
    const NodeField* field;
    int value;
  };
  static const FieldMark SLURS_AND_TIES[] = {
      {MODIFY_SLUR_MENU, 1, &xslur, 2},
      {MODIFY_SLUR_MENU, 2, &xslur, 1},
      {MODIFY_SLUR_MENU, 3, &xcrawlslur, 1},
      {MODIFY_SLUR_MENU, 5, &xhangRslur, 1},
      {MODIFY_SLUR_MENU, 6, &xhangLslur, 1},
      {MODIFY_SLUR_MENU, 7, &xleftonlyslur, 1},
      {MODIFY_SLUR_MENU, 9, &xsplitslur, 1},
      {MODIFY_SLUR_MENU, 10, &xdashslur, 1},
      {MODIFY_SLUR_MENU, 11, &xbendslur, 1},
      {MODIFY_SLUR_MENU, 13, &xa_altslursize, 1},
      {ADDITIONAL_SLUR_MENU, 1, &xa_slur, 2},
      {ADDITIONAL_SLUR_MENU, 2, &xa_slur, 1},
      {ADDITIONAL_SLUR_MENU, 3, &xa_crawlslur, 1},
      {ADDITIONAL_SLUR_MENU, 5, &xa_handRslur, 1},
      {ADDITIONAL_SLUR_MENU, 6, &xa_hangLslur, 1},
      {ADDITIONAL_SLUR_MENU, 7, &xa_leftonlyslur, 1},
      {ADDITIONAL_SLUR_MENU, 9, &xa_splitslur, 1},
      {ADDITIONAL_SLUR_MENU, 10, &xa_dashslur, 1},
      {ADDITIONAL_SLUR_MENU, 11, &bendslur, 1},
      {MODIFY_TIE_MENU, 1, &xtie, 2},
      {MODIFY_TIE_MENU, 2, &xtie, 1},
      {MODIFY_TIE_MENU, 4, &xhangRtie, 1},
      {MODIFY_TIE_MENU, 5, &xhangLtie, 1},
      {MODIFY_TIE_MENU, 6, &xleftonlytie, 1},
      {MODIFY_TIE_MENU, 8, &xdashtie, 1},
      {MODIFY_TIE_MENU, 9, &xbendtie, 1},
  };
  for (const FieldMark& m : SLURS_AND_TIES) mark_note_field(c, m.menu, m.item, *m.field, m.value);
}

void mark_program_switches(const MenuConditions& c) {
  if (c.window && c.piece) platform_check_menu_item(CONTEXT_MENU, 5 + current_ncontext, true);
  const int zoom = zoom_menu_index(zoom_factor);
  if (zoom >= 1 && zoom <= 14) platform_check_menu_item(ZOOM_MENU, zoom + 1, true);
  const int context = current_ncontext >= 1 ? current_ncontext : 1;
  platform_check_menu_item(ZOOM_MENU, 3, options_struct[context][OPTIONS_DISPLAY] != 0);
  platform_check_menu_item(EDIT_MENU, 14, allow_any_alt_click);
  platform_check_menu_item(EDIT_MENU, 15, duration_edits_enabled && c.piece);
  if (simplified_notation_item_present())
    platform_check_menu_item(EDIT_MENU, 18, prefs.use_simplified_notation() != 0);
  platform_check_menu_item(VOICE_MENU, 5, note_entry_active);
  platform_check_menu_item(VOICE_MENU, 12, voice_highlighted);
  mark_note_fields(c);
  static const int16_t SHIFTS[7] = {36, 24, 12, 0, -12, -24, -36};
  for (int i = 0; i < 7; ++i)
    platform_check_menu_item(KEYBOARD_SHIFT_MENU, i + 1, keyboard_shift == SHIFTS[i]);
  for (int i = 1; i <= midi_source_count; ++i)
    platform_check_menu_item(MIDI_INPUT_MENU, i, prefs.i32(PREFS_MIDI_INPUT_SOURCE) == i - 3);
  for (int i = 1; i <= midi_destination_count; ++i)
    platform_check_menu_item(MIDI_OUTPUT_MENU, i, prefs.i32(PREFS_MIDI_OUTPUT_DEST) == i - 3);
}

// An annotation field's mark; the template keeps the value the selection shows.
void mark_template_field(int16_t menu, int item, Drosa templ, const NodeField& field, int value) {
  const Field<int> typed{field};
  templ->set(typed, mark_menu_from_selection(menu, item, field, value, templ->get(typed)));
}

// The same for a switch the item shows inverted: marked while the template's field is clear.
void mark_inverted_field(int16_t menu, int item, const NodeField& inverted,
                         const NodeField& field) {
  const Field<int> typed{field};
  const int shown = mark_menu_from_selection(menu, item, inverted, 1, !text_template->get(typed));
  text_template->set(typed, !shown);
}

void mark_styles(const MenuConditions& c) {
  static const int FACES[4] = {0, 1, 2, 4};  // Plain, Bold, Italic, Underline
  for (int item = 1; item <= 4; ++item)
    mark_template_field(STYLE_MENU, item, text_template, xtextface, FACES[item - 1]);
  mark_template_field(STYLE_MENU, 6, text_template, xjustified, 1);
  mark_template_field(STYLE_MENU, 7, text_template, xleavespace, 1);
  mark_inverted_field(STYLE_MENU, 8, size_adjust, xno_size_adjust);
  mark_template_field(STYLE_MENU, 9, text_template, xfooter, 1);
  mark_template_field(STYLE_MENU, 11, text_template, xboxed, 1);
  mark_inverted_field(STYLE_MENU, 12, hyphen, xkeep_hyphen);
  mark_inverted_field(STYLE_MENU, 13, extend, xkeep_underline);
  mark_template_field(STYLE_MENU, 14, text_template, xspec_underline, 1);
  mark_template_field(STYLE_MENU, 15, text_template, xfing, 1);
  mark_template_field(STYLE_MENU, 18, text_template, xhidden, 1);
  mark_template_field(STYLE_MENU, 19, text_template, xignore, 1);
  if (c.text_mode) mark_template_field(STYLE_MENU, 20, text_template, xtext_drawmode, 1);
  if (c.text_mode) mark_template_field(STYLE_MENU, 21, text_template, xtext_color, -333);
  if (!c.text_mode) mark_template_field(LINE_STYLE_MENU, 8, line_template, xline_drawmode, 1);
  if (!c.text_mode) mark_template_field(LINE_STYLE_MENU, 9, line_template, xline_color, -333);
  if (c.line_mode) mark_template_field(LINE_STYLE_MENU, 6, line_template, xline_ord, 1);
  if (c.curve_mode) {
    mark_template_field(LINE_STYLE_MENU, 1, line_template, xfattermid, 1);
    mark_template_field(LINE_STYLE_MENU, 3, line_template, xfattermid, 0);
  }
}

// The marks of the line and curve modes that follow the templates and the curve direction.
void mark_line_modes(const MenuConditions& c) {
  if (c.curve_mode && c.no_group && !c.annotation) {
    platform_check_menu_item(CURVE_MENU, 1, new_curve_direction == 0);
    platform_check_menu_item(CURVE_MENU, 2, new_curve_direction == 1);
  }
  if (c.line_mode) {
    const int width = line_template->get(xlinewidth);
    platform_check_menu_item(LINE_STYLE_MENU, 1, width == 25);
    platform_check_menu_item(LINE_STYLE_MENU, 2, width == 10);
    platform_check_menu_item(LINE_STYLE_MENU, 3, width == 2);
  }
}

void mark_annotation_side(const MenuConditions& c) {
  if (!text_template || !line_template) return;  // no node store yet
  if (text_template->xcontext != line_template->xcontext)
    REPORT_ERROR(4, "ncontext inconsistency in menu.c %d %d", int(text_template->xcontext),
                 int(line_template->xcontext));
  if (!(c.window && c.piece)) return;
  const bool anno_menus = c.text_mode || c.anno_group;
  if (c.text_mode) mark_template_field(ANNOTATION_MENU, 14, text_template, xpagemargin, 1);
  mark_template_field(ANNOTATION_MENU, 15, c.text_mode ? text_template : line_template,
                      c.text_mode ? static_cast<const NodeField&>(xfromstaff) : xline_fromstaff, 1);
  if (c.line_mode || c.anno_group)
    mark_template_field(ANNOTATION_MENU, 10, line_template, xmetaline, -444);
  if (c.curve_mode || c.anno_group)
    mark_template_field(ANNOTATION_MENU, 11, line_template, xcurve, 1);
  const int context = group_selected ? group_context : text_template->xcontext;
  platform_check_menu_item(ANNOTATION_MENU, 17, context == 0);
  platform_check_menu_item(ANNOTATION_MENU, 18, context == 1);
  platform_check_menu_item(ANNOTATION_MENU, 19, context == -1);
  platform_check_menu_item(ANNOTATION_MENU, 20,
                           current_ncontext != 1 && context == current_ncontext);
  if (anno_menus) {
    for (int item = 1; item <= 29; ++item)
      if (text_category_code(item) != -1)
        mark_template_field(TEXT_CATEGORY_MENU, item, text_template, xclassify,
                            text_category_code(item));
    mark_template_field(TEXT_CATEGORY_MENU, 31, text_template, xdefault, 1);
  }
  for (int item = 1; item <= font_menu_count; ++item)
    if (const int code = font_code_of_item(item))
      mark_template_field(FONT_MENU, item, text_template, xtextfont, code);
  const bool real_font = platform_font_installed(font_from_code(text_template->get(xtextfont)));
  for (int item = 1; item <= 10; ++item) {
    mark_template_field(SIZE_MENU, item, text_template, xtextsize, size_menu_sizes[item - 1]);
    platform_set_menu_item_style(SIZE_MENU, item, real_font ? ITEM_STYLE_OUTLINE : 0);
  }
  if (c.line_mode || c.anno_group) {
    static const int LINE_KINDS[13] = {0, 1, 2, -1, 3, 5, 4, -1, 6, 8, 7, 10, 9};
    for (int item = 1; item <= 13; ++item)
      if (LINE_KINDS[item - 1] >= 0)
        mark_template_field(LINE_MENU, item, line_template, xmetaline, LINE_KINDS[item - 1]);
  }
  mark_styles(c);
}

}  // namespace

// ---- The pass
// ------------------------------------------------------------------------------------

void update_menus(int32_t source) {
  menu_modifiers = source ? platform_modifiers() & (MOD_EITHER_SHIFT | MOD_EITHER_OPTION) : 0;
  check_insertion_point();
  const MenuConditions c = examine_state(source);
  set_pass_cursor(c);
  retitle_by_modifier(c.modifier);
  list_contexts();
  clear_marks_and_attach_submenus();
  Enabling e;
  if (c.window) {
    enable_file(c, e);
    enable_edit(c, e);
    enable_context_and_page(c, e);
    enable_voice_and_note(c, e);
    enable_stem(c, e);
    enable_hear_and_symbol(c, e);
    enable_annotation(c, e);
  } else {
    enable_for_system_window(e);
  }
  e.apply();
  mark_program_switches(c);
  mark_line_modes(c);
  mark_annotation_side(c);
  const int32_t state = music_window() ? 3 : 1;
  if (state != menu_bar_state) {
    menu_bar_state = state;
    platform_draw_menu_bar();
  }
}
