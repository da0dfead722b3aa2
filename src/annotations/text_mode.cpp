// text_mode.cpp: text annotations typed and edited in place on the page in text mode. One
// styled text record stands over the music window while a text is edited; the annotation's
// music glyphs show in it as their backslash codes. When editing ends the record's characters
// are parsed and stored as a TPARAM run: a head TPARAM, its PDATA, TEXT nodes of at most 21
// characters, and a further TPARAM (xadjacent) wherever the style changes.
#include "annotations/text_mode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "annotations/anno_classes.h"
#include "annotations/anno_codes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_select.h"
#include "annotations/anno_services.h"
#include "annotations/hidden_text.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/clipboard.h"
#include "platform/port.h"
#include "platform/text_edit.h"
#include "platform/text_encoding.h"
#include "platform/ticks.h"
#include "platform/window.h"

TextRecord* text_edit_record = nullptr;
int32_t text_pos_x = 0, text_pos_y = 0;  // where the edited text starts on the page
int32_t text_finish_staff_y = 0;         // the insertion point's staff at the last finish
int32_t text_finish_y = 0;               // the y of the text finished last

namespace {

constexpr int32_t UNCHANGED = 2100000000;

bool music_font(int code) { return code == -1 || code == -2 || code == -3; }

bool is_published() { return current_view_index >= 0 && options_i16(1, OPTIONS_PUBLISHED) != 0; }

double zoom() { return zoom_factor > 0 ? zoom_factor : 10.0; }

int points_to_pixels(int points) { return std::max(1, int(std::lround(points * 10.0 / zoom()))); }
int pixels_to_points(int pixels) { return std::max(1, int(std::lround(pixels * zoom() / 10.0))); }

int32_t staff_y_of(Drosa note) {
  return note && is_plotted_note(note) ? staff_top_y(pstaff_of_node(note), 0) : 0;
}

// The text template's style as the record's.
TextStyle template_style() {
  TextStyle s;
  s.font = font_from_code(text_template->get(xtextfont));
  s.face = text_template->get(xtextface);
  int size = text_template->get(xtextsize);
  if (insertion_point && note_ntdata(insertion_point))
    size = note_text_offset(insertion_point, text_template, text_template);
  s.size = points_to_pixels(size ? size : 12);
  return s;
}

// The page copied to the window again, the record drawn over it.
void redraw_record() {
  if (!text_edit_record || !music_window_port) return;
  refresh_from_offscreen();
  Port* saved = platform_current_port();
  platform_set_port(music_window_port);
  const Rect clip = get_clip();
  clip_rect(music_area_rect());
  te_draw(text_edit_record);
  clip_rect(clip);
  platform_set_port(saved);
}

// The width of the edited text in page units.
int32_t record_width() {
  Port* saved = platform_current_port();
  platform_set_port(offscreen_port());
  const int pixels = te_text_width(text_edit_record);
  platform_set_port(saved);
  return int32_t(std::lround(pixels * zoom()));
}

// The record's rectangle from the text position.
void place_record() {
  TextRecord* te = text_edit_record;
  Port* saved = platform_current_port();
  platform_set_port(offscreen_port());
  int ascent = 0, descent = 0;
  te_line_height(te, &ascent, &descent);
  const int width = te_text_width(te);
  TextStyle widest = te_style_at(te, 0);
  text_font(widest.font);
  text_size(widest.size);
  const int char_w = int(get_font_metrics().max_width + 0.5);
  platform_set_port(saved);
  const Point at = window_of(text_pos_x, text_pos_y);
  te->dest = {at.x - 1, at.y - ascent, at.x - 1 + width + char_w + 4, at.y + descent};
  te->view = {te->dest.left, te->dest.top, te->dest.right, te->dest.bottom + 2000};
}

// Reads the style at the selection's start (or before the caret) into the text template.
void style_into_template(bool from_caret) {
  TextRecord* te = text_edit_record;
  const int a = std::min(te->sel_start, te->sel_end);
  const bool selection = te->sel_start != te->sel_end;
  if (!selection && !from_caret) return;
  const TextStyle s = te_style_at(te, !selection && a > 0 ? a - 1 : a);
  text_template->set(xtextfont, int16_t(code_from_font(s.font)));
  text_template->set(xtextface, uint8_t(s.face));
  text_template->set(xtextsize, uint8_t(std::clamp(pixels_to_points(s.size), 1, 255)));
  text_template->set(xcharset, 0);
  if (Drosa nt = insertion_point ? note_ntdata(insertion_point) : NIL)
    text_template->set(xtext_stsize, uint8_t(std::clamp(nt->get(xstsize) / 10, 0, 15)));
}

// The annotation's text runs as the record shows them: codes for a coded annotation.
void load_annotation(Drosa head, Drosa note) {
  const bool coded = anno_text_to_codes(nullptr, head, note) != 0;
  const AnnoFontSpec base = anno_font_spec(head);
  for (Drosa run = head; run; run = next_style_run(run)) {
    std::string text = run_text(run);  // the whole run: nothing of a long text is lost
    for (char& c : text)
      if (uint8_t(c) < 32 && c != '\n' && c != '\r') c = ' ';
    bool wrote_code = false;
    if (coded) wrote_code = anno_text_to_codes(&text, run, note) != 0;
    TextStyle s;
    if (wrote_code) {
      s.font = font_from_code(base.font);
      s.face = 0;
      s.size = points_to_pixels(base.size);
    } else {
      s.font = font_from_code(run->get(xtextfont));
      s.face = run->get(xtextface);
      s.size = points_to_pixels(note_text_offset(note, head, run));
    }
    te_insert(text_edit_record, text, &s);
  }
}

int32_t highest_locked_text_y(Drosa note, int32_t staff_y) {
  int32_t highest = INT32_MIN;
  Drosa p = note->xback;
  while (p && p->xkind != NOTE && p->xkind != ENDSYST) p = p->xback;
  for (p = p ? p->xnext : NIL; p && p != note; p = p->xnext)
    if (p->xkind == TPARAM && !p->get(xadjacent) && p->get(xfromstaff) && !p->get(xpagemargin) &&
        hidden_text_check(p, note, 1))
      highest = std::max(highest, staff_y + p->get(xtexty));
  return highest;
}

}  // namespace

// The window point of a page point (pixels of the page image).
Point window_of(int32_t x, int32_t y) {
  const Point origin = scroll_origin();
  return {int(screen_x(x)) + origin.x, int(screen_y(y)) + origin.y};
}

// ---- Starting ---------------------------------------------------------------------------------

void text_start(int how) {
  if (is_published()) return;
  if (text_edit_record) {
    REPORT_ERROR(4, "non-NIL edit record in text_start (text.c)");
    text_finish(1);
  }
  Drosa note = insertion_point;
  if (!note || !is_plotted_note(note) || !text_template) return;
  if (MODE != TEXT_MODE) return;  // texts are typed in text mode only
  int32_t rx = 0, ry = 0;
  anno_refloc(note, text_template, &rx, &ry, 0);
  const int32_t staff_y = staff_y_of(note);
  int32_t x = rx, y = ry;
  bool vertical = how != 4;
  Drosa original = how == 4 ? current_anno : NIL;
  if (how == 4 && (!original || original->xkind != TPARAM)) return;
  if (how == 2 || how == 3) {
    // A new text repeats nowhere, whatever the annotation the template was taken from did.
    text_template->set(xeachsys, 0);
    text_template->set(xeachpage, 0);
    text_template->set(xeverypart, 0);
  }
  set_undo_mark(0);
  auto horizontal = [&](bool with_lock) {
    if (text_template->get(xjustified) == 1)
      x = rx + param_length(P_CENTERING_X_OFFSET_IF_CENTERED_CHECKED, note);
    else if (with_lock && text_template->get(xpagemargin)) {
      x = param_length(P_X_OFFSET_FROM_LEFT_MARGIN_IF_HORIZONTAL_LOCK_CHECKED, note);
      y = staff_y + param_length(P_Y_OFFSET_FROM_STAFF_IF_HORIZONTAL_LOCK_CHECKED, note);
      vertical = false;
    } else if (text_template->get(xfing))
      x = rx + param_length(P_DEFAULT_X_OFFSET_FROM_NOTE_FOR_FINGERING_NUMBERS, note);
    else
      x = rx + param_length(P_X_OFFSET_FOR_TYPING_TEXT_IF_HORIZONTAL_LOCK_UNCHECKED, note);
  };
  if (how == 2) {
    if (anno_text_origin(&x, &y))
      vertical = false;
    else
      horizontal(true);
  } else if (how == 3) {
    horizontal(false);
    y = text_finish_y + (staff_y - text_finish_staff_y);
    vertical = false;
  } else {
    Drosa pd = original->xnext;
    if (pd && pd->xkind == PDATA && pd->get(xscrx1) != NOT_DRAWN) {
      x = pd->get(xscrx1);
      y = pd->get(xscry1);
    }
    text_template->set(xtextx, original->get(xtextx));
    text_template->set(xtexty, original->get(xtexty));
  }
  if (vertical) {
    int32_t offset;
    if (text_template->get(xfing))
      offset =
          staff_y + param_length(P_DEFAULT_Y_OFFSET_FROM_STAFF_FOR_CLOSEST_FINGERING_NUMBER, note),
      y = offset;
    else if (text_template->get(xfooter))
      offset = param_length(P_Y_OFFSET_FROM_NOTE_IF_HORIZ_AND_VERT_LOCK_UNCHECKED, note),
      y = offset;
    else if (text_template->get(xfromstaff))
      offset = param_length(P_Y_OFFSET_FROM_STAFF_IF_VERT_LOCK_CHECKED_BUT_NOT_HORIZ, note),
      y = staff_y + offset;
    else
      offset = param_length(P_Y_OFFSET_FROM_NOTE_IF_HORIZ_AND_VERT_LOCK_UNCHECKED, note),
      y = ry + offset;
    if (offset > 0 && text_template->get(xfromstaff) && !text_template->get(xfooter)) {
      const int32_t highest = highest_locked_text_y(note, staff_y);
      if (highest != INT32_MIN && highest > y) y = highest;
    }
  }
  text_pos_x = x;
  text_pos_y = y;
  scroll_to_rect(window_of(x, y).x, window_of(x, y).y, 0);

  text_edit_record = te_style_new({-10000, 0, 0, 100}, {-10000, 0, 0, 2100}, template_style());
  if (how == 4) {
    load_annotation(original, note);
    te_set_select(text_edit_record, 0, 0);
    // The edited copy replaces the original when editing ends.
    const bool was_dynamic = dynamic_index(note, original, nullptr) != -1;
    current_anno = NIL;
    anno_highlight(original, 1);
    if (original->get(xeocvar)) {
      modifyvc_with_undo(original);
      original->set(xtext_drawmode, 2);
    } else {
      delete_anno_nodes(original);
    }
    if (was_dynamic) apply_dynamic_velocity(note);
    mark_views_changed(1, 1, current_ncontext);
  } else {
    text_edit_record->typing = template_style();
    if (vertical) {
      // The baseline a line below the start's top.
      Port* saved = platform_current_port();
      platform_set_port(offscreen_port());
      const TextStyle s = template_style();
      text_font(s.font);
      text_size(text_template->get(xtextsize) ? text_template->get(xtextsize) : 12);
      const FontMetrics m = get_font_metrics();
      platform_set_port(saved);
      int32_t line = int32_t(std::lround((m.ascent + m.descent + m.leading) * 10.0));
      if (music_font(text_template->get(xtextfont)) && text_template->get(xtextfont) != -3)
        line /= 2;
      text_pos_y -= line;
    }
  }
  te_activate(text_edit_record, true);
  text_set_style(0, 1, 0);
}

// ---- Styles and the record's place -------------------------------------------------------------

void text_set_style(int mode, int refresh, int from_caret) {
  if (MODE != TEXT_MODE || !text_edit_record) return;
  TextRecord* te = text_edit_record;
  if (mode) {
    TextStyle s = template_style();
    if (mode & TE_FACE) te_set_style(te, TE_FACE, TextStyle{s.font, 0, s.size});
    te_set_style(te, mode, s);
  }
  style_into_template(from_caret != 0);
  const int justified = text_template->get(xjustified);
  if (justified && insertion_point && is_plotted_note(insertion_point)) {
    int32_t rx = 0, ry = 0;
    anno_refloc(insertion_point, text_template, &rx, &ry, 0);
    const int32_t width = record_width();
    text_pos_x = text_template->get(xtextx) + rx - (justified == 2 ? width : width / 2);
  }
  (void)refresh;  // the window is always copied from the page before the record is drawn
  place_record();
  redraw_record();
}

void text_redraw() { redraw_record(); }
void text_update() { redraw_record(); }

void text_idle() {
  if (!text_edit_record || is_published()) return;
  if (te_idle(text_edit_record, platform_ticks(), platform_caret_ticks())) redraw_record();
}

int text_edit_length() { return text_edit_record ? int(text_edit_record->text.size()) : 0; }

int text_has_selection() {
  return text_edit_record && text_edit_record->sel_start != text_edit_record->sel_end;
}

// ---- Keys, clicks and commands ------------------------------------------------------------------

void text_key(const EventRecord& event) {
  if (!text_edit_record) text_start(2);
  if (!text_edit_record) return;
  uint8_t c = event_char(event);
  if (event.typed >= 0x80 && unicode_to_macroman(event.typed, 0) == 0) {
    std::string shown;
    append_utf8(shown, event.typed);
    REPORT_ERROR(2,
                 "The character \"%s\" cannot be typed into an annotation: a piece stores its "
                 "texts in the Mac OS Roman character set, which does not hold it.",
                 shown.c_str());
    return;
  }
  TextRecord* te = text_edit_record;
  const bool deleting = c == KEY_DELETE || c == KEY_BACKSPACE;
  const bool replaced = te->sel_start != te->sel_end;
  if (deleting) text_set_style(0, 0, 1);
  if (c == KEY_TAB && prefs.u8(PREFS_TEXT_ENTRY_OPTION)) c = ' ';
  te_key(te, c);
  if (deleting || replaced)
    text_set_style(TE_ALL, 1, 0);
  else
    text_set_style(0, 0, 0);
}

int text_click(Point where, int extend) {
  if (MODE != TEXT_MODE) {
    REPORT_ERROR(4, "text_click called with MODE != TEXT_MODE");
    return 0;
  }
  const int grow = points_to_pixels(text_template ? text_template->get(xtextsize) : 12);
  Rect box{0, 0, 0, 0};
  if (current_anno) {
    Drosa pd = current_anno->xnext;
    if (pd && pd->xkind == PDATA && pd->get(xscrx1) != NOT_DRAWN) {
      const Point a = window_of(pd->get(xscrx1), pd->get(xscry1));
      const Point b = window_of(pd->get(xscrx2), pd->get(xscry2));
      box = {std::min(a.x, b.x), std::min(a.y, b.y) - grow, std::max(a.x, b.x), std::max(a.y, b.y)};
    }
  } else if (text_edit_record) {
    box = text_edit_record->dest;
  }
  box = {box.left - grow, box.top - grow, box.right + grow, box.bottom + grow};
  if (!box.contains(where)) return 0;
  if (current_anno) text_start(4);
  if (text_edit_record && !text_edit_record->text.empty()) {
    te_click(text_edit_record, where, extend != 0);
    text_set_style(0, 0, 1);
  }
  return 1;
}

void text_edit_command(int item) {
  if (is_published() || !text_edit_record) return;
  TextRecord* te = text_edit_record;
  switch (item) {
    case 4:
      te_cut(te);
      break;
    case 5:
      te_copy(te);
      break;
    case 7:
      te_delete(te);
      break;
    case 6: {
      style_into_template(true);
      std::string refused;
      if (!te_paste(te, &refused)) {
        REPORT_ERROR(2,
                     "The text on the clipboard cannot be pasted into an annotation: a piece "
                     "stores its texts in the Mac OS Roman character set, which does not hold "
                     "\"%s\".",
                     refused.c_str());
        return;
      }
      if (!text_edit_record) {
        REPORT_ERROR(4, "NIL edit record in TE_no_newlines (text.c)");
        return;
      }
      for (char& ch : te->text)
        if (ch == '\r' || ch == '\n') ch = ' ';
      text_set_style(TE_ALL, 1, 0);
      return;
    }
    default:
      return;
  }
  if (item != 5 && (te_clipboard_styled() || platform_clipboard_has_image())) clear_music_scrap(1);
  text_set_style(0, 1, 0);
}

void text_insert(int font, int size, const std::string& text) {
  if (!text_edit_record) return;
  style_into_template(true);
  if (font)
    text_template->set(xtextfont, int16_t(code_from_font(font)));
  else if (music_font(text_template->get(xtextfont)))
    text_template->set(xtextfont, -5);
  if (size) text_template->set(xtextsize, uint8_t(std::clamp(pixels_to_points(size), 1, 255)));
  TextStyle s = template_style();
  te_insert(text_edit_record, text, &s);
  text_set_style(0, 1, 0);
}

void change_text_position(TextRecord* record, int dx, int dy) {
  if (!record) {
    REPORT_ERROR(4, "NIL edit record in change_text_position (text.c)");
    return;
  }
  text_pos_x += int32_t(std::lround(dx * zoom()));
  text_pos_y -= int32_t(std::lround(dy * zoom()));
  place_record();
  redraw_record();
}

void change_text_position_by(int32_t x, int32_t y) {
  const int dx = x == UNCHANGED ? 0 : int(std::lround((x - text_pos_x) / zoom()));
  const int dy = y == UNCHANGED ? 0 : int(std::lround((text_pos_y - y) / zoom()));
  change_text_position(text_edit_record, dx, dy);
}

void text_mode_toggle(Point where) {
  if (text_edit_record)
    text_finish(1);
  else
    anno_unhighlight(1);
  text_start(2);
  if (!text_edit_record) return;
  const Point at = window_of(text_pos_x, text_pos_y);
  const bool centred = text_template->get(xjustified) == 1;
  change_text_position(text_edit_record, centred ? 0 : where.x - at.x, where.y - at.y);
}

// ---- Finishing --------------------------------------------------------------------------------

Drosa text_finish(int convert) {
  if (MODE != TEXT_MODE) REPORT_ERROR(4, "called text_finish when not in TEXT_MODE");
  TextRecord* te = text_edit_record;
  if (!te) return NIL;
  te_activate(te, false);
  refresh_from_offscreen();
  Drosa note = insertion_point;
  Drosa head = NIL;
  if (convert && !te->text.empty() && note && is_plotted_note(note)) {
    const int context = text_template->xcontext;
    head = copyDrosa(text_template);
    head->set(xbackslash, 0);
    head->set(xeocord, 0);
    head->set(xeocvar, 0);
    head->set(xsuper, 0);
    head->set(xexpand, 0);
    head->set(xcharset, 0);
    head->set(xadjacent, 0);
    head->set(xdefault, 0);
    const TextStyle first = te->styles.front();
    head->set(xtextfont, int16_t(code_from_font(first.font)));
    head->set(xtextface, uint8_t(first.face));
    head->set(xtextsize, uint8_t(std::clamp(pixels_to_points(first.size), 1, 255)));
    if (Drosa nt = note_ntdata(note))
      head->set(xtext_stsize, uint8_t(std::clamp(nt->get(xstsize) / 10, 0, 15)));
    Drosa pd = newDrosa(PDATA, context);
    link_after(pd, head);
    auto typed_style = [te](size_t at) {
      const TextStyle s = te->styles[at];
      ParamValue style{};
      style.set_font(int16_t(code_from_font(s.font)));
      style.set_size(uint8_t(std::clamp(pixels_to_points(s.size), 1, 255)));
      style.set_style(uint8_t(s.face));
      return style;
    };
    if (!anno_runs_from_codes(head, pd, te->text, typed_style, note, context)) {
      destroy_chain(head, NIL);
      head = NIL;
    }
    if (head) {
      // Placed: x from the reference point less the width for right and centred texts.
      AnnoTextMeasure m;
      int32_t rx = 0, ry = 0;
      const int32_t width = measure_anno_text(note, head, &m);
      anno_refloc(note, head, &rx, &ry, 0);
      const int justified = head->get(xjustified);
      if (justified == 1)
        head->set(xtextx, param_length(P_CENTERING_X_OFFSET_IF_CENTERED_CHECKED, note));
      int32_t x = text_pos_x;
      if (justified == 2) x -= width;
      if (justified == 1 || justified == 3) x -= width / 2;
      if (justified == 0 || justified == 2 || justified == 3) head->set(xtextx, x - rx);
      head->set(xtexty, text_pos_y - ry);
      pd->set(xscrx1, x);
      pd->set(xscry1, text_pos_y);
      pd->set(xscrx2, x + width);
      pd->set(xscry2, text_pos_y);
      insertvc_with_undo(head, NIL, note->xback);
      const bool reformat =
          head->get(xleavespace) || m.hyphen || m.leading_extender || m.trailing_extender;
      mark_piece_changed(reformat ? 1 : 0, 1, context);
      mark_views_changed(1, 1, current_ncontext);
      if (!head->get(xignore) && dynamic_index(note, head, nullptr) != -1)
        apply_dynamic_velocity(note);
      text_finish_y = text_pos_y;
    }
  }
  if (!head) drop_last_mark();  // nothing changed: no empty step is left
  text_finish_staff_y = staff_y_of(note);
  te_dispose(te);
  text_edit_record = nullptr;
  return head;
}
