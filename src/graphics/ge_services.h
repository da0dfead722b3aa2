// ge_services.h: what the rest of the program asks of the graphics code: font codes, glyph
// choices, the zoom, the port in which text is measured, flashing and the GE list's state.
// Other folders include this header and no other header of graphics/.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/geometry.h"
#include "platform/port.h"
#include "platform/printing.h"

struct Port;

// The port of the current music window's page (offscreen.cpp), in which text is measured; a
// small port of its own while there is no page.
Port* offscreen_port();

// ==== ge_fields.cpp ==============================================================================
// The registry of the graphics elements' fields (the NOTEPTR, GE_CHAR, GE_LINE and GE_CURVE
// fields themselves are declared with the node kinds, in model_services.h, for the layout engine
// reads them too).

// The fields above, for checks and for finding a field by its name.
extern const NodeField* const ge_node_fields[];
extern const int ge_node_field_count;

// ==== ge_hooks.cpp ===============================================================================

// Registers what the model and the layout engine call of the drawing (the flash, the zoom, each
// system's drawing and the page's graphics list). Run by connect_subsystems at start-up.
void register_ge_hooks();

// ==== graphics_globals.cpp =======================================================================
// The program-wide state of the graphics-element list, the offscreen page and the view transform.

struct Port;

// Each thread has its own view transform (zoom_factor, view_transform, page_pixel_width and
// _height): a thread that draws printed pages sets the print transform on itself alone.
extern thread_local constinit float zoom_factor;  // screen scale divisor; 10.0 at the standard zoom
extern Drosa flashing_node;                       // the note being flashed; NIL none

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

// ---- The current view's page and transform ----------------------------------------------

extern thread_local constinit int32_t page_pixel_width;  // the page at the current zoom, in pixels
extern thread_local constinit int32_t page_pixel_height;

extern Port* offscreen_page;  // the current view's page image; nullptr none
extern int32_t scroll_h;      // pixel offsets of the window's view into the page
extern int32_t scroll_v;

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

// ---- Drawing ------------------------------------------------------------------------------

extern int8_t current_color_index;  // colour index the colour dialog chose last (0..15)

// ---- Printing ---------------------------------------------------------------------------------

// The printing session's objects, from start-up to quit (nullptr when they could not be made).
extern PrintSession* print_session;
extern PrintSettings* print_settings;

void reset_graphics_globals();

// ==== GE.cpp =====================================================================================
// The graphics-element list of the current view and its constructors.

// ---- Starting a list ----------------------------------------------------------------------

// GEinit: starts a new list after GE_head. With save_old and a complete list, the list moves
// under a copy of the head that becomes old_GE_head (hit testing uses it until the new list is
// complete); otherwise the elements are freed.
// Reads:  GE_head, old_GE_head, GE_list_complete, reformat_pending.
// Writes: GE_head's links, GE_tail, old_GE_head, last_GE_owner (NIL), GE_list_complete (0).
// Failure: level 4 "GEinit called with GE_head == NIL" (nothing done), "GEinit called with
//          !save_old and old_GE_head != NIL", "Old Graphics Object list not NIL in GEinit."
//          (the older list is freed), "New Graphics Object list is empty in GEinit.".
void GEinit(int save_old);

// ---- Pages kept formatted -------------------------------------------------------------------

// keep_page_graphics: keeps a copy of the complete list as page `page`'s, formatted from change
// count `count` on (nothing when the piece changed since). `until_replaced`: the elements
// themselves are kept when the next GEinit begins a list, with no old list for the screen
// then, or copied by settle_page_graphics; nothing may change them meanwhile.
// kept_page_graphics: the head of the list kept for the page, NIL when there is none or it
// was made in another state: another notation context, view, zoom or mode, other options,
// page setup, parameters or preferences, or a piece changed since.
// kept_pages_graphics: the same for pages first to last, in order: the state is read once.
void keep_page_graphics(int32_t page, uint32_t count, bool until_replaced = false);
void settle_page_graphics();
Drosa kept_page_graphics(int32_t page);
std::vector<Drosa> kept_pages_graphics(int32_t first, int32_t last);

// ---- Constructors -------------------------------------------------------------------------

// GEcharacter: the glyph of character parameter param at (x, y) plus the glyph's offsets;
// size above 0 replaces the glyph's size. Returns the font number stored.
// Also reads: the parameter in force at the owner (or, for clefs, time and key signatures and
// repeat dots, at pstaff's staff record), param_cur_size and param_ref_size.
// Also fails: level 4 "bad pstaff value for GEcharacter" (the element is still made).
int32_t GEcharacter(int drawmode, int32_t x, int32_t y, int pstaff, int param, int colour, int var,
                    Drosa owner, int size);
// GEcharacter_screen: nothing unless flag; then a screen twin (GSCREEN) of the glyph, always
// looked up at the owner. Returns the font number stored, 0 when nothing was made.
int32_t GEcharacter_screen(int drawmode, int32_t x, int32_t y, int pstaff, int param, int colour,
                           int var, Drosa owner, int flag);
// GEstring: a text run (GE_STRING nodes of 24 bytes and an attribute GE_CHAR) for the text
// in a font number; returns the attribute node. x = y = ADJACENT_TEXT continues at the pen.
// The run never follows staff moves when anno's flag word (node byte 24) has bit 1 set.
Drosa GEstring(int drawmode, int32_t x, int32_t y, int dx, int dy, int pstaff, int font, int cset,
               int size, int style, int colour, const char* text, int line_layout, int var,
               Drosa owner, Drosa anno);
// GEline: a line from (x1, y1) to (x2, y2) of a width in layout units, dashed when dash and
// gap (points) are both non-zero; a clip coordinate of 0 takes the ends' box widened by 280.
// Var 1 widens it to the notation context's minimum line width. Returns the line.
Drosa GEline(int drawmode, int32_t x1, int32_t y1, int pstaff1, int yreloc1, int32_t x2, int32_t y2,
             int pstaff2, int yreloc2, int width, int dash, int gap, int32_t clipx1, int32_t clipy1,
             int32_t clipx2, int32_t clipy2, int colour, int var, Drosa owner);
// GEline_screen: nothing (NIL) unless flag; then a screen twin of the line, without the var-1
// width rule.
Drosa GEline_screen(int drawmode, int32_t x1, int32_t y1, int pstaff1, int yreloc1, int32_t x2,
                    int32_t y2, int pstaff2, int yreloc2, int width, int dash, int gap,
                    int32_t clipx1, int32_t clipy1, int32_t clipx2, int32_t clipy2, int colour,
                    int var, Drosa owner, int flag);
// GEcurve: a cubic Bezier curve; fill draws it as a tapering lens. The control points' staff
// numbers are not stored. Returns the curve.
Drosa GEcurve(int drawmode, int32_t x1, int32_t y1, int pstaff1, int32_t c1x, int32_t c1y,
              int c1pstaff, int32_t c2x, int32_t c2y, int c2pstaff, int32_t x2, int32_t y2,
              int pstaff2, int fill, int dash, int gap, int colour, int var, Drosa owner);

// ---- Reading a list ---------------------------------------------------------------------

// GE_string_text: the text of the run that holds *element (a lone GE_CHAR's one character);
// leaves *element on the run's attribute node. Returns 1 when the next run is an adjacent
// text, else 0.
// Failure: level 4 "GE.c: bad GE kind in STRING: GE_CHAR expected" for another kind inside a
// run; its bytes are taken as text.
int GE_string_text(std::string* text, Drosa* element);

// ---- Changing a list --------------------------------------------------------------------

// expand_box_by_margin: the box of two corners, ordered and widened by 280 on every side.
void expand_box_by_margin(int32_t x1, int32_t y1, int32_t x2, int32_t y2, VirtualRect* box);

// ==== beam_buffer.cpp ============================================================================
// The chords of a system on their way to the chord and beam drawers. A chord outside a beam is
// drawn at once; a beamed chord waits in the buffer until the last chord of its beam arrives, and
// then the whole group is drawn together.

// print_beam_buffer: writes the open beams of every pstaff to the debug stream.
void print_beam_buffer();

// ==== chord_parts.cpp ============================================================================
// The parts of a chord drawn note by note, for single chords and beamed ones alike: heads and rest
// glyphs, ledger lines, accidentals, augmentation dots, the parentheses beside a head, and
// tablature fret numbers; with the x positions that ties, slurs and the justification read back.

// ---- Heads, ledger lines, accidentals -------------------------------------------------------

// screen_head_glyph: the character parameter of the head or rest glyph the screen shows for a
// drawn note, with where it stands (*x, *y, page units, before the glyph's own offsets); 0 when
// the screen shows none (a hidden rest, an unprinted note, head shape 7, a headless staff).
// Reads: the note's NTDATA (xscrhdx, xscrhdy), prefs.use_sonata_font(), view_transform.
int screen_head_glyph(Drosa note, int32_t* x, int32_t* y);

// ---- Dots -----------------------------------------------------------------------------------

// dot_positions: the x at which the note's dots are drawn; the dots of a chord whose two stem
// groups stand apart align on the further one.
int32_t dot_positions(Drosa note);

// ---- Marks beside the head --------------------------------------------------------------------

// The x of the left parenthesis (one parenthesis width before the accidental or head) and of
// the right one: the right edge of the note as drawn (after its dots, fret number or head).
int32_t paren_left_x(Drosa note);
int32_t paren_right_x(Drosa note);

// ---- Tablature ------------------------------------------------------------------------------

// check_tab_string: the fret of the note on a guitar string 1..7 (open pitches: parameters
// 543..549 at the note); negative when the string cannot play it.
// Failure: level 4 "String number out of range for tablature: note %lx string %hd"; 0.
int32_t check_tab_string(Drosa note, int string);
// draw_tab_fret: measures the note's fret number as draw_tab_chord draws it; returns the fret,
// with its box and its x. Draws nothing.
int32_t draw_tab_fret(Drosa note, VirtualRect* box, int32_t* x);

// ==== drawtie.cpp ================================================================================
// The curves of ties and slurs that the slur layout collects, and pitch-bend marks.

// curve_geometry: the two control points of a curve from (x1, y1) to (x2, y2), its bow read
// from the slur-shape parameters 378-383 at node; side 1 bows downward; flat doubles the reach
// along the curve (at most half its length less 10) and halves its height.
void curve_geometry(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Drosa node, int side, int flat,
                    int32_t* c1x, int32_t* c1y, int32_t* c2x, int32_t* c2y);

// drawtie: draws the open slur of (pstaff, layer, direction, grace) to (x_end, y_end) and
// empties its entry. y_end 2100000000: the slur runs off the end of the system. end_extent:
// from y_end to the end's other height, beside its stem (0: none); shorten_end: the end takes
// that height whenever it has one. Each end takes its height over the chord or beside its
// stem, the slope is limited, a short slur widened, and the slur is lifted clear of the chords
// under it (end_chord, a CDDATA, is the last of them; NIL: to the chain's end).
// Reads:  slur_buffer, first_note_x, staff_data, the chords' extents and heads, TSMODs,
//         parameters 141, 192, 222, 228, 249, 360, 378-383, 387, 391, 415, 416, 668, 669.
// Writes: the GE list (one GE_CURVE, var 5, owned by the first chord's last note; or a bend
//         mark), the entry (emptied).
// Returns the height at which the curve ends (y_end when nothing was drawn), for the room the
// end chord keeps beyond it.
// Failure: level 4 "NIL slurptr->head in drawtie.c!" for an empty entry (nothing drawn);
//          "cddata logic error in drawtie.c" for a chord without its record (no lift).
int32_t drawtie(int32_t x_end, int32_t y_end, int32_t end_extent, int shorten_end, int direction,
                int grace, int pstaff, int layer, Drosa end_chord);

// draw_chord_ties: at the end of a system, draws every slur still open on the system's pstaves
// to x_end and, on a staff of normal notation, records it in its voice's ending ENDSYST so that
// the next system starts it again.
// Reads:  slur_buffer, first_pstaff, last_pstaff, staff_data, voice_data.
// Writes: the slur flags of the system's ending ENDSYSTs, bits 0-1 of byte 46 of each slur's
//         first note (the sides it went on with), the GE list, the entries (emptied).
void draw_chord_ties(int32_t x_end);

// draw_bendtie: one tie from x1 to x2 (less the gap of parameter 211) at y, or its bend mark;
// the owner is note, or the first note of layer 0 of pstaff (none: nothing drawn). Widens the
// extents of chord (a CDDATA, may be NIL) by the tie's height. A tie widened to the shortest
// length keeps its right end without a chord (it goes on into the next system) and its left
// end without a note (it comes from the previous one).
// Reads:  parameters 141, 192, 211, 378-383, 415, 416, 668; staff_data.
// Writes: the GE list (one GE_CURVE, var 4, or the bend mark), the chord's extents and xprex.
void draw_bendtie(int32_t x1, int32_t y, int32_t x2, Drosa note, Drosa chord, int bend, int dashed,
                  int side, int pstaff);

// ==== flash.cpp ==================================================================================
// The flashing of one note or rest at a time (the insertion point's, as a rule).

// start_flashing: a note drawn on the screen starts to flash, its first blink at the next idle
// call; any other node leaves nothing flashing.
// Writes: flashing_node, the flash state and period.
void start_flashing(Drosa node);
// flash_idle: once a caret time has passed since the period began, the flash toggles; after a
// busy spell of several caret times it blinks once and the next blink follows a caret time
// later. A flashed note no longer drawn stops flashing.
void flash_idle();
// show_as_flashed: puts the flash in `state` (1 normal, 0 flash shown), drawing only when that
// changes. Failure: level 4 "Bad call on show_as_flashed in flash.c; got %lx, expected %lx."
// for another node; the flashed note is acted on all the same.
void show_as_flashed(Drosa node, int state);
// stop_flashing: a flash shown is taken away; afterwards nothing flashes. Failure: level 4
// "Inconsistent call to stop_flashing in flash.c." for a drawn note other than the flashed one.
void stop_flashing(Drosa node);
// flash_shown: 1 while a flash is showing (the note looks flashed).
int flash_shown();

// ==== play_marks.cpp =============================================================================
// The notes that sound while a piece plays, marked in the music window.

// show_play_mark: with shown set, the note drawn on the page is shown marked in the window (its
// box inverted by exclusive-or); with shown clear, as the page image has it.
// Nothing for a note not drawn, a hidden rest or a tablature note off its strings. The page
// image is left as drawn: drawing the window again from it takes every mark away.
// Reads: offscreen_page, music_window_port, the scroll position.
void show_play_mark(Drosa note, int shown);

// ==== glyph_tables.cpp ===========================================================================
// The standard font codes and the choice of the character parameter that draws each note head, rest
// and accidental, with the Simplified Music Notation mode, in which a note head's shape tells
// whether the note is sharp or flat.

// ---- Font codes ------------------------------------------------------------------------

// Codes -1..-6 give the number found at start-up; anything else is already a number.
int32_t font_from_code(int32_t code);
// The code of the first standard font (Quor, Sayl, Sonata, Geneva, Times, Symbol) with that
// number; any other number is returned unchanged.
int32_t code_from_font(int32_t number);

// From now on a character of a music font that has no glyph is reported (once per font and
// code, at level 2) when it is first drawn or measured. Called at start-up.
void init_glyph_tables();

// ---- Glyph choice -------------------------------------------------------------------------

// Simplified Music Notation is on while its font is installed and the preference is set.
bool simplified_notation_on();

// The character parameter of accidental index i: 1..5 double flat, flat, natural, sharp,
// double sharp (the history marks instead when allow_simplified is set and the mode is on),
// 6..65 the special accidentals 1..60; 0 for anything else.
int glyph_table_entry(int i, int allow_simplified);

// The character parameter of a head of that shape (0..15) and value code (0 breve .. 8);
// `note` may be NIL (then no simplified head and no tablature exception).
int notehead_glyph(int shape, int value, Drosa note);

// The accidental index of the history mark a note needs in Simplified Music Notation: 0 none,
// 4 E or B sharp, 2 C or F flat, 5 a double sharp, 1 a double flat.
int shape_notehead_kind(Drosa note);

// Whether an accidental sign is drawn before the note (never before an unprinted note).
int accidental_shown(Drosa note);

// 1 for a note the piece keeps without printing it: a pitched note of the blank head (shape
// 6) and no stem. It keeps its time and sound; nothing of it is drawn (no head, dots, ledger
// lines, accidental or ties), and it leaves a staff chord that shows something.
int unprinted_note(Drosa note);

// Whether the note and the note before it in its staff chord share one simplified head.
// Reads: both notes' NTDATA (stem direction, head y), parameter 733 at the note.
int pair_shares_notehead(Drosa note);

// ==== hit_test.cpp ===============================================================================
// What lies where on the drawn page: the element nearest to a point and the node it was drawn for,
// whether an element is the one an annotation draws, and the GE list written out as text.

// The distance that stands for none: no element was found.
inline constexpr int32_t NO_GE_DISTANCE = 2100000000;

// ---- Hit testing (hit_test.cpp) ----------------------------------------------------------

// find_nearest_GE: the element of the current view's list nearest to the page point (x, y),
// the note it was drawn for and their distance, |dx|/2 + |dy|/2 with each half truncated. Only
// characters, text runs (by their closing GE_CHAR), lines and curves drawn for a note plotted
// on the screen count; annotation, removed and screen-only elements never do. A character or
// text is reached at its left end and at its right end, a line or curve at its two ends. Of
// two at the same distance the earlier in the list wins. Nothing found: NIL, NIL and
// NO_GE_DISTANCE. Any out-pointer may be null.
// Reads:  GE_head (the old list, old_GE_head, while the current one is incomplete),
//         GE_list_complete, the owners' NTDATA, the texts' fonts in offscreen_port().
// Failure: level 4 "Call to find_nearest_GE without any Graphics Object lists" (an
//          incomplete list with no old one: the incomplete list is searched); "ADJACENT GE
//          without ganno set in find_nearest_GE" (that element is passed over).
void find_nearest_GE(int32_t x, int32_t y, Drosa* element, Drosa* owner, int32_t* distance);

// GE_matches_Drosa: 1 when the element is exactly what the annotation (a TPARAM or LINE
// followed by its PDATA) draws: the same place, shape, text, font, width, dashes, drawmode
// and colour; 0 otherwise.
// Reads:  the annotation, its PDATA and TEXT nodes; the element and its text run.
// Failure: level 4 "No PDATA node for GE_matches_Drosa", "Annotation GE passed to
//          GE_matches_Drosa", "Bad GE kind for GE_matches_Drosa"; each gives 0.
int GE_matches_Drosa(Drosa element, Drosa annotation);

// GE_var: what a character, line or curve draws (its var); -1 for any other node.
int GE_var(Drosa element);

// move_GE_to_Drosa: turns a drawn element of the music (a character, a text run by any of its
// nodes, a line or a curve drawn for the note `owner`) into an annotation that draws it
// instead, inserted with undo just before the owner and returned: a LINE (curve flag for a
// curve) or a TPARAM with its TEXT nodes, followed by a PDATA holding where the element
// stands, stored from the owner's reference point so that it draws at the element's place.
// It names the element by its variety (xline_eocvar, xeocvar) and by which of the owner's
// printed elements of that variety it is (xline_ord, xeocord, from 1); the element and its
// run are marked removed.
// Reads:  the element, the GE list (the old one while the current one is incomplete), the
//         owner's layout record. Writes: the owner's voice list, the undo history, the
//         change flags (a reformat); the element's GREMOVE.
// Failure: level 4 "Annotation error in move_GE_to_Drosa", "Screen-version annotation given
//          to move_GE_to_Drosa" (both go on); "Illegal occurrance of ADJACENT GE in
//          GEToDrosa" and "Bad kind of GE for move_GE_to_Drosa %0lx %hd %hd" give NIL, as
//          does an owner that is not a note.
Drosa move_GE_to_Drosa(Drosa element, Drosa owner);

// ---- The GE list as text (ge_dump.cpp) -------------------------------------------------------

// debug_GE: writes "\nContents of the GE list:\n" and a line per node of the current view's
// list to the debug stream: each element kind in its own format, then its flag words
// (BICMODE or BADMODE, GSCREEN, GANNO, GREMOVE).
// Reads:  GE_head and the list; the owners of NOTEPTRs.
// Writes: the debug stream.
void debug_GE();
// dump_GE: writes the list into the file "Graphics Objects.dump" of the working folder, a line
// per character, line, curve and text run, announced on the debug stream.
// Writes: that file (replaced), the debug stream.
// Failure: a file that cannot be written is said on the debug stream; level 4 "dump_GE.c:
//          Unrecognized Graphics Element kind %hd" for a node of another kind.
void dump_GE();

// ==== marks.cpp ==================================================================================
// The articulation marks of a staff chord and its tuplet number, stacked outward from the chord:
// each pushes the chord's extents on its side beyond itself.

// draw_marks_always: the marks placed before the chord's slurs: staccato (staccatissimo with
// its TSMOD flag) and tenuto, then a tuplet number to be drawn at the group's end when flag
// is set. draw_marks_sometimes: those placed after them: fermata, accent, then a tuplet
// number marked over the chord, or to be drawn at the end when flag is clear. Both are given
// the last note of a stem group.
// Reads:  the note's mark fields, its layout records and chord extents, staff_data, TSMODs,
//         options_struct (tuplet numbers shown), parameters 1, 4-10, 125, 126, 137, 140, 194,
//         195, 217, 219, 265-267, 672, 673, 713, 714.
// Writes: the GE list (vars 36, 37, 38; 6 for tuplet numbers), the chord's extents.
// Failure: level 4 "warning: calling draw_marks_always for note which is not last on stem"
//          (or draw_marks_sometimes) for a note that is not the last of its stem; nothing drawn.
void draw_marks_always(Drosa note, int pstaff, int flag);
void draw_marks_sometimes(Drosa note, int pstaff, int flag);

// side_pstaff_of_note: the pstaff on which something on side (1 below, 2 above) of the note
// lies: its own, or the neighbouring staff when the note or its beam is drawn there.
int side_pstaff_of_note(Drosa note, int side, int pstaff);

// ==== note_colors.cpp ============================================================================
// The colour of notes and annotations: which colour index (0 black, 1..15 the preferences' colour
// table) a note is drawn in, a note's own colour kept in a COLOR node before it, and the colour
// dialog.

// The colour index of a note: by pitch name (C 1 .. B 7) when the preferences ask for it,
// 15 for a note marked by either of the two marking flags the preferences colour, else the
// index of the note's COLOR node, else 0.
// Reads: prefs' colour flags, the note, its COLOR node.
int note_color_index(Drosa note);

// Makes the note's COLOR node agree with current_color_index, with undo: removes it for
// index 0, adds one for a note without, changes its index; a note already of that colour is
// left alone (nothing is recorded).
// Reads: current_color_index. Writes: the voice list (undo recorded); the change flags.
void set_note_COLOR_node(Drosa note);

// When notes are coloured by pitch name, stores each note's colour in its COLOR node (so
// that the file keeps them) and marks every key signature passed (bit 7 of the byte after
// xkey). Called by the piece writer before it writes the nodes.
// Reads: every voice list in the current context. Writes: COLOR nodes (undo recorded),
// KEYSIG nodes, current_color_index.
void recolor_all_notes();

// The modal colour dialog, for the notes at the insertion point or the group selection
// (for_notes non-zero) or for annotations: a swatch chooses a colour, a Shift-click on a
// swatch other than the first redefines its colour, and for notes a check box colours
// notes by pitch name.
// Writes: current_color_index, notes' COLOR nodes, the annotation templates, prefs.
void color_dialog(int for_notes);

// ==== offscreen.cpp ==============================================================================
// The offscreen page of the current view: the whole page rendered at the current zoom into one
// image, of which the music window shows a scrolled part; the view transform that sizes it; rulers
// and selection marks.

struct Port;

// ---- The page image -------------------------------------------------------------------------

// offscreen_create: makes the page image for a page (tenths of an inch) at a zoom (0 or less:
// see set_view_transform; window_width > 0 fits the page to it) and resets the scroll position.
// Returns 1, or 0 when the buffer could not be allocated (after the allocator's alert).
// Writes: zoom_factor, view_transform, page_pixel_width and _height, print_page_pixel_width
//         and _height (at print_transform's zoom), offscreen_page, offscreen_buffer(_size),
//         scroll_h, scroll_v.
int offscreen_create(float zoom, int32_t page_width, int32_t page_height, int window_width,
                     int show);
// offscreen_changesize: re-creates the page image after a change of zoom, page size or
// notation context: stops the flashing, clears the insertion point and ends note entry
// (note_entry_active), empties the selection rectangles; a zoom_factor of 0 fits the page to
// the screen's width. Reads zoom_factor, the current notation context's page size and the
// screen's bounds.
// Failure: level 4 "Memory check logic error in offscreen_changesize"; returns 0.
int offscreen_changesize();
// offscreen_dispose: frees the page image and its buffer.
void offscreen_dispose();
// offscreen_erase: erases the whole page image, when there is one.
void offscreen_erase();

// ---- Showing the page -----------------------------------------------------------------------

// refresh_from_offscreen: takes the insertion cross away, copies the page to the music window
// and puts the cross back, unless copies are held back.
void refresh_from_offscreen();

// ---- Views -----------------------------------------------------------------------------------

// save_view_graphics, restore_view_graphics: the current view's graphics globals (its GE
// lists, transform, page image, scroll position and window) into or out of a record.
void save_view_graphics(ViewGraphics* record);
void restore_view_graphics(const ViewGraphics& record);
// offscreen_copy_view: copies another view's page image into its own window at its own
// scroll position.
// Reads: view_graphics[view], current_graphics_view.
// Failure: level 4 "Call to offscreen_copy_view for current view!", "Call to
// offscreen_copy_view for view %hd; ViewData pointer is NIL!"; nothing is copied.
void offscreen_copy_view(int view);

// ---- Selection marks ------------------------------------------------------------------------

// Both map layout units to page pixels through the integer part of the zoom (at least 1).
// show_selection_inverted: inverts a rectangle of the page and refreshes the window.
void show_selection_inverted(const VirtualRect& r);
// remove_selection_marks: takes a rectangle selection and a framed selection still shown off
// the page, and forgets them.
// Writes: inverted_selection_rect, framed_selection_rect (both emptied).
void remove_selection_marks();

// ==== picture.cpp ================================================================================
// A picture of a rectangle of the formatted page for the system clipboard.

// picture_of_page_rect: draws the elements of the view's GE list that meet the rectangle (layout
// units) into a picture of it and puts that on the system clipboard: as printed, at the printing
// resolution, or with `screen_size` as the screen shows it, at the screen's. The bytes put
// there; -1 when the clipboard could not take it.
// Reads: the GE list, zoom_factor, page_pixel_width and _height. Writes: the system clipboard.
long picture_of_page_rect(const VirtualRect& r, bool screen_size);

// ==== plot.cpp ===================================================================================
// Drawing the current view's GE list into the current port, for the screen, a printed page or the
// clipboard picture, and the screen redraw.

// Plot modes.
inline constexpr int PLOT_SCREEN = 1;  // into the offscreen page

// plot_GE_list: draws the elements that meet the update rectangle (pixels of the current
// port), clipped to it. Of a screen twin (GSCREEN) and the element after it, the screen draws
// the twin and print and picture the other; print-only annotations are left off the screen and
// screen-only ones off print and picture. With skip_text, characters and texts are left out.
// In print and picture modes the print transform stands in for the view's during the call.
// Reads:  GE_head and the list, zoom_factor, view_transform, page_pixel_width and _height,
//         print_transform, the colour table.
// Writes: the current port's pixels; its pen and text mode are put back; text_pen.
// Failure: level 4 "plot.c: Unrecognized Graphics Element kind %hd"; the walk goes on.
void plot_GE_list(Rect update, int mode, int skip_text);

// redraw_view: repaints the offscreen page from the list, copies it to the window, and puts the
// selection's marks (the group's notes, the voice marks), the insertion point's flashing and
// the selection rectangles back on top.
// Reads:  the list, insertion_point, group_selected, voice_highlighted, selected_voice,
//         inverted_selection_rect, framed_selection_rect.
// Writes: the offscreen page and the music window.
void redraw_view();

// ==== plot_page.cpp ==============================================================================
// The drawing pass of a formatted system: staff lines, brackets and braces, the system's left bar
// line and separator, then the chords column by column with the signs before them, and the rests
// that fill whole measures.

// plot_page: draws the system first_pstaff..last_pstaff into the GE list. 0 when the user's
// input interrupted it (the list is then left partial and the format abandoned), else 1.
// Reads:  first_pstaff, last_pstaff, staff_data (chain heads, middle lines, sizes, lines,
//         types, chord count), voice_data, the print chains and layout records of the system,
//         the parameters, options_struct (system separators), prefs (Sonata braces).
// Writes: the GE list; staff_data cur_note, next_time, rest_group, rest_group_x,
//         layers_with_notes; voice_data beaming_end; the beam buffer; bracket_state; the drawn
//         rests' NTDATA and CDDATA.
// Failure: level 4 "No ENDSYST found in get_bracket()!" for a staff whose first note has no
//          ENDSYST before it (no bracket and no brace there); the reports of the beam buffer
//          and of the system symbols.
int32_t plot_page();

// get_bracket: the bracket and brace settings of the staff whose first note is `node`: from
// the PRINT after the piece's first ENDSYST when the note's system starts the piece, else from
// the ENDSYST that starts its system. Returns the node read; NIL (bracket 2, brace 0) after
// the level-4 report "No ENDSYST found in get_bracket()!".
Drosa get_bracket(Drosa node, int* bracket, int* brace);

// ==== print.cpp ==================================================================================
// Printing and page setup: the printing session of the program's life, the page setup of each
// notation context with its scaling advice, the Print dialog with the program's three check boxes,
// and printing the chosen contexts page by page, as the program's own PostScript or drawn on the
// printed page's port.

// ---- The session --------------------------------------------------------------------------------

// Print_init: makes the session, a page format and print settings with the session's
// defaults; the first print or page setup calls it, and again after it failed.
// Writes: print_session, page_format, print_settings.
// Failure: the session's error through report_file_error with "You might need to quit Vesk
//          and select a printer.  Print Manager Error" or "Print_init, creating print record".
void Print_init();
// print_release: releases them, each only when present.
void print_release();

// The contexts print_piece prints.
inline constexpr int PRINT_CURRENT_CONTEXT = 0;
// Every context, every page, no dialog: to the session's printer or file; with neither
// (no printer), or for a context after one printed to that file, to a PDF file beside the
// piece under its name ("song.pdf"; with several contexts "song-1.pdf", "song-2.pdf"),
// replacing one there.
inline constexpr int PRINT_WITHOUT_DIALOG = -1;
// As PRINT_WITHOUT_DIALOG, for a piece that is closed straight after: the page shown is not
// formatted again, since nobody will see it.
inline constexpr int PRINT_BEFORE_CLOSING = -2;

// print_piece: the Print command: the contexts to print (the current one, a choice, or every
// one), then for each the Print dialog and its pages, formatted for printing and printed in
// the document format the destination takes. When printing ends, the current context, page,
// transform and page image are what they were and the page is formatted again.
// Reads:  the voice lists, print_record, options_struct, prefs, print_settings.
// Writes: print_record's dialog flag byte and DrosaDirty (when the third check box's choice
//         is kept), print_dialog_flags, insertion_point, the window title while printing, the
//         layout records and the GE list (the current page formatted again at the end).
// Failure: a step of the session that fails is reported with its name ("Open Printer Page",
//          "Graphics Context", "Close Printer Page", "Before EndDoc", "EndDoc") and ends the
//          command; nothing of the document is left behind and the piece is as it was.
// Returns: false when it failed or was cancelled (or no print session could be had), so that
//          a run started only to print ends with a failure status.
bool print_piece(int which);

// draw_pages_ahead: while on, each page final in a format of the whole piece (its list kept and
// the next page begun) is drawn as a printed page on a thread of its own while the main thread
// formats the pages after it; the print that follows takes each page drawn so whose kept list,
// print transform, page size and curve widths are those it prints with. The pages that come in
// order from the first are also ended there in a PDF document begun ahead for the context's page
// setup, which a print of the same setup from page 1 goes on with. Off lets the thread go and
// drops what it drew. On only where two cores or more are usable, and for a piece of at least
// `fewest_pages` pages as counted when its first page is final, or one fewer when the bars after
// that page fill most of another (the count is then likely one short): a fresh thread's first page
// costs it about twice what it costs the main thread, and its start slows the format, so that a
// piece of two pages prints sooner without it. Reads: current_ncontext's page size, zoom_factor,
// page_pixel_width and _height, the curve widths, page_count.
void draw_pages_ahead(bool on, int32_t fewest_pages = 3);
// last_page_final: the last page's kept list is final, the format of the whole piece ended; it
// is drawn ahead only when every page before it has been (the print draws it sooner than a
// thread still busy).
void last_page_final(int32_t page);

// printed_sheet: the sheet a page of the context is printed on in a PDF file, in points, upright,
// and the scale it is printed at (the page setup's, validated, when `scale` is 0): the page at
// that scale in whole tenths of an inch, or the paper of the Page Setup dialog (A4, Letter, ...)
// within a tenth of an inch of it. The page's top-left stands at the sheet's.
// Reads: options_struct (page size), print_record (scale).
struct PrintedSheet {
  double width = 0, height = 0;
  int32_t scale = 100;
};
PrintedSheet printed_sheet(int context, int32_t scale = 0);

// page_setup: the Page Setup command: the contexts to change, the scaling advice for the
// current context's page, the Page Setup dialog, and its choices kept in the page setup of
// each chosen context.
// Reads: options_struct (page size). Writes: print_record, DrosaDirty when a value changed.
void page_setup(int which);

// ==== printbeam.cpp ==============================================================================
// Drawing one beam group of one printed staff: its chords, stems, the main beam, the secondary and
// partial beams and tremolo beams, with the beam's slope and height.

// ---- Beams that go on from one system to the next -------------------------------------------

// Set on the ENDSYST that ends a voice's system when a beam of stems up (down) goes on into
// the next system; read at the ENDSYST that starts the next one.
inline constexpr auto xsys_beamup = bit_field("xsys_beamup", ENDSYST, 29, 7, 7);

// stemdir_by_voice_pair: whether the voice's system-start ENDSYST says a beam of stems up (2)
// or down (1) continues into the system; the two marks swap when the voice changed to a
// neighbouring staff at that ENDSYST. 0 for a voice outside 0..63.
// Reads: voice_data[voice].system_start, the PRINTs before and after that ENDSYST.
int stemdir_by_voice_pair(int voice, int direction);

// ---- Values -------------------------------------------------------------------------------

// decode_note_type: the written value and dots of a note; a tremolo note (xtrembeam) stores a
// beamed value and a tuplet ratio, re-expressed here. 1 when it was re-expressed, else 0 (the
// value and dots are the note's own).
int decode_note_type(Drosa note, int* value, int* dots);

// ---- Drawing a group ------------------------------------------------------------------------

// printbeam: draws the beam group first..last (first note of its first chord, last note of its
// last chord) handed over on a printed staff; flag is the layer. A group of one staff chord
// goes to printcd, whose result is returned; otherwise 1.
// Reads:  the notes, their layout records, the engraving parameters at the group's chords, the
//         staff records. Writes: beam_record, the GE list, the chords' CDDATA extents and
//         CDDATA2 beam counts, the voices' continued-beam marks.
// Failure: level 4 "Inconsistency in printbeam: first %lx, last %lx, ptr %lx" for a chord
//          without its layout record or a normal chord in a grace group, "printbeam.c:
//          advance(%lx) returns NIL in advance()!!!" when the beam ends before the last note
//          (the walk stops there), "Inconsistency in leastsq: ptr %lx", "Grace logic error in
//          printbeam", "Only one chord in beam in leastsq()!" (the group is drawn as reached).
int32_t printbeam(Drosa first, Drosa last, int staff, int flag);

// ==== printcd.cpp ================================================================================
// Drawing one staff chord that is not part of a beam: its rest, or its heads with their ledger
// lines, accidentals, dots and marks, then the stem with its flag, tremolo mark and grace slash.

// ---- Drawing flags of a staff chord ----------------------------------------------------------

// printcd: draws the staff chord first..last (print-chain order) on the printed staff; flag is
// the layer (non-zero: stems are not drawn out to the middle line). A chord that goes on in a
// beam across a system break goes to printbeam, whose result is returned; otherwise 1, or 0
// when nothing could be drawn.
// Reads:  the notes, their NTDATA, the chord's CDDATA, the staff record, the parameters at the
//         notes, prefs (the glyph set). Writes: the GE list, the CDDATA extents and drawing
//         flags, staff_data[staff].rest_group[flag] for a whole-measure or multi-measure rest.
// Failure: level 4 "printcd.c: Two rests for same stem direction" (the first rest is drawn).
int32_t printcd(Drosa first, Drosa last, int staff, int flag);

// ==== raster.cpp =================================================================================
// Drawing in layout units into the current port: the mapping from layout units to pixels,
// characters and strings, lines of any width with dashes, and Bezier curves of constant or tapering
// width.

// ---- The mapping --------------------------------------------------------------------------

// Reads: zoom_factor, page_pixel_height.
int32_t screen_x(int32_t x);
int32_t screen_y(int32_t y);
// The rectangle in pixels that two corners in layout units span.
void virtual_rect_to_screen(Rect* out, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// ---- Text ------------------------------------------------------------------------------------

// offscreen_char: the glyph of character parameter param for a note or rest, into the page.
// Colour -1 takes the note's colour.
// Failure: level 4 "Got a %s (%lx) for offscreen_char parameter %hd '%s'. Should be a
// scr_vis_noterest." for a node that is not a note drawn on the screen; nothing is drawn.
void offscreen_char(int32_t x, int32_t y, int param, int colour, Drosa node);
void offscreen_string(int32_t x, int32_t y, int dx, int dy, int font, int cset, int pixel_size,
                      int face, int colour, std::string_view text);

// ==== specplot.cpp ===============================================================================
// The signs of a system that are neither chords nor beams: clefs, key and time signatures, bar
// lines with their repeat dots, wings and joins, the bar number at the start of a system and the
// title line of a page.

// clef_sig_offsets: the glyph parameter of key-signature accidental `code` and, through *y,
// the y of its glyph on pstaff under a clef of that type.
int clef_sig_offsets(int code, int clef_type, int pstaff, Drosa owner, int32_t* y);

// ==== part_names.cpp =============================================================================
// The names of the parts before a system (draw_part_names, in part_names.h).

// part_name_room: how far left of the staves a part's name reaches as it is drawn before the
// staves of a part whose top staff has that staff space: its widest line (measured at its
// point size, whatever the zoom), a staff space, and the farthest a bracket and a brace stand
// left of the staves. Reads: the offscreen port (its text state is put back), parameters
// 279, 280 and 398.
int32_t part_name_room(const std::string& text, int staff_space);

// ==== ge_ink.cpp =================================================================================
// What a drawn element covers on the page.

// ge_ink_box: the box (layout units, y upward) that an element of the list covers: a glyph or
// a text run by the ink of its characters (measured in the offscreen port, and kept), a line by
// its ends and width, a curve by its control points. False for an element that draws nothing
// of its own: a screen twin, a removed or screen-only element, a text going on at the pen, a
// glyph without ink, a node that is no element.
bool ge_ink_box(Drosa element, GEInkBox* box);
// ge_pstaff: the pstaff an element is drawn on (a line's or curve's first end's); -1 for a
// node of another kind.
int ge_pstaff(Drosa element);

// ==== ge_shift.cpp ===============================================================================
// A drawn page's elements moved with its staves.

// ge_shift_staves: moves the current list's elements with the staves of the page, staff p by
// dy[p] (layout units, upward): a glyph or text with its staff, a line's ends each with its own
// staff (bar lines and the joins of brackets between staves moved apart stretch), a curve with
// its staves; a brace whose staves move apart is left for ge_redraw_braces. False, and nothing
// moved, when an element cannot follow so: one of no staff of the page, a curve or another
// line between staves moved apart, a brace drawn on no known staves whose system's staves do,
// a separator between systems that are, a part's name whose staves do.
// Reads: the current list, pstaff_count, staff_data places. Writes: the elements' heights.
bool ge_shift_staves(const std::vector<int32_t>& dy);
// ge_redraw_braces: after ge_shift_staves and the staves' middle lines moved by dy, draws every
// brace whose staves moved apart again for their new places, in the place of its old pieces,
// and the names of the parts before its system end a staff space left of it again.
// Reads: the current list, pstaff_count, staff_data, how each brace was drawn. Writes: the
// list (GE_tail and last_GE_owner as they were), the names' x.
void ge_redraw_braces(const std::vector<int32_t>& dy);
// ge_shift_elements: moves the elements from first to last (of the current list, in its order)
// dy layout units upward, wherever their staves stand: a mark moved away from another.
void ge_shift_elements(Drosa first, Drosa last, int32_t dy);
