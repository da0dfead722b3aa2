// system_records.h: the records of the system being formatted, kept as they stand and put back:
// a system spaced again with its least gaps goes on from what its passes had made before the
// spacing, rather than the page being formatted again to make it anew.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/model_services.h"

class KeptSystemRecords {
 public:
  // keep: every node of each shown voice's system, its system start and end among them, and
  // what the voice has in force there (its PRINT, BEAMINGs and signs), the chain heads and the
  // data of the system's staves, the voices' data and the page's last chord, as they now stand.
  // Reads: voice_data, first_pstaff..last_pstaff of staff_data, last_chord.
  void keep();
  // put_back: all that keep kept, as it stood then (the nodes' links as they are now). False, and
  // nothing put back, when nothing was kept since the last forget, or the system's lists no longer
  // hold the nodes kept in their order (the spacing took chords out, or the system was cut).
  // Writes: the nodes kept, voice_data, staff_data of the staves kept, last_chord.
  bool put_back();
  void forget() { kept_ = false; }
  bool kept() const { return kept_; }

 private:
  // Walks the nodes keep keeps, in order.
  template <typename Visit>
  bool each_node(Visit visit) const;

  bool kept_ = false;
  std::vector<Drosa> nodes_;
  std::vector<DrosaNode> nodes_kept_;  // each node as it stood
  std::vector<StaffData> staves_;
  std::array<VoiceData, 64> voices_{};
  int32_t first_staff_ = 0;
  Drosa last_chord_;
};
