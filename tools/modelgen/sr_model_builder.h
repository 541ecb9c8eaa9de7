#pragma once
// The program's first super-resolution model: an honest threefold upscaler
// in network form. One sub-pixel convolution with nine output channels, one
// per output phase (row i, column j of each 3 x 3 block), each a 7 x 7
// Lanczos-3 kernel sampling the input at the phase's sub-pixel position; then
// depth-to-space by 3 and a clip to 0..1. The trained network
// (tools/srtrain) replaced it in the program; it stays as the baseline that
// tools/sr-eval scores the network against, and its helpers write model
// files for the tests. Header-only.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/npu/hlnm_format.h"
#include "platform/npu/rknn_api.h"

namespace modelgen {

constexpr int kScale = 3;
constexpr int kTaps = 7;  // Lanczos-3 reaches three pixels each side

inline double lanczos3(double t) {
  if (t == 0) return 1;
  if (std::fabs(t) >= 3) return 0;
  const double pi = 3.14159265358979323846;
  return 3 * std::sin(pi * t) * std::sin(pi * t / 3) / (pi * pi * t * t);
}

// 1-D weights of phase p: output pixel p of a group of three lies at input
// position x + (p - 1) / 3 when pixel centres line up.
inline std::vector<double> phaseWeights(int p) {
  std::vector<double> w(kTaps);
  double sum = 0;
  for (int k = 0; k < kTaps; ++k) {
    const int offset = k - kTaps / 2;
    // Phase 1 samples the input pixel itself: exactly one tap.
    w[k] = p == 1 ? (offset == 0 ? 1.0 : 0.0) : lanczos3(offset - (p - 1) / double(kScale));
    sum += w[k];
  }
  for (double& v : w) v /= sum;
  return w;
}

inline void put(std::vector<uint8_t>& out, const void* p, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  out.insert(out.end(), b, b + n);
}

inline hlnm::Tensor tensor(const char* name, uint32_t h, uint32_t w, uint32_t layout) {
  hlnm::Tensor t;
  std::memset(&t, 0, sizeof t);
  std::strncpy(t.name, name, sizeof t.name - 1);
  t.dims[0] = 1;
  t.dims[1] = 1;
  t.dims[2] = h;
  t.dims[3] = w;
  t.type = RKNN_TENSOR_INT8;
  t.zeroPoint = -128;
  t.scale = 1.0f / 255.0f;
  t.layout = layout;
  return t;
}

inline hlnm::LayerHeader layer(uint32_t kind, const char* name) {
  hlnm::LayerHeader l;
  std::memset(&l, 0, sizeof l);
  l.kind = kind;
  std::strncpy(l.name, name, sizeof l.name - 1);
  return l;
}

// One layer: its header and the weights that follow it.
struct LayerSpec {
  hlnm::LayerHeader header;
  std::vector<float> weights;
};

// A complete model: header with size and checksum, the two tensors, layers.
inline std::vector<uint8_t> assemble(const hlnm::Tensor& in, const hlnm::Tensor& res,
                                     std::vector<LayerSpec> layers) {
  std::vector<uint8_t> out(sizeof(hlnm::Header));
  put(out, &in, sizeof in);
  put(out, &res, sizeof res);
  for (LayerSpec& l : layers) {
    l.header.weightCount = static_cast<uint32_t>(l.weights.size());
    put(out, &l.header, sizeof l.header);
    put(out, l.weights.data(), l.weights.size() * sizeof(float));
  }
  hlnm::Header h;
  std::memset(&h, 0, sizeof h);
  std::memcpy(h.magic, hlnm::kMagic, 4);
  h.version = hlnm::kVersion;
  h.totalSize = static_cast<uint32_t>(out.size());
  h.crc32 = hlnm::crc32(out.data() + sizeof h, out.size() - sizeof h);
  h.layerCount = static_cast<uint32_t>(layers.size());
  std::memcpy(out.data(), &h, sizeof h);
  return out;
}

inline LayerSpec conv(const char* name, uint32_t in, uint32_t outChannels, uint32_t k,
                      uint32_t padding, std::vector<float> weightsAndBiases) {
  LayerSpec l{layer(hlnm::kConv2d, name), std::move(weightsAndBiases)};
  l.header.param[0] = in;
  l.header.param[1] = outChannels;
  l.header.param[2] = k;
  l.header.param[3] = padding;
  return l;
}

inline LayerSpec depthToSpace(uint32_t block) {
  LayerSpec l{layer(hlnm::kDepthToSpace, "depth_to_space"), {}};
  l.header.param[0] = block;
  return l;
}

inline LayerSpec clip(float low, float high) {
  LayerSpec l{layer(hlnm::kClip, "clip"), {}};
  l.header.value[0] = low;
  l.header.value[1] = high;
  return l;
}

// The sub-pixel convolution: nine phase kernels, then nine zero biases.
inline LayerSpec subPixel() {
  std::vector<float> weights;
  for (int i = 0; i < kScale; ++i)
    for (int j = 0; j < kScale; ++j) {
      const std::vector<double> wy = phaseWeights(i), wx = phaseWeights(j);
      for (int u = 0; u < kTaps; ++u)
        for (int v = 0; v < kTaps; ++v) weights.push_back(static_cast<float>(wy[u] * wx[v]));
    }
  for (int c = 0; c < kScale * kScale; ++c) weights.push_back(0.0f);
  return conv("sub_pixel", 1, kScale * kScale, kTaps, hlnm::kPadReplicate, std::move(weights));
}

inline hlnm::Tensor inputTensor() { return tensor("input", 192, 256, RKNN_TENSOR_NHWC); }
inline hlnm::Tensor outputTensor() { return tensor("output", 576, 768, RKNN_TENSOR_NCHW); }

inline std::vector<uint8_t> buildModel() {
  return assemble(inputTensor(), outputTensor(), {subPixel(), depthToSpace(kScale), clip(0, 1)});
}

}  // namespace modelgen
