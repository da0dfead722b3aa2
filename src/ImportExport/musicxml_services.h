// musicxml_services.h: what the rest of the program asks of the MusicXML interchange.
// Other folders include this header and no other header of ImportExport/.
#pragma once

#include "ImportExport/xmlt_fields.h"

// import_musicxml: reads the MusicXML document named by piece_fsspec into fresh voice lists,
// notation contexts and part names. 1 when the piece was imported; 0 after the import's own
// message (level 2), with no voice list left behind.
// Reads:  piece_fsspec. Writes: the piece globals.
int import_musicxml();
