// console_fixture.h: a fixture for console tests: scripted dialogs and alerts, consoles that
// are disposed of after each case, the main loop run until something has arrived, and the
// log read back as text and style runs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/app_services.h"
#include "console/console_globals.h"
#include "console/console_log_formats.h"
#include "console/console_services.h"
#include "platform/application.h"
#include "platform/console_window.h"
#include "support/script_fixture.h"

class ConsoleTest : public ScriptedTest {
 protected:
  void SetUp() override {
    ScriptedTest::SetUp();
    reset_console_globals();
    main_thread_id = std::this_thread::get_id();
  }
  void TearDown() override {
    for (console_record* record : made_) console_dispose_and_free(record);
    made_.clear();
    reset_console_globals();
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
    ScriptedTest::TearDown();
  }

  // A console that shows nothing until asked and has no input, unless the flags say else.
  console_record* make(uint32_t flags = CONSOLE_NO_INPUT | CONSOLE_START_HIDDEN,
                       const char* title = "Test") {
    console_record* record = console_create(nullptr, title, nullptr, flags);
    made_.push_back(record);
    return record;
  }

  // Runs the main loop until `done` (false after ten seconds).
  static bool pump_until(const std::function<bool()>& done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > give_up) return false;
      platform_wait_events(5);
    }
    return true;
  }
  // Runs the main loop until everything posted to the console has been shown.
  static bool pump_queue(console_record* record) {
    return pump_until([record] {
      std::lock_guard lock(record->queue_lock);
      return record->queued_bytes == 0;
    });
  }

  static std::string text(const console_record* record) {
    return console_utf16_to_utf8(console_view_text(record->window, 0, CONSOLE_END));
  }
  // The style of the first run holding `piece`.
  static ConsoleTextStyle style_of(const console_record* record, const std::string& piece) {
    for (const ConsoleStyledRun& run : console_view_runs(record->window, 0, CONSOLE_END))
      if (console_utf16_to_utf8(run.text).find(piece) != std::string::npos) return run.style;
    ADD_FAILURE() << "no run holds " << piece;
    return {};
  }

  // A folder of its own for the case, removed afterwards.
  std::filesystem::path folder() {
    if (folder_.empty()) {
      std::string pattern = (std::filesystem::temp_directory_path() / "vesk-console-XXXXXX");
      folder_ = mkdtemp(pattern.data());
    }
    return folder_;
  }

  std::vector<console_record*> made_;
  std::filesystem::path folder_;
};
