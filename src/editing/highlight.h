// highlight.h: the selection shown on the page by exclusive-or painting (highlight.cpp).
#pragma once

#include "model/model_services.h"
#include "platform/geometry.h"
#include "platform/port.h"

// DrosaRect: the note's rectangle in the page image: a rest's glyph, or a head (raised by a
// pixel; a grace head lowered by two).
// Failure: level 4 "Called DrosaRect with note not visible on screen"; an empty rectangle.
void DrosaRect(Drosa note, Rect* rect);
// highlight_note: paints the note's rectangle by exclusive-or with the pattern in the page image
// (order 0 marks, 1 unmarks: the same paint); nothing for a note that is not drawn, a hidden
// rest, or a tablature note off its strings. With refresh the window is updated.
// Writes: the page image.
void highlight_note(Drosa note, int order, const Pattern& pattern, int refresh);
// highlight_note_simple: the same with the voice pattern, no refresh.
void highlight_note_simple(Drosa note, int order);
// group_highlight_note, group_unhighlight_note: mark and unmark a note of the group selection.
// Failure: level 4 "Called group_highlight_note() while not in MUSIC_MODE; MODE is %hd." and
//          "group_unhighlight_note() while not in MUSIC_MODE; MODE is %hd"; painted all the same.
void group_highlight_note(Drosa note);
void group_unhighlight_note(Drosa note);
// highlight_voice: moves the voice marks from the selection of voice old_voice to new_voice
// (-10 none): afterwards the notes of every voice but the selected one are marked. Nothing
// when the two are equal.
void highlight_voice(int old_voice, int new_voice);
// draw_number_label: the note's glyph (a tablature note's fret number) drawn again in its
// colour in the page image.
void draw_number_label(Drosa note);
// highlight_page_marks: the marks of a page drawn afresh: the group's notes (and annotations),
// and the voice marks while voice highlighting is on. The window is not refreshed.
// Reads: group_selected, the page's xselected and xanno_selected bits, voice_highlighted,
//        selected_voice, MODE.
void highlight_page_marks();
// unmark_page_group: takes the group's marks off the page: of every selected note, and outside
// MUSIC_MODE of every annotation of the group. The bits stay. The window is not refreshed.
void unmark_page_group();
// node_window_rect: the window rectangle of the note's drawn accidental; false (and an empty
// rectangle) when it has none.
bool node_window_rect(Drosa note, Rect* out);
