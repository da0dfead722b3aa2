// mxml_analyse.cpp: the second pass of the MusicXML import. After the parse every staff of
// every part is one list in which the notes of all the document's voices on that staff stand
// in time order, each with its voice tag and an XMLT that says when it starts. Here each
// staff list becomes one list per voice: copies of the list keep each only their own voice's
// notes and annotations; notes written on another staff become staff changes; then every
// voice gets its performance data, and the gaps the other voices left are filled with rests,
// measured against the document's times. The XMLTs go at the end.
//
// All of it is a few walks over each list: no step walks a list from its start again.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/musicxml_import.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xmlt_fields.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"

namespace {

constexpr int MAX_TAGS = 6;           // voices one staff list is split into
constexpr int MAX_SPLIT_VOICES = 63;  // voices the piece may reach by splitting
constexpr int UP = 2, DOWN = 1, FREE_STEM = 3;
constexpr int REF_Y_FROM_STAFF = 5;  // an annotation's height counts from its staff
constexpr int LINE_BEGIN = 3;        // a line's first segment

int voice_tag(Drosa note) { return note->get(xpitch) & MXML_TAG_VOICE_BITS; }
int staff_code(Drosa note) { return note->get(xpitch) >> 12; }
bool copied_rest(Drosa note) { return staff_code(note) == MXML_COPIED_REST; }

// The tag an annotation carries, 0 for none.
int anno_tag(Drosa node) {
  if (node->xkind == TPARAM) return node->get(xstyle_reference) & MXML_TAG_VOICE_BITS;
  if (node->xkind == LINE) return node->get(xline_styleref) & MXML_TAG_VOICE_BITS;
  return 0;
}

bool is_attached_mark(int kind) {
  return kind == TSMOD || kind == NEST || kind == SPACC || kind == COLOR;
}

void dump_if_asked(const char* heading) {
  if (!debug_modifier_down()) return;
  debug_out(heading);
  for (int v = 0; v < voice_count; ++v) {
    char line[64];
    std::snprintf(line, sizeof line, "voice %d\n", v);
    debug_out(line);
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      std::snprintf(line, sizeof line, "  %s\n", node_kind_name(p));
      debug_out(line);
    }
  }
}

// Takes voice v out of the piece; the later voices move down.
void delete_voice(int v) {
  destroy_Drosa_list(piece_start[v]);
  for (int u = v; u + 1 < voice_count; ++u) piece_start[u] = piece_start[u + 1];
  piece_start[voice_count - 1] = NIL;
  --voice_count;
}

// Puts a list in the piece as voice `at`; the later voices move up.
void insert_voice(int at, Drosa head) {
  for (int u = voice_count; u > at; --u) piece_start[u] = piece_start[u - 1];
  piece_start[at] = head;
  ++voice_count;
}

// ---- Step 2: the earliest time ----------------------------------------------------------------

int32_t earliest_time() {
  int32_t earliest = NO_TIME;
  for (int v = 0; v < voice_count; ++v) {
    int32_t start = -1;
    for (Drosa p = piece_start[v]; p && p->xkind != NOTE; p = p->xnext)
      if (p->xkind == XMLT) start = p->get(xnwholec);
    if (start >= 0 && start < earliest - TIME_TOLERANCE) earliest = start;
  }
  return earliest == NO_TIME ? 0 : earliest;
}

// ---- Step 3: splitting by voice -----------------------------------------------------------------

// The tags a staff list's notes and annotations carry, read before the lists are split.
struct ListTags {
  std::vector<int> tags, anno_tags;  // of its notes, of its annotations
  bool untagged = false;             // a note without a tag

  void read(Drosa p) {
    if (p->xkind == NOTE) {
      if (voice_tag(p))
        tags.push_back(voice_tag(p));
      else
        untagged = true;
    } else if (anno_tag(p)) {
      anno_tags.push_back(anno_tag(p));
    }
  }
};

// The distinct tags of list v's notes, ascending, as many as may be split off. Notes without
// a tag, and notes of tags beyond those, are given the first tag, and so are annotations.
std::vector<int> collect_tags(int v, ListTags&& read) {
  std::vector<int> tags = std::move(read.tags);
  const std::vector<int>& anno_tags = read.anno_tags;
  const bool untagged = read.untagged;
  std::sort(tags.begin(), tags.end());
  tags.erase(std::unique(tags.begin(), tags.end()), tags.end());
  const size_t most = size_t(std::clamp(MAX_SPLIT_VOICES - voice_count + 1, 1, MAX_TAGS));
  const bool too_many = tags.size() > most;
  if (too_many) {
    Drosa info = find_next_kind_until(VINFO, piece_start[v], NOTE, 0);
    mxml_notice(MxmlNotice::split_voices,
                "Staff %d of part \"%s\" has %zu voices; Vesk gives a staff at most %zu (and a "
                "piece at most %d voices), so the notes of the others go in the staff's first "
                "voice.",
                info ? info->get(xvoiceOnPart) + 1 : 1, info ? info->get(xpname).c_str() : "",
                tags.size(), most, MAX_SPLIT_VOICES);
    tags.resize(most);
  }
  if (tags.empty()) return tags;
  auto kept = [&](int t) { return std::binary_search(tags.begin(), tags.end(), t); };
  // Most lists have every note tagged and no tag dropped: they are not walked again.
  if (!untagged && !too_many && std::all_of(anno_tags.begin(), anno_tags.end(), kept)) return tags;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == NOTE && !kept(voice_tag(p)))
      p->set(xpitch, uint16_t((p->get(xpitch) & ~MXML_TAG_VOICE_BITS) | tags[0]));
    if (p->xkind == TPARAM && anno_tag(p) && !kept(anno_tag(p)))
      p->set(xstyle_reference, uint16_t(tags[0]));
    if (p->xkind == LINE && anno_tag(p) && !kept(anno_tag(p)))
      p->set(xline_styleref, uint16_t(tags[0]));
  }
  return tags;
}

// The tag of the first NOTE after the node.
int next_note_tag(Drosa node) {
  for (Drosa p = node->xnext; p; p = p->xnext)
    if (p->xkind == NOTE) return voice_tag(p);
  return 0;
}

// Removes an annotation: its head, text and further style runs.
Drosa remove_annotation(Drosa head) {
  Drosa p = head->xnext;
  while (p && (p->xkind == TEXT || (p->xkind == TPARAM && p->get(xadjacent)))) {
    Drosa next = p->xnext;
    destroy_node(p);
    p = next;
  }
  destroy_node(head);
  return p;
}

// Removes a note of another voice with the marks attached before it: back to the note, bar or
// document time before it, past the annotations read in between (a mark left there would go to
// the next note of the voice kept). `previous`: the note before it in the list when the caller
// knows it (NIL there: none; nullptr: it is looked for), which ends the chord in its place when
// the note ended one.
Drosa remove_note(Drosa note, const Drosa* previous = nullptr) {
  if (previous && note->get(xendvcd)) {
    if (*previous) (*previous)->set(xendvcd, 1);
    note->set(xendvcd, 0);
  }
  Drosa next = note->xnext;
  for (Drosa p = note->xback;
       p && p->xkind != NOTE && p->xkind != XMLT && p->xkind != BAR && p->xkind != ENDSYST;) {
    Drosa before = p->xback;
    if (is_attached_mark(p->xkind)) destroy_node(p);
    p = before;
  }
  destroy_node(note);
  return next;
}

// A change of the distance below a staff or below its system, which every voice of the staff
// keeps (the distances are read at the voice that ends up on the staff), or of the tuning of
// a tablature staff's strings, which every voice on it plays from.
bool changes_staff_setting(Drosa tparam) {
  const std::string text = anno_run_text(tparam);
  if (text.rfind("param {129:", 0) == 0 || text.rfind("param {560:", 0) == 0) return true;
  for (int pindex = P_MIDI_PITCH_FOR_STRING_1_IN_GUITAR_TABLATURE;
       pindex <= P_MIDI_PITCH_FOR_STRING_7_IN_GUITAR_TABLATURE; ++pindex)
    if (text.rfind("param {" + std::to_string(pindex) + ":", 0) == 0) return true;
  return false;
}

// Keeps in the list only the notes and annotations of one voice tag, and the changes of its
// staff's distances. With `stems`, the voice's free stems go that way (two voices sharing a
// staff).
// The last note before `start` in its list, NIL none.
Drosa note_before(Drosa start) {
  Drosa p = start ? start->xback : NIL;
  while (p && p->xkind != NOTE) p = p->xback;
  return p;
}

void keep_voice(int v, int tag, int stems) {
  // The last note kept: the note before the next one, those between gone.
  Drosa kept = note_before(piece_start[v]);
  for (Drosa p = piece_start[v]; p;) {
    if (p->xkind == NOTE) {
      if (voice_tag(p) != tag) {
        p = remove_note(p, &kept);
        continue;
      }
      kept = p;
      if (stems && p->get(xdir) == FREE_STEM) p->set(xdir, stems);
    } else if ((p->xkind == TPARAM && !p->get(xadjacent)) || p->xkind == LINE) {
      const int t = anno_tag(p) ? anno_tag(p) : next_note_tag(p);
      if (t != tag && !(p->xkind == TPARAM && changes_staff_setting(p))) {
        p = remove_annotation(p);
        continue;
      }
    }
    p = p->xnext;
  }
}

bool has_print_before_note(int v) {
  for (Drosa p = piece_start[v]; p && p->xkind != NOTE; p = p->xnext)
    if (p->xkind == PRINT) return true;
  return false;
}

int first_staff(int v);
int written_staff(Drosa note, int own);

// A staff on which no voice of the document begins, though notes of voices that began on
// another staff are written on it (a right hand whose first chord has its lowest note on the
// lower staff): its list, without notes, goes with the others that have none, and the voice
// that writes the most notes on it is given it as its own (below).
struct UnclaimedStaff {
  int staff;
  std::vector<uint8_t> clefs;  // the staff's clef after each bar line (entry 0: at its start)
  Drosa info;                  // a copy of its VINFO (the part's name stands in the first)
  int bracket, brace;          // its bracket and brace codes, at the start and at systems
  int first_bracket, first_brace;
};

std::vector<uint8_t> clefs_by_bar(int v);

// Read before the staff lists are split: each list still holds one staff. The same walk reads
// each list's tags into `tags`.
std::vector<UnclaimedStaff> unclaimed_staves(std::vector<ListTags>& tags) {
  std::vector<int> staves;
  for (int v = 0; v < voice_count; ++v) staves.push_back(first_staff(v));
  tags.assign(size_t(voice_count), ListTags{});
  std::vector<bool> written(size_t(voice_count), false), holds_notes(size_t(voice_count), false);
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      tags[size_t(v)].read(p);
      if (p->xkind != NOTE || staves[size_t(v)] < 0) continue;
      holds_notes[size_t(v)] = true;
      if (staff_code(p) == 0 || copied_rest(p)) continue;
      const int staff = written_staff(p, staves[size_t(v)]);
      for (int u = 0; u < voice_count; ++u)
        if (staves[size_t(u)] == staff) written[size_t(u)] = true;
    }
  std::vector<UnclaimedStaff> unclaimed;
  for (int v = 0; v < voice_count; ++v) {
    if (!written[size_t(v)] || holds_notes[size_t(v)]) continue;
    UnclaimedStaff u{staves[size_t(v)], clefs_by_bar(v), NIL, 2, 0, 2, 0};
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind == VINFO && !u.info) u.info = copyDrosa(p);
      if (p->xkind == PRINT && p == find_next_kind(PRINT, piece_start[v]))
        u.first_bracket = p->get(xfirst_bracket), u.first_brace = p->get(xfirst_brace);
      if (p->xkind == ENDSYST && !p->get(xstartpiece) && !p->get(xendpiece))
        u.bracket = p->get(xbracket), u.brace = p->get(xbrace);
    }
    unclaimed.push_back(u);
  }
  return unclaimed;
}

// True when a note of the voice starts where the clef comes in force: the first note after
// it, in its measure, is the first to start after it (a voice whose note still sounds there,
// or that has no note from there to the bar line, meets no other voice's time in between).
bool clef_at_a_note(Drosa clef) {
  int times = 0;
  for (Drosa p = clef->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return true;
    if (p->xkind == BAR || p->xkind == ENDSYST || (p->xkind == XMLT && ++times > 1)) return false;
  }
  return false;
}

// The lists split from one staff list hold copies of its clefs, one for one. A clef change in
// the middle of a measure stands in a voice that has no note at its time before the voice's
// next note, or before the rests that fill the voice's gap, as if it came earlier or later:
// there it is hidden when another voice of the staff shows it at its time.
void hide_clefs_of_other_times(int first, int count) {
  std::vector<std::vector<Drosa>> clefs(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    for (Drosa p = piece_start[first + i]; p; p = p->xnext)
      if (p->xkind == CLEF) clefs[size_t(i)].push_back(p);
  for (size_t k = 0; k < clefs[0].size(); ++k) {
    std::vector<bool> at_note;
    for (const auto& list : clefs) at_note.push_back(k < list.size() && clef_at_a_note(list[k]));
    if (std::none_of(at_note.begin(), at_note.end(), [](bool b) { return b; })) continue;
    for (size_t i = 0; i < clefs.size(); ++i)
      if (!at_note[i] && k < clefs[i].size() && clefs[i][k]->get(xclef_change))
        clefs[i][k]->set(xclefhide, 1);
  }
}

// True when voice v holds no NOTE.
bool noteless(int v) { return !find_next_kind(NOTE, piece_start[v]); }

// True when voice v is the list, without notes, of a staff that only notes of voices at home on
// another staff are written on.
bool unclaimed_list(int v, const std::vector<UnclaimedStaff>& unclaimed) {
  const int staff = first_staff(v);
  return staff >= 0 && noteless(v) &&
         std::any_of(unclaimed.begin(), unclaimed.end(),
                     [&](const UnclaimedStaff& u) { return u.staff == staff; });
}

// Splits staff list v, whose tags were read, into one list per voice; returns how many lists
// it became. A list without notes goes, unless it is an unclaimed staff's (kept for now).
int split_list(int v, ListTags&& read, const std::vector<UnclaimedStaff>& unclaimed) {
  const std::vector<int> tags = collect_tags(v, std::move(read));
  if (tags.empty()) {
    if (unclaimed_list(v, unclaimed)) return 1;
    delete_voice(v);
    return 0;
  }
  for (size_t i = 1; i < tags.size(); ++i) {
    Drosa last = NIL;
    insert_voice(v + int(i), copy_detached_chain(piece_start[v], NIL, &last));
  }
  const bool shared = tags.size() > 1;
  for (size_t i = 0; i < tags.size(); ++i) {
    const int stems = !shared ? 0 : i == 0 ? UP : i == 1 ? DOWN : 0;
    keep_voice(v + int(i), tags[i], stems);
    if (!has_print_before_note(v + int(i))) {
      REPORT_ERROR(4, "Import problem in start_end_split_voices() %d %d", v, int(i));
      mxml_throw("");
    }
  }
  if (shared) hide_clefs_of_other_times(v, int(tags.size()));
  return int(tags.size());
}

// ---- Step 4: voice numbers
// ------------------------------------------------------------------------

bool only_copied_rests(int v) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE && !copied_rest(p)) return false;
  return true;
}

// A voice that shows nothing: its notes are all hidden rests (of forwards and unprinted notes).
bool only_hidden_rests(int v) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE && !copied_rest(p) && !(p->get(xrest) && p->get(xhider))) return false;
  return true;
}

// True when another voice is on voice v's staff.
bool staff_shared(int v) {
  for (int u = 0; u < voice_count; ++u)
    if (u != v && first_staff(u) == first_staff(v)) return true;
  return false;
}

// Each voice's number among the voices of its part, in its VINFO.
void number_voices_of_parts() {
  for (int v = 0; v < voice_count; ++v) {
    Drosa info = find_next_kind_until(VINFO, piece_start[v], NOTE, 0);
    int n = 0;
    for (int u = v - 1; u >= 0 && voices_same_part(u, v); --u) ++n;
    if (info) info->set(xvoiceOnPart, int8_t(n));
  }
}

void number_voices(const std::vector<UnclaimedStaff>& unclaimed) {
  for (int v = 0; v < voice_count;) {
    if (unclaimed_list(v, unclaimed)) {
      ++v;
      continue;
    }
    if (only_copied_rests(v) || (only_hidden_rests(v) && staff_shared(v))) {
      delete_voice(v);
      continue;
    }
    ++v;
  }
  number_voices_of_parts();
}

// ---- Step 5: chords written across two staves --------------------------------------------------

int measure_staff(Drosa first, int own);

// A voice chord stands on one staff. Where the document writes some notes of a chord on
// another staff than the others (the lowest note of a right-hand chord on the lower staff),
// they go to a voice of their own on that staff: the staff they are written on is the one
// they are read on, without ledger lines reaching across to the other staff. The chord's
// other notes stay with the voice, on the staff its measure is on.
// By note of the voice, in list order: the staff the note goes to (-1 when it stays), the
// staff its chord stays on, and the number of its voice chord.
struct CrossStaffSplit {
  int voice;  // the voice the notes were written in
  std::vector<int> staves, chord_staves, chords;
};

// A tie joins two notes of one voice: a note tied to a note of the next chord goes where that
// note goes, both staying with the chord when either stays (drawn with ledger lines there),
// rather than lose the tie between two voices.
void keep_tied_notes_together(CrossStaffSplit& split, const std::vector<Drosa>& notes) {
  for (bool moved = true; moved;) {
    moved = false;
    for (size_t i = 0; i < notes.size(); ++i) {
      if (!notes[i]->get(xtie) || notes[i]->get(xrest)) continue;
      for (size_t j = i + 1; j < notes.size() && split.chords[j] <= split.chords[i] + 1; ++j) {
        if (split.chords[j] == split.chords[i] || notes[j]->get(xrest) ||
            notes[j]->get(xmod7) != notes[i]->get(xmod7) || split.staves[j] == split.staves[i])
          continue;
        split.staves[i] = split.staves[j] = -1;
        moved = true;
      }
    }
  }
}

// The notes of voice v's chords that are written on another staff than the rest of their
// chord, and where they go.
CrossStaffSplit find_cross_staff_notes(int v) {
  CrossStaffSplit split{v, {}, {}, {}};
  const int own = first_staff(v);
  if (own < 0) return split;
  int measure = own, chord = 0;
  bool measure_begun = false;
  std::vector<Drosa> notes;  // the chord being read
  std::vector<int> written;  // the staves its notes are written on
  auto close_chord = [&] {
    written.clear();
    for (Drosa n : notes)
      written.push_back(n->get(xrest) || copied_rest(n) ? -1 : written_staff(n, own));
    int keep = -1;
    for (int w : written)
      if (w == measure || (keep < 0 && w >= 0)) keep = w;
    for (size_t i = 0; i < notes.size(); ++i) {
      split.staves.push_back(written[i] >= 0 && written[i] != keep ? written[i] : -1);
      split.chord_staves.push_back(keep);
      split.chords.push_back(chord);
    }
    notes.clear();
    ++chord;
  };
  std::vector<Drosa> all;  // the voice's notes, in list order
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == BAR || kind == ENDSYST || kind == BARSEP) measure_begun = false;
    if (p->xkind != NOTE) continue;
    if (!measure_begun && !copied_rest(p)) measure = measure_staff(p, own), measure_begun = true;
    notes.push_back(p);
    all.push_back(p);
    if (p->get(xendvcd)) close_chord();
  }
  if (!notes.empty()) close_chord();
  keep_tied_notes_together(split, all);
  return split;
}

// The voice of the notes of `split` that go to `staff`: a copy of the voice that keeps only
// them, on that staff from its start, its clefs those of `clefs` (that staff's, by bar) and
// hidden. They stem toward the chord they left, leave its slur marks to it, and each keeps
// its beam and tie only to the voice's next chord.
Drosa cross_staff_voice(const CrossStaffSplit& split, int staff,
                        const std::vector<uint8_t>& clefs) {
  Drosa last = NIL;
  Drosa head = copy_detached_chain(piece_start[split.voice], NIL, &last);
  std::vector<std::pair<Drosa, size_t>> kept;  // note and its place in `split`
  size_t ordinal = 0, bar = 0;
  for (Drosa p = head; p;) {
    if (p->xkind == NOTE) {
      const size_t i = ordinal++;
      if (i >= split.staves.size() || split.staves[i] != staff) {
        const Drosa previous = kept.empty() ? NIL : kept.back().first;  // the copy is the list
        p = remove_note(p, &previous);
        continue;
      }
      kept.push_back({p, i});
    } else if ((p->xkind == TPARAM && !p->get(xadjacent)) || p->xkind == LINE) {
      p = remove_annotation(p);
      continue;
    } else if (p->xkind == PRINT) {
      p->set(xsstaff, int16_t(staff));
    } else if (p->xkind == CLEF) {
      if (!clefs.empty()) p->set(xclef, clefs[std::min(bar, clefs.size() - 1)]);
      p->set(xclefhide, 1);
    } else if (p->xkind == BAR) {
      ++bar;
    }
    p = p->xnext;
  }
  for (size_t k = 0; k < kept.size(); ++k) {
    Drosa n = kept[k].first;
    const size_t i = kept[k].second;
    const int chord = split.chords[i];
    const int next_chord = k + 1 < kept.size() ? split.chords[kept[k + 1].second] : -1;
    n->set(xendvcd, next_chord != chord);
    n->set(xdir, staff > split.chord_staves[i] ? UP : DOWN);
    n->set(xslur, 0);
    if (next_chord != chord + 1 && next_chord != chord) {
      n->set(xcbeam, 0);
      n->set(xcsbeam, 0);
      if (n->get(xlgval) >= 4) n->set(xebeam, 1);
      n->set(xtie, 0);
    }
  }
  return head;
}

// Takes out of voice v the notes that went to `staves`; a chord that loses its last note
// ends with the note before, and one that loses the note its slur mark was on passes the
// mark to the note that stays.
void remove_cross_staff_notes(const CrossStaffSplit& split, const std::vector<int>& staves) {
  auto goes = [&](size_t i) {
    return i < split.staves.size() &&
           std::find(staves.begin(), staves.end(), split.staves[i]) != staves.end();
  };
  size_t ordinal = 0;
  Drosa stays = NIL;  // the chord's last note that stays
  // The last note that stays: the note before the next one.
  Drosa stayed = note_before(piece_start[split.voice]);
  int slur = 0;  // the slur marks of its notes that go
  for (Drosa p = piece_start[split.voice]; p;) {
    if (p->xkind != NOTE) {
      p = p->xnext;
      continue;
    }
    const bool ends = p->get(xendvcd);
    if (goes(ordinal++)) {
      slur |= p->get(xslur);
      p = remove_note(p, &stayed);
    } else {
      stays = stayed = p;
      p = p->xnext;
    }
    if (!ends) continue;
    if (stays) {
      stays->set(xendvcd, 1);
      stays->set(xslur, stays->get(xslur) | slur);
    }
    stays = NIL, slur = 0;
  }
}

// Gives an unclaimed staff to the voice that writes the most notes on it, of those whose own
// staff keeps another voice, when the voice's first measure is written there: its PRINTs and
// clefs become that staff's, its notes' staff offsets count from it, and the staff changes
// (step 6) take it back to its first staff where most of a measure is written there. True
// when the staff is given; otherwise its list stays as a voice of hidden rests, which keeps
// the staff's clef, key and time signature and its clef changes (the voices that come to
// it take its clefs in step 6).
bool claim_staff(const UnclaimedStaff& unclaimed) {
  int best = -1, most = 0;
  for (int v = 0; v < voice_count; ++v) {
    const int own = first_staff(v);
    if (own < 0 || !staff_shared(v)) continue;
    int count = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      count += p->xkind == NOTE && !copied_rest(p) && written_staff(p, own) == unclaimed.staff;
    if (count > most) best = v, most = count;
  }
  if (best < 0) return false;
  const int own = first_staff(best);
  const Drosa first = find_next_kind(NOTE, piece_start[best]);
  if (!first || measure_staff(first, own) != unclaimed.staff) return false;
  size_t bar = 0;
  bool first_print = true;
  for (Drosa p = piece_start[best]; p; p = p->xnext) {
    if (p->xkind == BAR) ++bar;
    if (p->xkind == VINFO && unclaimed.info) {
      Drosa info = copyDrosa(unclaimed.info);
      link_after(info, p);
      destroy_node(p);
      p = info;
    }
    if (p->xkind == ENDSYST && !p->get(xstartpiece) && !p->get(xendpiece)) {
      p->set(xbracket, unclaimed.bracket);
      p->set(xbrace, unclaimed.brace);
    }
    if (p->xkind == PRINT && first_print) {
      p->set(xfirst_bracket, unclaimed.first_bracket);
      p->set(xfirst_brace, unclaimed.first_brace);
      first_print = false;
    }
    if (p->xkind == PRINT) p->set(xsstaff, int16_t(unclaimed.staff));
    if (p->xkind == CLEF && !unclaimed.clefs.empty())
      p->set(xclef, unclaimed.clefs[std::min(bar, unclaimed.clefs.size() - 1)]);
    if (p->xkind != NOTE || copied_rest(p)) continue;
    const int written = written_staff(p, own);
    const int code = written == unclaimed.staff ? 0 : written - unclaimed.staff + MXML_STAFF_BIAS;
    p->set(xpitch, uint16_t((p->get(xpitch) & MXML_TAG_VOICE_BITS) | code << 12));
  }
  return true;
}

// A voice alone on its staff that notes split from another voice's chords come to shares the
// staff with them: its free stems and rests go up or down, as the first or the second of two
// voices of a staff do, by the order of the two voices (as they come back when written).
void share_staff_stems(int v, int stems) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE && p->get(xdir) == FREE_STEM) p->set(xdir, stems);
}

// Splits every chord written across two staves (above); `homes` gives, for each voice made
// for such notes, the staff of the voice they came from (the staff their staff offsets count
// from), -1 for the others. A staff no voice of its own is on, or a piece of as many voices as
// it can hold, keeps its chords whole.
void split_cross_staff_chords(std::vector<int>& homes) {
  homes.assign(size_t(voice_count), -1);
  for (int v = 0; v < voice_count; ++v) {
    if (homes[size_t(v)] >= 0) continue;
    const CrossStaffSplit split = find_cross_staff_notes(v);
    std::vector<int> targets;
    for (int s : split.staves)
      if (s >= 0 && std::find(targets.begin(), targets.end(), s) == targets.end())
        targets.push_back(s);
    std::sort(targets.begin(), targets.end());
    std::vector<int> moved;
    const int own = first_staff(v);
    for (int staff : targets) {
      int there = -1, sharing = 0;
      for (int u = 0; u < voice_count; ++u)
        if (u != v && homes[size_t(u)] < 0 && first_staff(u) == staff) {
          if (there < 0) there = u;
          ++sharing;
        }
      if (there < 0 || voice_count >= MAX_SPLIT_VOICES) continue;
      const int at = v + 1 + int(moved.size());
      insert_voice(at, cross_staff_voice(split, staff, clefs_by_bar(there)));
      homes.insert(homes.begin() + at, own);
      if (sharing == 1) share_staff_stems(there < at ? there : there + 1, there < at ? UP : DOWN);
      moved.push_back(staff);
    }
    if (!moved.empty()) remove_cross_staff_notes(split, moved);
  }
  number_voices_of_parts();
}

// ---- Step 6: staff changes and performance
// -------------------------------------------------------

// The clef code in force after each bar line of voice v (entry 0: at its start).
std::vector<uint8_t> clefs_by_bar(int v) {
  std::vector<uint8_t> clefs(1, 0);
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (effective_kind(p) == CLEF) clefs.back() = p->get(xclef);
    if (effective_kind(p) == BAR) clefs.push_back(clefs.back());
  }
  return clefs;
}

// The staff of each voice's first PRINT, -1 when it has none.
int first_staff(int v) {
  Drosa print = find_next_kind_until(PRINT, piece_start[v], NOTE, 0);
  return print ? print->get(xsstaff) : -1;
}

// The staff a note is written on, for a voice whose own staff is `own`.
int written_staff(Drosa note, int own) {
  const int code = staff_code(note);
  return code == 0 ? own : own + code - MXML_STAFF_BIAS;
}

// The staff most of the measure's notes (from `first` to the next bar line) are written on;
// on a tie, or in a measure of rests, the first note's.
int measure_staff(Drosa first, int own) {
  // The notes of each staff code (four bits of the tag) in the measure.
  std::array<int, 16> notes{};
  for (Drosa p = first; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == BAR || kind == ENDSYST || kind == BARSEP) break;
    if (kind == NOTE && !copied_rest(p) && !p->get(xrest)) ++notes[size_t(staff_code(p))];
  }
  // By staff: code 0 and the code of no offset both name the voice's own.
  notes[MXML_STAFF_BIAS] += notes[0];
  notes[0] = 0;
  const int first_code = staff_code(first) == 0 ? MXML_STAFF_BIAS : staff_code(first);
  int staff = written_staff(first, own), most = notes[size_t(first_code)];
  // The staff of the most notes, if more than the first note's: the first of those that tie.
  for (int code = 1; code < 16; ++code)
    if (notes[size_t(code)] > most)
      staff = own + code - MXML_STAFF_BIAS, most = notes[size_t(code)];
  return staff;
}

// The one staff every note of the voice chord beginning at `first` is written on; -1 for a
// chord of rests or one written across two staves.
int chord_staff(Drosa first, int own) {
  int staff = -1;
  for (Drosa p = first; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == BAR || kind == ENDSYST || kind == BARSEP) break;
    if (kind != NOTE) continue;
    if (!copied_rest(p) && !p->get(xrest)) {
      const int written = written_staff(p, own);
      if (staff >= 0 && written != staff) return -1;
      staff = written;
    }
    if (p->get(xendvcd)) break;
  }
  return staff;
}

// A voice moves to the staff its notes are written on: for a measure to the staff most of
// the measure's notes are written on, and within it for each chord whose notes are all
// written on another staff (a run crossing to the other hand's staff, the two ends of a beam
// across the staves); a copy of the PRINT in force, given that staff, stands before the
// measure or the chord (its clefs follow, below). A chord written across two staves stays on
// the measure's staff, and a rest on the staff of the chord before it.
void staff_changes(int v, const std::vector<int>& staves, int* first_change) {
  const int own = staves[size_t(v)];
  int current = own, bars = 1, measure = own;
  bool measure_begun = false, chord_begins = true;
  Drosa print = NIL, measure_start = piece_start[v], chord_end = NIL;
  Drosa print_since = NIL;  // a PRINT since the measure's start or the chord before
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == PRINT) print = print_since = p, current = p->get(xsstaff);
    if (kind == BAR || kind == ENDSYST || kind == BARSEP) {
      if (kind == BAR) ++bars;
      measure_start = p, measure_begun = false, print_since = NIL;
    }
    if (kind != NOTE) continue;
    const bool first_of_chord = chord_begins;
    const Drosa chord_before = chord_end;
    const Drosa print_before = print_since;
    chord_begins = p->get(xendvcd);
    if (chord_begins) chord_end = p, print_since = NIL;
    if (!first_of_chord || copied_rest(p) || own < 0 || !print) continue;
    const bool measure_opens = !measure_begun;
    if (measure_opens) measure = measure_staff(p, own), measure_begun = true;
    int staff = chord_staff(p, own);
    if (staff < 0) staff = p->get(xrest) && !measure_opens ? current : measure;
    if (staff == current || staff < 0) continue;
    *first_change = *first_change ? std::min(*first_change, bars) : bars;
    Drosa change = copyDrosa(print);
    change->set(xsstaff, int16_t(staff));
    // Within the measure the copy follows the chord before (nothing between them but what
    // belongs to this chord), and in any case the PRINT that stands before the chord (the
    // one that puts a voice on its own staff before its first note).
    Drosa after = measure_opens || !chord_before ? measure_start : chord_before;
    link_after(change, print_before ? print_before : after);
    print = change;
    current = staff;
  }
}

// A beam of the voice whose chords stand on two staves runs between them: the stems of its
// notes on the upper staff point down, on the lower staff up (the stems a document gives
// such a beam, all up or all down, would end it at the staff change).
class CrossStaffBeams {
 public:
  void visit(Drosa p, int kind) {
    if (kind == PRINT) staff_ = p->get(xsstaff);
    if (kind == BAR || kind == ENDSYST || kind == BARSEP) close();
    if (kind != NOTE || p->get(xgrace) || copied_rest(p)) return;
    group_.push_back({p, staff_});
    if (p->get(xendvcd) && !p->get(xcbeam)) close();
  }

  void close() {
    int lowest = INT32_MAX, highest = INT32_MIN;
    for (const Member& m : group_)
      lowest = std::min(lowest, m.staff), highest = std::max(highest, m.staff);
    if (lowest != highest)
      for (const Member& m : group_) m.note->set(xdir, m.staff == lowest ? DOWN : UP);
    group_.clear();
  }

 private:
  struct Member {
    Drosa note;
    int staff;
  };
  std::vector<Member> group_;
  int staff_ = -1;
};

// A clef of a voice and the document time from which it is in force: that of the note or bar
// line that follows it; `unseen` when that note is a hidden rest, which shows no sign before it.
struct TimedClef {
  int32_t time;
  uint8_t clef;
  bool unseen;
};

// The document's time of the next note or bar line after a node (NO_TIME at the list's end).
int32_t next_document_time(Drosa node) {
  for (Drosa p = node; p; p = p->xnext)
    if (p->xkind == XMLT) return p->get(xnwholec);
  return NO_TIME;
}

// The time into its measure from which a clef read for a staff is in force, 0 when the parse
// did not record it.
int32_t recorded_clef_time(Drosa clef) {
  for (const MxmlList& l : mxml.lists)
    for (const auto& [node, time] : l.clef_units)
      if (node == clef) return time;
  return 0;
}

// The clefs of the list of a staff without notes of its own, which holds the document's times
// of its bar lines alone: they take the times into the measure the parse recorded, and stand
// before the hidden rests that will fill the list. A change within a measure gets the time
// after it, so that the rests before its time go before it, and is hidden there: the voices
// that come to the staff show it.
std::vector<TimedClef> clefs_of_noteless(int v) {
  std::vector<TimedClef> clefs;
  int32_t bar = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == XMLT) bar = p->get(xnwholec);
    if (effective_kind(p) != CLEF) continue;
    const int32_t into = recorded_clef_time(p);
    clefs.push_back({bar + into, p->get(xclef), true});
    if (into <= TIME_TOLERANCE || !p->get(xclef_change)) continue;
    Drosa time = newDrosa(XMLT, 0);
    time->set(xnwholec, bar + into);
    link_after(time, p);
    p->set(xclefhide, 1);
    p = time;
  }
  return clefs;
}

// Voice v's clefs in list order, with their times.
std::vector<TimedClef> clefs_by_time(int v) {
  if (noteless(v)) return clefs_of_noteless(v);
  std::vector<TimedClef> clefs;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (effective_kind(p) != CLEF) continue;
    Drosa note = find_next_kind(NOTE, p);
    const bool unseen = note && note->get(xrest) && note->get(xhider);
    clefs.push_back({next_document_time(p), p->get(xclef), unseen});
  }
  return clefs;
}

// The clef a staff changes to at a document time before a hidden rest of its own voice,
// which does not show it; -1 when it does not change there.
int unseen_change_at(const std::vector<TimedClef>& clefs, int32_t time) {
  for (size_t i = 1; i < clefs.size(); ++i)
    if (clefs[i].unseen && std::abs(clefs[i].time - time) <= TIME_TOLERANCE &&
        clefs[i].clef != clefs[i - 1].clef)
      return clefs[i].clef;
  return -1;
}

// The clef in force at a document time: the last that begins by then, or the first.
int clef_at_time(const std::vector<TimedClef>& clefs, int32_t time) {
  if (clefs.empty()) return -1;
  int clef = clefs.front().clef;
  for (const TimedClef& c : clefs)
    if (c.time <= time + TIME_TOLERANCE) clef = c.clef;
  return clef;
}

// The clefs of a voice that moved to other staves follow the staff it is on: a clef it holds
// on another staff (its own, or one restated at a system start) takes the clef that staff has
// at that time, and a move to a staff whose clef is not the one in force, with no clef of the
// voice before its next note, gets a hidden one; so the voice's notes are placed, and the clef
// it restates at a system start drawn, by the staff's clef (coming back to its own staff too),
// also where the staff changes clef for them within a bar; a change the staff's own voice
// holds before a hidden rest is shown before the notes that come. A change of the voice's own
// staff made while the voice is on another is not drawn there: the own staff shows it when
// the voice comes back, unless another voice at home there shows it.
class ClefsFollowStaff {
 public:
  ClefsFollowStaff(int v, const std::vector<std::vector<TimedClef>>& clefs,
                   const std::vector<int>& staves)
      : v_(v), own_(staves[size_t(v)]), current_(own_), clefs_(clefs), staves_(staves) {}

  void visit(Drosa p, int kind) {
    if (own_ < 0) return;
    if (kind == PRINT && p->get(xsstaff) != current_) {
      current_ = p->get(xsstaff);
      moved_ = p;
    } else if (kind == CLEF) {
      const int clef = current_ == own_ ? -1 : clef_at(current_, next_document_time(p));
      if (clef >= 0) p->set(xclef, uint8_t(clef));
      if (current_ != own_ && p->get(xclef_change)) p->set(xclefhide, 1);
      in_force_ = p->get(xclef);
      if (current_ == own_) own_shown_ = in_force_;
      any_clef_ = p;
      moved_ = NIL;
    } else if (kind == NOTE && !moved_ && chord_begins_ && current_ != own_ && any_clef_) {
      // The staff the voice stays on changes clef under it: the voice takes the change before
      // its chord, drawn when the staff's own voice rests there unseen.
      const int32_t time = next_document_time(xmlt_before(p));
      const int clef = clef_at(current_, time);
      if (clef >= 0 && clef != in_force_) {
        const std::vector<TimedClef>* there = staff_clefs(current_);
        const bool shown = there && unseen_change_at(*there, time) == clef;
        add_clef(xmlt_before(p)->xback, clef, !shown);
      }
    } else if (kind == NOTE && moved_) {
      // A staff that changes clef for the notes that come to it, before a hidden rest of its
      // own voice, shows the change before them.
      const int32_t time = next_document_time(moved_);
      const std::vector<TimedClef>* there = current_ == own_ ? nullptr : staff_clefs(current_);
      const int shown = there ? unseen_change_at(*there, time) : -1;
      const int clef = clef_at(current_, time);
      const bool changed_away =
          current_ == own_ && own_shown_ >= 0 && clef >= 0 && clef != own_shown_ && alone_home();
      if (any_clef_ && (shown >= 0 || changed_away))
        add_clef(moved_, shown >= 0 ? shown : clef, false);
      else if (any_clef_ && clef >= 0 && clef != in_force_)
        add_clef(moved_, clef, true);
      if (current_ == own_ && clef >= 0) own_shown_ = clef;
      moved_ = NIL;
    }
    if (kind == NOTE) chord_begins_ = p->get(xendvcd);
  }

 private:
  // The clefs of the staff: the voice's own, or those of the first voice at home there.
  const std::vector<TimedClef>* staff_clefs(int staff) const {
    for (size_t u = 0; u < staves_.size(); ++u)
      if ((staff == own_ ? u == size_t(v_) : staves_[u] == staff) && !clefs_[u].empty())
        return &clefs_[u];
    return nullptr;
  }

  // No other voice has its home on the voice's own staff.
  bool alone_home() const {
    for (size_t u = 0; u < staves_.size(); ++u)
      if (u != size_t(v_) && staves_[u] == own_) return false;
    return true;
  }

  int clef_at(int staff, int32_t time) const {
    const std::vector<TimedClef>* c = staff_clefs(staff);
    return c ? clef_at_time(*c, time) : -1;
  }

  // The document time before a note (the note itself when it has none).
  static Drosa xmlt_before(Drosa note) {
    for (Drosa p = note->xback; p; p = p->xback) {
      if (p->xkind == XMLT) return p;
      if (p->xkind == NOTE || p->xkind == BAR || p->xkind == ENDSYST) break;
    }
    return note;
  }

  // A clef linked after `after`, behind the walk.
  void add_clef(Drosa after, int clef, bool hide) {
    Drosa added = copyDrosa(any_clef_);
    added->set(xclef, uint8_t(clef));
    added->set(xclefhide, hide ? 1 : 0);
    added->set(xclef_change, 1);
    link_after(added, after);
    in_force_ = clef;
  }

  const int v_, own_;
  int current_, in_force_ = -1;
  int own_shown_ = -1;  // the clef the own staff shows, as far as the walk has come
  bool chord_begins_ = true;
  Drosa moved_ = NIL, any_clef_ = NIL;
  const std::vector<std::vector<TimedClef>>& clefs_;
  const std::vector<int>& staves_;
};

// The MIDI keys of the percussion notes of a voice (xxmlkey), taken before their performance
// data is made, which takes the byte back; and the last note from `first` (its first) on.
struct UnpitchedKeys {
  explicit UnpitchedKeys(Drosa first) : first(first), last(first) {}

  void visit(Drosa p) {
    from_first = from_first || p == first;
    if (p->xkind != NOTE) return;
    if (from_first) last = p;
    if (!p->get(xrest) && p->get(xxmlkey)) keys.push_back({p, p->get(xxmlkey) - 1});
  }

  Drosa first, last;
  bool from_first = false;
  std::vector<std::pair<Drosa, int>> keys;
};

// A percussion note sounds its instrument's key, not the key of its place on the staff: the
// pitch is set as by hand.
void sound_unpitched_keys(const std::vector<std::pair<Drosa, int>>& keys) {
  for (auto [note, key] : keys) {
    note->set(xpitch, uint16_t(key << 8));
    note->set(xpitch_edited, 1);
  }
}

// Notes written under an octave line sound at the pitch the document gives them.
void sound_written_octaves(int v) {
  constexpr int32_t OCTAVE = 12 << 8;  // in a pitch word
  int octaves = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == XMLT) octaves = p->get(xxmloctaves);
    if (p->xkind != NOTE || !octaves || p->get(xrest)) continue;
    const int32_t pitch = int32_t(p->get(xpitch)) - octaves * OCTAVE;
    p->set(xpitch, uint16_t(std::clamp(pitch, 0, (127 << 8) + 199)));
  }
}

// From the middle line of staff `from` up to that of staff `to`, in layout units: each staff
// stands below the one above it by the distance the document gives it last (the program's
// default when it gives none), as the layout places them.
int32_t staff_rise(int from, int to) {
  const int32_t otherwise =
      param_value(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, NIL, nullptr)->integer();
  int64_t rise = 0;
  for (int s = std::min(from, to); s < std::max(from, to); ++s) {
    const bool given =
        s >= 0 && size_t(s) < mxml.lists.size() && mxml.lists[size_t(s)].last_param[0] > 0;
    rise += 10 * int64_t(given ? mxml.lists[size_t(s)].last_param[0] : otherwise);
  }
  return int32_t(std::clamp<int64_t>(to < from ? rise : -rise, INT32_MIN / 2, INT32_MAX / 2));
}

// The texts of directions (words, tempo, rehearsal, dynamics and pedal marks) and the lines
// (hairpins, octave lines) count their heights from the staff: a direction's height is the
// one the document gives from the staff it names, the voice's own.
bool direction_from_staff(Drosa p) {
  if (p->xkind == LINE) return p->get(xline_rely) == REF_Y_FROM_STAFF;
  if (p->xkind != TPARAM || p->get(xadjacent) || p->get(xrelativey) != REF_Y_FROM_STAFF)
    return false;
  const int c = p->get(xclassify);
  return c == 1 || c == 4 || c == 6 || c == 7 || c == 9;
}

// A voice's direction at a chord it writes on another staff keeps the height the document
// gives it from the voice's own staff: counted from the staff the chord stands on, it stood
// as far off that staff (a crescendo between the staves at a chord written on the lower one
// hung below the lower staff, by the next system). A line's end, found by its heights, moves
// with its start. An octave line moved to the voice from another staff keeps its height from
// the staff it names.
class DirectionsKeepTheirStaff {
 public:
  explicit DirectionsKeepTheirStaff(int own) : own_(own), current_(own) {}

  void visit(Drosa p, int kind) {
    if (kind == PRINT) current_ = p->get(xsstaff);
    if (own_ < 0 || current_ < 0 || !direction_from_staff(p)) return;
    int named = own_;
    for (const auto& [moved, list] : mxml.moved_directions)
      if (moved == p) named = list;
    if (current_ == named) return;
    const int32_t rise = staff_rise(current_, named);
    if (p->xkind == TPARAM) {
      raise(p, xtexty, rise);
    } else if (p->get(xline_ord) == LINE_BEGIN) {
      Drosa end = line_geometry_wrapper(p);
      raise(p, xstarty, rise);
      if (end) raise(end, xstarty, rise);
    }
  }

 private:
  template <typename F>
  static void raise(Drosa p, const F& field, int32_t by) {
    p->set(field, int32_t(std::clamp<int64_t>(int64_t(p->get(field)) + by, INT32_MIN, INT32_MAX)));
  }

  const int own_;
  int current_;
};

// `homes`: for a voice made of notes split from a chord, the staff of the voice they came from.
// Returns by voice whether it holds grace notes.
std::vector<bool> staff_changes_and_performance(int* first_change, const std::vector<int>& homes) {
  std::vector<bool> graces(size_t(voice_count), false);
  std::vector<std::vector<TimedClef>> clefs;
  std::vector<int> staves;
  for (int v = 0; v < voice_count; ++v) {
    clefs.push_back(clefs_by_time(v));
    staves.push_back(homes[size_t(v)] >= 0 ? homes[size_t(v)] : first_staff(v));
  }
  for (int v = 0; v < voice_count; ++v) {
    Drosa first = find_next_kind(NOTE, piece_start[v]);
    if (!first) continue;
    staff_changes(v, staves, first_change);
    // One walk after the staff changes for what follows them; the clefs it adds stand behind it.
    DirectionsKeepTheirStaff directions(staves[size_t(v)]);
    CrossStaffBeams beams;
    ClefsFollowStaff clefs_follow(v, clefs, staves);
    UnpitchedKeys keys(first);
    bool octave_lines = false;  // notes written under an octave line
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      const int kind = effective_kind(p);
      directions.visit(p, kind);
      beams.visit(p, kind);
      clefs_follow.visit(p, kind);
      keys.visit(p);
      if (kind == NOTE && p->get(xgrace)) graces[size_t(v)] = true;
      if (p->xkind == XMLT && p->get(xxmloctaves)) octave_lines = true;
    }
    beams.close();
    set_default_performance(first, keys.last, 1, 1, 1, 42, 0);
    if (octave_lines) sound_written_octaves(v);
    sound_unpitched_keys(keys.keys);
  }
  return graces;
}

// ---- Step 7: completion
// ----------------------------------------------------------------------------

// The first note at or after `from`, NIL for none.
Drosa note_from(Drosa from) {
  for (Drosa p = from; p; p = p->xnext)
    if (p->xkind == NOTE) return p;
  return NIL;
}

// Hidden rests filling a gap before `before`, starting `position` into the measure, in plain
// values or the tuplet of `next_note`, the first note at or after `before`; what no rest fits
// (less than a 128th) is left.
int32_t fill_gap(Drosa before, Drosa next_note, int32_t gap, int32_t position) {
  RestKind kinds[3] = {PLAIN_REST_KIND, PLAIN_REST_KIND, PLAIN_REST_KIND};
  int count = 1;
  if (next_note && next_note->get(xtupl) > 1)
    kinds[count++] = {next_note->get(xlgval), next_note->get(xtupl), next_note->get(xintimeof), 1,
                      4};
  const uint8_t volume = before->xkind == NOTE ? before->get(xvolume) : 120;
  const Drosa start = before->xback;
  Drosa tail = start;
  make_fill_rests(gap, position, &tail, kinds, count, 1);
  int32_t filled = 0;
  for (Drosa rest = tail; rest != start; rest = rest->xback) {
    rest->set(xlength, rest->get(xttn));
    rest->set(xvolume, volume);
    filled += int32_t(rest->get(xttn));
  }
  return filled;
}

// One voice's walk of the completion: its model time (from its first note, by the notes'
// values) against the document's time of its next chord or bar line.
struct Completion {
  Drosa p = NIL;  // the next node to look at
  int32_t time = 0, bar_time = 0;
  int32_t target = -1;  // the document's time of the next chord, -1 none
  Drosa xmlt = NIL;
  bool ended_chord = true, note_in_measure = false;
  // The first note at or after the walk's place, once looked for (`ahead_known`; NIL: none):
  // a voice silent for many measures is not searched to its next note again in each of them.
  // The rests that fill gaps go in before the walk's place, and the walk forgets the note when
  // it comes to it.
  Drosa ahead = NIL;
  bool ahead_known = false;
};

// The first note at or after `before`, which stands at the walk's place or just before it.
Drosa note_ahead(Completion& c, Drosa before) {
  if (!c.ahead_known) {
    c.ahead = note_from(before);
    c.ahead_known = true;
  }
  return c.ahead;
}

// The model time plus the piece's earliest time falls short of a target time by more than
// the tolerance: the gap is filled with rests before `before`, at the walk's place or just
// before it (`at_walk`), or anywhere before.
void fill_to(Completion& c, Drosa before, int32_t earliest, int32_t target, int32_t tolerance,
             bool at_walk = true) {
  const int32_t t = c.time + earliest;
  if (t < target - tolerance - TIME_TOLERANCE) {
    const Drosa next_note = at_walk ? note_ahead(c, before) : note_from(before);
    c.time += fill_gap(before, next_note, target - t, c.time - c.bar_time);
  }
}

// Walks a voice up to the XMLT of the bar line that closes its measure, filling the gaps before
// its chords, the document's times moved by `shift`; false when the voice ends first.
bool walk_measure(Completion& c, int32_t earliest, int32_t shift) {
  const int32_t tolerance = mxml.tolerance_units;
  for (Drosa p = c.p; p;) {
    Drosa next = p->xnext;
    if (p == c.ahead) c.ahead = NIL, c.ahead_known = false;
    const int kind = effective_kind(p);
    if (kind == XMLT) {
      if (p->get(xxmlmeasure)) {
        c.p = p;
        return true;
      }
      c.target = p->get(xnwholec) + shift;
      c.xmlt = p;
    } else if (kind == CLEF && p->get(xclefhide) && next && next->xkind == XMLT &&
               !next->get(xxmlmeasure)) {
      // A clef change this voice holds without a note at its time (another voice of the staff
      // shows it) stands among the rests that fill the voice's gap at that time, not at the
      // gap's start, where it would change the clef before the staff does.
      fill_to(c, p, earliest, next->get(xnwholec) + shift, tolerance);
    } else if ((kind == BAR || kind == ENDSYST) && c.target >= 0) {
      fill_to(c, c.xmlt && c.xmlt->xnext == p ? c.xmlt : p, earliest, c.target, tolerance);
      if (kind == BAR) c.bar_time = c.time;
      c.note_in_measure = false;
    } else if (kind == NOTE) {
      if (c.ended_chord && c.target >= 0) {
        int32_t tol = tolerance;
        if (c.note_in_measure && p->get(xtupl) > 1)
          tol *= int32_t(p->get(xtupl) / (p->get(xintimeof) / 4.0) + 0.99999);
        fill_to(c, c.xmlt ? c.xmlt : p, earliest, c.target, tol, false);
      }
      c.ended_chord = p->get(xendvcd);
      c.note_in_measure = true;
      c.target = -1;
      if (p->get(xrest) && p->get(xttn) == 0 && !p->get(xgrace)) {
        destroy_node(p);
      } else {
        c.time += int32_t(p->get(xttn));
      }
    }
    p = next;
  }
  c.p = NIL;
  return false;
}

// A hidden 128th rest in the tuplet that makes it last about `gap` (less than a 128th),
// linked before `before`; its length.
int32_t fill_remainder(Drosa before, int32_t gap) {
  constexpr int SHORTEST = 512;  // a 128th
  if (gap <= TIME_TOLERANCE || gap >= SHORTEST) return 0;
  int best_actual = 2, best_normal = 1;
  double best_error = SHORTEST;
  for (int normal = 1; normal <= 63; ++normal) {
    const int actual =
        int(std::clamp<int64_t>((int64_t(SHORTEST) * normal + gap / 2) / gap, normal + 1, 255));
    const double error = std::abs(double(SHORTEST) * normal / actual - gap);
    if (error < best_error) best_error = error, best_actual = actual, best_normal = normal;
  }
  Drosa rest = newDrosa(NOTE, 0);
  rest->set(xrest, 1);
  rest->set(xhider, 1);
  rest->set(xendvcd, 1);
  rest->set(xdir, 3);
  rest->set(xlgval, 8);
  rest->set(xtupl, uint8_t(best_actual));
  rest->set(xintimeof, uint8_t(4 * best_normal));
  rest->set(xttn, uint32_t(note_duration(rest, 1)));
  rest->set(xlength, rest->get(xttn));
  rest->set(xvolume, uint8_t(before->xkind == NOTE ? before->get(xvolume) : 120));
  link_after(rest, before->xback);
  return int32_t(rest->get(xttn));
}

// Every voice is completed measure by measure, all voices together, so that the bar lines of
// all voices stay at the same times. Each voice is filled up to the document's bar line; a
// voice whose notes last longer than the document's measure (their values say more than their
// durations) makes that measure longer in every voice; and since the voices' values seldom
// add up to the document's durations exactly, the other voices are filled to the time the
// longest one reaches, what no plain rest fits with a short tuplet rest.
void complete_voices(int32_t earliest) {
  std::vector<Completion> walks(static_cast<size_t>(voice_count));
  for (int v = 0; v < voice_count; ++v) {
    char title[64];
    std::snprintf(title, sizeof title, "Import MusicXML - Completing Voice %-2d", v + 1);
    display_win_title(-3, title);
    walks[size_t(v)].p = piece_start[v]->xnext;
  }
  const int32_t tolerance = mxml.tolerance_units;
  int32_t shift = 0;  // the piece's time of the last bar line less the document's
  for (bool more = true; more;) {
    more = false;
    for (Completion& c : walks)
      if (c.p && walk_measure(c, earliest, shift)) more = true;
    int32_t end = INT32_MIN;
    for (Completion& c : walks) {
      if (!c.p) continue;
      fill_to(c, c.p, earliest, c.p->get(xnwholec) + shift, tolerance);
      end = std::max(end, c.time);
    }
    for (Completion& c : walks) {
      if (!c.p) continue;
      if (end - c.time > TIME_TOLERANCE) {
        c.time += fill_gap(c.p, note_ahead(c, c.p), end - c.time, c.time - c.bar_time);
        c.time += fill_remainder(c.p, end - c.time);
      }
      shift = end + earliest - c.p->get(xnwholec);
      c.xmlt = c.p;
      c.bar_time = c.time;
      c.note_in_measure = false;
      c.target = -1;
      c.p = c.p->xnext;
    }
  }
}

// The rests that fill a voice of notes split from chords stem away from its notes, as the
// notes of the voice whose staff it shares do: a hidden rest stemmed as its notes, beside a
// longer note stemmed the other way, made the next bar's first chords crowd together.
void turn_filling_rests_away(int v) {
  Drosa note = NIL;
  for (Drosa p = piece_start[v]; p && !note; p = p->xnext)
    if (p->xkind == NOTE && !p->get(xrest)) note = p;
  if (!note || note->get(xdir) == FREE_STEM) return;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE && p->get(xrest) && p->get(xdir) == FREE_STEM)
      p->set(xdir, 3 - note->get(xdir));
}

// Gives (1) or takes back (0) the playback time of every voice's grace notes, in one walk from
// its first note to its end; a voice without grace notes (`graces`, by voice) is not walked.
void lend_grace_time(int give, const std::vector<bool>& graces) {
  for (int v = 0; v < voice_count; ++v)
    if (graces[size_t(v)])
      if (Drosa first = find_next_kind(NOTE, piece_start[v])) change_grace_time(first, NIL, give);
}

// The last walk of a voice. A clef or key that a later one of the same context replaces
// before any note of the voice (a clef change of the staff while the voice sounds on, followed
// by another) shows nothing: it goes, so that one clef and one key at most stand before each
// note. The XMLT records of the document's times go too. Every note carries the number of the
// voice whose list holds it: the layout reads it of notes it has not laid out yet (those of
// the systems and pages after the one it formats).
void finish_voice(int v) {
  Drosa clef = NIL, key = NIL;
  for (Drosa p = piece_start[v]; p;) {
    Drosa next = p->xnext;
    if (p->xkind == NOTE && v < MAX_VOICES) p->set(xvoice, v);
    if (p->xkind == NOTE || p->xkind == ENDSYST) clef = key = NIL;
    for (auto [kind, last] : {std::pair{CLEF, &clef}, std::pair{KEYSIG, &key}}) {
      if (p->xkind != kind) continue;
      if (*last && (*last)->xcontext == p->xcontext) destroy_node(*last);
      *last = p;
    }
    if (p->xkind == XMLT) destroy_node(p);
    p = next;
  }
}

}  // namespace

void mxml_analyse(int* first_change) {
  *first_change = 0;
  display_win_title(-3, "Import MusicXML - Analysing");
  dump_if_asked("\n==== IMPORTED VOICE LIST BEFORE SPLITTING =====\n");
  const int32_t earliest = earliest_time();
  std::vector<ListTags> tags;  // by staff list, each split in turn
  const std::vector<UnclaimedStaff> unclaimed = unclaimed_staves(tags);
  size_t list = 0;
  for (int v = 0; v < voice_count;) v += split_list(v, std::move(tags[list++]), unclaimed);
  number_voices(unclaimed);
  for (const UnclaimedStaff& u : unclaimed) {
    if (claim_staff(u))
      for (int v = 0; v < voice_count; ++v)
        if (noteless(v) && first_staff(v) == u.staff) delete_voice(v--);
    if (u.info) destroy_node(u.info);
  }
  number_voices_of_parts();
  std::vector<int> homes;
  split_cross_staff_chords(homes);
  dump_if_asked("\n==== IMPORTED VOICE LIST BEFORE SET_DEF_PERF =====\n");
  const std::vector<bool> graces = staff_changes_and_performance(first_change, homes);
  // The completion measures the voices in the document's time, in which grace notes take none:
  // their playback time goes back to their main notes for it, and comes back afterwards.
  lend_grace_time(0, graces);
  complete_voices(earliest);
  for (int v = 0; v < voice_count; ++v)
    if (homes[size_t(v)] >= 0) turn_filling_rests_away(v);
  lend_grace_time(1, graces);
  for (int v = 0; v < voice_count; ++v) finish_voice(v);
  dump_if_asked("\n==== IMPORTED VOICE LIST AFTER SET_DEF_PERF =====\n");
}
