// beep.cpp: the system beep, counted so that tests can see it sounded.
#include "platform/beep.h"

#include <atomic>

#include <QApplication>
#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include "platform/event_input.h"

namespace {
std::atomic<int> beeps{0};
}

void platform_beep() {
  ++beeps;
  if (!input_window_system_usable() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return;
  if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
    QApplication::beep();
  } else {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QApplication::beep(); }, Qt::QueuedConnection);
  }
}

int platform_beeps_sounded() { return beeps; }
