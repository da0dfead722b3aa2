// replace.h: the primitives through which editing changes the notes of a voice in time:
// replacing a stretch, turning it into rests, filling a gap of time with rests, inserting a
// note or chord at the insertion point, and deleting notes so that rests keep their time.
// Every change is recorded for undo.
#pragma once

#include <cstdint>

#include "model/drosa.h"

// A kind of rest: the note value to start from, the tuplet and its NEST multipliers.
struct RestKind {
  int32_t value;
  int32_t tupl;
  int32_t intimeof;
  int32_t nest_tupl;
  int32_t nest_intimeof;
};
inline constexpr int MAX_REST_KINDS = 10;
inline constexpr RestKind PLAIN_REST_KIND = {1, 1, 4, 1, 4};

// do_Drosa_update modes.
inline constexpr int UPDATE_EXTEND_CHORD = 32;
inline constexpr int UPDATE_INSERT_AFTER = 33;
inline constexpr int UPDATE_REPLACE = 34;
inline constexpr int UPDATE_DELETE = 35;

int fit_rest_value(Drosa rest, int short_values, int32_t gap, int32_t position,
                   const RestKind* kinds, int count, int by_gap);
// Appends rests filling `gap` after *tail (advanced to each new rest); 0 when no value fits.
// With document_gap the gap is one an imported document leaves in a voice: the rests are
// hidden, a gap that no value divides takes the longest plain rest that fits, and a rest too
// short to make ends the filling without a message (the rests made stay).
int make_fill_rests(int32_t gap, int32_t position, Drosa* tail, const RestKind* kinds, int count,
                    int document_gap = 0);
void do_Drosa_update(int mode, Drosa new_first, Drosa new_last, Drosa old_start, Drosa old_end,
                     int perf_mode, int adjust_acc);
void restify(Drosa old_start, Drosa old_end, int32_t duration, int adjust_acc);
int fill_time_gap(Drosa location, int before_import_timing, int32_t position, int32_t duration);
int insert_note(Drosa first, Drosa last, int add_to_chord, int perf_mode, int keep_view, int report,
                int nachschlag_after);
void delete_to_rests(Drosa note, int no_rests, int adjust_acc);
void measure_keeps_a_note(Drosa node);
