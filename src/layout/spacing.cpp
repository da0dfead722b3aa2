// spacing.cpp: the horizontal spacing of a system.
//
// The pass is not built yet: chords keep the x they have. The spacing curve is built: the
// automatic system breaking measures bars with it.
#include "layout/spacing.h"

#include <algorithm>
#include <cmath>

#include "layout/layout_globals.h"
#include "params/param_services.h"

namespace {

constexpr int P_EIGHTH_SPACE = 220;       // "space given to a eighth note before justification"
constexpr int P_DURATION_EFFECT = 221;    // "effect of duration on note spacing (overrides Layout)"
constexpr double LARGEST_EFFECT = 0.9;    // the largest effect the context's options allow
constexpr double LARGEST_SPACE = 100000;  // ten thousand points: no position can overflow

// The curve: space = s x exp(k x ln(d / eighth)).
struct Curve {
  double k = 0;
  int32_t s = 120;
};
Curve curve;

}  // namespace

void init_spacing_curve(Drosa node) {
  double r = param_float_value(P_DURATION_EFFECT, node);
  double effect = std::isnan(r) ? 0.0 : std::min(r, LARGEST_EFFECT);
  curve.k = -std::log(1.0 - effect);
  curve.s = param_length(P_EIGHTH_SPACE, node, nullptr);
}

int32_t space_for_duration(int32_t d) {
  if (d < 1) return 0;
  if (linear_spacing_context()) return d >> 8;
  double space = curve.s * std::exp(curve.k * std::log(double(d) / (WHOLE_NOTE_TIME / 8)));
  return int32_t(std::clamp(space, 0.0, LARGEST_SPACE));
}

int32_t spacing_pass() { return 1; }
