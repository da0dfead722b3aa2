// musicxml_fixture.cpp: importing handwritten MusicXML documents in tests.
#include "ImportExport/musicxml_fixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "ImportExport/exchange_checks.h"
#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/real_scores.h"

std::string musicxml_fixture(const char* name) {
  std::ifstream in(std::string(VESK_TEST_DATA) + "/ImportExport/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string exported_musicxml(bool validate) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("vesk-exported-" + std::to_string(::getpid()));
  EXPECT_EQ(export_musicxml_file(path.string()), 1);
  const std::string written = read_file(path);
  std::filesystem::remove(path);
  if (validate) {
    const std::string errors = schema_errors(written);
    EXPECT_EQ(errors, "") << "the export breaks the MusicXML schema";
  }
  return written;
}

namespace {

const char VALUE_LETTERS[] = "Bwhqesxyz";

std::string value_of(Drosa n) {
  std::string t(1, VALUE_LETTERS[std::min<int>(n->get(xlgval), 8)]);
  t.append(n->get(xdots), '.');
  if (n->get(xtupl) > 1)
    t += "/" + std::to_string(n->get(xtupl)) + ":" + std::to_string(n->get(xintimeof) / 4);
  return t;
}

std::string note_token(Drosa n) {
  std::string t = n->get(xgrace) ? "g" : "";
  if (n->get(xrest)) return t + "r" + (n->get(xhider) ? "?" : "") + value_of(n);
  if (n->get(xnotehead) == 6 && n->get(xnostem)) t += "?";  // not printed
  const int mod7 = n->get(xmod7);
  t += "CDEFGAB"[((mod7 % 7) + 7) % 7];
  static const char* const accidentals[] = {"", "bb", "b", "", "#", "##", "", ""};
  t += accidentals[n->get(xacc)];
  t += std::to_string(mod7 / 7 - 1);
  return t + value_of(n);
}

}  // namespace

std::string notes_of(int v) {
  std::string out;
  bool in_chord = false;
  for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == NOTE) {
      out += in_chord ? "+" : out.empty() ? "" : " ";
      out += note_token(p);
      in_chord = !p->get(xendvcd);
    } else if (kind == BAR) {
      out += " |";
    } else if (kind == ENDSYST && !p->get(xendpiece)) {
      out += p->get(xendpage) ? " ///" : " //";
    }
  }
  return out;
}

std::string voice_name(int v) {
  Drosa info = find_next_kind_until(VINFO, piece_start[v], NOTE, 0);
  return info ? info->get(xpname) + ":" + std::to_string(info->get(xvoiceOnPart)) : "?";
}

std::string measure_lengths(int v) {
  std::string out;
  int64_t sum = 0;
  for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) sum += p->get(xttn);
    if (effective_kind(p) == BAR || (p->xkind == ENDSYST && p->get(xendpiece) && sum)) {
      out += (out.empty() ? "" : " ") + std::to_string(sum);
      sum = 0;
    }
  }
  return out;
}

void MusicXmlTest::SetUp() {
  ModelTest::SetUp();
  read_header(nullptr);  // the options of a new piece, which the import starts from
  voice_count = 0;       // the piece emptied, as opening a document leaves it
  param_init();
  GE_head = newDrosa(GE_CHAR, 0);  // the view's graphics list, as opening a view makes it
}

int MusicXmlTest::import(const std::string& document, int complete) {
  // A complete import breaks the piece into systems through the Systems dialog, answered by
  // answer_systems.
  if (complete) {
    script_begin();
    answer_systems();
  }
  const int imported = import_musicxml_memory(document.data(), document.size(), complete);
  if (complete) {
    script_take_faults();  // a document that keeps its breaks asks nothing
    script_end();
  }
  return imported;
}

int MusicXmlTest::import_fixture(const char* name, int complete) {
  return import(musicxml_fixture(name), complete);
}

std::string annotations_of(int v) {
  std::string out;
  int notes = 0;
  std::string pending;
  auto close = [&] {
    // The names the part shows before the systems are records of the part, not its marks.
    if (pending.starts_with("partname ") || pending.starts_with("partabbr ")) pending.clear();
    if (pending.empty()) return;
    out += (out.empty() ? "" : " ") + pending + "@" + std::to_string(notes);
    pending.clear();
  };
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == TPARAM) {
      if (p->get(xadjacent))
        pending += "+";
      else
        close();
    } else if (p->xkind == TEXT) {
      pending += p->get(xtext);
    } else if (p->xkind == LINE) {
      close();
      pending = p->get(xline_ord) == 1 ? ">" : "<";
    } else if (p->xkind == NOTE) {
      close();
      ++notes;
    }
  }
  return out;
}

bool part_name_record(Drosa tparam) {
  if (!tparam || tparam->xkind != TPARAM) return false;
  const std::string text = anno_run_text(tparam);
  return text.starts_with("partname ") || text.starts_with("partabbr ");
}

Drosa nth_note(int v, int k) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE && k-- == 0) return p;
  return NIL;
}
