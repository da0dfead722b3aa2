// fonts.cpp: the font registry.
//
// A few fonts have fixed numbers and names and are drawn by stand-ins: the text fonts by
// installed families, the music fonts by the embedded music font. Every other installed
// family is registered under its own name with a number in 1024..31999 derived from the name
// alone (a hash), so the same family gets the same number on every machine unless two names
// collide; a collision is settled by probing upward in sorted-name order.
//
// The registry is built on first use (it needs the application object) or by
// platform_init_fonts.
#include "platform/fonts.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QString>
#include <QStringList>

#include "platform/application.h"
#include "platform/font_families.h"
#include "platform/music_font.h"

namespace {

enum class StandIn { TEXT_FAMILY, MUSIC_FONT, NONE };

struct FixedFont {
  int number;
  const char* name;
  StandIn stand_in;
  const char* family;  // the installed family that draws it (TEXT_FAMILY)
};

constexpr FixedFont FIXED_FONTS[] = {
    {FONT_GENEVA, "Geneva", StandIn::TEXT_FAMILY, "DejaVu Sans"},
    {FONT_MONACO, "Monaco", StandIn::TEXT_FAMILY, "DejaVu Sans Mono"},
    {FONT_TIMES, "Times", StandIn::TEXT_FAMILY, "Liberation Serif"},
    {FONT_SYMBOL, "Symbol", StandIn::TEXT_FAMILY, "Standard Symbols PS"},
    {FONT_QUOR, "Quor", StandIn::MUSIC_FONT, nullptr},
    {FONT_SAYL, "Sayl", StandIn::MUSIC_FONT, nullptr},
    {FONT_SONATA, "Sonata", StandIn::MUSIC_FONT, nullptr},
    {FONT_SIMPLIFIED_NOTATION, "Simplified Music Notation", StandIn::MUSIC_FONT, nullptr},
};

// The system font is drawn as Geneva.
constexpr int SYSTEM_FONT_AS = FONT_GENEVA;

constexpr int FIRST_DERIVED_NUMBER = 1024;
constexpr int LAST_DERIVED_NUMBER = 31999;

struct Registry {
  bool built = false;
  std::string music_family;            // empty when the music font did not load
  std::set<std::string> families;      // every installed family
  std::map<std::string, int> numbers;  // derived numbers of the other families
  std::map<int, std::string> names;    // and back
  int generation = 0;                  // times built
};

Registry registry;

const FixedFont* fixed_font(int number) {
  if (number == FONT_SYSTEM) number = SYSTEM_FONT_AS;
  for (const FixedFont& font : FIXED_FONTS)
    if (font.number == number) return &font;
  return nullptr;
}

const FixedFont* fixed_font_named(const std::string& name) {
  for (const FixedFont& font : FIXED_FONTS)
    if (name == font.name) return &font;
  return nullptr;
}

uint32_t name_hash(const std::string& name) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (unsigned char c : name) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}

int derived_number(const std::string& name, const std::map<int, std::string>& taken) {
  const int span = LAST_DERIVED_NUMBER - FIRST_DERIVED_NUMBER + 1;
  int slot = static_cast<int>(name_hash(name) % static_cast<uint32_t>(span));
  while (taken.count(FIRST_DERIVED_NUMBER + slot)) slot = (slot + 1) % span;
  return FIRST_DERIVED_NUMBER + slot;
}

void load_music_font_once() {
  if (!registry.music_family.empty() &&
      QFontDatabase::families().contains(QString::fromStdString(registry.music_family)))
    return;
  registry.music_family = platform_load_music_font();
}

void set_substitutions() {
  for (const FixedFont& font : FIXED_FONTS)
    if (font.stand_in == StandIn::TEXT_FAMILY)
      QFont::insertSubstitution(QString::fromLatin1(font.name), QString::fromLatin1(font.family));
}

Registry& built_registry() {
  if (!registry.built && qGuiApp) platform_init_fonts();
  return registry;
}

bool stand_in_installed(const FixedFont& font) {
  const Registry& r = built_registry();
  switch (font.stand_in) {
    case StandIn::TEXT_FAMILY:
      return r.families.count(font.family) > 0;
    case StandIn::MUSIC_FONT:
      return !r.music_family.empty();
    case StandIn::NONE:
      return false;
  }
  return false;
}

// A family that several foundries offer is listed once for each, as "Name [foundry]"; it is
// one font for us, and the plain name draws it.
QString family_without_foundry(const QString& family) {
  if (!family.endsWith(QLatin1Char(']'))) return family;
  const qsizetype bracket = family.lastIndexOf(QLatin1String(" ["));
  return bracket > 0 ? family.left(bracket) : family;
}

bool precedes_in_menu(const FontEntry& a, const FontEntry& b) {
  int order =
      QString::fromStdString(a.name).compare(QString::fromStdString(b.name), Qt::CaseInsensitive);
  return order != 0 ? order < 0 : a.name < b.name;
}

}  // namespace

void platform_init_fonts() {
  if (!qGuiApp) return;
  // While the configuration is still being read.
  platform_prepare_music_font();
  platform_wait_font_configuration();
  // The stand-ins first: a font database that lists fonts lazily registers them at once.
  set_substitutions();
  load_music_font_once();

  QStringList installed = QFontDatabase::families();
  std::vector<std::string> sorted;
  for (const QString& family : installed) {
    if (QFontDatabase::isPrivateFamily(family)) continue;
    sorted.push_back(family_without_foundry(family).toStdString());
  }
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());

  registry.families = std::set<std::string>(sorted.begin(), sorted.end());
  registry.numbers.clear();
  registry.names.clear();
  for (const std::string& family : sorted) {
    // The music font is reached only through the music font numbers, and a family that
    // happens to bear a fixed name is that fixed font.
    if (family == registry.music_family || fixed_font_named(family)) continue;
    int number = derived_number(family, registry.names);
    registry.numbers[family] = number;
    registry.names[number] = family;
  }
  registry.built = true;
  ++registry.generation;
}

int platform_font_registry_generation() { return registry.generation; }

int platform_font_number(const std::string& name) {
  if (const FixedFont* font = fixed_font_named(name))
    return stand_in_installed(*font) ? font->number : -1;
  const Registry& r = built_registry();
  auto it = r.numbers.find(name);
  return it == r.numbers.end() ? -1 : it->second;
}

std::string platform_font_name(int number) {
  if (const FixedFont* font = fixed_font(number)) return font->name;
  const Registry& r = built_registry();
  auto it = r.names.find(number);
  return it == r.names.end() ? std::string() : it->second;
}

bool platform_font_installed(int number) {
  if (number == FONT_SYSTEM) return true;  // something always draws it
  if (const FixedFont* font = fixed_font(number)) return stand_in_installed(*font);
  return built_registry().names.count(number) > 0;
}

std::vector<FontEntry> platform_font_list() {
  const Registry& r = built_registry();
  std::vector<FontEntry> list;
  for (const FixedFont& font : FIXED_FONTS)
    if (stand_in_installed(font)) list.push_back({font.number, font.name});
  for (const auto& [number, name] : r.names) list.push_back({number, name});
  std::sort(list.begin(), list.end(), precedes_in_menu);
  return list;
}

std::string platform_font_family(int number) {
  if (const FixedFont* font = fixed_font(number)) {
    if (!stand_in_installed(*font)) return {};
    return font->stand_in == StandIn::MUSIC_FONT ? built_registry().music_family
                                                 : std::string(font->family);
  }
  const Registry& r = built_registry();
  auto it = r.names.find(number);
  return it == r.names.end() ? std::string() : it->second;
}

bool platform_is_music_font(int number) {
  return number == FONT_QUOR || number == FONT_SAYL || number == FONT_SONATA ||
         number == FONT_SIMPLIFIED_NOTATION;
}
