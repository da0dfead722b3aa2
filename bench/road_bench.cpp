// road_bench.cpp: the whole road of a MusicXML document to a PDF file, as a user takes it:
// the import (parse, analysing pass, pages made), the first page shown, and every page
// printed to a PDF file. Each stage's time is a counter of its own (processor seconds an
// iteration, the PDF writer's threads included).
//   Road/<staves>/<bars>: the generated score (4/4, about 4.4 notes a bar and staff, a system
//       break every 4 bars), written by the shared generator into the build folder at the
//       first run. 16x100, 16x200, 16x400 and 8x400, 32x400: the time must grow linearly with
//       the bars and with the staves.
//   RoadLargestScore: the largest document of the real scores (VESK_SCORES_DIR).
//   RoadRealScore/<name>: another large real score, a string quartet of many short notes.
//   RestBars/<bars>: the whole import of one staff of bars of four quarter rests, its pages
//       made and formatted; linear.
// Every run checks what it made: the piece's notes against the document's, as many PDF pages
// as the piece has, and the rests of every bar. rss_MB is the process's peak: run one
// benchmark alone (--benchmark_filter) to read the road's own.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>

#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/printing.h"
#include "platform/script.h"
#include "support/bench_support.h"

namespace {

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string generated_score(int staves, int bars) {
  const std::string path = std::string(VESK_BENCH_DIR) + "/road-" + std::to_string(staves) + "x" +
                           std::to_string(bars) + ".xml";
  if (!std::filesystem::exists(path)) {
    const std::string command = "python3 " + std::string(VESK_GEN_SCORE) + " " +
                                std::to_string(staves) + " " + std::to_string(bars) + " " + path +
                                " > /dev/null";
    if (std::system(command.c_str()) != 0) return "";
  }
  return file_text(path);
}

std::string largest_real_score(std::string* name) {
  std::error_code error;
  std::filesystem::path largest;
  uintmax_t most = 0;
  for (const auto& entry : std::filesystem::directory_iterator(VESK_SCORES_DIR, error))
    if (entry.is_regular_file() && entry.file_size() > most) {
      most = entry.file_size();
      largest = entry.path();
    }
  if (largest.empty()) return "";
  *name = largest.stem().string();
  return file_text(largest.string());
}

long count_of(const std::string& doc, const char* tag) {
  long n = 0;
  for (size_t at = doc.find(tag); at != std::string::npos; at = doc.find(tag, at + 1)) ++n;
  return n;
}

long piece_notes(bool rests) {
  long notes = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE && (p->get(xrest) != 0) == rests) ++notes;
  return notes;
}

// Real scores say what they hold that the program leaves out (level 2); the road goes on.
void allow_messages(int16_t level, const char* text) {
  if (level != 2) stop_on_report(level, text);
}

void start_program() {
  fresh_letter_page_program();
  set_report_observer(allow_messages);
  offscreen_create(10, 85, 110, 0, 0);
  platform_print_set_test_printers(true, {});
  Print_init();
}

// The process's processor time in seconds, the PDF writer's worker threads included: on a
// busy machine the wall clock says more of the others than of the road.
double cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double peak_rss_mb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_maxrss) / 1024.0;
}

// One road: import, the first page shown, every page to the PDF file. False (with the run's
// error set) when a stage failed or made the wrong thing.
bool take_road(benchmark::State& state, const std::string& doc, double stage[3]) {
  const std::string pdf = std::string(VESK_BENCH_DIR) + "/road.pdf";
  std::remove(pdf.c_str());
  // Documents that break no pages ask how to: one system of the score's staves a page.
  script_begin();
  script_hit(9);
  script_type(10, "4");
  script_type(12, "1");
  script_hit(1);
  double start = cpu_seconds();
  const bool imported = import_musicxml_memory(doc.data(), doc.size(), 1);
  script_end();
  if (!imported) {
    state.SkipWithError("the import failed");
    return false;
  }
  param_init();
  rebuild_param_nodes();
  prepare_piece();
  stage[0] += cpu_seconds() - start;
  start = cpu_seconds();
  current_page = 1;
  reformat_with_flag(1, 0);
  stage[1] += cpu_seconds() - start;
  start = cpu_seconds();
  print_settings->destination = PRINT_TO_PDF_FILE;
  print_settings->file = pdf;
  print_piece(PRINT_BEFORE_CLOSING);
  stage[2] += cpu_seconds() - start;
  state.PauseTiming();
  const std::string written = file_text(pdf);
  const std::string count = "/Count " + std::to_string(page_count) + " >>";
  const bool good = page_count > 0 && platform_print_pages_done(print_session) == page_count &&
                    written.find(count) != std::string::npos;
  state.counters["pages"] = page_count;
  state.counters["pdf_MB"] = double(written.size()) / 1e6;
  state.ResumeTiming();
  if (!good) state.SkipWithError("the PDF is not the piece's pages");
  return good;
}

void run_road(benchmark::State& state, const std::string& doc) {
  if (doc.empty()) {
    state.SkipWithError("no document to take");
    return;
  }
  start_program();
  double stage[3] = {0, 0, 0};
  for (auto _ : state) {
    if (!take_road(state, doc, stage)) return;
    state.PauseTiming();
    const bool whole = piece_notes(false) == count_of(doc, "<pitch>") ||
                       count_of(doc, "<grace") > 0;  // grace notes of chords may be merged
    discard_piece_lists();
    state.ResumeTiming();
    if (!whole) {
      state.SkipWithError("the piece lost notes");
      return;
    }
  }
  const double n = double(state.iterations());
  state.counters["import_s"] = stage[0] / n;
  state.counters["show_s"] = stage[1] / n;
  state.counters["pdf_s"] = stage[2] / n;
  state.counters["rss_MB"] = peak_rss_mb();
  print_release();
}

void Road(benchmark::State& state) {
  run_road(state, generated_score(int(state.range(0)), int(state.range(1))));
}

void RoadLargestScore(benchmark::State& state) {
  std::string name;
  const std::string doc = largest_real_score(&name);
  state.SetLabel(name);
  run_road(state, doc);
}

void RoadRealScore(benchmark::State& state, const char* name) {
  state.SetLabel(name);
  run_road(state, file_text(std::string(VESK_SCORES_DIR) + "/" + name + ".musicxml"));
}

// One part of `bars` bars of four quarter rests.
std::string rest_bars(int bars) {
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<score-partwise version=\"3.1\"><part-list>"
      "<score-part id=\"P1\"><part-name>Rests</part-name></score-part></part-list>"
      "<part id=\"P1\">\n";
  const char* rest =
      "<note><rest/><duration>1</duration><voice>1</voice><type>quarter</type></note>";
  for (int m = 1; m <= bars; ++m) {
    doc += "<measure number=\"" + std::to_string(m) + "\">";
    if (m == 1)
      doc +=
          "<attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type>"
          "</time><clef><sign>G</sign><line>2</line></clef></attributes>";
    for (int r = 0; r < 4; ++r) doc += rest;
    doc += "</measure>\n";
  }
  return doc + "</part></score-partwise>\n";
}

void RestBars(benchmark::State& state) {
  const int bars = int(state.range(0));
  const std::string doc = rest_bars(bars);
  fresh_letter_page_program();
  set_report_observer(allow_messages);
  for (auto _ : state) {
    // Four bars a system, twelve systems a page.
    script_begin();
    script_hit(9);
    script_type(10, "4");
    script_type(12, "12");
    script_hit(1);
    const bool imported = import_musicxml_memory(doc.data(), doc.size(), 1);
    script_end();
    if (!imported) {
      state.SkipWithError("the import failed");
      return;
    }
    state.PauseTiming();
    const bool good = voice_count == 1 && piece_notes(true) >= 4L * bars;
    discard_piece_lists();
    state.ResumeTiming();
    if (!good) {
      state.SkipWithError("the piece lost rests");
      return;
    }
  }
  state.SetComplexityN(bars);
}

BENCHMARK(Road)
    ->Args({16, 100})
    ->Args({16, 200})
    ->Args({16, 400})
    ->Args({8, 400})
    ->Args({32, 400})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(RoadLargestScore)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(RoadRealScore, quartet, "beethoven-string-quartet-op59-no2-mvt3")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(RestBars)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
