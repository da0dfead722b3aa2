// note_colors.cpp: note colours: the rule that picks a note's colour index, the COLOR node
// that keeps a note's own colour, the pass that stores the colours of the pitch-name rule
// before a save, and the colour dialog.
#include "graphics/note_colors.h"

#include <cstdint>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/graphics_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/colour_picker.h"
#include "platform/port.h"

namespace {

constexpr int MARKED_NOTE_COLOR = 15;
constexpr uint8_t FIRST_MARK_BIT = 0x04;   // of NOTE byte 15 (the byte of xselected)
constexpr uint8_t SECOND_MARK_BIT = 0x10;  // of NOTE byte 19 (the byte of xthumb)
constexpr int KEYSIG_FLAG_BYTE = 27;       // the byte after xkey
constexpr uint8_t KEYSIG_COLORED = 0x80;
constexpr const char* PICKER_PROMPT = " Set Custom Brightness and Color:";

// The note name's colour: C 1, D 2 ... B 7 (a position below the lowest octave still names
// its note).
int pitch_name_color(Drosa note) { return ((note->get(xmod7) % 7) + 7) % 7 + 1; }

bool flag_set(uint16_t flag) { return (prefs.colour_flags() & flag) != 0; }

// The music window shows the page again, with the colours as they are now.
void request_full_redraw() {
  reformat_pending = 1;
  count_piece_change();
}

Drosa color_node_of(Drosa note) { return find_prev_kind_stop(COLOR, note, ENDSYST); }

int stored_index(Drosa color) {
  const int index = static_cast<int8_t>(color->get(xcolor_index));
  return index >= 0 && index <= 15 ? index : 0;  // a damaged file's index draws black
}

// Draws the swatches again at the next update.
void invalidate_swatches(DialogRef dialog) {
  for (int item = COLOR_FIRST_SWATCH; item <= COLOR_LAST_SWATCH; ++item)
    platform_invalidate_dialog_rect(dialog, platform_item_rect(dialog, item));
}

void apply_to_annotations() {
  text_template->set(xtext_color, current_color_index);
  line_template->set(xline_color, current_color_index);
  if (MODE != MUSIC_MODE && (current_anno || group_selected)) {
    assign_selection_field(xtext_color, current_color_index, 1);
    assign_selection_field(xline_color, current_color_index, 1);
  }
}

// Shift-click on a swatch: asks for a new colour of its table entry; stays in the dialog.
void redefine_swatch(DialogRef dialog, int item) {
  const int index = item - COLOR_FIRST_SWATCH;
  RgbColour colour = prefs.colour(index);
  if (!platform_pick_colour(PICKER_PROMPT, &colour)) return;
  prefs.set_colour(index, colour);
  request_full_redraw();
  invalidate_swatches(dialog);
}

}  // namespace

int voice_color_index(int v) { return v % 7 + 1; }

namespace {

// The note asked for last and its index, while a NoteColorMemo is held.
int memo_holders = 0;
Drosa memo_note;
int memo_index = 0;

int looked_up_color_index(Drosa note) {
  if (!is_NOTE(note)) return 0;
  const bool rest = note->get(xrest);
  if (flag_set(COLOR_BY_PITCH_NAME) && !rest) return pitch_name_color(note);
  if (flag_set(COLOR_FIRST_MARKED) && (node_byte(note, 15) & FIRST_MARK_BIT))
    return MARKED_NOTE_COLOR;
  if (!rest && flag_set(COLOR_SECOND_MARKED) && (node_byte(note, 19) & SECOND_MARK_BIT))
    return MARKED_NOTE_COLOR;
  Drosa color = color_node_of(note);
  return color ? stored_index(color) : 0;
}

}  // namespace

NoteColorMemo::NoteColorMemo() {
  ++memo_holders;
  memo_note = NIL;
}

NoteColorMemo::~NoteColorMemo() {
  --memo_holders;
  memo_note = NIL;
}

int note_color_index(Drosa note) {
  if (!memo_holders) return looked_up_color_index(note);
  if (!note || note != memo_note) {
    memo_index = looked_up_color_index(note);
    memo_note = note;
  }
  return memo_index;
}

void set_note_COLOR_node(Drosa note) {
  if (!is_NOTE(note)) return;
  Drosa color = color_node_of(note);
  if (!color && current_color_index == 0) return;
  if (color && current_color_index == 0) {
    removevc_with_undo(color);
    mark_piece_changed(1, 1, current_ncontext);
    return;
  }
  if (!color) {
    color = newDrosa(COLOR, current_ncontext);
    if (!color) return;  // the store has already said so
    insertvc_node_with_undo(color, note->xback);
  }
  if (static_cast<int8_t>(color->get(xcolor_index)) != current_color_index) {
    modifyvc_with_undo(color);
    color->set(xcolor_index, static_cast<uint8_t>(current_color_index));
    mark_piece_changed(1, 1, current_ncontext);
  }
}

void recolor_all_notes() {
  if (!flag_set(COLOR_BY_PITCH_NAME)) return;
  for (int v = 0; v < voice_count; ++v) {
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      const int kind = effective_kind(p);
      if (kind == KEYSIG) {
        set_node_byte(p, KEYSIG_FLAG_BYTE, node_byte(p, KEYSIG_FLAG_BYTE) | KEYSIG_COLORED);
      } else if (kind == NOTE && !p->get(xrest)) {
        current_color_index = static_cast<int8_t>(pitch_name_color(p));
        set_note_COLOR_node(p);
      }
    }
  }
}

void color_dialog_sample_proc(DialogRef dialog, int item) {
  if (item < COLOR_FIRST_SWATCH || item > COLOR_LAST_SWATCH) return;
  const Rect r = platform_item_rect(dialog, item);
  const Rect saved_clip = get_clip();
  const PenState saved_pen = get_pen_state();
  const RgbColour saved_fore = get_fore_colour();
  const int font = current_text_font(), size = current_text_size(), face = current_text_face();
  clip_rect(r);
  fore_colour(prefs.colour(item - COLOR_FIRST_SWATCH));
  fill_rect(r, PATTERN_BLACK);
  fore_colour(COLOUR_BLACK);
  pen_normal();
  frame_rect(r);
  set_pen_state(saved_pen);
  fore_colour(saved_fore);
  clip_rect(saved_clip);
  text_font(font);
  text_size(size);
  text_face(face);
}

// color_dialog: dialog 138 until a swatch, the check box, OK or Cancel ends it.
// Reads: the insertion point, prefs. Writes: see the header; the cursor is restored.
// Failure: an unexpected item is reported at level 4 and the dialog goes on.
void color_dialog(int for_notes) {
  save_cursor();
  set_cursor(CURSOR_ID_WATCH);
  platform_set_param_texts(for_notes ? "Notehead" : "Annotation", "", "", "");
  DialogRef dialog = platform_open_dialog(COLOR_DIALOG, false);
  if (!dialog) {
    REPORT_ERROR(4, "color_dialog: dialog %d is missing", COLOR_DIALOG);
    restore_cursor();
    return;
  }
  show_hide_item(dialog, COLOR_BY_PITCH_ITEM, for_notes);
  platform_set_item_value(dialog, COLOR_BY_PITCH_ITEM, flag_set(COLOR_BY_PITCH_NAME));
  for (int item = COLOR_FIRST_SWATCH; item <= COLOR_LAST_SWATCH; ++item)
    platform_set_user_item_proc(dialog, item, color_dialog_sample_proc);
  platform_show_dialog(dialog);
  set_cursor(CURSOR_ID_ARROW);
  for (bool open = true; open;) {
    const int item = platform_modal_dialog(dialog, dialog_key_filter);
    if (item == 1 || item == 2) {
      open = false;
    } else if (item == COLOR_BY_PITCH_ITEM) {
      const bool on = !flag_set(COLOR_BY_PITCH_NAME);
      prefs.set_colour_flag(COLOR_BY_PITCH_NAME, on);
      platform_set_item_value(dialog, COLOR_BY_PITCH_ITEM, on);
      mark_piece_changed(1, 2, 0);
      request_full_redraw();
      open = false;
    } else if (item >= COLOR_FIRST_SWATCH && item <= COLOR_LAST_SWATCH) {
      if (debug_modifier_down()) {
        // The first colour stays black: it is not offered for redefining.
        if (item != COLOR_FIRST_SWATCH) redefine_swatch(dialog, item);
        continue;
      }
      current_color_index = static_cast<int8_t>(item - COLOR_FIRST_SWATCH);
      if (for_notes)
        apply_to_cursor_or_group(set_note_COLOR_node, 0);
      else
        apply_to_annotations();
      open = false;
    } else {
      REPORT_ERROR(4, "Unexpected item returned from color_dialog dialog");
    }
  }
  platform_close_dialog(dialog);
  restore_cursor();
}

RgbColour color_table_entry(int index) {
  if (index < 1 || index > 15) return COLOUR_BLACK;
  return prefs.colour(index);
}
