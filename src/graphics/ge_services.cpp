// ge_services.cpp: the least flashing and graphics-list dumps, until they are built.
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

// ---- Least until flashing is built ---------------------------------------------------------

// Notes are not flashed yet: there is no frame to toggle.
void flash_idle() {}

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
