// print.h: printing and page setup: the printing session of the program's life, the page
// setup of each notation context with its scaling advice, the Print dialog with the program's
// three check boxes, and printing the chosen contexts page by page, as the program's own
// PostScript or drawn on the printed page's port.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"

// Fields of a notation context's page setup (print_record).
inline constexpr int PRINT_SCALE_COPY = 50;     // i16: the scale again
inline constexpr int PRINT_DIALOG_FLAGS = 118;  // u8: 0x80 when the page is centred down
inline constexpr int PRINT_SCALE = 120;         // i32: percent
inline constexpr int PRINT_LANDSCAPE = 124;     // i32: non-zero for landscape
inline constexpr int PRINT_PAPER = 128;         // 4 x i32: the paper's top, left, bottom, right
inline constexpr uint8_t PRINT_CENTRED_DOWN = 0x80;

// The layout units a pixel of the printed page holds: a fifth of a point at 100 percent.
inline constexpr float PRINT_ZOOM = 2.0f;

// page_final: the page's kept list is final (the next page has begun): while pages are drawn
// ahead (draw_pages_ahead), it is drawn on their thread.
void page_final(int32_t page);

// ---- The session --------------------------------------------------------------------------------

// apply_page_format: puts the context's page setup (scale, paper, orientation) into the page
// format and validates it with the print settings.
// Reads: print_record[context]. Writes: *page_format, *print_settings.
void apply_page_format(int context);

// ---- The Print dialog's own items ---------------------------------------------------------------

// print_dialog_init_proc: appends the program's three check boxes to the Print dialog, sets
// the first and third from their flags and takes over the dialog's item routine.
// Reads: print_dialog_flags. Writes: print_dialog_own_items, print_dialog_saved_proc.
void print_dialog_init_proc(DialogRef dialog);
// print_dialog_item_proc: toggles one of the program's check boxes and keeps its state in its
// flag; any other item goes to the dialog's own routine.
void print_dialog_item_proc(DialogRef dialog, int item);

inline constexpr int PRINT_CHOSEN_CONTEXTS = 1;

// scaling_advice: the advice for a page of that size (tenths of an inch).
std::string scaling_advice(int32_t page_width, int32_t page_height);
