// musicxml_export_groups.h: the groups of parts the MusicXML export writes in its part list,
// as the piece's brackets, braces and bar lines join its parts (the export's own files and
// its tests).
#pragma once

#include <vector>

// A group of parts from `first` to `last` (from 0, in the document's order): its symbol
// ("bracket", "brace" or "none") and whether its bar lines go from part to part.
struct ExportGroup {
  int first = 0, last = 0;
  const char* symbol = "none";
  bool bar_lines = false;
};

// The groups of parts, each given by the voices of its top and of its last staff, as the
// piece makes them (not as a system that hides the staves below a staff shows them): a bracket over
// whole parts, a brace over more than one part, and where bar lines go on from part to part
// outside such a group, a group of no symbol; every group lies inside those it overlaps, the
// longer of two beginning at one part first.
// Reads: voice_count, the voice lists (their PRINT, ENDSYST, BAR and BARSEP nodes).
std::vector<ExportGroup> export_part_groups(const std::vector<std::pair<int, int>>& parts);
