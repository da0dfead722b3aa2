// measures.cpp: Insert Measures and Delete Measures, and the first measures of a new piece.
//
// Inserted measures are copies of one chain of rests (the measure template) closed by a BAR,
// put into each voice with the undo primitives, with new systems (and pages) made between them
// as the dialog asks. A deletion finds and checks the stretch of every voice first, then
// removes them one voice at a time, so that a refused deletion changes nothing.
#include "editing/measures.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_globals.h"
#include "editing/editing_services.h"
#include "editing/keysig.h"
#include "editing/symbols.h"
#include "editing/systems.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "performance/performance_services.h"
#include "platform/dialogs.h"

MeasuresDialogState measures_dialog_state;
int32_t delete_measures_all_staves = 1;

namespace {

constexpr int SCORE_CONTEXT = 1;
constexpr int NEW_PIECE_DIALOG = 132, INSERT_DIALOG = 1085, DELETE_DIALOG = 14298;
enum MeasuresItem {
  MEASURES_FIELD = 9,
  BEATS_FIELD = 11,
  BEAT_VALUE_FIELD = 12,
  PER_SYSTEM_FIELD = 14,
  PER_PAGE_FIELD = 16,
  KEEP_SYSTEMS = 18,
  NEW_SYSTEMS = 19,
  ONE_VOICE = 21,
  TWO_VOICES = 22,
};

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }
bool visible_endsyst(Drosa p) { return p && effective_kind(p) == ENDSYST; }

Drosa after_layout(Drosa node) {
  while (node->xnext && temp_node(node->xnext, 1002)) node = node->xnext;
  return node;
}

// Nodes that qualify the note after them: they stay with that note when measures are put in
// before it or taken out before it.
bool qualifies_next_note(Drosa p) {
  switch (p->xkind) {
    case TPARAM:
    case TEXT:
    case LINE:
    case PDATA:
    case PVIEW:
    case SPACC:
    case COLOR:
    case TSMOD:
    case NEST:
    case CMOVE:
    case AMOVE:
    case RMOVE:
    case ZONE:
    case SDRAG:
    case XMLT:
    case MIDI:
    case TEMPO:
    case SPACE:
      return true;
    default:
      return false;
  }
}

// The node after which measures go in before `at` (a NOTE or an ENDSYST): before the nodes that
// qualify a note, after the clefs, keys and bar lines that stand before it.
Drosa anchor_before(Drosa at) {
  Drosa a = at->xback;
  if (at->xkind == NOTE)
    while (a && qualifies_next_note(a)) a = a->xback;
  return a;
}

int16_t staff_at(Drosa node) {
  Drosa print = node ? find_prev_kind(PRINT, node) : NIL;
  return print ? print->get(xsstaff) : int16_t(-1);
}

// The first note of the measure is not the one given: a NOTE that ends a chord comes before the
// bar line or system start walking back.
bool inside_measure(Drosa note) {
  for (Drosa p = note->xback; p; p = p->xback) {
    const int k = effective_kind(p);
    if (k == BAR || k == ENDSYST) return false;
    if (p->xkind == NOTE && p->get(xendvcd)) return true;
  }
  return false;
}

// ---- The dialogs ----------------------------------------------------------------------------

void radio_pair(DialogRef dialog, int first, bool first_on) {
  platform_set_item_value(dialog, first, first_on ? 1 : 0);
  platform_set_item_value(dialog, first + 1, first_on ? 0 : 1);
}

void set_number(DialogRef dialog, int item, int32_t value) {
  platform_set_item_text(dialog, item, std::to_string(value));
}

DialogRef open_measures_dialog(int id, bool name_voice) {
  std::string voice;
  if (name_voice && selected_voice >= 0)
    voice = "'" + std::string(voice_display_name(selected_voice)) + "':";
  platform_set_param_texts(voice, "", "", "");
  return open_dialog_in_front(id);
}

// Reads the fields on OK; false (the dialog stays) after a refused value.
bool read_measures_fields(DialogRef dialog, MeasuresDialogState* s) {
  struct Field {
    int item;
    const char* name;
    int32_t low, high;
    int32_t* value;
  };
  int32_t measures = 0, beats = 0, beat_value = 0, per_system = 0, per_page = 0;
  const Field fields[] = {
      {MEASURES_FIELD, "number of measures", 1, 900, &measures},
      {BEATS_FIELD, "number of beats per measure", 1, 100, &beats},
      {BEAT_VALUE_FIELD, "beat value", 1, 64, &beat_value},
      {PER_SYSTEM_FIELD, "measures per system", 1, 900, &per_system},
      {PER_PAGE_FIELD, "systems per page", 1, 64, &per_page},
  };
  for (const Field& f : fields) {
    *f.value = get_long_item(dialog, f.item, f.name, f.low, f.high);
    if (*f.value == BAD_LONG_ITEM) {
      platform_select_item_text(dialog, f.item, 0, 32767);
      return false;
    }
    if (f.item == BEAT_VALUE_FIELD && (beat_value & (beat_value - 1)) != 0) {
      REPORT_ERROR(2, "%s", "The beat value must be a power of two (2, 4, 8, 16).");
      platform_select_item_text(dialog, f.item, 0, 32767);
      return false;
    }
  }
  s->measures = measures;
  s->beats = beats;
  s->beat_value = beat_value;
  s->measures_per_system = per_system;
  s->systems_per_page = per_page;
  return true;
}

// The Insert Measures dialog; false when cancelled.
bool measures_dialog(MeasuresDialogState* s, bool has_insertion_point) {
  DialogRef dialog =
      open_measures_dialog(s->new_piece ? NEW_PIECE_DIALOG : INSERT_DIALOG, !s->new_piece);
  if (!dialog) return false;
  enable_item(dialog, SYMBOL_DELETE, 0);
  radio_pair(dialog, SYMBOL_AT_INSERTION, s->at_insertion_point != 0);
  radio_pair(dialog, SYMBOL_THIS_STAFF, s->all_staves == 0);
  if (s->new_piece) enable_item(dialog, SYMBOL_AT_SYSTEM_END, 0);
  if (!has_insertion_point)
    for (int item = SYMBOL_AT_INSERTION; item <= SYMBOL_ALL_STAVES; ++item)
      enable_item(dialog, item, 0);
  set_number(dialog, MEASURES_FIELD, s->measures);
  set_number(dialog, BEATS_FIELD, s->beats);
  set_number(dialog, BEAT_VALUE_FIELD, s->beat_value);
  set_number(dialog, PER_SYSTEM_FIELD, s->measures_per_system);
  set_number(dialog, PER_PAGE_FIELD, s->systems_per_page);
  platform_select_item_text(dialog, MEASURES_FIELD, 0, 32767);
  radio_pair(dialog, KEEP_SYSTEMS, s->keep_systems != 0);
  radio_pair(dialog, ONE_VOICE, s->two_voices == 0);
  for (int item : {KEEP_SYSTEMS, NEW_SYSTEMS}) enable_item(dialog, item, has_insertion_point);
  for (int item : {ONE_VOICE, TWO_VOICES}) enable_item(dialog, item, !has_insertion_point);
  int32_t all_staves = s->all_staves, at_insertion_point = s->at_insertion_point;
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == SYMBOL_DELETE) continue;
    if (scope_button_hit(dialog, item, &all_staves, &at_insertion_point, 0, 0)) {
      if (item == SYMBOL_CANCEL) return false;
      if (item != SYMBOL_OK || !read_measures_fields(dialog, s)) continue;
      s->all_staves = all_staves;
      s->at_insertion_point = at_insertion_point;
      s->keep_systems = platform_item_value(dialog, KEEP_SYSTEMS) ? 1 : 0;
      s->two_voices = platform_item_value(dialog, TWO_VOICES) ? 1 : 0;
      close_dialog_in_front(dialog);
      return true;
    }
    switch (item) {
      case KEEP_SYSTEMS:
      case NEW_SYSTEMS:
        radio_pair(dialog, KEEP_SYSTEMS, item == KEEP_SYSTEMS);
        break;
      case ONE_VOICE:
      case TWO_VOICES:
        radio_pair(dialog, ONE_VOICE, item == ONE_VOICE);
        break;
      case MEASURES_FIELD:
      case BEATS_FIELD:
      case BEAT_VALUE_FIELD:
      case PER_SYSTEM_FIELD:
      case PER_PAGE_FIELD:
        break;
      default:
        REPORT_ERROR(4, "Unexpected item %d returned from the measures dialog", item);
        break;
    }
  }
}

// The Delete Measures dialog: the number of measures, 0 when cancelled.
int32_t delete_measures_dialog() {
  DialogRef dialog = open_measures_dialog(DELETE_DIALOG, true);
  if (!dialog) return 0;
  enable_item(dialog, SYMBOL_DELETE, 0);
  enable_item(dialog, SYMBOL_AT_INSERTION, 0);
  enable_item(dialog, SYMBOL_AT_SYSTEM_END, 0);
  radio_pair(dialog, SYMBOL_THIS_STAFF, delete_measures_all_staves == 0);
  if (voice_count <= 1) {
    enable_item(dialog, SYMBOL_THIS_STAFF, 0);
    enable_item(dialog, SYMBOL_ALL_STAVES, 0);
  }
  set_number(dialog, MEASURES_FIELD, 1);
  platform_select_item_text(dialog, MEASURES_FIELD, 0, 32767);
  int32_t all_staves = delete_measures_all_staves, unused = 1;
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == SYMBOL_DELETE || item == SYMBOL_AT_INSERTION || item == SYMBOL_AT_SYSTEM_END)
      continue;
    if (scope_button_hit(dialog, item, &all_staves, &unused, 0, 0)) {
      if (item == SYMBOL_CANCEL) return 0;
      if (item != SYMBOL_OK) continue;
      const int32_t n = get_long_item(dialog, MEASURES_FIELD, "Number of measures", 1, 1000);
      if (n == BAD_LONG_ITEM) {
        platform_select_item_text(dialog, MEASURES_FIELD, 0, 32767);
        continue;
      }
      delete_measures_all_staves = all_staves;
      close_dialog_in_front(dialog);
      return n;
    }
    if (item != MEASURES_FIELD) REPORT_ERROR(4, "%s", "Unexpected item returned from dialog");
  }
}

// ---- Inserting --------------------------------------------------------------------------------

// Links first..last after anchor: recorded, unless the piece is new.
void put_in(Drosa first, Drosa last, Drosa anchor, bool recorded) {
  if (recorded)
    insertvc_with_undo(first, last, anchor);
  else
    link_chain_after(first, last, anchor);
}

// The layout records of the nodes from a new page start to the next page start: those notes
// now lie on a page that has not been formatted.
void drop_layout_records_after(Drosa endsyst) {
  for (Drosa p = endsyst->xnext; p;) {
    Drosa next = p->xnext;
    if (visible_endsyst(p) && (p->get(xendpage) || p->get(xendpiece))) break;
    const int k = p->xkind;
    if (k == NTDATA || k == CDDATA || k == CDDATA2 || k == CDDATA3 || k == PDATA) destroy_node(p);
    p = next;
  }
}

struct InsertPlan {
  const MeasuresDialogState* s;
  Drosa rests;  // the template chain
  bool recorded;
};

// Makes a new system before `anchor`'s successor in one voice; returns the node after which
// the measure goes.
Drosa start_system(InsertPlan& plan, Drosa anchor, int32_t* systems) {
  const MeasuresDialogState& s = *plan.s;
  Drosa at = anchor->xnext;
  if (plan.recorded) update_SDRAG_on_page(at);
  Drosa e = newDrosa(ENDSYST, current_ncontext);
  int bracket, brace;
  get_bracket(anchor, &bracket, &brace);
  e->set(xbracket, bracket);
  e->set(xbrace, brace);
  bool page = false;
  if (++*systems >= s.systems_per_page && s.all_staves) {
    e->set(xendpage, 1);
    *systems = 0;
    page = true;
  }
  put_in(e, e, anchor, plan.recorded);
  if (page) {
    drop_layout_records_after(e);
    repeat_annos_at_page(e, 1);
  }
  Drosa after = repeat_annos_at_system(e, 1);
  if (!after) after = e;
  if (options_i16(current_ncontext, OPTIONS_CLEF_AT_EACH_SYSTEM)) {
    if (Drosa clef = find_prev_kind(CLEF, e)) {
      Drosa copy = copyDrosa(clef);
      copy->set(xclef_in_system, 0);
      copy->xcontext = int8_t(current_ncontext);
      put_in(copy, copy, after, plan.recorded);
      after = copy;
    }
  }
  if (options_i16(current_ncontext, OPTIONS_KEY_AT_EACH_SYSTEM)) {
    if (Drosa key = find_prev_kind(KEYSIG, e)) {
      Drosa copy = copyDrosa(key);
      remove_naturals_from_key(copy);
      copy->xcontext = int8_t(current_ncontext);
      put_in(copy, copy, after, plan.recorded);
      after = copy;
    }
  }
  return after;
}

void insert_into_voice(InsertPlan& plan, Drosa anchor) {
  const MeasuresDialogState& s = *plan.s;
  Drosa at = anchor->xnext;
  // The bar line in force stops at its staff when a BARSEP stands between its bar and the note
  // after it, before the bar (as the new measures put it) or after it (as a document's import
  // does).
  Drosa bar_before = find_prev_kind_until(BAR, at, ENDSYST, 0);
  const bool barsep = bar_before && find_BARSEP(bar_before);
  int32_t bars = 0;
  for (Drosa p = anchor; p && !visible_endsyst(p); p = p->xback)
    if (effective_kind(p) == BAR) ++bars;
  int32_t systems = plan.s->new_piece ? 0 : system_number_on_page(at, 1);
  const bool keep = s.keep_systems && !s.new_piece;
  for (int32_t m = 0; m < s.measures; ++m) {
    if (!keep && bars >= s.measures_per_system && m != s.measures - 1) {
      anchor = start_system(plan, anchor, &systems);
      bars = 0;
    }
    Drosa last = NIL;
    Drosa first = copy_detached_chain(plan.rests, NIL, &last);
    if (barsep) {
      link_after(newDrosa(BARSEP, SCORE_CONTEXT), last);
      last = last->xnext;
    }
    link_after(newDrosa(BAR, 0), last);
    last = last->xnext;
    put_in(first, last, anchor, plan.recorded);
    anchor = last;
    ++bars;
  }
}

}  // namespace

Drosa measure_template(int beats, int beat_value) {
  int lgval = 1;
  while (lgval < 8 && (1 << (lgval - 1)) < beat_value) ++lgval;
  if (beat_value < 1 || (1 << (lgval - 1)) != beat_value) {
    REPORT_ERROR(4, "%s", "Insert measures: beat value must be a power of two");
    return NIL;
  }
  const int group = beat_value == 8 || beats == 3 ? 3 : 2;
  Drosa head = NIL, tail = NIL;
  for (int left = beats; left > 0;) {
    int value = lgval, dots = 0, covered = 1;
    if (group == 3 && left >= 3) {
      value = lgval - 1, dots = 1, covered = 3;
    } else if (group == 2) {
      while (covered * 2 <= left && value > 1) covered *= 2, --value;
    }
    left -= covered;
    Drosa rest = newDrosa(NOTE, 0);
    rest->set(xrest, 1);
    rest->set(xendvcd, 1);
    rest->set(xdir, 3);
    rest->set(xacc, 3);
    rest->set(xtupl, 1);
    rest->set(xintimeof, 4);
    rest->set(xvolume, 100);
    rest->set(xlgval, std::max(value, 0));
    rest->set(xdots, dots);
    const int32_t duration = note_duration(rest, 1);
    rest->set(xttn, uint32_t(duration));
    set_default_duration(rest, duration);
    if (tail)
      link_after(rest, tail);
    else
      head = rest;
    tail = rest;
  }
  return head;
}

int make_measures(Drosa timesig, int new_piece, char* part_name) {
  if (part_name) part_name[0] = 0;
  if (current_ncontext != SCORE_CONTEXT) {
    REPORT_ERROR(2, "Measure insertion is possible only from notation context '%s'.",
                 ncontext_name_of(SCORE_CONTEXT));
    return 0;
  }
  MeasuresDialogState& s = measures_dialog_state;
  s.new_piece = new_piece ? 1 : 0;
  if (timesig && timesig->get(xbpm) > 0 && timesig->get(xbeat) > 0) {
    s.beats = timesig->get(xbpm);
    s.beat_value = timesig->get(xbeat);
  }
  const Drosa ip = new_piece ? NIL : insertion_point;
  if (!new_piece && !is_NOTE(ip)) return 0;
  if (!measures_dialog(&s, ip != NIL)) return 0;
  if (new_piece && timesig) {
    timesig->set(xbpm, int16_t(s.beats));
    timesig->set(xbeat, int16_t(s.beat_value));
  }
  if (!s.all_staves &&
      !really_alert("Are you sure you want to insert measures on one staff only?  If you want "
                    "voices to start and stop printing, you should use the Parts and Voices... "
                    "menu option instead.",
                    1))
    return 0;
  if (s.at_insertion_point && ip && inside_measure(ip) &&
      !really_alert("You do not have the first note in the measure selected.  Are you sure you "
                    "want to insert measures here?",
                    1))
    return 0;

  // Where each voice takes the measures: the node after which they go.
  Drosa anchor[MAX_VOICES] = {};
  int16_t staff = -1;
  if (new_piece) {
    if (!s.two_voices && voice_count > 1) {
      for (int v = 1; v < voices(); ++v) {
        destroy_Drosa_list(piece_start[v]);
        piece_start[v] = page_start[v] = NIL;
      }
      voice_count = 1;
    }
    for (int v = 0; v < voices(); ++v) {
      Drosa end = piece_start[v];
      while (end && end->xnext) end = end->xnext;
      anchor[v] = end ? end->xback : NIL;
    }
  } else {
    staff = staff_at(ip);
    const int32_t system = system_number_on_page(ip, 1);
    if (s.at_insertion_point) {
      voices_to_system(system, 1);
      const int missed = voices_to_system_at_time(find_time_in_system(ip), 0, 1);
      if (missed && s.all_staves &&
          !really_alert("The insertion point is not at a timing boundary for all voices", 1))
        return 0;
      for (int v = 0; v < voices(); ++v)
        if (time_cursor[v]) anchor[v] = anchor_before(time_cursor[v]);
    } else {
      voices_to_system(system + 1, 1);
      for (int v = 0; v < voices(); ++v)
        if (visible_endsyst(system_cursor[v]) && !system_cursor[v]->get(xstartpiece))
          anchor[v] = system_cursor[v]->xback;
    }
    const int v0 = ip->get(xvoice);
    if (v0 >= voices() || !anchor[v0]) {
      REPORT_ERROR(4, "%s", "end_of_page logic error in make_measures");
      return 0;
    }
  }

  InsertPlan plan{&s, measure_template(s.beats, s.beat_value), !new_piece};
  if (!plan.rests) return 0;
  stop_flashing(insertion_point);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  for (int v = 0; v < voices(); ++v) {
    if (!piece_start[v] || voice_not_shown(v)) continue;
    if (!s.all_staves && staff_at(anchor[v] ? anchor[v]->xnext : NIL) != staff) continue;
    if (!anchor[v]) {
      REPORT_ERROR(4, "%s", "at_sys_time logic error in make_measures");
      continue;
    }
    insert_into_voice(plan, anchor[v]);
  }
  destroy_Drosa_list(plan.rests);
  if (!new_piece) count_pages();
  mark_piece_changed(1, 1, 0);
  return 1;
}

void get_timesig_beaming(Drosa timesig, int32_t* group, int32_t* sub) {
  *group = *sub = 0;
  if (!timesig || effective_kind(timesig) != TIMESIG) {
    REPORT_ERROR(4, "bad call to get_timesig_beaming");
    return;
  }
  const int32_t beats = timesig->get(xbpm);
  switch (timesig->get(xbeat)) {
    case 1:
      *group = 65536, *sub = 32768;
      break;
    case 2:
      *group = 32768, *sub = 16384;
      break;
    case 4:
      *group = 16384, *sub = 8192;
      break;
    case 8:
      *group = beats % 3 == 0 ? 24576 : beats % 2 == 0 ? beats * 4096 : beats * 8192;
      *sub = 8192;
      break;
    case 16:
      *group = beats == 12 ? 16384 : beats % 3 == 0 ? 12288 : beats * 2048;
      *sub = 4096;
      break;
    case 32:
    case 64:
      *group = 8192, *sub = 2048;
      break;
    default:
      break;
  }
}

// The two voices of a new piece, one part of two staves, with the first measures the user
// asks for, a 4/4 time signature and its default beaming. 0 when the user cancelled.
int make_new_piece() {
  make_empty_voice(0, 0);
  make_empty_voice(1, 0);
  voice_count = 2;
  page_count = 1;
  group_selected = 0;
  insertion_point = NIL;
  Drosa timesig = newDrosa(TIMESIG, 0);
  timesig->set(xbpm, 4);
  timesig->set(xbeat, 4);
  char part_name[256] = "";
  if (!make_measures(timesig, 1, part_name)) {
    destroyDrosa(timesig);
    return 0;
  }
  int32_t group = 0, sub = 0;
  get_timesig_beaming(timesig, &group, &sub);
  for (int v = 0; v < voice_count; ++v) {
    Drosa key = find_next_kind_before_note(KEYSIG, piece_start[v]);
    if (!key) continue;
    Drosa copy = copyDrosa(timesig);
    link_after(copy, key);
    Drosa beaming = newDrosa(BEAMING, 0);
    beaming->set(xbvalue, 0, group);
    beaming->set(xsbvalue, sub);
    link_after(beaming, copy);
    if (part_name[0]) {
      Drosa info = find_next_kind_before_note(VINFO, piece_start[v]);
      if (info) info->set(xpname, part_name);
    }
  }
  destroyDrosa(timesig);
  return 1;
}

int append_measures(int32_t count) {
  if (count < 1 || voices() == 0 || !piece_start[0]) return 0;
  Drosa end0 = piece_start[0];
  while (end0->xnext) end0 = end0->xnext;
  MeasuresDialogState s = measures_dialog_state;
  s.new_piece = 0;
  s.measures = count;
  s.all_staves = 1;
  s.keep_systems = 0;
  if (Drosa timesig = find_prev_kind(TIMESIG, end0))
    if (timesig->get(xbpm) > 0 && timesig->get(xbeat) > 0) {
      s.beats = timesig->get(xbpm);
      s.beat_value = timesig->get(xbeat);
    }
  // The systems as the piece has them: the last system's measures, the first page's systems.
  int32_t bars = 0, systems = 1;
  for (Drosa p = end0->xback; p && !visible_endsyst(p); p = p->xback)
    if (effective_kind(p) == BAR) ++bars;
  for (Drosa p = piece_start[0]->xnext; p && p != end0; p = p->xnext)
    if (visible_endsyst(p)) {
      if (p->get(xendpage)) break;
      ++systems;
    }
  s.measures_per_system = std::max<int32_t>(bars, 1);
  s.systems_per_page = systems;
  InsertPlan plan{&s, measure_template(s.beats, s.beat_value), true};
  if (!plan.rests) return 0;
  for (int v = 0; v < voices(); ++v) {
    if (!piece_start[v] || voice_not_shown(v)) continue;
    Drosa end = piece_start[v];
    while (end->xnext) end = end->xnext;
    if (effective_kind(end) == ENDSYST && end->xback) insert_into_voice(plan, end->xback);
  }
  destroy_Drosa_list(plan.rests);
  count_pages();
  mark_piece_changed(1, 1, 0);
  return 1;
}

// ---- Deleting ---------------------------------------------------------------------------------

int adjust_deletion_bounds(Drosa* first, Drosa* last) {
  Drosa prev_note = NIL, next_note = NIL, endsyst_before = NIL, endsyst_after = NIL;
  for (Drosa p = (*first)->xback; p; p = p->xback) {
    if (p->xkind == NOTE) {
      prev_note = p;
      break;
    }
    if (visible_endsyst(p)) {
      if (p->get(xstartpiece)) break;
      endsyst_before = p;
    }
  }
  for (Drosa p = (*last)->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      next_note = p;
      break;
    }
    if (visible_endsyst(p)) {
      if (p->get(xendpiece)) break;
      endsyst_after = p;
    }
  }
  if (!prev_note && !next_note) return 0;
  if (prev_note &&
      (!next_note || (endsyst_after && (endsyst_after->get(xendpage) || !endsyst_before ||
                                        !endsyst_before->get(xendpage))))) {
    *first = after_layout(prev_note)->xnext;
    return 1;
  }
  // The nodes that qualify the next note stay with it.
  Drosa end = next_note->xback;
  while (end != *last && qualifies_next_note(end)) end = end->xback;
  *last = end;
  return 1;
}

// True when two settings of one kind say the same to the music: a clef or time signature
// repeated at a system's start is the one in force, whatever its drawing fields hold.
bool same_setting(Drosa a, Drosa b) {
  if (!a || !b) return false;
  switch (a->xkind) {
    case CLEF:
      return a->get(xclef) == b->get(xclef);
    case TIMESIG:
      return a->get(xbpm) == b->get(xbpm) && a->get(xbeat) == b->get(xbeat) &&
             a->get(xtimesig_symbol) == b->get(xtimesig_symbol);
    default:
      return same_Drosa(a, b) != 0;
  }
}

void restore_settings_in_force(Drosa first, Drosa last) {
  for (int kind : {PRINT, CLEF, TIMESIG, BEAMING}) {
    Drosa at_start = find_prev_kind(kind, first);
    Drosa after = last->xnext ? find_prev_kind(kind, last->xnext) : NIL;
    if (!after || after == at_start || same_setting(after, at_start)) continue;
    if (Drosa attached = find_prev_kind_stop_2(kind, first, 0)) removevc_with_undo(attached);
    insertvc_node_with_undo(copyDrosa(after), first->xback);
  }
}

namespace {

struct Stretch {
  int voice = -1;
  Drosa first, last;
};

// The stretch of `duration` time from `from` (a note) in its voice: up to the last node of the
// chord that reaches the duration (before the ENDSYST that ends the piece at the latest).
// *ends_inside: the last chord goes on past the duration.
Drosa stretch_by_time(Drosa from, int32_t duration, bool* ends_inside) {
  int32_t t = 0, carry_num = 0, carry_den = 1, d = 0;
  Drosa last = NIL;
  for (Drosa p = from; p && t < duration - TIME_TOLERANCE;) {
    if (p->xkind != NOTE) {
      if (visible_endsyst(p) && p->get(xendpiece)) break;
      p = p->xnext;
      continue;
    }
    Drosa end = chord_duration_carry(p, &t, &carry_num, &carry_den, &d);
    if (!end) break;
    last = after_layout(end);
    p = last->xnext;
  }
  *ends_inside = t > duration + TIME_TOLERANCE;
  return last;
}

// A note with the nodes before it that qualify it: they go when it goes.
Drosa with_qualifiers(Drosa note) {
  while (note->xback && qualifies_next_note(note->xback)) note = note->xback;
  return note;
}

void remove_stretch(const Stretch& s) {
  Drosa after = s.last->xnext;
  bool ends_piece = after && visible_endsyst(after) && after->get(xendpiece);
  if (after && !ends_piece) restore_settings_in_force(s.first, s.last);
  removevc_list_with_undo(s.first, s.last);
  if (after && !ends_piece) apply_dynamic_velocity(after);
}

bool same_name(const PartName& a, const PartName& b) {
  return a.text == b.text && a.shown == b.shown;
}

// Gives each part whose names a deletion took them back, in the first of its voices listed.
void keep_part_names(const std::vector<std::pair<int, PartNames>>& before) {
  std::vector<int> done;
  for (const auto& entry : before) {
    const int v = entry.first;
    const PartNames& kept = entry.second;
    if (std::any_of(done.begin(), done.end(), [v](int u) { return voices_same_part(u, v); }))
      continue;
    done.push_back(v);
    const PartNames now = part_names_of_voice(v);
    if (!same_name(now.full, kept.full) || !same_name(now.abbreviation, kept.abbreviation))
      set_part_names(v, kept);
  }
}

}  // namespace

int delete_measures(int32_t count, int all_staves) {
  Drosa ip = insertion_point;
  if (!is_NOTE(ip)) return 0;
  const int v0 = ip->get(xvoice);
  const int16_t staff = staff_at(ip);
  voices_to_system(system_number_on_page(ip, 1), 1);
  if (v0 >= voices() || !system_cursor[v0]) {
    REPORT_ERROR(4, "%s", "end_of_page logic error in do_delete_measures");
    return 0;
  }
  const int missed = voices_to_system_at_time(find_time_in_system(ip), 0, 1);
  if (missed && all_staves &&
      !really_alert("The selected note is not at a timing boundary for all voices!", 1))
    return 0;

  // The selected voice: whole measures counted by bar lines.
  Drosa first = vchord_first_note(ip);
  int32_t bars = 0, duration = 0, carry_num = 0, carry_den = 1, d = 0, prints = 0;
  Drosa last = NIL;
  bool reached_end = false;
  for (Drosa p = first; p && bars < count;) {
    const int k = effective_kind(p);
    if (k == ENDSYST && p->get(xendpiece)) {
      reached_end = true;
      break;
    }
    if (k == BAR) ++bars;
    if (k == PRINT) ++prints;
    if (p->xkind == NOTE) {
      Drosa end = chord_duration_carry(p, &duration, &carry_num, &carry_den, &d);
      if (!end) break;
      last = after_layout(end);
      p = last->xnext;
      continue;
    }
    p = p->xnext;
  }
  if (!last) return 0;
  char text[REPORT_TEXT_SIZE];
  if (reached_end) {
    std::snprintf(text, sizeof text,
                  "There are only %hd measures until the end of the piece; do you want to delete "
                  "all of them?",
                  short(bars));
    if (!really_alert(text, 0)) return 0;
  } else if (count > 9) {
    std::snprintf(text, sizeof text, "Are you sure you want to delete %hd measures?", short(count));
    if (!really_alert(text, 0)) return 0;
  }

  std::vector<Stretch> stretches;
  Stretch own{v0, with_qualifiers(first), last};
  if (!adjust_deletion_bounds(&own.first, &own.last)) {
    REPORT_ERROR(2, "%s", "You cannot delete all the measures in the piece!");
    return 0;
  }
  stretches.push_back(own);
  for (int v = 0; v < voices(); ++v) {
    if (v == v0 || voice_not_shown(v) || !time_cursor[v] || !piece_start[v]) continue;
    if (!all_staves && staff_at(time_cursor[v]) != staff) continue;
    Stretch s{v, time_cursor[v], NIL};
    if (s.first->xkind != NOTE) continue;
    bool inside = false;
    s.last = stretch_by_time(s.first, duration, &inside);
    if (!s.last) continue;
    if (inside)
      REPORT_ERROR(2, "The end of this deletion is in the middle of a note on voice '%s'!",
                   voice_display_name(v).c_str());
    s.first = with_qualifiers(vchord_first_note(s.first));
    if (!adjust_deletion_bounds(&s.first, &s.last)) {
      REPORT_ERROR(2, "This deletion leaves '%s' without any notes in the piece!",
                   voice_display_name(v).c_str());
      return 0;
    }
    stretches.push_back(s);
  }
  const bool notes_follow = [&] {
    for (Drosa p = own.last->xnext; p; p = p->xnext)
      if (p->xkind == NOTE) return true;
    return false;
  }();
  if (notes_follow) {
    if (prints > 0 &&
        !really_alert("You are about to delete some specifications from the Parts and Voices... "
                      "menu option; only do this if the number of staves per system is the same "
                      "at the start and end of your deletion.",
                      0))
      return 0;
    Drosa key_start = find_prev_kind(KEYSIG, own.first);
    Drosa key_end = own.last->xnext ? find_prev_kind(KEYSIG, own.last->xnext) : NIL;
    if (key_start && key_end && key_start->get(xkey) != key_end->get(xkey) &&
        !really_alert("You are about to delete measures with key changes; you might need to add "
                      "the key change again.",
                      0))
      return 0;
  }

  bool page_start_removed = false;
  for (Drosa p = own.first; p; p = p->xnext) {
    if (p == page_start[v0]) page_start_removed = true;
    if (p == own.last) break;
  }
  stop_flashing(insertion_point);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  // The names a part shows stand before its first note: deleting its first measures keeps
  // them, before the note that is first now.
  std::vector<std::pair<int, PartNames>> names;
  for (const Stretch& s : stretches) names.push_back({s.voice, part_names_of_voice(s.voice)});
  for (const Stretch& s : stretches) remove_stretch(s);
  keep_part_names(names);
  if (page_start_removed) {
    current_page = std::max<int32_t>(current_page - 1, 1);
    remove_ntdata(REMOVE_WHOLE_PIECE);
  }
  count_pages();
  current_page = std::clamp<int32_t>(current_page, 1, std::max<int16_t>(page_count, 1));
  display_win_title(1, nullptr);
  mark_piece_changed(1, 1, 0);
  return 1;
}

void do_delete_measures() {
  if (current_ncontext != SCORE_CONTEXT) {
    REPORT_ERROR(2, "Measure deletion is possible only from the '%s' notation context.",
                 ncontext_name_of(SCORE_CONTEXT));
    return;
  }
  Drosa ip = insertion_point;
  if (!is_NOTE(ip)) return;
  if (inside_measure(ip) &&
      !really_alert("You do not have the first note in the measure selected.  Are you sure you "
                    "want to delete measures starting here?",
                    1))
    return;
  const int32_t count = delete_measures_dialog();
  if (count > 0) delete_measures(count, delete_measures_all_staves);
}
