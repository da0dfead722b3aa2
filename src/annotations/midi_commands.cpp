// midi_commands.cpp: command texts that send MIDI, as playback reads them, and the MIDI nodes
// of pieces from before such texts, turned into them when the piece is read.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "annotations/anno_fields.h"
#include "annotations/anno_services.h"
#include "annotations/drawtext.h"
#include "params/param_services.h"

namespace {

// A MIDI node of an older piece: up to 12 message bytes, a time, the byte count.
constexpr int MIDI_FIRST_BYTE = 10, MIDI_TIME_BYTE = 22, MIDI_COUNT_BYTE = 27;
constexpr int MIDI_MOST_BYTES = 12;
constexpr int MIDI_TEXT_Y = 120;     // the first text a MIDI node becomes: above its note
constexpr int CLASS_MIDI_TEXT = 12;  // the class "midi"

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

}  // namespace

int parse_midi_anno(Drosa tparam, int* channel, uint8_t* bytes, int32_t* time, uint8_t* key_map) {
  *time = 0;
  if (!tparam || tparam->xkind != TPARAM) return 0;
  const std::string text = anno_run_text(tparam);
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
    const int key = note ? note->get(xpitch) >> 8 : -1;
    if (n >= 0 && n <= 127 && key_map && key >= 0 && key <= 127) key_map[key] = uint8_t(n);
    return 0;
  }
  return 0;
}

void midi_nodes_to_annos(Drosa note) {
  if (!note || note->xkind != NOTE) return;
  std::vector<Drosa> nodes;
  for (Drosa p = note->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback)
    if (p->xkind == MIDI) nodes.push_back(p);
  std::reverse(nodes.begin(), nodes.end());
  int y = MIDI_TEXT_Y;
  for (Drosa m : nodes) {
    const int count = std::clamp<int>(int8_t(node_byte(m, MIDI_COUNT_BYTE)), 0, MIDI_MOST_BYTES);
    const uint8_t* b = m->bytes() + MIDI_FIRST_BYTE;
    const int status = count ? b[0] & 0xF0 : 0;
    char text[128];
    if (count == 2 && status == 0xC0 && b[1] < 128) {
      std::snprintf(text, sizeof text, "program %hd", short(b[1] + 1));
    } else if (count == 2 && status == 0xD0 && b[1] < 128) {
      std::snprintf(text, sizeof text, "pressure %hd", short(b[1]));
    } else if (count == 3 && status == 0xB0 && b[1] < 128 && b[2] < 128) {
      std::snprintf(text, sizeof text, "control %hd %hd", short(b[1]), short(b[2]));
    } else {
      std::snprintf(text, sizeof text, "midi");
      for (int k = 0; k < count; ++k)
        std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), " %02x", b[k]);
    }
    const uint32_t time = uint32_t(load_big_endian(m->bytes() + MIDI_TIME_BYTE, 4));
    if (time)
      std::snprintf(text + std::strlen(text), sizeof text - std::strlen(text), " time %04x",
                    unsigned(time));
    make_text_anno(note, 0, CLASS_MIDI_TEXT, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                   text, &y);
    destroy_node(m);
  }
}
