// pitch.cpp: spellings, MIDI keys and pitch words of notes.
//
// A pitch is counted in 1/200 semitone: 200 x key, plus twice the tuning offset in cents of
// the step and accidental. The tuning table lies in perf_defaults as 7 x 6 big-endian floats
// (steps C..B, accidental codes 0..5) from byte 70.
#include "performance/pitch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "params/param_services.h"

namespace {

constexpr int TUNING_OFFSET = 70;
constexpr int P_FIRST_SPECIAL_CENTS = 479;  // "cents offset for special accidental 1"
constexpr int LAST_SPECIAL_CODE = 65;
constexpr int C_MAJOR_OFFSET[7] = {0, 2, 4, 5, 7, 9, 11};

int32_t floor_div(int32_t a, int32_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// The tuning offset in cents of a step (0..6) and accidental code (0..5).
double tuning(int step, int accidental) {
  if (step < 0 || step > 6 || accidental < 0 || accidental > 5) return 0;
  uint32_t bits = load_big_endian(perf_defaults + TUNING_OFFSET + (step * 6 + accidental) * 4, 4);
  float cents;
  std::memcpy(&cents, &bits, sizeof cents);
  return std::isfinite(cents) ? cents : 0;
}

}  // namespace

// clang-format off
const Spelling pitch_spelling_table[12][3] = {
    {{0, 3}, {-1, 4}, {1, 1}},  {{0, 4}, {1, 2}, {-1, 5}},  {{1, 3}, {0, 5}, {2, 1}},
    {{1, 4}, {2, 2}, {3, 1}},   {{2, 3}, {3, 2}, {1, 5}},   {{3, 3}, {2, 4}, {4, 1}},
    {{3, 4}, {4, 2}, {2, 5}},   {{4, 3}, {3, 5}, {5, 1}},   {{4, 4}, {5, 2}, {5, 2}},
    {{5, 3}, {4, 5}, {6, 1}},   {{5, 4}, {6, 2}, {7, 1}},   {{6, 3}, {7, 2}, {5, 5}},
};
// clang-format on

int32_t step_to_key(int32_t position, int accidental, int32_t transposition) {
  int32_t s = position - 7 * floor_div(position, 7);
  return 12 * floor_div(position, 7) + C_MAJOR_OFFSET[s] + (accidental ? accidental - 3 : 0) +
         transposition;
}

int32_t special_pitch(int32_t position, int count, int accidental, const uint8_t* codes,
                      int32_t transposition, Drosa note) {
  int32_t s = position - 7 * floor_div(position, 7);
  double base = 12.0 * floor_div(position, 7) + C_MAJOR_OFFSET[s] + transposition;
  if (count <= 0) {
    double p = 200 * (base + (accidental ? accidental - 3 : 0)) + 2 * tuning(s, accidental);
    return int32_t(p + 0.5);
  }
  double sum = 0;
  bool standard = false;
  for (int i = 0; i < count; ++i) {
    int c = codes[i];
    if (c < 6) {
      sum += c * 200 - 600 + 2 * tuning(s, c);
      standard = true;
    } else if (c <= LAST_SPECIAL_CODE) {
      sum += 2 * param_float_value(P_FIRST_SPECIAL_CENTS + c - 6, note);
    }
  }
  if (!standard) sum += 2 * tuning(s, 3);
  return int32_t(200 * base + sum + 0.5);
}

uint16_t note_pitch_word(Drosa note, int32_t transposition) {
  if (!is_NOTE(note)) return 0;
  Drosa spacc = find_prev_kind_stop_2(SPACC, note, NOTE);
  uint8_t codes[15] = {};
  int count = 0;
  if (spacc) {
    count = std::min<int>(spacc->get(xnumspacc), 15);
    for (int i = 0; i < count; ++i) codes[i] = spacc->get(xspacc_entry, i);
  }
  int32_t p = special_pitch(note->get(xmod7), count, note->get(xacc), codes, transposition, note);
  p = std::clamp<int32_t>(p, 0, 127 * 200 + 199);
  return uint16_t(((p / 200) << 8) | (p % 200));
}
