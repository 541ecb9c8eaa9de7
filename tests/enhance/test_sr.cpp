#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "enhance/sr_model.h"
#include "enhance/sr_rknn.h"
#include "tools/modelgen/sr_model_builder.h"

namespace {

constexpr int kIn = 256 * 192;
constexpr int kOut = 768 * 576;

struct SrDeleter {
  void operator()(sr_rknn* c) const { sr_rknn_destroy(c); }
};
using Sr = std::unique_ptr<sr_rknn, SrDeleter>;

Sr create(const std::vector<uint8_t>& blob) {
  return Sr(sr_rknn_create(blob.data(), static_cast<uint32_t>(blob.size())));
}

// An NV12 768 x 576 target whose chroma carries a sentinel.
std::vector<uint8_t> target() {
  std::vector<uint8_t> t(kOut * 3 / 2, 0x11);
  std::fill(t.begin() + kOut, t.end(), 0x5A);
  return t;
}

bool chromaIntact(const std::vector<uint8_t>& t) {
  return std::all_of(t.begin() + kOut, t.end(), [](uint8_t b) { return b == 0x5A; });
}

// Creation result and what it printed.
std::string refusal(const std::vector<uint8_t>& blob) {
  testing::internal::CaptureStderr();
  Sr c = create(blob);
  const std::string err = testing::internal::GetCapturedStderr();
  return c ? "accepted" : err;
}

// The layers of a model file, with the weights each carries.
struct ParsedLayer {
  hlnm::LayerHeader header;
  std::vector<float> weights;
};

bool parseModel(const uint8_t* p, size_t n, hlnm::Tensor* in, hlnm::Tensor* out,
                std::vector<ParsedLayer>* layers) {
  hlnm::Header h;
  if (n < sizeof h) return false;
  std::memcpy(&h, p, sizeof h);
  size_t at = sizeof h;
  if (h.totalSize != n || n - at < 2 * sizeof(hlnm::Tensor)) return false;
  std::memcpy(in, p + at, sizeof *in);
  std::memcpy(out, p + at + sizeof *in, sizeof *out);
  at += 2 * sizeof(hlnm::Tensor);
  for (uint32_t i = 0; i < h.layerCount; ++i) {
    ParsedLayer l;
    if (n - at < sizeof l.header) return false;
    std::memcpy(&l.header, p + at, sizeof l.header);
    at += sizeof l.header;
    if ((n - at) / 4 < l.header.weightCount) return false;
    l.weights.resize(l.header.weightCount);
    // A layer without weights (tanh, clip) has no buffer to copy into.
    if (!l.weights.empty()) std::memcpy(l.weights.data(), p + at, 4 * l.weights.size());
    at += 4 * l.weights.size();
    layers->push_back(std::move(l));
  }
  return at == n;
}

// The embedded network with more layers after its own.
std::vector<uint8_t> embeddedWith(std::vector<modelgen::LayerSpec> extra) {
  hlnm::Tensor in, out;
  std::vector<ParsedLayer> layers;
  EXPECT_TRUE(parseModel(sr_model_data(), sr_model_size(), &in, &out, &layers));
  std::vector<modelgen::LayerSpec> all;
  for (const ParsedLayer& l : layers) all.push_back({l.header, l.weights});
  for (modelgen::LayerSpec& l : extra) all.push_back(std::move(l));
  return modelgen::assemble(in, out, std::move(all));
}

int worstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int worst = 0;
  for (int i = 0; i < kOut; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

// Random luma with structure at every scale: smooth ramps, blocks, noise.
std::vector<uint8_t> texturedFrame(uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> src(kIn);
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 256; ++x) {
      const int block = ((x / 9) ^ (y / 7)) & 1 ? 60 : 0;
      src[y * 256 + x] = static_cast<uint8_t>((x * 3 + y) % 256 / 3 + block + rng() % 70);
    }
  return src;
}

std::vector<uint8_t> enlarge(sr_rknn* c, const std::vector<uint8_t>& src) {
  std::vector<uint8_t> dst = target();
  EXPECT_EQ(sr_rknn_run(c, src.data(), dst.data()), 0);
  return dst;
}

}  // namespace

// What the program carries is the trained network with the device's
// contract: one 8-bit luma plane in, one three times larger out, and in
// between two tanh feature maps and a sub-pixel convolution.
TEST(SuperResolution, EmbeddedModelIsTheTrainedNetwork) {
  hlnm::Tensor in, out;
  std::vector<ParsedLayer> layers;
  ASSERT_TRUE(parseModel(sr_model_data(), sr_model_size(), &in, &out, &layers));
  for (const hlnm::Tensor* t : {&in, &out}) {
    EXPECT_EQ(t->type, uint32_t(RKNN_TENSOR_INT8));
    EXPECT_EQ(t->zeroPoint, -128);
    EXPECT_FLOAT_EQ(t->scale, 1.0f / 255.0f);
    EXPECT_EQ(t->dims[0], 1u);
    EXPECT_EQ(t->dims[1], 1u);
  }
  EXPECT_STREQ(in.name, "input");
  EXPECT_STREQ(out.name, "output");
  EXPECT_EQ(in.dims[2], 192u);
  EXPECT_EQ(in.dims[3], 256u);
  EXPECT_EQ(out.dims[2], 576u);
  EXPECT_EQ(out.dims[3], 768u);
  EXPECT_EQ(in.layout, uint32_t(RKNN_TENSOR_NHWC));

  const uint32_t kinds[] = {hlnm::kConv2d, hlnm::kTanh,         hlnm::kConv2d, hlnm::kTanh,
                            hlnm::kConv2d, hlnm::kDepthToSpace, hlnm::kClip};
  ASSERT_EQ(layers.size(), std::size(kinds));
  for (size_t i = 0; i < layers.size(); ++i) EXPECT_EQ(layers[i].header.kind, kinds[i]) << i;
  EXPECT_EQ(std::string(layers[0].header.name).rfind("feature_maps", 0), 0u);
  EXPECT_EQ(std::string(layers[2].header.name).rfind("feature_maps", 0), 0u);
  EXPECT_STREQ(layers[4].header.name, "sub_pixel");
  EXPECT_EQ(layers[0].header.param[0], 1u);
  EXPECT_EQ(layers[4].header.param[1], 9u);
  EXPECT_EQ(layers[5].header.param[0], 3u);
  EXPECT_EQ(layers[6].header.value[0], 0.0f);
  EXPECT_EQ(layers[6].header.value[1], 1.0f);
  // Trained, not an interpolation kernel with zero biases.
  EXPECT_TRUE(std::any_of(layers[0].weights.end() - layers[0].header.param[1],
                          layers[0].weights.end(), [](float b) { return b != 0.0f; }));

  Sr c(sr_rknn_create(sr_model_data(), sr_model_size()));
  ASSERT_TRUE(c);
  // Flat frames stay flat at their level (the network may not invent
  // structure where there is none) and the chroma is never written.
  for (int level : {0, 16, 77, 128, 200, 240, 255}) {
    const std::vector<uint8_t> dst = enlarge(c.get(), std::vector<uint8_t>(kIn, uint8_t(level)));
    const auto [lo, hi] = std::minmax_element(dst.begin(), dst.begin() + kOut);
    EXPECT_LE(*hi - *lo, 2) << "level " << level;
    EXPECT_NEAR(dst[kOut / 2 + 384], level, 4) << "level " << level;
    EXPECT_TRUE(chromaIntact(dst));
  }
}

// The previous model, a Lanczos-3 filter in network form, runs on the
// runtime's separable path.
TEST(SuperResolution, LanczosModelEnlargesLikeAnInterpolator) {
  Sr c = create(modelgen::buildModel());
  ASSERT_TRUE(c);
  // Uniform frames stay uniform at every level: the output codes map to luma.
  for (int level : {0, 1, 77, 128, 200, 254, 255}) {
    std::vector<uint8_t> src(kIn, static_cast<uint8_t>(level));
    std::vector<uint8_t> dst = target();
    ASSERT_EQ(sr_rknn_run(c.get(), src.data(), dst.data()), 0);
    EXPECT_TRUE(std::all_of(dst.begin(), dst.begin() + kOut, [&](uint8_t v) { return v == level; }))
        << "level " << level;
    EXPECT_TRUE(chromaIntact(dst));
  }
  std::mt19937 rng(5);
  std::vector<uint8_t> src(kIn);
  for (auto& v : src) v = static_cast<uint8_t>(rng());
  std::vector<uint8_t> dst = target();
  ASSERT_EQ(sr_rknn_run(c.get(), src.data(), dst.data()), 0);
  // The centre of each 3 x 3 block sits on an input pixel.
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 256; ++x)
      ASSERT_EQ(dst[(3 * y + 1) * 768 + 3 * x + 1], src[y * 256 + x]) << x << "," << y;

  // A horizontal ramp stays a ramp: interpolated columns lie between their
  // neighbours' values, within rounding.
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 256; ++x) src[y * 256 + x] = static_cast<uint8_t>(x);
  ASSERT_EQ(sr_rknn_run(c.get(), src.data(), dst.data()), 0);
  for (int X = 6; X < 768 - 6; ++X) {
    const double want = (X + 0.5) / 3 - 0.5;
    EXPECT_NEAR(dst[300 * 768 + X], want, 1.0) << X;
  }
}

// Three ways through the runtime give one picture: the separable upscaler,
// the fused convolution chain and the layer-by-layer path (std::tanh, no
// fusing), each forced by a layer that changes nothing.
TEST(SuperResolution, FastPathsAgreeWithTheLayerByLayerRuntime) {
  using namespace modelgen;
  const LayerSpec identity = conv("identity", 1, 1, 1, hlnm::kPadZero, {1.0f, 0.0f});
  const std::vector<uint8_t> src = texturedFrame(11);

  Sr separable = create(buildModel());
  Sr chain = create(
      assemble(inputTensor(), outputTensor(), {identity, subPixel(), depthToSpace(3), clip(0, 1)}));
  Sr generic = create(assemble(inputTensor(), outputTensor(),
                               {identity, subPixel(), depthToSpace(3), clip(0, 1), clip(0, 1)}));
  ASSERT_TRUE(separable && chain && generic);
  const std::vector<uint8_t> a = enlarge(separable.get(), src);
  EXPECT_LE(worstDifference(a, enlarge(chain.get(), src)), 1);
  EXPECT_LE(worstDifference(a, enlarge(generic.get(), src)), 1);

  // The trained network, fused and layer by layer.
  Sr net(sr_rknn_create(sr_model_data(), sr_model_size()));
  Sr netGeneric = create(embeddedWith({clip(0, 1)}));
  ASSERT_TRUE(net && netGeneric);
  EXPECT_LE(worstDifference(enlarge(net.get(), src), enlarge(netGeneric.get(), src)), 1);

  // Widths that split into unequal blocks, every kernel size, both paddings,
  // weights large enough to drive tanh into saturation.
  std::mt19937 rng(3);
  std::normal_distribution<float> gauss(0.0f, 1.0f);
  auto random = [&](uint32_t in, uint32_t out, uint32_t k, uint32_t padding, float spread) {
    std::vector<float> w(size_t(out) * in * k * k + out);
    for (float& v : w) v = gauss(rng) * spread / std::sqrt(float(in * k * k));
    return conv("random", in, out, k, padding, std::move(w));
  };
  const std::vector<LayerSpec> odd = {random(1, 13, 3, hlnm::kPadZero, 6.0f),
                                      {layer(hlnm::kTanh, "tanh"), {}},
                                      random(13, 5, 7, hlnm::kPadReplicate, 2.0f),
                                      {layer(hlnm::kTanh, "tanh"), {}},
                                      random(5, 3, 1, hlnm::kPadZero, 1.0f),
                                      {layer(hlnm::kTanh, "tanh"), {}},
                                      random(3, 9, 5, hlnm::kPadZero, 0.5f),
                                      depthToSpace(3),
                                      clip(0, 1)};
  std::vector<LayerSpec> oddGeneric = odd;
  oddGeneric.push_back(clip(0, 1));
  Sr fused = create(assemble(inputTensor(), outputTensor(), odd));
  Sr plain = create(assemble(inputTensor(), outputTensor(), oddGeneric));
  ASSERT_TRUE(fused && plain);
  const std::vector<uint8_t> f = enlarge(fused.get(), src), p = enlarge(plain.get(), src);
  EXPECT_LE(worstDifference(f, p), 1);
  // not a degenerate network that both paths flatten to one value
  EXPECT_GT(*std::max_element(p.begin(), p.begin() + kOut) -
                *std::min_element(p.begin(), p.begin() + kOut),
            100);

  // tanh runs on the layer-by-layer path too: between convolution and
  // depth-to-space it squashes the output below tanh(1) = 0.76.
  const std::vector<uint8_t> blob =
      assemble(inputTensor(), outputTensor(),
               {subPixel(), {layer(hlnm::kTanh, "feature_maps"), {}}, depthToSpace(3), clip(0, 1)});
  Sr squashed = create(blob);
  ASSERT_TRUE(squashed);
  const std::vector<uint8_t> b = enlarge(squashed.get(), std::vector<uint8_t>(kIn, 255));
  const int expect = static_cast<int>(std::tanh(1.0) * 255 + 0.5);
  EXPECT_NEAR(b[1234], expect, 1);
  EXPECT_NEAR(b[kOut - 1], expect, 1);
}

TEST(SuperResolution, BrokenModelsAreRefused) {
  const std::vector<uint8_t> good = modelgen::buildModel();
  EXPECT_EQ(sr_rknn_create(nullptr, 100), nullptr);

  for (size_t cut : {size_t(1), size_t(10), size_t(31), good.size() / 2, good.size() - 1}) {
    const std::vector<uint8_t> part(good.begin(), good.begin() + cut);
    EXPECT_EQ(refusal(part).rfind("sr_rknn_create: rknn_init failed", 0), 0u) << cut;
  }
  std::vector<uint8_t> flipped = good, renamed = good;
  flipped[700] ^= 0x40;  // a weight
  std::memcpy(renamed.data(), "RKNN", 4);
  // ...and well-formed files that describe impossible networks.
  auto withOutput = [](uint32_t h, uint32_t w) {
    hlnm::Tensor o = modelgen::outputTensor();
    o.dims[2] = h;
    o.dims[3] = w;
    return modelgen::assemble(modelgen::inputTensor(), o,
                              {modelgen::subPixel(), modelgen::depthToSpace(3)});
  };
  auto net = [](const std::vector<modelgen::LayerSpec>& layers) {
    return modelgen::assemble(modelgen::inputTensor(), modelgen::outputTensor(), layers);
  };
  const std::vector<uint8_t> refused[] = {
      flipped,
      renamed,
      withOutput(576, 767),
      net({modelgen::subPixel(), modelgen::depthToSpace(2)}),
      net({modelgen::conv("even", 1, 9, 2, hlnm::kPadZero, std::vector<float>(45, 0.1f)),
           modelgen::depthToSpace(3)}),
      net({modelgen::conv("short", 1, 9, 7, hlnm::kPadZero, std::vector<float>(100, 0.1f)),
           modelgen::depthToSpace(3)})};
  for (size_t i = 0; i < std::size(refused); ++i) EXPECT_NE(refusal(refused[i]), "accepted") << i;
  EXPECT_EQ(refusal(withOutput(576, 768)), "accepted");

  // A valid network for another sensor size would read outside the frame.
  hlnm::Tensor smallIn = modelgen::inputTensor();
  smallIn.dims[2] = 96;
  smallIn.dims[3] = 128;
  hlnm::Tensor smallOut = modelgen::outputTensor();
  smallOut.dims[2] = 288;
  smallOut.dims[3] = 384;
  EXPECT_NE(refusal(modelgen::assemble(smallIn, smallOut,
                                       {modelgen::subPixel(), modelgen::depthToSpace(3)})),
            "accepted");
}

TEST(SuperResolution, NullArgumentsAndRuntimeMisuse) {
  Sr c(sr_rknn_create(sr_model_data(), sr_model_size()));
  ASSERT_TRUE(c);
  std::vector<uint8_t> src(kIn, 9), dst = target();
  EXPECT_EQ(sr_rknn_run(nullptr, src.data(), dst.data()), -1);
  EXPECT_EQ(sr_rknn_run(c.get(), nullptr, dst.data()), -1);
  EXPECT_EQ(sr_rknn_run(c.get(), src.data(), nullptr), -1);
  EXPECT_EQ(dst, target());
  sr_rknn_destroy(nullptr);

  // The runtime checks its handles and its call order.
  rknn_context bogus = 12345;
  EXPECT_EQ(rknn_run(bogus, nullptr), RKNN_ERR_CTX_INVALID);
  EXPECT_EQ(rknn_destroy(bogus), RKNN_ERR_CTX_INVALID);
  std::vector<uint8_t> blob = modelgen::buildModel();
  rknn_context raw = 0;
  ASSERT_EQ(rknn_init(&raw, blob.data(), static_cast<uint32_t>(blob.size()), 0, nullptr), 0);
  rknn_output out{};
  EXPECT_EQ(rknn_outputs_get(raw, 1, &out, nullptr), RKNN_ERR_OUTPUT_INVALID);
  EXPECT_EQ(rknn_run(raw, nullptr), RKNN_ERR_INPUT_INVALID);
  rknn_tensor_attr attr{};
  ASSERT_EQ(rknn_query(raw, RKNN_QUERY_NATIVE_INPUT_ATTR, &attr, sizeof attr), 0);
  EXPECT_EQ(attr.fmt, RKNN_TENSOR_NHWC);
  rknn_tensor_mem* tiny = rknn_create_mem(raw, 1000);
  ASSERT_NE(tiny, nullptr);
  EXPECT_EQ(rknn_set_io_mem(raw, tiny, &attr), RKNN_ERR_PARAM_INVALID);
  rknn_tensor_mem* mem = rknn_create_mem(raw, attr.size_with_stride);
  ASSERT_EQ(rknn_set_io_mem(raw, mem, &attr), 0);
  std::memset(mem->virt_addr, 0x7F, attr.size_with_stride);  // code 127: luma 255
  ASSERT_EQ(rknn_run(raw, nullptr), 0);
  out.want_float = 1;
  ASSERT_EQ(rknn_outputs_get(raw, 1, &out, nullptr), 0);
  ASSERT_EQ(out.size, kOut * sizeof(float));
  EXPECT_FLOAT_EQ(static_cast<float*>(out.buf)[kOut - 1], 1.0f);
  EXPECT_EQ(rknn_outputs_release(raw, 1, &out), 0);
  EXPECT_EQ(rknn_destroy(raw), 0);
  EXPECT_EQ(rknn_run(raw, nullptr), RKNN_ERR_CTX_INVALID);
}
