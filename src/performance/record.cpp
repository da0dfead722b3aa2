// record.cpp: the Record command and the recorder that Import MIDI feeds.
//
// The timer task only marks the metronome's clicks as due (with their times); the record loop,
// on the main thread, stores each as a beat and switches the click, before it takes the MIDI
// input that came after it.
#include "performance/record.h"

#include <algorithm>
#include <string>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "params/param_services.h"
#include "performance/hear_dialogs.h"
#include "performance/midi_out.h"
#include "performance/midifile.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/pianowin.h"
#include "performance/pitch.h"
#include "performance/play.h"
#include "performance/play_queue.h"
#include "performance/quantise.h"
#include "platform/beep.h"
#include "platform/events.h"
#include "platform/midi.h"
#include "platform/port.h"

RecordSettings record_settings;
Recording recording;
int32_t recording_active = 0;
void (*record_loop_hook)() = nullptr;

namespace {

constexpr int RECORD_DIALOG = 27029, IMPORT_DIALOG = 134;
constexpr int CLICK_MS = 80, TAP_GAP = 80, CLICK_VOLUME = 96;
constexpr int SUSTAIN = 64;
constexpr int FIRST_TAP_CONTROLLER = 64, LAST_TAP_CONTROLLER = 95;

// Items of the two dialogs.
enum : int {
  ITEM_OK = 1,
  ITEM_CANCEL = 2,
  ITEM_BEAT_TEXT = 4,
  ITEM_BEAT = 5,
  ITEM_SUBDIVISION_TEXT = 6,
  ITEM_SUBDIVISION = 7,
  ITEM_TRIPLETS = 8,
  ITEM_TRIPLET_PAIRS = 9,
  ITEM_FIRST_NOTE = 10,
  ITEM_TAP = 11,
  ITEM_CLUSTER = 12,
  ITEM_KEEP = 14,
  ITEM_VELOCITY = 16,
  ITEM_BEAT_PICTURE = 18,
  ITEM_SUBDIVISION_PICTURE = 19,
  ITEM_TRIPLET_PICTURE = 20,
  ITEM_PAIR_PICTURE = 21,
  ITEM_SILENT = 22,
  ITEM_TEMPO = 23,
  ITEM_PLAY_ALONG = 24,
  ITEM_MONITOR = 26,
  ITEM_MONITOR_AREA = 28,
  ITEM_CLICK_CHANNEL = 31,
  ITEM_CLICK_KEY = 33,
  // Import
  ITEM_FIRST_CHANNEL = 24,
  ITEM_LAST_CHANNEL = 26,
  ITEM_LOWEST_KEY = 29,
  ITEM_HIGHEST_KEY = 31,
  ITEM_TRACK_LABEL = 32,
  ITEM_TRACK = 33,
};

RecordSettings& rs = record_settings;
Recording& rec = recording;

int32_t beat(int i) { return rec.beat_times[size_t(std::clamp(i, 0, rec.last_beat))]; }

// The last beat at or before `time`, 0 when none is.
int last_beat_at_or_before(int64_t time) {
  const auto begin = rec.beat_times.begin(), end = begin + rec.last_beat + 1;
  const int i = int(std::upper_bound(begin, end, time) - begin) - 1;
  return std::max(i, 0);
}

Drosa append_rnote(int key, int32_t time, int volume) {
  Drosa n = newDrosa(RNOTE, 0);
  n->set(rnotenum, int16_t(key));
  n->set(rstart_time, time);
  n->set(rvolume, uint8_t(std::clamp(volume, 1, 200)));
  n->set(rtupl, 1);
  if (rec.tail) {
    n->xback = rec.tail;
    rec.tail->xnext = n;
  }
  rec.tail = n;
  return n;
}

void free_list(Drosa head) {
  while (head) {
    Drosa next = head->xnext;
    head->xnext = head->xback = NIL;
    destroyDrosa(head);
    head = next;
  }
}

// The click: its channel (below 0 the system beep) and pitch word, mended when out of range.
void click_note(int* channel, uint16_t* pitch) {
  *channel = int8_t(prefs.bytes[PREFS_METRONOME_CHANNEL]);
  *pitch = prefs.u16(PREFS_METRONOME_KEY);
  if (*channel < -1 || *channel > 15 || (*pitch >> 8) < 1 || (*pitch >> 8) > 127) {
    prefs.bytes[PREFS_METRONOME_CHANNEL] = 9;
    prefs.set_u16(PREFS_METRONOME_KEY, 19200);
    *channel = 9;
    *pitch = 19200;
  }
}

void switch_click(int on) {
  int channel;
  uint16_t pitch;
  click_note(&channel, &pitch);
  refresh_output_choice();
  if (on)
    send_note_on(pitch, CLICK_VOLUME, 0, channel, 1, -1, 0);
  else if (channel >= 0)
    send_note_off(pitch, 0, channel, 1, -1, 0);
}

void start_metronome() {
  if (rs.import || !rs.metronome_on) return;
  record_metronome_on = 1;
  record_click_only_with_notes = 0;
  set_metronome_running(1, rs.beat_period);
}

void stop_metronome() {
  if (rs.import) return;
  record_metronome_on = 0;
  set_metronome_running(0, 0);
}

// ---- The dialog's pictures: notes with stems (the tempo-marking glyphs) ------------------------

constexpr int TIMES_FONT = -5;

// The glyph parameter of a note value code (0 breve .. 6 32nd).
int value_glyph(int code) {
  static const int glyphs[] = {370, 12, 13, 14, 15, 16, 17};
  return glyphs[std::clamp(code, 0, 6)];
}

constexpr int PICTURE_POINTS = 20;

// A note of the value at x on the baseline y, dotted or not.
void draw_value(int code, bool dotted, int x, int y) {
  draw_dialog_glyph(value_glyph(code), x, y, PICTURE_POINTS);
  if (dotted) draw_dialog_glyph(P_DOT_FOR_DOTTED_NOTES, x + 10, y, PICTURE_POINTS);
}

// Notes 12 pixels apart under a "3": a triplet (three of the value) or a pair (the beat's
// value, then the next smaller).
void draw_triplet_figure(const Rect& r, const int* codes, int count) {
  const int y = r.bottom - 1;
  text_font(font_from_code(TIMES_FONT));
  text_face(FACE_ITALIC);
  text_size(10);
  move_to(r.left + 2 + 6 * (count - 1), r.top + 7);
  draw_char('3');
  for (int i = 0; i < count; ++i) draw_value(codes[i], false, r.left + 12 * i, y);
}

void draw_record_picture(DialogRef d, int item) {
  const Rect r = platform_item_rect(d, item);
  erase_rect(r);
  const int y = r.bottom - 3;
  const int smaller = rs.beat_unit + 1;
  if (item == ITEM_BEAT_PICTURE) {
    draw_value(rs.beat_unit, rs.dotted_beat, r.left, y);
  } else if (item == ITEM_SUBDIVISION_PICTURE) {
    draw_value(rs.subdivision, false, r.left, y);
  } else if (!rs.dotted_beat && item == ITEM_TRIPLET_PICTURE) {
    const int codes[] = {smaller, smaller, smaller};
    draw_triplet_figure(r, codes, 3);
  } else if (!rs.dotted_beat && item == ITEM_PAIR_PICTURE) {
    const int codes[] = {rs.beat_unit, smaller};
    draw_triplet_figure(r, codes, 2);
  }
}

// The pictures of the beat, the subdivision and the triplet figures, and the check boxes.
void draw_record_dialog() {
  DialogRef d = rs.dialog;
  if (!d) return;
  for (int item = ITEM_BEAT_PICTURE; item <= ITEM_PAIR_PICTURE; ++item) {
    platform_set_user_item_proc(d, item, draw_record_picture);
    platform_invalidate_dialog_rect(d, platform_item_rect(d, item));
  }
  platform_set_item_value(d, ITEM_TRIPLETS, rs.triplets);
  platform_set_item_value(d, ITEM_TRIPLET_PAIRS, rs.triplet_pairs);
  platform_set_item_hilite(d, ITEM_TRIPLETS, rs.dotted_beat ? 255 : 0);
  platform_set_item_hilite(d, ITEM_TRIPLET_PAIRS, rs.dotted_beat ? 255 : 0);
  platform_set_item_value(d, ITEM_CLUSTER, rs.cluster_rest);
  platform_set_item_value(d, ITEM_KEEP, rs.keep_played_durations);
  platform_set_item_value(d, ITEM_VELOCITY, rs.midi_velocity);
  if (!rs.import) {
    platform_set_item_value(d, ITEM_FIRST_NOTE, rs.start_with_first_note);
    platform_set_item_value(d, ITEM_TAP, rs.tap_beats);
    platform_set_item_value(d, ITEM_SILENT, rs.silent_metronome);
    platform_set_item_value(d, ITEM_PLAY_ALONG, rs.play_along);
    platform_set_item_value(d, ITEM_MONITOR, rs.midi_monitor);
  }
}

// The beat unit from a time signature's beat value.
void beat_from_denominator(int beat_value) {
  rs.dotted_beat = 0;
  rs.beat_unit = beat_value == 1 ? 1 : beat_value == 2 ? 2 : beat_value == 8 ? 4 : 3;
}

void fill_defaults(int import) {
  if (!rs.filled) {
    rs = RecordSettings{};
    rs.filled = true;
  }
  rs.import = import;
  rs.time_signature = insertion_point ? find_prev_kind(TIMESIG, insertion_point) : NIL;
  if (import) {
    const int32_t clicks = midi_file_click_division();
    rs.dotted_beat = clicks == 24 || clicks == 12;
    rs.beat_unit = clicks == 32 ? 1 : clicks == 24 || clicks == 16 ? 2 : clicks == 4 ? 4 : 3;
    rs.subdivision = rs.beat_unit + 2;
    rs.first_channel = std::clamp(rs.first_channel, 0, 15);
    rs.last_channel = std::clamp(rs.last_channel, rs.first_channel, 15);
    // Every track may hold notes, the first of a format-1 file too; the track offered first is
    // the one chosen last time when it holds notes, else the first that does.
    rs.track = std::clamp(rs.track, 0, std::max(0, midi_file_header.tracks - 1));
    if (!midi_track_notes(rs.track))
      for (int t = 0; t < midi_file_header.tracks; ++t)
        if (midi_track_notes(t)) {
          rs.track = t;
          break;
        }
  } else {
    beat_from_denominator(rs.time_signature ? rs.time_signature->get(xbeat) : 4);
    rs.subdivision = rs.beat_unit + 1;
  }
}

// While a number is being typed into a field of the recording dialog, what it holds so far is
// taken when it is in range and passed over quietly when not (the "1" of "120").
bool typing_in_field = false;

// Reads a number field; false (the message given) when it is out of its range.
bool read_field(int item, const char* name, int low, int high, int* value) {
  const int32_t v = get_long_item(rs.dialog, item, typing_in_field ? nullptr : name, low, high);
  if (v == BAD_LONG_ITEM) return false;
  *value = v;
  return true;
}

// The next of the six beat units: whole, dotted half, half, dotted quarter, quarter, eighth.
void next_beat_unit() {
  static const int units[6][2] = {{1, 0}, {2, 1}, {2, 0}, {3, 1}, {3, 0}, {4, 0}};
  int at = 0;
  for (int i = 0; i < 6; ++i)
    if (units[i][0] == rs.beat_unit && units[i][1] == rs.dotted_beat) at = i;
  const int step = std::clamp(rs.subdivision - rs.beat_unit, 0, 2);
  rs.beat_unit = units[(at + 1) % 6][0];
  rs.dotted_beat = units[(at + 1) % 6][1];
  rs.subdivision = rs.beat_unit + step + (rs.dotted_beat && step == 0 ? 1 : 0);
  if (rs.dotted_beat) rs.triplets = rs.triplet_pairs = 0;
}

// What an item of either dialog does; true when the dialog should close (*cancelled says how).
bool dialog_item(int item, bool* cancelled) {
  const bool before_first = !rec.note_recorded;
  const bool live = !rs.import;
  switch (item) {
    case ITEM_OK:
      // The recording's fields as typed: one out of its range is said and the dialog stays.
      if (live) {
        int unused = 0;
        if (!read_field(ITEM_TEMPO, "tempo", 10, 300, &unused) ||
            !read_field(ITEM_CLICK_CHANNEL, "click channel", 0, 16, &unused) ||
            !read_field(ITEM_CLICK_KEY, "click key", 1, 127, &unused))
          break;
      }
      stop_playing(0);
      rs.played_along = rs.play_along;
      *cancelled = false;
      return true;
    case ITEM_CANCEL:
      stop_playing(0);
      *cancelled = true;
      return true;
    case ITEM_BEAT:
      if (before_first && !rs.play_along) next_beat_unit();
      break;
    case ITEM_SUBDIVISION:
      if (before_first) {
        const int step = (rs.subdivision - rs.beat_unit + 1) % 3;
        rs.subdivision = rs.beat_unit + step;
      }
      break;
    case ITEM_TRIPLETS:
      if (before_first && !rs.dotted_beat) rs.triplets = !rs.triplets;
      break;
    case ITEM_TRIPLET_PAIRS:
      if (before_first && !rs.dotted_beat) rs.triplet_pairs = !rs.triplet_pairs;
      break;
    case ITEM_FIRST_NOTE:
      if (live && !rs.play_along) {
        rs.start_with_first_note = !rs.start_with_first_note;
        rs.tap_beats = 0;
        if (rs.start_with_first_note && before_first) stop_metronome();
      }
      break;
    case ITEM_TAP:
      if (live && !rs.play_along) {
        rs.tap_beats = !rs.tap_beats;
        rs.metronome_on = !rs.tap_beats;
        rs.start_with_first_note = rs.keep_played_durations = 0;
        if (rs.tap_beats)
          stop_metronome();
        else
          start_metronome();
      }
      break;
    case ITEM_CLUSTER:
    case ITEM_CLUSTER + 1:
      rs.cluster_rest = !rs.cluster_rest;
      break;
    case ITEM_KEEP:
    case ITEM_KEEP + 1:
      if (!rs.play_along) {
        rs.keep_played_durations = !rs.keep_played_durations;
        rs.tap_beats = 0;
      }
      break;
    case ITEM_VELOCITY:
    case ITEM_VELOCITY + 1:
      rs.midi_velocity = !rs.midi_velocity;
      break;
    default:
      if (!live) break;
      if (item == ITEM_SILENT) {
        rs.silent_metronome = !rs.silent_metronome;
      } else if (item == ITEM_TEMPO) {
        int tempo = 0;
        if (read_field(ITEM_TEMPO, "tempo", 10, 300, &tempo)) {
          rs.beat_period = 60000 / tempo;
          if (rs.metronome_on && !rs.tap_beats) {
            stop_metronome();
            start_metronome();
          }
        }
      } else if (item == ITEM_PLAY_ALONG || item == ITEM_PLAY_ALONG + 1) {
        if (!before_first || !rs.time_signature) break;
        rs.play_along = !rs.play_along;
        if (rs.play_along) {
          rs.tap_beats = 0;
          beat_from_denominator(rs.time_signature->get(xbeat));
          stop_metronome();
          hear_command(0, 1, 0, 60000 / std::max(rs.beat_period, 1), rs.beat_unit);
        } else {
          stop_playing(0);
          start_metronome();
        }
      } else if (item == ITEM_MONITOR || item == ITEM_MONITOR + 1) {
        rs.midi_monitor = !rs.midi_monitor;
      } else if (item == ITEM_CLICK_CHANNEL) {
        int channel = 0;
        if (read_field(ITEM_CLICK_CHANNEL, "click channel", 0, 16, &channel))
          prefs.bytes[PREFS_METRONOME_CHANNEL] = uint8_t(int8_t(channel - 1));
      } else if (item == ITEM_CLICK_KEY) {
        int key = 0;
        if (read_field(ITEM_CLICK_KEY, "click key", 1, 127, &key))
          prefs.set_u16(PREFS_METRONOME_KEY, uint16_t(key << 8));
      } else if (item != ITEM_MONITOR_AREA) {
        REPORT_ERROR(4, "Unexpected item returned from record dialog %hd", short(item));
      }
      break;
  }
  draw_record_dialog();
  return false;
}

// The item of the dialog under a mouse-down, 0 none.
int item_under(Point where) {
  for (int i = 1; i <= platform_item_count(rs.dialog); ++i) {
    if (platform_item_kind(rs.dialog, i) & ITEM_DISABLED) continue;
    const Rect r = platform_item_rect(rs.dialog, i);
    if (where.x >= r.left && where.x < r.right && where.y >= r.top && where.y < r.bottom) return i;
  }
  return 0;
}

// Says that a track holds no notes, and which do.
std::string tracks_with_notes_text(int track) {
  std::string with;
  int count = 0;
  for (int t = 0; t < midi_file_header.tracks; ++t)
    if (midi_track_notes(t)) with += (count++ ? ", " : "") + std::to_string(t);
  return "Track " + std::to_string(track) + " of your MIDI file holds no notes; " +
         (count == 1 ? "track " + with + " holds notes." : "tracks " + with + " hold notes.");
}

void close_recording(int32_t time, bool cancelled) {
  if (end_record_dialog(time, cancelled, rs.import)) {
    rec.active = false;
    rec.cancelled = cancelled;
  }
}

// The bytes the monitor shows: two lines of 18, begun again when the first line is reached.
constexpr int MONITOR_COLUMNS = 18, MONITOR_COLUMN_WIDTH = 23, MONITOR_LINE_HEIGHT = 12;
struct MonitorBytes {
  uint8_t bytes[2 * MONITOR_COLUMNS] = {};
  int count = 0;  // shown now
  int total = 0;  // shown since the dialog opened
} monitor;

void draw_monitor(DialogRef d, int item) {
  const Rect r = platform_item_rect(d, item);
  erase_rect(r);
  text_font(0);
  text_face(FACE_PLAIN);
  text_size(0);
  for (int i = 0; i < monitor.count; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", monitor.bytes[i]);
    move_to(r.left + MONITOR_COLUMN_WIDTH * (i % MONITOR_COLUMNS),
            r.top + MONITOR_LINE_HEIGHT * (1 + i / MONITOR_COLUMNS));
    draw_string(hex);
  }
}

// Shows a byte received in the monitor area: two hex digits in a grid of 18 columns 23 pixels
// apart and two lines 12 pixels apart, erased each time the first line is reached again.
void show_midi_byte(uint8_t byte) {
  if (!rs.dialog) return;
  if (monitor.total % (2 * MONITOR_COLUMNS) == 0) monitor.count = 0;
  monitor.bytes[monitor.count++] = byte;
  ++monitor.total;
  platform_invalidate_dialog_rect(rs.dialog, platform_item_rect(rs.dialog, ITEM_MONITOR_AREA));
}

}  // namespace

void read_recorded_track() {
  int32_t period = midi_file_header.division;
  if (rs.dotted_beat) period = period * 3 / 2;
  for (int u = rs.beat_unit; u > 3; --u) period /= 2;
  for (int u = rs.beat_unit; u < 3; ++u) period *= 2;
  if (period < 1) {
    REPORT_ERROR(2, "%s",
                 "The timing in your MIDI file must be in divisions of quarter notes, not "
                 "absolute time!");
    rec.cancelled = true;
    return;
  }
  rs.beat_period = period;
  rec.chord_threshold = beat_tolerance(period);
  rec.onset_slack = beat_onset_slack(period);
  if (find_midi_track(rs.track) <= 0) {
    rec.cancelled = true;
    return;
  }
  read_midi_event(1);
  int64_t next_beat = period, last_onset = 0, end = 0;
  auto beats_before = [&](int64_t time) {
    if (!rs.metronome_on || (!rec.note_recorded && rs.start_with_first_note)) return true;
    for (; next_beat < time; next_beat += period) {
      if (rec.last_beat + 1 >= MOST_BEATS) {
        REPORT_ERROR(2, "%s", "Too many metronome beats!");
        return false;
      }
      metronome_beat(int32_t(next_beat), 1, -1);
    }
    return true;
  };
  while (read_midi_event(0)) {
    const int64_t t = int32_t(midi_event.time);
    const bool key_down = (midi_event.bytes[0] & 0xF0) == 0x90 && midi_event.bytes[2] != 0;
    // The first note has the beats up to its own time before it, its own beat too when it falls
    // on one: the beats before it are then a rest, as for a note after them.
    if (!beats_before(key_down && !rec.note_recorded ? t + 1 : t)) {
      rec.cancelled = true;
      return;
    }
    if (key_down) last_onset = t;
    end = std::max(end, t);
    record_midi_event(1, 1);
  }
  if (midi_reader.error) {  // the message was given: nothing of a damaged track is used
    rec.cancelled = true;
    return;
  }
  // The final beat: the end of the music at its nearest beat, after the last onset's beat.
  const int64_t final_beat =
      std::max((end + period / 2) / period * period, (last_onset / period + 1) * period);
  if (!beats_before(final_beat)) {
    rec.cancelled = true;
    return;
  }
  finish_recorded_beats(int32_t(final_beat), 1);
}

namespace {

// A click on a button or check box of the dialog on the screen: its native control takes the
// mouse, and the hit waits in the dialog.
void take_native_hit() {
  bool cancelled = false;
  const int item = rs.dialog ? platform_take_dialog_hit(rs.dialog) : 0;
  if (item && dialog_item(item, &cancelled)) close_recording(now_ms(), cancelled);
}

// The live record loop.
void record_live() {
  rec.active = true;
  recording_active = 1;
  int32_t clicks[DUE_CLICKS];
  while (rec.active) {
    if (record_loop_hook) record_loop_hook();
    const int32_t now = now_ms();
    if (rs.play_along) play_music(0, 0);
    const int due = take_due_clicks(clicks, DUE_CLICKS);
    for (int i = 0; i < due && rec.active; ++i) {
      if (!rs.metronome_on || (!rec.note_recorded && rs.start_with_first_note)) continue;
      if (!metronome_beat(clicks[i], 0, 1)) break;
    }
    if (rec.active && rec.click_state && ms_after(now, rec.click_time) >= CLICK_MS)
      metronome_beat(-1, 0, 0);
    if (rs.dialog) draw_dialog_frame(rs.dialog, nullptr, nullptr);  // when it needs drawing
    EventRecord event;
    if (rec.active && platform_get_event(EVERY_EVENT, 1, &event)) handle_event(&event);
    if (rec.active) take_native_hit();
    while (rec.active && next_midi_input()) {
      if (!record_midi_event(1, 0)) {
        close_recording(now_ms(), true);
        rec.cancelled = true;
      }
      midi_event.size = 0;
    }
  }
  recording_active = 0;
}

}  // namespace

// ---- The dialog ---------------------------------------------------------------------------------

void open_record_dialog(int import) {
  // Without a keyboard connected, the piano window's keys are what can be played.
  if (!import && !platform_midi_source_connected())
    REPORT_ERROR(2, "%s",
                 "There is no MIDI input: no MIDI keyboard is connected (Hear > MIDI Input "
                 "chooses one). You can record by playing the keys of the piano window instead.");
  fill_defaults(import);
  all_notes_off(3);
  DialogRef d = platform_open_dialog(import ? IMPORT_DIALOG : RECORD_DIALOG, true);
  rs.dialog = d;
  if (!d) return;
  // Keys clicked on the piano window are played into the recording as well.
  if (!import) platform_dialog_admit_window(d, piano_dialog);
  if (import) {
    // The tracks the file offers, beside the one chosen.
    const int high = midi_file_header.tracks - 1;
    if (high > 0)
      platform_set_item_text(d, ITEM_TRACK_LABEL, "Track (0 to " + std::to_string(high) + "):");
    platform_set_item_text(d, ITEM_TRACK, std::to_string(rs.track));
    platform_set_item_text(d, ITEM_FIRST_CHANNEL, std::to_string(rs.first_channel + 1));
    platform_set_item_text(d, ITEM_LAST_CHANNEL, std::to_string(rs.last_channel + 1));
    platform_set_item_text(d, ITEM_LOWEST_KEY, std::to_string(rs.lowest_key));
    platform_set_item_text(d, ITEM_HIGHEST_KEY, std::to_string(rs.highest_key));
  } else {
    monitor = MonitorBytes{};
    platform_set_user_item_proc(d, ITEM_MONITOR_AREA, draw_monitor);
    platform_set_item_text(d, ITEM_TEMPO, std::to_string(60000 / std::max(rs.beat_period, 1)));
    platform_select_item_text(d, ITEM_TEMPO, 0, 32767);
    int channel;
    uint16_t pitch;
    click_note(&channel, &pitch);
    platform_set_item_text(d, ITEM_CLICK_CHANNEL, std::to_string(channel + 1));
    platform_set_item_text(d, ITEM_CLICK_KEY, std::to_string(pitch >> 8));
    start_metronome();
  }
  draw_record_dialog();
}

void recimp_dialog_event(const EventRecord& event) {
  if (event.what == EVENT_QUIT || event.what == EVENT_HIGH_LEVEL) {
    platform_beep();  // nothing quits or opens while recording
    return;
  }
  if (!rs.dialog) return;
  bool cancelled = false;
  int item = 0;
  if (event.what == EVENT_KEY_DOWN) {
    const int c = event_char(event);
    if (c == ' ' && rs.tap_beats && !rs.import) {
      const int32_t now = now_ms();
      if (std::abs(ms_after(now, rec.last_tap)) >= TAP_GAP) {
        rec.last_tap = now;
        metronome_beat(now, 0, 1);
      }
      return;
    }
    if (c == KEY_RETURN || c == KEY_ENTER) item = ITEM_OK;
    if (c == KEY_ESCAPE) item = ITEM_CANCEL;
    // Other keys type into the field with the caret, which takes what it holds as it goes.
    if (!item && !rs.import) {
      item = platform_dialog_key(rs.dialog, event);
      typing_in_field = item != 0;
    }
  } else if (event.what == EVENT_MOUSE_DOWN) {
    if (event.window != platform_dialog_window(rs.dialog)) {
      if (event.window == piano_dialog && !rs.import) {
        int32_t key = 0;
        if (point_to_piano_key(event.where, &key)) {
          highlight_piano_key(key, true);
          midi_event.size = 9;
          midi_event.bytes[0] = 0x90;
          midi_event.bytes[1] = uint8_t(std::clamp(key - keyboard_shift, 0, 127));
          midi_event.bytes[2] = 100;
          midi_event.time = uint32_t(now_ms());
          record_midi_event(1, 0);
          EventRecord up;
          while (!platform_get_event(1u << EVENT_MOUSE_UP, 6, &up)) {
          }
          midi_event.size = 9;
          midi_event.bytes[2] = 0;
          midi_event.time = uint32_t(now_ms());
          record_midi_event(1, 0);
          midi_event.size = 0;
          highlight_piano_key(key, false);
        }
      }
      return;
    }
    item = item_under(event.where);
    if (item && platform_item_kind(rs.dialog, item) == ITEM_EDIT_TEXT)
      platform_select_item_text(rs.dialog, item, 0, 32767);
  }
  const bool closes = item && dialog_item(item, &cancelled);
  typing_in_field = false;
  if (closes) close_recording(now_ms(), cancelled);
}

int end_record_dialog(int32_t time, int cancelled, int import) {
  if (!cancelled && import) {
    int first = 1, last = 16;
    if (!read_field(ITEM_TRACK, "track (out of range for your MIDI file)", 0,
                    std::max(0, midi_file_header.tracks - 1), &rs.track) ||
        !read_field(ITEM_FIRST_CHANNEL, "first MIDI channel", 1, 16, &first) ||
        !read_field(ITEM_LAST_CHANNEL, "last MIDI channel", first, 16, &last) ||
        !read_field(ITEM_LOWEST_KEY, "lowest MIDI key number", 0, 127, &rs.lowest_key) ||
        !read_field(ITEM_HIGHEST_KEY, "highest MIDI key number", rs.lowest_key, 127,
                    &rs.highest_key))
      return 0;
    rs.first_channel = first - 1;
    rs.last_channel = last - 1;
    if (!midi_track_notes(rs.track)) {
      REPORT_ERROR(2, "%s", tracks_with_notes_text(rs.track).c_str());
      return 0;
    }
  } else if (!cancelled) {
    finish_recorded_beats(time, 0);
  }
  if (rs.dialog) platform_close_dialog(rs.dialog);
  rs.dialog = nullptr;
  if (!import) stop_metronome();
  all_notes_off(3);
  update_menus(0);
  return 1;
}

// ---- Recording ----------------------------------------------------------------------------------

int metronome_beat(int32_t time, int importing, int click_state) {
  if (time != -1) {
    const int32_t length = time - rec.beat_times[size_t(rec.last_beat)];
    rec.chord_threshold = beat_tolerance(length);
    rec.onset_slack = beat_onset_slack(length);
    const bool before_first = !rec.note_recorded && !importing && !rs.play_along;
    if (before_first) rec.last_event_time = time;
    if (!before_first && rec.last_beat < BEAT_TIMES - 1) ++rec.last_beat;
    rec.beat_times[size_t(rec.last_beat)] = time;
  }
  if (click_state != -1 && click_state != rec.click_state && !importing && rs.dialog) {
    if (!rs.silent_metronome) switch_click(click_state);
    rec.click_state = click_state;
    if (click_state) rec.click_time = now_ms();
  }
  if (rec.last_beat + 1 >= MOST_BEATS) {
    REPORT_ERROR(2, "%s", "Too many metronome beats in recording!");
    if (rs.dialog) close_recording(time, true);
    rec.active = false;
    rec.cancelled = true;
    return 0;
  }
  return 1;
}

void record_a_key_down(int32_t previous_time, int32_t time, int key, int volume, int importing) {
  Drosa head = rec.rnotes;
  Drosa tail = rec.tail;
  if (tail == head) {
    rec.opened_beat = -1;
    head->set(rendchord, 1);
    if (rs.start_with_first_note) {
      rec.beat_times[size_t(rec.last_beat)] = time - rs.beat_period;
      head->set(rttn, rs.beat_period);
      if (!importing && rs.metronome_on) {
        record_metronome_on = 1;
        set_metronome_running(1, rs.beat_period);
      }
    }
  } else {
    if (tail->xback && tail->xback->get(rendchord)) rec.group_start = previous_time;
    if (time - rec.group_start <= rec.chord_threshold && key != RNOTE_FINAL) {
      tail->set(rttn, 0);
    } else {
      tail->set(rendchord, 1);
      // An onset counts for the beat it is played nearest to: one a little early for its beat
      // would otherwise stand as a second group in the beat before, where matching the beat's
      // rhythm merges the two groups and the note played there is lost.
      const int32_t slack = std::max(rec.chord_threshold, rec.onset_slack);
      const int k = last_beat_at_or_before(int64_t(time) - slack);
      const int j = std::min(k, last_beat_at_or_before(int64_t(rec.group_start) + slack));
      if (j != rec.opened_beat) {
        if (rec.group_first) rec.group_first->set(rnewbeat, 1);
        rec.opened_beat = j;
      }
      if (j == k) {
        tail->set(rttn, time - rec.group_start);
      } else {
        tail->set(rttn, beat(j + 1) - rec.group_start);
        for (int m = j + 1; m <= k; ++m) {
          Drosa filler = append_rnote(RNOTE_BEAT_FILLER, 0, 1);
          filler->set(rendchord, 1);
          filler->set(rnewbeat, 1);
          filler->set(rttn, m < k ? beat(m + 1) - beat(m) : time - beat(k));
          rec.opened_beat = m;
        }
      }
    }
  }
  if (key == RNOTE_FINAL) return;
  const bool opens = rec.tail->get(rendchord) != 0;
  Drosa n = append_rnote(key, time, volume);
  if (opens) rec.group_first = n;
}

void record_key_up(int32_t time, int key) {
  for (Drosa p = rec.tail; p && p != rec.rnotes; p = p->xback)
    if (p->get(rnotenum) == key) {
      p->set(rlength, std::max(time - p->get(rstart_time), 1));
      return;
    }
}

void finish_recorded_beats(int32_t time, int importing) {
  if (time > rec.beat_times[size_t(rec.last_beat)] && rec.last_beat < BEAT_TIMES - 1)
    rec.beat_times[size_t(++rec.last_beat)] = time;
  if (rec.rnotes && rec.tail != rec.rnotes)
    record_a_key_down(rec.last_event_time, time, RNOTE_FINAL, 0, importing);
}

int record_midi_event(int mode, int importing) {
  if (mode == 0) {
    rec.sysex_open = false;
    rec.last_tap = -1000000;
    return 1;
  }
  const int n = std::max(0, int(midi_event.size) - 6);
  const uint8_t* b = midi_event.bytes;
  const int32_t time = int32_t(midi_event.time);
  if (rec.sysex_open || (n > 0 && b[0] == 0xF0)) {
    rec.sysex_open = n > 0 && b[n - 1] != 0xF7;
    return 1;
  }
  if (!importing && rs.midi_monitor)
    for (int i = 0; i < n; ++i) show_midi_byte(b[i]);
  if (n < 2) return 1;
  const int kind = b[0] & 0xF0;
  if ((kind == 0x90 || kind == 0x80) && n >= 3) {
    const int key = std::clamp(b[1] + keyboard_shift, 0, 127);
    if (key < rs.lowest_key || key > rs.highest_key) return 1;
    const bool echo = !importing && prefs.u8(PREFS_ECHO_MIDI_INPUT);
    if (kind == 0x80 || b[2] == 0) {
      if (echo)
        send_note_off(key_to_pitch_word(key), audition_channel.mode, audition_channel.first,
                      audition_channel.count, -1, 0);
      rec.last_key_up_beat = rec.last_beat;
      record_key_up(time, key);
      return 1;
    }
    const int volume = rs.midi_velocity ? std::clamp(b[2] * 200 / 127, 1, 200)
                                        : int(current_note_template->get(xvolume));
    if (echo)
      send_note_on(key_to_pitch_word(key), volume, audition_channel.mode, audition_channel.first,
                   audition_channel.count, -1, 0);
    const int next = std::min(rec.last_key_up_beat + 1, rec.last_beat);
    const int32_t next_length =
        next < rec.last_beat ? beat(next + 1) - beat(next) : beat(next) - beat(next - 1);
    if (rec.last_beat > rec.last_key_up_beat && rec.tail != rec.rnotes &&
        rec.tail->get(rlength) != 0 && time - beat(next) > next_length - rec.chord_threshold) {
      record_a_key_down(rec.last_event_time, beat(next), RNOTE_REST, volume, importing);
      rec.tail->set(rlength, time - beat(next));
      record_a_key_down(beat(next), time, key, volume, importing);
      rec.last_key_up_beat = rec.last_beat;
    } else if ((!importing && !rs.play_along) || rec.note_recorded ||
               rec.last_beat <= (importing ? 0 : 1)) {
      record_a_key_down(rec.last_event_time, time, key, volume, importing);
    } else {
      const int32_t from = beat(importing ? 0 : 1);
      record_a_key_down(rec.last_event_time, from, RNOTE_REST, volume, importing);
      rec.tail->set(rlength, time - from);
      record_a_key_down(from, time, key, volume, importing);
      rec.last_key_up_beat = rec.last_beat;
    }
    rec.note_recorded = true;
    record_notes_since_click = 1;
    rec.last_event_time = time;
  } else if (kind == 0xB0 && n >= 3) {
    if (b[1] == SUSTAIN && rs.midi_velocity && rec.midi_head) {
      Drosa m = newDrosa(MIDI, 0);
      for (int i = 0; i < 3; ++i) m->set(xmidi_bytes, i, b[i]);
      m->set(xmidi_time, time);
      m->set(xmidi_count, 3);
      Drosa last = rec.midi_head;
      while (last->xnext) last = last->xnext;
      last->xnext = m;
      m->xback = last;
    }
    if (b[1] >= FIRST_TAP_CONTROLLER && b[1] <= LAST_TAP_CONTROLLER && b[2] == 127 &&
        rs.tap_beats && std::abs(ms_after(time, rec.last_tap)) >= TAP_GAP) {
      rec.last_tap = time;
      if (!metronome_beat(time, importing, 1)) return 0;
    }
  }
  return 1;
}

void begin_recording(int import, int32_t start) {
  release_recording();
  rec.beat_times.assign(BEAT_TIMES, 0);
  rec.rnotes = rec.tail = newDrosa(RNOTE, 0);
  rec.midi_head = newDrosa(MIDI, 0);
  record_midi_event(0, import);
  rec.beat_times[0] = start;
  rec.last_event_time = start;
  rec.chord_threshold = 50;
  rec.onset_slack = 50;
  const ParamValue* tolerance =
      param_value(P_RECORD_IMPORT_MIDI_MAX_ARPEGGIATION, insertion_point, nullptr);
  rec.tolerance_percent = std::clamp<int32_t>(tolerance ? tolerance->integer() : 100, 1, 400);
}

void release_recording() {
  free_list(rec.rnotes);
  free_list(rec.midi_head);
  rec = Recording{};
}

Drosa recorded_notes_first() { return recording.rnotes; }

int32_t record_command(int import) {
  if (!insertion_point) {
    // The recorded notes go in at the insertion point: without one there is nowhere to put them.
    if (!import)
      REPORT_ERROR(2, "%s",
                   "Click the note or rest where the recording should begin, then choose "
                   "Record... again.");
    return 0;
  }
  refresh_output_choice();
  if (!import && !midi_output_usable()) {
    REPORT_ERROR(2, "%s",
                 "Sorry, your computer has no MIDI capabilities, so you cannot use Record.");
    return 0;
  }
  Drosa t = current_note_template;
  for (auto field : {xacc, xgrace, xtie, xstacc, xtenu, xslur, xdashtie, xdashslur, xferm})
    t->set(field, 0);
  t->set(xaccent, 0);
  t->bytes()[13] &= uint8_t(~0x1C);
  t->set(xtupl, 1);
  t->set(xintimeof, 4);
  const int32_t live_period = rs.beat_period;  // the import's period is in ticks
  begin_recording(import, import ? 0 : now_ms());
  open_record_dialog(import);
  update_menus(0);
  if (!rs.dialog) {
    release_recording();
    return 0;
  }
  if (import) {
    for (;;) {
      const int item = platform_modal_dialog(rs.dialog, nullptr);
      bool cancelled = item < 0;
      if (item < 0 || dialog_item(item, &cancelled)) {
        if (end_record_dialog(0, cancelled, 1)) {
          rec.cancelled = cancelled;
          break;
        }
      }
    }
    if (!rec.cancelled) read_recorded_track();
  } else {
    record_live();
  }
  int32_t done = 0;
  if (!rec.cancelled) {
    set_cursor(CURSOR_ID_WATCH);
    if (normalize_recording()) {
      build_active_templates();
      match_templates();
      Drosa model = copyDrosa(current_note_template);
      const Drosa before = insertion_point;
      set_undo_mark(0);
      done = make_recorded_notes(model);
      if (done && rec.midi_head->xnext) place_recorded_pedals(insertion_point);
      std::copy(model->bytes() + 8, model->bytes() + DROSA_NODE_SIZE,
                current_note_template->bytes() + 8);
      destroyDrosa(model);
      (void)before;
    }
    set_cursor(CURSOR_ID_ARROW);
  }
  release_recording();
  if (import) rs.beat_period = live_period;
  return done;
}
