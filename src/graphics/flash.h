// flash.h: the flashing of one note or rest at a time (the insertion point's, as a rule).
#pragma once

#include "graphics/ge_services.h"
#include "model/model_services.h"

// draw_flash: shows the note in the window as the flash state says, the page image left as it
// is drawn. Shown: after a double click a frame 5 pixels around it by exclusive-or; a
// tablature fret number or a note of the default colour drawn over itself by exclusive-or; a
// coloured note erased. Nothing for a hidden rest, a rest on a headless tablature staff, a
// tablature note off its strings.
void draw_flash(Drosa node);
