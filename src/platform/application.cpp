// application.cpp: the application object and main window over Qt Widgets.
//
// The program runs its own loop: it asks for events with platform_wait_events and never
// enters Qt's exec(), so posted deletions are run here by hand.
//
// Built without the toolkit's widgets (VESK_HEADLESS: the program that only prints), the
// application object is the toolkit's GUI application, and there is no main window.
#include "platform/application.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMainWindow>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#ifndef VESK_HEADLESS
#include <QApplication>
#include <QCloseEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QString>
#endif

#include "platform/event_input.h"
#include "platform/port.h"
#include "platform/port_image.h"
#include "platform/window.h"
#ifdef VESK_HEADLESS
#include "platform/print_platform.h"
#endif

// The leak checker of a sanitizer build runs when the process ends normally; a process that
// ends at once asks for it first.
#if defined(__SANITIZE_ADDRESS__)
#define VESK_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VESK_LEAK_CHECK 1
#endif
#endif
#ifdef VESK_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace {

#ifndef VESK_HEADLESS
// The content of a window: shows a port's pixels.
class PortView : public QWidget {
 public:
  explicit PortView(Port* port) : port_(port) { setAttribute(Qt::WA_OpaquePaintEvent); }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (port_) painter.drawImage(QPoint(0, 0), port_shown_image(port_));
  }

 private:
  Port* port_;
};

// The main window: closing it asks the program to quit, as the last window of the program.
class MainWindow : public QMainWindow {
 protected:
  void closeEvent(QCloseEvent* event) override {
    QMainWindow::closeEvent(event);
    platform_post_quit_event();
  }
};

using Application = QApplication;
#else
using Application = QGuiApplication;
#endif

// A signal asking the process to end is written into a pipe, whose reading end the event
// loop watches, so that the quit takes the program's own path on the main thread.
int quit_pipe[2] = {-1, -1};
QSocketNotifier* quit_notifier = nullptr;

void on_quit_signal(int) {
  char byte = 1;
  ssize_t written = write(quit_pipe[1], &byte, 1);
  (void)written;
}

ExitHook exit_hook = nullptr;
Application* application = nullptr;
int saved_argc = 0;
QPointer<QMainWindow> main_window;
Port* main_window_port = nullptr;

#ifndef VESK_HEADLESS
constexpr int MAIN_WINDOW_WIDTH = 900;
constexpr int MAIN_WINDOW_HEIGHT = 700;
#endif

}  // namespace

void platform_start(int argc, char** argv) {
  if (application) return;
  platform_start_font_configuration();
  saved_argc = argc;  // QApplication keeps a reference to argc for its life
#ifdef VESK_HEADLESS
  // A print opens no window: without a platform asked for, it takes the one that keeps windows
  // off any screen, so that it runs where no window system answers (a remote shell, a server).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  platform_use_print_platform();
#endif
  application = new Application(saved_argc, argv);
  // The toolkit adopts the user's locale; numbers in texts and files keep the decimal point.
  std::setlocale(LC_NUMERIC, "C");
  Application::setQuitOnLastWindowClosed(false);
}

void platform_open_main_window(const char* title) {
#ifdef VESK_HEADLESS
  (void)title;  // no window system's window to open
#else
  if (main_window) {
    main_window->show();
    return;
  }
  main_window = new MainWindow();
  main_window->setWindowTitle(QString::fromUtf8(title));
  main_window_port = port_new_offscreen(MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT);
  auto* view = new PortView(main_window_port);
  port_set_view(main_window_port, view);
  main_window->setCentralWidget(view);
  input_attach_menu_bar(main_window);
  main_window->resize(MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT);
  // Its keys and clicks become the program's events.
  input_register_window(main_window, main_window, MAIN_WINDOW_NUMBER);
  main_window->show();
  main_window->activateWindow();
#endif
}

Port* platform_main_window_port() { return main_window ? main_window_port : nullptr; }

bool platform_main_window_open() {
#ifdef VESK_HEADLESS
  return false;
#else
  return main_window && main_window->isVisible();
#endif
}

void platform_close_main_window() {
#ifndef VESK_HEADLESS
  if (main_window) main_window->close();
#endif
}

void platform_hide_main_window() {
#ifndef VESK_HEADLESS
  if (main_window) main_window->hide();
#endif
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
  platform_end_font_configuration();
  delete main_window.data();
  main_window = nullptr;
  if (platform_current_port() == main_window_port) platform_set_port(nullptr);
  port_dispose(main_window_port);
  main_window_port = nullptr;
  delete application;
  application = nullptr;
}

void platform_set_exit_hook(ExitHook hook) { exit_hook = hook; }

namespace {

// Taking apart the address space of a process that ends (its libraries, heap and fonts, some
// fifteen hundred pages) is a good part of a short print, and whoever waits for the print (a
// shell, a script printing a folder) would wait for it too. A process that shares the address
// space and outlives the program by a moment takes it apart instead: it waits for the end of a
// pipe that only the program holds, which the system closes once the program has ended.
// Raw system calls alone: the companion shares the program's memory, not its thread.
int teardown_pipe[2] = {-1, -1};

__attribute__((no_sanitize("address", "undefined"))) int teardown_companion(void*) {
  // Every file the program had open is let go at once but the pipe's end it waits on (the
  // program's output, say, ends with the program for whoever reads it), the pipe's other end
  // first, which alone the wait needs closed.
  syscall(SYS_close, teardown_pipe[1]);
  const unsigned kept = unsigned(teardown_pipe[0]);
  if (kept > 0) syscall(SYS_close_range, 0u, kept - 1, 0u);
  syscall(SYS_close_range, kept + 1, ~0u, 0u);
  // Interrupted by a signal, it ends at once: the program then takes its memory apart itself.
  char byte;
  syscall(SYS_read, teardown_pipe[0], &byte, 1);
  return 0;
}

// Starts the companion; without it (no memory for its stack, no pipe) the program takes its
// address space apart itself, as any process does. Nor is it started under a memory checker
// that runs the program on a machine of its own (loaded before it as a preloaded library),
// which ends the program on such a process.
void hand_over_teardown() {
  const char* preloaded = std::getenv("LD_PRELOAD");
  if (preloaded && std::strstr(preloaded, "vgpreload")) return;
  constexpr size_t STACK = 64 * 1024;
  void* stack = mmap(nullptr, STACK, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (stack == MAP_FAILED || pipe2(teardown_pipe, O_CLOEXEC) != 0) return;
  clone(teardown_companion, static_cast<char*>(stack) + STACK, CLONE_VM | SIGCHLD, nullptr);
}

}  // namespace

void platform_exit(int status) {
  if (exit_hook) {
    exit_hook(status);
    std::abort();  // a hook that returns has broken its promise
  }
  // A program that only printed has shown nothing and holds no file open: once everything
  // written is flushed it ends at once, without taking apart windows, fonts and the
  // application object the system frees anyway.
  if (platform_windows_kept_off_screen()) {
    // The font configuration's thread has long built the fonts.
    platform_end_font_configuration();
#ifdef VESK_LEAK_CHECK
    __lsan_do_leak_check();
#endif
    std::fflush(nullptr);
    hand_over_teardown();
    _exit(status);
  }
  platform_finish();
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status);
}

void platform_catch_quit_signals() {
  if (quit_notifier) return;
  if (pipe2(quit_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  quit_notifier = new QSocketNotifier(quit_pipe[0], QSocketNotifier::Read);
  QObject::connect(quit_notifier, &QSocketNotifier::activated, [] {
    char bytes[16];
    while (read(quit_pipe[0], bytes, sizeof bytes) > 0) {
    }
    platform_post_quit_event();
  });
  struct sigaction action = {};
  action.sa_handler = on_quit_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}
