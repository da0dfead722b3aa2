// console_text_test.cpp: text into the console's log.
//   Scanner.*: a byte stream cut anywhere gives the same styled text; malformed and truncated
//              escape sequences show as text and never as escapes; control characters
//   Appending.*: ANSI codes as styles in the log, persistent and per piece; faint colours;
//              system text as UTF-8 or Mac OS Roman
//   Marks.*:   banners (which show a console shown on output), marks and the mark buttons;
//              output never scrolls the log sideways
#include "console/console_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "console/console_log_formats.h"
#include "console/console_record.h"
#include "console_fixture.h"
#include "platform/beep.h"

namespace {

// Styled text as one character per entry, with the words that show it (the marks that only
// say how the run was encoded left out).
struct StyledChar {
  char16_t c;
  AttributeWords words;
  friend bool operator==(const StyledChar&, const StyledChar&) = default;
};

struct Scanned {
  std::vector<StyledChar> text;
  int beeps = 0;
  std::string raw;  // every byte of every run
};

void collect_run(void* context, const char* bytes, size_t length, AttributeWords words) {
  auto* out = static_cast<Scanned*>(context);
  out->raw.append(bytes, length);
  words.word1 &= ~(ATTR_PLAIN_7BIT | ATTR_SYSTEM_TEXT);
  for (char16_t c : console_system_to_utf16(std::string_view(bytes, length)))
    out->text.push_back({c, words});
}

void collect_beep(void* context) { ++static_cast<Scanned*>(context)->beeps; }

// Scans the pieces one after the other, as separate reads of a pipe.
Scanned scan(const std::vector<std::string>& pieces, uint32_t word1 = ATTR_CURRENT,
             uint32_t word2 = 0, console_record* record = nullptr) {
  console_record own;
  if (!record) record = &own;
  Scanned out;
  ConsoleScanSink sink;
  sink.context = &out;
  sink.run = collect_run;
  sink.beep = collect_beep;
  for (const std::string& piece : pieces) {
    console_scan(record, piece.data(), piece.size(), {word1, word2}, sink);
    EXPECT_LE(record->escape.size(), CONSOLE_ESCAPE_LIMIT);
  }
  return out;
}

std::string plain(const Scanned& s) {
  std::u16string text;
  for (const StyledChar& c : s.text) text += c.c;
  return console_utf16_to_utf8(text);
}

const std::string STREAM =
    "ab\x1b[1;31mR\xC3\xA9"
    "d\x1b[0m \xE2\x82\xAC\x07x\x1b[32mG\xF0\x9D\x84\x9E\x1b[mN" +
    std::string(1, '\0') + "z\x1b[2;34mF";

TEST(Scanner, StreamCutAnywhereGivesTheSameStyledText) {
  const Scanned whole = scan({STREAM});
  EXPECT_EQ(plain(whole),
            "abR\xC3\xA9"
            "d \xE2\x82\xACxG\xF0\x9D\x84\x9ENzF");
  EXPECT_EQ(whole.beeps, 1);
  EXPECT_EQ(whole.text[2].words, (AttributeWords{ATTR_BOLD | 0xFFFF, 0}));  // R: bold red
  EXPECT_EQ(whole.text[0].words, (AttributeWords{}));
  for (size_t i = 0; i <= STREAM.size(); ++i) {
    for (size_t j = i; j <= STREAM.size(); j += 3) {
      const Scanned cut = scan({STREAM.substr(0, i), STREAM.substr(i, j - i), STREAM.substr(j)});
      ASSERT_EQ(cut.text, whole.text) << "cut at " << i << " and " << j;
      ASSERT_EQ(cut.beeps, 1);
    }
  }
}

TEST(Scanner, MalformedOrTruncatedEscapesShowAsTextAndNeverAsEscapes) {
  struct Case {
    std::vector<std::string> pieces;
    std::string shown;
  };
  const std::string digits(80, '1');
  const Case cases[] = {
      {{"\x1b[31\nX"}, "[31\nX"},                        // a control byte breaks the sequence
      {{"A\x1b[31", "\nX"}, "A[31\nX"},                  // the same, cut before the break
      {{"\x1b[" + digits + "mY"}, "[" + digits + "mY"},  // too long to be a sequence
      {{"\x1b\x1b[32mG"}, "G"},                          // a second ESC starts afresh
      {{"A\x1b", "[1mB"}, "AB"},                         // ESC last in one read
      {{"\x1b(Bx\x1b[?25ly"}, "xy"},                     // finished sequences that are not SGR
      {{"\x1b\xC3\xA9"}, "\xC3\xA9"},                    // ESC before a character
      {{"tail\x1b[3"}, "tail"},                          // open at the end: waits, shows no ESC
  };
  for (const Case& c : cases) {
    const Scanned s = scan(c.pieces);
    EXPECT_EQ(plain(s), c.shown) << c.shown;
    EXPECT_EQ(s.raw.find('\x1b'), std::string::npos) << c.shown;
  }
  // Random bytes heavy in ESC and '[', in random pieces: every scan ends, no run holds an ESC.
  std::mt19937 random(7);
  const char alphabet[] = "\x1b\x1b[[[;0123m9?\n\xC3\xA9\x80 a";
  for (int round = 0; round < 2000; ++round) {
    console_record record;
    std::vector<std::string> pieces(1 + random() % 4);
    for (std::string& piece : pieces)
      for (int n = random() % 40; n > 0; --n) piece += alphabet[random() % (sizeof alphabet - 1)];
    const Scanned s = scan(pieces, ATTR_CURRENT, 0, &record);
    ASSERT_EQ(s.raw.find('\x1b'), std::string::npos);
    ASSERT_LE(record.pending_utf8_count, 3);
  }
}

using Appending = ConsoleTest;

TEST_F(Appending, AnsiCodesBecomeStylesPersistentOrForOnePiece) {
  console_record* record = make();
  console_append(record, "\x1b[1;31mError\x1b[0m done\n", 0, ATTR_CURRENT, 0);
  console_append(record, "later \x1b[4;34mblue\x1b[m plain\n", 0, ATTR_CURRENT, 0);
  // Codes in a piece with its own words change only the rest of that piece.
  console_append(record, "mine \x1b[32mgreen\n", 0, ATTR_ITALIC, 0);
  console_append(record, "next\n", 0, ATTR_CURRENT, 0);
  EXPECT_EQ(text(record), "Error done\nlater blue plain\nmine green\nnext\n");
  EXPECT_EQ(style_of(record, "Error"), (ConsoleTextStyle{1, {0xFFFF, 0, 0}}));
  EXPECT_EQ(style_of(record, " done"), ConsoleTextStyle{});
  EXPECT_EQ(style_of(record, "later"), ConsoleTextStyle{});
  EXPECT_EQ(style_of(record, "blue"), (ConsoleTextStyle{4, {0, 0, 0xFFFF}}));
  EXPECT_EQ(style_of(record, " plain"), ConsoleTextStyle{});
  EXPECT_EQ(style_of(record, "mine"), (ConsoleTextStyle{2, {}}));
  EXPECT_EQ(style_of(record, "green"), (ConsoleTextStyle{2, {0, 0x8080, 0}}));
  EXPECT_EQ(style_of(record, "next"), ConsoleTextStyle{});
}

TEST_F(Appending, FaintTurnsColoursLighterOrDarker) {
  const struct {
    RgbColour from, to;
  } cases[] = {{{0, 0, 0}, {0x6060, 0x6060, 0x6060}},
               {{0x6060, 0x6060, 0x6060}, {0, 0, 0}},
               {{0xC0C0, 0xC0C0, 0xC0C0}, {0xFFFE, 0xFFFE, 0xFFFE}},
               {{0xFFFF, 0, 0}, {0x8080, 0, 0}},
               {{0x7F7F, 0x1234, 0}, {1, 0x1234 ^ 0x7F7F, 0}}};
  for (const auto& c : cases) {
    const ConsoleTextStyle style = console_style_of_words(
        ATTR_FAINT | ATTR_BOLD | c.from.red, (uint32_t(c.from.green) << 16) | c.from.blue);
    EXPECT_EQ(style, (ConsoleTextStyle{1, c.to}));
  }
}

TEST_F(Appending, SystemTextIsUtf8WhenValidElseMacRoman) {
  console_record* record = make(CONSOLE_NO_INPUT | CONSOLE_START_HIDDEN | CONSOLE_SYSTEM_TEXT);
  console_append(record, "caf\xC3", 0, ATTR_CURRENT, 0);  // a character cut between reads
  console_append(record, "\xA9 \xE9t\xE9\n", 0, ATTR_CURRENT, 0);
  EXPECT_EQ(text(record), "caf\xC3\xA9 \xC3\x88t\xC3\x88\n");  // é whole; 0xE9 is È
  const int beeps = platform_beeps_sounded();
  console_append(record,
                 "a\0b\x07"
                 "c\n",
                 6, ATTR_CURRENT, 0);
  EXPECT_EQ(platform_beeps_sounded(), beeps + 1);
  EXPECT_TRUE(text(record).ends_with("abc\n"));
}

using Marks = ConsoleTest;

TEST_F(Marks, BannersMarksAndTheMarkButtons) {
  console_record* record = make();
  console_banner(record, nullptr, nullptr);
  EXPECT_TRUE(text(record).starts_with("_______ ")) << text(record);
  const size_t first = text(record).size();
  console_append(record, std::string(200, 'x').c_str(), 0, ATTR_CURRENT, 0);
  console_banner(record, nullptr, nullptr);
  const std::string log = text(record);
  EXPECT_EQ(log.find("\n_______ ", first), first + 200) << "a second banner starts on a new line";
  EXPECT_TRUE(log.ends_with(" _______\n"));
  EXPECT_EQ(style_of(record, "_______"), (ConsoleTextStyle{4, {0x8080, 0, 0x8080}}));

  const int32_t after = console_mark(record, 100);
  EXPECT_EQ(text(record).substr(after - 9, 9), " _______\n");
  ASSERT_EQ(record->marks->count, 4);  // two banners and the mark, in text order
  EXPECT_EQ(record->marks->entries[2], 100u);
  EXPECT_EQ(record->marks->entries[0], 0u) << "the mark's undo record took it";
  EXPECT_TRUE(console_control_shown(record->window, CONSOLE_MARK_BACK));
  console_mark_back(record);
  EXPECT_EQ(record->marks->current, 3);
  EXPECT_TRUE(console_control_shown(record->window, CONSOLE_MARK_FORWARD));
  console_mark_forward(record);
  console_mark_forward(record);
  EXPECT_EQ(record->marks->current, 2) << "forward wraps to the first mark";
  EXPECT_EQ(console_view_insertion_point(record->window), 100);
  // A mark at the end leaves the style of later output alone.
  console_mark(record, CONSOLE_END);
  console_append(record, "tail\n", 0, ATTR_CURRENT, 0);
  EXPECT_EQ(style_of(record, "tail"), ConsoleTextStyle{});
}

TEST_F(Marks, TheBannerShowsAConsoleShownOnOutputAndOutputNeverScrollsSideways) {
  console_record* record = make(CONSOLE_NO_INPUT | CONSOLE_START_HIDDEN | CONSOLE_SHOW_ON_OUTPUT);
  // Output while hidden, then shown: the start of the line is in sight.
  console_append(record, std::string(400, 'x').c_str(), 0, ATTR_CURRENT, 0);  // no line end
  ASSERT_FALSE(console_shown(record));
  console_banner(record, nullptr, nullptr);
  EXPECT_TRUE(console_shown(record)) << "found from the start";
  console_append(record, std::string(400, 'y').c_str(), 0, ATTR_CURRENT, 0);
  for (int i = 0; i < 5; ++i) platform_wait_events(2);  // the view lays itself out
  EXPECT_EQ(console_view_h_origin(record->window), 0);
}

}  // namespace
