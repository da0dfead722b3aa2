// postscript.cpp: a printed page as the program's own PostScript.
//
// The page is written in blocks of PostScript through the printing session. The prolog
// defines a few procedures: a clipped line of any width (vesk, and lineq for a thin line that
// needs no clip), a filled lens-shaped curve for slurs and ties (curve) and a curve of one
// width (unicurve). Each page is first calibrated: the session's current point is taken at
// two points of the page's pixels, so that the procedures can work in layout units whatever
// the device. Line ends are snapped to the printed page's pixels as the page's port would draw
// them; texts are drawn on the port by the session, moved to their exact place by a
// translation the prolog's move operators add.
#include "graphics/postscript.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "app/app_services.h"
#include "graphics/GE.h"
#include "graphics/ge_fields.h"
#include "graphics/ge_visible.h"
#include "graphics/graphics_globals.h"
#include "graphics/plot.h"
#include "graphics/raster.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"
#include "platform/printing.h"

namespace {

constexpr int COMMENT_LINE_LAYOUT_OFF = 155;
constexpr int COMMENT_LINE_LAYOUT_ON = 156;
constexpr int32_t THIN_LINE = 10;  // widths up to this may go without their clip box

double zoom() { return zoom_factor > 0 ? zoom_factor : 10.0; }

int64_t rounded(double v) {
  return v >= 0 ? int64_t(std::floor(v + 0.5)) : -int64_t(std::floor(-v + 0.5));
}

// A point's PostScript coordinates: the pixel the page's port would draw it at, in layout
// units, y downward from the page's top.
int ps_x(int32_t x, Rect page) { return int(rounded((screen_x(x) - page.left) * zoom())); }
int ps_y(int32_t y, Rect page) { return int(rounded((screen_y(y) - page.top) * zoom())); }

// A point in the page's pixels, unrounded.
double pixel_x(int32_t x, Rect page) { return x / zoom() - page.left; }
double pixel_y(int32_t y, Rect page) { return page_pixel_height - y / zoom() - page.top; }

// The prolog's definitions, one a line.
const char* const PROLOG_STATE[] = {
    "/zerox 0 def /zeroy 0 def /scalex 1.0 def /scaley 1.0 def",
    "/xtran 0 def /ytran 0 def /minlw 2 def",
    "/setzero {currentpoint /zeroy exch def /zerox exch def} bind def",
    "/setscale {currentpoint zeroy sub 1000 div /scaley exch def zerox sub 1000 div /scalex "
    "exch def} bind def",
    "/setminlw {/minlw exch def} bind def",
    // A width narrower than minlw device pixels becomes minlw; with minlw under 2, one narrower
    // than two device pixels becomes the thinnest line.
    "/lwfix {dup 0 dtransform dup mul exch dup mul add sqrt minlw 2 ge {minlw lt {pop minlw 0 "
    "idtransform dup mul exch dup mul add sqrt} if} {2 lt {pop 0} if} ifelse} bind def",
};

const char* const PROLOG_LINES_START =
    "/vesk {20 dict begin /cy2 exch def /cx2 exch def /cy1 exch def /cx1 exch def /gr exch def "
    "/cap exch def /w exch def /dy exch def /dx exch def /y exch def /x exch def gsave 0 "
    "setlinewidth zerox zeroy translate scalex scaley scale ";
const char* const PROLOG_LINES_END =
    "x y translate newpath cx1 cy1 cx2 cx1 sub cy2 cy1 sub rectclip gr setgray cap setlinecap "
    "w lwfix setlinewidth newpath dx dy moveto 0 0 lineto stroke grestore end} bind def";

const char* const PROLOG_REST[] = {
    "/lineq {0 0 -30000 -30000 30000 30000 vesk} bind def",
    "/curve {20 dict begin /gr exch def /hy exch def /hx exch def /y1 exch def /x1 exch def "
    "/c2y exch def /c2x exch def /c1y exch def /c1x exch def /y0 exch def /x0 exch def gsave "
    "zerox zeroy translate scalex scaley scale gr setgray newpath x0 y0 moveto c1x hx sub c1y "
    "hy sub c2x hx sub c2y hy sub x1 y1 curveto c2x hx add c2y hy add c1x hx add c1y hy add x0 "
    "y0 curveto closepath clip newpath x0 y0 moveto c1x c1y c2x c2y x1 y1 curveto 500 "
    "setlinewidth stroke grestore end} bind def",
    ("/unicurve {gsave zerox zeroy translate scalex scaley scale setgray setlinewidth newpath 8 "
     "-2 roll moveto curveto stroke grestore} bind def"),
    "/tran {/ytran exch def /xtran exch def} bind def",
    "/gm {ytran add exch xtran add exch moveto} bind def",
    "/:M {ytran add exch xtran add exch moveto} bind def",
    "/isold false def",
    "/oldriver {clippath clip /erasepage {} def /copypage {} def} bind def",
};

// Sends the text in a block of its own.
void emit_in_block(const char* text) {
  ps_open_block();
  ps_emit(text);
  ps_close_block();
}

// The pen of the page's port at a pixel, for the session's current point.
void pen_at(int x, int y) { move_to(x, y); }

void draw_space_at(int x, int y) {
  pen_at(x, y);
  draw_char(' ');
  pen_at(x, y);
}

// Steps over a text run from its first node and over the adjacent runs after it; returns the
// last node of the last one.
Drosa skip_text_runs(Drosa element) { return plot_text_run(element, 1); }

void set_drawmode(int mode) {
  if (mode == ps_page.last_drawmode) return;
  ps_close_block();
  if (mode == NORMALMODE) {
    text_mode(MODE_OR);
    pen_mode(MODE_PAT_OR);
  } else if (mode == BICMODE) {
    text_mode(MODE_BIC);
    pen_mode(MODE_PAT_BIC);
  } else {
    REPORT_ERROR(4, "%s", "Bad mode in print.c");
  }
  ps_page.last_drawmode = mode;
}

// A line element: cut into its dashes when it has both a dash and a gap.
void page_line(Drosa line, Rect page) {
  ps_open_block();
  const int32_t x1 = line->get(xge_x1), y1 = line->get(xge_y1);
  const int32_t x2 = line->get(xge_x2), y2 = line->get(xge_y2);
  const int dash = line->get(xgl_dash), gap = line->get(xgl_gap);
  const double length = std::hypot(double(x2) - x1, double(y2) - y1);
  // A line without length has no direction to dash along: it is sent whole.
  if (dash == 0 || gap == 0 || length == 0) {
    ps_line(x1, y1, x2, y2, line, page);
    return;
  }
  const double period = (dash + gap) * 10.0;
  for (int k = 0; k * period < length; ++k) {
    const double from = k * period / length;
    const double to = std::min((dash * 10.0 + k * period) / length, 1.0);
    auto at = [&](int32_t a, int32_t b, double f) { return int32_t(rounded(a + (b - a) * f)); };
    ps_line(at(x1, x2, from), at(y1, y2, from), at(x1, x2, to), at(y1, y2, to), line, page);
  }
}

void page_curve(Drosa curve, Rect page) {
  ps_open_block();
  const int dash = curve->get(xgv_dash), gap = curve->get(xgv_gap);
  const bool dashed = dash != 0 && gap != 0;
  // Dash and gap are points; the curve procedures draw in the page's pixels.
  if (dashed)
    ps_emit_format("[%hd %hd] 0 setdash", short(rounded(dash * 10.0 / zoom())),
                   short(rounded(gap * 10.0 / zoom())));
  const int32_t x1 = curve->get(xge_x1), y1 = curve->get(xge_y1);
  const int32_t x2 = curve->get(xge_x2), y2 = curve->get(xge_y2);
  const double c[8] = {pixel_x(x1, page),
                       pixel_y(y1, page),
                       pixel_x(curve->get(xgv_c1x), page),
                       pixel_y(curve->get(xgv_c1y), page),
                       pixel_x(curve->get(xgv_c2x), page),
                       pixel_y(curve->get(xgv_c2y), page),
                       pixel_x(x2, page),
                       pixel_y(y2, page)};
  const short gray = curve->get(xdrawmode) == BICMODE ? 1 : 0;
  if (curve->get(xgv_fill)) {
    // The thickness goes across the curve's shorter extent.
    const double half = param_length(P_TIE_AND_SLUR_THICKNESS_CONTROL, NIL, nullptr) / zoom();
    const bool wide = std::llabs(int64_t(x2) - x1) > std::llabs(int64_t(y2) - y1);
    ps_emit_format("%.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f  %.1f %.1f %hd curve", c[0], c[1], c[2],
                   c[3], c[4], c[5], c[6], c[7], wide ? 0.0 : half, wide ? half : 0.0, gray);
  } else {
    const double width =
        param_length(P_WIDTH_FOR_CURVES_WITHOUT_THICKER_CENTER, NIL, nullptr) / zoom();
    ps_emit_format("%.1f %.1f %.1f %.1f %.1f %.1f %.1f %.1f  %.1f %hd unicurve", c[0], c[1], c[2],
                   c[3], c[4], c[5], c[6], c[7], width, gray);
  }
  if (dashed) ps_emit("[] 0 setdash");
}

// A text run (and the adjacent runs after it), drawn on the port at the pixel the port
// rounds its place to, and moved from there to its exact place by a translation.
Drosa page_text(Drosa element) {
  Drosa attributes = element;
  std::string text;
  GE_string_text(&text, &attributes);
  const int64_t x = int64_t(attributes->get(xgc_x)) + attributes->get(xgc_dx);
  const int64_t y = int64_t(attributes->get(xgc_y)) + attributes->get(xgc_dy);
  const double dx = x / zoom() - screen_x(int32_t(x));
  const double dy = (page_pixel_height - y / zoom()) - screen_y(int32_t(y));
  if (std::fabs(dx) >= 0.05 || std::fabs(dy) >= 0.05) {
    ps_open_block();
    ps_emit_format("%.1f %.1f tran", dx, dy);
    ps_page.translated = 1;
  }
  ps_close_block();
  const int layout = attributes->get(xgc_layout);
  if (layout != ps_page.last_layout) {
    platform_print_picture_comment(print_session,
                                   layout ? COMMENT_LINE_LAYOUT_ON : COMMENT_LINE_LAYOUT_OFF);
    ps_page.last_layout = layout;
  }
  Drosa last = plot_text_run(element, 0);
  if (ps_page.translated) {
    emit_in_block("0 0 tran");
    ps_page.translated = 0;
  }
  return last;
}

bool left_out(Drosa element, Rect page) {
  return element->get(xgremove) || element->get(xganno) == GANNO_SCREEN_ONLY ||
         !check_GE_visible_in_rect(element, page);
}

}  // namespace

void ps_emit(const char* text) {
  std::string line = text;
  line += '\r';
  if (print_session && platform_print_postscript_data(print_session, line.data(), line.size()) == 0)
    return;
  if (ps_driver_warning_given) return;
  ps_driver_warning_given = 1;
  REPORT_ERROR(2, "%s",
               "Your printer driver is having trouble with PostScript from Vesk.  Your sheet "
               "music will look better if this problem is solved; you might try checking your "
               "Page Setup and Print settings.");
}

void ps_emit_format(const char* format, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  ps_emit(text);
}

void ps_open_block() {
  if (ps_page.block_open) return;
  if (print_session) platform_print_postscript_begin(print_session, 0);
  ps_page.block_open = 1;
  ps_emit("/psb {} def /pse {} def");
}

void ps_close_block() {
  if (!ps_page.block_open) return;
  if (print_session) platform_print_postscript_end(print_session);
  ps_page.block_open = 0;
}

std::string ps_prolog_text() {
  std::string text = "/psb {} def /pse {} def\r";
  for (const char* line : PROLOG_STATE) text += std::string(line) + '\r';
  char scale[64];
  std::snprintf(scale, sizeof scale, "%.1f %.1f scale ", 1.0 / zoom(), 1.0 / zoom());
  text += std::string(PROLOG_LINES_START) + scale + PROLOG_LINES_END + '\r';
  for (const char* line : PROLOG_REST) text += std::string(line) + '\r';
  return text;
}

void ps_calibrate() {
  pen_at(0, 0);
  emit_in_block("setzero");
  pen_at(1000, 1000);
  ps_open_block();
  ps_emit("setscale isold {oldriver} if");
  ps_emit("/alldone isold def");
  // Where the current point did not follow the pen, moves go through the translation alone.
  ps_emit("alldone not {/:M {gm} bind def} if");
  ps_close_block();
  draw_space_at(0, 0);
  emit_in_block("alldone not {setzero} if");
  draw_space_at(1000, 1000);
  ps_open_block();
  ps_emit("alldone not {setscale} if");
  ps_emit("/:M {ytran add exch xtran add exch moveto} bind def");
  ps_emit("/S {show} bind def /gR {grestore} bind def");
  ps_close_block();
  const int width = prefs.u8(PREFS_MIN_LINE_WIDTH) & 0x0F;
  ps_open_block();
  ps_emit_format("%d setminlw", width ? width : 1);
  ps_close_block();
}

void ps_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Drosa element, Rect page) {
  const int ax = ps_x(x1, page), ay = ps_y(y1, page);
  const int bx = ps_x(x2, page), by = ps_y(y2, page);
  const int cx1 = ps_x(element->get(xgl_clipx1), page), cy1 = ps_y(element->get(xgl_clipy1), page);
  const int cx2 = ps_x(element->get(xgl_clipx2), page), cy2 = ps_y(element->get(xgl_clipy2), page);
  const int left = std::min(cx1, cx2), right = std::max(cx1, cx2);
  const int top = std::min(cy1, cy2), bottom = std::max(cy1, cy2);
  const int width = element->get(xgl_width);
  const bool erase = element->get(xdrawmode) == BICMODE;
  const bool inside = ax >= left && ax <= right && bx >= left && bx <= right && ay >= top &&
                      ay <= bottom && by >= top && by <= bottom;
  // Coordinates reach past 32767 on any page over 45 inches high, so they are sent whole.
  if (width <= THIN_LINE && inside && !erase) {
    ps_emit_format("%d %d %d %d %d lineq", ax, ay, bx - ax, by - ay, width);
    return;
  }
  int ox = ax, oy = ay;
  if (width > THIN_LINE) {
    // The band lies on the side the screen draws it: above a flat line, right of a steep one.
    const double wide = std::fabs(double(x2) - x1) / zoom(),
                 high = std::fabs(double(y2) - y1) / zoom();
    if (wide > high + 0.01)
      oy -= width / 2;
    else
      ox += width / 2;
  }
  ps_emit_format("%d %d %d %d %d %d %d %d %d %d %d vesk", ox, oy, bx - ax, by - ay, width, 0,
                 erase ? 1 : 0, left - ox, top - oy, right - ox, bottom - oy);
}

void draw_postscript_page(Rect page, int prolog) {
  const SavedViewTransform saved = use_print_transform();
  ps_page = PostScriptPageState{};
  ps_page.last_drawmode = -1;
  if (prolog && print_session) {
    platform_print_postscript_begin(print_session, 1);
    ps_emit(ps_prolog_text().c_str());
    platform_print_postscript_end(print_session);
  }
  ps_calibrate();
  // The page as the port draws it, which a PostScript page ignores inside a block.
  ps_open_block();
  if (GE_head) plot_GE_list(page, PLOT_PRINT, 1);
  ps_close_block();
  clip_rect(page);
  draw_char(' ');
  for (Drosa p = GE_head ? GE_head->xnext : NIL; p; p = p->xnext) {
    if (p->xkind == NOTEPTR) continue;
    if (!is_graphics_element_kind(p->xkind)) {
      REPORT_ERROR(4, "draw_postscript_page.c: Unrecognized Graphics Element kind %hd",
                   short(p->xkind));
      continue;
    }
    // A screen twin is stepped over: the element after it is the one printed.
    if (p->get(xgscreen)) continue;
    const bool text = p->xkind == GE_CHAR || p->xkind == GE_STRING;
    if (left_out(p, page)) {
      if (text) p = skip_text_runs(p);
      continue;
    }
    set_drawmode(p->get(xdrawmode));
    switch (p->xkind) {
      case GE_LINE:
        page_line(p, page);
        break;
      case GE_CURVE:
        page_curve(p, page);
        break;
      default:
        p = page_text(p);
        break;
    }
  }
  emit_in_block("0 0 tran");
  platform_print_picture_comment(print_session, COMMENT_LINE_LAYOUT_ON);
  restore_view_transform(saved);
}
