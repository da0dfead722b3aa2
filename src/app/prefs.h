// prefs.h: the preferences record of the program, its defaults and its file, the start-up
// zoom derived from it, and the fonts found at start-up.
//
// The record is 2480 bytes kept in the file's byte order (big-endian) in memory too, and read
// and written only through the accessors below. Fields marked "not set" in the layout keep
// whatever they hold when the defaults are installed (the record starts zeroed).
//
//   offset  size  field
//        0     4  version tag, the first four characters of the program version ("9.14")
//        4   i16  MIDI output device: 2 the MIDI service, 0 the note allocator, 1 none found
//        6     1  reserved
//        7    u8  sound the notes that arrive from MIDI input
//        8     2  reserved
//       10   104  Command-letter table: A..Z, each i16 menu id (0 none) and i16 item
//      114   i16  use the Sonata glyph set (1) instead of Quor (0)
//      116   i16  ask to save a changed piece before the notation context changes
//      118    64  reserved
//      182    96  colour table: 16 colours, each u16 red, green, blue
//      278   104  Control-letter table, as the Command-letter table
//      382   u16  hide flags of the annotation categories, screen and print
//      384  2 i16 piano window placement: first corner (vertical, horizontal)
//      388    u8  colour flags (bits 7, 6, 5; read as the high byte of the word at 388)
//      389    i8  metronome click channel; negative: a beep
//      390   u16  metronome click key
//      392     1  reserved
//      393    u8  minimum width of printed lines, low 4 bits (0 counts as 1)
//      394   u16  bits 15-10 default zoom step (signed), 9-8 display flags, 1-0 ruler bits
//      396   i32  chosen MIDI input source
//      400   i32  chosen MIDI output destination + 1; negative: no output
//      404     1  reserved
//      405    u8  text-entry option of the annotation palette
//      406     1  reserved
//      407    u8  chord-drag type: '|', '{' or 'a'
//      408   i16  staff-drag mode: 333, 444 or 555
//      410     2  reserved
//      412  2048  computer-key piano table: 512 entries by character code, i16 v, i16 h
//     2460  2 i16 piano window size (height, width)
//     2464   u32  ticks per quarter note of exported MIDI files
//     2468   u32  use the "Simplified Music Notation" font
//     2472     8  reserved
#pragma once

#include <cstdint>
#include <string>

#include "app/app_services.h"
#include "platform/port.h"

inline constexpr int PREFS_COLOUR_COUNT = 16;
inline constexpr int PREFS_KEY_PIANO_ENTRIES = 512;

// Version texts, "%3.2f" of the numbers.
extern char oldest_version_string[17];  // lowest version tag accepted when loading ("9.00")
extern char newest_version_string[17];  // highest accepted ("9.15")

// Formats the version texts, installs the defaults, loads the file (falling back to the
// defaults with a message when it is damaged) and derives default_scale. Called once at
// start-up.
// Reads:  the preferences file. Writes: prefs, the version texts, default_scale.
// Failure: a damaged file is reported (level 2) and the defaults stand.
void init_version_and_prefs();

// Writes prefs into the preferences file, replacing the old record when replace is set.
// The file is written beside the old one and renamed over it, so a failed write leaves the
// old file. Returns 1 when written, 0 when not (the reason reported at level 2).
// Reads:  prefs. Writes: the preferences file.
int write_prefs_file(int replace);

// The position (4..16) of a divisor in the zoom menu's table, compared exactly; 0 if none.
int zoom_menu_index(float divisor);

// Looks the fonts up (the font registry must be ready); report_missing_fonts (startup.h) says
// what is missing.
void find_music_fonts();
