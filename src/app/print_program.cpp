// print_program.cpp: the program that only prints, as the launcher loads it: start-up, then the
// main loop, as program_main.cpp runs them for the whole program.
#include "app/print_program.h"

#include "app/app_services.h"
#include "app/event_loop.h"

extern "C" [[gnu::visibility("default")]] void vesk_print_program_main(int argc, char** argv) {
  start_up(argc, argv);
  main_event_loop();
}
