// cursors.cpp: the cursor shapes, shown over every window as the application's override
// cursor. The formatting cursor is our own: a small page with a bent corner and lines of
// music on it, drawn once.
#include "platform/cursors.h"

#include <QBitmap>
#include <QColor>
#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>

namespace {
PlatformCursor shown_shape = CURSOR_ARROW;
bool override_set = false;

QCursor formatting_cursor() {
  QPixmap page(16, 16);
  page.fill(Qt::transparent);
  {
    QPainter painter(&page);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    const QPoint outline[] = {{2, 0}, {10, 0}, {14, 4}, {14, 15}, {2, 15}};
    painter.drawPolygon(outline, 5);
    painter.drawLine(10, 0, 10, 4);
    painter.drawLine(10, 4, 14, 4);
    for (int y = 6; y <= 12; y += 3) painter.drawLine(4, y, 12, y);
  }
  return QCursor(page, 8, 8);
}

QCursor cursor_of(PlatformCursor shape) {
  switch (shape) {
    case CURSOR_IBEAM:
      return QCursor(Qt::IBeamCursor);
    case CURSOR_WATCH:
      return QCursor(Qt::WaitCursor);
    case CURSOR_FORMATTING:
      return formatting_cursor();
    case CURSOR_ARROW:
      break;
  }
  return QCursor(Qt::ArrowCursor);
}
}  // namespace

void platform_show_cursor(PlatformCursor shape) {
  shown_shape = shape;
  if (!qGuiApp) return;
  const QCursor cursor = cursor_of(shape);
  if (override_set && QGuiApplication::overrideCursor()) {
    QGuiApplication::changeOverrideCursor(cursor);
  } else {
    QGuiApplication::setOverrideCursor(cursor);
    override_set = true;
  }
}

PlatformCursor platform_cursor_shown() { return shown_shape; }
