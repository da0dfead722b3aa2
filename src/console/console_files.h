// console_files.h: the console's log: the File menu, saving it to a file in one of four
// formats, loading a log file into it, the question to save a changed log, clearing and undo.
#pragma once

#include <cstdint>
#include <string>

#include "console/console_record.h"
#include "console/console_services.h"

// Items of the File menu button.
enum ConsoleFileItem : int {
  CONSOLE_ITEM_MARK = 2,
  CONSOLE_ITEM_SAVE = 4,
  CONSOLE_ITEM_SAVE_AS = 5,
  CONSOLE_ITEM_SAVE_COPY = 6,
  CONSOLE_ITEM_ADD = 8,
  CONSOLE_ITEM_CLEAR = 9,
  CONSOLE_ITEM_UNDO = 11,
};

// The File menu: carries out the item (any other beeps) and puts the insertion point at the
// end of the log. Main thread only.
int console_file_menu(console_record* record, int item);

// Writes the whole log to its file through a temporary file in the same folder, renamed into
// place. An empty log writes nothing but counts as saved. 0, or the error after an alert.
int console_save_log(console_record* record);

// Writes a range of the log to a file in the record's log format. 0, CONSOLE_OPEN_FAILED,
// CONSOLE_RANGE_PAST_END, CONSOLE_BAD_LENGTH, or a write error.
int console_write_range(console_record* record, const std::string& path, int32_t start,
                        int32_t end);

// Runs the open (1) or save (2) dialog; the file chosen becomes the log file. 0 or
// CONSOLE_CANCELLED.
int console_choose_file(console_record* record, int mode);

// The save dialog's format pop-up: at the start the proposed name's extension chooses the
// format; a chosen format replaces the name's extension (or adds its own).
void console_nav_event(console_record* record, int event, int* format, std::string* name);

// Clears the log (after offering to save it), undoably. Main thread only.
int console_clear(console_record* record);
// Takes back the last mark, clear or load. 0, or CONSOLE_CANNOT_UNDO.
int console_undo(console_record* record);
// Records what undoing the action about to be done must restore.
void console_push_undo(console_record* record);
// File > Add: loads a log file at the start of the log and marks where it ends.
int console_add_log(console_record* record);
