// console_globals.h: the console component's program-wide state, shared by every console.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

struct console_record;
struct ConsoleHelpWindow;

extern int console_live_count;        // consoles alive now
extern int consoles_created;          // every console ever created, titled or not
extern bool console_input_requested;  // a console was created with input: help has two parts
extern ConsoleHelpWindow* console_help_window;      // shared by every console; nullptr until used
extern console_record* console_help_owner;          // the console the help window shows for
extern std::atomic<int8_t> console_post_countdown;  // posts left until the next pacing check
extern std::atomic<uint32_t> console_pacing_clock;  // the tick of the last pacing check
extern bool console_stdin_closed;  // the standard input the process started with was replaced
extern std::vector<console_record*> console_list;  // the consoles alive, oldest first
// Text posted to the main thread and not yet shown (per console), beyond which senders wait
// for the window to show it.
extern size_t console_queue_limit;
inline constexpr size_t CONSOLE_QUEUE_LIMIT = size_t{8} << 20;

// Back to the state before any console was created (tests); disposes of the help window.
void reset_console_globals();
