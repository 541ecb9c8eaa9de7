// Software NPU runtime: executes HLNM models on the processor.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>
#include <utility>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "platform/npu/hlnm_format.h"
#include "platform/npu/rknn_api.h"

// The pixel loops are written for the vectoriser; on x86 they are also built
// for AVX2 and picked at load time (not under sanitizers, whose start-up runs
// after the resolver).
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define HL_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define HL_VECTOR_CLONES
#endif
#define HL_INLINE inline __attribute__((always_inline))
// The network's convolutions want fused multiply-adds as well.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define HL_FMA_CLONES __attribute__((target_clones("fma", "default")))
#else
#define HL_FMA_CLONES
#endif

namespace {

constexpr uint32_t kMaxChannels = 64;
constexpr uint32_t kMaxKernel = 15;
constexpr uint32_t kMaxBlock = 8;
constexpr uint32_t kMaxSide = 4096;
constexpr uint64_t kMaxElements = 1u << 24;

struct Shape {
  uint32_t c, h, w;
  uint64_t elements() const { return uint64_t(c) * h * w; }
};

struct Layer {
  uint32_t kind = 0;
  uint32_t in = 0, out = 0, kernel = 0, padding = 0, block = 1;
  float low = 0, high = 0;
  std::vector<float> weights;  // conv: out x in x k x k
  std::vector<float> bias;     // conv: out
  Shape inShape{}, outShape{};
};

// One image row filter with its zero taps trimmed: taps [first, last] of a
// kernel centred at `centre`.
struct Taps {
  std::vector<float> w;
  int offset = 0;  // position of w[0] relative to the output pixel
};

// A sub-pixel convolution whose every kernel is the product of a vertical
// and a horizontal filter shared along rows and columns of the phase grid is
// an ordinary separable upscaler: two 1-D passes instead of b * b 2-D ones.
struct Separable {
  bool usable = false;
  int block = 0;
  std::vector<Taps> rows;     // horizontal filter of phase column j
  std::vector<Taps> columns;  // vertical filter of phase row i
  float bias = 0;
  bool clip = false;
  float low = 0, high = 0;
};

// A chain of convolutions, each maybe followed by tanh, whose last one feeds
// depth-to-space into one output channel (and maybe a clip): the shape of a
// sub-pixel network. Every convolution reads a padded copy of its input made
// once per frame, so the kernels never test a border; tanh, the pixel
// shuffle and the output quantisation run while a result is still in
// registers.
struct ChainConv {
  const Layer* layer = nullptr;
  bool tanh = false;
  int block = 0;               // output channels computed together
  std::vector<float> weights;  // per block: [in][k][k][channels of the block]
  std::vector<float> bias;     // per block: [block]
};

struct Chain {
  bool usable = false;
  std::vector<ChainConv> convs;
  int block = 1;  // depth-to-space factor
  bool clip = false;
  float low = 0, high = 0;
  // Input of convolution i: its channels, each (h + k - 1) x (w + k - 1).
  std::vector<std::vector<float>> planes;
};

struct Runtime {
  hlnm::Tensor input{}, output{};
  std::vector<Layer> layers;
  Separable separable;
  Chain chain;
  std::vector<float> a, b, padded;  // activations and a padded input plane
  std::vector<uint8_t> outBytes;
  std::vector<float> outFloat;
  std::vector<rknn_tensor_mem*> mems;
  rknn_tensor_mem* bound = nullptr;
  rknn_tensor_format boundLayout = RKNN_TENSOR_NHWC;
  uint32_t boundStride = 0;
  bool ran = false;
  int64_t runUs = 0;
};

std::mutex g_lock;
std::unordered_set<Runtime*>& live() {
  static std::unordered_set<Runtime*> s;
  return s;
}

Runtime* lookup(rknn_context ctx) {
  std::lock_guard<std::mutex> l(g_lock);
  Runtime* r = reinterpret_cast<Runtime*>(static_cast<uintptr_t>(ctx));
  return live().count(r) ? r : nullptr;
}

bool typeSupported(uint32_t t) { return t == RKNN_TENSOR_INT8 || t == RKNN_TENSOR_UINT8; }

// ---- loading -------------------------------------------------------------

class Reader {
 public:
  Reader(const uint8_t* p, uint64_t n) : p_(p), n_(n) {}
  template <typename T>
  bool get(T* out) {
    if (n_ - pos_ < sizeof(T)) return false;
    std::memcpy(out, p_ + pos_, sizeof(T));
    pos_ += sizeof(T);
    return true;
  }
  bool floats(std::vector<float>& out, uint64_t count) {
    if ((n_ - pos_) / 4 < count) return false;
    out.resize(count);
    if (count) std::memcpy(out.data(), p_ + pos_, count * 4);
    pos_ += count * 4;
    return true;
  }
  bool atEnd() const { return pos_ == n_; }

 private:
  const uint8_t* p_;
  uint64_t n_;
  uint64_t pos_ = 0;
};

bool finite(const std::vector<float>& v) {
  for (float f : v)
    if (!std::isfinite(f)) return false;
  return true;
}

bool tensorOk(const hlnm::Tensor& t) {
  if (t.dims[0] != 1 || t.dims[1] < 1 || t.dims[1] > kMaxChannels || t.dims[2] < 1 ||
      t.dims[2] > kMaxSide || t.dims[3] < 1 || t.dims[3] > kMaxSide)
    return false;
  if (!typeSupported(t.type) || !(t.scale > 0) || !std::isfinite(t.scale)) return false;
  if (t.layout != RKNN_TENSOR_NCHW && t.layout != RKNN_TENSOR_NHWC) return false;
  return t.zeroPoint >= -256 && t.zeroPoint <= 256;
}

int parse(const uint8_t* data, uint64_t size, Runtime& rt) {
  hlnm::Header h;
  if (size < sizeof h) return RKNN_ERR_MODEL_INVALID;
  std::memcpy(&h, data, sizeof h);
  if (std::memcmp(h.magic, hlnm::kMagic, 4) != 0 || h.version != hlnm::kVersion ||
      h.totalSize > size || h.totalSize < sizeof h || h.layerCount < 1 || h.layerCount > 64)
    return RKNN_ERR_MODEL_INVALID;
  if (hlnm::crc32(data + sizeof h, h.totalSize - sizeof h) != h.crc32)
    return RKNN_ERR_MODEL_INVALID;
  Reader r(data + sizeof h, h.totalSize - sizeof h);
  if (!r.get(&rt.input) || !r.get(&rt.output) || !tensorOk(rt.input) || !tensorOk(rt.output))
    return RKNN_ERR_MODEL_INVALID;
  Shape s{rt.input.dims[1], rt.input.dims[2], rt.input.dims[3]};
  for (uint32_t i = 0; i < h.layerCount; ++i) {
    hlnm::LayerHeader lh;
    if (!r.get(&lh)) return RKNN_ERR_MODEL_INVALID;
    Layer l;
    l.kind = lh.kind;
    l.inShape = s;
    switch (lh.kind) {
      case hlnm::kConv2d: {
        l.in = lh.param[0];
        l.out = lh.param[1];
        l.kernel = lh.param[2];
        l.padding = lh.param[3];
        if (l.in != s.c || l.out < 1 || l.out > kMaxChannels || l.kernel < 1 ||
            l.kernel > kMaxKernel || l.kernel % 2 == 0 || l.padding > hlnm::kPadReplicate)
          return RKNN_ERR_MODEL_INVALID;
        const uint64_t nw = uint64_t(l.out) * l.in * l.kernel * l.kernel;
        if (lh.weightCount != nw + l.out || !r.floats(l.weights, nw) || !r.floats(l.bias, l.out) ||
            !finite(l.weights) || !finite(l.bias))
          return RKNN_ERR_MODEL_INVALID;
        s.c = l.out;
        break;
      }
      case hlnm::kTanh:
        if (lh.weightCount != 0) return RKNN_ERR_MODEL_INVALID;
        break;
      case hlnm::kDepthToSpace: {
        l.block = lh.param[0];
        if (lh.weightCount != 0 || l.block < 1 || l.block > kMaxBlock ||
            s.c % (l.block * l.block) != 0 || s.h * l.block > kMaxSide || s.w * l.block > kMaxSide)
          return RKNN_ERR_MODEL_INVALID;
        s = {s.c / (l.block * l.block), s.h * l.block, s.w * l.block};
        break;
      }
      case hlnm::kClip:
        l.low = lh.value[0];
        l.high = lh.value[1];
        if (lh.weightCount != 0 || !std::isfinite(l.low) || !std::isfinite(l.high) ||
            l.low > l.high)
          return RKNN_ERR_MODEL_INVALID;
        break;
      default:
        return RKNN_ERR_MODEL_INVALID;
    }
    if (s.elements() > kMaxElements) return RKNN_ERR_MODEL_INVALID;
    l.outShape = s;
    rt.layers.push_back(std::move(l));
  }
  if (!r.atEnd() || s.c != rt.output.dims[1] || s.h != rt.output.dims[2] ||
      s.w != rt.output.dims[3])
    return RKNN_ERR_MODEL_INVALID;
  return RKNN_SUCC;
}

Taps trim(const std::vector<float>& w) {
  const int k = static_cast<int>(w.size());
  int first = 0, last = k - 1;
  while (first < last && w[first] == 0.0f) ++first;
  while (last > first && w[last] == 0.0f) --last;
  Taps t;
  t.w.assign(w.begin() + first, w.begin() + last + 1);
  t.offset = first - k / 2;
  return t;
}

void findSeparable(Runtime& rt) {
  Separable& sp = rt.separable;
  const auto& L = rt.layers;
  if (L.size() < 2 || L.size() > 3 || L[0].kind != hlnm::kConv2d || L[0].in != 1 ||
      L[0].padding != hlnm::kPadReplicate || L[1].kind != hlnm::kDepthToSpace ||
      L[0].out != L[1].block * L[1].block || (L.size() == 3 && L[2].kind != hlnm::kClip))
    return;
  const int b = static_cast<int>(L[1].block), k = static_cast<int>(L[0].kernel);
  auto K = [&](int c, int u, int v) { return L[0].weights[(size_t(c) * k + u) * k + v]; };
  double total = 0, peak = 0;
  for (int u = 0; u < k; ++u)
    for (int v = 0; v < k; ++v) total += K(0, u, v);
  if (std::fabs(total) < 1e-6) return;
  std::vector<std::vector<float>> col(b, std::vector<float>(k)), row(b, std::vector<float>(k));
  for (int i = 0; i < b; ++i)
    for (int u = 0; u < k; ++u) {
      double s = 0;
      for (int v = 0; v < k; ++v) s += K(i * b, u, v);
      col[i][u] = static_cast<float>(s / total);
    }
  for (int j = 0; j < b; ++j)
    for (int v = 0; v < k; ++v) {
      double s = 0;
      for (int u = 0; u < k; ++u) s += K(j, u, v);
      row[j][v] = static_cast<float>(s);
    }
  for (float w : L[0].weights) peak = std::max(peak, double(std::fabs(w)));
  for (int i = 0; i < b; ++i)
    for (int j = 0; j < b; ++j)
      for (int u = 0; u < k; ++u)
        for (int v = 0; v < k; ++v)
          if (std::fabs(double(col[i][u]) * row[j][v] - K(i * b + j, u, v)) > 1e-5 * peak + 1e-7)
            return;
  for (float bias : L[0].bias)
    if (bias != L[0].bias[0]) return;
  for (int i = 0; i < b; ++i) sp.columns.push_back(trim(col[i]));
  for (int j = 0; j < b; ++j) sp.rows.push_back(trim(row[j]));
  sp.block = b;
  sp.bias = L[0].bias[0];
  sp.clip = L.size() == 3;
  if (sp.clip) {
    sp.low = L[2].low;
    sp.high = L[2].high;
  }
  sp.usable = true;
}

constexpr int kLanes = 8;         // pixels a kernel computes at once
constexpr int kMaxBlockOut = 12;  // accumulators a kernel keeps in registers

void findChain(Runtime& rt) {
  Chain& ch = rt.chain;
  const auto& L = rt.layers;
  if (rt.input.dims[1] != 1 || rt.output.dims[1] != 1 || rt.input.dims[3] % kLanes != 0) return;
  size_t i = 0;
  while (i < L.size() && L[i].kind == hlnm::kConv2d) {
    ChainConv c;
    c.layer = &L[i++];
    if (i < L.size() && L[i].kind == hlnm::kTanh) {
      c.tanh = true;
      ++i;
    }
    if (c.layer->kernel > 7) return;
    ch.convs.push_back(std::move(c));
  }
  if (ch.convs.empty() || ch.convs.back().tanh || i >= L.size() || L[i].kind != hlnm::kDepthToSpace)
    return;
  ch.block = static_cast<int>(L[i++].block);
  if (i < L.size() && L[i].kind == hlnm::kClip) {
    ch.clip = true;
    ch.low = L[i].low;
    ch.high = L[i].high;
    ++i;
  }
  if (i != L.size() || ch.convs.back().layer->out != uint32_t(ch.block * ch.block)) return;
  for (ChainConv& c : ch.convs) {
    const Layer& l = *c.layer;
    const int k = static_cast<int>(l.kernel), in = static_cast<int>(l.in);
    const int out = static_cast<int>(l.out);
    const int blocks = (out + kMaxBlockOut - 1) / kMaxBlockOut;
    c.block = (out + blocks - 1) / blocks;
    c.weights.assign(size_t(blocks) * in * k * k * c.block, 0.0f);
    c.bias.assign(size_t(blocks) * c.block, 0.0f);
    // Block b holds its own count of channels (the last may hold fewer) and
    // starts where b full blocks end.
    for (int o = 0; o < out; ++o) {
      const int b = o / c.block, ob = o % c.block;
      const size_t size = std::min(c.block, out - b * c.block);
      const size_t base = size_t(b) * in * k * k * c.block;
      c.bias[size_t(b) * c.block + ob] = l.bias[o];
      for (int ci = 0; ci < in; ++ci)
        for (int u = 0; u < k; ++u)
          for (int v = 0; v < k; ++v)
            c.weights[base + ((size_t(ci) * k + u) * k + v) * size + ob] =
                l.weights[((size_t(o) * in + ci) * k + u) * k + v];
    }
    ch.planes.emplace_back(size_t(in) * (l.inShape.h + k - 1) * (l.inShape.w + k - 1), 0.0f);
  }
  ch.usable = true;
}

// ---- execution -------------------------------------------------------------

inline int clampIndex(int i, int n) { return i < 0 ? 0 : i >= n ? n - 1 : i; }

// Input bytes in the bound memory's layout, dequantised into planes.
void readInput(const Runtime& rt, float* out) {
  const hlnm::Tensor& t = rt.input;
  const int c = t.dims[1], h = t.dims[2], w = t.dims[3];
  const uint8_t* src = static_cast<const uint8_t*>(rt.bound->virt_addr);
  const bool signedIn = t.type == RKNN_TENSOR_INT8;
  const float zp = static_cast<float>(t.zeroPoint), sc = t.scale;
  if (c == 1) {  // both layouts are plain rows
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = src + size_t(y) * rt.boundStride;
      float* o = out + size_t(y) * w;
      if (signedIn)
        for (int x = 0; x < w; ++x) o[x] = (float(int8_t(row[x])) - zp) * sc;
      else
        for (int x = 0; x < w; ++x) o[x] = (float(row[x]) - zp) * sc;
    }
    return;
  }
  for (int ch = 0; ch < c; ++ch)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const size_t at = rt.boundLayout == RKNN_TENSOR_NHWC
                              ? (size_t(y) * rt.boundStride + x) * c + ch
                              : (size_t(ch) * h + y) * rt.boundStride + x;
        const float q = signedIn ? float(int8_t(src[at])) : float(src[at]);
        out[(size_t(ch) * h + y) * w + x] = (q - zp) * sc;
      }
}

void conv(const Layer& l, const float* in, float* out, std::vector<float>& pad) {
  const int k = l.kernel, p = k / 2, h = l.inShape.h, w = l.inShape.w;
  const int pw = w + 2 * p, ph = h + 2 * p;
  pad.resize(size_t(l.in) * pw * ph);
  for (uint32_t c = 0; c < l.in; ++c)
    for (int y = 0; y < ph; ++y) {
      float* dst = pad.data() + (size_t(c) * ph + y) * pw;
      const int sy = y - p;
      const bool outside = sy < 0 || sy >= h;
      const float* src = in + (size_t(c) * h + clampIndex(sy, h)) * w;
      for (int x = 0; x < pw; ++x) {
        const int sx = x - p;
        const bool zero = l.padding == hlnm::kPadZero && (outside || sx < 0 || sx >= w);
        dst[x] = zero ? 0.0f : src[clampIndex(sx, w)];
      }
    }
  for (uint32_t o = 0; o < l.out; ++o) {
    float* plane = out + size_t(o) * h * w;
    std::fill(plane, plane + size_t(h) * w, l.bias[o]);
    for (uint32_t c = 0; c < l.in; ++c)
      for (int u = 0; u < k; ++u)
        for (int v = 0; v < k; ++v) {
          const float wt = l.weights[((size_t(o) * l.in + c) * k + u) * k + v];
          if (wt == 0.0f) continue;
          for (int y = 0; y < h; ++y) {
            const float* src = pad.data() + (size_t(c) * ph + y + u) * pw + v;
            float* dst = plane + size_t(y) * w;
            for (int x = 0; x < w; ++x) dst[x] += wt * src[x];
          }
        }
  }
}

void depthToSpace(const Layer& l, const float* in, float* out) {
  const int b = l.block, c = l.outShape.c, h = l.inShape.h, w = l.inShape.w;
  const int ow = w * b;
  for (int oc = 0; oc < c; ++oc)
    for (int i = 0; i < b; ++i)
      for (int j = 0; j < b; ++j) {
        const float* src = in + size_t((oc * b + i) * b + j) * h * w;
        float* dst = out + size_t(oc) * h * b * ow;
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x)
            dst[size_t(y * b + i) * ow + x * b + j] = src[size_t(y) * w + x];
      }
}

// Output quantisation, fused into the last pass: clip (if the network ends
// with one), scale, round half up, saturate to the output type. Clamping in
// float before the conversion keeps every step in vector lanes.
struct Quantiser {
  float inv, zp, lo, hi, clipLo, clipHi;
};

Quantiser quantiser(const Runtime& rt, bool withClip) {
  const hlnm::Tensor& t = rt.output;
  const Separable& sp = rt.separable;
  const bool clip = withClip && sp.clip;
  const float lo = t.type == RKNN_TENSOR_INT8 ? -128.0f : 0.0f;
  return {1.0f / t.scale, static_cast<float>(t.zeroPoint), lo,
          lo + 255.0f,    clip ? sp.low : -3.0e38f,        clip ? sp.high : 3.0e38f};
}

HL_INLINE uint8_t quantise(float v, const Quantiser& q) {
  v = v < q.clipLo ? q.clipLo : v > q.clipHi ? q.clipHi : v;
  float s = v * q.inv + q.zp;
  s = s < q.lo ? q.lo : s > q.hi ? q.hi : s;
  // floor(s + 0.5) for s >= -128 without a library call
  return static_cast<uint8_t>(static_cast<int>(s + 256.5f) - 256);
}

// Quantises the generic path's result (its clip layers have run already).
void writeOutput(Runtime& rt, const float* v) {
  const Quantiser q = quantiser(rt, false);
  uint8_t* dst = rt.outBytes.data();
  for (size_t i = 0; i < rt.outBytes.size(); ++i) dst[i] = quantise(v[i], q);
}

void runGeneric(Runtime& rt) {
  readInput(rt, rt.a.data());
  float* cur = rt.a.data();
  float* other = rt.b.data();
  for (const Layer& l : rt.layers) {
    const size_t n = l.outShape.elements();
    switch (l.kind) {
      case hlnm::kConv2d:
        conv(l, cur, other, rt.padded);
        std::swap(cur, other);
        break;
      case hlnm::kTanh:
        for (size_t i = 0; i < n; ++i) cur[i] = std::tanh(cur[i]);
        break;
      case hlnm::kDepthToSpace:
        depthToSpace(l, cur, other);
        std::swap(cur, other);
        break;
      case hlnm::kClip:
        for (size_t i = 0; i < n; ++i) cur[i] = std::min(std::max(cur[i], l.low), l.high);
        break;
    }
  }
  writeOutput(rt, cur);
}

// A row of values to output bytes: the same arithmetic as quantise, sixteen
// at a time where SSE2 is there to narrow them.
HL_INLINE void quantiseRow(const float* v, int n, const Quantiser& q, bool signedOut,
                           uint8_t* out) {
  int x = 0;
#ifdef __SSE2__
  const __m128 clipLo = _mm_set1_ps(q.clipLo), clipHi = _mm_set1_ps(q.clipHi);
  const __m128 inv = _mm_set1_ps(q.inv), zp = _mm_set1_ps(q.zp);
  const __m128 lo = _mm_set1_ps(q.lo), hi = _mm_set1_ps(q.hi), half = _mm_set1_ps(256.5f);
  const __m128i bias = _mm_set1_epi32(256);
  for (; x + 16 <= n; x += 16) {
    __m128i i[4];
    for (int k = 0; k < 4; ++k) {
      __m128 f = _mm_loadu_ps(v + x + 4 * k);
      f = _mm_min_ps(_mm_max_ps(f, clipLo), clipHi);
      f = _mm_add_ps(_mm_mul_ps(f, inv), zp);
      f = _mm_min_ps(_mm_max_ps(f, lo), hi);
      i[k] = _mm_sub_epi32(_mm_cvttps_epi32(_mm_add_ps(f, half)), bias);
    }
    const __m128i a = _mm_packs_epi32(i[0], i[1]), b = _mm_packs_epi32(i[2], i[3]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                     signedOut ? _mm_packs_epi16(a, b) : _mm_packus_epi16(a, b));
  }
#else
  (void)signedOut;
#endif
  for (; x < n; ++x) out[x] = quantise(v[x], q);
}

// One output row of the vertical pass: K taps over K source rows, the bias,
// then quantisation. K as a constant lets the compiler keep the sum in
// registers and vectorise across the row.
template <int K>
HL_INLINE void verticalRow(const float* const* rows, const float* w, float bias, int n,
                           float* acc) {
  for (int x = 0; x < n; ++x) {
    float s = bias;
    for (int k = 0; k < K; ++k) s += w[k] * rows[k][x];
    acc[x] = s;
  }
}

HL_INLINE void verticalRowAny(const float* const* rows, const float* w, int taps, float bias, int n,
                              float* acc) {
  std::fill(acc, acc + n, bias);
  for (int k = 0; k < taps; ++k)
    for (int x = 0; x < n; ++x) acc[x] += w[k] * rows[k][x];
}

template <int K>
HL_INLINE void horizontalPhase(const float* line, const float* w, int n, float* out) {
  for (int x = 0; x < n; ++x) {
    float s = 0;
    for (int k = 0; k < K; ++k) s += w[k] * line[x + k];
    out[x] = s;
  }
}

HL_INLINE void horizontalPhaseAny(const float* line, const float* w, int taps, int n, float* out) {
  std::fill(out, out + n, 0.0f);
  for (int k = 0; k < taps; ++k)
    for (int x = 0; x < n; ++x) out[x] += w[k] * line[x + k];
}

HL_VECTOR_CLONES void runSeparable(Runtime& rt) {
  const Separable& sp = rt.separable;
  const int b = sp.block, h = rt.input.dims[2], w = rt.input.dims[3], ow = w * b;
  const Quantiser q = quantiser(rt, true);
  const bool signedOut = rt.output.type == RKNN_TENSOR_INT8;
  // a: the input plane; b: the horizontally upscaled rows (h x ow);
  // padded: one edge-replicated input row, then the b phases of a row, then
  // one output row's sums.
  readInput(rt, rt.a.data());
  int reach = 0;
  for (const Taps& t : sp.rows)
    reach = std::max({reach, -t.offset, t.offset + int(t.w.size()) - 1});
  float* line = rt.padded.data();
  float* phases = line + w + 2 * reach;
  float* acc = phases + size_t(b) * w;
  for (int y = 0; y < h; ++y) {
    const float* src = rt.a.data() + size_t(y) * w;
    for (int x = 0; x < reach; ++x) {
      line[x] = src[0];
      line[reach + w + x] = src[w - 1];
    }
    std::copy(src, src + w, line + reach);
    for (int j = 0; j < b; ++j) {
      const Taps& t = sp.rows[j];
      const float* base = line + reach + t.offset;
      float* phase = phases + size_t(j) * w;
      switch (t.w.size()) {
        case 1:
          horizontalPhase<1>(base, t.w.data(), w, phase);
          break;
        case 4:
          horizontalPhase<4>(base, t.w.data(), w, phase);
          break;
        case 6:
          horizontalPhase<6>(base, t.w.data(), w, phase);
          break;
        default:
          horizontalPhaseAny(base, t.w.data(), int(t.w.size()), w, phase);
      }
    }
    float* dst = rt.b.data() + size_t(y) * ow;
    if (b == 3) {
      const float *p0 = phases, *p1 = phases + w, *p2 = phases + 2 * w;
      for (int x = 0; x < w; ++x) {
        dst[3 * x] = p0[x];
        dst[3 * x + 1] = p1[x];
        dst[3 * x + 2] = p2[x];
      }
    } else {
      for (int j = 0; j < b; ++j)
        for (int x = 0; x < w; ++x) dst[x * b + j] = phases[size_t(j) * w + x];
    }
  }
  const float* rows[kMaxKernel];
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < b; ++i) {
      const Taps& t = sp.columns[i];
      const int taps = int(t.w.size());
      for (int k = 0; k < taps; ++k)
        rows[k] = rt.b.data() + size_t(clampIndex(y + t.offset + k, h)) * ow;
      switch (taps) {
        case 1:
          verticalRow<1>(rows, t.w.data(), sp.bias, ow, acc);
          break;
        case 4:
          verticalRow<4>(rows, t.w.data(), sp.bias, ow, acc);
          break;
        case 6:
          verticalRow<6>(rows, t.w.data(), sp.bias, ow, acc);
          break;
        default:
          verticalRowAny(rows, t.w.data(), taps, sp.bias, ow, acc);
      }
      quantiseRow(acc, ow, q, signedOut, rt.outBytes.data() + size_t(y * b + i) * ow);
    }
}

// ---- the sub-pixel network ------------------------------------------------

typedef float v8sf __attribute__((vector_size(32)));
typedef int v8si __attribute__((vector_size(32)));

// Vectors pass only into always-inlined helpers, so how one would be passed
// between real functions never matters.
// (The note comes where the templates are emitted, at the end of the file.)
#pragma GCC diagnostic ignored "-Wpsabi"

HL_INLINE v8sf load8(const float* p) {
  v8sf v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

HL_INLINE void store8(float* p, v8sf v) { std::memcpy(p, &v, sizeof v); }

HL_INLINE v8sf splat(float f) { return v8sf{} + f; }

HL_INLINE v8sf vmin(v8sf a, v8sf b) { return a < b ? a : b; }
HL_INLINE v8sf vmax(v8sf a, v8sf b) { return a > b ? a : b; }

// tanh as a 13/6 rational function, within a few float steps of std::tanh
// and saturating beyond |x| = 7.9.
HL_INLINE v8sf tanh8(v8sf x) {
  x = vmax(vmin(x, splat(7.90531110763549805f)), splat(-7.90531110763549805f));
  const v8sf x2 = x * x;
  v8sf p = x2 * -2.76076847742355e-16f + 2.00018790482477e-13f;
  p = p * x2 + -8.60467152213735e-11f;
  p = p * x2 + 5.12229709037114e-08f;
  p = p * x2 + 1.48572235717979e-05f;
  p = p * x2 + 6.37261928875436e-04f;
  p = p * x2 + 4.89352455891786e-03f;
  p = p * x;
  v8sf q = x2 * 1.19825839466702e-06f + 1.18534705686654e-04f;
  q = q * x2 + 2.26843463243900e-03f;
  q = q * x2 + 4.89352518554385e-03f;
  return p / q;
}

// Makes the border of every channel of a padded plane set what the
// convolution's padding reads there.
void fillBorder(std::vector<float>& planes, int channels, int h, int w, int k, uint32_t padding) {
  const int p = k / 2, pw = w + k - 1, ph = h + k - 1;
  if (p == 0 || padding == hlnm::kPadZero) return;  // zeros stay from creation
  for (int c = 0; c < channels; ++c) {
    float* plane = planes.data() + size_t(c) * ph * pw;
    for (int y = p; y < p + h; ++y) {
      float* row = plane + size_t(y) * pw;
      for (int x = 0; x < p; ++x) {
        row[x] = row[p];
        row[p + w + x] = row[p + w - 1];
      }
    }
    for (int y = 0; y < p; ++y) {
      std::memcpy(plane + size_t(y) * pw, plane + size_t(p) * pw, sizeof(float) * pw);
      std::memcpy(plane + size_t(p + h + y) * pw, plane + size_t(p + h - 1) * pw,
                  sizeof(float) * pw);
    }
  }
}

// Where a convolution's results go.
struct Sink {
  // a hidden layer: the interior of the next convolution's padded planes
  float* next = nullptr;
  int nextPad = 0, nextW = 0, nextH = 0;
  bool tanh = false;
  // the last layer: quantised bytes, channel i * b + j to row y * b + i,
  // column x * b + j
  uint8_t* out = nullptr;
  int b = 0;
  Quantiser q{};
};

// One block of OB output channels of a K x K convolution over the whole
// plane, eight pixels at a time with the OB sums in registers.
template <int K, int OB>
HL_FMA_CLONES void convBlock(const float* planes, int in, int h, int w, const float* weights,
                             const float* bias, int firstOut, const Sink& sink) {
  const int pw = w + K - 1, ph = h + K - 1;
  alignas(32) int lanes[OB][kLanes];
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; x += kLanes) {
      v8sf acc[OB];
      for (int o = 0; o < OB; ++o) acc[o] = splat(bias[o]);
      const float* wt = weights;
      for (int c = 0; c < in; ++c) {
        const float* src = planes + (size_t(c) * ph + y) * pw + x;
        for (int u = 0; u < K; ++u, src += pw)
          for (int v = 0; v < K; ++v, wt += OB) {
            const v8sf px = load8(src + v);
            for (int o = 0; o < OB; ++o) acc[o] += px * wt[o];
          }
      }
      if (sink.out) {
        const Quantiser& q = sink.q;
        const int b = sink.b, ow = w * b;
        for (int o = 0; o < OB; ++o) {
          v8sf f = vmin(vmax(acc[o], splat(q.clipLo)), splat(q.clipHi));
          f = vmin(vmax(f * q.inv + q.zp, splat(q.lo)), splat(q.hi));
          const v8si code = __builtin_convertvector(f + 256.5f, v8si) - 256;
          std::memcpy(lanes[o], &code, sizeof code);
        }
        for (int o = 0; o < OB; ++o) {
          const int ch = firstOut + o, i = ch / b, j = ch % b;
          uint8_t* dst = sink.out + size_t(y * b + i) * ow + size_t(x) * b + j;
          for (int l = 0; l < kLanes; ++l) dst[l * b] = static_cast<uint8_t>(lanes[o][l]);
        }
      } else {
        const int npw = sink.nextW + 2 * sink.nextPad, nph = sink.nextH + 2 * sink.nextPad;
        for (int o = 0; o < OB; ++o) {
          float* dst =
              sink.next + (size_t(firstOut + o) * nph + y + sink.nextPad) * npw + sink.nextPad + x;
          store8(dst, sink.tanh ? tanh8(acc[o]) : acc[o]);
        }
      }
    }
}

using BlockFn = void (*)(const float*, int, int, int, const float*, const float*, int, const Sink&);

template <int K, int... OB>
constexpr std::array<BlockFn, sizeof...(OB)> blockTable(std::integer_sequence<int, OB...>) {
  return {&convBlock<K, OB + 1>...};
}

BlockFn blockFn(int k, int ob) {
  using Seq = std::make_integer_sequence<int, kMaxBlockOut>;
  static const std::array<BlockFn, kMaxBlockOut> t1 = blockTable<1>(Seq{}),
                                                 t3 = blockTable<3>(Seq{}),
                                                 t5 = blockTable<5>(Seq{}),
                                                 t7 = blockTable<7>(Seq{});
  const auto& t = k == 1 ? t1 : k == 3 ? t3 : k == 5 ? t5 : t7;
  return t[ob - 1];
}

void runChain(Runtime& rt) {
  Chain& ch = rt.chain;
  const hlnm::Tensor& t = rt.input;
  const int h = t.dims[2], w = t.dims[3];
  {  // the input, dequantised, into the first convolution's planes
    const int k = static_cast<int>(ch.convs[0].layer->kernel), p = k / 2, pw = w + k - 1;
    const uint8_t* src = static_cast<const uint8_t*>(rt.bound->virt_addr);
    const bool signedIn = t.type == RKNN_TENSOR_INT8;
    const float zp = static_cast<float>(t.zeroPoint), sc = t.scale;
    for (int y = 0; y < h; ++y) {
      const uint8_t* row = src + size_t(y) * rt.boundStride;
      float* o = ch.planes[0].data() + size_t(y + p) * pw + p;
      if (signedIn)
        for (int x = 0; x < w; ++x) o[x] = (float(int8_t(row[x])) - zp) * sc;
      else
        for (int x = 0; x < w; ++x) o[x] = (float(row[x]) - zp) * sc;
    }
  }
  for (size_t i = 0; i < ch.convs.size(); ++i) {
    const ChainConv& c = ch.convs[i];
    const Layer& l = *c.layer;
    const int k = static_cast<int>(l.kernel);
    fillBorder(ch.planes[i], static_cast<int>(l.in), h, w, k, l.padding);
    Sink sink;
    if (i + 1 < ch.convs.size()) {
      sink.next = ch.planes[i + 1].data();
      sink.nextPad = static_cast<int>(ch.convs[i + 1].layer->kernel) / 2;
      sink.nextW = w;
      sink.nextH = h;
      sink.tanh = c.tanh;
    } else {
      sink.out = rt.outBytes.data();
      sink.b = ch.block;
      sink.q = quantiser(rt, false);
      if (ch.clip) {
        sink.q.clipLo = ch.low;
        sink.q.clipHi = ch.high;
      }
    }
    const int out = static_cast<int>(l.out);
    for (int first = 0; first < out; first += c.block) {
      const int ob = std::min(c.block, out - first);
      const size_t b = first / c.block;
      blockFn(k, ob)(ch.planes[i].data(), static_cast<int>(l.in), h, w,
                     c.weights.data() + b * l.in * k * k * c.block, c.bias.data() + b * c.block,
                     first, sink);
    }
  }
}

void fillAttr(const Runtime& rt, uint32_t index, bool output, bool native, rknn_tensor_attr* a) {
  const hlnm::Tensor& t = output ? rt.output : rt.input;
  std::memset(a, 0, sizeof *a);
  a->index = index;
  a->n_dims = 4;
  const bool nhwc = native && t.layout == RKNN_TENSOR_NHWC;
  a->fmt = nhwc ? RKNN_TENSOR_NHWC : RKNN_TENSOR_NCHW;
  if (nhwc) {
    a->dims[0] = 1;
    a->dims[1] = t.dims[2];
    a->dims[2] = t.dims[3];
    a->dims[3] = t.dims[1];
  } else {
    std::memcpy(a->dims, t.dims, sizeof t.dims);
  }
  std::snprintf(a->name, sizeof a->name, "%.*s", int(sizeof t.name), t.name);
  a->n_elems = t.dims[1] * t.dims[2] * t.dims[3];
  a->size = a->n_elems;
  a->type = static_cast<rknn_tensor_type>(t.type);
  a->qnt_type = RKNN_TENSOR_QNT_AFFINE_ASYMMETRIC;
  a->zp = t.zeroPoint;
  a->scale = t.scale;
  a->w_stride = t.dims[3];
  a->h_stride = t.dims[2];
  a->size_with_stride = a->size;
}

}  // namespace

int rknn_init(rknn_context* context, void* model, uint32_t size, uint32_t flag,
              rknn_init_extend* extend) {
  (void)flag;
  (void)extend;
  if (!context) return RKNN_ERR_PARAM_INVALID;
  *context = 0;
  if (!model || size == 0) return RKNN_ERR_PARAM_INVALID;
  std::unique_ptr<Runtime> rt(new (std::nothrow) Runtime);
  if (!rt) return RKNN_ERR_MALLOC_FAIL;
  const int r = parse(static_cast<const uint8_t*>(model), size, *rt);
  if (r != RKNN_SUCC) return r;
  findSeparable(*rt);
  if (!rt->separable.usable) findChain(*rt);
  uint64_t biggest = 0, padded = 0;
  for (const Layer& l : rt->layers) {
    biggest = std::max({biggest, l.inShape.elements(), l.outShape.elements()});
    if (l.kind == hlnm::kConv2d)
      padded =
          std::max(padded, uint64_t(l.in) * (l.inShape.h + l.kernel) * (l.inShape.w + l.kernel));
  }
  const uint64_t outN = uint64_t(rt->output.dims[1]) * rt->output.dims[2] * rt->output.dims[3];
  rt->a.assign(biggest, 0.0f);
  rt->b.assign(biggest, 0.0f);
  const uint64_t w = rt->input.dims[3];
  rt->padded.assign(std::max<uint64_t>(padded, w + 2 * kMaxKernel + (kMaxBlock + kMaxBlock) * w),
                    0);
  rt->outBytes.assign(outN, 0);
  rt->outFloat.assign(outN, 0.0f);
  std::lock_guard<std::mutex> l(g_lock);
  live().insert(rt.get());
  *context = static_cast<rknn_context>(reinterpret_cast<uintptr_t>(rt.release()));
  return RKNN_SUCC;
}

int rknn_destroy(rknn_context context) {
  Runtime* rt;
  {
    std::lock_guard<std::mutex> l(g_lock);
    rt = reinterpret_cast<Runtime*>(static_cast<uintptr_t>(context));
    if (!live().erase(rt)) return RKNN_ERR_CTX_INVALID;
  }
  for (rknn_tensor_mem* m : rt->mems) {
    std::free(m->virt_addr);
    delete m;
  }
  delete rt;
  return RKNN_SUCC;
}

int rknn_query(rknn_context context, rknn_query_cmd cmd, void* info, uint32_t size) {
  Runtime* rt = lookup(context);
  if (!rt) return RKNN_ERR_CTX_INVALID;
  if (!info) return RKNN_ERR_PARAM_INVALID;
  switch (cmd) {
    case RKNN_QUERY_IN_OUT_NUM: {
      if (size < sizeof(rknn_input_output_num)) return RKNN_ERR_PARAM_INVALID;
      auto* n = static_cast<rknn_input_output_num*>(info);
      n->n_input = 1;
      n->n_output = 1;
      return RKNN_SUCC;
    }
    case RKNN_QUERY_INPUT_ATTR:
    case RKNN_QUERY_OUTPUT_ATTR:
    case RKNN_QUERY_NATIVE_INPUT_ATTR:
    case RKNN_QUERY_NATIVE_OUTPUT_ATTR: {
      if (size < sizeof(rknn_tensor_attr)) return RKNN_ERR_PARAM_INVALID;
      auto* a = static_cast<rknn_tensor_attr*>(info);
      if (a->index != 0) return RKNN_ERR_PARAM_INVALID;
      const bool output = cmd == RKNN_QUERY_OUTPUT_ATTR || cmd == RKNN_QUERY_NATIVE_OUTPUT_ATTR;
      const bool native =
          cmd == RKNN_QUERY_NATIVE_INPUT_ATTR || cmd == RKNN_QUERY_NATIVE_OUTPUT_ATTR;
      fillAttr(*rt, 0, output, native, a);
      return RKNN_SUCC;
    }
    case RKNN_QUERY_PERF_RUN: {
      if (size < sizeof(rknn_perf_run) || !rt->ran) return RKNN_ERR_PARAM_INVALID;
      static_cast<rknn_perf_run*>(info)->run_duration = rt->runUs;
      return RKNN_SUCC;
    }
    default:
      return RKNN_ERR_PARAM_INVALID;
  }
}

rknn_tensor_mem* rknn_create_mem2(rknn_context context, uint64_t size, uint64_t alloc_flags) {
  Runtime* rt = lookup(context);
  if (!rt || size == 0 || size > 0xFFFFFFFFu) return nullptr;
  void* p = std::calloc(1, size);
  rknn_tensor_mem* m = p ? new (std::nothrow) rknn_tensor_mem() : nullptr;
  if (!m) {
    std::free(p);
    return nullptr;
  }
  m->virt_addr = p;
  m->fd = -1;
  m->size = static_cast<uint32_t>(size);
  m->flags = static_cast<uint32_t>(alloc_flags);
  rt->mems.push_back(m);
  return m;
}

rknn_tensor_mem* rknn_create_mem(rknn_context context, uint32_t size) {
  return rknn_create_mem2(context, size, RKNN_FLAG_MEMORY_FLAGS_DEFAULT);
}

int rknn_destroy_mem(rknn_context context, rknn_tensor_mem* mem) {
  Runtime* rt = lookup(context);
  if (!rt) return RKNN_ERR_CTX_INVALID;
  auto it = std::find(rt->mems.begin(), rt->mems.end(), mem);
  if (!mem || it == rt->mems.end()) return RKNN_ERR_PARAM_INVALID;
  if (rt->bound == mem) rt->bound = nullptr;
  rt->mems.erase(it);
  std::free(mem->virt_addr);
  delete mem;
  return RKNN_SUCC;
}

int rknn_set_io_mem(rknn_context context, rknn_tensor_mem* mem, rknn_tensor_attr* attr) {
  Runtime* rt = lookup(context);
  if (!rt) return RKNN_ERR_CTX_INVALID;
  if (!mem || !attr || attr->index != 0 ||
      std::find(rt->mems.begin(), rt->mems.end(), mem) == rt->mems.end())
    return RKNN_ERR_PARAM_INVALID;
  const uint32_t c = rt->input.dims[1], h = rt->input.dims[2], w = rt->input.dims[3];
  const uint32_t stride = attr->w_stride > 0 ? attr->w_stride : w;
  if (stride < w || (attr->fmt != RKNN_TENSOR_NHWC && attr->fmt != RKNN_TENSOR_NCHW))
    return RKNN_ERR_PARAM_INVALID;
  if (uint64_t(c) * h * stride > mem->size) return RKNN_ERR_PARAM_INVALID;
  rt->bound = mem;
  rt->boundLayout = attr->fmt;
  rt->boundStride = stride;
  return RKNN_SUCC;
}

int rknn_mem_sync(rknn_context context, rknn_tensor_mem* mem, rknn_mem_sync_mode mode) {
  (void)mode;
  Runtime* rt = lookup(context);
  if (!rt) return RKNN_ERR_CTX_INVALID;
  // Processor memory is coherent with itself: nothing to flush.
  return mem ? RKNN_SUCC : RKNN_ERR_PARAM_INVALID;
}

int rknn_run(rknn_context context, rknn_run_extend* extend) {
  (void)extend;
  Runtime* rt = lookup(context);
  if (!rt) return RKNN_ERR_CTX_INVALID;
  if (!rt->bound) return RKNN_ERR_INPUT_INVALID;
  const auto t0 = std::chrono::steady_clock::now();
  if (rt->separable.usable)
    runSeparable(*rt);
  else if (rt->chain.usable)
    runChain(*rt);
  else
    runGeneric(*rt);
  rt->runUs =
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
          .count();
  rt->ran = true;
  return RKNN_SUCC;
}

int rknn_outputs_get(rknn_context context, uint32_t n_outputs, rknn_output outputs[],
                     rknn_output_extend* extend) {
  (void)extend;
  Runtime* rt = lookup(context);
  if (!rt) return RKNN_ERR_CTX_INVALID;
  if (n_outputs != 1 || !outputs || outputs[0].index != 0) return RKNN_ERR_PARAM_INVALID;
  if (!rt->ran) return RKNN_ERR_OUTPUT_INVALID;
  rknn_output& o = outputs[0];
  if (o.want_float) {
    // As the hardware does: the quantised result, dequantised.
    const hlnm::Tensor& t = rt->output;
    const bool signedOut = t.type == RKNN_TENSOR_INT8;
    for (size_t i = 0; i < rt->outBytes.size(); ++i) {
      const uint8_t q = rt->outBytes[i];
      rt->outFloat[i] = (float(signedOut ? int(int8_t(q)) : int(q)) - t.zeroPoint) * t.scale;
    }
  }
  const void* src = o.want_float ? static_cast<const void*>(rt->outFloat.data())
                                 : static_cast<const void*>(rt->outBytes.data());
  const uint32_t bytes =
      static_cast<uint32_t>(rt->outBytes.size() * (o.want_float ? sizeof(float) : 1));
  if (o.is_prealloc) {
    if (!o.buf || o.size < bytes) return RKNN_ERR_PARAM_INVALID;
    std::memcpy(o.buf, src, bytes);
  } else {
    o.buf = const_cast<void*>(src);
  }
  o.size = bytes;
  return RKNN_SUCC;
}

int rknn_outputs_release(rknn_context context, uint32_t n_outputs, rknn_output outputs[]) {
  Runtime* rt = lookup(context);
  if (!rt) return RKNN_ERR_CTX_INVALID;
  if (!outputs) return RKNN_ERR_PARAM_INVALID;
  for (uint32_t i = 0; i < n_outputs; ++i)
    if (!outputs[i].is_prealloc) outputs[i].buf = nullptr;
  return RKNN_SUCC;
}
