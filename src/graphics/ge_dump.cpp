// ge_dump.cpp: the GE list of the current view as text, for finding out what a page drew: every
// node with its fields and flags on the debug stream, or the drawn shapes alone in the file
// "Graphics Objects.dump".
//
// Every walk is bounded by the number of nodes in the store, so a damaged list cannot keep a
// dump going for ever.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <string>

#include "graphics/GE.h"
#include "graphics/ge_fields.h"
#include "graphics/graphics_globals.h"
#include "graphics/hit_test.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/files.h"

namespace {

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char text[512];
  va_list args;
  va_start(args, pattern);
  std::vsnprintf(text, sizeof text, pattern, args);
  va_end(args);
  return text;
}

// A node as the dumps name it: its handle, written as an address.
const void* id(Drosa node) { return reinterpret_cast<const void*>(uintptr_t(node.handle())); }

// The flag words of an element, after a space: its drawmode's name, then each flag set.
std::string flag_words(Drosa node) {
  const int mode = node->get(xdrawmode);
  std::string words = mode == BICMODE ? "BICMODE" : mode > BICMODE ? "BADMODE" : "";
  if (node->get(xgscreen)) words += " GSCREEN";
  if (node->get(xganno)) words += " GANNO";
  if (node->get(xgremove)) words += " GREMOVE";
  return " " + words;
}

std::string dash_words(int dash, int gap) {
  return dash || gap ? format("  DASH %d GAP %d", dash, gap) : std::string();
}

// One node of the list with all its fields, as debug_GE writes it.
std::string debug_line(Drosa p) {
  std::string line;
  switch (p->xkind) {
    case GE_CHAR:
      line = format("CHAR (%3d,%3d)%d var %d ch %d fon %d cset %d sz %d stl %d clr %d yreloc %d",
                    p->get(xgc_x), p->get(xgc_y), p->get(xgc_pstaff), p->get(xgc_var),
                    p->get(xgc_char), p->get(xgc_font), p->get(xgc_cset), p->get(xgc_size),
                    p->get(xgc_style), p->get(xgc_color), p->get(xgc_yreloc));
      break;
    case GE_LINE:
      line =
          format(" LINE var %d wid%4.1f (%3d,%3d)%hd to (%3d,%3d)%d clip (%d,%d)(%d,%d) color %d",
                 p->get(xgl_var), p->get(xgl_width) / 10.0, p->get(xge_x1), p->get(xge_y1),
                 short(p->get(xge_pstaff1)), p->get(xge_x2), p->get(xge_y2), p->get(xge_pstaff2),
                 p->get(xgl_clipx1), p->get(xgl_clipy1), p->get(xgl_clipx2), p->get(xgl_clipy2),
                 p->get(xgl_color)) +
          dash_words(p->get(xgl_dash), p->get(xgl_gap));
      break;
    case GE_CURVE:
      line = format("GE_CURVE var %d (%3d,%3d)%hd to (%3d,%3d)%hd ctl (%d,%d)(%d,%d) clr %d",
                    p->get(xgv_var), p->get(xge_x1), p->get(xge_y1), short(p->get(xge_pstaff1)),
                    p->get(xge_x2), p->get(xge_y2), short(p->get(xge_pstaff2)), p->get(xgv_c1x),
                    p->get(xgv_c1y), p->get(xgv_c2x), p->get(xgv_c2y), p->get(xgv_color)) +
             dash_words(p->get(xgv_dash), p->get(xgv_gap));
      break;
    case GE_STRING:
      line = format("GE_STRING  %s", p->get(xgs_text).c_str());
      break;
    case NOTEPTR: {
      Drosa owner = p->get(xnoteptr);
      line = is_plotted_note(owner)
                 ? format("NOTEPTR xnoteptr %p (note info: lgv %hd mod7 %hd vc %hd)", id(owner),
                          short(owner->get(xlgval)), short(owner->get(xmod7)),
                          short(owner->get(xvoice)))
                 : format("NOTEPTR xnoteptr %p (note not currently visible)", id(owner));
      break;
    }
    default:
      line = format("debug_GE.c: Unrecognized Graphics Element kind %hd", short(p->xkind));
  }
  return line + flag_words(p) + "\n";
}

// The ends of a line as dump_GE writes them: a sloping end beyond its clip box's left or right
// edge is moved along the line onto that edge.
void clipped_ends(Drosa line, int32_t ends[4]) {
  const int32_t x1 = line->get(xge_x1), y1 = line->get(xge_y1);
  const int32_t x2 = line->get(xge_x2), y2 = line->get(xge_y2);
  ends[0] = x1, ends[1] = y1, ends[2] = x2, ends[3] = y2;
  if (x1 == x2) return;
  const int32_t a = line->get(xgl_clipx1), b = line->get(xgl_clipx2);
  const int32_t left = std::min(a, b), right = std::max(a, b);
  for (int end = 0; end < 4; end += 2) {
    const int32_t edge = std::clamp(ends[end], left, right);
    if (edge == ends[end]) continue;
    ends[end] = edge;
    ends[end + 1] = int32_t(std::lround(y1 + double(y2 - y1) * (double(edge) - x1) / (x2 - x1)));
  }
}

// The shapes of the list, a line each, as dump_GE writes them; *p is left on the last node
// written for (the closing GE_CHAR of a text run).
std::string dump_line(Drosa* p) {
  Drosa node = *p;
  switch (node->xkind) {
    case GE_CHAR:
      return format("C %3d %3d %d %d %d %d\n", node->get(xgc_x), node->get(xgc_y),
                    node->get(xgc_char), node->get(xgc_font), node->get(xgc_size),
                    node->get(xgc_style));
    case GE_LINE: {
      int32_t e[4];
      clipped_ends(node, e);
      return format("L %3d %3d %3d %3d %4.1f\n", e[0], e[1], e[2], e[3],
                    node->get(xgl_width) / 10.0);
    }
    case GE_CURVE:
      return format("V Curve (%d, %d) to (%d, %d); control points (%d, %d), (%d, %d)\n",
                    node->get(xge_x1), node->get(xge_y1), node->get(xge_x2), node->get(xge_y2),
                    node->get(xgv_c1x), node->get(xgv_c1y), node->get(xgv_c2x), node->get(xgv_c2y));
    case GE_STRING: {
      std::string text;
      GE_string_text(&text, p);
      Drosa a = *p;
      if (a->xkind != GE_CHAR) {  // a run cut off at the list's end: nothing to place it by
        while (a->xnext && a->xnext->xkind == GE_STRING) a = a->xnext;
        *p = a;
        return std::string();
      }
      return format("STRING at (%d, %d), ", a->get(xgc_x), a->get(xgc_y)) +
             format("'%s', font %hd, cset %hd, size %hd, style %hd\n", text.c_str(),
                    short(a->get(xgc_font)), short(a->get(xgc_cset)), short(a->get(xgc_size)),
                    short(a->get(xgc_style)));
    }
    case NOTEPTR:
      return std::string();
    default:
      REPORT_ERROR(4, "dump_GE.c: Unrecognized Graphics Element kind %hd", short(node->xkind));
      return std::string();
  }
}

}  // namespace

void debug_GE() {
  debug_out("\nContents of the GE list:\n");
  int32_t steps = 0;
  for (Drosa p = GE_head ? GE_head->xnext : NIL; p && steps <= total_Drosa_count;
       p = p->xnext, ++steps)
    debug_out(debug_line(p).c_str());
}

void dump_GE() {
  debug_out("Dumping GE list into file Graphics Objects.dump\n");
  const int file =
      platform_file_open("Graphics Objects.dump", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (file < 0) {
    debug_out("Graphics Objects.dump could not be opened.\n");
    return;
  }
  std::string text;
  int32_t steps = 0;
  for (Drosa p = GE_head ? GE_head->xnext : NIL; p && steps <= total_Drosa_count;
       p = p->xnext, ++steps)
    text += dump_line(&p);
  const bool written = platform_file_write_all(file, text.data(), text.size()) == 0;
  if (platform_file_close(file) != 0 || !written)
    debug_out("Graphics Objects.dump could not be written in full.\n");
}
