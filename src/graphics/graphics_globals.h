// graphics_globals.h: the program-wide state of the graphics-element list, the offscreen page
// and the view transform.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"
#include "platform/printing.h"

struct Port;

extern Drosa last_GE_owner;  // owner named by the last NOTEPTR written; NIL after GEinit

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

extern thread_local constinit ViewTransform view_transform;  // the current view's (this thread's)
extern ViewTransform print_transform;   // the printed page's, set by the printing code
extern int32_t print_page_pixel_width;  // the page at the print transform's zoom
extern int32_t print_page_pixel_height;
extern int transform_saved;  // set while a print or picture plot has the view transform aside

extern void* offscreen_buffer;  // its pixels, owned here
extern long offscreen_buffer_size;
extern int offscreen_copies_held;  // non-zero: copies to the window are held back

// ---- Selection marks drawn over the page --------------------------------------------------

extern int32_t selection_frame_width;  // points: the frame is this x 10 / zoom pixels
extern int16_t selection_frame_font;   // font number and size of the frame's number
extern int16_t selection_frame_size;
extern int32_t framed_selection_number;  // written beside the frame

// ---- Drawing ------------------------------------------------------------------------------

// Each thread that draws has its own (pages are printed on several at once).
extern thread_local constinit CurveState curve_state;  // set by draw_curve for bezier_subdivide
// Where the last text was drawn, for a text that continues it (an adjacent text).
struct TextPenMemory {
  int dx = 0, dy = 0;  // its offsets
  int32_t y = 0;       // its y in layout units (without dy)
  int32_t row = 0;     // the pixel row it was drawn on
};
extern thread_local constinit TextPenMemory text_pen;
// The widths of a page's curves (parameters 326 and 328, one value for the page) as this thread
// draws them: a thread that draws pages while the main thread formats takes them once, rather
// than reading the main thread's table; `kept` 0 reads the table at each curve.
struct PageCurveWidths {
  int kept = 0;
  int32_t thickness = 0, width = 0;
};
extern thread_local constinit PageCurveWidths page_curve_widths;

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

extern PrintPageFormat* page_format;
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
