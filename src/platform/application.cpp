// application.cpp: the application object and main window over Qt Widgets.
//
// The program runs its own loop: it asks for events with platform_wait_events and never
// enters Qt's exec(), so posted deletions are run here by hand.
#include "platform/application.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QImage>
#include <QMainWindow>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QString>
#include <QTimer>

#include "platform/event_input.h"
#include "platform/port.h"
#include "platform/port_image.h"

namespace {

// The content of a window: shows a port's pixels.
class PortView : public QWidget {
 public:
  explicit PortView(Port* port) : port_(port) { setAttribute(Qt::WA_OpaquePaintEvent); }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (const QImage* image = port_image(port_)) painter.drawImage(QPoint(0, 0), *image);
  }

 private:
  Port* port_;
};

ExitHook exit_hook = nullptr;
QApplication* application = nullptr;
int saved_argc = 0;
QPointer<QMainWindow> main_window;
Port* main_window_port = nullptr;

constexpr int MAIN_WINDOW_WIDTH = 900;
constexpr int MAIN_WINDOW_HEIGHT = 700;

}  // namespace

void platform_start(int argc, char** argv) {
  if (application) return;
  saved_argc = argc;  // QApplication keeps a reference to argc for its life
  application = new QApplication(saved_argc, argv);
  // The toolkit adopts the user's locale; numbers in texts and files keep the decimal point.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setQuitOnLastWindowClosed(false);
}

void platform_open_main_window(const char* title) {
  if (main_window) {
    main_window->show();
    return;
  }
  main_window = new QMainWindow();
  main_window->setWindowTitle(QString::fromUtf8(title));
  main_window_port = port_new_offscreen(MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT);
  auto* view = new PortView(main_window_port);
  port_set_view(main_window_port, view);
  main_window->setCentralWidget(view);
  main_window->resize(MAIN_WINDOW_WIDTH, MAIN_WINDOW_HEIGHT);
  // Its keys and clicks become the program's events.
  input_register_window(main_window, main_window, MAIN_WINDOW_NUMBER);
  main_window->show();
  main_window->activateWindow();
}

Port* platform_main_window_port() { return main_window ? main_window_port : nullptr; }

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
  platform_finish();
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(status);
}
