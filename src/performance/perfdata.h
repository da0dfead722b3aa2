// perfdata.h: the performance data of notes (volume, pitch word, sounding length, time to the
// next chord), the piece's playback settings that steer their defaults (perf_defaults), the
// recomputation of the defaults, and the per-note playback edits of the Hear menu.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- perf_defaults: the piece's playback settings (big-endian, in the piece options record) ----
enum PerfDefaultsField : int {
  PERF_STACCATO_LENGTH = 0,     // i16 percent of the nominal duration [50]
  PERF_TENUTO_LENGTH = 2,       // [75]
  PERF_NORMAL_LENGTH = 4,       // [90]
  PERF_GRACE_ON_BEAT = 6,       // 0 grace notes take time from the note before, else after [0]
  PERF_GRACE_LENGTH = 8,        // a group of grace notes, percent of a sixteenth [25]
  PERF_VOLUME_CHANGE = 10,      // step of Softer and Louder, volume units [10]
  PERF_PITCH_CHANGE = 12,       // step of Lower and Higher, 1/200 semitone [20]
  PERF_LENGTH_CHANGE = 14,      // step of Shorter and Longer, percent [5]
  PERF_START_CHANGE = 16,       // step of Earlier and Later, percent of a sixteenth [25]
  PERF_KEEP_NOMINAL = 44,       // every sounding duration is the nominal one [0]
  PERF_DYNAMIC_LEVELS = 46,     // ten i16 volumes, lowest first [20 .. 200]
  PERF_ONE_LEVEL_FOR_ALL = 66,  // every note gets the sixth level [0]
  PERF_SLUR_LENGTH = 68,        // percent for slurred notes [100]
  PERF_TUNING = 70,             // f32 cents by step C..B (7) and accidental code 0..5 (6)
};
inline constexpr int DYNAMIC_LEVELS = 10;
inline constexpr int DEFAULT_DYNAMIC_LEVEL = 5;  // the sixth level

int16_t perf_setting(int field);
void set_perf_setting(int field, int16_t value);
// The volume of a dynamic level 0..9 (clamped to 0..200).
int dynamic_level_volume(int level);
// The tuning offset in cents of a step (0 C .. 6 B) and accidental code (0..5); 0 outside.
double tuning_cents(int step, int accidental);
void set_tuning_cents(int step, int accidental, float cents);

// check_perf_defaults: puts every playback setting read with a piece back into the range its
// dialog allows (a damaged or foreign file cannot make Shorter divide by zero or a pitch run
// off its key), and a tuning offset that is no finite number to 0.
// Writes: perf_defaults.
void check_perf_defaults();

// ---- Defaults of notes
// ----------------------------------------------------------------------------
// set_default_duration: the sounding length (xlength) of a note of the given nominal duration,
// by its articulation, tie and slur and the lengths of perf_defaults.
// Reads: perf_defaults, the note's TSMOD. Writes: xlength.
void set_default_duration(Drosa note, int32_t nominal);

// Modes of set_default_performance.
inline constexpr int PERF_KEEP_TOTAL = 41;    // recompute times and lengths, keep the total
inline constexpr int PERF_LATER_MOVE = 42;    // recompute them, later notes move
inline constexpr int PERF_FILL_TOTAL = 43;    // recompute them to fill `total`
inline constexpr int PERF_PITCH_VOLUME = 44;  // keep times and lengths

// set_default_performance: recomputes the notes first..last of one voice, widened to whole
// measures, chords and grace groups: their times to the next chord (scaled to a total as the
// mode says), grace times, sounding lengths, and with set_pitch the pitch words, with
// set_volume the volumes.
// Reads:  perf_defaults, the key in force, the dynamics before each note.
// Writes: xttn, xlength, xnachschlag; xpitch and the pitch-edited bit of rests; xvolume and the
//         volume-edited bit. Nothing is recorded for undo (the callers record).
// Failure: level 4 "calling set_default_performance with non-notes", "bad endptr in
//          set_default_performance", "bad call on set_default_performance", "logic error in
//          set_default_performance: xendvcd FALSE", "bad call on set_default_ttn"; the routine
//          stops or goes on with what it has.
void set_default_performance(Drosa first, Drosa last, int set_pitch, int keep, int set_volume,
                             int mode, int32_t total);

// change_grace_time: gives (give 1) or takes back (0) the time of every group of grace notes
// that meets first..last, from or to its main note.
// Reads: perf_defaults. Writes: xttn, xlength and xnachschlag of the group and its main chord.
// Failure: level 4 "bad call on change_grace_time" for a first node that is no NOTE.
void change_grace_time(Drosa first, Drosa last, int give);

// ---- Playback edits of the Hear menu, one note each (recorded for undo)
// -----------------------------
void play_softer_cb(Drosa note);
void play_louder_cb(Drosa note);
void play_level_get_cb(Drosa note);  // remembers the first note's volume for the dialog
void play_level_set_cb(Drosa note);  // gives the volume asked for
void play_lower_cb(Drosa note);
void play_higher_cb(Drosa note);
void play_pitch_get_cb(Drosa note);
void play_pitch_set_cb(Drosa note);
void play_shorter_cb(Drosa note);
void play_longer_cb(Drosa note);
void play_earlier_cb(Drosa note);
void play_later_cb(Drosa note);
void octave_up_cb(Drosa note);
void octave_down_cb(Drosa note);
// The Tablature String submenu: one string up, one down, back to the automatic choice; and
// whether a note can move by `strings` (1 up, -1 down, 0 to the automatic string).
void respell_note_step_up(Drosa note);
void respell_note_step_down(Drosa note);
void respell_note_step_zero(Drosa note);
int can_move_tab_string(Drosa note, int strings);

// modify_playback_command: an item of the Modify Playback submenu (1 Softer .. 12 Later) over
// the selection: Level... and Pitch... ask for their value first; a chord moves earlier or
// later once however many of its notes are selected, and the first refusal ends the command.
// Failure: level 4 "Item %hd in Modify submenu unrecognized!".
void modify_playback_command(int item);
