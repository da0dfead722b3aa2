// symbol_dialogs.cpp: the Clef, Bar Line, Time Signature and System Bracket dialogs, with the
// samples their filters draw above the clef and bar line buttons and beside the time
// signature's numbers.
//
// Each dialog edits a template node (or, for the bracket, two numbers) and the scope of
// symbol_edit_state. Every typed number is checked when OK is pressed, before anything is
// stored: a bad one is named in a message and the dialog stays open.
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/app_services.h"
#include "editing/editing_globals.h"
#include "editing/symbol_commands.h"
#include "editing/symbols.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/port.h"

namespace {

constexpr int CLEF_DIALOG = 20815, BAR_DIALOG = 29854, TSIG_DIALOG = 7801, BRACKET_DIALOG = 8992;
constexpr int SCORE_CONTEXT = 1;

void check(DialogRef dialog, int item, bool on) {
  platform_set_item_value(dialog, item, on ? 1 : 0);
}
bool checked(DialogRef dialog, int item) { return platform_item_value(dialog, item) != 0; }

void radio_group(DialogRef dialog, int first, int last, int on) {
  for (int item = first; item <= last; ++item) check(dialog, item, item == on);
}
int radio_on(DialogRef dialog, int first, int last) {
  for (int item = first; item <= last; ++item)
    if (checked(dialog, item)) return item;
  return first;
}

// Opens a symbol dialog with the arrow cursor and the selected voice's name as ^0.
DialogRef open_symbol_dialog(int id) {
  const std::string voice =
      "'" + std::string(selected_voice >= 0 ? voice_display_name(selected_voice) : "") + "':";
  platform_set_param_texts(voice, "", "", "");
  return open_dialog_in_front(id);
}

// The dialog whose samples the current filter draws (draw_dialog_frame's extra drawing takes
// no argument).
DialogRef drawing_dialog = nullptr;

// Draws the music character of a parameter with its reference point at (x, y) of the port.
void glyph_at(int pindex, int x, int y) {
  move_to(x, y);
  pDrawChar(pindex, NIL, nullptr, DRAW_CHAR_UNZOOMED);
}

void staff_lines(int left, int right, int top) {
  pen_normal();
  for (int line = 0; line < 5; ++line) {
    move_to(left, top + 5 * line);
    line_to(right, top + 5 * line);
  }
}

void reset_text() {
  text_font(0);
  text_face(0);
  text_size(0);
}

// ---- Clef -------------------------------------------------------------------------------------

constexpr int CLEF_HIDE = 8, CLEF_FIRST = 9, CLEF_LAST = 20, CLEF_PROPAGATE = 22, CLEF_KEEP = 23;
// The clef code of each button, and the glyph drawn above it.
constexpr int CLEF_CODES[12] = {0, 1, 2, 4, 10, 3, 11, 6, 5, 7, 8, 9};
constexpr int CLEF_SAMPLES[12] = {P_TREBLE_CLEF_AT_START_OF_STAFF,
                                  P_BASS_CLEF_AT_START_OF_STAFF,
                                  P_ALTO_CLEF_AT_START_OF_STAFF,
                                  P_SOPRANO_CLEF_AT_START_OF_STAFF,
                                  P_MEZZO_SOPRANO_CLEF_AT_START_OF_STAFF,
                                  P_TENOR_CLEF_AT_START_OF_STAFF,
                                  P_BARITONE_C_CLEF_AT_START_OF_STAFF,
                                  P_BARITONE_CLEF_AT_START_OF_STAFF,
                                  P_OCTAVE_DOWN_TREBLE_CLEF_AT_START_OF_STAFF,
                                  P_SINGLE_BAR_PERCUSSION_CLEF_AT_START_OF_STAFF,
                                  P_DUAL_BAR_PERCUSSION_CLEF_AT_START_OF_STAFF,
                                  P_CYMBAL_CLEF_AT_START_OF_STAFF};
constexpr int CLEF_ROW_TOP = 72;

void draw_clef_samples() {
  DialogRef dialog = drawing_dialog;
  const Rect first = platform_item_rect(dialog, CLEF_FIRST);
  staff_lines(first.left, platform_item_rect(dialog, CLEF_LAST).right + 2, first.top - 38);
  for (int k = 0; k < 12; ++k)
    glyph_at(CLEF_SAMPLES[k], platform_item_rect(dialog, CLEF_FIRST + k).left + 1, first.top - 27);
  reset_text();
}

bool clef_filter(DialogRef dialog, EventRecord* event, int*) {
  if (event->what == EVENT_UPDATE && event->window == platform_dialog_window(dialog)) {
    drawing_dialog = dialog;
    draw_dialog_frame(dialog, draw_clef_samples, nullptr);
  }
  return false;
}

// ---- Bar line -------------------------------------------------------------------------------

constexpr int BAR_FIRST = 8, BAR_LAST = 21, BAR_DASHED = 20, BAR_CHANT = 21;
constexpr int BAR_APART = 22, BAR_JOINED = 23, BAR_UNDRAWN = 24;
constexpr int BAR_LATER_JOINING = 25, BAR_LATER_STYLE = 26, BAR_NUMBERED = 27;
constexpr int BAR_NOT_COUNTED = 28, BAR_EXPLICIT = 29, BAR_NUMBER = 30;
constexpr int BAR_PLAYBACK = 31, BAR_FIRST_ENDING = 32, BAR_ENDING_RETURN = 33, BAR_GO_TO = 34;
constexpr int BAR_GO_TO_NUMBER = 35, BAR_TIME_THROUGH = 37;

// The style of each button: xdouble, xrepeat_end, xrepeat_start, xbarthick.
struct BarStyle {
  uint8_t style, dots_before, dots_after, wings;
};
constexpr BarStyle BAR_STYLES[14] = {
    {0, 0, 0, 0}, {1, 0, 0, 0}, {1, 0, 1, 0}, {1, 1, 0, 0}, {1, 1, 1, 0},
    {3, 0, 0, 0}, {2, 0, 0, 0}, {3, 0, 1, 0}, {2, 1, 0, 0}, {1, 0, 1, 1},
    {1, 1, 0, 1}, {1, 1, 1, 1}, {0, 0, 0, 0}, {0, 0, 0, 0},
};

int bar_style_item(Drosa bar) {
  if (bar->get(xbar_dashed)) return BAR_DASHED;
  if (bar->get(xbar_chant)) return BAR_CHANT;
  for (int k = 0; k < 12; ++k) {
    const BarStyle& s = BAR_STYLES[k];
    if (bar->get(xdouble) == s.style && bar->get(xrepeat_end) == s.dots_before &&
        bar->get(xrepeat_start) == s.dots_after && bar->get(xbarthick) == s.wings)
      return BAR_FIRST + k;
  }
  return BAR_FIRST;
}

void enable_jump_choices(DialogRef dialog) {
  const bool on = checked(dialog, BAR_PLAYBACK);
  for (int item = BAR_FIRST_ENDING; item <= BAR_GO_TO; ++item) enable_item(dialog, item, on);
}

void fill_bar_dialog(DialogRef dialog, Drosa bar, int barsep) {
  radio_group(dialog, BAR_FIRST, BAR_LAST, bar_style_item(bar));
  const bool undrawn = bar->get(xbar_invisible) != 0;
  radio_group(dialog, BAR_APART, BAR_UNDRAWN,
              barsep && !undrawn   ? BAR_APART
              : !barsep && undrawn ? BAR_UNDRAWN
              : !barsep            ? BAR_JOINED
                                   : BAR_APART);
  check(dialog, BAR_LATER_JOINING, false);
  check(dialog, BAR_LATER_STYLE, false);
  check(dialog, BAR_NUMBERED, !bar->get(xbar_no_number));
  check(dialog, BAR_NOT_COUNTED, bar->get(xunnumbered) != 0);
  check(dialog, BAR_EXPLICIT, bar->get(xrestart_number) != 0);
  const bool score = current_ncontext == SCORE_CONTEXT;
  enable_item(dialog, BAR_NOT_COUNTED, score);
  enable_item(dialog, BAR_EXPLICIT, score);
  set_long_item(dialog, BAR_NUMBER, bar->get(xbarnumber));
  platform_select_item_text(dialog, BAR_NUMBER, 0, 32767);
  const int jump = bar->get(xrepeat_code);
  check(dialog, BAR_PLAYBACK, jump != 0);
  radio_group(dialog, BAR_FIRST_ENDING, BAR_GO_TO,
              jump == 2   ? BAR_ENDING_RETURN
              : jump >= 3 ? BAR_GO_TO
                          : BAR_FIRST_ENDING);
  platform_set_item_text(dialog, BAR_TIME_THROUGH, jump == 3 ? "1st" : jump == 5 ? "3rd" : "2nd");
  set_long_item(dialog, BAR_GO_TO_NUMBER, bar->get(xrepeat_target));
  enable_jump_choices(dialog);
}

// OK: every field checked first, then the bar and the options written; false to stay.
bool read_bar_dialog(DialogRef dialog, Drosa bar, int32_t* barsep_flag, int32_t* propagate) {
  const bool score = current_ncontext == SCORE_CONTEXT;
  int32_t number = bar->get(xbarnumber);
  if (score && checked(dialog, BAR_EXPLICIT)) {
    number = get_long_item(dialog, BAR_NUMBER, "bar number", -10000, 10000);
    if (number == BAD_LONG_ITEM) return false;
  }
  int jump = 0;
  int32_t target = bar->get(xrepeat_target);
  if (checked(dialog, BAR_PLAYBACK)) {
    const int choice = radio_on(dialog, BAR_FIRST_ENDING, BAR_GO_TO);
    jump = choice == BAR_FIRST_ENDING ? 1 : choice == BAR_ENDING_RETURN ? 2 : 0;
    if (choice == BAR_GO_TO) {
      target = get_long_item(dialog, BAR_GO_TO_NUMBER, "go to bar number", -10000, 10000);
      if (target == BAD_LONG_ITEM) return false;
      const std::string times = platform_item_text(dialog, BAR_TIME_THROUGH);
      const char first = times.empty() ? 0 : times[0];
      if (first < '1' || first > '3') {
        REPORT_ERROR(2, "You must type 1st, 2nd, or 3rd for the Time Through");
        platform_select_item_text(dialog, BAR_TIME_THROUGH, 0, 32767);
        return false;
      }
      jump = 3 + (first - '1');
    }
  }
  const int style = radio_on(dialog, BAR_FIRST, BAR_LAST);
  const BarStyle& s = BAR_STYLES[style - BAR_FIRST];
  bar->set(xdouble, s.style);
  bar->set(xrepeat_end, s.dots_before);
  bar->set(xrepeat_start, s.dots_after);
  bar->set(xbarthick, s.wings);
  bar->set(xbar_dashed, style == BAR_DASHED ? 1 : 0);
  bar->set(xbar_chant, style == BAR_CHANT ? 1 : 0);
  *barsep_flag = checked(dialog, BAR_APART) ? 1 : 0;
  bar->set(xbar_invisible, checked(dialog, BAR_UNDRAWN) ? 1 : 0);
  *propagate =
      (checked(dialog, BAR_LATER_JOINING) ? 1 : 0) | (checked(dialog, BAR_LATER_STYLE) ? 2 : 0);
  bar->set(xbar_no_number, checked(dialog, BAR_NUMBERED) ? 0 : 1);
  if (score) {
    bar->set(xunnumbered, checked(dialog, BAR_NOT_COUNTED) ? 1 : 0);
    bar->set(xrestart_number, checked(dialog, BAR_EXPLICIT) ? 1 : 0);
    bar->set(xbarnumber, int16_t(number));
  }
  bar->set(xrepeat_code, uint8_t(jump));
  bar->set(xrepeat_target, int16_t(target));
  return true;
}

void draw_bar_samples_now() { draw_bar_line_samples(drawing_dialog); }

bool bar_filter(DialogRef dialog, EventRecord* event, int*) {
  if (event->what == EVENT_UPDATE && event->window == platform_dialog_window(dialog)) {
    drawing_dialog = dialog;
    draw_dialog_frame(dialog, draw_bar_samples_now, nullptr);
  }
  enable_jump_choices(dialog);
  return false;
}

// A vertical line one pixel wide, from y1 to y2.
void vline(int x, int y1, int y2) {
  move_to(x, y1);
  line_to(x, y2);
}

// ---- Time signature -----------------------------------------------------------------------

constexpr int TSIG_BEATS = 8, TSIG_BEAT = 9, TSIG_NUMBERS = 10, TSIG_CUT = 11, TSIG_COMMON = 12;
constexpr int TSIG_FLAG = 14;

struct TsigView {
  Drosa tsig;
  std::string beats_text, beat_text;
};
TsigView tsig_view;

void draw_time_number(int number, int left, int y, int width) {
  const std::string digits = std::to_string(std::clamp(number, 0, 99));
  int x = digits.size() == 1 ? left + width / 2 : left;
  for (char c : digits) {
    glyph_at(P_0_FOR_TIME_SIGNATURES + (c - '0'), x, y);
    x += width;
  }
}

void draw_tsig_sample() {
  DialogRef dialog = drawing_dialog;
  Drosa tsig = tsig_view.tsig;
  if (!dialog || !tsig) return;
  const Rect field = platform_item_rect(dialog, TSIG_BEATS);
  const Rect area{field.right + 24, field.top, field.right + 104, field.top + 44};
  erase_rect(area);
  const int top = area.top + 12, middle = top + 10;
  staff_lines(area.left, area.right, top);
  const int style = tsig->get(xtimesig_symbol);
  if (style == 1 || style == 2) {
    glyph_at(style == 1 ? P_CUT_TIME : P_COMMON_TIME, area.left + 20, middle);
  } else {
    const int width = param_length(P_SPACE_GIVEN_FOR_TIME_SIGNATURE_WIDTH, NIL, nullptr) / 10;
    const int upper =
        middle - param_length(P_Y_OFFSET_FROM_STAFF_LINE_TO_TIME_SIGNATURE, NIL, nullptr) / 10;
    draw_time_number(tsig->get(xbpm), area.left + 20, upper, width);
    draw_time_number(tsig->get(xbeat), area.left + 20, upper + 10, width);
  }
  reset_text();
}

void redraw_tsig_sample(DialogRef dialog) {
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  drawing_dialog = dialog;
  draw_tsig_sample();
  platform_set_port(saved);
}

void show_tsig_numbers(DialogRef dialog, Drosa tsig) {
  set_long_item(dialog, TSIG_BEATS, tsig->get(xbpm));
  set_long_item(dialog, TSIG_BEAT, tsig->get(xbeat));
  tsig_view.beats_text = platform_item_text(dialog, TSIG_BEATS);
  tsig_view.beat_text = platform_item_text(dialog, TSIG_BEAT);
}

// The numbers as typed, read silently: both valid (0 to 99) become the node's, in numbers.
void take_typed_numbers(DialogRef dialog, Drosa tsig) {
  const int32_t beats = get_long_item(dialog, TSIG_BEATS, nullptr, 0, 99);
  const int32_t beat = get_long_item(dialog, TSIG_BEAT, nullptr, 0, 99);
  tsig_view.beats_text = platform_item_text(dialog, TSIG_BEATS);
  tsig_view.beat_text = platform_item_text(dialog, TSIG_BEAT);
  if (beats == BAD_LONG_ITEM || beat == BAD_LONG_ITEM) return;
  tsig->set(xbpm, int16_t(beats));
  tsig->set(xbeat, int16_t(beat));
  tsig->set(xtimesig_symbol, 0);
  radio_group(dialog, TSIG_NUMBERS, TSIG_COMMON, TSIG_NUMBERS);
}

bool tsig_filter(DialogRef dialog, EventRecord* event, int*) {
  if (event->what == EVENT_UPDATE && event->window == platform_dialog_window(dialog)) {
    drawing_dialog = dialog;
    draw_dialog_frame(dialog, draw_tsig_sample, nullptr);
    return false;
  }
  if (event->what == EVENT_NULL &&
      (platform_item_text(dialog, TSIG_BEATS) != tsig_view.beats_text ||
       platform_item_text(dialog, TSIG_BEAT) != tsig_view.beat_text)) {
    take_typed_numbers(dialog, tsig_view.tsig);
    redraw_tsig_sample(dialog);
  }
  return false;
}

// OK: beats 1 to 99 and a beat value of a whole note or a power of two of it; false to stay.
bool read_tsig_dialog(DialogRef dialog, Drosa tsig) {
  const int32_t beats = get_long_item(dialog, TSIG_BEATS, "number of beats", 1, 99);
  if (beats == BAD_LONG_ITEM) {
    platform_select_item_text(dialog, TSIG_BEATS, 0, 32767);
    return false;
  }
  const int32_t beat = get_long_item(dialog, TSIG_BEAT, "beat value", 1, 64);
  if (beat == BAD_LONG_ITEM) {
    platform_select_item_text(dialog, TSIG_BEAT, 0, 32767);
    return false;
  }
  if ((beat & (beat - 1)) != 0) {
    REPORT_ERROR(2, "Illegal beat value; please use 1, 2, 4, 8, 16, 32 or 64.");
    platform_select_item_text(dialog, TSIG_BEAT, 0, 32767);
    return false;
  }
  const int style = tsig->get(xtimesig_symbol);
  tsig->set(xbpm, int16_t(beats));
  tsig->set(xbeat, int16_t(beat));
  // A symbol stands only for the numbers it means.
  if ((style == 1 && !(beats == 2 && beat == 2)) || (style == 2 && !(beats == 4 && beat == 4)))
    tsig->set(xtimesig_symbol, 0);
  tsig->set(xtimesig_flag, checked(dialog, TSIG_FLAG) ? 1 : 0);
  return true;
}

// ---- System bracket -------------------------------------------------------------------------

constexpr int BRACKET_ENDS = 8, BRACKET_GOES_ON = 9, BRACKET_NONE = 10, BRACKET_ALL_LATER = 11;
constexpr int BRACKET_BRACE = 12;

}  // namespace

// ---- Clef -------------------------------------------------------------------------------------

int clef_dialog(Drosa clef, int32_t* all_staves, int32_t* at_insertion_point, int32_t* propagate,
                int32_t* clef_keep_position, int delete_here, int delete_at_end) {
  DialogRef dialog = open_symbol_dialog(CLEF_DIALOG);
  if (!dialog) return 0;
  init_scope_buttons(dialog, 0, all_staves, at_insertion_point, delete_here, 0);
  int chosen = CLEF_FIRST;
  for (int k = 0; k < 12; ++k) {
    move_dialog_control(dialog, CLEF_FIRST + k, 11 + k * 95 / 3, CLEF_ROW_TOP);
    if (CLEF_CODES[k] == clef->get(xclef)) chosen = CLEF_FIRST + k;
  }
  radio_group(dialog, CLEF_FIRST, CLEF_LAST, chosen);
  check(dialog, CLEF_HIDE, clef->get(xclefhide) != 0);
  check(dialog, CLEF_PROPAGATE, false);
  check(dialog, CLEF_KEEP, false);
  for (;;) {
    const int item = platform_modal_dialog(dialog, clef_filter);
    if (scope_button_hit(dialog, item, all_staves, at_insertion_point, delete_here,
                         delete_at_end)) {
      if (item == SYMBOL_CANCEL) return 0;
      if (item == SYMBOL_DELETE) {
        clef->set(xclef, CLEF_DELETED);
        return 1;
      }
      if (item != SYMBOL_OK) continue;
      clef->set(xclef, uint8_t(CLEF_CODES[radio_on(dialog, CLEF_FIRST, CLEF_LAST) - CLEF_FIRST]));
      clef->set(xclefhide, checked(dialog, CLEF_HIDE) ? 1 : 0);
      *propagate = checked(dialog, CLEF_PROPAGATE) ? 1 : 0;
      *clef_keep_position = checked(dialog, CLEF_KEEP) ? 1 : 0;
      close_dialog_in_front(dialog);
      return 1;
    }
    if (item >= CLEF_FIRST && item <= CLEF_LAST)
      radio_group(dialog, CLEF_FIRST, CLEF_LAST, item);
    else if (item == CLEF_HIDE || item == CLEF_PROPAGATE || item == CLEF_KEEP)
      check(dialog, item, !checked(dialog, item));
  }
}

// ---- Bar line -------------------------------------------------------------------------------

int barline_dialog(Drosa bar, int32_t* barsep_flag, int32_t* all_staves,
                   int32_t* at_insertion_point, int32_t* propagate, int delete_here,
                   int delete_at_end) {
  DialogRef dialog = open_symbol_dialog(BAR_DIALOG);
  if (!dialog) return 0;
  init_scope_buttons(dialog, 1, all_staves, at_insertion_point, delete_here, 0);
  fill_bar_dialog(dialog, bar, *barsep_flag);
  for (;;) {
    const int item = platform_modal_dialog(dialog, bar_filter);
    if (scope_button_hit(dialog, item, all_staves, at_insertion_point, delete_here,
                         delete_at_end)) {
      if (item == SYMBOL_CANCEL) return 0;
      if (item == SYMBOL_DELETE) {
        bar->set(xdouble, BAR_DELETED);
        return 1;
      }
      if (item == SYMBOL_OK && read_bar_dialog(dialog, bar, barsep_flag, propagate)) {
        close_dialog_in_front(dialog);
        return 1;
      }
      continue;
    }
    if (item >= BAR_FIRST && item <= BAR_LAST) {
      radio_group(dialog, BAR_FIRST, BAR_LAST, item);
      if (item == BAR_CHANT) radio_group(dialog, BAR_APART, BAR_UNDRAWN, BAR_APART);
    } else if (item >= BAR_APART && item <= BAR_UNDRAWN) {
      radio_group(dialog, BAR_APART, BAR_UNDRAWN, item);
    } else if (item >= BAR_FIRST_ENDING && item <= BAR_GO_TO) {
      radio_group(dialog, BAR_FIRST_ENDING, BAR_GO_TO, item);
    } else if (item >= BAR_LATER_JOINING && item <= BAR_EXPLICIT) {
      check(dialog, item, !checked(dialog, item));
    } else if (item == BAR_PLAYBACK) {
      check(dialog, item, !checked(dialog, item));
      enable_jump_choices(dialog);
    }
  }
}

int draw_bar_line_samples(DialogRef dialog) {
  if (!dialog) return 0;
  const int w = param_length(P_LENGTH_OF_WING_LINES_ON_REPEATS, NIL, nullptr) / 10;
  const int32_t gap = param_length(P_DISTANCE_BETWEEN_BAR_LINE_AND_REPEAT_DOTS, NIL, nullptr),
                width = param_length(P_SPACE_GIVEN_FOR_WIDTH_OF_REPEAT_DOTS, NIL, nullptr);
  const Rect first = platform_item_rect(dialog, BAR_FIRST);
  const int T = first.top;
  staff_lines(first.left, platform_item_rect(dialog, BAR_LAST).right, T - 32);
  auto dots_after = [&](int x) { glyph_at(P_REPEAT_DOTS, x + 1 + gap / 10, T - 21); };
  auto dots_before = [&](int x) { glyph_at(P_REPEAT_DOTS, x - (gap + width) / 10, T - 21); };
  auto thick = [&](int x) {
    vline(x, T - 32, T - 12);
    vline(x + 1, T - 32, T - 12);
  };
  for (int item = BAR_FIRST; item <= BAR_LAST; ++item) {
    const int L = platform_item_rect(dialog, item).left;
    pen_normal();
    switch (item) {
      case 8:
        vline(L + 8, T - 32, T - 12);
        break;
      case 13:
      case 15:
        thick(L + 6);
        vline(L + 9, T - 32, T - 12);
        if (item == 15) dots_after(L + 9);
        break;
      case 14:
      case 16:
        vline(L + 7, T - 32, T - 12);
        thick(L + 9);
        if (item == 16) dots_before(L + 7);
        break;
      case BAR_DASHED: {
        const int dash =
            std::max(1, param_value(P_DASH_LENGTH_FOR_DASHED_BAR_LINES, NIL, nullptr)->integer());
        const int space =
            std::max(1, param_value(P_GAP_LENGTH_FOR_DASHED_BAR_LINES, NIL, nullptr)->integer());
        for (int y = T - 32; y < T - 12; y += dash + space)
          vline(L + 8, y, std::min(y + dash - 1, T - 12));
        break;
      }
      case BAR_CHANT:
        pen_size(2, 1);
        vline(L + 7, T - 35, T - 27);
        pen_normal();
        break;
      default: {  // thin-thin, with dots and wings as the style says
        vline(L + 7, T - 32, T - 12);
        vline(L + 9, T - 32, T - 12);
        const BarStyle& s = BAR_STYLES[item - BAR_FIRST];
        if (s.dots_after) dots_after(L + 9);
        if (s.dots_before) dots_before(L + 7);
        if (s.wings && s.dots_after) {
          move_to(L + 7, T - 32);
          line_to(L + 7 + w, T - 32 - w);
          move_to(L + 7, T - 12);
          line_to(L + 7 + w, T - 12 + w);
        }
        if (s.wings && s.dots_before) {
          move_to(L + 9, T - 32);
          line_to(L + 9 - w, T - 32 - w);
          move_to(L + 9, T - 12);
          line_to(L + 9 - w, T - 12 + w);
        }
        break;
      }
    }
  }
  pen_normal();
  reset_text();
  return 0;
}

// ---- Time signature -----------------------------------------------------------------------

int tsig_dialog(Drosa tsig, int32_t* all_staves, int32_t* at_insertion_point, int delete_here,
                int delete_at_end) {
  DialogRef dialog = open_symbol_dialog(TSIG_DIALOG);
  if (!dialog) return 0;
  init_scope_buttons(dialog, 1, all_staves, at_insertion_point, delete_here, 0);
  if (tsig->get(xbpm) == 0 || tsig->get(xbeat) == 0) {
    tsig->set(xbpm, 4);
    tsig->set(xbeat, 4);
    tsig->set(xtimesig_symbol, 0);
    tsig->set(xtimesig_flag, 0);
  }
  tsig_view.tsig = tsig;
  show_tsig_numbers(dialog, tsig);
  platform_select_item_text(dialog, TSIG_BEATS, 0, 32767);
  radio_group(
      dialog, TSIG_NUMBERS, TSIG_COMMON,
      std::clamp<int>(TSIG_NUMBERS + tsig->get(xtimesig_symbol), TSIG_NUMBERS, TSIG_COMMON));
  check(dialog, TSIG_FLAG, tsig->get(xtimesig_flag) != 0);
  int result = -1;
  while (result < 0) {
    const int item = platform_modal_dialog(dialog, tsig_filter);
    if (scope_button_hit(dialog, item, all_staves, at_insertion_point, delete_here,
                         delete_at_end)) {
      if (item == SYMBOL_CANCEL) result = 0;
      if (item == SYMBOL_DELETE) {
        tsig->set(xbpm, TIMESIG_DELETED);
        result = 1;
      }
      if (item == SYMBOL_OK && read_tsig_dialog(dialog, tsig)) {
        close_dialog_in_front(dialog);
        result = 1;
      }
      continue;
    }
    switch (item) {
      case TSIG_BEATS:
      case TSIG_BEAT:
        take_typed_numbers(dialog, tsig);
        break;
      case TSIG_NUMBERS:
        tsig->set(xtimesig_symbol, 0);
        break;
      case TSIG_CUT:
        tsig->set(xbpm, 2);
        tsig->set(xbeat, 2);
        tsig->set(xtimesig_symbol, 1);
        break;
      case TSIG_COMMON:
        tsig->set(xbpm, 4);
        tsig->set(xbeat, 4);
        tsig->set(xtimesig_symbol, 2);
        break;
      case TSIG_FLAG:
        check(dialog, item, !checked(dialog, item));
        break;
      default:
        break;
    }
    if (item >= TSIG_NUMBERS && item <= TSIG_COMMON) {
      radio_group(dialog, TSIG_NUMBERS, TSIG_COMMON, item);
      show_tsig_numbers(dialog, tsig);
    }
    redraw_tsig_sample(dialog);
  }
  tsig_view = {};
  return result;
}

// ---- System bracket -------------------------------------------------------------------------

int bracket_dialog(int32_t* bracket_code, int32_t* brace_flag, int32_t* all_staves,
                   int32_t* bracket_all_later) {
  DialogRef dialog = open_symbol_dialog(BRACKET_DIALOG);
  if (!dialog) return 0;
  int32_t at_insertion_point = 1;
  init_scope_buttons(dialog, 0, all_staves, &at_insertion_point, 0, 0);
  const int code = *bracket_code & 0xFF;
  radio_group(dialog, BRACKET_ENDS, BRACKET_NONE,
              code == 1   ? BRACKET_ENDS
              : code == 0 ? BRACKET_GOES_ON
                          : BRACKET_NONE);
  check(dialog, BRACKET_ALL_LATER, false);
  check(dialog, BRACKET_BRACE, *brace_flag != 0);
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == SYMBOL_DELETE) {
      REPORT_ERROR(4, "Bad Delete item in bracket_dialog");
      close_dialog_in_front(dialog);
      return 0;
    }
    if (item == SYMBOL_OK && checked(dialog, BRACKET_BRACE) && *all_staves) {
      REPORT_ERROR(2,
                   "Do not select All Staves when you use Draw Brace Between This Staff and "
                   "Next.");
      continue;
    }
    if (scope_button_hit(dialog, item, all_staves, &at_insertion_point, 0, 0)) {
      if (item == SYMBOL_CANCEL) return 0;
      if (item != SYMBOL_OK) continue;
      const int chosen = radio_on(dialog, BRACKET_ENDS, BRACKET_NONE);
      *bracket_code = chosen == BRACKET_ENDS ? 1 : chosen == BRACKET_GOES_ON ? 0 : 2;
      *brace_flag = checked(dialog, BRACKET_BRACE) ? 1 : 0;
      *bracket_all_later = checked(dialog, BRACKET_ALL_LATER) ? 1 : 0;
      close_dialog_in_front(dialog);
      return 1;
    }
    if (item >= BRACKET_ENDS && item <= BRACKET_NONE)
      radio_group(dialog, BRACKET_ENDS, BRACKET_NONE, item);
    else if (item == BRACKET_ALL_LATER || item == BRACKET_BRACE)
      check(dialog, item, !checked(dialog, item));
  }
}
