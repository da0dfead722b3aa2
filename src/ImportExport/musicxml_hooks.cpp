// musicxml_hooks.cpp: what the MusicXML import lends the model, registered at start-up: the
// import of the document a view opens.
#include "ImportExport/musicxml_services.h"

void register_musicxml_hooks() {
  model_hooks.import_musicxml.routine = [](bool only_to_print) {
    return import_musicxml(only_to_print);
  };
}
