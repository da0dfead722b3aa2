// performance_least.cpp: what the main loop asks of recording until it exists: nothing is
// recorded.
#include "performance/performance_services.h"

int32_t recording_active = 0;

void recimp_dialog_event(const EventRecord&) {}
