#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "enhance/palette.h"
#include "tools/palettegen/palette_curve.h"

namespace {

// An NV12 frame of random luma and chroma, followed by guard bytes.
constexpr int kGuard = 64;
std::vector<uint8_t> frame(int w, int h, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> f(w * h * 3 / 2 + kGuard);
  for (auto& b : f) b = static_cast<uint8_t>(rng());
  for (int i = 0; i < kGuard; ++i) f[f.size() - kGuard + i] = 0xC3;
  return f;
}

bool guardIntact(const std::vector<uint8_t>& f) {
  for (size_t i = f.size() - kGuard; i < f.size(); ++i)
    if (f[i] != 0xC3) return false;
  return true;
}

}  // namespace

TEST(Palette, TablesFollowTheirAnchorsInSmallSteps) {
  for (const palettegen::Anchors& a : palettegen::kAnchors) {
    for (int s = 0; s < 17; ++s) {
      uint8_t cb = 0, cr = 0;
      ASSERT_TRUE(PaletteChroma(a.table, palettegen::kAnchorLuma[s], &cb, &cr));
      EXPECT_NEAR(cb, a.cb[s], 3) << "table " << a.table << " luma " << palettegen::kAnchorLuma[s];
      EXPECT_NEAR(cr, a.cr[s], 3) << "table " << a.table << " luma " << palettegen::kAnchorLuma[s];
    }
    // The compiled tables are the generator's current output.
    const palettegen::Channel cb = palettegen::curve(a.cb), cr = palettegen::curve(a.cr);
    uint8_t prevCb = 0, prevCr = 0;
    for (int y = 0; y < 256; ++y) {
      uint8_t gotCb, gotCr;
      ASSERT_TRUE(PaletteChroma(a.table, y, &gotCb, &gotCr));
      ASSERT_EQ(gotCb, cb[y]) << "enhance/palette_tables.inc is stale: rebuild palette_tables";
      ASSERT_EQ(gotCr, cr[y]) << "enhance/palette_tables.inc is stale: rebuild palette_tables";
      if (y > 0) {
        EXPECT_LE(std::abs(gotCb - prevCb), a.maxStep) << "table " << a.table << " luma " << y;
        EXPECT_LE(std::abs(gotCr - prevCr), a.maxStep) << "table " << a.table << " luma " << y;
      }
      prevCb = gotCb;
      prevCr = gotCr;
    }
  }
  EXPECT_FALSE(PaletteChroma(1, 0, nullptr, nullptr));
  EXPECT_FALSE(PaletteChroma(5, 0, nullptr, nullptr));
  EXPECT_FALSE(PaletteChroma(0, 256, nullptr, nullptr));
}

TEST(Palette, ColourModesTakeEachBlocksTopLeftLuma) {
  for (int mode : {0, 3, 4}) {
    for (auto size : {std::pair<int, int>{256, 192}, {768, 576}, {6, 2}, {2, 8}}) {
      const int w = size.first, h = size.second;
      std::vector<uint8_t> f = frame(w, h, 100 + mode);
      const std::vector<uint8_t> before = f;
      ASSERT_EQ(ApplyPalette(f.data(), w, h, mode), 0);
      ASSERT_TRUE(std::equal(f.begin(), f.begin() + w * h, before.begin())) << "luma changed";
      for (int by = 0; by < h / 2; ++by)
        for (int bx = 0; bx < w / 2; ++bx) {
          uint8_t cb, cr;
          PaletteChroma(mode, before[(2 * by) * w + 2 * bx], &cb, &cr);
          const uint8_t* pair = &f[w * h + by * w + 2 * bx];
          ASSERT_EQ(pair[0], cb) << mode << " block " << bx << "," << by;
          ASSERT_EQ(pair[1], cr) << mode << " block " << bx << "," << by;
        }
      EXPECT_TRUE(guardIntact(f));
    }
  }
}

TEST(Palette, GreyModesAndInversion) {
  std::vector<uint8_t> f = frame(256, 192, 1);
  const std::vector<uint8_t> before = f;
  const int n = 256 * 192;
  ASSERT_EQ(ApplyPalette(f.data(), 256, 192, 1), 0);
  EXPECT_TRUE(std::equal(f.begin(), f.begin() + n, before.begin()));
  EXPECT_TRUE(
      std::all_of(f.begin() + n, f.begin() + n * 3 / 2, [](uint8_t v) { return v == 128; }));
  EXPECT_TRUE(guardIntact(f));

  f = before;
  ASSERT_EQ(ApplyPalette(f.data(), 256, 192, 2), 0);
  for (int i = 0; i < n; ++i) ASSERT_EQ(f[i], 255 - before[i]) << i;
  ASSERT_EQ(ApplyPalette(f.data(), 256, 192, 2), 0);
  EXPECT_TRUE(std::equal(f.begin(), f.begin() + n, before.begin()));
  EXPECT_TRUE(
      std::all_of(f.begin() + n, f.begin() + n * 3 / 2, [](uint8_t v) { return v == 128; }));
  EXPECT_TRUE(guardIntact(f));
}

TEST(Palette, UnknownModesAndBadFramesAreLeftAlone) {
  const std::vector<uint8_t> before = frame(64, 32, 9);
  for (int mode : {5, 6, -1, 100, INT_MIN, INT_MAX}) {
    std::vector<uint8_t> f = before;
    EXPECT_EQ(ApplyPalette(f.data(), 64, 32, mode), 0);
    EXPECT_EQ(f, before) << mode;
  }
  // Sizes that have no whole 2 x 2 blocks would put chroma past the frame.
  for (auto size : {std::pair<int, int>{0, 32}, {64, 0}, {-2, 32}, {63, 32}, {64, 31}, {1, 1}}) {
    std::vector<uint8_t> f = before;
    EXPECT_EQ(ApplyPalette(f.data(), size.first, size.second, 0), 0);
    EXPECT_EQ(ApplyPalette(f.data(), size.first, size.second, 2), 0);
    EXPECT_EQ(f, before) << size.first << "x" << size.second;
  }
  EXPECT_EQ(ApplyPalette(nullptr, 64, 32, 0), 0);
}
