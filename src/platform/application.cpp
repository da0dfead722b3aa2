// application.cpp: the application object and main window over Qt Widgets.
//
// The program runs its own loop: it asks for events with platform_wait_events and never
// enters Qt's exec(), so posted deletions are run here by hand.
#include "platform/application.h"

#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

namespace {
ExitHook exit_hook = nullptr;
QApplication* application = nullptr;
int saved_argc = 0;
QPointer<QMainWindow> main_window;
}  // namespace

void platform_start(int argc, char** argv) {
  if (application) return;
  saved_argc = argc;  // QApplication keeps a reference to argc for its life
  application = new QApplication(saved_argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
}

void platform_open_main_window(const char* title) {
  if (main_window) return;
  main_window = new QMainWindow();
  main_window->setWindowTitle(QString::fromUtf8(title));
  main_window->resize(900, 700);
  main_window->show();
  main_window->activateWindow();
}

bool platform_main_window_open() { return main_window && main_window->isVisible(); }

void platform_close_main_window() {
  if (main_window) main_window->close();
}

void platform_wait_events(int timeout_ms) {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QTimer wake;
  wake.setSingleShot(true);
  wake.start(timeout_ms);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void platform_finish() {
  delete main_window.data();
  main_window = nullptr;
  delete application;
  application = nullptr;
}

void platform_set_exit_hook(ExitHook hook) { exit_hook = hook; }

void platform_exit(int status) {
  if (exit_hook) {
    exit_hook(status);
    std::abort();  // a hook that returns has broken its promise
  }
  platform_finish();
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status);
}
