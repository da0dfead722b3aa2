// performance_hooks.cpp: what the performance subsystem lends the model and the layout engine,
// registered at start-up: the playback queue's nodes, which the node store's leak check counts,
// grace times and default playback data, the recorded keys and the lines of playback's nodes
// in the debug dumps, and the piano palette, redrawn after every completed format and held
// back while a view opens its piece.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "layout/layout_services.h"
#include "performance/palette.h"
#include "performance/performance_fields.h"
#include "performance/performance_services.h"

namespace {

// The palette draws held back while the views open a piece, the innermost last.
std::vector<std::unique_ptr<PaletteDrawsHeld>> held_for_views;

void hold_palette_draws(bool hold) {
  if (hold)
    held_for_views.push_back(std::make_unique<PaletteDrawsHeld>());
  else if (!held_for_views.empty())
    held_for_views.pop_back();
}

void play_line(std::string* line, Drosa p) {
  append_dump_text(line, "PLAY  %p time 0x%X new %d ", dump_id(p), unsigned(p->get(xplay_time)),
                   p->get(xplay_pending));
  switch (p->get(xplay_type)) {
    case PLAY_NOTE_ON:
      append_dump_text(line, "start note pitch 0x%X", p->get(xplay_pitch));
      break;
    case PLAY_NOTE_OFF:
      append_dump_text(line, "stop note pitch 0x%X", p->get(xplay_pitch));
      break;
    case PLAY_PACKET:
      append_dump_text(line, "send MIDI node %d", p->get(xplay_volume));
      break;
    case PLAY_END:
      *line += "stop all notes";
      break;
    default:
      append_dump_text(line, "ERROR bad operation %d", p->get(xplay_type));
      break;
  }
}

void rnote_line(std::string* line, Drosa r) {
  append_dump_text(line, "RNOTE  %p ", dump_id(r));
  switch (int key = r->get(rnotenum)) {
    case RNOTE_BEAT_FILLER:
      *line += "tieFromPrev";
      break;
    case RNOTE_FINAL:
      *line += "finalNote";
      break;
    case RNOTE_REST:
      *line += "rest";
      break;
    default:
      append_dump_text(line, "notenum %d", key);
      break;
  }
  append_dump_text(
      line, " endcd %d newbt %d strt %ld lth %ld ttn %ld normttn %ld lgv %d tup %d dots %d vol %d",
      r->get(rendchord), r->get(rnewbeat), long(r->get(rstart_time)), long(r->get(rlength)),
      long(r->get(rttn)), long(r->get(rnormttn)), r->get(rlgval), r->get(rtupl), r->get(rdots),
      r->get(rvolume));
}

void midi_line(std::string* line, Drosa m) {
  const int count = std::clamp<int>(m->get(xmidi_count), 0, xmidi_bytes.count);
  append_dump_text(line, "MIDI%p OBSOLETE NODE time0x%X bytes%d", dump_id(m),
                   unsigned(m->get(xmidi_time)), count);
  for (int i = 0; i < count; ++i) append_dump_text(line, ", %02x", m->get(xmidi_bytes, i));
}

// A node of playback or recording in the debug dumps: its line; 0 for another kind.
int performance_node_text(Drosa node, std::string* line) {
  switch (node->xkind) {
    case PLAY:
      play_line(line, node);
      return 1;
    case RNOTE:
      rnote_line(line, node);
      return 1;
    case MIDI:
      midi_line(line, node);
      return 1;
    default:
      return 0;
  }
}

}  // namespace

void register_performance_hooks() {
  model_hooks.release_play_nodes.routine = release_play_nodes;
  model_hooks.play_queue_count.routine = play_queue_count;
  model_hooks.record_grace_time.routine = record_grace_time;
  model_hooks.change_grace_time.routine = change_grace_time;
  model_hooks.record_default_performance.routine = record_default_performance;
  model_hooks.set_default_performance.routine = set_default_performance;
  model_hooks.draw_piano_window.routine = draw_piano_window;
  model_hooks.hold_palette_draws.routine = hold_palette_draws;
  model_hooks.performance_node_text.routine = performance_node_text;
  model_hooks.play_queue_first.routine = play_queue_first;
  model_hooks.recorded_notes_first.routine = recorded_notes_first;
  layout_hooks.draw_piano_window.routine = draw_piano_window;
}
