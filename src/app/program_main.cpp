// program_main.cpp: the program, which the launcher (main.cpp) starts: start-up, then the main
// loop, which ends only through quit_program. Asked for help, it writes how to start it and
// ends before any window opens.
#include <cstdio>

#include "app/app_services.h"
#include "app/command_line.h"
#include "app/event_loop.h"

int main(int argc, char** argv) {
  if (command_line_asks_for_help(argc, argv)) {
    write_command_line_usage(stdout);
    return 0;
  }
  start_up(argc, argv);
  main_event_loop();
}
