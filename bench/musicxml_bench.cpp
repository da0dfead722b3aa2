// musicxml_bench.cpp: importing large MusicXML scores.
// The scores: 16 staves of 100, 200 and 400 bars of 4/4 (eighths, quarters and halves with
// accidentals, slurs, a dynamic every 16 bars, a system break every 4 bars; about 70 notes a
// bar), written by the shared score generator into the build folder at the first run.
//   MusicXmlImportPasses/100, /200, /400: the parse and the analysing pass, to the piece's
//                          voices; the time must grow linearly with the bars
//   MusicXmlImportWhole/100, /200, /400:  the whole import: the passes, the pages made of the
//                          document's systems, and every page formatted
//   MusicXmlImportTwoVoices/400: the worst case of the passes: every staff holds a second
//                          voice written after a backup, whose notes are each walked back
//                          over the first voice's notes of the measure, and split off again
//   MusicXmlExport/100, /200, /400: the imported score written as a MusicXML document (into a
//                          file of the build folder, renamed into place); each run's document
//                          holds every note of the score and 16 parts of as many measures
//   MusicXmlExportTwoVoices/400: the worst case: every staff holds a second voice, written
//                          after a backup in every measure
//   MusicXmlGraceNotes/2500, /5000, /9996: one measure of one staff whose whole note follows
//                          N grace notes (9,996 and the note are nearly the most notes a
//                          measure may hold); the time per grace note must not grow with N
// Every run checks what it imported: one voice a staff (two in the worst case), the score's
// notes and the bar lines of every voice.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/bench_support.h"

namespace {

constexpr int STAVES = 16;

// The score of `bars` bars, generated once; empty when the generator cannot run.
const std::string& score(int bars) {
  static std::map<int, std::string> scores;
  auto found = scores.find(bars);
  if (found != scores.end()) return found->second;
  const std::string path =
      std::string(VESK_BENCH_DIR) + "/score-16x" + std::to_string(bars) + ".xml";
  std::ifstream existing(path);
  if (!existing) {
    const std::string command = "python3 " + std::string(VESK_GEN_SCORE) + " " +
                                std::to_string(STAVES) + " " + std::to_string(bars) + " " + path +
                                " > /dev/null";
    if (std::system(command.c_str()) != 0) return scores[bars];
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return scores[bars] = text.str();
}

// The score with every measure's notes written again as voice 2 after a backup of the
// measure (16 divisions).
std::string with_second_voice(const std::string& doc) {
  std::string out;
  size_t at = 0;
  for (size_t end; (end = doc.find("</measure>", at + 1)) != std::string::npos; at = end) {
    const std::string measure = doc.substr(at, end - at);
    out += measure + "<backup><duration>16</duration></backup>\n";
    for (size_t n = measure.find("<note>"); n != std::string::npos;
         n = measure.find("<note>", n + 1)) {
      std::string copy = measure.substr(n, measure.find("</note>", n) + 7 - n);
      copy.replace(copy.find("<voice>1</voice>"), 16, "<voice>2</voice>");
      out += copy;
    }
  }
  return out + doc.substr(at);
}

// Notes (not rests) the document holds.
long document_notes(const std::string& doc) {
  long n = 0;
  for (size_t at = doc.find("<pitch>"); at != std::string::npos; at = doc.find("<pitch>", at + 1))
    ++n;
  return n;
}

// The generated scores break systems but not pages, which the whole import says at level 2
// before it asks for the pages; any other report ends the run.
void stop_on_other_report(int16_t level, const char* text) {
  if (level == 2 && std::strstr(text, "no pagination data")) return;
  stop_on_report(level, text);
}

void start_store() {
  set_report_observer(stop_on_other_report);
  reset_model_globals();
  reset_layout_globals();
  reset_graphics_globals();
  reset_params_globals();
  reset_musicxml_globals();
  connect_subsystems();
  VeskMemory_Init();
  param_init();
  GE_head = newDrosa(GE_CHAR, 0);
}

// The imported piece has the score's voices, notes and bar lines.
bool check_piece(benchmark::State& state, const std::string& doc, int bars, int voices) {
  long notes = 0;
  for (int v = 0; v < voice_count; ++v) {
    int bar_lines = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind == NOTE && !p->get(xrest)) ++notes;
      if (effective_kind(p) == BAR) ++bar_lines;
    }
    if (bar_lines != bars) {
      state.SkipWithError("a voice lost bar lines");
      return false;
    }
  }
  if (voice_count != voices || notes != document_notes(doc)) {
    state.SkipWithError("the piece lost voices or notes");
    return false;
  }
  state.counters["notes"] = double(notes);
  return true;
}

// Answers the dialog a whole import asks, how to break the piece into pages (the document's
// systems kept), in the dialog's scripted mode.
void answer_systems() {
  script_hit(9);
  script_type(10, "4");
  script_type(12, "1");
  script_hit(1);
}

void import_score(benchmark::State& state, int complete, bool two_voices = false) {
  const int bars = int(state.range(0));
  const std::string doc = two_voices ? with_second_voice(score(bars)) : score(bars);
  if (doc.empty()) {
    state.SkipWithError("the score generator could not be run");
    return;
  }
  start_store();
  // A whole import asks how to break the piece into pages (the document's systems are kept):
  // one system of sixteen staves fills a letter page; answered in the dialog's scripted mode.
  if (complete) script_begin();
  for (auto _ : state) {
    if (complete) answer_systems();
    if (!import_musicxml_memory(doc.data(), doc.size(), complete)) {
      state.SkipWithError("the import failed");
      return;
    }
  }
  if (complete) {
    script_take_faults();
    script_end();
  }
  if (!check_piece(state, doc, bars, two_voices ? 2 * STAVES : STAVES)) return;
  state.counters["bars/s"] =
      benchmark::Counter(double(bars), benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(doc.size()));
  discard_piece_lists();
}

// Counts the occurrences of a text in a file's bytes.
long occurrences(const std::string& text, const char* what) {
  long n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

void export_score(benchmark::State& state, bool two_voices) {
  const int bars = int(state.range(0));
  const std::string doc = two_voices ? with_second_voice(score(bars)) : score(bars);
  if (doc.empty()) {
    state.SkipWithError("the score generator could not be run");
    return;
  }
  start_store();
  // Imported whole, as the program opens a document: the pages the export reads the drawn
  // distances of are formatted already (a page left unformatted is formatted by the export).
  script_begin();
  answer_systems();
  const bool imported = import_musicxml_memory(doc.data(), doc.size(), 1);
  script_take_faults();
  script_end();
  if (!imported) {
    state.SkipWithError("the import failed");
    return;
  }
  const std::string path = std::string(VESK_BENCH_DIR) + "/exported-16x" + std::to_string(bars) +
                           (two_voices ? "-2" : "") + ".xml";
  for (auto _ : state) {
    if (!export_musicxml_file(path)) {
      state.SkipWithError("the export failed");
      return;
    }
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string written = text.str();
  if (occurrences(written, "<pitch>") != document_notes(doc) ||
      occurrences(written, "<measure ") != long(STAVES) * bars ||
      occurrences(written, "<part id=") != STAVES) {
    state.SkipWithError("the document lost notes, measures or parts");
    return;
  }
  state.counters["bars/s"] =
      benchmark::Counter(double(bars), benchmark::Counter::kIsIterationInvariantRate);
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(written.size()));
  discard_piece_lists();
}

// One measure of 4/4 whose whole note follows `graces` grace eighths, rising and falling.
std::string grace_notes_document(int graces) {
  std::string doc =
      "<?xml version=\"1.0\"?><score-partwise version=\"3.1\"><part-list><score-part "
      "id=\"P1\"><part-name>P</part-name></score-part></part-list><part id=\"P1\"><measure "
      "number=\"1\"><attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4"
      "</beat-type></time><clef><sign>G</sign><line>2</line></clef></attributes>\n";
  static const char steps[] = "CDEFGAB";
  for (int i = 0; i < graces; ++i) {
    const int step = i % 14 < 7 ? i % 7 : 6 - i % 7;
    doc += std::string("<note><grace/><pitch><step>") + steps[step] +
           "</step><octave>5</octave></pitch><voice>1</voice><type>eighth</type></note>\n";
  }
  return doc +
         "<note><pitch><step>C</step><octave>5</octave></pitch><duration>4</duration><voice>1"
         "</voice><type>whole</type></note></measure></part></score-partwise>";
}

void MusicXmlGraceNotes(benchmark::State& state) {
  const int graces = int(state.range(0));
  const std::string doc = grace_notes_document(graces);
  start_store();
  for (auto _ : state) {
    if (!import_musicxml_memory(doc.data(), doc.size(), 0)) {
      state.SkipWithError("the import failed");
      return;
    }
  }
  if (!check_piece(state, doc, 1, 1)) return;
  state.counters["graces/s"] =
      benchmark::Counter(double(graces), benchmark::Counter::kIsIterationInvariantRate);
  discard_piece_lists();
}

void MusicXmlImportPasses(benchmark::State& state) { import_score(state, 0); }
void MusicXmlExport(benchmark::State& state) { export_score(state, false); }
void MusicXmlExportTwoVoices(benchmark::State& state) { export_score(state, true); }
void MusicXmlImportWhole(benchmark::State& state) { import_score(state, 1); }
void MusicXmlImportTwoVoices(benchmark::State& state) { import_score(state, 0, true); }

BENCHMARK(MusicXmlImportPasses)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(MusicXmlImportWhole)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(MusicXmlImportTwoVoices)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(MusicXmlExport)->Arg(100)->Arg(200)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(MusicXmlExportTwoVoices)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(MusicXmlGraceNotes)->Arg(2500)->Arg(5000)->Arg(9996)->Unit(benchmark::kMillisecond);

}  // namespace
