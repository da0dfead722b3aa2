// ncontext_dialog.cpp: the notation-context dialog and the choose-contexts dialog.
//
// A part is shown in a context when a PRINT of the context follows its first voice's head.
// Adding a part copies the Score's PRINT nodes of its voices into the context and places its
// staves below those already there; removing it takes every node of the context out of its
// voices. Deleting or moving a context renumbers the contexts of every node directly, and its
// name, options and page setup move with it, so each context keeps its own.
//
// Positions in time are found in the Score, where every voice has the same systems: a
// context that already has systems of its own may break the part's voices where it has not
// been given them yet.
//
// Node contexts and staff numbers are changed here without undo records, so the undo and
// redo histories are discarded when the dialog closes after changing the voice lists.
#include "app/ncontext_dialog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/event_input.h"
#include "platform/port.h"

namespace {

constexpr int SCORE = 1;
constexpr int NAME_SELECTION = 16;  // characters of the name selected for retyping
constexpr int ROW_SIZE = 22;        // a numbered context row

// The open dialogs.
DialogRef dialog_ncontext = nullptr;      // the notation-context dialog while it is open
ListBox* parts_list_handle = nullptr;     // its list of parts while it is open
ListBox* contexts_list_handle = nullptr;  // its list of contexts while it is open
ListBox* choose_contexts_list = nullptr;  // the choose-contexts dialog's list while it is open
// The current context has just been made or has just received its first parts: its systems
// must be built before the notation-context dialog leaves it.
int32_t systems_pending = 0;

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

bool shown_here(int v) {
  return v >= 0 && v < voices() && piece_start[v] &&
         find_next_kind_before_note(PRINT, piece_start[v]);
}

int first_voice_shown() {
  for (int v = 0; v < voices(); ++v)
    if (shown_here(v)) return v;
  return -1;
}

std::vector<int> voices_of_part(const std::string& part) {
  std::vector<int> list;
  for (int v = 0; v < voices(); ++v)
    if (voice_part_is(v, part.c_str())) list.push_back(v);
  return list;
}

// ---- The open dialog ------------------------------------------------------------------------

int32_t dialog_measure = 1;  // the measure the dialog was opened for
bool lists_changed = false;  // the voice lists changed while it was open

void draw_lists() {
  list_draw(parts_list_handle);
  list_draw(contexts_list_handle);
}

void make_contexts_list() {
  list_dispose(contexts_list_handle);
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(dialog_ncontext));
  contexts_list_handle =
      list_create(3, platform_item_rect(dialog_ncontext, NCONTEXT_LIST), false, nullptr);
  list_draw(contexts_list_handle);
  platform_set_port(saved);
}

void select_only(ListBox* list, int row) {
  for (int r = 0; r < list_box_rows(list); ++r) list_box_select(list, r, r == row);
}

// ncontext_dialog_set_name: switches to context n as set_notation_context does, and shows the
// context's name (item 2, selected) and the parts it shows in the dialog.
// Reads: dialog_ncontext, parts_list_handle. Writes: as set_notation_context; the dialog's
// name item and the selection of its parts list.
void ncontext_dialog_set_name(int n, int where) {
  set_notation_context(n, where);
  if (!dialog_ncontext) return;
  platform_set_item_text(dialog_ncontext, 2, ncontext_name_of(current_ncontext));
  platform_select_item_text(dialog_ncontext, 2, 0, 16);
  if (parts_list_handle) ncontext_list_select();
}

void select_name() { platform_select_item_text(dialog_ncontext, NCONTEXT_NAME, 0, NAME_SELECTION); }

// The name typed for the current context, cut to 15 characters, becomes its name.
void take_typed_name() {
  std::string typed = platform_item_text(dialog_ncontext, NCONTEXT_NAME);
  if (typed.size() > size_t(NCONTEXT_NAME_SIZE - 1)) typed.resize(NCONTEXT_NAME_SIZE - 1);
  const int c = current_ncontext;
  if (typed == ncontext_name_of(c)) return;
  std::snprintf(ncontext_name[c], NCONTEXT_NAME_SIZE, "%s", typed.c_str());
  mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
  char row[ROW_SIZE];
  std::snprintf(row, sizeof row, "%2d: %s", c, ncontext_name[c]);
  list_box_set_cell(contexts_list_handle, c - 1, row);
  select_only(contexts_list_handle, c - 1);
}

// Builds the current context's systems when they are pending; false when that failed.
bool settle_pending_systems() {
  if (!systems_pending) return true;
  const int v = first_voice_shown();
  if (v < 0 || !systems(piece_start[v], 1, nullptr)) return false;
  systems_pending = 0;
  lists_changed = true;
  return true;
}

// ---- Renumbering contexts -------------------------------------------------------------------

// The number context c has after context `from` was deleted (to 0: its views show the Score)
// or moved to number `to`.
int context_after(int c, int from, int to) {
  if (to == 0) return c == from ? SCORE : c > from ? c - 1 : c;
  if (c == from) return to;
  if (to < from && c >= to && c < from) return c + 1;
  if (to > from && c > from && c <= to) return c - 1;
  return c;
}

// Renumbers the contexts of the nodes of every voice, and of the other views of the piece.
void renumber_contexts(int from, int to) {
  for (int v = 0; v < voices(); ++v) {
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xcontext <= 0) continue;
      const int c = context_after(p->xcontext, from, to);
      if (c == p->xcontext) continue;
      p->xcontext = int8_t(c);
      count_list_change(p);
    }
  }
  renumber_view_contexts(context_after, from, to);
}

// Moves the name, options and page setup of context `from` to `to`, those between shifting
// by one to make room.
template <typename Byte, size_t N, size_t SIZE>
void move_record(Byte (&records)[N][SIZE], int from, int to) {
  Byte* base = &records[0][0];
  if (from < to)
    std::rotate(base + from * SIZE, base + (from + 1) * SIZE, base + (to + 1) * SIZE);
  else if (to < from)
    std::rotate(base + to * SIZE, base + from * SIZE, base + (from + 1) * SIZE);
}

void move_context_records(int from, int to) {
  move_record(ncontext_name, from, to);
  move_record(options_struct, from, to);
  move_record(print_record, from, to);
}

// Removes with undo every node of context n from the voice. A note is seen in every context
// whatever its number: it stays, and with `notes_to_all` it belongs to every context from now.
void remove_context_nodes(int v, int n, bool notes_to_all) {
  for (Drosa p = piece_start[v]; p;) {
    Drosa next = p->xnext;
    if (p->xcontext == n) {
      if (p->xkind == NOTE) {
        if (notes_to_all) p->xcontext = 0;
      } else if (!(p->xkind == ENDSYST && (p->get(xstartpiece) || p->get(xendpiece)))) {
        removevc_with_undo(p);
      }
    }
    p = next;
  }
}

// ---- Items ------------------------------------------------------------------------------------

void new_context() {
  if (ncontext_count >= MAX_NCONTEXTS) {
    REPORT_ERROR(2, "Sorry, you cannot create any more notation contexts for this piece.");
    return;
  }
  if (first_voice_shown() < 0) {
    REPORT_ERROR(2,
                 "This notation context has no voices in it!  Choose some voices before you "
                 "make another notation context.");
    return;
  }
  if (!settle_pending_systems()) return;
  const int n = ++ncontext_count;
  std::snprintf(ncontext_name[n], NCONTEXT_NAME_SIZE, "NewContext");
  std::memcpy(options_struct[n], options_struct[n - 1], OPTIONS_SIZE);
  std::memcpy(print_record[n], print_record[n - 1], PRINT_RECORD_SIZE);
  ncontext_dialog_set_name(n, dialog_measure);
  make_contexts_list();
  mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
  REPORT_ERROR(2,
               "Name the new Notation Context you are creating, and select the parts that will "
               "appear in it.  The order in which you select parts determines the order of "
               "staves in each system.");
  systems_pending = 1;
  select_name();
}

void delete_context() {
  const int gone = current_ncontext;
  if (gone == SCORE) {
    REPORT_ERROR(2, "You cannot delete the 'Score' notation context.");
    return;
  }
  char question[REPORT_TEXT_SIZE];
  std::snprintf(question, sizeof question,
                "Are you sure you want to delete the '%s' notation context?",
                ncontext_name_of(gone));
  if (!really_alert(question, 0)) return;
  for (int v = 0; v < voices(); ++v) remove_context_nodes(v, gone, true);
  set_cursor(CURSOR_ID_WATCH);
  const int last = ncontext_count;
  move_context_records(gone, last);
  std::memset(ncontext_name[last], 0, NCONTEXT_NAME_SIZE);
  std::memset(options_struct[last], 0, OPTIONS_SIZE);
  std::memset(print_record[last], 0, PRINT_RECORD_SIZE);
  --ncontext_count;
  renumber_contexts(gone, 0);
  ncontext_dialog_set_name(SCORE, dialog_measure);
  make_contexts_list();
  systems_pending = 0;
  lists_changed = true;
  mark_piece_changed(1, 2, 0);
}

void move_context() {
  const int from = current_ncontext;
  if (from == SCORE) {
    REPORT_ERROR(2, "The 'Score' notation context cannot be moved.");
    return;
  }
  int32_t to = 0;
  if (!number_dialog_long("Move to what position?", from, 2, ncontext_count, &to, "position") ||
      to == from)
    return;
  set_cursor(CURSOR_ID_WATCH);
  renumber_contexts(from, to);
  move_context_records(from, to);
  ncontext_dialog_set_name(to, dialog_measure);
  make_contexts_list();
  lists_changed = true;
  mark_piece_changed(1, 2, 0);
}

void context_chosen() {
  const int row = list_box_next_selected(contexts_list_handle, 0);
  select_only(contexts_list_handle, current_ncontext - 1);
  if (row < 0 || row + 1 == current_ncontext) return;
  if (first_voice_shown() < 0) {
    REPORT_ERROR(2,
                 "This notation context has no voices in it!  Choose some voices before you "
                 "select another notation context.");
    return;
  }
  if (!settle_pending_systems()) return;
  select_only(contexts_list_handle, row);
  ncontext_dialog_set_name(row + 1, dialog_measure);
}

// 1 when the part may leave the current context and the user confirms it.
bool part_may_leave(const std::string& part, int first) {
  if (current_ncontext == SCORE) {
    REPORT_ERROR(2, "You cannot remove parts from the 'Score' notation context.");
    return false;
  }
  for (Drosa p = piece_start[first]; p; p = p->xnext) {
    if (effective_kind(p) != PRINT || !ncontext_parts_present(part.c_str(), p)) continue;
    REPORT_ERROR(2, "This part cannot be removed, because it is the only thing printing at bar %d!",
                 int(bar_number_of_node(p)));
    return false;
  }
  char question[REPORT_TEXT_SIZE];
  std::snprintf(question, sizeof question,
                "Completely remove part '%s' from notation context '%s'?", part.c_str(),
                ncontext_name_of(current_ncontext));
  return really_alert(question, 0) != 0;
}

void remove_part(int first) {
  const std::string part = voice_part_name(first);
  if (!part_may_leave(part, first)) {
    ncontext_list_select();
    return;
  }
  for (int v = 0; v < voices(); ++v) {
    if (voice_part_is(v, part.c_str())) continue;
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (effective_kind(p) == PRINT) ncontext_staff_range(part.c_str(), p);
  }
  for (int v : voices_of_part(part)) {
    remove_context_nodes(v, current_ncontext, false);
    if (v == selected_voice) set_selected_voice(-10);
  }
  lists_changed = true;
  mark_piece_changed(1, 2, current_ncontext);
}

// Every voice's node at the time, in the Score, of the first NOTE after `node` in its system
// (as time_cursor would hold it); false when there is no such NOTE. `missed`, when given,
// receives whether one of the voices has no chord starting at that time.
bool cursors_at_score_time(Drosa node, Drosa (&at)[MAX_VOICES], bool* missed = nullptr) {
  const int16_t context = current_ncontext;
  current_ncontext = SCORE;
  Drosa note = find_next_kind_until(NOTE, node, ENDSYST, ENDSYST);
  if (note) {
    const int32_t system = system_number_on_page(note, 0), t = find_time_in_system(note);
    voices_to_system(system, 0);
    if (missed) {
      voices_to_system_at_time(t, 0, 0);
      *missed = false;
      for (int v = 0; v < voices(); ++v)
        if (system_cursor[v] && !time_cursor[v]) *missed = true;
    }
    voices_to_system_at_time(t, 1, 0);
    std::copy(time_cursor, time_cursor + MAX_VOICES, at);
  }
  current_ncontext = context;
  return note != NIL;
}

Drosa print_in_force(Drosa at, int context) {
  const int16_t saved = current_ncontext;
  current_ncontext = int16_t(context);
  Drosa print = at ? find_prev_kind(PRINT, at) : NIL;
  current_ncontext = saved;
  return print;
}

// Places the part's staves, from a new PRINT of its first voice on, below the staves the
// context shows there, in the order the part has them in the Score.
void place_part_below(Drosa print, const std::vector<int>& part_voices) {
  Drosa at[MAX_VOICES] = {};
  if (!cursors_at_score_time(print, at)) return;
  const int c = current_ncontext;
  int lo = MAX_VOICES, list_lo = MAX_VOICES, others_hi = -1, others_list_hi = 0;
  int staff[MAX_VOICES], list[MAX_VOICES];
  for (int v : part_voices) {
    Drosa p = print_in_force(at[v], SCORE);
    staff[v] = p ? p->get(xsstaff) : -1;
    list[v] = p ? p->get(xlist) : 0;
    if (staff[v] != -1) lo = std::min(lo, staff[v]);
    if (list[v] != 0) list_lo = std::min(list_lo, list[v]);
  }
  for (int u = 0; u < voices(); ++u) {
    if (std::find(part_voices.begin(), part_voices.end(), u) != part_voices.end()) continue;
    if (!shown_here(u)) continue;
    Drosa p = print_in_force(at[u], c);
    if (!p) continue;
    others_hi = std::max<int>(others_hi, p->get(xsstaff));
    others_list_hi = std::max<int>(others_list_hi, p->get(xlist));
  }
  for (int v : part_voices) {
    Drosa p = print_in_force(at[v], c);
    if (!p) continue;
    if (staff[v] != -1) p->set(xsstaff, int16_t(staff[v] - lo + others_hi + 1));
    if (list[v] != 0) p->set(xlist, uint8_t(list[v] - list_lo + others_list_hi + 1));
  }
}

// Gives the part's voices the system breaks of the current context.
void give_context_breaks(const std::vector<int>& part_voices) {
  int source = -1;
  for (int v = 0; v < voices() && source < 0; ++v)
    if (shown_here(v) && std::find(part_voices.begin(), part_voices.end(), v) == part_voices.end())
      source = v;
  if (source < 0) return;
  bool warned = false;
  for (Drosa e = piece_start[source]; e; e = e->xnext) {
    if (e->xkind != ENDSYST || e->xcontext != current_ncontext || e->get(xstartpiece) ||
        e->get(xendpiece))
      continue;
    Drosa at[MAX_VOICES] = {};
    bool missed = false;
    if (!cursors_at_score_time(e, at, &missed)) continue;
    if (missed && !warned) {
      REPORT_ERROR(2,
                   "You have system start locations which are not at a timing boundary for all "
                   "voices!");
      warned = true;
    }
    for (int v : part_voices)  // a voice without a chord there was warned about above
      if (is_NOTE(at[v])) insert_endsyst_on_voice(at[v], e->get(xendpage));
  }
}

void add_part(int first) {
  set_cursor(CURSOR_ID_WATCH);
  if (first_voice_shown() < 0) systems_pending = 1;
  mark_piece_changed(1, 2, current_ncontext);
  lists_changed = true;
  const std::vector<int> part_voices = voices_of_part(voice_part_name(first));
  std::vector<Drosa> copies;  // of the first voice
  for (int v : part_voices) {
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind != PRINT || p->xcontext != SCORE) continue;
      Drosa copy = copyDrosa(p);
      copy->xcontext = int8_t(current_ncontext);
      insertvc_node_with_undo(copy, p);
      if (v == first) copies.push_back(copy);
      p = copy;
    }
  }
  for (Drosa copy : copies) place_part_below(copy, part_voices);
  if (!systems_pending) give_context_breaks(part_voices);
}

void parts_clicked() {
  list_part_first_voices(true);
  const std::vector<int> firsts(part_first_voices, part_first_voices + part_first_voice_count);
  for (size_t row = 0; row < firsts.size(); ++row) {
    const bool shown = shown_here(firsts[row]);
    const bool selected = list_box_selected(parts_list_handle, int(row));
    if (shown && !selected) remove_part(firsts[row]);
    if (!shown && selected) add_part(firsts[row]);
  }
}

// Done: false when the dialog must stay open.
bool may_close(int32_t page_width, int32_t page_height) {
  if (first_voice_shown() < 0) {
    REPORT_ERROR(2,
                 "This notation context has no parts selected for it! This makes editing "
                 "impossible.");
    return false;
  }
  if (!settle_pending_systems()) return false;
  return follow_context_page_size(page_width, page_height) != 0;
}

}  // namespace

void ncontext_list_select() {
  if (!parts_list_handle) return;
  list_part_first_voices(true);
  for (int row = 0; row < part_first_voice_count; ++row)
    list_box_select(parts_list_handle, row, shown_here(part_first_voices[row]));
}

bool ncontext_dialog_filter(DialogRef dialog, EventRecord* event, int* item) {
  if (dialog_key_filter(dialog, event, item)) return true;
  if (event->what == EVENT_MOUSE_DOWN) {
    if (list_click(event, parts_list_handle)) {
      *item = NCONTEXT_PARTS;
      return true;
    }
    if (list_click(event, contexts_list_handle)) {
      *item = NCONTEXT_LIST;
      return true;
    }
    return false;
  }
  if (event->what == EVENT_KEY_DOWN && event_char(*event) == KEY_TAB && contexts_list_handle) {
    const int rows = list_box_rows(contexts_list_handle);
    if (rows > 0) {
      const int row = list_box_next_selected(contexts_list_handle, 0);
      select_only(contexts_list_handle, row + 1 < rows ? row + 1 : 0);
      list_box_auto_scroll(contexts_list_handle);
    }
    *item = NCONTEXT_LIST;
    return true;
  }
  return false;
}

// Reads and writes as the header says; the dialog's globals while it is open.
void ncontext_dialog(int32_t measure) {
  save_cursor();
  stop_flashing(flashing_node);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  set_selected_voice(-10);
  remove_ntdata(REMOVE_WHOLE_PIECE);

  DialogRef dialog = platform_open_dialog(NCONTEXT_DIALOG, true);
  if (!dialog) {
    REPORT_ERROR(4, "Dialog %d cannot be opened", NCONTEXT_DIALOG);
    restore_cursor();
    return;
  }
  dialog_ncontext = dialog;
  dialog_measure = measure;
  lists_changed = false;
  Port* saved_port = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  parts_list_handle = list_create(1, platform_item_rect(dialog, NCONTEXT_PARTS), true, nullptr);
  contexts_list_handle = list_create(3, platform_item_rect(dialog, NCONTEXT_LIST), false, nullptr);
  platform_set_item_text(dialog, NCONTEXT_NAME, ncontext_name_of(current_ncontext));
  select_name();
  ncontext_list_select();
  systems_pending = 0;
  const int32_t page_width = options_i32(current_ncontext, OPTIONS_PAGE_WIDTH);
  const int32_t page_height = options_i32(current_ncontext, OPTIONS_PAGE_HEIGHT);

  for (;;) {
    draw_dialog_frame(dialog, draw_lists, nullptr);
    set_cursor(CURSOR_ID_ARROW);
    const int item = platform_modal_dialog(dialog, ncontext_dialog_filter);
    // A name typed belongs to the context it was typed for, whatever is done next.
    take_typed_name();
    // Asked to quit (a signal, a logout): the dialog, which has no Cancel, closes at once, on
    // the Score when this context has no parts yet; the quit goes on in the main loop.
    if (input_quit_requested()) {
      if (first_voice_shown() < 0) ncontext_dialog_set_name(SCORE, measure);
      break;
    }
    if (item == NCONTEXT_DONE) {
      if (may_close(page_width, page_height)) break;
      continue;
    }
    switch (item) {
      case NCONTEXT_NAME:
        break;
      case NCONTEXT_PARTS:
        parts_clicked();
        break;
      case NCONTEXT_LIST:
        context_chosen();
        break;
      case NCONTEXT_NEW:
        new_context();
        break;
      case NCONTEXT_DELETE:
        delete_context();
        break;
      case NCONTEXT_MOVE:
        move_context();
        break;
      default:
        REPORT_ERROR(4, "Unexpected item returned from voice-names dialog");
        break;
    }
  }

  list_dispose(parts_list_handle);
  list_dispose(contexts_list_handle);
  parts_list_handle = contexts_list_handle = nullptr;
  platform_close_dialog(dialog);
  dialog_ncontext = nullptr;
  platform_set_port(saved_port);
  restore_cursor();
  if (lists_changed) clear_undo(1);
  count_pages();
  current_page = std::clamp<int32_t>(current_page, 1, page_count);
  requested_page = int16_t(current_page);
  prepare_piece();
  cursor_to_time(measure, -1, 0.0);
}

// ---- Choosing contexts ----------------------------------------------------------------------

namespace {

void draw_choose_list() { list_draw(choose_contexts_list); }

}  // namespace

bool choose_contexts_filter(DialogRef dialog, EventRecord* event, int* item) {
  if (dialog_key_filter(dialog, event, item)) return true;
  if (event->what == EVENT_MOUSE_DOWN && list_click(event, choose_contexts_list)) {
    *item = CHOOSE_LIST;
    return true;
  }
  return false;
}

int choose_contexts_dialog(const char* question, int* check_value, uint8_t* chosen) {
  const int count = std::clamp<int>(ncontext_count, 1, MAX_NCONTEXTS);
  if (count == 1 && !check_value) {
    chosen[std::clamp<int>(current_ncontext, 1, count)] = 1;
    return 1;
  }
  save_cursor();
  set_cursor(CURSOR_ID_ARROW);
  DialogRef dialog = platform_open_dialog(CHOOSE_CONTEXTS_DIALOG, true);
  if (!dialog) {
    REPORT_ERROR(4, "Dialog %d cannot be opened", CHOOSE_CONTEXTS_DIALOG);
    restore_cursor();
    return 0;
  }
  if (check_value)
    platform_set_item_value(dialog, CHOOSE_CHECK, 0);
  else
    show_hide_item(dialog, CHOOSE_CHECK, 0);
  Port* saved_port = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  choose_contexts_list = list_create(2, platform_item_rect(dialog, CHOOSE_LIST), true, nullptr);
  select_only(choose_contexts_list, current_ncontext - 1);

  int result = 0;
  for (;;) {
    draw_dialog_frame(dialog, draw_choose_list, question ? question : "");
    const int item = platform_modal_dialog(dialog, choose_contexts_filter);
    if (item == 2) break;
    if (item == 1) {
      if (check_value) *check_value = platform_item_value(dialog, CHOOSE_CHECK);
      for (int n = 1; n <= count; ++n) {
        chosen[n] = list_box_selected(choose_contexts_list, n - 1) ? 1 : 0;
        if (chosen[n]) result = 1;
      }
      break;
    }
    if (item == CHOOSE_ALL || item == CHOOSE_NONE) {
      for (int r = 0; r < count; ++r) list_box_select(choose_contexts_list, r, item == CHOOSE_ALL);
    } else if (item == CHOOSE_CHECK) {
      platform_set_item_value(dialog, CHOOSE_CHECK, !platform_item_value(dialog, CHOOSE_CHECK));
    }
  }
  list_dispose(choose_contexts_list);
  choose_contexts_list = nullptr;
  platform_close_dialog(dialog);
  platform_set_port(saved_port);
  restore_cursor();
  return result;
}
