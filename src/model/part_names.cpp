// part_names.cpp: the names a part shows before the systems, kept in the piece.
//
// A part's full name (before its first system) and its abbreviation (before the later ones)
// are two hidden text annotations before the first note of the part's top voice, one for each
// name: "partname 1 Violino I." and "partabbr 0 Vl. I": the word, 1 when the name is drawn or 0
// when it is only kept, a blank, then the name to the end of the text. Being ordinary text
// annotations, they are saved, opened, copied and undone like any other, and a piece without
// them (every piece made here until the user asks) draws no names. The part's key in its VINFO
// stays as it is: these names may be longer and hold any character.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "model/font_table.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_kinds.h"
#include "model/piece_format.h"

namespace {

constexpr std::string_view FULL_WORD = "partname ", SHORT_WORD = "partabbr ";

Drosa first_note_of_voice(int v) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE) return p;
  return NIL;
}

// The record an annotation head holds: 1 a full name, 2 an abbreviation, 0 none.
int parse_record(Drosa node, std::string* name, bool* shown) {
  if (!node || effective_kind(node) != TPARAM || rec_bit16(node, 16, 9) || rec_bit16(node, 16, 0))
    return 0;
  // The word and flag are read first: most texts are no record, and some are long.
  const size_t flag = FULL_WORD.size();
  const std::string head = model_hooks.anno_run_text(node, int(flag + 2));
  const std::string_view record(head);
  int kind = record.starts_with(FULL_WORD) ? 1 : record.starts_with(SHORT_WORD) ? 2 : 0;
  if (!kind || record.size() < flag + 2 || (record[flag] != '0' && record[flag] != '1') ||
      record[flag + 1] != ' ')
    return 0;
  *shown = record[flag] == '1';
  *name = model_hooks.anno_run_text(node, ANNO_RUN_TEXT_LIMIT).substr(flag + 2);
  return kind;
}

// The text of a record: "partname " or "partabbr ", 1 or 0, a blank, the name.
std::string format_record(bool abbreviation, const PartName& name) {
  std::string text(abbreviation ? SHORT_WORD : FULL_WORD);
  text += name.shown ? "1 " : "0 ";
  text += name.text.substr(0, PART_NAME_TEXT_MAX);
  return text;
}

}  // namespace

namespace {

// The names of a part gathered voice by voice: a name is taken from the first voice that
// holds one, and from that voice's first record of it.
struct GatheredNames {
  PartNames names;
  bool full_found = false, short_found = false;
  bool complete() const { return full_found && short_found; }
  void take(const GatheredNames& voice) {
    if (!full_found && voice.full_found) names.full = voice.names.full, full_found = true;
    if (!short_found && voice.short_found)
      names.abbreviation = voice.names.abbreviation, short_found = true;
  }
};

// The records before voice w's first note.
GatheredNames records_of_voice(int w) {
  GatheredNames gathered;
  for (Drosa p = piece_start[w]; p && p->xkind != NOTE && !gathered.complete(); p = p->xnext) {
    PartName found;
    const int kind = parse_record(p, &found.text, &found.shown);
    GatheredNames one;
    if (kind == 1) one.names.full = found, one.full_found = true;
    if (kind == 2) one.names.abbreviation = found, one.short_found = true;
    gathered.take(one);
  }
  return gathered;
}

// Whether voice w belongs to voice v's part, given their part names.
bool in_part_of(int v, int w, const std::string& v_part, const std::string& w_part) {
  return w == v ||
         (piece_start[v] && piece_start[w] && names_equal16(w_part.c_str(), v_part.c_str()));
}

}  // namespace

PartNames part_names_of_voice(int v) {
  GatheredNames gathered;
  if (v < 0 || v >= voice_count || v >= MAX_VOICES) return gathered.names;
  // The part's name is read once, not once for every voice it is compared with.
  const std::string part = voice_part_name(v);
  for (int w = 0; w < voice_count && w < MAX_VOICES && !gathered.complete(); ++w)
    if (in_part_of(v, w, part, voice_part_name(w))) gathered.take(records_of_voice(w));
  return gathered.names;
}

std::vector<PartNames> part_names_of_voices() {
  const int count = std::clamp<int>(voice_count, 0, MAX_VOICES);
  std::vector<std::string> parts;
  std::vector<GatheredNames> records;
  for (int w = 0; w < count; ++w) {
    parts.push_back(voice_part_name(w));
    records.push_back(records_of_voice(w));
  }
  std::vector<PartNames> names;
  for (int v = 0; v < count; ++v) {
    GatheredNames gathered;
    for (int w = 0; w < count && !gathered.complete(); ++w)
      if (in_part_of(v, w, parts[size_t(v)], parts[size_t(w)])) gathered.take(records[size_t(w)]);
    names.push_back(gathered.names);
  }
  return names;
}

bool set_part_names(int v, const PartNames& names) {
  if (v < 0 || v >= voice_count) return false;
  Drosa note = first_note_of_voice(v);
  if (!note) return false;
  for (Drosa p = piece_start[v]; p && p->xkind != NOTE;) {
    std::string text;
    bool shown = false;
    if (!parse_record(p, &text, &shown)) {
      p = p->xnext;
      continue;
    }
    Drosa before = model_hooks.delete_anno_nodes(p);
    p = before ? before->xnext : NIL;
  }
  const struct {
    bool abbreviation;
    const PartName& name;
  } records[2] = {{false, names.full}, {true, names.abbreviation}};
  for (const auto& r : records) {
    if (r.name.text.empty()) continue;
    model_hooks.make_text_anno(note, 0, FONT_RECORD_CLASSIFY, model_hooks.hidden_record_style(),
                               format_record(r.abbreviation, r.name).c_str(), nullptr);
  }
  return true;
}
