// readvesk.h: reading a piece file into the piece globals and one voice list per voice,
// accepting every format from 318 through 347, and setting up the default piece and the
// lists of a new piece.
#pragma once

#include <cstddef>
#include <cstdint>

#include "model/convert_formats.h"
#include "model/drosa.h"
#include "model/model_services.h"
#include "model/piece_format.h"

// What one read carries from record to record.
struct PieceReading {
  PieceFile* file = nullptr;
  int version = PIECE_FORMAT_WRITTEN;  // of the file being read
  NodeIoState io;                      // convert_node_io's last text-annotation head
  ConversionState conversion;          // the record conversions' running state
  bool colors_in_file = false;         // a COLOR node was read
  int lowered_tparams = 0;  // TPARAMs lowered since the last NOTE or ENDSYST (requested_page 0)
  bool stop_after_voice = false;  // the user chose to stop at a damaged record
  long placeholders = 0;          // records of kinds a piece file never holds, kept as NA nodes
};

// ---- Reading a piece --------------------------------------------------------------------------

// header_io: every header field in order, mode IO_READ (with the version gate, the checks and
// the header conversions; *version gets the file's version) or IO_WRITE. 0 on failure, else 1
// (-1 when reading a negative page number).
int header_io(int mode, PieceFile* file, int* version);

// check_page_size_to_save: 1 when the Score's page size is one a piece file holds (15..40000
// each way); else reports that the piece cannot be saved (level 2) and gives 0.
// Reads:  options_struct[1].
int check_page_size_to_save();

// read_node_record: reads the next stored node of voice v into a new node and converts it; 0
// on a failure that ends reading (the node is returned to the store). A staff drag read is
// counted in staff_drag_nodes, a NEST in nest_nodes.
int read_node_record(PieceReading* reading, Drosa* node, int v);

// check_voice: the checks and repairs of one voice after all voices are read (with the
// version repairs of the file's version).
void check_voice(int v, int version);
