// midifile_meta.cpp: meta events of an exported MIDI file.
#include "performance/midifile_meta.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "annotations/anno_services.h"
#include "performance/midi_out.h"
#include "performance/midifile.h"
#include "performance/performance_globals.h"
#include "platform/text_encoding.h"

namespace {

void write_meta(int type, const std::string& data, int32_t time) {
  std::lock_guard<std::recursive_mutex> held(midi_lock);
  if (!midi_file_writer.open || !write_midi_delta_time(time)) return;
  const uint8_t head[2] = {0xFF, uint8_t(type)};
  if (write_midi_bytes(head, 2) && write_midi_number(uint32_t(data.size()), -1))
    write_midi_bytes(reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

// The program's text (Mac OS Roman) in ISO 8859-1, as readers of MIDI files take their texts;
// a character that has none there becomes '?'.
std::string latin1_text(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    const char32_t u = macroman_to_unicode(c);
    out += u < 256 ? char(u) : '?';
  }
  return out;
}

}  // namespace

void write_midi_tempo(double rate, int32_t time) {
  if (!(rate > 0)) return;
  const double micro = std::floor(16384000.0 / rate);
  const uint32_t value = uint32_t(std::clamp(micro, 1.0, 16777215.0));
  write_meta(0x51, std::string{char(value >> 16), char(value >> 8), char(value)}, time);
}

void write_midi_timesig(Drosa timesig, int32_t time) {
  if (!timesig || effective_kind(timesig) != TIMESIG) return;
  const int beat = timesig->get(xbeat);
  if (beat < 1) return;
  int dd = 0;
  while ((2 << dd) <= beat && dd < 30) ++dd;
  const int cc = std::max(1, 96 >> std::min(dd, 7));
  write_meta(0x58, std::string{char(timesig->get(xbpm) & 0xFF), char(dd), char(cc), char(8)}, time);
}

void write_midi_text(Drosa tparam, int32_t time) {
  if (!tparam || tparam->xkind != TPARAM) return;
  std::string data;
  for (Drosa run = tparam; run;) {  // every style run of the annotation
    data += anno_run_words(run);    // a dynamic's glyph as its letters
    Drosa next = NIL;
    for (Drosa p = run->xnext; p && (p->xkind == TEXT || p->xkind == PDATA || p->xkind == PVIEW ||
                                     (p->xkind == TPARAM && p->get(xadjacent)));
         p = p->xnext)
      if (p->xkind == TPARAM) {
        next = p;
        break;
      }
    run = next;
  }
  if (data.empty()) return;
  const uint16_t flags = uint16_t(load_big_endian(tparam->bytes() + 24, 2));
  const int16_t font = tparam->get(xtextfont);
  int type = 5;
  if (flags & 0x1000)
    type = 6;
  else if ((font >= -3 && font <= -1) || (flags & 0x1C02) != 0x0C00 || tparam->get(xtextface) == 2)
    type = 1;
  if (type == 5 && data.back() != ' ' && data.back() != '-' && data.back() != '_') data += ' ';
  write_meta(type, latin1_text(data), time);
}
