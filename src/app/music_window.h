// music_window.h: the music window's chrome: its title.
#pragma once

#include <string>

// display_win_title: titles the music window from the file name, the notation context's name
// when the piece has several, and "page %hd of %hd", followed by `extra` when given (NIL
// restores the plain title). Mode 2 leaves the page out; mode 3 shows `extra` alone.
// Reads:  piece_fsspec, ncontext_count, current_ncontext, current_page, page_count.
// Writes: music_window_title.
void display_win_title(int mode, const char* extra);

// update_window: runs the pending update of the front window.
void update_window();
