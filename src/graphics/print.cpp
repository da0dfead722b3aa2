// print.cpp: printing and page setup.
//
// One printing session lives for the whole run. Each notation context keeps its own page
// setup (scale, paper, orientation) in its print_record, which is put into the session's page
// format before a dialog or a print. Printing formats each page of each chosen context for
// printing (the view is not redrawn) and sends it either as the program's own PostScript
// (postscript.cpp), when the destination takes PostScript, or by plotting the GE list on the
// printed page's port. The printed page's pixels are a fifth of a point at 100 percent, so
// that lines snap to a fine grid; the session places them on the paper at the context's scale.
// A PDF file has no paper of its own: its sheets are the context's page at the context's scale
// (the paper the page was laid out for), the music scaled onto them as on a printer's paper.
//
// What printing changes to show its pages (the notation context, the page, the print
// transform, the page image, the GE list) is put back when it ends, whether it ended well,
// was cancelled or failed part way.
#include "graphics/print.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <strings.h>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/GE.h"
#include "graphics/flash.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/offscreen.h"
#include "graphics/plot.h"
#include "graphics/postscript.h"
#include "graphics/raster.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/cores.h"
#include "platform/dialogs.h"
#include "platform/port.h"
#include "platform/printing.h"

namespace {

constexpr int PRINT_DIALOG_EXTRAS = 167;  // the program's items of the Print dialog
constexpr int EXTRA_ITEMS = 3;
constexpr double POINTS_PER_TENTH = 7.2;  // of an inch

// The document formats that carry the program's PostScript.
const char* const POSTSCRIPT_FORMATS[] = {
    PRINT_FORMAT_POSTSCRIPT,
    "application/vnd.apple.printing-pict-ps",
    "application/vnd.apple.printing-pict-ps-viapsnormalizer",
};

// What printing puts back when it ends.
struct ShownState {
  int context = 1;
  int32_t page = 1;
  ViewTransform print_transform;
  int32_t print_width = 0, print_height = 0;
  int32_t scroll_h = 0, scroll_v = 0;
  bool formatted = false;  // a page was formatted for printing: the screen's must be again
  std::string last_file;   // the file the command printed a context to last
};

void show_title(const char* extra) {
  if (music_window()) display_win_title(2, extra);
}

// Shows the session's error for a step; true when there was one.
bool step_failed(int16_t code, const char* step) {
  return code != 0 && !report_file_error(code, step);
}

void switch_context(int context, int32_t page) {
  if (context == current_ncontext) return;
  const int32_t width = options_i32(current_ncontext, OPTIONS_PAGE_WIDTH);
  const int32_t height = options_i32(current_ncontext, OPTIONS_PAGE_HEIGHT);
  set_notation_context(context, -page);
  count_pages();
  follow_context_page_size(width, height);
}

void put_back(const ShownState& shown) {
  switch_context(shown.context, shown.page);
  current_page = std::clamp<int32_t>(shown.page, 1, std::max<int32_t>(page_count, 1));
  print_transform = shown.print_transform;
  print_page_pixel_width = shown.print_width;
  print_page_pixel_height = shown.print_height;
  scroll_h = shown.scroll_h;
  scroll_v = shown.scroll_v;
  if (music_window()) display_win_title(1, nullptr);
  if (shown.formatted && voice_count > 0) reformat_with_flag(current_page, 0);
}

bool carries_postscript(const std::string& format) {
  for (const char* name : POSTSCRIPT_FORMATS)
    if (strcasecmp(format.c_str(), name) == 0) return true;
  return false;
}

// The offset that centres an extent of the page within the printable extent (both pixels):
// half of what is left over, cut down to a multiple of 16; 0 when nothing is left over.
double centring(double printable, int32_t page) {
  const int32_t half = int32_t((printable - page) / 2) / 16 * 16;
  return half > 0 ? half : 0;
}

// Where the context's pages go on the paper. A PDF file has no paper: its sheet is the
// context's page (tenths of an inch) at the page setup's scale, in whole tenths of an inch,
// which is the paper a page laid out larger than its paper was made for.
PrintPagePlacement placement_for(const PrintPageFormat& format, int32_t width, int32_t height,
                                 bool pdf) {
  PrintPagePlacement placement;
  placement.width = width;
  placement.height = height;
  placement.points_per_pixel = PRINT_ZOOM / 10.0 * format.scale / 100.0;
  if (pdf) {
    const PrintedSheet sheet = printed_sheet(current_ncontext, format.scale);
    placement.sheet_width = sheet.width;
    placement.sheet_height = sheet.height;
    return placement;
  }
  const bool landscape = format.orientation == ORIENTATION_LANDSCAPE ||
                         format.orientation == ORIENTATION_REVERSE_LANDSCAPE;
  const int32_t* paper = format.paper;
  // The printable area: the paper less the same margin on opposite sides.
  const double across = (paper[3] - paper[1]) + 2.0 * paper[1];
  const double down = (paper[2] - paper[0]) + 2.0 * paper[0];
  const double printable_x = (landscape ? down : across) / placement.points_per_pixel;
  const double printable_y = (landscape ? across : down) / placement.points_per_pixel;
  if (print_dialog_flags[0]) placement.offset_x = centring(printable_x, width);
  if (print_dialog_flags[2]) placement.offset_y = centring(printable_y, height);
  return placement;
}

// A file is proposed under the piece's name, in its folder, without its extension.
std::string proposed_file() {
  std::string proposed = untitled_file_name(piece_fsspec);
  const size_t slash = proposed.find_last_of('/');
  const size_t dot = proposed.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
    proposed.resize(dot);
  return proposed;
}

// The PDF file a context printed without the dialog goes to when there is no printer: beside
// the piece, under its name; a piece of several contexts adds the context's number. Never the
// piece's own file.
std::string pdf_file_beside_piece(int context) {
  std::string file = proposed_file();
  if (ncontext_count > 1) file += "-" + std::to_string(context);
  file += ".pdf";
  if (file == piece_fsspec) file += ".pdf";
  return file;
}

// Runs the Print dialog for the context; false when it was cancelled. The third check box's
// choice is kept for the context when the second is set.
bool run_print_dialog(int context) {
  uint8_t& flag = print_record[context][PRINT_DIALOG_FLAGS];
  print_dialog_flags[0] = flag != PRINT_CENTRED_DOWN;
  print_dialog_flags[1] = 0;
  print_dialog_flags[2] = flag == PRINT_CENTRED_DOWN;
  apply_page_format(context);
  print_settings->proposed_file = proposed_file();
  if (!platform_print_dialog(print_session, print_settings, page_format, print_dialog_init_proc))
    return false;
  apply_page_format(context);
  if (print_dialog_flags[1]) {
    const uint8_t kept = print_dialog_flags[2] ? PRINT_CENTRED_DOWN : 0;
    if (kept != flag) {
      flag = kept;
      DrosaDirty |= 1;
    }
  }
  return true;
}

void read_page_setup(int context, int32_t* scale, int32_t* landscape, int32_t paper[4]) {
  const uint8_t* r = print_record[context];
  *scale = get_be32(r + PRINT_SCALE);
  *landscape = get_be32(r + PRINT_LANDSCAPE);
  for (int i = 0; i < 4; ++i) paper[i] = get_be32(r + PRINT_PAPER + 4 * i);
}

// The page format of a context's page setup.
void format_of(int context, PrintPageFormat* format) {
  context = std::clamp(context, 1, int(MAX_NCONTEXTS));
  int32_t scale, landscape, paper[4];
  read_page_setup(context, &scale, &landscape, paper);
  format->scale = scale > 0 ? scale : 100;
  format->orientation = landscape ? ORIENTATION_LANDSCAPE : ORIENTATION_PORTRAIT;
  std::copy(paper, paper + 4, format->paper);
}

// ---- Pages drawn ahead -------------------------------------------------------------------------

// How a printed page is drawn: the view transform in place while it is drawn and the page's
// rectangle, which is also its port's size. The transform is the print zoom's, whatever follows
// from the zoom.
struct PrintedView {
  SavedViewTransform view;
  Rect page;
  bool operator==(const PrintedView& o) const {
    return view.zoom == o.view.zoom && view.width == o.view.width && view.height == o.view.height &&
           page == o.page;
  }
};

// The current context's printed view, for a print transform of the print zoom.
PrintedView printed_view(const ViewTransform& print) {
  const int c = current_ncontext;
  int32_t width = 0, height = 0;
  set_view_transform(PRINT_ZOOM, options_i32(c, OPTIONS_PAGE_WIDTH),
                     options_i32(c, OPTIONS_PAGE_HEIGHT), 0, nullptr, 0, 0, 1, &width, &height);
  return {print_view_of(print), Rect{0, 0, width, height}};
}

// A page drawn, or to be drawn, ahead: its kept list (lent until it is drawn), which keeping of
// the page that was, the printed page, and whether it was ended in the document begun ahead.
struct AheadPage {
  int32_t page = 0;
  Drosa head;
  uint32_t serial = 0;
  PrintedPage* printed = nullptr;
  bool ended = false;
};

// The pages drawn ahead and the thread that draws them, one page after another in the order
// they became final.
struct DrawingAhead {
  PrintedView view;
  PageCurveWidths curves;
  // The pages drawn are ended in a PDF document of the context's page setup, begun ahead, while
  // they come one after another from the first on: `ready` the last so ended, or being ended.
  PrintPagesAhead* ready_for = nullptr;
  int32_t ready = 0;
  std::mutex lock;
  std::condition_variable changed;
  std::deque<AheadPage> waiting;  // final, not yet drawn
  int32_t drawing = 0;            // the page being drawn, 0 none
  AheadPage under_way;            // that page
  std::vector<AheadPage> drawn;
  bool stopping = false;     // pages still waiting are left undrawn
  int32_t fewest_pages = 0;  // a piece of fewer pages is not drawn ahead
  std::thread thread;
};
std::unique_ptr<DrawingAhead> ahead;

void draw_ahead(DrawingAhead& a) {
  platform_print_thread_begins();
  own_measuring_port = port_new_offscreen(8, 8);
  put_view_transform(a.view.view);
  page_curve_widths = a.curves;
  for (;;) {
    AheadPage page;
    {
      std::unique_lock held(a.lock);
      a.changed.wait(held, [&a] { return a.stopping || !a.waiting.empty(); });
      if (a.stopping) break;
      page = a.waiting.front();
      a.waiting.pop_front();
      page.ended = a.ready_for && page.page == a.ready + 1;  // else only drawn
      if (page.ended) a.ready = page.page;
      a.drawing = page.page;
      a.under_way = page;
    }
    page.printed = platform_print_page_apart(
        a.view.page.right, a.view.page.bottom,
        [&] { plot_GE_list_of(page.head, a.view.page, PLOT_PRINT, 0); },
        page.ended ? a.ready_for : nullptr);
    kept_page_give_back(page.page);
    {
      std::lock_guard held(a.lock);
      a.drawn.push_back(page);
      a.drawing = 0;
    }
    a.changed.notify_all();
  }
  port_dispose(own_measuring_port);
  own_measuring_port = nullptr;
  platform_print_thread_ends();
}

// Lets the thread drawing ahead take no more pages: the pages waiting are left, the page it is
// drawing (returned, 0 none) is finished.
int32_t stop_taking_pages(DrawingAhead& a) {
  std::deque<AheadPage> left;
  int32_t drawing = 0;
  {
    std::lock_guard held(a.lock);
    a.stopping = true;
    left.swap(a.waiting);
    drawing = a.drawing;
  }
  a.changed.notify_all();
  for (const AheadPage& page : left) kept_page_give_back(page.page);
  return drawing;
}

// Stops the thread drawing ahead: the page it is drawing is finished, the pages waiting are left.
// The document begun ahead goes (a print has taken it, or can no longer), with the pages ended in
// it.
void stop_drawing_ahead(DrawingAhead& a) {
  stop_taking_pages(a);
  if (a.thread.joinable()) a.thread.join();
  platform_print_pages_ahead_dispose(std::exchange(a.ready_for, nullptr));
  for (AheadPage& page : a.drawn)
    if (page.ended) platform_print_page_apart_dispose(std::exchange(page.printed, nullptr));
}

// The document the thread drawing ahead has ended pages in, when the print of pages `first` to
// `last` in the view `view` can go on with it: those pages begin with its first, every page ended
// in it (or being ended) is still as printed now, and every page is kept as formatted (the pages
// are printed side by side). nullptr when not. The thread takes no more pages.
PrintPagesAhead* document_ahead(int32_t first, int32_t last, const PrintedView& view) {
  if (!ahead || !ahead->ready_for || first != 1 || !(ahead->view == view)) return nullptr;
  const PageCurveWidths curves = curve_widths();
  if (curves.thickness != ahead->curves.thickness || curves.width != ahead->curves.width)
    return nullptr;
  std::vector<AheadPage> ended;
  {
    std::lock_guard held(ahead->lock);
    if (ahead->ready < 1 || ahead->ready > last) return nullptr;
    ended.resize(size_t(ahead->ready) + 1);
    for (const AheadPage& page : ahead->drawn)
      if (page.ended) ended[size_t(page.page)] = page;
    if (ahead->drawing && ahead->under_way.ended)
      ended[size_t(ahead->under_way.page)] = ahead->under_way;
  }
  const std::vector<Drosa> kept = kept_pages_graphics(1, last);  // first is 1
  for (int32_t n = 1; n < int32_t(ended.size()); ++n) {
    const AheadPage& page = ended[size_t(n)];
    if (page.page != n || page.head != kept[size_t(n - 1)] || page.serial != kept_page_serial(n))
      return nullptr;
  }
  for (const Drosa list : kept)
    if (!list) return nullptr;
  return ahead->ready_for;
}

// The page drawn ahead from the list `head` now kept for page `page`, with the view `view` and the
// curve widths in force now; taken from those drawn (nullptr when there is none). The page being
// drawn is waited for.
PrintedPage* take_drawn_ahead(int32_t page, Drosa head, const PrintedView& view) {
  if (!ahead || !(ahead->view == view)) return nullptr;
  const PageCurveWidths curves = curve_widths();
  if (curves.thickness != ahead->curves.thickness || curves.width != ahead->curves.width)
    return nullptr;
  std::unique_lock held(ahead->lock);
  ahead->changed.wait(held, [page] { return ahead->drawing != page; });
  for (AheadPage& drawn : ahead->drawn)
    if (drawn.page == page && drawn.printed && drawn.head == head &&
        drawn.serial == kept_page_serial(page))
      return std::exchange(drawn.printed, nullptr);
  return nullptr;
}

// Prints the pages of a PDF document side by side, when every one is kept as formatted and the
// document can: each page's kept list is drawn on a thread of its own, on its own port, with the
// print transform put in place once for all of them; *ok is false when a page could not be
// ended (it has been reported). False when they are to be printed one by one. The pages drawn
// ahead in the view `view` are taken, `coming` the page being drawn ahead (0 none).
bool print_pages_together(int32_t first, int32_t last, Rect page, const PrintedView& view,
                          int32_t coming, bool* ok) {
  const int count = int(last - first + 1);
  const bool drawing_ahead = ahead && ahead->thread.joinable();
  if (count < 1 || (!drawing_ahead && !platform_print_pages_together(print_session, count)))
    return false;
  const std::vector<Drosa> lists = kept_pages_graphics(first, last);
  for (const Drosa list : lists)
    if (!list) return false;
  // The page the thread is drawing is taken when it is to end, the others are drawn meanwhile.
  const bool is_coming = coming >= first && coming <= last;
  std::vector<PrintedPage*> drawn(lists.size(), nullptr);
  int drawn_count = is_coming ? 1 : 0;
  for (size_t i = 0; i < lists.size(); ++i)
    if (first + int32_t(i) != coming &&
        (drawn[i] = take_drawn_ahead(first + int32_t(i), lists[i], view)))
      ++drawn_count;
  if (!platform_print_pages_together(print_session, count, drawn_count)) {
    for (PrintedPage* printed : drawn) platform_print_page_apart_dispose(printed);
    return false;
  }
  char title[48];
  std::snprintf(title, sizeof title, " Printing pages %d to %d", int(first), int(last));
  show_title(title);
  const bool swapped = print_transform.zoom > 0;
  SavedViewTransform saved{};
  if (swapped) saved = use_print_transform();
  const int16_t code = platform_print_draw_pages(
      print_session, int(lists.size()),
      [&lists, &view, page, caller = std::this_thread::get_id()](int i) {
        // Another thread measures texts on a port of its own, with the print transform on itself.
        if (std::this_thread::get_id() != caller && !own_measuring_port) {
          own_measuring_port = port_new_offscreen(8, 8);
          put_view_transform(view.view);
        }
        plot_GE_list_of(lists[size_t(i)], page, PLOT_PRINT, 0);
      },
      [] {
        port_dispose(own_measuring_port);
        own_measuring_port = nullptr;
      },
      [&](int i) {
        return first + i == coming ? take_drawn_ahead(coming, lists[size_t(i)], view)
                                   : std::exchange(drawn[size_t(i)], nullptr);
      },
      [&](int i) { return first + i == coming; });
  for (PrintedPage* printed : drawn) platform_print_page_apart_dispose(printed);  // not taken
  if (swapped) restore_view_transform(saved);
  *ok = !step_failed(code, "Close Printer Page");
  return true;
}

// Prints the pages of the current context; false when a step failed (it has been reported).
bool print_pages(int32_t first, int32_t last) {
  const std::vector<std::string> formats =
      platform_print_document_formats(print_session, print_settings);
  const bool postscript = std::any_of(formats.begin(), formats.end(), carries_postscript);
  platform_print_set_document_format(print_session,
                                     postscript ? PRINT_FORMAT_POSTSCRIPT : PRINT_FORMAT_PDF);
  const int c = current_ncontext;
  const int32_t width = options_i32(c, OPTIONS_PAGE_WIDTH),
                height = options_i32(c, OPTIONS_PAGE_HEIGHT);
  print_transform = transform_for_zoom(PRINT_ZOOM);
  set_view_transform(PRINT_ZOOM, width, height, 0, nullptr, 0, 0, 1, &print_page_pixel_width,
                     &print_page_pixel_height);
  const Rect page{0, 0, print_page_pixel_width, print_page_pixel_height};
  // The thread drawing ahead takes no more pages; those it drew that are still as printed now
  // are taken, and the document it ended them in goes on when it can.
  const int32_t coming = ahead ? stop_taking_pages(*ahead) : 0;
  const PrintedView view{
      print_transform.zoom > 0
          ? print_view_of(print_transform)
          : SavedViewTransform{view_transform, zoom_factor, page_pixel_width, page_pixel_height},
      page};
  if (step_failed(platform_print_begin_document(
                      print_session, print_settings, page_format,
                      placement_for(*page_format, page.right, page.bottom, !postscript),
                      postscript ? nullptr : document_ahead(first, last, view)),
                  "Open Printer Document"))
    return false;
  bool ok = true;
  const bool together = !postscript && print_pages_together(first, last, page, view, coming, &ok);
  // Pages printed one by one are formatted here: the thread drawing ahead goes first. Printed
  // together, it has finished any page of this document and takes no other: it ends while the
  // document does.
  if (ahead && !together) stop_drawing_ahead(*ahead);
  for (int32_t n = first; !together && ok && n <= last; ++n) {
    char title[40];
    std::snprintf(title, sizeof title, " Printing page %d", int(n));
    show_title(title);
    // A page kept as formatted and not changed since is printed from its kept list.
    const Drosa kept = kept_page_graphics(n);
    if (!kept) {
      disable_format_interrupts();
      format_page(n, FORMAT_FOR_PRINTING);
    }
    if (step_failed(platform_print_begin_page(print_session), "Open Printer Page")) {
      ok = false;
      break;
    }
    Port* port = nullptr;
    if (const int16_t code = platform_print_page_port(print_session, &port); code != 0 || !port) {
      char detail[32];
      std::snprintf(detail, sizeof detail, "  (Graphics Context: %hd)", short(code));
      REPORT_ERROR(2,
                   "Vesk could not create the print graphics port.%s%sThis may be due to a bad "
                   "setting in Page Setup; please check Page Setup, then try to print again.",
                   detail, "  ");
      ok = false;
      break;
    }
    Port* saved = platform_current_port();
    platform_set_port(port);
    const Drosa formatted = GE_head;
    if (kept) GE_head = kept;
    if (postscript)
      draw_postscript_page(page, n == first);
    else
      plot_GE_list(page, PLOT_PRINT, 0);
    GE_head = formatted;
    platform_set_port(saved);
    if (step_failed(platform_print_end_page(print_session), "Close Printer Page")) ok = false;
  }
  if (ok && step_failed(platform_print_session_error(print_session), "Before EndDoc")) ok = false;
  if (ok && step_failed(platform_print_end_document(print_session), "EndDoc")) ok = false;
  if (!ok) platform_print_abort_document(print_session);
  if (ahead) stop_drawing_ahead(*ahead);  // what was drawn ahead goes with the thread
  return ok;
}

// Prints one context; false when the command is to end (cancelled or failed).
bool print_context(int context, int which, ShownState& shown) {
  // Without a dialog the pages go where the session's settings say; when they name no place
  // (no printer and no file), or a file another context has just been printed to, to a PDF
  // file beside the piece: nobody may be there to answer a dialog.
  if (which != PRINT_WITHOUT_DIALOG) {
    if (!run_print_dialog(context)) return false;
  } else {
    if (print_settings->destination != PRINT_TO_PRINTER &&
        (print_settings->file.empty() || print_settings->file == shown.last_file)) {
      print_settings->destination = PRINT_TO_PDF_FILE;
      print_settings->file = pdf_file_beside_piece(context);
    }
    const uint8_t flag = print_record[context][PRINT_DIALOG_FLAGS];
    print_dialog_flags[0] = flag != PRINT_CENTRED_DOWN;
    print_dialog_flags[1] = 0;
    print_dialog_flags[2] = flag == PRINT_CENTRED_DOWN;
    apply_page_format(context);
  }
  if (context != current_ncontext) {
    switch_context(context, 1);
    shown.formatted = true;
  }
  int32_t first = 1, last = page_count;
  if (which != PRINT_WITHOUT_DIALOG) {
    first = print_settings->first_page;
    last = std::min<int32_t>(print_settings->last_page, page_count);
  }
  if (first > last) {
    REPORT_ERROR(2, "There is no page %d to print: this notation context has %d pages.", int(first),
                 int(page_count));
    return true;
  }
  shown.formatted = true;
  if (!print_pages(first, last)) return false;
  if (print_settings->destination != PRINT_TO_PRINTER) shown.last_file = print_settings->file;
  return true;
}

// Keeps the page format in a context's page setup; true when a value changed.
bool keep_page_setup(int context) {
  int32_t scale, landscape, paper[4];
  read_page_setup(context, &scale, &landscape, paper);
  const int32_t wide = page_format->orientation == ORIENTATION_PORTRAIT ||
                               page_format->orientation == ORIENTATION_REVERSE_PORTRAIT
                           ? 0
                           : 1;
  uint8_t* r = print_record[context];
  bool changed = scale != page_format->scale ||
                 get_be16(r + PRINT_SCALE_COPY) != page_format->scale ||
                 (landscape != 0) != (wide != 0);
  for (int i = 0; i < 4; ++i) changed |= paper[i] != page_format->paper[i];
  put_be32(r + PRINT_SCALE, page_format->scale);
  put_be16(r + PRINT_SCALE_COPY, int16_t(page_format->scale));
  put_be32(r + PRINT_LANDSCAPE, wide);
  for (int i = 0; i < 4; ++i) put_be32(r + PRINT_PAPER + 4 * i, page_format->paper[i]);
  return changed;
}

// The session is made at the first print or page setup, not at start-up: asking the system
// for its default printer loads the printing plug-ins.
bool session_ready() {
  if (!print_session || !page_format || !print_settings) Print_init();
  if (print_session && page_format && print_settings) return true;
  REPORT_ERROR(2, "%s", "Printing is not available: the printing session could not be started.");
  return false;
}

}  // namespace

// ---- The session --------------------------------------------------------------------------------

void Print_init() {
  print_release();
  int16_t code = platform_print_session_create(&print_session);
  if (code) {
    report_file_error(code,
                      "You might need to quit Vesk and select a printer.  Print Manager Error");
    print_release();
    return;
  }
  code = platform_print_page_format_create(print_session, &page_format);
  if (!code) code = platform_print_settings_create(print_session, &print_settings);
  if (!code) code = platform_print_default_page_format(print_session, page_format);
  if (!code) code = platform_print_default_settings(print_session, print_settings);
  if (code) {
    report_file_error(code, "Print_init, creating print record");
    print_release();
  }
}

void print_release() {
  if (page_format) platform_print_page_format_release(page_format);
  if (print_settings) platform_print_settings_release(print_settings);
  if (print_session) platform_print_session_release(print_session);
  page_format = nullptr;
  print_settings = nullptr;
  print_session = nullptr;
}

PrintedSheet printed_sheet(int context, int32_t scale) {
  context = std::clamp(context, 1, int(MAX_NCONTEXTS));
  if (scale <= 0) {
    PrintPageFormat format;
    format_of(context, &format);
    platform_print_validate(nullptr, &format, nullptr);
    scale = format.scale;
  }
  auto extent = [&](int offset) {
    return double(std::lround(options_i32(context, offset) * scale / 100.0)) * POINTS_PER_TENTH;
  };
  PrintedSheet sheet{extent(OPTIONS_PAGE_WIDTH), extent(OPTIONS_PAGE_HEIGHT), scale};
  platform_snap_to_paper(&sheet.width, &sheet.height);
  return sheet;
}

void apply_page_format(int context) {
  if (!page_format) return;
  format_of(context, page_format);
  platform_print_validate(print_session, page_format, print_settings);
}

// ---- The Print dialog's own items
// -----------------------------------------------------------------

void print_dialog_init_proc(DialogRef dialog) {
  print_dialog_own_items = platform_item_count(dialog);
  platform_append_dialog_items(dialog, PRINT_DIALOG_EXTRAS);
  platform_set_item_value(dialog, print_dialog_own_items + 1, print_dialog_flags[0]);
  platform_set_item_value(dialog, print_dialog_own_items + 3, print_dialog_flags[2]);
  print_dialog_saved_proc = platform_set_print_dialog_item_proc(dialog, print_dialog_item_proc);
}

void print_dialog_item_proc(DialogRef dialog, int item) {
  const int extra = item - print_dialog_own_items;
  if (extra >= 1 && extra <= EXTRA_ITEMS) {
    uint8_t& flag = print_dialog_flags[extra - 1];
    flag = !flag;
    platform_set_item_value(dialog, item, flag);
    return;
  }
  if (print_dialog_saved_proc) print_dialog_saved_proc(dialog, item);
}

// ---- Commands -----------------------------------------------------------------------------------

bool print_piece(int which) {
  if (!session_ready()) return false;
  const bool closing = which == PRINT_BEFORE_CLOSING;
  if (closing) which = PRINT_WITHOUT_DIALOG;
  uint8_t chosen[MAX_NCONTEXTS + 1] = {};
  if (which == PRINT_CURRENT_CONTEXT) {
    chosen[std::clamp<int>(current_ncontext, 1, MAX_NCONTEXTS)] = 1;
  } else if (which == PRINT_CHOSEN_CONTEXTS) {
    if (!choose_contexts_dialog("Print Which Notation Contexts?", nullptr, chosen)) return false;
  } else {
    for (int c = 1; c <= ncontext_count; ++c) chosen[c] = 1;
  }
  if (flashing_node) stop_flashing(flashing_node);
  insertion_point = NIL;
  ShownState shown;
  shown.context = current_ncontext;
  shown.page = current_page;
  shown.print_transform = print_transform;
  shown.print_width = print_page_pixel_width;
  shown.print_height = print_page_pixel_height;
  shown.scroll_h = scroll_h;
  shown.scroll_v = scroll_v;
  // A print without the dialog leaves the settings the dialog shows as they were.
  const PrintSettings settings = *print_settings;
  bool printed = true;
  for (int c = 1; c <= ncontext_count && c <= MAX_NCONTEXTS; ++c)
    if (chosen[c] && !print_context(c, which, shown)) {
      printed = false;
      break;
    }
  if (which == PRINT_WITHOUT_DIALOG) *print_settings = settings;
  if (closing) shown.formatted = false;
  put_back(shown);
  return printed;
}

void draw_pages_ahead(bool on, int32_t fewest_pages) {
  if (ahead) {
    stop_drawing_ahead(*ahead);
    for (AheadPage& page : ahead->drawn) platform_print_page_apart_dispose(page.printed);
    ahead.reset();
  }
  if (on && platform_usable_cores() >= 2) {
    ahead = std::make_unique<DrawingAhead>();
    ahead->fewest_pages = fewest_pages;
  }
}

// Whether the bars after the first page, as the pages stand before the next is formatted, fill
// most of another page: the pages counted are then likely one short.
bool a_page_more_after_the_first() {
  const PageSpan* first = page_span(0, 1);
  const int32_t on_first = first ? first->bars : 0;
  if (on_first <= 0) return false;
  int32_t after = 0;
  for (int k = 2; const PageSpan* span = page_span(0, k); ++k) after += span->bars;
  return after * 20 >= on_first * 17;
}

void page_final(int32_t page) {
  if (!ahead || ahead->stopping) return;
  DrawingAhead& a = *ahead;
  if (!a.thread.joinable()) {
    if (page_count < a.fewest_pages &&
        !(page == 1 && page_count + 1 == a.fewest_pages && a_page_more_after_the_first())) {
      a.stopping = true;  // the print draws every page
      return;
    }
    a.view = printed_view(transform_for_zoom(PRINT_ZOOM));
    a.curves = curve_widths();
    PrintPageFormat format;
    format_of(current_ncontext, &format);
    platform_print_validate(nullptr, &format, nullptr);
    a.ready_for = platform_print_pages_ahead(
        format, placement_for(format, a.view.page.right, a.view.page.bottom, true));
    try {
      a.thread = std::thread(draw_ahead, std::ref(a));
    } catch (const std::system_error&) {
      platform_print_pages_ahead_dispose(std::exchange(a.ready_for, nullptr));
      a.stopping = true;  // no thread to be had: the print draws every page
      return;
    }
  }
  AheadPage lent{page, NIL, 0, nullptr};
  lent.head = kept_page_lend(page, &lent.serial);
  if (!lent.head) return;
  {
    std::lock_guard held(a.lock);
    a.waiting.push_back(lent);
  }
  a.changed.notify_all();
}

void last_page_final(int32_t page) {
  if (!ahead || !ahead->thread.joinable()) return;
  {
    std::lock_guard held(ahead->lock);
    if (ahead->drawing != 0 || !ahead->waiting.empty()) return;
  }
  page_final(page);
}

void page_setup(int) {
  if (!session_ready()) return;
  uint8_t chosen[MAX_NCONTEXTS + 1] = {};
  if (!choose_contexts_dialog("Change Page Setup for Which Contexts?", nullptr, chosen)) return;
  const int c = std::clamp<int>(current_ncontext, 1, MAX_NCONTEXTS);
  const std::string advice =
      scaling_advice(options_i32(c, OPTIONS_PAGE_WIDTH), options_i32(c, OPTIONS_PAGE_HEIGHT));
  if (!advice.empty()) REPORT_ERROR(2, "%s", advice.c_str());
  platform_print_validate(print_session, page_format, print_settings);
  apply_page_format(c);
  if (!platform_page_setup_dialog(print_session, page_format)) return;
  for (int context = 1; context <= ncontext_count && context <= MAX_NCONTEXTS; ++context)
    if (chosen[context] && keep_page_setup(context)) DrosaDirty |= 1;
}

std::string scaling_advice(int32_t page_width, int32_t page_height) {
  const int32_t longer = std::max(page_width, page_height);
  const int32_t shorter = std::min(page_width, page_height);
  if (shorter <= 0) return std::string();
  auto near_whole = [](int32_t percent) { return percent >= 99 && percent <= 104 ? 100 : percent; };
  const int32_t letter = near_whole(std::min(10400 / longer, 7900 / shorter));
  const int32_t a4 = near_whole(std::min(11000 / longer, 7800 / shorter));
  const char* orientation = page_width > page_height ? "landscape" : "portrait";
  char text[300];
  if (letter != a4)
    std::snprintf(text, sizeof text,
                  "Try a scaling of %hd percent (for 8.5 in by 11 in paper) or %hd percent (for "
                  "A4 paper), and %s page orientation.",
                  short(letter), short(a4), orientation);
  else
    std::snprintf(text, sizeof text,
                  "Try a scaling of %hd percent (for 8.5 in by 11 in paper or A4 paper), and %s "
                  "page orientation.",
                  short(letter), orientation);
  return text;
}
