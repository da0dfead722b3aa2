// apple_events.cpp: opening, printing and quitting on the window system's request.
//
// Start-up turns the command line into these events: file arguments are one open-documents
// event, the files after "--print" one print-documents event. Closing the last window and
// the signals SIGTERM and SIGINT arrive as the quit event. When no piece is left open after
// an open or print event, the program's frame window is shown, so that the program is not
// left running without a window; not when it was started only to print, as it quits then.
#include "app/apple_events.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "ImportExport/musicxml_services.h"
#include "app/app_globals.h"
#include "app/cursors.h"
#include "app/event_loop.h"
#include "app/file_commands.h"
#include "app/menus.h"
#include "app/music_window.h"
#include "app/quit.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/application.h"
#include "platform/beep.h"
#include "platform/files.h"
#include "platform/window.h"

namespace {

int16_t quit_event() {
  if (recording_active) {
    platform_beep();
    return RECORDING_REFUSAL;
  }
  stop_playing(0);
  for (;;) {
    if (count_open_views() == 0) quit_program(1);
    set_cursor(CURSOR_ID_WATCH);
    if (!close_view(1)) {
      // Asked to quit again while asking (a second signal: a logout that will not wait): no
      // answer can come, so the changed pieces go to recovery copies and the program ends.
      EventRecord again;
      if (peek_event(event_mask_of(EVENT_QUIT), &again)) quit_program(0);
      return USER_CANCELED_ERR;
    }
    copy_from_VIEW_nodes(most_recent_view());
  }
}

// A document named from where the program was started stands by its whole path: the save
// dialog offers the document's own folder, and the piece keeps its file wherever it is saved.
std::string whole_path(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  std::error_code error;
  const std::filesystem::path whole = std::filesystem::absolute(path, error);
  return error ? path : whole.lexically_normal().string();
}

// Opens (and prints) each document in turn; false when one could not be opened. A printed
// piece is let go of, except the last one when the program quits after it: taking a large
// piece apart node by node only keeps the program from ending, and the system takes back all
// of its memory at once.
bool open_documents(const std::vector<std::string>& documents, bool print, bool quit_after) {
  bool all = true;
  for (size_t i = 0; i < documents.size(); ++i) {
    const std::string path = whole_path(documents[i]);
    const bool keep_open = quit_after && i + 1 == documents.size();
    if (!piece_fsspec.empty() && current_view_index >= 0 && !leave_view()) return false;
    if (is_musicxml_document(path)) {
      import_fsspec = path;
      // An imported document to print is printed and let go of as a piece file is; its pages
      // are drawn for printing as they are formatted.
      draw_pages_ahead(print);
      const bool opened = open_piece_window(-2);
      all &= opened;
      if (opened && print) all &= print_piece(PRINT_BEFORE_CLOSING);
      draw_pages_ahead(false);
      if (opened && print && !keep_open) close_view(0);
      activate_window(nullptr);
      continue;
    }
    // A piece file is read as a piece, also after a MusicXML document of the same event.
    piece_fsspec = path;
    prepare_window_for_view();
    const int opened = open_view(1, nullptr);
    finish_window_for_view(opened);
    all &= opened != 0;
    if (!opened) {
      copy_from_VIEW_nodes(most_recent_view());
    } else if (print) {
      all &= print_piece(PRINT_BEFORE_CLOSING);
      if (!keep_open) close_view(0);
    }
    activate_window(nullptr);
  }
  return all;
}

}  // namespace

bool is_musicxml_name(const char* name) {
  const size_t length = std::strlen(name);
  return length > 4 && (std::strcmp(name + length - 4, ".xml") == 0 ||
                        std::strcmp(name + length - 4, ".XML") == 0);
}

bool is_musicxml_document(const std::string& path) {
  if (is_musicxml_name(path_leaf_name(path.c_str())) || is_compressed_musicxml(path)) return true;
  // Not waiting for a writer: a named pipe or a device tells nothing.
  const int file = platform_file_open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file < 0) return false;
  char start[512];
  const ssize_t got = platform_file_read(file, start, sizeof start);
  platform_file_close(file);
  std::string_view text(start, size_t(std::max<ssize_t>(got, 0)));
  std::string narrowed;
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  } else if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
    // UTF-16: the ASCII characters of the start are enough to tell.
    const size_t low = text[0] == '\xFF' ? 0 : 1;
    for (size_t i = 2; i + 1 < text.size(); i += 2)
      narrowed += text[i + 1 - low] == 0 ? text[i + low] : '\x80';
    text = narrowed;
  }
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return false;
  text.remove_prefix(first);
  return text.starts_with("<?xml") || text.starts_with("<score-partwise") ||
         text.starts_with("<score-timewise");
}

int16_t handle_apple_event(const EventRecord& event, uint32_t id) {
  quiet_convert_flag = id == EVENT_PRINT_DOCUMENTS ? 1 : 0;
  if (id == EVENT_QUIT_APPLICATION) return quit_event();
  bool quit_when_done = false, all_opened = true;
  if (id == EVENT_OPEN_DOCUMENTS || id == EVENT_PRINT_DOCUMENTS) {
    const std::vector<std::string> documents =
        platform_take_event_documents(event, &quit_when_done);
    all_opened = open_documents(documents, id == EVENT_PRINT_DOCUMENTS,
                                quit_when_done && id == EVENT_PRINT_DOCUMENTS);
  }
  quiet_convert_flag = 0;
  // Started only to print: the program ends once the documents are done, after any message,
  // without a question about the last piece, left open.
  if (quit_when_done) {
    if (!all_opened) fail_exit_status();
    quit_program(1);
  }
  // A program about to quit shows no window of its own first.
  if (count_open_views() == 0 && !quit_when_done) platform_open_main_window("Vesk");
  return NO_ERR;
}
