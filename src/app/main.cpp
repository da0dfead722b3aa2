// main.cpp: start-up and the main loop of the program.
#include <thread>

#include "app/app_globals.h"
#include "app/prefs.h"
#include "app/quit.h"
#include "console/console_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/application.h"
#include "platform/events.h"
#include "platform/fonts.h"

namespace {

// The console comes first, so that everything the program writes to its standard output from
// now on shows in it: hidden until text arrives, floating, without input.
void create_console() {
  console_ref = console_create(nullptr, "Vesk Console", "", 0x01120290);
  if (console_ref && console_ref->alive != 1) {
    // A console that could not be made whole shows nothing: go on without it.
    console_dispose_and_free(console_ref);
    console_ref = nullptr;
  }
  if (!console_ref) {
    REPORT_ERROR(4, "Vesk Carbon Console creation error.");
    return;
  }
  main_thread_id = std::this_thread::get_id();
  console_banner(console_ref, nullptr, nullptr);
  console_keep_on_screen(console_ref);
}

}  // namespace

int main(int argc, char** argv) {
  platform_start(argc, argv);
  create_console();
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
    if (!platform_get_event(EVERY_EVENT, 6, &event)) continue;
    if (event.what == EVENT_QUIT) break;
    console_menu_event(event);
  }
  quit_program(1);
}
