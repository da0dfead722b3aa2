// quit.cpp: the quit path of the program.
#include "app/quit.h"

#include <cstdio>
#include <cstdlib>

void quit_program(int save) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::exit(save ? EXIT_SUCCESS : EXIT_FAILURE);
}
