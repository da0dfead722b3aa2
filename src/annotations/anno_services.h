// anno_services.h: what the rest of the program asks of the annotation subsystem.
#pragma once

#include "model/drosa.h"

// Gives the TPARAM `node` the annotation class `cls` (0..24) with that class's style.
void anno_set_class(int cls, int flag, int size, Drosa node, int mode);

// Re-creates the PARAM nodes attached before the note from its "param" command annotations.
void param_annos_to_nodes(Drosa note);

// Ends in-place text editing, line and curve annotation modes and the annotation selection,
// and returns MODE to MUSIC_MODE.
void end_anno_selection(int a, int b);

// Deletes, with undo, the annotations before the node that are marked for deletion.
void delete_marked_annos(Drosa node);
