// cores.cpp: the processor cores the program may run on.
#include "platform/cores.h"

#include <algorithm>
#include <sched.h>
#include <thread>

unsigned platform_usable_cores() {
  cpu_set_t cores;
  const int usable = sched_getaffinity(0, sizeof cores, &cores) == 0
                         ? CPU_COUNT(&cores)
                         : int(std::thread::hardware_concurrency());
  return unsigned(std::max(usable, 1));
}
