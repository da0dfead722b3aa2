// list_boxes.h: the list boxes of the program's dialogs, filled from the piece or the
// parameter table.
#pragma once

#include "model/drosa.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/geometry.h"
#include "platform/list_box.h"

// List kinds: 1 parts (first voices), 2 notation-context names, 3 numbered notation
// contexts, 4 printed parts, 5 parameter headings, 6 parameters of the selected heading,
// 7 staff records of the Parts and Voices dialog.
inline constexpr int LIST_ROW_HEIGHT = 14;
inline constexpr int LIST_SCROLL_BAR = 16;
