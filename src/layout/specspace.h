// specspace.h: what stands before a note, as the spacing of chords asks it.
#pragma once

#include "model/model_services.h"

// has_clef_key_time_before: a CLEF, TIMESIG, KEYSIG or SPACE attached before the note. At a
// system start, where clefs and keys are restated, a CLEF or KEYSIG counts only before a note
// that begins its measure.
bool has_clef_key_time_before(Drosa note, int at_system_start);
// note_has_line_or_text: a LINE or TPARAM attached before the note, or the note's annotation
// flag (0x04 of its beam and accent byte) set.
bool note_has_line_or_text(Drosa note);
