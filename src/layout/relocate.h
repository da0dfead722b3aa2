// relocate.h: springs-and-rods justification of a system, the user's relocation zones, and
// the moves (CMOVE, AMOVE, RMOVE) that shift chords, accidentals and notes.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_services.h"

struct StaffData;

// clang-format off
// ---- SPRING and ROD: run-time nodes that live only while one system is justified -------
// A spring's length under force F is F / xspringk; it never carries less than xminforce.
// Both forces are 32-bit floats, kept as their bits (read them with spring_k and the like).
inline constexpr auto xspringnum = word_field<int32_t>("xspringnum", SPRING, 20);  // 0-based, in creation order
// A rod: springs xrodleft..xrodright together are at least xrodlength long; xrodforce is the
// force they must carry to reach it.
inline constexpr auto xrodlength = word_field<int32_t>("xrodlength", ROD, 10);
inline constexpr auto xrodleft = word_field<int32_t>("xrodleft", ROD, 18);
inline constexpr auto xrodright = word_field<int32_t>("xrodright", ROD, 22);
// clang-format on

float spring_k(Drosa spring);
float spring_minforce(Drosa spring);
float rod_force(Drosa rod);
// The length of a spring at its least force, truncated; 0 for a spring of no stiffness.
int32_t spring_length(Drosa spring);

inline constexpr auto xspringk =
    word_field<uint32_t>("xspringk", SPRING, 12);  // stiffness (float bits)
inline constexpr auto xminforce =
    word_field<uint32_t>("xminforce", SPRING, 16);  // least force (float bits)
inline constexpr auto xrodforce = word_field<uint32_t>("xrodforce", ROD, 14);  // float bits

// ---- Springs and rods -------------------------------------------------------------------------

// new_rod: requires springs left..right to be at least `length` long together. A single
// spring (left = right) is lengthened at once; otherwise a rod is stored unless the springs
// already reach the length at their least forces, and of two rods over the same springs only
// the longer is kept.
// Reads/Writes: the spring and rod lists.
// Failure: level 4 "relocation error: new_rod left %d right %d" (once per run), "Bad spring
//         number in new_rod: left==right==%hd, springs==%hd", "No spring in range for
//         find_perfect_force()!" (force 0).
void new_rod(int32_t left, int32_t right, int32_t length);
// Appends a spring numbered spring_count to the spring list; returns its number.
int32_t add_spring(float k, float minforce);
// The spring numbered `number`, NIL when there is none.
Drosa find_spring(int32_t number);
// Returns every spring and rod to the node store and empties both lists.
void destroy_springs_and_rods();

// ---- Zones and moves --------------------------------------------------------------------------

// relocate_attached: moves the bar, key signature, time signature and clef attached before
// the note (back to the previous NOTE or ENDSYST): x becomes trunc(x + f(a + o) - (b + o)),
// o the object's own origin; a bar that is not placed (x 0x80000000) stays.
// Writes: the x of those nodes.
void relocate_attached(Drosa note, double a, double f, double b);

// The least share of its packed width a line too wide for its staff is squeezed to, every
// least distance giving up as much, before some of its bars go on in the next system.
inline constexpr int64_t LEAST_LINE_SQUEEZE_PERCENT = 88;

// set_attached_origins: gives the key signature, time signature and clef attached before the
// note the packed x of the chord they were placed for, so that justification moves them as it
// moves that chord and keeps them clear of it however much a line is squeezed. (A bar line
// moves from its own packed x, so that it stays between the chords it parts, squeezed with
// the line.)
// Writes: the origin of those nodes.
void set_attached_origins(Drosa note, int32_t origin);

// accidental_overlap_space: for a note (not a rest), parameter 683 times the number of the
// other layers' chords at its time point on its staff, below its own layer, that come within
// a step of the note's span (a stemmed half or shorter note reaching 8 steps towards its stem);
// at least one more than the offsets of any note of those chords within that span, so that a
// note never takes the offset of a lower note it meets (a unison of two voices drawn as one
// head). 0 for a rest or a note outside a print chain.
int32_t accidental_overlap_space(Drosa note);

// The same for every note of one chord, from the chord's CDDATA (`own`, NIL: none): the other
// layers' chords are gathered once, so that a chord of many notes costs no more per note.
class LowerLayerNotes {
 public:
  explicit LowerLayerNotes(Drosa own);
  int32_t overlap_space(Drosa note) const;

 private:
  struct Step {
    int step;         // the note's xmod7
    int32_t offsets;  // how many times parameter 683 it stands to the right
  };
  // How many offsets the note takes among the first `below` chords gathered.
  int32_t offsets(Drosa note, size_t below) const;
  std::vector<std::vector<Step>> chords_;  // each lower chord's notes, sorted by step
};
