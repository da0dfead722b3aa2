// page_commands.h: the Page menu's navigation: the previous and next page, Go To Page..., Go
// To Bar..., Next Rhythm Error, and the bar the note-entry keys stored (item 55).
#pragma once

// page_navigation_command: runs Page item 1, 2, 4, 5, 6 or 55 after the Page menu's preamble.
// Failure: the commands not built here are not available yet (level 2).
void page_navigation_command(int item);
