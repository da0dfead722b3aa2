// voice_chords.h: vertical chords: runs of adjacent NOTE nodes of one voice that sound
// together, the last of them marked xendvcd; and the ends of a voice's system.
#pragma once

#include <cstdint>

#include "model/drosa.h"
#include "model/model_services.h"

int is_voice_head_ENDSYST(Drosa node);
int endvc(Drosa node);
int endvcnotes(Drosa node);
