// console_text.cpp: the appender that turns a byte stream cut anywhere into styled text in the
// console's log, with banners, marks and the horizontal scroll bar.
//
// The scanner keeps two kinds of state from one piece of text to the next: an ANSI escape
// sequence that is still open, and the first bytes of a UTF-8 sequence. Text between them is
// appended in as few runs as control characters allow:
//   - bytes 8 to 13 and 32 to 127 are text; BEL beeps; the other control bytes are dropped;
//   - ESC starts an escape sequence. A control sequence ("ESC [") ends with a byte 0x40-0x7E
//     and may hold only parameter and intermediate bytes 0x20-0x3F before it; any other
//     sequence is ESC, intermediates 0x20-0x2F and a final byte 0x30-0x7E. A sequence that
//     breaks these rules, or grows past CONSOLE_ESCAPE_LIMIT bytes, is not a sequence: what
//     followed the ESC is shown as text (the ESC itself never is) and the byte that broke it
//     is read again as text. Finished sequences other than SGR ("ESC [ ... m") are dropped;
//   - bytes from 0x80 start UTF-8 sequences (lengths by the lead byte's bits 4-6: 1,1,1,1,2,
//     2,3,4). A sequence is kept whole across pieces of text; a lead byte followed by a byte
//     that cannot continue it is one byte of text on its own.
// Text in the system encoding (the console's system-text option, or attribute bit
// 0x08000000) is shown as UTF-8 when its bytes are valid UTF-8 and as Mac OS Roman otherwise;
// other text is UTF-8.
#include "console/console_text.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>

#include "console/console_core.h"
#include "console/console_files.h"
#include "console/console_log_formats.h"
#include "console/console_record.h"
#include "platform/beep.h"
#include "platform/console_window.h"

namespace {

constexpr char ESC = 27;
constexpr uint8_t UTF8_LENGTHS[8] = {1, 1, 1, 1, 2, 2, 3, 4};

int utf8_length(uint8_t lead) { return UTF8_LENGTHS[(lead >> 4) & 7]; }
bool is_continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

AttributeWords with_red(AttributeWords words, uint16_t red) {
  words.word1 = (words.word1 & 0xFFFF0000) | red;
  return words;
}

AttributeWords coloured(AttributeWords words, uint16_t red, uint16_t green, uint16_t blue) {
  words = with_red(words, red);
  words.word2 = (uint32_t(green) << 16) | blue;
  return words;
}

// One SGR number applied to the attribute words.
AttributeWords apply_sgr_number(const console_record* record, AttributeWords words, int number) {
  switch (number) {
    case 0:
      return record->output_default;
    case 1:
      words.word1 |= ATTR_BOLD;
      break;
    case 2:
      words.word1 |= ATTR_FAINT;
      break;
    case 3:
    case 20:
      words.word1 |= ATTR_ITALIC;
      break;
    case 4:
    case 21:
      words.word1 |= ATTR_UNDERLINE;
      break;
    case 22:
      words.word1 &= ~(ATTR_BOLD | ATTR_FAINT);
      break;
    case 23:
      words.word1 &= ~ATTR_ITALIC;
      break;
    case 24:
      words.word1 &= ~ATTR_UNDERLINE;
      break;
    case 30:
      return coloured(words, 0, 0, 0);
    case 31:
      return coloured(words, 0xFFFF, 0, 0);
    case 32:
      return coloured(words, 0, 0x8080, 0);
    case 33:
      return coloured(words, 0xFFFF, 0xFFFF, 0);
    case 34:
      return coloured(words, 0, 0, 0xFFFF);
    case 35:
      return coloured(words, 0xFFFF, 0, 0xFFFF);
    case 36:
      return coloured(words, 0, 0xFFFF, 0xFFFF);
    case 37:
      return coloured(words, 0xFFFE, 0xFFFE, 0xFFFE);
    case 39:
      words = with_red(words, static_cast<uint16_t>(record->output_default.word1 & 0xFFFF));
      words.word2 = record->output_default.word2;
      break;
    default:
      break;  // 5 to 19, 25 to 29, 38 and everything over 39
  }
  return words;
}

// "ESC [ n ; n ... m": each number in order; an empty list (or an empty number) is 0.
AttributeWords apply_sgr(const console_record* record, const std::string& sequence,
                         AttributeWords words) {
  const std::string_view params(sequence.data() + 2, sequence.size() - 3);
  size_t i = 0;
  do {
    int number = 0;
    while (i < params.size() && params[i] >= '0' && params[i] <= '9') {
      number = std::min(number * 10 + (params[i] - '0'), 9999);
      ++i;
    }
    words = apply_sgr_number(record, words, number);
  } while (i++ < params.size());  // one separator after each number
  return words;
}

enum class EscapeStep { OPEN, FINISHED, BROKEN };

// Adds a byte to the open escape sequence; BROKEN leaves the byte unread.
EscapeStep escape_step(std::string& sequence, uint8_t byte) {
  if (sequence.size() >= CONSOLE_ESCAPE_LIMIT) return EscapeStep::BROKEN;
  const bool control_sequence = sequence.size() >= 2 && sequence[1] == '[';
  if (sequence.size() == 1 && byte == '[') {
    sequence += static_cast<char>(byte);
    return EscapeStep::OPEN;
  }
  if (control_sequence) {
    if (byte >= 0x40 && byte <= 0x7E) {
      sequence += static_cast<char>(byte);
      return EscapeStep::FINISHED;
    }
    if (byte < 0x20 || byte > 0x3F) return EscapeStep::BROKEN;
  } else {
    if (byte >= 0x30 && byte <= 0x7E) {
      sequence += static_cast<char>(byte);
      return EscapeStep::FINISHED;
    }
    if (byte < 0x20 || byte > 0x2F) return EscapeStep::BROKEN;
  }
  sequence += static_cast<char>(byte);
  return EscapeStep::OPEN;
}

class Scanner {
 public:
  Scanner(console_record* record, const char* bytes, size_t length, AttributeWords given,
          const ConsoleScanSink& sink)
      : record_(record),
        bytes_(reinterpret_cast<const uint8_t*>(bytes)),
        length_(length),
        persistent_((given.word1 & ATTR_CURRENT) != 0),
        words_(given),
        sink_(sink) {}

  void run() {
    for (;;) {
      if (persistent_) words_ = record_->current;
      if (!record_->escape.empty()) {
        if (!collect_escape()) return;  // still open at the end of the text
        continue;
      }
      if (record_->pending_utf8_count > 0) {
        if (!complete_utf8()) return;
        continue;
      }
      if (!scan()) return;
    }
  }

 private:
  bool utf8_on() const {
    return !((record_->options & CONSOLE_SYSTEM_TEXT) &&
             (words_.word1 & (ATTR_SYSTEM_TEXT | ATTR_PLAIN_7BIT)));
  }

  void emit(size_t from, size_t to, bool plain) {
    if (from >= to) return;
    AttributeWords words = words_;
    if (plain) words.word1 |= ATTR_PLAIN_7BIT;
    sink_.run(sink_.context, reinterpret_cast<const char*>(bytes_ + from), to - from, words);
  }

  // Returns false when the sequence is still open at the end of the text.
  bool collect_escape() {
    std::string& sequence = record_->escape;
    while (pos_ < length_) {
      const EscapeStep step = escape_step(sequence, bytes_[pos_]);
      if (step == EscapeStep::BROKEN) {
        // Not an escape sequence: what followed the ESC is text.
        const std::string shown = sequence.substr(1);
        sequence.clear();
        AttributeWords words = words_;
        words.word1 |= ATTR_PLAIN_7BIT;
        if (!shown.empty()) sink_.run(sink_.context, shown.data(), shown.size(), words);
        if (bytes_[pos_] == ESC) ++pos_, sequence = std::string(1, ESC);
        return true;
      }
      ++pos_;
      if (step == EscapeStep::FINISHED) {
        if (sequence.size() >= 3 && sequence[1] == '[' && sequence.back() == 'm') {
          words_ = apply_sgr(record_, sequence, words_);
          if (persistent_) record_->current = {words_.word1 & 0x0FFFFFFF, words_.word2};
        }
        sequence.clear();
        return true;
      }
    }
    return false;
  }

  // The rest of a UTF-8 sequence cut off at the end of the previous text. Returns false when
  // the text ends before the sequence does.
  bool complete_utf8() {
    uint8_t sequence[4];
    int count = record_->pending_utf8_count;
    std::memcpy(sequence, record_->pending_utf8, static_cast<size_t>(count));
    const int needed = utf8_length(sequence[0]);
    while (count < needed && pos_ < length_ && is_continuation(bytes_[pos_]))
      sequence[count++] = bytes_[pos_++];
    if (count < needed && pos_ == length_) {
      std::memcpy(record_->pending_utf8, sequence, static_cast<size_t>(std::min(count, 3)));
      record_->pending_utf8_count = static_cast<int8_t>(count);
      return false;
    }
    record_->pending_utf8_count = 0;
    sink_.run(sink_.context, reinterpret_cast<const char*>(sequence), static_cast<size_t>(count),
              words_);
    return true;
  }

  // Scans text up to the next escape sequence, dropped control byte or the end. Returns
  // false at the end of the text.
  bool scan() {
    const size_t start = pos_;
    bool plain = true;
    const bool utf8 = utf8_on();
    while (pos_ < length_) {
      const uint8_t c = bytes_[pos_];
      if (c >= 32 && c <= 127) {
        ++pos_;
      } else if (c >= 8 && c <= 13) {
        ++pos_;
      } else if (c == ESC) {
        emit(start, pos_, plain);
        record_->escape = std::string(1, ESC);
        ++pos_;
        return true;
      } else if (c < 32) {
        if (c == 7 && sink_.beep) sink_.beep(sink_.context);
        emit(start, pos_, plain);
        ++pos_;
        return true;
      } else {
        plain = false;
        const size_t needed = utf8 ? static_cast<size_t>(utf8_length(c)) : 1;
        size_t have = 1;
        while (have < needed && pos_ + have < length_ && is_continuation(bytes_[pos_ + have]))
          ++have;
        if (have < needed && pos_ + have == length_) {
          // Cut off at the end: the bytes wait for the next text.
          emit(start, pos_, false);
          record_->pending_utf8_count = static_cast<int8_t>(have);
          std::memcpy(record_->pending_utf8, bytes_ + pos_, have);
          return false;
        }
        pos_ += have < needed ? 1 : needed;
      }
    }
    if (start == pos_) {
      if (sink_.style) sink_.style(sink_.context, words_);
    } else {
      emit(start, pos_, plain);
    }
    return false;
  }

  console_record* record_;
  const uint8_t* bytes_;
  size_t length_;
  size_t pos_ = 0;
  bool persistent_;
  AttributeWords words_;
  const ConsoleScanSink& sink_;
};

// ---- The sink that appends to the log
// ---------------------------------------------------------------

void append_sink_run(void* context, const char* bytes, size_t length, AttributeWords words) {
  console_append_run(static_cast<console_record*>(context), bytes, static_cast<int32_t>(length),
                     words.word1, words.word2);
}

void append_sink_style(void* context, AttributeWords words) {
  console_set_style(static_cast<console_record*>(context), CONSOLE_END, words.word1, words.word2);
}

void append_sink_beep(void*) { platform_beep(); }

// The text of a run, as the view takes it.
std::u16string decode_run(const console_record* record, const char* bytes, size_t length,
                          uint32_t word1) {
  const std::string_view text(bytes, length);
  const bool system =
      (record->options & CONSOLE_SYSTEM_TEXT) || (word1 & (ATTR_SYSTEM_TEXT | ATTR_PLAIN_7BIT));
  return system ? console_system_to_utf16(text) : console_utf8_to_utf16(text);
}

void insert_at_end(console_record* record, const char* bytes, size_t length, uint32_t word1) {
  console_view_insert(
      record->window, CONSOLE_END,
      {ConsoleStyledRun{decode_run(record, bytes, length, word1), record->typing_style}}, false);
}

// The current date and time in the form of ctime, without its line feed.
std::string time_stamp() {
  const std::time_t now = std::time(nullptr);
  char text[32] = {};
  if (!ctime_r(&now, text)) return {};
  std::string stamp(text);
  while (!stamp.empty() && stamp.back() == '\n') stamp.pop_back();
  return stamp;
}

void scroll_to_mark(console_record* record) {
  const console_mark_table* marks = record->marks;
  if (record->window && marks->current != 0 && marks->current < marks->count)
    console_view_scroll_to(record->window, static_cast<int32_t>(marks->entries[marks->current]));
}

// Faint is a colour, not a style: dark colours get lighter, light ones darker.
RgbColour faint_colour(RgbColour c) {
  auto all = [&c](uint16_t v) { return c.red == v && c.green == v && c.blue == v; };
  if (all(0)) return {0x6060, 0x6060, 0x6060};
  if (all(0x6060)) return {0, 0, 0};
  if (all(0xC0C0)) return {0xFFFE, 0xFFFE, 0xFFFE};
  if (all(0xFFFE)) return {0xC0C0, 0xC0C0, 0xC0C0};
  auto component = [](uint16_t v) -> uint16_t {
    if (v == 0) return 0;
    if (v == 0x7F7F) return 1;
    return v ^ 0x7F7F;
  };
  return {component(c.red), component(c.green), component(c.blue)};
}

}  // namespace

// ---- Appending
// ----------------------------------------------------------------------------------------------

void console_scan(console_record* record, const char* bytes, size_t length, AttributeWords given,
                  const ConsoleScanSink& sink) {
  Scanner(record, bytes, length, given, sink).run();
}

int console_append(console_record* record, const char* bytes, int32_t length, uint32_t word1,
                   uint32_t word2) {
  if (!record || record->alive < 1) return CONSOLE_NOT_ALIVE;
  const size_t size = length > 0 ? static_cast<size_t>(length) : std::strlen(bytes);
  ConsoleScanSink sink;
  sink.context = record;
  sink.run = append_sink_run;
  sink.style = append_sink_style;
  sink.beep = append_sink_beep;
  console_scan(record, bytes, size, {word1, word2}, sink);
  return 0;
}

int console_append_run(console_record* record, const char* bytes, int32_t length, uint32_t word1,
                       uint32_t word2) {
  if (!record || record->alive < 1) return CONSOLE_NOT_ALIVE;
  const size_t size = length > 0 ? static_cast<size_t>(length) : std::strlen(bytes);
  console_set_style(record, CONSOLE_END, word1, word2);
  if (!record->window || size == 0) return 0;
  if (size > 1 && bytes[size - 1] == '\n') {
    insert_at_end(record, bytes, size - 1, word1);
    insert_at_end(record, "\n", 1, word1);
  } else {
    insert_at_end(record, bytes, size, word1);
  }
  if (record->log_saved || (record->options & CONSOLE_ALWAYS_TRACK))
    console_window_set_modified(record->window, true);
  return 0;
}

ConsoleTextStyle console_style_of_words(uint32_t word1, uint32_t word2) {
  ConsoleTextStyle style;
  style.face = static_cast<uint8_t>((word1 >> 16) & 0x7F);
  style.colour = {static_cast<uint16_t>(word1 & 0xFFFF), static_cast<uint16_t>(word2 >> 16),
                  static_cast<uint16_t>(word2 & 0xFFFF)};
  if ((style.face & 0x60) == 0x60) {
    style.face &= ~0x60;
    style.colour = faint_colour(style.colour);
  }
  return style;
}

void console_set_style(console_record* record, int32_t offset, uint32_t word1, uint32_t word2) {
  if (static_cast<int32_t>(word1) < 0) return;
  const AttributeWords words{word1, word2};
  if (offset == CONSOLE_END) {
    if (words == record->last_applied) return;
    record->last_applied = words;
    record->typing_style = console_style_of_words(word1, word2);
  } else {
    // Text inserted inside the log (marks, a loaded log) takes its own style and leaves the
    // style at the end alone.
    record->insert_style = console_style_of_words(word1, word2);
  }
}

void console_set_font(console_record* record, const char* name, int size) {
  if (!record || !record->window) return;
  std::string family = name ? std::string(name).substr(0, 254) : std::string("Monaco");
  if (size < 1) size = 10;
  console_view_set_font(record->window, family, size, size * 12 / 5);
}

// ---- Banners and marks
// ----------------------------------------------------------------------------------

void console_banner(console_record* record, const char* prefix, const char* suffix) {
  if (!record || record->alive < 1) return;
  if (!prefix) prefix = "_______ ";
  if (!suffix) suffix = " _______";
  const AttributeWords mark = record->mark_attributes;
  const int32_t offset = console_add_mark(record, CONSOLE_END);
  if (offset != 0 && prefix[0] != '\n') console_print(record, "\n", 0, mark.word1, mark.word2);
  console_print(record, prefix, 0, mark.word1, mark.word2);
  const std::string stamp = time_stamp();
  console_print(record, stamp.c_str(), 0, mark.word1, mark.word2);
  console_print(record, suffix, 0, mark.word1, mark.word2);
  const size_t suffix_length = std::strlen(suffix);
  const bool ends_line = suffix_length > 0 && suffix[suffix_length - 1] == '\n';
  console_print(record, ends_line ? "" : "\n", 0, 0, 0);
  // The banner is output: a console shown on output comes up with it (behind the window in
  // front), so that it can be found from the start.
  if ((record->options & CONSOLE_SHOW_ON_OUTPUT) && record->window)
    console_window_show(record->window, false);
}

int32_t console_mark(console_record* record, int32_t offset) {
  if (!record || record->alive < 1 || !record->window) return offset;
  if (offset == CONSOLE_END) offset = console_view_length(record->window);
  offset = std::clamp(offset, 0, console_view_length(record->window));
  console_add_mark(record, offset);
  console_push_undo(record);
  console_set_style(record, offset, record->mark_attributes.word1, record->mark_attributes.word2);
  char text[80];
  const std::string stamp = time_stamp();
  std::snprintf(text, sizeof text, "\n_______ %.*s _______\n", 47, stamp.c_str());
  const std::u16string inserted = console_utf8_to_utf16(text);
  console_view_insert(record->window, offset, {ConsoleStyledRun{inserted, record->insert_style}},
                      true);
  return offset + static_cast<int32_t>(inserted.size());
}

int32_t console_add_mark(console_record* record, int32_t offset) {
  if (!record->marks) record->marks = new console_mark_table();
  console_mark_table& marks = *record->marks;
  if (offset == CONSOLE_END) offset = record->window ? console_view_length(record->window) : 0;
  int place = marks.count - 1;
  while (place >= 1 && marks.entries[place] > static_cast<uint32_t>(offset)) --place;
  if (marks.count >= marks.capacity) {
    marks.capacity = static_cast<uint16_t>(std::min(marks.capacity + 16, 0xFFFF));
    marks.entries.resize(marks.capacity);
  }
  if (marks.count >= marks.capacity) return offset;  // the table is full
  for (int i = marks.count; i > place + 1; --i) marks.entries[i] = marks.entries[i - 1];
  marks.entries[place + 1] = static_cast<uint32_t>(offset);
  ++marks.count;
  marks.entries[0] = static_cast<uint32_t>(place + 1);
  if (offset > 127 && record->window) console_control_show(record->window, CONSOLE_MARK_BACK, true);
  return offset;
}

int console_mark_back(console_record* record) {
  if (!record->marks || record->marks->count <= 1) {
    platform_beep();
    return 0;
  }
  console_mark_table& marks = *record->marks;
  const uint16_t last = static_cast<uint16_t>(marks.count - 1);
  marks.current = marks.current <= 1 ? last : static_cast<uint16_t>(marks.current - 1);
  scroll_to_mark(record);
  if (marks.count > 2 && record->window)
    console_control_show(record->window, CONSOLE_MARK_FORWARD, true);
  return 0;
}

int console_mark_forward(console_record* record) {
  if (!record->marks || record->marks->count <= 1) {
    platform_beep();
    return 0;
  }
  console_mark_table& marks = *record->marks;
  marks.current = marks.current + 1 >= marks.count ? 1 : static_cast<uint16_t>(marks.current + 1);
  scroll_to_mark(record);
  return 0;
}

// ---- The horizontal scroll bar
// ------------------------------------------------------------------------

void console_scroll_info(console_record* record) {
  if (!record || record->alive < 1 || !record->window || record->wrap_lines) return;
  ConsoleWindow* window = record->window;
  const double x = console_view_h_origin(window);
  record->h_origin_x = static_cast<float>(x);
  if (!record->hscroll_shown && (x != 0 || console_view_length(window) > 99)) {
    record->hscroll_shown = true;
    console_control_show(window, CONSOLE_HSCROLL, true);
  }
  int maximum = console_hscroll_maximum(window);
  if (x > maximum) maximum = std::min(32000, (static_cast<int>(x) + 99) / 100 * 100);
  console_hscroll_set(window, static_cast<int>(x), maximum);
}

void console_hscroll_moved(console_record* record, int value) {
  if (!record || record->alive < 1 || !record->window) return;
  console_view_set_h_origin(record->window, value);
}
