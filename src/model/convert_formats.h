// convert_formats.h: bringing what is read from a piece file of an older or a slightly newer
// format to the current layout: header conversions while the header is read, record
// conversions on every node record as it is read, version repairs while each voice is
// checked, and the redistribution of staff drags at the end of reading.
//
// Each conversion applies only to the file versions it names; "before N" is a version below
// N, "up to N" at most N. Record offsets count from a node's kind byte (node byte - 8).
#pragma once

#include <cstdint>

#include "model/drosa.h"

// ---- Header conversions -------------------------------------------------------------------
// Block 1, record 1, right after it is read (before 319): page margins and offsets x 10.
void convert_first_options_record(uint8_t* record, int stored_length, int version);
// Block 1, every record, after the page-size check and after the last record read has been
// copied into the remaining contexts.
void convert_options_records(int stored_length, int version);
// Block 2, perf_defaults, after it is read.
void convert_perf_defaults(int version);
// Block 3, every record, after the last record read has been copied into the rest.
void convert_print_records(int stored_length, int version);
// The Page Setup notice of files of version 325 or older with several contexts (not while
// conversions are quiet).
void page_setup_notice(int version);

// ---- Record conversions -------------------------------------------------------------------
// What the record conversions carry from one record to the next during one read.
struct ConversionState {
  int version = 344;
  int voice = 0;                    // voice being read
  bool context_move = false;        // up to 320: CLEF and KEYSIG follow a moved ENDSYST
  bool text_marking = false;        // up to 320: annotations of a marked head
  bool in_na_run = false;           // 321: an NA node started a run of annotation records
  int8_t na_context = 0;            // the context of that NA node
  bool text_problems_said = false;  // 321: the note about them was shown
  int program_answer = -1;          // up to 337: -1 not asked yet, 0 No, 1 Yes
};

// Applies every record conversion for the file's version to one node just read.
// Reads:  options_struct record 1, music_font_numbers, quiet_convert_flag.
// Failure: level-2 note "Your piece has some text problems which are being fixed." (321), once.
void convert_record(Drosa node, ConversionState* state);

// ---- Version repairs of check_voice ---------------------------------------------------------
// The repairs of one node of voice v, in their order. Returns 1 when the node was deleted
// (the walk must not touch it again).
int repair_node_by_version(Drosa node, int v, int version);
// The repairs once per voice, after its list has been walked.
void repair_voice_by_version(int v, int version);

// Files before 342: every SDRAG gets staff -1 and is redistributed to the staves it moves.
// Reads:  voice_count, piece_start, ncontext_count; restores current_ncontext.
void redistribute_sdrags(int version);
