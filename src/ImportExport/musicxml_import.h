// musicxml_import.h: the two passes of the MusicXML import.
#pragma once

// MusicXML_parse: reads the document once as a stream into one voice list per staff of every
// part; sets keep_systems (the document gave breaks, or has at most seven measures),
// keep_pages (it gave a page break, or has at most seven measures, or 1 to 12 system breaks)
// and skip_respelling (0 when the software element names the program whose documents need
// their accidentals re-evaluated). Returns 1.
// Reads:  mxml_input (or piece_fsspec), the current notation context's page size.
// Writes: voice_count, piece_start and the lists, mxml, the validity flags, the context's
//         page size and margins (and the offscreen page when the size changes), the window
//         title's extra text.
// Failure: throws "Vesk could not open the MusicXML file.", "Import error: Badly formatted
//          Music XML." (any result of the reader but 0, a document cut short among them), the
//          part list's limits, and after level 4 "Memory logic error in MusicXML_parse()" an
//          empty text.
int MusicXML_parse(int* keep_systems, int* keep_pages, int* skip_respelling);

// mxml_analyse: splits the staff lists by voice (at most six a list, 63 voices in all; the
// notes of any further voice stay with the list's first), numbers the voices of each part,
// makes staff changes and performance data, fills the gaps with rests against the
// document's times, removes the XMLTs and gives every note the number of its voice (xvoice);
// first_change gets the first measure in which a note of some voice is written on another
// staff (0 when none).
// Reads:  the voice lists, mxml.tolerance_units, the debug modifier key.
// Writes: voice_count, piece_start, the voice lists, the window title's extra text.
// Failure: level 4 "Import problem in start_end_split_voices()" for a voice without a PRINT
//          before its first note, then an empty text is thrown.
void mxml_analyse(int* first_change);
