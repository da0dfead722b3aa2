// console_least.cpp: the console, until its window exists: the program's output stays where
// it goes (the terminal), the banner is written there, and there is no log to save.
#include <cstdio>
#include <ctime>

#include "console/console_services.h"

struct ConsoleRecord {
  char title[64];
};

ConsoleRecord* console_create(const char* title, int) {
  auto* console = new ConsoleRecord{};
  std::snprintf(console->title, sizeof console->title, "%s", title ? title : "");
  return console;
}

void console_banner(ConsoleRecord* console) {
  if (!console) return;
  char date[64];
  const std::time_t now = std::time(nullptr);
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  std::printf("%s started %s\n", console->title, date);
  std::fflush(stdout);
}

void console_save_if_needed(ConsoleRecord*, int) {}

void console_dispose(ConsoleRecord* console) { delete console; }
