// dialog_items.cpp: typed dialog item routines.
//
// Numbers are read without the C library's locale: the decimal point is always '.', and
// integers are read into 64 bits before their range is checked, so an entry that does not
// fit 32 bits is refused rather than wrapped.
#include "model/dialog_items.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "model/error_report.h"
#include "platform/port.h"

namespace {

constexpr int HIDE_OFFSET = 500;  // hidden items lie this far down
constexpr int HIDDEN_TOP = 499;   // an item whose top is below this is hidden
constexpr int POPUP_WIDTH = 220;

bool is_edit_kind(int kind) {
  return kind == ITEM_EDIT_TEXT || kind == (ITEM_EDIT_TEXT | ITEM_DISABLED);
}

// Reports an item that is not editable text; the caller goes on with it.
void check_edit_item(DialogRef dialog, int item) {
  if (!is_edit_kind(platform_item_kind(dialog, item)))
    REPORT_ERROR(4, "Expected item number %hd to be editable-text", short(item));
}

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Whether only blanks follow.
bool only_blanks(const char* p) {
  while (is_space(*p)) ++p;
  return *p == 0;
}

// Reads one integer the way a scan of "%ld" or "%lx" would, into 64 bits (saturating).
// Returns the position after it, or nullptr when there is none.
const char* scan_integer(const char* p, int base, int64_t* value) {
  while (is_space(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && std::isxdigit(uint8_t(p[2])))
    p += 2;
  uint64_t magnitude = 0;
  bool digits = false, overflow = false;
  for (;; ++p) {
    int d;
    if (*p >= '0' && *p <= '9')
      d = *p - '0';
    else if (base == 16 && std::isxdigit(uint8_t(*p)))
      d = std::tolower(uint8_t(*p)) - 'a' + 10;
    else
      break;
    digits = true;
    if (magnitude > (UINT64_MAX - uint64_t(d)) / uint64_t(base)) overflow = true;
    if (!overflow) magnitude = magnitude * base + d;
  }
  if (!digits) return nullptr;
  if (overflow || magnitude > uint64_t(INT64_MAX)) magnitude = uint64_t(INT64_MAX);
  *value = negative ? -int64_t(magnitude) : int64_t(magnitude);
  return p;
}

// How many of two integers separated by blanks the text holds (0, 1 or 2).
// Anything else after them, "3x" or "12.5", gives -1: the entry is no integer.
int scan_two_integers(const std::string& text, int base, int64_t* first) {
  int64_t second;
  const char* p = scan_integer(text.c_str(), base, first);
  if (!p) return 0;
  const char* after = scan_integer(p, base, &second);
  if (!only_blanks(after ? after : p)) return -1;
  return after ? 2 : 1;
}

// Reads one number the way a scan of "%lf" would.
const char* scan_double(const char* p, double* value) {
  while (is_space(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  const char* end = p + std::strlen(p);
  auto [after, error] = std::from_chars(p, end, *value, std::chars_format::general);
  if (error == std::errc::invalid_argument || after == p) return nullptr;
  if (error == std::errc::result_out_of_range) *value = HUGE_VAL;
  if (negative) *value = -*value;
  return after;
}

}  // namespace

ItemRef get_item_handle(DialogRef dialog, int item) { return {dialog, item}; }

Rect* get_item_in_window(Rect* rect, int item) {
  DialogRef dialog = platform_dialog_of_port(platform_current_port());
  *rect = dialog ? platform_item_rect(dialog, item) : Rect{};
  return rect;
}

void enable_item(DialogRef dialog, int item, int flag) {
  platform_set_item_hilite(dialog, item, flag ? 0 : 255);
}

bool dialog_key_filter(DialogRef, EventRecord* event, int* item) {
  if (event->what != EVENT_KEY_DOWN) return false;
  uint8_t c = event_char(*event);
  if (c == KEY_RETURN || c == KEY_ENTER) {
    *item = 1;
    return true;
  }
  if (c == KEY_ESCAPE) {
    *item = 2;
    return true;
  }
  return false;
}

ItemRef get_radio_item(DialogRef dialog, int item) {
  if (platform_item_kind(dialog, item) != ITEM_RADIO)
    REPORT_ERROR(4, "Expected item number %hd to be a radio button", short(item));
  return {dialog, item};
}

ItemRef get_check_item(DialogRef dialog, int item) {
  if (platform_item_kind(dialog, item) != ITEM_CHECK_BOX)
    REPORT_ERROR(4, "Expected item number %hd to be a check box", short(item));
  return {dialog, item};
}

void set_long_item(DialogRef dialog, int item, int32_t value) {
  check_edit_item(dialog, item);
  char text[32];
  std::snprintf(text, sizeof text, "%ld", long(value));
  platform_set_item_text(dialog, item, text);
}

void set_hex_item(DialogRef dialog, int item, int32_t value) {
  check_edit_item(dialog, item);
  char text[32];
  std::snprintf(text, sizeof text, "%lx", static_cast<unsigned long>(uint32_t(value)));
  platform_set_item_text(dialog, item, text);
}

void set_double_item(DialogRef dialog, int item, double value) {
  check_edit_item(dialog, item);
  char text[400];
  format_float_trimmed(value, text, sizeof text);
  platform_set_item_text(dialog, item, text);
}

int32_t get_long_item(DialogRef dialog, int item, const char* name, int32_t low, int32_t high) {
  check_edit_item(dialog, item);
  int64_t value = 0;
  int count = scan_two_integers(platform_item_text(dialog, item), 10, &value);
  if (count == 1 && value >= low && value <= high) return int32_t(value);
  if (name) {
    if (count == 1 || count < 0)
      REPORT_ERROR(2, "Illegal %s; please use an integer between %ld and %ld.", name, long(low),
                   long(high));
    else
      REPORT_ERROR(2, "Illegal %s; please use one integer between %ld and %ld.", name, long(low),
                   long(high));
  }
  return BAD_LONG_ITEM;
}

int32_t get_hex_item(DialogRef dialog, int item, const char* name, int32_t low, int32_t high) {
  check_edit_item(dialog, item);
  int64_t value = 0;
  int count = scan_two_integers(platform_item_text(dialog, item), 16, &value);
  // A hex entry names 32 bits, read as a signed value; more than 32 bits is out of range.
  bool fits = value >= -int64_t(UINT32_MAX) && value <= int64_t(UINT32_MAX);
  int32_t value32 = int32_t(uint32_t(uint64_t(value)));
  if (count == 1 && fits && value32 >= low && value32 <= high) return value32;
  if (name) {
    unsigned long lo = uint32_t(low), hi = uint32_t(high);
    if (count == 1 || count < 0)
      REPORT_ERROR(2, "Illegal %s; please use a hex value between %lx and %lx.", name, lo, hi);
    else
      REPORT_ERROR(2, "Illegal %s; please use one hex value between %lx and %lx.", name, lo, hi);
  }
  return BAD_LONG_ITEM;
}

double get_double_item(DialogRef dialog, int item, const char* name, double low, double high,
                       double* second) {
  check_edit_item(dialog, item);
  std::string text = platform_item_text(dialog, item);
  double value = 0;
  const char* p = scan_double(text.c_str(), &value);
  if (p && second && *p == ',') {
    double other;
    const char* after = scan_double(p + 1, &other);
    if (after) *second = other;
    p = after ? after : p + 1;
  }
  if (p && !only_blanks(p)) p = nullptr;  // "3x" is no number
  if (p && value >= low && value <= high) return value;
  if (name) REPORT_ERROR(2, "Illegal %s; please use a number between %g and %g.", name, low, high);
  return BAD_DOUBLE_ITEM;
}

void format_float_trimmed(double value, char* out, size_t size) {
  if (size == 0) return;
  char text[400];
  auto [end, error] =
      std::to_chars(text, text + sizeof text - 1, value, std::chars_format::fixed, 5);
  if (error != std::errc()) end = text + std::snprintf(text, sizeof text, "%g", value);
  *end = 0;
  size_t length = size_t(end - text);
  if (std::memchr(text, '.', length)) {
    while (length > 0 && text[length - 1] == '0') --length;
    if (length > 0 && text[length - 1] == '.') --length;
  }
  text[length] = 0;
  std::snprintf(out, size, "%s", text);
}

void invert_item(DialogRef dialog, int item, int outset, int operation) {
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  Rect r = outset_rect(platform_item_rect(dialog, item), outset);
  if (operation == INVERT_ITEM) {
    invert_rect(r);
  } else if (operation == LIGHT_GRAY_ITEM || operation == GRAY_OUT_ITEM) {
    PenState pen = get_pen_state();
    pen_pattern(operation == LIGHT_GRAY_ITEM ? PATTERN_LIGHT_GRAY : PATTERN_GRAY);
    pen_mode(operation == LIGHT_GRAY_ITEM ? MODE_PAT_XOR : MODE_PAT_BIC);
    paint_rect(r);
    set_pen_state(pen);
  } else {
    REPORT_ERROR(4, "Illegal operation for invert_item()!");
  }
  platform_set_port(saved);
}

void draw_dialog_frame(DialogRef dialog, void (*draw_extra)(), const char* prompt) {
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  if (platform_dialog_needs_update(dialog)) {
    if (prompt) platform_set_param_texts(prompt, "", "", "");
    platform_begin_update(dialog);
    erase_rect(make_rect(0, 0, 1000, 1000));
    text_mode(MODE_OR);
    text_font(0);
    text_face(FACE_PLAIN);
    text_size(0);
    platform_draw_dialog(dialog);
    if (draw_extra) draw_extra();
    platform_end_update(dialog);
  }
  platform_set_cancel_item(dialog, 2);
  platform_set_default_item(dialog, 1);
  platform_set_port(saved);
}

void move_dialog_control(DialogRef dialog, int item, int left, int top) {
  Rect r = platform_item_rect(dialog, item);
  Rect moved = make_rect(left, top, left + r.width(), top + r.height());
  platform_set_item_rect(dialog, item, moved);
  int kind = platform_item_kind(dialog, item);
  if (kind != ITEM_CHECK_BOX && kind != ITEM_RADIO) platform_invalidate_dialog_rect(dialog, moved);
}

void show_hide_item(DialogRef dialog, int item, int show) {
  Rect r = platform_item_rect(dialog, item);
  bool hidden = r.top > HIDDEN_TOP;
  if (show ? !hidden : hidden) return;
  Rect moved = offset_rect(r, 0, show ? -HIDE_OFFSET : HIDE_OFFSET);
  platform_set_item_rect(dialog, item, moved);
  int kind = platform_item_kind(dialog, item);
  if (kind != ITEM_CHECK_BOX && kind != ITEM_RADIO)
    platform_invalidate_dialog_rect(dialog, show ? moved : r);
}

void fill_popup_menu(DialogRef dialog, int item, const char* const* list) {
  if ((platform_item_kind(dialog, item) & ~ITEM_DISABLED) != ITEM_POPUP) return;
  platform_popup_clear(dialog, item);
  for (int i = 1; list[i]; ++i) platform_popup_append(dialog, item, list[i]);
  Rect r = platform_item_rect(dialog, item);
  r.right = r.left + POPUP_WIDTH;
  platform_set_item_rect(dialog, item, r);
  Rect dirty = r;
  dirty.bottom += 6;
  platform_invalidate_dialog_rect(dialog, dirty);
}
