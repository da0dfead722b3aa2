// main.cpp: the program: start-up, then the main loop, which ends only through quit_program.
#include "app/app_services.h"
#include "app/event_loop.h"

int main(int argc, char** argv) {
  start_up(argc, argv);
  main_event_loop();
}
