// font_reading.cpp: the system's font configuration read on a thread of its own (see
// font_reading.h).
//
// Built with VESK_HEADLESS it is the library of the program that only prints (libvesk-fonts.so):
// its launcher loads it and starts the reading before it loads the program, whose own start then
// finds it under way.
#include "platform/font_reading.h"

#include <condition_variable>
#include <fontconfig/fontconfig.h>
#include <locale.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <utility>

#include "platform/cores.h"
#include "platform/font_configuration.h"

namespace {

// The system's configuration, read as fontconfig reads it; nullptr when it cannot be read. A
// program that only prints reads its files put together as documents, for a third less work on
// the way to its first page, and its rules only once its fonts are built (left in *rules); the
// program with windows, which lives on while they may change, keeps the names of the files that
// fontconfig reads.
FcConfig* read_system_font_configuration(std::string* rules) {
#ifdef VESK_HEADLESS
  return platform_read_font_configuration(rules);
#else
  rules->clear();
  FcConfig* config = FcConfigCreate();
  if (config && !FcConfigParseAndLoad(config, nullptr, FcTrue)) {
    FcConfigDestroy(config);
    config = nullptr;
  }
  return config;
#endif
}

// The thread reading the font configuration, and how far it has come. A process that ends before
// it used any font (a fuzzing run, an early exit) still waits for it: a thread left running when
// the process ends would end it abnormally.
struct FontConfigurationThread {
  ThreadBeside thread;
  std::mutex lock;
  std::condition_variable changed;
  bool started = false;      // the thread was started
  bool fonts_ready = false;  // the configuration is current, its fonts built
  bool described = false;    // the music font's copy was described (or found missing)
  // The rules a print leaves to read until something asks for them, and the configuration they
  // go to (held); the lock is held while they are read.
  std::mutex rules_lock;
  std::string rules;
  FcConfig* rules_config = nullptr;
  // The music font's copy and its description, until taken (both under `lock`).
  std::string music_font_file;
  FcPattern* music_font = nullptr;
  void mark(bool* ready) {
    {
      std::lock_guard held(lock);
      *ready = true;
    }
    changed.notify_all();
  }
  void wait(const bool* ready) {
    std::unique_lock held(lock);
    changed.wait(held, [&] { return !started || *ready; });
  }
  ~FontConfigurationThread() {
    if (thread.joinable()) thread.join();
  }
} font_configuration;

// The system's font configuration made the program's current one, as fontconfig's own start
// makes it, but for the descriptions of the configuration files a system offers without using
// them, which fontconfig also reads at its start (a third of its work) only to list them. A
// configuration that names no font cache is left to fontconfig's start, which adds its own. The
// rules left to read once the fonts are built are read when platform_wait_font_rules first asks
// for them: most prints never substitute, match or look for a fallback with the system's
// configuration, and reading the rules was a seventh of a one-page print's work.
void load_font_configuration() {
  std::string rules;
  FcConfig* config = read_system_font_configuration(&rules);
  bool loaded = config != nullptr;
  if (loaded) {
    FcStrList* caches = FcConfigGetCacheDirs(config);
    loaded = caches && FcStrListNext(caches);
    if (caches) FcStrListDone(caches);
  }
  loaded = loaded && FcConfigBuildFonts(config) && FcConfigSetCurrent(config);
  if (!loaded) FcInit();
  if (loaded && !rules.empty()) {
    std::lock_guard held(font_configuration.rules_lock);
    font_configuration.rules = std::move(rules);
    font_configuration.rules_config = FcConfigReference(config);
  }
  if (config) FcConfigDestroy(config);  // the current configuration keeps its own hold
  font_configuration.mark(&font_configuration.fonts_ready);
}

// Reads the font configuration (every configuration file and font cache of fontconfig, which the
// toolkit reads at its first use of fonts, once for the whole program). It runs on a thread of its
// own while the application object is made and the program starts, up to its first use of fonts,
// in the C locale set for the thread alone: the application object changes the program's locale
// meanwhile. The C locale is the one the C library holds without reading files: the user's would
// be loaded under the lock the application object's own setlocale then waits for. Fontconfig
// reads its numbers with a decimal point as the program does; only the wording of its warnings
// would follow the user's language.
// The program that only prints has the copy of its music font beside it described here first, as
// fontconfig describes a font file (which needs no configuration), while its own start goes on:
// the description reads every character the font maps, a thirtieth of a one-page print. The
// program takes it when the copy holds the same bytes as the font it holds
// (platform_take_music_font_description).
void describe_music_font() {
#ifdef VESK_HEADLESS
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return;
  std::string file(path, size_t(length));
  file.erase(file.find_last_of('/') + 1).append(VESK_MUSIC_FONT_COPY);
  if (access(file.c_str(), R_OK) != 0) return;
  int faces = 0;
  FcPattern* description =
      FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file.c_str()), 0, nullptr, &faces);
  if (!description) return;
  std::lock_guard held(font_configuration.lock);
  font_configuration.music_font_file = std::move(file);
  font_configuration.music_font = description;
#endif
}

void read_font_configuration() {
  const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  if (locale) uselocale(locale);
  describe_music_font();
  font_configuration.mark(&font_configuration.described);
  load_font_configuration();
  if (locale) {
    uselocale(LC_GLOBAL_LOCALE);
    freelocale(locale);
  }
}

}  // namespace

extern "C" void vesk_start_font_reading() { platform_start_font_configuration(); }

void platform_start_font_configuration() {
  std::lock_guard held(font_configuration.lock);
  if (font_configuration.thread.joinable()) return;
  font_configuration.started = true;
  font_configuration.thread = ThreadBeside(read_font_configuration);
}

void platform_wait_font_configuration() {
  font_configuration.wait(&font_configuration.fonts_ready);
}

void platform_wait_font_rules() {
  font_configuration.wait(&font_configuration.fonts_ready);
  std::lock_guard held(font_configuration.rules_lock);
  FcConfig* const config = std::exchange(font_configuration.rules_config, nullptr);
  if (!config) return;
  platform_read_font_rules(config, font_configuration.rules);
  std::string().swap(font_configuration.rules);
  FcConfigDestroy(config);
}

FcPattern* platform_take_music_font_description(const char** file) {
  font_configuration.wait(&font_configuration.described);
  std::lock_guard held(font_configuration.lock);
  *file = font_configuration.music_font_file.c_str();
  return std::exchange(font_configuration.music_font, nullptr);
}

void platform_end_font_configuration() {
  if (font_configuration.thread.joinable()) font_configuration.thread.join();
}
