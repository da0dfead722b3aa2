// main.cpp: start-up and the main loop of the program.
#include "app/prefs.h"
#include "app/quit.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/application.h"
#include "platform/events.h"
#include "platform/fonts.h"

int main(int argc, char** argv) {
  platform_start(argc, argv);
  VeskMemory_Init();
  platform_init_fonts();
  init_version_and_prefs();
  find_music_fonts();
  init_glyph_tables();
  platform_catch_quit_signals();
  platform_open_main_window("Vesk");
  // Closing the window, SIGTERM and SIGINT all arrive as a quit event.
  EventRecord event;
  for (;;) {
    if (platform_get_event(EVERY_EVENT, 6, &event) && event.what == EVENT_QUIT) break;
  }
  platform_finish();
  quit_program(1);
}
