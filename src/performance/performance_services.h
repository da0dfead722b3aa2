// performance_services.h: what the rest of the program asks of the performance code.
// Other folders include this header and no other header of performance/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "performance/hear_dialogs.h"
#include "performance/midi_out.h"
#include "performance/midifile.h"
#include "performance/midifile_meta.h"
#include "performance/note_entry.h"
#include "performance/palette.h"
#include "performance/perfdata.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/piano_draw.h"
#include "performance/pianowin.h"
#include "performance/pitch.h"
#include "performance/play.h"
#include "performance/play_queue.h"
#include "performance/quantise.h"
#include "performance/record.h"
#include "platform/events.h"

// ---- Recording ---------------------------------------------------------------------------------
// Set while the record loop runs: every event goes to recimp_dialog_event then.
extern int32_t recording_active;
// Test double: called at every turn of the record loop, nullptr none.
extern void (*record_loop_hook)();
