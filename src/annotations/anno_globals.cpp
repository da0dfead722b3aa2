// anno_globals.cpp: definitions of the annotations' program-wide state.
#include "annotations/anno_globals.h"

Drosa current_anno;
Drosa last_template_source;
Drosa previous_anno;
int last_class_set = -1;
std::unordered_set<std::string> unpaired_lines_said;
AnnoParseState anno_parse_state;
AnnoBuildState anno_build_state;
uint16_t anno_refers_to_GE;
uint8_t anno_hyphens_pending;
std::unordered_map<uint32_t, int32_t> lyric_line_y;
std::vector<LyricLineBox> lyric_line_boxes[MAX_PSTAVES];
std::vector<DrawnMark> marks_drawn;
AnnoMeasureCache anno_measure_cache;

void reset_anno_globals() {
  current_anno = NIL;
  last_template_source = NIL;
  previous_anno = NIL;
  last_class_set = -1;
  unpaired_lines_said.clear();
  anno_parse_state = AnnoParseState{};
  anno_build_state = AnnoBuildState{};
  anno_refers_to_GE = 0;
  anno_hyphens_pending = 0;
  lyric_line_y.clear();
  for (auto& lines : lyric_line_boxes) lines.clear();
  forget_marks_drawn();
  anno_measure_cache = AnnoMeasureCache{};
}
