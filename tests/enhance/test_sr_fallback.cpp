// Super-resolution without the network: a board whose NPU runtime refuses
// the model (or fails a run) still gets the live picture at 768 x 576.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "enhance/sr_fallback.h"
#include "enhance/sr_model.h"
#include "enhance/sr_rknn.h"

namespace {

constexpr int kW = 256, kH = 192, kOutW = 768, kOutH = 576;

// A 768 x 576 NV12 frame holding what the ring held before: a flat stale
// luma and a chroma sentinel.
std::vector<uint8_t> staleFrame() {
  std::vector<uint8_t> f(kOutW * kOutH * 3 / 2, 0x11);
  std::fill(f.begin() + kOutW * kOutH, f.end(), 0x5A);
  return f;
}

}  // namespace

TEST(SuperResolutionFallback, ARefusedModelStillGivesTheInterpolatedPicture) {
  // What the board's vendor runtime does with a model of another format.
  std::vector<uint8_t> foreign(sr_model_data(), sr_model_data() + sr_model_size());
  std::memcpy(foreign.data(), "RKNN", 4);
  testing::internal::CaptureStderr();
  sr_rknn* ctx = sr_rknn_create(foreign.data(), static_cast<uint32_t>(foreign.size()));
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(ctx, nullptr);

  // Ramps across and down: bilinear interpolation reproduces them exactly
  // between the edge pixels, so any mix-up of rows, columns or phases shows.
  std::vector<uint8_t> across(kW * kH), down(kW * kH);
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      across[y * kW + x] = static_cast<uint8_t>(x);
      down[y * kW + x] = static_cast<uint8_t>(y);
    }
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "across" : "down");
    std::vector<uint8_t> frame = staleFrame();
    ASSERT_EQ(sr_enlarge(ctx, (pass == 0 ? across : down).data(), frame.data()), 1);
    int wrong = 0;
    for (int y = 0; y < kOutH; ++y)
      for (int x = 0; x < kOutW; ++x) {
        const int at = pass == 0 ? x : y, size = pass == 0 ? kOutW : kOutH;
        // Output pixel p sits at input position (p - 1) / 3.
        const double want = std::clamp((at - 1) / 3.0, 0.0, (size / 3 - 1) * 1.0);
        wrong += std::abs(frame[y * kOutW + x] - want) > 0.5;
      }
    EXPECT_EQ(wrong, 0);
    EXPECT_TRUE(std::all_of(frame.begin() + kOutW * kOutH, frame.end(),
                            [](uint8_t b) { return b == 0x5A; }))
        << "the chroma belongs to the palette step";
  }
  EXPECT_EQ(sr_enlarge(ctx, nullptr, staleFrame().data()), -1);
}

TEST(SuperResolutionFallback, TheNetworkIsUsedWhenItRuns) {
  sr_rknn* ctx = sr_rknn_create(sr_model_data(), sr_model_size());
  ASSERT_NE(ctx, nullptr);
  std::vector<uint8_t> flat(kW * kH, 77), frame = staleFrame();
  EXPECT_EQ(sr_enlarge(ctx, flat.data(), frame.data()), 0);
  EXPECT_NEAR(frame[kOutW * kOutH / 2 + kOutW / 2], 77, 2);
  sr_rknn_destroy(ctx);
}
