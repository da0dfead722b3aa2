// beep.cpp: the system beep, counted so that tests can see it sounded. Built without the
// toolkit's widgets (VESK_HEADLESS: the program that only prints), it is counted alone.
#include "platform/beep.h"

#include <atomic>

#ifndef VESK_HEADLESS
#include <QApplication>
#endif
#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include "platform/event_input.h"

namespace {
std::atomic<int> beeps{0};
}

void platform_beep() {
  ++beeps;
#ifndef VESK_HEADLESS
  if (!input_window_system_usable() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return;
  if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
    QApplication::beep();
  } else {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QApplication::beep(); }, Qt::QueuedConnection);
  }
#endif
}

int platform_beeps_sounded() { return beeps; }
