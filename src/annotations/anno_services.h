// anno_services.h: what the rest of the program asks of the annotation subsystem.
// Other folders include this header and no other header of annotations/.
#pragma once

#include "annotations/anno_fields.h"
#include "annotations/anno_runs.h"
#include "annotations/command_texts.h"
#include "model/model_services.h"

// Gives the TPARAM `node` the annotation class `cls` (0..24) with that class's style.
void anno_set_class(int cls, int flag, int size, Drosa node, int mode);

// A point size or distance converted for the current zoom: size x 10.0 / zoom_factor,
// plus 0.5, truncated (the standard zoom, 10.0, leaves it as it is).
int pixels_to_tenths(int size);

// Ends in-place text editing, line and curve annotation modes and the annotation selection,
// and returns MODE to MUSIC_MODE.
void end_anno_selection(int a, int b);

// Deletes, with undo, the annotations before the node that are marked for deletion.
void delete_marked_annos(Drosa node);

// anno_anchor: the text of the annotation whose TPARAM is given (every style run), cut to fit
// and NUL-terminated, into a buffer of `size` bytes.
void anno_anchor(char* buffer, int size, Drosa tparam);

// ---- Annotation passes of the page formatter (drawanno.cpp) ----------------------------------
// The three annotation passes of a system, run in this order after the slurs; each appends
// the graphics elements of its annotations and gives 0 when interrupted, else 1.
int32_t draw_voice_annos();
int32_t draw_pstaff_texts();
int32_t draw_pstaff_annos();

// Idle time of in-place text editing (the caret's blink).
void text_idle();

// ---- Copies of annotations at each system and each page -----------------------------------
// repeat_annos_at_system: makes (make 1) or deletes (0) the copies of the annotations that
// repeat at each system, before the node at a system start; returns the node after which
// further nodes may follow. No annotation repeats yet: the node itself.
Drosa repeat_annos_at_system(Drosa node, int make);
// repeat_annos_at_page: the same for the annotations that repeat on each page, at the ENDSYST
// that starts the page. None repeats yet.
void repeat_annos_at_page(Drosa endsyst, int make);
