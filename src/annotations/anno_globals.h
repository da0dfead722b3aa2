// anno_globals.h: the program-wide state of the annotations.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "annotations/anno_codes.h"
#include "annotations/anno_services.h"
#include "annotations/marks_apart.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

extern Drosa last_template_source;  // the annotation copied last into a template; NIL none
extern int last_class_set;          // the class anno_set_class gave last from its defaults; -1 none
// The pieces (by file name; "" for those not saved yet) whose lines that lost a segment the
// user was told of.
extern std::unordered_set<std::string> unpaired_lines_said;

// Flags of the page being formatted, cleared by draw_voice_annos.
extern uint16_t anno_refers_to_GE;    // the OR of the varieties of the element overrides seen
extern uint8_t anno_hyphens_pending;  // some text ends in a centred hyphen
// The base line of each syllable of the system being drawn, by its TPARAM's handle: the height
// of its lyric line (lyric_line_heights). Set by draw_voice_annos.
extern std::unordered_map<uint32_t, int32_t> lyric_line_y;
// The marks drawn on the system being drawn, in the order drawn (keep_mark_apart).
extern std::vector<DrawnMark> marks_drawn;
// The lines of lyrics of each pstaff of the page being formatted (anno_lyric_lines).
extern std::vector<LyricLineBox> lyric_line_boxes[MAX_PSTAVES];

// Text measured for annotations, by font number, point size and face: the widths of texts
// (points) and the font metrics. A font's measures never change while the program runs. A
// width is found by a view of its key, without making a string of it.
struct AnnoMeasureKeyHash {
  using is_transparent = void;
  size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
};
struct AnnoMeasureCache {
  std::unordered_map<std::string, double, AnnoMeasureKeyHash, std::equal_to<>> widths;
  std::unordered_map<uint64_t, FontMetrics> metrics;
};
extern AnnoMeasureCache anno_measure_cache;
