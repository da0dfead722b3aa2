// event_input.h: inside the platform layer, how windows hand their window-system input to the
// event queue, and the wait that the modal loop shares with platform_get_event.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/events.h"

class QDialog;
class QMainWindow;
class QObject;
class QWidget;

// Dialogs and any later window take numbers from input_new_window_number (100 upward); the
// main window has the fixed MAIN_WINDOW_NUMBER of events.h.
int input_new_window_number();

// Translates the key presses aimed at any widget of `window`, and the mouse presses and
// releases aimed at `content` itself, into events of window `number` (mouse positions in
// `content`'s coordinates). The translated Qt events are consumed. Registering again replaces.
void input_register_window(QWidget* window, QWidget* content, int number);
void input_unregister_window(QWidget* window);
// The registered window of that number, or nullptr.
QWidget* input_window_numbered(int number);
// `modal` holds back the input of every window but itself and `admitted`, as a modal window
// does, while it is shown and the window system sees no modal window (nullptr: no longer).
void input_admit_window(QWidget* modal, QWidget* admitted);

// Like platform_get_event, but also ends (returning false) as soon as `stop` returns true;
// `stop` is asked after every batch of window-system input.
bool input_wait_for_event(uint32_t mask, uint32_t timeout_ticks, EventRecord* event,
                          const std::function<bool()>& stop);

// Shows a dialog of the toolkit's own, modal to the application, and runs the program's event
// wait until it is closed (so no nested toolkit loop runs); the program's events wait in the
// queue. A request to quit cancels it. True when it was accepted. (Not built without the
// toolkit's widgets.)
bool input_run_dialog(QDialog* dialog);

// Gives a key event that came from the window system back to the focused widget of its
// window, for the widget's own handling (an edit field's caret keys, say). False when the
// event did not come from the window system or its window has no focused widget.
bool input_redeliver_key(const EventRecord& event);

// True when a point of a window's content lies in its grow box (window.cpp).
bool input_in_grow_box(int window, Point where);

// Asks the program to quit (an EVENT_QUIT at the end of the queue). Any thread may call it;
// from another thread the event is queued by the main thread's loop.
void platform_post_quit_event();

// True when a quit event is waiting in the queue (a signal or the window system asked the
// program to quit): a modal dialog then closes as cancelled and leaves the quit to the
// program's main loop. Window-system input is handled first when `handle_input`.
bool input_quit_requested(bool handle_input = false);

// True when there is an application object this process may use (not in a forked copy).
bool input_window_system_usable();
// True when windows and menus are made with the window system's widgets: there is a widget
// application this process may use and the windows are not kept off the screen (window.cpp).
bool input_window_widgets_usable();

// Repaints the widget that shows a port (port_image.h): the drawing code holds it as an
// object and uses nothing of the toolkit's widgets itself.
void input_repaint_view(QObject* view);

// True while the clock is the virtual one of the tests (ticks.h).
bool input_ticks_are_virtual();

// Gives a window the program's menu bar (menus.cpp): the menus of the bar now and those put
// there later.
void input_attach_menu_bar(QMainWindow* window);
