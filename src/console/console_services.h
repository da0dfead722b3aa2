// console_services.h: what the other subsystems may call of the console window: creating and
// disposing of it, printing into it from any thread, banners and marks, the log's files and
// menus. Other folders include this header and no other header of console/.
#pragma once

#include "console/console_controls.h"
#include "console/console_core.h"
#include "console/console_files.h"
#include "console/console_globals.h"
#include "console/console_menus.h"
#include "console/console_record.h"
#include "console/console_text.h"
