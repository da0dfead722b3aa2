// command_texts_test.cpp: parameter changes held as "param " texts, and annotation runs.
//   ParamTexts.*:  every kind of value written as a text and made again from it, in every
//                  context, without duplicates; texts that make nothing; the command kinds
//   MidiTexts.*:   the bytes each MIDI command gives, and refuses; MIDI nodes of older pieces
//                  made into texts that give the same bytes
//   AnnoRuns.*:    deleting one whole annotation, and undoing it; the hidden text made for a
//                  change
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "annotations/anno_fields.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class CommandTexts : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    prefs.set_use_sonata_font(0);
    param_init();
    v = new_voice();
    add_note(v, QUARTER);
    note = add_note(v, QUARTER);
  }
  void TearDown() override {
    std::string problems;
    EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
    ModelTest::TearDown();
  }

  // The texts of the annotations before the note, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (Drosa p = piece_start[v]; p != note; p = p->xnext) {
      if (p->xkind != TPARAM) continue;
      out.emplace_back();
      for (Drosa t = p->xnext; t->xkind == TEXT; t = t->xnext) out.back() += t->get(xtext);
    }
    return out;
  }
  // The PARAM nodes before the note, in order.
  std::vector<Drosa> changes() const {
    std::vector<Drosa> out;
    for (Drosa p = piece_start[v]; p != note; p = p->xnext)
      if (p->xkind == PARAM) out.push_back(p);
    return out;
  }
  Drosa change(int p, int small, int context, const ParamValue& value, int stsize = 50) {
    Drosa c = newDrosa(PARAM, context);
    c->set(xparam_index, int16_t(p));
    c->set(xparam_small, small);
    c->set(xparam_stsize, int16_t(stsize));
    set_xparam_value(c, value);
    link_after(c, note->xback);
    return c;
  }
  Drosa text(const char* t, int context = 0) {
    return make_text_anno(note, context, 1, 0, t, nullptr);
  }

  int v = 0;
  Drosa note;
};

using ParamTexts = CommandTexts;
using MidiTexts = CommandTexts;
using AnnoRuns = CommandTexts;

ParamValue integer(int32_t i) {
  ParamValue value{};
  value.set_integer(i);
  return value;
}

TEST_F(ParamTexts, EveryKindOfValueIsMadeAgainFromItsText) {
  ParamValue real{};
  real.set_real(0.125f);
  ParamValue glyph = param[P_REPEAT_DOTS].value;  // a character pair
  glyph.bytes[2] = 3;                             // character set
  glyph.set_character(7);                         // a control character cannot stand in a text
  glyph.set_x(-15);
  glyph.set_y(125);
  ParamValue bracket =
      param[P_FLAT_FOR_CHORD_SYMBOLS].value;  // the character '(' and a description with a code
  bracket.set_character('(');
  change(P_SHARPS_THIS_MANY_VERTICAL_STAFF_SPACES_APART_DO_NOT_OVERLAP, 0, 0, integer(-4),
         40);                                                     // integer pair
  change(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, 0, 2, integer(65));  // coordinate pair, in context 2
  change(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, 1, -1,
         integer(-35));  // its small-notes value, in every context but the Score
  change(P_MAXIMUM_SLOPE_FOR_BEAM, 0, 0, real);  // float pair
  change(P_REPEAT_DOTS, 1, 0, glyph);
  change(P_FLAT_FOR_CHORD_SYMBOLS, 0, 0, bracket);
  std::vector<std::vector<uint8_t>> before;
  for (Drosa c : changes()) before.emplace_back(c->bytes() + 9, c->bytes() + 34);

  param_nodes_to_annos(note);
  param_nodes_to_annos(note->xback);  // again: the texts are replaced, not added
  std::vector<std::string> written = texts();
  EXPECT_EQ(written, (std::vector<std::string>{
                         "param {122:4,-4} sharps this many vertical staff spaces apart do not "
                         "overlap",
                         "param {174:5,6.5} half and quarter note head width",
                         "param {-174:5,-3.5} half and quarter note head width",
                         "param {180:5,0.125} maximum slope for beam",
                         "param {-24:5,-1,12,0, ,-1.5,12.5,3,7} repeat dots",
                         "param {585:5,-1,12,0,(,1,0,0,40} flat for chord symbols ",
                     }));

  current_ncontext = 3;  // every context's changes are made again, whatever context is current
  param_annos_to_nodes(note);
  current_ncontext = 1;
  std::vector<std::vector<uint8_t>> after;
  for (Drosa c : changes()) after.emplace_back(c->bytes() + 9, c->bytes() + 34);
  EXPECT_EQ(after, before);
  EXPECT_EQ(param_changed(P_MAXIMUM_SLOPE_FOR_BEAM), 1);
  take_reports();
}

TEST_F(ParamTexts, TextsThatMakeNoChange) {
  for (const char* t :
       {"param {000:5,7}", "param {754:5,7}", "param {-179:5,7}", "param {174:5,1e12}",
        "param {174:5}", "param {024:5,-1,12,0,x,0}", "param {024:5,-1,300,0,x,0,0}",
        "param {174:5,7,8}", "param{174:5,7}", "param {174:99999,7}", "param {+-174:5,7}"})
    text(t);
  Drosa ignored = text("param {174:5,7}");
  ignored->set(xignore, 1);
  param_annos_to_nodes(note);
  EXPECT_TRUE(changes().empty());
  EXPECT_EQ(midi_anno_kind(ignored, nullptr), COMMAND_NONE) << "Do Not Interpret";

  text(" param {174:5,7}");       // a leading blank: no command
  text("param {174:+5,  7.26}");  // blanks and a plus sign, as a formatted scan takes them
  param_annos_to_nodes(note);
  ASSERT_EQ(changes().size(), 1u);
  EXPECT_EQ(get_xparam_value(changes()[0]).integer(), 73);
  EXPECT_EQ(changes()[0]->get(xparam_stsize), 50);
}

TEST_F(ParamTexts, CommandKindsAndTheNextHead) {
  Drosa first = text("programme");
  Drosa run = text("x");
  run->set(xadjacent, 1);
  Drosa second = text("parameter");
  Drosa third = text("param {174:5,7}", 2);
  const struct {
    const char* text;
    int kind;
  } cases[] = {{"param {1:5,1}", 1}, {"program 3", 2}, {"control 7 9", 3},
               {"pressure 2", 4},    {"midi 90", 5},   {"channel 3", 6},
               {"note 60", 7},       {"notes", 7},     {"Param", 0}};
  for (const auto& c : cases) {
    Drosa head = text(c.text);
    EXPECT_EQ(midi_anno_kind(head, nullptr), c.kind) << c.text;
  }
  Drosa next = NIL;
  EXPECT_EQ(midi_anno_kind(first, &next), COMMAND_PROGRAM);
  EXPECT_EQ(next, second) << "a further style run is no annotation";
  EXPECT_EQ(midi_anno_kind(second, &next), COMMAND_NONE);
  EXPECT_EQ(midi_anno_kind(third, &next), COMMAND_NONE) << "not seen in the Score";
  EXPECT_EQ(next, NIL);
}

// The bytes of a command text (in hexadecimal), at channel 5; the channel it leaves and the
// time it returns after them.
std::string midi_of(Drosa head, uint8_t* key_map = nullptr) {
  int channel = 4;
  uint8_t bytes[16] = {};
  int32_t time = -1;
  const int count = parse_midi_anno(head, &channel, bytes, &time, key_map);
  std::string out;
  char hex[8];
  for (int k = 0; k < count; ++k) {
    std::snprintf(hex, sizeof hex, "%02x ", bytes[k]);
    out += hex;
  }
  return out + "c" + std::to_string(channel) + " t" + std::to_string(time);
}

TEST_F(MidiTexts, EachCommandGivesItsBytes) {
  const struct {
    const char* text;
    const char* midi;
  } cases[] = {
      {"program 1", "c4 00 c4 t0"},
      {"program 1 time 1e0", "c4 00 c4 t480"},
      {"control 7 100", "b4 07 64 c4 t0"},
      {"pressure 90 time 10", "d4 5a c4 t16"},
      {"midi 90 3c 7f", "90 3c 7f c4 t0"},
      {"midi 1 2 3 4 5 6 7 8 9 a b c d", "01 02 03 04 05 06 07 08 09 0a 0b 0c c4 t0"},
      {"channel 16", "c15 t0"},
      {"channel 17", "c4 t0"},
      // Data bytes of 128 and more would be status bytes on the line: nothing is sent.
      {"program 0", "c4 t0"},
      {"program 129", "c4 t0"},
      {"control 7 300", "c4 t0"},
      {"pressure -1", "c4 t0"},
      {"programme", "c4 t0"},
  };
  for (const auto& c : cases) EXPECT_EQ(midi_of(text(c.text)), c.midi) << c.text;
  // "note" makes the next note play another key, when the key fits the map.
  uint8_t keys[128] = {};
  note->set(xpitch, uint16_t(60 << 8));
  EXPECT_EQ(midi_of(text("note 72"), keys), "c4 t0");
  EXPECT_EQ(keys[60], 72);
  note->set(xpitch, uint16_t(200 << 8));
  EXPECT_EQ(midi_of(text("note 73"), keys), "c4 t0");
  for (int k = 0; k < 128; ++k) EXPECT_EQ(keys[k], k == 60 ? 72 : 0) << k;
}

// MIDI nodes of an older piece become hidden texts of class "midi" that send the same bytes.
TEST_F(MidiTexts, OldMidiNodesBecomeTextsOfTheSameBytes) {
  auto midi_node = [&](std::vector<uint8_t> bytes, int32_t time, int count) {
    Drosa m = newDrosa(MIDI, 0);
    for (size_t k = 0; k < bytes.size() && k < 12; ++k) m->bytes()[10 + k] = bytes[k];
    store_big_endian(m->bytes() + 22, 4, uint32_t(time));
    m->bytes()[27] = uint8_t(count);
    link_after(m, note->xback);
  };
  midi_node({0xC3, 0x04}, 0, 2);
  midi_node({0xB9, 0x07, 0x40}, 0, 3);
  midi_node({0xD0, 0x22}, 0x1e0, 2);
  midi_node({0x94, 0x3c, 0x7f}, 0, 3);
  midi_node({0xC0, 0x80}, 0, 2);                              // no program: kept raw
  midi_node({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 0, 40);  // the count past 12
  midi_node({}, 0, -3);
  set_undo_mark(1);
  midi_nodes_to_annos(note);
  EXPECT_TRUE(changes().empty());
  for (Drosa p = piece_start[v]; p != note; p = p->xnext) EXPECT_NE(p->xkind, MIDI);
  EXPECT_EQ(texts(), (std::vector<std::string>{
                         "program 5", "control 7 64", "pressure 34 time 01e0", "midi 94 3c 7f",
                         "midi c0 80", "midi 01 02 03 04 05 06 07 08 09 0a 0b 0c", "midi"}));
  std::vector<std::string> sent;
  int32_t y = 1000;
  for (Drosa p = piece_start[v]; p != note; p = p->xnext) {
    if (p->xkind != TPARAM) continue;
    EXPECT_EQ(p->get(xclassify), 12);
    EXPECT_EQ(p->get(xhidden), 1);
    EXPECT_LT(p->get(xtexty), y) << "each a line below the last";
    y = p->get(xtexty);
    sent.push_back(midi_of(p));
  }
  EXPECT_EQ(sent, (std::vector<std::string>{"c4 04 c4 t0", "b4 07 40 c4 t0", "d4 22 c4 t480",
                                            "94 3c 7f c4 t0", "c0 80 c4 t0",
                                            "01 02 03 04 05 06 07 08 09 0a 0b 0c c4 t0", "c4 t0"}));
}

TEST_F(AnnoRuns, DeletingOneAnnotationAndUndoingIt) {
  add(v, PVIEW);
  Drosa head = add(v, TPARAM);
  add(v, PDATA);
  add(v, TEXT);
  Drosa run = add(v, TPARAM);
  run->set(xadjacent, 1);
  add(v, TEXT);
  add(v, TEXT);
  Drosa line = add(v, LINE);
  add(v, PDATA);
  Drosa last = add_note(v, HALF);
  set_undo_mark(1);
  Drosa before = delete_anno_nodes(head);
  EXPECT_EQ(before->xnext, line);
  EXPECT_EQ(line->xnext->xkind, PDATA);
  EXPECT_EQ(delete_anno_nodes(last), last->xnext);
  auto r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text.rfind("Bad parameter to delete_anno_nodes: ", 0), 0u);
  EXPECT_EQ(r[0].text.substr(r[0].text.size() - 10), " kind NOTE");

  set_undo_mark(0);
  undo_redo(1);
  std::vector<int> kinds;
  for (Drosa p = note->xnext; p != last; p = p->xnext) kinds.push_back(p->xkind);
  EXPECT_EQ(kinds, (std::vector<int>{TPARAM, TEXT, TPARAM, TEXT, TEXT, LINE, PDATA}));
}

TEST_F(AnnoRuns, HiddenTextForAChange) {
  int y = 10;
  Drosa head = make_text_anno(note, 2, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                              "param {174:5,7} half and quarter note head width", &y);
  const ParamValue& style = param[P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG].value;
  EXPECT_EQ(head->xcontext, 2);
  EXPECT_EQ(head->get(xtextfont), style.font());
  EXPECT_EQ(head->get(xtextsize), style.size());
  EXPECT_EQ(head->get(xhidden), 1);
  EXPECT_EQ(head->get(xfromstaff), 1);
  EXPECT_EQ(head->get(xtextx),
            param[P_X_OFFSET_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG].value.integer());
  EXPECT_EQ(head->get(xtexty), 10);
  EXPECT_EQ(y, 10 - 10 * style.size());
  std::string stored;
  int parts = 0;
  for (Drosa p = head->xnext; p != note; p = p->xnext, ++parts) stored += p->get(xtext);
  EXPECT_EQ(parts, 3) << "21 characters a TEXT";
  EXPECT_EQ(stored, "param {174:5,7} half and quarter note head width");
  EXPECT_EQ(
      make_text_anno(note, 0, 1, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, "", &y),
      NIL);
}

}  // namespace
