// anno_globals.cpp: definitions of the annotations' program-wide state.
#include "annotations/anno_globals.h"

Drosa current_anno;
Drosa last_template_source;
AnnoParseState anno_parse_state;
AnnoBuildState anno_build_state;
uint16_t anno_refers_to_GE;
uint8_t anno_hyphens_pending;
AnnoMeasureCache anno_measure_cache;

void reset_anno_globals() {
  current_anno = NIL;
  last_template_source = NIL;
  anno_parse_state = AnnoParseState{};
  anno_build_state = AnnoBuildState{};
  anno_refers_to_GE = 0;
  anno_hyphens_pending = 0;
  anno_measure_cache = AnnoMeasureCache{};
}
