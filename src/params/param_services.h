// param_services.h: what the other subsystems may call of the engraving parameters: the table,
// the lookup of the value in force at a node, the derived metrics and the editor's lists.
// Other folders include this header and no other header of params/.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "params/param_names.h"  // the parameters by name
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/list_box.h"

// ==== param_hooks.cpp ============================================================================
// What the parameters call of the subsystems built on them, registered by those at start-up.

struct Port;
struct ParamHooks {
  Hook<void, int16_t, int16_t, int32_t> do_menu_item{"do_menu_item"};  // the frame's menus
  Hook<int, int> pixels_to_tenths{"pixels_to_tenths"};                 // annotations
  Hook<int, Drosa, int*, int*> decode_note_type{"decode_note_type"};   // the drawing
  Hook<int, int, int> glyph_table_entry{"glyph_table_entry"};
  Hook<Port*> offscreen_port{"offscreen_port"};
};
extern ParamHooks param_hooks;

// Registers what the model calls of the parameters. Run by connect_subsystems at start-up.
void register_param_hooks();

// ==== param_editor.cpp ===========================================================================
// The parameter editor, the window in which every engraving parameter is shown as it is in force at
// the insertion point and a new value is stored there as a change (a PARAM node), never as a new
// default.

struct Cell {
  int16_t v = 0;  // row
  int16_t h = 0;  // column
};

// ---- The editor ---------------------------------------------------------------------------

// parameter_dialog: the editor from opening to closing; the one way in. `note` is the
// insertion point; changes_only is non-zero when the command was chosen with Shift or Option
// held: then the lists show only the parameters changed at the note. The editor runs its own
// event loop until Close; menu commands chosen meanwhile are carried out (source 110). The
// note itself is never changed; when a menu command takes it out of the piece, the editor
// closes.
// Reads:  the piece, param, current_ncontext, text_template, the editor's globals.
// Writes: PARAM nodes and their "param " texts (Store), text_template's font, size and style,
//         the editor's globals (cells, radio choices, changes-only flag), the change flags.
// Failure: level 2 "There are no parameter changes at this point in the piece." (changes
//          only, nothing changed there): the editor does not open; level 4 for a note that
//          is no NOTE. The messages of Store are listed with store_parameter_change.
void parameter_dialog(Drosa note, int changes_only);

// ==== param_index.cpp ============================================================================
// An index of the PARAM nodes of each stretch of a voice list between two page ends, so that a
// lookup finds the change in force at a note without walking back over the notes of the page; and
// the two rules of the backward walk that it shares with the lookup.

// With false, every lookup walks back over the list, bypassing the index: the plain walk that
// the index must agree with. On unless a check turns it off.
void use_param_index(bool on);

// ==== param_table.cpp ============================================================================
// The engraving parameter table: 754 slots (slot 0 unused) addressed by a parameter number (pindex)
// 1..753, each with a type, a description, a changed flag, a reference staff size and a 14-byte
// value for normal notes and one for small notes.

inline constexpr int PARAM_SLOTS = 754;
inline constexpr int PARAM_LAST = 753;

enum ParamType : uint32_t {
  PARAM_NONE = 0,  // a slot no filler has declared
  PARAM_HEADING = 1,
  PARAM_INTEGER = 2,
  PARAM_INTEGER_PAIR = 3,
  PARAM_COORDINATE = 4,
  PARAM_COORDINATE_PAIR = 5,
  PARAM_FLOAT = 6,
  PARAM_FLOAT_PAIR = 7,
  PARAM_CHARACTER = 8,
  PARAM_CHARACTER_PAIR = 9,
  PARAM_STRING = 10,
  PARAM_STRING_PAIR = 11,
  PARAM_UNUSED = 12,
};

// The pair types are the odd codes 3 to 11: they have a value for small notes.
inline bool is_pair_type(uint32_t type) { return type >= 3 && type <= 11 && (type & 1); }

// A 14-byte value, laid out as a PARAM node and the piece file hold it (big-endian):
// integer or coordinate: i32 at 0; float: IEEE single at 0; character: font code i16 at 0,
// point size u8 at 3, style u8 at 4, character code u8 at 5, x i32 at 6, y i32 at 10;
// string: font code i16 at 0, text of at most 7 characters and a zero at 2-9.
struct ParamValue {
  uint8_t bytes[PARAM_VALUE_SIZE];

  int32_t integer() const;
  void set_integer(int32_t v);
  float real() const;
  void set_real(float v);
  int16_t font() const;
  void set_font(int16_t code);
  uint8_t size() const { return bytes[3]; }
  void set_size(uint8_t v) { bytes[3] = v; }
  uint8_t style() const { return bytes[4]; }
  void set_style(uint8_t v) { bytes[4] = v; }
  uint8_t character() const { return bytes[5]; }
  void set_character(uint8_t v) { bytes[5] = v; }
  int32_t x() const;
  void set_x(int32_t v);
  int32_t y() const;
  void set_y(int32_t v);
  // The string's text (at most 7 characters).
  const char* text() const { return reinterpret_cast<const char*>(bytes + 2); }
  void set_text(const char* text);
};

// One slot of the table.
struct ParamRecord {
  uint32_t type;            // ParamType
  const char* description;  // the editor's text; a heading's title
  uint8_t changed;          // a PARAM node of this parameter exists in the piece
  int8_t ref_size;          // staff size at which the defaults hold (50; 100 for six)
  ParamValue value;         // normal notes (the only value of single types)
  ParamValue small;         // small (cue and grace) notes, pair types only
};

// Builds the whole table: every default, every changed flag cleared, the display order.
void param_init();

// ==== param_lookup.cpp ===========================================================================
// Engraving parameter values in force at a node of the piece, the PARAM nodes that change them, and
// the staff sizes with which a looked-up length is scaled.

struct StaffData;

// clang-format off
// ---- PARAM: a change of one engraving parameter from the next note on ------------------
// Link to the next older PARAM of the same voice in its page list (page_param_lists); only
// meaningful after the page locator has run.
inline constexpr LinkField xprev_param{"xprev_param", PARAM, 10};
inline constexpr auto xparam_index = word_field<int16_t>("xparam_index", PARAM, 14);   // pindex, 1..753
inline constexpr auto xparam_small = bit_field("xparam_small", PARAM, 16, 7, 7);       // 1: the small-notes value
inline constexpr auto xparam_stsize = word_field<int16_t>("xparam_stsize", PARAM, 32); // reference staff size; -1 negate, 0 unscaled
// clang-format on

// The scalar PARAM fields above, for checks and for finding a field by its name.
extern const NodeField* const param_node_fields[];
extern const int param_node_field_count;

// xparam_value: the new value, 14 bytes at node bytes 18-31, laid out by the parameter's type.
inline constexpr int XPARAM_VALUE_OFFSET = 18;

inline ParamValue get_xparam_value(Drosa node) {
  ParamValue v;
  std::memcpy(v.bytes, node->bytes() + XPARAM_VALUE_OFFSET, PARAM_VALUE_SIZE);
  return v;
}

inline void set_xparam_value(Drosa node, const ParamValue& v) {
  std::memcpy(node->bytes() + XPARAM_VALUE_OFFSET, v.bytes, PARAM_VALUE_SIZE);
}

// ---- Lookup -------------------------------------------------------------------------------

// param_value: the value of parameter pindex in force at node (any node of a voice list, or
// NIL) or, with no node, at the start of staff's layer-0 print chain. Small (cue and grace)
// notes take the small-notes value of pair parameters. A node that is not a NOTE takes the
// value in force at the next NOTE or ENDSYST after it (the end of the piece: the last value).
// Reads:  param, current_ncontext, page_param_lists, the ENDSYST voice byte (xsys_voice),
//         the node's NTDATA (xstsize), staff->staff_size and ppnt[0]; insertion_point only
//         for a node of a chain that is no voice list.
// Writes: param_ref_size, param_cur_size, the lookup's index (param_index.h). The result
//         points into the table or into a PARAM node: it must not be kept across edits.
// Failure: a pindex outside 1..753 is reported (level 4) and gives slot 0's empty value.
const ParamValue* param_value(int pindex, Drosa node, const StaffData* staff);

// param_value_variant: param_value with the variant chosen by the caller rather than by the
// node's cue and grace flags: small non-zero takes the small-notes value of a pair parameter
// (a single parameter has only its normal value). The parameter editor asks this way, so that
// it never has to change the note it shows the values at.
// Reads, Writes and Failure: as param_value (no staff).
const ParamValue* param_value_variant(int pindex, Drosa node, int small);

// ParamWalk: the values of two parameters in force at the notes of a forward walk of a voice
// list, had without walking back from each. Begun at a node where param_value's walk back ends
// (a seen ENDSYST that ends a page or starts the piece, or the voice's head) and passed every
// node after it in list order, it answers at the NOTE passed last exactly as param_value(pindex,
// note, nullptr) does, with its writes. Begun anywhere else, or asked of another parameter or
// node, it asks param_value. A copy keeps the answers at the node passed last.
// Reads:  as param_value. Writes: param_ref_size, param_cur_size when asked.
class ParamWalk {
 public:
  ParamWalk() = default;
  ParamWalk(int first, int second, Drosa start);
  void pass(Drosa node);
  const ParamValue* value(int pindex, Drosa note) const;

 private:
  int params_[2] = {0, 0};
  Drosa stop_ = NIL;          // where the walk back from the node passed last would end
  Drosa changes_[2][2] = {};  // the last change of each parameter and variant since then
};

// The length v of parameter pindex scaled by the sizes of the last lookup: a single
// coordinate (type 4) is never scaled; reference size 0 leaves v; -1 gives -(v x current);
// otherwise v x current / reference, truncated toward zero.
int32_t scale_param_length(int pindex, int32_t value);

// The integer or coordinate value in force at the node, scaled as scale_param_length does.
int32_t param_length(int pindex, Drosa node, const StaffData* staff = nullptr);
// param_length with the staff record of pstaff; none for a pstaff outside the table.
int32_t param_length_at_staff(int pindex, Drosa node, int pstaff);
// param_length(pindex, NIL): a value for the whole page (no staff, no note), without the
// lookup's writes, so that pages may be drawn on several threads at once.
// Reads: param. Writes: nothing (but a pindex outside 1..753 is reported, as param_value does).
int32_t page_param_length(int pindex);

// Non-zero when the parameter has been changed anywhere in the piece (0 outside 1..753).
int param_changed(int pindex);

// The value of a float parameter in force at the node.
double param_float_value(int pindex, Drosa node);

// ---- Changing -----------------------------------------------------------------------------

// check_and_insert_param: links a copy of the PARAM node templ directly before at, after
// removing the changes of the same parameter and variant attached before the note at or
// after at. Not recorded for undo.
// Reads:  current_ncontext.
// Writes: the voice list of at, param[].changed, the parameter annotations before the note,
//         the change flags (mark_piece_changed).
// Failure: level 4 "Not a PARAM node for check_and_insert_param!" (also for a parameter
//         number outside 1..753) and "At end of piece for check_and_insert_param!" (also for
//         no node or a list head); the piece is left unchanged.
void check_and_insert_param(Drosa at, Drosa templ);

// rebuild_param_nodes: after a piece is read or its voice lists are replaced, makes every
// voice's PARAM nodes again from their "param " texts (of every notation context) and sets
// the changed flag of every parameter that has a PARAM node anywhere, so that a change made
// on an earlier page is in force on every later page before any page has been formatted.
// Reads:  voice_count, piece_start.
// Writes: the PARAM nodes of every voice (through param_annos_to_nodes: a PARAM node before
//         a note without a text goes), param[].changed.
// Failure: none.
void rebuild_param_nodes();

// ==== param_metrics.cpp ==========================================================================
// Engraving parameters turned into the lengths that layout and drawing use: character parameters
// scaled to the staff, measured and drawn, and metrics chosen by the kind of note or rest. Every
// length is in tenths of a point, scaled to the staff size at the point of use as param_lookup.h's
// scale_param_length does.

struct StaffData;

// ---- Character parameters -----------------------------------------------------------------

// Copies the character value in force into dest, with its point size, x and y scaled to the
// staff (the size kept to 8 bits); returns dest.
ParamValue* scaled_char_param(ParamValue* dest, int pindex, Drosa node, const StaffData* staff);

// Width of text (or, with nullptr, of the value's own character) drawn in the value's font,
// style and size, measured in the measuring port at the current zoom.
int32_t param_string_width(ParamValue value, const char* text);

// Drawing modes of pDrawChar.
inline constexpr int DRAW_CHAR_UNZOOMED = 0;  // sizes and offsets as they are (tenths / 10)

inline constexpr int DRAW_CHAR_PALETTE = 2;  // any other mode: the piano window's palette

// pDrawChar: draws the parameter's character (or text in its font) at the pen of the
// current port, offset by the parameter's x and y.
// Reads:  the parameter at node (a NOTE or NIL), prefs.use_sonata_font(), zoom_factor.
// Writes: the current port's pen, text font, face and size.
// Failure: a node that is not a NOTE is reported at level 4 and nothing is drawn.
void pDrawChar(int pindex, Drosa node, const char* text, int mode);

// The nearest 32-bit integer, halves away from zero; not a number gives INT32_MIN, and a
// value beyond the range gives the nearest end of it.
int32_t round_nearest_int(double x);

// ---- Metrics by note value ------------------------------------------------------------------

// Note-head width of a note with its NTDATA; widest: a whole note at its widest point.
int32_t hdw(Drosa note, int widest);

// How far a rest's glyph reaches below (descend) and above (ascend) its y, and the space
// given to it; screen: use the screen rest glyph (xscrrestchar) rather than the printed one.
int32_t rest_descend_size(Drosa rest, int screen);

int32_t rest_ascend_size(Drosa rest, int screen);

int32_t rest_width(Drosa rest, int screen);

// Offsets of slur ends; side 2 = above, anything else below.
int32_t slur_end_xoffset(Drosa note, int at_stem_end, int side);

// y offset of a single-pitch tremolo from the stem end or the beam.
int32_t tremolo_yoffset(Drosa note, int beamed);

// x offset of a tuplet number; direction 2 = stem up.
int32_t tuplet_number_xoffset(Drosa note, int direction, int at_stem_end);

// The space after a key signature (0 for one without accidentals).
int32_t param_pair_select(Drosa node, const StaffData* staff);

// The width of accidental `code`, or with a group (a node holding a count byte and that many
// accidental codes, as KEYSIG and SPACC do) the summed width of its codes.
int32_t param_group_width(Drosa node, const StaffData* staff, int code, Drosa group);

// ---- Page margins of a staff ----------------------------------------------------------------

// Left and right x of a staff's systems on the page (staff: a pstaff of the page, negative
// for none); parity: the page number, whose low bit chooses the odd-page margins.
int32_t staff_left_x(int staff, int parity);
int32_t staff_right_x(int staff, int parity);

// The page's left x, width and height in the current view, in tenths of a point. No view
// keeps a page offset yet, so the left x is 0; the width and height come from the current
// notation context's options (tenths of an inch, 72 tenths of a point each). y grows upward
// from the page's bottom, so the height is also the y of its top.
int32_t layout_page_left_x();
int32_t layout_page_width();
int32_t layout_page_height();

// ==== params_globals.cpp =========================================================================
// The program-wide state of the engraving parameters.

// ---- The table ------------------------------------------------------------------------------

extern ParamRecord param[PARAM_SLOTS];  // every parameter by pindex 1..753 (slot 0 unused)

extern int32_t min_line_width;  // minimum line width the table was last built with

// ---- Lookups --------------------------------------------------------------------------------

extern int32_t param_ref_size;  // reference staff size of the value param_value returned last
extern int32_t param_cur_size;  // staff size at the point of the last lookup
// Each voice's PARAM nodes before the page last located, newest first, chained through
// xprev_param (built by the page locator).
extern Drosa page_param_lists[64];

// Empties the table (param_init builds it), puts the lookup and editor state back to its
// start and empties the lookup index.
void reset_params_globals();
