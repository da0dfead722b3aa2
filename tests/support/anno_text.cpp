// anno_text.cpp: coded annotation text turned into styled characters and back.
#include "support/anno_text.h"

#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

std::vector<ParsedChar> parse_coded(const std::string& text, bool reset, AnnoFontSpec base) {
  if (reset) parse_anno_escapes(nullptr, nullptr, NIL, 0);
  std::vector<ParsedChar> chars;
  for (size_t at = 0; at < text.size();) {
    ParamValue style{};
    style.set_font(base.font);
    style.set_size(uint8_t(base.size));
    style.set_style(base.face);
    const int consumed = parse_anno_escapes(text.c_str() + at, &style, NIL, 0);
    if (consumed <= 0) break;
    at += size_t(consumed);
    if (style.character() == 0) continue;
    chars.push_back({style.font(), style.size(), style.style(), style.character(), style.x(),
                     style.y(), consumed});
  }
  return chars;
}

namespace {

bool same_run(const ParsedChar& a, const ParsedChar& b) {
  return a.font == b.font && a.size == b.size && a.face == b.face && a.x == b.x && a.y == b.y;
}

Drosa run_node(const ParsedChar& c, bool head) {
  Drosa t = newDrosa(TPARAM, 0);
  t->set(xtextfont, c.font);
  t->set(xtextsize, uint8_t(c.size));
  t->set(xtextface, uint8_t(c.face));
  t->set(xsuper, uint8_t(c.y));
  t->set(xexpand, int8_t(c.x));
  t->set(head ? xbackslash : xadjacent, 1);
  return t;
}

}  // namespace

namespace {

// The runs of parsed characters as an annotation chain: each run's TPARAM and TEXT nodes.
std::vector<std::pair<Drosa, std::string>> make_runs(const std::vector<ParsedChar>& chars,
                                                     Drosa* last) {
  std::vector<std::pair<Drosa, std::string>> runs;
  for (size_t i = 0; i < chars.size(); ++i) {
    if (i == 0 || !same_run(chars[i], chars[i - 1]))
      runs.push_back({run_node(chars[i], i == 0), ""});
    runs.back().second.push_back(char(chars[i].character));
  }
  Drosa end = NIL;
  for (auto& [run, text] : runs) {
    if (end) link_after(run, end);
    Drosa text_last = NIL;
    if (Drosa first = make_text_nodes(text, 0, &text_last)) link_chain_after(first, text_last, run);
    end = text_last ? text_last : run;
  }
  if (last) *last = end;
  return runs;
}

}  // namespace

CodedText build_coded(const std::vector<ParsedChar>& chars) {
  CodedText coded;
  if (chars.empty()) return coded;
  const std::vector<std::pair<Drosa, std::string>> runs = make_runs(chars, nullptr);
  Drosa head = runs.front().first;
  anno_text_to_codes(nullptr, head, NIL);
  coded.base = anno_build_state.base;
  for (auto& [run, text] : runs) {
    std::string part = text;
    anno_text_to_codes(&part, run, NIL);
    coded.text += part;
  }
  destroy_Drosa_list(head);
  return coded;
}

Drosa coded_annotation(const std::string& coded, AnnoFontSpec base, Drosa* last) {
  const std::vector<ParsedChar> chars = parse_coded(coded, true, base);
  if (chars.empty()) return NIL;
  return make_runs(chars, last).front().first;
}

std::vector<ParsedChar> parse_coded(const CodedText& coded) {
  return parse_coded(coded.text, true, coded.base);
}
