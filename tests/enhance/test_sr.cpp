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

}  // namespace

TEST(SuperResolution, EmbeddedModelIsTheGeneratorsOutput) {
  const std::vector<uint8_t> built = modelgen::buildModel();
  ASSERT_EQ(sr_model_size(), built.size());
  EXPECT_EQ(std::memcmp(sr_model_data(), built.data(), built.size()), 0)
      << "enhance/sr_model_data.inc is stale: rebuild the sr_model target";
}

TEST(SuperResolution, EnlargesLikeAnInterpolator) {
  Sr c(sr_rknn_create(sr_model_data(), sr_model_size()));
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

TEST(SuperResolution, GenericLayersAgreeWithTheFastPath) {
  // An identity 1x1 convolution in front hides the separable shape, so the
  // runtime runs every layer as written.
  std::vector<uint8_t> blob =
      modelgen::assemble(modelgen::inputTensor(), modelgen::outputTensor(),
                         {modelgen::conv("identity", 1, 1, 1, hlnm::kPadZero, {1.0f, 0.0f}),
                          modelgen::subPixel(), modelgen::depthToSpace(3), modelgen::clip(0, 1)});
  Sr fast(sr_rknn_create(sr_model_data(), sr_model_size()));
  Sr generic = create(blob);
  ASSERT_TRUE(fast && generic);
  std::mt19937 rng(11);
  std::vector<uint8_t> src(kIn);
  for (int y = 0; y < 192; ++y)
    for (int x = 0; x < 256; ++x)
      src[y * 256 + x] = static_cast<uint8_t>((x * 3 + y) % 256 / 2 + (rng() % 60));
  std::vector<uint8_t> a = target(), b = target();
  ASSERT_EQ(sr_rknn_run(fast.get(), src.data(), a.data()), 0);
  ASSERT_EQ(sr_rknn_run(generic.get(), src.data(), b.data()), 0);
  int worst = 0;
  for (int i = 0; i < kOut; ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  EXPECT_LE(worst, 1);

  // tanh runs too: a tanh between convolution and depth-to-space squashes
  // the output below tanh(1) = 0.76.
  blob = modelgen::assemble(modelgen::inputTensor(), modelgen::outputTensor(),
                            {modelgen::subPixel(),
                             {modelgen::layer(hlnm::kTanh, "feature_maps"), {}},
                             modelgen::depthToSpace(3),
                             modelgen::clip(0, 1)});
  Sr squashed = create(blob);
  ASSERT_TRUE(squashed);
  std::vector<uint8_t> white(kIn, 255);
  ASSERT_EQ(sr_rknn_run(squashed.get(), white.data(), b.data()), 0);
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
