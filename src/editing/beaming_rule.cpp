// beaming_rule.cpp: the Beaming Rule command and its dialog.
//
// A BEAMING node tells the layout how beamed notes group from its place on: four beam-group
// lengths, used in turn and repeated after the last non-zero one, and a subbeam length, in time
// units. The dialog shows and reads them in eighth notes (a value shown is the stored value
// divided by 8192, rounded toward zero).
#include <algorithm>
#include <string>

#include "app/app_services.h"
#include "editing/editing_globals.h"
#include "editing/symbol_commands.h"
#include "editing/symbols.h"
#include "platform/port.h"

namespace {

constexpr int BEAMING_DIALOG = 9685;
constexpr int FIRST_GROUP = 9, SUBBEAM = 14;
constexpr int32_t EIGHTH = 8192;
const char* const FIELD_NAMES[5] = {"the first number", "the second number", "the third number",
                                    "the fourth number", "the subbeam value"};

// The rule in force at the insertion point: the first BEAMING the current context sees walking
// back from it, else the permanent default rule.
Drosa rule_in_force() {
  for (Drosa p = insertion_point; p; p = p->xback)
    if (effective_kind(p) == BEAMING) return p;
  return beaming_head;
}

}  // namespace

int beaming_rule_dialog(Drosa rule, int32_t* all_voices, int32_t* at_insertion_point,
                        int delete_allowed, int /*unused*/) {
  DialogRef dialog = open_dialog_in_front(BEAMING_DIALOG);
  if (!dialog) return 0;
  *at_insertion_point = 1;
  init_scope_buttons(dialog, 1, all_voices, at_insertion_point, delete_allowed, 0);
  if (Drosa in_force = rule_in_force())
    std::copy(in_force->payload, in_force->payload + DROSA_PAYLOAD_SIZE, rule->payload);
  for (int i = 0; i < 4; ++i)
    set_long_item(dialog, FIRST_GROUP + i, rule->get(xbvalue, i) / EIGHTH);
  set_long_item(dialog, SUBBEAM, rule->get(xsbvalue) / EIGHTH);
  platform_select_item_text(dialog, FIRST_GROUP, 0, 32767);
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (!scope_button_hit(dialog, item, all_voices, at_insertion_point, delete_allowed,
                          delete_allowed))
      continue;
    if (item == SYMBOL_CANCEL) return 0;
    if (item == SYMBOL_DELETE) {
      rule->set(xsbvalue, BEAMING_DELETED);
      return 1;
    }
    if (item != SYMBOL_OK) continue;
    // Every field is checked before the rule takes any of them.
    int32_t values[5];
    bool read = true;
    for (int i = 0; i < 5 && read; ++i) {
      const int field = i < 4 ? FIRST_GROUP + i : SUBBEAM;
      values[i] = get_long_item(dialog, field, FIELD_NAMES[i], 0, 50);
      if (values[i] == BAD_LONG_ITEM) {
        platform_select_item_text(dialog, field, 0, 32767);
        read = false;
      }
    }
    if (!read) continue;
    for (int i = 0; i < 4; ++i) rule->set(xbvalue, i, values[i] * EIGHTH);
    rule->set(xsbvalue, values[4] * EIGHTH);
    close_dialog_in_front(dialog);
    return 1;
  }
}

void edit_beaming() {
  Drosa note = insertion_point;
  if (!is_NOTE(note)) {
    REPORT_ERROR(4, "bad call in other.c (edit_beaming)");
    return;
  }
  Drosa rule = newDrosa(BEAMING, 0);
  Drosa first = vchord_first_note(note);
  const int delete_allowed = find_prev_kind_stop(BEAMING, first, ENDSYST) ? 1 : 0;
  int32_t all_voices = 1, at_insertion_point = 1;
  if (!beaming_rule_dialog(rule, &all_voices, &at_insertion_point, delete_allowed, 0)) {
    destroyDrosa(rule);
    return;
  }
  if (!at_insertion_point) {
    REPORT_ERROR(2, "Can't have beaming at End of System!");
    destroyDrosa(rule);
    return;
  }
  const bool deleting = rule->get(xsbvalue) == BEAMING_DELETED;
  symbol_edit_state.step_answer = STEP_NOT_ASKED;
  if (!deleting && !check_timing_boundary(note, !all_voices, "beaming rule")) {
    destroyDrosa(rule);
    return;
  }
  if (!all_voices) {
    if (deleting) {
      if (Drosa old = find_prev_kind_stop(BEAMING, first, ENDSYST)) removevc_with_undo(old);
      destroyDrosa(rule);
    } else {
      while (Drosa old = find_prev_kind_stop(BEAMING, first, ENDSYST)) removevc_with_undo(old);
      insertvc_node_with_undo(rule, first->xback);
    }
  } else {
    insert_symbol_in_voice(rule, note, deleting ? SYMBOL_REMOVE : SYMBOL_INSERT, 0, 1, nullptr,
                           nullptr);
    destroyDrosa(rule);
  }
  mark_piece_changed(1, 1, current_ncontext);
}
