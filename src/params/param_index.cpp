// param_index.cpp: the index that lets a parameter lookup skip the walk back over a page.
//
// A lookup at a note walks back from the node before it to the nearest PARAM of the
// parameter, or to the ENDSYST that ends the walk (a page end or the start of the piece).
// That walk grows with the note's place on the page. The index answers it from a table built
// by one walk over the stretch of the list that the walk covers:
//  - a stretch runs from an ENDSYST where walks end (its stop) to the next one;
//  - every NOTE and seen ENDSYST after the stop gets its ordinal, counted from 1;
//  - every seen PARAM gets the ordinal of the first NOTE or ENDSYST after it, and is kept in
//    a list sorted by parameter, variant and ordinal (list order among equals).
// The change in force before the target of ordinal k is the last PARAM of its parameter and
// variant with an ordinal of at most k: the nearest one before it in the list.
//
// Invariant: an entry is used only while current_ncontext and list_change_count are what
// they were when the index was emptied last. Visibility depends on the context; the order,
// kinds and fields the index keeps change only with a counted list change (voice_lists.h).
#include "params/param_index.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/model_services.h"
#include "params/param_lookup.h"
#include "params/params_globals.h"

namespace {

// A parameter and variant as one sortable key.
uint32_t change_key(int pindex, int small) { return uint32_t(pindex) << 1 | uint32_t(small != 0); }

struct IndexedChange {
  uint32_t key;
  uint32_t ordinal;  // of the first NOTE or ENDSYST after the change
  Drosa node;
};

struct Stretch {
  Drosa stop;                          // where walks in this stretch end
  std::vector<IndexedChange> changes;  // by key, then ordinal, then list order
};

// Where a NOTE or seen ENDSYST stands: its stretch and its ordinal there.
struct Place {
  uint32_t stretch;
  uint32_t ordinal;
};

// The places by node handle: an open-addressed table whose slots are valid only while they
// carry the current epoch, so that emptying it is one increment.
class PlaceTable {
 public:
  void clear() {
    ++epoch_;
    count_ = 0;
  }
  const Place* find(uint32_t handle) const {
    if (slots_.empty()) return nullptr;
    for (size_t i = hash(handle);; i = (i + 1) & mask()) {
      const Slot& s = slots_[i];
      if (s.epoch != epoch_) return nullptr;
      if (s.handle == handle) return &s.place;
    }
  }
  void put(uint32_t handle, Place place) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    for (size_t i = hash(handle);; i = (i + 1) & mask()) {
      Slot& s = slots_[i];
      if (s.epoch != epoch_) {
        s = Slot{handle, epoch_, place};
        ++count_;
        return;
      }
      if (s.handle == handle) {
        s.place = place;
        return;
      }
    }
  }

 private:
  struct Slot {
    uint32_t handle;
    uint32_t epoch;  // 0 never current: a new slot is empty
    Place place;
  };
  size_t mask() const { return slots_.size() - 1; }
  size_t hash(uint32_t handle) const { return (handle * 0x9E3779B1u) & mask(); }
  void grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 1024 : 2 * old.size(), Slot{0, 0, {}});
    count_ = 0;
    for (const Slot& s : old)
      if (s.epoch == epoch_) put(s.handle, s.place);
  }
  std::vector<Slot> slots_;
  uint32_t epoch_ = 1;
  size_t count_ = 0;
};

struct ParamIndex {
  bool enabled = true;
  uint64_t built_at = ~uint64_t(0);  // list_change_count when emptied last
  int16_t context = 0;               // current_ncontext then
  PlaceTable places;                 // of the NOTE and seen ENDSYST nodes indexed
  std::vector<Stretch> stretches;
};

ParamIndex index_state;

void empty_index() {
  index_state.places.clear();
  index_state.stretches.clear();
  index_state.built_at = list_change_count;
  index_state.context = current_ncontext;
}

bool is_target(Drosa node) { return node->xkind == NOTE || effective_kind(node) == ENDSYST; }

// The stop of the stretch that holds target: the first node back from the one before it
// where walks end, or the voice's head when the chain starts there; NIL when the chain
// starts anywhere else (no voice list).
Drosa stop_before(Drosa target) {
  Drosa last = target;
  for (Drosa p = target->xback; p; last = p, p = p->xback)
    if (ends_param_walk(p)) return p;
  return is_voice_head(last) ? last : NIL;
}

// Indexes the stretch after stop, up to and including the next node where walks end.
void index_stretch(Drosa stop) {
  uint32_t number = uint32_t(index_state.stretches.size());
  Stretch& stretch = index_state.stretches.emplace_back();
  stretch.stop = stop;
  uint32_t ordinal = 0;
  for (Drosa p = stop->xnext; p; p = p->xnext) {
    if (is_target(p)) {
      index_state.places.put(p.handle(), Place{number, ++ordinal});
      if (ends_param_walk(p)) break;
    } else if (effective_kind(p) == PARAM) {
      stretch.changes.push_back(
          {change_key(p->get(xparam_index), p->get(xparam_small)), ordinal + 1, p});
    }
  }
  std::stable_sort(stretch.changes.begin(), stretch.changes.end(),
                   [](const IndexedChange& a, const IndexedChange& b) {
                     return a.key != b.key ? a.key < b.key : a.ordinal < b.ordinal;
                   });
}

}  // namespace

bool param_index_find(Drosa target, int pindex, int small, Drosa* change, Drosa* stop) {
  if (index_state.built_at != list_change_count || index_state.context != current_ncontext)
    empty_index();
  const Place* found = index_state.places.find(target.handle());
  if (!found) {
    Drosa first_stop = stop_before(target);
    if (!first_stop) return false;
    index_stretch(first_stop);
    found = index_state.places.find(target.handle());
    if (!found) return false;
  }
  const Place place = *found;
  const Stretch& stretch = index_state.stretches[place.stretch];
  const uint32_t key = change_key(pindex, small);
  // The first change past (key, ordinal); the one before it is the nearest.
  auto after = std::upper_bound(stretch.changes.begin(), stretch.changes.end(), place.ordinal,
                                [key](uint32_t ordinal, const IndexedChange& c) {
                                  return key != c.key ? key < c.key : ordinal < c.ordinal;
                                });
  *change = after != stretch.changes.begin() && (after - 1)->key == key ? (after - 1)->node : NIL;
  *stop = stretch.stop;
  return true;
}

void use_param_index(bool on) { index_state.enabled = on; }

bool param_index_in_use() { return index_state.enabled; }

void reset_param_index() {
  empty_index();
  index_state.enabled = true;
}
