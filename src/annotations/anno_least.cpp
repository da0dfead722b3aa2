// anno_least.cpp: what the main loop, the menus and the annotation passes ask of the parts of
// the annotations that are not built yet: the palette takes no event, no text is ever being
// edited and no annotation is ever selected; lines that run over several systems are drawn
// only across the systems they cross whole, shapes as their plain line, texts of several lines
// line by line; hidden texts are shown by the bits of their category.
#include "annotations/anno_least.h"

#include <algorithm>
#include <string>

#include "annotations/anno_codes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_services.h"
#include "annotations/drawtext.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/port.h"

int anno_dialog_event(const EventRecord&) { return 0; }
void text_start(int) {}
void text_finish(int) {}
void text_redraw() {}
void icon_update() {}
int text_edit_length() { return 0; }
int text_has_selection() { return 0; }

void count_annotations(int32_t flags[9]) {
  for (int i = 0; i < 9; ++i) flags[i] = 0;
}

// There is no in-place text editor yet, so there is no caret to blink.
void text_idle() {}

// ---- Lines ----------------------------------------------------------------------------------

namespace {

bool visible_segment(Drosa node, int role) {
  return node && effective_kind(node) == LINE && node->get(xline_eocvar) == 0 &&
         node->get(xline_ord) == role;
}

bool same_line(Drosa a, Drosa b) {
  return a->get(xstarty) == b->get(xstarty) && a->get(xendy) == b->get(xendy);
}

// The ENDLINE that belongs to a BEGLINE: the first one after it with the same heights, when
// the first BEGLINE with those heights before that ENDLINE is this one.
Drosa line_partner(Drosa begline) {
  Drosa end = NIL;
  for (Drosa p = begline->xnext; p && !end; p = p->xnext)
    if (visible_segment(p, LINE_END) && same_line(p, begline)) end = p;
  if (!end) return NIL;
  for (Drosa p = end->xback; p; p = p->xback)
    if (visible_segment(p, LINE_BEGIN) && same_line(p, begline)) return p == begline ? end : NIL;
  return NIL;
}

}  // namespace

int layout_lines(Drosa begline, Drosa first_note) {
  Drosa end = line_partner(begline);
  bool past_first = false, crossed = false;
  for (Drosa p = begline->xnext; end && p; p = p->xnext) {
    if (p == end) return past_first && crossed;
    if (p == first_note)
      past_first = true;
    else if (past_first && effective_kind(p) == ENDSYST)
      crossed = true;
  }
  return 0;
}

int layout_hairpins(Drosa line, Drosa) {
  const int role = line->get(xline_ord);
  return line->get(xline_eocvar) != 0 || (role != LINE_BEGIN && role != LINE_END);
}

void draw_anno_graphic(Drosa line, Drosa note, int, int pstaff) {
  Drosa pd = line->xnext;
  if (!pd || pd->xkind != PDATA) return;
  const int32_t x1 = pd->get(xpagex1), y1 = pd->get(xpagey1);
  GEline(line->get(xline_drawmode), x1, y1, pstaff, 0, pd->get(xpagex2), pd->get(xpagey2), pstaff,
         0, line->get(xlinewidth), line->get(xdashlth), line->get(xgaplth), x1 + line->get(xc1x),
         y1 + line->get(xc1y), x1 + line->get(xc2x), y1 + line->get(xc2y), line->get(xline_color),
         GANNO_BOTH, note);
}

// ---- Texts of several lines ---------------------------------------------------------------------

namespace {

constexpr int P_LINE_SPACING = 615;  // "adjustment to vertical spacing between fingering numbers"
constexpr int MOST_VERTICAL_LINES = 10;

struct Piece {
  Drosa run;
  std::string text;
  int32_t width;
};

int32_t piece_width(Drosa note, Drosa head, Drosa run, const std::string& text) {
  return anno_string_width(note, head, run, text);
}

void emit_line(Drosa head, Drosa note, int pstaff, const std::vector<Piece>& line, int32_t left,
               int32_t block_width, int32_t y, int where) {
  int32_t width = 0;
  for (const Piece& p : line) width += p.width;
  const int justified = head->get(xjustified);
  int32_t x = left + (justified == 0   ? 0
                      : justified == 2 ? block_width - width
                                       : (block_width - width) / 2);
  for (const Piece& p : line) {
    GEstring(head->get(xtext_drawmode), x, y, p.run->get(xexpand), p.run->get(xsuper), pstaff,
             font_from_code(p.run->get(xtextfont)), p.run->get(xcharset),
             note_text_offset(note, head, p.run), p.run->get(xtextface), head->get(xtext_color),
             p.text.c_str(), head->get(xpslayout), where, note, head);
    x += p.width;
  }
}

}  // namespace

void layout_anno_text(Drosa tparam, Drosa note, int, int pstaff, int lines, int spacing) {
  Drosa pd = tparam->xnext;
  if (!pd || pd->xkind != PDATA || pd->get(xpagex1) == NOT_DRAWN) return;
  const int32_t left = pd->get(xpagex1), top = pd->get(xpagey1);
  const int32_t block_width = pd->get(xpagex2) - left;
  const bool vertical = lines <= 0 && tparam->get(xfing);
  const int32_t adjust = param_length(P_LINE_SPACING, note, nullptr);
  const int32_t step = -((spacing ? spacing : tparam->get(xtextsize) * 10) + adjust);
  const int where = hidden_text_where(tparam, note);
  if (where == -1) return;
  std::vector<Piece> line;
  int index = 0;
  for (Drosa run = tparam; run; run = next_style_run(run)) {
    const std::string text = anno_run_text(run);
    if (vertical) {  // one character a line
      for (char c : text) {
        if (c == '\n' || c == '\r') continue;
        if (index >= MOST_VERTICAL_LINES) return;
        const std::string one(1, c);
        emit_line(tparam, note, pstaff, {{run, one, piece_width(note, tparam, run, one)}}, left,
                  block_width, top + index++ * step, where);
      }
      continue;
    }
    size_t from = 0;
    for (size_t at = 0; at <= text.size(); ++at) {
      const bool end = at == text.size();
      if (!end && text[at] != '\n' && text[at] != '\r') continue;
      if (at > from) {
        const std::string piece = text.substr(from, at - from);
        line.push_back({run, piece, piece_width(note, tparam, run, piece)});
      }
      if (end) break;
      // A line feed goes on to the next line; a return starts the same line again.
      emit_line(tparam, note, pstaff, line, left, block_width, top + index * step, where);
      line.clear();
      if (text[at] == '\n') ++index;
      from = at + 1;
    }
  }
  emit_line(tparam, note, pstaff, line, left, block_width, top + index * step, where);
}

// ---- Hidden text ----------------------------------------------------------------------------

namespace {

// The screen bit of a category of hidden text in the preferences' hide word; the print bit
// is the same bit of the low byte.
constexpr uint16_t SHOW_PARAMETER_COMMANDS = 0x1000, SHOW_MIDI_COMMANDS = 0x2000;
constexpr uint16_t SHOW_OTHER_TEXT = 0x0800, SHOW_VERTICAL_TEXT = 0x0200;

uint16_t category_bit(Drosa tparam) {
  const int command = midi_anno_kind(tparam, nullptr);
  if (command == COMMAND_PARAM) return SHOW_PARAMETER_COMMANDS;
  if (command != COMMAND_NONE) return SHOW_MIDI_COMMANDS;
  return tparam->get(xfing) ? SHOW_VERTICAL_TEXT : SHOW_OTHER_TEXT;
}

}  // namespace

int hidden_text_where(Drosa tparam, Drosa) {
  if (!tparam || effective_kind(tparam) != TPARAM) {
    REPORT_ERROR(4, "Bad call to hidden_text_check!");
    return -1;
  }
  if (!tparam->get(xhidden)) return 1;
  const uint16_t shown = prefs.u16(PREFS_HIDE_FLAGS), screen = category_bit(tparam);
  const bool on_screen = shown & screen, in_print = shown & (screen >> 8);
  if (on_screen && in_print) return 1;
  if (on_screen) return 2;
  return in_print ? 3 : -1;
}

void anno_draw(Drosa, int, int) {}

Drosa line_geometry_wrapper(Drosa) { return NIL; }
