// relocate.h: springs-and-rods justification of a system, the user's relocation zones, and
// the moves (CMOVE, AMOVE, RMOVE) that shift chords, accidentals and notes.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_services.h"

struct StaffData;

// clang-format off
// ---- SPRING and ROD: run-time nodes that live only while one system is justified -------
// A spring's length under force F is F / xspringk; it never carries less than xminforce.
// Both forces are 32-bit floats, kept as their bits (read them with spring_k and the like).
inline constexpr auto xspringnum = word_field<int32_t>("xspringnum", SPRING, 20);  // 0-based, in creation order
inline constexpr auto xspringk = word_field<uint32_t>("xspringk", SPRING, 12);      // stiffness (float bits)
inline constexpr auto xminforce = word_field<uint32_t>("xminforce", SPRING, 16);    // least force (float bits)
// A rod: springs xrodleft..xrodright together are at least xrodlength long; xrodforce is the
// force they must carry to reach it.
inline constexpr auto xrodlength = word_field<int32_t>("xrodlength", ROD, 10);
inline constexpr auto xrodforce = word_field<uint32_t>("xrodforce", ROD, 14);  // float bits
inline constexpr auto xrodleft = word_field<int32_t>("xrodleft", ROD, 18);
inline constexpr auto xrodright = word_field<int32_t>("xrodright", ROD, 22);
// clang-format on

float spring_k(Drosa spring);
float spring_minforce(Drosa spring);
float rod_force(Drosa rod);
// The length of a spring at its least force, truncated; 0 for a spring of no stiffness.
int32_t spring_length(Drosa spring);

// ---- The pass -------------------------------------------------------------------------------
// relocate: justifies the system first_pstaff..last_pstaff between its staff's left and right
// x, from the packed (xorigin) and ideal (xidealx) positions the spacing pass left. `system`
// is the system's number on the page, for the no-notes warning. 0 when interrupted, else 1.
// Reads:  staff_data (chains, first-note x), spacing_x, spacing_idealx,
// spacing_staff[].trailing_width,
//         voice_data, the chord records, ZONE, CMOVE and AMOVE nodes, parameters 124, 260,
//         683, the staff margins, skip_relocate, dump_springs_next.
// Writes: xreloc_spring, xreloc_zone, xprex, every note's xhdx and xaccx, the x of attached
//         bars, keys, time signatures and clefs; moves a ZONE off a grace note and removes a
//         ZONE that no longer fits its system (both with undo, the piece marked changed);
//         the spring and rod lists, which are empty again when it returns.
// Failure: level 2 "Too many relocation zones on one system!" and "Warning:  This system has
//         no notes!  (page %d system %d context %d)"; level 4 reports of inconsistent springs
//         and rods, after which justification goes on with a neutral value.
int32_t relocate(int32_t system);

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
// The ZONE or CMOVE attached before a note of the note's staff chord (searched from the
// chord's last note back to its first), NIL when none.
// Failure: level 4 "Bad parameter for find_zone." / "Bad parameter for find_cmove." for a
//         node that is no NOTE; "find_zone: no xendscd note found!" / "find_cmove: no xendscd
//         note found!" when the chord has no last note.
Drosa find_zone(Drosa note);
Drosa find_cmove(Drosa note);
// The move of the chord's CMOVE; of the AMOVE attached before the note; 0 when there is none.
int32_t CMOVE_value(Drosa note);
int32_t AMOVE_value(Drosa note);
// The RMOVE move attached before the note, times the staff's step (half its line distance)
// when a staff is given; 0 when there is none.
int32_t RMOVE_offset(Drosa note, const StaffData* staff);

// relocate_attached: moves the bar, key signature, time signature and clef attached before
// the note (back to the previous NOTE or ENDSYST): x becomes trunc(x + f(a + o) - (b + o)),
// o the object's own origin; a bar that is not placed (x 0x80000000) stays.
// Writes: the x of those nodes.
void relocate_attached(Drosa note, double a, double f, double b);

// set_attached_origins: gives the key signature, time signature and clef attached before the
// note the packed x of the chord they were placed for, so that justification moves them as it
// moves that chord and keeps them clear of it however much a line is squeezed.
// Writes: the origin of those nodes.
void set_attached_origins(Drosa note, int32_t origin);

// accidental_overlap_space: for a note (not a rest), parameter 683 times the number of the
// other layers' chords at its time point on its staff, below its own layer, that come within
// a step of the note's span (a stemmed half or shorter note reaching 8 steps towards its stem).
// 0 for a rest or a note outside a print chain.
int32_t accidental_overlap_space(Drosa note);

// The same for every note of one chord, from the chord's CDDATA (`own`, NIL: none): the other
// layers' chords are gathered once, so that a chord of many notes costs no more per note.
class LowerLayerNotes {
 public:
  explicit LowerLayerNotes(Drosa own);
  int32_t overlap_space(Drosa note) const;

 private:
  std::vector<std::vector<int>> chords_;  // the steps (xmod7) of each chord's notes, sorted
};
