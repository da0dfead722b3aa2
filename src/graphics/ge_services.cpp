// ge_services.cpp: the least page drawing pass and flashing, until they are built.
#include "graphics/ge_services.h"

#include <algorithm>

#include "app/app_services.h"
#include "graphics/graphics_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

namespace {}  // namespace

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
