// prefs_file.cpp: the preferences file, "Vesk Preferences" in the Vesk folder of the user's
// configuration folder ($XDG_CONFIG_HOME, else ~/.config).
//
// The file is a small container of named, numbered resources; the preferences record is the
// resource of type 'LDat' named "global_options". All numbers are big-endian:
//
//   offset  size  field
//        0     8  "VeskRsrc"
//        8   u16  container format, 1
//       10   u16  number of resources (at most 256)
//       12        the resources, one after the other:
//                   4    type (four characters)
//                   i16  id
//                   u8   name length, then the name
//                   u32  data length, then the data
//
// Every length is checked against the end of the file; a file that does not parse to its
// last byte is damaged, and the defaults stand. Resources other than the record are kept
// when the file is rewritten.
//
// Writing goes through the platform's replacement of a file whole (platform/files.h): a write
// that fails leaves the old file as it was. While the program runs it holds
// a lock on the Vesk folder; a second instance that cannot take it does not overwrite the
// first one's record.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "app/prefs.h"
#include "model/model_services.h"
#include "platform/files.h"
#include "platform/os_errors.h"

namespace {

constexpr char MAGIC[8] = {'V', 'e', 's', 'k', 'R', 's', 'r', 'c'};
constexpr uint16_t CONTAINER_FORMAT = 1;
constexpr int MAX_RESOURCES = 256;
constexpr long MAX_FILE_SIZE = 1 << 20;  // far beyond any real preferences file
constexpr char RECORD_TYPE[4] = {'L', 'D', 'a', 't'};
constexpr const char* RECORD_NAME = "global_options";
constexpr int FIRST_RECORD_ID = 128;  // ids above 127 belong to the program

struct Resource {
  char type[4];
  int16_t id = 0;
  std::string name;
  std::vector<uint8_t> data;
};

// The folder lock: -1 before the file was opened; the descriptor of the locked folder once
// taken; -2 when another instance holds it.
int folder_lock = -1;
constexpr int LOCK_HELD_ELSEWHERE = PLATFORM_LOCK_HELD_ELSEWHERE;

// ---- Paths --------------------------------------------------------------------------------

std::string config_folder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg);
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : ".") + "/.config";
}

std::string vesk_folder() { return config_folder() + "/Vesk"; }

bool make_folders(const std::string& path) { return platform_make_folders(path, 0700); }

// Takes the folder lock once; afterwards tells whether this instance holds it.
bool hold_folder_lock() {
  if (folder_lock >= 0) return true;
  if (folder_lock == LOCK_HELD_ELSEWHERE) return false;
  const int fd = platform_lock_folder(vesk_folder());
  if (fd == -1) return true;  // no folder to share yet: nobody else holds it
  folder_lock = fd;
  return fd >= 0;
}

// ---- The container ------------------------------------------------------------------------

class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
  bool take(size_t n, const uint8_t** p) {
    if (n > bytes_.size() - at_) return false;
    *p = bytes_.data() + at_;
    at_ += n;
    return true;
  }
  bool u8(uint8_t* v) {
    const uint8_t* p;
    if (!take(1, &p)) return false;
    *v = p[0];
    return true;
  }
  bool u16(uint16_t* v) {
    const uint8_t* p;
    if (!take(2, &p)) return false;
    *v = static_cast<uint16_t>(p[0] << 8 | p[1]);
    return true;
  }
  bool u32(uint32_t* v) {
    const uint8_t* p;
    if (!take(4, &p)) return false;
    *v = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    return true;
  }
  bool at_end() const { return at_ == bytes_.size(); }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t at_ = 0;
};

bool parse_resource(Reader& in, Resource* r) {
  const uint8_t* p;
  uint16_t id;
  uint8_t name_length;
  uint32_t data_length;
  if (!in.take(4, &p)) return false;
  std::memcpy(r->type, p, 4);
  if (!in.u16(&id) || !in.u8(&name_length) || !in.take(name_length, &p)) return false;
  r->id = static_cast<int16_t>(id);
  r->name.assign(reinterpret_cast<const char*>(p), name_length);
  if (!in.u32(&data_length) || !in.take(data_length, &p)) return false;
  r->data.assign(p, p + data_length);
  return true;
}

// The resources of a container; false when it is damaged.
bool parse_container(const std::vector<uint8_t>& bytes, std::vector<Resource>* resources) {
  Reader in(bytes);
  const uint8_t* magic;
  uint16_t format, count;
  if (!in.take(sizeof MAGIC, &magic) || std::memcmp(magic, MAGIC, sizeof MAGIC) != 0) return false;
  if (!in.u16(&format) || format != CONTAINER_FORMAT || !in.u16(&count) || count > MAX_RESOURCES)
    return false;
  resources->assign(count, Resource{});
  for (Resource& r : *resources)
    if (!parse_resource(in, &r)) return false;
  return in.at_end();
}

void put_u16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void put_u32(std::vector<uint8_t>& out, uint32_t v) {
  put_u16(out, static_cast<uint16_t>(v >> 16));
  put_u16(out, static_cast<uint16_t>(v));
}

std::vector<uint8_t> container_bytes(const std::vector<Resource>& resources) {
  std::vector<uint8_t> out(MAGIC, MAGIC + sizeof MAGIC);
  put_u16(out, CONTAINER_FORMAT);
  put_u16(out, static_cast<uint16_t>(resources.size()));
  for (const Resource& r : resources) {
    out.insert(out.end(), r.type, r.type + 4);
    put_u16(out, static_cast<uint16_t>(r.id));
    out.push_back(static_cast<uint8_t>(r.name.size()));
    out.insert(out.end(), r.name.begin(), r.name.end());
    put_u32(out, static_cast<uint32_t>(r.data.size()));
    out.insert(out.end(), r.data.begin(), r.data.end());
  }
  return out;
}

bool is_record(const Resource& r) {
  return std::memcmp(r.type, RECORD_TYPE, 4) == 0 && r.name == RECORD_NAME;
}

// ---- Files ----------------------------------------------------------------------------------

enum class ReadResult { READ, MISSING, FAILED };

ReadResult read_whole_file(const std::string& path, std::vector<uint8_t>* bytes) {
  std::string text;
  const int error = platform_file_read_whole(path, MAX_FILE_SIZE, &text);
  if (error) return error == ENOENT ? ReadResult::MISSING : ReadResult::FAILED;
  bytes->assign(text.begin(), text.end());
  return ReadResult::READ;
}

// Writes the bytes beside the file and puts them in its place.
int16_t replace_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  PlatformReplaceOptions options;
  options.type_creator = "prefVESK";  // file type 'pref', creator 'VESK'
  options.mode = 0600;
  PlatformReplacement replacement;
  PlatformFileProblem why;
  if (!platform_replace_begin(path, options, &replacement, &why))
    return platform_result_of_errno(why.error_number);
  if (const int error = platform_file_write_all(replacement.fd, bytes.data(), bytes.size())) {
    platform_replace_abandon(&replacement);
    return platform_result_of_errno(error);
  }
  if (!platform_replace_finish(&replacement, options, &why))
    return platform_result_of_errno(why.error_number);
  return RESULT_OK;
}

void report_damaged() {
  REPORT_ERROR(2, "The preferences file \"%s\" is damaged, so the default preferences are used.",
               prefs_file_path().c_str());
}

// A tag from "9.00" to "9.15", compared byte by byte.
bool accepted_version(const uint8_t* tag) {
  return std::memcmp(tag, newest_version_string, 4) <= 0 &&
         std::memcmp(tag, oldest_version_string, 4) >= 0;
}

// Loads the record from the file's bytes: 1 when it was loaded and its version accepted.
int load_record(const std::vector<uint8_t>& bytes) {
  std::vector<Resource> resources;
  if (!parse_container(bytes, &resources)) {
    report_damaged();
    return 0;
  }
  for (const Resource& r : resources) {
    if (!is_record(r)) continue;
    // A shorter record overwrites only its own length.
    std::memcpy(prefs.bytes, r.data.data(), std::min<size_t>(r.data.size(), PREFS_SIZE));
    return accepted_version(prefs.bytes + PREFS_VERSION_TAG) ? 1 : 0;
  }
  return 0;
}

bool record_id_taken(const std::vector<Resource>& resources, int16_t id) {
  for (const Resource& r : resources)
    if (std::memcmp(r.type, RECORD_TYPE, 4) == 0 && r.id == id) return true;
  return false;
}

}  // namespace

std::string prefs_file_path() { return vesk_folder() + "/Vesk Preferences"; }

int open_prefs_file() {
  int loaded = 0;
  if (make_folders(vesk_folder())) {
    hold_folder_lock();
    std::vector<uint8_t> bytes;
    switch (read_whole_file(prefs_file_path(), &bytes)) {
      case ReadResult::READ:
        loaded = load_record(bytes);
        break;
      case ReadResult::MISSING:
        // The file is made now, empty, so that it exists from the first start on.
        if (folder_lock >= 0) replace_file(prefs_file_path(), container_bytes({}));
        break;
      case ReadResult::FAILED:
        report_damaged();
        break;
    }
  }
  // Nothing of a rejected record survives.
  if (!loaded) set_default_prefs();
  return loaded;
}

namespace {

// The file's bytes with the preferences in force written into them: the other resources of a
// sound file are kept; a damaged file is replaced whole. Tells whether the file could be read.
bool prefs_file_update(int replace, std::vector<uint8_t>* bytes, std::vector<uint8_t>* written) {
  std::vector<Resource> resources;
  const bool read = read_whole_file(prefs_file_path(), bytes) == ReadResult::READ;
  if (!read || !parse_container(*bytes, &resources)) resources.clear();
  if (replace) std::erase_if(resources, is_record);
  Resource record;
  std::memcpy(record.type, RECORD_TYPE, 4);
  record.name = RECORD_NAME;
  record.data.assign(prefs.bytes, prefs.bytes + PREFS_SIZE);
  record.id = FIRST_RECORD_ID;
  while (record_id_taken(resources, record.id)) ++record.id;
  resources.push_back(record);
  if (resources.size() > MAX_RESOURCES) resources.erase(resources.begin());
  *written = container_bytes(resources);
  return read;
}

}  // namespace

int write_prefs_file(int replace) {
  std::vector<uint8_t> bytes, written;
  if (!make_folders(vesk_folder()) || !hold_folder_lock()) {
    // Another instance holding the folder (a second print run, say) need not be told of when
    // the file already holds these preferences: nothing would be written.
    if (folder_lock == LOCK_HELD_ELSEWHERE && prefs_file_update(replace, &bytes, &written) &&
        written == bytes)
      return 1;
    REPORT_ERROR(2, "The Vesk preferences file cannot be updated because it is %s",
                 folder_lock == LOCK_HELD_ELSEWHERE
                     ? "in use!\n\nIs another instance of Vesk running?"
                     : "locked!");
    return 0;
  }
  const std::string path = prefs_file_path();
  const bool read = prefs_file_update(replace, &bytes, &written);
  // A file that holds these bytes already is left as it is: replacing it would change nothing,
  // and quitting would wait for the disk twice.
  if (read && written == bytes) return 1;
  const int16_t result = replace_file(path, written);
  switch (result) {
    case RESULT_OK:
      return 1;
    case RESULT_NO_ACCESS:
    case RESULT_PERMISSION:
    case RESULT_FILE_LOCKED:
    case RESULT_VOLUME_LOCKED:
    case RESULT_WRITE_PROTECTED:
      REPORT_ERROR(2, "The Vesk preferences file cannot be updated because it is %s", "locked!");
      return 0;
    default:
      // Not fatal: the old file stays, and the program goes on (or ends, when quitting).
      REPORT_ERROR(2, "Error in WriteResource for prefs_handle = %hd", result);
      return 0;
  }
}

// Tests: forgets the folder lock, as if the program had just started.
void release_prefs_lock() {
  if (folder_lock >= 0) platform_file_close(folder_lock);
  folder_lock = -1;
}
