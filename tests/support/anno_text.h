// anno_text.h: coded annotation text turned into styled characters and back, the way in-place
// editing does it, for the tests and the fuzz target of the escape codes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "annotations/anno_services.h"

// One character the parser gave: its style, and the bytes the call consumed.
struct ParsedChar {
  int16_t font = 0;
  int size = 0, face = 0, character = 0;
  int32_t x = 0, y = 0;
  int consumed = 0;
  // Equal in everything drawn (the bytes consumed aside).
  friend bool operator==(const ParsedChar& a, const ParsedChar& b) {
    return a.font == b.font && a.size == b.size && a.face == b.face && a.character == b.character &&
           a.x == b.x && a.y == b.y;
  }
};

// The characters of a coded text parsed at no note in the base font (a fresh parser unless
// reset is false: then it goes on as for a further run of the same annotation).
std::vector<ParsedChar> parse_coded(const std::string& text, bool reset = true,
                                    AnnoFontSpec base = AnnoFontSpec{});

// Parsed characters grouped into style runs (equal font, size, face and offsets), made into
// an annotation and written back as coded text; base: the font the builder took.
struct CodedText {
  std::string text;
  AnnoFontSpec base;
};
CodedText build_coded(const std::vector<ParsedChar>& chars);
// The coded text parsed again in the font the builder took.
std::vector<ParsedChar> parse_coded(const CodedText& coded);

// An annotation made of coded text as finishing an edit makes it: its characters grouped into
// style runs, a TPARAM (the first with xbackslash) and TEXT nodes for each, as a detached
// chain; *last receives its last node.
Drosa coded_annotation(const std::string& coded, AnnoFontSpec base, Drosa* last);
