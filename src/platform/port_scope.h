// port_scope.h: drawing into a port for a while: the port made current, then the one before it
// again.
#pragma once

#include "platform/port.h"

// Runs `draw` with `port` as the current port, then makes the port current before it current
// again; nothing without a port.
template <typename Draw>
void in_port(Port* port, Draw draw) {
  if (!port) return;
  Port* saved = platform_current_port();
  platform_set_port(port);
  draw();
  platform_set_port(saved);
}
