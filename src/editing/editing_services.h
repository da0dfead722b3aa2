// editing_services.h: what the rest of the program asks of the selection and editing code.
// Other folders include this header and no other header of editing/.
#pragma once

#include "editing/acc.h"
#include "editing/editing_globals.h"
#include "editing/systems.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"

// Makes the visible note nearest to a page point the insertion point.
void cursor_to_nearest_visnote(PagePoint point, int a, int b, int c);

// Operations on the SPACC, COLOR, TSMOD and NEST nodes attached before a NOTE:
// 2 removes them with undo; 3 and 4 skip them forward or backward.
inline constexpr int UNARY_DELETE = 2, UNARY_SKIP_FORWARD = 3, UNARY_SKIP_BACK = 4;
Drosa unary_node(int op, Drosa node);

// Applies a per-note routine to each note of the group selection, or to the insertion point
// when there is no group selection (there is none yet: the insertion point only).
void apply_to_cursor_or_group(void (*per_note)(Drosa note), int flag);

// Sets a field on every selected note or annotation of the field's kind (the group selection,
// else the insertion point or the selected annotation), with undo, and marks the piece
// changed. Only the insertion point can be selected yet.
void assign_selection_field(const NodeField& field, int value, int refresh);

// Scrolls so that the insertion point is in view.
void make_cursor_visible();

// ---- Key signatures (keysig.cpp) ---------------------------------------------------------------
// remove_naturals_from_key: drops every cancelling natural (code 14 and up) of a KEYSIG,
// keeping the order of the other entries, and sets the count to what remains.
// Failure: level 4 "NIL pointer for remove_naturals_from_key" for no node.
void remove_naturals_from_key(Drosa key);

// ---- Staff drags -------------------------------------------------------------------------------
// update_SDRAG_on_page: removes, with undo, every SDRAG of the node's voice between the ENDSYST
// that starts the node's page and the one that ends it, and marks the piece changed when
// one went.
// Reads: current_ncontext. Writes: the voice list (recorded), DrosaDirty.
void update_SDRAG_on_page(Drosa node);

// ---- The insertion point and the selected voice ------------------------------------------
// set_insertion_point: makes node (NIL: none) the insertion point; a drawn note also becomes
// the selected voice's and gives insertion_point_pos its head position; otherwise voice, when
// not -10, is selected. With show the window scrolls to it. The note starts flashing.
// Reads:  the node's NTDATA. Writes: insertion_point, insertion_point_pos,
//         insertion_point_flashing, selected_voice, flashing_node, the window title.
void set_insertion_point(Drosa node, int show, int voice);
// set_selected_voice: selects voice v, -10 none.
// Failure: level 4 "Voice number %hd is out of range in set_selected_voice!  There are %hd
//          voices." and voice 0 is selected.
void set_selected_voice(int v);
// cursor_to_time: puts the insertion point on the drawn note at the start of the measure and
// beat (from 1) in the first shown voice that has one, trying first_voice first (negative:
// from voice 0); measure -1, or no such note, puts it on the first drawn note of the page of
// the selected voice (voice 0 when none is selected, or the first shown voice).
// Reads:  the voice lists, page_start, selected_voice. Writes: as set_insertion_point.
void cursor_to_time(int32_t measure, int first_voice, double beat);

// ---- Measures and beaming ----------------------------------------------------------------
// get_timesig_beaming: the default beam grouping of a time signature: the beat value of its
// groups and of its secondary groups (time units).
// Failure: level 4 "bad call to get_timesig_beaming" for a node that is no visible TIMESIG;
//          0 and 0.
void get_timesig_beaming(Drosa timesig, int32_t* group, int32_t* sub);
// make_measures: the first measures of a new piece (new_piece 1): asks how many, then appends
// to every voice that many measures of rests in the time signature, four measures to a system
// and six systems to a page, each measure closed by a BAR. part_name (256 bytes, may be
// nullptr) receives the part name chosen, here always empty. 1 when built, 0 when the user
// cancelled or the measures cannot be made.
// Reads:  timesig, voice_count, piece_start, current_ncontext.
// Writes: the voice lists (not recorded for undo: the piece is new), DrosaDirty, the view flags.
// Failure: level 2 "Measure insertion is possible only from notation context '%s'."; level 4
//          "Insert measures: beat value must be a power of two", and, for a piece that is not
//          new, "make_measures: only the measures of a new piece are made here"; 0.
int make_measures(Drosa timesig, int new_piece, char* part_name);

// ---- Clicks and keys in the music window --------------------------------------------------
// Until selecting and editing exist (editing_least.cpp) a click is left to the main loop,
// which moves the insertion point, and the drags, the rubber band and the arrow keys do
// nothing.
// music_click: 1 when it did not handle the click at the window point.
int music_click(Point where, uint32_t when, int flag, int shift);
// find_nearest_visnote: the visible note nearest to the page point; NIL none.
Drosa find_nearest_visnote(PagePoint point, int flag, int selection_flag);
// toggle_xselected: adds a note or annotation to the group selection or takes it out.
void toggle_xselected(Drosa node, int flag);
// drag_chord: follows the mouse and moves the chord (type 'c') or what the type names.
void drag_chord(Point where, int type);
// next_drag_staff: follows a staff drag from a point of the music area.
void next_drag_staff(Point where, Rect area);
// drag_select_rect: follows a rubber-band rectangle into *out (nullptr: cursor feedback only);
// 3 when a rectangle was selected.
int drag_select_rect(Point where, uint32_t when, VirtualRect* out);
// move_selection_by_key: non-zero when it handled an arrow key.
int move_selection_by_key(int character, int option, int command, int shift);
// delete_notes_command: deletes the selected notes.
void delete_notes_command(int flag);
// node_window_rect: a note's rectangle in the music window; false when it is not drawn.
bool node_window_rect(Drosa note, Rect* out);

// ---- Dialogs -------------------------------------------------------------------------------
// layout_dialog: the Layout dialog on the current notation context's options record; non-zero
// when something changed. Says that it is not available yet.
int layout_dialog();

// ---- The menus' view of the selection (editing_least.cpp) ---------------------------------------
// mark_menu_from_selection: tests a field over the selection and marks the menu item when the
// selection holds `value` in it: for a field of a NOTE or of its tie and slur modifier (TSMOD;
// 0 without one), in MUSIC_MODE, the notes of a group selection, else the insertion point;
// for an annotation field the selected annotations (there are none yet). Returns the value the
// template is to keep: with a group selection the common value (values 0, -333 any colour and -444
// any line kind compare as the Parts say), or `template_value` when the group holds none or mixed
// values; without one `template_value`. Reads: group_selected, MODE, insertion_point, the notes'
// xselected. Writes: the item's mark.
int mark_menu_from_selection(int16_t menu, int item, const NodeField& field, int value,
                             int template_value);
// The annotation before and after the selected one (or the insertion point) on the page;
// NIL none (there are no annotations to select yet).
Drosa prev_visible_anno(Drosa from);
Drosa next_visible_anno(Drosa from);
// clear_music_scrap: 0 frees the internal clipboard; 1 does the same only when the system
// clipboard holds styled text or a picture (the system clipboard is not read yet: nothing).
// Writes: clipboard_list, clipboard_kind.
void clear_music_scrap(int flag);
