// layout_records.cpp: the layout records of the page being formatted: an NTDATA after every
// note, a CDDATA, CDDATA2 and CDDATA3 after the NTDATA of the last note of every staff chord,
// and a PDATA after every annotation; and the accessors of a chord's vertical extents.
//
// Life of the records of one page: remove_ntdata clears away the chord records of the page
// formatted last (in the other-page mode its NTDATA and PDATA too); prepare_layout_nodes
// gives every note and annotation of the page to be formatted a cleared record;
// build_staff_chord makes the chord records while the print chains are built. Layout
// records are never recorded for undo.
//
// Invariants and design notes:
//  - The fields the screen shows (a note's screen position and accidental column, an
//    annotation's screen rectangle and selection) live across formats, so that hit testing
//    works while a reformat runs; everything else starts from zero on each format.
//  - Records are made in context 0, so every notation context sees them; switching
//    contexts removes them all (the whole-piece mode of remove_ntdata).
//  - The copies (NTVIEW, PVIEW) that other views keep of their pages stay where they are;
//    copies of the current view are stale once it formats, and go.
//  - A record that does not stand directly after its owner is stray and is destroyed by
//    prepare_layout_nodes, as are PARAM nodes, which are re-created from their annotations.
//  - The signed end record of a layer (staff_data end_record) says until when the chords
//    closed in that layer sound, and with which stems: + end time for stems down, - for
//    others, 0 when nothing sounds. A chord closed while another still sounds there was
//    stemmed against it by setprint; it extends the record only when it sounds longer.
#include "layout/layout_records.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "model/model_services.h"

namespace {

// A TPARAM that starts a further style run of the annotation before it has no PDATA.
bool is_continuation_run(Drosa tparam) { return tparam->get(xadjacent) != 0; }

bool is_page_end(Drosa node) { return effective_kind(node) == ENDSYST && node->get(xendpage) != 0; }

bool is_layout_record(int kind) {
  return kind == NTDATA || kind == CDDATA || kind == CDDATA2 || kind == CDDATA3 || kind == PDATA;
}

// ---- prepare_layout_nodes ------------------------------------------------------------------

// Each of the two TPARAM repairs is shown at most once per call.
struct RepairReports {
  bool context_changed = false;
  bool textless_removed = false;
};

// Gives the note its NTDATA: the one after it cleared, or a new one not yet drawn. The
// PARAM nodes before the note are first made again from its annotations. Returns the node
// after the NTDATA.
Drosa prepare_note(Drosa note, bool annotation_before) {
  if (annotation_before) model_hooks.param_annos_to_nodes(note);
  Drosa nt = note->xnext;
  if (nt && effective_kind(nt) == NTDATA) {
    clear_ntdata(note);
  } else {
    nt = newDrosa(NTDATA, 0);
    link_after(nt, note);
    nt->set(xscrhdx, NOT_DRAWN);
    nt->set(xscrhdy, NOT_DRAWN);
    nt->set(xaccx, 255);  // no accidental placed yet
  }
  return nt->xnext;
}

// The PDATA after an annotation head: the one there with its page rectangle unplaced
// (screen rectangle and selection kept), or a new one.
Drosa prepare_pdata(Drosa head) {
  Drosa pd = head->xnext;
  if (pd && pd->xkind == PDATA) {
    int32_t x1 = pd->get(xscrx1), y1 = pd->get(xscry1);
    int32_t x2 = pd->get(xscrx2), y2 = pd->get(xscry2);
    int selected = pd->get(xanno_selected);
    std::memset(pd->payload, 0, DROSA_PAYLOAD_SIZE);
    pd->set(xscrx1, x1);
    pd->set(xscry1, y1);
    pd->set(xscrx2, x2);
    pd->set(xscry2, y2);
    pd->set(xanno_selected, selected);
  } else {
    pd = newDrosa(PDATA, 0);
    link_after(pd, head);
    for (const auto* f : {&xscrx1, &xscry1, &xscrx2, &xscry2}) pd->set(*f, NOT_DRAWN);
  }
  for (const auto* f : {&xpagex1, &xpagey1, &xpagex2, &xpagey2}) pd->set(*f, NOT_DRAWN);
  return pd;
}

const char* kind_name_of(Drosa node) {
  return node ? kind_name(node->xkind) : node_kind_name(node);
}

// An annotation head (a LINE, or a TPARAM that starts an annotation) gets its PDATA. A
// TPARAM must be followed by its TEXT: a TEXT of another context takes the TPARAM into that
// context; with no TEXT at all the TPARAM is removed. Returns the node to go on from.
Drosa prepare_annotation(int v, Drosa head, RepairReports& said) {
  Drosa pd = prepare_pdata(head);
  layout_hooks.anno_fold_request_before_layout(head);
  Drosa after = pd->xnext;
  if (effective_kind(head) == LINE) return after;
  if (after && effective_kind(after) == TEXT) return after;
  short contexts[2] = {head->xcontext, short(after ? after->xcontext : 0)};
  if (after && after->xkind == TEXT) {
    if (!said.context_changed)
      REPORT_ERROR(4, "Changing context of TPARAM.  voice=%hd context=%hd next=%s xcontext %hd,%hd",
                   short(v), current_ncontext, kind_name_of(after), contexts[0], contexts[1]);
    said.context_changed = true;
    head->xcontext = after->xcontext;
    destroy_node(pd);
    return after;
  }
  if (!said.textless_removed)
    REPORT_ERROR(4, "Removing textless TPARAM.  voice=%hd context=%hd next=%s xcontext %hd,%hd",
                 short(v), current_ncontext, kind_name_of(after), contexts[0], contexts[1]);
  said.textless_removed = true;
  destroy_node(pd);
  removevc_with_undo(head);
  return after;
}

// One voice from its page start to the end of the page.
void prepare_voice(int v, RepairReports& said) {
  bool annotation_before = false;  // a TPARAM stands before the next note
  for (Drosa p = page_start[v]->xnext; p && !is_page_end(p);) {
    Drosa next = p->xnext;
    int kind = p->xkind, seen = effective_kind(p);
    if (kind == NOTE) {
      next = prepare_note(p, annotation_before);
      annotation_before = false;
    } else if (seen == LINE || (seen == TPARAM && !is_continuation_run(p))) {
      annotation_before = true;
      next = prepare_annotation(v, p, said);
    } else if (is_layout_record(kind) || kind == PARAM || is_current_view_copy(p)) {
      destroy_node(p);
    } else if (seen == PRINT) {
      p->set(xlayer, 0);
    }
    if (kind == TPARAM) annotation_before = true;
    p = next;
  }
}

// ---- remove_ntdata -------------------------------------------------------------------------

// Destroys the layout record at p as the mode asks and returns the node to go on from.
Drosa remove_record(Drosa p, bool with_note_records) {
  Drosa next = p->xnext;
  switch (p->xkind) {
    case CDDATA: {
      destroy_node(p);
      if (!next || next->xkind != CDDATA2) {
        REPORT_ERROR(4, "CDDATA2 missing in remove_ntdata");
        return next;
      }
      Drosa cd3 = next->xnext;
      destroy_node(next);
      if (!cd3 || cd3->xkind != CDDATA3) {
        REPORT_ERROR(4, "CDDATA3 missing in remove_ntdata");
        return cd3;
      }
      next = cd3->xnext;
      destroy_node(cd3);
      return next;
    }
    case CDDATA2:
      REPORT_ERROR(4, "CDDATA2 logic error in remove_ntdata - no preceding CDDATA");
      destroy_node(p);
      return next;
    case CDDATA3:
      REPORT_ERROR(4, "CDDATA3 logic error in remove_ntdata - no preceding CDDATA");
      destroy_node(p);
      return next;
    case NTDATA:
    case PDATA:
      if (with_note_records) destroy_node(p);
      return next;
    case NTVIEW:
    case PVIEW:
      if (is_current_view_copy(p)) destroy_node(p);
      return next;
    default:
      return next;
  }
}

// ---- build_staff_chord ------------------------------------------------------------------

Drosa ntdata_after(Drosa note) {
  return is_NOTE(note) ? find_next_kind_before_note(NTDATA, note) : NIL;
}

bool same_duration(int32_t a, int32_t b) { return std::abs(int64_t(a) - b) <= TIME_TOLERANCE; }
bool is_hidden_rest(Drosa note) { return note->get(xrest) && note->get(xhider); }
int opposite_dir(int dir) { return dir == 1 ? 2 : dir == 2 ? 1 : dir; }

using ChordNotes = std::vector<ChordNote>;

// The pending notes of a layer's open chord, in chain order, into `notes`.
void pending_chord(Drosa last, ChordNotes& notes) {
  Drosa first = chord_first_note(last);
  for (Drosa p = first; p;) {
    Drosa nt = ntdata_after(p);
    if (!nt) break;
    notes.push_back({p, nt, note_duration(p, 0)});
    if (p == last) break;
    p = nt->get(xpnext);
  }
}

// Whether annotations stand before the note (after the note before it): they are drawn where
// the note stands.
bool carries_annotations(Drosa note) {
  for (Drosa p = note->xback; p; p = p->xback) {
    const int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) return false;
    if (k == TPARAM || k == LINE) return true;
  }
  return false;
}

// Step 1: a rest leaves the chord when another note sounds at most 50 units longer, unless
// both are forced with different stems. A hidden rest shows nothing, so it never stands for a
// rest that is drawn: that rest would vanish from the page, and with it what is attached
// before it. An unprinted note leaves a chord that shows something, moving no note that is
// drawn, unless annotations stand before it; alone it keeps its time, as a hidden rest does.
void drop_shared_rests(ChordNotes& notes, Drosa& pending) {
  bool shows = false;
  for (const ChordNote& n : notes)
    shows |= !is_hidden_rest(n.note) && !layout_hooks.unprinted_note(n.note);
  for (size_t i = 0; i < notes.size();) {
    const ChordNote& rest = notes[i];
    const bool drawn = !is_hidden_rest(rest.note);
    bool drop = shows && layout_hooks.unprinted_note(rest.note) && !carries_annotations(rest.note);
    for (size_t j = 0; j < notes.size() && rest.note->get(xrest) && !drop; ++j) {
      const ChordNote& other = notes[j];
      if (j == i || other.duration > int64_t(rest.duration) + TIME_TOLERANCE) continue;
      if (drawn && is_hidden_rest(other.note)) continue;
      bool apart = rest.nt->get(xforced) && other.nt->get(xforced) &&
                   rest.nt->get(xstmdir) != other.nt->get(xstmdir);
      drop = !apart;
    }
    if (!drop) {
      ++i;
      continue;
    }
    if (pending == rest.note) pending = rest.nt->get(xpback);
    removestf(rest.note);
    notes.erase(notes.begin() + long(i));
  }
}

// Step 2: what differs between neighbouring notes of the chord.
struct ChordDifferences {
  bool forced = false, duration = false, stems = false;
  bool all_hidden = true;  // every difference involves a hidden rest
  bool any() const { return forced || duration || stems; }
};

ChordDifferences compare_neighbours(const ChordNotes& notes) {
  ChordDifferences d;
  for (size_t i = 1; i < notes.size(); ++i) {
    const ChordNote &a = notes[i - 1], &b = notes[i];
    bool forced = a.nt->get(xforced) != b.nt->get(xforced);
    bool duration = !same_duration(a.duration, b.duration);
    bool stems = a.nt->get(xstmdir) != b.nt->get(xstmdir);
    d.forced |= forced;
    d.duration |= duration;
    d.stems |= stems;
    if ((forced || duration || stems) && !is_hidden_rest(a.note) && !is_hidden_rest(b.note))
      d.all_hidden = false;
  }
  return d;
}

// Steps 3 and 4: the stems of a chord whose notes disagree. When some notes are forced and
// some not, the first forced note decides. A multi-value chord with no forced note is
// decided by its last note: notes of its duration stem down, the others up.
void settle_stems(ChordNotes& notes, const ChordDifferences& d) {
  if (d.forced) {
    const ChordNote* decider = nullptr;
    for (const ChordNote& n : notes)
      if (!decider && n.nt->get(xforced)) decider = &n;
    int dir = decider->nt->get(xstmdir);
    for (ChordNote& n : notes) {
      n.nt->set(xforced, 1);
      if (d.duration && &n != decider)
        n.nt->set(xstmdir, same_duration(n.duration, decider->duration) ? dir : opposite_dir(dir));
    }
  }
  if (d.duration && !notes.back().nt->get(xforced)) {
    if (notes.front().nt->get(xforced)) REPORT_ERROR(4, "Inconsistency in multi-value chord.");
    int32_t deciding = notes.back().duration;
    for (ChordNote& n : notes) {
      n.nt->set(xforced, 1);
      n.nt->set(xstmdir, same_duration(n.duration, deciding) ? 1 : 2);
    }
  }
}

// Step 6: the chord's CDDATA, CDDATA2 and CDDATA3 after the NTDATA of its last note, chained
// after last_chord.
Drosa link_chord_records(Drosa last_nt, int pstaff, int layer, int32_t time, int32_t chord_number) {
  last_nt->set(xendscd, 1);
  Drosa cd = newDrosa(CDDATA, 0), cd2 = newDrosa(CDDATA2, 0), cd3 = newDrosa(CDDATA3, 0);
  // The three go in as one run.
  cd->xnext = cd2;
  cd2->xback = cd;
  cd2->xnext = cd3;
  cd3->xback = cd2;
  link_chain_after(cd, cd3, last_nt);
  for (const auto* f : {&xuphiy, &xdownhiy, &xprehiy}) cd->set(*f, EXTENT_HIGH_START);
  for (const auto* f : {&xuploy, &xdownloy, &xpreloy}) cd->set(*f, EXTENT_LOW_START);
  cd3->set(xpstaff, uint8_t(pstaff));
  cd3->set(xcdlayer, uint8_t(layer));
  Drosa before = last_chord;
  Drosa before3 = before && before->xkind == CDDATA && before->xnext ? before->xnext->xnext : NIL;
  if (before3 && before3->xkind == CDDATA3) {
    before3->set(xnextchord, cd);
    cd3->set(xprevchord, before);
  }
  last_chord = cd;
  cd2->set(xchordNum, chord_number);
  cd2->set(xswholec, time);
  return cd;
}

// Step 8's test: another shown voice prints on the pstaff with another stem setting. Any
// voice of a stem setting other than the note's own voice's is another voice, so it is
// enough to know which settings the shown voices' PRINTs give each pstaff.
bool staff_shared_with_other_stems(const StaffStems& stems, int pstaff, Drosa note) {
  int v = note->get(xvoice);
  Drosa own = v < MAX_VOICES ? voice_data[v].print : NIL;
  if (!own) return false;
  const size_t p = size_t(pstaff);
  return stems.settings[p] > 1 || (stems.settings[p] == 1 && stems.dir[p] != own->get(xprintdir));
}

// Closes the open chord of one layer of a pstaff; `bar_before`: whether a BAR may stand
// before one of its notes. `notes`: the chord's notes when known (else empty: they are found
// along the chain); left as the chord keeps them.
void close_layer_chord(const StaffStems& stems, int pstaff, int layer, int32_t time,
                       int32_t chord_number, bool bar_before, ChordNotes& notes) {
  StaffData& staff = staff_data[pstaff];
  if (staff.pending[layer] == staff.ppnt[layer]) return;  // an empty chain: its head ends it
  // (A note the chain holds has its NTDATA right after it.)
  Drosa pending_nt = note_ntdata(staff.pending[layer]);
  if (!pending_nt || pending_nt->get(xendscd)) return;
  if (notes.empty()) pending_chord(staff.pending[layer], notes);
  drop_shared_rests(notes, staff.pending[layer]);
  if (notes.empty()) return;
  ChordDifferences d = compare_neighbours(notes);
  settle_stems(notes, d);

  const ChordNote& last = notes.back();
  int32_t longest = 0;
  for (const ChordNote& n : notes) longest = std::max(longest, n.duration);
  int32_t end = int32_t(std::min<int64_t>(int64_t(time) + longest, INT32_MAX));
  int32_t sounding = staff.end_record[layer];  // as it was before this chord
  if (sounding == 0)
    staff.end_record[layer] = last.nt->get(xstmdir) == 1 ? end : -end;
  else if (std::abs(int64_t(sounding)) < end)
    staff.end_record[layer] = sounding > 0 ? -end : end;

  Drosa cd = link_chord_records(last.nt, pstaff, layer, time, chord_number);
  Drosa cd2 = cd->xnext;
  bool new_measure =
      bar_before && search_staff_chord(BAR, notes.front().note, last.note, ALL_VOICES) != NIL;
  cd->set(xnewmeas, new_measure ? 1 : 0);
  if (new_measure) measure_start[pstaff] = time;
  cd2->set(xmwholec, time - measure_start[pstaff]);

  if (!d.any() && sounding == 0) {
    cd->set(xoppos, staff_shared_with_other_stems(stems, pstaff, last.note) ? 1 : 0);
  } else {
    cd->set(xoppos, 1);
    cd2->set(xopposhide, is_hidden_rest(last.note) || d.all_hidden ? 1 : 0);
  }
}

bool is_cddata(Drosa cd) { return cd && cd->xkind == CDDATA; }

}  // namespace

// clear_ntdata: zeroes the NTDATA after the note but for the fields that live across
// formats (xscrhdx, xscrhdy, xaccx, xscrrestchar, xstsize, xtabtyp, xtabstr).
// Failure: "logic error in clear_ntdata" when the node after the note is not an NTDATA seen
// here; an NTDATA of another context is cleared all the same, any other node is left alone.
void clear_ntdata(Drosa note) {
  Drosa nt = note ? note->xnext : NIL;
  if (!nt || effective_kind(nt) != NTDATA) {
    REPORT_ERROR(4, "logic error in clear_ntdata");
    if (!nt || nt->xkind != NTDATA) return;
  }
  int32_t scrhdx = nt->get(xscrhdx), scrhdy = nt->get(xscrhdy);
  uint8_t accx = nt->get(xaccx);
  int scrrestchar = nt->get(xscrrestchar), tabtyp = nt->get(xtabtyp), tabstr = nt->get(xtabstr);
  int8_t stsize = nt->get(xstsize);
  std::memset(nt->payload, 0, DROSA_PAYLOAD_SIZE);
  nt->set(xscrhdx, scrhdx);
  nt->set(xscrhdy, scrhdy);
  nt->set(xaccx, accx);
  nt->set(xscrrestchar, scrrestchar);
  nt->set(xstsize, stsize);
  nt->set(xtabtyp, tabtyp);
  nt->set(xtabstr, tabstr);
}

// prepare_layout_nodes: for each shown voice, from its page start to the visible ENDSYST
// that ends the page: every NOTE gets its NTDATA, every LINE and starting TPARAM its PDATA;
// stray layout records and PARAM nodes are destroyed (PARAMs are made again from the
// annotations before their note); every visible PRINT's layer starts at 0.
// Reads: voice_count, page_start, current_ncontext. Writes: layout records, PRINT xlayer,
// the context of a TPARAM whose TEXT is of another context; removes (with undo) a TPARAM
// without TEXT. Polls for an interrupt before each voice: 0 when told to stop, else 1.
// Failure: "Changing context of TPARAM. ..." and "Removing textless TPARAM. ...", each at
// most once per call.
int32_t prepare_layout_nodes(int /*page_changed*/) {
  RepairReports said;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (voice_not_shown(v) || !page_start[v]) continue;
    if (format_interrupted()) return 0;
    prepare_voice(v, said);
  }
  return 1;
}

// remove_ntdata: destroys the chord records (CDDATA with its CDDATA2 and CDDATA3) of each
// shown voice from its page start to the visible ENDSYST that ends the page; in the
// other-page mode the NTDATA and PDATA records too. Mode 322 does the same for every voice
// from the head of its list to its end (used when the notation context changes).
// Failure: "CDDATA2 missing in remove_ntdata", "CDDATA3 missing in remove_ntdata", "CDDATA2
// (CDDATA3) logic error in remove_ntdata - no preceding CDDATA" (the record is destroyed),
// "logic error in remove_ntdata" when a list ends before its page does.
void remove_ntdata(int mode) {
  if (mode == REMOVE_WHOLE_PIECE) {
    for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
      for (Drosa p = piece_start[v]; p;) p = remove_record(p, true);
    return;
  }
  bool with_note_records = mode != REMOVE_SAME_PAGE;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (voice_not_shown(v) || !page_start[v]) continue;
    Drosa p = page_start[v]->xnext;
    while (p && !is_page_end(p)) p = remove_record(p, with_note_records);
    if (!p) REPORT_ERROR(4, "logic error in remove_ntdata");
  }
}

// build_staff_chord: closes at `time` the open staff chord (pending notes without xendscd)
// of every layer of the pstaves first_pstaff..last_pstaff: rests that cannot share the
// chord leave it, disagreeing stems are settled, the last note gets xendscd and the chord
// records (chained after last_chord), the chord's time in its system and measure, and
// whether it shares its staff with the other stem direction.
// Reads: first_pstaff, last_pstaff, staff_data pending notes, measure_start, voice_data
// PRINTs, voice_count. Writes: NTDATA xforced, xstmdir, xendscd; new CDDATA, CDDATA2,
// CDDATA3; staff_data pending and end records; measure_start; last_chord.
// Failure: "Inconsistency in multi-value chord." (level 4), then goes on.
void build_staff_chord(int32_t time, int32_t chord_number) {
  StaffStems stems;
  read_staff_stems(stems);
  ChordNotes notes;
  int from = std::max(first_pstaff, 0), to = std::min(last_pstaff, MAX_PSTAVES - 1);
  for (int pstaff = from; pstaff <= to; ++pstaff)
    for (int layer = 0; layer < LAYERS; ++layer) {
      notes.clear();
      close_layer_chord(stems, pstaff, layer, time, chord_number, true, notes);
    }
}

// read_staff_stems: the stem settings of the PRINTs in force (voice_data) of the shown
// voices, by pstaff (first_pstaff + the PRINT's staff). Reads voice_count, voice_data,
// first_pstaff; writes only `stems`.
void read_staff_stems(StaffStems& stems) {
  stems = StaffStems{};
  for (int w = 0; w < voice_count && w < MAX_VOICES; ++w) {
    Drosa print = voice_data[w].print;
    if (!print) continue;
    const int16_t staff = print->get(xsstaff);
    const int pstaff = staff + first_pstaff;
    if (staff < 0 || pstaff < 0 || pstaff >= MAX_PSTAVES) continue;
    const size_t p = size_t(pstaff);
    const int16_t dir = print->get(xprintdir);
    // Whether the voice is shown is asked last: it walks the voice's head.
    if (stems.settings[p] > 1 || (stems.settings[p] == 1 && stems.dir[p] == dir) ||
        voice_not_shown(w))
      continue;
    if (stems.settings[p]++ == 0) stems.dir[p] = dir;
  }
}

// close_staff_chords: build_staff_chord for the listed chains alone, in the order listed,
// with the stem settings read for this time point. Reads and writes what build_staff_chord
// does.
void close_staff_chords(const std::vector<int>& chains, const bool* bar_before,
                        const StaffStems& stems, int32_t time, int32_t chord_number,
                        std::vector<ChordNote>* taken) {
  for (int chain : chains) {
    close_layer_chord(stems, chain / LAYERS, chain % LAYERS, time, chord_number, bar_before[chain],
                      taken[chain]);
    taken[chain].clear();
  }
}

void clear_chord_table() { std::memset(measure_start, 0, sizeof measure_start); }

// ---- Extents ------------------------------------------------------------------------------
// A NIL chord, or a node that is not a CDDATA, reads as the unset sentinel and takes no write.

int32_t get_hiy(Drosa cd, int dir) {
  if (!is_cddata(cd)) return EXTENT_HIGH_START;
  return cd->get(dir == 2 ? xuphiy : xdownhiy);
}

int32_t get_loy(Drosa cd, int dir) {
  if (!is_cddata(cd)) return EXTENT_LOW_START;
  return cd->get(dir == 2 ? xuploy : xdownloy);
}

int32_t get_max_hiy(Drosa cd) {
  int32_t y = std::max(get_hiy(cd, 2), get_hiy(cd, 1));
  if (y == EXTENT_HIGH_START)
    REPORT_ERROR(4, "get_max_hiy called with xuphiy and xdownhiy uninitialized");
  return y;
}

int chord_chain(Drosa note) {
  Drosa cd = note && note_ntdata(note) ? last_note_cddata(chord_last_note(note)) : NIL;
  Drosa cd3 = cd && cd->xnext ? cd->xnext->xnext : NIL;
  if (!cd3 || cd3->xkind != CDDATA3) return -1;
  return cd3->get(xpstaff) * LAYERS + cd3->get(xcdlayer);
}

int32_t get_min_hiy(Drosa cd) {
  int32_t up = get_hiy(cd, 2), down = get_hiy(cd, 1);
  if (up == EXTENT_HIGH_START && down == EXTENT_HIGH_START) {
    REPORT_ERROR(4, "get_min_hiy called with xuphiy and xdownhiy uninitialized");
    return EXTENT_HIGH_START;
  }
  if (up == EXTENT_HIGH_START) return down;
  if (down == EXTENT_HIGH_START) return up;
  return std::min(up, down);
}

int32_t get_min_loy(Drosa cd) {
  int32_t y = std::min(get_loy(cd, 2), get_loy(cd, 1));
  if (y == EXTENT_LOW_START)
    REPORT_ERROR(4, "get_min_loy called with xuploy and xdownloy uninitialized");
  return y;
}

void set_max_hiy(Drosa cd, int dir, int32_t y) {
  if (is_cddata(cd) && y > get_hiy(cd, dir)) cd->set(dir == 2 ? xuphiy : xdownhiy, y);
}

void set_min_loy(Drosa cd, int dir, int32_t y) {
  if (is_cddata(cd) && y < get_loy(cd, dir)) cd->set(dir == 2 ? xuploy : xdownloy, y);
}

Drosa attached_to_note(int kind, Drosa note) {
  Drosa found = NIL;
  for (Drosa p = note ? note->xback : NIL; p; p = p->xback) {
    const int k = p->xkind;
    if (k == NOTE || k == NTDATA || k == CDDATA3) break;
    const int seen = effective_kind(p);
    if (seen == ENDSYST) break;
    if (seen == kind) found = p;
  }
  return found;
}
