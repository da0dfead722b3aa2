// drawanno.cpp: the annotation passes of the page formatter, the binding of an annotation to
// the element of the music it stands for, and the clearance points above and below a note.
//
// format_page runs three passes for each system once its music and slurs are drawn: the
// first draws every text and line attached before a staff chord of the system's printed
// staves, layer by layer; the second the centred hyphens between lyric syllables, once every
// syllable of the system has its place; the third the annotations that stand for an element
// of the music (an accidental, a glyph, a line), which must find that element drawn.
//
// Design notes:
//  - A chord's annotations are gathered before any is drawn: drawing may remove a mark
//    carried across the system or delete an override that no longer binds.
//  - Hyphens look for the next syllable within 30 page units of the same height, whatever the
//    zoom.
#include "annotations/drawanno.h"

#include <algorithm>
#include <map>
#include <vector>

#include "annotations/anno_codes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_runs.h"
#include "annotations/drawtext.h"
#include "annotations/endings.h"
#include "annotations/hairpin_room.h"
#include "annotations/hidden_text.h"
#include "annotations/line_annos.h"
#include "annotations/lyric_lines.h"
#include "annotations/marks_apart.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int32_t HYPHEN_HEIGHT_TOLERANCE = 30;
constexpr int STEM_DOWN = 1, STEM_UP = 2;

int first_staff() { return std::max<int>(first_pstaff, 0); }
int last_staff() {
  return std::min<int>({last_pstaff, MAX_PSTAVES - 1, std::max<int>(pstaff_count - 1, 0)});
}

// The first note of a layer's chain on a printed staff; NIL for an empty chain.
Drosa chain_first(int pstaff, int layer) {
  Drosa head = staff_data[pstaff].ppnt[layer];
  Drosa nt = head ? note_ntdata(head) : NIL;
  return nt ? nt->get(xpnext) : NIL;
}

// The annotation heads (TPARAMs that start a text, LINEs) attached before a note, in order,
// appended to `heads`.
void add_heads_before(Drosa note, std::vector<Drosa>& heads) {
  const size_t from = heads.size();
  for (Drosa p = note->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback)
    if (is_anno_head(p)) heads.push_back(p);
  std::reverse(heads.begin() + long(from), heads.end());
}

std::vector<Drosa> heads_before(Drosa note) {
  std::vector<Drosa> heads;
  add_heads_before(note, heads);
  return heads;
}

// The notes of the staff chord that begins at `first`, in chain order, into `notes`; *next
// gets the first note of the next chord of the layer (NIL at the chain's end).
void chord_from(Drosa first, Drosa* next, std::vector<Drosa>& notes) {
  notes.clear();
  Drosa n = first, nt = note_ntdata(n);
  while (nt) {
    notes.push_back(n);
    const bool ends = nt->get(xendscd) != 0;
    n = nt->get(xpnext);
    nt = note_ntdata(n);
    if (ends) break;
  }
  *next = nt ? n : NIL;
}

std::vector<Drosa> chord_from(Drosa first, Drosa* next) {
  std::vector<Drosa> notes;
  chord_from(first, next, notes);
  return notes;
}

// A staff chord and where it stands.
struct ChordVisit {
  std::vector<Drosa> notes;
  int pstaff = 0;
  int layer = 0;
};

// Walks every staff chord of the system's printed staves, layer by layer. false when
// interrupted; a walk that only reads (`polled` false) is quick and asks for no interruption.
template <typename Visit>
bool for_each_chord(Visit visit, bool polled = true) {
  ChordVisit chord;  // one list of notes for every chord
  for (int p = first_staff(); p <= last_staff(); ++p) {
    for (int layer = 0; layer < LAYERS; ++layer) {
      Drosa next = chain_first(p, layer);
      while (next) {
        if (polled && format_interrupted()) return false;
        chord_from(next, &next, chord.notes);
        chord.pstaff = p;
        chord.layer = layer;
        if (chord.notes.empty()) break;
        visit(chord);
      }
    }
  }
  return true;
}

// ---- The first pass ----------------------------------------------------------------------------

bool is_open_line(Drosa p) {
  return effective_kind(p) == LINE && !p->get(xline_eocvar) && p->get(xline_ord) == LINE_BEGIN;
}

// The lines of a voice that may cross a system of the page being formatted, kept from system
// to system of one format of the page: those begun before the system (on this page, or on an
// earlier one, as the page index lists them) whose ENDLINE the voice's list was not yet walked
// past, each with its ENDLINE, in the order they begin; and how far the list was walked. A line
// whose ENDLINE stands before a system's first note crosses neither that system nor a later
// one, and a line without an ENDLINE none: neither is looked at again.
struct OpenLines {
  Drosa page_start, walked_to;
  std::vector<std::pair<Drosa, Drosa>> lines;
};
OpenLines open_lines[MAX_VOICES];  // by voice

// The lines the voice's system may be crossed by, its list walked on to the system's start: from
// the page's start (the lines of earlier pages that run into it first) at its first system, or
// when the list no longer leads from where it was left to the system.
const std::vector<std::pair<Drosa, Drosa>>& lines_into_system(int v) {
  OpenLines& open = open_lines[v];
  const Drosa start = voice_data[v].system_start;
  auto begin_page = [&] {
    open.page_start = open.walked_to = page_start[v];
    open.lines.clear();
    for (int k = 1; k < last_formatted_page; ++k) {
      const PageSpan* span = page_span(v, k);
      if (!span) break;
      for (Drosa line : span->lines) {
        if (!is_open_line(line)) continue;
        bool into_page = false;
        if (Drosa end = line_end_after(line, page_start[v], nullptr, &into_page); end && into_page)
          open.lines.emplace_back(line, end);
      }
    }
  };
  // Walks on from `from` to the system's start; false when the list ends first.
  auto walk_to_system = [&](Drosa from) {
    Drosa p = from;
    for (; p && p != start; p = p->xnext) {
      if (effective_kind(p) != LINE) continue;
      if (is_open_line(p)) {
        if (Drosa end = line_end_after(p, NIL, nullptr, nullptr)) open.lines.emplace_back(p, end);
      } else if (p->get(xline_ord) == LINE_END) {
        std::erase_if(open.lines,
                      [p](const std::pair<Drosa, Drosa>& line) { return line.second == p; });
      }
    }
    return p == start;
  };
  if (start == page_start[v] || open.page_start != page_start[v] || !open.walked_to) begin_page();
  bool reached = walk_to_system(open.walked_to);
  if (!reached) {  // the system is not after where the list was left: from the page's start
    begin_page();
    reached = walk_to_system(open.page_start);
  }
  open.walked_to = reached ? start : NIL;
  return open.lines;
}

// The mid-line marks of the lines that cross the system whole: a mark before each voice's
// first note of the system for every line begun before the system and ended after it.
void insert_midline_marks() {
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (voice_not_shown(v) || voice_list_empty(v)) continue;
    const std::vector<std::pair<Drosa, Drosa>>& lines = lines_into_system(v);
    Drosa first = NIL;
    for (Drosa p = voice_data[v].system_start; p && p != voice_data[v].system_end; p = p->xnext)
      if (is_visible_note(p)) {
        first = p;
        break;
      }
    if (!first) continue;
    for (const auto& line : lines)
      if (is_open_line(line.first) && layout_lines(line.first, first))
        insert_resizing(line.first, first);
  }
}

// In a view other than the Score, an annotation duplicated in every part stands before the
// same time in every voice: it is drawn only for the voice printed first.
struct EveryPart {
  bool active = false;
  int voice = -1;
  bool skips(Drosa head, Drosa note) const {
    if (!active || voice < 0) return false;
    const bool duplicated =
        head->xkind == TPARAM ? head->get(xeverypart) != 0 : head->get(xline_everypart) != 0;
    return duplicated && note->get(xvoice) != voice;
  }
};

EveryPart every_part_filter() {
  EveryPart e;
  e.active = current_ncontext != 1;
  if (!e.active) return e;
  for (int layer = 0; layer < LAYERS && e.voice < 0; ++layer)
    if (Drosa n = chain_first(first_staff(), layer)) e.voice = n->get(xvoice);
  return e;
}

// Every staff chord of the system's printed staves with the heads before its notes, walked once
// for the passes that change no list: the chords of notes[chords[i]..chords[i + 1]), the heads
// of notes[n] at heads[first_head[n]..first_head[n + 1]).
struct SystemChords {
  std::vector<uint32_t> chords;
  std::vector<int> pstaff, layer;  // by chord
  std::vector<Drosa> notes;
  std::vector<uint32_t> first_head;
  std::vector<Drosa> heads;
  // Calls visit(note, pstaff, head) for every head, chord by chord.
  template <typename Visit>
  void each_head(Visit visit) const {
    for (size_t c = 0; c + 1 < chords.size(); ++c)
      for (uint32_t n = chords[c]; n < chords[c + 1]; ++n)
        for (uint32_t h = first_head[n]; h < first_head[n + 1]; ++h)
          visit(notes[n], pstaff[c], heads[h]);
  }
};

// The drawing after it asks for interruptions, chord by chord.
void gather_chords(SystemChords& system) {
  for_each_chord(
      [&](const ChordVisit& chord) {
        system.chords.push_back(uint32_t(system.notes.size()));
        system.pstaff.push_back(chord.pstaff);
        system.layer.push_back(chord.layer);
        for (Drosa note : chord.notes) {
          system.notes.push_back(note);
          system.first_head.push_back(uint32_t(system.heads.size()));
          add_heads_before(note, system.heads);
        }
      },
      false);
  system.chords.push_back(uint32_t(system.notes.size()));
  system.first_head.push_back(uint32_t(system.heads.size()));
}

// The pending reference requests of the system's texts are folded in before any of it is
// drawn: a text then finds the texts of later chords at the heights they will be drawn at.
void resolve_requests(const SystemChords& system) {
  system.each_head([](Drosa note, int pstaff, Drosa head) {
    if (head->xkind == TPARAM && !head->get(xeocvar) && node_byte(head, 33) != 0)
      resolve_text_requests(head, note, pstaff);
  });
}

// The lyric lines of every staff of the system, each at one height (lyric_line_y).
void place_lyric_lines(const SystemChords& system) {
  lyric_line_y.clear();
  std::map<int, std::vector<LyricSyllable>> by_staff;
  system.each_head([&](Drosa note, int chord_pstaff, Drosa head) {
    LyricSyllable s;
    int pstaff = chord_pstaff;
    if (lyric_syllable(head, note, chord_pstaff, &s, &pstaff)) by_staff[pstaff].push_back(s);
  });
  std::vector<int> pstaves;
  for (const auto& [pstaff, syllables] : by_staff) pstaves.push_back(pstaff);
  std::map<int, StaffFloor> floors = staff_floors(pstaves);
  for (auto& [pstaff, syllables] : by_staff) {
    lyric_line_heights(syllables, floors[pstaff]);
    for (const LyricSyllable& s : syllables) lyric_line_y[s.tparam.handle()] = s.drawn_y;
    record_lyric_lines(pstaff, syllables);
  }
}

// The system's first staff's top line and last staff's bottom line, which drawing annotations
// does not move.
struct SystemLines {
  int32_t top, bottom;
};

// `heads`: room for the heads of a note, kept from chord to chord.
void draw_chord_annos(const ChordVisit& chord, int lead_extender, const EveryPart& every,
                      SystemEndings& endings, std::vector<Drosa>& heads, SystemLines lines) {
  for (Drosa note : chord.notes) {
    heads.clear();
    add_heads_before(note, heads);
    for (Drosa head : heads) {
      if (every.skips(head, note)) continue;
      if (ending_defers(endings, head, note, chord.pstaff)) continue;
      if (head->xkind == TPARAM) {
        anno_refers_to_GE |= head->get(xeocvar);
        if (head->get(xeocvar)) continue;
        Drosa before = GE_tail;
        drawtext(head, note, chord.pstaff, 1, lead_extender);
        end_hairpins_before(head, before);
        keep_mark_apart(head, note, before);
        ending_note_drawn(endings, head, before);
        continue;
      }
      anno_refers_to_GE |= head->get(xline_eocvar);
      if (head->get(xline_eocvar)) continue;
      if (layout_hairpins(head, note, chord.pstaff)) {
        // Drawn clear of the marks before it, its stored start kept.
        const HairpinRoom room = hairpin_beside_hairpins(
            head, note, chord.pstaff, hairpin_start_past_marks(head, note, chord.pstaff));
        const int32_t start = head->get(xstartx), length = head->get(xendx);
        const bool moved = room.shift || room.cut;
        if (moved)
          head->set(xstartx, start + room.shift), head->set(xendx, length - room.shift - room.cut);
        Drosa before = GE_tail;
        draw_LINE(head, note, chord.pstaff, 1);
        if (moved) head->set(xstartx, start), head->set(xendx, length);
        keep_mark_apart(head, note, before);
      }
      if (head->get(xline_ord) == LINE_MIDDLE) check_PDATA_after_MIDLINE(&head);
    }
  }
  Drosa cd = last_note_cddata(chord.notes.back());
  if (!cd) return;
  cd->set(xprehiy, lines.top);
  cd->set(xpreloy, lines.bottom);
}

// ---- The hyphen pass ------------------------------------------------------------------------

// A head of a text that draws centred hyphens after its syllable, with its PDATA.
bool hyphenated(Drosa head, Drosa note) {
  if (head->xkind != TPARAM || head->get(xadjacent)) return false;
  Drosa pd = head->xnext;
  if (!pd || pd->xkind != PDATA || pd->get(xchyphen) == 0) return false;
  return pd->get(xpagex2) != NOT_DRAWN && hidden_text_where(head, note) != -1;
}

// The left end of the first syllable at height y in the chords after `next`, in the layer:
// the system's right end when there is none.
int32_t next_syllable_x(Drosa next, int32_t y) {
  for (Drosa first = next; first;) {
    for (Drosa note : chord_from(first, &first)) {
      if (MODE == TEXT_MODE && note == insertion_point) return note_ntdata(note)->get(xhdx);
      for (Drosa head : heads_before(note)) {
        Drosa pd = head->xkind == TPARAM ? head->xnext : NIL;
        if (!pd || pd->xkind != PDATA || pd->get(xpagex1) == NOT_DRAWN) continue;
        if (std::abs(int64_t(pd->get(xpagey1)) - y) <= HYPHEN_HEIGHT_TOLERANCE)
          return pd->get(xpagex1);
      }
    }
  }
  return staff_right_x(first_staff(), current_page);
}

void draw_hyphens(Drosa head, Drosa note, Drosa next, int pstaff) {
  Drosa pd = head->xnext;
  const int32_t start = pd->get(xpagex2), y = pd->get(xpagey1);
  const int64_t d = int64_t(next_syllable_x(next, y)) - start;
  const int32_t p =
      param_length(P_CENTERED_HYPHENS_MAXIMUM_DISTANCE_FOR_EACH_HYPHEN, note, nullptr);
  // No distance to divide by: one hyphen in the middle of the gap.
  const int64_t n = p > 0 ? d / p : 0;
  const int64_t half = pd->get(xchyphen) / 2;
  const int where = hidden_text_where(head, note);
  for (int64_t k = 1; k <= n + 1; ++k) {
    const int64_t x = start + k * d / (n + 2) - half;
    GEstring(head->get(xtext_drawmode), int32_t(x), y, 0, 0, pstaff,
             font_from_code(head->get(xtextfont)), head->get(xcharset),
             note_text_offset(note, head, head), head->get(xtextface), head->get(xtext_color), "-",
             head->get(xpslayout), where, note, head);
  }
}

}  // namespace

int32_t draw_voice_annos() {
  anno_refers_to_GE = 0;
  anno_hyphens_pending = 0;
  if (pstaff_count <= 0 || first_pstaff < 0) return 1;
  insert_midline_marks();
  begin_marks_apart();
  add_curve_marks();
  SystemChords system;
  gather_chords(system);
  resolve_requests(system);
  place_lyric_lines(system);
  const EveryPart every = every_part_filter();
  int previous_layer = -1, previous_staff = -1;
  SystemEndings endings;
  // The chords as gathered: drawing changes annotations, not the print chains.
  bool done = true;
  ChordVisit chord;
  std::vector<Drosa> heads;
  const SystemLines lines{staff_top_y(first_staff(), 0), staff_bottom_y(last_staff(), 0)};
  for (size_t c = 0; c + 1 < system.chords.size(); ++c) {
    if (format_interrupted()) {
      done = false;
      break;
    }
    chord.notes.assign(system.notes.begin() + system.chords[c],
                       system.notes.begin() + system.chords[c + 1]);
    chord.pstaff = system.pstaff[c];
    chord.layer = system.layer[c];
    // A leading extender is drawn only at the first chord of each layer on the system.
    const bool first = chord.layer != previous_layer || chord.pstaff != previous_staff;
    previous_layer = chord.layer;
    previous_staff = chord.pstaff;
    draw_chord_annos(chord, first ? 1 : 0, every, endings, heads, lines);
  }
  // Endings over all the rest (their mid-line marks go once drawn, interrupted or not).
  draw_system_endings(endings);
  return done ? 1 : 0;
}

int32_t draw_pstaff_texts() {
  if (!anno_hyphens_pending) return 1;
  return for_each_chord([](const ChordVisit& chord) {
    Drosa next = NIL;
    chord_from(chord.notes.front(), &next);
    for (Drosa note : chord.notes)
      for (Drosa head : heads_before(note))
        if (hyphenated(head, note)) draw_hyphens(head, note, next, chord.pstaff);
  })
             ? 1
             : 0;
}

int32_t draw_pstaff_annos() {
  if (!anno_refers_to_GE) return 1;
  return for_each_chord([](const ChordVisit& chord) {
    for (Drosa note : chord.notes) {
      for (Drosa head : heads_before(note)) {
        if (head->xkind == TPARAM && head->get(xeocvar))
          drawtext(head, note, chord.pstaff, 1, 0);
        else if (head->xkind == LINE && head->get(xline_eocvar))
          draw_LINE(head, note, chord.pstaff, 1);
      }
    }
  })
             ? 1
             : 0;
}

// ---- Annotations standing for elements ------------------------------------------------------

namespace {

// The ordinal-th element of the variety drawn for the note; NIL when there is none.
Drosa find_element(Drosa note, int variety, int ordinal) {
  if (!GE_head) return NIL;
  bool owned = false;
  int32_t steps = 0;
  for (Drosa e = GE_head->xnext; e && steps <= total_Drosa_count; e = e->xnext, ++steps) {
    if (e->xkind == NOTEPTR) {
      owned = e->get(xnoteptr) == note;
      continue;
    }
    if (!owned || e->get(xgscreen) || GE_var(e) != variety) continue;
    if (--ordinal == 0) return e;
  }
  return NIL;
}

bool selected(Drosa anno) {
  Drosa pd = anno->xnext;
  return pd && pd->xkind == PDATA && pd->get(xanno_selected);
}

// A stale or redundant annotation found while the page is drawn goes with the step of the
// edit that made it so: an empty step begun since is given up first, so that no Undo of its
// own is left for it.
int unbind(Drosa* anno) {
  drop_last_mark();
  *anno = delete_anno_nodes(*anno);
  return 0;
}

}  // namespace

int find_obj(Drosa* anno, Drosa note) {
  Drosa a = *anno;
  const int kind = a ? effective_kind(a) : NA;
  if (kind != TPARAM && kind != LINE) {
    REPORT_ERROR(4, "Bad Drosa node for find_obj!");
    return a ? unbind(anno) : 0;
  }
  const int variety = kind == TPARAM ? a->get(xeocvar) : a->get(xline_eocvar);
  const int ordinal = kind == TPARAM ? a->get(xeocord) : a->get(xline_ord);
  if (variety == 0) REPORT_ERROR(4, "Bad variety value in find_obj!");
  if (ordinal == 0) REPORT_ERROR(4, "Bad ordinal value in find_obj!");
  if (!a->xnext || a->xnext->xkind != PDATA) {
    REPORT_ERROR(4, "No PDATA node in find_obj!");
    return unbind(anno);
  }
  Drosa target = ordinal > 0 ? find_element(note, variety, ordinal) : NIL;
  if (!target) return unbind(anno);
  if (a != current_anno && !selected(a) && GE_matches_Drosa(target, a)) return unbind(anno);
  mark_string_chain(target);
  return 1;
}

void mark_string_chain(Drosa ge) {
  if (!ge) return;
  ge->set(xgremove, 1);
  Drosa p = ge->xback;
  for (; p && p->xkind == GE_STRING; p = p->xback) p->set(xgremove, 1);
  if (!p || p->xkind == NOTEPTR || !p->get(xgscreen)) return;
  p->set(xgremove, 1);
  for (Drosa q = p->xback; q && q->xkind == GE_STRING; q = q->xback) q->set(xgremove, 1);
}

int32_t anno_note_extent_y(Drosa note, int pstaff, int side) {
  Drosa nt = note_ntdata(note);
  Drosa cd = nt ? cddatptr(note, 1) : NIL;
  const int stem = nt ? nt->get(xstmdir) : 0;
  if (side == 0) {
    Drosa cd2 = cd ? cd->xnext : NIL;
    const bool shared =
        cd && cd->get(xoppos) && !(cd2 && cd2->xkind == CDDATA2 && cd2->get(xopposhide));
    side = shared && stem == STEM_DOWN ? -1 : 1;
  }
  if (nt && nt->get(xother_staff)) pstaff += stem == STEM_UP ? -1 : 1;
  pstaff = std::clamp(pstaff, 0, std::max(0, std::min<int>(pstaff_count, MAX_PSTAVES) - 1));
  const int32_t space = param_length(P_SPACE_LEFT_BETWEEN_FERMATA_ORNAMENT_AND_NOTE, note, nullptr);
  // A chord whose extents were never set is reached only by the staff's lines.
  if (side > 0) {
    int32_t top = staff_top_y(pstaff, 0);
    if (cd && std::max(get_hiy(cd, STEM_UP), get_hiy(cd, STEM_DOWN)) != EXTENT_HIGH_START)
      top = std::max(top, get_max_hiy(cd));
    return top + space;
  }
  int32_t bottom = staff_bottom_y(pstaff, 0);
  if (cd && std::min(get_loy(cd, STEM_UP), get_loy(cd, STEM_DOWN)) != EXTENT_LOW_START)
    bottom = std::min(bottom, get_min_loy(cd));
  return bottom -
         (space + param_length(P_SPACE_GIVEN_FOR_HEIGHT_OF_FERMATA_ORNAMENT, note, nullptr));
}
