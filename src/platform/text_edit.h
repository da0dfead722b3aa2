// text_edit.h: a styled text record edited in place: 8-bit Mac OS Roman text whose every
// character has a font number, face and pixel size, a selection (a caret when empty), a typing
// style, lines broken at carriage returns and line feeds, drawing into a port with a blinking
// caret, and cut, copy and paste through the system clipboard with the styles kept for text
// that this program put there.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"

struct Port;

struct TextStyle {
  int font = 20;  // platform font number
  int face = 0;   // face bits: 1 bold, 2 italic, 4 underline
  int size = 12;  // pixels
  bool operator==(const TextStyle&) const = default;
};

// The style modes of te_set_style.
inline constexpr int TE_FONT = 1, TE_FACE = 2, TE_SIZE = 4, TE_ALL = 7;

struct TextRecord {
  std::string text;               // Mac OS Roman
  std::vector<TextStyle> styles;  // one per character of text
  TextStyle typing;               // the style of what is typed at an empty selection
  int sel_start = 0, sel_end = 0;
  Rect dest;  // where the text stands, in its port's pixels
  Rect view;  // what may be drawn of it
  bool active = false;
  bool caret_shown = false;
  uint32_t caret_tick = 0;
};

TextRecord* te_style_new(Rect dest, Rect view, const TextStyle& style);
void te_dispose(TextRecord* te);

// te_key: a typed character (Mac OS Roman) replaces the selection; Backspace (8) deletes the
// selection or the character before the caret, Delete (127) the one after it; the arrows
// (28..31) move the caret by a character or a line.
void te_key(TextRecord* te, uint8_t c);
// te_insert: text in a style (null: the typing style) replaces the selection; the caret
// follows it.
void te_insert(TextRecord* te, const std::string& text, const TextStyle* style);
void te_delete(TextRecord* te);
void te_set_select(TextRecord* te, int start, int end);
// te_set_style: the parts of the style that mode names, to the selection (and to the typing
// style); a face of 0 makes the selection plain.
void te_set_style(TextRecord* te, int mode, const TextStyle& style);
// The style of the character at an offset (the typing style past the end of an empty text).
TextStyle te_style_at(const TextRecord* te, int offset);

// Geometry, in the record's port (measured in the port given, or the current one).
// The point of the baseline at an offset; the offset nearest a point; the width of the text's
// widest line and the height of its lines; the ascent and descent of its first line.
Point te_point_of(const TextRecord* te, int offset);
int te_offset_at(const TextRecord* te, Point where);
int te_text_width(const TextRecord* te);
int te_line_height(const TextRecord* te, int* ascent, int* descent);
// te_click: a click at a point places the caret there, or with extend stretches the selection.
void te_click(TextRecord* te, Point where, bool extend);

// te_draw: draws the text in its styles into the current port, the selection inverted and the
// caret while it shows.
void te_draw(const TextRecord* te);
// te_idle: the caret's blink; true when it changed (the caller draws again).
bool te_idle(TextRecord* te, uint32_t now, uint32_t caret_ticks);
void te_activate(TextRecord* te, bool on);

// The clipboard: the selection as UTF-8 text, its styles kept for a paste of the same text.
// te_paste gives false when the clipboard's text holds a character Mac OS Roman cannot hold
// (that character in *refused, UTF-8), and pastes nothing.
void te_copy(TextRecord* te);
void te_cut(TextRecord* te);
bool te_paste(TextRecord* te, std::string* refused);
// The clipboard holds styled text put there by a record.
bool te_clipboard_styled();
