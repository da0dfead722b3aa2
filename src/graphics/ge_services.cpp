// ge_services.cpp: the written value of tremolo notes, the measuring port, and the least
// versions of what layout, placement and the debug dumps ask of drawing.
#include "graphics/ge_services.h"

#include <algorithm>
#include <cstdio>
#include <string>

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

// ---- Least until drawing is built ----------------------------------------------------------

// plot_page: so far only the staff lines of every pstaff of the system (not of tablature
// staves), from the staff's left margin to its right one; the rest of the page drawing pass
// comes with the drawing of chords, beams and system symbols.
// Reads:  first_pstaff, last_pstaff, staff_data, current_page, the staff-line widths.
// Writes: the GE list (GE_LINE, var 10).
int32_t plot_page() {
  constexpr int STAFF_LINE = 10;
  for (int p = first_pstaff; p <= last_pstaff && p >= 0 && p < MAX_PSTAVES; ++p) {
    const StaffData& staff = staff_data[p];
    if (staff.staff_type == 3) continue;
    const int32_t left = staff_left_x(p, current_page), right = staff_right_x(p, current_page);
    int32_t y = staff_top_y(p, 0);
    for (int line = 1; line <= staff.lines; ++line, y -= staff.staff_size) {
      const int32_t width = scaled_staff_param(NIL, line);
      const int32_t at = std::max<int32_t>(0, y - width / 2);
      GEline(0, left, at, p, 0, right, at, p, 0, width, 0, 0, 0, 0, 0, 0, 0, STAFF_LINE, NIL);
    }
  }
  return format_interrupted() ? 0 : 1;
}

// Notes are not drawn yet, so there is no frame to flash.
void flash_idle() {}

// ---- Asked by chord and accidental placement ---------------------------------------------

int shape_hides_accidental(Drosa note) { return is_NOTE(note) ? note->get(xaccplot) : 0; }

// ---- Asked by the debug dumps -----------------------------------------------------------------

namespace {

// One line per element of the current list: its kind and node.
std::string GE_list_text() {
  std::string text;
  char line[64];
  int32_t steps = 0;
  for (Drosa p = GE_head ? GE_head->xnext : NIL; p && steps <= total_Drosa_count;
       p = p->xnext, ++steps) {
    std::snprintf(line, sizeof line, "%-10s %08x\n", node_kind_name(p), unsigned(p.handle()));
    text += line;
  }
  return text;
}

}  // namespace

void debug_GE() {
  debug_out("\nContents of the GE list:\n");
  debug_out(GE_list_text().c_str());
}

void dump_GE() {
  debug_out("Dumping GE list into file Graphics Objects.dump\n");
  std::FILE* file = std::fopen("Graphics Objects.dump", "w");
  if (!file) {
    debug_out("Graphics Objects.dump could not be opened.\n");
    return;
  }
  std::fputs("Contents of the GE list:\n", file);
  std::fputs(GE_list_text().c_str(), file);
  std::fclose(file);
}

void print_beam_buffer() {}
