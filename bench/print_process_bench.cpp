// print_process_bench.cpp: the whole `vesk --print` process, as a user or a script waits for it:
// the launcher started, the program loaded, the document imported, formatted and printed to a PDF
// file beside it (no printer is asked for: the run has no print server), and the process ended.
// The documents are real scores (a link to each in a folder of the benchmark's own):
//   PrintProcess/0: the Webern song, one page: start-up, fonts and the PDF writer's own cost
//   PrintProcess/1: the largest score (a symphony movement of some fifty pages)
//   PrintProcess/2: a piano piece of eight pages (Brahms, op. 118 no. 2): dense piano music
//                   whose pages are fitted again for their ink and their systems' widths
//   PrintProcess/3: that piece four times over, each part's measures again after its last
//                   (some thirty pages): a long piano piece, whose work should grow with its
//                   length alone
// Times are of the process, start to end; besides the mean, the best and the worst run are
// given (best_ms, worst_ms). Every run checks that the process succeeded and that the PDF it
// wrote holds the document's pages (the page tree's count).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string document(int which) {
  if (which == 0) return std::string(VESK_SCORES_DIR) + "/webern-dormi-jesu-op16-no2.musicxml";
  if (which == 2 || which == 3)
    return std::string(VESK_SCORES_DIR) + "/brahms-klavierstucke-op118-no2-intermezzo.musicxml";
  std::string largest;
  uintmax_t size = 0;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(VESK_SCORES_DIR, error))
    if (entry.path().extension() == ".musicxml" && entry.file_size() > size) {
      size = entry.file_size();
      largest = entry.path().string();
    }
  return largest;
}

// The document with each part's measures `times` times over, one run after the other.
std::string measures_over(const std::string& xml, int times) {
  std::string out;
  size_t at = 0;
  for (;;) {
    const size_t part = xml.find("<part id=", at);
    const size_t first = part == std::string::npos ? part : xml.find("<measure", part);
    const size_t end = part == std::string::npos ? part : xml.find("</part>", part);
    if (first == std::string::npos || end == std::string::npos || first > end) break;
    out.append(xml, at, end - at);
    for (int k = 1; k < times; ++k) out.append(xml, first, end - first);
    at = end;
  }
  return out.append(xml, at);
}

// The page count of the PDF's page tree; 0 when there is none.
int pdf_pages(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t at = text.rfind("/Type /Pages");
  const size_t count = at == std::string::npos ? at : text.find("/Count ", at);
  return count == std::string::npos ? 0 : std::atoi(text.c_str() + count + 7);
}

// Runs the process to its end; false when it could not start or failed.
bool print_process(const std::string& program, const std::string& file) {
  std::string print = "--print", name = file;
  char* argv[] = {const_cast<char*>(program.c_str()), print.data(), name.data(), nullptr};
  pid_t pid;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void PrintProcess(benchmark::State& state) {
  const std::string source = document(int(state.range(0)));
  const std::string program = std::string(VESK_PROGRAM_DIR) + "/vesk";
  if (source.empty() || !fs::exists(source)) return state.SkipWithError("no document");
  // No printer: the PDF goes beside the document, in a folder of the benchmark's own.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    const std::string runtime = "/tmp/vesk-bench-" + std::to_string(getuid());
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  }
  const fs::path dir = fs::path(VESK_BENCH_DIR) / "print-process";
  fs::create_directories(dir);
  const bool long_piece = state.range(0) == 3;
  fs::path file = dir / fs::path(source).filename();
  if (long_piece) file.replace_filename("four-times-" + file.filename().string());
  fs::remove(file);
  if (long_piece) {
    std::ifstream in(source, std::ios::binary);
    const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(file, std::ios::binary) << measures_over(xml, 4);
  } else {
    fs::create_symlink(source, file);
  }
  const fs::path pdf = fs::path(file).replace_extension(".pdf");
  double best = 1e9, worst = 0;
  int pages = 0;
  for (auto _ : state) {
    fs::remove(pdf);
    const auto start = std::chrono::steady_clock::now();
    const bool done = print_process(program, file.string());
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);
    best = std::min(best, seconds);
    worst = std::max(worst, seconds);
    pages = done ? pdf_pages(pdf.string()) : 0;
    if (pages < 1) return state.SkipWithError("the process failed or wrote no pages");
  }
  state.counters["best_ms"] = best * 1e3;
  state.counters["worst_ms"] = worst * 1e3;
  state.counters["pages"] = pages;
}

BENCHMARK(PrintProcess)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Arg(3)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace
