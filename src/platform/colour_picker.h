// colour_picker.h: the system's colour picker, asked for one colour.
#pragma once

#include <string>

#include "platform/port.h"

// Shows the colour picker with the prompt, starting from *colour; true with the chosen colour
// in *colour when the user accepts, false (and *colour unchanged) when the user cancels or no
// picker can be shown. Scripted (tests): takes the next colour answer (script.h).
bool platform_pick_colour(const std::string& prompt, RgbColour* colour);
