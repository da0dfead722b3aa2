// admitted_window_test.cpp: a dialog that admits one other window (the Record dialog and the
// piano window): on a display, the window system no longer holds that window back, and the
// program's input filter lets its clicks through while it still drops those of the others.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

#include "platform/dialogs.h"
#include "platform/event_input.h"
#include "platform/events.h"
#include "platform/window.h"

namespace {

// Whether the window system last said the window is held back by a modal window.
class BlockWatch : public QObject {
 public:
  bool blocked = false;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::WindowBlocked) blocked = true;
    if (event->type() == QEvent::WindowUnblocked) blocked = false;
    return false;
  }
};

constexpr int RECORD_DIALOG = 27029;

// A press and release of the mouse on a window's content; the window of the mouse-down event
// it gave, 0 none.
int click(int window) {
  platform_flush_events(EVERY_EVENT);
  QWidget* top = input_window_numbered(window);
  QWidget* content = top->findChild<QWidget*>() ? top->childAt(5, 5) : nullptr;
  if (!content) content = top;
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
    QMouseEvent mouse(type, QPointF(5, 5), content->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(content, &mouse);
  }
  EventRecord e;
  return platform_get_event(event_mask_of(EVENT_MOUSE_DOWN), 0, &e) ? e.window : 0;
}

TEST(AdmittedWindow, OnlyTheWindowTheDialogAdmitsTakesClicksWhileItIsUp) {
  const int document = platform_new_window("piece", {0, 0, 200, 200}, true);
  const int piano = platform_new_floating_window("piano", {0, 300, 200, 360}, true);
  BlockWatch watch;
  input_window_numbered(piano)->installEventFilter(&watch);
  DialogRef dialog = platform_open_dialog(RECORD_DIALOG, true);
  ASSERT_NE(dialog, nullptr);
  QCoreApplication::processEvents();
  EXPECT_TRUE(watch.blocked) << "a dialog holds back every other window";
  EXPECT_EQ(click(piano), 0);

  platform_dialog_admit_window(dialog, piano);
  QCoreApplication::processEvents();
  EXPECT_FALSE(watch.blocked);
  EXPECT_EQ(click(piano), piano);
  EXPECT_EQ(click(document), 0) << "the other windows are still held back";

  platform_close_dialog(dialog);
  EXPECT_EQ(click(document), document);
  input_window_numbered(piano)->removeEventFilter(&watch);
  for (int window : {document, piano}) platform_dispose_window(window);
}

}  // namespace
