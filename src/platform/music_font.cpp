// music_font.cpp: loading the embedded music font (Bravura, a SMuFL font).
//
// Handed to the toolkit from memory, a font is described by fontconfig only once the font
// configuration has been read, and describing it means reading every character the font maps.
// The program describes it itself, as fontconfig describes a font file, while the configuration
// is still being read on a thread of its own (start-up waits for that thread anyway), and then
// adds the description to the configuration's application fonts: the toolkit lists it with the
// installed fonts and maps the file named in it when it first draws the font. The program that
// only prints takes the description its font reading made of the copy of the font beside it,
// when the copy holds the same bytes: the toolkit then maps the copy.
#include "platform/music_font.h"

#include <cstring>
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFontDatabase>
#include <QResource>
#include <QString>
#include <QStringList>

#include "platform/design_outlines.h"
#include "platform/font_reading.h"

// Outside any namespace, where the resource's own routine is declared.
static void register_font_resource() { Q_INIT_RESOURCE(musicfont); }

namespace {

constexpr char RESOURCE_PATH[] = ":/fonts/bravura.otf";

struct Prepared {
  bool done = false;
  QByteArray data;                   // where the program holds the font
  FcPattern* description = nullptr;  // until it is handed to the configuration
  std::string family;
};
Prepared prepared;

// A file in memory holding the font's bytes, by a name that opens it: the toolkit maps a font
// file, but would read one of the program's resources whole into a copy when it first draws
// the font. Empty where the system gives no such file.
std::string font_file(const QByteArray& data) {
  const int fd = memfd_create("music-font", MFD_CLOEXEC);
  if (fd < 0) return {};
  for (qsizetype written = 0; written < data.size();) {
    const ssize_t n = write(fd, data.constData() + written, size_t(data.size() - written));
    if (n <= 0) {
      close(fd);
      return {};
    }
    written += n;
  }
  std::string name = "/proc/self/fd/" + std::to_string(fd);
  const int opened = open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (opened < 0) {
    close(fd);
    return {};
  }
  close(opened);
  return name;  // open for the rest of the program
}

// Whether the file holds the bytes given (the copy of the font beside the program).
bool same_bytes(const char* path, const QByteArray& data) {
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status;
  bool same = fstat(fd, &status) == 0 && status.st_size == data.size();
  if (same) {
    void* bytes = mmap(nullptr, size_t(data.size()), PROT_READ, MAP_PRIVATE, fd, 0);
    same = bytes != MAP_FAILED && std::memcmp(bytes, data.constData(), size_t(data.size())) == 0;
    if (bytes != MAP_FAILED) munmap(bytes, size_t(data.size()));
  }
  close(fd);
  return same;
}

// The family the description names.
void take_family() {
  FcChar8* family = nullptr;
  if (prepared.description &&
      FcPatternGetString(prepared.description, FC_FAMILY, 0, &family) == FcResultMatch)
    prepared.family = reinterpret_cast<const char*>(family);
}

QByteArray resource_data() {
  // The font is read where the program holds it, not into a copy.
  const QResource resource(QString::fromLatin1(RESOURCE_PATH));
  if (!resource.isValid()) return {};
  return resource.compressionAlgorithm() == QResource::NoCompression
             ? QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()),
                                       qsizetype(resource.size()))
             : resource.uncompressedData();
}

// The configuration's set of application fonts, made when it has none: only adding a file
// makes it, and a file that does not exist adds nothing else.
FcFontSet* application_fonts() {
  if (FcFontSet* fonts = FcConfigGetFonts(nullptr, FcSetApplication)) return fonts;
  FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(":/non-existent"));
  return FcConfigGetFonts(nullptr, FcSetApplication);
}

// True when an installed font bears the family's name: the toolkit is then left to tell the
// two apart its own way.
bool installed_family(const std::string& family) {
  const FcFontSet* fonts = FcConfigGetFonts(nullptr, FcSetSystem);
  for (int i = 0; fonts && i < fonts->nfont; ++i) {
    FcChar8* name = nullptr;
    for (int k = 0; FcPatternGetString(fonts->fonts[i], FC_FAMILY, k, &name) == FcResultMatch; ++k)
      if (family == reinterpret_cast<const char*>(name)) return true;
  }
  return false;
}

// The toolkit's own way, for a font database it has already filled (it lists the fonts of the
// configuration only once).
std::string load_through_toolkit() {
  const int id = QFontDatabase::addApplicationFontFromData(prepared.data);
  if (id < 0) return {};
  const QStringList families = QFontDatabase::applicationFontFamilies(id);
  return families.isEmpty() ? std::string() : families.first().toStdString();
}

}  // namespace

void platform_prepare_music_font() {
  if (prepared.done) return;
  prepared.done = true;
  register_font_resource();
  prepared.data = resource_data();
  if (prepared.data.isEmpty()) return;
  const char* copy = nullptr;
  if (FcPattern* description = platform_take_music_font_description(&copy)) {
    if (same_bytes(copy, prepared.data)) {
      prepared.description = note_font_bytes(prepared.data) ? description : nullptr;
      if (!prepared.description) FcPatternDestroy(description);
      take_family();
      return;
    }
    FcPatternDestroy(description);
  }
  std::string file = font_file(prepared.data);
  if (file.empty()) file = RESOURCE_PATH;
  prepared.description = note_font_data(prepared.data, file.c_str());
  take_family();
}

std::string platform_load_music_font() {
  platform_prepare_music_font();
  if (prepared.data.isEmpty()) return {};
  // The description serves once; a font loaded again (the configuration read anew) is handed
  // to the toolkit.
  FcPattern* description = prepared.description;
  prepared.description = nullptr;
  FcFontSet* fonts = nullptr;
  if (description && !installed_family(prepared.family)) fonts = application_fonts();
  if (!fonts || !FcFontSetAdd(fonts, description)) {
    if (description) FcPatternDestroy(description);
    return load_through_toolkit();
  }
  if (QFontDatabase::families().contains(QString::fromStdString(prepared.family)))
    return prepared.family;
  // The toolkit had listed the configuration's fonts before: the description is taken back
  // (the set holds it last) and the font handed to the toolkit itself.
  if (fonts->nfont > 0 && fonts->fonts[fonts->nfont - 1] == description) {
    --fonts->nfont;
    FcPatternDestroy(description);
  }
  return load_through_toolkit();
}
