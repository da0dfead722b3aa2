// hear_dialogs.cpp: the dialogs of the Hear menu, the MIDI channel dialog and the spelling
// dialog. Their layouts are the platform's dialog tables; the item numbers are fixed here.
#include "performance/hear_dialogs.h"

#include <algorithm>
#include <cmath>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "params/param_services.h"
#include "performance/perfdata.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/pitch.h"
#include "platform/port.h"

namespace {

// ---- Hear
// ----------------------------------------------------------------------------------------
constexpr int HEAR_LIST = 4, HEAR_ALL = 5, HEAR_NONE = 6, HEAR_TEMPO = 8, HEAR_IGNORE = 9;
// ---- Tuning: step s, accidental a (1..5) at item 6 + 6s + a - 1.
constexpr int TUNING_FIRST = 6;
// ---- Dynamic levels
constexpr int LEVEL_FIRST = 4, LEVEL_GLYPHS = 14, LEVEL_ONE_FOR_ALL = 15;
// ---- Default Playback
constexpr int LENGTHS_KEEP_NOMINAL = 12, LENGTHS_BEFORE_BEAT = 13, LENGTHS_ON_BEAT = 14;
// ---- Recompute Playback
constexpr int RECOMPUTE_TIMES = 4, RECOMPUTE_VOLUMES = 5, RECOMPUTE_PITCHES = 6;
constexpr int RECOMPUTE_LATER_MOVE = 7, RECOMPUTE_KEEP_LENGTH = 8;
// ---- MIDI channel
constexpr int CHANNEL_ITEM = 5, CHANNEL_ONE = 6, CHANNEL_STREAM_ITEM = 7, CHANNEL_ROTATE = 8;
constexpr int CHANNEL_COUNT_ITEM = 11, CHANNEL_SILENT_ITEM = 14;
// ---- Spelling: pitch class pc at item 4 + pc; the preview after them.
constexpr int SPELLING_FIRST = 4, SPELLING_PREVIEW = 16;

ListBox* hear_list = nullptr;
bool hear_list_touched = false;

// The next item hit in a dialog opened under the watch: drawn (with the extra drawing), then the
// arrow while the user chooses.
int next_hit(DialogRun& d, ModalFilter filter, void (*draw)() = nullptr) {
  draw_dialog_frame(d.dialog, draw, nullptr);
  set_cursor(CURSOR_ID_ARROW);
  return d.next_item(filter);
}

void set_radio(DialogRef dialog, int item, bool on) { platform_set_item_value(dialog, item, on); }
bool value_of(DialogRef dialog, int item) { return platform_item_value(dialog, item) != 0; }
void toggle(DialogRef dialog, int item) { set_radio(dialog, item, !value_of(dialog, item)); }

bool published() { return options_i16(1, OPTIONS_PUBLISHED) != 0; }

Drosa vinfo_of(int v) {
  return v >= 0 && v < voice_count && piece_start[v]
             ? find_next_kind_before_note(VINFO, piece_start[v])
             : NIL;
}

// A percentage shown as a number of half percent units, stored as its nearest integer of twice
// the number typed (volume levels, the volume and pitch steps).
int16_t doubled(double value) { return int16_t(std::floor(2 * value + 0.5)); }

// ---- Hear
// ----------------------------------------------------------------------------------------

void draw_hear_list() { list_draw(hear_list); }

bool hear_filter(DialogRef dialog, EventRecord* event, int* item) {
  if (dialog_key_filter(dialog, event, item)) return true;
  if (event->what == EVENT_MOUSE_DOWN && list_click(event, hear_list)) {
    hear_list_touched = true;
    *item = HEAR_LIST;
    return true;
  }
  return false;
}

// The list's row of a voice: the row of the first voice of its part.
int row_of_voice(int v) {
  for (int r = 0; r < part_first_voice_count; ++r)
    if (voices_same_part(v, part_first_voices[r])) return r;
  return -1;
}

void select_heard_rows() {
  bool any = false;
  for (int v = 0; v < voice_count; ++v)
    if (Drosa vinfo = vinfo_of(v)) any = any || vinfo->get(xvoice_heard);
  for (int r = 0; r < part_first_voice_count; ++r) {
    Drosa vinfo = vinfo_of(part_first_voices[r]);
    list_box_select(hear_list, r, !any || (vinfo && vinfo->get(xvoice_heard)));
  }
}

// ---- Dynamic levels -----------------------------------------------------------------------------

DialogRef level_dialog = nullptr;

void draw_level_glyphs(DialogRef dialog, int) {
  for (int i = 0; i < DYNAMIC_LEVELS; ++i) {
    const Rect r = platform_item_rect(dialog, LEVEL_FIRST + i);
    move_to(r.right + 10, r.bottom - 5);
    pDrawChar(P_PPPP_DYNAMIC + i, NIL, nullptr, DRAW_CHAR_UNZOOMED);
  }
}

// ---- Spelling
// -------------------------------------------------------------------------------------

constexpr int STAFF_STEP = 3;    // pixels between two diatonic steps
constexpr int GLYPH_SIZE = 24;   // points of the music glyphs: four staff spaces to the em
constexpr int E4_POSITION = 37;  // the lowest line of the treble staff

// A character parameter's glyph at a point, sized for the preview's staff.
void draw_preview_glyph(int pindex, int x, int y) { draw_dialog_glyph(pindex, x, y, GLYPH_SIZE); }

// The note of pitch class pc (middle C's octave) spelled as key_spelling says, drawn in its
// column of the preview.
void draw_spelled_note(DialogRef dialog, int pc, bool erase) {
  const Rect column = platform_item_rect(dialog, SPELLING_FIRST + pc);
  const Rect staff = platform_item_rect(dialog, SPELLING_PREVIEW);
  const int bottom_line = staff.top + (staff.bottom - staff.top) / 2 + 2 * 2 * STAFF_STEP;
  const Spelling sp = pitch_spelling_table[pc][std::clamp(key_spelling[pc], 0, 2)];
  const int y = bottom_line - (35 + sp.step - E4_POSITION) * STAFF_STEP;
  const int x = (column.left + column.right) / 2;
  if (erase) {
    erase_rect({column.left + 1, staff.top, column.right - 1, staff.bottom});
    for (int line = 0; line < 5; ++line) {
      move_to(column.left, bottom_line - line * 2 * STAFF_STEP);
      line_to(column.right, bottom_line - line * 2 * STAFF_STEP);
    }
  }
  for (int pos = 35 + sp.step; pos <= 35; pos += 2)  // ledger lines below the staff
    if ((pos - E4_POSITION) % 2 == 0 && pos < E4_POSITION) {
      const int ly = bottom_line - (pos - E4_POSITION) * STAFF_STEP;
      move_to(x - 7, ly);
      line_to(x + 7, ly);
    }
  draw_preview_glyph(P_QUARTER_NOTE_HEAD, x - 4, y);
  if (sp.accidental && sp.accidental != 3)
    draw_preview_glyph(P_DOUBLE_FLAT - 1 + sp.accidental, x - 14, y);
}

void draw_spelling_preview(DialogRef dialog, int item) {
  if (item != SPELLING_PREVIEW) return;
  const Rect staff = platform_item_rect(dialog, SPELLING_PREVIEW);
  const int bottom_line = staff.top + (staff.bottom - staff.top) / 2 + 2 * 2 * STAFF_STEP;
  for (int line = 0; line < 5; ++line) {
    move_to(staff.left, bottom_line - line * 2 * STAFF_STEP);
    line_to(staff.right, bottom_line - line * 2 * STAFF_STEP);
  }
  for (int pc = 0; pc < 12; ++pc) draw_spelled_note(dialog, pc, false);
}

}  // namespace

void draw_dialog_glyph(int pindex, int x, int y, int points) {
  const ParamValue* glyph = param_value(pindex, NIL, nullptr);
  const double scale = double(points) / std::max<int>(glyph->size(), 1);
  move_to(x + int(glyph->x() * scale / 10), y - int(glyph->y() * scale / 10));
  text_font(font_from_code(glyph->font()));
  text_face(0);
  text_size(points);
  draw_char(glyph->character());
}

// ---- Hear
// ------------------------------------------------------------------------------------------

int hear_dialog(double* factor, bool* ignore, bool* play) {
  platform_set_param_texts("Hear", "", "", "");
  DialogRun d(HEAR_DIALOG, CURSOR_ID_WATCH);
  if (!d.dialog) return 0;
  set_long_item(d.dialog, HEAR_TEMPO, int32_t(std::lround(*factor * 100)));
  platform_select_item_text(d.dialog, HEAR_TEMPO, 0, 1000);
  set_radio(d.dialog, HEAR_IGNORE, false);
  hear_list = list_create(1, platform_item_rect(d.dialog, HEAR_LIST), true, nullptr);
  hear_list_touched = false;
  select_heard_rows();
  int result = 0;
  for (;;) {
    const int item = next_hit(d, hear_filter, draw_hear_list);
    if (item == 2) break;
    if (item == HEAR_IGNORE) toggle(d.dialog, HEAR_IGNORE);
    if (item == HEAR_ALL || item == HEAR_NONE) {
      for (int r = 0; r < part_first_voice_count; ++r)
        list_box_select(hear_list, r, item == HEAR_ALL);
      hear_list_touched = true;
    }
    if (item != 1) continue;
    const int32_t percent = get_long_item(d.dialog, HEAR_TEMPO, "percent of normal tempo", 10, 500);
    if (percent == BAD_LONG_ITEM) continue;
    *factor = percent / 100.0;
    *ignore = value_of(d.dialog, HEAR_IGNORE);
    for (int v = 0; v < voice_count; ++v) {
      const int row = row_of_voice(v);
      play[v] = row >= 0 && list_box_selected(hear_list, row);
      if (Drosa vinfo = vinfo_of(v)) vinfo->set(xvoice_heard, play[v] ? 1 : 0);
    }
    if (hear_list_touched && !published()) mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
    result = 1;
    break;
  }
  list_dispose(hear_list);
  hear_list = nullptr;
  return result;
}

// ---- Tuning -------------------------------------------------------------------------------------

int tuning_dialog() {
  DialogRun d(TUNING_DIALOG, CURSOR_ID_WATCH);
  if (!d.dialog) return 0;
  for (int s = 0; s < 7; ++s)
    for (int a = 1; a <= 5; ++a)
      set_double_item(d.dialog, TUNING_FIRST + 6 * s + a - 1, tuning_cents(s, a));
  for (;;) {
    const int item = next_hit(d, nullptr);
    if (item == 2) return 0;
    if (item != 1) continue;
    float cents[7][6] = {};
    bool bad = false;
    for (int s = 0; s < 7 && !bad; ++s)
      for (int a = 1; a <= 5 && !bad; ++a) {
        const double v = get_double_item(d.dialog, TUNING_FIRST + 6 * s + a - 1, "tuning", -10000,
                                         10000, nullptr);
        bad = v == BAD_DOUBLE_ITEM;
        cents[s][a] = float(v);
      }
    if (bad) continue;
    for (int s = 0; s < 7; ++s)
      for (int a = 1; a <= 5; ++a) set_tuning_cents(s, a, cents[s][a]);
    mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
    return 1;
  }
}

// ---- Dynamic levels -----------------------------------------------------------------------------

int volume_dialog() {
  DialogRun d(VOLUME_DIALOG, CURSOR_ID_WATCH);
  if (!d.dialog) return 0;
  level_dialog = d.dialog;
  for (int i = 0; i < DYNAMIC_LEVELS; ++i)
    set_double_item(d.dialog, LEVEL_FIRST + i, perf_setting(PERF_DYNAMIC_LEVELS + 2 * i) * 0.5);
  set_radio(d.dialog, LEVEL_ONE_FOR_ALL, perf_setting(PERF_ONE_LEVEL_FOR_ALL) != 0);
  platform_set_user_item_proc(d.dialog, LEVEL_GLYPHS, draw_level_glyphs);
  int result = 0;
  for (;;) {
    const int item = next_hit(d, nullptr);
    if (item == 2) break;
    if (item == LEVEL_ONE_FOR_ALL) toggle(d.dialog, LEVEL_ONE_FOR_ALL);
    if (item != 1) continue;
    int16_t levels[DYNAMIC_LEVELS];
    bool bad = false;
    for (int i = 0; i < DYNAMIC_LEVELS && !bad; ++i) {
      const double v =
          get_double_item(d.dialog, LEVEL_FIRST + i, "volume level", 0.5, 100, nullptr);
      bad = v == BAD_DOUBLE_ITEM;
      levels[i] = doubled(v);
    }
    if (bad) continue;
    for (int i = 0; i < DYNAMIC_LEVELS; ++i)
      set_perf_setting(PERF_DYNAMIC_LEVELS + 2 * i, levels[i]);
    set_perf_setting(PERF_ONE_LEVEL_FOR_ALL, value_of(d.dialog, LEVEL_ONE_FOR_ALL) ? 1 : 0);
    mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
    result = 1;
    break;
  }
  level_dialog = nullptr;
  return result;
}

// ---- Default Playback -------------------------------------------------------------------------

int lengths_dialog() {
  struct Field {
    int item, setting;
    const char* name;
    double low, high;
    bool halves;  // shown as half the stored value
  };
  static const Field fields[] = {
      {8, PERF_STACCATO_LENGTH, "staccato length", 0, 200, false},
      {9, PERF_TENUTO_LENGTH, "tenuto length", 0, 200, false},
      {10, PERF_NORMAL_LENGTH, "normal length", 0, 200, false},
      {11, PERF_SLUR_LENGTH, "slur length", 0, 200, false},
      {16, PERF_GRACE_LENGTH, "grace-note length", 0, 400, false},
      {23, PERF_LENGTH_CHANGE, "length change", 1, 200, false},
      {25, PERF_START_CHANGE, "start-time change", 1, 400, false},
      {22, PERF_VOLUME_CHANGE, "volume change", 0.5, 100, true},
      {24, PERF_PITCH_CHANGE, "pitch change", 0.5, 100, true},
  };
  DialogRun d(LENGTHS_DIALOG, CURSOR_ID_WATCH);
  if (!d.dialog) return 0;
  for (const Field& f : fields) {
    if (f.halves)
      set_double_item(d.dialog, f.item, perf_setting(f.setting) * 0.5);
    else
      set_long_item(d.dialog, f.item, perf_setting(f.setting));
  }
  set_radio(d.dialog, LENGTHS_KEEP_NOMINAL, perf_setting(PERF_KEEP_NOMINAL) != 0);
  set_radio(d.dialog, LENGTHS_BEFORE_BEAT, perf_setting(PERF_GRACE_ON_BEAT) == 0);
  set_radio(d.dialog, LENGTHS_ON_BEAT, perf_setting(PERF_GRACE_ON_BEAT) != 0);
  for (;;) {
    const int item = next_hit(d, nullptr);
    if (item == 2) return 0;
    if (item == LENGTHS_KEEP_NOMINAL) toggle(d.dialog, LENGTHS_KEEP_NOMINAL);
    if (item == LENGTHS_BEFORE_BEAT || item == LENGTHS_ON_BEAT) {
      set_radio(d.dialog, LENGTHS_BEFORE_BEAT, item == LENGTHS_BEFORE_BEAT);
      set_radio(d.dialog, LENGTHS_ON_BEAT, item == LENGTHS_ON_BEAT);
    }
    if (item != 1) continue;
    bool bad = false;
    for (const Field& f : fields) {
      if (f.halves) {
        const double v = get_double_item(d.dialog, f.item, f.name, f.low, f.high, nullptr);
        bad = v == BAD_DOUBLE_ITEM;
        if (!bad) set_perf_setting(f.setting, doubled(v));
      } else {
        const int32_t v = get_long_item(d.dialog, f.item, f.name, int32_t(f.low), int32_t(f.high));
        bad = v == BAD_LONG_ITEM;
        if (!bad) set_perf_setting(f.setting, int16_t(v));
      }
      if (bad) break;
    }
    if (bad) continue;
    set_perf_setting(PERF_KEEP_NOMINAL, value_of(d.dialog, LENGTHS_KEEP_NOMINAL) ? 1 : 0);
    set_perf_setting(PERF_GRACE_ON_BEAT, value_of(d.dialog, LENGTHS_ON_BEAT) ? 1 : 0);
    mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
    return 1;
  }
}

// ---- Recompute Playback
// ---------------------------------------------------------------------------

int recompute_dialog(int* pitches, int* volumes, int* mode) {
  DialogRun d(RECOMPUTE_DIALOG, CURSOR_ID_WATCH);
  if (!d.dialog) return 0;
  for (int item : {RECOMPUTE_TIMES, RECOMPUTE_VOLUMES, RECOMPUTE_PITCHES})
    set_radio(d.dialog, item, true);
  set_radio(d.dialog, RECOMPUTE_LATER_MOVE, true);
  set_radio(d.dialog, RECOMPUTE_KEEP_LENGTH, false);
  for (;;) {
    const int item = next_hit(d, nullptr);
    switch (item) {
      case 1:
        *pitches = value_of(d.dialog, RECOMPUTE_PITCHES);
        *volumes = value_of(d.dialog, RECOMPUTE_VOLUMES);
        *mode = !value_of(d.dialog, RECOMPUTE_TIMES)       ? PERF_PITCH_VOLUME
                : value_of(d.dialog, RECOMPUTE_LATER_MOVE) ? PERF_LATER_MOVE
                                                           : PERF_KEEP_TOTAL;
        return 1;
      case 2:
        return 0;
      case RECOMPUTE_TIMES:
      case RECOMPUTE_VOLUMES:
      case RECOMPUTE_PITCHES:
        toggle(d.dialog, item);
        break;
      case RECOMPUTE_LATER_MOVE:
      case RECOMPUTE_KEEP_LENGTH:
        set_radio(d.dialog, RECOMPUTE_LATER_MOVE, item == RECOMPUTE_LATER_MOVE);
        set_radio(d.dialog, RECOMPUTE_KEEP_LENGTH, item == RECOMPUTE_KEEP_LENGTH);
        break;
      default:
        REPORT_ERROR(4, "%s", "Unexpected item returned from recompute dialog");
        break;
    }
  }
}

// ---- MIDI channel
// ---------------------------------------------------------------------------------

void midi_channels_dialog() {
  const int v = selected_voice;
  Drosa vinfo = vinfo_of(v);
  if (!vinfo) return;
  platform_set_param_texts(voice_display_name(v).c_str(), "", "", "");
  DialogRun d(MIDI_CHANNELS_DIALOG, CURSOR_ID_WATCH);
  if (!d.dialog) return;
  static const int radios[4] = {CHANNEL_ONE, CHANNEL_STREAM_ITEM, CHANNEL_ROTATE,
                                CHANNEL_SILENT_ITEM};
  int mode = std::min<int>(vinfo->get(xchanmode), 3);
  set_long_item(d.dialog, CHANNEL_ITEM, (vinfo->get(xmidichan) & 15) + 1);
  set_long_item(d.dialog, CHANNEL_COUNT_ITEM, std::max<int>(vinfo->get(xnumchans), 1));
  auto show_mode = [&] {
    for (int m = 0; m < 4; ++m) set_radio(d.dialog, radios[m], m == mode);
  };
  show_mode();
  for (;;) {
    const int item = next_hit(d, nullptr);
    if (item == 2) return;
    for (int m = 0; m < 4; ++m)
      if (item == radios[m]) {
        mode = m;
        show_mode();
        if (m == CHANNEL_ROTATION) platform_select_item_text(d.dialog, CHANNEL_COUNT_ITEM, 0, 1000);
      }
    if (item != 1) continue;
    const int32_t channel = get_long_item(d.dialog, CHANNEL_ITEM, "MIDI channel", 1, 16);
    if (channel == BAD_LONG_ITEM) continue;
    int32_t count = 1;
    if (mode == CHANNEL_ROTATION) {
      count = get_long_item(d.dialog, CHANNEL_COUNT_ITEM, "number of channels", 1, 17 - channel);
      if (count == BAD_LONG_ITEM) continue;
    }
    modifyvc_with_undo(vinfo);
    vinfo->set(xmidichan, uint8_t(channel - 1));
    vinfo->set(xchanmode, uint8_t(mode));
    if (mode == CHANNEL_ROTATION) vinfo->set(xnumchans, uint8_t(count));
    set_selected_voice(v);
    mark_piece_changed(0, CHANGE_NO_VIEWS, 0);
    return;
  }
}

// ---- Spelling
// ---------------------------------------------------------------------------------------

int spelling_dialog() {
  int32_t saved[12];
  std::copy(std::begin(key_spelling), std::end(key_spelling), saved);
  DialogRun d(SPELLING_DIALOG, CURSOR_ID_WATCH);
  if (!d.dialog) return 0;
  platform_set_user_item_proc(d.dialog, SPELLING_PREVIEW, draw_spelling_preview);
  for (;;) {
    const int item = next_hit(d, nullptr);
    if (item == 1) return 1;
    if (item == 2) {
      std::copy(saved, saved + 12, key_spelling);
      return 0;
    }
    const int pc = item - SPELLING_FIRST;
    if (pc < 0 || pc > 11) continue;
    const int choices = pc == 8 ? 2 : 3;
    key_spelling[pc] = (std::clamp(key_spelling[pc], 0, 2) + 1) % choices;
    draw_spelled_note(d.dialog, pc, true);
  }
}
