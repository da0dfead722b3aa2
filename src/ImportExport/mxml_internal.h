// mxml_internal.h: what the files of the MusicXML import share: the element handlers that the
// element table calls, and the routines by which notes, bars and text items are placed.
// Only the import's own files include it.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/xml_reader.h"

// ---- Failures (musicxml_import.cpp) ------------------------------------------------------------
// Ends the import with a message for the user (none for an empty text).
[[noreturn]] void mxml_throw(const char* message);
// The same with a message made as printf makes it.
[[noreturn]] void mxml_refuse(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Refuses the document when a measure of the current part lasts longer than the program can
// hold; `divisions_time` is a time in the measure, in divisions.
void mxml_check_measure_time(int64_t divisions_time);
// A note or rest is made: refuses the document past the limits of notes in the document and
// in one measure.
void mxml_count_note();

// mxml_notice: notes what the import changed or left out; the first case of each kind is kept
// in full (the format and its arguments, as for printf), the others are counted. Every kind
// noted is said once, when the import has succeeded.
void mxml_notice(MxmlNotice kind, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The messages of the kinds noted, in the order they were first met, each with its count.
std::vector<std::string> mxml_notice_texts();
// Where the import is in the document, for messages: "measure 12 of part "Flute"".
std::string mxml_where();

// ---- The element table and its helpers (mxml_elements.cpp) --------------------------------------
int mxml_start_element(const char* name, XmlElement& element, void* user);
int mxml_end_element(const char* name, void* user);
// True when the element table holds the name.
bool mxml_understands(const char* name);
// The name's entry in the element table, -1 when it has none: the reader's coder, so that a
// large document's names are looked up on the thread that reads it.
int32_t mxml_element_code(const char* name, uint32_t length);
// The element's text, or an attribute's value, in the program's text: UTF-8 converted to Mac
// OS Roman (the bytes as they are when the text is not UTF-8), cut to at most `limit` bytes.
std::string mxml_text(XmlElement& element, size_t limit = 1024);
// What mxml_text gives, as a view: of the element's own bytes when its text is plain ASCII (most
// words of a document, which the program's text keeps as they are), else of `converted`, which
// holds it then.
std::string_view mxml_text_view(XmlElement& element, size_t limit, std::string& converted);
// The text of a syllable: as mxml_text, without soft hyphens (marks of where a word may break,
// never drawn), and with the lyric's elision mark (LYRIC_ELISION) for an undertie between two
// syllables of one note (the system's characters have neither). *goes_on (when given) is set
// when the syllable ends with a soft hyphen: it goes on in its word, as a syllable that begins
// or continues one.
std::string mxml_sung_text(XmlElement& element, bool* goes_on = nullptr);
// The element's text without the characters of the music font's private range (U+E000 ..
// U+F8FF, which no text font draws): those go in order to *music (UTF-32). Words holding a
// flat, natural or sharp sign come back as coded text, those signs as the codes of the music
// font's, and *coded is set.
std::string mxml_words_text(XmlElement& element, std::u32string* music, bool* coded);
std::string mxml_attr_text(XmlElement& element, const char* name, size_t limit = 1024);
// True when the attribute has exactly this value.
bool mxml_attr_is(XmlElement& element, const char* name, const char* value);
// The element's text as an integer; `otherwise` when it has none.
int32_t mxml_int(XmlElement& element, int32_t otherwise);
// The name of the element that encloses the one being started ("" at the root).
const char* mxml_parent(XmlElement& element);

// Handler types: a start handler reads the element; an end handler gets nothing. Every
// handler reads and writes the import's state (mxml) and appends to the staff lists of the
// part being read; none of them reports, except where noted, and none throws but the part
// list's limits (mxml_score_part).
using MxmlStartHandler = void (*)(XmlElement& element);
using MxmlEndHandler = void (*)();

// ---- Parts, measures and attributes (mxml_attributes.cpp) ---------------------------------------
void mxml_score_partwise(XmlElement& e);
void mxml_score_part(XmlElement& e);
void mxml_part_group(XmlElement& e);
void mxml_group_barline(XmlElement& e);
void mxml_group_symbol(XmlElement& e);
void mxml_part_symbol(XmlElement& e);
void mxml_part_name(XmlElement& e);
void mxml_software(XmlElement& e);
// The sounds of a part's instruments (`midi-instrument` of a score-part): an instrument whose
// sound is a key of a percussion channel (`midi-unpitched`) gives the notes that name it
// (`instrument` of a note) that key, and its part that channel.
// Reads and writes: mxml (the instrument being read, the sounds by id, the parts' channels).
void mxml_midi_instrument(XmlElement& e);
void mxml_midi_channel(XmlElement& e);
void mxml_midi_unpitched(XmlElement& e);
void mxml_midi_program(XmlElement& e);
// mxml_next_free_channel: a channel (1..16) for a part that names none: the next one no part
// names, never the percussion channel; when all are named, the next one in turn.
// Reads and writes: mxml (the channels named and chosen).
int mxml_next_free_channel();
void mxml_part(XmlElement& e);
void mxml_part_end();
void mxml_measure(XmlElement& e);
void mxml_measure_end();
void mxml_print(XmlElement& e);
void mxml_divisions(XmlElement& e);
void mxml_fifths(XmlElement& e);
void mxml_mode(XmlElement& e);
void mxml_key_end();
void mxml_time(XmlElement& e);
void mxml_beats(XmlElement& e);
void mxml_beat_type(XmlElement& e);
void mxml_clef(XmlElement& e);
void mxml_clef_end();
void mxml_sign(XmlElement& e);
void mxml_clef_line(XmlElement& e);
void mxml_clef_octave_change(XmlElement& e);
void mxml_staves(XmlElement& e);
void mxml_staff_lines(XmlElement& e);
void mxml_staff_details(XmlElement& e);
void mxml_staff_size(XmlElement& e);
void mxml_chromatic(XmlElement& e);
void mxml_transpose_octave_change(XmlElement& e);
void mxml_barline(XmlElement& e);
void mxml_barline_end();
void mxml_bar_style(XmlElement& e);
void mxml_repeat(XmlElement& e);
// ---- Endings (mxml_endings.cpp) -----------------------------------------------------------------
// `ending` of a bar line: "start" opens the part's ending, "stop" and "discontinue" close it
// when the measure ends (one that no ending began spans that measure); a start gives the number
// an ending stopped in the measure before waits for.
// Reads and writes: mxml.ending, mxml.ending_waiting.
void mxml_ending(XmlElement& e);
// A note is placed in `list`: an ending begun before it and not yet standing before a note
// takes it when it is a printed note of the part's top staff.
// Reads and writes: mxml.ending, the list before `note`.
void mxml_ending_at_note(Drosa note, int list, int tag);
// The measure's notes are all read: an ending stopped at its right bar line gets its last
// segment (`part_end`: the part ends, and an ending still open ends there, with a notice); one
// that stops where none began is made over the measure. A number still waiting when the measure
// after its own ends (or the part) is left out, with a notice.
// Reads and writes: mxml.ending, mxml.ending_waiting, the part's top staff list.
void mxml_endings_measure_end(bool part_end);
// mxml_bar_end: a bar line of one staff list, at the measure's end (closing) or at its start:
// the part's time moves to the latest time the measure reached, where a BAR (with an XMLT
// before it, and a BARSEP after it when the list's bar lines stand apart) takes the bar
// style, repeats and waiting measure number.
// Reads:  mxml (part cursor, pending time, measure end, bar state). Writes: the list, mxml.
void mxml_bar_end(int list, bool closing);
// mxml_pad_short_parts: once every part is read, a part of fewer measures than the longest
// goes on to its length with a measure of rest (as its last time signature gives) in every
// staff, each closed by a bar line, so that every voice of the piece lasts as long.
// Reads and writes: mxml (the parts' measures and ends, the part state it borrows), the lists.
void mxml_pad_short_parts();
// mxml_align_measures: once every part is read, gives each XMLT its time from the piece's
// start: measure k of every part starts where the longest part's measure k - 1 ended, so that
// bar lines line up across parts whose measures the document fills unequally.
// Reads: mxml.part_measures, the voice lists. Writes: xnwholec of every XMLT.
void mxml_align_measures();
// mxml_set_brackets: once every part is read, gives each staff list the bracket and the brace
// that join it to the staves below, at the start of the piece (its first PRINT) and at every
// break (its ENDSYSTs): a bracket over the parts of the outermost bracket or square group that
// holds the part, a brace over the staves of a part of more than one staff (unless its
// part-symbol says otherwise) and over the parts of a brace group.
// Reads: mxml's parts and groups, the lists. Writes: PRINT and ENDSYST bracket fields.
void mxml_set_brackets();
// Whether a part is being read: elements a damaged document puts outside every part are
// read without a part's time or lists.
bool mxml_in_part();
// The part's number of lists, and whether a list index is one of them.
int mxml_part_list_count();
// The whole-measure length of the current time signature in divisions; 0 when unknown.
int64_t mxml_measure_length();
// mxml_make_break: a system break (a page break with `page`) of the Score at the list's
// insertion node, followed by Score-only copies of the clef and key in force (the key without
// its naturals); the list remembers after how many bars it stands.
// Reads and writes: the list, mxml.lists.
void mxml_make_break(int list, bool page);
// mxml_split_repeat_at_break: a break made after a bar line that starts a repeat: the repeat
// goes to a bar line of its own after the break's clef and key (appended at the list's
// insertion node), as a repeat at the start of a system stands; the bar line before the break
// keeps what ends there.
void mxml_split_repeat_at_break(int list, Drosa bar);

// ---- Notes and their time (mxml_notes.cpp) ------------------------------------------------------
void mxml_note(XmlElement& e);  // note and forward
void mxml_note_element_end();
void mxml_forward_end();
void mxml_rest(XmlElement& e);
void mxml_chord(XmlElement& e);
void mxml_grace(XmlElement& e);
void mxml_pitch(XmlElement& e);  // pitch and unpitched
void mxml_step(XmlElement& e);   // step and display-step
void mxml_alter(XmlElement& e);
void mxml_octave(XmlElement& e);  // octave and display-octave
void mxml_duration(XmlElement& e);
void mxml_voice(XmlElement& e);
void mxml_staff(XmlElement& e);
void mxml_type(XmlElement& e);
void mxml_dot(XmlElement& e);
void mxml_actual_notes(XmlElement& e);
void mxml_normal_notes(XmlElement& e);
void mxml_stem(XmlElement& e);
void mxml_beam(XmlElement& e);
void mxml_tie(XmlElement& e);
void mxml_tied(XmlElement& e);
void mxml_slur(XmlElement& e);
void mxml_accidental(XmlElement& e);
void mxml_cue(XmlElement& e);
void mxml_notehead(XmlElement& e);
// `instrument` of a note: the key of the instrument it names, when that sounds one.
void mxml_instrument(XmlElement& e);
void mxml_notations(XmlElement& e);
void mxml_notations_end();
void mxml_fermata(XmlElement& e);
void mxml_glissando(XmlElement& e);  // glissando and slide
void mxml_accent(XmlElement& e);
void mxml_strong_accent(XmlElement& e);
void mxml_staccato(XmlElement& e);
void mxml_tremolo(XmlElement& e);
void mxml_wavy_line(XmlElement& e);
void mxml_tuplet(XmlElement& e);
void mxml_tuplet_number(XmlElement& e);

// ---- Guitar tablature (mxml_tablature.cpp) ------------------------------------------------------
// The PRINT value (xtablature) of the program's guitar tablature.
inline constexpr int MXML_GUITAR_TABLATURE = 1;
// The same without stems (the fret numbers alone): a staff whose first note has no stem.
inline constexpr int MXML_STEMLESS_TABLATURE = 2;
// The lines a list's staff is drawn with: a tablature staff has 1 to 7 (6 when the document
// gives it none).
int mxml_staff_lines_of(int list);
void mxml_staff_tuning(XmlElement& e);
void mxml_staff_tuning_end();
void mxml_tuning_step(XmlElement& e);
void mxml_tuning_alter(XmlElement& e);
void mxml_tuning_octave(XmlElement& e);
void mxml_string_number(XmlElement& e);  // `string` of `technical`
void mxml_fret(XmlElement& e);           // `fret` of `technical`
// mxml_tablature_tuning: at a chord's first note on a tablature staff, the tuning the document
// gives its strings, as changes of the string pitch parameters before the note where it
// differs from the tuning in force in the list.
// Reads and writes: the list's tuning; the list (annotations before the note).
void mxml_tablature_tuning(Drosa note, int list);
// mxml_tablature_note: the string the document puts a note on, kept on the note when its staff
// has it (on any staff: it is the note's string when the staff is made tablature); a fret
// that the pitch does not give on a tablature staff is noted.
void mxml_tablature_note(Drosa note, int list, const MxmlNoteRecord& n);
void mxml_staccatissimo(XmlElement& e);
void mxml_tenuto(XmlElement& e);
void mxml_detached_legato(XmlElement& e);
// mxml_note_end: the end of a note or forward: its voice and staff list, its place in time
// (walked back over later notes, or joined to a chord of the same start), its value (given,
// or the longest not longer than its duration), its NOTE with the XMLT of its start, what
// waits for it (titles, directions, marks, lyrics, wedges) and its staff settings; a rest
// without a voice is made again in every other voice of the part.
// Reads:  mxml (the note record, the part's time, voices, lists, slurs).
// Writes: the staff lists, mxml, mxml_no_note_made.
// Failure: level 4 "Error in timing while parsing MusicXML file (part=%d measure=%d
//          voice=%d)" for a chord member with no chord before it (it starts its own chord);
//          level 2 once per import for an octave out of range (read as the nearest).
void mxml_note_end();
// mxml_end_tremolos: at a measure's end, the first note of a tremolo between two notes whose
// second never came keeps its written value, with strokes through its stem.
// Reads and writes: mxml.voices (their waiting tremolo notes, cleared), those notes.
void mxml_end_tremolos();
// Calls f(voice) on each entry of mxml.voices that has taken a note since the part began, in
// the table's order.
template <typename F>
void for_used_voices(F f) {
  for (uint32_t bits = mxml.voices_used; bits; bits &= bits - 1)
    f(mxml.voices[std::countr_zero(bits)]);
}

// mxml_end_tuplets: at a measure's end, the tuplets still open in the voices end there.
// Reads and writes: mxml.voices (their open tuplets, cleared), the tuplets' notes.
void mxml_end_tuplets();
// mxml_end_short_measure_rests: at a part's end, the measure rests of its last measure that
// are shorter than its time signature (a piece that began with a pickup) become whole rests
// lasting the measure through a ratio whose number is hidden: the layout draws them centred.
// Reads and writes: mxml.short_measure_rests (cleared), those rests.
void mxml_end_short_measure_rests();
// mxml_make_rest: a rest NOTE after `after` in the list, placed at the part's time; a
// whole-measure rest takes its value from the time signature (a quarter without one), with
// further rests when the measure is not one rest long. Returns the rest.
// Reads: mxml, the list's TIMESIG. Writes: the list, mxml.
Drosa mxml_make_rest(Drosa after, int list, bool whole_measure, int tag);
// Times in divisions as time units (65536 to a whole note).
int32_t mxml_to_units(int64_t divisions_time);

// ---- Text items: directions, credits, lyrics, notations (mxml_directions.cpp) ------------------
void mxml_direction(XmlElement& e);  // direction and directive
void mxml_direction_end();
void mxml_nothing(XmlElement& e);  // direction-type
void mxml_words(XmlElement& e);
void mxml_segno(XmlElement& e);  // segno and coda of a direction
void mxml_dynamics(XmlElement& e);
void mxml_wedge(XmlElement& e);
void mxml_octave_shift(XmlElement& e);
// Ends the octave lines of the part whose stop was read in this measure (`all`: every line, at
// the part's end): the notes placed on their staff (or by a voice of the staff) from a line's
// start to its stop are written its octaves off.
void mxml_octave_lines_end(bool all);
// The dashed line of an octave line, from after its words (`item`, made before `note`) on; its
// end, a copy of it, before the chord of `last` (the line's last note), ending just past it.
void mxml_begin_octave_line(const MxmlItem& item, int staff, Drosa note, int tag);
void mxml_end_octave_line(Drosa line, Drosa last);
// The first note of the chord the imported note belongs to (the note itself when it begins one).
Drosa mxml_chord_first(Drosa note);
// Moves an octave line's words (from `*words`) and its line before the chord of `note`, in the
// voice `tag`, their heights still counted from their staff (1-based); returns the line, and
// the words' first node in `*words`. `carry`: copies them there, the line going on in that
// voice, and leaves them where they were.
Drosa mxml_move_octave_line(Drosa* words, Drosa line, Drosa note, int tag, int staff,
                            bool carry = false);
// The trill lines the note (before which the annotations of `n` were just made, in `list`)
// starts and stops: a line's first segment before its first note, after its "tr", and a copy
// of it, its last segment, before its last note (its first, when it starts and stops there).
void mxml_trill_lines_at(const MxmlNoteRecord& n, Drosa note, int list, int tag);
// Ends the part's trill lines that were never stopped at the notes they began at.
void mxml_trill_lines_end();
// A pedal's bracket line at a note of `list` (-1 at the measure's end): a press begins it, a
// release ends it (at the note when it is of the line's voice, else over the time of that
// voice's last chord), a change does both. False when it is no line's (a release of none).
bool mxml_pedal_line_at(const MxmlItem& item, Drosa note, int list, int tag, int64_t start);
// A pedal line begun at a rest moves to a note of its staff that sounds at the rest's time
// (where the rest gives way to it and is not drawn), and goes on in that note's voice.
void mxml_pedal_line_to_note(Drosa note, int list, int tag, int64_t start);
// Ends the part's pedal line never released over the time of its voice's last chord.
void mxml_pedal_lines_end();
// Takes out the part's hairpins that began and were never stopped, said once for the document.
void mxml_wedges_end();
void mxml_pedal(XmlElement& e);
void mxml_metronome(XmlElement& e);
void mxml_beat_unit(XmlElement& e);
void mxml_beat_unit_dot(XmlElement& e);
void mxml_per_minute(XmlElement& e);
void mxml_rehearsal(XmlElement& e);
void mxml_sound(XmlElement& e);
void mxml_offset(XmlElement& e);
void mxml_credit(XmlElement& e);
void mxml_credit_type(XmlElement& e);
void mxml_credit_words(XmlElement& e);
// mxml_keep_credits_apart: a credit whose words would stand on those of another credit moves
// off them, toward the middle of the page: of two that meet, the one the document puts farther
// from the page's edge (the later of two at one height). A title of the identification that
// stands on a credit's words moves off them. How far words reach is told from their font size
// and length.
// Reads and writes: the items of mxml's credit slot and the titles not yet made; reads the
// page size and margins.
void mxml_keep_credits_apart();
void mxml_work_title(XmlElement& e);
void mxml_movement_title(XmlElement& e);
void mxml_creator(XmlElement& e);
void mxml_rights(XmlElement& e);
void mxml_lyric(XmlElement& e);
// `lyric-font` of the defaults: the size of the document's lyrics (the first one given).
void mxml_lyric_font(XmlElement& e);
void mxml_text_element(XmlElement& e);
void mxml_syllabic(XmlElement& e);
void mxml_extend(XmlElement& e);
void mxml_elision(XmlElement& e);
// Makes a notations item of a notation mark (code and sub-code) with its prefix text.
MxmlItem* mxml_notation_item(int code, int subcode, int placement, const std::string& prefix);
// mxml_sign_item: the item of a notation mark the music font draws (codes 1 to 13 of the
// notation marks but fingering: ornaments, bowings, breath mark, caesura), placed where the
// mark stands by its note: over the chord, or under it when placed below (beyond the marks of
// the note made before it), a breath mark or caesura after the note at the staff's top; nullptr
// for a code of no sign.
// Reads and writes: mxml's notations slot.
MxmlItem* mxml_sign_item(int code, int placement);
// mxml_turn_stroke: the stroke through an inverted turn: a further item where the turn stands.
// Writes: mxml's notations slot.
void mxml_turn_stroke(const MxmlItem& turn);
// mxml_arpeggiate: the arpeggio item of the note, left of its chord; the annotations make one
// glyph of the arpeggios of a chord's notes, stretched to reach them all.
// Writes: mxml's notations slot.
void mxml_arpeggiate(XmlElement& e);
inline constexpr int MXML_CODE_ARPEGGIATE = 15;
// Style and position of an item from the element's attributes; its colour the nearest of the
// colours table (prefs).
void mxml_text_format(XmlElement& e, MxmlItem* item, const MxmlItem* base);
int mxml_item_position(XmlElement& e, MxmlItem* item, int line);
// Empties a pending slot to one empty group, forgetting the items that pointed into it.
void mxml_reset_slot(int slot);
void mxml_reset_title(int record);
void mxml_reset_titles(int from);

// ---- Chord symbols (mxml_harmony.cpp) -----------------------------------------------------------
// A harmony waits, as a direction, in a group of the direction slot for the note of its staff
// at its time; at its end the item of its chord symbol joins the group, unless it is hidden or
// the import cannot read it.
void mxml_harmony(XmlElement& e);
void mxml_harmony_end();
void mxml_frame(XmlElement& e);
void mxml_frame_end();
void mxml_frame_strings(XmlElement& e);
void mxml_first_fret(XmlElement& e);
void mxml_frame_note_end();
void mxml_barre(XmlElement& e);
// A `string` or `fret` of a frame note; false for one of another element.
bool mxml_frame_note_part(XmlElement& e, bool string);
void mxml_root_step(XmlElement& e);
void mxml_root_alter(XmlElement& e);
void mxml_bass_step(XmlElement& e);
void mxml_bass_alter(XmlElement& e);
void mxml_function(XmlElement& e);
void mxml_kind(XmlElement& e);
void mxml_degree(XmlElement& e);
void mxml_degree_value(XmlElement& e);
void mxml_degree_alter(XmlElement& e);
void mxml_degree_type(XmlElement& e);

// ---- Page layout (mxml_layout.cpp) --------------------------------------------------------------
void mxml_defaults_end();
void mxml_millimeters(XmlElement& e);
void mxml_tenths(XmlElement& e);
void mxml_page_width(XmlElement& e);
void mxml_page_height(XmlElement& e);
void mxml_page_margins(XmlElement& e);
void mxml_page_margins_end();
void mxml_margin(XmlElement& e);  // left-, right-, top- and bottom-margin
void mxml_system_layout(XmlElement& e);
void mxml_system_distance(XmlElement& e);
void mxml_top_system_distance(XmlElement& e);
// mxml_first_system_below_credits: where the document gives the first page's system no
// distance from the page's top, lowers it below the credits over it: `reach` is how far the
// lowest of those reaches down from the page's top, in tenths.
// Reads: mxml's page layout. Writes: the first page's top margin of the current context.
void mxml_first_system_below_credits(int32_t reach);
void mxml_staff_layout(XmlElement& e);
void mxml_staff_distance(XmlElement& e);
// mxml_apply_layout: applies the page layout of the defaults once: the page size the parse
// pass compares (from 1.5 to 40 inches each way), the margins and the top system distance.
// A document's page is laid out as much larger than its paper as the document's staff space
// is smaller than the program's (5 points), and printed at the scale that gives the paper
// back; a page without a size is laid out on the paper of the context's page setup, as much
// larger than the paper as a print at 80 per cent makes it smaller, so that it fills that paper.
// Reads:  mxml (scaling, page size, margins), current_ncontext, print_record (paper).
// Writes: mxml.result_width, result_height, layout_scale, print_scale, defaults_applied; the
//         margins of the current context's options record and the print scale of its page
//         setup.
void mxml_apply_layout();
// mxml_page_tenths: tenths of the document's staff space as tenths of a point of the laid-out
// page. Reads: mxml's scaling and layout scale.
int32_t mxml_page_tenths(double tenths);
// mxml_paper_points: points of the paper as tenths of a point of the laid-out page, at the
// print scale of the defaults. Reads: mxml.print_scale.
int32_t mxml_paper_points(double points);
// mxml_default_distances: at the first note of a list, the distances below its staff and
// below its systems that the document's defaults (or the first measure's print) give, unless
// a print gave them already.
// Reads and writes: mxml (the defaults' distances, the list's last distances); the list.
void mxml_default_distances(Drosa note, int list);
// mxml_param_text: the text of a hidden annotation that changes an integer engraving
// parameter from the note it stands before on ("param {129:5,40} " and the description).
std::string mxml_param_text(int pindex, int32_t value);
// mxml_print_system_distance: at a print of a part, the distance between systems an earlier
// part's print of the same measure gave, in every list of this part.
// Reads and writes: mxml (the distances by measure, the lists' last distances); the lists.
void mxml_print_system_distance();

// ---- Names of the parts and the room for them (mxml_part_names.cpp)
// ------------------------------ A part-name (abbreviation false) or part-abbreviation of a
// score-part: the text and whether it is drawn. Writes: mxml.shown_names of the part declared last.
void mxml_name_given(XmlElement& e, bool abbreviation);
void mxml_part_abbreviation(XmlElement& e);
void mxml_name_display(XmlElement& e);  // part-name-display, part-abbreviation-display
void mxml_name_display_end();
void mxml_display_text(XmlElement& e);
void mxml_accidental_text(XmlElement& e);
// A left- or right-margin of system-margins, in defaults or in a print of the first part.
void mxml_system_margin(XmlElement& e);
// A print of the first part that begins a later system: its system margins come next.
void mxml_print_begins_system(XmlElement& e);
// mxml_apply_system_margins: once the document is read, its system margins added to the page
// margins (the first system's left, the later systems' left and right, the last one's right),
// each widened where a drawn name needs more room; the staves keep half the paper's width.
// Reads:  mxml (system margins, names, scaling), the lists' staff sizes.
// Writes: the left and right margins of the current context's options record.
void mxml_apply_system_margins();
// mxml_keep_names_by_part: the names read, by the part name of each part's lists.
void mxml_keep_names_by_part();
// mxml_set_part_names: once the voices are read, each part's names kept with its top voice.
// Writes: the annotations before the first note of those voices (set_part_names).
void mxml_set_part_names();

// ---- Annotations (mxml_annotations.cpp) ---------------------------------------------------------
// mxml_attach_to_note: what waits for a note becomes annotations before it: the titles (at
// the first note only), credits, the directions that fit its staff, its notation marks and
// lyrics; a wedge's hairpin starts or ends there. Directions and wedges whose offset names a
// time from `until` on (the time the note's chord lasts to) wait for a later note. `start`:
// the note's time in the measure.
// Reads and writes: mxml's title records, pending slots, wedges and hairpins shown; the note's
// list.
void mxml_attach_to_note(Drosa note, int list, int tag, int64_t start, int64_t until);
// mxml_flush_measure_end: at the end of a measure, the credits, directions and wedges that
// still wait go to the last note placed (of their staff, when they name one).
// Reads and writes: as mxml_attach_to_note.
void mxml_flush_measure_end();
// mxml_begin_wedges_back: the wedges begun by the direction being read (group_pending), whose
// offset takes them back to `at`, a time of the part's measure while the last note placed sounds,
// begin at that note (its chord's first note), past its head; others wait for the next note as
// before. Reads and writes: as mxml_attach_to_note.
void mxml_begin_wedges_back(int64_t at);
// mxml_arpeggios_measure_end: each arpeggio made in the measure reaches every note of its
// staff at its note's time (the chords of every voice there), standing before their heads and
// the columns of their accidentals.
// Reads: the measure's nodes of the lists. Writes: the arpeggios' TPARAMs; mxml.arpeggios.
void mxml_arpeggios_measure_end();
// mxml_barline_fermata: a fermata of a bar line: the music font's fermata (under the staff
// when inverted) over the bar line after the last note placed on the part's top staff.
// Writes: the top staff's list (a TPARAM and its TEXT before that note).
void mxml_barline_fermata(bool inverted);
// mxml_credit_points: a credit's size on the page laid out, for a size on the paper: larger by
// as much as the print scale makes the page smaller. Reads: mxml.print_scale.
int mxml_credit_points(double size);
// Makes the annotation of an item before `before`; returns its TPARAM (NIL for no text).
// Texts of the page (titles, credits) keep their size on staves of any size, and a credit the
// size the document gives it on the paper, whatever the print scale.
Drosa mxml_make_annotation(const MxmlItem& item, Drosa before, bool continuation, int tag,
                           int context);
