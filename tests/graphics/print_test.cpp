// tests/graphics/print_test.cpp: printing and page setup.
//   PageSetup.*:      the scaling advice, and the dialog's choices kept for the chosen contexts
//   PostScriptPage.*: the prolog, the calibration, lines, dashes and curves as the page's
//                     PostScript, checked as text and by Ghostscript
//   PrintedPiece.*:   a built piece printed through the Print dialog to a PostScript file and
//                     to a PDF, rendered by Ghostscript and Poppler into test-output/print of
//                     the build tree and compared with the screen's page; the program's check
//                     boxes, a print failing part way, Cancel, a file in a missing folder
#include "graphics/print.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/app_services.h"
#include "graphics/GE.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/postscript.h"
#include "graphics/raster.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/file_dialog.h"
#include "platform/fonts.h"
#include "platform/os_errors.h"
#include "platform/port.h"
#include "platform/printing.h"
#include "platform/script.h"
#include "support/engraved_piece.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/real_scores.h"

namespace fs = std::filesystem;

namespace {

// Where the printed files and their renderings go: test-output/print of the build tree, else
// a temporary folder.
fs::path output_folder() {
  fs::path build = fs::current_path().parent_path();
  fs::path folder = fs::exists(build / "CMakeCache.txt") ? build / "test-output" / "print"
                                                         : fs::temp_directory_path() / "vesk-print";
  fs::create_directories(folder);
  return folder;
}

// Runs a command; its exit status, with what it wrote in *output.
int run(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) *output += buffer;
  return pclose(pipe);
}

// Ghostscript reads the file to its end without an error.
void expect_ghostscript_reads(const fs::path& ps) {
  std::string output;
  EXPECT_EQ(run("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage '" + ps.string() + "'", &output),
            0)
      << "gs (package ghostscript, installed by scripts/setup) on " << ps << ":\n"
      << output;
  EXPECT_EQ(output.find("Error"), std::string::npos) << output;
}

class PrintTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
    platform_init_fonts();
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
    GE_head = GE_tail = newDrosa(GE_CHAR, 0);
    Print_init();
    ASSERT_TRUE(print_session && page_format && print_settings);
    folder = output_folder();
  }
  void TearDown() override {
    EXPECT_EQ(script_pending(), 0);
    EXPECT_EQ(script_take_faults(), std::vector<std::string>{});
    platform_print_set_page_helpers(-1);
    print_release();
    script_end();
    destroy_pstaff_lists();
    offscreen_dispose();
    ModelTest::TearDown();
  }

  // The current GE list printed as one PostScript page into `name`, the view's page
  // `view_height` pixels high at the standard zoom; the file's text.
  std::string postscript_of_list(const std::string& name, int32_t view_height = 792) {
    const fs::path path = folder / name;
    print_settings->destination = PRINT_TO_POSTSCRIPT_FILE;
    print_settings->file = path.string();
    platform_print_set_document_format(print_session, PRINT_FORMAT_POSTSCRIPT);
    zoom_factor = 10;
    page_pixel_height = view_height;
    print_transform = transform_for_zoom(PRINT_ZOOM);
    const Rect page{0, 0, 3060, view_height * 5};
    PrintPagePlacement placement;
    placement.width = page.right;
    placement.height = page.bottom;
    placement.points_per_pixel = 0.2;
    EXPECT_EQ(platform_print_begin_document(print_session, print_settings, page_format, placement),
              0);
    EXPECT_EQ(platform_print_begin_page(print_session), 0);
    Port* port = nullptr;
    EXPECT_EQ(platform_print_page_port(print_session, &port), 0);
    platform_set_port(port);
    draw_postscript_page(page, 1);
    platform_set_port(nullptr);
    EXPECT_EQ(platform_print_end_page(print_session), 0);
    EXPECT_EQ(platform_print_end_document(print_session), 0);
    expect_ghostscript_reads(path);
    return read_file(path);
  }

  fs::path folder;
};

using PageSetup = PrintTest;
using PostScriptPage = PrintTest;
using PrintedPiece = PrintTest;

// The page's body (after its setup), lines split at CR and LF.
std::vector<std::string> body_lines(const std::string& ps) {
  std::vector<std::string> lines;
  const size_t start = ps.find("%%EndPageSetup");
  std::string line;
  for (size_t i = start == std::string::npos ? 0 : start; i < ps.size(); ++i) {
    if (ps[i] == '\r' || ps[i] == '\n') {
      if (!line.empty()) lines.push_back(line);
      line.clear();
    } else {
      line += ps[i];
    }
  }
  return lines;
}

std::vector<std::string> lines_ending(const std::vector<std::string>& lines,
                                      const std::string& op) {
  std::vector<std::string> found;
  for (const std::string& l : lines)
    if (l.size() >= op.size() && l.compare(l.size() - op.size(), op.size(), op) == 0)
      found.push_back(l);
  return found;
}

// ---- Page setup
// -------------------------------------------------------------------------------------

TEST_F(PageSetup, TheAdviceAndTheChoicesKeptForEveryChosenContext) {
  EXPECT_EQ(scaling_advice(85, 110),
            "Try a scaling of 92 percent (for 8.5 in by 11 in paper) or 91 percent (for A4 "
            "paper), and portrait page orientation.");
  EXPECT_EQ(scaling_advice(110, 85),
            "Try a scaling of 92 percent (for 8.5 in by 11 in paper) or 91 percent (for A4 "
            "paper), and landscape page orientation.");
  // 10400 / 104 = 100, 7900 / 78 = 101; 11000 / 104 = 105, 7800 / 78 = 100: both 100.
  EXPECT_EQ(scaling_advice(78, 104),
            "Try a scaling of 100 percent (for 8.5 in by 11 in paper or A4 paper), and portrait "
            "page orientation.");
  EXPECT_EQ(scaling_advice(0, 110), "") << "no page, no advice";

  ncontext_count = 3;
  const std::vector<uint8_t> third(print_record[3], print_record[3] + PRINT_RECORD_SIZE);
  script_hit(CHOOSE_ALL);
  script_hit(1);
  script_choose(PAGE_SETUP_PAPER, 5);  // A4
  script_hit(PAGE_SETUP_LANDSCAPE);
  script_type(PAGE_SETUP_SCALE, "0");
  script_hit(1);  // refused, said: the scale is asked again
  script_hit(1);  // OK to the message
  script_type(PAGE_SETUP_SCALE, "80");
  script_hit(1);
  script_take_shown();
  page_setup(0);
  bool said_why = false;
  for (const ShownText& shown : script_take_shown())
    said_why |= shown.id == PRINT_ENTRY_ALERT &&
                shown.text == "Illegal scale; please use an integer between 5 and 1000.";
  EXPECT_TRUE(said_why);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, scaling_advice(85, 110));
  for (int c = 1; c <= 3; ++c) {
    SCOPED_TRACE(c);
    const uint8_t* r = print_record[c];
    EXPECT_EQ(get_be32(r + PRINT_SCALE), 80);
    EXPECT_EQ(get_be16(r + PRINT_SCALE_COPY), 80);
    EXPECT_EQ(get_be32(r + PRINT_LANDSCAPE), 1);
    EXPECT_EQ(get_be32(r + PRINT_PAPER + 8), 842 - 12) << "A4's bottom";
    EXPECT_EQ(get_be32(r + PRINT_PAPER + 12), 595 - 12);
  }
  EXPECT_TRUE(DrosaDirty);

  // Cancel in either dialog changes nothing.
  DrosaDirty = 0;
  script_hit(1);
  script_hit(2);
  page_setup(0);
  script_hit(2);
  page_setup(0);
  take_reports();
  EXPECT_FALSE(DrosaDirty);
  EXPECT_EQ(get_be32(print_record[1] + PRINT_SCALE), 80);
}

// ---- The PostScript page
// ------------------------------------------------------------------------------

TEST_F(PostScriptPage, AnEmptyPageIsItsPrologCalibrationAndClosingComment) {
  prefs.set_u8(PREFS_MIN_LINE_WIDTH, 0xF0);  // the low four bits 0: at least one
  const std::string ps = postscript_of_list("empty.ps");
  const std::string prolog = ps.substr(0, ps.find("%%EndProlog"));
  EXPECT_NE(prolog.find("gsave 0 setlinewidth zerox zeroy translate scalex scaley scale 0.5 0.5 "
                        "scale x y translate"),
            std::string::npos)
      << "lines are drawn in layout units, a pixel being two";
  for (const char* name :
       {"/psb", "/setzero", "/setscale", "/setminlw", "/lwfix", "/vesk", "/lineq", "/curve",
        "/unicurve", "/tran", "/gm", "/:M", "/isold", "/oldriver"})
    EXPECT_NE(prolog.find(name), std::string::npos) << name;

  const std::vector<std::string> body = body_lines(ps);
  auto at = [&](const std::string& line, size_t from) {
    for (size_t i = from; i < body.size(); ++i)
      if (body[i] == line) return i;
    return body.size();
  };
  const size_t zero = at("setzero", 0), scale = at("setscale isold {oldriver} if", zero);
  const size_t again = at("alldone not {setzero} if", scale);
  const size_t minimum = at("1 setminlw", again);
  ASSERT_LT(minimum, body.size()) << "the calibration in order, then the minimum width";
  // Then the block the page's plot is drawn in: only the two empty procedures.
  ASSERT_LT(minimum + 3, body.size());
  EXPECT_NE(body[minimum + 1].find(" moveto"), std::string::npos) << "the current point";
  EXPECT_EQ(body[minimum + 2], "/psb {} def /pse {} def");
  EXPECT_NE(body[minimum + 3], "/psb {} def /pse {} def") << "that block is closed";
  const size_t tran = at("0 0 tran", minimum);
  ASSERT_LT(tran, body.size());
  EXPECT_EQ(at("% picture comment 156", tran), tran + 1) << "the page ends with the comment";
  EXPECT_TRUE(lines_ending(body, " lineq").empty());

  // PostScript the session does not take (no PostScript document) is said to be a trouble
  // once a run.
  ps_emit("setzero");
  ps_emit("setzero");
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text.rfind("Your printer driver is having trouble with PostScript", 0), 0u);
}

TEST_F(PostScriptPage, LinesGoThinOrClippedAndDashesAndCurvesAsTheirProcedures) {
  prefs.set_u8(PREFS_MIN_LINE_WIDTH, 3);
  // A thin line whose clip box holds both ends; the same erasing; a wide one; one clipped.
  GEline(0, 1000, 5000, 0, 0, 3000, 5000, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  GEline(BICMODE, 1000, 5000, 0, 0, 3000, 5000, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  GEline(0, 1000, 5000, 0, 0, 3000, 5000, 0, 0, 30, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  GEline(0, 1000, 5000, 0, 0, 3000, 5000, 0, 0, 10, 0, 0, 1500, 4000, 2500, 6000, 0, 10, NIL);
  // A steep wide line moves right; a dashed line of no length is sent once, whole.
  GEline(0, 1000, 3000, 0, 0, 1000, 4000, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  GEline(0, 2000, 2000, 0, 0, 2000, 2000, 0, 0, 10, 3, 2, 0, 0, 0, 0, 0, 10, NIL);
  // 50 units of dash period along 500 units: ten dashes of 30.
  GEline(0, 1000, 1000, 0, 0, 1500, 1000, 0, 0, 10, 3, 2, 0, 0, 0, 0, 0, 10, NIL);
  GEcurve(0, 1000, 1000, 0, 1200, 1400, 0, 1800, 1400, 0, 2000, 1000, 0, 1, 0, 0, 0, 5, NIL);
  GEcurve(0, 1000, 1000, 0, 1200, 1400, 0, 1800, 1400, 0, 2000, 1000, 0, 0, 2, 3, 0, 4, NIL);
  const std::vector<std::string> body = body_lines(postscript_of_list("lines.ps"));

  EXPECT_EQ(lines_ending(body, " setminlw"), std::vector<std::string>{"3 setminlw"});
  // Page pixels are two layout units; y runs down from the top of the page (3960 pixels).
  const std::vector<std::string> thin = {"1000 2920 2000 0 10 lineq", "2000 5920 0 0 10 lineq"};
  std::vector<std::string> lineq = lines_ending(body, " lineq");
  ASSERT_EQ(lineq.size(), 12u);
  EXPECT_EQ(lineq[0], thin[0]);
  EXPECT_EQ(lineq[1], thin[1]);
  EXPECT_EQ(lineq[2], "1000 6920 30 0 10 lineq");
  EXPECT_EQ(lineq[11], "1450 6920 30 0 10 lineq");
  EXPECT_EQ(lines_ending(body, " vesk"),
            (std::vector<std::string>{"1000 2920 2000 0 10 0 1 -280 -280 2280 280 vesk",
                                      "1000 2905 2000 0 30 0 0 -280 -265 2280 295 vesk",
                                      "1000 2920 2000 0 10 0 0 500 -1000 1500 1000 vesk",
                                      "1010 4920 0 -1000 20 0 0 -290 -1280 270 280 vesk"}));
  const double half = param_length(P_TIE_AND_SLUR_THICKNESS_CONTROL, NIL, nullptr) / 2.0;
  const double width = param_length(P_WIDTH_FOR_CURVES_WITHOUT_THICKER_CENTER, NIL, nullptr) / 2.0;
  char curve[160], unicurve[160];
  std::snprintf(curve, sizeof curve,
                "500.0 3460.0 600.0 3260.0 900.0 3260.0 1000.0 3460.0  0.0 %.1f 0 curve", half);
  std::snprintf(unicurve, sizeof unicurve,
                "500.0 3460.0 600.0 3260.0 900.0 3260.0 1000.0 3460.0  %.1f 0 unicurve", width);
  EXPECT_EQ(lines_ending(body, " curve"), std::vector<std::string>{curve});
  EXPECT_EQ(lines_ending(body, " unicurve"), std::vector<std::string>{unicurve});
  EXPECT_EQ(lines_ending(body, " setdash"),
            (std::vector<std::string>{"[10 15] 0 setdash", "[] 0 setdash"}))
      << "dash and gap in the curve's pixels";

  // On a page over 45 inches high the numbers pass 32767 and are sent whole.
  GEinit(0);
  GEline(0, 1000, 0, 0, 0, 3000, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  EXPECT_EQ(lines_ending(body_lines(postscript_of_list("tall.ps", 8000)), " lineq"),
            std::vector<std::string>{"1000 80000 2000 0 10 lineq"});
}

// ---- A built piece
// -----------------------------------------------------------------------------------

// Ink (0 white .. 1 black) of a pixel; outside the image white.
double ink(const Port* port, int x, int y) {
  const uint32_t p = port_pixel(port, x, y);
  const double light = (((p >> 16) & 255) * 0.3 + ((p >> 8) & 255) * 0.59 + (p & 255) * 0.11);
  return 1 - light / 255;
}

struct Centroid {
  double mass = 0, x = 0, y = 0;
};

Centroid ink_centroid(const Port* port, int cx, int cy, int half) {
  Centroid c;
  for (int y = cy - half; y <= cy + half; ++y)
    for (int x = cx - half; x <= cx + half; ++x) {
      const double i = ink(port, x, y);
      c.mass += i;
      c.x += i * x;
      c.y += i * y;
    }
  if (c.mass > 0) c.x /= c.mass, c.y /= c.mass;
  return c;
}

// A point of the screen's page where an element stands, in page pixels at 144 dpi.
struct Anchor {
  const char* what;
  double x, y;
};

constexpr double ZOOM = 5;     // 144 pixels an inch
constexpr int PS_MARGIN = 24;  // the printable area's corner on the paper, in those pixels

std::vector<Anchor> anchors() {
  std::vector<Anchor> found;
  auto px = [](double x) { return x / ZOOM; };
  auto py = [](double y) { return page_pixel_height - y / ZOOM; };
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->get(xgscreen) || e->xkind == NOTEPTR) continue;
    if (e->xkind == GE_CHAR && e->get(xgc_var) == 46 && e->get(xgc_char) != 0) {
      found.push_back({"head", px(e->get(xgc_x) + 30), py(e->get(xgc_y))});
    } else if (e->xkind == GE_LINE && e->get(xgl_var) == 17) {
      // The band's middle: a beam line lies above its y.
      found.push_back({"beam", px((e->get(xge_x1) + e->get(xge_x2)) / 2.0),
                       py((e->get(xge_y1) + e->get(xge_y2) + e->get(xgl_width)) / 2.0)});
    } else if (e->xkind == GE_CURVE && (e->get(xgv_var) == 4 || e->get(xgv_var) == 5)) {
      // The curve's middle point.
      const double x =
          (e->get(xge_x1) + 3.0 * e->get(xgv_c1x) + 3.0 * e->get(xgv_c2x) + e->get(xge_x2)) / 8;
      const double y =
          (e->get(xge_y1) + 3.0 * e->get(xgv_c1y) + 3.0 * e->get(xgv_c2y) + e->get(xge_y2)) / 8;
      found.push_back({e->get(xgv_var) == 4 ? "tie" : "slur", px(x), py(y)});
    }
  }
  return found;
}

// Compares a rendered page with the screen's: every head, beam, tie and slur has its ink in
// the same place within 2 pixels (a point), and the page's ink, in blocks of 8 by 8 pixels,
// differs by more than a quarter in fewer than 3 percent of the blocks that hold ink. The
// rendering has the page's top-left corner at (margin, margin).
void expect_same_page(const Port* screen, const fs::path& rendered, const std::vector<Anchor>& at,
                      int margin) {
  SCOPED_TRACE(rendered.string());
  Port* printed = port_load_image(rendered.c_str());
  ASSERT_NE(printed, nullptr) << "no rendering";
  int missing = 0, moved = 0;
  for (const Anchor& a : at) {
    const int x = int(std::lround(a.x)), y = int(std::lround(a.y));
    const Centroid s = ink_centroid(screen, x, y, 8);
    const Centroid p = ink_centroid(printed, x + margin, y + margin, 8);
    if (s.mass < 3 || p.mass < 3) {
      ++missing;
      ADD_FAILURE() << a.what << " at " << x << "," << y << ": ink " << s.mass << " on screen, "
                    << p.mass << " printed";
    } else if (std::hypot(s.x + margin - p.x, s.y + margin - p.y) > 2) {
      ++moved;
      ADD_FAILURE() << a.what << " at " << x << "," << y << " moved by " << p.x - s.x - margin
                    << "," << p.y - s.y - margin;
    }
    if (missing + moved > 5) break;
  }
  const Rect r = port_bounds(screen);
  int inked = 0, differing = 0;
  for (int by = 0; by + 8 <= r.bottom; by += 8)
    for (int bx = 0; bx + 8 <= r.right; bx += 8) {
      double s = 0, p = 0;
      for (int y = by; y < by + 8; ++y)
        for (int x = bx; x < bx + 8; ++x) {
          s += ink(screen, x, y);
          p += ink(printed, x + margin, y + margin);
        }
      s /= 64, p /= 64;
      if (s > 0.05 || p > 0.05) ++inked;
      if (std::fabs(s - p) > 0.25) ++differing;
    }
  EXPECT_GT(inked, 500);
  EXPECT_LT(differing, inked * 3 / 100) << differing << " of " << inked << " blocks differ";
  port_dispose(printed);
}

// Writes, for looking at, the neighbourhood of the first anchor of each kind magnified four
// times: the screen's above, each rendering below it (the PostScript page in the paper's
// printable area, the PDF page on its own sheet).
void save_details(const Port* screen, const std::vector<fs::path>& rendered,
                  const std::vector<Anchor>& at, const fs::path& out) {
  constexpr int HALF = 40, SCALE = 4, SIDE = 2 * HALF * SCALE;
  std::vector<Anchor> firsts;
  for (const Anchor& a : at)
    if (std::none_of(firsts.begin(), firsts.end(),
                     [&](const Anchor& f) { return f.what == a.what; }))
      firsts.push_back(a);
  Port* sheet = port_new_offscreen(SIDE * int(firsts.size()), SIDE * int(1 + rendered.size()));
  ASSERT_NE(sheet, nullptr);
  std::vector<Port*> sources{const_cast<Port*>(screen)};
  for (const fs::path& p : rendered) sources.push_back(port_load_image(p.c_str()));
  for (size_t row = 0; row < sources.size(); ++row) {
    const int shift = row == 1 ? PS_MARGIN : 0;
    for (size_t column = 0; column < firsts.size(); ++column) {
      const int x = int(std::lround(firsts[column].x)) + shift;
      const int y = int(std::lround(firsts[column].y)) + shift;
      port_copy(sources[row], sheet, {x - HALF, y - HALF, x + HALF, y + HALF},
                {int(column) * SIDE, int(row) * SIDE, int(column + 1) * SIDE, int(row + 1) * SIDE},
                MODE_COPY);
    }
  }
  EXPECT_TRUE(port_save_png(sheet, out.c_str()));
  for (size_t i = 1; i < sources.size(); ++i) port_dispose(sources[i]);
  port_dispose(sheet);
}

TEST_F(PrintedPiece, PostScriptAndPdfPagesShowWhatTheScreenShows) {
  build_engraved_piece(4, 8, 2, 2);
  ASSERT_EQ(page_count, 2);
  ASSERT_EQ(offscreen_create(ZOOM, 85, 110, 0, 0), 1);
  current_page = 1;
  ASSERT_EQ(format_page(1, 0), 1);
  const std::vector<Anchor> at = anchors();
  int heads = 0, beams = 0, slurs = 0, ties = 0;
  for (const Anchor& a : at) {
    heads += a.what[0] == 'h';
    beams += a.what[0] == 'b';
    slurs += a.what[0] == 's';
    ties += a.what[0] == 't';
  }
  EXPECT_GT(heads, 40);
  EXPECT_GT(beams, 4);
  EXPECT_GT(slurs, 4);
  EXPECT_GT(ties, 4);
  EXPECT_TRUE(port_save_png(offscreen_page, (folder / "piece-screen.png").c_str()));

  platform_print_set_page_helpers(3);  // the PDF's pages drawn side by side on any machine
  // Through the Print dialog: a PostScript file, then a PDF, the page not centred.
  const fs::path ps = folder / "piece.ps", pdf = folder / "piece.pdf";
  fs::remove(ps);
  fs::remove(pdf);
  for (int entry : {2, 1}) {
    script_choose(PRINT_DIALOG_DESTINATION, entry);
    script_type(PRINT_DIALOG_FILE, (entry == 2 ? ps : pdf).string());
    script_hit(PRINT_DIALOG_ITEMS + 1);
    script_hit(1);
    print_piece(PRINT_CURRENT_CONTEXT);
  }
  ASSERT_TRUE(fs::exists(ps));
  ASSERT_TRUE(fs::exists(pdf));
  EXPECT_EQ(current_page, 1);
  EXPECT_EQ(last_formatted_page, 1) << "the screen's page is formatted again";
  expect_ghostscript_reads(ps);
  const std::string text = read_file(ps);
  EXPECT_NE(text.find("%%Pages: 2"), std::string::npos);
  EXPECT_EQ(text.find("findfont"), std::string::npos) << "no font is needed from the printer";

  std::string output;
  // Rendered at 288 pixels an inch, as a printer would keep thin lines, and scaled down.
  ASSERT_EQ(run("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r288 -dDownScaleFactor=2 "
                "-sOutputFile='" +
                    (folder / "piece-ps-%d.png").string() + "' '" + ps.string() + "'",
                &output),
            0)
      << output;
  ASSERT_EQ(
      run("pdftoppm -r 144 -png '" + pdf.string() + "' '" + (folder / "piece-pdf").string() + "'",
          &output),
      0)
      << "pdftoppm (package poppler-utils, installed by scripts/setup): " << output;
  ASSERT_EQ(run("pdffonts '" + pdf.string() + "'", &output), 0) << output;
  std::istringstream fonts(output);
  int embedded = 0;
  for (std::string line; std::getline(fonts, line);) {
    std::vector<std::string> fields;
    std::istringstream words(line);
    for (std::string w; words >> w;) fields.push_back(w);
    if (fields.size() < 7 || fields[0] == "name" || fields[0][0] == '-') continue;
    EXPECT_EQ(fields[fields.size() - 5], "yes") << "every font is embedded: " << line;
    EXPECT_EQ(fields[fields.size() - 3], "yes") << "every font's text can be read: " << line;
    ++embedded;
  }
  EXPECT_GE(embedded, 2) << "the music font and the text font";
  // The text is there to select and search: the bar numbers and the treble clef (U+E050).
  ASSERT_EQ(run("pdftotext -f 1 -l 1 '" + pdf.string() + "' -", &output), 0) << output;
  EXPECT_NE(output.find("1\n"), std::string::npos) << output;
  EXPECT_NE(output.find("\n3\n"), std::string::npos) << output;
  EXPECT_NE(output.find("\uE050"), std::string::npos) << output;
  // The same pages make the same file, byte for byte, drawn side by side (as the PDF above,
  // its pages kept as formatted) or one by one.
  ASSERT_TRUE(kept_page_graphics(1) && kept_page_graphics(2));
  const fs::path again = folder / "piece-again.pdf";
  print_settings->file = again.string();
  platform_print_set_page_helpers(0);
  print_piece(PRINT_WITHOUT_DIALOG);
  EXPECT_TRUE(read_file(again) == read_file(pdf)) << "printed twice, the PDFs differ";

  save_details(offscreen_page, {folder / "piece-ps-1.png", folder / "piece-pdf-1.png"}, at,
               folder / "piece-details.png");
  expect_same_page(offscreen_page, folder / "piece-ps-1.png", at, PS_MARGIN);
  expect_same_page(offscreen_page, folder / "piece-pdf-1.png", at, 0);
  EXPECT_TRUE(fs::exists(folder / "piece-ps-2.png"));
  EXPECT_TRUE(fs::exists(folder / "piece-pdf-2.png"));

  // Drawn while the pages after them are formatted, the same file again.
  const fs::path ahead = folder / "piece-ahead.pdf";
  print_settings->file = ahead.string();
  draw_pages_ahead(true, 2);
  format_all_pages();
  print_piece(PRINT_WITHOUT_DIALOG);
  draw_pages_ahead(false);
  EXPECT_TRUE(read_file(ahead) == read_file(pdf)) << "drawn ahead, the PDFs differ";
}

TEST_F(PrintedPiece, TheProgramsCheckBoxesAFailurePartWayAndCancel) {
  build_engraved_piece(2, 8, 2, 2);
  ASSERT_EQ(offscreen_create(10, 85, 110, 0, 0), 1);
  current_page = 2;
  ASSERT_EQ(format_page(2, 0), 1);
  const fs::path ps = folder / "kept.ps";
  fs::remove(ps);

  // The context's choice: centred down the paper. Kept (17) and then the third box (18)
  // cleared: the choice becomes "across".
  print_record[1][PRINT_DIALOG_FLAGS] = PRINT_CENTRED_DOWN;
  script_choose(PRINT_DIALOG_DESTINATION, 2);
  script_type(PRINT_DIALOG_FILE, ps.string());
  script_hit(PRINT_DIALOG_ITEMS + 2);
  script_hit(PRINT_DIALOG_ITEMS + 3);
  script_hit(1);
  print_piece(PRINT_CURRENT_CONTEXT);
  EXPECT_EQ(print_record[1][PRINT_DIALOG_FLAGS], 0);
  EXPECT_TRUE(DrosaDirty);
  EXPECT_TRUE(fs::exists(ps));
  EXPECT_EQ(print_dialog_flags[0], 0) << "the first box started clear";

  // A print failing on its second page: said with its step, no file left, the piece and the
  // page as they were.
  fs::remove(ps);
  DrosaDirty = 0;
  platform_print_fail_at(2, 2, RESULT_IO_ERROR);
  script_choose(PRINT_DIALOG_DESTINATION, 2);
  script_type(PRINT_DIALOG_FILE, ps.string());
  script_hit(1);
  print_piece(PRINT_CURRENT_CONTEXT);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "Open Printer Page: Disk I/O error");
  bool said_why = false;
  EXPECT_FALSE(fs::exists(ps));
  for (const auto& entry : fs::directory_iterator(folder))
    EXPECT_EQ(entry.path().string().rfind(ps.string() + ".", 0), std::string::npos)
        << "a temporary file was left: " << entry.path();
  EXPECT_FALSE(DrosaDirty);
  EXPECT_EQ(current_page, 2);
  EXPECT_EQ(last_formatted_page, 2);

  // Cancel: nothing printed. Before it, a range that ends before it begins is refused with
  // a message and asked again.
  script_hit(PRINT_DIALOG_RANGE);
  script_type(PRINT_DIALOG_FROM, "2");
  script_type(PRINT_DIALOG_TO, "1");
  script_hit(1);
  script_hit(1);  // OK to the message
  script_hit(2);
  script_take_shown();
  print_piece(PRINT_CURRENT_CONTEXT);
  EXPECT_FALSE(fs::exists(ps));
  said_why = false;
  for (const ShownText& shown : script_take_shown())
    said_why |= shown.id == PRINT_ENTRY_ALERT &&
                shown.text == "Illegal last page; please use an integer between 2 and 9999.";
  EXPECT_TRUE(said_why);

  // A file in a folder that is not there: said as a missing file, not a disk error.
  script_choose(PRINT_DIALOG_DESTINATION, 2);
  script_type(PRINT_DIALOG_FILE, (folder / "no such folder" / "kept.ps").string());
  script_hit(1);
  print_piece(PRINT_CURRENT_CONTEXT);
  said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "Open Printer Document: File not found");
}

TEST_F(PrintedPiece, AFileIsProposedUnderThePiecesName) {
  build_engraved_piece(1, 2, 2, 1);
  ASSERT_EQ(offscreen_create(10, 85, 110, 0, 0), 1);
  ASSERT_EQ(format_page(1, 0), 1);
  const std::string saved = piece_fsspec;
  for (const auto& [spec, proposed] :
       {std::pair{(folder / "Sonata.vesk").string(), "Sonata.pdf"},
        std::pair{(folder / ":from: Etude op. 25.musicxml").string(), "Etude op. 25.pdf"},
        std::pair{(folder / ":New Piece:").string(), "New Piece.pdf"}}) {
    piece_fsspec = spec;
    script_choose(PRINT_DIALOG_DESTINATION, 1);
    script_hit(PRINT_DIALOG_CHOOSE);
    script_file_name("");  // the file dialog cancelled
    script_hit(2);
    print_piece(PRINT_CURRENT_CONTEXT);
    bool asked = false;
    for (const ShownText& text : script_take_shown())
      if (text.id == FILE_DIALOG_ID) {
        asked = true;
        EXPECT_NE(text.text.find("\n" + std::string(proposed)), std::string::npos) << text.text;
      }
    EXPECT_TRUE(asked) << spec;
  }
  piece_fsspec = saved;
}

// A file named in another encoding than UTF-8 (a Latin-1 name) is kept under its name.
TEST_F(PrintedPiece, APdfNamedInLatin1IsKept) {
  build_engraved_piece(1, 2, 2, 1);
  ASSERT_EQ(offscreen_create(10, 85, 110, 0, 0), 1);
  ASSERT_EQ(format_page(1, 0), 1);
  const fs::path pdf = folder /
                       "Etude n\xe9"
                       "e.pdf";
  fs::remove(pdf);
  print_settings->destination = PRINT_TO_PDF_FILE;
  print_settings->file = pdf.string();
  EXPECT_TRUE(print_piece(PRINT_WITHOUT_DIALOG));
  EXPECT_TRUE(fs::exists(pdf));
}

// The elements of a GE list, byte for byte.
std::string list_bytes(Drosa head) {
  std::string bytes;
  for (Drosa e = head ? head->xnext : NIL; e; e = e->xnext)
    bytes.append(reinterpret_cast<const char*>(e->bytes()) + 8, DROSA_NODE_SIZE - 8);
  return bytes;
}

TEST_F(PrintedPiece, APageIsKeptAsFormattedUntilThePieceAParameterAnOptionOrTheZoomChanges) {
  build_engraved_piece(2, 8, 2, 2);
  ASSERT_EQ(offscreen_create(10, 85, 110, 0, 0), 1);
  current_page = 1;
  const std::vector<std::pair<const char*, void (*)()>> changes = {
      {"an edit", [] { mark_piece_changed(1, 2, 0); }},
      {"a parameter",
       [] {
         param[P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT].value.set_integer(
             param[P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT].value.integer() + 1);
       }},
      {"an option", [] { set_options_i16(1, OPTIONS_FIRST_PAGE, 3); }},
      {"the zoom", [] { zoom_factor = 20; }},
  };
  for (const auto& [what, change] : changes) {
    ASSERT_EQ(format_page(1, 0), 1);
    ASSERT_TRUE(kept_page_graphics(1)) << what;
    EXPECT_EQ(list_bytes(kept_page_graphics(1)), list_bytes(GE_head));
    change();
    EXPECT_FALSE(kept_page_graphics(1)) << what;
  }
}

TEST_F(PrintedPiece, EveryPageFormattedInTurnIsKeptAsAFormatOfItAloneMakesIt) {
  build_engraved_piece(2, 8, 2, 2);
  ASSERT_EQ(offscreen_create(10, 85, 110, 0, 0), 1);
  count_pages();
  format_all_pages();
  ASSERT_GE(page_count, 2);
  std::vector<std::string> kept;
  for (int32_t page = 1; page <= page_count; ++page) {
    ASSERT_TRUE(kept_page_graphics(page)) << page;
    kept.push_back(list_bytes(kept_page_graphics(page)));
  }
  EXPECT_EQ(list_bytes(GE_head), kept.back()) << "the last page stays the screen's";
  for (int32_t page = 1; page <= page_count; ++page) {
    ASSERT_EQ(format_page(page, 0), 1);
    EXPECT_EQ(list_bytes(GE_head), kept[size_t(page - 1)]) << page;
  }
}

TEST_F(PrintedPiece, ChosenContextsArePrintedEachInItsOwnAndTheScreenComesBack) {
  // The Score shows three staves; context 2 only the second, on a landscape page.
  ncontext_count = 2;
  for (int v = 0; v < 3; ++v) {
    new_voice(v == 1 ? "Oboe" : "Flute", 0, v);
    if (v == 1) add_print(v, 2, 0);
    for (int i = 0; i < 4; ++i) add_note(v, QUARTER, 30 + i);
    add_bar(v);
  }
  set_options_i32(2, OPTIONS_PAGE_WIDTH, 110);  // printed across upright paper
  set_options_i32(2, OPTIONS_PAGE_HEIGHT, 60);
  put_be32(print_record[2] + PRINT_LANDSCAPE, 1);
  ASSERT_EQ(offscreen_create(10, 85, 110, 0, 0), 1);
  prepare_piece();
  const int32_t score_width = page_pixel_width;
  const fs::path files[2] = {folder / "score.ps", folder / "oboe.ps"};
  script_hit(CHOOSE_ALL);
  script_hit(1);
  for (const fs::path& file : files) {
    fs::remove(file);
    script_choose(PRINT_DIALOG_DESTINATION, 2);
    script_type(PRINT_DIALOG_FILE, file.string());
    script_hit(1);
  }
  print_piece(PRINT_CHOSEN_CONTEXTS);
  size_t lines[2];
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(fs::exists(files[i]));
    expect_ghostscript_reads(files[i]);
    lines[i] = lines_ending(body_lines(read_file(files[i])), " lineq").size();
  }
  EXPECT_LT(lines[1] * 2, lines[0]) << "one staff against three";
  const std::string turned = read_file(files[1]);
  EXPECT_NE(turned.find("%%BoundingBox: 0 0 612 792"), std::string::npos);
  EXPECT_NE(turned.find("%%Orientation: Landscape"), std::string::npos);
  EXPECT_EQ(current_ncontext, 1);
  EXPECT_EQ(page_pixel_width, score_width);
  EXPECT_EQ(pstaff_count, 3) << "the Score's page formatted again";
}

}  // namespace

// A PDF's sheet is the page at the page setup's scale, whatever paper the page setup names
// (Letter here): the paper a page laid out larger than its paper was made for, with the music
// scaled onto it; exactly A4 or Letter within a tenth of an inch (a Letter page's 11 inches
// rounded up to 11.1 once came out on a paper no printer has).
TEST_F(PrintedPiece, APdfSheetIsThePageAtItsScale) {
  new_voice("Flute", 0, 0);
  for (int i = 0; i < 4; ++i) add_note(0, QUARTER, 30 + i);
  add_bar(0);
  struct Case {
    int32_t width, height;  // the page, tenths of an inch
    int scale;              // per cent
    const char* size;       // as pdfinfo gives the sheet
  } cases[] = {{83, 117, 100, "595 x 842 pts (A4)"},
               {104, 146, 80, "595 x 842 pts (A4)"},
               {85, 111, 100, "612 x 792 pts (letter)"},
               {110, 60, 100, "792 x 432 pts"}};
  for (const Case& c : cases) {
    put_be32(print_record[1] + PRINT_SCALE, c.scale);
    set_options_i32(1, OPTIONS_PAGE_WIDTH, c.width);
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, c.height);
    ASSERT_EQ(offscreen_create(ZOOM, c.width, c.height, 0, 0), 1);
    prepare_piece();
    const fs::path pdf = folder / ("sheet-" + std::to_string(c.width) + ".pdf");
    fs::remove(pdf);
    print_settings->destination = PRINT_TO_PDF_FILE;
    print_settings->file = pdf.string();
    print_piece(PRINT_WITHOUT_DIALOG);
    std::string output;
    ASSERT_EQ(run("pdfinfo '" + pdf.string() + "'", &output), 0) << output;
    EXPECT_NE(output.find("Page size:       " + std::string(c.size)), std::string::npos) << output;
    // The page is drawn from the sheet's corner, as on the screen, at the scale: rendered
    // that much finer, the sheet's pixels are the screen's.
    ASSERT_EQ(format_page(1, 0), 1);
    const std::string stem = (folder / ("sheet-" + std::to_string(c.width))).string();
    const std::string dpi = std::to_string(144 * 100 / c.scale);
    ASSERT_EQ(run("pdftoppm -r " + dpi + " -png '" + pdf.string() + "' '" + stem + "'", &output),
              0);
    Port* printed = port_load_image((stem + "-1.png").c_str());
    ASSERT_NE(printed, nullptr);
    const std::vector<Anchor> at = anchors();
    EXPECT_EQ(at.size(), 4u);
    for (const Anchor& a : at) {
      const Centroid p = ink_centroid(printed, int(std::lround(a.x)), int(std::lround(a.y)), 8);
      const Centroid s =
          ink_centroid(offscreen_page, int(std::lround(a.x)), int(std::lround(a.y)), 8);
      EXPECT_LT(std::hypot(p.x - s.x, p.y - s.y), 2) << a.what << " at " << a.x << "," << a.y;
    }
    port_dispose(printed);
  }
}
