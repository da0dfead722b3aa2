// console_files.cpp: the console's log and its files: the File menu (Mark, Save, Save As,
// Save a Copy, Add, Clear, Undo), writing the log safely, loading a log, the question to save
// a changed log, clearing and undoing.
//
// A save goes through the platform's replacement of a file whole (platform/files.h): a new file
// beside the log file, flushed to the disk and put in its place, so that a failed save leaves
// the old log file whole and takes the new one away again.
//
// Undo records go with the view's own undo steps: Mark, Clear and Add each push one record
// before they change the text (or, for Clear, just after), holding the saved length and the
// mark the action adds, so that undoing the step restores both. Appended output empties the
// view's undo, and the next push starts the records again.
#include "console/console_files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <vector>

#include "console/console_core.h"
#include "console/console_log_formats.h"
#include "console/console_record.h"
#include "console/console_text.h"
#include "platform/beep.h"
#include "platform/console_window.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/os_errors.h"
#include "platform/text_encoding.h"

namespace {

constexpr uint32_t ASKED_ONCE = 0x7FFFFFFF;
constexpr size_t UTF8_PIECE = 1024;           // UTF-16 units converted at a time
constexpr long LARGEST_LOG_FILE = 64L << 20;  // a log file larger than this is not loaded

int32_t log_length(const console_record* record) { return console_view_length(record->window); }

std::string last_component(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int write_all(int fd, const std::string& bytes) {
  const int error = platform_file_write_all(fd, bytes.data(), bytes.size());
  return error ? platform_result_of_errno(error) : 0;
}

// The UTF-8 file: the byte-order mark, then the text in pieces (never splitting a character).
int write_utf8(int fd, const std::u16string& text) {
  if (int error = write_all(fd, "\xEF\xBB\xBF")) return error;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.size(), start + UTF8_PIECE);
    if (end < text.size() && text[end - 1] >= 0xD800 && text[end - 1] <= 0xDBFF) ++end;
    const std::string piece =
        console_utf16_to_utf8(std::u16string_view(text).substr(start, end - start));
    if (piece.empty()) break;
    if (int error = write_all(fd, piece)) return error;
    start = end;
  }
  return 0;
}

void write_alert(int error, const std::string& path) {
  platform_beep();
  char message[64];
  std::snprintf(message, sizeof message, "Error writing console log file (%d)!", error);
  platform_set_param_texts(message, utf8_to_macroman("\n" + path), "", "");
  platform_alert(CONSOLE_WRITE_ALERT_ID);
}

// Writes the range of the log to an open file in the record's log format: 0 or the error.
int write_range(console_record* record, int fd, int32_t start, int32_t end) {
  if (record->log_format == LOG_FORMAT_UTF8)
    return write_utf8(fd, console_view_text(record->window, start, end));
  return write_all(
      fd, console_encode_log(console_view_runs(record->window, start, end), record->log_format,
                             console_view_font_family(record->window),
                             console_view_font_size(record->window)));
}

// Writes the log to `path` through a new file put in its place. 0, or the error after the
// alert. An empty log writes nothing.
int write_log_file(console_record* record, const std::string& path) {
  const int32_t length = log_length(record);
  if (length == 0) return 0;
  PlatformReplaceOptions options;
  options.type_creator = "TEXT****";  // file type 'TEXT', creator '****'
  PlatformReplacement replacement;
  PlatformFileProblem why;
  int error = 0;
  if (path.empty() || !platform_replace_begin(path, options, &replacement, &why)) {
    error = CONSOLE_OPEN_FAILED;
  } else if ((error = write_range(record, replacement.fd, 0, length)) != 0) {
    platform_replace_abandon(&replacement);
  } else if (!platform_replace_finish(&replacement, options, &why)) {
    error = why.placing ? CONSOLE_RENAME_FAILED : platform_result_of_errno(why.error_number);
  }
  if (error) write_alert(error, path);
  return error;
}

// The text of a log file: 0, or an error after saying so on standard error.
int read_log_file(const std::string& path, std::vector<ConsoleStyledRun>* runs) {
  std::string bytes;
  int error = platform_file_read_whole(path, LARGEST_LOG_FILE, &bytes);
  if (error == EINVAL) error = EISDIR;  // not a regular file
  if (error) {
    errno = error;
    std::perror("**  CarbonConsole - Reading log file");
    return platform_result_of_errno(error);
  }
  *runs = console_decode_log(bytes);
  return 0;
}

void nav_event(void* context, int event, int* format, std::string* name) {
  console_nav_event(static_cast<console_record*>(context), event, format, name);
}

int clear_call(void* argument) { return console_clear(static_cast<console_record*>(argument)); }

void hide_mark_buttons(console_record* record) {
  console_control_show(record->window, CONSOLE_MARK_BACK, false);
  console_control_show(record->window, CONSOLE_MARK_FORWARD, false);
}

void remove_mark(console_mark_table* marks, uint16_t index) {
  if (index == 0 || index >= marks->count) return;
  for (uint16_t i = index; i + 1 < marks->count; ++i) marks->entries[i] = marks->entries[i + 1];
  --marks->count;
  if (marks->current >= marks->count) marks->current = 0;
}

int save_a_copy(console_record* record) {
  // The copy's file does not become the log's file, and the log is as changed as it was.
  const std::string log_file = record->log_file;
  int result = console_choose_file(record, 2);
  if (result == 0) result = write_log_file(record, record->log_file);
  record->log_file = log_file;
  return result;
}

}  // namespace

// ---- The File menu
// ---------------------------------------------------------------------------------

int console_file_menu(console_record* record, int item) {
  if (!record || record->alive < 1 || !record->window) return CONSOLE_NOT_ALIVE;
  int result = 0;
  switch (item) {
    case CONSOLE_ITEM_MARK:
      console_mark(record, CONSOLE_END);
      break;
    case CONSOLE_ITEM_SAVE:
    case CONSOLE_ITEM_SAVE_AS:
      if (item == CONSOLE_ITEM_SAVE_AS || !record->log_saved || record->log_file.empty())
        result = console_choose_file(record, 2);
      if (result == 0) result = console_save_log(record);
      if (result == 0) record->log_saved = 1;
      break;
    case CONSOLE_ITEM_SAVE_COPY:
      result = save_a_copy(record);
      break;
    case CONSOLE_ITEM_ADD:
      result = console_add_log(record);
      break;
    case CONSOLE_ITEM_CLEAR:
      result = console_run_on_main(record, clear_call, record);
      break;
    case CONSOLE_ITEM_UNDO:
      result = console_undo(record);
      if (result != 0) platform_beep();
      break;
    default:
      platform_beep();
      break;
  }
  if (record->window) console_view_set_insertion_point(record->window, CONSOLE_END);
  return result;
}

// ---- Saving
// --------------------------------------------------------------------------------------------

int console_save_log(console_record* record) {
  if (!record || record->alive < 1 || !record->window) return CONSOLE_NOT_ALIVE;
  if (const int error = write_log_file(record, record->log_file)) return error;
  record->saved_length = static_cast<uint32_t>(log_length(record));
  console_view_clear_undo(record->window);
  console_window_set_modified(record->window, false);
  return 0;
}

int console_write_range(console_record* record, const std::string& path, int32_t start,
                        int32_t end) {
  const int32_t length = log_length(record);
  if (start > length) return CONSOLE_RANGE_PAST_END;
  if (end <= start && start != 0) return CONSOLE_BAD_LENGTH;
  end = std::clamp(end, start, length);
  const int fd = platform_file_open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return CONSOLE_OPEN_FAILED;
  int error = write_range(record, fd, start, end);
  if (!error && platform_file_sync(fd) != 0) error = platform_result_of_errno(errno);
  if (platform_file_close(fd) != 0 && !error) error = platform_result_of_errno(errno);
  return error;
}

int console_choose_file(console_record* record, int mode) {
  LogFileDialog dialog;
  dialog.mode = mode;
  const char* mode_title = mode == 1 ? "Open Log File" : "Save Log File";
  dialog.title =
      record->title.empty() ? std::string(mode_title) : record->title + " - " + mode_title;
  dialog.message =
      mode == 1 ? "Load display from existing log file" : "Save console display to a log file";
  dialog.action = mode == 1 ? "Open Log" : "Save Log";
  dialog.client_name = "Pseudo Console";
  for (int shift = 24; shift >= 0; shift -= 8)
    dialog.preference_key += static_cast<char>((record->navigation_key >> shift) & 0xFF);
  if (mode == 2) {
    for (const ConsoleLogFormat& format : CONSOLE_LOG_FORMATS)
      dialog.formats.push_back(format.name);
    dialog.format = record->log_format;
    dialog.proposed_name = last_component(record->log_file);
    dialog.context = record;
    dialog.event = nav_event;
  }
  std::string path;
  if (platform_log_file_dialog(dialog, &path) != 0 || path.empty()) return CONSOLE_CANCELLED;
  record->log_file = path;
  return 0;
}

void console_nav_event(console_record* record, int event, int* format, std::string* name) {
  auto extension_index = [](const std::string& text) {
    for (int i = 0; i < LOG_FORMAT_COUNT; ++i) {
      const std::string extension = CONSOLE_LOG_FORMATS[i].extension;
      if (text.size() >= extension.size() &&
          text.compare(text.size() - extension.size(), extension.size(), extension) == 0)
        return i;
    }
    return -1;
  };
  const int found = extension_index(*name);
  if (event == LOG_DIALOG_START) {
    // The pop-up shows the format the name says, and that is the format written.
    if (found >= 0) *format = found;
    record->log_format = static_cast<int8_t>(*format);
    return;
  }
  if (event != LOG_DIALOG_FORMAT_CHOSEN || *format < 0 || *format >= LOG_FORMAT_COUNT) return;
  record->log_format = static_cast<int8_t>(*format);
  const std::string extension = CONSOLE_LOG_FORMATS[*format].extension;
  if (found >= 0) {
    name->resize(name->size() - std::string(CONSOLE_LOG_FORMATS[found].extension).size());
    *name += extension;
  } else if (!name->empty()) {
    *name += extension;
  }
}

int console_save_if_needed(console_record* record) {
  if (!record || record->alive < 1 || !record->window) return -1;
  if (!(record->options & CONSOLE_ALWAYS_TRACK) &&
      !(record->log_saved && !record->log_file.empty()))
    return -1;
  if (record->saved_length >= static_cast<uint32_t>(log_length(record))) return -1;
  record->saved_length = ASKED_ONCE;
  for (;;) {
    if (console_choose_file(record, 2) != 0) return -2;
    if (console_save_log(record) == 0) {
      record->log_saved = 1;
      return 1;
    }
  }
}

// ---- Clearing and undo
// ----------------------------------------------------------------------------------

int console_clear(console_record* record) {
  if (!record) return 0;
  if (record->alive >= 1 && record->window) {
    console_save_if_needed(record);
    if (console_view_delete_all(record->window)) {
      // Clearing adds no mark of its own.
      if (record->marks) record->marks->entries[0] = 0;
      console_push_undo(record);
      record->saved_length = 0;
      console_window_set_modified(record->window, false);
      hide_mark_buttons(record);
      console_control_show(record->window, CONSOLE_HSCROLL, false);
      record->hscroll_shown = false;
    }
  }
  record->last_applied = {ATTR_CURRENT, 0};
  return 0;
}

void console_push_undo(console_record* record) {
  if (!record->window) return;
  console_undo_records& undo = record->undo;
  if (!console_view_can_undo(record->window)) undo.count = 1;
  if (undo.count >= undo.capacity) {
    if (undo.capacity > 0xFFFF - 16) return;
    undo.capacity = static_cast<uint16_t>(undo.capacity + 16);
    undo.records.resize(undo.capacity);
  }
  const uint16_t mark = record->marks ? static_cast<uint16_t>(record->marks->entries[0]) : 0;
  undo.records[undo.count] = {record->saved_length, mark};
  ++undo.count;
  if (record->marks) record->marks->entries[0] = 0;
}

int console_undo(console_record* record) {
  if (!record || record->alive < 1 || !record->window) return CONSOLE_CANNOT_UNDO;
  int result = 0;
  if (console_view_can_undo(record->window)) {
    const int32_t before = log_length(record);
    console_view_undo(record->window);
    hide_mark_buttons(record);
    console_undo_records& undo = record->undo;
    if (undo.count > 1) {
      const console_undo_record last = undo.records[--undo.count];
      record->saved_length = last.saved_length;
      if (record->marks) {
        console_control_show(record->window, CONSOLE_MARK_BACK, true);
        record->marks->entries[0] = last.mark_index;
        remove_mark(record->marks, last.mark_index);
      }
    }
    if (before == 0 && (record->log_saved || (record->options & CONSOLE_ALWAYS_TRACK)) &&
        static_cast<uint32_t>(log_length(record)) != record->saved_length)
      console_window_set_modified(record->window, true);
  } else {
    record->undo.count = 1;
    result = CONSOLE_CANNOT_UNDO;
  }
  record->last_applied = {ATTR_CURRENT, 0};
  return result;
}

// ---- Loading
// ------------------------------------------------------------------------------------------------

int console_add_log(console_record* record) {
  if (!record || record->alive < 1 || !record->window) return CONSOLE_NOT_ALIVE;
  const std::string old_file = record->log_file;
  record->log_file.clear();
  if (console_choose_file(record, 1) != 0) {
    record->log_file = old_file;
    return CONSOLE_CANCELLED;
  }
  const bool was_empty = log_length(record) == 0;
  console_view_set_insertion_point(record->window, 0);
  console_set_style(record, 0, 0, 0);
  // Loading adds no mark of its own; the mark after the loaded text has its own record.
  if (record->marks) record->marks->entries[0] = 0;
  console_push_undo(record);
  std::vector<ConsoleStyledRun> runs;
  if (const int error = read_log_file(record->log_file, &runs)) {
    if (record->undo.count > 1) --record->undo.count;
    record->log_file = old_file;
    platform_beep();
    return error;
  }
  int32_t loaded = 0;
  for (ConsoleStyledRun& run : runs) loaded += static_cast<int32_t>(run.text.size());
  if (!runs.empty()) console_view_insert(record->window, 0, runs, true);
  record->log_saved = 1;
  // A log loaded into an empty console is the whole log, as saved; one loaded before other
  // text has changed the log.
  int32_t mark_at = loaded;
  if (was_empty) {
    mark_at = CONSOLE_END;
    record->saved_length = static_cast<uint32_t>(log_length(record));
  } else {
    console_window_set_modified(record->window, true);
  }
  const int32_t after = console_mark(record, mark_at);
  console_view_scroll_to(record->window, after);
  return 0;
}
