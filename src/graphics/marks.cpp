// marks.cpp: articulation marks and tuplet numbers of a staff chord, drawn as the slur layout
// reaches the chord's last note: staccato and tenuto before its slurs, fermatas, accents and
// most tuplet numbers after them. Every mark stands beyond what was drawn on its side before
// and pushes the chord's extent on that side past itself, so that marks, slurs and annotations
// stack outward in the order they are drawn.
//
// Marks go opposite the stem (below a chord without one), or on the stem side when the staff
// is shared with the other stem direction; fermatas go above. A mark above a beam that is
// drawn on the neighbouring staff lands on that staff.
//
// A tuplet whose notes are not all under one beam (or whose first note's modifier asks for
// one) has its number in a bracket: a thin line with hooks toward the notes, broken around the
// number, clear of every chord of the group and outside the staff. It is drawn with the group's
// last chord, when the marks of all its chords stand, and the number with it at its middle.
#include "graphics/marks.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "graphics/GE.h"
#include "graphics/glyph_tables.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int VAR_TUPLET = 6, VAR_TUPLET_BRACKET = 82, VAR_FERMATA = 36, VAR_ACCENT = 37,
              VAR_STACCATO = 38;
constexpr int OPTIONS_TUPLET_NUMBERS = 16;  // i16: non-zero when tuplet numbers are drawn
constexpr int STEM_UP = 2, PIANO_TABLATURE = 3, NO_HEADS = 2;
constexpr int TUPLET_MARKED = 1, TUPLET_AT_END = 2;  // xtup_mark bits
constexpr int32_t NOT_FOUND = int32_t(0x80000000);

bool valid_staff(int p) { return p >= 0 && p < MAX_PSTAVES; }

// The chord shares its staff with the other stem direction, whose rest is not hidden.
bool shares_staff(Drosa cd) {
  Drosa cd2 = cd ? cd->xnext : NIL;
  return cd && cd->get(xoppos) && !(cd2 && cd2->xkind == CDDATA2 && cd2->get(xopposhide));
}

int away_from_stem(int stem) { return stem == 1 || stem == STEM_UP ? 3 - stem : 3; }

// The side of a staccato-type mark or accent.
int mark_side(Drosa nt, Drosa cd) {
  const int stem = nt->get(xstmdir);
  return shares_staff(cd) ? stem : away_from_stem(stem);
}

// x of every mark of the note: the left edge of its head, by its stem.
int32_t mark_x(Drosa note, Drosa nt) {
  const int32_t stem_x = nt->get(xhdx) + nt->get(xstemxoff);
  if (nt->get(xstmdir) == STEM_UP)
    return stem_x - hdw(note, 0) - param_length(P_X_OFFSET_ADDED_TO_NORMAL_UP_STEM_POSITION, note);
  return stem_x - param_length(P_X_OFFSET_ADDED_TO_NORMAL_DOWN_STEM_POSITION, note);
}

// The chord's extent on the note's stem side; the note's own head when nothing was drawn.
int32_t upper_extent(Drosa note, Drosa nt, Drosa cd) {
  const int32_t y = get_hiy(cd, nt->get(xstmdir));
  return y != EXTENT_HIGH_START ? y : nt->get(xhdy) + param_length(P_NOTE_HEAD_HEIGHT, note);
}
int32_t lower_extent(Drosa nt, Drosa cd) {
  const int32_t y = get_loy(cd, nt->get(xstmdir));
  return y != EXTENT_LOW_START ? y : nt->get(xhdy);
}

// The last note of its stem: it ends its chord, or the next note stems the other way.
bool last_on_stem(Drosa nt) {
  if (nt->get(xendscd)) return true;
  Drosa next_nt = note_ntdata(nt->get(xpnext));
  return !next_nt || next_nt->get(xstmdir) != nt->get(xstmdir);
}

// Fermata and accent: beyond the chord and outside the staff by gap, taking height.
void place_outside(Drosa note, Drosa nt, Drosa cd, int pstaff, int side, int above, int below,
                   int gap_param, int height_param, int var) {
  const int mp = side_pstaff_of_note(note, side, pstaff);
  const int stem = nt->get(xstmdir);
  const int32_t gap = param_length(gap_param, note), height = param_length(height_param, note);
  int32_t y;
  if (side == 2) {
    y = std::max(upper_extent(note, nt, cd), staff_top_y(mp, 0)) + gap;
    set_max_hiy(cd, stem, y + height);
  } else {
    y = std::min(lower_extent(nt, cd), staff_bottom_y(mp, 0)) - gap - height;
    set_min_loy(cd, stem, y);
  }
  GEcharacter(0, mark_x(note, nt), y, mp, side == 2 ? above : below, 0, var, note, 0);
}

// Walking back through a chain: its head (or no note) is reached.
bool at_chain_start(Drosa note) { return !note_ntdata(note) || is_chain_head(note); }

bool extents_unset(Drosa cd) {
  return cd->get(xuphiy) == EXTENT_HIGH_START && cd->get(xdownhiy) == EXTENT_HIGH_START &&
         cd->get(xuploy) == EXTENT_LOW_START && cd->get(xdownloy) == EXTENT_LOW_START;
}

int32_t max_hiy(Drosa cd) { return std::max(cd->get(xuphiy), cd->get(xdownhiy)); }
int32_t min_loy(Drosa cd) { return std::min(cd->get(xuploy), cd->get(xdownloy)); }

// ---- Tuplet brackets

// A note of a voice's tuplet group: the last note of its stem group (another voice sharing the
// chain has groups of its own).
bool in_group_of(Drosa n, int voice) {
  return note_ntdata(n)->get(xtup_info) && n->get(xvoice) == voice;
}

// The tuplet group of the note on its chain: the last notes of the stem groups of its voice
// that carry it, from the group's first to its last. Empty when the group does
// not lie whole on the chain (its voice went on to the other staff).
std::vector<Drosa> tuplet_group(Drosa note) {
  std::vector<Drosa> group{note};
  const int voice = note->get(xvoice);
  for (Drosa n = note; !note_ntdata(n)->get(xtup_first);) {
    do n = chain_prev(n);
    while (!at_chain_start(n) && !in_group_of(n, voice));
    if (at_chain_start(n)) return {};
    group.insert(group.begin(), n);
  }
  for (Drosa n = note; !note_ntdata(n)->get(xtup_last);) {
    do n = chain_next(n);
    while (note_ntdata(n) && !is_chain_head(n) && !in_group_of(n, voice));
    if (!note_ntdata(n) || is_chain_head(n)) return {};
    group.push_back(n);
  }
  return group;
}

// The bracket a modifier of the note's voice's notes in its staff chord asks for; 0 none.
int bracket_asked(Drosa note) {
  Drosa n = note;
  while (!at_chain_start(chain_prev(n)) && !note_ntdata(chain_prev(n))->get(xendscd))
    n = chain_prev(n);
  for (; note_ntdata(n); n = chain_next(n)) {
    if (Drosa mod = attached_to_note(TSMOD, n);
        mod && mod->get(xtupl_bracket) && n->get(xvoice) == note->get(xvoice))
      return mod->get(xtupl_bracket);
    if (note_ntdata(n)->get(xendscd)) break;
  }
  return 0;
}

// A beam that comes into the group's first chord from the chord before it, or goes on from
// its last chord: the group was found across the tuplets of its voice (another voice's notes
// in its chords broke them), and a bracket would join pieces of two.
bool beam_crosses_edge(const std::vector<Drosa>& group) {
  Drosa before = chain_prev(group.front());
  while (!at_chain_start(before) && !note_ntdata(before)->get(xendscd)) before = chain_prev(before);
  Drosa first_cd = cddatptr(group.front(), 1);
  for (Drosa n = before; !at_chain_start(n); n = chain_prev(n)) {
    Drosa into = note_ntdata(n)->get(xendbeam) ? NIL : beam_next(n, nullptr);
    if (into && cddatptr(into, 1) == first_cd) return true;
    if (n != before && note_ntdata(n)->get(xendscd)) break;
  }
  return !note_ntdata(group.back())->get(xendbeam) && beam_next(group.back(), nullptr);
}

// Whether the group's number stands in a bracket: as its first chord asks (where the voice's
// tuplets were found in other groups than the piece's, a bracket any of its chords asks for,
// else none when one asks for none), else when its notes are not all under one beam (and its
// number is shown), and neither end is a hidden rest (the bracket would end at nothing).
bool bracketed(const std::vector<Drosa>& group) {
  if (group.size() < 2) return false;
  int asked = 0;
  for (Drosa n : group)
    if (const int a = bracket_asked(n); a && asked != TUPLET_BRACKET_SHOWN) asked = a;
  if (asked) return asked == TUPLET_BRACKET_SHOWN;
  if (group.front()->get(xhidet)) return false;
  for (Drosa end : {group.front(), group.back()})
    if (end->get(xrest) && end->get(xhider)) return false;
  bool broken = false;
  for (size_t i = 0; i + 1 < group.size(); ++i) broken |= note_ntdata(group[i])->get(xendbeam);
  return broken && !beam_crosses_edge(group);
}

// The far edge of a chord on a side: its highest point above (side 2), its lowest below.
int32_t chord_edge(Drosa note, int side) {
  Drosa nt = note_ntdata(note), cd = cddatptr(note, 1);
  if (!cd || extents_unset(cd))
    return nt->get(xhdy) + (side == 2 ? param_length(P_NOTE_HEAD_HEIGHT, note) : 0);
  return side == 2 ? max_hiy(cd) : min_loy(cd);
}

// The bracket of a group, its number (unless hidden) in a break at its middle; every chord
// of the group is then taken to reach past the number.
void draw_tuplet_bracket(const std::vector<Drosa>& group, int pstaff) {
  Drosa mid = group.front();
  for (Drosa n : group)
    if (Drosa cd = cddatptr(n, 1); cd && cd->get(xtup_mark)) {
      mid = n;
      break;
    }
  Drosa mnt = note_ntdata(mid), first = group.front(), last = group.back();
  const int stem = mnt->get(xstmdir);
  const int side = mnt->get(xforced) ? stem : away_from_stem(stem);
  const int up = side == 2 ? 1 : -1;
  const int mp = side_pstaff_of_note(mid, side, pstaff);
  const int32_t gap = param_length(P_SPACE_LEFT_BETWEEN_NOTE_AND_TUPLET_NUMBER, mid),
                height = param_length(P_SPACE_GIVEN_FOR_HEIGHT_OF_TUPLET_NUMBER, mid);
  const int32_t hook =
      param_length(P_LENGTH_OF_SMALL_VERTICAL_LINES_AT_ENDS_OF_TUPLET_BRACKETS, mid);
  const int32_t clear = gap + hook;  // from a chord to the line: the hooks' ends clear it
  const int32_t staff_edge = side == 2 ? staff_top_y(mp, 0) : staff_bottom_y(mp, 0);
  // A level line from the first chord's left edge to the last's right edge, beyond every
  // chord of the group (a slur over them too) and outside the staff.
  int32_t y = staff_edge + up * clear;
  for (Drosa n : group)
    y = up > 0 ? std::max(y, chord_edge(n, side) + clear)
               : std::min(y, chord_edge(n, side) - clear);
  const int32_t x1 = note_ntdata(first)->get(xhdx);
  const int32_t x2 =
      note_ntdata(last)->get(xhdx) + (last->get(xrest) ? rest_width(last, 0) : hdw(last, 0));
  const int32_t middle = int32_t((int64_t(x1) + x2) / 2);
  const bool numbered = !mid->get(xhidet);
  char text[8];
  std::snprintf(text, sizeof text, "%hd", short(mid->get(xtupl)));
  ParamValue font;
  scaled_char_param(&font, P_FONT_INFORMATION_FOR_TUPLET_NUMBERS, mid, nullptr);
  const int32_t width = numbered ? param_string_width(font, text) : 0;
  const int32_t half_break =
      numbered ? std::max(width, param_length(P_SPACE_GIVEN_FOR_WIDTH_OF_TUPLET_NUMBER, mid)) / 2 +
                     param_length(P_DISTANCE_BETWEEN_EITHER_SIDE_OF_TUPLET_NUMBER_AND_BRACKET, mid)
               : 0;
  // Too short a group for a bracket around its number shows the number alone.
  if (x2 - x1 > 2 * half_break) {
    const int32_t w =
        std::max<int32_t>(param_length(P_LINE_WIDTH_FOR_LINES_IN_TUPLET_BRACKETS, mid), 1);
    auto stroke = [&](int32_t xa, int32_t ya, int32_t xb, int32_t yb) {
      GEline(0, xa, ya, mp, 0, xb, yb, mp, 0, w, 0, 0, 0, 0, 0, 0, 0, VAR_TUPLET_BRACKET, mid);
    };
    stroke(x1, y - up * hook, x1, y);
    if (half_break) {
      stroke(x1, y, middle - half_break, y);
      stroke(middle + half_break, y, x2, y);
    } else {
      stroke(x1, y, x2, y);
    }
    stroke(x2, y, x2, y - up * hook);
  }
  if (numbered)
    GEstring(0, middle - width / 2 + font.x(), y - height / 2 + font.y(), 0, 0, mp,
             font_from_code(font.font()), font.bytes[2], font.size(), font.style(), 0, text, 0,
             VAR_TUPLET, mid, NIL);
  const int32_t reach = y + up * std::max(height / 2, hook / 2);
  for (Drosa n : group) {
    Drosa cd = cddatptr(n, 1);
    if (!cd) continue;
    if (side == 2)
      set_max_hiy(cd, note_ntdata(n)->get(xstmdir), reach);
    else
      set_min_loy(cd, note_ntdata(n)->get(xstmdir), reach);
  }
}

}  // namespace

int side_pstaff_of_note(Drosa note, int side, int pstaff) {
  Drosa nt = note_ntdata(note);
  if (!nt) return pstaff;
  const int stem = nt->get(xstmdir);
  Drosa cd = cddatptr(note, 1);
  int result = pstaff;
  if (side == stem) {
    if (stem == STEM_UP && cd && cd->get(xupbstem)) result = pstaff - 1;
    if (stem != STEM_UP && cd && cd->get(xdnbstem)) result = pstaff + 1;
  } else if (side == 2) {
    if (nt->get(xother_staff)) result = pstaff + 1;
  } else {
    // Below the chord: the lowest note of the stems-up run the note ends decides.
    Drosa n = note;
    for (;;) {
      Drosa prev_nt = note_ntdata(chain_prev(n));
      if (!prev_nt || at_chain_start(chain_prev(n)) || prev_nt->get(xendscd) ||
          prev_nt->get(xstmdir) != STEM_UP)
        break;
      n = chain_prev(n);
    }
    if (note_ntdata(n)->get(xother_staff)) result = pstaff - 1;
  }
  return valid_staff(result) ? result : pstaff;
}

void place_marks(Drosa note, int parameter, int pstaff) {
  Drosa nt = note_ntdata(note);
  Drosa cd = nt ? cddatptr(note, 1) : NIL;
  if (!cd || note->get(xrest)) return;
  const int stem = nt->get(xstmdir), side = mark_side(nt, cd);
  const int mp = side_pstaff_of_note(note, side, pstaff);
  if (parameter == P_STACCATO_MARK)
    if (Drosa tsmod = attached_to_note(TSMOD, note); tsmod && tsmod->get(xstacissimo))
      parameter = side == 2 ? P_STACCATISSIMO_MARK_ABOVE_NOTE : P_STACCATISSIMO_MARK_BELOW_NOTE;
  // A damaged file may give a staff no line spacing: then nothing snaps to its lines.
  const int32_t sp = staff_data[mp].staff_size;
  const bool piano_tab = staff_data[mp].staff_type == PIANO_TABLATURE;
  const int32_t gap = param_length(P_SPACE_LEFT_BETWEEN_STACCATO_TENUTO_AND_NOTE_STAFFLINE, note),
                height = param_length(P_SPACE_GIVEN_FOR_HEIGHT_OF_STACCATO_TENUTO, note);
  int32_t y;
  if (side == 2) {
    int32_t t = upper_extent(note, nt, cd);
    const int32_t top = staff_top_y(mp, 0);
    if (t < top && piano_tab) {
      int32_t above, above_width, below, below_width;
      nearest_staff_positions(t, mp, &above, &above_width, &below, &below_width);
      if (above != NOT_FOUND) t = above;
    } else if (t < top && sp > 0) {
      t += (top - t) % sp;  // up to the next line
    }
    y = t + gap;
    set_max_hiy(cd, stem, y + height);
  } else {
    const int32_t b = lower_extent(nt, cd), bottom = staff_bottom_y(mp, 0);
    int32_t line = NOT_FOUND;  // the line at or below the chord, inside the staff
    if (b > bottom && piano_tab) {
      int32_t above, above_width, below, below_width;
      nearest_staff_positions(b, mp, &above, &above_width, &below, &below_width);
      line = below;
    } else if (b > bottom && sp > 0) {
      line = b - (b - bottom) % sp;
    }
    y = line != NOT_FOUND ? line - sp + gap : b - (gap + height);
    set_min_loy(cd, stem, y);
  }
  GEcharacter(0, mark_x(note, nt), y, mp, parameter, 0, VAR_STACCATO, note, 0);
}

void drawtupl(Drosa note, int pstaff, int draw_at_end, int draw_marked) {
  if (!options_i16(current_ncontext, OPTIONS_TUPLET_NUMBERS)) return;
  Drosa nt = note_ntdata(note);
  if (!nt || note->get(xtrembeam) || note->get(xgrace)) return;
  if (nt->get(xtabtyp) == NO_HEADS || !nt->get(xtup_info)) return;
  Drosa cd = cddatptr(note, 1);
  const int mark = cd ? cd->get(xtup_mark) : 0;
  const bool number_here = mark != 0 && !(mark == TUPLET_AT_END && !draw_at_end) &&
                           !(mark == TUPLET_MARKED && !draw_marked);
  const bool group_ends = draw_marked && nt->get(xtup_last);
  if (!number_here && !group_ends) return;
  if (const std::vector<Drosa> group = tuplet_group(note); bracketed(group)) {
    if (group_ends) draw_tuplet_bracket(group, pstaff);
    return;
  }
  if (!number_here || note->get(xhidet)) return;
  const int stem = nt->get(xstmdir);
  const int side = nt->get(xforced) ? stem : away_from_stem(stem);
  const int mp = side_pstaff_of_note(note, side, pstaff);
  int32_t hi =
      extents_unset(cd) ? nt->get(xhdy) + param_length(P_NOTE_HEAD_HEIGHT, note) : max_hiy(cd);
  int32_t lo = extents_unset(cd) ? nt->get(xhdy) : min_loy(cd);
  int32_t x = nt->get(xhdx);
  if (mark & TUPLET_AT_END) {
    // Centred between this chord and the group's chord before it.
    Drosa before = chain_prev(note);
    while (!at_chain_start(before) && !in_group_of(before, note->get(xvoice)))
      before = chain_prev(before);
    if (at_chain_start(before)) {
      REPORT_ERROR(4, "Confusion over previous note in drawtupl()!");
      return;
    }
    Drosa pcd = cddatptr(before, 1);
    if (!pcd || extents_unset(pcd)) {
      REPORT_ERROR(4, "Bad pcddata hiy in drawtupl()!");
    } else {
      if (max_hiy(pcd) != EXTENT_HIGH_START) hi = int32_t((int64_t(hi) + max_hiy(pcd)) / 2);
      if (min_loy(pcd) != EXTENT_LOW_START) lo = int32_t((int64_t(lo) + min_loy(pcd)) / 2);
    }
    x = int32_t((int64_t(x) + note_ntdata(before)->get(xhdx)) / 2);
  }
  int32_t y;
  if (side == 2) {
    y = std::max(hi, staff_top_y(mp, 0)) +
        param_length(P_SPACE_LEFT_BETWEEN_NOTE_AND_TUPLET_NUMBER, note);
    set_max_hiy(cd, stem, y + param_length(P_SPACE_GIVEN_FOR_HEIGHT_OF_TUPLET_NUMBER, note));
  } else {
    y = std::min(lo, staff_bottom_y(mp, 0)) -
        (param_length(P_SPACE_LEFT_BETWEEN_NOTE_AND_TUPLET_NUMBER, note) +
         param_length(P_SPACE_GIVEN_FOR_HEIGHT_OF_TUPLET_NUMBER, note));
    set_min_loy(cd, stem, y);
  }
  x += tuplet_number_xoffset(note, stem, side == stem);
  char text[8];
  std::snprintf(text, sizeof text, "%hd", short(note->get(xtupl)));
  ParamValue font;
  scaled_char_param(&font, P_FONT_INFORMATION_FOR_TUPLET_NUMBERS, note, nullptr);
  const int32_t width = param_string_width(font, text);
  GEstring(0, x - width / 2 + font.x(), y + font.y(), 0, 0, mp, font_from_code(font.font()),
           font.bytes[2], font.size(), font.style(), 0, text, 0, VAR_TUPLET, note, NIL);
}

void draw_marks_always(Drosa note, int pstaff, int flag) {
  Drosa nt = note_ntdata(note);
  if (!nt) return;
  if (!last_on_stem(nt)) {
    REPORT_ERROR(4, "warning: calling draw_marks_always for note which is not last on stem");
    return;
  }
  if (note->get(xstacc)) place_marks(note, P_STACCATO_MARK, pstaff);
  if (note->get(xtenu)) place_marks(note, P_TENUTO_MARK, pstaff);
  if (note->get(xtupl) != 1) drawtupl(note, pstaff, flag, 0);
}

void draw_marks_sometimes(Drosa note, int pstaff, int flag) {
  Drosa nt = note_ntdata(note);
  if (!nt) return;
  if (!last_on_stem(nt)) {
    REPORT_ERROR(4, "warning: calling draw_marks_sometimes for note which is not last on stem");
    return;
  }
  // Most chords have neither: their chord record is not looked for.
  const bool fermata = note->get(xferm), accent = note->get(xaccent) && !note->get(xrest);
  Drosa cd = fermata || accent ? cddatptr(note, 1) : NIL;
  if (cd && fermata) {
    const int side = shares_staff(cd) ? nt->get(xstmdir) : 2;
    place_outside(note, nt, cd, pstaff, side, P_FERMATA_ABOVE_NOTE, P_FERMATA_BELOW_NOTE,
                  P_SPACE_LEFT_BETWEEN_FERMATA_ORNAMENT_AND_NOTE,
                  P_SPACE_GIVEN_FOR_HEIGHT_OF_FERMATA_ORNAMENT, VAR_FERMATA);
  }
  if (cd && accent) {
    const int flat = note->get(xaccent) == 1;
    place_outside(note, nt, cd, pstaff, mark_side(nt, cd),
                  flat ? P_ACCENT_HORIZONTAL : P_ACCENT_ABOVE,
                  flat ? P_ACCENT_HORIZONTAL : P_ACCENT_BELOW, P_SPACE_LEFT_BETWEEN_ACCENT_AND_NOTE,
                  P_SPACE_GIVEN_FOR_HEIGHT_OF_ACCENT, VAR_ACCENT);
  }
  if (note->get(xtupl) != 1) drawtupl(note, pstaff, !flag, 1);
}
