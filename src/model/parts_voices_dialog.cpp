// parts_voices_dialog.cpp: the Parts and Voices dialog.
//
// The dialog is not built yet: its staff list is always empty.
#include "model/parts_voices_dialog.h"

Drosa staff_list_head;

void staff_list_text(Drosa /*record*/, char* dst) { dst[0] = 0; }
