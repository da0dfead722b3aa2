// musicxml_export.cpp: the piece written as a MusicXML score-partwise document.
//
// Every part is written whole before the next: its voices are walked side by side, one
// measure at a time (a measure ends at a bar line, or at a system end that follows notes), and
// within a measure voice after voice, each voice after the first preceded by a backup of the
// time the voice before it wrote. Times are in divisions, 192 to a quarter note or a multiple
// of 192 that gives every note's time exactly (a quintuplet's needs 960); where none small
// enough does, each voice's chords are rounded with the error carried from chord to chord, so
// that a measure of tuplets adds up to the measure's length. Every note of a chord takes the
// chord's time (its shortest note's), so that any reader advances by it. The page layout goes in
// the defaults and in a print where each system begins (musicxml_export_layout.cpp), with the
// staves each system hides; the titles in credits where the first page draws them.
//
// The document goes through the platform's replacement of a file whole: into a new file beside
// the one asked for, which takes that name only when the document is complete, so that a failed
// export leaves no half document and the old file as it was.
#include "ImportExport/musicxml_export.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <iterator>
#include <numeric>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#include "ImportExport/musicxml_export_groups.h"
#include "ImportExport/musicxml_export_layout.h"
#include "ImportExport/musicxml_export_tuplets.h"
#include "ImportExport/musicxml_globals.h"
#include "ImportExport/musicxml_services.h"
#include "ImportExport/percussion_staff.h"
#include "ImportExport/xml_writer.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/files.h"

namespace {

// Divisions per quarter note: 192, or a multiple of it that gives every note's time exactly.
constexpr int64_t DIVISIONS = 192;
constexpr int64_t MOST_DIVISIONS = int64_t(1) << 22;  // a measure's time stays well in 32 bits
constexpr int QUARTER_TIME = WHOLE_NOTE_TIME / 4;

constexpr int CLASS_TITLE = 2, CLASS_COMPOSER = 3, CLASS_REHEARSAL = 4, CLASS_LYRIC = 5,
              CLASS_CHORD_SYMBOL = 11, CLASS_RIGHTS = 18, CLASS_PAUSE = 20, CLASS_POET = 23,
              CLASS_WORK_TITLE = 24;
// The glyphs of an arpeggio and of fermatas (over a bar line, as notes carry their own).
constexpr int LINE_HAIRPIN = 1, LINE_PLAIN_BRACKET = 3, LINE_RIGHT_BRACKET = 4, LINE_TRILL = 11,
              LINE_PEDAL = 12, LINE_WHOLE = 0, LINE_BEGIN = 3, LINE_END = 1;
constexpr int STAFF_TOP_TO_MIDDLE = -100;  // an annotation's y from the staff's top line
constexpr int LYRIC_FIRST_LINE_Y = -460;   // where the first line of lyrics stands
// A text's x from its note as the import gives words, rehearsal and tempo marks written with none,
// and the page units in a tenth of a staff space.
constexpr int32_t WORDS_X_READ = -50, REHEARSAL_X_READ = -100, TEMPO_X_READ = -100,
                  UNITS_PER_TENTH = 5;
// The heights, from the staff's top line, the import gives words and dynamics above and below
// it.
constexpr int32_t WORDS_ABOVE_Y_READ = 140, WORDS_BELOW_Y_READ = -460;
constexpr int32_t DYNAMICS_ABOVE_Y_READ = 140, DYNAMICS_BELOW_Y_READ = -340;
constexpr int32_t DYNAMICS_X_READ = -50;  // a dynamic's x from its note, as the import gives it
// The middle of a hairpin, from the staff's top line, as the import gives it above and below.
constexpr int32_t HAIRPIN_ABOVE_Y_READ = 150, HAIRPIN_BELOW_Y_READ = -450;
// From a dynamic's height to the middle of its letters, and from the staff's top line to where
// the import counts heights from.
constexpr int32_t DYNAMIC_LETTERS_MIDDLE = 20, VERTICAL_ORIGIN = 100;
constexpr int LINE_FROM_STAFF = 5;  // a line's heights count from its staff's top line

const char* const TYPE_NAMES[10] = {"breve", "whole", "half", "quarter", "eighth",
                                    "16th",  "32nd",  "64th", "128th",   "256th"};

// Page units as tenths, `staff_size` units to a staff space (50 to a text's offsets from its
// note or staff), to a tenth of a tenth at most ("-10", "12.4").
std::string tenths_text(int32_t units, int32_t staff_size = 10 * UNITS_PER_TENTH) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", double(units) * 10 / std::max(staff_size, 1));
  std::string s = text;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

// The program's text (Mac OS Roman) as UTF-8, the control characters XML does not allow
// replaced by blanks.
std::string utf8(const std::string& text) {
  std::vector<char> out(3 * text.size() + 1);
  if (!system_to_utf8_text(text.c_str(), out.data(), int32_t(out.size()))) return std::string();
  std::string s(out.data());
  for (char& c : s) {
    if (c == '\r') c = '\n';
    if (uint8_t(c) < 0x20 && c != '\t' && c != '\n') c = ' ';
  }
  return s;
}

// ---- Writing elements ----------------------------------------------------------------------

struct Out {
  XmlWriter& w;
  void start(const char* name) { xml_start_element(w, name); }
  void attr(const char* name, const char* value) { xml_add_attribute(w, name, value); }
  void attr(const char* name, long value) { attr(name, std::to_string(value).c_str()); }
  void end() { xml_end_element(w); }
  void text(const char* name, const char* value) {
    start(name);
    xml_add_text(w, value);
    end();
  }
  void text(const char* name, const std::string& value) { text(name, value.c_str()); }
  void number(const char* name, long value) { text(name, std::to_string(value)); }
  void empty(const char* name) {
    start(name);
    end();
  }
};

// Ends the element begun for a run of text (words, a credit's words) with the run's size and
// face, then its words. A credit's size is its size on the paper: the page's at the print scale
// (in percent; words of the music keep the page's).
void styled_words(Out& o, Drosa run, const std::string& words, int scale = 100) {
  const int size = run->get(xtextsize);
  if (scale == 100) {
    o.attr("font-size", long(size));
  } else {
    char points[32];
    std::snprintf(points, sizeof points, "%.2f", size * scale / 100.0);
    std::string text = points;
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') text.pop_back();
    o.attr("font-size", text.c_str());
  }
  const int face = run->get(xtextface);
  if (face & 2) o.attr("font-style", "italic");
  if (face & 1) o.attr("font-weight", "bold");
  xml_add_text(o.w, words.c_str());
  o.end();
}

// ---- The piece's parts --------------------------------------------------------------------

struct Part {
  std::string name;
  std::vector<int> voices;  // in the order of their numbers in the part
  std::vector<int> staves;  // the system staves its voices begin on, in order
  int number = 0;           // from 1
  // The staff of the part (from 0) of each PRINT (by handle) in a system that numbers the
  // part's staves otherwise (a staff above it hidden there), where the system holds them all.
  std::unordered_map<uint32_t, int> renumbered;
  // By staff of the part: its number among the document's staves and the voice whose
  // distance below its staff is the distance above this one.
  std::vector<StaffAbove> above;
  // The keys its percussion notes sound apart from their places (their pitch set by hand, or
  // by the import as their instrument's), each written as an instrument of its own.
  std::set<int> keys;
  bool drums = false;  // it plays on the channel of percussion sounds (10)
};

constexpr int PERCUSSION_CHANNEL = 9;  // channel 10, counted from 0

// Whether a note sounds a key of its own, not that of its place: a note whose pitch was set by
// hand (or as its instrument's, by the import) on a percussion staff, or on any staff of a
// part that plays on the channel of percussion sounds.
bool sounds_own_key(Drosa note, int clef, bool drums) {
  return !note->get(xrest) && note->get(xpitch_edited) &&
         (drums || (clef >= 0 && is_percussion_clef(clef)));
}

// The keys of the part's notes that sound keys of their own, by the clef in force in each voice.
std::set<int> own_keys(const std::vector<int>& voices, bool drums) {
  std::set<int> keys;
  for (int v : voices) {
    int clef = -1;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      const int kind = effective_kind(p);
      if (kind == CLEF) clef = p->get(xclef);
      if (kind == NOTE && sounds_own_key(p, clef, drums)) keys.insert(p->get(xpitch) >> 8);
    }
  }
  return keys;
}

// The id of the instrument of a part that sounds a key.
std::string instrument_id(int part, int key) {
  return "P" + std::to_string(part) + "-I" + std::to_string(key + 1);
}

// The first PRINT of voice v that prints it, else its first PRINT; NIL when it has none.
Drosa first_print(int v) {
  Drosa first = find_next_kind_until(PRINT, piece_start[v], NOTE, 0);
  if (!first || first->get(xsstaff) >= 0) return first;
  for (Drosa p = first->xnext; p; p = p->xnext)
    if (effective_kind(p) == PRINT && p->get(xsstaff) >= 0) return p;
  return first;
}

// Visits each PRINT of voice v with the number of the system it stands in (0 the first), and
// the PRINT in force at a system's start again with that system's number when the system has
// none of its own before its first note.
template <typename Visit>
void walk_prints_by_system(int v, Visit visit) {
  size_t system = 0;
  Drosa in_force = NIL, carried = NIL;
  for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == NOTE && carried) {
      visit(carried, system);
      carried = NIL;
    } else if (kind == ENDSYST && !p->get(xendpiece)) {
      ++system;
      carried = in_force;
    } else if (kind == PRINT) {
      in_force = p;
      carried = NIL;
      visit(p, system);
    }
  }
}

// Numbers the staves of the part's PRINTs system by system: where a system prints all the
// part's staves under other numbers than its first PRINTs give, each PRINT's staff of the
// part is its rank among them.
void number_part_staves(Part& part) {
  std::vector<std::set<int>> shown;  // by system: the staves the part's voices print on
  for (int v : part.voices)
    walk_prints_by_system(v, [&](Drosa print, size_t system) {
      if (shown.size() <= system) shown.resize(system + 1);
      if (print->get(xsstaff) >= 0) shown[system].insert(print->get(xsstaff));
    });
  const std::set<int> usual(part.staves.begin(), part.staves.end());
  for (int v : part.voices)
    walk_prints_by_system(v, [&](Drosa print, size_t system) {
      const std::set<int>& staves = shown[system];
      const auto at = staves.find(print->get(xsstaff));
      if (staves == usual || staves.size() != usual.size() || at == staves.end()) return;
      part.renumbered[print.handle()] = int(std::distance(staves.begin(), at));
    });
}

int part_staff(const Part& part, Drosa print);

// The staves of the parts in the document's order, each with the voice above it that says
// the distance between them: the last voice (by number) that begins on the staff before it.
void set_staves_above(std::vector<Part>& parts) {
  int staff = 0, voice_above = -1;
  for (Part& part : parts) {
    std::vector<int> last_voice(part.staves.size(), -1);
    for (int v : part.voices) {
      Drosa print = first_print(v);
      const size_t k = size_t(print ? part_staff(part, print) : 0);
      last_voice[k] = std::max(last_voice[k], v);
    }
    for (size_t k = 0; k < part.staves.size(); ++k)
      part.above.push_back({staff++, k == 0 ? voice_above : last_voice[k - 1]});
    voice_above = last_voice.back();
  }
}

std::vector<Part> find_parts() {
  std::vector<Part> parts;
  std::vector<bool> taken(size_t(voice_count), false);
  for (int v = 0; v < voice_count; ++v) {
    if (taken[size_t(v)]) continue;
    Part part;
    part.name = voice_part_name(v);
    for (int u = v; u < voice_count; ++u)
      if (!taken[size_t(u)] && (u == v || voices_same_part(u, v))) {
        taken[size_t(u)] = true;
        part.voices.push_back(u);
      }
    std::stable_sort(part.voices.begin(), part.voices.end(), [](int a, int b) {
      return voice_number_in_part(a) < voice_number_in_part(b);
    });
    for (int u : part.voices) {
      Drosa print = first_print(u);
      const int staff = print ? print->get(xsstaff) : 0;
      if (staff >= 0 &&
          std::find(part.staves.begin(), part.staves.end(), staff) == part.staves.end())
        part.staves.push_back(staff);
    }
    std::sort(part.staves.begin(), part.staves.end());
    if (part.staves.empty()) part.staves.push_back(0);
    number_part_staves(part);
    part.number = int(parts.size()) + 1;
    const Drosa info = part.voices.empty()
                           ? NIL
                           : find_next_kind_until(VINFO, piece_start[part.voices[0]], NOTE, 0);
    part.drums = info && (info->get(xmidichan) & 15) == PERCUSSION_CHANNEL;
    part.keys = own_keys(part.voices, part.drums);
    parts.push_back(std::move(part));
  }
  set_staves_above(parts);
  return parts;
}

// The groups the parts' brackets, braces and bar lines make, each part given by the voices
// of its top and its last staff.
std::vector<ExportGroup> part_groups(const std::vector<Part>& parts) {
  std::vector<std::pair<int, int>> ends;
  for (const Part& part : parts) {
    std::pair<int, int> voices{part.voices.front(), part.voices.front()};
    for (int v : part.voices) {
      const Drosa print = first_print(v);
      const int staff = print ? print->get(xsstaff) : 0;
      if (staff == part.staves.front() && voices.first == part.voices.front()) voices.first = v;
      if (staff == part.staves.back()) voices.second = v;
    }
    ends.push_back(voices);
  }
  return export_part_groups(ends);
}

// The staff of the part (from 0) that a system staff is, the nearest for one it does not have.
int part_staff(const Part& part, int system_staff) {
  int best = 0;
  for (size_t i = 0; i < part.staves.size(); ++i)
    if (std::abs(part.staves[i] - system_staff) <
        std::abs(part.staves[size_t(best)] - system_staff))
      best = int(i);
  return best;
}

// The staff of the part (from 0) a PRINT puts its voice on.
int part_staff(const Part& part, Drosa print) {
  const auto found = part.renumbered.find(print.handle());
  return found != part.renumbered.end() ? found->second : part_staff(part, print->get(xsstaff));
}

// ---- Measures of a voice -----------------------------------------------------------------------

// An ending that begins or stops in a measure: its number attribute, its text, and its type at
// that bar line ("start", "stop", "discontinue"); no type for none.
struct EndingMark {
  std::string number, text;
  const char* type = nullptr;
};

struct Segment {
  Drosa first = NIL;   // the first node of the measure
  Drosa end = NIL;     // the BAR or ENDSYST that ends it
  Drosa next = NIL;    // where the next measure begins
  bool notes = false;  // it holds a NOTE
  bool new_system = false, new_page = false;
  int systems = 0;  // the system ends passed before its notes
};

// A rest that neither shows nor leans up or down: what the import fills a voice's silence with.
bool unseen_rest(Drosa note) {
  return note->get(xrest) && note->get(xhider) && note->get(xdir) == 3 && !note->get(xgrace) &&
         note->get(xtupl) <= 1 && !note->get(xslur);
}

// A voice's measure of unseen rests alone, with nothing else of its own (words, lines, a clef
// or staff change among its notes, a beaming rule; a command to the program, which is not
// written, may stand there), the rests the import fills such a measure with when a document
// leaves the voice out there: left out, it is read back as it is.
bool only_unseen_rests(const Segment& seg) {
  bool seen_note = false;
  std::vector<Drosa> texts;  // the texts before the next note
  std::vector<int> values;
  int32_t time = 0;
  for (Drosa p = seg.first; p && p != seg.end; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == NOTE) {
      if (!unseen_rest(p) || p->get(xdots)) return false;
      values.push_back(p->get(xlgval));
      time += int32_t(p->get(xttn));
      for (Drosa text : texts) {
        int code = 0;
        anno_kind_code(text, p, &code);
        if (code != 1 && code != 12) return false;
      }
      texts.clear();
      seen_note = true;
    } else if (kind == TPARAM && is_anno_head(p)) {
      texts.push_back(p);
    } else if (kind == LINE || kind == BEAMING || ((kind == CLEF || kind == PRINT) && seen_note)) {
      return false;
    }
  }
  return seen_note && texts.empty() && values == document_gap_rest_values(time, 0);
}

Segment next_segment(Drosa from) {
  Segment s;
  s.first = from;
  for (Drosa p = from; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == NOTE) {
      s.notes = true;
    } else if (kind == BAR) {
      s.end = p;
      s.next = p->xnext;
      return s;
    } else if (kind == ENDSYST) {
      if (p->get(xendpiece)) {
        s.end = p;
        return s;
      }
      if (s.notes) {
        s.end = p;
        s.next = p;
        return s;
      }
      if (!p->get(xstartpiece)) {
        s.new_system = true;
        ++s.systems;
        s.new_page |= p->get(xendpage) != 0;
      }
    }
  }
  return s;
}

// The number attribute of an ending shown as `text`: its numbers ("1, 2." gives "1, 2"); "1" for
// a text without one.
std::string ending_numbers(const std::string& text) {
  std::string numbers;
  for (size_t i = 0; i < text.size();) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      continue;
    }
    const size_t from = i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
    if (text[from] == '0') continue;  // an ending is numbered from 1
    numbers += (numbers.empty() ? "" : ", ") + text.substr(from, i - from);
  }
  return numbers.empty() ? "1" : numbers;
}

// The endings that begin (at the left bar line) and stop (at the right) in a measure of the
// part, by the segments of their lines in its voices.
void endings_of_measure(const std::vector<Segment>& segs, EndingMark* starts, EndingMark* stops) {
  for (const Segment& seg : segs)
    for (Drosa p = seg.first; p && p != seg.end; p = p->xnext) {
      if (effective_kind(p) != LINE) continue;
      const int ord = p->get(xline_ord);
      Drosa number = ending_number_of(p);
      if (!number || (ord != LINE_BEGIN && ord != LINE_END)) continue;
      EndingMark& mark = ord == LINE_BEGIN ? *starts : *stops;
      std::string text;
      for (Drosa run = number; run; run = next_style_run(run)) text += run_text(run);
      mark.text = utf8(text);
      mark.number = ending_numbers(text);
      mark.type = ord == LINE_BEGIN                         ? "start"
                  : p->get(xmetaline) == LINE_PLAIN_BRACKET ? "stop"
                                                            : "discontinue";
    }
}

// ---- Signs ------------------------------------------------------------------------------------

struct Clef {
  const char* sign;
  int line;
  int octave_change;
};

// A staff of guitar tablature shows no clef of its own: it is written with the TAB sign.
constexpr int TAB_CLEF = 12;

// The clefs by code; what the import reads back as the same code.
bool clef_of_code(int code, Clef* clef) {
  static const Clef clefs[13] = {
      {"G", 2, 0},  {"F", 4, 0}, {"C", 3, 0},          {"C", 4, 0},          {"C", 1, 0},
      {"G", 2, -1}, {"F", 3, 0}, {"percussion", 0, 0}, {"percussion", 0, 0}, {"percussion", 0, 0},
      {"C", 2, 0},  {"C", 5, 0}, {"TAB", 5, 0},
  };
  if (code < 0 || code > TAB_CLEF) return false;
  *clef = clefs[code];
  return true;
}

// The PRINT's kind of staff as the export writes it: 1 or 2 guitar tablature, else 0 (piano
// tablature is written as notes on a staff).
int string_tablature(Drosa print) {
  const int kind = print->get(xtablature);
  return kind == 1 || kind == 2 ? kind : 0;
}

// The open keys of the strings (1 the top) of a tablature staff of `lines` lines, as the
// voice's tuning has them at the node.
std::vector<int> tab_tuning(Drosa at, int lines) {
  std::vector<int> keys;
  for (int s = 1; s <= std::clamp(lines, 1, 7); ++s)
    keys.push_back(std::clamp(
        param_value(P_MIDI_PITCH_FOR_STRING_1_IN_GUITAR_TABLATURE - 1 + s, at, nullptr)->integer(),
        0, 127));
  return keys;
}

int fifths_of_key(int code) {
  const int c = ((code % 15) + 15) % 15;
  return c <= 7 ? c : -(c - 7);
}

int floor_div(int a, int b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }
int floor_mod(int a, int b) { return a - b * floor_div(a, b); }

// The diatonic steps of a transposition of t semitones.
int diatonic_of(int t) {
  static const int steps[12] = {0, 1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6};
  return 7 * floor_div(t, 12) + steps[floor_mod(t, 12)];
}

// The note's written value in divisions, exactly: its value, dots and tuplet.
double nominal_divisions(Drosa note, int64_t divisions) {
  const int value = note->get(xlgval);
  const int dots = note->get(xdots);
  double d = 8.0 * double(divisions) / double(1 << std::min(value, 15));  // a breve: 8 quarters
  d *= 2.0 - 1.0 / double(1 << dots);
  int32_t tupl = 1, intimeof = 4;
  if (get_tuplet(note, &tupl, &intimeof) && tupl > 0 && intimeof > 0)
    d *= double(intimeof) / 4.0 / double(tupl);
  return d;
}

// The divisions of a quarter note that give the time of every note of the piece exactly (by
// its value, dots and tuplet ratio): 192 times what its tuplets need, 192 alone when they ask
// for more than a measure's time can hold in 32 bits (their times are then rounded).
int64_t exact_divisions() {
  int64_t divisions = DIVISIONS;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (effective_kind(p) != NOTE || p->get(xgrace) || p->get(xnachschlag)) continue;
      // The time in quarters, num / den: 2^(3 - value), its dots, the tuplet's ratio.
      const int value = std::min<int>(p->get(xlgval), 15), dots = std::min<int>(p->get(xdots), 3);
      int64_t num = value <= 3 ? int64_t(1) << (3 - value) : 1;
      int64_t den = value <= 3 ? 1 : int64_t(1) << (value - 3);
      num *= (int64_t(2) << dots) - 1;
      den <<= dots;
      int32_t tupl = 1, intimeof = 4;
      if (get_tuplet(p, &tupl, &intimeof) && tupl > 0 && intimeof > 0) {
        num *= intimeof;
        den *= int64_t(tupl) * 4;
      }
      den /= std::gcd(num, den);
      const int64_t wanted = std::lcm(divisions, den);
      if (wanted <= MOST_DIVISIONS) divisions = wanted;
    }
  return divisions;
}

int32_t measure_time(Drosa timesig) {
  if (!timesig) return WHOLE_NOTE_TIME;
  const int beats = timesig->get(xbpm), beat = timesig->get(xbeat);
  if (beats <= 0 || beat <= 0) return WHOLE_NOTE_TIME;
  return int32_t(int64_t(beats) * WHOLE_NOTE_TIME / beat);
}

// ---- The export ---------------------------------------------------------------------------------

// What one voice carries from measure to measure.
struct VoiceState {
  int v = 0;
  Drosa cursor = NIL;
  Drosa signs_from = NIL;      // bar lines without notes passed: their signs come next
  Drosa beaming = NIL;         // the beaming rule in force
  int staff = 0;               // of the part, from 0
  int home = 0;                // its first staff: its directions name it wherever it goes
  int slur = 0;                // the number of its open slur, 0 none
  bool slurred = false;        // its last note begins a slur to the next
  std::vector<int> tied;       // positions a tie from its last chord goes to
  std::vector<bool> syllable;  // by lyric line: the last syllable goes on
  bool wedge_whole = false;    // a hairpin drawn whole began: it ends at the next chord
  bool wedge_above = false;
  Drosa wedge_line = NIL;     // that hairpin
  int octaves = 0;            // under an octave line: written minus sounding octaves
  int octave_size = 0;        // its size (8, 15, 22)
  int octave_staff = 0;       // the staff it names: that of the chord it begins at
  bool octave_stop = false;   // it ends with the chord being written
  bool pedal_stop = false;    // a pedal line is released after the chord being written
  bool pedal_change = false;  // and pressed again at the next: a change, written there
  bool pedal_above = false;
  // Hairpins begun at the chord being written, and their ends there (NIL none), written after
  // it and taken back to its start.
  std::vector<std::pair<Drosa, Drosa>> hairpins_back;
  bool hidden = false;           // its staff is not shown in the system
  int glissandi = 0;             // glissandi begun at its last chord
  bool may_be_left_out = false;  // a measure of unseen rests alone may be (silent_voices)
};

struct PartState {
  const Part* part = nullptr;
  std::vector<VoiceState> voices;
  std::vector<int> clefs;                 // by staff: the clef written last, -1 none
  std::vector<int> lines;                 // by staff: its lines, as the PRINT in force gives them
  std::vector<int> lines_written;         // by staff: the lines written last (5 when none were)
  std::vector<int> sizes, sizes_written;  // by staff: its size, and the size written last
  std::vector<bool> hidden;               // by staff: written as not shown
  std::vector<int> tabs;                  // by staff: 1, 2 guitar tablature, 0 other
  std::vector<int> real_clefs;            // by staff: its clef, whether shown or not
  std::vector<Drosa> tuning_at;           // by staff: where its voices' tuning is read
  std::vector<std::vector<int>> tunings_written;  // by staff: the tuning written last
  int key = -1;
  int transposition = 0;
  Drosa time = NIL;         // the time signature written last
  uint32_t slurs_open = 0;  // bit n - 1: slur number n
  // The hairpins begun and not ended: each its number and heights (its end has the same).
  struct OpenWedge {
    int number;
    int32_t starty, endy;
  };
  std::vector<OpenWedge> wedges_open;
};

// A mark of the music font over or under a note, or after it: its element and the element
// that holds it inside `notations`.
struct NoteMark {
  const char* holder;  // "ornaments", "technical", "articulations"
  const char* name;
  bool below;
  const char* type = nullptr;  // a wavy line's start or stop
  int32_t y = INT32_MIN;       // a wavy line's height over the staff's top line, tenths
};

// One chord being written: its notes with the annotations before each.
struct ChordNote {
  Drosa note;
  std::vector<Drosa> attached;
};
using Chord = std::vector<ChordNote>;

// What the notes of one chord share.
struct ChordContext {
  long duration = 0;
  bool whole_measure = false;
  bool short_measure = false;       // its rest lasts a measure shorter than its time signature
  bool last = false;                // the voice's last chord of the measure
  std::vector<int> next_positions;  // of the next chord, where ties go
  Drosa next_note = NIL;            // the voice's next note
  int beams = 0, beams_left = 0, beams_right = 0;
  bool beamed_next = false;
  int slur_stop = 0, slur_start = 0;  // slur numbers, 0 none
  int slur_side = 3;                  // of the slur that starts: 1 under, 2 over
  std::vector<NoteMark> marks;        // of the music font, before the chord's notes
  bool arpeggiate = false;
  std::vector<Drosa> gliss_stops;         // notes a glissando of the chord before ends at
  std::vector<ExportTupletMark> tuplets;  // the tuplets it starts and stops
  std::vector<int> strings;               // on guitar tablature: each note's string (1..7)
};

// One character of a chord symbol: a letter of its text, or the glyph of a chord-symbol
// accidental or alteration (or of a note's accidental) and the semitones it alters by.
struct SymbolChar {
  char c = 0;
  bool accidental = false;
  int alter = 0;
};

// The characters of a chord symbol's runs from `head` (of that run alone with `one_run`).
std::vector<SymbolChar> chord_symbol_chars(Drosa head, bool one_run = false) {
  static const struct {
    int pindex, alter;
  } glyphs[] = {{584, -2}, {585, -1}, {586, 0}, {587, 1}, {588, 2}, {590, -1}, {591, 1},
                {734, 0},  {25, -2},  {26, -1}, {27, 0},  {28, 1},  {29, 2}};
  std::vector<SymbolChar> chars;
  for (Drosa run = head; run; run = one_run ? NIL : next_style_run(run)) {
    const int font = run->get(xtextfont);
    for (char c : run_text(run)) {
      if (font < -3 || font > -1) {
        chars.push_back({c, false, 0});
        continue;
      }
      for (const auto& g : glyphs) {
        const ParamValue v = *param_value(g.pindex, NIL, nullptr);
        if (v.font() != font || char(v.character()) != c) continue;
        chars.push_back({c, true, g.alter});
        break;
      }
    }
  }
  return chars;
}

// The sign of an alteration in text (UTF-8): flat, sharp, natural, double flat, double sharp.
const char* accidental_sign(int alter) {
  return alter <= -2   ? "\xF0\x9D\x84\xAB"
         : alter == -1 ? "\xE2\x99\xAD"
         : alter == 0  ? "\xE2\x99\xAE"
         : alter == 1  ? "\xE2\x99\xAF"
                       : "\xF0\x9D\x84\xAA";
}

// Characters of a chord symbol as text (UTF-8); with `letters` a flat and a sharp are written
// 'b' and '#', as the kind's text of a harmony spells them.
std::string chord_symbol_text(const std::vector<SymbolChar>& chars, size_t from, size_t to,
                              bool letters) {
  std::string out;
  for (size_t i = from; i < to && i < chars.size(); ++i) {
    const SymbolChar& c = chars[i];
    if (!c.accidental)
      out += utf8(std::string(1, c.c));
    else if (letters && (c.alter == -1 || c.alter == 1))
      out += c.alter < 0 ? 'b' : '#';
    else
      out += accidental_sign(c.alter);
  }
  return out;
}

// The SMuFL characters (UTF-8) of a run of the music font's tempo notes, a note and its dots,
// as words write a metronome mark's note; empty for any other run.
std::string tempo_note_characters(Drosa run) {
  static const char* const NOTES[6] = {"\xEE\xB2\xA2", "\xEE\xB2\xA3", "\xEE\xB2\xA5",
                                       "\xEE\xB2\xA7", "\xEE\xB2\xA9", "\xEE\xB2\xAB"};
  const char* const DOT = "\xEE\xB2\xB7";  // metAugmentationDot
  auto drawn_as = [&](int pindex, char c) {
    const ParamValue v = *param_value(pindex, NIL, nullptr);
    return v.font() == run->get(xtextfont) && char(v.character()) == c;
  };
  std::string out;
  for (char c : run_text(run)) {
    int unit = 0;
    for (int u = 1; u <= 6 && !unit && out.empty(); ++u)
      if (drawn_as(P_WHOLE_NOTE_FOR_TEMPO_MARKINGS + u - 1, c)) unit = u;
    if (unit)
      out = NOTES[unit - 1];
    else if (!out.empty() && drawn_as(P_DOT_FOR_TEMPO_MARKINGS, c))
      out += DOT;
    else if (!out.empty() && drawn_as(P_DOUBLE_DOT_FOR_TEMPO_MARKINGS, c))
      out += std::string(DOT) + DOT;
    else
      return {};
  }
  return out;
}

// The accidental signs (UTF-8) of a run of the music font that words hold ("E♮ B♭"); empty
// for a run of any other glyph.
std::string accidental_characters(Drosa run) {
  const std::vector<SymbolChar> chars = chord_symbol_chars(run, true);
  if (chars.empty() || chars.size() != run_text(run).size() ||
      !std::all_of(chars.begin(), chars.end(), [](const SymbolChar& c) { return c.accidental; }))
    return {};
  return chord_symbol_text(chars, 0, SIZE_MAX, false);
}

// A fret grid as a chord diagram writes it: what the grid shows and the fret of its first row
// (the number after a grid with no nut; 1 for one with a nut, or with no number).
struct GridFrame {
  FretGrid grid;
  int first_fret = 1;
  bool numbered = false;  // a number stands beside it
  bool above = true;      // over the staff
};

// Whether an annotation is a fret grid (its first run), and what it shows.
bool grid_frame_of(Drosa text, GridFrame* out) {
  if (text->xkind != TPARAM || text->get(xhidden)) return false;
  GridFrame f;
  if (!fret_grid_of(text->get(xtextfont), run_text(text), &f.grid)) return false;
  if (!f.grid.nut) {
    for (Drosa run = next_style_run(text); run; run = next_style_run(run)) {
      const std::string t = run_text(run);
      const size_t at = t.find_first_of("0123456789");
      if (at == std::string::npos) continue;
      f.first_fret = std::clamp(std::atoi(t.c_str() + at), 1, 99);
      f.numbered = true;
      break;
    }
  }
  *out = f;
  return true;
}

// Whether the grid shows a string held, open or under a barre: a frame holds at least one note.
bool shows_a_string(const FretGrid& g) {
  for (int i = 0; i < 6; ++i)
    if (g.dot[i] >= 0 || (i < 5 && g.bar[i] > 0)) return true;
  return false;
}

// The text of a whole annotation, every style run.
std::string anno_text(Drosa head) {
  std::string text;
  for (Drosa run = head; run; run = next_style_run(run)) text += run_text(run);
  return text;
}

// The octaves the words of an octave line shift its notes by, written minus sounding ("8va":
// -1, "15mb" or "15vb": 2), with the line's size; 0 for other words.
int octave_words(const std::string& text, int* size) {
  static const struct {
    const char* words;
    int octaves, size;
  } lines[] = {{"8va", -1, 8},   {"8vb", 1, 8},   {"15ma", -2, 15}, {"15mb", 2, 15},
               {"15va", -2, 15}, {"15vb", 2, 15}, {"22ma", -3, 22}, {"22mb", 3, 22},
               {"22va", -3, 22}, {"22vb", 3, 22}};
  for (const auto& l : lines)
    if (text == l.words) return *size = l.size, l.octaves;
  return 0;
}

// Whether the chord carries the dashed line of an octave line that begins there.
bool begins_octave_line(const Chord& notes) {
  for (const ChordNote& cn : notes)
    for (Drosa a : cn.attached)
      if (a->xkind == LINE && a->get(xmetaline) == LINE_RIGHT_BRACKET && a->get(xdashlth) &&
          a->get(xline_ord) != LINE_END)
        return true;
  return false;
}

// Whether a node is a segment of an octave line's dashed line that ends it.
bool ends_octave_line(Drosa p) {
  return p->xkind == LINE && p->get(xmetaline) == LINE_RIGHT_BRACKET && p->get(xdashlth) &&
         (p->get(xline_ord) == LINE_END || p->get(xline_ord) == LINE_WHOLE);
}

// Whether the voice writes a note on another staff of the part than `staff` from `from` (the
// first note of the chord an octave line is written at) to the chord its dashed line ends at.
bool octave_line_leaves_staff(const Part& part, Drosa from, int staff) {
  bool ending = false;  // the chord read ends the line
  for (Drosa p = from->xback; p && p->xkind != NOTE; p = p->xback) ending |= ends_octave_line(p);
  int at = staff;
  for (Drosa p = from; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == PRINT && p->get(xsstaff) >= 0) at = part_staff(part, p);
    ending |= ends_octave_line(p);
    if (kind != NOTE) continue;
    if (!p->get(xrest) && at != staff) return true;
    if (ending && p->get(xendvcd)) break;
  }
  return false;
}

int anno_class(Drosa t) { return t->xkind == TPARAM ? t->get(xclassify) : 0; }

// Where a chord begins: the bar lines of its voice before it and its time after the last, in
// divisions.
struct MusicTime {
  int bars = 0;
  double at = 0;
  bool before(const MusicTime& t) const {
    return bars < t.bars || (bars == t.bars && at < t.at - 0.01);
  }
};

// Visits each chord of voice v with the notes and the annotations before each, its time, its
// length in divisions and the staff of the part it stands on.
template <typename Visit>
void walk_chords(const Part& part, int v, int64_t divisions, Visit visit) {
  Drosa print = first_print(v);
  int staff = print ? part_staff(part, print) : 0;
  MusicTime t;
  Chord chord;
  std::vector<Drosa> attached;
  for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == BAR) {
      ++t.bars;
      t.at = 0;
    } else if (kind == PRINT && p->get(xsstaff) >= 0) {
      staff = part_staff(part, p);
    } else if ((kind == TPARAM || kind == LINE) && is_anno_head(p)) {
      attached.push_back(p);
    } else if (kind == NOTE) {
      chord.push_back({p, std::move(attached)});
      attached.clear();
      if (!p->get(xendvcd)) continue;
      double length = 0;
      if (!chord[0].note->get(xgrace) && !chord[0].note->get(xnachschlag)) {
        length = 1e300;
        for (const ChordNote& n : chord)
          length = std::min(length, nominal_divisions(n.note, divisions));
      }
      visit(chord, t, length, staff);
      t.at += length;
      chord.clear();
    }
  }
}

bool above_staff(int32_t y);

// An octave line begun before the chord its words stand at, at the first of the rests of its
// voice before that chord: the notes of the staff's other voices there are under it.
struct EarlyOctaveLine {
  int octaves = 0, size = 0;
  bool above = true;
  uint32_t begins = 0;  // the first note of the chord its words stand at, by handle
};

// Where the part's octave lines reach: its notes written from other places than they are
// displayed (by handle: written minus sounding octaves), and the lines begun early (by the
// handle of the rest they begin at).
struct OctaveLines {
  std::unordered_map<uint32_t, int> shifted;
  std::unordered_map<uint32_t, EarlyOctaveLine> early;
  std::set<uint32_t> begun_early;  // the first notes of the chords their words stand at
};

// Whether a note is displayed `octaves` octaves from where it sounds (written minus sounding),
// by its pitch.
bool sounds_octaves_away(Drosa note, int octaves) {
  if (note->get(xrest) || note->get(xpitch_edited)) return false;
  const int shown = note_pitch_word(note, note_keysig_value(note)) >> 8;
  return int(note->get(xpitch) >> 8) - shown == -12 * octaves;
}

// A line is carried by one voice, from the chord its words begin at to the chord its dashed
// line ends at, and reaches every note of its staff in that time, whatever its voice, as a
// reader of the document takes it: every note that begins there and stands on the line's
// staff, or belongs to a voice of that staff. Where the words stand after rests of their voice
// (a line a document began at a rest goes to the first note under it), the notes of other
// voices under those rests that are displayed away from their pitch by the line's octaves are
// under it too, and the line is written from the first of the rests.
OctaveLines notes_under_octave_lines(const Part& part, int64_t divisions) {
  struct Span {
    int staff = 0, octaves = 0, size = 0;
    bool above = true;
    MusicTime from, to;
    bool gap = false;  // rests of its voice stand before it in its bar
    MusicTime gap_from;
    Drosa gap_rest = NIL, begins = NIL;
    bool early = false;
  };
  std::vector<Span> spans;
  OctaveLines lines;
  // Most parts have no octave line: nothing to walk.
  const bool any = std::any_of(part.voices.begin(), part.voices.end(), [](int v) {
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == LINE && p->get(xmetaline) == LINE_RIGHT_BRACKET && p->get(xdashlth))
        return true;
    return false;
  });
  if (!any) return lines;
  for (int v : part.voices) {
    Drosa print = first_print(v);
    const int home = print ? part_staff(part, print) : 0;
    bool open = false, resting = false;
    MusicTime rests_from;
    Drosa first_rest = NIL;
    walk_chords(part, v, divisions, [&](const Chord& chord, MusicTime t, double length, int) {
      if (resting && rests_from.bars != t.bars) resting = false;
      const bool rests = std::all_of(chord.begin(), chord.end(),
                                     [](const ChordNote& cn) { return cn.note->get(xrest) != 0; });
      if (rests && !resting) resting = true, rests_from = t, first_rest = chord[0].note;
      for (const ChordNote& cn : chord)
        for (Drosa a : cn.attached) {
          if (a->xkind == LINE) {
            if (open && a->get(xmetaline) == LINE_RIGHT_BRACKET && a->get(xline_ord) == LINE_END) {
              spans.back().to = {t.bars, t.at + length};
              open = false;
            }
            continue;
          }
          int size = 0;
          const int octaves = a->get(xhidden) ? 0 : octave_words(utf8(anno_text(a)), &size);
          if (!octaves || !begins_octave_line(chord)) continue;
          if (open) spans.back().to = t;
          Span span;
          span.staff = home, span.octaves = octaves, span.size = size;
          span.above = above_staff(a->get(xtexty));
          span.from = t, span.to = {INT32_MAX, 0};
          if (resting && !rests) {
            span.gap = true;
            span.gap_from = rests_from;
            span.gap_rest = first_rest;
            span.begins = chord[0].note;
          }
          spans.push_back(span);
          open = true;
        }
      if (!rests) resting = false;
    });
  }
  if (spans.empty()) return lines;
  for (int v : part.voices) {
    Drosa print = first_print(v);
    const int home = print ? part_staff(part, print) : 0;
    walk_chords(part, v, divisions, [&](const Chord& chord, MusicTime t, double, int staff) {
      for (Span& span : spans) {
        if ((span.staff != staff && span.staff != home) || !t.before(span.to)) continue;
        if (!t.before(span.from)) {
          for (const ChordNote& cn : chord)
            if (!cn.note->get(xrest)) lines.shifted[cn.note.handle()] = span.octaves;
          break;
        }
        if (!span.gap || t.before(span.gap_from)) continue;
        for (const ChordNote& cn : chord)
          if (sounds_octaves_away(cn.note, span.octaves)) {
            lines.shifted[cn.note.handle()] = span.octaves;
            span.early = true;
          }
        break;
      }
    });
  }
  for (const Span& span : spans)
    if (span.early) {
      lines.early[span.gap_rest.handle()] = {span.octaves, span.size, span.above,
                                             span.begins.handle()};
      lines.begun_early.insert(span.begins.handle());
    }
  return lines;
}

// Whether an annotation is the one character of a glyph parameter, alone.
bool is_sign(Drosa a, int pindex) {
  const ParamValue v = *param_value(pindex, NIL, nullptr);
  return v.font() == a->get(xtextfont) && run_text(a) == std::string(1, char(v.character())) &&
         !next_style_run(a);
}

// A mark under its note: placed below the chord, or standing below it.
bool mark_below(Drosa a) {
  constexpr int ABOVE_CHORD = 7, BELOW_CHORD = 8;
  const int reference = a->get(xrelativey);
  return reference == BELOW_CHORD || (reference != ABOVE_CHORD && a->get(xtexty) < 0);
}

// The notation an annotation of the music font stands for (an ornament, a bowing, a breath
// mark or caesura), into `mark`; false for any other annotation.
bool notation_mark_of(Drosa note, Drosa a, NoteMark* mark) {
  constexpr int DELAYED_TURN_X = 70;  // a turn after its head, not over it
  static const std::pair<int, NoteMark> signs[] = {
      {729, {"ornaments", "inverted-mordent", false}},
      {730, {"ornaments", "mordent", false}},
      {732, {"ornaments", "turn", false}},
      {647, {"technical", "up-bow", false}},
      {646, {"technical", "down-bow", false}},
  };
  const bool below = mark_below(a);
  if (anno_is_trill(note, a)) {
    *mark = {"ornaments", "trill-mark", below};
    return true;
  }
  if (anno_is_style_670(note, a)) {
    *mark = {"articulations", "breath-mark", false};
    return true;
  }
  if (anno_class(a) == CLASS_PAUSE && run_text(a) == "//" && !next_style_run(a)) {
    *mark = {"articulations", "caesura", false};
    return true;
  }
  for (const auto& [pindex, sign] : signs) {
    if (!is_sign(a, pindex)) continue;
    *mark = sign;
    mark->below = below;
    if (pindex == 732 && a->get(xtextx) > DELAYED_TURN_X) mark->name = "delayed-turn";
    return true;
  }
  return false;
}

// A trill line's segments as the wavy line's start (with its height over the staff's top line)
// and stop among the chord's ornaments; a line of one segment both.
void trill_line(Drosa line, ChordContext& cc) {
  constexpr int FROM_STAFF = 5, UNITS_PER_TENTH = 5;
  const int role = line->get(xline_ord);
  const bool below = line->get(xstarty) < STAFF_TOP_TO_MIDDLE;
  if (role == LINE_BEGIN || role == LINE_WHOLE) {
    NoteMark start{"ornaments", "wavy-line", below, "start"};
    // Counted from the staff's top line: so asked, or so kept once drawn.
    const int rely = line->get(xline_rely);
    if (rely == FROM_STAFF || (rely == 0 && line->get(xline_fromstaff)))
      start.y = line->get(xstarty) / UNITS_PER_TENTH;
    cc.marks.push_back(start);
  }
  if (role == LINE_END || role == LINE_WHOLE)
    cc.marks.push_back({"ornaments", "wavy-line", below, "stop"});
}

// The direction element of an annotation that is a segno or coda of the music font; nullptr
// for any other.
const char* repeat_sign_element(Drosa a) {
  for (auto [pindex, name] : {std::pair{723, "segno"}, std::pair{724, "coda"}})
    if (is_sign(a, pindex)) return name;
  return nullptr;
}

bool title_class(int c) {
  return c == CLASS_TITLE || c == CLASS_COMPOSER || c == CLASS_POET || c == CLASS_WORK_TITLE ||
         c == CLASS_RIGHTS;
}

// The first annotation of a class before the first system end of any voice.
std::string first_text_of_class(int c) {
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      const int kind = effective_kind(p);
      if (kind == ENDSYST) break;
      if (kind == TPARAM && is_anno_head(p) && anno_class(p) == c) return anno_text(p);
    }
  return std::string();
}

// The next NOTE of the voice after a node, across bar lines; NIL at its end.
Drosa next_note_after(Drosa p) {
  for (p = p ? p->xnext : NIL; p; p = p->xnext)
    if (effective_kind(p) == NOTE) return p;
  return NIL;
}

// The positions of the notes of the chord that begins at `note`.
std::vector<int> chord_positions(Drosa note) {
  std::vector<int> positions;
  for (Drosa p = note; p; p = p->xnext) {
    if (effective_kind(p) != NOTE) continue;
    if (!p->get(xrest)) positions.push_back(p->get(xmod7));
    if (p->get(xendvcd)) break;
  }
  return positions;
}

bool beamable(Drosa n) {
  return n && !n->get(xrest) && !n->get(xnostem) && n->get(xlgval) > 3 && n->get(xlgval) <= 9;
}

int beam_count(Drosa n) { return beamable(n) ? n->get(xlgval) - 3 : 0; }

// Whether a time (in divisions from the measure's start) ends a beam group of the beaming rule:
// its group lengths are used in turn from the measure's start, repeated after the last
// non-zero one.
bool ends_beam_group(Drosa rule, double time, int64_t divisions) {
  double groups[4];
  int count = 0;
  for (int i = 0; i < 4; ++i) {
    const int32_t length = rule ? rule->get(xbvalue, i) : 0;
    if (length <= 0) break;
    groups[count++] = double(length) * double(divisions) / QUARTER_TIME;
  }
  if (count == 0) groups[count++] = double(divisions);  // a beat of a quarter note
  double boundary = 0;
  for (int i = 0; boundary < time - 0.01; i = (i + 1) % count) boundary += groups[i];
  return std::fabs(boundary - time) < 0.01;
}

// Whether the chord of `n` is beamed to the chord of `next`, its next chord in the measure:
// both can carry beams (or the beam is asked to go on), the beam is not asked to end, and the
// chord does not end a group of the beaming rule.
// The first note of the chord before `note` in its voice, across a bar line; NIL none.
Drosa chord_before(Drosa note) {
  Drosa p = note->xback;
  while (p && effective_kind(p) != NOTE) p = p->xback;
  for (Drosa q = p; q;) {
    q = q->xback;
    while (q && effective_kind(q) != NOTE) q = q->xback;
    if (!q || q->get(xendvcd)) break;
    p = q;
  }
  return p;
}

bool beamed_to(Drosa n, Drosa next, bool group_ends) {
  if (!n || !next || n->get(xgrace) != next->get(xgrace)) return false;
  const bool joined = n->get(xcbeam);
  if (!joined && (!beamable(n) || !beamable(next))) return false;
  if (n->get(xebeam)) return false;
  return joined || n->get(xgrace) || !group_ends;
}

const char* const DYNAMIC_NAMES[20] = {"pppp", "ppp", "pp",   "p",   "mp",   "mf",  "f",
                                       "ff",   "fff", "ffff", "sp",  "sf",   "sfz", "fz",
                                       "fp",   "rf",  "rfz",  "sfp", "sfpp", "sffz"};

// The name of a dynamic: the softest and loudest glyphs followed by more of their letters
// ("pppp" and "pp") are the extreme dynamics, named as themselves ("pppppp").
const char* dynamic_name(Drosa anno, int index) {
  if (index == 0 || index == 9) {
    static const char* const EXTREMES[] = {"ppppp", "pppppp", "fffff", "ffffff"};
    std::string words;
    for (Drosa run = anno; run && words.size() <= 6; run = next_style_run(run))
      words += anno_run_words(run);
    for (const char* name : EXTREMES)
      if (words == name) return name;
  }
  return DYNAMIC_NAMES[index];
}

class Exporter {
 public:
  explicit Exporter(XmlWriter& w) : o{w} {}
  void document();

 private:
  Out o;
  PartState ps;
  int measure_number = 0;
  int64_t divisions = DIVISIONS;
  OctaveLines octave_lines;           // of the part
  const char* bar_fermata = nullptr;  // the type of a fermata over the measure's bar line
  ExportLayout layout;
  PrintedDistances printed;

  void header();
  void credits();
  void write_credits();
  void part_names(const Part& part);
  void part_group(const char* type, int number, const ExportGroup* group);
  void part(const Part& part);
  void measure_attributes(std::vector<Segment>& segs, bool first, bool system_start);
  std::vector<bool> silent_voices(const std::vector<Segment>& segs) const;
  int64_t voice_measure(VoiceState& vs, const Segment& seg);
  void chord(VoiceState& vs, const Chord& notes, ChordContext& cc);
  void note(VoiceState& vs, const ChordNote& cn, int string, bool in_chord, const ChordContext& cc);
  void notations(VoiceState& vs, Drosa n, int string, bool first, bool tie_stop, bool tie_start,
                 const ChordContext& cc);
  void staff_print(int staff, Drosa print);
  void tuplet_marks(const std::vector<ExportTupletMark>& marks);
  void directions(VoiceState& vs, const Chord& notes, ChordContext& cc);
  bool harmony(const VoiceState& vs, Drosa symbol, bool above, const GridFrame* grid);
  void frame(const GridFrame& f);
  void direction_start(bool above);
  void direction_end(const VoiceState& vs, int staff = -1, long back = 0);
  void hidden_tempo(Drosa anno);
  void wedge(VoiceState& vs, Drosa line, long back = 0);
  void wedge_direction(const VoiceState& vs, bool above, const char* type, int number = 0,
                       int32_t y = INT32_MIN, long back = 0);
  void wedge_stop(const VoiceState& vs, bool above, Drosa line);
  void octave_shift_start(VoiceState& vs, bool above, int octaves, int size, Drosa from,
                          int32_t y = INT32_MIN);
  void pedal_line(VoiceState& vs, Drosa line, Drosa next);
  void lyrics(VoiceState& vs, const std::vector<Drosa>& attached);
  void barline(Drosa bar, bool right, const EndingMark& ending);
  void clef(int staff, int code, bool numbered);
  void staff_lines(int staff, int shown = -1);
  bool multi_voice() const { return ps.part->voices.size() > 1; }
  bool multi_staff() const { return ps.part->staves.size() > 1; }
  int clef_of(const VoiceState& vs) const { return ps.clefs[size_t(vs.staff)]; }
};

// A part-group of the part list: its start (with its symbol and bar lines) or its stop.
void Exporter::part_group(const char* type, int number, const ExportGroup* group) {
  o.start("part-group");
  o.attr("type", type);
  o.attr("number", std::to_string(number).c_str());
  if (group) {
    o.text("group-symbol", group->symbol);
    o.text("group-barline", group->bar_lines ? "yes" : "no");
  }
  o.end();
}

void Exporter::header() {
  if (std::string work = first_text_of_class(CLASS_WORK_TITLE); !work.empty()) {
    o.start("work");
    o.text("work-title", utf8(work));
    o.end();
  }
  if (std::string title = first_text_of_class(CLASS_TITLE); !title.empty())
    o.text("movement-title", utf8(title));
  o.start("identification");
  for (auto [c, type] : {std::pair{CLASS_COMPOSER, "composer"}, std::pair{CLASS_POET, "poet"}}) {
    const std::string text = first_text_of_class(c);
    if (text.empty()) continue;
    o.start("creator");
    o.attr("type", type);
    xml_add_text(o.w, utf8(text).c_str());
    o.end();
  }
  if (std::string rights = first_text_of_class(CLASS_RIGHTS); !rights.empty())
    o.text("rights", utf8(rights));
  o.start("encoding");
  char software[64];
  std::snprintf(software, sizeof software, "Vesk %s for Linux", version_string);
  o.text("software", software);
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", today.tm_year + 1900, today.tm_mon + 1,
                today.tm_mday);
  o.text("encoding-date", date);
  o.end();
  o.end();
}

// What a credit of a title class is, as a reader that does not guess it by its place knows it.
const char* credit_type(int c) {
  switch (c) {
    case CLASS_TITLE:
      return "title";
    case CLASS_WORK_TITLE:
      return "subtitle";
    case CLASS_COMPOSER:
      return "composer";
    case CLASS_POET:
      return "lyricist";
    default:
      return "rights";
  }
}

// The titles, composer, poet and rights of the first system as credits of the first page,
// each run of words where the page draws it (its first baseline, and its left end, middle or
// right end as it is justified), in tenths from the page's bottom left corner: a reader that
// places credits shows the page's head as it was. The identification says them once more for
// a reader that does not.
// Whether a title, composer, poet or notice keeps its place on the page (Position Lock, its
// offsets from the page's top and its left edge or middle), which the export writes as kept.
bool kept_on_page(Drosa text, int staff_size) {
  const int c = anno_class(text);
  return text->get(xfooter) && !text->get(xrelativex) && !text->get(xrelativey) &&
         staff_size == 10 * UNITS_PER_TENTH &&
         (c == CLASS_TITLE || c == CLASS_WORK_TITLE || c == CLASS_RIGHTS || c == CLASS_COMPOSER ||
          c == CLASS_POET);
}

void Exporter::credits() {
  // Where the first page draws the others is known once it is formatted: a page laid out since
  // the piece was opened may have been another (the layout records are the last page's).
  bool undrawn = false;
  for (int v = 0; v < voice_count && !undrawn; ++v)
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      const int kind = effective_kind(p);
      if (kind == ENDSYST) break;
      if (kind != TPARAM || !is_anno_head(p) || !title_class(anno_class(p)) || p->get(xhidden) ||
          kept_on_page(p, layout.staff_size))
        continue;
      undrawn |= !p->xnext || p->xnext->xkind != PDATA || p->xnext->get(xpagex1) == NOT_DRAWN;
    }
  if (undrawn && page_count >= 1) {
    disable_format_interrupts();
    format_page(1, 0);
    enable_format_interrupts();
  }
  write_credits();
  if (undrawn && page_count >= 1 && current_page != 1)
    format_page(std::clamp<int32_t>(current_page, 1, page_count), 0);
}

void Exporter::write_credits() {
  constexpr int PRINT_SCALE = 120;  // the page setup's scale, i32 percent
  const int32_t set = get_be32(print_record[std::max<int>(current_ncontext, 1)] + PRINT_SCALE);
  const int scale = set >= 1 && set <= 1000 ? int(set) : 100;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      const int kind = effective_kind(p);
      if (kind == ENDSYST) break;
      if (kind != TPARAM || !is_anno_head(p) || !title_class(anno_class(p)) || p->get(xhidden))
        continue;
      const int justified = p->get(xjustified);
      int32_t x = 0, y = 0;
      if (kept_on_page(p, layout.staff_size)) {
        // Read back from a point of the page the document gives (a title and a notice from
        // its middle, a composer from its staves' right end, a poet from its left edge) in
        // whole tenths, and its height from the page's bottom: written from that point, as the
        // text is kept (not as its box is drawn), it comes back where it was, where from the
        // program's own page it moved by the difference each time.
        const int c = anno_class(p);
        const int64_t page_left = layout_page_left_x();
        const int64_t middle = page_left + (int64_t(layout_page_width()) + 1) / 2;
        const int64_t anchor = (justified == 1 ? middle : page_left) + int64_t(p->get(xtextx));
        const int64_t width = layout.page_width * UNITS_PER_TENTH;
        if (c == CLASS_COMPOSER)
          x = int32_t(anchor - staff_right_x(0, 1) + width -
                      layout.margins[0][1] * UNITS_PER_TENTH);
        else if (c == CLASS_POET)
          x = int32_t(anchor - page_left);
        else
          x = int32_t(anchor - middle + width / 2);
        y = int32_t(int64_t(layout_page_height()) + p->get(xtexty));
      } else {
        const Drosa pd = p->xnext;
        if (!pd || pd->xkind != PDATA || pd->get(xpagex1) == NOT_DRAWN ||
            pd->get(xpagex2) == NOT_DRAWN || pd->get(xpagey1) == NOT_DRAWN)
          continue;
        const int32_t left = pd->get(xpagex1), right = pd->get(xpagex2);
        x = justified == 0 ? left : justified == 2 ? right : left + (right - left) / 2;
        y = pd->get(xpagey1);
      }
      bool first = true;
      for (Drosa run = p; run; run = next_style_run(run)) {
        const std::string words = utf8(run_text(run));
        if (words.empty()) continue;
        if (first) {
          o.start("credit");
          o.attr("page", 1L);
          o.text("credit-type", credit_type(anno_class(p)));
        }
        o.start("credit-words");
        if (first) {
          o.attr("default-x", tenths_text(x, layout.staff_size).c_str());
          o.attr("default-y", tenths_text(y, layout.staff_size).c_str());
          o.attr("justify", justified == 0 ? "left" : justified == 2 ? "right" : "center");
        }
        styled_words(o, run, words, scale);
        first = false;
      }
      if (!first) o.end();
    }
}

// The part's names: `part-name` its key (as every part has), with the full name it draws in a
// `part-name-display` where that differs from the key (a longer name, or one with a '-' or a
// line break); `part-abbreviation` its abbreviation. A name it does not draw (the key, where
// it keeps no name) is marked not printed.
void Exporter::part_names(const Part& part) {
  const PartNames names = part.voices.empty() ? PartNames{} : part_names_of_voice(part.voices[0]);
  auto start = [&](const char* element, bool shown) {
    o.start(element);
    if (!shown) o.attr("print-object", "no");
  };
  start("part-name", names.full.shown);
  xml_add_text(o.w, utf8(part.name).c_str());
  o.end();
  if (!names.full.text.empty() && names.full.text != part.name) {
    start("part-name-display", names.full.shown);
    o.text("display-text", utf8(names.full.text));
    o.end();
  }
  if (names.abbreviation.text.empty()) return;
  start("part-abbreviation", names.abbreviation.shown);
  xml_add_text(o.w, utf8(names.abbreviation.text).c_str());
  o.end();
}

void Exporter::document() {
  xml_write_line(o.w, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>");
  xml_write_line(o.w,
                 "<!DOCTYPE score-partwise PUBLIC \"-//Recordare//DTD MusicXML 3.1 Partwise//EN\" "
                 "\"http://www.musicxml.org/dtds/partwise.dtd\">");
  o.start("score-partwise");
  o.attr("version", "3.1");
  header();
  layout = export_layout();
  write_layout_defaults(o.w, layout);
  credits();
  printed = printed_distances_of_defaults(layout);
  const std::vector<Part> parts = find_parts();
  divisions = exact_divisions();
  const std::vector<ExportGroup> groups = part_groups(parts);
  std::vector<int> numbers(groups.size(), 0);  // of the groups begun
  o.start("part-list");
  for (const Part& p : parts) {
    const int k = p.number - 1;
    for (size_t g = 0; g < groups.size(); ++g) {
      if (groups[g].first != k) continue;
      numbers[g] = 1;
      while (std::any_of(groups.begin(), groups.end(), [&](const ExportGroup& other) {
        const size_t h = size_t(&other - groups.data());
        return h != g && numbers[h] == numbers[g] && other.first <= k && k <= other.last;
      }))
        ++numbers[g];
      part_group("start", numbers[g], &groups[g]);
    }
    o.start("score-part");
    o.attr("id", ("P" + std::to_string(p.number)).c_str());
    part_names(p);
    for (int key : p.keys) {
      o.start("score-instrument");
      o.attr("id", instrument_id(p.number, key).c_str());
      o.text("instrument-name", "Percussion " + std::to_string(key));
      o.end();
    }
    const Drosa info =
        p.voices.empty() ? NIL : find_next_kind_until(VINFO, piece_start[p.voices[0]], NOTE, 0);
    // A part of pitched notes names the channel and the program it plays with, so that they
    // come back with the document.
    if (p.keys.empty() && info) {
      const std::string id = "P" + std::to_string(p.number) + "-I1";
      o.start("score-instrument");
      o.attr("id", id.c_str());
      o.text("instrument-name", utf8(p.name));
      o.end();
      o.start("midi-instrument");
      o.attr("id", id.c_str());
      o.number("midi-channel", (info->get(xmidichan) & 15) + 1);
      if (const int program = node_byte(info, VINFO_PROGRAM_BYTE) & 0x7F)
        o.number("midi-program", program + 1);
      o.end();
    }
    for (int key : p.keys) {
      o.start("midi-instrument");
      o.attr("id", instrument_id(p.number, key).c_str());
      if (info) o.number("midi-channel", (info->get(xmidichan) & 15) + 1);
      o.number("midi-unpitched", key + 1);
      o.end();
    }
    o.end();
    for (size_t g = groups.size(); g-- > 0;)
      if (groups[g].last == k) part_group("stop", numbers[g], nullptr);
  }
  o.end();
  for (const Part& p : parts) part(p);
  o.end();
}

// The staff's lines, when they are not those written last (the import reads a staff of five
// lines when none are written), and whether it is shown, when that changes (`shown` 0 hidden
// from here, 1 shown again, -1 as before).
void Exporter::staff_lines(int staff, int shown) {
  const size_t s = size_t(staff);
  // A tablature staff's strings and their tuning.
  const std::vector<int> tuning =
      ps.tabs[s] ? tab_tuning(ps.tuning_at[s], ps.lines[s]) : std::vector<int>{};
  const bool new_tuning = !tuning.empty() && tuning != ps.tunings_written[s];
  if (ps.lines[s] == ps.lines_written[s] && ps.sizes[s] == ps.sizes_written[s] && shown < 0 &&
      !new_tuning)
    return;
  o.start("staff-details");
  if (multi_staff()) o.attr("number", long(staff + 1));
  if (shown >= 0) o.attr("print-object", shown ? "yes" : "no");
  if (ps.lines[s] != ps.lines_written[s] || new_tuning) o.number("staff-lines", ps.lines[s]);
  if (new_tuning) {
    // Lines count from the bottom; string 1 is the top line.
    static const char steps[] = "CCDDEFFGGAAB";
    static const int alters[12] = {0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0};
    const int lines = int(tuning.size());
    for (int line = 1; line <= lines; ++line) {
      const int key = tuning[size_t(lines - line)];
      o.start("staff-tuning");
      o.attr("line", long(line));
      o.text("tuning-step", std::string(1, steps[key % 12]).c_str());
      if (alters[key % 12]) o.number("tuning-alter", alters[key % 12]);
      o.number("tuning-octave", key / 12 - 1);
      o.end();
    }
    ps.tunings_written[s] = tuning;
  }
  // A staff drawn smaller or larger than the program's staff size, in percent of it.
  if (ps.sizes[s] != ps.sizes_written[s]) {
    char percent[32];
    std::snprintf(percent, sizeof percent, "%.2f",
                  100.0 * ps.sizes[s] / std::max(layout.staff_size, 1));
    o.text("staff-size", percent);
  }
  o.end();
  ps.lines_written[s] = ps.lines[s];
  ps.sizes_written[s] = ps.sizes[s];
  if (shown >= 0) ps.hidden[s] = shown == 0;
}

// The staff settings of a PRINT in force on the staff.
void Exporter::staff_print(int staff, Drosa print) {
  const size_t s = size_t(staff);
  ps.lines[s] = print->get(xslines);
  ps.sizes[s] = print->get(xstaffsize);
  ps.tabs[s] = string_tablature(print);
  ps.tuning_at[s] = print;
  if (ps.tabs[s]) ps.lines[s] = std::clamp<int>(ps.lines[s], 1, 7);
}

void Exporter::clef(int staff, int code, bool numbered) {
  Clef c;
  if (!clef_of_code(code, &c)) return;
  o.start("clef");
  if (numbered) o.attr("number", long(staff + 1));
  o.text("sign", c.sign);
  if (c.line) o.number("line", c.line);
  if (c.octave_change) o.number("clef-octave-change", c.octave_change);
  o.end();
}

// A bar line's style, ending and repeat: the right bar line of the measure it ends (an ending
// that stops there), or the left bar line of the measure after it (a repeat or an ending that
// starts there). `bar` is NIL for an ending's bar line alone.
void Exporter::barline(Drosa bar, bool right, const EndingMark& ending) {
  const char* style = nullptr;
  bool repeat = false;
  if (!bar) {
  } else if (right) {
    static const char* const styles[4] = {nullptr, "light-light", "light-heavy", "heavy-light"};
    const int d = bar->get(xdouble);
    if (d >= 1 && d <= 3) style = styles[d];
    if (bar->get(xbar_invisible)) style = "none";
    if (bar->get(xbar_chant)) style = "tick";
    if (bar->get(xbar_dashed)) style = "dashed";
    repeat = bar->get(xrepeat_end) != 0;
    if (repeat && (!style || d == 3)) style = "light-heavy";
  } else {
    // A repeat's start shows its own bar line; a style of its own is written only where the
    // bar line has one (read back, the style stays with the bar line).
    repeat = bar->get(xrepeat_start) != 0;
    if (repeat && bar->get(xdouble) == 3) style = "heavy-light";
  }
  const char* fermata = right ? bar_fermata : nullptr;
  if (right) bar_fermata = nullptr;
  if (!style && !repeat && !ending.type && !fermata) return;
  o.start("barline");
  o.attr("location", right ? "right" : "left");
  if (style) o.text("bar-style", style);
  if (fermata) {
    o.start("fermata");
    o.attr("type", fermata);
    o.end();
  }
  if (ending.type) {
    o.start("ending");
    o.attr("number", ending.number.c_str());
    o.attr("type", ending.type);
    if (!right) xml_add_text(o.w, ending.text.c_str());
    o.end();
  }
  if (repeat) {
    o.start("repeat");
    o.attr("direction", right ? "backward" : "forward");
    o.end();
  }
  o.end();
}

// Where the signs in force at a measure's first notes begin: a key or time signature set
// at a measure's first note stands after the previous measure's last note, before its bar line.
Drosa signs_start(Drosa first) {
  if (!first || effective_kind(first) == ENDSYST) return first;
  Drosa from = first;
  for (Drosa p = first->xback; p; p = p->xback) {
    const int kind = effective_kind(p);
    if (kind == NOTE || kind == ENDSYST) break;
    from = p;
  }
  return from;
}

// The signs that stand before the measure's first notes: key, time and clefs (all of them at
// the part's start), written when they change.
void Exporter::measure_attributes(std::vector<Segment>& segs, bool first, bool system_start) {
  Drosa key = NIL, time = NIL;
  std::vector<int> clefs(ps.part->staves.size(), -1);
  // The voice's last clef before its notes is in force at them; of the voices of a staff,
  // one whose clef changes the staff's says it (the others may keep the clef their system
  // began with, and change later).
  auto say_clef = [&](size_t at, int clef) {
    if (clef >= 0 && (clefs[at] < 0 || (clef != ps.clefs[at] && clefs[at] == ps.clefs[at])))
      clefs[at] = clef;
  };
  // A clef a voice hides, and one before a voice's hidden rests (which fill a gap of the
  // voice, the clef before them perhaps coming in force later in the measure), may stand
  // where the voice has no note at its time: it says the staff's clef only where no voice of
  // the staff begins the measure with notes shown under a clef it shows.
  std::vector<std::pair<size_t, int>> hidden;   // staff, clef
  std::vector<bool> sure(clefs.size(), false);  // by staff: a voice of shown clef and notes
  for (size_t i = 0; i < segs.size(); ++i) {
    int staff = ps.voices[i].staff;
    Drosa from = ps.voices[i].signs_from ? ps.voices[i].signs_from : signs_start(segs[i].first);
    ps.voices[i].signs_from = NIL;
    int clef = -1, unsure = -1;  // the last clef before its notes: shown, and maybe not at them
    for (Drosa p = from; p && p != segs[i].end; p = p->xnext) {
      const int kind = effective_kind(p);
      if (kind == NOTE) {
        if (!p->get(xrest) || !p->get(xhider))
          sure[size_t(staff)] = sure[size_t(staff)] || unsure < 0;
        else if (clef >= 0)
          unsure = clef, clef = -1;
        break;
      }
      if (kind == PRINT) ps.voices[i].hidden = p->get(xsstaff) < 0;
      if (kind == PRINT && p->get(xsstaff) >= 0) {
        staff = part_staff(*ps.part, p);
        ps.voices[i].staff = staff;
        staff_print(staff, p);
      }
      if (kind == KEYSIG && !key && p->get(xkey) >= 0) key = p;
      if (kind == TIMESIG && !time) time = p;
      if (kind == CLEF) (p->get(xclefhide) ? unsure : clef) = p->get(xclef);
    }
    say_clef(size_t(staff), clef);
    if (unsure >= 0) hidden.push_back({size_t(staff), unsure});
  }
  for (auto [at, clef] : hidden)
    if (!sure[at]) say_clef(at, clef);
  const int key_code = key ? key->get(xkey) : -1;
  const bool new_key = key && key_code != ps.key;
  const bool new_time = time && (!ps.time || time->get(xbpm) != ps.time->get(xbpm) ||
                                 time->get(xbeat) != ps.time->get(xbeat) ||
                                 time->get(xtimesig_symbol) != ps.time->get(xtimesig_symbol));
  // A tablature staff is written with the TAB sign, and with its own clef again when it is
  // tablature no longer.
  for (size_t s = 0; s < clefs.size(); ++s) {
    if (clefs[s] >= 0) ps.real_clefs[s] = clefs[s];
    if (ps.tabs[s])
      clefs[s] = TAB_CLEF;
    else if (ps.clefs[s] == TAB_CLEF && clefs[s] < 0)
      clefs[s] = std::max(ps.real_clefs[s], 0);
  }
  bool new_clef = false, new_lines = false;
  for (size_t s = 0; s < clefs.size(); ++s) {
    new_clef |= clefs[s] >= 0 && clefs[s] != ps.clefs[s];
    new_lines |= ps.lines[s] != ps.lines_written[s] || ps.sizes[s] != ps.sizes_written[s] ||
                 (ps.tabs[s] && tab_tuning(ps.tuning_at[s], ps.lines[s]) != ps.tunings_written[s]);
  }
  const int transposition = key ? key->get(key_transposition) : ps.transposition;
  const bool new_transposition = transposition != ps.transposition;
  // A staff is hidden in a system where every voice on it is.
  std::vector<int> voices_shown(clefs.size(), 0), voices_hidden(clefs.size(), 0);
  for (const VoiceState& vs : ps.voices)
    ++(vs.hidden ? voices_hidden : voices_shown)[size_t(vs.staff)];
  std::vector<int> shown(clefs.size(), -1);  // by staff: 0 hidden from here, 1 shown again
  bool new_shown = false;
  for (size_t s = 0; s < clefs.size() && system_start; ++s) {
    const bool hidden = voices_hidden[s] > 0 && voices_shown[s] == 0;
    if (hidden != ps.hidden[s]) shown[s] = hidden ? 0 : 1, new_shown = true;
  }
  if (!first && !new_key && !new_time && !new_clef && !new_lines && !new_transposition &&
      !new_shown)
    return;
  o.start("attributes");
  if (first) o.number("divisions", long(divisions));
  if (new_key) {
    o.start("key");
    o.number("fifths", fifths_of_key(key_code));
    if (key_code >= 15) o.text("mode", "minor");
    o.end();
    ps.key = key_code;
  }
  if (new_time) {
    const int symbol = time->get(xtimesig_symbol);
    o.start("time");
    if (symbol == 2) o.attr("symbol", "common");
    if (symbol == 1) o.attr("symbol", "cut");
    o.number("beats", std::max<int>(time->get(xbpm), 1));
    o.number("beat-type", std::max<int>(time->get(xbeat), 1));
    o.end();
    ps.time = time;
  }
  if (first && multi_staff()) o.number("staves", long(ps.part->staves.size()));
  for (size_t s = 0; s < clefs.size(); ++s) {
    if (clefs[s] < 0 || clefs[s] == ps.clefs[s]) continue;
    clef(int(s), clefs[s], multi_staff());
    ps.clefs[s] = clefs[s];
  }
  for (size_t s = 0; s < clefs.size(); ++s) staff_lines(int(s), shown[s]);
  if (new_transposition) {
    o.start("transpose");
    if (const int d = diatonic_of(transposition)) o.number("diatonic", d);
    o.number("chromatic", transposition);
    o.end();
    ps.transposition = transposition;
  }
  o.end();
}

void Exporter::part(const Part& part) {
  ps = PartState{};
  ps.part = &part;
  ps.clefs.assign(part.staves.size(), -1);
  ps.tabs.assign(part.staves.size(), 0);
  ps.real_clefs.assign(part.staves.size(), -1);
  ps.tuning_at.assign(part.staves.size(), NIL);
  ps.tunings_written.assign(part.staves.size(), {});
  ps.lines.assign(part.staves.size(), 5);
  ps.lines_written.assign(part.staves.size(), 5);
  ps.sizes.assign(part.staves.size(), layout.staff_size);
  ps.sizes_written.assign(part.staves.size(), layout.staff_size);
  ps.hidden.assign(part.staves.size(), false);
  for (int v : part.voices) {
    VoiceState vs;
    vs.v = v;
    vs.cursor = piece_start[v];
    vs.beaming = beaming_head;
    Drosa print = first_print(v);
    vs.staff = vs.home = print ? part_staff(part, print) : 0;
    for (Drosa p = piece_start[v]; p && !vs.may_be_left_out; p = p->xnext)
      vs.may_be_left_out = effective_kind(p) == NOTE && !unseen_rest(p);
    ps.voices.push_back(vs);
  }
  // Of a staff that holds more than two voices the third reads its rests back as they are;
  // the import stems the rests of two voices that share a staff up and down.
  for (VoiceState& vs : ps.voices)
    vs.may_be_left_out &=
        std::count_if(ps.voices.begin(), ps.voices.end(),
                      [&](const VoiceState& w) { return w.home == vs.home; }) == 2;
  octave_lines = notes_under_octave_lines(part, divisions);
  o.start("part");
  o.attr("id", ("P" + std::to_string(part.number)).c_str());
  measure_number = bar_number_of_node(NIL);
  Drosa repeat_start = NIL;  // the bar before the measure, when it starts a repeat
  bool new_system = false, new_page = false;
  size_t system = 0;                                  // of the measure, 0 the first
  std::vector<int> systems_passed(ps.voices.size());  // by voice, since the last measure
  for (bool first = true;;) {
    std::vector<Segment> segs;
    bool notes = false, more = false;
    for (size_t i = 0; i < ps.voices.size(); ++i) {
      const VoiceState& vs = ps.voices[i];
      segs.push_back(vs.cursor ? next_segment(vs.cursor) : Segment{});
      notes |= segs.back().notes;
      more |= segs.back().next != NIL;
      new_system |= segs.back().new_system;
      new_page |= segs.back().new_page;
      systems_passed[i] += segs.back().systems;
    }
    if (!notes) {
      // Bar lines without notes between them (a repeat that opens a system stands after the
      // system's clef and key): what they say goes to the next measure.
      if (!more) break;
      for (size_t i = 0; i < segs.size(); ++i) {
        if (segs[i].end && effective_kind(segs[i].end) == BAR && segs[i].end->get(xrepeat_start))
          repeat_start = segs[i].end;
        if (!ps.voices[i].signs_from) ps.voices[i].signs_from = segs[i].first;
        ps.voices[i].cursor = segs[i].next;
      }
      continue;
    }
    Drosa bar = NIL;
    for (const Segment& s : segs)
      if (s.end && effective_kind(s.end) == BAR) {
        bar = s.end;
        break;
      }
    // A measure its bar line keeps out of the count is implicit: a pickup is measure 0, the
    // first half of a measure a repeat divides takes the number of the second.
    const bool uncounted = bar && bar->get(xunnumbered) && !bar->get(xrestart_number);
    o.start("measure");
    o.attr("number", long(uncounted && first ? std::max(measure_number - 1, 0) : measure_number));
    if (uncounted) o.attr("implicit", "yes");
    if (!first && (new_system || new_page))
      system +=
          size_t(std::max(1, *std::max_element(systems_passed.begin(), systems_passed.end())));
    if (first || new_system || new_page)
      write_layout_print(o.w, layout, printed, system, new_page, part.number == 1, part.above);
    const bool system_start = first || new_system || new_page;
    new_system = new_page = false;
    std::fill(systems_passed.begin(), systems_passed.end(), 0);
    EndingMark starts, stops;
    endings_of_measure(segs, &starts, &stops);
    if (repeat_start || starts.type) barline(repeat_start, false, starts);
    measure_attributes(segs, first, system_start);
    const std::vector<bool> left_out = silent_voices(segs);
    int64_t previous = 0;
    for (size_t i = 0; i < segs.size(); ++i) {
      if (!segs[i].notes || left_out[i]) continue;
      if (previous > 0) {
        o.start("backup");
        o.number("duration", long(previous));
        o.end();
      }
      previous = voice_measure(ps.voices[i], segs[i]);
    }
    if (bar || stops.type || bar_fermata) barline(bar, true, stops);
    o.end();
    repeat_start = bar && bar->get(xrepeat_start) ? bar : NIL;
    if (bar && bar->get(xrestart_number))
      measure_number = bar->get(xbarnumber);
    else if (!bar || !bar->get(xunnumbered))
      ++measure_number;
    for (size_t i = 0; i < segs.size(); ++i) ps.voices[i].cursor = segs[i].next;
    first = false;
  }
  o.end();
}

// The voices of the measure that are left out: each one that holds only unseen rests there,
// while the other voice of its staff writes notes, and that is heard elsewhere in the piece.
// The import fills a voice's measure it is not given with such rests, as it did when it read
// the piece from a document that left the voice out there; written, they would come back
// stemmed as the voice's notes, and be spaced otherwise.
std::vector<bool> Exporter::silent_voices(const std::vector<Segment>& segs) const {
  std::vector<bool> silent(segs.size(), false);
  for (size_t i = 0; i < segs.size(); ++i)
    silent[i] = segs[i].notes && ps.voices[i].may_be_left_out && only_unseen_rests(segs[i]);
  std::vector<bool> left_out(segs.size(), false);
  for (size_t i = 0; i < segs.size(); ++i)
    for (size_t j = 0; j < segs.size() && silent[i] && !left_out[i]; ++j)
      left_out[i] = segs[j].notes && !silent[j] && ps.voices[j].staff == ps.voices[i].staff;
  return left_out;
}

// One voice's measure: its chords, with the clefs and staff changes that stand between them.
// Returns the time it wrote, in divisions.
int64_t Exporter::voice_measure(VoiceState& vs, const Segment& seg) {
  std::vector<Chord> chords;
  Chord current;
  std::vector<Drosa> attached;
  std::vector<std::pair<size_t, Drosa>> signs;  // by the chord they stand before
  bool seen_note = false;
  for (Drosa p = seg.first; p && p != seg.end; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == NOTE) {
      current.push_back({p, std::move(attached)});
      attached.clear();
      seen_note = true;
      if (p->get(xendvcd)) {
        chords.push_back(std::move(current));
        current.clear();
      }
    } else if (kind == TPARAM || kind == LINE) {
      if (is_anno_head(p)) attached.push_back(p);
    } else if ((kind == CLEF || kind == PRINT) && seen_note) {
      signs.push_back({chords.size(), p});
    } else if (kind == BEAMING) {
      vs.beaming = p;
    }
  }
  if (!current.empty()) chords.push_back(std::move(current));

  // A measure of one rest of a whole note or longer is a whole-measure rest.
  const int32_t length = measure_time(ps.time);
  const bool whole_rest = chords.size() == 1 && chords[0].size() == 1 &&
                          chords[0][0].note->get(xrest) && !chords[0][0].note->get(xhider) &&
                          chords[0][0].note->get(xlgval) <= 1 &&
                          note_duration(chords[0][0].note, 1) != length;
  // The rest of a measure shorter than its time signature (a piece's last after a pickup) is
  // a whole rest holding the ratio that makes it last the measure.
  const bool short_measure = whole_rest && chords[0][0].note->get(xtupl) > 1 &&
                             note_duration(chords[0][0].note, 1) < length;
  // The chords' times: each its shortest note's, rounded with the error carried. A voice
  // whose time comes within a rounding of its time signature's measure (tuplets whose stored
  // times do not add up exactly) is given the measure's time in its last chord, so that every
  // voice of every part ends the measure together.
  std::vector<long> durations(chords.size(), 0);
  std::vector<double> ends(chords.size(), 0);  // exact, for the beam groups
  double error = 0, at = 0;
  int64_t written = 0;
  size_t last_timed = chords.size();
  for (size_t c = 0; c < chords.size(); ++c) {
    Drosa first = chords[c][0].note;
    ends[c] = at;
    if (first->get(xgrace) || first->get(xnachschlag)) continue;
    double exact = 1e300;
    for (const ChordNote& n : chords[c])
      exact = std::min(exact, nominal_divisions(n.note, divisions));
    if (whole_rest)
      exact = double(short_measure ? note_duration(first, 1) : length) * double(divisions) /
              QUARTER_TIME;
    at += exact;
    ends[c] = at;
    long duration = long(exact + 0.5);
    double e = error + (exact - double(duration));
    while (e >= 0.999) e -= 1, ++duration;
    while (e <= -0.999) e += 1, --duration;
    if (std::fabs(e) <= 0.001) e = 0;
    error = e;
    durations[c] = std::max(duration, 0L);
    written += durations[c];
    last_timed = c;
  }
  const int64_t measure = int64_t(length) * divisions / QUARTER_TIME;
  if (last_timed < chords.size() && written != measure && std::llabs(written - measure) <= 2 &&
      durations[last_timed] + (measure - written) > 0) {
    durations[last_timed] += long(measure - written);
    written = measure;
  }
  std::vector<Drosa> firsts;
  for (const Chord& ch : chords) firsts.push_back(ch[0].note);
  std::vector<std::vector<ExportTupletMark>> tuplets =
      whole_rest ? std::vector<std::vector<ExportTupletMark>>(chords.size())
                 : export_tuplet_marks(firsts);
  size_t sign = 0;
  for (size_t c = 0; c < chords.size(); ++c) {
    for (; sign < signs.size() && signs[sign].first <= c; ++sign) {
      Drosa p = signs[sign].second;
      if (p->xkind == PRINT) {
        if (p->get(xsstaff) < 0) continue;
        vs.staff = part_staff(*ps.part, p);
        const size_t s = size_t(vs.staff);
        const bool was_tab = ps.clefs[s] == TAB_CLEF;
        staff_print(vs.staff, p);
        const bool new_tab = (ps.tabs[s] != 0) != was_tab;
        if (ps.lines[s] == ps.lines_written[s] && ps.sizes[s] == ps.sizes_written[s] && !new_tab &&
            (!ps.tabs[s] || tab_tuning(p, ps.lines[s]) == ps.tunings_written[s]))
          continue;
        o.start("attributes");
        if (new_tab) {
          const int code = ps.tabs[s] ? TAB_CLEF : std::max(ps.real_clefs[s], 0);
          clef(vs.staff, code, multi_staff());
          ps.clefs[s] = code;
        }
        staff_lines(vs.staff);
        o.end();
        continue;
      }
      const int code = p->get(xclef);
      Clef known;
      ps.real_clefs[size_t(vs.staff)] = code;
      if (code == clef_of(vs) || clef_of(vs) == TAB_CLEF || !clef_of_code(code, &known)) continue;
      o.start("attributes");
      clef(vs.staff, code, multi_staff());
      o.end();
      ps.clefs[size_t(vs.staff)] = code;
    }
    const Chord& ch = chords[c];
    Drosa first = ch[0].note;
    ChordContext cc;
    cc.whole_measure = whole_rest;
    cc.short_measure = short_measure;
    cc.duration = durations[c];
    cc.last = c + 1 == chords.size();
    cc.tuplets = std::move(tuplets[c]);
    // Ties go to the notes of the same position in the voice's next chord.
    Drosa after = next_note_after(ch.back().note);
    if (!first->get(xgrace))
      while (after && after->get(xgrace)) after = next_note_after(after);
    cc.next_positions = chord_positions(after);
    cc.next_note = after;
    // Beams join it to the chords before and after it in the measure.
    cc.beams = beam_count(first);
    Drosa before = c > 0 ? chords[c - 1][0].note : NIL;
    Drosa next = c + 1 < chords.size() ? chords[c + 1][0].note : NIL;
    // A beam the voice carries over the bar line, joined there, goes on in the next measure.
    if (c == 0 && !before && !first->get(xgrace))
      if (Drosa p = chord_before(first); p && p->get(xcbeam) && !p->get(xgrace)) before = p;
    if (!next && first->get(xcbeam) && after && !after->get(xgrace)) next = after;
    if (before &&
        beamed_to(before, first, c == 0 || ends_beam_group(vs.beaming, ends[c - 1], divisions)))
      cc.beams_left = std::min(beam_count(before), cc.beams);
    if (next && beamed_to(first, next, ends_beam_group(vs.beaming, ends[c], divisions))) {
      cc.beamed_next = true;
      cc.beams_right = std::min(beam_count(next), cc.beams);
      if (first->get(xesbeam)) cc.beams_right = std::min(cc.beams_right, 1);
    }
    if (!cc.beams_left && !cc.beams_right) cc.beams = 0;
    chord(vs, ch, cc);
  }
  return written;
}

void Exporter::chord(VoiceState& vs, const Chord& notes, ChordContext& cc) {
  directions(vs, notes, cc);
  // Slurs: a note whose slur mark is set begins a slur to the next note of its voice; rests
  // stand inside a slur.
  bool slurred = false, pitched = false;
  int side = 3;
  for (const ChordNote& n : notes) {
    if (n.note->get(xslur) && !slurred) side = n.note->get(xslur);
    slurred |= n.note->get(xslur) != 0;
    pitched |= !n.note->get(xrest);
  }
  if (pitched) {
    if (vs.slur && !slurred) {
      cc.slur_stop = vs.slur;
      ps.slurs_open &= ~(1u << (vs.slur - 1));
      vs.slur = 0;
    }
    if (!vs.slur && slurred) {
      int number = 1;
      while (number < 16 && (ps.slurs_open & (1u << (number - 1)))) ++number;
      ps.slurs_open |= 1u << (number - 1);
      vs.slur = cc.slur_start = number;
      cc.slur_side = side;
    }
  }
  // A glissando ends at the next chord's notes, from the lowest, one for each begun.
  if (pitched) {
    std::vector<Drosa> heads;
    for (const ChordNote& n : notes)
      if (!n.note->get(xrest)) heads.push_back(n.note);
    std::sort(heads.begin(), heads.end(),
              [](Drosa a, Drosa b) { return a->get(xmod7) < b->get(xmod7); });
    heads.resize(std::min(heads.size(), size_t(vs.glissandi)));
    cc.gliss_stops = std::move(heads);
    vs.glissandi = 0;
    for (const ChordNote& n : notes) vs.glissandi += !n.note->get(xrest) && n.note->get(xgliss);
  }
  std::vector<int> tied;
  for (size_t i = 0; i < notes.size(); ++i) {
    Drosa n = notes[i].note;
    if (!n->get(xrest) && n->get(xtie) &&
        std::find(cc.next_positions.begin(), cc.next_positions.end(), n->get(xmod7)) !=
            cc.next_positions.end())
      tied.push_back(n->get(xmod7));
  }
  // On guitar tablature every note is written with its string and fret.
  if (ps.tabs[size_t(vs.staff)]) {
    std::vector<Drosa> heads;
    for (const ChordNote& n : notes) heads.push_back(n.note);
    choose_tab_strings(heads, ps.lines[size_t(vs.staff)], &cc.strings);
    for (int& string : cc.strings)  // a note that no string of the staff plays has none
      if (string > ps.lines[size_t(vs.staff)]) string = 0;
  }
  for (size_t i = 0; i < notes.size(); ++i) {
    const int string = cc.strings.empty() ? notes[i].note->get(xstring) : cc.strings[i];
    note(vs, notes[i], string, i > 0, cc);
  }
  vs.tied = std::move(tied);
  for (const auto& [begin, end] : vs.hairpins_back) {
    wedge(vs, begin, cc.duration);
    if (end) wedge(vs, end);
  }
  vs.hairpins_back.clear();
  if (vs.octave_stop) {
    direction_start(vs.octaves < 0);
    o.start("octave-shift");
    o.attr("type", "stop");
    o.attr("size", long(vs.octave_size));
    o.end();
    direction_end(vs, vs.octave_staff);
    vs.octaves = 0;
    vs.octave_stop = false;
  }
  if (vs.pedal_stop) {
    direction_start(vs.pedal_above);
    o.start("pedal");
    o.attr("type", "stop");
    o.attr("line", "yes");
    o.end();
    direction_end(vs);
    vs.pedal_stop = false;
  }
}

void Exporter::note(VoiceState& vs, const ChordNote& cn, int string, bool in_chord,
                    const ChordContext& cc) {
  Drosa n = cn.note;
  const bool rest = n->get(xrest);
  const bool grace = n->get(xgrace) || n->get(xnachschlag);
  // A hidden rest and a note the piece keeps without printing are written unprinted.
  const bool unprinted = unprinted_note(n);
  o.start("note");
  if ((rest && n->get(xhider)) || unprinted) o.attr("print-object", "no");
  if (grace) {
    o.start("grace");
    if (!n->get(xnoslash)) o.attr("slash", "yes");
    o.end();
  }
  if (n->get(xcue)) o.empty("cue");
  if (in_chord) o.empty("chord");
  const int position = n->get(xmod7);
  const int acc = n->get(xacc);
  const auto shifted = octave_lines.shifted.find(n.handle());
  const int sounding =  // under an octave line
      position - 7 * (shifted == octave_lines.shifted.end() ? 0 : shifted->second);
  bool own_key = false;  // written as an instrument's key
  if (rest) {
    o.start("rest");
    if (cc.whole_measure) o.attr("measure", "yes");
    o.end();
  } else {
    // Notes on a percussion staff, and those that sound keys of their own, are written as
    // unpitched where they are displayed (no octave line moves them).
    const int clef = clef_of(vs);
    const bool percussion = clef >= 0 && is_percussion_clef(clef);
    own_key = sounds_own_key(n, clef, ps.part->drums) && ps.part->keys.count(n->get(xpitch) >> 8);
    const bool unpitched = percussion || own_key;
    const int written = percussion
                            ? position - percussion_display_shift(clef, ps.lines[size_t(vs.staff)])
                        : own_key ? position
                                  : sounding;
    const char step[2] = {"CDEFGAB"[floor_mod(written, 7)], 0};
    const int octave = floor_div(written, 7) - 1;
    o.start(unpitched ? "unpitched" : "pitch");
    o.text(unpitched ? "display-step" : "step", step);
    if (!unpitched && acc >= 1 && acc <= 5 && acc != 3) o.number("alter", acc - 3);
    o.number(unpitched ? "display-octave" : "octave", octave);
    o.end();
  }
  if (!grace) o.number("duration", cc.duration);
  const bool tie_stop =
      !rest && std::find(vs.tied.begin(), vs.tied.end(), position) != vs.tied.end();
  // The tie mark is written as it stands, whether or not the next chord holds the note it
  // goes to (a tie may go to another voice, or let the note ring).
  const bool tie_start = !rest && n->get(xtie);
  // A cue note has no tie element (its notations say it is tied).
  const bool cue = !grace && n->get(xcue);
  for (auto [on, type] : {std::pair{tie_stop, "stop"}, std::pair{tie_start, "start"}}) {
    if (!on || cue) continue;
    o.start("tie");
    o.attr("type", type);
    o.end();
  }
  if (own_key) {
    o.start("instrument");
    o.attr("id", instrument_id(ps.part->number, n->get(xpitch) >> 8).c_str());
    o.end();
  }
  if (multi_voice()) o.number("voice", voice_number_in_part(vs.v) + 1);
  // A note of a tremolo between two notes is written with its written value, sounding half
  // of it.
  int value = n->get(xlgval), dots = n->get(xdots);
  const bool tremolo_pair = n->get(xtrembeam) && decode_note_type(n, &value, &dots);
  // A short measure's rest is written as the document wrote it: its time alone.
  if (value <= 9 && !cc.short_measure) o.text("type", TYPE_NAMES[value]);
  for (int d = 0; d < std::min(dots, 3); ++d) o.empty("dot");
  if (!rest && n->get(xaccplot)) {
    static const char* const names[8] = {nullptr, "flat-flat",    "flat",  "natural",
                                         "sharp", "double-sharp", nullptr, nullptr};
    if (names[acc]) o.text("accidental", names[acc]);
  }
  int32_t actual = 1, normal = 4;
  if (tremolo_pair) {
    o.start("time-modification");
    o.number("actual-notes", 2);
    o.number("normal-notes", 1);
    o.end();
  } else if (!cc.short_measure && get_tuplet(n, &actual, &normal) && actual > 1 && normal > 0) {
    // Both counts whole: the stored normal count is in quarters.
    int scale = normal % 4 == 0 ? 1 : normal % 2 == 0 ? 2 : 4;
    o.start("time-modification");
    o.number("actual-notes", long(actual) * scale);
    o.number("normal-notes", long(normal) * scale / 4);
    o.end();
  }
  if (!rest && !unprinted) {
    static const char* const stems[3] = {"none", "down", "up"};
    const int dir = n->get(xdir);
    // Tablature of the second kind shows its fret numbers without stems.
    const bool stemless = n->get(xnostem) || ps.tabs[size_t(vs.staff)] == 2;
    if (dir <= 2 && !stemless) o.text("stem", stems[dir]);
    if (stemless) o.text("stem", "none");
    // The head's shape, as the import reads it back.
    static const struct {
      const char* name;
      const char* filled;
    } heads[9] = {{nullptr, nullptr},  {"x", nullptr},     {"harmonic", "no"},
                  {"harmonic", "yes"}, {"diamond", "no"},  {"diamond", "yes"},
                  {"none", nullptr},   {nullptr, nullptr}, {"square", nullptr}};
    const int shape = n->get(xnotehead);
    if (shape < 9 && heads[shape].name) {
      o.start("notehead");
      if (heads[shape].filled) o.attr("filled", heads[shape].filled);
      xml_add_text(o.w, heads[shape].name);
      o.end();
    }
  }
  if (multi_staff()) o.number("staff", vs.staff + 1);
  if (!in_chord && cc.beams > 0 && !tremolo_pair) {
    for (int level = 1; level <= cc.beams; ++level) {
      const bool from_left = level <= cc.beams_left, to_right = level <= cc.beams_right;
      const char* kind = from_left && to_right ? "continue"
                         : from_left           ? "end"
                         : to_right            ? "begin"
                         : cc.beamed_next      ? "forward hook"
                                               : "backward hook";
      o.start("beam");
      o.attr("number", long(level));
      xml_add_text(o.w, kind);
      o.end();
    }
  }
  notations(vs, n, string, !in_chord, tie_stop, tie_start, cc);
  lyrics(vs, cn.attached);
  o.end();
}

void Exporter::notations(VoiceState&, Drosa n, int string, bool first, bool tie_stop,
                         bool tie_start, const ChordContext& cc) {
  const bool rest = n->get(xrest);
  // A note's string: on tablature with its fret, elsewhere the string it is asked to be on.
  if (rest || string < 1 || string > 7) string = 0;
  const bool fretted = string && !cc.strings.empty();
  Drosa tsmod = find_prev_kind_stop(TSMOD, n, ENDSYST);
  const bool staccatissimo = n->get(xstacc) && tsmod && tsmod->get(xstacissimo);
  const int accent = n->get(xaccent);
  const bool articulations = !rest && (n->get(xstacc) || n->get(xtenu) || accent);
  const bool slurs = first && (cc.slur_stop || cc.slur_start);
  const int tremolo = rest ? 0 : n->get(xtremolo);
  // The strokes of a tremolo between two notes are its beams.
  int value = 0, dots = 0;
  const bool pair = first && !rest && n->get(xtrembeam) && decode_note_type(n, &value, &dots);
  const int pair_strokes = pair ? std::max(n->get(xlgval) - 3, 1) : 0;
  const bool gliss_start = !rest && n->get(xgliss);
  const bool gliss_stop =
      std::find(cc.gliss_stops.begin(), cc.gliss_stops.end(), n) != cc.gliss_stops.end();
  const bool arpeggiate = !rest && cc.arpeggiate;
  const bool tuplets = first && !cc.tuplets.empty();
  auto has_marks = [&](const char* holder) {
    return first && std::any_of(cc.marks.begin(), cc.marks.end(), [holder](const NoteMark& m) {
             return std::strcmp(m.holder, holder) == 0;
           });
  };
  // The marks of the music font inside their holder, the holder's own marks first.
  auto write_marks = [&](const char* holder, const std::function<void()>& own) {
    o.start(holder);
    own();
    for (const NoteMark& m : cc.marks) {
      if (std::strcmp(m.holder, holder) != 0) continue;
      o.start(m.name);
      if (m.type) {
        o.attr("type", m.type);
        o.attr("number", 1L);
      }
      if (m.y != INT32_MIN) o.attr("default-y", long(m.y));
      if (std::strcmp(holder, "articulations") != 0)
        o.attr("placement", m.below ? "below" : "above");
      o.end();
    }
    o.end();
  };
  const bool ornaments = has_marks("ornaments") || tremolo || pair;
  const bool technical = has_marks("technical") || string;
  const bool articulated = articulations || has_marks("articulations");
  if (!articulated && !tie_stop && !tie_start && !slurs && !n->get(xferm) && !ornaments &&
      !technical && !gliss_start && !gliss_stop && !arpeggiate && !tuplets)
    return;
  o.start("notations");
  if (articulated) {
    write_marks("articulations", [&] {
      if (!articulations) return;
      if (accent == 1) o.empty("accent");
      if (accent >= 2) o.empty("strong-accent");
      if (n->get(xstacc)) o.empty(staccatissimo ? "staccatissimo" : "staccato");
      if (n->get(xtenu)) o.empty("tenuto");
    });
  }
  if (technical && !string) write_marks("technical", [] {});
  if (string) {  // the chord's marks go with its first note only
    o.start("technical");
    o.number("string", string);
    if (fretted) o.number("fret", std::max(check_tab_string(n, string), 0));
    for (const NoteMark& m : cc.marks) {
      if (!first || std::strcmp(m.holder, "technical") != 0) continue;
      o.start(m.name);
      o.attr("placement", m.below ? "below" : "above");
      o.end();
    }
    o.end();
  }
  if (gliss_stop) {
    o.start("glissando");
    o.attr("type", "stop");
    o.end();
  }
  if (gliss_start) {
    o.start("glissando");
    o.attr("type", "start");
    o.attr("line-type", "solid");
    o.end();
  }
  if (arpeggiate) o.empty("arpeggiate");
  for (auto [on, type] : {std::pair{tie_stop, "stop"}, std::pair{tie_start, "start"}}) {
    if (!on) continue;
    o.start("tied");
    o.attr("type", type);
    // A tie asked to curve one way keeps that way.
    const bool starts = std::strcmp(type, "start") == 0;
    if (starts && n->get(xtie) == 2) o.attr("orientation", "over");
    if (starts && n->get(xtie) == 1) o.attr("orientation", "under");
    o.end();
  }
  if (first && cc.slur_stop) {
    o.start("slur");
    o.attr("type", "stop");
    o.attr("number", long(cc.slur_stop));
    o.end();
  }
  if (first && cc.slur_start) {
    o.start("slur");
    o.attr("type", "start");
    o.attr("number", long(cc.slur_start));
    if (cc.slur_side == 2) o.attr("orientation", "over");
    if (cc.slur_side == 1) o.attr("orientation", "under");
    o.end();
  }
  if (tuplets) tuplet_marks(cc.tuplets);
  if (n->get(xferm)) o.empty("fermata");
  if (ornaments) {
    write_marks("ornaments", [&] {
      if (pair) {
        o.start("tremolo");
        o.attr("type", n->get(xcbeam) ? "start" : "stop");
        xml_add_text(o.w, std::to_string(pair_strokes).c_str());
        o.end();
      }
      if (!tremolo) return;
      o.start("tremolo");
      o.attr("type", "single");
      xml_add_text(o.w, std::to_string(tremolo).c_str());
      o.end();
    });
  }
  o.end();
}

// A tuplet's start or stop; a tuplet inside another, and the one around it, with their own
// ratios (the note's time-modification is their product).
void Exporter::tuplet_marks(const std::vector<ExportTupletMark>& marks) {
  for (const ExportTupletMark& m : marks) {
    o.start("tuplet");
    o.attr("type", m.start ? "start" : "stop");
    o.attr("number", long(m.number));
    if (m.start && m.bracket >= 0) o.attr("bracket", m.bracket ? "yes" : "no");
    if (m.start && !m.number_shown) o.attr("show-number", "none");
    if (m.own_ratio) {
      for (auto [name, count] :
           {std::pair{"tuplet-actual", m.actual}, {"tuplet-normal", m.normal}}) {
        o.start(name);
        o.number("tuplet-number", count);
        o.end();
      }
    }
    o.end();
  }
}

// ---- Directions and lyrics --------------------------------------------------------------------

bool above_staff(int32_t y) { return y > STAFF_TOP_TO_MIDDLE; }

void Exporter::direction_start(bool above) {
  o.start("direction");
  o.attr("placement", above ? "above" : "below");
  o.start("direction-type");
}

// Closes the direction-type and the direction, naming the voice's own staff: at a chord the
// voice writes on another staff, its directions are still those of its own. (`staff`, 0 and
// up: another staff it names; `back` the divisions it stands before where it is written.)
void Exporter::direction_end(const VoiceState& vs, int staff, long back) {
  o.end();
  if (back) o.number("offset", -back);
  if (multi_staff()) o.number("staff", (staff >= 0 ? staff : vs.home) + 1);
  o.end();
}

// A hidden metronome text is a tempo for the performance only: a sound of its tempo in
// quarter notes a minute, which shows no mark. Other hidden texts are not written.
void Exporter::hidden_tempo(Drosa anno) {
  double bpm = 0;
  int32_t unit = 0, dots = 0;
  if (!parse_metronome_text(anno, &bpm, &unit, &dots) || unit < 1 || unit > 6 || !(bpm > 0)) return;
  double quarters = bpm * std::ldexp(1.0, 3 - unit);
  if (dots == 1) quarters *= 1.5;
  if (dots >= 2) quarters *= 1.75;
  char tempo[32];
  std::snprintf(tempo, sizeof tempo, "%.6g", quarters);
  o.start("sound");
  o.attr("tempo", tempo);
  o.end();
}

// Whether a pedal line begins at the note.
bool pedal_line_begins_at(Drosa note) {
  for (Drosa p = note ? note->xback : NIL; p && p->xkind != NOTE; p = p->xback)
    if (p->xkind == LINE && p->get(xmetaline) == LINE_PEDAL && p->get(xline_ord) == LINE_BEGIN)
      return true;
  return false;
}

// A pedal line's first segment presses the pedal at its chord; its last releases it when the
// chord's time is over (at the next chord, or the bar line): a change where the next line
// begins at the voice's next note.
void Exporter::pedal_line(VoiceState& vs, Drosa line, Drosa next) {
  constexpr int FROM_STAFF = 5, UNITS_PER_TENTH = 5;
  const int role = line->get(xline_ord);
  const bool above = above_staff(line->get(xstarty));
  if (role == LINE_BEGIN || role == LINE_WHOLE) {
    direction_start(above);
    o.start("pedal");
    o.attr("type", vs.pedal_change ? "change" : "start");
    vs.pedal_change = false;
    o.attr("line", "yes");
    const int rely = line->get(xline_rely);
    if (rely == FROM_STAFF || (rely == 0 && line->get(xline_fromstaff)))
      o.attr("default-y", std::lround(line->get(xstarty) / double(UNITS_PER_TENTH)));
    o.end();
    direction_end(vs);
  }
  if (role != LINE_END && role != LINE_WHOLE) return;
  if (pedal_line_begins_at(next))
    vs.pedal_change = true;
  else
    vs.pedal_stop = true, vs.pedal_above = above;
}

// An octave line names the staff of the chord it begins at (`from`, its first note), where the
// height of its words (`y`, INT32_MIN none) counts from: named by the voice's own, it was read
// back over that staff, away from its notes. One that goes on over notes the voice writes on
// another staff names the voice's own, as the notes it reaches are taken (named by the first,
// it was read back ending before them, which then printed an octave away); its words' height,
// counted from the chord's staff, is left to the reader.
void Exporter::octave_shift_start(VoiceState& vs, bool above, int octaves, int size, Drosa from,
                                  int32_t y) {
  int staff = vs.staff;
  if (vs.staff != vs.home && octave_line_leaves_staff(*ps.part, from, vs.staff))
    staff = vs.home, y = INT32_MIN;
  direction_start(above);
  o.start("octave-shift");
  o.attr("type", octaves < 0 ? "down" : "up");
  o.attr("size", long(size));
  if (y != INT32_MIN) o.attr("default-y", tenths_text(y).c_str());
  o.end();
  direction_end(vs, staff);
  vs.octave_staff = staff;
  vs.octaves = octaves;
  vs.octave_size = size;
}

// `number` 0: none (the first hairpin, alone); `y` the height of its middle over the staff's top
// line, INT32_MIN none; `back` the divisions it begins before where it is written.
void Exporter::wedge_direction(const VoiceState& vs, bool above, const char* type, int number,
                               int32_t y, long back) {
  direction_start(above);
  o.start("wedge");
  o.attr("type", type);
  if (number) o.attr("number", long(number));
  if (y != INT32_MIN) o.attr("default-y", tenths_text(y).c_str());
  o.end();
  direction_end(vs, -1, back);
}

// The end of the open hairpin of the line's heights (else of the first begun), with its number
// while another is open.
void Exporter::wedge_stop(const VoiceState& vs, bool above, Drosa line) {
  auto& open = ps.wedges_open;
  if (open.empty()) return;
  auto it = std::find_if(open.begin(), open.end(), [&](const PartState::OpenWedge& w) {
    return w.starty == line->get(xstarty) && w.endy == line->get(xendy);
  });
  if (it == open.end()) it = open.begin();
  wedge_direction(vs, above, "stop", it->number > 1 || open.size() > 1 ? it->number : 0);
  open.erase(it);
}

// A hairpin's start or end. The ends are counted for the part: a hairpin may end in another
// voice than the one it began in. Hairpins open at once are numbered: read back, one begun
// would end the one open of its number. `back`: written after its chord, the chord's divisions.
void Exporter::wedge(VoiceState& vs, Drosa line, long back) {
  const int ord = line->get(xline_ord);
  const bool above = above_staff(line->get(xstarty));
  if (ord == LINE_END) {
    wedge_stop(vs, above, line);
    return;
  }
  if (ord != LINE_BEGIN && ord != LINE_WHOLE) return;
  int number = 1;
  while (std::any_of(ps.wedges_open.begin(), ps.wedges_open.end(),
                     [&](const PartState::OpenWedge& w) { return w.number == number; }))
    ++number;
  // Its height, where it is not the one the import gives a hairpin of its side: read back there,
  // it reached further from its staff and the staves came apart for it. One leg is drawn, the
  // other mirrors it about the closed end, where the middle stands. (At a chord on another
  // staff its height counts from that staff, not from the one it names.)
  const bool crescendo = line->get(xendy) > 0;
  const int32_t middle = line->get(xstarty) + (crescendo ? 0 : line->get(xendy));
  const int rely = line->get(xline_rely);
  const bool from_staff = rely == LINE_FROM_STAFF || (rely == 0 && line->get(xline_fromstaff));
  wedge_direction(vs, above, crescendo ? "crescendo" : "diminuendo",
                  number > 1 || !ps.wedges_open.empty() ? number : 0,
                  from_staff && vs.staff == vs.home &&
                          middle != (above ? HAIRPIN_ABOVE_Y_READ : HAIRPIN_BELOW_Y_READ)
                      ? middle
                      : INT32_MIN,
                  back);
  ps.wedges_open.push_back({number, line->get(xstarty), line->get(xendy)});
  if (ord == LINE_WHOLE) {
    vs.wedge_whole = true;
    vs.wedge_above = above;
    vs.wedge_line = line;
  }
}

// A chord symbol as a harmony: the root's letter and its accidentals, the bass's after the last
// slash, and between them the text of its kind ("m7(b5)"), of kind "other" (the text says
// what it is); "N.C." a harmony of kind "none". False, with nothing written, for a text that
// does not begin with a root: it goes as words.
// With no symbol, a harmony of kind "none" that shows nothing but its grid.
bool Exporter::harmony(const VoiceState& vs, Drosa symbol, bool above, const GridFrame* grid) {
  const std::vector<SymbolChar> chars =
      symbol ? chord_symbol_chars(symbol) : std::vector<SymbolChar>();
  const size_t n = chars.size();
  auto letter = [&](size_t i) {
    return i < n && !chars[i].accidental && chars[i].c >= 'A' && chars[i].c <= 'G';
  };
  // A letter, then its accidentals: where they end, and their alteration.
  auto step = [&](size_t i, int* alter) {
    for (*alter = 0, ++i; i < n && chars[i].accidental; ++i) *alter += chars[i].alter;
    return i;
  };
  const bool no_chord = !symbol || chord_symbol_text(chars, 0, n, true) == "N.C.";
  int root_alter = 0, bass_alter = 0;
  const size_t kind_from = no_chord ? n : step(0, &root_alter);
  if (!no_chord && (!letter(0) || std::abs(root_alter) > 2)) return false;
  size_t kind_to = n;
  for (size_t slash = n; slash-- > kind_from;) {
    if (chars[slash].accidental || chars[slash].c != '/') continue;
    if (letter(slash + 1) && step(slash + 1, &bass_alter) == n && std::abs(bass_alter) <= 2)
      kind_to = slash;
    break;
  }
  const std::string kind = chord_symbol_text(chars, kind_from, kind_to, true);
  o.start("harmony");
  o.attr("placement", above ? "above" : "below");
  o.start("root");
  o.text("root-step", no_chord ? "C" : std::string(1, chars[0].c).c_str());
  if (root_alter) o.number("root-alter", root_alter);
  o.end();
  o.start("kind");
  o.attr("text", !symbol ? "" : no_chord ? "N.C." : kind.c_str());
  xml_add_text(o.w, no_chord ? "none" : kind.empty() ? "major" : "other");
  o.end();
  if (kind_to < n) {
    o.start("bass");
    o.text("bass-step", std::string(1, chars[kind_to + 1].c).c_str());
    if (bass_alter) o.number("bass-alter", bass_alter);
    o.end();
  }
  if (grid) frame(*grid);
  if (multi_staff()) o.number("staff", vs.home + 1);
  o.end();
  return true;
}

// A fret grid as a chord diagram: six strings, five frets, a note for each string held or open
// (strings counted from the highest; a muted one has none), and barres as notes where they
// start and stop. A string's barre notes come before its dot, so that a reader takes the dot
// as the string's fret, and a barre's stop before another's start.
//  - A string with no note is shown muted unless the frame says to show it unplayed with no
//    mark: it says so when the grid marks no string muted and leaves one without a mark.
//  - A grid with no nut at the first fret, or with no number beside it, gives the first fret
//    the text shown beside it ("" for none): a first fret with no text of its own at 1 is read
//    as a grid with a nut.
void Exporter::frame(const GridFrame& f) {
  constexpr int STRINGS = 6;
  auto fret = [&](int row) { return row == 0 ? 0 : f.first_fret + row - 1; };
  // The barre from string i to the next (the last string's joins nothing).
  auto bar = [&](int i) { return i >= 0 && i < STRINGS - 1 ? int(f.grid.bar[i]) : 0; };
  auto note = [&](int string, int row, const char* barre) {
    o.start("frame-note");
    o.number("string", string);
    o.number("fret", fret(row));
    if (barre) {
      o.start("barre");
      o.attr("type", barre);
      o.end();
    }
    o.end();
  };
  o.start("frame");
  const auto& dots = f.grid.dot;
  if (std::count(dots, dots + STRINGS, -1) && !std::count(dots, dots + STRINGS, -2))
    o.attr("unplayed", "");
  o.number("frame-strings", STRINGS);
  o.number("frame-frets", 5);
  if (!f.grid.nut && (!f.numbered || f.first_fret == 1)) {
    o.start("first-fret");
    o.attr("text", f.numbered ? "1" : "");
    xml_add_text(o.w, std::to_string(f.first_fret).c_str());
    o.end();
  } else if (f.first_fret > 1) {
    o.number("first-fret", f.first_fret);
  }
  for (int i = 0; i < STRINGS; ++i) {
    const int string = STRINGS - i, dot = f.grid.dot[i];
    const int stop = bar(i - 1) > 0 && bar(i - 1) != bar(i) ? bar(i - 1) : 0;
    const int start = bar(i) > 0 && bar(i - 1) != bar(i) ? bar(i) : 0;
    // The dot carries the last barre mark of its string when they are at one fret.
    const int last = start ? start : stop;
    const bool joined = dot > 0 && dot == last;
    if (stop && !(joined && !start)) note(string, stop, "stop");
    if (start && !joined) note(string, start, "start");
    if (dot >= 0) note(string, dot, joined ? (start ? "start" : "stop") : nullptr);
  }
  o.end();
}

// Whether a hairpin begun at a chord of several notes stands on another line than a dynamic of
// its side there. Written before the chord, it was read back on the dynamic's line; written
// after it, taken back to its start, it is read where it stood, as a reader places a hairpin
// begun while its chord sounds (past the heads, at its own height).
bool hairpin_beside_dynamic(const Chord& notes, Drosa line) {
  if (notes.size() < 2) return false;
  const int rely = line->get(xline_rely);
  if (rely != LINE_FROM_STAFF && !(rely == 0 && line->get(xline_fromstaff))) return false;
  const int32_t middle = line->get(xstarty) + (line->get(xendy) > 0 ? 0 : line->get(xendy));
  for (const ChordNote& cn : notes)
    for (Drosa a : cn.attached) {
      if (a->xkind == LINE || !a->get(xfromstaff)) continue;
      const int d = dynamic_index(cn.note, a, nullptr);
      if (d < 0 || d >= 20) continue;
      // The middle of its letters, as the reader takes a hairpin's line from them.
      const int32_t letters = a->get(xtexty) + DYNAMIC_LETTERS_MIDDLE;
      if ((letters + VERTICAL_ORIGIN >= 0) == (middle + VERTICAL_ORIGIN >= 0) && letters != middle)
        return true;
    }
  return false;
}

// The end, at the same chord, of a hairpin that begins there (inside one held note): the first
// end after it of its heights.
Drosa hairpin_end_at_chord(const Chord& notes, Drosa begin) {
  bool after = false;
  for (const ChordNote& cn : notes)
    for (Drosa a : cn.attached) {
      if (a == begin) after = true;
      if (after && a->xkind == LINE && a->get(xmetaline) == LINE_HAIRPIN &&
          a->get(xline_ord) == LINE_END && a->get(xstarty) == begin->get(xstarty) &&
          a->get(xendy) == begin->get(xendy))
        return a;
    }
  return NIL;
}

void Exporter::directions(VoiceState& vs, const Chord& notes, ChordContext& cc) {
  // An octave line begun at this rest, before the chord its words stand at.
  if (const auto early = octave_lines.early.find(notes[0].note.handle());
      early != octave_lines.early.end()) {
    octave_shift_start(vs, early->second.above, early->second.octaves, early->second.size,
                       notes[0].note);
  }
  // A hairpin drawn whole ends at the chord after it.
  if (vs.wedge_whole) {
    wedge_stop(vs, vs.wedge_above, vs.wedge_line);
    vs.wedge_whole = false;
  }
  std::set<uint32_t> ended;  // hairpin ends written with their beginnings, by handle
  for (const ChordNote& cn : notes) {
    Drosa n = cn.note;
    // Fret grids go into the harmonies of the note's chord symbols, one each; one left over is
    // a harmony of its own. A grid that shows no string is passed over: a frame must hold a
    // note, and a reader that checks the document refuses one that holds none.
    std::vector<GridFrame> grids;
    for (Drosa a : cn.attached) {
      if (GridFrame f; grid_frame_of(a, &f) && shows_a_string(f.grid)) {
        f.above = above_staff(a->get(xtexty));
        grids.push_back(f);
      }
    }
    size_t grids_written = 0;
    for (Drosa a : cn.attached) {
      if (a->xkind == LINE) {
        if (a->get(xmetaline) == LINE_TRILL) trill_line(a, cc);
        if (a->get(xmetaline) == LINE_PEDAL) pedal_line(vs, a, cc.next_note);
        if (a->get(xmetaline) == LINE_HAIRPIN && !ended.count(a.handle())) {
          // Ended at once: the next hairpin begun at the chord would end it, read back.
          Drosa end = a->get(xline_ord) == LINE_BEGIN ? hairpin_end_at_chord(notes, a) : NIL;
          if (end) ended.insert(end.handle());
          // (One that ends at the chord too goes so only at the measure's end: its end, read
          // after the chord, would go to the voice's next chord.)
          if (a->get(xline_ord) != LINE_END && (!end || cc.last) && cc.duration > 0 &&
              vs.staff == vs.home && hairpin_beside_dynamic(notes, a)) {
            vs.hairpins_back.emplace_back(a, end);
            continue;
          }
          wedge(vs, a);
          if (end) wedge(vs, end);
        }
        if (a->get(xmetaline) == LINE_RIGHT_BRACKET && a->get(xline_ord) == LINE_END && vs.octaves)
          vs.octave_stop = true;
        continue;
      }
      const int c = anno_class(a);
      if (a->get(xhidden) && c != CLASS_LYRIC && !title_class(c)) {
        hidden_tempo(a);
        continue;
      }
      if (c == CLASS_LYRIC || title_class(c)) continue;
      if (is_ending_number(a)) continue;  // written with its bar lines
      if (GridFrame f; grid_frame_of(a, &f)) continue;
      int code = 0;
      anno_kind_code(a, n, &code);
      if (code == 1 || code == 12) continue;  // commands to the program, not music
      const bool above = above_staff(a->get(xtexty));
      if (const int d = dynamic_index(n, a, nullptr); d >= 0 && d < 20) {
        direction_start(above);
        o.start("dynamics");
        // At another height than the import gives dynamics, with it: read back at that height,
        // the words kept clear of it at this one met it and were moved past it. (At a chord on
        // another staff its height counts from that staff, not from the one it names.)
        if (const int32_t y = a->get(xtexty);
            a->get(xfromstaff) && vs.staff == vs.home &&
            y != (above ? DYNAMICS_ABOVE_Y_READ : DYNAMICS_BELOW_Y_READ))
          o.attr("default-y", tenths_text(y).c_str());
        // Its x from the note, where it stands elsewhere: read back at the import's x, it met
        // words standing beside it and moved them.
        if (const int32_t x = a->get(xtextx); x != DYNAMICS_X_READ && !a->get(xpagemargin))
          o.attr("default-x", tenths_text(x).c_str());
        if (d == 10)
          o.text("other-dynamics", DYNAMIC_NAMES[d]);
        else
          o.empty(dynamic_name(a, d));
        o.end();
        direction_end(vs);
        continue;
      }
      if (const int pedal = anno_is_pedal(n, a)) {
        direction_start(above);
        o.start("pedal");
        // A change releases and presses again in one mark.
        const char* type = pedal != 606 ? "stop" : anno_is_pedal_change(n, a) ? "change" : "start";
        o.attr("type", type);
        o.end();
        direction_end(vs);
        continue;
      }
      double bpm = 0;
      int32_t unit = 0, dots = 0;
      const Drosa mark = parse_metronome_text(a, &bpm, &unit, &dots);
      if (mark && unit >= 1 && unit <= 6 && bpm > 0) {
        // Words the mark runs on from (and its opening parenthesis) are runs before it.
        std::string words;
        for (Drosa run = a; run && run != mark; run = next_style_run(run)) words += run_text(run);
        const size_t end = words.find_last_not_of(' ');
        words.erase(end == std::string::npos ? 0 : end + 1);
        const bool parentheses = !words.empty() && words.back() == '(';
        if (parentheses) words.pop_back();
        direction_start(above);
        // The mark's place where it stands elsewhere than the import places one (on the
        // words it runs on from, when it has them): read back there, it met the words
        // standing over it and moved them.
        const bool has_words = words.find_first_not_of(' ') != std::string::npos;
        const int32_t x = a->get(xtextx), y = a->get(xtexty);
        const bool placed = a->get(xfromstaff) && !a->get(xpagemargin) && !a->get(xfooter);
        auto place = [&] {
          if (placed && x != (has_words ? WORDS_X_READ : TEMPO_X_READ))
            o.attr("default-x", tenths_text(x).c_str());
          if (placed && y != (above ? WORDS_ABOVE_Y_READ : WORDS_BELOW_Y_READ))
            o.attr("default-y", tenths_text(y).c_str());
        };
        if (has_words) {
          o.start("words");
          place();
          xml_add_text(o.w, utf8(words).c_str());
          o.end();
          o.end();
          o.start("direction-type");
        }
        o.start("metronome");
        if (!has_words) place();
        o.attr("parentheses", parentheses ? "yes" : "no");
        o.text("beat-unit", TYPE_NAMES[unit]);
        for (int d = 0; d < dots; ++d) o.empty("beat-unit-dot");
        char number[32];
        const bool whole = bpm == std::floor(bpm);
        std::snprintf(number, sizeof number, "%.*f", whole ? 0 : 6, bpm);
        o.text("per-minute", number);
        o.end();
        // Words the mark runs on into, after its number (and its closing parenthesis).
        std::string after;
        for (Drosa run = next_style_run(mark); run; run = next_style_run(run))
          after += run_text(run);
        size_t at = after.find('=');
        at = at == std::string::npos ? after.size() : after.find_first_not_of(' ', at + 1);
        while (at < after.size() &&
               (std::isdigit(static_cast<unsigned char>(after[at])) || after[at] == '.'))
          ++at;
        after.erase(0, std::min(at, after.size()));
        if (parentheses && !after.empty() && after[0] == ')') after.erase(0, 1);
        if (after.find_first_not_of(' ') != std::string::npos) {
          o.end();
          o.start("direction-type");
          o.start("words");
          xml_add_text(o.w, utf8(after).c_str());
          o.end();
        }
        direction_end(vs);
        continue;
      }
      if (NoteMark mark; notation_mark_of(n, a, &mark)) {
        cc.marks.push_back(mark);
        continue;
      }
      // The stroke through an inverted turn.
      if (run_text(a) == "|" && !next_style_run(a) && !cc.marks.empty()) {
        const char* turn = cc.marks.back().name;
        if (std::strcmp(turn, "turn") == 0) cc.marks.back().name = "inverted-turn";
        if (std::strcmp(turn, "delayed-turn") == 0) cc.marks.back().name = "delayed-inverted-turn";
        continue;
      }
      if (is_sign(a, P_ARPEGGIATION_CHARACTER)) {
        cc.arpeggiate = true;
        continue;
      }
      if (is_sign(a, P_FERMATA_ABOVE_NOTE) || is_sign(a, P_FERMATA_BELOW_NOTE)) {
        bar_fermata = is_sign(a, P_FERMATA_ABOVE_NOTE) ? "upright" : "inverted";
        continue;
      }
      if (const char* sign = repeat_sign_element(a)) {
        direction_start(above);
        o.empty(sign);
        direction_end(vs);
        continue;
      }
      const int font = a->get(xtextfont);
      // Glyphs of a music font are no text, but for the accidentals of words.
      if (font >= -3 && font <= -1 && accidental_characters(a).empty()) continue;
      const std::string text = utf8(anno_text(a));
      if (text.find_first_not_of(" \n") == std::string::npos) continue;
      // The words and dashed line of an octave line: its notes are written as they sound.
      if (int size = 0, octaves = octave_words(text, &size); octaves && begins_octave_line(notes)) {
        if (!octave_lines.begun_early.count(notes[0].note.handle()))
          octave_shift_start(vs, above, octaves, size, notes[0].note, a->get(xtexty));
        continue;
      }
      const GridFrame* grid = grids_written < grids.size() ? &grids[grids_written] : nullptr;
      if (c == CLASS_CHORD_SYMBOL && harmony(vs, a, above, grid)) {
        grids_written += grid != nullptr;
        continue;
      }
      direction_start(above);
      // Words of several styles: a words element a run, each later one running on. A chord
      // symbol is one, its accidentals among its letters; so are words holding accidentals.
      std::string signed_words;
      bool signed_ = false;
      for (Drosa run = a; run; run = next_style_run(run)) {
        const int run_font = run->get(xtextfont);
        const std::string signs =
            run_font >= -3 && run_font <= -1 ? accidental_characters(run) : "";
        signed_ |= !signs.empty();
        signed_words += signs.empty() ? utf8(run_text(run)) : signs;
      }
      if (!signed_) signed_words.clear();
      const bool whole = c == CLASS_REHEARSAL || c == CLASS_CHORD_SYMBOL || !signed_words.empty();
      // A text moved sideways from its note (placed by a click away from it) keeps its x,
      // counted from the note, on each of its runs: without it the text came back at the note.
      const int32_t x = a->get(xtextx);
      const bool page_locked = a->get(xpagemargin) || a->get(xfooter);
      const int32_t x_read = c == CLASS_REHEARSAL ? REHEARSAL_X_READ : WORDS_X_READ;
      std::string default_x;
      if (!page_locked && x != x_read) default_x = tenths_text(x);
      // Words at another height than the import gives words of their side are written with
      // it: read back at the import's height, they met the marks standing there and were moved
      // past them (words under a tempo mark came back over it).
      const int32_t y = a->get(xtexty);
      std::string default_y;
      if (!page_locked && c != CLASS_REHEARSAL && a->get(xfromstaff) &&
          y != (above ? WORDS_ABOVE_Y_READ : WORDS_BELOW_Y_READ))
        default_y = tenths_text(y);
      for (Drosa run = a; run; run = whole ? NIL : next_style_run(run)) {
        const int run_font = run->get(xtextfont);
        const std::string words = c == CLASS_REHEARSAL ? text
                                  : c == CLASS_CHORD_SYMBOL
                                      ? chord_symbol_text(chord_symbol_chars(a), 0, SIZE_MAX, false)
                                  : !signed_words.empty()            ? signed_words
                                  : run_font >= -3 && run_font <= -1 ? tempo_note_characters(run)
                                                                     : utf8(run_text(run));
        if (words.empty()) continue;
        o.start(c == CLASS_REHEARSAL ? "rehearsal" : "words");
        if (!default_x.empty()) o.attr("default-x", default_x.c_str());
        if (!default_y.empty()) o.attr("default-y", default_y.c_str());
        styled_words(o, run, words);
      }
      direction_end(vs);
    }
    for (size_t g = grids_written; g < grids.size(); ++g)
      harmony(vs, NIL, grids[g].above, &grids[g]);
  }
}

void Exporter::lyrics(VoiceState& vs, const std::vector<Drosa>& attached) {
  for (Drosa a : attached) {
    if (a->xkind != TPARAM || anno_class(a) != CLASS_LYRIC || a->get(xhidden)) continue;
    std::string text = anno_text(a);
    const int size = std::max<int>(a->get(xtextsize), 1);
    const int32_t y = a->get(xtexty);
    const int line =
        std::clamp(int(std::lround(double(LYRIC_FIRST_LINE_Y - y) / (10.0 * size))) + 1, 1, 20);
    bool extend = false, more = false;
    while (!text.empty() && (text.back() == '_' || text.back() == '-')) {
      (text.back() == '_' ? extend : more) = true;
      text.pop_back();
    }
    if (vs.syllable.size() <= size_t(line)) vs.syllable.resize(size_t(line) + 1, false);
    const bool after = vs.syllable[size_t(line)];
    vs.syllable[size_t(line)] = more;
    if (utf8(text).empty() && !extend) continue;
    o.start("lyric");
    o.attr("number", long(line));
    if (const int colour = a->get(xtext_color)) {
      const RgbColour c = prefs.colour(colour);
      char hex[8];
      std::snprintf(hex, sizeof hex, "#%02X%02X%02X", c.red >> 8, c.green >> 8, c.blue >> 8);
      o.attr("color", hex);
    }
    // Syllables sung on one note are written apart, an elision between them; the first may
    // end a word, the last begin one.
    for (size_t from = 0, at = 0; from <= text.size() && !utf8(text).empty(); from = at + 1) {
      at = std::min(text.find(LYRIC_ELISION, from), text.size());
      const bool ends = from == 0 && after, begins = at == text.size() && more;
      if (from > 0) o.text("elision", "\u203F");
      o.text("syllabic", ends ? (begins ? "middle" : "end") : (begins ? "begin" : "single"));
      o.text("text", utf8(text.substr(from, at - from)));
    }
    if (extend) o.empty("extend");
    o.end();
  }
}

}  // namespace

int export_musicxml_to_writer(XmlWriter& writer) {
  const int16_t context = current_ncontext;
  current_ncontext = 1;
  Exporter(writer).document();
  current_ncontext = context;
  return writer.write_failed ? 0 : 1;
}

namespace {

void report_export_failure(const std::string& why) {
  REPORT_ERROR(2, "Exporting MusicXML: %s", why.c_str());
}

}  // namespace

int export_musicxml_file(const std::string& path) {
  const PlatformReplaceOptions options;
  PlatformReplacement replacement;
  PlatformFileProblem why;
  if (!platform_replace_begin(path, options, &replacement, &why)) {
    report_export_failure(file_problem_text(why));
    return 0;
  }
  // The writer closes its own descriptor of the new file; the replacement keeps the file open
  // until it has its name.
  const int file = platform_file_duplicate(replacement.fd);
  XmlWriter writer;
  xml_writer_init(writer, 16, 32);
  if (file < 0 || !xml_writer_open_refnum(writer, file)) {
    platform_replace_abandon(&replacement);
    xml_writer_free(writer);
    REPORT_ERROR(2, "Could not open XML file for writing.");
    return 0;
  }
  const int written = export_musicxml_to_writer(writer);
  int error_number = written ? 0 : errno;
  const int closed = xml_writer_close(writer);
  if (!closed && !error_number) error_number = errno;
  xml_writer_free(writer);
  if (!written || !closed) {
    platform_replace_abandon(&replacement);
    why = PlatformFileProblem{};
    why.error_number = error_number ? error_number : EIO;
    why.path = replacement.target;
    why.writing = true;
    report_export_failure(file_problem_text(why));
    return 0;
  }
  if (!platform_replace_finish(&replacement, options, &why)) {
    report_export_failure(file_problem_text(why));
    return 0;
  }
  return 1;
}

int export_musicxml() {
  if (!save_file_dialog(FILE_MUSICXML, 0, 0)) return 0;
  const std::string path = *file_spec_of_kind(FILE_MUSICXML);
  const int32_t cursor = current_cursor_id;
  set_cursor(CURSOR_ID_WATCH);
  const int done = export_musicxml_file(path);
  set_cursor(cursor);
  return done;
}
