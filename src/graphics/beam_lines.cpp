// beam_lines.cpp: drawing a beam group once its beam is placed (printbeam.cpp): the main beam
// line, the further beam lines (secondary beams over runs of shorter chords, partial beams of
// a lone shorter chord, the beams of a tremolo between two pitches), then the stems from the
// heads to the beam with their tremolo marks and grace slash.
//
// A beam line of level k (0 the main beam) lies k beam distances from the main beam toward the
// heads of its first chord; each line is centred on its y. A stem that has beams on the far
// side of the main beam (in a group between two staves) is drawn on through them.
#include <algorithm>
#include <cmath>

#include "graphics/GE.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/printbeam.h"
#include "graphics/printcd.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int VAR_MAIN_BEAM = 17, VAR_BEAM_LINE = 18, VAR_BEAMED_STEM_DOWN = 21,
              VAR_BEAMED_STEM_UP = 22;
constexpr int32_t CLIP_MARGIN = 280;

// The written value of a tremolo note (its stored value otherwise).
int written_value(Drosa note) {
  int value = 0, dots = 0;
  decode_note_type(note, &value, &dots);
  return value;
}

// A beam line from x1 to x2, `offset` from the main beam, clipped to clip1..clip2 in x.
void beam_line(int32_t x1, int32_t x2, int32_t offset, int32_t clip1, int32_t clip2, int var,
               int pstaff1, int pstaff2) {
  const int32_t width = param_length(P_STEM_CONNECTION_BEAM_LINE_WIDTH, beam_record.first);
  const int32_t y1 = beam_y(x1) + offset - width / 2, y2 = beam_y(x2) + offset - width / 2;
  const int32_t low = std::min(y1, y2) - CLIP_MARGIN, high = std::max(y1, y2) + width + CLIP_MARGIN;
  GEline(0, x1, y1, pstaff1, 0, x2, y2, pstaff2, 0, width, 0, 0, clip1, low, clip2, high,
         note_color_index(beam_record.first), var, beam_record.first);
}

bool tremolo_group() { return beam_record.first->get(xtrembeam) != 0; }

// Adds one to a chord's count of beams on one side of the main beam.
void count_beam(const BeamChord& c, bool above) {
  Drosa cd2 = c.cddata ? c.cddata->xnext : NIL;
  if (!cd2 || effective_kind(cd2) != CDDATA2) return;
  const auto& field = above ? xabovebeam : xbelowbeam;
  const int n = cd2->get(field, c.up);
  if (n < 255) cd2->set(field, c.up, uint8_t(n + 1));
}

bool ends_secondary_beam(const BeamChord& c) {
  return c.first->get(xesbeam) || c.last->get(xesbeam);
}

// A run of chords first..last reaching level k: one line, or a partial beam for a lone chord.
void draw_segment(size_t first, size_t last, int k) {
  const BeamRecord& b = beam_record;
  const std::vector<BeamChord>& chords = b.chords;
  const int32_t apart = param_length(P_OFFSET_BETWEEN_SUCCESSIVE_BEAMS, b.first);
  const bool above = !chords[first].up;  // toward the heads of the run's first chord
  const int32_t offset = (above ? 1 : -1) * k * apart;
  for (size_t i = first; i <= last; ++i) count_beam(chords[i], above);
  const BeamChord &a = chords[first], &z = chords[last];
  if (first != last) {
    int32_t x1 = a.stem_x + param_length(P_CLIP_SUB_BEAM_LINES_THIS_FAR_FROM_STEM, b.first),
            x2 = z.stem_x - param_length(P_CLIP_SUB_BEAM_LINES_THIS_FAR_FROM_STEM, b.first);
    if (tremolo_group()) {
      const int value = written_value(a.first);
      x1 = a.stem_x + trem_beam_clip_compute(a.first, value, a.stem_x, 0);
      x2 = z.stem_x - trem_beam_clip_compute(z.first, value, z.stem_x, 1);
    }
    beam_line(x1, x2, offset, std::min(x1, x2), std::max(x1, x2), VAR_BEAM_LINE, a.pstaff,
              z.pstaff);
    return;
  }
  // A partial beam: toward the end of the group that does not go on, else by the beam marks
  // and the beat.
  const size_t n = chords.size();
  bool left;
  if (first == n - 1 && !b.continues_out)
    left = true;
  else if (first == 0 && !b.continued_in)
    left = false;
  else if (ends_secondary_beam(a))
    left = true;
  else if (a.first->get(xcsbeam) || a.last->get(xcsbeam))
    left = false;
  else if (a.first->get(xgrace))
    left = true;
  else
    left = !beatbound(a.first, 0, SECONDARY_BEAMS, NOTE_START);
  const int32_t partial = param_length(P_LENGTH_OF_PARTIAL_BEAMS_BETWEEN_NOTE_STEMS, b.first);
  const int32_t x1 = left ? a.stem_x - partial : a.stem_x,
                x2 = left ? a.stem_x : a.stem_x + partial;
  beam_line(x1, x2, offset, x1, x2, VAR_BEAM_LINE, a.pstaff, a.pstaff);
}

}  // namespace

int32_t trem_beam_clip_compute(Drosa note, int value, int32_t position, int at_end) {
  if (value >= 3)
    return param_length(P_CLIP_TREMOLO_BETWEEN_PITCHES_THIS_FAR_FROM_QUARTER_STEM, note);
  if (value == 2) return param_length(P_CLIP_TREMOLO_BETWEEN_PITCHES_THIS_FAR_FROM_HALF_STEM, note);
  Drosa nt = note_ntdata(note);
  if (value == 1 && nt) {
    // Between whole notes the beam keeps clear of the heads: it starts past the first head
    // and stops before the last.
    const int32_t gap = param_length(P_CLIP_TREMOLO_BETWEEN_PITCHES_THIS_FAR_FROM_WHOLE_NOTE, note);
    if (at_end) return position - (nt->get(xhdx) - gap);
    return nt->get(xhdx) + hdw(note, 1) + gap - position;
  }
  REPORT_ERROR(4, "Confusion in trem_beam_clip_compute!");
  return 0;
}

void draw_main_beam() {
  BeamRecord& b = beam_record;
  const BeamChord &f = b.chords.front(), &l = b.chords.back();
  if (f.first->get(xtremolo) && written_value(f.first) <= 3) return;
  const int32_t extend = param_length(P_EXTEND_BEAM_LINES_THIS_FAR_PAST_NOTE_STEM, f.first);
  b.start_x = f.stem_x - extend;
  b.end_x = l.stem_x + extend;
  if (tremolo_group()) {
    const int value = written_value(f.first);
    b.clip_start = f.stem_x + trem_beam_clip_compute(f.first, value, f.stem_x, 0);
    b.clip_end = l.stem_x - trem_beam_clip_compute(l.first, value, l.stem_x, 1);
  } else {
    const int32_t clip = param_length(P_CLIP_MAIN_BEAM_LINE_THIS_FAR_FROM_STEM, f.first);
    b.clip_start = f.stem_x + clip;
    b.clip_end = l.stem_x - clip;
  }
  if (b.continued_in) {
    const int32_t onto =
        param_length(P_BEAMS_ONTO_START_OF_SYSTEM_EXTEND_THIS_FAR_LEFT_OF_FIRST_STEM, f.first);
    b.clip_start -= onto;
    b.start_x -= onto;
  }
  if (b.continues_out) {
    const int32_t off =
        param_length(P_BEAMS_OFF_END_OF_SYSTEM_EXTEND_THIS_FAR_RIGHT_OF_FINAL_STEM, l.first);
    b.clip_end += off;
    b.end_x += off;
  }
  beam_line(b.start_x, b.end_x, 0, std::min(b.clip_start, b.clip_end),
            std::max(b.clip_start, b.clip_end), VAR_MAIN_BEAM, f.pstaff, l.pstaff);
}

void draw_beam_lines() {
  const BeamRecord& b = beam_record;
  const std::vector<BeamChord>& chords = b.chords;
  const bool tremolo = tremolo_group();
  for (int level = 5; level <= b.largest_value; ++level) {
    size_t start = 0;
    bool open = false;
    for (size_t i = 0; i < chords.size(); ++i) {
      const BeamChord& c = chords[i];
      if (c.value < level) {
        if (open) draw_segment(start, i - 1, level - 4);
        open = false;
        continue;
      }
      if (!open) start = i;
      open = true;
      bool ends = i + 1 == chords.size();
      if (!tremolo && ends_secondary_beam(c)) ends = true;
      if (!tremolo && !b.grace && beatbound(c.last, 0, SECONDARY_BEAMS, NOTE_END)) ends = true;
      if (ends) {
        draw_segment(start, i, level - 4);
        open = false;
      }
    }
  }
}

void draw_beamed_stems() {
  const BeamRecord& b = beam_record;
  const int32_t apart = param_length(P_OFFSET_BETWEEN_SUCCESSIVE_BEAMS, b.first),
                half_beam = param_length(P_STEM_CONNECTION_BEAM_LINE_WIDTH, b.first) / 2;
  for (size_t i = 0; i < b.chords.size(); ++i) {
    const BeamChord& c = b.chords[i];
    if (c.first->get(xrest) || written_value(c.first) <= 1) continue;
    Drosa head = c.up ? c.first : c.last;
    const int32_t start = note_ntdata(head)->get(xhdy) +
                          param_length(stem_end_offset_param(head, c.up ? 0 : 1), head);
    const int32_t at = beam_y(c.stem_x);
    Drosa cd2 = c.cddata ? c.cddata->xnext : NIL;
    int32_t end = at;
    if (cd2 && effective_kind(cd2) == CDDATA2)
      end = c.up ? at + apart * cd2->get(xabovebeam, 1) : at - apart * cd2->get(xbelowbeam, 0);
    draw_stem_line(c.first, c.pstaff, c.stem_x, start, end,
                   c.up ? VAR_BEAMED_STEM_UP : VAR_BEAMED_STEM_DOWN, c.up);
    if (c.cddata) {
      const int dir = note_ntdata(c.first)->get(xstmdir);
      if (c.up)
        set_max_hiy(c.cddata, dir, end + half_beam);
      else
        set_min_loy(c.cddata, dir, end - half_beam);
    }
    if (c.first->get(xtremolo)) {
      const int32_t offset = tremolo_yoffset(c.first, 1);
      draw_tremolo_mark(c.first, c.pstaff, c.stem_x, c.up ? at - offset : at + offset);
    }
    // One slash through the beam, at its first stem.
    if (i == 0 && c.first->get(xgrace) && !c.first->get(xnoslash))
      draw_grace_slash(c.first, c.pstaff, c.stem_x, at, c.up, 1);
  }
}
