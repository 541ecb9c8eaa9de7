#include "enhance/sr_dde.h"

#include <sys/time.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/diag.h"

namespace {

constexpr int kMaxRadius = 4;

int64_t nowUs() {
  timeval tv;
  gettimeofday(&tv, nullptr);
  return static_cast<int64_t>(tv.tv_sec) * 1000000 + tv.tv_usec;
}

// Window sums stay below 9 * 255 + 4, so the rounded mean (s + r) / (2r + 1)
// is a 16-bit multiply-high by a reciprocal, which vectorises on every
// target. The reciprocal is checked against true division over that range.
constexpr int kMaxSum = (2 * kMaxRadius + 1) * 255 + kMaxRadius;

template <int R>
struct Mean {
  static constexpr uint32_t kDiv = 2 * R + 1;
  static constexpr uint32_t kMul = (65536 + kDiv - 1) / kDiv;
  static constexpr bool exact() {
    for (uint32_t s = 0; s <= kMaxSum; ++s)
      if (((s * kMul) >> 16) != s / kDiv) return false;
    return true;
  }
  static_assert(exact(), "reciprocal must divide exactly");
  static uint16_t of(uint16_t sum) {
    return static_cast<uint16_t>((static_cast<uint32_t>(static_cast<uint16_t>(sum + R)) * kMul) >>
                                 16);
  }
};

// Horizontal box mean of one line. The window over the edge-replicated line
// holds the same pixels as a running window clamped at the ends; summing it
// directly lets the compiler vectorise across columns.
template <int R>
void rowMeans(const uint8_t* src, int w, uint16_t* padded, uint16_t* out) {
  for (int k = 0; k < R; ++k) {
    padded[k] = src[0];
    padded[R + w + k] = src[w - 1];
  }
  for (int x = 0; x < w; ++x) padded[R + x] = src[x];
  for (int x = 0; x < w; ++x) {
    uint16_t s = 0;
    for (int k = 0; k <= 2 * R; ++k) s = static_cast<uint16_t>(s + padded[x + k]);
    out[x] = Mean<R>::of(s);
  }
}

// Vertical box mean with running column sums: two additions per pixel
// whatever the radius.
template <int R>
void columnMeans(const uint16_t* rows, int w, int h, uint16_t* sums, uint16_t* base) {
  auto line = [&](int y) { return rows + static_cast<long>(y < 0 ? 0 : y >= h ? h - 1 : y) * w; };
  for (int x = 0; x < w; ++x) sums[x] = 0;
  for (int k = -R; k <= R; ++k) {
    const uint16_t* l = line(k);
    for (int x = 0; x < w; ++x) sums[x] = static_cast<uint16_t>(sums[x] + l[x]);
  }
  for (int y = 0; y < h; ++y) {
    uint16_t* out = base + static_cast<long>(y) * w;
    for (int x = 0; x < w; ++x) out[x] = Mean<R>::of(sums[x]);
    const uint16_t* leaving = line(y - R);
    const uint16_t* entering = line(y + R + 1);
    for (int x = 0; x < w; ++x) sums[x] = static_cast<uint16_t>(sums[x] + entering[x] - leaving[x]);
  }
}

template <int R>
void boxMean(sr_dde* c, const uint8_t* luma, int w, int h) {
  for (int y = 0; y < h; ++y)
    rowMeans<R>(luma + static_cast<long>(y) * w, w, c->padded,
                c->rowPlane + static_cast<long>(y) * w);
  columnMeans<R>(c->rowPlane, w, h, c->columnSums, c->basePlane);
}

// Cored, amplified detail added to each pixel. For |d| <= t the signed excess
// is 0 and (g * 0 + 128) >> 8 is 0, so one branch-free formula covers the
// cored pixels, both signs and t = 0. Returns the sum of the outputs and adds
// the sum of the inputs to *inputSum.
int64_t detail(const uint8_t* luma, const uint16_t* base, uint16_t* out, long n, int g, int t,
               int64_t* inputSum) {
  int64_t sumIn = 0, sumOut = 0;
  const int16_t g16 = static_cast<int16_t>(g), t16 = static_cast<int16_t>(t);
  // Chunks small enough for 32-bit partial sums keep the loop vectorisable.
  constexpr long kChunk = 1 << 16;
  for (long start = 0; start < n; start += kChunk) {
    const long end = start + kChunk < n ? start + kChunk : n;
    uint32_t in32 = 0, out32 = 0;
    // 16-bit lanes wherever the values fit: |d| <= 255, g <= 4096, and the
    // shifted adjustment is at most 4080 in size. Only the product needs 32.
    for (long i = start; i < end; ++i) {
      const int16_t p = luma[i];
      const int16_t d = static_cast<int16_t>(p - static_cast<int16_t>(base[i]));
      const int16_t ad = d < 0 ? static_cast<int16_t>(-d) : d;
      const int16_t excess = ad > t16 ? static_cast<int16_t>(ad - t16) : 0;
      const int16_t v = d < 0 ? static_cast<int16_t>(-excess) : excess;
      const int16_t adj = static_cast<int16_t>((static_cast<int32_t>(g16) * v + 128) >> 8);
      int16_t o = static_cast<int16_t>(p + adj);
      o = o < 0 ? 0 : o > 255 ? 255 : o;
      out[i] = static_cast<uint16_t>(o);
      in32 += static_cast<uint16_t>(p);
      out32 += static_cast<uint16_t>(o);
    }
    sumIn += in32;
    sumOut += out32;
  }
  *inputSum = sumIn;
  return sumOut;
}

void restore(const uint16_t* values, uint8_t* luma, long n, int offset) {
  const int16_t off = static_cast<int16_t>(offset);  // |offset| <= 255
  for (long i = 0; i < n; ++i) {
    const int16_t v = static_cast<int16_t>(static_cast<int16_t>(values[i]) + off);
    luma[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
  }
}

void derive(sr_dde* c) {
  const float r = c->sigma + 0.5f;
  c->radius = r >= kMaxRadius ? kMaxRadius : r < 1 ? 1 : static_cast<int>(r);
  if (c->radius < 1) c->radius = 1;
  const float g = std::fmaf(c->detail, 256.0f, 0.5f);
  c->gain = g >= 4096.0f ? 4096 : g < 0 ? 0 : static_cast<int>(g);
}

}  // namespace

sr_dde* sr_dde_create(int width, int height) {
  if (width < 1 || height < 1) return nullptr;
  const long n = static_cast<long>(width) * height;
  if (n > 0x7fffffffL) {
    diag::err("sr_dde_create: alloc failed\n");
    return nullptr;
  }
  sr_dde* c = static_cast<sr_dde*>(std::calloc(1, sizeof(sr_dde)));
  if (c) {
    c->rowPlane = static_cast<uint16_t*>(std::calloc(static_cast<size_t>(n), 2));
    c->basePlane = static_cast<uint16_t*>(std::calloc(static_cast<size_t>(n), 2));
    c->padded = static_cast<uint16_t*>(std::calloc(static_cast<size_t>(width) + 2 * kMaxRadius, 2));
    c->columnSums = static_cast<uint16_t*>(std::calloc(static_cast<size_t>(width), 2));
  }
  if (!c || !c->rowPlane || !c->basePlane || !c->padded || !c->columnSums) {
    diag::err("sr_dde_create: alloc failed\n");
    sr_dde_destroy(c);
    return nullptr;
  }
  c->width = width;
  c->height = height;
  c->capacity = static_cast<int32_t>(n);
  c->detail = 1.8f;
  c->sigma = 1.5f;
  c->radius = 2;
  c->gain = 461;
  c->threshold = 5;
  return c;
}

void sr_dde_set_params(sr_dde* ctx, float detail, float sigma) {
  if (!ctx) return;
  if (detail > 0) ctx->detail = detail;
  if (sigma > 0) ctx->sigma = sigma;
  derive(ctx);
}

void sr_dde_set_threshold(sr_dde* ctx, int thr) {
  if (!ctx) return;
  ctx->threshold = thr < 0 ? 0 : thr > 64 ? 64 : thr;
}

int sr_dde_process(sr_dde* ctx, uint8_t* luma, int width, int height) {
  if (!ctx || !luma || width <= 0 || height <= 0) return -1;
  const long n = static_cast<long>(width) * height;
  if (width > ctx->width || height > ctx->height || n > ctx->capacity) return -2;
  if (ctx->gain <= 0) return 0;
  const int64_t t0 = nowUs();
  switch (ctx->radius) {
    case 1:
      boxMean<1>(ctx, luma, width, height);
      break;
    case 2:
      boxMean<2>(ctx, luma, width, height);
      break;
    case 3:
      boxMean<3>(ctx, luma, width, height);
      break;
    default:
      boxMean<4>(ctx, luma, width, height);
      break;
  }
  int64_t sumIn = 0;
  const int64_t sumOut =
      detail(luma, ctx->basePlane, ctx->rowPlane, n, ctx->gain, ctx->threshold, &sumIn);
  const int offset = static_cast<int>((sumIn - sumOut) / n);
  restore(ctx->rowPlane, luma, n, offset);
  ctx->lastMs = static_cast<float>(nowUs() - t0) / 1000.0f;
  if (std::getenv("SR_DDE_PROFILE"))
    diag::err("sr_dde: %dx%d detail=%.2f sigma=%.2f thr=%d r=%d %.2f ms\n", width, height,
              ctx->detail, ctx->sigma, ctx->threshold, ctx->radius, ctx->lastMs);
  return 0;
}

void sr_dde_destroy(sr_dde* ctx) {
  if (!ctx) return;
  std::free(ctx->rowPlane);
  std::free(ctx->basePlane);
  std::free(ctx->padded);
  std::free(ctx->columnSums);
  std::free(ctx);
}
