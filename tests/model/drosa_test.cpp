// drosa_test.cpp: the node store.
//   Templates.*:  the permanent templates and the state right after start-up
//   Take.*:       taking and returning nodes, last in first out, zeroed payloads; the free
//                 list put back in the order of memory; the count of staff drags taken
//   Growth.*:     the low-water rule, growth by whole blocks, refused growth
//   Lists.*:      returning chains, double returns; links that name no node
//   Compare.*:    copying and comparing nodes across notation contexts
//   Memory.*:     memory use in 64 bits, allocations with an alert
//   Leaks.*:      the leak check passing and failing
//   Names.*:      node kind names for messages
#include "model/drosa.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "editing/editing_services.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "platform/memory.h"
#include "platform/ticks.h"
#include "support/model_fixture.h"

namespace {

using Bytes = std::vector<std::pair<int, uint8_t>>;  // node byte, value

// The payload must hold exactly the listed non-zero bytes.
void expect_payload(Drosa node, const Bytes& nonzero) {
  uint8_t expected[DROSA_NODE_SIZE] = {};
  for (auto [at, value] : nonzero) expected[at] = value;
  for (int b = DROSA_PAYLOAD_OFFSET; b < DROSA_NODE_SIZE; ++b)
    EXPECT_EQ(node->bytes()[b], expected[b]) << node_kind_name(node) << " byte " << b;
}

// Takes nodes until the store holds exactly `left` free nodes; returns them.
std::vector<Drosa> drain_to(int left) {
  std::vector<Drosa> taken;
  while (freeCount > left) taken.push_back(newDrosa(NOTE, 0));
  return taken;
}

std::vector<Drosa> linked_chain(int n) {
  std::vector<Drosa> nodes;
  for (int i = 0; i < n; ++i) {
    Drosa p = newDrosa(NOTE, 0);
    if (!nodes.empty()) {
      nodes.back()->xnext = p;
      p->xback = nodes.back();
    }
    nodes.push_back(p);
  }
  return nodes;
}

using Templates = ModelTest;
using Take = ModelTest;
using Growth = ModelTest;
using Lists = ModelTest;
using Compare = ModelTest;
using Memory = ModelTest;
using Leaks = ModelTest;
using Names = ModelTest;

TEST_F(Templates, HoldExactlyTheirDefaults) {
  for (Drosa t :
       {line_template, print_template, beaming_head, current_note_template, text_template}) {
    EXPECT_EQ(t->xcontext, 0);
    EXPECT_EQ(t->xnext, NIL);
    EXPECT_EQ(t->xback, NIL);
  }
  EXPECT_EQ(line_template->xkind, LINE);
  expect_payload(line_template, {{44, 0xC0}, {45, 2}});
  EXPECT_EQ(print_template->xkind, PRINT);
  expect_payload(print_template, {{10, 0xFF}, {11, 0xFF}, {15, 5}});
  EXPECT_EQ(beaming_head->xkind, BEAMING);
  expect_payload(beaming_head, {{12, 0x20}, {16, 0x40}});
  EXPECT_EQ(current_note_template->xkind, NOTE);
  expect_payload(current_note_template, {{11, 4 << 2}, {14, 3 << 1}, {16, 1}, {18, 4}, {20, 100}});
  EXPECT_EQ(text_template->xkind, TPARAM);
  // y -16; the lyric's style: Times 12 at staff size 50, centred, Leave Space, Vertical Lock,
  // Do Not Interpret.
  expect_payload(text_template, {{14, 0xFF},
                                 {15, 0xFF},
                                 {16, 0xFF},
                                 {17, 0xF0},
                                 {18, 0xFF},
                                 {19, 0xFB},
                                 {21, 12},
                                 {24, 0x4C},
                                 {25, 0x01},
                                 {26, 0x50},
                                 {31, 5}});
}

TEST_F(Templates, NoteTemplateIsAnUndottedEighth) {
  EXPECT_EQ(current_note_template->get(xlgval), 4);
  EXPECT_EQ(current_note_template->get(xdots), 0);
  EXPECT_EQ(current_note_template->get(xtupl), 1);
  EXPECT_EQ(current_note_template->get(xintimeof), 4);
  EXPECT_EQ(current_note_template->get(xvolume), 100);
  EXPECT_EQ(current_note_template->get(xacc), 0);
  EXPECT_EQ(current_note_template->get(xendvcd), 0);
  EXPECT_EQ(print_template->get(xsstaff), -1);
  EXPECT_EQ(text_template->get(xtexty), -16);
  EXPECT_EQ(beaming_head->get(xbvalue, 1), 0);
}

TEST_F(Templates, StartUpStateOfTheStore) {
  EXPECT_TRUE(first_block_nodes == 16381 || first_block_nodes == 16382);
  EXPECT_EQ(total_Drosa_count, first_block_nodes);
  EXPECT_EQ(freeCount, total_Drosa_count - 5);
  EXPECT_EQ(free_list_length(), freeCount);
  EXPECT_EQ(first_block.start % 64, 0u);
  EXPECT_EQ(first_block.end % 64, 0u);
  EXPECT_EQ(long(first_block.end - first_block.start), long(first_block_nodes) * 64);
  // The templates were the first five takes: the five highest nodes, in order.
  Drosa order[] = {line_template, print_template, beaming_head, current_note_template,
                   text_template};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(drosa_index_of(order[i]), first_block_nodes - 1 - i);
  EXPECT_EQ(drosa_index_of(freeTail), 0);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(freeTail.address()) % 64, 0u);
  int32_t limit = 0;
  EXPECT_EQ(memory_use_percent(&limit), 0);
  EXPECT_EQ(limit, 2100000000);
}

TEST_F(Take, NewNodeHasZeroPayloadAndNilLinks) {
  Drosa n = newDrosa(CLEF, -1);
  EXPECT_EQ(n->xkind, CLEF);
  EXPECT_EQ(n->xcontext, -1);
  EXPECT_EQ(n->xnext, NIL);
  EXPECT_EQ(n->xback, NIL);
  expect_payload(n, {});
}

TEST_F(Take, ReturnedNodeIsTheNextTakenAndComesBackClean) {
  Drosa n = newDrosa(NOTE, 3);
  std::memset(n->payload, 0xA5, sizeof n->payload);
  int32_t before = freeCount;
  destroyDrosa(n);
  EXPECT_EQ(freeCount, before + 1);
  EXPECT_EQ(n->xkind, FREE);
  EXPECT_EQ(n->xcontext, 0);
  EXPECT_EQ(freeHead, n);

  Drosa again = newDrosa(TEXT, 2);
  EXPECT_EQ(again, n);
  EXPECT_EQ(again->xkind, TEXT);
  EXPECT_EQ(again->xcontext, 2);
  EXPECT_EQ(again->xnext, NIL);
  EXPECT_EQ(again->xback, NIL);
  expect_payload(again, {});
  EXPECT_EQ(free_list_length(), freeCount);
}

TEST_F(Take, StaffDragsAndNestsAreCountedUntilReturnedAloneOrInAList) {
  const int32_t drags = staff_drag_nodes, nests = nest_nodes;
  Drosa a = newDrosa(SDRAG, 0), b = newDrosa(SDRAG, 2), note = newDrosa(NOTE, 0);
  Drosa n1 = newDrosa(NEST, 0), n2 = newDrosa(NEST, 0);
  EXPECT_EQ(staff_drag_nodes, drags + 2);
  EXPECT_EQ(nest_nodes, nests + 2);
  destroyDrosa(a);
  destroyDrosa(n1);
  EXPECT_EQ(staff_drag_nodes, drags + 1);
  EXPECT_EQ(nest_nodes, nests + 1);
  link_after(note, b);
  link_after(n2, note);
  destroy_Drosa_list(b);
  EXPECT_EQ(staff_drag_nodes, drags);
  EXPECT_EQ(nest_nodes, nests);
}

TEST_F(Take, LastReturnedFirstTaken) {
  Drosa a = newDrosa(NOTE, 0), b = newDrosa(NOTE, 0), c = newDrosa(NOTE, 0);
  destroyDrosa(a);
  destroyDrosa(c);
  destroyDrosa(b);
  EXPECT_EQ(newDrosa(NOTE, 0), b);
  EXPECT_EQ(newDrosa(NOTE, 0), c);
  EXPECT_EQ(newDrosa(NOTE, 0), a);
}

TEST_F(Take, EveryNodeOfTheFirstBlockIsTakenInTurnFromTheHighestDown) {
  // The block's nodes are linked as the takes reach them, a few hundred at a time.
  const int highest = drosa_index_of(freeHead);
  ASSERT_EQ(freeCount, highest + 1);  // every node below the head is free
  const std::vector<Drosa> taken = drain_to(10);
  ASSERT_EQ(taken.size(), size_t(highest + 1 - 10));
  for (size_t i = 0; i < taken.size(); ++i) ASSERT_EQ(drosa_index_of(taken[i]), highest - int(i));
  EXPECT_EQ(free_list_length(), freeCount);
  EXPECT_EQ(drosa_index_of(freeTail), 0);
}

TEST_F(Take, FreeNodesPutBackInOrderAreTakenInTheOrderOfMemory) {
  std::vector<Drosa> taken;
  for (int i = 0; i < 6; ++i) taken.push_back(newDrosa(NOTE, 0));
  for (int i : {2, 0, 5, 3, 1, 4}) destroyDrosa(taken[size_t(i)]);
  const int32_t count = freeCount;
  order_free_nodes();
  EXPECT_EQ(freeCount, count);
  EXPECT_EQ(free_list_length(), freeCount);
  for (Drosa node : taken) EXPECT_EQ(newDrosa(NOTE, 0), node);

  // A node marked free but not on the list: the list stays as it was.
  Drosa stray = taken[0];
  stray->xkind = FREE;
  const Drosa head = freeHead;
  order_free_nodes();
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "order_free_nodes: " + std::to_string(freeCount + 1) +
                           " free nodes in the blocks, " + std::to_string(freeCount) +
                           " on the free list");
  EXPECT_EQ(freeHead, head);
  EXPECT_EQ(free_list_length(), freeCount);
  stray->xkind = NOTE;
}

TEST_F(Growth, TakeLeavingTenFreeDoesNotGrow) {
  drain_to(11);
  int32_t total = total_Drosa_count;
  newDrosa(NOTE, 0);
  EXPECT_EQ(freeCount, 10);
  EXPECT_EQ(total_Drosa_count, total);
}

TEST_F(Growth, TakeLeavingNineGrowsByOneBlockAndNextTakeIsItsHighestNode) {
  drain_to(10);
  int32_t total = total_Drosa_count;
  Drosa old_head = freeHead;
  Drosa still_free = freeHead->xnext;
  Drosa taken = newDrosa(NOTE, 0);
  EXPECT_EQ(taken, old_head) << "the take itself is served before growing";
  EXPECT_EQ(total_Drosa_count, total + 16381);
  EXPECT_EQ(freeCount, 9 + 16381);
  EXPECT_EQ(drosa_block_total, 2u);

  Drosa next = newDrosa(NOTE, 0);
  EXPECT_EQ(drosa_block_of(next), 1);
  EXPECT_EQ(drosa_index_of(next), 16380);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(next.address()) % 64, 0u);
  EXPECT_EQ(free_list_length(), freeCount);
  // The new block's lowest node leads on to the nodes that were free before.
  Drosa lowest = freeHead;
  while (drosa_block_of(lowest->xnext) == 1) lowest = lowest->xnext;
  EXPECT_EQ(drosa_index_of(lowest), 0);
  EXPECT_EQ(lowest->xnext, still_free);
  EXPECT_EQ(still_free->xback, lowest);
}

TEST_F(Growth, FreeNodesOfSeveralBlocksPutBackInOrderRunFromTheNewestBlocksHighest) {
  std::vector<Drosa> taken = drain_to(10);
  for (int i = 0; i < 5; ++i) taken.push_back(newDrosa(NOTE, 0));  // the last ones grow
  ASSERT_EQ(drosa_block_total, 2u);
  for (size_t i : {taken.size() - 2, size_t(3), taken.size() - 4, size_t(0), size_t(7)})
    destroyDrosa(taken[i]);
  // Twice: the second time the list's head is a node of a block never taken from.
  for (int round = 0; round < 2; ++round) {
    order_free_nodes();
    EXPECT_TRUE(take_reports().empty());
    drosa_build_free_nodes();  // the walk below reads the links of every free node
    int32_t length = 0;
    Drosa before = NIL;
    for (Drosa p = freeHead; p; before = p, p = p->xnext, ++length) {
      ASSERT_EQ(p->xback, before);
      if (before) ASSERT_LT(p.handle(), before.handle());
    }
    EXPECT_EQ(length, freeCount);
    EXPECT_EQ(freeTail, before);
    newDrosa(NOTE, 0);
    newDrosa(NOTE, 0);
  }
}

TEST_F(Growth, RefusedGrowthIsSilentAndTheReserveStillServes) {
  drain_to(10);
  platform_refuse_allocations_after(0);
  int32_t total = total_Drosa_count;
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(newDrosa(NOTE, 0));
  EXPECT_EQ(freeCount, 0);
  EXPECT_EQ(total_Drosa_count, total);
  EXPECT_TRUE(reports().empty());
  // Once the system gives memory again, an empty store grows instead of failing.
  platform_refuse_allocations_after(-1);
  Drosa n = newDrosa(NOTE, 0);
  EXPECT_TRUE(n);
  EXPECT_EQ(drosa_block_of(n), 1);
  EXPECT_EQ(total_Drosa_count, total + 16381);
}

// A process given less address space than the memory limit asks for: the store takes the room
// it is given, grows in it, and a growth past it is refused like one the system refuses.
TEST_F(Growth, StoreGivenLessAddressSpaceGrowsInWhatItHas) {
  reset_all_globals();
  capture_reports();
  platform_refuse_reservations_over(drosa_reservation_bytes(3));
  VeskMemory_Init();
  ASSERT_GE(drosa_reserved_blocks, 2u);
  ASSERT_LE(drosa_reserved_blocks, 3u);
  while (drosa_block_total < drosa_reserved_blocks) newDrosa(NOTE, 0);
  drain_to(1);
  EXPECT_EQ(drosa_block_total, drosa_reserved_blocks);
  EXPECT_TRUE(reports().empty());
}

TEST(GrowthDeathTest, EmptyStoreThatCannotGrowIsFatal) {
  EXPECT_EXIT(
      {
        reset_all_globals();
        VeskMemory_Init();
        platform_refuse_allocations_after(0);
        while (freeCount > 0) newDrosa(NOTE, 0);
        newDrosa(NOTE, 0);
      },
      ::testing::ExitedWithCode(1), "OUT OF MEMORY FOR DROSA NODES");
}

TEST(GrowthDeathTest, FirstBlockRefusedIsFatal) {
  EXPECT_EXIT(
      {
        reset_all_globals();
        platform_refuse_allocations_after(0);
        VeskMemory_Init();
      },
      ::testing::ExitedWithCode(1), "VeskMemory allocation fails in Drosa.");
}

// A link that names no node stops a checked build at the access, naming the caller.
Drosa next_of(Drosa node) { return node->xnext; }
TEST(LinkDeathTest, AccessThroughNilOrAForeignHandleNamesTheCaller) {
  if (!DROSA_CHECKED_LINKS) GTEST_SKIP() << "release builds do not check links";
  reset_all_globals();
  VeskMemory_Init();
  EXPECT_DEATH(next_of(NIL), "-> through NIL .*next_of.*drosa_test.cpp");
  EXPECT_DEATH(*Drosa(0x7fff0000),
               "\\* through a handle that names no node \\(handle 0x7fff0000\\)");
}

TEST_F(Lists, ReturningFromTheMiddleCutsTheListThere) {
  std::vector<Drosa> v = linked_chain(5);
  int32_t before = freeCount;
  destroy_Drosa_list(v[2]);
  EXPECT_EQ(v[1]->xnext, NIL);
  EXPECT_EQ(v[0]->xnext, v[1]);
  EXPECT_EQ(freeCount, before + 3);
  EXPECT_EQ(free_list_length(), freeCount);
  // The chain went back in its own order, in front of the free list.
  EXPECT_EQ(newDrosa(NOTE, 0), v[2]);
  EXPECT_EQ(newDrosa(NOTE, 0), v[3]);
  EXPECT_EQ(newDrosa(NOTE, 0), v[4]);
  destroy_Drosa_list(NIL);
}

TEST_F(Lists, ChainRunningIntoAFreeNodeReturnsOnlyWhatCameBefore) {
  std::vector<Drosa> v = linked_chain(3);
  destroyDrosa(newDrosa(NOTE, 0));
  Drosa stray = freeHead;  // a free node
  v[2]->xnext = stray;
  int32_t before = freeCount;
  destroy_Drosa_list(v[0]);
  ASSERT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(freeCount, before + 3);
  EXPECT_EQ(free_list_length(), freeCount);
}

TEST_F(Lists, DoubleReturnIsReportedAndChangesNothing) {
  Drosa n = newDrosa(NOTE, 0);
  destroyDrosa(n);
  Drosa head = freeHead;
  int32_t count = freeCount;
  destroyDrosa(n);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].level, 4);
  EXPECT_EQ(r[0].text, "destroyDrosa called for a FREE node!!");
  EXPECT_EQ(freeHead, head);
  EXPECT_EQ(freeCount, count);
  destroyDrosa(NIL);
  r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "destroyDrosa(NIL)!!");
  EXPECT_EQ(free_list_length(), freeCount);
}

TEST_F(Compare, CopyKeepsKindContextAndPayloadWithNilLinks) {
  std::vector<Drosa> v = linked_chain(3);
  v[1]->xcontext = 7;
  v[1]->set(xmod7, int8_t(-12));
  v[1]->set(xttn, 123456u);
  Drosa c = copyDrosa(v[1]);
  EXPECT_NE(c, v[1]);
  EXPECT_EQ(c->xkind, NOTE);
  EXPECT_EQ(c->xcontext, 7);
  EXPECT_EQ(c->xnext, NIL);
  EXPECT_EQ(c->xback, NIL);
  EXPECT_EQ(std::memcmp(c->payload, v[1]->payload, DROSA_PAYLOAD_SIZE), 0);
}

TEST_F(Compare, SameDrosaComparesEffectiveKindsAndPayloads) {
  current_ncontext = 2;
  Drosa a = newDrosa(CLEF, 0), b = newDrosa(CLEF, 2);
  a->set(xclef, 3);
  b->set(xclef, 3);
  EXPECT_EQ(same_Drosa(a, b), 1) << "both visible: contexts differ but are not compared";
  b->xcontext = -1;
  EXPECT_EQ(same_Drosa(a, b), 1) << "-1 is seen outside the Score";
  current_ncontext = 1;
  EXPECT_EQ(same_Drosa(a, b), 0) << "-1 is not seen in the Score";
  current_ncontext = 2;
  b->xcontext = 3;
  EXPECT_EQ(same_Drosa(a, b), 0) << "a clef of context 3 is NA in context 2";
  Drosa c = newDrosa(CLEF, 4);
  c->set(xclef, 3);
  EXPECT_EQ(same_Drosa(b, c), 1) << "both NA with equal payloads";

  Drosa n1 = newDrosa(NOTE, 0), n2 = newDrosa(NOTE, 3);
  EXPECT_EQ(same_Drosa(n1, n2), 1) << "notes are seen in every context";
  n2->set(xvoice, 5);
  EXPECT_EQ(same_Drosa(n1, n2), 0);
  Drosa g1 = newDrosa(GE_CHAR, 0), g2 = newDrosa(GE_CHAR, 9);
  EXPECT_EQ(same_Drosa(g1, g2), 1) << "graphics elements are seen in every context";
  n1->xnext = g1;
  EXPECT_EQ(same_Drosa(n1, newDrosa(NOTE, 0)), 1) << "links are not compared";
}

TEST_F(Memory, UsePercentStaysRightUpToTheLimit) {
  int32_t total = total_Drosa_count, free_nodes = freeCount;
  total_Drosa_count = 2100000000 / 64;  // a store that fills the limit
  freeCount = 0;
  EXPECT_EQ(memory_use_percent(nullptr), 100);
  freeCount = total_Drosa_count / 2;
  EXPECT_EQ(memory_use_percent(nullptr), 50);
  undo_node_count = total_Drosa_count / 4;  // held by the undo history: counted as free
  EXPECT_EQ(memory_use_percent(nullptr), 25);
  total_Drosa_count = total;
  freeCount = free_nodes;
  undo_node_count = 0;
}

TEST_F(Memory, FailedAllocationAlertsAndGivesNull) {
  platform_refuse_allocations_after(0);
  EXPECT_EQ(NewPtr_or_alert(100), nullptr);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(
      r[0].text,
      "Out of VeskMemory!\nIf you are running several programs at once, try quitting them, "
      "then run Vesk again.  If you continue to have trouble, please call the Vesk consultant.");
  platform_refuse_allocations_after(-1);
  void* p = NewPtr_or_alert(100);
  EXPECT_NE(p, nullptr);
  platform_release(p);
}

TEST_F(Leaks, PassWithTemplatesClipboardAndSpecialAccidentalTemplate) {
  CheckfreeDrosa();
  std::vector<Drosa> clip = linked_chain(4);
  clipboard_kind = 2;
  clipboard_list = clip[0];
  CheckfreeDrosa();
  spacc_template = newDrosa(SPACC, 0);
  uint32_t before = platform_ticks();
  CheckfreeDrosa();
  EXPECT_EQ(platform_ticks(), before) << "a balanced store is not waited for";
  destroyDrosa(spacc_template);
  spacc_template = NIL;
  destroy_Drosa_list(clip[0]);
  clipboard_list = NIL;
  clipboard_kind = 0;
  CheckfreeDrosa();
}

TEST_F(Leaks, LeakedNoteIsReportedAfterWaitingForLateReturns) {
  Drosa leaked = newDrosa(NOTE, 0);
  leaked->set(xmod7, int8_t(30));
  uint32_t before = platform_ticks();
  CheckfreeDrosa();
  EXPECT_EQ(platform_ticks() - before, 333u);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 3u + 6u);  // three summaries, the five templates and the leaked note
  EXPECT_EQ(r[0].text.rfind("CheckfreeDrosa: 6 nodes used; expected 5; total ", 0), 0u)
      << r[0].text;
  EXPECT_NE(r[0].text.find("Press RETURN 9 more times."), std::string::npos) << r[0].text;
  EXPECT_EQ(r[1].text.rfind("CheckfreeDrosa: total_Drosa_count ", 0), 0u) << r[1].text;
  EXPECT_EQ(r[2].text, "CheckfreeDrosa: undo 0 paste_count 0 paste_ptr 0 paste_list 0.");
  bool found = false;
  for (const Report& line : r) {
    if (line.text.find("(number " + std::to_string(drosa_index_of(leaked)) +
                       "): NOTE m7 30 res 0 nxt (nil)") != std::string::npos)
      found = true;
  }
  EXPECT_TRUE(found);
}

TEST_F(Leaks, ManyLeaksListAFewInAlertsAndTheRestOnTheDebugStream) {
  for (int i = 0; i < 30; ++i) newDrosa(TEXT, 0);
  testing::internal::CaptureStdout();
  CheckfreeDrosa();
  std::string debug = testing::internal::GetCapturedStdout();
  std::vector<Report> r = take_reports();
  EXPECT_EQ(r.size(), 3u + 8u);
  EXPECT_NE(r[0].text.find("Press RETURN 11 more times."), std::string::npos) << r[0].text;
  int lines = 0;
  for (char ch : debug) lines += ch == '\n';
  EXPECT_EQ(lines, 35 - 8);
}

TEST_F(Leaks, ClipboardListWithoutAKindIsReported) {
  std::vector<Drosa> clip = linked_chain(1);
  clipboard_list = clip[0];
  CheckfreeDrosa();
  std::vector<Report> r = take_reports();
  ASSERT_GE(r.size(), 1u);
  EXPECT_EQ(
      r[0].text, "Your paste_type is NO_PASTE, but paste_list is " + [&] {
        char b[20];
        std::snprintf(b, sizeof b, "%lx", (unsigned long)clip[0].handle());
        return std::string(b);
      }() + "!!!");
  destroyDrosa(clip[0]);
  clipboard_list = NIL;
}

TEST_F(Names, KindNamesForMessages) {
  EXPECT_STREQ(node_kind_name(NIL), "NODE_ADDRESS_OOR");
  EXPECT_STREQ(node_kind_name(Drosa(0x7FFFFFFF)), "NODE_ADDRESS_OOR");
  Drosa n = newDrosa(NOTE, 0);
  EXPECT_STREQ(node_kind_name(n), "NOTE");
  n->xkind = 75;
  EXPECT_STREQ(node_kind_name(n), "KIND_VALUE_OOR");
  n->xkind = 127;
  EXPECT_STREQ(node_kind_name(n), "KIND_VALUE_OOR");
  n->xkind = CLEF;
  n->xcontext = 5;
  EXPECT_STREQ(node_kind_name(n), "NA");
  current_ncontext = 5;
  EXPECT_STREQ(node_kind_name(n), "CLEF");
  current_ncontext = 1;
  n->xkind = NOTE;
  n->xcontext = 0;
}

}  // namespace
