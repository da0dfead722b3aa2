// print_platform.cpp: the toolkit's platform for a program that only prints, built into the
// program (see print_platform.h).
//
// The toolkit finds a platform by reading the description of every plug-in in its folder of
// platforms, then loads the one asked for; this one is registered with the toolkit as a plug-in
// of the program's own, and the folders of plug-ins are not looked through. It does what the
// toolkit's own platform that keeps windows off the screen does for a program that draws only
// into images: one screen of 800 by 800 pixels at 96 dots per inch, the same theme, windows and
// backing stores of the toolkit's generic kinds, and the same fonts.
//
// The fonts: the toolkit's font database lists every font of the configuration, and registers
// every one of them with its languages, styles and file, before the first font is matched,
// although a print uses a handful. This one lists the configuration's family names alone, and
// registers at once the fonts the program added and the families standing in for others, with
// the toolkit's own code, in the order the full list has them; a print that asks for any other
// family has every font registered then, as the toolkit would have at the start. The rules of the
// configuration are not read when the fonts are registered: whatever substitutes, matches or
// looks for fallbacks has them read first.
#include "platform/print_platform.h"

#include <atomic>
#include <fontconfig/fontconfig.h>
#include <map>
#include <set>
#include <vector>

#include <QCoreApplication>
#include <QFont>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QtGui/private/qfontconfigdatabase_p.h>
#include <QtGui/private/qgenericunixeventdispatcher_p.h>
#include <qpa/qplatformbackingstore.h>
#include <qpa/qplatformintegration.h>
#include <qpa/qplatformintegrationplugin.h>
#include <qpa/qplatformscreen.h>
#include <qpa/qplatformtheme.h>
#include <qpa/qplatformwindow.h>
#include <qpa/qwindowsysteminterface.h>

#include "platform/application.h"

namespace {

constexpr char PLATFORM_NAME[] = "offscreen";

// A font of the configuration, as its family names make it known to the toolkit.
struct ListedFont {
  FcPattern* pattern;
  std::vector<QString> names;  // every family name it bears, folded: the toolkit's families
                               // are told apart whatever the case
};

class LazyFontDatabase : public QFontconfigDatabase {
 public:
  ~LazyFontDatabase() override { forget(); }

  // Runs when fonts are first used, on the main thread while it is the only one using fonts
  // (start-up; the font configuration's thread is waited for first).
  void populateFontDatabase() override {
    forget();
    platform_wait_font_configuration();
    config_ = FcConfigReference(nullptr);
    if (!config_) return;
    for (FcSetName set : {FcSetSystem, FcSetApplication}) {
      const FcFontSet* fonts = FcConfigGetFonts(config_, set);
      for (int i = 0; fonts && i < fonts->nfont; ++i) list(fonts->fonts[i]);
    }
    // The generic families the toolkit adds itself, with no file.
    QSupportedWritingSystems latin;
    latin.setSupported(QFontDatabase::Latin);
    for (const auto& [name, fixed] :
         {std::pair{"Serif", false}, std::pair{"Sans Serif", false}, std::pair{"Monospace", true}})
      for (QFont::Style style : {QFont::StyleNormal, QFont::StyleItalic, QFont::StyleOblique})
        registerFont(QString::fromLatin1(name), QString(), QString(), QFont::Normal, style,
                     QFont::Unstretched, true, true, 0, fixed, latin, nullptr);
    // The fonts the program added, registered before any the toolkit is handed afterwards, as
    // the toolkit registers them, and the families that stand in for others.
    std::set<size_t> chosen;
    const FcFontSet* added = FcConfigGetFonts(config_, FcSetApplication);
    for (int i = 0; added && i < added->nfont; ++i)
      for (const ListedFont& font : fonts_)
        if (font.pattern == added->fonts[i] && !font.names.empty())
          choose(font.names.front(), &chosen);
    for (const QString& name : QFont::substitutions())
      for (const QString& family : QFont::substitutes(name)) choose(family.toCaseFolded(), &chosen);
    register_fonts(chosen);
  }

  // Any other family: every font is registered, as the toolkit registers them (the threads that
  // draw pages may be using fonts by then, and the configuration is not set aside).
  void populateFamily(const QString&) override { populate_all(); }

  bool populateFamilyAliases(const QString& missing) override {
    if (all_ || !by_name_.count(missing.toCaseFolded())) return false;
    populate_all();
    return true;
  }

  void invalidate() override {
    forget();
    QFontconfigDatabase::invalidate();
  }

  // What substitutes, matches or looks for fallbacks with the system's configuration has its
  // rules read first (most prints never do). An engine loaded with the configuration set aside
  // (the port's plain fonts) runs none of them.
  QFontEngine* fontEngine(const QFontDef& font, void* handle) override {
    wait_for_rules();
    return QFontconfigDatabase::fontEngine(font, handle);
  }
  QFontEngine* fontEngine(const QByteArray& data, qreal pixel_size,
                          QFont::HintingPreference hinting) override {
    wait_for_rules();
    return QFontconfigDatabase::fontEngine(data, pixel_size, hinting);
  }
  QStringList fallbacksForFamily(const QString& family, QFont::Style style, QFont::StyleHint hint,
                                 QChar::Script script) const override {
    wait_for_rules();
    return QFontconfigDatabase::fallbacksForFamily(family, style, hint, script);
  }
  QString resolveFontFamilyAlias(const QString& family) const override {
    wait_for_rules();
    return QFontconfigDatabase::resolveFontFamilyAlias(family);
  }
  QFont defaultFont() const override {
    wait_for_rules();
    return QFontconfigDatabase::defaultFont();
  }

 private:
  void wait_for_rules() const {
    if (rules_read_) return;
    FcConfig* const current = FcConfigReference(nullptr);
    const bool set_aside = config_ && current && current != config_;
    if (current) FcConfigDestroy(current);
    if (set_aside) return;
    platform_wait_font_rules();
    rules_read_ = true;
  }

  void populate_all() {
    if (all_ || !config_) return;
    wait_for_rules();
    all_ = true;
    // Where another configuration is current for a moment (the port loads some engines with a
    // bare one, holding every other thread off the fonts), the one listed is set back.
    FcConfig* const current = FcConfigReference(nullptr);
    if (current == config_) {
      QFontconfigDatabase::populateFontDatabase();
    } else if (current && FcConfigSetCurrent(config_)) {
      QFontconfigDatabase::populateFontDatabase();
      FcConfigSetCurrent(current);
    }
    if (current) FcConfigDestroy(current);
  }

  // Notes a font as the toolkit's full list would hold it, and registers the families it
  // makes by name.
  void list(FcPattern* pattern) {
    FcBool variable = FcFalse;
    // The full list holds a variable font's named instances, not the font itself.
    if (FcPatternGetBool(pattern, FC_VARIABLE, 0, &variable) != FcResultMatch ||
        (variable != FcFalse && variable < FcDontCare))
      return;
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, FC_FAMILY, 0, &value) != FcResultMatch) return;
    ListedFont font{pattern, {}};
    // Fonts of one family mostly follow one another.
    const QString family = QString::fromUtf8(reinterpret_cast<const char*>(value));
    if (family != last_family_) {
      registerFontFamily(family);
      last_family_ = family;
      last_folded_ = family.toCaseFolded();
    }
    font.names.push_back(last_folded_);
    if (FcPatternGetString(pattern, FC_FAMILY, 1, &value) == FcResultMatch) {
      QString style, language;
      if (FcPatternGetString(pattern, FC_STYLE, 0, &value) == FcResultMatch)
        style = QString::fromUtf8(reinterpret_cast<const char*>(value));
      if (FcPatternGetString(pattern, FC_FAMILYLANG, 0, &value) == FcResultMatch)
        language = QString::fromUtf8(reinterpret_cast<const char*>(value));
      for (int k = 1; FcPatternGetString(pattern, FC_FAMILY, k, &value) == FcResultMatch; ++k) {
        const QString other = QString::fromUtf8(reinterpret_cast<const char*>(value));
        // Another name is a family of its own when it names the same language's family with
        // another style, else an alias of the first, known once that is registered.
        QString other_style = style, other_language = language;
        if (FcPatternGetString(pattern, FC_STYLE, k, &value) == FcResultMatch)
          other_style = QString::fromUtf8(reinterpret_cast<const char*>(value));
        if (FcPatternGetString(pattern, FC_FAMILYLANG, k, &value) == FcResultMatch)
          other_language = QString::fromUtf8(reinterpret_cast<const char*>(value));
        if (language == other_language && other_style != style) registerFontFamily(other);
        font.names.push_back(other.toCaseFolded());
      }
    }
    for (const QString& name : font.names) by_name_[name].push_back(fonts_.size());
    fonts_.push_back(std::move(font));
  }

  // Chooses every font bearing the family's name, and every font bearing a name of those (the
  // toolkit registers a font under each of its names).
  void choose(const QString& family, std::set<size_t>* chosen) {
    if (populated_.count(family) || !by_name_.count(family)) return;
    std::vector<QString> names{family};
    populated_.insert(family);
    while (!names.empty()) {
      const QString name = names.back();
      names.pop_back();
      auto it = by_name_.find(name);
      if (it == by_name_.end()) continue;
      for (size_t index : it->second) {
        if (!chosen->insert(index).second) continue;
        for (const QString& other : fonts_[index].names)
          if (populated_.insert(other).second) names.push_back(other);
      }
    }
  }

  // The toolkit registers the fonts chosen from a configuration holding them alone, in the order
  // of the configuration, made current for the moment: its full list of them keeps the order it
  // has in the full list of all.
  void register_fonts(const std::set<size_t>& chosen) {
    if (chosen.empty()) return;
    FcConfig* alone = FcConfigCreate();
    if (!alone) return;
    FcFontSet* set = nullptr;
    if (FcConfigBuildFonts(alone)) {
      FcConfigAppFontAddFile(alone, reinterpret_cast<const FcChar8*>(":/non-existent"));
      set = FcConfigGetFonts(alone, FcSetApplication);
    }
    for (size_t index : chosen) {
      if (!set) break;
      FcPatternReference(fonts_[index].pattern);
      if (!FcFontSetAdd(set, fonts_[index].pattern)) FcPatternDestroy(fonts_[index].pattern);
    }
    FcConfig* const current = FcConfigReference(nullptr);  // kept while set aside
    if (set && current && FcConfigSetCurrent(alone)) {
      QFontconfigDatabase::populateFontDatabase();
      FcConfigSetCurrent(current);
    }
    if (current) FcConfigDestroy(current);
    FcConfigDestroy(alone);
  }

  void forget() {
    all_ = false;
    last_family_.clear();
    last_folded_.clear();
    fonts_.clear();
    by_name_.clear();
    populated_.clear();
    if (config_) FcConfigDestroy(config_);
    config_ = nullptr;
  }

  FcConfig* config_ = nullptr;                    // the configuration listed
  mutable std::atomic<bool> rules_read_ = false;  // its rules were waited for
  bool all_ = false;                              // every font registered
  std::vector<ListedFont> fonts_;
  QString last_family_, last_folded_;               // the family last listed, and folded
  std::map<QString, std::vector<size_t>> by_name_;  // the fonts bearing each name
  std::set<QString> populated_;                     // names whose fonts are registered (at
                                                    // start-up)
};

class PrintScreen : public QPlatformScreen {
 public:
  QRect geometry() const override { return QRect(0, 0, 800, 800); }
  int depth() const override { return 32; }
  QImage::Format format() const override { return QImage::Format_RGB32; }
  QDpi logicalDpi() const override { return QDpi(96, 96); }
  QDpi logicalBaseDpi() const override { return QDpi(96, 96); }
};

class PrintWindow : public QPlatformWindow {
 public:
  using QPlatformWindow::QPlatformWindow;
};

// A window's pixels, never shown.
class PrintBackingStore : public QPlatformBackingStore {
 public:
  using QPlatformBackingStore::QPlatformBackingStore;
  QPaintDevice* paintDevice() override { return &image_; }
  void flush(QWindow*, const QRegion&, const QPoint&) override {}
  void resize(const QSize& size, const QRegion&) override {
    if (image_.size() != size) image_ = QImage(size, QImage::Format_RGB32);
  }
  QImage toImage() const override { return image_; }

 private:
  QImage image_;
};

class PrintTheme : public QPlatformTheme {
 public:
  QVariant themeHint(ThemeHint hint) const override {
    if (hint == StyleNames) return QStringList(QStringLiteral("Fusion"));
    return QPlatformTheme::themeHint(hint);
  }
  const QFont* font(Font type) const override {
    static const QFont system(QStringLiteral("Sans Serif"), 9);
    static const QFont fixed(QStringLiteral("monospace"), 9);
    if (type == SystemFont) return &system;
    if (type == FixedFont) return &fixed;
    return nullptr;
  }
};

class PrintIntegration : public QPlatformIntegration {
 public:
  bool hasCapability(Capability capability) const override {
    return capability == ThreadedPixmaps || capability == MultipleWindows ||
           (capability != RhiBasedRendering && QPlatformIntegration::hasCapability(capability));
  }
  QPlatformWindow* createPlatformWindow(QWindow* window) const override {
    return new PrintWindow(window);
  }
  QPlatformBackingStore* createPlatformBackingStore(QWindow* window) const override {
    return new PrintBackingStore(window);
  }
  QAbstractEventDispatcher* createEventDispatcher() const override {
    return createUnixEventDispatcher();
  }
  void initialize() override { QWindowSystemInterface::handleScreenAdded(new PrintScreen()); }
  QPlatformFontDatabase* fontDatabase() const override { return &fonts_; }
  QStringList themeNames() const override { return {QString::fromLatin1(PLATFORM_NAME)}; }
  QPlatformTheme* createPlatformTheme(const QString& name) const override {
    return name == QLatin1String(PLATFORM_NAME) ? new PrintTheme() : nullptr;
  }

 private:
  mutable LazyFontDatabase fonts_;
};

class PrintPlatformPlugin : public QPlatformIntegrationPlugin {
 public:
  QPlatformIntegration* create(const QString& key, const QStringList&) override {
    return key.compare(QLatin1String(PLATFORM_NAME), Qt::CaseInsensitive) == 0
               ? new PrintIntegration()
               : nullptr;
  }
};

// The plug-in's description, as the toolkit reads it: its interface, class and key.
struct MetaData {
  QPluginMetaData::Header header;
  unsigned char description[106];
};
constexpr MetaData META_DATA = {
    {},
    {0xbf,
     // "IID"
     0x02, 0x78, 0x3e, 'o', 'r', 'g', '.', 'q', 't', '-', 'p', 'r', 'o', 'j', 'e', 'c', 't', '.',
     'Q', 't', '.', 'Q', 'P', 'A', '.', 'Q', 'P', 'l', 'a', 't', 'f', 'o', 'r', 'm', 'I', 'n', 't',
     'e', 'g', 'r', 'a', 't', 'i', 'o', 'n', 'F', 'a', 'c', 't', 'o', 'r', 'y', 'I', 'n', 't', 'e',
     'r', 'f', 'a', 'c', 'e', '.', '5', '.', '3',
     // "className"
     0x03, 0x73, 'P', 'r', 'i', 'n', 't', 'P', 'l', 'a', 't', 'f', 'o', 'r', 'm', 'P', 'l', 'u',
     'g', 'i', 'n',
     // "MetaData": {"Keys": ["offscreen"]}
     0x04, 0xa1, 0x64, 'K', 'e', 'y', 's', 0x81, 0x69, 'o', 'f', 'f', 's', 'c', 'r', 'e', 'e', 'n',
     0xff}};

QObject* plugin_instance() {
  static PrintPlatformPlugin* const plugin = new PrintPlatformPlugin();
  return plugin;
}

static_assert(META_DATA.description[sizeof META_DATA.description - 1] == 0xff);

QPluginMetaData plugin_meta_data() { return {&META_DATA, sizeof META_DATA}; }

}  // namespace

void platform_use_print_platform() {
  // Another platform asked for, or platforms looked for in a folder named: the toolkit's way.
  if (qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String(PLATFORM_NAME) ||
      qEnvironmentVariableIsSet("QT_QPA_PLATFORM_PLUGIN_PATH"))
    return;
  qRegisterStaticPluginFunction({plugin_instance, plugin_meta_data});
  QCoreApplication::setLibraryPaths(QStringList());
}
