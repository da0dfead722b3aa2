// quit.cpp: the quit path of the program.
#include "app/quit.h"

#include "app/app_globals.h"
#include "app/prefs.h"
#include "console/console_services.h"
#include "platform/application.h"

void quit_program(int save) {
  // A fatal report does not write the preferences: they may be what went wrong.
  if (save) write_prefs_file(1);
  // The console's log is offered for saving, and standard output goes back where it went.
  if (console_ref) {
    console_save_if_needed(console_ref);
    console_dispose(console_ref);
  }
  platform_exit(save ? 0 : 1);
}
