// debug_dump.h: the debug stream, the text dumps that show the inside of a piece and of the
// layout while the program runs, and the chooser that writes them.
#pragma once

#include <string>

#include "model/drosa.h"
#include "model/model_services.h"

class CString;

// Lists of dump_voices.
inline constexpr int DUMP_SYSTEM = 0;    // the system being formatted, voice by voice
inline constexpr int DUMP_VOICES = 1;    // every voice from the start of the piece
inline constexpr int DUMP_UNDO = 2;      // the undo and redo lists
inline constexpr int DUMP_RODS = 3;      // the rods of the justification
inline constexpr int DUMP_SPRINGS = 4;   // its springs
inline constexpr int DUMP_PLAY = 5;      // the play queue
inline constexpr int DUMP_RECORDED = 6;  // the recorded keys

// describe_note_brief: a short text of a note or rest: pitch, value, tuplet, dots, grace
// ("4f+4d " is a printed sharp F of octave 4 as a dotted quarter); "NotNoteRest" for any other
// node.
void describe_note_brief(CString& out, Drosa node);

// dump_voice_nodes: one line (it may wrap) describing the node by its kind: its context, its
// address and its fields.
// Reads: the node, the NTDATA after a note, the layout records after a chord, current_ncontext.
// Writes: `line`; a rest with an accidental to be drawn writes a warning to the debug stream.
void dump_voice_nodes(Drosa node, std::string* line);

// dump_voices: the dump of one kind of list (DUMP_...), headed by the message when given.
// Every node is described as seen from its own notation context.
// Reads: the lists, voice_data, staff_data, page_start, insertion_point.
// Writes: the debug stream; current_ncontext while it runs (put back).
// Failure: level 4 "startvc logic error" and "endvc logic error" for a voice of the system
//          dump whose system start or end is missing; that voice is left out.
void dump_voices(int mode, const char* message);
