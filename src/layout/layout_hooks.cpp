// layout_hooks.cpp: the hooks through which the page formatter reaches the drawing, the
// annotations, the editing of page breaks, the piano palette and the frame's poll, which those
// subsystems register at start-up.
#include "layout/layout_services.h"

LayoutHooks layout_hooks;
