// performance_services.cpp: what the debug dumps ask of recording until it exists.
#include "performance/performance_services.h"

// Nothing is recorded yet.
Drosa recorded_notes_first() { return NIL; }
