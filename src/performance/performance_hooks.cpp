// performance_hooks.cpp: what the performance subsystem lends the model and the layout engine,
// registered at start-up: the playback queue's nodes, which the node store's leak check counts,
// grace times and default playback data, and the piano palette, redrawn after every completed
// format and held back while a view opens its piece.
#include <memory>
#include <vector>

#include "layout/layout_services.h"
#include "performance/palette.h"
#include "performance/performance_services.h"

namespace {

// The palette draws held back while the views open a piece, the innermost last.
std::vector<std::unique_ptr<PaletteDrawsHeld>> held_for_views;

void hold_palette_draws(bool hold) {
  if (hold)
    held_for_views.push_back(std::make_unique<PaletteDrawsHeld>());
  else if (!held_for_views.empty())
    held_for_views.pop_back();
}

}  // namespace

void register_performance_hooks() {
  model_hooks.release_play_nodes.routine = release_play_nodes;
  model_hooks.play_queue_count.routine = play_queue_count;
  model_hooks.record_grace_time.routine = record_grace_time;
  model_hooks.change_grace_time.routine = change_grace_time;
  model_hooks.record_default_performance.routine = record_default_performance;
  model_hooks.set_default_performance.routine = set_default_performance;
  model_hooks.draw_piano_window.routine = draw_piano_window;
  model_hooks.hold_palette_draws.routine = hold_palette_draws;
  layout_hooks.draw_piano_window.routine = draw_piano_window;
}
