// console_globals.cpp: the console component's program-wide state.
#include "console/console_globals.h"

#include "platform/console_window.h"

int console_live_count = 0;
int consoles_created = 0;
bool console_input_requested = false;
ConsoleHelpWindow* console_help_window = nullptr;
console_record* console_help_owner = nullptr;
std::atomic<int8_t> console_post_countdown{7};
std::atomic<uint32_t> console_pacing_clock{0};
bool console_stdin_closed = false;
std::vector<console_record*> console_list;
size_t console_queue_limit = CONSOLE_QUEUE_LIMIT;

void reset_console_globals() {
  console_live_count = 0;
  consoles_created = 0;
  console_input_requested = false;
  console_help_window_dispose(console_help_window);
  console_help_window = nullptr;
  console_help_owner = nullptr;
  console_post_countdown = 7;
  console_pacing_clock = 0;
  console_stdin_closed = false;
  console_list.clear();
  console_queue_limit = CONSOLE_QUEUE_LIMIT;
}
