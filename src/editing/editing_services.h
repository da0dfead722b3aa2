// editing_services.h: what the rest of the program asks of the selection and editing code.
// Other folders include this header and no other header of editing/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/geometry.h"
#include "platform/port.h"

// Operations (UNARY_COPY and the others) on the SPACC, COLOR, TSMOD and NEST nodes attached
// before a NOTE: UNARY_COPY appends copies of them (one of each kind, in that order) to the
// clipboard list after clipboard_tail; UNARY_DELETE removes them with undo; UNARY_SKIP_FORWARD
// and UNARY_SKIP_BACK skip them forward or backward.
Drosa unary_node(int op, Drosa node);

// ---- Staff drags -------------------------------------------------------------------------------

// update_SDRAG_on_page: removes, with undo, every SDRAG of the node's voice between the ENDSYST
// that starts the node's page and the one that ends it, and marks the piece changed when
// one went. Walks nothing while no SDRAG is kept anywhere (staff_drag_nodes).
// Reads: current_ncontext, staff_drag_nodes. Writes: the voice list (recorded), DrosaDirty.
void update_SDRAG_on_page(Drosa node);

// clear_music_scrap: 0 frees the internal clipboard and empties the system clipboard; 1 frees
// the internal clipboard only when another program has put text or a picture on the system
// clipboard, and leaves the system clipboard alone.
// Writes: clipboard_list, clipboard_kind.
void clear_music_scrap(int flag);

// ==== acc.cpp ====================================================================================
// Printed accidentals. Every note keeps its full spelling (xmod7, xacc); whether the accidental is
// printed is the note's xaccplot bit, which these rules keep right as the music is edited: an
// accidental carries through its bar on its staff line, a tie carries it into the next bar, and the
// key signature implies the accidentals it holds.

// ---- What is in force at a note -----------------------------------------------------------

// find_prev_note_on_line: the note of the line from which the accidental in force at the note
// comes: walking back from the node before it to the first BAR, ENDSYST or KEYSIG, the
// nearest note of the unbroken run of equal accidentals that prints its accidental, else
// the earliest note of that run; NIL when the line has no note there.
Drosa find_prev_note_on_line(int32_t step, Drosa note);

// BarTime: a note's time in its bar (find_time_in_bar) and the time left in the bar from its
// chord (find_meas_time_left), each found when first asked for and kept for further questions
// about the same chord while nothing of its bar changes.
class BarTime {
 public:
  explicit BarTime(Drosa note) : note_(note) {}
  int32_t operator()();
  int32_t left();

 private:
  Drosa note_;
  int32_t time_ = 0, left_ = 0;
  bool known_ = false, left_known_ = false;
};

// find_tied_prev_note_on_line: the earlier note of the line whose tie ends where the note
// begins (within 50 time units): in the note's bar, or, for a note at the start of its bar,
// in the bar before. NIL when the nearest earlier note of the line is not tied. `time`, when
// given, is the note's BarTime, shared by several questions.
Drosa find_tied_prev_note_on_line(int32_t step, Drosa note);
Drosa find_tied_prev_note_on_line(int32_t step, Drosa note, BarTime* time);

// keysig_before: the key signature in force before the node (NIL none), as find_prev_kind
// finds it. A walk that reaches the node the last answer was found for takes that answer, so
// steps from note to note cost what lies between them, not the bars before.
// Reads: the voice list, keysig_answers. Writes: keysig_answers.
Drosa keysig_before(Drosa node);

// note_keysig_value: the transposition (key_transposition) of the key signature in force
// before the note; 0 without one.
int32_t note_keysig_value(Drosa note);

// ---- Keeping the printed accidentals right --------------------------------------------------

// adjust_accidentals: re-evaluates xaccplot of the notes first..last of one voice list and
// of the note that follows each of them on its line. ACC_REMOVING judges the followers
// against what stands before the range, as if the range were gone; ACC_CHANGED against the
// notes as they now stand; ACC_OWN_ONLY decides only whether each note prints its own.
// Reads:  the voice list, current_ncontext, keysig_answers.
// Writes: xaccplot of the notes (each change recorded with modifyvc_with_undo), keysig_answers.
// Failure: level 4 "acc.c: unrecognized operation in adjust_accidental_plotting" (nothing
//          changes) and "Bad accidental in adjust_accidentals" (the note is passed over).
void adjust_accidentals(int op, Drosa first, Drosa last);

// ---- Respelling -------------------------------------------------------------------------------

// respell_by_key_spelling_cb: respells a note (not a rest) as key_spelling prefers its
// pitch class. Reads: key_spelling.
void respell_by_key_spelling_cb(Drosa note);

// apply_palette_accidental_cb: gives a note (not a rest) the accidental chosen in the palette
// (that of current_note_template) or the chosen special accidental set (spacc_template); a
// pitch that the three spellings cannot give that accidental stays as it is.
// Reads: current_note_template, spacc_template.
void apply_palette_accidental_cb(Drosa note);

// ==== align_bars.cpp =============================================================================
// Align Bars, and the bar lines of the formatted page as it finds them. Bar lines move by pinning
// the first chord after them at a new x with a relocation zone, which the next format honours.

// align_bars: the command: with a group selection of notes after bar lines in several systems,
// those bar lines go to the x of the one whose note lies farthest right, to the leftmost or to
// the rightmost; or the bar lines of each system (the selection's, or all of the page) are
// spread evenly along it.
// Failure: level 2 "Align Bar can only be used after the screen is up to date (after the
//          cursor returns to normal).", "Some of your selected notes are not preceded by bar
//          lines, so Align Bars cannot be used.", "You must select notes from several systems to
//          align bar lines!", "You have selected two different bar lines on one system!  You
//          must select only one bar line per system for Align Bars."; nothing changes.
void align_bars();

// find_system_bar_x: the x of the bar line that belongs to the note's staff chord on the
// formatted page, 0x80000000 when there is none. The notes of the chord are taken in turn:
// direction > 0 takes the first BAR after the note up to its system's end, 0 a BAR attached
// before the note, < 0 the nearest BAR before it in its system; the first one drawn wins.
// While the page is being formatted the x it is being laid out at, else the x the screen
// shows.
// Reads: the voice list, the chord's NTDATA, reformat_pending.
int32_t find_system_bar_x(Drosa note, int direction);

// ==== copypaste.cpp ==============================================================================
// The program's own clipboard of music and the commands that fill and paste it, and the picture of
// a page rectangle put on the system clipboard.

extern int32_t copy_voice_count;  // voices in the copy

// copy_music_command: Copy Music: the insertion point, or the selected notes of one voice, to
// the clipboard (with their annotations when with_annos).
// Failure: level 2 "When you copy music, all the notes must be from one voice! ..." once a
//          copy; the notes of the first voice stay copied.
void copy_music_command(int with_annos);

// copy_measures_dialog: Copy Measures (dialog 999): whole measures of this voice, of the voices
// of its staff or of every voice from the insertion point's measure. A refused copy leaves the
// clipboard empty (or with the voices already copied, for several voices).
void copy_measures_dialog();

// paste_music_command: Paste Music at the insertion point. A paste that cannot be made whole
// (too few voices or time, a timing boundary missing, a key change met, an insertion refused)
// changes nothing: what was pasted before the refusal is taken out again.
// Failure: level 2 messages naming why.
void paste_music_command();

// copy_to_clipboard: Copy while a page rectangle is selected: a picture of it (PDF and PNG) on
// the system clipboard; `variant` draws it as the screen shows it, at the screen's size.
// Failure: level 4 "Logic error in copy_to_clipboard (copypaste)" without a rectangle;
//          "Putscrap failed; the picture size is %ld" when the clipboard refuses it.
void copy_to_clipboard(int variant);

// ==== drags.cpp ==================================================================================
// The engraved page adjusted with the mouse: a chord moved sideways (a chord offset or a relocation
// zone), a rest up or down, an accidental sideways, a staff up or down. Each drag ends in an offset
// node before the note concerned, which the layout honours on every format; the Chord Drag and
// Staff Drag dialogs choose what a drag does, and the Clear menu takes the offsets away again.

// Chord drag types (the preference byte): the kind letter of the node each writes.
inline constexpr int DRAG_ZONE = '|', DRAG_CMOVE = '{', DRAG_RMOVE = 'a', DRAG_AMOVE = 'c';

// chord_drag_dialog: dialog 17680, the chord drag type kept in the preferences.
void chord_drag_dialog();
// staff_drag_dialog: dialog 137, the staff drag mode kept in the preferences.
void staff_drag_dialog();

// drag_chord: follows the mouse from a press on the insertion point (or its accidental, type
// 'c') and stores the offset of the drag; 1 when a drag took place.
// Failure: level 4 "non-visible insertion_point %lx in drag_chord()"; 0.
int drag_chord(Point where, int type);
// store_chord_drag: the offset of a finished drag (page units; a rest's downward) stored in the
// node of the type, added to the one there; an offset that sums to 0 removes the node.
// Writes: the voice list (recorded), DrosaDirty.
void store_chord_drag(Drosa note, int type, int32_t offset);

// next_drag_staff: follows a drag of the staff nearest a press in the music area; 1 when it
// handled the press (a drag, a refusal with its message), else 0.
// Failure: level 2 "Staff position cannot be changed until the screen is up to date.  (Wait for
//          the filled arrow-cursor.)"; level 4 "Bad drag type in next_drag_staff!".
int next_drag_staff(Point where, Rect area);

// clear_staff_drags: every SDRAG of the current page, or of the piece with whole_piece.
void clear_staff_drags(int whole_piece);
// The offsets of one kind attached to a note of a formatted print chain, removed one at a time
// with undo: chord offsets and zones, rest offsets, accidental offsets.
void delete_chord_offsets(Drosa note);
void delete_rest_offsets(Drosa note);
void delete_accidental_offsets(Drosa note);

// ==== layout_dialog.cpp, options_dialog.cpp, internal_fields.cpp ====
// The dialogs that edit settings of the piece and the program directly: Layout, Options and
// Internal Fields. Each reads every field and checks its range before anything changes; a value out
// of range is said ("Illegal ...; please use ...") and the dialog stays.

// layout_dialog: the Layout command (File menu, and the first item of the Zoom menu): for the
// notation contexts chosen first ("Change Layout for Which Contexts?"), the page size (inches
// or centimetres), the margins around the staves (points), the minimum line width and the
// zoom; with the thinnest PostScript line and its switch, and whether the console window
// shows. 1 when confirmed, 0 when cancelled (nothing changed but the unit of the page size).
// Reads:  options_struct of the current context, prefs, zoom_factor, console_ref.
// Writes: options_struct (record 0 as scratch, and the chosen contexts' page size, margins,
//         line width, zoom divisor and window flag), prefs (bytes 393, 394), zoom_factor and
//         the offscreen page when the size or zoom changed, DrosaDirty when a context's values
//         changed (kept as it was for a published Score), the views flagged for reformatting.
// Failure: the range messages; level 4 "Memory logic error in layout_dialog()" when the
//          offscreen page cannot be made again (the values stay stored).
int layout_dialog();

// options_dialog: the Options command (Edit menu): the switches and numbers of the options
// records (for a piece with voices, of the contexts chosen first, "Change Options for Which
// Notation Contexts?"; the bar number, clef and key at each system, three-key rests and locked
// notes of every context), the MIDI output, the music font, the default zoom and display
// preferences. 1 when confirmed, 0 when cancelled (nothing changed).
// Reads:  options_struct of the current context, prefs, output_available, the fonts found.
// Writes: options_struct (record 0 as scratch), prefs, parameter 221 (the note spacing typed),
//         the parameter table (rebuilt when the music font changes), default_scale, the piano
//         window's place.
// Failure: the range messages of "bar number", "page number", "Note spacing factor" and
//          "default zoom factor"; the dialog stays open.
int options_dialog();

// internal_fields_dialog: the Internal Fields command (Note menu): every stored field of the
// note or rest at the insertion point by its internal name; OK replaces the note by a copy
// with the fields typed (bits the dialog does not show kept; the pitch-edited and
// volume-edited marks set when the pitch or volume changes), under undo, and makes it the
// insertion point. With the debug modifier held the note's layout records are shown first.
// 1 when the note was replaced; 0 without an insertion point, after Cancel, when nothing
// changed, or when the edit would set or clear the end of its chord or (without duration
// edits) make a note a grace note or the other way (said at level 2).
// Reads:  insertion_point, duration_edits_enabled, the layout records of the note.
// Writes: the voice list, the undo history, insertion_point, the flashing note.
// Failure: the range messages of the fields; the dialog stays open.
int internal_fields_dialog();

// ==== editing_hooks.cpp ==========================================================================

// Registers what the model and the layout engine call of the editing commands (the insertion
// point, the clipboard, the page breaks the formatter moves). Run by connect_subsystems at
// start-up.
void register_editing_hooks();

// ==== editing_globals.cpp ========================================================================
// The program-wide state of the selection and editing commands.

extern uint32_t group_selected;  // non-zero while a group selection exists
extern int16_t selected_voice;   // the voice commands act on; -10 none

// The MIDI settings entered and recorded notes are heard with: the selected voice's (VINFO
// bytes 28, 26 and 29), or mode 0, channel 0 and 16 channels with no voice selected.
struct AuditionChannel {
  int32_t mode = 0, first = 0, count = 16;
};
extern AuditionChannel audition_channel;

extern Drosa group_anchor;  // the moving end of a group stretched with Shift and arrows

// The field assignment's hand-off between a command and the per-node routines, within one
// call: the field named, the value to assign (during a check: -111 nothing examined yet, the
// common value, or -222 mixed), the value a check compares with (-333 any non-zero), and
// whether a check met a line (reference -444) or a text (-445).
extern const NodeField* gselect_field_name;
extern int32_t gselect_field_value;

// Set while the selection-drag code scrolls the music window itself: scrolling is then not
// held to the scroll bars' range and the window is not refreshed from the page image.
extern int drag_scrolling;

// What the internal clipboard holds: 0 nothing, 1 annotations, 2 music.
extern int16_t clipboard_kind;
extern Drosa clipboard_list;  // the internal clipboard's nodes, NIL when empty

extern int32_t group_context;        // the context byte common to a group of annotations
extern int32_t new_curve_direction;  // curves made next: 0 up, 1 down

// The Key Signature command's state, shared with its per-note and per-key callbacks.
inline constexpr int32_t KEY_UNDECIDED = 87, KEY_GO_ON = 86, KEY_CANCELLED = 88;
struct KeyCommandState {
  int32_t all_staves = 1;          // as in SymbolEditState
  int32_t at_insertion_point = 1;  // as in SymbolEditState
  int32_t keep_place = 0;          // the notes keep their staff step instead of being moved
  int32_t replace_later = 0;       // every later key signature gives way to the new one
  int32_t answer = KEY_UNDECIDED;  // the state of the questions asked per note
  int32_t no_questions = 0;        // the mismatch and reminder questions are not asked
  int32_t direction = 0;           // the written notes move: 0 not, 1 down, 2 up
  int32_t keep_display = 0;        // the notes' printed accidentals stay as they are
  int32_t mismatch = 0;            // selected notes stand under different keys
  int32_t old_key_replaced = 0;    // the voice being placed had a key replaced there
  int32_t clef_type = 0;           // the clef in force at the first note, for the preview
  // Free-standing copies (context 0) made and freed by the command: the key the notes are
  // moved from, the key the dialog edits, the key in force before the selection's previous
  // time position and the key in force at the end of its system.
  Drosa old_key, new_key, key_before, key_at_end;
};
extern KeyCommandState key_command_state;

void reset_editing_globals();

// ==== gselect.cpp ================================================================================
// Field assignment by field name: the attribute commands name a node field and a value, and one
// routine gives that value to the field of every node of the selection, with undo; the same names
// ask what value the selection has, for the menus' marks and the note palette's boxes. A field is
// named by its descriptor (node_fields.h, anno_fields.h): the routines compare descriptors by
// address, never by text.

// ---- Names with no bits of their own -----------------------------------------------------------

// The context byte of an annotation (node byte 9) and of its TEXT and continued TPARAM nodes.
inline constexpr auto xcontext = word_field<int8_t>("xcontext", TPARAM, 9, LINE);
// The class, and with it the class's attributes.
inline constexpr auto xclassify_gselect = word_field<uint8_t>("xclassify gselect", TPARAM, 31);
// What the note check reads from several places: a slashed grace note; none of the four beam
// switches; a special accidental before the note.
inline constexpr NodeField slash{"slash", NOTE, 0, 0, 0, 0, 0, false};
inline constexpr NodeField defbeam{"defbeam", NOTE, 0, 0, 0, 0, 0, false};
inline constexpr NodeField xspacc{"xspacc", NOTE, 0, 0, 0, 0, 0, false};
// The annotation check's inverted switches: 1 when xkeep_hyphen, xkeep_underline and
// xno_size_adjust are 0.
inline constexpr auto hyphen = bit_field("hyphen", TPARAM, 23, 5, 5);
inline constexpr auto extend = bit_field("extend", TPARAM, 23, 4, 4);
inline constexpr auto size_adjust = bit_field("size_adjust", TPARAM, 23, 3, 3);

// The check's answers: nothing examined, and values that differ.
inline constexpr int32_t GSELECT_NOTHING = -111, GSELECT_MIXED = -222;
// References that ask for any non-zero value, for a line seen, for a text seen.
inline constexpr int32_t GSELECT_ANY = -333, GSELECT_LINE_SEEN = -444, GSELECT_TEXT_SEEN = -445;

// ---- Assigning ----------------------------------------------------------------------------------

// assign_selection_field: gives the value to the field over the selection: in MUSIC_MODE each
// note of the group selection, else the insertion point; in the annotation modes the selected
// annotations. The window is refreshed; the piece is marked changed (re-formatted when
// `reformat`) unless the field is xselected or xanno_selected, the piece has no voices, or
// nothing was selected.
// Reads:  MODE, group_selected, insertion_point, current_anno.
// Writes: gselect_field_name, gselect_field_value, the nodes (recorded for undo), DrosaDirty.
void assign_selection_field(const NodeField& field, int value, int reformat);
// do_note_field_assignment: gselect_field_value into gselect_field_name of one note (or of the
// tie and slur modifier before it, made or removed as needed), recorded for undo.
// Failure: level 4 "Attempted to set xselected TRUE via do_note_field_assignment" (the bit is
// cleared), "unrecognized gselect_field_name in do_note_field_assignment", "Unrecognized
// field-name in assign_to_vchord (gselect)" (nothing changes).
void do_note_field_assignment(Drosa note);

// ---- Asking ---------------------------------------------------------------------------------

// check_selection_field: the note selection's common value of the field (with reference -333),
// or the reference when every note examined holds it; else 0. Mixed values grey the box (when
// given, in the current port) and set *out to 0.
int32_t check_selection_field(int32_t* out, const Rect* box, const NodeField& field,
                              int32_t reference);
// mark_menu_from_selection: marks the menu item from the selection's value of the field (the
// annotation menus ask the selected annotations, or the templates when none is selected; the
// others the note selection): a check mark when it holds the reference, a dash when the values
// differ. Returns, with a group selection, the value the caller's template is to keep;
// without one, `default_value`.
// Writes: the item's mark (only when it shows none, a check or a dash), gselect_seen_line,
//         gselect_seen_text.
int32_t mark_menu_from_selection(int16_t menu, int item, const NodeField& field, int32_t reference,
                                 int32_t default_value);
// query_selection_field: -111, -222 or the common value of the field over the annotation
// selection (the templates when none) or the note selection.
int32_t query_selection_field(int annotations, const NodeField& field, int32_t reference);

// ---- Group membership -------------------------------------------------------------------------

// toggle_xselected: flips a note's xselected and marks or unmarks it on the page; with
// follow_rests, a drawn rest that stands for further rests takes their bits along. Any other
// node flips its annotation's xanno_selected and its group mark.
// Failure: level 4 "Expected anno in toggle_xselected, got %hd and %hd"; nothing changes.
void toggle_xselected(Drosa node, int follow_rests);

// ==== highlight.cpp ==============================================================================
// The selection shown on the page by exclusive-or painting (highlight.cpp).

// DrosaRect: the note's rectangle in the page image: a rest's glyph, or a head (raised by a
// pixel; a grace head lowered by two).
// Failure: level 4 "Called DrosaRect with note not visible on screen"; an empty rectangle.
void DrosaRect(Drosa note, Rect* rect);
// highlight_voice: moves the voice marks from the selection of voice old_voice to new_voice
// (-10 none): afterwards the notes of every voice but the selected one are marked. Nothing
// when the two are equal.
void highlight_voice(int old_voice, int new_voice);
// draw_number_label: the note's glyph (a tablature note's fret number) drawn again in its
// colour in the page image.
void draw_number_label(Drosa note);
// highlight_page_marks: the marks of a page drawn afresh: the group's notes (and annotations),
// the corners of the selected annotation, and the voice marks while voice highlighting is on.
// The window is not refreshed.
// Reads: group_selected, the page's xselected and xanno_selected bits, current_anno,
//        voice_highlighted, selected_voice, MODE.
void highlight_page_marks();
// unmark_page_group: takes the group's marks off the page: of every selected note, and outside
// MUSIC_MODE of every annotation of the group. The bits stay. The window is not refreshed.
void unmark_page_group();
// node_window_rect: the window rectangle of the note's drawn accidental; false (and an empty
// rectangle) when it has none.
bool node_window_rect(Drosa note, Rect* out);

// ==== key_transpose.cpp ==========================================================================
// Notes and chord symbols brought from one key signature into another: the sounding pitch by the
// difference of the keys' transpositions and, when a direction is chosen, the written step and
// accidental by the distance between the keys' tonics.

// Directions of the written move.
inline constexpr int KEY_MOVE_NONE = 0, KEY_MOVE_DOWN = 1, KEY_MOVE_UP = 2, KEY_MOVE_NEAREST = 3;

// ==== keysig.cpp =================================================================================
// Key signatures: building a KEYSIG with the naturals that cancel the key before it, the Key
// Signature dialog with its preview, and the Insert Key Signature command that places the key in
// the chosen voices and brings the music after it into the new key.

int encode_xkey(bool sharps, int count, bool minor);

// ---- Building a key ------------------------------------------------------------------------

// build_keysig: rebuilds the entries of `key` from the dialog's controls (count field 9,
// sharps 10 or flats 11, major 12 or minor 14, cancelling check box 16; the name texts 13 and
// 15 follow) or, without a dialog, from its own xkey; with a previous key the naturals that
// cancel its surplus accidentals come first. Returns the count of sharps or flats.
// Writes: the key's xkey, xkeycnt and entries; the dialog's name texts.
int build_keysig(DialogRef dialog, Drosa key, Drosa previous);
// remove_naturals_from_key: drops every cancelling natural (code 14 and up) of a KEYSIG,
// keeping the order of the other entries, and sets the count to what remains.
// Failure: level 4 "NIL pointer for remove_naturals_from_key" for no node.
void remove_naturals_from_key(Drosa key);

// ---- The command -------------------------------------------------------------------------

// insert_key_signature: Insert Key Signature at the first drawn note of the selection: asks
// about selected notes under different keys, runs the dialog, asks about an empty key and
// about reminder accidentals, then places (or takes away) the key at each selected note.
// Reads:  the selection, the voice lists, key_command_state's options.
// Writes: the voice lists (recorded for undo), key_command_state, the change flags.
void insert_key_signature();
void apply_key_cb(Drosa note);

// ==== measures.cpp ===============================================================================
// Insert Measures and Delete Measures. Whole measures of rests go into every voice (or the voices
// of one staff) at the insertion point or at the end of its system, in new systems and pages when
// asked; measures come out of the voices at the insertion point with the staff, clef, time and
// beaming settings in force after them kept. The same routine fills a new piece with its first
// measures.

// The Insert Measures dialog's values, kept from one use to the next.
struct MeasuresDialogState {
  int32_t new_piece = 0;
  int32_t measures = 16;
  int32_t beats = 4;
  int32_t beat_value = 4;
  int32_t at_insertion_point = 0;  // 1 at the insertion point, 0 at the end of its system
  int32_t all_staves = 1;          // 1 every staff, 0 the insertion point's staff only
  int32_t two_voices = 0;          // a new piece keeps its second voice
  int32_t measures_per_system = 4;
  int32_t systems_per_page = 4;
  int32_t keep_systems = 0;  // measures go into the present systems
};
extern MeasuresDialogState measures_dialog_state;

// make_measures: Insert Measures (dialog 1085), or the first measures of a new piece (dialog
// 132) with `new_piece`. A TIMESIG gives the dialog its beats and beat value; for a new piece
// the values chosen are written back into it. part_name (may be nullptr) receives an empty
// name. 1 done, 0 refused or cancelled.
// Reads:  insertion_point, selected_voice, the voice lists, the context's options.
// Writes: the voice lists (recorded for undo unless the piece is new), page_count,
//         measures_dialog_state, insertion_point (cleared), DrosaDirty.
// Failure: level 2 "Measure insertion is possible only from notation context '%s'.", the beat
//          value message; level 4 "Insert measures: beat value must be a power of two",
//          "end_of_page logic error in make_measures", "at_sys_time logic error in
//          make_measures"; 0.
int make_measures(Drosa timesig, int new_piece, char* part_name);

// append_measures: `count` whole measures of rests at the end of the piece in every voice, as
// Insert Measures puts them at the end of the last system, in the time signature in force there;
// new systems take as many measures as the last system holds, new pages as many systems as the
// first page. For an import that goes on past the measures the piece has.
// Reads:  the voice lists, measures_dialog_state. Writes: the voice lists (recorded for undo),
//         page_count, DrosaDirty. 1 done, 0 when the piece has no voice to take them.
int append_measures(int32_t count);

// do_delete_measures: Delete Measures (dialog 14298) from the insertion point's measure.
// Every voice's stretch is found and checked before anything is removed: a deletion that
// would leave a voice without notes changes nothing.
// Reads:  insertion_point, selected_voice, the voice lists.
// Writes: the voice lists (recorded), page_count, current_page, insertion_point (cleared).
// Failure: level 2 "Measure deletion is possible only from the '%s' notation context.",
//          "You cannot delete all the measures in the piece!", "This deletion leaves '%s'
//          without any notes in the piece!", "The end of this deletion is in the middle of a
//          note on voice '%s'!" (the deletion goes on); level 4 "end_of_page logic error in
//          do_delete_measures".
void do_delete_measures();

// delete_measures: the work of Delete Measures without its dialog and questions: `count`
// measures from the insertion point's chord, in every shown voice (or those of its staff). The
// names a part shows, which stand before its first note, stay with the note that is first
// after the deletion. 1 when measures were removed; 0 (after a message) when nothing changed.
int delete_measures(int32_t count, int all_staves);

// ==== selection.cpp ==============================================================================
// The selection (selection.cpp) and the presses and arrow keys that change it (mouse_and_keys.cpp).

// ---- The insertion point and the selected voice (selection.cpp) ---------------------------------

// set_insertion_point: makes node (NIL: none) the insertion point. A drawn note selects its own
// voice whatever `voice` says; otherwise `voice`, when not -10, is selected (and shown in the
// title, the voice marks moved). With show the window scrolls to it, else only the key spelling
// of entered notes follows the key in force. The note flashes; the piano window is redrawn.
// Reads:  the node's NTDATA, voice_highlighted.
// Writes: insertion_point, insertion_point_pos, insertion_point_flashing, selected_voice,
//         audition_channel, flashing_node, the window title.
void set_insertion_point(Drosa node, int show, int voice);
// set_selected_voice: selects voice v (-10 none) and takes its MIDI settings from its VINFO
// into audition_channel. A piece without voices selects none.
// Failure: level 4 "Voice number %hd is out of range in set_selected_voice!  There are %hd
//          voices." (voice 0 is selected); "Voice linked list error in set_selected_voice!"
//          (audition_channel stays).
void set_selected_voice(int v);
// make_cursor_visible: the key spelling from the insertion point's key; a drawn insertion
// point is scrolled into view.
void make_cursor_visible();

// ---- Dispatching commands over the selection ----------------------------------------------------

// insertion_point_shown: there is an insertion point, and it is no note of a voice that the
// current notation context does not show (commands leave such a note alone).
bool insertion_point_shown();
// apply_to_cursor_or_group: fn for each note of the group selection in MUSIC_MODE, else for the
// insertion point (when shown); with refresh the window is copied from the page image
// afterwards. Nothing selected: nothing but the refresh.
void apply_to_cursor_or_group(void (*fn)(Drosa node), int refresh);
// for_each_selected: the annotation side: fn for each annotation of a group (outside
// MUSIC_MODE), else for current_anno (and first its line partner), else with arg -1 for the
// text and line templates; arg 1 refreshes the window afterwards.
void for_each_selected(void (*fn)(Drosa node), int arg);
// The first node the dispatch would visit that is a drawn note, else the last visited; the
// first visited; the last visited. NIL when nothing is selected.
Drosa find_first_visible_noterest();

// ---- The nearest note to a point ----------------------------------------------------------------

// half_city_distance: |x1 - x2| / 2 + |y1 - y2| / 2, each half truncated.
int32_t half_city_distance(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// find_nearest_visnote: the drawn note nearest to the point: a window point (window set: x = h,
// y = v, pixels) or a page point (page units), in the selected voice or in every voice, by the
// half city distance: a window point is measured against the middle of each head (30 page units
// right of and above xscrhdx, xscrhdy) and against each drawn accidental; a page point against
// xscrhdx, xscrhdy themselves. Of two at the same distance the first met (lower voice, earlier
// in the list) wins.
// Reads: page_start, the NTDATA of the page's notes, the scroll origin, zoom_factor.
// Failure: level 4 "Bad voice list in find find_nearest_visnote" for a voice whose page does not
//          end; the search goes on. NIL when no note is drawn.
Drosa find_nearest_visnote(PagePoint point, int window, int all_voices);
// cursor_to_nearest_visnote: moves the insertion point to that note when there is one and it is
// another note; otherwise only redraws the piano window.
void cursor_to_nearest_visnote(PagePoint point, int window, int all_voices, int show);

// ---- Commands built on the selection ------------------------------------------------------------

// delete_notes_command: Delete Notes: the insertion point's note, or each selected note of the
// page, becomes rests (remove 0) or is taken out (remove 1); the group ends and the insertion
// point goes to the note now nearest to where it was: for the insertion point's own note, the
// rest or note that now stands in its place in its system.
// Writes: the voice lists (recorded), insertion_point, the group selection.
// Failure: level 2 "You cannot do this because it would leave an empty measure for one of the
//          voices.  To replace a note with a rest, ..." when taking notes out would empty a
//          measure; nothing changes.
void delete_notes_command(int remove);
// recompute_selection_playback: default playback data (set_default_performance with a, 0, b,
// c) for every note of the piece (all), else for each run of selected notes of the page, else
// for the insertion point; each note recorded for undo, the piece marked changed.
void recompute_selection_playback(int a, int b, int c, int all);

// ---- Presses in the music window (mouse_and_keys.cpp) -------------------------------------------

// drag_select_rect: follows a rubber band from `start` (window pixels) while the button is held,
// its frame drawn by exclusive-or when `draw`, scrolling at most once every eighth of the caret
// time while the mouse is outside the music area; *rect receives the band in page units.
// Returns 1 for a click (the mouse moved at most 2 pixels each way), 3 for a band, 0 in a
// published view or without a rectangle to fill (nothing tracked).
// Writes: *rect, band_scroll_time, the scroll position.
int drag_select_rect(Point start, VirtualRect* rect, int draw);
// music_click: a press in the music area: 1 when it was a plain click (left to the caller);
// else the notes whose heads the band holds (the annotations whose boxes it holds) become the
// group selection, or join it with `extend`: 3, or 2 when the band held nothing.
int music_click(Point where, uint16_t modifiers, int elements_first, int extend);

// move_selection_by_key: an arrow key (28 left .. 31 down) with its modifiers: Left and Right step
// through the notes (by chords with Command; stretching the group with Shift), Up and Down through
// the voices, Option-Left and -Right through the annotations. 1 when the key was used.
int move_selection_by_key(int key, int option, int command, int shift);
// cursor_next_note, cursor_prev_note: the insertion point (the group's anchor while a group
// exists) to the next or previous NOTE of its voice on the page; 0 when there is none (the
// page ends, or the voice is not printed there).
int cursor_next_note();
int cursor_prev_note();
// cursor_next_staff: the insertion point to the note at its time in the next (step 1) or
// previous (-1) shown voice that is printed there, wrapping round.
void cursor_next_staff(int step);
// cursor_to_time: the insertion point to the note at a measure and beat (from 1), trying
// first_voice first (negative: from voice 0); a measure under a rest drawn once for several
// measures gives that rest; measure -1, or nothing found, the first drawn note of the page.
void cursor_to_time(int32_t measure, int first_voice, double beat);
// next_visible_anno, prev_visible_anno: the placed annotation after or before the node on the
// page; NIL none.
Drosa next_visible_anno(Drosa node);
Drosa prev_visible_anno(Drosa node);
// find_nearest_anno: the placed annotation nearest to the window point (by its PDATA's two
// points); repeated calls with a distance cell step through annotations at the same distance.
// Writes: *distance (2100000000 none), anno_tie_turn.
Drosa find_nearest_anno(Point where, int all_voices, int32_t* distance);
// scroll_to_rect: scrolls the music window so that the window point is inside its music area
// (less a margin), or with place to the fractions of parameters 752 and 753; always 1. Nothing
// scrolls while window_hold_flag is set (place aside).
int scroll_to_rect(int h, int v, int place);

// ==== swing_transpose.cpp ========================================================================
// Three commands that run over the selection note by note: swung playback of pairs of chords
// written as plain eighths, transposition by half steps, and the rest flag copied from the note
// template into the selected rests.

// swing_eighth_beam: when the voice chord that holds the note and the chord after it are two
// straight eighths on a beat, a dotted quarter and an eighth on a beat, or a triplet quarter
// and a triplet eighth, gives them the swung times of the swing ratio (parameter 705 at the
// first chord, taken only between 0 and 1) and writes them as plain eighths. Each note changed
// is recorded for undo.
// Writes: xttn, xlength, xtupl, xintimeof, xlgval of the pair's notes; DrosaDirty.
void swing_eighth_beam(Drosa note);
// swing_all_eighths: swing_eighth_beam for every NOTE of every voice.
void swing_all_eighths();

// transpose_prompt: asks for the number of half steps (-48 to 48) and transposes the selection.
void transpose_prompt();

// rest_flag_command: the rest flag of the note template switched, then copied into the selected
// rests.
void rest_flag_command();

// ==== symbol_commands.cpp ========================================================================
// The Clef, Bar Line, Time Signature, System Bracket and Beaming Rule commands
// (symbol_commands.cpp, beaming_rule.cpp) and their dialogs (symbol_dialogs.cpp).

// ---- The commands (symbol_commands.cpp) ------------------------------------------------------

// edit_clef, edit_barline, edit_tsig, edit_bracket: Symbol > Clef..., Bar Line..., Time
// Signature... and System Bracket...: a template from the symbol in force at the first drawn
// note of the selection (edit_tsig: the insertion point), edited in the dialog, then placed,
// replaced or deleted at each selected note (edit_tsig: the insertion point) in the voices of
// the chosen scope.
// Reads:  the selection, the voice lists, current_ncontext.
// Writes: the voice lists (recorded for undo), symbol_edit_state, the change flags.
// Failure: level 4 "bad call in other.c (edit_tsig)" when the insertion point is no NOTE.
void edit_clef();
void edit_barline();
void edit_tsig();
void edit_bracket();

// ---- The beaming rule (beaming_rule.cpp) -----------------------------------------------------

// edit_beaming: Stem > Beaming Rule...: the rule in force at the insertion point, edited and
// placed before its chord in its voice or in every voice, or deleted there.
// Failure: level 4 "bad call in other.c (edit_beaming)" without a NOTE at the insertion point;
//          level 2 "Can't have beaming at End of System!" for the end-of-system placement.
void edit_beaming();

// ==== symbols.cpp ================================================================================
// Staff symbols (clefs, bar lines, key and time signatures, beaming rules, zones) placed into,
// changed in or taken out of every voice that sounds at one moment, on the insertion point's staff
// or on every staff, at the insertion point or at the end of its system; and the scope buttons that
// every symbol dialog carries.

inline constexpr int SYMBOL_AT_INSERTION = 4, SYMBOL_AT_SYSTEM_END = 5;

// ==== systems.cpp ================================================================================
// System and page breaks. A piece has no page model of its own: an ENDSYST at the same time in
// every voice ends one system and starts the next, and its xendpage makes the next system start a
// page. Here breaks are made, removed and re-flagged: the automatic breaking of a notation context
// into systems and pages, the single-step commands of the Page menu, one break in one voice with
// the symbols standing at it, and the notes that print in no notation context.

inline constexpr int SYSTEMS_NO_BREAKS = 2;     // a MusicXML file without systems or pages
inline constexpr int SYSTEMS_KEEP_SYSTEMS = 3;  // a MusicXML file with systems, no pages

// The 16-bit flags of a notation context's options record that restate the clef and the key
// at the start of every new system.
inline constexpr int OPTIONS_CLEF_AT_EACH_SYSTEM = 12;
inline constexpr int OPTIONS_KEY_AT_EACH_SYSTEM = 14;

// ---- The automatic breaking ---------------------------------------------------------------

// systems: breaks the current notation context into systems and pages from `start` (an
// ENDSYST with xendpage) to the end of the piece, as the user chooses in the Systems dialog.
// Breaks where the number of printing staves changes stay; the others go and new ones are
// made. 1 when breaks were made, 0 otherwise (a message, the dialog cancelled).
// Reads:  the voice lists, the parameters, current_ncontext, the context's options.
// Writes: ENDSYST nodes and the symbols moved at them (all recorded), page_count,
//         current_page, the insertion point (cleared, from the menu), the layout records
//         (removed, from the menu), the change flags, the cursor, the window title.
// Failure: level 4 "Bad pointer for systems()."; level 2 messages for a start off a timing
//          boundary, bar lines in some staves only, a bar no voice prints, no measures.
int systems(Drosa start, int reason, const char* extra);

// ---- One break -----------------------------------------------------------------------------

// insert_system_start: makes a system start at the note in every shown voice. Strict: at the
// note's time, which must be a timing boundary of every voice; not strict: after as many bar
// lines of its system as stand before the note. A note at the start of its system only gives
// the ENDSYST before it the page flag. 1 when a system start was made.
// Reads:  the voice lists, page_start (page-relative). Writes: what insert_endsyst_on_voice
//         writes; system_cursor, time_cursor.
// Failure: level 2 "You cannot make a system start at a note which is not at a timing
//          boundary for all voices.  Bar %d."; level 4 "end_of_page logic error in
//          insert_system_start", "at_sys_time logic error in splits".
// `strict` STRICT_AT_TIME_CURSORS: strict, and the voices stand at the note's time already:
// system_cursor and time_cursor as voices_to_system (page relative) of the note's system and
// voices_to_system_at_time(find_time_in_system(note), 0, 1) left them, finding every voice at
// that time, and the lists have not changed since; the voices are not walked to the time again.
int insert_system_start(Drosa note, int page_flag, int page_relative, int strict);

// insert_endsyst_on_voice: puts a new ENDSYST of the current context (with the page flag and
// the system's brackets) before the note and the nodes attached to it; the clef, bar line,
// bar separator, key and time signature attached there move to the end of the previous
// system (a start-repeat bar line stays after the break too, and its copy before the break
// loses its start dots). With the context's options the clef and key in force are restated
// after the break. Every change is recorded.
// Failure: level 4 "End-of-piece error in insert_endsyst_on_voice()!", "Bad pointer for
//          insert_endsyst_on_voice()!", "Removing extraneous CLEF node.", "Removing extraneous
//          KEYSIG node." (the second one is removed, with undo); level 2 "You have a voice with
//          no notes on the system!" (given an ENDSYST: the new one follows it).
void insert_endsyst_on_voice(Drosa note, int page_flag);

// ---- The Page menu's single steps ----------------------------------------------------------

// split_system_cb: a system starts at the note, unless it starts one already or every shown
// voice holds only hidden rests before it in its system (a pickup filled out by rests not drawn:
// the note counts as the system's start).
void split_system_cb(Drosa note);
// combine_with_next_system_cb: the music from the note on (from its system's start, when only
// hidden rests stand before it) joins the next system.
void combine_with_next_system_cb(Drosa note);

// split_page: makes system `system` of the current page (0 its first) start a new page in
// every shown voice, and drops the layout records of what now lies on the next page.
// Reads:  page_start, current_ncontext. Writes: ENDSYST xendpage (recorded), layout records
//         after the new page start, page_count, DrosaDirty.
// Failure: a system the page does not have changes nothing.
void split_page(int system);

// combine_page: joins the current page to the next one (with_previous: to the previous one).
// Writes: ENDSYST xendpage (recorded), page_count, the change flags.
void combine_page(int with_previous);

// move_page_end: the current page ends before its system `system` (0 its first) in every
// shown voice, and the systems from there on join the next page: the page's own end no longer
// ends a page. The last page is split as split_page does. A system the page does not have
// changes nothing; false then. system_cursor holds the new page's start in every voice.
// Writes: ENDSYST xendpage (recorded), layout records after the new page end, page_count,
//         DrosaDirty.
bool move_page_end(int system);

// cut_and_join_next_system: a system starts at the note (a strict, page-relative system
// start), and the music from the note on joins the system after it: the end of the note's
// system goes. When that end ended a page, the page ends at the new system start instead.
// False when no system start was made; when the note's system ends the piece, only the
// system start is made. `strict` as insert_system_start's (1, or STRICT_AT_TIME_CURSORS).
// Writes: the voice lists (recorded), ENDSYST xendpage, the change flags.
bool cut_and_join_next_system(Drosa note, int strict = 1);

// ---- Commands (one entry point each, for the menus) ----------------------------------------

// Systems...: breaks the current context from the selected voice's page on, after offering to
// save; the undo history is discarded.
void systems_command();
// Split System and Combine with Next System at the insertion point or the selected notes.
void split_system_command();
void combine_with_next_system_command();
// Split Page at the insertion point's system; Combine with Next Page, keeping the systems
// from the insertion point on on the next page. Both discard the undo history.
void split_page_command();
void combine_with_next_page_command();
// Clear > Invisible Notes: offers to make every note that prints nowhere a rest.
void invisible_notes_command();
