// beam_buffer.cpp: the beam buffer between the page drawing pass and the chord and beam
// drawers.
//
// An entry is keyed by pstaff, layer, the stem direction of the chord's first note and whether
// that note is a grace note, so that grace beams and normal beams, and the two stem
// directions of a shared staff, never mix. Directions 0 and 3 (no stem direction decided) get
// slots of their own; beams under them are never moved to another staff nor reported.
#include "graphics/beam_buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "graphics/graphics_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

static_assert(BEAM_BUFFER_PSTAVES == MAX_PSTAVES && BEAM_BUFFER_LAYERS == LAYERS,
              "the beam buffer has an entry for every layer of every pstaff");

namespace {

int stem_direction(Drosa note) {
  Drosa nt = note_ntdata(note);
  return nt ? nt->get(xstmdir) : 0;
}

int entry_index(int pstaff, int layer, int direction, int grace) {
  return ((pstaff * BEAM_BUFFER_LAYERS + layer) * BEAM_BUFFER_DIRECTIONS + direction) * 2 + grace;
}

bool is_open(const BeamBufferEntry& e) { return bool(e.first); }

// The entries touched since fix_beam_buffer last ran, so that it need not look at every one.
std::vector<int> touched_entries;

void touch(int index) {
  if (beam_buffer_touched[index]) return;
  beam_buffer_touched[index] = 1;
  touched_entries.push_back(index);
}

void empty(int index) {
  beam_buffer[index] = BeamBufferEntry{};
  beam_buffer_touched[index] = 0;
}

int system_from() { return std::max<int>(first_pstaff, 0); }
int system_to() { return std::min<int>(last_pstaff, MAX_PSTAVES - 1); }

// Draws the open beam of an entry on the staff of its latest chord and empties the entry.
void close_on_own_staff(int index, int layer) {
  BeamBufferEntry e = beam_buffer[index];
  empty(index);
  beam_buffer_beam_drawer(e.first, e.last, Find_pstaff(e.last, 1), layer);
}

}  // namespace

void beam_buffer_reset() {
  for (int p = system_from(); p <= system_to(); ++p)
    for (int i = entry_index(p, 0, 0, 0); i < entry_index(p + 1, 0, 0, 0); ++i) empty(i);
}

void endchord(Drosa first, Drosa last, int pstaff, int layer) {
  if (pstaff < 0 || pstaff >= MAX_PSTAVES || layer < 0 || layer >= LAYERS || !note_ntdata(first) ||
      !note_ntdata(last)) {
    REPORT_ERROR(4, "bad pstaff in endchord (spacing2.c)");
    return;
  }
  const int direction = stem_direction(first) & 3;
  const int index = entry_index(pstaff, layer, direction, first->get(xgrace) ? 1 : 0);
  const bool ends_beam = note_ntdata(last)->get(xendbeam);
  BeamBufferEntry& e = beam_buffer[index];
  if (is_open(e)) {
    if (beam_next(e.last, nullptr) == first) {
      if (ends_beam) {
        Drosa from = e.first;
        empty(index);
        beam_buffer_beam_drawer(from, last, pstaff, layer);
      } else {
        e.last = last;
        touch(index);
      }
      return;
    }
    // The chord breaks the open beam: what it holds is drawn before the chord is considered.
    close_on_own_staff(index, layer);
  }
  if (ends_beam) {
    beam_buffer_chord_drawer(first, last, pstaff, layer);
  } else {
    beam_buffer[index] = {first, last};
    touch(index);
  }
}

void fix_beam_buffer() {
  // The touched entries of the system's staves in the order of their index: by staff, layer,
  // direction and grace. An entry emptied meanwhile is passed by.
  std::vector<int>& touched = touched_entries;
  std::sort(touched.begin(), touched.end());
  touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
  const int from = entry_index(system_from(), 0, 0, 0), to = entry_index(system_to() + 1, 0, 0, 0);
  for (const int index : touched) {
    if (index < from || index >= to || !beam_buffer_touched[index]) continue;
    const int grace = index % 2, direction = index / 2 % BEAM_BUFFER_DIRECTIONS;
    const int layer = index / (2 * BEAM_BUFFER_DIRECTIONS) % BEAM_BUFFER_LAYERS;
    const int p = index / (2 * BEAM_BUFFER_DIRECTIONS * BEAM_BUFFER_LAYERS);
    if (direction < 1 || direction > 2) continue;
    BeamBufferEntry& e = beam_buffer[index];
    if (!is_open(e)) {
      REPORT_ERROR(4,
                   "new_note_in_beam logic error in fix_beam_buffer: pstaff %hd, layer %d, "
                   "dir %hd grace %d",
                   short(p), layer, short(direction), grace);
      continue;
    }
    int where = 3;
    beam_next(e.last, &where);
    if (where == 3) continue;
    const int next = where == 2 ? p + 1 : p - 1;
    if (next < first_pstaff || next > last_pstaff || next < 0 || next >= MAX_PSTAVES) {
      REPORT_ERROR(4, "fix_beam_buffer: nextpstaff %hd out of range %hd..%hd", short(next),
                   short(first_pstaff), short(last_pstaff));
      continue;
    }
    // The beam goes on at the neighbouring staff, whose chords have stems towards it.
    const int target = entry_index(next, layer, where, grace);
    if (is_open(beam_buffer[target])) {
      BeamBufferEntry old = beam_buffer[target];
      empty(target);
      beam_buffer_beam_drawer(old.first, old.last, next, layer);
    }
    beam_buffer[target] = e;
    e = BeamBufferEntry{};
  }
  // Entries of staves outside the system stay touched, as they were.
  std::erase_if(touched, [&](int index) {
    if (index < from || index >= to) return !beam_buffer_touched[index];
    beam_buffer_touched[index] = 0;
    return true;
  });
}

void check_beam_buffer() {
  for (int p = system_from(); p <= system_to(); ++p) {
    for (int layer = 0; layer < LAYERS; ++layer) {
      for (int direction = 0; direction < BEAM_BUFFER_DIRECTIONS; ++direction) {
        for (int grace = 0; grace <= 1; ++grace) {
          const int index = entry_index(p, layer, direction, grace);
          if (!is_open(beam_buffer[index])) continue;
          close_on_own_staff(index, layer);
        }
      }
    }
  }
}

void print_beam_buffer() {
  debug_out("\nContents of the beam buffer:\n");
  char line[160];
  for (int p = 0; p < MAX_PSTAVES; ++p) {
    for (int layer = 0; layer < LAYERS; ++layer) {
      for (int direction = 1; direction <= 2; ++direction) {
        for (int grace = 0; grace <= 1; ++grace) {
          const BeamBufferEntry& e = beam_buffer[entry_index(p, layer, direction, grace)];
          if (!is_open(e)) continue;
          std::snprintf(line, sizeof line,
                        "Beam: pstaff %d, layer %d, dir %d, grace %d; first %p last %p\n", p, layer,
                        direction, grace, reinterpret_cast<void*>(uintptr_t(e.first.handle())),
                        reinterpret_cast<void*>(uintptr_t(e.last.handle())));
          debug_out(line);
        }
      }
    }
  }
}
