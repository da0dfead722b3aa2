// ge_hooks.cpp: what the drawing lends the model and the layout engine, registered at start-up:
// the flash, the zoom, the drawing of each system and the graphics list of each page.
#include "graphics/ge_services.h"
#include "layout/layout_services.h"

void register_ge_hooks() {
  model_hooks.flashing_node.routine = [] { return flashing_node; };
  model_hooks.stop_flashing.routine = stop_flashing;
  model_hooks.zoom_factor.routine = [] { return zoom_factor; };  // the calling thread's
  layout_hooks.plot_page.routine = plot_page;
  layout_hooks.GEinit.routine = GEinit;
  layout_hooks.redraw_view.routine = redraw_view;
  layout_hooks.keep_page_graphics.routine = keep_page_graphics;
  layout_hooks.settle_page_graphics.routine = settle_page_graphics;
  layout_hooks.last_page_final.routine = last_page_final;
}
