// anno_least.h: the least of hidden text that the annotation passes need, until it is built:
// hidden texts are shown by their category's bits of the preferences.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// hidden_text_where: where a text is shown: 1 everywhere, 2 on the screen only, 3 in print
// only, -1 nowhere. A text not marked Hidden is shown everywhere; a hidden one by the bits of
// its category in the preferences' hide word (commands, fingerings, other texts).
// Failure: a node that is not a visible TPARAM: level 4 "Bad call to hidden_text_check!", -1.
int hidden_text_where(Drosa tparam, Drosa note);
