// symbols.cpp: staff symbols placed into every voice that sounds at one moment.
//
// A staff symbol belongs to a moment of the music, not to one voice: it stands in each voice's
// list before the note at which it takes effect. The voices are found at that moment through
// the voice cursors of the current page: each shown voice's system cursor at the insertion
// point's system, then its time cursor at the insertion point's time in that system (the
// voice's note there, or the first one after it). Every removal and insertion is recorded for
// undo under the command's mark, so one Undo takes the symbol back in every voice.
#include "editing/symbols.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/app_services.h"
#include "editing/editing_globals.h"
#include "layout/layout_services.h"

namespace {

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

bool visible_endsyst(Drosa node) { return node && effective_kind(node) == ENDSYST; }

// An NTDATA, CDDATA, CDDATA2, CDDATA3 or NTVIEW: what follows a note's node.
bool note_layout_record(Drosa node) { return node && temp_node(node, 1002); }

// The voice cursor of each shown voice at the cursor's time in its system, and what the
// placement compares against.
struct Moment {
  int32_t time = 0;  // the cursor's time in its system
  int staff = 0;     // the cursor's staff
  int voice = 0;     // the cursor's voice
  bool ok = false;   // the cursor is a note of a piece with voices
};

Moment place_time_cursors(Drosa cursor) {
  Moment m;
  if (voices() < 1 || !is_NOTE(cursor)) return m;
  m.time = find_time_in_system(cursor);
  m.staff = find_sstaff(cursor);
  m.voice = cursor->get(xvoice);
  voices_to_system(system_number_on_page(cursor, 1), 1);
  voices_to_system_at_time(m.time, 1, 1);
  m.ok = true;
  return m;
}

// The voice's place at the moment: NIL for a voice not shown or without that system.
Drosa time_cursor_of(int v) {
  if (voice_not_shown(v) || !system_cursor[v] || !time_cursor[v]) return NIL;
  Drosa system = system_cursor[v];
  if (system->get(xendpiece) || (system->get(xendpage) && system != page_start[v])) return NIL;
  return time_cursor[v];
}

// Whether voice v at `at` counts as on the cursor's staff: the same staff, or no staff of its
// own there and the cursor voice's part.
bool on_staff(int v, Drosa at, const Moment& m) {
  const int staff = find_sstaff(at);
  return staff == m.staff || (staff == -1 && voices_same_part(v, m.voice));
}

// How far the voice's place is from the moment; NO_TIME for a system's end.
int32_t miss_of(Drosa at, const Moment& m) {
  if (visible_endsyst(at)) return NO_TIME;
  return int32_t(std::min<int64_t>(std::llabs(int64_t(find_time_in_system(at)) - m.time), NO_TIME));
}

// The next note of the voice after a grace note, passing nodes the context does not see; NIL
// at a system's end.
Drosa next_note_of_group(Drosa note) {
  for (Drosa p = note->xnext; p; p = p->xnext) {
    if (visible_endsyst(p)) return NIL;
    if (p->xkind == NOTE) return p;
  }
  return NIL;
}

// The symbols of `kind` attached before `at`, and before the main note when `at` begins a grace
// group: with replace they go, else after_fn takes the first. True when one was there.
bool take_existing(Drosa at, int kind, int replace, SymbolCallback after_fn,
                   SymbolCallback before_delete_fn) {
  bool found = false;
  for (Drosa note = at; note;) {
    if (replace) {
      while (Drosa old = find_prev_kind_stop(kind, note, ENDSYST)) {
        found = true;
        if (before_delete_fn) before_delete_fn(old);
        removevc_with_undo(old);
      }
    } else if (Drosa old = find_prev_kind_stop(kind, note, ENDSYST)) {
      if (!found && after_fn) after_fn(old);
      found = true;
    }
    if (!(note->xkind == NOTE && note->get(xgrace) && !note->get(xnachschlag))) break;
    note = next_note_of_group(note);
  }
  return found;
}

// The node after which a symbol attached to `at` goes: after the previous note's layout
// records (first among the attached nodes), or right before `at` after a system start.
Drosa insertion_anchor(Drosa at) {
  Drosa p = at->xback;
  while (p && p->xkind != NOTE && !visible_endsyst(p)) p = p->xback;
  if (!p || p->xkind != NOTE) return at->xback;
  while (p->xnext != at && note_layout_record(p->xnext)) p = p->xnext;
  return p;
}

// The effective kind of a template: NA when the current context does not see it.
int template_kind(Drosa symbol_template) { return effective_kind(symbol_template); }

// Calls `f` with the end of the cursor's system in each voice shown whose end is a visible end
// of system that does not start the piece and, unless `all_staves`, stands on the cursor's staff,
// until `f` returns false. Nothing without voices or without a note at the cursor.
template <typename F>
void for_system_ends(Drosa cursor, int all_staves, F f) {
  if (voices() < 1 || !is_NOTE(cursor)) return;
  Moment m;
  m.staff = find_sstaff(cursor);
  m.voice = cursor->get(xvoice);
  voices_to_system(system_number_on_page(cursor, 1) + 1, 1);
  for (int v = 0; v < voices(); ++v) {
    Drosa end = voice_not_shown(v) ? NIL : system_cursor[v];
    if (!visible_endsyst(end) || end->get(xstartpiece)) continue;
    if (!all_staves && !on_staff(v, end, m)) continue;
    if (!f(end)) return;
  }
}

void place_at_system_end(Drosa symbol_template, Drosa cursor, int operation, int all_staves,
                         SymbolCallback after_fn, SymbolCallback before_delete_fn) {
  for_system_ends(cursor, all_staves, [&](Drosa end) {
    const int kind = template_kind(symbol_template);
    if (operation == SYMBOL_MODIFY) {
      Drosa start = end->xback;
      while (start && start->xkind != NOTE && !visible_endsyst(start)) start = start->xback;
      for (Drosa p = start; (p = find_next_kind_before_note(kind, p));) after_fn(p);
      return true;
    }
    while (Drosa old = find_prev_kind_stop(kind, end, ENDSYST)) {
      if (before_delete_fn) before_delete_fn(old);
      removevc_with_undo(old);
    }
    if (operation != SYMBOL_INSERT) return true;
    Drosa copy = copyDrosa(symbol_template);
    insertvc_node_with_undo(copy, end->xback);
    if (after_fn) after_fn(copy);
    return true;
  });
}

}  // namespace

bool at_system_start(Drosa node) {
  for (Drosa p = node ? node->xback : NIL; p; p = p->xback) {
    if (p->xkind == NOTE) return false;
    if (visible_endsyst(p)) return true;
  }
  return false;
}

// ---- The scope buttons ------------------------------------------------------------------------

void init_scope_buttons(DialogRef dialog, int all_staves_init, int32_t* all_staves,
                        int32_t* at_insertion_point, int delete_allowed_here,
                        int no_end_of_system) {
  if (voice_count <= 1) {
    enable_item(dialog, SYMBOL_THIS_STAFF, 0);
    enable_item(dialog, SYMBOL_ALL_STAVES, 0);
  } else {
    platform_set_item_value(dialog, SYMBOL_ALL_STAVES, all_staves_init ? 1 : 0);
    platform_set_item_value(dialog, SYMBOL_THIS_STAFF, all_staves_init ? 0 : 1);
  }
  *all_staves = all_staves_init ? 1 : 0;
  if (!no_end_of_system) {
    platform_set_item_value(dialog, SYMBOL_AT_INSERTION, 1);
    platform_set_item_value(dialog, SYMBOL_AT_SYSTEM_END, 0);
    *at_insertion_point = 1;
  } else {
    platform_set_item_value(dialog, SYMBOL_AT_INSERTION, 0);
    platform_set_item_value(dialog, SYMBOL_AT_SYSTEM_END, 0);
    enable_item(dialog, SYMBOL_AT_SYSTEM_END, 0);
  }
  enable_item(dialog, SYMBOL_DELETE, delete_allowed_here);
}

int scope_button_hit(DialogRef dialog, int item, int32_t* all_staves, int32_t* at_insertion_point,
                     int delete_allowed_here, int delete_allowed_at_end) {
  switch (item) {
    case SYMBOL_OK:
      return 1;
    case SYMBOL_CANCEL:
    case SYMBOL_DELETE:
      close_dialog_in_front(dialog);
      return 1;
    case SYMBOL_AT_INSERTION:
    case SYMBOL_AT_SYSTEM_END: {
      const bool here = item == SYMBOL_AT_INSERTION;
      platform_set_item_value(dialog, SYMBOL_AT_INSERTION, here ? 1 : 0);
      platform_set_item_value(dialog, SYMBOL_AT_SYSTEM_END, here ? 0 : 1);
      *at_insertion_point = here ? 1 : 0;
      enable_item(dialog, SYMBOL_DELETE, here ? delete_allowed_here : delete_allowed_at_end);
      return 1;
    }
    case SYMBOL_THIS_STAFF:
    case SYMBOL_ALL_STAVES:
      platform_set_item_value(dialog, SYMBOL_THIS_STAFF, item == SYMBOL_THIS_STAFF ? 1 : 0);
      platform_set_item_value(dialog, SYMBOL_ALL_STAVES, item == SYMBOL_ALL_STAVES ? 1 : 0);
      *all_staves = item == SYMBOL_ALL_STAVES ? 1 : 0;
      return 1;
    default:
      return 0;
  }
}

// ---- Placing --------------------------------------------------------------------------------

int insert_symbol_all_voices(Drosa cursor, int kind, int replace, Drosa symbol_template,
                             SymbolCallback after_fn, int staff_only,
                             SymbolCallback before_delete_fn) {
  const Moment m = place_time_cursors(cursor);
  if (!m.ok) return 0;
  // The places first: a removal or insertion in one voice must not move another's cursor.
  Drosa at[MAX_VOICES] = {};
  for (int v = 0; v < voices(); ++v) {
    Drosa place = time_cursor_of(v);
    if (!place || (staff_only && !on_staff(v, place, m))) continue;
    if ((kind == BAR || kind == ZONE) && miss_of(place, m) > TIME_TOLERANCE) continue;
    at[v] = place;
  }
  int found = 0;
  for (int v = 0; v < voices(); ++v) {
    if (!at[v]) continue;
    if (take_existing(at[v], kind, replace, after_fn, before_delete_fn)) found = 1;
    if (!symbol_template) continue;
    Drosa copy = copyDrosa(symbol_template);
    insertvc_node_with_undo(copy, insertion_anchor(at[v]));
    if (after_fn) after_fn(copy);
  }
  return found;
}

int symbol_exists_on_staff(Drosa cursor, int kind) {
  int found = 0;
  for_system_ends(cursor, 0, [&](Drosa end) {
    found = find_prev_kind_stop(kind, end, ENDSYST) != NIL;
    return !found;
  });
  return found;
}

int check_timing_boundary(Drosa cursor, int staff_only, const char* symbol_name) {
  const Moment m = place_time_cursors(cursor);
  if (!m.ok) return 1;
  bool off = false;
  for (int v = 0; v < voices() && !off; ++v) {
    Drosa place = time_cursor_of(v);
    if (voice_not_shown(v) || (place && staff_only && !on_staff(v, place, m))) continue;
    off = !place || miss_of(place, m) > TIME_TOLERANCE;
  }
  if (!off) return 1;
  char text[REPORT_TEXT_SIZE];
  std::snprintf(text, sizeof text,
                "The %s is not at a timing boundary for all voices; are you sure you want to put "
                "it here?",
                symbol_name);
  if (really_alert(text, 1)) {
    symbol_edit_state.step_answer = STEP_CONFIRMED;
    return 1;
  }
  symbol_edit_state.step_answer = STEP_REFUSED;
  return 0;
}

void insert_symbol_in_voice(Drosa symbol_template, Drosa cursor, int operation,
                            int at_end_of_system, int all_staves, SymbolCallback after_fn,
                            SymbolCallback before_delete_fn) {
  if (!symbol_template) return;
  if (at_end_of_system) {
    place_at_system_end(symbol_template, cursor, operation, all_staves, after_fn, before_delete_fn);
    return;
  }
  const int kind = template_kind(symbol_template);
  const int staff_only = all_staves ? 0 : 1;
  switch (operation) {
    case SYMBOL_INSERT:
      insert_symbol_all_voices(cursor, kind, 1, symbol_template, after_fn, staff_only,
                               before_delete_fn);
      break;
    case SYMBOL_MODIFY:
      insert_symbol_all_voices(cursor, kind, 0, NIL, after_fn, staff_only, nullptr);
      break;
    case SYMBOL_REMOVE:
      insert_symbol_all_voices(cursor, kind, 1, NIL, nullptr, staff_only, before_delete_fn);
      break;
    default:
      REPORT_ERROR(4, "insert_symbol_in_voice: unknown operation %d", operation);
      break;
  }
}
