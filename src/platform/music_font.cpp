// music_font.cpp: loading the embedded music font (Bravura, a SMuFL font).
#include "platform/music_font.h"

#include <QByteArray>
#include <QFontDatabase>
#include <QResource>
#include <QString>
#include <QStringList>

#include "platform/design_outlines.h"

static void register_font_resource() { Q_INIT_RESOURCE(musicfont); }

std::string platform_load_music_font() {
  register_font_resource();
  // The font is handed over where the program holds it, not read into a copy (twice: once to
  // register it, once more to draw with it).
  const QResource resource(QStringLiteral(":/fonts/bravura.otf"));
  if (!resource.isValid()) return {};
  const QByteArray data =
      resource.compressionAlgorithm() == QResource::NoCompression
          ? QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()),
                                    qsizetype(resource.size()))
          : resource.uncompressedData();
  int id = QFontDatabase::addApplicationFontFromData(data);
  if (id < 0) return {};
  note_font_data(data);
  QStringList families = QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? std::string() : families.first().toStdString();
}
