// page_commands.cpp: the Page menu's moves to another page or bar, and the search for the next
// measure whose notes do not fill its time signature.
//
// Every move ends the same way: on another page the user may save first, the undo history
// goes (its steps name places on the page left), and the new page is formatted; then the
// insertion point is put on the bar and beat asked for, or at the page's start. Times are in
// units of 65536 a whole note; two times within 50 units are the same.
#include "app/page_commands.h"

#include <algorithm>
#include <cstdint>

#include "annotations/anno_services.h"
#include "app/app_globals.h"
#include "app/event_loop.h"
#include "app/music_window.h"
#include "app/prefs.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"

namespace {

constexpr int32_t DIALOG_LIMIT = 2100000000;

// Where a move goes: a page, and on it a bar (-1: the page's start) in a voice (-1: any)
// at a beat (counted from 1; 0 the bar's start).
struct PageTarget {
  int32_t page = 0;
  int32_t bar = -1;
  int voice = -1;
  double beat = 0.0;
};

// The note the bar commands start from: the insertion point, else the drawn note nearest to
// where it stood.
Drosa starting_note() {
  return insertion_point ? insertion_point : find_nearest_visnote(insertion_point_pos, 0, 1);
}

// The last bar of the piece: the bar of the last note of the note's voice (the selected
// voice's without a note); 1 without notes.
// Reads: piece_start, voice_count, selected_voice.
int32_t last_bar_of_piece(Drosa note) {
  Drosa last = note;
  if (!last) {
    const int v = std::clamp<int>(selected_voice, 0, MAX_VOICES - 1);
    if (v >= voice_count || !piece_start[v]) return 1;
    last = piece_start[v];
  }
  while (last->xnext) last = last->xnext;
  Drosa last_note = effective_kind(last) == NOTE ? last : find_prev_kind(NOTE, last);
  return last_note ? std::max<int32_t>(1, bar_number_of_node(last_note)) : 1;
}

// The next measure after `from`: its bar line and its first note; *timesig follows every time
// signature passed on the way. False at the end of the voice.
bool next_measure(Drosa from, Drosa* timesig, Drosa* bar_line, Drosa* first) {
  *bar_line = NIL;
  for (Drosa p = from ? from->xnext : NIL; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == TIMESIG) {
      *timesig = p;
    } else if (kind == BAR) {
      if (!*bar_line) *bar_line = p;
    } else if (kind == NOTE && *bar_line) {
      *first = p;
      return true;
    }
  }
  return false;
}

// Next Rhythm Error: the measures after the note's own, in its voice, up to the first whose
// notes disagree with its time signature. True with that measure's bar number; false after
// the message that ends the command. A piece whose last measure has no closing bar line has
// that measure examined like any other.
bool find_next_rhythm_error(Drosa note, int32_t* bar) {
  Drosa timesig = note ? find_prev_kind(TIMESIG, note) : NIL;
  Drosa bar_line = NIL, first = NIL;
  while (next_measure(note, &timesig, &bar_line, &first)) {
    if (!timesig) {
      REPORT_ERROR(2, "%s", "No time signature is specified; cannot find rhythm errors.");
      return false;
    }
    const bool plain = bar_line->get(xdouble) == 0;
    if (measure_has_rhythm_error(find_meas_time_left(first), timesig->get(xbpm),
                                 timesig->get(xbeat), plain)) {
      *bar = bar_number_of_node(first);
      return true;
    }
    note = first;
  }
  REPORT_ERROR(2, "%s", "No more bars with rhythm errors.");
  return false;
}

// Go To Bar...: asks for "bar" or "bar,beat". False when cancelled.
bool ask_for_bar(Drosa note, PageTarget* target) {
  const int32_t last = last_bar_of_piece(note);
  double answer = 0, beat = 0;
  if (!number_dialog_double("Go to bar number:\n(Type bar,beat to go to a particular beat.)",
                            target->bar, 0, DIALOG_LIMIT, &answer, &beat, "bar number"))
    return false;
  target->bar = std::clamp<int32_t>(int32_t(answer), 1, last);
  target->beat = beat;
  return true;
}

// The target of a command; false when it ends the command (cancelled, no such page, the
// rhythm search's message).
bool find_target(int item, PageTarget* target) {
  switch (item) {
    case PAGE_COMMAND_PREVIOUS:
      target->page = current_page - 1;
      return current_page > 1;
    case PAGE_COMMAND_NEXT:
      target->page = current_page + 1;
      return current_page < page_count;
    case PAGE_COMMAND_GO_TO_PAGE: {
      int32_t answer = 0;
      if (!number_dialog_long("Go to page number:", current_page, 0, DIALOG_LIMIT, &answer,
                              "page number"))
        return false;
      target->page = std::clamp<int32_t>(answer, 1, std::max<int32_t>(1, page_count));
      return true;
    }
    default:
      break;
  }
  Drosa note = starting_note();
  target->bar = note ? bar_number_of_node(note) : 1;
  target->voice = std::max<int>(selected_voice, 0);
  if (item == PAGE_COMMAND_PENDING_BAR) {
    target->bar = pending_goto_bar;
  } else if (item == PAGE_COMMAND_GO_TO_BAR) {
    if (!ask_for_bar(note, target)) return false;
  } else if (!find_next_rhythm_error(note, &target->bar)) {
    return false;
  }
  target->page = find_measure_any_voice(target->bar);
  return true;
}

// Before leaving the page: the user may save a changed piece first (when the preferences ask
// for it and nothing plays); the undo history goes. False when the user cancelled.
bool leave_page() {
  if (prefs.ask_save_before_context_change() && (DrosaDirty & DIRTY_CHANGED) && !is_playing()) {
    const int answer =
        yesnocan_alert("Do you want to save your piece now, before you change pages?");
    if (answer == ANSWER_CANCEL) return false;
    if (answer == ANSWER_YES) save_piece(0, 0, 0, &piece_fsspec);
  }
  clear_undo(1);
  return true;
}

// The common end of every move.
// Writes: current_page, the insertion point, note_entry_active, MODE, the page and title.
void go_to_target(int item, const PageTarget& target) {
  const bool other_page = target.page != current_page;
  if (!other_page && item == PAGE_COMMAND_GO_TO_PAGE) return;
  if (other_page && !leave_page()) return;
  // A group selection belongs to the page it was made on: it ends with the move.
  if (group_selected) end_group_selection(1);
  end_anno_selection(MUSIC_MODE, 1);
  current_page = target.page;
  if (insertion_point && is_plotted_note(insertion_point)) stop_flashing(insertion_point);
  insertion_point = NIL;
  note_entry_active = 0;
  if (other_page) {
    if (!is_playing()) erase_music_window();
    display_win_title(1, "(working)");
    reformat_and_update(current_page, 0);
    display_win_title(1, nullptr);
  }
  cursor_to_time(target.bar, target.voice, target.beat);
}

}  // namespace

bool measure_has_rhythm_error(int32_t actual, int32_t beats, int32_t beat_value,
                              bool after_plain_bar) {
  if (beats <= 0 || beat_value <= 0) return false;  // no measure length to compare with
  const int64_t nominal = (int64_t(beats) << 16) / beat_value;
  if (after_plain_bar) return std::abs(int64_t(actual) - nominal) > TIME_TOLERANCE;
  if (actual > nominal + TIME_TOLERANCE) return true;
  const int64_t unit = 65536 / beat_value;
  if (unit <= 2 * TIME_TOLERANCE) return false;  // beats too short to tell
  const int64_t rest = actual % unit;
  return rest >= TIME_TOLERANCE && rest <= unit - TIME_TOLERANCE;
}

void page_navigation_command(int item) {
  switch (item) {
    case PAGE_COMMAND_PREVIOUS:
    case PAGE_COMMAND_NEXT:
    case PAGE_COMMAND_GO_TO_PAGE:
    case PAGE_COMMAND_GO_TO_BAR:
    case PAGE_COMMAND_NEXT_RHYTHM_ERROR:
    case PAGE_COMMAND_PENDING_BAR:
      break;
    default:
      REPORT_ERROR(4, "Item %hd in Page menu unrecognized!", short(item));
      return;
  }
  PageTarget target;
  if (!find_target(item, &target)) return;
  go_to_target(item, target);
}
