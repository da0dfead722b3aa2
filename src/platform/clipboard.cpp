// clipboard.cpp: the system clipboard's plain text through the desktop's clipboard.
#include "platform/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QString>

void platform_clipboard_set_text(const std::string& utf8) {
  if (!qGuiApp) return;
  QGuiApplication::clipboard()->setText(QString::fromStdString(utf8));
}

std::string platform_clipboard_text() {
  if (!qGuiApp) return {};
  return QGuiApplication::clipboard()->text().toStdString();
}

bool platform_clipboard_has_image() {
  if (!qGuiApp) return false;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasImage();
}
