// anno_globals.cpp: definitions of the annotations' program-wide state.
#include "annotations/anno_globals.h"

Drosa current_anno;

void reset_anno_globals() { current_anno = NIL; }
