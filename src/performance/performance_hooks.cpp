// performance_hooks.cpp: what the performance subsystem lends the layout engine, registered at
// start-up: the piano palette, redrawn after every completed format.
#include "layout/layout_services.h"
#include "performance/performance_services.h"

void register_performance_hooks() { layout_hooks.draw_piano_window.routine = draw_piano_window; }
