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

#include "platform/port.h"

inline constexpr int PREFS_SIZE = 2480;

// Field offsets (bytes) of the record.
enum PrefsOffset : int {
  PREFS_VERSION_TAG = 0,
  PREFS_MIDI_OUTPUT_DEVICE = 4,
  PREFS_ECHO_MIDI_INPUT = 7,
  PREFS_COMMAND_KEYS = 10,
  PREFS_USE_SONATA = 114,
  PREFS_ASK_SAVE_CONTEXT = 116,
  PREFS_COLOURS = 182,
  PREFS_CONTROL_KEYS = 278,
  PREFS_HIDE_FLAGS = 382,
  PREFS_PIANO_CORNER = 384,
  PREFS_COLOUR_FLAGS = 388,
  PREFS_METRONOME_CHANNEL = 389,
  PREFS_METRONOME_KEY = 390,
  PREFS_MIN_LINE_WIDTH = 393,
  PREFS_ZOOM_WORD = 394,
  PREFS_MIDI_INPUT_SOURCE = 396,
  PREFS_MIDI_OUTPUT_DEST = 400,
  PREFS_TEXT_ENTRY_OPTION = 405,
  PREFS_CHORD_DRAG_TYPE = 407,
  PREFS_STAFF_DRAG_MODE = 408,
  PREFS_KEY_PIANO = 412,
  PREFS_PIANO_SIZE = 2460,
  PREFS_SMF_TICKS = 2464,
  PREFS_USE_SIMPLIFIED = 2468,
};

// Colour flags, bits of the big-endian word at offset 388.
inline constexpr uint16_t COLOR_BY_PITCH_NAME = 0x2000;
inline constexpr uint16_t COLOR_SECOND_MARKED = 0x4000;
inline constexpr uint16_t COLOR_FIRST_MARKED = 0x8000;

inline constexpr int PREFS_COLOUR_COUNT = 16;
inline constexpr int PREFS_KEY_PIANO_ENTRIES = 512;

// A command by menu id and item (menu 0: none).
struct MenuCommand {
  int16_t menu = 0;
  int16_t item = 0;
  friend bool operator==(const MenuCommand&, const MenuCommand&) = default;
};

// A point of the piano palette, vertical first; (0, 0) plays nothing.
struct PalettePoint {
  int16_t v = 0;
  int16_t h = 0;
  friend bool operator==(const PalettePoint&, const PalettePoint&) = default;
};

struct PrefsRecord {
  uint8_t bytes[PREFS_SIZE] = {};

  // Big-endian words at a byte offset.
  uint8_t u8(int offset) const { return bytes[offset]; }
  void set_u8(int offset, uint8_t v) { bytes[offset] = v; }
  uint16_t u16(int offset) const;
  void set_u16(int offset, uint16_t v);
  int16_t i16(int offset) const { return static_cast<int16_t>(u16(offset)); }
  void set_i16(int offset, int16_t v) { set_u16(offset, static_cast<uint16_t>(v)); }
  uint32_t u32(int offset) const;
  void set_u32(int offset, uint32_t v);
  int32_t i32(int offset) const { return static_cast<int32_t>(u32(offset)); }
  void set_i32(int offset, int32_t v) { set_u32(offset, static_cast<uint32_t>(v)); }

  // The fields other parts of the program read most.
  int16_t use_sonata_font() const { return i16(PREFS_USE_SONATA); }
  void set_use_sonata_font(int16_t v) { set_i16(PREFS_USE_SONATA, v); }
  int16_t ask_save_before_context_change() const { return i16(PREFS_ASK_SAVE_CONTEXT); }
  void set_ask_save_before_context_change(int16_t v) { set_i16(PREFS_ASK_SAVE_CONTEXT, v); }
  uint32_t use_simplified_notation() const { return u32(PREFS_USE_SIMPLIFIED); }
  void set_use_simplified_notation(uint32_t v) { set_u32(PREFS_USE_SIMPLIFIED, v); }
  uint16_t colour_flags() const { return u16(PREFS_COLOUR_FLAGS); }
  // Changes only the three colour bits, not the metronome channel in the low byte.
  void set_colour_flag(uint16_t flag, bool on);

  // Colour index 0..15 of the colour table.
  RgbColour colour(int index) const;
  void set_colour(int index, RgbColour c);
  // Letter 'A'..'Z' (either case) of the Command- and Control-letter tables; other
  // characters have no entry (reads give none, writes are ignored).
  MenuCommand command_key(int letter) const;
  void set_command_key(int letter, MenuCommand c);
  MenuCommand control_key(int letter) const;
  void set_control_key(int letter, MenuCommand c);
  // Character code 1..511 of the computer-key piano table (0 and others: nothing).
  PalettePoint key_piano(int code) const;
  void set_key_piano(int code, PalettePoint p);
  // The signed 6-bit default zoom step of the word at 394.
  int zoom_step() const;
  void set_zoom_step(int step);
};
extern PrefsRecord prefs;

// Version texts, "%3.2f" of the numbers.
extern char oldest_version_string[17];  // lowest version tag accepted when loading ("9.00")
extern char newest_version_string[17];  // highest accepted ("9.15")

// The zoom of a view: the divisor of page units per pixel, a flag for a negative step and
// the signed step.
struct ScaleRecord {
  float divisor = 10.0f;
  uint8_t negative = 0;
  int8_t step = 2;
};
extern ScaleRecord default_scale;  // the zoom a piece starts with when created or read

// Formats the version texts, installs the defaults, loads the file (falling back to the
// defaults with a message when it is damaged) and derives default_scale. Called once at
// start-up.
// Reads:  the preferences file. Writes: prefs, the version texts, default_scale.
// Failure: a damaged file is reported (level 2) and the defaults stand.
void init_version_and_prefs();

// Writes the defaults into prefs; fields marked "not set" keep their contents.
void set_default_prefs();

// Loads the record from the preferences file: 1 when a record of an accepted version was
// loaded, else 0 (and the defaults stand). Keeps the file's lock, which tells another
// instance that the file is in use, until the program ends.
// Reads:  $XDG_CONFIG_HOME/Vesk/Vesk Preferences. Writes: prefs.
// Failure: a damaged file is reported at level 2 ("... is damaged ...") and gives 0.
int open_prefs_file();

// Writes prefs into the preferences file, replacing the old record when replace is set.
// The file is written beside the old one and renamed over it, so a failed write leaves the
// old file. Returns 1 when written, 0 when not (the reason reported at level 2).
// Reads:  prefs. Writes: the preferences file.
int write_prefs_file(int replace);

// The path of the preferences file ("$XDG_CONFIG_HOME/Vesk/Vesk Preferences", the config
// folder defaulting to ~/.config).
std::string prefs_file_path();

// Fills a scale record from a zoom step (|step| 0: divisor 10, over 20: 0, else 20/|step|).
void set_scale_factor(ScaleRecord* record, int step);
// The position (4..16) of a divisor in the zoom menu's table, compared exactly; 0 if none.
int zoom_menu_index(float divisor);

// The fonts looked up at start-up, by their number; 0 for an optional font not installed.
enum MusicFontSlot {
  FONT_SLOT_QUOR,
  FONT_SLOT_SAYL,
  FONT_SLOT_TIMES,
  FONT_SLOT_SYMBOL,
  FONT_SLOT_SONATA,
  FONT_SLOT_GENEVA,
  FONT_SLOT_SIMPLIFIED,
  FONT_SLOT_COUNT
};
extern int32_t music_font_numbers[FONT_SLOT_COUNT];

// Looks the fonts up (the font registry must be ready); report_missing_fonts (startup.h) says
// what is missing.
void find_music_fonts();

// Tests: lets go of the preferences folder's lock, as if the program had just started.
void release_prefs_lock();

// Tests: a zeroed record with the defaults, every standard font found, the simplified
// notation font absent, the default zoom.
void reset_prefs();
