// piece_builder.h: makes pieces in code for tests, and dumps voice lists as text.
//
// A voice made here is a head ENDSYST (start of piece), a VINFO, a PRINT of the Score
// (context 1) and a final ENDSYST (end of piece, end of page). Everything added goes before
// the final ENDSYST, in order. Notes are single-note chords (xendvcd) unless added with
// `chord_continues`.
#pragma once

#include <string>
#include <vector>

#include "model/model_services.h"

// Note values (xlgval).
enum NoteValue { BREVE = 0, WHOLE = 1, HALF = 2, QUARTER = 3, EIGHTH = 4, SIXTEENTH = 5 };

// Starts a new voice; returns its number.
int new_voice(const char* part = "Flute", int voice_on_part = 0, int staff = 0);
// The voice's final ENDSYST.
Drosa voice_end(int v);

// Appends a node of a kind before the voice's final ENDSYST.
Drosa add(int v, int kind, int context = 0);
Drosa add_note(int v, int lgval, int mod7 = 35, int dots = 0, bool chord_continues = false);
Drosa add_rest(int v, int lgval, int dots = 0);
Drosa add_grace(int v, int lgval, bool after_note = false, int mod7 = 35);
// A chord of several notes at the given diatonic positions, the last with xendvcd; returns
// the first note.
Drosa add_chord(int v, int lgval, const std::vector<int>& mod7s);
// Makes a note a tuplet: tupl notes in the time of intimeof (xintimeof = 4 x intimeof).
void make_tuplet(Drosa note, int tupl, int intimeof);
Drosa add_nest(int v, int tupl_factor, int intimeof_factor4);
Drosa add_bar(int v, int context = 0);
Drosa add_clef(int v, int clef_type, int context = 0);
Drosa add_key(int v, int key, int context = 0);
Drosa add_timesig(int v, int bpm, int beat, int context = 0);
Drosa add_print(int v, int context, int sstaff, int layer = 0);
Drosa add_beaming(int v, std::vector<int> beats, int secondary = 0);
// A system break (an ENDSYST), ending the page when `page`.
Drosa add_system_break(int v, bool page = false, int context = 0);

// Puts the node after the voice's note just added (an NTDATA after a NOTE, and so on).
Drosa add_after(Drosa anchor, int kind, int context = 0);

// One line per node of a voice list, numbered from 0; links in layout records are shown as
// the numbers of the nodes they point to. Stable text for expectations.
std::string dump_voice(int v);
std::string dump_node(Drosa node, const std::vector<Drosa>& numbering);

// Every node of a voice list in order.
std::vector<Drosa> voice_nodes(int v);

// The bars of each system of voice v, in order (the BAR nodes the current context sees).
std::vector<int> bars_per_system(int v);
