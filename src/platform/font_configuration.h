// font_configuration.h: inside the platform layer, the system's font configuration read as
// documents, what chooses the fonts apart from the rules.
#pragma once

#include <fontconfig/fontconfig.h>
#include <string>

// The configuration fontconfig would read from a file (its own first file when none is named),
// written as documents: the files of every folder it includes, named plainly, are put in the
// place of the inclusion, in fontconfig's order, without their comments, descriptions and the
// blanks between elements. Reading them gives the same fonts, rules and choices as reading the
// files, for about a third less work (each file read costs fontconfig as much again as its
// elements). A file that cannot be taken in as it is (another encoding, declarations of its own,
// paths relative to itself) is left to fontconfig by name, in its place. Paths are found as
// fontconfig finds them, through `config` (which is left as it is).
//
// What chooses the fonts (their folders, caches and selection, the rules applied as they are
// scanned) comes apart from the rules that substitute and match: `fonts` is read first, the
// fonts are built, and `rules` can be read after, while the fonts are in use. When an inclusion
// left to fontconfig may choose fonts too, `fonts` holds the whole and `rules` is empty; both
// are empty when the first file itself cannot be taken in.
struct FontConfigurationDocuments {
  std::string fonts, rules;
};
FontConfigurationDocuments platform_font_configuration_documents(FcConfig* config,
                                                                 const char* file = nullptr);

// A new configuration holding what chooses the system's fonts (as FcConfigParseAndLoad would
// load it, through the documents above, or from the files when they do not read); nullptr when
// it cannot be read. Its rules are read too, unless *rules is left holding them to read with
// platform_read_font_rules once the fonts are built.
FcConfig* platform_read_font_configuration(std::string* rules);
// False when the rules do not read: what was read of them stays, and fontconfig says what is
// wrong.
bool platform_read_font_rules(FcConfig* config, const std::string& rules);
