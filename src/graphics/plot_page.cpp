// plot_page.cpp: the drawing pass of a formatted system.
//
// The staves come first (lines, bracket, brace), then the names of the parts before them, the
// system's left bar line and the separator from the system above. The chords are then handed out
// column by column (the layout numbered the time points of the system): before each column the
// signs that stand before its chords are drawn, then each layer's chord goes to the beam buffer,
// which draws it at once or keeps it until its beam is complete. A whole-measure rest is not drawn
// with its chord: it waits until the bar that ends its measure is known and is then centred in the
// measure.
//
// Design notes:
//  - A chord whose notes have stems both ways reaches the beam buffer as two chords, its
//    stems-down notes first (the layout orders a chord so).
//  - Each layer's measure starts, for the rests, at the staff's left end until the signs of the
//    system's start or a bar line say where it really starts.
//  - A brace is the music font's brace glyph, scaled to the height of its staves (pieces of
//    the symbol text font drew a hairline).
//  - Divisions by a parameter or a staff size that a user or a damaged file can set to 0 are
//    guarded: rests are then not snapped to lines.
#include "graphics/plot_page.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#include "app/app_services.h"
#include "graphics/GE.h"
#include "graphics/beam_buffer.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/part_names.h"
#include "graphics/printbeam.h"
#include "graphics/specplot.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int32_t NO_NEXT_TIME = 2100000000;
constexpr int PIANO_TABLATURE = 3;

// Var codes of what is drawn here.
constexpr int VAR_STAFF_LINE = 10, VAR_TAB_LINE = 11;
constexpr int VAR_HOOK_TOP = 13, VAR_BRACKET = 14, VAR_HOOK_BOTTOM = 16;
constexpr int VAR_REST_DIGIT = 44, VAR_HEAD = 46;

// The brace glyph (that of parameter 708) is drawn with an em of four points per point of its
// size, 40 units, its baseline three quarters of an em below the point it is drawn at; the
// glyph is a twelfth of its em wide.
constexpr int32_t BRACE_SIZE_STEP = 40;
constexpr double BRACE_WIDTH_PER_EM = 0.082;

constexpr int OPTIONS_SYSTEM_SEPARATORS = 82;  // i16: marks between systems
constexpr int NO_BRACKET = 2;

// The CDDATA and CDDATA2 of the chord that a note belongs to.
Drosa cddata_of_chord(Drosa note) {
  Drosa nt = note_ntdata(chord_last_note(note));
  Drosa cd = nt ? nt->xnext : NIL;
  return cd && cd->xkind == CDDATA ? cd : NIL;
}
Drosa cddata2_of_chord(Drosa note) {
  Drosa cd = cddata_of_chord(note);
  Drosa cd2 = cd ? cd->xnext : NIL;
  return cd2 && cd2->xkind == CDDATA2 ? cd2 : NIL;
}

bool valid_staff(int p) { return p >= 0 && p < MAX_PSTAVES; }

Drosa first_note_of_layer(int p, int layer) {
  Drosa head = staff_data[p].ppnt[layer];
  Drosa first = head ? chain_next(head) : NIL;
  return is_visible_note(first) ? first : NIL;
}

// The staff's first note: of its first layer that has one.
Drosa staff_first_note(int p) {
  if (!valid_staff(p)) return NIL;
  for (int layer = 0; layer < LAYERS; ++layer)
    if (Drosa first = first_note_of_layer(p, layer)) return first;
  return NIL;
}

Drosa staff_first_normal_note(int p) {
  for (Drosa n = staff_first_note(p); is_visible_note(n); n = chain_next(n))
    if (!n->get(xgrace)) return n;
  return staff_first_note(p);
}

// The bracket and brace settings of a staff; a staff without a first note has none.
struct StaffBracket {
  bool has_note = false;
  bool has_endsyst = false;
  int bracket = NO_BRACKET;
  int brace = 0;
};

StaffBracket staff_bracket(int p) {
  StaffBracket b;
  Drosa first = staff_first_note(p);
  if (!first) return b;
  b.has_note = true;
  b.has_endsyst = bool(get_bracket(first, &b.bracket, &b.brace));
  return b;
}

void line(int32_t x1, int32_t y1, int p1, int32_t x2, int32_t y2, int p2, int32_t width, int var,
          Drosa owner, int dash = 0, int gap = 0) {
  GEline(0, x1, y1, p1, 0, x2, y2, p2, 0, width, dash, gap, 0, 0, 0, 0, 0, var, owner);
}

// ---- Staves --------------------------------------------------------------------------------

void draw_staff_lines(int p, int32_t left, int32_t right, Drosa owner) {
  const StaffData& staff = staff_data[p];
  if (staff.staff_type == PIANO_TABLATURE) {
    int32_t low = 0, high = 0;
    staff_line_pitches(p, &low, &high);
    for (int32_t pitch = low; pitch <= high; ++pitch) {
      const int32_t w = pitch_tab_string(pitch, p);
      if (w == 0) continue;
      const int32_t y = std::max<int32_t>(0, pitch_to_staff_y(pitch, p) - w / 2);
      line(left, y, p, right, y, p, w, VAR_TAB_LINE, owner);
    }
    return;
  }
  int32_t y = staff_top_y(p, 0);
  for (int i = 0; i < staff.lines; ++i, y -= staff.staff_size) {
    const int pindex = i == 0 || i > 11
                           ? P_WIDTH_OF_FIRST_STAFF_LINE_OR_B_FLAT_IN_PIANO_TAB
                           : P_WIDTH_OF_SECOND_STAFF_LINE_OR_A_FLAT_IN_PIANO_TAB - 1 + i;
    const int32_t width = param_length_at_staff(pindex, NIL, p);
    const int32_t at = std::max<int32_t>(0, y - width / 2);
    line(left, at, p, right, at, p, width, VAR_STAFF_LINE, owner);
  }
}

// The brace drawn from each staff of the page: its last staff (-1 where none was drawn),
// whether a bracket stands beside it, and the note its pieces are drawn for.
struct DrawnBrace {
  int last = -1;
  bool bracketed = false;
  Drosa owner = NIL;
};
DrawnBrace drawn_braces[MAX_PSTAVES];

// The brace from staff p down to staff q, for where the staves stand.
void draw_brace_glyph(int p, int q, bool bracketed, Drosa owner) {
  int32_t x = staff_left_x(p, current_page);
  if (bracketed)
    x -= param_length_at_staff(P_X_OFFSET_FROM_START_OF_STAFF_TO_VERTICAL_BRACKET_LINE, NIL, p);
  int32_t lo = staff_bottom_y_outer(q), hi = staff_top_y_outer(p);
  if (lo > hi) std::swap(lo, hi);
  // Staves placed absurdly far apart (a damaged piece) give sizes and places held to the page's
  // range rather than wrapping round.
  const int64_t h = int64_t(hi) - lo;
  auto held = [](double v) { return int32_t(std::clamp<double>(v, INT32_MIN, INT32_MAX)); };
  if (prefs.use_sonata_font() == 1) {
    const int32_t y = held(
        double(h) * param_float_value(P_SONATA_SYSTEM_BRACE_PLACEMENT_FROM_STAFF_SPACING, owner) +
        lo);
    const int32_t s =
        held(double(h / 20) *
             param_float_value(P_SONATA_SYSTEM_BRACE_FONT_SIZE_FROM_STAFF_SPACING, owner));
    const double d = -10.0 * s;
    const int32_t x1 =
        held(d * param_float_value(P_SONATA_SYSTEM_BRACE_WIDTH_FROM_FONT_SIZE, owner) + x);
    const int32_t y2 =
        held(d * param_float_value(P_SONATA_SYSTEM_BRACE_HEIGHT_FROM_FONT_SIZE, owner) + y);
    GEcharacter(0, x1, y, p, P_SONATA_SYSTEM_BRACE_TOP_PART, 0, VAR_BRACE_TOP, owner, s);
    GEcharacter(0, x1, y2, p, P_SONATA_SYSTEM_BRACE_BOTTOM_PART, 0, VAR_BRACE_BOTTOM, owner, s);
    return;
  }
  // The music font's brace, as tall as the staves it joins: its em is their height, to the
  // nearest size the glyph is drawn at, centred on them, half a space before x.
  const int64_t size = std::max<int64_t>(1, (h + BRACE_SIZE_STEP / 2) / BRACE_SIZE_STEP);
  const int64_t em = size * BRACE_SIZE_STEP;
  const int64_t width = std::llround(double(em) * BRACE_WIDTH_PER_EM);
  const int64_t bottom = lo + (h - em) / 2;
  const int32_t gap = std::max<int32_t>(staff_data[p].staff_size, 2) / 2;
  GEcharacter(0, held(double(x) - gap - width), held(double(bottom) + double(em * 3 / 4)), p,
              P_SONATA_SYSTEM_BRACE_TOP_PART, 0, VAR_BRACE_TOP, owner, held(double(size)));
}

// The brace of the staves from p down, when p starts one; settings holds every staff's.
void draw_brace(int p, const StaffBracket* settings) {
  const StaffBracket& own = settings[p];
  if (!own.brace || p >= last_pstaff) return;
  if (p != first_pstaff) {
    const StaffBracket& above = settings[p - 1];
    if (above.has_note && above.brace) return;
  }
  int q = p;
  bool bracketed = own.bracket != NO_BRACKET;
  while (q < last_pstaff) {
    const StaffBracket& next = settings[q + 1];
    if (!next.has_note) return;  // a staff without notes cancels the brace
    ++q;
    if (!next.has_endsyst) break;
    bracketed |= next.bracket != NO_BRACKET;
    if (!next.brace) break;
  }
  const Drosa owner = staff_first_normal_note(p);
  drawn_braces[p] = {q, bracketed, owner};
  draw_brace_glyph(p, q, bracketed, owner);
}

// The part of the square bracket that belongs to staff p (see draw_system_brackets).
void draw_bracket_part(int p, const StaffBracket& settings) {
  const Drosa first = staff_first_note(p);
  if (!settings.has_note || !first) return;
  const int b = settings.bracket;
  if (first_pstaff == last_pstaff &&
      param_value(P_DRAW_BARLINE_AT_LEFT_OF_SINGLE_STAFF_SYSTEM, first, &staff_data[p])
              ->integer() == 0 &&
      b != 1)
    return;
  BracketState& s = bracket_state;
  const bool starting = s.closed || p == first_pstaff;
  if (starting) {
    s.hook = param_length_at_staff(P_LENGTH_OF_DIAGONAL_BRACKET_LINES, first, p);
    s.x = staff_left_x(p, current_page) -
          param_length_at_staff(P_X_OFFSET_FROM_START_OF_STAFF_TO_VERTICAL_BRACKET_LINE, first, p);
    s.width = param_length_at_staff(P_WIDTH_OF_VERTICAL_BRACKET_LINE_AT_START_OF_SYSTEM, first, p);
    s.hook_width =
        param_length_at_staff(P_WIDTH_OF_DIAGONAL_BRACKET_LINES_AT_START_OF_SYSTEM, first, p);
    s.hook_x = s.x + s.width - s.hook_width;
  }
  const int32_t top = staff_top_y_outer(p), bottom = staff_bottom_y_outer(p);
  if (b != NO_BRACKET) {
    if (starting)
      line(s.hook_x, top, p, s.hook_x + s.hook, top + s.hook, p, s.hook_width, VAR_HOOK_TOP, first);
    line(s.x, top, p, s.x, bottom, p, s.width, VAR_BRACKET, first);
  }
  if (b == 0 && p < last_pstaff) {
    line(s.x, bottom, p, s.x, staff_top_y_outer(p + 1), p + 1, s.width, VAR_BRACKET_JOIN, first);
    s.closed = 0;
  } else if (b != NO_BRACKET) {
    line(s.hook_x, bottom, p, s.hook_x + s.hook, bottom - s.hook, p, s.hook_width, VAR_HOOK_BOTTOM,
         first);
    s.closed = 1;
  }
}

void draw_system_bar_and_separator() {
  const Drosa owner = staff_first_note(first_pstaff);
  const int32_t left = staff_left_x(first_pstaff, current_page);
  const int pindex = first_pstaff == last_pstaff ? P_DRAW_BARLINE_AT_LEFT_OF_SINGLE_STAFF_SYSTEM
                                                 : P_DRAW_BARLINE_AT_LEFT_OF_MULTI_STAFF_SYSTEM;
  if (param_value(pindex, owner, &staff_data[first_pstaff])->integer() != 0)
    line(left, staff_top_y_outer(first_pstaff), first_pstaff, left,
         staff_bottom_y_outer(last_pstaff), last_pstaff,
         param_length_at_staff(P_LINE_WIDTH_FOR_BAR_LINES, NIL, first_pstaff), VAR_SYSTEM_BAR,
         owner);
  if (options_i16(current_ncontext, OPTIONS_SYSTEM_SEPARATORS) == 0 || first_pstaff <= 0) return;
  const int32_t y =
      int32_t((int64_t(staff_bottom_y(first_pstaff - 1, 0)) + staff_top_y(first_pstaff, 0)) / 2);
  GEcharacter(0, left, y, first_pstaff, P_SYSTEM_SEPARATOR_SYMBOL_LEFT_SIDE_OF_PAGE, 0,
              VAR_SEPARATOR, owner, 0);
  GEcharacter(0, staff_right_x(first_pstaff, current_page), y, first_pstaff,
              P_SYSTEM_SEPARATOR_SYMBOL_RIGHT_SIDE_OF_PAGE, 0, VAR_SEPARATOR, owner, 0);
}

// ---- The column loop ----------------------------------------------------------------------

// The layer's next note, after the last one handed out; NIL at the end of its chain.
Drosa next_note(int p, int layer) {
  Drosa next = chain_next(staff_data[p].cur_note[layer]);
  return is_visible_note(next) ? next : NIL;
}

int32_t chord_time(Drosa note) {
  Drosa cd2 = cddata2_of_chord(note);
  return cd2 ? cd2->get(xswholec) : NO_NEXT_TIME;
}

int stem_of(Drosa note) { return note_ntdata(note) ? note_ntdata(note)->get(xstmdir) : 0; }

// The BEAMING attached before the note becomes its voice's.
void follow_beaming(Drosa note) {
  const int v = note->get(xvoice);
  if (v < 0 || v >= MAX_VOICES) return;
  if (Drosa beaming = find_prev_kind_stop_2(BEAMING, note, 0)) voice_data[v].beaming_end = beaming;
}

// Hands the layer's due chord, starting with its next note `first`, to the beam buffer: as two
// chords when its stems go both ways.
void hand_out_chord(int p, int layer, Drosa first) {
  StaffData& staff = staff_data[p];
  const Drosa last = chord_last_note(first);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) follow_beaming(n);
  if (stem_of(first) != stem_of(last)) {
    Drosa second = chain_next(first);
    while (second != last && stem_of(second) == 1) second = chain_next(second);
    Drosa before = first;
    while (chain_next(before) != second) before = chain_next(before);
    endchord(first, before, p, layer);
    endchord(second, last, p, layer);
  } else {
    endchord(first, last, p, layer);
  }
  staff.cur_note[layer] = last;
  if (Drosa next = next_note(p, layer)) staff.next_time[layer] = chord_time(next);
}

void start_layers() {
  for (int p = first_pstaff; p <= last_pstaff; ++p) {
    StaffData& staff = staff_data[p];
    const int32_t left = staff_left_x(p, current_page);
    staff.signs_end_x = left;
    staff.layers_with_notes = 0;
    for (int layer = 0; layer < LAYERS; ++layer) {
      staff.cur_note[layer] = staff.ppnt[layer];
      staff.rest_group[layer] = NIL;
      staff.rest_group_x[layer] = left;
      if (Drosa first = first_note_of_layer(p, layer)) {
        staff.next_time[layer] = chord_time(first);
        staff.layers_with_notes |= uint8_t(1u << layer);
      } else if (layer == 0) {
        staff.next_time[layer] = 0;
      }
    }
  }
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v)
    voice_data[v].beaming_end = voice_data[v].beaming_start;
}

// Returns false when interrupted.
// A layer is due at a column when its chord's column number has come and its chord stands at
// the column's time: a chord split off from its staff chord keeps that chord's column number
// and time and takes the next column of its own, so the columns run on past the system's
// count of time points and a later chord of another layer with the same number waits for its
// time.
bool draw_columns() {
  const int columns = staff_data[first_pstaff].chord_count;
  // The column number of each layer's next chord (INT_MAX when the layer has ended).
  constexpr int ENDED = 0x7FFFFFFF;
  int next_column[MAX_PSTAVES][LAYERS];
  // Each layer's next note and its grace flag, kept with its column number: the walks below
  // read them at every column.
  Drosa next[MAX_PSTAVES][LAYERS];
  int next_grace[MAX_PSTAVES][LAYERS];
  auto look_ahead = [&](int p, int layer) {
    Drosa n = next_note(p, layer);
    Drosa cd2 = n ? cddata2_of_chord(n) : NIL;
    next[p][layer] = n;
    next_grace[p][layer] = n ? n->get(xgrace) : 0;
    next_column[p][layer] = cd2 ? cd2->get(xchordNum) : ENDED;
  };
  // The layers that have notes, staff by staff and layer by layer: the others have no chord
  // to come and are left out of every walk.
  auto each_layer = [&](auto visit) {
    for (int p = first_pstaff; p <= last_pstaff; ++p)
      for (unsigned in_use = staff_data[p].layers_with_notes; in_use; in_use &= in_use - 1)
        visit(p, std::countr_zero(in_use));
  };
  each_layer(look_ahead);
  int32_t t = 0;
  int mode = SPECPLOT_SYSTEM_START;
  int prev_grace = 0;
  for (int k = 0;; ++k) {
    if (format_interrupted()) return false;
    struct Due {
      int p, layer;
    };
    Due due[MAX_PSTAVES * LAYERS];
    int count = 0;
    int any_grace = 0, any_after = 0;
    auto at_time = [&](int p, int layer) {
      return int64_t(staff_data[p].next_time[layer]) <= int64_t(t) + TIME_TOLERANCE;
    };
    // A chord split off its staff chord keeps that chord's column number though it may stand
    // at a later time, so the columns can run ahead of the numbers: the grace chords at the
    // time still come first, one column after the other.
    int graces = 0x7FFFFFFF;
    each_layer([&](int p, int layer) {
      if (at_time(p, layer) && next_column[p][layer] != ENDED && next_grace[p][layer])
        graces = std::min(graces, next_column[p][layer]);
    });
    each_layer([&](int p, int layer) {
      if (next_column[p][layer] > k || !at_time(p, layer)) return;
      if (graces < k && (!next_grace[p][layer] || next_column[p][layer] > graces)) return;
      due[count++] = {p, layer};
      any_grace |= next_grace[p][layer];
      any_after |= next_grace[p][layer] && next[p][layer]->get(xnachschlag);
    });
    if (!count) {
      if (k >= columns) break;  // past every column number: nothing is left to come
      continue;
    }
    specplot(t, mode, any_grace, any_after, prev_grace);
    if (format_interrupted()) return false;
    for (int i = 0; i < count; ++i) {
      hand_out_chord(due[i].p, due[i].layer, next[due[i].p][due[i].layer]);
      look_ahead(due[i].p, due[i].layer);
    }
    fix_beam_buffer();
    int32_t least = NO_NEXT_TIME;
    each_layer([&](int p, int layer) {
      if (next_column[p][layer] != ENDED) least = std::min(least, staff_data[p].next_time[layer]);
    });
    if (least == NO_NEXT_TIME) break;
    t = least;
    prev_grace = any_grace && !any_after;
    mode = SPECPLOT_COLUMN;
  }
  return true;
}

// Rests still waiting at the system's end are closed by the layer's last bar, or the staff's
// right end.
void close_rests_at_system_end() {
  for (int p = first_pstaff; p <= last_pstaff; ++p) {
    for (int layer = 0; layer < LAYERS; ++layer) {
      if (!staff_data[p].rest_group[layer]) continue;
      Drosa bar = voice_scan_helper(BAR, p, layer);
      const bool placed = bar && bar->get(xbarx) != NOT_DRAWN;
      place_rests_in_group(placed ? bar->get(xbarx) : staff_right_x(p, current_page), p, layer);
    }
  }
}

// The BEAMING after a voice's last note is in force at its next system.
void beaming_at_system_end() {
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (voice_not_shown(v) || voice_list_empty(v) || !voice_data[v].system_end) continue;
    if (Drosa beaming = find_prev_kind_stop_2(BEAMING, voice_data[v].system_end, 0))
      voice_data[v].beaming_end = beaming;
  }
}

// ---- Rests of whole measures ---------------------------------------------------------------

bool waiting_rest(Drosa n) {
  return n->get(xrest) && note_ntdata(n) && note_ntdata(n)->get(xrestchar);
}

int64_t positive_mod(int64_t a, int64_t m) { return ((a % m) + m) % m; }

// Rests of two voices in one chord stand apart: the first below what the other voice has, the
// last above it, on the staff's line grid.
void spread_rests(Drosa first, Drosa last, const StaffData& staff) {
  const int64_t step = staff.staff_size, mid = staff.middle_y;
  const int64_t g =
      int64_t(param_value(P_STAFF_SPACES_TO_OFFSET_RESTS_FOR_MULTIPLE_VOICES, first, &staff)
                  ->integer()) *
      step;
  int64_t lo = EXTENT_LOW_START, hi = EXTENT_HIGH_START;
  bool first_chord = true;
  for (Drosa n = first; is_visible_note(n); n = chain_next(chord_last_note(n))) {
    Drosa cd = cddata_of_chord(n);
    if (!cd) break;
    if (!first_chord && cd->get(xnewmeas)) break;
    first_chord = false;
    lo = std::min<int64_t>(lo, int64_t(get_loy(cd, 2)) - g);
    hi = std::max<int64_t>(hi, int64_t(get_hiy(cd, 1)) + g);
  }
  if (step > 0) {
    lo += positive_mod(mid + 100 * step - lo, step);
    hi -= positive_mod(hi + 100 * step - mid, step);
  }
  if (waiting_rest(first) && note_ntdata(first)->get(xhdy) > lo)
    note_ntdata(first)->set(xhdy, int32_t(std::clamp<int64_t>(lo, INT32_MIN, INT32_MAX)));
  if (waiting_rest(last) && note_ntdata(last)->get(xhdy) < hi)
    note_ntdata(last)->set(xhdy, int32_t(std::clamp<int64_t>(hi, INT32_MIN, INT32_MAX)));
}

// The rest's glyph where its record puts it, as the chord drawer draws heads and rests.
void draw_rest_glyph(Drosa rest, int p) {
  Drosa nt = note_ntdata(rest);
  if (rest->get(xhider) || rest->get(xnotehead) == 7 || nt->get(xtabtyp) == 2) return;
  GEcharacter(0, nt->get(xhdx), nt->get(xhdy), p, note_glyph(rest, 0), -1, VAR_HEAD, rest, 0);
}

// The number of measures over a multi-measure rest, its digits centred on the rest.
void draw_measure_count(Drosa first, Drosa cd, int p) {
  const StaffData& staff = staff_data[p];
  const int32_t step = staff.staff_size;
  const int32_t cx =
      note_ntdata(first)->get(xhdx) +
      param_length_at_staff(P_X_OFFSET_MULTI_REST_CENTER_TO_NUMBER_OF_BARS_CENTER, first, p) +
      param_length_at_staff(P_SPACE_GIVEN_FOR_WIDTH_OF_MULTI_REST_SYMBOL, first, p) / 2;
  const int32_t above = staff.middle_y + (staff.lines < 6 ? 2 * step : step * (staff.lines / 2));
  int32_t y =
      std::max(std::min(cd->get(xuphiy), cd->get(xdownhiy)), above) +
      param_length_at_staff(P_Y_OFFSET_TOP_STAFF_LINE_TO_NUMBER_OF_BARS, first, p) +
      10 * ((param_length_at_staff(P_WIDTH_OF_FIRST_STAFF_LINE_OR_B_FLAT_IN_PIANO_TAB, first, p) +
             1) /
            2) -
      10;
  if (staff.staff_type == PIANO_TABLATURE) y += staff.lines > 7 ? step / 2 : step;
  set_max_hiy(cd, 1, y + 2 * step);
  int32_t dw = param_length_at_staff(P_SPACE_GIVEN_FOR_WIDTH_OF_MULTI_REST_NUMBER, first, p);
  if (step > 50) dw = int32_t(double(step) / 50 * dw + 0.5);
  int count = std::max<int>(cd->get(xrcmeas), 0);
  int digits = 0;
  for (int c = count; c > 0 || digits == 0; c /= 10) ++digits;
  int32_t x = dw * digits / 2;
  for (int i = 0; i < digits; ++i, count /= 10) {
    x -= dw;
    GEcharacter(0, cx + x, y, p, P_0_FOR_MULTI_REST_NUMBERS + count % 10, 0, VAR_REST_DIGIT, first,
                0);
  }
}

}  // namespace

// ---- Interfaces -------------------------------------------------------------------------------

Drosa get_bracket(Drosa node, int* bracket, int* brace) {
  *bracket = NO_BRACKET;
  *brace = 0;
  Drosa endsyst = node ? find_prev_kind(ENDSYST, node) : NIL;
  if (!endsyst) {
    REPORT_ERROR(4, "No ENDSYST found in get_bracket()!");
    return NIL;
  }
  if (endsyst->get(xstartpiece)) {
    if (Drosa print = find_next_kind_before_note(PRINT, endsyst)) {
      *bracket = print->get(xfirst_bracket);
      *brace = print->get(xfirst_brace);
      return print;
    }
  }
  *bracket = endsyst->get(xbracket);
  *brace = endsyst->get(xbrace);
  return endsyst;
}

void draw_system_brackets(int p) {
  if (valid_staff(p)) draw_bracket_part(p, staff_bracket(p));
}

void place_rests_in_group(int32_t x_end, int p, int layer) {
  if (!valid_staff(p) || layer < 0 || layer >= LAYERS) return;
  StaffData& staff = staff_data[p];
  Drosa r = staff.rest_group[layer];
  staff.rest_group[layer] = NIL;
  if (!is_visible_note(r)) return;
  Drosa first = NIL, last = NIL;
  chord_extent(r, &first, &last);
  // A rest beside other voices' chords of its layer in its measure keeps the height it was
  // placed at among them.
  Drosa next = chain_next(last);
  Drosa next_cd = is_visible_note(next) ? cddata_of_chord(next) : NIL;
  const bool beside = next_cd && !next_cd->get(xnewmeas);
  for (Drosa n = first; n && !beside; n = n == last ? NIL : chain_next(n))
    if (waiting_rest(n)) note_ntdata(n)->set(xhdy, staff.middle_y);
  if (!beside && !(waiting_rest(first) && waiting_rest(last))) spread_rests(first, last, staff);

  Drosa cd = cddata_of_chord(first);
  const int32_t centre = int32_t((int64_t(x_end) + staff.rest_group_x[layer] + 1) / 2);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    if (!waiting_rest(n)) continue;
    Drosa nt = note_ntdata(n);
    const int32_t width = rest_width(n, 0);
    nt->set(xhdx, CMOVE_value(last) + centre - width / 2);
    if (cd) cd->set(xorigin, nt->get(xhdx) + width / 2);
    if (!beside) adjust_rest_y(n, p);
    if (cd) {
      const int dir = nt->get(xstmdir);
      set_min_loy(cd, dir, nt->get(xhdy) - rest_descend_size(n, 0));
      set_max_hiy(cd, dir, nt->get(xhdy) + rest_ascend_size(n, 0));
    }
    draw_rest_glyph(n, p);
  }
  if (cd && note_ntdata(first)->get(xrestchar) == 2) draw_measure_count(first, cd, p);
}

namespace {

// The staff (a pstaff, maybe outside the system) and layer that voice v is printed on at the
// system's end, when it is shown there.
bool voice_at_system_end(int v, int* p, int* layer) {
  const VoiceData& voice = voice_data[v];
  if (!voice.print || !voice.system_end || voice.print->get(xsstaff) < 0) return false;
  if (voice_not_shown(v) || voice_list_empty(v)) return false;
  *p = voice.print->get(xsstaff) + first_pstaff;
  *layer = voice.print->get(xlayer);
  return true;
}

}  // namespace

Drosa voice_scan_helper(int kind, int p, int layer) {
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    int vp = 0, vlayer = 0;
    if (!voice_at_system_end(v, &vp, &vlayer) || vp != p || vlayer != layer) continue;
    if (Drosa found = find_prev_kind_stop(kind, voice_data[v].system_end, 0)) return found;
  }
  return NIL;
}

void system_layer_voices(uint64_t (*voices)[LAYERS]) {
  static_assert(MAX_VOICES <= 64, "a voice is a bit of a 64-bit set");
  if (first_pstaff < 0 || last_pstaff >= MAX_PSTAVES) return;
  for (int p = first_pstaff; p <= last_pstaff; ++p) std::fill(voices[p], voices[p] + LAYERS, 0);
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    int p = 0, layer = 0;
    if (voice_at_system_end(v, &p, &layer) && p >= first_pstaff && p <= last_pstaff && layer >= 0 &&
        layer < LAYERS)
      voices[p][layer] |= uint64_t(1) << v;
  }
}

Drosa voice_scan_helper_among(int kind, uint64_t voices) {
  for (; voices; voices &= voices - 1)
    if (Drosa found = find_prev_kind_stop(kind, voice_data[std::countr_zero(voices)].system_end, 0))
      return found;
  return NIL;
}

Drosa layer_last_note(int p, int layer) {
  if (!valid_staff(p) || layer < 0 || layer >= LAYERS) return NIL;
  Drosa last = first_note_of_layer(p, layer);
  if (!last) return NIL;
  for (Drosa n = chain_next(last); is_visible_note(n); n = chain_next(n)) last = n;
  return last;
}

int brace_last_pstaff(int pstaff) {
  return pstaff >= 0 && pstaff < MAX_PSTAVES ? drawn_braces[pstaff].last : -1;
}

void draw_brace_again(int pstaff) {
  if (pstaff < 0 || pstaff >= MAX_PSTAVES) return;
  const DrawnBrace& brace = drawn_braces[pstaff];
  if (brace.last >= pstaff && brace.last < MAX_PSTAVES)
    draw_brace_glyph(pstaff, brace.last, brace.bracketed, brace.owner);
}

int32_t plot_page() {
  if (first_pstaff < 0 || last_pstaff >= MAX_PSTAVES || first_pstaff > last_pstaff) return 1;
  // Nothing drawn here changes a note's colour: each note's is looked up once for its elements.
  const NoteColorMemo colours;
  beam_buffer_reset();
  // The marks of beams going on into the next system are set again by the beams that do.
  clear_voice_beam_flags();
  start_layers();
  if (first_pstaff == 0) current_bar_number = page_first_bar;
  bracket_state.closed = 1;
  const int32_t right = staff_right_x(first_pstaff, current_page);
  StaffBracket settings[MAX_PSTAVES];
  for (int p = first_pstaff; p <= last_pstaff; ++p) settings[p] = staff_bracket(p);
  const Drosa staves_drawn_after = GE_tail;
  for (int p = first_pstaff; p <= last_pstaff; ++p) {
    draw_staff_lines(p, staff_left_x(p, current_page), right, staff_first_note(p));
    draw_bracket_part(p, settings[p]);
    drawn_braces[p] = {};
    draw_brace(p, settings);
  }
  draw_part_names(staves_drawn_after);
  draw_system_bar_and_separator();
  if (!draw_columns()) return 0;
  if (format_interrupted()) return 0;
  close_rests_at_system_end();
  beaming_at_system_end();
  check_beam_buffer();
  specplot(0, SPECPLOT_SYSTEM_END, 0, 0, 0);
  return 1;
}
