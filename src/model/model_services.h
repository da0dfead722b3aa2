// model_services.h: what the other subsystems may call of the piece model: the node store and
// node kinds, voice lists and their walks, chords, durations, systems and pages, undo, the edit
// primitives, parts, voices and notation contexts, the piece file, the error report and the
// dialog-item routines. Other folders include this header and no other header of model/.
#pragma once

#include "model/change_flags.h"
#include "model/check_lists.h"
#include "model/convert_formats.h"
#include "model/debug_dump.h"
#include "model/dialog_items.h"
#include "model/drosa.h"
#include "model/durashn.h"
#include "model/error_report.h"
#include "model/file_errors.h"
#include "model/font_table.h"
#include "model/list_boxes.h"
#include "model/model_globals.h"
#include "model/ncontexts.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/number_dialogs.h"
#include "model/options.h"
#include "model/page_systems.h"
#include "model/parts_voices.h"
#include "model/parts_voices_dialog.h"
#include "model/piece_format.h"
#include "model/readvesk.h"
#include "model/replace.h"
#include "model/staffops.h"
#include "model/undo.h"
#include "model/voice_chords.h"
#include "model/voice_lists.h"
#include "model/writevesk.h"
