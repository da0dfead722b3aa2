// port.h: drawing ports: offscreen buffers, window contents and dialog backgrounds, drawn
// with a pen (size, pattern, colour, transfer mode) and text by font number, size and face.
//
// Drawing always goes to the current port. Coordinates are pixels with y growing downward.
// Exclusive-or drawing done twice restores every pixel exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"

struct Port;

// 16 bits per channel, 0..65535.
struct RgbColour {
  uint16_t red = 0, green = 0, blue = 0;
  friend bool operator==(const RgbColour&, const RgbColour&) = default;
};
inline constexpr RgbColour COLOUR_BLACK{0, 0, 0};
inline constexpr RgbColour COLOUR_WHITE{65535, 65535, 65535};

// An 8 x 8 pattern: bit 7 of row 0 is the top-left pixel; a set bit is drawn in the pen
// (foreground) colour, a clear bit in the background colour.
struct Pattern {
  uint8_t rows[8];
};
inline constexpr Pattern PATTERN_BLACK{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
inline constexpr Pattern PATTERN_WHITE{{0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr Pattern PATTERN_GRAY{{0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55}};
inline constexpr Pattern PATTERN_LIGHT_GRAY{{0x88, 0x22, 0x88, 0x22, 0x88, 0x22, 0x88, 0x22}};
inline constexpr Pattern PATTERN_DARK_GRAY{{0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD, 0x77, 0xDD}};

// Transfer modes. The source modes apply to text and copied images, the pattern modes to
// lines and shapes. Or draws only the set bits; exclusive-or inverts the destination under
// the set bits; bit-clear paints the background colour under the set bits.
enum TransferMode : int16_t {
  MODE_COPY = 0,
  MODE_OR = 1,
  MODE_XOR = 2,
  MODE_BIC = 3,
  MODE_PAT_COPY = 8,
  MODE_PAT_OR = 9,
  MODE_PAT_XOR = 10,
  MODE_PAT_BIC = 11,
};

// Text face bits.
enum TextFace : uint8_t {
  FACE_PLAIN = 0,
  FACE_BOLD = 1,
  FACE_ITALIC = 2,
  FACE_UNDERLINE = 4,
  FACE_OUTLINE = 8,
  FACE_SHADOW = 16,
  FACE_CONDENSE = 32,
  FACE_EXTEND = 64,
};

struct PenState {
  Point position;
  int width = 1, height = 1;
  Pattern pattern = PATTERN_BLACK;
  int16_t mode = MODE_PAT_COPY;
};

struct FontMetrics {
  double ascent = 0, descent = 0, leading = 0, max_width = 0;
};

// ---- Ports ----------------------------------------------------------------------------
// An offscreen buffer of the given size in pixels, cleared to white; nullptr on failure.
Port* port_new_offscreen(int width, int height);
// An offscreen port that draws into the caller's buffer of 32-bit pixels, row_bytes apart,
// cleared to white; the buffer must outlive the port. nullptr for a size or row length that
// does not fit.
Port* port_new_offscreen_on(void* pixels, int width, int height, int row_bytes);
void port_dispose(Port* port);
Rect port_bounds(const Port* port);

// A smooth port draws text and polygons with anti-aliased edges (the page on the screen);
// ports are not smooth unless made so. A port on a printed page is never smooth. Its
// exclusive-or drawing is kept apart from its ink, as marks that show the pixels under them
// inverted: ink drawn while a pixel is marked stays under the mark, marking twice takes the
// mark away whatever came in between, and erasing a pixel takes its mark.
// Making a port smooth (or not) clears its marks.
void port_set_smooth(Port* port, bool smooth);
bool port_smooth(const Port* port);

void platform_set_port(Port* port);
Port* platform_current_port();

// The colour of one pixel as 0xRRGGBB (tests look at what was drawn).
uint32_t port_pixel(const Port* port, int x, int y);
// Every pixel, row by row.
std::vector<uint32_t> port_pixels(const Port* port);
// Writes the port as a PNG file (for looking at it); false on failure.
bool port_save_png(const Port* port, const char* path);
// An offscreen port holding an image file's pixels (tests compare pages rendered elsewhere);
// nullptr when the file cannot be read.
Port* port_load_image(const char* path);

// Copies a rectangle of one port into a rectangle of another (scaled when the sizes differ)
// with a source transfer mode; the destination is then redrawn where it is shown.
void port_copy(const Port* source, Port* destination, Rect from, Rect to, int16_t mode);

// ---- The pen and colours of the current port ------------------------------------------
void pen_normal();  // 1 x 1, black pattern, pattern copy
void pen_size(int width, int height);
void pen_mode(int16_t mode);
void pen_pattern(const Pattern& pattern);
PenState get_pen_state();
void set_pen_state(const PenState& state);
void fore_colour(RgbColour colour);
void back_colour(RgbColour colour);
RgbColour get_fore_colour();
RgbColour get_back_colour();

// Drawing is clipped to this rectangle (the whole port by default).
void clip_rect(Rect clip);
Rect get_clip();

// ---- Lines and shapes -----------------------------------------------------------------
void move_to(int x, int y);
void move_by(int dx, int dy);
// A line from the pen position to (x, y), drawn with the pen's size below and right of the
// path; the pen ends at (x, y).
void line_to(int x, int y);
void line_by(int dx, int dy);
Point pen_position();

void frame_rect(Rect r);                         // the outline, with the pen
void paint_rect(Rect r);                         // filled with the pen's pattern and mode
void erase_rect(Rect r);                         // filled with the background colour
void invert_rect(Rect r);                        // every pixel inverted
void fill_rect(Rect r, const Pattern& pattern);  // pattern copy, whatever the pen's mode
// A convex polygon of 3 to 8 corners filled with the pen's pattern and mode; on a smooth port
// its edges are anti-aliased.
void fill_polygon(const PointF* points, int count);
// On a port on a printed page, the closed outline of two cubic Bezier curves, each given by
// its start, two control points and end, the first's end joined to the second's start and the
// second's end to the first's start by straight edges, filled with the pen's pattern and mode
// as one shape; true. Other ports draw nothing and return false: their callers draw the curve
// in pieces of whole pixels.
bool fill_curved_outline(const PointF* first, const PointF* second);
void frame_oval(Rect r);
void paint_oval(Rect r);
void invert_oval(Rect r);

// ---- Text -----------------------------------------------------------------------------
// Text is 8-bit Mac OS Roman, except in the Symbol font (its own byte codes) and the music
// fonts (glyph codes). Font number 0 is the system font.
void text_font(int font_number);
void text_size(int size);  // points; 0 is the font's default size (12)
void text_face(int face);  // TextFace bits
void text_mode(int16_t mode);
int current_text_font();
int current_text_size();
int current_text_face();

// Draws the bytes from the pen position (the baseline's left end) and advances the pen.
void draw_text(const char* bytes, int length);
void draw_string(const std::string& bytes);
void draw_char(uint8_t c);
// Widths in pixels as the current font, size and face would draw them; works without a
// window.
double text_width(const char* bytes, int length);
double string_width(const std::string& bytes);
double char_width(uint8_t c);
FontMetrics get_font_metrics();
// The box the glyphs of the bytes cover, drawn in the current font, size and face with the
// pen at (0, 0) on the base line (pixels, y downward); empty when they cover nothing.
Rect text_ink_box(const char* bytes, int length);
