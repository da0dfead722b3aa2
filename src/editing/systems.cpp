// systems.cpp: system and page breaks: the automatic breaking of a notation context, one
// break made or removed in every voice, and the Page menu's single steps.
//
// The automatic breaking measures the piece bar by bar (the measure table): each bar needs
// the sum of the least widths of its chords in the voice that needs most; a run of bars that
// hold only plain rests needs no more than one bar of rests (parameter 393), however long it
// is. The user then chooses how the table is cut into systems and pages. Breaks where the
// number of printing staves changes are kept; every other break after the start goes first.
//
// A break in one voice is an ENDSYST put before a note and the nodes attached to it; a clef,
// bar line, key or time signature standing there moves before the ENDSYST, to the end of the
// previous system. Every change to the voice lists is recorded for undo.
#include "editing/systems.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/dialogs.h"

namespace {

constexpr int SCORE_CONTEXT = 1;
constexpr size_t LIST_TEXT_LIMIT = 3000;

bool visible_endsyst(Drosa p) { return p && effective_kind(p) == ENDSYST; }

// While a system command goes over a group: whether its refusal of a note not at a timing
// boundary is to be said once only, and whether it has been said.
bool refuse_once = false, refusal_said = false;

bool is_layout_record(Drosa p) {
  int kind = effective_kind(p);
  return kind == NTDATA || kind == CDDATA || kind == CDDATA2 || kind == CDDATA3 || kind == PDATA;
}

// The next NOTE after the node; NIL at the end of the list.
Drosa next_note(Drosa node) {
  for (Drosa p = node ? node->xnext : NIL; p; p = p->xnext)
    if (p->xkind == NOTE) return p;
  return NIL;
}

// The measure number after a visible BAR, from the number before it.
int32_t number_after_bar(Drosa bar, int32_t number) {
  if (bar->get(xrestart_number)) return bar->get(xbarnumber);
  return bar->get(xunnumbered) ? number : number + 1;
}

// Records a node and sets its page flag (when it differs), counting the change for caches.
void set_page_flag(Drosa endsyst, int page) {
  if (endsyst->get(xendpage) == page) return;
  modifyvc_with_undo(endsyst);
  endsyst->set(xendpage, uint8_t(page));
}

// Set while systems remakes the breaks of every page from its start on, after it has removed
// the staff drags of all those pages at once: a break made or removed then need not look for
// the staff drags of its page (which would walk to the end of the piece each time).
bool staff_drags_cleared = false;

// Removes the staff drags of a page: those of every page from the start on while systems runs.
void clear_staff_drags(Drosa node) {
  if (!staff_drags_cleared) update_SDRAG_on_page(node);
}

// While systems remakes the breaks, the system starts of every shown voice in order (its head,
// each visible ENDSYST, its end), so that putting the voices at the n-th system does not walk
// every voice from its head for every break made or removed.
struct SystemIndex {
  std::vector<std::vector<Drosa>> starts;      // by voice
  std::unordered_map<uint32_t, int> voice_of;  // voice of each ENDSYST listed

  void build() {
    starts.assign(std::min<int>(voice_count, MAX_VOICES), {});
    voice_of.clear();
    for (int v = 0; v < int(starts.size()); ++v) {
      if (voice_not_shown(v)) continue;
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (visible_endsyst(p)) add(v, starts[v].size(), p);
    }
  }
  void add(int v, size_t at, Drosa endsyst) {
    starts[v].insert(starts[v].begin() + long(at), endsyst);
    voice_of[endsyst.handle()] = v;
  }
  // The number of the system that the visible ENDSYST begins; -1 when it is not listed.
  int number_of(Drosa endsyst) const {
    auto found = voice_of.find(endsyst.handle());
    if (found == voice_of.end()) return -1;
    const std::vector<Drosa>& list = starts[found->second];
    for (size_t k = list.size(); k-- > 0;)
      if (list[k] == endsyst) return int(k);
    return -1;
  }
  // Puts system_cursor at system k of every shown voice (its end when it has fewer systems).
  void place(int k) {
    for (int v = 0; v < MAX_VOICES; ++v) system_cursor[v] = NIL;
    for (int v = 0; v < int(starts.size()); ++v)
      if (!starts[v].empty())
        system_cursor[v] = starts[v][std::min<size_t>(k, starts[v].size() - 1)];
  }
  // After a break was made in system k: lists the new ENDSYST of each voice, the first one
  // not listed after its system k (it begins system k + 1, or k + 2 when the voice had no
  // note there and the new ENDSYST followed the one ending system k).
  void note_made(int k) {
    for (int v = 0; v < int(starts.size()); ++v) {
      if (size_t(k) >= starts[v].size()) continue;
      size_t passed = k;
      for (Drosa p = starts[v][k]->xnext; p && passed <= size_t(k) + 1; p = p->xnext) {
        if (!visible_endsyst(p)) continue;
        if (!voice_of.count(p.handle())) {
          add(v, passed + 1, p);
          break;
        }
        ++passed;
      }
    }
  }
  // Before an ENDSYST leaves its voice: forgets it.
  void forget(Drosa endsyst) {
    auto found = voice_of.find(endsyst.handle());
    if (found == voice_of.end()) return;
    std::vector<Drosa>& list = starts[found->second];
    list.erase(std::remove(list.begin(), list.end(), endsyst), list.end());
    voice_of.erase(found);
  }
};
SystemIndex* system_index = nullptr;  // set while systems remakes the breaks

// The system of the node's voice that holds the node, and the voices' system_cursor put at it.
// Page-relative, or outside systems: by counting, as voices_to_system does. Returns the
// system's number, and through *missing whether every voice stood at a page end.
int place_system_cursors(Drosa node, int page_relative, bool* missing) {
  if (system_index && !page_relative) {
    Drosa start = node->xback;
    while (start && !visible_endsyst(start)) start = start->xback;
    int k = start ? system_index->number_of(start) : -1;
    if (k >= 0) {
      system_index->place(k);
      *missing = false;
      return k;
    }
  }
  int32_t k = system_number_on_page(node, page_relative);
  *missing = voices_to_system(k, page_relative) != 0;
  return k;
}

// ---- The measure table ---------------------------------------------------------------------

// One shown voice as the table is built: where its next bar begins and what holds there.
struct VoiceWalk {
  Drosa at;                   // first note of the voice's next bar; NIL when none is left
  Drosa print;                // the PRINT in force
  int32_t bar_number = 0;     // the measure number at `at`
  bool system_start = false;  // a system begins at `at`
  bool page_start = false;    // a page begins there
  bool print_before = false;  // a PRINT stands right before `at`
  bool at_bar_start = true;   // `at` is at time 0 of its bar
};

// What one voice's walk over one bar found.
struct BarWalk {
  int32_t width = 0;          // summed least widths of its chords (printing voices only)
  bool content = false;       // a note, a separate rest, or symbols in a printing voice
  bool print_change = false;  // a PRINT stands before one of its chords
};

VoiceWalk start_walk(Drosa at) {
  VoiceWalk w;
  w.at = at;
  w.print = find_prev_kind(PRINT, at);
  if (!w.print) {
    Drosa head = at;
    while (head->xback) head = head->xback;
    w.print = find_next_kind_before_note(PRINT, head);
  }
  w.bar_number = bar_number_of_node(at);
  for (Drosa p = at->xback; p && p->xkind != NOTE; p = p->xback) {
    if (!visible_endsyst(p)) continue;
    w.system_start = true;
    w.page_start = p->get(xendpage) || p->get(xstartpiece);
    break;
  }
  w.at_bar_start = find_time_in_bar(at) <= TIME_TOLERANCE;
  return w;
}

bool prints(const VoiceWalk& w) { return w.print && w.print->get(xsstaff) != -1; }

// Reads what stands between a chord and the next: bar lines, system breaks, PRINT changes.
// True when a bar line is among them.
bool pass_gap(VoiceWalk& w, Drosa chord_end, Drosa next) {
  bool bar = false;
  w.system_start = w.page_start = w.print_before = false;
  for (Drosa p = chord_end->xnext; p && p != next; p = p->xnext) {
    switch (effective_kind(p)) {
      case BAR:
        bar = true;
        w.bar_number = number_after_bar(p, w.bar_number);
        break;
      case ENDSYST:
        if (p->get(xendpiece)) break;
        w.system_start = true;
        w.page_start = p->get(xendpage);
        break;
      case PRINT:
        w.print = p;
        w.print_before = true;
        break;
      default:
        break;
    }
  }
  return bar;
}

// Walks one bar of a voice, chord by chord, up to the chord that begins the next bar (a
// chord after a grace chord never does).
BarWalk walk_bar(VoiceWalk& w, const ChordSpaces& spaces) {
  BarWalk out;
  const bool printing = prints(w);
  out.print_change = w.print_before;
  bool first = true;
  Drosa chord = w.at;
  while (chord) {
    if (!first && w.print_before) out.print_change = true;
    ChordWidth cw;
    Drosa next = bar_chord_min_width(chord, spaces, &cw);
    if (printing) out.width = int32_t(std::min<int64_t>(int64_t(out.width) + cw.width, INT32_MAX));
    if (first)
      out.content |= cw.has_note || cw.has_separate_rest;
    else if (printing)
      out.content |= cw.has_note || cw.has_separate_rest || cw.has_symbols;
    first = false;
    const bool grace = chord->get(xgrace);
    Drosa end = chord_end_note(chord);
    bool bar = next && end && pass_gap(w, end, next);
    chord = next;
    if (bar && !grace) break;
  }
  w.at = chord;
  return out;
}

// One bar of every voice that has one left: its entry's fields as its first bar would give
// them, its width, whether it has content, whether a PRINT changes in it. False when no voice
// has a bar left.
struct BarInfo {
  measure_record rec;
  int32_t width = 0;
  bool content = false;
  bool print_change = false;
};

bool next_bar(std::vector<VoiceWalk>& walks, const ChordSpaces& spaces, BarInfo* info) {
  *info = {};
  bool any = false;
  for (VoiceWalk& w : walks) {
    if (!w.at) continue;
    any = true;
    if (!w.at_bar_start) info->rec.consistent = 0;
    info->rec.first_node = w.at;
    info->rec.bar_number = w.bar_number;
    info->rec.starts_system = w.system_start;
    info->rec.starts_page = w.page_start;
    if (prints(w))
      info->rec.staves = std::max<int32_t>(info->rec.staves, w.print->get(xsstaff) + 1);
    BarWalk bar = walk_bar(w, spaces);
    info->width = std::max(info->width, bar.width);
    info->content |= bar.content;
    info->print_change |= bar.print_change;
    w.at_bar_start = true;
  }
  return any;
}

// Adds an entry to the table; false after the message that ends the command.
bool add_entry(std::vector<measure_record>* table, size_t capacity, measure_record rec,
               int32_t bars, int32_t width) {
  if (!rec.consistent || table->size() >= capacity) {
    REPORT_ERROR(2, "You have bar lines on some staves but not on others!");
    return false;
  }
  if (!rec.first_node) {
    REPORT_ERROR(4, "Confusion in get_meas_info!");
    return false;
  }
  if (rec.staves < 1) {
    REPORT_ERROR(2,
                 "At bar %d no voices are printing in this notation context.  Add a part that "
                 "prints in bar %d.",
                 int(rec.bar_number), int(rec.bar_number));
    return false;
  }
  rec.bars = bars;
  rec.width = width;
  table->push_back(rec);
  return true;
}

// ---- The steps of systems --------------------------------------------------------------------

void announce(int reason, const char* extra) {
  const char* text = extra ? extra : "";
  switch (reason) {
    case SYSTEMS_NEW_CONTEXT:
      REPORT_ERROR(2,
                   "Since %s is a new Notation Context, its systems and possible pagination need "
                   "to be determined before you go on.\n\n%s",
                   ncontext_name_of(current_ncontext), text);
      break;
    case SYSTEMS_NO_BREAKS:
      REPORT_ERROR(2,
                   "The MusicXML has no systems or pagination data, so they must be "
                   "determined.\n%s\n%s",
                   "", text);
      break;
    case SYSTEMS_KEEP_SYSTEMS:
      REPORT_ERROR(2,
                   "The MusicXML has systems data but no pagination data, so its pages must be "
                   "determined.  You will probably want to keep the same systems and specify new "
                   "pages.\n%s\n%s",
                   "", text);
      break;
    default:
      if (extra) REPORT_ERROR(2, "%s\n%s", "", text);
      break;
  }
}

size_t visible_bars_after(Drosa note) {
  size_t count = 0;
  for (Drosa p = note; p; p = p->xnext)
    if (effective_kind(p) == BAR) ++count;
  return count;
}

// Puts every shown voice's time_cursor at the start note's time.
bool position_cursors(Drosa start_note) {
  voices_to_system(system_number_on_page(start_note, 0), 0);
  if (voices_to_system_at_time(find_time_in_system(start_note), 0, 0)) {
    REPORT_ERROR(2, "You are not starting at a timing boundary for all voices!");
    return false;
  }
  return true;
}

// The first entry after the first with that bar number; 0 when none.
size_t entry_of_bar(const std::vector<measure_record>& table, int32_t bar_number) {
  for (size_t i = 1; i < table.size(); ++i)
    if (table[i].bar_number == bar_number) return i;
  return 0;
}

// Removes every break after the start note except those where the staff count changes. The
// breaks go last first: the clef and key a system start restates are compared with those in
// force before it, which are then found at the system start before rather than, with every
// earlier restatement gone, at the head of the voice.
void remove_old_breaks(Drosa start_note, const std::vector<measure_record>& table) {
  std::vector<Drosa> breaks;
  int32_t number = bar_number_of_node(start_note);
  for (Drosa p = start_note->xnext; p; p = p->xnext) {
    int kind = effective_kind(p);
    if (kind == BAR) number = number_after_bar(p, number);
    if (kind != ENDSYST) continue;
    if (p->get(xendpiece)) break;
    size_t i = entry_of_bar(table, number);
    if (i && table[i].staves != table[i - 1].staves) continue;
    breaks.push_back(p);
  }
  for (auto p = breaks.rbegin(); p != breaks.rend(); ++p) delete_system_start((*p)->xnext, 1, 0, 1);
}

// A strict system start at the note; true when a system begins there afterwards.
bool strict_break(Drosa note, int page) {
  if (insert_system_start(note, page, 0, 1)) return true;
  return find_time_in_system(note) <= TIME_TOLERANCE;
}

// A system start at the first note of a bar that begins in every voice (an entry of the
// measure table, or the note after the start voice's bar line): by time where every voice
// has a chord at that time; else by counting bar lines, which stand together in every voice
// even where the values of one voice add up to a little more or less than another's.
bool bar_break(Drosa note, int page) {
  const int32_t t = find_time_in_system(note);
  if (t <= TIME_TOLERANCE) return strict_break(note, page);
  bool missing = false;
  place_system_cursors(note, 0, &missing);
  const int strict = voices_to_system_at_time(t, 0, 0) ? 0 : 1;
  if (insert_system_start(note, page, 0, strict)) return true;
  return find_time_in_system(note) <= TIME_TOLERANCE;
}

void breaks_by_measures(Drosa start_note, const SystemsChoice& choice) {
  int32_t bars = 0, systems_on_page = 1;
  for (Drosa p = start_note->xnext; p; p = p->xnext) {
    int kind = effective_kind(p);
    if (kind == ENDSYST && p->get(xendpiece)) break;
    if (kind != BAR || ++bars < choice.measures_per_system) continue;
    bars = 0;
    Drosa note = next_note(p);
    if (!note) break;
    const bool page = systems_on_page >= choice.systems_per_page;
    if (bar_break(note, page)) systems_on_page = page ? 1 : systems_on_page + 1;
    p = note;
  }
}

// True when the Score sees the node as an ENDSYST.
bool score_endsyst(Drosa p) {
  if (p->xkind != ENDSYST) return false;
  int16_t context = current_ncontext;
  current_ncontext = SCORE_CONTEXT;
  bool seen = effective_kind(p) == ENDSYST;
  current_ncontext = context;
  return seen;
}

void breaks_like_score(Drosa start_note, const SystemsChoice& choice) {
  int32_t systems_on_page = 1;
  for (Drosa p = start_note->xnext; p; p = p->xnext) {
    if (p->xkind == ENDSYST && p->get(xendpiece)) break;
    if (!score_endsyst(p)) continue;
    Drosa target = p->xnext;
    while (target && target->xkind != NOTE && !visible_endsyst(target)) target = target->xnext;
    if (!target || (target->xkind == ENDSYST && target->get(xendpiece))) break;
    bool page = choice.mode == SYSTEMS_SCORE_PAGES ? p->get(xendpage) != 0
                                                   : systems_on_page >= choice.systems_per_page;
    if (strict_break(target, page)) systems_on_page = page ? 1 : systems_on_page + 1;
    p = target;
  }
}

void make_new_breaks(Drosa start_note, const std::vector<measure_record>& table,
                     const SystemsChoice& choice) {
  switch (choice.mode) {
    case SYSTEMS_LIST:
      for (size_t i = 1; i < table.size(); ++i)
        if (table[i].new_system) insert_system_start(table[i].first_node, table[i].new_page, 0, 0);
      break;
    case SYSTEMS_DENSITY: {
      const int64_t systems = choice.systems, pages = std::max<int32_t>(choice.pages, 1);
      int64_t j = 1, p = 1;
      for (size_t i = 1; i < table.size(); ++i) {
        if (!table[i].new_system) continue;
        ++j;
        bool page = p * systems / pages < j;
        if (page) ++p;
        bar_break(table[i].first_node, page);
      }
      break;
    }
    case SYSTEMS_MEASURES:
      breaks_by_measures(start_note, choice);
      break;
    default:
      breaks_like_score(start_note, choice);
      break;
  }
}

// Removes, with undo, the staff drags of every shown voice from the page on which its cursor
// (time_cursor) stands to the end of the piece.
void remove_staff_drags_from_cursors() {
  bool removed = false;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    Drosa p = time_cursor[v];
    if (voice_not_shown(v) || !p) continue;
    while (p->xback && !(visible_endsyst(p) && (p->get(xendpage) || p->get(xstartpiece))))
      p = p->xback;
    for (p = p->xnext; p;) {
      Drosa next = p->xnext;
      if (effective_kind(p) == SDRAG) {
        removevc_with_undo(p);
        removed = true;
      }
      p = next;
    }
  }
  if (removed) mark_piece_changed(1, 1, current_ncontext);
}

void reformat_after_systems() {
  disable_format_interrupts();
  current_page = std::clamp<int32_t>(current_page, 1, std::max<int16_t>(page_count, 1));
  format_page(current_page, 0);
  enable_format_interrupts();
  redraw_view();
  display_win_title(1, nullptr);
}

// Steps 5 to 14 of systems, from the parameters read at the start note.
int break_systems(Drosa start_note, int reason, const ChordSpaces& spaces, int32_t rest_width) {
  if (reason != SYSTEMS_MENU) rebuild_print_nodes();
  const size_t capacity = visible_bars_after(start_note) + 10;
  std::vector<measure_record> table;
  try {
    table.reserve(capacity);
  } catch (const std::bad_alloc&) {
    REPORT_ERROR(2, "Not enough memory available to allocate Systems storage!");
    return 0;
  }
  if (!position_cursors(start_note) || !get_meas_info(&table, capacity, spaces, rest_width))
    return 0;
  if (table.empty()) {
    REPORT_ERROR(2, "Your piece has no measures!?");
    return 0;
  }
  int64_t total = 0;
  for (const measure_record& m : table) total += m.width;
  SystemsChoice choice;
  if (!systems_dialog(table, int32_t(std::min<int64_t>(total, INT32_MAX)), reason, &choice))
    return 0;
  if (current_ncontext == SCORE_CONTEXT &&
      (choice.mode == SYSTEMS_SCORE_SYSTEMS || choice.mode == SYSTEMS_SCORE_PAGES)) {
    REPORT_ERROR(4, "Impossible system operation in Score Notation Context!");
    return 0;
  }
  if (reason == SYSTEMS_MENU) {
    stop_flashing(insertion_point);
    insertion_point = NIL;
    insertion_point_flashing = 0;
    display_win_title(1, " (working)");
    remove_ntdata(REMOVE_WHOLE_PIECE);
  }
  remove_staff_drags_from_cursors();
  staff_drags_cleared = true;
  SystemIndex index;
  index.build();
  system_index = &index;
  remove_old_breaks(start_note, table);
  if (reason != SYSTEMS_MENU && choice.mode != SYSTEMS_SCORE_SYSTEMS &&
      choice.mode != SYSTEMS_SCORE_PAGES) {
    for (size_t i = 1; i < table.size(); ++i)
      if (table[i].staves != table[i - 1].staves) bar_break(table[i].first_node, 0);
  }
  make_new_breaks(start_note, table, choice);
  system_index = nullptr;
  staff_drags_cleared = false;
  count_pages();
  mark_piece_changed(1, 1, current_ncontext);
  if (reason == SYSTEMS_MENU) reformat_after_systems();
  return 1;
}

// ---- One break ----------------------------------------------------------------------------

// What stands attached before a note where a break goes in.
struct AtBreak {
  Drosa stop;                  // the node after which the new ENDSYST goes
  bool other_context = false;  // the walk stopped at another context's ENDSYST
  Drosa bar, barsep, clef, keysig, timesig;
  int bars = 0;
};

void remove_extraneous(Drosa node, const char* text) {
  REPORT_ERROR(4, "%s", text);
  removevc_with_undo(node);
}

AtBreak collect_at_break(Drosa note) {
  AtBreak at;
  for (Drosa p = note->xback; p;) {
    Drosa before = p->xback;
    if (p->xkind == NOTE || p->xkind == NTDATA || p->xkind == CDDATA3 || p->xkind == ENDSYST) {
      at.stop = p;
      at.other_context = p->xkind == ENDSYST && !visible_endsyst(p);
      break;
    }
    switch (effective_kind(p)) {
      case BAR:
        at.bar = p;
        ++at.bars;
        break;
      case BARSEP:
        at.barsep = p;
        break;
      case CLEF:
        if (at.clef)
          remove_extraneous(p, "Removing extraneous CLEF node.");
        else
          at.clef = p;
        break;
      case KEYSIG:
        if (at.keysig)
          remove_extraneous(p, "Removing extraneous KEYSIG node.");
        else
          at.keysig = p;
        break;
      case TIMESIG:
        at.timesig = p;
        break;
      default:
        break;
    }
    p = before;
  }
  return at;
}

void insert_before(Drosa node, Drosa endsyst) { insertvc_node_with_undo(node, endsyst->xback); }

// Moves a node from after the break to just before it.
void move_before(Drosa node, Drosa endsyst) {
  if (!node) return;
  insert_before(copyDrosa(node), endsyst);
  removevc_with_undo(node);
}

// The bar line at the break: it ends the previous system; a start-repeat bar line that is the
// only one there also stays after the break, unnumbered, without the end-repeat dots, and the
// copy before the break loses its start dots (and, when it had no end dots, its double line).
void move_bar(const AtBreak& at, Drosa endsyst) {
  Drosa bar = at.bar;
  if (!bar) return;
  if (!bar->get(xrepeat_start) || at.bars != 1) {
    move_before(bar, endsyst);
    return;
  }
  Drosa copy = copyDrosa(bar);
  copy->set(xrepeat_start, 0);
  modifyvc_with_undo(bar);
  if (bar->get(xrepeat_end))
    bar->set(xrepeat_end, 0);
  else
    copy->set(xdouble, 0);
  bar->set(xunnumbered, 1);
  insert_before(copy, endsyst);
}

// The clef and key in force restated after a new ENDSYST, as the context's options ask.
void restate_clef_and_key(Drosa endsyst) {
  if (options_i16(current_ncontext, OPTIONS_CLEF_AT_EACH_SYSTEM)) {
    if (Drosa clef = find_prev_kind(CLEF, endsyst)) {
      Drosa copy = copyDrosa(clef);
      copy->set(xclef_in_system, 0);
      copy->xcontext = int8_t(current_ncontext);
      insertvc_node_with_undo(copy, endsyst);
    }
  }
  if (options_i16(current_ncontext, OPTIONS_KEY_AT_EACH_SYSTEM)) {
    if (Drosa keysig = find_prev_kind(KEYSIG, endsyst)) {
      Drosa copy = copyDrosa(keysig);
      remove_naturals_from_key(copy);
      copy->xcontext = int8_t(current_ncontext);
      insertvc_node_with_undo(copy, endsyst);
    }
  }
}

Drosa new_endsyst(int page_flag, Drosa in_system) {
  Drosa e = newDrosa(ENDSYST, current_ncontext);
  e->set(xendpage, uint8_t(page_flag ? 1 : 0));
  int bracket, brace;
  get_bracket(in_system, &bracket, &brace);
  e->set(xbracket, bracket);
  e->set(xbrace, brace);
  return e;
}

// Walks `count` visible bar lines forward from a system's start (fewer when the system has
// fewer) and gives the next NOTE, or the ENDSYST that ends the system when none follows.
Drosa after_bars(Drosa system_start, int32_t count) {
  Drosa p = system_start->xnext;
  for (int32_t passed = 0; p && passed < count; p = p->xnext) {
    if (visible_endsyst(p)) return p;
    if (effective_kind(p) == BAR) ++passed;
  }
  while (p && p->xkind != NOTE && !visible_endsyst(p)) p = p->xnext;
  return p;
}

int32_t bars_since_system_start(Drosa note) {
  int32_t count = 0;
  for (Drosa p = note->xback; p && !visible_endsyst(p); p = p->xback)
    if (effective_kind(p) == BAR) ++count;
  return count;
}

// ---- The Systems dialog ------------------------------------------------------------------

enum SystemsItem {
  OK_ITEM = 1,
  CANCEL_ITEM = 2,
  DENSITY_RADIO = 4,
  DENSITY_FIELD = 5,
  DENSITY_PAGE_FIELD = 7,
  MEASURES_RADIO = 9,
  MEASURES_FIELD = 10,
  MEASURES_PAGE_FIELD = 12,
  KEEP_RADIO = 14,
  KEEP_PAGE_FIELD = 15,
  KEEP_CAPTION = 16,
  SCORE_RADIO = 17,
  LIST_RADIO = 18,
  LIST_FIELD = 19,
};
constexpr int SYSTEMS_DIALOG = 15339;
constexpr int RADIOS[] = {DENSITY_RADIO, MEASURES_RADIO, KEEP_RADIO, SCORE_RADIO, LIST_RADIO};

// The radio button that a field belongs to; 0 for any other item.
int radio_of_field(int item) {
  switch (item) {
    case DENSITY_FIELD:
    case DENSITY_PAGE_FIELD:
      return DENSITY_RADIO;
    case MEASURES_FIELD:
    case MEASURES_PAGE_FIELD:
      return MEASURES_RADIO;
    case KEEP_PAGE_FIELD:
      return KEEP_RADIO;
    case LIST_FIELD:
      return LIST_RADIO;
    default:
      return 0;
  }
}

int first_field_of(int radio) {
  switch (radio) {
    case DENSITY_RADIO:
      return DENSITY_FIELD;
    case MEASURES_RADIO:
      return MEASURES_FIELD;
    case KEEP_RADIO:
      return KEEP_PAGE_FIELD;
    case LIST_RADIO:
      return LIST_FIELD;
    default:
      return 0;
  }
}

// The dialog's state while it runs, and the values it keeps from one use to the next.
struct DialogMemory {
  int radio = DENSITY_RADIO;
  int focus = 0;                    // the edit field last seen with the caret
  int32_t measures_per_system = 4;  // kept from the last use
};
DialogMemory dialog_memory;

void select_radio(DialogRef dialog, int radio) {
  if (!radio || platform_item_hilite(dialog, radio) == 255) return;
  for (int r : RADIOS) platform_set_item_value(dialog, r, r == radio);
  dialog_memory.radio = radio;
}

// A click in a field, or the caret moving into one, selects the field's radio button.
bool systems_filter(DialogRef dialog, EventRecord* event, int* /*item*/) {
  if (event->what == EVENT_MOUSE_DOWN && event->window == platform_dialog_window(dialog)) {
    for (int item = 1; item <= platform_item_count(dialog); ++item)
      if (radio_of_field(item) && platform_item_rect(dialog, item).contains(event->where))
        select_radio(dialog, radio_of_field(item));
    return false;
  }
  int focus = platform_focus_item(dialog);
  if (focus != dialog_memory.focus) {
    dialog_memory.focus = focus;
    select_radio(dialog, radio_of_field(focus));
  }
  return false;
}

void focus_field(DialogRef dialog, int field) {
  platform_select_item_text(dialog, field, 0, 32767);
  dialog_memory.focus = field;
}

// Sets up the dialog's fields and radio buttons.
void fill_systems_dialog(DialogRef dialog, const std::vector<measure_record>& table,
                         int32_t systems_per_page, int reason) {
  const bool score = current_ncontext == SCORE_CONTEXT;
  bool complete = true;
  const std::string list = systems_list_text(table, &complete);
  const bool has_list = complete && list.size() > 10;
  set_long_item(dialog, DENSITY_FIELD, 100);
  for (int field : {DENSITY_PAGE_FIELD, MEASURES_PAGE_FIELD, KEEP_PAGE_FIELD})
    set_long_item(dialog, field, systems_per_page);
  set_long_item(dialog, MEASURES_FIELD, dialog_memory.measures_per_system);
  platform_set_item_text(dialog, LIST_FIELD, list);
  if (score && !has_list) {
    enable_item(dialog, KEEP_RADIO, 0);
    platform_set_item_hilite(dialog, KEEP_CAPTION, 255);
  }
  if (score) enable_item(dialog, SCORE_RADIO, 0);
  const bool keep = score && has_list && reason == SYSTEMS_KEEP_SYSTEMS;
  dialog_memory.radio = 0;
  select_radio(dialog, keep ? KEEP_RADIO : DENSITY_RADIO);
  focus_field(dialog, keep ? KEEP_PAGE_FIELD : DENSITY_FIELD);
}

// In the Score, keeping the present systems: every system begins where it begins now, and
// every n-th of them begins a page.
void keep_present_systems(std::vector<measure_record>& table, int32_t systems_per_page) {
  int32_t system = 1;
  for (size_t i = 0; i < table.size(); ++i) {
    table[i].new_system = table[i].new_page = 0;
    if (i == 0 || !table[i].starts_system) continue;
    table[i].new_system = 1;
    table[i].new_page = system++ % systems_per_page == 0;
  }
}

// Reads the fields of the chosen way; false to go back to the dialog.
bool read_choice(DialogRef dialog, std::vector<measure_record>& table, int64_t total, int32_t S,
                 SystemsChoice* choice) {
  switch (dialog_memory.radio) {
    case DENSITY_RADIO: {
      choice->mode = SYSTEMS_DENSITY;
      choice->density = get_long_item(dialog, DENSITY_FIELD, "density", 20, 800);
      if (choice->density == BAD_LONG_ITEM) return false;
      choice->systems_per_page =
          get_long_item(dialog, DENSITY_PAGE_FIELD, "systems per page", 1, 64);
      if (choice->systems_per_page == BAD_LONG_ITEM) return false;
      int32_t largest = 0, smallest = 0;
      systems_by_density(table, total, S, choice, &largest, &smallest);
      char text[REPORT_TEXT_SIZE];
      std::snprintf(text, sizeof text,
                    "This rounds to %hd %s in the %s Notation Context.  Maximum density of "
                    "any system is %ld%%, minimum is %ld%%.",
                    short(std::min<int32_t>(choice->pages, INT16_MAX)),
                    choice->pages == 1 ? "page" : "pages", ncontext_name_of(current_ncontext),
                    long(largest), long(smallest));
      return really_alert(text, 1) != 0;
    }
    case MEASURES_RADIO:
      choice->mode = SYSTEMS_MEASURES;
      choice->measures_per_system =
          get_long_item(dialog, MEASURES_FIELD, "measures per system", 1, 20);
      if (choice->measures_per_system == BAD_LONG_ITEM) return false;
      dialog_memory.measures_per_system = choice->measures_per_system;
      choice->systems_per_page =
          get_long_item(dialog, MEASURES_PAGE_FIELD, "systems per page", 1, 64);
      return choice->systems_per_page != BAD_LONG_ITEM;
    case KEEP_RADIO:
      choice->systems_per_page = get_long_item(dialog, KEEP_PAGE_FIELD, "systems per page", 1, 64);
      if (choice->systems_per_page == BAD_LONG_ITEM) return false;
      choice->mode = SYSTEMS_SCORE_SYSTEMS;
      if (current_ncontext == SCORE_CONTEXT) {
        choice->mode = SYSTEMS_LIST;
        keep_present_systems(table, choice->systems_per_page);
      }
      return true;
    case SCORE_RADIO:
      choice->mode = SYSTEMS_SCORE_PAGES;
      return true;
    default:
      choice->mode = SYSTEMS_LIST;
      return parse_systems_list(platform_item_text(dialog, LIST_FIELD), table) != 0;
  }
}

// The initial systems per page: the page's height shared among systems of the first entry's
// staves; 0 after a message when the page leaves no room.
int32_t initial_systems_per_page(const std::vector<measure_record>& table, int64_t total,
                                 int32_t S) {
  const int64_t height = int64_t(options_i32(current_ncontext, OPTIONS_PAGE_HEIGHT)) * 72 / 10;
  const int64_t distance =
      int64_t(param_value(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT,
                          table.front().first_node, nullptr)
                  ->integer()) *
      table.front().staves;
  if (S <= 0 || distance <= 0 || height < 0) {
    REPORT_ERROR(2,
                 "There is no room for a system on this page.  Make the page larger, its "
                 "margins smaller or the distance between staves positive, and try again.");
    return 0;
  }
  const int64_t systems_fitting = height / distance + 1;
  const int64_t pages = total / (systems_fitting * S) + 1;
  return int32_t(std::clamp<int64_t>(total / (S * pages) + 1, 1, 64));
}

}  // namespace

// ---- The measure table ------------------------------------------------------------------

Drosa bar_chord_min_width(Drosa note, const ChordSpaces& spaces, ChordWidth* out) {
  *out = {};
  if (!is_NOTE(note)) return NIL;
  out->width = std::max(space_for_duration(note_duration(note, 0)),
                        note->get(xgrace) ? spaces.grace : spaces.normal);
  Drosa p = note;
  for (; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    if (has_clef_key_time_before(p, 1) || note_has_line_or_text(p)) out->has_symbols = true;
    if (!p->get(xrest))
      out->has_note = true;
    else if (p->get(xseparate))
      out->has_separate_rest = true;
    if (p->get(xendvcd)) break;
  }
  return next_note(p);
}

int get_meas_info(std::vector<measure_record>* table, size_t capacity, const ChordSpaces& spaces,
                  int32_t rest_width) {
  table->clear();
  std::vector<VoiceWalk> walks;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    if (voice_not_shown(v)) continue;
    Drosa at = time_cursor[v];
    if (at && at->xkind == NOTE) walks.push_back(start_walk(at));
  }
  measure_record run_start;
  int32_t run = 0;  // bars of only plain rests waiting to become one entry
  BarInfo bar;
  while (next_bar(walks, spaces, &bar)) {
    const bool print_content = run >= 1 && bar.print_change;
    if (!bar.content && !print_content) {
      if (run++ == 0) run_start = bar.rec;
      continue;
    }
    if (run > 0 && !add_entry(table, capacity, run_start, run, rest_width)) return 0;
    run = 0;
    if (!bar.content) {  // the bar begins the next entry, a run of rests again
      run_start = bar.rec;
      run = 1;
      continue;
    }
    if (!add_entry(table, capacity, bar.rec, 1, std::max(bar.width, rest_width))) return 0;
  }
  return run > 0 ? add_entry(table, capacity, run_start, run, rest_width) : 1;
}

int systems(Drosa start, int reason, const char* extra) {
  if (!start || effective_kind(start) != ENDSYST || !start->get(xendpage)) {
    REPORT_ERROR(4, "Bad pointer for systems().");
    return 0;
  }
  Drosa start_note = next_note(start);
  if (!start_note) {
    REPORT_ERROR(2, "Your piece has no measures!?");
    return 0;
  }
  const ChordSpaces spaces{
      param_length(P_MINIMUM_SPACE_BETWEEN_GRACE_NOTE_AND_NEXT_CHORD, start_note, nullptr),
      param_length(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, start_note, nullptr)};
  const int32_t rest_width =
      param_length(P_MINIMUM_WIDTH_OF_BAR_CONTAINING_ONLY_RESTS, start_note, nullptr);
  init_spacing_curve(start_note);
  announce(reason, extra);
  save_cursor();
  set_cursor(CURSOR_ID_WATCH);
  int made = break_systems(start_note, reason, spaces, rest_width);
  restore_cursor();
  return made;
}

// ---- The Systems dialog ------------------------------------------------------------------

int32_t nominal_system_width(Drosa at) {
  const int32_t left = staff_left_x(-1, current_page) +
                       param_length(P_MARGIN_WIDTH_ON_LEFT_OF_PAGE, at, nullptr) +
                       layout_page_left_x();
  const int32_t right =
      staff_right_x(-1, current_page) - param_length(P_MARGIN_WIDTH_ON_RIGHT_OF_PAGE, at, nullptr);
  return int32_t(0.4 * (int64_t(right) - left));
}

void systems_by_density(std::vector<measure_record>& table, int64_t total_width, int32_t S,
                        SystemsChoice* choice, int32_t* largest, int32_t* smallest) {
  const int64_t per_page = choice->systems_per_page;
  const double nominal_page = double(per_page) * choice->density / 100.0 * S;
  const int64_t pages = std::max<int64_t>(int64_t(double(total_width) / nominal_page + 0.7), 1);
  const int64_t target = total_width / (pages * per_page);
  int64_t c = 0, most = INT64_MIN, least = INT64_MAX, systems = 0;
  for (measure_record& m : table) {
    m.new_system = m.new_page = 0;
    if (c > 0 && c + m.width > target && (c + m.width - target) > (target - c)) {
      m.new_system = 1;
      ++systems;
      most = std::max(most, c);
      least = std::min(least, c);
      c -= target;
    }
    c += m.width;
  }
  ++systems;
  most = std::max(most, c);
  least = std::min(least, c);
  int64_t page_count = systems / per_page + (systems % per_page > per_page / 2 ? 1 : 0);
  choice->systems = int32_t(std::min<int64_t>(systems, INT32_MAX));
  choice->pages = int32_t(std::clamp<int64_t>(page_count, 1, INT32_MAX));
  *largest = int32_t(std::clamp<int64_t>(most * 100 / S, INT32_MIN, INT32_MAX));
  *smallest = int32_t(std::clamp<int64_t>(least * 100 / S, INT32_MIN, INT32_MAX));
}

std::string systems_list_text(const std::vector<measure_record>& table, bool* complete) {
  *complete = true;
  if (table.empty()) return "";
  std::string text = std::to_string(table.front().bar_number);
  for (size_t i = 1; i < table.size(); ++i) {
    if (!table[i].starts_system) continue;
    if (text.size() >= LIST_TEXT_LIMIT) {
      *complete = false;
      break;
    }
    text += table[i].starts_page ? ';' : ',';
    text += std::to_string(table[i].bar_number);
  }
  return text;
}

int parse_systems_list(const std::string& list, std::vector<measure_record>& table) {
  for (measure_record& m : table) m.new_system = m.new_page = 0;
  std::string text = list.substr(0, LIST_TEXT_LIMIT);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  const char* p = text.c_str();
  int number = 0, used = 0;
  if (std::sscanf(p, "%d%n", &number, &used) < 1) {
    REPORT_ERROR(2, "The list must start with a number.");
    return 0;
  }
  const int32_t last_bar = table.empty() ? 0 : table.back().bar_number;
  for (p += used; *p;) {
    char separator = 0;
    used = 0;
    int items = std::sscanf(p, "%c%d%n", &separator, &number, &used);
    if (items < 2 || (separator != ',' && separator != ';')) {
      REPORT_ERROR(2,
                   "There is a problem in the list around %d.  Use only commas and semicolons "
                   "between bar numbers.",
                   number);
      return 0;
    }
    p += used;
    if (number < 1 || number > last_bar) {
      REPORT_ERROR(2, "Measure number %d is not allowed.", number);
      return 0;
    }
    for (size_t i = 1; i < table.size(); ++i) {
      if (table[i].bar_number < number) continue;
      table[i].new_system = 1;
      if (separator == ';') table[i].new_page = 1;
      break;
    }
  }
  return 1;
}

int systems_dialog(std::vector<measure_record>& table, int32_t total_width, int reason,
                   SystemsChoice* choice) {
  if (table.empty()) return 0;
  const int32_t S = nominal_system_width(table.front().first_node);
  const int32_t systems_per_page = initial_systems_per_page(table, total_width, S);
  if (!systems_per_page) return 0;
  DialogRef dialog = open_dialog_in_front(SYSTEMS_DIALOG);
  if (!dialog) return 0;
  fill_systems_dialog(dialog, table, systems_per_page, reason);
  int result = -1;
  while (result < 0) {
    platform_set_param_texts("", "", "", ncontext_name_of(current_ncontext));
    draw_dialog_frame(dialog, nullptr, nullptr);
    int item = platform_modal_dialog(dialog, systems_filter);
    if (item == CANCEL_ITEM) {
      result = 0;
    } else if (item == OK_ITEM) {
      if (read_choice(dialog, table, total_width, S, choice))
        result = 1;
      else
        focus_field(dialog, first_field_of(dialog_memory.radio));
    } else if (std::find(std::begin(RADIOS), std::end(RADIOS), item) != std::end(RADIOS)) {
      select_radio(dialog, item);
      if (first_field_of(item)) focus_field(dialog, first_field_of(item));
    } else {
      REPORT_ERROR(4, "Unexpected item returned from systems dialog");
    }
  }
  close_dialog_in_front(dialog);
  return result;
}

// ---- One break ----------------------------------------------------------------------------

int insert_system_start(Drosa note, int page_flag, int page_relative, int strict) {
  if (!note) return 0;
  bool missing = false;
  const int32_t system = place_system_cursors(note, page_relative, &missing);
  if (missing && page_relative && system > 0) {
    REPORT_ERROR(4, "end_of_page logic error in insert_system_start");
    return 0;
  }
  const int voices = std::min<int>(voice_count, MAX_VOICES);
  // A system begins at the note already: only its page flag changes.
  const int32_t t = find_time_in_system(note);
  if (t <= TIME_TOLERANCE) {
    for (int v = 0; v < voices; ++v)
      if (visible_endsyst(system_cursor[v]) && !system_cursor[v]->get(xstartpiece))
        set_page_flag(system_cursor[v], page_flag ? 1 : 0);
    return 0;
  }
  if (strict) {
    if (strict != STRICT_AT_TIME_CURSORS && voices_to_system_at_time(t, 0, page_relative)) {
      if (!refusal_said)
        REPORT_ERROR(2,
                     "You cannot make a system start at a note which is not at a timing "
                     "boundary for all voices.  Bar %d.",
                     int(bar_number_of_node(note)));
      refusal_said = refuse_once;
      return 0;
    }
  } else {
    const int32_t bars = bars_since_system_start(note);
    if (bars == 0) return 0;
    for (int v = 0; v < voices; ++v)
      time_cursor[v] =
          system_cursor[v] && !voice_not_shown(v) ? after_bars(system_cursor[v], bars) : NIL;
  }
  for (int v = 0; v < voices; ++v) {
    if (voice_not_shown(v)) continue;
    if (!time_cursor[v]) {
      REPORT_ERROR(4, "at_sys_time logic error in splits");
      continue;
    }
    insert_endsyst_on_voice(time_cursor[v], page_flag);
  }
  if (system_index && !page_relative) system_index->note_made(system);
  return 1;
}

void insert_endsyst_on_voice(Drosa note, int page_flag) {
  if (!note) return;
  if (visible_endsyst(note)) {
    if (note->get(xendpiece)) {
      REPORT_ERROR(4, "End-of-piece error in insert_endsyst_on_voice()!");
      return;
    }
    REPORT_ERROR(2, "You have a voice with no notes on the system!");
    insertvc_node_with_undo(new_endsyst(page_flag, note), note);
    return;
  }
  if (note->xkind != NOTE) {
    REPORT_ERROR(4, "Bad pointer for insert_endsyst_on_voice()!");
    return;
  }
  clear_staff_drags(note);
  const AtBreak at = collect_at_break(note);
  if (!at.stop) {
    REPORT_ERROR(4, "Bad pointer for insert_endsyst_on_voice()!");
    return;
  }
  Drosa endsyst = new_endsyst(page_flag, at.stop);
  insertvc_node_with_undo(endsyst, at.stop);
  if (!at.other_context) {
    move_before(at.clef, endsyst);
    move_bar(at, endsyst);
    move_before(at.barsep, endsyst);
    move_before(at.keysig, endsyst);
    move_before(at.timesig, endsyst);
  }
  restate_clef_and_key(endsyst);
  repeat_annos_at_system(note, 1);
}

namespace {

// Two bar lines that a system start kept apart (a repeat split at the break, its end before
// the break and its start after it) become one again when the systems are combined: the first
// takes the second's repeat and style, and counts as a measure when either did. Two bar lines
// that both count are left as they are.
void join_bar_lines(Drosa at) {
  Drosa p = at;
  while (p && p->xkind != NOTE && !visible_endsyst(p)) p = p->xback;
  Drosa first = NIL;
  for (Drosa q = p ? p->xnext : NIL; q && q->xkind != NOTE && !visible_endsyst(q);) {
    Drosa next = q->xnext;
    if (effective_kind(q) == BAR) {
      if (!first) {
        first = q;
      } else if (first->get(xunnumbered) || q->get(xunnumbered)) {
        modifyvc_with_undo(first);
        if (q->get(xrepeat_start)) first->set(xrepeat_start, 1);
        if (q->get(xrepeat_end)) first->set(xrepeat_end, 1);
        if (!first->get(xdouble) || q->get(xdouble) == 3) first->set(xdouble, q->get(xdouble));
        first->set(xunnumbered, first->get(xunnumbered) && q->get(xunnumbered) ? 1 : 0);
        if (!first->get(xrestart_number) && q->get(xrestart_number)) {
          first->set(xrestart_number, 1);
          first->set(xbarnumber, q->get(xbarnumber));
        }
        removevc_with_undo(q);
      }
    }
    q = next;
  }
}

}  // namespace

void delete_system_start(Drosa node, int which, int page_relative, int skip_staff_check) {
  if (!node) {
    REPORT_ERROR(4, "delete_system_start() called with NIL pointer.");
    return;
  }
  Drosa endsyst = which == 0 ? node->xnext : node->xback;
  while (endsyst && !visible_endsyst(endsyst))
    endsyst = which == 0 ? endsyst->xnext : endsyst->xback;
  if (!endsyst || endsyst->get(xendpiece) || endsyst->get(xstartpiece) ||
      (page_relative && endsyst->get(xendpage))) {
    REPORT_ERROR(4, "delete_system_start() called with no other system to combine with.");
    return;
  }
  if (!skip_staff_check && max_print_staves_in_system(endsyst->xback, page_relative) !=
                               max_print_staves_in_system(endsyst->xnext, page_relative)) {
    REPORT_ERROR(2,
                 "You must use the Parts and Voices... menu option to make the number of staves "
                 "the same in both systems before you combine systems!");
    return;
  }
  bool missing = false;
  place_system_cursors(endsyst->xnext, page_relative, &missing);
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    Drosa e = system_cursor[v];
    if (voice_not_shown(v) || !visible_endsyst(e) || e->get(xendpiece) || e->get(xstartpiece) ||
        (page_relative && e->get(xendpage)))
      continue;
    clear_staff_drags(e);
    // A sign restated at the system's start goes when the one before says the same; the
    // search back, which may pass the whole voice, is made only when there is one.
    Drosa next_clef = find_next_kind_before_note(CLEF, e);
    Drosa clef = next_clef ? find_prev_kind(CLEF, e) : NIL;
    if (next_clef && clef && next_clef->get(xclef) == clef->get(xclef))
      removevc_with_undo(next_clef);
    Drosa next_key = find_next_kind_before_note(KEYSIG, e);
    Drosa key = next_key ? find_prev_kind(KEYSIG, e) : NIL;
    if (next_key && key && next_key->get(xkey) == key->get(xkey)) removevc_with_undo(next_key);
    repeat_annos_at_system(e, 0);
    repeat_annos_at_page(e, 0);
    if (system_index) system_index->forget(e);
    Drosa before = e->xback;
    removevc_with_undo(e);
    join_bar_lines(before);
    mark_piece_changed(1, 1, current_ncontext);
  }
}

// ---- The Page menu's single steps -------------------------------------------------------------

namespace {

// Whether every shown voice holds nothing but hidden rests from its system's start to the
// note's time (a pickup filled out by rests that are not drawn): a system begun at the note
// would leave one that draws no note, so the note counts as the system's start.
bool only_hidden_rests_before(Drosa note) {
  bool missing = false;
  const int32_t system = place_system_cursors(note, 1, &missing);
  if ((missing && system > 0) || voices_to_system_at_time(find_time_in_system(note), 0, 1))
    return false;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    if (voice_not_shown(v) || !system_cursor[v]) continue;
    for (Drosa p = system_cursor[v]->xnext; p && p != time_cursor[v]; p = p->xnext)
      if (effective_kind(p) == NOTE && !(p->get(xrest) && p->get(xhider) && !p->get(xgrace)))
        return false;
  }
  return true;
}

}  // namespace

void split_system_cb(Drosa note) {
  if (!is_NOTE(note) || find_time_in_system(note) <= TIME_TOLERANCE) return;
  if (only_hidden_rests_before(note)) return;
  if (insert_system_start(note, 0, 1, 1)) mark_piece_changed(1, 1, current_ncontext);
}

void combine_with_next_system_cb(Drosa note) {
  if (!is_NOTE(note)) return;
  split_system_cb(note);
  Drosa end = note->xnext;
  while (end && !visible_endsyst(end)) end = end->xnext;
  if (!end || end->get(xendpage) || end->get(xendpiece)) return;
  delete_system_start(note, 0, 1, 0);
}

namespace {

// Whether a page split at one of its systems cuts the voice whose system start there is
// `cut`: a plain system end inside the page.
bool cuts_voice(Drosa cut) {
  return visible_endsyst(cut) && !cut->get(xendpiece) && !cut->get(xstartpiece) &&
         !cut->get(xendpage);
}

// split_page, system_cursor standing at the system in every voice; `ends`, when given,
// receives the old page end that the walk over what follows a voice's cut meets (left as it
// was where the voice is not cut, NIL where its piece ends there).
void split_page_at_cursors(std::array<Drosa, MAX_VOICES>* ends) {
  bool split = false;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    Drosa cut = system_cursor[v];
    if (voice_not_shown(v) || !cuts_voice(cut)) continue;
    set_page_flag(cut, 1);
    page_index_changed_at(cut);
    repeat_annos_at_page(cut, 1);
    split = true;
    // What follows the cut is on the next page now, which carries no layout records.
    for (Drosa p = cut->xnext; p;) {
      Drosa next = p->xnext;
      if (visible_endsyst(p) && (p->get(xendpage) || p->get(xendpiece))) {
        if (ends) (*ends)[size_t(v)] = p->get(xendpiece) ? NIL : p;
        break;
      }
      if (is_layout_record(p)) destroy_node(p);
      p = next;
    }
  }
  if (!split) return;
  ++page_count;
  mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
}

}  // namespace

void split_page(int system) {
  if (system < 1 || voices_to_system(system, 1)) return;
  split_page_at_cursors(nullptr);
}

void combine_page(int with_previous) {
  bool combined = false;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    Drosa start = page_start[v];
    if (voice_not_shown(v) || !start || start->get(xendpiece)) continue;
    Drosa e = with_previous ? start : NIL;
    for (Drosa p = start->xnext; !with_previous && p; p = p->xnext) {
      if (!visible_endsyst(p) || !p->get(xendpage)) continue;
      if (!p->get(xendpiece)) e = p;
      break;
    }
    if (!e || e->get(xstartpiece) || !e->get(xendpage)) continue;
    set_page_flag(e, 0);
    repeat_annos_at_page(e, 0);
    combined = true;
  }
  if (!combined) return;
  page_count = int16_t(std::max(page_count - 1, 1));
  mark_piece_changed(1, 1, current_ncontext);
}

bool move_page_end(int system) {
  // The page's own end in each voice. A voice the split cuts meets it on the walk over what
  // follows its cut, which lies before it on the page; any other voice's is found before the
  // new end stands in front of it.
  if (system < 1 || voices_to_system(system, 1)) return false;
  std::array<Drosa, MAX_VOICES> ends{};
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    Drosa start = page_start[v];
    if (voice_not_shown(v) || !start || start->get(xendpiece) || cuts_voice(system_cursor[v]))
      continue;
    for (Drosa p = start->xnext; p; p = p->xnext) {
      if (!visible_endsyst(p) || !(p->get(xendpage) || p->get(xendpiece))) continue;
      if (!p->get(xendpiece)) ends[size_t(v)] = p;
      break;
    }
  }
  const int16_t pages_before = page_count;
  split_page_at_cursors(&ends);
  if (page_count == pages_before) return false;
  bool joined = false;
  for (Drosa e : ends) {
    if (!e) continue;
    set_page_flag(e, 0);
    repeat_annos_at_page(e, 0);
    page_index_changed_at(e);
    joined = true;
  }
  if (joined) page_count = int16_t(std::max(page_count - 1, 1));
  return true;
}

bool cut_and_join_next_system(Drosa note, int strict) {
  if (!insert_system_start(note, 0, 1, strict)) return false;
  // Each voice's note at the cut (time_cursor), the system start just made before it and the
  // end of the system after it, which goes.
  std::array<Drosa, MAX_VOICES> made{}, ends{};
  bool page = false;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    if (voice_not_shown(v) || !time_cursor[v]) continue;
    Drosa before = time_cursor[v], after = time_cursor[v];
    while (before && !visible_endsyst(before)) before = before->xback;
    while (after && !visible_endsyst(after)) after = after->xnext;
    if (!before || !after || after->get(xendpiece)) return true;
    made[size_t(v)] = before;
    ends[size_t(v)] = after;
    page |= after->get(xendpage) != 0;
  }
  // A page that ended with the system now ends at the cut: its own end becomes a plain
  // system end, which delete_system_start then takes away on this page.
  for (Drosa e : ends)
    if (e && e->get(xendpage)) {
      set_page_flag(e, 0);
      repeat_annos_at_page(e, 0);
    }
  delete_system_start(note, 0, 1, 1);
  if (page)
    for (Drosa e : made)
      if (e) {
        set_page_flag(e, 1);
        repeat_annos_at_page(e, 1);
        page_index_changed_at(e);
      }
  return true;
}

int32_t find_invisible_notes(int* voice) {
  constexpr int CONTEXT_SLOTS = MAX_NCONTEXTS + 1;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    Drosa last_print[CONTEXT_SLOTS] = {};
    bool invisible = false;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind == PRINT) {
        if (p->xcontext >= 0 && p->xcontext < CONTEXT_SLOTS) last_print[p->xcontext] = p;
        invisible = std::none_of(last_print, last_print + CONTEXT_SLOTS,
                                 [](Drosa print) { return print && print->get(xsstaff) != -1; });
        continue;
      }
      if (!invisible || p->xkind != NOTE || p->get(xrest)) continue;
      if (voice) {
        *voice = v;
        return bar_number_of_node(p);
      }
      modifyvc_with_undo(p);
      p->set(xrest, 1);
    }
  }
  return -1;
}

// ---- Commands --------------------------------------------------------------------------------

void systems_command() {
  if (!insertion_point) return;
  if (prefs.ask_save_before_context_change() && (DrosaDirty & 1)) {
    int answer = yesnocan_alert(
        "Do you want to save your piece now, before you use the Systems... menu "
        "option?");
    if (answer == ANSWER_CANCEL) return;
    if (answer == ANSWER_YES && !save_piece(0, 0, 0, &piece_fsspec)) return;
  }
  int v = std::clamp<int>(insertion_point->get(xvoice), 0, std::max<int>(voice_count - 1, 0));
  if (!page_start[v]) return;
  systems(page_start[v], SYSTEMS_MENU, nullptr);
  clear_undo(1);
}

namespace {
// A system command over the insertion point or group, which says its refusal of a note not at a
// timing boundary for the first such note only.
void apply_refusing_once(void (*fn)(Drosa note)) {
  set_undo_mark(0);
  refuse_once = true;
  refusal_said = false;
  apply_to_cursor_or_group(fn, 1);
  refuse_once = refusal_said = false;
}
}  // namespace

void split_system_command() { apply_refusing_once(split_system_cb); }

void combine_with_next_system_command() { apply_refusing_once(combine_with_next_system_cb); }

namespace {
void end_page_command() {
  stop_flashing(insertion_point);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  clear_undo(1);
  mark_piece_changed(1, 1, current_ncontext);
}
}  // namespace

void split_page_command() {
  if (!is_NOTE(insertion_point)) return;
  int32_t system = system_number_on_page(insertion_point, 1);
  if (system > 0) split_page(system);
  end_page_command();
}

void combine_with_next_page_command() {
  if (current_page >= page_count) return;
  combine_page(0);
  if (is_NOTE(insertion_point)) {
    int32_t system = system_number_on_page(insertion_point, 1);
    if (system > 0) split_page(system);
  }
  end_page_command();
}

void invisible_notes_command() {
  int voice = 0;
  int32_t bar = find_invisible_notes(&voice);
  if (bar < 0) {
    REPORT_ERROR(2, "All the notes in this piece are visible in at least one notation context.");
    return;
  }
  char text[REPORT_TEXT_SIZE];
  std::snprintf(text, sizeof text,
                "This piece contains notes that will not be visible because they are on a voice "
                "with 'Stop Voice' or 'Don't Print' selected in the Parts and Voices menu option.  "
                "The first occurrence of this on '%s' may be around bar %d.  Do you want all such "
                "notes removed from the piece now?  (If you choose No, you can hear these notes "
                "using the Hear... menu option, and you can see them if you click 'Start Voice' "
                "in the Parts and Voices menu option at the proper place in the piece.)",
                voice_display_name(voice).c_str(), int(bar));
  if (!yesno_alert(text, 1)) return;
  set_undo_mark(0);
  find_invisible_notes(nullptr);
  mark_piece_changed(1, 2, 0);
}
