// musicxml_hooks.cpp: what the MusicXML import lends the model, registered at start-up: the
// import of the document a view opens, and the line of an XMLT node in the debug dumps.
#include <string>

#include "ImportExport/musicxml_services.h"
#include "ImportExport/xmlt_fields.h"

namespace {

// An XMLT node's line in the debug dumps; 0 for another kind.
int musicxml_node_text(Drosa n, std::string* line) {
  if (n->xkind != XMLT) return 0;
  append_dump_text(line, "XMLT   %p xnwholec=0x%X xxmltime=%d xxmlincr=%d", dump_id(n),
                   unsigned(n->get(xnwholec)), n->get(xxmltime), n->get(xxmlincr));
  return 1;
}

}  // namespace

void register_musicxml_hooks() {
  model_hooks.import_musicxml.routine = [](bool only_to_print) {
    return import_musicxml(only_to_print);
  };
  model_hooks.musicxml_node_text.routine = musicxml_node_text;
}
