// musicxml_export.h: the piece written as a MusicXML document (the export's own files and
// its tests; other folders call it through musicxml_services.h).
#pragma once

#include "ImportExport/xml_writer.h"

// export_musicxml_to_writer: writes the piece, as the Score sees it, as a score-partwise
// document into an open writer. 1 when every byte was written, 0 when the writer lost output.
// Reads: the voice lists, the annotations, the parameters (dynamics and tempo glyphs, the
// distances between staves and systems), the Score's options and page setup (the page layout).
int export_musicxml_to_writer(XmlWriter& writer);
