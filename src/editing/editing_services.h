// editing_services.h: what the rest of the program asks of the selection and editing code.
// Other folders include this header and no other header of editing/.
#pragma once

#include "editing/editing_globals.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"

// Makes the visible note nearest to a page point the insertion point.
void cursor_to_nearest_visnote(PagePoint point, int a, int b, int c);

// Operations on the SPACC, COLOR, TSMOD and NEST nodes attached before a NOTE:
// 2 removes them with undo; 3 and 4 skip them forward or backward.
inline constexpr int UNARY_DELETE = 2, UNARY_SKIP_FORWARD = 3, UNARY_SKIP_BACK = 4;
Drosa unary_node(int op, Drosa node);

// Re-evaluates the printed accidentals around a stretch of a voice: 103 before it is
// removed, 102 after a new stretch is inserted.
void adjust_accidentals(int op, Drosa first, Drosa last, int flag);

// Applies a per-note routine to each note of the group selection, or to the insertion point
// when there is no group selection (there is none yet: the insertion point only).
void apply_to_cursor_or_group(void (*per_note)(Drosa note), int flag);

// Sets a field on every selected note or annotation of the field's kind (the group selection,
// else the insertion point or the selected annotation), with undo, and marks the piece
// changed. Only the insertion point can be selected yet.
void assign_selection_field(const NodeField& field, int value, int refresh);

// Scrolls so that the insertion point is in view.
void make_cursor_visible();

// split_page: makes the page end before system `system` (1-based on the current page): the
// ENDSYST that ends the system before it gets xendpage in every shown voice, and the layout
// records of what now lies on the next page are dropped; the page count grows by one.
// Reads:  voice_count, page_start, current_ncontext.
// Writes: ENDSYST xendpage, layout records after the new page end, page_count, DrosaDirty.
// Failure: a system of 1 or less, or one the page does not have, changes nothing.
void split_page(int system);

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
