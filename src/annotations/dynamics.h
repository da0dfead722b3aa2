// dynamics.h: what a text annotation says by its content: dynamics and the velocities they give
// the notes after them, the glyphs of trills, pedal marks and breath marks, and the class its
// content suggests.
#pragma once

#include "annotations/anno_services.h"
#include "model/model_services.h"

// ---- Glyph tests -----------------------------------------------------------------------------

// anno_is_style_670: 670 or 671 when the annotation, a TPARAM seen in the current context, is
// one character that is the single (670) or double (671) breath mark glyph in its font; else 0.
int anno_is_style_670(Drosa note, Drosa anno);
