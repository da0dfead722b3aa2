// gselect.h: field assignment by field name: the attribute commands name a node field and a
// value, and one routine gives that value to the field of every node of the selection, with
// undo; the same names ask what value the selection has, for the menus' marks and the note
// palette's boxes. A field is named by its descriptor (node_fields.h, anno_fields.h): the
// routines compare descriptors by address, never by text.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"

// ---- Assigning ----------------------------------------------------------------------------------

// do_anno_field_assignment: the same for an annotation (its TPARAM runs or its LINE).
// Failure: level 4 "Attempted to set xanno_selected in do_anno_field_assignment" (the bit is
// cleared), "Pointer %p is kind %d in  do_anno_field_assignment" (nothing changes).
void do_anno_field_assignment(Drosa anno);

// ---- Asking ---------------------------------------------------------------------------------

// do_note_field_check, do_anno_field_check: fold a node's value of gselect_field_name into
// gselect_field_value (-111 before the first node, -222 once two differ).
// Failure: level 4 "unrecognized gselect_field_name in do_note_field_check", "Pointer %lx is
// kind %hd in  do_anno_field_check"; the node is not counted.
void do_note_field_check(Drosa note);
void do_anno_field_check(Drosa anno);

// line_pair_member: one part of a line pair: a LINE the context sees whose 7 bits of byte 47
// are 0 and whose 7 bits of byte 27 are not.
bool line_pair_member(Drosa node);
