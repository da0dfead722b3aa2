// key_transpose.cpp: notes and chord symbols moved from one key signature into another.
//
// A key is located by its tonic, read from its last entry (the naturals that cancel an
// earlier key come first, so the last entry is one of the key's own accidentals). A written
// note moves by the diatonic distance between the tonics and takes the accidental that keeps
// its place in the scale: the new key's accidental for the new step, less the old key's for
// the old step, added to its own.
//
// A chord symbol is a text annotation whose letter names are characters of its TEXT nodes; an
// accidental after a letter is a character of a style run of its own in the font of one of
// the chord-symbol accidental parameters (584..588) or the note accidental parameters (25..29).
#include "editing/key_transpose.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "editing/acc.h"
#include "graphics/ge_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"

namespace {

constexpr int FLAT = 2, NATURAL = 3, SHARP = 4;
constexpr int KEY_ENTRIES = 14;
constexpr int CHORD_SYMBOL_CLASS = 11;
// The flat, natural and sharp of an alteration ("C7(\alt-9)"), which no letter carries.
constexpr int ALTERATION_GLYPHS[] = {P_FLAT_FOR_CHORD_SYMBOL_ALTERATIONS, P_NATURAL_FOR_ALTERATIONS,
                                     P_SHARP_FOR_CHORD_SYMBOL_ALTERATIONS};

int32_t floor_mod(int32_t a, int32_t b) { return ((a % b) + b) % b; }
int32_t floor_div(int32_t a, int32_t b) { return (a - floor_mod(a, b)) / b; }

int entry_count(Drosa key) { return std::min<int>(key->get(xkeycnt), KEY_ENTRIES); }

uint16_t clamp_pitch(int32_t pitch) { return uint16_t(std::clamp<int32_t>(pitch, 0, 0x7FC7)); }

// ---- A place in a chord symbol's text -------------------------------------------------------

struct TextPlace {
  Drosa run, text;
  int index = 0;
  explicit operator bool() const { return bool(text); }
  char character() const {
    const std::string s = text->get(xtext);
    return index < int(s.size()) ? s[index] : 0;
  }
};

TextPlace next_place(TextPlace at) {
  if (!next_anno_in_group(&at.run, &at.text, &at.index)) return {};
  return at;
}

TextPlace skip_blanks(TextPlace at) {
  while (at && at.character() == ' ') at = next_place(at);
  return at;
}

// The accidental code (1..5) a character stands for in its run's font, 0 for none.
int accidental_of(const TextPlace& at, Drosa note) {
  const uint8_t c = uint8_t(at.character());
  const int32_t font = font_from_code(at.run->get(xtextfont));
  for (int base : {P_DOUBLE_FLAT_FOR_CHORD_SYMBOLS - 1, P_DOUBLE_FLAT - 1})
    for (int code = 1; code <= 5; ++code) {
      const ParamValue* p = param_value(base + code, note, nullptr);
      if (p->character() == c && font_from_code(p->font()) == font) return code;
    }
  return 0;
}

// Whether a character is an alteration's flat, natural or sharp in its run's font.
bool is_alteration(const TextPlace& at, Drosa note) {
  const uint8_t c = uint8_t(at.character());
  const int32_t font = font_from_code(at.run->get(xtextfont));
  for (int pindex : ALTERATION_GLYPHS) {
    const ParamValue* p = param_value(pindex, note, nullptr);
    if (p->character() == c && font_from_code(p->font()) == font) return true;
  }
  return false;
}

void set_character(const TextPlace& at, char c) {
  std::string s = at.text->get(xtext);
  if (at.index >= int(s.size())) return;
  modifyvc_with_undo(at.text);
  s[size_t(at.index)] = c;
  at.text->set(xtext, s.c_str());
}

// The run's font, size and face become those of the accidental's parameter.
void take_accidental_style(Drosa run, int code, Drosa note) {
  const ParamValue* p = param_value(P_DOUBLE_FLAT_FOR_CHORD_SYMBOLS - 1 + code, note, nullptr);
  run->set(xtextfont, p->font());
  run->set(xtextsize, p->size());
  run->set(xtextface, p->style());
}

// The text of the run is just this one character, standing at its start.
bool alone_in_its_run(const TextPlace& at) {
  if (at.index != 0 || !at.run->get(xadjacent)) return false;
  const std::string s = at.text->get(xtext);
  return s.size() == 1 && run_text(at.run).size() == 1;
}

void remove_accidental(const TextPlace& at) {
  if (alone_in_its_run(at)) {
    removevc_with_undo(at.text);
    removevc_with_undo(at.run);
    return;
  }
  std::string s = at.text->get(xtext);
  if (s.size() <= 1) {
    removevc_with_undo(at.text);
    return;
  }
  modifyvc_with_undo(at.text);
  s.erase(size_t(at.index), 1);
  at.text->set(xtext, s.c_str());
}

// A run of its own holding the accidental goes right after the letter; the letter's text
// after it moves into a TEXT node of a further copy of the letter's run.
void insert_accidental(const TextPlace& letter, int code, Drosa note) {
  const std::string s = letter.text->get(xtext);
  Drosa anchor = letter.text;
  if (letter.index + 1 < int(s.size())) {
    modifyvc_with_undo(letter.text);
    letter.text->set(xtext, s.substr(0, size_t(letter.index) + 1).c_str());
    Drosa rest_run = copyDrosa(letter.run);
    rest_run->set(xadjacent, 1);
    Drosa rest = newDrosa(TEXT, letter.text->xcontext);
    rest->set(xtext, s.substr(size_t(letter.index) + 1).c_str());
    insertvc_node_with_undo(rest_run, anchor);
    insertvc_node_with_undo(rest, rest_run);
  }
  Drosa run = copyDrosa(letter.run);
  run->set(xadjacent, 1);
  take_accidental_style(run, code, note);
  Drosa text = newDrosa(TEXT, letter.text->xcontext);
  const char glyph[2] = {
      char(param_value(P_DOUBLE_FLAT_FOR_CHORD_SYMBOLS - 1 + code, note, nullptr)->character()), 0};
  text->set(xtext, glyph);
  insertvc_node_with_undo(run, anchor);
  insertvc_node_with_undo(text, run);
}

// The place after the last '/' of the annotation's text (the bass of "C6/9/E" follows the
// second), NIL when there is none, or when a number follows the character there: an
// alteration, its flat typed as a letter ("C7/b9"), not a bass.
TextPlace after_slash(Drosa head) {
  TextPlace slash;
  for (TextPlace at = next_place({head, NIL, 0}); at; at = next_place(at))
    if (at.character() == '/') slash = at;
  const TextPlace bass = slash ? next_place(slash) : TextPlace{};
  const TextPlace after = bass ? skip_blanks(next_place(skip_blanks(bass))) : TextPlace{};
  if (after && std::isdigit(static_cast<unsigned char>(after.character()))) return {};
  return bass;
}

// A letter name of a chord symbol with the accidental after it.
struct ChordLetter {
  TextPlace letter, accidental;  // accidental: none when code is 0
  int32_t step = 0;              // 0 C .. 6 B
  int code = 0;                  // the accidental's code, 0 for none
  bool upper = false;
};

const std::string LOWER_LETTERS = "cdefgab", UPPER_LETTERS = "CDEFGAB";

// The letter at a place (blanks skipped) and its accidental; false for anything but a..g, A..G,
// and for an accidental's glyph in a music font ("C7/#9": the sharp of a sharp ninth is an 'f').
bool read_chord_letter(TextPlace at, Drosa note, ChordLetter* out) {
  out->letter = skip_blanks(at);
  if (!out->letter || accidental_of(out->letter, note) || is_alteration(out->letter, note))
    return false;
  const char c = out->letter.character();
  out->upper = UPPER_LETTERS.find(c) != std::string::npos;
  const size_t found = out->upper ? UPPER_LETTERS.find(c) : LOWER_LETTERS.find(c);
  if (c == 0 || found == std::string::npos) return false;
  out->step = int32_t(found);
  out->accidental = skip_blanks(next_place(out->letter));
  out->code = out->accidental ? accidental_of(out->accidental, note) : 0;
  if (!out->code) out->accidental = {};
  return true;
}

// The letter becomes the step's (its case kept); its accidental character is rewritten, given
// a run of its own, or taken out for a natural.
void write_chord_letter(const ChordLetter& at, int32_t step, int code, Drosa note) {
  set_character(at.letter, (at.upper ? UPPER_LETTERS : LOWER_LETTERS)[size_t(floor_mod(step, 7))]);
  if (code == NATURAL) {
    if (at.accidental) remove_accidental(at.accidental);
    return;
  }
  if (at.accidental) {
    const char glyph =
        char(param_value(P_DOUBLE_FLAT_FOR_CHORD_SYMBOLS - 1 + code, note, nullptr)->character());
    set_character(at.accidental, glyph);
    modifyvc_with_undo(at.accidental.run);
    take_accidental_style(at.accidental.run, code, note);
    return;
  }
  insert_accidental(at.letter, code, note);
}

// The chord symbols attached before a note: back to the previous note or the system's start.
std::vector<Drosa> chord_symbols_before(Drosa note) {
  std::vector<Drosa> symbols;
  for (Drosa p = note->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback)
    if (chord_symbol_head(p)) symbols.push_back(p);
  return symbols;
}

// The root and then the bass of each chord symbol attached before a note, handed to `move`. The
// bass is found after the root has moved: the root may have gained or lost a run.
template <typename Move>
void move_roots_and_basses(Drosa note, Move move) {
  for (Drosa head : chord_symbols_before(note)) {
    const TextPlace root = next_place({head, NIL, 0});
    if (!root) continue;
    move(root);
    if (const TextPlace bass = after_slash(head)) move(bass);
  }
}

// The spelling key_spelling prefers for a pitch class (0..11).
const Spelling& preferred_spelling(int pitch_class) {
  return pitch_spelling_table[pitch_class][std::clamp(key_spelling[pitch_class], 0, 2)];
}

}  // namespace

// ---- Keys -----------------------------------------------------------------------------------

int key_tonic(Drosa keysig) {
  const int count = keysig ? entry_count(keysig) : 0;
  if (count == 0) return 0;
  const int code = keysig->get(xkeysig_entry, count - 1);
  if (code <= 6) return (code + 4) % 7;
  if (code <= 13) return (code + 1) % 7;
  return 0;
}

int key_accidental_for_step(Drosa keysig, int32_t step) {
  if (key_implies_accidental(keysig, step, FLAT)) return FLAT;
  if (key_implies_accidental(keysig, step, SHARP)) return SHARP;
  return NATURAL;
}

int transpose_written_note(uint16_t* pitch, int32_t* step, int accidental, Drosa new_key,
                           Drosa old_key, int direction) {
  const int i = floor_mod(key_tonic(new_key) - key_tonic(old_key), 7);
  int d = i;
  if (direction == KEY_MOVE_DOWN) d = i - 7;
  if (direction == KEY_MOVE_UP) d = i == 0 ? 7 : i;
  if (direction == KEY_MOVE_NEAREST) d = i <= 3 ? i : i - 7;
  const int32_t moved = *step + d;
  const int delta =
      key_accidental_for_step(new_key, moved) - key_accidental_for_step(old_key, *step);
  const int32_t new_number = delta + step_to_key(moved, accidental, 0);
  if (pitch) *pitch = clamp_pitch(*pitch + (new_number - step_to_key(*step, accidental, 0)) * 256);
  const int new_accidental = accidental + delta;
  if (new_accidental >= 1 && new_accidental <= 5) {
    *step = moved;
    return new_accidental;
  }
  const Spelling& s = preferred_spelling(floor_mod(new_number, 12));
  *step = floor_div(new_number, 12) * 7 + s.step;
  return s.accidental;
}

bool chord_symbol_head(Drosa node) {
  return node && effective_kind(node) == TPARAM && !node->get(xadjacent) &&
         node->get(xclassify) == CHORD_SYMBOL_CLASS;
}

void transpose_chord_symbol(Drosa note, Drosa run, Drosa text, int index, Drosa new_key,
                            Drosa old_key) {
  ChordLetter at;
  if (!read_chord_letter({run, text, index}, note, &at)) return;
  int32_t step = at.step;
  const int code = transpose_written_note(nullptr, &step, at.code ? at.code : NATURAL, new_key,
                                          old_key, KEY_MOVE_NEAREST);
  write_chord_letter(at, step, code, note);
}

bool transpose_chord_symbols_by(Drosa note, int32_t half_steps) {
  if (!is_NOTE(note) || floor_mod(half_steps, 12) == 0) return false;
  bool changed = false;
  move_roots_and_basses(note, [&](const TextPlace& place) {
    ChordLetter at;
    if (!read_chord_letter(place, note, &at)) return;
    const int32_t key = step_to_key(at.step, at.code ? at.code : NATURAL, 0) + half_steps;
    const Spelling& s = preferred_spelling(floor_mod(key, 12));
    write_chord_letter(at, s.step, s.accidental, note);
    changed = true;
  });
  return changed;
}

void transpose_note_for_key(Drosa note, Drosa old_key, Drosa new_key, int direction,
                            int keep_display, int acc_op) {
  if (!is_NOTE(note)) return;
  const bool rest = note->get(xrest) != 0;
  if (!rest) {
    record_note_change(note);
    const int32_t shift = ((new_key ? new_key->get(key_transposition) : 0) -
                           (old_key ? old_key->get(key_transposition) : 0)) *
                          256;
    uint16_t pitch = clamp_pitch(note->get(xpitch) + shift);
    if (direction) {
      int32_t step = note->get(xmod7);
      const int acc =
          transpose_written_note(&pitch, &step, note->get(xacc), new_key, old_key, direction);
      note->set(xmod7, int8_t(std::clamp<int32_t>(step, 0, 127)));
      note->set(xacc, acc);
    }
    note->set(xpitch, pitch);
  } else if (!direction) {
    return;
  }
  if (direction) {
    move_roots_and_basses(note, [&](const TextPlace& at) {
      transpose_chord_symbol(note, at.run, at.text, at.index, new_key, old_key);
    });
  }
  if (rest) return;
  if (!keep_display) note->set(xaccplot, 0);
  adjust_accidentals(acc_op, note, note);
}
