// layout_dialog.cpp: the Layout dialog: page size, margins, the minimum line width and the zoom
// of the notation contexts the user picks, with two settings of the program (PostScript lines)
// and whether the console window shows.
//
// The dialog works on options record 0, which no context uses, as a scratch copy of the current
// context's record: every value is read and checked there first, and only when all of them are
// good do the chosen contexts, the preferences and the window take them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/app_services.h"
#include "console/console_services.h"
#include "editing/editing_services.h"
#include "editing/selection.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int SCRATCH = 0;  // options record 0: the copy the dialog edits

constexpr int LAYOUT_DIALOG = 27239;
constexpr int PAGE_X = 25, PAGE_Y = 27, LINE_WIDTH = 29, POSTSCRIPT_LINES = 30;
constexpr int ZOOM_PERCENT = 40, ZOOM_TYPED = 42, THINNEST_LINE = 38;
constexpr int ZOOM_FLAG = 44, CONSOLE_SHOWN = 45, CENTIMETRES = 46, INCHES = 47;
constexpr double CENTIMETRE = 100.0 / 25.4;  // tenths of an inch in a centimetre

// The zoom radios and the divisors they stand for (10 is 100 percent; 0 fits the page).
struct ZoomRadio {
  int item;
  float divisor;
};
constexpr ZoomRadio ZOOM_RADIOS[7] = {{31, 80.0f / 3.0f}, {32, 0.0f},  {33, 2.5f},
                                      {34, 5.0f},         {35, 10.0f}, {36, 40.0f / 3.0f},
                                      {41, 20.0f / 3.0f}};

// The margins in the order they are read: the field, the record's offset, the name the range
// message gives and which limit applies.
enum Limit { FROM_HEIGHT, BELOW_TOP, BELOW_TOP_FIRST, FROM_WIDTH, RIGHT_OF_LEFT };
struct Margin {
  int item, offset;
  const char* name;
  Limit limit;
};
constexpr Margin MARGINS[10] = {
    {17, 50, "Points above top staff", FROM_HEIGHT},
    {19, 54, "Points above top staff on first page", FROM_HEIGHT},
    {21, 58, "Points below bottom staff", BELOW_TOP},
    {23, 62, "Points below bottom staff on first page", BELOW_TOP_FIRST},
    {5, 22, "Points to left of staff lines on odd pages", FROM_WIDTH},
    {7, 88, "Points to left of staff lines on even pages", FROM_WIDTH},
    {9, 26, "Points to left of first staff lines", FROM_WIDTH},
    {11, 30, "Points to right of staff lines on odd pages", RIGHT_OF_LEFT},
    {13, 92, "Points to right of staff lines on even pages", RIGHT_OF_LEFT},
    {15, 34, "Points to right of last staff lines", RIGHT_OF_LEFT},
};

// The unit of the page-size fields, kept between uses of the dialog: inches at start.
bool page_in_centimetres = false;

int32_t round_away(double x) { return int32_t(x < 0 ? x - 0.5 : x + 0.5); }

double unit_factor() { return page_in_centimetres ? CENTIMETRE : 10.0; }

void show_page_size(DialogRef dialog) {
  set_double_item(dialog, PAGE_X, options_i32(SCRATCH, OPTIONS_PAGE_WIDTH) / unit_factor());
  set_double_item(dialog, PAGE_Y, options_i32(SCRATCH, OPTIONS_PAGE_HEIGHT) / unit_factor());
  platform_set_item_value(dialog, CENTIMETRES, page_in_centimetres);
  platform_set_item_value(dialog, INCHES, !page_in_centimetres);
}

// The percentage field: the divisor's percentage with one decimal; empty for divisor 0.
void show_percent(DialogRef dialog, float divisor) {
  if (divisor <= 0) {
    platform_set_item_text(dialog, ZOOM_PERCENT, "");
    return;
  }
  set_double_item(dialog, ZOOM_PERCENT, double(int32_t(10000.0 / divisor + 0.5)) / 10.0);
}

void set_zoom_radio(DialogRef dialog, int item) {
  for (const ZoomRadio& r : ZOOM_RADIOS) platform_set_item_value(dialog, r.item, r.item == item);
  platform_set_item_value(dialog, ZOOM_TYPED, item == ZOOM_TYPED);
}

int zoom_radio_of(float divisor) {
  for (const ZoomRadio& r : ZOOM_RADIOS)
    if (std::fabs(r.divisor - divisor) < 0.001f) return r.item;
  return ZOOM_TYPED;
}

// What the fields say, read into record 0 in order; false (the range message shown and the
// field selected) at the first value out of range. The page size, zoom and flag go to *out.
struct LayoutValues {
  int32_t width = 0, height = 0;
  float divisor = 0;
  int flag = 0, thinnest = 0;
};

bool read_fields(DialogRef dialog, float shown_divisor, const std::string& shown_percent,
                 LayoutValues* out) {
  auto refuse = [&](int item) {
    platform_select_item_text(dialog, item, 0, 32767);
    return false;
  };
  const double x = get_double_item(dialog, PAGE_X, "page size in X", 1.5, 4000, nullptr);
  if (x == BAD_DOUBLE_ITEM) return refuse(PAGE_X);
  const double y = get_double_item(dialog, PAGE_Y, "page size in Y", 1.5, 4000, nullptr);
  if (y == BAD_DOUBLE_ITEM) return refuse(PAGE_Y);
  out->width = round_away(x * unit_factor());
  out->height = round_away(y * unit_factor());
  out->divisor = shown_divisor;
  for (const ZoomRadio& r : ZOOM_RADIOS)
    if (platform_item_value(dialog, r.item)) out->divisor = r.divisor;
  if (platform_item_value(dialog, ZOOM_TYPED) &&
      platform_item_text(dialog, ZOOM_PERCENT) != shown_percent) {
    // A percentage from 1 to 1000: the divisor stays within what the window can show.
    const double percent = get_double_item(dialog, ZOOM_PERCENT, "Zoom Percent", 1, 1000, nullptr);
    if (percent == BAD_DOUBLE_ITEM) return refuse(ZOOM_PERCENT);
    out->divisor = float(1000.0 / percent);
  }
  out->flag = platform_item_value(dialog, ZOOM_FLAG);
  // The page in points, from the size just read.
  const int32_t w = int32_t(out->width / 10.0 * 72), h = int32_t(out->height / 10.0 * 72);
  int32_t largest_left = 0;
  for (const Margin& m : MARGINS) {
    double high = 0;
    switch (m.limit) {
      case FROM_HEIGHT:
        high = h - 30;
        break;
      case BELOW_TOP:
        high = h - 30 - options_i32(SCRATCH, 50) / 10.0;
        break;
      case BELOW_TOP_FIRST:
        high = h - 30 - options_i32(SCRATCH, 54) / 10.0;
        break;
      case FROM_WIDTH:
        high = w - 20;
        break;
      case RIGHT_OF_LEFT:
        high = w - 20 - largest_left / 10.0;
        break;
    }
    if (high < 1) high = 1;
    const double v = get_double_item(dialog, m.item, m.name, 1, high, nullptr);
    if (v == BAD_DOUBLE_ITEM) return refuse(m.item);
    set_options_i32(SCRATCH, m.offset, round_away(v * 10));
    if (m.limit == FROM_WIDTH)
      largest_left = std::max(largest_left, options_i32(SCRATCH, m.offset));
  }
  const double line =
      get_double_item(dialog, LINE_WIDTH, "Minimum default line width", 0, 1.4, nullptr);
  if (line == BAD_DOUBLE_ITEM) return refuse(LINE_WIDTH);
  set_options_i16(SCRATCH, OPTIONS_MIN_LINE_WIDTH, int16_t(round_away(line * 10)));
  out->thinnest = get_long_item(dialog, THINNEST_LINE, "Thinnest PostScript line", 1, 9);
  if (out->thinnest == BAD_LONG_ITEM) return refuse(THINNEST_LINE);
  return true;
}

// Copies the layout fields of record 0 into a context; true when any changed.
bool store_layout(int c, const LayoutValues& v) {
  uint8_t before[OPTIONS_SIZE];
  std::memcpy(before, options_struct[c], OPTIONS_SIZE);
  set_options_i32(c, OPTIONS_PAGE_WIDTH, v.width);
  set_options_i32(c, OPTIONS_PAGE_HEIGHT, v.height);
  set_options_float(c, OPTIONS_SCALE, v.divisor);
  options_struct[c][OPTIONS_DISPLAY] = uint8_t(v.flag);
  set_options_i16(c, OPTIONS_MIN_LINE_WIDTH, options_i16(SCRATCH, OPTIONS_MIN_LINE_WIDTH));
  for (const Margin& m : MARGINS) set_options_i32(c, m.offset, options_i32(SCRATCH, m.offset));
  return std::memcmp(before, options_struct[c], OPTIONS_SIZE) != 0;
}

}  // namespace

int layout_dialog() {
  const float opened_divisor = zoom_factor;
  const uint8_t opened_dirty = DrosaDirty;
  const int context = current_ncontext > 0 ? current_ncontext : 1;
  const int32_t opened_width = options_i32(context, OPTIONS_PAGE_WIDTH);
  const int32_t opened_height = options_i32(context, OPTIONS_PAGE_HEIGHT);
  save_cursor();
  set_cursor(CURSOR_ID_ARROW);
  uint8_t chosen[MAX_NCONTEXTS + 1] = {};
  if (!choose_contexts_dialog("Change Layout for Which Contexts?", nullptr, chosen)) {
    restore_cursor();
    return 0;
  }
  std::memcpy(options_struct[0], options_struct[context], OPTIONS_SIZE);
  const int32_t percent_used = memory_use_percent(nullptr);
  char memory[64] = "";
  if (percent_used > 1)
    std::snprintf(memory, sizeof memory, "Memory usage is %hd%%", short(percent_used));
  platform_set_param_texts(memory, "", "", "");
  DialogRef dialog = platform_open_dialog(LAYOUT_DIALOG, true);
  if (!dialog) {
    restore_cursor();
    REPORT_ERROR(4, "Dialog %d cannot be opened", LAYOUT_DIALOG);
    return 0;
  }
  show_page_size(dialog);
  for (const Margin& m : MARGINS)
    set_double_item(dialog, m.item, options_i32(SCRATCH, m.offset) / 10.0);
  set_double_item(dialog, LINE_WIDTH, options_i16(SCRATCH, OPTIONS_MIN_LINE_WIDTH) / 10.0);
  platform_set_item_value(dialog, POSTSCRIPT_LINES, (prefs.u16(PREFS_ZOOM_WORD) & 3) != 0);
  set_long_item(dialog, THINNEST_LINE, prefs.u8(PREFS_MIN_LINE_WIDTH));
  const bool has_console = console_ref != nullptr;
  platform_set_item_value(dialog, CONSOLE_SHOWN, has_console && console_shown(console_ref));
  platform_set_item_value(dialog, ZOOM_FLAG, options_struct[context][OPTIONS_DISPLAY] != 0);
  show_percent(dialog, zoom_factor);
  const std::string shown_percent = platform_item_text(dialog, ZOOM_PERCENT);
  set_zoom_radio(dialog, zoom_radio_of(zoom_factor));
  platform_select_item_text(dialog, ZOOM_PERCENT, 0, 32767);
  draw_dialog_frame(dialog, nullptr, nullptr);

  LayoutValues values;
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == 2) {
      close_dialog_in_front(dialog);
      return 0;
    }
    if (item == 1) {
      if (read_fields(dialog, opened_divisor, shown_percent, &values)) break;
      continue;
    }
    if (item == ZOOM_TYPED || item == ZOOM_PERCENT) {
      set_zoom_radio(dialog, ZOOM_TYPED);
    } else if (zoom_radio_of(-1) != item && item >= 31 && item <= 41 && item != 37 && item != 38 &&
               item != 39 && item != 40) {
      set_zoom_radio(dialog, item);
    } else if (item == CENTIMETRES || item == INCHES) {
      // The size typed so far is kept in the new unit when it reads as a number.
      const double x = get_double_item(dialog, PAGE_X, nullptr, 0, 1e9, nullptr);
      const double y = get_double_item(dialog, PAGE_Y, nullptr, 0, 1e9, nullptr);
      if (x != BAD_DOUBLE_ITEM)
        set_options_i32(SCRATCH, OPTIONS_PAGE_WIDTH, round_away(x * unit_factor()));
      if (y != BAD_DOUBLE_ITEM)
        set_options_i32(SCRATCH, OPTIONS_PAGE_HEIGHT, round_away(y * unit_factor()));
      page_in_centimetres = item == CENTIMETRES;
      show_page_size(dialog);
    } else if (item == POSTSCRIPT_LINES || item == ZOOM_FLAG ||
               (item == CONSOLE_SHOWN && has_console)) {
      platform_set_item_value(dialog, item, !platform_item_value(dialog, item));
    }
  }

  // Every value is good: the program's settings, then the chosen contexts.
  if (has_console) {
    const bool show = platform_item_value(dialog, CONSOLE_SHOWN) != 0;
    if (show != console_shown(console_ref)) {
      if (show)
        console_show(console_ref);
      else
        console_hide(console_ref);
    }
  }
  const uint16_t word = prefs.u16(PREFS_ZOOM_WORD);
  prefs.set_u16(PREFS_ZOOM_WORD,
                uint16_t((word & ~3u) | (platform_item_value(dialog, POSTSCRIPT_LINES) ? 3 : 0)));
  prefs.set_u8(PREFS_MIN_LINE_WIDTH, uint8_t(values.thinnest));
  bool changed = false;
  for (int c = 1; c <= ncontext_count; ++c)
    if (chosen[c]) changed |= store_layout(c, values);
  if (changed) DrosaDirty |= DIRTY_CHANGED;
  platform_close_dialog(dialog);
  const bool size_changed = values.width != opened_width || values.height != opened_height;
  if (size_changed || values.divisor != opened_divisor) {
    zoom_factor = values.divisor == 0 ? 0.0f : std::clamp(values.divisor, 1.0f, 1000.0f);
    if (!offscreen_changesize()) REPORT_ERROR(4, "%s", "Memory logic error in layout_dialog()");
    grow_music_window(0, 0);  // the window takes the size the page needs, within the screen
    make_cursor_visible();
  }
  restore_cursor();
  invalidate_music_area(1);
  if (current_view_index >= 0 && options_i16(1, OPTIONS_PUBLISHED)) DrosaDirty = opened_dirty;
  mark_views_changed(1, 2, 0);
  return 1;
}
