// anno_least.h: the least of the line annotations and of hidden text that the annotation passes
// need, until they are built: segments of lines that run over several systems are drawn only
// as the marks across whole systems, shapes as their plain line, texts of several lines line
// by line, and hidden texts are shown by their category's bits of the preferences.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// layout_lines: 1 when the ENDLINE of the BEGLINE `begline` lies beyond a visible ENDSYST after
// the system's first note `first_note`, so that the line crosses the whole system.
int layout_lines(Drosa begline, Drosa first_note);
// layout_hairpins: 1 when the line is drawn on this system: a whole line or a mark across the
// system; a BEGLINE or ENDLINE is not drawn yet.
int layout_hairpins(Drosa line, Drosa note);
// draw_anno_graphic: a line of another style than a plain line: drawn as its plain line.
void draw_anno_graphic(Drosa line, Drosa note, int mode, int pstaff);
// layout_anno_text: a text of several lines, or a vertical (fingering) text, emitted line by
// line from its PDATA's start: each line (a character, for vertical text) justified within the
// block and a line's spacing (or, without one, its size) plus parameter 615 below the last.
void layout_anno_text(Drosa tparam, Drosa note, int mode, int pstaff, int lines, int spacing);
// hidden_text_where: where a text is shown: 1 everywhere, 2 on the screen only, 3 in print
// only, -1 nowhere. A text not marked Hidden is shown everywhere; a hidden one by the bits of
// its category in the preferences' hide word (commands, fingerings, other texts).
// Failure: a node that is not a visible TPARAM: level 4 "Bad call to hidden_text_check!", -1.
int hidden_text_where(Drosa tparam, Drosa note);
