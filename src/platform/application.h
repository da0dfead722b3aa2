// application.h: the application object and the program's main window.
#pragma once

#include "platform/font_reading.h"

// Creates the application object on the window system; call once, before any window. The font
// configuration is still being read when it returns (font_reading.h): wait for it before the
// first use of fonts.
void platform_start(int argc, char** argv);

// Opens the main window with the given title (UTF-8).
void platform_open_main_window(const char* title);

// The port that the main window's content shows (its size is the content's size when the
// window opened); nullptr while no main window is open. Copy into it with port_copy.
struct Port;
Port* platform_main_window_port();

// True while the main window is open (the user has not closed it).
bool platform_main_window_open();

// Closes the main window, as the user's close box would.
void platform_close_main_window();
// Hides the main window without asking to quit (a document window stands in for it).
void platform_hide_main_window();

// Handles the window system's pending events; when there are none, waits for one for at most
// timeout_ms milliseconds without using the processor.
void platform_wait_events(int timeout_ms);

// Closes every window and destroys the application object.
void platform_finish();

// Ends the process with the given status after closing every window. Tests may install a
// hook that is called instead; the hook must not return (it throws).
[[noreturn]] void platform_exit(int status);
using ExitHook = void (*)(int status);
void platform_set_exit_hook(ExitHook hook);

// From now on SIGTERM and SIGINT queue a quit event (EVENT_QUIT) instead of killing the
// process.
void platform_catch_quit_signals();
