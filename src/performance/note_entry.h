// note_entry.h: notes entered one chord at a time from the piano window's keys, from computer
// keys mapped to points of the piano window, and from a MIDI keyboard. Every key pressed is
// marked on the keyboard, sounded (MIDI input only when the preferences ask), and collected in
// played_keys; when the keys are released the collected keys become one chord built from
// current_note_template and inserted at the insertion point, which then moves on. Shift held
// while clicking or typing keeps the chord open; on MIDI input the first key released enters
// everything pressed since the last entry.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/geometry.h"

// entry_node: the note at which the piano window enters notes: the insertion point while note
// entry is on (a double click in the music, or Voice > Note Entry); NIL otherwise.
// Reads: note_entry_active, insertion_point.
Drosa entry_node();

// ---- Computer keys -----------------------------------------------------------------------------

// valid_key_code: the character code when it is 1..511, else -1.
int valid_key_code(int code);

// pianoeq_dialog: asks which computer key plays the point of the piano window (a Command-click
// there) and keeps it in the preferences.
// Failure: level 2 "Please type one letter, number, or punctuation." for anything but one
//          character (the dialog stays); level 4 "Unexpected item returned from pianoeq_dialog".
void pianoeq_dialog(Point where);

// ---- Sounding ----------------------------------------------------------------------------------

// audition_note: sounds (on) or silences a note with its voice's channels (a rest: nothing);
// before sounding, the voice's instrument is brought up to date from the MIDI commands before
// the note (NIL: the selected voice's first commands), program 0 when there are none.
// Reads: the voice list, audition_channel, selected_voice, the sounding keys.
void audition_note(Drosa note, bool on);

// new_entry_nest_node: a NEST with the nested tuplet for an entered note, when the template has
// a tuplet and a nested one is chosen; else NIL.
Drosa new_entry_nest_node();

// grace_after_fixup: after grace notes entered to follow their main note, the insertion point
// returns to the main note, and a slur begun on the new grace chord goes to the grace chord
// before it instead (with undo).
void grace_after_fixup(Drosa new_note, Drosa old_insertion_point);
