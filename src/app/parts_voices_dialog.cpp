// parts_voices_dialog.cpp: the Parts and Voices dialog, and moving a voice to the next staff.
//
// The dialog reads each shown voice's PRINT in force at the insertion point's time into a
// list of staff records: a voice goes to the record at its place in the staff list (xlist)
// or else at its staff (xsstaff); of a part that prints nowhere only its first voice is
// listed, at the end. The user edits the records; OK writes every shown voice's PRINT anew
// from its record. Part and voice commands change the piece at once, so Cancel after them
// still regroups the voices and formats the piece again.
#include "app/parts_voices_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/port.h"

namespace {

constexpr int SCORE = 1;
constexpr int MAX_LINES = 12;
constexpr int MIN_SIZE = 2, MAX_SIZE = 12;  // as typed; the record holds ten times the size
constexpr int TAB_MAX_LINES = 7;
constexpr int PIANO_RIGHT_LINES = 7, PIANO_LEFT_LINES = 8;
constexpr int PART_STAVES_MAX = 15;      // what the PRINT's 4-bit staff count holds
constexpr uint8_t TAB_KEPT_BITS = 0xF0;  // the two 2-bit fields above xtablature's
constexpr char EN_DASH = '\xD0';         // in Mac OS Roman

ListBox* staff_list = nullptr;  // the list box that shows the staff records while it is open

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// ---- Staff records ----------------------------------------------------------------------------

int count_of(Drosa r) {
  return r ? std::clamp<int>(r->get(xstaffrec_count), 0, STAFF_RECORD_VOICES) : 0;
}
int entry_of(Drosa r, int i) { return r->get(xstaffrec_voice, i); }
int voice_of(Drosa r, int i) { return entry_of(r, i) & STAFF_VOICE_NUMBER; }
bool printed(Drosa r) { return r->get(xstaffrec_printed) != 0; }

int records() {
  int n = 0;
  for (Drosa r = staff_list_head; r; r = r->xnext) ++n;
  return n;
}

int index_of(Drosa record) {
  int i = 0;
  for (Drosa r = staff_list_head; r; r = r->xnext, ++i)
    if (r == record) return i;
  return -1;
}

int printed_before(Drosa record) {
  int n = 0;
  for (Drosa r = staff_list_head; r && r != record; r = r->xnext) n += printed(r) ? 1 : 0;
  return n;
}

void append_entry(Drosa r, int entry) {
  const int n = count_of(r);
  r->set(xstaffrec_voice, n, uint8_t(entry));
  r->set(xstaffrec_count, int8_t(n + 1));
}

Drosa new_record() { return newDrosa(VOICES, 0); }

// The record at a position of the list (from 0), with empty records appended as needed.
Drosa record_at(int position) {
  if (!staff_list_head) staff_list_head = new_record();
  Drosa r = staff_list_head;
  for (int i = 0; i < position; ++i) {
    if (!r->xnext) link_after(new_record(), r);
    r = r->xnext;
  }
  return r;
}

Drosa last_record() {
  Drosa r = staff_list_head;
  while (r && r->xnext) r = r->xnext;
  return r;
}

void unlink_record(Drosa r) {
  if (r == staff_list_head) staff_list_head = r->xnext;
  destroy_node(r);
}

// Removes the records without voices; a removed `*selected` hands over to the next record,
// and with none left to the first.
void remove_empty_records(Drosa* selected) {
  for (Drosa r = staff_list_head; r;) {
    Drosa next = r->xnext;
    if (count_of(r) <= 0) {
      if (r == *selected) *selected = next;
      unlink_record(r);
    }
    r = next;
  }
  if (!*selected) *selected = staff_list_head;
}

// ---- The voices at the dialog's time -------------------------------------------------------

struct DialogState {
  DialogRef dialog = nullptr;
  Drosa selected;
  int32_t system = 0;  // the insertion point's system on its page
  int32_t t = 0;       // and its time in that system
  bool changed = false;
  bool structure_changed = false;
};
DialogState state;

void place_voices() {
  voices_to_system(state.system, 1);
  voices_to_system_at_time(state.t, 1, 1);
}

bool shown(int v) { return v >= 0 && v < voices() && time_cursor[v]; }

Drosa print_at_cursor(int v) { return shown(v) ? find_prev_kind(PRINT, time_cursor[v]) : NIL; }

// A part none of whose shown voices prints or has a place in the staff list.
bool part_unplaced(int v) {
  for (int u = 0; u < voices(); ++u) {
    if (!shown(u) || !voices_same_part(u, v)) continue;
    Drosa p = print_at_cursor(u);
    if (!p || p->get(xlist) != 0 || p->get(xsstaff) != -1) return false;
  }
  return true;
}

void build_staff_list() {
  bool bad_places = false;
  for (int v = 0; v < voices(); ++v) {
    Drosa p = print_at_cursor(v);
    if (!p || p->get(xlist) == 0) continue;
    if (p->get(xlist) - 1 < p->get(xsstaff) || p->get(xlist) > voice_count) bad_places = true;
  }
  if (bad_places) {
    for (int v = 0; v < voices(); ++v)
      if (Drosa p = print_at_cursor(v)) p->set(xlist, 0);
  }
  staff_list_head = new_record();
  state.selected = NIL;
  for (int v = 0; v < voices(); ++v) {
    Drosa p = print_at_cursor(v);
    if (!p) continue;
    const int list = p->get(xlist), staff = p->get(xsstaff);
    Drosa r;
    if (list != 0) {
      r = record_at(list - 1);
    } else if (staff != -1) {
      r = record_at(std::clamp(staff, 0, MAX_VOICES - 1));  // a system has at most 64 staves
    } else if (voice_number_in_part(v) == 0 && part_unplaced(v)) {
      r = new_record();
      link_after(r, last_record());
    } else {
      continue;
    }
    if (count_of(r) >= STAFF_RECORD_VOICES) {
      Drosa overflow = new_record();
      link_after(overflow, r);
      r = overflow;
    }
    append_entry(r, v | (p->get(xprintdir) == 2 ? STAFF_VOICE_STEMS_UP : 0));
    r->set(xstaffrec_size, uint8_t(std::clamp<int>(p->get(xstaffsize), 0, 255)));
    r->set(xstaffrec_lines, int8_t(p->get(xslines)));
    r->set(xstaffrec_tablature, int8_t(p->get(xtablature)));
    r->set(xstaffrec_printed, uint8_t(staff != -1));
    r->set(xstaffrec_by_voice, uint8_t(p->get(xprintdir) != 3));
    if (v == selected_voice) state.selected = r;
  }
  remove_empty_records(&state.selected);
}

// ---- Dialog items -------------------------------------------------------------------------------

int value(int item) { return platform_item_value(state.dialog, item); }
void set_value(int item, int on) { platform_set_item_value(state.dialog, item, on ? 1 : 0); }

void draw_staff_list() { list_draw(staff_list); }

void make_staff_list() {
  list_dispose(staff_list);
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(state.dialog));
  Drosa select = state.selected;
  staff_list = list_create(7, platform_item_rect(state.dialog, PV_LIST), false, &select);
  platform_set_port(saved);
}

void set_tablature_radio(int on) {
  for (int item = PV_TAB_NONE; item <= PV_PIANO_LEFT; ++item) set_value(item, item == on);
}

bool voice_has_vinfo_here(int v) {
  return shown(v) && find_prev_kind_stop(VINFO, time_cursor[v], ENDSYST);
}

// The staff's own name for a voice of it: the display name.
std::string display_name(int v) { return voice_display_name(v); }

// After the records changed: the voices placed again, empty records gone, the list made anew.
void refresh_list() {
  place_voices();
  remove_empty_records(&state.selected);
  make_staff_list();
  show_selected_staff(state.dialog, state.selected, state.t);
  platform_invalidate_dialog_rect(state.dialog, platform_item_rect(state.dialog, PV_LIST));
}

// ---- Items 11 to 13 -----------------------------------------------------------------------------

void join_next_staff(Drosa r) {
  Drosa next = r->xnext;
  if (!next || count_of(r) + count_of(next) > STAFF_RECORD_VOICES - 1) return;
  for (int i = 0; i < count_of(next); ++i) append_entry(r, entry_of(next, i));
  unlink_record(next);
  state.structure_changed = true;
}

void split_staff(Drosa r) {
  while (count_of(r) > 1) {
    const int last = count_of(r) - 1;
    Drosa copy = copyDrosa(r);
    for (int i = 0; i < STAFF_RECORD_VOICES; ++i) copy->set(xstaffrec_voice, i, 0);
    copy->set(xstaffrec_voice, 0, uint8_t(entry_of(r, last)));
    copy->set(xstaffrec_count, 1);
    r->set(xstaffrec_voice, last, 0);
    r->set(xstaffrec_count, int8_t(last));
    link_after(copy, r);
  }
  state.structure_changed = true;
}

void move_staff(Drosa r) {
  int32_t position = 0;
  if (!number_dialog_long("Move staff to which position in the list?", index_of(r) + 1, 1,
                          records(), &position, "position"))
    return;
  Drosa copy = copyDrosa(r);
  unlink_record(r);
  if (position <= 1 || !staff_list_head) {
    copy->xnext = staff_list_head;
    if (staff_list_head) staff_list_head->xback = copy;
    staff_list_head = copy;
  } else {
    Drosa after = staff_list_head;
    for (int i = 1; i < position - 1 && after->xnext; ++i) after = after->xnext;
    link_after(copy, after);
  }
  state.selected = copy;
  state.structure_changed = true;
}

// ---- Closing ------------------------------------------------------------------------------------

// In the Score the voices are grouped by part, the parts in the order of their staves.
void reorder_voices() {
  Drosa starts[MAX_VOICES] = {}, pages[MAX_VOICES] = {};
  bool placed[MAX_VOICES] = {};
  int n = 0;
  for (Drosa r = staff_list_head; r; r = r->xnext) {
    for (int i = 0; i < count_of(r); ++i) {
      const int v = voice_of(r, i);
      if (v >= voices() || placed[v]) continue;
      for (int u = 0; u < voices(); ++u) {
        if (placed[u] || !voices_same_part(u, v)) continue;
        starts[n] = piece_start[u];
        pages[n] = page_start[u];
        placed[u] = true;
        ++n;
      }
    }
  }
  if (n != voice_count) {
    REPORT_ERROR(4, "Confusion in reorder_voices()!");
    return;
  }
  std::copy(starts, starts + n, piece_start);
  std::copy(pages, pages + n, page_start);
  for (int v = 0; v < n; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE) p->set(xvoice, v);
}

void reformat_after_changes() {
  stop_flashing(insertion_point);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  set_selected_voice(-10);
  if (current_ncontext == SCORE) reorder_voices();
  offscreen_erase();
  display_win_title(1, " (working)");
  last_formatted_page = -500;
  count_pages();
  current_page = std::clamp<int32_t>(current_page, 1, page_count);
  disable_format_interrupts();
  format_page(current_page, 0);
  enable_format_interrupts();
  refresh_from_offscreen();
  display_win_title(1, nullptr);
  cursor_to_nearest_visnote(insertion_point_pos, 0, 1, 1);
}

// OK: false when the dialog must stay open.
bool apply_all() {
  if (!read_staff_settings(state.dialog, state.selected)) return false;
  bool any_printed = false;
  for (Drosa r = staff_list_head; r; r = r->xnext) any_printed = any_printed || printed(r);
  if (!any_printed) {
    REPORT_ERROR(2, "You have Don't Print selected for all of the parts!");
    return false;
  }
  const int rest = value(PV_LATER_TOO);
  bool done[MAX_VOICES] = {};
  for (Drosa r = staff_list_head; r; r = r->xnext) {
    for (int i = 0; i < count_of(r); ++i) {
      const int v = voice_of(r, i);
      if (!shown(v)) continue;
      apply_staff_to_voice(r, i, time_cursor[v], rest);
      done[v] = true;
    }
  }
  for (int v = 0; v < voices(); ++v)
    if (shown(v) && !done[v]) apply_staff_to_voice(NIL, v, time_cursor[v], rest);
  if (state.structure_changed) {
    for (int v = 0; v < voices(); ++v)
      if (shown(v) && page_start[v] && !page_start[v]->get(xendpiece))
        update_SDRAG_on_page(page_start[v]->xnext);
  }
  if (voices_removed || voices_added) clear_undo(1);
  state.changed = true;
  return true;
}

// Item 10: yes when the arrangement before this point is to hold on.
bool use_preceding_arrangement() {
  if (!yesno_alert("Do you want to use the same arrangement of parts and voices as you have "
                   "preceding this point in the piece?",
                   1))
    return false;
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v) || voice_has_vinfo_here(v)) continue;
    while (Drosa print = find_PRINT_before_note(time_cursor[v])) removevc_with_undo(print);
  }
  state.changed = true;
  return true;
}

// Items 5 to 14; false when the list need not be made again.
bool staff_command(int item) {
  Drosa r = state.selected;
  switch (item) {
    case PV_NEW_PART:
      if (!read_staff_settings(state.dialog, r)) return false;
      if (state.t != 0) {
        REPORT_ERROR(2, "You need to be at the beginning of a system to create a new part.");
        return false;
      }
      if (!create_new_part(r)) return true;
      voices_added = 1;
      state.changed = state.structure_changed = true;
      if (r->xnext) state.selected = r->xnext;
      set_value(PV_LATER_TOO, 1);
      return true;
    case PV_DELETE_PART: {
      int removed = voices_removed;
      if (delete_part(r, &removed)) state.changed = state.structure_changed = true;
      voices_removed = removed;
      return true;
    }
    case PV_RENAME_PART:
      rename_part(r);
      return true;
    case PV_START_VOICE: {
      const int before = voice_count;
      if (start_additional_voice(r)) state.changed = true;
      if (voice_count != before) voices_added = 1;
      return true;
    }
    case PV_END_VOICE: {
      int removed = voices_removed;
      if (end_voice(r, &removed)) state.changed = true;
      voices_removed = removed;
      return true;
    }
    case PV_JOIN:
      if (!read_staff_settings(state.dialog, r)) return false;
      join_next_staff(r);
      return true;
    case PV_SPLIT:
      if (!read_staff_settings(state.dialog, r)) return false;
      split_staff(r);
      return true;
    case PV_MOVE:
      move_staff(r);
      return true;
    default:  // PV_DONT_PRINT
      r->set(xstaffrec_printed, uint8_t(!printed(r)));
      set_dont_print_items(state.dialog, r);
      show_staff_settings(state.dialog, r);
      return true;
  }
}

void staff_chosen() {
  const int row = list_box_next_selected(staff_list, 0);
  Drosa chosen = staff_list_head;
  for (int i = 0; chosen && i < row; ++i) chosen = chosen->xnext;
  if (row < 0 || !chosen || chosen == state.selected) {
    if (state.selected) list_box_select(staff_list, index_of(state.selected), true);
    return;
  }
  if (!read_staff_settings(state.dialog, state.selected)) {
    list_box_select(staff_list, row, false);
    list_box_select(staff_list, index_of(state.selected), true);
    return;
  }
  state.selected = chosen;
  show_selected_staff(state.dialog, chosen, state.t);
}

void tablature_chosen(int item) {
  set_tablature_radio(item);
  int lines = 5, size = 5;
  if (item == PV_PIANO_RIGHT) lines = PIANO_RIGHT_LINES;
  if (item == PV_PIANO_LEFT) lines = PIANO_LEFT_LINES;
  if (item == PV_TAB_1 || item == PV_TAB_2) lines = 6, size = 10;
  set_long_item(state.dialog, PV_LINES, lines);
  set_long_item(state.dialog, PV_SIZE, size);
}

}  // namespace

// ---- The dialog -----------------------------------------------------------------------------

void staff_list_text(Drosa record, char* dst) {
  constexpr size_t SIZE = 256;
  std::string row;
  if (printed(record))
    row = "Staff " + std::to_string(printed_before(record) + 1) + ":  ";
  else
    row = std::string("Staff ") + EN_DASH + ":  ";
  for (int i = 0; i < count_of(record); ++i) {
    if (i) row += ",";
    row += display_name(voice_of(record, i));
  }
  std::snprintf(dst, SIZE, "%s", row.c_str());
}

void show_selected_staff(DialogRef dialog, Drosa record, int32_t t) {
  if (!record) return;
  const int row = index_of(record);
  for (int r = 0; r < list_box_rows(staff_list); ++r) list_box_select(staff_list, r, r == row);
  const bool score = current_ncontext == SCORE;
  const bool fresh = !voices_removed && !voices_added;
  const int first = count_of(record) > 0 ? voice_of(record, 0) : -1;
  enable_item(dialog, PV_JOIN, record->xnext != NIL);
  enable_item(dialog, PV_SPLIT, count_of(record) > 1);
  enable_item(dialog, PV_MOVE, records() > 1);
  enable_item(dialog, PV_NEW_PART, score && voice_count <= MAX_VOICES - 2);
  enable_item(dialog, PV_DELETE_PART, score);
  enable_item(dialog, PV_RENAME_PART, score);
  enable_item(
      dialog, PV_START_VOICE,
      count_of(record) <= STAFF_RECORD_VOICES - 1 && !voice_names_of_staff_list(record).empty());
  enable_item(dialog, PV_END_VOICE, !part_names_reverse_list(record).empty());
  enable_item(dialog, PV_PRECEDING, fresh && (t != 0 || !voice_has_vinfo_here(first)));
  enable_item(dialog, PV_CANCEL, fresh);

  set_long_item(dialog, PV_LINES, record->get(xstaffrec_lines));
  set_long_item(dialog, PV_SIZE, record->get(xstaffrec_size) / 10);
  switch (record->get(xstaffrec_tablature)) {
    case 1:
      set_tablature_radio(PV_TAB_1);
      break;
    case 2:
      set_tablature_radio(PV_TAB_2);
      break;
    case 3:
      set_tablature_radio(record->get(xstaffrec_lines) == PIANO_LEFT_LINES ? PV_PIANO_LEFT
                                                                           : PV_PIANO_RIGHT);
      break;
    default:
      set_tablature_radio(PV_TAB_NONE);
      break;
  }
  platform_show_dialog(dialog);
  draw_dialog_frame(dialog, draw_staff_list, nullptr);
  set_dont_print_items(dialog, record);
  show_staff_settings(dialog, record);
}

int read_staff_settings(DialogRef dialog, Drosa record) {
  if (!record) return 1;
  const bool dont_print = platform_item_value(dialog, PV_DONT_PRINT) != 0;
  record->set(xstaffrec_printed, uint8_t(!dont_print));
  if (dont_print) return 1;
  const int32_t lines = get_long_item(dialog, PV_LINES, "staff lines", 0, MAX_LINES);
  if (lines == BAD_LONG_ITEM) return 0;
  const int32_t size = get_long_item(dialog, PV_SIZE, "staff size", MIN_SIZE, MAX_SIZE);
  if (size == BAD_LONG_ITEM) return 0;
  record->set(xstaffrec_lines, int8_t(lines));
  record->set(xstaffrec_size, uint8_t(size * 10));
  const bool right = platform_item_value(dialog, PV_PIANO_RIGHT) != 0;
  const bool left = platform_item_value(dialog, PV_PIANO_LEFT) != 0;
  int tablature = 0;
  if (platform_item_value(dialog, PV_TAB_2)) tablature = 2;
  if (platform_item_value(dialog, PV_TAB_1)) tablature = 1;
  if (right || left) tablature = 3;
  record->set(xstaffrec_tablature, int8_t(tablature));
  record->set(xstaffrec_by_voice, uint8_t(platform_item_value(dialog, PV_BY_VOICE) != 0));
  for (int i = 0; i < std::min(count_of(record), PV_SHOWN_VOICES); ++i) {
    const int up = platform_item_value(dialog, PV_FIRST_STEM + 2 * i);
    const int entry = entry_of(record, i) & ~STAFF_VOICE_STEMS_UP;
    record->set(xstaffrec_voice, i, uint8_t(entry | (up ? STAFF_VOICE_STEMS_UP : 0)));
  }
  if (tablature == 3 &&
      ((right && lines != PIANO_RIGHT_LINES) || (left && lines != PIANO_LEFT_LINES))) {
    REPORT_ERROR(
        2,
        "For right hand piano tab you must have %hd staff lines, for left hand you must have %hd!",
        short(PIANO_RIGHT_LINES), short(PIANO_LEFT_LINES));
    return 0;
  }
  if ((tablature == 1 || tablature == 2) && (lines < 1 || lines > TAB_MAX_LINES)) {
    REPORT_ERROR(2, "For tablature you must have between 1 and %hd staff lines!",
                 short(TAB_MAX_LINES));
    return 0;
  }
  return 1;
}

void show_staff_settings(DialogRef dialog, Drosa record) {
  if (!record) return;
  const bool by_voice = record->get(xstaffrec_by_voice) != 0;
  platform_set_item_value(dialog, PV_BY_VOICE, by_voice);
  const bool active = !platform_item_value(dialog, PV_DONT_PRINT) && by_voice;
  const int count = count_of(record);
  for (int i = 0; i < PV_SHOWN_VOICES; ++i) {
    const int up = PV_FIRST_STEM + 2 * i, down = up + 1, name = PV_FIRST_NAME + i;
    show_hide_item(dialog, up, i < count);
    show_hide_item(dialog, down, i < count);
    enable_item(dialog, up, active && i < count);
    enable_item(dialog, down, active && i < count);
    if (i < count) {
      const bool stems_up = (entry_of(record, i) & STAFF_VOICE_STEMS_UP) != 0;
      platform_set_item_value(dialog, up, stems_up);
      platform_set_item_value(dialog, down, !stems_up);
    }
    platform_set_item_text(dialog, name,
                           i < count && count > 1 ? display_name(voice_of(record, i)) : "");
    if (!active)
      invert_item(dialog, name, 0, GRAY_OUT_ITEM);
    else
      platform_invalidate_dialog_rect(dialog, platform_item_rect(dialog, name));
  }
}

void set_dont_print_items(DialogRef dialog, Drosa record) {
  if (!record) return;
  const bool prints = printed(record);
  if ((platform_item_value(dialog, PV_DONT_PRINT) != 0) == !prints) return;
  platform_set_item_value(dialog, PV_DONT_PRINT, !prints);
  for (int item : {PV_TAB_NONE, PV_TAB_2, PV_TAB_1, PV_PIANO_LEFT, PV_PIANO_RIGHT, PV_BY_VOICE})
    enable_item(dialog, item, prints);
  for (int label : {15, 17, 18, 20, 21}) {
    if (prints)
      platform_invalidate_dialog_rect(dialog, platform_item_rect(dialog, label));
    else
      invert_item(dialog, label, 0, GRAY_OUT_ITEM);
  }
}

bool parts_voices_list_filter(DialogRef dialog, EventRecord* event, int* item) {
  if (dialog_key_filter(dialog, event, item)) return true;
  if (event->what == EVENT_KEY_DOWN && event_char(*event) == KEY_TAB && staff_list) {
    const int rows = list_box_rows(staff_list);
    if (rows > 0) {
      const int row = list_box_next_selected(staff_list, 0);
      if (row >= 0) list_box_select(staff_list, row, false);
      list_box_select(staff_list, row + 1 < rows ? row + 1 : 0, true);
      list_box_auto_scroll(staff_list);
    }
    *item = PV_LIST;
    return true;
  }
  if (event->what == EVENT_MOUSE_DOWN && list_click(event, staff_list)) {
    *item = PV_LIST;
    return true;
  }
  return false;
}

// Reads and writes as the header says; the dialog's state while it is open.
void parts_and_voices_dialog() {
  save_cursor();
  set_cursor(CURSOR_ID_ARROW);
  voices_removed = voices_added = 0;
  if (!insertion_point) {
    REPORT_ERROR(4, "Bad call on Parts and Voices... dialog (NIL insertion_point)");
    restore_cursor();
    return;
  }
  state = DialogState{};
  state.t = find_time_in_system(insertion_point);
  state.system = system_number_on_page(insertion_point, 1);
  place_voices();
  build_staff_list();

  Port* saved_port = platform_current_port();
  state.dialog = platform_open_dialog(PARTS_VOICES_DIALOG, false);
  if (!state.dialog) {
    REPORT_ERROR(4, "Dialog %d cannot be opened", PARTS_VOICES_DIALOG);
  } else {
    make_staff_list();
    show_selected_staff(state.dialog, state.selected, state.t);
    for (;;) {
      draw_dialog_frame(state.dialog, draw_staff_list, nullptr);
      const int item = platform_modal_dialog(state.dialog, parts_voices_list_filter);
      if (item == PV_OK) {
        if (apply_all()) break;
        continue;
      }
      // Escape chooses Cancel too, which is refused while it is disabled.
      if (item == PV_CANCEL) {
        if (platform_item_hilite(state.dialog, PV_CANCEL) != 255) break;
        continue;
      }
      if (!state.selected) continue;  // no staff to act on
      if (item == PV_PRECEDING) {
        if (use_preceding_arrangement()) break;
        continue;
      }
      if (item >= PV_NEW_PART && item <= PV_DONT_PRINT) {
        if (staff_command(item)) refresh_list();
        continue;
      }
      switch (item) {
        case PV_LIST:
          staff_chosen();
          break;
        case PV_TAB_NONE:
        case PV_TAB_2:
        case PV_TAB_1:
        case PV_PIANO_RIGHT:
        case PV_PIANO_LEFT:
          tablature_chosen(item);
          break;
        case PV_BY_VOICE:
          state.selected->set(xstaffrec_by_voice,
                              uint8_t(!state.selected->get(xstaffrec_by_voice)));
          show_staff_settings(state.dialog, state.selected);
          break;
        case PV_LATER_TOO:
        case PV_LATER_TOO_LABEL:
          set_value(PV_LATER_TOO, !value(PV_LATER_TOO));
          break;
        case PV_LINES:
        case PV_SIZE:
          break;
        default:
          if (item >= PV_FIRST_STEM && item < PV_FIRST_NAME) {
            const int first = item - (item - PV_FIRST_STEM) % 2;
            set_value(first, item == first);
            set_value(first + 1, item != first);
          } else {
            REPORT_ERROR(4, "Unexpected item returned from Parts and Voices... dialog.");
          }
          break;
      }
    }
    list_dispose(staff_list);
    staff_list = nullptr;
    platform_set_port(saved_port);
    platform_close_dialog(state.dialog);
  }
  restore_cursor();
  if (state.changed) reformat_after_changes();
  destroy_Drosa_list(staff_list_head);
  staff_list_head = NIL;
  state = DialogState{};
}

// ---- Writing the PRINT of a voice -------------------------------------------------------------

Drosa find_PRINT_before_note(Drosa chord) {
  if (!chord) return NIL;
  if (vchord_first_note(chord) != chord)
    REPORT_ERROR(4, "Not at start of chord in find_PRINT_before_note: %0lx",
                 static_cast<unsigned long>(chord.handle()));
  for (Drosa p = chord->xback; p; p = p->xback) {
    if (p->xkind == NOTE) return NIL;
    if (p->xkind == ENDSYST && p->get(xstartpiece)) return NIL;
    if (effective_kind(p) == PRINT) return p;
  }
  return NIL;
}

void apply_staff_to_voice(Drosa record, int index, Drosa at, int rest) {
  if (!at) return;
  Drosa first = staff_list_head;
  int v, list_position, staff, lines, size, tablature, direction = 3;
  if (record) {
    v = voice_of(record, index);
    list_position = 1 + index_of(record);
    staff = printed(record) ? printed_before(record) : -1;
    lines = record->get(xstaffrec_lines);
    size = record->get(xstaffrec_size);
    tablature = record->get(xstaffrec_tablature);
    if (record->get(xstaffrec_by_voice))
      direction = entry_of(record, index) & STAFF_VOICE_STEMS_UP ? 2 : 1;
  } else {
    v = index;
    list_position = 0;
    staff = -1;
    lines = first ? first->get(xstaffrec_lines) : 5;
    size = first ? first->get(xstaffrec_size) : 50;
    tablature = first ? first->get(xstaffrec_tablature) : 0;
  }
  Drosa in_force = find_prev_kind(PRINT, at);
  const int layer = in_force ? in_force->get(xlayer) : 0;

  int lo = MAX_VOICES, hi = -1, printed_index = 0;
  for (Drosa r = staff_list_head; r; r = r->xnext) {
    if (!printed(r)) continue;
    for (int i = 0; i < count_of(r); ++i) {
      if (!voices_same_part(voice_of(r, i), v)) continue;
      lo = std::min(lo, printed_index);
      hi = std::max(hi, printed_index);
    }
    ++printed_index;
  }

  uint8_t kept = 0;
  while (Drosa old = find_PRINT_before_note(at)) {
    kept = node_byte(old, 19) & TAB_KEPT_BITS;
    removevc_with_undo(old);
  }
  Drosa print = newDrosa(PRINT, current_ncontext);
  print->set(xlayer, uint8_t(layer));
  print->set(xlist, uint8_t(list_position));
  print->set(xsstaff, int16_t(staff));
  print->set(xslines, int16_t(lines));
  print->set(xstaffsize, int16_t(size));
  print->set(xprintdir, int16_t(direction));
  set_node_byte(print, 19, kept);
  print->set(xtablature, tablature & 3);
  if (last_pstaff != -1 && hi >= lo) {
    print->set(xpartstaves, std::min(hi - lo + 1, PART_STAVES_MAX));
    print->set(xpartstaff, staff == -1 ? 0 : std::clamp(staff - lo, 0, PART_STAVES_MAX));
  }
  insertvc_node_with_undo(print, at->xback);
  mark_piece_changed(1, 3, current_ncontext);

  if (rest) {
    for (Drosa p = at->xnext; p;) {
      Drosa next = p->xnext;
      if (effective_kind(p) == PRINT) removevc_with_undo(p);
      p = next;
    }
  }
  if (staff == -1 || v < 0 || v >= voices()) return;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (effective_kind(p) != PRINT || p->get(xsstaff) == -1) continue;
    const bool same_tab = p->get(xtablature) == tablature;
    if (p->get(xstaffsize) == size && same_tab) continue;
    char question[REPORT_TEXT_SIZE];
    std::snprintf(question, sizeof question,
                  "Do you want to adjust the %s setting for all of voice '%s'?",
                  same_tab ? "staff size" : "tablature", voice_display_name(v).c_str());
    if (!yesno_alert(question, 1)) return;
    for (Drosa q = p; q; q = q->xnext) {
      if (effective_kind(q) != PRINT) continue;
      modifyvc_with_undo(q);
      q->set(xstaffsize, int16_t(size));
      q->set(xtablature, tablature & 3);
    }
    return;
  }
}

// ---- Moving a voice to the next staff ----------------------------------------------------------

namespace {

// The highest staff any shown voice prints on at the chord's time.
int lowest_staff_at(Drosa chord) {
  voices_to_system(system_number_on_page(chord, 0), 0);
  voices_to_system_at_time(find_time_in_system(chord), 1, 0);
  int lowest = -1;
  for (int v = 0; v < voices(); ++v)
    if (Drosa p = print_at_cursor(v)) lowest = std::max<int>(lowest, p->get(xsstaff));
  return lowest;
}

}  // namespace

void move_voice_to_adjacent_staff(Drosa note, int up) {
  if (!is_NOTE(note)) return;
  Drosa chord = vchord_first_note(note);
  Drosa in_force = find_prev_kind(PRINT, chord);
  if (!in_force) return;
  const int staff = in_force->get(xsstaff);
  if (staff < 0 || (up && staff == 0)) return;
  if (!up && staff >= lowest_staff_at(chord)) return;  // no staff below
  for (int v = 0; v < voices(); ++v)
    if (!voice_not_shown(v) && page_start[v] && !page_start[v]->get(xendpiece))
      update_SDRAG_on_page(page_start[v]->xnext);

  Drosa q = find_prev_kind_stop(PRINT, chord, ENDSYST);
  if (!q) {
    q = copyDrosa(in_force);
    insertvc_node_with_undo(q, chord->xback);
  }
  const int old_staff = q->get(xsstaff), old_list = q->get(xlist);
  const int step = up ? -1 : 1;
  const int32_t bar = bar_number_of_node(q);
  for (Drosa p = q; p; p = find_next_kind(PRINT, p)) {
    if (p->get(xsstaff) != old_staff || p->get(xlist) != old_list) break;
    if (p != q) {
      const int32_t measures = bar_number_of_node(p) - bar;
      char question[REPORT_TEXT_SIZE];
      if (measures == 0)
        std::snprintf(question, sizeof question,
                      "Do you want this voice to switch back later in this measure?");
      else
        std::snprintf(question, sizeof question,
                      "Do you want this voice to switch back in %d measures?", int(measures));
      if (yesno_alert(question, 1)) break;
    }
    modifyvc_with_undo(p);
    p->set(xsstaff, int16_t(old_staff + step));
    if (old_list != 0) p->set(xlist, uint8_t(old_list + step));
    mark_piece_changed(1, 3, current_ncontext);
  }
}

void move_voice_down_a_staff(Drosa note) { move_voice_to_adjacent_staff(note, 0); }

void move_voice_up_a_staff(Drosa note) { move_voice_to_adjacent_staff(note, 1); }
