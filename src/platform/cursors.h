// cursors.h: the mouse cursor shapes the program shows.
#pragma once

enum PlatformCursor {
  CURSOR_ARROW,
  CURSOR_IBEAM,
  CURSOR_WATCH,
  CURSOR_FORMATTING,  // the program's own cursor, shown while a page is being formatted
};

// Shows the shape over every window of the program.
void platform_show_cursor(PlatformCursor shape);

// The shape last shown (tests read it).
PlatformCursor platform_cursor_shown();
