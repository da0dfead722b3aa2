// file_errors.cpp: the fixed texts of operating-system result codes.
#include "model/file_errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

#include "model/error_report.h"
#include "platform/files.h"

namespace {

struct CodeText {
  int16_t code;
  const char* text;
};

const CodeText code_texts[] = {
    {-17, "Unimplemented control instruction for printing."},
    {-18, "Error in printer Status call."},
    {-27, "Sorry, an I/O error occurred."},
    {-33, "Too many files on disk; the file directory is full"},
    {-34, "The disk is full"},
    {-35, "Cannot find the volume"},
    {-36, "Disk I/O error"},
    {-37, "Bad file name or volume name"},
    {-38, "Bad IO operation: file is not open"},
    {-39, "Premature end-of-file"},
    {-40, "Attempt to position before start of file"},
    {-42, "Too many files open"},
    {-43, "File not found"},
    {-44, "Disk is locked (hardware lock)"},
    {-45, "File is locked"},
    {-46, "Cannot write file: Disk is write protected (software lock)"},
    {-47, "File is busy"},
    {-48, "File with specified name and version number already exists"},
    {-49,
     "This file is already open.  Continue only if other uses of the file have terminated (for "
     "example, if the system crashed while using this file)."},
    {-50, "Error in parameter list for io operation"},
    {-51, "io error: Path reference number specifies nonexistent access path"},
    {-52, "io error: error during GetFPos"},
    {-53, "io error: the volume is not on line"},
    {-54, "io error: attempt to open locked file for writing"},
    {-55, "io error: volume is already mounted and on-line"},
    {-56, "io error: no such drive"},
    {-57, "Disk cannot be read: it is not a Macintosh disk"},
    {-58, "io error: external file system"},
    {-59, "io error: problem renaming a file on the disk"},
    {-60, "Disk has a bad master directory block.  It must be reinitialized."},
    {-61, "Cannot write your file: it is write protected"},
    {-100, "Program error: desk scrap not initialized"},
    {-108, "Sorry, not enough memory."},
    {-193, "Resource file not found."},
    {-4101,
     "Printer not found.  Make sure it is connected to the AppleTalk network. Select it with the "
     "Chooser."},
};

constexpr int16_t ALREADY_OPEN = -49;

// The text of a code into the buffer.
void format_code_text(int16_t code, char* buffer, size_t size) {
  if (code >= -84 && code <= -64) {
    std::snprintf(buffer, size, "Low level disk error: error number %hd", code);
    return;
  }
  for (const CodeText& entry : code_texts) {
    if (entry.code == code) {
      std::snprintf(buffer, size, "%s", entry.text);
      return;
    }
  }
  std::snprintf(buffer, size, "System error number %hd.", code);
}

}  // namespace

int report_file_error(int16_t code, const char* context) {
  if (code == 0) return 1;
  format_code_text(code, message_buffer, sizeof message_buffer);
  if (code == ALREADY_OPEN) return really_alert(message_buffer, 0);
  if (context && context[0]) {
    char text[REPORT_TEXT_SIZE];
    std::snprintf(text, sizeof text, "%s: %s", context, message_buffer);
    REPORT_ERROR(2, "%s", text);
  } else {
    REPORT_ERROR(2, "%s", message_buffer);
  }
  return 0;
}

void out_of_memory_alert() {
  REPORT_ERROR(4,
               "Out of VeskMemory!%sIf you are running several programs at once, try quitting "
               "them, then run Vesk again.  If you continue to have trouble, please call the Vesk "
               "consultant.",
               "\n");
}

std::string file_problem_text(int error_number, const std::string& path, bool folder,
                              bool writing) {
  const std::string noun = folder ? "folder" : "file";
  const std::string named = "'" + path + "'";
  switch (error_number) {
    case EACCES:
    case EPERM:
      return (writing ? "you may not change the " : "you may not read the ") + noun + " " + named;
    case EROFS:
      return "the " + noun + " " + named + " is on a disk that can only be read";
    case ELOOP:
      return named + " is a symbolic link that leads round in a loop";
    case ENOENT:
      return "there is no " + noun + " " + named;
    case ENOTDIR:
      return "a part of the path " + named + " is not a folder";
    case EISDIR:
      return named + " is a folder, not a file";
    case ENOSPC:
      return "the disk that holds " + named + " is full";
    case EDQUOT:
      return "your share of the disk that holds " + named + " is used up";
    case EFBIG:
      return "the file " + named + " would grow larger than its disk allows";
    case ENAMETOOLONG:
      return "the name " + named + " is too long";
    default:
      return named + ": " + std::strerror(error_number);
  }
}

std::string not_a_file_text(const std::string& path, unsigned st_mode) {
  const std::string named = "'" + path + "'";
  switch (st_mode & S_IFMT) {
    case S_IFREG:
      return "";
    case S_IFDIR:
      return named + " is a folder, not a file";
    case S_IFIFO:
      return named + " is a named pipe, not a file";
    case S_IFCHR:
    case S_IFBLK:
      return named + " is a device, not a file";
    case S_IFSOCK:
      return named + " is a socket, not a file";
    default:
      return named + " is not a file";
  }
}

std::string file_problem_text(const PlatformFileProblem& problem) {
  if (problem.not_a_file_mode) return not_a_file_text(problem.path, problem.not_a_file_mode);
  if (problem.owner_only)
    return "the folder '" + problem.path + "' lets only the owner of '" + problem.file_name +
           "' replace it";
  return file_problem_text(problem.error_number, problem.path, problem.folder, problem.writing);
}
