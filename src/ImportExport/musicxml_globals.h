// musicxml_globals.h: the program-wide state of the MusicXML import, shared by its element
// handlers during one import. MusicXML_parse resets all of it at its start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ImportExport/musicxml_services.h"
#include "model/model_services.h"

// Limits of what one document may hold, each far above real music: the largest real scores
// we know, symphonic movements of two dozen staves, have about 9 MB, 16,000 notes and 500
// measures, and no real measure of one part holds more than a few hundred notes. A document
// past one of them is damaged, generated or endless (a pipe, /dev/zero): it is refused with a
// message that names the limit and where it was passed, before it can exhaust the memory or
// the time of the program. A chord past its limit is cut instead, and said.
inline constexpr uint64_t MXML_MOST_BYTES = 256ull << 20;  // the document's text
inline constexpr int MXML_MOST_NOTES = 1000000;            // notes and rests of the document
inline constexpr int MXML_MOST_MEASURES = 100000;          // measures of one part
inline constexpr int MXML_MOST_MEASURE_NOTES = 10000;      // notes and rests of one measure
inline constexpr int MXML_MOST_CHORD_NOTES = 128;          // notes of one chord: every piano key
// The music's length: 16,384 whole notes (2^30 time units, with room left in 32 bits for the
// layout's sums); a measure's length in divisions must fit 32 bits too.
inline constexpr int64_t MXML_MOST_TIME_UNITS = int64_t(1) << 30;
inline constexpr int64_t MXML_MOST_MEASURE_DIVISIONS = INT32_MAX;

inline constexpr int MXML_MAX_PARTS = 64;
inline constexpr int MXML_MAX_LISTS = MAX_VOICES;
inline constexpr int MXML_MAX_VOICE = 30;   // voice numbers of a part: 1..30
inline constexpr int MXML_MAX_STAVES = 7;   // staves of a part
inline constexpr int MXML_SLUR_SLOTS = 7;   // slur numbers 1..7
inline constexpr int MXML_TRILL_LINES = 6;  // wavy-line numbers 1..6
inline constexpr int MXML_TITLE_RECORDS = 6;
inline constexpr int MXML_LYRICS_RECORD = 5;  // the title record that holds the lyrics
inline constexpr int MXML_SLOTS = 4;          // pending text slots
inline constexpr int MXML_CREDIT_SLOT = 0, MXML_DIRECTION_SLOT = 1, MXML_NOTATIONS_SLOT = 2;
// The instruments with a percussion sound the part list may give.
inline constexpr size_t MXML_MAX_INSTRUMENTS = 4096;

// The voice tag of a note or annotation: bits 0-6 part + 1, bits 7-11 voice + 1, bits 12-15
// the staff code: 0 the voice's own staff, MXML_COPIED_REST a rest copied into the voice for
// another one, any other value v the staff v - MXML_STAFF_BIAS away from the voice's own.
inline constexpr int MXML_TAG_VOICE_BITS = 0x0FFF;
inline constexpr int MXML_STAFF_BIAS = 7;
inline constexpr int MXML_COPIED_REST = 15;

// A line of text waiting to become an annotation.
struct MxmlItem {
  int16_t kind = 0;        // the item's kind code (title, words, tempo, dynamics...)
  int32_t x = 0, y = 0;    // position, in units of the reference staff; y grows upward
  int32_t dx = 0, dy = 0;  // relative offsets
  uint16_t reference = 0;  // justification (bits 0-2) and reference modes (bits 8-15)
  int16_t font = -5;       // font code
  int16_t size = 12;       // points
  double points = 0;       // the size the document gives in points, when it gives a number
  uint8_t face = 0;        // bold 1, italic 2
  uint8_t flags = 0;       // bit 1: boxed
  uint8_t given = 0;       // default-x 1, default-y 2, relative-x 4, relative-y 8
  bool size_given = false, justify_given = false, face_given = false;
  int8_t halign = 0;          // a dynamic's alignment about its x: 0 left, 1 centre, 2 right
  int32_t dynamics = 0x8000;  // dynamics code; 0x8000 none yet, 0xFFFF an unknown word
  // The words of `other-dynamics` ("sempre"), shown when the dynamics hold no mark; beside a
  // mark ("[", "]") they are left out.
  std::string dynamics_before, dynamics_after;
  int32_t tempo = 0;       // beats per minute
  int32_t beat_unit = -1;  // 0 breve, 1 whole .. 9 256th; -1 none
  int32_t dots = 0;
  bool press = false, release = false;    // pedal
  bool pedal_line = false;                // the pedal is shown as a bracket line, not marks
  bool syllable = false, extend = false;  // lyric: a hyphen or an extender follows
  int32_t code = 0;                       // notation mark code
  int32_t number = 0;                     // the element's number (lyric verse...)
  bool command = false;                   // a parameter command text
  bool credit = false;                    // a credit, placed on the page
  int32_t document_y = INT32_MIN;         // a credit: its height on the page as the document
                                          // gives it, units from the page's bottom
  int8_t valign = 0;                      // a credit: what its y gives, 0 its first
                                          // baseline, 1 its top, 2 its middle, 3 its bottom
  bool parentheses = false;               // a metronome mark in parentheses
  bool octave_line = false;               // the words that begin an octave line
  bool sound_tempo = false;               // a tempo the document gives for the performance only
  // Words that are the note of a metronome mark in the music font: its value, 1 whole .. 6
  // 32nd (its dots in `dots`); 0 for other words.
  int8_t note_glyph = 0;
  // A sign of the music font (segno, coda, fermata...): the engraving parameter that draws it;
  // 0 for other items.
  int16_t sign_param = 0;
  int8_t color = 0;    // the colour index of its text: 0 black, else the nearest of the table
  bool coded = false;  // its text is written in the escape codes of annotations (a chord symbol)
  std::string text;    // Mac OS Roman
};

// A group of items that wait together: one direction, credit or layout element.
struct MxmlGroup {
  int placement = 0;  // 1 above, -1 below, 0 none
  int staff = -1;     // the staff the group belongs to (1-based), -1 any
  int32_t voffset = 0;
  bool metronome = false;     // a metronome mark was read in it
  bool octave_shift = false;  // an octave-shift was read in it: it sets the staff's shift
  int octaves = 0;            // that shift: written minus sounding octaves, 0 at its stop
  int64_t at = -1;            // the time written at, offset added: to a note from there on
  int64_t shift = 0;          // its offset as given, back in time too: an octave line's time
  std::deque<MxmlItem> items;
};

inline constexpr int MXML_NO_OCTAVE = -1000;  // no octave element was read
// Note types beyond the program's values: a longa is drawn as two tied breves, a maxima as
// four.
inline constexpr int MXML_TYPE_LONG = 100, MXML_TYPE_MAXIMA = 101;
// How a bar line's lines are drawn, beside its style.
inline constexpr int MXML_BAR_DASHED = 1, MXML_BAR_TICK = 2, MXML_BAR_HIDDEN = 4;

// A tuplet element of a note: a tuplet's start or stop, and how the document shows it.
struct MxmlTupletMark {
  bool start = false;
  int number = 1;
  int bracket = -1;            // bracket="yes" 1, "no" 0, not given -1
  bool number_shown = true;    // show-number is not "none"
  int actual = 0, normal = 0;  // its own ratio as tuplet-actual and tuplet-normal give it; 0 not
};

// What the elements inside one note or forward say.
struct MxmlNoteRecord {
  bool rest = true, chord = false, grace = false, forward = false;
  bool measure_rest = false;  // a rest the document calls the measure's (measure="yes")
  bool unpitched = false;
  int step = -1, octave = MXML_NO_OCTAVE, alter = 3;
  bool accidental = false;
  int64_t duration = -1;
  int type = -1, dots = 0;
  int actual = 1, normal = 1;
  int staff = -1, voice = 0;
  int stem = 3;
  bool stem_none = false;  // stem "none": drawn without a stem
  int beam_left = 0, beam_right = 0;
  bool tie_start = false;
  int tie_side = 3;                         // of the tie that starts: 1 under, 2 over, 3 either
  uint8_t slur_starts = 0, slur_stops = 0;  // bit n - 1: slur number n
  int slur_side = 3;                        // 1 under, 2 over, 3 either
  int fermata = 0, accent = 0;
  bool staccato = false, staccatissimo = false, tenuto = false;
  int tremolo = 0;                      // strokes through its stem (a tremolo of one note), 0 none
  bool gliss = false;                   // a glissando or slide begins at it
  std::vector<MxmlTupletMark> tuplets;  // the tuplets it starts and stops
  int tremolo_pair = 0;           // a tremolo between two notes: 1 its first note, 2 its second
  int pair_strokes = 0;           // the strokes between the two notes
  bool cue = false;               // a cue note: drawn small
  bool invisible = false;         // print-object="no"
  std::string notehead;           // the notehead element's text; empty for a normal head
  int notehead_filled = -1;       // its filled attribute: 1 yes, 0 no, -1 not given
  int32_t default_x = INT32_MIN;  // its default-x (units of the reference staff), if given
  int key = -1;                   // the MIDI key its instrument sounds (midi-unpitched), -1 none
  int string = 0, fret = -1;      // its string and fret on tablature (technical); 0, -1 none
  // The wavy lines it starts and stops, in the document's order: number (1..6), start or stop,
  // and a start's height over the staff's top line (units) and side.
  struct WavyLine {
    int number = 1;
    bool start = true;
    int32_t y = INT32_MIN;  // not given
    bool below = false;
  };
  std::vector<WavyLine> wavy_lines;
};

// A voice of the part being read. Document voices keep their own numbers where they can; a
// voice number that the document uses on two staves at once gets a second voice.
struct MxmlVoice {
  int document_voice = 0;  // the number the document gives, 0 for an unused entry
  int staff = 0;           // its staff in the part, 1-based
  int64_t end = 0;         // where its last note ends in the measure, in divisions
  Drosa last_note = NIL;   // its last note placed
  // The first note of a tremolo between two notes, made a tremolo beam while its second note
  // is awaited; NIL when none waits.
  Drosa tremolo_start = NIL;
  int tremolo_strokes = 0;  // its strokes, given back to it when no second note comes
  // The tuplets open in the voice, the outermost first, with the first notes of the chords
  // read in them so far.
  struct Tuplet {
    int number = 1;
    int actual = 1, normal = 1;  // its own ratio: the tuplets around it not counted
    bool number_shown = true;
    int bracket = -1;
    bool holds_nested = false;  // another tuplet began inside it
    std::vector<Drosa> notes;
  };
  std::vector<Tuplet> tuplets;
};

// A staff list of the parse pass (one per staff of every part; voices of the piece).
struct MxmlList {
  Drosa insert = NIL;     // nodes are appended after it
  bool barsep = false;    // bar lines do not join the staff below
  Drosa last_note = NIL;  // the last note placed in it
  // The chord of the measure that starts last in it (a voice read earlier may end the
  // measure), and its start; -1 while the measure has none.
  Drosa latest_note = NIL;
  int64_t latest_start = -1;
  Drosa print = NIL;       // the PRINT whose staff settings are in force at its end
  int staff_size = 50;     // the size its staff is drawn at (50 a staff of the piece's size)
  int clef = 0;            // the clef code in force at its end
  int lines = 5;           // the staff's lines (a tablature staff's strings) as the document says
  bool tab = false;        // a TAB clef is in force: the staff is guitar tablature
  int tab_kind = 0;        // its kind: 2 drawn without stems (its first note has none), else 1
  Drosa tab_clef = NIL;    // the CLEF its last TAB clef made
  int strings_noted = -1;  // the strings of its tablature said to be more than Vesk has
  // The open key of each line of a tablature staff (its staff-tuning, lines counted from the
  // bottom as the document counts them), -1 not given; and the key each string (1 the top)
  // has in the staff's voice so far, -1 the program's own tuning.
  int tuning_by_line[13] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  int tuning_in_force[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
  Drosa timesig = NIL;  // the time signature in force at its end, once looked up
  bool timesig_known = false;
  std::vector<Drosa> bars;                   // its BARs, one per measure
  int32_t last_param[2] = {-1, -1};          // the last staff and system distances set
  std::vector<std::pair<int, bool>> breaks;  // after how many bars a break stands; page breaks
  // Where the document hides its staff and shows it again: after how many bars, and whether
  // it is hidden from there on.
  std::vector<std::pair<int, bool>> hidden;
  // The clefs of the measure read after a note, with the time (divisions into the measure)
  // from which each is in force: a note read later that starts before it goes before it.
  std::vector<std::pair<Drosa, int64_t>> clef_times;
  // Every clef read for the list, with the time (in units into its measure) from which it is
  // in force: a staff without notes of its own holds no other record of when its clefs change.
  std::vector<std::pair<Drosa, int32_t>> clef_units;
};

// A group of parts of the part list, with the sign that joins their staves.
struct MxmlPartGroup {
  int number = 1;
  int first = 0, last = -1;  // its first and last part; last -1 while it is open
  std::string symbol;        // group-symbol: brace, bracket, square, line, none; "" none given
  bool dropped = false;      // it overlaps a group begun before it
  bool barline = false;      // group-barline "yes": its parts' bar lines are joined
};

struct MxmlSlur {
  bool open = false;
  int tag = 0;
  int side = 3;
};

struct MxmlWedge {
  int type = 0;  // 0 none, 1 diminuendo, 2 crescendo
  bool open = false, stopping = false;
  bool group_pending = false;           // its direction has not ended yet
  bool stop_pending = false;            // the direction that stops it has not ended yet
  int64_t start_at = -1, stop_at = -1;  // the times the offsets of its directions name
  int staff = -1;                       // the staff its direction names, -1 any
  int32_t x = -50, y = 0, stop_x = 20;
  int list = -1;
  Drosa line = NIL;        // the LINE made at the note after the start
  Drosa start_note = NIL;  // that note
  int number = 1;          // the document's number of the wedge
  int start_measure = 0;   // the measure of that note and its time in the measure
  int64_t start_time = 0;
};

// A chord symbol being read (`harmony`): its parts as the document gives them, and the item
// it becomes at its end, placed and styled from the harmony element.
struct MxmlHarmony {
  bool open = false;
  bool malformed = false;   // something the import cannot read: the symbol is left out
  bool shown = true;        // print-object="no" hides it
  bool frame_shown = true;  // print-frame="no" hides its chord diagram
  std::string root;         // coded: the root's letter and accidental ("B\-"), or its function
  std::string bass;         // coded, likewise
  std::string kind;         // the kind's value ("major-seventh"); "" not read
  bool kind_text_given = false;
  bool use_symbols = false;  // the kind is shown in symbols (minus, circle, slashed circle)
  std::string kind_text;     // the text the kind is shown as, when given
  struct Degree {
    int value = 0;      // 1..13; 0 not read
    int alter = 0;      // semitones
    std::string type;   // "add", "alter", "subtract"
    bool shown = true;  // print-object="no" hides it
  };
  std::vector<Degree> degrees;
  MxmlItem item;  // where and how it stands
  // Its chord diagram (`frame`), drawn as a fret grid over the symbol.
  struct Frame {
    bool open = false, given = false;
    int strings = 6, first_fret = 1;
    bool unplayed_unmarked = false;  // a string with no note shows no mark (else muted)
    bool fret_text_given = false;    // the first fret says what is shown beside the grid
    bool fret_text_empty = false;    // and that is nothing
    int string = 0, fret = -1;       // of the frame note being read
    bool barre_start = false, barre_stop = false;
    int frets[6] = {-1, -1, -1, -1, -1, -1};  // by string from the lowest; -1 muted
    int barre_from = -1;                      // the string a barre starts at
    int barres[6] = {};                       // the fret of a barre from each string to the next
  } frame;
};

// What the import changed or left out of a document, said once per kind at its end: the
// first case in full, and how many there were.
// The byte of a voice's VINFO whose low seven bits hold the program it plays with, less one (0:
// none given); its top bit is the play engine's.
inline constexpr int VINFO_PROGRAM_BYTE = 27;

enum class MxmlNotice : uint8_t {
  clef,             // a clef Vesk has no equal of
  clef_staff,       // a clef for a staff the part does not have
  octave,           // a note in an octave Vesk cannot hold
  note_value,       // a note value Vesk cannot show (longer than a breve, shorter than a 128th)
  note_head,        // a note-head shape Vesk cannot show
  bar_style,        // a bar-line style Vesk cannot show
  lone_chord_note,  // a chord note with no note before it to join
  group_overlap,    // part groups that overlap
  undeclared_part,  // a part the part list does not declare
  chord_cut,        // a chord of more notes than the limit
  staves,           // a part of more staves than the program shows
  note_staff,       // a note on a staff its part does not have
  voices,           // voice numbers beyond the program's
  split_voices,     // a staff of more voices than it is split into
  key,              // a key signature of more than seven sharps or flats
  unknown_length,   // a note with neither type nor duration
  music_character,  // words holding a character of a music font Vesk has no sign for
  ending,           // an ending (first or second time bar) that begins or stops out of turn
  tremolo,          // a tremolo of more strokes than Vesk draws
  string_number,    // a string number that the note's staff cannot hold
  strings,          // a tablature staff of more strings than Vesk has, or of none
  fret,             // a fret that the note's pitch and its string's tuning do not give
  wedge_end,        // a hairpin begun and never stopped
  divisions,        // divisions of a quarter note that are no whole number from 1 on
  duration,         // a duration that is no number, or less than none
  time_signature,   // a time signature of no beats or no beat value (0/0)
  not_utf8,         // bytes of the document that are no UTF-8 character
  count
};

struct MxmlNoticeRecord {
  int count = 0;
  std::string first;  // the first case, in full
};

struct MxmlTitle {
  std::deque<MxmlItem> items;
};

struct MxmlState {
  // ---- Results of the parse
  // The breaks the document gives: those of the part that gives most (a document may repeat
  // every break in each of its parts), and those of the part being read.
  int system_breaks = 0, page_breaks = 0;
  int part_system_breaks = 0, part_page_breaks = 0;
  MxmlNoticeRecord notices[size_t(MxmlNotice::count)];
  std::vector<MxmlNotice> notice_order;  // kinds in the order they were first met
  bool sibelius = false, sharpeye = false;
  // ---- The reader's place
  // The element table's entry of each open element (-1 for one it does not hold), outermost
  // first: an end is the innermost open element's, and is not looked up again by its name.
  std::vector<int16_t> open_elements;
  // ---- Parts
  int part_count = 0;   // parts declared by score-part
  int part_index = -1;  // the part being read
  int cur_list = 0;     // the list that receives the next node
  std::string part_ids[MXML_MAX_PARTS];
  std::string part_names[MXML_MAX_PARTS];
  int part_first[MXML_MAX_PARTS] = {};       // first list of each declared part
  int part_lists[MXML_MAX_PARTS] = {};       // its number of lists (staves)
  int64_t part_cursor[MXML_MAX_PARTS] = {};  // each part's time in its measure, divisions
  // The length of every measure read of each part, in time units (65536 a whole note).
  std::vector<int64_t> part_measures[MXML_MAX_PARTS];
  int64_t pending = 0;  // duration of the last note read, not yet added to the cursor
  std::vector<MxmlPartGroup> part_groups;
  std::string part_symbol[MXML_MAX_PARTS];  // each part's part-symbol; "" none given
  // The time signature and divisions each part ended with: the measures of rest that make a
  // part as long as the longest go on with them.
  struct PartEnd {
    int32_t divisions = -1, beats = 4, beat_type = -1;
  };
  PartEnd part_end[MXML_MAX_PARTS];
  std::vector<MxmlList> lists;
  // ---- Voices of the part being read
  MxmlVoice voices[MXML_MAX_VOICE + 1];
  // Bit v: voices[v] has taken a note since the part began; the others are as reset, with
  // nothing to end, move or scale at a measure's end.
  uint32_t voices_used = 0;
  int highest_voice = 0;  // the highest voice number of the part's voice elements
  int last_voice = 0;     // the voice of the last note placed
  int staves_stated = 0;  // the staves the part's last staves element asked for (0: none yet)
  int staff_details_number = 0;  // the staff the staff-details being read names (0: all)
  int transposition = 0;         // the part's transposition in semitones
  // ---- Instruments of the part list whose sound is a key (percussion)
  struct UnpitchedSound {
    int part = 0, key = 0;  // key 0..127
  };
  std::map<std::string, UnpitchedSound> unpitched_sounds;  // by instrument id
  std::string midi_instrument;                             // the id of the one being read
  int midi_channel = 0;                                    // its channel, 1..16; 0 none given
  int part_channel[MXML_MAX_PARTS] = {};     // each part's channel, 1..16; 0 none given
  int part_program[MXML_MAX_PARTS] = {};     // each part's program, 1..128; 0 none given
  bool part_unpitched[MXML_MAX_PARTS] = {};  // the part has sounds of a percussion channel
  int channels_given = 0;       // the channels that parts name: bit c - 1 for channel c
  int last_channel_chosen = 0;  // the channel given last to a part that names none (1..16)
  // ---- Attributes
  int fifths = 0;
  bool minor = false;
  Drosa last_clef = NIL;  // the clef being read
  std::string clef_sign;  // the sign, line and octave change of the clef being read
  int clef_line = 0, clef_octave = 0;
  // The staff-tuning being read: its line, step (0 C .. 6 B), alter and octave; -1 not given.
  int tuning_line = -1, tuning_step = -1, tuning_alter = 0, tuning_octave = -1;
  // ---- Time
  int32_t divisions = -1;             // per quarter; -1 not given
  int32_t tolerance = 4;              // divisions
  int32_t tolerance_units = 85;       // time units
  int32_t beats = 4, beat_type = -1;  // the time signature being read
  int time_symbol = 0;                // 1 cut, 2 common
  int beat_value = -1;                // note value of the beat, for tempo marks
  // The beats of the time signature being read when they count none ("0"): the signature is
  // left out at its beat type.
  std::string beats_refused;
  // ---- Measures
  int measure_counter = 0, last_number = 0;
  std::vector<Drosa> waiting_bars;  // the bar lines (one a staff) that ended the measure before
  int number_to_show = 0;
  int bar_style = 0;             // 0 plain, 1 light-light, 2 light-heavy, 3 heavy-light
  int bar_look = 0;              // MXML_BAR_DASHED, MXML_BAR_TICK, MXML_BAR_HIDDEN
  bool bar_style_given = false;  // the bar line being read names its style
  bool end_repeat = false, start_repeat = false;
  bool left_barline = false;      // a left bar line at the start of a system
  bool left_barline_mid = false;  // a left bar line inside a system
  int measure_notes = 0;          // note and forward elements in the measure
  int measure_nodes = 0;          // notes and rests made for the measure
  int notes_made = 0;             // notes and rests made for the document
  int chord_size = 0;             // notes of the chord being read
  int parts_read = 0;             // part elements read
  int64_t last_duration = -1;     // the last duration read; positive after a backup
  int64_t measure_end = 0;        // the latest time a note of the measure reaches, divisions
  // The measure rests of the measure being read that are shorter than its time signature, with
  // the ratio that makes a whole rest last as long: in the part's last measure they become so.
  struct ShortMeasureRest {
    Drosa rest = NIL;
    int actual = 1, intimeof = 4;  // a whole rest's ratio, as NOTE xtupl and xintimeof hold it
  };
  std::vector<ShortMeasureRest> short_measure_rests;
  // ---- The note being read
  MxmlNoteRecord note;
  bool notations_open = false;
  Drosa last_note = NIL;                          // the last note placed
  int chord_beam_left = 0, chord_beam_right = 0;  // beam levels of the chord being read
  int chord_stem = 3;
  bool chord_hidden = false;  // the chord being read began with an invisible note
  MxmlSlur slurs[MXML_SLUR_SLOTS];
  // The wedges begun and not yet ended at a note: one ending and the next beginning before the
  // same note, or wedges of several numbers at once.
  std::vector<MxmlWedge> wedges;
  // The dynamics made, and the hairpins ended, before the note the last directions went to,
  // which a hairpin starting or ending there keeps clear of: their x (a hairpin's end), the
  // middle of their letters (a hairpin's line) and their width, in units of the reference
  // staff.
  struct MarkShown {
    Drosa note = NIL;
    int32_t x = 0, middle = 0, width = 0;
    bool hairpin = false;
  };
  std::vector<MarkShown> marks_shown;
  // The lines the directions made at a note of the measure take, from the bottom to the top of
  // their letters and across: directions made at that note later (at the measure's end) keep
  // clear of them as of one another.
  struct TakenLine {
    Drosa note = NIL;
    int32_t bottom = 0, top = 0, left = 0, right = 0;
  };
  std::vector<TakenLine> taken_lines;
  // The hairpins of the part ended so far: their list, the height of their middle line, and
  // the measures and times of the notes they begin and end at. A voice read after another may
  // begin a hairpin under one the other ended later.
  struct HairpinShown {
    int list = -1;
    int32_t middle = 0;
    int start_measure = 0, end_measure = 0;
    int64_t start = 0, end = 0;
  };
  std::vector<HairpinShown> hairpins_shown;
  // How the document measures a direction's default-x: from its note, or from the measure's
  // start as some programs write it. The directions whose x tells the two apart (a note
  // standing well into its measure, the direction near it one way and far from it the other)
  // count for each; while neither leads, the marks made are kept with their note's x, to be
  // set from the measure once it does.
  int x_from_note = 0, x_from_measure = 0;
  struct MarkFromX {
    Drosa tparam = NIL;
    int32_t note_x = 0;
  };
  std::vector<MarkFromX> marks_from_x;
  // Per staff of the part (1-based), the octave line open on it: written minus sounding
  // octaves (-1 under an 8va line, 0 when none) from a time of a measure on, up to its stop
  // once read; and the notes placed while a line is open, which it shifts at the end of the
  // measure of its stop (the voices read after the stop, at earlier times, are read then).
  // Its dashed line begins after its words, at the note they go to, in that note's voice.
  struct OctaveLine {
    int octaves = 0, measure = 0, stop_measure = INT32_MAX;
    int64_t start = 0, stop = 0;
    Drosa line = NIL;
    int tag = 0;
    Drosa words = NIL, note = NIL;  // its words' first node, and the note they went to
    int staff = 0;                  // of a line in octave_lines_stopped
  } octave_lines[MXML_MAX_STAVES + 1];
  // The trill lines (wavy lines) of the part begun and not yet stopped, by number - 1: the
  // first segment, before its note, and the list and voice it is in.
  struct TrillLine {
    Drosa line = NIL;
    int list = -1, voice = 0;
  } trill_lines[MXML_TRILL_LINES];
  // The pedal line of the part begun and not yet released: its first segment, and the note,
  // list and voice it begins at.
  struct PedalLine {
    Drosa line = NIL, note = NIL;
    int list = -1, voice = 0;
    int64_t at = -1;  // the document time of its note
  } pedal_line;
  // Lines a later line of their staff followed in the measure of their stop, in the order
  // they began: they end with that measure too, once every voice of it has been read.
  std::vector<OctaveLine> octave_lines_stopped;
  // The arpeggios made in the measure: the TPARAM of each glyph and the note it stands before;
  // at the measure's end each reaches every note of its staff at its note's time.
  struct Arpeggio {
    Drosa tparam = NIL, note = NIL;
  };
  std::vector<Arpeggio> arpeggios;
  // The words and lines of octave lines moved to a voice of another staff, with the list of
  // the staff they name: their heights count from that staff.
  std::vector<std::pair<Drosa, int>> moved_directions;
  // The ending (first or second time bar) of the part being read: begun at a left bar line,
  // its number and first segment stand before the first note of its voice on the part's top
  // staff; stopped at a right bar line, its last segment goes before that voice's last note
  // once the measure is read.
  struct Ending {
    bool open = false;  // begun and not yet stopped
    bool shown = true;  // the document prints it
    std::string text;   // its number as shown ("1.", "1, 2.")
    int tag = 0;        // the voice of the note its first segment stands before
    Drosa line = NIL;   // its first segment; NIL until a note takes it
    int stop = 0;       // read at the measure's right bar line: 1 stop, 2 discontinue
    int measure = 0;    // the measure (as the document numbers it) where it began
    bool begun = true;  // false: it stops where none began, and spans the measure it stops in
  } ending;
  // The number of an ending that stopped where none began and gave no number of its own: its
  // text waits for the next measure, where a second ending's start tells it.
  struct EndingNumberWaiting {
    Drosa number = NIL;  // the number's TPARAM
    int measure = 0;     // the measure it stopped in, counted in the part from 0
    int shown = 0;       // that measure as the document numbers it
  } ending_waiting;
  struct ShiftNote {
    Drosa note;
    int staff = 0, home = 0, measure = 0;
    int64_t start = 0, end = 0;  // in its measure
  };
  std::vector<ShiftNote> shift_notes;
  // The tempo marks the first part made from sound tempos: measure, time in it, tempo.
  struct TempoShown {
    int measure = 0;
    int64_t time = 0;
    int32_t tempo = 0;
    bool operator==(const TempoShown&) const = default;
  };
  std::vector<TempoShown> tempos_shown;
  // ---- Names before the systems, by declared part
  PartNames shown_names[MXML_MAX_PARTS];
  int name_display = 0;       // 1 inside part-name-display, 2 part-abbreviation-display
  bool display_shown = true;  // the open display's print-object
  std::string display_text;   // its texts read so far
  // The names by the part name each part's lists carry, kept for the lists as they are once
  // the voices are read (a staff of several voices becomes several lists).
  std::vector<std::pair<std::string, PartNames>> names_by_part;
  // ---- System margins, in tenths: left and right, -1 not given
  int32_t system_margins[2] = {-1, -1};        // of defaults: every system's
  int32_t first_system_margins[2] = {-1, -1};  // the print of the first measure
  // The prints that begin each later system of the first part, in order (-1 where one gives
  // none).
  std::vector<int32_t> later_system_margins[2];
  // ---- Layout
  double millimeters = 0, tenths = 0;
  int32_t page_width = 0, page_height = 0;  // tenths
  int32_t margins[2][4] = {};               // odd, even: left, right, top, bottom (tenths)
  uint8_t margins_given[2] = {};
  int margin_type = 3;                                    // 1 odd, 2 even, 3 both
  int32_t top_system_distance = -1, staff_distance = -1;  // tenths
  int32_t system_distance_points = -1;  // between systems, in points: what every list starts with
  std::map<int, int32_t> system_distances;   // in points, by measure, as the prints give them
  std::vector<int32_t> later_top_distances;  // top-system-distance of pages after the first
  bool first_top_given = false;  // a top-system-distance for the first page, in defaults or print
  bool defaults_applied = false;
  double layout_scale = 1;  // page lengths on the paper become layout lengths by this factor
  int print_scale = 100;    // percent: the page setup's scale the layout is printed at
  int32_t result_width = 0,
          result_height = 0;  // the page size the defaults give, tenths of an inch
  // ---- Text
  MxmlTitle titles[MXML_TITLE_RECORDS];
  int title_flush = 0;
  bool credit_of_later_page = false;  // the credit being read belongs to a page after the first
  int credit_type_style = -1;         // the style of the kind the credit's type names, -1 none
  std::deque<MxmlGroup> slots[MXML_SLOTS];
  MxmlItem* item = nullptr;                // the item text, syllabic and extend write into
  MxmlItem* direction_dynamics = nullptr;  // open dynamics item of a direction
  MxmlItem* notations_dynamics = nullptr;  // open dynamics item of notations
  MxmlItem* metronome = nullptr;           // open metronome item
  bool in_lyric = false;
  MxmlHarmony harmony;     // the chord symbol being read
  int16_t lyric_size = 0;  // the point size of lyrics the defaults give; 0 none
};

// Where the document comes from: its bytes in memory, or else the file of the piece being
// opened (piece_fsspec).
struct MxmlInput {
  bool memory = false;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
};

// Validity flags of the entry: a score-partwise root or a measure was seen; a score-partwise
// root was seen; no note or rest was made yet.
extern int mxml_root_seen;
extern int mxml_partwise_seen;
extern int mxml_no_note_made;

extern MxmlState mxml;
extern MxmlInput mxml_input;
// The most bytes of a document the import reads: MXML_MOST_BYTES (tests lower it).
extern uint64_t mxml_byte_limit;
