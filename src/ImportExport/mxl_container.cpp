// mxl_container.cpp: reading the MusicXML document out of a compressed MusicXML file.
//
// A compressed MusicXML file is a ZIP archive. Its file META-INF/container.xml names the
// document in the full-path attribute of its first MusicXML <rootfile>; other files (images, other
// renderings) may lie beside it. The archive is read through its table of contents (the
// central directory), found from the end-of-directory record near the file's end; the local
// headers are used only to find where an entry's data begins. All numbers are little-endian.
// A self-extracting archive, with a program in front of it, is read as any other: its stated
// offsets are moved on by the length of what stands before it.
//
//   End-of-directory record (searched in the last 64 KiB + 22 bytes)
//   OFFSET SIZE DESCRIPTION
//    0      4   signature 0x06054b50
//   10      2   entries in the directory (0xFFFF: see the ZIP64 record)
//   12      4   size of the directory (0xFFFFFFFF: see the ZIP64 record)
//   16      4   offset of the directory (0xFFFFFFFF: see the ZIP64 record)
//   ZIP64 locator, the 20 bytes before it: 0 signature 0x07064b50, 8 offset (8) of the ZIP64
//   record: 0 signature 0x06064b50, 32 entries (8), 40 directory size (8), 48 its offset (8).
//
//   Directory entry (46 bytes, then name, extra fields, comment)
//    0      4   signature 0x02014b50
//    8      2   flags (bit 0: encrypted)
//   10      2   method (0 stored, 8 deflated)
//   16      4   CRC-32 of the unpacked bytes
//   20      4   packed size       } 0xFFFFFFFF: in the ZIP64 extra field (id 1), in the order
//   24      4   unpacked size     } unpacked, packed, offset, 8 bytes each
//   28/30/32 2  lengths of name, extra fields, comment
//   42      4   offset of the local header
//
//   Local header (30 bytes, then name and extra fields, then the data)
//    0      4   signature 0x04034b50
//   26/28   2   lengths of name and extra fields (may differ from the directory's)
//
// Every offset, length and count is checked against the bytes at hand before it is used; an
// entry is unpacked into exactly its stated size and no further, so a small file that claims
// to unpack small but would unpack huge is refused rather than followed.
#include "ImportExport/mxl_container.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>
#include <zlib.h>

#include "ImportExport/xml_reader.h"
#include "platform/files.h"

namespace {

constexpr uint32_t END_SIGNATURE = 0x06054b50;
constexpr uint32_t ZIP64_LOCATOR_SIGNATURE = 0x07064b50;
constexpr uint32_t ZIP64_END_SIGNATURE = 0x06064b50;
constexpr uint32_t ENTRY_SIGNATURE = 0x02014b50;
constexpr uint32_t LOCAL_SIGNATURE = 0x04034b50;
constexpr size_t END_SIZE = 22, ZIP64_LOCATOR_SIZE = 20, ZIP64_END_SIZE = 56;
constexpr size_t ENTRY_SIZE = 46, LOCAL_SIZE = 30;
constexpr size_t MOST_COMMENT = 65535;
constexpr uint16_t METHOD_STORED = 0, METHOD_DEFLATED = 8;
constexpr const char* CONTAINER_NAME = "META-INF/container.xml";

// Why a file cannot be read; the entry turns it into the message.
enum class Trouble { damaged, no_document, unreadable };
struct Refusal {
  Trouble trouble;
  std::string reason;
};

[[noreturn]] void refuse(Trouble trouble, std::string reason) {
  throw Refusal{trouble, std::move(reason)};
}

[[noreturn]] void damaged(std::string reason) { refuse(Trouble::damaged, std::move(reason)); }

// The bytes of the file, read only through these.
struct Bytes {
  const uint8_t* data;
  size_t size;
  bool holds(uint64_t offset, uint64_t length) const {
    return offset <= size && length <= size - offset;
  }
  uint64_t number(uint64_t offset, int length) const {
    uint64_t value = 0;
    for (int i = length - 1; i >= 0; --i) value = value << 8 | data[offset + size_t(i)];
    return value;
  }
};

struct Entry {
  std::string name;
  uint16_t flags = 0, method = 0;
  uint32_t crc = 0;
  uint64_t packed = 0, unpacked = 0, local = 0;
};

// An entry's name as a message shows it: no control characters, at most 60 bytes, never cut
// inside a character.
std::string shown_name(const std::string& name) {
  std::string shown;
  for (char c : name) shown += (uint8_t(c) < 0x20 || c == 0x7f) ? '?' : c;
  if (shown.size() > 60) {
    size_t cut = 60;
    while (cut > 0 && (uint8_t(shown[cut]) & 0xC0) == 0x80) --cut;
    shown = shown.substr(0, cut) + "...";
  }
  return "'" + shown + "'";
}

// Where the end-of-directory record starts: the last one in the file's final 64 KiB + 22.
size_t find_end_record(const Bytes& b) {
  if (b.size < END_SIZE) damaged("it is too short to be a ZIP archive");
  const size_t lowest = b.size - END_SIZE > MOST_COMMENT ? b.size - END_SIZE - MOST_COMMENT : 0;
  for (size_t at = b.size - END_SIZE + 1; at-- > lowest;)
    if (b.number(at, 4) == END_SIGNATURE) return at;
  damaged("it is not a ZIP archive, or it is cut short (its table of contents is missing)");
}

struct Directory {
  uint64_t count = 0, size = 0, offset = 0;
  uint64_t shift = 0;  // bytes before the archive's start (a self-extracting stub): added to
                       // every offset the archive states
};

// Whether a directory of `count` entries may start at `at`: its first entry's signature is there.
bool directory_at(const Bytes& b, uint64_t at, uint64_t count) {
  return b.holds(at, count ? ENTRY_SIZE : 0) && (count == 0 || b.number(at, 4) == ENTRY_SIGNATURE);
}

// The directory's place and count, from the ZIP64 record when the end record defers to it.
// An archive with bytes before it (a self-extracting one, its stub in front) states its offsets
// from its own start: the directory then ends where the end record (or the ZIP64 record) begins,
// and the difference between where it lies and where it is said to lie is added to every offset.
Directory find_directory(const Bytes& b) {
  const size_t end = find_end_record(b);
  Directory d{b.number(end + 10, 2), b.number(end + 12, 4), b.number(end + 16, 4)};
  uint64_t directory_end = end;
  const bool deferred = d.count == 0xFFFF || d.size == 0xFFFFFFFF || d.offset == 0xFFFFFFFF;
  if (deferred && end >= ZIP64_LOCATOR_SIZE &&
      b.number(end - ZIP64_LOCATOR_SIZE, 4) == ZIP64_LOCATOR_SIGNATURE) {
    uint64_t record = b.number(end - ZIP64_LOCATOR_SIZE + 8, 8);
    const uint64_t found = end - ZIP64_LOCATOR_SIZE;  // where the record is when it is shifted
    if ((!b.holds(record, ZIP64_END_SIZE) || b.number(record, 4) != ZIP64_END_SIGNATURE) &&
        found >= ZIP64_END_SIZE && record < found - ZIP64_END_SIZE &&
        b.number(found - ZIP64_END_SIZE, 4) == ZIP64_END_SIGNATURE)
      record = found - ZIP64_END_SIZE;
    if (!b.holds(record, ZIP64_END_SIZE) || b.number(record, 4) != ZIP64_END_SIGNATURE)
      damaged("its table of contents lies outside the file");
    d = Directory{b.number(record + 32, 8), b.number(record + 40, 8), b.number(record + 48, 8)};
    directory_end = record;
  }
  if (!directory_at(b, d.offset, d.count) && d.size <= directory_end &&
      d.offset < directory_end - d.size && directory_at(b, directory_end - d.size, d.count)) {
    d.shift = directory_end - d.size - d.offset;
    d.offset += d.shift;
  }
  if (!b.holds(d.offset, d.size)) damaged("its table of contents lies outside the file");
  if (d.count > d.size / ENTRY_SIZE) damaged("its table of contents is cut short");
  return d;
}

// The sizes and offset a directory entry leaves to its ZIP64 extra field.
void read_zip64_extra(const Bytes& b, uint64_t extra, uint64_t length, Entry& e) {
  uint64_t* fields[3] = {&e.unpacked, &e.packed, &e.local};
  for (uint64_t at = extra; at + 4 <= extra + length;) {
    const uint64_t id = b.number(at, 2), size = b.number(at + 2, 2);
    if (at + 4 + size > extra + length) break;
    if (id == 1) {
      uint64_t next = at + 4;
      for (uint64_t* field : fields) {
        if (*field != 0xFFFFFFFF) continue;
        if (next + 8 > at + 4 + size) damaged("the entry " + shown_name(e.name) + " is cut short");
        *field = b.number(next, 8);
        next += 8;
      }
      return;
    }
    at += 4 + size;
  }
  if (e.unpacked == 0xFFFFFFFF || e.packed == 0xFFFFFFFF || e.local == 0xFFFFFFFF)
    damaged("the entry " + shown_name(e.name) + " states no size");
}

std::vector<Entry> read_directory(const Bytes& b) {
  const Directory d = find_directory(b);
  const uint64_t end = d.offset + d.size;
  std::vector<Entry> entries;
  uint64_t at = d.offset;
  for (uint64_t i = 0; i < d.count; ++i) {
    if (at + ENTRY_SIZE > end || b.number(at, 4) != ENTRY_SIGNATURE)
      damaged("its table of contents is cut short");
    const uint64_t name_length = b.number(at + 28, 2), extra_length = b.number(at + 30, 2);
    const uint64_t next = at + ENTRY_SIZE + name_length + extra_length + b.number(at + 32, 2);
    if (next > end) damaged("its table of contents is cut short");
    Entry e;
    e.name.assign(reinterpret_cast<const char*>(b.data + at + ENTRY_SIZE), name_length);
    e.flags = uint16_t(b.number(at + 8, 2));
    e.method = uint16_t(b.number(at + 10, 2));
    e.crc = uint32_t(b.number(at + 16, 4));
    e.packed = b.number(at + 20, 4);
    e.unpacked = b.number(at + 24, 4);
    e.local = b.number(at + 42, 4);
    read_zip64_extra(b, at + ENTRY_SIZE + name_length, extra_length, e);
    // Past the file's end either way when the shift would carry it over: unpack says so.
    e.local = e.local > UINT64_MAX - d.shift ? UINT64_MAX : e.local + d.shift;
    entries.push_back(std::move(e));
    at = next;
  }
  return entries;
}

const Entry* find_entry(const std::vector<Entry>& entries, std::string name) {
  if (!name.empty() && name[0] == '/') name.erase(0, 1);
  for (const Entry& e : entries)
    if (e.name == name) return &e;
  return nullptr;
}

// Raw deflate into exactly e.unpacked bytes; anything more or less is damage.
void inflate_entry(const uint8_t* packed, const Entry& e, std::string* out) {
  if (e.packed > UINT32_MAX || e.unpacked > UINT32_MAX)
    damaged("the entry " + shown_name(e.name) + " states a size larger than the file");
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) damaged("its compressed data cannot be unpacked");
  uint8_t spare = 0;  // somewhere to point at when nothing is to come
  z.next_in = const_cast<Bytef*>(packed);
  z.avail_in = uInt(e.packed);
  z.next_out = out->empty() ? &spare : reinterpret_cast<Bytef*>(out->data());
  z.avail_out = uInt(out->size());
  const int result = inflate(&z, Z_FINISH);
  const uint64_t made = z.total_out;
  inflateEnd(&z);
  if (result == Z_STREAM_END && made == e.unpacked) return;
  if (result == Z_DATA_ERROR || result == Z_NEED_DICT || result == Z_MEM_ERROR)
    damaged("the compressed data of the entry " + shown_name(e.name) + " is damaged");
  damaged("the entry " + shown_name(e.name) + " does not unpack to the size it states");
}

// The entry's bytes, unpacked and checked.
std::string unpack(const Bytes& b, const Entry& e, uint64_t limit) {
  if (e.flags & 1)
    refuse(Trouble::unreadable, "its document " + shown_name(e.name) + " is encrypted");
  if (e.method != METHOD_STORED && e.method != METHOD_DEFLATED)
    refuse(Trouble::unreadable, "its document " + shown_name(e.name) + " is compressed by method " +
                                    std::to_string(e.method) +
                                    ", and Vesk reads only stored or deflated documents");
  if (e.unpacked > limit)
    refuse(Trouble::unreadable, "its document " + shown_name(e.name) + " unpacks to more than " +
                                    std::to_string(limit >> 20) + " MB, far more than real scores");
  if (!b.holds(e.local, LOCAL_SIZE) || b.number(e.local, 4) != LOCAL_SIGNATURE)
    damaged("the entry " + shown_name(e.name) + " lies outside the file");
  const uint64_t data =
      e.local + LOCAL_SIZE + b.number(e.local + 26, 2) + b.number(e.local + 28, 2);
  if (!b.holds(data, e.packed))
    damaged("the entry " + shown_name(e.name) + " lies outside the file");
  std::string out;
  if (e.method == METHOD_STORED) {
    if (e.packed != e.unpacked)
      damaged("the entry " + shown_name(e.name) + " does not unpack to the size it states");
    out.assign(reinterpret_cast<const char*>(b.data + data), e.unpacked);
  } else {
    out.resize(e.unpacked);
    inflate_entry(b.data + data, e, &out);
  }
  const uint32_t crc = uint32_t(crc32_z(0, reinterpret_cast<const Bytef*>(out.data()), out.size()));
  if (crc != e.crc) damaged("the entry " + shown_name(e.name) + " fails its checksum");
  return out;
}

// The full-path of the container's first rootfile that is MusicXML (its media type, when it
// gives one, names MusicXML: a PDF or image listed before it is passed over); "" for none.
int find_rootfile(const char* name, XmlElement& element, void* user) {
  auto* path = static_cast<std::string*>(user);
  if (!path->empty() || std::strcmp(name, "rootfile") != 0) return 0;
  const char* type = xml_attr(element, "media-type");
  if (type && *type && !std::strstr(type, "musicxml")) return 0;
  if (const char* full_path = xml_attr(element, "full-path")) *path = full_path;
  return 0;
}

bool has_document_name(const std::string& name) {
  auto ends_with = [&name](const char* tail) {
    const size_t n = std::strlen(tail);
    if (name.size() <= n) return false;
    for (size_t i = 0; i < n; ++i)
      if (std::tolower(uint8_t(name[name.size() - n + i])) != tail[i]) return false;
    return true;
  };
  return ends_with(".xml") || ends_with(".musicxml");
}

// The entry the container names, or without a container the one document at the top level.
const Entry& document_entry(const Bytes& b, const std::vector<Entry>& entries, uint64_t limit) {
  if (const Entry* container = find_entry(entries, CONTAINER_NAME)) {
    const std::string text = unpack(b, *container, limit);
    std::string path;
    xml_read_memory(text.data(), text.size(), find_rootfile, nullptr, &path, 16, 16, 16, limit);
    if (path.empty()) refuse(Trouble::no_document, "");
    const Entry* named = find_entry(entries, path);
    if (!named) damaged("its container names " + shown_name(path) + ", which it does not hold");
    return *named;
  }
  const Entry* only = nullptr;
  for (const Entry& e : entries) {
    if (e.name.find('/') != std::string::npos || !has_document_name(e.name)) continue;
    if (only) refuse(Trouble::no_document, "");
    only = &e;
  }
  if (!only) refuse(Trouble::no_document, "");
  return *only;
}

std::string message_of(const Refusal& r, const std::string& name) {
  const std::string file = shown_name(name.substr(name.find_last_of('/') + 1));
  switch (r.trouble) {
    case Trouble::damaged:
      return "The compressed MusicXML file " + file + " is damaged: " + r.reason + ".";
    case Trouble::no_document:
      return "The compressed MusicXML file " + file + " holds no MusicXML document.";
    case Trouble::unreadable:
      break;
  }
  return "Vesk cannot read the compressed MusicXML file " + file + ": " + r.reason + ".";
}

}  // namespace

int read_mxl_container(const uint8_t* bytes, size_t size, const std::string& name, uint64_t limit,
                       std::string* document, std::string* message) {
  document->clear();
  message->clear();
  try {
    const Bytes b{bytes, size};
    const std::vector<Entry> entries = read_directory(b);
    *document = unpack(b, document_entry(b, entries, limit), limit);
    return 1;
  } catch (const Refusal& refusal) {
    *message = message_of(refusal, name);
    return 0;
  }
}

int read_mxl_file(const std::string& path, uint64_t limit, std::string* document,
                  std::string* message) {
  std::string bytes;
  const int error = platform_file_read_whole(path, size_t(limit), &bytes);
  if (error == 0)
    return read_mxl_container(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), path,
                              limit, document, message);
  document->clear();
  *message =
      error == EFBIG
          ? message_of({Trouble::unreadable, "it is larger than " + std::to_string(limit >> 20) +
                                                 " MB, far larger than real scores"},
                       path)
          : "Vesk could not open the MusicXML file.";
  return 0;
}

bool is_compressed_musicxml(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string leaf = path.substr(slash == std::string::npos ? 0 : slash + 1);
  bool named = false;
  if (leaf.size() > 4) {
    const std::string tail = leaf.substr(leaf.size() - 4);
    named = tail == ".mxl" || tail == ".MXL";
  }
  // Only a regular file is looked into: reading a named pipe or a device would take away
  // what the import is to read, or wait for a writer.
  PlatformFileStatus status;
  if (platform_file_status(path.c_str(), &status) != 0 || !S_ISREG(status.mode)) return named;
  const int file = platform_file_open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file < 0) return named;
  char start[64] = {};
  const ssize_t got = platform_file_read(file, start, sizeof start);
  platform_file_close(file);
  if (got >= 4 &&
      (std::memcmp(start, "PK\x03\x04", 4) == 0 || std::memcmp(start, "PK\x05\x06", 4) == 0))
    return true;
  if (!named || got <= 0) return named;
  // A plain document that was given the compressed file's name is read as it is.
  size_t at = got >= 3 && std::memcmp(start, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
  while (at < size_t(got) && std::isspace(uint8_t(start[at]))) ++at;
  return at >= size_t(got) || start[at] != '<';
}
