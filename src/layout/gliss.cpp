// gliss.cpp: glissando lines, the partner of a note in the next chord of its layer (shared by
// glissandi, ties and bend ties), and the left and right edges of a note that keep a line
// clear of its parentheses and dots.
//
// A note's partner stands at the same place in the next chord: counting from below, as many
// notes lie under it there as flagged notes lie under the note in its own chord.
#include "layout/gliss.h"

#include <algorithm>
#include <vector>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "params/param_services.h"

namespace {

constexpr int GLISS_LINE = 73;  // var of a glissando line

bool flagged(Drosa note, const NodeField& field) {
  if (&field == &xgliss) return note->get(xgliss);
  if (&field == &xbendtie) return note->get(xbendtie);
  return note->get(xtie) != 0;
}

int lower_count(const std::vector<Drosa>& notes, Drosa note, const NodeField* field) {
  int k = 0;
  for (Drosa n : notes)
    if (!n->get(xrest) && (!field || flagged(n, *field)) && n->get(xpitch) < note->get(xpitch)) ++k;
  return k;
}

int32_t head_x(Drosa note) { return note_ntdata(note)->get(xhdx); }

// The staff a note is drawn on: its chain's, or the neighbouring one when it is drawn there
// (above for a stem up, below for the others).
int drawn_pstaff(Drosa note, int pstaff) {
  Drosa nt = note_ntdata(note);
  if (!nt->get(xother_staff)) return pstaff;
  return nt->get(xstmdir) == 2 ? std::max(pstaff - 1, 0) : std::min(pstaff + 1, MAX_PSTAVES - 1);
}

}  // namespace

std::vector<Drosa> chord_notes(Drosa note) {
  std::vector<Drosa> notes;
  Drosa last = chord_last_note(note);
  for (Drosa n = chord_first_note(note); note_ntdata(n); n = chain_next(n)) {
    notes.push_back(n);
    if (n == last) break;
  }
  return notes;
}

Drosa count_earlier_in_chord(Drosa note, const NodeField& field) {
  if (!note_ntdata(note)) return NIL;
  const int k = lower_count(chord_notes(note), note, &field);
  Drosa next = chain_next(chord_last_note(note));
  if (!note_ntdata(next)) return NIL;
  std::vector<Drosa> notes = chord_notes(next);
  if (notes.size() == 1) return notes.front();
  Drosa examined = NIL;
  for (Drosa n : notes) {
    if (n->get(xrest)) continue;
    examined = n;
    if (k == 0 || lower_count(notes, n, nullptr) == k) return n;
  }
  return examined;
}

int32_t note_right_x(Drosa note, int32_t x, int32_t extra) {
  Drosa nt = note_ntdata(note);
  if (note->get(xparen))
    return layout_hooks.paren_right_x(note) +
           param_length(P_WIDTH_OF_NOTE_HEAD_PARENTHESES_CHARACTERS, note) + extra;
  static constexpr int DOT_WIDTH[4] = {0, P_SPACE_GIVEN_FOR_WIDTH_OF_DOT,
                                       P_SPACE_GIVEN_FOR_WIDTH_OF_DOUBLE_DOT,
                                       P_SPACE_GIVEN_FOR_WIDTH_OF_TRIPLE_DOT};
  if (int dots = note->get(xdots))
    return layout_hooks.dot_positions(note) + param_length(DOT_WIDTH[dots], note) + extra;
  // A rest's own x of this format; the screen copy may be an older format's or "not drawn".
  if (note->get(xrest)) return nt->get(xhdx) + rest_width(note, 0);
  int32_t right = nt->get(xhdx) + nt->get(xstemxoff) + x;
  return nt->get(xstmdir) == 2 ? right + hdw(note, 0) : right;
}

int32_t note_left_x(Drosa note, int32_t x, int32_t extra) {
  Drosa nt = note_ntdata(note);
  if (note->get(xparen)) return layout_hooks.paren_left_x(note) - extra;
  int32_t left = nt->get(xhdx) + nt->get(xstemxoff) - x;
  return nt->get(xstmdir) == 1 ? left - hdw(note, 0) : left;
}

int32_t draw_gliss(Drosa note, int pstaff) {
  Drosa partner = count_earlier_in_chord(note, xgliss);
  if (!partner || !note_ntdata(partner)) return 0;
  const int32_t head_clear = param_length(P_DISTANCE_FROM_NOTE_TO_CLIP_GLISSANDO_LINE, note);
  const int32_t mark_clear =
      param_length(P_DISTANCE_FROM_ACCIDENTAL_OR_DOT_TO_CLIP_GLISSANDO_LINE, note);
  int32_t x1 = note_right_x(note, head_clear, mark_clear);
  int32_t x2 = note_left_x(partner, head_clear, mark_clear);
  int32_t y1, y2;
  const StaffData& staff = staff_data[std::clamp(pstaff, 0, MAX_PSTAVES - 1)];
  if (staff.staff_type == 1 || staff.staff_type == 2) {
    const int32_t offset =
        param_length(P_VERTICAL_OFFSET_FOR_GLISSANDO_LINE_ENDS_IN_TABLATURE, note);
    const int32_t toward = partner->get(xpitch) >= note->get(xpitch) ? offset : -offset;
    y1 = note_ntdata(note)->get(xhdy) + staff.staff_size / 2 + toward;
    y2 = note_ntdata(partner)->get(xhdy) + staff.staff_size / 2 + toward;
  } else {
    y1 = note_ntdata(note)->get(xhdy) + param_length(P_NOTE_HEAD_HEIGHT, note) / 2;
    y2 = note_ntdata(partner)->get(xhdy) + param_length(P_NOTE_HEAD_HEIGHT, partner) / 2;
  }
  // Too short a line grows to the shortest length, each end into the room it has between
  // the line and its note's head, or by half each when there is not room enough.
  const int32_t d = param_length(P_MINIMUM_HORIZONTAL_LENGTH_OF_GLISSANDO_LINE, note) + x1 - x2;
  if (d > 0) {
    const int64_t room1 = std::max<int64_t>(0, int64_t(x1) - head_x(note));
    const int64_t room2 = std::max<int64_t>(0, head_x(partner) + hdw(partner, 0) - int64_t(x2));
    if (d > room1 + room2) {
      x1 -= d / 2;
      x2 += d - d / 2;
    } else {
      const int32_t share1 = int32_t(d * room1 / (room1 + room2));
      x1 -= share1;
      x2 += d - share1;
    }
  }
  layout_hooks.GEline(
      0, x1, y1, drawn_pstaff(note, pstaff), 0, x2, y2, drawn_pstaff(partner, pstaff), 0,
      param_length(P_WIDTH_OF_GLISSANDO_LINE, note), 0, 0, 0, 0, 0, 0, 0, GLISS_LINE, note);
  return 1;
}
