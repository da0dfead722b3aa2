// anno_clipboard.h: annotations cut, copied, pasted and cleared; duplicates at each system, on
// each page and in every part, kept in step when systems are rebuilt.
#pragma once

#include <cstdint>

#include "annotations/anno_services.h"
#include "model/model_services.h"

// anno_copy_one: one annotation of the command anno_cut_copy is running.
// Failure: level 4 "Annotation not visible for cut or copy." for one not placed (Cut, Copy).
void anno_copy_one(Drosa anno);
// everyparter: copies of `list` before the note at the note's time in every shown voice, or
// with NIL the In Every Part copies there deleted (and at the grace notes after it).
// Failure: level 4 "Bad call to everyparter; not in Score!" outside the Score; nothing done.
void everyparter(Drosa note, Drosa list);
