// anno_classes.h: the classes of text annotations (what a text is: a title, a lyric, a
// dynamic...), the style each class gives a text, the template resets of the Line and Curve
// commands, and where a new text of a class goes.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// Text classes (xclassify).
enum AnnoClass {
  CLASS_NOT_CLASSIFIED = 0,
  CLASS_OTHER = 1,
  CLASS_TITLE = 2,
  CLASS_COMPOSER = 3,
  CLASS_REHEARSAL = 4,
  CLASS_LYRIC = 5,
  CLASS_TEMPO = 6,
  CLASS_DYNAMIC = 7,
  CLASS_FINGERING = 8,
  CLASS_PEDAL = 9,
  CLASS_FRET_GRID = 10,
  CLASS_CHORD_SYMBOL = 11,
  CLASS_MIDI = 12,
  CLASS_LABEL = 13,
  CLASS_ARTICULATION = 14,
  CLASS_BREATH = 15,
  CLASS_ORNAMENT = 16,
  CLASS_REPEAT = 17,
  CLASS_COPYRIGHT = 18,
  CLASS_BOWING = 19,
  CLASS_PAUSE = 20,
  CLASS_MOOD = 21,
  CLASS_TEMPO_ALTERATION = 22,
  CLASS_POET = 23,
  CLASS_SUBTITLE = 24,
  CLASS_COUNT = 25,
};

// anno_class_name: the class's name, lower case ("tempo marking") for messages, capitalised
// ("Tempo Marking") for menus and the information line; "ERROR BAD VALUE" outside 0..24.
const char* anno_class_name(int cls, bool capitalised);

// ---- Setting a class ----------------------------------------------------------------------------
// anno_set_class: gives the TPARAM t class c and its style: the style of the class's model
// annotation when there is one (its flags, context, and, unless keep_music_font is set and t is
// in a music font, its font and size), else the class's built-in defaults, whose font and size
// are set only with force or when c is not the class set last (at staff size z, 50 when 0 or
// less); a fingering then takes the fingering style. The line template follows the text
// template's locks, draw mode and context. A class outside 0..24 is kept as it is, with no style.
// Returns c.
// Reads:  class_models, last_class_set, current_ncontext, parameter 612.
// Writes: t; line_template when t is text_template; last_class_set (not when a model served).
int anno_set_class(int c, int force, int z, Drosa t, int keep_music_font);
// anno_set_default_style: the fingering style (font, character set, size and face of parameter
// 612 "default font info for fingerings") at the insertion point, or at the drawn note nearest
// its place when it has none.
void anno_set_default_style(Drosa tparam);

// ---- Template resets of the Line and Curve commands ----------------------------------------
// Both clear the text template's Horizontal Lock, draw mode and colour and set its Vertical
// Lock, and in the line template set Vertical Lock and clear Horizontal Lock, draw mode, dashes
// and colour; both templates go to every context. curve_mode_reset makes the line template a
// curve, fat in the middle, bowing up (style 1) or down (2); line_mode_reset a line of style s,
// width 10, of one system.
// Writes: text_template, line_template; new_curve_direction.
void curve_mode_reset(int style);
void line_mode_reset(int style);

// ---- Where a new text goes --------------------------------------------------------------------
// anno_text_origin: the default place (page units) of a new text of the text template's class
// at the insertion point, drawn on the screen: the class model's offsets from the note's
// reference point, else the class's place (titles centred at the page's top, a copyright at
// its foot, a composer right and a poet left above the staff, a label left of it, marks just
// above the chord, other texts above the staff); 0 when the class has none.
// Reads: insertion_point, text_template, class_models, the page and staff layout, parameters 3
//        and 185.
int anno_text_origin(int32_t* x, int32_t* y);

// anno_words_near_note: 1 when the lyric at the height of `tparam` among the lyrics attached
// before the same note (class 5, or a centred text with Leave Space in a text font) ends in a
// hyphen that carries the word on; *verse receives its verse number, counted down in lines of
// the text's size plus 4 points from the highest lyric there.
int anno_words_near_note(Drosa tparam, int* verse);

// new_pedal_anno: a hidden pedal marking (the glyph of parameter 606 "pedal marking" when down,
// else 607 "pedal up marking"), with Vertical Lock, at parameters 579 and 580, inserted before
// the note with undo. Returns its TPARAM; NIL (reported) without a note.
// Failure: level 4 "Bad call to new_pedal_anno: no note".
Drosa new_pedal_anno(Drosa note, int down);
