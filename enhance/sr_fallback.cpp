#include "enhance/sr_fallback.h"

#include "enhance/sr_rknn.h"

namespace {

constexpr int kInWidth = 256;
constexpr int kInHeight = 192;
constexpr int kOutWidth = kInWidth * 3;

// Output pixel 3i + p has its centre at input position i + (p - 1) / 3: the
// two input pixels around it and their weights in thirds (edges replicate).
struct Tap {
  int a, b;    // offsets from i
  int wa, wb;  // weights, wa + wb = 3
};
constexpr Tap kTaps[3] = {{-1, 0, 1, 2}, {0, 0, 3, 0}, {0, 1, 2, 1}};

inline int clampTo(int v, int n) { return v < 0 ? 0 : v >= n ? n - 1 : v; }

}  // namespace

void sr_plain_upscale(const uint8_t* src, uint8_t* dst) {
  for (int y = 0; y < kInHeight; ++y) {
    for (int py = 0; py < 3; ++py) {
      const Tap& v = kTaps[py];
      const uint8_t* r0 = src + clampTo(y + v.a, kInHeight) * kInWidth;
      const uint8_t* r1 = src + clampTo(y + v.b, kInHeight) * kInWidth;
      uint8_t* out = dst + (y * 3 + py) * kOutWidth;
      for (int x = 0; x < kInWidth; ++x) {
        for (int px = 0; px < 3; ++px) {
          const Tap& h = kTaps[px];
          const int xa = clampTo(x + h.a, kInWidth), xb = clampTo(x + h.b, kInWidth);
          const int top = h.wa * r0[xa] + h.wb * r0[xb];
          const int bottom = h.wa * r1[xa] + h.wb * r1[xb];
          out[x * 3 + px] = static_cast<uint8_t>((v.wa * top + v.wb * bottom + 4) / 9);
        }
      }
    }
  }
}

int sr_enlarge(sr_rknn* ctx, const uint8_t* src, uint8_t* dst) {
  if (!src || !dst) return -1;
  if (ctx && sr_rknn_run(ctx, src, dst) == 0) return 0;
  sr_plain_upscale(src, dst);
  return 1;
}
