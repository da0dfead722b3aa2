// clipboard.cpp: the system clipboard through Qt's clipboard, and pictures of the page recorded
// from a drawing port that hands its shapes and texts both to a PDF page and to an image.
#include "platform/clipboard.h"

#include <cstdio>
#include <memory>

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QString>

#include "platform/pdf_writer.h"
#include "platform/port.h"
#include "platform/port_sink.h"

namespace {

// Marks the data this program put on the clipboard.
const char* const OWNER_TYPE = "application/x-vesk";

QClipboard* clipboard() {
  return QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr;
}

}  // namespace

struct PictureRecording {
  std::FILE* file = nullptr;
  PdfWriter* pdf = nullptr;
  QImage image;
  std::unique_ptr<QPainter> painter;
  Port* port = nullptr;
};

namespace {

void picture_fill(void* context, const QPainterPath& shape, QRgb colour, const QRectF& clip) {
  auto* p = static_cast<PictureRecording*>(context);
  pdf_writer_fill(p->pdf, shape, colour, clip);
  p->painter->save();
  if (!clip.isEmpty()) p->painter->setClipRect(clip, Qt::IntersectClip);
  p->painter->fillPath(shape, QColor::fromRgba(colour));
  p->painter->restore();
}

void picture_text(void* context, const SinkText& text, QRgb colour, const QRectF& clip) {
  auto* p = static_cast<PictureRecording*>(context);
  pdf_writer_text(p->pdf, text, colour, clip);
  p->painter->save();
  if (!clip.isEmpty()) p->painter->setClipRect(clip, Qt::IntersectClip);
  p->painter->setPen(QColor::fromRgba(colour));
  port_note_text_drawn();
  for (const SinkTextRun& run : text.runs) {
    p->painter->setFont(run.font);
    p->painter->drawText(QPointF(text.x + run.dx, text.y + run.dy), run.text);
  }
  p->painter->restore();
}

void dispose(PictureRecording* p) {
  if (p->port) port_dispose(p->port);
  if (p->painter && p->painter->isActive()) p->painter->end();
  if (p->pdf) pdf_writer_dispose(p->pdf);
  if (p->file) std::fclose(p->file);
  delete p;
}

}  // namespace

void platform_clipboard_set_text(const std::string& utf8) {
  QClipboard* c = clipboard();
  if (!c) return;
  auto* data = new QMimeData;
  data->setText(QString::fromStdString(utf8));
  data->setData(OWNER_TYPE, QByteArray("1"));
  c->setMimeData(data);
}

std::string platform_clipboard_text() {
  QClipboard* c = clipboard();
  return c ? c->text().toStdString() : std::string();
}

bool platform_clipboard_has_image() {
  QClipboard* c = clipboard();
  const QMimeData* data = c ? c->mimeData() : nullptr;
  return data && data->hasImage();
}

void platform_clipboard_clear() {
  if (QClipboard* c = clipboard()) c->clear();
}

bool platform_clipboard_has_foreign_text_or_picture() {
  QClipboard* c = clipboard();
  const QMimeData* data = c ? c->mimeData() : nullptr;
  if (!data || data->hasFormat(OWNER_TYPE)) return false;
  return data->hasText() || data->hasImage() || data->hasFormat("application/pdf");
}

std::vector<std::string> platform_clipboard_formats() {
  std::vector<std::string> formats;
  QClipboard* c = clipboard();
  if (const QMimeData* data = c ? c->mimeData() : nullptr)
    for (const QString& f : data->formats()) formats.push_back(f.toStdString());
  return formats;
}

std::string platform_clipboard_data(const std::string& mime_type) {
  QClipboard* c = clipboard();
  const QMimeData* data = c ? c->mimeData() : nullptr;
  if (!data) return {};
  const QByteArray bytes = data->data(QString::fromStdString(mime_type));
  return std::string(bytes.constData(), size_t(bytes.size()));
}

PictureRecording* platform_picture_begin(Rect frame, int drawing_width, int drawing_height,
                                         double points_per_pixel) {
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  if (w <= 0 || h <= 0 || drawing_width <= 0 || drawing_height <= 0) return nullptr;
  auto* p = new PictureRecording;
  p->file = std::tmpfile();
  if (!p->file) {
    dispose(p);
    return nullptr;
  }
  PdfPageSetup setup;
  setup.media_width = w * points_per_pixel;
  setup.media_height = h * points_per_pixel;
  setup.origin_x = -frame.left * points_per_pixel;
  setup.origin_y = -frame.top * points_per_pixel;
  setup.points_per_pixel = points_per_pixel;
  p->pdf = pdf_writer_begin(p->file, setup);
  pdf_writer_begin_page(p->pdf);
  p->image = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
  p->image.fill(Qt::white);
  p->painter = std::make_unique<QPainter>(&p->image);
  p->painter->setRenderHint(QPainter::Antialiasing);
  p->painter->setRenderHint(QPainter::TextAntialiasing);
  p->painter->translate(-frame.left, -frame.top);
  p->port =
      port_new_on_sink({p, picture_fill, nullptr, picture_text}, drawing_width, drawing_height);
  return p;
}

Port* platform_picture_port(PictureRecording* picture) { return picture ? picture->port : nullptr; }

long platform_picture_end_to_clipboard(PictureRecording* p) {
  if (!p) return -1;
  p->painter->end();
  const bool written = pdf_writer_end_page(p->pdf) && pdf_writer_end(p->pdf);
  QByteArray pdf;
  if (written && std::fflush(p->file) == 0 && std::fseek(p->file, 0, SEEK_END) == 0) {
    const long length = std::ftell(p->file);
    if (length > 0 && std::fseek(p->file, 0, SEEK_SET) == 0) {
      pdf.resize(length);
      if (std::fread(pdf.data(), 1, size_t(length), p->file) != size_t(length)) pdf.clear();
    }
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  const bool encoded = p->image.save(&buffer, "PNG");
  const long size = long(pdf.size() + png.size());
  QClipboard* c = clipboard();
  const bool ok = c && encoded && !pdf.isEmpty();
  if (ok) {
    auto* data = new QMimeData;
    data->setData("application/pdf", pdf);
    data->setData("image/png", png);
    data->setData(OWNER_TYPE, QByteArray("1"));
    c->setMimeData(data);
  }
  dispose(p);
  return ok ? size : -1;
}
