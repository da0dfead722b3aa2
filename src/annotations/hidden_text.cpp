// hidden_text.cpp: where hidden text shows, the Hidden Text dialog, and the Align command.
//
// A text marked Hidden shows on the screen and in print as the preferences' hide word says for
// its category (the high byte for the screen, the low byte for print); one not marked shows
// everywhere. The category is decided in a fixed order, so that a command text is a command
// even when its first character is a dynamic's glyph.
//
// Align works on the PDATA boxes of the selected annotations, in page units with y upward:
// "top edges" take the largest y among them.
#include "annotations/hidden_text.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>

#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_services.h"
#include "annotations/line_annos.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "performance/performance_services.h"
#include "platform/dialogs.h"

namespace {

constexpr int HIDDEN_TEXT_DIALOG = 139, ALIGN_DIALOG = 17678;
constexpr int OK = 1, CANCEL = 2;
constexpr int FIRST_SCREEN_BOX = 4, LAST_SCREEN_BOX = 10;
constexpr int FIRST_PRINT_BOX = 12, LAST_PRINT_BOX = 18;
constexpr int CENTRED = 1;

// The screen bit of each check box of the Hidden Text dialog, items 4 to 10; the print boxes
// 12 to 18 stand for the same categories in the same order.
constexpr uint16_t BOX_BITS[7] = {SHOW_METRONOME,     SHOW_DYNAMICS,           SHOW_PEDAL_MARKS,
                                  SHOW_MIDI_COMMANDS, SHOW_PARAMETER_COMMANDS, SHOW_VERTICAL_TEXT,
                                  SHOW_OTHER_TEXT};

bool seen_tparam(Drosa node) { return node && effective_kind(node) == TPARAM; }

uint16_t box_bit(int item) {
  if (item >= FIRST_SCREEN_BOX && item <= LAST_SCREEN_BOX) return BOX_BITS[item - FIRST_SCREEN_BOX];
  if (item >= FIRST_PRINT_BOX && item <= LAST_PRINT_BOX)
    return BOX_BITS[item - FIRST_PRINT_BOX] >> 8;
  return 0;
}

}  // namespace

// ---- Where hidden text shows
// ---------------------------------------------------------------------

uint16_t hidden_text_category(Drosa tparam, Drosa note) {
  if (const int command = midi_anno_kind(tparam, nullptr))
    return command == COMMAND_PARAM ? SHOW_PARAMETER_COMMANDS : SHOW_MIDI_COMMANDS;
  double bpm = 0;
  int32_t unit = 0, dots = 0;
  if (parse_metronome_text(tparam, &bpm, &unit, &dots)) return SHOW_METRONOME;
  if (dynamic_index(note, tparam, nullptr) != -1) return SHOW_DYNAMICS;
  if (anno_is_pedal(note, tparam)) return SHOW_PEDAL_MARKS;
  return tparam->get(xfing) ? SHOW_VERTICAL_TEXT : SHOW_OTHER_TEXT;
}

int hidden_text_check(Drosa tparam, Drosa note, int screen) {
  if (!seen_tparam(tparam)) {
    REPORT_ERROR(4, "Bad call to hidden_text_check!");
    return 0;
  }
  if (!tparam->get(xhidden)) return 1;
  const uint16_t bit = hidden_text_category(tparam, note);
  return (prefs.u16(PREFS_HIDE_FLAGS) & (screen ? bit : bit >> 8)) != 0;
}

int hidden_text_where(Drosa tparam, Drosa note) {
  if (!seen_tparam(tparam)) {
    REPORT_ERROR(4, "Bad call to hidden_text_check!");
    return -1;
  }
  if (!tparam->get(xhidden)) return 1;
  const uint16_t bit = hidden_text_category(tparam, note), shown = prefs.u16(PREFS_HIDE_FLAGS);
  const bool on_screen = shown & bit, in_print = shown & (bit >> 8);
  if (on_screen && in_print) return 1;
  if (on_screen) return 2;
  return in_print ? 3 : -1;
}

void hidden_text_dialog() {
  DialogRun run(HIDDEN_TEXT_DIALOG, CURSOR_ID_ARROW);
  if (!run.dialog) return;
  const uint16_t shown = prefs.u16(PREFS_HIDE_FLAGS);
  for (int item = FIRST_SCREEN_BOX; item <= LAST_PRINT_BOX; ++item)
    if (const uint16_t bit = box_bit(item))
      platform_set_item_value(run.dialog, item, (shown & bit) != 0);
  draw_dialog_frame(run.dialog, nullptr, nullptr);
  for (;;) {
    const int item = run.next_item();
    if (item == CANCEL) return;
    if (box_bit(item)) {
      platform_set_item_value(run.dialog, item, !platform_item_value(run.dialog, item));
      continue;
    }
    if (item != OK) {
      REPORT_ERROR(2, "The Hidden Text dialog has no item %d.", item);
      continue;
    }
    uint16_t word = shown;
    for (int box = FIRST_SCREEN_BOX; box <= LAST_PRINT_BOX; ++box)
      if (const uint16_t bit = box_bit(box))
        word = platform_item_value(run.dialog, box) ? (word | bit) : (word & ~bit);
    prefs.set_u16(PREFS_HIDE_FLAGS, word);
    mark_piece_changed(1, 2, 0);
    return;
  }
}

// ---- Align ------------------------------------------------------------------------------------

namespace {

constexpr int ALIGN_TOPS = 4, ALIGN_BOTTOMS = 5, ALIGN_LEFTS = 6, ALIGN_CENTRES = 7,
              ALIGN_RIGHTS = 8;
constexpr int64_t NO_TARGET = 2100000000;

// One Align at a time.
struct AlignState {
  int choice = ALIGN_TOPS;
  int64_t target = 0;
  Drosa holder = NIL;                               // the annotation that gives the target
  bool warned = false;                              // the centred-text message was given
  std::unordered_set<uint32_t> moved_with_partner;  // segments moved along with their partner
};
AlignState align;

struct Box {
  int64_t x1, y1, x2, y2;
};

// The annotation's box on the screen's page; false when it is not drawn.
bool drawn_box(Drosa anno, Box* box) {
  Drosa pd = anno ? anno->xnext : NIL;
  if (!pd || pd->xkind != PDATA) return false;
  *box = {pd->get(xscrx1), pd->get(xscry1), pd->get(xscrx2), pd->get(xscry2)};
  return box->x1 != NOT_DRAWN && box->y1 != NOT_DRAWN && box->x2 != NOT_DRAWN &&
         box->y2 != NOT_DRAWN;
}

void find_target(Drosa anno) {
  Box b;
  if (!drawn_box(anno, &b)) return;
  int64_t value = 0;
  bool better = false;
  switch (align.choice) {
    case ALIGN_TOPS:
    case ALIGN_CENTRES:
      value = std::max(b.y1, b.y2);
      better = value > align.target;
      break;
    case ALIGN_BOTTOMS:
      value = std::min(b.y1, b.y2);
      better = value < align.target;
      break;
    case ALIGN_RIGHTS:
      value = std::max(b.x1, b.x2);
      better = value > align.target;
      break;
    case ALIGN_LEFTS:
      value = std::min(b.x1, b.x2);
      better = value < align.target;
      break;
    default:
      return;
  }
  if (!better) return;
  align.target = value;
  align.holder = anno;
}

int32_t clamp_i32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

void show_marks(Drosa anno, bool shown) {
  if (group_selected)
    group_highlight_anno(anno);
  else
    anno_highlight(anno, shown ? 2 : 1);
}

}  // namespace

void align_one_anno(Drosa anno) {
  Box b;
  if (!drawn_box(anno, &b) || align.moved_with_partner.count(anno.handle())) return;
  int64_t dx = 0, dy = 0;
  switch (align.choice) {
    case ALIGN_TOPS:
      dy = align.target - std::max(b.y1, b.y2);
      break;
    case ALIGN_BOTTOMS:
      dy = align.target - std::min(b.y1, b.y2);
      break;
    case ALIGN_RIGHTS:
      dx = align.target - std::max(b.x1, b.x2);
      break;
    case ALIGN_LEFTS:
      dx = align.target - std::min(b.x1, b.x2);
      break;
    case ALIGN_CENTRES: {
      Box h;
      if (!drawn_box(align.holder, &h)) return;
      dx = (h.x1 + h.x2) / 2 - (b.x1 + b.x2) / 2;
      break;
    }
    default:
      return;
  }
  if (!dx && !dy) return;
  const bool tparam = anno->xkind == TPARAM;
  if (dx && tparam && anno->get(xjustified) == CENTRED) {
    if (!align.warned)
      REPORT_ERROR(2,
                   "You are trying to align a Centered text annotation, which cannot be moved "
                   "horizontally.");
    align.warned = true;
    return;
  }
  // The other segment of a line that runs on keeps its start's height matching.
  Drosa partner = !tparam && dy ? line_geometry_wrapper(anno) : NIL;
  modifyvc_with_undo(anno);
  if (partner) modifyvc_with_undo(partner);
  show_marks(anno, false);
  anno_draw(anno, 1, 0);
  Drosa pd = anno->xnext;
  pd->set(xscrx1, clamp_i32(b.x1 + dx));
  pd->set(xscrx2, clamp_i32(b.x2 + dx));
  pd->set(xscry1, clamp_i32(b.y1 + dy));
  pd->set(xscry2, clamp_i32(b.y2 + dy));
  const auto& fx = tparam ? xtextx : xstartx;
  const auto& fy = tparam ? xtexty : xstarty;
  anno->set(fx, clamp_i32(int64_t(anno->get(fx)) + dx));
  anno->set(fy, clamp_i32(int64_t(anno->get(fy)) + dy));
  if (partner) {
    partner->set(xstarty, anno->get(xstarty));
    align.moved_with_partner.insert(partner.handle());
  }
  anno_draw(anno, 0, 0);
  show_marks(anno, true);
  mark_piece_changed(1, 1, 0);
}

void do_align_dialog() {
  int choice = ALIGN_TOPS;
  {
    DialogRun run(ALIGN_DIALOG, CURSOR_ID_ARROW);
    if (!run.dialog) return;
    for (int item = ALIGN_TOPS; item <= ALIGN_RIGHTS; ++item)
      platform_set_item_value(run.dialog, item, item == choice);
    draw_dialog_frame(run.dialog, nullptr, nullptr);
    for (;;) {
      const int item = run.next_item();
      if (item == CANCEL) return;
      if (item == OK) break;
      if (item >= ALIGN_TOPS && item <= ALIGN_RIGHTS) {
        choice = item;
        for (int radio = ALIGN_TOPS; radio <= ALIGN_RIGHTS; ++radio)
          platform_set_item_value(run.dialog, radio, radio == choice);
        continue;
      }
      REPORT_ERROR(4, "Unexpected item returned from align dialog");
    }
  }
  save_cursor();
  align = AlignState{};
  align.choice = choice;
  align.target = choice == ALIGN_BOTTOMS || choice == ALIGN_LEFTS ? NO_TARGET : -NO_TARGET;
  for_each_selected(find_target, 0);
  if (align.holder) for_each_selected(align_one_anno, 0);
  align = AlignState{};
  restore_cursor();
}
