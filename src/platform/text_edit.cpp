// text_edit.cpp: the styled text record edited in place.
#include "platform/text_edit.h"

#include <algorithm>

#include "platform/clipboard.h"
#include "platform/port.h"
#include "platform/text_encoding.h"

namespace {

// The styled text last copied: a paste of the same text takes its styles.
std::string scrap_text;
std::vector<TextStyle> scrap_styles;

void use_style(const TextStyle& s) {
  text_font(s.font);
  text_face(s.face);
  text_size(s.size);
}

double width_of(const TextRecord* te, int from, int to) {
  double w = 0;
  for (int i = from; i < to; ++i) {
    use_style(te->styles[i]);
    w += char_width(uint8_t(te->text[i]));
  }
  return w;
}

bool breaks(char c) { return c == '\r' || c == '\n'; }

// The lines: the offset at which each begins.
std::vector<int> line_starts(const TextRecord* te) {
  std::vector<int> starts{0};
  for (int i = 0; i < int(te->text.size()); ++i)
    if (breaks(te->text[i])) starts.push_back(i + 1);
  return starts;
}

int line_of(const std::vector<int>& starts, int offset) {
  int line = 0;
  while (line + 1 < int(starts.size()) && starts[line + 1] <= offset) ++line;
  return line;
}

int line_end(const TextRecord* te, const std::vector<int>& starts, int line) {
  return line + 1 < int(starts.size()) ? starts[line + 1] - 1 : int(te->text.size());
}

void replace_selection(TextRecord* te, const std::string& text,
                       const std::vector<TextStyle>& styles) {
  const int a = std::min(te->sel_start, te->sel_end), b = std::max(te->sel_start, te->sel_end);
  te->text.replace(size_t(a), size_t(b - a), text);
  te->styles.erase(te->styles.begin() + a, te->styles.begin() + b);
  te->styles.insert(te->styles.begin() + a, styles.begin(), styles.end());
  te->sel_start = te->sel_end = a + int(text.size());
}

}  // namespace

TextRecord* te_style_new(Rect dest, Rect view, const TextStyle& style) {
  auto* te = new TextRecord;
  te->dest = dest;
  te->view = view;
  te->typing = style;
  return te;
}

void te_dispose(TextRecord* te) { delete te; }

void te_set_select(TextRecord* te, int start, int end) {
  const int n = int(te->text.size());
  te->sel_start = std::clamp(start, 0, n);
  te->sel_end = std::clamp(end, 0, n);
  if (te->sel_start == te->sel_end && te->sel_start > 0) te->typing = te->styles[te->sel_start - 1];
}

void te_insert(TextRecord* te, const std::string& text, const TextStyle* style) {
  const TextStyle s = style ? *style : te->typing;
  replace_selection(te, text, std::vector<TextStyle>(text.size(), s));
  te->typing = s;
}

void te_delete(TextRecord* te) { replace_selection(te, {}, {}); }

void te_key(TextRecord* te, uint8_t c) {
  const int n = int(te->text.size());
  const bool empty = te->sel_start == te->sel_end;
  switch (c) {
    case 8:
      if (empty && te->sel_start > 0) --te->sel_start;
      te_delete(te);
      return;
    case 127:
      if (empty && te->sel_end < n) ++te->sel_end;
      te_delete(te);
      return;
    case 28:
    case 29: {
      const int at = c == 28 ? std::min(te->sel_start, te->sel_end) - (empty ? 1 : 0)
                             : std::max(te->sel_start, te->sel_end) + (empty ? 1 : 0);
      te_set_select(te, at, at);
      return;
    }
    case 30:
    case 31: {
      const std::vector<int> starts = line_starts(te);
      const int line = line_of(starts, te->sel_end) + (c == 30 ? -1 : 1);
      if (line < 0 || line >= int(starts.size())) return;
      const int column = te->sel_end - starts[line_of(starts, te->sel_end)];
      const int at = std::min(starts[line] + column, line_end(te, starts, line));
      te_set_select(te, at, at);
      return;
    }
    default:
      te_insert(te, std::string(1, char(c)), nullptr);
  }
}

void te_set_style(TextRecord* te, int mode, const TextStyle& style) {
  auto apply = [&](TextStyle& s) {
    if (mode & TE_FONT) s.font = style.font;
    if (mode & TE_FACE) s.face = style.face;
    if (mode & TE_SIZE) s.size = style.size;
  };
  const int a = std::min(te->sel_start, te->sel_end), b = std::max(te->sel_start, te->sel_end);
  for (int i = a; i < b; ++i) apply(te->styles[i]);
  apply(te->typing);
}

TextStyle te_style_at(const TextRecord* te, int offset) {
  if (offset >= 0 && offset < int(te->styles.size())) return te->styles[offset];
  return te->typing;
}

int te_line_height(const TextRecord* te, int* ascent, int* descent) {
  int up = 0, down = 0, lead = 0;
  auto measure = [&](const TextStyle& s) {
    use_style(s);
    const FontMetrics m = get_font_metrics();
    up = std::max(up, int(m.ascent + 0.5));
    down = std::max(down, int(m.descent + 0.5));
    lead = std::max(lead, int(m.leading + 0.5));
  };
  measure(te->typing);
  for (const TextStyle& s : te->styles) measure(s);
  if (ascent) *ascent = up;
  if (descent) *descent = down;
  return up + down + lead;
}

Point te_point_of(const TextRecord* te, int offset) {
  const std::vector<int> starts = line_starts(te);
  int ascent = 0;
  const int height = te_line_height(te, &ascent, nullptr);
  const int line = line_of(starts, offset);
  const double x = width_of(te, starts[line], std::min(offset, int(te->text.size())));
  return {te->dest.left + int(x + 0.5), te->dest.top + ascent + line * height};
}

int te_offset_at(const TextRecord* te, Point where) {
  const std::vector<int> starts = line_starts(te);
  const int height = std::max(1, te_line_height(te, nullptr, nullptr));
  const int line = std::clamp((where.y - te->dest.top) / height, 0, int(starts.size()) - 1);
  const int end = line_end(te, starts, line);
  double x = te->dest.left;
  for (int i = starts[line]; i < end; ++i) {
    const double w = width_of(te, i, i + 1);
    if (where.x < x + w / 2) return i;
    x += w;
  }
  return end;
}

int te_text_width(const TextRecord* te) {
  const std::vector<int> starts = line_starts(te);
  double widest = 0;
  for (int line = 0; line < int(starts.size()); ++line)
    widest = std::max(widest, width_of(te, starts[line], line_end(te, starts, line)));
  return int(widest + 0.5);
}

void te_click(TextRecord* te, Point where, bool extend) {
  const int at = te_offset_at(te, where);
  if (extend)
    te->sel_end = at;
  else
    te_set_select(te, at, at);
}

void te_draw(const TextRecord* te) {
  const Rect clip = get_clip();
  clip_rect(te->view);
  const std::vector<int> starts = line_starts(te);
  int ascent = 0;
  const int height = te_line_height(te, &ascent, nullptr);
  text_mode(1);  // or
  for (int line = 0; line < int(starts.size()); ++line) {
    move_to(te->dest.left, te->dest.top + ascent + line * height);
    // Each run of one style drawn whole, the pen carried on to the next.
    const int end = line_end(te, starts, line);
    for (int i = starts[line]; i < end;) {
      int j = i + 1;
      while (j < end && te->styles[j] == te->styles[i]) ++j;
      use_style(te->styles[i]);
      draw_text(te->text.data() + i, j - i);
      i = j;
    }
  }
  if (te->active) {
    const int a = std::min(te->sel_start, te->sel_end), b = std::max(te->sel_start, te->sel_end);
    int descent = 0;
    te_line_height(te, nullptr, &descent);
    if (a != b) {
      for (int i = a; i < b; ++i) {
        if (breaks(te->text[i])) continue;
        const Point p = te_point_of(te, i), q = te_point_of(te, i + 1);
        invert_rect({p.x, p.y - ascent, q.x, p.y + descent});
      }
    } else if (te->caret_shown) {
      const Point p = te_point_of(te, a);
      invert_rect({p.x, p.y - ascent, p.x + 1, p.y + descent});
    }
  }
  clip_rect(clip);
}

bool te_idle(TextRecord* te, uint32_t now, uint32_t caret_ticks) {
  if (!te->active || te->sel_start != te->sel_end) return false;
  if (now - te->caret_tick < caret_ticks) return false;
  te->caret_tick = now;
  te->caret_shown = !te->caret_shown;
  return true;
}

void te_activate(TextRecord* te, bool on) {
  te->active = on;
  te->caret_shown = on;
}

void te_copy(TextRecord* te) {
  const int a = std::min(te->sel_start, te->sel_end), b = std::max(te->sel_start, te->sel_end);
  if (a == b) return;
  scrap_text = te->text.substr(size_t(a), size_t(b - a));
  scrap_styles.assign(te->styles.begin() + a, te->styles.begin() + b);
  platform_clipboard_set_text(macroman_to_utf8(scrap_text));
}

void te_cut(TextRecord* te) {
  te_copy(te);
  te_delete(te);
}

bool te_clipboard_styled() {
  return !scrap_text.empty() && platform_clipboard_text() == macroman_to_utf8(scrap_text);
}

bool te_paste(TextRecord* te, std::string* refused) {
  const std::string utf8 = platform_clipboard_text();
  if (te_clipboard_styled()) {
    replace_selection(te, scrap_text, scrap_styles);
    return true;
  }
  std::string text;
  for (size_t i = 0; i < utf8.size();) {
    // One character of UTF-8, as the encoding tables convert it.
    size_t n = 1;
    const uint8_t lead = uint8_t(utf8[i]);
    if (lead >= 0xF0)
      n = 4;
    else if (lead >= 0xE0)
      n = 3;
    else if (lead >= 0xC0)
      n = 2;
    n = std::min(n, utf8.size() - i);
    const std::string one = utf8.substr(i, n);
    const std::string roman = utf8_to_macroman(one, 0);
    if (roman.size() != 1 || roman[0] == 0) {
      if (refused) *refused = one;
      return false;
    }
    text += roman;
    i += n;
  }
  te_insert(te, text, nullptr);
  return true;
}
