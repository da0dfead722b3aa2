// align_bars.cpp: Align Bars, and the bar lines of the formatted page as it finds them: the
// bar line before or after a staff chord within its system.
#include "editing/align_bars.h"

#include <algorithm>
#include <vector>

#include "app/app_services.h"
#include "editing/drags.h"
#include "editing/editing_globals.h"
#include "editing/selection.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/dialogs.h"

namespace {

int32_t drawn_x(Drosa bar) { return bar->get(reformat_pending ? xbarx : xscrbarx); }

// The bar line of one note in the direction; NOT_DRAWN for none.
int32_t bar_of_note(Drosa note, int direction) {
  if (direction > 0) {
    for (Drosa p = note->xnext; p && effective_kind(p) != ENDSYST; p = p->xnext)
      if (effective_kind(p) == BAR && drawn_x(p) != NOT_DRAWN) return drawn_x(p);
    return NOT_DRAWN;
  }
  for (Drosa p = note->xback; p && effective_kind(p) != ENDSYST; p = p->xback) {
    if (direction == 0 && p->xkind == NOTE) break;
    if (effective_kind(p) == BAR && drawn_x(p) != NOT_DRAWN) return drawn_x(p);
  }
  return NOT_DRAWN;
}

}  // namespace

int32_t find_system_bar_x(Drosa note, int direction) {
  if (!is_NOTE(note) || !note_ntdata(note)) return NOT_DRAWN;
  Drosa first = NIL, last = NIL;
  chord_extent(note, &first, &last);
  if (!first) first = last = note;
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    const int32_t x = bar_of_note(n, direction);
    if (x != NOT_DRAWN) return x;
  }
  return NOT_DRAWN;
}

int32_t find_system_note_x(Drosa note, int mode, int32_t offset) {
  if (!is_NOTE(note) || !note_ntdata(note)) return NOT_DRAWN;
  Drosa first = NIL, last = NIL;
  chord_extent(note, &first, &last);
  if (!first) first = last = note;
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    if (mode) {
      Drosa end = find_next_kind(ENDSYST, n);
      for (Drosa p = end ? end->xback : NIL; p && p->xkind != NOTE; p = p->xback)
        if (effective_kind(p) == BAR && drawn_x(p) != NOT_DRAWN) return drawn_x(p);
      Drosa bar = end ? find_prev_kind_until(BAR, end, ENDSYST, 0) : NIL;
      if (bar && drawn_x(bar) != NOT_DRAWN) return drawn_x(bar);
    } else {
      Drosa start = find_prev_kind(ENDSYST, n);
      for (Drosa p = start ? start->xnext : NIL; p && effective_kind(p) != ENDSYST; p = p->xnext) {
        Drosa nt = p->xkind == NOTE ? note_ntdata(p) : NIL;
        if (nt && nt->get(xscrhdx) != NOT_DRAWN) return nt->get(xscrhdx) - 2 * offset;
      }
    }
  }
  return NOT_DRAWN;
}

// ---- Align Bars -----------------------------------------------------------------------------

namespace {

constexpr int MAX_SYSTEMS = 64;
constexpr int ALIGN_DIALOG = 1000;

struct AlignState {
  bool system_flag[MAX_SYSTEMS] = {};
  int32_t bar_x[MAX_SYSTEMS];
  int systems = 0;
  bool two_bars = false, missing_bar = false;
  int32_t leftmost_bar = 2100000000, rightmost_bar = -2100000000;
  int32_t rightmost_note = -2100000000, rightmost_note_bar = NOT_DRAWN;
  int32_t target = NOT_DRAWN;
  AlignState() { std::fill(bar_x, bar_x + MAX_SYSTEMS, NOT_DRAWN); }
};
AlignState align;

int system_of(Drosa note) {
  return std::clamp<int>(system_number_on_page(note, 1), 0, MAX_SYSTEMS - 1);
}

int32_t head_x(Drosa note) {
  Drosa nt = note_ntdata(note);
  return nt ? nt->get(xscrhdx) : NOT_DRAWN;
}

bool whole_measure_rest(Drosa note) { return note->get(xrest) && note->get(xlgval) <= 1; }

// The x at which the bar lines of a system begin to be spread: after the time signature, else
// after the key signature, else at the staff's start, as the page's last staff shows them.
int32_t spread_start_x(Drosa first_note, int32_t pstaff) {
  const StaffData* staff = pstaff >= 0 && pstaff < MAX_PSTAVES ? &staff_data[pstaff] : nullptr;
  Drosa start = find_prev_kind(ENDSYST, first_note);
  Drosa tsig = find_prev_kind_until(TIMESIG, first_note, ENDSYST, 0);
  if (tsig && start && tsig->get(xtimex) != NOT_DRAWN)
    return tsig->get(xtimex) +
           param_length(P_SPACE_GIVEN_FOR_TIME_SIGNATURE_WIDTH, first_note, staff);
  Drosa key = find_prev_kind_until(KEYSIG, first_note, ENDSYST, 0);
  if (key && key->get(xkeyx) != NOT_DRAWN)
    return key->get(xkeyx) + param_group_width(key, staff, 0, key);
  return staff_left_x(pstaff, current_page) -
         param_length(P_SPACE_LEFT_BETWEEN_BAR_LINE_AND_NEXT_OBJECT, first_note, staff);
}

// The notes of voice v on the current page, system by system.
std::vector<std::vector<Drosa>> page_chords_by_system(int v) {
  std::vector<std::vector<Drosa>> systems(MAX_SYSTEMS);
  for (Drosa p = page_start[v] ? page_start[v]->xnext : NIL; p; p = p->xnext) {
    if (effective_kind(p) == ENDSYST && (p->get(xendpage) || p->get(xendpiece))) break;
    if (p->xkind == NOTE && is_plotted_note(p) && vchord_first_note(p) == p)
      systems[size_t(system_of(p))].push_back(p);
  }
  return systems;
}

void spread_evenly() {
  int last_voice = -1;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
    if (!voice_not_shown(v) && page_start[v]) last_voice = v;
  if (last_voice < 0) return;
  Drosa last_first = NIL;
  for (Drosa p = page_start[last_voice]->xnext; p && !last_first; p = p->xnext)
    if (is_plotted_note(p)) last_first = p;
  if (!last_first) return;
  const int32_t last_pstaff = Find_pstaff(last_first, 0);
  const int32_t start_x = spread_start_x(last_first, last_pstaff);
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (voice_not_shown(v) || !page_start[v]) continue;
    const std::vector<std::vector<Drosa>> systems = page_chords_by_system(v);
    for (int s = 0; s < MAX_SYSTEMS; ++s) {
      const std::vector<Drosa>& chords = systems[size_t(s)];
      if (!align.system_flag[s] || chords.empty()) continue;
      std::vector<std::pair<Drosa, int32_t>> bars;  // the chord after each distinct bar line
      bool whole_rest = false;
      for (Drosa c : chords) {
        whole_rest |= whole_measure_rest(c);
        const int32_t x = find_system_bar_x(c, 0);
        if (x == NOT_DRAWN) continue;
        if (std::none_of(bars.begin(), bars.end(), [x](const auto& b) { return b.second == x; }))
          bars.push_back({c, x});
      }
      const int n = int(bars.size());
      if (n <= 1 || whole_rest) continue;
      align.system_flag[s] = false;
      const int32_t right = staff_right_x(Find_pstaff(chords[0], 0), current_page);
      for (int k = 1; k < n; ++k) {
        const int32_t new_x = start_x + int32_t(int64_t(k) * (right - start_x) / n);
        insert_zone(bars[size_t(k)].first,
                    head_x(bars[size_t(k)].first) + new_x - bars[size_t(k)].second);
      }
    }
  }
}

int align_dialog() {
  DialogRef dialog = open_dialog_in_front(ALIGN_DIALOG);
  if (!dialog) return 0;
  int on = group_selected ? ALIGN_TO_RIGHTMOST_NOTE : ALIGN_SPREAD;
  for (int item = ALIGN_TO_RIGHTMOST_NOTE; item <= ALIGN_TO_RIGHTMOST; ++item)
    enable_item(dialog, item, group_selected != 0);
  int result = 0;
  for (;;) {
    for (int item = ALIGN_SPREAD; item <= ALIGN_TO_RIGHTMOST; ++item)
      platform_set_item_value(dialog, item, item == on);
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == 1) {
      result = on;
      break;
    }
    if (item == 2) break;
    if (item >= ALIGN_SPREAD && item <= ALIGN_TO_RIGHTMOST)
      on = item;
    else
      REPORT_ERROR(2, "%s", "Unexpected item returned from bar align dialog");
  }
  close_dialog_in_front(dialog);
  return result;
}

// Notes the selection's bar lines; false after a refusal.
bool check_selection() {
  align = AlignState{};
  apply_to_cursor_or_group(collect_bar_cb, 0);
  if (align.missing_bar) {
    REPORT_ERROR(2, "%s",
                 "Some of your selected notes are not preceded by bar lines, so Align Bars cannot "
                 "be used.");
    return false;
  }
  if (align.systems <= 1) {
    REPORT_ERROR(2, "%s", "You must select notes from several systems to align bar lines!");
    return false;
  }
  if (align.two_bars) {
    REPORT_ERROR(2, "%s",
                 "You have selected two different bar lines on one system!  You must select only "
                 "one bar line per system for Align Bars.");
    return false;
  }
  return true;
}

bool screen_up_to_date() {
  if (!reformat_pending) return true;
  REPORT_ERROR(2, "%s",
               "Align Bar can only be used after the screen is up to date (after the cursor "
               "returns to normal).");
  return false;
}

}  // namespace

void collect_bar_cb(Drosa note) {
  if (!is_plotted_note(note)) return;
  const int32_t x = find_system_bar_x(note, 0);
  if (x == NOT_DRAWN) {
    align.missing_bar = true;
    return;
  }
  const int s = system_of(note);
  if (align.bar_x[s] != NOT_DRAWN) {
    if (align.bar_x[s] != x) align.two_bars = true;
  } else {
    ++align.systems;
    align.bar_x[s] = x;
  }
  if (head_x(note) > align.rightmost_note) {
    align.rightmost_note = head_x(note);
    align.rightmost_note_bar = x;
  }
  align.leftmost_bar = std::min(align.leftmost_bar, x);
  align.rightmost_bar = std::max(align.rightmost_bar, x);
}

void mark_note_system_cb(Drosa note) {
  if (is_plotted_note(note)) align.system_flag[system_of(note)] = true;
}

void move_system_bar_cb(Drosa note) {
  if (!is_plotted_note(note)) return;
  const int32_t x = find_system_bar_x(note, 0);
  if (x == NOT_DRAWN || align.target == NOT_DRAWN || x == align.target) return;
  insert_zone(vchord_first_note(note), head_x(vchord_first_note(note)) + align.target - x);
}

bool align_bars_as(int choice) {
  if (!screen_up_to_date()) return false;
  if (group_selected && !check_selection()) return false;
  if (choice == ALIGN_SPREAD) {
    align = AlignState{};
    if (!group_selected)
      std::fill(align.system_flag, align.system_flag + MAX_SYSTEMS, true);
    else
      apply_to_cursor_or_group(mark_note_system_cb, 0);
    spread_evenly();
  } else {
    if (!group_selected) return false;
    align.target = choice == ALIGN_TO_RIGHTMOST_NOTE ? align.rightmost_note_bar
                   : choice == ALIGN_TO_LEFTMOST     ? align.leftmost_bar
                                                     : align.rightmost_bar;
    apply_to_cursor_or_group(move_system_bar_cb, 0);
  }
  mark_piece_changed(1, 1, current_ncontext);
  return true;
}

void align_bars() {
  if (!screen_up_to_date()) return;
  if (group_selected && !check_selection()) return;
  const int choice = align_dialog();
  if (choice) align_bars_as(choice);
}
