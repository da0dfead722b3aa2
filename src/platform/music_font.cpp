// music_font.cpp: loading the embedded music font (Bravura, a SMuFL font).
#include "platform/music_font.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>

static void register_font_resource() { Q_INIT_RESOURCE(musicfont); }

std::string platform_load_music_font() {
  register_font_resource();
  int id = QFontDatabase::addApplicationFont(QStringLiteral(":/fonts/bravura.otf"));
  if (id < 0) return {};
  QStringList families = QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? std::string() : families.first().toStdString();
}
