// beam_buffer.h: the chords of a system on their way to the chord and beam drawers. A chord
// outside a beam is drawn at once; a beamed chord waits in the buffer until the last chord of
// its beam arrives, and then the whole group is drawn together.
#pragma once

#include "graphics/ge_services.h"
#include "model/model_services.h"

// beam_buffer_reset: no beam is open on the pstaves of the system being drawn.
// Reads: first_pstaff, last_pstaff. Writes: beam_buffer, beam_buffer_touched.
void beam_buffer_reset();

// endchord: offers the staff chord first..last (print-chain order) of pstaff and layer. A chord
// whose beam ends at it and that continues no open beam is drawn by printcd; a chord that
// ends the open beam it continues has the whole group drawn by printbeam; any other beamed
// chord opens or extends a beam. An open beam that the chord does not continue is drawn
// first, on the staff of its latest chord.
// Reads:  the notes' NTDATA (xstmdir, xendbeam), xgrace, beam_next.
// Writes: beam_buffer, beam_buffer_touched, the GE list (through the drawers).
// Failure: level 4 "bad pstaff in endchord (spacing2.c)" for a pstaff or layer outside the
//          table; the chord is dropped.
void endchord(Drosa first, Drosa last, int pstaff, int layer);

// fix_beam_buffer: after a column, every beam that a chord of the column opened or extended
// and that goes on at a neighbouring staff moves to that staff's entry (whose open beam is
// drawn first); every entry's touched mark is cleared.
// Reads:  first_pstaff, last_pstaff, beam_next.
// Writes: beam_buffer, beam_buffer_touched, the GE list.
// Failure: level 4 "new_note_in_beam logic error in fix_beam_buffer: pstaff %hd, layer %d,
//          dir %hd grace %d" for a touched entry that is empty (skipped); "fix_beam_buffer:
//          nextpstaff %hd out of range %hd..%hd" when the neighbour lies outside the system
//          (the beam stays where it is).
void fix_beam_buffer();

// check_beam_buffer: at the end of a system every beam still open (one that goes on past the
// system's end, or whose notes in the file never end it) is drawn with the chords it holds,
// so that none of them is lost.
// Reads:  first_pstaff, last_pstaff. Writes: beam_buffer, the GE list.
void check_beam_buffer();
