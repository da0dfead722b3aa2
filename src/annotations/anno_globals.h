// anno_globals.h: the program-wide state of the annotations.
#pragma once

#include "model/model_services.h"

extern Drosa current_anno;  // the selected annotation (its TPARAM or LINE); NIL none

void reset_anno_globals();
