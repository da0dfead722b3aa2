// symbol_commands.cpp: the Clef, Bar Line, Time Signature and System Bracket commands.
//
// Clef, bar line and time signature share one frame: a template copied from the symbol in
// force at the first drawn note of the selection, the dialog, then per selected note (the
// time signature: the insertion point alone) the timing-boundary question and the placement
// through insert_symbol_in_voice. The follow-ups run on each placed copy: a clef moves the
// notes after it when they keep their staff place and replaces the restated clefs after it;
// a bar line carries its separator and style on and gets the numbering and jump settings.
//
// A clef's notes are moved from the clef that was in force in that copy's own voice (the one
// it replaced, else the one before it), so staves under different clefs each keep their notes
// in place.
#include "editing/symbol_commands.h"

#include <algorithm>
#include <cstdlib>

#include "app/app_services.h"
#include "editing/acc.h"
#include "editing/editing_globals.h"
#include "editing/measures.h"
#include "editing/selection.h"
#include "editing/symbols.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "performance/performance_services.h"

namespace {

// A template from the symbol of `kind` in force at the note: its copy (with its context), or
// a new node of context 0.
Drosa template_from(int kind, Drosa note) {
  Drosa in_force = find_prev_kind(kind, note);
  return in_force ? copyDrosa(in_force) : newDrosa(kind, 0);
}

int visible_clef_code(Drosa clef) {
  const int code = clef ? clef->get(xclef) : 0;
  return code < 12 ? code : 0;
}

void timing_ok_or_stop(Drosa note, const char* name, bool* go_on) {
  SymbolEditState& st = symbol_edit_state;
  *go_on = true;
  if (st.at_insertion_point && st.step_answer == STEP_NOT_ASKED &&
      !check_timing_boundary(note, !st.all_staves, name))
    *go_on = false;
}

// ---- Clef -------------------------------------------------------------------------------------

// The clef a placed copy replaces: the one its voice's notes are moved from.
void record_replaced_clef(Drosa clef) {
  symbol_edit_state.old_clef = visible_clef_code(clef);
  symbol_edit_state.old_clef_replaced = 1;
}

// A note after the new clef keeps its place on the staff: its step moves by the difference of
// the clefs; an accidental it does not print becomes the one in force on its new line.
void keep_note_on_staff(Drosa note, int new_code) {
  if (note->get(xrest)) return;
  SymbolEditState& st = symbol_edit_state;
  record_note_change(note);
  const int32_t shift = clefmod7(new_code, note) - clefmod7(st.old_clef, note);
  note->set(xmod7, int8_t(std::clamp<int32_t>(note->get(xmod7) + shift, 0, 127)));
  if (!note->get(xaccplot)) note->set(xacc, effective_accidental(note));
  note->set(xpitch, note_pitch_word(note, note_keysig_value(note)));
}

// Every later CLEF up to one of all contexts (every one with `propagate`): the notes before it
// keep their place, a restated clef at a system start gives way to a copy of the new one.
void clef_follow_up(Drosa clef) {
  SymbolEditState& st = symbol_edit_state;
  if (!st.old_clef_replaced) st.old_clef = visible_clef_code(find_prev_kind(CLEF, clef));
  st.old_clef_replaced = 0;
  const int new_code = clef->get(xclef);
  for (Drosa p = clef->xnext; p;) {
    Drosa next = p->xnext;
    if (p->xkind == NOTE && st.clef_keep_position) {
      keep_note_on_staff(p, new_code);
    } else if (p->xkind == CLEF) {
      if (p->xcontext == 0 && !st.propagate) break;
      if (effective_kind(p) == CLEF) st.old_clef = visible_clef_code(p);
      Drosa anchor = p->xback;
      const int8_t context = p->xcontext;
      const uint8_t mid_system = p->get(xclef_in_system);
      removevc_with_undo(p);
      if (!mid_system) {
        Drosa copy = copyDrosa(clef);
        copy->xcontext = context;
        copy->set(xclef_in_system, 0);
        insertvc_node_with_undo(copy, anchor);
      }
    }
    p = next;
  }
}

void clef_cb(Drosa note) {
  SymbolEditState& st = symbol_edit_state;
  if (!is_plotted_note(note) || st.step_answer == STEP_REFUSED) return;
  Drosa clef = st.clef_template;
  const bool deleting = clef->get(xclef) == CLEF_DELETED;
  bool go_on = true;
  if (!deleting) timing_ok_or_stop(note, "clef", &go_on);
  if (!go_on) return;
  if (deleting) {
    insert_symbol_in_voice(clef, note, SYMBOL_REMOVE, !st.at_insertion_point, st.all_staves,
                           nullptr, nullptr);
  } else {
    clef->set(xclef_in_system,
              st.at_insertion_point && find_time_in_system(note) <= TIME_TOLERANCE ? 0 : 1);
    st.old_clef = visible_clef_code(find_prev_kind(CLEF, note));
    st.old_clef_replaced = 0;
    insert_symbol_in_voice(clef, note, SYMBOL_INSERT, !st.at_insertion_point, st.all_staves,
                           clef_follow_up, record_replaced_clef);
  }
  mark_piece_changed(1, 1, current_ncontext);
}

// ---- Bar line -------------------------------------------------------------------------------

// The new bar's separator, and, with propagate, the separator and style of every later bar.
void bar_after_insert(Drosa bar) {
  SymbolEditState& st = symbol_edit_state;
  toggle_BARSEP(bar, st.barsep_flag);
  if (!st.propagate) return;
  Drosa model = st.bar_template;
  for (Drosa p = find_next_kind(BAR, bar); p; p = find_next_kind(BAR, p)) {
    if (st.propagate & 1) toggle_BARSEP(p, st.barsep_flag);
    if (st.propagate & 2) {
      modifyvc_with_undo(p);
      p->set(xdouble, model->get(xdouble));
      p->set(xbar_invisible, model->get(xbar_invisible));
      p->set(xbar_dashed, model->get(xbar_dashed));
    }
  }
}

// A bar that goes takes its separator with it.
void remove_separator(Drosa bar) { toggle_BARSEP(bar, 0); }

// Every bar at the placement takes the numbering and jump of the template; the bars after it
// take its numbered setting up to one that has it already.
void bar_modify(Drosa bar) {
  Drosa model = symbol_edit_state.bar_template;
  modifyvc_with_undo(bar);
  bar->set(xrestart_number, model->get(xrestart_number));
  bar->set(xbarnumber, model->get(xbarnumber));
  bar->set(xunnumbered, model->get(xunnumbered));
  bar->set(xrepeat_code, model->get(xrepeat_code));
  bar->set(xrepeat_target, model->get(xrepeat_target));
  const int hidden = model->get(xbar_no_number);
  for (Drosa p = find_next_kind(BAR, bar); p; p = find_next_kind(BAR, p)) {
    if (p->get(xbar_no_number) == hidden) break;
    modifyvc_with_undo(p);
    p->set(xbar_no_number, hidden);
  }
}

void bar_cb(Drosa note) {
  SymbolEditState& st = symbol_edit_state;
  if (!is_plotted_note(note) || st.step_answer == STEP_REFUSED) return;
  Drosa bar = st.bar_template;
  const bool deleting = bar->get(xdouble) == BAR_DELETED;
  bool go_on = true;
  if (!deleting) timing_ok_or_stop(note, "bar line", &go_on);
  if (!go_on) return;
  if (deleting) {
    insert_symbol_in_voice(bar, note, SYMBOL_REMOVE, !st.at_insertion_point, st.all_staves, nullptr,
                           remove_separator);
  } else {
    insert_symbol_in_voice(bar, note, SYMBOL_INSERT, !st.at_insertion_point, st.all_staves,
                           bar_after_insert, nullptr);
    insert_symbol_in_voice(bar, note, SYMBOL_MODIFY, !st.at_insertion_point, 1, bar_modify,
                           nullptr);
  }
  mark_piece_changed(1, 1, current_ncontext);
}

// ---- System bracket -------------------------------------------------------------------------

void write_bracket(Drosa endsyst) {
  SymbolEditState& st = symbol_edit_state;
  const int code = st.bracket_code & 3, brace = st.brace_flag & 3;
  if (endsyst->get(xstartpiece)) {
    Drosa print = find_next_kind_before_note(PRINT, endsyst);
    if (!print) return;
    modifyvc_with_undo(print);
    print->set(xfirst_bracket, code);
    print->set(xfirst_brace, brace);
    return;
  }
  modifyvc_with_undo(endsyst);
  endsyst->set(xbracket, code);
  endsyst->set(xbrace, brace);
}

void bracket_cb(Drosa note) {
  SymbolEditState& st = symbol_edit_state;
  if (!is_plotted_note(note) || st.step_answer == STEP_REFUSED) return;
  const int staff = find_sstaff(note);
  voices_to_system(system_number_on_page(note, 1), 1);
  voices_to_system_at_time(find_time_in_system(note), 1, 1);
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    Drosa at = voice_not_shown(v) ? NIL : time_cursor[v];
    Drosa start = system_cursor[v];
    if (!at || effective_kind(at) == ENDSYST || !start) continue;
    if (!st.all_staves && find_sstaff(at) != staff) continue;
    write_bracket(start);
    if (!st.bracket_all_later) continue;
    for (Drosa p = start->xnext; p; p = p->xnext)
      if (effective_kind(p) == ENDSYST && !p->get(xendpiece)) write_bracket(p);
  }
  mark_piece_changed(1, 1, current_ncontext);
}

// ---- The frame --------------------------------------------------------------------------------

// The first drawn note of the selection, or NIL.
Drosa selection_start() {
  Drosa note = find_first_visible_noterest();
  return is_plotted_note(note) ? note : NIL;
}

}  // namespace

void edit_clef() {
  SymbolEditState& st = symbol_edit_state;
  Drosa note = selection_start();
  if (!note) return;
  st.step_answer = STEP_NOT_ASKED;
  st.clef_template = template_from(CLEF, note);
  st.clef_template->xcontext = 0;
  const int delete_here = insert_symbol_all_voices(note, CLEF, 0, NIL, nullptr, 1, nullptr);
  const int delete_at_end = symbol_exists_on_staff(note, CLEF);
  if (clef_dialog(st.clef_template, &st.all_staves, &st.at_insertion_point, &st.propagate,
                  &st.clef_keep_position, delete_here, delete_at_end))
    apply_to_cursor_or_group(clef_cb, 1);
  destroyDrosa(st.clef_template);
  st.clef_template = NIL;
}

void edit_barline() {
  SymbolEditState& st = symbol_edit_state;
  Drosa note = selection_start();
  if (!note) return;
  st.step_answer = STEP_NOT_ASKED;
  Drosa in_force = find_prev_kind(BAR, note);
  st.bar_template = in_force ? copyDrosa(in_force) : newDrosa(BAR, 0);
  st.barsep_flag = in_force && find_BARSEP(in_force) ? 1 : 0;
  const int delete_here = insert_symbol_all_voices(note, BAR, 0, NIL, nullptr, 1, nullptr);
  const int delete_at_end = symbol_exists_on_staff(note, BAR);
  if (barline_dialog(st.bar_template, &st.barsep_flag, &st.all_staves, &st.at_insertion_point,
                     &st.propagate, delete_here, delete_at_end))
    apply_to_cursor_or_group(bar_cb, 1);
  destroyDrosa(st.bar_template);
  st.bar_template = NIL;
}

namespace {

// A time signature put at a note says so when the measure that starts there holds more or
// fewer beats than the signature asks: the notes are left as they are, as in a format that
// finds voices disagreeing.
void say_measure_disagrees(Drosa note, Drosa tsig) {
  const int bpm = tsig->get(xbpm), beat = tsig->get(xbeat);
  if (bpm <= 0 || beat <= 0) return;
  int32_t t = 0, carry_num = 0, carry_den = 1, d = 0;
  for (Drosa p = note; p && p->xkind != BAR && p->xkind != ENDSYST;) {
    if (p->xkind != NOTE) {
      p = p->xnext;
      continue;
    }
    Drosa end = chord_duration_carry(p, &t, &carry_num, &carry_den, &d);
    if (!end) return;
    p = end->xnext;
  }
  const int64_t wanted = int64_t(bpm) * WHOLE_NOTE_TIME / beat;
  if (t <= 0 || std::abs(t - wanted) <= TIME_TOLERANCE) return;
  REPORT_ERROR(2,
               "Measure %ld holds %g beats, but its new time signature of %d/%d asks for %d. "
               "The notes are as they were: you may want to correct the measure (possibly with "
               "the help of Enable Duration Edits).",
               long(bar_number_of_node(note)), double(t) * beat / WHOLE_NOTE_TIME, bpm, beat, bpm);
}

}  // namespace

void edit_tsig() {
  SymbolEditState& st = symbol_edit_state;
  Drosa note = insertion_point;
  if (!is_NOTE(note)) {
    REPORT_ERROR(4, "bad call in other.c (edit_tsig)");
    return;
  }
  st.step_answer = STEP_NOT_ASKED;
  Drosa tsig = template_from(TIMESIG, note);
  const int delete_here = insert_symbol_all_voices(note, TIMESIG, 0, NIL, nullptr, 1, nullptr);
  const int delete_at_end = symbol_exists_on_staff(note, TIMESIG);
  if (!tsig_dialog(tsig, &st.all_staves, &st.at_insertion_point, delete_here, delete_at_end)) {
    destroyDrosa(tsig);
    return;
  }
  const bool deleting = tsig->get(xbpm) == TIMESIG_DELETED;
  if (st.at_insertion_point && !deleting &&
      !check_timing_boundary(note, !st.all_staves, "time signature")) {
    destroyDrosa(tsig);
    return;
  }
  const int operation = deleting ? SYMBOL_REMOVE : SYMBOL_INSERT;
  Drosa beaming = newDrosa(BEAMING, tsig->xcontext);
  int32_t group = 0, sub = 0;
  if (!deleting) get_timesig_beaming(tsig, &group, &sub);
  beaming->set(xsbvalue, sub);
  beaming->set(xbvalue, 0, group);
  insert_symbol_in_voice(tsig, note, operation, !st.at_insertion_point, st.all_staves, nullptr,
                         nullptr);
  insert_symbol_in_voice(beaming, note, operation, !st.at_insertion_point, st.all_staves, nullptr,
                         nullptr);
  if (st.at_insertion_point && !deleting) say_measure_disagrees(note, tsig);
  destroyDrosa(beaming);
  destroyDrosa(tsig);
  mark_piece_changed(1, 1, current_ncontext);
}

void edit_bracket() {
  SymbolEditState& st = symbol_edit_state;
  Drosa note = selection_start();
  if (!note) return;
  st.step_answer = STEP_NOT_ASKED;
  int bracket = 2, brace = 0;
  get_bracket(note, &bracket, &brace);
  st.bracket_code = bracket;
  st.brace_flag = brace;
  if (bracket_dialog(&st.bracket_code, &st.brace_flag, &st.all_staves, &st.bracket_all_later))
    apply_to_cursor_or_group(bracket_cb, 1);
}
