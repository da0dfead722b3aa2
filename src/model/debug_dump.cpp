// debug_dump.cpp: the debug stream and the dump chooser.
//
// Of the dumps, the beam buffer's is written; the others (voices, undo lists, graphics
// elements, the other layout buffers) are not written yet: choosing one writes nothing.
#include "model/debug_dump.h"

#include <cstdio>
#include <string>

#include "graphics/ge_services.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/number_dialogs.h"

namespace {
FILE* debug_stream = nullptr;  // none until the first write
}

void debug_out(const char* text) {
  if (!debug_stream) debug_stream = stdout;
  std::fputs(text, debug_stream);
  if (debug_stream != stdout) std::fflush(debug_stream);
}

void debug_dump_menu(const char* message) {
  std::string prompt;
  if (message) {
    char quoted[REPORT_TEXT_SIZE + 8];
    std::snprintf(quoted, sizeof quoted, "  \"%s\"\n", message);
    prompt = quoted;
  }
  prompt +=
      "Choose a dump: 1-sys 2-vocs 3-undo 4-GE 5-prettyGE 6-beam 7-slr 8-tie 9-sprng 10-play "
      "11-record 12-strings; 0 closes dump; -1 stops in relocate; -2 skips relocate; -3 readout";
  if (!number_dialog_long(prompt.c_str(), 2, -3, 11, &debug_last_choice)) return;
  switch (debug_last_choice) {
    case 0:
      if (debug_stream && debug_stream != stdout) std::fclose(debug_stream);
      debug_stream = nullptr;
      break;
    case -1:
      stop_in_relocate = !stop_in_relocate;
      REPORT_ERROR(4, "%s", stop_in_relocate ? "Will stop." : "Won't stop.");
      break;
    case -2:
      skip_relocate = !skip_relocate;
      REPORT_ERROR(4, "%s", skip_relocate ? "Will skip." : "Won't skip.");
      break;
    case 6:
      print_beam_buffer();
      break;
    case 9:
      dump_springs_next = true;
      break;
    case 11:
      record_transcribe = !record_transcribe;
      REPORT_ERROR(4, "%s",
                   record_transcribe ? "record transcribe" : "no longer record-transcribing");
      break;
    default:
      break;
  }
}
