// events_test.cpp: the event queue, waiting for events, the modifier keys and the cursor.
//   EventQueue.*: order, masks, flushing, the time stamp of posted events
//   EventWait.*:  timeouts on the virtual clock, waking from another thread
//   Modifiers.*:  the test override and the button state; the window system asked once in a
//                 while
//   Cursor.*:     every shape can be shown without a display
//   Wheel.*:      wheel notches and touchpad pixels become wheel events in whole pixels
//   Activation.*: the floating windows go with the document window the user brings forward
//                 or clicks
//   Frames.*:     the window system's frame grows a document window only to its limits
//   HeldKeys.*:   a held key's repeats given as releases and presses are repeats
#include "platform/events.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <QWheelEvent>
#include <QWindow>

#include "platform/cursors.h"
#include "platform/event_input.h"
#include "platform/ticks.h"
#include "platform/window.h"

namespace {

class EventTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform_flush_events(EVERY_EVENT);
    platform_use_virtual_ticks(false);  // a test before may have left the virtual clock on
  }
  void TearDown() override {
    platform_flush_events(EVERY_EVENT);
    platform_use_virtual_ticks(false);
    platform_set_test_modifiers(false, 0);
  }
  static EventRecord make(int16_t what, uint32_t message = 0) {
    EventRecord e;
    e.what = what;
    e.message = message;
    e.when = 7;
    return e;
  }
};

using EventQueue = EventTest;
using EventWait = EventTest;
using Modifiers = EventTest;

TEST_F(EventQueue, MaskPicksTheFirstEventOfItsKindsAndKeepsTheRestInOrder) {
  platform_post_event(make(EVENT_KEY_DOWN, 'a'));
  platform_post_event(make(EVENT_MOUSE_DOWN, 1));
  platform_post_event(make(EVENT_KEY_DOWN, 'b'));
  platform_post_event(make(EVENT_MOUSE_DOWN, 2));
  EventRecord e;
  ASSERT_TRUE(platform_get_event(event_mask_of(EVENT_MOUSE_DOWN), 0, &e));
  EXPECT_EQ(e.message, 1u);
  const uint32_t keys = event_mask_of(EVENT_KEY_DOWN) | event_mask_of(EVENT_AUTO_KEY);
  ASSERT_TRUE(platform_get_event(keys, 0, &e));
  EXPECT_EQ(event_char(e), 'a');
  ASSERT_TRUE(platform_get_event(EVERY_EVENT, 0, &e));
  EXPECT_EQ(event_char(e), 'b');
  ASSERT_TRUE(platform_get_event(EVERY_EVENT, 0, &e));
  EXPECT_EQ(e.message, 2u);
  EXPECT_FALSE(platform_get_event(EVERY_EVENT, 0, &e));
  EXPECT_EQ(e.what, EVENT_NULL);
}

TEST_F(EventQueue, FlushDropsOnlyTheMaskedKinds) {
  platform_post_event(make(EVENT_KEY_DOWN));
  platform_post_event(make(EVENT_UPDATE));
  platform_post_event(make(EVENT_AUTO_KEY));
  platform_flush_events(event_mask_of(EVENT_KEY_DOWN) | event_mask_of(EVENT_AUTO_KEY));
  EventRecord e;
  ASSERT_TRUE(platform_get_event(EVERY_EVENT, 0, &e));
  EXPECT_EQ(e.what, EVENT_UPDATE);
  EXPECT_FALSE(platform_get_event(EVERY_EVENT, 0, &e));
}

TEST_F(EventQueue, PeekLeavesTheFirstMatchingEventQueued) {
  platform_post_event(make(EVENT_UPDATE));
  platform_post_event(make(EVENT_AUTO_KEY, 'x'));
  platform_post_event(make(EVENT_MOUSE_DOWN, 1));
  const uint32_t mask = event_mask_of(EVENT_MOUSE_DOWN) | event_mask_of(EVENT_AUTO_KEY);
  EventRecord e;
  for (int twice = 0; twice < 2; ++twice) {
    ASSERT_TRUE(peek_event(mask, &e));
    EXPECT_EQ(e.what, EVENT_AUTO_KEY);
  }
  EXPECT_FALSE(peek_event(event_mask_of(EVENT_KEY_DOWN), &e));
  EXPECT_EQ(e.what, EVENT_NULL);
  ASSERT_TRUE(platform_get_event(EVERY_EVENT, 0, &e));
  EXPECT_EQ(e.what, EVENT_UPDATE);  // the queue kept its order
}

TEST_F(EventQueue, WindowPartsFrontWindowAndMenuKeys) {
  EventRecord e = make(EVENT_MOUSE_DOWN);
  int window = -1;
  e.window = MENU_BAR_WINDOW;
  EXPECT_EQ(find_window_part(e, &window), IN_MENU_BAR);
  EXPECT_EQ(window, 0);
  e.window = MAIN_WINDOW_NUMBER;
  EXPECT_EQ(find_window_part(e, &window), IN_CONTENT);
  EXPECT_EQ(window, MAIN_WINDOW_NUMBER);
  e.window = 0;
  EXPECT_EQ(find_window_part(e, &window), IN_DESK);

  EXPECT_EQ(front_window(), 0);  // no window of ours is active here
  platform_set_test_front_window(true, 104);
  EXPECT_EQ(front_window(), 104);
  platform_set_test_front_window(false, 0);

  set_menu_key('s', 129, 7);
  EXPECT_EQ(menu_key_maps('S'), (129 << 16) | 7);
  EXPECT_EQ(menu_key_maps('s'), (129 << 16) | 7);
  EXPECT_EQ(menu_key_maps('t'), 0);
  set_menu_key('S', 0, 0);
  EXPECT_EQ(menu_key_maps('s'), 0);
  clear_menu_keys();
}

TEST_F(EventQueue, PostedEventsWithoutATimeGetTheClocksTime) {
  platform_use_virtual_ticks(true);
  platform_advance_ticks(1234);
  const uint32_t now = platform_ticks();
  EventRecord untimed = make(EVENT_KEY_DOWN);
  untimed.when = 0;
  platform_post_event(untimed);
  platform_post_event(make(EVENT_KEY_DOWN));
  EventRecord e;
  ASSERT_TRUE(platform_get_event(EVERY_EVENT, 0, &e));
  EXPECT_EQ(e.when, now);
  ASSERT_TRUE(platform_get_event(EVERY_EVENT, 0, &e));
  EXPECT_EQ(e.when, 7u);
  platform_advance_ticks(0u - 1234);
}

TEST_F(EventWait, VirtualClockNeverWaitsAndNeverMoves) {
  platform_use_virtual_ticks(true);
  const uint32_t before = platform_ticks();
  EventRecord e;
  // A day on the real clock: a wait that blocked would hang the test.
  EXPECT_FALSE(platform_get_event(EVERY_EVENT, 24 * 60 * 60 * 60, &e));
  EXPECT_EQ(platform_ticks(), before);
  EXPECT_EQ(e.what, EVENT_NULL);
  EXPECT_EQ(e.when, before);
  EXPECT_TRUE(input_ticks_are_virtual());
  platform_use_virtual_ticks(false);
  EXPECT_FALSE(input_ticks_are_virtual());
}

// That a real wait lasts its timeout and ends with a null event, and how little of the
// processor it takes, is checked by bench/event_wait_bench.cpp: no test waits on the clock.
TEST_F(EventWait, AQuitFromAnotherThreadEndsTheWait) {
  std::thread signaller([] { platform_post_quit_event(); });
  EventRecord e;
  const bool got = platform_get_event(EVERY_EVENT, 600, &e);  // false had the wait timed out
  signaller.join();
  ASSERT_TRUE(got);
  EXPECT_EQ(e.what, EVENT_QUIT);
}

TEST_F(Modifiers, TestOverrideReplacesTheKeyboard) {
  EXPECT_NE(platform_modifiers() & MOD_BUTTON_UP, 0);  // nothing is pressed here
  EXPECT_EQ(platform_modifiers() & (MOD_COMMAND | MOD_SHIFT | MOD_OPTION | MOD_CONTROL), 0);
  platform_set_test_modifiers(true, MOD_COMMAND | MOD_SHIFT);
  EXPECT_EQ(platform_modifiers(), MOD_COMMAND | MOD_SHIFT);
  platform_set_test_modifiers(true, 0);
  EXPECT_EQ(platform_modifiers(), 0);
  platform_set_test_modifiers(false, 0);
  EXPECT_NE(platform_modifiers() & MOD_BUTTON_UP, 0);
}

// Asking the window system for the keys held waits for its answer, and a format asks at every
// step: a thousand asks in a row reach it about once in 20 ms, and input asks afresh.
TEST_F(Modifiers, TheWindowSystemIsAskedOnceInAWhileButAfterInput) {
  const int window = platform_new_window("w", {0, 0, 200, 200}, true);
  const long before = platform_modifier_queries();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 1000; ++i) platform_modifiers();
  const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  EXPECT_LE(platform_modifier_queries() - before, spent.count() / 20 + 1);
  QKeyEvent shift(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
  QCoreApplication::sendEvent(input_window_numbered(window), &shift);
  const long after_input = platform_modifier_queries();
  platform_modifiers();
  EXPECT_EQ(platform_modifier_queries(), after_input + 1);
  platform_dispose_window(window);
}

TEST(Cursor, EveryShapeCanBeShownWithoutADisplay) {
  for (PlatformCursor shape : {CURSOR_WATCH, CURSOR_FORMATTING, CURSOR_IBEAM, CURSOR_ARROW}) {
    platform_show_cursor(shape);
    EXPECT_EQ(platform_cursor_shown(), shape);
  }
}

using Wheel = EventTest;

TEST_F(Wheel, NotchesAndTouchpadPixelsBecomeWheelEventsOfTheWindow) {
  const int window = platform_new_window("w", {0, 0, 200, 200}, true);
  auto* main = static_cast<QMainWindow*>(input_window_numbered(window));
  ASSERT_NE(main, nullptr);
  auto turn = [&](QPoint pixels, QPoint angle, Qt::KeyboardModifiers keys) {
    QWheelEvent wheel(QPointF(50, 60), QPointF(50, 60), pixels, angle, Qt::NoButton, keys,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(main->centralWidget(), &wheel);
    EventRecord e;
    return platform_get_event(event_mask_of(EVENT_WHEEL), 0, &e) ? e : EventRecord{};
  };
  const int line = QApplication::wheelScrollLines() * WHEEL_LINE;
  EventRecord e = turn({}, {0, 120}, Qt::NoModifier);  // a notch away from the user: up
  EXPECT_EQ(e.window, window);
  EXPECT_EQ(e.where, (Point{50, 60}));
  EXPECT_EQ(wheel_distance(e), (Point{0, line}));
  EXPECT_EQ(wheel_distance(turn({}, {0, -120}, Qt::ShiftModifier)), (Point{-line, 0}));
  EXPECT_EQ(wheel_distance(turn({3, -7}, {}, Qt::NoModifier)), (Point{3, -7}));
  // Fractions of a pixel add up.
  EXPECT_EQ(turn({}, {0, 1}, Qt::NoModifier).what, EVENT_NULL);
  EXPECT_EQ(wheel_distance(turn({}, {0, 2}, Qt::NoModifier)), (Point{0, 3 * line / 120}));
  platform_dispose_window(window);
}

using Activation = EventTest;

TEST_F(Activation, TheFloatingWindowsGoWithTheDocumentWindowBroughtForward) {
  const int first = platform_new_window("first", {0, 0, 200, 200}, true);
  const int palette = platform_new_floating_window("palette", {0, 300, 100, 340}, true);
  const int second = platform_new_window("second", {300, 0, 500, 200}, true);
  QWindow* floating = input_window_numbered(palette)->windowHandle();
  ASSERT_NE(floating, nullptr);
  EXPECT_EQ(floating->transientParent(), input_window_numbered(second)->windowHandle());
  // The window system activates the first window (a click on it): the palette follows.
  QWidget* front = input_window_numbered(first);
  QApplication::setActiveWindow(front);
  for (int i = 0; i < 20 && !front->isActiveWindow(); ++i) QCoreApplication::processEvents();
  ASSERT_TRUE(front->isActiveWindow());
  EXPECT_EQ(floating->transientParent(), front->windowHandle());
  EXPECT_TRUE(floating->isVisible());
  // A click on a window (the window system raises it, over the palette too): the palette
  // goes with it, whether or not it becomes active.
  QWindow* clicked = input_window_numbered(second)->windowHandle();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(clicked, &press);
  EXPECT_EQ(floating->transientParent(), clicked);
  for (int window : {first, second, palette}) platform_dispose_window(window);
}

using Buttons = EventTest;

// A press of the middle button is an Option-click, with the other modifiers as they are: the
// window system takes Alt-clicks and Alt-drags for itself.
TEST_F(Buttons, TheMiddleButtonIsASecondOption) {
  const int window = platform_new_window("w", {0, 0, 200, 200}, true);
  auto* main = static_cast<QMainWindow*>(input_window_numbered(window));
  ASSERT_NE(main, nullptr);
  QWidget* content = main->centralWidget();
  for (Qt::KeyboardModifiers keys :
       {Qt::KeyboardModifiers(Qt::NoModifier), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), content->mapToGlobal(QPointF(5, 5)),
                      Qt::MiddleButton, Qt::MiddleButton, keys);
    QCoreApplication::sendEvent(content, &press);
    EventRecord down;
    ASSERT_TRUE(platform_get_event(event_mask_of(EVENT_MOUSE_DOWN), 0, &down));
    EXPECT_TRUE(down.modifiers & MOD_OPTION);
    EXPECT_EQ((down.modifiers & MOD_SHIFT) != 0, keys == Qt::ShiftModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5),
                        content->mapToGlobal(QPointF(5, 5)), Qt::MiddleButton, Qt::NoButton, keys);
    QCoreApplication::sendEvent(content, &release);
    EventRecord up;
    ASSERT_TRUE(platform_get_event(event_mask_of(EVENT_MOUSE_UP), 0, &up));
    EXPECT_FALSE(up.modifiers & MOD_OPTION) << "the Option goes with the button";
  }
  platform_dispose_window(window);
}

using Frames = EventTest;

// A window shown partly past the foot of the screen is brought wholly onto it once framed.
TEST_F(Frames, AWindowShownPastTheScreensFootComesOntoIt) {
  const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
  const int palette = platform_new_floating_window(
      "palette", {0, free.bottom() - 20, 100, free.bottom() + 40}, true);
  QWidget* widget = input_window_numbered(palette);
  ASSERT_NE(widget, nullptr);
  for (int i = 0; i < 100 && widget->frameGeometry().bottom() > free.bottom(); ++i) {
    QCoreApplication::processEvents();
    QThread::msleep(10);
  }
  EXPECT_LE(widget->frameGeometry().bottom(), free.bottom());
  EXPECT_GE(widget->frameGeometry().top(), free.top());
  platform_dispose_window(palette);
}

TEST_F(Frames, TheWindowSystemGrowsADocumentWindowNoLargerThanItsLimits) {
  const int window = platform_new_window("w", {0, 0, 200, 150}, true);
  auto* main = static_cast<QMainWindow*>(input_window_numbered(window));
  ASSERT_NE(main, nullptr);
  platform_set_window_limits(window, {80, 80, 300, 250});
  main->resize(main->width() + 800, main->height() + 800);  // the frame dragged far out
  EXPECT_EQ(main->centralWidget()->width(), 300);
  EXPECT_EQ(main->centralWidget()->height(), 250);
  // A size the program gives stays allowed, even past the limits.
  platform_size_window(window, 420, 160, false);
  EXPECT_EQ(main->centralWidget()->width(), 420);
  platform_dispose_window(window);
}

using HeldKeys = EventTest;

// Repeats of a held key that come as a release and a press at the same moment are repeats.
TEST_F(HeldKeys, APressAtTheMomentOfTheReleaseOfItsKeyIsARepeat) {
  const int window = platform_new_window("w", {0, 0, 200, 200}, true);
  QWidget* main = input_window_numbered(window);
  auto key = [&](QEvent::Type type, quint32 scan, ulong when) {
    QKeyEvent event(type, Qt::Key_Period, Qt::NoModifier, scan, 0, 0, ".");
    event.setTimestamp(when);
    QCoreApplication::sendEvent(main, &event);
    EventRecord e;
    const uint32_t keys =
        event_mask_of(EVENT_KEY_DOWN) | event_mask_of(EVENT_KEY_UP) | event_mask_of(EVENT_AUTO_KEY);
    return platform_get_event(keys, 0, &e) ? e.what : EVENT_NULL;
  };
  EXPECT_EQ(key(QEvent::KeyPress, 60, 1000), EVENT_KEY_DOWN);
  EXPECT_EQ(key(QEvent::KeyRelease, 60, 1500), EVENT_KEY_UP);
  EXPECT_EQ(key(QEvent::KeyPress, 60, 1500), EVENT_AUTO_KEY);
  EXPECT_EQ(key(QEvent::KeyRelease, 60, 1540), EVENT_KEY_UP);
  EXPECT_EQ(key(QEvent::KeyPress, 60, 1560), EVENT_KEY_DOWN);  // pressed again
  EXPECT_EQ(key(QEvent::KeyRelease, 60, 1600), EVENT_KEY_UP);
  EXPECT_EQ(key(QEvent::KeyPress, 61, 1600), EVENT_KEY_DOWN);  // another key
  platform_dispose_window(window);
}

}  // namespace
