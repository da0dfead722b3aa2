// slurs.cpp: ties and slurs of a system, and what goes on across its end.
//
// Ties: a tied note pushes an entry on the tie stack; a later note of the same pstaff and
// layer at the entry's end time, standing at the tied note's place in its chord, ends it and
// the curve is drawn. Entries left at the system's end are drawn to its right edge and written
// as bytes into their voice's ending ENDSYST (five a side), from which the next system starts
// them again at its left edge, matched there by diatonic position.
//
// Slurs: a note's slur mark carries a slur on to the next chord; a run of marked chords is one
// slur, from the first of them to the first chord after them without a mark. The slur buffer
// holds per pstaff, layer, side and grace kind the slur that is open; it is opened or carried
// on at the end of each stem group, ended where no mark carries it on, and what is open at the
// system's end goes on into the next system through the slur flags of the ending ENDSYST.
#include "layout/slurs.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "layout/format.h"
#include "layout/gliss.h"
#include "layout/layout_fields.h"
#include "layout/layout_records.h"
#include "layout/layout_services.h"
#include "layout/setprint.h"
#include "params/param_services.h"

const NodeField* const slur_flag_fields[] = {
    &xsys_slurup,       &xsys_slurdown,       &xsys_dash_slurup, &xsys_dash_slurdown,
    &xsys_crawl_slurup, &xsys_crawl_slurdown, &xsys_bend_slurup, &xsys_bend_slurdown,
};
const int slur_flag_field_count = sizeof slur_flag_fields / sizeof slur_flag_fields[0];

namespace {

constexpr int TIE_HAS_Y = 1;  // TieEntry flags: the entry's y is set
constexpr int TIES_PER_SIDE = 5;

int stem(Drosa note) { return note_ntdata(note)->get(xstmdir); }
int32_t head_x(Drosa note) { return note_ntdata(note)->get(xhdx); }
int32_t head_y(Drosa note) { return note_ntdata(note)->get(xhdy); }
int32_t chord_time(Drosa cd) { return cd->xnext->get(xswholec); }
bool valid_pstaff(int p) { return p >= 0 && p < MAX_PSTAVES; }

bool is_guitar_tab(Drosa note) { return note_ntdata(note)->get(xtabtyp) == 1; }

// The highest and lowest y of a chord: its extents as widened so far, and never inside its
// heads (a chord not drawn yet has only its heads).
int32_t chord_top(Drosa cd, int32_t extent) {
  int32_t top = extent;
  for (Drosa n : chord_notes(cd))
    top = std::max(top, head_y(n) + param_length(P_NOTE_HEAD_HEIGHT, n));
  return top;
}

int32_t chord_bottom(Drosa cd, int32_t extent) {
  int32_t bottom = extent;
  for (Drosa n : chord_notes(cd)) bottom = std::min(bottom, head_y(n));
  return bottom;
}

Drosa tsmod_of(Drosa note) { return attached_to_note(TSMOD, note); }

// ---- The ENDSYST of a voice's system ---------------------------------------------------------

Drosa system_end(int voice) {
  if (voice < 0 || voice >= MAX_VOICES) return NIL;
  Drosa end = voice_data[voice].system_end;
  return end && end->xkind == ENDSYST ? end : NIL;
}

Drosa system_start(int voice) {
  Drosa start = voice_data[voice].system_start;
  return start && start->xkind == ENDSYST ? start : NIL;
}

// The first note of the voice in the system's chains, with its pstaff and layer.
Drosa first_chained_note(int voice, int* pstaff, int* layer) {
  Drosa end = voice_data[voice].system_end;
  for (Drosa p = voice_data[voice].system_start; p && p != end; p = p->xnext) {
    if (!is_visible_note(p)) continue;
    Drosa cd = cddatptr(p, 1);
    if (!cd) return NIL;
    Drosa cd3 = cd->xnext->xnext;
    *pstaff = cd3->get(xpstaff);
    *layer = cd3->get(xcdlayer);
    return valid_pstaff(*pstaff) && *layer < LAYERS ? p : NIL;
  }
  return NIL;
}

bool voice_in_system(int v) { return !voice_not_shown(v) && !voice_list_empty(v); }

}  // namespace

// ---- Slur flags of the ending ENDSYST ---------------------------------------------------------

void clear_staff_slur_flags(int voice, int side) {
  Drosa end = system_end(voice);
  if (!end) return;
  if (side != 1) {
    for (const auto* f : {&xsys_slurup, &xsys_dash_slurup, &xsys_crawl_slurup, &xsys_bend_slurup})
      end->set(*f, 0);
  }
  if (side != 2) {
    for (const auto* f :
         {&xsys_slurdown, &xsys_dash_slurdown, &xsys_crawl_slurdown, &xsys_bend_slurdown})
      end->set(*f, 0);
  }
}

void set_staff_slur_flags(int voice, int side, int dashed, int crawl, int bend) {
  Drosa end = system_end(voice);
  if (!end) return;
  bool up = side == 2;
  end->set(up ? xsys_slurup : xsys_slurdown, 1);
  end->set(up ? xsys_dash_slurup : xsys_dash_slurdown, dashed ? 1 : 0);
  end->set(up ? xsys_crawl_slurup : xsys_crawl_slurdown, crawl ? 1 : 0);
  end->set(up ? xsys_bend_slurup : xsys_bend_slurdown, bend ? 1 : 0);
}

// ---- The tie stack ------------------------------------------------------------------------------

void tie_stack_push(const TieEntry& entry) {
  if (tie_count >= TIE_STACK_SIZE) tie_count = TIE_STACK_SIZE - 1;
  tie_struct[tie_count++] = entry;
}

int tie_stack_pop(TieEntry* entry) {
  if (tie_count <= 0) return 0;
  *entry = tie_struct[--tie_count];
  return 1;
}

void tie_stack_remove(int i) {
  if (i < 0 || i >= tie_count) return;
  TieEntry top;
  tie_stack_pop(&top);
  if (i < tie_count) tie_struct[i] = top;
}

// ---- Tie and slur ends ------------------------------------------------------------------------

namespace {

// The side of a note's tie: above or below as asked; either way, with another stem direction
// on the staff the stem's side, else by the note's place among the chord's heads: the lower
// half below, the upper half above, the middle note away from its stem.
int tie_side(Drosa note, Drosa cd) {
  int asked = note->get(xtie);
  if (asked == 1 || asked == 2) return asked;
  if (cd && cd->get(xoppos)) return stem(note) == 1 ? 1 : 2;
  int n = 0, rank = 0;
  for (Drosa other : chord_notes(note)) {
    if (other->get(xrest)) continue;
    ++n;
    if (other->get(xmod7) < note->get(xmod7)) ++rank;
  }
  if (2 * rank < n - 1) return 1;
  if (2 * rank > n - 1) return 2;
  return stem(note) == 2 ? 1 : 2;
}

}  // namespace

int32_t tie_end_y(Drosa note, int side, int pstaff) {
  const int32_t clear = param_length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_STAFF_LINE, note);
  const int32_t height = param_length(P_NOTE_HEAD_HEIGHT, note);
  const StaffData& staff = staff_data[std::clamp(pstaff, 0, MAX_PSTAVES - 1)];
  const int32_t size = std::max<int32_t>(staff.staff_size, 1);
  int32_t y = side == 2 ? head_y(note) + height + clear : head_y(note) - clear;
  // Below a second whose upper note is tied below too, the lower tie keeps a step away.
  if (side == 1) {
    Drosa cd = cddatptr(note, 1);
    for (Drosa other : chord_notes(note))
      if (other != note && !other->get(xrest) && other->get(xtie) &&
          other->get(xmod7) == note->get(xmod7) + 1 && tie_side(other, cd) == 1)
        y -= size / 2;
  }
  // Within the staff, an end closer than parameter 210 to a line moves off it, away from the
  // head.
  const int32_t bottom = staff_bottom_y(pstaff, 0), top = staff_top_y(pstaff, 0);
  if (y > bottom - clear && y < top + clear) {
    int32_t from_line = ((y - bottom) % size + size) % size;
    if (side == 2 && (from_line < clear || size - from_line < clear))
      y += from_line < clear ? clear - from_line : size - from_line + clear;
    else if (side != 2 && (from_line < clear || size - from_line < clear))
      y -= from_line < clear ? from_line + clear : clear - (size - from_line);
  }
  return y;
}

bool slur_end_candidate(Drosa note, int side, int flip) {
  Drosa nt = note_ntdata(note);
  if (!nt || note->get(xrest) || note->get(xnostem) || note->get(xlgval) < 2) return false;
  const int want = flip ? 3 - side : side;
  return nt->get(xstmdir) == want && nt->get(xtabtyp) != 2;
}

int32_t slur_end_y(Drosa note, int side, int flipped) {
  Drosa cd = cddatptr(note, 1);
  if (!cd) return head_y(note);
  const int32_t p = param_length(P_SPACE_LEFT_BETWEEN_SLUR_END_AND_NOTEHEAD, note);
  if (flipped) {
    if (side == 1) return chord_top(cd, cd->get(xdownhiy)) + p;
    return chord_bottom(cd, cd->get(xuploy)) - p;
  }
  if (side == 2) return chord_top(cd, std::max(cd->get(xuphiy), cd->get(xdownhiy))) + p;
  return chord_bottom(cd, std::min(cd->get(xuploy), cd->get(xdownloy))) - p;
}

int32_t slur_end_extent(Drosa note, int side, int flipped, int32_t y) {
  Drosa cd = cddatptr(note, 1);
  if (!cd || !slur_end_candidate(note, side, flipped)) return 0;
  const int32_t p = param_length(P_SPACE_LEFT_BETWEEN_SLUR_END_AND_NOTEHEAD, note);
  const int drawn = flipped ? 3 - side : side;
  const int32_t beside =
      drawn == 2 ? chord_top(cd, EXTENT_HIGH_START) + p : chord_bottom(cd, EXTENT_LOW_START) - p;
  return beside - y;
}

namespace {

// A chord with stems down in the slur's run: the chord of the note, the chords after it that
// carry the slur on, and the chord where it ends.
bool stems_down_in_run(Drosa note, bool grace) {
  Drosa n = chord_first_note(note);
  bool carried = true;
  while (note_ntdata(n) && carried) {
    carried = false;
    for (; note_ntdata(n); n = chain_next(n)) {
      if (stem(n) == 1) return true;
      if (n->get(xslur) && n->get(xgrace) == grace) carried = true;
      if (note_ntdata(n)->get(xendscd)) break;
    }
    n = chain_next(n);
  }
  return false;
}

}  // namespace

Drosa slur_side(Drosa note, int requested, int pstaff, int layer, SlurWork* rec) {
  Drosa cd = cddatptr(note, 1);
  Drosa looked_at = cd;
  const bool grace = note->get(xgrace);
  Drosa normal = NIL;
  if (grace) {
    normal = chain_next(chord_last_note(note));
    while (note_ntdata(normal) && normal->get(xgrace)) normal = chain_next(chord_last_note(normal));
    if (note_ntdata(normal)) looked_at = cddatptr(normal, 1);
  }
  int side;
  if (requested == 1 || requested == 2)
    side = requested;
  else if (!looked_at || !looked_at->get(xoppos))
    side =
        slur_buffer[pstaff][layer][1][grace].first_note || stems_down_in_run(note, grace) ? 2 : 1;
  else
    side = stem(note) == 1 ? 1 : 2;
  rec->flipped = false;
  if (grace && note_ntdata(normal) && looked_at && looked_at->get(xoppos) && stem(normal) != side) {
    side = stem(note) == 1 ? 1 : 2;
    rec->flipped = true;
  }
  rec->side = side;
  return cd;
}

void slurdata(Drosa note, int pstaff, int layer, int side, int grace, const SlurWork* rec) {
  if (!note) {
    REPORT_ERROR(4, "slurdata() has NIL slurnote");
    return;
  }
  SlurEntry& e = slur_buffer[pstaff][layer][side == 2][grace ? 1 : 0];
  Drosa cd = cddatptr(note, 1);
  const int32_t y = slur_end_y(note, side, rec->flipped);
  if (e.first_note) {
    e.chord = cd;
    e.voice = note->get(xvoice);
    return;
  }
  int32_t x =
      head_x(note) + slur_end_xoffset(note, slur_end_candidate(note, side, rec->flipped), side);
  if (rec->hang_left) x -= param_length(P_LENGTH_OF_SLUR_WITH_HANG_LEFT_SELECTED, note);
  e = SlurEntry{};
  e.first_note = note;
  e.chord = cd;
  e.start_x = x;
  e.start_y = y;
  e.extent = slur_end_extent(note, side, rec->flipped, y);
  e.voice = note->get(xvoice);
  e.pstaff = layout_hooks.side_pstaff_of_note(note, side, pstaff);
  e.flip = rec->flipped;
  e.dashed = rec->dashed;
  e.crawl = rec->crawl;
  e.bend = rec->bend;
  if (cd && !rec->hang_left && !rec->hang_right && !rec->one_sided) {
    const int32_t marks =
        param_length(P_EXTRA_SPACE_BETWEEN_SLUR_END_AND_ACCENT_FERMATA_SYMBOLS, note);
    if (side == 1)
      set_min_loy(cd, stem(note), y - marks);
    else
      set_max_hiy(cd, stem(note), y + marks);
  }
}

void endchord_slur_dir(Drosa note, int pstaff, int layer, int side, int grace, const SlurWork* rec,
                       int note_pstaff) {
  if (side != 1 && side != 2) {
    REPORT_ERROR(4, "Slur direction confusion in endchord.");
    return;
  }
  SlurEntry& e = slur_buffer[pstaff][layer][side - 1][grace ? 1 : 0];
  if (!e.first_note) return;
  Drosa cd = cddatptr(note, 1);
  const int32_t y = slur_end_y(note, side, e.flip);
  const int32_t extent = slur_end_extent(note, side, e.flip, y);
  int32_t x = head_x(note) + slur_end_xoffset(note, slur_end_candidate(note, side, e.flip), side);
  if (rec && rec->hang_right) x += param_length(P_LENGTH_OF_SLUR_WITH_HANG_RIGHT_SELECTED, note);
  e.end_pstaff =
      layout_hooks.side_pstaff_of_note(note, side, note_pstaff >= 0 ? note_pstaff : pstaff);
  e.end_note = note_pstaff >= 0 && note_pstaff != pstaff ? note : NIL;
  // The room is kept beyond the curve as drawn (it may have been lifted over the chords
  // under it), after it is drawn: the curve clears the chord as it was.
  const int32_t drawn =
      layout_hooks.drawtie(x, y, extent, 0, side, grace ? 1 : 0, pstaff, layer, cd);
  if (cd && !(rec && (rec->hang_left || rec->hang_right || rec->one_sided))) {
    const int32_t marks =
        param_length(P_EXTRA_SPACE_BETWEEN_SLUR_END_AND_ACCENT_FERMATA_SYMBOLS, note);
    if (side == 1)
      set_min_loy(cd, stem(note), std::min(y, drawn) - marks);
    else
      set_max_hiy(cd, stem(note), std::max(y, drawn) + marks);
  }
}

// ---- The pass ---------------------------------------------------------------------------------

namespace {

// Step 1: the slurs the voices' starting ENDSYSTs carry on into the system are opened at the
// first chord of the voice's layer, their start y left for the end to give.
void reopen_slurs() {
  for (int v = 0; v < voice_count; ++v) {
    if (!voice_in_system(v) || !system_start(v)) continue;
    Drosa start = system_start(v);
    if (!start->get(xsys_slurup) && !start->get(xsys_slurdown)) continue;
    int pstaff, layer;
    Drosa first = first_chained_note(v, &pstaff, &layer);
    if (!first) continue;
    for (int side : {1, 2}) {
      const bool up = side == 2;
      if (!start->get(up ? xsys_slurup : xsys_slurdown)) continue;
      Drosa chord_first = chain_next(staff_data[pstaff].ppnt[layer]);
      SlurEntry& e = slur_buffer[pstaff][layer][side - 1][0];
      e = SlurEntry{};
      e.first_note = note_ntdata(chord_first) ? chord_last_note(chord_first) : first;
      e.chord = cddatptr(e.first_note, 1);
      e.start_y = SLUR_Y_UNSET;
      e.voice = v;
      e.pstaff = pstaff;
      e.dashed = start->get(up ? xsys_dash_slurup : xsys_dash_slurdown);
      e.crawl = start->get(up ? xsys_crawl_slurup : xsys_crawl_slurdown);
      e.bend = start->get(up ? xsys_bend_slurup : xsys_bend_slurdown);
    }
  }
}

// Step 2: the ties the voices' starting ENDSYSTs carry on, waiting at the system's left edge
// for the first note at their diatonic position.
void reopen_ties() {
  tie_count = 0;
  for (int v = 0; v < voice_count; ++v) {
    if (!voice_in_system(v) || !system_start(v)) continue;
    Drosa start = system_start(v);
    if (!start->get(xsys_tieup, 0) && !start->get(xsys_tiedown, 0)) continue;
    int pstaff, layer;
    if (!first_chained_note(v, &pstaff, &layer)) continue;
    const int32_t x = onto_system_x(pstaff);
    for (int side : {1, 2}) {
      for (int i = 0; i < TIES_PER_SIDE; ++i) {
        uint8_t byte = start->get(side == 2 ? xsys_tieup : xsys_tiedown, i);
        if (!byte) continue;
        TieEntry t{};
        t.pstaff = pstaff;
        t.layer = layer;
        t.side = side;
        t.start_x = t.alt_start_x = x;
        t.position = byte & 0x7F;
        t.dashed = byte >> 7;
        t.voice = v;
        tie_stack_push(t);
      }
    }
  }
}

// The box of a tablature note's fret number.
VirtualRect fret_box(Drosa note) {
  VirtualRect box;
  int32_t x;
  layout_hooks.draw_tab_fret(note, &box, &x);
  return box;
}

// The x at which a tie ends before a note, and after it where one starts.
int32_t tie_end_x(Drosa note) { return is_guitar_tab(note) ? fret_box(note).x1 : head_x(note); }

int32_t tie_start_x(Drosa note) {
  return is_guitar_tab(note) ? fret_box(note).x2 : head_x(note) + hdw(note, 0);
}

// Whether a note of the chord belongs to the voice and stands at the position.
bool chord_holds(Drosa note, int voice, int position) {
  for (Drosa n : chord_notes(note))
    if (!n->get(xrest) && n->get(xvoice) == voice && n->get(xmod7) == position) return true;
  return false;
}

// Whether the tie ends at the note: the note of the tied note's voice at its position; without
// one in the chord, the note at the tied note's place in the next chord.
bool tie_ends_at(const TieEntry& t, Drosa note) {
  if (note->get(xvoice) == t.voice && note->get(xmod7) == t.position) return true;
  return t.start && !chord_holds(note, t.voice, t.position) &&
         count_earlier_in_chord(t.start, xtie) == note;
}

bool ties_waiting(int pstaff, int layer) {
  for (int i = 0; i < tie_count; ++i)
    if (tie_struct[i].pstaff == pstaff && tie_struct[i].layer == layer) return true;
  return false;
}

// Step 3.3: the tie that ends at the note, drawn; ties whose end has passed are dropped.
void end_ties(Drosa note, Drosa cd, int pstaff, int layer) {
  const int32_t time = chord_time(cd);
  for (int i = tie_count - 1; i >= 0; --i) {
    const TieEntry t = tie_struct[i];
    if (t.pstaff != pstaff || t.layer != layer) continue;
    if (t.end_time < time - TIME_TOLERANCE) {
      tie_stack_remove(i);
      continue;
    }
    if (std::abs(t.end_time - time) > TIME_TOLERANCE) continue;
    if (!tie_ends_at(t, note)) continue;
    const int32_t y = t.flags & TIE_HAS_Y ? t.y : tie_end_y(note, t.side, pstaff);
    layout_hooks.draw_bendtie(t.start_x, y, tie_end_x(note), t.start, cd, t.bend, t.dashed, t.side,
                              pstaff);
    tie_stack_remove(i);
    return;
  }
}

// Step 3.4: a tied note starts a tie, unless the next note of its chord repeats it.
void start_tie(Drosa note, Drosa cd, int pstaff, int layer) {
  Drosa nt = note_ntdata(note);
  if (!nt->get(xendscd)) {
    Drosa next = chain_next(note);
    if (note_ntdata(next) && next->get(xtie) && stem(next) == stem(note) &&
        head_y(next) == head_y(note) && head_x(next) == head_x(note))
      return;
  }
  const int side = tie_side(note, cd);
  nt->set(xtieup, side == 2);
  TieEntry t{};
  t.pstaff = pstaff;
  t.layer = layer;
  t.start = note;
  t.side = side;
  t.alt_start_x = tie_start_x(note);
  t.start_x = t.alt_start_x + param_length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, note);
  t.flags = TIE_HAS_Y;
  t.position = note->get(xmod7);
  t.y = tie_end_y(note, side, pstaff);
  t.dashed = note->get(xdashtie);
  t.voice = note->get(xvoice);
  t.end_time = chord_time(cd) + note_duration(note, 0);
  t.bend = note->get(xbendtie);
  if (side == 2)
    set_max_hiy(cd, stem(note), t.y);
  else
    set_min_loy(cd, stem(note), t.y);
  Drosa tsmod = tsmod_of(note);
  if (tsmod && tsmod->get(xhangLtie)) {
    // The callee keeps the gap of parameter 211 before the end: each curve is as long as its
    // parameter.
    const int32_t x = tie_end_x(note);
    const int32_t x1 = x - param_length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, note) -
                       param_length(P_LENGTH_OF_TIE_WITH_HANG_LEFT_SELECTED, note);
    layout_hooks.draw_bendtie(x1, t.y, x, note, cd, t.bend, t.dashed, side, pstaff);
  } else if (tsmod && tsmod->get(xhangRtie)) {
    const int32_t x2 = t.start_x + param_length(P_LENGTH_OF_TIE_WITH_HANG_RIGHT_SELECTED, note) +
                       param_length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, note);
    layout_hooks.draw_bendtie(t.start_x, t.y, x2, note, cd, t.bend, t.dashed, side, pstaff);
  } else {
    tie_stack_push(t);
  }
}

// A slur mark of a chord the voice came to from another chain of the system (its notes moved
// to the other staff), when the chord it came from carries the slur: the slur goes on, from
// that chain; it does not begin again here.
bool slur_goes_on_from_elsewhere(Drosa note) {
  const int voice = note->get(xvoice), chain = chord_chain(note);
  const bool grace = note->get(xgrace);
  Drosa p = vchord_first_note(note)->xback;
  for (; p && effective_kind(p) != ENDSYST; p = p->xback)
    if (p->xkind == NOTE && p->get(xvoice) == voice && bool(p->get(xgrace)) == grace) break;
  if (!p || p->xkind != NOTE) return false;
  const int before = chord_chain(p);
  if (before < 0 || before == chain) return false;
  for (Drosa n = vchord_first_note(p); n; n = n->get(xendvcd) ? NIL : n->xnext)
    if (n->xkind == NOTE && n->get(xslur)) return true;
  return false;
}

// Step 3.2: a note's slur marks fill the work records (grace notes the grace one, unless its
// TSMOD swaps them; the TSMOD's additional slur the other one).
void record_slurs(Drosa note, SlurWork work[2]) {
  Drosa tsmod = tsmod_of(note);
  bool grace = note->get(xgrace);
  if (tsmod && tsmod->get(xa_altslursize)) grace = !grace;
  if (int kind = note->get(xslur); kind && !slur_goes_on_from_elsewhere(note)) {
    SlurWork& r = work[grace];
    r = SlurWork{};
    r.note = note;
    r.kind = kind;
    r.dashed = note->get(xdashslur);
    r.crawl = note->get(xcrawlslur);
    r.bend = note->get(xbendslur) || (tsmod && tsmod->get(bendslur));
    if (tsmod) {
      r.hang_left = tsmod->get(xhangLslur);
      r.hang_right = tsmod->get(xhangRslur);
      r.one_sided = tsmod->get(xleftonlyslur);
      r.split = tsmod->get(xsplitslur);
    }
  }
  if (tsmod && tsmod->get(xa_slur)) {
    SlurWork& r = work[!grace];
    r = SlurWork{};
    r.note = note;
    r.kind = tsmod->get(xa_slur);
    r.dashed = tsmod->get(xa_dashslur);
    r.crawl = tsmod->get(xa_crawlslur);
    r.hang_left = tsmod->get(xa_hangLslur);
    r.hang_right = tsmod->get(xa_handRslur);
    r.one_sided = tsmod->get(xa_leftonlyslur);
    r.split = tsmod->get(xa_splitslur);
  }
}

bool starts_after_ends(const SlurWork& r) {
  return r.hang_left || r.hang_right || r.one_sided || r.split;
}

// True when a note of the voice stands in the stem group that ends at last.
bool voice_in_stem_group(int voice, Drosa last) {
  Drosa first, end;
  stem_group_bounds(last, &first, &end);
  for (Drosa n = first; note_ntdata(n); n = chain_next(n)) {
    if (n->get(xvoice) == voice) return true;
    if (n == last) break;
  }
  return false;
}

// Step 3.5: at the last note of a stem group, the slurs of the group. A slur ends at the first
// stem group of its voice that does not carry it on (on a staff shared with the other stem
// direction, the other voice's stem group is not its end).
void stem_group_slurs(Drosa note, int pstaff, int layer, SlurWork work[2]) {
  for (int g = 0; g < 2; ++g)
    if (work[g].note) slur_side(work[g].note, work[g].kind, pstaff, layer, &work[g]);
  bool open = false;
  for (const auto& sides : slur_buffer[pstaff][layer])
    for (const SlurEntry& e : sides) open = open || e.first_note;
  layout_hooks.draw_marks_always(note, pstaff, open);
  bool carried[2][2] = {};  // [side - 1][grace]: started or carried on at this chord
  for (int g = 0; g < 2; ++g) {
    const SlurWork& r = work[g];
    if (!r.note || starts_after_ends(r)) continue;
    slurdata(r.note, pstaff, layer, r.side, g, &r);
    carried[r.side - 1][g] = true;
  }
  const bool grace_chord = note->get(xgrace);
  for (int side : {1, 2})
    for (int g = grace_chord ? 1 : 0; g < 2; ++g) {
      const SlurEntry& e = slur_buffer[pstaff][layer][side - 1][g];
      if (e.first_note && !carried[side - 1][g] && voice_in_stem_group(e.voice, note))
        endchord_slur_dir(note, pstaff, layer, side, g, nullptr);
    }
  for (int g = 0; g < 2; ++g) {
    const SlurWork& r = work[g];
    if (!r.note || !starts_after_ends(r)) continue;
    slurdata(r.note, pstaff, layer, r.side, g, &r);
    if (r.hang_left || r.hang_right) endchord_slur_dir(note, pstaff, layer, r.side, g, &r);
  }
  layout_hooks.draw_marks_sometimes(note, pstaff, open);
  work[0] = work[1] = SlurWork{};
}

bool ends_stem_group(Drosa note) {
  if (note_ntdata(note)->get(xendscd)) return true;
  Drosa next = chain_next(note);
  return !note_ntdata(next) || stem(next) != stem(note);
}

// Step 3: one chain; false when interrupted.
bool walk_chain(int pstaff, int layer) {
  Drosa head = staff_data[pstaff].ppnt[layer];
  SlurWork work[2] = {};
  for (Drosa n = head ? chain_next(head) : NIL; note_ntdata(n); n = chain_next(n)) {
    if (format_interrupted()) return false;
    // The marks of a slur going on past the system's end, set again at its end for the slurs
    // that still do (none may after an edit, or its undoing).
    set_node_byte(n, 46, uint8_t(node_byte(n, 46) & ~3));
    if (n->get(xgliss)) draw_gliss(n, pstaff);
    record_slurs(n, work);
    if (!n->get(xrest) && (n->get(xtie) || ties_waiting(pstaff, layer))) {
      Drosa cd = cddatptr(n, 1);
      if (!cd) continue;
      end_ties(n, cd, pstaff, layer);
      if (n->get(xtie)) start_tie(n, cd, pstaff, layer);
    }
    if (ends_stem_group(n)) stem_group_slurs(n, pstaff, layer, work);
  }
  return true;
}

// The time of the last chord of a pstaff's layer, -1 when the layer is empty.
int32_t last_chord_time(int pstaff, int layer) {
  Drosa last = NIL;
  for (Drosa n = chain_next(staff_data[pstaff].ppnt[layer]); note_ntdata(n); n = chain_next(n))
    last = n;
  Drosa cd = last ? cddatptr(last, 1) : NIL;
  return cd ? chord_time(cd) : -1;
}

// Step 4: ties still waiting are drawn to right_end and written into their voice's ending
// ENDSYST, unless their end lies before the layer's last chord.
void carry_ties(int32_t right_end) {
  for (int v = 0; v < voice_count; ++v) {
    if (voice_not_shown(v)) continue;
    if (Drosa end = system_end(v))
      for (int i = 0; i < TIES_PER_SIDE; ++i) {
        end->set(xsys_tieup, i, 0);
        end->set(xsys_tiedown, i, 0);
      }
  }
  while (tie_count > 0) {
    TieEntry t;
    tie_stack_pop(&t);
    if (last_chord_time(t.pstaff, t.layer) > t.end_time + TIME_TOLERANCE) continue;
    const int32_t x = right_end;
    if (t.flags & TIE_HAS_Y)
      layout_hooks.draw_bendtie(t.start_x, t.y, x, t.start, NIL, t.bend, t.dashed, t.side,
                                t.pstaff);
    Drosa end = system_end(t.voice);
    if (!end) continue;
    const auto& bytes = t.side == 2 ? xsys_tieup : xsys_tiedown;
    for (int i = 0; i < TIES_PER_SIDE; ++i) {
      if (end->get(bytes, i)) continue;
      end->set(bytes, i, uint8_t((t.position & 0x7F) | (t.dashed ? 0x80 : 0)));
      break;
    }
  }
}

// The chord of the voice at which an open slur ends when the voice went on to another staff
// or layer of the system: after the chords that carry the slur on, the first of its voice in
// the system that does not (grace chords end only grace slurs); its last note, or NIL when the
// slur goes on into the next system.
Drosa slur_end_elsewhere(const SlurEntry& e, int grace, int pstaff, int layer, int* end_pstaff) {
  Drosa n = e.first_note;
  while (n && !(n->xkind == NOTE && n->get(xendvcd))) n = n->xnext;  // the first chord's end
  bool carried = false, grace_chord = true;
  for (n = n ? n->xnext : NIL; n && effective_kind(n) != ENDSYST; n = n->xnext) {
    if (n->xkind != NOTE || n->get(xvoice) != e.voice) continue;
    carried |= n->get(xslur) && n->get(xgrace) == grace;
    grace_chord = grace_chord && n->get(xgrace);
    if (!n->get(xendvcd)) continue;
    const bool ends = !carried && (grace || !grace_chord);
    carried = false, grace_chord = true;
    if (!ends) continue;
    const int chain = chord_chain(n);
    if (chain < 0 || chain == pstaff * LAYERS + layer) return NIL;
    *end_pstaff = chain / LAYERS;
    return n;
  }
  return NIL;
}

// Step 4a: slurs still open whose voice ends them on another staff (or layer) of the system
// are drawn to that chord: walked staff by staff, the chord lies beyond their staff's chain,
// and they once ran on to the system's end and into the next system.
void end_slurs_elsewhere(int last) {
  for (int p = first_pstaff; p <= last; ++p)
    for (int layer = 0; layer < LAYERS; ++layer)
      for (int side : {1, 2})
        for (int g = 0; g < 2; ++g) {
          const SlurEntry& e = slur_buffer[p][layer][side - 1][g];
          if (!e.first_note) continue;
          int end_pstaff = p;
          if (Drosa end = slur_end_elsewhere(e, g, p, layer, &end_pstaff))
            endchord_slur_dir(end, p, layer, side, g, nullptr, end_pstaff);
        }
}

}  // namespace

int32_t onto_system_x(int pstaff) {
  const int p = std::clamp(pstaff, 0, MAX_PSTAVES - 1);
  const int32_t first = first_note_x();
  const int32_t after_signs =
      staff_data[p].signs_end_x +
      param_length_at_staff(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, NIL, p);
  if (staff_data[p].signs_end_x > staff_left_x(p, current_page) && after_signs < first)
    return after_signs;
  return first -
         param_length_at_staff(P_TIES_AND_SLURS_ONTO_SYSTEM_EXTEND_THIS_FAR_TO_LEFT, NIL, p);
}

int32_t layout_slurs() {
  slur_pass_first = slur_pass_last = NIL;
  if (!valid_pstaff(first_pstaff) || last_pstaff < first_pstaff) return 1;
  const Drosa before = GE_tail;
  const int last = std::min(last_pstaff, MAX_PSTAVES - 1);
  reopen_slurs();
  reopen_ties();
  for (int p = first_pstaff; p <= last; ++p)
    for (int layer = 0; layer < LAYERS; ++layer)
      if (!walk_chain(p, layer)) return 0;
  end_slurs_elsewhere(last);
  // Every staff of a system ends at the same x. What goes on into the next system ends there:
  // the parameter may end it sooner, never past the staff into the margin.
  const int32_t right_end =
      staff_right_x(first_pstaff, current_page) +
      std::min(0, param_length_at_staff(P_TIES_AND_SLURS_OFF_SYSTEM_EXTEND_THIS_FAR_PAST_STAFF, NIL,
                                        first_pstaff));
  carry_ties(right_end);
  layout_hooks.draw_chord_ties(right_end);
  if (GE_tail != before) {
    slur_pass_first = before ? before->xnext : GE_head;
    slur_pass_last = GE_tail;
  }
  return 1;
}
