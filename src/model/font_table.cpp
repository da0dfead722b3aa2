// font_table.cpp: the font records of a piece, read and brought up to date.
//
// A record is an ordinary text annotation, so it is stored, copied and deleted like any
// other; only its text marks it. A font name holding a double quote cannot be recorded (the
// quote would end the name early), so such a font gets no record.
#include "model/font_table.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Editor/text_numbers.h"
#include "model/model_globals.h"
#include "model/node_kinds.h"
#include "model/piece_format.h"
#include "platform/fonts.h"

namespace {
Drosa first_note_of_voice(int v) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE) return p;
  return NIL;
}
}  // namespace

CString format_font_record(int number, const char* name) {
  CString text;
  text.format("font %d \"%s\"", number, name);
  return text;
}

int parse_font_record(Drosa node, int* number, CString* name) {
  if (!node || effective_kind(node) != TPARAM || rec_bit16(node, 16, 9) || rec_bit16(node, 16, 0))
    return 0;
  const std::string read = model_hooks.anno_run_text(node, ANNO_RUN_TEXT_LIMIT);
  const char* text = read.c_str();
  // "font", the number, blanks, then the name in double quotes.
  std::string_view record(text);
  int64_t found = 0;
  size_t used =
      record.starts_with("font") ? scan_decimal(record.substr(4), INT32_MIN, INT32_MAX, &found) : 0;
  if (!used) return 0;
  used += 4;
  while (used < record.size() &&
         (record[used] == ' ' || (record[used] >= '\t' && record[used] <= '\r')))
    ++used;
  if (text[used] != '"') return 0;
  *number = int(found);
  const char* start = text + used + 1;
  const char* close = std::strchr(start, '"');
  *name = CString(start).left(close ? int(close - start) : int(std::strlen(start)));
  return close ? 1 : 0;
}

Drosa find_font_record(int number, CString* name) {
  for (int v = 0; v < voice_count; ++v) {
    for (Drosa p = piece_start[v]; p && p->xkind != NOTE; p = p->xnext) {
      int found = 0;
      CString recorded;
      if (parse_font_record(p, &found, &recorded) && found == number) {
        *name = recorded;
        return p;
      }
    }
  }
  return NIL;
}

void write_font_table() {
  // Every font of the piece that the system knows by a number of its own. Nodes are taken by
  // their own kind, whatever context they belong to.
  std::vector<std::pair<int, std::string>> fonts;
  for (int v = 0; v < voice_count; ++v) {
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      bool has_font =
          p->xkind == TPARAM || (p->xkind == PARAM && model_hooks.param_node_has_font(p));
      int font = has_font ? rec_i16(p, 10) : -1;
      if (font < 0) continue;
      std::string name = platform_font_name(font);
      if (name.empty() || name.find('"') != std::string::npos) continue;
      bool known = false;
      for (const auto& entry : fonts) known = known || entry.first == font;
      if (!known) fonts.push_back({font, name});
    }
  }

  Drosa note = voice_count > 0 ? first_note_of_voice(0) : NIL;
  if (!note) return;
  for (const auto& [number, name] : fonts) {
    CString recorded;
    Drosa record = find_font_record(number, &recorded);
    if (record && std::strcmp(recorded, name.c_str()) == 0) continue;
    if (record) model_hooks.delete_anno_nodes(record);
    model_hooks.make_text_anno(note, 0, FONT_RECORD_CLASSIFY, model_hooks.hidden_record_style(),
                               format_font_record(number, name.c_str()), nullptr);
  }
}
