// console_core.h: creating and disposing of a console, its pipes and reader thread, and the
// messages that carry text and calls from any thread to the main thread.
#pragma once

#include <cstdint>

#include "console/console_record.h"
#include "console/console_services.h"

// Prints text into the console: at once on the main thread, else posted to it. A length of 0 means
// NUL-terminated. 0, CONSOLE_NOT_ALIVE, CONSOLE_BAD_LENGTH (off the main thread, a length below 0
// or above 32767), or the error of a failed post.
int console_print(console_record* record, const char* text, int32_t length, uint32_t word1,
                  uint32_t word2);
// Calls function(argument) at once on the main thread; from another thread posts the call and
// returns the posting result.
int console_run_on_main(console_record* record, ConsoleFunction function, void* argument);
// Posts a call (CONSOLE_CALL_MESSAGE) or a number request (CONSOLE_NUMBER_REQUEST, whose result
// is written into the input pipe as a decimal line).
int console_post_call(console_record* record, ConsoleFunction function, void* argument,
                      uint8_t kind);

// Sets the text of an info field (CONSOLE_INFO_MIDDLE when `view` is negative; nullptr is the
// empty text). Any thread.
void console_set_info_text(console_record* record, const char* text, int view);

// Every allocation of the console: on failure the process ends with a message.
void* console_allocate(size_t size);
void console_free_message(void* message);
// Posts a message to the main thread, then paces the senders. On failure the sender still
// owns the message.
int console_post_message(console_record* record, console_message* message);
// Runs a posted message on the main thread and frees it.
void console_execute_message(console_record* record, uint32_t event_kind, console_message* message);
// Writes bytes into the input pipe without waiting; the bytes written or a negative error.
int console_write_input(console_record* record, const char* bytes, size_t length);
bool console_on_main_thread();
