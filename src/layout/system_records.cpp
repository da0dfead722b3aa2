// system_records.cpp: the records of the system being formatted, kept before its spacing and
// put back for a spacing with its least gaps or a drawing again. The nodes are kept whole; their
// kinds and payloads are put back only when a walk finds the same nodes in the same order, so
// that nothing the spacing took out or a cut moved is brought back.
#include "layout/system_records.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "layout/layout_globals.h"
#include "layout/layout_services.h"

namespace {

int voices() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

bool shown(int v) { return !voice_not_shown(v) && page_start[v]; }

}  // namespace

template <typename Visit>
bool KeptSystemRecords::each_node(Visit visit) const {
  for (int v = 0; v < voices(); ++v) {
    if (!shown(v)) continue;
    const VoiceData& voice = voice_data[v];
    if (!voice.system_start || voice.system_start == voice.system_end) continue;
    Drosa p = voice.system_start;
    for (; p && p != voice.system_end; p = p->xnext)
      if (!visit(p)) return false;
    if (!p || !visit(p)) return false;  // the system's end, or a list that has none
    // What the voice has in force, which may stand before its system and which the layering
    // writes (the layer its PRINT puts it in).
    for (Drosa sign : {voice.print, voice.beaming_start, voice.beaming_end, voice.clef,
                       voice.timesig, voice.keysig})
      if (sign && !visit(sign)) return false;
  }
  for (int s = first_pstaff; s <= last_pstaff && s < MAX_PSTAVES; ++s)
    for (Drosa head : staff_data[s].ppnt) {
      if (!head) continue;
      if (!visit(head)) return false;
      if (head->xnext && !visit(head->xnext)) return false;
    }
  return true;
}

void KeptSystemRecords::keep() {
  nodes_.clear();
  nodes_kept_.clear();
  kept_ = each_node([&](Drosa p) {
    nodes_.push_back(p);
    nodes_kept_.push_back(*p);
    return true;
  });
  first_staff_ = std::max(first_pstaff, 0);
  staves_.assign(staff_data + first_staff_,
                 staff_data + std::clamp(last_pstaff + 1, first_staff_, MAX_PSTAVES));
  std::copy(voice_data, voice_data + voices_.size(), voices_.begin());
  last_chord_ = last_chord;
}

bool KeptSystemRecords::put_back() {
  if (!kept_) return false;
  kept_ = false;
  // The voices' data first: the walk follows their systems as they were kept.
  const std::array<VoiceData, 64> now = [] {
    std::array<VoiceData, 64> v{};
    std::copy(voice_data, voice_data + v.size(), v.begin());
    return v;
  }();
  std::copy(voices_.begin(), voices_.end(), voice_data);
  size_t at = 0;
  const bool same = first_staff_ == std::max(first_pstaff, 0) &&
                    each_node([&](Drosa p) { return at < nodes_.size() && nodes_[at++] == p; }) &&
                    at == nodes_.size();
  if (!same) {
    std::copy(now.begin(), now.end(), voice_data);
    return false;
  }
  // The links stay as they are: the walk found them the same within the systems, and what
  // stands beside a PRINT or sign before the system may have changed since.
  constexpr size_t from = offsetof(DrosaNode, xkind);
  for (size_t i = 0; i < nodes_.size(); ++i)
    std::memcpy(nodes_[i]->bytes() + from, nodes_kept_[i].bytes() + from, DROSA_NODE_SIZE - from);
  std::copy(staves_.begin(), staves_.end(), staff_data + first_staff_);
  last_chord = last_chord_;
  return true;
}
