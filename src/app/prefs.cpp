// prefs.cpp: the preferences record: its accessors, its defaults, the version texts, the
// start-up zoom, and the fonts found at start-up. The file is read and written by
// prefs_file.cpp.
#include "app/prefs.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app_globals.h"
#include "platform/fonts.h"

PrefsRecord prefs;
char oldest_version_string[17] = "9.00";
char newest_version_string[17] = "9.15";
ScaleRecord default_scale;
int32_t music_font_numbers[FONT_SLOT_COUNT];

namespace {

constexpr double PROGRAM_VERSION = 9.14;
constexpr double OLDEST_VERSION = 9.00;
constexpr double NEWEST_VERSION = 9.15;
constexpr const char* RELEASE_SUFFIX = ".9.6";

int letter_index(int letter) {
  int upper = std::toupper(static_cast<unsigned char>(letter));
  return upper >= 'A' && upper <= 'Z' ? upper - 'A' : -1;
}

MenuCommand read_command(const PrefsRecord& r, int table, int letter) {
  int i = letter_index(letter);
  if (i < 0) return {};
  return {r.i16(table + 4 * i), r.i16(table + 4 * i + 2)};
}

void write_command(PrefsRecord& r, int table, int letter, MenuCommand c) {
  int i = letter_index(letter);
  if (i < 0) return;
  r.set_i16(table + 4 * i, c.menu);
  r.set_i16(table + 4 * i + 2, c.item);
}

// ---- Defaults ---------------------------------------------------------------------------

struct LetterCommand {
  char letter;
  MenuCommand command;
};

// Menus: 2 File, 3 Edit, 5 Page, 6 Voice, 7 Note, 9 Symbol, 10 Hear; items count separators.
constexpr LetterCommand DEFAULT_COMMAND_KEYS[] = {
    {'A', {5, 11}}, {'B', {9, 5}},  {'C', {3, 5}},  {'D', {5, 15}}, {'E', {5, 10}}, {'F', {9, 1}},
    {'G', {5, 4}},  {'H', {10, 1}}, {'I', {5, 14}}, {'J', {7, 18}}, {'K', {9, 2}},  {'L', {5, 8}},
    {'M', {5, 9}},  {'N', {6, 5}},  {'O', {2, 2}},  {'P', {2, 14}}, {'Q', {2, 17}}, {'R', {6, 4}},
    {'S', {2, 6}},  {'T', {9, 3}},  {'U', {5, 12}}, {'V', {3, 6}},  {'W', {2, 4}},  {'X', {3, 4}},
    {'Y', {9, 9}},  {'Z', {3, 1}},
};

constexpr RgbColour DEFAULT_COLOURS[PREFS_COLOUR_COUNT] = {
    {0, 0, 0},
    {65535, 0, 0},
    {0, 65535, 0},
    {0, 0, 65535},
    {65535, 65535, 0},
    {65535, 0, 65535},
    {0, 65535, 65535},
    {32768, 32768, 65535},
    {65535, 32768, 32768},
    {32768, 65535, 32768},
    {32768, 0, 65535},
    {65535, 32768, 0},
    {32768, 65535, 0},
    {0, 32768, 65535},
    {65535, 0, 32768},
    {32768, 32768, 32768},
};

struct KeyPoint {
  char key;
  PalettePoint point;
};

// The computer keys that play the piano palette; a letter's upper and lower case share one.
constexpr KeyPoint DEFAULT_KEY_PIANO[] = {
    {'A', {18, 231}}, {'S', {17, 237}}, {'D', {20, 249}}, {'F', {20, 256}},  {'G', {20, 266}},
    {'H', {17, 275}}, {'J', {19, 285}}, {'K', {20, 292}}, {'L', {17, 301}},  {';', {20, 313}},
    {'W', {7, 232}},  {'E', {7, 244}},  {'T', {7, 260}},  {'Y', {9, 269}},   {'U', {10, 280}},
    {'O', {7, 296}},  {'P', {7, 308}},  {'R', {12, 496}}, {'I', {12, 496}},  {'1', {51, 206}},
    {'2', {52, 226}}, {'3', {53, 241}}, {'4', {54, 260}}, {'5', {55, 283}},  {'6', {55, 302}},
    {'7', {52, 163}}, {'8', {39, 147}}, {'9', {38, 86}},  {'0', {54, 87}},   {'!', {41, 131}},
    {'#', {56, 115}}, {'$', {41, 103}}, {'%', {56, 121}}, {'&', {40, 49}},   {'(', {37, 69}},
    {')', {52, 66}},  {'*', {51, 46}},  {'+', {53, 445}}, {'-', {53, 386}},  {'=', {53, 428}},
    {'@', {39, 160}}, {'[', {55, 482}}, {'{', {55, 482}}, {'\\', {53, 406}}, {']', {39, 0}},
    {'}', {39, 0}},   {'^', {53, 148}}, {'_', {53, 368}},
};

constexpr int STANDARD_ZOOM_STEP = 2;  // divisor 10, the standard scale

}  // namespace

// ---- The record's words -------------------------------------------------------------------

uint16_t PrefsRecord::u16(int offset) const {
  return static_cast<uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

void PrefsRecord::set_u16(int offset, uint16_t v) {
  bytes[offset] = static_cast<uint8_t>(v >> 8);
  bytes[offset + 1] = static_cast<uint8_t>(v);
}

uint32_t PrefsRecord::u32(int offset) const {
  return uint32_t(bytes[offset]) << 24 | uint32_t(bytes[offset + 1]) << 16 |
         uint32_t(bytes[offset + 2]) << 8 | uint32_t(bytes[offset + 3]);
}

void PrefsRecord::set_u32(int offset, uint32_t v) {
  set_u16(offset, static_cast<uint16_t>(v >> 16));
  set_u16(offset + 2, static_cast<uint16_t>(v));
}

void PrefsRecord::set_colour_flag(uint16_t flag, bool on) {
  const uint8_t high = static_cast<uint8_t>((flag >> 8) & 0xE0);
  const uint8_t old = bytes[PREFS_COLOUR_FLAGS];
  bytes[PREFS_COLOUR_FLAGS] = static_cast<uint8_t>(on ? old | high : old & ~high);
}

RgbColour PrefsRecord::colour(int index) const {
  if (index < 0 || index >= PREFS_COLOUR_COUNT) return COLOUR_BLACK;
  const int at = PREFS_COLOURS + 6 * index;
  return {u16(at), u16(at + 2), u16(at + 4)};
}

void PrefsRecord::set_colour(int index, RgbColour c) {
  if (index < 0 || index >= PREFS_COLOUR_COUNT) return;
  const int at = PREFS_COLOURS + 6 * index;
  set_u16(at, c.red);
  set_u16(at + 2, c.green);
  set_u16(at + 4, c.blue);
}

MenuCommand PrefsRecord::command_key(int letter) const {
  return read_command(*this, PREFS_COMMAND_KEYS, letter);
}
void PrefsRecord::set_command_key(int letter, MenuCommand c) {
  write_command(*this, PREFS_COMMAND_KEYS, letter, c);
}
MenuCommand PrefsRecord::control_key(int letter) const {
  return read_command(*this, PREFS_CONTROL_KEYS, letter);
}
void PrefsRecord::set_control_key(int letter, MenuCommand c) {
  write_command(*this, PREFS_CONTROL_KEYS, letter, c);
}

PalettePoint PrefsRecord::key_piano(int code) const {
  if (code < 1 || code >= PREFS_KEY_PIANO_ENTRIES) return {};
  return {i16(PREFS_KEY_PIANO + 4 * code), i16(PREFS_KEY_PIANO + 4 * code + 2)};
}

void PrefsRecord::set_key_piano(int code, PalettePoint p) {
  if (code < 1 || code >= PREFS_KEY_PIANO_ENTRIES) return;
  set_i16(PREFS_KEY_PIANO + 4 * code, p.v);
  set_i16(PREFS_KEY_PIANO + 4 * code + 2, p.h);
}

int PrefsRecord::zoom_step() const {
  int step = u16(PREFS_ZOOM_WORD) >> 10;  // 6 bits
  return step >= 32 ? step - 64 : step;
}

void PrefsRecord::set_zoom_step(int step) {
  uint16_t word = u16(PREFS_ZOOM_WORD) & 0x03FF;
  set_u16(PREFS_ZOOM_WORD,
          static_cast<uint16_t>(word | (static_cast<unsigned>(step) & 0x3F) << 10));
}

// ---- Defaults and start-up ----------------------------------------------------------------

void set_default_prefs() {
  PrefsRecord& r = prefs;
  std::memcpy(r.bytes + PREFS_VERSION_TAG, version_string, 4);
  r.set_i16(PREFS_MIDI_OUTPUT_DEVICE, 1);
  r.set_u8(PREFS_ECHO_MIDI_INPUT, 1);
  r.set_u16(8, 0);
  for (int letter = 'A'; letter <= 'Z'; ++letter) {
    r.set_command_key(letter, {});
    r.set_control_key(letter, {});
  }
  for (const LetterCommand& entry : DEFAULT_COMMAND_KEYS)
    r.set_command_key(entry.letter, entry.command);
  r.set_use_sonata_font(0);
  r.set_ask_save_before_context_change(1);
  for (int i = 0; i < PREFS_COLOUR_COUNT; ++i) r.set_colour(i, DEFAULT_COLOURS[i]);
  r.set_u16(PREFS_HIDE_FLAGS, r.u16(PREFS_HIDE_FLAGS) & 0x0101);  // bits 0 and 8 are kept
  r.set_colour_flag(COLOR_FIRST_MARKED | COLOR_SECOND_MARKED, false);
  r.set_u8(PREFS_METRONOME_CHANNEL, 0);
  r.set_u16(PREFS_METRONOME_KEY, 0);
  r.set_u8(PREFS_MIN_LINE_WIDTH, 1);
  r.set_u16(PREFS_ZOOM_WORD, r.u16(PREFS_ZOOM_WORD) & 0x00FC);  // display and ruler flags off
  r.set_zoom_step(STANDARD_ZOOM_STEP);
  r.set_i32(PREFS_MIDI_INPUT_SOURCE, 0);
  r.set_i32(PREFS_MIDI_OUTPUT_DEST, 0);
  r.set_u8(PREFS_TEXT_ENTRY_OPTION, 0);
  r.set_u8(PREFS_CHORD_DRAG_TYPE, '|');
  r.set_i16(PREFS_STAFF_DRAG_MODE, 333);
  for (int code = 1; code < PREFS_KEY_PIANO_ENTRIES; ++code) r.set_key_piano(code, {});
  for (const KeyPoint& entry : DEFAULT_KEY_PIANO) {
    r.set_key_piano(static_cast<unsigned char>(entry.key), entry.point);
    r.set_key_piano(std::tolower(static_cast<unsigned char>(entry.key)), entry.point);
  }
  r.set_u32(PREFS_SMF_TICKS, 960);
  r.set_use_simplified_notation(0);
}

void set_scale_factor(ScaleRecord* record, int step) {
  const int magnitude = std::abs(step) & 0x3F;
  float divisor = 10.0f;
  if (magnitude > 20)
    divisor = 0.0f;
  else if (magnitude != 0)
    divisor = 20.0f / static_cast<float>(magnitude);
  // A divisor of 0 fits the page to the window; the step then keeps the standard magnitude,
  // as no view exists yet to take it from.
  int pixels = divisor == 0.0f ? STANDARD_ZOOM_STEP
                               : static_cast<int>(std::lround(20.0 / static_cast<double>(divisor)));
  if (step < 0) pixels = pixels == 0 ? -32 : -pixels;
  record->divisor = divisor;
  record->negative = step < 0;
  record->step = static_cast<int8_t>(pixels);
}

int zoom_menu_index(float divisor) {
  static const float table[] = {20.0f / 0.75f, 20.0f / 1.5f,  10.0f, 20.0f / 3.0f,  5.0f,
                                20.0f / 6.0f,  2.5f,          2.0f,  20.0f / 12.0f, 20.0f / 14.0f,
                                1.25f,         20.0f / 18.0f, 1.0f,  0.0f};
  for (int i = 0; table[i] != 0.0f; ++i)
    if (table[i] == divisor) return i + 4;
  return 0;
}

void init_version_and_prefs() {
  std::snprintf(version_string, sizeof version_string, "%3.2f", PROGRAM_VERSION);
  std::snprintf(oldest_version_string, sizeof oldest_version_string, "%3.2f", OLDEST_VERSION);
  std::snprintf(newest_version_string, sizeof newest_version_string, "%3.2f", NEWEST_VERSION);
  version_suffix = RELEASE_SUFFIX;
  set_default_prefs();
  open_prefs_file();
  set_scale_factor(&default_scale, prefs.zoom_step());
}

// ---- Fonts found at start-up --------------------------------------------------------------

namespace {
constexpr int slot_fonts[FONT_SLOT_COUNT] = {FONT_QUOR,
                                             FONT_SAYL,
                                             FONT_TIMES,
                                             FONT_SYMBOL,
                                             FONT_SONATA,
                                             FONT_GENEVA,
                                             FONT_SIMPLIFIED_NOTATION};
}

void find_music_fonts() {
  for (int i = 0; i < FONT_SLOT_COUNT; ++i)
    music_font_numbers[i] = platform_font_installed(slot_fonts[i]) ? slot_fonts[i] : 0;
}

void reset_prefs() {
  release_prefs_lock();
  prefs = PrefsRecord{};
  set_default_prefs();
  default_scale = ScaleRecord{};
  set_scale_factor(&default_scale, STANDARD_ZOOM_STEP);
  for (int i = 0; i < FONT_SLOT_COUNT; ++i) music_font_numbers[i] = slot_fonts[i];
  music_font_numbers[FONT_SLOT_SIMPLIFIED] = 0;
}
