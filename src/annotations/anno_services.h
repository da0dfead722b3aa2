// anno_services.h: what the rest of the program asks of the annotation subsystem.
// Other folders include this header and no other header of annotations/.
#pragma once

#include "annotations/anno_classes.h"
#include "annotations/anno_clipboard.h"
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
#include "annotations/text_assistant.h"
#include "annotations/text_mode.h"
#include "model/model_services.h"
#include "platform/events.h"

// A point size or distance converted for the current zoom: size x 10.0 / zoom_factor,
// plus 0.5, truncated (the standard zoom, 10.0, leaves it as it is).
int pixels_to_tenths(int size);

// ---- Selection marks of annotations (anno_marks.cpp) ------------------------------------------
// anno_highlight: shows (how 2) or takes away (1) the mark of the selected annotation: squares
// of 40 pixels inverted at the two corners of its box (and of 20 at a line's control points) in
// the page image; the window is refreshed unless how is 0. An annotation not placed has none.
void anno_highlight(Drosa anno, int how);
// group_highlight_anno: the mark of a member of an annotation group, drawn or taken away by
// exclusive-or: an X in a square of 40 pixels at each corner of its box, in the page image.
// Failure: level 4 "group_highlight_anno in MUSIC_MODE!"; drawn all the same.
void group_highlight_anno(Drosa anno);
