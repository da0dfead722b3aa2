// copypaste.h: the program's own clipboard of music and the commands that fill and paste it,
// and the picture of a page rectangle put on the system clipboard.
//
// The clipboard list of music holds, for each copied voice in turn, a copy of the KEYSIG and of
// the PRINT in force before its first note, then the copied nodes in list order (each note's
// annotations when asked, its SPACC, COLOR, TSMOD and NEST, then the note); a COPY node
// separates one voice from the next. The list is never part of a voice.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"

// The settings of the last copy, read by Paste Music.
extern Drosa clipboard_tail;           // the last node while the list is built
extern int32_t copy_with_annos;        // annotations before each note were copied
extern int32_t copy_skip_first_annos;  // ... but not those before the first note
extern int32_t copy_staff_voices;      // the voices of one staff were copied
extern int32_t copy_all_voices;        // every voice was copied
extern int32_t copy_zones;             // the measures' ZONE nodes were copied
extern int32_t copy_measure_count;     // measures asked for in Copy Measures (1 to 500)

// copy_note_to_clipboard: the per-note step of Copy Music. A note that does not end its chord
// while the chord's later notes are not copied takes over their time and the chord's end mark.
void copy_note_to_clipboard(Drosa note);

// copy_measures_from_voice: one voice's segment from the measure of `node`; its KEYSIG copy,
// or NIL (nothing kept, after "You cannot Copy Music over key changes!").
Drosa copy_measures_from_voice(Drosa node);
// copy_zone_for_measure: a ZONE copy for a copied measure start, put in front of `clip_node`.
void copy_zone_for_measure(Drosa node, Drosa clip_node);

// paste_music: one voice's segment at the insertion point, `transpose` (1) or not (0) into the
// key there; the COPY node that ended it (NIL at the list's end, or `failed` set).
Drosa paste_music(Drosa segment, int transpose, bool* failed);
// remove_zones_at: removes, with undo, the ZONE nodes attached before the notes at the note's
// time in every shown voice.
void remove_zones_at(Drosa note);
