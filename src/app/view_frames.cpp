// view_frames.cpp: what the subsystems above the model keep of a view's window while another
// view is current (its page image and graphics lists, the selection, the mode, the page index
// and the parameters' page lists), and what the views ask of the frame as they open, switch
// and close. The views keep the model's own state of the window themselves.
#include "app/view_frames.h"

#include <algorithm>
#include <new>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "app/event_loop.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/memory.h"

// The state of a view's window that the subsystems above the model keep.
struct ViewFrameState {
  ViewGraphics graphics;  // zoom, page image, window, scroll origin, graphics lists
  VirtualRect inverted_selection, framed_selection;  // the selection rectangles
  int16_t selected_voice = -10;
  uint32_t group_selected = 0;
  int page_graphics_stale = 0;
  int16_t mode = MUSIC_MODE;
  int16_t page_count = 1;
  int16_t page_first_bar = 1;
  Drosa class_models[CLASS_MODEL_SLOTS];
  uint8_t param_changed[PARAM_SLOTS] = {};
  Drosa page_param_lists[64];
};

namespace {

// From the system allocator, so that running out of memory is a failure the views report.
ViewFrameState* new_frame_state() {
  void* memory = platform_allocate(long(sizeof(ViewFrameState)));
  return memory ? new (memory) ViewFrameState() : nullptr;
}

void free_frame_state(ViewFrameState* f) {
  if (!f) return;
  f->~ViewFrameState();
  platform_release(f);
}

// Writes: view_graphics[slot], which the window of the parked view is copied from.
void park_frame_state(ViewFrameState* f, int slot) {
  save_view_graphics(&f->graphics);
  f->inverted_selection = inverted_selection_rect;
  f->framed_selection = framed_selection_rect;
  f->selected_voice = selected_voice;
  f->group_selected = group_selected;
  f->page_graphics_stale = page_graphics_stale;
  f->mode = MODE;
  f->page_count = page_count;
  f->page_first_bar = page_first_bar;
  std::copy(class_models, class_models + CLASS_MODEL_SLOTS, f->class_models);
  for (int p = 0; p < PARAM_SLOTS; ++p) f->param_changed[p] = param[p].changed;
  std::copy(page_param_lists, page_param_lists + 64, f->page_param_lists);
  view_graphics[slot] = &f->graphics;
}

void restore_frame_state(const ViewFrameState* f) {
  restore_view_graphics(f->graphics);
  inverted_selection_rect = f->inverted_selection;
  framed_selection_rect = f->framed_selection;
  previous_anno = NIL;  // it may be an annotation of another piece
  selected_voice = f->selected_voice;
  group_selected = f->group_selected;
  page_graphics_stale = f->page_graphics_stale;
  MODE = f->mode;
  page_count = f->page_count;
  page_first_bar = f->page_first_bar;
  std::copy(f->class_models, f->class_models + CLASS_MODEL_SLOTS, class_models);
  for (int p = 0; p < PARAM_SLOTS; ++p) param[p].changed = f->param_changed[p];
  std::copy(f->page_param_lists, f->page_param_lists + 64, page_param_lists);
}

// The music window of a parked view, or (nullptr) of the current one.
const Port* frame_window(const ViewFrameState* f) {
  return f ? f->graphics.window : music_window_port;
}

// The page image and music window of a parked view go; the current view's stay.
void dispose_frame_window(ViewFrameState* f) {
  ViewGraphics current;
  save_view_graphics(&current);
  restore_view_graphics(f->graphics);
  offscreen_dispose();
  dispose_music_window();
  restore_view_graphics(current);
}

void end_anno_mode() {
  if (MODE != MUSIC_MODE) end_anno_selection(0, 1);
}

// The window of the view left goes inactive; its group selection is kept in its record.
void view_left() {
  deactivate_window(0);
  group_selected = 0;
}

// The selection of the view being closed goes with it.
void view_closing() {
  previous_anno = NIL;  // an annotation of this piece
  group_selected = 0;
  inverted_selection_rect = framed_selection_rect = VirtualRect{};
}

// Failure: level 4 "GROUP_SELECT in indicate_no_current_view()." when a group selection is
// left (it is cleared).
void no_current_frame() {
  current_graphics_view = -1;
  if (group_selected) {
    REPORT_ERROR(4, "GROUP_SELECT in indicate_no_current_view().");
    group_selected = 0;
  }
  end_anno_mode();
  // The page image and graphics lists now belong to a parked view, or are gone.
  restore_view_graphics(ViewGraphics{});
  selected_voice = -10;
}

}  // namespace

void register_view_frame_hooks() {
  model_hooks.new_frame_state.routine = new_frame_state;
  model_hooks.free_frame_state.routine = free_frame_state;
  model_hooks.park_frame_state.routine = park_frame_state;
  model_hooks.restore_frame_state.routine = restore_frame_state;
  model_hooks.frame_window.routine = frame_window;
  model_hooks.dispose_frame_window.routine = dispose_frame_window;
  model_hooks.end_anno_mode.routine = end_anno_mode;
  model_hooks.view_left.routine = view_left;
  model_hooks.view_closing.routine = view_closing;
  model_hooks.no_current_frame.routine = no_current_frame;
  model_hooks.activate_window.routine = [] { activate_window(nullptr); };
  model_hooks.dispose_music_window.routine = dispose_music_window;
}
