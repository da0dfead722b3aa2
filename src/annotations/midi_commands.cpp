// midi_commands.cpp: text annotations as playback reads them: command texts that send MIDI,
// pedal marks, and the volume of the dynamic in force.
#include "annotations/midi_commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "annotations/anno_fields.h"
#include "annotations/command_texts.h"
#include "params/param_services.h"

namespace {

constexpr int PEDAL_DOWN = 606, PEDAL_UP = 607;
constexpr int PERF_DYNAMIC_LEVELS = 46;  // perf_defaults: ten i16 volumes, lowest first
constexpr int SIXTH_LEVEL = 5;
constexpr size_t RUN_TEXT_MAX = 256;

// The text of the annotation's first style run: its TEXT nodes (after its PDATA, if any).
std::string first_run_text(Drosa tparam) {
  std::string text;
  Drosa p = tparam->xnext;
  while (p && (p->xkind == PDATA || p->xkind == PVIEW)) p = p->xnext;
  for (; p && p->xkind == TEXT && text.size() < RUN_TEXT_MAX; p = p->xnext) text += p->get(xtext);
  return text;
}

// " time T" after a command: the time, else 0.
int32_t trailing_time(const char* rest) {
  unsigned long t = 0;
  return std::sscanf(rest, " time %lx", &t) == 1 ? int32_t(t) : 0;
}

// The first NOTE after the annotation before the end of its system; NIL none.
Drosa next_note_in_system(Drosa tparam) {
  for (Drosa p = tparam->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return p;
    if (effective_kind(p) == ENDSYST) return NIL;
  }
  return NIL;
}

// Whether the character at the start of a run matches a character parameter's glyph.
bool is_glyph(int pindex, Drosa at, int16_t font, uint8_t character) {
  const ParamValue* v = param_value(pindex, at, nullptr);
  return v && v->font() == font && v->character() == character;
}

}  // namespace

int parse_midi_anno(Drosa tparam, int* channel, uint8_t* bytes, int32_t* time, uint8_t* key_map) {
  *time = 0;
  if (!tparam || tparam->xkind != TPARAM) return 0;
  const std::string text = first_run_text(tparam);
  const char* s = text.c_str();
  const int ch = *channel & 15;
  int n = 0, m = 0, used = 0;
  if (std::sscanf(s, "program %d%n", &n, &used) == 1) {
    if (n < 1 || n > 128) return 0;
    bytes[0] = uint8_t(0xC0 + ch);
    bytes[1] = uint8_t(n - 1);
    *time = trailing_time(s + used);
    return 2;
  }
  if (std::sscanf(s, "control %d %d%n", &n, &m, &used) == 2) {
    if (n < 0 || n > 127 || m < 0 || m > 127) return 0;
    bytes[0] = uint8_t(0xB0 + ch);
    bytes[1] = uint8_t(n);
    bytes[2] = uint8_t(m);
    *time = trailing_time(s + used);
    return 3;
  }
  if (std::sscanf(s, "pressure %d%n", &n, &used) == 1) {
    if (n < 0 || n > 127) return 0;
    bytes[0] = uint8_t(0xD0 + ch);
    bytes[1] = uint8_t(n);
    *time = trailing_time(s + used);
    return 2;
  }
  if (std::strncmp(s, "midi", 4) == 0) {
    const char* at = s + 4;
    int count = 0;
    unsigned value = 0;
    while (count < 12 && std::sscanf(at, " %x%n", &value, &used) == 1) {
      bytes[count++] = uint8_t(value);
      at += used;
    }
    if (count == 0) return 0;
    *time = trailing_time(at);
    return count;
  }
  if (std::sscanf(s, "channel %d", &n) == 1) {
    if (n >= 1 && n <= 16) *channel = n - 1;
    return 0;
  }
  if (std::sscanf(s, "note %d", &n) == 1) {
    Drosa note = next_note_in_system(tparam);
    if (n >= 0 && n <= 127 && key_map && note)
      key_map[std::min(note->get(xpitch) >> 8, 127)] = uint8_t(n);
    return 0;
  }
  return 0;
}

int anno_is_style_b(Drosa tparam) {
  if (!tparam || effective_kind(tparam) != TPARAM || tparam->get(xadjacent)) return 0;
  const std::string text = first_run_text(tparam);
  if (text.empty()) return 0;
  const int16_t font = tparam->get(xtextfont);
  const uint8_t first = uint8_t(text[0]);
  if (is_glyph(PEDAL_DOWN, tparam, font, first)) return PEDAL_DOWN;
  if (!is_glyph(PEDAL_UP, tparam, font, first)) return 0;
  if (text.size() > 1 && is_glyph(PEDAL_DOWN, tparam, font, uint8_t(text[1]))) return PEDAL_DOWN;
  return PEDAL_UP;
}

int anno_text_style_index(Drosa, int* second) {
  if (second) *second = -1;
  return -1;
}

int style_level_table(int) { return -1; }

int first_styled_anno_value(Drosa) {
  const int level =
      int16_t(load_big_endian(perf_defaults + PERF_DYNAMIC_LEVELS + 2 * SIXTH_LEVEL, 2));
  return std::clamp(level, 0, 200);
}
