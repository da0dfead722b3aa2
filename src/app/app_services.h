// app_services.h: what the other subsystems may call of the application frame: cursors, the
// preferences, the file dialogs, the music window, the main loop's services, the menu
// commands, start-up and quitting, and the frame's program-wide state.
// Other folders include this header and no other header of app/.
#pragma once

#include "app/app_globals.h"
#include "app/apple_events.h"
#include "app/cursors.h"
#include "app/event_loop.h"
#include "app/file_commands.h"
#include "app/file_dialogs.h"
#include "app/menu_unavailable.h"
#include "app/menus.h"
#include "app/music_window.h"
#include "app/page_commands.h"
#include "app/prefs.h"
#include "app/quit.h"
#include "app/shortcut_keys.h"
#include "app/startup.h"
