// console_services.h: what the rest of the program asks of the console window.
// Other folders include this header and no other header of console/.
#pragma once

// The console's record; nullptr when it could not be made.
struct ConsoleRecord;

// console_create: makes the console window that shows the program's output; nullptr on
// failure.
ConsoleRecord* console_create(const char* title, int options);
// console_banner: writes a dated banner line.
void console_banner(ConsoleRecord* console);
// console_save_if_needed: offers to save a changed log (at quit).
void console_save_if_needed(ConsoleRecord* console, int flag);
// console_dispose: closes the console and frees its record.
void console_dispose(ConsoleRecord* console);
