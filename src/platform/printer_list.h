// printer_list.h: the printers the toolkit's printing library knows, asked only where a print
// server might answer (print_server.h).
#pragma once

#include <string>
#include <vector>

std::vector<std::string> printer_list_names();
std::string printer_list_default_name();
// Whether the default printer's paper is A4: 1 yes, 0 no, -1 when there is no default printer.
int printer_list_default_paper_is_a4();
