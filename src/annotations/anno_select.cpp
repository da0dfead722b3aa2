// anno_select.cpp: the editing modes of the music window, the annotation palette (its four mode
// icons and the information text of the piano window), the selected annotation, and the clicks
// and keys that reach the annotations before anything else: Option-clicks that select and drag
// annotations, line handles, the keys of text mode.
#include "annotations/anno_select.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "annotations/anno_fields.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "annotations/line_annos.h"
#include "annotations/text_mode.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/key_names.h"
#include "platform/port.h"
#include "platform/window.h"

int palette_icon = -1;
int palette_drawn_mode = -1;
int drag_phase = 0;
int32_t drag_dx = 0, drag_dy = 0;
std::string anno_info;

namespace {

constexpr int ICON_TEXT = 3, ICON_LINE = 4, ICON_CURVE = 5, ICON_MUSIC = 6;

bool is_published() { return options_i16(1, OPTIONS_PUBLISHED) != 0; }

int icon_of_mode(int mode) {
  switch (mode) {
    case TEXT_MODE:
      return ICON_TEXT;
    case LINE_MODE:
      return ICON_LINE;
    case CURVE_MODE:
      return ICON_CURVE;
    case MUSIC_MODE:
      return ICON_MUSIC;
    default:
      return -1;
  }
}

// The mode icons stand one above the other in the lower part of the margin left of the
// keyboard (its upper part drags the window).
Rect icon_rect(int item) {
  const int top = 22 + 9 * (item - ICON_TEXT);
  return {1, top, 16, top + 9};
}

void draw_icon_picture(int item) {
  const Rect r = icon_rect(item);
  frame_rect(r);
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  switch (item) {
    case ICON_TEXT:
      text_font(FONT_TIMES);
      text_size(9);
      text_face(FACE_PLAIN);
      move_to(r.left + 5, r.bottom - 1);
      draw_char('T');
      break;
    case ICON_LINE:
      move_to(r.left + 3, r.bottom - 2);
      line_to(r.right - 4, r.top + 2);
      break;
    case ICON_CURVE:
      move_to(r.left + 3, r.bottom - 2);
      line_to(r.left + 5, r.top + 3);
      line_to(r.right - 6, r.top + 2);
      line_to(r.right - 4, r.bottom - 2);
      break;
    case ICON_MUSIC:
      paint_oval({cx - 3, cy, cx + 1, cy + 4});
      move_to(cx, cy + 2);
      line_to(cx, r.top + 1);
      break;
    default:
      break;
  }
}

// The icons, the one of MODE shown inverted.
void draw_mode_icons() {
  InPianoPort in;
  if (!in.ok()) return;
  pen_normal();
  for (int item = ICON_TEXT; item <= ICON_MUSIC; ++item) {
    erase_rect(icon_rect(item));
    draw_icon_picture(item);
  }
  if (palette_icon >= ICON_TEXT && palette_icon <= ICON_MUSIC) invert_rect(icon_rect(palette_icon));
}

// The information text in the area under the keyboard: the title (with the ∆X and ∆Y) on the
// first line, the rest on the second, the modifier keys named as here.
void draw_info_text() {
  InPianoPort in;
  if (!in.ok() || MODE == MUSIC_MODE) return;
  const Rect area{18, 31, 490, 60};
  erase_rect(area);
  text_font(FONT_GENEVA);
  text_size(9);
  text_face(FACE_PLAIN);
  text_mode(MODE_OR);
  std::string first, rest;
  size_t at = 0;
  for (int line = 0; at <= anno_info.size(); ++line) {
    size_t end = anno_info.find('\n', at);
    if (end == std::string::npos) end = anno_info.size();
    const std::string piece = anno_info.substr(at, end - at);
    const bool title_line = line == 0 || piece.rfind("\xC6", 0) == 0;
    (title_line ? first : rest) += (title_line && line ? "   " : "") + piece;
    at = end + 1;
  }
  move_to(area.left, 43);
  draw_string(platform_key_names(first));
  move_to(area.left, 56);
  draw_string(platform_key_names(rest));
}

// The first drawn note after an annotation: the note it belongs to on the page.
Drosa anchor_note(Drosa anno) {
  for (Drosa p = anno ? anno->xnext : NIL; p; p = p->xnext) {
    if (p->xkind == ENDSYST) return NIL;
    if (p->xkind == NOTE && is_plotted_note(p)) return p;
  }
  return NIL;
}

bool placed(Drosa anno) {
  Drosa pd = anno ? anno->xnext : NIL;
  return pd && pd->xkind == PDATA && pd->get(xscrx1) != NOT_DRAWN && pd->get(xscry1) != NOT_DRAWN;
}

const char* const CLASS_TITLES[25] = {"Not Classified",
                                      "Other",
                                      "Title",
                                      "Composer",
                                      "Rehearsal",
                                      "Lyric",
                                      "Tempo Marking",
                                      "Dynamic",
                                      "Fingering",
                                      "Pedal",
                                      "Fret Grid",
                                      "Chord Symbol",
                                      "Midi",
                                      "Label",
                                      "Articulation",
                                      "Breath Mark",
                                      "Ornament",
                                      "Repeat/Ending/Segno",
                                      "Copyright",
                                      "Bowing",
                                      "Pause",
                                      "Mood",
                                      "Tempo Alteration",
                                      "Poet",
                                      "Subtitle"};

// The selected annotations one by one for the drag; its box's corner before the drag.
struct DragStart {
  Drosa anno;
  int32_t x1, y1;
};
std::vector<DragStart> drag_starts;

void clear_drag_marks(Drosa anno) {
  if (group_selected && MODE != MUSIC_MODE)
    group_highlight_anno(anno);
  else
    anno_highlight(anno, 0);
}

// The box of an annotation drawn by exclusive-or into the page image: drawn twice, it is gone.
void xor_box(Drosa anno) {
  if (!placed(anno) || !offscreen_page) return;
  Drosa pd = anno->xnext;
  Rect r;
  virtual_rect_to_screen(
      &r, std::min(pd->get(xscrx1), pd->get(xscrx2)), std::min(pd->get(xscry1), pd->get(xscry2)),
      std::max(pd->get(xscrx1), pd->get(xscrx2)), std::max(pd->get(xscry1), pd->get(xscry2)));
  Port* saved = platform_current_port();
  platform_set_port(offscreen_page);
  const PenState pen = get_pen_state();
  pen_normal();
  pen_mode(MODE_PAT_XOR);
  frame_rect({r.left - 1, r.top - 1, r.right + 2, r.bottom + 2});
  set_pen_state(pen);
  platform_set_port(saved);
}

void move_pdata(Drosa pd, int32_t dx, int32_t dy) {
  pd->set(xscrx1, pd->get(xscrx1) + dx);
  pd->set(xscrx2, pd->get(xscrx2) + dx);
  pd->set(xscry1, pd->get(xscry1) + dy);
  pd->set(xscry2, pd->get(xscry2) + dy);
}

}  // namespace

// ---- Modes --------------------------------------------------------------------------------------

void end_anno_selection(int new_mode, int flag) {
  if (new_mode < MUSIC_MODE || new_mode > CURVE_MODE) new_mode = MUSIC_MODE;
  // A group of annotations ends, and a group of notes when an annotation mode begins.
  if (group_selected && (MODE != MUSIC_MODE || new_mode != MUSIC_MODE)) end_group_selection(1);
  remove_selection_marks();
  if (voice_count == 0) new_mode = MUSIC_MODE;
  if (Drosa anno = current_anno) {
    const bool fits = (new_mode == TEXT_MODE && anno->xkind == TPARAM) ||
                      (new_mode >= LINE_MODE && anno->xkind == LINE &&
                       anno->get(xcurve) == (new_mode == CURVE_MODE ? 1 : 0));
    if (!fits) {
      anno_unhighlight(0);
    } else if (note_entry_active) {
      show_as_flashed(insertion_point, 1);
      note_entry_active = 0;
    }
  }
  if (music_window()) {
    const bool lacking =
        new_mode == MUSIC_MODE ? !insertion_point : !is_plotted_note(insertion_point);
    if (lacking) cursor_to_nearest_visnote(insertion_point_pos, 0, 1, 0);
    if (new_mode != MUSIC_MODE && !is_plotted_note(insertion_point)) new_mode = MUSIC_MODE;
  }
  if (new_mode == MODE) {
    icon_update();
    return;
  }
  if (MODE == TEXT_MODE) text_finish(1);
  if (MODE == MUSIC_MODE) erase_piano_window();
  MODE = int16_t(new_mode);
  if (new_mode >= LINE_MODE && line_template) line_template->set(xcurve, new_mode == CURVE_MODE);
  if (new_mode == TEXT_MODE && !current_anno && flag) text_start(2);
  icon_update();
  display_win_title(1, nullptr);
}

void invert_icon(int item, int op) {
  InPianoPort in;
  if (!in.ok()) return;
  if (op == 777)
    invert_rect(icon_rect(item));
  else if (op == 888)
    paint_rect(icon_rect(item));
  else
    REPORT_ERROR(4, "Illegal operation for invert_icon()!");
}

void icon_update_for_mode() {
  const int item = icon_of_mode(MODE);
  if (item < 0) {
    REPORT_ERROR(4, "unrecognized MODE in icon_update (annotate.c)");
    return;
  }
  if (item != palette_icon) {
    if (palette_icon >= ICON_TEXT) invert_icon(palette_icon, 777);
    invert_icon(item, 777);
    palette_icon = item;
  }
}

void icon_update() {
  icon_update_for_mode();
  if (MODE != palette_drawn_mode) {
    palette_drawn_mode = MODE;
    erase_piano_window();
    anno_palette_draw_proc();
    return;
  }
  if (MODE != MUSIC_MODE && !group_selected) {
    anno_info_text(-1, -1, current_anno, insertion_point);
    draw_info_text();
  }
}

void anno_palette_draw_proc() {
  palette_drawn_mode = MODE;
  draw_piano_keyboard();
  if (MODE == MUSIC_MODE) {
    draw_piano_window();
    if (spacc_template) draw_special_accidental_rows();
    if (group_selected) redraw_piano_keyboard();
  } else {
    anno_info_text(-1, -1, current_anno, insertion_point);
    draw_info_text();
  }
  draw_mode_icons();
  redraw_played_keys(true);
}

// ---- The information text
// -------------------------------------------------------------------------

const std::string& anno_info_text(int32_t h, int32_t v, Drosa anno, Drosa note) {
  std::string text;
  const bool published = is_published();
  if (MODE == TEXT_MODE) {
    if (published) {
      text = "Text Annotations are disabled because music has been published.";
    } else {
      if (text_template && text_template->get(xignore)) text += "Uninterpreted ";
      text += "Text Annotation  ";
      const int cls = text_template ? text_template->get(xclassify) : 0;
      text += cls >= 0 && cls < 25 ? CLASS_TITLES[cls] : "ERROR BAD VALUE";
      if (anno && anno->xkind == TPARAM && midi_anno_kind(anno, nullptr) != COMMAND_NONE)
        text += "  [affects playback]";
    }
  } else if (MODE == LINE_MODE) {
    if (published) {
      text = "Line Annotations are disabled because music has been published.";
    } else {
      text = "Line Annotation  ";
      const int style = line_template ? line_template->get(xmetaline) : 0;
      if (style) text += line_style_name(style);
      if (anno && anno->xkind == LINE && anno->get(xline_ord) && !anno->get(xline_eocvar))
        text += " with Extend style";
    }
  } else if (MODE == CURVE_MODE) {
    text = published ? "Curve Annotations are disabled because music has been published."
                     : "Curve Annotation  ";
  }
  if (v != -1 && anno && note) {
    int32_t x = 0, y = 0;
    anno_refloc(note, anno, &x, &y, 0);
    char line[64];
    std::snprintf(line, sizeof line, "\n\xC6X = %5.1f\n\xC6Y = %5.1f", (h - x) / 10.0,
                  (v - y) / 10.0);
    text += line;
  }
  Drosa t = text_template;
  if (MODE == LINE_MODE || MODE == CURVE_MODE) t = line_template;
  if (t) {
    const bool line = t->xkind == LINE;
    if (line ? t->get(xline_everypart) : t->get(xeverypart)) text += "\n    in every part";
    if (line ? t->get(xline_eachsys) : t->get(xeachsys)) text += "\n    at each system";
    if (line ? t->get(xline_eachpage) : t->get(xeachpage)) text += "\n    on each page";
    const int context = t->xcontext;
    if (context == -1) text += "\n    not in score";
    if (context == 1) text += "\n    only in score";
    if (context > 1) text += "\n    this notation context only";
  }
  if (!current_anno && current_view_index >= 0 && !published)
    text += "\n    command-drag to create";
  anno_info = text;
  return anno_info;
}

// ---- Selection ----------------------------------------------------------------------------------

void anno_unhighlight(int refresh) {
  if (!current_anno) return;
  anno_highlight(current_anno, 1);
  previous_anno = current_anno;
  current_anno = NIL;
  if (refresh) icon_update();
}

Drosa select_anno(Drosa anno) {
  if (note_entry_active) {
    show_as_flashed(insertion_point, 1);
    note_entry_active = 0;
  }
  anno_unhighlight(0);
  if (group_selected) {
    Drosa pd = anno ? anno->xnext : NIL;
    if (!pd || pd->xkind != PDATA || !pd->get(xanno_selected)) end_group_selection(1);
  }
  anno_make_template(anno, 1);
  int mode = MUSIC_MODE;
  if (anno && anno->xkind == TPARAM)
    mode = TEXT_MODE;
  else if (anno && anno->xkind == LINE)
    mode = LINE_MODE + anno->get(xcurve);
  else
    REPORT_ERROR(4, "logic error in select_anno");
  Drosa note = anchor_note(anno);
  if (group_selected) return note;
  if (mode == MUSIC_MODE || !note) return note;
  if (MODE == TEXT_MODE) text_finish(1);
  current_anno = anno;
  anno_highlight(anno, 2);
  set_insertion_point(note, 0, -10);
  end_anno_selection(mode, 1);
  return note;
}

void step_to_page(int forward) {
  Drosa from = insertion_point;
  if (!from) return;
  Drosa target = NIL;
  if (forward) {
    for (Drosa p = chord_end_note(from)->xnext; p; p = p->xnext) {
      if (p->xkind == ENDSYST && p->get(xendpage)) return;
      if (p->xkind == NOTE && is_plotted_note(p)) {
        target = p;
        break;
      }
    }
  } else {
    Drosa start = from;
    while (start->xback && start->xback->xkind != BAR && start->xback->xkind != ENDSYST)
      start = start->xback;
    for (Drosa p = start->xback; p; p = p->xback) {
      if (p->xkind == ENDSYST && p->get(xendpage)) return;
      if (p->xkind == NOTE && is_plotted_note(p)) {
        target = p;
        break;
      }
    }
  }
  if (!target) return;
  stop_flashing(from);
  insertion_point = target;
  start_flashing(target);
  make_cursor_visible();
}

void text_update_if_editing() {
  if (MODE == TEXT_MODE) text_update();
}

void anno_draw(Drosa anno, int /*erase*/, int /*flag*/) {
  if (anno && anno->xkind == TPARAM && anno->get(xadjacent)) {
    REPORT_ERROR(4, "Ajacent TPARAM for anno_draw!");
    return;
  }
  // The page is drawn afresh, with the annotation or without it.
  mark_views_changed(1, 1, current_ncontext);
}

// ---- Dragging -------------------------------------------------------------------------------

void anno_move_step(Drosa anno) {
  Drosa pd = anno ? anno->xnext : NIL;
  if (!pd || pd->xkind != PDATA) return;
  switch (drag_phase) {
    case 22:
      drag_starts.push_back({anno, pd->get(xscrx1), pd->get(xscry1)});
      clear_drag_marks(anno);
      modifyvc_with_undo(anno);
      for (Drosa p = anno->xnext; anno->xkind == TPARAM && p; p = p->xnext) {
        if (p->xkind == TPARAM && p->get(xadjacent))
          modifyvc_with_undo(p);
        else if (p->xkind != TEXT && p->xkind != PDATA)
          break;
      }
      xor_box(anno);
      break;
    case 23: {
      xor_box(anno);
      move_pdata(pd, drag_dx, drag_dy);
      const bool text = anno->xkind == TPARAM;
      auto& fx = text ? xtextx : xstartx;
      auto& fy = text ? xtexty : xstarty;
      anno->set(fx, anno->get(fx) + drag_dx);
      anno->set(fy, anno->get(fy) + drag_dy);
      if (!text) {
        // The next segment of a line continued on another system keeps its height.
        Drosa partner = NIL;
        if (line_geometry(anno, &partner, nullptr) && partner) {
          modifyvc_with_undo(partner);
          partner->set(xstarty, anno->get(xstarty));
        }
      }
      xor_box(anno);
      break;
    }
    case 24: {
      xor_box(anno);
      const auto start = std::find_if(drag_starts.begin(), drag_starts.end(),
                                      [&](const DragStart& s) { return s.anno == anno; });
      if (start != drag_starts.end() && start->x1 == pd->get(xscrx1) &&
          start->y1 == pd->get(xscry1))
        break;
      int32_t x = 0, y = 0;
      if (Drosa note = anchor_note(anno)) anno_refloc(note, anno, &x, &y, 0);
      break;
    }
    default:
      break;
  }
}

int anno_drag(Point where) {
  const PagePoint first = window_to_page_point(where);
  PagePoint last = first;
  drag_starts.clear();
  drag_phase = 22;
  for_each_selected(anno_move_step, 0);
  refresh_from_offscreen();
  bool moved = false;
  Point mouse = where;
  for (bool down = true; down;) {
    down = platform_track_mouse(music_window(), &mouse);
    flash_idle();
    const PagePoint at = window_to_page_point(mouse);
    if (at.x == last.x && at.y == last.y) continue;
    drag_dx = at.x - last.x;
    drag_dy = at.y - last.y;
    last = at;
    moved = true;
    drag_phase = 23;
    for_each_selected(anno_move_step, 0);
    refresh_from_offscreen();
    if (current_anno && !group_selected) {
      if (Drosa note = anchor_note(current_anno)) {
        Drosa pd = current_anno->xnext;
        anno_info_text(pd->get(xscrx1), pd->get(xscry1), current_anno, note);
        draw_info_text();
      }
    }
  }
  drag_phase = 24;
  for_each_selected(anno_move_step, 0);
  drag_starts.clear();
  if (moved) {
    mark_piece_changed(1, 1, current_ncontext);
  } else {
    drop_last_mark();
  }
  return moved;
}

// ---- Clicks and keys
// ------------------------------------------------------------------------------

namespace {

// An Option-click: the annotation nearest the click (an element of the music nearer than any
// annotation is made one where that can be done) is selected and dragged, or with Shift
// added to the group or taken out of it.
int option_click(const EventRecord& event) {
  if (MODE == TEXT_MODE) text_finish(1);
  const PagePoint at = window_to_page_point(event.where);
  int32_t anno_distance = 0;
  Drosa anno = find_nearest_anno(event.where, 1, &anno_distance);
  Drosa element = NIL, owner = NIL;
  int32_t distance = NO_GE_DISTANCE;
  find_nearest_GE(at.x, at.y, &element, &owner, &distance);
  set_undo_mark(0);  // the element made an annotation and its drag are one step
  if (element && owner && distance < anno_distance) {
    if (Drosa made = move_GE_to_Drosa(element, owner)) anno = made;
  }
  if (!anno) return 1;
  if (!(event.modifiers & MOD_EITHER_SHIFT)) {
    Drosa note = select_anno(anno);
    if (!anno_drag(event.where)) {
      anno_highlight(anno, 2);
      if (note) set_insertion_point(note, 0, -10);
    }
    return 1;
  }
  if (MODE == MUSIC_MODE) {
    const int mode = anno->xkind == TPARAM ? TEXT_MODE : LINE_MODE + anno->get(xcurve);
    end_anno_selection(mode, 0);
  }
  anno_unhighlight(0);
  if (!group_selected) begin_group_selection();
  toggle_xselected(anno, 0);
  refresh_from_offscreen();
  icon_update();
  return 1;
}

constexpr int PIANO_WINDOW_ITEMS = 4460;  // the table of the piano window's items
constexpr int ITEM_OK = 1, ITEM_SPACC_SHOWN = 7, ITEM_SPACC_APPLIED = 8;

// The note-entry items beside the rows of special accidentals answer in MUSIC_MODE while a
// special accidental set is chosen for entry.
bool special_accidental_items_enabled() { return MODE == MUSIC_MODE && spacc_template; }

// The palette item under a point of the piano window; 0 for none.
int palette_item_at(Point where) {
  for (int item = ICON_TEXT; item <= ICON_MUSIC; ++item)
    if (piano_scaled_rect(icon_rect(item)).contains(where)) return item;
  const DialogSpec* spec = platform_dialog_spec(PIANO_WINDOW_ITEMS);
  if (!special_accidental_items_enabled() || !spec) return 0;
  for (int item : {ITEM_SPACC_SHOWN, ITEM_SPACC_APPLIED})
    if (item <= int(spec->items.size()) &&
        piano_scaled_rect(spec->items[size_t(item) - 1].rect).contains(where))
      return item;
  return 0;
}

// Carries out an item of the palette: a mode icon changes the mode; the applied box gives the
// chosen special accidentals to the insertion point's note or to the selected notes.
void palette_item(int window, int item) {
  if (window != piano_dialog) {
    REPORT_ERROR(4, "Unrecognized modeless dialog (annotate.c)");
    return;
  }
  if (item == ITEM_OK) {
    REPORT_ERROR(4, "Unexpected OK item in annotate.c");
  } else if (item >= ICON_TEXT && item <= ICON_MUSIC) {
    static const int MODES[4] = {TEXT_MODE, LINE_MODE, CURVE_MODE, MUSIC_MODE};
    end_anno_selection(MODES[item - ICON_TEXT], 1);
  } else if (item == ITEM_SPACC_SHOWN || item == ITEM_SPACC_APPLIED) {
    if (MODE != MUSIC_MODE) {
      REPORT_ERROR(4, "Unexpected item returned from annotate piano window");
      return;
    }
    if (item == ITEM_SPACC_APPLIED) {
      set_undo_mark(0);  // one step for all the notes
      apply_to_cursor_or_group(apply_palette_accidental_cb, 1);
    }
    draw_special_accidental_rows();
  } else if (MODE == MUSIC_MODE) {
    REPORT_ERROR(4, "Unexpected PianoWindow dialog item in MUSIC_MODE");
  }
}

int palette_click(const EventRecord& event) {
  const Rect bounds = piano_dialog_bounds();
  if (bounds.right <= bounds.left) return 0;
  const int item = palette_item_at(event.where);
  if (!item) return 0;
  palette_item(event.window, item);
  return 1;
}

// A double click on a text of the page, in any mode, edits that text: the letters typed next
// go into it, never into the music as notes. 0 when no text stands under the click.
int text_double_click(const EventRecord& event) {
  int32_t distance = 0;
  Drosa anno = find_nearest_anno(event.where, 1, &distance);
  Drosa pd = anno && anno->xkind == TPARAM ? anno->xnext : NIL;
  if (!pd || pd->xkind != PDATA || pd->get(xscrx1) == NOT_DRAWN) return 0;
  const Point a = window_of(pd->get(xscrx1), pd->get(xscry1));
  const Point b = window_of(pd->get(xscrx2), pd->get(xscry2));
  const int grow = 3;
  const Rect box{std::min(a.x, b.x) - grow, std::min(a.y, b.y) - grow, std::max(a.x, b.x) + grow,
                 std::max(a.y, b.y) + grow};
  if (!box.contains(event.where)) return 0;
  if (MODE == TEXT_MODE && current_anno != anno) text_finish(1);
  if (current_anno != anno) {
    Drosa note = select_anno(anno);
    if (note) set_insertion_point(note, 0, -10);
  }
  if (MODE != TEXT_MODE) return 0;
  if (!text_click(event.where, 0)) text_start(4);
  return 1;
}

int music_window_click(const EventRecord& event) {
  const uint16_t mods = event.modifiers;
  const bool command = mods & MOD_COMMAND, option = mods & MOD_EITHER_OPTION;
  const bool control = mods & (MOD_CONTROL | MOD_RIGHT_CONTROL);
  if (!mods && !is_published() && is_double_click_at(event.where, event.when) &&
      text_double_click(event))
    return 1;
  if (option && !command && !control) return is_published() ? 1 : option_click(event);
  if (MODE == TEXT_MODE) {
    if (command || control) {
      if (is_published()) return 1;
      text_mode_toggle(event.where);
      return 1;
    }
    return text_click(event.where, (mods & MOD_EITHER_SHIFT) != 0);
  }
  if (MODE != LINE_MODE && MODE != CURVE_MODE) return 0;
  if (is_published()) return 1;
  if (command && !option && !control) {
    anno_unhighlight(1);
    create_line_anno_drag(event.where);
    return 1;
  }
  Drosa line = current_anno;
  Drosa pd = line && line->xkind == LINE ? line->xnext : NIL;
  if (!pd || pd->xkind != PDATA || pd->get(xscrx1) == NOT_DRAWN) return 0;
  const PagePoint at = window_to_page_point(event.where);
  const int32_t x1 = pd->get(xscrx1), y1 = pd->get(xscry1);
  const AnnoPoint handles[4] = {{x1, y1},
                                {x1 + line->get(xc1x), y1 + line->get(xc1y)},
                                {x1 + line->get(xc2x), y1 + line->get(xc2y)},
                                {pd->get(xscrx2), pd->get(xscry2)}};
  constexpr int32_t NEAR = 100;
  int best = -1;
  int32_t best_distance = NEAR + 1;
  for (int h = 0; h < 4; ++h) {
    if ((h == 1 || h == 2) && !line->get(xcurve)) continue;
    const int32_t d = half_city_distance(at.x, at.y, handles[h].x, handles[h].y);
    if (d < best_distance) best = h, best_distance = d;
  }
  if (best < 0) return 0;
  line_anno_handle_drag(event.where, best + 1, new_curve_direction);
  return 1;
}

int anno_key(const EventRecord& event) {
  const uint8_t c = event_char(event);
  const uint16_t mods = event.modifiers;
  if (c == KEY_ESCAPE) {
    stop_playing(0);
    if (!insertion_point) cursor_to_nearest_visnote(insertion_point_pos, 0, 1, 0);
    if (note_entry_active) {
      show_as_flashed(insertion_point, 1);
      note_entry_active = 0;
    }
    end_anno_selection(MUSIC_MODE, 1);
    draw_piano_window();
    return 1;
  }
  const bool arrow = c >= KEY_LEFT && c <= KEY_DOWN;
  if (MODE == MUSIC_MODE) return 0;
  if (arrow && (mods & (MOD_COMMAND | MOD_CONTROL | MOD_RIGHT_CONTROL))) return 0;
  if (mods & MOD_COMMAND) return 0;  // menu keys
  const bool published = is_published();
  if ((c == KEY_DELETE || c == KEY_BACKSPACE) && (current_anno || group_selected)) {
    if (published) return 1;
    set_undo_mark(0);
    anno_cut_copy(7, 'M', NIL);
    return 1;
  }
  if (MODE != TEXT_MODE || group_selected) return 0;
  if (published) return 1;
  const bool space_steps = prefs.u8(PREFS_TEXT_ENTRY_OPTION) != 0;
  const bool ends_text = c == KEY_RETURN || c == KEY_ENTER || c == (space_steps ? ' ' : KEY_TAB);
  // A text ends and the next begins where the page's records say: a key typed while the page
  // was formatted stopped that format with the records half rebuilt, so it is finished first
  // (else the next syllable took its height from a staff not yet placed).
  if (ends_text && reformat_pending) reformat_with_flag(current_page, 0);
  if (c == KEY_RETURN || c == KEY_ENTER) {
    if (current_anno) {
      text_start(4);
    } else {
      text_finish(1);
      text_start(2);
    }
    return 1;
  }
  if (c == (space_steps ? ' ' : KEY_TAB)) {
    text_finish(1);
    step_to_page(1);
    text_start(3);
    return 1;
  }
  if (arrow && !text_edit_length()) return 0;
  text_key(event);
  return 1;
}

}  // namespace

int anno_dialog_event(const EventRecord& event) {
  if (event.what == EVENT_MOUSE_DOWN) {
    if (piano_dialog && event.window == piano_dialog) return palette_click(event);
    if (!music_window() || event.window != music_window() ||
        !music_area_rect().contains(event.where) || voice_count == 0)
      return 0;
    return music_window_click(event);
  }
  if (event.what == EVENT_KEY_DOWN || event.what == EVENT_AUTO_KEY) {
    if (!music_window()) return 0;
    return anno_key(event);
  }
  return 0;
}
