// printing.h: the printing session: page formats and print settings, the Page Setup and Print
// dialogs, and printed documents.
//
// A document goes to a PDF file, to a PostScript file, or as PostScript to a printer through
// the system's print spooler. Its pages are drawn on a port like any other (pixels of the
// printed page, y downward) and, in a PostScript document, by the program's own PostScript
// sent in blocks: drawing on the port while a block is open leaves no mark, and the current
// point at the start of a block is the port's pen. Texts drawn on the port of a PostScript
// page are written with the outlines of the fonts the screen uses, so a file prints anywhere.
//
// Every call that can fail returns a result code (os_errors.h; 0 is success).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

struct Port;
struct PrintSession;

// Orientations of a page format.
enum PrintOrientation : int {
  ORIENTATION_PORTRAIT = 1,
  ORIENTATION_LANDSCAPE = 2,
  ORIENTATION_REVERSE_PORTRAIT = 3,
  ORIENTATION_REVERSE_LANDSCAPE = 4,
};

// What Page Setup sets.
struct PrintPageFormat {
  int32_t scale = 100;  // percent
  int orientation = ORIENTATION_PORTRAIT;
  // The physical paper (points, upright) around the printable area: top, left, bottom,
  // right from the printable area's top-left corner; the margins are the same on opposite
  // sides.
  int32_t paper[4] = {-12, -12, 780, 600};
};

enum PrintDestination : int {
  PRINT_TO_PRINTER = 1,
  PRINT_TO_PDF_FILE = 2,
  PRINT_TO_POSTSCRIPT_FILE = 3,
};

// The last page of a print of every page.
inline constexpr int32_t PRINT_LAST_PAGE = 9999;

// What the Print dialog sets.
struct PrintSettings {
  int32_t first_page = 1;
  int32_t last_page = PRINT_LAST_PAGE;
  int32_t copies = 1;
  int destination = PRINT_TO_PDF_FILE;
  std::string file;     // the file of a file destination
  std::string printer;  // the printer's queue; empty for the system's default printer
  // The file a file destination is first proposed as, without its extension (a folder may
  // lead it); empty: "Untitled" in the folder last used.
  std::string proposed_file;
};

// The names of the document formats.
inline constexpr const char* PRINT_FORMAT_POSTSCRIPT = "application/postscript";
inline constexpr const char* PRINT_FORMAT_PDF = "application/pdf";

// ---- The session ------------------------------------------------------------------------------
int16_t platform_print_session_create(PrintSession** session);
void platform_print_session_release(PrintSession* session);
int16_t platform_print_page_format_create(PrintSession* session, PrintPageFormat** format);
void platform_print_page_format_release(PrintPageFormat* format);
int16_t platform_print_settings_create(PrintSession* session, PrintSettings** settings);
void platform_print_settings_release(PrintSettings* settings);
// The session's defaults: letter paper (A4 where the system's paper is A4), portrait, 100
// percent; every page to a PDF file, or to the default printer when there is one.
int16_t platform_print_default_page_format(PrintSession* session, PrintPageFormat* format);
int16_t platform_print_default_settings(PrintSession* session, PrintSettings* settings);
// Brings a format and settings into range (scale 5..1000, a paper of at least an inch, page
// numbers from 1, at least one copy).
int16_t platform_print_validate(PrintSession* session, PrintPageFormat* format,
                                PrintSettings* settings);
// The last error of the session's document (0 none).
int16_t platform_print_session_error(const PrintSession* session);

// ---- The dialogs ------------------------------------------------------------------------------
inline constexpr int PAGE_SETUP_DIALOG = 20481;
inline constexpr int PRINT_DIALOG = 20482;
// The note that says why an entry of either dialog was refused (the message in ^0; OK).
inline constexpr int PRINT_ENTRY_ALERT = 20483;
// Items of the Page Setup dialog.
inline constexpr int PAGE_SETUP_PAPER = 4, PAGE_SETUP_PORTRAIT = 6, PAGE_SETUP_LANDSCAPE = 7;
inline constexpr int PAGE_SETUP_SCALE = 9;
// Items of the Print dialog.
inline constexpr int PRINT_DIALOG_DESTINATION = 4, PRINT_DIALOG_FILE = 6;
inline constexpr int PRINT_DIALOG_CHOOSE = 7, PRINT_DIALOG_ALL = 9, PRINT_DIALOG_RANGE = 10;
inline constexpr int PRINT_DIALOG_FROM = 11, PRINT_DIALOG_TO = 13, PRINT_DIALOG_COPIES = 15;
inline constexpr int PRINT_DIALOG_ITEMS = 15;  // the dialog's own items

// platform_page_setup_dialog: paper, orientation and scale; 1 when accepted (the format
// takes the choices), 0 when cancelled.
int platform_page_setup_dialog(PrintSession* session, PrintPageFormat* format);

// The routine a Print dialog's item hits go to (other than Print and Cancel).
using PrintDialogItemProc = void (*)(DialogRef dialog, int item);
// The routine that may append items to the Print dialog as it opens.
using PrintDialogInitProc = void (*)(DialogRef dialog);
// platform_print_dialog: destination (the printers, a PDF file, a PostScript file), file,
// page range and copies; init (when given) is called once the dialog is open. 1 when Print
// was chosen (the settings take the choices), 0 when cancelled.
int platform_print_dialog(PrintSession* session, PrintSettings* settings, PrintPageFormat* format,
                          PrintDialogInitProc init);
// Replaces the item routine of an open Print dialog; the old one is returned.
PrintDialogItemProc platform_set_print_dialog_item_proc(DialogRef dialog, PrintDialogItemProc proc);

// ---- Documents --------------------------------------------------------------------------------
// The formats a document for these settings may take, the preferred first.
std::vector<std::string> platform_print_document_formats(const PrintSession* session,
                                                         const PrintSettings* settings);
int16_t platform_print_set_document_format(PrintSession* session, const std::string& format);

// Where the pages go on the paper.
struct PrintPagePlacement {
  int32_t width = 0, height = 0;  // the page in pixels
  double points_per_pixel = 1;    // paper points a pixel takes
  double offset_x = 0;            // the page's top-left from the printable area's, pixels
  double offset_y = 0;
  // A document whose sheets are the page itself (a PDF file has no paper): when both are
  // set, every sheet is this size in points, upright, with the page's top-left at its own;
  // the format's paper, orientation and offsets are not used.
  double sheet_width = 0, sheet_height = 0;
};

// platform_snap_to_paper: a sheet (points) within a tenth of an inch of a paper the Page Setup
// dialog offers, either way up, becomes that paper exactly.
void platform_snap_to_paper(double* width, double* height);

struct PrintPagesAhead;
// platform_print_begin_document: starts a document with the settings, the format and the
// placement of its pages. A file is written under a temporary name and takes its own name
// only when the document ends; a printer's document is handed to the spooler then. A PDF
// document of the same page setup and page size as pages drawn `ahead` (see below) is the
// document those pages were ended in: they are its first pages, taken as ended by
// platform_print_draw_pages, and one being ended apart may still end meanwhile.
int16_t platform_print_begin_document(PrintSession* session, const PrintSettings* settings,
                                      const PrintPageFormat* format,
                                      const PrintPagePlacement& placement,
                                      PrintPagesAhead* ahead = nullptr);
int16_t platform_print_begin_page(PrintSession* session);
// The port of the page begun (valid until the page ends).
int16_t platform_print_page_port(PrintSession* session, Port** port);
int16_t platform_print_end_page(PrintSession* session);
int16_t platform_print_end_document(PrintSession* session);
// Ends a document that failed: nothing is written or spooled, a file is left as it was.
void platform_print_abort_document(PrintSession* session);
// The number of pages ended in the session's current or last document.
int platform_print_pages_done(const PrintSession* session);

// A PDF page drawn apart from any document, on any thread, for a later document whose pages are
// of its size to take (platform_print_draw_pages).
struct PrintedPage;
// Pages drawn apart one after another for a PDF document yet to begin, from its first page on,
// may be ended in it as they are drawn, on the thread that drew them: the document is begun
// ahead, for this format and placement, and kept in memory until a print takes it
// (platform_print_begin_document); another document takes those pages as drawn only. Disposing
// of it frees the document unless a print took it.
PrintPagesAhead* platform_print_pages_ahead(const PrintPageFormat& format,
                                            const PrintPagePlacement& placement);
void platform_print_pages_ahead_dispose(PrintPagesAhead* ahead);
// Draws a page of width x height pixels apart: draw() is called with the current port set to the
// page's own port, fresh as a begun page's. Given `ready_for`, the page is ended as the next page
// of that document, when it is of its size.
PrintedPage* platform_print_page_apart(int width, int height, const std::function<void()>& draw,
                                       PrintPagesAhead* ready_for = nullptr);
void platform_print_page_apart_dispose(PrintedPage* page);
// A thread other than the main one that draws pages apart says so before its first page, and
// lets go of the fonts and texts it kept before it ends.
void platform_print_thread_begins();
void platform_print_thread_ends();

// Whether `pages` pages of the document under way are to be drawn side by side (a PDF document
// of enough pages, on a machine of several cores), or taken as drawn apart (`drawn` of them).
bool platform_print_pages_together(const PrintSession* session, int pages, int drawn = 0);
// Draws `count` pages side by side, as if each were begun, drawn by draw(i) on the page's port
// and ended in turn: draw(i) is called with the current port set to page i's own port, on one
// of several threads (the caller's among them), and must only draw; the pages are ended in order
// on the caller's thread. done() is called on each other thread before it ends. drawn(i), when
// given, is page i drawn apart, which the document takes over (nullptr: the page is drawn now; a
// page of another size is drawn again), or ended ahead in the document (counted as ended; ended
// in another document, it is drawn again). coming(i), when given with drawn, says that page i is
// still being drawn apart: drawn(i) is asked for it only when it is to end (and may wait for it),
// the other pages being drawn meanwhile. The first error of ending a page is returned (0 none).
int16_t platform_print_draw_pages(PrintSession* session, int count,
                                  const std::function<void(int)>& draw,
                                  const std::function<void()>& done,
                                  const std::function<PrintedPage*(int)>& drawn = {},
                                  const std::function<bool(int)>& coming = {});

// ---- PostScript ---------------------------------------------------------------------------------
// Blocks of the program's PostScript on the current page; a prolog block's text goes before
// every page of the document instead. Refused (an error) by a document that is not
// PostScript.
int16_t platform_print_postscript_begin(PrintSession* session, int prolog);
int16_t platform_print_postscript_data(PrintSession* session, const char* data, size_t length);
int16_t platform_print_postscript_end(PrintSession* session);
// A note to the driver about the text that follows (written into a PostScript page as a
// comment; texts are always placed by the program's own widths).
void platform_print_picture_comment(PrintSession* session, int kind);

// ---- Test doubles -------------------------------------------------------------------------------
// The printers offered in the Print dialog (replacing the system's list; an empty list with
// `use` false goes back to the system's).
void platform_print_set_test_printers(bool use, const std::vector<std::string>& printers);
// Documents for a printer are written to this file instead of being spooled ("" spools).
void platform_print_spool_to_file(const std::string& path);
// The next document fails at this step with this code: 1 begin document, 2 begin page, 3 page
// port, 4 end page, 5 end document; the failure comes on the page given (from 1) for the page
// steps. 0 for no failure.
void platform_print_fail_at(int step, int page, int16_t code);
// Pages are drawn side by side by this many threads beside the caller's whatever their number
// (0: one by one); -1 for as many as the document's length and the machine's cores call for.
void platform_print_set_page_helpers(int most);
