// musicxml_services.h: what the rest of the program asks of the MusicXML interchange.
// Other folders include this header and no other header of ImportExport/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "ImportExport/xmlt_fields.h"

// import_musicxml: imports the MusicXML document named by piece_fsspec into fresh voice lists:
// the piece's voices, notes, bar lines, clefs, keys, time signatures, annotations, system and
// page breaks and page size; then the parameter table is rebuilt, every page formatted and
// the undo history emptied. 1 when imported; 0 when the import was given up after a
// message, leaving no voice list (voice_count 0) and no node of it in the store.
// Reads:  piece_fsspec, the current notation context, its options and page size.
// Writes: voice_count, piece_start and every voice list, page_start, the options record of
//         the current context (page size, margins), the parameter table, the undo history,
//         the window title's extra text and the cursor.
// Failure: level 2 with the reason: "Vesk could not open the MusicXML file.", "Import error:
//          Badly formatted Music XML." (also for a document cut short), "This is not a valid
//          MusicXML file.", the score-partwise message, "Vesk requires 'type' elements for
//          notes in MusicXML.", and the limits of parts and staves.
int import_musicxml();

// The same over a document held in memory. With `complete` 0 the import stops after its
// analysing pass: the voice lists are the piece's, not yet broken into systems or formatted.
int import_musicxml_memory(const void* bytes, size_t size, int complete = 1);

// export_musicxml: the Export MusicXML command: asks for the file in the save dialog and
// writes the piece there (export_musicxml_file). 1 when written; 0 when cancelled or failed.
int export_musicxml();

// export_musicxml_file: writes the piece, as the Score sees it, as a MusicXML score-partwise
// document (UTF-8, 192 divisions to a quarter note) at `path`. The document is written into a
// new file in the same folder, which takes the name only once it is complete: a failure (said
// at level 2, "Exporting MusicXML: ..." or "Could not open XML file for writing.") leaves no
// partial document and any file of that name as it was. 1 when written, else 0.
// Reads: the voice lists, their annotations, the parameters of the dynamics and tempo glyphs.
int export_musicxml_file(const std::string& path);

// Puts the import's program-wide state back to its start, releasing what it holds.
void reset_musicxml_globals();
