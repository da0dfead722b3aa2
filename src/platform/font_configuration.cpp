// font_configuration.cpp: the system's font configuration read as documents, what chooses the
// fonts apart from the rules (see font_configuration.h).
//
// Fontconfig reads a configuration file by file: a folder included (conf.d) is read as each of
// its files whose name begins with a digit and ends in ".conf", in the order of their names, as
// if each were included in turn, and the rules of every file keep the order in which the files
// are read. A file's own cost beyond its elements is about as much again as its elements: the
// file is read into a buffer one character at a time, checked against the files read before,
// and parsed on its own, and its comments and the blanks between its elements are passed on
// character by character too.
//
// Here the files are read whole and put together: each file's root element gives way to its
// content, in the place of the folder's inclusion. Left out: the XML declaration and the
// document type (which declares nothing: one with declarations of its own keeps its file apart),
// comments, descriptions (a name for the rules, used only to list the files) and text of blanks
// alone between elements, which fontconfig drops; the blanks that are an element's whole text
// are kept. Everything else is written as it was. A file is taken in only when nothing of it
// can read otherwise in its new place: it is UTF-8, its elements close in order, its text holds
// no references but the five XML entities and characters, and no path in it is relative to the
// file itself; any other file is included by its full name in its place, for fontconfig to read
// as before. An inclusion that is not plain (of a file, a user's folder, with a prefix or marked
// deprecated, whose warning fontconfig gives) stays as it is: fontconfig finds its path the same
// way from any file.
// A file or folder reached again (two links to one file, a folder included twice) is read once,
// where it is first reached: fontconfig reads each once, telling them apart by their names with a
// link followed once.
//
// The top-level elements that choose the fonts are written apart from the rest, in their order:
// the order of the one kind among the other does not count (the fonts are built from the folders,
// caches and selection alone, and a rule applies only to patterns of its own kind), so the fonts
// can be built before the rules are read. Not when a file left to fontconfig could name folders
// of its own: then the document is one, as the files have it.
#include "platform/font_configuration.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/files.h"

namespace {

// Folders included within folders, at most.
constexpr int MOST_NESTED_FOLDERS = 8;

// Characters by kind: XML's blanks, and the characters of names.
constexpr unsigned char BLANK = 1, NAME = 2;
constexpr auto CHARACTER_KINDS = [] {
  std::array<unsigned char, 256> kinds{};
  for (unsigned char c : {' ', '\t', '\n', '\r'}) kinds[c] = BLANK;
  for (int c = 0; c < 256; ++c)
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
        c == '-' || c == '.' || c == ':')
      kinds[size_t(c)] = NAME;
  return kinds;
}();

bool is_blank(char c) { return CHARACTER_KINDS[static_cast<unsigned char>(c)] == BLANK; }
bool is_name_char(char c) { return CHARACTER_KINDS[static_cast<unsigned char>(c)] == NAME; }

// A configuration file longer than this is left to fontconfig.
constexpr size_t LONGEST_FILE = 1 << 20;

bool read_file(const std::string& path, std::string* contents) {
  return platform_file_read_whole(path, LONGEST_FILE, contents) == 0;
}

// A file's or folder's name as fontconfig tells one read before from another: a link is followed
// once (a relative one from the link's own folder).
std::string real_name(const std::string& path) {
  char target[4096];
  const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
  if (length <= 0) return path;
  const std::string_view link(target, size_t(length));
  if (link.front() == '/') return std::string(link);
  return (std::filesystem::path(path).parent_path() / link).lexically_normal().string();
}

// The length of the reference at text[at] ('&') when the XML itself defines it (the five
// entities and numbered characters); 0 for any other.
size_t plain_reference_length(std::string_view text, size_t at) {
  const size_t end = text.find(';', at);
  if (end == std::string_view::npos) return 0;
  const std::string_view name = text.substr(at + 1, end - at - 1);
  if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos")
    return end + 1 - at;
  if (name.size() < 2 || name[0] != '#') return 0;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return 0;
  for (char c : digits)
    if (!(c >= '0' && c <= '9') && !(hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))))
      return 0;
  return end + 1 - at;
}

// Character data from text[at] up to the next tag (or the end): where it ends, whether it is
// blanks alone, and false when it holds a reference the XML does not define, or "]]>".
bool read_text_run(std::string_view text, size_t at, size_t* end, bool* blank) {
  *blank = true;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c == '<') break;
    if (is_blank(c)) continue;
    *blank = false;
    if (c == '&') {
      const size_t length = plain_reference_length(text, at);
      if (length == 0) return false;
      at += length - 1;
    } else if (c == ']' && text.substr(at, 3) == "]]>") {
      return false;
    }
  }
  *end = at;
  return true;
}

struct Attribute {
  std::string_view name, value;
};

// Attributes of one element, at most.
constexpr int MOST_ATTRIBUTES = 8;

// An element's start tag: its name, attributes and whether it closes itself.
struct StartTag {
  std::string_view name;
  Attribute attributes[MOST_ATTRIBUTES];
  int attribute_count = 0;
  bool empty = false;
};

// Reads the start tag at text[*at] ('<'), moving *at past it.
bool read_start_tag(std::string_view text, size_t* at, StartTag* tag) {
  size_t i = *at + 1;
  const size_t name_start = i;
  while (i < text.size() && is_name_char(text[i])) ++i;
  tag->name = text.substr(name_start, i - name_start);
  if (tag->name.empty()) return false;
  for (;;) {
    const size_t before_blank = i;
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i >= text.size()) return false;
    if (text[i] == '>' || (text[i] == '/' && i + 1 < text.size() && text[i + 1] == '>')) {
      tag->empty = text[i] == '/';
      *at = i + (tag->empty ? 2 : 1);
      return true;
    }
    // Attributes are set apart by blanks.
    if (i == before_blank || tag->attribute_count == MOST_ATTRIBUTES) return false;
    const size_t attribute_start = i;
    while (i < text.size() && is_name_char(text[i])) ++i;
    const std::string_view name = text.substr(attribute_start, i - attribute_start);
    while (i < text.size() && is_blank(text[i])) ++i;
    if (name.empty() || i >= text.size() || text[i] != '=') return false;
    ++i;
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i >= text.size() || (text[i] != '"' && text[i] != '\'')) return false;
    const size_t end = text.find(text[i], i + 1);
    if (end == std::string_view::npos) return false;
    for (size_t k = i + 1; k < end; ++k) {
      if (text[k] == '<') return false;
      if (text[k] == '&') {
        const size_t length = plain_reference_length(text.substr(0, end), k);
        if (length == 0) return false;
        k += length - 1;
      }
    }
    tag->attributes[tag->attribute_count++] = {name, text.substr(i + 1, end - i - 1)};
    i = end + 1;
  }
}

// Moves *at past the comment at text[*at] ("<!--"); false when it does not close or holds "--".
bool skip_comment(std::string_view text, size_t* at) {
  const void* dashes = *at + 4 <= text.size()
                           ? memmem(text.data() + *at + 4, text.size() - *at - 4, "--", 2)
                           : nullptr;
  if (!dashes) return false;
  const size_t end = size_t(static_cast<const char*>(dashes) - text.data());
  if (end + 2 >= text.size() || text[end + 2] != '>') return false;
  *at = end + 3;
  return true;
}

bool starts_at(std::string_view text, size_t at, std::string_view with) {
  return text.substr(at, with.size()) == with;
}

// The text of an element holding text alone (comments aside) from *at up to its end tag, moving
// *at past that.
bool read_text_element(std::string_view text, size_t* at, std::string_view name,
                       std::string* content) {
  while (*at < text.size()) {
    size_t tag;
    bool blank;
    if (!read_text_run(text, *at, &tag, &blank) || tag >= text.size()) return false;
    content->append(text.substr(*at, tag - *at));
    *at = tag;
    if (starts_at(text, tag, "<!--")) {
      if (!skip_comment(text, at)) return false;
      continue;
    }
    if (!starts_at(text, tag, "</") || text.substr(tag + 2, name.size()) != name) return false;
    size_t i = tag + 2 + name.size();
    while (i < text.size() && is_blank(text[i])) ++i;
    if (i >= text.size() || text[i] != '>') return false;
    *at = i + 1;
    return true;
  }
  return false;
}

// Whether a top-level element chooses the fonts: their folders and caches, which of their files are
// taken, the rules applied as they are scanned, and how often they are looked at again.
bool chooses_fonts(const StartTag& tag) {
  for (std::string_view name :
       {"dir", "cachedir", "selectfont", "config", "reset-dirs", "remap-dir"})
    if (tag.name == name) return true;
  if (tag.name != "match") return false;
  for (int k = 0; k < tag.attribute_count; ++k)
    if (tag.attributes[k].name == "target") return tag.attributes[k].value == "scan";
  return false;
}

struct Combiner {
  FcConfig* config;
  std::string text;  // the document's content, in order
  // The spans of text that choose the fonts (whole top-level elements), and the start of the one
  // being written.
  std::vector<std::pair<size_t, size_t>> font_parts;
  size_t font_start = std::string::npos;
  bool apart = true;                   // no file left to fontconfig could choose fonts
  std::set<std::string> reached = {};  // the files and folders read, by their real names

  // The content of a configuration file's root element, written out; false when the file
  // cannot be taken in as it is.
  bool write_file(std::string_view file, int depth) {
    size_t at = 0;
    if (!skip_prolog(file, &at)) return false;
    std::vector<std::string_view> open{"fontconfig"};
    size_t text_start = text.size();  // where the text since the last tag was written
    bool blank = true;                // it is blanks alone
    bool after_start = false;         // the last tag written was a start tag
    while (!open.empty()) {
      if (at >= file.size()) return false;
      if (file[at] != '<') {
        size_t end;
        bool run_blank;
        if (!read_text_run(file, at, &end, &run_blank)) return false;
        text.append(file.substr(at, end - at));
        blank = blank && run_blank;
        at = end;
      } else if (starts_at(file, at, "<!--")) {
        if (!skip_comment(file, &at)) return false;
      } else {
        // Blanks alone are text of their own only as an element's whole text.
        if (blank && !(starts_at(file, at, "</") && after_start)) text.resize(text_start);
        if (!write_tag(file, &at, depth, &open, &after_start)) return false;
        text_start = text.size();
        blank = true;
      }
    }
    // Only blanks and comments after the root element.
    while (at < file.size()) {
      if (is_blank(file[at])) {
        ++at;
      } else if (!starts_at(file, at, "<!--") || !skip_comment(file, &at)) {
        return false;
      }
    }
    return true;
  }

  // Moves *at past what comes before the root element's content: the XML declaration (of UTF-8),
  // a document type that declares nothing, comments and blanks, and the root's start tag.
  static bool skip_prolog(std::string_view text, size_t* at) {
    if (starts_at(text, 0, "<?xml")) {
      const size_t end = text.find("?>");
      if (end == std::string_view::npos || !(is_blank(text[5]) || text[5] == '?')) return false;
      const std::string_view declaration = text.substr(0, end);
      const size_t encoding = declaration.find("encoding");
      if (encoding != std::string_view::npos) {
        const size_t quote = declaration.find_first_of("\"'", encoding);
        if (quote == std::string_view::npos) return false;
        std::string name(declaration.substr(quote + 1, 5));
        for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (name != "utf-8" || quote + 6 >= declaration.size() ||
            declaration[quote + 6] != declaration[quote])
          return false;
      }
      *at = end + 2;
    }
    bool typed = false;
    for (;;) {
      while (*at < text.size() && is_blank(text[*at])) ++*at;
      if (starts_at(text, *at, "<!--")) {
        if (!skip_comment(text, at)) return false;
      } else if (!typed && starts_at(text, *at, "<!DOCTYPE") && *at + 9 < text.size() &&
                 is_blank(text[*at + 9])) {
        const size_t end = text.find('>', *at);
        if (end == std::string_view::npos ||
            text.substr(*at + 1, end - *at - 1).find_first_of("[<") != std::string_view::npos)
          return false;
        typed = true;
        *at = end + 1;
      } else if (starts_at(text, *at, "<fontconfig>")) {
        *at += 12;
        return true;
      } else {
        return false;
      }
    }
  }

  // Writes the tag at file[*at] (an end tag, or a start tag with the text of a description or
  // an inclusion), moving *at past it; the elements open are kept in *open.
  bool write_tag(std::string_view file, size_t* at, int depth, std::vector<std::string_view>* open,
                 bool* after_start) {
    *after_start = false;
    if (starts_at(file, *at, "<!") || starts_at(file, *at, "<?")) return false;
    if (starts_at(file, *at, "</")) {
      const size_t end = file.find('>', *at);
      if (end == std::string_view::npos) return false;
      std::string_view name = file.substr(*at + 2, end - *at - 2);
      while (!name.empty() && is_blank(name.back())) name.remove_suffix(1);
      if (name != open->back()) return false;
      open->pop_back();
      if (!open->empty()) text.append(file.substr(*at, end + 1 - *at));
      if (open->size() == 1 && font_start != std::string::npos) {
        font_parts.emplace_back(font_start, text.size());
        font_start = std::string::npos;
      }
      *at = end + 1;
      return true;
    }
    const size_t tag_start = *at;
    StartTag tag;
    if (!read_start_tag(file, at, &tag)) return false;
    for (int k = 0; k < tag.attribute_count; ++k)
      if (tag.attributes[k].value == "relative") return false;  // from the file's own folder
    if (tag.name == "description") {
      std::string content;
      return tag.empty || read_text_element(file, at, tag.name, &content);
    }
    if (tag.name == "include" && !tag.empty) {
      std::string path;
      if (!read_text_element(file, at, tag.name, &path)) return false;
      if (!write_include(tag, path, depth)) {
        text.append(file.substr(tag_start, *at - tag_start));
        if (may_name_a_file(tag, path)) apart = false;
      }
      return true;
    }
    const size_t written = text.size();
    text.append(file.substr(tag_start, *at - tag_start));
    if (open->size() == 1 && chooses_fonts(tag)) {
      if (tag.empty)
        font_parts.emplace_back(written, text.size());
      else
        font_start = written;
    }
    if (!tag.empty) open->push_back(tag.name);
    *after_start = !tag.empty;
    return true;
  }

  // Whether an inclusion left to fontconfig may find a file to read.
  bool may_name_a_file(const StartTag& tag, const std::string& path) const {
    std::string_view prefix;
    for (int k = 0; k < tag.attribute_count; ++k)
      if (tag.attributes[k].name == "prefix") prefix = tag.attributes[k].value;
    if (prefix.empty()) {
      FcChar8* found = FcConfigGetFilename(config, reinterpret_cast<const FcChar8*>(path.c_str()));
      if (found) FcStrFree(found);
      return found != nullptr;
    }
    if (prefix != "xdg") return true;
    // Under the user's folder of configurations, as fontconfig finds it.
    std::string folder;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) {
      folder = xdg;
    } else if (const char* home = std::getenv("HOME")) {
      folder = std::string(home) + "/.config";
    } else {
      return true;
    }
    PlatformFileStatus status;
    return platform_file_status((folder + "/" + path).c_str(), &status) == 0;
  }

  // Writes the files of a folder included plainly in their place; false when the inclusion is
  // to stay as it is.
  bool write_include(const StartTag& tag, const std::string& path, int depth) {
    std::string_view ignore_missing = "no";
    for (int k = 0; k < tag.attribute_count; ++k) {
      const Attribute& attribute = tag.attributes[k];
      if (attribute.name != "ignore_missing" ||
          (attribute.value != "yes" && attribute.value != "no"))
        return false;
      ignore_missing = attribute.value;
    }
    if (path.empty() || path[0] == '~' || depth >= MOST_NESTED_FOLDERS ||
        std::any_of(path.begin(), path.end(), [](char c) { return is_blank(c) || c == '&'; }))
      return false;
    FcChar8* found = FcConfigGetFilename(config, reinterpret_cast<const FcChar8*>(path.c_str()));
    if (!found) return false;
    const std::string folder = real_name(reinterpret_cast<const char*>(found));
    FcStrFree(found);
    PlatformFileStatus status;
    if (platform_file_status(folder.c_str(), &status) != 0 || !S_ISDIR(status.mode)) return false;
    if (reached.count(folder)) return true;
    DIR* listing = opendir(folder.c_str());
    if (!listing) return false;
    reached.insert(folder);
    std::vector<std::string> names;
    while (const dirent* entry = readdir(listing)) {
      const std::string_view name = entry->d_name;
      if (name.size() > 5 && name[0] >= '0' && name[0] <= '9' &&
          name.substr(name.size() - 5) == ".conf")
        names.emplace_back(name);
    }
    closedir(listing);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return std::strcmp(a.c_str(), b.c_str()) < 0;
    });
    for (const std::string& name : names) {
      const std::string file = folder + (folder.back() == '/' ? "" : "/") + name;
      if (!reached.insert(real_name(file)).second) continue;
      const size_t text_size = text.size(), parts = font_parts.size();
      std::string contents;
      if (read_file(file, &contents) && write_file(contents, depth + 1)) continue;
      // Left to fontconfig, which reads it as it would have from the folder.
      text.resize(text_size);
      font_parts.resize(parts);
      font_start = std::string::npos;
      apart = false;
      text.append("<include ignore_missing=\"").append(ignore_missing).append("\">");
      for (char c : file) {
        if (c == '&')
          text.append("&amp;");
        else if (c == '<')
          text.append("&lt;");
        else
          text.push_back(c);
      }
      text.append("</include>");
    }
    return true;
  }
};

}  // namespace

FontConfigurationDocuments platform_font_configuration_documents(FcConfig* config,
                                                                 const char* file) {
  // A configuration under another root is left to fontconfig.
  if (std::getenv("FONTCONFIG_SYSROOT")) return {};
  FcChar8* found = FcConfigGetFilename(config, reinterpret_cast<const FcChar8*>(file));
  if (!found) return {};
  const std::string path = reinterpret_cast<const char*>(found);
  FcStrFree(found);
  std::string contents;
  Combiner combiner{config, {}, {}};
  combiner.reached.insert(real_name(path));
  if (!read_file(path, &contents) || !combiner.write_file(contents, 0)) return {};
  FontConfigurationDocuments documents;
  if (!combiner.apart) {
    documents.fonts = "<fontconfig>" + combiner.text + "</fontconfig>";
    return documents;
  }
  documents.fonts = documents.rules = "<fontconfig>";
  size_t at = 0;
  for (const auto& [start, end] : combiner.font_parts) {
    documents.rules.append(combiner.text, at, start - at);
    documents.fonts.append(combiner.text, start, end - start);
    at = end;
  }
  documents.rules.append(combiner.text, at).append("</fontconfig>");
  documents.fonts.append("</fontconfig>");
  return documents;
}

FcConfig* platform_read_font_configuration(std::string* rules) {
  rules->clear();
  FcConfig* config = FcConfigCreate();
  if (!config) return nullptr;
  FontConfigurationDocuments documents = platform_font_configuration_documents(config);
  if (!documents.fonts.empty() &&
      FcConfigParseAndLoadFromMemory(
          config, reinterpret_cast<const FcChar8*>(documents.fonts.c_str()), FcTrue)) {
    *rules = std::move(documents.rules);
    return config;
  }
  // Read from the files, which say where anything is wrong.
  FcConfigDestroy(config);
  config = FcConfigCreate();
  if (config && FcConfigParseAndLoad(config, nullptr, FcTrue)) return config;
  if (config) FcConfigDestroy(config);
  return nullptr;
}

bool platform_read_font_rules(FcConfig* config, const std::string& rules) {
  return rules.empty() || FcConfigParseAndLoadFromMemory(
                              config, reinterpret_cast<const FcChar8*>(rules.c_str()), FcTrue);
}
