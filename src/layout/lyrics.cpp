// lyrics.cpp: the horizontal reach of a staff chord's lyrics, and the right edge of a layer's
// chord with everything drawn to the right of its heads.
//
// Lyrics are the text annotations marked "Leave Space": they widen the space a chord needs.
// A text's x is its note's head x plus the text's own x, less its width when right-aligned
// and half its width (rounded toward zero) when centred.
#include "layout/lyrics.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>
#include <vector>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/relocate.h"
#include "layout/setprint.h"
#include "layout/spacing.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int32_t NO_LEFT = 2100000000, NO_RIGHT = -2100000000;
// How far back along a layer the syllable before another on its line is looked for: a
// melisma longer than this is taken as ending the line.
constexpr int MOST_CHORDS_BACK = 64;
constexpr int RIGHT_ALIGNED = 2;  // xjustified: 0 left, 2 right, 1 and 3 centred
constexpr int STEM_DOWN = 1, STEM_UP = 2;
constexpr int TAB_NO_FLAG = 2;  // a tablature kind drawn without flags

bool near(int64_t a, int64_t b) { return std::llabs(a - b) <= TIME_TOLERANCE; }

int32_t clamp_i32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

bool is_attached_text(Drosa p) { return effective_kind(p) == TPARAM && !p->get(xadjacent); }

// Visits the text annotations attached before the note, in list order, until `visit` says
// stop (returns true). Most notes have none: they are looked for walking back, and only
// then visited walking on from the first.
template <typename Visit>
void visit_texts_before(Drosa note, Visit visit) {
  Drosa first = NIL;
  for (Drosa p = note->xback; p; p = p->xback) {
    int k = effective_kind(p);
    if (k == NOTE || k == ENDSYST) break;
    if (k == TPARAM && !p->get(xadjacent)) first = p;
  }
  for (Drosa p = first; p && p != note; p = p->xnext)
    if (is_attached_text(p) && visit(p)) return;
}

// The space the note's dots take to the right of its head.
int32_t dot_space(Drosa n) {
  int dots = n->get(xdots);
  if (!dots) return 0;
  int width = dots == 1   ? P_SPACE_GIVEN_FOR_WIDTH_OF_DOT
              : dots == 2 ? P_SPACE_GIVEN_FOR_WIDTH_OF_DOUBLE_DOT
                          : P_SPACE_GIVEN_FOR_WIDTH_OF_TRIPLE_DOT;
  return param_length(P_SPACE_LEFT_BETWEEN_NOTE_AND_ITS_DOT, n, nullptr) +
         param_length(width, n, nullptr);
}

// The right edge of a rest or of a head, with its dots.
int32_t rest_or_head_right(Drosa n) {
  Drosa nt = note_ntdata(n);
  if (is_placeholder_rest(n)) return nt->get(xhdx);
  if (n->get(xrest)) return clamp_i32(int64_t(nt->get(xhdx)) + rest_width(n, 0) + dot_space(n));
  return clamp_i32(int64_t(nt->get(xhdx)) + nt->get(xstemxoff) + hdw(n, 0) + dot_space(n));
}

bool is_measure_rest(Drosa n) {
  int glyph = note_ntdata(n)->get(xrestchar);
  return n->get(xrest) && (glyph == 1 || glyph == 2);
}

// Whether the chord F..last is a bar's only content: a whole-measure rest (in F and in last),
// or a chord that starts its measure, lasts it and is followed by a measure's start.
bool fills_its_bar(Drosa F, Drosa last) {
  if (is_measure_rest(last)) return is_measure_rest(F);
  Drosa cd2 = last_note_cddata2(last);
  if (!cd2 || !near(cd2->get(xmwholec), 0)) return false;
  if (Drosa after = chain_next(last)) {
    Drosa next_cd2 = last_note_cddata2(chord_last_note(after));
    if (!next_cd2 || !near(next_cd2->get(xmwholec), 0)) return false;
  }
  int32_t measure = measure_length_at(F);
  return measure > 0 && near(spaced_chord_duration(F), measure);
}

// How far a text of note n reaches left and right, as it is drawn.
struct TextReach {
  int32_t left, right;
};
// What text_reach reads of a text's measure.
struct TextWidth {
  Drosa note;
  int32_t width, pad, offsets;
  bool leading_extender, trailing_extender;
};
bool keeping_widths = false;
std::unordered_map<uint32_t, TextWidth> kept_widths;  // by the text's TPARAM

// While widths are kept: by pstaff, whether a note of its print chains has a text that leaves
// space attached before it (-1: not looked for yet). Most staves have none: their chords'
// texts are then not looked for one by one.
int8_t staff_leaves_space[MAX_PSTAVES];

// Whether a note of the print chain after `head` has a text that leaves space attached before
// it (as visit_texts_before finds them).
bool chain_leaves_space(Drosa head) {
  for (Drosa n = chain_next(head), nt = note_ntdata(n); nt;
       n = nt->get(xpnext), nt = note_ntdata(n))
    for (Drosa p = n->xback; p; p = p->xback) {
      const int k = effective_kind(p);
      if (k == NOTE || k == ENDSYST) break;
      if (k == TPARAM && p->get(xleavespace) && !p->get(xadjacent)) return true;
    }
  return false;
}

// False only when no text of the pstaff's chains leaves space: none of its chords has lyrics.
bool texts_leave_space(int pstaff) {
  if (!keeping_widths || pstaff < std::max<int>(first_pstaff, 0) ||
      pstaff > std::min<int>(last_pstaff, MAX_PSTAVES - 1))
    return true;
  int8_t& known = staff_leaves_space[pstaff];
  if (known < 0) {
    known = 0;
    for (int l = 0; l < LAYERS && !known; ++l)
      known = chain_leaves_space(staff_data[pstaff].ppnt[l]);
  }
  return known != 0;
}

// The pstaff of the chain that holds the chord of the note, from its chord record (-1 when it
// has none).
int chain_pstaff(Drosa cd) {
  Drosa cd3 = cd && cd->xnext ? cd->xnext->xnext : NIL;
  return cd3 && cd3->xkind == CDDATA3 ? cd3->get(xpstaff) : -1;
}

void forget_staves_with_lyrics() {
  std::fill(std::begin(staff_leaves_space), std::end(staff_leaves_space), int8_t(-1));
}

TextWidth measured_width(Drosa n, Drosa text) {
  if (keeping_widths) {
    auto found = kept_widths.find(text.handle());
    if (found != kept_widths.end() && found->second.note == n) return found->second;
  }
  AnnoTextMeasure m;
  const int32_t w = layout_hooks.measure_anno_text(n, text, &m);
  const TextWidth measured{n, w, m.pad, m.offsets, m.leading_extender, m.trailing_extender};
  if (keeping_widths) kept_widths[text.handle()] = measured;
  return measured;
}

TextReach text_reach(Drosa n, Drosa nt, Drosa text) {
  const TextWidth m = measured_width(n, text);
  const int32_t w = m.width;
  int64_t x = int64_t(nt->get(xhdx)) + text->get(xtextx);
  int aligned = text->get(xjustified);
  if (aligned == RIGHT_ALIGNED)
    x -= w;
  else if (aligned != 0)
    x -= w / 2;
  // A text that only continues an underline from before stands after the underline's end,
  // as the text is drawn.
  if (m.leading_extender && !m.trailing_extender)
    x += param_length(P_RIGHT_END_OF_UNDERLINE_EXTENDS_THIS_FAR_UNDER_ENDING_NOTE, n, nullptr) +
         param_length(P_X_OFFSET_FROM_END_OF_UNDERLINE_TO_PUNCTUATION, n, nullptr);
  // Runs drawn moved by their offsets (a chord symbol's accidentals) reach farther.
  int64_t extension = (m.trailing_extender ? m.pad : 0) + std::max(m.offsets, 0);
  return {clamp_i32(x), clamp_i32(x + w + extension)};
}

// The y a text of note n stands at: from the page, the pstaff's middle line or its note head.
int64_t text_y_at(Drosa nt, Drosa text, int32_t pstaff) {
  int64_t text_y = text->get(xtexty);
  if (!text->get(xfooter))
    text_y += text->get(xfromstaff) ? staff_data[pstaff].middle_y : nt->get(xhdy);
  return text_y;
}

}  // namespace

KeptTextWidths::KeptTextWidths() {
  keeping_widths = true;
  kept_widths.clear();
  forget_staves_with_lyrics();
}

KeptTextWidths::~KeptTextWidths() {
  keeping_widths = false;
  kept_widths.clear();
  forget_staves_with_lyrics();
}

void lyrlth(Drosa note, int32_t pstaff, int32_t y, int32_t* left, int32_t* right) {
  *left = NO_LEFT;
  *right = NO_RIGHT;
  if (!is_NOTE(note)) return;
  if (y != NO_LYRIC_PLACE && (pstaff < 0 || pstaff >= MAX_PSTAVES)) {
    REPORT_ERROR(4, "Bad arguments to lyrlth!");
    y = NO_LYRIC_PLACE;
  }
  Drosa first = chord_first_note(note), last = chord_last_note(note);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    Drosa nt = note_ntdata(n);
    if (!nt) break;
    bool found = false;
    visit_texts_before(n, [&](Drosa text) {
      if (text->get(xhidden) || text->get(xpagemargin)) return false;
      const TextReach reach = text_reach(n, nt, text);
      if (text->get(xleavespace)) {
        *left = std::min(*left, reach.left);
        *right = std::max(*right, reach.right);
      }
      if (y == NO_LYRIC_PLACE) return false;
      if (std::fabs(double(y) - double(text_y_at(nt, text, pstaff))) <= 10.0) {
        *left = reach.left;
        *right = reach.right;
        found = true;
      }
      return found;
    });
    if (found) return;
  }
}

std::vector<LyricReach> lyric_lines_of(Drosa note, int32_t pstaff) {
  std::vector<LyricReach> lines;
  if (!is_NOTE(note) || pstaff < 0 || pstaff >= MAX_PSTAVES || !texts_leave_space(pstaff))
    return lines;
  Drosa first = chord_first_note(note), last = chord_last_note(note);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    Drosa nt = note_ntdata(n);
    if (!nt) break;
    visit_texts_before(n, [&](Drosa text) {
      if (text->get(xhidden) || text->get(xpagemargin) || !text->get(xleavespace)) return false;
      const TextReach reach = text_reach(n, nt, text);
      const int32_t y = clamp_i32(text_y_at(nt, text, pstaff));
      const int32_t half = std::max<int32_t>(10, text->get(xtextsize) * 5);
      auto same = std::find_if(lines.begin(), lines.end(), [&](const LyricReach& line) {
        return std::abs(int64_t(line.y) - y) < std::max(half, line.half_height);
      });
      if (same == lines.end()) {
        lines.push_back({y, half, reach.left, reach.right});
      } else {
        same->left = std::min(same->left, reach.left);
        same->right = std::max(same->right, reach.right);
      }
      return false;
    });
  }
  return lines;
}

int64_t lyric_lines_demand(Drosa first, Drosa before, int32_t pstaff, int32_t gap) {
  if (!texts_leave_space(pstaff)) return INT64_MIN;
  std::vector<LyricReach> lines = lyric_lines_of(first, pstaff);
  int64_t demand = INT64_MIN;
  if (lines.empty()) return demand;
  // The syllable before each line's, back along the layer within the system; the staff's
  // left edge for a line that has none.
  std::vector<bool> found(lines.size(), false);
  size_t left_to_find = lines.size();
  int chords = 0;
  for (Drosa c = before; c && !is_chain_head(c) && left_to_find && chords < MOST_CHORDS_BACK;
       c = chain_prev(chord_first_note(c)), ++chords) {
    for (const LyricReach& earlier : lyric_lines_of(c, pstaff))
      for (size_t k = 0; k < lines.size(); ++k) {
        if (found[k] || std::abs(int64_t(lines[k].y) - earlier.y) >=
                            std::max(lines[k].half_height, earlier.half_height))
          continue;
        demand = std::max<int64_t>(demand, int64_t(earlier.right) + gap - lines[k].left);
        found[k] = true;
        --left_to_find;
      }
  }
  if (left_to_find) {
    const int64_t staff_left = staff_left_x(pstaff, current_page);
    for (size_t k = 0; k < lines.size(); ++k)
      if (!found[k]) demand = std::max<int64_t>(demand, staff_left + gap - lines[k].left);
  }
  return demand;
}

int32_t lyrics_right_in_system(Drosa last) {
  int32_t right = NO_RIGHT;
  if (keeping_widths && is_NOTE(last) && !texts_leave_space(chain_pstaff(cddatptr(last, 1))))
    return right;
  int chords = 0;
  for (Drosa c = last; is_NOTE(c) && !is_chain_head(c) && chords < MOST_CHORDS_BACK;
       c = chain_prev(chord_first_note(c)), ++chords) {
    int32_t left = 0, reach = 0;
    lyrlth(c, NO_LYRIC_PLACE, NO_LYRIC_PLACE, &left, &reach);
    right = std::max(right, reach);
  }
  return right;
}

int32_t space_lyrics(Drosa note, bool with_lyrics) {
  if (!is_NOTE(note) || is_chain_head(note) || !note_ntdata(note))
    return staff_left_x(std::max(first_pstaff, 0), current_page);
  Drosa F = chord_first_note(note), cd = cddatptr(note, 1);
  int32_t left = 0, lyrics_right = NO_RIGHT;
  if (with_lyrics && texts_leave_space(chain_pstaff(cd)))
    lyrlth(F, NO_LYRIC_PLACE, NO_LYRIC_PLACE, &left, &lyrics_right);
  int32_t down = 0, up = 0;
  // Justification moves the heads of a chord right of the chords of lower layers at its time
  // that reach its height: its right edge goes with them.
  const LowerLayerNotes lower(cd);
  if (note_ntdata(F)->get(xstmdir) == STEM_DOWN)
    down = clamp_i32(int64_t(rest_or_head_right(F)) + lower.overlap_space(F));
  Drosa nt = note_ntdata(note);
  if (nt->get(xstmdir) == STEM_UP) {
    if (note->get(xrest) || is_placeholder_rest(note) || nt->get(xcluster)) {
      up = rest_or_head_right(note);
    } else {
      int64_t x0 = int64_t(nt->get(xhdx)) + nt->get(xstemxoff);
      bool flag = note_duration(note, 1) < WHOLE_NOTE_TIME / 4 - TIME_TOLERANCE &&
                  nt->get(xendbeam) && !note->get(xdots) && nt->get(xtabtyp) != TAB_NO_FLAG;
      up = clamp_i32(
          x0 +
          (flag ? param_length(P_SPACE_GIVEN_FOR_WIDTH_OF_FLAG, note, nullptr) : dot_space(note)) +
          lower.overlap_space(note));
    }
  }
  int32_t R = std::max({lyrics_right, down, up});
  if (fills_its_bar(F, note))
    R = std::max(
        R, clamp_i32(int64_t(nt->get(xhdx)) + nt->get(xstemxoff) +
                     param_length(P_MINIMUM_WIDTH_OF_BAR_CONTAINING_ONLY_RESTS, note, nullptr)));
  return R;
}

int32_t heads_right(Drosa note) {
  int32_t right = NO_RIGHT;
  Drosa first = chord_first_note(note), last = chord_last_note(note);
  const LowerLayerNotes lower(cddatptr(last, 1));
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    Drosa nt = note_ntdata(n);
    if (!nt || n->get(xrest)) continue;
    right = std::max(right, clamp_i32(int64_t(nt->get(xhdx)) + hdw(n, 0) + dot_space(n) +
                                      lower.overlap_space(n)));
  }
  return right;
}
