// console_text.h: putting text into the console's log: control characters, UTF-8 sequences and
// ANSI escape sequences cut anywhere, the style rule, the font, banners, marks and the mark
// table, and the horizontal scroll bar.
#pragma once

#include <cstddef>
#include <cstdint>

#include "console/console_record.h"
#include "console/console_services.h"

// Appends a byte stream (a length of 0: NUL-terminated) with its attribute words; word 1 with bit
// 31 set takes the console's current attributes, which the stream's ANSI codes then change. Main
// thread only. 0 or CONSOLE_NOT_ALIVE.
int console_append(console_record* record, const char* bytes, int32_t length, uint32_t word1,
                   uint32_t word2);
// Appends one run with one pair of attribute words. 0 or CONSOLE_NOT_ALIVE.
int console_append_run(console_record* record, const char* bytes, int32_t length, uint32_t word1,
                       uint32_t word2);
// Sets the style of text inserted at an offset (CONSOLE_END: the typing style at the end)
// from attribute words; a negative word 1 sets nothing.
void console_set_style(console_record* record, int32_t offset, uint32_t word1, uint32_t word2);
// The style the attribute words give (faint turned into a colour).
ConsoleTextStyle console_style_of_words(uint32_t word1, uint32_t word2);
// The view's font (nullptr: "Monaco"; at most 254 characters), size (below 1: 10) and tabs.
void console_set_font(console_record* record, const char* name, int size);

// Inserts a time-stamp mark at an offset (undoably) and returns the offset after it.
int32_t console_mark(console_record* record, int32_t offset);

// Enters an offset (CONSOLE_END: the length of the text) in the mark table and returns it.
int32_t console_add_mark(console_record* record, int32_t offset);

// The mark buttons: scroll to the previous or next mark, round and round. Both return 0.
int console_mark_back(console_record* record);

int console_mark_forward(console_record* record);

// The view scrolled or its text changed: the bar follows the view's horizontal origin.
void console_scroll_info(console_record* record);
// The user moved the bar.
void console_hscroll_moved(console_record* record, int value);
