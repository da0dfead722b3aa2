// musicxml_services.cpp: the MusicXML import as the rest of the program calls it.
//
// The import itself is not written yet: asking for one says so and imports nothing.
#include "ImportExport/musicxml_services.h"

#include "model/model_services.h"

int import_musicxml() {
  REPORT_ERROR(2, "This version of Vesk cannot import MusicXML documents yet.");
  return 0;
}
