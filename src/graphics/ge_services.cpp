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

// ---- Least until flashing is built ---------------------------------------------------------

// Notes are not flashed yet: there is no frame to toggle.
void flash_idle() {}
