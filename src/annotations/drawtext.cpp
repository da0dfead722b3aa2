// drawtext.cpp: one text or line annotation turned into graphics elements, and the measuring,
// trimming and clipping they share.
//
// A text is placed at its reference point plus its offsets, moved left by its width when
// right-aligned and by half of it when centred; its PDATA keeps where it went (the base
// line's left and right ends). Lyrics carry their own marks: a final "-" is a hyphen that the
// hyphen pass centres between the syllables, a leading or trailing "_" an underline extender
// drawn to the next syllable; neither is drawn as a character.
//
// Design notes:
//  - Measuring uses each run's point size (scaled to the note's staff) in page units, ten to
//    a point, whatever the zoom: the screen and print lay the page out alike.
//  - Page units, y upward; an annotation's offsets count the same way.
#include "annotations/drawtext.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "annotations/anno_codes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_refloc.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_shapes.h"
#include "annotations/drawanno.h"
#include "annotations/fret_grid.h"
#include "annotations/hidden_text.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/glyph_map.h"
#include "platform/port.h"

namespace {

constexpr int NODRAW = 2;
constexpr int RIGHT = 2;  // xjustified: 0 left, 2 right, 1 and 3 centred
constexpr int FACE_UNDERLINE_BIT = 4;
constexpr int MARKER_Y = 30, MARKER_HIDDEN_DASH = 1, MARKER_HIDDEN_GAP = 2;
constexpr int MARKER_MOVED_DASH = 5, MARKER_MOVED_GAP = 1;
constexpr int CLIP_X = 80, CLIP_Y = 50;
constexpr int NO_LEFT = 2100000000;
constexpr int FINGERING_CLASS = 8;
constexpr int LYRIC_CLASS = 5;

bool music_font(int code) { return code == -1 || code == -2; }
bool any_music_font(int code) { return code >= -3 && code <= -1; }

int32_t clamp_i32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The printed staff of a note drawn on the neighbouring staff, kept on the page.
int cross_staff(Drosa note, int pstaff) {
  Drosa nt = note_ntdata(note);
  if (nt && nt->get(xother_staff)) pstaff += nt->get(xstmdir) == 2 ? -1 : 1;
  return std::clamp(pstaff, 0, std::max(0, std::min<int>(pstaff_count, MAX_PSTAVES) - 1));
}

Drosa pdata_of(Drosa head) {
  Drosa p = head ? head->xnext : NIL;
  return p && p->xkind == PDATA ? p : NIL;
}

// ---- Measuring ----------------------------------------------------------------------------------

// The font, point size (scaled for the note's staff) and face a run is measured and drawn in.
struct RunFont {
  int font, size, face;
  uint64_t key() const {
    return (uint64_t(uint32_t(font)) << 32) | (uint64_t(size & 0xFFFF) << 16) | uint64_t(face);
  }
};

RunFont run_font(Drosa note, Drosa head, Drosa run) {
  return {font_from_code(run->get(xtextfont)), std::max(1, note_text_offset(note, head, run)),
          run->get(xtextface)};
}

// Measures in the measuring port in the run's font, its own text state put back after.
template <typename Measure>
auto in_measuring_port(const RunFont& f, Measure measure) {
  Port* saved = platform_current_port();
  platform_set_port(offscreen_port());
  const int font = current_text_font(), size = current_text_size(), face = current_text_face();
  text_font(f.font);
  text_size(f.size);
  text_face(f.face);
  auto result = measure();
  text_font(font);
  text_size(size);
  text_face(face);
  platform_set_port(saved);
  return result;
}

int16_t units(double points) {
  return int16_t(std::clamp<double>(points * 10 + 0.5, 0, INT16_MAX));
}

constexpr size_t MOST_CACHED = 50000;

const FontMetrics& font_metrics_of(const RunFont& f) {
  auto& cache = anno_measure_cache.metrics;
  auto found = cache.find(f.key());
  if (found != cache.end()) return found->second;
  if (cache.size() > MOST_CACHED) cache.clear();
  return cache[f.key()] = in_measuring_port(f, [] { return get_font_metrics(); });
}

// The width of a text in points.
double width_of(const RunFont& f, std::string_view text) {
  if (text.empty()) return 0;
  // The key is the font's three numbers and the text; a short one is put together in place.
  char in_place[128];
  std::string long_key;
  std::string_view key;
  if (sizeof f + text.size() <= sizeof in_place) {
    std::memcpy(in_place, &f, sizeof f);
    std::memcpy(in_place + sizeof f, text.data(), text.size());
    key = std::string_view(in_place, sizeof f + text.size());
  } else {
    long_key.assign(reinterpret_cast<const char*>(&f), sizeof f);
    long_key.append(text);
    key = long_key;
  }
  auto& cache = anno_measure_cache.widths;
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  if (cache.size() > MOST_CACHED) cache.clear();
  const double width =
      in_measuring_port(f, [&] { return text_width(text.data(), int(text.size())); });
  cache.emplace(std::string(key), width);
  return width;
}

struct RunPiece {
  Drosa run;
  std::string text;
  Drosa style = NIL;  // the run whose font, size and face it is drawn in, when not its own
  Drosa styled() const { return style ? style : run; }
};

// The letters of a compound dynamic ("sfz", "fz", "rf"), kept in a text font beside the music
// font's f, are drawn as the music font's own dynamic letters, in the f's font and size: the s,
// z and r of a text font stood thin and upright beside the music font's heavy f.
void dynamic_letters_as_glyphs(Drosa head, std::vector<RunPiece>& runs) {
  // The runs are looked at first: most texts of several runs (a chord symbol's) have no run in
  // the music font, and reading the dynamic costs more.
  Drosa glyphs = NIL;
  for (const RunPiece& r : runs)
    if (!glyphs && any_music_font(r.run->get(xtextfont))) glyphs = r.run;
  if (!glyphs) return;
  const int index = dynamic_index(NIL, head, nullptr);
  if (index < 10 || index > 19) return;
  const int font = font_from_code(glyphs->get(xtextfont));
  for (RunPiece& r : runs) {
    if (any_music_font(r.run->get(xtextfont)) || r.text.empty()) continue;
    std::string drawn;
    for (char c : r.text) {
      const char* name = c == 's'   ? "dynamicSforzando"
                         : c == 'z' ? "dynamicZ"
                         : c == 'r' ? "dynamicRinforzando"
                                    : nullptr;
      const int code = name ? music_font_code(font, name) : -1;
      if (code < 0) break;
      drawn.push_back(char(code));
    }
    if (drawn.size() != r.text.size()) continue;
    r.text = drawn;
    r.style = glyphs;
  }
}

// The runs of an annotation with the texts drawn: the hyphen of a single run and the
// extender marks taken off, the flags set in m.
std::vector<RunPiece> drawn_runs(Drosa head, AnnoTextMeasure* m) {
  std::vector<RunPiece> runs;
  for (Drosa run = head; run; run = next_style_run(run)) runs.push_back({run, anno_run_text(run)});
  if (runs.size() == 1 && centred_hyphen_text(head, runs[0].text)) {
    m->hyphen = true;
    runs[0].text.pop_back();
  }
  if (head->get(xfing)) return runs;
  if (runs.size() > 1) dynamic_letters_as_glyphs(head, runs);
  for (RunPiece& r : runs) {
    bool lead = false, trail = false;
    trim_text_underscores(head, r.run, &r.text, &lead, &trail);
    m->leading_extender |= lead;
    m->trailing_extender |= trail;
  }
  // A syllable that goes on in its word through a melisma ("Pa-_") is hyphenated to the next
  // syllable across the notes between, and not underlined.
  if (runs.size() == 1 && m->trailing_extender && !m->hyphen &&
      centred_hyphen_text(head, runs[0].text)) {
    m->hyphen = true;
    m->trailing_extender = false;
    runs[0].text.pop_back();
  }
  return runs;
}

}  // namespace

// ---- Text -----------------------------------------------------------------------------------

std::string anno_run_text(Drosa tparam, int limit) {
  std::string text;
  if (!tparam) return text;
  limit = std::min(limit, ANNO_RUN_TEXT_LIMIT);
  Drosa p = tparam->xnext;
  if (p && p->xkind == PDATA) p = p->xnext;
  const size_t most = size_t(std::max(limit, 0));
  // Each node's text is read in place, without a copy of its own.
  for (; p && effective_kind(p) == TEXT && text.size() < most; p = p->xnext) {
    const std::string_view bytes = p->view(xtext);
    const size_t length = std::min(bytes.size(), most - text.size());
    const size_t from = text.size();
    text.resize(from + length);
    for (size_t i = 0; i < length; ++i) {
      const uint8_t c = uint8_t(bytes[i]);
      text[from + i] = c < 32 && c != 10 && c != 13 ? ' ' : char(c);
    }
  }
  return text;
}

int get_anno_text(char* buffer, int size, Drosa tparam) {
  if (!buffer || size <= 0) return 0;
  const std::string text = anno_run_text(tparam);
  const int length = std::min<int>(int(text.size()), size - 1);
  std::memcpy(buffer, text.data(), size_t(length));
  buffer[length] = 0;
  return length;
}

void trim_text_underscores(Drosa head, Drosa run, std::string* text, bool* lead, bool* trail) {
  if (head->get(xkeep_underline) || head->get(xpagemargin)) return;
  if (any_music_font(run->get(xtextfont))) return;
  if (run == head && !text->empty() && (*text)[0] == '_') {
    const size_t from = text->find_first_not_of(' ', 1);
    text->erase(0, from == std::string::npos ? text->size() : from);
    *lead = true;
  }
  if (!next_style_run(run) && !text->empty() && text->back() == '_') {
    text->pop_back();
    while (!text->empty() && text->back() == ' ') text->pop_back();
    *trail = true;
  }
}

bool centred_hyphen_text(Drosa head, const std::string& text) {
  return !text.empty() && text.back() == '-' && !next_style_run(head) && !head->get(xkeep_hyphen) &&
         !head->get(xpagemargin) && !music_font(head->get(xtextfont));
}

namespace {

// How far the pen moves past the runs' widths as they are drawn one after another: a run with
// a horizontal offset, or another vertical one, is drawn moved by its offset (by the run
// before's when it has none).
int32_t run_offsets(Drosa head, const std::vector<RunPiece>& runs) {
  int64_t moved = 0;
  int dx = head->get(xexpand), dy = head->get(xsuper);
  for (const RunPiece& r : runs) {
    if (r.run == head || r.text.empty()) continue;
    const int run_dx = r.run->get(xexpand), run_dy = r.run->get(xsuper);
    if (run_dx != 0 || run_dy != dy) moved += run_dx ? run_dx : dx;
    dx = run_dx;
    dy = run_dy;
  }
  return clamp_i32(moved);
}

}  // namespace

int32_t anno_string_width(Drosa note, Drosa head, Drosa run, const std::string& text) {
  return clamp_i32(std::llround(width_of(run_font(note, head, run), text) * 10));
}

int32_t measure_anno_text(Drosa note, Drosa tparam, AnnoTextMeasure* out) {
  AnnoTextMeasure m;
  if (tparam && tparam->xkind == TPARAM) {
    const bool vertical = tparam->get(xfing);
    const std::vector<RunPiece> runs = drawn_runs(tparam, &m);
    int feeds = 0, returns = 0;
    double line = 0, widest = 0;
    for (const RunPiece& r : runs) {
      const RunFont f = run_font(note, tparam, r.styled());
      const FontMetrics& metrics = font_metrics_of(f);
      m.ascent = std::max(m.ascent, units(metrics.ascent));
      m.descent = std::max(m.descent, units(metrics.descent));
      m.leading = std::max(m.leading, units(metrics.leading));
      m.max_size = std::max<int16_t>(m.max_size, r.styled()->get(xtextsize));
      m.music_font |= music_font(r.styled()->get(xtextfont));
      if (vertical) {
        for (char c : r.text) widest = std::max(widest, width_of(f, std::string_view(&c, 1)));
        continue;
      }
      if (fret_grid_of(r.styled()->get(xtextfont), r.text, nullptr)) {
        line += fret_grid_width(f.size) / 10.0;
        continue;
      }
      size_t from = 0;
      for (size_t at = 0; at <= r.text.size(); ++at) {
        if (at < r.text.size() && r.text[at] != '\n' && r.text[at] != '\r') continue;
        line += width_of(f, std::string_view(r.text).substr(from, at - from));
        if (at < r.text.size()) {
          feeds += r.text[at] == '\n';
          returns += r.text[at] == '\r';
          widest = std::max(widest, line);
          line = 0;
        }
        from = at + 1;
      }
      if (&r == &runs.back()) m.pad = units(width_of(f, m.hyphen ? "-" : " "));
    }
    widest = std::max(widest, line);
    m.width = clamp_i32(std::llround(widest * 10));
    m.line_count = int16_t(feeds ? feeds + 1 : -returns);
    if (m.line_count == 0 && !vertical) m.offsets = run_offsets(tparam, runs);
  }
  if (out) *out = m;
  return m.width;
}

// ---- Placing --------------------------------------------------------------------------------

namespace {
int32_t lowered_at_paper_top[MAX_PSTAVES];
}  // namespace

int32_t anno_lowered_at_paper_top(int pstaff) {
  return pstaff >= 0 && pstaff < MAX_PSTAVES ? lowered_at_paper_top[pstaff] : 0;
}

void clear_anno_lowered_at_paper_top() {
  std::fill(std::begin(lowered_at_paper_top), std::end(lowered_at_paper_top), 0);
}

namespace {
std::vector<AnnoBox> footer_boxes;
}  // namespace

const std::vector<AnnoBox>& anno_footer_boxes() { return footer_boxes; }
void clear_anno_footer_boxes() { footer_boxes.clear(); }

int clip_anno_line(Drosa anno) {
  Drosa pd = pdata_of(anno);
  if (!pd) return 0;
  const int64_t x1 = pd->get(xpagex1), x2 = pd->get(xpagex2);
  const int64_t y1 = pd->get(xpagey1), y2 = pd->get(xpagey2);
  const int64_t min_x = std::min(x1, x2), max_x = std::max(x1, x2);
  const int64_t min_y = std::min(y1, y2), max_y = std::max(y1, y2);
  const int64_t left = layout_page_left_x(), right = left + layout_page_width();
  const int64_t top = layout_page_height();
  int64_t dx = 0, dy = 0;
  // A text comes back whole, its near end CLIP_X inside the edge (a text cut by the edge
  // cannot be read); a line with its far end so far inside.
  const bool text = anno->xkind == TPARAM && max_x - min_x < right - left - 2 * CLIP_X;
  if (min_x < left && max_x < left + CLIP_X)
    dx = left + CLIP_X - (text ? min_x : max_x);
  else if (max_x > right && min_x > right - CLIP_X)
    dx = right - CLIP_X - (text ? max_x : min_x);
  if (anno->xkind == TPARAM && min_y < 0)
    dy = CLIP_Y - min_y;
  else if (min_y < 0 && max_y < CLIP_Y)
    dy = CLIP_Y - max_y;
  else if (max_y > top && min_y > top - CLIP_Y)
    dy = top - CLIP_Y - min_y;
  if (!dx && !dy) return 0;
  const int pstaff = pd->get(xy1pstaff);
  if (dy < 0 && pstaff >= 0 && pstaff < MAX_PSTAVES)
    lowered_at_paper_top[pstaff] = clamp_i32(std::max<int64_t>(lowered_at_paper_top[pstaff], -dy));
  pd->set(xpagex1, clamp_i32(x1 + dx));
  pd->set(xpagex2, clamp_i32(x2 + dx));
  pd->set(xpagey1, clamp_i32(y1 + dy));
  pd->set(xpagey2, clamp_i32(y2 + dy));
  return 1;
}

// ---- Drawing a text -------------------------------------------------------------------------

namespace {

// Where a text is drawn: the base line's left end and its width.
struct TextPlace {
  int32_t x1 = 0, y1 = 0, width = 0;
  int pstaff = 0;
  int where = 1;
  bool moved = false;
};

void set_page_rect(Drosa pd, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  pd->set(xpagex1, x1);
  pd->set(xpagey1, y1);
  pd->set(xpagex2, x2);
  pd->set(xpagey2, y2);
}

void set_not_drawn(Drosa pd) {
  if (pd) set_page_rect(pd, NOT_DRAWN, NOT_DRAWN, NOT_DRAWN, NOT_DRAWN);
}

// Steps 5 to 8: the text's place, written into its PDATA and kept on the page.
TextPlace place_text(Drosa tparam, Drosa note, int pstaff, const AnnoTextMeasure& m) {
  TextPlace t;
  t.pstaff = pstaff;
  t.width = m.width;
  int32_t rx = 0, ry = 0;
  anno_refloc(note, tparam, &rx, &ry, pstaff + 1);
  int64_t x = int64_t(rx) + tparam->get(xtextx);
  int64_t y = int64_t(ry) + adjusted_texty(note, tparam);
  // A syllable stands on its lyric line.
  if (const auto line = lyric_line_y.find(tparam.handle()); line != lyric_line_y.end())
    y = line->second;
  const int justified = tparam->get(xjustified);
  if (justified == RIGHT)
    x -= m.width;
  else if (justified != 0)
    x -= m.width / 2;
  if (m.leading_extender && !m.trailing_extender)
    x += param_length(P_RIGHT_END_OF_UNDERLINE_EXTENDS_THIS_FAR_UNDER_ENDING_NOTE, note) +
         param_length(P_X_OFFSET_FROM_END_OF_UNDERLINE_TO_PUNCTUATION, note);
  // A text that would run past the paper's side (a direction at the last note of a full
  // system, a word before the first note of one) comes back onto it, whole.
  // (One wholly off the paper is clip_anno_line's, which marks it moved.)
  // A text that follows its note (a direction at the last note of a system) ends at the
  // system's right end at the latest, as the music does.
  if (!tparam->get(xpagemargin) && !tparam->get(xfooter)) {
    const int64_t staff_right = staff_right_x(pstaff, current_page);
    if (x < staff_right && x + m.width > staff_right)
      x = std::max<int64_t>(staff_right - m.width, staff_left_x(pstaff, current_page));
  }
  const int64_t page_left = layout_page_left_x(), page_right = page_left + layout_page_width();
  if (x < page_right && x + m.width > page_right)
    x = std::max<int64_t>(page_right - m.width, page_left);
  else if (x < page_left && x + m.width > page_left)
    x = page_left;
  t.x1 = clamp_i32(x);
  t.y1 = clamp_i32(y);
  Drosa pd = pdata_of(tparam);
  if (!pd) return t;
  set_page_rect(pd, t.x1, t.y1, clamp_i32(x + m.width), t.y1);
  pd->set(xy1pstaff, int8_t(pstaff));
  pd->set(xy2pstaff, int8_t(pstaff));
  t.moved = clip_anno_line(tparam);
  t.x1 = pd->get(xpagex1);
  t.y1 = pd->get(xpagey1);
  if (m.hyphen) anno_hyphens_pending = 1;
  pd->set(xchyphen, m.hyphen ? m.pad : 0);
  return t;
}

Drosa line_element(Drosa tparam, Drosa note, const TextPlace& t, int32_t x1, int32_t y1, int32_t x2,
                   int32_t y2, int width, int drawmode, int dash, int gap, int where) {
  return GEline(drawmode, x1, y1, t.pstaff, 0, x2, y2, t.pstaff, 0, width, dash, gap, 0, 0, 0, 0,
                tparam->get(xtext_color), where, note);
}

// Step 11: the screen's mark of hidden or moved text: a white band behind it and a dashed
// line under it.
void draw_marker(Drosa tparam, Drosa note, const TextPlace& t) {
  const int32_t y = t.y1 - MARKER_Y, x2 = clamp_i32(int64_t(t.x1) + t.width);
  line_element(tparam, note, t, t.x1, y, x2, y, tparam->get(xtextsize) * 10, BICMODE, 0, 0,
               GANNO_SCREEN_ONLY);
  line_element(tparam, note, t, t.x1, y, x2, y, 1, tparam->get(xtext_drawmode),
               t.moved ? MARKER_MOVED_DASH : MARKER_HIDDEN_DASH,
               t.moved ? MARKER_MOVED_GAP : MARKER_HIDDEN_GAP, GANNO_SCREEN_ONLY);
}

// Step 12: a fingering records its chord's notes in the free tail of its first TEXT node,
// never at or before the text's terminating 0.
void record_fingered_notes(Drosa tparam, Drosa note) {
  Drosa text = tparam->xnext;
  if (text && text->xkind == PDATA) text = text->xnext;
  if (!text || text->xkind != TEXT) return;
  const int length = int(text->get(xtext).size());
  const int room = TEXT_NODE_CHARS - 1 - length;
  if (room <= 0) return;
  Drosa first = NIL, last = NIL;
  chord_extent(note, &first, &last);
  if (!first || !last) return;
  int position = TEXT_NODE_CHARS;  // the 22nd character position
  int written = 0;
  for (Drosa n = last; n && written < room; n = n == first ? NIL : chain_prev(n), ++written) {
    Drosa nt = note_ntdata(n);
    const int kind = nt ? nt->get(xtabtyp) : 0, string = nt ? nt->get(xtabstr) : 0;
    const int offset = xtext.offset + position--;
    if (kind && string)
      set_node_byte(text, offset, uint8_t(string));
    else if (!kind)
      set_node_byte(text, offset, node_byte(n, 22));
  }
}

// Step 13: the underline of a chord symbol with "Flat Underlines"; the face drawn loses its
// underline bit.
int chord_underline(Drosa tparam, Drosa note, const TextPlace& t, int where) {
  if (!tparam->get(xspec_underline) || !(tparam->get(xtextface) & FACE_UNDERLINE_BIT)) return 255;
  const int32_t y = t.y1 - param_length(P_DISTANCE_FROM_CHORD_SYMBOL_TEXT_TO_UNDERLINE, note);
  line_element(tparam, note, t, t.x1, y, clamp_i32(int64_t(t.x1) + t.width), y,
               param_length(P_WIDTH_OF_UNDERLINE_FOR_CHORD_SYMBOLS, note),
               tparam->get(xtext_drawmode), 0, 0, where);
  return 255 & ~FACE_UNDERLINE_BIT;
}

// Step 14: the box of a "Boxed" text.
void draw_box(Drosa tparam, Drosa note, const TextPlace& t, const AnnoTextMeasure& m, int where) {
  const int32_t h = param_length(P_BOXED_TEXT_X_DISTANCE_FROM_TEXT_TO_VERTICAL_BOX_LINES, note),
                v = param_length(P_BOXED_TEXT_Y_DISTANCE_FROM_TEXT_TO_HORIZONTAL_BOX_LINES, note);
  const int width = param_length(P_BOXED_TEXT_LINE_WIDTH_FOR_BOX_LINES, note);
  const int32_t left = t.x1 - h, right = clamp_i32(int64_t(t.x1) + t.width + h);
  const int32_t bottom = t.y1 - m.descent - v;
  const bool symbol_set = tparam->get(xtextfont) == -5 && tparam->get(xcharset) == 4;
  const int32_t top = symbol_set ? t.y1 + m.max_size * 10 - m.descent + v : t.y1 + m.ascent + v;
  const int join = zoom_factor > 5.0 ? 6 : 5;
  const int drawmode = tparam->get(xtext_drawmode);
  line_element(tparam, note, t, left, top, right + width - join, top, width, drawmode, 0, 0, where);
  line_element(tparam, note, t, right, top, right, bottom, width, drawmode, 0, 0, where);
  line_element(tparam, note, t, right, bottom, left, bottom, width, drawmode, 0, 0, where);
  line_element(tparam, note, t, left, bottom, left, top, width, drawmode, 0, 0, where);
}

// Step 15: the runs as text elements, the first at the text's place and the others after it.
void draw_runs(Drosa tparam, Drosa note, const TextPlace& t, int face_mask, int where) {
  AnnoTextMeasure flags;
  const std::vector<RunPiece> runs = drawn_runs(tparam, &flags);
  // Nothing is left of a text that was only an extender mark.
  if (std::all_of(runs.begin(), runs.end(), [](const RunPiece& r) { return r.text.empty(); }))
    return;
  // A fret grid is drawn as lines and dots, not as a run: the run after it starts anew at its
  // right end, so the pen is followed through the runs.
  const bool any_grid = std::any_of(runs.begin(), runs.end(), [](const RunPiece& r) {
    return fret_grid_of(r.styled()->get(xtextfont), r.text, nullptr);
  });
  int64_t pen = t.x1;
  bool after_grid = false;
  for (const RunPiece& r : runs) {
    const bool head = r.run == tparam;
    if (!head && r.text.empty()) continue;
    const int size = note_text_offset(note, tparam, r.styled());
    FretGrid grid;
    if (fret_grid_of(r.styled()->get(xtextfont), r.text, &grid)) {
      pen += r.run->get(xexpand);
      draw_fret_grid(grid, tparam, note, t.pstaff, clamp_i32(pen),
                     clamp_i32(int64_t(t.y1) + r.run->get(xsuper)), size, where);
      pen += fret_grid_width(size);
      after_grid = true;
      continue;
    }
    const bool anew = head || after_grid;
    GEstring(tparam->get(xtext_drawmode), anew ? clamp_i32(pen) : ADJACENT_TEXT,
             anew ? t.y1 : ADJACENT_TEXT, r.run->get(xexpand), r.run->get(xsuper), t.pstaff,
             font_from_code(r.styled()->get(xtextfont)), r.styled()->get(xcharset), size,
             r.styled()->get(xtextface) & face_mask, tparam->get(xtext_color), r.text.c_str(),
             tparam->get(xpslayout), where, note, tparam);
    after_grid = false;
    if (any_grid) pen += r.run->get(xexpand) + anno_string_width(note, tparam, r.styled(), r.text);
  }
}

// Step 15, lyrics: each elision of two syllables sung on one note, drawn as a blank, gets a
// small tie under it that reaches a little into the letters on either side.
void draw_elisions(Drosa tparam, Drosa note, const TextPlace& t, int where) {
  if (tparam->get(xclassify) != LYRIC_CLASS) return;
  AnnoTextMeasure flags;
  const std::vector<RunPiece> runs = drawn_runs(tparam, &flags);
  int64_t x = t.x1;
  for (const RunPiece& r : runs) {
    const std::string raw = run_text(r.run);
    std::string shown = raw;
    for (char& c : shown)
      if (uint8_t(c) < 32 && c != '\n' && c != '\r') c = ' ';
    const size_t from = r.text.empty() ? std::string::npos : shown.find(r.text);
    for (size_t at = raw.find(LYRIC_ELISION); from != std::string::npos && at != std::string::npos;
         at = raw.find(LYRIC_ELISION, at + 1)) {
      if (at < from || at >= from + r.text.size()) continue;
      const int64_t left = x + anno_string_width(note, tparam, r.run, r.text.substr(0, at - from));
      const int64_t blank = anno_string_width(note, tparam, r.run, " ");
      const int64_t em = int64_t(std::max(1, note_text_offset(note, tparam, r.run))) * 10;
      const int32_t x1 = clamp_i32(left - em / 8), x2 = clamp_i32(left + blank + em / 8);
      const int32_t y = clamp_i32(int64_t(t.y1) - em / 10), dip = clamp_i32(int64_t(y) - em / 4);
      const int32_t third = (x2 - x1) / 3;
      GEcurve(tparam->get(xtext_drawmode), x1, y, t.pstaff, x1 + third, dip, t.pstaff, x2 - third,
              dip, t.pstaff, x2, y, t.pstaff, 1, 0, 0, tparam->get(xtext_color), where, note);
    }
    x += anno_string_width(note, tparam, r.run, r.text);
  }
}

// The y at which lyrlth finds a text: its offset from the page (Position Lock), the staff's
// middle line (Vertical Lock) or the note.
int32_t lyric_line_y(Drosa tparam, Drosa note, int pstaff) {
  int64_t y = tparam->get(xtexty);
  if (!tparam->get(xfooter))
    y += tparam->get(xfromstaff) ? staff_data[pstaff].middle_y : note_ntdata(note)->get(xhdy);
  return clamp_i32(y);
}

// Where a trailing extender ends: the start of the next chord's syllable at its height in the
// layer, else that chord's head, else the system's right end. When the next chords hold only an
// extender mark there (the notes a melisma goes on over), it reaches under the last of them.
int32_t extender_end(Drosa note, int pstaff, int32_t line_y) {
  int32_t end = NO_LEFT;
  for (Drosa next = chain_next(chord_last_note(note)); next;
       next = chain_next(chord_last_note(next))) {
    int32_t left = NO_LEFT, right = -NO_LEFT;
    lyrlth(next, pstaff, line_y, &left, &right);
    if (left == NO_LEFT) return end != NO_LEFT ? end : note_ntdata(next)->get(xhdx);
    if (right != left) return end != NO_LEFT ? end : left;  // a syllable
    end = left;
  }
  return end != NO_LEFT ? end : staff_right_x(first_pstaff, current_page);
}

// Step 16: the underline extenders that carry a syllable on.
void draw_extenders(Drosa tparam, Drosa note, const TextPlace& t, const AnnoTextMeasure& m,
                    int lead_extender, int where) {
  const bool leading = lead_extender && m.leading_extender && !m.trailing_extender;
  if (!leading && !m.trailing_extender) return;
  const int32_t line_y = lyric_line_y(tparam, note, t.pstaff);
  int32_t a = NO_LEFT, b = -NO_LEFT;
  lyrlth(note, t.pstaff, line_y, &a, &b);
  if (a == NO_LEFT) {
    a = t.x1;
    b = clamp_i32(int64_t(a) + m.pad);
  }
  const int32_t p365 = param_length(P_X_OFFSET_FROM_END_OF_UNDERLINE_TO_PUNCTUATION, note);
  const int32_t y = t.y1 + param_length(P_Y_OFFSET_FROM_TEXT_TO_UNDERLINE, note);
  const int width = param_length(P_LINE_WIDTH_OF_EXTENDED_UNDERLINE, note);
  const int drawmode = tparam->get(xtext_drawmode);
  if (leading) {
    const int32_t from = a - p365 - param_length(P_LENGTH_OF_UNDERLINE_ONTO_SYSTEM, note);
    line_element(tparam, note, t, from, y, a - p365, y, width, drawmode, 0, 0, where);
    return;
  }
  const int32_t c = extender_end(note, t.pstaff, line_y);
  const int32_t from =
      m.leading_extender
          ? a - p365
          : clamp_i32(int64_t(b) - m.pad +
                      param_length(P_X_OFFSET_FROM_END_OF_TEXT_TO_START_OF_UNDERLINE, note));
  const int32_t to = c - p365;
  if (to > from) line_element(tparam, note, t, from, y, to, y, width, drawmode, 0, 0, where);
}

}  // namespace

bool lyric_syllable(Drosa tparam, Drosa note, int pstaff, LyricSyllable* syllable,
                    int* drawn_pstaff) {
  if (!tparam || tparam->xkind != TPARAM || tparam->get(xadjacent) || tparam->get(xeocvar) ||
      tparam->get(xclassify) != LYRIC_CLASS || tparam->get(xfooter) || tparam->get(xfing) ||
      !note_ntdata(note) || hidden_text_where(tparam, note) == -1)
    return false;
  AnnoTextMeasure m;
  measure_anno_text(note, tparam, &m);
  if (m.line_count != 0) return false;
  pstaff = cross_staff(note, pstaff);
  int32_t rx = 0, ry = 0;
  anno_refloc(note, tparam, &rx, &ry, pstaff + 1);
  int64_t x = int64_t(rx) + tparam->get(xtextx);
  const int justified = tparam->get(xjustified);
  if (justified == RIGHT)
    x -= m.width;
  else if (justified != 0)
    x -= m.width / 2;
  syllable->tparam = tparam;
  syllable->left = clamp_i32(x);
  syllable->right = clamp_i32(x + m.width);
  syllable->y = clamp_i32(int64_t(ry) + adjusted_texty(note, tparam));
  syllable->ascent = m.ascent;
  syllable->descent = m.descent;
  *drawn_pstaff = pstaff;
  return true;
}

namespace {

// A text kept at a place of the page low on it is the page's footer: its box is kept.
void keep_footer_box(const TextPlace& t, const AnnoTextMeasure& m, int spacing) {
  if (int64_t(t.y1) * 4 > layout_page_height()) return;
  const int32_t lines = std::max<int32_t>(std::abs(int32_t(m.line_count)), 1);
  footer_boxes.push_back({t.x1, clamp_i32(int64_t(t.y1) - m.descent - int64_t(lines - 1) * spacing),
                          clamp_i32(int64_t(t.x1) + m.width), clamp_i32(int64_t(t.y1) + m.ascent)});
}

}  // namespace

void resolve_text_requests(Drosa tparam, Drosa note, int pstaff) {
  if (!tparam || !note_ntdata(note)) return;
  int32_t x = 0, y = 0;
  anno_refloc(note, tparam, &x, &y, cross_staff(note, pstaff) + 1);
}

Drosa drawtext(Drosa tparam, Drosa note, int pstaff, int where, int lead_extender) {
  if (!tparam || tparam->xkind != TPARAM || !note_ntdata(note)) return tparam;
  if (tparam->get(xadjacent)) {
    REPORT_ERROR(4, "drawtext has bad xadjacent text");
    return tparam;
  }
  pstaff = cross_staff(note, pstaff);
  if (where == 1) where = hidden_text_where(tparam, note);
  if (where == -1) return tparam;
  AnnoTextMeasure m;
  measure_anno_text(note, tparam, &m);
  const TextPlace t = place_text(tparam, note, pstaff, m);
  if (tparam->get(xeocvar) && !find_obj(&tparam, note)) return tparam;
  if (tparam->get(xtext_drawmode) == NODRAW) {
    set_not_drawn(pdata_of(tparam));
    if (!tparam->get(xeocvar))
      REPORT_ERROR(4, "TPARAM with NODRAW but without xeocvar in drawanno");
    return tparam;
  }
  if (tparam->get(xhidden) || t.moved) draw_marker(tparam, note, t);
  const int size = m.max_size;
  const int spacing = size * 10 + (tparam->get(xfing) ? 0 : size < 11 ? 10 : 20);
  if (tparam->get(xfooter)) keep_footer_box(t, m, spacing);
  if (m.line_count != 0 || tparam->get(xfing)) {
    layout_anno_text(tparam, note, -2, pstaff, m.line_count, spacing);
    if (tparam->get(xfing) && tparam->get(xclassify) == FINGERING_CLASS)
      record_fingered_notes(tparam, note);
    return tparam;
  }
  const int face_mask = chord_underline(tparam, note, t, where);
  if (tparam->get(xboxed)) draw_box(tparam, note, t, m, where);
  draw_runs(tparam, note, t, face_mask, where);
  draw_elisions(tparam, note, t, where);
  draw_extenders(tparam, note, t, m, lead_extender, where);
  return tparam;
}

// ---- Drawing a line -------------------------------------------------------------------------

Drosa draw_LINE(Drosa line, Drosa note, int pstaff, int where) {
  if (!line || line->xkind != LINE || !note_ntdata(note)) return line;
  pstaff = cross_staff(note, pstaff);
  int32_t rx = 0, ry = 0;
  anno_refloc(note, line, &rx, &ry, pstaff + 1);
  int64_t x1 = int64_t(rx) + line->get(xstartx), y1 = int64_t(ry) + line->get(xstarty);
  int64_t x2 = x1 + line->get(xendx), y2 = y1 + line->get(xendy);
  if (Drosa pd = pdata_of(line)) {
    set_page_rect(pd, clamp_i32(x1), clamp_i32(y1), clamp_i32(x2), clamp_i32(y2));
    pd->set(xy1pstaff, int8_t(pstaff));
    pd->set(xy2pstaff, int8_t(pstaff));
    clip_anno_line(line);
    x1 = pd->get(xpagex1), y1 = pd->get(xpagey1), x2 = pd->get(xpagex2), y2 = pd->get(xpagey2);
  }
  if (line->get(xline_eocvar) && !find_obj(&line, note)) return line;
  const int drawmode = line->get(xline_drawmode);
  if (drawmode == NODRAW) {
    set_not_drawn(pdata_of(line));
    if (!line->get(xline_eocvar))
      REPORT_ERROR(4, "LINE with NODRAW but without xeocvar in drawanno");
    return line;
  }
  const int32_t ax = clamp_i32(x1), ay = clamp_i32(y1), bx = clamp_i32(x2), by = clamp_i32(y2);
  if (line->get(xcurve)) {
    GEcurve(drawmode, ax, ay, pstaff, clamp_i32(x1 + line->get(xc1x)),
            clamp_i32(y1 + line->get(xc1y)), pstaff, clamp_i32(x1 + line->get(xc2x)),
            clamp_i32(y1 + line->get(xc2y)), pstaff, bx, by, pstaff, line->get(xfattermid),
            line->get(xdashlth), line->get(xgaplth), line->get(xline_color), where, note);
  } else if (line->get(xmetaline) == 0 && !line->get(xline_eocvar)) {
    // Brought in to its clip box, as a segment clipped at its system's end is.
    anno_line_element(line, note, pstaff, x1, y1, x2, y2, x1 + line->get(xc1x),
                      y1 + line->get(xc1y), x1 + line->get(xc2x), y1 + line->get(xc2y), where);
  } else if (line->get(xmetaline) == 0) {
    GEline(drawmode, ax, ay, pstaff, 0, bx, by, pstaff, 0, line->get(xlinewidth),
           line->get(xdashlth), line->get(xgaplth), clamp_i32(x1 + line->get(xc1x)),
           clamp_i32(y1 + line->get(xc1y)), clamp_i32(x1 + line->get(xc2x)),
           clamp_i32(y1 + line->get(xc2y)), line->get(xline_color), where, note);
  } else {
    draw_anno_graphic(line, note, -2, pstaff);
  }
  return line;
}
