// app_fixture.h: a fixture for the application frame: scripted dialogs, a caught exit, the
// virtual clock, a screen of known size, captured reports, and a folder for piece files.
// A case may start the whole program (start) and drive its main loop pass by pass.
#pragma once

#include <string>
#include <vector>

#include "support/model_fixture.h"
#include "support/script_fixture.h"

struct Port;

class AppTest : public ScriptedTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs start-up with these command-line arguments, then the main loop until no event is
  // left; false (with a failure) when the program ended.
  bool start(const std::vector<std::string>& arguments);
  // Runs passes of the main loop until no event is left (at most `limit`); the program's end
  // becomes its exit status, else -1.
  int run_until_idle(int limit = 50);
  // Runs one pass; the exit status when the program ended there, else -1.
  int pass();

  // Pixels of the music area that do not show the page image where the scroll position puts
  // it (beyond the page: white); a flashing note is shown unflashed first.
  int misplaced_pixels();
  // Dark pixels in the music area.
  int dark_pixels();
  // Writes the music window's content as test-output/app/<name>.png of the build folder.
  void save_window(const std::string& name);

  std::string dir;  // a folder of the case's own, removed afterwards
};
