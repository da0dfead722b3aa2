// apple_events.h: the four events by which the window system (here: the command line, the
// last window's close box, SIGTERM and SIGINT) asks the program to open, print or quit.
#pragma once

#include <cstdint>
#include <string>

#include "platform/events.h"

// Result codes of the handler.
inline constexpr int16_t NO_ERR = 0;
inline constexpr int16_t USER_CANCELED_ERR = -128;
inline constexpr int16_t RECORDING_REFUSAL = -9861;

// handle_apple_event: the one handler of the open-application, open-documents,
// print-documents and quit events; `id` is the event's four-letter id, `event` carries the
// documents. MusicXML documents (is_musicxml_document) go to the MusicXML import, others are
// opened as pieces; printed documents are printed and closed
// without asking. Quit closes every view, asking to save each changed piece, and ends the
// program; a cancelled save ends the quit (USER_CANCELED_ERR), and while recording the quit is
// refused with a beep (RECORDING_REFUSAL).
// Reads: recording_active, the views. Writes: quiet_convert_flag, piece_fsspec,
//        import_fsspec, the views.
int16_t handle_apple_event(const EventRecord& event, uint32_t id);

// A name that goes to the MusicXML import: longer than four characters, ending in ".xml" or
// ".XML".
bool is_musicxml_name(const char* name);
// A document for the MusicXML import, whatever its name ends with: a MusicXML name, a
// compressed MusicXML file (named ".mxl" or ".MXL", or starting as a ZIP archive does), or a file
// that starts (after an optional byte-order mark, UTF-8 or UTF-16, and white space) with an XML
// declaration or a score-partwise or score-timewise element. A piece file never starts so.
bool is_musicxml_document(const std::string& path);
