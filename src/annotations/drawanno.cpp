// drawanno.cpp: the annotation passes of the page formatter.
//
// Annotations are not drawn yet: each pass completes at once without making elements.
#include "annotations/anno_services.h"

// Draws nothing yet: the voices' annotations have no drawing.
int32_t draw_voice_annos() { return 1; }

// Draws nothing yet: texts of the staves have no drawing.
int32_t draw_pstaff_texts() { return 1; }

// Draws nothing yet: line annotations of the staves have no drawing.
int32_t draw_pstaff_annos() { return 1; }

// There is no in-place text editor yet, so there is no caret to blink.
void text_idle() {}
