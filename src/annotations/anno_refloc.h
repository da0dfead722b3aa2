// anno_refloc.h: the reference point from which an annotation's stored offsets count.
#pragma once

#include <cstdint>

#include "annotations/anno_services.h"
#include "model/model_services.h"

// Pending reference requests of an annotation's mode byte (xrelativex / xline_relx, and
// xrelativey / xline_rely), folded into its offsets by anno_refloc.
enum AnnoHorizontalMode {
  REF_X_NONE = 0,
  REF_X_NOTE = 1,
  REF_X_LEFT_MARGIN = 2,
  REF_X_RIGHT_MARGIN = 3,
  REF_X_PAGE_CENTRE = 4,
  REF_X_STAFF_LEFT = 5,
  REF_X_STAFF_RIGHT = 6,
  REF_X_CHORD = 7,
  REF_X_PREVIOUS_BAR = 9,
  REF_X_NEXT_BAR = 10,
};
enum AnnoVerticalMode {
  REF_Y_NONE = 0,
  REF_Y_NOTE = 1,
  REF_Y_PAGE_TOP = 2,
  REF_Y_PAGE_BOTTOM = 3,
  REF_Y_PAGE_MIDDLE = 4,
  REF_Y_STAFF = 5,
  REF_Y_CLEAR_OF_CHORD = 6,
  REF_Y_ABOVE_CHORD = 7,
  REF_Y_BELOW_CHORD = 8,
};
