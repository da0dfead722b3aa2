// page_image.cpp: writes the page formatted last as an image.
#include "support/page_image.h"

#include <filesystem>
#include <sstream>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "platform/port.h"
#include "support/model_fixture.h"

bool save_drawn_page(const std::string& folder, const std::string& file, int mode) {
  offscreen_erase();
  platform_set_port(offscreen_page);
  plot_GE_list(port_bounds(offscreen_page), mode, 0);
  platform_set_port(nullptr);
  const std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return true;
  const std::filesystem::path out = build / "test-output" / folder;
  std::filesystem::create_directories(out);
  return port_save_png(offscreen_page, (out / file).c_str());
}

std::string drawn_elements(Drosa head) {
  std::ostringstream out;
  for (Drosa e = head ? head->xnext : NIL; e; e = e->xnext) {
    out << int(e->xkind);
    for (int i = 9; i < DROSA_NODE_SIZE; ++i) out << ' ' << int(e->bytes()[i]);
    out << "\n";
  }
  return out.str();
}

std::string drawn_page() {
  std::ostringstream out;
  for (int p = 0; p < pstaff_count; ++p) out << "staff " << staff_data[p].middle_y << "\n";
  out << drawn_elements(GE_head);
  for (Drosa n = piece_start[0]; n; n = n->xnext)
    if (n->xkind == NOTE && note_ntdata(n)) out << "head " << note_ntdata(n)->get(xhdy) << "\n";
  return out.str();
}
