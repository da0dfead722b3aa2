// quit.cpp: the quit path of the program.
#include "app/quit.h"

#include "platform/application.h"

void quit_program(int save) { platform_exit(save ? 0 : 1); }
