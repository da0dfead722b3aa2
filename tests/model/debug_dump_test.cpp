// debug_dump_test.cpp: the debug stream, the dumps and the chooser.
//   DebugStream.*: the piece's name heads a stream once, an untitled piece's never
//   Chooser.*:     toggles reported with their new state, 12 refused, the dumps it writes
//   Dumps.*:       each dump's text for a small built piece: whole voices, the system being
//                  formatted, undo lists, the slur and tie buffers
//   NodeText.*:    a note's brief text; kinds of the other subsystems
#include "model/debug_dump.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "Editor/CString.h"
#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/script.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

// What a call writes to the debug stream, without the console's colours.
template <typename F>
std::string dumped(F write) {
  ::testing::internal::CaptureStdout();
  write();
  std::fflush(stdout);
  std::string text = ::testing::internal::GetCapturedStdout();
  for (const char* escape : {"\033[34m", "\033[35m", "\033[0m"})
    for (size_t at; (at = text.find(escape)) != std::string::npos;)
      text.erase(at, std::strlen(escape));
  return text;
}

class DebugDump : public ScriptedModelTest {
 protected:
  static void choose(const char* number) {
    script_type(4, number);
    script_hit(1);
    debug_dump_menu(nullptr);
  }
};

using DebugStream = DebugDump;
using Chooser = DebugDump;
using Dumps = DebugDump;
using NodeText = DebugDump;

TEST_F(DebugStream, PieceNamedOncePerStreamAndUntitledNever) {
  piece_fsspec = "/music/Sonata.vesk";
  EXPECT_EQ(dumped([] {
              debug_out("a");
              debug_out("b");
            }),
            "\nVesk Piece 'Sonata.vesk'\n\nab");
  choose("0");
  EXPECT_EQ(dumped([] { debug_out("c"); }), "\nVesk Piece 'Sonata.vesk'\n\nc")
      << "closing the stream names the piece again";
  choose("0");
  piece_fsspec = "/music/:New Piece:";
  EXPECT_EQ(dumped([] { debug_out("d"); }), "d");
  script_take_shown();
}

TEST_F(Chooser, TogglesReportTheirNewStateAndTwelveIsRefused) {
  choose("-1");
  choose("-1");
  choose("-2");
  script_type(4, "12");
  script_hit(1);
  script_type(4, "11");
  script_hit(1);
  debug_dump_menu("Bad beam");
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].text, "Will stop.");
  EXPECT_EQ(r[1].text, "Won't stop.");
  EXPECT_EQ(r[2].text, "Will skip.");
  EXPECT_EQ(r[3].text, "Illegal number; please use an integer between -3 and 11.");
  EXPECT_EQ(r[4].text, "record transcribe");
  EXPECT_TRUE(stop_in_relocate == false && skip_relocate && record_transcribe);
  std::vector<ShownText> shown = script_take_shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back().text.rfind("  \"Bad beam\"\nChoose a dump: 1-sys", 0), 0u)
      << shown.back().text;
}

TEST_F(Chooser, BuffersQueuesAndTheGraphicsList) {
  EXPECT_EQ(dumped([] {
              for (const char* n : {"7", "8", "10", "4"}) choose(n);
            }),
            "Contents of the slur buffer (normal layer):\n*** empty slur buffer ***\n"
            "Contents of the tie buffer:\n*** empty tie buffer ***\n"
            "\n\nDump of PLAY nodes:\n=============end of dump=============\n\n"
            "\nContents of the GE list:\n");
  choose("9");
  EXPECT_TRUE(dump_springs_next);
  EXPECT_EQ(dumped([] { choose("5"); }), "Dumping GE list into file Graphics Objects.dump\n");
  EXPECT_TRUE(std::filesystem::remove("Graphics Objects.dump"));
  script_take_shown();
}

// A node as the dumps name it.
std::string address_of(Drosa node) {
  char text[24];
  std::snprintf(text, sizeof text, "%p", reinterpret_cast<const void*>(uintptr_t(node.handle())));
  return text;
}

// A dump as written where the first block of the store holds 16,382 nodes: where the system
// places that block one node fewer may fit, and every node taken from its top is one lower.
std::string with_a_full_first_block(const std::string& text) {
  const int32_t fewer = 16382 - first_block_nodes;
  const uint32_t top = (1u << DROSA_INDEX_BITS) | uint32_t(first_block_nodes - 1);
  std::string out;
  size_t from = 0;
  for (size_t at; (at = text.find("0x", from)) != std::string::npos;) {
    char* end = nullptr;
    const unsigned long handle = std::strtoul(text.c_str() + at, &end, 16);
    out.append(text, from, at - from);
    from = size_t(end - text.c_str());
    // Only the nodes a test takes near the top of the first block; other numbers stay.
    if (handle <= top && top - handle < 256)
      out += address_of(Drosa(uint32_t(handle + fewer)));
    else
      out.append(text, at, from - at);
  }
  return out + text.substr(from);
}

// A small piece: a voice of the Score with a clef, a key, a time signature, a printed sharp F
// as a dotted quarter, a rest, a bar and a clef seen only in notation context 3; and a second
// voice.
void build_piece() {
  int v = new_voice("Flute");
  add_clef(v, 0);
  Drosa key = add_key(v, 2);
  key->set(xkeycnt, 2);
  key->set(xkeysig_entry, 0, 4);
  key->set(xkeysig_entry, 1, 4);
  add_timesig(v, 3, 4);
  Drosa f = add_note(v, QUARTER, 31, 1);
  f->set(xacc, 4);
  f->set(xaccplot, 1);
  add_rest(v, EIGHTH);
  add_bar(v);
  add_clef(v, 1, 3);
  add_note(v, HALF, 35);
  int w = new_voice("Oboe", 0, 1);
  add_note(w, WHOLE, 28);
}

TEST_F(Dumps, WholeVoicesOfABuiltPiece) {
  build_piece();
  current_ncontext = 2;
  // The clef of context 3 is described in full like every other node.
  EXPECT_EQ(with_a_full_first_block(dumped([] { dump_voices(DUMP_VOICES, "Why"); })), R"(

Why
Complete dump of voices from start of piece:

insertion point (nil)

----------Complete dump of voice+ 1 (of 2)----------
0$$ ENDSYST0x7ff8 
0$$ VINFO  0x7ff6: midichan 0 part name 'Flute' voiceOnPart 0
1$$ PRINT  0x7ff5 sstaff 0 layer 0 dir 3 slines 5 xstaffsize 50 list 0
0$$ CLEF   0x7ff4 xclef0 xclefx0 xcleforigin0
0$$ KEYSIG 0x7ff3 xkey 2 cnt2:4, 4, 
0$$ TIMESIG0x7ff2 bpm3 beat4
0$$ NOTE   0x7ff1 4f+4d mod31 lg3 vocCD 
           SHARP U UPORDOWN voc0  xlength 0 xttn 0 (no NTDATA <p-1,v-1,s0>)
0$$ REST   0x7ff0 R8 [0] lg4 vocCD 
           U UPORDOWN voc0  xlength 0 xttn 0 (no NTDATA <p-1,v-1,s0>)
0$$ BAR    0x7fef double0 unnumbered0 x0  bar#0
3$$ CLEF   0x7fee xclef1 xclefx0 xcleforigin0
0$$ NOTE   0x7fed 5c2 mod35 lg2 vocCD 
           U UPORDOWN voc0  xlength 0 xttn 0 (no NTDATA <p-1,v-1,s0>)
0$$ ENDSYST0x7ff7 

----------Complete dump of voice+ 2 (of 2)----------
0$$ ENDSYST0x7fec 
0$$ VINFO  0x7fea: midichan 0 part name 'Oboe' voiceOnPart 0
1$$ PRINT  0x7fe9 sstaff 1 layer 0 dir 3 slines 5 xstaffsize 50 list 0
0$$ NOTE   0x7fe8 4c1 mod28 lg1 vocCD 
           U UPORDOWN voc1  xlength 0 xttn 0 (no NTDATA <p-1,v-1,s0>)
0$$ ENDSYST0x7feb 
=============end of dump=============

)");
  EXPECT_EQ(current_ncontext, 2) << "the context is put back";
}

TEST_F(Dumps, SystemBeingFormattedWithItsLayoutRecords) {
  int v = new_voice("Flute");
  Drosa first = add_note(v, EIGHTH, 30);
  Drosa second = add_note(v, EIGHTH, 34);
  second->set(xebeam, 1);
  new_voice("Oboe", 0, 1);
  page_start[1] = voice_end(1);  // the oboe has nothing on this page
  ASSERT_EQ(format_one_system(), 1);
  std::string text = dumped([] { dump_voices(DUMP_SYSTEM, nullptr); });
  for (std::string expected :
       {std::string("\n ====== System being formatted (or last system on the page) ======\n"),
        "pstaff 0, " + address_of(staff_data[0].ppnt[0]) + " n" + address_of(first) + "; \n",
        std::string("--------------Voice+ 1, sstaff 0--------------\n"),
        "0$$ NOTE   " + address_of(first) + " pn" + address_of(second) + " pb",
        "0$$ NOTE   " + address_of(second) + " pb" + address_of(first) +
            " 4b8 mod34 lg4 vocCD stfCD ENDBEAM",
        std::string("           U UP voc0 endBm \n"),
        "0$$ CHORD  " + address_of(second->xnext->xnext) + " num 1 wholec s0x2000 m0x2000; ",
        std::string("Voice+ 2 is not active.  PRINT at ")})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin\n" << text;
  EXPECT_EQ(text.find(address_of(voice_end(v))), std::string::npos)
      << "the closing ENDSYST is left out";
}

TEST_F(Dumps, UndoListsAndLayoutBuffers) {
  int v = new_voice();
  Drosa note = add_note(v, QUARTER);
  set_undo_mark(1);
  insertvc_node_with_undo(newDrosa(COLOR, 0), note->xback);
  std::string undo = dumped([] { dump_voices(DUMP_UNDO, nullptr); });
  EXPECT_NE(undo.find("--------------Undo/redo list 0--------------\n0$$ MARK   "),
            std::string::npos)
      << undo;
  EXPECT_NE(undo.find("insertAfter "), std::string::npos);
  EXPECT_NE(undo.find("--------------Undo/redo list 1--------------\n="), std::string::npos);

  tie_struct[0] = TieEntry{2, 0, note, 1, 140, 150, 1, 33, 0, 0, 1, 16384, 0};
  tie_count = 1;
  slur_buffer[3][0][1][1].first_note = note;
  slur_buffer[3][0][1][1].voice = 4;
  slur_buffer[3][0][1][1].start_x = 120;
  slur_buffer[3][0][1][1].start_y = -60;
  EXPECT_EQ(dumped([] {
              model_hooks.dump_tie_buffer();
              model_hooks.dump_slur_buffer();
            }),
            "Contents of the tie buffer:\nstaff 2, voice 1, dir 1, x 140, mod7 33, wholec 0x4000\n"
            "Contents of the slur buffer (normal layer):\nstaff 3, voice 4, dir 2 grace 1: begx "
            "120, begy -60, head " +
                address_of(note) + ", tail (nil)\n");
  reset_tie_slur_work();
}

TEST_F(NodeText, BriefNotesAndRests) {
  int v = new_voice();
  Drosa low = add_note(v, EIGHTH, -1);  // below the lowest octave: still a letter
  Drosa triplet = add_note(v, SIXTEENTH, 35, 2);
  make_tuplet(triplet, 3, 2);
  Drosa odd = add_note(v, QUARTER, 35);
  make_tuplet(odd, 5, 1);
  odd->set(xintimeof, 6);  // in the time of 1.5
  Drosa grace = add_grace(v, EIGHTH, false, 36);
  grace->set(xacc, 2);  // an implied flat
  Drosa breve = add_rest(v, BREVE);
  breve->set(xhider, 1);
  std::vector<std::pair<Drosa, const char*>> cases = {
      {low, "-1b8 "},    {triplet, "5c16[3:2]dd "}, {odd, "5c4[5:1.5] "},
      {grace, "5d~8g "}, {breve, "r-1 "},           {piece_start[v], "NotNoteRest"}};
  for (auto [node, expected] : cases) {
    CString text;
    describe_note_brief(text, node);
    EXPECT_STREQ(static_cast<const char*>(text), expected);
  }
}

TEST_F(NodeText, KindsOfTheOtherSubsystems) {
  Drosa play = newDrosa(PLAY, 0);
  play->set(xplay_type, PLAY_NOTE_ON);
  play->set(xplay_time, 0x1F4);
  play->set(xplay_pending, 1);
  play->set(xplay_pitch, 0x3C00);
  Drosa rnote = newDrosa(RNOTE, 0);
  rnote->set(rnotenum, RNOTE_BEAT_FILLER);
  rnote->set(rendchord, 1);
  rnote->set(rttn, 500);
  Drosa midi = newDrosa(MIDI, 0);
  midi->set(xmidi_count, 40);  // more than the node holds: only its 12 bytes are written
  midi->set(xmidi_bytes, 0, 0xB0);
  Drosa xmlt = newDrosa(XMLT, 0);
  xmlt->set(xnwholec, 0x4000);
  xmlt->set(xxmlincr, 2);
  Drosa change = newDrosa(PARAM, -1);
  change->set(xparam_index, P_NORMAL_LENGTH_OF_NOTE_STEMS);
  change->set(xparam_stsize, 50);
  Drosa stray = newDrosa(NTDATA, 0);
  std::vector<std::pair<Drosa, std::string>> cases = {
      {play, "0$$ PLAY  " + address_of(play) + " time 0x1F4 new 1 start note pitch 0x3C00"},
      {rnote, "0$$ RNOTE  " + address_of(rnote) +
                  " tieFromPrev endcd 1 newbt 0 strt 0 lth 0 ttn 500 normttn 0 lgv 0 tup 0 dots 0 "
                  "vol 0"},
      {midi, "0$$ MIDI" + address_of(midi) +
                 " OBSOLETE NODE time0x0 bytes12, b0, 00, 00, 00, 00, 00, 00, 00, 00, 00, 00, 00"},
      {xmlt, "0$$ XMLT   " + address_of(xmlt) + " xnwholec=0x4000 xxmltime=0 xxmlincr=2"},
      {change, "-1$$ PARAM  " + address_of(change) +
                   " xparam_index 198 xparam_small 0 stsize 50 ival 0 char   "},
      {stray, "0$$ NTDATA  " + address_of(stray) + "   WARNING: No NOTE node to go with this!"},
  };
  std::string line;
  for (auto& [node, expected] : cases) {
    dump_voice_nodes(node, &line);
    EXPECT_EQ(line, expected);
    destroyDrosa(node);
  }
}

}  // namespace
