// graphics_globals.cpp: definitions of the graphics subsystem's program-wide state.
#include "graphics/graphics_globals.h"

#include "graphics/printbeam.h"
#include "graphics/printcd.h"
#include "platform/memory.h"
#include "platform/port.h"

Drosa last_GE_owner;
thread_local constinit float zoom_factor = 10.0f;
Drosa flashing_node;
int8_t current_color_index = 0;

thread_local constinit ViewTransform view_transform;
thread_local constinit int32_t page_pixel_width = 0;
thread_local constinit int32_t page_pixel_height = 0;
ViewTransform print_transform;
int32_t print_page_pixel_width = 0;
int32_t print_page_pixel_height = 0;
int transform_saved = 0;

Port* offscreen_page = nullptr;
void* offscreen_buffer = nullptr;
long offscreen_buffer_size = 0;
int32_t scroll_h = 0;
int32_t scroll_v = 0;
int offscreen_copies_held = 0;

Port* music_window_port = nullptr;
int music_window_rulers = 0;

ViewGraphics* view_graphics[VIEW_SLOTS];
int current_graphics_view = -1;

VirtualRect inverted_selection_rect;
VirtualRect framed_selection_rect;
int32_t framed_selection_number = 0;
int32_t selection_frame_width = 1;
int16_t selection_frame_font = 3;
int16_t selection_frame_size = 9;

thread_local constinit CurveState curve_state;
thread_local constinit TextPenMemory text_pen;
thread_local constinit PageCurveWidths page_curve_widths;
BeamRecord beam_record;

BeamBufferEntry beam_buffer[BEAM_BUFFER_SIZE];
uint32_t beam_buffer_touched[BEAM_BUFFER_SIZE];
ChordDrawer beam_buffer_chord_drawer = printcd;
ChordDrawer beam_buffer_beam_drawer = printbeam;
Drosa specplot_last_seen[BEAM_BUFFER_PSTAVES][BEAM_BUFFER_LAYERS];
int32_t current_bar_number = 1;
BracketState bracket_state;

PrintSession* print_session = nullptr;
PrintPageFormat* page_format = nullptr;
PrintSettings* print_settings = nullptr;
uint8_t print_dialog_flags[3] = {0, 0, 0};
int print_dialog_own_items = 0;
PrintDialogItemProc print_dialog_saved_proc = nullptr;
PostScriptPageState ps_page;
int ps_driver_warning_given = 0;

void reset_graphics_globals() {
  last_GE_owner = NIL;
  zoom_factor = 10.0f;
  flashing_node = NIL;
  view_transform = ViewTransform{};
  print_transform = ViewTransform{};
  page_pixel_width = page_pixel_height = 0;
  print_page_pixel_width = print_page_pixel_height = 0;
  transform_saved = 0;
  port_dispose(offscreen_page);
  platform_release(offscreen_buffer);
  offscreen_page = nullptr;
  offscreen_buffer = nullptr;
  offscreen_buffer_size = 0;
  scroll_h = scroll_v = 0;
  offscreen_copies_held = 0;
  music_window_port = nullptr;
  music_window_rulers = 0;
  for (ViewGraphics*& v : view_graphics) v = nullptr;
  current_graphics_view = -1;
  inverted_selection_rect = framed_selection_rect = VirtualRect{};
  framed_selection_number = 0;
  selection_frame_width = 1;
  selection_frame_font = 3;
  selection_frame_size = 9;
  curve_state = CurveState{};
  text_pen = TextPenMemory{};
  page_curve_widths = PageCurveWidths{};
  current_color_index = 0;
  for (BeamBufferEntry& e : beam_buffer) e = BeamBufferEntry{};
  for (uint32_t& t : beam_buffer_touched) t = 0;
  beam_buffer_chord_drawer = printcd;
  beam_buffer_beam_drawer = printbeam;
  for (auto& staff : specplot_last_seen)
    for (Drosa& seen : staff) seen = NIL;
  current_bar_number = 1;
  bracket_state = BracketState{};
  beam_record = BeamRecord{};
  platform_print_page_format_release(page_format);
  platform_print_settings_release(print_settings);
  platform_print_session_release(print_session);
  page_format = nullptr;
  print_settings = nullptr;
  print_session = nullptr;
  for (uint8_t& flag : print_dialog_flags) flag = 0;
  print_dialog_own_items = 0;
  print_dialog_saved_proc = nullptr;
  ps_page = PostScriptPageState{};
  ps_driver_warning_given = 0;
}
