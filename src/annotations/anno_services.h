// anno_services.h: what the rest of the program asks of the annotation subsystem.
// Other folders include this header and no other header of annotations/.
#pragma once

#include "annotations/anno_classes.h"
#include "annotations/anno_codes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_refloc.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_select.h"
#include "annotations/anno_shapes.h"
#include "annotations/command_texts.h"
#include "annotations/drawanno.h"
#include "annotations/drawtext.h"
#include "annotations/dynamics.h"
#include "annotations/hidden_text.h"
#include "annotations/line_annos.h"
#include "annotations/midi_commands.h"
#include "model/model_services.h"
#include "platform/events.h"

// A point size or distance converted for the current zoom: size x 10.0 / zoom_factor,
// plus 0.5, truncated (the standard zoom, 10.0, leaves it as it is).
int pixels_to_tenths(int size);

// Idle time of in-place text editing (the caret's blink).
void text_idle();

// ---- In-place text editing (text mode) ---------------------------------------------------------
// text_start: starts editing a text at the insertion point: 2 a new text, 3 a new text below
// the one finished last, 4 the selected annotation.
void text_start(int how);
// text_finish: ends editing (convert 1: what was typed becomes an annotation).
void text_finish(int convert);
// text_redraw: draws the text being edited again, after the page was copied over it.
void text_redraw();
// text_update: the same, in text mode only.
void text_update();
// text_click: a press in the music window in text mode; 1 when the text being edited took it.
int text_click(Point where, int extend);
// text_key: a key typed into the text being edited.
void text_key(const EventRecord& event);
// text_mode_toggle: ends the present edit and starts a new text at the window point.
void text_mode_toggle(Point where);

// ---- The annotation clipboard -------------------------------------------------------------------
// anno_cut_copy: Cut (4), Copy (5) or Clear (7) of the selected annotations (label 'M'), or
// the copy a Duplicate command starts from ('B', 'I', 'K'); 1 when done, 0 when refused.
int anno_cut_copy(int item, int label, Drosa only_this_anno);

// ---- Selection marks of annotations (anno_marks.cpp) ------------------------------------------
// anno_highlight: shows (how 2) or takes away (1) the mark of the selected annotation: squares
// of 40 pixels inverted at the two corners of its box (and of 20 at a line's control points) in
// the page image; the window is refreshed unless how is 0. An annotation not placed has none.
void anno_highlight(Drosa anno, int how);
// group_highlight_anno: the mark of a member of an annotation group, drawn or taken away by
// exclusive-or: an X in a square of 40 pixels at each corner of its box, in the page image.
// Failure: level 4 "group_highlight_anno in MUSIC_MODE!"; drawn all the same.
void group_highlight_anno(Drosa anno);

// ---- Copies of annotations at each system and each page -----------------------------------
// repeat_annos_at_system: makes (make 1) or deletes (0) the copies of the annotations that
// repeat at each system, before the node at a system start; returns the node after which
// further nodes may follow. No annotation repeats yet: the node itself.
Drosa repeat_annos_at_system(Drosa node, int make);
// repeat_annos_at_page: the same for the annotations that repeat on each page, at the ENDSYST
// that starts the page. None repeats yet.
void repeat_annos_at_page(Drosa endsyst, int make);

// text_edit_length: the length of the text being edited in TEXT_MODE; 0 none.
int text_edit_length();
// text_has_selection: 1 when the text being edited has a non-empty selection.
int text_has_selection();

// ---- What the menus ask (anno_least.cpp) --------------------------------------------------------
// count_annotations: nine flags about the selected annotations, in this order: At Each System,
// On Each Page and In Every Context allowed; settings unusual for each of the three; and
// repetitions of each of the three present. Nothing is selected yet: all 0.
void count_annotations(int32_t flags[9]);
