// parts_voices.cpp: parts and voices.
//
// A voice's number is its index in piece_start, so removing a voice renumbers every later one:
// in piece_start and page_start, in the voice cursors, and in the staff records of the Parts and
// Voices dialog. Creating or removing a voice discards the undo and redo histories: records
// that name voice lists which no longer exist, or that would undo the making of a voice piece
// by piece, must not survive it. Renaming a part changes xpname in place without an undo record.
//
// A new voice follows the structure of the voice it is made from (systems, bars, clefs, keys,
// time signatures, beaming, print settings) and holds rests where the source holds notes.
#include "model/parts_voices.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Editor/text_numbers.h"
#include "model/change_flags.h"
#include "model/durashn.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_kinds.h"
#include "model/number_dialogs.h"
#include "model/replace.h"
#include "model/undo.h"
#include "model/voice_chords.h"
#include "model/voice_lists.h"

namespace {

constexpr int SCORE = 1;
constexpr int PART_NAME_SIZE = PART_NAME_MAX + 1;
// A part name, '-' and a voice number of up to four characters, and the NUL (or length byte).
constexpr int DISPLAY_NAME_SIZE = 24;
constexpr int TYPED_TEXT_SIZE = 256;  // the text buffer of the pop-up text dialog

// A list of names as the pop-up dialogs take it: entry 0 empty, the names from 1, then a null;
// it lives as long as the Choices.
class Choices {
 public:
  explicit Choices(std::vector<std::string> names) : names_(std::move(names)) {
    pointers_.push_back("");
    for (const std::string& n : names_) pointers_.push_back(n.c_str());
    pointers_.push_back(nullptr);
  }
  const char* const* list() const { return pointers_.data(); }
  int count() const { return int(names_.size()); }

 private:
  std::vector<std::string> names_;
  std::vector<const char*> pointers_;
};

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

bool voice_exists(int v) { return v >= 0 && v < voices() && piece_start[v]; }

// The VINFO of a voice, among the nodes before its first NOTE.
Drosa voice_vinfo(int v) {
  if (!voice_exists(v)) return NIL;
  for (Drosa p = piece_start[v]->xnext; p && p->xkind != NOTE; p = p->xnext)
    if (p->xkind == VINFO) return p;
  return NIL;
}

std::string part_name_of(int v) {
  Drosa info = voice_vinfo(v);
  return info ? info->get(xpname) : std::string();
}

int first_voice_of_part(const char* name) {
  for (int v = 0; v < voices(); ++v)
    if (voice_part_is(v, name)) return v;
  return -1;
}

// True when no other voice shares v's part.
bool only_voice_of_part(int v) {
  for (int u = 0; u < voices(); ++u)
    if (u != v && voices_same_part(u, v)) return false;
  return true;
}

std::string display_name_of(int v) {
  std::string part = part_name_of(v);
  if (only_voice_of_part(v)) return part;
  return part + "-" + std::to_string(voice_number_in_part(v) + 1);
}

int voice_with_display_name(const std::string& name) {
  for (int v = 0; v < voices(); ++v)
    if (display_name_of(v) == name) return v;
  return -1;
}

// True when a PRINT of the current context stands before the voice's first note.
bool shown_in_context(int v) {
  return voice_exists(v) && find_next_kind_before_note(PRINT, piece_start[v]);
}

// The last node of a voice list.
Drosa list_end(Drosa head) {
  Drosa p = head;
  while (p && p->xnext) p = p->xnext;
  return p;
}

// ---- Staff records ------------------------------------------------------------------------------

int staff_count(Drosa staff) {
  return staff ? std::clamp<int>(staff->get(xstaffrec_count), 0, STAFF_RECORD_VOICES) : 0;
}

int staff_voice(Drosa staff, int i) { return staff->get(xstaffrec_voice, i) & STAFF_VOICE_NUMBER; }

void staff_remove_entry(Drosa staff, int index) {
  int count = staff_count(staff);
  for (int i = index; i + 1 < count; ++i)
    staff->set(xstaffrec_voice, i, staff->get(xstaffrec_voice, i + 1));
  if (index < count) {
    staff->set(xstaffrec_voice, count - 1, 0);
    staff->set(xstaffrec_count, int8_t(count - 1));
  }
}

bool in_staff_list(int v) {
  for (Drosa s = staff_list_head; s; s = s->xnext)
    for (int i = 0; i < staff_count(s); ++i)
      if (staff_voice(s, i) == v) return true;
  return false;
}

// The staff's first voice, or -1 (reported) when the record names no existing voice.
int staff_first_voice(Drosa staff, const char* routine) {
  if (staff_count(staff) > 0 && voice_exists(staff_voice(staff, 0))) return staff_voice(staff, 0);
  REPORT_ERROR(4, "%s: the staff record holds no voice of the piece", routine);
  return -1;
}

// The distinct part names of the staff's voices, in its order.
std::vector<std::string> staff_parts(Drosa staff) {
  std::vector<std::string> parts;
  for (int i = 0; i < staff_count(staff); ++i) {
    std::string name = part_name_of(staff_voice(staff, i));
    if (std::find(parts.begin(), parts.end(), name) == parts.end()) parts.push_back(name);
  }
  return parts;
}

// Drops the removed voice's entries from every staff record and renumbers the later voices.
void renumber_staff_list(int removed) {
  for (Drosa s = staff_list_head; s; s = s->xnext) {
    for (int i = staff_count(s) - 1; i >= 0; --i) {
      int entry = s->get(xstaffrec_voice, i);
      int v = entry & STAFF_VOICE_NUMBER;
      if (v == removed)
        staff_remove_entry(s, i);
      else if (v > removed)
        s->set(xstaffrec_voice, i, uint8_t((entry & ~STAFF_VOICE_NUMBER) | (v - 1)));
    }
  }
}

// ---- Making a voice -----------------------------------------------------------------------------

// Whether a node of `context` belongs to the context a node of `viewer` is seen in (a node of
// every context, 0, is seen from the Score).
bool seen_from(int context, int viewer) {
  if (viewer == 0) viewer = SCORE;
  return context == 0 || context == viewer || (context == -1 && viewer != SCORE);
}

Drosa append_copy(Drosa node, Drosa* tail) {
  Drosa copy = copyDrosa(node);
  link_after(copy, *tail);
  *tail = copy;
  return copy;
}

// A PRINT of the new voice since its last NOTE or ENDSYST, as seen from the context given.
Drosa print_since_last_note(Drosa tail, int viewer) {
  for (Drosa q = tail; q; q = q->xback) {
    if (q->xkind == NOTE) return NIL;
    if (!seen_from(q->xcontext, viewer)) continue;
    if (q->xkind == PRINT) return q;
    if (q->xkind == ENDSYST) return NIL;
  }
  return NIL;
}

void copy_print(Drosa source, Drosa* tail) {
  Drosa print = print_since_last_note(*tail, source->xcontext);
  if (!print) print = append_copy(source, tail);
  print->set(xsstaff, -1);
  print->set(xprintdir, 3);
  print->set(xslines, 5);
  print->set(xstaffsize, 50);
  print->set(xlist, 0);
}

// The clef's flag byte after the clef type.
constexpr int CLEF_FLAG_BYTE = 11;

// A source clef is copied; with copy_clefs, once the new voice has a clef, a clef change of
// the source (flag byte 0) repeats the new voice's own clef instead, and others are left out.
void copy_clef(Drosa source, Drosa* tail, int copy_clefs) {
  Drosa previous = NIL;
  if (copy_clefs) {
    for (Drosa q = *tail; q && !previous; q = q->xback)
      if (q->xkind == CLEF && seen_from(q->xcontext, source->xcontext)) previous = q;
  }
  if (!previous) {
    append_copy(source, tail);
    return;
  }
  if (node_byte(source, CLEF_FLAG_BYTE) != 0) return;
  Drosa clef = append_copy(previous, tail);
  set_node_byte(clef, CLEF_FLAG_BYTE, 0);
  clef->xcontext = source->xcontext;
}

// Copies the nodes of the source that the new voice keeps. Returns the last source node
// handled (a TPARAM's TEXT nodes go with it).
Drosa copy_source_node(Drosa p, int source_voice, int new_voice, Drosa* tail, const char* part_name,
                       int voice_number, int copy_clefs) {
  switch (p->xkind) {
    case ENDSYST: {
      Drosa copy = append_copy(p, tail);
      if (p == page_start[source_voice]) page_start[new_voice] = copy;
      break;
    }
    case BAR:
    case KEYSIG:
    case TIMESIG:
    case PARAM:
    case BEAMING:
      append_copy(p, tail);
      break;
    case VINFO: {
      Drosa info = append_copy(p, tail);
      info->set(xpname, part_name);
      info->set(xvoiceOnPart, int8_t(voice_number));
      break;
    }
    case NOTE:
      if (!p->get(xgrace)) append_copy(p, tail);
      break;
    case TPARAM:
      if (model_hooks.midi_anno_kind(p, nullptr) != COMMAND_PARAM) break;
      append_copy(p, tail);
      if (p->xnext && p->xnext->xkind == PDATA) p = p->xnext;  // a layout record: not copied
      while (p->xnext && p->xnext->xkind == TEXT) {
        p = p->xnext;
        append_copy(p, tail);
      }
      break;
    case PRINT:
      copy_print(p, tail);
      break;
    case CLEF:
      copy_clef(p, tail, copy_clefs);
      break;
    default:
      break;
  }
  return p;
}

// Turns every run of directly following chords of the new voice into rests of the run's time,
// unless the run is only single rests already.
void rests_for_notes(int voice) {
  Drosa p = piece_start[voice] ? piece_start[voice]->xnext : NIL;
  while (p && !(p->xkind == ENDSYST && p->get(xendpiece))) {
    if (p->xkind != NOTE) {
      p = p->xnext;
      continue;
    }
    Drosa first = p, last = p;
    int64_t sum = 0;
    bool single_rests = true;
    while (p && p->xkind == NOTE) {
      Drosa chord_first = NIL, chord_last = NIL;
      sum += vchord_bounds(p, &chord_first, &chord_last);
      if (!chord_last) chord_last = p;  // a chord without its end mark stands alone
      if (chord_first != chord_last || !p->get(xrest) || !p->get(xendvcd)) single_rests = false;
      for (Drosa n = p; n; n = n->xnext) {
        if (n->xkind == NOTE && n->get(xrest)) {
          n->set(xhider, 0);
          n->set(xseparate, 0);
        }
        if (n == chord_last) break;
      }
      last = chord_last;
      p = chord_last->xnext;
    }
    if (!single_rests) restify(first, last, int32_t(std::min<int64_t>(sum, NO_TIME)), 1);
  }
}

}  // namespace

// ---- Creating and removing voices ---------------------------------------------------------------

// Reads: voice_count, current_ncontext, ncontext_name, piece_start of the source.
// Writes: voice_count, piece_start, page_start of the new voice; insertion_point; the cursor
// (watch while working); DrosaDirty and the view flags; discards the undo and redo histories.
// Failure: level-2 messages for a 65th voice and outside the Score; 0, nothing changed.
int add_voice(int source_voice, const char* part_name, int voice_number, int copy_clefs) {
  if (voice_count >= MAX_VOICES) {
    REPORT_ERROR(2, "You cannot add any more voices; %hd is the maximum!", short(MAX_VOICES));
    return 0;
  }
  if (current_ncontext != SCORE) {
    REPORT_ERROR(2, "You must be in the '%s' notation context to create voices.",
                 ncontext_name_of(SCORE));
    return 0;
  }
  if (!voice_exists(source_voice)) {
    REPORT_ERROR(4, "add_voice: no voice %d to copy", source_voice);
    return 0;
  }
  model_hooks.stop_flashing(insertion_point);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  model_hooks.save_cursor();
  model_hooks.set_cursor(CURSOR_ID_WATCH);
  // The duration multiplier counts as unchanged until a change of it is inserted again.
  model_hooks.forget_duration_multiplier_change();

  int new_voice = voice_count++;
  Drosa head = copyDrosa(piece_start[source_voice]);
  piece_start[new_voice] = page_start[new_voice] = head;
  create_voice_nodes(source_voice, piece_start[source_voice]->xnext, NIL, new_voice, head,
                     part_name, voice_number, copy_clefs);
  mark_piece_changed(1, 2, 0);
  model_hooks.restore_cursor();
  return 1;
}

// Reads: the source voice's list, its page_start.
// Writes: the new voice's list after tail and its page_start; current_ncontext (restored);
// discards the undo and redo histories, before and after making the rests (so that an undo
// cannot bring back the copies of the source's notes).
Drosa create_voice_nodes(int source_voice, Drosa from, Drosa to, int new_voice, Drosa tail,
                         const char* part_name, int voice_number, int copy_clefs) {
  if (!tail || new_voice < 0 || new_voice >= MAX_VOICES || source_voice < 0 ||
      source_voice >= MAX_VOICES) {
    REPORT_ERROR(4, "Bad call to create_voice_nodes (voice %d from %d)", new_voice, source_voice);
    return tail;
  }
  clear_undo(1);
  int16_t saved_context = current_ncontext;
  current_ncontext = SCORE;

  for (Drosa p = from; p; p = p->xnext) {
    Drosa handled =
        copy_source_node(p, source_voice, new_voice, &tail, part_name, voice_number, copy_clefs);
    bool reached_to = false;
    for (Drosa q = p; q; q = q->xnext) {
      if (q == to) reached_to = true;
      if (q == handled) break;
    }
    if (reached_to) break;
    p = handled;
  }
  rests_for_notes(new_voice);
  clear_undo(1);

  current_ncontext = saved_context;
  Drosa end = list_end(piece_start[new_voice]);
  if (end && end->xkind == ENDSYST && end->get(xendpiece) && end->xback) return end->xback;
  return end;
}

// Reads: the removed voice's list (for was_printing), staff_list_head.
// Writes: voice_count, piece_start, page_start, system_cursor, time_cursor; the staff records;
// insertion_point; discards the undo and redo histories; returns the voice's nodes to the store.
int remove_voice_slot(int voice, int* was_printing) {
  if (!voice_exists(voice)) {
    REPORT_ERROR(4, "remove_voice_slot: no voice %d", voice);
    return 0;
  }
  clear_undo(1);
  model_hooks.stop_flashing(insertion_point);
  insertion_point = NIL;
  insertion_point_flashing = 0;

  Drosa head = piece_start[voice];
  int count = voices();
  for (int v = voice; v + 1 < count; ++v) {
    piece_start[v] = piece_start[v + 1];
    page_start[v] = page_start[v + 1];
    system_cursor[v] = system_cursor[v + 1];
    time_cursor[v] = time_cursor[v + 1];
  }
  piece_start[count - 1] = page_start[count - 1] = NIL;
  system_cursor[count - 1] = time_cursor[count - 1] = NIL;
  voice_count = int16_t(count - 1);
  renumber_staff_list(voice);

  if (was_printing) {
    for (Drosa p = head; p; p = p->xnext)
      if (effective_kind(p) == PRINT && p->get(xsstaff) != -1) *was_printing = 1;
  }
  destroy_Drosa_list(head);
  return 1;
}

// ---- Commands of the Parts and Voices dialog ----------------------------------------------------
namespace {

// Why a typed name (already cut to 15 characters) cannot name a part, or null. `keep` is a
// part name the name may repeat (the part being renamed).
const char* part_name_refusal(const char* name, const char* keep, const char* empty_text,
                              const char* taken_text) {
  if (!name[0]) return empty_text;
  if (!valid_part_name(name)) return "Illegal part name.";
  if (keep && names_equal16(name, keep)) return nullptr;
  return first_voice_of_part(name) >= 0 ? taken_text : nullptr;
}

// Runs the pop-up text dialog (opened by the caller, its first answer in *choice) until the
// typed name passes or the dialog is cancelled (0); then closes it. `kept` holds, for each
// choice from 1, a part name the typed name may repeat (none when null).
int ask_part_name(char* text, int* choice, const char* const* choices,
                  const std::vector<std::string>* kept, const char* empty_text,
                  const char* taken_text) {
  for (;;) {
    if (*choice == 0) return 0;
    text[PART_NAME_MAX] = 0;
    const char* keep = nullptr;
    if (kept && !kept->empty())
      keep = (*kept)[std::clamp<int>(*choice, 1, int(kept->size())) - 1].c_str();
    const char* refusal = part_name_refusal(text, keep, empty_text, taken_text);
    if (!refusal) break;
    REPORT_ERROR(2, "%s", refusal);
    *choice = popup_text_dialog(text, nullptr, choices);
  }
  popup_text_dialog(nullptr, nullptr, nullptr);
  return 1;
}

// The measure number at a node: 1 + the bar lines seen before it in its voice.
int measure_of(Drosa node) {
  int bars = 0;
  for (Drosa p = node->xback; p; p = p->xback) {
    if (effective_kind(p) == BAR) ++bars;
    if (effective_kind(p) == ENDSYST && p->get(xstartpiece)) break;
  }
  return bars + 1;
}

bool voice_has_notes(int v) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE && !p->get(xrest)) return true;
  return false;
}

// Refusals of delete_part that depend on the chosen part; false after a message.
bool part_may_be_deleted(const std::string& name) {
  int first = first_voice_of_part(name.c_str());
  if (first < 0) return false;
  for (Drosa p = piece_start[first]->xnext; p && p->xkind != NOTE; p = p->xnext) {
    if (p->xkind == PRINT && p->xcontext != 0 && p->xcontext != current_ncontext) {
      REPORT_ERROR(
          2,
          "You must remove this part from all other notation contexts before you can delete it.");
      return false;
    }
  }
  for (Drosa p = piece_start[first]; p; p = p->xnext) {
    if (effective_kind(p) != PRINT || !ncontext_parts_present(name.c_str(), p)) continue;
    REPORT_ERROR(2, "This part cannot be deleted, because it is the only thing printing at bar %d!",
                 measure_of(p));
    return false;
  }
  return true;
}

// A voice can go when it is the last of its part, holds only rests, and prints nowhere before
// its cursor.
bool voice_may_be_removed(int v) {
  if (voice_number_in_part(v) != max_voice_number_like(v) || voice_has_notes(v)) return false;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (effective_kind(p) != PRINT || p->get(xsstaff) == -1) continue;
    if (find_next_kind(NOTE, p) != time_cursor[v]) return false;
  }
  return true;
}

// With two choices: the second when that voice exists and its PRINT at its cursor ends a
// stretch in which it printed.
bool second_choice_restarts(const char* name) {
  int v = voice_with_display_name(name);
  if (v < 0 || !time_cursor[v]) return false;
  Drosa print = find_prev_kind_stop_2(PRINT, time_cursor[v], 0);
  if (!print) return false;
  Drosa before = find_prev_kind(PRINT, print);
  return before && before->get(xsstaff) != -1;
}

}  // namespace

// Reads: the staff record, every voice's part name, voice_count.
// Writes: new staff records after `staff`; new voices (add_voice).
// Failure: level-2 messages for unusable names, after which the dialog asks again.
int create_new_part(Drosa staff) {
  int source = staff_first_voice(staff, "create_new_part");
  if (source < 0) return 0;
  const char* const choices[] = {"", "Single Staff", "Two Staves", nullptr};
  char text[TYPED_TEXT_SIZE] = "";
  int choice = popup_text_dialog(text, "Create New Part:", choices);
  if (!ask_part_name(text, &choice, choices, nullptr, "Please type a name for the new part.",
                     "Another part already has that name; pick a new name."))
    return 0;

  int staves = choice == 2 ? 2 : 1;
  Drosa anchor = staff;
  for (int i = 0; i < staves; ++i) {
    Drosa record = copyDrosa(staff);
    record->set(xstaffrec_count, 1);
    for (int e = 0; e < STAFF_RECORD_VOICES; ++e) record->set(xstaffrec_voice, e, 0);
    record->set(xstaffrec_voice, 0, uint8_t(voice_count & STAFF_VOICE_NUMBER));
    link_after(record, anchor);
    if (!add_voice(source, text, i, 1)) {
      destroy_node(record);  // a record for a voice that was not made
      return i > 0;
    }
    anchor = record;
  }
  return 1;
}

// Reads: the staff record, every voice's part name.
// Writes: xpname of the chosen part's voices (no undo record); DrosaDirty.
// Failure: level-2 messages for unusable names, after which the dialog asks again.
int rename_part(Drosa staff) {
  std::vector<std::string> parts = staff_parts(staff);
  if (parts.empty()) return 0;
  const Choices names(part_names_of_staff_list(staff));
  const char* const* choices = names.list();
  char text[TYPED_TEXT_SIZE] = "";
  int choice = popup_text_dialog(text, "Rename Part:", choices);
  if (!ask_part_name(text, &choice, choices, &parts, "Please type the new name for the part.",
                     "Another part already has that name; please pick a new name."))
    return 0;
  std::string old_name = parts[std::clamp<int>(choice, 1, int(parts.size())) - 1];
  for (int v = 0; v < voices(); ++v)
    if (voice_part_is(v, old_name.c_str())) voice_vinfo(v)->set(xpname, text);
  mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
  return 1;
}

// Reads: every voice list, current_ncontext, the staff record.
// Writes: PRINT xsstaff and xlist of the other parts' voices (no undo record); removes the
// part's voices (remove_voice_slot); *was_printing; DrosaDirty and the view flags.
// Failure: level-2 messages for the refusals; 0, nothing changed.
int delete_part(Drosa staff, int* was_printing) {
  if (all_voices_one_part()) {
    REPORT_ERROR(2, "There is only one part in the piece; you cannot delete it.");
    return 0;
  }
  if (current_ncontext != SCORE) {
    REPORT_ERROR(2, "You must be in the '%s' notation context to delete parts.",
                 ncontext_name_of(SCORE));
    return 0;
  }
  std::vector<std::string> parts = staff_parts(staff);
  if (parts.empty()) return 0;
  int choice = 1;
  if (parts.size() >= 2) {
    choice = popup_dialog("Delete Part:", Choices(part_names_of_staff_list(staff)).list());
    if (choice < 1 || choice > int(parts.size())) return 0;
  }
  std::string name = parts[choice - 1];
  if (!part_may_be_deleted(name)) return 0;

  bool has_notes = false;
  for (int v = 0; v < voices(); ++v)
    if (voice_part_is(v, name.c_str()) && voice_has_notes(v)) has_notes = true;
  if (has_notes) {
    char question[REPORT_TEXT_SIZE];
    std::snprintf(question, sizeof question,
                  "Are you sure you want to delete '%s'?  All the notes on the part will be lost.",
                  name.c_str());
    if (!really_alert(question, 0)) return 0;
  }

  for (int v = 0; v < voices(); ++v) {
    if (voice_part_is(v, name.c_str())) continue;
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (effective_kind(p) == PRINT) ncontext_staff_range(name.c_str(), p);
  }
  for (int v = voices() - 1; v >= 0; --v)
    if (voice_part_is(v, name.c_str())) remove_voice_slot(v, was_printing);
  mark_piece_changed(1, 2, 0);
  return 1;
}

// Reads: the staff list, every voice's part name, time_cursor (the dialog's position).
// Writes: the staff record; a new voice (add_voice) when a new one is chosen.
// Failure: level 4 "Voice '%s' should be available ..." when the voice is not shown here.
int start_additional_voice(Drosa staff) {
  int source = staff_first_voice(staff, "start_additional_voice");
  if (source < 0) return 0;
  if (staff_count(staff) >= STAFF_RECORD_VOICES) {
    REPORT_ERROR(4, "start_additional_voice: the staff already holds %d voices",
                 STAFF_RECORD_VOICES);
    return 0;
  }
  const Choices choices(voice_names_of_staff_list(staff));
  const char* const* names = choices.list();
  const int count = choices.count();
  if (count == 0) return 0;
  int choice = 1;
  if (count >= 3) {
    choice = popup_dialog("Start Additional Voice:", names);
    if (choice < 1 || choice > count) return 0;
  } else if (count == 2 && second_choice_restarts(names[2])) {
    choice = 2;
  }
  std::string name = names[choice];

  int v = voice_with_display_name(name);
  if (v < 0) {
    std::string part = strip_voice_suffix(name.c_str());
    if (!add_voice(source, part.c_str(), voice_suffix_number(name.c_str()), 0)) return 0;
    v = voice_count - 1;
  }
  if (!shown_in_context(v)) {
    REPORT_ERROR(4,
                 "Voice '%s' should be available in context '%s', but due to an error it is not!",
                 name.c_str(), ncontext_name_of(current_ncontext));
    return 0;
  }
  int count_now = staff_count(staff);
  staff->set(xstaffrec_voice, count_now, uint8_t(v & STAFF_VOICE_NUMBER));
  staff->set(xstaffrec_count, int8_t(count_now + 1));
  return 1;
}

// Reads: the staff record, every voice list, time_cursor (the dialog's position).
// Writes: the staff record; removes the voice (remove_voice_slot) when it may go; *was_printing.
int end_voice(Drosa staff, int* was_printing) {
  const Choices choices(part_names_reverse_list(staff));
  const char* const* names = choices.list();
  const int count = choices.count();
  if (count == 0) return 0;
  int choice = popup_dialog("End Voice:", names);
  if (choice < 1 || choice > count) return 0;
  int v = voice_with_display_name(names[choice]);
  if (v < 0) return 0;
  for (int i = 0; i < staff_count(staff); ++i) {
    if (staff_voice(staff, i) != v) continue;
    staff_remove_entry(staff, i);
    break;
  }
  if (voice_may_be_removed(v)) {
    remove_voice_slot(v, was_printing);
    mark_piece_changed(1, 2, 0);
  }
  return 1;
}

// ---- Part names ---------------------------------------------------------------------------------

std::string voice_part_name(int v) {
  if (v < 0 || v >= MAX_VOICES) return "";
  return part_name_of(v).substr(0, PART_NAME_SIZE - 1);
}

int valid_part_name(const char* s) {
  if (!s || std::strlen(s) > size_t(PART_NAME_MAX)) return 0;
  bool letter = false;
  for (const char* c = s; *c; ++c) {
    if (*c == '-') return 0;
    if ((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z')) letter = true;
  }
  return letter ? 1 : 0;
}

int voice_number_in_part(int v) {
  Drosa info = voice_vinfo(v);
  return info ? info->get(xvoiceOnPart) : 0;
}

int voices_same_part(int a, int b) {
  if (!voice_exists(a) || !voice_exists(b)) return 0;
  return names_equal16(part_name_of(a).c_str(), part_name_of(b).c_str());
}

int voice_part_is(int v, const char* name) {
  return voice_exists(v) && names_equal16(part_name_of(v).c_str(), name) ? 1 : 0;
}

int names_equal16(const char* a, const char* b) {
  return std::strncmp(a, b, PART_NAME_SIZE) == 0 ? 1 : 0;
}

int max_voice_number_of_part(const char* name) {
  int highest = -1;
  for (int v = 0; v < voices(); ++v)
    if (voice_part_is(v, name)) highest = std::max(highest, voice_number_in_part(v));
  return highest;
}

int max_voice_number_like(int v) { return max_voice_number_of_part(part_name_of(v).c_str()); }

int part_index_of_voice(int v) {
  int first = first_voice_of_part(part_name_of(v).c_str());
  int parts = 0;
  for (int u = 0; u < first; ++u)
    if (first_voice_of_part(part_name_of(u).c_str()) == u) ++parts;
  return parts;
}

int all_voices_one_part() {
  if (voices() < 2) return 1;
  for (int v = 1; v < voices(); ++v)
    if (!voices_same_part(v, 0)) return 0;
  return 1;
}

// ---- Display names of voices --------------------------------------------------------------------

std::string voice_display_name(int v) {
  if (v < 0 || v >= MAX_VOICES) return "";
  return display_name_of(v).substr(0, DISPLAY_NAME_SIZE - 1);
}

std::string voice_display_name_pascal(int v) {
  const std::string name = voice_display_name(v);
  return char(uint8_t(name.size())) + name;
}

namespace {
// The number of characters of a display name's voice-number suffix ("-n" or "-nn"), or 0.
size_t suffix_length(const std::string& name) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  size_t n = name.size();
  if (n >= 2 && name[n - 2] == '-' && digit(name[n - 1])) return 2;
  if (n >= 3 && name[n - 3] == '-' && digit(name[n - 2]) && digit(name[n - 1])) return 3;
  return 0;
}
}  // namespace

std::string strip_voice_suffix(const char* name) {
  std::string stripped = name ? name : "";
  stripped.resize(stripped.size() - suffix_length(stripped));
  return stripped;
}

int voice_suffix_number(const char* name) {
  std::string s = name ? name : "";
  size_t suffix = suffix_length(s);
  if (!suffix) return 0;
  int64_t number = 0;
  scan_decimal(std::string_view(s).substr(s.size() - suffix + 1), 0, 99, &number);
  return int(number) - 1;
}

// ---- Staves of a part ---------------------------------------------------------------------------

int part_staff_count(Drosa node) {
  Drosa print = find_prev_kind(PRINT, node);
  int staves = print ? print->get(xpartstaves) : 0;
  return staves ? staves : 1;
}

int part_staff_count_of_voice(int v) {
  if (!voice_exists(v)) return 1;
  Drosa note = find_next_kind(NOTE, piece_start[v]);
  return part_staff_count(note ? note : list_end(piece_start[v]));
}

int part_staff_field_hi(Drosa node) {
  Drosa print = find_prev_kind(PRINT, node);
  if (!print) return 0;
  if (print->get(xsstaff) == -1) return -1;
  return print->get(xpartstaves) ? print->get(xpartstaff) : 0;
}

// ---- Lists --------------------------------------------------------------------------------------

void list_part_first_voices(bool all_voices) {
  part_first_voice_count = 0;
  for (int v = 0; v < voices(); ++v) {
    if (!voice_vinfo(v) || voice_number_in_part(v) != 0) continue;
    if (!all_voices && !shown_in_context(v)) continue;
    part_first_voices[part_first_voice_count++] = int16_t(v);
  }
}

int count_voices_of_part_in_list(Drosa staff, int v) {
  int count = 0;
  for (int i = 0; i < staff_count(staff); ++i)
    if (voices_same_part(staff_voice(staff, i), v)) ++count;
  return count;
}

std::vector<std::string> part_names_of_staff_list(Drosa staff) {
  std::vector<std::string> list;
  for (std::string& name : staff_parts(staff)) list.push_back(std::move(name));
  return list;
}

std::vector<std::string> part_names_reverse_list(Drosa staff) {
  std::vector<std::string> list;
  for (int i = staff_count(staff) - 1; i >= 0; --i) {
    int v = staff_voice(staff, i);
    if (count_voices_of_part_in_list(staff, v) > 1) list.push_back(display_name_of(v));
  }
  return list;
}

std::vector<std::string> voice_names_of_staff_list(Drosa staff) {
  std::vector<std::string> list;
  for (const std::string& part : staff_parts(staff)) {
    for (int v = 0; v < voices(); ++v)
      if (voice_part_is(v, part.c_str()) && !in_staff_list(v)) list.push_back(display_name_of(v));
    if (voice_count < MAX_VOICES && current_ncontext == SCORE)
      list.push_back(part + "-" + std::to_string(max_voice_number_of_part(part.c_str()) + 2));
  }
  return list;
}

// Reads: insertion_point, page_start, the voice lists. Writes: system_cursor.
// Failure: level 4 for a NIL insertion point; the list is then empty.
std::vector<std::string> part_names_in_staff_order() {
  std::vector<std::string> list;
  if (!insertion_point) {
    REPORT_ERROR(4, "NIL insertion_point for part_names_in_staff_order()");
    return list;
  }
  voices_to_system(system_number_on_page(insertion_point, 1), 1);
  std::vector<std::pair<int, int>> staves;  // (staff, voice) of each part's first voice
  for (int v = 0; v < voices(); ++v) {
    if (!system_cursor[v] || voice_number_in_part(v) != 0) continue;
    Drosa p = system_cursor[v]->xnext;
    while (p && p->xkind != NOTE && effective_kind(p) != ENDSYST) p = p->xnext;
    Drosa print = p ? find_prev_kind(PRINT, p) : NIL;
    staves.push_back({print ? print->get(xsstaff) : -1, v});
  }
  std::stable_sort(staves.begin(), staves.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [staff, v] : staves) list.push_back(part_name_of(v));
  return list;
}
