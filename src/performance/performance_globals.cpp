// performance_globals.cpp: definitions of the performance code's program-wide state.
#include "performance/performance_globals.h"

int32_t key_spelling[12];

void reset_performance_globals() {
  for (int32_t& s : key_spelling) s = 0;
}
