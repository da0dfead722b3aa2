// drawtext.h: one text or line annotation turned into graphics elements, and the measuring,
// trimming and clipping they share.
#pragma once

#include <cstdint>
#include <string>

#include "annotations/anno_services.h"
#include "annotations/lyric_lines.h"
#include "model/model_services.h"

// ---- Text -----------------------------------------------------------------------------------

// get_anno_text: the text of one style run as anno_run_text gives it, as a C string of at
// most size - 1 characters. Returns the length.
int get_anno_text(char* buffer, int size, Drosa tparam);

// trim_text_underscores: takes the underline extender marks off a run's text: a leading "_"
// with the blanks after it (first run only) and a trailing "_" with the blanks before it
// (last run only), neither in a music font (codes -1 to -3); lead and trail are set for each
// found. Nothing is done for a text with "Extend Underlines" (xkeep_underline) or Horizontal
// Lock.
void trim_text_underscores(Drosa head, Drosa run, std::string* text, bool* lead, bool* trail);

// centred_hyphen_text: whether the text of the annotation headed by `head` ends in a hyphen
// that the hyphen pass draws centred between its syllable and the next: a single run, not
// "Center Hyphens" kept, without Horizontal Lock, not in a music font.
bool centred_hyphen_text(Drosa head, const std::string& text);

// anno_string_width: the width in page units of a text in the font, size and face of the style
// run `run` of the annotation headed by `head`, as drawn at `note`.
// Reads and writes: anno_measure_cache (texts measured once).
int32_t anno_string_width(Drosa note, Drosa head, Drosa run, const std::string& text);

// ---- Placing --------------------------------------------------------------------------------

// clip_anno_line: brings an annotation that lies wholly off the page back onto it: its PDATA
// page rectangle moves so that it reaches 80 units into the page horizontally (a text narrower
// than the page comes in whole, 80 units inside the edge) or 50 vertically (a text whose base
// line lies below the page's bottom always comes up to 50). Returns 1 when it moved.
int clip_anno_line(Drosa anno);

// lyric_syllable: a syllable of lyrics (a single-line text of the lyric class, shown) attached
// before `note` on printed staff pstaff, where its own offsets put it; *drawn_pstaff gets the
// staff it is drawn on. False for any other text.
// Reads: the annotation, the note, staff_data; its offsets (anno_refloc, requests resolved).
bool lyric_syllable(Drosa tparam, Drosa note, int pstaff, LyricSyllable* syllable,
                    int* drawn_pstaff);

// ---- Drawing ---------------------------------------------------------------------------------

// resolve_text_requests: folds a text's pending reference requests into its offsets as drawing
// it at `note` on printed staff pstaff would (anno_refloc).
void resolve_text_requests(Drosa tparam, Drosa note, int pstaff);

// drawtext: the graphics elements of the text annotation headed by `tparam` attached before
// `note` on printed staff pstaff: its runs, box, chord-symbol underline, extenders and the
// mark of hidden or moved text; its PDATA gets its place. where 1 asks hidden_text_where for
// where it is shown; lead_extender 1 lets a leading underline extender be drawn. An
// annotation that stands for an element of the music binds to it first (find_obj) and may be
// deleted; the node that then took its place is returned, else tparam.
// A text that follows its note ends at the system's right end at the latest.
// Reads:  the annotation, the note and its chord, staff_data, the staff's margins on the
//         current page, parameters 303-305, 364-367, 392, 593, 594, 741. Writes: the GE list, the
//         PDATA, anno_hyphens_pending, the tail of a fingering's first TEXT node; the annotation's
//         offsets (anno_refloc).
// Failure: a continuation run: level 4 "drawtext has bad xadjacent text", nothing drawn. A
//         text not drawn (NODRAW) that stands for no element: level 4 "TPARAM with NODRAW but
//         without xeocvar in drawanno".
Drosa drawtext(Drosa tparam, Drosa note, int pstaff, int where, int lead_extender);

// draw_LINE: the graphics elements of the line or curve annotation `line` attached before
// `note` on printed staff pstaff (shapes other than plain lines through draw_anno_graphic);
// its PDATA gets its ends.
// Failure: a line not drawn that stands for no element: level 4 "LINE with NODRAW but without
//          xeocvar in drawanno".
Drosa draw_LINE(Drosa line, Drosa note, int pstaff, int where);
