#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "enhance/sr_dde.h"

namespace {

// The enhancement written the slow, obvious way: every window summed
// directly, each coring case spelt out.
std::vector<uint8_t> reference(const std::vector<uint8_t>& in, int w, int h, int r, int g, int t) {
  const std::vector<int> src(in.begin(), in.end());
  auto box = [&](const std::vector<int>& p, int dx, int dy) {
    std::vector<int> o(w * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        int s = 0;
        for (int k = -r; k <= r; ++k)
          s += p[std::min(h - 1, std::max(0, y + k * dy)) * w +
                 std::min(w - 1, std::max(0, x + k * dx))];
        o[y * w + x] = (s + r) / (2 * r + 1);
      }
    return o;
  };
  const std::vector<int> base = box(box(src, 1, 0), 0, 1);
  std::vector<int> out(w * h);
  int64_t sumIn = 0, sumOut = 0;
  for (int i = 0; i < w * h; ++i) {
    const int p = src[i], d = p - base[i], ad = std::abs(d);
    int o = p + ((g * d + 128) >> 8);
    if (t >= 1) o = ad <= t ? p : p + ((g * (d > 0 ? ad - t : t - ad) + 128) >> 8);
    out[i] = std::min(255, std::max(0, o));
    sumIn += p;
    sumOut += out[i];
  }
  const int64_t offset = (sumIn - sumOut) / (int64_t(w) * h);
  std::vector<uint8_t> res(w * h);
  for (int i = 0; i < w * h; ++i)
    res[i] = static_cast<uint8_t>(std::min<int64_t>(255, std::max<int64_t>(0, out[i] + offset)));
  return res;
}

// Noise over a gradient with saturated patches, so both clipping ends and
// every sign of detail occur.
std::vector<uint8_t> frame(int w, int h, std::mt19937& rng) {
  std::vector<uint8_t> f(w * h);
  std::uniform_int_distribution<int> noise(-40, 40), pick(0, 9);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int k = pick(rng);
      int v = k == 0 ? 0 : k == 1 ? 255 : (x * 255 / w + y * 64 / h) + noise(rng);
      f[y * w + x] = static_cast<uint8_t>(std::min(255, std::max(0, v)));
    }
  return f;
}

struct DdeDeleter {
  void operator()(sr_dde* c) const { sr_dde_destroy(c); }
};
using Dde = std::unique_ptr<sr_dde, DdeDeleter>;

}  // namespace

TEST(DetailEnhancement, MatchesDirectWindowSumsBitForBit) {
  std::mt19937 rng(1234);
  const int sizes[][2] = {{256, 192}, {1, 1}, {2, 1}, {1, 7}, {5, 3}, {9, 9}, {33, 4}, {3, 40}};
  const float details[] = {1.8f, 1.0f, 4.5f, 16.0f};
  for (const auto& s : sizes) {
    const int w = s[0], h = s[1];
    Dde c(sr_dde_create(256, 192));
    ASSERT_TRUE(c);
    for (int radius = 1; radius <= 4; ++radius)
      for (int thr : {0, 1, 5})
        for (float detail : details) {
          sr_dde_set_params(c.get(), detail, static_cast<float>(radius));
          sr_dde_set_threshold(c.get(), thr);
          const std::vector<uint8_t> in = frame(w, h, rng);
          std::vector<uint8_t> out = in;
          ASSERT_EQ(sr_dde_process(c.get(), out.data(), w, h), 0);
          ASSERT_EQ(out, reference(in, w, h, radius, c->gain, thr))
              << w << "x" << h << " r=" << radius << " t=" << thr << " g=" << c->gain;
        }
  }
}

TEST(DetailEnhancement, SettersClampRadiusGainAndThreshold) {
  Dde c(sr_dde_create(16, 8));
  ASSERT_TRUE(c);
  // Out-of-range detail and sigma are held to the radius and gain the filter can take.
  const struct {
    float detail, sigma;
    int radius, gain;
  } cases[] = {{1e30f, 1e30f, 4, 4096}, {1.0f, 0.2f, 1, 256}};
  for (const auto& k : cases) {
    sr_dde_set_params(c.get(), k.detail, k.sigma);
    EXPECT_EQ(c->radius, k.radius) << k.detail << " " << k.sigma;
    EXPECT_EQ(c->gain, k.gain) << k.detail << " " << k.sigma;
  }
  sr_dde_set_threshold(c.get(), -3);
  EXPECT_EQ(c->threshold, 0);
  sr_dde_set_threshold(c.get(), 1000);
  EXPECT_EQ(c->threshold, 64);

  // Null contexts are ignored.
  sr_dde_set_params(nullptr, 1, 1);
  sr_dde_set_threshold(nullptr, 1);
  sr_dde_destroy(nullptr);
  EXPECT_EQ(sr_dde_create(0, 5), nullptr);
  EXPECT_EQ(sr_dde_create(5, -1), nullptr);
}

TEST(DetailEnhancement, BadCallsAndNeutralFramesLeaveThePictureAlone) {
  Dde c(sr_dde_create(32, 16));
  ASSERT_TRUE(c);
  sr_dde_set_threshold(c.get(), 1);
  std::mt19937 rng(7);
  std::vector<uint8_t> f = frame(40, 20, rng);
  const std::vector<uint8_t> before = f;

  EXPECT_EQ(sr_dde_process(nullptr, f.data(), 8, 8), -1);
  EXPECT_EQ(sr_dde_process(c.get(), nullptr, 8, 8), -1);
  EXPECT_EQ(sr_dde_process(c.get(), f.data(), 0, 8), -1);
  EXPECT_EQ(sr_dde_process(c.get(), f.data(), 8, -2), -1);
  EXPECT_EQ(sr_dde_process(c.get(), f.data(), 33, 16), -2);
  EXPECT_EQ(sr_dde_process(c.get(), f.data(), 32, 17), -2);
  EXPECT_EQ(before, f);

  // A gain that rounds to 0 turns the step off.
  sr_dde_set_params(c.get(), 0.001f, 0);
  ASSERT_EQ(c->gain, 0);
  EXPECT_EQ(sr_dde_process(c.get(), f.data(), 32, 16), 0);
  EXPECT_EQ(before, f);

  // A frame smaller than the context's only touches its own pixels.
  std::vector<uint8_t> small = frame(10, 6, rng);
  small.resize(10 * 6 + 16, 0xEE);
  ASSERT_EQ(sr_dde_process(c.get(), small.data(), 10, 6), 0);
  EXPECT_EQ(std::vector<uint8_t>(small.begin() + 60, small.end()), std::vector<uint8_t>(16, 0xEE));
}

// The timing line is for the bench only: a frame never writes to stderr otherwise.
TEST(DetailEnhancement, ProfileLineOnlyWhenAsked) {
  Dde c(sr_dde_create(256, 192));
  ASSERT_TRUE(c);
  sr_dde_set_params(c.get(), 1.8f, 1.5f);
  sr_dde_set_threshold(c.get(), 1);
  std::vector<uint8_t> f(256 * 192, 50);
  unsetenv("SR_DDE_PROFILE");
  testing::internal::CaptureStderr();
  sr_dde_process(c.get(), f.data(), 256, 192);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  setenv("SR_DDE_PROFILE", "", 1);
  testing::internal::CaptureStderr();
  sr_dde_process(c.get(), f.data(), 256, 192);
  EXPECT_NE(testing::internal::GetCapturedStderr(), "");
  unsetenv("SR_DDE_PROFILE");
}
