// parts_voices_dialog.h: the staff list of the Parts and Voices dialog.
#pragma once

#include "model/drosa.h"

// The dialog's staff records (VOICES nodes) in list order; NIL when the dialog is closed.
extern Drosa staff_list_head;

// The row of the staff list for a record, into dst (at least 256 bytes).
void staff_list_text(Drosa record, char* dst);
