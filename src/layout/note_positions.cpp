// note_positions.cpp: staff geometry, and the pass that gives every note of a system its y.
//
// A pstaff has a middle-line y, a staff size (the distance between two lines), a number of
// lines and a type: 0 an ordinary staff, 1 and 2 string tablature, 3 piano tablature. On an
// ordinary staff a note's diatonic position and its clef give its y; on string tablature its
// string does; on piano tablature its MIDI key does, on a staff that gives each octave 14
// positions (a semitone each, and a gap between E and F) and draws a line for each black key
// whose width parameter is not 0.
//
// Every half step of a position is truncated toward zero, above and below the middle line
// alike.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "layout/object_lookup.h"
#include "layout/setprint.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int CLEF_TYPES = 12;
// The parameter of each clef type's whole-step offset.
constexpr int clef_offset_param[CLEF_TYPES] = {P_WHOLE_STEP_OFFSET_FOR_TREBLE_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_BASS_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_ALTO_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_TENOR_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_SOPRANO_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_OCTAVE_DOWN_TREBLE_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_BARITONE_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_SINGLE_BAR_PERCUSSION_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_DUAL_BAR_PERCUSSION_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_CYMBAL_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_MEZZO_SOPRANO_CLEF,
                                               P_WHOLE_STEP_OFFSET_FOR_BARITONE_C_CLEF};

// The black-key line of each pitch class above the base pitch: line 1 (B flat) to line 5
// (C sharp); 0 for a white key.
constexpr int black_key_line[12] = {0, 5, 0, 4, 0, 0, 3, 0, 2, 0, 1, 0};

constexpr int PIANO_TAB = 3;
constexpr int REST_STRING = 8;
constexpr int NO_STRING_FOUND = 7;
constexpr int STAFF_LINE_VAR = 11;
constexpr int DEFAULT_SIZE = 50;

int floor_div(int a, int b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }
int floor_mod(int a, int b) { return a - b * floor_div(a, b); }

bool valid_staff(int staff) { return staff >= 0 && staff < MAX_PSTAVES; }

const StaffData& staff_of(int staff) {
  static const StaffData none{};
  return valid_staff(staff) ? staff_data[staff] : none;
}

int32_t half(int64_t v) { return int32_t(v / 2); }

// The base pitch of piano tablature at the staff's first note.
int piano_base(int staff) {
  return param_value(P_MIDI_PITCH_SHIFT_FOR_PIANO_TABLATURE, NIL,
                     valid_staff(staff) ? &staff_data[staff] : nullptr)
      ->integer();
}

int line_param(int n) { return n >= 2 && n <= 12 ? 627 + n : 201; }

int32_t line_width(int n, int staff) { return param_length_at_staff(line_param(n), NIL, staff); }

int black_line_of(int key, int staff) {
  return black_key_line[floor_mod(key - piano_base(staff), 12)];
}

// ---- The pass -------------------------------------------------------------------------------

void assign_strings(const std::vector<Drosa>& notes, int lines) {
  std::vector<int> strings;
  choose_tab_strings(notes, lines, &strings);
  for (size_t i = 0; i < notes.size(); ++i) note_ntdata(notes[i])->set(xtabstr, strings[i]);
}

int32_t note_y(Drosa n, int pstaff, Drosa clef) {
  const StaffData& s = staff_data[pstaff];
  int32_t size = s.staff_size;
  switch (s.staff_type) {
    case 1:
    case 2:
      return s.middle_y + size * (s.lines / 2 - note_ntdata(n)->get(xtabstr)) + half(size);
    case PIANO_TAB:
      return pitch_to_staff_y((int(n->get(xpitch)) + 156) >> 8, pstaff) - half(size);
    default:
      return scaled_offset(n, 0, n->get(xmod7), s.middle_y, size) +
             symbol_offset(clef ? clef->get(xclef) : 0, n, pstaff);
  }
}

void place_chord(const std::vector<Drosa>& notes, int pstaff, Drosa clef) {
  const StaffData& s = staff_data[pstaff];
  for (Drosa n : notes) note_ntdata(n)->set(xtabtyp, s.staff_type);
  if (s.staff_type == 1 || s.staff_type == 2) assign_strings(notes, s.lines);
  Drosa cd = note_ntdata(notes.back())->xnext;
  if (cd && cd->xkind == CDDATA) cd->set(xcdclef, clef ? clef->get(xclef) : uint8_t(0));
  for (Drosa n : notes) {
    Drosa nt = note_ntdata(n);
    nt->set(xstsize, int8_t(std::clamp<int>(s.staff_size, INT8_MIN, INT8_MAX)));
    if (n->get(xrest) && s.staff_type == 0) continue;
    nt->set(xhdy, note_y(n, pstaff, clef));
  }
}

bool other_layers_used(int pstaff) {
  for (int l = 1; l < LAYERS; ++l)
    if (first_in_chain(pstaff, l)) return true;
  return false;
}

// Whether a CLEF may stand before a note of the staff chord whose last note is given: the
// layering pass marked its time point.
bool clef_may_stand_before(int pstaff, Drosa last_note) {
  Drosa cd2 = last_note_cddata2(last_note);
  return !cd2 || (staff_data[pstaff].clef_points >> (cd2->get(xchordNum) & 63) & 1);
}

// Where a chord stands among the chords of its pstaff: its time point, then its layer.
struct ChordPlace {
  int time_point, layer;
  bool operator<(const ChordPlace& o) const {
    return time_point != o.time_point ? time_point < o.time_point : layer < o.layer;
  }
};

ChordPlace place_of(Drosa last_note) {
  Drosa cd = note_ntdata(last_note)->xnext;
  if (!cd || cd->xkind != CDDATA || !cd->xnext || !cd->xnext->xnext) return {0, 0};
  return {cd->xnext->get(xchordNum), cd->xnext->xnext->get(xcdlayer)};
}

// The clefs of a pstaff whose layers hold notes of several voices: a CLEF standing before
// any chord of any layer holds for every chord after it, and for the chords of higher layers
// at its own time point; before the first, the clef found for the staff's first chord (the
// one carried from earlier systems). The clefs are gathered once per staff, so that each
// chord does not search the page's chords again.
struct StaffClefs {
  std::vector<std::pair<ChordPlace, Drosa>> changes;  // in order of place
  Drosa before_first = NIL;
  bool first_seen = false;

  void gather(int pstaff) {
    std::vector<Drosa> notes;
    for (int l = 0; l < LAYERS; ++l) {
      for (Drosa first = first_in_chain(pstaff, l); first;) {
        staff_chord_notes(first, notes);
        first = chain_next(notes.back());
        if (!first_seen) before_first = find_object(CLEF, notes.front());
        first_seen = true;
        if (!clef_may_stand_before(pstaff, notes.back())) continue;
        if (Drosa clef = search_staff_chord(CLEF, notes.front(), notes.back(), ALL_VOICES))
          changes.push_back({place_of(notes.back()), clef});
      }
    }
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
  }

  // The clef in force at a chord.
  Drosa at(ChordPlace place) const {
    auto after = std::upper_bound(changes.begin(), changes.end(), place,
                                  [](const ChordPlace& p, const auto& c) { return p < c.first; });
    return after == changes.begin() ? before_first : std::prev(after)->second;
  }
};

// One layer's chain; false when interrupted.
bool place_layer(int pstaff, int layer, const StaffClefs* several_layers) {
  Drosa first = first_in_chain(pstaff, layer);
  if (!first) return true;
  Drosa clef = several_layers ? NIL : find_object(CLEF, first);
  std::vector<Drosa> notes;
  while (first) {
    if (format_interrupted()) return false;
    staff_chord_notes(first, notes);
    first = chain_next(notes.back());
    if (several_layers) {
      clef = several_layers->at(place_of(notes.back()));
    } else if (clef_may_stand_before(pstaff, notes.back())) {
      if (Drosa inside = search_staff_chord(CLEF, notes.front(), notes.back(), ALL_VOICES))
        clef = inside;
    }
    place_chord(notes, pstaff, clef);
  }
  return true;
}

}  // namespace

// ---- Clefs ----------------------------------------------------------------------------------

// clefmod7: the diatonic position of the middle line under the clef, as the clef's parameter
// gives it at the node. Failure: "Unknown clef type for clefmod7 in xhdy." (level 4) for a
// type outside 0..11, which reads as the treble clef.
int32_t clefmod7(int clef_type, Drosa node) {
  if (clef_type < 0 || clef_type >= CLEF_TYPES) {
    REPORT_ERROR(4, "Unknown clef type for clefmod7 in xhdy.");
    clef_type = 0;
  }
  return param_value(clef_offset_param[clef_type], node, nullptr)->integer();
}

int32_t symbol_offset(int clef_type, Drosa node, int staff) {
  int32_t size = valid_staff(staff) ? staff_data[staff].staff_size : DEFAULT_SIZE;
  return -half(int64_t(size) * clefmod7(clef_type, node));
}

int32_t scaled_offset(Drosa note, int /*unused*/, int position, int32_t base, int32_t size) {
  if (int kind = note ? layout_hooks.shape_notehead_kind(note) : 0) position += kind <= 2 ? -1 : 1;
  return base + half(int64_t(position) * size);
}

// ---- Staff lines ----------------------------------------------------------------------------

int32_t scaled_staff_param(Drosa node, int n) { return param_length(line_param(n), node); }

int32_t staff_bottom_y(int staff, int outer) {
  const StaffData& s = staff_of(staff);
  if (s.staff_type == PIANO_TAB) {
    int32_t bottom = 0;
    staff_line_pitches(staff, &bottom, nullptr);
    return pitch_to_staff_y(bottom, staff);
  }
  int k = (s.lines - 1) / 2;
  if (outer && s.lines < 3) k = ((s.lines & 1) + 3) / 2;
  return s.middle_y - k * s.staff_size;
}

int32_t staff_top_y(int staff, int outer) {
  const StaffData& s = staff_of(staff);
  if (s.staff_type == PIANO_TAB) {
    int32_t top = 0;
    staff_line_pitches(staff, nullptr, &top);
    return pitch_to_staff_y(top, staff);
  }
  int k = outer && s.lines < 3 ? 2 : s.lines / 2;
  return s.middle_y + k * s.staff_size;
}

int32_t staff_bottom_y_outer(int staff) {
  const StaffData& s = staff_of(staff);
  return staff_bottom_y(staff, 1) - (s.staff_type == PIANO_TAB ? s.staff_size : 0);
}

int32_t staff_top_y_outer(int staff) {
  const StaffData& s = staff_of(staff);
  return staff_top_y(staff, 1) + (s.staff_type == PIANO_TAB ? s.staff_size : 0);
}

// ---- Piano tablature ------------------------------------------------------------------------

int32_t pitch_to_staff_y(int key, int staff) {
  const StaffData& s = staff_of(staff);
  int d = key - piano_base(staff);
  int octave = floor_div(d, 12), step = floor_mod(d, 12);
  int position = octave * 14 + step + (step >= 5 ? 1 : 0) - (s.lines == 8 ? 58 : 79);
  return s.middle_y + half(int64_t(position) * s.staff_size);
}

int32_t pitch_tab_string(int key, int staff) {
  int line = black_line_of(key, staff);
  return line ? std::max(line_width(line, staff), 1) : 0;
}

int32_t staff_line_pitches(int staff, int32_t* bottom, int32_t* top) {
  int b = piano_base(staff);
  bool second_set = staff_of(staff).lines == 8;
  if (bottom) *bottom = b + (second_set ? 42 : 61);
  if (top) *top = b + (second_set ? 58 : 75);
  return b + (second_set ? 50 : 68);
}

// nearest_staff_positions: from middle C upward one semitone at a time, each drawn black-key
// line below y is the nearest below so far; the first above y is the line above, and the
// walk then turns down to the first line below it.
void nearest_staff_positions(int32_t y, int staff, int32_t* above, int32_t* above_width,
                             int32_t* below, int32_t* below_width) {
  *above = *below = NOT_DRAWN;
  *above_width = *below_width = 0;
  bool found_above = false, found_below = false;
  int step = 1;
  for (int key = 60; key >= 0 && key <= 127 && !(found_above && found_below); key += step) {
    int line = black_line_of(key, staff);
    int32_t width = line ? line_width(line, staff) : 0;
    if (width == 0) continue;
    int32_t key_y = pitch_to_staff_y(key, staff);
    if (key_y > y) {
      *above = key_y;
      *above_width = width;
      found_above = true;
      step = -1;
    } else {
      *below = key_y;
      *below_width = width;
      found_below = true;
    }
  }
}

// staff_lines_geometry: the key outline at the start of a piano-tablature staff: a short
// line for each drawn black key, a line between each two neighbouring white keys, and a
// vertical line closing the white keys.
void staff_lines_geometry(int32_t x, int pstaff) {
  if (!valid_staff(pstaff)) return;
  int32_t white = param_length_at_staff(P_LENGTH_OF_WHITE_KEYS_AT_START_OF_PIANO_TAB, NIL, pstaff);
  if (white == 0) return;
  int32_t black = param_length_at_staff(P_LENGTH_OF_BLACK_KEYS_AT_START_OF_PIANO_TAB, NIL, pstaff);
  int32_t outline =
      param_length_at_staff(P_LINE_WIDTH_OUTLINING_WHITE_KEYS_AT_START_OF_PIANO_TAB, NIL, pstaff);
  int32_t black_width =
      param_length_at_staff(P_LINE_WIDTH_OF_BLACK_KEYS_AT_START_OF_PIANO_TAB, NIL, pstaff);
  int32_t bottom = 0, top = 0;
  staff_line_pitches(pstaff, &bottom, &top);
  auto line = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width) {
    layout_hooks.GEline(0, x1, y1, pstaff, 0, x2, y2, pstaff, 0, width, 0, 0, 0, 0, 0, 0, 15,
                        STAFF_LINE_VAR, NIL);
  };
  for (int key = bottom; key <= top; ++key) {
    int32_t y = pitch_to_staff_y(key, pstaff);
    int black_line = black_line_of(key, pstaff);
    if (black_line) {
      if (line_width(black_line, pstaff) != 0)
        line(x, y + half(black_width), x + black, y + half(black_width), black_width);
    } else if (key < top && !black_line_of(key + 1, pstaff)) {
      int32_t between = half(int64_t(y) + pitch_to_staff_y(key + 1, pstaff));
      line(x, between, x + white, between, outline);
    }
  }
  line(x + white, staff_bottom_y(pstaff, 0), x + white, staff_top_y_outer(pstaff), outline);
}

// ---- The pass -------------------------------------------------------------------------------

// note_positions_pass: for each pstaff and layer of the system, each staff chord's clef (the
// one found for the chain's first note, replaced by a CLEF within a chord; on a staff with
// several layers the last CLEF before the chord in any layer of the staff), and for each note its
// tablature type and string, staff size and head y (rests on ordinary staves are placed by
// chord placement).
// Reads:  the chains of the system, staff_data (middle y, size, lines, type), NOTE xmod7,
//         xpitch, xstring, xrest; CLEFs through the object lookup; parameters 269..407, 543..549,
//         643. Writes: NTDATA xtabtyp, xtabstr, xstsize, xhdy; CDDATA xcdclef.
// Failure: an unknown clef type is reported by clefmod7. Polls for an interrupt per chord: 0
//         when told to stop.
int32_t note_positions_pass() {
  for (int p = std::max(first_pstaff, 0); p <= std::min(last_pstaff, MAX_PSTAVES - 1); ++p) {
    StaffClefs clefs;
    bool several_layers = other_layers_used(p);
    if (several_layers) clefs.gather(p);
    for (int l = 0; l < LAYERS; ++l)
      if (!place_layer(p, l, several_layers ? &clefs : nullptr)) return 0;
  }
  return 1;
}

void choose_tab_strings(const std::vector<Drosa>& notes, int lines, std::vector<int>* strings) {
  strings->assign(notes.size(), 0);
  if (notes.empty()) return;
  const int last = std::clamp(lines, 1, 7);
  bool used[9] = {};
  for (Drosa n : notes)
    if (!n->get(xrest) && n->get(xstring)) used[n->get(xstring)] = true;
  const bool upward = layout_hooks.check_tab_string(notes.front(), 1) <
                      layout_hooks.check_tab_string(notes.front(), last);
  for (size_t k = 0; k < notes.size(); ++k) {
    Drosa n = notes[k];
    int string = n->get(xstring);
    if (n->get(xrest)) {
      string = REST_STRING;
    } else if (!string) {
      string = NO_STRING_FOUND;
      for (int i = 0; i < last; ++i) {
        const int s = upward ? 1 + i : last - i;
        if (used[s] || layout_hooks.check_tab_string(n, s) < 0) continue;
        string = s;
        used[s] = true;
        break;
      }
    }
    (*strings)[k] = string;
  }
}
