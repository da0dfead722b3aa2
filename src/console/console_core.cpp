// console_core.cpp: the console's life: creation, the output and input pipes, the reader
// thread, posting text and calls to the main thread with back-pressure, running them there,
// and disposal.
//
// Threads. Only the main thread touches the window and the log. The reader thread reads the
// output pipe for the console's life and posts what it reads; any thread may print or post a
// call. Posting never waits for the main thread; instead every sender paces itself (the read
// size grows while posts come faster than the clock ticks) and waits while the text posted and
// not yet shown passes console_queue_limit (8 MiB):
//   - a worker that prints waits in console_print; the reader thread stops reading, so a
//     writer of standard output waits in its write once the pipe is full;
//   - the wait ends as soon as the main thread has shown enough to go below half the limit,
//     or the console goes;
//   - when the main thread shows nothing at all for two seconds of the program's clock (it is
//     busy, or it is itself the writer of standard output and would never get to show
//     anything), the senders give up waiting and go on, letting the queue grow, until the main
//     thread shows text again.
// So text is never dropped, and nobody waits for a main thread that is not reading.
//
// Standard output and input that the console takes over are kept (duplicated) and given back
// when the console goes or could not be made, so that later output neither vanishes into a
// pipe nobody reads nor blocks on it. Text still arriving while the console goes is passed on
// to the standard output it gave back.
#include "console/console_core.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <stdio_ext.h>
#include <string>
#include <thread>
#include <unistd.h>

#include "app/app_services.h"
#include "console/console_controls.h"
#include "console/console_files.h"
#include "console/console_globals.h"
#include "console/console_menus.h"
#include "console/console_record.h"
#include "console/console_text.h"
#include "platform/console_window.h"
#include "platform/ticks.h"

namespace {

constexpr int16_t INPUT_MADE = -32768;

// ---- The clock the pacing reads: 60 ticks a second, monotonic
// ----------------------------------------

uint32_t pacing_ticks() {
  using namespace std::chrono;
  static const steady_clock::time_point start = steady_clock::now();
  return static_cast<uint32_t>(duration_cast<microseconds>(steady_clock::now() - start).count() *
                               60 / 1000000);
}

void sleep_ticks(int ticks) {
  std::this_thread::sleep_for(std::chrono::microseconds(ticks * 16667));
}

// ---- Messages
// ----------------------------------------------------------------------------------------------

console_message* new_message(uint8_t kind, size_t text_capacity) {
  void* block = console_allocate(sizeof(console_message) + text_capacity);
  auto* message = new (block) console_message();
  message->kind = kind;
  return message;
}

uint32_t event_kind_of(const console_message* message) {
  if (!message) return CONSOLE_EVENT_NONE;
  if (message->kind >= 1 && message->kind <= 3) return CONSOLE_EVENT_TEXT;
  if (message->kind == CONSOLE_CALL_MESSAGE || message->kind == CONSOLE_NUMBER_REQUEST)
    return CONSOLE_EVENT_CALL;
  return CONSOLE_EVENT_NONE;
}

// Pacing, after every post, for all senders together: every seventh post reads the clock; when
// it has not moved since the last check the posts come too fast, and the read size grows
// (255, 511, ... 16383) while the sender sleeps a tick (8 at the largest size).
void pace(console_record* record) {
  if (--console_post_countdown > 0) return;
  uint32_t now = pacing_ticks();
  if (now == console_pacing_clock) {
    const uint16_t size = record->chunk_size ? record->chunk_size.load() : CONSOLE_DEFAULT_CHUNK;
    if (size < CONSOLE_LARGEST_CHUNK) {
      record->chunk_size = static_cast<uint16_t>(2 * size + 1);
      sleep_ticks(1);
    } else {
      sleep_ticks(8);
    }
    now = pacing_ticks();
  } else {
    record->chunk_size = CONSOLE_DEFAULT_CHUNK;
  }
  console_pacing_clock = now;
  console_post_countdown = 7;
}

constexpr int64_t STALL_MICROSECONDS = 2000000;  // nothing shown for this long: go on

// Waits while the text posted and not yet shown is over the limit (see the file's comment).
// The two seconds are the platform clock's: a virtual clock stands still until it is moved,
// which the wait notices within a millisecond.
void wait_for_room(console_record* record) {
  std::unique_lock lock(record->queue_lock);
  while (record->alive == 1 && record->queued_bytes >= console_queue_limit &&
         record->stalled_at != record->messages_shown) {
    const uint64_t shown = record->messages_shown;
    const int64_t give_up = platform_microseconds() + STALL_MICROSECONDS;
    bool moved = false;
    for (int64_t left; !moved && (left = give_up - platform_microseconds()) > 0;) {
      const auto slice = std::chrono::microseconds(platform_ticks_virtual() ? 1000 : left);
      moved = record->queue_shrunk.wait_for(lock, slice, [&] {
        return record->alive != 1 || record->queued_bytes < console_queue_limit / 2 ||
               record->messages_shown != shown;
      });
    }
    if (!moved) record->stalled_at = shown;
  }
}

void count_shown(console_record* record, size_t length) {
  {
    std::lock_guard lock(record->queue_lock);
    record->queued_bytes -= std::min(record->queued_bytes, length);
    ++record->messages_shown;
  }
  record->queue_shrunk.notify_all();
}

// ---- Standard output and input
// -------------------------------------------------------------------------

bool takes_stdout(const console_record* record) {
  return record->second_flags & (CONSOLE_OUTPUT_IS_STDOUT >> 16);
}
bool takes_stdin(const console_record* record) {
  return record->second_flags & (CONSOLE_INPUT_IS_STDIN >> 16);
}

void give_back_stdout(console_record* record) {
  if (record->saved_stdout_fd < 0) return;
  std::fflush(stdout);
  dup2(record->saved_stdout_fd, STDOUT_FILENO);
}

void give_back_stdin(console_record* record) {
  if (record->saved_stdin_fd < 0) return;
  dup2(record->saved_stdin_fd, STDIN_FILENO);
  close(record->saved_stdin_fd);
  record->saved_stdin_fd = -1;
  clearerr(stdin);
}

void close_fd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

void close_input_pipe(console_record* record) {
  if (record->input_pipe_open.exchange(0)) close_fd(&record->input_write_fd);
  if (record->input_stream == stdin) {
    give_back_stdin(record);
    close_fd(&record->input_read_fd);
  } else if (record->input_stream) {
    std::fclose(record->input_stream);  // closes the read end
    record->input_read_fd = -1;
  } else {
    close_fd(&record->input_read_fd);
  }
  record->input_stream = nullptr;
}

// Closes the pipes of a console that could not be made, giving back what it took over.
void release_pipes(console_record* record) {
  close_input_pipe(record);
  record->output_pipe_open = 0;
  if (record->output_stream == stdout) {
    give_back_stdout(record);
    close_fd(&record->output_write_fd);
  } else if (record->output_stream) {
    std::fclose(record->output_stream);
    record->output_write_fd = -1;
  } else {
    close_fd(&record->output_write_fd);
  }
  record->output_stream = nullptr;
  close_fd(&record->output_read_fd);
  close_fd(&record->saved_stdout_fd);
}

FILE* make_output_pipe(console_record* record) {
  if (record->alive == -1 || record->output_pipe_open) return nullptr;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    std::perror("**  CarbonConsole - Creation of console output pipe");
    return nullptr;
  }
  record->output_read_fd = ends[0];
  record->output_write_fd = ends[1];
  record->output_pipe_open = 1;
  FILE* stream = nullptr;
  if (takes_stdout(record)) {
    if (record->saved_stdout_fd < 0)
      record->saved_stdout_fd = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    std::fflush(stdout);
    dup2(ends[1], STDOUT_FILENO);
    stream = stdout;
  } else {
    stream = fdopen(ends[1], "w");
  }
  if (stream) setvbuf(stream, nullptr, _IONBF, 0);
  record->output_stream = stream;
  return stream;
}

FILE* make_input_pipe(console_record* record) {
  if (record->alive == -1 || record->input_pipe_open) return nullptr;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) {
    std::perror("**  CarbonConsole - Creation of console  input pipe");
    return nullptr;
  }
  record->input_read_fd = ends[0];
  record->input_write_fd = ends[1];
  record->input_pipe_open = 1;
  // Sending input never waits for a program that does not read it: a full pipe is an error.
  fcntl(ends[1], F_SETFL, fcntl(ends[1], F_GETFL) | O_NONBLOCK);
  FILE* stream = nullptr;
  if (takes_stdin(record)) {
    if (record->saved_stdin_fd < 0)
      record->saved_stdin_fd = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    dup2(ends[0], STDIN_FILENO);
    clearerr(stdin);
    console_stdin_closed = true;
    stream = stdin;
  } else {
    stream = fdopen(ends[0], "r");
  }
  record->input_stream = stream;
  return stream;
}

// Text read while the console goes is passed on to the standard output it gave back (the
// byte that wakes the reader is a NUL and is left out).
void pass_on(const console_record* record, const char* bytes, size_t length) {
  if (record->saved_stdout_fd < 0) return;
  std::string text(bytes, length);
  std::erase(text, '\0');
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(record->saved_stdout_fd, text.data() + done, text.size() - done);
    if (n <= 0 && errno != EINTR) return;
    if (n > 0) done += static_cast<size_t>(n);
  }
}

void* reader_thread(void* argument) {
  auto* record = static_cast<console_record*>(argument);
  for (;;) {
    const uint16_t size =
        std::min<uint16_t>(record->chunk_size ? record->chunk_size.load() : CONSOLE_DEFAULT_CHUNK,
                           CONSOLE_LARGEST_CHUNK);
    console_message* message = new_message(CONSOLE_TEXT_MESSAGE, size);
    message->word1 = ATTR_CURRENT;
    wait_for_room(record);
    ssize_t n;
    do {
      n = read(record->output_read_fd, message->text(), size);
    } while (n < 0 && errno == EINTR);
    if (n > 0) {
      message->length = static_cast<uint16_t>(n);
      if (record->alive == 1 && record->output_pipe_open) {
        if (console_post_message(record, message) != 0) console_free_message(message);
        continue;
      }
      pass_on(record, message->text(), message->length);
    } else if (n < 0 && record->alive == 1) {
      std::perror("**  CarbonConsole - Reading from pipe");
    }
    console_free_message(message);
    // End of file, an error, or the console is going.
    if (!record->output_pipe_open) return nullptr;
    record->output_pipe_open = 0;
    close_fd(&record->output_read_fd);
    if (record->alive == 1 && make_output_pipe(record)) continue;
    return nullptr;
  }
}

// ---- The window's callbacks
// -------------------------------------------------------------------------------

void on_control(void* context, ConsoleControl control) {
  auto* record = static_cast<console_record*>(context);
  switch (control) {
    case CONSOLE_RETURN_BUTTON:
      console_return_button(record);
      break;
    case CONSOLE_HELP_BUTTON:
      console_help(record);
      break;
    case CONSOLE_MARK_BACK:
      console_mark_back(record);
      break;
    case CONSOLE_MARK_FORWARD:
      console_mark_forward(record);
      break;
    default:
      break;
  }
}

void on_window_event(void* context, int event) {
  console_window_handler(static_cast<console_record*>(context), event);
}

void on_message(void* context, uint32_t event_kind, void* message) {
  console_execute_message(static_cast<console_record*>(context), event_kind,
                          static_cast<console_message*>(message));
}

void on_scrolled(void* context) { console_scroll_info(static_cast<console_record*>(context)); }

void on_hscroll(void* context, int value) {
  console_hscroll_moved(static_cast<console_record*>(context), value);
}

bool on_key(void* context) {
  const auto* record = static_cast<console_record*>(context);
  return record->alive == 1 && !(record->second_flags & CONSOLE_HAS_NO_INPUT);
}

// ---- Creation
// ------------------------------------------------------------------------------------------------

// The window class and attributes from the flags; the options byte takes their low byte.
void set_window_kind(console_record* record, uint32_t flags) {
  ConsoleWindowClass kind = console_window_kind(record->window);
  if (flags & CONSOLE_FLOATING_CLASS) {
    kind = CONSOLE_FLOATING_WINDOW;
  } else if (flags & CONSOLE_DOCUMENT_CLASS) {
    kind = CONSOLE_DOCUMENT_WINDOW;
  }
  console_window_set_kind(record->window, kind, !(flags & CONSOLE_NO_CLOSE_BOX),
                          (flags & CONSOLE_HIDE_ON_SUSPEND) != 0);
  record->options = static_cast<uint8_t>(flags & 0xFF);
}

std::string title_of(const char* title) {
  ++consoles_created;
  if (title) return title;
  std::string made = "Console";
  if (consoles_created > 1) made += " " + std::to_string(consoles_created);
  return made;
}

void set_up_window(console_record* record, const char* title, uint32_t flags) {
  ConsoleWindowSpec spec;
  spec.title = title_of(title);
  spec.file_menu = console_file_menu_items();
  spec.send_menu = console_send_menu_items();
  spec.file_menu_id = CONSOLE_FILE_MENU_ID;
  spec.send_menu_id = CONSOLE_SEND_MENU_ID;
  ConsoleWindowCallbacks callbacks;
  callbacks.context = record;
  callbacks.control_hit = on_control;
  callbacks.window_event = on_window_event;
  callbacks.message = on_message;
  callbacks.discard_message = console_free_message;
  callbacks.scrolled = on_scrolled;
  callbacks.hscroll_moved = on_hscroll;
  callbacks.key_to_input = on_key;
  record->title = spec.title;
  record->window = console_window_create(spec, callbacks);
  if (!record->window) return;
  console_window_set_modified(record->window, false);
  set_window_kind(record, flags);
  console_set_font(record, nullptr, 10);
  record->wrap_lines = flags & CONSOLE_WRAP_LINES;
  console_view_set_wrap(record->window, record->wrap_lines);
  // The horizontal scroll bar shows once the log is wide enough (never when lines wrap).
  console_control_show(record->window, CONSOLE_HSCROLL, false);
  console_hscroll_set(record->window, 0, 4000);
  if (flags & CONSOLE_NO_INPUT) {
    for (ConsoleControl c : {CONSOLE_RETURN_BUTTON, CONSOLE_INPUT_FIELD, CONSOLE_SEND_MENU})
      console_control_show(record->window, c, false);
    record->second_flags |= CONSOLE_HAS_NO_INPUT;
  }
  if (flags & CONSOLE_NO_MENU_BUTTONS) {
    for (ConsoleControl c : {CONSOLE_FILE_MENU, CONSOLE_SEND_MENU, CONSOLE_HELP_BUTTON})
      console_control_show(record->window, c, false);
  }
}

int show_call(void* argument) {
  console_show(static_cast<console_record*>(argument));
  return 0;
}

struct InfoText {
  console_record* record;
  int view;
  std::string text;
};

int info_text_call(void* argument) {
  auto* info = static_cast<InfoText*>(argument);
  console_set_info_text(info->record, info->text.c_str(), info->view);
  delete info;
  return 0;
}

}  // namespace

// ---- Inside the console
// -------------------------------------------------------------------------------------

void* console_allocate(size_t size) {
  void* block = std::malloc(size);
  if (!block) {
    std::fprintf(stderr, "ERROR #0: ******: Out of main memory allocating %ld bytes\n",
                 static_cast<long>(size));
    std::_Exit(EXIT_FAILURE);
  }
  return block;
}

void console_free_message(void* message) {
  if (!message) return;
  static_cast<console_message*>(message)->~console_message();
  std::free(message);
}

bool console_on_main_thread() { return main_thread_id == std::this_thread::get_id(); }

int console_post_message(console_record* record, console_message* message) {
  const size_t text = event_kind_of(message) == CONSOLE_EVENT_TEXT ? message->length : 0;
  if (text) {
    std::lock_guard lock(record->queue_lock);
    record->queued_bytes += text;
  }
  int result;
  {
    std::lock_guard guard(record->post_lock);
    result = record->window ? console_window_post(record->window, event_kind_of(message), message)
                            : CONSOLE_NOT_ALIVE;
  }
  if (result != 0 && text) count_shown(record, text);
  pace(record);
  return result;
}

void console_execute_message(console_record* record, uint32_t event_kind,
                             console_message* message) {
  if (!message) return;
  if (event_kind == CONSOLE_EVENT_TEXT) {
    if (message->length) {
      console_append(record, message->text(), message->length, message->word1, message->word2);
      count_shown(record, message->length);
    }
    if ((record->options & CONSOLE_SHOW_ON_OUTPUT) && record->alive == 1 && record->window)
      console_window_show(record->window, false);
  } else if (event_kind == CONSOLE_EVENT_CALL) {
    if (message->kind == CONSOLE_NUMBER_REQUEST) {
      if (message->function) {
        const std::string result = std::to_string(message->function(message->argument));
        console_write_input(record, result.data(), result.size());
      }
      console_write_input(record, "\n", 1);
      record->input_enabled = static_cast<int16_t>(message->word2 & 0xFFFF);
    } else if (message->function) {
      message->function(message->argument);
    }
  }
  console_free_message(message);
}

int console_write_input(console_record* record, const char* bytes, size_t length) {
  if (!record->input_pipe_open || record->input_write_fd < 0) return -1;
  for (size_t done = 0; done < length;) {
    const ssize_t n = write(record->input_write_fd, bytes + done, length - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      std::perror("**  CarbonConsole - Writing to pipe");
      return error == EAGAIN ? CONSOLE_BAD_LENGTH : -error;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<int>(length);
}

// ---- Creating and disposing
// -----------------------------------------------------------------------------------

console_record* console_create(console_record* record, const char* title, const char* initial_input,
                               uint32_t flags) {
  if (record && record->alive >= 1) {
    console_show(record);
    return record;
  }
  if (record) {
    const uint8_t allocated = record->second_flags & CONSOLE_RECORD_ALLOCATED;
    record->~console_record();
    new (record) console_record();
    record->second_flags = allocated;
    record->options = static_cast<uint8_t>(flags & 0xFF);
  } else {
    record = new (console_allocate(sizeof(console_record))) console_record();
    record->second_flags = CONSOLE_RECORD_ALLOCATED;
    record->options = static_cast<uint8_t>(flags & 0xFF);
  }
  record->second_flags |= static_cast<uint8_t>((flags >> 16) & 0x3F);
  int failures = 0;
  if (!make_output_pipe(record)) ++failures;
  if (!(flags & CONSOLE_NO_INPUT)) {
    console_input_requested = true;
    if (make_input_pipe(record)) {
      record->input_enabled = INPUT_MADE;
    } else {
      ++failures;
    }
  }
  if (failures) {
    release_pipes(record);
    return record;
  }
  record->last_applied = {ATTR_CURRENT, 0};
  record->current = {0, 0};
  record->input_attributes = {0x00010000, 0x0000FFFF};
  record->output_default = {0, 0};
  record->mark_attributes = {0x00048080, 0x00008080};
  record->navigation_key = 0x43436C30;  // 'CCl0'
  set_up_window(record, title, flags);
  if (record->window && initial_input)
    console_control_set_text(record->window, CONSOLE_INPUT_FIELD, initial_input);
  ++console_live_count;
  console_list.push_back(record);
  if (record->window && !(flags & CONSOLE_START_HIDDEN)) console_window_show(record->window, true);
  record->alive = 1;
  if (const int code = pthread_create(&record->reader, nullptr, reader_thread, record); code != 0) {
    std::fprintf(stderr, "**  CarbonConsole - Output pthread_create error with code %d.\n", code);
    ++failures;
  } else {
    record->reader_started = true;
  }
  if (failures) {
    // Without its reader the console can show nothing: it gives back what it took over and
    // closes its window.
    record->alive = -1;
    release_pipes(record);
    std::erase(console_list, record);
    --console_live_count;
    console_window_dispose(record->window);
    record->window = nullptr;
  }
  if (main_thread_id == std::thread::id()) main_thread_id = std::this_thread::get_id();
  return record;
}

console_record* console_dispose(console_record* record) {
  if (!record || record->alive < 1) return record;
  console_save_if_needed(record);
  record->alive = -1;
  { std::lock_guard lock(record->queue_lock); }
  record->queue_shrunk.notify_all();
  close_input_pipe(record);
  // Standard output goes back first, so that nothing written from now on waits on the pipe.
  record->output_pipe_open = 0;
  if (record->output_stream == stdout) give_back_stdout(record);
  if (record->reader_started) {
    // One byte wakes the reader, which then sees the pipe closed and ends.
    const char wake = 0;
    ssize_t written;
    do {
      written = write(record->output_write_fd, &wake, 1);
    } while (written < 0 && errno == EINTR);
  }
  if (record->output_stream && record->output_stream != stdout) {
    std::fclose(record->output_stream);
    record->output_write_fd = -1;
  } else {
    close_fd(&record->output_write_fd);
  }
  record->output_stream = nullptr;
  // With its write end closed the pipe ends even if the wake-up byte could not be written.
  if (record->reader_started) pthread_join(record->reader, nullptr);
  record->reader_started = false;
  close_fd(&record->output_read_fd);
  close_fd(&record->saved_stdout_fd);
  record->escape.clear();
  record->input_enabled = 0;
  delete record->marks;
  record->marks = nullptr;
  record->undo = console_undo_records{};
  record->log_file.clear();
  {
    std::lock_guard guard(record->post_lock);
    console_window_dispose(record->window);
    record->window = nullptr;
  }
  record->alive = 0;
  if (console_help_owner == record) {
    console_help_owner = nullptr;
    if (console_help_window) console_help_window_hide(console_help_window);
  }
  std::erase(console_list, record);
  if (--console_live_count <= 0) {
    console_live_count = 0;
    console_help_window_dispose(console_help_window);
    console_help_window = nullptr;
  }
  return record;
}

void console_dispose_and_free(console_record* record) {
  if (!record) return;
  console_dispose(record);
  if (record->second_flags & CONSOLE_RECORD_ALLOCATED) {
    record->~console_record();
    std::free(record);
  }
}

// ---- Printing and calling from any thread
// --------------------------------------------------------------------

int console_print(console_record* record, const char* text, int32_t length, uint32_t word1,
                  uint32_t word2) {
  if (!record || record->alive < 1) return CONSOLE_NOT_ALIVE;
  if (length < 0) return CONSOLE_BAD_LENGTH;
  if (console_on_main_thread()) {
    console_append(record, text, length, word1, word2);
    return 0;
  }
  size_t total = length ? static_cast<size_t>(length) : std::strlen(text);
  if (total > 32767) return CONSOLE_BAD_LENGTH;
  for (size_t done = 0; done < total;) {
    const size_t piece = std::min<size_t>(total - done, CONSOLE_LARGEST_CHUNK);
    wait_for_room(record);
    console_message* message = new_message(CONSOLE_TEXT_MESSAGE, piece);
    message->word1 = word1;
    message->word2 = word2;
    message->length = static_cast<uint16_t>(piece);
    std::memcpy(message->text(), text + done, piece);
    if (const int result = console_post_message(record, message); result != 0) {
      console_free_message(message);
      return result;
    }
    done += piece;
  }
  return 0;
}

int console_post_call(console_record* record, ConsoleFunction function, void* argument,
                      uint8_t kind) {
  if (!record || record->alive < 1) return CONSOLE_NOT_ALIVE;
  console_message* message = new_message(kind, 0);
  message->function = function;
  message->argument = argument;
  message->word2 = static_cast<uint16_t>(record->input_enabled);
  if (kind == CONSOLE_NUMBER_REQUEST) {
    record->input_enabled = 0;
    if (record->input_stream) __fpurge(record->input_stream);
  }
  const int result = console_post_message(record, message);
  if (result != 0) {
    record->input_enabled = static_cast<int16_t>(message->word2 & 0xFFFF);
    console_free_message(message);
  }
  return result;
}

int console_run_on_main(console_record* record, ConsoleFunction function, void* argument) {
  if (console_on_main_thread()) {
    function(argument);
    return 0;
  }
  return console_post_call(record, function, argument, CONSOLE_CALL_MESSAGE);
}

// ---- The window
// ---------------------------------------------------------------------------------------------

void console_show(console_record* record) {
  if (!record || record->alive < 1) return;
  if (!console_on_main_thread()) {
    console_run_on_main(record, show_call, record);
    return;
  }
  if (!record->window) return;
  console_window_show(record->window, true);
  if (!(record->second_flags & CONSOLE_HAS_NO_INPUT))
    console_control_focus(record->window, CONSOLE_INPUT_FIELD);
}

void console_hide(console_record* record) {
  if (record && record->alive >= 1 && record->window) console_window_hide(record->window);
}

bool console_shown(const console_record* record) {
  return record && record->alive >= 1 && record->window && console_window_visible(record->window);
}

void console_set_info_text(console_record* record, const char* text, int view) {
  if (!record || record->alive < 1) return;
  if (!console_on_main_thread()) {
    // The text is copied: the caller's may be gone before the main thread gets to it.
    auto* info = new InfoText{record, view, text ? text : ""};
    if (console_run_on_main(record, info_text_call, info) != 0) delete info;
    return;
  }
  if (!record->window) return;
  const auto control = view < 0 ? CONSOLE_INFO_MIDDLE : static_cast<ConsoleControl>(view);
  console_control_set_text(record->window, control, text ? text : "");
}

void console_keep_on_screen(console_record* record) {
  if (record && record->alive >= 1 && record->window) console_window_keep_on_screen(record->window);
}
