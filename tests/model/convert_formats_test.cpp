// convert_formats_test.cpp: records of older formats brought to the current one.
//   Widening.*:    narrow coordinates sign-extended and parameter values re-laid by their type
//   Translation.*: texts in music fonts from the older platform's character set
//   Records.*:     the record conversions by version, on synthetic records; the program-number
//                  question asked once
//   Repairs.*:     the version repairs of check_voice; staff drags redistributed
//   CheckVoice.*:  chord boundaries, doubled PRINTs, key signatures and staff numbers repaired
//   Header.*:      the conversions of the tuning table and of short page-setup records
#include "model/convert_formats.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/piece_format.h"
#include "model/readvesk.h"
#include "model/voice_lists.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class ConvertTest : public ScriptedNewPieceTest {
 protected:
  static int first_param_of_type(uint32_t type) {
    for (int p = 1; p <= PARAM_LAST; ++p)
      if (param[p].type == type) return p;
    return 0;
  }
};

std::string text_of(Drosa node) { return reinterpret_cast<const char*>(node->bytes() + 10); }

std::string kinds_of_voice(int v) {
  std::string s;
  for (Drosa p = piece_start[v]; p; p = p->xnext) s += std::string(kind_name(p->xkind)) + " ";
  return s;
}

// ---- Widening ----------------------------------------------------------------------------------

TEST_F(ConvertTest, WideningSignExtendsCoordinatesAndRelaysParameterValues) {
  // A TPARAM of version 342: two 2-byte coordinates, then the font and three bytes.
  uint8_t tparam[56] = {TPARAM, 0, 0xFF, 0xFE, 0x00, 0x05, 0xFF, 0xFF, 7, 8, 9};
  EXPECT_EQ(expand_XYPOS_fields(tparam, 24, 56, layout_string(TPARAM), 342), 28);
  EXPECT_EQ(get_be32(tparam + 2), -2);
  EXPECT_EQ(get_be32(tparam + 6), 5);
  EXPECT_EQ(get_be16(tparam + 10), -1);
  EXPECT_EQ(tparam[12], 7);
  EXPECT_EQ(tparam[14], 9);

  // PARAM records: the 10-byte value becomes 14 bytes laid out by the parameter's type, and the
  // reference size after it moves 4 on.
  const int coordinate = first_param_of_type(PARAM_COORDINATE);
  const int character = first_param_of_type(PARAM_CHARACTER);
  ASSERT_TRUE(coordinate && character);
  uint8_t coord[56] = {PARAM, 0, 0,    0,   0, 0, uint8_t(coordinate >> 8), uint8_t(coordinate),
                       0,     0, 0xFF, 0xFE};
  coord[20] = 0;
  coord[21] = 50;
  EXPECT_EQ(expand_XYPOS_fields(coord, 24, 56, layout_string(PARAM), 342), 28);
  EXPECT_EQ(get_be32(coord + 10), -2);
  EXPECT_EQ(get_be16(coord + 24), 50);

  uint8_t chr[56] = {PARAM,
                     0,
                     0,
                     0,
                     0,
                     0,
                     uint8_t(character >> 8),
                     uint8_t(character),
                     0,
                     0,
                     0xFF,
                     0xFB,
                     1,
                     2,
                     3,
                     4,
                     0xFF,
                     0xF6,
                     0x00,
                     0x14,
                     0x00,
                     50};
  expand_XYPOS_fields(chr, 24, 56, layout_string(PARAM), 342);
  EXPECT_EQ(get_be16(chr + 10), -5);
  EXPECT_EQ(std::vector<int>(chr + 12, chr + 16), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(get_be32(chr + 16), -10);
  EXPECT_EQ(get_be32(chr + 20), 20);
  EXPECT_EQ(get_be16(chr + 24), 50);

  // A parameter number outside the table leaves the value unconverted; newer files are left.
  uint8_t bad[56] = {PARAM, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0, 0, 0xFF, 0xFE};
  expand_XYPOS_fields(bad, 24, 56, layout_string(PARAM), 342);
  EXPECT_EQ(get_be16(bad + 10), -2);
  uint8_t current[56] = {TPARAM, 0, 0xFF, 0xFE};
  EXPECT_EQ(expand_XYPOS_fields(current, 56, 56, layout_string(TPARAM), 343), 56);
  EXPECT_EQ(get_be16(current + 2), -2);
}

// ---- Translation -------------------------------------------------------------------------------

TEST_F(ConvertTest, TranslationOfMusicFontTexts) {
  const struct {
    int16_t font;
    uint8_t platform;
    uint8_t in, out;
  } cases[] = {
      {-1, 3, 0x80, 0xC4}, {-6, 0x13, 0xB0, 0x01}, {-1, 1, 0x80, 0x80},
      {-5, 3, 0x80, 0x80}, {-3, 3, 0x41, 0x41},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.font);
    perf_defaults[PERF_PLATFORM_CODE] = c.platform;
    NodeIoState io;
    Drosa head = newDrosa(TPARAM, 0), text = newDrosa(TEXT, 0);
    set_rec_i16(head, 10, c.font);
    set_rec_u8(text, 2, c.in);
    set_rec_u8(text, 3, c.in);
    convert_node_io(head, IO_READ, &io);
    convert_node_io(text, IO_READ, &io);
    EXPECT_EQ(rec_u8(text, 2), c.out);
    EXPECT_EQ(rec_u8(text, 3), c.out);
    EXPECT_EQ(rec_u8(text, 4), 0);
    destroyDrosa(head);
    destroyDrosa(text);
  }
}

// ---- Record conversions ------------------------------------------------------------------------

TEST_F(ConvertTest, RecordConversionsByVersion) {
  const struct {
    const char* what;
    int version;
    int kind;
    std::function<void(Drosa)> make;
    std::function<void(Drosa)> check;
  } cases[] = {
      {"318 PRINT size 5", 318, PRINT, [](Drosa n) { set_rec_u8(n, 10, 5); },
       [](Drosa n) {
         EXPECT_EQ(rec_i16(n, 12), 50);
         EXPECT_EQ(n->xcontext, 1);
       }},
      {"318 PRINT size 3", 318, PRINT, [](Drosa n) { set_rec_u8(n, 10, 3); },
       [](Drosa n) { EXPECT_EQ(rec_i16(n, 12), 30); }},
      {"318 PRINT size 4", 318, PRINT, [](Drosa n) { set_rec_u8(n, 10, 4); },
       [](Drosa n) { EXPECT_EQ(rec_i16(n, 12), 50); }},
      {"335 COLOR", 335, COLOR,
       [](Drosa n) {
         set_rec_i16(n, 2, -1);
         set_rec_i16(n, 4, -1);
       },
       [](Drosa n) { EXPECT_EQ(rec_u8(n, 8), 5); }},
      {"321 NOTE value", 321, NOTE,
       [](Drosa n) {
         set_rec_bits16(n, 4, 2, 3, 2);
         set_rec_u8(n, 8, 1);
       },
       [](Drosa n) {
         EXPECT_EQ(n->get(xlgval), 6);
         EXPECT_EQ(rec_bits16(n, 4, 2, 3), 0);
         EXPECT_EQ(n->get(xintimeof), 4);
       }},
      {"323 NOTE triplet", 323, NOTE, [](Drosa n) { set_rec_u8(n, 8, 3); },
       [](Drosa n) { EXPECT_EQ(n->get(xintimeof), 8); }},
      {"318 SPACE", 318, SPACE, [](Drosa n) { set_rec_i16(n, 2, -7); },
       [](Drosa n) { EXPECT_EQ(rec_i16(n, 2), -70); }},
      {"331 TPARAM font", 331, TPARAM, [](Drosa n) { set_rec_i16(n, 10, 20); },
       [](Drosa n) { EXPECT_EQ(rec_i16(n, 10), -5); }},
      {"344 PRINT untouched", 344, PRINT, [](Drosa n) { set_rec_u8(n, 10, 5); },
       [](Drosa n) { EXPECT_EQ(rec_u8(n, 10), 5); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Drosa node = newDrosa(c.kind, 0);
    c.make(node);
    ConversionState state;
    state.version = c.version;
    convert_record(node, &state);
    c.check(node);
    destroyDrosa(node);
  }
}

TEST_F(ConvertTest, ProgramNumbersAreAskedAboutOnce) {
  ConversionState state;
  state.version = 337;
  std::vector<Drosa> texts;
  for (const char* t : {"program 5", "hello", "program 12", "program 5 x"}) {
    Drosa n = newDrosa(TEXT, 0);
    std::strcpy(reinterpret_cast<char*>(n->bytes() + 10), t);
    texts.push_back(n);
  }
  script_hit(1);
  for (Drosa n : texts) convert_record(n, &state);
  EXPECT_EQ(script_take_shown().size(), 1u);
  EXPECT_EQ(text_of(texts[0]), "program 6");
  EXPECT_EQ(text_of(texts[1]), "hello");
  EXPECT_EQ(text_of(texts[2]), "program 13");
  EXPECT_EQ(text_of(texts[3]), "program 5 x");
  for (Drosa n : texts) destroyDrosa(n);
}

// ---- Version repairs ---------------------------------------------------------------------------

TEST_F(ConvertTest, RepairsTempoSpecialAccidentalsNamesAndBarSeparators) {
  new_voice("Alto-Sax");
  Drosa note = add_note(0, QUARTER);
  set_rec_u8(note, 11, 3);  // the old special-accidental field
  add_bar(0);
  Drosa tempo = add(0, TEMPO);
  tempo->set(xtempo_lgval, 2);
  tempo->set(xtempo_bpm, 96);
  add_note(0, QUARTER);
  check_voice(0, 329);
  EXPECT_EQ(kinds_of_voice(0),
            "ENDSYST VINFO PRINT SPACC NOTE BAR BARSEP TPARAM TEXT TPARAM TEXT NOTE ENDSYST ");
  std::vector<Drosa> nodes = voice_nodes(0);
  EXPECT_EQ(text_of(nodes[1]), "Alto Sax");
  EXPECT_EQ(nodes[3]->get(xnumspacc), 1);
  EXPECT_EQ(nodes[3]->get(xspacc_entry, 0), 8);
  EXPECT_EQ(rec_u8(nodes[4], 11) & 0x3F, 0);
  EXPECT_EQ(nodes[6]->xcontext, 1);
  EXPECT_EQ(rec_i16(nodes[7], 10), -1);
  EXPECT_EQ(text_of(nodes[8]), "w");
  EXPECT_EQ(rec_i16(nodes[9], 10), -5);
  EXPECT_TRUE(rec_bit16(nodes[9], 16, 9)) << "a further style run";
  EXPECT_EQ(text_of(nodes[10]), " = 96");
}

TEST_F(ConvertTest, StaffDragsMoveToEveryVoiceOnTheirStaff) {
  for (int v = 0; v < 3; ++v) {
    new_voice("Piano", v, v == 2 ? 1 : 0);
    if (v == 0) add(0, SDRAG, 1)->set(xstaffdrag, 300);
    add_note(v, QUARTER);
  }
  redistribute_sdrags(341);
  for (int v = 0; v < 3; ++v) {
    SCOPED_TRACE(v);
    Drosa before_note = find_next_kind(NOTE, piece_start[v])->xback;
    if (v == 2) {
      EXPECT_EQ(before_note->xkind, PRINT);
      continue;
    }
    ASSERT_EQ(before_note->xkind, SDRAG);
    EXPECT_EQ(before_note->get(xstaffdrag), 300);
    EXPECT_EQ(before_note->get(xsdrag_sstaff), 0);
    EXPECT_EQ(before_note->xback->xkind, PRINT) << "the old staff drag is gone";
  }
}

// ---- check_voice -------------------------------------------------------------------------------

TEST_F(ConvertTest, CheckVoiceRepairsChordsPrintsAndKeys) {
  new_voice("Harp");
  Drosa chord = add_note(0, QUARTER, 30, 0, true);
  add_bar(0);
  add_note(0, QUARTER, 32);
  Drosa grace_chord = add_note(0, QUARTER, 30, 0, true);
  add_grace(0, EIGHTH);
  add_print(0, 1, 70);
  add_print(0, 1, 2);
  add(0, KEYSIG)->set(xkeycnt, 20);
  add_note(0, HALF);
  check_voice(0, PIECE_FORMAT_WRITTEN);
  EXPECT_TRUE(chord->get(xendvcd));
  EXPECT_TRUE(grace_chord->get(xendvcd));
  EXPECT_EQ(chord->get(xacc), 3) << "an accidental field of 0 is read as 3";
  std::vector<std::string> texts;
  for (const Report& r : take_reports()) texts.push_back(r.text);
  EXPECT_EQ(texts,
            (std::vector<std::string>{
                "Warning: BAR node in the middle of a chord; chord boundary added (voice 0).",
                "Warning:  Voice 0 has grace/nongrace in same chord; chord boundary added.",
                "Illegal PRINT node on voice 0: staff number 70 not in range 0..63; using "
                "staff number 0 instead.",
                "Two PRINT nodes with no intervening notes on voice 0 measure 2 and 2; "
                "first PRINT node deleted.",
                "Bad KEYSIG on voice 0: 20 accidentals (max is 14)."}));
  EXPECT_EQ(find_next_kind(KEYSIG, piece_start[0])->get(xkeycnt), 14);
  EXPECT_EQ(kinds_of_voice(0),
            "ENDSYST VINFO PRINT NOTE BAR NOTE NOTE NOTE PRINT KEYSIG NOTE ENDSYST ");
}

// ---- Header conversions ------------------------------------------------------------------------

TEST_F(ConvertTest, TuningTableAndShortPageSetups) {
  put_be16(perf_defaults + 72, 10);
  put_be16(perf_defaults + 72 + 12 * 6 + 8, -4);
  convert_perf_defaults(330);
  EXPECT_EQ(get_be_float(perf_defaults + 74), 5.0f);
  EXPECT_EQ(get_be_float(perf_defaults + 70 + 24 * 6 + 20), -2.0f);

  put_be16(print_record[1] + 50, 72);
  put_be16(print_record[1] + 24, 2);
  convert_print_records(100, 344);
  EXPECT_EQ(get_be32(print_record[1] + 120), 72);
  EXPECT_EQ(get_be32(print_record[1] + 124), 0);
  EXPECT_EQ(get_be32(print_record[1] + 140), 600);
}

}  // namespace
