// layout_services.h: what the other subsystems may call of the page layout engine: the page
// formatter, pages and measures, the layout records with their fields, the page state and the
// object lookup.
// Other folders include this header and no other header of layout/.
#pragma once

#include <cstdint>
#include <map>
#include <unordered_set>
#include <vector>

#include "model/model_services.h"

// ==== layout_hooks.cpp ===========================================================================
// What the page formatter calls of the subsystems built on it, registered by them at start-up.

// What the drawing and the annotations hand the layout engine.

// The box (layout units, y upward) a drawn element covers (ge_ink_box).
struct GEInkBox {
  int32_t left = 0, bottom = 0, right = 0, top = 0;
};

// A box on the page, page units, y upward from the page's bottom.
struct AnnoBox {
  int32_t left = 0, bottom = 0, right = 0, top = 0;
};

// A line of lyrics under a staff: from its first syllable's left to its last's right, from the
// lowest of its letters to the highest (layout units, y upward).
struct LyricLineBox {
  int32_t left = 0, right = 0, bottom = 0, top = 0;
};

// The room the hairpins that begin at a note need after it, from its chord's packed x, to be
// read (hairpin_room_after): as far as the signs before the next chord (the bar line a hairpin
// over the note's time ends at), and as far as the next chord itself; 0 when none needs any.
struct HairpinSpan {
  int32_t to_signs = 0, to_next = 0;
};

// What measure_anno_text finds out about a text besides its width. All lengths are page units
// (tenths of a point).
struct AnnoTextMeasure {
  int32_t width = 0;                             // the widest line
  int16_t ascent = 0, descent = 0, leading = 0;  // the largest of every run
  int16_t max_size = 0;                          // the largest xtextsize of the runs
  // 0 for a single line; the number of line feeds + 1 when there are line feeds; else minus
  // the number of carriage returns.
  int16_t line_count = 0;
  int16_t pad = 0;      // the width of " " (of "-" when the text ends in a centred hyphen)
  bool hyphen = false;  // the text ends in a centred hyphen
  bool leading_extender = false;   // the text begins with an underline extender
  bool trailing_extender = false;  // the text ends with an underline extender
  bool music_font = false;         // some run is in a music font (Quor or Sayl)
  // How much farther than its width a text of one line reaches as it is drawn: each style run
  // after the first moves the pen by its horizontal offset (a chord symbol's accidental).
  int32_t offsets = 0;
};

// insert_system_start's `strict` STRICT_AT_TIME_CURSORS: strict, and the voices stand at the
// note's time already (the system and time cursors as voices_to_system left them).
inline constexpr int STRICT_AT_TIME_CURSORS = 2;

struct LayoutHooks {
  // The drawing of each system once laid out, and of the page (graphics/).
  Hook<int32_t> plot_page{"plot_page"};
  Hook<void, int> GEinit{"GEinit"};
  Hook<void, int32_t, uint32_t, bool> keep_page_graphics{"keep_page_graphics"};
  Hook<void> settle_page_graphics{"settle_page_graphics"};
  Hook<void, int32_t> last_page_final{"last_page_final"};
  // How high on the context's page the program may place ink: a quarter inch of the paper
  // below its top (layout units, y upward; 0 unknown).
  Hook<int32_t, int> paper_top{"paper_top"};
  // How low the music of the current context's page may reach: above the page's line, clear of
  // the paper's foot (layout units, y upward; 0 the page's foot).
  Hook<int32_t> lowest_music_y{"lowest_music_y"};
  // The annotations of each system, and their state of a page (annotations/).
  Hook<int32_t> draw_voice_annos{"draw_voice_annos"};
  Hook<int32_t> draw_pstaff_texts{"draw_pstaff_texts"};
  Hook<int32_t> draw_pstaff_annos{"draw_pstaff_annos"};
  Hook<void> clear_anno_lowered_at_paper_top{"clear_anno_lowered_at_paper_top"};
  Hook<void> clear_anno_footer_boxes{"clear_anno_footer_boxes"};
  Hook<void> clear_anno_lyric_lines{"clear_anno_lyric_lines"};
  // Page breaks the formatter moves (editing/).
  Hook<void, int> split_page{"split_page"};
  Hook<bool, int> move_page_end{"move_page_end"};
  // The piano palette, redrawn after each completed format (performance/).
  Hook<void> draw_piano_window{"draw_piano_window"};
  // Where the graphics list's elements and the notes' drawing stand (graphics/).
  Hook<int, Drosa> accidental_shown{"accidental_shown"};
  Hook<bool> simplified_notation_on{"simplified_notation_on"};
  Hook<int, Drosa> pair_shares_notehead{"pair_shares_notehead"};
  Hook<int, int, int> stemdir_by_voice_pair{"stemdir_by_voice_pair"};
  Hook<int, Drosa> shape_notehead_kind{"shape_notehead_kind"};
  Hook<int32_t, Drosa, int> check_tab_string{"check_tab_string"};
  Hook<int, Drosa> unprinted_note{"unprinted_note"};
  Hook<int32_t, Drosa> dot_positions{"dot_positions"};
  Hook<int32_t, Drosa> paren_left_x{"paren_left_x"};
  Hook<int32_t, Drosa> paren_right_x{"paren_right_x"};
  Hook<Drosa, int32_t> kept_page_graphics{"kept_page_graphics"};
  Hook<std::vector<Drosa>, int32_t, int32_t> kept_pages_graphics{"kept_pages_graphics"};
  Hook<bool, Drosa, GEInkBox*> ge_ink_box{"ge_ink_box"};
  Hook<int, Drosa> ge_pstaff{"ge_pstaff"};
  // What the layout engine draws as it lays out (graphics/).
  Hook<Drosa, int, int32_t, int32_t, int, int, int32_t, int32_t, int, int, int, int, int, int32_t,
       int32_t, int32_t, int32_t, int, int, Drosa>
      GEline{"GEline"};
  Hook<int32_t, Drosa, VirtualRect*, int32_t*> draw_tab_fret{"draw_tab_fret"};
  Hook<int32_t, int32_t, int32_t, int32_t, int, int, int, int, int, Drosa> drawtie{"drawtie"};
  Hook<void, int32_t> draw_chord_ties{"draw_chord_ties"};
  Hook<void, int32_t, int32_t, int32_t, Drosa, Drosa, int, int, int, int> draw_bendtie{
      "draw_bendtie"};
  Hook<void, Drosa, int, int> draw_marks_always{"draw_marks_always"};
  Hook<void, Drosa, int, int> draw_marks_sometimes{"draw_marks_sometimes"};
  Hook<int, Drosa, int, int> side_pstaff_of_note{"side_pstaff_of_note"};
  Hook<bool, const std::vector<int32_t>&> ge_shift_staves{"ge_shift_staves"};
  Hook<void, const std::vector<int32_t>&> ge_redraw_braces{"ge_redraw_braces"};
  // What the annotations tell the layout engine (annotations/).
  Hook<void, Drosa> anno_fold_request_before_layout{"anno_fold_request_before_layout"};
  Hook<int32_t, Drosa, Drosa, AnnoTextMeasure*> measure_anno_text{"measure_anno_text"};
  Hook<int32_t, int> anno_lowered_at_paper_top{"anno_lowered_at_paper_top"};
  Hook<void, const std::vector<int32_t>&> anno_shift_lyric_lines{"anno_shift_lyric_lines"};
  Hook<const std::vector<AnnoBox>&> anno_footer_boxes{"anno_footer_boxes"};
  Hook<const std::vector<LyricLineBox>&, int> anno_lyric_lines{"anno_lyric_lines"};
  Hook<HairpinSpan, Drosa> hairpin_room_after{"hairpin_room_after"};
  // Systems the formatter cuts to fit (editing/).
  Hook<bool, Drosa, int> cut_and_join_next_system{"cut_and_join_next_system"};
  Hook<int, Drosa, int, int, int> insert_system_start{"insert_system_start"};
  // The frame (app/).
  Hook<void> update_window{"update_window"};
  // The poll of a format (app/): the idle work done at each poll (the text caret, the flash,
  // a step of playback and the cursor); whether input waiting to be entered stops the format;
  // whether a waiting mouse-down or key stops it.
  Hook<void> format_idle{"format_idle"};
  Hook<bool> input_stops_format{"input_stops_format"};
  Hook<bool, const EventRecord&> event_stops_format{"event_stops_format"};
};
extern LayoutHooks layout_hooks;

// Registers what the model calls of the layout engine. Run by connect_subsystems at start-up.
void register_layout_hooks();

// ==== beam_ends.cpp ==============================================================================
// Where beams end and where they join.

// beam_end_pass: orders the notes of every staff chord and marks where beams must end or may
// go on. 0 when interrupted, else 1.
int32_t beam_end_pass();

// join_beams_pass: joins beams across chords once stems are known. 0 when interrupted, else 1.
int32_t join_beams_pass();

// ==== format.cpp =================================================================================
// The page formatter: formatting one page or every page, and the poll through which a format gives
// way to the user.

// ---- Formatting -----------------------------------------------------------------------------

// format_page: lays out page `page` (from 1) of the current notation context and rebuilds the
// view's graphics elements; 1 when the page was laid out completely, 0 when the user's input
// interrupted it (the page stays marked for reformatting and the old picture is kept). With
// keep 0 the layout records of the page formatted last are removed first; with 1 they are
// only cleared in place; with FORMAT_FOR_PRINTING they are removed as with 0 and the view is
// not redrawn from the new elements (they are a printed page's).
// Reads:  the voice lists, the parameters, the context's options record, first_format,
//         last_formatted_page, the events waiting.
// Writes: every layout record of the page, page_start, voice_data, staff_data, the page
//         state of layout_globals.h, the GE list (a copy kept for printing when the format
//         changed nothing of the piece), xbarx (the bars not placed again: not drawn) and
//         xscrbarx of the page's BARs, the cursor;
//         may end the page earlier (split_page) when it has more than 64 staves. A system
//         whose music is wider than its staves is cut into systems that fit (with undo,
//         joining the newest undo step), and a page these make too tall or give more than 64
//         staves is ended earlier without a message, the systems after going on at the top
//         of the next page (a page of their own after the last); the page is then formatted
//         again.
// Failure: level 2 "Too many staves on the page; the page will be split."; level 4 "format:
//          trying to use %hd staves for system 1; max staves %hd", "format: pstaff logic
//          error in find_staves...", "PRINT node not found in format: sys %hd voice %hd
//          xkind(%lx) %hd"; the format goes on.
inline constexpr int FORMAT_FOR_PRINTING = 2;
int32_t format_page(int32_t page, int keep);
// move_staves_for_ink: whether a page whose staves stand apart once its ink is known is moved
// rather than formatted again (on unless turned off; the page is the same either way);
// staves_moved_for_ink: how many times the page formatted last was so moved.
// Writes / reads: page_fitting.
void move_staves_for_ink(bool on);
int staves_moved_for_ink();

// format_all_pages: formats every page in whole without interruption, none of them drawn on
// the view, from the first to the last: the systems a page cannot hold go on at the top of the
// next page, which is formatted after it. Each page's graphics are kept for printing. The
// current page stays the current page, and its graphics must be made again
// (page_graphics_stale).
void format_all_pages();

// One pstaff of a page as the page's last format drew it: its middle line, the distance
// below it its parameters and what it holds give it (to the next system's first staff for a
// system's last), the least of that the page keeps when it moves its staves closer, and its
// place in its system (1 the first).
struct DrawnStaff {
  int32_t middle_y = 0, distance_below = 0, least_below = 0;
  uint8_t place = 0;
};

// drawn_page_staves: the pstaves of page `page` of the current notation context, top to bottom,
// as its last format drew them; empty when the page was not formatted in whole since the piece
// last changed.
// Reads: the staves kept by format_page (drawn_pages), piece_change_count, current_ncontext.
std::vector<DrawnStaff> drawn_page_staves(int32_t page);

// ---- Interrupting a format -------------------------------------------------------------------

// format_interrupted: gives the idle work its time, then 1 when the user's waiting input must
// stop the format under way: a mouse-down in the menu bar, the front music window or the
// palette, an arrow key, a Command-key menu shortcut, a key the piano window takes, any
// key or click in an annotation mode, or MIDI input handled. Any other waiting input switches
// the poll off for the rest of the format.
// Reads:  no_format_interrupt, MODE, group_selected, flashing_node, the event queue.
// Writes: no_format_interrupt, the cursor.
int32_t format_interrupted();

void disable_format_interrupts();
void enable_format_interrupts();

// ==== gliss.cpp ==================================================================================
// Glissando lines between notes, the partner of a note in the next chord, and the left and right
// edges of a note.

// count_earlier_in_chord: the note of the next staff chord of the note's layer that stands at
// the note's place among the notes carrying the flag named by field (xgliss, xbendtie, any
// other field: the tie): the one with as many lower notes as the note has lower flagged
// notes in its own chord. The next chord's only note when it has one; NIL when there is no
// next chord.
Drosa count_earlier_in_chord(Drosa note, const NodeField& field);

// ==== layout_fields.cpp ==========================================================================
// The registry of the layout records' fields (the NTDATA, CDDATA, CDDATA2, CDDATA3 and PDATA
// fields themselves are declared with the node kinds, in model_services.h, for the model and the
// parameters read them too).

extern const NodeField* const layout_node_fields[];
extern const int layout_node_field_count;

// ==== layout_globals.cpp =========================================================================
// The program-wide state of the page layout engine (the staves and voices of the page being
// formatted, staff_data and voice_data, are kept with the model, which reads them too).

extern int32_t first_pstaff;  // pstaves of the system being formatted
extern int32_t last_pstaff;
extern Drosa last_chord;  // CDDATA of the staff chord closed last on the page

// ---- Page formatter and page location ------------------------------------------------------

inline constexpr int CLASS_MODEL_SLOTS = 25;  // annotation classifications 0..24

extern int32_t preparing_piece;      // set while prepare_piece runs (the menus show the watch)
extern int first_format;             // set while the first format of a piece runs (uninterruptible)
extern int page_graphics_stale;      // the GE list is not the current page's (format_all_pages ran)
extern int32_t printed_page_number;  // page number printed on the page being formatted
extern int32_t page_top_offset;      // offset of the page top kept by printing; 0 on the screen
extern int16_t page_count;           // pages of the current notation context
extern int16_t page_first_bar;       // number of the first measure of the current page
extern Drosa class_models[CLASS_MODEL_SLOTS];  // the model TPARAM of each classification

void reset_layout_globals();

// ---- Horizontal spacing of the system being formatted ------------------------------------------

// What the spacing pass keeps for one pstaff while it walks the system.
struct SpacingStaff {
  Drosa current[LAYERS];      // the layer's current note (the last of the chords walked so far);
                              // its chain head until the walk leaves the start
  int32_t next_time[LAYERS];  // start time of the layer's next chord; NO_TIME when it has ended
  // The chord after `current` in the chain (whatever next_time says), read once when the walk
  // moves or the chains change: its first and last note, its CDDATA2 (NIL without records)
  // and its time point (INT32_MAX without records).
  Drosa next_first[LAYERS];
  Drosa next_last[LAYERS];
  Drosa next_cd2[LAYERS];
  int32_t next_point[LAYERS];
  int layers;                 // the layers before this one hold chords; those after are empty
  int32_t shortest[LAYERS];   // the shortest duration of the layer's current chord
  int32_t left_edge[LAYERS];  // first-note x less twice the gap after keys and time signatures
  Drosa timesig;              // the TIMESIG in force at the chords the walk passed last
  int32_t end_time;           // the system's end time, from its start
  int32_t front_space;        // what the first chord needs from the staff's left x
  int32_t trailing_width;     // what the last chord needs behind it (kept by justification)
};
extern SpacingStaff spacing_staff[MAX_PSTAVES];

extern int32_t spacing_x;       // running packed x of the system (page units)
extern int32_t spacing_idealx;  // running ideal x of the system

// ---- Justification: springs, rods and relocation zones ------------------------------------

// Springs and rods exist only while one system is justified: both lists are empty between
// systems. Springs ascend by least force, rods descend by force.
extern Drosa spring_head, spring_tail;
extern Drosa rod_head, rod_tail;

// ---- Ties and slurs of the system being formatted ------------------------------------------

inline constexpr int TIE_STACK_SIZE = 255;           // ties waiting for their end notes
inline constexpr int32_t SLUR_Y_UNSET = 2100000000;  // a slur start y not known yet

// A tie waiting for its end note (thirteen words).
struct TieEntry {
  int32_t pstaff;
  int32_t layer;
  Drosa start;          // the start NOTE; NIL for a tie continued from the previous system
  int32_t side;         // 1 below, 2 above
  int32_t start_x;      // where the curve starts
  int32_t alt_start_x;  // the head's right edge, before the gap to the tie
  int32_t flags;        // 1: the entry has a y (a continued tie takes its end note's)
  int32_t position;     // diatonic position of the tied note
  int32_t y;
  int32_t dashed;
  int32_t voice;
  int32_t end_time;  // time from the system start at which the tied note ends; 0 continued
  int32_t bend;      // the tie bends to another pitch
};
extern TieEntry tie_struct[TIE_STACK_SIZE];
extern int32_t tie_count;  // entries in use, the top one at tie_count - 1

// A slur open on one pstaff, layer, side and grace kind; free while first_note is NIL.
struct SlurEntry {
  Drosa first_note;  // the note whose chord the slur starts at (the curve's owner)
  Drosa chord;       // CDDATA of the last chord the slur has reached
  int32_t start_x;
  int32_t start_y;  // over the chord; SLUR_Y_UNSET: the slur comes from the previous system
  int32_t extent;   // from start_y to the start's y beside its stem (0: it has none)
  int32_t voice;
  int32_t pstaff;      // staff of the start
  int32_t end_pstaff;  // staff of the end, set when the slur is drawn
  Drosa end_note;      // the end's note when it lies on another staff's chain, else NIL
  int32_t flip;        // the curve bows to the other side
  int32_t dashed, crawl, bend;
};
// Indexed by pstaff, layer, side - 1 (0 below, 1 above) and grace (1 for grace slurs).
extern SlurEntry slur_buffer[MAX_PSTAVES][LAYERS][2][2];

// Empties the tie stack and the slur buffer (a page is located, the globals are reset).
void reset_tie_slur_work();

// The graphics elements the slur pass drew for the system being formatted, its ties and slurs:
// slur_pass_first .. slur_pass_last in list order; both NIL when it drew none.
extern Drosa slur_pass_first, slur_pass_last;

// The last graphics element before the drawing of the system being formatted (its first is the
// one after it); NIL before a system is drawn.
extern Drosa system_drawn_after;

// ==== layout_records.cpp =========================================================================
// The layout records of a page (NTDATA after every note, CDDATA, CDDATA2 and CDDATA3 after the last
// note of every staff chord, PDATA after every annotation): made, cleared and removed here, and the
// accessors of a chord's vertical extents.

// Gives every NOTE and annotation of the current page its layout record; 0 when a format
// interrupt stopped it.
int32_t prepare_layout_nodes(int page_changed);

inline constexpr int REMOVE_WHOLE_PIECE = 322;  // every record of every voice
void remove_ntdata(int mode);

// The node of a kind among those attached before a note of the formatted page (the farthest
// back): the walk ends at the layout records of the note before, at a NOTE or at a visible
// ENDSYST.
Drosa attached_to_note(int kind, Drosa note);

// Extents of a chord (dir 2 = stems up, any other value = down).
int32_t get_hiy(Drosa cd, int dir);
int32_t get_loy(Drosa cd, int dir);
int32_t get_max_hiy(Drosa cd);
int32_t get_min_loy(Drosa cd);
void set_max_hiy(Drosa cd, int dir, int32_t y);
void set_min_loy(Drosa cd, int dir, int32_t y);

// ==== lyrics.cpp =================================================================================
// How far the lyrics and other texts of a staff chord reach, and the right edge of the last chord
// of a layer with its dots, flags and lyrics.

// lyrlth: the least left x and the greatest right x (into *left and *right, which start at
// 2100000000 and -2100000000) of the lyrics ("Leave Space" texts) attached before the notes
// of the staff chord of `note`. With a y, the extent of the first text whose y lies within 10
// of it, whatever kind of text it is. Hidden texts and texts placed from the page margin are
// passed over.
// Reads:  the chord's notes and their NTDATA, their TPARAM annotations (measured through the
//         annotation services), parameters 392 and 365, the pstaff's middle line.
// Writes: nothing else.
// Failure: level 4 "Bad arguments to lyrlth!" for a y without a pstaff; the walk goes on as if
//          no y were given.
void lyrlth(Drosa note, int32_t pstaff, int32_t y, int32_t* left, int32_t* right);

// ==== midline_marks.cpp ==========================================================================
// The marks that carry a line annotation across a system between its first and last segment:
// inserted by the annotation pass, checked and removed.

// The segment roles of a line in xline_ord.
inline constexpr int LINE_WHOLE = 0;
inline constexpr int LINE_END = 1;
inline constexpr int LINE_MIDDLE = 2;  // MIDLINE: a mark laid across a system
inline constexpr int LINE_BEGIN = 3;

// insert_resizing: a copy of line made a MIDLINE and linked before node with a new PDATA, its
// ends set across node's staff from the left end (parameter 685 in, and after the signs drawn
// at the system's start) to the right end (parameter 684 in); when that is shorter than
// parameter 260 its ends stay as copied.
// Reads:  the page, the staff of node's chord (signs_end_x too), parameters 260, 684, 685.
// Writes: the voice list of node (the mark and its PDATA, not recorded for undo).
Drosa insert_resizing(Drosa line, Drosa node);

// check_PDATA_after_MIDLINE: removes the mark at *position and its PDATA; *position becomes
// the node before the mark, so that the caller's walk goes on from there.
// Failure: level 4 "PDATA node missing after MIDLINE" (the mark is still removed).
void check_PDATA_after_MIDLINE(Drosa* position);

// remove_resizing: an older resizing line becomes an ordinary line (0); a MIDLINE mark is
// removed with its PDATA, the removal recorded for undo (1).
// Writes: the line's fields, or the voice list and the undo list.
// Failure: level 4 "Bad node for remove_resizing" for anything else; nothing changes, 0.
int32_t remove_resizing(Drosa line);

// ==== note_positions.cpp =========================================================================
// Staff geometry and the vertical positions of notes, rests and tablature numbers.

// ---- Clefs ----------------------------------------------------------------------------------

// The clef's whole-step offset: the diatonic position of the middle line (parameters 269 ...).
int32_t clefmod7(int clef_type, Drosa node);
// -(size x clefmod7) / 2, with the size of the pstaff (50 when staff < 0).
int32_t symbol_offset(int clef_type, Drosa node, int staff);
// base + (position x size) / 2, the position moved one step for a shaped head.
int32_t scaled_offset(Drosa note, int unused, int position, int32_t base, int32_t size);

// ---- Staff lines ----------------------------------------------------------------------------

// The width of staff line n (1..12; any other n reads line 1), scaled to the staff size.
int32_t scaled_staff_param(Drosa node, int n);
// The y of the lowest and highest line; `outer` counts staves of fewer than 3 lines as wider.
int32_t staff_bottom_y(int staff, int outer);
int32_t staff_top_y(int staff, int outer);
// The same, one staff size further out on a piano-tablature staff.
int32_t staff_bottom_y_outer(int staff);
int32_t staff_top_y_outer(int staff);

// ---- Piano tablature ------------------------------------------------------------------------

// The y of a MIDI key on a piano-tablature staff.
int32_t pitch_to_staff_y(int key, int staff);
// 0 for a white key, else the width of the key's black-key line (at least 1).
int32_t pitch_tab_string(int key, int staff);
// The pitch of the middle line; bottom and top (either may be null) get those of the outer
// lines.
int32_t staff_line_pitches(int staff, int32_t* bottom, int32_t* top);
// The nearest drawn black-key lines above and below y, with their widths; 0x80000000 for one
// not found.
void nearest_staff_positions(int32_t y, int staff, int32_t* above, int32_t* above_width,
                             int32_t* below, int32_t* below_width);
// Draws the key outline at the start of a piano-tablature staff.
void staff_lines_geometry(int32_t x, int pstaff);

// ---- String tablature -----------------------------------------------------------------------

// choose_tab_strings: the string (1 the top) of each note of a chord on string tablature of
// `lines` lines: an explicit string (NOTE xstring) is kept; the others take the first free
// string on which they can be played, searching from string 1 up when the chord's first note
// lies lower on string 1 than on the last string, else from the last string down. A rest
// gets 8; a note that finds no string, 7.
// Reads: the notes, the string pitch parameters at them.
void choose_tab_strings(const std::vector<Drosa>& notes, int lines, std::vector<int>* strings);

// ---- The pass -------------------------------------------------------------------------------

// note_positions_pass: gives every note, rest and tablature number of the system its y, its
// staff size and tablature fields, and every staff chord its clef. 0 when interrupted, else 1.
int32_t note_positions_pass();

// ==== object_lookup.cpp ==========================================================================
// Which CLEF, KEYSIG or TIMESIG applies to a node on its staff, and the staff number of a node's
// voice.

// find_object: the CLEF, KEYSIG or TIMESIG (kind) that applies to the node on its staff: one
// attached before it or before a chord of its staff earlier on the page, else what its voice
// carried in from earlier systems, else the last one before it in its own voice.
// Reads: the print chains, the page's chord chain, voice_data. Failure: level 4
// "unrecognized objkind in find_object" (NIL), "FtoE: Inconsistent result from
// 'look_in_staff_list' in find_object".
Drosa find_object(int kind, Drosa node);

// The staff number (xsstaff of the PRINT in force) of the voice at the node.
int16_t find_sstaff(Drosa node);

// max_print_staves_in_system: the staves the node's system uses: 1 + the largest staff number
// of a PRINT of any shown voice in force in that system (1 when none).
// Reads: page_start or piece_start (by rule), the voice lists. Writes: system_cursor.
int32_t max_print_staves_in_system(Drosa node, int rule);

// ==== page_index.cpp =============================================================================
// What each voice's pages hold, kept from one page location to the next, so that finding a page
// never walks the voices from their start again.

// One page of one voice as the current notation context sees it: from the visible ENDSYST
// that starts it up to the one that starts the next page (or ends the voice).
struct PageSpan {
  Drosa start;                // the ENDSYST that starts the page (the voice's head for page 1)
  int32_t bars = 0;           // visible BARs on the page
  int64_t time = 0;           // times to the next note of the page's NOTEs, summed
  std::vector<Drosa> params;  // visible PARAM nodes with a good parameter number, in list order
  std::vector<Drosa> lines;   // visible LINEs that begin a line running on (BEGLINEs), in order
  Drosa print, beaming, clef, keysig, timesig;  // the last one of each kind on the page; NIL none
  int32_t numbered_bars = 0;   // numbered BARs after the page's last restart BAR (all when none)
  bool restarts = false;       // a BAR of the page restarts the bar numbering
  int16_t restart_number = 0;  // the number the page's last restart BAR gives
};

// Page k (1-based) of voice v, indexed now when it was not; nullptr when the voice has fewer
// pages. The pointer is good until the next call into the index.
const PageSpan* page_span(int v, int k);

// A node of a voice list was changed without the undo primitives: its page is read again
// (and the pages after it when the page now ends elsewhere).
void page_index_changed_at(Drosa node);
// Forgets everything; the next location walks the voices from their start.
void clear_page_index();

// ==== pages.cpp ==================================================================================
// Pages, systems and measures of the voice lists: counting and locating pages, preparing a piece
// for its first format, bar numbers, and finding measures and beats.

// Fields of the notation context's options record read here.
inline constexpr int OPTIONS_FIRST_MEASURE = 10;  // i16: number of the piece's first measure
inline constexpr int OPTIONS_FIRST_PAGE = 40;     // i16: number printed on the first page

// ---- Pages ----------------------------------------------------------------------------------

// count_pages: page_count = the most pages any shown voice has (1 with none).
// Reads: voice_count, piece_start, current_ncontext. Writes: page_count, the page index.
void count_pages();

// fit_page_to_paper: the page that begins at `start` (a voice's head or an ENDSYST ending a
// page) is held to its paper as a page the format cut for its height: when it cannot hold its
// systems at 88 per cent of their natural distances, or they have more than 64 staves, it ends
// earlier without a message, the systems after going on at the top of the next page, which is
// held so in turn. For pages no one chose, such as those of a document that breaks none.
// Writes: fitted_page_starts.
void fit_page_to_paper(Drosa start);
// forget_fitted_pages_freed: the pages held so whose start is no longer a node (a piece let go
// of, a page start deleted) are held so no more: the node store gives their handles to new
// nodes, the starts of another piece's pages among them.
// Writes: fitted_page_starts.
void forget_fitted_pages_freed();

// locate_page: makes page n current for formatting: page_start and the voice records of
// every shown voice, the staff records reset, the page's first bar number; warns once when
// two voices disagree in bars or beats before the page. Returns the page located.
// Reads:  page_count, consistency_warnings_on, whole_piece_format, options (first measure).
// Writes: page_start, voice_data, staff_data, the tie stack and slur buffer (emptied),
//         pstaff_count, first_pstaff, last_pstaff, page_first_bar, consistency_warnings_on
//         (the user's answer), page_param_lists.
// Failure: level 2 "Vesk cannot show page %hd: you have only %hd pages." and the last page
//          is located.
int locate_page(int n);

// prepare_piece: counts the pages, makes the saved page (or page 1) current, rebuilds the
// annotation class models and formats the current page, which cannot be interrupted;
// `only_to_print`: a piece opened only to be printed, whose current page is kept as formatted,
// is not formatted again (nothing shows it, and the print takes the kept page); when every
// page is kept, the page count stands and the class models are not rebuilt.
// Reads:  requested_page, the voice lists, the kept page graphics. Writes: page_count,
//         current_page, last_formatted_page, first_format, flashing_node, class_models, the
//         TPARAM flags of surplus class models, the window title, the page index.
// Failure: level 4 "format_page() interrupted on first format".
void prepare_piece(bool only_to_print = false);

// ---- Measures and beats ---------------------------------------------------------------------

// The measure number at a node (the context's first measure number for NIL).
int32_t bar_number_of_node(Drosa node);
// The first NOTE of measure n of voice v, NIL beyond the voice's end.
Drosa find_measure_start(int32_t n, int v);
// The note sounding at the 1-based beat b of the measure that starts at `note`.
Drosa find_note_at_beat(Drosa note, double b);
// The page on which measure n starts in the first shown voice; 1 when n is 0 or not found.
int32_t find_measure_any_voice(int32_t n);

// ==== placecd.cpp ================================================================================
// Horizontal placement of a chord's heads, seconds, dots, rests and stems.

struct StaffData;

// ---- Chord placement ------------------------------------------------------------------------

// adjust_rest_y: the final y of a rest: snapped to a key line on piano tablature, whole rests
// moved on one-line staves and when small, and the rest's RMOVE added.
void adjust_rest_y(Drosa rest, int staff);

// ==== relocate.cpp ===============================================================================
// Springs-and-rods justification of a system, the user's relocation zones, and the moves (CMOVE,
// AMOVE, RMOVE) that shift chords, accidentals and notes.

struct StaffData;

// ---- The pass -------------------------------------------------------------------------------

// relocate: justifies the system first_pstaff..last_pstaff between its staff's left and right
// x, from the packed (xorigin) and ideal (xidealx) positions the spacing pass left. `system`
// is the system's number on the page, for the no-notes warning. 0 when interrupted, else 1.
// Reads:  staff_data (chains, first-note x), spacing_x, spacing_idealx,
// spacing_staff[].trailing_width,
//         voice_data, the chord records, ZONE, CMOVE and AMOVE nodes, parameters 124, 260,
//         683, the staff margins, skip_relocate, dump_springs_next.
// Writes: xreloc_spring, xreloc_zone, xprex, every note's xhdx and xaccx, the x of attached
//         bars, keys, time signatures and clefs; moves a ZONE off a grace note and removes a
//         ZONE that no longer fits its system (both with undo, the piece marked changed);
//         the spring and rod lists, which are empty again when it returns.
// Failure: level 2 "Too many relocation zones on one system!" and "Warning:  This system has
//         no notes!  (page %d system %d context %d)"; level 4 reports of inconsistent springs
//         and rods, after which justification goes on with a neutral value.
int32_t relocate(int32_t system);

// ---- Zones and moves --------------------------------------------------------------------------

// The ZONE or CMOVE attached before a note of the note's staff chord (searched from the
// chord's last note back to its first), NIL when none.
// Failure: level 4 "Bad parameter for find_zone." / "Bad parameter for find_cmove." for a
//         node that is no NOTE; "find_zone: no xendscd note found!" / "find_cmove: no xendscd
//         note found!" when the chord has no last note.
Drosa find_zone(Drosa note);
Drosa find_cmove(Drosa note);
// The move of the chord's CMOVE; of the AMOVE attached before the note; 0 when there is none.
int32_t CMOVE_value(Drosa note);
int32_t AMOVE_value(Drosa note);
// The RMOVE move attached before the note, times the staff's step (half its line distance)
// when a staff is given; 0 when there is none.
int32_t RMOVE_offset(Drosa note, const StaffData* staff);

// ==== setprint.cpp ===============================================================================
// The print chains of a system's staves and their layers.

// ---- Chain heads ----------------------------------------------------------------------------

Drosa new_chain_head();
bool is_chain_head(Drosa note);

// ---- Building the chains ------------------------------------------------------------------

// setprint: links the notes of the system first_pstaff..last_pstaff into the print chains of
// their staves and layers, in time order. 0 when interrupted, else 1.
int32_t setprint();

// split_voices_to_layers: moves a voice that cannot share chords to layer r (1..7); non-zero
// when it moved one (the caller then runs setprint again).
int32_t split_voices_to_layers(int r);

// split_unequal_chords: takes apart staff chords whose notes cannot share a stem. 0 when
// interrupted, else 1.
int32_t split_unequal_chords();
// split_off_chord: 1 when the staff chord that starts at `first` was taken out of the chord
// before it in its layer (it stands at the same time point), else 0. The signs attached
// before its notes (another voice's clef, key, time signature or bar line at that time) are
// stood for by the chord it was taken out of: nothing places or draws them a second time.
// Reads: the chain, the chords' CDDATA2 xchordNum.
int split_off_chord(Drosa first);

// ---- The system's first note ------------------------------------------------------------

// Writes the x of the system's first note into every pstaff of the system.
void set_first_note_x(int32_t x);
// That x, as the system's first pstaff holds it.
int32_t first_note_x();

// ==== setstdir.cpp ===============================================================================
// Stem directions.

// setstdir: decides the stem direction of every stem group of the system. 0 when
// interrupted, else 1.
int32_t setstdir();

// ==== slurs.cpp ==================================================================================
// Ties and slurs of a system: matching tie starts with their ends, opening and closing slurs,
// reserving their room in the chord extents, and carrying both across system breaks.

inline constexpr auto xsys_slurdown = bit_field("xsys_slurdown", ENDSYST, 29, 4, 4);

// The fields above, for checks and for finding a field by its name.
extern const NodeField* const slur_flag_fields[];
extern const int slur_flag_field_count;

// ---- Slur flags of the ending ENDSYST ---------------------------------------------------------

// Clears the voice's slur flags of a side (2 above, 1 below, 0 both) in the ENDSYST that ends
// its system; sets those of a side with the slur's style.
// Writes: xsys_slur* of voice_data[voice].system_end.
void clear_staff_slur_flags(int voice, int side);
void set_staff_slur_flags(int voice, int side, int dashed, int crawl, int bend);

// onto_system_x: where a tie or slur from the system before begins on the pstaff: parameter
// 211 after the signs drawn at the system's start, or, with none drawn before the system's
// first note, parameter 669 before that note.
// Reads: staff_data (signs_end_x, first_note_x), the staff's left end, parameters 211, 669.
int32_t onto_system_x(int pstaff);

// ==== spacing.cpp ================================================================================
// The horizontal spacing of a system: the curve that gives a duration its ideal space, and the pass
// that gives every staff chord its packed and its ideal x.

// ---- The spacing curve ------------------------------------------------------------------------

// init_spacing_curve: makes the curve again from parameters 221 (the effect of duration) and
// 220 (the space of an eighth) in force at `node` when either differs from the values it
// was made from; the cache of spaces is then emptied.
// Reads:  parameters 220 and 221. Writes: spacing_curve.
// Failure: none. An effect of 1 or more (which would give every space infinity) or one that
//          is not a number is taken as 0.9, the largest the context's options allow, and
//          no number as 0.
void init_spacing_curve(Drosa node);

// space_for_duration: the ideal space of a duration: 0 for none, d / 256 in a context with
// linear spacing, else the curve's space, truncated and kept within 0..MAX_DURATION_SPACE.
// Reads: spacing_curve, the context's options. Writes: the curve's cache.
int32_t space_for_duration(int32_t d);

// ---- The pass ------------------------------------------------------------------------------

// spacing_pass: places the chords, accidentals, signs and lyrics of the system
// first_pstaff..last_pstaff and gives every staff chord its packed x (xorigin) and its ideal
// x (xidealx). 0 when interrupted, else 1.
// Reads:  the print chains of the system, their chord records, the parameters, staff_data.
// Writes: CDDATA xorigin, CDDATA2 xidealx, NTDATA xhdx (moved with their chord), what
//         placecd and specspace write, spacing_staff, spacing_x, spacing_idealx,
//         system_end_time, page_first_note (emptied when the page's first system begins),
//         staff_data first_note_x.
// Failure: none of its own; polls for an interrupt before every time point.
int32_t spacing_pass();

// ==== specspace.cpp ==============================================================================
// How far the packed position of a system advances at one time point, so that the chords there and
// the clefs, keys, time signatures, bars and spaces before them clear what stands before them; and
// the measures of rests that become one multi-measure rest.

// ---- What stands before a note -----------------------------------------------------------

// has_clef_key_time_before: a CLEF, TIMESIG, KEYSIG or SPACE attached before the note. At a
// system start, where clefs and keys are restated, a CLEF or KEYSIG counts only before a note
// that begins its measure.
bool has_clef_key_time_before(Drosa note, int at_system_start);
// note_has_line_or_text: a LINE or TPARAM attached before the note, or the note's annotation
// flag (0x04 of its beam and accent byte) set.
bool note_has_line_or_text(Drosa note);

// ==== tuplets.cpp ================================================================================
// Tuplet groups of a system, and bar separators.

// find_BARSEP: the BARSEP attached before the next note after node (or before the ENDSYST
// reached first), else NIL.
Drosa find_BARSEP(Drosa node);

// toggle_BARSEP: on: a BARSEP of the current context is put before node, recorded for undo,
// when there is none; off: every BARSEP there is removed, recorded for undo. Returns the last
// BARSEP found (on: the one put there when there was none).
// Reads:  current_ncontext. Writes: the voice list of node, the undo list.
Drosa toggle_BARSEP(Drosa node, int on);
