// ge_services.cpp: the written value of tremolo notes and the measuring port.
#include "graphics/ge_services.h"

#include "app/app_services.h"
#include "graphics/graphics_globals.h"
#include "model/model_services.h"
#include "platform/port.h"

namespace {
Port* measuring_port = nullptr;
}  // namespace

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

Port* offscreen_port() {
  if (!measuring_port) measuring_port = port_new_offscreen(8, 8);
  return measuring_port;
}
