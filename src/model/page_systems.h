// page_systems.h: what the model's own code asks of page_systems.cpp beyond what other folders
// call (those are declared in model_services.h).
#pragma once

#include "model/model_services.h"

// Where each shown voice's list stood for a walk that asks voices_to_piece_system for the
// piece's systems in order.
struct PieceSystemWalk {
  struct Voice {
    Drosa start, cursor;   // the voice's head, and the system end reached from it
    int count = 0;         // the visible system ends counted to the cursor
    int asked = 0;         // the system last asked for
    bool stopped = false;  // the walk reached the piece's end
  };
  Voice voices[MAX_VOICES];
};
// voices_to_piece_system: every shown voice's system_cursor at the piece's n-th system, as
// voices_to_system(n, 0) puts it, going on from where `walk` left the voice's list when the
// system asked for is that one or a later one: a walk through a voice's PRINTs asks for the
// systems in order, and walks each list once rather than from its head for every PRINT.
// Valid while no ENDSYST is linked, unlinked or changed between the calls of one walk.
// Reads: piece_start, the voice lists. Writes: system_cursor, `walk`.
void voices_to_piece_system(int n, PieceSystemWalk& walk);
