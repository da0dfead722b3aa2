// anno_classes.h: the classes of text annotations (what a text is: a title, a lyric, a
// dynamic...), the style each class gives a text, the template resets of the Line and Curve
// commands, and where a new text of a class goes.
#pragma once

#include <cstdint>

#include "annotations/anno_services.h"
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
