// keysig.cpp: key signatures: building them, their dialog, and Insert Key Signature.
//
// A KEYSIG is attached before the note where it takes effect, in every voice. Its entries
// are accidental codes in drawing order: the naturals that cancel the previous key's surplus
// accidentals first, then its own sharps or flats in the order tables' order. xkey names the
// key (n sharps n, n flats 7 + n, plus 15 for minor).
//
// The command works through one state record (key_command_state): the free-standing copies of
// the keys it compares and places, the dialog's options, and the answer to the questions that
// the per-note callback asks once for the whole command. Each voice's notes after the placed
// key are moved from the key that was in force there in that voice (the one the new key
// replaced, else the one before it), so voices under different keys, and selected notes at
// several times, are each moved from their own key.
#include "editing/keysig.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/app_services.h"
#include "editing/acc.h"
#include "editing/editing_globals.h"
#include "editing/key_transpose.h"
#include "editing/selection.h"
#include "editing/symbols.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/port.h"

const char* const KEY_NAMES[8][4] = {
    {"C Major", "A Minor", "C Major", "A Minor"},
    {"G Major", "E Minor", "F Major", "D Minor"},
    {"D Major", "B Minor", "B Flat Major", "G Minor"},
    {"A Major", "F Sharp Minor", "E Flat Major", "C Minor"},
    {"E Major", "C Sharp Minor", "A Flat Major", "F Minor"},
    {"B Major", "G Sharp Minor", "D Flat Major", "B Flat Minor"},
    {"F Sharp Major", "D Sharp Minor", "G Flat Major", "E Flat Minor"},
    {"C Sharp Major", "A Sharp Minor", "C Flat Major", "A Flat Minor"},
};

namespace {

constexpr int KEY_ENTRIES = 14;  // entries a KEYSIG holds
constexpr int FIRST_NATURAL = 14;
constexpr int MINOR_OFFSET = 15;
constexpr int KEY_DIALOG = 4126;

// The items of the Key Signature dialog beyond the scope items.
enum KeyItem {
  KEY_PREVIEW = 8,
  KEY_COUNT = 9,
  KEY_SHARPS = 10,
  KEY_FLATS = 11,
  KEY_MAJOR = 12,
  KEY_MAJOR_NAME = 13,
  KEY_MINOR = 14,
  KEY_MINOR_NAME = 15,
  KEY_CANCEL_NATURALS = 16,
  KEY_TRANSPOSE = 17,
  KEY_TRANSPOSE_LABEL = 18,
  KEY_UP = 19,
  KEY_DOWN = 20,
  KEY_TRANSPOSE_NOTE = 21,
  KEY_INSTRUMENT = 22,
  KEY_INSTRUMENT_FIELD = 23,
  KEY_KEEP_PLACE = 25,
  KEY_REPLACE_LATER = 26,
};

constexpr int CLEF_GLYPHS[12] = {
    P_TREBLE_CLEF_AT_START_OF_STAFF,
    P_BASS_CLEF_AT_START_OF_STAFF,
    P_ALTO_CLEF_AT_START_OF_STAFF,
    P_TENOR_CLEF_AT_START_OF_STAFF,
    P_SOPRANO_CLEF_AT_START_OF_STAFF,
    P_OCTAVE_DOWN_TREBLE_CLEF_AT_START_OF_STAFF,
    P_BARITONE_CLEF_AT_START_OF_STAFF,
    P_SINGLE_BAR_PERCUSSION_CLEF_AT_START_OF_STAFF,
    P_DUAL_BAR_PERCUSSION_CLEF_AT_START_OF_STAFF,
    P_CYMBAL_CLEF_AT_START_OF_STAFF,
    P_MEZZO_SOPRANO_CLEF_AT_START_OF_STAFF,
    P_BARITONE_C_CLEF_AT_START_OF_STAFF,
};

int32_t floor_mod(int32_t a, int32_t b) { return ((a % b) + b) % b; }

int entry_count(Drosa key) { return std::min<int>(key->get(xkeycnt), KEY_ENTRIES); }

// A free-standing KEYSIG of context 0: a copy of `from`, or an empty key.
Drosa key_copy(Drosa from) {
  Drosa copy = from ? copyDrosa(from) : newDrosa(KEYSIG, 0);
  copy->xcontext = 0;
  return copy;
}

void free_key(Drosa* key) {
  if (*key) destroyDrosa(*key);
  *key = NIL;
}

void free_command_keys() {
  KeyCommandState& st = key_command_state;
  free_key(&st.old_key);
  free_key(&st.new_key);
  free_key(&st.key_before);
  free_key(&st.key_at_end);
}

bool same_key(Drosa a, Drosa b) {
  const int xa = a ? a->get(xkey) : 0, xb = b ? b->get(xkey) : 0;
  const int ta = a ? a->get(key_transposition) : 0, tb = b ? b->get(key_transposition) : 0;
  return xa == xb && ta == tb;
}

// ---- The dialog's view ------------------------------------------------------------------------

// The dialog open now: what its filter draws.
struct KeyDialogView {
  DialogRef dialog = nullptr;
  Drosa key, before, at_end;
  std::string count_text;  // the count field as last built from
};
KeyDialogView key_view;

Drosa preview_previous() {
  return key_command_state.at_insertion_point ? key_view.before : key_view.at_end;
}

void draw_preview_now() { draw_key_preview(key_view.key, key_view.dialog, 1); }

void rebuild_preview() {
  draw_key_preview(key_view.key, key_view.dialog, 0);
  build_keysig(key_view.dialog, key_view.key, preview_previous());
  key_view.count_text = platform_item_text(key_view.dialog, KEY_COUNT);
  draw_key_preview(key_view.key, key_view.dialog, 1);
}

bool key_filter(DialogRef dialog, EventRecord* event, int*) {
  if (event->what == EVENT_UPDATE && event->window == platform_dialog_window(dialog)) {
    draw_dialog_frame(dialog, draw_preview_now, nullptr);
    return false;
  }
  // Typing changes no item: the count is followed as it is typed.
  if (event->what == EVENT_NULL && platform_item_text(dialog, KEY_COUNT) != key_view.count_text)
    rebuild_preview();
  return false;
}

void check(DialogRef dialog, int item, bool on) {
  platform_set_item_value(dialog, item, on ? 1 : 0);
}
bool checked(DialogRef dialog, int item) { return platform_item_value(dialog, item) != 0; }

void set_transposing(DialogRef dialog, bool on) {
  check(dialog, KEY_TRANSPOSE, on);
  enable_item(dialog, KEY_UP, on);
  enable_item(dialog, KEY_DOWN, on);
}

void fill_key_dialog(DialogRef dialog, Drosa key) {
  const KeyCode code = decode_xkey(key->get(xkey));
  set_transposing(dialog, false);
  check(dialog, KEY_CANCEL_NATURALS, true);
  const int transposition = key->get(key_transposition);
  check(dialog, KEY_INSTRUMENT, transposition != 0);
  set_long_item(dialog, KEY_INSTRUMENT_FIELD, transposition);
  check(dialog, KEY_KEEP_PLACE, false);
  check(dialog, KEY_REPLACE_LATER, false);
  set_long_item(dialog, KEY_COUNT, code.count);
  platform_select_item_text(dialog, KEY_COUNT, 0, 32767);
  check(dialog, KEY_SHARPS, code.sharps);
  check(dialog, KEY_FLATS, !code.sharps);
  check(dialog, KEY_MAJOR, !code.minor);
  check(dialog, KEY_MINOR, code.minor);
  check(dialog, KEY_UP, true);
  check(dialog, KEY_DOWN, false);
}

// The dialog's own items; false for an item it does not know.
bool key_item_hit(DialogRef dialog, int item) {
  switch (item) {
    case KEY_MAJOR:
    case KEY_MAJOR_NAME:
    case KEY_MINOR:
    case KEY_MINOR_NAME:
      check(dialog, KEY_MAJOR, item <= KEY_MAJOR_NAME);
      check(dialog, KEY_MINOR, item >= KEY_MINOR);
      return true;
    case KEY_SHARPS:
    case KEY_FLATS:
      check(dialog, KEY_SHARPS, item == KEY_SHARPS);
      check(dialog, KEY_FLATS, item == KEY_FLATS);
      return true;
    case KEY_CANCEL_NATURALS:
    case KEY_INSTRUMENT:
    case KEY_KEEP_PLACE:
    case KEY_REPLACE_LATER:
      check(dialog, item, !checked(dialog, item));
      return true;
    case KEY_TRANSPOSE:
    case KEY_TRANSPOSE_LABEL:
    case KEY_TRANSPOSE_NOTE:
      set_transposing(dialog, !checked(dialog, KEY_TRANSPOSE));
      return true;
    case KEY_UP:
    case KEY_DOWN:
      check(dialog, KEY_UP, item == KEY_UP);
      check(dialog, KEY_DOWN, item == KEY_DOWN);
      return true;
    case KEY_COUNT:
    case KEY_INSTRUMENT_FIELD:
      return true;
    default:
      return false;
  }
}

// How the music after the key follows it: the options as the dialog shows them (for Delete
// too, which moves the music back).
void read_key_options(DialogRef dialog) {
  KeyCommandState& st = key_command_state;
  st.direction = !checked(dialog, KEY_TRANSPOSE) ? 0 : checked(dialog, KEY_UP) ? 2 : 1;
  st.keep_place = checked(dialog, KEY_KEEP_PLACE) ? 1 : 0;
  st.replace_later = checked(dialog, KEY_REPLACE_LATER) ? 1 : 0;
}

// OK: the fields checked and the options read; false to stay in the dialog.
bool read_key_dialog(DialogRef dialog, Drosa key) {
  if (get_long_item(dialog, KEY_COUNT, "number of sharps or flats", 0, 7) == BAD_LONG_ITEM) {
    platform_select_item_text(dialog, KEY_COUNT, 0, 32767);
    return false;
  }
  int32_t transposition = 0;
  if (checked(dialog, KEY_INSTRUMENT)) {
    transposition = get_long_item(dialog, KEY_INSTRUMENT_FIELD, "transposing instrument", -36, 36);
    if (transposition == BAD_LONG_ITEM) {
      platform_select_item_text(dialog, KEY_INSTRUMENT_FIELD, 0, 32767);
      return false;
    }
  }
  build_keysig(dialog, key, preview_previous());
  key->set(key_transposition, int8_t(transposition));
  read_key_options(dialog);
  return true;
}

// ---- The command's steps ------------------------------------------------------------------

// The note before `start` that ends the chord before it, or the ENDSYST that starts its system.
Drosa previous_time_position(Drosa start) {
  for (Drosa p = start->xback; p; p = p->xback) {
    if (p->xkind == NOTE && p->get(xendvcd)) return p;
    if (effective_kind(p) == ENDSYST) return p;
  }
  return start;
}

// The key in force at the end of the start's system, before any key placed at that end.
Drosa key_in_force_at_system_end(Drosa start) {
  Drosa end = start;
  for (Drosa p = start->xnext; p; p = p->xnext) {
    end = p;
    if (effective_kind(p) == ENDSYST) break;
  }
  Drosa p = end->xback;
  while (p && p->xkind != NOTE && effective_kind(p) != ENDSYST) p = p->xback;
  return p ? keysig_before(p) : NIL;
}

void take_keys_at(Drosa start) {
  KeyCommandState& st = key_command_state;
  free_command_keys();
  st.key_before = key_copy(keysig_before(previous_time_position(start)));
  st.old_key = key_copy(keysig_before(start));
  st.key_at_end = key_copy(key_in_force_at_system_end(start));
}

// The selected note's voice holds no VINFO among the nodes before it: it is not the voice's
// first note.
bool after_voice_start(Drosa start) { return !find_prev_kind_stop(VINFO, start, ENDSYST); }

// Step 6: the keep-display flag, or 0 when the user cancels at the reminder question.
bool decide_reminders() {
  KeyCommandState& st = key_command_state;
  const bool removal = st.new_key->get(xkeycnt) == KEY_REMOVED;
  if (!removal && st.old_key->get(xkey) == st.new_key->get(xkey) && !st.no_questions) {
    switch (
        yesnocan_alert("Do you want to get rid of any reminder accidentals (redundant "
                       "accidentals) you might have on your notes?")) {
      case ANSWER_YES:
        st.keep_display = 0;
        return true;
      case ANSWER_NO:
        st.keep_display = 1;
        return true;
      default:
        st.answer = KEY_CANCELLED;
        return false;
    }
  }
  st.keep_display = st.direction != 0 ? 1 : 0;
  return true;
}

// The keys in force at the note's time differ between the shown voices.
bool staves_keys_differ(Drosa note) {
  voices_to_system(system_number_on_page(note, 1), 1);
  voices_to_system_at_time(find_time_in_system(note), 1, 1);
  bool first = true;
  int code = 0;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v) {
    if (voice_not_shown(v) || !time_cursor[v]) continue;
    Drosa key = keysig_before(time_cursor[v]);
    if (!key) return true;
    if (!first && key->get(xkey) != code) return true;
    code = key->get(xkey);
    first = false;
  }
  return false;
}

// The questions asked for the command's first note; false when the user declines.
bool first_note_questions(Drosa note) {
  KeyCommandState& st = key_command_state;
  const bool removal = st.new_key->get(xkeycnt) == KEY_REMOVED;
  if (st.at_insertion_point && !removal && !check_timing_boundary(note, !st.all_staves, "key")) {
    st.answer = KEY_CANCELLED;
    return false;
  }
  if (st.all_staves && !st.no_questions && staves_keys_differ(note) &&
      !really_alert(
          "You selected All Staves, but the keys on your staves do not match.  This might "
          "have unusual results; continue anyway?",
          1)) {
    st.answer = KEY_CANCELLED;
    return false;
  }
  st.answer = KEY_GO_ON;
  return true;
}

// A later key of the walk: rebuilt against the new key (the walk ends), or replaced.
bool meet_later_key(Drosa key, Drosa later) {
  KeyCommandState& st = key_command_state;
  if (later->xcontext == 0 && !st.replace_later) {
    modifyvc_with_undo(later);
    build_keysig(nullptr, later, key);
    return true;
  }
  if (later->xcontext == 0) update_transpose_from_key(later);
  const bool restated = later->xcontext != 0 || at_system_start(later);
  Drosa anchor = later->xback;
  const int8_t context = later->xcontext;
  removevc_with_undo(later);
  if (restated) {
    Drosa copy = copyDrosa(key);
    copy->xcontext = context;
    build_keysig(nullptr, copy, NIL);
    insertvc_node_with_undo(copy, anchor);
  }
  return false;
}

// A note after the placed key, with the notes-keep-place option: its step stays; an
// accidental it does not print becomes the one now in force, and its pitch follows.
void keep_note_in_place(Drosa note) {
  if (note->get(xrest)) return;
  record_note_change(note);
  if (!note->get(xaccplot)) note->set(xacc, effective_accidental(note));
  note->set(xpitch, note_pitch_word(note, note_keysig_value(note)));
}

}  // namespace

// ---- Key codes ---------------------------------------------------------------------------------

KeyCode decode_xkey(int xkey) {
  KeyCode code;
  const int m = floor_mod(xkey, MINOR_OFFSET);
  code.sharps = m <= 7;
  code.count = code.sharps ? m : m - 7;
  code.minor = floor_mod(xkey, 2 * MINOR_OFFSET) >= MINOR_OFFSET;
  return code;
}

int encode_xkey(bool sharps, int count, bool minor) {
  count = std::clamp(count, 0, 7);
  return (!sharps && count > 0 ? 7 : 0) + (minor ? MINOR_OFFSET : 0) + count;
}

// ---- Building a key ------------------------------------------------------------------------

int build_keysig(DialogRef dialog, Drosa key, Drosa previous) {
  KeyCode code = decode_xkey(key->get(xkey));
  bool cancelling = bool(previous);
  if (dialog) {
    const int32_t typed = get_long_item(dialog, KEY_COUNT, nullptr, 0, 7);
    if (typed != BAD_LONG_ITEM) code.count = typed;
    code.sharps = platform_item_value(dialog, KEY_SHARPS) != 0;
    code.minor = platform_item_value(dialog, KEY_MAJOR) == 0;
    const int column = code.sharps ? 0 : 2;
    platform_set_item_text(dialog, KEY_MAJOR_NAME, KEY_NAMES[code.count][column]);
    platform_set_item_text(dialog, KEY_MINOR_NAME, KEY_NAMES[code.count][column + 1]);
    cancelling = cancelling && platform_item_value(dialog, KEY_CANCEL_NATURALS) != 0;
  }
  key->set(xkey, int8_t(encode_xkey(code.sharps, code.count, code.minor)));
  int n = 0;
  auto add = [&](int entry) {
    if (n < KEY_ENTRIES) key->set(xkeysig_entry, n++, uint8_t(entry));
  };
  if (cancelling) {
    const KeyCode before = decode_xkey(previous->get(xkey));
    const int kept = before.sharps == code.sharps ? code.count : 0;
    for (int i = kept; i < before.count; ++i)
      add((before.sharps ? SHARP_ORDER[i] : FLAT_ORDER[i]) + FIRST_NATURAL);
  }
  for (int i = 0; i < code.count; ++i) add(code.sharps ? SHARP_ORDER[i] : FLAT_ORDER[i]);
  for (int i = n; i < KEY_ENTRIES; ++i) key->set(xkeysig_entry, i, 0);
  key->set(xkeycnt, uint8_t(n));
  return code.count;
}

void remove_naturals_from_key(Drosa key) {
  if (!key) {
    REPORT_ERROR(4, "NIL pointer for remove_naturals_from_key");
    return;
  }
  int count = entry_count(key), kept = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t code = key->get(xkeysig_entry, i);
    if (code < FIRST_NATURAL) key->set(xkeysig_entry, kept++, code);
  }
  for (int i = kept; i < count; ++i) key->set(xkeysig_entry, i, 0);
  key->set(xkeycnt, uint8_t(kept));
}

// ---- The dialog ---------------------------------------------------------------------------

void draw_key_preview(Drosa key, DialogRef dialog, int draw) {
  if (!dialog || !key) return;
  Port* saved = platform_current_port();
  platform_set_port(platform_dialog_port(dialog));
  const Rect area = platform_item_rect(dialog, KEY_PREVIEW);
  erase_rect(area);
  if (draw) {
    pen_normal();
    const int middle = (area.top + area.bottom) / 2;
    for (int line = -2; line <= 2; ++line) {
      move_to(area.left + 4, middle + 5 * line);
      line_to(area.right - 5, middle + 5 * line);
    }
    const int clef = std::clamp(key_command_state.clef_type, 0, 11);
    move_to(area.left + 8, middle);
    pDrawChar(CLEF_GLYPHS[clef], NIL, nullptr, DRAW_CHAR_UNZOOMED);
    int32_t x = (area.left + 36) * 10;  // tenths of a pixel
    const int32_t space =
        param_length(P_X_SPACE_LEFT_BETWEEN_ACCIDENTALS_IN_KEYS_AND_CHORDS, NIL, nullptr);
    const int count = key->get(xkeycnt) == KEY_REMOVED ? 0 : entry_count(key);
    for (int i = 0; i < count; ++i) {
      const int code = key->get(xkeysig_entry, i);
      int32_t y = 0;
      const int param = clef_sig_offsets(code, clef, -1, NIL, &y);
      move_to(x / 10, middle - y / 10);
      pDrawChar(param, NIL, nullptr, DRAW_CHAR_UNZOOMED);
      x += space + param_group_width(key, nullptr, code <= 6 ? 2 : code <= 13 ? 4 : 3, NIL);
    }
    text_font(0);
    text_face(0);
    text_size(0);
  }
  platform_set_port(saved);
}

int key_dialog(Drosa key, int32_t* all_staves, int32_t* at_insertion_point, Drosa before,
               Drosa at_end, int delete_here, int delete_at_end) {
  const std::string voice =
      "'" + std::string(selected_voice >= 0 ? voice_display_name(selected_voice) : "") + "':";
  platform_set_param_texts(voice, "", "", "");
  DialogRef dialog = open_dialog_in_front(KEY_DIALOG);
  if (!dialog) return 0;
  key_view = {dialog, key, before, at_end, ""};
  init_scope_buttons(dialog, *all_staves, all_staves, at_insertion_point, delete_here, 0);
  fill_key_dialog(dialog, key);
  build_keysig(dialog, key, preview_previous());
  key_view.count_text = platform_item_text(dialog, KEY_COUNT);
  int result = -1;
  while (result < 0) {
    const int item = platform_modal_dialog(dialog, key_filter);
    if (item == SYMBOL_DELETE) read_key_options(dialog);
    if (scope_button_hit(dialog, item, all_staves, at_insertion_point, delete_here,
                         delete_at_end)) {
      if (item == SYMBOL_CANCEL) {
        result = 0;
      } else if (item == SYMBOL_DELETE) {
        key->set(xkeycnt, KEY_REMOVED);
        result = 1;
      } else if (item == SYMBOL_OK && read_key_dialog(dialog, key)) {
        close_dialog_in_front(dialog);
        result = 1;
      }
    } else if (!key_item_hit(dialog, item)) {
      REPORT_ERROR(4, "Unexpected item returned from keysig dialog");
    }
    if (result < 0) rebuild_preview();
  }
  key_view = {};
  return result;
}

// ---- The command -------------------------------------------------------------------------

void key_mismatch_cb(Drosa note) {
  if (!is_NOTE(note)) return;
  if (!same_key(keysig_before(note), key_command_state.old_key)) key_command_state.mismatch = 1;
}

void update_transpose_from_key(Drosa key) {
  if (!key || effective_kind(key) != KEYSIG) {
    REPORT_ERROR(4, "Bad pointer in update_transpose_from_key, kind %d", key ? key->xkind : 0);
    return;
  }
  KeyCommandState& st = key_command_state;
  free_key(&st.old_key);
  st.old_key = key_copy(key);
  st.old_key_replaced = 1;
}

void apply_key_after_insert(Drosa key) {
  KeyCommandState& st = key_command_state;
  // The notes of this voice are moved from the key in force here in this voice.
  if (!st.old_key_replaced) {
    free_key(&st.old_key);
    st.old_key = key_copy(keysig_before(key));
  }
  st.old_key_replaced = 0;
  for (Drosa p = key->xnext; p;) {
    Drosa next = p->xnext;
    if (p->xkind == NOTE) {
      if (st.keep_place)
        keep_note_in_place(p);
      else
        transpose_note_for_key(p, st.old_key, key, st.direction, st.keep_display, ACC_OWN_ONLY);
    } else if (p->xkind == KEYSIG && meet_later_key(key, p)) {
      break;
    }
    p = next;
  }
}

void apply_key_cb(Drosa note) {
  KeyCommandState& st = key_command_state;
  if (!is_plotted_note(note) || st.answer == KEY_CANCELLED) return;
  if (st.answer == KEY_UNDECIDED && !first_note_questions(note)) return;
  refresh_from_offscreen();
  draw_ruler(1);
  set_cursor(CURSOR_ID_WATCH);
  const bool removal = st.new_key->get(xkeycnt) == KEY_REMOVED;
  const int at_end = st.at_insertion_point ? 0 : 1;
  st.old_key_replaced = 0;
  if (!removal) {
    set_key_spelling(st.new_key);
    insert_symbol_in_voice(st.new_key, note, SYMBOL_INSERT, at_end, st.all_staves,
                           apply_key_after_insert, update_transpose_from_key);
  } else {
    Drosa restored = st.at_insertion_point ? st.key_before : st.key_at_end;
    set_key_spelling(restored);
    insert_symbol_in_voice(restored, note, SYMBOL_INSERT, at_end, st.all_staves,
                           apply_key_after_insert, update_transpose_from_key);
    insert_symbol_in_voice(restored, note, SYMBOL_REMOVE, at_end, st.all_staves, nullptr, nullptr);
  }
  mark_piece_changed(1, 1, current_ncontext);
}

void insert_key_signature() {
  KeyCommandState& st = key_command_state;
  Drosa start = find_first_visible_noterest();
  if (!is_plotted_note(start)) return;
  st.answer = KEY_UNDECIDED;
  st.mismatch = 0;
  st.old_key_replaced = 0;
  Drosa clef = find_prev_kind(CLEF, start);
  st.clef_type = clef ? clef->get(xclef) : 0;
  take_keys_at(start);
  apply_to_cursor_or_group(key_mismatch_cb, 0);
  if (st.mismatch && !st.no_questions &&
      !really_alert("You selected notes with keys that do not match.  This might have unusual "
                    "results; continue anyway?",
                    1)) {
    free_command_keys();
    return;
  }
  st.new_key = key_copy(st.old_key);
  const int delete_here = insert_symbol_all_voices(start, KEYSIG, 0, NIL, nullptr, 1, nullptr);
  const int delete_at_end = symbol_exists_on_staff(start, KEYSIG);
  if (!key_dialog(st.new_key, &st.all_staves, &st.at_insertion_point, st.key_before, st.key_at_end,
                  delete_here, delete_at_end)) {
    free_command_keys();
    return;
  }
  const bool removal = st.new_key->get(xkeycnt) == KEY_REMOVED;
  if (!removal && st.new_key->get(xkeycnt) == 0 && after_voice_start(start) &&
      !really_alert("Do you really want to insert a key signature with no accidentals?", 1)) {
    free_command_keys();
    return;
  }
  if (decide_reminders()) {
    symbol_edit_state.step_answer = STEP_NOT_ASKED;
    apply_to_cursor_or_group(apply_key_cb, 1);
  }
  free_command_keys();
}
