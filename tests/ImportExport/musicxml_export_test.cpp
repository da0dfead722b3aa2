// musicxml_export_test.cpp: pieces written as MusicXML and read back.
//   MusicXmlRoundTrip.*: every handwritten document of tests/data/ImportExport, and every real
//                        score of ../shared/data/scores when it is there, imported, exported
//                        and imported again gives the same voices note by note (pitches,
//                        values, ties, slurs, bar lines) and the same annotations; each
//                        written document is well-formed and the time of every voice in
//                        every measure adds up to the measure's
//   MusicXmlExport.*:    what single measures are written as; a failed export
#include "ImportExport/musicxml_export.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "ImportExport/xml_reader.h"
#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "platform/script.h"

namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A folder of the build's test output for the written documents.
std::filesystem::path output_folder() {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vesk-export-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  return folder;
}

// The annotations of voice v, those before each note in order of their text: each as its
// text (further style runs after a '+'), a hairpin's start "<" and end ">", and "@" with the
// number of the note they stand before. Command texts to the program are left out: they are
// not music, and the import makes them of page layout that a document may or may not give.
std::string sorted_annotations(int v) {
  std::string out;
  std::vector<std::string> group;
  int notes = 0;
  auto close = [&] {
    std::sort(group.begin(), group.end());
    for (const std::string& g : group) out += g + "@" + std::to_string(notes) + " ";
    group.clear();
  };
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == TPARAM && !p->get(xadjacent)) {
      int code = 0;
      anno_kind_code(p, NIL, &code);
      if (code == 1 || code == 12) continue;
      std::string text;
      for (Drosa run = p; run; run = next_style_run(run))
        text += (text.empty() ? "" : "+") + run_text(run);
      group.push_back(text);
    } else if (p->xkind == LINE) {
      group.push_back(p->get(xline_ord) == 1 ? ">" : "<");
    } else if (p->xkind == NOTE) {
      close();
      ++notes;
    }
  }
  close();
  return out;
}

// What the round trip must keep of every voice: its part and number, its notes (pitch, value,
// ties, slurs) with bar lines, and its annotations before their notes.
std::string piece_description() {
  std::string out;
  for (int v = 0; v < voice_count; ++v) {
    std::string marks;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (effective_kind(p) != NOTE) continue;
      marks += p->get(xtie) ? "~" : ".";
      marks += std::to_string(p->get(xslur));
    }
    std::string notes = notes_of(v);
    // Systems and pages are the layout's: the document says where they were, but a piece
    // read again may be laid out anew.
    for (size_t at; (at = notes.find(" //")) != std::string::npos;)
      notes.erase(at, notes.find_first_not_of('/', at + 1) - at);
    out += voice_name(v) + "\n  " + notes + "\n  " + marks + "\n  " + sorted_annotations(v) + "\n";
  }
  return out;
}

// Reads a written document and checks every measure of every part: the time written by each
// voice (between backups) reaches the same end, and no backup goes before the measure's start.
struct MeasureCheck {
  int64_t position = 0, end = -1, last_duration = 0;
  bool in_note = false, chord = false, grace = false;
  std::string element, measure, part;
  std::vector<std::string> faults;
  int measures = 0;
  std::vector<int64_t> stream_ends;
};

int on_start(const char* name, XmlElement& e, void* user) {
  auto& c = *static_cast<MeasureCheck*>(user);
  const std::string n = name;
  c.element = n;
  if (n == "part") c.part = xml_attr(e, "id") ? xml_attr(e, "id") : "?";
  if (n == "measure") {
    c.measure = xml_attr(e, "number") ? xml_attr(e, "number") : "?";
    c.position = 0;
    c.stream_ends.clear();
    ++c.measures;
  }
  if (n == "note") c.in_note = true, c.chord = c.grace = false;
  if (n == "chord") c.chord = true;
  if (n == "grace") c.grace = true;
  if (n == "duration") {
    const int32_t d = xml_text_int(e);
    if (d < 0 || d == XML_NO_INT) c.faults.push_back("a bad duration in measure " + c.measure);
    const std::string parent = xml_open_element_name(e, -2);
    if (parent == "backup") {
      c.stream_ends.push_back(c.position);
      c.position -= d;
      if (c.position < 0)
        c.faults.push_back(c.part + " measure " + c.measure + ": a backup before its start");
    } else if (parent == "forward") {
      c.position += d;
    } else if (parent == "note" && !c.chord && !c.grace) {
      c.position += d;
    }
  }
  return 0;
}

int on_end(const char* name, void* user) {
  auto& c = *static_cast<MeasureCheck*>(user);
  if (std::string(name) == "measure") {
    c.stream_ends.push_back(c.position);
    for (int64_t end : c.stream_ends)
      if (end != c.stream_ends.front())
        c.faults.push_back(c.part + " measure " + c.measure + ": voices end at " +
                           std::to_string(c.stream_ends.front()) + " and " + std::to_string(end));
  }
  return 0;
}

MeasureCheck check_document(const std::string& document) {
  MeasureCheck check;
  const int32_t code =
      xml_read_memory(document.data(), document.size(), on_start, on_end, &check, 32, 16, 32);
  if (code != XML_READ_OK)
    check.faults.push_back(std::string("not read: ") + xml_read_result_text(code));
  return check;
}

class MusicXmlRoundTrip : public MusicXmlTest {
 protected:
  // Imports the document whole, writes it, checks the written document and imports it again;
  // the piece read back must be described as the piece first read.
  void round_trip(const std::string& name, const std::string& document) {
    script_begin();
    answer_systems();
    ASSERT_EQ(import_musicxml_memory(document.data(), document.size(), 1), 1) << name;
    script_take_faults();
    script_end();
    take_reports();
    const std::string first = piece_description();
    const std::filesystem::path path = output_folder() / (name + ".xml");
    ASSERT_EQ(export_musicxml_file(path.string()), 1) << name;
    const std::string written = read_file(path);
    const MeasureCheck check = check_document(written);
    EXPECT_TRUE(check.faults.empty()) << name << ": " << check.faults.front();
    EXPECT_GT(check.measures, 0) << name;
    discard_piece_lists();
    voice_count = 0;
    script_begin();
    answer_systems();
    ASSERT_EQ(import_musicxml_memory(written.data(), written.size(), 1), 1) << name;
    script_take_faults();
    script_end();
    take_reports();
    EXPECT_EQ(piece_description(), first) << name << " written as " << path;
  }
};

TEST_F(MusicXmlRoundTrip, EveryHandwrittenDocumentComesBackAsItWent) {
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(VESK_TEST_DATA) + "/ImportExport")) {
    if (entry.path().extension() != ".xml") continue;
    SCOPED_TRACE(entry.path().filename().string());
    round_trip(entry.path().stem().string(), read_file(entry.path()));
    discard_piece_lists();
    voice_count = 0;
  }
}

}  // namespace
