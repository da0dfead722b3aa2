// symbol_page.cpp: the staff symbol fixture of symbol_page.h.
#include "support/symbol_page.h"

#include <cstdio>
#include <filesystem>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/menus.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/piece_builder.h"
#include "support/piece_files.h"

namespace {

const char* const STEPS = "CDEFGAB";
const char* const ACCIDENTALS[] = {"?", "bb", "b", "", "#", "x"};

std::string context_of(Drosa p) { return p->xcontext ? "@" + std::to_string(p->xcontext) : ""; }

std::string note_token(Drosa n) {
  if (n->get(xrest)) return "r";
  const int acc = n->get(xacc);
  std::string t(1, STEPS[((n->get(xmod7) % 7) + 7) % 7]);
  t += acc == 3 && n->get(xaccplot) ? "n" : ACCIDENTALS[acc <= 5 ? acc : 0];
  t += std::to_string(n->get(xmod7) / 7);
  if (n->get(xaccplot)) t += "+";
  if (n->get(xtie)) t += "~";
  return t;
}

std::string key_token(Drosa k) {
  std::string t = "key" + std::to_string(k->get(xkey)) + "[";
  for (int i = 0; i < std::min<int>(k->get(xkeycnt), 14); ++i)
    t += (i ? "," : "") + std::to_string(k->get(xkeysig_entry, i));
  t += "]";
  if (k->get(key_transposition)) t += "T" + std::to_string(k->get(key_transposition));
  return t;
}

std::string bar_token(Drosa b) {
  std::string t = b->get(xrepeat_end) ? ":|" : "|";
  if (b->get(xrepeat_start)) t += ":";
  if (b->get(xdouble)) t += "s" + std::to_string(b->get(xdouble));
  return t;
}

std::string build_folder() {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  return build.string();
}

}  // namespace

void SymbolPage::open(const std::function<void()>& build) {
  ASSERT_TRUE(write_built_piece(dir + "/piece.vesk", build));
  ASSERT_TRUE(start({dir + "/piece.vesk"}));
}

std::vector<Drosa> voice_notes(int voice) {
  std::vector<Drosa> found;
  for (Drosa p = piece_start[voice]; p; p = p->xnext)
    if (p->xkind == NOTE) found.push_back(p);
  return found;
}

void SymbolPage::select(Drosa note) { set_insertion_point(note, 0, -10); }

void SymbolPage::command(int16_t menu, int item) {
  do_menu_item(menu, int16_t(item), SOURCE_MENU_BAR);
  run_until_idle();
}

void SymbolPage::undo() { command(EDIT_MENU, 1); }
void SymbolPage::redo() { command(EDIT_MENU, 2); }

std::string symbol_dump(int voice) {
  std::string text;
  for (Drosa p = piece_start[voice]->xnext; p; p = p->xnext) {
    std::string t;
    switch (p->xkind) {
      case NOTE:
        t = note_token(p);
        break;
      case CLEF:
        t = "clef" + std::to_string(p->get(xclef)) + (p->get(xclef_in_system) ? "'" : "");
        break;
      case KEYSIG:
        t = key_token(p);
        break;
      case TIMESIG:
        t = std::to_string(p->get(xbpm)) + "/" + std::to_string(p->get(xbeat));
        if (p->get(xtimesig_symbol)) t += p->get(xtimesig_symbol) == 1 ? ".c" : ".C";
        break;
      case BEAMING:
        t = "beam" + std::to_string(p->get(xsbvalue) / 8192) + ":";
        for (int i = 0; i < 4; ++i) t += (i ? "," : "") + std::to_string(p->get(xbvalue, i) / 8192);
        break;
      case BAR:
        t = bar_token(p);
        break;
      case BARSEP:
        t = "sep";
        break;
      case ENDSYST:
        if (!p->get(xendpiece)) t = p->get(xendpage) ? "//" : "/";
        break;
      default:
        break;
    }
    if (t.empty()) continue;
    text += (text.empty() ? "" : " ") + t + context_of(p);
  }
  return text;
}

std::string note_keys(int voice) {
  std::string text;
  for (Drosa n : voice_notes(voice))
    if (!n->get(xrest)) text += (text.empty() ? "" : " ") + std::to_string(n->get(xpitch) >> 8);
  return text;
}

std::string stored_voice_bytes() {
  std::string bytes;
  for (int v = 0; v < voice_count; ++v) {
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (temp_node(p, 1002) || p->xkind == PDATA) continue;
      const uint8_t* b = p->bytes();
      std::string node(reinterpret_cast<const char*>(b + 8), DROSA_NODE_SIZE - 8);
      if (p->xkind == NOTE) node[15 - 8] &= ~0x02;
      bytes += node;
    }
    bytes += '|';
  }
  return bytes;
}

void SymbolPage::expect_consistent() {
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
}

void SymbolPage::save_bytes(const std::string& name, const std::string& bytes) {
  const std::filesystem::path folder =
      std::filesystem::path(build_folder()) / "test-output" / "editing";
  std::filesystem::create_directories(folder);
  if (std::FILE* out = std::fopen((folder / name).string().c_str(), "wb")) {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
}

void SymbolPage::save_page(const std::string& name) {
  const std::filesystem::path folder =
      std::filesystem::path(build_folder()) / "test-output" / "editing";
  std::filesystem::create_directories(folder);
  port_save_png(offscreen_page, (folder / (name + ".png")).c_str());
}

void SymbolPage::dialog_image(const std::string& name) {
  const std::filesystem::path folder =
      std::filesystem::path(build_folder()) / "test-output" / "editing" / "dialogs";
  std::filesystem::create_directories(folder);
  script_save_image((folder / (name + ".png")).string());
}

namespace {

Drosa add_key_of(int voice, int n) {
  Drosa key = add(voice, KEYSIG);
  key->set(xkey, int8_t(encode_xkey(n >= 0, n >= 0 ? n : -n, false)));
  build_keysig(nullptr, key, NIL);
  return key;
}

}  // namespace

int staff_voice(int staff, int clef, int key, const char* part) {
  const int v = new_voice(part, 0, staff);
  add_clef(v, clef);
  add_key_of(v, key);
  add_timesig(v, 4, 4);
  return v;
}

void add_tokens(int voice, const std::string& tokens) {
  const std::string steps = "CDEFGAB";
  size_t at = 0;
  while (at < tokens.size()) {
    size_t end = tokens.find(' ', at);
    if (end == std::string::npos) end = tokens.size();
    std::string t = tokens.substr(at, end - at);
    at = end + 1;
    if (t.empty()) continue;
    if (t == "|") {
      add_bar(voice);
      continue;
    }
    if (t == "/") {
      add_system_break(voice);
      continue;
    }
    if (t[0] == 'K') {
      add_key_of(voice, std::stoi(t.substr(1)));
      continue;
    }
    int value = QUARTER;
    const std::string values = "whes";
    const int lg[] = {WHOLE, HALF, EIGHTH, SIXTEENTH};
    if (t.size() > 1 && values.find(t[0]) != std::string::npos &&
        steps.find(t[1]) != std::string::npos) {
      value = lg[values.find(t[0])];
      t = t.substr(1);
    }
    if (t == "r") {
      add_rest(voice, value);
      continue;
    }
    const bool tied = t.back() == '~';
    if (tied) t.pop_back();
    const bool printed = t.back() == '+';
    if (printed) t.pop_back();
    const int octave = t.back() - '0';
    std::string accidental = t.substr(1, t.size() - 2);
    int acc = 3;
    if (accidental == "bb") acc = 1;
    if (accidental == "b") acc = 2;
    if (accidental == "#") acc = 4;
    if (accidental == "x") acc = 5;
    Drosa n = add_note(voice, value, octave * 7 + int(steps.find(t[0])));
    n->set(xacc, acc);
    n->set(xaccplot, printed ? 1 : 0);
    n->set(xtie, tied ? 1 : 0);
  }
}
