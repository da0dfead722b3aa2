// ge_services.cpp: the least flashing, until it is built.
#include "graphics/ge_services.h"

// ---- Least until flashing is built ---------------------------------------------------------

// Notes are not flashed yet: there is no frame to toggle.
void flash_idle() {}
