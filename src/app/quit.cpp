// quit.cpp: the quit path of the program.
#include "app/quit.h"

#include "app/prefs.h"
#include "platform/application.h"

void quit_program(int save) {
  // A fatal report does not write the preferences: they may be what went wrong.
  if (save) write_prefs_file(1);
  platform_exit(save ? 0 : 1);
}
