// menu_unavailable.h: the commands whose work belongs to parts of the program that are not
// built yet. Each such command reaches the one routine of its part below, which tells the user
// (level 2) that the command is not available yet and changes nothing; when a part is built,
// its commands leave these routines one by one.
#pragma once

#include <cstdint>

// report_command_unavailable: level 2 'The command "<item>" of the <menu> menu is not available
// yet.' with the item's text as the menu shows it.
void report_command_unavailable(int16_t menu, int item);

// Selection and editing: copying and pasting music, measures, systems, symbols, drags.
void editing_command_unavailable(int16_t menu, int item);
