// print_least.cpp: printing, until the printing session exists: there are no session objects
// to make or release, and a piece given to be printed, or a page setup asked for, is not
// printed or set up but said so.
#include "graphics/ge_services.h"

void Print_init() {}

void print_release() {}

void print_piece(int) { REPORT_ERROR(2, "%s", "Printing is not available yet."); }

void page_setup(int) { REPORT_ERROR(2, "%s", "Page Setup is not available yet."); }
