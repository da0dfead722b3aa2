// flash.h: the flashing of one note or rest at a time (the insertion point's, as a rule).
#pragma once

#include "model/model_services.h"

// start_flashing: a note drawn on the screen starts to flash, its first blink at the next idle
// call; any other node leaves nothing flashing.
// Writes: flashing_node, the flash state and period.
void start_flashing(Drosa node);
// flash_idle: once a caret time has passed since the period began, the flash toggles; after a
// busy spell of several caret times it blinks once and the next blink follows a caret time
// later. A flashed note no longer drawn stops flashing.
void flash_idle();
// show_as_flashed: puts the flash in `state` (1 normal, 0 flash shown), drawing only when that
// changes. Failure: level 4 "Bad call on show_as_flashed in flash.c; got %lx, expected %lx."
// for another node; the flashed note is acted on all the same.
void show_as_flashed(Drosa node, int state);
// stop_flashing: a flash shown is taken away; afterwards nothing flashes. Failure: level 4
// "Inconsistent call to stop_flashing in flash.c." for a drawn note other than the flashed one.
void stop_flashing(Drosa node);
// draw_flash: shows the note in the window as the flash state says, the page image left as it
// is drawn. Shown: after a double click a frame 5 pixels around it by exclusive-or; a
// tablature fret number or a note of the default colour drawn over itself by exclusive-or; a
// coloured note erased. Nothing for a hidden rest, a rest on a headless tablature staff, a
// tablature note off its strings.
void draw_flash(Drosa node);
// flash_shown: 1 while a flash is showing (the note looks flashed).
int flash_shown();
