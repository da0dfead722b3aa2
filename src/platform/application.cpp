// application.cpp: the application object and main window over Qt Widgets.
//
// The program runs its own loop: it asks for events with platform_wait_events and never
// enters Qt's exec(), so posted deletions are run here by hand.
//
// Built without the toolkit's widgets (VESK_HEADLESS: the program that only prints), the
// application object is the toolkit's GUI application, and there is no main window.
#include "platform/application.h"

#include <clocale>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <locale.h>
#include <mutex>
#include <signal.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>

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
#include "platform/font_configuration.h"
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

// The system's configuration, read as fontconfig reads it; nullptr when it cannot be read. A
// program that only prints reads its files put together as documents, for a third less work on
// the way to its first page, and its rules only once its fonts are built (left in *rules); the
// program with windows, which lives on while they may change, keeps the names of the files that
// fontconfig reads.
FcConfig* read_system_font_configuration(std::string* rules) {
#ifdef VESK_HEADLESS
  return platform_read_font_configuration(rules);
#else
  rules->clear();
  FcConfig* config = FcConfigCreate();
  if (config && !FcConfigParseAndLoad(config, nullptr, FcTrue)) {
    FcConfigDestroy(config);
    config = nullptr;
  }
  return config;
#endif
}

// The thread reading the font configuration, and how far it has come. A process that ends before
// it used any font (a fuzzing run, an early exit) still waits for it: a thread left running when
// the process ends would end it abnormally.
struct FontConfigurationThread {
  std::thread thread;
  std::mutex lock;
  std::condition_variable changed;
  bool started = false;      // the thread was started
  bool fonts_ready = false;  // the configuration is current, its fonts built
  // The rules a print leaves to read until something asks for them, and the configuration they
  // go to (held); the lock is held while they are read.
  std::mutex rules_lock;
  std::string rules;
  FcConfig* rules_config = nullptr;
  void mark(bool* ready) {
    {
      std::lock_guard held(lock);
      *ready = true;
    }
    changed.notify_all();
  }
  void wait(const bool* ready) {
    std::unique_lock held(lock);
    changed.wait(held, [&] { return !started || *ready; });
  }
  ~FontConfigurationThread() {
    if (thread.joinable()) thread.join();
  }
} font_configuration;

// The system's font configuration made the program's current one, as fontconfig's own start
// makes it, but for the descriptions of the configuration files a system offers without using
// them, which fontconfig also reads at its start (a third of its work) only to list them. A
// configuration that names no font cache is left to fontconfig's start, which adds its own. The
// rules left to read once the fonts are built are read when platform_wait_font_rules first asks
// for them: most prints never substitute, match or look for a fallback with the system's
// configuration, and reading the rules was a seventh of a one-page print's work.
void load_font_configuration() {
  std::string rules;
  FcConfig* config = read_system_font_configuration(&rules);
  bool loaded = config != nullptr;
  if (loaded) {
    FcStrList* caches = FcConfigGetCacheDirs(config);
    loaded = caches && FcStrListNext(caches);
    if (caches) FcStrListDone(caches);
  }
  loaded = loaded && FcConfigBuildFonts(config) && FcConfigSetCurrent(config);
  if (!loaded) FcInit();
  if (loaded && !rules.empty()) {
    std::lock_guard held(font_configuration.rules_lock);
    font_configuration.rules = std::move(rules);
    font_configuration.rules_config = FcConfigReference(config);
  }
  if (config) FcConfigDestroy(config);  // the current configuration keeps its own hold
  font_configuration.mark(&font_configuration.fonts_ready);
}

// Reads the font configuration (every configuration file and font cache of fontconfig, which the
// toolkit reads at its first use of fonts, once for the whole program). It runs on a thread of its
// own while the application object is made and the program starts, up to its first use of fonts,
// in the C locale set for the thread alone: the application object changes the program's locale
// meanwhile. The C locale is the one the C library holds without reading files: the user's would
// be loaded under the lock the application object's own setlocale then waits for. Fontconfig
// reads its numbers with a decimal point as the program does; only the wording of its warnings
// would follow the user's language.
void read_font_configuration() {
  const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  if (locale) uselocale(locale);
  load_font_configuration();
  if (locale) {
    uselocale(LC_GLOBAL_LOCALE);
    freelocale(locale);
  }
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
  {
    std::lock_guard held(font_configuration.lock);
    font_configuration.started = true;
  }
  font_configuration.thread = std::thread(read_font_configuration);
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

void platform_wait_font_configuration() {
  font_configuration.wait(&font_configuration.fonts_ready);
}

void platform_wait_font_rules() {
  font_configuration.wait(&font_configuration.fonts_ready);
  std::lock_guard held(font_configuration.rules_lock);
  FcConfig* const config = std::exchange(font_configuration.rules_config, nullptr);
  if (!config) return;
  platform_read_font_rules(config, font_configuration.rules);
  std::string().swap(font_configuration.rules);
  FcConfigDestroy(config);
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
  if (font_configuration.thread.joinable()) font_configuration.thread.join();
  delete main_window.data();
  main_window = nullptr;
  if (platform_current_port() == main_window_port) platform_set_port(nullptr);
  port_dispose(main_window_port);
  main_window_port = nullptr;
  delete application;
  application = nullptr;
}

void platform_set_exit_hook(ExitHook hook) { exit_hook = hook; }

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
    if (font_configuration.thread.joinable()) font_configuration.thread.join();
#ifdef VESK_LEAK_CHECK
    __lsan_do_leak_check();
#endif
    std::fflush(nullptr);
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
