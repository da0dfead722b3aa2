// flash.h: the flashing of the insertion point's note.
#pragma once

#include "model/model_services.h"

// Starts flashing a note drawn on the screen; a note not drawn flashes nowhere.
void start_flashing(Drosa node);
// Stops flashing (node may be NIL); afterwards no node is flashing.
void stop_flashing(Drosa node);
