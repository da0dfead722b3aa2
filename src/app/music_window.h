// music_window.h: the music window's chrome: its title, activation, and emptying it of its
// piece.
#pragma once

#include <string>

struct Port;

// display_win_title: titles the music window from the file name, the notation context's name
// when the piece has several, and "page %hd of %hd", followed by `extra` when given (NIL
// restores the plain title). Mode 2 leaves the page out; mode 3 shows `extra` alone.
// Reads:  piece_fsspec, ncontext_count, current_ncontext, current_page, page_count.
// Writes: music_window_title.
void display_win_title(int mode, const char* extra);

// update_window: runs the pending update of the front window.
void update_window();

// init_music_window_rect: discards the current piece after a failed open or when the last
// view of a file closes: empties the file name, frees every voice list and resets the title.
// Writes: piece_fsspec, voice_count, piece_start, page_start, DrosaDirty, music_window_title.
void init_music_window_rect();

// activate_window: brings a window (nullptr: the music window) to the front and activates it;
// deactivate_window: unhilites the music window. The music window is not yet a window of its
// own, so both have nothing to do.
void activate_window(Port* window);
void deactivate_window(int flag);
