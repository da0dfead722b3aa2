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
#include "platform/events.h"
#include "platform/geometry.h"

// entry_node: the note at which the piano window enters notes: the insertion point while note
// entry is on (a double click in the music, or Voice > Note Entry); NIL otherwise.
// Reads: note_entry_active, insertion_point.
Drosa entry_node();

// ---- The played keys ---------------------------------------------------------------------------
// add_played_key: adds a key (-1 a rest) to played_keys: a rest only into an empty table, a key
// only once, at most 88 keys. The key is marked, spelled at the insertion point (with the
// palette's accidental or special accidentals) and, when asked, sounded with the selected
// voice's instrument.
// Reads:  current_note_template, template_staccatissimo, spacc_template, insertion_point.
// Writes: played_keys, played_key_count; sends MIDI when sounding.
void add_played_key(int32_t key, bool sound);
// redraw_played_keys: marks (on) or unmarks every collected key.
void redraw_played_keys(bool on);
// enter_played_chord: silences the collected keys, unmarks them and enters them as one chord
// at the insertion point (three adjacent semitones are a rest where the options ask for
// clusters as rests); with Enable Duration Edits a rest alone goes before the selection's
// chords instead. The table is empty afterwards.
// Writes: the voice list (one undo step), insertion_point, the template's one-shot values.
void enter_played_chord();

// ---- Computer keys -----------------------------------------------------------------------------
// piano_apply_pending: a key-up: enters the chord of the key typed last, unless Shift holds it.
void piano_apply_pending(const EventRecord& event);
// piano_key_equivalent: a typed character that the preferences map to a point of the piano
// window acts as a press there (act false: only says whether it would). Non-zero when the
// piano window takes the key; keys with Command or Option are never taken.
// Reads: prefs (the computer-key table).
int32_t piano_key_equivalent(const EventRecord& event, int act);
// valid_key_code: the character code when it is 1..511, else -1.
int valid_key_code(int code);
// pianoeq_dialog: asks which computer key plays the point of the piano window (a Command-click
// there) and keeps it in the preferences.
// Failure: level 2 "Please type one letter, number, or punctuation." for anything but one
//          character (the dialog stays); level 4 "Unexpected item returned from pianoeq_dialog".
void pianoeq_dialog(Point where);

// ---- MIDI input --------------------------------------------------------------------------------
// piano_idle: the main loop's idle work for note entry: a Shift chord whose Shift went up is
// entered, and the MIDI input that arrived is played and entered. allow false (start-up), a
// group selection or an annotation mode leave the MIDI input waiting. Non-zero when a chord
// was entered.
// Reads:  midi_out_available, the input ring, prefs byte 7, keyboard_shift.
// Writes: played_keys, the voice list through enter_played_chord.
int32_t piano_idle(int allow);
// piano_input_waiting: keys are waiting to be entered: a Shift chord whose Shift went up, or
// MIDI input in the ring. A format asks it and stops, so that the main loop enters them.
bool piano_input_waiting();

// ---- Sounding ----------------------------------------------------------------------------------
// audition_note: sounds (on) or silences a note with its voice's channels (a rest: nothing);
// before sounding, the voice's instrument is brought up to date from the MIDI commands before
// the note (NIL: the selected voice's first commands), program 0 when there are none.
// Reads: the voice list, audition_channel, selected_voice, the sounding keys.
void audition_note(Drosa note, bool on);

// ---- Spelling and entered nodes
// ------------------------------------------------------------------ set_key_spelling: the spelling
// of each pitch class for entered keys, from a key signature (NIL: none); nothing is done for the
// key that set it last. Writes: key_spelling, key_spelling_key.
void set_key_spelling(Drosa keysig);
// new_entry_nest_node: a NEST with the nested tuplet for an entered note, when the template has
// a tuplet and a nested one is chosen; else NIL.
Drosa new_entry_nest_node();
// grace_after_fixup: after grace notes entered to follow their main note, the insertion point
// returns to the main note, and a slur begun on the new grace chord goes to the grace chord
// before it instead (with undo).
void grace_after_fixup(Drosa new_note, Drosa old_insertion_point);
