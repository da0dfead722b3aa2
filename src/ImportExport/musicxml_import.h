// musicxml_import.h: the two passes of the MusicXML import.
#pragma once

// MusicXML_parse: reads the document once as a stream into one voice list per staff of every
// part; sets keep_systems (the document gave breaks, or has at most seven measures),
// keep_pages (it gave a page break, or has at most seven measures, or 1 to 12 system breaks)
// and skip_respelling (0 for a document written by Sibelius). Returns 1; every failure throws
// its message.
int MusicXML_parse(int* keep_systems, int* keep_pages, int* skip_respelling);

// mxml_analyse: splits the staff lists by voice, fills the gaps with rests, makes staff
// changes and performance data; first_change gets the first measure in which a note of some
// voice is written on another staff (0 when none).
void mxml_analyse(int* first_change);
