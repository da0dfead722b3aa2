// anno_services.h: what the rest of the program asks of the annotation subsystem.
// Other folders include this header and no other header of annotations/.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/events.h"
#include "platform/geometry.h"
#include "platform/port.h"

// A point size or distance converted for the current zoom: size x 10.0 / zoom_factor,
// plus 0.5, truncated (the standard zoom, 10.0, leaves it as it is).
int pixels_to_tenths(int size);

// ---- Selection marks of annotations (anno_marks.cpp) ------------------------------------------

// anno_highlight: shows (how 2) or takes away (1) the mark of the selected annotation: squares
// of 40 pixels inverted at the two corners of its box (and of 20 at a line's control points) in
// the page image; the window is refreshed unless how is 0. An annotation not placed has none.
void anno_highlight(Drosa anno, int how);
// group_highlight_anno: the mark of a member of an annotation group, drawn or taken away by
// exclusive-or: an X in a square of 40 pixels at each corner of its box, in the page image.
// Failure: level 4 "group_highlight_anno in MUSIC_MODE!"; drawn all the same.
void group_highlight_anno(Drosa anno);

// ==== anno_classes.cpp ===========================================================================
// The classes of text annotations (what a text is: a title, a lyric, a dynamic...), the style each
// class gives a text, the template resets of the Line and Curve commands, and where a new text of a
// class goes.

// ---- Setting a class ----------------------------------------------------------------------------

// anno_set_class: gives the TPARAM t class c and its style: the style of the class's model
// annotation when there is one (its flags, context, and, unless keep_music_font is set and t is
// in a music font, its font and size), else the class's built-in defaults, whose font and size
// are set only with force or when c is not the class set last (at staff size z, 50 when 0 or
// less); a fingering then takes the fingering style. The line template follows the text
// template's locks, draw mode and context. A class outside 0..24 is kept as it is, with no style.
// Returns c.
// Reads:  class_models, last_class_set, current_ncontext, parameter 612.
// Writes: t; line_template when t is text_template; last_class_set (not when a model served).
int anno_set_class(int c, int force, int z, Drosa t, int keep_music_font);
// anno_set_default_style: the fingering style (font, character set, size and face of parameter
// 612 "default font info for fingerings") at the insertion point, or at the drawn note nearest
// its place when it has none.
void anno_set_default_style(Drosa tparam);

// ---- Template resets of the Line and Curve commands ----------------------------------------

// Both clear the text template's Horizontal Lock, draw mode and colour and set its Vertical
// Lock, and in the line template set Vertical Lock and clear Horizontal Lock, draw mode, dashes
// and colour; both templates go to every context. curve_mode_reset makes the line template a
// curve, fat in the middle, bowing up (style 1) or down (2); line_mode_reset a line of style s,
// width 10, of one system.
// Writes: text_template, line_template; new_curve_direction.
void curve_mode_reset(int style);
void line_mode_reset(int style);

// ---- Where a new text goes --------------------------------------------------------------------

// new_pedal_anno: a hidden pedal marking (the glyph of parameter 606 "pedal marking" when down,
// else 607 "pedal up marking"), with Vertical Lock, at parameters 579 and 580, inserted before
// the note with undo. Returns its TPARAM; NIL (reported) without a note.
// Failure: level 4 "Bad call to new_pedal_anno: no note".
Drosa new_pedal_anno(Drosa note, int down);

// ==== anno_clipboard.cpp =========================================================================
// Annotations cut, copied, pasted and cleared; duplicates at each system, on each page and in every
// part, kept in step when systems are rebuilt.

// anno_cut_copy: Cut (4), Copy (5) or Clear (7) of the selected annotations (only_this_anno
// NIL) or of one; label 'M' for the Edit commands, 'B', 'I', 'K' for the copy a Duplicate In
// Every Part, At Each System or On Each Page starts from (those mark the annotation itself,
// with undo; a plain Cut or Copy leaves its repetition flags alone). Cut and Copy put copies on
// the annotation clipboard (clipboard_kind 1) with their places kept relative to their
// reference points; Clear leaves the clipboard alone. 1 when done, 0 when refused.
// Failure: level 2 "All the selected annotations must be from one note for %s." for a
// selection of several notes or a segment of an extended line; level 4 "bad menu_item on
// anno_cut_copy in annotate.c", "bad set_label on anno_cut_copy in annotate.c".
int anno_cut_copy(int item, int label, Drosa only_this_anno);
// anno_paste_one: the clipboard's annotations before a drawn note, each at its offsets from
// the new reference point, in one undo record; a dynamic gives the notes after it its velocity.
// Failure: level 4 "Paste type confusion for annotations." when the clipboard holds no
// annotations; nothing is pasted.
void anno_paste_one(Drosa note);
// The Duplicate commands: the annotation repeats at every later system, on every later page,
// or in every part (copies of context -1 at the same time in every shown voice, Score only).
void anno_duplicate_each_system(Drosa anno);
void anno_duplicate_each_page(Drosa anno);
void anno_duplicate_every_part(Drosa anno);
// The Clear submenu: In Every Context (copies in every part deleted, the flag cleared), At
// Each System and On Each Page (copies deleted; on the first page the selected one stays,
// without its flag).
// Failure: level 4 "Not editing Score for anno_part_label_clear!" outside the Score.
void anno_part_label_clear(Drosa node);
void anno_remove_repeats_a(Drosa node);
void anno_remove_repeats_b(Drosa node);
// repeat_annos_at_system: for a system made or rebuilt at `node` (its ENDSYST, or the note it
// starts at): make 0 deletes the At Each System copies at its first chord; make 1 copies those
// of the previous system's first chord after the ENDSYST (before the note) and returns the
// last node inserted (`node` when none).
Drosa repeat_annos_at_system(Drosa node, int make);
// repeat_annos_at_page: the same for On Each Page, from the first system of the previous page.
void repeat_annos_at_page(Drosa endsyst, int make);
// count_annotations: nine flags: At Each System, On Each Page and In Every Context allowed;
// settings unusual for each; repetitions of each present (In Every Part only in the Score).
void count_annotations(int32_t flags[9]);

// ==== anno_codes.cpp =============================================================================
// The escape-code language of annotation text: the code table, the parser that turns coded text
// into styled characters, the builder that writes styled runs back as coded text, an annotation's
// font, and text sizes on staves of other sizes.

// ---- The code table ----------------------------------------------------------------------------

inline constexpr int ANNO_CODE_COUNT = 76;

// One record of the code table: the code (backslash included) and what it stands for; the
// glyph values are filled when the builder is prepared, one for each of the two glyphs.
struct anno_code_entry {
  char code[10];
  int16_t glyph_or_op;  // a character parameter (1 and up), or an operation
  int16_t arg;
  int16_t font[2], character[2], size[2], yoffset[2];
};

// ---- Parsing --------------------------------------------------------------------------------

// parse_anno_escapes: reads one character of coded text into `style` (a character value that
// holds the run's font, size and face on entry, and the offsets the caller wants for plain
// characters) and returns the bytes consumed. `node` is the note the text belongs to (glyph
// parameters are looked up and scaled there). With `literal` the first byte is the character
// as it is (the font override and an active superscript still apply). A null text resets the
// parser and gives 0; so does an empty one. When the text ends after operations only, the
// character is 0. A two-glyph code reports one byte less and hands out its second glyph at
// the next call. A final backslash is a backslash of its own.
// Reads and writes: anno_parse_state. Reads: the parameters at node.
int parse_anno_escapes(const char* text, ParamValue* style, Drosa node, int literal);

// anno_runs_from_codes: the characters of coded text, parsed as editing ends, as the style runs
// of the annotation headed by the TPARAM `head`: the head's own run (its TEXT nodes after
// `after`, the head or its layout record), then for each change of font, size, face or offsets
// a copy of the head with xadjacent and its TEXT nodes. `style_at(i)` gives the font, size and
// face of byte i of the text as typed; glyph parameters are looked up at `note`. The head's
// xbackslash is set when a code was read. Returns the last node made: NIL, with nothing made,
// when the text gives no character.
// Reads and writes: anno_parse_state. Reads: the parameters at note.
Drosa anno_runs_from_codes(Drosa head, Drosa after, const std::string& text,
                           const std::function<ParamValue(size_t)>& style_at, Drosa note,
                           int context);

// An annotation's font: font code, size, face and character set.
struct AnnoFontSpec {
  int16_t font = -5;
  int16_t size = 12;
  uint8_t face = 0;
  uint8_t charset = 0;
};

// anno_text_to_codes: with a null text, prepares the builder for the annotation headed by the
// TPARAM `run` (its font, the table's glyphs resolved at `node`) and gives 1, or 0 when the
// annotation is not coded (xbackslash clear: its runs are written as they are). Otherwise
// rewrites *text, every character of which has the font, size, face and offsets of the style
// run `run`, as coded text, going on from the state of the previous run of the annotation;
// gives 1 when the result holds a code. The text grows as it must.
// Reads and writes: anno_build_state. Reads: the parameters at node.
int anno_text_to_codes(std::string* text, Drosa run, Drosa node);

// ---- Reading an annotation character by character ---------------------------------------------

// next_anno_in_group: moves a reader to the next character of the annotation's text, across
// its TEXT nodes and further style runs: *tparam the run, *text the TEXT node, *index the
// character in it. Start with *text NIL and *tparam the head. Returns 0 at the end, with both
// nodes cleared.
int next_anno_in_group(Drosa* tparam, Drosa* text, int* index);

// ---- Text on staves of other sizes ------------------------------------------------------------

// note_text_offset: the size in points at which the run `run` of the annotation headed by
// `tparam` is drawn at `node` (a NOTE with its layout record): scaled to the note's staff
// size when the text was set for another (xtext_stsize), smaller by parameter 386 on a small
// staff for a text without one; unchanged with xno_size_adjust.
int note_text_offset(Drosa node, Drosa tparam, Drosa run);

// ==== anno_fields.h ==============================================================================
// The registry of the annotation nodes' fields (the TPARAM, TEXT and LINE fields themselves are
// declared with the node kinds, in model_services.h, for the model and the layout engine read
// them too).

extern const NodeField* const anno_node_fields[];
extern const int anno_node_field_count;

// ==== anno_hooks.cpp =============================================================================

// Registers what the layout engine calls of the annotations (their passes of a system and their
// state of a page). Run by connect_subsystems at start-up.
void register_anno_hooks();

// ==== anno_globals.cpp ===========================================================================
// The program-wide state of the annotations.

extern Drosa current_anno;   // the selected annotation (its TPARAM or LINE); NIL none
extern Drosa previous_anno;  // the annotation selected before current_anno's deselection; NIL

// The escape-code parser between two characters of one annotation.
struct AnnoParseState {
  int size_override = 0;      // the size the size codes reached, once one was seen
  bool override_set = false;  // a size code was seen in this annotation
  int previous_size = -1;     // the text size of the last character; -1 none yet
  int16_t font_override = 0;  // the font a font code switched to
  bool font_override_set = false;
  uint8_t face_toggles = 0;   // face bits toggled by "\b" and "\i"
  bool super_active = false;  // a superscript mode ("\g", "\u") is on
  bool super_first = false;   // no plain character since it was switched on
  ParamValue super_glyph{};   // its parameter's value
  int super_step = 0;         // its size - 12 while on, else 0
  bool pending = false;       // the second glyph of a two-glyph code waits
  ParamValue pending_glyph{};
  bool size_clamped = false;  // a size fell outside 1..255 and was held
};
extern AnnoParseState anno_parse_state;

// The escape-code builder while it writes the runs of one annotation: what the parser will
// have seen up to the end of the text written so far.
struct AnnoBuildState {
  bool prepared = false;
  bool coded = false;       // the annotation is written as codes (xbackslash)
  AnnoFontSpec base;        // the annotation's font
  int size = 0;             // the size the codes have reached
  uint8_t face = 0;         // the face they have reached
  int super = -1;           // the record of the active superscript; -1 none
  int previous_glyph = -1;  // the record written for the previous character; -1
  std::string last_code;    // the code that the text written so far ends with; "" none
  anno_code_entry table[ANNO_CODE_COUNT]{};  // the code table with its glyphs resolved
  int32_t xoffset[ANNO_CODE_COUNT][2]{};     // and their x offsets
  int fret_super = -1, chord_super = -1;     // the records of "\g" and "\u"
  int step_up = -1, step_up4 = -1, step_down = -1, step_down4 = -1;  // the size steps
};
extern AnnoBuildState anno_build_state;

void reset_anno_globals();

// ==== anno_refloc.cpp ============================================================================
// The reference point from which an annotation's stored offsets count.

// anno_refloc: the point of the page (x, y in page units, y upward) from which the offsets of
// the annotation `anno` (a TPARAM or LINE the current context sees) count: the annotation
// stands at x + its x offset and y + its y offset. A pending reference request is first
// folded into the offsets and the locks, and its mode cleared.
// pstaff1 0 takes the note's position on the screen and the printed staff that holds it;
// k > 0 takes its position as being laid out and printed staff k - 1.
// The reference of the locks: Horizontal Lock (or Position Lock) the page's left edge, its
// centre for a centred text; Position Lock the page's top; Vertical Lock the staff's top line;
// otherwise the note. After a request the point returned is the one the new locks give. The
// requests from the page's top, bottom and middle keep the offset and lock a text to the
// page's top, a line to its staff.
// Reads:  the note's NTDATA and staff chord, staff_data, the page size, bar lines, chord
//         extents. Writes: the annotation's offsets, locks and mode byte (not for undo: its
//         place on the page does not change).
// Failure: anno not a visible TPARAM or LINE, or a note without its layout record: level 4
//         "Bad call to anno_refloc!"; x = y = 0 and nothing changes.
void anno_refloc(Drosa note, Drosa anno, int32_t* x, int32_t* y, int pstaff1);

// anno_fold_request_before_layout: folds the pending reference request of the annotation
// `anno` (a TPARAM or LINE the current context sees; anything else is left alone) when it
// needs nothing laid out: from its note, the page's left edge or its staff, offsets kept, a
// text not under Position Lock. What the layout reads of the annotation before drawing it
// (where lyrics stand, for the spacing) then counts from the reference it is drawn from.
// The others wait for anno_refloc.
// Reads:  the annotation's mode byte and locks. Writes: its locks and mode byte (not for
//         undo: its place on the page does not change). Failure: none.
void anno_fold_request_before_layout(Drosa anno);

// ==== anno_runs.cpp ==============================================================================
// Annotations as runs of nodes before their note: walking a text's style runs, making TEXT nodes,
// deleting one whole annotation, the templates of new annotations, and the words the user sees for
// the annotation flags and line styles.

// ---- Walking an annotation ---------------------------------------------------------------------

// is_anno_head: 1 for a TPARAM that starts a text annotation (no xadjacent) or a LINE, as the
// current notation context sees it.
int is_anno_head(Drosa node);

// next_style_run: the continuation TPARAM (xadjacent) of the next style run of the text whose
// run `run` is (its head or an earlier continuation); NIL at the end of the annotation. The
// walk steps over the head's PDATA, the run's TEXT nodes and nodes another notation context
// owns; it ends at the first other node.
Drosa next_style_run(Drosa run);

// run_text: every character of the TEXT nodes of one style run, whatever its length (each
// node gives at most its 21 characters, up to its NUL).
std::string run_text(Drosa run);

// make_text_nodes: a detached chain of TEXT nodes of the context holding `text`, 21
// characters a node (every node but the last full); *last gets its last node. NIL and *last
// NIL for an empty text.
Drosa make_text_nodes(const std::string& text, int context, Drosa* last);

// ---- Deleting -------------------------------------------------------------------------------

// delete_anno_nodes: deletes the annotation headed by `anno` (a TPARAM or a LINE the current
// context sees): its PDATA and the PVIEW nodes before it without undo (they are layout
// records), then with undo every TEXT node and further style run (a TPARAM with xadjacent and
// its TEXT nodes) after it, and the head itself. The program's references to the head
// (current_anno, last_template_source) are cleared. Returns the node that stood before it.
// Reads:  the voice list of anno.
// Writes: the list; the undo history (the removals join the step under way: a command that
//         set its mark deletes in its own step); the change flags (mark_piece_changed with a
//         reformat, for the annotation's context); current_anno, last_template_source.
// Failure: a node that is not a visible TPARAM or LINE is reported (level 4, "Bad parameter
//         to delete_anno_nodes: %lx kind %s"); nothing is deleted and the node after it is
//         returned.
Drosa delete_anno_nodes(Drosa anno);

// delete_marked_annos: deletes, with undo, the annotations before `node` that stand for a
// layout element (xeocvar of a TPARAM or xline_eocvar of a LINE not 0), from the earliest
// PDATA before it (back to the previous note or visible ENDSYST) forward to the next note.
// Returns NIL.
Drosa delete_marked_annos(Drosa node);

// ---- Templates ------------------------------------------------------------------------------

// anno_make_template: makes the annotation the model of the next new one. A visible TPARAM is
// copied into text_template (links, xeocvar, xeocord and xdefault cleared, the font, size and
// face of its first text-font style run) and gives line_template its locks, draw mode and
// context; a visible LINE is copied into line_template (links, xline_ord and xline_eocvar
// cleared, xcurve kept) and gives text_template the same. Nothing happens for NIL, for any
// other node, or (force 0) for the node copied last.
// Reads:  the annotation and its style runs. Writes: text_template, line_template,
//         last_template_source.
void anno_make_template(Drosa node, int force);

// ==== anno_select.cpp ============================================================================
// The editing modes of the music window, the annotation palette, the selected annotation, and the
// clicks and keys that reach annotations first.

// end_anno_selection: the preamble of commands and mode changes: a group selection and a
// selected rectangle end; the selected annotation stays only in the mode of its kind; in an
// annotation mode the insertion point must be a drawn note (else MUSIC_MODE); leaving text
// mode finishes the text; new_mode 2 and 3 set the line template's curve bit; text mode with
// no annotation selected and flag set starts a new text. Without voices: MUSIC_MODE.
// Writes: MODE, current_anno, previous_anno, the line template, the palette.
void end_anno_selection(int new_mode, int flag);
// icon_update: the palette follows MODE: its icon inverted, the piano window's content drawn
// for the mode, the information text rebuilt in an annotation mode without a group.
// Failure: level 4 "unrecognized MODE in icon_update (annotate.c)".
void icon_update();
// anno_palette_draw_proc: the piano window's content: the keyboard; in MUSIC_MODE the
// note-attribute palette, otherwise the information text; the mode icons.
void anno_palette_draw_proc();
// select_anno: makes the annotation the selected one and the template of the next, enters its
// mode (text editing is not started) and moves the insertion point to its note; in a group
// selection it only gives the note. Returns the note (the first drawn note after it).
// Failure: level 4 "logic error in select_anno" for a node that is no annotation.
Drosa select_anno(Drosa anno);
// anno_draw: the page shows the annotation drawn (erase 0) or erased (1): it is drawn afresh.
// Failure: level 4 "Ajacent TPARAM for anno_draw!" for a continuation run.
void anno_draw(Drosa anno, int erase, int flag);
// anno_dialog_event: clicks in the palette and in the music window, and keys, that the
// annotations take before anything else; 1 when taken.
int anno_dialog_event(const EventRecord& event);

// ==== command_texts.cpp ==========================================================================
// Text annotations that are commands: their classification, the parameter changes held as "param "
// texts (turned into PARAM nodes and back), and the making of a hidden text annotation.

// midi_anno_kind: the command kind of the annotation headed by `node`, from the first
// characters of its first TEXT: "param " 1, "program" 2, "control" 3, "pressure" 4, "midi" 5,
// "channel" 6, "note" 7; 0 for any other text, for a text marked Do Not Interpret, and for
// anything but a TPARAM seen in the current context that heads an annotation. `next`, when
// given, receives the next annotation head before the same note, or NIL.
// Reads:  current_ncontext.
int midi_anno_kind(Drosa node, Drosa* next);

// param_annos_to_nodes: makes the PARAM nodes attached before `note` again from the "param "
// annotations attached there: the old ones go (without undo: they are derived), and each
// parameter text of any notation context becomes a PARAM node of that context, linked just
// before the note in the texts' order. A text that does not parse, names no parameter
// (outside 1..753, or a small-notes value of a parameter without one) or holds a number that
// does not fit is passed over.
// Reads:  param (types).
// Writes: the nodes before the note; param[].changed of every parameter made.
// Failure: none; nothing is reported.
void param_annos_to_nodes(Drosa note);

// param_nodes_to_annos: writes the PARAM nodes attached before the first NOTE at or after
// `node` as "param " annotations there, in their order and notation contexts, after deleting
// the parameter annotations it had (of every context, as the nodes are made again from those
// of every context). The PARAM nodes stay. Nothing happens without a NOTE.
// Reads:  param (types, descriptions), parameters 578, 579, 580 at the note.
// Writes: the annotations before the note, with undo; the change flags.
// Failure: none.
void param_nodes_to_annos(Drosa node);

// make_text_anno: a hidden text annotation (Vertical Lock and Hidden, nothing else) of the
// notation context given, just before `note`: in the font, character set, size and face of
// the character parameter style_pindex at the note, classified as given, at x = parameter
// 579 at the note (scaled) and y = *y (0 when y is null); *y then goes up by a line of the
// text's size. The TPARAM and TEXT nodes of at most 21 characters are inserted with undo.
// Returns the TPARAM; NIL for an empty text, and (reported) without a note.
// Reads:  param, current_ncontext.
// Writes: the list before the note, the undo history, *y.
// Failure: level 4 "Bad call to make_text_anno: no note"; nothing is made.
Drosa make_text_anno(Drosa note, int context, int classification, int style_pindex,
                     const char* text, int* y);

// ==== endings.cpp ================================================================================
// The endings of a repeat (first and second time bars): a text of the repeat class, the ending's
// number, right before a plain or left bracket that runs on from the ending's first note to its
// last (a BEGLINE and an ENDLINE).

// ending_number_of: the number of the ending that the LINE (any of its segments) belongs to; NIL
// for a line of no ending.
// Reads: the voice list before the line.
Drosa ending_number_of(Drosa line);
// is_ending_number: whether the TPARAM is the number of an ending (the first segment of its
// line follows it).
// Reads: the voice list after it.
bool is_ending_number(Drosa tparam);

// ==== drawanno.cpp ===============================================================================
// The annotation passes of the page formatter, the binding of an annotation to the element of the
// music it stands for, and the clearance points above and below a note.

// ---- The passes (run in this order by format_page for each system, after the slurs) ---------

// draw_voice_annos: the texts and lines attached before every staff chord of the system's
// printed staves (the lines carried across the system by mid-line marks too), except those
// that stand for elements of the music; the endings of repeats last, over the rest.
// Reads:  the system's print chains, the annotations, voice_data, staff_data.
// Writes: the GE list, the annotations' PDATA, the CDDATA pre-annotation extents
//         (xprehiy, xpreloy), anno_refers_to_GE and anno_hyphens_pending (cleared first),
//         the mid-line marks (put in and taken out again).
// Failure: polls format_interrupted at every staff chord; 0 when told to stop, else 1.
int32_t draw_voice_annos();
// draw_pstaff_texts: the centred hyphens between a syllable that ends in "-" and the next
// syllable at its height in the same layer (or the system's right end), as many as parameter
// 664 "centered hyphens: maximum distance for each hyphen" asks for. Runs only when a text of
// the system ends in such a hyphen. 0 when interrupted.
int32_t draw_pstaff_texts();
// draw_pstaff_annos: the annotations that stand for elements of the music, once those are
// drawn. Runs only when the first pass met one. 0 when interrupted.
int32_t draw_pstaff_annos();

// ---- Annotations standing for elements ------------------------------------------------------

// mark_string_chain: marks removed (GREMOVE) the element ge with the GE_STRING run before it,
// and, when the node before that run is a screen twin, that twin and its own run.
void mark_string_chain(Drosa ge);

// ==== drawtext.cpp ===============================================================================
// One text or line annotation turned into graphics elements, and the measuring, trimming and
// clipping they share.

// The most characters of one style run that drawing and measuring read: ANNO_RUN_TEXT_LIMIT
// (model_services.h).

// ---- Texts kept on the paper ------------------------------------------------------------------

// anno_lowered_at_paper_top: how far the texts of pstaff p were brought down since
// clear_anno_lowered_at_paper_top, at most, to keep them on the paper at its top (the page's
// layout then lets their system stand lower).
int32_t anno_lowered_at_paper_top(int pstaff);
void clear_anno_lowered_at_paper_top();

// ---- Texts at the page's foot -----------------------------------------------------------------

// anno_footer_boxes: the boxes of the texts kept at a place of the page (Position Lock: a
// copyright line, a credit of the page's foot) drawn in the lowest quarter of the page since
// clear_anno_footer_boxes; music must stay above them.
const std::vector<AnnoBox>& anno_footer_boxes();
void clear_anno_footer_boxes();

// ---- Lines of lyrics --------------------------------------------------------------------------

// anno_lyric_lines: the lines of lyrics placed under pstaff p since clear_anno_lyric_lines
// (draw_voice_annos places those of each system); empty for a staff without lyrics or out of
// range.
const std::vector<LyricLineBox>& anno_lyric_lines(int pstaff);
void clear_anno_lyric_lines();
// anno_shift_lyric_lines: the lines of lyrics under staff p moved up by dy[p], with their staff.
// Writes: the lines of lyrics kept since clear_anno_lyric_lines.
void anno_shift_lyric_lines(const std::vector<int32_t>& dy);

// ---- Text -----------------------------------------------------------------------------------

// anno_run_text: the text of one style run (the TEXT nodes after the TPARAM, skipping its
// PDATA, while the current context sees them), at most 255 characters, its first `limit` at
// most when a caller needs no more; characters below 32 but line feed and return become blanks.
std::string anno_run_text(Drosa tparam, int limit = ANNO_RUN_TEXT_LIMIT);

// measure_anno_text: the width of the text of the annotation headed by `tparam` as it is
// drawn at `note` (every style run in its own font, face and size scaled to the note's staff;
// the hyphen and extender marks left out); `out` (may be null) receives the rest of the
// measurement. Text is measured at its point size, whatever the zoom.
// Reads:  the annotation's nodes, the note's layout record, the measuring port.
// Writes: anno_measure_cache (each text measured once); the measuring port's text state only
//         while it measures.
// Failure: a node that is not a TPARAM gives 0 and an empty measurement.
int32_t measure_anno_text(Drosa note, Drosa tparam, AnnoTextMeasure* out);

// ==== fret_grid.cpp ==============================================================================
// A guitar chord diagram typed as a text of the second music font (the fret grid the Text
// Assistant composes). Strings are counted from the lowest (the left one).
struct FretGrid {
  bool nut = false;    // the top line is the nut (the diagram starts at the first fret)
  int8_t dot[6] = {};  // -1 none, -2 muted (x), 0 open, 1..5 the fret held
  int8_t bar[6] = {};  // 0 none, 1..5 a barre at that fret from this string to the next
};

// fret_grid_of: whether a run's text in font code `font` (-2 the second music font) is a fret
// grid: the nut's letter ('a' with the nut, 'A' without), then for each string from the lowest
// its dot ('`' none, '9' muted, '0' open, '1'..'5' a fret) and its barre ('`' none, '!', '@',
// '#', '$', '%' frets 1 to 5); strings left out show nothing. *grid gets what it shows.
bool fret_grid_of(int font, std::string_view text, FretGrid* grid);

// ==== dynamics.cpp ===============================================================================
// What a text annotation says by its content: dynamics and the velocities they give the notes after
// them, the glyphs of trills, pedal marks and breath marks, and the class its content suggests.

// ---- Dynamics

// ------------------------------------------------------------------------------------
// dynamic_index: what dynamic the text headed by `tparam` is, from its first three characters
// (across its style runs, each in its run's font) and the glyphs of the dynamics parameters 41
// to 50 at `note` (may be NIL): 0..9 for the glyph of one of them (pppp..ffff); 11 sf, 12 sfz
// (or "s", f and any letter), 13 fz, 14 fp, 15 rf, 16 rfz, 17 sfp, 18 sfpp, 19 sff, where the
// letters are in a text font and f, p, pp and ff the glyphs; -1 for anything else (and for a
// node that is not a TPARAM heading a text, in any context). *glyph (may be null) receives the
// index 0..9 of the dynamic whose glyph is the third character, else -1.
// Reads: parameters 41-50 at the note.
int dynamic_index(Drosa note, Drosa tparam, int* glyph);
// anno_run_words: the text of one style run as words: a run in a text font as it is; in a
// music font each glyph of a dynamic (parameters 41 to 50) as its letters ("mf"), the trill
// as "tr", the pedal marks as "Ped." and "*", the segno and coda as "Segno" and "Coda", and
// any other glyph left out. Reads: those parameters, as they stand for no particular note.
std::string anno_run_words(Drosa run);
// dynamic_velocity_slot: the dynamic level (0..9) a dynamic_index plays at: itself for 0..9,
// 3 for 10, 6 (f) for 11..18, 7 (ff) for 19; -1 for none.
int dynamic_velocity_slot(int index);
// performed_dynamic_velocity: the velocity a TPARAM sets when it is a dynamic that is played
// (not Do Not Interpret): its level's volume of perf_defaults; -1 when it is none.
int performed_dynamic_velocity(Drosa tparam);
// dynamic_velocity_at: the velocity of the dynamic in force at a node: the first played
// dynamic walking back from it through the TPARAMs of every context, else the default (mf).
// The dynamic found is kept for the node (a kept place), so that a walk from a later node of
// its list stops there while only notes have changed.
// Reads: the voice list before the node, perf_defaults' dynamic levels. Writes: kept_places.
int dynamic_velocity_at(Drosa node);
// apply_dynamic_velocity: unless perf_defaults says every note plays at one level, gives every
// NOTE from `node` on the velocity of the dynamic in force at `node`, its hand-set mark
// cleared, up to the next played dynamic or the piece's end; each note changed is recorded for
// undo. Returns that next dynamic's index, -1 when none came.
// Writes: the notes' xvolume and xvolume_edited, the undo list.
int apply_dynamic_velocity(Drosa node);

// ---- Glyph tests -----------------------------------------------------------------------------

// anno_is_trill: 11 when the text's first character is the trill glyph (parameter 11 "tr")
// in its font, else 0.
int anno_is_trill(Drosa note, Drosa tparam);
// anno_is_pedal: 606 for the pedal-down glyph (parameter 606 "pedal marking") as the first
// character, 607 for the pedal-up glyph (607 "pedal up marking"); a release glyph followed by
// the press glyph (a pedal change) counts as down. Else 0; and 0 for a continuation run.
int anno_is_pedal(Drosa note, Drosa tparam);
// anno_is_pedal_change: true when the text is a pedal change: the release glyph followed by the
// press glyph.
bool anno_is_pedal_change(Drosa note, Drosa tparam);

// anno_is_style_670: 670 or 671 when the annotation, a TPARAM seen in the current context, is
// one character that is the single (670) or double (671) breath mark glyph in its font; else 0.
int anno_is_style_670(Drosa note, Drosa anno);

// ---- Classes by content ------------------------------------------------------------------------

// anno_kind_code: the text's class when it has one (a TPARAM seen in the current context that
// heads a text; else 0); *code (may be null) receives the class its content suggests: 7 a
// dynamic, then overriding, 9 a pedal mark, 15 a breath mark, 1 a parameter command, 12 any
// other command, 1 a font-table record, 6 a metronome mark; 0 none.
int anno_kind_code(Drosa tparam, Drosa note, int* code);

// ==== hidden_text.cpp ============================================================================
// Where hidden text shows (the screen, print, both or neither, by its category and the preferences'
// hide word), the Hidden Text dialog, and the Align command.

// hidden_text_dialog: the Hidden Text dialog (139): a check box for each category on the
// screen (items 4 to 10) and in print (12 to 18); OK writes them into the hide word and formats
// the page again; Cancel changes nothing.
// Writes: prefs (the hide word), the change flags. Failure: level 2 for an item of no meaning.
void hidden_text_dialog();

// do_align_dialog: the Align dialog (17678) and its action on the selected annotations (the
// group, else the selected one): item 4 their top edges, 5 their bottom edges, 6 their left
// edges, 7 their horizontal centres on the one that reaches highest, 8 their right edges, as
// their PDATA boxes show them. A centred text cannot move sideways: the first one met says so
// (level 2), the others are left. Annotations not drawn take no part. Each one moved is
// recorded for undo, with the other segment of a line that runs on kept matching.
// Writes: the annotations' offsets and PDATA boxes, the undo list, the change flags.
// Failure: level 4 "Unexpected item returned from align dialog" (the dialog goes on).
void do_align_dialog();

// ==== line_annos.cpp =============================================================================
// Line annotations that run over several systems and pages as segments (a BEGLINE, MIDLINEs, an
// ENDLINE), their ends on each system, the Extend Line To Here command, and the mouse loops that
// make a line and drag its handles.

// ---- Segments -------------------------------------------------------------------------------

// line_geometry_wrapper: the segment that belongs with `line`; NIL none.
Drosa line_geometry_wrapper(Drosa line);

// ---- Extend Line To Here ---------------------------------------------------------------------

// extend_line_to_here: the most recently selected annotation (current_anno, else
// previous_anno), a line, hairpin or bracket of one system or a BEGLINE, becomes a BEGLINE
// whose ENDLINE (a copy of it, ending at the note's reference point and keeping its length)
// stands before the insertion point, later in the same voice. Returns 1 when it was extended.
// Reads:  insertion_point, current_anno, previous_anno, MODE and the text being edited.
// Writes: the voice list with undo (the line, its copy, a former ENDLINE removed); the change
//         flags (re-format, the copy's context).
// Failure: level 2 messages for each refusal, nothing changed.
int extend_line_to_here();

// ==== midi_commands.cpp ==========================================================================
// Command texts that send MIDI: the bytes playback sends for one, and the MIDI nodes of older
// pieces turned into such texts.

// parse_midi_anno: the MIDI bytes (0 to 12) of the command text whose TPARAM is given:
// "program N" (C0+channel, N-1), "control C V" (B0+channel, C, V), "pressure V" (D0+channel,
// V), "midi XX XX ..." (up to 12 raw hexadecimal bytes); each may end in " time T" (T
// hexadecimal, returned through *time, else 0). "channel N" (1..16) changes *channel to N-1
// and "note N" (0..127) makes the next note of the system, before the end of the system,
// sound key N instead of its own through the 128-byte key_map (may be null; a note whose key
// does not fit the map leaves it alone); both give 0
// bytes. A program, controller or pressure whose data byte would not fit in 7 bits gives
// nothing (it would reach the instrument as a status byte); raw bytes are sent as written.
// Reads: the annotation's first style run (get_anno_text), the next note's pitch word.
// Writes: *channel, *time, bytes, key_map.
int parse_midi_anno(Drosa tparam, int* channel, uint8_t* bytes, int32_t* time, uint8_t* key_map);

// midi_nodes_to_annos: each MIDI node attached before `note` (up to 12 message bytes, a time,
// a byte count) becomes a hidden command text of class "midi" there, the first 12 units above
// the note and each further one a line higher: "program N", "pressure N" or "control C V" for
// those messages on any channel (the channel is not kept), else "midi" and each byte in two
// hexadecimal digits; a time other than 0 as " time T" in hexadecimal. The node is destroyed.
// A count above 12 takes 12 bytes, one of 0 or less none.
// Reads: parameters 578 and 579 at the note. Writes: the annotations (with undo), the list.
void midi_nodes_to_annos(Drosa note);

// ==== text_assistant.cpp =========================================================================
// The Text Assistant's dialogs, which compose coded texts.

// text_assistant_dialog: the dialog of a category (0 Title, 1 Subtitle, 2 Composer, 3 Poet,
// 4 Copyright, 5 Dynamic, 6 Tempo Marking, 7 Ornament, 8 Other Symbols, 9 Fret Grid, 10 Chord
// Symbol, 11 General MIDI). On OK the text template takes the category's class and a new text
// is started at the insertion point with the composed text in it (titles and the like may
// first remove the older texts of their kind; a composer's name ends at the staff's right
// edge). 1 when a text was started; 0 when cancelled, empty or refused. The choices made are
// kept for the next time, a cancel's too.
// Failure: level 2 "You must select the first note or rest in the piece before you can do
// this." for categories 0..4 elsewhere; level 4 "Could not load helper %d!" without its dialog.
int text_assistant_dialog(int category);

// ==== text_mode.cpp ==============================================================================
// Text annotations typed and edited in place in text mode.

struct TextRecord;

// text_start: starts editing at the insertion point: how 2 a new text at the class's place or
// where the template's locks put it; 3 a new text below the one finished last, following the
// staff; 4 the selected annotation, loaded with its style runs (a coded one as its codes) and
// taken out of the piece (with undo; one standing for an element is only set not drawn), so
// that the finished edit replaces it. The template's repetition flags are cleared for a new
// text. Nothing in a published piece or without a drawn insertion point.
// Failure: level 4 "non-NIL edit record in text_start (text.c)"; the old record is finished.
void text_start(int how);
// text_finish: ends editing; with convert and a text, its characters are parsed and made into
// a head TPARAM, its PDATA, TEXT nodes of 21 characters at most and a further TPARAM at each
// change of style, placed by its justification and inserted before the insertion point with
// undo; a dynamic gives the following notes its velocity. Returns the head, NIL for none.
// Failure: level 4 "called text_finish when not in TEXT_MODE"; finished all the same.
Drosa text_finish(int convert);
// text_set_style: in text mode, mode (1 font, 2 face, 4 size, 7 all) applies the template's
// style to the selection; the style at the selection (from_caret: before the caret) is read
// back into the template; the record is placed again and drawn (refresh: the window first).
void text_set_style(int mode, int refresh, int from_caret);
// text_redraw, text_update: the record drawn again over the window.
void text_redraw();
// text_idle: the caret's blink.
void text_idle();
// text_edit_command: the Edit menu's Cut (4), Copy (5), Paste (6) and Clear (7) on the record;
// a paste turns line breaks into blanks, and text Mac OS Roman cannot hold is refused (level 2).
void text_edit_command(int item);
// text_edit_length: the length of the text being edited (0 none); text_has_selection: 1 when
// part of it is selected.
int text_edit_length();
int text_has_selection();
