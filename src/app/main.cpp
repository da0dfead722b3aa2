// main.cpp: start-up and the main loop of the program.
#include "app/quit.h"
#include "model/drosa.h"
#include "platform/application.h"
#include "platform/fonts.h"

int main(int argc, char** argv) {
  platform_start(argc, argv);
  VeskMemory_Init();
  platform_init_fonts();
  platform_open_main_window("Vesk");
  while (platform_main_window_open()) platform_wait_events(100);
  platform_finish();
  quit_program(1);
}
