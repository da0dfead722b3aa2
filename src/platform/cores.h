// cores.h: how many processor cores the program may run on, for work shared between threads.
#pragma once

// The cores in the process's affinity mask (what `taskset` leaves it), else the machine's;
// at least 1. Any thread.
unsigned platform_usable_cores();
