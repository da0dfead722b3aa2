// anno_globals.h: the program-wide state of the annotations.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "annotations/anno_codes.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

extern Drosa current_anno;          // the selected annotation (its TPARAM or LINE); NIL none
extern Drosa last_template_source;  // the annotation copied last into a template; NIL none
extern Drosa previous_anno;  // the annotation selected before current_anno's deselection; NIL
extern int last_class_set;   // the class anno_set_class gave last from its defaults; -1 none
// The pieces (by file name; "" for those not saved yet) whose lines that lost a segment the
// user was told of.
extern std::unordered_set<std::string> unpaired_lines_said;

// The escape-code parser between two characters of one annotation.
struct AnnoParseState {
  int size_override = 0;      // the size the size codes reached, once one was seen
  bool override_set = false;  // a size code was seen in this annotation
  int previous_size = -1;     // the text size of the last character; -1 none yet
  int16_t font_override = 0;  // the font a font code switched to
  bool font_override_set = false;
  uint8_t face_toggles = 0;   // face bits toggled by "\b" and "\i"
  bool super_active = false;  // a superscript mode ("\g", "\u") is on
  bool super_first = false;   // no plain character since it was switched on
  ParamValue super_glyph{};   // its parameter's value
  int super_step = 0;         // its size - 12 while on, else 0
  bool pending = false;       // the second glyph of a two-glyph code waits
  ParamValue pending_glyph{};
  bool size_clamped = false;  // a size fell outside 1..255 and was held
};
extern AnnoParseState anno_parse_state;

// The escape-code builder while it writes the runs of one annotation: what the parser will
// have seen up to the end of the text written so far.
struct AnnoBuildState {
  bool prepared = false;
  bool coded = false;       // the annotation is written as codes (xbackslash)
  AnnoFontSpec base;        // the annotation's font
  int size = 0;             // the size the codes have reached
  uint8_t face = 0;         // the face they have reached
  int super = -1;           // the record of the active superscript; -1 none
  int previous_glyph = -1;  // the record written for the previous character; -1
  std::string last_code;    // the code that the text written so far ends with; "" none
  anno_code_entry table[ANNO_CODE_COUNT]{};  // the code table with its glyphs resolved
  int32_t xoffset[ANNO_CODE_COUNT][2]{};     // and their x offsets
  int fret_super = -1, chord_super = -1;     // the records of "\g" and "\u"
  int step_up = -1, step_up4 = -1, step_down = -1, step_down4 = -1;  // the size steps
};
extern AnnoBuildState anno_build_state;

// Flags of the page being formatted, cleared by draw_voice_annos.
extern uint16_t anno_refers_to_GE;    // the OR of the varieties of the element overrides seen
extern uint8_t anno_hyphens_pending;  // some text ends in a centred hyphen

// Text measured for annotations, by font number, point size and face: the widths of texts
// (points) and the font metrics. A font's measures never change while the program runs.
struct AnnoMeasureCache {
  std::unordered_map<std::string, double> widths;
  std::unordered_map<uint64_t, FontMetrics> metrics;
};
extern AnnoMeasureCache anno_measure_cache;

void reset_anno_globals();
