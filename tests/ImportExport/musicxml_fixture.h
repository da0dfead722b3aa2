// musicxml_fixture.h: importing handwritten MusicXML documents in tests, and describing the
// imported voices note by note.
#pragma once

#include <functional>
#include <string>

#include "platform/script.h"
#include "support/model_fixture.h"

// The text of a document of tests/data/ImportExport.
std::string musicxml_fixture(const char* name);

// One token per chord and bar line of voice v: a note is its letter, accidental (# b ## bb),
// octave and value (B w h q e s t x y for breve to 128th) with its dots, a rest "r" and its
// value; "g" before a grace note, "?" before an unprinted one, "/3:2" after a tuplet, "r?" a
// hidden rest; a chord's notes joined by "+"; "|" a bar, "//" a system break, "///" a page break.
std::string notes_of(int v);

// The part name and number in the part of voice v, as "name:n".
std::string voice_name(int v);

// The length of every measure of voice v (time units), by the performance data.
std::string measure_lengths(int v);

class MusicXmlTest : public ModelTest {
 protected:
  void SetUp() override;
  // Imports a document (complete 1: with the systems, the layout and everything after).
  int import(const std::string& document, int complete = 0);
  int import_fixture(const char* name, int complete = 0);
  // What the Systems dialog of a complete import is answered: OK, with what it proposes.
  std::function<void()> answer_systems = [] { script_hit(1); };
};

// The annotations of voice v in order, each as its text (further style runs after a '+'),
// with "@" and the 0-based number of the note they stand before; a line as "<" for a
// hairpin's start and ">" for its end. The records of the part's names are left out.
std::string annotations_of(int v);

// True for a hidden text that keeps a part's name ("partname 1 Flute", "partabbr 1 Fl.").
bool part_name_record(Drosa tparam);

// The piece written as MusicXML (through a file of the system's temporary folder), checked by
// the MusicXML schema where it can be (`validate`).
std::string exported_musicxml(bool validate = true);

// The k-th NOTE (from 0) of voice v.
Drosa nth_note(int v, int k);
