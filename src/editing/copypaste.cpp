// copypaste.cpp: Copy Music, Copy Measures, Paste Music and the picture of a page rectangle.
//
// Paste goes note by note through insert_note, as typed notes do, so that what it replaces
// becomes rests of the right time. Everything it would refuse is checked first; when an
// insertion is refused all the same, the step recorded so far is undone, so a paste is made
// whole or not at all.
#include "editing/copypaste.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_globals.h"
#include "editing/editing_services.h"
#include "editing/key_transpose.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"

Drosa clipboard_tail;
int32_t copy_with_annos = 0, copy_skip_first_annos = 0, copy_staff_voices = 0, copy_all_voices = 0,
        copy_zones = 0, copy_voice_count = 0, copy_measure_count = 1;

namespace {

constexpr int COPY_MEASURES_DIALOG = 999;
enum CopyMeasuresItem {
  CM_OK = 1,
  CM_CANCEL = 2,
  CM_COUNT = 4,
  CM_THIS_VOICE = 5,
  CM_THIS_STAFF = 6,
  CM_ALL_VOICES = 7,
  CM_WITH_ANNOS = 9,
  CM_ANNOS_NOT_FIRST = 10,
  CM_NO_ANNOS = 11,
  CM_ZONES = 12,
};

// Copy Music's work flags.
int copy_voice = -1;
bool copy_hidden_rest = false, copy_error_said = false;
// The dialog's remembered radio buttons.
int copy_annos_choice = CM_WITH_ANNOS, copy_voices_choice = CM_THIS_VOICE;

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }
bool visible_endsyst(Drosa p) { return p && effective_kind(p) == ENDSYST; }
bool is_annotation(Drosa p) {
  const int k = effective_kind(p);
  return k == TPARAM || k == TEXT || k == LINE;
}

void append_to_clipboard(Drosa node) {
  link_after(node, clipboard_tail);
  clipboard_tail = node;
}

// A new segment: the KEYSIG and PRINT in force before the node (fresh ones when none).
Drosa start_segment(Drosa node) {
  Drosa key = find_prev_kind(KEYSIG, node);
  Drosa print = find_prev_kind(PRINT, node);
  Drosa head = key ? copyDrosa(key) : newDrosa(KEYSIG, 0);
  if (!key) head->xcontext = 0;
  clipboard_tail = head;
  append_to_clipboard(print ? copyDrosa(print) : newDrosa(PRINT, 0));
  return head;
}

Drosa note_copy(Drosa note) {
  Drosa copy = copyDrosa(note);
  copy->set(xselected, 0);
  return copy;
}

// The first node of the run before a note (after the previous NOTE, its layout records or the
// visible ENDSYST).
Drosa run_before(Drosa note) {
  Drosa p = note;
  while (p->xback && p->xback->xkind != NOTE && !temp_node(p->xback, 1002) &&
         !visible_endsyst(p->xback))
    p = p->xback;
  return p;
}

void copy_annotations_before(Drosa note) {
  for (Drosa p = run_before(note); p != note; p = p->xnext)
    if (is_annotation(p)) append_to_clipboard(copyDrosa(p));
}

void report_failure(const char* text) { REPORT_ERROR(2, "%s", text); }

int16_t staff_at(Drosa node) {
  Drosa print = node ? find_prev_kind(PRINT, node) : NIL;
  return print ? print->get(xsstaff) : int16_t(-1);
}

bool in_tuplet(Drosa note) {
  return note->get(xtupl) != 1 || note->get(xintimeof) != 4 ||
         find_prev_kind_stop_2(NEST, note, 0) != NIL;
}

// Notated time of the notes of a chain from `first` up to `stop` (not included; NIL: to the end
// of the voice).
int64_t chain_time(Drosa first, Drosa stop) {
  int64_t total = 0;
  for (Drosa p = first; p && p != stop;) {
    if (p->xkind != NOTE) {
      p = p->xnext;
      continue;
    }
    Drosa f, l;
    const int32_t d = vchord_bounds(p, &f, &l);
    if (d != NO_TIME && !p->get(xgrace)) total += d;
    p = l ? l->xnext : NIL;
  }
  return total;
}

Drosa segment_end(Drosa segment) {
  Drosa p = segment;
  while (p->xnext && effective_kind(p->xnext) != COPY) p = p->xnext;
  return p;
}

Drosa next_segment(Drosa segment) {
  Drosa end = segment_end(segment)->xnext;
  return end ? end->xnext : NIL;
}

}  // namespace

// ---- The clipboards ----------------------------------------------------------------------------

void clear_music_scrap(int flag) {
  if (flag && !platform_clipboard_has_foreign_text_or_picture()) return;
  if (clipboard_list) destroy_Drosa_list(clipboard_list);
  clipboard_list = clipboard_tail = NIL;
  clipboard_kind = 0;
  if (!flag) platform_clipboard_clear();
}

// ---- Copy Music ----------------------------------------------------------------------------

void copy_note_to_clipboard(Drosa note) {
  if (!is_NOTE(note)) return;
  if (!clipboard_list) {
    clipboard_kind = 2;
    clipboard_list = start_segment(note);
    copy_voice = note->get(xvoice);
    copy_hidden_rest = copy_error_said = false;
  }
  if (note->get(xrest) && note->get(xhider)) copy_hidden_rest = true;
  if (note->get(xvoice) != copy_voice) {
    if (!copy_error_said)
      report_failure(copy_hidden_rest
                         ? "When you copy music, all the notes must be from one voice!  (You have "
                           "a hidden rest selected.)"
                         : "When you copy music, all the notes must be from one voice!  (Try "
                           "Highlight Voice to avoid selecting multiple voices.)");
    copy_error_said = true;
    return;
  }
  if (copy_with_annos) copy_annotations_before(note);
  unary_node(UNARY_COPY, note);
  Drosa copy = note_copy(note);
  append_to_clipboard(copy);
  if (note->get(xendvcd)) return;
  for (Drosa p = note->xnext; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    if (p->get(xselected)) break;
    copy->set(xttn, copy->get(xttn) + p->get(xttn));
    if (p->get(xendvcd)) {
      copy->set(xendvcd, 1);
      break;
    }
  }
}

void copy_music_command(int with_annos) {
  copy_staff_voices = copy_all_voices = copy_zones = copy_skip_first_annos = 0;
  copy_voice_count = 1;
  copy_with_annos = with_annos ? 1 : 0;
  clear_music_scrap(0);
  apply_to_cursor_or_group(copy_note_to_clipboard, 0);
}

// ---- Copy Measures ---------------------------------------------------------------------------

void copy_zone_for_measure(Drosa node, Drosa clip_node) {
  if (std::abs(find_time_in_bar(node)) > TIME_TOLERANCE || find_time_in_system(node) <= 0) return;
  Drosa bar = find_prev_kind_until(BAR, node, ENDSYST, 0);
  Drosa zone = find_prev_kind_stop(ZONE, node, 0);
  if (!bar || !zone || bar->get(xbarx) == NOT_DRAWN) return;
  const int32_t staff = Find_pstaff(node, 0);
  const int32_t left = staff_left_x(staff, current_page),
                right = staff_right_x(staff, current_page);
  if (right <= left) return;  // a staff of no width has no per mille
  Drosa copy = copyDrosa(zone);
  copy->set(xzone_bar, 1);
  copy->set(xzone_xpermil,
            int16_t((double(bar->get(xbarx) - left) + 5.0) * 1000.0 / double(right - left)));
  link_after(copy, clip_node->xback);
}

Drosa copy_measures_from_voice(Drosa node) {
  Drosa head = start_segment(node);
  const Drosa first_key = head;
  const bool with_prints = copy_staff_voices || copy_all_voices;
  Drosa start = vchord_first_note(node);
  Drosa from = start->xback;
  while (from && from->xkind != NOTE && effective_kind(from) != BAR && !visible_endsyst(from))
    from = from->xback;
  Drosa last_note_copy = NIL;
  int32_t bars = 0;
  bool refused = false;
  for (Drosa p = from ? from->xnext : start; p && bars < copy_measure_count; p = p->xnext) {
    const int k = effective_kind(p);
    if (k == ENDSYST && p->get(xendpiece)) break;
    if (k == BAR && last_note_copy) ++bars;
    if (k == KEYSIG && (p->get(xkey) != first_key->get(xkey) ||
                        p->get(key_transposition) != first_key->get(key_transposition))) {
      Drosa next = p->xnext;
      while (next && effective_kind(next) != BAR && next->xkind != NOTE) next = next->xnext;
      const bool ends_copy = next && effective_kind(next) == BAR && bars + 1 == copy_measure_count;
      if (!ends_copy) refused = true;
      break;
    }
    if (p->xkind == NOTE) {
      Drosa copy = note_copy(p);
      if (copy_with_annos && !(copy_skip_first_annos && !last_note_copy))
        copy_annotations_before(p);
      unary_node(UNARY_COPY, p);
      append_to_clipboard(copy);
      if (copy_zones) copy_zone_for_measure(p, copy);
      last_note_copy = copy;
    } else if (k == PRINT && with_prints && last_note_copy) {
      append_to_clipboard(copyDrosa(p));
    }
  }
  if (refused || !last_note_copy) {
    destroy_Drosa_list(head);
    clipboard_tail = NIL;
    if (refused) report_failure("You cannot Copy Music over key changes!");
    return NIL;
  }
  // The segment ends with its last note.
  if (last_note_copy->xnext) destroy_Drosa_list(last_note_copy->xnext);
  clipboard_tail = last_note_copy;
  return head;
}

void copy_measures_dialog() {
  Drosa ip = insertion_point;
  if (!is_NOTE(ip)) return;
  voices_to_system(system_number_on_page(ip, 1), 1);
  const bool at_boundary = !voices_to_system_at_time(find_time_in_system(ip), 0, 1);
  Drosa cursors[MAX_VOICES];
  std::copy(time_cursor, time_cursor + MAX_VOICES, cursors);

  DialogRef dialog = open_dialog_in_front(COPY_MEASURES_DIALOG);
  if (!dialog) return;
  auto radios = [&](int first, int last, int on) {
    for (int item = first; item <= last; ++item) platform_set_item_value(dialog, item, item == on);
  };
  int voices_choice = at_boundary ? copy_voices_choice : CM_THIS_VOICE;
  int annos_choice = copy_annos_choice;
  bool zones = false;
  platform_set_item_text(dialog, CM_COUNT, "1");
  platform_select_item_text(dialog, CM_COUNT, 0, 32767);
  radios(CM_WITH_ANNOS, CM_NO_ANNOS, annos_choice);
  radios(CM_THIS_VOICE, CM_ALL_VOICES, voices_choice);
  platform_set_item_value(dialog, CM_ZONES, 0);
  if (!at_boundary) {
    enable_item(dialog, CM_THIS_STAFF, 0);
    enable_item(dialog, CM_ALL_VOICES, 0);
  }
  int32_t count = 0;
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == CM_CANCEL) {
      close_dialog_in_front(dialog);
      return;
    }
    if (item == CM_OK) {
      count = get_long_item(dialog, CM_COUNT, "number", 1, 500);
      if (count == BAD_LONG_ITEM) {
        platform_select_item_text(dialog, CM_COUNT, 0, 32767);
        continue;
      }
      break;
    }
    if (item >= CM_WITH_ANNOS && item <= CM_NO_ANNOS) {
      radios(CM_WITH_ANNOS, CM_NO_ANNOS, annos_choice = item);
    } else if (item >= CM_THIS_VOICE && item <= CM_ALL_VOICES) {
      radios(CM_THIS_VOICE, CM_ALL_VOICES, voices_choice = item);
    } else if (item == CM_ZONES) {
      zones = !zones;
      platform_set_item_value(dialog, CM_ZONES, zones);
    } else if (item != CM_COUNT) {
      REPORT_ERROR(4, "%s", "Unexpected item returned from copy measures dialog");
    }
  }
  close_dialog_in_front(dialog);
  copy_annos_choice = annos_choice;
  copy_voices_choice = voices_choice;

  clear_music_scrap(0);
  copy_with_annos = annos_choice != CM_NO_ANNOS;
  copy_skip_first_annos = annos_choice == CM_ANNOS_NOT_FIRST;
  copy_staff_voices = voices_choice == CM_THIS_STAFF;
  copy_all_voices = voices_choice == CM_ALL_VOICES;
  copy_zones = zones;
  copy_measure_count = count;
  if (voices_choice == CM_THIS_VOICE) {
    copy_voice_count = 1;
    clipboard_list = copy_measures_from_voice(ip);
  } else {
    copy_voice_count = 0;
    const int16_t staff = staff_at(ip);
    Drosa last = NIL;
    for (int v = 0; v < voices(); ++v) {
      if (voice_not_shown(v) || !cursors[v] || cursors[v]->xkind != NOTE) continue;
      Drosa segment = copy_measures_from_voice(cursors[v]);
      if (!segment) break;
      bool keep = !copy_staff_voices;
      for (Drosa p = segment; p && !keep; p = p->xnext)
        keep = effective_kind(p) == PRINT && p->get(xsstaff) == staff;
      if (!keep) {
        destroy_Drosa_list(segment);
        continue;
      }
      Drosa end = segment_end(segment);
      if (!last) {
        clipboard_list = segment;
      } else {
        Drosa separator = newDrosa(COPY, 0);
        link_after(separator, last);
        link_chain_after(segment, end, separator);
      }
      last = end;
      ++copy_voice_count;
    }
  }
  clipboard_kind = clipboard_list ? 2 : 0;
  clipboard_tail = NIL;
}

// ---- Paste Music -----------------------------------------------------------------------------

void remove_zones_at(Drosa note) {
  if (!is_NOTE(note)) return;
  voices_to_system(system_number_on_page(note, 1), 1);
  voices_to_system_at_time(find_time_in_system(note), 0, 1);
  for (int v = 0; v < voices(); ++v) {
    Drosa at = time_cursor[v];
    if (!at || at->xkind != NOTE) continue;
    while (Drosa zone = find_prev_kind_stop(ZONE, at, 0)) removevc_with_undo(zone);
  }
}

namespace {

// The PRINT settings at the paste point that a staff or all-voices paste gives back.
struct PrintValues {
  int16_t lines = 0, size = 0;
  uint8_t list = 0;
  int tablature = 0;
  bool found = false;
};

PrintValues print_values_at(Drosa node) {
  PrintValues v;
  if (Drosa print = find_prev_kind(PRINT, node)) {
    v.lines = print->get(xslines);
    v.size = print->get(xstaffsize);
    v.list = print->get(xlist);
    v.tablature = print->get(xtablature);
    v.found = true;
  }
  return v;
}

void give_back(Drosa print, const PrintValues& v) {
  if (!print || !v.found) return;
  modifyvc_with_undo(print);
  print->set(xslines, v.lines);
  print->set(xstaffsize, v.size);
  print->set(xlist, v.list);
  print->set(xtablature, v.tablature);
}

bool keys_differ(Drosa a, Drosa b) {
  return a->get(xkey) != b->get(xkey) || a->get(key_transposition) != b->get(key_transposition);
}

// The voices a paste goes into, in voice order, and why it cannot be made.
struct PastePlan {
  std::vector<Drosa> targets;
  int transpose = 0;
  bool ok = false;
};

PastePlan plan_paste(Drosa ip) {
  PastePlan plan;
  voices_to_system(system_number_on_page(ip, 1), 1);
  const bool missed = voices_to_system_at_time(find_time_in_system(ip), 0, 1);
  if (copy_voice_count > 1 && missed) {
    report_failure("You cannot paste here because all voices are not at a timing boundary.");
    return plan;
  }
  if (in_tuplet(ip)) {
    report_failure("You cannot paste music into a tuplet.");
    return plan;
  }
  const bool one_voice = !copy_staff_voices && !copy_all_voices;
  if (one_voice) {
    plan.targets.push_back(ip);
  } else {
    const int16_t staff = staff_at(ip);
    for (int v = 0; v < voices(); ++v) {
      Drosa at = time_cursor[v];
      if (voice_not_shown(v) || !at || at->xkind != NOTE) continue;
      if (copy_staff_voices && staff_at(at) != staff) continue;
      plan.targets.push_back(at);
    }
    const int have = int(plan.targets.size());
    char text[REPORT_TEXT_SIZE];
    if (copy_staff_voices && copy_voice_count > have) {
      std::snprintf(text, sizeof text,
                    "You are trying to paste something with %d voices, but this staff has only %d "
                    "voices here.  Use the Parts and Voices menu option to start more voices.",
                    int(copy_voice_count), have);
      report_failure(text);
      return plan;
    }
    if (copy_voice_count > have) {
      std::snprintf(text, sizeof text,
                    "You are trying to paste something with %d voices, but there are only %d "
                    "voices here.",
                    int(copy_voice_count), have);
      report_failure(text);
      return plan;
    }
    if (copy_staff_voices)
      for (Drosa p = clipboard_list; p; p = p->xnext)
        if (effective_kind(p) == PRINT && p->get(xsstaff) != -1) p->set(xsstaff, staff);
  }
  size_t k = 0;
  for (Drosa seg = clipboard_list; seg && k < plan.targets.size(); seg = next_segment(seg), ++k) {
    if (chain_time(plan.targets[k], NIL) + TIME_TOLERANCE <
        chain_time(seg, segment_end(seg)->xnext)) {
      report_failure(
          "There is not enough time after the insertion point for the music you are "
          "pasting.");
      return plan;
    }
  }
  plan.targets.resize(std::min(plan.targets.size(), k));
  // The key question is asked once, of the first voice, and holds for every voice.
  Drosa here = find_prev_kind(KEYSIG, plan.targets[0]);
  if (here && keys_differ(here, clipboard_list)) {
    if (here->get(xkey) != clipboard_list->get(xkey)) {
      const int answer = yesnocan_alert(
          "The notes were copied from a different key signature.  Do you want to transpose "
          "them?");
      if (answer == ANSWER_CANCEL) return plan;
      plan.transpose = answer == ANSWER_YES;
    } else if (!yesno_alert("The copied notes had a different concert pitch set by the Key "
                            "Signature option -- do you want to paste anyway?",
                            1)) {
      return plan;
    }
  }
  plan.ok = true;
  return plan;
}

}  // namespace

Drosa paste_music(Drosa segment, int transpose, bool* failed) {
  *failed = false;
  Drosa ip = insertion_point;
  if (!segment || !is_NOTE(ip)) {
    *failed = true;
    return NIL;
  }
  Drosa here = find_prev_kind(KEYSIG, ip);
  Drosa compare = here ? copyDrosa(here) : newDrosa(KEYSIG, 0);
  const bool several = copy_staff_voices || copy_all_voices;
  const PrintValues remembered = print_values_at(ip);
  Drosa place = ip->xback;
  while (place && !(place->xkind == NOTE && place->get(xendvcd)) && !visible_endsyst(place))
    place = place->xback;

  Drosa p = segment->xnext;  // after the KEYSIG copy
  if (!several && p && effective_kind(p) == PRINT) p = p->xnext;
  Drosa run = p;  // the clipboard nodes before the next clipboard note
  bool first = true, joining = false, all_grace = true;
  Drosa ended = NIL;
  for (; p; p = p->xnext) {
    if (effective_kind(p) == COPY) {
      ended = p;
      break;
    }
    if (p->xkind != NOTE) continue;
    if (!insertion_point) {
      *failed = true;
      break;
    }
    Drosa chord_first = vchord_first_note(insertion_point);
    for (Drosa q = run_before(chord_first); q != chord_first; q = q->xnext)
      if (effective_kind(q) == KEYSIG && keys_differ(q, compare)) {
        report_failure("You cannot Paste Music over key changes!");
        *failed = true;
        break;
      }
    if (*failed) break;
    all_grace = all_grace && p->get(xgrace);
    Drosa note = copyDrosa(p);
    note->set(xendvcd, 1);
    Drosa chain = note;
    if (Drosa nest = find_prev_kind_stop_2(NEST, p, 0)) {
      chain = copyDrosa(nest);
      link_after(note, chain);
    }
    if (!insert_note(chain, note, joining ? 1 : 0, all_grace ? 2 : 0, 1, 1, first ? 1 : 0)) {
      *failed = true;
      break;
    }
    mark_piece_changed(1, 3, 0);
    if (!p->get(xendvcd)) set_insertion_point(note, 1, -10);
    unary_node(UNARY_DELETE, note);
    delete_marked_annos(note);
    const bool annos_here = copy_with_annos && !(first && copy_skip_first_annos);
    if (annos_here) {
      for (Drosa q = run_before(note); q != note;) {
        Drosa next = q->xnext;
        if (is_annotation(q)) removevc_with_undo(q);
        q = next;
      }
    } else {
      unary_node(UNARY_DELETE, note);
    }
    if (copy_zones) remove_zones_at(note);
    if (several)
      while (Drosa print = find_prev_kind_stop_2(PRINT, note, 0)) removevc_with_undo(print);
    if (run != p) insertvc_list_with_undo(run, p->xback, note->xback);
    transpose_note_for_key(note, segment, compare, transpose ? 3 : 0, copy_with_annos, ACC_CHANGED);
    if (several) give_back(find_prev_kind_stop_2(PRINT, note, 0), remembered);
    if (first || run != p) apply_dynamic_velocity(note);
    joining = !p->get(xendvcd);
    first = false;
    run = p->xnext;
  }
  destroyDrosa(compare);
  Drosa first_pasted = place ? place->xnext : NIL;
  while (first_pasted && first_pasted->xkind != NOTE) first_pasted = first_pasted->xnext;
  if (first_pasted && !*failed) set_insertion_point(first_pasted, 1, -10);
  return ended;
}

void paste_music_command() {
  Drosa ip = insertion_point;
  if (clipboard_kind != 2 || !clipboard_list || !is_NOTE(ip)) return;
  const PastePlan plan = plan_paste(ip);
  if (!plan.ok) return;
  set_undo_mark(1);
  const int32_t recorded = undo_list_length(0);
  bool failed = false;
  Drosa segment = clipboard_list;
  for (Drosa target : plan.targets) {
    if (!segment) break;
    set_insertion_point(target, 1, -10);
    Drosa ended = paste_music(segment, plan.transpose, &failed);
    if (failed) break;
    segment = ended ? ended->xnext : NIL;
  }
  if (failed && undo_list_length(0) != recorded) {
    // Take out what the paste made before its refusal: one step, then no redo of it.
    set_undo_mark(1);
    undo_redo(1);
    clear_undo(0);
    set_insertion_point(ip, 1, -10);
  }
}

// ---- The picture of a page rectangle ----------------------------------------------------------

void copy_to_clipboard(int variant) {
  const VirtualRect r = inverted_selection_rect;
  if (r.x2 <= 0) {
    REPORT_ERROR(4, "%s", "Logic error in copy_to_clipboard (copypaste)");
    return;
  }
  clear_music_scrap(0);
  if (reformat_pending) {
    disable_format_interrupts();
    reformat_and_update(current_page, 0);
    enable_format_interrupts();
  }
  const long size = picture_of_page_rect(r, variant != 0);
  if (size < 0) {
    report_file_error(-108, "copy_to_clipboard");
    REPORT_ERROR(4, "Putscrap failed; the picture size is %ld", -size);
  }
}
