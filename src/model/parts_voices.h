// parts_voices.h: parts and the voices that make them up: creating a voice from another,
// removing a voice, the part and voice commands of the Parts and Voices dialog, and the small
// name and list routines the dialogs, the layout and the interchange code use.
//
// A part is not a record of its own: it is the set of voices whose VINFO nodes hold the same
// part name (`xpname`, compared over 16 bytes); `xvoiceOnPart` numbers a part's voices from 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/drosa.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"

// ---- VOICES: one staff of the Parts and Voices dialog's staff list (run time only) ------------

// ---- Creating and removing voices --------------------------------------------------------------

// Makes voice `voice_count` from the source voice (its structure, with rests for its notes) as
// voice voice_number of the named part; 1 when made, 0 when refused (64 voices, or not in the
// Score), with a message.
int add_voice(int source_voice, const char* part_name, int voice_number, int copy_clefs);
// Appends to the new voice, after tail, the copies that follow the source from `from` through
// `to` (NIL: to the end), then turns its notes into rests; returns the node before the new
// voice's end-of-piece ENDSYST. Discards the undo and redo histories.
Drosa create_voice_nodes(int source_voice, Drosa from, Drosa to, int new_voice, Drosa tail,
                         const char* part_name, int voice_number, int copy_clefs);
// Removes a voice and renumbers the later ones; sets *was_printing (when given) when the voice
// had a PRINT with a staff. 1 when removed.
int remove_voice_slot(int voice, int* was_printing);

// ---- Part names ---------------------------------------------------------------------------------

// The highest xvoiceOnPart of the part's voices; -1 when the part has none.
int max_voice_number_of_part(const char* name);
// The number of parts whose first voice comes before the first voice of v's part.
int part_index_of_voice(int v);
// 1 when there are fewer than two voices or every voice has voice 0's part name.
int all_voices_one_part();

// ---- Display names of voices --------------------------------------------------------------------

// The same, length-prefixed (a length byte, then the characters).
std::string voice_display_name_pascal(int v);
// The part name of a display name (its "-n" or "-nn" cut), and its voice number (n - 1; 0 when
// it has no number).
std::string strip_voice_suffix(const char* name);
int voice_suffix_number(const char* name);

// The part's staff count from the PRINT in force at node (1 when none or 0).
int part_staff_count(Drosa node);
int part_staff_count_of_voice(int v);
// From the PRINT in force at node: -1 not printed, else the part's staff of this voice (0 when
// the PRINT gives no staff count); 0 without a PRINT.
int part_staff_field_hi(Drosa node);

// ---- Lists -------------------------------------------------------------------------------------

// How many voices of the staff record belong to v's part.
int count_voices_of_part_in_list(Drosa staff, int v);
// The distinct part names of the staff record's voices, in its order.
std::vector<std::string> part_names_of_staff_list(Drosa staff);

// At the insertion point's system, the part names of the parts' first voices ordered by their
// staff (not printed first).
std::vector<std::string> part_names_in_staff_order();
