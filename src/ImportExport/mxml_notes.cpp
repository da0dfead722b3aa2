// mxml_notes.cpp: each MusicXML note (and forward) becomes a NOTE in the staff list of its
// part and voice, in time order, with an XMLT before it that records when it starts.
//
// The elements inside a note only fill the note record; the end of the note decides. Each
// part keeps a time cursor in divisions and a pending increment (the duration of the last
// note read). A note that starts before the list's last note ends is walked back to its time;
// one that starts with an earlier note of its list joins it as a chord. Voices are split
// apart later, by the voice tag each note carries in its pitch word until then.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string_view>
#include <utility>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/percussion_staff.h"
#include "ImportExport/xmlt_fields.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

int64_t& cursor() { return mxml.part_cursor[mxml.part_index]; }
int first_list() { return mxml.part_first[mxml.part_index]; }

int tag_of(Drosa note) { return note->get(xpitch); }

// ---- XMLT walks
// ------------------------------------------------------------------------------------

int64_t start_of(Drosa xmlt) { return xmlt->get(xxmltime); }

// The XMLT at or before the node, none at the list's start.
Drosa xmlt_at_or_before(Drosa node) {
  for (Drosa p = node; p; p = p->xback) {
    if (p->xkind == XMLT) return p;
    if (p->xkind == ENDSYST && p->get(xstartpiece)) return NIL;
  }
  return NIL;
}

// True when the XMLT belongs to a note (not to a bar line).
bool xmlt_of_note(Drosa xmlt) {
  for (Drosa p = xmlt->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return true;
    if (p->xkind == BAR || p->xkind == XMLT || p->xkind == ENDSYST) return false;
  }
  return false;
}

// The NOTE at or before the node within its chord: none past an XMLT, BAR or ENDSYST.
Drosa note_at_or_before(Drosa node) {
  for (Drosa p = node; p; p = p->xback) {
    if (p->xkind == NOTE) return p;
    if (p->xkind == XMLT || p->xkind == BAR || p->xkind == ENDSYST) return NIL;
  }
  return NIL;
}

// A clef read after a note stands before the notes from its time on: `after` moves back over
// the clefs there that come in force later than `start` (a staff's clef change in the middle
// of a measure, read with a voice that reaches it before another voice's notes from the
// measure's start), so that no voice takes a clef before notes that sound before it.
Drosa before_later_clefs(int list, Drosa after, int64_t start) {
  const auto& clefs = mxml.lists[size_t(list)].clef_times;
  while (after->xkind == CLEF && after->xback) {
    auto c =
        std::find_if(clefs.begin(), clefs.end(), [&](const auto& t) { return t.first == after; });
    if (c == clefs.end() || c->second <= start + mxml.tolerance) break;
    after = after->xback;
  }
  return after;
}

struct Place {
  Drosa after;  // the note goes after this node
  bool chord;   // it joins the chord that ends there
};

// Where a note starting at `start` goes in the list: at its end, or walked back over the
// notes of its measure that start after it; with an earlier note of the same start it makes
// a chord. The walk never leaves the measure: times count from the measure's start.
Place find_place(int list, int64_t start, bool chord, bool grace) {
  Place place{mxml.lists[size_t(list)].insert, chord};
  Drosa x0 = xmlt_at_or_before(place.after);
  if (!x0 || !xmlt_of_note(x0) || start_of(x0) + (chord ? 0 : x0->get(xxmlincr)) <= start) {
    // At the end of the list too: a clef another voice brought to this staff later in the
    // measure stays after it.
    if (!chord) place.after = before_later_clefs(list, place.after, start);
    return place;
  }
  const int64_t tol = mxml.tolerance;
  Drosa walked = NIL, x = x0;
  while (x && xmlt_of_note(x) && start_of(x) + (grace ? x->get(xxmlincr) : 0) - tol > start) {
    walked = x;
    x = xmlt_at_or_before(x->xback);
  }
  if (walked) place.after = walked->xback;
  if (!grace) place.chord = x && xmlt_of_note(x) && start <= start_of(x) + tol;
  place.after = before_later_clefs(list, place.after, start);
  return place;
}

// ---- Voices
// ------------------------------------------------------------------------------------------

// A free entry of the voice table: the document's number when free, else the highest free.
int free_voice(int document_voice) {
  if (!mxml.voices[document_voice].document_voice) return document_voice;
  for (int v = MXML_MAX_VOICE; v >= 1; --v)
    if (!mxml.voices[v].document_voice) return v;
  return 0;
}

// The voice of a note: a chord member keeps its chord's voice; a voice stays on the staff
// where it first appeared, and a note on another staff is a staff change of its voice unless
// the voice still sounds at the note's start: then the document uses the number on two
// staves at once, and the second staff gets a voice of its own.
int choose_voice(const MxmlNoteRecord& n, int document_voice, int64_t start) {
  const int staves = mxml_part_list_count();
  const int note_staff = n.staff > 0 ? std::min(n.staff, staves) : 0;
  if (n.chord && mxml.last_voice && mxml.voices[mxml.last_voice].document_voice == document_voice)
    return mxml.last_voice;
  int primary = 0;
  for (int v = 1; v <= MXML_MAX_VOICE; ++v) {
    if (mxml.voices[v].document_voice != document_voice) continue;
    if (!primary) primary = v;
    if (!note_staff) break;  // a note naming no staff takes the first voice of its number
    if (mxml.voices[v].staff == note_staff) return v;
  }
  if (primary && (!note_staff || start + mxml.tolerance >= mxml.voices[primary].end))
    return primary;
  const int v = free_voice(document_voice);
  if (!v) return primary ? primary : 1;
  mxml.voices[v].document_voice = document_voice;
  mxml.voices[v].staff = std::min(note_staff ? note_staff : 1, staves);
  mxml.voices[v].end = 0;
  return v;
}

// ---- Note values
// -----------------------------------------------------------------------------------

// The longest note value with at most three dots not longer than the duration, taking the
// tuplet ratio into account; the 128th for anything shorter.
void infer_value(const MxmlNoteRecord& n, int* value, int* dots) {
  const int64_t div = std::max<int32_t>(mxml.divisions, 1);
  // Durations in 1/(div * 32 * normal) of a quarter: a value v lasts div * 2^(8 - v) of them.
  const int64_t d = n.duration * 32 * n.actual;
  const int64_t unit = div * n.normal;
  *value = 8;
  *dots = 0;
  for (int v = 0; v <= 8; ++v) {
    if (unit * (int64_t(1) << (8 - v)) > d) continue;
    *value = v;
    int64_t total = unit * (int64_t(1) << (8 - v));
    for (int k = 1; k <= 3 && v + k <= 8; ++k) {
      const int64_t more = unit * (int64_t(1) << (8 - v - k));
      if (total + more > d) break;
      total += more;
      *dots = k;
    }
    return;
  }
}

struct RestValue {
  int value = 3, dots = 0;
};

// The rests that fill a measure of numerator / denominator: as few as can, longest first, each
// the longest value (breve to 128th, with up to three dots) that what is left of the measure
// holds. 12/8 is one dotted whole, 5/4 a whole and a quarter, 4/2 a breve.
std::vector<RestValue> measure_rest_values(int numerator, int denominator) {
  constexpr int64_t BREVE = 2 * 65536, SHORTEST = 65536 / 128;
  int64_t left = int64_t(numerator) * 65536 / denominator;
  std::vector<RestValue> rests;
  while (left >= SHORTEST && rests.size() < 64) {
    RestValue best{8, 0};
    int64_t best_length = 0;
    for (int value = 0; value <= 8; ++value) {
      int64_t length = BREVE >> value, part = length;
      for (int dots = 0; dots <= 3 && value + dots <= 8; ++dots) {
        if (dots) length += (part >>= 1);
        if (length <= left && length > best_length) best = {value, dots}, best_length = length;
      }
    }
    rests.push_back(best);
    left -= best_length;
  }
  if (rests.empty()) rests.push_back({});
  return rests;
}

// ---- Making notes
// --------------------------------------------------------------------------------

// Beam fields from the two beam levels.
void set_beams(Drosa note, int left, int right, int value) {
  note->set(xcbeam, right >= 1);
  note->set(xebeam, right == 0 && value >= 4);
  note->set(xesbeam, right == 1 && left >= 2 && value >= 5);
  note->set(xcsbeam, 0);
}

// A note that does not continue a beam from the left ends the beam of its voice's last chord.
void end_previous_beam(int voice, int tag) {
  Drosa last = mxml.voices[voice].last_note;
  for (Drosa p = last; p; p = p->xback) {
    if (p->xkind == XMLT || p->xkind == BAR || p->xkind == ENDSYST) break;
    if (p->xkind != NOTE) continue;
    if (p != last && p->get(xendvcd)) break;
    if ((tag_of(p) & MXML_TAG_VOICE_BITS) != (tag & MXML_TAG_VOICE_BITS)) continue;
    p->set(xcbeam, 0);
    p->set(xcsbeam, 0);
  }
}

// The slur mark of a note: the side of a slur that starts here, else of a slur of its voice
// that goes on through it.
int slur_mark(const MxmlNoteRecord& n, int tag, bool chord_member) {
  const int voice = tag & MXML_TAG_VOICE_BITS;
  int mark = 0;
  for (int s = 0; s < MXML_SLUR_SLOTS; ++s) {
    MxmlSlur& slot = mxml.slurs[s];
    if (!slot.open) continue;
    if (n.slur_stops & (1 << s)) {
      slot.open = false;
    } else if (slot.tag == voice && !chord_member && !mark) {
      mark = slot.side;
    }
  }
  for (int s = 0; s < MXML_SLUR_SLOTS; ++s) {
    if (!(n.slur_starts & (1 << s))) continue;
    mxml.slurs[s] = MxmlSlur{true, voice, n.slur_side};
    mark = n.slur_side;
  }
  return mark;
}

// The fields a NOTE takes from the record, rest or note alike.
void fill_note(Drosa note, const MxmlNoteRecord& n, int value, int dots, int tag) {
  note->set(xlgval, value);
  note->set(xdots, dots);
  note->set(xtupl, uint8_t(n.actual));
  note->set(xintimeof, uint8_t(4 * n.normal));
  note->set(xdir, n.stem);
  note->set(xendvcd, 1);
  note->set(xgrace, n.grace);
  note->set(xnoslash, 1);
  note->set(xferm, n.fermata != 0);
  note->set(xgliss, n.gliss);
  note->set(xcue, n.cue);
  note->set(xpitch, uint16_t(tag));
  if (n.step >= 0 && n.octave != MXML_NO_OCTAVE)
    note->set(xmod7, int8_t(7 * (n.octave + 1) + n.step));
}

// The note-head shape of the program for the document's notehead: 0 normal, 1 x, 2 and 3
// open and closed harmonic, 4 and 5 open and closed diamond, 6 none, 8 square. A head it has
// no shape for is drawn normal.
int notehead_shape(const MxmlNoteRecord& n, int value) {
  const std::string& head = n.notehead;
  const bool filled = n.notehead_filled < 0 ? value >= 3 : n.notehead_filled == 1;
  if (head == "x") return 1;
  if (head == "harmonic") return n.notehead_filled == 1 ? 3 : 2;
  if (head == "diamond") return filled ? 5 : 4;
  if (head == "square") return 8;
  if (head == "none") return 6;
  if ((head.empty() || head == "normal") && filled == (value >= 3)) return 0;
  mxml_notice(MxmlNotice::note_head,
              "In %s a note has a %s%s head, which Vesk cannot draw; it draws a normal head.",
              mxml_where().c_str(), filled ? "filled " : "hollow ",
              head.empty() ? "normal" : head.c_str());
  return 0;
}

void fill_pitched(Drosa note, const MxmlNoteRecord& n) {
  note->set(xacc, n.alter);
  note->set(xaccplot, n.accidental);
  if (n.tie_start) note->set(xtie, n.tie_side);
  note->set(xstacc, n.staccato || n.staccatissimo);
  note->set(xtenu, n.tenuto);
  note->set(xaccent, n.accent);
  note->set(xtremolo, n.tremolo);
  note->set(xnotehead, notehead_shape(n, note->get(xlgval)));
}

// A note the document does not print keeps its pitch, time and sound, and draws nothing that
// it holds: no beam, articulation, fermata, glissando, tremolo or slur starts at it (a slur it
// stops is still stopped).
void leave_unprinted_marks(MxmlNoteRecord& n) {
  n.beam_left = n.beam_right = 0;
  n.slur_starts = 0;
  n.fermata = n.accent = 0;
  n.staccato = n.staccatissimo = n.tenuto = false;
  n.tremolo = n.tremolo_pair = 0;
  n.gliss = false;
  n.accidental = false;
  n.notehead.clear();
  n.notehead_filled = -1;
}

// The unprinted note: the blank head, no stem (so no flag or grace slash) and no accidental;
// the layout and drawing leave out its dots and ledger lines.
void make_unprinted(Drosa note) {
  constexpr int BLANK_SHAPE = 6;
  note->set(xnotehead, BLANK_SHAPE);
  note->set(xnostem, 1);
  note->set(xaccplot, 0);
}

// Links a node after `after`; the list's insertion node moves to it when it was `after`.
void link_in_list(int list, Drosa node, Drosa after) {
  link_after(node, after);
  if (mxml.lists[size_t(list)].insert == after) mxml.lists[size_t(list)].insert = node;
}

// Gives the list's staff settings to the PRINT attached before the note, or to a new one,
// when the PRINT in force does not have them.
void staff_settings(int list, Drosa note) {
  MxmlList& l = mxml.lists[size_t(list)];
  const int lines = mxml_staff_lines_of(list);
  const int tablature = !l.tab ? 0 : l.tab_kind ? l.tab_kind : MXML_GUITAR_TABLATURE;
  Drosa print = l.print;
  if (print && print->get(xsstaff) == list && print->get(xslines) == lines &&
      print->get(xtablature) == tablature)
    return;
  Drosa attached = NIL;
  for (Drosa p = note->xback; p && p->xkind != NOTE && p->xkind != ENDSYST; p = p->xback)
    if (p->xkind == PRINT) attached = p;
  if (!attached) {
    attached = newDrosa(PRINT, current_ncontext);
    attached->set(xprintdir, 3);
    attached->set(xstaffsize, 50);
    link_after(attached, note->xback);
  }
  attached->set(xsstaff, int16_t(list));
  attached->set(xslines, int16_t(lines));
  attached->set(xtablature, uint8_t(tablature));
  l.print = attached;
}

// The time placement and the flush of what waits for a note. A chord member shares its
// chord's XMLT: the chord's first note says how far the time moves.
void place_note(Drosa note, int list, const Place& place, int tag, int64_t start) {
  if (!place.chord) {
    Drosa x = newDrosa(XMLT, 0);
    x->set(xxmltime, int32_t(std::min<int64_t>(start, INT32_MAX)));
    x->set(xxmlincr, int32_t(std::min<int64_t>(mxml.pending, INT32_MAX)));
    x->set(xnwholec, mxml_to_units(start));
    link_after(x, note->xback);
  }
  // While an octave line is open, the notes it may shift when it stops.
  bool line_open = !mxml.octave_lines_stopped.empty();
  for (const auto& l : mxml.octave_lines) line_open |= l.octaves != 0;
  if (line_open && !note->get(xrest)) {
    const MxmlVoice& vs = mxml.voices[std::clamp(((tag >> 7) & 31) - 1, 0, MXML_MAX_VOICE)];
    const int code = tag >> 12;
    mxml.shift_notes.push_back(
        {note, code && code != MXML_COPIED_REST ? vs.staff + code - MXML_STAFF_BIAS : vs.staff,
         vs.staff, mxml.measure_counter, start, start + mxml.pending});
  }
  if (!mxml.lists[size_t(list)].last_note) mxml_default_distances(note, list);
  if (!place.chord) mxml_tablature_tuning(note, list);
  // A note the document does not print shows none of its own marks (its directions stay).
  if (unprinted_note(note)) mxml_reset_slot(MXML_NOTATIONS_SLOT);
  mxml_attach_to_note(note, list, tag, start, start + mxml.pending);
  if (!place.chord) staff_settings(list, note);
  MxmlList& l = mxml.lists[size_t(list)];
  l.last_note = note;
  if (!place.chord && start >= l.latest_start) l.latest_note = note, l.latest_start = start;
  mxml.last_note = note;
}

// Makes the further rests of a whole-measure rest that one value does not fill.
void make_further_rests(Drosa rest, int list, const std::vector<RestValue>& values) {
  Drosa after = rest;
  for (size_t i = 1; i < values.size(); ++i) {
    mxml_count_note();
    Drosa copy = copyDrosa(rest);
    copy->set(xlgval, values[i].value);
    copy->set(xdots, values[i].dots);
    link_in_list(list, copy, after);
    after = copy;
  }
}

// A rest NOTE after `after`, placed, of the given value. A whole-measure rest takes its value
// from the time signature (a quarter without one); so does a whole rest that begins a measure
// shorter than a whole note (one after other rests of its voice is a whole rest).
Drosa make_rest(const Place& place, int list, const MxmlNoteRecord& n, bool whole_measure,
                int value, int dots, int tag, int64_t start) {
  MxmlList& l = mxml.lists[size_t(list)];
  if (!l.timesig_known) {  // looked up once: afterwards the time signatures keep it
    l.timesig = l.insert->xkind == TIMESIG ? l.insert : find_prev_kind_raw(TIMESIG, l.insert);
    l.timesig_known = true;
  }
  Drosa timesig = l.timesig;
  const bool usable = timesig && timesig->get(xbpm) > 0 && timesig->get(xbeat) > 0;
  const bool revalue =
      whole_measure || (n.type == 1 && n.dots == 0 && n.actual == 1 && n.normal == 1 && usable &&
                        start <= 0 && timesig->get(xbpm) < timesig->get(xbeat));
  // The values the measure gives it, else its own (a quarter for a whole-measure rest).
  std::vector<RestValue> values;
  if (revalue && usable) values = measure_rest_values(timesig->get(xbpm), timesig->get(xbeat));
  const RestValue v = !values.empty() ? values.front()
                      : whole_measure ? RestValue{}
                                      : RestValue{value, dots};
  mxml_count_note();
  Drosa rest = newDrosa(NOTE, 0);
  fill_note(rest, n, v.value, v.dots, tag);
  rest->set(xrest, 1);
  rest->set(xhider, n.forward || n.invisible);
  if (!whole_measure && !n.invisible) set_beams(rest, n.beam_left, n.beam_right, v.value);
  link_in_list(list, rest, place.after);
  place_note(rest, list, place, tag, start);
  make_further_rests(rest, list, values);
  return rest;
}

// Links a chord member after its chord's last note.
void join_chord(Drosa note, Drosa anchor, const MxmlNoteRecord& n) {
  if (anchor->get(xgrace) == note->get(xgrace)) anchor->set(xendvcd, 0);
  if (n.stem == 3 && (tag_of(anchor) & MXML_TAG_VOICE_BITS) == (tag_of(note) & MXML_TAG_VOICE_BITS))
    note->set(xdir, anchor->get(xdir));
}

// The MIDI key an unpitched note sounds: its instrument's, or where it names none, that of the
// part's one instrument with a key; -1 none.
int unpitched_key(const MxmlNoteRecord& n) {
  if (n.key >= 0) return n.key;
  int key = -1, sounds = 0;
  for (const auto& [id, sound] : mxml.unpitched_sounds)
    if (sound.part == mxml.part_index) key = sound.key, ++sounds;
  return sounds == 1 ? key : -1;
}

// A pitched NOTE.
Drosa make_pitched(Place place, int list, const MxmlNoteRecord& n, int value, int dots, int tag,
                   int voice, int64_t start) {
  mxml_count_note();
  Drosa note = newDrosa(NOTE, 0);
  fill_note(note, n, value, dots, tag);
  fill_pitched(note, n);
  if (n.unpitched)
    if (const int key = unpitched_key(n); key >= 0) note->set(xxmlkey, uint8_t(key + 1));
  int left = n.beam_left, right = n.beam_right;
  if (place.chord && !left && !right) left = mxml.chord_beam_left, right = mxml.chord_beam_right;
  set_beams(note, left, right, value);
  if (!place.chord) {
    mxml.chord_beam_left = left, mxml.chord_beam_right = right;
    if (left == 0) end_previous_beam(voice, tag);
  }
  link_in_list(list, note, place.after);
  if (place.chord) join_chord(note, place.after, n);
  if (n.invisible) make_unprinted(note);
  MxmlList& l = mxml.lists[size_t(list)];
  if (l.tab && !l.tab_kind)
    l.tab_kind = n.stem_none ? MXML_STEMLESS_TABLATURE : MXML_GUITAR_TABLATURE;
  place_note(note, list, place, tag, start);
  mxml_tablature_note(note, list, n);
  if (n.staccatissimo) {
    Drosa mod = newDrosa(TSMOD, 0);
    mod->set(xstacissimo, 1);
    link_after(mod, note->xback);
  }
  return note;
}

// ---- Tremolos between two notes
// ---------------------------------------------------------------

// How a note of a tremolo between two notes is held: as a tremolo beam, its value the beamed
// value of as many beams as the tremolo has strokes, "2 in the time of intimeof" giving back
// the written value.
struct TremoloBeam {
  bool held = false;
  int value = 0, dots = 0, intimeof = 0;
};

// Each note of a tremolo between two notes is written with the value of the whole tremolo
// and sounds half of it: a time-modification of 2 to 1, or a duration of half its written
// value. A whole to an eighth, with a dot at most, can be held as a tremolo beam (the decoding
// of the drawing gives the written value back); other notes cannot.
TremoloBeam tremolo_beam(const MxmlNoteRecord& n, int written, int dots) {
  TremoloBeam b;
  if (n.rest || n.grace || written < 1 || written > 4 || dots > 1) return b;
  const int64_t div = std::max<int32_t>(mxml.divisions, 1);
  const int64_t eighths = int64_t(1) << (4 - written);  // in the written value, undotted
  const bool halved = (n.actual == 2 && n.normal == 1) ||
                      (n.actual == 1 && n.normal == 1 &&
                       std::abs(8 * n.duration - eighths * div * (2 + dots)) <= 8 * mxml.tolerance);
  if (!halved) return b;
  for (int value = std::clamp(3 + n.pair_strokes, 4, 8); value >= 4; --value) {
    const int k = value + 2 - written - dots;
    const int intimeof = (dots ? 3 : 1) << k;
    if (intimeof <= 255) return {true, value, 0, intimeof};
  }
  return b;
}

// The notes of the chord that begins at `first`.
template <typename F>
void for_chord(Drosa first, F f) {
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    f(p);
    if (p->get(xendvcd)) break;
  }
}

// Makes the chord of `note` a note of a tremolo beam.
void make_tremolo_beam(Drosa note, const TremoloBeam& b, bool first) {
  for_chord(note, [&](Drosa p) {
    p->set(xlgval, b.value);
    p->set(xdots, b.dots);
    p->set(xtupl, 2);
    p->set(xintimeof, uint8_t(b.intimeof));
    p->set(xtrembeam, 1);
    set_beams(p, first ? 0 : 1, first ? 1 : 0, b.value);
  });
}

// A note of a tremolo between two notes that cannot be held as a tremolo beam keeps its
// written value and time, its tuplet number hidden, with the strokes through its stem.
void keep_tremolo_alone(Drosa note, int strokes) {
  for_chord(note, [&](Drosa p) {
    int value = 0, dots = 0;
    decode_note_type(p, &value, &dots);
    if (p->get(xtrembeam)) {
      p->set(xlgval, value);
      p->set(xdots, dots);
      p->set(xintimeof, 4);
      p->set(xtrembeam, 0);
      set_beams(p, 0, 0, value);
    }
    p->set(xhidet, 1);
    p->set(xtremolo, std::clamp(strokes, 1, 3));
  });
}

// A tremolo's first note whose second does not follow it in its voice stands alone.
void end_waiting_tremolo(MxmlVoice& vs) {
  if (vs.tremolo_start) keep_tremolo_alone(vs.tremolo_start, vs.tremolo_strokes);
  vs.tremolo_start = NIL;
}

// A measure rest shorter than its time signature's measure is kept with the ratio that makes
// a whole rest last as long (3 quarters: 4 in the time of 3), when a NOTE can hold it.
void keep_short_measure_rest(Drosa rest, int64_t duration) {
  const int64_t whole = 4 * int64_t(mxml.divisions);
  if (duration <= 0 || duration >= mxml_measure_length() || whole <= 0) return;
  const int64_t g = std::gcd(duration, whole);
  const int64_t actual = whole / g, normal = duration / g;
  if (actual > 127 || 4 * normal > 255) return;
  mxml.short_measure_rests.push_back({rest, int(actual), int(4 * normal)});
}

// ---- Tuplets
// ------------------------------------------------------------------------------------------

// A tuplet ends: a number the document hides is hidden on its notes; a tuplet inside another
// shows none of its own (the number drawn over the group is the outer tuplet's).
void end_tuplet(const MxmlVoice::Tuplet& t, bool nested) {
  if (nested || t.number_shown) return;
  for (Drosa first : t.notes) for_chord(first, [](Drosa p) { p->set(xhidet, 1); });
}

// A note read in tuplets inside one another holds the innermost one's own ratio, and a NEST
// before it the ratio of those around it, when the document's ratio is their product: the
// number the layout draws over the group is then the outer tuplet's own count.
void nest_note(const std::vector<MxmlVoice::Tuplet>& open, const MxmlNoteRecord& n, Drosa note) {
  int actual = 1, normal = 1;
  for (size_t i = 0; i + 1 < open.size(); ++i) actual *= open[i].actual, normal *= open[i].normal;
  const MxmlVoice::Tuplet& inner = open.back();
  if (actual <= 1 || 4 * normal > 255 || 4 * inner.normal > 255 ||
      n.actual != inner.actual * actual || n.normal != inner.normal * normal)
    return;
  note->set(xtupl, uint8_t(inner.actual));
  note->set(xintimeof, uint8_t(4 * inner.normal));
  Drosa nest = newDrosa(NEST, 0);
  nest->set(xnest_tupl, uint8_t(actual));
  nest->set(xnest_intimeof, uint8_t(4 * normal));
  link_after(nest, note->xback);
}

// A bracket the document shows or hides over the tuplet that starts at the note is kept in the
// note's tie and slur modifier; where it says nothing the layout decides.
void keep_tuplet_bracket(Drosa note, int bracket) {
  if (bracket < 0) return;
  Drosa mod = find_prev_kind_stop(TSMOD, note, ENDSYST);
  if (!mod) {
    mod = newDrosa(TSMOD, 0);
    link_after(mod, note->xback);
  }
  mod->set(xtupl_bracket, bracket ? TUPLET_BRACKET_SHOWN : TUPLET_BRACKET_HIDDEN);
}

// The tuplets a chord's first note starts, is read in and stops. A tuplet's own ratio is the
// one the document numbers it with, else the note's ratio over those of the tuplets around it.
// The outermost tuplet's bracket is the one drawn over the group.
void follow_tuplets(MxmlVoice& vs, const MxmlNoteRecord& n, Drosa note) {
  for (const MxmlTupletMark& m : n.tuplets) {
    if (!m.start || vs.tuplets.size() >= 8) continue;
    if (vs.tuplets.empty()) keep_tuplet_bracket(note, m.bracket);
    MxmlVoice::Tuplet t{m.number, n.actual, n.normal, m.number_shown, m.bracket, false, {}};
    for (MxmlVoice::Tuplet& outer : vs.tuplets) {
      outer.holds_nested = true;
      if (t.actual % outer.actual == 0 && t.normal % outer.normal == 0)
        t.actual /= outer.actual, t.normal /= outer.normal;
    }
    if (m.actual > 0 && m.normal > 0) t.actual = m.actual, t.normal = m.normal;
    vs.tuplets.push_back(std::move(t));
  }
  for (MxmlVoice::Tuplet& t : vs.tuplets) t.notes.push_back(note);
  if (vs.tuplets.size() >= 2) nest_note(vs.tuplets, n, note);
  for (const MxmlTupletMark& m : n.tuplets) {
    if (m.start) continue;
    for (size_t i = vs.tuplets.size(); i-- > 0;) {
      if (vs.tuplets[i].number != m.number) continue;
      end_tuplet(vs.tuplets[i], i > 0);
      vs.tuplets.erase(vs.tuplets.begin() + std::ptrdiff_t(i));
      break;
    }
  }
}

// An octave the program cannot hold becomes the nearest it can.
int checked_octave(int octave) {
  if (octave >= -1 && octave <= 9) return octave;
  mxml_notice(MxmlNotice::octave,
              "In %s a note is in octave %d, which Vesk cannot hold; it is read as octave %d.",
              mxml_where().c_str(), octave, std::clamp(octave, -1, 9));
  return std::clamp(octave, -1, 9);
}

// The end of one note in the given voice (0: the voice its elements say); a copied rest
// carries the copy mark in its tag.
void end_note_in_voice(MxmlNoteRecord n, int forced_voice, bool copy) {
  // A note the document does not print keeps its pitch and time as an unprinted note (a rest
  // it does not print is a hidden rest).
  if (!copy) {
    mxml.chord_size = n.chord ? mxml.chord_size + 1 : 1;
    if (mxml.chord_size > MXML_MOST_CHORD_NOTES) {
      mxml_notice(MxmlNotice::chord_cut,
                  "In %s a chord has more than %d notes, more than every key of a piano; Vesk "
                  "keeps its first %d.",
                  mxml_where().c_str(), MXML_MOST_CHORD_NOTES, MXML_MOST_CHORD_NOTES);
      return;
    }
  }
  const bool unprinted = n.invisible && !n.rest;
  if (unprinted) leave_unprinted_marks(n);
  // A hidden rest no longer than the timing tolerance is no rest of its own (the shortest rest
  // would outlast it): it only moves its voice's time, and the note after it starts its own
  // chord there.
  if (n.rest && (n.forward || n.invisible) && !n.grace && n.duration > 0 &&
      n.duration <= mxml.tolerance)
    return;
  const int document_voice = n.voice ? n.voice : 1;
  int64_t start = cursor();
  if (n.grace) {
    cursor() += mxml.pending;
    mxml.pending = 0;
    start = cursor();
  }
  const int voice = forced_voice ? forced_voice : choose_voice(n, document_voice, start);
  MxmlVoice& vs = mxml.voices[voice];
  mxml.voices_used |= uint32_t(1) << voice;
  const int staves = mxml_part_list_count();
  const int list = first_list() + std::clamp(vs.staff, 1, staves) - 1;
  const int note_staff = n.staff > 0 && !copy ? std::min(n.staff, staves) : vs.staff;
  if (n.staff > staves && !copy)
    mxml_notice(MxmlNotice::note_staff,
                "In %s a note is on staff %d, but the part has %d; it goes on staff %d.",
                mxml_where().c_str(), n.staff, staves, staves);
  const int staff_code = copy                     ? MXML_COPIED_REST
                         : note_staff == vs.staff ? 0
                                                  : note_staff - vs.staff + MXML_STAFF_BIAS;
  const int tag = (mxml.part_index + 1) | ((voice + 1) << 7) | (staff_code << 12);
  // An unpitched note that says nowhere where it sits is on the staff's middle line (a step
  // below the position of the clef's offset); one on a percussion staff sits where the document
  // displays it.
  const int clef = mxml.lists[size_t(list)].clef;
  if (n.unpitched) {
    int position = 0;
    if (n.step < 0 || n.octave == MXML_NO_OCTAVE)
      position = clefmod7(clef, NIL) - 1;
    else if (is_percussion_clef(clef))
      position = 7 * (n.octave + 1) + n.step +
                 percussion_display_shift(clef, mxml.lists[size_t(list)].lines);
    else
      position = 7 * (n.octave + 1) + n.step;
    position = std::clamp(position, 0, 7 * 11 - 1);
    n.step = position % 7;
    n.octave = position / 7 - 1;
  }
  Place place = find_place(list, start, n.chord && !copy, n.grace);
  if (place.chord) {
    Drosa anchor = note_at_or_before(place.after);
    if (!anchor) {
      mxml_notice(MxmlNotice::lone_chord_note,
                  "In %s a note is marked as a chord note, but no note stands before it to join; "
                  "it is read as a note of its own.",
                  mxml_where().c_str());
      if (!n.grace) {
        cursor() += mxml.pending;
        mxml.pending = std::max<int64_t>(n.duration, 0);
        start = cursor();
      }
      place = find_place(list, start, false, n.grace);
    } else {
      place.after = anchor;
    }
  }
  int value = n.type, dots = n.dots;
  if (value < 0) {
    if (n.grace) {
      value = 4;
    } else if (n.rest && !place.chord && n.duration > 0 && n.duration == mxml_measure_length()) {
      make_rest(place, list, n, true, 3, 0, tag, start);
      mxml_no_note_made = 0;
      vs.end = std::max(vs.end, start + n.duration);
      mxml.measure_end = std::max(mxml.measure_end, vs.end);
      mxml.last_voice = voice;
      return;
    } else if (n.duration <= 0) {
      if (!n.forward && !(n.invisible && n.rest)) {  // an unprinted rest of no length is nothing
        mxml_notice(MxmlNotice::unknown_length,
                    "In %s a %s has neither a type nor a duration, so Vesk cannot tell how "
                    "long it lasts; it is left out.",
                    mxml_where().c_str(),
                    n.invisible ? "note the document does not print" : "note");
      }
      return;
    } else {
      infer_value(n, &value, &dots);
    }
  }
  mxml_no_note_made = 0;
  // A note that joins another voice's note of its time (in the staff's list) begins no chord
  // of its own voice: it takes the slur it stands under.
  const Drosa joined = place.chord ? note_at_or_before(place.after) : NIL;
  const bool own_chord = joined && ((joined->get(xpitch) ^ tag) & MXML_TAG_VOICE_BITS) == 0;
  const int mark = slur_mark(n, tag, own_chord);
  Drosa note = NIL;
  // A longa is drawn as two tied breves, a maxima as four.
  int breves = 1;
  if (value == MXML_TYPE_LONG || value == MXML_TYPE_MAXIMA) {
    breves = value == MXML_TYPE_LONG ? 2 : 4;
    mxml_notice(MxmlNotice::note_value,
                "In %s a note is a %s, which Vesk cannot draw; it draws %s tied breves.",
                mxml_where().c_str(), breves == 2 ? "longa" : "maxima",
                breves == 2 ? "two" : "four");
    value = 0;
  }
  const bool rest = n.rest || n.step < 0 || n.octave == MXML_NO_OCTAVE;
  // A tremolo between two notes: its first note waits as a tremolo beam for its second, the
  // next note of its voice.
  TremoloBeam tremolo;
  if (!place.chord) {
    if (vs.tremolo_start && n.tremolo_pair != 2) end_waiting_tremolo(vs);
    if (n.tremolo_pair && !rest) tremolo = tremolo_beam(n, value, dots);
    if (n.tremolo_pair == 2 && !vs.tremolo_start) tremolo.held = false;
    if (n.tremolo_pair == 2 && vs.tremolo_start && !tremolo.held) end_waiting_tremolo(vs);
    if (n.tremolo_pair && !rest && !tremolo.held) n.tremolo = std::clamp(n.pair_strokes, 1, 3);
    if (tremolo.held && n.tremolo_pair == 1) n.beam_left = 0;
    if (tremolo.held && n.tremolo_pair == 2) n.beam_left = 1;
  }
  if (rest) {
    // A hidden rest takes no part in beams: the beam before it ends.
    if (n.invisible && !place.chord) end_previous_beam(voice, tag);
    note = make_rest(place, list, n, false, value, dots, tag, start);
    if (n.measure_rest && !place.chord && !n.grace) keep_short_measure_rest(note, n.duration);
  } else {
    note = make_pitched(place, list, n, value, dots, tag, voice, start);
    note->set(xslur, unprinted ? 0 : mark);
    Drosa anchor = place.chord ? note_at_or_before(place.after) : NIL;
    if (tremolo.held) {
      make_tremolo_beam(note, tremolo, n.tremolo_pair == 1);
      vs.tremolo_start = n.tremolo_pair == 1 ? note : NIL;
      vs.tremolo_strokes = n.pair_strokes;
    } else if (n.tremolo_pair && !place.chord) {
      note->set(xhidet, 1);
    } else if (anchor && anchor->get(xtrembeam)) {
      // A note joining a chord of a tremolo beam takes its value and beam.
      note->set(xlgval, anchor->get(xlgval));
      note->set(xdots, anchor->get(xdots));
      note->set(xtupl, anchor->get(xtupl));
      note->set(xintimeof, anchor->get(xintimeof));
      note->set(xtrembeam, 1);
      note->set(xcbeam, anchor->get(xcbeam));
      note->set(xebeam, anchor->get(xebeam));
    } else if (anchor && anchor->get(xhidet)) {
      note->set(xhidet, 1);
    }
  }
  // A note of the voice's own that another voice's note at its time took into its staff chord
  // still starts, holds and ends the voice's tuplets.
  if ((!place.chord || !n.chord) && !n.grace && !copy) follow_tuplets(vs, n, note);
  if (!copy && !n.wavy_lines.empty()) mxml_trill_lines_at(n, note, list, tag);
  for (int i = 1; i < breves && !place.chord; ++i) {
    mxml_count_note();
    Drosa next = copyDrosa(note);
    next->set(xslur, 0);
    if (!rest) note->set(xtie, 3);
    link_in_list(list, next, note);
    note = next;
  }
  if (!n.grace) {
    vs.end = std::max(vs.end, start + std::max<int64_t>(n.duration, 0));
    mxml.measure_end = std::max(mxml.measure_end, vs.end);
  }
  vs.last_note = note;
  mxml.last_voice = voice;
}

}  // namespace

int32_t mxml_to_units(int64_t t) {
  const int64_t div = std::max<int32_t>(mxml.divisions, 1);
  return int32_t(std::clamp<int64_t>(t * 16384 / div, 0, int64_t(1) << 30));
}

void mxml_end_tremolos() {
  for_used_voices([](MxmlVoice& vs) {
    if (vs.tremolo_start) end_waiting_tremolo(vs);
  });
}

void mxml_end_tuplets() {
  for_used_voices([](MxmlVoice& vs) {
    for (size_t i = 0; i < vs.tuplets.size(); ++i) end_tuplet(vs.tuplets[i], i > 0);
    vs.tuplets.clear();
  });
}

void mxml_end_short_measure_rests() {
  for (const MxmlState::ShortMeasureRest& r : mxml.short_measure_rests) {
    r.rest->set(xlgval, 1);
    r.rest->set(xdots, 0);
    r.rest->set(xtupl, uint8_t(r.actual));
    r.rest->set(xintimeof, uint8_t(r.intimeof));
    r.rest->set(xhidet, 1);
  }
  mxml.short_measure_rests.clear();
}

Drosa mxml_make_rest(Drosa after, int list, bool whole_measure, int tag) {
  static const MxmlNoteRecord measure_rest;
  Place place{after, false};
  return make_rest(place, list, whole_measure ? measure_rest : mxml.note, whole_measure,
                   mxml.note.type, mxml.note.dots, tag, cursor());
}

void mxml_note_end() {
  if (!mxml_in_part()) return;
  MxmlNoteRecord n = mxml.note;
  if (n.octave != MXML_NO_OCTAVE) n.octave = checked_octave(n.octave);
  // A forward without a voice element moves the time of the voice read last.
  if (n.forward && !n.voice && mxml.last_voice)
    n.voice = mxml.voices[mxml.last_voice].document_voice;
  // A rest without a voice element stands for every voice of the part.
  if (!n.rest || n.voice || n.grace || n.forward) {
    end_note_in_voice(std::move(n), 0, false);  // most notes: no copy of the record is made
    return;
  }
  end_note_in_voice(n, 0, false);
  if (mxml.highest_voice <= 1) return;
  const int own = mxml.last_voice;
  for (int v = 1; v <= MXML_MAX_VOICE; ++v) {
    const int d = mxml.voices[v].document_voice;
    if (v == own || d == 0 || d > mxml.highest_voice) continue;
    MxmlNoteRecord copy = n;
    copy.stem = 3;
    copy.chord = false;
    copy.invisible = true;  // the document shows the rest once
    end_note_in_voice(copy, v, true);
  }
  mxml.last_voice = own;
}

// ---- Element handlers
// ------------------------------------------------------------------------------

void mxml_note(XmlElement& e) {
  mxml.note = MxmlNoteRecord{};
  mxml.note.invisible = mxml_attr_is(e, "print-object", "no");
  const double x = xml_attr_double(e, "default-x");
  if (x != XML_NO_DOUBLE && std::isfinite(x) && std::fabs(x) < 1e6)
    mxml.note.default_x = int32_t(std::lround(x * 5));  // five units a tenth
  mxml.notations_open = false;
  mxml_reset_slot(MXML_NOTATIONS_SLOT);
  if (mxml_in_part()) ++mxml.measure_notes;
}

void mxml_note_element_end() { mxml_note_end(); }

void mxml_instrument(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "note") != 0) return;
  const char* id = xml_attr(e, "id");
  const auto found = id ? mxml.unpitched_sounds.find(id) : mxml.unpitched_sounds.end();
  if (found != mxml.unpitched_sounds.end() && found->second.part == mxml.part_index)
    mxml.note.key = found->second.key;
}

void mxml_forward_end() {
  mxml.note.rest = true;
  mxml.note.forward = true;
  mxml_note_end();
}

void mxml_rest(XmlElement& e) {
  mxml.note.rest = true;
  mxml.note.measure_rest = mxml_attr_is(e, "measure", "yes");
}
void mxml_chord(XmlElement&) { mxml.note.chord = true; }
void mxml_grace(XmlElement&) { mxml.note.grace = true; }
void mxml_pitch(XmlElement& e) {
  mxml.note.rest = false;
  mxml.note.unpitched = std::strcmp(xml_open_element_name(e, -1), "unpitched") == 0;
}

void mxml_step(XmlElement& e) {
  std::string converted;
  const std::string_view text = mxml_text_view(e, 8, converted);
  const char* letter =
      text.empty() ? nullptr : std::strchr("CDEFGAB", std::toupper(uint8_t(text[0])));
  mxml.note.step = letter && *letter ? int(letter - "CDEFGAB") : 0;
}

// An alteration of more than two semitones either way is read as two.
void mxml_alter(XmlElement& e) { mxml.note.alter = std::clamp(mxml_int(e, 0), -2, 2) + 3; }

void mxml_octave(XmlElement& e) { mxml.note.octave = std::clamp(mxml_int(e, 4), -100, 100); }

namespace {

// A duration's text in divisions, to the nearest whole one; one that is no number, or less
// than none, is read as none, and said.
int64_t read_duration(XmlElement& e, const char* parent) {
  const double given = xml_text_double(e);
  if (given >= 0) return std::llround(std::min(given, double(int64_t(1) << 30)));
  mxml_notice(MxmlNotice::duration,
              "In %s a %s lasts \"%s\" divisions, %s; Vesk reads it as lasting none%s.",
              mxml_where().c_str(), parent, mxml_text(e, 32).c_str(),
              given == XML_NO_DOUBLE ? "which is no number" : "less than none",
              std::strcmp(parent, "note") == 0 ? " (its type gives its value)" : "");
  return 0;
}

}  // namespace

void mxml_duration(XmlElement& e) {
  if (!mxml_in_part()) return;
  const char* parent = mxml_parent(e);
  if (std::strcmp(parent, "backup") != 0 && std::strcmp(parent, "note") != 0 &&
      std::strcmp(parent, "forward") != 0)
    return;
  const int64_t d = read_duration(e, parent);
  if (std::strcmp(parent, "backup") == 0) {
    int64_t& c = cursor();
    c = std::max<int64_t>(c + mxml.pending - d, 0);
    mxml.pending = 0;
    mxml.last_duration = d;
    return;
  }
  MxmlNoteRecord& n = mxml.note;
  n.duration = d;
  mxml.last_duration = d;
  // A chord moves the time by its first note's duration, whatever its other notes last.
  if (n.grace || n.chord) return;
  cursor() += mxml.pending;
  mxml.pending = d;
  mxml_check_measure_time(cursor() + d);
}

void mxml_voice(XmlElement& e) {
  const int v = mxml_int(e, 0);
  if (v < 1) return;
  if (v > MXML_MAX_VOICE)
    mxml_notice(MxmlNotice::voices,
                "In %s a note is in voice %d; Vesk numbers the voices of a part up to %d, so it "
                "goes in voice %d.",
                mxml_where().c_str(), v, MXML_MAX_VOICE, MXML_MAX_VOICE);
  mxml.note.voice = std::min(v, MXML_MAX_VOICE);
  mxml.highest_voice = std::max(mxml.highest_voice, mxml.note.voice);
}

void mxml_staff(XmlElement& e) {
  const int s = mxml_int(e, -1);
  if (s < 0) return;
  if (xml_open_element_level_either(e, "direction", "harmony") >= 0) {
    if (!mxml.slots[MXML_DIRECTION_SLOT].empty())
      mxml.slots[MXML_DIRECTION_SLOT].back().staff = std::min(s, MXML_MAX_STAVES);
    return;
  }
  mxml.note.staff = std::min(s, 999);  // the part's staves decide, at the note's end
}

void mxml_type(XmlElement& e) {
  static constexpr std::string_view types[] = {"breve", "whole", "half", "quarter", "eighth",
                                               "16th",  "32nd",  "64th", "128th"};
  std::string converted;
  const std::string_view text = mxml_text_view(e, 16, converted);
  for (int i = 0; i < 9; ++i)
    if (text == types[i]) mxml.note.type = i;
  if (text == "long") mxml.note.type = MXML_TYPE_LONG;
  if (text == "maxima") mxml.note.type = MXML_TYPE_MAXIMA;
  if (text == "256th" || text == "512th" || text == "1024th") {
    mxml.note.type = 8;
    mxml_notice(MxmlNotice::note_value,
                "In %s a note is a %s note, which Vesk cannot draw; it draws a 128th.",
                mxml_where().c_str(), std::string(text).c_str());
  }
}

void mxml_dot(XmlElement&) { mxml.note.dots = std::min(mxml.note.dots + 1, 3); }
void mxml_actual_notes(XmlElement& e) { mxml.note.actual = std::clamp(mxml_int(e, 1), 1, 255); }
void mxml_normal_notes(XmlElement& e) { mxml.note.normal = std::clamp(mxml_int(e, 1), 1, 63); }

void mxml_stem(XmlElement& e) {
  std::string converted;
  const std::string_view text = mxml_text_view(e, 16, converted);
  mxml.note.stem = text == "up" ? 2 : text == "down" ? 1 : 3;
  mxml.note.stem_none = text == "none";
}

void mxml_beam(XmlElement& e) {
  std::string converted;
  const std::string_view text = mxml_text_view(e, 32, converted);
  int number = xml_attr_int(e, "number");
  if (number == XML_NO_INT) number = 1;
  number = std::clamp(number, 1, 8);
  MxmlNoteRecord& n = mxml.note;
  if (text == "begin" || text == "forward hook" || text == "forward-hook" || text == "continue")
    n.beam_right = std::max(n.beam_right, number);
  if (text == "end" || text == "backward hook" || text == "backward-hook" || text == "continue")
    n.beam_left = std::max(n.beam_left, number);
}

void mxml_tie(XmlElement& e) {
  if (mxml_attr_is(e, "type", "start")) mxml.note.tie_start = true;
}

namespace {

// The side a tie or slur curves to: 2 over, 1 under, 3 as the layout chooses.
int curve_side(XmlElement& e) {
  return mxml_attr_is(e, "orientation", "over") || mxml_attr_is(e, "placement", "above")    ? 2
         : mxml_attr_is(e, "orientation", "under") || mxml_attr_is(e, "placement", "below") ? 1
                                                                                            : 3;
}

}  // namespace

// The drawn tie: where it curves. Whether the note is tied at all is the tie element's, but
// for a cue note, which has none: its drawn tie says it.
void mxml_tied(XmlElement& e) {
  if (!mxml_attr_is(e, "type", "start")) return;
  mxml.note.tie_side = curve_side(e);
  if (mxml.note.cue) mxml.note.tie_start = true;
}

void mxml_slur(XmlElement& e) {
  int number = xml_attr_int(e, "number");
  if (number == XML_NO_INT) number = 1;
  const int bit = 1 << (std::clamp(number, 1, MXML_SLUR_SLOTS) - 1);
  MxmlNoteRecord& n = mxml.note;
  if (mxml_attr_is(e, "type", "start")) {
    n.slur_starts |= uint8_t(bit);
    n.slur_side = curve_side(e);
  } else if (mxml_attr_is(e, "type", "stop")) {
    n.slur_stops |= uint8_t(bit);
  }
}

void mxml_accidental(XmlElement&) { mxml.note.accidental = true; }
void mxml_cue(XmlElement&) { mxml.note.cue = true; }

void mxml_notehead(XmlElement& e) {
  mxml.note.notehead = mxml_text(e, 32);
  mxml.note.notehead_filled = mxml_attr_is(e, "filled", "yes")  ? 1
                              : mxml_attr_is(e, "filled", "no") ? 0
                                                                : -1;
}

void mxml_notations(XmlElement& e) {
  mxml.notations_open = true;
  // Made in its place: a group moved into the slot would build its list of items twice.
  MxmlGroup& group = mxml.slots[MXML_NOTATIONS_SLOT].emplace_back();
  group.placement = mxml_attr_is(e, "placement", "above")   ? 1
                    : mxml_attr_is(e, "placement", "below") ? -1
                                                            : 0;
}

void mxml_notations_end() {
  mxml.notations_open = false;
  mxml.notations_dynamics = nullptr;
}

void mxml_fermata(XmlElement& e) {
  const bool inverted = mxml_attr_is(e, "type", "inverted");
  if (xml_open_element_level(e, "barline") >= 0)
    mxml_barline_fermata(inverted);
  else
    mxml.note.fermata = inverted ? 1 : 2;
}

// A glissando or a slide: its line goes from this note to the next of its voice.
void mxml_glissando(XmlElement& e) {
  if (mxml_attr_is(e, "type", "start")) mxml.note.gliss = true;
}
void mxml_accent(XmlElement&) { mxml.note.accent = 1; }
void mxml_strong_accent(XmlElement&) { mxml.note.accent = 2; }
void mxml_staccato(XmlElement&) { mxml.note.staccato = true; }
void mxml_staccatissimo(XmlElement&) { mxml.note.staccatissimo = true; }
void mxml_tenuto(XmlElement&) { mxml.note.tenuto = true; }

// A tremolo of one note: its strokes through the stem (three at most). A tremolo between two
// notes: its strokes, and which of its notes this is.
void mxml_tremolo(XmlElement& e) {
  constexpr int MOST_STROKES = 3;
  const bool start = mxml_attr_is(e, "type", "start"), stop = mxml_attr_is(e, "type", "stop");
  if (start || stop) {
    mxml.note.tremolo_pair = start ? 1 : 2;
    mxml.note.pair_strokes = std::clamp(mxml_int(e, MOST_STROKES), 1, 8);
    return;
  }
  if (!mxml_attr_is(e, "type", "single") && xml_attr(e, "type")) return;
  const int strokes = mxml_int(e, MOST_STROKES);
  if (strokes > MOST_STROKES)
    mxml_notice(MxmlNotice::tremolo, "In %s a tremolo has %d strokes; Vesk draws three.",
                mxml_where().c_str(), strokes);
  mxml.note.tremolo = std::clamp(strokes, 0, MOST_STROKES);
}

// A trill's wavy line starts or stops at the note.
void mxml_wavy_line(XmlElement& e) {
  if (std::strcmp(mxml_parent(e), "ornaments") != 0 || mxml.note.wavy_lines.size() >= 8) return;
  const bool start = mxml_attr_is(e, "type", "start");
  if (!start && !mxml_attr_is(e, "type", "stop")) return;  // "continue"
  MxmlNoteRecord::WavyLine w;
  const int number = xml_attr_int(e, "number");
  w.number = number == XML_NO_INT ? 1 : std::clamp(number, 1, MXML_TRILL_LINES);
  w.start = start;
  const double y = xml_attr_double(e, "default-y");
  if (y != XML_NO_DOUBLE && std::isfinite(y) && std::fabs(y) < 1e4)
    w.y = int32_t(std::lround(y * 5));  // five units a tenth
  w.below = mxml_attr_is(e, "placement", "below");
  mxml.note.wavy_lines.push_back(w);
}

// A tuplet's start or stop: its number, and whether its number and bracket are shown.
void mxml_tuplet(XmlElement& e) {
  const bool start = mxml_attr_is(e, "type", "start");
  if (!start && !mxml_attr_is(e, "type", "stop")) return;
  MxmlTupletMark m;
  m.start = start;
  const int number = xml_attr_int(e, "number");
  m.number = number == XML_NO_INT ? 1 : number;
  m.bracket = mxml_attr_is(e, "bracket", "yes") ? 1 : mxml_attr_is(e, "bracket", "no") ? 0 : -1;
  m.number_shown = !mxml_attr_is(e, "show-number", "none");
  if (mxml.note.tuplets.size() < 16) mxml.note.tuplets.push_back(m);
}

// The numbers of a tuplet's own ratio (tuplet-actual and tuplet-normal).
void mxml_tuplet_number(XmlElement& e) {
  if (mxml.note.tuplets.empty() || xml_open_element_level(e, "tuplet") < 0) return;
  MxmlTupletMark& m = mxml.note.tuplets.back();
  const int number = std::clamp(mxml_int(e, 0), 0, 255);
  if (xml_open_element_level(e, "tuplet-actual") >= 0) m.actual = number;
  if (xml_open_element_level(e, "tuplet-normal") >= 0) m.normal = number;
}

void mxml_detached_legato(XmlElement&) {
  mxml.note.staccato = true;
  mxml.note.tenuto = true;
}
