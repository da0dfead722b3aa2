// font_configuration.h: inside the platform layer, the system's font configuration read as one
// document.
#pragma once

#include <fontconfig/fontconfig.h>
#include <string>

// The configuration fontconfig would read from a file (its own first file when none is named),
// written as one document: the files of every folder it includes, named plainly, are put in the
// place of the inclusion, in fontconfig's order, without their comments, descriptions and the
// blanks between elements. Reading that one document gives the same fonts, rules and choices as
// reading the files, for about a third less work (each file read costs fontconfig as much again
// as its elements). A file that cannot be taken in as it is (another encoding, declarations of
// its own, paths relative to itself) is left to fontconfig by name, in its place. Empty when
// the first file itself cannot be taken in. Paths are found as fontconfig finds them, through
// `config` (which is left as it is).
std::string platform_font_configuration_in_one(FcConfig* config, const char* file = nullptr);

// A new configuration holding the system's (as FcConfigParseAndLoad would load it, through the
// document above, or from the files when that does not read); nullptr when it cannot be read.
FcConfig* platform_read_font_configuration();
