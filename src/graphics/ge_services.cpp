// ge_services.cpp: the written value of tremolo notes and the measuring port.
#include "graphics/ge_services.h"

#include <algorithm>

#include "app/app_services.h"
#include "graphics/graphics_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

namespace {}  // namespace

int decode_note_type(Drosa note, int* value, int* dots) {
  int v = note->get(xlgval), d = note->get(xdots);
  *value = v;
  *dots = d;
  int t = note->get(xintimeof);
  if (!note->get(xtrembeam) || v < 4 || note->get(xtupl) != 2 || t == 0) return 0;
  int k = 0;
  while (!((t >> k) & 1)) ++k;
  int m = t >> k;
  int new_value = v - k + 2, new_dots = d;
  if (m == 3) {
    --new_value;
    ++new_dots;
  } else if (m != 1) {
    return 0;
  }
  if (new_value < 1 || new_value > 4 || new_dots > 3) return 0;
  *value = new_value;
  *dots = new_dots;
  return 1;
}

// ---- Asked by the layout passes -------------------------------------------------------------

int stemdir_by_voice_pair(int voice, int direction) {
  if (voice < 0 || voice >= MAX_VOICES) return 0;
  Drosa start = voice_data[voice].system_start;
  if (!start || effective_kind(start) != ENDSYST) return 0;
  return direction == 2 ? start->get(xsys_beamup) : start->get(xsys_beamdown);
}

// check_tab_string: the fret number of a note on a guitar-tablature string: its MIDI key less
// the string's open pitch (parameters 543..549 in force at the note).
// Failure: "String number out of range for tablature: note %lx string %hd" (level 4) for a
// string outside 1..7, which gives -1.
int32_t check_tab_string(Drosa note, int string) {
  if (string < 1 || string > 7) {
    REPORT_ERROR(4, "String number out of range for tablature: note %lx string %hd",
                 (unsigned long)note.handle(), short(string));
    return -1;
  }
  int32_t open = param_value(542 + string, note, nullptr)->integer();
  return int32_t(note->get(xpitch) >> 8) - open;
}

// ---- Least until flashing is built ---------------------------------------------------------

// Notes are not drawn yet, so there is no frame to flash.
void flash_idle() {}

// ---- Asked by chord and accidental placement ---------------------------------------------

int shape_hides_accidental(Drosa note) { return is_NOTE(note) ? note->get(xaccplot) : 0; }
