// quit.h: ending the program.
#pragma once

#include <string>

#include "app/app_services.h"

// The path a recovery copy of a piece's file is written to: beside it (an untitled piece in
// the home folder), its name followed by " (recovered)" or " (recovered N)" and ".vesk", a
// name no file has yet.
std::string recovery_path(const std::string& fsspec);

// fail_exit_status: the process ends with status 1 however it quits from now on (a document
// it was started to print could not be opened), so that a script calling it learns so.
void fail_exit_status();
