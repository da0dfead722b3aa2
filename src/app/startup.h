// startup.h: bringing the program up in its fixed order.
#pragma once

#include "app/app_services.h"

// report_missing_fonts: says which of the fonts found at start-up are missing (level 2) and
// clears the Sonata choice of the preferences when Sonata is missing.
// Reads: music_font_numbers. Writes: prefs (use Sonata).
void report_missing_fonts();

// check_part_name_phrases: a translated "UnnamedPart" phrase too long for a 16-byte part name
// is a level-4 report.
void check_part_name_phrases();
