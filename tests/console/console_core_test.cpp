// console_core_test.cpp: the console's life and its messages.
//   Threads.*:  text written from several threads at once, printed or through the pipe,
//               arrives whole and in each thread's order
//   Printing.*: long texts in pieces, the length limits, a console that is not alive
//   Queue.*:    a main thread that shows nothing holds writers at the bound, then lets go
//   Stdout.*:   standard output taken over and given back; a writer that closes the pipe
//   Calls.*:    calls and number requests run on the main thread; showing from a worker
//   Creation.*: titles, a record that is alive, hidden input controls
#include "console/console_core.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "console/console_globals.h"
#include "console/console_record.h"
#include "console_fixture.h"
#include "platform/ticks.h"

namespace {

// Lines "t<thread>:<number>" from each thread; checks that every line arrived whole and that
// each thread's lines are in order and complete.
void expect_lines_whole_and_in_order(const std::string& log, int threads, int lines) {
  std::map<int, int> next;
  size_t start = 0;
  int seen = 0;
  for (size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
    int thread = -1, number = -1;
    char tail = 0;
    const std::string line = log.substr(start, end - start);
    ASSERT_EQ(std::sscanf(line.c_str(), "t%d:%d%c", &thread, &number, &tail), 2) << line;
    ASSERT_EQ(number, next[thread]) << "thread " << thread << " out of order";
    ++next[thread];
    ++seen;
  }
  EXPECT_EQ(seen, threads * lines);
}

using Threads = ConsoleTest;

TEST_F(Threads, TextFromSeveralThreadsArrivesWholeAndInOrder) {
  constexpr int THREADS = 4;
  for (const bool through_pipe : {false, true}) {
    console_record* record = make();
    const int lines = through_pipe ? 500 : 60;
    std::atomic<int> finished{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < THREADS; ++t) {
      workers.emplace_back([record, t, lines, through_pipe, &finished] {
        for (int n = 0; n < lines; ++n) {
          const std::string line = "t" + std::to_string(t) + ":" + std::to_string(n) + "\n";
          if (through_pipe) {
            EXPECT_EQ(write(record->output_write_fd, line.data(), line.size()),
                      static_cast<ssize_t>(line.size()));
          } else {
            EXPECT_EQ(console_print(record, line.c_str(), 0, ATTR_CURRENT, 0), 0);
          }
        }
        ++finished;
      });
    }
    const size_t expected_lines = THREADS * lines;
    ASSERT_TRUE(pump_until([&] {
      const std::string log = text(record);
      return finished == THREADS &&
             static_cast<size_t>(std::count(log.begin(), log.end(), '\n')) == expected_lines;
    }));
    for (std::thread& worker : workers) worker.join();
    expect_lines_whole_and_in_order(text(record), THREADS, lines);
  }
}

using Printing = ConsoleTest;

TEST_F(Printing, LongTextsInPiecesAndTheLengthLimits) {
  console_record* record = make();
  std::string long_text;
  for (int i = 0; long_text.size() < 30000; ++i) long_text += std::to_string(i) + ' ';
  long_text.resize(30000);
  const std::string too_long(40000, 'x');
  const uint64_t shown = record->messages_shown;
  std::thread([&] {
    EXPECT_EQ(console_print(record, long_text.c_str(), 30000, ATTR_CURRENT, 0), 0);
    EXPECT_EQ(console_print(record, too_long.c_str(), 0, ATTR_CURRENT, 0), CONSOLE_BAD_LENGTH);
    EXPECT_EQ(console_print(record, "x", -1, ATTR_CURRENT, 0), CONSOLE_BAD_LENGTH);
  }).join();
  ASSERT_TRUE(pump_queue(record));
  EXPECT_EQ(record->messages_shown, shown + 2) << "16383 bytes, then 13617";
  EXPECT_EQ(text(record), long_text);
  console_dispose(record);
  EXPECT_EQ(console_print(record, "late", 0, 0, 0), CONSOLE_NOT_ALIVE);
  EXPECT_EQ(record->alive, 0);
}

using Queue = ConsoleTest;

TEST_F(Queue, WritersWaitAtTheBoundThenGoOnWhenNothingIsShown) {
  struct VirtualClock {
    VirtualClock() { platform_use_virtual_ticks(true); }
    ~VirtualClock() { platform_use_virtual_ticks(false); }
  } clock;
  console_queue_limit = 64 << 10;
  console_record* record = make();
  std::string expected;
  std::vector<std::string> pieces;
  for (int i = 0; i < 40; ++i) {
    std::string piece;
    while (piece.size() < 16000) piece += std::string(99, static_cast<char>('a' + i % 26)) + "\n";
    pieces.push_back(piece);
    expected += piece;
  }
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (const std::string& piece : pieces)
      console_print(record, piece.c_str(), static_cast<int32_t>(piece.size()), 0, 0);
    done = true;
  });
  // The main thread shows nothing: the writer waits at the bound, on a clock that stands
  // still...
  const auto queued = [record] {
    std::lock_guard lock(record->queue_lock);
    return record->queued_bytes;
  };
  while (queued() < console_queue_limit && !done) std::this_thread::yield();
  EXPECT_FALSE(done);
  EXPECT_LE(queued(), console_queue_limit + CONSOLE_LARGEST_CHUNK);
  // ...but not for ever: after two seconds with nothing shown it goes on. The writer may
  // start its two seconds only after the clock has moved, so the clock moves until it is done.
  while (!done) {
    platform_advance_ticks(121);
    std::this_thread::yield();
  }
  writer.join();
  EXPECT_TRUE(done);
  ASSERT_TRUE(pump_queue(record));
  EXPECT_EQ(text(record), expected) << "nothing lost";
}

using Stdout = ConsoleTest;

TEST_F(Stdout, TakenOverAndGivenBack) {
  struct stat before, after;
  ASSERT_EQ(fstat(STDOUT_FILENO, &before), 0);
  console_record* record = make(CONSOLE_NO_INPUT | CONSOLE_START_HIDDEN | CONSOLE_OUTPUT_IS_STDOUT);
  std::printf("from main\n");
  std::thread([] { std::printf("from a worker\n"); }).join();
  const bool arrived = pump_until([&] { return text(record) == "from main\nfrom a worker\n"; });
  console_dispose(record);
  ASSERT_TRUE(arrived) << text(record);
  ASSERT_EQ(fstat(STDOUT_FILENO, &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_dev, before.st_dev);
}

TEST_F(Stdout, AWriterThatClosesThePipeGetsANewOne) {
  console_record* record = make();
  FILE* first = record->output_stream;
  std::fputs("one\n", first);
  std::fclose(first);
  ASSERT_TRUE(
      pump_until([&] { return record->output_pipe_open && record->output_stream != first; }));
  std::fputs("two\n", record->output_stream);
  EXPECT_TRUE(pump_until([&] { return text(record) == "one\ntwo\n"; })) << text(record);
}

using Calls = ConsoleTest;

TEST_F(Calls, RunOnTheMainThreadAndAnswerNumberRequests) {
  console_record* record = make(CONSOLE_START_HIDDEN);  // with input
  static std::thread::id ran_on;
  auto note_thread = [](void*) {
    ran_on = std::this_thread::get_id();
    return 0;
  };
  auto answer = [](void*) { return 42; };
  std::thread([&] {
    EXPECT_EQ(console_run_on_main(record, note_thread, nullptr), 0);
    EXPECT_EQ(console_post_call(record, answer, nullptr, CONSOLE_NUMBER_REQUEST), 0);
    EXPECT_EQ(record->input_enabled, 0) << "no input while the request waits";
    console_show(record);
  }).join();
  ASSERT_TRUE(pump_until([&] { return console_shown(record) && record->input_enabled != 0; }));
  EXPECT_EQ(ran_on, std::this_thread::get_id());
  EXPECT_EQ(record->input_enabled, -32768);
  char line[16] = {};
  ASSERT_NE(std::fgets(line, sizeof line, record->input_stream), nullptr);
  EXPECT_STREQ(line, "42\n");
}

using Creation = ConsoleTest;

TEST_F(Creation, TitlesAliveRecordsAndInputControls) {
  console_record* first = make(CONSOLE_START_HIDDEN, nullptr);
  console_record* second = make(CONSOLE_NO_INPUT | CONSOLE_START_HIDDEN, nullptr);
  EXPECT_EQ(console_window_title(first->window), "Console");
  EXPECT_EQ(console_window_title(second->window), "Console 2");
  EXPECT_TRUE(console_control_shown(first->window, CONSOLE_INPUT_FIELD));
  for (ConsoleControl c : {CONSOLE_INPUT_FIELD, CONSOLE_RETURN_BUTTON, CONSOLE_SEND_MENU})
    EXPECT_FALSE(console_control_shown(second->window, c));
  EXPECT_EQ(second->input_stream, nullptr);
  // Creating again for a record that is alive only shows it.
  EXPECT_EQ(console_create(second, "Other", nullptr, 0), second);
  EXPECT_TRUE(console_shown(second));
  EXPECT_EQ(console_window_title(second->window), "Console 2");
  EXPECT_EQ(consoles_created, 2);
}

}  // namespace
