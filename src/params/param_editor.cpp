// param_editor.cpp: the parameter editor (dialog 13001).
//
// The editor shows the parameters heading by heading: a list of the headings of the display
// order (param_order) and a list of the parameters under the chosen heading, each as it is in
// force at the insertion point. Store links a PARAM node there (or at the same time in every
// shown voice), in one notation context, in all but the Score or in all of them; the defaults
// of the table are never changed here.
//
// Design notes:
//  1. The note the editor shows is never written to. Which value (normal or small notes) is
//     shown and stored is passed to the lookup (param_value_variant), so a menu command run
//     while the editor is open (a save, say) sees the piece exactly as it is.
//  2. Menu commands can run while the editor is open; after each one the note is looked for
//     in the piece again, and the editor closes when it is gone.
//  3. Storing for all shown voices checks every voice before anything is asked or stored: the
//     change goes into all of them or into none.
//  4. Events of other windows are dropped while the editor is open, so the music window is
//     redrawn when it closes.
#include "params/param_editor.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "params/param_lookup.h"
#include "params/param_metrics.h"
#include "params/params_globals.h"
#include "platform/list_box.h"
#include "platform/port.h"

namespace {

constexpr int LIST_HEADINGS = 5;  // list types of list_create
constexpr int LIST_PARAMETERS = 6;
constexpr int STRING_CHARS = 7;  // characters of a string parameter
constexpr double OFFSET_LIMIT = 3200;
constexpr int32_t INTEGER_LIMIT = 32000;
constexpr int SCROLL_BAR = 16;

const char* const FONT_NOTE = "font/size in annotation menu";
const char* const CHARACTER_LABEL = "Character";
const char* const TEXT_LABEL = "          Text";

// Characters shown as stored rather than scaled to the staff at the note: the fonts of bar
// and page numbers, the p dynamic, hidden text made by the editor, the two system separators.
bool shown_unscaled(int pindex) {
  return pindex == 2 || pindex == 3 || pindex == 44 || pindex == 578 || pindex == 665 ||
         pindex == 666;
}

bool is_character_type(uint32_t t) { return t == PARAM_CHARACTER || t == PARAM_CHARACTER_PAIR; }
bool is_string_type(uint32_t t) { return t == PARAM_STRING || t == PARAM_STRING_PAIR; }

// The insertion point the lists describe: the editor's note, else the program's.
Drosa listed_note() { return param_editor_note ? param_editor_note : insertion_point; }

// 1 when a change of the parameter (either value) is attached before the note.
int changed_at(Drosa note, int pindex) {
  if (!is_NOTE(note)) return 0;
  for (Drosa p = find_prev_kind_stop(PARAM, note, ENDSYST); p;
       p = find_next_kind_before_note(PARAM, p))
    if (p->get(xparam_index) == pindex) return 1;
  return 0;
}

// The parameter of the selected row; 0 when the list has no rows.
int selected_pindex() {
  if (param_row_count == 0) return 0;
  return find_parameter_edit(param_cell.v, nullptr);
}

int small_chosen(int pindex) {
  return param_size_radio == PARAM_SMALL_ITEM && is_pair_type(param[pindex].type);
}

// Turns one radio button of a group on and the one that was on off.
void choose_radio(DialogRef dialog, int* choice, int item) {
  platform_set_item_value(dialog, *choice, 0);
  *choice = item;
  platform_set_item_value(dialog, item, 1);
}

// 1 when the note is still a note of one of the current piece's voices.
bool note_in_piece(Drosa note) {
  if (!drosa_handle_valid(note) || note->xkind != NOTE) return false;
  Drosa head = note;
  for (int32_t steps = 0; head->xback && steps <= total_Drosa_count; ++steps) head = head->xback;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
    if (piece_start[v] == head) return true;
  return false;
}

// ---- The lists ------------------------------------------------------------------------------

// Keeps the cells inside the lists that are about to be made (a changes-only opening, or a
// table rebuilt since, can list fewer rows than before).
void clamp_cells() {
  if (heading_cell.v >= find_parameter_heading(-1)) heading_cell.v = 0;
  int position = heading_count ? find_parameter_heading(heading_cell.v) : 0;
  if (param_cell.v >= find_parameter_edit(-1, &position)) param_cell.v = 0;
}

Rect item_rect(int item) { return platform_item_rect(param_dialog_window, item); }

void make_parameter_list() {
  clamp_cells();
  param_list = list_create(LIST_PARAMETERS, item_rect(PARAM_ROWS_ITEM), false, nullptr);
}

void draw_lists() {
  list_draw(heading_list);
  list_draw(param_list);
}

// Another heading was chosen: its parameters replace the list, the first one selected.
void heading_chosen(Drosa note) {
  int row = list_box_next_selected(heading_list, 0);
  if (row < 0 || row == heading_cell.v) return;
  heading_cell.v = int16_t(row);
  list_dispose(param_list);
  Rect area = item_rect(PARAM_ROWS_ITEM);
  area.right -= SCROLL_BAR;
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(param_dialog_window));
  erase_rect(outset_rect(area, 1));
  param_cell.v = 0;
  make_parameter_list();
  list_draw(param_list);
  platform_set_port(saved);
  set_param_display(note);
}

void parameter_chosen(Drosa note) {
  param_cell = Cell{};
  int row = list_box_next_selected(param_list, 0);
  if (row >= 0) param_cell.v = int16_t(row);
  set_param_display(note);
}

// ---- Showing a value ----------------------------------------------------------------------

// The text of item 9 the sample was last drawn with: typing in it redraws the sample.
std::string sample_text;

void select_all(DialogRef dialog, int item) { platform_select_item_text(dialog, item, 0, 32767); }

void show_character(DialogRef dialog, int pindex, Drosa note, int small) {
  ParamValue value = *param_value_variant(pindex, note, small);
  if (!shown_unscaled(pindex)) {
    value.set_size(uint8_t(scale_param_length(pindex, value.size())));
    value.set_x(scale_param_length(pindex, value.x()));
    value.set_y(scale_param_length(pindex, value.y()));
  }
  platform_set_item_text(dialog, PARAM_LABEL_ITEM, CHARACTER_LABEL);
  platform_set_item_text(dialog, PARAM_VALUE_ITEM, "");
  char text[2] = {char(value.character()), 0};
  platform_set_item_text(dialog, PARAM_TEXT_ITEM, text);
  select_all(dialog, PARAM_TEXT_ITEM);
  text_template->set(xtextfont, value.font());
  text_template->set(xcharset, value.bytes[2]);
  text_template->set(xtextsize, value.size());
  text_template->set(xtextface, value.style());
  model_hooks.update_menus(110);
  set_double_item(dialog, PARAM_X_ITEM, value.x() / 10.0);
  set_double_item(dialog, PARAM_Y_ITEM, value.y() / 10.0);
}

void show_string(DialogRef dialog, int pindex, Drosa note, int small) {
  ParamValue value = *param_value_variant(pindex, note, small);
  platform_set_item_text(dialog, PARAM_LABEL_ITEM, TEXT_LABEL);
  for (int item : {PARAM_VALUE_ITEM, PARAM_X_ITEM, PARAM_Y_ITEM})
    platform_set_item_text(dialog, item, "");
  char text[STRING_CHARS + 1] = {};
  std::memcpy(text, value.text(), STRING_CHARS);
  platform_set_item_text(dialog, PARAM_TEXT_ITEM, text);
  select_all(dialog, PARAM_TEXT_ITEM);
  text_template->set(xtextfont, value.font());
  text_template->set(xcharset, 0);
  text_template->set(xtextsize, 12);
  text_template->set(xtextface, 0);
  model_hooks.update_menus(110);
}

// An integer, coordinate or float in item 7; false for a type the editor cannot show.
bool show_number(DialogRef dialog, int pindex, Drosa note, int small) {
  for (int item :
       {PARAM_FONT_NOTE_ITEM, PARAM_LABEL_ITEM, PARAM_TEXT_ITEM, PARAM_X_ITEM, PARAM_Y_ITEM})
    platform_set_item_text(dialog, item, "");
  const ParamValue value = *param_value_variant(pindex, note, small);
  switch (param[pindex].type) {
    case PARAM_INTEGER:
    case PARAM_INTEGER_PAIR:
      set_long_item(dialog, PARAM_VALUE_ITEM, value.integer());
      break;
    case PARAM_COORDINATE:
    case PARAM_COORDINATE_PAIR: {
      int64_t v = value.integer();  // tenths of a point
      if (param[pindex].type != PARAM_COORDINATE && param_ref_size != 0)
        v = v * param_cur_size / param_ref_size;
      set_double_item(dialog, PARAM_VALUE_ITEM, double(v) / 10.0);
      break;
    }
    case PARAM_FLOAT:
    case PARAM_FLOAT_PAIR:
      set_double_item(dialog, PARAM_VALUE_ITEM, value.real());
      break;
    default:
      return false;
  }
  select_all(dialog, PARAM_VALUE_ITEM);
  return true;
}

// ---- Store --------------------------------------------------------------------------------

// A length typed in points as tenths, halves away from zero; false after the item reader's
// message.
bool read_tenths(DialogRef dialog, int item, const char* name, int32_t* tenths) {
  double v = get_double_item(dialog, item, name, -OFFSET_LIMIT, OFFSET_LIMIT, nullptr);
  if (v == BAD_DOUBLE_ITEM) return false;
  *tenths = round_nearest_int(v * 10.0);
  return true;
}

// The value typed for a parameter of type t; false (after a message) for an entry that cannot
// be stored.
bool read_value(DialogRef dialog, uint32_t t, ParamValue* value) {
  *value = ParamValue{};
  if (is_character_type(t)) {
    int32_t x = 0, y = 0;
    if (!read_tenths(dialog, PARAM_X_ITEM, "x offset", &x) ||
        !read_tenths(dialog, PARAM_Y_ITEM, "y offset", &y))
      return false;
    std::string text = platform_item_text(dialog, PARAM_TEXT_ITEM);
    if (text.size() != 1) {
      REPORT_ERROR(2, "You must specify one character.");
      return false;
    }
    value->set_font(text_template->get(xtextfont));
    value->set_size(text_template->get(xtextsize));
    value->set_style(text_template->get(xtextface));
    value->set_character(uint8_t(text[0]));
    value->set_x(x);
    value->set_y(y);
  } else if (is_string_type(t)) {
    std::string text = platform_item_text(dialog, PARAM_TEXT_ITEM);
    if (!text.empty() && text[0] == ' ') {
      REPORT_ERROR(2, "You cannot use a space at the start of your text!");
      return false;
    }
    if (text.size() > size_t(STRING_CHARS)) {
      REPORT_ERROR(2, "You can use at most %hd characters!", short(STRING_CHARS));
      return false;
    }
    value->set_font(text_template->get(xtextfont));
    value->set_text(text.c_str());
  } else if (t == PARAM_INTEGER || t == PARAM_INTEGER_PAIR) {
    int32_t v = get_long_item(dialog, PARAM_VALUE_ITEM, "value", -INTEGER_LIMIT, INTEGER_LIMIT);
    if (v == BAD_LONG_ITEM) return false;
    value->set_integer(v);
  } else if (t == PARAM_COORDINATE || t == PARAM_COORDINATE_PAIR) {
    int32_t tenths = 0;
    if (!read_tenths(dialog, PARAM_VALUE_ITEM, "value", &tenths)) return false;
    value->set_integer(tenths);
  } else if (t == PARAM_FLOAT || t == PARAM_FLOAT_PAIR) {
    double v =
        get_double_item(dialog, PARAM_VALUE_ITEM, "value", -OFFSET_LIMIT, OFFSET_LIMIT, nullptr);
    if (v == BAD_DOUBLE_ITEM) return false;
    value->set_real(float(v));
  } else {
    return false;
  }
  return true;
}

bool same_change(Drosa p, Drosa templ) {
  return p->get(xparam_index) == templ->get(xparam_index) &&
         p->get(xparam_small) == templ->get(xparam_small);
}

// The next change of the template's parameter and variant after `at` in its voice, seen in
// the current notation context; NIL when the voice ends first.
Drosa later_change(Drosa at, Drosa templ) {
  for (Drosa p = at->xnext; p; p = p->xnext) {
    int kind = effective_kind(p);
    if (kind == ENDSYST && p->get(xendpiece)) return NIL;
    if (kind == PARAM && same_change(p, templ)) return p;
  }
  return NIL;
}

// Every shown voice at the note's time in its system: its node there, the system's end, or
// NIL; -1 marks a voice not shown.
std::vector<Drosa> voices_at_note(Drosa note) {
  int32_t t = find_time_in_system(note);
  voices_to_system(system_number_on_page(note, 1), 1);
  voices_to_system_at_time(t, 1, 1);
  std::vector<Drosa> cursors;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
    cursors.push_back(voice_not_shown(v) ? NIL : time_cursor[v]);
  return cursors;
}

bool ends_piece(Drosa node) { return effective_kind(node) == ENDSYST && node->get(xendpiece); }

void store_in_voice(Drosa note, Drosa templ) {
  int answer = 0;
  if (later_change(note, templ)) {
    answer = yesnocan_alert(
        "This Parameter is changed again later in this voice; do you want to retain the later "
        "changes?");
    if (answer == ANSWER_CANCEL) return;
  }
  check_and_insert_param(note, templ);
  if (answer == ANSWER_NO) remove_later_param_changes(note, templ);
}

void store_in_all_voices(Drosa note, Drosa templ) {
  std::vector<Drosa> cursors = voices_at_note(note);
  // Every voice is checked before anything is asked, so that the change goes into all the
  // shown voices or into none.
  for (int v = 0; v < int(cursors.size()); ++v) {
    if (voice_not_shown(v)) continue;
    if (!cursors[size_t(v)] || ends_piece(cursors[size_t(v)])) {
      REPORT_ERROR(2,
                   "This parameter change cannot be stored here because '%s' has no notes "
                   "beyond this point!",
                   voice_display_name(v).c_str());
      return;
    }
  }
  int answer = 0;
  for (int v = 0; v < int(cursors.size()) && !answer; ++v) {
    if (voice_not_shown(v) || !later_change(cursors[size_t(v)], templ)) continue;
    answer = yesnocan_alert(
        "This Parameter is changed again later in this piece; do you want to retain the later "
        "changes?");
    if (answer == ANSWER_CANCEL) return;
  }
  cursors = voices_at_note(note);
  for (int v = 0; v < int(cursors.size()); ++v)
    if (!voice_not_shown(v)) check_and_insert_param(cursors[size_t(v)], templ);
  if (answer != ANSWER_NO) return;
  cursors = voices_at_note(note);
  for (int v = 0; v < int(cursors.size()); ++v)
    if (!voice_not_shown(v)) remove_later_param_changes(cursors[size_t(v)], templ);
}

// ---- Opening and closing ------------------------------------------------------------------

void sample_proc(DialogRef, int) { draw_parameter_item(); }

void draw_contexts_titles(DialogRef dialog) {
  char title[64];
  std::snprintf(title, sizeof title, "Not in %s", ncontext_name_of(1));
  platform_set_control_title(dialog, PARAM_NOT_SCORE_ITEM, title);
  std::snprintf(title, sizeof title, "Only in %s", ncontext_name_of(current_ncontext));
  platform_set_control_title(dialog, PARAM_ONLY_CONTEXT_ITEM, title);
  // A change "not in the Score" cannot be made while the Score is shown: it could not be
  // seen where it is stored.
  const bool score = current_ncontext == 1;
  enable_item(dialog, PARAM_NOT_SCORE_ITEM, !score);
  if (score && param_context_radio == PARAM_NOT_SCORE_ITEM)
    param_context_radio = PARAM_ALL_CONTEXTS_ITEM;
}

DialogRef open_editor(Drosa note) {
  DialogRef dialog = platform_open_dialog(PARAM_DIALOG, false);
  if (!dialog) return nullptr;
  param_dialog_window = dialog;
  model_hooks.update_menus(110);
  draw_contexts_titles(dialog);
  for (int item : {param_context_radio, param_scope_radio, param_size_radio})
    platform_set_item_value(dialog, item, 1);
  platform_set_user_item_proc(dialog, PARAM_SAMPLE_ITEM, sample_proc);
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  clamp_cells();
  heading_list = list_create(LIST_HEADINGS, item_rect(PARAM_HEADINGS_ITEM), false, nullptr);
  make_parameter_list();
  platform_set_port(saved);
  set_param_display(note);
  platform_show_dialog(dialog);
  return dialog;
}

void close_editor() {
  list_dispose(heading_list);
  list_dispose(param_list);
  heading_list = param_list = nullptr;
  platform_close_dialog(param_dialog_window);
  param_dialog_window = nullptr;
  param_editor_note = NIL;
  model_hooks.update_menus(118);
  model_hooks.redraw_view();
}

// One item the dialog gave; false when the editor is to close.
bool act_on_item(DialogRef dialog, int item, Drosa note) {
  switch (item) {
    case PARAM_STORE_ITEM:
      store_parameter_change(note);
      break;
    case PARAM_CLOSE_ITEM:
      return false;
    case PARAM_NORMAL_ITEM:
    case PARAM_SMALL_ITEM:
      choose_radio(dialog, &param_size_radio, item);
      set_param_display(note);
      break;
    case PARAM_THIS_VOICE_ITEM:
    case PARAM_ALL_VOICES_ITEM:
      choose_radio(dialog, &param_scope_radio, item);
      break;
    case PARAM_ONLY_CONTEXT_ITEM:
    case PARAM_NOT_SCORE_ITEM:
    case PARAM_ALL_CONTEXTS_ITEM:
      choose_radio(dialog, &param_context_radio, item);
      break;
    case PARAM_TEXT_ITEM:
      draw_parameter_item();
      break;
    case PARAM_SAMPLE_ITEM:  // a menu command was carried out
      break;
    case PARAM_HEADINGS_ITEM:
      heading_chosen(note);
      break;
    case PARAM_ROWS_ITEM:
      parameter_chosen(note);
      break;
    default:
      REPORT_ERROR(4, "Unexpected item returned from parameter dialog");
      break;
  }
  return true;
}

}  // namespace

// ---- The lists ------------------------------------------------------------------------------

int find_parameter_heading(int h) {
  if (h == -1) {
    heading_count = 0;
    heading_position.clear();
    int p = 0;
    while (p < param_order_count) {
      int start = p;
      int n = find_parameter_edit(-1, &p);
      if (n == 0 && param_changes_only) continue;
      heading_position.push_back(start);
      ++heading_count;
    }
    return heading_count;
  }
  if (h < 0 || h >= heading_count) {
    REPORT_ERROR(4, "Heading number %hd >= %hd in find_parameter_heading()!", short(h),
                 short(heading_count));
    return heading_count ? heading_position[0] : 0;
  }
  return heading_position[size_t(h)];
}

int find_parameter_edit(int row, int* io) {
  if (row == -1) {
    Drosa note = listed_note();
    param_row_count = 0;
    param_row_position.clear();
    param_row_changed.clear();
    int q = *io + 1;
    for (; q < param_order_count && param[param_order[q]].type != PARAM_HEADING; ++q) {
      int changed = changed_at(note, param_order[q]);
      if (param_changes_only && !changed) continue;
      param_row_position.push_back(q);
      param_row_changed.push_back(changed);
      ++param_row_count;
    }
    *io = q;
    return param_row_count;
  }
  if (row < 0 || row >= param_row_count) {
    REPORT_ERROR(4, "Parameter list number %hd >= %hd in find_parameter_edit()!", short(row),
                 short(param_row_count));
    if (param_row_count == 0) return 0;
    row = 0;
  }
  if (!io) return param_order[param_row_position[size_t(row)]];
  *io = param_row_changed[size_t(row)];
  return param_row_position[size_t(row)];
}

std::string parameter_heading_text(int h) {
  const char* description = param[param_order[find_parameter_heading(h)]].description;
  return description ? description : "";
}

std::string parameter_row_text(int r) {
  int changed = 0;
  int position = find_parameter_edit(r, &changed);
  const char* description = param[param_order[position]].description;
  std::string text = description ? description : "";
  if (changed) text += " *";
  return text;
}

// ---- The window ---------------------------------------------------------------------------

void parameter_dialog(Drosa note, int changes_only) {
  if (param_dialog_window) return;  // already open: its own loop takes every event
  if (!is_NOTE(note)) {
    REPORT_ERROR(4, "parameter_dialog: no insertion point");
    return;
  }
  if (changes_only || param_changes_only) heading_cell.v = param_cell.v = 0;
  param_changes_only = changes_only ? 1 : 0;
  param_editor_note = note;
  // Nothing listed means nothing changed here (a change of a parameter the editor does not
  // list counts as none).
  if (changes_only && find_parameter_heading(-1) == 0) {
    param_editor_note = NIL;
    REPORT_ERROR(2, "There are no parameter changes at this point in the piece.");
    return;
  }
  model_hooks.save_cursor();
  model_hooks.set_cursor(CURSOR_ID_ARROW);
  DialogRef dialog = open_editor(note);
  if (!dialog) {
    param_editor_note = NIL;
    REPORT_ERROR(4, "parameter_dialog: dialog %d is missing", PARAM_DIALOG);
    model_hooks.restore_cursor();
    return;
  }
  for (;;) {
    int item = platform_modal_dialog(dialog, param_dialog_filter);
    if (!act_on_item(dialog, item, note)) break;
    if (!note_in_piece(note)) break;  // a menu command took the note away
  }
  close_editor();
  model_hooks.restore_cursor();
}

void set_param_display(Drosa note) {
  DialogRef dialog = param_dialog_window;
  if (!dialog) return;
  int p = selected_pindex();
  uint32_t t = p ? param[p].type : PARAM_NONE;
  if (!is_pair_type(t) && param_size_radio == PARAM_SMALL_ITEM)
    choose_radio(dialog, &param_size_radio, PARAM_NORMAL_ITEM);
  enable_item(dialog, PARAM_SMALL_ITEM, is_pair_type(t));
  if (!p) {  // an empty list: nothing to show
    for (int item : {PARAM_VALUE_ITEM, PARAM_LABEL_ITEM, PARAM_TEXT_ITEM, PARAM_X_ITEM,
                     PARAM_Y_ITEM, PARAM_FONT_NOTE_ITEM})
      platform_set_item_text(dialog, item, "");
    draw_parameter_item();
    return;
  }
  int small = small_chosen(p);
  platform_set_item_text(dialog, PARAM_FONT_NOTE_ITEM, FONT_NOTE);
  if (is_character_type(t)) {
    show_character(dialog, p, note, small);
  } else if (is_string_type(t)) {
    show_string(dialog, p, note, small);
  } else if (!show_number(dialog, p, note, small)) {
    REPORT_ERROR(
        4, "Illegal parameter type for set_param_display: %hd pindex %hd param_cell: %hd, %hd",
        short(t), short(p), param_cell.h, param_cell.v);
  }
  draw_parameter_item();
}

int draw_parameter_item() {
  DialogRef dialog = param_dialog_window;
  if (!dialog) return 0;
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  Rect r = item_rect(PARAM_SAMPLE_ITEM);
  erase_rect(r);
  int p = selected_pindex();
  uint32_t t = p ? param[p].type : PARAM_NONE;
  sample_text = platform_item_text(dialog, PARAM_TEXT_ITEM);
  if (is_character_type(t) || is_string_type(t)) {
    Rect clip = get_clip();
    clip_rect(r);
    text_font(model_hooks.font_from_code(text_template->get(xtextfont)));
    text_face(text_template->get(xtextface));
    text_size(text_template->get(xtextsize));
    move_to((2 * r.left + r.right) / 3, (r.top + 2 * r.bottom) / 3);
    if (is_string_type(t))
      draw_string(sample_text);
    else if (!sample_text.empty())
      draw_string(sample_text.substr(0, 1) + "    ");
    text_font(0);
    text_face(0);
    text_size(0);
    clip_rect(clip);
  }
  platform_set_port(saved);
  return 0;
}

bool param_dialog_filter(DialogRef dialog, EventRecord* event, int* item) {
  if (dialog_key_filter(dialog, event, item)) return true;
  if (platform_item_text(dialog, PARAM_TEXT_ITEM) != sample_text) draw_parameter_item();
  const int window = platform_dialog_window(dialog);
  int32_t choice = 0;
  switch (event->what) {
    case EVENT_UPDATE:
      if (event->window == window) draw_dialog_frame(dialog, draw_lists, nullptr);
      return false;
    case EVENT_KEY_DOWN:
    case EVENT_AUTO_KEY:
      if ((event->modifiers & MOD_COMMAND) && !(event->modifiers & MOD_CONTROL))
        choice = menu_key_maps(event_char(*event));
      break;
    case EVENT_MENU:
      choice = int32_t(event->message);
      break;
    case EVENT_MOUSE_DOWN:
      if (event->window != window) return false;
      if (list_click(event, heading_list)) {
        *item = PARAM_HEADINGS_ITEM;
        return true;
      }
      if (list_click(event, param_list)) {
        *item = PARAM_ROWS_ITEM;
        return true;
      }
      return false;
    default:
      return false;
  }
  if ((choice >> 16) == 0) return false;
  param_hooks.do_menu_item(int16_t(choice >> 16), int16_t(choice & 0xFFFF), 110);
  draw_parameter_item();
  model_hooks.update_menus(110);
  *item = PARAM_SAMPLE_ITEM;
  return true;
}

void store_parameter_change(Drosa note) {
  DialogRef dialog = param_dialog_window;
  int p = selected_pindex();
  if (!dialog || !p) return;
  const uint32_t t = param[p].type;
  const int small = small_chosen(p);
  int context = 0;
  if (param_context_radio == PARAM_ONLY_CONTEXT_ITEM) context = current_ncontext;
  if (param_context_radio == PARAM_NOT_SCORE_ITEM) context = -1;

  ParamValue value;
  if (!read_value(dialog, t, &value)) return;
  param_value_variant(p, note, small);  // the staff size at the note
  Drosa templ = newDrosa(PARAM, context);
  templ->set(xparam_index, int16_t(p));
  templ->set(xparam_small, small);
  templ->set(xparam_stsize, int16_t(param_cur_size));
  set_xparam_value(templ, value);
  if (param_scope_radio == PARAM_THIS_VOICE_ITEM)
    store_in_voice(note, templ);
  else
    store_in_all_voices(note, templ);
  destroyDrosa(templ);
  set_param_display(note);
}

void remove_later_param_changes(Drosa at, Drosa templ) {
  // Each search starts again at `at`: rewriting the texts removes nodes around the change.
  for (Drosa change; (change = later_change(at, templ));) {
    Drosa next = change->xnext;
    destroy_node(change);
    model_hooks.param_nodes_to_annos(next);
    mark_piece_changed(1, 3, 0);
  }
}
