// play.cpp: the play engine.
//
// Every voice is read at once, in score time: each voice knows the next node to read and the
// score time of its next note, and the engine always handles the earliest next time of all
// voices (one "step"), reading the annotations before each voice's note, then the note. Score
// time only runs forward: a repeat moves the voices back in the list but not back in time.
//
// Live, events are stamped about two seconds ahead of the clock: a score time t becomes
//   ms = last_reading + 2000 + (t - position) / tempo_rate,
// where position is the score time that the clock reading last_reading corresponds to. A step
// is handled only once the clock has reached its score time. The first call reads silently
// from the start of the piece up to the insertion point, and there sets position to that score
// time. A tempo change re-anchors the mapping at its own score time, so events after it are
// stamped by the new tempo however seldom the engine is called.
//
// In file mode the stamp is the score time itself; events are queued as live, and each step
// hands what has become due to the file writer in time order.
//
// Rests and cue notes (small notes that show another instrument's music) take their time and
// sound nothing.
#include "performance/play.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_set>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "performance/hear_dialogs.h"
#include "performance/midi_out.h"
#include "performance/midifile_meta.h"
#include "performance/perfdata.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/play_queue.h"

namespace {

constexpr int32_t LOOKAHEAD_MS = 2000;
constexpr size_t MAX_SCHEDULED_NOTES = 4096;  // far more than two seconds of music hold
constexpr double BEND_STEP_MS = 20;
constexpr int DEVICE_THIRD = 1;
constexpr int PREFS_METRONOME_CHANNEL = 389;
constexpr int PREFS_METRONOME_PITCH = 390;

PlayState& ps = play_state;

// Where each voice starts sounding (the note under its display cursor), while catching up.
Drosa start_cursor[MAX_VOICES];

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// ---- Stamps ------------------------------------------------------------------------------------

int32_t stamp(double t) {
  if (ps.file_mode) return int32_t(std::clamp<double>(t, 0, 2.0e9));
  if (ps.first) return int32_t(ps.catch_up_stamp);
  return int32_t(ps.last_reading + LOOKAHEAD_MS + std::llround((t - ps.position) / ps.tempo_rate));
}

// Milliseconds of score time as a stamp difference (file mode: time units).
double ms_span(double ms) { return ps.file_mode ? ms * ps.tempo_rate : ms; }

void set_tempo_rate(double rate, double at) {
  if (!(rate > 0) || !std::isfinite(rate)) return;
  if (!ps.file_mode && !ps.first && ps.tempo_rate > 0) {
    ps.last_reading += int32_t(std::llround((at - ps.position) / ps.tempo_rate));
    ps.position = at;
  }
  ps.tempo_rate = rate;
}

// ---- Voices ------------------------------------------------------------------------------------

void read_channel_settings(int v) {
  VoicePlay& vp = ps.voices[v];
  vp.mode = CHANNEL_SINGLE;
  vp.channel = 0;
  vp.count = 1;
  Drosa vinfo = piece_start[v] ? find_next_kind_before_note(VINFO, piece_start[v]) : NIL;
  if (!vinfo) return;
  vp.mode = uint8_t(std::min<int>(vinfo->get(xchanmode), CHANNEL_SILENT));
  vp.channel = uint8_t(vinfo->get(xmidichan) & 15);
  vp.count = vp.mode == CHANNEL_ROTATION
                 ? uint8_t(std::clamp<int>(vinfo->get(xnumchans), 1, 16 - vp.channel))
                 : 1;
}

// The programs of the voices that have one, on each channel they play on, at the start.
void send_voice_programs() {
  bool sent[16] = {};
  for (int v = 0; v < voices(); ++v) {
    const VoicePlay& vp = ps.voices[v];
    Drosa vinfo = piece_start[v] ? find_next_kind_before_note(VINFO, piece_start[v]) : NIL;
    const int program = vinfo ? vinfo->get(xmidiprog) : 0;
    if (!program || !vp.play || vp.mode == CHANNEL_SILENT) continue;
    for (int k = 0; k < vp.count; ++k) {
      const int c = (vp.channel + k) & 15;
      if (sent[c]) continue;
      sent[c] = true;
      const uint8_t change[2] = {uint8_t(0xC0 | c), uint8_t(program & 127)};
      queue_packet_event(change, 2, stamp(0));
    }
  }
}

void clear_pass_counters(int v) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (effective_kind(p) == BAR) p->set(xpass_count, 0);
}

// The NOTE of the next vertical chord of the voice that a glissando or bend of `note` goes to:
// the one with as many lower notes as the note has lower flagged notes in its own chord.
Drosa partner_note(Drosa note, const NodeField& field) {
  Drosa first = NIL, last = NIL;
  vchord_bounds(note, &first, &last);
  if (!last) return NIL;
  auto flagged = [&](Drosa n) {
    const Field<int> f{field};
    return n->get(f) != 0;
  };
  int lower = 0;
  for (Drosa n = first; n; n = n->xnext) {
    if (n->xkind == NOTE && !n->get(xrest) && flagged(n) && n->get(xpitch) < note->get(xpitch))
      ++lower;
    if (n == last) break;
  }
  Drosa next = NIL;
  for (Drosa p = last->xnext; p && !next; p = p->xnext)
    if (p->xkind == NOTE) next = p;
  if (!next) return NIL;
  Drosa next_first = NIL, next_last = NIL;
  vchord_bounds(next, &next_first, &next_last);
  Drosa found = NIL;
  for (Drosa n = next_first; n; n = n->xnext) {
    if (n->xkind == NOTE && !n->get(xrest)) {
      int below = 0;
      for (Drosa m = next_first; m; m = m->xnext) {
        if (m->xkind == NOTE && !m->get(xrest) && m->get(xpitch) < n->get(xpitch)) ++below;
        if (m == next_last) break;
      }
      if (!found || below == lower) found = n;
      if (below == lower) break;
    }
    if (n == next_last) break;
  }
  return found;
}

// ---- Sounding notes
// ------------------------------------------------------------------------------

void remove_sounding(int i) {
  ps.sounding[i] = ps.sounding[ps.sounding_count - 1];
  --ps.sounding_count;
}

void queue_bend_value(const VoicePlay& vp, int value, double t) {
  value = std::clamp(value, 0, 16383);
  const uint8_t bend[3] = {uint8_t(0xE0 | vp.channel), uint8_t(value & 127),
                           uint8_t((value >> 7) & 127)};
  queue_packet_event(bend, 3, stamp(t));
}

void queue_glissando(const VoicePlay& vp, uint16_t pitch, int target_key, double s, double e,
                     int volume, Drosa note) {
  const int key = pitch >> 8;
  const int steps = std::max(std::abs(target_key - key), 1);
  const int direction = target_key >= key ? 1 : -1;
  const double length = (e - s) / steps;
  for (int i = 0; i < steps; ++i) {
    const uint16_t p = uint16_t((std::clamp(key + i * direction, 0, 127) << 8) | (pitch & 0xFF));
    queue_note_on_event(p, volume, vp.mode, vp.channel, vp.count, stamp(s + i * length),
                        i == 0 ? note : NIL);
    queue_note_off_event(p, vp.mode, vp.channel, vp.count, stamp(s + (i + 1) * length));
  }
}

void queue_bend(VoicePlay& vp, uint16_t from, uint16_t to, double s, double e) {
  const double ms = (e - s) / ps.tempo_rate;
  const int n = std::max(int(ms / BEND_STEP_MS), 1);
  const int key = from >> 8;
  auto b = [](uint16_t p) { return ((p >> 8) * 200 + std::min(p & 0xFF, 199)) * 4095 / 200; };
  const double start = 8192 + b(from) - key * 4095;
  const double rise = double(b(to) - b(from)) / n;
  for (int i = 0; i < n; ++i) queue_bend_value(vp, int(start + rise * i), s + (e - s) * i / n);
  vp.bend_pending = true;
}

// The volume a note sounds with: its own, and on a repeat's second pass the voice's offset.
int note_volume(const VoicePlay& vp, Drosa note) {
  int volume = note->get(xvolume);
  if (ps.second_pass) volume += vp.volume_offset;
  return std::clamp(volume, 0, 200);
}

void sound_note(int v, Drosa note, double s) {
  VoicePlay& vp = ps.voices[v];
  const double e = s + note->get(xlength);
  uint16_t pitch = note->get(xpitch);
  const int key = std::min(pitch >> 8, 127);
  if (vp.key_map[key]) pitch = uint16_t(vp.key_map[key] << 8);
  // A tie continues the note sounding at this pitch on this channel.
  int entry = -1;
  for (int i = 0; i < ps.sounding_count; ++i) {
    const SoundingNote& sn = ps.sounding[i];
    if (sn.channel == vp.channel && sn.tied && (sn.bend_to ? sn.bend_to : sn.pitch) == pitch) {
      entry = i;
      break;
    }
  }
  const bool continuation = entry >= 0;
  if (!continuation && ps.sounding_count >= MAX_SOUNDING_NOTES) return;
  const int volume = note_volume(vp, note);
  Drosa shown = v == selected_voice ? note : NIL;
  if (!continuation && note->get(xgliss)) {
    Drosa target = partner_note(note, xgliss);
    if (target && !target->get(xrest) && target->get(xpitch)) {
      queue_glissando(vp, pitch, std::min(target->get(xpitch) >> 8, 127), s, e, volume, shown);
      return;
    }
  }
  uint16_t bend_to = 0;
  if ((note->get(xtie) && note->get(xbendtie)) || (note->get(xslur) && note->get(xbendslur))) {
    Drosa target = partner_note(note, note->get(xtie) ? xbendtie : xbendslur);
    if (target && !target->get(xrest) && target->get(xpitch)) bend_to = target->get(xpitch);
  }
  if (!continuation || !ps.sounding[entry].bend_to) {
    if (vp.bend_pending) {
      queue_bend_value(vp, 8192, s);
      vp.bend_pending = false;
    }
  }
  if (!continuation) {
    entry = ps.sounding_count++;
    ps.sounding[entry] = SoundingNote{};
    ps.sounding[entry].pitch = pitch;
    ps.sounding[entry].mode = vp.mode;
    ps.sounding[entry].channel = vp.channel;
    ps.sounding[entry].count = vp.count;
    queue_note_on_event(pitch, volume, vp.mode, vp.channel, vp.count, stamp(s), shown);
  }
  SoundingNote& sn = ps.sounding[entry];
  sn.end = int64_t(std::llround(e));
  sn.bend_to = bend_to;
  sn.tied = note->get(xtie) || bend_to;
  if (bend_to) queue_bend(vp, continuation ? sn.pitch : pitch, bend_to, s, e);
}

// ---- Annotations
// ------------------------------------------------------------------------------------

void send_command(int v, Drosa tparam, int kind, double t) {
  VoicePlay& vp = ps.voices[v];
  uint8_t bytes[12];
  int channel = vp.channel;
  int32_t extra = 0;
  const int count = parse_midi_anno(tparam, &channel, bytes, &extra, vp.key_map);
  vp.channel = uint8_t(channel & 15);
  if (vp.count > 16 - vp.channel) vp.count = uint8_t(16 - vp.channel);
  if (count <= 0 || !vp.play) return;
  const int32_t when = stamp(t) - (ps.file_mode ? 0 : 1) + int32_t(ms_span(extra));
  for (int k = 0; k < vp.count; ++k) {
    uint8_t message[12];
    std::memcpy(message, bytes, size_t(count));
    if (kind != COMMAND_MIDI) message[0] = uint8_t((message[0] & 0xF0) | ((vp.channel + k) & 15));
    queue_packet_event(message, count, when);
    if (kind == COMMAND_MIDI) break;
  }
}

void send_pedal(int v, bool down, double t) {
  VoicePlay& vp = ps.voices[v];
  if (!vp.play || vp.mode == CHANNEL_SILENT) return;
  const int32_t when = stamp(t);
  for (int k = 0; k < vp.count; ++k) {
    const int c = (vp.channel + k) & 15;
    if (down && vp.pedal_down[c] && !ps.file_mode) {
      const uint8_t release[3] = {uint8_t(0xB0 | c), 64, 0};
      queue_packet_event(release, 3, when - 1);
    }
    const uint8_t pedal[3] = {uint8_t(0xB0 | c), 64, uint8_t(down ? 127 : 0)};
    queue_packet_event(pedal, 3, when);
    vp.pedal_down[c] = down;
  }
}

void read_text(int v, Drosa tparam, double t) {
  if (tparam->get(xignore)) {
    // The notes that end before it are written first, as for any other text.
    if (ps.file_mode) {
      dispatch_file_events(int32_t(t) - 1);
      write_midi_text(tparam, int32_t(t));
    }
    return;
  }
  if (ps.second_pass) {
    // A dynamic of two levels ("s" f p) plays its second level when the music is repeated.
    int second = -1;
    const int from = dynamic_velocity_slot(dynamic_index(NIL, tparam, &second));
    if (from >= 0)
      ps.voices[v].volume_offset =
          int16_t(second >= 0 ? dynamic_level_volume(second) - dynamic_level_volume(from) : 0);
  }
  double bpm = 0;
  int32_t unit = 3, dots = 0;
  if (parse_metronome_text(tparam, &bpm, &unit, &dots)) {
    if (ps.imposed_bpm) return;
    double rate = tempo_rate_of(ps.tempo_factor, bpm, unit);
    if (dots == 1) rate *= 1.5;
    if (dots >= 2) rate *= 1.75;
    set_tempo_rate(rate, t);
    if (ps.file_mode && rate != ps.file_tempo) {
      dispatch_file_events(int32_t(t) - 1);
      write_midi_tempo(rate / ps.tempo_factor, int32_t(t));
      ps.file_tempo = rate;
    }
    return;
  }
  if (ps.file_mode) {
    dispatch_file_events(int32_t(t) - 1);
    write_midi_text(tparam, int32_t(t));
  }
}

void read_annotation(int v, Drosa tparam, double t) {
  if (tparam->get(xadjacent)) return;
  const int kind = midi_anno_kind(tparam, nullptr);
  if (kind != COMMAND_NONE && kind != COMMAND_PARAM) {
    send_command(v, tparam, kind, t);
    return;
  }
  if (kind == COMMAND_PARAM) return;
  if (const int pedal = anno_is_pedal(NIL, tparam)) {
    send_pedal(v, pedal == P_PEDAL_MARKING, t);
    return;
  }
  read_text(v, tparam, t);
}

// ---- Repeats
// ---------------------------------------------------------------------------------------

// The BAR seen before the voice's next note, NIL when none stands there.
Drosa bar_before_next_note(const VoicePlay& vp) {
  Drosa bar = NIL;
  for (Drosa p = vp.next; p && p->xkind != NOTE; p = p->xnext)
    if (effective_kind(p) == BAR) bar = p;
  return bar;
}

Drosa jump_target(Drosa bar, int leading, int pass) {
  const int code = bar->get(xrepeat_code);
  if (code > 2 && pass == code - 2) return find_measure_start(bar->get(xrepeat_target), leading);
  if (!bar->get(xrepeat_end)) {
    if (code == 1 && pass % 2 == 0)
      for (Drosa p = bar->xnext; p; p = p->xnext)
        if (effective_kind(p) == BAR && p->get(xrepeat_code) == 2) return p;
    return NIL;
  }
  if (pass % 2 == 0) return NIL;
  for (Drosa p = bar->xback; p; p = p->xback)
    if (effective_kind(p) == BAR && p->get(xrepeat_start)) return p;
  return find_next_kind(NOTE, piece_start[leading]);
}

// Moves every voice to the target's place: after the last NOTE or system start before the
// node that stands at the target's time in its system.
void move_voices_to(Drosa target) {
  const int32_t bar = bar_number_of_node(target);
  voices_to_system(system_number_on_page(target, 0), 0);
  voices_to_system_at_time(find_time_in_system(target), 1, 0);
  for (int v = 0; v < voices(); ++v) {
    VoicePlay& vp = ps.voices[v];
    if (vp.next_time >= VOICE_FINISHED && !vp.next) continue;
    Drosa cursor = v == ps.leading_voice ? target : time_cursor[v];
    if (!cursor) cursor = find_measure_start(bar, v);
    if (!cursor) continue;
    Drosa after = cursor;
    for (Drosa p = cursor->xback; p; p = p->xback) {
      if (p->xkind == NOTE || effective_kind(p) == ENDSYST) break;
      after = p;
    }
    if (cursor->xkind == NOTE || effective_kind(cursor) == BAR) {
      vp.next = after;
    } else {
      vp.next = cursor->xnext;
    }
    vp.after_jump = true;
  }
}

// ---- Reading a voice
// -------------------------------------------------------------------------------

void align_clock(int64_t t) {
  ps.first = false;
  ps.position = double(t);
}

// Whether a grace note would be cut off by a repeat that jumps at the next bar line.
bool grace_before_jump(Drosa note) {
  if (!note->get(xgrace) || ps.ignore_repeats || ps.leading_voice < 0) return false;
  for (Drosa p = note->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE && !p->get(xgrace)) return false;
    if (effective_kind(p) == BAR)
      return ps.note_since_bar && jump_target(p, ps.leading_voice, p->get(xpass_count) + 1) != NIL;
  }
  return false;
}

void read_note(int v, Drosa note, int64_t t) {
  VoicePlay& vp = ps.voices[v];
  vp.next = note->xnext;
  if (ps.first && note == start_cursor[v]) align_clock(t);
  // A cue note shows another instrument's music: it is not played.
  const bool silent = note->get(xrest) || note->get(xcue) || !vp.play || ps.first ||
                      vp.mode == CHANNEL_SILENT || grace_before_jump(note);
  if (!silent) {
    sound_note(v, note, double(t));
    // The screen marks the note while it sounds, and at least until the voice's next note.
    if (!ps.file_mode && scheduled_notes.size() < MAX_SCHEDULED_NOTES) {
      const double span = std::max<double>(note->get(xlength), note->get(xttn));
      scheduled_notes.push_back({note, stamp(double(t)), stamp(double(t) + span)});
    }
  }
  if (v == ps.leading_voice) ps.note_since_bar = true;
  if (!(vp.after_jump && note->get(xgrace))) vp.next_time += note->get(xttn);
  if (!note->get(xgrace)) vp.after_jump = false;
}

// Reads the voice's nodes up to and including its next NOTE.
void read_voice(int v, int64_t t) {
  VoicePlay& vp = ps.voices[v];
  for (Drosa p = vp.next; p; p = p->xnext) {
    if (ps.first && p == start_cursor[v] && p->xkind != NOTE) align_clock(t);
    if (p->xkind == NOTE) {
      read_note(v, p, t);
      return;
    }
    switch (effective_kind(p)) {
      case TPARAM:
        read_annotation(v, p, double(t));
        break;
      case TIMESIG:
        if (ps.file_mode && v == ps.leading_voice) {
          dispatch_file_events(int32_t(t) - 1);
          write_midi_timesig(p, int32_t(t));
        }
        break;
      case BAR:
        if (v == ps.leading_voice) ps.note_since_bar = false;
        break;
      case ENDSYST:
        if (p->get(xendpiece)) {
          vp.next = NIL;
          vp.next_time = VOICE_FINISHED;
          return;
        }
        break;
      default:
        break;
    }
  }
  vp.next = NIL;
  vp.next_time = VOICE_FINISHED;
}

// ---- Starting and ending
// ---------------------------------------------------------------------------

// The note under each voice's display cursor: at the insertion point's system and time, or at
// the start of the current page.
void set_start_cursors() {
  for (Drosa& c : start_cursor) c = NIL;
  if (is_NOTE(insertion_point)) {
    voices_to_system(system_number_on_page(insertion_point, 1), 1);
    voices_to_system_at_time(find_time_in_system(insertion_point), 1, 1);
  } else {
    voices_to_system(0, 1);
    voices_to_system_at_time(0, 1, 1);
  }
  for (int v = 0; v < voices(); ++v) start_cursor[v] = time_cursor[v];
}

void check_metronome_prefs() {
  const int channel = int8_t(prefs.bytes[PREFS_METRONOME_CHANNEL]);
  const int key = prefs.u16(PREFS_METRONOME_PITCH) >> 8;
  if (channel < -1 || channel > 15 || key < 1 || key > 127) {
    prefs.bytes[PREFS_METRONOME_CHANNEL] = 9;
    prefs.set_u16(PREFS_METRONOME_PITCH, 19200);
  }
}

// The play flags when no dialog is asked.
void set_quiet_play_flags() {
  for (int v = 0; v < voices(); ++v) ps.voices[v].play = ps.file_mode ? !voice_not_shown(v) : true;
}

void finish_play() {
  if (ps.file_mode) {
    dispatch_file_events(INT32_MAX);
    if (midi_send_state.stream_channel != -128) {
      const uint8_t end = 0xF7;
      MidiPacket packet;
      packet.time =
          uint32_t(midi_file_writer.last_tick * 16384 / std::max(midi_file_writer.divisions, 1));
      packet.size = 7;
      packet.bytes[0] = end;
      send_midi_packet(&packet, 1);
      midi_send_state.stream_channel = -128;
    }
    ps.file_mode = 0;
    playing_flag = 0;
    return;
  }
  if (!playing_flag) return;
  if (ps.timer_used)
    queue_end_event(now_ms() + LOOKAHEAD_MS);
  else
    all_notes_off(3);
  playing_flag = 0;
}

bool queue_tail_pending() {
  std::lock_guard<std::recursive_mutex> held(midi_lock);
  return play_queue.tail && play_queue.tail->get(xplay_pending);
}

}  // namespace

double tempo_rate_of(double factor, double bpm, int32_t unit) {
  return factor * bpm * 65536.0 / (60000.0 * std::ldexp(1.0, std::clamp(unit, 1, 6) - 1));
}

int hear_command(int file_mode, int quiet, int ignore_repeats, int32_t tempo_bpm,
                 int32_t tempo_unit) {
  refresh_output_choice();
  if (!file_mode && (output_destination < 0 || !midi_output_usable())) {
    REPORT_ERROR(2, "%s",
                 "Sorry, output is turned off or your computer has no MIDI capabilities, so you "
                 "cannot use Hear.");
    return 0;
  }
  if (voices() == 0) return 0;
  const double factor = ps.tempo_factor;
  ps = PlayState{};
  ps.tempo_factor = factor;
  ps.file_mode = file_mode;
  for (int v = 0; v < voices(); ++v) read_channel_settings(v);
  if (!file_mode && !quiet) {
    ps.imposed_bpm = 0;
    bool ignore = false;
    bool flags[MAX_VOICES] = {};
    if (!hear_dialog(&ps.tempo_factor, &ignore, flags)) return 0;
    ps.ignore_repeats = ignore;
    for (int v = 0; v < voices(); ++v) ps.voices[v].play = flags[v];
  } else {
    ps.imposed_bpm = tempo_bpm;
    ps.imposed_unit = tempo_unit > 0 ? tempo_unit : 3;
    ps.tempo_factor = 1.0;
    ps.ignore_repeats = ignore_repeats != 0;
    set_quiet_play_flags();
  }
  for (int v = 0; v < voices() && ps.leading_voice < 0; ++v)
    if (ps.voices[v].play) ps.leading_voice = v;
  if (ps.leading_voice < 0) return 0;  // nothing to hear
  for (int v = 0; v < voices(); ++v) {
    ps.voices[v].next = piece_start[v];
    ps.voices[v].next_time = piece_start[v] ? 0 : VOICE_FINISHED;
  }
  clear_pass_counters(ps.leading_voice);
  ps.tempo_rate = tempo_rate_of(ps.tempo_factor, ps.imposed_bpm ? ps.imposed_bpm : 60,
                                ps.imposed_bpm ? ps.imposed_unit : 3);
  ps.timer_used = !file_mode && output_device != DEVICE_THIRD;
  check_metronome_prefs();
  if (file_mode) {
    ps.file_tempo = ps.tempo_rate;
    write_midi_tempo(ps.tempo_rate, 0);
    send_voice_programs();
    playing_flag = 1;
    play_music(0, 1);
    return 1;
  }
  set_start_cursors();
  wait_for_queue_to_drain();
  last_sounded_note = 0;
  scheduled_notes.clear();
  prime_play_timer();
  ps.last_reading = now_ms();
  ps.catch_up_stamp = ps.last_reading + LOOKAHEAD_MS - 1;
  ps.position = 0;
  ps.first = true;
  send_voice_programs();
  playing_flag = 1;
  play_music(1, 0);
  return 1;
}

namespace {

// play_music with a play under way or in file mode.
[[gnu::noinline]] int32_t play_music_step(int first, int file_mode) {
  if (!file_mode) {
    release_play_nodes();
    const int32_t now = now_ms();
    if (!ps.first) ps.position += ms_after(now, ps.last_reading) * ps.tempo_rate;
    ps.last_reading = now;
    (void)first;
  }
  for (;;) {
    int64_t t = VOICE_FINISHED;
    for (int v = 0; v < voices(); ++v) t = std::min(t, ps.voices[v].next_time);
    if (t >= VOICE_FINISHED) {
      // Every voice is done: the notes still sounding end at their own ends.
      end_due_notes(INT64_MAX, 2, file_mode);
      if (file_mode) {
        finish_play();
        return 0;
      }
      if (ps.first) ps.first = false;  // the start was never reached: nothing sounded
      if (queue_tail_pending()) return 1;
      finish_play();
      return 0;
    }
    if (!file_mode && !ps.first && double(t) > ps.position) return 1;
    end_due_notes(t, 0, file_mode);
    if (Drosa target = repeat_jump(t, ps.first, 1)) {
      move_voices_to(target);
      ps.note_since_bar = false;
      ps.just_jumped = true;
    }
    for (int v = 0; v < voices(); ++v)
      if (ps.voices[v].next_time == t) read_voice(v, t);
    end_due_notes(t, 1, file_mode);
    if (file_mode) dispatch_file_events(int32_t(std::min<int64_t>(t, INT32_MAX)));
  }
}

}  // namespace

// Polled at every step of a format: with no play, it does no more than look for nodes handed
// back, and stays small enough to be taken into its callers.
int32_t play_music(int first, int file_mode) {
  if (!file_mode && !playing_flag) {
    release_play_nodes();
    return 0;
  }
  return play_music_step(first, file_mode);
}

Drosa repeat_jump(int64_t time, int, int committing) {
  if (ps.leading_voice < 0) return NIL;
  const VoicePlay& lead = ps.voices[ps.leading_voice];
  if (lead.next_time != time || !lead.next) return NIL;
  Drosa bar = bar_before_next_note(lead);
  if (!bar) return NIL;
  // A bar line before the first note is no jump (no note was played since a bar line); the first
  // one after notes is as any other: a piece of one measure, or a repeat of its first measure, is
  // played again.
  if (!ps.note_since_bar || ps.ignore_repeats) return NIL;
  const int pass = bar->get(xpass_count) + 1;
  if (committing) bar->set(xpass_count, uint8_t(std::min(pass, 255)));
  if (bar->get(xrepeat_end) && committing) {
    ps.second_pass = pass % 2 == 1;
    for (int v = 0; v < voices(); ++v) ps.voices[v].volume_offset = 0;
  }
  return jump_target(bar, ps.leading_voice, pass);
}

void end_due_notes(int64_t time, int tied_class, int) {
  for (int i = 0; i < ps.sounding_count;) {
    const SoundingNote& sn = ps.sounding[i];
    const bool in_class = tied_class == 2 || sn.tied == (tied_class == 1);
    if (in_class && sn.end <= time) {
      queue_note_off_event(sn.pitch, sn.mode, sn.channel, sn.count, stamp(double(sn.end)));
      remove_sounding(i);
    } else {
      ++i;
    }
  }
}

// ---- Metronome marks
// ---------------------------------------------------------------------------------

namespace {

// The characters of an annotation's text, each with the font of its style run, from a TPARAM
// on through the further runs of the same annotation.
struct FontChar {
  int16_t font;
  uint8_t c;
};

std::vector<FontChar> annotation_chars(Drosa tparam) {
  std::vector<FontChar> chars;
  int16_t font = tparam->get(xtextfont);
  for (Drosa p = tparam->xnext; p && chars.size() < 256; p = p->xnext) {
    if (p->xkind == TEXT) {
      for (char c : p->get(xtext)) chars.push_back({font, uint8_t(c)});
    } else if (p->xkind == TPARAM && p->get(xadjacent)) {
      font = p->get(xtextfont);
    } else if (p->xkind != PDATA && p->xkind != PVIEW) {
      break;
    }
  }
  return chars;
}

bool is_symbol(int pindex, Drosa at, const FontChar& fc) {
  const ParamValue* v = param_value(pindex, at, nullptr);
  return v && v->font() == fc.font && v->character() == fc.c;
}

// One TPARAM read as a metronome mark; false when it is not one.
bool read_metronome(Drosa tparam, double* bpm, int32_t* unit, int32_t* dots) {
  const std::vector<FontChar> chars = annotation_chars(tparam);
  if (chars.empty()) return false;
  int found = 0;
  for (int u = 1; u <= 6 && !found; ++u)
    if (is_symbol(P_WHOLE_NOTE_FOR_TEMPO_MARKINGS + u - 1, tparam, chars[0])) found = u;
  if (!found) return false;
  int d = 0;
  size_t i = 1;
  for (; i < chars.size() && chars[i].c != '='; ++i) {
    if (is_symbol(P_DOT_FOR_TEMPO_MARKINGS, tparam, chars[i])) d = std::max(d, 1);
    if (is_symbol(P_DOUBLE_DOT_FOR_TEMPO_MARKINGS, tparam, chars[i])) d = 2;
  }
  if (i >= chars.size()) return false;
  for (++i; i < chars.size() && chars[i].c == ' '; ++i) {
  }
  std::string number;
  bool point = false;
  for (; i < chars.size(); ++i) {
    const char c = char(chars[i].c);
    if (c == '.' && !point) {
      point = true;
    } else if (c < '0' || c > '9') {
      break;
    }
    number += c;
  }
  const double value = number.empty() ? 0 : std::atof(number.c_str());
  if (!(value > 0)) return false;
  *bpm = value;
  *unit = found;
  *dots = d;
  return true;
}

}  // namespace

Drosa parse_metronome_text(Drosa anno, double* bpm, int32_t* unit, int32_t* dots) {
  for (Drosa p = anno; p && effective_kind(p) == TPARAM;) {
    if (read_metronome(p, bpm, unit, dots)) return p;
    // The annotation's next run; a TPARAM that is no run begins another annotation.
    Drosa next = NIL;
    for (Drosa q = p->xnext;
         q && (q->xkind == TEXT || q->xkind == PDATA || q->xkind == PVIEW || q->xkind == TPARAM);
         q = q->xnext)
      if (q->xkind == TPARAM) {
        if (q->get(xadjacent)) next = q;
        break;
      }
    p = next;
  }
  return NIL;
}

namespace {

// A note an edit took out of its voice while the play goes on (a click in the music or on
// the palette does not stop it) is forgotten: it is shown nowhere now. The voices are looked
// through only after their lists changed.
// Reads: list_change_count, piece_start. Writes: scheduled_notes, ps.notes_checked_at.
void forget_removed_notes() {
  if (scheduled_notes.empty() || ps.notes_checked_at == list_change_count) return;
  ps.notes_checked_at = list_change_count;
  std::unordered_set<uint32_t> queued, in_voices;
  for (const ScheduledNote& n : scheduled_notes) queued.insert(n.note.handle());
  for (int v = 0; v < voices() && in_voices.size() < queued.size(); ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE && queued.count(p.handle())) in_voices.insert(p.handle());
  std::erase_if(scheduled_notes,
                [&](const ScheduledNote& n) { return !in_voices.count(n.note.handle()); });
}

}  // namespace

void sounding_notes_at(int32_t now, std::vector<Drosa>* notes) {
  notes->clear();
  if (!playing_flag) {
    scheduled_notes.clear();
    return;
  }
  std::erase_if(scheduled_notes,
                [now](const ScheduledNote& n) { return ms_after(now, n.off) >= 0; });
  forget_removed_notes();
  for (const ScheduledNote& n : scheduled_notes)
    if (ms_after(now, n.on) >= 0) notes->push_back(n.note);
}
