// exchange_checks.cpp: the schema's check of a document and the notes a plain reading finds.
#include "ImportExport/exchange_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

#include "ImportExport/musicxml_services.h"
#include "support/real_scores.h"

namespace {

// The schema folder beside the repository (shared/data/musicxml-4.0); empty when there is none.
std::filesystem::path schema_folder() {
  std::filesystem::path up = std::filesystem::path(VESK_TEST_DATA).parent_path();
  for (int level = 0; level < 4; ++level, up = up.parent_path())
    if (std::filesystem::exists(up / "shared" / "data" / "musicxml-4.0" / "musicxml.xsd"))
      return up / "shared" / "data" / "musicxml-4.0";
  return {};
}

bool have_xmllint() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

}  // namespace

std::string schema_unavailable() {
  static const std::string why = [] {
    if (!have_xmllint()) return std::string("xmllint is not installed (Debian: libxml2-utils)");
    if (schema_folder().empty())
      return std::string(
          "the MusicXML 4.0 schema is not beside the repository "
          "(shared/data/musicxml-4.0)");
    return std::string();
  }();
  return why;
}

std::string schema_errors(const std::string& document) {
  if (!schema_unavailable().empty()) return {};
  const std::filesystem::path folder = schema_folder();
  static int made = 0;
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("vesk-schema-" + std::to_string(::getpid()) + "-" + std::to_string(++made) + ".musicxml");
  std::ofstream(file, std::ios::binary) << document;
  const std::string command = "XML_CATALOG_FILES='" + (folder / "catalog.xml").string() +
                              "' xmllint --noout --nonet --schema '" +
                              (folder / "musicxml.xsd").string() + "' '" + file.string() + "' 2>&1";
  std::string said;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char line[1024];
    while (std::fgets(line, sizeof line, pipe)) said += line;
    const int status = pclose(pipe);
    std::filesystem::remove(file);
    if (status == 0) return {};
  } else {
    std::filesystem::remove(file);
    return "xmllint could not be started";
  }
  // The file's name is the reader's, not the document's.
  for (size_t at; (at = said.find(file.string())) != std::string::npos;)
    said.replace(at, file.string().size(), "document");
  return said.empty() ? "xmllint failed without a word" : said;
}

namespace {

struct NoteReading {
  PartMeasureNotes parts;
  int measure = -1;
  bool in_note = false, rest = false, grace = false, unpitched = false, typed = false;
  bool printed = true;
  std::string step, type;
  double alter = 0;
  int octave = 0, dots = 0;
};

std::string parent(XmlElement& e) { return xml_open_element_name(e, e.depth - 2); }

int read_start(const char* name, XmlElement& e, void* user) {
  NoteReading& r = *static_cast<NoteReading*>(user);
  const std::string n = name;
  if (n == "part" && xml_open_element_level(e, "score-partwise") == e.depth - 2) {
    r.parts.emplace_back();
    r.measure = -1;
  } else if (n == "measure" && !r.parts.empty()) {
    ++r.measure;
    if (r.parts.back().size() <= size_t(r.measure)) r.parts.back().resize(size_t(r.measure) + 1);
  } else if (n == "note") {
    r.in_note = true;
    r.rest = r.grace = r.unpitched = r.typed = false;
    const char* shown = xml_attr(e, "print-object");
    r.printed = !shown || std::string(shown) != "no";
    r.step.clear();
    r.type.clear();
    r.alter = 0;
    r.octave = r.dots = 0;
  } else if (!r.in_note) {
  } else if (n == "rest") {
    r.rest = true;
  } else if (n == "grace") {
    r.grace = true;
  } else if (n == "unpitched") {
    r.unpitched = true;
  } else if ((n == "step" || n == "display-step") && parent(e) != "rest") {
    r.step = xml_element_text(e.text);
  } else if (n == "alter") {
    r.alter = xml_text_double(e);
  } else if (n == "octave" || n == "display-octave") {
    r.octave = xml_text_int(e);
  } else if (n == "type" && parent(e) == "note") {
    r.type = xml_element_text(e.text);
    r.typed = true;
  } else if (n == "dot") {
    ++r.dots;
  }
  return 0;
}

int read_end(const char* name, void* user) {
  NoteReading& r = *static_cast<NoteReading*>(user);
  if (std::string(name) != "note" || !r.in_note) return 0;
  r.in_note = false;
  if (r.rest || r.parts.empty() || r.measure < 0) return 0;
  std::string token = r.printed ? "" : "~";
  if (r.grace) token += "g";
  if (r.unpitched) token += "x";
  const long alter = std::lround(r.alter);
  if (r.unpitched && r.step.empty())
    token += "*";
  else
    token += r.step +
             (alter < 0 ? std::string(size_t(-alter), 'b') : std::string(size_t(alter), '#')) +
             std::to_string(r.octave);
  token += " " + (r.typed ? r.type : "?") + std::string(size_t(r.dots), '.');
  r.parts.back()[size_t(r.measure)].push_back(token);
  return 0;
}

// A token's pitch, and its value.
std::string pitch_of(const std::string& token) { return token.substr(0, token.find(' ')); }
std::string value_of(const std::string& token) { return token.substr(token.find(' ') + 1); }

// Whether a note of the document that gives no type, or no place of an unpitched note, is
// the note read: of its pitch (or any place) and value (or any).
bool matches_loosely(const std::string& theirs, const std::string& ours) {
  const std::string pitch = pitch_of(theirs), value = value_of(theirs);
  const bool any_place = pitch.ends_with("x*"), any_value = value == "?";
  if (!any_place && !any_value) return false;
  const bool place = any_place ? pitch_of(ours).starts_with(pitch.substr(0, pitch.size() - 1))
                               : pitch_of(ours) == pitch;
  return place && (any_value || value_of(ours) == value);
}

}  // namespace

PartMeasureNotes measure_notes(const std::string& document) {
  NoteReading r;
  xml_read_memory(document.data(), document.size(), read_start, read_end, &r, 64, 16, 64);
  for (auto& part : r.parts)
    for (auto& measure : part) std::sort(measure.begin(), measure.end());
  return r.parts;
}

std::vector<std::string> note_differences(const PartMeasureNotes& theirs,
                                          const PartMeasureNotes& ours, int* count) {
  std::vector<std::string> lines;
  int differing = 0;
  static const std::vector<std::vector<std::string>> no_measures;
  static const std::vector<std::string> no_notes;
  for (size_t p = 0; p < std::max(theirs.size(), ours.size()); ++p) {
    const auto& a = p < theirs.size() ? theirs[p] : no_measures;
    const auto& b = p < ours.size() ? ours[p] : no_measures;
    for (size_t m = 0; m < std::max(a.size(), b.size()); ++m) {
      std::vector<std::string> lost = m < a.size() ? a[m] : no_notes;
      std::vector<std::string> gained = m < b.size() ? b[m] : no_notes;
      // Exact matches first, then notes without a type by their pitch alone.
      for (auto it = lost.begin(); it != lost.end();) {
        const auto same = std::find(gained.begin(), gained.end(), *it);
        if (same == gained.end()) {
          ++it;
          continue;
        }
        gained.erase(same);
        it = lost.erase(it);
      }
      for (auto it = lost.begin(); it != lost.end();) {
        const auto same = std::find_if(gained.begin(), gained.end(), [&](const std::string& g) {
          return matches_loosely(*it, g);
        });
        if (same == gained.end()) {
          ++it;
          continue;
        }
        gained.erase(same);
        it = lost.erase(it);
      }
      // A note the document does not print may be left out (as a hidden rest).
      std::erase_if(lost, [](const std::string& t) { return t.starts_with("~"); });
      if (lost.empty() && gained.empty()) continue;
      differing += int(std::max(lost.size(), gained.size()));  // a note changed counts once
      std::string line =
          "part " + std::to_string(p + 1) + " measure " + std::to_string(m + 1) + ":";
      if (!lost.empty()) line += " lost";
      for (const std::string& t : lost) line += " " + t + ",";
      if (!gained.empty()) line += " gained";
      for (const std::string& t : gained) line += " " + t + ",";
      line.pop_back();
      lines.push_back(line);
    }
  }
  if (count) *count = differing;
  return lines;
}

std::string without_encoding_date(std::string document) {
  const size_t from = document.find("<encoding-date>");
  const size_t to = document.find("</encoding-date>");
  if (from != std::string::npos && to != std::string::npos && to > from)
    document.erase(from, to - from);
  return document;
}
