// musicxml_export_layout.h: the page layout of the piece as a MusicXML document gives it: the
// page, its margins and the staff size in `defaults`, the distances between staves and between
// systems in the `print` that begins a system (the export's own files and its tests).
#pragma once

#include <cstddef>
#include <vector>

#include "ImportExport/xml_writer.h"

// The Score's page layout in tenths of a staff space of the program's staff size, as the
// reader of the written document will read it.
struct ExportLayout {
  double millimeters = 0;                // of 40 tenths (a staff's height) on the paper
  int staff_size = 50;                   // the program's, whose tenths these are
  long page_width = 0, page_height = 0;  // of the paper
  long margins[2][4] = {};               // odd, even pages: left, right, top, bottom
  long top_system_distance = 0;          // page top margin to the first staff's top line
  long first_top_system_distance = 0;    // the same on the first page
  long first_system_indent = 0;          // the first system's left margin beyond the page's
  long last_system_indent = 0;           // the last system's right margin beyond the page's
  int lyric_size = 0;                    // points: the size most of the lyrics have, 0 no lyrics
  // By system (0 the first) and voice: the distance below the voice's staff (its bottom
  // line to the next staff's top line), whether or not the staff is shown there.
  std::vector<std::vector<long>> staff_below;
  // By system: below its last staff shown, to the next system's first.
  std::vector<long> system_below;
  bool several_staves = false;  // some system has more than one staff
};

// export_layout: the page size, margins and print scale of the current notation context and
// the staff and system distances in force at the end of every system, from the engraving
// parameters and their changes in the voice lists, made closer in proportion on a page whose
// paper cannot hold them as they are; and the size of the lyrics.
// Reads: current_ncontext's options_struct and print_record, param (the default distances
// and margins), the voice lists (PRINT, PARAM, ENDSYST and NOTE nodes the context sees, the
// lyrics' TPARAM), which pages were formatted since the piece last changed.
// Writes: what formatting a page writes, for each page not formatted since the piece last
// changed (format_page; a system too wide for its staves is cut), and then the current page
// formatted again.
ExportLayout export_layout();

// write_layout_defaults: the `defaults` element: scaling, page layout, system layout and
// staff layout as the piece's first system has them, and the lyrics' size (their width is
// part of a system's).
void write_layout_defaults(XmlWriter& w, const ExportLayout& layout);

// What the document has said of the distances so far, so that each is written where it
// changes.
struct PrintedDistances {
  long system = -1;         // between systems
  std::vector<long> staff;  // by staff of the document: the distance above it
  long staff_default = -1;  // what the defaults say of every staff
};

// printed_distances_of_defaults: what the defaults of write_layout_defaults say.
PrintedDistances printed_distances_of_defaults(const ExportLayout& layout);

// A staff of a part as its print writes the distance above it: its number among the
// document's staves (from 0), and the voice whose distance below gives it (-1: none, the
// document's first staff).
struct StaffAbove {
  int staff = 0;
  int voice_above = -1;
};

// write_layout_print: the `print` of a part's measure: at the start of system `system` (0 the
// piece's first measure, where it is written only when it says something) with new-system
// (and new-page) for later ones; the system layout in the first part only, the distance
// above each of the part's staves (`staves`, in order) where it changed.
void write_layout_print(XmlWriter& w, const ExportLayout& layout, PrintedDistances& printed,
                        size_t system, bool new_page, bool first_part,
                        const std::vector<StaffAbove>& staves);
