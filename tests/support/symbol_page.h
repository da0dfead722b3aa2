// symbol_page.h: a fixture for the staff symbol commands: the program started on a piece built
// in code, driven through its menus with scripted dialog answers, and the voice lists shown as
// short tokens a case can state by hand.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "support/app_fixture.h"

// The voice as tokens: notes as step, accidental ("bb" "b" "#" "x", a printed natural "n"),
// octave, "+" when the accidental prints, "~" tied (a rest "r"); "clef<type>" ("'" within a
// system); "key<xkey>[<entries>]" ("T<n>" with a transposition); "<beats>/<beat>" (".c" cut,
// ".C" common); "beam<sub>:<groups>" in eighths; bar lines "|" with ":|", "|:", "s<style>";
// "sep" a separator; "/" a system break, "//" a page break; "@<context>" after any node of one
// context. Layout records, the voice's head and its VINFO and PRINT are left out.
std::string symbol_dump(int voice);
// The MIDI keys of the voice's notes (pitch words >> 8), rests left out.
std::string note_keys(int voice);
// Every stored node of every voice as bytes, layout records and selection bits left out: what
// an edit and its undo must agree on.
std::string stored_voice_bytes();
// The NOTE nodes of a voice in list order, rests and grace notes included.
std::vector<Drosa> voice_notes(int voice);

class SymbolPage : public AppTest {
 protected:
  // Writes the piece `build` makes (with piece_builder) and starts the program on it.
  void open(const std::function<void()>& build);

  // Makes the note the insertion point (no group).
  void select(Drosa note);
  // Chooses a menu item and lets the main loop reformat and redraw.
  void command(int16_t menu, int item);
  void undo();
  void redo();

  // The voice lists are consistent (check_voice_lists), as a test expectation.
  void expect_consistent();

  // Writes the page image as test-output/editing/<name>.png of the build folder.
  void save_page(const std::string& name);
  // Writes bytes as test-output/editing/<name> of the build folder.
  void save_bytes(const std::string& name, const std::string& bytes);
  // Answers the next dialog question with an image of it, test-output/editing/dialogs/<name>.png.
  void dialog_image(const std::string& name);
};

// Adds notes and symbols to a voice from tokens: a note is a step letter, an accidental ("bb"
// "b" "n" "#" "x"; none is natural), an octave (middle C is C5), "+" when its accidental prints
// and "~" when tied on, after an optional value ("w" whole, "h" half, "e" eighth, "s"
// sixteenth; a quarter without); "r" a quarter rest; "|" a bar line, "/" a system break, "K<n>"
// a key of n sharps or -n flats.
void add_tokens(int voice, const std::string& tokens);
// A voice of its own staff (from 0) with a clef, a key of `key` sharps or -key flats and 4/4.
int staff_voice(int staff, int clef, int key = 0, const char* part = "Part");
