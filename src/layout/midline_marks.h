// midline_marks.h: the marks that carry a line annotation across a system between its first
// and last segment: inserted by the annotation pass, checked and removed.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

inline constexpr int LINE_OLD_RESIZING = 6;
