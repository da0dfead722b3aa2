// gselect.h: field assignment by field name: the attribute commands name a node field and a
// value, and one routine gives that value to the field of every node of the selection, with
// undo; the same names ask what value the selection has, for the menus' marks and the note
// palette's boxes. A field is named by its descriptor (node_fields.h, anno_fields.h): the
// routines compare descriptors by address, never by text.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "platform/geometry.h"

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
// do_anno_field_assignment: the same for an annotation (its TPARAM runs or its LINE).
// Failure: level 4 "Attempted to set xanno_selected in do_anno_field_assignment" (the bit is
// cleared), "Pointer %p is kind %d in  do_anno_field_assignment" (nothing changes).
void do_anno_field_assignment(Drosa anno);

// ---- Asking ---------------------------------------------------------------------------------
// do_note_field_check, do_anno_field_check: fold a node's value of gselect_field_name into
// gselect_field_value (-111 before the first node, -222 once two differ).
// Failure: level 4 "unrecognized gselect_field_name in do_note_field_check", "Pointer %lx is
// kind %hd in  do_anno_field_check"; the node is not counted.
void do_note_field_check(Drosa note);
void do_anno_field_check(Drosa anno);
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

// line_pair_member: one part of a line pair: a LINE the context sees whose 7 bits of byte 47
// are 0 and whose 7 bits of byte 27 are not.
bool line_pair_member(Drosa node);

// ---- Group membership -------------------------------------------------------------------------
// toggle_xselected: flips a note's xselected and marks or unmarks it on the page; with
// follow_rests, a drawn rest that stands for further rests takes their bits along. Any other
// node flips its annotation's xanno_selected and its group mark.
// Failure: level 4 "Expected anno in toggle_xselected, got %hd and %hd"; nothing changes.
void toggle_xselected(Drosa node, int follow_rests);
