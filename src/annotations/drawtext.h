// drawtext.h: one text or line annotation turned into graphics elements, and the measuring,
// trimming and clipping they share.
#pragma once

#include <cstdint>
#include <string>

#include "model/model_services.h"

// The most characters of one style run that drawing and measuring read.
inline constexpr int ANNO_RUN_TEXT_LIMIT = 255;

// What measure_anno_text finds out about a text besides its width. All lengths are page units
// (tenths of a point).
struct AnnoTextMeasure {
  int32_t width = 0;                             // the widest line
  int16_t ascent = 0, descent = 0, leading = 0;  // the largest of every run
  int16_t max_size = 0;                          // the largest xtextsize of the runs
  // 0 for a single line; the number of line feeds + 1 when there are line feeds; else minus
  // the number of carriage returns.
  int16_t line_count = 0;
  int16_t pad = 0;      // the width of " " (of "-" when the text ends in a centred hyphen)
  bool hyphen = false;  // the text ends in a centred hyphen
  bool leading_extender = false;   // the text begins with an underline extender
  bool trailing_extender = false;  // the text ends with an underline extender
  bool music_font = false;         // some run is in a music font (Quor or Sayl)
};

// ---- Text -----------------------------------------------------------------------------------
// get_anno_text: the text of one style run (the TEXT nodes after the TPARAM, skipping its
// PDATA, while the current context sees them) as a C string of at most 255 characters (and
// at most size - 1); characters below 32 but line feed and return become blanks. Returns the
// length.
int get_anno_text(char* buffer, int size, Drosa tparam);
// The same text as a string.
std::string anno_run_text(Drosa tparam);

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

// measure_anno_text: the width of the text of the annotation headed by `tparam` as it is
// drawn at `note` (every style run in its own font, face and size scaled to the note's staff;
// the hyphen and extender marks left out); `out` (may be null) receives the rest of the
// measurement. Text is measured at its point size, whatever the zoom.
// Reads:  the annotation's nodes, the note's layout record, the measuring port.
// Writes: anno_measure_cache (each text measured once); the measuring port's text state only
//         while it measures.
// Failure: a node that is not a TPARAM gives 0 and an empty measurement.
int32_t measure_anno_text(Drosa note, Drosa tparam, AnnoTextMeasure* out);
// anno_string_width: the width in page units of a text in the font, size and face of the style
// run `run` of the annotation headed by `head`, as drawn at `note`.
// Reads and writes: anno_measure_cache (texts measured once).
int32_t anno_string_width(Drosa note, Drosa head, Drosa run, const std::string& text);

// ---- Placing --------------------------------------------------------------------------------
// clip_anno_line: brings an annotation that lies wholly off the page back onto it: its PDATA
// page rectangle moves so that it reaches 80 units into the page horizontally or 50
// vertically (a text whose base line lies below the page's bottom always comes up to 50).
// Returns 1 when it moved.
int clip_anno_line(Drosa anno);

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
// Reads:  the annotation, the note and its chord, staff_data, parameters 303-305, 364-367,
//         392, 593, 594, 741. Writes: the GE list, the PDATA, anno_hyphens_pending, the tail
//         of a fingering's first TEXT node; the annotation's offsets (anno_refloc).
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
