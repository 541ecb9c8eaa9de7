#pragma once
// The colour tables of the palettes, computed from their anchor colours.
// Between anchors the curve is a monotone cubic (Fritsch-Carlson): it passes
// through every anchor, rises or falls only where the anchors do, and has no
// overshoot, so neighbouring entries change by small steps. Header-only so
// that the generator and the tests compute the same tables.
#include <array>
#include <cmath>
#include <cstdint>

namespace palettegen {

// Anchor lumas; the last anchor is 255, one short of the 16-step grid.
constexpr int kAnchorLuma[17] = {0,   16,  32,  48,  64,  80,  96,  112, 128,
                                 144, 160, 176, 192, 208, 224, 240, 255};

struct Anchors {
  int table;  // image mode that uses the table
  int cb[17];
  int cr[17];
  int maxStep;  // largest allowed difference between neighbouring entries
};

constexpr Anchors kAnchors[3] = {
    {0,
     {130, 140, 152, 161, 159, 152, 144, 134, 121, 106, 90, 72, 53, 48, 55, 70, 89},
     {128, 128, 133, 144, 152, 161, 168, 177, 184, 190, 192, 190, 184, 174, 159, 141, 133},
     2},
    {3,
     {152, 161, 157, 149, 143, 137, 133, 129, 126, 120, 114, 106, 97, 87, 75, 61, 48},
     {110, 104, 111, 118, 121, 124, 126, 127, 129, 131, 133, 136, 139, 142, 145, 149, 150},
     2},
    {4,
     {240, 231, 223, 215, 207, 199, 191, 183, 175, 166, 158, 150, 142, 134, 126, 118, 110},
     {110, 105, 99, 94, 89, 84, 78, 73, 68, 62, 57, 52, 46, 41, 36, 30, 25},
     1},
};

using Channel = std::array<int32_t, 256>;

inline Channel curve(const int (&y)[17]) {
  constexpr int n = 17;
  double slope[n - 1];
  for (int i = 0; i < n - 1; ++i)
    slope[i] = double(y[i + 1] - y[i]) / double(kAnchorLuma[i + 1] - kAnchorLuma[i]);
  double m[n];
  m[0] = slope[0];
  m[n - 1] = slope[n - 2];
  for (int i = 1; i < n - 1; ++i) {
    // Zero at a turning point keeps the curve from overshooting the anchor.
    if (slope[i - 1] * slope[i] <= 0) {
      m[i] = 0;
    } else {
      const double h0 = kAnchorLuma[i] - kAnchorLuma[i - 1];
      const double h1 = kAnchorLuma[i + 1] - kAnchorLuma[i];
      const double w1 = 2 * h1 + h0, w2 = h1 + 2 * h0;
      m[i] = (w1 + w2) / (w1 / slope[i - 1] + w2 / slope[i]);
    }
  }
  Channel out{};
  int seg = 0;
  for (int x = 0; x < 256; ++x) {
    while (seg < n - 2 && x > kAnchorLuma[seg + 1]) ++seg;
    const double x0 = kAnchorLuma[seg], h = kAnchorLuma[seg + 1] - x0;
    const double t = (x - x0) / h;
    const double t2 = t * t, t3 = t2 * t;
    const double v = (2 * t3 - 3 * t2 + 1) * y[seg] + (t3 - 2 * t2 + t) * h * m[seg] +
                     (-2 * t3 + 3 * t2) * y[seg + 1] + (t3 - t2) * h * m[seg + 1];
    long r = std::lround(v);
    out[x] = static_cast<int32_t>(r < 0 ? 0 : r > 255 ? 255 : r);
  }
  return out;
}

// Largest difference between neighbouring entries.
inline int maxStep(const Channel& c) {
  int worst = 0;
  for (int i = 1; i < 256; ++i) worst = std::max(worst, std::abs(c[i] - c[i - 1]));
  return worst;
}

}  // namespace palettegen
