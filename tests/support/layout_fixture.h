// layout_fixture.h: lays out a piece made with piece_builder as one page of one system, with
// the page state the page formatter sets up, and shows its print chains as text.
#pragma once

#include <string>

#include "model/model_services.h"

// Middle-line y of pstaff p on the fixture's page.
int fixture_middle_y(int p);

// The page state for the system of every voice from its head to its first system break:
// parameter table, voice records (system start and end, PRINT, default BEAMING), as many
// pstaves as the staff numbers of the system's PRINTs ask for, with the settings of their
// voices' PRINTs and their chain heads, and every note's NTDATA.
void prepare_one_system();
// The layering: setprint, with split_voices_to_layers between runs. Returns the number of
// setprint runs, -1 when interrupted.
int layer_system();
// prepare_one_system, layer_system and the passes up to the joining of beams, in the page
// formatter's order. Returns 1 when every pass completed.
int format_one_system();

// The chain of a pstaff's layer: its staff chords in brackets, each note as
// "<voice>:<position, or r for a rest>[g for grace]<stem: v down, ^ up, - none>[! forced]
// [= the beam goes on from this chord's stem group to a later chord]".
std::string chain_text(int pstaff, int layer);

// The NTDATA of a note.
Drosa ntdata_of_note(Drosa note);
