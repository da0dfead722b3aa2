// printing_test.cpp: the printing session's defaults.
//   PrintServer.*: with no print server to ask, the default destination is a PDF file and the
//                  printing plug-in is never loaded; a server named in the environment is asked
#include "platform/printing.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/os_errors.h"

namespace {

bool printing_plugin_loaded() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line))
    if (line.find("/printsupport/") != std::string::npos) return true;
  return false;
}

TEST(PrintServer, AskedOnlyWhereOneMightAnswer) {
  const char* saved_home = std::getenv("HOME");
  const std::string home = saved_home ? saved_home : "";
  const std::string empty_home = testing::TempDir() + "vesk-print-home";
  std::filesystem::create_directories(empty_home);
  setenv("HOME", empty_home.c_str(), 1);
  for (const char* name : {"CUPS_SERVER", "CUPS_SERVERROOT", "IPP_PORT", "LPDEST", "PRINTER"})
    unsetenv(name);
  platform_print_set_test_printers(false, {});  // the system's printers, not a test's
  PrintSettings settings;
  // A machine without the print system installed (as the test machines are) has no server.
  if (!std::filesystem::exists("/etc/cups") && !std::filesystem::exists("/run/cups") &&
      !printing_plugin_loaded()) {
    ASSERT_EQ(platform_print_default_settings(nullptr, &settings), RESULT_OK);
    EXPECT_EQ(settings.destination, PRINT_TO_PDF_FILE);
    EXPECT_FALSE(printing_plugin_loaded());
  }
  // A server the user names is asked, even one that is not there.
  const std::string socket = empty_home + "/no-server.sock";
  setenv("CUPS_SERVER", socket.c_str(), 1);
  ASSERT_EQ(platform_print_default_settings(nullptr, &settings), RESULT_OK);
  EXPECT_EQ(settings.destination, PRINT_TO_PDF_FILE);
  EXPECT_TRUE(printing_plugin_loaded());
  unsetenv("CUPS_SERVER");
  if (saved_home) setenv("HOME", home.c_str(), 1);
  std::filesystem::remove_all(empty_home);
}

}  // namespace
