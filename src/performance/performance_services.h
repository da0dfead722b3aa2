// performance_services.h: what the rest of the program asks of the performance code.
// Other folders include this header and no other header of performance/.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/geometry.h"
#include "platform/port.h"

class BarTime;  // editing/acc.h

// ---- Recording ---------------------------------------------------------------------------------

// Set while the record loop runs: every event goes to recimp_dialog_event then.
extern int32_t recording_active;

// ==== hear_dialogs.cpp ===========================================================================
// The modal dialogs of the Hear menu (Hear..., Tuning..., Dynamic Levels..., Default Playback...,
// Recompute Playback...), the voice's MIDI channel dialog and the spelling dialog of entered notes.
// Each reads its numbers through the typed item routines, which refuse an entry out of range with
// its message and keep the dialog open.

// tuning_dialog: the offsets in cents of the five accidentals of each step. 1 after OK.
// Writes: perf_defaults' tuning, the change flags.
int tuning_dialog();
// volume_dialog: the ten dynamic levels (percent) and "one level for all". 1 after OK.
int volume_dialog();
// lengths_dialog: the default sounding lengths, grace notes and the steps of the Modify
// Playback commands. 1 after OK; values read before a refused one stay stored.
int lengths_dialog();
// recompute_dialog: which playback data to recompute and how: pitches, volumes and the mode
// of set_default_performance (44 times kept, 42 later notes move, 41 the passage's length
// kept). 1 after OK.
// Failure: level 4 "Unexpected item returned from recompute dialog".
int recompute_dialog(int* pitches, int* volumes, int* mode);
// midi_channels_dialog: the selected voice's MIDI channel, channel mode and channel count,
// with undo. Nothing without a selected voice.
void midi_channels_dialog();
// spelling_dialog: how entered notes of each pitch class are spelled. 1 after OK (the new
// spellings kept), 0 after Cancel (the old ones back).
int spelling_dialog();

// ==== pitch.cpp ==================================================================================
// The pitch of notes: spelling a pitch class, the MIDI key of a spelled note, and a note's pitch
// word (MIDI key << 8 plus a fraction 0..199 in 1/200 semitone).

// One spelling of a pitch class: the diatonic step from C of the octave (-1 is B of the
// octave below, 7 C of the octave above) and the accidental code (1 double flat .. 5 double
// sharp).
struct Spelling {
  int8_t step;
  uint8_t accidental;
};

// The three spellings of each of the 12 pitch classes (C natural, B sharp, D double flat; ...).
extern const Spelling pitch_spelling_table[12][3];

// step_to_key: the MIDI key of diatonic position `position` (middle C is 35) with the
// accidental code (0 none) and a transposition in semitones.
int32_t step_to_key(int32_t position, int accidental, int32_t transposition);

// note_pitch_word: the pitch word of a NOTE, from the SPACC attached before it when there is
// one, else from its accidental, with the transposition in force at the note.
uint16_t note_pitch_word(Drosa note, int32_t transposition);

// A key of a played chord, as the piano window, MIDI input and the recorder hand it on.
struct PlayedNote {
  int32_t key = 0;      // MIDI key; -1 a rest
  bool tie = false;     // tied to the next chord
  int spacc_count = 0;  // special accidentals chosen (up to 15)
  uint8_t spacc_codes[15] = {};
  int requested_accidental = 0;  // accidental asked for in the palette, 0 none
  int accidental = 0;            // the accidental chosen
  int32_t position = 0;          // diatonic position chosen (middle C is 35)
  uint16_t pitch = 0;            // pitch word
  uint8_t volume = 100;
  int32_t template_staccatissimo = 0;  // put a staccatissimo before the note
};

// special_acc_entry: spells one played key at the insertion note (its voice's transposition
// taken off): by the special accidentals chosen (white keys only), else the accidental asked
// for, else the spelling of an earlier note on the same line in the measure (a tied one
// first), else key_spelling; then gives the record its position, accidental and pitch word.
// Reads: key_spelling, the voice before the insertion note, notes_locked of the current
//        context, perf_defaults. Writes: the record.
// `bar_time`, when given, is the insertion note's BarTime (editing/acc.h), shared by the keys
// of one chord.
// Failure: level 2 warnings when special accidentals meet a black key.
void special_acc_entry(PlayedNote* note, Drosa insertion_note, BarTime* bar_time = nullptr);

// ==== performance_hooks.cpp ======================================================================

// Registers what the model and the layout engine call of the performance subsystem (the
// playback queue's nodes, the piano palette). Run by connect_subsystems at start-up.
void register_performance_hooks();

// ==== performance_globals.cpp ====================================================================
// The program-wide state of the performance code: the spelling of entered notes, the play engine's
// state, the play queue that the main thread shares with the timer task, the state of MIDI sending,
// and the MIDI input ring shared with the input thread.

// ---- Spelling of entered notes -----------------------------------------------------------------

// The spelling (0..2 in pitch_spelling_table) preferred for each pitch class.
extern int32_t key_spelling[12];

// ---- The piano window (pianowin.cpp) and its scaled drawing (piano_draw.cpp) -------------------

extern int piano_dialog;  // window number of the piano window; 0 before it is made

// ---- The note-attribute palette (palette.cpp) ---------------------------------------------------

extern bool template_staccatissimo;  // third state of the staccato box

extern std::atomic<int32_t>
    output_available;  // bits of what exists: 1 the service, 2 the synthesizer

// A MIDI packet: its time (ms live, time units in a file; -1 now) and bytes.
struct MidiPacket {
  int32_t time_high = 0;  // sign extension of the time
  uint32_t time = 0;
  uint16_t size = 0;  // number of bytes + 6
  uint8_t bytes[256] = {};
};
// The one program-wide packet that also receives MIDI input (next_midi_input).
extern MidiPacket midi_event;

// ---- MIDI input (midi_out.cpp) ------------------------------------------------------------------

// Stops the timer, forgets the queue (its nodes go with the node store), closes the MIDI
// service and the synthesizer and clears every record above; for tests.
void reset_performance_globals();

// ==== midi_out.cpp ===============================================================================
// Everything the program sounds or writes as MIDI: notes by channel mode, raw packets, the
// silencing of every sounding note, and the one funnel send_midi_packet, which appends to the MIDI
// file being exported or sends live through the MIDI service (the ALSA sequencer) or the built-in
// synthesizer. Also the MIDI service's set-up and its input ring.

// ---- The clock ---------------------------------------------------------------------------------

// now_ms: milliseconds since the clock's origin (fixed at start-up); the first reading is 0.
int32_t now_ms();

// Copies the preferences' output choice and what the set-up found for the sending threads.
// Reads:  prefs (device, destination), midi_out_available.
// Writes: output_device, output_destination, output_available.
void refresh_output_choice();

// ---- The MIDI service ------------------------------------------------------------------------

// midi_setup: the client "Vesk" with its ports "Vesk Input" and "Vesk Output", the chosen
// source connected (prefs 396); 0 when ready with at least one destination, else 1 (and
// nothing left open).
// Failure: level 2 "Your computer does not have the ALSA sequencer available.  %d %d %d" when
//          the sequencer is there but refuses the client or a port; a machine without one is
//          told only by the MIDI menus.
int32_t midi_setup();

void midi_teardown();

// The MIDI Input menu chose another source (prefs 396): connects it.
void midi_input_source_changed();

std::vector<std::string> midi_source_names();

std::vector<std::string> midi_destination_names();

// ---- The built-in synthesizer (the note allocator's place) -------------------------------------

// qt_open_note_channels: makes the synthesizer; 1 when it exists (silent on a machine with no
// sound device), 0 when it cannot be made.
int32_t qt_open_note_channels();

void qt_close();

// A text that says what the MIDI menus can offer: "" when the service has ports, else why not.
std::string midi_service_status();

// The synthesizer's item text in the MIDI Output menu.
std::string synth_menu_text();

// ==== midifile.cpp ===============================================================================
// Standard MIDI Files. Export writes the piece as a format-0 file with one track by running the
// play engine in file mode; import reads a file of any format whose division is in ticks per
// quarter note and hands the channel events of one track to the recorder.

// export_midi_file: asks for a file name and the divisions per quarter note, then writes the
// file through a temporary file in the same folder, renamed over the chosen name only when
// every write succeeded. 1 on success, 0 otherwise (Cancel changes nothing on the disk).
// Reads: the voice lists, prefs (divisions). Writes: prefs (divisions), the file.
int export_midi_file();
// write_midi_file: the export's writing alone, to `path`, with `divisions` ticks a quarter.
// Failure: level 2 with the system's words for what went wrong; nothing is left at `path`
// that was not there before.
int write_midi_file(const std::string& path, int32_t divisions);

// import_midi_file: asks about a starting point inside a measure, chooses a file and reads it
// through the recorder into notes at the insertion point. 1 when notes were added.
int import_midi_file();

// ---- Reading ------------------------------------------------------------------------------------

// The reader: the file's bytes, where reading stands, what may still be read of the chunk
// (the budget), whether reading failed, the running status and the tick time of the track.
struct MidiReader {
  std::vector<uint8_t> data;
  int64_t position = 0;
  int64_t budget = 0;
  bool error = false;
  int running_status = 0;
  int64_t tick_time = 0;
  bool open = false;
};
extern MidiReader midi_reader;

// open_midi_reader: takes the bytes as the file being read; close_midi_reader forgets them.
void open_midi_reader(std::vector<uint8_t> bytes);
void close_midi_reader();
// read_midi_header: "MThd" and its fields into midi_file_header; 1 when the file can be read.
// Failure: level 2 "This is not a valid MIDI file!", "The timing in your MIDI file must be in
//          divisions of quarter notes, not absolute time!" (also for a division of 0).
int read_midi_header();

// find_midi_track: the length of track `index` (the first MTrk is 0), with reading placed at
// its first byte and the budget set to what of it the file holds; 0 on failure.
// Failure: level 2 "Could not find track in your MIDI file!" (the reader is closed).
int64_t find_midi_track(int index);

// read_midi_event: with reset 1 clears the tick time and the running status and returns 1;
// otherwise 1 with the next channel event of an accepted channel (record_settings) in
// midi_event (time = ticks since the track's start), 0 at the end of the track or on an error
// (error flag set). System-exclusive and meta events of any length are skipped; an end-of-track
// event ends the track.
// Failure: level 2 "Illegal 'System Status Byte' in your MIDI file!" for F1..FE and for a data
//          byte with no status before it; "An event in your MIDI file runs past the end of its
//          track!"; "A data byte in your MIDI file has its top bit set!".
int read_midi_event(int reset);

// midi_file_click_division: thirty-second notes per metronome click of the first time
// signature at the start of track 0, or 8.
int32_t midi_file_click_division();

// ==== note_entry.cpp =============================================================================
// Notes entered one chord at a time from the piano window's keys, from computer keys mapped to
// points of the piano window, and from a MIDI keyboard. Every key pressed is marked on the
// keyboard, sounded (MIDI input only when the preferences ask), and collected in played_keys; when
// the keys are released the collected keys become one chord built from current_note_template and
// inserted at the insertion point, which then moves on. Shift held while clicking or typing keeps
// the chord open; on MIDI input the first key released enters everything pressed since the last
// entry.

// ---- The played keys ---------------------------------------------------------------------------

// add_played_key: adds a key (-1 a rest) to played_keys: a rest only into an empty table, a key
// only once, at most 88 keys. The key is marked, spelled at the insertion point (with the
// palette's accidental or special accidentals) and, when asked, sounded with the selected
// voice's instrument.
// Reads:  current_note_template, template_staccatissimo, spacc_template, insertion_point.
// Writes: played_keys, played_key_count; sends MIDI when sounding.
void add_played_key(int32_t key, bool sound);
// redraw_played_keys: marks (on) or unmarks every collected key.
void redraw_played_keys(bool on);
// enter_played_chord: silences the collected keys, unmarks them and enters them as one chord
// at the insertion point (three adjacent semitones are a rest where the options ask for
// clusters as rests); with Enable Duration Edits a rest alone goes before the selection's
// chords instead. The table is empty afterwards.
// Writes: the voice list (one undo step), insertion_point, the template's one-shot values.
void enter_played_chord();

// ---- Computer keys -----------------------------------------------------------------------------

// piano_apply_pending: a key-up: enters the chord of the key typed last, unless Shift holds it.
void piano_apply_pending(const EventRecord& event);

// piano_key_equivalent: a typed character that the preferences map to a point of the piano
// window acts as a press there (act false: only says whether it would). Non-zero when the
// piano window takes the key; keys with Command or Option are never taken.
// Reads: prefs (the computer-key table).
int32_t piano_key_equivalent(const EventRecord& event, int act);

// ---- MIDI input --------------------------------------------------------------------------------

// piano_idle: the main loop's idle work for note entry: a Shift chord whose Shift went up is
// entered, and the MIDI input that arrived is played and entered. allow false (start-up), a
// group selection or an annotation mode leave the MIDI input waiting. Non-zero when a chord
// was entered.
// Reads:  midi_out_available, the input ring, prefs byte 7, keyboard_shift.
// Writes: played_keys, the voice list through enter_played_chord.
int32_t piano_idle(int allow);
// piano_input_waiting: keys are waiting to be entered: a Shift chord whose Shift went up, or
// MIDI input in the ring. A format asks it and stops, so that the main loop enters them.
bool piano_input_waiting();

// set_key_spelling: the spelling of each pitch class for entered keys, from a key signature (NIL:
// none); nothing is done for the key that set it last.
// Writes: key_spelling, key_spelling_key.
void set_key_spelling(Drosa keysig);

// ==== palette.cpp ================================================================================
// The note-attribute palette under the piano window's keyboard: 35 boxes, one per attribute of the
// next entered note (articulations, tie, slur, parentheses, tremolo, cue, glissando, note head,
// grace, tuplet, the nine note values with their dots, the five accidentals, the octave arrows,
// Add/Kill), and the two rows of special accidentals shown while a special-accidental set is
// chosen.

// ---- Drawing -----------------------------------------------------------------------------------

// draw_piano_window: in MUSIC_MODE, the whole palette: the memory indicator, each box with its
// symbol (outside entry mode after taking the selection's common values into the template;
// mixed values grey the box), the dots, the highlights of the values in force, the entry hint
// and, for a piece whose notes cannot change, the refusal.
// Reads:  MODE, the selection, current_note_template, the palette's state, the options.
// Writes: current_note_template, template_staccatissimo, palette_tuplet, palette_nested_tuplet,
//         entry_hint_shown, memory_shown.
void draw_piano_window();

// invert_piano_box: inverts a box (feedback; 12 the Add/Kill box).
void invert_piano_box(int box);

// erase_piano_window: erases everything below the keyboard.
void erase_piano_window();

// ---- Special accidentals ------------------------------------------------------------------------

// draw_special_accidental_rows: the 60 special accidentals in two rows, and the group chosen.
void draw_special_accidental_rows();

// set_template_accidental: the template's accidental from the special group: no group: 0 and
// the template unchanged; an empty group: no accidental, 0; one standard code: that code, 0;
// otherwise a natural, and 1: the note needs the special group.
int set_template_accidental();

// ==== perfdata.cpp ===============================================================================
// The performance data of notes (volume, pitch word, sounding length, time to the next chord), the
// piece's playback settings that steer their defaults (perf_defaults), the recomputation of the
// defaults, and the per-note playback edits of the Hear menu.

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

int16_t perf_setting(int field);

void set_perf_setting(int field, int16_t value);

// The volume of a dynamic level 0..9 (clamped to 0..200).
int dynamic_level_volume(int level);

// ---- Defaults of notes

// ----------------------------------------------------------------------------
// set_default_duration: the sounding length (xlength) of a note of the given nominal duration,
// by its articulation, tie and slur and the lengths of perf_defaults.
// Reads: perf_defaults, the note's TSMOD. Writes: xlength.
void set_default_duration(Drosa note, int32_t nominal);

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
// record_default_performance: records for undo the notes set_default_performance(first, last)
// gives their data again besides first..last themselves: those before them in their measure
// and the rest of the last one's chord (a volume or length edited there comes back with Undo).
// Writes: the undo list.
void record_default_performance(Drosa first, Drosa last);

// change_grace_time: gives (give 1) or takes back (0) the time of every group of grace notes
// that meets first..last (first to the end of its list for a NIL last), from or to its main
// note.
// Reads: perf_defaults. Writes: xttn, xlength and xnachschlag of the group and its main chord.
// Failure: level 4 "bad call on change_grace_time" for a first node that is no NOTE.
void change_grace_time(Drosa first, Drosa last, int give);
// record_grace_time: records for undo the notes whose times change_grace_time(note, note, ...)
// gives again: the grace group of `note` and its main chord (nothing for a note that is no
// grace note).
// Writes: the undo list.
void record_grace_time(Drosa note);

// ---- Playback edits of the Hear menu, one note each (recorded for undo)

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

// ==== performance_fields.h =======================================================================
// The payload fields of the performance subsystem's nodes: PLAY (an entry of the play queue), RNOTE
// (a recorded key) and MIDI (raw MIDI bytes in a voice). Descriptors as in model/node_fields.h.
// PLAY and RNOTE exist only at run time.

// Kinds of play-queue entry (xplay_type).
inline constexpr int PLAY_NOTE_ON = 1;

// rnotenum values that are no key.
inline constexpr int RNOTE_BEAT_FILLER = 200;  // a beat with no onset: the keys held go on

// clang-format off
// ---- PLAY: an event of the play queue, in time order --------------------------------------
inline constexpr auto xplay_type = word_field<uint8_t>("xplay_type", PLAY, 10);        // PLAY_NOTE_ON ...

inline constexpr auto xplay_pending = word_field<uint8_t>("xplay_pending", PLAY, 11);  // 1 queued, 0 sent

inline constexpr auto xplay_time = word_field<int32_t>("xplay_time", PLAY, 12);        // due, in ms

inline constexpr auto xplay_pitch = word_field<uint16_t>("xplay_pitch", PLAY, 20);     // pitch word


// ---- Performance bits of a NOTE ----------------------------------------------------------
inline constexpr auto xvolume_edited = bit_field("xvolume_edited", NOTE, 15, 2, 2);  // volume set by hand

inline constexpr auto xpitch_edited = bit_field("xpitch_edited", NOTE, 19, 4, 4);    // pitch set by hand


// ---- BAR: repeats and jumps ----------------------------------------------------------------
// Code 1 starts a first ending (skipped on the second pass), 2 a second ending; a code c above
// 2 jumps to the bar xrepeat_target on pass c - 2.
inline constexpr auto xrepeat_code = word_field<uint8_t>("xrepeat_code", BAR, 32);

inline constexpr auto xrepeat_target = word_field<int16_t>("xrepeat_target", BAR, 34);  // bar number


// ---- RNOTE: a key recorded, or a rest, beat filler or end --------------------------------
inline constexpr auto rnotenum = word_field<int16_t>("rnotenum", RNOTE, 10);         // key 0..127, or RNOTE_...

inline constexpr auto rttn = word_field<int32_t>("rttn", RNOTE, 20);                 // group onset to next group

inline constexpr auto rendchord = bit_field("rendchord", RNOTE, 30, 5, 5);          // last note of its group



// ---- MIDI: raw MIDI bytes before a note (older pieces) or a sustain-pedal event ----------
inline constexpr ArrayField<uint8_t> xmidi_bytes{"xmidi_bytes", MIDI, 10, 12};

inline constexpr auto xmidi_count = word_field<int8_t>("xmidi_count", MIDI, 27);  // bytes in use
// clang-format on

// ==== piano_draw.cpp =============================================================================
// The drawing primitives of the piano window. Everything drawn there (keys, palette boxes, symbols,
// texts) is laid out in the window's own fixed pixel coordinates and goes through these wrappers,
// which multiply each coordinate by the factor of its axis (piano_hscale, piano_vscale; both 1.0
// unless someone zooms the window) and truncate toward zero. A rectangle is scaled field by field
// into a copy. They draw in the current port.

Rect piano_scaled_rect(const Rect& r);

// ---- The wrappers

// piano_dialog_bounds: the bounds of the piano window's port; empty before the window exists.
// Reads: piano_dialog.
Rect piano_dialog_bounds();

// ---- Drawing in the piano window ---------------------------------------------------------------

// While it lives the piano window's port is the current port, with the pen, font, face, size,
// text mode and clip as they were; afterwards the port that was current before is again, with
// its own state, and the window shows what was drawn. Nothing is drawn (ok() false) while
// there is no piano window.
class InPianoPort {
 public:
  InPianoPort();
  ~InPianoPort();
  InPianoPort(const InPianoPort&) = delete;
  InPianoPort& operator=(const InPianoPort&) = delete;
  bool ok() const { return port_ != nullptr; }

 private:
  Port* saved_ = nullptr;
  Port* port_ = nullptr;
  PenState pen_;
  int font_ = 0, size_ = 0, face_ = 0;
  Rect clip_;
};

// ==== pianowin.cpp ===============================================================================
// The piano window: a small floating window that stays on the screen while the program runs. Its
// top strip is an 88-key keyboard (A0 to C8) with a rest key; below it lies the note-attribute
// palette (palette.h) and, while a special-accidental set is chosen, two rows of special
// accidentals. Played keys are marked on the keyboard.

// ---- The window ------------------------------------------------------------------------------

// create_piano_window: makes, sizes, places and shows the window (start-up): at its stored
// place and size (clamped to 427..1006 x 51..120 and to the screen), or at the bottom left of
// the screen, 503 x 60, when none is stored.
// Reads:  prefs (piano corner and size), the screen's bounds.
// Writes: piano_dialog, palette_window, screen_avail_rect, piano_drag_bounds, the scale
//         factors, prefs (the clamped place and size).
void create_piano_window();
// place_piano_window: sizes the window for what it shows (503 x 100 while a special-accidental
// set is chosen, else 503 x 60), keeps it at the bottom of the screen when it was docked there,
// and has the palette and the rows below the keyboard drawn again.
// Reads: spacc_template, piano_tall. Writes: piano_tall, the scale factors.
void place_piano_window();

// ---- The keyboard ----------------------------------------------------------------------------

// draw_piano_keyboard: every key, the mark of the key that sounds middle C, and the rest key
// unmarked; redraw_piano_keyboard the same with the pen kept, and the rest's symbol.
void draw_piano_keyboard();

void redraw_piano_keyboard();

// ---- Events ----------------------------------------------------------------------------------

// piano_event: a mouse-down or update event of the window. An update draws the window afresh;
// a press on a key plays it (and enters it when the button goes up, unless Shift holds the
// chord open); Command-press assigns a computer key to the point; a press on a palette box or
// a special accidental acts on it; a press anywhere else drags the window (not while keys are
// collected), and its new place is kept in the preferences.
// Failure: level 4 "piano_event incorrectly received an activateEvt!" for an activate event.
void piano_event(const EventRecord& event);

// ==== play.cpp ===================================================================================
// The play engine: the voice lists of the current notation context turned into timed MIDI events,
// live through the play queue (the Hear command) or at once into a MIDI file.

// hear_command: starts a play. file_mode: the MIDI export's walk, which runs to the end at
// once; quiet: no Hear dialog (with the tempo tempo_bpm on beat unit tempo_unit, 0: none, and
// the ignore_repeats given). Live play starts at the insertion point (the start of the page
// without one). Non-zero when a play was started.
// Reads:  the voice lists, their VINFO channel settings, prefs (output, metronome), the
//         insertion point, the selected voice. Writes: play_state, the BAR pass counters of the
//         leading voice, the VINFO play bits (through the Hear dialog), the play queue.
// Failure: level 2 "Sorry, output is turned off or your computer has no MIDI capabilities, so
//          you cannot use Hear." and nothing starts.
int hear_command(int file_mode, int quiet, int ignore_repeats, int32_t tempo_bpm,
                 int32_t tempo_unit);

// play_music: one step of the play: every score time the clock has reached is read and its
// events queued (about 2000 ms ahead); in file mode the whole piece at once. Cue notes are not
// played. 1 while the play runs, 0 when none runs (or it has just ended).
int32_t play_music(int first, int file_mode);

// parse_metronome_text: the TPARAM of the annotation (or a later style run of it) that reads
// as a metronome mark: the note-value symbol of a beat unit (1 whole .. 6 thirty-second) in
// its font, optional dot symbols, "=" and a number; NIL when none does.
// Reads: the parameters of the tempo-mark symbols (12 .. 17, 582, 583) at the annotation.
Drosa parse_metronome_text(Drosa anno, double* bpm, int32_t* unit, int32_t* dots);

// ==== play_queue.cpp =============================================================================
// The play queue of timed MIDI events and the 10 ms timer task that sends them as they fall due;
// the start and the stop of live playback.

// install_play_timer: makes the timer (once, at start-up, after the outputs are set up), fixes
// the clock's origin and takes the output chosen for the sending threads.
void install_play_timer();

int is_playing();
// sounding_notes_at: the notes of the live play that sound at the clock time `now` (ms, as
// now_ms), each kept until its voice's next note at least, in the order the play read them;
// the notes ended by then, and those no longer in a voice, are forgotten. None when no play
// runs. Main thread only.
// Reads: playing_flag. Writes: scheduled_notes.
void sounding_notes_at(int32_t now, std::vector<Drosa>* notes);
// stop_playing: stops a running play (reset_tempo 1 also puts the Hear tempo back to 100
// percent): queues the end event at now + 2000 ms with the timer, or silences everything at
// once without it; the music window shows again what it showed when the play began
// (end_play_display). 1 when a play was running.
int32_t stop_playing(int reset_tempo);

// release_play_nodes: returns to the node store the queue nodes the timer task is done with.
// Main thread only.
void release_play_nodes();

// play_queue_count: nodes in the queue now.
int32_t play_queue_count();

// finish_playing: at quit or when the window closes: stops the play and the timer, silences
// every sounding note at once and frees the queue.
void finish_playing();

// The first node of the play queue (for the debug dumps); NIL when empty.
Drosa play_queue_first();

// ==== quantise.cpp ===============================================================================
// A recording made into notes. Every onset group's distance to the next group is expressed in
// 1/60000 of the beat that holds it; each beat takes the rhythm template that fits its groups best;
// groups get the template's note values; chords held over whole beats become longer values or ties;
// the chords are inserted at the insertion point, and recorded pedal events become pedal marks.

// normalize_recording: rnormttn of every RNOTE; 0 when nothing usable was recorded.
// Failure: level 2 "All your notes were during beats-for-nothing!"; the question "Confusion in
//          the rhythmic analysis! ..." (an answer of no ends with 0).
int normalize_recording();

// build_active_templates: active_templates from the beat and the settings.
void build_active_templates();

// match_templates: for every beat the template of the smallest deviation, its values given to
// the groups, surplus groups merged into the template's last slot.
void match_templates();

// make_recorded_notes: the groups inserted as chords at the insertion point. 1 when any was.
int make_recorded_notes(Drosa model_template);

// ==== record.cpp =================================================================================
// Recording. The Record command takes keys played on a MIDI keyboard (or on the piano window)
// against a beat from the metronome or from taps; Import MIDI feeds the events of one track of a
// MIDI file through the same routines. Both collect the keys as a list of RNOTE nodes (onset groups
// with their lengths and volumes) and an array of beat times, which the quantiser (quantise.h)
// turns into notes at the insertion point. Times are ms of the play clock when recording and ticks
// of the file when importing.

// The settings of recording and importing, kept between uses.
struct RecordSettings {
  DialogRef dialog = nullptr;  // the open dialog
  int import = 0;              // 1 importing a file
  int beat_unit = 3;           // note value code of the beat: 1 whole .. 4 eighth
  int dotted_beat = 0;         // the beat is dotted (compound metre)
  Drosa time_signature = NIL;  // before the insertion point
  int32_t beat_period = 1000;  // ms a beat (ticks when importing)
  int metronome_on = 1;
  int tap_beats = 0;
  int play_along = 0;
  int played_along = 0;
  int silent_metronome = 0;
  int start_with_first_note = 0;
  int triplets = 0;
  int triplet_pairs = 0;
  int cluster_rest = 1;
  int keep_played_durations = 0;
  int subdivision = 4;  // note value code of the smallest value
  int midi_velocity = 0;
  int midi_monitor = 0;
  int track = 0;
  int first_channel = 0, last_channel = 15;
  int lowest_key = 0, highest_key = 127;
  bool filled = false;  // the defaults were filled at a first use
};
extern RecordSettings record_settings;

// What one recording collects; lives for one command.
struct Recording {
  std::vector<int32_t> beat_times;  // BEAT_TIMES entries while recording
  int last_beat = 0;                // index of the last beat stored
  Drosa rnotes = NIL;               // head of the RNOTE list
  Drosa tail = NIL;                 // its newest node
  Drosa group_first = NIL;          // first RNOTE of the group being played
  Drosa midi_head = NIL;            // head of the sustain-pedal events (MIDI nodes)
  int32_t chord_threshold = 50;
  int32_t onset_slack = 50;         // how long before a beat an onset still counts for it
  int32_t tolerance_percent = 100;  // engraving parameter 556 at the insertion point
  int32_t group_start = 0;
  int32_t last_event_time = 0;
  int last_key_up_beat = 0;
  int opened_beat = -1;  // the beat that last opened a group
  bool note_recorded = false;
  int32_t last_tap = -1000000;
  int click_state = 0;
  int32_t click_time = 0;
  bool active = false;     // the record loop runs
  bool cancelled = false;  // it ended without OK
  bool sysex_open = false;
  int first_onset_late = 0;  // the quantiser's (quantise.h)
  bool confusion_asked = false;
};
extern Recording recording;

// The MIDI file's ticks when the recorder imports, else the clock (ms).
// record_command: 1 when notes were added. import 1: the MIDI file open in the reader.
// Reads: insertion_point, record_settings, the MIDI input or the file. Writes: the voice list
//        at the insertion point (with undo).
// Failure: level 2 "Sorry, your computer has no MIDI capabilities, so you cannot use Record.",
//          "Not enough memory to record.", "Too many metronome beats!"; without an insertion
//          point nothing is done, and Record says where to click first.
int32_t record_command(int import);

// begin_recording: a fresh recording: the beat array, the heads of the lists, beat 0 and the
// last event at `start`, the chord threshold 50 and the tolerance percentage of the insertion
// point (engraving parameter 556).
void begin_recording(int import, int32_t start);
// read_recorded_track: the import's reading: the chosen track of the open MIDI file event by
// event, with a beat at every beat period before each event, the final beat at the end of the
// music, and the list closed. A damaged track cancels the recording (recording.cancelled).
// Failure: level 2 "Too many metronome beats!", the reader's messages.
void read_recorded_track();

void recimp_dialog_event(const EventRecord& event);

// The head of the list of recorded keys; NIL while nothing is recorded.
Drosa recorded_notes_first();
// Frees the lists and the beat array of the last recording.
void release_recording();
