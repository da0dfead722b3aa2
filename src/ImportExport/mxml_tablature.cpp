// mxml_tablature.cpp: guitar tablature in an imported document: a staff whose clef is TAB
// becomes the program's guitar tablature, of as many lines as the document gives it strings
// (`staff-lines`), its open strings (`staff-tuning`) the tuning its voice plays from (changes
// of the string pitch parameters before its first note), and each note keeps the string the
// document puts it on (`technical` `string`); its fret follows from its pitch and the string's
// tuning.
#include <algorithm>
#include <cstring>

#include "ImportExport/musicxml_globals.h"
#include "ImportExport/mxml_internal.h"
#include "ImportExport/xml_reader.h"
#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int MOST_STRINGS = 7;    // the program's tablature has strings 1 to 7
constexpr int GUITAR_STRINGS = 6;  // a tablature staff that says it has no strings gets these
constexpr int LOWEST_TREBLE_STRING = 36;  // C2: an instrument whose low string is lower is a bass
constexpr int BASS_CLEF = 1;

MxmlList& list_of(int list) { return mxml.lists[size_t(list)]; }

int first_list() { return mxml_in_part() ? mxml.part_first[mxml.part_index] : 0; }

// The key of a string by the program's own tuning.
int default_open_key(int string) {
  return param[P_MIDI_PITCH_FOR_STRING_1_IN_GUITAR_TABLATURE - 1 + string].value.integer();
}

// The key the string sounds open in the list's voice so far.
int open_key(const MxmlList& l, int string) {
  const int key = l.tuning_in_force[string];
  return key >= 0 ? key : default_open_key(string);
}

// The document's tuning of a string (1 the top), -1 when it gives none.
int document_tuning(const MxmlList& l, int string) {
  const int lines = l.lines < 1 ? GUITAR_STRINGS : l.lines;
  const int line = lines + 1 - string;  // lines are counted from the bottom
  return line >= 1 && line <= 12 ? l.tuning_by_line[line] : -1;
}

bool in_technical(XmlElement& e) { return std::strcmp(mxml_parent(e), "technical") == 0; }

bool in_staff_tuning(XmlElement& e) { return std::strcmp(mxml_parent(e), "staff-tuning") == 0; }

// The key of a step (0 C .. 6 B) altered by `alter` semitones in an octave (4 the middle C's).
int key_of_step(int step, int alter, int octave) {
  static const int semitones[7] = {0, 2, 4, 5, 7, 9, 11};
  return 12 * (octave + 1) + semitones[step] + alter;
}

}  // namespace

int mxml_staff_lines_of(int list) {
  const MxmlList& l = list_of(list);
  if (!l.tab) return l.lines;
  return l.lines < 1 ? GUITAR_STRINGS : std::min(l.lines, MOST_STRINGS);
}

void mxml_staff_tuning(XmlElement& e) {
  mxml.tuning_line = xml_attr_int(e, "line");
  mxml.tuning_step = mxml.tuning_octave = -1;
  mxml.tuning_alter = 0;
}

void mxml_tuning_step(XmlElement& e) {
  if (!in_staff_tuning(e)) return;
  const std::string step = mxml_text(e, 8);
  static const char letters[] = "CDEFGAB";
  const char* at = step.size() == 1 ? std::strchr(letters, step[0]) : nullptr;
  mxml.tuning_step = at && *at ? int(at - letters) : -1;
}

void mxml_tuning_alter(XmlElement& e) {
  if (in_staff_tuning(e)) mxml.tuning_alter = std::clamp(mxml_int(e, 0), -2, 2);
}

void mxml_tuning_octave(XmlElement& e) {
  if (in_staff_tuning(e)) mxml.tuning_octave = std::clamp(mxml_int(e, -1), -1, 9);
}

// The open key of one line of the staves the staff-details being read names.
void mxml_staff_tuning_end() {
  if (!mxml_in_part() || mxml.tuning_step < 0 || mxml.tuning_octave < 0) return;
  if (mxml.tuning_line < 1 || mxml.tuning_line > 12) return;
  const int key =
      std::clamp(key_of_step(mxml.tuning_step, mxml.tuning_alter, mxml.tuning_octave), 0, 127);
  for (int i = 0; i < mxml_part_list_count(); ++i)
    if (mxml.staff_details_number == 0 || mxml.staff_details_number == i + 1)
      list_of(first_list() + i).tuning_by_line[mxml.tuning_line] = key;
}

void mxml_string_number(XmlElement& e) {
  if (mxml_frame_note_part(e, true)) return;
  if (in_technical(e)) mxml.note.string = std::clamp(mxml_int(e, 0), 0, 99);
}

void mxml_fret(XmlElement& e) {
  if (mxml_frame_note_part(e, false)) return;
  if (in_technical(e)) mxml.note.fret = std::clamp(mxml_int(e, -1), -1, 99);
}

void mxml_tablature_tuning(Drosa note, int list) {
  MxmlList& l = list_of(list);
  if (!l.tab) return;
  if ((l.lines < 1 || l.lines > MOST_STRINGS) && l.strings_noted != l.lines) {
    l.strings_noted = l.lines;
    mxml_notice(MxmlNotice::strings,
                "In %s a tablature staff has %d strings; Vesk's tablature has 1 to %d, so it "
                "shows %d.",
                mxml_where().c_str(), l.lines, MOST_STRINGS, mxml_staff_lines_of(list));
  }
  const int strings = mxml_staff_lines_of(list);
  for (int s = 1; s <= strings; ++s) {
    const int key = document_tuning(l, s);
    if (key < 0 || key == open_key(l, s)) continue;
    l.tuning_in_force[s] = key;
    make_text_anno(
        note, 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
        mxml_param_text(P_MIDI_PITCH_FOR_STRING_1_IN_GUITAR_TABLATURE - 1 + s, key).c_str(),
        nullptr);
  }
  // A bass guitar's notes are written in the bass clef (when the staff shows them as notes).
  if (l.tab_clef && open_key(l, strings) < LOWEST_TREBLE_STRING) {
    l.tab_clef->set(xclef, uint8_t(BASS_CLEF));
    l.clef = BASS_CLEF;
  }
  l.tab_clef = NIL;
}

void mxml_tablature_note(Drosa note, int list, const MxmlNoteRecord& n) {
  if (n.string <= 0 || n.unpitched) return;
  const MxmlList& l = list_of(list);
  const int strings = l.tab ? mxml_staff_lines_of(list) : MOST_STRINGS;
  if (n.string > strings) {
    mxml_notice(MxmlNotice::string_number,
                "In %s a note is on string %d, which its staff of %d strings does not have; "
                "Vesk chooses its string.",
                mxml_where().c_str(), n.string, strings);
    return;
  }
  note->set(xstring, uint8_t(n.string));
  if (!l.tab || n.fret < 0 || n.step < 0) return;
  // The pitch sounds; the fret the document gives it must agree with the string's tuning.
  const int key = key_of_step(n.step, n.alter - 3, n.octave) + mxml.transposition;
  const int fret = key - open_key(l, n.string);
  if (fret != n.fret)
    mxml_notice(MxmlNotice::fret,
                "In %s a note is at fret %d of string %d, where its pitch lies at fret %d of the "
                "string's tuning; Vesk shows fret %d, keeping the pitch.",
                mxml_where().c_str(), n.fret, n.string, fret, fret);
}
