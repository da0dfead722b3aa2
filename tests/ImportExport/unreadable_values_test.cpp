// unreadable_values_test.cpp: documents holding values that mean nothing, each said once with
// its place: a number the import reads otherwise (and says so), or a fault of the XML itself
// that refuses the document at its line and column.
//   UnreadableValues.AreSaidWhereTheyStand: divisions below one, a duration less than none or
//     no number, a 0/0 time signature, endings of no type or no number, bytes that are no
//     UTF-8 character: the document is read and the change said.
//   UnreadableValues.BrokenXmlIsRefused: a byte 0 in an element's name and character
//     references to no character refuse the document with the place.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/wild_support.h"
#include "model/model_services.h"

namespace {

using UnreadableValues = MusicXmlTest;

// A part of two measures of 4/4 on two lines: the second measure begins the second line.
std::string document(const std::string& attributes = "<divisions>1</divisions>",
                     const std::string& first_duration = "4", const std::string& second = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><score-partwise version=\"3.1\"><part-list>"
         "<score-part id=\"P1\"><part-name>Flute</part-name></score-part></part-list><part "
         "id=\"P1\"><measure number=\"1\"><attributes>" +
         attributes +
         "<time><beats>4</beats><beat-type>4</beat-type></time></attributes><note><pitch><step>C"
         "</step><octave>5</octave></pitch><duration>" +
         first_duration + "</duration><type>whole</type></note></measure>\n<measure number=\"2\">" +
         second +
         "<note><pitch><step>D</step><octave>5</octave></pitch><duration>4</duration><type>whole"
         "</type></note></measure></part></score-partwise>";
}

// Whether one of the texts holds all the parts.
bool said(const std::vector<std::string>& texts, std::initializer_list<const char*> parts) {
  for (const std::string& t : texts) {
    bool all = true;
    for (const char* part : parts) all = all && t.find(part) != std::string::npos;
    if (all) return true;
  }
  return false;
}

TEST_F(UnreadableValues, AreSaidWhereTheyStand) {
  auto ending = [](const char* number, const char* type) {
    return "<barline location=\"left\"><ending number=\"" + std::string(number) + "\" type=\"" +
           type + "\"/></barline>";
  };
  const struct {
    std::string doc;
    std::initializer_list<const char*> message;
    const char* notes;  // the notes read, "" when not checked
  } cases[] = {
      {document("<divisions>0</divisions>"),
       {"measure 1 of part \"Flute\"", "divisions of a quarter note are \"0\"", "as 192"},
       ""},
      {document("<divisions>1</divisions>", "-4"),
       {"measure 1 of part \"Flute\"", "lasts \"-4\" divisions, less than none"},
       "C5w | D5w |"},
      {document("<divisions>1</divisions>", "NaN"),
       {"measure 1 of part \"Flute\"", "lasts \"NaN\" divisions, which is no number"},
       "C5w | D5w |"},
      {document("<divisions>1</divisions>", "4",
                "<attributes><time><beats>0</beats><beat-type>0</beat-type></time></attributes>"),
       {"measure 2 of part \"Flute\"", "time signature is 0/0", "keeps the one before"},
       "C5w | D5w |"},
      {document("<divisions>1</divisions>", "4", ending("1", "begin")),
       {"measure 2 of part \"Flute\"", "of type \"begin\""},
       "C5w | D5w |"},
      {document("<divisions>1</divisions>", "4", ending("first", "start")),
       {"measure 2 of part \"Flute\"", "number is \"first\""},
       ""},
      {document("<divisions>1</divisions>", "4",
                "<direction><direction-type><words>Caf\xE9</words></direction-type></direction>"),
       {"not all UTF-8: line 2, column 58"},
       "C5w | D5w |"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> texts;
    discard_piece_lists();
    voice_count = 0;
    ASSERT_EQ(import_said(c.doc, &texts), 1) << c.doc;
    EXPECT_TRUE(said(texts, c.message)) << *c.message.begin() << "\n"
                                        << (texts.empty() ? "(nothing said)" : texts[0]);
    if (*c.notes) EXPECT_EQ(notes_of(0), c.notes) << c.doc;
  }
}

TEST_F(UnreadableValues, BrokenXmlIsRefused) {
  std::string nul = document();
  nul.replace(nul.find("<measure number=\"2\">"), 20, std::string("<meas\0ure number=\"2\">", 21));
  const struct {
    std::string doc;
    const char* message;
  } cases[] = {
      {nul, "holds a byte 0"},
      {document("<divisions>1</divisions>", "4",
                "<!-- &#0; --><direction><direction-type>"
                "<words>&#0;</words></direction-type></direction>"),
       "character reference"},
      {document("<divisions>1</divisions>", "4",
                "<direction><direction-type>"
                "<words>&#xD800;</words></direction-type></direction>"),
       "character reference"},
      {document("<divisions>1</divisions>", "4",
                "<direction><direction-type>"
                "<words>&#;</words></direction-type></direction>"),
       "character reference"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> texts;
    discard_piece_lists();
    voice_count = 0;
    EXPECT_EQ(import_said(c.doc, &texts), 0) << c.doc;
    EXPECT_TRUE(said(texts, {c.message, "at line 2, column"}))
        << c.message << "\n"
        << (texts.empty() ? "(nothing said)" : texts[0]);
  }
}

}  // namespace
