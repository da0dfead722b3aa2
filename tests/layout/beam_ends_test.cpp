// beam_ends_test.cpp: where beams end and join.
//   BeamEnds.*: beat boundaries, rests and notes that cannot carry a beam, the continue mark,
//            time gaps, stems apart, grace notes under linear spacing, the order of a chord's notes
#include "layout/beam_ends.h"

#include <gtest/gtest.h>

#include <string>

#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using BeamEnds = ModelTest;

// One voice of middle-line notes (stems down) from tokens: "8" an eighth, "4" a quarter,
// "r8" and "r4" rests, "+" after a token the continue-beam mark; "h" first: a BEAMING of
// half-note beats.
void build(int v, const std::string& tokens) {
  size_t at = 0;
  while (at < tokens.size()) {
    size_t end = tokens.find(' ', at);
    std::string t = tokens.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? tokens.size() : end + 1;
    if (t == "h") {
      add_beaming(v, {32768});
      continue;
    }
    bool rest = t[0] == 'r', cbeam = t.back() == '+';
    int value = t[rest ? 1 : 0] == '8' ? EIGHTH : QUARTER;
    Drosa n = rest ? add_rest(v, value) : add_note(v, value, 42);
    n->set(xcbeam, cbeam ? 1 : 0);
  }
}

TEST_F(BeamEnds, BeatsRestsAndTheContinueMark) {
  struct Case {
    const char *tokens, *chain;
  } cases[] = {
      // Quarter beats: eighths are beamed in pairs, each pair within a beat.
      {"8 8 8 8", "[0:42v=] [0:42v] [0:42v=] [0:42v]"},
      {"h 8 8 8 8", "[0:42v=] [0:42v=] [0:42v=] [0:42v]"},
      {"8 8+ 8 8", "[0:42v=] [0:42v=] [0:42v=] [0:42v]"},
      // A rest ends the beam; so does a quarter, unless a rest with the continue mark.
      {"8 r8 8 8", "[0:42v] [0:rv] [0:42v=] [0:42v]"},
      {"8 4 8", "[0:42v] [0:42v] [0:42v]"},
      {"8 r4+ 8", "[0:42v=] [0:rv=] [0:42v]"},
      // A note's continue mark does not carry its beam onto a rest that lacks the mark.
      {"8+ r8 8 8", "[0:42v] [0:rv] [0:42v=] [0:42v]"},
      {"8+ r8+ 8 8", "[0:42v=] [0:rv=] [0:42v=] [0:42v]"},
  };
  for (const Case& c : cases) {
    build(new_voice(), c.tokens);
    ASSERT_EQ(format_one_system(), 1);
    EXPECT_EQ(chain_text(0, 0), c.chain) << c.tokens;
    TearDown();
    SetUp();
  }
}

// After the first measure too, a beam ends where time passes before the next chord of the
// chain: here the voice is not printed for an eighth (half-note beats).
TEST_F(BeamEnds, ATimeGapEndsTheBeamInEveryMeasure) {
  for (bool cbeam : {false, true}) {
    int v = new_voice();
    add_beaming(v, {32768});
    for (int i = 0; i < 4; ++i) add_note(v, QUARTER, 42);
    add_bar(v);
    add_note(v, EIGHTH, 42)->set(xcbeam, cbeam ? 1 : 0);
    add_print(v, 1, -1);
    add_note(v, EIGHTH, 42);
    add_print(v, 1, 0);
    add_note(v, EIGHTH, 42);
    add_note(v, EIGHTH, 42);
    ASSERT_EQ(format_one_system(), 1);
    EXPECT_EQ(chain_text(0, 0), cbeam ? "[0:42v] [0:42v] [0:42v] [0:42v] [0:42v=] [0:42v=] [0:42v]"
                                      : "[0:42v] [0:42v] [0:42v] [0:42v] [0:42v] [0:42v=] [0:42v]");
    TearDown();
    SetUp();
  }
}

// A note with its own stem and a free one: the beam waits for the free stem and joins only
// when both point the same way. (The last such pair of a chain always ends its beam, hence
// a second pair.)
TEST_F(BeamEnds, StemsApartAreNotJoined) {
  for (int second : {46, 30}) {
    int v = new_voice();
    add_note(v, EIGHTH, 46)->set(xdir, 1);
    add_note(v, EIGHTH, second);
    add_note(v, EIGHTH, 46)->set(xdir, 1);
    add_note(v, EIGHTH, 46);
    ASSERT_EQ(format_one_system(), 1);
    EXPECT_EQ(chain_text(0, 0), second == 46 ? "[0:46v!=] [0:46v] [0:46v!] [0:46v]"
                                             : "[0:46v!] [0:30^] [0:46v!] [0:46v]");
    TearDown();
    SetUp();
  }
}

TEST_F(BeamEnds, LinearSpacingGivesGraceNotesSeparateFlags) {
  for (int linear : {0, 1}) {
    int v = new_voice();
    add_grace(v, EIGHTH, false, 44);
    add_grace(v, EIGHTH, false, 44);
    add_note(v, QUARTER, 44);
    set_options_i16(1, OPTIONS_LINEAR_SPACING, int16_t(linear));
    ASSERT_EQ(format_one_system(), 1);
    EXPECT_EQ(chain_text(0, 0),
              linear ? "[0:44g^] [0:44g^] [0:44v]" : "[0:44g^=] [0:44g^] [0:44v]");
    TearDown();
    SetUp();
  }
}

TEST_F(BeamEnds, ChordNotesAreOrderedStemsDownFirstThenFromLowToHigh) {
  int a = new_voice(), b = new_voice();
  Drosa top = add_chord(a, QUARTER, {40, 30, 35});
  add_note(b, QUARTER, 44);
  find_next_kind_before_note(PRINT, piece_start[a])->set(xprintdir, int16_t(2));
  find_next_kind_before_note(PRINT, piece_start[b])->set(xprintdir, int16_t(1));
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(chain_text(0, 0), "[1:44v! 0:30^! 0:35^! 0:40^!]");
  EXPECT_EQ(ntdata_of_note(top)->xnext->xkind, CDDATA)
      << "the chord's records follow its last note";
}

}  // namespace
