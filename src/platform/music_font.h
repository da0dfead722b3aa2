// music_font.h: the music font embedded in the program.
#pragma once

#include <string>

// Reads the embedded music font and describes it for the font configuration; needs neither the
// application object nor the configuration (it is done while the configuration is read), and is
// done once.
void platform_prepare_music_font();

// Makes the embedded music font available to drawing and measurement; returns its family
// name, or an empty string when it cannot be loaded. Needs the application object.
std::string platform_load_music_font();
