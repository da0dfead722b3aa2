// layout_hooks.cpp: what the model calls of the layout engine (its object lookup), registered
// at start-up, and the hooks through which the page formatter reaches the drawing, the
// annotations, the editing of page breaks, the piano palette and the frame's poll, which those
// subsystems register at start-up.
#include "layout/layout_services.h"

LayoutHooks layout_hooks;

void register_layout_hooks() {
  model_hooks.find_sstaff.routine = find_sstaff;
  model_hooks.find_object.routine = find_object;
  model_hooks.forget_fitted_pages_freed.routine = forget_fitted_pages_freed;
}
