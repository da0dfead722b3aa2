// music_font.h: the music font embedded in the program.
#pragma once

#include <string>

// Makes the embedded music font available to drawing and measurement; returns its family
// name, or an empty string when it cannot be loaded. Needs the application object.
std::string platform_load_music_font();
