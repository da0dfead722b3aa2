// file_dialogs.cpp: the open and save dialogs, with the texts of each kind of file.
//
// The dialogs themselves are the platform's (the toolkit's file dialogs on a display, the
// script's answers in tests). The folder a dialog shows first is the one last used for its
// kind, or for a save the folder of the file being saved (for an export, of the piece).
#include "app/file_dialogs.h"

#include <cstdlib>

#include "app/app_globals.h"
#include "app/cursors.h"
#include "model/model_services.h"
#include "platform/file_dialog.h"

namespace {

struct KindTexts {
  const char* open_title;
  const char* open_message;
  const char* open_button;
  const char* save_title;
  const char* save_message;
  const char* save_button;
  const char* extension;
  const char* filter;
};

const KindTexts kind_texts[5] = {
    {"Vesk - Open", " ", "Open", "Vesk - Save", " ", "Save", "", "All files (*)"},
    {"Vesk - Open Score", "Choose VESK score file to open", "Open Score", "Vesk - Save Score",
     "Save VESK score file", "Save Score", PIECE_EXTENSION, "Vesk pieces (*.vesk)"},
    {"Vesk - Import Midi File", "Choose Midi file to import", "Import Midi",
     "Vesk - Export Midi File", "Save Midi file", "Export Midi", ".mid",
     "MIDI files (*.mid *.midi *.smf)"},
    {"Vesk - Import MusicXML", "Choose MusicXML file to import", "Import XML",
     "Vesk - Export MusicXML", "Save MusicXML file", "Export XML", ".xml",
     "MusicXML files (*.xml *.musicxml)"},
    {"Vesk - Open Script", "Choose Script file to open", "Open Script", "Vesk - Save Script",
     "Save Script file", "Save Script", SCRIPT_EXTENSION, "Vesk scripts (*.vscr)"},
};

constexpr const char* OPEN_PIECE_FILTER =
    "Pieces and MusicXML (*.vesk *.musicxml *.xml *.XML *.mxl *.MXL)";
// The import also reads compressed MusicXML; the export writes only plain documents.
constexpr const char* IMPORT_MUSICXML_FILTER = "MusicXML files (*.xml *.musicxml *.mxl)";

std::string other_specs[5];  // kinds 0, 2 and 4

int kind_index(int kind) {
  kind = std::abs(kind);
  return kind > 4 ? 0 : kind;
}

std::string folder_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The name an export starts from: a piece imported and not saved yet goes by its document's
// name (the ":from: " of its window title is no part of it).
std::string document_name(const std::string& fsspec) {
  const std::string name = name_of(fsspec);
  return name.rfind(":from: ", 0) == 0 ? name.substr(7) : name;
}

const char* piece_save_message(int published, int graphics) {
  if (graphics)
    return published ? "Save VESK score with graphics (published)"
                     : "Save VESK score with graphics";
  return published ? "Save VESK score (published)" : "Save VESK score file";
}

}  // namespace

std::string* file_spec_of_kind(int kind) {
  switch (kind_index(kind)) {
    case FILE_PIECE:
      return &piece_fsspec;
    case FILE_MUSICXML:
      return &import_fsspec;
    default:
      return &other_specs[kind_index(kind)];
  }
}

int open_file_dialog(int kind) {
  const int k = kind_index(kind);
  const KindTexts& t = kind_texts[k];
  set_cursor(CURSOR_ID_ARROW);
  FileDialogRequest request;
  request.client = "Vesk";
  request.title = t.open_title;
  request.message = t.open_message;
  request.action_button = t.open_button;
  request.preference_key = std::to_string(k == 0 ? 0 : 2 * k - 1);
  // MusicXML documents may be opened too: they are imported.
  request.filters = {k == FILE_PIECE      ? OPEN_PIECE_FILTER
                     : k == FILE_MUSICXML ? IMPORT_MUSICXML_FILTER
                                          : t.filter};
  if (k != 0) request.filters.push_back(kind_texts[0].filter);
  std::string path;
  if (!platform_file_dialog(request, &path)) return 0;
  *file_spec_of_kind(k) = path;
  return 1;
}

int save_file_dialog(int kind, int published, int graphics) {
  const int k = kind_index(kind);
  const KindTexts& t = kind_texts[k];
  std::string* spec = file_spec_of_kind(k);
  if (k == FILE_MIDI || k == FILE_MUSICXML) {
    const std::string document = document_name(piece_fsspec);
    std::string name;
    make_file_name(&name, document, t.extension);
    // The document an imported piece came from is not offered: the export would replace the
    // other program's file, which holds more than ours writes.
    if (k == FILE_MUSICXML && name == document && document != name_of(piece_fsspec))
      make_file_name(&name, document, ".musicxml");
    *spec = name;
  }
  set_cursor(CURSOR_ID_ARROW);
  FileDialogRequest request;
  request.save = true;
  request.client = "Vesk";
  request.title = t.save_title;
  request.message = k == FILE_PIECE ? piece_save_message(published, graphics) : t.save_message;
  request.action_button = t.save_button;
  request.preference_key = std::to_string(2 * k);
  request.filters = {t.filter};
  request.default_name = name_of(*spec);
  if (request.default_name.empty()) request.default_name = std::string("New Piece") + t.extension;
  // An export starts beside its piece (also one opened from the command line, which no dialog
  // has shown yet); a new piece's export, in the folder last used.
  if (kind >= 0)
    request.folder = folder_of(k == FILE_MIDI || k == FILE_MUSICXML ? piece_fsspec : *spec);
  std::string path;
  if (!platform_file_dialog(request, &path)) return 0;
  *spec = path;
  return 1;
}

void make_file_name(std::string* out, const std::string& in, const char* extension) {
  std::string name = name_of(in);
  out->clear();
  if (name.empty()) return;
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  std::string ext = extension ? extension : "";
  if (!ext.empty() && ext[0] != '.') ext = "." + ext;
  name += ext;
  std::erase(name, ':');
  if (name.size() > 63) {
    size_t cut = 63;
    while (cut > 0 && (uint8_t(name[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
    name.resize(cut);
  }
  *out = name;
}
