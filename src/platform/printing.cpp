// printing.cpp: the printing session, its two dialogs and its documents.
//
// A PDF document is drawn page by page through a port on a sink into the writer of
// pdf_writer.h: shapes become filled outlines and texts are written in fonts made of the
// screen's glyphs. A PostScript document is written by the driver of postscript_driver.h. Either
// is written under a temporary name beside the file it is for and renamed when it ends, so a
// print that fails leaves an existing file as it was; a printer's document is written to a
// temporary file and handed to the spooler ("lp") when it ends.
//
// The dialogs are our own tables (dialog_tables.cpp), so that they behave the same on a
// display and in scripted tests.
#include "platform/printing.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QProcess>
#include <QStringList>

#include "platform/beep.h"
#include "platform/cores.h"
#include "platform/file_dialog.h"
#include "platform/files.h"
#include "platform/os_errors.h"
#include "platform/pdf_writer.h"
#include "platform/port.h"
#include "platform/port_sink.h"
#include "platform/postscript_driver.h"
#include "platform/print_server.h"
#include "platform/printer_list.h"
#include "platform/script.h"

namespace {

enum class DocumentKind { NONE, PDF, POSTSCRIPT };

// Failure steps of the test double.
enum FailStep {
  FAIL_NONE,
  FAIL_BEGIN_DOCUMENT,
  FAIL_BEGIN_PAGE,
  FAIL_PAGE_PORT,
  FAIL_END_PAGE,
  FAIL_END_DOCUMENT
};

int fail_step = FAIL_NONE, fail_page = 0;
int most_page_helpers = -1;
int16_t fail_code = 0;
bool use_test_printers = false;
std::vector<std::string> test_printers;
std::string spool_file;

// The paper sizes offered, in points.
struct Paper {
  const char* name;
  int width, height;
};
constexpr Paper PAPERS[] = {
    {"US Letter", 612, 792}, {"US Legal", 612, 1008}, {"Tabloid", 792, 1224},
    {"A5", 420, 595},        {"A4", 595, 842},        {"A3", 842, 1191},
};
constexpr int PAPER_MARGIN = 12;  // points between the paper's edge and the printable area
constexpr int LEAST_SCALE = 5, MOST_SCALE = 1000;
constexpr int MOST_COPIES = 999;

}  // namespace

// How a PDF page's drawing reaches the writer's page.
struct PdfPageSink {
  PdfPage* page = nullptr;  // where the page is drawn; nullptr while none is open
  // Shapes of one colour and clip drawn one after another are filled as one, so that the
  // strokes that make up a wide line leave no seams between them: their elements one after
  // another, as a path they were added to would hold them.
  // They are gathered at the end of the PDF page's own elements: `pending` of them.
  size_t pending = 0;
  QRgb pending_colour = 0;
  QRectF pending_clip;
  // Lines drawn side by side one pixel apart (a wide line drawn as strokes) become one band:
  // its first stroke, how many, and which way they go (0 not yet known, 1 up, 2 right).
  struct Band {
    int strokes = 0;
    Point a, b;
    int w = 0, h = 0;
    int way = 0;
    QRgb colour = 0;
    QRectF clip;
  } band;
};

struct PrintSession {
  std::string format = PRINT_FORMAT_PDF;   // of the next document
  DocumentKind kind = DocumentKind::NONE;  // of the document under way
  int16_t error = 0;
  int pages_done = 0;
  bool page_open = false;
  PrintSettings settings;
  std::string final_path;  // the file the document is for ("" for a printer)
  std::string temp_path;   // where it is written meanwhile
  // PDF
  PdfWriter* pdf = nullptr;
  bool pdf_in_memory = false;  // the document begun ahead: its file not yet written
  PdfPageSink sink;            // the page under way
  int width = 0, height = 0;   // the pages' ports, pixels
  // PostScript
  PostScriptDriver ps;
  std::FILE* file = nullptr;            // the document's file, either kind
  std::unique_ptr<char[]> file_buffer;  // its buffer, kept while a file is open
  Port* port = nullptr;
  // Whether a print server might answer, found once for the session's defaults (-1: not yet).
  int server = -1;
};

namespace {

// ---- Paper ----------------------------------------------------------------------------------

int paper_width(const PrintPageFormat& f) { return f.paper[3] - f.paper[1]; }
int paper_height(const PrintPageFormat& f) { return f.paper[2] - f.paper[0]; }

void set_paper(PrintPageFormat* f, int width, int height) {
  f->paper[0] = -PAPER_MARGIN;
  f->paper[1] = -PAPER_MARGIN;
  f->paper[2] = height - PAPER_MARGIN;
  f->paper[3] = width - PAPER_MARGIN;
}

bool landscape(const PrintPageFormat& f) {
  return f.orientation == ORIENTATION_LANDSCAPE || f.orientation == ORIENTATION_REVERSE_LANDSCAPE;
}

// The entry of the paper table that matches the format's paper within a point, 0 none.
int paper_entry(const PrintPageFormat& f) {
  for (int i = 0; i < int(std::size(PAPERS)); ++i)
    if (std::abs(PAPERS[i].width - paper_width(f)) <= 1 &&
        std::abs(PAPERS[i].height - paper_height(f)) <= 1)
      return i + 1;
  return 0;
}

}  // namespace

// A sheet within a tenth of an inch of a paper of the table, either way up, becomes that paper
// exactly (a page given in tenths of an inch, rounded up, is never quite A4 or Letter).
void platform_snap_to_paper(double* width, double* height) {
  constexpr double NEAR = 7.2 + 0.01;
  for (const Paper& paper : PAPERS) {
    for (const bool turned : {false, true}) {
      const double w = turned ? paper.height : paper.width;
      const double h = turned ? paper.width : paper.height;
      if (std::fabs(*width - w) <= NEAR && std::fabs(*height - h) <= NEAR) {
        *width = w;
        *height = h;
        return;
      }
    }
  }
}

namespace {

// The media a document's pages are printed on and where the page's pixels go on it (points).
struct Sheet {
  double media_width = 0, media_height = 0;
  double origin_x = 0, origin_y = 0;  // the page's top-left on the media
  double points_per_pixel = 1;
  bool wide = false;  // the paper turned for a landscape page
};

Sheet sheet_of(const PrintPageFormat& format, const PrintPagePlacement& placement) {
  Sheet sheet;
  const bool own_sheet = placement.sheet_width > 0 && placement.sheet_height > 0;
  const bool wide = !own_sheet && landscape(format);
  const double ppp = placement.points_per_pixel;
  sheet.wide = wide;
  sheet.points_per_pixel = ppp;
  if (own_sheet) {
    sheet.media_width = placement.sheet_width;
    sheet.media_height = placement.sheet_height;
    platform_snap_to_paper(&sheet.media_width, &sheet.media_height);
    return sheet;
  }
  sheet.media_width = wide ? paper_height(format) : paper_width(format);
  sheet.media_height = wide ? paper_width(format) : paper_height(format);
  sheet.origin_x = -(wide ? format.paper[0] : format.paper[1]) + placement.offset_x * ppp;
  sheet.origin_y = -(wide ? format.paper[1] : format.paper[0]) + placement.offset_y * ppp;
  return sheet;
}

// The page setup a PDF or PostScript document starts with: the media and where the page
// stands on it.
template <class Setup>
Setup setup_of(const Sheet& sheet) {
  Setup setup;
  setup.media_width = sheet.media_width;
  setup.media_height = sheet.media_height;
  setup.origin_x = sheet.origin_x;
  setup.origin_y = sheet.origin_y;
  setup.points_per_pixel = sheet.points_per_pixel;
  return setup;
}

// ---- Sinks -------------------------------------------------------------------------------------

void flush_band(PdfPageSink* s);

void flush_fills(PdfPageSink* s) {
  flush_band(s);
  if (s->pending) pdf_page_fill_last(s->page, s->pending, s->pending_colour, s->pending_clip);
  s->pending = 0;
}

constexpr size_t MOST_PENDING_ELEMENTS = 4096;

// Makes the pending fills ready for a shape of nonzero winding in a colour and clip: what is
// pending goes first when it is of another colour or clip, or large.
void pend_fill(PdfPageSink* s, QRgb colour, const QRectF& clip) {
  if (s->pending && (colour != s->pending_colour || clip != s->pending_clip ||
                     s->pending > MOST_PENDING_ELEMENTS))
    flush_fills(s);
  s->pending_colour = colour;
  s->pending_clip = clip;
}

// Before the elements of a shape are added: pending fills that end with a lone move drop it
// for the shape's own start.
void drop_lone_move(PdfPageSink* s) {
  if (!s->pending) return;
  PdfOutline& elements = pdf_page_elements(s->page);
  if (elements.back().type == QPainterPath::MoveToElement) {
    elements.pop_back();
    --s->pending;
  }
}

// The band's strokes as one shape (the outline of a pen as wide as they stand, closed back to
// its first corner), added to the pending fills.
void flush_band(PdfPageSink* s) {
  PdfPageSink::Band& b = s->band;
  if (b.strokes == 0) return;
  const int more = b.strokes - 1;
  QPointF hull[6];
  if (b.way == 1)
    port_line_hull({b.a.x, b.a.y - more}, {b.b.x, b.b.y - more}, b.w, b.h + more, hull);
  else
    port_line_hull(b.a, b.b, b.w + more, b.h, hull);
  b.strokes = 0;
  if (!s->page) return;
  pend_fill(s, b.colour, b.clip);
  drop_lone_move(s);
  PdfOutline& elements = pdf_page_elements(s->page);
  for (int i = 0; i < 6; ++i)
    elements.push_back({hull[i].x(), hull[i].y(),
                        i == 0 ? QPainterPath::MoveToElement : QPainterPath::LineToElement});
  s->pending += 6;
  if (hull[5].x() != hull[0].x() || hull[5].y() != hull[0].y()) {
    elements.push_back({hull[0].x(), hull[0].y(), QPainterPath::LineToElement});
    ++s->pending;
  }
}

void pdf_line(void* context, Point a, Point b, int w, int h, QRgb colour, const QRectF& clip) {
  auto* s = static_cast<PdfPageSink*>(context);
  PdfPageSink::Band& band = s->band;
  if (band.strokes > 0 && colour == band.colour && clip == band.clip && w == band.w &&
      h == band.h) {
    const int n = band.strokes;
    const bool up =
        a.x == band.a.x && b.x == band.b.x && a.y == band.a.y - n && b.y == band.b.y - n;
    const bool right =
        a.y == band.a.y && b.y == band.b.y && a.x == band.a.x + n && b.x == band.b.x + n;
    if ((up && band.way != 2) || (right && band.way != 1)) {
      band.way = up ? 1 : 2;
      ++band.strokes;
      return;
    }
  }
  flush_band(s);
  band = PdfPageSink::Band{1, a, b, w, h, 0, colour, clip};
}

void pdf_fill(void* context, const QPainterPath& shape, QRgb colour, const QRectF& clip) {
  auto* s = static_cast<PdfPageSink*>(context);
  if (!s->page) return;
  flush_band(s);  // a band drawn before this shape goes first
  if (shape.fillRule() != Qt::WindingFill) {
    flush_fills(s);
    pdf_page_fill(s->page, shape, colour, clip);
    return;
  }
  pend_fill(s, colour, clip);
  if (shape.isEmpty()) return;
  drop_lone_move(s);
  const int count = shape.elementCount();
  PdfOutline& elements = pdf_page_elements(s->page);
  for (int i = 0; i < count; ++i) elements.push_back(shape.elementAt(i));
  s->pending += size_t(count);
}

void pdf_text(void* context, const SinkText& text, QRgb colour, const QRectF& clip) {
  auto* s = static_cast<PdfPageSink*>(context);
  flush_fills(s);
  pdf_page_text(s->page, text, colour, clip);
}

// ---- Files
// ---------------------------------------------------------------------------------------

int16_t errno_code() { return platform_result_of_errno(errno ? errno : EIO); }

void remove_temp(PrintSession* s) {
  if (!s->temp_path.empty()) std::remove(s->temp_path.c_str());
  s->temp_path.clear();
}

// A temporary file for a document: beside its file, or in the temporary folder for a printer.
// A new empty file beside the document (or in the temporary folder for the spooler), opened
// for writing as the document's file; the system's reason when it cannot be made, so that a
// missing folder is not a disk error.
int16_t make_temp_file(PrintSession* s, const char* suffix) {
  const bool spooled = s->final_path.empty();
  std::string pattern = spooled ? QDir::tempPath().toStdString() + "/vesk-print-XXXXXX" + suffix
                                : s->final_path + ".XXXXXX";
  const int fd = mkstemps(pattern.data(), spooled ? int(std::strlen(suffix)) : 0);
  if (fd < 0) return errno_code();
  s->temp_path = pattern;
  s->file = fdopen(fd, "wb");
  if (s->file) return RESULT_OK;
  const int16_t code = errno_code();
  ::close(fd);
  remove_temp(s);
  return code;
}

void close_document(PrintSession* s) {
  pdf_page_dispose(s->sink.page);
  s->sink = PdfPageSink{};
  pdf_writer_dispose(s->pdf);
  s->pdf = nullptr;
  s->pdf_in_memory = false;
  if (s->file) std::fclose(s->file);
  s->file = nullptr;
  port_dispose(s->port);
  s->port = nullptr;
  s->kind = DocumentKind::NONE;
  s->page_open = false;
}

int16_t copy_file(const std::string& from, const std::string& to) {
  QFile::remove(QString::fromStdString(to));
  return QFile::copy(QString::fromStdString(from), QString::fromStdString(to)) ? RESULT_OK
                                                                               : RESULT_IO_ERROR;
}

// Hands the finished document to the spooler.
int16_t spool(PrintSession* s) {
  if (!spool_file.empty()) return copy_file(s->temp_path, spool_file);
  QStringList arguments;
  if (!s->settings.printer.empty())
    arguments << "-d" << QString::fromStdString(s->settings.printer);
  if (s->settings.copies > 1) arguments << "-n" << QString::number(s->settings.copies);
  arguments << "-t"
            << "Vesk" << QString::fromStdString(s->temp_path);
  const int status = QProcess::execute("lp", arguments);
  return status == 0 ? RESULT_OK : RESULT_IO_ERROR;
}

bool failing(const PrintSession* s, int step) {
  if (fail_step != step) return false;
  if ((step == FAIL_BEGIN_PAGE || step == FAIL_PAGE_PORT || step == FAIL_END_PAGE) &&
      s->pages_done + 1 != fail_page)
    return false;
  return true;
}

// Each page starts on the current port with a fresh pen, text style and clip.
void fresh_page() {
  pen_normal();
  fore_colour(COLOUR_BLACK);
  back_colour(COLOUR_WHITE);
  clip_rect(port_bounds(platform_current_port()));
  move_to(0, 0);
}

int16_t take_failure() {
  fail_step = FAIL_NONE;
  return fail_code ? fail_code : int16_t(RESULT_IO_ERROR);
}

// ---- The printers -----------------------------------------------------------------------------

std::vector<std::string> printers() {
  if (use_test_printers || script_active()) return test_printers;
  if (!print_server_may_answer()) return {};
  return printer_list_names();
}

// The default printer, when a print server might answer.
std::string default_printer(bool server_may_answer) {
  if (use_test_printers || script_active())
    return test_printers.empty() ? std::string() : test_printers.front();
  if (!server_may_answer) return {};
  return printer_list_default_name();
}

// Whether a print server might answer, asked once for a session's defaults (asking takes a few
// connections); asked each time without a session.
bool session_server_may_answer(PrintSession* s) {
  if (!s) return print_server_may_answer();
  if (s->server < 0) s->server = print_server_may_answer() ? 1 : 0;
  return s->server != 0;
}

bool parse_int(const std::string& text, int32_t low, int32_t high, int32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno || *end != '\0' || v < low || v > high) return false;
  *value = int32_t(v);
  return true;
}

// Says why an entry was refused and selects it for another try: "Illegal <what>; please use
// an integer between <low> and <high>."
void refuse_entry(DialogRef dialog, int item, const char* what, int32_t low, int32_t high) {
  char message[128];
  std::snprintf(message, sizeof message, "Illegal %s; please use an integer between %d and %d.",
                what, int(low), int(high));
  platform_beep();
  platform_set_param_texts(message, "", "", "");
  platform_alert(PRINT_ENTRY_ALERT);
  platform_select_item_text(dialog, item, 0, 255);
}

// ---- The Page Setup dialog ----------------------------------------------------------------------

void set_orientation_items(DialogRef dialog, bool wide) {
  platform_set_item_value(dialog, PAGE_SETUP_PORTRAIT, wide ? 0 : 1);
  platform_set_item_value(dialog, PAGE_SETUP_LANDSCAPE, wide ? 1 : 0);
}

// ---- The Print dialog --------------------------------------------------------------------------

DialogRef open_print_dialog = nullptr;
PrintDialogItemProc print_item_proc = nullptr;
std::string proposed_print_file;            // the open dialog's settings' proposed_file
std::vector<std::string> offered_printers;  // the printers of the destination pop-up, in order

int destination_entry_count() { return int(offered_printers.size()) + 2; }

// The destination chosen in the pop-up: a printer (with its name) or a file kind.
int chosen_destination(DialogRef dialog, std::string* printer) {
  const int entry = platform_item_value(dialog, PRINT_DIALOG_DESTINATION);
  if (entry >= 1 && entry <= int(offered_printers.size())) {
    *printer = offered_printers[size_t(entry - 1)];
    return PRINT_TO_PRINTER;
  }
  return entry == destination_entry_count() ? PRINT_TO_POSTSCRIPT_FILE : PRINT_TO_PDF_FILE;
}

void enable_file_items(DialogRef dialog) {
  std::string printer;
  const bool file = chosen_destination(dialog, &printer) != PRINT_TO_PRINTER;
  platform_set_item_hilite(dialog, PRINT_DIALOG_FILE, file ? 0 : 255);
  platform_set_item_hilite(dialog, PRINT_DIALOG_CHOOSE, file ? 0 : 255);
  platform_set_item_hilite(dialog, PRINT_DIALOG_COPIES, file ? 255 : 0);
}

void set_range_items(DialogRef dialog, bool all) {
  platform_set_item_value(dialog, PRINT_DIALOG_ALL, all ? 1 : 0);
  platform_set_item_value(dialog, PRINT_DIALOG_RANGE, all ? 0 : 1);
}

// Asks for the file of a file destination; false when cancelled.
bool choose_print_file(DialogRef dialog) {
  std::string printer;
  const bool postscript = chosen_destination(dialog, &printer) == PRINT_TO_POSTSCRIPT_FILE;
  FileDialogRequest request;
  request.save = true;
  request.client = "Vesk";
  request.title = postscript ? "Print to PostScript File" : "Print to PDF File";
  request.action_button = "Save";
  request.preference_key = "print";
  request.filters = {postscript ? "PostScript files (*.ps)" : "PDF files (*.pdf)"};
  const std::string& proposed = proposed_print_file;
  const size_t slash = proposed.find_last_of('/');
  std::string name = proposed.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty()) name = "Untitled";
  if (slash != std::string::npos) request.folder = proposed.substr(0, slash);
  request.default_name = name + (postscript ? ".ps" : ".pdf");
  std::string path;
  if (!platform_file_dialog(request, &path)) return false;
  platform_set_item_text(dialog, PRINT_DIALOG_FILE, path);
  return true;
}

// The dialog's own item routine: destination, file, range.
void own_print_item(DialogRef dialog, int item) {
  switch (item) {
    case PRINT_DIALOG_DESTINATION:
      enable_file_items(dialog);
      break;
    case PRINT_DIALOG_CHOOSE:
      choose_print_file(dialog);
      break;
    case PRINT_DIALOG_ALL:
    case PRINT_DIALOG_RANGE:
      set_range_items(dialog, item == PRINT_DIALOG_ALL);
      break;
    default:
      break;
  }
}

// Takes the dialog's choices into the settings; false (said, with the field selected) when
// one is not acceptable.
bool take_print_choices(DialogRef dialog, PrintSettings* settings) {
  PrintSettings chosen = *settings;
  chosen.destination = chosen_destination(dialog, &chosen.printer);
  if (chosen.destination == PRINT_TO_PRINTER) {
    chosen.file.clear();
    if (!parse_int(platform_item_text(dialog, PRINT_DIALOG_COPIES), 1, MOST_COPIES,
                   &chosen.copies)) {
      refuse_entry(dialog, PRINT_DIALOG_COPIES, "number of copies", 1, MOST_COPIES);
      return false;
    }
  } else {
    chosen.printer.clear();
    chosen.copies = 1;
    if (platform_item_text(dialog, PRINT_DIALOG_FILE).empty() && !choose_print_file(dialog))
      return false;
    chosen.file = platform_item_text(dialog, PRINT_DIALOG_FILE);
  }
  chosen.first_page = 1;
  chosen.last_page = PRINT_LAST_PAGE;
  if (platform_item_value(dialog, PRINT_DIALOG_RANGE)) {
    const int32_t most = PRINT_LAST_PAGE;
    if (!parse_int(platform_item_text(dialog, PRINT_DIALOG_FROM), 1, most, &chosen.first_page)) {
      refuse_entry(dialog, PRINT_DIALOG_FROM, "first page", 1, most);
      return false;
    }
    if (!parse_int(platform_item_text(dialog, PRINT_DIALOG_TO), chosen.first_page, most,
                   &chosen.last_page)) {
      refuse_entry(dialog, PRINT_DIALOG_TO, "last page", chosen.first_page, most);
      return false;
    }
  }
  *settings = chosen;
  return true;
}

void fill_print_dialog(DialogRef dialog, const PrintSettings& settings) {
  offered_printers = printers();
  platform_popup_clear(dialog, PRINT_DIALOG_DESTINATION);
  for (const std::string& name : offered_printers)
    platform_popup_append(dialog, PRINT_DIALOG_DESTINATION, name);
  platform_popup_append(dialog, PRINT_DIALOG_DESTINATION, "PDF File");
  platform_popup_append(dialog, PRINT_DIALOG_DESTINATION, "PostScript File");
  int entry = destination_entry_count() - 1;  // a PDF file
  if (settings.destination == PRINT_TO_POSTSCRIPT_FILE) entry = destination_entry_count();
  if (settings.destination == PRINT_TO_PRINTER && !offered_printers.empty()) {
    entry = 1;
    for (size_t i = 0; i < offered_printers.size(); ++i)
      if (offered_printers[i] == settings.printer) entry = int(i) + 1;
  }
  platform_set_item_value(dialog, PRINT_DIALOG_DESTINATION, entry);
  platform_set_item_text(dialog, PRINT_DIALOG_FILE, settings.file);
  const bool all = settings.first_page <= 1 && settings.last_page >= PRINT_LAST_PAGE;
  set_range_items(dialog, all);
  platform_set_item_text(dialog, PRINT_DIALOG_FROM,
                         std::to_string(std::max(1, settings.first_page)));
  platform_set_item_text(dialog, PRINT_DIALOG_TO,
                         all ? std::string() : std::to_string(settings.last_page));
  platform_set_item_text(dialog, PRINT_DIALOG_COPIES, std::to_string(std::max(1, settings.copies)));
  enable_file_items(dialog);
}

}  // namespace

// ---- The session --------------------------------------------------------------------------------

int16_t platform_print_session_create(PrintSession** session) {
  *session = new PrintSession;
  return RESULT_OK;
}

void platform_print_session_release(PrintSession* session) {
  if (!session) return;
  if (session->kind != DocumentKind::NONE) platform_print_abort_document(session);
  delete session;
}

int16_t platform_print_page_format_create(PrintSession*, PrintPageFormat** format) {
  *format = new PrintPageFormat;
  return RESULT_OK;
}

void platform_print_page_format_release(PrintPageFormat* format) { delete format; }

int16_t platform_print_settings_create(PrintSession*, PrintSettings** settings) {
  *settings = new PrintSettings;
  return RESULT_OK;
}

void platform_print_settings_release(PrintSettings* settings) { delete settings; }

int16_t platform_print_default_page_format(PrintSession* session, PrintPageFormat* format) {
  *format = PrintPageFormat();
  // The default printer's paper, else the paper of the user's measurement system.
  bool a4 = false;
  if (use_test_printers || script_active()) {
    a4 = false;
  } else if (const int printer_a4 =
                 session_server_may_answer(session) ? printer_list_default_paper_is_a4() : -1;
             printer_a4 >= 0) {
    a4 = printer_a4 == 1;
  } else {
    a4 = QLocale::system().measurementSystem() == QLocale::MetricSystem;
  }
  if (a4) set_paper(format, 595, 842);
  return RESULT_OK;
}

int16_t platform_print_default_settings(PrintSession* session, PrintSettings* settings) {
  *settings = PrintSettings();
  settings->printer = default_printer(session_server_may_answer(session));
  settings->destination = settings->printer.empty() ? PRINT_TO_PDF_FILE : PRINT_TO_PRINTER;
  return RESULT_OK;
}

int16_t platform_print_validate(PrintSession*, PrintPageFormat* format, PrintSettings* settings) {
  if (format) {
    format->scale = std::clamp<int32_t>(format->scale, LEAST_SCALE, MOST_SCALE);
    if (format->orientation < ORIENTATION_PORTRAIT ||
        format->orientation > ORIENTATION_REVERSE_LANDSCAPE)
      format->orientation = ORIENTATION_PORTRAIT;
    if (paper_width(*format) < 72 || paper_height(*format) < 72 || format->paper[0] > 0 ||
        format->paper[1] > 0)
      set_paper(format, 612, 792);
  }
  if (settings) {
    settings->first_page = std::max(1, settings->first_page);
    settings->last_page = std::max(settings->first_page, settings->last_page);
    settings->copies = std::clamp(settings->copies, 1, MOST_COPIES);
  }
  return RESULT_OK;
}

int16_t platform_print_session_error(const PrintSession* session) {
  return session ? session->error : int16_t(RESULT_OK);
}

// ---- The dialogs
// ----------------------------------------------------------------------------------

int platform_page_setup_dialog(PrintSession*, PrintPageFormat* format) {
  DialogRef dialog = platform_open_dialog(PAGE_SETUP_DIALOG, true);
  if (!dialog) return 0;
  platform_popup_clear(dialog, PAGE_SETUP_PAPER);
  for (const Paper& paper : PAPERS) platform_popup_append(dialog, PAGE_SETUP_PAPER, paper.name);
  int entry = paper_entry(*format);
  if (!entry) {
    char name[64];
    std::snprintf(name, sizeof name, "%d by %d points", paper_width(*format),
                  paper_height(*format));
    platform_popup_append(dialog, PAGE_SETUP_PAPER, name);
    entry = platform_popup_count(dialog, PAGE_SETUP_PAPER);
  }
  platform_set_item_value(dialog, PAGE_SETUP_PAPER, entry);
  bool wide = landscape(*format);
  set_orientation_items(dialog, wide);
  platform_set_item_text(dialog, PAGE_SETUP_SCALE, std::to_string(format->scale));
  platform_select_item_text(dialog, PAGE_SETUP_SCALE, 0, 255);
  int result = -1;
  while (result < 0) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == 2) {
      result = 0;
    } else if (item == 1) {
      int32_t scale;
      if (!parse_int(platform_item_text(dialog, PAGE_SETUP_SCALE), LEAST_SCALE, MOST_SCALE,
                     &scale)) {
        refuse_entry(dialog, PAGE_SETUP_SCALE, "scale", LEAST_SCALE, MOST_SCALE);
        continue;
      }
      const int chosen = platform_item_value(dialog, PAGE_SETUP_PAPER);
      if (chosen >= 1 && chosen <= int(std::size(PAPERS)))
        set_paper(format, PAPERS[chosen - 1].width, PAPERS[chosen - 1].height);
      format->scale = scale;
      format->orientation = wide ? ORIENTATION_LANDSCAPE : ORIENTATION_PORTRAIT;
      result = 1;
    } else if (item == PAGE_SETUP_PORTRAIT || item == PAGE_SETUP_LANDSCAPE) {
      wide = item == PAGE_SETUP_LANDSCAPE;
      set_orientation_items(dialog, wide);
    }
  }
  platform_close_dialog(dialog);
  return result;
}

int platform_print_dialog(PrintSession*, PrintSettings* settings, PrintPageFormat*,
                          PrintDialogInitProc init) {
  DialogRef dialog = platform_open_dialog(PRINT_DIALOG, false);
  if (!dialog) return 0;
  open_print_dialog = dialog;
  print_item_proc = own_print_item;
  proposed_print_file = settings->proposed_file;
  fill_print_dialog(dialog, *settings);
  if (init) init(dialog);
  platform_show_dialog(dialog);
  int result = -1;
  while (result < 0) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == 2)
      result = 0;
    else if (item == 1)
      result = take_print_choices(dialog, settings) ? 1 : -1;
    else if (print_item_proc)
      print_item_proc(dialog, item);
  }
  platform_close_dialog(dialog);
  open_print_dialog = nullptr;
  print_item_proc = nullptr;
  return result;
}

PrintDialogItemProc platform_set_print_dialog_item_proc(DialogRef dialog,
                                                        PrintDialogItemProc proc) {
  if (!dialog || dialog != open_print_dialog) return nullptr;
  PrintDialogItemProc old = print_item_proc;
  print_item_proc = proc;
  return old;
}

// ---- Documents
// -------------------------------------------------------------------------------------

std::vector<std::string> platform_print_document_formats(const PrintSession*,
                                                         const PrintSettings* settings) {
  if (settings && settings->destination == PRINT_TO_PDF_FILE) return {PRINT_FORMAT_PDF};
  return {PRINT_FORMAT_POSTSCRIPT};
}

int16_t platform_print_set_document_format(PrintSession* session, const std::string& format) {
  if (format != PRINT_FORMAT_PDF && format != PRINT_FORMAT_POSTSCRIPT) return RESULT_BAD_PARAMETER;
  session->format = format;
  return RESULT_OK;
}

struct PrintedPage {
  PdfPageSink sink;
  int width = 0, height = 0;
  PdfWriter* ended_in = nullptr;  // ended there as its next page: nothing is kept of it here
};

struct PrintPagesAhead {
  PdfWriter* pdf = nullptr;  // the document the pages end in, kept in memory
  PdfPageSetup setup;
  int width = 0, height = 0;
  bool taken = false;  // by a session's document, which frees it
};

namespace {

// The document begun ahead, taken by a session, gets the session's file before the session ends
// a page of its own or the document: every page ended ahead must be one the session has counted
// as ended (false when not, or when writing fails).
bool pdf_to_file(PrintSession* s) {
  if (!s->pdf_in_memory) return true;
  s->pdf_in_memory = false;
  if (pdf_writer_pages(s->pdf) != s->pages_done) {
    errno = EIO;
    return false;
  }
  return pdf_writer_write_to(s->pdf, s->file);
}

}  // namespace

int16_t platform_print_begin_document(PrintSession* s, const PrintSettings* settings,
                                      const PrintPageFormat* format,
                                      const PrintPagePlacement& placement, PrintPagesAhead* ahead) {
  if (s->kind != DocumentKind::NONE) platform_print_abort_document(s);
  s->error = RESULT_OK;
  s->pages_done = 0;
  s->settings = *settings;
  if (failing(s, FAIL_BEGIN_DOCUMENT)) return s->error = take_failure();
  const bool pdf = s->format == PRINT_FORMAT_PDF;
  if (settings->destination == PRINT_TO_PRINTER) {
    if (pdf) return s->error = RESULT_BAD_PARAMETER;
    if (spool_file.empty() && default_printer(print_server_may_answer()).empty() &&
        settings->printer.empty())
      return s->error = RESULT_NOT_FOUND;
    s->final_path.clear();
  } else {
    if (settings->file.empty()) return s->error = RESULT_BAD_NAME;
    s->final_path = settings->file;
  }
  if (const int16_t code = make_temp_file(s, pdf ? ".pdf" : ".ps")) return s->error = code;

  const Sheet sheet = sheet_of(*format, placement);
  PortSink sink;
  // Written in large blocks: a long document in the stream's own small ones takes a hundred
  // system calls and more. The buffer is the session's: one the C library allocates itself is
  // sized by the file system's block, whatever size is asked for.
  constexpr size_t FILE_BUFFER = size_t(1) << 18;
  if (!s->file_buffer) s->file_buffer = std::make_unique_for_overwrite<char[]>(FILE_BUFFER);
  std::setvbuf(s->file, s->file_buffer.get(), _IOFBF, FILE_BUFFER);
  if (pdf) {
    const PdfPageSetup setup = setup_of<PdfPageSetup>(sheet);
    if (ahead && !ahead->taken && ahead->setup == setup &&
        ahead->width == std::max(1, placement.width) &&
        ahead->height == std::max(1, placement.height) && fail_step == FAIL_NONE) {
      s->pdf = ahead->pdf;
      s->pdf_in_memory = true;
      ahead->taken = true;
    } else {
      s->pdf = pdf_writer_begin(s->file, setup);
    }
    sink = {&s->sink, pdf_fill, pdf_line, pdf_text};
    s->kind = DocumentKind::PDF;
  } else {
    PostScriptPageSetup setup = setup_of<PostScriptPageSetup>(sheet);
    setup.landscape = sheet.wide;
    ps_driver_begin(&s->ps, s->file, setup);
    sink = {&s->ps, ps_driver_fill, nullptr, ps_driver_text};
    s->kind = DocumentKind::POSTSCRIPT;
  }
  s->width = std::max(1, placement.width);
  s->height = std::max(1, placement.height);
  s->port = port_new_on_sink(sink, s->width, s->height);
  return RESULT_OK;
}

int16_t platform_print_begin_page(PrintSession* s) {
  if (s->kind == DocumentKind::NONE) return s->error = RESULT_NOT_OPEN;
  if (failing(s, FAIL_BEGIN_PAGE)) return s->error = take_failure();
  if (s->kind == DocumentKind::PDF) {
    // What was gathered on a page that was never ended goes with it.
    pdf_page_dispose(s->sink.page);
    s->sink = PdfPageSink{};
    s->sink.page = pdf_writer_new_page(s->pdf);
  } else {
    ps_driver_begin_page(&s->ps);
  }
  Port* saved = platform_current_port();
  platform_set_port(s->port);
  fresh_page();
  platform_set_port(saved);
  s->page_open = true;
  return RESULT_OK;
}

int16_t platform_print_page_port(PrintSession* s, Port** port) {
  *port = nullptr;
  if (!s->page_open || !s->port) return s->error = RESULT_NOT_OPEN;
  if (failing(s, FAIL_PAGE_PORT)) return s->error = take_failure();
  *port = s->port;
  return RESULT_OK;
}

int16_t platform_print_end_page(PrintSession* s) {
  if (!s->page_open) return s->error = RESULT_NOT_OPEN;
  s->page_open = false;
  if (s->kind == DocumentKind::PDF) flush_fills(&s->sink);
  if (failing(s, FAIL_END_PAGE)) return s->error = take_failure();
  if (s->kind == DocumentKind::POSTSCRIPT && !ps_driver_end_page(&s->ps))
    return s->error = errno_code();
  if (s->kind == DocumentKind::PDF &&
      (!pdf_to_file(s) || !pdf_writer_end_apart(s->pdf, std::exchange(s->sink.page, nullptr))))
    return s->error = errno_code();
  ++s->pages_done;
  return RESULT_OK;
}

int16_t platform_print_end_document(PrintSession* s) {
  if (s->kind == DocumentKind::NONE) return s->error = RESULT_NOT_OPEN;
  if (failing(s, FAIL_END_DOCUMENT)) {
    const int16_t code = take_failure();
    platform_print_abort_document(s);
    return s->error = code;
  }
  int16_t code = RESULT_OK;
  if (s->kind == DocumentKind::PDF) {
    flush_fills(&s->sink);
    if (!pdf_to_file(s)) {
      code = errno_code();
    } else {
      if (s->sink.page) pdf_writer_end_apart(s->pdf, std::exchange(s->sink.page, nullptr));
      if (!pdf_writer_end(s->pdf)) code = errno_code();  // a document without pages gets one
    }
  } else {
    if (!ps_driver_end(&s->ps)) code = errno_code();
  }
  if (std::fflush(s->file) != 0 && !code) code = errno_code();
  // The file is put in place before the writer goes: the writer's threads end meanwhile. A file
  // the system could not close may not hold what was written: it is not put in place.
  if (std::fclose(std::exchange(s->file, nullptr)) != 0 && !code) code = errno_code();
  if (!code) {
    if (s->final_path.empty()) {
      code = spool(s);
      remove_temp(s);
    } else if (chmod(s->temp_path.c_str(), 0644) != 0 ||  // by its bytes: any encoding
               platform_file_put_in_place(s->temp_path.c_str(), s->final_path.c_str()) != 0) {
      code = errno_code();
      remove_temp(s);
    } else {
      s->temp_path.clear();
    }
  } else {
    remove_temp(s);
  }
  close_document(s);
  return s->error = code;
}

void platform_print_abort_document(PrintSession* s) {
  if (!s) return;
  close_document(s);
  remove_temp(s);
}

int platform_print_pages_done(const PrintSession* s) { return s ? s->pages_done : 0; }

namespace {

// The threads beside the caller's that draw `pages` pages. A thread's first page costs it a
// few pages' time (it loads the fonts it measures with), so a short document is drawn by the
// caller alone, a longer one by one more thread, a long one by two; never more than one fewer
// than the cores the program may run on.
unsigned page_helpers(int pages) {
  if (most_page_helpers >= 0) return unsigned(most_page_helpers);
  const unsigned wanted = pages < 8 ? 0 : pages < 20 ? 1 : 2;
  return std::min(platform_usable_cores() - 1, wanted);
}

}  // namespace

PrintPagesAhead* platform_print_pages_ahead(const PrintPageFormat& format,
                                            const PrintPagePlacement& placement) {
  const PdfPageSetup setup = setup_of<PdfPageSetup>(sheet_of(format, placement));
  return new PrintPagesAhead{pdf_writer_begin(nullptr, setup), setup, std::max(1, placement.width),
                             std::max(1, placement.height)};
}

void platform_print_pages_ahead_dispose(PrintPagesAhead* ahead) {
  if (ahead && !ahead->taken) pdf_writer_dispose(ahead->pdf);
  delete ahead;
}

PrintedPage* platform_print_page_apart(int width, int height, const std::function<void()>& draw,
                                       PrintPagesAhead* ready_for) {
  auto* page = new PrintedPage{{}, std::max(1, width), std::max(1, height)};
  if (ready_for && (ready_for->width != page->width || ready_for->height != page->height))
    ready_for = nullptr;
  page->sink.page = pdf_page_new(0);
  Port* port =
      port_new_on_sink({&page->sink, pdf_fill, pdf_line, pdf_text}, page->width, page->height);
  Port* saved = platform_current_port();
  platform_set_port(port);
  fresh_page();
  draw();
  flush_fills(&page->sink);
  platform_set_port(saved);
  port_dispose(port);
  if (ready_for) {
    page->ended_in = ready_for->pdf;
    pdf_writer_end_apart(ready_for->pdf, std::exchange(page->sink.page, nullptr));
  } else {
    pdf_page_make_glyphs(page->sink.page);
  }
  return page;
}

void platform_print_page_apart_dispose(PrintedPage* page) {
  if (page) pdf_page_dispose(page->sink.page);
  delete page;
}

void platform_print_thread_begins() { port_thread_draws_pages(); }

void platform_print_thread_ends() { port_thread_done(); }

bool platform_print_pages_together(const PrintSession* s, int pages, int drawn) {
  return s && s->kind == DocumentKind::PDF && s->pdf && !s->page_open && fail_step == FAIL_NONE &&
         (page_helpers(pages) > 0 || drawn > 0);
}

int16_t platform_print_draw_pages(PrintSession* s, int count, const std::function<void(int)>& draw,
                                  const std::function<void()>& done,
                                  const std::function<PrintedPage*(int)>& drawn,
                                  const std::function<bool(int)>& coming) {
  if (s->kind != DocumentKind::PDF || !s->pdf || s->page_open) return s->error = RESULT_NOT_OPEN;
  if (count <= 0) return RESULT_OK;
  struct Page {
    PdfPageSink sink;
    Port* port = nullptr;
    bool drawn = false;
    bool coming = false;  // being drawn apart: taken when it is to end
    bool ended = false;   // ended ahead in the document
  };
  std::vector<Page> pages(size_t(count), Page{});
  // Takes page i drawn apart as it is, when it is of this document's size; or ended ahead, when
  // it was ended in this document.
  auto take_apart = [&](int i) {
    PrintedPage* apart = drawn ? drawn(i) : nullptr;
    Page& page = pages[size_t(i)];
    bool taken = false;
    if (apart && apart->ended_in) {
      taken = page.ended = apart->ended_in == s->pdf;
    } else if (apart && apart->width == s->width && apart->height == s->height) {
      page.sink.page = std::exchange(apart->sink.page, nullptr);
      taken = true;
    }
    platform_print_page_apart_dispose(apart);
    return taken;
  };
  int to_draw = 0;
  for (int i = 0; i < count; ++i) {
    Page& page = pages[size_t(i)];
    page.coming = drawn && coming && coming(i);
    page.drawn = page.coming || take_apart(i);
    if (!page.drawn) ++to_draw;
  }
  const unsigned helpers = std::min(page_helpers(count), unsigned(std::max(to_draw - 1, 0)));
  // Pages drawn and not yet ended are held in memory: no more than this many at once.
  const int most_ahead = 2 * int(helpers + 1);
  std::mutex lock;
  std::condition_variable changed;
  int next = 0, ended = 0;  // the next page to draw, the next to end
  std::atomic<size_t> room{0};
  // Steps over the pages drawn apart (the lock held, or before the threads start).
  auto skip_drawn = [&] {
    while (next < count && pages[size_t(next)].drawn) ++next;
  };
  auto may_take = [&] { return next < count && next < ended + most_ahead; };
  // Makes the glyphs of page i's texts that no page has begun to make; the page is drawn.
  auto finish_page = [&](int i) {
    Page& page = pages[size_t(i)];
    pdf_writer_make_glyphs_ahead(s->pdf, page.sink.page);
    room.store(pdf_page_elements(page.sink.page).size(), std::memory_order_relaxed);
    {
      std::lock_guard held(lock);
      page.drawn = true;
    }
    changed.notify_all();
  };
  // Draws page i on a new port of its own, fresh as a begun page's.
  auto draw_page = [&](int i) {
    Page& page = pages[size_t(i)];
    page.sink.page = pdf_page_new(room.load(std::memory_order_relaxed));
    page.port = port_new_on_sink({&page.sink, pdf_fill, pdf_line, pdf_text}, s->width, s->height);
    Port* saved = platform_current_port();
    platform_set_port(page.port);
    fresh_page();
    draw(i);
    flush_fills(&page.sink);
    platform_set_port(saved);
  };
  // The first page is drawn before the others are begun: the texts it measures are then known to
  // every thread, which would otherwise all measure the same texts at once, each loading the fonts.
  skip_drawn();
  const int first = next < count ? next++ : -1;
  skip_drawn();
  if (first >= 0) draw_page(first);
  std::vector<ThreadBeside> threads;
  threads.reserve(helpers);
  for (unsigned t = 0; t < helpers; ++t)
    threads.emplace_back([&] {
      port_thread_draws_pages();
      for (;;) {
        int i;
        {
          std::unique_lock held(lock);
          changed.wait(held, [&] { return next >= count || may_take(); });
          if (next >= count) break;
          i = next++;
          skip_drawn();
        }
        draw_page(i);
        finish_page(i);
      }
      done();
      port_thread_done();
    });
  if (first >= 0) finish_page(first);
  // This thread draws pages too, and ends them in order as soon as they are drawn.
  int16_t code = RESULT_OK;
  while (ended < count) {
    int take = -1;
    {
      std::unique_lock held(lock);
      if (!pages[size_t(ended)].drawn) {
        if (may_take()) {
          take = next++;
          skip_drawn();
        } else {
          changed.wait(held, [&] { return pages[size_t(ended)].drawn || may_take(); });
          continue;
        }
      }
    }
    if (take >= 0) {
      draw_page(take);
      finish_page(take);
      continue;
    }
    Page& page = pages[size_t(ended)];
    if (page.coming && !take_apart(ended)) {  // not to be had as it is: drawn here
      draw_page(ended);
      finish_page(ended);
    }
    if (page.ended) {
      ++s->pages_done;
    } else if (!pdf_to_file(s) ||
               !pdf_writer_end_apart(s->pdf, std::exchange(page.sink.page, nullptr))) {
      if (!code) code = errno_code();
    } else {
      ++s->pages_done;
    }
    port_dispose(page.port);
    page.port = nullptr;
    {
      std::lock_guard held(lock);
      ++ended;
      if (code) next = count;  // a page that could not be written: no more are drawn
    }
    changed.notify_all();
    if (code) break;
  }
  for (ThreadBeside& thread : threads) thread.join();
  for (Page& page : pages) {
    pdf_page_dispose(page.sink.page);
    port_dispose(page.port);
  }
  if (code) s->error = code;
  return code;
}

// ---- PostScript
// ----------------------------------------------------------------------------------

int16_t platform_print_postscript_begin(PrintSession* s, int prolog) {
  if (s->kind != DocumentKind::POSTSCRIPT) return RESULT_BAD_PARAMETER;
  const Point pen = [&] {
    Port* saved = platform_current_port();
    platform_set_port(s->port);
    const Point p = pen_position();
    platform_set_port(saved);
    return p;
  }();
  ps_driver_block_begin(&s->ps, prolog != 0, pen.x, pen.y);
  return RESULT_OK;
}

int16_t platform_print_postscript_data(PrintSession* s, const char* data, size_t length) {
  if (s->kind != DocumentKind::POSTSCRIPT || !s->ps.in_block) return RESULT_BAD_PARAMETER;
  ps_driver_data(&s->ps, data, length);
  return RESULT_OK;
}

int16_t platform_print_postscript_end(PrintSession* s) {
  if (s->kind != DocumentKind::POSTSCRIPT) return RESULT_BAD_PARAMETER;
  ps_driver_block_end(&s->ps);
  return RESULT_OK;
}

void platform_print_picture_comment(PrintSession* s, int kind) {
  if (s && s->kind == DocumentKind::POSTSCRIPT) ps_driver_comment(&s->ps, kind);
}

// ---- Test doubles
// ------------------------------------------------------------------------------------

void platform_print_set_test_printers(bool use, const std::vector<std::string>& names) {
  use_test_printers = use;
  test_printers = names;
}

void platform_print_spool_to_file(const std::string& path) { spool_file = path; }

void platform_print_fail_at(int step, int page, int16_t code) {
  fail_step = step;
  fail_page = page;
  fail_code = code;
}

void platform_print_set_page_helpers(int most) { most_page_helpers = most; }
