// note_entry.cpp: the entry of notes from the piano window, computer keys and MIDI input
// (note_entry.h): the table of played keys, the chord's entry with its small fix-ups, the
// computer keys' points and the dialog that assigns them, the MIDI input's idle work, the
// sounding of a key with the voice's program, and the spelling of entered keys by the key.
//
// Input that cannot be entered at once waits: typed keys in the event queue, MIDI input in its
// ring (which beeps when it has to drop a message), while a dialog is open or a page is being
// formatted (the format stops and the main loop enters what waits).
#include "performance/note_entry.h"

#include <algorithm>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "performance/midi_out.h"
#include "performance/palette.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/pianowin.h"
#include "performance/pitch.h"
#include "platform/beep.h"

namespace {

constexpr int32_t REST_KEY = -1;
constexpr int KEY_EQUIVALENT_FIELD = 3;

bool notes_locked() { return options_i16(current_ncontext, OPTIONS_CONTEXT_EDIT_LOCK) != 0; }

// The channels a key is heard on: the selected voice's.
void sound_key(uint16_t pitch, bool on) {
  const AuditionChannel& a = audition_channel;
  if (on)
    send_note_on(pitch, current_note_template->get(xvolume), a.mode, a.first, a.count, -1, 0);
  else
    send_note_off(pitch, a.mode, a.first, a.count, -1, 0);
}

// Three adjacent semitones played together are a rest where the options ask for it.
void apply_cluster_rule() {
  if (played_key_count != 3 || !options_i16(current_ncontext, OPTIONS_CLUSTER_REST)) return;
  int32_t low = played_keys[0].key, high = low;
  for (int i = 1; i < 3; ++i) {
    low = std::min(low, played_keys[i].key);
    high = std::max(high, played_keys[i].key);
  }
  if (low < 0 || high - low != 2) return;
  played_keys[0] = PlayedNote{};
  played_keys[0].key = REST_KEY;
  played_key_count = 1;
}

// The page turns when the chord just entered filled the page's last system: the insertion
// point could not move on to a note of this page, and the piece goes on.
void turn_page_after_entry(Drosa last_entered) {
  if (insertion_point != last_entered || !piano_dialog) return;
  Drosa end = NIL;
  for (Drosa p = last_entered->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return;
    if (effective_kind(p) == ENDSYST && p->get(xendpage)) {
      end = p;
      break;
    }
  }
  if (!end || end->get(xendpiece) || current_page >= page_count) return;
  Drosa next = find_next_kind(NOTE, end);
  if (!next) return;
  const int voice = selected_voice;
  pending_goto_bar = bar_number_of_node(next);
  page_navigation_command(PAGE_COMMAND_PENDING_BAR);
  if (insertion_point && current_page > 1 && voice == selected_voice) {
    note_entry_active = 1;
    draw_piano_window();
  }
}

// Enters the collected keys (after they are silenced and unmarked) as one undo step; true when
// notes were made. The palette then shows what the entry left of the template's values.
bool insert_collected_keys() {
  if (!room_for_edit()) return false;
  apply_cluster_rule();
  const Drosa old_point = insertion_point;
  set_undo_mark(0);
  Drosa first = insert_played_notes(played_keys, played_key_count, 1);
  draw_piano_window();
  if (!first) return false;
  mark_piece_changed(1, 1, 0);
  clear_special_accidental_choice();
  Drosa last = first;
  while (last && !(last->xkind == NOTE && last->get(xendvcd))) last = last->xnext;
  grace_after_fixup(first, old_point);
  if (last) turn_page_after_entry(last);
  return true;
}

// A MIDI key released: everything pressed since the last entry is entered.
bool midi_release() {
  if (played_key_count == 0) return false;
  if (prefs.u8(PREFS_ECHO_MIDI_INPUT))
    for (int i = 0; i < played_key_count; ++i)
      if (played_keys[i].key >= 0) sound_key(played_keys[i].pitch, false);
  redraw_played_keys(false);
  const bool made = insert_collected_keys();
  played_key_count = 0;
  return made;
}

// One message of MIDI input; true when a chord was entered.
bool take_midi_message() {
  const int n = std::max(0, int(midi_event.size) - 6);
  const uint8_t* b = midi_event.bytes;
  if (midi_sysex_open || (n > 0 && b[0] == 0xF0)) {
    midi_sysex_open = n > 0 && b[n - 1] != 0xF7;
    return false;
  }
  if (n < 3) return false;
  const int kind = b[0] & 0xF0;
  if (kind != 0x80 && kind != 0x90) return false;
  const int32_t key = std::clamp(b[1] + keyboard_shift, 0, 127);
  if (kind == 0x80 || b[2] == 0) return midi_release();
  add_played_key(key, prefs.u8(PREFS_ECHO_MIDI_INPUT) != 0);
  return false;
}

// A beep for every MIDI message the full input ring had to drop.
void beep_for_dropped_input() {
  const int32_t dropped = midi_in_dropped.load();
  if (dropped == midi_in_dropped_seen) return;
  midi_in_dropped_seen = dropped;
  platform_beep();
}

bool shift_is_up() { return !(platform_modifiers() & MOD_EITHER_SHIFT); }

Drosa vinfo_of_voice(int v) {
  return v >= 0 && v < voice_count && piece_start[v]
             ? find_next_kind_before_note(VINFO, piece_start[v])
             : NIL;
}

// The voice whose list holds the node.
int voice_of_node(Drosa node) {
  Drosa head = node;
  while (head && head->xback) head = head->xback;
  for (int v = 0; v < voice_count; ++v)
    if (piece_start[v] == head) return v;
  return -1;
}

// Step 2 of an audition: the MIDI commands before the note (the selected voice's first ones
// without a note) are sent; the voice's own program (0 when it has none) on the first channel
// when none changed the program.
void send_voice_program(Drosa note, int channel) {
  bool program_sent = false;
  Drosa start = NIL;
  int own = 0;
  if (selected_voice >= 0) {
    if (note) {
      const int v = voice_of_node(note);
      Drosa vinfo = vinfo_of_voice(v);
      start = vinfo ? find_prev_kind_raw(ENDSYST, vinfo) : NIL;
      if (vinfo) own = vinfo->get(xmidiprog);
    } else if (selected_voice < voice_count) {
      start = piece_start[selected_voice];
      if (Drosa vinfo = vinfo_of_voice(selected_voice)) own = vinfo->get(xmidiprog);
    }
  }
  for (Drosa p = start; p; p = p->xnext) {
    if (note ? p == note : p->xkind == NOTE) break;
    if (effective_kind(p) != TPARAM || p->get(xadjacent)) continue;
    if (midi_anno_kind(p, nullptr) < COMMAND_PROGRAM) continue;
    uint8_t bytes[12];
    int command_channel = channel;
    int32_t time = 0;
    const int count = parse_midi_anno(p, &command_channel, bytes, &time, nullptr);
    if (count <= 0) continue;
    send_raw_packet(bytes, count, -1, 0);
    if (count == 2 && (bytes[0] & 0xF0) == 0xC0) program_sent = true;
  }
  if (!program_sent || !start) {
    const uint8_t program[2] = {uint8_t(0xC0 | (channel & 15)), uint8_t(own & 127)};
    send_raw_packet(program, 2, -1, 0);
  }
}

}  // namespace

Drosa entry_node() { return note_entry_active && is_NOTE(insertion_point) ? insertion_point : NIL; }

// ---- The played keys ---------------------------------------------------------------------------

void add_played_key(int32_t key, bool sound) {
  if (key == REST_KEY && played_key_count > 0) return;
  for (int i = 0; i < played_key_count; ++i)
    if (played_keys[i].key == key) return;
  if (played_key_count >= PLAYED_KEYS) return;  // a chord holds at most 88 keys
  highlight_piano_key(key, true);
  PlayedNote& entry = played_keys[played_key_count];
  entry = PlayedNote{};
  entry.key = key;
  entry.template_staccatissimo = template_staccatissimo;
  if (set_template_accidental() == 0) {
    entry.requested_accidental = current_note_template->get(xacc);
  } else {
    entry.spacc_count = std::min<int>(spacc_template->get(xnumspacc), 15);
    for (int i = 0; i < entry.spacc_count; ++i)
      entry.spacc_codes[i] = spacc_template->get(xspacc_entry, i);
  }
  entry.volume = current_note_template->get(xvolume);
  if (key != REST_KEY) {
    if (!insertion_point || !entry_node() || notes_locked())
      entry.pitch = key_to_pitch_word(key);
    else
      special_acc_entry(&entry, insertion_point);
    if (sound) {
      refresh_output_choice();
      audition_note(NIL, true);
      sound_key(entry.pitch, true);
    }
  }
  ++played_key_count;
}

void redraw_played_keys(bool on) {
  for (int i = 0; i < played_key_count; ++i) highlight_piano_key(played_keys[i].key, on);
}

void enter_played_chord() {
  shift_chord_pending = 0;
  if (played_key_count == 0) return;
  for (int i = 0; i < played_key_count; ++i)
    if (played_keys[i].key >= 0) sound_key(played_keys[i].pitch, false);
  all_notes_off(2);
  redraw_played_keys(false);
  const bool lone_rest = played_key_count == 1 && played_keys[0].key == REST_KEY;
  const bool made = insert_collected_keys();
  if (!made && lone_rest && duration_edits_enabled && (group_selected || !entry_node()))
    apply_to_cursor_or_group(insert_rest_cb, 1);
  played_key_count = 0;
}

// ---- Computer keys -----------------------------------------------------------------------------

void piano_apply_pending(const EventRecord& event) {
  if (!typed_key_pending) return;
  const bool shift = (event.modifiers & MOD_EITHER_SHIFT) != 0;
  shift_chord_pending = shift ? 1 : 0;
  if (!shift || typed_key_pending == REST_KEY) enter_played_chord();
  typed_key_pending = 0;
  // A key typed where notes cannot go in is told as a click on the keyboard is.
  show_entry_hint_if_useful();
}

int valid_key_code(int code) { return code >= 1 && code <= 511 ? code : -1; }

int32_t piano_key_equivalent(const EventRecord& event, int act) {
  if (event.modifiers & (MOD_COMMAND | MOD_EITHER_OPTION)) return 0;
  const int character = event_char(event);
  const bool repeated = is_double_keystroke(character, event.when) != 0;
  const int code = valid_key_code(character);
  if (code < 0) return 0;
  const PalettePoint p = prefs.key_piano(code);
  if ((p.v == 0 && p.h == 0) || !act) return 1;
  const Point where{p.h, p.v};
  int32_t key = 0;
  if (point_to_piano_key(where, &key)) {
    add_played_key(key, true);
    typed_key_pending = key;
    return 1;
  }
  if (MODE != MUSIC_MODE) return 1;
  const int box = palette_box_at(where);
  if (box >= 0)
    palette_click(box, repeated);
  else
    click_special_accidental_rows(where);
  return 1;
}

void pianoeq_dialog(Point where) {
  save_cursor();
  set_cursor(CURSOR_ID_ARROW);
  DialogRef d = platform_open_dialog(136, true);
  if (!d) {
    restore_cursor();
    return;
  }
  for (;;) {
    platform_select_item_text(d, KEY_EQUIVALENT_FIELD, 0, 32767);
    draw_dialog_frame(d, nullptr, nullptr);
    const int item = platform_modal_dialog(d, dialog_key_filter);
    if (item == 2 || item < 0) break;
    if (item != 1) {
      REPORT_ERROR(4, "Unexpected item returned from pianoeq_dialog");
      continue;
    }
    const std::string text = platform_item_text(d, KEY_EQUIVALENT_FIELD);
    const int code = text.size() == 1 ? valid_key_code(uint8_t(text[0])) : -1;
    if (code < 1 || code > 255) {
      REPORT_ERROR(2, "%s", "Please type one letter, number, or punctuation.");
      continue;
    }
    prefs.set_key_piano(code, {int16_t(where.y), int16_t(where.x)});
    break;
  }
  platform_close_dialog(d);
  restore_cursor();
  update_menus(118);
}

// ---- MIDI input --------------------------------------------------------------------------------

int32_t piano_idle(int allow) {
  beep_for_dropped_input();
  if (!midi_out_available) return 0;
  if (!allow || group_selected || MODE != MUSIC_MODE) {
    midi_sysex_open = false;
    if (!shift_chord_pending) return 0;
    enter_played_chord();
    return 1;
  }
  if (shift_chord_pending && shift_is_up()) {
    enter_played_chord();
    return 1;
  }
  bool entered = false;
  while (next_midi_input()) {
    entered = take_midi_message() || entered;
    midi_event.size = 0;
  }
  return entered ? 1 : 0;
}

bool piano_input_waiting() {
  if (!midi_out_available) return false;
  if (shift_chord_pending && shift_is_up()) return true;
  const MidiInSlot& slot = midi_in_ring.slots[midi_in_ring.read_index];
  return slot.length.load(std::memory_order_acquire) != 0;
}

// ---- Sounding ----------------------------------------------------------------------------------

void audition_note(Drosa note, bool on) {
  if (note && (note->xkind != NOTE || note->get(xrest))) return;
  AuditionChannel channels = audition_channel;
  if (note) {
    if (Drosa vinfo = vinfo_of_voice(voice_of_node(note))) {
      channels.mode = vinfo->get(xchanmode);
      channels.first = vinfo->get(xmidichan);
      channels.count = vinfo->get(xnumchans);
    }
  }
  if (on) send_voice_program(note, channels.first);
  if (!note) return;
  const uint16_t pitch = note->get(xpitch);
  const int key = std::clamp(pitch >> 8, 0, 127);
  bool sounding;
  {
    std::lock_guard<std::recursive_mutex> held(midi_lock);
    sounding = midi_send_state.sounding_keys[key] != 0;
  }
  if (on && !sounding)
    send_note_on(pitch, note->get(xvolume), channels.mode, channels.first, channels.count, -1, 0);
  else if (!on && sounding)
    send_note_off(pitch, channels.mode, channels.first, channels.count, -1, 0);
}

// ---- Spelling and entered nodes
// ------------------------------------------------------------------

void set_key_spelling(Drosa keysig) {
  int a = 0, b = 0;
  if (!keysig) {
    if (key_spelling_key == 0) return;
    key_spelling_key = 0;
  } else {
    const int key = keysig->get(xkey);
    if (key == key_spelling_key) return;
    key_spelling_key = key;
    const int count = std::min<int>(keysig->get(xkeycnt), 14);
    for (int i = 0; i < count; ++i) {
      const int code = keysig->get(xkeysig_entry, i);
      if (code < 7)
        ++a;
      else if (code <= 13)
        ++b;
    }
  }
  const bool entries = a + b > 0;
  key_spelling[0] = entries && b > 4;
  key_spelling[1] = a > 1;
  key_spelling[2] = 0;
  key_spelling[3] = b < 2;
  key_spelling[4] = a > 4;
  key_spelling[5] = b > 3;
  key_spelling[6] = a > 2;
  key_spelling[7] = b > 5;
  key_spelling[8] = b < 1;
  key_spelling[9] = a > 5 ? 2 : 0;
  key_spelling[10] = b < 3;
  key_spelling[11] = a > 3;
}

Drosa new_entry_nest_node() {
  Drosa t = current_note_template;
  if (!t || t->get(xtupl) == 1 || !palette_nested_tuplet.nested) return NIL;
  Drosa nest = newDrosa(NEST, 0);
  nest->set(xnest_tupl, uint8_t(palette_nested_tuplet.number));
  nest->set(xnest_intimeof, uint8_t(std::clamp(palette_nested_tuplet.intimeof, 1, 255)));
  return nest;
}

void grace_after_fixup(Drosa new_note, Drosa old_insertion_point) {
  Drosa t = current_note_template;
  if (!grace_after || !t || !t->get(xgrace) || !is_plotted_note(old_insertion_point)) return;
  if (insertion_point) stop_flashing(insertion_point);
  insertion_point = old_insertion_point;
  start_flashing(insertion_point);
  Drosa first = unary_node(UNARY_SKIP_FORWARD, new_note);
  if (!is_NOTE(first) || !first->get(xslur)) return;
  Drosa before = find_prev_kind(NOTE, first);
  if (!before || !before->get(xgrace) || !before->get(xnachschlag)) return;
  const int slur = first->get(xslur);
  for (Drosa p = vchord_first_note(before); p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    modifyvc_with_undo(p);
    p->set(xslur, uint8_t(slur));
    if (p->get(xendvcd)) break;
  }
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    modifyvc_with_undo(p);
    p->set(xslur, 0);
    if (p->get(xendvcd)) break;
  }
}
