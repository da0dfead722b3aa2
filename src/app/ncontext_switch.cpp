// ncontext_switch.cpp: the user's switch to another notation context: the piece saved first
// when the preference asks for it, the page image made for the context's page size and scale,
// and the page prepared with the insertion point where it was.
#include <algorithm>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"

namespace {

constexpr const char* SAVE_BEFORE_SWITCH =
    "Do you want to save your file now, before you change Notation Contexts?";

}  // namespace

void change_ncontext(Drosa node, int n, int no_ask) {
  const int32_t measure = node ? bar_number_of_node(node) : 1;
  if (!no_ask && n != current_ncontext && prefs.ask_save_before_context_change() &&
      (DrosaDirty & DIRTY_CHANGED) && !is_playing()) {
    const int answer = yesnocan_alert(SAVE_BEFORE_SWITCH);
    if (answer == ANSWER_CANCEL) return;
    if (answer == ANSWER_YES) save_piece(0, 0, 0, &piece_fsspec);
  }
  stop_flashing(flashing_node);
  insertion_point = NIL;
  set_selected_voice(-10);
  const int old = std::clamp<int>(current_ncontext, 1, MAX_NCONTEXTS);
  const int32_t old_width = options_i32(old, OPTIONS_PAGE_WIDTH);
  const int32_t old_height = options_i32(old, OPTIONS_PAGE_HEIGHT);
  set_notation_context(n, measure);
  follow_context_page_size(old_width, old_height);
  count_pages();
  current_page = std::clamp<int32_t>(current_page, 1, page_count);
  requested_page = int16_t(current_page);  // preparing keeps the page of the measure
  prepare_piece();
  if (is_plotted_note(node))
    set_insertion_point(node, 1, -10);
  else
    cursor_to_time(measure, -1, 0.0);
}

int follow_context_page_size(int32_t old_width, int32_t old_height) {
  const int c = std::clamp<int>(current_ncontext, 1, MAX_NCONTEXTS);
  const float scale = options_float(c, OPTIONS_SCALE);
  if (options_i32(c, OPTIONS_PAGE_WIDTH) == old_width &&
      options_i32(c, OPTIONS_PAGE_HEIGHT) == old_height && !(scale > 0 && scale != zoom_factor))
    return 1;
  if (scale > 0) zoom_factor = scale;
  return offscreen_changesize();
}
