// object_lookup.cpp: which CLEF, KEYSIG or TIMESIG applies to a node on its staff; the staff
// number of a node's voice and the staves a system needs.
//
// These nodes stand in the lists of the voices that carry them but apply to every voice
// printed on the same staff. The lookup first searches the node's own voice back to its
// previous formatted note, then the staff chords of the same pstaff on the formatted page,
// newest first, through the page's chord chain; failing that it takes what the voice carried
// in from earlier systems, and last the node's own voice back to its head.
#include "layout/object_lookup.h"

#include <algorithm>
#include <array>
#include <vector>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "model/model_services.h"

namespace {

bool is_visible_endsyst(Drosa node) { return effective_kind(node) == ENDSYST; }

// The CDDATA3 of a staff chord's CDDATA, when the three chord records follow in order.
Drosa chord_links(Drosa cddata) {
  if (!cddata || effective_kind(cddata) != CDDATA) return NIL;
  Drosa cd2 = cddata->xnext;
  if (!cd2 || effective_kind(cd2) != CDDATA2) return NIL;
  Drosa cd3 = cd2->xnext;
  return cd3 && effective_kind(cd3) == CDDATA3 ? cd3 : NIL;
}

// Step 1: the nodes attached before the node in its own voice. Gives a node of the kind, or
// through *reached the nearest formatted note to go on from; NIL for both when neither is
// found.
Drosa search_own_voice(int kind, Drosa node, Drosa* reached) {
  *reached = NIL;
  for (Drosa p = node->xback; p; p = p->xback) {
    if (effective_kind(p) == kind) return p;
    if (is_visible_note(p)) {
      *reached = p;
      return NIL;
    }
    if (!is_visible_endsyst(p)) continue;
    // The system's start: on from there to its first formatted note. An unformatted note
    // at or after the node ends the search, so nothing later than the node is taken.
    bool passed = false;
    for (Drosa q = p->xnext; q; q = q->xnext) {
      if (effective_kind(q) == kind) return q;
      if (is_visible_endsyst(q)) return NIL;
      if (is_visible_note(q)) {
        *reached = q;
        return NIL;
      }
      if (q == node) passed = true;
      if (passed && q->xkind == NOTE) return NIL;
    }
    return NIL;
  }
  return NIL;
}

// For each kind whose slot in `answers` is NIL and `open`: the nearest node of the kind
// attached before any note of a staff chord, first note first. The nodes before each note
// are walked once for all the kinds. Returns how many were found.
int search_chord(const int* kinds, int count, const bool* open, Drosa* answers, Drosa cddata) {
  Drosa last = cddata->xback ? cddata->xback->xback : NIL;
  if (!is_NOTE(last)) return 0;
  int wanted = 0;
  for (int k = 0; k < count; ++k) wanted += open[k] && !answers[k];
  int found = 0;
  Drosa n = chord_first_note(cddata);
  for (int32_t steps = 0; n && found < wanted && steps <= total_Drosa_count; ++steps) {
    // What the note's attached nodes hold, nearest first: a kind found before an earlier
    // note of the chord keeps that answer.
    for (Drosa p = n->xback; p && found < wanted; p = p->xback) {
      const int kind = effective_kind(p);
      for (int k = 0; k < count; ++k) {
        if (!open[k] || answers[k] || kinds[k] != kind) continue;
        answers[k] = p;
        ++found;
      }
      if (p->xkind == NOTE || kind == ENDSYST) break;
    }
    if (n == last || !is_NOTE(n) || !n->xnext) break;
    n = n->xnext->get(xpnext);
  }
  return found;
}

// The walks back through the chord chain that the formatter keeps: for a chord, what the walk
// from it found (a sign, or the earliest chord of its staff), by sign. A walk from a chord of
// a finished system always finds the same, since the chain only grows after it, so a walk
// that meets a chord walked before takes its answer rather than going on to the page start.
// A kept walk looks for the three signs at once.
constexpr int SIGN_KINDS[3] = {CLEF, KEYSIG, TIMESIG};
bool walks_kept = false;
// The kept walks' answers by chord handle, in a table of open addressing: a walk asks it at
// every chord it passes and fills it for every chord it passed.
class KeptWalks {
 public:
  // The answers kept for the chord; nullptr when it has none.
  const std::array<Drosa, 3>* find(uint32_t handle) const {
    if (keys_.empty()) return nullptr;
    for (size_t i = slot(handle);; i = (i + 1) & (keys_.size() - 1)) {
      if (keys_[i] == handle) return &values_[i];
      if (keys_[i] == EMPTY) return nullptr;
    }
  }
  // The chord's answers, all NIL when new.
  std::array<Drosa, 3>& operator[](uint32_t handle) {
    if ((used_ + 1) * 2 > keys_.size()) grow();
    size_t i = slot(handle);
    for (; keys_[i] != handle && keys_[i] != EMPTY; i = (i + 1) & (keys_.size() - 1)) {
    }
    if (keys_[i] == EMPTY) {
      keys_[i] = handle;
      values_[i] = {};
      ++used_;
    }
    return values_[i];
  }
  void clear() {
    if (used_ == 0) return;
    std::fill(keys_.begin(), keys_.end(), EMPTY);
    used_ = 0;
  }

 private:
  static constexpr uint32_t EMPTY = 0;  // no chord has the handle of NIL
  size_t slot(uint32_t handle) const { return size_t(handle * 0x9E3779B1u) & (keys_.size() - 1); }
  void grow() {
    std::vector<uint32_t> keys = std::move(keys_);
    std::vector<std::array<Drosa, 3>> values = std::move(values_);
    keys_.assign(std::max<size_t>(64, keys.size() * 2), EMPTY);
    values_.assign(keys_.size(), {});
    used_ = 0;
    for (size_t i = 0; i < keys.size(); ++i)
      if (keys[i] != EMPTY) (*this)[keys[i]] = values[i];
  }

  std::vector<uint32_t> keys_;
  std::vector<std::array<Drosa, 3>> values_;
  size_t used_ = 0;
};
KeptWalks kept_walks;

// The chords of each pstaff along the page's chain, oldest first, for the kept walks: a walk
// from a chord of one staff passes the chords of every other staff of the page, so every
// voice walking would pass staves x chords. Lists the chain back from last_chord to the
// newest chord listed before (the chain of finished systems stays as it is); a chain that no
// longer reaches that chord is listed anew.
std::vector<std::vector<Drosa>> staff_chords;
Drosa newest_listed;

void list_staff_chords() {
  if (last_chord == newest_listed) return;
  std::vector<Drosa> added;  // newest first
  bool reached = false;
  Drosa chord = last_chord;
  for (Drosa links = chord_links(chord); links && int32_t(added.size()) <= total_Drosa_count;
       links = chord_links(chord)) {
    if (chord == newest_listed) {
      reached = true;
      break;
    }
    added.push_back(chord);
    chord = links->get(xprevchord);
  }
  if (!reached) staff_chords.clear();
  for (auto chord_at = added.rbegin(); chord_at != added.rend(); ++chord_at) {
    const size_t pstaff = chord_links(*chord_at)->get(xpstaff);
    if (staff_chords.size() <= pstaff) staff_chords.resize(pstaff + 1);
    staff_chords[pstaff].push_back(*chord_at);
  }
  newest_listed = last_chord;
}

// Where a chord stands in its staff's list; false when it is not listed. A walk starts near
// the list's end, from the chords of the last time point.
bool listed_at(Drosa chord, size_t pstaff, size_t* at) {
  if (pstaff >= staff_chords.size()) return false;
  const std::vector<Drosa>& list = staff_chords[pstaff];
  for (size_t i = list.size(); i-- > 0;)
    if (list[i] == chord) {
      *at = i;
      return true;
    }
  return false;
}

// One chord of the pstaff met by a walk: the kinds still open are taken from what a kept walk
// found from it, or looked for before the chord's notes. Returns how many were found.
int answer_at_chord(const int* kinds, int count, Drosa* answers, Drosa chord, bool keep,
                    std::vector<uint32_t>* walked) {
  int found = 0;
  bool search[3] = {};
  const std::array<Drosa, 3>* kept = keep ? kept_walks.find(chord.handle()) : nullptr;
  for (int k = 0; k < count; ++k) {
    if (answers[k]) continue;
    if (kept && (*kept)[size_t(k)]) {
      answers[k] = (*kept)[size_t(k)];
      ++found;
    } else {
      if (keep) walked[k].push_back(chord.handle());
      search[k] = true;
    }
  }
  return found + search_chord(kinds, count, search, answers, chord);
}

// The chain walk of look_in_staff_list from a chord of the pstaff (links its CDDATA3), for
// the kinds whose slot in `answers` is NIL; those found none of are given the earliest chord
// of the staff reached. `keep`: the kinds are the three signs, and the walk is kept; it goes
// through its staff's list of chords when the chord is listed.
void walk_staff_chords(const int* kinds, int count, Drosa* answers, Drosa chord, Drosa links,
                       bool keep) {
  const int pstaff = links->get(xpstaff);
  // The staff's chords passed, whose answer is the walk's (kept from walk to walk for their
  // room: a walk makes no other).
  static std::vector<uint32_t> walked[3];
  for (std::vector<uint32_t>& chords : walked) chords.clear();
  Drosa earliest = chord;
  int open = count;
  size_t at = 0;
  if (keep) list_staff_chords();
  if (keep && listed_at(chord, size_t(pstaff), &at)) {
    const std::vector<Drosa>& list = staff_chords[size_t(pstaff)];
    for (size_t i = at + 1; open > 0 && i-- > 0;) {
      open -= answer_at_chord(kinds, count, answers, list[i], keep, walked);
      earliest = list[i];
    }
  } else {
    // Every chord of the page is passed at most once; a longer walk is a broken chain.
    for (int32_t steps = 0; open > 0 && links && steps <= total_Drosa_count; ++steps) {
      if (links->get(xpstaff) == pstaff) {
        open -= answer_at_chord(kinds, count, answers, chord, keep, walked);
        earliest = chord;
      }
      chord = links->get(xprevchord);
      links = chord_links(chord);
    }
  }
  for (int k = 0; k < count; ++k) {
    if (!answers[k]) answers[k] = earliest;
    for (uint32_t handle : walked[k]) kept_walks[handle][size_t(k)] = answers[k];
  }
}

// The walk for one kind: of all three signs when walks are kept and the kind is one of them.
Drosa walk_for(int kind, Drosa chord, Drosa links) {
  Drosa answers[3] = {NIL, NIL, NIL};
  for (int k = 0; walks_kept && k < 3; ++k) {
    if (SIGN_KINDS[k] != kind) continue;
    walk_staff_chords(SIGN_KINDS, 3, answers, chord, links, true);
    return answers[k];
  }
  walk_staff_chords(&kind, 1, answers, chord, links, false);
  return answers[0];
}

}  // namespace

void keep_staff_walks(bool keep) { walks_kept = keep; }

void forget_staff_walks() {
  kept_walks.clear();
  staff_chords.clear();
  newest_listed = NIL;
}

namespace {

// What the voice of the note before a chord's CDDATA carried in from earlier systems.
Drosa carried_by_voice(int kind, Drosa cddata) {
  Drosa note = cddata->xback;
  while (note && note->xkind != NOTE) note = note->xback;
  if (!note) return NIL;
  const VoiceData& voice = voice_data[note->get(xvoice)];
  return kind == CLEF ? voice.clef : kind == KEYSIG ? voice.keysig : voice.timesig;
}

}  // namespace

// look_in_staff_list: first the node's own voice back to its previous formatted note (or on
// from its system's start to the first one), then the staff chords of that note's pstaff,
// newest first, through the page's chord chain.
Drosa look_in_staff_list(int kind, Drosa node) {
  if (!node) return NIL;
  Drosa note = NIL;
  if (Drosa found = search_own_voice(kind, node, &note)) return found;
  if (!note) return NIL;
  Drosa chord = layer_first(note);
  Drosa links = chord_links(chord);
  if (!links) return NIL;
  return walk_for(kind, chord, links);
}

Drosa find_object(int kind, Drosa node) {
  if (kind != CLEF && kind != KEYSIG && kind != TIMESIG) {
    REPORT_ERROR(4, "unrecognized objkind in find_object");
    return NIL;
  }
  if (!node) return NIL;
  Drosa r = look_in_staff_list(kind, node);
  if (!r) return NIL;
  int k = effective_kind(r);
  if (k == kind) return r;
  if (k != CDDATA) {
    REPORT_ERROR(4, "FtoE: Inconsistent result from 'look_in_staff_list' in find_object");
  } else if (Drosa carried = carried_by_voice(kind, r)) {
    return carried;
  }
  return find_prev_kind(kind, node);
}

int16_t find_sstaff(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "Bad call on find_sstaff");
    return 0;
  }
  Drosa print = find_prev_kind(PRINT, node);
  if (!print) {
    // Before the head's PRINT (the head itself): the PRINT that follows the head.
    Drosa head = node;
    while (head->xback && !(is_visible_endsyst(head) && head->get(xstartpiece))) head = head->xback;
    print = find_next_kind_before_note(PRINT, head);
  }
  return print ? print->get(xsstaff) : int16_t(-1);
}

int32_t max_print_staves_in_system(Drosa node, int rule) {
  if (!node) return 1;
  voices_to_system(system_number_on_page(node, rule) + 1, rule);
  int32_t largest = -1;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    Drosa cursor = system_cursor[v];
    if (!cursor || voice_not_shown(v)) continue;
    bool note_met = false;
    Drosa p = cursor->xback;
    for (; p && !is_visible_endsyst(p); p = p->xback) {
      if (p->xkind == NOTE) note_met = true;
      if (effective_kind(p) == PRINT) largest = std::max<int32_t>(largest, p->get(xsstaff));
    }
    if (!p || !note_met) continue;
    Drosa print = find_prev_kind(PRINT, p);
    if (!print) print = find_next_kind_before_note(PRINT, p);
    if (print) largest = std::max<int32_t>(largest, print->get(xsstaff));
  }
  return largest + 1 > 1 ? largest + 1 : 1;
}
