// wild_support.h: the round trip every document written as another program writes MusicXML
// goes through in the tests: import, engrave each page, export and import again, save as a
// piece and read it again.
#pragma once

#include <string>
#include <vector>

// The text of tests/data/FOLDER/NAME.xml.
std::string wild_document(const std::string& folder, const std::string& name);

// The notes (not rests) of every voice.
int note_count();

// Imports the document whole, the Systems dialog answered with what it proposes; what the
// import reported or showed, but for that exchange, goes to `said`.
int import_said(const std::string& document, std::vector<std::string>* said);

// Imports tests/data/FOLDER/NAME.xml with nothing said; formats every page clean by the page
// checker, drawing each into test-output/FOLDER of the build folder; exports it and reads it
// again with every note; saves the piece and reads it again with every note. Reports its
// faults through gtest.
void check_wild_document(const std::string& folder, const std::string& name);
