// graphics_globals.h: the program-wide state of the graphics-element list, the offscreen page
// and the view transform.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_services.h"
#include "platform/geometry.h"
#include "platform/printing.h"

struct Port;

extern Drosa GE_head;         // head node of the current view's graphics-element list
extern Drosa old_GE_head;     // the previous list, kept until a new format completes
extern Drosa GE_tail;         // last element of the current list
extern int GE_list_complete;  // non-zero when the current list holds a whole formatted page
extern Drosa last_GE_owner;   // owner named by the last NOTEPTR written; NIL after GEinit

extern float zoom_factor;    // screen scale divisor of the music window; 10.0 at the standard zoom
extern Drosa flashing_node;  // the note being flashed; NIL none

// A view transform: how many layout units make a pixel, and the pixel lengths derived from it.
struct ViewTransform {
  float zoom = 10.0f;           // layout units per pixel; 10.0 is the standard zoom
  uint8_t flags[2] = {0, 0};    // passed through for the views
  double half = 5.0;            // zoom x 0.5
  int32_t one_pixel = 10;       // zoom, to the nearest integer
  int32_t half_pixel = 5;       // half, to the nearest integer
  int32_t pixel_and_half = 15;  // zoom + half, to the nearest integer
  int32_t two_pixels = 20;      // 2 x zoom, to the nearest integer
};

// A rectangle of the page in layout units; empty when x2 <= x1 or y2 <= y1.
struct VirtualRect {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  bool empty() const { return x2 <= x1 || y2 <= y1; }
};

// A point of a curve in layout units, kept in 64 bits during subdivision.
struct CurvePoint {
  int64_t x, y;
};

// The state draw_curve sets up for bezier_subdivide.
struct CurveState {
  int segments = 8;        // N, a power of two
  int depth = 2;           // levels of halving: 2^(depth + 1) = N
  int taper_divisor = 1;   // d
  int32_t max_width = 0;   // W in layout units; 0 for a curve of constant width
  int32_t pen_width = 0;   // the constant width, layout units
  double taper_slope = 0;  // k
  int dash = 0, gap = 0, colour = 0;
  int segment = 0;   // index of the next segment
  double phase = 0;  // dash phase carried from segment to segment
  CurvePoint last{0, 0};
};

// ---- The current view's page and transform ----------------------------------------------
extern ViewTransform view_transform;  // the current view's; its zoom is zoom_factor's value
extern int32_t page_pixel_width;      // the page at the current zoom, in pixels
extern int32_t page_pixel_height;
extern ViewTransform print_transform;   // the printed page's, set by the printing code
extern int32_t print_page_pixel_width;  // the page at the print transform's zoom
extern int32_t print_page_pixel_height;
extern int transform_saved;  // set while a print or picture plot has the view transform aside

extern Port* offscreen_page;    // the current view's page image; nullptr none
extern void* offscreen_buffer;  // its pixels, owned here
extern long offscreen_buffer_size;
extern int32_t scroll_h;  // pixel offsets of the window's view into the page
extern int32_t scroll_v;
extern int offscreen_copies_held;  // non-zero: copies to the window are held back

// ---- The music window the page is shown in ----------------------------------------------
extern Port* music_window_port;  // the port of the music window's content; nullptr none
extern int music_window_rulers;  // the window shows rulers along its top and left

// ---- The other views ---------------------------------------------------------------------
inline constexpr int VIEW_SLOTS = 20;
// What a view keeps of the graphics state while another view is current.
struct ViewGraphics {
  Drosa GE_head, old_GE_head, GE_tail;
  int GE_list_complete = 0;
  float zoom_factor = 10.0f;
  ViewTransform transform;
  int32_t page_pixel_width = 0, page_pixel_height = 0;
  Port* page = nullptr;  // its page image, with the buffer below
  void* buffer = nullptr;
  long buffer_size = 0;
  int32_t scroll_h = 0, scroll_v = 0;
  Port* window = nullptr;  // its music window's port
  int rulers = 0;
};
// Each view slot's kept state, filled by the views when they switch; nullptr for none.
extern ViewGraphics* view_graphics[VIEW_SLOTS];
extern int current_graphics_view;  // the slot whose state the globals hold; -1 none

// ---- Selection marks drawn over the page --------------------------------------------------
extern VirtualRect inverted_selection_rect;
extern VirtualRect framed_selection_rect;
extern int32_t framed_selection_number;  // written beside the frame
extern int32_t selection_frame_width;    // points: the frame is this x 10 / zoom pixels
extern int16_t selection_frame_font;     // font number and size of the frame's number
extern int16_t selection_frame_size;

// ---- Drawing ------------------------------------------------------------------------------
extern CurveState curve_state;  // set by draw_curve for bezier_subdivide
// Where the last text was drawn, for a text that continues it (an adjacent text).
struct TextPenMemory {
  int dx = 0, dy = 0;  // its offsets
  int32_t y = 0;       // its y in layout units (without dy)
  int32_t row = 0;     // the pixel row it was drawn on
};
extern TextPenMemory text_pen;

extern int8_t current_color_index;  // colour index the colour dialog chose last (0..15)

// ---- The page drawing pass ----------------------------------------------------------------
// The beam buffer: for each pstaff, layer, stem direction (0..3) and grace (0, 1) the first
// note of a beam still open and the last note of its latest chord (both NIL when none is
// open), and whether a chord opened or joined it in the column being drawn.
inline constexpr int BEAM_BUFFER_PSTAVES = 64;
inline constexpr int BEAM_BUFFER_LAYERS = 8;
inline constexpr int BEAM_BUFFER_DIRECTIONS = 4;
inline constexpr int BEAM_BUFFER_SIZE =
    BEAM_BUFFER_PSTAVES * BEAM_BUFFER_LAYERS * BEAM_BUFFER_DIRECTIONS * 2;
struct BeamBufferEntry {
  Drosa first, last;
};
extern BeamBufferEntry beam_buffer[BEAM_BUFFER_SIZE];
extern uint32_t beam_buffer_touched[BEAM_BUFFER_SIZE];
// What the beam buffer hands its chords to: printcd for a chord outside a beam, printbeam for
// a beam group (a test may put recorders in their place).
using ChordDrawer = int32_t (*)(Drosa first, Drosa last, int staff, int flag);
extern ChordDrawer beam_buffer_chord_drawer;
extern ChordDrawer beam_buffer_beam_drawer;

// The last chord each pstaff's layer had when its signs were searched (grace columns search a
// layer that has not moved on only once).
extern Drosa specplot_last_seen[BEAM_BUFFER_PSTAVES][BEAM_BUFFER_LAYERS];
extern int32_t current_bar_number;  // number of the measure the next system starts with

// The square bracket of the system being drawn, from one staff to the next.
struct BracketState {
  int closed = 1;          // the bracket above has ended: the next one starts with a hook
  int32_t hook = 0;        // length of the hooks
  int32_t x = 0;           // x of the vertical line
  int32_t hook_x = 0;      // x where the hooks start
  int32_t hook_width = 0;  // width of the hooks
  int32_t width = 0;       // width of the vertical line
};
extern BracketState bracket_state;

// ---- The beam group being drawn -----------------------------------------------------------
// One chord of the group: the stem group of a staff chord, by its first and last note.
struct BeamChord {
  Drosa first, last;
  Drosa cddata;        // the staff chord's CDDATA
  int pstaff = 0;      // the staff it is drawn on
  int up = 0;          // 1 when its stem goes up (xstmdir 2)
  int value = 0;       // value code of its first note (beams it carries: value - 3)
  int32_t head_x = 0;  // xhdx and xhdy of its first note
  int32_t head_y = 0;
  int32_t stem_x = 0;  // xhdx + xstemxoff
};

// The group in hand: one at a time, drawn to the end before the next begins.
struct BeamRecord {
  Drosa first, last;     // first note of the first chord, last note of the last chord
  int pstaff = 0;        // the staff the group was handed over on
  int grace = 0;         // a group of grace notes
  int upper_pstaff = 0;  // the staff pair of a group over two staves
  int lower_pstaff = 0;
  std::vector<BeamChord> chords;  // the chords from first to last
  int count[2] = {0, 0};          // chords per direction: [0] stems not up, [1] stems up
  int64_t sum_x[2] = {0, 0};      // sums of their head x and head y
  int64_t sum_y[2] = {0, 0};
  int32_t mean_x[2] = {0, 0};  // the means (integer division)
  int32_t mean_y[2] = {0, 0};
  int largest_value = 4;  // the largest value code met, from the eighth
  int continued_in = 0;   // the beam comes from the previous system: flat
  int continues_out = 0;  // the beam goes on into the next system: flat
  double slope = 0;       // the main beam's y at x is intercept + slope x
  int32_t intercept = 0;
  int32_t turn_x = 0;  // the point the final slope offset turns the beam about
  int32_t turn_y = 0;
  int32_t start_x = 0, end_x = 0;        // ends of the main beam line
  int32_t clip_start = 0, clip_end = 0;  // and where it is clipped
};
extern BeamRecord beam_record;

// ---- Printing ---------------------------------------------------------------------------------
// The printing session's objects, from start-up to quit (nullptr when they could not be made).
extern PrintSession* print_session;
extern PrintPageFormat* page_format;
extern PrintSettings* print_settings;
// The three check boxes the program appends to the Print dialog: centre the page across the
// paper, keep the choice for the notation context, centre the page down the paper.
extern uint8_t print_dialog_flags[3];
extern int print_dialog_own_items;                   // the dialog's items before ours
extern PrintDialogItemProc print_dialog_saved_proc;  // the dialog's own item routine

// The PostScript of the page being printed.
struct PostScriptPageState {
  int block_open = 0;     // a block of PostScript is open
  int last_drawmode = 0;  // the drawmode sent last
  int last_layout = -1;   // the line-layout flag sent last; -1 before the first text
  int translated = 0;     // a text translation is in force
};
extern PostScriptPageState ps_page;
extern int ps_driver_warning_given;  // the printer driver's trouble with PostScript was reported

void reset_graphics_globals();
