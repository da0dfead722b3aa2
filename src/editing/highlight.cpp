// highlight.cpp: the selection shown on the page: every note of a group selection, and with
// voice highlighting on every note of the voices other than the selected one, painted over by
// exclusive-or of a pattern in the page image, the note's own glyph drawn again on top so that
// it stays readable.
//
// Marks live only in the pixels: painting a note twice takes its mark away. The group marks
// follow the notes' xselected bits (every change of a bit goes through toggle_xselected,
// which paints), the voice marks follow selected_voice (set_insertion_point repaints when it
// changes). A page drawn afresh has no marks: highlight_page_marks puts them back.
//
// The page image holds 32-bit pixels, on which exclusive-or is exactly undone, glyphs and
// their colours included, in whatever order marks overlap: the note's glyph is not drawn again
// around the paint (drawn over itself, an anti-aliased glyph would only grow darker at its
// edges). draw_number_label still draws a note's glyph afresh for those who need it.
#include "editing/highlight.h"

#include <algorithm>
#include <cstdio>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"
#include "platform/port_scope.h"

namespace {

// The selection: every pixel of the note's box inverted, so that a selected head stands out in
// reverse on the smoothed page at any size (a sparse pattern left only a speckle in the head).
constexpr Pattern SELECTION_PATTERN = PATTERN_BLACK;

constexpr int MARK_MARGIN = 2;  // pixels round a note's rectangle

// Every other pixel column, in vertical stripes: the voice marks.
constexpr Pattern VOICE_PATTERN{{0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}};

// NTDATA layout codes (xtabtyp): a guitar tablature staff, a staff without heads.
constexpr int TAB_STAFF = 1, HEADLESS_STAFF = 2;

int voices() { return std::min<int>(voice_count, MAX_VOICES); }

bool ends_page(Drosa p) { return effective_kind(p) == ENDSYST && p->get(xendpage); }

// An annotation stands on the page shown when the note it is placed by is drawn there.
bool anno_on_page(Drosa anno) {
  Drosa note = anno;
  while (note && !is_NOTE(note)) note = note->xnext;
  return is_plotted_note(note);
}

double zoom() { return zoom_factor > 0 ? zoom_factor : 10.0; }

// Whether a note shows anything to mark: it is drawn, it is no hidden rest nor a rest on a
// staff without heads, and on a tablature staff it stands on a string.
bool paintable(Drosa note) {
  if (!is_plotted_note(note)) return false;
  Drosa nt = note->xnext;
  const int code = nt->get(xtabtyp);
  if (note->get(xrest) && (note->get(xhider) || code == HEADLESS_STAFF)) return false;
  if ((code == TAB_STAFF || code == HEADLESS_STAFF) && nt->get(xtabstr) == 0) return false;
  return true;
}

void paint_exclusive_or(const Rect& r, const Pattern& pattern) {
  pen_pattern(pattern);
  pen_mode(MODE_PAT_XOR);
  paint_rect(r);
  pen_normal();
  text_mode(MODE_OR);
}

// The drawn notes of voice v on the page, in list order.
template <typename Visit>
void for_page_notes(int v, Visit visit) {
  if (voice_not_shown(v) || !page_start[v]) return;
  for (Drosa p = page_start[v]->xnext; p && !ends_page(p); p = p->xnext)
    if (p->xkind == NOTE && is_plotted_note(p)) visit(p);
}

}  // namespace

// ---- A note's rectangle -------------------------------------------------------------------------

void DrosaRect(Drosa note, Rect* rect) {
  *rect = Rect{};
  if (!is_plotted_note(note)) {
    REPORT_ERROR(4, "Called DrosaRect with note not visible on screen");
    return;
  }
  Drosa nt = note->xnext;
  const int32_t x = nt->get(xscrhdx), y = nt->get(xscrhdy);
  if (note->get(xrest)) {
    virtual_rect_to_screen(rect, x, y - rest_descend_size(note, 1), x + rest_width(note, 1),
                           y + rest_ascend_size(note, 1));
    return;
  }
  const bool grace = note->get(xgrace);
  const int32_t height = scale_param_length(
      P_NOTE_HEAD_HEIGHT, param_value_variant(P_NOTE_HEAD_HEIGHT, note, grace ? 1 : 0)->integer());
  const int32_t z = int32_t(zoom());
  const int32_t bottom = grace ? y - 2 * z : y, top = grace ? y + height : y + height + z;
  virtual_rect_to_screen(rect, x, bottom, x + hdw(note, 0), top);
}

// ---- Painting -----------------------------------------------------------------------------------

void draw_number_label(Drosa note) {
  if (!paintable(note)) return;
  Drosa nt = note->xnext;
  const int colour = note_color_index(note);
  const int code = nt->get(xtabtyp);
  if ((code == TAB_STAFF || code == HEADLESS_STAFF) && !note->get(xrest)) {
    VirtualRect box;
    int32_t x = 0;
    const int32_t fret = draw_tab_fret(note, &box, &x);
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%hd", short(fret));
    ParamValue font;
    scaled_char_param(&font, note->get(xthumb) ? 581 : 550, note, nullptr);
    const int pixels = int(font.size() * 10.0 / zoom() + 0.5);
    offscreen_string(x, box.y1, 0, 0, font_from_code(font.font()), font.bytes[2], pixels,
                     font.style(), colour, std::string_view(text, size_t(length)));
  } else {
    int32_t x = 0, y = 0;
    if (const int glyph = screen_head_glyph(note, &x, &y))
      offscreen_char(x, y, glyph, colour, note);
  }
  in_port(offscreen_page, [] { fore_colour(COLOUR_BLACK); });
}

void highlight_note(Drosa note, int /*order*/, const Pattern& pattern, int refresh) {
  if (!paintable(note) || !offscreen_page) return;
  Rect r;
  DrosaRect(note, &r);
  // A margin round the head: inverted, the head stands white in a dark box, not mistaken for
  // an open head.
  r = {r.left - MARK_MARGIN, r.top - MARK_MARGIN, r.right + MARK_MARGIN, r.bottom + MARK_MARGIN};
  in_port(offscreen_page, [&] { paint_exclusive_or(r, pattern); });
  if (refresh) refresh_from_offscreen();
}

void highlight_note_simple(Drosa note, int order) { highlight_note(note, order, VOICE_PATTERN, 0); }

void group_highlight_note(Drosa note) {
  if (MODE != MUSIC_MODE)
    REPORT_ERROR(4, "Called group_highlight_note() while not in MUSIC_MODE; MODE is %hd.", MODE);
  highlight_note(note, 0, SELECTION_PATTERN, 0);
}

void group_unhighlight_note(Drosa note) {
  if (MODE != MUSIC_MODE)
    REPORT_ERROR(4, "group_unhighlight_note() while not in MUSIC_MODE; MODE is %hd", MODE);
  highlight_note(note, 1, SELECTION_PATTERN, 0);
}

namespace {

// Paints the voice marks for a change of the selected voice from old to new, without refresh.
void paint_voice_change(int old_voice, int new_voice) {
  for (int v = 0; v < voices(); ++v) {
    int order;
    if (old_voice == -10) {
      if (v == new_voice) continue;
      order = 0;
    } else if (new_voice == -10) {
      if (v == old_voice) continue;
      order = 1;
    } else if (v == old_voice) {
      order = 0;
    } else if (v == new_voice) {
      order = 1;
    } else {
      continue;
    }
    for_page_notes(v, [order](Drosa note) { highlight_note_simple(note, order); });
  }
}

}  // namespace

void highlight_voice(int old_voice, int new_voice) {
  if (old_voice == new_voice) return;
  paint_voice_change(old_voice, new_voice);
  refresh_from_offscreen();
}

namespace {

// Paints (order 0) or unpaints (1) the group's marks on the page.
void paint_group(int order) {
  for (int v = 0; v < voices(); ++v) {
    for_page_notes(v, [order](Drosa note) {
      if (note->get(xselected)) highlight_note(note, order, SELECTION_PATTERN, 0);
    });
    if (MODE == MUSIC_MODE || voice_not_shown(v) || !page_start[v]) continue;
    for (Drosa p = page_start[v]->xnext; p && !ends_page(p); p = p->xnext) {
      Drosa pd = p->xnext;
      if (p->xkind != PDATA && pd && effective_kind(pd) == PDATA && pd->get(xanno_selected))
        group_highlight_anno(p);
    }
  }
}

}  // namespace

void highlight_page_marks() {
  if (!offscreen_page) return;
  if (group_selected) paint_group(0);
  // Taken away later by inverting them again: a page drawn while an annotation is selected
  // (a text the Text Assistant has just placed) would otherwise get them only then.
  if (current_anno && !group_selected && MODE != MUSIC_MODE && anno_on_page(current_anno))
    anno_highlight(current_anno, 0);
  if (voice_highlighted && selected_voice != -10) paint_voice_change(-10, selected_voice);
}

void unmark_page_group() {
  if (offscreen_page) paint_group(1);
}

// ---- The accidental's rectangle
// ------------------------------------------------------------------

bool node_window_rect(Drosa note, Rect* out) {
  *out = Rect{};
  if (!is_plotted_note(note) || note->get(xrest) || !note->get(xaccplot)) return false;
  Drosa nt = note->xnext;
  if (nt->get(xtabtyp) != 0 || nt->get(xaccx) == NO_ACCIDENTAL_X) return false;
  const Point origin = scroll_origin();
  const int32_t bottom_v = origin.y + page_pixel_height;
  const int32_t x = int32_t(nt->get(xscrhdx) + nt->get(xaccx) * -5.0);
  Drosa spacc = find_prev_kind_stop_2(SPACC, note, 0);
  const int32_t width = param_group_width(note, nullptr, note->get(xacc), spacc);
  // An accidental reaches about a head's height below the head and two above it.
  const int32_t head = param_length(P_NOTE_HEAD_HEIGHT, note, nullptr);
  const int32_t y = nt->get(xscrhdy);
  const int left = round_nearest_int(x / zoom()) + origin.x;
  *out = Rect{left, bottom_v - round_nearest_int((y + 3 * head) / zoom()),
              left + std::max(1, round_nearest_int(width / zoom())),
              bottom_v - round_nearest_int((y - head) / zoom())};
  return true;
}
