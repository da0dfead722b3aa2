// hairpin_room.h: a hairpin of a system drawn clear of the dynamics, words and hairpins at the
// notes beside it: begun after a mark of an earlier note that reaches past its start, ended
// before a mark that begins under it, apart from a hairpin that meets it.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// hairpin_start_past_marks: how far the hairpin BEGLINE `line` before `note`, on printed staff
// `pstaff`, must start later to keep clear of a text mark drawn before it on the system (a
// dynamic or words of an earlier note that reach past its start where the notes stand close);
// 0 when none does, or when the hairpin would be left shorter than two of the shortest spaces.
// Reads: marks_drawn, the line's offsets (anno_refloc), staff_data.
int32_t hairpin_start_past_marks(Drosa line, Drosa note, int pstaff);

// end_hairpins_before: the text `head` has just been drawn (the elements after `before`,
// GE_tail's value before it was drawn). When it is a dynamic or words that begin inside a
// hairpin drawn before it on the system, at the hairpin's height, the hairpin ends before it
// (a cresc. to an f the document sets at a note under it; a diminuendo to "dim."), if it stays
// two of the shortest spaces long: the right ends of its legs move in, and its ink with them.
// Else, too short, it keeps its ends and moves off the mark, below it when lower than the
// mark's middle, else above it, with its page rectangle.
// Reads and writes: marks_drawn (the hairpins' ink), the hairpins' elements in the GE list.
void end_hairpins_before(Drosa head, Drosa before);

// How much later a hairpin is drawn to begin, and how much earlier to end, than its offsets say.
struct HairpinRoom {
  int32_t shift = 0, cut = 0;
};

// hairpin_beside_hairpins: the hairpin BEGLINE `line` before `note`, on printed staff `pstaff`,
// is about to be drawn with its start `shift` after its stored one. A hairpin drawn before it on
// the system, at its height, that reaches to its start or past it (a crescendo stopped at the
// end of a bar, a diminuendo begun at the next bar's first note; two begun at one held note)
// ends a little before it, if it stays two of the shortest spaces long; else the two share the
// room from the earlier's start to this one's end, half each. One drawn before it that begins
// inside it makes it end a little before that one, if it stays as long. Returns the room to
// draw it in (its shift `shift`, or more when it gives way).
// Reads: the line's offsets (anno_refloc), staff_data. Reads and writes: marks_drawn (the
// hairpins' ink), the earlier hairpins' elements in the GE list.
HairpinRoom hairpin_beside_hairpins(Drosa line, Drosa note, int pstaff, int32_t shift);

// hairpin_room_after: the room the hairpins that begin at `note` need after it for the spacing
// to leave them, each two of the shortest spaces long: one that ends over the note's time (a
// crescendo to the bar's end) as far as the bar line or the next chord, less the gap a line
// keeps before them; one that ends at the voice's next note as far as that note, where its
// end stands; each clear of a hairpin that begins at that next note, by the room a hairpin
// leaves beside a mark. Measured from the note's head, whose chord's packed x the spacing
// takes for it.
// Reads: the LINEs before the note and before the voice's next note, the parameters of the
// shortest space after a note and of the gap before a line's end.
HairpinSpan hairpin_room_after(Drosa note);
