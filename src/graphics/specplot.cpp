// specplot.cpp: clefs, key and time signatures, bar lines, bar numbers and the page title.
//
// The page drawing pass calls specplot before each column of chords and once after the last.
// It finds the signs the same way the spacing found them when it gave them their x: attached
// before the chords due at the column's time, or, after the last column, between each
// layer's last note and the end of its system. Kinds are drawn one after the other over all
// staves, the staves from the lowest up, so that a bar line knows whether the staff below
// had one to join.
//
// Design notes:
//  - The thick flag of a bar's flag byte that the spacing reads is the wings flag of a repeat:
//    a bar with wings and dots on both sides takes a thick line between two thin ones.
//  - Digits of a time signature of 100 and more, and clef types outside the table (a damaged
//    file), are drawn rather than read past their tables: all digits, and the treble clef.
//  - A layer's measure begins, for its whole-measure rests, past the clef, key and time
//    signature at the system's start.
#include "graphics/specplot.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_services.h"
#include "graphics/GE.h"
#include "graphics/ge_services.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/plot_page.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int TIME_SLACK = 50;
constexpr int PIANO_TABLATURE = 3;
constexpr int CLEF_TYPES = 12;

// Var codes.
constexpr int VAR_BAR_NUMBER = 8, VAR_TITLE = 9;
constexpr int VAR_WING_TOP_AFTER = 32, VAR_WING_TOP_BEFORE = 33;
constexpr int VAR_WING_BOTTOM_AFTER = 34, VAR_WING_BOTTOM_BEFORE = 35;
constexpr int VAR_CLEF = 52, VAR_TIME_DIGIT = 53, VAR_CUT_TIME = 54, VAR_COMMON_TIME = 55;
constexpr int VAR_DOTS_BEFORE = 56, VAR_DOTS_AFTER = 57, VAR_KEY = 58;

// Options words of the notation context.
constexpr int OPTIONS_NO_BAR_NUMBERS = 8, OPTIONS_PAGE_NUMBERS = 38;

// Fields of the signs read here only.
constexpr auto xtimesymbol = word_field<uint8_t>("xtimesymbol", TIMESIG, 22);  // 1 cut, 2 common

// The clef glyphs at the start of a staff and for a change, by clef type.
constexpr int clef_params[CLEF_TYPES][2] = {
    {P_TREBLE_CLEF_AT_START_OF_STAFF, P_TREBLE_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_BASS_CLEF_AT_START_OF_STAFF, P_BASS_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_ALTO_CLEF_AT_START_OF_STAFF, P_ALTO_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_TENOR_CLEF_AT_START_OF_STAFF, P_TENOR_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_SOPRANO_CLEF_AT_START_OF_STAFF, P_SOPRANO_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_OCTAVE_DOWN_TREBLE_CLEF_AT_START_OF_STAFF,
     P_OCTAVE_DOWN_TREBLE_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_BARITONE_CLEF_AT_START_OF_STAFF, P_BARITONE_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_SINGLE_BAR_PERCUSSION_CLEF_AT_START_OF_STAFF, P_SINGLE_BAR_PERCUSSION_CLEF_CHANGE},
    {P_DUAL_BAR_PERCUSSION_CLEF_AT_START_OF_STAFF, P_DUAL_BAR_PERCUSSION_CLEF_CHANGE},
    {P_CYMBAL_CLEF_AT_START_OF_STAFF, P_CYMBAL_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_MEZZO_SOPRANO_CLEF_AT_START_OF_STAFF, P_MEZZO_SOPRANO_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
    {P_BARITONE_C_CLEF_AT_START_OF_STAFF, P_BARITONE_C_CLEF_CHANGE_IN_MIDDLE_OF_STAFF},
};

// The octave of each key-signature accidental (by its code modulo 14) under each clef type.
constexpr int keysig_octave_table[CLEF_TYPES][14] = {
    {6, 6, 6, 5, 5, 5, 5, 6, 6, 6, 6, 6, 5, 5},  // treble
    {4, 4, 4, 3, 3, 3, 3, 4, 4, 4, 4, 4, 3, 3},  // bass
    {5, 5, 5, 4, 4, 4, 4, 5, 5, 5, 5, 5, 4, 4},  // alto
    {5, 5, 5, 4, 4, 4, 4, 5, 5, 5, 5, 4, 4, 4},  // tenor
    {6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5},  // soprano
    {5, 5, 5, 4, 4, 4, 4, 5, 5, 5, 5, 5, 4, 4},  // octave-down treble
    {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3},  // baritone
    {5, 5, 5, 4, 4, 4, 4, 5, 5, 5, 5, 5, 4, 4},  // single bar percussion
    {5, 5, 5, 4, 4, 4, 4, 5, 5, 5, 5, 5, 4, 4},  // dual bar percussion
    {5, 5, 5, 4, 4, 4, 4, 5, 5, 5, 5, 5, 4, 4},  // cymbal
    {5, 5, 5, 5, 4, 4, 4, 5, 5, 5, 5, 5, 4, 4},  // mezzo-soprano
    {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3},  // baritone C
};

int clef_type_of(Drosa clef) {
  int type = clef ? clef->get(xclef) : 0;
  return type >= 0 && type < CLEF_TYPES ? type : 0;
}

bool valid_staff(int p) { return p >= 0 && p < MAX_PSTAVES; }

// Whether a staff takes signs of the kind: a tablature staff no key signature and its clef
// only at the system's start; a staff of any other special type no clef, key or time.
bool staff_takes(int kind, int p, int mode) {
  const int type = staff_data[p].staff_type;
  if (type == PIANO_TABLATURE) return kind == CLEF ? mode == SPECPLOT_SYSTEM_START : kind != KEYSIG;
  if (type != 0) return kind != CLEF && kind != KEYSIG && kind != TIMESIG;
  return true;
}

// At the system's start a layer's measure begins after the signs drawn there, and so do the
// ties and slurs that come from the system before.
void measure_begins_after(int p, int layer, int mode, int32_t x) {
  if (mode != SPECPLOT_SYSTEM_START) return;
  int32_t& begins = staff_data[p].rest_group_x[layer];
  begins = std::max(begins, x);
  staff_data[p].signs_end_x = std::max(staff_data[p].signs_end_x, x);
}

void vertical(int32_t x, int32_t top, int32_t bottom, int p, int32_t width, int var, Drosa owner,
              int dash, int gap, int bottom_staff = -1) {
  GEline(0, x, top, p, 0, x, bottom, bottom_staff < 0 ? p : bottom_staff, 0, width, dash, gap, 0, 0,
         0, 0, 0, var, owner);
}

// ---- Clefs, keys, times -------------------------------------------------------------------

void draw_clef(Drosa clef, Drosa owner, int p, int layer, int mode) {
  if (staff_data[p].staff_type == PIANO_TABLATURE) {
    staff_lines_geometry(staff_left_x(first_pstaff, current_page), p);
    return;
  }
  if (clef->get(xclefhide)) return;
  const bool change = clef->get(xclefchange) != 0;
  const int32_t x = clef->get(xclefx);
  GEcharacter(0, x, staff_data[p].middle_y, p, clef_params[clef_type_of(clef)][change ? 1 : 0], 0,
              VAR_CLEF, owner, 0);
  measure_begins_after(
      p, layer, mode,
      x + param_length_at_staff(change ? P_WIDTH_OF_CLEF_CHANGE_SYMBOL : P_WIDTH_OF_CLEF_SYMBOL,
                                clef, p));
}

// The digits of one number of a time signature at y: one digit centred on the signature's
// width, more side by side from its left.
int32_t draw_time_number(int number, int32_t x, int32_t y, int32_t w, int p, Drosa owner) {
  std::string digits = std::to_string(std::abs(number));
  int32_t at = digits.size() == 1 ? x + w / 2 : x;
  for (char c : digits) {
    GEcharacter(0, at, y, p, P_0_FOR_TIME_SIGNATURES + (c - '0'), 0, VAR_TIME_DIGIT, owner, 0);
    at += w;
  }
  return digits.size() == 1 ? x + w : at;
}

void draw_timesig(Drosa timesig, Drosa owner, int p, int layer, int mode) {
  const StaffData& staff = staff_data[p];
  const int32_t x =
      timesig->get(xtimex) - param_length_at_staff(P_X_OFFSET_FOR_TIME_SIGNATURE, timesig, p);
  const int symbol = timesig->get(xtimesymbol);
  const int32_t w = param_length_at_staff(P_SPACE_GIVEN_FOR_TIME_SIGNATURE_WIDTH, timesig, p);
  int32_t right = x + w;
  if (symbol == 1 || symbol == 2) {
    GEcharacter(0, x, staff.middle_y, p, symbol == 1 ? P_CUT_TIME : P_COMMON_TIME, 0,
                symbol == 1 ? VAR_CUT_TIME : VAR_COMMON_TIME, owner, 0);
  } else {
    int32_t y = staff.middle_y +
                param_length_at_staff(P_Y_OFFSET_FROM_STAFF_LINE_TO_TIME_SIGNATURE, timesig, p);
    right = draw_time_number(timesig->get(xbpm), x, y, w, p, owner);
    y -= 2 * staff.staff_size;
    right = std::max(right, draw_time_number(timesig->get(xbeat), x, y, w, p, owner));
  }
  measure_begins_after(p, layer, mode, right);
}

// ---- Bar lines ------------------------------------------------------------------------------

// A bar separator stands among the nodes attached before the note that follows the bar (or
// before the system's end): the bar then does not join the staff below.
bool bar_separated(Drosa bar) {
  Drosa p = bar;
  while (p->xnext && effective_kind(p->xnext) != NOTE && effective_kind(p->xnext) != ENDSYST)
    p = p->xnext;
  for (; p; p = p->xback) {
    const int k = effective_kind(p);
    if (k == BARSEP) return true;
    if (k == NOTE || k == ENDSYST) return false;
  }
  return false;
}

void draw_bar(Drosa bar, Drosa owner, int p, int layer, bool join) {
  const StaffData& staff = staff_data[p];
  int32_t x0 = bar->get(xbarx);
  if (x0 == NOT_DRAWN) return;  // not placed on this page
  if (layer == 0)
    for (int l = 0; l < LAYERS; ++l)
      if (staff_data[p].rest_group[l]) place_rests_in_group(x0, p, l);

  int type = bar->get(xdouble);
  bool dots_after = bar->get(xrepeat_start) != 0, wings = bar->get(xbarthick) != 0;
  if (Drosa second = find_next_kind_before_note(BAR, bar)) {
    if (second->get(xdouble)) type = second->get(xdouble);
    dots_after |= second->get(xrepeat_start) != 0;
    wings |= second->get(xbarthick) != 0;
  }
  const bool dots_before = bar->get(xrepeat_end) != 0;
  const bool visible = bar->get(xbar_invisible) == 0;
  const int32_t middle = staff.middle_y;
  if (dots_before && visible) {
    GEcharacter(0, x0, middle, p, P_REPEAT_DOTS, 0, VAR_DOTS_BEFORE, owner, 0);
    x0 += param_length_at_staff(P_SPACE_GIVEN_FOR_WIDTH_OF_REPEAT_DOTS, bar, p) +
          param_length_at_staff(P_DISTANCE_BETWEEN_BAR_LINE_AND_REPEAT_DOTS, bar, p);
  }
  int dash = 0, gap = 0;
  if (bar->get(xbar_dashed)) {
    dash = param_value(P_DASH_LENGTH_FOR_DASHED_BAR_LINES, bar, &staff)->integer();
    gap = param_value(P_GAP_LENGTH_FOR_DASHED_BAR_LINES, bar, &staff)->integer();
  }
  int32_t top = staff_top_y(p, 1), bottom = staff_bottom_y(p, 1);
  if (bar->get(xbar_chant)) {
    bottom = staff_top_y(p, 1) + param_length_at_staff(P_Y_OFFSET_FOR_RULE, bar, p);
    top = bottom + param_length_at_staff(P_LENGTH_OF_RULE, bar, p);
  }
  // A single thin line, the common bar, needs neither the thick line nor the gap.
  const bool single = type == 0 && !wings;
  const int32_t thin = param_length_at_staff(P_LINE_WIDTH_FOR_BAR_LINES, bar, p),
                thick = single ? 0
                               : param_length_at_staff(P_LINE_WIDTH_FOR_THICKER_LINE_IN_DOUBLE_BAR,
                                                       bar, p);
  const int32_t g =
      single ? 0 : param_length_at_staff(P_SEPARATION_BETWEEN_LINES_IN_DOUBLE_BARS, bar, p);
  struct Line {
    int32_t x, width;
  };
  Line lines[3];
  int count = 0;
  if (type == 0) {
    lines[count++] = {x0, thin};
  } else if (wings && dots_before && dots_after) {
    lines[count++] = {x0, thin};
    lines[count++] = {x0 + g, thick};
    lines[count++] = {x0 + g + thick + g, thin};
  } else if (type == 3 || (wings && dots_after)) {
    lines[count++] = {x0, thick};
    lines[count++] = {x0 + thick + g, thin};
  } else {
    lines[count++] = {x0, thin};
    lines[count++] = {x0 + g, type == 2 || (wings && dots_before) ? thick : thin};
  }
  const bool joined = join && !bar_separated(bar);
  if (visible) {
    for (int i = 0; i < count; ++i) {
      vertical(lines[i].x, top, bottom, p, lines[i].width, VAR_BAR_LINE + i, owner, dash, gap);
      if (joined)
        vertical(lines[i].x, bottom, staff_top_y(p + 1, 1), p, lines[i].width, VAR_BAR_JOIN + i,
                 owner, dash, gap, p + 1);
    }
  }
  int32_t xl = lines[count - 1].x;
  if (wings) {
    const int32_t L = param_length_at_staff(P_LENGTH_OF_WING_LINES_ON_REPEATS, bar, p),
                  W = param_length_at_staff(P_LINE_WIDTH_OF_WING_LINES_ON_REPEATS, bar, p);
    const int32_t T = thick - W;
    const int32_t xr = dots_before && count > 1 ? lines[1].x : x0;
    auto wing = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, int var) {
      GEline(0, x1, y1, p, 0, x2, y2, p, 0, W, 0, 0, 0, 0, 0, 0, 0, var, owner);
    };
    if (p == first_pstaff) {
      if (dots_after)
        wing(xr - 2 * W, top - 2 * W, xr + 2 * W + L, top + 2 * W + L, VAR_WING_TOP_AFTER);
      if (dots_before)
        wing(xr + T + 2 * W, top - 2 * W, xr + T - L - 2 * W, top + 2 * W + L, VAR_WING_TOP_BEFORE);
    }
    if (p == last_pstaff) {
      if (dots_after)
        wing(xr - 2 * W, bottom + 2 * W, xr + 2 * W + L, bottom - L - 2 * W, VAR_WING_BOTTOM_AFTER);
      if (dots_before)
        wing(xr + T + 2 * W, bottom + 2 * W, xr + T - L - 2 * W, bottom - L - 2 * W,
             VAR_WING_BOTTOM_BEFORE);
    }
  }
  if (dots_after && visible) {
    GEcharacter(0, xl + param_length_at_staff(P_DISTANCE_BETWEEN_BAR_LINE_AND_REPEAT_DOTS, bar, p),
                middle, p, P_REPEAT_DOTS, 0, VAR_DOTS_AFTER, owner, 0);
    xl += param_length_at_staff(P_DISTANCE_BETWEEN_BAR_LINE_AND_REPEAT_DOTS, bar, p) +
          param_length_at_staff(P_SPACE_GIVEN_FOR_WIDTH_OF_REPEAT_DOTS, bar, p);
  }
  staff_data[p].rest_group_x[layer] = xl;
}

// ---- The system's start: bar number and title -----------------------------------------------

Drosa first_staff_note() {
  for (int layer = 0; layer < LAYERS; ++layer) {
    Drosa head = staff_data[first_pstaff].ppnt[layer];
    Drosa first = head ? chain_next(head) : NIL;
    if (is_visible_note(first)) return first;
  }
  return NIL;
}

void draw_text(const char* text, int32_t x, int32_t y, int p, const ParamValue& font, int var,
               Drosa owner) {
  GEstring(0, x, y, 0, 0, p, font_from_code(font.font()), font.bytes[2], font.size(), font.style(),
           0, text, 0, var, owner, NIL);
}

void draw_bar_number() {
  const Drosa first = first_staff_note();
  if (!first) return;
  Drosa bar = find_prev_kind_stop(BAR, first, 0);
  const bool hidden = bar ? bar->get(xbar_no_number) != 0
                          : options_i16(current_ncontext, OPTIONS_NO_BAR_NUMBERS) != 0;
  if (hidden) return;
  const int p = first_pstaff;
  const std::string text = std::to_string(int16_t(current_bar_number));
  draw_text(
      text.c_str(),
      staff_left_x(p, current_page) +
          param_length_at_staff(P_BAR_NUMBER_X_OFFSET_FROM_START_OF_1ST_STAFF_IN_SYSTEM, first, p),
      staff_top_y_outer(p) +
          param_length_at_staff(P_BAR_NUMBER_Y_OFFSET_FROM_TOP_OF_1ST_STAFF_IN_SYSTEM, first, p),
      p, *param_value(P_FONT_INFORMATION_FOR_BAR_NUMBERS, first, &staff_data[p]), VAR_BAR_NUMBER,
      first);
}

// The measure number advances over the bars of the first shown voice's system.
void count_system_bars() {
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (voice_not_shown(v) || voice_list_empty(v)) continue;
    const VoiceData& voice = voice_data[v];
    for (Drosa q = voice.system_start ? voice.system_start->xnext : NIL;
         q && q != voice.system_end && effective_kind(q) != ENDSYST; q = q->xnext) {
      if (effective_kind(q) != BAR) continue;
      if (q->get(xrestart_number))
        current_bar_number = q->get(xbarnumber);
      else if (!q->get(xunnumbered))
        ++current_bar_number;
    }
    return;
  }
}

std::string piece_file_name() {
  std::string name = piece_fsspec;
  const size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name = name.substr(slash + 1);
  if (name.rfind(":from:", 0) == 0 && !(DrosaDirty & 1)) name = name.substr(6);
  return name;
}

// The page's line stands clear of the paper's edge: its baseline a quarter inch of the paper
// (at the print scale) and a descent above the sheet's foot, or higher where parameter 185 puts
// it (whose 4 points above the page's foot are on the paper's cut edge in a file).
int32_t page_title_y(const ParamValue& font) {
  const PaperEdges edges = paper_edges(current_ncontext);
  return std::max(param_length(P_PAGE_NUMBER_Y_OFFSET_FROM_BOTTOM_OF_PAGE, NIL),
                  edges.foot + font.size() * 10 / 4);
}

}  // namespace

PaperEdges paper_edges(int context) {
  constexpr double QUARTER_INCH = 180;  // tenths of a point of the paper
  const PrintedSheet sheet = printed_sheet(context);
  const double per_paper_unit = 100.0 / std::max<int32_t>(sheet.scale, 1);
  const double height = options_i32(context, OPTIONS_PAGE_HEIGHT) * 72.0;
  const double sheet_foot = std::max(height - sheet.height * 10 * per_paper_unit, 0.0);
  const double room = QUARTER_INCH * per_paper_unit;
  return {int32_t(std::lround(sheet_foot + room)), int32_t(std::lround(height - room))};
}

namespace {

// The page's line: its number, and the file's and the context's names as the options ask.
std::string page_title_text() {
  const char* blanks = "      ";
  const bool numbered = options_i16(current_ncontext, OPTIONS_PAGE_NUMBERS) != 0 &&
                        !(current_page == 1 && page_count == 1);
  const short number = short(printed_page_number);
  char buffer[512] = "";
  auto append = [&](const char* format, auto value) {
    char before[sizeof buffer];
    std::snprintf(before, sizeof before, "%s", buffer);
    std::snprintf(buffer, sizeof buffer, format, before, blanks, value);
  };
  if (options_i16(current_ncontext, OPTIONS_TITLE) == 0) {
    if (numbered) append("%s%s%hd", number);
  } else {
    const std::string name = piece_file_name();
    if (numbered) append("%s%sPage %hd", number);
    if (ncontext_count > 1) append("%s%s%s", ncontext_name_of(current_ncontext));
    if (!name.empty() && (name[0] != ':' || page_count > 1 || ncontext_count > 1))
      append("%s%s%s", name.c_str());
  }
  return buffer;
}

void draw_page_title() {
  const std::string text = page_title_text();
  if (text.empty()) return;
  const ParamValue font = *param_value(P_FONT_INFORMATION_FOR_PAGE_NUMBERS, NIL, nullptr);
  const int32_t width = param_string_width(font, text.c_str());
  const int32_t x = (layout_page_width() - width + layout_page_left_x()) / 2;
  draw_text(text.c_str(), x, page_title_y(font), -1, font, VAR_TITLE, NIL);
}

}  // namespace

int32_t lowest_music_y() {
  if (page_title_text().empty()) return paper_edges(current_ncontext).foot;
  const ParamValue font = *param_value(P_FONT_INFORMATION_FOR_PAGE_NUMBERS, NIL, nullptr);
  return page_title_y(font) + font.size() * 10;
}

namespace {

// ---- Finding the signs ------------------------------------------------------------------------

// What a layer contributes to a column: the chord due there (its first note) and which
// voice's signs count (ALL_VOICES for every voice of the chord).
struct DueLayer {
  Drosa note;
  int voice = ALL_VOICES;
  unsigned kinds = 0;  // a bit for each kind of sign attached before a note of the chord
};

unsigned kind_bit(int kind) { return 1u << (kind & 31); }

// The chords due at a column and the layers' last notes at the system's end, by staff and
// layer: kept from call to call (the drawing pass runs on one thread) so that a call clears
// only the rows of the system's staves.
DueLayer due_rows[MAX_PSTAVES][LAYERS];
Drosa last_note_rows[MAX_PSTAVES][LAYERS];

// The kinds of the signs attached before the notes of the chord that starts with `first`.
unsigned signs_before(Drosa first) {
  unsigned kinds = 0;
  Drosa last = chord_last_note(first);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    for (Drosa q = n->xback; q; q = q->xback) {
      const int k = effective_kind(q);
      if (k == NOTE || k == ENDSYST) break;
      if (k == SPACE || k == BAR || k == TIMESIG || k == KEYSIG || k == CLEF) kinds |= kind_bit(k);
    }
  }
  return kinds;
}

DueLayer due_layer(int p, int layer, int32_t time, int any_grace, int any_after, int prev_grace) {
  const StaffData& staff = staff_data[p];
  const Drosa cur = staff.cur_note[layer];
  const Drosa n = chain_next(cur);
  if (!is_visible_note(n) || int64_t(staff.next_time[layer]) > int64_t(time) + TIME_SLACK)
    return {};
  if (any_after && !(n->get(xgrace) && n->get(xnachschlag))) return {};
  if (n->get(xgrace) && !any_grace) {
    REPORT_ERROR(4, "fgrace logic error in specplot step 1");
    return {};
  }
  Drosa& seen = specplot_last_seen[p][layer];
  if (prev_grace && cur == seen) return {};
  seen = cur;
  return {n, prev_grace && cur && cur->get(xgrace) ? int(cur->get(xvoice)) : ALL_VOICES,
          split_off_chord(n) ? 0u : signs_before(n)};
}

// The pstaff of the voice's first PRINT, its own staff; -1 when it has none.
int home_pstaff(Drosa note) {
  const int v = note->get(xvoice);
  if (v >= voice_count || v >= MAX_VOICES) return -1;
  const Drosa print = find_next_kind_until(PRINT, piece_start[v], NOTE, 0);
  return print ? print->get(xsstaff) + first_pstaff : -1;
}

// A BAR before a note of the staff chord starting at `first`, with a staff change between
// them (a right hand whose bar begins on the lower staff), and the pstaff in force at the BAR,
// the voice's own; or a BAR before the chord of a voice that plays a whole measure away from
// its own staff (one hand playing both staves), and the voice's own pstaff. NIL when there is
// none.
Drosa bar_of_other_staff(Drosa first, int* home) {
  const Drosa last = chord_last_note(first);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    bool moved = false;
    for (Drosa q = n->xback; q; q = q->xback) {
      const int k = effective_kind(q);
      if (k == NOTE || k == ENDSYST) break;
      moved |= k == PRINT;
      if (k != BAR) continue;
      if (!moved) {
        const int own = home_pstaff(n);
        if (own < 0 || own == *home) break;
        *home = own;
        return q;
      }
      const Drosa before = find_prev_kind(PRINT, q);
      if (!before) break;
      *home = before->get(xsstaff) + first_pstaff;
      return q;
    }
  }
  return NIL;
}

// The bar line that ends the system in the voice of a staff's last note, when no voice ends
// the system on that staff (its last chord went to another staff).
Drosa end_bar_of_voice(Drosa last) {
  const int v = last ? last->get(xvoice) : -1;
  if (v < 0 || v >= voice_count || v >= MAX_VOICES || !voice_data[v].system_end) return NIL;
  return find_prev_kind_stop(BAR, voice_data[v].system_end, 0);
}

}  // namespace

// ---- Interfaces -------------------------------------------------------------------------------

int clef_sig_offsets(int code, int clef_type, int p, Drosa owner, int32_t* y) {
  if (clef_type < 0 || clef_type >= CLEF_TYPES) clef_type = 0;
  code = std::max(code, 0);
  const bool simplified = simplified_notation_on();
  int param = code <= 6 ? P_FLAT : code <= 13 ? P_SHARP : P_NATURAL;
  if (simplified)
    param = param == P_FLAT    ? P_SIMPLIFIED_FLAT_FOR_KEY_SIGNATURE
            : param == P_SHARP ? P_SIMPLIFIED_SHARP_FOR_KEY_SIGNATURE
                               : P_QUARTER_NOTE_HEAD;
  const int position = keysig_octave_table[clef_type][code % 14] * 7 + code % 7;
  const int32_t size = valid_staff(p) ? staff_data[p].staff_size : 50;
  const int32_t middle = valid_staff(p) ? staff_data[p].middle_y : 0;
  *y = scaled_offset(NIL, 0, position, middle, size) + symbol_offset(clef_type, owner, p);
  return param;
}

int32_t draw_keysig_glyphs(int p, Drosa keysig, Drosa owner, int32_t x) {
  const int count = std::min<int>(keysig->get(xkeycnt), 15);
  const int clef_type = clef_type_of(owner ? find_object(CLEF, owner) : NIL);
  const bool by_name = (prefs.colour_flags() & COLOR_BY_PITCH_NAME) != 0;
  const int32_t space = param_length_at_staff(
      simplified_notation_on() ? P_SIMPLIFIED_X_SPACE_BETWEEN_ACCIDENTALS
                               : P_X_SPACE_LEFT_BETWEEN_ACCIDENTALS_IN_KEYS_AND_CHORDS,
      keysig, p);
  const StaffData* staff = valid_staff(p) ? &staff_data[p] : nullptr;
  for (int i = 0; i < count; ++i) {
    const int code = keysig->get(xkeysig_entry, i);
    int32_t y = 0;
    const int param = clef_sig_offsets(code, clef_type, p, owner, &y);
    GEcharacter(0, x, y, p, param, by_name ? voice_color_index(code % 7) : 0, VAR_KEY, owner, 0);
    const int accidental = code <= 6 ? 2 : code <= 13 ? 4 : 3;  // flat, sharp, natural
    x += space + param_group_width(keysig, staff, accidental, NIL);
  }
  return x;
}

void specplot(int32_t time, int mode, int any_grace, int any_after, int prev_grace) {
  if (first_pstaff < 0 || last_pstaff >= MAX_PSTAVES || first_pstaff > last_pstaff) return;
  static constexpr int START_ORDER[5] = {SPACE, BAR, TIMESIG, KEYSIG, CLEF};
  static constexpr int LATER_ORDER[5] = {SPACE, TIMESIG, KEYSIG, BAR, CLEF};
  const bool at_end = mode == SPECPLOT_SYSTEM_END;
  DueLayer(&due)[MAX_PSTAVES][LAYERS] = due_rows;
  Drosa(&last_notes)[MAX_PSTAVES][LAYERS] = last_note_rows;
  for (int p = first_pstaff; p <= last_pstaff; ++p) {
    std::fill(due[p], due[p] + LAYERS, DueLayer{});
    std::fill(last_notes[p], last_notes[p] + LAYERS, NIL);
  }
  // A bit for each layer of a staff whose chord here carries a sign of a kind (by the kind's
  // place in START_ORDER), and at the system's end for each layer that has a last note: each
  // kind visits only these layers.
  unsigned layers_with[MAX_PSTAVES][5] = {};
  unsigned last_layers[MAX_PSTAVES] = {};
  // At the system's end, the voices that end it on each layer.
  uint64_t end_voices[MAX_PSTAVES][LAYERS];
  if (at_end) system_layer_voices(end_voices);
  static_assert(LAYERS <= 8, "a staff's layers are the bits of a byte");
  unsigned signs_here = 0;  // whether any chord due here carries a sign
  for (int p = first_pstaff; p <= last_pstaff; ++p) {
    // A layer without notes at the system's start never has a chord due nor a last note.
    for (unsigned in_use = staff_data[p].layers_with_notes; in_use; in_use &= in_use - 1) {
      const int layer = std::countr_zero(in_use);
      if (at_end) {
        last_notes[p][layer] = layer_last_note(p, layer);
        if (last_notes[p][layer]) last_layers[p] |= 1u << layer;
        continue;
      }
      due[p][layer] = due_layer(p, layer, time, any_grace, any_after, prev_grace);
      if (!due[p][layer].note) continue;
      signs_here |= due[p][layer].kinds;
      for (int step = 0; step < 5; ++step)
        if (due[p][layer].kinds & kind_bit(START_ORDER[step])) layers_with[p][step] |= 1u << layer;
    }
  }
  const int* order = mode == SPECPLOT_SYSTEM_START ? START_ORDER : LATER_ORDER;
  // A column whose chords carry no sign draws none (a bar line is carried only from another).
  for (int step = 0; step < 5 && (at_end || signs_here); ++step) {
    const int kind = order[step];
    bool bar_at_layer0[MAX_PSTAVES + 1] = {};
    // A bar line a voice's chord on a lower staff carries for the voice's own staff, which has
    // no chord here to carry it.
    Drosa carried[MAX_PSTAVES][2] = {};
    const int kind_index = int(std::find(START_ORDER, START_ORDER + 5, kind) - START_ORDER);
    for (int p = last_pstaff; p >= first_pstaff; --p) {
      if (!staff_takes(kind, p, mode)) continue;
      unsigned layers = at_end ? last_layers[p] : layers_with[p][kind_index];
      if (kind == BAR && carried[p][0]) layers |= 1u << (LAYERS - 1);
      bool drawn = false;
      for (; layers; layers &= layers - 1) {
        const int layer = std::countr_zero(layers);
        Drosa node = NIL, owner = NIL;
        if (at_end) {
          owner = last_notes[p][layer];
          if (owner) node = voice_scan_helper_among(kind, end_voices[p][layer]);
          if (owner && !node && kind == BAR && layer == 0) node = end_bar_of_voice(owner);
        } else if ((owner = due[p][layer].note) && (due[p][layer].kinds & kind_bit(kind))) {
          node = search_staff_chord(kind, owner, NIL, due[p][layer].voice);
        } else if (kind == BAR && layer == LAYERS - 1 && !drawn && carried[p][0]) {
          node = carried[p][0], owner = carried[p][1];
          draw_bar(node, owner, p, 0, p < last_pstaff && bar_at_layer0[p + 1]);
          bar_at_layer0[p] = true;
          continue;
        }
        if (!node || effective_kind(node) != kind) continue;
        switch (kind) {
          case CLEF:
            draw_clef(node, owner, p, layer, mode);
            break;
          case KEYSIG:
            measure_begins_after(p, layer, mode,
                                 draw_keysig_glyphs(p, node, owner, node->get(xkeyx)));
            break;
          case TIMESIG:
            draw_timesig(node, owner, p, layer, mode);
            break;
          case BAR: {
            draw_bar(node, owner, p, layer, p < last_pstaff && bar_at_layer0[p + 1]);
            if (layer == 0) bar_at_layer0[p] = true;
            drawn = true;
            int home = p;
            if (Drosa bar = at_end ? NIL : bar_of_other_staff(owner, &home);
                bar && home >= first_pstaff && home < p)
              carried[home][0] = bar, carried[home][1] = owner;
            break;
          }
          default:  // SPACE: nothing to draw
            break;
        }
      }
    }
  }
  if (mode == SPECPLOT_SYSTEM_START) {
    draw_bar_number();
    count_system_bars();
    if (first_pstaff == 0) draw_page_title();
  }
}
