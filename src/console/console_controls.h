// console_controls.h: the console window's controls and its own events: sending input (the
// input field, the Return button and the Send menu), the help window, and the window's close
// box.
#pragma once

#include <cstdint>

#include "console/console_record.h"

// Terminators of the Send menu, bytes from bits 16-23, 8-15 and 0-7 (each only when not 0);
// a top byte of 0x80 closes the input pipe after sending.
inline constexpr uint32_t CONSOLE_SEND_EOF = 0x80000000;

// Sends the input field's text with the terminator into the input pipe and shows it in the
// log (bold blue). The bytes sent, 0 for nothing to send, -1 without an input pipe, or the
// write error.
int console_send_input(console_record* record, uint32_t terminator);
// The Send menu: the item chooses the terminator (2 none, 3 CR, 4 LF, 5 CR LF, 6 two ^C and
// LF, 7 end of file, 9 to 39 the byte item - 7, 41 DEL). Beeps and returns CONSOLE_NOT_ALIVE
// when input is disabled or sending fails.
int console_send_menu(console_record* record, int item);
// The Return button (and Return in the input field): sends the input with a line feed.
void console_return_button(console_record* record);

// The Help button: shows the help window for this console, or hides it when it shows for
// this console already.
void console_help(console_record* record);

// Events of the console window (ConsoleWindowEvent). CONSOLE_NOT_ALIVE for a console that is
// not running.
int console_window_handler(console_record* record, int event);
