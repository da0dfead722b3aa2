// musicxml_globals.cpp: the program-wide state of the MusicXML import.
#include "ImportExport/musicxml_globals.h"

int mxml_root_seen = 0;
int mxml_partwise_seen = 0;
int mxml_no_note_made = 1;

MxmlState mxml;
MxmlInput mxml_input;
uint64_t mxml_byte_limit = MXML_MOST_BYTES;

void reset_musicxml_globals() {
  mxml_root_seen = 0;
  mxml_partwise_seen = 0;
  mxml_no_note_made = 1;
  mxml = MxmlState{};
  mxml.lists.resize(MXML_MAX_LISTS);
  mxml_input = MxmlInput{};
  mxml_byte_limit = MXML_MOST_BYTES;
}
