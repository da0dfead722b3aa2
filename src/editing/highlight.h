// highlight.h: the selection shown on the page by exclusive-or painting (highlight.cpp).
#pragma once

#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"
#include "platform/port.h"

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
