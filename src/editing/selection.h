// selection.h: the selection (selection.cpp) and the presses and arrow keys that change it
// (mouse_and_keys.cpp).
#pragma once

#include <cstdint>

#include "editing/editing_globals.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"

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
// for_each_group_selected: fn for each member of the group on the current page (selected notes
// in MUSIC_MODE, annotations marked in their PDATA otherwise), voice by voice, each handed on
// only when the next is found: fn may change or remove the node it is given.
void for_each_group_selected(void (*fn)(Drosa node));
// apply_with_line_partner: fn for the node, first for its partner when it is one part of a line
// pair whose other part the walk will not visit.
void apply_with_line_partner(Drosa node, void (*fn)(Drosa node));
// for_each_selected: the annotation side: fn for each annotation of a group (outside
// MUSIC_MODE), else for current_anno (and first its line partner), else with arg -1 for the
// text and line templates; arg 1 refreshes the window afterwards.
void for_each_selected(void (*fn)(Drosa node), int arg);
// The first node the dispatch would visit that is a drawn note, else the last visited; the
// first visited; the last visited. NIL when nothing is selected.
Drosa find_first_visible_noterest();
Drosa find_first_walked_node();
Drosa find_last_walked_node();
// set_note_selected: xselected of the note, or of every note of its vertical chord, made equal
// to `selected`, marking and unmarking only the notes that change.
void set_note_selected(Drosa note, int selected, int whole_chord);

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
// point goes to the note now nearest to where it was.
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

// ---- Stepping the selection
// ---------------------------------------------------------------------- move_selection_by_key: an
// arrow key (28 left .. 31 down) with its modifiers: Left and Right step through the notes (by
// chords with Command; stretching the group with Shift), Up and Down through the voices,
// Option-Left and -Right through the annotations. 1 when the key was used.
int move_selection_by_key(int key, int option, int command, int shift);
// cursor_next_note, cursor_prev_note: the insertion point (the group's anchor while a group
// exists) to the next or previous NOTE of its voice on the page; 0 when there is none (the
// page ends, or the voice is not printed there).
int cursor_next_note();
int cursor_prev_note();
// cursor_next_staff: the insertion point to the note at its time in the next (step 1) or
// previous (-1) shown voice that is printed there, wrapping round.
void cursor_next_staff(int step);
// find_voice_start_note: the first NOTE (drawn_only: drawn note) on the page of the first voice,
// from `voice` by `step` (a negative voice counts from the end), that has one; that voice is
// selected. None: no voice is selected, NIL.
Drosa find_voice_start_note(int voice, int step, int drawn_only);
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
